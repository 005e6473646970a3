// Commands of a started program that reach the plot windows and the circuit's text: Ctrl+Home
// and the Ctrl+arrow keys in the analysis and performance windows, the Monte Carlo functions'
// menu entries, and Add Model Statements on a schematic drawn with library parts.
#include <filesystem>
#include <fstream>
#include <string>

#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "document/analysis_windows.h"
#include "analyses/histogram.h"
#include "analyses/performance_functions.h"
#include "analyses/performance_window.h"
#include "analyses/run_subset.h"
#include "app/command_routing.h"
#include "app/menus.h"
#include "core/random15.h"
#include "ui/program_settings.h"
#include "document/text_area.h"
#include "frame_test_support.h"
#include "platform/headless.h"
#include "platform/menu.h"
#include "results/curve_record.h"
#include "schematic_drawing_support.h"
#include "screen_capture_support.h"
#include "analog/run_windows.h"

namespace kq5::testing {
namespace {

const char* const kRcNetlist =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

bool gMenuShot = false;

// Inside the popup's own loop: its picture, then the popup closes with nothing chosen.
void ShootMonteCarloMenu(win::HWND hwnd, win::UINT, win::UINT_PTR id, win::DWORD)
{
    win::KillTimer(hwnd, id);
    gMenuShot = win::IsMenuTracking() && SaveScreen("monte_carlo_menu_entries");
    win::headless::PressKey(win::VK_ESCAPE);
}

// The resistor varies by 10 % from run to run.
const char* const kToleranceNetlist = "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 RM 1K\n.MODEL RM RES (R=1 DEV=10%)\n"
                                      "C1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

class PlotAndModelCommands : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        StartWithSchematic();
        InstallAnalysisKindHandlers();
    }

    int Route(int id)
    {
        const int result = RouteCommand(FrameWindow(), static_cast<win::WPARAM>(id), 0);
        PumpFrameMessages();
        return result;
    }

    // Opens the netlist as a text circuit; `prepare` sets up its document before the run.
    template <class Prepare>
    WindowRecord* RunTransient(const char* netlist, Prepare prepare)
    {
        const std::string path = (dir_ / "rc.cir").string();
        std::ofstream(path, std::ios::binary) << netlist;
        std::ofstream(dir_ / "NOM.LIB") << "* no models\n";
        EXPECT_EQ(LoadCircuitFile(nullptr, path, kFileKindTextCircuit, kLoadDefaults, circuit_), 0);
        if (!circuit_) return nullptr;
        PumpFrameMessages();
        prepare(*circuit_->document);
        EXPECT_EQ(RunAnalysisCommand(circuit_, kAnalysisTransient), 0);
        EXPECT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
        PumpFrameMessages();
        for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
        return RunControl().analysisWindow;
    }

    static void ExpectRanges(const CurveRecord& c, const std::array<double, 2>& low, const std::array<double, 2>& high)
    {
        EXPECT_EQ(c.axisLow, low);
        EXPECT_EQ(c.axisHigh, high);
    }

    // The keys on the active plot window's first curve: pan, restore, and the keys that have
    // nothing to do there.
    void CheckPlotKeys(WindowRecord* window)
    {
        const auto front = win::SendMessage(Frame().mdiClient, win::WM_MDIGETACTIVE, 0, 0);
        ASSERT_EQ(reinterpret_cast<win::HWND>(front), window->window);
        ASSERT_GT(window->plot->curveCount, 0);
        CurveRecord& c = *window->plot->curves[0];
        ASSERT_TRUE(c.linear[kWaveformX] && c.linear[kWaveformY]);
        const std::array<double, 2> low = c.axisLow, high = c.axisHigh;
        const double spanX = high[kWaveformX] - low[kWaveformX];
        const double spanY = high[kWaveformY] - low[kWaveformY];
        ASSERT_GT(spanX, 0.0);

        EXPECT_EQ(Route(17635), 0);  // Ctrl+Right: later times by a tenth of the span
        EXPECT_NEAR(c.axisLow[kWaveformX], low[kWaveformX] + spanX / 10, spanX * 1e-9);
        EXPECT_NEAR(c.axisHigh[kWaveformX], high[kWaveformX] + spanX / 10, spanX * 1e-9);
        EXPECT_EQ(Route(17637), 0);  // up: higher values
        EXPECT_NEAR(c.axisLow[kWaveformY], low[kWaveformY] + spanY / 10, spanY * 1e-9);
        EXPECT_EQ(Route(17636), 0);
        EXPECT_EQ(Route(17634), 0);
        EXPECT_NEAR(c.axisLow[kWaveformX], low[kWaveformX], spanX * 1e-9);
        EXPECT_NEAR(c.axisLow[kWaveformY], low[kWaveformY], spanY * 1e-9);

        // Ctrl+Home puts back the ranges the run started with, whatever was done since.
        Route(17504);
        Route(17635);
        EXPECT_NE(c.axisLow, c.referenceLow);
        EXPECT_EQ(Route(17632), 0);
        EXPECT_EQ(c.axisLow, c.referenceLow);
        EXPECT_EQ(c.axisHigh, c.referenceHigh);

        // Ctrl+End, Ctrl+PgUp and Ctrl+PgDn are taken and change nothing.
        const std::array<double, 2> restoredLow = c.axisLow, restoredHigh = c.axisHigh;
        win::ClearMessageBoxLog();
        for (int id : {17633, 17638, 17639}) EXPECT_EQ(Route(id), 0) << id;
        ExpectRanges(c, restoredLow, restoredHigh);
        EXPECT_TRUE(win::MessageBoxLog().empty());

        // The same by the keys typed in the window.
        win::SetFocus(window->window);
        win::headless::PressKeyWithModifiers(win::VK_RIGHT, true, false);
        PumpFrameMessages();
        EXPECT_NEAR(c.axisLow[kWaveformX], restoredLow[kWaveformX] + spanX / 10, spanX * 1e-9);
        win::headless::PressKeyWithModifiers(win::VK_HOME, true, false);
        PumpFrameMessages();
        ExpectRanges(c, restoredLow, restoredHigh);
    }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(PlotAndModelCommands, TheKeysPanAndRestoreTheAnalysisWindow)
{
    WindowRecord* analysis = RunTransient(kRcNetlist, [](CircuitDocument&) {});
    ASSERT_NE(analysis, nullptr);
    CheckPlotKeys(analysis);
}

TEST_F(PlotAndModelCommands, TheKeysPanAndRestoreAPerformanceWindowOpenedFromTheMenu)
{
    WindowRecord* analysis = RunTransient(kRcNetlist, [](CircuitDocument& document) {
        SteppingSlot& s = document.stepping[0];
        s.flags = kStepOn | kStepComponent | kStepLinear;
        s.name = "R1";
        s.from = "1K";
        s.to = "3K";
        s.value = "1K";
        s.deviceIndex = -1;
    });
    ASSERT_NE(analysis, nullptr);
    PerformanceWindowRecord* node = AppendPerformanceWindow(*circuit_->document, kAnalysisTransient);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(AppendPerformanceFunctionRecord(*node), 0);
    FunctionRecord& f = node->functions[0];
    f.function = kHigh;
    f.expression = analysis->plot->curves[0]->yExpressionText;
    f.boolean = "1";
    f.xData = kAxisSourceStepSlot;  // against R1's value
    EXPECT_EQ(Route(kCmdFirstPerformanceWindow), 0);
    ASSERT_NE(node->window, nullptr);
    EXPECT_EQ(node->window->kind, kWindowPerformance);
    CheckPlotKeys(node->window);

    // A window whose function measures nothing keeps the scales it shows.
    PerformanceWindowRecord* empty = AppendPerformanceWindow(*circuit_->document, kAnalysisTransient);
    ASSERT_NE(empty, nullptr);
    ASSERT_EQ(AppendPerformanceFunctionRecord(*empty), 0);
    empty->functions[0].function = kHigh;
    empty->functions[0].expression = "V(99)";
    empty->functions[0].xData = kAxisSourceStepSlot;
    EXPECT_EQ(Route(kCmdFirstPerformanceWindow + 1), 0);
    ASSERT_NE(empty->window, nullptr);
    ASSERT_EQ(empty->window->plot->curveCount, 1);
    const CurveRecord& c = *empty->window->plot->curves[0];
    const std::array<double, 2> low = c.axisLow, high = c.axisHigh;
    ASSERT_LT(low[kWaveformX], high[kWaveformX]);
    EXPECT_EQ(Route(17632), 0);
    ExpectRanges(c, low, high);
}

TEST_F(PlotAndModelCommands, TheMonteCarloMenuListsTheFunctionsAndItsEntriesOpenThem)
{
    // A fixed seed: one draw in about forty of the Gaussian population is its centre, which gives a
    // run the nominal value, the same as the first run's.
    struct FixedSeed {
        FixedSeed() { FixRandom15Seed(7u); }
        ~FixedSeed() { FixRandom15Seed(std::nullopt); }
    } seed;
    WindowRecord* analysis = RunTransient(kToleranceNetlist, [](CircuitDocument& document) {
        MonteCarloOptions& options = document.monteCarlo[kAnalysisTransient];
        options.options = 1 | kMonteCarloOn;
        options.runs = "5";
    });
    ASSERT_NE(analysis, nullptr);
    for (const char* title : {"High of the output", "A function whose title runs on for far more than forty letters"}) {
        MonteCarloWindowRecord* record = AppendMonteCarloWindow(*circuit_->document, kAnalysisTransient);
        ASSERT_NE(record, nullptr);
        record->function.function = kHigh;
        record->function.expression = analysis->plot->curves[0]->yExpressionText;
        record->function.boolean = "1";
        record->intervals = kNewHistogramIntervals;
        record->view.title = title;
        record->view.autoTitle = 0;
    }

    // The analysis menu's Monte Carlo popup, as the frame brings it up to date.
    const win::HMENU popup = FindPopupWithCommand(win::GetMenu(FrameWindow()), kAddHistogramCommand);
    ASSERT_NE(popup, nullptr);
    const int items = win::GetMenuItemCount(popup);
    const auto open = [&] { win::SendMessage(FrameWindow(), win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(popup), 0); };
    open();
    open();  // made anew each time, not added twice
    ASSERT_EQ(win::GetMenuItemCount(popup), items + 3);
    EXPECT_EQ(win::GetMenuItemID(popup, items), 0u);
    EXPECT_EQ(win::GetMenuItemID(popup, items + 1), 17371u);
    EXPECT_EQ(win::GetMenuString(popup, 17371, win::MF_BYCOMMAND), "High of the output");
    EXPECT_EQ(win::GetMenuString(popup, 17372, win::MF_BYCOMMAND), "A function whose title runs on for ...");
    EXPECT_EQ(win::GetMenuState(popup, 17372, win::MF_BYCOMMAND) & (win::MF_CHECKED | win::MF_GRAYED), 0u);

    // The second entry opens its window with the values of the five runs.
    EXPECT_EQ(Route(17372), 0);
    const MonteCarloWindowRecord* second = nullptr;
    int n = 0;
    for (MonteCarloWindowRecord& record :
         ListRecords<MonteCarloWindowRecord>(circuit_->document->monteCarloWindows[kAnalysisTransient]))
        if (n++ == 1) second = &record;
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second->windowRecord, nullptr);
    EXPECT_EQ(GetActiveChildRecord(), second->windowRecord);
    ASSERT_EQ(second->values.size(), 5u);
    EXPECT_NE(second->values[0], second->values[1]);
    open();
    EXPECT_NE(win::GetMenuState(popup, 17372, win::MF_BYCOMMAND) & win::MF_CHECKED, 0u);
    EXPECT_EQ(win::GetMenuState(popup, 17371, win::MF_BYCOMMAND) & win::MF_CHECKED, 0u);

    // Its picture, with the second function's window shown.
    win::SetTimer(FrameWindow(), 0x4D43, 50, ShootMonteCarloMenu);
    EXPECT_EQ(win::TrackPopupMenu(popup, win::TPM_LEFTALIGN | win::TPM_RETURNCMD, 300, 200, 0, FrameWindow(), nullptr), 0);
    EXPECT_TRUE(gMenuShot);

    // While a run or a demo goes on the entries wait.
    RunControl().running = 1;
    open();
    EXPECT_NE(win::GetMenuState(popup, 17371, win::MF_BYCOMMAND) & win::MF_GRAYED, 0u);
    RunControl().running = 0;
    Settings().demoRunning = true;
    open();
    EXPECT_NE(win::GetMenuState(popup, 17372, win::MF_BYCOMMAND) & win::MF_GRAYED, 0u);
    Settings().demoRunning = false;
    open();
    EXPECT_EQ(win::GetMenuState(popup, 17372, win::MF_BYCOMMAND) & win::MF_GRAYED, 0u);
    // An entry past the functions does nothing.
    EXPECT_EQ(Route(17380), 0);
}

TEST_F(PlotAndModelCommands, AddModelStatementsWritesTheLibraryModelsOfThePartsIntoTheSchematic)
{
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "data" / "NOM.LIB", dir_ / "NOM.LIB",
                               std::filesystem::copy_options::overwrite_existing);
    WindowRecord* schematic = GetActiveChildRecord();
    ASSERT_NE(schematic, nullptr);
    ASSERT_EQ(schematic->kind, kWindowSchematic);
    SchematicItem* battery = Place(schematic, "Battery", 10, 10, "V1", "5");
    Ground(schematic, battery, 1);
    SchematicItem* r1 = Place(schematic, "Resistor", 30, 10, "R1", "10K");
    Wire(schematic, battery, 0, r1, 0);
    SchematicItem* d1 = Place(schematic, "Diode", 50, 30, "D1", nullptr);
    SetAttribute(schematic, d1, kAttrModel, "1N4148");
    Wire(schematic, r1, 1, d1, 0);
    Ground(schematic, d1, 1);
    SchematicItem* q1 = Place(schematic, "NPN", 80, 10, "Q1", nullptr);
    SetAttribute(schematic, q1, kAttrModel, "2N2222A");
    Wire(schematic, battery, 0, q1, 0);
    Wire(schematic, r1, 1, q1, 1);
    Ground(schematic, q1, 2);
    // A second diode of the same model is written once.
    SchematicItem* d2 = Place(schematic, "Diode", 50, 60, "D2", nullptr);
    SetAttribute(schematic, d2, kAttrModel, "1N4148");
    Wire(schematic, r1, 1, d2, 0);
    Ground(schematic, d2, 1);
    SetTextAreaText(schematic, "* bias of a transistor\r\n");

    win::ClearMessageBoxLog();
    EXPECT_EQ(Route(17502), 0);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    const std::string text = CopyTextAreaText(schematic).value_or("");
    const std::size_t diode = text.find("\r\n.MODEL 1N4148 D (IS=2.682N");
    const std::size_t npn = text.find("\r\n.MODEL 2N2222A NPN (IS=14.34F");
    ASSERT_NE(diode, std::string::npos) << text;
    ASSERT_NE(npn, std::string::npos) << text;
    EXPECT_EQ(text.find(".MODEL 1N4148", diode + 3), std::string::npos) << text;
    EXPECT_EQ(text.rfind("* bias of a transistor\r\n", 0), 0u);
    // Each statement follows a line naming the library it came from.
    const std::string source = "*** " + (dir_ / "NOM.LIB").string() + "\r\n";
    EXPECT_EQ(text.rfind(source, diode + 2), diode + 2 - source.size()) << text;
    EXPECT_EQ(text.rfind(source, npn + 2), npn + 2 - source.size()) << text;
    EXPECT_NE(schematic->modified, 0);

    // The models now stand in the schematic's own text: a second command adds nothing.
    EXPECT_EQ(Route(17502), 0);
    EXPECT_EQ(CopyTextAreaText(schematic).value_or(""), text);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
}

TEST_F(PlotAndModelCommands, AddModelStatementsPutsATextCircuitsModelsBeforeItsEnd)
{
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "data" / "NOM.LIB", dir_ / "NOM.LIB",
                               std::filesystem::copy_options::overwrite_existing);
    const std::string path = (dir_ / "clamp.cir").string();
    std::ofstream(path, std::ios::binary) << "CLAMP\nV1 1 0 5\nR1 1 2 1K\nD1 2 0 1N4148\n.MODEL DLOCAL D (IS=1F)\n"
                                             "D2 2 0 DLOCAL\n.END\n";
    WindowRecord* circuit = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindTextCircuit, kLoadDefaults, circuit), 0);
    PumpFrameMessages();
    ASSERT_EQ(GetActiveChildRecord(), circuit);
    EXPECT_EQ(Route(17502), 0);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    // Only the library's model is written; the circuit's own stays where it is.
    std::string text = CopyTextAreaText(circuit).value_or("");
    std::erase(text, '\r');
    const std::string block = "*** " + (dir_ / "NOM.LIB").string() + "\n.MODEL 1N4148 D (";
    const std::size_t at = text.find(block);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.find(".MODEL DLOCAL"), text.rfind(".MODEL DLOCAL"));
    EXPECT_LT(text.find("D2 2 0 DLOCAL"), at);
    EXPECT_EQ(text.substr(text.size() - 5), ".END\n");
    EXPECT_EQ(text.find("\n", at + block.size()), text.size() - 6);  // the statement, then .END

    // While an analysis is open the command does nothing.
    const std::string before = CopyTextAreaText(circuit).value_or("");
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_EQ(Route(17502), 0);
    Analysis().analysisKind = kAnalysisNone;
    EXPECT_EQ(CopyTextAreaText(circuit).value_or(""), before);
}

}  // namespace
}  // namespace kq5::testing
