#pragma once
// The Tool Bar dialog (command 10185): which buttons the bar shows with and without an analysis
// open, and the names and pictures of the user's component buttons.
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

constexpr int kToolBarDialog = 10185;
constexpr int kComponentNameNotFound = 11212;

// What the dialog needs from the component library; while none is wired every name is taken.
struct ToolBarDialogHooks {
    std::function<bool(const std::string&)> componentExists;
    // The name the Find Component look-up settles on for a typed name; empty keeps the typed one.
    std::function<std::string(const std::string&)> findComponent;
    // After OK: the component buttons bound to their components.
    std::function<void()> bindComponentButtons;
    std::function<void(int)> showHelp;
};
ToolBarDialogHooks& ToolBarHooks();

// Runs the dialog over the frame; IDOK when the choice was taken.
int ToolBarDialog(win::HWND frame);

}  // namespace kq5
