// The run-time messages of the interfaces between analog and digital nodes: models without a
// starting row, a state a DtoA model has no row for, and the device names of warning blocks.
#include "digital_build_test_support.h"

#include "analog/transient_run.h"

namespace kq5::testing {
namespace {

class DigitalInterfaceMessagesTest : public DigitalBuiltCircuitTest {
protected:
    // The text of the message that stopped a run of the netlist ("" when it ran).
    std::string RunMessage(const std::string& netlist)
    {
        if (BuildAtNominalTemperature(netlist)) return "build failed: " + LastShownText();
        win::ClearMessageBoxLog();
        return TransientAnalysisRun(nullptr) == 0 ? std::string() : LastShownText();
    }
};

constexpr const char* kIo = ".MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n.TRAN 10N 300N\n.END\n";

// An RC charging toward 5 V read through an AtoD with the given bands.
std::string AtoD(const std::string& bands)
{
    return "atod\nV1 1 0 PULSE(0 5 0 1P 1P 1 2)\nR1 1 2 1K\nC1 2 0 100P\nO1 2 0 DO_T DGTLNET=D IO_STD\n"
           ".MODEL DO_T DOUTPUT (RLOAD=1G CLOAD=0 " + bands + ")\n" + kIo;
}

// A stimulus going from 0 to 1 at 100 ns through a DtoA with the given rows.
std::string DtoA(const std::string& rows)
{
    return "dtoa\nVP PWR 0 5\nU1 STIM(1,1) $G_DPWR $G_DGND D IO_STD 0 0 100N 1\n"
           "N1 A 0 PWR DI_T DGTLNET=D IO_STD\nC1 A 0 1N\n.MODEL DI_T DINPUT (CLO=0 CHI=0 " + rows + ")\n" + kIo;
}

TEST_F(DigitalInterfaceMessagesTest, ModelsWithoutAStartingRowStopTheRun)
{
    EXPECT_EQ(RunMessage(AtoD("S0NAME=\"0\" S0VLO=-1 S0VHI=0.8 S1NAME=\"1\" S1VLO=0.8 S1VHI=7")), "");
    EXPECT_NE(RunMessage(AtoD("S0NAME=\"1\" S0VLO=-1 S0VHI=7")).find("Can't find X or 0 states in AtoD model."),
              std::string::npos)
        << LastShownText();
    EXPECT_EQ(RunMessage(DtoA("S0NAME=\"0\" S0RLO=10 S0RHI=1K S1NAME=\"1\" S1RLO=1K S1RHI=10 S2NAME=\"X\" S2RLO=100 "
                              "S2RHI=100")),
              "");
    EXPECT_NE(RunMessage(DtoA("S0NAME=\"1\" S0RLO=1K S0RHI=10")).find("Can't find X or 0 states in DtoA model."),
              std::string::npos)
        << LastShownText();
}

TEST_F(DigitalInterfaceMessagesTest, AStateWithoutARowStopsTheRun)
{
    // The stimulus drives a 1 that the model has no row for.
    EXPECT_NE(RunMessage(DtoA("S0NAME=\"0\" S0RLO=10 S0RHI=1K S1NAME=\"X\" S1RLO=100 S1RHI=100"))
                  .find("Illegal digital state on DtoA input."),
              std::string::npos)
        << LastShownText();
}

}  // namespace
}  // namespace kq5::testing

#include "../analog/program_output_support.h"
#include "../core/file_test_support.h"

namespace kq5 {
namespace {

class DigitalWarningNamesTest : public test::ScratchDirTest {};

// The warning blocks of a batch run name the device each one is about: flip-flops of two
// calls of one subcircuit by their instance paths, the interface the build put between an
// analog source and a gate input by its own path.
TEST_F(DigitalWarningNamesTest, WarningsNameTheirDevicesWithTheirInstancePaths)
{
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("names.cir", "NAMES\n"
                           ".SUBCKT REG CK D Q\n"
                           "UFF DFF(1) $G_DPWR $G_DGND $D_HI $D_HI CK D Q QB DFFM IO_STD\n"
                           ".MODEL DFFM UEFF(TPCLKQLHTY=4N TPCLKQHLTY=3N TSUDCLKTY=3N)\n"
                           "UCK CONSTRAINT(2) $G_DPWR $G_DGND CK D IO_STD\n"
                           "+ SETUP_HOLD: CLOCK LH = CK DATA(1) = D SETUPTIME = 2N\n"
                           ".ENDS\n"
                           "UC STIM(2,11) $G_DPWR $G_DGND C DIN IO_STD 0 00 20N 01 21N 11\n"
                           "X1 C DIN Q1 REG\nX2 C DIN Q2 REG\n"
                           "V1 IN 0 PWL(0 0 50N -3)\n"
                           "UB BUF $G_DPWR $G_DGND IN Y D0_GATE IO_STD\n"
                           ".TRAN 1N 50N\n.PRINT TRAN D(Q1) D(Y)\n.END\n");
    WriteFile("jobs.txt", "names.cir /T\n");
    ASSERT_EQ(test::RunProgramOnCommandFile(PathOf(""), "jobs.txt"), 0) << ReadFile("run.log");
    std::string out = ReadFile("names.TNO");
    std::erase(out, '\r');
    EXPECT_NE(out.find("D setup time violation at t=2.1e-08\nDevice X1.UFF\n"), std::string::npos) << out;
    EXPECT_NE(out.find("D setup time violation at t=2.1e-08\nDevice X2.UFF\n"), std::string::npos) << out;
    // A check in a subcircuit names the node as it is wired outside (DIN), not by the
    // subcircuit's own pin (D).
    EXPECT_NE(out.find("Setup time violation at t=2.1e-08\nDevice X1.UCK\nMinimum setup time is 2e-09\n"
                       "Node DIN, measured setup time was 1e-09\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Input voltage hazard on ATOD interface device X$UB$ATOD0.O1.\nAnalog input node IN is at "),
              std::string::npos)
        << out;
}

}  // namespace
}  // namespace kq5
