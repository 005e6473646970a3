#pragma once
// Windows derived from a circuit: performance windows, 3-D plot windows and Monte Carlo windows.
// A document keeps, per analysis kind, one list of each (list kinds 31, 32 and 34); the records
// hold what the windows show and where they stand, so that the circuit file can bring them back.
// Each record embeds the plot that carries its plot objects, and one or more function records
// (the performance function plotted, with its arguments, scales and cases).
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/graph3d_surface.h"
#include "core/font_description.h"
#include "core/linked_list.h"
#include "document/circuit_document.h"
#include "platform/window.h"
#include "results/curve_record.h"

namespace kq5 {

struct WindowRecord;

// Performance functions, in table order; a function record keeps the index.
constexpr int kPerformanceFunctionCount = 16;
constexpr int kNoPerformanceFunction = -1;
extern const std::array<std::string_view, kPerformanceFunctionCount> kPerformanceFunctionTable;

// The index of the name (case-blind), -1 when there is none.
int FindPerformanceFunction(std::string_view name);
// The name of an index; empty for -1 and every other index outside the table.
std::string_view PerformanceFunctionName(int index);

constexpr int kSteppingCases = 10;
// Widths of the inline texts of the window records.
constexpr std::size_t kFunctionBooleanLength = 51;
constexpr std::size_t kFunctionFormatLength = 9;
constexpr std::size_t kMonteCarloFormatLength = 63;
constexpr std::size_t kGraph3DValueFormatLength = 23;
constexpr std::size_t kGraph3DScaleFormatLength = 9;

constexpr int kAxisX = 0;
constexpr int kAxisY = 1;

// One performance function as a window plots it.
struct FunctionRecord {
    std::int32_t function = 0;  // index into kPerformanceFunctionTable, -1 none
    std::string expression;
    std::string boolean;        // at most kFunctionBooleanLength characters
    std::array<double, 3> args{};
    std::uint8_t color = 0;     // 0: automatic
    std::int32_t lineWidth = 1;
    std::int32_t plotNumber = 0;
    std::int32_t xData = 0;
    std::int32_t zData = 0;
    std::int32_t enable = 1;
    // Per axis X and Y.
    std::array<std::int32_t, 2> autoScale{1, 1};
    std::array<double, 2> rangeMin{};
    std::array<double, 2> rangeMax{};
    std::array<std::string, 2> valueFormat;  // at most kFunctionFormatLength characters
    std::array<std::string, 2> scaleFormat;  // at most kFunctionFormatLength characters
    std::int32_t temperatureCase = 0;
    std::int32_t monteCarloCase = 0;
    std::array<std::int32_t, kSteppingCases> steppingCases{};

    // Kept while the program runs, not in the file.
    std::int32_t curveIndex = 0;   // the measured curve's row among the analysis curves
    std::int32_t linePattern = 0;
    std::int16_t failed = 0;       // its curve or condition could not be used
};

// What every derived window shows and where.
struct DerivedWindowView {
    std::string title;
    std::int32_t autoTitle = 1;
    win::WINDOWPLACEMENT placement{};
    PrintPreview printPreview;
    FontSpec font;
    FontSpec objectFont;  // given to new plot objects
    std::uint8_t winBackgroundColor = 0;
    PlotRecord plot;      // its objects are the window's plot objects
};

// Performance window (list kind 31).
struct PerformanceWindowRecord : ListNode {
    DerivedWindowView view;
    std::uint8_t gridColor = 0;
    std::uint8_t graphBackground = 0;
    std::int32_t scaleColor = 0;
    std::int32_t sameYScales = 0;
    std::int32_t options = 0;  // the window's option word for its analysis kind
    std::vector<FunctionRecord> functions;

    // Kept while the program runs, not in the file: the open window (none while hidden), and
    // whether closing it keeps the record. Records read from a file start hidden.
    WindowRecord* window = nullptr;
    std::int32_t hidden = 1;
    // The window record shares the embedded plot through this anchor: the plot's settings are
    // kept by owner, so it needs one.
    std::shared_ptr<void> plotAnchor;
    std::shared_ptr<PlotRecord> SharedPlot();

    void FreeOwnedData() override;
};

// 3-D plot window (list kind 32).
struct Graph3DPlot : ListNode {
    DerivedWindowView view;
    std::uint8_t wireGridColor = 0;
    std::uint8_t gridColor = 0;
    std::array<std::uint8_t, 3> backgroundColor{};  // X, Y, Z planes
    std::int32_t color = 0;
    std::int32_t isolines = 0;
    std::int32_t axisBackground = 0;
    std::int32_t grid = 0;
    std::int32_t axes = 0;
    std::int32_t scales = 0;
    std::int32_t contour = 0;
    std::int32_t flashCursor = 0;
    std::int32_t patchesX = 0;
    std::int32_t patchesZ = 0;
    std::array<double, 3> rotation{};  // about X, Y, Z
    std::int32_t performance = 0;  // the Y type: kGraph3DExpression or kGraph3DPerformance
    std::array<std::string, 3> valueFormat;  // X, Y, Z; at most kGraph3DValueFormatLength
    std::array<std::string, 3> scaleFormat;  // X, Y, Z; at most kGraph3DScaleFormatLength
    FunctionRecord function;  // its xData and zData are the X and Z axis sources
    Graph3DSurface surface;   // computed from the runs, not stored

    void FreeOwnedData() override;
};

// Monte Carlo histogram window (list kind 34).
struct MonteCarloWindowRecord : ListNode {
    DerivedWindowView view;
    std::uint8_t backgroundColor = 0;
    std::uint8_t gridColor = 0;
    std::uint8_t foreColor = 0;
    std::uint8_t shadowColor = 0;
    std::int32_t intervals = 0;
    std::string format;  // at most kMonteCarloFormatLength characters
    FunctionRecord function;

    // What the window shows of the runs; not kept in the circuit file.
    std::vector<double> values;        // the measured value of each run that gave one
    std::vector<std::int32_t> valueRuns;  // the run number (from 1) of each value
    double low = 0.0;                  // the histogram's range
    double high = 0.0;
    std::string lowText;
    std::string highText;
    bool rangeFromData = true;         // the next drawing takes Low and High from the values
    double displayScale = 1.0;         // values are shown times this, with the suffix
    std::string scaleSuffix;
    std::int32_t runBlock = 0;         // the temperature whose runs are measured
    bool closing = false;
    WindowRecord* windowRecord = nullptr;  // the open window; null while it is closed

    void FreeOwnedData() override;
};

// Appends a window record to the document's list of that kind for the analysis kind (0 to 2).
// Null when memory runs out (the caller reports 15002) or the analysis kind is not one of the
// three.
PerformanceWindowRecord* AppendPerformanceWindow(CircuitDocument& document, int analysisKind);
Graph3DPlot* AppendGraph3DWindow(CircuitDocument& document, int analysisKind);
MonteCarloWindowRecord* AppendMonteCarloWindow(CircuitDocument& document, int analysisKind);

// The plot colours of curves: slot n of the ten takes colour 16 + n.
constexpr int kFirstCurveColorIndex = 16;
constexpr int kCurveColorSlots = 10;

// Grows a performance window's functions by one initialised record; 15002 when memory runs out.
int AppendPerformanceFunctionRecord(PerformanceWindowRecord& window);

}  // namespace kq5
