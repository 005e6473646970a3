#pragma once
// Windows: classes, creation and destruction, the window tree and z-order, show states, moving
// and sizing, activation and focus, text, window longs and subclassing, placements, coordinate
// conversion and window queries. All windows live on the one virtual screen (platform/screen.h);
// the desktop window is its root.
#include <functional>
#include <string>

#include "platform/win_messages.h"
#include "platform/win_styles.h"
#include "platform/win_types.h"

namespace win {

struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;  // a brush, or (HBRUSH)(COLOR_xxx + 1)
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
};

struct WNDCLASSEX {
    UINT cbSize = 48;
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
    HICON hIconSm = nullptr;
};

// lParam of WM_NCCREATE and WM_CREATE.
struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    LONG style = 0;
    const char* lpszName = nullptr;
    const char* lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

// lParam of WM_WINDOWPOSCHANGING (editable) and WM_WINDOWPOSCHANGED.
struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
};

// lParam of WM_GETMINMAXINFO.
struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// lParam of WM_NCCALCSIZE with wParam TRUE: rgrc[0] is the new window rectangle in parent
// coordinates on entry and the client rectangle on return.
struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
    WINDOWPOS* lppos = nullptr;
};

struct WINDOWPLACEMENT {
    UINT length = 44;
    UINT flags = 0;
    UINT showCmd = 0;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};

// --- classes ----------------------------------------------------------------------------------
ATOM RegisterClass(const WNDCLASS* wc);
ATOM RegisterClassEx(const WNDCLASSEX* wc);
BOOL UnregisterClass(const char* className, HINSTANCE instance);
BOOL GetClassInfo(HINSTANCE instance, const char* className, WNDCLASS* out);
std::string GetClassName(HWND hwnd);
ULONG_PTR GetClassLongPtr(HWND hwnd, int index);
ULONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value);
inline DWORD GetClassLong(HWND hwnd, int index) { return static_cast<DWORD>(GetClassLongPtr(hwnd, index)); }

// --- creation and destruction -----------------------------------------------------------------
// For a child window, menu is its control id.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
inline HWND CreateWindow(const char* className, const char* windowName, DWORD style, int x, int y, int width,
                         int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    return CreateWindowEx(0, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}
BOOL DestroyWindow(HWND hwnd);
// A control id where the interface takes an HMENU (child windows, CreateWindowEx).
inline HMENU ChildIdMenu(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

// --- procedures -------------------------------------------------------------------------------
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Window longs: the indexes GWLP_* or a byte offset into the class's extra bytes.
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);
inline LONG GetWindowLong(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtr(hwnd, index)); }
inline LONG SetWindowLong(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtr(hwnd, index, value));
}
WORD GetWindowWord(HWND hwnd, int index);
WORD SetWindowWord(HWND hwnd, int index, WORD value);

// --- state ------------------------------------------------------------------------------------
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);  // the window and all its ancestors have WS_VISIBLE
BOOL IsWindowEnabled(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);  // returns TRUE when it was disabled before
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmdShow);  // returns TRUE when it was visible before
BOOL OpenIcon(HWND hwnd);
BOOL CloseWindow(HWND hwnd);  // minimises

// --- position and size ------------------------------------------------------------------------
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, width, height)
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* wp);
BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp);

// --- coordinates ------------------------------------------------------------------------------
BOOL ClientToScreen(HWND hwnd, POINT* pt);
BOOL ScreenToClient(HWND hwnd, POINT* pt);
// Converts between client coordinates of two windows (null = screen); returns the offset packed
// as MAKELONG(dx, dy).
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);

// --- tree and queries -------------------------------------------------------------------------
HWND GetDesktopWindow();
HWND GetParent(HWND hwnd);  // the parent of a child, the owner of a popup
HWND SetParent(HWND hwnd, HWND newParent);
HWND GetAncestorTopLevel(HWND hwnd);
HWND GetWindow(HWND hwnd, UINT relation);
HWND GetTopWindow(HWND hwnd);  // first child in z-order (null = desktop)
inline HWND GetNextWindow(HWND hwnd, UINT relation) { return GetWindow(hwnd, relation); }
HWND GetLastActivePopup(HWND hwnd);
HWND WindowFromPoint(POINT pt);
HWND ChildWindowFromPoint(HWND parent, POINT pt);  // client coordinates of parent
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
// Top-level windows only; a null class or title matches any.
HWND FindWindow(const char* className, const char* windowName);
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND hwnd);

// --- text -------------------------------------------------------------------------------------
// Both go through WM_GETTEXTLENGTH / WM_GETTEXT so controls with their own text answer.
std::string GetWindowText(HWND hwnd);
int GetWindowTextLength(HWND hwnd);
BOOL SetWindowText(HWND hwnd, const char* text);

// --- activation and focus ---------------------------------------------------------------------
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetFocus();
HWND SetFocus(HWND hwnd);

// --- menus as window state (the menu module draws and tracks them) ------------------------------
HMENU GetMenu(HWND hwnd);
BOOL SetMenu(HWND hwnd, HMENU menu);

// --- work area --------------------------------------------------------------------------------
RECT GetWorkArea();

}  // namespace win
