// The Print Setup and Print dialogs driven by keys, as the Print commands show them.
#include <filesystem>

#include "../app/settings_dialog_test_support.h"
#include "app/printing.h"
#include "document/circuit_document.h"
#include "platform/common_dialogs_print.h"
#include "platform/gdi_dc.h"
#include "platform/print.h"
#include "schematic/page_array.h"
#include "pdf_probe.h"

namespace kq5::testing {
namespace {

using win::testing::InputScript;

class PrintDialogs : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        RequirePoppler();
        win::ResetPrintStateForTests();
        PrintFreeSetup();
        win::SetCommonDialogsShownHeadless(true);
        dir_ = std::filesystem::temp_directory_path() / ("kq5_print_dialogs_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        PrintFreeSetup();
        win::ResetPrintStateForTests();
        std::filesystem::remove_all(dir_);
        SettingsDialogTest::TearDown();
    }
    static void Alt(char key) { win::headless::PressKeyWithModifiers(key, false, false, true); }
    std::filesystem::path dir_;
};

TEST_F(PrintDialogs, SetupTakesTheOrientationAndCancelKeepsIt)
{
    ASSERT_EQ(TitleBlockFields().orientation, 1);
    InputScript script;
    script.Then([] { Alt('L'); }).Then([] {
        SaveScreen("print_setup");
        Press(win::VK_RETURN);
    });
    script.Install();
    EXPECT_EQ(RunPrintSetup(frame_), 1);
    EXPECT_EQ(TitleBlockFields().orientation, 2);
    // A landscape sheet is wider than high.
    win::HDC dc = CreatePrinterDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_GT(win::GetDeviceCaps(dc, win::HORZRES), win::GetDeviceCaps(dc, win::VERTRES));
    win::DeleteDC(dc);

    InputScript cancel;
    cancel.Then([] { Alt('R'); }).Then([] { Press(win::VK_ESCAPE); });
    cancel.Install();
    EXPECT_EQ(RunPrintSetup(frame_), 0);
    EXPECT_EQ(TitleBlockFields().orientation, 2);
}

TEST_F(PrintDialogs, ThePrintDialogChoosesThePages)
{
    WindowRecord* record = NewWindowRecord(frame_, kWindowSchematic, true);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(ResizePageArray(record, 3), 0);
    SetRecordTitle(record, (dir_ / "three.cir").string());
    const std::string pdf = (dir_ / "pages.pdf").string();
    win::ScriptPrintOutputFile(pdf);
    std::string range;
    InputScript script;
    script.Then([] { Alt('P'); })
        .Then([] { Alt('F'); })
        .Then([] { win::headless::TypeText("2"); })
        .Then([] { Alt('T'); })
        .Then([] { win::headless::TypeText("3"); })
        .Then([&] {
            range = win::GetDlgItemText(Dialog(), win::kPrinterName);
            SaveScreen("print_dialog");
            Press(win::VK_RETURN);
        });
    script.Install();
    PrintWindowRecord(record);
    EXPECT_NE(range.find("PDF"), std::string::npos) << range;
    EXPECT_EQ(PdfPageCount(pdf), 2);

    // Escape prints nothing.
    const std::string none = (dir_ / "none.pdf").string();
    win::ScriptPrintOutputFile(none);
    InputScript cancel;
    cancel.Then([] { Press(win::VK_ESCAPE); });
    cancel.Install();
    PrintWindowRecord(record);
    EXPECT_FALSE(std::filesystem::exists(none));
    EXPECT_TRUE(win::MessageBoxLog().empty());
    win::ResetPrintStateForTests();
}

}  // namespace
}  // namespace kq5::testing
