#pragma once
// Pane geometry of a schematic window. A schematic window is split by one vertical and one
// horizontal splitter into up to four panes, numbered like quadrants: 0 top-right, 1 top-left,
// 2 bottom-left, 3 bottom-right. Each pane has a tab bar and a horizontal scroll bar in the row
// below it, a vertical scroll bar at its right and a pane button in the corner between them;
// one pane may show the circuit's text area instead of the schematic.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Control ids of a pane's children (plus the pane index).
constexpr int kPaneHScrollId = 12351;
constexpr int kPaneVScrollId = 12355;
constexpr int kPaneTabBarId = 12363;

// Splitter hit codes, which are also the cursor resources shown over them.
constexpr int kSplitterCrossing = 1010;
constexpr int kSplitterHorizontalBar = 1008;
constexpr int kSplitterVerticalBar = 1009;

// Width of a splitter bar between two panes.
constexpr int kSplitterBarWidth = 5;

// The width of a scroll bar, of a pane button and of the row below a pane.
int PaneScrollBarWidth();

// The splitter as the geometry sees it: a stored position within a pane button and a bar's width
// of the far edge (or beyond it) is parked off the edge at clientSize + 1.
int EffectiveSplitter(int stored, int clientSize);

// The rectangle of a pane from the client rectangle and the stored splitter positions. Empty when
// the pane is hidden or the window minimised.
win::RECT ComputePaneRect(const win::RECT& client, int splitterX, int splitterY, int scrollBarWidth,
                          bool minimised, int pane);

// The client rectangle of pane 0 to 3 of a circuit window, empty when the pane is hidden; the
// whole client rectangle for a window that is no circuit window; empty for pane -1.
void GetPaneRect(const WindowRecord* record, int pane, win::RECT& rect);
bool IsPaneVisible(const WindowRecord* record, int pane);
// The first pane whose rectangle holds the client point, else -1.
int PaneAtPoint(const WindowRecord* record, int x, int y);
// The current pane when visible, else the first visible pane, else -1.
int FindVisiblePane(const WindowRecord* record);
// The visible pane whose row and column reach the bottom-right edge (order 3, 2, 0, 1), else -1.
int LastVisiblePane(const WindowRecord* record);
// The pane that shows the text area, or -1 while it is hidden.
int TextPaneOf(const WindowRecord* record);

int GetSplitterX(const WindowRecord* record);
int GetSplitterY(const WindowRecord* record);
// Stores a splitter dropped at a client position: near the near edge it parks at 0, near the far
// edge at twice the client size.
void SetVerticalSplitter(WindowRecord* record, int x);
void SetHorizontalSplitter(WindowRecord* record, int y);

// kSplitterCrossing, kSplitterHorizontalBar, kSplitterVerticalBar or 0.
int SplitterCursorAtPoint(const WindowRecord* record, int x, int y);
// Where a parked splitter ('H' or 'V') can be grabbed.
void SplitterGripRect(const WindowRecord* record, char which, win::RECT& rect);
// The end of a splitter drag: the drop point sets the splitter(s) of the grabbed bar, the panes
// are laid out again and repainted, and the first visible pane becomes current.
void DropSplitter(WindowRecord* record, int code, int x, int y);

// The widths of the tab bar and horizontal scroll bar in the row of width rowWidth below a pane.
struct PaneRowWidths {
    int tabBar = 0;
    int scrollBar = 0;
};
PaneRowWidths PaneControlWidths(int rowWidth, int tabWidth, int paneRight, int scrollBarWidth);

// Places, shows and hides the controls of the four panes and the text area.
void LayoutPaneControls(WindowRecord* record, bool repaint);

// Puts the text area into a pane; asking for the pane that shows it hides it.
void SetTextAreaPane(WindowRecord* record, int pane, bool redraw);
// Schematic above, text area below, split at the fraction of the client height.
void SplitHorizontal(WindowRecord* record, double fraction);
// Schematic at the left, text area at the right, split at the fraction of the client width.
void SplitVertical(WindowRecord* record, double fraction);
// The schematic alone in the whole window: no split, the text area hidden.
void ShowFullWindow(WindowRecord* record);

// The splitter bars and grips; the pane button of a pane in state 0 (up) or 1 (down), through the
// window's own DC when dc is null.
void DrawSplitterBars(win::HDC dc, WindowRecord* record);
void DrawPaneButton(win::HDC dc, WindowRecord* record, int pane, int state);
win::RECT PaneButtonRect(const WindowRecord* record, int pane);
// The pane whose button is under the point, -1 when none; unless testOnly it is drawn in
// state + 1.
int PaneButtonAtPoint(WindowRecord* record, int x, int y, int state, bool testOnly);

// The flags popup of a pane button: one entry (12000 + n) per named flag; nothing with no flags.
constexpr int kFirstFlagCommand = 12000;
void ShowFlagsPopupMenu(WindowRecord* record, int pane, win::POINT screenPoint);
// Shows the n-th flag (command 12000 + n) centred in the pane the popup was opened for.
void GoToFlag(WindowRecord* record, int command);

// The popup of graphic-object kinds that a click in Graphics mode opens at a screen point: the
// choice arrives at the frame as its mode command, and after the object is drawn the window goes
// back to Select mode (the one-shot flag below, which the mouse input clears when it acts on it).
void ShowGraphicsKindPopup(win::HWND hwnd, win::POINT screenPoint);
bool& GraphicsPopupBackToSelect();

// The last point clicked on the current pane's page, each coordinate raised to at least 1 (and
// kept so): where Paste puts what it brings.
win::POINT ClampPaneLastPoint(WindowRecord* record);

}  // namespace kq5
