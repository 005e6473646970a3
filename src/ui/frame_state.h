#pragma once
// Program-wide state of the frame: its window and MDI client, the way the program was started
// (interactive or a batch run), the accelerator tables, the one open modeless dialog, the keyboard
// hook and the flags the close logic reads.
#include <array>
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

// Batch modes of the command line.
constexpr int kBatchModeInteractive = 0;
constexpr int kBatchModeRetrieve = 1;
constexpr int kBatchModeSave = 2;
constexpr int kBatchModeNormal = 8;

// Ids of the accelerator tables, in the order they are loaded (there is no table 502).
constexpr std::array<int, 12> kAcceleratorTableIds{508, 501, 503, 500, 504, 505, 506, 512, 507, 509, 511, 510};

constexpr const char* kFrameClassName = "kq52";
constexpr const char* kFrameTitle = "Kestrion V Version 2.1.2";
constexpr int kMdiClientId = 565;
constexpr int kFirstMdiChildId = 10;
// The command that ends the open analysis; its window posts it to the frame when it closes.
constexpr int kCmdEndAnalysis = 345;

struct FrameState {
    win::HWND frame = nullptr;
    win::HWND mdiClient = nullptr;
    int windowsKind = 4;
    int keyboardType = 4;
    std::string programDirectory;  // no trailing separator; the data path is the settings file's
    int batchMode = kBatchModeInteractive;
    bool printCircuit = false;
    bool printAnalysis = false;
    std::string commandFile;
    bool fatalStartup = false;
    std::array<win::HACCEL, 12> accelerators{};
    win::HWND modelessDialog = nullptr;  // the one open modeless dialog
    win::HWND limitsDialog = nullptr;    // the Analysis Limits dialog (table 509 goes to it)
    win::HHOOK keyboardHook = nullptr;
    win::HBITMAP scrollCorner = nullptr;
    int clientWidth = 0;
    int clientHeight = 0;
    bool busy = false;          // a mouse drag or modal edit is in progress
    bool quitPending = false;   // a quit waits for the run or demo to stop
    bool quitBySignal = false;  // the pending quit came from a termination signal, not the user
    bool closeRefused = false;  // set by a child that refuses WM_CLOSE
    int systemFontHeight = 0;
    win::HWND startupWindow = nullptr;  // the empty first circuit window
};

FrameState& Frame();
void ResetFrameStateForTests();

// The accelerator table of an id (null before they are loaded or for an unknown id).
win::HACCEL AcceleratorTable(int id);

// What only the frame can do for the windows and runs below it. The frame fills the members
// when it is created; an empty member does nothing (a batch run or a test without a frame).
struct FrameServiceTable {
    // Gathers what the tool buttons depend on from the active window and the run, and brings
    // the buttons' states up to date with it.
    std::function<void()> refreshToolButtonStates;
    // Handles one message completely: the program's accelerators and the one open modeless
    // dialog before the window itself.
    std::function<void(const win::MSG&)> processMessage;
};
FrameServiceTable& FrameServices();
// The frame's refreshToolButtonStates.
void RefreshToolButtonStates();

}  // namespace kq5
