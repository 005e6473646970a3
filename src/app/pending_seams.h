#pragma once
// TEMPORARY: the functions of the settings, menus and bars, and dialogs branches that the frame
// calls, declared under their final names until those branches are merged. Their stand-in
// definitions are in pending_seams.cpp; both files go at the merge.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Menus, cursors, tool bars and the help bar.
void RunFontCommand(WindowRecord* record);

}  // namespace kq5
