// Message boxes: scripted answers, and the real box built as a dialog.
#include "platform/message_box.h"

#include <algorithm>
#include <deque>

#include "platform/backend.h"
#include "platform/control_internal.h"
#include "platform/cursor.h"
#include "platform/dialog_internal.h"
#include "platform/message.h"

namespace win {

namespace {

struct MessageBoxState {
    std::deque<int> answers;
    std::vector<MessageBoxEntry> boxes;
    std::vector<UINT> beeps;
    bool shownHeadless = false;
    std::vector<HWND> open;  // the boxes shown now, innermost last
};

MessageBoxState& Boxes() {
    static MessageBoxState state;
    return state;
}

// The box's geometry, in pixels.
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kIconId = 20;
constexpr int kTextId = 0xFFFF;
constexpr int kPointSize = 8;
inline constexpr const char* kFace = "MS Sans Serif";

const char* ButtonText(int id) {
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "&Abort";
    case IDRETRY: return "&Retry";
    case IDIGNORE: return "&Ignore";
    case IDYES: return "&Yes";
    default: return "&No";
    }
}

int IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return IDI_HAND;
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONEXCLAMATION: return IDI_EXCLAMATION;
    case MB_ICONASTERISK: return IDI_ASTERISK;
    default: return 0;
    }
}

bool Has(const std::vector<int>& buttons, int id) { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); }

// What closing the box (its close box, Alt+F4, WM_CLOSE) answers: Cancel when it has one, else
// the answer that stops and changes nothing.
int CloseAnswer(UINT type) {
    std::vector<int> buttons = MessageBoxButtons(type);
    for (int id : {IDCANCEL, IDNO, IDABORT, IDOK})
        if (Has(buttons, id)) return id;
    return buttons.empty() ? IDCANCEL : buttons.front();
}

struct BoxInfo {
    UINT type = 0;
};

INT_PTR BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtr(hwnd, DWLP_USER, lParam);
        auto* info = reinterpret_cast<const BoxInfo*>(lParam);
        if (int icon = IconOf(info->type))
            SendDlgItemMessage(hwnd, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(LoadIcon(nullptr, icon)), 0);
        if (HWND def = GetDlgItem(hwnd, MessageBoxDefaultButton(info->type))) {
            if (auto* d = DialogDataOf(hwnd)) {
                d->savedFocus = def;
                d->selectSavedFocus = false;
            }
        }
        return FALSE;
    }
    case WM_COMMAND: {
        auto* info = reinterpret_cast<const BoxInfo*>(GetWindowLongPtr(hwnd, DWLP_USER));
        if (!info) return TRUE;
        std::vector<int> buttons = MessageBoxButtons(info->type);
        int id = LOWORD(wParam);
        if (Has(buttons, id))
            EndDialog(hwnd, id);
        else if (id == IDCANCEL && Has(buttons, IDOK) && buttons.size() == 1)
            EndDialog(hwnd, IDOK);  // Esc answers a box that only says OK
        return TRUE;
    }
    case WM_CLOSE: {
        auto* info = reinterpret_cast<const BoxInfo*>(GetWindowLongPtr(hwnd, DWLP_USER));
        EndDialog(hwnd, info ? CloseAnswer(info->type) : IDCANCEL);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

DialogTemplate BoxTemplate(const std::string& text, const std::string& caption, UINT type) {
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
    if (type & (MB_SYSTEMMODAL | MB_TOPMOST)) t.exStyle |= WS_EX_TOPMOST;
    t.caption = caption;
    t.pointSize = kPointSize;
    t.faceName = kFace;
    t.pixelUnits = true;

    LOGFONT lf;
    lf.lfHeight = -MulDiv(kPointSize, 96, 72);
    lf.lfFaceName = kFace;
    HFONT font = CreateFontIndirect(&lf);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    int maxWidth = std::max(200, GetSystemMetrics(SM_CXSCREEN) * 5 / 8);
    RECT textRect{0, 0, maxWidth, 0};
    DrawText(dc, text, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SIZE captionSize = GetTextExtent(dc, caption);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);

    bool icon = IconOf(type) != 0;
    int textW = textRect.right - textRect.left, textH = std::max<int>(textRect.bottom - textRect.top, 1);
    int textX = kMargin + (icon ? kIconSize + kMargin : 0);
    int contentH = std::max(textH, icon ? kIconSize : 0);
    int textY = kMargin + (contentH - textH) / 2;
    std::vector<int> buttons = MessageBoxButtons(type);
    int n = static_cast<int>(buttons.size());
    int buttonsW = n * kButtonWidth + (n - 1) * kButtonGap;
    int width = std::max({textX + textW + kMargin, buttonsW + 2 * kMargin, static_cast<int>(captionSize.cx) + 80});
    int buttonY = kMargin + contentH + kMargin + kButtonGap;
    t.cx = width;
    t.cy = buttonY + kButtonHeight + kMargin;

    if (icon) t.items.push_back({kStaticClass, "", kIconId, WS_VISIBLE | SS_ICON, 0, kMargin, kMargin + (contentH - kIconSize) / 2, kIconSize, kIconSize});
    t.items.push_back({kStaticClass, text, kTextId, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, textX, textY, textW, textH});
    int defId = MessageBoxDefaultButton(type);
    int x = (width - buttonsW) / 2;
    for (int i = 0; i < n; ++i) {
        DWORD style = WS_VISIBLE | WS_TABSTOP | (buttons[i] == defId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (i == 0 ? WS_GROUP : 0);
        t.items.push_back({kButtonClass, ButtonText(buttons[i]), buttons[i], style, 0, x, buttonY, kButtonWidth, kButtonHeight});
        x += kButtonWidth + kButtonGap;
    }
    return t;
}

// Without an owner, a task-modal or system-modal box holds off every other window of the program.
std::vector<HWND> DisableOtherWindows(UINT type, HWND owner) {
    std::vector<HWND> disabled;
    if (owner || !(type & (MB_TASKMODAL | MB_SYSTEMMODAL))) return disabled;
    EnumWindows(
        [](HWND w, LPARAM list) {
            if (IsWindowVisible(w) && IsWindowEnabled(w)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&disabled));
    for (HWND w : disabled) EnableWindow(w, FALSE);
    return disabled;
}

// A box whose owner is held off by a modal dialog belongs to that dialog: the box must hold the
// dialog off in turn, or a click on the dialog (its OK once more) stacks a second box behind it
// and the dialog no longer closes.
HWND BoxOwner(HWND owner) {
    HWND top = owner ? GetAncestorTopLevel(owner) : nullptr;
    if (!top || IsWindowEnabled(top)) return owner;
    HWND active = GetActiveWindow();
    if (active && active != top && IsWindowVisible(active) && IsWindowEnabled(active)) return active;
    return owner;
}

int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    owner = BoxOwner(owner);
    DialogTemplate t = BoxTemplate(text, caption, type);
    BoxInfo info{type};
    std::vector<HWND> disabled = DisableOtherWindows(type, owner);
    auto starved = [type](HWND box) { EndDialog(box, MessageBoxDefaultButton(type)); };
    // The box's window is known once its dialog exists; the procedure records it.
    struct Tracker {
        static INT_PTR Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == WM_INITDIALOG) Boxes().open.push_back(hwnd);
            if (msg == WM_NCDESTROY || msg == WM_DESTROY) {
                auto& open = Boxes().open;
                open.erase(std::remove(open.begin(), open.end(), hwnd), open.end());
            }
            return BoxProc(hwnd, msg, wParam, lParam);
        }
    };
    INT_PTR result = RunModalDialog(GetModuleHandle(nullptr), t, owner, Tracker::Proc, reinterpret_cast<LPARAM>(&info), starved);
    for (HWND w : disabled)
        if (LiveWindow(w)) EnableWindow(w, TRUE);
    return result < 0 ? MessageBoxDefaultButton(type) : static_cast<int>(result);
}

bool ShowsBoxes() {
    return CurrentBackendKind() == BackendKind::Sdl || Boxes().shownHeadless;
}

}  // namespace

std::vector<int> MessageBoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK: return {IDOK};
        case MB_OKCANCEL: return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO: return {IDYES, IDNO};
        case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
        default: return {};
    }
}

int MessageBoxDefaultButton(UINT type) {
    const std::vector<int> buttons = MessageBoxButtons(type);
    if (buttons.empty()) return 0;
    const std::size_t index = (type & MB_DEFMASK) >> 8;
    // A default beyond the last button falls back to the first, as the classic box does.
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    MessageBoxState& state = Boxes();
    MessageBoxEntry entry;
    entry.owner = owner;
    entry.caption = caption ? caption : "Error";
    entry.text = text ? text : "";
    entry.type = type;
    if (MessageBoxButtons(type).empty()) {
        entry.answer = 0;
    } else if (!state.answers.empty()) {
        entry.answer = state.answers.front();
        state.answers.pop_front();
    } else if (ShowsBoxes()) {
        entry.answer = ShowBox(LiveWindow(owner) ? owner : nullptr, entry.text, entry.caption, type);
    } else {
        entry.answer = MessageBoxDefaultButton(type);
    }
    Boxes().boxes.push_back(entry);
    return entry.answer;
}

BOOL MessageBeep(UINT type) {
    Boxes().beeps.push_back(type);
    return TRUE;
}

void PushMessageBoxAnswer(int answer) { Boxes().answers.push_back(answer); }

const std::vector<MessageBoxEntry>& MessageBoxLog() { return Boxes().boxes; }

const std::vector<UINT>& MessageBeepLog() { return Boxes().beeps; }

void ClearMessageBoxLog() {
    MessageBoxState& state = Boxes();
    state.answers.clear();
    state.boxes.clear();
    state.beeps.clear();
}

void SetMessageBoxesShownHeadless(bool shown) { Boxes().shownHeadless = shown; }

HWND CurrentMessageBoxWindow() {
    auto& open = Boxes().open;
    while (!open.empty() && !LiveWindow(open.back())) open.pop_back();
    return open.empty() ? nullptr : open.back();
}

}  // namespace win
