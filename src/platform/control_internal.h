#pragma once
// What the standard controls share: their data on the window, parent notification, colours from
// WM_CTLCOLOR*, fonts and measuring, the 3-D drawing of borders, and the painting set-up.
#include <memory>
#include <string>
#include <string_view>

#include "platform/controls.h"
#include "platform/font.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/paint.h"
#include "platform/window_internal.h"

namespace win {

// The data every control of the layer keeps on its window.
struct ControlData : WindowExtension {
    HFONT font = nullptr;  // null: the system font
};

template <typename T>
T* DataOf(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w ? dynamic_cast<T*>(w->extension.get()) : nullptr;
}

// The window's data of kind T, made when it has none yet.
template <typename T>
T* AttachData(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    if (auto* d = dynamic_cast<T*>(w->extension.get())) return d;
    auto made = std::make_unique<T>();
    T* raw = made.get();
    w->extension = std::move(made);
    return raw;
}

DWORD StyleOf(HWND hwnd);
bool HasFocus(HWND hwnd);

// WM_COMMAND (control id, code) to the control's parent.
void NotifyParent(HWND control, WORD code);
// Sends the WM_CTLCOLOR* message to the parent, which sets the DC's colours and answers a brush;
// a parent that answers none gets the default colours.
HBRUSH ControlColors(HWND control, HDC dc, UINT ctlColorMsg);

// Fonts: the control's font or the system font, realised at screen size.
HFONT FontOrSystem(HFONT font);
const RealizedFont& RealizedFontOf(HFONT font);
int LineHeightOf(HFONT font);
int TextWidthOf(HFONT font, std::string_view text);
// Shared WM_SETFONT / WM_GETFONT handling; true when the message was one of them.
bool HandleFontMessage(HWND hwnd, ControlData& data, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Painting: BeginPaint with the control's font selected; EndPaint on destruction.
class ControlPaint {
public:
    ControlPaint(HWND hwnd, HFONT font);
    ~ControlPaint();
    ControlPaint(const ControlPaint&) = delete;
    ControlPaint& operator=(const ControlPaint&) = delete;
    HDC dc() const { return ps_.hdc; }
    const RECT& client() const { return client_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_;
    RECT client_;
    HGDIOBJ oldFont_ = nullptr;
};

// A window DC with the font selected, for drawing outside WM_PAINT.
class ControlDc {
public:
    ControlDc(HWND hwnd, HFONT font);
    ~ControlDc();
    ControlDc(const ControlDc&) = delete;
    ControlDc& operator=(const ControlDc&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
    HGDIOBJ oldFont_ = nullptr;
};

void FillSysColor(HDC dc, const RECT& r, int sysColor);
// A two-pixel 3-D edge (raised: light top-left) drawn inside r.
void DrawEdge3D(HDC dc, const RECT& r, bool raised);
// A one-pixel frame in two colours (top-left, bottom-right) inside r.
void DrawFrame2(HDC dc, const RECT& r, int topLeftColor, int bottomRightColor);
// A small filled triangle pointing in a direction (0 up, 1 down, 2 left, 3 right), centred in r.
void DrawArrowGlyph(HDC dc, const RECT& r, int direction, COLORREF color);

// Private messages between a combo box and its list (below WM_USER, in the list box range).
// kLbSetDropped: wParam TRUE while the list hangs below its combo box and tracks the mouse for it.
// kCbCloseUp: the list asks its combo box to close; wParam TRUE when an item was chosen.
constexpr UINT kLbSetDropped = 0x01B0;
constexpr UINT kCbCloseUp = 0x01B1;

// Draws an icon's image (system icons get a picture of their own) with its top-left at x, y.
void DrawIconImage(HDC dc, int x, int y, HICON icon);

// The character after a single '&' in a control text, upper-cased; 0 when there is none.
int MnemonicOf(std::string_view text);

// Keeps a dialog's default push button in step with the focus (platform/dialog_defproc.cpp);
// the controls call it when they take the focus.
void NoteDialogFocus(HWND control);

// Copies text into a WM_GETTEXT buffer of `size` bytes (cut, zero-terminated); the length copied.
LRESULT CopyTextOut(const std::string& text, WPARAM size, LPARAM buffer);
// Registers one of the layer's control classes (kept across UnregisterClass).
void RegisterControlClass(const char* name, WNDPROC proc, UINT style, int cursorId = IDC_ARROW);

// Registers the classes of the controls and dialogs and installs their window-manager hooks;
// run each time the window manager's state is made.
void InstallStandardControls();
void RegisterButtonClass();
void RegisterStaticClass();
void RegisterEditClass();
void RegisterListBoxClasses();
void RegisterComboBoxClass();
void RegisterScrollBarClass();
void InstallScrollBarHooks();
void RegisterDialogClass();

}  // namespace win
