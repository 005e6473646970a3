#pragma once
// Probe mode: the analysis runs once for the whole circuit and each click on the schematic adds
// (or replaces) a curve of the quantity at the place clicked. The curves live as probe rows, one
// per curve; the Vertical and Horizontal menus choose the quantity a click plots.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "plots/plot_click_services.h"

namespace kq5 {

struct CurveRecord;
struct PlotRecord;
struct SchematicItem;
struct WindowRecord;

struct ProbeRow {
    std::int32_t digital = 0;
    std::int32_t node = -1;
    std::int32_t secondNode = -1;
    std::array<char, 2> pinLetters{' ', ' '};  // nearer pin first
    std::int32_t yQuantity = 0;  // menu ids
    std::int32_t xQuantity = 0;
    std::int32_t xFunction = 0;  // AC only
    std::int32_t yFunction = 0;
    std::optional<std::string> name;  // part name; empty: no place needed; none: the node's name
    std::string xText;
    std::string yText;
    std::int32_t plotGroup = 1;
    std::array<std::int32_t, 2> autoRange{1, 1};
    std::array<double, 2> low{};
    std::array<double, 2> high{};
    std::array<std::string, 2> valueFormats;
    std::array<std::string, 2> scaleFormats;
    std::int32_t color = 0;
    std::int32_t lineWidth = 1;
    std::int32_t curveState = 0;
    std::optional<std::string> xOverride;
    std::optional<std::string> yOverride;
};

// The words of one analysis kind's probe menus.
enum ProbeWord : int {
    kProbeTraceMode = 0,
    kProbeKeep = 1,
    kProbeListCount = 2,
    kProbeSeparate = 3,
    kProbeXQuantity = 4,
    kProbeXFunction = 5,
    kProbeXScale = 6,
    kProbeXFirst = 7,
    kProbeXFunctionFirst = 8,
    kProbeXLast = 9,
    kProbeXFunctionLast = 10,
    kProbeYQuantity = 11,
    kProbeYFunction = 12,
    kProbeYScale = 13,
    kProbeYFirst = 14,
    kProbeYFunctionFirst = 15,
    kProbeYLast = 16,
    kProbeYFunctionLast = 17,
    kProbeGroup = 18,
};
struct ProbeMenuDescriptor {
    std::array<std::int32_t, 19> words{};
};

// Menu commands.
inline constexpr int kCmdProbeNewRun = 16000;
inline constexpr int kCmdProbeDeleteAll = 16002;
inline constexpr int kCmdProbeSeparate = 16003;
inline constexpr int kCmdProbeOneTrace = 16004;
inline constexpr int kCmdProbeManyTraces = 16005;
inline constexpr int kCmdProbeSaveAll = 16006;
inline constexpr int kCmdProbeSaveVI = 16007;
inline constexpr int kCmdProbeYLinear = 16054;
inline constexpr int kCmdProbeYLog = 16055;
inline constexpr int kCmdProbeXLinear = 16056;
inline constexpr int kCmdProbeXLog = 16057;
inline constexpr int kCmdProbeGroup1 = 16071;
inline constexpr int kCmdProbeGroup9 = 16079;
inline constexpr int kCmdProbeDeletePlots = 16081;
inline constexpr int kCmdProbeAddPlot = 16082;

struct ProbeModeState {
    std::vector<ProbeRow> rows;
    std::array<ProbeMenuDescriptor, 3> descriptors;
    std::int32_t keepWord = 1;  // 2 Save All, 1 Save V and I Only
    std::string lastAddPlotText;
    // Runs the analysis of the probe (its kept run in state 3, a new one in state 1): the current
    // analysis kind's run command. Returns 0 or a message id.
    std::function<int()> run;
};
ProbeModeState& ProbeMode();
void ResetProbeModeForTests();

// The descriptor of the current analysis kind (the transient one when none is current).
ProbeMenuDescriptor& CurrentProbeDescriptor();

// Grows or shrinks the rows; new rows start as InitProbeRow makes them. Nonzero when memory ran
// out.
int SetProbeRowCount(int n);
void InitProbeRow(int row);
void DeleteProbeRow(int row);

// The X (axis 0) or Y (axis 1) expression a row plots in the current analysis.
std::string BuildProbeExpression(const ProbeRow& row, int axis);

// Of the component pins at the given grid points, the pair whose line passes nearest the click
// (within the pins' box grown by 4 units), the nearer pin first; {-1, -1} when none.
std::array<int, 2> ChooseProbePinPair(const std::vector<win::POINT>& pins, win::POINT click);

// Probe mode begins once its analysis has started: one row of node 1 runs the whole circuit (its
// kept run serves the clicks that follow), then the rows are cleared and the probe is idle. A
// failure is reported, the analysis ends and its window closes; 0 or 15055.
int StartProbeRun();

// Runs or replots the rows (HandleProbeClick and HandleProbeMenuCommand: plot_click_services.h).
// 1 without doing anything when node is -1 and the last row has no name.
int ApplyProbeRows(int node, int secondNode);

// After the Characteristics dialog edited curve i: the row keeps its plot group, line width,
// state and expression texts, and per axis its automatic-range flag, formats and range.
void CopyCurveToProbeRow(int i, const CurveRecord& curve);
void CopyCurveAxesToProbeRow(int i, const CurveRecord& curve);

// "Delete Plots...": the chosen rows go, the plot is made again from the rest.
void DeleteProbePlots();
// "&Add Plot": a typed Y expression as a new row (index -1) or in place of row index's; 0 or the
// failure of the replot (the row is then taken out or given back its old contents).
int AddProbePlot(int index);

// Rebuilds the plot's curves from the rows: 0 or 15055.
int SetUpProbeCurves(WindowRecord* window);

// The menu entries' enabled and checked states, as the menus show them.
struct ProbeMenuItemState {
    bool enabled = true;
    bool checked = false;
};
ProbeMenuItemState ProbeMenuItem(int id);

}  // namespace kq5
