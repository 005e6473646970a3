#pragma once
// The static table of the main tool bar's buttons and the palettes' list row: which command each
// button sends, its picture, where it may appear and in which windows it is enabled.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

// Flag bits of a ToolButtonRow.
constexpr std::uint32_t kToolOnSchematicBar = 0x1;      // available (and shown by default) with no analysis open
constexpr std::uint32_t kToolOnAnalysisBar = 0x2;       // available (and shown by default) with an analysis open
constexpr std::uint32_t kToolClusterEnd = 0x4;          // a 3-pixel gap follows the button
constexpr std::uint32_t kToolInSchematic = 0x10;
constexpr std::uint32_t kToolInSchematicAnalysis = 0x20;
constexpr std::uint32_t kToolInTextNetlist = 0x40;
constexpr std::uint32_t kToolInModelLibrary = 0x80;
constexpr std::uint32_t kToolHiddenByAnalysisState = 0x100;
constexpr std::uint32_t kToolInEmptyPlot = 0x200;
constexpr std::uint32_t kToolInPlotWithCurves = 0x400;
constexpr std::uint32_t kToolInMonteCarlo = 0x1000;
constexpr std::uint32_t kToolInAnyWindow = 0x2000;
constexpr std::uint32_t kToolWithoutChild = 0x8000;
constexpr std::uint32_t kToolIn3D = 0x10000;
constexpr std::uint32_t kToolChangesWhileBusy = 0x20000;
constexpr std::uint32_t kToolNeedsCurves = 0x40000;
constexpr std::uint32_t kToolInPerformance = 0x80000;
constexpr std::uint32_t kToolMenuOnly = 0x100000;

// Button groups of the Tool Bar dialog; their names are the string-table texts 11200 + group.
enum ToolButtonGroup : std::uint16_t {
    kGroupFile, kGroupEdit, kGroupBox, kGroupComponent, kGroupWindows, kGroupOptions,
    kGroupMode, kGroupView, kGroupAnalysis, kGroupScope, kGroupCursor,
};
constexpr int kToolButtonGroupCount = 11;
constexpr int kToolGroupNameBase = 11200;

struct ToolButtonRow {
    const char* name;             // key in the settings file and the Tool Bar dialog
    std::uint32_t command;        // command sent; also the button's control id
    std::uint32_t bitmap;         // picture strip; for component buttons the user picture 0 to 19
    std::uint32_t cell;           // picture index in the strip
    std::uint32_t flags;          // kTool* bits
    std::uint16_t group;
    std::uint8_t onSchematic = 0;  // shown while no analysis is open
    std::uint8_t onAnalysis = 0;   // shown while an analysis is open
    std::uint8_t dlgSchematic = 0;  // working copies of the Tool Bar dialog
    std::uint8_t dlgAnalysis = 0;
    win::HBITMAP bitmapHandle = nullptr;
    std::int16_t state = 0;        // 0 enabled, 1 disabled
    std::uint16_t ownsBitmap = 0;
    std::uint32_t componentCommand = 0;  // component buttons: 42000 + n of their component
};

constexpr int kToolButtonRowCount = 149;
constexpr int kToolListRow = kToolButtonRowCount - 1;  // the palettes' list box
constexpr int kComponentButtonCount = 20;
constexpr std::uint32_t kFirstComponentButton = 14200;
constexpr std::uint32_t kComponentMenuBase = 42000;
constexpr std::uint32_t kFirstStripBitmap = 1000;
constexpr std::uint32_t kLastStripBitmap = 1019;
constexpr std::uint32_t kCloseBoxBitmap = 1960;
// Picture cells of the strips (taken from strip 1006: half its width, a quarter of its height).
constexpr int kToolCellWidth = 24;
constexpr int kToolCellHeight = 22;

std::span<ToolButtonRow> ToolButtonRows();
// Puts the table back as it starts (default choices, no states, no component commands).
void ResetToolButtonRowsForTests();

// The row of the command, 0 to 148, or -1.
int FindToolButton(std::uint32_t command);
// The command that a button sends on: a component button's component command, else the id itself.
std::uint32_t ToolCommandOf(std::uint32_t buttonId);
bool IsComponentButtonRow(const ToolButtonRow& row);

// The shown sets and component buttons as a new settings file has them, and the Tool Bar
// dialog's "&Default" on its working copies.
void SetDefaultToolButtonChoice();
void ApplyDefaultToolButtonChoice(bool workingCopies);
// The 30 rows hidden on both bars by default.
std::span<const char* const> DefaultHiddenToolButtons();

}  // namespace kq5
