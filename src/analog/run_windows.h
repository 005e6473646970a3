#pragma once
// The MDI children while a run owns the screen: during an analysis whose circuit is in probe mode
// the analysis window stays in front and the windows fill the MDI client instead of maximising.
// Also the analysis menus' entries of the windows made from the stored runs.
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "platform/window.h"

namespace kq5 {

struct WindowRecord;

// True while an analysis is open and its circuit is in probe mode.
bool ProbeModeActive();
// While an analysis is open with its circuit in probe mode: the record of the active MDI child,
// whatever its kind. Otherwise the first MDI child in z-order whose record is a document.
WindowRecord* GetActiveChildRecord();
// The performance window in front, or null. It is no document window, so GetActiveChildRecord
// gives the analysis window behind it; the commands made for it go to it.
WindowRecord* GetFrontPerformanceRecord();
// Maximised; during a probe-mode analysis the window fills the MDI client instead.
void ShowRecordMaximized(WindowRecord* record);
// An empty schematic window when no document is open, shown maximised.
void OpenFirstCircuitWindow();
// The WM_WINDOWPOSCHANGING hook of the document windows: while an analysis is open with its
// circuit in probe mode, a window other than the analysis window that moves is placed right
// behind the analysis window. True when the position was changed.
bool KeepRunWindowInFront(WindowRecord* record, win::WINDOWPOS* position);
// SC_MAXIMIZE during a probe-mode analysis fills the MDI client instead; true when handled.
bool CatchMaximizeDuringRun(WindowRecord* record, win::WPARAM command);

// One window of a list that the analysis menus offer by name.
struct WindowMenuEntry {
    std::string name;
    bool shown = false;
};
// Makes the numbered entries first..last at the end of a popup anew: the old ones and the
// separator above them go; then, when there are windows, a separator and one entry per window
// (its name cut as long names are), checked while it is shown. The entries are greyed while a
// run or a demo goes on, or while the analysis has no stored run.
void RebuildWindowMenuEntries(win::HMENU popup, int first, int last, const std::vector<WindowMenuEntry>& entries);

}  // namespace kq5
