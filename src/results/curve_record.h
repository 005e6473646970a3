#pragma once
// The plot of a circuit: its curve records (one per plotted or printed expression row), the
// per-kind option words, the plot objects, and the waveform store that keeps every computed
// point of every run together with the run records that label the runs.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/font_description.h"
#include "core/expr_compiler.h"
#include "core/linked_list.h"
#include "platform/win_types.h"
#include "core/import_entry.h"
#include "results/plot_object.h"

namespace kq5 {

// Curve flags.
inline constexpr std::uint32_t kCurveHasState = 0x1;        // its expression keeps state cells
inline constexpr std::uint32_t kCurveUsesDifference = 0x2;  // its expression uses DIFA or DIFD

// Variable indices of a curve: its X and its Y.
inline constexpr int kWaveformX = 0;
inline constexpr int kWaveformY = 1;
// Store slots per curve: analysis windows use the first two, performance windows all six.
inline constexpr int kCurveStoreSlots = 6;

// Role flags of a curve.
inline constexpr std::uint32_t kCurveRolePrinted = 0x1;  // made for a row with the numeric output flag
inline constexpr std::uint32_t kCurveRolePlotted = 0x4;  // made for a row with a plot group digit

// Range modes of a curve axis.
inline constexpr std::int32_t kRangeFromSetup = -1;
inline constexpr std::int32_t kRangeAutomatic = -2;
inline constexpr std::int32_t kRangeAutoScaled = -3;

// The stepping slots whose values a run record keeps.
inline constexpr int kRunSteppedValues = 10;

// How one axis of a curve is printed into the numeric output file; the plot set-up fills it
// from the limits row.
struct CurvePrintAxis {
    bool print = false;
    std::string format = "%10.3e";  // printf format of one cell
    int cellWidth = 10;             // width the format gives a cell
    char prefix = 0;                // engineering prefix letter of the printed values, 0 none
    double printScale = 1.0;        // values are multiplied by this before printing
    int unitIndex = -1;             // index into the unit names, -1 none
};

struct WaveformStore;

// A number format of a curve's values: the text as the user wrote it ("3E", "5.3"), the
// printf format made from it, and the width that format prints.
struct NumberFormat {
    std::string text;
    std::string printfFormat = "%10.3e";
    std::int32_t width = 10;
};

// Kinds of a plot group.
inline constexpr std::int32_t kGroupAnalog = 0;
inline constexpr std::int32_t kGroupDigital = 1;
inline constexpr std::int32_t kGroupMixed = 2;

struct CurveRecord {
    std::string xExpressionText;
    std::string yExpressionText;
    CompiledExpression xExpression;
    CompiledExpression yExpression;
    std::uint32_t flags = 0;

    std::int32_t state = 0;    // 0 shown; 1 hidden by "Show"; non-zero: not auto-scaled
    std::int32_t newData = 1;  // set when made and when a run ends
    std::array<double, 2> axisSpan{};
    std::array<double, 2> axisLow{};
    std::array<double, 2> axisHigh{};
    std::array<double, 2> savedLow{};
    std::array<double, 2> savedHigh{};
    std::array<double, 2> referenceLow{};
    std::array<double, 2> referenceHigh{};
    std::array<double, 2> dataMax{-1e200, -1e200};
    std::array<double, 2> dataMin{1e200, 1e200};
    win::RECT plotRect{};
    std::uint32_t roleFlags = 0;  // kCurveRole* bits
    std::int32_t rowIndex = 0;    // the limits row that made the curve
    std::array<std::int32_t, 3> captionPosition{};
    std::string name;
    std::int32_t color = 0;
    std::int32_t lineWidth = 1;
    std::array<std::int32_t, 2> rangeMode{kRangeFromSetup, kRangeFromSetup};
    std::array<double, 2> cursorX{};
    std::array<double, 2> cursorY{};
    std::array<double, 2> cursorZ{};
    std::array<std::int32_t, 2> cursorPoint{};
    std::array<std::int32_t, 2> cursorRun{-1, -1};
    std::array<std::int32_t, 2> linear{1, 1};  // 0 for a logarithmic axis
    NumberFormat valueFormat;        // of the Y values (the row's Fmt)
    NumberFormat secondValueFormat;  // of the X values
    std::string xScaleFormat;
    std::string yScaleFormat;
    std::int32_t plotGroup = 0;
    std::int32_t placeInGroup = 0;
    std::int32_t ownScale = 0;
    // A curve whose Y expression uses Fourier functions: the values of its operands kept at
    // every point of the run, and its function program for the pass after the run.
    std::unique_ptr<SpectralWorkRecord> dspWork;
    std::string dspProgram;
    std::int32_t digital = 0;  // its Y is a digital state
    std::int32_t busWidth = 0;  // bits of a bus value in the Y expression, 0 none
    std::int32_t groupKind = kGroupAnalog;  // of its plot group
    std::int32_t linePattern = 0;
    // Values of the present point and of the point before.
    std::array<double, 2> currentValue{};
    std::array<double, 2> previousValue{};
    // Point index at which the X maximum and the X minimum were met.
    std::int32_t xMaxPoint = -1;
    std::int32_t xMinPoint = -1;
    std::int32_t skipPoint = 0;  // the point was stored but not drawn
    // Engineering prefix of each axis' labels and readouts: its letter (0 none) and factor.
    std::array<char, 2> labelPrefix{};
    std::array<double, 2> labelFactor{1.0, 1.0};
    // Slot in the waveform store of each stored variable; -1 before the store is made.
    std::array<std::int32_t, kCurveStoreSlots> storeSlots{-1, -1, -1, -1, -1, -1};
    std::array<std::int32_t, 2> xLetter{};  // 'T' or 'F' when the axis is the sweep variable
    std::int32_t warmUpCount = 0;
    std::array<std::int32_t, 2> yPixelSpan{};
    std::int32_t lastPointIndex = -1;  // last stored point over all runs, -1 none
    // First and last point index of each completed run (inclusive), one entry per possible run.
    std::vector<std::int32_t> runFirstIndex;
    std::vector<std::int32_t> runLastIndex;
    // Per run: a difference function found a mismatch.
    std::vector<std::uint8_t> runDifferenceFound;
    std::array<std::int32_t, 2> lastTokenPosition{};
    std::array<std::int16_t, 2> directionFlags{};

    // What the numeric output file reads of the curve. The print flag of an axis is its repeat
    // flag: set for a printed curve whose expression no earlier printed column repeats.
    std::array<CurvePrintAxis, 2> printAxis;
    std::int32_t firstPointIndex = 0;  // first point the curve stored (it may start late)
    std::int32_t crossDomain = 0;      // a frequency curve of a transient run or the reverse
    std::int32_t resetCursor = 0;      // interpolation restarts at each row
    std::int32_t printCursor = 0;      // interpolation cursor while a table is written

    // The store that holds the curve's points: its plot's once the plot's store is made.
    WaveformStore* plotStore = nullptr;
    // A curve outside a plot keeps its points in a store of its own (made on the first write).
    std::unique_ptr<WaveformStore> ownStore;
    std::array<std::int32_t, 2> ownWritten{};  // values appended to X and Y of the own store
    // The IMPORT references of its expressions, in text order; sized once per parse because
    // the compiled expression holds the address of each record's value.
    std::vector<ImportRecord> imports;
    std::int32_t xImportCount = 0;  // the first records belong to the X expression

    // Value-to-pixel mapping of each axis for the device the plot was last laid out for.
    std::array<double, 2> axisScale{1.0, 1.0};
    std::array<double, 2> axisOffset{};
    std::array<std::int32_t, 2> axisLength{};
    // No engineering prefix fits the axis: its labels and readouts use the exponent form.
    std::array<std::int32_t, 2> noSuffix{};
    win::RECT labelRect{};                       // the area of the group's scales and captions
    std::array<std::int32_t, 2> captionWidths{};  // measured widths of the curve's two captions
    std::int32_t columnWidth = 0;                 // width of one Y scale column of its group
    std::int32_t scaleColumn = 0;                 // its column among the group's own Y scales
    std::array<std::int32_t, 2> previousPixel{};  // pixel of the point drawn last (digital: Y code)
    std::int32_t laneLow = 0;                     // pixel rows of a digital curve's lane
    std::int32_t laneHigh = 0;

    CurveRecord();
    ~CurveRecord();
    CurveRecord(const CurveRecord&) = delete;
    CurveRecord& operator=(const CurveRecord&) = delete;
};

// One run of a stepped, Monte Carlo, temperature-swept or two-input DC analysis.
struct RunRecord {
    std::int32_t caseNumber = 0;
    double temperature = 27.0;
    std::array<double, kRunSteppedValues> steppedValues{};
    double secondSweepValue = 0.0;
};

// One page of 1024 points of every slot.
inline constexpr int kWaveformPageShift = 10;
inline constexpr int kWaveformPagePoints = 1 << kWaveformPageShift;
inline constexpr int kWaveformPageMask = kWaveformPagePoints - 1;

// Page states.
inline constexpr std::uint16_t kPageNew = 0;
inline constexpr std::uint16_t kPageOnDisk = 1;
inline constexpr std::uint16_t kPageInMemory = 3;

struct PageEntry {
    std::uint16_t state = kPageNew;
    std::int32_t block = 0;  // wider than a 16-bit word: long runs need more than 65536 blocks
    // The page's values, slot s at buffers + s * 1024: its own block (state 3), or the resident
    // buffers while it is the current page (state 1); null otherwise.
    double* buffers = nullptr;
    std::unique_ptr<double[]> own;
};

struct WaveformStoreFile;

// How an analysis window's store keeps a slot. A digital state holds over many points, so its
// slot keeps the stretches of equal values instead of a column of every page; the X of a
// digital curve that is the analysis's own sweep keeps only the points where it differs from
// slot 0. A slot whose values nothing reads once they are past (a batch run that neither draws
// nor prints the curve) keeps only its last few points, enough for a run's first point to be
// placed at the start time.
inline constexpr std::uint8_t kSlotPaged = 0;
inline constexpr std::uint8_t kSlotChanges = 1;
inline constexpr std::uint8_t kSlotFollowsSweep = 2;
inline constexpr std::uint8_t kSlotRecent = 3;
inline constexpr std::int32_t kRecentSlotPoints = 4;

struct WaveformSlotValues {
    std::uint8_t kind = kSlotPaged;
    std::int32_t column = 0;           // paged: its column in a page
    std::vector<std::int32_t> starts;  // changes: first point of each stretch; follows: the points that differ
    // The stretch's value / the differing point's value. A change list keeps instead, while it
    // has met no more than 256 values (a digital state has a few), each stretch's index into
    // `palette`: a byte rather than eight.
    std::vector<double> values;
    std::vector<std::uint8_t> codes;
    std::vector<double> palette;
    std::int32_t count = 0;            // changes, recent: points written
    // recent: `values` holds the last kRecentSlotPoints points, point p at p % kRecentSlotPoints
    double lastValue = 0.0;            // changes: values.back(), at hand without a trip to the list
    std::size_t cursor = 0;            // changes: the stretch read last
};

struct WaveformStore {
    std::vector<double> resident;     // the buffers of the current disk-backed page, P * 1024
    std::int32_t slotCount = 1;       // S, slot 0 (the analysis X) included
    // Per slot how it is kept; empty when every slot is a page column of its own number.
    std::vector<WaveformSlotValues> slotValues;
    std::int32_t pagedSlotCount = 0;  // P, the columns of a page when slotValues is set
    std::int32_t residentCount = 0;
    std::int32_t highestBlockWritten = -1;
    std::int32_t currentPage = -1;
    std::int32_t full = 0;
    std::int32_t blocksUsed = 0;
    std::unique_ptr<WaveformStoreFile> file;
    std::string fileName;             // "graph.tmp", "graph .tmp", or empty
    std::int32_t dirty = 0;
    std::vector<RunRecord> runs;      // one per possible run
    std::int32_t runCount = 0;        // completed runs; the index of the run being filled
    std::int32_t maxRuns = 0;
    std::vector<PageEntry> pages;     // pages in use are pages[0 .. pageCount)
    std::int32_t pageCount = 0;
    std::int32_t pageCapacity = 0;
    // The point whose slot 0 the last StoreCurvePoint wrote, and the value: the curves of one
    // point share it, so it is written once (-1: none; any other write of slot 0 clears it).
    std::int32_t sweepPoint = -1;
    double sweepValue = 0.0;

    WaveformStore();
    ~WaveformStore();
    WaveformStore(const WaveformStore&) = delete;
    WaveformStore& operator=(const WaveformStore&) = delete;
};

// Display option bits of an analysis options word (plot menu commands 18400 to 18406).
inline constexpr std::uint32_t kPlotDataPoints = 0x0001;
inline constexpr std::uint32_t kPlotRuler = 0x0002;
inline constexpr std::uint32_t kPlotTokens = 0x0004;
inline constexpr std::uint32_t kPlotHorizontalGrids = 0x0008;
inline constexpr std::uint32_t kPlotVerticalGrids = 0x0010;
inline constexpr std::uint32_t kPlotMinorLogGrids = 0x0020;
inline constexpr std::uint32_t kPlotBaseLine = 0x10000;
// Run option bits: Save (0x100) and Retrieve (0x200) of the run options. The words
// themselves are kept with the plot's view settings (they travel in the circuit file).
inline constexpr std::uint32_t kPlotRunDataMask = 0x0300;

struct PlotRecord {
    std::vector<std::unique_ptr<CurveRecord>> curves;  // the curve array
    std::int32_t curveCount = 0;       // curves the plot shows
    std::int32_t builtCurveCount = 0;  // curves whose set-up finished
    std::int32_t currentCurve = 0;
    win::RECT updateRect{};
    WaveformStore store;
    FontSpec plotFont;
    std::int32_t textLineHeight = 0;
    std::array<std::int32_t, 3> saveRangeFlags{};
    bool phaseContinuation = false;  // PH continues across +-180 degrees
    LinkedList objects{NewListRecord<PlotObject>};      // plot objects (list kind 3)
    LinkedList undoObjects{NewListRecord<PlotObject>};  // kept by the last undoable edit

    // Drawing state of the analysis window that shows the plot.
    win::HFONT plotFontHandle = nullptr;  // the plot font at the present scale, owned
    std::int32_t averageCharWidth = 0;    // of the plot font, set by the layout
    std::int32_t groupCount = 0;          // largest plot group number in use
    std::int32_t minimumLaneHeight = 0;   // of a digital lane, pixels; 0 no minimum
    win::RECT pageRect{};                 // printer page being drawn; empty on the screen
    std::int32_t yScaleWidth = 0;         // total width of the Y scale columns
    std::int32_t analysisKind = 0;        // the analysis kind the plot shows
};

}  // namespace kq5
