#pragma once
// The settings dialogs' tests: a frame window over a fresh headless platform, the colour table
// made as start-up makes it, every setting at its default, and screens saved into build/screens/.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "screen_capture_support.h"
#include "../platform/control_test_support.h"
#include "ui/app_state.h"
#include "ui/color_table.h"
#include "app/global_settings.h"
#include "app/info_dialogs.h"
#include "ui/preference_values.h"
#include "document/preferences.h"
#include "document/title_block.h"
#include "ui/user_names.h"
#include "ui/window_record.h"
#include "platform/common_dialogs.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/winhelp.h"

namespace kq5::testing {

class SettingsDialogTest : public win::testing::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        ResetAll();
        frame_ = TopLevel(0, 0, 800, 600);
        SetFrameRecord(NewWindowRecord(frame_, kWindowFrame));
        CreateAppPalette();
        InitColorTable();
        SetPreferenceDefaults();
        FillOptionDefaults(nullptr, kFillReset);
        ApplyOptionTexts();
    }
    void TearDown() override
    {
        ResetAll();
        PlatformTest::TearDown();
    }
    static void ResetAll()
    {
        ResetCalculatorForTests();
        ResetAppStateForTests();
        ResetColorTableForTests();
        ResetPreferenceValuesForTests();
        ResetPreferenceGroupsForTests();
        ResetGlobalSettingsForTests();
        ResetGlobalOptionsForTests();
        ResetTitleBlockForTests();
        ResetUserAndCompanyNamesForTests();
        win::SetCommonDialogsShownHeadless(false);
        win::ResetCommonDialogsForTests();
        win::ClearMessageBoxLog();
        win::ResetHelpStateForTests();
    }

    // The dialog in front while a modal loop waits.
    static win::HWND Dialog() { return win::GetActiveWindow(); }
    static win::HWND Item(int id) { return win::GetDlgItem(Dialog(), id); }
    static void Click(int id) { win::testing::ClickCenter(Item(id)); }
    static void Type(int id, const std::string& text)
    {
        win::SetFocus(Item(id));
        win::SendMessage(Item(id), win::EM_SETSEL, 0, -1);
        win::headless::TypeText(text);
    }
    static void Press(int vk) { win::headless::PressKey(vk); }

    win::HWND frame_ = nullptr;
};

}  // namespace kq5::testing
