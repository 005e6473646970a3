// A schematic built from macros: a low-pass stage drawn once (STAGE.CIR, pins named by the
// texts IN and OUT, its values parameters) and used twice in a top circuit with different
// values. The user keeps the stage open beside the circuit that uses it, as one does while
// tuning it, and runs the circuit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

std::string Header()
{
    return "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\nScreen=1264,976\nKQ5Version=2.1.2\n\n";
}

std::string Component(const std::string& name, int x, int y, const Attributes& attributes = {})
{
    std::ostringstream out;
    out << "[Comp]\nName=" << name << "\nGrid=" << x << ',' << y << "\n\n";
    for (const auto& [key, value] : attributes) out << "[Attr]\nONV=8,8," << key << ',' << value << "\nStyle=8192\n\n";
    return out.str();
}

std::string Text(const std::string& text, int x, int y)
{
    std::ostringstream out;
    out << "[Grid Text]\nText=" << text << "\nGrid=" << x << ',' << y << "\nPage=0\n\n";
    return out.str();
}

std::string TextArea(const std::string& lines)
{
    std::ostringstream out;
    out << "[Schematic]\nPage 0=0\nTabSize 0=320\n\n[Page]\nIndex=0\nName=Page 1\nGrid=0,0\n\n[Text Area]\nLen="
        << lines.size() << '\n' << lines << '\n';
    return out.str();
}

// IN -R1- OUT, C1 from OUT to ground and 10K (two 5K through the internal node TAP) to ground.
std::string Stage()
{
    return Header() + Component("Resistor", 10, 10, {{"PART", "R1"}, {"VALUE", "RVAL"}}) +
           Component("Capacitor", 16, 10, {{"PART", "C1"}, {"VALUE", "CVAL"}}) + Component("Ground", 20, 10) +
           Component("Resistor", 16, 20, {{"PART", "R2"}, {"VALUE", "5K"}}) +
           Component("Resistor", 22, 20, {{"PART", "R3"}, {"VALUE", "5K"}}) + Component("Ground", 28, 20) +
           "[Wire]\nGrids=16,10,16,20\n\n" + Text("IN", 10, 10) + Text("OUT", 16, 10) + Text("TAP", 22, 20) +
           TextArea(".PARAMETERS(RVAL=1K, CVAL=1U)\n");
}

// A 1 V step into STAGE(1K,1U) and on into STAGE(2K,0.5U); v(OUT) and v(MID) printed.
std::string Top()
{
    std::string limits = "[Limits]\nAnalysis=Transient\nTRange=5m\nTStep=0\nNPts=51\nTemp=27\nOPT=120\n\n";
    for (const char* y : {"v(OUT)", "v(MID)"})
        limits += std::string("[WaveForm]\nAnalysis=Transient\nOptions=OUTPUT,LINEARX,LINEARY\nPlt=1\nXExp=T\nYExp=") + y +
                  "\nXRng=Auto\nYRng=Auto\n\n";
    return Header() + Component("Pulse Source", 10, 10, {{"PART", "V1"}, {"MODEL", "STEP"}}) +
           Component("Ground", 10, 16) + Component("Macro", 10, 10, {{"PART", "X1"}, {"VALUE", "STAGE(1K,1U)"}}) +
           Component("Macro", 16, 10, {{"PART", "X2"}, {"VALUE", "STAGE(2K,0.5U)"}}) + Text("MID", 16, 10) +
           Text("OUT", 22, 10) +
           TextArea(".MODEL STEP PUL (VZERO=0 VONE=1 P1=0 P2=1N P3=1 P4=1.001 P5=2)\n") + limits;
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The printed row of the time `ms` in a numeric output: its values after the time.
std::vector<double> RowAt(const std::string& output, double ms)
{
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        double t = 0.0;
        if (!(fields >> t) || t != ms) continue;
        std::vector<double> values;
        for (double v = 0.0; fields >> v;) values.push_back(v);
        if (!values.empty()) return values;
    }
    return {};
}

class MacroJourney : public ::testing::Test {
protected:
    MacroJourney() : journey_{std::string("macro_") + ::testing::UnitTest::GetInstance()->current_test_info()->name()} {}

    void WriteCircuits()
    {
        WriteAll(journey_.Root() / "STAGE.CIR", Stage());
        WriteAll(journey_.Root() / "TOP.CIR", Top());
    }

    Journey journey_;
};

// The same numbers as ngspice 39 gives for the two stages as subcircuits: at 1 ms v(OUT)
// 215.9 mV and v(MID) 0.5285 V (the program's fixed step lands a little lower).
TEST_F(MacroJourney, AMacroOpenInAWindowIsUsedByTheCircuitThatCallsIt)
{
    WriteCircuits();
    ASSERT_TRUE(journey_.Start({"STAGE.CIR"})) << journey_.Output();
    journey_.Settle();
    ASSERT_TRUE(journey_.OpenAndRunTransient("TOP.CIR")) << "no numeric output; the run was refused";
    journey_.Settle();
    journey_.Capture("macro_open_stage_run");
    const std::vector<double> row = RowAt(ReadAll(journey_.Root() / "TOP.TNO"), 1.0);
    ASSERT_EQ(row.size(), 2u) << ReadAll(journey_.Root() / "TOP.TNO");
    EXPECT_NEAR(row[0], 215.9, 0.5);    // mV
    EXPECT_NEAR(row[1], 0.5285, 0.002);  // V
}

// The circuit and its macro sit in a project folder; the program was started elsewhere and the
// user opens the circuit by its path.
TEST_F(MacroJourney, AMacroIsFoundBesideACircuitOpenedFromAnotherFolder)
{
    const std::filesystem::path project = journey_.Root() / "project";
    std::filesystem::create_directories(project);
    WriteAll(project / "STAGE.CIR", Stage());
    WriteAll(project / "TOP.CIR", Top());
    ASSERT_TRUE(journey_.Start()) << journey_.Output();
    journey_.Settle();
    journey_.Key("ctrl+o");
    journey_.Settle();
    journey_.Type((project / "TOP.CIR").string());
    journey_.Key("Return");
    journey_.Settle();
    journey_.Key("alt+1");
    journey_.Settle();
    journey_.Key("F2");
    const std::filesystem::path output = project / "TOP.TNO";
    const bool ran = journey_.WaitUntil([&] { return ReadAll(output).find("Transient Analysis of") != std::string::npos; }, 30);
    journey_.Settle();
    journey_.Capture("macro_from_another_folder");
    ASSERT_TRUE(ran) << "no numeric output; the macro beside the circuit was not found";
    const std::vector<double> row = RowAt(ReadAll(output), 1.0);
    ASSERT_EQ(row.size(), 2u) << ReadAll(output);
    EXPECT_NEAR(row[0], 215.9, 0.5);
}

// A slip in the stage: one of its parts calls the stage itself. The run stops with a message
// naming the call, and the program stays in the user's hands.
TEST_F(MacroJourney, AMacroThatCallsItselfIsRefusedWithAMessage)
{
    std::string stage = Stage();
    stage.insert(stage.find("[Wire]"), Component("Macro", 40, 40, {{"PART", "XS"}, {"VALUE", "STAGE(1K,1U)"}}));
    WriteAll(journey_.Root() / "STAGE.CIR", stage);
    WriteAll(journey_.Root() / "TOP.CIR", Top());
    ASSERT_TRUE(journey_.Start({"TOP.CIR"})) << journey_.Output();
    journey_.Settle();
    journey_.Key("alt+1");
    journey_.Settle();
    journey_.Key("F2");
    // The message box's title bar, in the middle of the screen.
    Shot shot;
    const bool told = journey_.WaitUntil(
        [&] {
            shot = journey_.Capture();
            return shot.Count(shot.width / 4, shot.height / 3, shot.width * 3 / 4, shot.height * 2 / 3, 0x000080) > 2000;
        },
        20);
    journey_.Capture("macro_calls_itself");
    ASSERT_TRUE(told) << "no message: the run did not come back";
    journey_.Key("Return");
    journey_.Settle();
    EXPECT_TRUE(journey_.Running());
    EXPECT_EQ(ReadAll(journey_.Root() / "TOP.TNO").find("Transient Analysis of"), std::string::npos);
}

}  // namespace
}  // namespace kq5::journey
