// The Print Setup and Print dialogs driven by keys, as the Print commands show them.
#include <filesystem>

#include "../app/settings_dialog_test_support.h"
#include "app/printing.h"
#include "document/circuit_document.h"
#include "platform/common_dialogs_print.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_draw.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "platform/print.h"
#include "document/page_array.h"
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

namespace kq5::testing {
namespace {

TEST_F(PrintDialogs, AWindowPartlyOffTheScreenPrintsItsVisiblePart)
{
    // A window reaching 200 pixels past the screen's left edge, painted red.
    win::MoveWindow(frame_, -200, 100, 500, 300, 1);
    win::SetActiveWindow(frame_);
    win::HDC dc = win::GetWindowDC(frame_);
    win::RECT all{0, 0, 500, 300};
    win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
    win::FillRect(dc, &all, red);
    win::DeleteObject(red);
    win::ReleaseDC(frame_, dc);
    const std::string pdf = (dir_ / "picture.pdf").string();
    win::ScriptPrintOutputFile(pdf);
    PrintActiveWindowPicture();
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf, 1));
    const auto bands = page.Bands();
    ASSERT_EQ(bands.size(), 1u);
    // 300 by 300 screen pixels at 300 / 96 printer pixels each, centred on the sheet.
    const int side = 300 * win::kPrinterDpi / 96;
    EXPECT_NEAR(bands[0].right - bands[0].left + 1, side, 4);
    EXPECT_NEAR(bands[0].bottom - bands[0].top + 1, side, 4);
    EXPECT_NEAR((bands[0].left + bands[0].right) / 2, page.width / 2, 4);
    EXPECT_NEAR((bands[0].top + bands[0].bottom) / 2, page.height / 2, 4);
}

}  // namespace
}  // namespace kq5::testing
