// The dialog keyboard interface: IsDialogMessage (Tab and Shift+Tab, arrows within a group,
// Enter for the default button, Esc for Cancel, mnemonics) and the tab and group orders.
#include <algorithm>
#include <cctype>

#include "platform/control_internal.h"
#include "platform/dialog_internal.h"
#include "platform/message.h"
#include "platform/message_box.h"

namespace win {

namespace {

std::vector<HWND> ChildrenOf(HWND dialog) {
    auto* d = LiveWindow(dialog);
    if (!d) return {};
    return std::vector<HWND>(d->children.begin(), d->children.end());
}

bool Usable(HWND c) {
    DWORD style = StyleOf(c);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// Steps round the list from index `from` (excluded) in one direction and returns the first
// window pred accepts; null when none does.
template <typename Pred>
HWND StepRound(const std::vector<HWND>& list, int from, bool backward, Pred pred) {
    int n = static_cast<int>(list.size());
    for (int k = 1; k <= n; ++k) {
        int i = backward ? from - k : from + k;
        i = ((i % n) + n) % n;
        if (pred(list[static_cast<std::size_t>(i)])) return list[static_cast<std::size_t>(i)];
    }
    return nullptr;
}

int IndexOf(const std::vector<HWND>& list, HWND h) {
    auto it = std::find(list.begin(), list.end(), h);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void Beep() { MessageBeep(MB_OK); }

// The control whose text has the mnemonic, searched after the focus control and round.
HWND FindMnemonic(HWND dialog, HWND focusChild, int ch) {
    std::vector<HWND> list = ChildrenOf(dialog);
    if (list.empty()) return nullptr;
    int from = focusChild ? IndexOf(list, focusChild) : -1;
    int key = std::toupper(ch & 0xFF);
    return StepRound(list, from < 0 ? static_cast<int>(list.size()) - 1 : from, false, [&](HWND c) {
        if (!Usable(c)) return false;
        LRESULT code = DialogCodeOf(c);
        if (!(code & (DLGC_STATIC | DLGC_BUTTON))) return false;
        if ((code & DLGC_STATIC) && (StyleOf(c) & SS_NOPREFIX) && !(code & DLGC_BUTTON)) return false;
        return MnemonicOf(GetWindowText(c)) == key;
    });
}

// A mnemonic moves to its control: a label passes the focus to the control after it, a button
// is pressed.
void ActivateMnemonic(HWND dialog, HWND control) {
    LRESULT code = DialogCodeOf(control);
    if (code & DLGC_STATIC) {
        std::vector<HWND> list = ChildrenOf(dialog);
        HWND next = StepRound(list, IndexOf(list, control), false,
                              [](HWND c) { return Usable(c) && !(DialogCodeOf(c) & DLGC_STATIC); });
        if (next) SetDialogFocus(dialog, next, true);
        return;
    }
    if (code & DLGC_BUTTON) {
        SendMessage(control, BM_CLICK, 0, 0);
        return;
    }
    SetDialogFocus(dialog, control, true);
}

void PressButton(HWND dialog, int id, HWND control) {
    if (control && !IsWindowEnabled(control)) {
        Beep();
        return;
    }
    SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool KeyDown(HWND dialog, MSG* msg, HWND focusChild, LRESULT code) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (msg->wParam) {
    case VK_TAB: {
        if (code & DLGC_WANTTAB) return false;
        HWND next = GetNextDlgTabItem(dialog, focusChild, shift);
        if (next) SetDialogFocus(dialog, next, true);
        return true;
    }
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
        if (code & DLGC_WANTARROWS) return false;
        if (!focusChild) return true;
        HWND next = GetNextDlgGroupItem(dialog, focusChild, msg->wParam == VK_LEFT || msg->wParam == VK_UP);
        if (!next || next == focusChild) return true;
        SetDialogFocus(dialog, next, true);
        // Moving onto a radio button chooses it.
        if (LiveWindow(next) && (DialogCodeOf(next) & DLGC_RADIOBUTTON)) SendMessage(next, BM_CLICK, 0, 0);
        return true;
    }
    case VK_RETURN: {
        if (focusChild && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
            PressButton(dialog, GetDlgCtrlID(focusChild), focusChild);
            return true;
        }
        LRESULT def = SendMessage(dialog, DM_GETDEFID, 0, 0);
        int id = HIWORD(static_cast<UINT_PTR>(def)) == DC_HASDEFID ? LOWORD(static_cast<UINT_PTR>(def)) : IDOK;
        PressButton(dialog, id, GetDlgItem(dialog, id));
        return true;
    }
    case VK_ESCAPE:
        PressButton(dialog, IDCANCEL, GetDlgItem(dialog, IDCANCEL));
        return true;
    default:
        return false;
    }
}

}  // namespace

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> list = ChildrenOf(dialog);
    if (list.empty()) return nullptr;
    HWND child = DirectChildOf(dialog, control);
    int from = child ? IndexOf(list, child) : (previous ? 0 : static_cast<int>(list.size()) - 1);
    HWND found = StepRound(list, from, previous != FALSE, [](HWND c) { return Usable(c) && (StyleOf(c) & WS_TABSTOP); });
    return found ? found : child;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> list = ChildrenOf(dialog);
    HWND child = DirectChildOf(dialog, control);
    int at = child ? IndexOf(list, child) : -1;
    if (at < 0) return nullptr;
    int first = at;
    while (first > 0 && !(StyleOf(list[static_cast<std::size_t>(first)]) & WS_GROUP)) --first;
    int last = at + 1;
    while (last < static_cast<int>(list.size()) && !(StyleOf(list[static_cast<std::size_t>(last)]) & WS_GROUP)) ++last;
    std::vector<HWND> group(list.begin() + first, list.begin() + last);
    HWND found = StepRound(group, at - first, previous != FALSE, Usable);
    return found ? found : child;
}

BOOL IsDialogMessage(HWND dialog, MSG* msg) {
    if (!msg || !LiveWindow(dialog)) return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
    HWND focus = GetFocus();
    bool focusInside = focus && (focus == dialog || IsChild(dialog, focus));
    HWND focusChild = focusInside ? DirectChildOf(dialog, focus) : nullptr;
    LRESULT code = focusInside && focus != dialog ? DialogCodeOf(focus, msg) : 0;
    switch (msg->message) {
    case WM_KEYDOWN:
        // F1 asks the dialog for its help, whichever control has the focus.
        if (msg->wParam == VK_F1 && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_MENU) >= 0) {
            SendMessage(dialog, WM_HELP, 0, 0);
            return TRUE;
        }
        if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) break;
        if (KeyDown(dialog, msg, focusChild, code)) return TRUE;
        break;
    case WM_CHAR: {
        if (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) break;
        WPARAM ch = msg->wParam;
        if (ch == '\t' || ch == '\r' || ch == 0x1B) return TRUE;
        if (ch < 0x20) break;
        if (HWND target = FindMnemonic(dialog, focusChild, static_cast<int>(ch))) {
            ActivateMnemonic(dialog, target);
        } else {
            Beep();
        }
        return TRUE;
    }
    case WM_SYSCHAR:
        if (HWND target = FindMnemonic(dialog, focusChild, static_cast<int>(msg->wParam))) {
            ActivateMnemonic(dialog, target);
            return TRUE;
        }
        break;
    default:
        break;
    }
    TranslateMessage(msg);
    DispatchMessage(msg);
    return TRUE;
}

}  // namespace win
