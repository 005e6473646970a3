#pragma once
// The run loops on circuits made directly as device records: the run values set as the limits
// would set them, and every output point recorded.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "analog/ac_run.h"
#include "analog/breakpoints.h"
#include "analog/dc_sweep_run.h"
#include "analog/noise.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "analog/stamp_ac.h"
#include "devices/device_families.h"
#include "solver_test_support.h"

namespace kq5::solver_test {

// The run loops' states back to those of a fresh program.
inline void ResetRunLoopStatesForTests()
{
    ResetTransientRunForTests();
    ResetBreakpointStateForTests();
    ResetRunServicesForTests();
    ResetRunControlForTests();
    ResetAcRunForTests();
    ResetAcStampStateForTests();
    // The reset drops every AC stamper; the linear elements' come back as at start-up (the
    // semiconductor families' with the next registration of the record types).
    RegisterLinearDeviceKinds();
    ResetDcSweepForTests();
}

struct OutputPoint {
    double x = 0.0;
    double y = 0.0;
};

class RunLoopTest : public SolverTest {
protected:
    void SetUp() override
    {
        SolverTest::SetUp();
        ResetRunLoopStatesForTests();
        RunServices().plotPoint = [this](WindowRecord*) { points.push_back({axis(), probe()}); };
    }
    void TearDown() override
    {
        ClearTimeBreakpoints();
        FreeNoiseTable();
        ResetAcStampStateForTests();
        ResetRunServicesForTests();
        ResetRunControlForTests();
        SolverTest::TearDown();
    }

    // A transient case from 0 to tmax with the run's defaults.
    int Transient(double tmax, int printPoints = 51, double maxStep = 0.0, bool operatingPoint = true)
    {
        Analysis().analysisKind = kAnalysisTransient;
        TransientRunState& t = TransientRun();
        t.tmin = 0.0;
        t.tmax = tmax;
        t.span = tmax;
        t.maxStep = maxStep > 0.0 ? maxStep : tmax / 50.0;
        t.points = printPoints;
        t.printInterval = tmax / (printPoints - 1);
        ReadTransientRunOptions(operatingPoint ? kDefaultTransientOptions : 0);
        SetBreakpointTimeScale(0.0, tmax);
        axis = [] { return AnalogSolver().time; };
        return TransientRunCase(nullptr);
    }

    IndependentSourceDevice* Pulse(int plus, int minus, std::vector<double> params)
    {
        IndependentSourceDevice* v = V(plus, minus, 0.0);
        v->function = kSourcePulse;
        for (std::size_t i = 0; i < params.size(); ++i) v->params[i] = params[i];
        v->lastParam = static_cast<int>(params.size());
        return v;
    }

    std::vector<OutputPoint> points;
    std::function<double()> axis = [] { return 0.0; };
    std::function<double()> probe = [] { return 0.0; };
};

}  // namespace kq5::solver_test
