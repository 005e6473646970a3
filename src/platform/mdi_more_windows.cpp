// "More Windows...": with more children than the window menu lists, a dialog with all of them.
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/mdi_internal.h"
#include "platform/message.h"
#include "platform/message_box.h"

namespace win {

namespace {

constexpr int kListId = 100;

INT_PTR MoreWindowsProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        auto* d = reinterpret_cast<MdiClientData*>(lParam);
        for (HWND child : d->children) {
            auto* w = LiveWindow(child);
            if (!w || !(w->style & WS_VISIBLE)) continue;
            auto index = SendDlgItemMessage(dialog, kListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w->text.c_str()));
            SendDlgItemMessage(dialog, kListId, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(child));
            if (child == d->active) SendDlgItemMessage(dialog, kListId, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
        return TRUE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK || (id == kListId && HIWORD(wParam) == LBN_DBLCLK)) {
            LRESULT sel = SendDlgItemMessage(dialog, kListId, LB_GETCURSEL, 0, 0);
            EndDialog(dialog, sel == LB_ERR ? 0 : SendDlgItemMessage(dialog, kListId, LB_GETITEMDATA, static_cast<WPARAM>(sel), 0));
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

DialogTemplate MoreWindowsTemplate() {
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.cx = 260;
    t.cy = 210;
    t.caption = "Select Window";
    t.pixelUnits = true;
    t.items.push_back({"LISTBOX", "", kListId, LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, 0, 8, 8,
                       238, 140});
    t.items.push_back({"BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 86, 156, 76, 24});
    t.items.push_back({"BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 170, 156, 76, 24});
    return t;
}

}  // namespace

HWND ChooseFromMoreWindows(MdiClientData* d) {
    HWND client = d->client;
    INT_PTR r = DialogBoxIndirectParam(nullptr, MoreWindowsTemplate(), d->frame, MoreWindowsProc,
                                       reinterpret_cast<LPARAM>(d));
    auto chosen = reinterpret_cast<HWND>(r);
    MdiClientData* live = MdiData(client);
    if (r <= 0 || !live || !IsWindow(chosen) || MdiDataOfChild(chosen) != live) return nullptr;
    return chosen;
}

}  // namespace win
