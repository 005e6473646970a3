#pragma once
// Command routing: every menu item, accelerator and tool button ends as a WM_COMMAND to the frame,
// and RouteCommand turns its id into a call of the handler that owns it.
#include <string>

#include "ui/frame_state.h"  // kCmdEndAnalysis
#include "platform/win_types.h"

namespace kq5 {

constexpr int kMsgNotAvailable = 13396;
constexpr int kFirstRecentFileCommand = 3892;
constexpr int kRecentFileCommands = 8;
constexpr int kFirstComponentMenuCommand = 42000;

// 0 when the command was taken, nonzero when it was not (the frame then passes it on to the active
// MDI child). Only the low 16 bits of wParam are the id.
int RouteCommand(win::HWND frame, win::WPARAM wParam, win::LPARAM lParam);

// A palette's pick: the named part becomes the current component, the active schematic goes into
// Component mode; an unknown name changes nothing.
void ChooseComponentByName(const std::string& name);

// The short name of a command: the text after the line feed of its string-table entry, or the id
// in digits when it has none.
std::string CommandShortName(int commandId);
// Shows the warning that the command's handler is not part of this build.
void WarnNotAvailable(int commandId);

}  // namespace kq5
