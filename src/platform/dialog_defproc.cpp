// The standard dialog procedure: the program's DLGPROC first, then the dialog manager's own
// handling of focus memory, the default push button, background, close and the DM_* messages;
// and the standard dialog class.
#include <algorithm>

#include "platform/control_internal.h"
#include "platform/cursor.h"
#include "platform/dialog_internal.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"

namespace win {

namespace {

// Messages whose answer the DLGPROC returns itself rather than through DWLP_MSGRESULT.
bool AnswersDirectly(UINT msg) {
    switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

void SaveFocus(HWND dialog, DialogData& d) {
    HWND focus = GetFocus();
    if (focus && focus != dialog && IsChild(dialog, focus)) {
        d.savedFocus = focus;
        d.selectSavedFocus = false;
    }
}

// Gives the focus back to the control that had it, or to the first tab stop.
bool RestoreFocus(HWND dialog, DialogData& d) {
    HWND target = (d.savedFocus && IsChild(dialog, d.savedFocus) && IsWindowEnabled(d.savedFocus) &&
                   IsWindowVisible(d.savedFocus))
                      ? d.savedFocus
                      : GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (!target) return false;
    bool select = target == d.savedFocus && d.selectSavedFocus;
    d.selectSavedFocus = false;
    SetDialogFocus(dialog, target, select);
    return true;
}

LRESULT EraseBackground(HWND hwnd, HDC dc) {
    auto brush = reinterpret_cast<HBRUSH>(SendMessage(hwnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(hwnd)));
    if (!brush || !IsValidGdiObject(brush)) brush = GetSysColorBrush(COLOR_BTNFACE);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, brush);
    return 1;
}

void SetDefaultId(HWND hwnd, DialogData& d, int id) {
    HWND focusChild = DirectChildOf(hwnd, GetFocus());
    bool focusOnPush = focusChild && (DialogCodeOf(focusChild) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
    if (HWND old = d.defId ? GetDlgItem(hwnd, d.defId) : nullptr;
        old && old != focusChild && (DialogCodeOf(old) & DLGC_DEFPUSHBUTTON))
        SendMessage(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    d.defId = id;
    HWND now = GetDlgItem(hwnd, id);
    if (now && !focusOnPush && (DialogCodeOf(now) & DLGC_UNDEFPUSHBUTTON))
        SendMessage(now, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// Keeps a dialog whole on the work area.
void Reposition(HWND hwnd) {
    RECT r, work = GetWorkArea();
    GetWindowRect(hwnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = std::clamp<int>(r.left, work.left, std::max<int>(work.left, work.right - w));
    int y = std::clamp<int>(r.top, work.top, std::max<int>(work.top, work.bottom - h));
    if (x != r.left || y != r.top) SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT DefaultHandling(HWND hwnd, DialogData& d, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return EraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_SETFONT:
        d.font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(d.font);
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            SaveFocus(hwnd, d);
            return 0;
        }
        if (!RestoreFocus(hwnd, d)) SetFocus(hwnd);
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(hwnd, d);
        return 0;
    case WM_SHOWWINDOW:
        if (!wParam) SaveFocus(hwnd, d);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_CLOSE: {
        // Closing a dialog is its Cancel, unless Cancel is greyed.
        HWND cancel = GetDlgItem(hwnd, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) {
            MessageBeep(MB_OK);
            return 0;
        }
        SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_NCDESTROY:
        if (d.ownedFont) {
            DeleteObject(d.ownedFont);
            d.ownedFont = nullptr;
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case DM_GETDEFID:
        return d.defId ? MAKELONG(static_cast<WORD>(d.defId), DC_HASDEFID) : 0;
    case DM_SETDEFID:
        SetDefaultId(hwnd, d, static_cast<int>(wParam));
        return TRUE;
    case DM_REPOSITION:
        Reposition(hwnd);
        return 0;
    case WM_NEXTDLGCTL: {
        HWND target = LOWORD(static_cast<UINT_PTR>(lParam))
                          ? reinterpret_cast<HWND>(wParam)
                          : GetNextDlgTabItem(hwnd, DirectChildOf(hwnd, GetFocus()), wParam != 0);
        if (target) SetDialogFocus(hwnd, target, true);
        return 0;
    }
    case WM_INITDIALOG:
        return FALSE;
    case WM_HELP: {
        // F1 in a dialog that leaves it to the dialog manager presses its Help button.
        HWND help = GetDlgItem(hwnd, IDHELP);
        if (help && IsWindowEnabled(help) && IsWindowVisible(help))
            SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDHELP, BN_CLICKED), reinterpret_cast<LPARAM>(help));
        return TRUE;
    }
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

DialogData* DialogDataOf(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w ? dynamic_cast<DialogData*>(w->extension.get()) : nullptr;
}

HWND DialogOf(HWND hwnd) {
    for (auto* w = LiveWindow(hwnd); w && w != DesktopObject(); w = w->parent) {
        if (dynamic_cast<DialogData*>(w->extension.get())) return w;
        if (!(w->style & WS_CHILD)) break;
    }
    return nullptr;
}

HWND DirectChildOf(HWND dialog, HWND hwnd) {
    auto* d = LiveWindow(dialog);
    for (auto* w = LiveWindow(hwnd); w && d; w = w->parent)
        if (w->parent == d) return w;
    return nullptr;
}

LRESULT DialogCodeOf(HWND control, const MSG* msg) {
    if (!LiveWindow(control)) return 0;
    return SendMessage(control, WM_GETDLGCODE, msg ? msg->wParam : 0, reinterpret_cast<LPARAM>(msg));
}

void UpdateDefaultButton(HWND dialog, HWND focusControl) {
    auto* dw = LiveWindow(dialog);
    auto* d = DialogDataOf(dialog);
    if (!dw || !d) return;
    HWND focusChild = DirectChildOf(dialog, focusControl);
    bool focusOnPush = focusChild && (DialogCodeOf(focusChild) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
    HWND target = focusOnPush ? focusChild : (d->defId ? GetDlgItem(dialog, d->defId) : nullptr);
    std::vector<HWND> children(dw->children.begin(), dw->children.end());
    for (HWND c : children)
        if (c != target && LiveWindow(c) && (DialogCodeOf(c) & DLGC_DEFPUSHBUTTON))
            SendMessage(c, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (target && LiveWindow(target) && (DialogCodeOf(target) & DLGC_UNDEFPUSHBUTTON))
        SendMessage(target, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void SetDialogFocus(HWND dialog, HWND control, bool selectAll) {
    if (!LiveWindow(control)) return;
    LRESULT code = DialogCodeOf(control);
    SetFocus(control);
    if (!LiveWindow(control)) return;
    if (selectAll && (code & DLGC_HASSETSEL)) SendMessage(control, EM_SETSEL, 0, -1);
    UpdateDefaultButton(dialog, control);
}

void NoteDialogFocus(HWND control) {
    HWND dialog = DialogOf(GetParent(control));
    if (!dialog) return;
    if (auto* d = DialogDataOf(dialog)) {
        d->savedFocus = control;
        d->selectSavedFocus = false;
    }
    UpdateDefaultButton(dialog, control);
}

LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* w = LiveWindow(hwnd);
    if (!w) return 0;
    // The dialog's record is made with its window; a window that carries another module's data
    // is left to the default window procedure.
    if (!w->extension) w->extension = std::make_unique<DialogData>();
    auto* d = dynamic_cast<DialogData*>(w->extension.get());
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    if (DLGPROC proc = d->proc) {
        SetWindowLongPtr(hwnd, DWLP_MSGRESULT, 0);
        INT_PTR r = proc(hwnd, msg, wParam, lParam);
        if (!LiveWindow(hwnd)) return r;
        if (r) return AnswersDirectly(msg) ? r : GetWindowLongPtr(hwnd, DWLP_MSGRESULT);
        d = DialogDataOf(hwnd);
        if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    return DefaultHandling(hwnd, *d, msg, wParam, lParam);
}

void RegisterDialogClass() {
    ResetDialogTemplatesForTests();
    WNDCLASS wc;
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = DefDlgProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kDialogClass;
    RegisterSystemClass(wc);
}

}  // namespace win
