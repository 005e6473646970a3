// The print and print set-up dialogs over the PDF printer.
#include <cstring>

#include "common_dialog_test_support.h"
#include "platform/common_dialogs_print.h"
#include "platform/gdi_dc.h"
#include "platform/global_memory.h"

namespace win::testing {
namespace {

class PrintDialogTest : public CommonDialogTest {
protected:
    void SetUp() override {
        CommonDialogTest::SetUp();
        ResetPrintStateForTests();
    }
    void TearDown() override {
        if (pd_.hDC) DeleteDC(pd_.hDC);
        if (pd_.hDevMode) GlobalFree(pd_.hDevMode);
        if (pd_.hDevNames) GlobalFree(pd_.hDevNames);
        CommonDialogTest::TearDown();
    }
    DEVMODE DevMode() const {
        DEVMODE dm;
        std::memcpy(&dm, GlobalBytes(pd_.hDevMode).data(), sizeof dm);
        return dm;
    }
    PRINTDLG pd_;
};

TEST_F(PrintDialogTest, ReturnDefaultGivesThePdfPrinterWithoutADialog) {
    pd_.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    ASSERT_TRUE(PrintDlg(&pd_));
    ASSERT_NE(pd_.hDevMode, nullptr);
    std::optional<DevNamesText> names = ReadDevNames(pd_.hDevNames);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->device, kPrinterDevice);
    EXPECT_EQ(DevMode().dmOrientation, DMORIENT_PORTRAIT);
    ASSERT_NE(pd_.hDC, nullptr);
    EXPECT_EQ(GetDeviceCaps(pd_.hDC, LOGPIXELSX), kPrinterDpi);
    EXPECT_TRUE(MessageBoxLog().empty());
    // Asking again with the blocks still there is the caller's fault.
    EXPECT_FALSE(PrintDlg(&pd_));
    EXPECT_EQ(CommDlgExtendedError(), PDERR_RETDEFFAILURE);
}

TEST_F(PrintDialogTest, SetupChangesOrientationAndPaperOnlyWhenConfirmed) {
    pd_.Flags = PD_RETURNDEFAULT;
    ASSERT_TRUE(PrintDlg(&pd_));
    pd_.Flags = PD_PRINTSETUP | PD_NOPAGENUMS | PD_NOSELECTION;
    PrintDialogAnswer a;
    a.orientation = DMORIENT_LANDSCAPE;
    a.paperSize = DMPAPER_LETTER;
    ScriptPrintDialogAnswer(a);
    ASSERT_TRUE(PrintDlg(&pd_));
    EXPECT_EQ(DevMode().dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(DevMode().dmPaperSize, DMPAPER_LETTER);

    ScriptPrintDialogAnswer(std::nullopt);
    EXPECT_FALSE(PrintDlg(&pd_));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(DevMode().dmOrientation, DMORIENT_LANDSCAPE);

    // By keys: the set-up dialog opens on OK; Tab to the orientation, Up to portrait, Enter.
    SetCommonDialogsShownHeadless(true);
    std::string printer;
    InputScript script;
    script.Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        printer = GetDlgItemText(dlg, kPrinterName);
        SetFocus(GetDlgItem(dlg, kLandscapeRadio));
        headless::PressKey(VK_UP);
    }).Then([] { headless::PressKey(VK_RETURN); });
    script.Install();
    ASSERT_TRUE(PrintDlg(&pd_));
    EXPECT_EQ(printer, "Print to PDF on FILE:");
    EXPECT_EQ(DevMode().dmOrientation, DMORIENT_PORTRAIT);
    EXPECT_EQ(DevMode().dmPaperSize, DMPAPER_LETTER);
}

TEST_F(PrintDialogTest, PageRangeAndCopiesAreChecked) {
    pd_.Flags = PD_PAGENUMS | PD_NOSELECTION | PD_RETURNDC;
    pd_.nMinPage = 1;
    pd_.nMaxPage = 5;
    pd_.nFromPage = 1;
    pd_.nToPage = 5;
    PrintDialogAnswer wrong;
    wrong.pages = std::make_pair(4, 9);
    PrintDialogAnswer backwards;
    backwards.pages = std::make_pair(3, 2);
    PrintDialogAnswer right;
    right.pages = std::make_pair(2, 3);
    right.copies = 2;
    ScriptPrintDialogAnswer(wrong);
    ScriptPrintDialogAnswer(backwards);
    ScriptPrintDialogAnswer(right);
    ASSERT_TRUE(PrintDlg(&pd_));
    EXPECT_TRUE(pd_.Flags & PD_PAGENUMS);
    EXPECT_EQ(pd_.nFromPage, 2);
    EXPECT_EQ(pd_.nToPage, 3);
    EXPECT_EQ(pd_.nCopies, 1);  // the printer makes the copies
    EXPECT_EQ(DevMode().dmCopies, 2);
    EXPECT_NE(pd_.hDC, nullptr);
    ASSERT_EQ(MessageBoxLog().size(), 2u);
    EXPECT_EQ(MessageBoxLog()[0].text, "Enter a page number between 1 and 5.");
    EXPECT_EQ(MessageBoxLog()[0].caption, "Print");
    EXPECT_EQ(MessageBoxLog()[1].text, "The first page to print comes after the last one.");

    // A cancelled dialog leaves a caller without a set-up still without one.
    PRINTDLG fresh;
    ScriptPrintDialogAnswer(std::nullopt);
    EXPECT_FALSE(PrintDlg(&fresh));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(fresh.hDevMode, nullptr);
    EXPECT_EQ(fresh.hDevNames, nullptr);
}

TEST_F(PrintDialogTest, TheShownPrintDialogTakesTypedPagesAndItsSetup) {
    SetCommonDialogsShownHeadless(true);
    pd_.Flags = PD_NOSELECTION;
    pd_.nMinPage = 1;
    pd_.nMaxPage = 9;
    pd_.nFromPage = 1;
    pd_.nToPage = 9;
    bool selectionEnabled = true, allChecked = false, pagesChecked = false;
    InputScript script;
    script.Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        selectionEnabled = IsWindowEnabled(GetDlgItem(dlg, kPrintSelectionRadio)) != FALSE;
        allChecked = IsDlgButtonChecked(dlg, kPrintAllRadio) == BST_CHECKED;
        TypeInto(dlg, kPrintFromEdit, "3");
    }).Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        pagesChecked = IsDlgButtonChecked(dlg, kPrintPagesRadio) == BST_CHECKED;  // typing chose "Pages"
        ClickCenter(GetDlgItem(dlg, kPrintSetupButton));
    }).Then([] {
        // The set-up dialog over the print dialog.
        HWND setup = GetActiveWindow();
        ClickCenter(GetDlgItem(setup, kLandscapeRadio));
    }).Then([] { ClickCenter(GetDlgItem(GetActiveWindow(), IDOK)); })
        .Then([] { ClickCenter(GetDlgItem(CurrentCommonDialogWindow(), IDOK)); });
    script.Install();
    ASSERT_TRUE(PrintDlg(&pd_));
    EXPECT_FALSE(selectionEnabled);
    EXPECT_TRUE(allChecked);
    EXPECT_TRUE(pagesChecked);
    EXPECT_EQ(pd_.nFromPage, 3);
    EXPECT_EQ(pd_.nToPage, 9);
    EXPECT_EQ(DevMode().dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

}  // namespace
}  // namespace win::testing
