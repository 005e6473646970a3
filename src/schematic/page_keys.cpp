#include "schematic/page_keys.h"

#include <algorithm>

#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/control_scrollbar.h"
#include "platform/window.h"
#include "schematic/circuit_window.h"
#include "document/page_array.h"
#include "document/page_tabs.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

// The pane the keys act on: the text area's while the editor has the focus, else the pane last
// clicked (or the first visible one).
int PaneInUse(const WindowRecord* record)
{
    if (IsTextEditActive(record)) {
        const int text = TextPaneOf(record);
        if (text >= 0) return text;
    }
    return FindVisiblePane(record);
}

// Shows the tab `step` places left or right of the pane's selected tab, as a click on it would.
void StepPageTab(WindowRecord* record, int pane, int step)
{
    CircuitDocument& document = *record->document;
    const int selected = SelectedTabOfPane(record, pane);
    const int tab = selected + step;
    if (tab < 0 || tab > PageCount(record) || tab == selected) return;
    document.currentPane = pane;
    ShowPageInPane(record, pane, tab - 1);
    auto& first = document.paneFirstTab[static_cast<std::size_t>(pane)];
    if (tab < first) first = tab;
    ScrollTabsToPage(record, tab);
    // A page that replaced the text area takes the keys from the editor, which is hidden now.
    if (tab > 0 && win::GetFocus() == document.textAreaWindow) win::SetFocus(record->window);
    RefreshToolButtonStates();
}

// The origin that puts the bottom-right corner of the page's drawing at the pane's bottom-right.
void ScrollToDrawingEnd(WindowRecord* record, int pane)
{
    const CircuitDocument& document = *record->document;
    const int page = document.panePage[static_cast<std::size_t>(pane)];
    if (page < 0 || page >= PageCount(record)) return;
    const win::RECT& extent = document.pages[static_cast<std::size_t>(page)].extent;
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    const double scale = document.zoomFactor != 0.0 ? document.zoomFactor : 1.0;
    const int x = std::max(0, static_cast<int>(extent.right - (rect.right - rect.left) * scale));
    const int y = std::max(0, static_cast<int>(extent.bottom - (rect.bottom - rect.top) * scale));
    int dx = 0, dy = 0;
    ScrollPaneView(record, x, y, pane, dx, dy);
}

}  // namespace

bool IsPageKeyCommand(int command) { return command >= kCommandPageKeyHome && command <= kCommandNextPageTab; }

void PageKeyCommand(WindowRecord* record, int command)
{
    if (record == nullptr || record->kind != kWindowSchematic || !record->document || !record->window) return;
    const int pane = PaneInUse(record);
    if (pane < 0) return;
    if (command == kCommandPreviousPageTab || command == kCommandNextPageTab) {
        StepPageTab(record, pane, command == kCommandNextPageTab ? 1 : -1);
        return;
    }
    // The text area moves its caret with these keys itself.
    if (pane == TextPaneOf(record)) return;
    int dx = 0, dy = 0;
    switch (command) {
    case kCommandPageKeyHome: ScrollPaneView(record, 0, 0, pane, dx, dy); break;
    case kCommandPageKeyEnd: ScrollToDrawingEnd(record, pane); break;
    case kCommandPageKeyLeft: OnPaneScroll(record, pane, true, win::SB_PAGEUP, 0); break;
    case kCommandPageKeyRight: OnPaneScroll(record, pane, true, win::SB_PAGEDOWN, 0); break;
    case kCommandPageKeyUp: OnPaneScroll(record, pane, false, win::SB_PAGEUP, 0); break;
    case kCommandPageKeyDown: OnPaneScroll(record, pane, false, win::SB_PAGEDOWN, 0); break;
    default: break;
    }
}

}  // namespace kq5
