#pragma once
// Circuits built from SPICE text and solved by the run loops, with the solver, run-loop and
// Laplace states of a fresh program around every test.
#include <gtest/gtest.h>

#include <string>

#include "../netlist/build_test_support.h"
#include "analog/analog_state.h"
#include "devices/temperature_setup.h"
#include "devices/laplace_source_load.h"
#include "run_test_support.h"

namespace kq5::testing {

class BuiltCircuitTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        ResetAnalogSolverStateForTests();
        solver_test::ResetRunLoopStatesForTests();
    }
    void TearDown() override
    {
        FreeLaplaceBuffers();
        ClearTimeBreakpoints();
        FreeAllStampSets();
        ResetRunServicesForTests();
        ResetAnalogSolverStateForTests();
        BuildTest::TearDown();
    }

    // Builds the netlist for a transient run at the nominal temperature: 0 or the failure.
    int BuildAtNominalTemperature(const std::string& netlist)
    {
        if (int rc = BuildText(netlist, kAnalysisTransient)) {
            ADD_FAILURE() << LastShownText();
            return rc;
        }
        RunControl().circuitWindow = record_;
        return SetCircuitTemperature(27.0);
    }
    static double X(int unknown) { return SolutionVector()[static_cast<std::size_t>(unknown)]; }
};

}  // namespace kq5::testing
