// Settings survive a restart: Preferences, the palette, Global Settings, the tool bar's buttons
// and place, and the recent files, changed through the dialogs and commands; the frame closed
// through the quit question and started again: all back.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>

#include "ui/color_table.h"
#include "app/command_routing.h"
#include "app/frame_window.h"
#include "app/global_settings.h"
#include "ui/preference_values.h"
#include "ui/program_settings.h"
#include "ui/tool_button_table.h"
#include "ui/tool_buttons.h"
#include "document/document_services.h"
#include "frame_test_support.h"
#include "platform/common_dialogs.h"
#include "platform/common_dialogs_color.h"
#include "platform/common_dialogs_file.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_objects.h"

namespace kq5::testing {
namespace {

// Drives each modal dialog by its caption when it waits for input; Esc for any other.
class DialogScript {
public:
    void On(const std::string& caption, std::function<void(win::HWND)> step) { steps_[caption] = std::move(step); }
    void Install()
    {
        win::headless::SetIdleHandler([this]() {
            if (++calls_ > 1000) return false;
            win::HWND active = win::GetActiveWindow();
            auto found = steps_.find(active ? win::GetWindowText(active) : std::string());
            if (found == steps_.end()) {
                win::headless::PressKey(win::VK_ESCAPE);
                return true;
            }
            auto step = std::move(found->second);
            steps_.erase(found);
            step(active);
            ++done_;
            return true;
        });
    }
    int Done() const { return done_; }

private:
    std::map<std::string, std::function<void(win::HWND)>> steps_;
    int calls_ = 0;
    int done_ = 0;
};

void Click(win::HWND dialog, int id)
{
    win::SendMessage(dialog, win::WM_COMMAND, static_cast<win::WPARAM>(id), reinterpret_cast<win::LPARAM>(win::GetDlgItem(dialog, id)));
}

void SelectListText(win::HWND dialog, int listId, const std::string& text)
{
    win::HWND list = win::GetDlgItem(dialog, listId);
    const auto index = win::SendMessage(list, win::LB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1), reinterpret_cast<win::LPARAM>(text.c_str()));
    ASSERT_GE(index, 0) << text;
    win::SendMessage(list, win::LB_SETCURSEL, static_cast<win::WPARAM>(index), 0);
    win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(static_cast<win::WORD>(listId), win::LBN_SELCHANGE),
                     reinterpret_cast<win::LPARAM>(list));
}

struct Snapshot {
    std::uint32_t options = 0;
    std::string tagFormat;
    win::COLORREF palette20 = 0;
    std::string firstOption;
    std::vector<int> onSchematic;
    int barPos = 0;
    std::string recent;
};

Snapshot Take()
{
    Snapshot s;
    s.options = Settings().operationalOptions;
    s.tagFormat = PreferenceSettings().tagFormat;
    s.palette20 = PaletteColor(20, true);
    s.firstOption = GlobalSettings().optionTexts[0];
    for (const ToolButtonRow& row : ToolButtonRows()) s.onSchematic.push_back(row.onSchematic);
    s.barPos = DockedBars()[0].pos;
    s.recent = DocumentServices().recentFiles[0];
    return s;
}

class SettingsRestart : public StartedFrame {};

TEST_F(SettingsRestart, WhatTheDialogsChangedIsBackAfterTheNextStart)
{
    Start();
    const Snapshot before = Take();
    const std::string circuit = (dir_ / "Opened Circuit.ckt").string();
    std::ofstream(circuit) << "Opened\nR1 1 0 1k\n.END\n";

    DialogScript script;
    script.On("Preferences", [](win::HWND dialog) {
        win::CheckDlgButton(dialog, 19700, win::IsDlgButtonChecked(dialog, 19700) ? win::BST_UNCHECKED : win::BST_CHECKED);  // Sound
        win::SetDlgItemText(dialog, 19733, "7");  // analysis plot tags
        SelectListText(dialog, 19720, "Palettes");
        win::ScriptColorDialogAnswer(win::RGB(10, 20, 30));
        Click(dialog, 19800 + 20);
        Click(dialog, win::IDOK);
    });
    script.On("Global Settings", [](win::HWND dialog) {
        win::SetDlgItemText(dialog, 200, "2p");  // ABSTOL
        Click(dialog, win::IDOK);
    });
    script.On("Tool Bar", [](win::HWND dialog) {
        // A button of the Edit group (the File group's choice is not kept in the file).
        win::HWND groups = win::GetDlgItem(dialog, 100);
        win::SendMessage(groups, win::LB_SETCURSEL, 1, 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(100, win::LBN_SELCHANGE), reinterpret_cast<win::LPARAM>(groups));
        win::HWND buttons = win::GetDlgItem(dialog, 101);
        win::SendMessage(buttons, win::LB_SETCURSEL, 0, 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(101, win::LBN_SELCHANGE), reinterpret_cast<win::LPARAM>(buttons));
        win::CheckDlgButton(dialog, 102, win::IsDlgButtonChecked(dialog, 102) ? win::BST_UNCHECKED : win::BST_CHECKED);
        Click(dialog, 102);
        Click(dialog, win::IDOK);
    });
    script.Install();
    win::headless::PressKeyWithModifiers('P', true, true);  // Preferences
    PumpFrameMessages();
    win::headless::PressKeyWithModifiers('G', true, true);  // Global Settings
    PumpFrameMessages();
    RouteCommand(FrameWindow(), 10185, 0);                   // Tool Bar
    PumpFrameMessages();
    EXPECT_EQ(script.Done(), 3);
    win::ScriptFileDialogAnswer(circuit);
    win::headless::PressKeyWithModifiers('O', true, false);  // Open
    PumpFrameMessages();
    DockedBars()[0].pos = kBarLeft;
    RelayoutFrame();

    const Snapshot changed = Take();
    EXPECT_NE(changed.options, before.options);
    EXPECT_EQ(changed.tagFormat, "7");
    EXPECT_EQ(changed.palette20, win::RGB(10, 20, 30));
    EXPECT_EQ(changed.firstOption, "2p");
    EXPECT_NE(changed.onSchematic, before.onSchematic);
    EXPECT_EQ(changed.recent, circuit);

    Settings().operationalOptions |= kOptionQuitWarning;
    const Snapshot expected = Take();
    win::headless::SetIdleHandler({});
    win::PushMessageBoxAnswer(win::IDYES);
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    ASSERT_EQ(Frame().frame, nullptr);
    ASSERT_TRUE(std::filesystem::exists(dir_ / "kq5.dat"));

    // A new program: nothing kept in memory.
    UnregisterWindowClasses();
    win::ResetPlatformForTests(1024, 768);
    ResetFrameTestState();
    DocumentServices().recentFiles = {};
    Start();
    const Snapshot after = Take();
    EXPECT_EQ(after.options, expected.options);
    EXPECT_EQ(after.tagFormat, expected.tagFormat);
    EXPECT_EQ(after.palette20, expected.palette20);
    EXPECT_EQ(after.firstOption, expected.firstOption);
    EXPECT_EQ(after.onSchematic, expected.onSchematic);
    EXPECT_EQ(after.barPos, kBarLeft);
    EXPECT_EQ(after.recent, expected.recent);
    EXPECT_TRUE(win::IsWindowVisible(DockedBars()[0].window));
}

}  // namespace
}  // namespace kq5::testing
