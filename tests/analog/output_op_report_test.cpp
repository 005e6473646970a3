#include <gtest/gtest.h>

#include <string>

#include "../core/file_test_support.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/batch_log.h"
#include "analog/numeric_output.h"
#include "devices/op_report.h"
#include "analog/run_control.h"
#include "ui/app_state.h"
#include "core/device_lists.h"
#include "netlist/bjt_device.h"
#include "devices/device_record_types.h"
#include "netlist/diode_device.h"
#include "netlist/circuit_build.h"
#include "core/part_instance.h"

namespace kq5 {
namespace {

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class OperatingPointReportTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        ResetAppStateForTests();
        ResetAnalogStateForTests();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetNumericOutputForTests();
        ResetDeviceListsForTests();
        ResetCircuitBuildForTests();
        RegisterCircuitDeviceRecordTypes();
        ApplyDeviceListSizes();
        unit_ = CreateScratchUnit("amp.TNO");
        Analog().numericOutputUnit = unit_;
        Analog().outputPageWidth = 80;
    }
    void TearDown() override
    {
        ResetDeviceListsForTests();
        ResetCircuitBuildForTests();
        ResetAnalysisStateForTests();
        ResetAnalogStateForTests();
        ResetRunControlForTests();
        ResetNumericOutputForTests();
        ScratchDirTest::TearDown();
    }

    void SetNodes(std::vector<double> voltages)
    {
        CircuitBuild().lastBuildNodeCounts = {static_cast<int>(voltages.size()), 0};
        voltages.insert(voltages.begin(), 0.0);
        voltages.resize(voltages.size() + 3, 0.0);
        SolutionVector() = voltages;
    }

    DiodeDevice* AddDiode(const char* name, double current)
    {
        auto* d = ListAppendAs<DiodeDevice>(DeviceList(kDiodeDeviceList), 0);
        d->current = current;
        d->anode = d->internalAnode = 1;
        if (name) {
            auto* part = ListAppendAs<PartInstanceRecord>(DeviceList(kPartInstanceList), 0);
            part->device = d;
            part->partName = name;
        }
        return d;
    }

    std::string Output()
    {
        CloseUnit(unit_);
        Analog().numericOutputUnit = -1;
        return ReadText("amp.TNO");
    }

    int unit_ = -1;
};

TEST_F(OperatingPointReportTest, NodeVoltagesFillThreeCellsALineAtWidth80)
{
    SetNodes({1.0, 2.5, -3.0, 4.0});
    AddDiode("D1", 1e-3);
    WriteOperatingPointReport();
    const std::string text = Output();
    EXPECT_EQ(text.rfind("\n" + std::string(27, ' ') + "DC Operating Point Values\n", 0), 0u) << text;
    const std::string heading = "Node         Voltage  ";
    EXPECT_NE(text.find(heading + heading + heading + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("1                 1   2               2.5   3                -3   \n"
                        "4                 4   \n\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(Count(text, "DC Operating Point Inductor Current"), 0);
    EXPECT_EQ(Count(text, "DC Operating Point Digital States"), 0);
}

TEST_F(OperatingPointReportTest, DeviceTablesGoInChunksThatFitThePage)
{
    SetNodes({1.0});
    // Values of 14 characters: (80 - 6) / (14 + 4) = 4 devices a chunk.
    for (int i = 0; i < 6; ++i) AddDiode(i == 1 ? nullptr : ("D" + std::to_string(i)).c_str(), 1.23456789012e-3);
    WriteOperatingPointReport();
    const std::string text = Output();
    EXPECT_EQ(Count(text, "\nID     "), 2) << text;
    EXPECT_EQ(Count(text, "\nCAP    "), 2);
    // The device without a name gets no name cell: the names after it move left.
    EXPECT_NE(text.find(std::string(22, ' ') + "D0" + std::string(16, ' ') + "D2" + std::string(16, ' ') + "D3\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nID        1.23456789012M    1.23456789012M    1.23456789012M    1.23456789012M \n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(std::string(37, ' ') + "Diodes\n"), std::string::npos);
}

TEST_F(OperatingPointReportTest, BipolarBetaIsZeroWithoutBaseCurrent)
{
    SetNodes({0.7, 5.0});
    auto* q = ListAppendAs<BjtDevice>(DeviceList(kBjtDeviceList), 0);
    q->internalBase = 1;
    q->internalCollector = 2;
    q->ic = 1e-3;
    WriteOperatingPointReport();
    const std::string text = Output();
    const std::size_t at = text.find("\nBETADC ");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(at, text.find('\n', at + 1) - at), "\nBETADC            0  ");
    EXPECT_NE(text.find("\nVBE             700M "), std::string::npos) << text;
}

TEST_F(OperatingPointReportTest, NoSemiconductorsNoReport)
{
    SetNodes({1.0, 2.0});
    WriteRunOutput(nullptr, 1);
    EXPECT_EQ(Output(), "");
}

}  // namespace
}  // namespace kq5
