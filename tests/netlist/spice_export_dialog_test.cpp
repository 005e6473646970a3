// The ToSpice dialog and the export command, driven headless by keys: the settings persist
// for the program's run, Cancel or an empty name writes nothing, a file that cannot be made is
// reported.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../app/settings_dialog_test_support.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "document/save_file_dialog.h"
#include "ui/window_record.h"
#include "core/file_paths.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/file_units.h"
#include "devices/device_record_types.h"
#include "document/connectivity.h"
#include "netlist/circuit_build.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "document/netlist_state.h"
#include "netlist/spice_export.h"
#include "netlist/spice_reader_state.h"

namespace kq5::testing {
namespace {

using win::testing::InputScript;

class SpiceExportDialog : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        InitCharClasses();
        ResetNetlistWorld();
        ResetSpiceExportForTests();
        ResetSaveFileDialogForTests();
        RegisterCircuitDeviceRecordTypes();
        Settings().programDirectory = std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
        dir_ = std::filesystem::temp_directory_path() / ("kq5-tospice-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        record_ = NewWindowRecord(frame_, kWindowTextCircuit, true);
        record_->title = (dir_ / "divider.cir").string();
        record_->textArea = "divider\nV1 1 0 DC 5\nR1 1 2 1k\nR2 2 0 1k\n.TRAN 1u 10u\n.END\n";
        std::ofstream(record_->title) << record_->textArea;
    }
    void TearDown() override
    {
        ResetNetlistWorld();
        ResetSpiceExportForTests();
        ResetSaveFileDialogForTests();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        SettingsDialogTest::TearDown();
    }
    static void ResetNetlistWorld()
    {
        ResetCircuitBuildForTests();
        ResetDeviceListsForTests();
        ResetModelStateForTests();
        ResetNetlistReaderForTests();
        ResetNetlistStateForTests();
        ResetConnectivityStateForTests();
        ResetAnalysisStateForTests();
        ResetAnalogSolverStateForTests();
        ResetFileUnitsForTests();
    }
    // Space on a control toggles it as a user's key would.
    static void Toggle(int id)
    {
        win::SetFocus(Item(id));
        Press(win::VK_SPACE);
    }
    static bool Checked(int id) { return win::IsDlgButtonChecked(Dialog(), id) != 0; }

    std::filesystem::path dir_;
    WindowRecord* record_ = nullptr;
};

TEST_F(SpiceExportDialog, SettingsPersistWithinTheRunAndCancelKeepsThem)
{
    std::vector<bool> shown;
    InputScript first;
    first.Then([&] {
        // The settings a run of the program starts with: PSpice, transient only, no expansion.
        shown = {Checked(104), Checked(105), Checked(106), Checked(107), Checked(100), Checked(101), Checked(102)};
        Toggle(105);
    }).Then([] { Toggle(104); }).Then([] { Toggle(107); }).Then([] { Toggle(102); }).Then([] { SaveScreen("spice_export_dialog"); }).Then([] { Press(win::VK_RETURN); });
    first.Install();
    EXPECT_EQ(RunSpiceExportDialog(frame_), 1);
    EXPECT_EQ(shown, (std::vector<bool>{true, false, false, false, false, true, false}));
    EXPECT_EQ(SpiceExport().analysisMask, kExportAc);
    EXPECT_TRUE(SpiceExport().expandSubcircuits);
    EXPECT_EQ(SpiceExport().dialect, kSpiceDialectSpice3);

    InputScript second;
    second.Then([&] {
        shown = {Checked(104), Checked(105), Checked(106), Checked(107), Checked(100), Checked(101), Checked(102)};
        Toggle(106);
    }).Then([] { Toggle(100); }).Then([] { Press(win::VK_ESCAPE); });
    second.Install();
    EXPECT_EQ(RunSpiceExportDialog(frame_), 0);
    EXPECT_EQ(shown, (std::vector<bool>{false, true, false, true, false, false, true}));
    EXPECT_EQ(SpiceExport().analysisMask, kExportAc);
    EXPECT_EQ(SpiceExport().dialect, kSpiceDialectSpice3);

    // No analysis at all is a choice too.
    InputScript none;
    none.Then([] { Toggle(105); }).Then([] { Press(win::VK_RETURN); });
    none.Install();
    EXPECT_EQ(RunSpiceExportDialog(frame_), 1);
    EXPECT_EQ(SpiceExport().analysisMask, 0u);
}

TEST_F(SpiceExportDialog, CommandWritesOnlyWhenAskedAndReportsAFileItCannotMake)
{
    const std::filesystem::path out = dir_ / "divider.ckt";
    // Cancel in the dialog: nothing asked, nothing written.
    InputScript cancel;
    cancel.Then([] { Press(win::VK_ESCAPE); });
    cancel.Install();
    PushSaveFileNameAnswer(out.string());
    EXPECT_EQ(ExportSpiceNetlistCommand(record_), 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    ResetSaveFileDialogForTests();

    // An empty file name: nothing written.
    InputScript empty;
    empty.Then([] { Press(win::VK_RETURN); });
    empty.Install();
    PushSaveFileNameAnswer("");
    EXPECT_EQ(ExportSpiceNetlistCommand(record_), 0);
    EXPECT_FALSE(std::filesystem::exists(out));

    // A name: the netlist.
    InputScript ok;
    ok.Then([] { Press(win::VK_RETURN); });
    ok.Install();
    PushSaveFileNameAnswer(out.string());
    EXPECT_EQ(ExportSpiceNetlistCommand(record_), 0);
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().rfind("DIVIDER.CIR TRANSIENT ANALYSIS", 0), 0u) << text.str();
    // The written netlist is shown in a text window; a second export reuses that window.
    auto shownWindows = [&] {
        int count = 0;
        for (const auto& record : WindowRecords().records)
            if (record->kind == kWindowTextCircuit && record->window && FileNamesEqual(record->title, out.string())) {
                ++count;
                EXPECT_NE(record->textArea.find("DIVIDER.CIR TRANSIENT ANALYSIS"), std::string::npos);
            }
        return count;
    };
    EXPECT_EQ(shownWindows(), 1);
    InputScript again;
    again.Then([] { Press(win::VK_RETURN); });
    again.Install();
    PushSaveFileNameAnswer(out.string());
    EXPECT_EQ(ExportSpiceNetlistCommand(record_), 0);
    EXPECT_EQ(shownWindows(), 1);

    // A file in a folder that does not exist: its error is shown.
    win::ClearMessageBoxLog();
    InputScript bad;
    bad.Then([] { Press(win::VK_RETURN); });
    bad.Install();
    PushSaveFileNameAnswer((dir_ / "missing" / "x.ckt").string());
    EXPECT_NE(ExportSpiceNetlistCommand(record_), 0);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("x.ckt"), std::string::npos) << win::MessageBoxLog().back().text;
}

}  // namespace
}  // namespace kq5::testing
