#pragma once
// Positions in the LEVEL 8 (BSIM3) MOSFET parameter table. A size-dependent parameter P is
// followed by its length, width and cross-term variants at P + 1, P + 2 and P + 3 (kBin*). The
// last six slots are filled by the model preparation.
namespace kq5::b3p {

inline constexpr int kLevel = 0, kL = 1, kW = 2, kRd = 3, kRs = 4, kRg = 5, kRb = 6, kRds = 7, kRsh = 8,
                     kIs = 9, kJs = 10, kJssw = 11, kN = 12, kPb = 13, kPbsw = 14, kCbd = 15, kCbs = 16,
                     kCj = 17, kCjsw = 18, kMj = 19, kMjsw = 20, kFc = 21, kTt = 22, kCgso = 23, kCgdo = 24,
                     kCgbo = 25, kKf = 26, kAf = 27, kTMeasured = 28, kTAbs = 29, kTRelGlobal = 30,
                     kTRelLocal = 31, kLmin = 32, kLmax = 33, kWmin = 34, kWmax = 35, kBinunit = 36,
                     kMobmod = 37, kCapmod = 38, kNqsmod = 39, kNoimod = 40, kVth0 = 41, kK1 = 45, kK2 = 49,
                     kK3 = 53, kK3b = 57, kW0 = 61, kNlx = 65, kDvt0 = 69, kDvt1 = 73, kDvt2 = 77, kDvt0w = 81,
                     kDvt1w = 85, kDvt2w = 89, kU0 = 93, kUa = 97, kUb = 101, kUc = 105, kVsat = 109,
                     kA0 = 113, kAgs = 117, kB0 = 121, kB1 = 125, kKeta = 129, kA1 = 133, kA2 = 137,
                     kRdsw = 141, kPrwb = 145, kPrwg = 149, kWr = 153, kWint = 157, kLint = 158, kDwg = 159,
                     kDwb = 163, kVoff = 167, kNfactor = 171, kEta0 = 175, kEtab = 179, kDsub = 183,
                     kCit = 187, kCdsc = 191, kCdscb = 195, kCdscd = 199, kPclm = 203, kPdiblc1 = 207,
                     kPdiblc2 = 211, kPdiblcb = 215, kDrout = 219, kPscbe1 = 223, kPscbe2 = 227, kPvag = 231,
                     kDelta = 235, kNgate = 239, kAlpha0 = 243, kBeta0 = 247, kXpart = 251, kCgsl = 252,
                     kCgdl = 256, kCkappa = 260, kCf = 264, kClc = 268, kCle = 272, kDlc = 276, kDwc = 280,
                     kElm = 284, kWl = 288, kWln = 289, kWw = 290, kWwn = 291, kWwl = 292, kLl = 293,
                     kLln = 294, kLw = 295, kLwn = 296, kLwl = 297, kTnom = 298, kUte = 299, kKt1 = 303,
                     kKt1l = 307, kKt2 = 311, kUa1 = 315, kUb1 = 319, kUc1 = 323, kAt = 327, kPrt = 331,
                     kNoia = 335, kNoib = 336, kNoic = 337, kEm = 338, kEf = 339, kTox = 340, kXj = 341,
                     kGamma1 = 345, kGamma2 = 349, kNch = 353, kNsub = 357, kVbx = 361, kVbm = 365, kXt = 369,
                     kType = 373, kT = 374, kFactor1 = 375, kCox = 376, kNgategiven = 377, kVtm = 378;

inline constexpr int kBinLength = 1, kBinWidth = 2, kBinCross = 3;
inline constexpr int kParamCount = 379;

}  // namespace kq5::b3p
