#pragma once
// The window manager's program-wide state: classes, windows, activation and focus, the queue,
// caret and cursors. One accessor; tests reset it through ResetPlatformForTests.
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/cursor.h"
#include "platform/message_internal.h"
#include "platform/window_internal.h"

namespace win {

struct CaretState {
    HWND hwnd = nullptr;
    int width = 0;
    int height = 0;
    bool grey = false;
    POINT pos{0, 0};  // client coordinates
    int hideCount = 1;
    bool blinkOn = true;
    DWORD nextBlink = 0;
    UINT blinkTime = 530;
};

struct CursorState {
    HCURSOR current = nullptr;
    int showCount = 0;
    std::map<int, std::unique_ptr<CursorObject>> system;  // by IDC_ id
    std::map<int, CursorImage> cursorResources;
    std::map<int, CursorImage> iconResources;
    std::map<int, std::unique_ptr<CursorObject>> loadedResources;  // cursors, by id
    std::map<int, std::unique_ptr<CursorObject>> loadedIcons;
    std::vector<std::unique_ptr<CursorObject>> created;
};

// A window DC handed out by GetDC, GetWindowDC or BeginPaint; kept so its clip follows the
// window when windows move while it is held.
struct TrackedDc {
    HDC dc = nullptr;
    HWND hwnd = nullptr;  // null: the whole screen
    bool wholeWindow = false;
    bool paint = false;
    Region paintArea;  // BeginPaint: the update area, client coordinates
};

struct UserState {
    UserState();
    ~UserState();

    std::vector<std::unique_ptr<WindowClass>> classes;
    ATOM nextAtom = 0xC000;
    std::unique_ptr<WindowObject> desktop;
    std::unordered_map<WindowObject*, std::unique_ptr<WindowObject>> windows;
    // Destroyed windows are kept a while so that callers still up the stack never touch freed
    // memory and a new window never reuses a just-destroyed handle.
    std::deque<std::unique_ptr<WindowObject>> graveyard;

    HWND active = nullptr;
    bool menuKeyAlone = false;  // Alt (or F10) went down and no other key followed yet
    HWND focus = nullptr;
    unsigned focusChanges = 0;  // counts SetFocus moves, to tell one that came in between
    RECT workArea;
    bool workAreaSet = false;
    WindowManagerHooks hooks;

    std::vector<TrackedDc> dcs;

    std::array<COLORREF, kSysColorCount> sysColors{};
    std::array<HBRUSH, kSysColorCount> sysBrushes{};

    QueueState queue;
    CaretState caret;
    CursorState cursors;
};

UserState& User();
void LoadDefaultSysColors(std::array<COLORREF, kSysColorCount>& colors);
void ResetUserStateForTests();

}  // namespace win
