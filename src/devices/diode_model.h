#pragma once
// Parameter positions of the evaluated D model and the diode's passes at a run's temperature.

namespace kq5 {

namespace diode_param {
inline constexpr int kLevel = 0, kIs = 1, kN = 2, kIsr = 3, kNr = 4, kIkf = 5, kBv = 6, kIbv = 7, kNbv = 8,
                     kIbvl = 9, kNbvl = 10, kRs = 11, kTt = 12, kCjo = 13, kVj = 14, kM = 15, kFc = 16, kEg = 17,
                     kXti = 18, kTikf = 19, kTbv1 = 20, kTbv2 = 21, kTrs1 = 22, kTrs2 = 23, kKf = 24, kAf = 25,
                     kRl = 26, kTMeasured = 27, kDepCapB = 33, kDepCapC = 34, kDepCapD = 35;
}

// Every D model at its device temperature for a run at `celsius`, then the per-instance
// values (thermal and critical voltages) of every diode.
void PrepareDiodeModelsAtTemp(double celsius);

}  // namespace kq5
