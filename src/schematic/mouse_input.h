#pragma once
// Mouse input of the circuit windows (shared with the analysis, performance, 3-D and Monte Carlo
// windows): presses, moves and releases become editing operations by the window's edit mode.
// The window procedures call these with their message parameters.
#include <cstdint>

#include "platform/win_types.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"
#include "schematic/zoom.h"

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

void OnWindowLButtonDown(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowLButtonUp(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowRButtonDown(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowRButtonUp(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowMouseMove(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnCircuitDoubleClick(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
// Space in a schematic window: the right-button step of a placement or move, or the start of a
// move from a pending Select click. True when it was taken.
bool OnCircuitSpaceKey(win::HWND hwnd);

// The press dispatch by edit mode (client point).
void DispatchClickByMode(WindowRecord* record, unsigned keyFlags, win::POINT point);
// The Select-mode press (drag 0) or the start of a Select-mode drag (drag 1), client point.
void SelectClick(WindowRecord* record, int shift, int x, int y, int drag, unsigned keyFlags);
// Starts the rubber band of a new graphic object (grid point in a schematic, pixels elsewhere).
void StartGraphicObjectDrag(WindowRecord* record, int flags, std::uint16_t kind, int x, int y, int pane);
// Ends the drag under way at the button release (client point).
void FinishMouseDrag(WindowRecord* record, unsigned keyFlags, int x, int y);
// Opens the edit dialog of the element under the point; 1 when one was found.
int EditObjectAtPoint(WindowRecord* record, unsigned keyFlags, int x, int y);

// The drag timer of a circuit window: while a placement or move is dragged with the pointer
// outside the pane, each tick scrolls the pane a line and moves the selection along.
inline constexpr win::UINT_PTR kDragTimer = 0x4B35;
inline constexpr win::UINT kDragTimerMs = 100;
void OnSchematicDragTimer(win::HWND hwnd);
// Clears the pending click, the Shift word and the drag state (a demo starts).
void ResetMouseDragState();

// What the mouse handlers ask of the other parts of the editor: the panes of a circuit window
// (splitters, pane buttons, scrolling and quick zoom), the circuit window's own by default, and
// the digital path window, which no part installs yet. Tests put stand-ins in; while one is
// missing its gesture does nothing (panning then moves the pane's origin directly).
struct PaneInputServices {
    int (*splitterAtPoint)(const WindowRecord* record, int x, int y) = SplitterCursorAtPoint;  // 1008..1010 or 0
    void (*dropSplitter)(WindowRecord* record, int cursor, int x, int y) = DropSplitter;  // cursor 1008 to 1010
    int (*paneButtonAtPoint)(WindowRecord* record, int x, int y, int state, bool testOnly) = PaneButtonAtPoint;
    void (*showFlagsPopup)(WindowRecord* record, int pane, win::POINT screenPoint) = ShowFlagsPopupMenu;
    int (*scrollPaneView)(WindowRecord* record, int x, int y, int pane, int& dx, int& dy) = ScrollPaneView;
    void (*quickZoom)(WindowRecord* record, int pane, int gx, int gy) = QuickZoom;
    // The path window of one digital part, or of the pair (second null for one).
    void (*showPathWindow)(WindowRecord* record, SchematicItem* first, SchematicItem* second) = nullptr;
};
PaneInputServices& PaneInput();
// Installs the digital path window as the click modes' way to it.
void InstallPathWindow();

}  // namespace kq5
