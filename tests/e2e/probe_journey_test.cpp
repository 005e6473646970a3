// Probe mode on a drawn circuit: Probe Transient Analysis from the Analysis menu sets the plot and
// the schematic side by side; a click on a wire plots that node's waveform, as an oscilloscope
// probe would.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";
// inverter_pulse.cir there: an inverter driven by a pulse source, its output the digital node DOUT.
const std::filesystem::path kCircuits = std::filesystem::path(KQ5_SOURCE_DIR) / "tests" / "circuits";

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kAnalysisMenuX = 354, kMenuBarY = 28, kProbeTransientX = 412, kProbeTransientY = 115;
// In probe mode: the wire from R1 to C1 (node 2) in the schematic on the right, and the frame of
// the probe plot on the left (0 to 5 ms across, 0 to 1 V up).
constexpr int kOutputWireX = 958, kOutputWireY = 322;
constexpr int kPlotLeft = 39, kPlotTop = 125, kPlotRight = 621, kPlotBottom = 889;
constexpr std::uint32_t kCurveColour = 0x0000FF;
// A plot of milliamperes: its wider tick labels move the plot's left edge.
constexpr int kCurrentLeft = 53;

constexpr double kRc = 1e-3;  // R1 1k times C1 1u

// Starts the program, opens the circuit of Root() and chooses Analysis > Probe Transient Analysis.
bool StartInTransientProbe(Journey& journey, const std::string& circuit)
{
    if (!journey.Start()) return false;
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type(circuit);
    journey.Key("Return");
    journey.Settle();
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kProbeTransientX, kProbeTransientY);
    journey.Settle(10);
    return true;
}

TEST(ProbeJourney, AClickOnTheOutputWirePlotsTheCapacitorCharging)
{
    Journey journey("probe");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("rc_step.cir");
    journey.Key("Return");
    journey.Settle();  // the drawn circuit opens on its drawing

    // Analysis > Probe Transient Analysis...: the plot stays empty until a probe click.
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Settle();
    journey.Capture("probe_menu");
    journey.Click(kProbeTransientX, kProbeTransientY);
    journey.Settle(10);
    const Shot empty = journey.Capture("probe_mode");
    EXPECT_EQ(empty.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 0) << "a curve before any probe click";

    // A click on the wire of node 2: its curve, 1 - exp(-t/RC), within 3 pixels at t = RC.
    journey.Click(kOutputWireX, kOutputWireY);
    journey.Settle();
    const Shot probed = journey.Capture("probe_curve");
    EXPECT_GT(probed.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 300) << "no curve after a probe click";
    const auto columnOf = [](double t) { return kPlotLeft + static_cast<int>(std::lround((kPlotRight - kPlotLeft) * t / 5e-3)); };
    const auto rowOf = [](double v) { return kPlotBottom - static_cast<int>(std::lround((kPlotBottom - kPlotTop) * v)); };
    const int x = columnOf(kRc);
    bool found = false;
    for (int column = x - 6; column <= x + 6 && !found; ++column) {
        const double t = 5e-3 * (column - kPlotLeft) / (kPlotRight - kPlotLeft);
        const int expected = rowOf(1 - std::exp(-t / kRc));
        for (int y = expected - 3; y <= expected + 3 && !found; ++y) found = probed.At(column, y) == kCurveColour;
    }
    EXPECT_TRUE(found) << "the probed curve is not within 3 pixels of 1 - exp(-t/RC) near x " << x;
    EXPECT_TRUE(journey.Running());
}

// Probe > Add Plot with a measured table: IMPORT(ramp.txt,V(2)) is plotted beside the probed
// node, where it used to stop with "Unknown identifier 'IMPORT'"; a second Add Plot naming a file
// that is not there reports it and leaves the curves already on the plot in place, where it used
// to leave the plot empty; Delete All Plots then clears the plot on the screen.
TEST(ProbeJourney, AddPlotImportsAMeasuredTableAndAFailedOneKeepsTheCurves)
{
    Journey journey("probe_import");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    {
        // 0 to 5 V over the 5 ms of the run, as a scope would save it.
        std::ofstream table(journey.Root() / "ramp.txt", std::ios::binary);
        table << "* bench capture\r\nTIME V(2)\r\n";
        for (int i = 0; i <= 50; ++i) table << i * 1e-4 << ' ' << i * 0.1 << "\r\n";
    }
    ASSERT_TRUE(StartInTransientProbe(journey, "rc_step.cir")) << journey.Output();
    journey.Click(kOutputWireX, kOutputWireY);
    journey.Settle();

    const auto addPlot = [&journey](const std::string& text) {
        journey.Key("alt+p");
        journey.Settle();
        journey.Key("a");
        journey.Settle();
        journey.Type(text);
        journey.Key("Tab Return");
        journey.Settle(10);
    };
    addPlot("IMPORT(ramp.txt,V(2))/5");
    const Shot imported = journey.Capture("probe_import");
    constexpr std::uint32_t kSecondCurve = 0xFF0000;
    // The table over 5 is the diagonal of the plot: its colour within 3 pixels at 1, 2.5 and 4 ms.
    for (double t : {1e-3, 2.5e-3, 4e-3}) {
        const int column = kPlotLeft + static_cast<int>(std::lround((kPlotRight - kPlotLeft) * t / 5e-3));
        const int row = kPlotBottom - static_cast<int>(std::lround((kPlotBottom - kPlotTop) * t / 5e-3));
        EXPECT_GT(imported.Count(column - 3, row - 3, column + 4, row + 4, kSecondCurve), 0) << "no imported point near t " << t;
    }
    EXPECT_GT(imported.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 300);

    addPlot("IMPORT(missing.txt,V(2))");
    journey.Capture("probe_import_missing");
    journey.Key("Return");  // the message that the file cannot be opened
    journey.Settle(10);
    const Shot kept = journey.Capture("probe_import_kept");
    EXPECT_GT(kept.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 300) << "the probed curve is gone";
    EXPECT_GT(kept.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kSecondCurve), 300) << "the imported curve is gone";

    // Probe > Delete All Plots: the plot is drawn again without its curves, where they used to
    // stay on the screen after they were gone.
    journey.Key("alt+p");
    journey.Settle();
    journey.Key("Down Down Down Return");
    journey.Settle();
    const Shot cleared = journey.Capture("probe_import_cleared");
    EXPECT_EQ(cleared.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 0) << "a deleted curve is still drawn";
    EXPECT_EQ(cleared.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kSecondCurve), 0) << "a deleted curve is still drawn";
    EXPECT_TRUE(journey.Running());
}

// The Select Node(s) list's box, across.
constexpr int kListLeft = 493, kListRight = 660;

// Opens a drawn circuit of tests/circuits in transient probe mode, clicks a part at (partX, partY)
// and expects the list of its pins to show a name on the line at lineY; that line chosen, the
// pin's curve. A message box instead of the list is closed by the same Return.
void ProbeAPinOfAPart(const std::string& circuit, int partX, int partY, int lineY, const std::string& shot)
{
    Journey journey(shot);
    std::filesystem::copy_file(kCircuits / circuit, journey.Root() / circuit);
    ASSERT_TRUE(StartInTransientProbe(journey, circuit)) << journey.Output();

    journey.Click(partX, partY);
    journey.Settle();
    const Shot list = journey.Capture(shot + "_pins");
    EXPECT_GT(list.Count(kListLeft, lineY - 5, kListRight, lineY + 6, 0x000000), 10) << "the pin has no name in the list";

    journey.Click(kListLeft + 20, lineY);
    journey.Key("Return");
    journey.Settle();
    const Shot probed = journey.Capture(shot + "_curve");
    EXPECT_GT(probed.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 300) << "no curve of the chosen pin";
    EXPECT_TRUE(journey.Running());
}

// inverter_pulse.cir: the gate's pins to choose from are "In" and "Out", not blank lines; "Out"
// (the second line) plots the state of DOUT.
TEST(ProbeJourney, AClickOnAGateListsItsPinsByName) { ProbeAPinOfAPart("inverter_pulse.cir", 764, 170, 413, "probe_gate"); }

// opamp_inverting_levels.cir: the first amplifier X1 stands for a subcircuit, which has no
// quantity of its own to plot. A click on it lists its pins, as a gate's, where it used to plot
// V(X1) and only ever answered "Illegal node name"; "Output" (the fourth line) plots V(OUT1).
TEST(ProbeJourney, AClickOnASubcircuitPartListsItsPins)
{
    ProbeAPinOfAPart("opamp_inverting_levels.cir", 898, 264, 439, "probe_subcircuit");
}

// Esc during the run that opens probe mode stops it and leaves the analysis: no run data file of
// the stopped run remains, where it used to be taken by the next probe run of the circuit, or
// replayed by a Retrieve, as if it were the whole run.
TEST(ProbeJourney, ARunStoppedWithEscLeavesNoRunDataBehind)
{
    Journey journey("probe_stopped");
    {
        // rc_step.cir over 20 s in 1 us steps: minutes of work, stopped after a moment.
        std::ifstream in(kExamples / "rc_step.cir", std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t range = text.find("TRange=5m");
        ASSERT_NE(range, std::string::npos);
        text.replace(range, std::string("TRange=5m").size(), "TRange=20");
        text.replace(text.find("TStep=0", range), std::string("TStep=0").size(), "TStep=1u");
        std::ofstream(journey.Root() / "rc_step.cir", std::ios::binary) << text;
    }
    ASSERT_TRUE(StartInTransientProbe(journey, "rc_step.cir")) << journey.Output();
    journey.Press("Escape");
    journey.Settle(5);
    journey.Capture("probe_stopped");
    std::string left;
    for (const auto& entry : std::filesystem::directory_iterator(journey.Root())) {
        const std::string name = entry.path().filename().string();
        if (name.find(".TSA") != std::string::npos) left += name + " ";
    }
    EXPECT_EQ(left, "") << "run data of the stopped run left behind";
    EXPECT_TRUE(journey.Running());
}


// The data type word of a run data file: 1 voltages and currents, 2 everything.
int RunDataType(const std::filesystem::path& file)
{
    const std::string bytes = ReadAll(file);
    return bytes.size() >= 4 ? static_cast<unsigned char>(bytes[2]) | static_cast<unsigned char>(bytes[3]) << 8 : -1;
}

// The Probe menu on the bar and its entries; the Vertical menu and its Current entry; the
// capacitor C1 of rc_step.cir in probe mode.
constexpr int kProbeMenuX = 259, kVerticalMenuX = 303, kSaveAllY = 179, kSaveVIY = 199, kCurrentY = 69;
constexpr int kCapacitorX = 986, kCapacitorY = 316;

// rc_step.cir, probe mode: what the run keeps follows the Probe menu, New Run (F2) and Save All
// keep the run they make, and a probed capacitor current replays as the run computed it. The
// kept run used to hold everything whatever the menu said, New Run kept nothing (the next click
// replotted the run before it), F2 did nothing at all, and a run that kept voltages and
// currents replayed I(C1) as a flat line.
TEST(ProbeJourney, TheKeptRunIsTheLastRunWithWhatTheProbeMenuAsked)
{
    Journey journey("probe_kept_run");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(StartInTransientProbe(journey, "rc_step.cir")) << journey.Output();
    const std::filesystem::path kept = journey.Root() / "rc_step.TSA";
    EXPECT_EQ(RunDataType(kept), 1) << "probe mode starts with Save V and I Only checked";

    // Vertical > Current, then a click on C1: its current, 1 mA e^(-t/RC), from the V-and-I run.
    journey.Tap(kVerticalMenuX, kMenuBarY);
    journey.Tap(318, kCurrentY);
    journey.Tap(kCapacitorX, kCapacitorY);
    const auto onCurve = [](const Shot& shot) {
        int near = 0;
        for (double t : {0.5e-3, 1e-3, 2e-3, 3e-3}) {
            const int x = kCurrentLeft + static_cast<int>(std::lround((kPlotRight - kCurrentLeft) * t / 5e-3));
            const int y = kPlotBottom - static_cast<int>(std::lround((kPlotBottom - kPlotTop) * std::exp(-t / kRc)));
            near += shot.Count(x - 4, y - 4, x + 5, y + 5, kCurveColour) > 0 ? 1 : 0;
        }
        return near;
    };
    EXPECT_EQ(onCurve(journey.Capture("probe_kept_vi")), 4) << "I(C1) replayed from the V-and-I run is not 1 mA e^(-t/RC)";

    // Probe > Save All runs again and keeps everything; the curve is drawn from that run.
    journey.Tap(kProbeMenuX, kMenuBarY);
    journey.Click(280, kSaveAllY);
    journey.Settle(10);
    EXPECT_EQ(RunDataType(kept), 2) << "Save All did not keep its run";
    EXPECT_EQ(onCurve(journey.Capture("probe_kept_all")), 4);

    // Probe > Save V and I Only, then Run (F2): New Run keeps voltages and currents again.
    journey.Tap(kProbeMenuX, kMenuBarY);
    journey.Tap(290, kSaveVIY);
    journey.Press("F2");
    journey.Settle(10);
    EXPECT_EQ(RunDataType(kept), 1) << "F2 (New Run) did not keep its run";
    EXPECT_EQ(onCurve(journey.Capture("probe_kept_new_run")), 4);
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
