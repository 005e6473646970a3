#pragma once
// Positions in the LEVEL 4 (BSIM1) and LEVEL 5 (BSIM2) MOSFET parameter tables. A
// size-dependent parameter P is followed by its length and width sensitivities at P + 1 and
// P + 2; the parameters marked "alone" have none. Both tables share the head of 32 positions.
namespace kq5 {

namespace b12p {
inline constexpr int kL = 1, kW = 2, kRd = 3, kRs = 4, kRg = 5, kRb = 6, kRds = 7, kRsh = 8, kIs = 9, kJs = 10,
                     kJssw = 11, kN = 12, kPb = 13, kPbsw = 14, kCbd = 15, kCbs = 16, kCj = 17, kCjsw = 18,
                     kMj = 19, kMjsw = 20, kFc = 21, kTt = 22, kCgso = 23, kCgdo = 24, kCgbo = 25, kKf = 26,
                     kAf = 27, kTMeasured = 28, kDl = 32, kDw = 33, kTox = 34, kVfb = 35, kPhi = 38, kK1 = 41,
                     kK2 = 44;
}  // namespace b12p

namespace b1p {
inline constexpr int kEta = 47, kX2e = 50, kX3e = 53, kMuz = 56 /* alone */, kX2mz = 57, kMus = 60, kX2ms = 63,
                     kX3ms = 66, kU0 = 69, kX2u0 = 72, kU1 = 75, kX2u1 = 78, kX3u1 = 81, kN0 = 84, kNb = 87,
                     kNd = 90, kVdd = 93 /* alone */, kXpart = 94;
}  // namespace b1p

namespace b2p {
inline constexpr int kEta0 = 47, kEtab = 50, kMu0 = 53 /* alone */, kMu0b = 54, kMus0 = 57, kMusb = 60,
                     kMu20 = 63, kMu2b = 66, kMu2g = 69, kMu30 = 72, kMu3b = 75, kMu3g = 78, kMu40 = 81,
                     kMu4b = 84, kMu4g = 87, kUa0 = 90, kUab = 93, kUb0 = 96, kUbb = 99, kU10 = 102, kU1b = 105,
                     kU1d = 108, kN0 = 111, kNb = 114, kNd = 117, kVof0 = 120, kVofb = 123, kVofd = 126,
                     kAi0 = 129, kAib = 132, kBi0 = 135, kBib = 138, kVghigh = 141, kVglow = 144,
                     kVdd = 147 /* alone from here */, kVgg = 148, kVbb = 149, kXpart = 150;
}  // namespace b2p

}  // namespace kq5
