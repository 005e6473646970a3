#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/component_buttons.h"
#include "ui/tool_button_table.h"
#include "ui/tool_buttons.h"
#include "ui/window_record.h"
#include "platform/backend.h"

namespace kq5 {
namespace {

class ToolButtonsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetToolButtonRowsForTests();
        ResetDockedBarsForTests();
    }
    void TearDown() override
    {
        ResetToolButtonRowsForTests();
        ResetDockedBarsForTests();
    }

    static ToolButtonSituation Schematic()
    {
        ToolButtonSituation s;
        s.childActive = true;
        s.kind = kWindowSchematic;
        return s;
    }
    static ToolButtonSituation Plot(bool curves)
    {
        ToolButtonSituation s;
        s.childActive = true;
        s.kind = kWindowAnalysis;
        s.analysisOpen = true;
        s.plotHasCurves = curves;
        return s;
    }
    static const ToolButtonRow& Row(std::uint32_t command)
    {
        return ToolButtonRows()[static_cast<std::size_t>(FindToolButton(command))];
    }
};

TEST_F(ToolButtonsTest, TheTableHasItsRowsAndKeysOnce)
{
    ASSERT_EQ(ToolButtonRows().size(), 149u);
    EXPECT_EQ(ToolButtonRows()[kToolListRow].command, 102u);
    EXPECT_STREQ(ToolButtonRows()[kToolListRow].name, "");
    std::set<std::string> names;
    std::set<std::uint32_t> commands;
    int perGroup[kToolButtonGroupCount] = {};
    for (const ToolButtonRow& row : ToolButtonRows()) {
        EXPECT_TRUE(commands.insert(row.command).second) << row.command;
        if (*row.name) { EXPECT_TRUE(names.insert(row.name).second) << row.name; }
        ASSERT_LT(row.group, kToolButtonGroupCount);
        ++perGroup[row.group];
    }
    const int expected[kToolButtonGroupCount] = {23, 17, 5, 20, 6, 5, 25, 10, 19, 11, 8};
    for (int g = 0; g < kToolButtonGroupCount; ++g) EXPECT_EQ(perGroup[g], expected[g]) << "group " << g;
    EXPECT_EQ(FindToolButton(17504), FindToolButton(17504));
    EXPECT_EQ(FindToolButton(12345), -1);
}

TEST_F(ToolButtonsTest, StatesFollowTheWindowKind)
{
    ToolButtonSituation none;
    // Without a child window only the 0x8000 rows work: Open, Calculator, Zoom.
    EXPECT_EQ(ToolButtonStateFor(17102, none), 0);
    EXPECT_EQ(ToolButtonStateFor(17312, none), 0);
    EXPECT_EQ(ToolButtonStateFor(17103, none), 1);
    EXPECT_EQ(ToolButtonStateFor(12345, Schematic()), 1);  // not in the table

    EXPECT_EQ(ToolButtonStateFor(17209, Schematic()), 0);  // Rotate
    EXPECT_EQ(ToolButtonStateFor(18400, Schematic()), 1);  // Data points belong to plots
    EXPECT_EQ(ToolButtonStateFor(18400, Plot(true)), 0);
    EXPECT_EQ(ToolButtonStateFor(17209, Plot(true)), 1);

    ToolButtonSituation text = Schematic();
    text.kind = kWindowTextCircuit;
    EXPECT_EQ(ToolButtonStateFor(17502, text), 0);  // Add Model Statements: text and library
    EXPECT_EQ(ToolButtonStateFor(17209, text), 1);
    ToolButtonSituation library = text;
    library.kind = kWindowModelLibrary;
    EXPECT_EQ(ToolButtonStateFor(17135, library), 0);
    EXPECT_EQ(ToolButtonStateFor(12510, library), 1);  // no printing a model library

    // The 0x40000 rows need curves even where their window bit matches.
    EXPECT_EQ(ToolButtonStateFor(17182, Plot(false)), 1);
    EXPECT_EQ(ToolButtonStateFor(17182, Plot(true)), 0);
}

TEST_F(ToolButtonsTest, RunControlAndCountsDecideTheirButtons)
{
    ToolButtonSituation s = Plot(true);
    EXPECT_EQ(ToolButtonStateFor(16059, s), 0);  // Start
    EXPECT_EQ(ToolButtonStateFor(18613, s), 1);  // Stop
    EXPECT_EQ(ToolButtonStateFor(16058, s), 1);  // Pause
    s.running = true;
    EXPECT_EQ(ToolButtonStateFor(16059, s), 1);
    EXPECT_EQ(ToolButtonStateFor(18613, s), 0);
    EXPECT_EQ(ToolButtonStateFor(16058, s), 0);
    EXPECT_EQ(ToolButtonStateFor(17150, s), 1);  // Stepping not while running
    s.paused = true;
    EXPECT_EQ(ToolButtonStateFor(18613, s), 1);

    ToolButtonSituation page = Schematic();
    EXPECT_EQ(ToolButtonStateFor(12201, page), 1);
    page.pageCount = 2;
    EXPECT_EQ(ToolButtonStateFor(12201, page), 0);

    ToolButtonSituation perf = Plot(true);
    EXPECT_EQ(ToolButtonStateFor(14570, perf), 1);
    perf.steppedData = true;
    EXPECT_EQ(ToolButtonStateFor(14570, perf), 0);
    perf.performanceWindows = 10;
    EXPECT_EQ(ToolButtonStateFor(14570, perf), 1);
}

TEST_F(ToolButtonsTest, WhileBusyOnlyTheBusyRowsChange)
{
    ASSERT_EQ(Row(17209).state, 0);
    EXPECT_FALSE(SetToolButtonState(17209, 1, true));  // Rotate has no 0x20000
    EXPECT_EQ(Row(17209).state, 0);
    EXPECT_TRUE(SetToolButtonState(17303, 1, true));   // Tile Horizontal has it
    EXPECT_EQ(Row(17303).state, 1);
    EXPECT_FALSE(SetToolButtonState(17303, 1, false));  // unchanged
}

TEST_F(ToolButtonsTest, EditButtonsFollowTheWindowsEditState)
{
    ToolButtonSituation s = Schematic();
    s.hasItems = true;
    ComputeToolButtonStates(s);
    EXPECT_EQ(Row(17200).state, 1);  // nothing to undo
    EXPECT_EQ(Row(17201).state, 1);  // no selection
    EXPECT_EQ(Row(17203).state, 1);  // empty clipboard
    s.canUndo = s.hasSelection = s.clipboardFull = true;
    std::vector<std::uint32_t> changed = ComputeToolButtonStates(s);
    EXPECT_EQ(Row(17200).state, 0);
    EXPECT_EQ(Row(17201).state, 0);
    EXPECT_EQ(Row(17203).state, 0);
    EXPECT_NE(std::find(changed.begin(), changed.end(), 17200u), changed.end());
}

TEST_F(ToolButtonsTest, DefaultSetsHideTheThirtyAndTheUnnamedComponentButtons)
{
    EXPECT_EQ(DefaultHiddenToolButtons().size(), 30u);
    for (const char* name : DefaultHiddenToolButtons()) {
        int row = -1;
        for (int i = 0; i < kToolButtonRowCount; ++i)
            if (std::string(ToolButtonRows()[static_cast<std::size_t>(i)].name) == name) row = i;
        ASSERT_GE(row, 0) << name;
        EXPECT_EQ(ToolButtonRows()[static_cast<std::size_t>(row)].onSchematic, 0) << name;
        EXPECT_EQ(ToolButtonRows()[static_cast<std::size_t>(row)].onAnalysis, 0) << name;
    }
    EXPECT_EQ(Row(14200).onSchematic, 1);  // GROUND
    EXPECT_EQ(Row(14207).onSchematic, 1);  // PULSE SOURCE
    EXPECT_EQ(Row(14208).onSchematic, 0);  // no name
    EXPECT_EQ(Row(17209).onSchematic, 1);
    EXPECT_EQ(Row(17209).onAnalysis, 0);   // not available with an analysis open
    EXPECT_EQ(Row(18400).onAnalysis, 1);
}

TEST_F(ToolButtonsTest, ShownButtonsDependOnTheBarAndTheAnalysis)
{
    ToolButtonSituation s = Schematic();
    const int rotate = FindToolButton(17209);
    const int pause = FindToolButton(16058);
    EXPECT_TRUE(IsToolButtonShown(0, rotate, s));
    EXPECT_FALSE(IsToolButtonShown(1, rotate, s));  // palettes hold only their list
    EXPECT_FALSE(IsToolButtonShown(0, FindToolButton(17104), s));  // Save As: menu only
    bool disabled = false;
    EXPECT_FALSE(IsToolButtonShown(0, pause, s, &disabled));
    EXPECT_TRUE(disabled);
    s = Plot(true);
    EXPECT_TRUE(IsToolButtonShown(0, pause, s));
    s.analysisState = 2;  // 0x100 rows go while the document's analysis is busy
    EXPECT_FALSE(IsToolButtonShown(0, pause, s, &disabled));
    EXPECT_TRUE(disabled);
    EXPECT_FALSE(IsToolButtonShown(3, kToolListRow, s));
    DockedBars()[3].entries = {"R", "C"};
    EXPECT_TRUE(IsToolButtonShown(3, kToolListRow, s));
    EXPECT_FALSE(IsToolButtonShown(0, kToolListRow, s));
}

TEST_F(ToolButtonsTest, ComponentButtonsSendTheirComponentsCommand)
{
    EXPECT_EQ(ToolCommandOf(17209), 17209u);
    ToolButtonRows()[static_cast<std::size_t>(FindToolButton(14203))].componentCommand = 42007;
    EXPECT_EQ(ToolCommandOf(14203), 42007u);
    EXPECT_EQ(ToolCommandOf(14204), 0u);
}

TEST_F(ToolButtonsTest, ButtonsFlowIntoLinesWithGapsAfterClusters)
{
    DockedBars()[0].pos = kBarTop;
    ToolButtonSituation s = Schematic();
    ToolLayout wide = LayoutToolButtons(0, 2000, s, 768);
    ASSERT_GT(wide.buttons.size(), 10u);
    EXPECT_EQ(wide.height, 1 + kToolCellHeight);  // one line
    // Neighbours overlap by a pixel; a cluster's last button is followed by 3 pixels.
    for (std::size_t i = 1; i < wide.buttons.size(); ++i) {
        const std::uint32_t previous = wide.buttons[i - 1].first;
        const int gap = (ToolButtonRows()[static_cast<std::size_t>(FindToolButton(previous))].flags & kToolClusterEnd) ? 3 : 0;
        EXPECT_EQ(wide.buttons[i].second.left, wide.buttons[i - 1].second.right - 1 + gap) << previous;
    }
    ToolLayout narrow = LayoutToolButtons(0, (kToolCellWidth - 1) * 6 + 2, s, 768);
    EXPECT_EQ(narrow.buttons.size(), wide.buttons.size());
    EXPECT_GT(narrow.height, wide.height);
    for (const auto& [command, r] : narrow.buttons) EXPECT_LE(r.right, (kToolCellWidth - 1) * 6 + 2 + 3) << command;
}

TEST_F(ToolButtonsTest, BarRectanglesOnEachEdgeAndFloating)
{
    ToolButtonSituation s = Schematic();
    DockedBar& bar = DockedBars()[0];
    bar.pos = kBarTop;
    win::RECT top = ComputeBarRect(0, 1000, 700, 20, s, 1024, 768);
    EXPECT_EQ(top.left, -1);
    EXPECT_EQ(top.top, -1);
    bar.pos = kBarBottom;
    win::RECT bottom = ComputeBarRect(0, 1000, 700, 20, s, 1024, 768);
    EXPECT_EQ(bottom.bottom, 700 - 1);
    EXPECT_EQ(bottom.bottom - bottom.top, top.bottom - top.top);
    bar.pos = kBarLeft;
    win::RECT left = ComputeBarRect(0, 1000, 700, 20, s, 1024, 768);
    EXPECT_EQ(left.left, -1);
    EXPECT_LE(left.bottom - left.top, 700 - 20);
    EXPECT_EQ((left.right - left.left - 8) % (kToolCellWidth - 1), 0);
    bar.pos = kBarRight;
    win::RECT right = ComputeBarRect(0, 1000, 700, 20, s, 1024, 768);
    EXPECT_EQ(right.right, 1001);
    EXPECT_EQ(right.right - right.left, left.right - left.left);
    // A short frame needs more columns, never more than 20.
    win::RECT squat = ComputeBarRect(0, 1000, 120, 20, s, 1024, 768);
    EXPECT_GT(squat.right - squat.left, right.right - right.left);
    EXPECT_LE(squat.right - squat.left, (kToolCellWidth - 1) * 20 + 8);
    bar.pos = kBarFloating;
    bar.x = -50;
    bar.y = 40;
    win::RECT floating = ComputeBarRect(0, 1000, 700, 20, s, 1024, 768);
    EXPECT_EQ(floating.left, -1);  // raised to -1
    EXPECT_EQ(floating.top, 40);
    EXPECT_EQ(floating.right - floating.left, (kToolCellWidth - 1) * 6 + 8);
}

TEST_F(ToolButtonsTest, DockClassByThePointerPosition)
{
    const win::RECT client{0, 0, 800, 600};
    EXPECT_EQ(DockClassAt(0, win::POINT{790, 300}, client), kBarRight);
    EXPECT_EQ(DockClassAt(0, win::POINT{5, 300}, client), kBarLeft);
    EXPECT_EQ(DockClassAt(0, win::POINT{400, 5}, client), kBarTop);
    EXPECT_EQ(DockClassAt(0, win::POINT{400, 590}, client), kBarBottom);
    EXPECT_EQ(DockClassAt(0, win::POINT{400, 300}, client), kBarFloating);
    EXPECT_EQ(DockClassAt(2, win::POINT{790, 300}, client), kBarFloating);  // palettes always float
}

TEST_F(ToolButtonsTest, RunsAndDemosHideThePalettesButNotTheMainBar)
{
    DockedBars()[0].visible = 1;
    DockedBars()[2].visible = 1;
    DockedBars()[5].visible = 1;
    HideVisibleBars(0);
    EXPECT_EQ(DockedBars()[0].visible, 1);
    EXPECT_EQ(DockedBars()[2].visible, 0);
    RestoreHiddenBars(1);  // another mark restores nothing
    EXPECT_EQ(DockedBars()[2].visible, 0);
    RestoreHiddenBars(0);
    EXPECT_EQ(DockedBars()[2].visible, 1);
    EXPECT_EQ(DockedBars()[5].visible, 1);
    EXPECT_EQ(DockedBars()[3].visible, 0);
}

}  // namespace
}  // namespace kq5

#include "ui/edit_mode.h"
#include "ui/mode_cursors.h"
#include "platform/cursor.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {
namespace {

TEST_F(ToolButtonsTest, ComponentButtonsBindByNameAndHideWhenUnknown)
{
    BindComponentToolButtons({"Resistor", "GROUND", "NPN"});
    EXPECT_EQ(ToolCommandOf(14200), 42001u);  // GROUND, found case-blind
    EXPECT_EQ(ToolCommandOf(14201), 42000u);  // RESISTOR
    EXPECT_EQ(ToolCommandOf(14202), 0u);      // CAPACITOR is not in the library
    EXPECT_EQ(Row(14202).onSchematic, 0);
    EXPECT_EQ(FindComponentButton("npn"), 14204);
    EXPECT_EQ(FindComponentButton("CAPACITOR"), -1);  // hidden now
    EXPECT_EQ(FindComponentButton("OPAMP"), -1);
}

TEST_F(ToolButtonsTest, EditModesSetTheirCursor)
{
    win::HWND window = win::CreateWindowEx(0, "STATIC", "", win::WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    WindowRecord record;
    record.kind = kWindowSchematic;
    record.window = window;
    SetEditMode(&record, 17564);
    EXPECT_EQ(record.mode, 17564);
    EXPECT_EQ(win::GetCursor(), CursorForMode(17564));
    EXPECT_EQ(win::GetClassLongPtr(window, win::GCLP_HCURSOR), reinterpret_cast<win::ULONG_PTR>(CursorForMode(17564)));
    SetEditMode(&record, 12345);  // not a mode
    EXPECT_EQ(record.mode, 17564);
    int toggles = 0;
    EditModeHooks().toggleCursors = [&](WindowRecord*) { ++toggles; };
    SetEditMode(&record, kCommandCursorMode);
    SetEditMode(&record, 18671);
    SetEditMode(&record, 18672);
    EXPECT_EQ(toggles, 2);  // into and out of Cursor mode only
    EditModeHooks() = EditModeHookTable{};
    win::DestroyWindow(window);
}

}  // namespace
}  // namespace kq5
