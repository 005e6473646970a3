// The model library window inside the started program: opened by the file command, saved by the
// frame's Save, found by the frame's Find, and reached by the Translate commands both ways.
#include <fstream>

#include "../app/frame_test_support.h"
#include "../platform/control_test_support.h"
#include "ui/dialog_services.h"
#include "schematic/find_replace.h"
#include "ui/help_bar.h"
#include "document/save_file_dialog.h"
#include "netlist/binary_library.h"
#include "netlist/library_translate.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_library_window.h"
#include "netlist/model_types.h"
#include "platform/common_dialogs_file.h"
#include "platform/dialog.h"
#include "schematic/circuit_window.h"
#include "analog/run_windows.h"

namespace kq5::testing {
namespace {

class ModelLibraryInFrame : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        ResetLibraryStateForTests();
        ResetModelEditorsForTests();
        ResetModelCommandsForTests();
        ResetSaveFileDialogForTests();
    }
    void TearDown() override
    {
        StartedFrame::TearDown();
        ResetLibraryStateForTests();
        ResetModelEditorsForTests();
        ResetModelCommandsForTests();
        ResetSaveFileDialogForTests();
    }
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    void Command(int id)
    {
        win::SendMessage(FrameWindow(), win::WM_COMMAND, static_cast<win::WPARAM>(id), 0);
        PumpFrameMessages();
    }
};

TEST_F(ModelLibraryInFrame, TextModelsBecomeALibraryWindowThatSavesAndTranslatesBack)
{
    Start();
    {
        std::ofstream out(dir_ / "models.ckt", std::ios::binary);
        out << "* models\r\n.MODEL QFAST NPN(BF=55 IS=2f)\r\n.MODEL DFAST D(IS=1n)\r\n";
    }
    ASSERT_EQ(OpenFileOfKind(PathOf("models.ckt"), kWindowTextCircuit), 0);
    PumpFrameMessages();
    WindowRecord* text = GetActiveChildRecord();
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(text->kind, kWindowTextCircuit);

    PushSaveFileNameAnswer(PathOf("fast.lbr"));
    Command(kCommandTextToLibrary);
    WindowRecord* library = GetActiveChildRecord();
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(library->kind, kWindowModelLibrary);
    EXPECT_FALSE(library->untitled);
    EXPECT_TRUE(IsBinaryModelLibrary(PathOf("fast.lbr")));
    SelectModelType(library, kModelNpn);
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(library->window, kModelNameField)), "QFAST");

    // An edit, then the frame's Save writes the library.
    SelectModelType(library, kModelDiode);
    AddModelEntry(library);
    win::SetFocus(win::GetDlgItem(library->window, kModelNameField));
    win::SetWindowText(win::GetDlgItem(library->window, kModelNameField), "DNEW");
    win::SetFocus(win::GetDlgItem(library->window, kModelMemoField));
    PumpFrameMessages();
    ASSERT_EQ(library->modified, 1);
    Command(17103);
    EXPECT_EQ(library->modified, 0);
    ModelLibrary readBack;
    ASSERT_EQ(LoadModelLibrary(readBack, PathOf("fast.lbr"), true), 0);
    EXPECT_NE(FindLibraryEntry(readBack, kModelDiode, "DNEW"), nullptr);
    ReleaseModelLibrary(readBack);

    // The frame's Find asks for a model name in the library window.
    win::testing::InputScript script;
    script.Then([] {
        win::SetDlgItemText(CurrentDialog(), 10, "qf*");
        win::CheckRadioButton(CurrentDialog(), kSearchCurrentType, kSearchDisk, kSearchCurrentLibrary);
    }).Then([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, win::IDOK, 0); });
    script.Install();
    Command(kFindCommand);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(GetModelEditorData(library)->type, kModelNpn);
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(library->window, kModelNameField)), "QFAST");

    // Back to text from the library window.
    PushSaveFileNameAnswer(PathOf("fast.lib"));
    Command(kCommandLibraryToText);
    std::ifstream in(dir_ / "fast.lib", std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(written.find(".MODEL QFAST NPN"), std::string::npos) << written;
    EXPECT_NE(written.find(".MODEL DNEW D"), std::string::npos) << written;
}

TEST_F(ModelLibraryInFrame, TheOpenCommandOpensALibraryInItsWindow)
{
    Start();
    ModelLibrary library;
    ModelLibraryEntry* entry = NewLibraryEntry(library, kModelNjf);
    ASSERT_NE(entry, nullptr);
    entry->name = "J2N3819";
    ASSERT_EQ(SaveModelLibrary(library, PathOf("jfets.lbr")), 0);
    ReleaseModelLibrary(library);
    win::ScriptFileDialogAnswer(PathOf("jfets.lbr"));
    Command(17102);
    WindowRecord* record = GetActiveChildRecord();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->kind, kWindowModelLibrary);
    EXPECT_EQ(Libraries().windows.size(), 1u);
    EXPECT_EQ(CountModelsOfType(*ModelLibraryOf(record), kModelNjf), 1);

    // An error in one of its models shows that model in the open window.
    SelectModelType(record, kModelOpa);
    EXPECT_EQ(ShowLibraryModel(PathOf("jfets.lbr"), kModelNjf, "j2n3819"), record);
    EXPECT_EQ(Libraries().windows.size(), 1u);
    EXPECT_EQ(GetModelEditorData(record)->type, kModelNjf);
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(record->window, kModelNameField)), "J2N3819");
}

TEST_F(ModelLibraryInFrame, TheWindowsKeysMoveTheFocusThroughTheFrameAccelerators)
{
    Start();
    ModelLibrary library;
    for (const char* name : {"Q1", "Q2", "Q3"}) {
        ModelLibraryEntry* entry = NewLibraryEntry(library, kModelNpn);
        ASSERT_NE(entry, nullptr);
        entry->name = name;
    }
    ASSERT_EQ(SaveModelLibrary(library, PathOf("keys.lbr")), 0);
    ReleaseModelLibrary(library);
    ASSERT_EQ(OpenFileOfKind(PathOf("keys.lbr"), kWindowModelLibrary), 0);
    PumpFrameMessages();
    WindowRecord* record = GetActiveChildRecord();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->kind, kWindowModelLibrary);
    SelectModelType(record, kModelNpn);
    const ModelEditorData* data = GetModelEditorData(record);
    const auto press = [](int vk, bool shift = false) {
        win::headless::PressKeyWithModifiers(vk, false, shift);
        PumpFrameMessages();
    };
    const auto focusedId = [] { return win::GetDlgCtrlID(win::GetFocus()); };

    ASSERT_EQ(GoToModelParameter(record, "IS"), 0);
    win::SendMessage(win::GetFocus(), win::EM_SETSEL, 0, 0);
    press(win::VK_DOWN);
    EXPECT_EQ(data->scrollPos * data->columns + focusedId() - kModelParamFieldBase, data->columns);
    press(win::VK_UP);
    EXPECT_EQ(focusedId(), kModelParamFieldBase);
    // Tab goes from control to control; Shift+Tab back.
    win::SetFocus(win::GetDlgItem(record->window, kModelNameField));
    press(win::VK_TAB);
    EXPECT_EQ(focusedId(), kModelMemoField);
    press(win::VK_TAB, true);
    EXPECT_EQ(focusedId(), kModelNameField);
    // Down in the name list still moves the selection, and the shown model with it.
    win::SetFocus(win::GetDlgItem(record->window, kModelNameList));
    press(win::VK_DOWN);
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(record->window, kModelNameField)), "Q2");
    // It stops at the last entry, and announces the selection there again: the panel is refilled
    // from the library.
    press(win::VK_DOWN);
    press(win::VK_DOWN);
    const win::HWND names = win::GetDlgItem(record->window, kModelNameList);
    EXPECT_EQ(win::SendMessage(names, win::LB_GETCURSEL, 0, 0), 2);
    win::SetWindowText(win::GetDlgItem(record->window, kModelMemoField), "typed, not stored");
    press(win::VK_DOWN);
    EXPECT_EQ(win::SendMessage(names, win::LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(record->window, kModelNameField)), "Q3");
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(record->window, kModelMemoField)), "");
    // The help bar names what the pointer is over.
    SetHelpBarOption(true);
    win::HWND add = win::GetDlgItem(record->window, kModelAddButton);
    win::SendMessage(record->window, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(add), win::HTCLIENT);
    EXPECT_EQ(FrameHelpBar().text, "Adds a new model name to the current file.");
    win::HWND field = win::GetDlgItem(record->window, kModelParamFieldBase);
    win::SendMessage(record->window, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(field), win::HTCLIENT);
    EXPECT_EQ(FrameHelpBar().text.substr(0, 3), GetModelParamName(kModelNpn, data->scrollPos * data->columns) + " ");
    EXPECT_GT(FrameHelpBar().text.size(), 4u);
    // PgDn is no command "not available" here.
    win::ClearMessageBoxLog();
    press(win::VK_NEXT);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

}  // namespace
}  // namespace kq5::testing
