#pragma once
// Fixtures of the digital tests that build SPICE text: the build alone, and whole runs, each
// with the digital simulator installed and reset around every test.
#include "../analog/built_circuit_test_support.h"
#include "../netlist/build_test_support.h"
#include "digital/digital_engine.h"

namespace kq5::testing {

template <class Base>
class WithDigitalSimulator : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        ResetDigitalSimulatorForTests();
        InstallDigitalSimulator();
    }
    void TearDown() override
    {
        ResetDigitalSimulatorForTests();
        Base::TearDown();
    }
};

using DigitalBuildTest = WithDigitalSimulator<BuildTest>;
using DigitalBuiltCircuitTest = WithDigitalSimulator<BuiltCircuitTest>;

}  // namespace kq5::testing
