// The circuit windows: what a schematic window is made of, where its scroll messages and focus
// go, the close question, text circuit windows, reusing the start-up window, the model program's
// arguments and the New dialog.
#include "schematic_test_support.h"
#include "../app/model_program_stub.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ui/dialog_services.h"
#include "ui/edit_mode.h"
#include "ui/mode_cursors.h"
#include "ui/frame_state.h"
#include "ui/program_settings.h"
#include "document/text_area.h"
#include "document/circuit_file.h"
#include "platform/control_scrollbar.h"
#include "platform/cursor.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "schematic/circuit_window.h"
#include "document/page_tabs.h"
#include "document/pane_seams.h"

namespace kq5::testing {
namespace {

std::vector<win::UINT> gEditorMessages;
win::WNDPROC gEditorProc = nullptr;

win::LRESULT RecordingEditor(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    gEditorMessages.push_back(msg);
    return gEditorProc(hwnd, msg, wParam, lParam);
}

class CircuitWindows : public SchematicTest {
protected:
    void SetUp() override
    {
        SchematicTest::SetUp();
        gEditorMessages.clear();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-cirwin-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        Settings().workingDirectory = dir_.string() + "/";
    }
    void TearDown() override
    {
        Frame().startupWindow = nullptr;
        SchematicTest::TearDown();
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
    }
    std::filesystem::path dir_;
};

TEST_F(CircuitWindows, ASchematicWindowHasItsPaneChildren)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->kind, kWindowSchematic);
    EXPECT_TRUE(record->untitled);
    for (int pane = 0; pane < 4; ++pane) {
        win::HWND h = win::GetDlgItem(record->window, kPaneHScrollId + pane);
        win::HWND v = win::GetDlgItem(record->window, kPaneVScrollId + pane);
        win::HWND tabs = win::GetDlgItem(record->window, kPaneTabBarId + pane);
        ASSERT_TRUE(h && v && tabs) << pane;
        EXPECT_EQ(win::GetClassName(h), "SCROLLBAR");
        EXPECT_EQ(win::GetClassName(tabs), kTabBarClassName);
    }
    ASSERT_NE(record->document->textAreaWindow, nullptr);
    EXPECT_EQ(win::GetDlgCtrlID(record->document->textAreaWindow), kTextAreaControlId);
    // A new document shows one pane, page 1, with the text area hidden.
    EXPECT_EQ(FindVisiblePane(record), 3);
    EXPECT_EQ(TextPaneOf(record), -1);
}

TEST_F(CircuitWindows, TheTextPaneScrollBarsTalkToTheEditor)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    win::HWND editor = record->document->textAreaWindow;
    gEditorProc = reinterpret_cast<win::WNDPROC>(win::GetWindowLongPtr(editor, win::GWLP_WNDPROC));
    win::SetWindowLongPtr(editor, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&RecordingEditor));
    SetTextAreaPane(record, 3, false);
    ASSERT_EQ(TextPaneOf(record), 3);
    const std::int32_t before = record->document->pages[0].originY[3];
    win::HWND bar = win::GetDlgItem(record->window, kPaneVScrollId + 3);
    win::SendMessage(record->window, win::WM_VSCROLL, win::SB_LINEDOWN, reinterpret_cast<win::LPARAM>(bar));
    EXPECT_NE(std::find(gEditorMessages.begin(), gEditorMessages.end(), win::WM_VSCROLL), gEditorMessages.end());
    EXPECT_EQ(record->document->pages[0].originY[3], before);
    // The text area filling the only pane takes the focus of its window.
    gEditorMessages.clear();
    win::SendMessage(record->window, win::WM_SETFOCUS, 0, 0);
    EXPECT_EQ(win::GetFocus(), editor);
    EXPECT_EQ(IsTextEditActive(record), 1);
    win::SetWindowLongPtr(editor, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(gEditorProc));
}

TEST_F(CircuitWindows, CancelInTheSaveQuestionKeepsTheWindow)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    win::HWND hwnd = record->window;
    record->modified = 1;
    Frame().closeRefused = false;
    win::PushMessageBoxAnswer(win::IDCANCEL);
    win::SendMessage(hwnd, win::WM_CLOSE, 0, 0);
    EXPECT_TRUE(win::IsWindow(hwnd));
    EXPECT_TRUE(Frame().closeRefused);
    win::PushMessageBoxAnswer(win::IDNO);
    win::SendMessage(hwnd, win::WM_CLOSE, 0, 0);
    EXPECT_FALSE(win::IsWindow(hwnd));
}

TEST_F(CircuitWindows, TextCircuitWindowsAreTheirEditor)
{
    WindowRecord* record = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(win::GetClassName(record->window), kTextCircuitClassName);
    EXPECT_EQ(IsTextEditActive(record), 1);
    win::MoveWindow(record->window, 0, 0, 400, 300, 1);
    win::RECT client{}, editor{};
    win::GetClientRect(record->window, &client);
    win::GetWindowRect(record->document->textAreaWindow, &editor);
    EXPECT_EQ(editor.right - editor.left, client.right + 1);
    EXPECT_EQ(editor.bottom - editor.top, client.bottom + 1);
    // The editor's change notice marks the document modified.
    win::SendMessage(record->window, win::WM_COMMAND, win::MAKEWPARAM(kTextAreaControlId, 0x300), 0);
    EXPECT_EQ(record->modified, 1);
    EXPECT_EQ(IsTextEditActive(nullptr), 0);
}

TEST_F(CircuitWindows, OpeningASchematicReusesTheEmptyStartUpWindow)
{
    WindowRecord* source = NewSchematic();
    ASSERT_NE(source, nullptr);
    AddItem(source, kItemWire, 1, 1, 9, 1);
    const std::string path = (dir_ / "ONE.CIR").string();
    ASSERT_EQ(WriteCircuitFile(source, path, 0), 0);
    // Saving under a new name captions the window with it.
    EXPECT_EQ(win::GetWindowText(source->window), path);

    WindowRecord* startup = NewSchematic();
    ASSERT_NE(startup, nullptr);
    win::HWND startupWindow = startup->window;
    Frame().startupWindow = startupWindow;
    // A netlist under a schematic's name is refused and leaves the start-up window standing.
    const std::string netlist = (dir_ / "NETLIST.CIR").string();
    std::ofstream(netlist) << "RC\nR1 1 0 1K\nC1 1 0 1U\n.END\n";
    EXPECT_NE(OpenFileOfKind(netlist, kFileKindSchematic), 0);
    ASSERT_TRUE(win::IsWindow(startupWindow));
    EXPECT_EQ(Frame().startupWindow, startupWindow);
    EXPECT_EQ(FindRecordByTitle(netlist), nullptr);
    EXPECT_EQ(OpenFileOfKind(path, kFileKindSchematic), 0);
    // The same window holds the circuit now (its record may be a new one).
    ASSERT_NE(GetWindowRecord(startupWindow), nullptr);
    EXPECT_EQ(GetWindowRecord(startupWindow)->document->itemList.count, 1);
    EXPECT_EQ(Frame().startupWindow, nullptr);

    // Once the start-up window holds something, a new window is made.
    WindowRecord* busy = NewSchematic();
    ASSERT_NE(busy, nullptr);
    AddItem(busy, kItemWire, 1, 1, 2, 1);
    Frame().startupWindow = busy->window;
    const std::string other = (dir_ / "TWO.CIR").string();
    ASSERT_EQ(WriteCircuitFile(source, other, 0), 0);
    EXPECT_EQ(OpenFileOfKind(other, kFileKindSchematic), 0);
    EXPECT_EQ(busy->document->itemList.count, 1);
    EXPECT_EQ(Frame().startupWindow, busy->window);
    EXPECT_NE(FindRecordByTitle(other), nullptr);
}

TEST_F(CircuitWindows, TheModelProgramGetsTheFileNameAsOneArgument)
{
    Settings().programDirectory = dir_.string() + "/";
    WriteModelProgramStub(dir_);
    // Blanks and quotes in the name must not split it or start anything else.
    const std::string name = (dir_ / "my \"odd\" model; touch x.mod").string();
    WindowRecord* opened = nullptr;
    EXPECT_EQ(LoadCircuitFile(nullptr, name, kFileKindModelFile, kLoadQuiet, opened), 0);
    const ModelProgramArgs args = WaitForModelProgramArgs(dir_);
    EXPECT_EQ(args.count, "1");
    EXPECT_EQ(args.first, name);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "x.mod"));
}

TEST_F(CircuitWindows, TheNewDialogOpensTheChosenKind)
{
    std::string caption;
    int step = 0;
    win::headless::SetIdleHandler([&] {
        win::HWND dialog = CurrentDialog();
        if (dialog == nullptr || step > 1) return false;
        if (step++ == 0) {
            caption = win::GetWindowText(dialog);
            // A click on the text picture checks "S&pice/Text".
            win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(1204, win::STN_CLICKED),
                             reinterpret_cast<win::LPARAM>(win::GetDlgItem(dialog, 1204)));
        } else {
            win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
        }
        return true;
    });
    const int before = static_cast<int>(WindowRecords().records.size());
    FileNew();
    win::headless::SetIdleHandler(nullptr);
    EXPECT_EQ(caption, "New");
    ASSERT_EQ(static_cast<int>(WindowRecords().records.size()), before + 1);
    WindowRecord* made = WindowRecords().records.back().get();
    EXPECT_EQ(made->kind, kWindowTextCircuit);
    EXPECT_TRUE(win::IsZoomed(made->window));
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(CircuitWindows, UpdatesReachEveryDocumentWindow)
{
    WindowRecord* a = NewSchematic();
    WindowRecord* b = NewSchematic();
    WindowRecord* text = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_TRUE(a && b && text);
    win::ShowWindow(text->window, win::SW_SHOW);
    a->document->connectivityStale = 0;
    UpdateDocumentWindows(nullptr, kUpdateModified);
    EXPECT_EQ(a->modified, 1);
    EXPECT_EQ(a->document->connectivityStale, 1);
    EXPECT_EQ(text->modified, 0);  // only schematics
    HideOtherDocumentWindows(a->window);
    EXPECT_TRUE(win::IsWindowVisible(a->window));
    EXPECT_FALSE(win::IsWindowVisible(b->window));
    EXPECT_FALSE(win::IsWindowVisible(text->window));
    EXPECT_GT(b->document->placements[0].rcNormalPosition.right, 0);
    UpdateDocumentWindows(nullptr, kUpdateShow);
    EXPECT_TRUE(win::IsWindowVisible(b->window));
    b->flags |= 0x10;
    win::HWND bWindow = b->window;
    a->modified = text->modified = 0;
    b->modified = 0;
    UpdateDocumentWindows(nullptr, kUpdateCloseFlag10);
    EXPECT_FALSE(win::IsWindow(bWindow));
    EXPECT_TRUE(win::IsWindow(a->window));
}

TEST_F(CircuitWindows, DemoPlaybackNumbersUntitledWindowsFromOne)
{
    const std::string first = MakeUntitledName(kWindowSchematic);
    const std::string second = MakeUntitledName(kWindowSchematic);
    SwapUntitledCounters(true);
    EXPECT_EQ(MakeUntitledName(kWindowSchematic), first);
    SwapUntitledCounters(false);
    const std::string third = MakeUntitledName(kWindowSchematic);
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(CircuitWindows, ALoadedCircuitComesBackWithItsPanes)
{
    WindowRecord* source = NewSchematic(600, 400);
    ASSERT_NE(source, nullptr);
    AddItem(source, kItemWire, 1, 1, 300, 200);
    CircuitDocument& document = *source->document;
    document.splitterX = 300;
    document.splitterY = 200;
    document.pages[0].originX[1] = 160;
    document.pages[0].originY[1] = 80;
    const std::string path = (dir_ / "PANES.CIR").string();
    ASSERT_EQ(WriteCircuitFile(source, path, 0), 0);

    WindowRecord* loaded = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults | kLoadShowWindow, loaded), 0);
    ASSERT_NE(loaded, nullptr);
    win::MoveWindow(loaded->window, 0, 0, 640, 480, 1);
    EXPECT_EQ(loaded->document->splitterX, 300);
    EXPECT_TRUE(IsPaneVisible(loaded, 1));
    EXPECT_TRUE(IsPaneVisible(loaded, 3));
    win::HWND h = win::GetDlgItem(loaded->window, kPaneHScrollId + 1);
    win::HWND v = win::GetDlgItem(loaded->window, kPaneVScrollId + 1);
    EXPECT_EQ(win::GetScrollPos(h, win::SB_CTL), 160);
    EXPECT_EQ(win::GetScrollPos(v, win::SB_CTL), 80);
    int low = 0, high = 0;
    win::GetScrollRange(h, win::SB_CTL, &low, &high);
    EXPECT_GE(high, (300 + 200) * 8);  // past the wire's end
    EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(loaded->window, kPaneTabBarId + 1)));
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

// Shift or Control held over a pane shows the Select cursor (a click then acts in Select mode);
// letting go brings the mode's cursor back. Away from the panes nothing changes.
TEST_F(CircuitWindows, ShiftOrControlShowsTheSelectCursorOverAPane)
{
    LoadCursors();
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    SetEditMode(record, kCommandComponentMode);
    const win::HCURSOR select = CursorForMode(kCommandSelectMode), component = CursorForMode(kCommandComponentMode);
    ASSERT_NE(select, component);
    win::RECT pane{};
    GetPaneRect(record, FindVisiblePane(record), pane);
    win::POINT inside{(pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2};
    win::ClientToScreen(record->window, &inside);
    win::SetCursorPos(inside.x, inside.y);
    win::SetCursor(component);
    for (const int key : {win::VK_SHIFT, win::VK_CONTROL}) {
        win::SendMessage(record->window, win::WM_KEYDOWN, static_cast<win::WPARAM>(key), 0);
        EXPECT_EQ(win::GetCursor(), select) << key;
        win::SendMessage(record->window, win::WM_KEYUP, static_cast<win::WPARAM>(key), 0);
        EXPECT_EQ(win::GetCursor(), component) << key;
    }
    // Other keys, and the pointer outside every pane, leave the cursor alone.
    win::SendMessage(record->window, win::WM_KEYDOWN, static_cast<win::WPARAM>('A'), 0);
    EXPECT_EQ(win::GetCursor(), component);
    win::POINT outside{-50, -50};
    win::ClientToScreen(record->window, &outside);
    win::SetCursorPos(outside.x, outside.y);
    win::SendMessage(record->window, win::WM_KEYDOWN, static_cast<win::WPARAM>(win::VK_SHIFT), 0);
    EXPECT_EQ(win::GetCursor(), component);
    DestroyCursors();
}

}  // namespace
}  // namespace kq5::testing
