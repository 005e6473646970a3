#pragma once
// Device tests on circuits built from netlist text and prepared at a temperature as a run
// prepares them.
#include <string>

#include "../netlist/build_test_support.h"
#include "analog/analog_state.h"
#include "devices/temperature_setup.h"
#include "devices/model_temperature.h"
#include "document/node_table.h"
#include "solver_test_support.h"

namespace kq5 {

class DeviceBuildTest : public testing::BuildTest {
protected:
    void TearDown() override
    {
        FreeAllStampSets();
        ResetAnalogSolverStateForTests();
        // The internal node names would outlive the circuit for suites that name no nodes.
        CircuitNodeTable() = NodeTable{};
        testing::BuildTest::TearDown();
    }
    // Builds the netlist and prepares its models at the temperature, as a run does.
    void Build(const std::string& netlist, double celsius = 27.0)
    {
        ASSERT_EQ(BuildText(netlist, kAnalysisDc), 0) << LastShownText();
        Prepare(celsius);
    }
    static void Prepare(double celsius)
    {
        ASSERT_EQ(SetCircuitTemperature(celsius), 0);
        PrepareModelsAtTemperature(celsius);
    }
};

// |a - b| within a relative tolerance of the larger, or below an absolute floor.
inline ::testing::AssertionResult Close(double a, double b, double rel, double floor)
{
    if (std::fabs(a - b) <= rel * std::max(std::fabs(a), std::fabs(b)) + floor) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " vs " << b;
}

}  // namespace kq5
