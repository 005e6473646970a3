// Preparation of the LEVEL 4 (BSIM1) and LEVEL 5 (BSIM2) MOSFETs: at the circuit temperature the
// instance geometry defaults and the model's series conductances; at every run, for every
// instance, its device temperature, junction values and its length- and width-adjusted model
// parameters, all in the instance's own record.
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "netlist/numeric_helpers.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "devices/bsim12_model.h"
#include "devices/bsim12_params.h"
#include "netlist/bsim12_values.h"
#include "core/device_record_fields.h"
#include "netlist/fet_devices.h"
#include "devices/junction_temperature.h"
#include "devices/model_temperature.h"
#include "devices/mosfet_model.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

constexpr double kBoltzmannJ = 1.3806226e-23;
constexpr double kChargeQ = 1.6021918e-19;
constexpr double kBoltzmannOverQ = 8.617086918058125e-05;
constexpr double kBandGapTerm = 1.3454442398941472e+20;  // 1.1150877 / (2 k 300.15)
constexpr double kRoot2 = 1.414213538169861;
constexpr double kReferenceKelvin = 300.15;

bool IsLevel(const MosfetDevice& d, int level) { return d.model && d.side && d.side->level == level; }

double Value(const EvaluatedModel& m, int index) { return MosParam(m, index); }

// A size-dependent parameter: P0 + PL / Lu + PW / Wu (Lu, Wu in micrometres).
struct Binning {
    const EvaluatedModel& m;
    double invL, invW;
    double operator()(int index) const
    {
        return Value(m, index) + Value(m, index + 1) * invL + Value(m, index + 2) * invW;
    }
};

void PrepareInstances(int level)
{
    const GlobalOptionValues& o = GlobalOptions().values;
    std::set<EvaluatedModel*> converted;
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsLevel(d, level)) continue;
        EvaluatedModel& m = *d.model;
        if (!d.wGiven) d.w = 0.0;
        d.w = FirstNonZero3(d.w, Value(m, b12p::kW), o.defw);
        if (!d.lGiven) d.l = 0.0;
        d.l = FirstNonZero3(d.l, Value(m, b12p::kL), o.defl);
        d.ad = FirstNonZero2(d.ad, o.defad);
        d.as = FirstNonZero2(d.as, o.defas);
        if (d.nrd <= 0.0) d.nrd = 1.0;
        if (d.nrs <= 0.0) d.nrs = 1.0;
        if (converted.insert(&m).second)
            for (int index : {b12p::kRds, b12p::kRg, b12p::kRd, b12p::kRs, b12p::kRb, b12p::kRsh})
                ResistanceToConductance(index, m.params);
    }
}

// The steps both levels share: device temperature, junction laws, critical voltages, junction
// capacitances and currents, overlaps, oxide capacitance and the effective size. 0, or 15055
// after reporting a non-positive effective width or length.
int PrepareCommon(MosfetDevice& d, Bsim12Size& p, double t)
{
    EvaluatedModel& m = *d.model;
    MosfetLoadValues& v = d.values;
    const int id = m.statementIndex;

    p.leff = d.l - Value(m, b12p::kDl) * 1e-6;
    // The width of M devices in parallel (W holds M times the drawn width): each loses DW.
    p.weff = d.w - Value(m, b12p::kDw) * 1e-6 * d.m;
    v.leff = p.leff;
    v.weff = p.weff;
    p.tdev = ModelDeviceTemperature(m, b12p::kTMeasured, t);
    const double tmeasured = IsParamNotGiven(m.Param(b12p::kTMeasured)) ? GlobalOptions().values.tnom
                                                                          : static_cast<double>(m.Param(b12p::kTMeasured));
    const double tnomk = tmeasured + 273.15, tk = p.tdev + 273.15;
    const double fact1 = tnomk / kReferenceKelvin, fact2 = tk / kReferenceKelvin;
    const double vtnom = tnomk * kBoltzmannOverQ;
    p.vt = tk * kBoltzmannOverQ;
    const double egfet1 = 1.16 - 0.000702 * tnomk * tnomk / (tnomk + 1108.0);
    const double egfet = 1.16 - 0.000702 * tk * tk / (tk + 1108.0);
    const double arg1 = -egfet1 / (2.0 * kBoltzmannJ * tnomk) + kBandGapTerm;
    const double pbfact1 = -2.0 * vtnom * (1.5 * std::log(fact1) + kChargeQ * arg1);
    const double arg = -egfet / (2.0 * kBoltzmannJ * tk) + kBandGapTerm;
    const double pbfact = -2.0 * p.vt * (1.5 * std::log(fact2) + kChargeQ * arg);
    p.emission = Value(m, b12p::kN);
    v.nvt = p.emission * p.vt;

    const double factor = ClampedExpNarrow(egfet1 / vtnom - egfet / p.vt);
    const double is = Value(m, b12p::kIs) * factor, js = Value(m, b12p::kJs) * factor;
    float mj = static_cast<float>(Value(m, b12p::kMj)), mjsw = static_cast<float>(Value(m, b12p::kMjsw));
    // A grading of 1 would divide the junction charge by zero.
    NudgeOffOne(mj);
    NudgeOffOne(mjsw);
    p.mj = mj;
    p.mjsw = mjsw;
    JunctionCapsAtTemperature nominal;
    nominal.pb = std::max(Value(m, b12p::kPb), 0.1);
    nominal.pbsw = std::max(Value(m, b12p::kPbsw), 0.1);
    nominal.cbd = Value(m, b12p::kCbd);
    nominal.cbs = Value(m, b12p::kCbs);
    nominal.cj = Value(m, b12p::kCj);
    nominal.cjsw = Value(m, b12p::kCjsw);
    const JunctionCapsAtTemperature caps = AdjustJunctionCapsForTemperature(
        nominal, p.mj, p.mjsw, kReferenceKelvin, tnomk, tk, pbfact, pbfact1, fact1);
    p.pb = HeldPotential(caps.pb, id, tk);
    p.pbsw = HeldPotential(caps.pbsw, id, tk);

    const bool areaLaw = !(js == 0.0 || d.ad == 0.0 || d.as == 0.0);
    if (!areaLaw) {
        v.vcritd = v.vcrits = p.vt * std::log(p.vt / (kRoot2 * is));
        v.isatd = v.isats = is * d.m;
    } else {
        v.vcritd = p.vt * std::log(p.vt / (kRoot2 * js * d.ad));
        v.vcrits = p.vt * std::log(p.vt / (kRoot2 * js * d.as));
        const double jssw = Value(m, b12p::kJssw);
        v.isatd = js * d.ad + (jssw != 0.0 ? jssw * d.pd : 0.0);
        v.isats = js * d.as + (jssw != 0.0 ? jssw * d.ps : 0.0);
    }
    // A capacitance or saturation current given for the device (not per area) is one of the
    // M parallel devices'; the areas and perimeters already carry all M.
    v.cbd0 = caps.cbd != 0.0 ? caps.cbd * d.m : d.ad * caps.cj;
    v.cbs0 = caps.cbs != 0.0 ? caps.cbs * d.m : d.as * caps.cj;
    v.cbdsw0 = d.pd * caps.cjsw;
    v.cbssw0 = d.ps * caps.cjsw;
    v.cgsov = Value(m, b12p::kCgso) * p.weff;
    v.cgdov = Value(m, b12p::kCgdo) * p.weff;
    v.cgbov = Value(m, b12p::kCgbo) * p.leff * d.m;
    p.cox = 3.453e-13 / (Value(m, b12p::kTox) * 0.0001);

    p.type = d.side->polarity;
    p.tt = Value(m, b12p::kTt);
    p.kf = Value(m, b12p::kKf);
    p.af = Value(m, b12p::kAf);
    p.grds = std::min(Value(m, b12p::kRds), Devices().gmax);

    if (int rc = CheckPositiveLength(d.component, p.weff)) return rc;
    if (int rc = CheckPositiveLength(d.component, p.leff)) return rc;

    if (!KeepsMosOperatingValues()) ResetMosOperatingValues(d);
    return 0;
}

// The effective width of one of the instance's M parallel devices, which sizes its parameters.
double DeviceWidth(const MosfetDevice& d, const Bsim12Size& p) { return p.weff / d.m; }

void PrepareLevel4(MosfetDevice& d, Bsim12Size& p)
{
    const EvaluatedModel& m = *d.model;
    const Binning bin{m, 1.0 / (p.leff * 1e6), 1.0 / (DeviceWidth(d, p) * 1e6)};
    p.vfb = bin(b12p::kVfb);
    p.phi = bin(b12p::kPhi);
    p.k1 = bin(b12p::kK1);
    p.k2 = bin(b12p::kK2);
    p.ugs = bin(b1p::kU0);
    p.ugsB = bin(b1p::kX2u0);
    p.uds = bin(b1p::kU1);
    p.udsB = bin(b1p::kX2u1);
    p.udsD = bin(b1p::kX3u1);
    p.eta = bin(b1p::kEta);
    p.etaB = bin(b1p::kX2e);
    p.etaD = bin(b1p::kX3e);
    p.betaZero = Value(m, b1p::kMuz);
    p.betaZeroB = bin(b1p::kX2mz);
    p.betaVdd = bin(b1p::kMus);
    p.betaVddB = bin(b1p::kX2ms);
    p.betaVddD = bin(b1p::kX3ms);
    p.n0 = bin(b1p::kN0);
    p.nb = bin(b1p::kNb);
    p.nd = bin(b1p::kNd);
    p.vdd = Value(m, b1p::kVdd);
    p.xpart = Value(m, b1p::kXpart);
    p.phi = std::max(p.phi, 0.1);
    if (p.k1 < 0.0) p.k1 = 1e-50;
    if (p.k2 < 0.0) p.k2 = 1e-50;
    const double sqrtPhi = SqrtWithParamWarning(p.phi, p.tdev + 273.15, m.statementIndex);
    d.values.tvto = p.vfb + p.phi + p.k1 * sqrtPhi - p.k2 * p.phi;
    if (!KeepsMosOperatingValues()) d.values.von = d.values.tvto;
    const double coxWoverL = p.cox * p.weff / p.leff;
    p.betaZero *= coxWoverL;
    p.betaZeroB *= coxWoverL;
    p.betaVdd *= coxWoverL;
    p.betaVddB *= coxWoverL;
    p.betaVddD = std::max(p.betaVddD * coxWoverL, 0.0);
}

void PrepareLevel5(MosfetDevice& d, Bsim12Size& p)
{
    const EvaluatedModel& m = *d.model;
    p.vdd = Value(m, b2p::kVdd);
    p.vgg = Value(m, b2p::kVgg);
    p.vbb = Bsim2BodySupply(m);
    p.vdd2 = 2.0 * p.vdd;
    p.vgg2 = 2.0 * p.vgg;
    p.vbb2 = 2.0 * p.vbb;
    p.vtm = 8.625e-05 * (p.tdev + 273.15);
    p.xpart = Value(m, b2p::kXpart);

    const Binning bin{m, 1e-6 / p.leff, 1e-6 / DeviceWidth(d, p)};
    p.vfb = bin(b12p::kVfb);
    p.phi = bin(b12p::kPhi);
    p.k1 = bin(b12p::kK1);
    p.k2 = bin(b12p::kK2);
    p.eta0 = bin(b2p::kEta0);
    p.etab = bin(b2p::kEtab);
    p.beta0 = Value(m, b2p::kMu0);
    p.beta0B = bin(b2p::kMu0b);
    p.betas0 = bin(b2p::kMus0);
    p.betasB = bin(b2p::kMusb);
    p.mu20 = bin(b2p::kMu20);
    p.mu2B = bin(b2p::kMu2b);
    p.mu2G = bin(b2p::kMu2g);
    p.beta30 = bin(b2p::kMu30);
    p.beta3B = bin(b2p::kMu3b);
    p.beta3G = bin(b2p::kMu3g);
    p.beta40 = bin(b2p::kMu40);
    p.beta4B = bin(b2p::kMu4b);
    p.beta4G = bin(b2p::kMu4g);
    p.ua0 = bin(b2p::kUa0);
    p.uaB = bin(b2p::kUab);
    p.ub0 = bin(b2p::kUb0);
    p.ubB = bin(b2p::kUbb);
    p.u10 = bin(b2p::kU10);
    p.u1B = bin(b2p::kU1b);
    p.u1D = bin(b2p::kU1d);
    p.n0 = bin(b2p::kN0);
    p.nb = bin(b2p::kNb);
    p.nd = bin(b2p::kNd);
    p.vof0 = bin(b2p::kVof0);
    p.vofB = bin(b2p::kVofb);
    p.vofD = bin(b2p::kVofd);
    p.ai0 = bin(b2p::kAi0);
    p.aiB = bin(b2p::kAib);
    p.bi0 = bin(b2p::kBi0);
    p.biB = bin(b2p::kBib);
    p.vghigh = bin(b2p::kVghigh);
    p.vglow = bin(b2p::kVglow);

    p.betas0 = std::max(p.betas0, 1.01 * p.beta0);
    // The saturation mobility must not fall below the low-field one at the body bound; a VBB of
    // 0 leaves nothing to bound.
    if (p.vbb != 0.0) {
        const double tmp = (p.betas0 - p.beta0) - p.beta0B * p.vbb;
        if (tmp < -p.betasB * p.vbb) p.betasB = -tmp / p.vbb;
    }
    const double coxWoverL = p.cox * p.weff / p.leff;
    for (double* beta : {&p.beta0, &p.beta0B, &p.betas0, &p.betasB, &p.beta30, &p.beta3B, &p.beta3G, &p.beta40,
                         &p.beta4B, &p.beta4G})
        *beta *= coxWoverL;
    p.n0 = std::max(p.n0, 0.0);
    p.coxWL = p.cox * p.leff * p.weff * 10000.0;
    p.sqrtPhi = SqrtWithParamWarning(p.phi, p.tdev + 273.15, m.statementIndex);
    p.phis3 = p.sqrtPhi * p.phi;
    d.values.tvto = p.vfb + p.phi + p.k1 * p.sqrtPhi - p.k2 * p.phi;
    if (!KeepsMosOperatingValues()) d.values.von = d.values.tvto;
    p.arg = (p.betasB - p.beta0B) - p.vdd * (p.beta3B - p.vdd * p.beta4B);
}

// Every instance of the level, each in a record made afresh. 0, or the first failure.
int PrepareLevelAtTemperature(int level, double t)
{
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsLevel(d, level)) continue;
        if (!d.bsim12) d.bsim12 = std::make_unique<Bsim12Size>();
        Bsim12Size& p = *d.bsim12;
        p = Bsim12Size{};
        p.level = level;
        if (int rc = PrepareCommon(d, p, t)) return rc;
        if (level == 4)
            PrepareLevel4(d, p);
        else
            PrepareLevel5(d, p);
    }
    return 0;
}

}  // namespace

double Bsim2BodySupply(const EvaluatedModel& m)
{
    const auto& statements = Models().statements;
    const int index = m.statementIndex;
    bool given = false;
    if (index >= 0 && static_cast<std::size_t>(index) < statements.size()) {
        const std::vector<std::uint8_t>& flags = statements[static_cast<std::size_t>(index)].given;
        given = static_cast<std::size_t>(b2p::kVbb) < flags.size() && flags[static_cast<std::size_t>(b2p::kVbb)] != 0;
    }
    return given ? Value(m, b2p::kVbb) : -5.0;
}

void PrepareMosLevel4Instances() { PrepareInstances(4); }
void PrepareMosLevel5Instances() { PrepareInstances(5); }

int PrepareMosLevel4AtTemperature(double t) { return PrepareLevelAtTemperature(4, t); }

int PrepareMosLevel5AtTemperature(double t) { return PrepareLevelAtTemperature(5, t); }

}  // namespace kq5
