#pragma once
// The window objects behind HWND and the state of the window manager, shared by the platform
// modules (windows, messages, painting, and the controls, dialogs, menus and MDI built on them).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/region.h"
#include "platform/window.h"

namespace win {

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;
    std::vector<BYTE> extraBytes;
    bool system = false;  // registered by the layer itself; survives UnregisterClass
};

// Data a later module (controls, dialogs, MDI) keeps on its windows.
struct WindowExtension {
    virtual ~WindowExtension() = default;
};

struct WindowObject {
    WindowClass* cls = nullptr;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    HINSTANCE instance = nullptr;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    INT_PTR id = 0;          // control id of a child
    HMENU menu = nullptr;    // menu bar of a top-level window
    std::vector<BYTE> extra;  // the class's window extra bytes

    WindowObject* parent = nullptr;  // the desktop for top-level windows
    WindowObject* owner = nullptr;
    std::vector<WindowObject*> children;  // z-order, front first

    RECT rect;    // window rectangle, parent client coordinates
    RECT client;  // client rectangle, parent client coordinates

    // Show state memory (parent client coordinates).
    RECT normalRect;
    POINT minPos{-1, -1};
    POINT maxPos{-1, -1};
    bool restoreToMaximized = false;

    // Painting.
    Region update;  // client coordinates
    bool erasePending = false;
    bool ncPaintPending = false;
    bool internalPaint = false;
    bool redrawOff = false;  // WM_SETREDRAW FALSE
    bool inPaint = false;
    bool ncActive = false;
    bool hiddenWithOwner = false;  // an owned popup hidden while its owner is an icon
    bool validatedSinceDispatch = false;  // the update region was taken while WM_PAINT ran  // caption drawn in the active colours (WM_NCACTIVATE)

    bool created = false;     // WM_CREATE succeeded
    bool destroying = false;  // DestroyWindow under way
    WindowObject* lastActivePopup = nullptr;
    std::unique_ptr<WindowExtension> extension;
};

// Extension points for the modules built on the window manager. Each may be empty.
struct WindowManagerHooks {
    // Height of the menu bar of a top-level window with a menu for a window width (0: none).
    std::function<int(HWND, int windowWidth)> menuBarHeight;
    // Draws the menu bar into a window DC; rect in window coordinates.
    std::function<void(HWND, HDC, const RECT&)> drawMenuBar;
    // Draws a window scroll bar (SB_HORZ 0 / SB_VERT 1); rect in window coordinates.
    std::function<void(HWND, HDC, int bar, const RECT&)> drawScrollBar;
    // Consulted by DefWindowProc before its own handling; returns true when it handled the
    // message and set result.
    std::vector<std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT& result)>> defProcFilters;
    // A window is being destroyed (after WM_NCDESTROY), for modules that keep tables by window.
    std::vector<std::function<void(HWND)>> windowDestroyed;
};

// --- helpers shared inside the layer ---------------------------------------------------------
// Class lookup by name, case-blind; null when unknown.
WindowClass* FindWindowClass(const char* name);
// Classes the layer's own modules provide (controls, MDI client, dialogs): kept across
// UnregisterClass. Register them from a state initializer so they come back after a reset.
ATOM RegisterSystemClass(const WNDCLASS& wc);
// Runs now if the state exists and again whenever the window manager's state is made afresh.
void AddStateInitializer(const std::function<void()>& init);

// The object behind a live handle, or null (never dereference an HWND without it).
WindowObject* LiveWindow(HWND hwnd);
WindowObject* DesktopObject();
WindowManagerHooks& WindowHooks();

bool IsTopLevel(const WindowObject* w);
bool IsVisibleChain(const WindowObject* w);  // visible, with every ancestor visible
bool IsDrawable(const WindowObject* w);      // visible chain and no redraw switched off
POINT ClientOriginOnScreen(const WindowObject* w);
RECT WindowRectOnScreen(const WindowObject* w);
RECT ClientRectOnScreen(const WindowObject* w);
RECT ClientRectLocal(const WindowObject* w);  // (0, 0, width, height)
WindowObject* TopLevelOf(WindowObject* w);
bool IsDescendant(const WindowObject* ancestor, const WindowObject* w);
WPARAM SizeTypeOf(const WindowObject* w);

// The non-client layout for a style (rect in any coordinates; the client area inside it).
RECT ComputeClientRect(const WindowObject* w, const RECT& windowRect);
int HitTestWindow(WindowObject* w, POINT screenPt);
// A frame part's rectangle in window coordinates: HTCAPTION, HTMENU, HTHSCROLL, HTVSCROLL, or the
// client area for any other code.
RECT NonClientPartRect(HWND hwnd, int part);
void PaintNonClient(WindowObject* w);

// Deepest visible, enabled-or-not window at a screen point below root (used by input routing).
WindowObject* WindowAtPoint(WindowObject* root, POINT screenPt);

// Marks part of the screen as needing repaint: every window that shows there gets it added to
// its update region (with erase), frames are marked, the desktop background is redrawn.
void ExposeScreen(const Region& screenRgn);
// Same for one window and its descendants only.
void ExposeWindowTree(WindowObject* w, const Region& screenRgn, bool erase);

// The part of the screen showing the window (whole window or client only), clipped by its
// ancestors and by the windows above it; children are cut out when asked.
Region VisibleArea(const WindowObject* w, bool clientOnly, bool excludeChildren);
// Copies screen pixels: every pixel of dst comes from the pixel dx, dy before it.
void CopyScreenPixels(const Region& dst, int dx, int dy);

// SetWindowPos flag of the layer: the show state changed, so WM_SIZE goes out even at an
// unchanged size.
constexpr UINT kSwpStateChanged = 0x8000;

// Puts the window into a show state (moving it to its normal, maximised or iconic rectangle)
// without changing its visibility unless flags ask for it.
enum class ShowState { Normal, Minimized, Maximized };
void ApplyShowState(WindowObject* w, ShowState state, UINT extraFlags);

// The first window (parents before children, front to back) that needs WM_PAINT, within the
// filter window's tree (null: all). Windows that only need their frame redrawn get WM_NCPAINT on
// the way.
WindowObject* FindWindowNeedingPaint(HWND filter);
bool NeedsPaint(const WindowObject* w);
// Re-clips the window DCs that are held out after windows moved.
void RefreshWindowDCs();

// Activation helpers used by show/destroy.
void ActivateTopLevel(WindowObject* w, WORD how, bool bringToTop);
void ActivateOtherWindow(WindowObject* leaving);
void WindowDestroyedCleanup(WindowObject* w);  // queue, timers, capture, caret, focus
void ResetWindowManagerForTests();

}  // namespace win
