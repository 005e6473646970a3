#pragma once
// The small application the dialog tests drive: a main window, the modal "Settings" dialog
// (template 9001) and the modeless "Notes" dialog (9002) of tests/platform/dialogs, run through
// the application's own message loop.
#include <string>
#include <utility>
#include <vector>

#include "control_test_support.h"
#include "platform/dialog.h"
#include "platform/message_box.h"

namespace win::testing {

struct SettingsValues {
    std::string name = "Bob";
    bool verbose = false;
    int mode = 103;  // radio 103..105
    int item = 0;    // list 106
    std::string itemText;
    int level = 0;  // combo 107
    int applied = 0;
};

class TestApp {
public:
    static TestApp*& Current() {
        static TestApp* app = nullptr;
        return app;
    }

    TestApp() { Current() = this; }
    ~TestApp() { Current() = nullptr; }

    void Start() {
        WNDCLASS wc;
        wc.lpfnWndProc = MainProc;
        wc.lpszClassName = "C1TestApp";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));
        RegisterClass(&wc);
        main = CreateWindowEx(0, "C1TestApp", "Test application", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 700, 520,
                              nullptr, nullptr, nullptr, nullptr);
        headless::RunUntilIdle();
    }

    INT_PTR RunSettings() { return DialogBoxParam(nullptr, 9001, main, SettingsProc, 0); }

    HWND OpenNotes() {
        notes = CreateDialogParam(nullptr, 9002, main, NotesProc, 0);
        return notes;
    }

    // The application's loop, for as long as there is something to do; the modeless dialog gets
    // its keys first.
    void Pump() {
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                return;
            }
            if (notes && IsWindow(notes) && IsDialogMessage(notes, &m)) continue;
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
    }

    HWND main = nullptr;
    HWND settings = nullptr;  // while the Settings dialog runs
    HWND notes = nullptr;
    SettingsValues values;
    std::vector<std::pair<int, WORD>> commands;       // of the Settings dialog
    std::vector<std::pair<int, WORD>> notesCommands;  // of the Notes dialog
    bool ownerEnabledDuringDialog = true;

private:
    static LRESULT MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }

    static INT_PTR SettingsProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
        TestApp& app = *Current();
        SettingsValues& v = app.values;
        switch (msg) {
        case WM_INITDIALOG:
            app.settings = dlg;
            SetDlgItemText(dlg, 101, v.name.c_str());
            CheckDlgButton(dlg, 102, v.verbose ? BST_CHECKED : BST_UNCHECKED);
            CheckRadioButton(dlg, 103, 105, v.mode);
            for (const char* s : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta"})
                SendDlgItemMessage(dlg, 106, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
            SendDlgItemMessage(dlg, 106, LB_SETCURSEL, static_cast<WPARAM>(v.item), 0);
            for (const char* s : {"Low", "Medium", "High"})
                SendDlgItemMessage(dlg, 107, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
            SendDlgItemMessage(dlg, 107, CB_SETCURSEL, static_cast<WPARAM>(v.level), 0);
            return TRUE;
        case WM_COMMAND:
            app.commands.push_back({LOWORD(wParam), HIWORD(wParam)});
            if (LOWORD(wParam) == IDOK) app.ownerEnabledDuringDialog = IsWindowEnabled(app.main) != FALSE;
            switch (LOWORD(wParam)) {
            case IDOK: {
                v.name = GetDlgItemText(dlg, 101);
                v.verbose = IsDlgButtonChecked(dlg, 102) == BST_CHECKED;
                for (int id = 103; id <= 105; ++id)
                    if (IsDlgButtonChecked(dlg, id)) v.mode = id;
                v.item = static_cast<int>(SendDlgItemMessage(dlg, 106, LB_GETCURSEL, 0, 0));
                v.itemText = v.item >= 0 ? std::string(static_cast<std::size_t>(SendDlgItemMessage(dlg, 106, LB_GETTEXTLEN, v.item, 0)), ' ') : "";
                if (v.item >= 0) SendDlgItemMessage(dlg, 106, LB_GETTEXT, v.item, reinterpret_cast<LPARAM>(v.itemText.data()));
                v.level = static_cast<int>(SendDlgItemMessage(dlg, 107, CB_GETCURSEL, 0, 0));
                EndDialog(dlg, IDOK);
                return TRUE;
            }
            case IDCANCEL:
                EndDialog(dlg, IDCANCEL);
                return TRUE;
            case 108:
                ++v.applied;
                return TRUE;
            default:
                return FALSE;
            }
        case WM_DESTROY:
            app.settings = nullptr;
            return FALSE;
        default:
            return FALSE;
        }
    }

    // Like the program's calculator: Esc (IDCANCEL, with no Cancel button) closes it.
    static INT_PTR NotesProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
        TestApp& app = *Current();
        switch (msg) {
        case WM_INITDIALOG:
            for (const char* s : {"red", "green", "blue"})
                SendDlgItemMessage(dlg, 202, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
            return TRUE;
        case WM_COMMAND:
            app.notesCommands.push_back({LOWORD(wParam), HIWORD(wParam)});
            if (LOWORD(wParam) == IDCANCEL) DestroyWindow(dlg);
            return TRUE;
        case WM_DESTROY:
            app.notes = nullptr;
            return FALSE;
        default:
            return FALSE;
        }
    }
};

}  // namespace win::testing
