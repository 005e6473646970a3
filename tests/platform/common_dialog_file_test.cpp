// The open and save dialogs: scripted answers, real dialogs driven by keys and clicks, the
// program's hook, and the print-to-file question that uses the save dialog.
#include "common_dialog_test_support.h"
#include "platform/common_dialogs_file.h"
#include "document/save_file_dialog.h"
#include "platform/print.h"

namespace win::testing {
namespace {

using namespace std::string_literals;

const std::string kFilter = "Schematic (*.CIR)\0*.CIR\0SPICE (*.CKT;*.LIB)\0*.CKT;*.LIB\0All Files (*.*)\0*.*\0"s;

class FileDialogTest : public CommonDialogTest {
protected:
    void SetUp() override {
        CommonDialogTest::SetUp();
        for (const char* f : {"amp.cir", "Filter.CIR", "notes.txt", "lib.ckt", ".hidden.cir", "Sub/deep.cir"}) Touch(f);
    }
    OPENFILENAME Ofn(DWORD flags) const {
        OPENFILENAME ofn;
        ofn.hwndOwner = owner_;
        ofn.lpstrFilter = kFilter;
        ofn.lpstrInitialDir = dir_.string();
        ofn.Flags = flags;
        return ofn;
    }
};

TEST_F(FileDialogTest, ScriptedNamesAreFoundCaseBlindWithEitherSeparator) {
    OPENFILENAME ofn = Ofn(OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
    ScriptFileDialogAnswer("AMP.CIR");
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.lpstrFile, Path("amp.cir"));  // the name as it is on disk
    EXPECT_EQ(ofn.lpstrFileTitle, "amp.cir");
    EXPECT_EQ(ofn.lpstrFile.substr(ofn.nFileOffset), "amp.cir");
    EXPECT_EQ(ofn.lpstrFile.substr(ofn.nFileExtension), "cir");
    EXPECT_EQ(ofn.nFilterIndex, 1u);
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    ofn = Ofn(OFN_FILEMUSTEXIST);
    ofn.lpstrFile = dir_.string() + "\\Sub\\x.cir";  // the starting folder comes from the name
    ScriptFileDialogAnswer("..\\SUB/Deep.CIR");
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.lpstrFile, Path("Sub/deep.cir"));
    EXPECT_TRUE(MessageBoxLog().empty());
}

TEST_F(FileDialogTest, RejectedNamesKeepTheDialogAndCancelIsNoError) {
    OPENFILENAME ofn = Ofn(OFN_FILEMUSTEXIST);
    ScriptFileDialogAnswer("missing.cir");
    ScriptFileDialogAnswer("Sub");        // a folder opens instead of choosing
    ScriptFileDialogAnswer("deep.cir");   // now in Sub
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.lpstrFile, Path("Sub/deep.cir"));
    ASSERT_EQ(MessageBoxLog().size(), 1u);
    EXPECT_NE(MessageBoxLog()[0].text.find("missing.cir\nFile not found."), std::string::npos);
    EXPECT_EQ(MessageBoxLog()[0].caption, "Open");

    ofn = Ofn(OFN_FILEMUSTEXIST);
    ScriptFileDialogAnswer("missing.cir");  // rejected, and nothing follows: cancelled
    EXPECT_FALSE(GetOpenFileName(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_TRUE(ofn.lpstrFile.empty());
    ScriptFileDialogAnswer(std::nullopt);
    EXPECT_FALSE(GetOpenFileName(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_FALSE(GetOpenFileName(&ofn));  // headless with nobody to answer
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    ofn.lStructSize = 0;
    EXPECT_FALSE(GetOpenFileName(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
    ofn = Ofn(OFN_ENABLEHOOK);
    EXPECT_FALSE(GetOpenFileName(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_NOHOOK);
}

TEST_F(FileDialogTest, SaveAsksBeforeReplacingAndAddsTheDefaultExtension) {
    OPENFILENAME ofn = Ofn(OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST);
    ofn.lpstrDefExt = "CIR";
    ScriptFileDialogAnswer("Amp");  // amp.cir exists: the user says No
    PushMessageBoxAnswer(IDNO);
    ScriptFileDialogAnswer("nowhere/x.cir");
    ScriptFileDialogAnswer("fresh");
    ASSERT_TRUE(GetSaveFileName(&ofn));
    EXPECT_EQ(ofn.lpstrFile, Path("fresh.CIR"));
    EXPECT_FALSE(ofn.Flags & OFN_EXTENSIONDIFFERENT);
    ASSERT_EQ(MessageBoxLog().size(), 2u);
    EXPECT_EQ(MessageBoxLog()[0].text, Path("amp.cir") + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(MessageBoxLog()[0].caption, "Save As");
    EXPECT_EQ(MessageBoxLog()[0].type & MB_TYPEMASK, MB_YESNO);
    EXPECT_NE(MessageBoxLog()[1].text.find("The folder does not exist."), std::string::npos);

    ofn = Ofn(OFN_OVERWRITEPROMPT);
    ofn.lpstrDefExt = "CIR";
    ScriptFileDialogAnswer("notes.txt");
    PushMessageBoxAnswer(IDYES);
    ASSERT_TRUE(GetSaveFileName(&ofn));
    EXPECT_EQ(ofn.lpstrFile, Path("notes.txt"));
    EXPECT_TRUE(ofn.Flags & OFN_EXTENSIONDIFFERENT);

    ofn = Ofn(0);  // without the prompt an existing file is simply chosen
    ClearMessageBoxLog();
    ScriptFileDialogAnswer("amp.cir");
    ASSERT_TRUE(GetSaveFileName(&ofn));
    EXPECT_TRUE(MessageBoxLog().empty());
}

TEST_F(FileDialogTest, TheShownDialogListsFilesByTypeAndWalksFolders) {
    SetCommonDialogsShownHeadless(true);
    OPENFILENAME ofn = Ofn(OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
    std::vector<std::string> firstFiles, firstFolders, typedFiles, subFiles, allFiles;
    std::string shownFolder, title;
    bool ownerEnabled = true, readOnlyShown = true;
    InputScript script;
    script.Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        ASSERT_NE(dlg, nullptr);
        title = GetWindowText(dlg);
        ownerEnabled = IsWindowEnabled(owner_) != FALSE;
        readOnlyShown = IsWindowVisible(GetDlgItem(dlg, kReadOnlyCheck)) != FALSE;
        firstFiles = Items(dlg, kFileList);
        firstFolders = Items(dlg, kFolderList);
        shownFolder = GetDlgItemText(dlg, kFolderPath);
        EXPECT_EQ(GetDlgItemText(dlg, kFileNameEdit), "*.CIR");
        TypeInto(dlg, kFileNameEdit, "*.txt");
        headless::PressKey(VK_RETURN);
    }).Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        typedFiles = Items(dlg, kFileList);
        TypeInto(dlg, kFileNameEdit, "sub");  // a folder, typed in another case
        headless::PressKey(VK_RETURN);
    }).Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        subFiles = Items(dlg, kFileList);
        // Back up with a double click on "[..]", then all files by the type list.
        RECT r{};
        SendDlgItemMessage(dlg, kFolderList, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
        POINT p = ScreenPointOf(GetDlgItem(dlg, kFolderList), 5, (r.top + r.bottom) / 2);
        headless::DoubleClick(p.x, p.y);
    }).Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        SetFocus(GetDlgItem(dlg, kFileTypeCombo));
        headless::PressKey(VK_END);  // the last type: all files
    }).Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        allFiles = Items(dlg, kFileList);
        TypeInto(dlg, kFileNameEdit, "LIB.CKT");
        headless::PressKey(VK_RETURN);
    });
    script.Install();
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(title, "Open");
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(readOnlyShown);
    EXPECT_EQ(firstFiles, (std::vector<std::string>{"amp.cir", "Filter.CIR"}));  // no hidden file
    EXPECT_EQ(firstFolders, (std::vector<std::string>{"[..]", "[Sub]"}));
    EXPECT_EQ(shownFolder, dir_.string());
    EXPECT_EQ(typedFiles, (std::vector<std::string>{"notes.txt"}));
    EXPECT_EQ(subFiles, (std::vector<std::string>{}));  // still "*.txt"
    EXPECT_EQ(allFiles, (std::vector<std::string>{"amp.cir", "Filter.CIR", "lib.ckt", "notes.txt"}));
    EXPECT_EQ(ofn.lpstrFile, Path("lib.ckt"));
    EXPECT_EQ(ofn.nFilterIndex, 3u);
    EXPECT_EQ(CurrentCommonDialogWindow(), nullptr);
}

TEST_F(FileDialogTest, EscCancelsTheShownDialog) {
    SetCommonDialogsShownHeadless(true);
    OPENFILENAME ofn = Ofn(0);
    ofn.lpstrFile = "keep.cir";
    headless::PressKey(VK_ESCAPE);
    EXPECT_FALSE(GetOpenFileName(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(ofn.lpstrFile, "keep.cir");
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(GetOpenFileName(&ofn));  // nothing left to come: cancelled, not stuck
}

struct HookLog {
    std::vector<UINT> messages;
    LPARAM initParam = 0;
    std::vector<std::string> selections;  // the name field at each file-list selection change
    int rejected = 0;
};
HookLog* gHookLog = nullptr;

// Like the program's hook: watches the file list, and refuses names without ".cir" on OK.
UINT_PTR TestHook(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    gHookLog->messages.push_back(msg);
    if (msg == WM_INITDIALOG) gHookLog->initParam = reinterpret_cast<const OPENFILENAME*>(lParam)->lCustData;
    if (msg == WM_COMMAND && LOWORD(wParam) == kFileList && HIWORD(wParam) == LBN_SELCHANGE) {
        // The dialog has not handled it yet: the hook sees the list's own selection.
        LRESULT i = SendDlgItemMessage(dlg, kFileList, LB_GETCURSEL, 0, 0);
        std::string text(static_cast<std::size_t>(SendDlgItemMessage(dlg, kFileList, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        SendDlgItemMessage(dlg, kFileList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        gHookLog->selections.push_back(text.c_str());
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        std::string name = GetDlgItemText(dlg, kFileNameEdit);
        if (name.size() < 4 || name.substr(name.size() - 4) != ".cir") {
            ++gHookLog->rejected;
            return TRUE;
        }
    }
    return FALSE;
}

TEST_F(FileDialogTest, TheHookSeesInitSelectionChangesAndCanRefuseOk) {
    HookLog log;
    gHookLog = &log;
    OPENFILENAME ofn = Ofn(OFN_ENABLEHOOK);
    ofn.lpfnHook = TestHook;
    ofn.lCustData = 4711;
    ScriptFileDialogAnswer("notes.txt");  // refused by the hook
    ScriptFileDialogAnswer("amp.cir");
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.lpstrFile, Path("amp.cir"));
    EXPECT_EQ(log.initParam, 4711);
    EXPECT_EQ(log.rejected, 1);

    // A user's click in the file list reaches the hook, then fills the name field.
    log = HookLog();
    SetCommonDialogsShownHeadless(true);
    ofn = Ofn(OFN_ENABLEHOOK);
    ofn.lpfnHook = TestHook;
    std::string field;
    InputScript script;
    script.Then([&] { ClickListItem(CurrentCommonDialogWindow(), kFileList, 1); })
        .Then([&] {
            field = GetDlgItemText(CurrentCommonDialogWindow(), kFileNameEdit);
            headless::PressKey(VK_RETURN);
        })
        .Then([&] { TypeInto(CurrentCommonDialogWindow(), kFileNameEdit, "amp.cir"); })
        .Then([&] { headless::PressKey(VK_RETURN); });
    script.Install();
    ASSERT_TRUE(GetOpenFileName(&ofn));
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages.front(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(log.selections, (std::vector<std::string>{"Filter.CIR"}));
    EXPECT_EQ(field, "Filter.CIR");
    EXPECT_EQ(log.rejected, 1);  // ".CIR" is not ".cir" to this hook
    EXPECT_EQ(ofn.lpstrFile, Path("amp.cir"));
    gHookLog = nullptr;
}

TEST_F(FileDialogTest, SeveralFilesComeBackAsFolderAndNames) {
    OPENFILENAME ofn = Ofn(OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST);
    ScriptFileDialogAnswer("\"amp.cir\" \"FILTER.cir\"");
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ofn.lpstrFile, dir_.string() + "\0amp.cir\0Filter.CIR\0"s);
    EXPECT_EQ(ofn.nFileOffset, dir_.string().size() + 1);
    EXPECT_EQ(ChosenFilePaths(ofn), (std::vector<std::string>{Path("amp.cir"), Path("Filter.CIR")}));

    // Picked in the list with Ctrl+click.
    SetCommonDialogsShownHeadless(true);
    ofn = Ofn(OFN_ALLOWMULTISELECT);
    std::string field;
    InputScript script;
    script.Then([&] { ClickListItem(CurrentCommonDialogWindow(), kFileList, 0); })
        .Then([&] {
            headless::KeyDown(VK_CONTROL);
            ClickListItem(CurrentCommonDialogWindow(), kFileList, 1);
        })
        .Then([&] {
            headless::KeyUp(VK_CONTROL);
            field = GetDlgItemText(CurrentCommonDialogWindow(), kFileNameEdit);
            headless::PressKey(VK_RETURN);
        });
    script.Install();
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(field, "\"amp.cir\" \"Filter.CIR\"");
    EXPECT_EQ(ChosenFilePaths(ofn).size(), 2u);

    ofn = Ofn(0);
    ScriptFileDialogAnswer("amp.cir");
    ASSERT_TRUE(GetOpenFileName(&ofn));
    EXPECT_EQ(ChosenFilePaths(ofn), (std::vector<std::string>{Path("amp.cir")}));
}

TEST_F(FileDialogTest, PatternsCompareCaseBlind) {
    EXPECT_TRUE(FileNameMatchesPatterns("amp.cir", "*.CIR"));
    EXPECT_TRUE(FileNameMatchesPatterns("x.lib", "*.CKT;*.LIB;*.STM"));
    EXPECT_FALSE(FileNameMatchesPatterns("x.cir.bak", "*.CIR"));
    EXPECT_TRUE(FileNameMatchesPatterns("README", "*.*"));
    EXPECT_FALSE(FileNameMatchesPatterns("a.txt", ""));
}

TEST_F(FileDialogTest, PrintToFileAsksWithTheSaveDialog) {
    ResetPrintStateForTests();
    EXPECT_EQ(AskForPrintFile(owner_, "C:\\CIRCUITS\\AMP.CIR"), "AMP.pdf");  // nobody to ask
    ScriptFileDialogAnswer(Path("out"));
    EXPECT_EQ(AskForPrintFile(owner_, "AMP.CIR"), Path("out.pdf"));
    ScriptFileDialogAnswer(std::nullopt);
    EXPECT_EQ(AskForPrintFile(owner_, "AMP.CIR"), std::nullopt);
}

TEST_F(FileDialogTest, TheProgramsSaveQuestionUsesTheDialogWithTheKindsFilter) {
    kq5::ResetSaveFileDialogForTests();
    EXPECT_EQ(kq5::AskSaveFileNameByKind(nullptr, "AMP.CIR", 1), "");  // nobody to answer
    SetCommonDialogsShownHeadless(true);
    std::vector<std::string> types;
    std::string field;
    InputScript script;
    script.Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        types = Items(dlg, kFileTypeCombo, true);
        field = GetDlgItemText(dlg, kFileNameEdit);
        TypeInto(dlg, kFileNameEdit, Path("new.cir"));
        headless::PressKey(VK_RETURN);
    });
    script.Install();
    EXPECT_EQ(kq5::AskSaveFileNameByKind(nullptr, "C:\\CIRCUITS\\AMP.CIR", 1), Path("new.cir"));
    EXPECT_EQ(types, (std::vector<std::string>{"Schematic (*.CIR)"}));
    EXPECT_EQ(field, "AMP.CIR");
    kq5::PushSaveFileNameAnswer("queued.cir");  // the program's own queue still comes first
    EXPECT_EQ(kq5::AskSaveFileNameByKind(nullptr, "AMP.CIR", 1), "queued.cir");
}

}  // namespace
}  // namespace win::testing
