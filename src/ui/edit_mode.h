#pragma once
// Edit modes of circuit and plot windows, named by the commands that choose them.
#include <functional>

namespace kq5 {

struct WindowRecord;

constexpr int kCommandSelectMode = 17561;
constexpr int kCommandComponentMode = 17562;
constexpr int kCommandCursorMode = 17572;

// Makes a mode command (17561 to 17585, 18670 to 18677) the window's edit mode: the mode buttons
// repainted and the mode's mouse cursor set; other ids change nothing.
void SetEditMode(WindowRecord* record, int modeCommand);
// True while the window places components.
bool IsComponentPlacementMode(const WindowRecord* record);

// Switching into or out of the Cursor mode shows or hides the plot's cursors (the plot's code).
struct EditModeHookTable {
    std::function<void(WindowRecord*)> toggleCursors;
};
EditModeHookTable& EditModeHooks();

}  // namespace kq5
