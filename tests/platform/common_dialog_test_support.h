#pragma once
// The common dialogs' tests: an owner window over a fresh headless platform, a scratch folder,
// and helpers that read a dialog's lists the way a user would see them.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "control_test_support.h"
#include "platform/common_dialogs.h"
#include "platform/dialog.h"
#include "platform/message_box.h"

namespace win::testing {

class CommonDialogTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ResetCommonDialogsForTests();
        ClearMessageBoxLog();
        owner_ = TopLevel(10, 10, 600, 400);
        dir_ = std::filesystem::temp_directory_path() / ("kq5_comdlg_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        SetCommonDialogsShownHeadless(false);
        ResetCommonDialogsForTests();
        ClearMessageBoxLog();
        PlatformTest::TearDown();
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void Touch(const std::string& name) const {
        std::filesystem::create_directories((dir_ / name).parent_path());
        std::ofstream(dir_ / name) << "x";
    }

    static std::vector<std::string> Items(HWND dialog, int id, bool combo = false) {
        HWND list = GetDlgItem(dialog, id);
        std::vector<std::string> out;
        int n = static_cast<int>(SendMessage(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            LRESULT len = SendMessage(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
            std::string text(static_cast<std::size_t>(len) + 1, '\0');
            SendMessage(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(len));
            out.push_back(text);
        }
        return out;
    }

    // Replaces a field's text as a user does: select it all and type.
    static void TypeInto(HWND dialog, int id, const std::string& text) {
        SetFocus(GetDlgItem(dialog, id));
        SendMessage(GetFocus(), EM_SETSEL, 0, -1);  // a combo box's field has the focus
        headless::TypeText(text);
    }

    // A click in the middle of a list box's item.
    static void ClickListItem(HWND dialog, int id, int index) {
        HWND list = GetDlgItem(dialog, id);
        RECT r{};
        SendMessage(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        ClickClient(list, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    static std::string LastBoxText() { return MessageBoxLog().empty() ? std::string() : MessageBoxLog().back().text; }

    HWND owner_ = nullptr;
    std::filesystem::path dir_;
};

}  // namespace win::testing
