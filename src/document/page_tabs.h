#pragma once
// The page tab bar of a pane (class CIRTABS): tab 0 shows the circuit's text area ("Text"), tab n
// page n - 1. Four arrow buttons at the left scroll the tabs, a grip at the right end lets the
// user widen or narrow the bar against the pane's scroll bar, and a context menu adds, deletes
// and renames pages. Tabs are trapezoids, wide along the top, overlapping their neighbours.
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr const char* kTabBarClassName = "CIRTABS";
constexpr int kTabGripWidth = 5;
constexpr int kMinTabBarWidth = 4;

bool RegisterTabBarClass();
void UnregisterTabBarClass();
// A visible child of the circuit window with the control id (12363 + pane), laid out later.
win::HWND CreateTabBar(win::HWND parent, int id);
void RepaintTabBar(WindowRecord* record, int pane);

// 0 when the pane shows the text area, else its page + 1.
int SelectedTabOfPane(const WindowRecord* record, int pane);

// Where the tabs of a bar stand: the tab height T, the tab area and, per drawn tab from the
// partly shown one on, its left x, label width and whether its top-right corner is cut off.
struct TabGeometry {
    int height = 0;     // T
    int areaLeft = 0;
    int areaRight = 0;  // exclusive
    struct Tab {
        int index = 0;
        int x = 0;
        int width = 0;  // label width
        bool cut = false;
    };
    std::vector<Tab> tabs;
};
// labelWidths[i] is the width of tab i's label (measured width + 2).
TabGeometry LayoutTabs(int barWidth, int barHeight, const std::vector<int>& labelWidths, int firstTab);
// The tab under the point (-1 outside the tab area or on no tab): in an overlap the selected tab
// wins, else the right-hand one.
int TabAtPoint(const TabGeometry& geometry, int selectedTab, int x, int y, bool* cut);
// The first visible tab that lets `tab` (past the last: the last) stand whole in the area.
int TabScrollLimit(int barWidth, int barHeight, const std::vector<int>& labelWidths, int tab);

// The first visible tab of the current pane's bar advances until the tab stands whole.
void ScrollTabsToPage(WindowRecord* record, int tab);

// A button frame: face, highlight and shadow; pressed (state 2) draws them the other way round.
void DrawTabFrame(win::HDC dc, const win::RECT& rect, int state, bool fill);

}  // namespace kq5
