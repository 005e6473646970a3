#pragma once
// The main tool bar's button states, the ten docked or floating tool windows and their layout.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/tool_button_table.h"
#include "platform/win_types.h"

namespace kq5 {

// Repaints the button of the command on the bar; nothing without a bar or such a button.
void InvalidateDlgItem(win::HWND bar, int commandId);

// What the button states depend on, gathered by the frame from the active window and the run.
struct ToolButtonSituation {
    bool childActive = false;
    int kind = -1;                 // the active child's window kind
    bool analysisOpen = false;     // the current analysis kind is not -1
    int analysisState = 0;         // the current document's analysis state
    bool busy = false;
    bool running = false;
    bool paused = false;
    bool demoActive = false;
    bool plotHasCurves = false;
    bool untitled = false;
    bool isCurrentDocument = false;  // the active child is the current document's window
    bool currentDocumentIsText = false;
    bool canPrint = true;
    int pageCount = 1;
    int histogramCount = 0;
    bool monteCarloData = false;
    bool steppedData = false;
    int steppedCases = 0;
    int performanceWindows = 0;
    int threeDWindows = 0;
    bool nodeVoltagesAvailable = false;
    bool digitalPathData = false;
    // Edit states of a schematic or text window (or its focused text area).
    bool canUndo = false;
    bool hasSelection = false;
    bool clipboardFull = false;
    bool hasItems = false;
    // What the toggle buttons show pressed.
    int mode = 0;                  // the active window's edit mode
    int searchMode = 0;            // an analysis window's cursor search mode
    bool calculatorOpen = false;
};

// 1 when the command's button is disabled in the situation, else 0.
int ToolButtonStateFor(std::uint32_t command, const ToolButtonSituation& situation);
// Whether the row's button is on the bar of the slot; `disabled` set when the row is not
// available in the situation.
bool IsToolButtonShown(int slot, int row, const ToolButtonSituation& situation, bool* disabled = nullptr);
// Stores the state; while busy only rows that may change then do. True when it changed.
bool SetToolButtonState(std::uint32_t command, int state, bool busy = false);
// Every row's state for the situation (edit buttons by the window's edit states); returns the
// commands whose state changed.
std::vector<std::uint32_t> ComputeToolButtonStates(const ToolButtonSituation& situation);

// Positions of a tool window.
constexpr int kBarFloating = 1;
constexpr int kBarLeft = 2;
constexpr int kBarRight = 3;
constexpr int kBarTop = 4;
constexpr int kBarBottom = 5;
constexpr int kToolSlotCount = 10;

struct DockedBar {
    std::int32_t pos = 0;
    std::int32_t visible = 0;
    std::int32_t x = 0, y = 0;
    win::HWND window = nullptr;
    win::HWND title = nullptr;
    win::HWND closeBox = nullptr;
    win::HWND listBox = nullptr;
    std::vector<std::string> entries;  // palettes: the components listed
    std::array<std::int32_t, 2> hiddenBy{};  // mark 0 a run, mark 1 a demo
    std::string name;
};

std::array<DockedBar, kToolSlotCount>& DockedBars();
void ResetDockedBarsForTests();

// The shown buttons' places inside a bar of the given inner width, and the height they take.
struct ToolLayout {
    std::vector<std::pair<std::uint32_t, win::RECT>> buttons;  // command, cell rectangle
    int width = 0;
    int height = 0;
};
ToolLayout LayoutToolButtons(int slot, int barWidth, const ToolButtonSituation& situation, int screenHeight);

// The rectangle of a bar in the frame's client area by its position.
win::RECT ComputeBarRect(int slot, int clientWidth, int clientHeight, int statusHeight,
                         const ToolButtonSituation& situation, int screenWidth, int screenHeight);
// The position a bar dragged to the point would take.
int DockClassAt(int slot, win::POINT point, const win::RECT& client);
// Changes visibility of the hidden palettes by a run (mark 0) or a demo (mark 1).
void HideVisibleBars(int mark);
void RestoreHiddenBars(int mark);

}  // namespace kq5

namespace kq5 {

// Binds each component button to the component of its name in the library's list (position n
// gives command 42000 + n); a name not found clears the command and hides the button on both
// bars.
void BindComponentToolButtons(const std::vector<std::string>& componentNames);
// The command of the component button of that name that is on the schematic bar, or -1.
int FindComponentButton(std::string_view name);

}  // namespace kq5
