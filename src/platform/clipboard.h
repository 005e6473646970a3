#pragma once
// The clipboard: text, bitmaps and metafile pictures held in the process. While the SDL2
// backend runs, CF_TEXT also goes to and comes from the desktop's clipboard (as UTF-8 with LF
// line ends there, Windows-1252 with CR LF here).
#include <cstddef>
#include <map>
#include <string>

#include "platform/win_types.h"

namespace win {

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_METAFILEPICT = 3;
constexpr UINT CF_OEMTEXT = 7;
constexpr UINT CF_DIB = 8;

// What SetClipboardData takes and GetClipboardData gives: a global block (CF_TEXT, a
// METAFILEPICT block for CF_METAFILEPICT, other formats) or a bitmap (CF_BITMAP).
class ClipboardHandle {
public:
    ClipboardHandle() = default;
    ClipboardHandle(std::nullptr_t) {}
    ClipboardHandle(HGLOBAL global) : global_(global) {}
    ClipboardHandle(HBITMAP bitmap) : bitmap_(bitmap) {}
    operator HGLOBAL() const { return global_; }
    operator HBITMAP() const { return bitmap_; }
    explicit operator bool() const { return global_ != nullptr || bitmap_ != nullptr; }
    friend bool operator==(const ClipboardHandle& h, std::nullptr_t) { return !h; }
    HGLOBAL Global() const { return global_; }
    HBITMAP Bitmap() const { return bitmap_; }

private:
    HGLOBAL global_ = nullptr;
    HBITMAP bitmap_ = nullptr;
};

// FALSE while another window has it open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Frees everything on the clipboard (for CF_METAFILEPICT the metafile too) and makes the window
// that opened it the owner. Needs the clipboard open.
BOOL EmptyClipboard();
// The clipboard owns the data from now on; data of the same format is replaced. Needs the
// clipboard open; null when the data does not suit the format. A CF_TEXT block without a
// terminating zero gets one.
ClipboardHandle SetClipboardData(UINT format, ClipboardHandle data);
// The clipboard's own data (not to be freed); null when the format is not there or the
// clipboard is not open.
ClipboardHandle GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
HWND GetClipboardOwner();
HWND GetOpenClipboardWindow();

struct ClipboardState {
    bool open = false;
    HWND openedBy = nullptr;
    HWND owner = nullptr;
    bool changed = false;  // set while open: the desktop is told at CloseClipboard
    std::map<UINT, ClipboardHandle> data;
    std::string desktopText;  // the desktop text last sent or taken (UTF-8)
    DWORD desktopCheckedAt = 0;
    bool desktopChecked = false;
};
ClipboardState& Clipboard();
// Frees what the clipboard holds and forgets it.
void ResetClipboardStateForTests();

}  // namespace win
