#include "devices/inductor_load.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/convergence.h"
#include "analog/device_dispatch.h"
#include "netlist/numeric_helpers.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "core/message_reporter.h"
#include "netlist/inductor_device.h"
#include "document/circuit_document.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

constexpr int kMsgCouplingRange = 10805;
constexpr double kMu0 = 1.256637061435917e-06;

// IND model parameters.
constexpr int kIndMultiplier = 0, kIndIl1 = 1, kIndIl2 = 2;
// CORE model parameters.
enum CoreParam { kCoreLevel, kCoreArea, kCorePath, kCoreGap, kCorePack, kCoreMs, kCoreA, kCoreC, kCoreK, kCoreAlpha };

double ModelValue(const EvaluatedModel* model, int index, double fallback = 0.0)
{
    if (!model || index >= static_cast<int>(model->params.size())) return fallback;
    const float v = model->Param(index);
    return IsParamNotGiven(v) ? fallback : static_cast<double>(v);
}

double SignOf(double v) { return v < 0.0 ? -1.0 : 1.0; }

double Current(const InductorStamps& st) { return SolutionVector()[static_cast<std::size_t>(st.branch)]; }

// The records of the inductor and coupling lists with their solver entries. The lists are walked
// in step with their tables; nothing is allocated or searched during a load.
template <class F>
int ForEachInductor(F&& f)
{
    return ForEachDeviceWithStamps<InductorDevice>(kInductorDeviceList, AnalogSolver().devices.inductors, f);
}

struct CouplingRef {
    CouplingDevice* device;
    CouplingStamps* stamps;
    InductorStamps* first;
    InductorStamps* second;
};

InductorStamps* InductorAt(std::int32_t index)
{
    std::vector<InductorStamps>& table = AnalogSolver().devices.inductors;
    return index >= 0 && static_cast<std::size_t>(index) < table.size() ? &table[static_cast<std::size_t>(index)]
                                                                          : nullptr;
}

template <class F>
int ForEachCoupling(F&& f)
{
    std::vector<CouplingStamps>& table = AnalogSolver().devices.couplings;
    if (table.empty()) return 0;
    std::size_t i = 0;
    for (CouplingDevice& k : ListRecords<CouplingDevice>(DeviceList(kCouplingDeviceList))) {
        if (i >= table.size()) break;
        CouplingStamps& st = table[i++];
        if (int rc = f(CouplingRef{&k, &st, InductorAt(st.first), InductorAt(st.second)})) return rc;
    }
    return 0;
}

CoreState* CoreOf(const InductorStamps* st)
{
    if (!st || st->core < 0) return nullptr;
    std::vector<CoreState>& cores = AnalogSolver().devices.cores;
    return static_cast<std::size_t>(st->core) < cores.size() ? &cores[static_cast<std::size_t>(st->core)] : nullptr;
}

const EvaluatedModel* CoreModel(const InductorDevice* l) { return l && l->core ? l->core->model : nullptr; }

bool Nonlinear(const InductorStamps& st) { return !st.isLinear || st.core >= 0; }

int UpdateFluxes()
{
    AnalogSolverState& s = AnalogSolver();
    return ForEachInductor([&s](InductorDevice& l, InductorStamps& st) {
        const double i = Current(st);
        l.current = i;
        if (st.core >= 0) {
            const double v = SolutionDifference(l.nodeA, l.nodeB);
            CheckValueConverged(v, st.voltage);
            st.voltage = v;
            return 0;
        }
        if (l.valueExpression.compiled && !(s.hooks.isSteppedItem && s.hooks.isSteppedItem(&l.value))) {
            std::complex<double> result;
            if (int rc = EvaluateExpression(*l.valueExpression.compiled, result)) return rc;
            l.value = result.real();
        }
        const double multiplier = l.model ? ModelValue(l.model, kIndMultiplier, 1.0) : 1.0;
        const double il1 = st.isLinear ? 0.0 : ModelValue(l.model, kIndIl1);
        const double il2 = st.isLinear ? 0.0 : ModelValue(l.model, kIndIl2);
        st.leff = l.value * multiplier * st.tempFactor;
        double flux = 0.0;
        if (!st.isLinear) {
            st.leff *= 1.0 + il1 * i + il2 * i * i;
            flux = multiplier * l.value * st.tempFactor * (i + il1 * 0.5 * i * i + il2 * i * i * i / 3.0);
        } else if (s.flags.icAtPreparation && l.initialConditionGiven) {
            flux = st.leff * l.initialCondition;
        } else {
            flux = st.leff * i;
        }
        s.chargeStates[static_cast<std::size_t>(st.stateSlot)] = flux;
        st.flux = l.flux = flux;
        if (l.valueExpression.compiled) UpdateConvergedValue(st.leff, st.previousLeff);
        return 0;
    });
}

int AddMutualFluxes()
{
    AnalogSolverState& s = AnalogSolver();
    return ForEachCoupling([&s](const CouplingRef& c) {
        if (!c.first || !c.second || c.first->core >= 0 || c.second->core >= 0) return 0;
        const double l1 = SignOf(c.first->leff) * std::max(std::fabs(c.first->leff), 1e-30);
        const double l2 = SignOf(c.second->leff) * std::max(std::fabs(c.second->leff), 1e-30);
        double k = 0.0;
        if (int rc = GetCouplingFactor(*c.device, k)) return rc;
        s.chargeStates[static_cast<std::size_t>(c.first->stateSlot)] += k * std::sqrt(std::fabs(l1 / l2)) * c.second->flux;
        s.chargeStates[static_cast<std::size_t>(c.second->stateSlot)] += k * std::sqrt(std::fabs(l2 / l1)) * c.first->flux;
        return 0;
    });
}

// The largest interdomain coupling as a fraction of its stability limit 3 A / MS.
constexpr double kCouplingLimit = 0.9;

// One Jiles-Atherton solve of a core at its applied field. False when the anhysteretic
// magnetisation or the air-gap field does not converge.
bool SolveCore(CoreState& core, const EvaluatedModel* model)
{
    const AnalogSolverState& s = AnalogSolver();
    const int itl4 = GlobalOptions().values.itl4;
    const double tol = s.reltol / 100.0;
    const double path = ModelValue(model, kCorePath, 1.0);
    const double gap = ModelValue(model, kCoreGap);
    const double ms = ModelValue(model, kCoreMs, 400000.0);
    const double a = ModelValue(model, kCoreA, 25.0);
    const double cwall = ModelValue(model, kCoreC, 0.001);
    const double kpin = ModelValue(model, kCoreK, 25.0);
    // The interdomain coupling feeds the magnetisation back into its own field. Beyond 3 A / MS
    // (the slope of the Langevin function at the origin is 1/3) the anhysteretic magnetisation
    // is no longer single-valued: near zero field the solve settles on the unstable branch,
    // where its slope, and with it the winding's inductance, is negative (the default model,
    // MS 400000, A 25, ALPHA 0.001, is such a case) and the run crawls. The coupling is held
    // below that limit.
    const double alpha = ms > 0.0 && a > 0.0 ? std::min(ModelValue(model, kCoreAlpha, 0.001), kCouplingLimit * 3.0 * a / ms)
                                             : ModelValue(model, kCoreAlpha, 0.001);
    const bool noGap = gap <= 0.0;
    const double gapRatio = noGap ? 0.0 : path / gap;

    // With an air gap most of the applied field drops across the gap: the solve starts from the
    // core's own field of its last solve, which the applied field, a hundred times larger,
    // would send the Langevin curve swinging from one saturation to the other.
    double h = noGap ? core.happ : core.hcore;
    double err = 1.0;
    for (int count = 0; count < itl4 && err > tol; ++count) {
        double lprime = 0.0;
        bool converged = false;
        for (int step = 0; step < 50; ++step) {
            const double x = (h + SignOf(h) * std::fabs(alpha * core.m)) / a;
            double r = 0.0, d = 0.0;
            LangevinTerms(a, alpha, ms, core.m, x, r, d, lprime);
            if (d == 0.0) return false;
            const double delta = r / d;
            core.m -= delta;
            if (std::fabs(delta) / std::max(std::fabs(core.m), s.abstol) < tol) {
                converged = true;
                break;
            }
        }
        if (!converged) return false;
        const double chiA = 1.0 / (a / (ms * lprime) - alpha);
        const double dH = h - core.hprev;
        const double c = cwall * chiA / (1.0 + cwall);
        const double kd = SignOf(dH) * kpin * (1.0 + cwall);
        core.mirr = (kd * core.mirrOld + (core.m + kd * c) * dH) / (kd + dH);
        // How this step's magnetisation moves with the core field, the anhysteretic one (slope
        // chiA) moving along: the slope the air-gap solve below steps by. The susceptibility
        // dMdH is not that slope, and with it the solve crept towards the field and ran out of
        // iterations wherever the core turned round, so the run ended with a step too small.
        double slope = chiA * dH / (kd + dH) + kd * (core.m + kd * c - core.mirrOld) / ((kd + dH) * (kd + dH));
        double chiIrr = (core.m - core.mirr) / kd;
        if (chiIrr < 0.0) {
            // The wall pinning holds: no irreversible change, and no negative susceptibility,
            // which made the windings' inductance negative and froze the magnetising current.
            core.mirr = dH * c + core.mirrOld;
            chiIrr = std::max((core.m - core.mirr) / kd, 0.0);
            slope = c;
        }
        core.dMdH = chiIrr + c;
        if (noGap) {
            err = 0.0;
            break;
        }
        const double f = core.mirr - (core.happ - h) * gapRatio;
        const double g = gapRatio + slope;
        if (g == 0.0) {
            err = 0.0;
            break;
        }
        const double hold = h;
        h -= f / g;
        if (h == 0.0) {
            err = 0.0;
            break;
        }
        err = std::fabs(hold - h) / std::max({std::fabs(hold), std::fabs(h), s.abstol});
    }
    if (err > tol) return false;
    core.hcore = h;
    return true;
}

void FinishCoreSolve(CoreState& core, const EvaluatedModel* model, bool solved)
{
    AnalogSolverState& s = AnalogSolver();
    if (!solved) {
        s.coreFailed = 1;
        ++s.nonConvergedCount;
        return;
    }
    if (s.iterationCount >= 1 && s.iterationMode != kModeFixedInitial) {
        CheckValueConverged(core.mirr, core.mirrIter);
        const double r = std::fabs((core.mirr - core.mirrOld) / ModelValue(model, kCoreMs, 400000.0));
        if (s.nonConvergedCount == 0 && r != 0.0) {
            // The next step may move the magnetisation by about the core tolerance.
            s.coreStepBound = std::min(s.coreStepBound, std::max(s.coreTolerance / r, 0.2));
        }
    }
    core.mirrIter = core.mirr;
}

// Inductance and flux of a core-wound inductor from its core.
void TakeFromCore(InductorDevice& l, InductorStamps& st, CoreState& core, const EvaluatedModel* model, double k)
{
    const AnalogSolverState& s = AnalogSolver();
    const double area = ModelValue(model, kCoreArea, 1.0) * 0.0001;
    const double path = ModelValue(model, kCorePath, 1.0);
    const double turns = l.value;
    const double dHapp = core.happ - core.happOld;
    double chi = dHapp != 0.0 ? (core.mirr - core.mirrOld) / dHapp : core.dMdH;
    if (dHapp == 0.0) {
        // With the applied field standing still (an operating point, the AC analysis) the slope
        // is taken against the applied field too: an air gap holds the core's own field below
        // it, in series with the gap's reluctance, as the moving field in a transient sees.
        const double gap = ModelValue(model, kCoreGap);
        if (gap > 0.0) {
            const double gapRatio = path / gap;
            if (gapRatio + chi != 0.0) chi = chi * gapRatio / (gapRatio + chi);
        }
    }
    // The turns stay in the record: only the effective inductance changes.
    st.leff = chi * kMu0 * turns * turns * area / (path * 0.01);
    st.coreInductanceComputed = 1;
    if (s.flags.icAtPreparation && l.initialConditionGiven) {
        core.happ = core.happOld = turns * 100.0 / path * l.initialCondition;
        core.mirr = core.mirrOld = st.leff * l.initialCondition / (area * kMu0);
    }
    const double flux = k * (area * kMu0 * core.mirr) * turns;
    AnalogSolver().chargeStates[static_cast<std::size_t>(st.stateSlot)] = flux;
    st.flux = l.flux = flux;
    l.field = core.hcore;
    // B over mu0, in A/m like H: the expressions read both through the same scale, B in gauss
    // and H in oersteds.
    l.fluxDensity = core.hcore + core.mirr;
}

void StampInductors()
{
    AnalogSolverState& s = AnalogSolver();
    const bool dc = s.runPhase != kPhaseTimeSteps;
    ForEachInductor([&](InductorDevice&, InductorStamps& st) {
        double geq = 0.0;
        double ceq = 0.0;
        if (!dc) {
            const auto k = static_cast<std::size_t>(st.stateSlot);
            if (s.iterationMode == kModePredictor) {
                s.chargeStates[k] = s.chargeStates[k + 1];
            } else if (s.iterationMode == kModeFirstTimePoint) {
                s.chargeStates[k + 1] = s.chargeStates[k];
                s.currentStates[k + 1] = s.currentStates[k];
            }
            IntegrateCharge(st.stateSlot, st.leff, geq, ceq);
            if (Nonlinear(st)) ceq = ceq - geq * Current(st) + s.ag0 * s.chargeStates[k];
        }
        RhsEntry(st.branch) += ceq;
        StampCursor c(st.stamps);
        c.Add(-geq);
        c.Add(1.0);
        c.Add(1.0);
        c.Add(-1.0);
        c.Add(-1.0);
        c.Finish();
        return 0;
    });
}

int StampCouplings()
{
    AnalogSolverState& s = AnalogSolver();
    const bool dc = s.runPhase != kPhaseTimeSteps;
    return ForEachCoupling([&](const CouplingRef& c) {
        if (!c.first || !c.second) return 0;
        double k = 0.0;
        if (int rc = GetCouplingFactor(*c.device, k)) return rc;
        // In a DC solution the inductors are shorts and their couplings carry nothing.
        const double m = dc ? 0.0 : s.ag0 * k * std::sqrt(std::fabs(c.first->leff * c.second->leff));
        StampCursor cursor(c.stamps->stamps);
        cursor.Add(-m);
        cursor.Add(-m);
        cursor.Finish();
        auto other = [&](const InductorStamps* self, const InductorStamps* to, const InductorDevice* l) {
            if (!Nonlinear(*self)) return;
            const double i = s.flags.icAtPreparation && l->initialConditionGiven ? l->initialCondition : Current(*self);
            RhsEntry(to->branch) -= m * i;
        };
        other(c.first, c.second, c.device->first);
        other(c.second, c.first, c.device->second);
        return 0;
    });
}

}  // namespace

int GetCouplingFactor(const CouplingDevice& coupling, double& k)
{
    const DeviceExpression* e = coupling.expression;
    const bool constant = !e || !e->compiled ||
                          (e->compiled->instructions.count == 1 &&
                           ListHead<ExpressionInstruction>(e->compiled->instructions)->opcode == kOpConstant);
    if (constant) {
        k = coupling.value;
        return 0;
    }
    std::complex<double> result;
    if (int rc = EvaluateExpression(*e->compiled, result)) return rc;
    k = result.real();
    if (k < 0.0 || k > 1.0) {
        ReportMessage("WNE", CurrentRecord(), coupling.component, kMsgCouplingRange);
        return kMsgAlreadyReported;
    }
    return 0;
}

void LangevinTerms(double a1, double a2, double a3, double a4, double x, double& residual, double& derivative,
                   double& derivativeOfL)
{
    if (std::fabs(x) >= 0.01) {
        double xc = std::clamp(x, -100.0, 100.0);
        if (xc == 0.0) xc = 1e-50;
        const double e = ClampedExp(xc);
        double denominator = e - 1.0 / e;
        if (denominator == 0.0) denominator = 1e-50;
        const double xs = x == 0.0 ? 1e-50 : x;
        const double l = (e + 1.0 / e) / denominator - 1.0 / xs;
        double sinh = (e - 1.0 / e) * 0.5;
        if (sinh == 0.0) sinh = 1e-50;
        double lprime = 1.0 / (xc * xc) - 1.0 / (sinh * sinh);
        residual = a4 - a3 * l;
        derivative = 1.0 - a3 * lprime * a2 / a1;
        if (lprime == 0.0) lprime = 1e-50;
        derivativeOfL = lprime;
        return;
    }
    if (x > 0.0 && x < 1e-50) x = 1e-50;
    if (x < 0.0 && x > -1e-50) x = -1e-50;
    const double d = a3 * 0.333333333;
    residual = a4 - d * x;
    derivative = 1.0 - d * a2 / a1;
    derivativeOfL = 0.333333333;
}

int SolveCores()
{
    AnalogSolverState& s = AnalogSolver();
    ForEachCoupling([](const CouplingRef& c) {
        for (InductorStamps* st : {c.first, c.second}) {
            if (!st) continue;
            st->coreFieldAdded = 0;
            st->coreInductanceComputed = 0;
        }
        if (CoreState* core = CoreOf(c.first)) {
            core->solved = 0;
            core->happ = 0.0;
        }
        return 0;
    });
    ForEachInductor([](InductorDevice& l, InductorStamps& st) {
        CoreState* core = CoreOf(&st);
        if (!core || st.coreFieldAdded) return 0;
        const double path = ModelValue(CoreModel(&l), kCorePath, 1.0);
        core->happ += l.value * 100.0 / path * Current(st);
        st.coreFieldAdded = 1;
        return 0;
    });
    return ForEachCoupling([&s](const CouplingRef& c) {
        CoreState* core = CoreOf(c.first);
        if (!core) return 0;
        const EvaluatedModel* model = CoreModel(c.device->first);
        if (!core->solved) {
            if (s.setupDone) FinishCoreSolve(*core, model, SolveCore(*core, model));
            core->solved = 1;
        }
        double k = 0.0;
        if (int rc = GetCouplingFactor(*c.device, k)) return rc;
        TakeFromCore(*c.device->first, *c.first, *core, model, k);
        if (c.second && c.device->second) TakeFromCore(*c.device->second, *c.second, *core, model, k);
        return 0;
    });
}

int SetupInductorsAndCouplings()
{
    if (int rc = ForEachInductor([](InductorDevice& l, InductorStamps& st) {
            const int b = st.branch;
            BeginDeviceReservations(st.stamps);
            if (int rc = ReserveMatrixElement(b, b)) return rc;
            if (int rc = ReserveMatrixElement(l.nodeA, b)) return rc;
            if (int rc = ReserveMatrixElement(b, l.nodeA)) return rc;
            if (int rc = ReserveMatrixElement(b, l.nodeB)) return rc;
            if (int rc = ReserveMatrixElement(l.nodeB, b)) return rc;
            EndDeviceReservations(st.stamps);
            return 0;
        }))
        return rc;
    return ForEachCoupling([](const CouplingRef& c) {
        BeginDeviceReservations(c.stamps->stamps);
        if (c.first && c.second) {
            if (int rc = ReserveMatrixElement(c.first->branch, c.second->branch)) return rc;
            if (int rc = ReserveMatrixElement(c.second->branch, c.first->branch)) return rc;
        }
        EndDeviceReservations(c.stamps->stamps);
        return 0;
    });
}

int LoadInductorsAndCouplings()
{
    AnalogSolverState& s = AnalogSolver();
    s.coreStepBound = kNoCoreStepBound;
    s.coreFailed = 0;
    const DeviceSolverTables& t = s.devices;
    if (t.inductors.empty() && t.couplings.empty() && t.cores.empty()) {
        s.stepFactors[kStepFactorInductorCore] = s.coreStepBound;
        return 0;
    }
    if (int rc = UpdateFluxes()) return rc;
    if (int rc = AddMutualFluxes()) return rc;
    if (int rc = SolveCores()) return rc;
    s.stepFactors[kStepFactorInductorCore] = s.coreStepBound;
    StampInductors();
    return StampCouplings();
}

int SaveRestoreCoreStates(double* vector, int op)
{
    AnalogSolverState& s = AnalogSolver();
    int count = 0;
    double* p = vector ? vector + 4 * static_cast<std::size_t>(s.unknownCount) : nullptr;
    for (CoreState& core : s.devices.cores) {
        if (!core.isCore) continue;
        ++count;
        if (op == 2 || !p) continue;
        double* fields[] = {&core.m, &core.happOld, &core.hprev, &core.mirrOld, &core.saved};
        for (double* f : fields) {
            if (op == 0)
                *p = *f;
            else
                *f = *p;
            ++p;
        }
    }
    return count;
}

void CommitList31States(int op)
{
    AnalogSolverState& s = AnalogSolver();
    for (CoreState& core : s.devices.cores) {
        switch (op) {
        case 0: {
            const bool isCore = core.isCore;
            core = CoreState{};
            core.isCore = isCore;
            break;
        }
        case 1: {
            core.mPrevious = core.m;
            core.mirrOld = core.mirr;
            core.hprev = core.hcore;
            core.happOld = core.happ;
            core.savedPrevious = core.saved;
            core.averagePrevious = core.average;
            const double n = std::max(s.acceptedPointCount, 1);
            core.average = ((n - 1.0) * core.average + core.mirr) / n;
            break;
        }
        case 2:
            core.m = core.mPrevious;
            core.mirr = core.mirrOld;
            core.hcore = core.hprev;
            core.happ = core.happOld;
            core.saved = core.savedPrevious;
            core.average = core.averagePrevious;
            break;
        default:
            break;
        }
    }
}

}  // namespace kq5
