#pragma once
// Parameter positions of the evaluated NJF / PJF model and the JFET's pass at a run's
// temperature (the set-time passes are declared in model_temperature.h).

namespace kq5 {

namespace jfet_param {
inline constexpr int kVto = 0, kBeta = 1, kLambda = 2, kIs = 3, kRd = 4, kRs = 5, kCgd = 6, kCgs = 7, kM = 8,
                     kPb = 9, kFc = 10, kVtotc = 11, kBetatce = 12, kXti = 13, kKf = 14, kAf = 15, kTMeasured = 16,
                     kDepCapB = 22, kDepCapC = 23, kDepCapD = 24, kJfetSlotCount = 25;
}

// Every model of the kind at its device temperature for a run at `celsius`, and the per-run
// values of its JFETs.
void PrepareJfetModelsAtTemp(int modelType, double celsius);

}  // namespace kq5
