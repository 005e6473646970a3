#include "devices/poly_load.h"

#include <array>
#include <cmath>

#include "analog/analog_state.h"
#include "analog/convergence.h"
#include "analog/device_dispatch.h"
#include "netlist/poly_source.h"

namespace kq5 {

namespace {

using ExponentVector = std::array<int, kMaxPolyDimension + 1>;

double X(const std::vector<double>& v, int a, int b)
{
    return v[static_cast<std::size_t>(a)] - v[static_cast<std::size_t>(b)];
}

double ClampPolyValue(double v)
{
    if (v == 0.0) return 0.0;
    const double magnitude = std::fabs(v);
    if (magnitude < 1e-30) return v < 0.0 ? -1e-30 : 1e-30;
    if (magnitude > 1e30) return v < 0.0 ? -1e30 : 1e30;
    return v;
}

// The control value for the present iteration mode; sets check when the value cannot count as
// converged.
double PolyControlValue(const PolyControlState& control, int& check)
{
    const AnalogSolverState& s = AnalogSolver();
    const double now = X(SolutionVector(), control.first, control.second);
    switch (s.iterationMode) {
    case kModeInitJunctions:
        check = 1;
        return control.initial;
    case kModeSmallSignal:
        check = 1;
        return now;
    case kModeFirstTimePoint:
        check = 1;
        return X(s.savedSolution, control.first, control.second);
    case kModePredictor: {
        const double r = s.predictorRatio;
        const double x1 = X(s.savedSolution, control.first, control.second);
        const double x2 = X(s.olderSolution, control.first, control.second);
        double predicted = (1.0 + r) * x1 - r * x2;
        const double change = predicted - now;
        if (std::fabs(predicted) > 1.0 && std::fabs(change) > 0.1) {
            const double limit = std::max(0.1 * std::fabs(now), 0.1);
            predicted = now + (change < 0.0 ? -1.0 : 1.0) * std::min(std::fabs(change), limit);
            check = 1;
        }
        return predicted;
    }
    default:
        return now;
    }
}

bool CurrentOutput(int form) { return form == kPolyCurrentOfVoltage || form == kPolyCurrentOfCurrent; }

void CountPolyCurrentNonConverged(double value, double stored)
{
    AnalogSolverState& s = AnalogSolver();
    if (std::fabs(value) < s.vntol && std::fabs(stored) < s.vntol) return;
    CountCurrentNonConverged(value, stored);
}

}  // namespace

void NextExponentVector(std::span<int> e, int n)
{
    if (n == 1) {
        ++e[1];
        return;
    }
    int k = 0;
    for (int i = n; i >= 1; --i)
        if (e[static_cast<std::size_t>(i)] != 0) {
            k = i;
            break;
        }
    if (k == 0) {
        e[1] = 1;
        return;
    }
    if (k < n) {
        --e[static_cast<std::size_t>(k)];
        ++e[static_cast<std::size_t>(k) + 1];
        return;
    }
    bool earlier = false;
    for (int i = 1; i < n; ++i) earlier = earlier || e[static_cast<std::size_t>(i)] != 0;
    if (!earlier) {
        e[1] = e[static_cast<std::size_t>(n)] + 1;
        e[static_cast<std::size_t>(n)] = 0;
        return;
    }
    auto p = static_cast<std::size_t>(n);
    int carry = 1;
    while (e[p - 1] == 0) {
        carry += e[p];
        e[p] = 0;
        --p;
    }
    --e[p - 1];
    e[p] += carry;
}

double PowerOf(double x, int k)
{
    switch (k) {
    case 0: return 1.0;
    case 1: return x;
    case 2: return x * x;
    case 3: return x * x * x;
    case 4: return x * x * x * x;
    default: return x == 0.0 ? 0.0 : std::pow(x, k);
    }
}

double PolyValue(const PolySourceDevice& source, const PolyStamps& stamps, int j)
{
    const std::vector<double>& c = source.coefficients;
    const int n = static_cast<int>(stamps.controls.size()) - 1;
    if (n < 1 || c.empty()) return ClampPolyValue(j == 0 && !c.empty() ? c[0] : 0.0);
    ExponentVector e{};
    double v = j == 0 ? c[0] : 0.0;
    for (std::size_t i = 1; i < c.size(); ++i) {
        NextExponentVector(e, n);
        if (c[i] == 0.0) continue;
        if (j == 0) {
            double term = c[i];
            for (int m = 1; m <= n; ++m) term *= PowerOf(stamps.controls[static_cast<std::size_t>(m)].x, e[m]);
            v += term;
        } else {
            const int ej = e[static_cast<std::size_t>(j)];
            if (ej == 0) continue;
            double term = c[i] * ej * PowerOf(stamps.controls[static_cast<std::size_t>(j)].x, ej - 1);
            for (int m = 1; m <= n; ++m)
                if (m != j) term *= PowerOf(stamps.controls[static_cast<std::size_t>(m)].x, e[m]);
            v += term;
        }
    }
    return ClampPolyValue(v);
}

int SetupPolySources()
{
    std::vector<PolyStamps>& table = AnalogSolver().devices.polySources;
    std::size_t i = 0;
    for (PolySourceDevice& p : ListRecords<PolySourceDevice>(DeviceList(kPolySourceList))) {
        if (i >= table.size()) break;
        PolyStamps& st = table[i++];
        const int form = p.componentType;
        BeginDeviceReservations(st.stamps);
        if (!CurrentOutput(form))
            if (int rc = ReserveBranchElements(st.branch, p.nodePlus, p.nodeMinus)) return rc;
        for (std::size_t j = 1; j < st.controls.size(); ++j) {
            const PolyControlState& ctrl = st.controls[j];
            int rc = 0;
            switch (form) {
            case kPolyCurrentOfVoltage:
                rc = ReserveTransconductanceElements(ctrl.first, ctrl.second, p.nodePlus, p.nodeMinus);
                break;
            case kPolyCurrentOfCurrent:
                if (!(rc = ReserveMatrixElement(p.nodePlus, ctrl.first))) rc = ReserveMatrixElement(p.nodeMinus, ctrl.first);
                break;
            case kPolyVoltageOfVoltage:
                if (!(rc = ReserveMatrixElement(st.branch, ctrl.first))) rc = ReserveMatrixElement(st.branch, ctrl.second);
                break;
            default:
                rc = ReserveMatrixElement(st.branch, ctrl.first);
                break;
            }
            if (rc) return rc;
        }
        EndDeviceReservations(st.stamps);
    }
    return 0;
}

int LoadPolySources()
{
    AnalogSolverState& s = AnalogSolver();
    std::vector<PolyStamps>& table = s.devices.polySources;
    std::size_t i = 0;
    for (PolySourceDevice& p : ListRecords<PolySourceDevice>(DeviceList(kPolySourceList))) {
        if (i >= table.size()) break;
        PolyStamps& st = table[i++];
        const int form = p.componentType;
        const std::size_t n = st.controls.size();
        int check = 0;
        for (std::size_t j = 1; j < n; ++j) st.controls[j].x = PolyControlValue(st.controls[j], check);
        const double f = PolyValue(p, st, 0);
        if (check || s.iterationMode == kModePredictor)
            ++s.nonConvergedCount;
        else if (CurrentOutput(form))
            CountPolyCurrentNonConverged(f, st.value);
        else
            CheckValueConverged(f, st.value);
        st.value = f;

        StampCursor c(st.stamps);
        if (!CurrentOutput(form)) {
            c.Add(1.0);
            c.Add(-1.0);
            c.Add(1.0);
            c.Add(-1.0);
        }
        double rhs = f;
        for (std::size_t j = 1; j < n; ++j) {
            PolyControlState& ctrl = st.controls[j];
            const double d = PolyValue(p, st, static_cast<int>(j));
            ctrl.derivative = d;
            rhs -= d * ctrl.x;
            switch (form) {
            case kPolyCurrentOfVoltage:
                c.Add(d);
                c.Add(-d);
                c.Add(-d);
                c.Add(d);
                break;
            case kPolyCurrentOfCurrent:
                c.Add(d);
                c.Add(-d);
                break;
            case kPolyVoltageOfVoltage:
                c.Add(-d);
                c.Add(d);
                break;
            default:
                c.Add(-d);
                break;
            }
        }
        c.Finish();
        if (CurrentOutput(form)) {
            RhsEntry(p.nodePlus) -= rhs;
            RhsEntry(p.nodeMinus) += rhs;
        } else {
            RhsEntry(st.branch) = rhs;
        }
    }
    return 0;
}

}  // namespace kq5
