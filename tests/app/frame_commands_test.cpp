// Every menu of the started frame opened by Alt and its letter and by the mouse, and every menu
// item, accelerator key and tool button fired: each reaches its handler, or the warning that its
// part is not in this build.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "app/command_routing.h"
#include "app/menus.h"
#include "ui/tool_button_table.h"
#include "ui/tool_buttons.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "frame_test_support.h"
#include "platform/accelerator.h"
#include "platform/mdi.h"
#include "platform/menu.h"
#include "analog/run_windows.h"

namespace kq5::testing {
namespace {

bool WarningShown()
{
    for (const win::MessageBoxEntry& entry : win::MessageBoxLog()) {
        if (entry.text.find("is not available in this build.") != std::string::npos) return true;
    }
    return false;
}

void CollectItems(win::HMENU menu, std::set<int>& ids)
{
    const int count = win::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (win::HMENU popup = win::GetSubMenu(menu, i)) {
            CollectItems(popup, ids);
            continue;
        }
        const win::UINT id = win::GetMenuItemID(menu, i);
        if (id != 0 && id != static_cast<win::UINT>(-1)) ids.insert(static_cast<int>(id));
    }
}

char Mnemonic(const std::string& text)
{
    const std::size_t amp = text.find('&');
    return amp == std::string::npos || amp + 1 >= text.size() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(text[amp + 1])));
}

win::LRESULT FakeChildProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_COMMAND) Spy().commands.push_back(static_cast<int>(wParam & 0xFFFF));
    return win::DefMDIChildProc(hwnd, msg, wParam, lParam);
}

// Presses the key of an accelerator entry as a user would.
bool PressEntry(const win::ACCEL& entry)
{
    const bool ctrl = (entry.fVirt & win::FCONTROL) != 0;
    const bool shift = (entry.fVirt & win::FSHIFT) != 0;
    const bool alt = (entry.fVirt & win::FALT) != 0;
    if (entry.fVirt & win::FVIRTKEY) win::headless::PressKeyWithModifiers(entry.key, ctrl, shift, alt);
    else if (entry.key == '\t') win::headless::PressKey(win::VK_TAB);
    else if (entry.key < 27) win::headless::PressKeyWithModifiers('A' + entry.key - 1, true, false, alt);  // Ctrl+letter
    else if (entry.key == '.') win::headless::PressKeyWithModifiers(win::VK_OEM_PERIOD, false, false, alt);
    else return false;
    return true;
}

std::vector<win::ACCEL> Entries(int table)
{
    std::vector<win::ACCEL> entries(static_cast<std::size_t>(win::CopyAcceleratorTable(AcceleratorTable(table), nullptr, 0)));
    win::CopyAcceleratorTable(AcceleratorTable(table), entries.data(), static_cast<int>(entries.size()));
    return entries;
}

class FrameCommands : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        Start();
        SpyOnFrame(FrameWindow());
        // Whatever waits modally (a menu, a dialog) is left with Esc.
        win::headless::SetIdleHandler([this]() {
            if (++escapes_ > 200000) return false;
            if (win::IsMenuTracking()) menuSeen_ = true;
            win::headless::PressKey(win::VK_ESCAPE);
            return true;
        });
    }

    void TearDown() override
    {
        win::headless::SetIdleHandler({});
        StartedFrame::TearDown();
    }

    // An MDI child of the kind in front, standing for a window whose part is not in this build.
    win::HWND FakeChild(int kind)
    {
        win::WNDCLASS wc;
        wc.lpfnWndProc = FakeChildProc;
        wc.lpszClassName = "FakeDocumentChild";
        win::RegisterClass(&wc);
        win::MDICREATESTRUCT create;
        create.szClass = "FakeDocumentChild";
        create.szTitle = "child";
        create.cx = create.cy = 200;
        auto window = reinterpret_cast<win::HWND>(
            win::SendMessage(Frame().mdiClient, win::WM_MDICREATE, 0, reinterpret_cast<win::LPARAM>(&create)));
        NewWindowRecord(window, kind)->flags |= kRecordDocument;
        PumpFrameMessages();
        return window;
    }

    // Presses every key of the tables with the focus on the window; each key's command arrives
    // (at the frame, or at the Analysis Limits dialog) unless its menu item is greyed.
    int PressAll(std::initializer_list<int> tables, win::HWND focus)
    {
        int fired = 0;
        for (int table : tables) {
            for (const win::ACCEL& entry : Entries(table)) {
                win::SetFocus(focus);
                Spy().commands.clear();
                if (!PressEntry(entry)) continue;
                PumpFrameMessages();
                const win::UINT state = win::GetMenuState(Menus().main, entry.cmd, win::MF_BYCOMMAND);
                const bool greyed = state != static_cast<win::UINT>(-1) && (state & win::MF_GRAYED);
                if (!Spy().commands.empty()) ++fired;
                EXPECT_TRUE(!Spy().commands.empty() || greyed) << "table " << table << " command " << entry.cmd;
                // Ctrl+G put the text area into the pane, which would take the next keys: the
                // drawing comes back for them.
                if (entry.cmd == 17669 && !Spy().commands.empty()) {
                    win::SendMessage(Frame().frame, win::WM_COMMAND, 17669, 0);
                    PumpFrameMessages();
                }
            }
        }
        return fired;
    }

    void EnsureSchematic()
    {
        if (GetActiveChildRecord() == nullptr) {
            WindowRecord* record = NewDocumentWindow(kWindowSchematic);
            ASSERT_NE(record, nullptr);
            ShowRecordMaximized(record);
        }
        for (const auto& record : WindowRecords().records) record->modified = 0;
    }

    int escapes_ = 0;
    bool menuSeen_ = false;
};

TEST_F(FrameCommands, EveryMenuOpensByAltAndItsLetterAndByTheMouse)
{
    win::HMENU bar = win::GetMenu(FrameWindow());
    ASSERT_EQ(bar, Menus().main);
    int opened = 0;
    for (int i = 0; i < win::GetMenuItemCount(bar); ++i) {
        win::HMENU popup = win::GetSubMenu(bar, i);
        const std::string text = win::GetMenuString(bar, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        const char letter = Mnemonic(text);
        if (popup == nullptr || letter == '\0') continue;  // the maximised child's icon and buttons

        Spy().popups.clear();
        menuSeen_ = false;
        win::headless::PressKeyWithModifiers(letter, false, false, true);
        PumpFrameMessages();
        EXPECT_TRUE(menuSeen_) << text;
        EXPECT_NE(std::find(Spy().popups.begin(), Spy().popups.end(), popup), Spy().popups.end()) << text << " by Alt+" << letter;

        Spy().popups.clear();
        menuSeen_ = false;
        win::RECT item{};
        ASSERT_TRUE(win::GetMenuItemRect(FrameWindow(), bar, static_cast<win::UINT>(i), &item)) << text;
        win::headless::Click((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        PumpFrameMessages();
        EXPECT_TRUE(menuSeen_) << text;
        EXPECT_NE(std::find(Spy().popups.begin(), Spy().popups.end(), popup), Spy().popups.end()) << text << " by the mouse";
        ++opened;
    }
    EXPECT_EQ(opened, 9);  // File, Edit, Component, Windows, Options, Mode, View, Analysis, Help
}

TEST_F(FrameCommands, EveryMenuItemReachesItsHandlerWithoutTheNotAvailableWarning)
{
    std::set<int> ids;
    CollectItems(Menus().main, ids);
    for (int id = kFirstWindowMenu; id <= kLastWindowMenu; ++id) CollectItems(LoadedMenu(id), ids);
    ASSERT_GT(ids.size(), 200u);
    for (int id : ids) {
        EnsureSchematic();
        win::ClearMessageBoxLog();
        Spy().commands.clear();
        win::PostMessage(FrameWindow(), win::WM_COMMAND, static_cast<win::WPARAM>(id), 0);
        PumpFrameMessages();
        ASSERT_NE(Frame().frame, nullptr) << id;
        ASSERT_FALSE(Spy().commands.empty()) << id;
        EXPECT_EQ(Spy().commands.front(), id);
        EXPECT_FALSE(WarningShown()) << id;
    }
}

TEST_F(FrameCommands, EveryKeyOfTheSchematicTablesReachesTheFrame)
{
    // In a schematic's drawing pane with no analysis open: tables 505, 507, 504 and 500.
    WindowRecord* schematic = GetActiveChildRecord();
    ASSERT_NE(schematic, nullptr);
    EXPECT_GT(PressAll({505, 507, 504, 500}, schematic->window), 40);
}

TEST_F(FrameCommands, TheKeysOfTheOtherWindowKindsReachTheirTargets)
{
    // A text circuit window's text: tables 501 and 504, the run keys of 507 and, during an
    // analysis, of 512.
    WindowRecord* text = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(text, nullptr);
    PumpFrameMessages();
    ASSERT_NE(text->document->textAreaWindow, nullptr);
    EXPECT_GT(PressAll({501, 507}, text->document->textAreaWindow), 10);
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_GT(PressAll({512}, text->document->textAreaWindow), 3);

    // Analysis and Monte Carlo windows while an analysis is open.
    EXPECT_GT(PressAll({503, 506}, FakeChild(kWindowAnalysis)), 20);
    EXPECT_GT(PressAll({510}, FakeChild(kWindowMonteCarlo)), 1);

    // The Analysis Limits dialog: its own keys go to it, the run keys of 511 to the frame.
    win::HWND limits = FakeChild(kWindowLimitsDialog);
    Frame().limitsDialog = limits;
    EXPECT_EQ(PressAll({509}, limits), 4);
    EXPECT_GE(PressAll({511}, limits), 1);
    Frame().limitsDialog = nullptr;
    Analysis().analysisKind = kAnalysisNone;
}

TEST_F(FrameCommands, EveryShownToolButtonSendsItsCommand)
{
    const DockedBar& bar = DockedBars()[0];
    ASSERT_NE(bar.window, nullptr);
    int clicked = 0;
    for (win::HWND button = win::GetWindow(bar.window, win::GW_CHILD); button; button = win::GetWindow(button, win::GW_HWNDNEXT)) {
        if (win::GetClassName(button) != "Btn" || !win::IsWindowVisible(button)) continue;
        const int id = win::GetDlgCtrlID(button);
        const int row = FindToolButton(static_cast<std::uint32_t>(id));
        ASSERT_GE(row, 0) << id;
        if (ToolButtonRows()[static_cast<std::size_t>(row)].state != 0) continue;
        EnsureSchematic();
        win::ClearMessageBoxLog();
        Spy().commands.clear();
        win::RECT r{};
        win::GetWindowRect(button, &r);
        win::headless::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PumpFrameMessages();
        ASSERT_NE(Frame().frame, nullptr);
        EXPECT_NE(std::find(Spy().commands.begin(), Spy().commands.end(), static_cast<int>(ToolCommandOf(static_cast<std::uint32_t>(id)))),
                  Spy().commands.end()) << id;
        // The modeless calculator would stand over the bar.
        if (win::HWND calculator = CalculatorWindow()) {
            win::SendMessage(calculator, win::WM_CLOSE, 0, 0);
            PumpFrameMessages();
        }
        ++clicked;
        if (!IsLiveWindowRecord(FrameRecord()) || DockedBars()[0].window != bar.window) break;
    }
    EXPECT_GT(clicked, 10);
}

}  // namespace
}  // namespace kq5::testing
