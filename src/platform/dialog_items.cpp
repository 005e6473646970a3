// The dialog item helpers: texts, numbers, check states and messages of controls by id.
#include <cctype>
#include <cstdint>
#include <string>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/window.h"

namespace win {

namespace {

// A whole number with optional blanks around it and, when signed, a leading minus sign.
bool ParseWhole(const std::string& s, bool isSigned, UINT* out) {
    std::size_t i = 0, n = s.size();
    while (i < n && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    while (n > i && std::isspace(static_cast<unsigned char>(s[n - 1]))) --n;
    bool negative = false;
    if (i < n && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        if (negative && !isSigned) return false;
        ++i;
    }
    if (i >= n) return false;
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        value = value * 10 + static_cast<unsigned>(s[i] - '0');
        if (value > 0xFFFFFFFFull) return false;
    }
    if (isSigned) {
        if (!negative && value > 0x7FFFFFFFull) return false;
        if (negative && value > 0x80000000ull) return false;
        auto v = static_cast<std::int64_t>(value);
        *out = static_cast<UINT>(static_cast<std::int32_t>(negative ? -v : v));
        return true;
    }
    *out = static_cast<UINT>(value);
    return true;
}

}  // namespace

BOOL SetDlgItemText(HWND dialog, int id, const char* text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowText(item, text ? text : "") : FALSE;
}

std::string GetDlgItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? GetWindowText(item) : std::string();
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    std::string text = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    return SetDlgItemText(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    UINT value = 0;
    bool ok = GetDlgItem(dialog, id) && ParseWhole(GetDlgItemText(dialog, id), isSigned != FALSE, &value);
    if (translated) *translated = ok ? TRUE : FALSE;
    return ok ? value : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessage(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(SendMessage(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
    bool any = false;
    for (int id = first; id <= last; ++id) {
        HWND item = GetDlgItem(dialog, id);
        if (!item) continue;
        SendMessage(item, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
        any = true;
    }
    return any ? TRUE : FALSE;
}

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessage(item, msg, wParam, lParam) : 0;
}

}  // namespace win
