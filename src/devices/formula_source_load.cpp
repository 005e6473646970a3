#include "devices/formula_source_load.h"

#include <cmath>
#include <complex>
#include <cstdlib>
#include <new>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "core/device_lists.h"
#include "core/expr_evaluator.h"
#include "core/message_reporter.h"
#include "devices/behavioural_source_walk.h"
#include "netlist/controlled_source_devices.h"
#include "analog/stamp_ac.h"
#include "devices/table_source_load.h"
#include "document/circuit_document.h"

namespace kq5 {

namespace {

constexpr int kFormulaCurrentOutput = 35;
constexpr int kFormulaVoltageOutput = 37;
constexpr double kRelativePerturbation = 1e-6;
constexpr double kTinyMagnitude = 1e-50;

bool VoltageOutput(const FormulaSourceDevice& b) { return b.outputKind == kFormulaVoltageOutput; }
bool IsBranch(std::int32_t unknown) { return unknown > AnalogSolver().nodeCount; }

template <class F>
int EachFormulaSource(F&& f)
{
    return ForEachSourceWithRow<FormulaSourceDevice>(kFormulaSourceDeviceList, f);
}

// In an AC run the expressions read the complex solution, also while its operating point is
// solved: the unknowns a formula reads are handed over at every evaluation.
void ShareSolutionWithExpressions(const FormulaSourceDevice& b)
{
    SolutionVectors& x = Analysis().solution;
    if (Analysis().analysisKind != kAnalysisAc) return;
    for (std::int32_t u : b.dependencies) {
        const auto i = static_cast<std::size_t>(u);
        if (i < x.real.size() && i < x.complex.size()) x.complex[i] = {x.real[i], 0.0};
    }
}

// The real part of the formula, with the random draw of this load held.
int EvaluateHeld(FormulaSourceDevice& b, int draw, double& value)
{
    FixRandomValue(draw);
    std::complex<double> result;
    const int rc = EvaluateExpression(*b.valueExpression.compiled, result);
    ReleaseRandomValue();
    value = result.real();
    return rc;
}

// Away from zero by at least the tiny magnitude, keeping the sign (0 counts as positive).
double TinyAwayFromZero(double v)
{
    if (std::fabs(v) > kTinyMagnitude) return v;
    return v < 0.0 ? -kTinyMagnitude : kTinyMagnitude;
}

}  // namespace

int SetupFormulaSources()
{
    return EachFormulaSource([](FormulaSourceDevice& b) {
        try {
            b.derivatives.assign(b.dependencies.size(), 0.0);
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
        BeginDeviceReservations(b.stamps);
        const bool voltage = VoltageOutput(b);
        if (voltage)
            if (int rc = ReserveBranchElements2(b.branch, b.outputPlus, b.outputMinus)) return rc;
        for (std::int32_t u : b.dependencies) {
            int rc = 0;
            if (voltage)
                rc = ReserveMatrixElement(b.branch, u);
            else if (IsBranch(u)) {
                if (!(rc = ReserveMatrixElement(b.outputPlus, u))) rc = ReserveMatrixElement(b.outputMinus, u);
            } else {
                rc = ReserveTransconductanceElements(u, 0, b.outputPlus, b.outputMinus);
            }
            if (rc) return rc;
        }
        EndDeviceReservations(b.stamps);
        return 0;
    });
}

int LoadFormulaSources()
{
    std::vector<double>& x = SolutionVector();
    return EachFormulaSource([&](FormulaSourceDevice& b) {
        if (!b.valueExpression.compiled) return 0;
        ShareSolutionWithExpressions(b);
        // One draw for the base and every perturbed evaluation, so that RND does not enter
        // the derivatives.
        const int draw = std::rand() & 0x7FFF;
        double y0 = 0.0;
        if (int rc = EvaluateHeld(b, draw, y0)) {
            ReportMessage("WNE", CurrentRecord(), b.component, rc);
            return kMsgAlreadyReported;
        }
        const bool voltage = VoltageOutput(b);
        // Compared with the value of the previous iteration, so that a formula source keeps
        // the solve going for as long as its output moves.
        if (!b.dependencies.empty()) CheckSourceConverged(b.outputKind, y0, &b.value);
        b.value = y0;
        double rhs = y0;
        StampCursor c(b.stamps);
        if (voltage) {
            c.Add(1.0);
            c.Add(-1.0);
            c.Add(1.0);
            c.Add(-1.0);
        }
        for (std::size_t k = 0; k < b.dependencies.size(); ++k) {
            const std::int32_t u = b.dependencies[k];
            double& xu = x[static_cast<std::size_t>(u)];
            double at = xu;
            if (at != 0.0) at = TinyAwayFromZero(at);
            const double delta = at == 0.0 ? kRelativePerturbation : at * kRelativePerturbation;
            xu = at + delta;
            ShareSolutionWithExpressions(b);
            double y1 = 0.0;
            const int rc = EvaluateHeld(b, draw, y1);
            xu = at;
            if (rc) return rc;
            const double d = TinyAwayFromZero((y1 - y0) / delta);
            b.derivatives[k] = d;
            rhs -= d * at;
            if (voltage) {
                c.Add(-d);
            } else if (IsBranch(u)) {
                c.Add(d);
                c.Add(-d);
            } else {
                c.Add(d);
                c.Add(-d);
                c.Add(-d);
                c.Add(d);
            }
        }
        ShareSolutionWithExpressions(b);
        c.Finish();
        if (voltage) {
            RhsEntry(b.branch) = rhs;
        } else {
            RhsEntry(b.outputPlus) -= rhs;
            RhsEntry(b.outputMinus) += rhs;
            b.current = y0;
        }
        return 0;
    });
}

namespace {

// The AC-time formula and its complex derivative by each dependency, from the present AC
// solution.
int AcFormulaSourceGain(FormulaSourceDevice& b, std::complex<double>& value, std::vector<std::complex<double>>& gains)
{
    std::vector<std::complex<double>>& v = Analysis().solution.complex;
    CompiledExpression& e = *b.acExpression.compiled;
    if (int rc = EvaluateExpression(e, value)) return rc;
    gains.clear();
    for (std::int32_t u : b.dependencies) {
        std::complex<double>& vu = v[static_cast<std::size_t>(u)];
        const std::complex<double> saved = vu;
        double at = vu.real();
        if (at != 0.0) at = TinyAwayFromZero(at);
        const double h = at == 0.0 ? kRelativePerturbation : at * kRelativePerturbation;
        vu = {at + h, saved.imag()};
        std::complex<double> perturbed;
        const int rc = EvaluateExpression(e, perturbed);
        vu = saved;
        if (rc) return rc;
        gains.push_back((perturbed - value) / h);
    }
    return 0;
}

}  // namespace

int AcLoadFormulaSources(int pass)
{
    AcStampState& s = AcStamps();
    std::vector<std::complex<double>> gains;
    return EachFormulaSource([&](FormulaSourceDevice& b) {
        const bool voltage = VoltageOutput(b);
        const bool acForm = b.acExpression.compiled != nullptr;
        std::complex<double> value;
        if (acForm) {
            s.iterationRequest = 1;
            try {
                gains.reserve(b.dependencies.size());
            } catch (const std::bad_alloc&) {
                return kMsgInsufficientMemory;
            }
            if (int rc = AcFormulaSourceGain(b, value, gains)) return rc;
        } else {
            gains.assign(b.derivatives.begin(), b.derivatives.end());
        }
        if (pass != kAcStampPass) {
            Complex current;
            if (acForm)
                current = voltage ? AcSolution(b.branch) : value;
            else if (!voltage)
                for (std::size_t k = 0; k < gains.size(); ++k) current += gains[k] * AcSolution(b.dependencies[k]);
            Devices().acCurrents[&b] = current;
            return 0;
        }
        if (voltage)
            if (int rc = StampAcBranchIncidence(b.branch, b.outputPlus, b.outputMinus)) return rc;
        for (std::size_t k = 0; k < gains.size() && k < b.dependencies.size(); ++k) {
            const std::int32_t u = b.dependencies[k];
            const std::complex<double> d = gains[k];
            int rc = 0;
            if (voltage) {
                if (!(rc = StampComplexReal(b.branch, u, -d.real())) && acForm)
                    rc = StampComplexImag(b.branch, u, -d.imag());
            } else if (!IsBranch(u)) {
                rc = acForm ? StampAcTransadmittance(u, 0, b.outputPlus, b.outputMinus, d.real(), d.imag())
                            : StampTransconductance(u, 0, b.outputPlus, b.outputMinus, d.real());
            } else {
                if (!(rc = StampComplexReal(b.outputPlus, u, d.real()))) rc = StampComplexReal(b.outputMinus, u, -d.real());
                if (!rc && acForm)
                    if (!(rc = StampComplexImag(b.outputPlus, u, d.imag())))
                        rc = StampComplexImag(b.outputMinus, u, -d.imag());
            }
            if (rc) return rc;
        }
        if (acForm) {
            if (voltage) {
                AddAcRhs(b.branch, value.real(), value.imag());
            } else {
                AddAcRhs(b.outputPlus, -value.real(), -value.imag());
                AddAcRhs(b.outputMinus, value.real(), value.imag());
            }
        }
        return 0;
    });
}

void RegisterFormulaSourceFamily()
{
    RegisterDeviceKindHandlers(kSlotFormulaSources, SetupFormulaSources, LoadFormulaSources);
    RegisterAcStamper(kAcFormulaSources, AcLoadFormulaSources);
}

}  // namespace kq5
