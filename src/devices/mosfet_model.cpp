#include "devices/mosfet_model.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analog/ac_run.h"
#include "core/analysis_state.h"
#include "netlist/numeric_helpers.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "core/device_record_fields.h"
#include "netlist/fet_devices.h"
#include "devices/mosfet_family_loops.h"
#include "devices/mosfet_load.h"
#include "devices/junction_temperature.h"
#include "devices/model_temperature.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

constexpr double kZeroCelsius = 273.15;
constexpr double kReferenceKelvin = 300.15;
constexpr double kBoltzmannOverQ = 8.617086918058125e-05;
constexpr double kBoltzmannJ = 1.3806226e-23;
constexpr double kChargeQ = 1.6021918e-19;
constexpr double kBandGapTerm = 1.3454442398941472e+20;  // 1.1150877 / (2 k 300.15)
constexpr double kRoot2 = 1.414213538169861;
constexpr double kSiliconPermittivity = 1.035943139907e-10;
constexpr double kOxidePermittivity = 3.45314379969e-11;
constexpr double kQTimesSilicon = 1.659779604025248e-29;
constexpr double kTwoPi = 6.283185307179586;
constexpr int kMsgNonPositiveChannel = 14549;
// The smallest junction potential a temperature law may leave.
constexpr double kSmallestPotential = 0.001;

bool InArray(const EvaluatedModel& m, int index) { return index >= 0 && static_cast<std::size_t>(index) < m.params.size(); }

float& Slot(EvaluatedModel& m, int index)
{
    static float spare = 0.0f;
    if (!InArray(m, index)) return spare = 0.0f;
    return m.params[static_cast<std::size_t>(index)];
}

template <class F>
void EachModel(int type, F&& f)
{
    if (type < 0 || type >= kModelTypeCount) return;
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(type)])) f(m);
}

// Records one negative-potential warning per model and run (kind 3).
void RecordNegativePotential(int statementIndex, double celsius)
{
    auto& list = Models().deferredWarnings;
    for (const DeferredWarning& w : list)
        if (w.kind == kWarnNegativeJunctionPotential && w.subject == statementIndex) return;
    try {
        DeferredWarning w;
        w.subject = statementIndex;
        w.kind = kWarnNegativeJunctionPotential;
        w.temperature = celsius;
        list.push_back(std::move(w));
    } catch (const std::bad_alloc&) {
        // The warning is only advice; the run goes on without it.
    }
}

}  // namespace

double HeldPotential(double pb, int statementIndex, double tk)
{
    if (pb > 0.0) return pb;
    RecordNegativePotential(statementIndex, tk - kZeroCelsius);
    return kSmallestPotential;
}

double MosPolarity(const MosfetDevice& device)
{
    if (device.side) return device.side->polarity;
    return device.model && device.model->row == kModelPmos ? -1.0 : 1.0;
}

int MosChannelLevel(const MosfetDevice& device)
{
    if (!device.model) return 1;
    return static_cast<int>(MosParam(*device.model, mosp::kLevel));
}

double SeriesConductance(double g, double gsh, double n)
{
    if (g > 0.0) return g;
    if (n > 0.0) return gsh / n;
    return 0.0;
}

double SqrtWithParamWarning(double x, double tk, int statementIndex)
{
    if (x > 0.0) return std::sqrt(x);
    if (x < 0.0) RecordNegativePotential(statementIndex, tk - kZeroCelsius);
    return 0.001;
}

JunctionCapsAtTemperature AdjustJunctionCapsForTemperature(const JunctionCapsAtTemperature& nominal, double mj,
                                                           double mjsw, double tref, double tnomk, double tk,
                                                           double pbfact, double pbfact1, double fact1)
{
    constexpr double a = 0.0004;
    const double fact2 = tk / tref;
    JunctionCapsAtTemperature t = nominal;
    // Back from the measurement temperature to the reference, then forward to tk.
    const double pbo = (nominal.pb - pbfact1) / fact1;
    const double gmaold = (nominal.pb - pbo) / pbo;
    double capfact = 1.0 / (1.0 + mj * (a * (tnomk - tref) - gmaold));
    t.cbd *= capfact;
    t.cbs *= capfact;
    t.cj *= capfact;
    t.pb = fact2 * pbo + pbfact;
    const double gmanew = (t.pb - pbo) / pbo;
    capfact = 1.0 + mj * (a * (tk - tref) - gmanew);
    t.cbd *= capfact;
    t.cbs *= capfact;
    t.cj *= capfact;
    const double pbswo = (nominal.pbsw - pbfact1) / fact1;
    const double gmaoldsw = (nominal.pbsw - pbswo) / pbswo;
    t.cjsw *= 1.0 / (1.0 + mjsw * (a * (tnomk - tref) - gmaoldsw));
    t.pbsw = fact2 * pbswo + pbfact;
    const double gmanewsw = (t.pbsw - pbswo) / pbswo;
    t.cjsw *= 1.0 + mjsw * (a * (tk - tref) - gmanewsw);
    return t;
}

int CheckPositiveLength(SchematicItem* part, double value)
{
    if (value > 0.0) return 0;
    ReportMessage("NE", part, kMsgNonPositiveChannel, value);
    return kMsgAlreadyReported;
}

void PrepareMosModelsAtTemp(int modelType)
{
    EachModel(modelType, [](EvaluatedModel& m) {
        Slot(m, mosp::kAf) = std::max(Slot(m, mosp::kAf), 0.1f);
        Slot(m, mosp::kFc) = std::min(Slot(m, mosp::kFc), 0.95f);
        const double nsub = MosParam(m, mosp::kNsub);
        if (nsub > 0.0) {
            const double pb = MosParam(m, mosp::kPb);
            const double cj = pb > 0.0 ? std::sqrt(nsub * kQTimesSilicon * 1e6 / (2.0 * pb)) : 0.0;
            if (MosParam(m, mosp::kCbs) <= 0.0 && MosParam(m, mosp::kCj) <= 0.0) Slot(m, mosp::kCj) = static_cast<float>(cj);
        }
        if (MosParam(m, mosp::kLevel) != 2.0) Slot(m, mosp::kXqc) = 1.0f;
    });
}

void ConvertMosModelUnits(int modelType)
{
    EachModel(modelType, [modelType](EvaluatedModel& m) {
        Slot(m, mosp::kType) = modelType == kModelPmos ? -1.0f : 1.0f;
        for (int index : {mosp::kRds, mosp::kRg, mosp::kRd, mosp::kRs, mosp::kRb, mosp::kRsh})
            ResistanceToConductance(index, m.params);
        if (Slot(m, mosp::kNeff) == 0.0f) Slot(m, mosp::kNeff) = 1.0f;
        Slot(m, mosp::kNsub) = static_cast<float>(MosParam(m, mosp::kNsub) * 1e6);
        Slot(m, mosp::kNss) = static_cast<float>(MosParam(m, mosp::kNss) * 1e4);
        Slot(m, mosp::kNfs) = static_cast<float>(MosParam(m, mosp::kNfs) * 1e4);
        const double tox = MosParam(m, mosp::kTox);
        if (tox != 0.0) Slot(m, mosp::kTox) = static_cast<float>(kOxidePermittivity / tox);
        const double cox = MosParam(m, mosp::kTox);
        Slot(m, mosp::kUo) = static_cast<float>(MosParam(m, mosp::kUo) * 1e-4);
        const int level = static_cast<int>(MosParam(m, mosp::kLevel));
        if (level == 2 && MosParam(m, mosp::kUcrit) == 0.0) Slot(m, mosp::kUcrit) = 10000.0f;
        if (level == 3) {
            Slot(m, mosp::kUcrit) = static_cast<float>(MosParam(m, mosp::kTheta));
            Slot(m, mosp::kUexp) = cox != 0.0 ? static_cast<float>(MosParam(m, mosp::kEta) * 8.15e-22 / cox) : 0.0f;
            Slot(m, mosp::kUtra) = static_cast<float>(MosParam(m, mosp::kKappa));
            Slot(m, mosp::kDelta) =
                cox != 0.0 ? static_cast<float>(MosParam(m, mosp::kDelta) * 0.25 * kTwoPi * kSiliconPermittivity / cox)
                           : 0.0f;
            const double nsub = MosParam(m, mosp::kNsub);
            if (nsub > 0.0) Slot(m, mosp::kLambda) = static_cast<float>(2.0 * kSiliconPermittivity / (kChargeQ * nsub));
        } else {
            Slot(m, mosp::kUcrit) = static_cast<float>(MosParam(m, mosp::kUcrit) * 100.0);
        }
        Slot(m, mosp::kFc) = static_cast<float>(MosParam(m, mosp::kPb) * MosParam(m, mosp::kFc));
        Slot(m, mosp::kVbi) = static_cast<float>(
            MosParam(m, mosp::kVto) - MosParam(m, mosp::kType) * MosParam(m, mosp::kGamma) *
                                          SqrtWithParamWarning(MosParam(m, mosp::kPhi), 0.0, m.statementIndex));
        if (cox != 0.0 && level != 3)
            Slot(m, mosp::kUcrit) = static_cast<float>(MosParam(m, mosp::kUcrit) * kSiliconPermittivity / cox);
        if (MosParam(m, mosp::kIs) <= 0.0) Slot(m, mosp::kIs) = 1e-14f;
    });
}

void PrepareMosInstanceGeometry()
{
    const double gmax = Devices().gmax;
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (d.m != 1.0) {
            d.w *= d.m;
            d.ad *= d.m;
            d.as *= d.m;
            d.pd *= d.m;
            d.ps *= d.m;
        }
        if (!d.model) continue;
        const EvaluatedModel& m = *d.model;
        const bool low = IsMosLevel123(d);
        // The LEVEL 4, 5 and 8 tables share a head: RD, RS, RG, RB, RDS, RSH at 3 to 8.
        const int rd = low ? mosp::kRd : 3, rs = low ? mosp::kRs : 4, rg = low ? mosp::kRg : 5,
                  rb = low ? mosp::kRb : 6, rsh = low ? mosp::kRsh : 8;
        auto limited = [&](int index) {
            const double g = MosParam(m, index);
            return g != 0.0 && gmax <= g ? gmax : g;
        };
        const double gsh = MosParam(m, rsh);
        d.values.gd = d.m * SeriesConductance(limited(rd), gsh, d.nrd);
        d.values.gs = d.m * SeriesConductance(limited(rs), gsh, d.nrs);
        d.values.gg = d.m * SeriesConductance(limited(rg), gsh, d.nrg);
        d.values.gb = d.m * SeriesConductance(limited(rb), gsh, d.nrb);
    }
}

int PrepareMosLevel123AtTemperature(double t)
{
    ++MosfetFamilyGeneration();
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsMosLevel123(d) || !d.model) continue;
        const EvaluatedModel& m = *d.model;
        const int id = m.statementIndex;
        MosfetTemperatureBlock& b = Level123Block(d).temperature;
        MosfetLoadValues& v = d.values;
        const double type = MosParam(m, mosp::kType) != 0.0 ? MosParam(m, mosp::kType) : MosPolarity(d);
        const double tdev = ModelDeviceTemperature(*d.model, mosp::kTMeasured, t);
        const double tmeasured = m.Param(mosp::kTMeasured);
        b.tdev = tdev;
        const double tnomk = tmeasured + kZeroCelsius;
        const double tk = tdev + kZeroCelsius;
        const double fact1 = tnomk / kReferenceKelvin;
        const double fact2 = tk / kReferenceKelvin;
        const double ratio = tk / tnomk;
        const double ratio4 = ratio * std::sqrt(ratio);
        const double egfet1 = 1.16 - 0.000702 * tnomk * tnomk / (tnomk + 1108.0);
        const double egfet = 1.16 - 0.000702 * tk * tk / (tk + 1108.0);
        const double vtnom = kBoltzmannOverQ * tnomk;
        const double vt = kBoltzmannOverQ * tk;
        const double arg1 = -egfet1 / (2.0 * kBoltzmannJ * tnomk) + kBandGapTerm;
        const double pbfact1 = -2.0 * vtnom * (1.5 * std::log(fact1) + kChargeQ * arg1);
        const double arg = -egfet / (2.0 * kBoltzmannJ * tk) + kBandGapTerm;
        const double pbfact = -2.0 * vt * (1.5 * std::log(fact2) + kChargeQ * arg);

        b.kp = MosParam(m, mosp::kKp) / ratio4;
        b.uo = MosParam(m, mosp::kUo) / ratio4;
        const double phi = MosParam(m, mosp::kPhi);
        const double gamma = MosParam(m, mosp::kGamma);
        b.tphi = fact2 * (phi - pbfact1) / fact1 + pbfact;
        b.tvbi = MosParam(m, mosp::kVto) - type * gamma * SqrtWithParamWarning(phi, tk, id) + 0.5 * (egfet1 - egfet) +
                 type * 0.5 * (b.tphi - phi);
        v.tvto = b.tvbi + type * gamma * SqrtWithParamWarning(b.tphi, tk, id);
        b.vt = vt;
        v.nvt = std::max(MosParam(m, mosp::kN), 0.1) * vt;
        const double f = ClampedExpNarrow(-egfet / vt + egfet1 / vtnom);
        b.is = MosParam(m, mosp::kIs) * f;
        b.js = MosParam(m, mosp::kJs) * f;

        float mj = static_cast<float>(MosParam(m, mosp::kMj)), mjsw = static_cast<float>(MosParam(m, mosp::kMjsw));
        NudgeOffOne(mj);
        NudgeOffOne(mjsw);
        b.mj = mj;
        b.mjsw = mjsw;
        JunctionCapsAtTemperature nominal;
        nominal.pb = HeldPotential(MosParam(m, mosp::kPb), id, tnomk);
        nominal.pbsw = HeldPotential(MosParam(m, mosp::kPbsw), id, tnomk);
        nominal.cbd = MosParam(m, mosp::kCbd);
        nominal.cbs = MosParam(m, mosp::kCbs);
        nominal.cj = MosParam(m, mosp::kCj);
        nominal.cjsw = MosParam(m, mosp::kCjsw);
        const JunctionCapsAtTemperature caps =
            AdjustJunctionCapsForTemperature(nominal, b.mj, b.mjsw, kReferenceKelvin, tnomk, tk, pbfact, pbfact1, fact1);
        b.pb = HeldPotential(caps.pb, id, tk);
        b.pbsw = HeldPotential(caps.pbsw, id, tk);
        b.cbd = caps.cbd;
        b.cbs = caps.cbs;

        // The FC slot holds the nominal knee FC x PB. The coefficients below want FC itself, the
        // knee as a fraction of the junction potential, so that the knee follows PB with
        // temperature; taking the slot as that fraction would put the knee at FC x PB x PB.
        const double pbGiven = MosParam(m, mosp::kPb);
        const double fcv = pbGiven > 0.0 ? std::min(MosParam(m, mosp::kFc) / pbGiven, 0.95) : 0.0;
        b.depcap = fcv * b.pb;
        b.pbInverse = b.pb != 0.0 ? 1.0 / b.pb : 0.0;
        b.pbOverBottom = b.pb / (1.0 - b.mj);
        b.pbOverSidewall = b.pb / (1.0 - b.mjsw);
        const double js = b.js;
        if (js == 0.0 || d.ad == 0.0 || d.as == 0.0) {
            v.vcrits = v.vcritd = vt * std::log(vt / (kRoot2 * b.is));
        } else {
            v.vcritd = vt * std::log(vt / (kRoot2 * js * d.ad));
            v.vcrits = vt * std::log(vt / (kRoot2 * js * d.as));
        }
        const double a = 1.0 - fcv;
        const double sb = ClampedExp(-b.mj * std::log(a));
        const double ss = ClampedExp(-b.mjsw * std::log(a));
        auto junction = [&](double cb0, double csw0, double& f2, double& f3, double& f4) {
            f2 = cb0 * (1.0 - fcv * (1.0 + b.mj)) * sb / a + csw0 * (1.0 - fcv * (1.0 + b.mjsw)) * ss / a;
            f3 = cb0 * b.mj * sb / a / b.pb + csw0 * b.mjsw * ss / a / b.pb;
            f4 = cb0 * b.pb * (1.0 - a * sb) / (1.0 - b.mj) + csw0 * b.pb * (1.0 - a * ss) / (1.0 - b.mjsw) -
                 0.5 * f3 * b.depcap * b.depcap - b.depcap * f2;
        };
        // A capacitance or saturation current given for the device (not per area) is one of the
        // M parallel devices'; the areas and perimeters already carry all M.
        v.cbd0 = b.cbd != 0.0 ? b.cbd * d.m : caps.cj * d.ad;
        v.cbdsw0 = caps.cjsw * d.pd;
        junction(v.cbd0, v.cbdsw0, b.f2d, b.f3d, b.f4d);
        v.cbs0 = b.cbs != 0.0 ? b.cbs * d.m : caps.cj * d.as;
        v.cbssw0 = caps.cjsw * d.ps;
        junction(v.cbs0, v.cbssw0, b.f2s, b.f3s, b.f4s);
        if (js == 0.0 || d.ad == 0.0 || d.as == 0.0) {
            v.isatd = v.isats = b.is * d.m;
        } else {
            v.isatd = js * d.ad;
            v.isats = js * d.as;
            const double jssw = MosParam(m, mosp::kJssw);
            if (jssw != 0.0) {
                v.isatd += jssw * d.pd;
                v.isats += jssw * d.ps;
            }
        }
        b.isatsOverNvt = v.isats / v.nvt;
        b.isatdOverNvt = v.isatd / v.nvt;
        v.leff = d.l - 2.0 * MosParam(m, mosp::kLd);
        v.weff = d.w - 2.0 * MosParam(m, mosp::kWd) * d.m;
        for (double size : {v.leff, v.weff})
            if (int rc = CheckPositiveLength(d.component, size)) return rc;
        v.cgsov = MosParam(m, mosp::kCgso) * d.w;
        v.cgdov = MosParam(m, mosp::kCgdo) * d.w;
        v.cgbov = MosParam(m, mosp::kCgbo) * v.leff * d.m;
        b.oxcap = MosParam(m, mosp::kTox) * v.weff * v.leff;
        b.beta = b.kp * v.weff / v.leff;
        b.type = MosPolarity(d);
        b.gamma = gamma;
        b.lambda = MosParam(m, mosp::kLambda);
        b.tt = MosParam(m, mosp::kTt);
        b.rds = MosParam(m, mosp::kRds);
        b.level = MosChannelLevel(d);
        b.sourceMemo = b.drainMemo = {};
        b.level1Body = {};
        b.drainSteady = false;
        b.nsub = MosParam(m, mosp::kNsub);
        b.nfs = MosParam(m, mosp::kNfs);
        b.xj = MosParam(m, mosp::kXj);
        b.ld = MosParam(m, mosp::kLd);
        b.ucrit = MosParam(m, mosp::kUcrit);
        b.uexp = MosParam(m, mosp::kUexp);
        b.utra = MosParam(m, mosp::kUtra);
        b.vmax = MosParam(m, mosp::kVmax);
        b.neff = MosParam(m, mosp::kNeff);
        b.delta = MosParam(m, mosp::kDelta);
        b.eta = MosParam(m, mosp::kEta);
        b.cox = MosParam(m, mosp::kTox);
        b.xd = MosParam(m, mosp::kXd);
        b.statementIndex = id;
        b.seriesFree = v.gd == 0.0 && v.gs == 0.0 && v.gg == 0.0 && v.gb == 0.0 && b.rds == 0.0;
        b.bottomGrading = b.mj == 0.5 ? MosfetTemperatureBlock::kSquareRoot : MosfetTemperatureBlock::kPower;
        b.sidewallGrading = b.mjsw == b.mj    ? MosfetTemperatureBlock::kSameAsBottom
                            : b.mjsw == 0.5 ? MosfetTemperatureBlock::kSquareRoot
                                            : MosfetTemperatureBlock::kPower;
        PrepareMosLevel3Constants(d);
        Level123Block(d).replay.epoch = 0;  // what the last load added was made with the old values
        if (!KeepsMosOperatingValues()) ResetMosOperatingValues(d);
        if (Analysis().analysisKind != kAnalysisAc) b.cgs = b.cgsPrev = b.cgd = b.cgdPrev = b.cgb = b.cgbPrev = 1e-12;
    }
    return 0;
}

bool KeepsMosOperatingValues() { return Analysis().analysisKind == kAnalysisAc && AcRun().keepDeviceStates; }

void ResetMosOperatingValues(MosfetDevice& d)
{
    d.mode = 1.0;
    // What the report shows of the last point: a run's operating point computes no junction
    // capacitances, and shows none rather than those of the last run's final time point.
    d.quantities = {};
    MosfetLoadValues& v = d.values;
    v.capbd = v.capbs = 0.0;
    if (IsMosLevel123(d)) v.von = 0.0;
    v.vdsat = 0.0;
    v.vbs2 = v.vgs2 = v.vds2 = 0.0;
    v.vgs1 = v.vbs1 = v.vds1 = 0.0;
}

void ResetAllMosOperatingValues()
{
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) ResetMosOperatingValues(d);
}

}  // namespace kq5
