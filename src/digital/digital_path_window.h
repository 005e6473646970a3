#pragma once
// The modeless "Path" dialog: the signal paths of a schematic's digital part with their
// delays, opened by "Show All Paths" and by the two path click modes of a circuit window; a
// chosen path is highlighted in the schematic.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;
struct SchematicItem;

inline constexpr int kPathTemplate = 333;
inline constexpr int kPathList = 101;
inline constexpr int kPathClose = 23;
inline constexpr int kPathColor = 31;
inline constexpr int kPathPrint = 200;

// Opens (or brings up and refills) the dialog for the circuit window: all paths with neither
// part, the paths from `from`, or from `from` to `to`. previousMode is the edit mode the
// window returns to when the dialog closes. 0, or the build's or the search's failure (the
// build's message shown; 15002 reported here).
int ShowPathWindow(WindowRecord* record, int previousMode, SchematicItem* from, SchematicItem* to);
// The click modes' way in.
void ShowPathWindowForParts(WindowRecord* record, SchematicItem* first, SchematicItem* second);

win::HWND PathWindow();
// Highlights the path shown on the list entry in the schematic (as selecting it does).
void HighlightPathEntry(int entry);
void ClosePathWindow();
// Closes the dialog when it lists the paths of this circuit window, which is going away.
void ClosePathWindowOf(const WindowRecord* record);
void ResetPathWindowForTests();

}  // namespace kq5
