#pragma once
// Circuits made directly as device records, and the operating-point pass of the run loops
// reduced to what the Newton engine needs: phase 1 at time 0, integration coefficients 0,
// Newton with ITL1 and source stepping after a failure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/device_dispatch.h"
#include "analog/operating_point.h"
#include "analog/transient_run.h"
#include "ui/app_state.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/backend.h"
#include "core/device_lists.h"
#include "core/expr_math_errors.h"
#include "netlist/capacitor_device.h"
#include "netlist/controlled_source_devices.h"
#include "devices/device_record_types.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "devices/source_functions.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/poly_source.h"
#include "netlist/spice_reader_state.h"
#include "netlist/translate_common.h"

namespace kq5::solver_test {

// Prepares the operating-point stamp set (a fresh preparation), evaluates the sources at time 0
// with integration coefficients 0 and sets mode 2, as the run loops do before an operating point.
inline int PrepareTestOperatingPoint(int runKind)
{
    AnalogSolverState& s = AnalogSolver();
    s.runPhase = kPhaseOperatingPoint;
    s.runKind = runKind;
    s.operatingPointFlag = 1;
    if (int rc = PrepareAnalogSolver(true, s.operatingPointSet)) return rc;
    s.setupDone = 1;
    s.time = 0.0;
    s.coefficients.fill(0.0);
    s.ag0 = s.ag1 = 0.0;
    if (int rc = EvaluateSourcesAtTime()) return rc;
    s.iterationMode = kModeInitJunctions;
    return 0;
}

// The operating point: Newton with ITL1, then source stepping after 14190. 0 or the failure.
inline int RunTestOperatingPoint(int runKind)
{
    if (int rc = PrepareTestOperatingPoint(runKind)) return rc;
    AnalogSolverState& s = AnalogSolver();
    const int itl = GlobalOptions().values.itl1;
    int rc = SolveOperatingPoint(nullptr, itl);
    if (rc == 14190) {
        // As a run does: the fallbacks start each try from the devices' starting states.
        if (!s.hooks.reinitializeRunStates) s.hooks.reinitializeRunStates = ReinitializeRunStates;
        if (int r = ReinitializeRunStates()) return r;
        s.iterationMode = kModeInitJunctions;
        rc = SourceStepOperatingPoint(nullptr, itl);
    }
    return rc;
}

class SolverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(640, 480);
        ResetAppStateForTests();
        ResetDocumentStateForTests();
        record_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        ASSERT_NE(record_, nullptr);
        SetCurrentDocument(record_);
        ResetAnalogSolverStateForTests();
        ResetAnalysisStateForTests();
        ResetDeviceListsForTests();
        ResetGlobalOptionsForTests();
        ResetNetlistReaderForTests();
        ResetModelStateForTests();
        ResetStatusTextForTests();
        ResetMathErrors();
        RegisterCircuitDeviceRecordTypes();
        Analysis().analysisKind = kAnalysisDc;
    }
    void TearDown() override
    {
        FreeAllStampSets();
        ResetAnalogSolverStateForTests();
        ResetDeviceListsForTests();
        ResetNetlistReaderForTests();
        ResetAnalysisStateForTests();
        ResetDocumentStateForTests();
        ResetAppStateForTests();
    }

    template <class T>
    static T* Add(int list, std::uint16_t kind = 0)
    {
        T* record = ListAppendAs<T>(DeviceList(list), kind);
        EXPECT_NE(record, nullptr);
        return record;
    }
    void Nodes(int count) { SetAnalogNodeCount(count); }

    ResistorDevice* R(int a, int b, double ohms)
    {
        auto* r = Add<ResistorDevice>(kResistorDeviceList, kKindResistor);
        r->nodeA = a;
        r->nodeB = b;
        r->value = r->nominal = ohms;
        return r;
    }
    CapacitorDevice* C(int a, int b, double farads)
    {
        auto* c = Add<CapacitorDevice>(kCapacitorDeviceList, kKindCapacitor);
        c->nodeA = a;
        c->nodeB = b;
        c->value = c->nominal = farads;
        return c;
    }
    InductorDevice* L(int a, int b, double henries)
    {
        auto* l = Add<InductorDevice>(kInductorDeviceList, kKindInductor);
        l->nodeA = a;
        l->nodeB = b;
        l->value = l->nominal = henries;
        return l;
    }
    IndependentSourceDevice* V(int plus, int minus, double volts)
    {
        auto* v = Add<IndependentSourceDevice>(kIndependentSourceDeviceList, kKindIndependentSource);
        v->sourceType = kSourceVoltage;
        v->nodePlus = plus;
        v->nodeMinus = minus;
        v->dcValue = v->dcWorking = volts;
        return v;
    }
    IndependentSourceDevice* I(int plus, int minus, double amps)
    {
        IndependentSourceDevice* i = V(plus, minus, amps);
        i->sourceType = kSourceCurrent;
        return i;
    }
    // A linear controlled source of type 26 G, 27 F, 28 E, 29 H: outputs p, n, controls cp, cn.
    LinearSourceDevice* Controlled(int type, int p, int n, int cp, int cn, double gain)
    {
        auto* e = Add<LinearSourceDevice>(kLinearSourceDeviceList);
        e->outputKind = type;
        e->outputPlus = p;
        e->outputMinus = n;
        e->controlPlus = cp;
        e->controlMinus = cn;
        e->gain = gain;
        return e;
    }
    // A POLY source of form 50 G, 51 F, 52 E, 53 H with node-pair controls (E, G) or
    // controlling sources (F, H) and the coefficients p0, p1, ...
    PolySourceDevice* Poly(int form, int p, int n, std::vector<std::pair<int, int>> nodes,
                           std::vector<ListNode*> sources, std::vector<double> coefficients)
    {
        auto* poly = Add<PolySourceDevice>(kPolySourceList, kKindPolySource);
        poly->componentType = form;
        poly->nodePlus = p;
        poly->nodeMinus = n;
        poly->coefficients = std::move(coefficients);
        const std::size_t count = std::max(nodes.size(), sources.size());
        poly->dimension = static_cast<int>(count);
        poly->controls.resize(count + 1);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            poly->controls[i + 1].nodePlus = nodes[i].first;
            poly->controls[i + 1].nodeMinus = nodes[i].second;
        }
        for (std::size_t i = 0; i < sources.size(); ++i) poly->controls[i + 1].source = sources[i];
        return poly;
    }

    int OperatingPoint(int runKind = kRunKindDcSweep) { return RunTestOperatingPoint(runKind); }
    int PrepareOperatingPoint(int runKind = kRunKindDcSweep) { return PrepareTestOperatingPoint(runKind); }

    static double X(int unknown) { return SolutionVector()[static_cast<std::size_t>(unknown)]; }
    static int Row(int list, std::size_t position) { return DeviceRow(list, position); }

    WindowRecord* record_ = nullptr;
};

}  // namespace kq5::solver_test
