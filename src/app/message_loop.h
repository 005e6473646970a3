#pragma once
// The path of every message of the one thread: the MDI system keys, the program's accelerator
// tables chosen by the kinds of the target window and its parent, the one open modeless dialog,
// then the window itself. Also the keyboard hook (Ctrl+Shift+W prints the active window), the
// Statistics dialog and the frame title.
#include <cstdint>

#include "platform/win_types.h"

namespace kq5 {

constexpr int kCmdStatistics = 1017;
constexpr int kStatisticsDialog = 17101;

// Handles one message completely.
void ProcessMessage(const win::MSG& message);
// 1 when an accelerator of the program fired, else 0.
int TranslateAppAccelerators(const win::MSG& message);

// The window table and the second table of TranslateAppAccelerators for the kinds of the message's
// window and of its parent, and whether the window is a text control; 0 when none. Then the run
// table for the same kinds.
struct AcceleratorChoice {
    int windowTable = 0;
    int secondTable = 0;
    int runTable = 0;
};
AcceleratorChoice ChooseAcceleratorTables(int windowKind, int parentKind, bool textControl, bool analysisOpen);

// Loads the twelve accelerator tables in their order; false when one is missing.
bool LoadAcceleratorTables();

void InstallKeyboardHook();
void RemoveKeyboardHook();
win::LRESULT KeyboardHookProc(int code, win::WPARAM key, win::LPARAM flags);

void ShowStatisticsDialog();
void RestoreFrameTitle();

// The view-option bit of a View menu command (17400 to 17409), 0 for other ids.
std::uint32_t ViewOptionBit(int commandId);

}  // namespace kq5
