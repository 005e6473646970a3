#include "netlist/circuit_build_expressions.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "core/format.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/line_switch_devices.h"
#include "netlist/opamp_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "core/part_instance.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

constexpr int kMsgLaplaceNeedsS = 10843;
constexpr int kMsgCouplingAboveOne = 10970;

// ---- expressions ----------------------------------------------------------------------------

std::uint32_t AnalysisContext()
{
    switch (Analysis().analysisKind) {
    case kAnalysisAc: return kContextAc;
    case kAnalysisDc: return kContextDc;
    default: return kContextTransient;
    }
}

// Compiles one expression in its component's scope; 0, or 15055 after reporting the error with
// the component.
int CompileOne(DeviceExpression& expression)
{
    if (!expression.HasText()) return 0;
    try {
        if (!expression.compiled) expression.compiled = std::make_unique<CompiledExpression>();
        ExpressionRequest request;
        InitExpressionRecord(expression.text, expression.compiled.get(), AnalysisContext(), kItemNumber, request);
        request.window = CurrentRecord();
        request.quiet = true;
        request.subcircuitLevel = expression.component ? expression.component->scope : 0;
        const int rc = CompileExpression(request);
        if (rc == 0) return 0;
        if (rc == kMsgAlreadyReported) {
            FlagCircuitBuildError();
            return rc;
        }
        // A part of a netlist is shown with the line it was written on.
        const auto origin = expression.component ? ElementOrigin(expression.component) : std::nullopt;
        if (!origin)
            return ReportComponentMessage(expression.component, rc, request.quietTexts[0], request.quietTexts[1]);
        SetErrorSourceLine(origin->source, origin->line);
        ReportNetlistMessage("WNE", CurrentRecord(), expression.component, rc, request.quietTexts[0],
                             request.quietTexts[1]);
        ClearErrorSourceLine();
        return kMsgAlreadyReported;
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
}

// The value of an expression that compiled to one constant.
bool ConstantValue(const DeviceExpression& expression, double& value)
{
    if (!expression.compiled || expression.compiled->instructions.count != 1) return false;
    const auto* only = ListHead<ExpressionInstruction>(expression.compiled->instructions);
    if (only->opcode != kOpConstant) return false;
    value = only->value.real();
    return true;
}

bool DependsOnFrequency(const DeviceExpression& expression)
{
    return expression.compiled &&
           (expression.compiled->dependencies & (kDependsFrequency | kDependsLaplace)) != 0;
}

constexpr int kMsgIllegalNumber = 10922;

// A resistance that is no number: 1/0 (whose quotient stands at 1e50), the logarithm or root of
// a negative number, or 0. Taken as it comes it became a resistor of 1e50 or of RMIN, and the
// run went on as if the circuit were what the user wrote. 0, or 15055 after the report at the
// part.
int CheckResistance(const DeviceExpression& expression)
{
    // Only a value that reads nothing of the circuit or the run is known at build.
    if (!expression.compiled || expression.compiled->dependencies != 0) return 0;
    std::complex<double> value;
    const int rc = EvaluateExpression(*expression.compiled, value);
    if (rc == 0 && std::isfinite(value.real()) && value.imag() == 0.0 && value.real() != 0.0 &&
        std::abs(value.real()) < 1e50)
        return 0;
    return ReportComponentMessage(expression.component, kMsgIllegalNumber, expression.text);
}

// The value and AC expressions of a resistor, capacitor or inductor (a resistor without extras
// has no AC expression).
template <class T>
int CompileValueDevice(T& device, DeviceExpression* ac, double& value, double& nominal, bool resistance = false)
{
    if (int rc = CompileOne(device.valueExpression)) return rc;
    if (resistance)
        if (int rc = CheckResistance(device.valueExpression)) return rc;
    if (ac && Analysis().analysisKind == kAnalysisAc)
        if (int rc = CompileOne(*ac)) return rc;
    if (DependsOnFrequency(device.valueExpression) || (ac && DependsOnFrequency(*ac)))
        device.flags |= kDeviceFrequencyDependent;
    double constant = 0.0;
    if (ConstantValue(device.valueExpression, constant)) {
        value = nominal = constant;
        device.valueExpression.Clear();
    }
    return 0;
}

void FreeAllExpressions()
{
    for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList))) {
        b.valueExpression.Clear();
        b.acExpression.Clear();
    }
    for (auto& s : ListRecords<LaplaceSourceDevice>(DeviceList(kLaplaceSourceDeviceList))) s.transfer.Clear();
    for (auto& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList))) r.FreeOwnedData();
    for (auto& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList))) c.FreeOwnedData();
    for (auto& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) l.FreeOwnedData();
    for (auto& s : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) s.sampled.Clear();
    for (auto& k : ListRecords<CoreRequest>(DeviceList(kCoreRequestList))) k.coupling.Clear();
}

int CompileAll()
{
    const bool ac = Analysis().analysisKind == kAnalysisAc;
    for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList))) {
        if (int rc = CompileOne(b.valueExpression)) return rc;
        if (ac)
            if (int rc = CompileOne(b.acExpression)) return rc;
        if (DependsOnFrequency(b.valueExpression) || DependsOnFrequency(b.acExpression))
            b.flags |= kDeviceFrequencyDependent;
    }
    for (auto& s : ListRecords<LaplaceSourceDevice>(DeviceList(kLaplaceSourceDeviceList))) {
        if (int rc = CompileOne(s.transfer)) return rc;
        if (!s.transfer.compiled || !(s.transfer.compiled->dependencies & kDependsLaplace))
            return ReportComponentMessage(s.component, kMsgLaplaceNeedsS);
        s.flags |= kDeviceFrequencyDependent;
    }
    for (auto& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList)))
        if (int rc = CompileValueDevice(r, r.extras ? &r.extras->acExpression : nullptr, r.value, r.nominal, true))
            return rc;
    for (auto& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList)))
        if (int rc = CompileValueDevice(c, c.extras ? &c.extras->acExpression : nullptr, c.value, c.nominal)) return rc;
    for (auto& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList)))
        if (int rc = CompileValueDevice(l, &l.acExpression, l.value, l.nominal)) return rc;
    for (auto& s : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList)))
        if (int rc = CompileOne(s.sampled)) return rc;
    for (auto& k : ListRecords<CoreRequest>(DeviceList(kCoreRequestList))) {
        if (int rc = CompileOne(k.coupling)) return rc;
        double constant = 0.0;
        if (!ConstantValue(k.coupling, constant)) continue;
        // Beyond 1 the coupled inductors would store negative energy.
        if (std::fabs(constant) > 1.0)
            return ReportComponentMessage(k.component, kMsgCouplingAboveOne, StrPrintf("%g", constant));
        for (auto& coupling : ListRecords<CouplingDevice>(DeviceList(kCouplingDeviceList)))
            if (coupling.expression == &k.coupling) coupling.value = constant;
    }
    return 0;
}

void AddSolutionEntries(const CompiledExpression* expression, std::vector<std::int32_t>& entries)
{
    if (!expression) return;
    const SolutionVectors& solution = Analysis().solution;
    for (const ExpressionInstruction& i : ListRecords<ExpressionInstruction>(expression->instructions)) {
        std::int32_t entry = -1;
        if (i.realAddress && !solution.real.empty() && i.realAddress >= solution.real.data() &&
            i.realAddress < solution.real.data() + solution.real.size())
            entry = static_cast<std::int32_t>(i.realAddress - solution.real.data());
        else if (i.complexAddress && !solution.complex.empty() && i.complexAddress >= solution.complex.data() &&
                 i.complexAddress < solution.complex.data() + solution.complex.size())
            entry = static_cast<std::int32_t>(i.complexAddress - solution.complex.data());
        if (entry >= 0 && std::find(entries.begin(), entries.end(), entry) == entries.end()) entries.push_back(entry);
    }
}

}  // namespace

int CompileDeviceExpressions()
{
    if (CircuitBuildFailed() || CircuitBuild().pathWindow) {
        FreeAllExpressions();
        return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
    }
    const int rc = CompileAll();
    if (rc) FreeAllExpressions();
    return rc;
}

int BuildFormulaDependencies()
{
    try {
        for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList))) {
            b.dependencies.clear();
            AddSolutionEntries(b.valueExpression.compiled.get(), b.dependencies);
            AddSolutionEntries(b.acExpression.compiled.get(), b.dependencies);
        }
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

bool AnySourceGivesAcSignal()
{
    if (DeviceList(kSineSourceDeviceList).count || DeviceList(kPulseSourceDeviceList).count ||
        DeviceList(kUserSourceDeviceList).count)
        return true;
    for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList)))
        if (!b.acExpression.Empty()) return true;
    for (auto& v : ListRecords<IndependentSourceDevice>(DeviceList(kIndependentSourceDeviceList)))
        if (v.acMagnitude != 0.0) return true;
    return false;
}

}  // namespace kq5
