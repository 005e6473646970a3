#pragma once
// Parameter positions of the evaluated NPN / PNP / LPNP model and the bipolar transistor's
// passes at a run's temperature (the set-time passes are declared in model_temperature.h).

namespace kq5 {

namespace bjt_param {
inline constexpr int kIs = 0, kBf = 1, kNf = 2, kVaf = 3, kIkf = 4, kIse = 5, kNe = 6, kBr = 7, kNr = 8, kVar = 9,
                     kIkr = 10, kIsc = 11, kNc = 12, kRe = 13, kRb = 14, kRbm = 15, kIrb = 16, kRc = 17, kCje = 18,
                     kVje = 19, kMje = 20, kCjc = 21, kVjc = 22, kMjc = 23, kXcjc = 24, kCjs = 25, kVjs = 26,
                     kMjs = 27, kFc = 28, kTf = 29, kXtf = 30, kVtf = 31, kItf = 32, kPtf = 33, kTr = 34, kEg = 35,
                     kXtb = 36, kXti = 37, kTre1 = 38, kTre2 = 39, kTrb1 = 40, kTrb2 = 41, kTrm1 = 42, kTrm2 = 43,
                     kTrc1 = 44, kTrc2 = 45, kKf = 46, kAf = 47, kTMeasured = 48, kNk = 52, kNs = 53, kIss = 54,
                     kEmitterDepCapB = 58, kCollectorKnee = 61, kCollectorDepCapB = 62, kCollectorDepCapC = 63,
                     kCollectorDepCapD = 64, kBjtSlotCount = 65;
}

// Every model of the kind at its device temperature for a run at `celsius`.
void PrepareBjtModelsAtTemp(int modelType, double celsius);
// The per-instance values of every transistor (emission voltages, knees, area-scaled currents).
void PrepareBjtInstancesAtTemp();

}  // namespace kq5
