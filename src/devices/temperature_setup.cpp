#include "devices/temperature_setup.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <span>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "core/error_context.h"
#include "core/device_lists.h"
#include "core/linked_list.h"
#include "core/message_reporter.h"
#include "netlist/fet_devices.h"
#include "devices/model_temperature.h"
#include "netlist/opamp_device.h"
#include "document/component_attributes.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

// Parameter indices of the rows this set-up touches.
namespace diode {
constexpr int kLevel = 0, kIs = 1, kBv = 6, kIbv = 7, kVj = 14, kM = 15, kFc = 16, kEg = 17, kAf = 25,
              kTMeasured = 27, kDepCapB = 33, kDepCapC = 34, kDepCapD = 35;
}
namespace gasfet {
constexpr int kRg = 10, kRd = 11, kRs = 12, kM = 15, kVbi = 16, kFc = 20, kAf = 31, kDepCapB = 38, kDepCapC = 39,
              kDepCapD = 40;
}
namespace mos {
constexpr int kLevel = 0, kVto = 1, kKp = 2, kL = 3, kW = 4, kGamma = 5, kPhi = 6, kLambda = 7, kTox = 23, kNsub = 24,
              kNss = 25, kTpg = 27, kUo = 31, kUcrit = 32, kUexp = 33, kUtra = 34, kKappa = 44, kTMeasured = 52,
              kPolarity = 58, kVfb = 60, kDepletion = 61;
}

constexpr int kBjtModelTypes[] = {kModelNpn, kModelPnp, kModelLpnp};
constexpr int kJfetModelTypes[] = {kModelNjf, kModelPjf};
constexpr int kMosModelTypes[] = {kModelNmos, kModelPmos};

constexpr double kIntrinsicDensity = 1.45e16;
constexpr double kOxidePermittivity = 3.45314379969e-11;
constexpr double kTwoSiliconPermittivityQ = 3.319559208050496e-29;
constexpr double kTwoSiliconPermittivity = 2.071886279814e-10;

bool Given(float v) { return !IsParamNotGiven(v); }

float& P(EvaluatedModel& m, int index)
{
    static float spare = 0.0f;
    if (index < 0 || static_cast<std::size_t>(index) >= m.params.size()) return spare = 0.0f;
    return m.params[static_cast<std::size_t>(index)];
}

template <class F>
void EachModel(int type, F&& f)
{
    if (type < 0 || type >= kModelTypeCount) return;
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(type)])) f(m);
}

double ClampedExpLocal(double x) { return std::exp(std::clamp(x, -150.0, 150.0)); }

// The square root of PHI as the MOSFET models take it: never of a negative value.
double GuardedSqrt(double x) { return x > 0.0 ? std::sqrt(x) : 0.0; }

void LimitDiodeModels()
{
    EachModel(kModelDiode, [](EvaluatedModel& m) {
        NudgeOffOne(P(m, diode::kM));
        P(m, diode::kEg) = std::max(P(m, diode::kEg), 0.1f);
        P(m, diode::kAf) = std::max(P(m, diode::kAf), 0.1f);
        P(m, diode::kFc) = std::min(P(m, diode::kFc), 0.95f);
    });
}

void LimitGasfetModels()
{
    EachModel(kModelGasfet, [](EvaluatedModel& m) {
        P(m, gasfet::kAf) = std::max(P(m, gasfet::kAf), 0.1f);
        P(m, gasfet::kFc) = std::min(P(m, gasfet::kFc), 0.95f);
    });
}

// The knee line continues the charge the load grades with M below the knee.
void GasfetConductances()
{
    EachModel(kModelGasfet, [](EvaluatedModel& m) {
        for (int index : {gasfet::kRd, gasfet::kRs, gasfet::kRg}) ResistanceToConductance(index, m.params);
        DepletionCapCoefficients(m.params, gasfet::kFc, gasfet::kDepCapB, gasfet::kDepCapC, gasfet::kDepCapD,
                                 P(m, gasfet::kFc), P(m, gasfet::kVbi), P(m, gasfet::kM));
    });
}

void DiodeDepletionCoefficients()
{
    EachModel(kModelDiode, [](EvaluatedModel& m) {
        DepletionCapCoefficients(m.params, diode::kFc, diode::kDepCapB, diode::kDepCapC, diode::kDepCapD,
                                 P(m, diode::kFc), P(m, diode::kVj), P(m, diode::kM));
    });
}

int ModelLevel(const MosfetDevice& device)
{
    if (device.model && !device.model->params.empty() && Given(device.model->params[0]))
        return static_cast<int>(std::lround(device.model->params[0]));
    return device.level;
}

void MosfetInstanceDefaults()
{
    const GlobalOptionValues& o = GlobalOptions().values;
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        d.w = d.wNominal;
        d.ad = d.adNominal;
        d.as = d.asNominal;
        d.pd = d.pdNominal;
        d.ps = d.psNominal;
        const int level = ModelLevel(d);
        if (level > 3) continue;
        const double modelL = d.model ? P(*d.model, mos::kL) : 0.0;
        const double modelW = d.model ? P(*d.model, mos::kW) : 0.0;
        if (!d.lGiven) d.l = 0.0;
        d.l = FirstNonZero3(d.l, modelL, o.defl);
        if (!d.wGiven) d.w = 0.0;
        d.w = FirstNonZero3(d.w, modelW, o.defw);
        if (d.ad == 0.0) d.ad = o.defad;
        if (d.as == 0.0) d.as = o.defas;
        if (d.nrd < 0.0) d.nrd = 1.0;
        if (d.nrs < 0.0) d.nrs = 1.0;
    }
}

}  // namespace

void RebuildModelsFromPristine()
{
    for (int type = 0; type < kModelTypeCount; ++type)
        EachModel(type, [](EvaluatedModel& m) {
            if (m.pristine.size() != m.params.size()) m.EnsureRunLayer();
            else std::copy(m.pristine.begin(), m.pristine.end(), m.params.begin());
        });
}

double ThermalVoltage(double celsius) { return (celsius + 273.15) * kBoltzmann / kElectronCharge; }

void PrepareDiodeBreakdown()
{
    const GlobalOptionValues& o = GlobalOptions().values;
    EachModel(kModelDiode, [&](EvaluatedModel& m) {
        if (P(m, diode::kLevel) != 1.0f || P(m, diode::kBv) == 0.0f) return;
        float& measured = P(m, diode::kTMeasured);
        if (!Given(measured)) measured = static_cast<float>(o.tnom);
        const double vtn = ThermalVoltage(measured);
        const double is = P(m, diode::kIs);
        const double ibv = P(m, diode::kIbv);
        const double bv = P(m, diode::kBv);
        if (is * bv / vtn > ibv) return;
        double d = ibv - o.gmin * bv;
        if (d <= 0.0 || is <= 0.0) return;
        const double tolerance = o.reltol * ibv + o.abstol;
        double x = bv - vtn * std::log(d / is);
        for (int k = 0; k < 26; ++k) {
            d = ibv - o.gmin * x;
            if (d <= 0.0) break;
            x = bv - vtn * std::log(d / is);
            if (std::fabs(is * ClampedExpLocal((bv - x) / vtn) + o.gmin * x - ibv) <= tolerance) break;
        }
        P(m, diode::kBv) = static_cast<float>(x);
    });
}

int PrepareMosModelProcess(int modelType, double celsius)
{
    const double tk = celsius + 273.15;
    const double eg = 1.16 - 7.02e-4 * tk * tk / (tk + 1108.0);
    const double w0 = 0.5 * eg + 3.25;
    int result = 0;
    EachModel(modelType, [&](EvaluatedModel& m) {
        float& nsub = P(m, mos::kNsub);
        double cnsub = Given(nsub) ? nsub * 1e6 : 0.0;
        float& tox = P(m, mos::kTox);
        if (tox == 0.0f) tox = ParamNotGiven;
        float& levelParam = P(m, mos::kLevel);
        if (!Given(levelParam) || levelParam == 0.0f) levelParam = 1.0f;
        const int level = static_cast<int>(std::lround(levelParam));
        bool process = true;
        if (!Given(tox) && level > 1) tox = 1e-7f;
        if (Given(tox) && tox <= 0.0f) {
            ReportMessage("WE", RunControl().circuitWindow, kMsgToxNotPositive);
            tox = 1.0f;
            RunControl().modelError = 1;
            result = kMsgAlreadyReported;
        }
        if (!Given(tox) && level == 1) process = false;
        if (process) {
            const double cox = kOxidePermittivity / tox;
            float& kp = P(m, mos::kKp);
            if (!Given(kp)) {
                float& uo = P(m, mos::kUo);
                if (!Given(uo)) uo = 600.0f;
                kp = static_cast<float>(uo * cox * 1e-4);
            }
            if (Given(nsub)) {
                if (cnsub <= kIntrinsicDensity) {
                    if (nsub != 0.0f) {
                        ReportMessage("WE", RunControl().circuitWindow, kMsgNsubBelowNi);
                        nsub = 0.0f;
                        RunControl().modelError = 1;
                        result = kMsgAlreadyReported;
                    }
                } else {
                    float& phi = P(m, mos::kPhi);
                    if (!Given(phi)) {
                        float& measured = P(m, mos::kTMeasured);
                        if (!Given(measured)) measured = static_cast<float>(GlobalOptions().values.tnom);
                        phi = static_cast<float>(std::max(2.0 * ThermalVoltage(measured) * std::log(cnsub / kIntrinsicDensity), 0.1));
                    }
                    float& tpg = P(m, mos::kTpg);
                    double polarity = P(m, mos::kPolarity);
                    if (polarity == 0.0) polarity = modelType == kModelPmos ? -1.0 : 1.0;
                    double wg = 3.2;
                    if (tpg != 0.0f) {
                        if (!Given(tpg)) tpg = 1.0f;
                        wg = w0 - polarity * tpg * 0.5 * eg;
                    }
                    float& gamma = P(m, mos::kGamma);
                    if (!Given(gamma)) gamma = static_cast<float>(std::sqrt(kTwoSiliconPermittivityQ * cnsub) / cox);
                    const double sqrtPhi = GuardedSqrt(phi);
                    float& vto = P(m, mos::kVto);
                    if (!Given(vto)) {
                        float& nss = P(m, mos::kNss);
                        if (!Given(nss)) nss = 0.0f;
                        const double vfb = wg - (w0 + polarity * 0.5 * phi) - nss * 1e4 * kElectronCharge / cox;
                        P(m, mos::kVfb) = static_cast<float>(vfb);
                        vto = static_cast<float>((gamma * sqrtPhi + phi) * polarity + vfb);
                    } else {
                        P(m, mos::kVfb) = static_cast<float>(vto - (gamma * sqrtPhi + phi) * polarity);
                    }
                    P(m, mos::kDepletion) = static_cast<float>(std::sqrt(kTwoSiliconPermittivity / (cnsub * kElectronCharge)));
                }
            }
        }
        if (level == 3) {
            float& kappa = P(m, mos::kKappa);
            if (!Given(kappa) || kappa == 0.0f) kappa = 0.2f;
            P(m, mos::kUcrit) = 0.0f;
            P(m, mos::kUexp) = 0.0f;
            P(m, mos::kLambda) = 0.0f;
            float& utra = P(m, mos::kUtra);
            if (!Given(utra) || utra == 0.0f) utra = 0.2f;
        }
        const std::pair<int, float> defaults[] = {{mos::kGamma, 0.0f}, {mos::kTox, 0.0f},  {mos::kKp, 2e-5f},   {mos::kVto, 0.0f},
                                                  {mos::kPhi, 0.6f},   {mos::kUo, 600.0f}, {mos::kNsub, 0.0f}, {mos::kTpg, 1.0f}};
        for (const auto& [index, value] : defaults)
            if (!Given(P(m, index))) P(m, index) = value;
    });
    return result;
}

int SetCircuitTemperature(double celsius)
{
    Analysis().variables.vt = ThermalVoltage(celsius);
    RebuildModelsFromPristine();
    for (OpampDevice& opamp : ListRecords<OpampDevice>(DeviceList(kOpampDeviceList)))
        if (int rc = PrepareOpampInstance(opamp, celsius)) {
            SetPendingErrorText(GetAttributeText(opamp.component, kAttrPart));
            return rc;
        }
    int result = PrepareMosModelProcess(kModelNmos, celsius);
    if (const int pmos = PrepareMosModelProcess(kModelPmos, celsius); result == 0) result = pmos;
    if (result != 0) return result;
    LimitDiodeModels();
    for (int type : kBjtModelTypes) PrepareBjtModelLimits(type);
    for (int type : kJfetModelTypes) PrepareJfetModelLimits(type);
    LimitGasfetModels();
    for (int type : kMosModelTypes) PrepareMosModelsAtTemp(type);
    for (int type : kBjtModelTypes) ScaleBjtLeakageCurrents(type);
    DiodeDepletionCoefficients();
    PrepareDiodeBreakdown();
    for (int type : kBjtModelTypes) DeriveBjtModelParams(type);
    for (int type : kJfetModelTypes) DeriveJfetModelParams(type);
    if (int rc = DefaultPulseEdgeTimes()) return rc;
    GasfetConductances();
    for (int type : kMosModelTypes) ConvertMosModelUnits(type);
    MosfetInstanceDefaults();
    PrepareMosLevel4Instances();
    PrepareMosLevel5Instances();
    PrepareMosLevel8Instances();
    return CheckLossyLineModels();
}

}  // namespace kq5
