#pragma once
// Edit modes of circuit windows, named by the commands that choose them.
namespace kq5 {

struct WindowRecord;

constexpr int kCommandSelectMode = 17561;
constexpr int kCommandComponentMode = 17562;

// Switches the window's edit mode.
void SetEditMode(WindowRecord* record, int modeCommand);
// True while the window places components.
bool IsComponentPlacementMode(const WindowRecord* record);

}  // namespace kq5
