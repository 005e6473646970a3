// Preparation of the LEVEL 8 (BSIM3) MOSFETs: the model defaults at the circuit temperature, and
// for every instance at every run its effective geometry, binned parameters, doping and threshold
// quantities, temperature laws and junction values, all in the instance's own record.
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>

#include "core/batch_log.h"
#include "netlist/numeric_helpers.h"
#include "core/device_lists.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "devices/bsim3_model.h"
#include "devices/bsim3_params.h"
#include "devices/bsim3_eval.h"
#include "netlist/bsim3_values.h"
#include "core/device_record_fields.h"
#include "netlist/fet_devices.h"
#include "devices/junction_temperature.h"
#include "devices/model_temperature.h"
#include "devices/mosfet_model.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

constexpr double kBoltzmannJ = 1.3806226e-23;
constexpr double kChargeQ = 1.6021918e-19;
constexpr double kBoltzmannOverQ = 8.617086918058125e-05;
constexpr double kBoltzmannOverQVtm = 8.617087e-05;
constexpr double kRoot2 = 1.414213538169861;
constexpr double kSiliconPermittivityTimes = 2.999990907106156;  // eps_si / eps_ox
constexpr int kMsgNgate = 14400;
constexpr int kMsgPscbe2 = 14401;
constexpr int kMsgK1WithoutK2 = 13680;
constexpr int kMsgK2WithoutK1 = 13681;
constexpr int kMsgIgnoredFirst = 13682;  // nsub, xt, vbx, vbm, gamma1, gamma2 in this order

bool Given(const EvaluatedModel& m, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < m.params.size() && !IsParamNotGiven(m.Param(index));
}

// The model's value, or `fallback` when it is not given.
double Value(const EvaluatedModel& m, int index, double fallback = 0.0)
{
    return Given(m, index) ? static_cast<double>(m.Param(index)) : fallback;
}

float& Slot(EvaluatedModel& m, int index)
{
    static float spare = 0.0f;
    if (index < 0 || static_cast<std::size_t>(index) >= m.params.size()) return spare = 0.0f;
    return m.params[static_cast<std::size_t>(index)];
}

bool IsLevel8(const MosfetDevice& d) { return d.model && d.side && d.side->level == 8; }

// A size-dependent parameter for the instance: P0 + PL iL + PW iW + PP iLW.
struct Binning {
    const EvaluatedModel& m;
    double iL, iW, iLW;
    double operator()(int index, double p0Default = 0.0) const
    {
        return Value(m, index, p0Default) + Value(m, index + b3p::kBinLength) * iL +
               Value(m, index + b3p::kBinWidth) * iW + Value(m, index + b3p::kBinCross) * iLW;
    }
};

// A model warning line of the numeric output file, when one is open.
void WriteModelWarningLine(int id, const EvaluatedModel& m)
{
    const int unit = NumericOutputUnit();
    if (unit < 0) return;
    std::string text = LoadResString(id);
    if (text.rfind("%W", 0) == 0) text.erase(0, 2);
    const auto& statements = Models().statements;
    std::string name = "N/A";
    if (m.statementIndex >= 0 && m.statementIndex < static_cast<int>(statements.size()) &&
        !statements[static_cast<std::size_t>(m.statementIndex)].name.empty())
        name = statements[static_cast<std::size_t>(m.statementIndex)].name;
    UnitPrintf(unit, "%s", StrPrintf(text.c_str(), name.c_str()).c_str());
}

// The model defaults that depend on other parameters; once per model and call.
void PrepareLevel8ModelDefaults(EvaluatedModel& m)
{
    for (int index : {b3p::kRds, b3p::kRg, b3p::kRd, b3p::kRs, b3p::kRb, b3p::kRsh})
        ResistanceToConductance(index, m.params);
    // The polarity slot follows the model type; the table leaves the extra slots empty.
    const bool nmos = m.row != kModelPmos8;
    Slot(m, b3p::kType) = nmos ? 1.0f : -1.0f;
    if (!Given(m, b3p::kU0)) {
        Slot(m, b3p::kU0) = nmos ? 0.067f : 0.025f;
    } else if (m.Param(b3p::kU0) > 1.0f) {
        for (int k = 0; k < 4; ++k) Slot(m, b3p::kU0 + k) = Slot(m, b3p::kU0 + k) / 10000.0f;
    }
    const double tox = Value(m, b3p::kTox, 1.5e-8);
    Slot(m, b3p::kCox) = static_cast<float>(3.453132918496138e-11 / tox);
    const double cox = m.Param(b3p::kCox);
    if (!Given(m, b3p::kCf)) Slot(m, b3p::kCf) = static_cast<float>(2.1983396197111728e-11 * std::log(1.0 + 4e-07 / tox));
    const bool mob3 = Value(m, b3p::kMobmod, 1.0) == 3.0;
    if (!Given(m, b3p::kUc)) Slot(m, b3p::kUc) = mob3 ? -0.0465f : -4.65e-11f;
    if (!Given(m, b3p::kUc1)) Slot(m, b3p::kUc1) = mob3 ? -0.056f : -5.6e-11f;
    const bool dlcGiven = Given(m, b3p::kDlc);
    if (!dlcGiven) Slot(m, b3p::kDlc) = static_cast<float>(Value(m, b3p::kLint));
    if (!Given(m, b3p::kDwc)) Slot(m, b3p::kDwc) = static_cast<float>(Value(m, b3p::kWint));
    const double dlc = m.Param(b3p::kDlc);
    auto overlap = [&](int slot, int lengthSlot) {
        if (Given(m, slot)) return;
        double c = dlcGiven && dlc > 0.0 ? std::max(dlc * cox - Value(m, lengthSlot), 0.0)
                                         : Value(m, b3p::kXj, 1.5e-7) * 0.6 * cox;
        Slot(m, slot) = static_cast<float>(c);
    };
    overlap(b3p::kCgdo, b3p::kCgdl);
    overlap(b3p::kCgso, b3p::kCgsl);
    if (!Given(m, b3p::kNoia)) Slot(m, b3p::kNoia) = nmos ? 1e20f : 9.9e18f;
    if (!Given(m, b3p::kNoib)) Slot(m, b3p::kNoib) = nmos ? 50000.0f : 2400.0f;
    if (!Given(m, b3p::kNoic)) Slot(m, b3p::kNoic) = nmos ? -1.4e-12f : 1.4e-12f;
    if (!Given(m, b3p::kDsub)) Slot(m, b3p::kDsub) = static_cast<float>(Value(m, b3p::kDrout, 0.56));
}

// The instance stands for m devices in parallel, each sized as above: the channel and overlap
// widths carry all m, the bias-dependent width reduction is taken m times, and the source-drain
// resistance is that of m devices side by side. The channel constants keep the width of one
// device.
void ScaleToParallelDevices(Bsim3Size& p, double m)
{
    if (m == 1.0) return;
    p.weff *= m;
    p.weffCV *= m;
    p.dwg *= m;
    p.dwb *= m;
    p.rds0 /= m;
    p.cgdo *= m;
    p.cgso *= m;
    p.cgbo *= m;
}

// Values of one instance that only its preparation needs.
struct SetupValues {
    double dw = 0.0, dwc = 0.0, dl = 0.0, dlc = 0.0;  // width and length offsets
    double vsat = 0.0, npeak = 0.0, gamma1 = 0.0, gamma2 = 0.0, vbx = 0.0, vbm = 0.0, xt = 0.0, drout = 0.0,
           dsub = 0.0, ua1 = 0.0, prt = 0.0, pdiblc1 = 0.0, pdiblc2 = 0.0, ub1 = 0.0, uc1 = 0.0, u0 = 0.0,
           ute = 0.0, rdsw = 0.0, wr = 0.0, clc = 0.0, cle = 0.0, at = 0.0, nsub = 0.0, cf = 0.0;  // binned
};

// One instance at the analysis temperature t (degrees Celsius). 0, or 15055 after reporting.
int PrepareOne(MosfetDevice& d, double t)
{
    SetupValues s;
    EvaluatedModel& m = *d.model;
    if (!d.bsim3) d.bsim3 = std::make_unique<Bsim3Size>();
    Bsim3Size& p = *d.bsim3;
    p = Bsim3Size{};
    MosfetLoadValues& v = d.values;
    const int id = m.statementIndex;
    const GlobalOptionValues& options = GlobalOptions().values;

    // 1. and 2. Temperatures and the junction laws.
    p.tdev = ModelDeviceTemperature(m, b3p::kTMeasured, t);
    p.tmeasured = Value(m, b3p::kTMeasured, options.tnom);
    const double tmk = p.tmeasured + 273.15, tk = p.tdev + 273.15, tgk = options.tnom + 273.15;
    const double vtnom = tmk * kBoltzmannOverQ, vt = tk * kBoltzmannOverQ;
    const double eg0 = 1.16 - 0.000702 * tmk * tmk / (tmk + 1108.0);
    const double eg = 1.16 - 0.000702 * tk * tk / (tk + 1108.0);
    const double refTerm = 1.1150877 / (2.0 * kBoltzmannJ * tgk);
    const double arg1 = -eg0 / (2.0 * kBoltzmannJ * tmk) + refTerm;
    const double pbfact1 = -2.0 * vtnom * (1.5 * std::log(tmk / tgk) + kChargeQ * arg1);
    const double arg = -eg / (2.0 * kBoltzmannJ * tk) + refTerm;
    const double pbfact = -2.0 * vt * (1.5 * std::log(tk / tgk) + kChargeQ * arg);
    v.nvt = Value(m, b3p::kN, 1.0) * vt;

    // 3. Intrinsic carrier density at the measurement temperature.
    const double vtm0 = tmk * kBoltzmannOverQVtm;
    const double ni = 1.45e10 * std::pow(tmk / 300.15, 1.5) * ClampedExp(21.5565981 - eg0 / (2.0 * vtm0));

    // 4. Saturation currents and junction capacitances at temperature.
    const double factor = ClampedExpNarrow(eg0 / vtnom - eg / vt);
    const double is = Value(m, b3p::kIs) * factor, js = Value(m, b3p::kJs) * factor;
    float mj = static_cast<float>(Value(m, b3p::kMj, 0.5)), mjsw = static_cast<float>(Value(m, b3p::kMjsw, 0.33));
    NudgeOffOne(mj);
    NudgeOffOne(mjsw);
    p.mj = mj;
    p.mjsw = mjsw;
    JunctionCapsAtTemperature nominal;
    nominal.pb = std::max(static_cast<float>(Value(m, b3p::kPb, 1.0)), 0.1f);
    nominal.pbsw = std::max(static_cast<float>(Value(m, b3p::kPbsw, 1.0)), 0.1f);
    nominal.cbd = Value(m, b3p::kCbd);
    nominal.cbs = Value(m, b3p::kCbs);
    nominal.cj = Value(m, b3p::kCj);
    nominal.cjsw = Value(m, b3p::kCjsw);
    const JunctionCapsAtTemperature caps =
        AdjustJunctionCapsForTemperature(nominal, p.mj, p.mjsw, tgk, tmk, tk, pbfact, pbfact1, tmk / tgk);
    // A junction potential that the temperature law took to zero or below would divide by zero
    // in the charges: it is held at a millivolt and reported, as at the other levels.
    p.pb = HeldPotential(caps.pb, id, tk);
    p.pbsw = HeldPotential(caps.pbsw, id, tk);

    // 5. Critical voltages, zero-bias capacitances and saturation currents.
    if (js == 0.0 || d.ad == 0.0 || d.as == 0.0) {
        v.vcritd = v.vcrits = vt * std::log(vt / (kRoot2 * is));
    } else {
        v.vcritd = vt * std::log(vt / (kRoot2 * js * d.ad));
        v.vcrits = vt * std::log(vt / (kRoot2 * js * d.as));
    }
    // A capacitance or saturation current given for the device (not per area) is one of the
    // M parallel devices'; the areas and perimeters already carry all M.
    v.cbd0 = caps.cbd != 0.0 ? caps.cbd * d.m : d.ad * caps.cj;
    v.cbs0 = caps.cbs != 0.0 ? caps.cbs * d.m : d.as * caps.cj;
    v.cbdsw0 = d.pd * caps.cjsw;
    v.cbssw0 = d.ps * caps.cjsw;
    if (js == 0.0 || d.ad == 0.0 || d.as == 0.0) {
        v.isatd = v.isats = is * d.m;
    } else {
        const double jssw = Value(m, b3p::kJssw);
        v.isatd = js * d.ad + (jssw != 0.0 ? jssw * d.pd : 0.0);
        v.isats = js * d.as + (jssw != 0.0 ? jssw * d.ps : 0.0);
    }
    if (d.as <= 0.0) v.isats = 1e-14 * d.m;
    if (d.ad <= 0.0) v.isatd = 1e-14 * d.m;

    // 6. and 7. Effective geometry of one of the instance's M parallel devices (W holds M times
    // the drawn width): each loses its own width offsets, and its own width sizes the parameters.
    const double l = d.l, w = d.w / d.m;
    const double t0 = std::pow(l, Value(m, b3p::kLln, 1.0)), t1 = std::pow(w, Value(m, b3p::kLwn, 1.0));
    const double tmp1 = Value(m, b3p::kLl) / t0 + Value(m, b3p::kLw) / t1 + Value(m, b3p::kLwl) / (t0 * t1);
    s.dl = Value(m, b3p::kLint) + tmp1;
    s.dlc = Value(m, b3p::kDlc) + tmp1;
    const double t2 = std::pow(l, Value(m, b3p::kWln, 1.0)), t3 = std::pow(w, Value(m, b3p::kWwn, 1.0));
    const double tmp2 = Value(m, b3p::kWl) / t2 + Value(m, b3p::kWw) / t3 + Value(m, b3p::kWwl) / (t2 * t3);
    s.dw = Value(m, b3p::kWint) + tmp2;
    s.dwc = Value(m, b3p::kDwc) + tmp2;
    p.leff = l - 2.0 * s.dl;
    p.weff = w - 2.0 * s.dw;
    p.leffCV = l - 2.0 * s.dlc;
    p.weffCV = w - 2.0 * s.dwc;
    for (double size : {p.weff, p.leff, p.weffCV, p.leffCV})
        if (int rc = CheckPositiveLength(d.component, size)) return rc;

    // 8. Model values of the instance.
    p.type = Value(m, b3p::kType, 1.0);
    p.tox = Value(m, b3p::kTox, 1.5e-8);
    p.cox = Value(m, b3p::kCox);
    p.factor1 = std::sqrt(p.tox * kSiliconPermittivityTimes);
    p.mobmod = static_cast<int>(Value(m, b3p::kMobmod, 1.0));
    p.capmod = static_cast<int>(Value(m, b3p::kCapmod, 1.0));
    p.nqsmod = static_cast<int>(Value(m, b3p::kNqsmod));
    p.noimod = static_cast<int>(std::lround(Value(m, b3p::kNoimod, 1.0)));
    p.xpart = Value(m, b3p::kXpart);
    p.tt = Value(m, b3p::kTt);
    p.kf = Value(m, b3p::kKf);
    p.af = Value(m, b3p::kAf, 1.0);
    p.ef = Value(m, b3p::kEf, 1.0);
    p.em = Value(m, b3p::kEm, 4.1e7);
    p.noia = Value(m, b3p::kNoia);
    p.noib = Value(m, b3p::kNoib);
    p.noic = Value(m, b3p::kNoic);
    p.grds = std::min(Value(m, b3p::kRds), Devices().gmax);

    // 9. Binning.
    const bool micron = Value(m, b3p::kBinunit, 1.0) == 1.0;
    const Binning bin{m, micron ? 1e-06 / p.leff : 1.0 / p.leff, micron ? 1e-06 / p.weff : 1.0 / p.weff,
                      micron ? 1e-12 / (p.leff * p.weff) : 1.0 / (p.leff * p.weff)};
    const bool nchGiven = Given(m, b3p::kNch), vth0Given = Given(m, b3p::kVth0), gamma1Given = Given(m, b3p::kGamma1),
               gamma2Given = Given(m, b3p::kGamma2), nsubGiven = Given(m, b3p::kNsub), vbxGiven = Given(m, b3p::kVbx),
               vbmGiven = Given(m, b3p::kVbm), xtGiven = Given(m, b3p::kXt), k1Given = Given(m, b3p::kK1),
               k2Given = Given(m, b3p::kK2);
    double nch0 = nchGiven ? Value(m, b3p::kNch) : 1.7e17;
    if (nchGiven && nch0 > 1e20) nch0 *= 1e-06;
    const double nch = nch0 + Value(m, b3p::kNch + 1) * bin.iL + Value(m, b3p::kNch + 2) * bin.iW +
                       Value(m, b3p::kNch + 3) * bin.iLW;
    p.vth0 = bin(b3p::kVth0, p.type == 1.0 ? 0.7 : -0.7);
    s.gamma1 = bin(b3p::kGamma1, 0.0);
    s.gamma2 = bin(b3p::kGamma2, 0.0);
    s.nsub = bin(b3p::kNsub, 6e16);
    s.vbx = vbxGiven ? bin(b3p::kVbx) : 0.0;
    s.vbm = bin(b3p::kVbm, -5.0);
    s.xt = bin(b3p::kXt, 1.55e-7);
    p.k1 = bin(b3p::kK1, 0.0);
    p.k2 = bin(b3p::kK2, 0.0);
    p.k3 = bin(b3p::kK3, 80.0);
    p.k3b = bin(b3p::kK3b);
    p.w0 = bin(b3p::kW0, 2.5e-6);
    p.nlx = bin(b3p::kNlx, 1.74e-7);
    p.dvt0 = bin(b3p::kDvt0, 2.2);
    p.dvt1 = bin(b3p::kDvt1, 0.53);
    p.dvt2 = bin(b3p::kDvt2, -0.032);
    p.dvt0w = bin(b3p::kDvt0w);
    p.dvt1w = bin(b3p::kDvt1w, 5.3e6);
    p.dvt2w = bin(b3p::kDvt2w, -0.032);
    s.u0 = bin(b3p::kU0);
    p.ua = bin(b3p::kUa, 2.25e-9);
    p.ub = bin(b3p::kUb, 5.87e-19);
    p.uc = bin(b3p::kUc);
    s.vsat = bin(b3p::kVsat, 8e4);
    p.a0 = bin(b3p::kA0, 1.0);
    p.ags = bin(b3p::kAgs);
    p.b0 = bin(b3p::kB0);
    p.b1 = bin(b3p::kB1);
    p.keta = bin(b3p::kKeta, -0.047);
    p.a1 = bin(b3p::kA1);
    p.a2 = bin(b3p::kA2, 1.0);
    s.rdsw = bin(b3p::kRdsw);
    p.prwb = bin(b3p::kPrwb);
    p.prwg = bin(b3p::kPrwg);
    s.wr = bin(b3p::kWr, 1.0);
    p.dwg = bin(b3p::kDwg);
    p.dwb = bin(b3p::kDwb);
    p.voff = bin(b3p::kVoff, -0.08);
    p.nfactor = bin(b3p::kNfactor, 1.0);
    p.eta0 = bin(b3p::kEta0, 0.08);
    p.etab = bin(b3p::kEtab, -0.07);
    s.dsub = bin(b3p::kDsub, 0.56);
    p.cit = bin(b3p::kCit);
    p.cdsc = bin(b3p::kCdsc, 2.4e-4);
    p.cdscb = bin(b3p::kCdscb);
    p.cdscd = bin(b3p::kCdscd);
    p.pclm = bin(b3p::kPclm, 1.3);
    s.pdiblc1 = bin(b3p::kPdiblc1, 0.39);
    s.pdiblc2 = bin(b3p::kPdiblc2, 0.0086);
    p.pdiblb = bin(b3p::kPdiblcb);
    s.drout = bin(b3p::kDrout, 0.56);
    p.pscbe1 = bin(b3p::kPscbe1, 4.24e8);
    p.pscbe2 = bin(b3p::kPscbe2, 1e-5);
    p.pvag = bin(b3p::kPvag);
    p.delta = bin(b3p::kDelta, 0.01);
    p.ngateGiven = Given(m, b3p::kNgate);
    p.ngate = p.ngateGiven ? bin(b3p::kNgate) : 0.0;
    p.alpha0 = bin(b3p::kAlpha0);
    p.beta0 = bin(b3p::kBeta0, 30.0);
    p.cgsl = bin(b3p::kCgsl);
    p.cgdl = bin(b3p::kCgdl);
    p.ckappa = bin(b3p::kCkappa, 0.6);
    s.cf = Given(m, b3p::kCf) ? bin(b3p::kCf) : 0.0;
    s.clc = bin(b3p::kClc, 1e-7);
    s.cle = bin(b3p::kCle, 0.6);
    p.elm = bin(b3p::kElm, 5.0);
    s.ute = bin(b3p::kUte, -1.5);
    p.kt1 = bin(b3p::kKt1, -0.11);
    p.kt1l = bin(b3p::kKt1l);
    p.kt2 = bin(b3p::kKt2, 0.022);
    s.ua1 = bin(b3p::kUa1, 4.31e-9);
    s.ub1 = bin(b3p::kUb1, -7.61e-18);
    s.uc1 = bin(b3p::kUc1);
    s.at = bin(b3p::kAt, 3.3e4);
    s.prt = bin(b3p::kPrt);
    p.xj = bin(b3p::kXj, 1.5e-7);
    Slot(m, b3p::kNgategiven) = p.ngateGiven ? 1.0f : 0.0f;

    // 10. Capacitance geometry.
    p.abulkCVfactor = 1.0 + std::pow(s.clc / p.leff, s.cle);
    p.cgdo = (Value(m, b3p::kCgdo) + s.cf) * p.weffCV;
    p.cgso = (Value(m, b3p::kCgso) + s.cf) * p.weffCV;
    p.cgbo = Value(m, b3p::kCgbo) * p.leffCV;

    // 11. Temperature laws.
    const double tratio = tk / tmk, dT = tratio - 1.0;
    p.u0temp = s.u0 * std::pow(tratio, s.ute);
    p.rds0 = (s.rdsw + s.prt * dT) / std::pow(p.weff * 1e6, s.wr);
    p.vsattemp = s.vsat - s.at * dT;
    p.ua += s.ua1 * dT;
    p.ub += s.ub1 * dT;
    p.uc += s.uc1 * dT;

    // 12. Parameters that must be positive.
    if (p.ngateGiven && p.ngate <= 0.0) {
        ReportMessage("NE", d.component, kMsgNgate, p.ngate);
        return kMsgAlreadyReported;
    }
    if (p.pscbe2 <= 0.0) {
        ReportMessage("NE", d.component, kMsgPscbe2, p.pscbe2);
        return kMsgAlreadyReported;
    }

    // 13. Doping and depletion.
    s.npeak = nch;
    if (!nchGiven && gamma1Given) s.npeak = 3.021e22 * (p.cox * s.gamma1) * (p.cox * s.gamma1);
    if (s.npeak <= 0.0) s.npeak = 1.7e17;
    p.phi = 2.0 * vtm0 * std::log(s.npeak / ni);
    p.sqrtPhi = SqrtWithParamWarning(p.phi, tk, id);
    p.phis3 = p.sqrtPhi * p.phi;
    p.xdep0 = std::sqrt(2.07188e-10 / (kChargeQ * s.npeak * 1e6)) * p.sqrtPhi;
    p.litl = std::sqrt(3.0 * p.xj * p.tox);
    p.vbi = vtm0 * std::log(1e20 * s.npeak / (ni * ni));
    p.cdep0 = SqrtWithParamWarning(1.659774573292e-29 * s.npeak * 1e6 * 0.5 / p.phi, tk, id);

    // 14. Body-effect coefficients.
    if (k1Given || k2Given) {
        if (!k1Given) {
            WriteModelWarningLine(kMsgK1WithoutK2, m);
            p.k1 = 0.53;
        }
        if (!k2Given) {
            WriteModelWarningLine(kMsgK2WithoutK1, m);
            p.k2 = -0.0186;
        }
        const bool ignored[] = {nsubGiven, xtGiven, vbxGiven, vbmGiven, gamma1Given, gamma2Given};
        for (int k = 0; k < 6; ++k)
            if (ignored[k]) WriteModelWarningLine(kMsgIgnoredFirst + k, m);
    } else {
        if (!vbxGiven) s.vbx = p.phi - 7.7348e-4 * s.npeak * s.xt * s.xt;
        if (s.vbx > 0.0) s.vbx = -s.vbx;
        if (s.vbm > 0.0) s.vbm = -s.vbm;
        if (!gamma1Given) s.gamma1 = 5.753e-12 * std::sqrt(s.npeak) / p.cox;
        if (!gamma2Given) s.gamma2 = 5.753e-12 * std::sqrt(s.nsub) / p.cox;
        const double g0 = s.gamma1 - s.gamma2;
        const double g1 = SqrtWithParamWarning(p.phi - s.vbx, tk, id) - p.sqrtPhi;
        const double g2 = SqrtWithParamWarning(p.phi * (p.phi - s.vbm), tk, id) - p.phi;
        p.k2 = g0 * g1 / (2.0 * g2 + s.vbm);
        p.k1 = s.gamma2 - 2.0 * p.k2 * SqrtWithParamWarning(p.phi - s.vbm, tk, id);
    }

    // 15. Lower bound of the effective bulk voltage.
    if (p.k2 > 0.0) {
        const double h = 0.5 * p.k1 / p.k2;
        p.vbsc = std::clamp(0.9 * (p.phi - h * h), -30.0, -3.0);
    } else {
        p.vbsc = -10.0;
    }

    // 16. and 17. Thermal voltage at the device temperature; flat band and threshold.
    p.vtm = tk * kBoltzmannOverQVtm;
    Slot(m, b3p::kVtm) = static_cast<float>(p.vtm);
    if (vth0Given) {
        p.vfb = p.type * p.vth0 - p.phi - p.k1 * p.sqrtPhi;
    } else {
        p.vth0 = p.type * (p.phi - 1.0 + p.k1 * p.sqrtPhi);
        p.vfb = -1.0;
    }

    // 18. Short-channel DIBL factors.
    const double lt = std::sqrt(p.tox * kSiliconPermittivityTimes * p.xdep0);
    const double e0 = ClampedExp(-0.5 * s.dsub * p.leff / lt);
    p.theta0vb0 = e0 + 2.0 * e0 * e0;
    const double e1 = ClampedExp(-0.5 * s.drout * p.leff / lt);
    p.thetaRout = s.pdiblc1 * (e1 + 2.0 * e1 * e1) + s.pdiblc2;

    // 19. Overlaps and orientation.
    PrepareBsim3ChannelConstants(p);
    ScaleToParallelDevices(p, d.m);
    v.cgsov = p.cgso;
    v.cgdov = p.cgdo;
    v.cgbov = p.cgbo;
    p.cgsoBias = p.cgso;
    p.cgdoBias = p.cgdo;
    if (!KeepsMosOperatingValues()) ResetMosOperatingValues(d);
    return 0;
}

}  // namespace

void PrepareMosLevel8Instances()
{
    const GlobalOptionValues& o = GlobalOptions().values;
    std::set<const EvaluatedModel*> prepared;
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsLevel8(d)) continue;
        EvaluatedModel& m = *d.model;
        const double modelW = Value(m, b3p::kW), modelL = Value(m, b3p::kL);
        if (!d.wGiven) d.w = 0.0;
        d.w = FirstNonZero3(d.w, modelW, o.defw);
        if (!d.lGiven) d.l = 0.0;
        d.l = FirstNonZero3(d.l, modelL, o.defl);
        if (d.w == 0.0) d.w = 5e-6;
        if (d.l == 0.0) d.l = 5e-6;
        d.ad = FirstNonZero2(d.ad, o.defad);
        d.as = FirstNonZero2(d.as, o.defas);
        if (d.nrd <= 0.0) d.nrd = 1.0;
        if (d.nrs <= 0.0) d.nrs = 1.0;
        if (prepared.insert(&m).second) PrepareLevel8ModelDefaults(m);
    }
}

int PrepareMosLevel8AtTemperature(double t)
{
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsLevel8(d)) continue;
        if (int rc = PrepareOne(d, t)) return rc;
    }
    return 0;
}

}  // namespace kq5
