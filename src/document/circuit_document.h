#pragma once
// The document of one circuit window, schematic or text: its items, grid texts, pages and text
// area, the part-number counters, the analysis settings of the three analysis kinds, the undo
// lists, the connectivity results and the flags that tell the rest of the program what has gone
// stale. Kept in the extra block of the window's record.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/font_description.h"
#include "core/expr_compiler.h"
#include "core/linked_list.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "platform/win_types.h"
#include "platform/window.h"
#include "results/limits_row.h"

namespace kq5 {

struct WindowRecord;

// View option bits and the commands that toggle them.
constexpr std::uint32_t kViewNodeNumbers = 0x0001;    // 17403
constexpr std::uint32_t kViewNodeVoltages = 0x0002;   // 17404 "Node Voltages / States"
constexpr std::uint32_t kViewPinConnections = 0x0004; // 17405
constexpr std::uint32_t kViewGridText = 0x0010;       // 17402
constexpr std::uint32_t kViewAttributeText = 0x0020;  // 17400
constexpr std::uint32_t kViewBorder = 0x0040;         // 17406
constexpr std::uint32_t kViewTitle = 0x0080;          // 17407
constexpr std::uint32_t kViewCommandText = 0x0100;    // 17401
constexpr std::uint32_t kViewCrosshair = 0x0200;      // 17408
constexpr std::uint32_t kViewGrid = 0x0400;           // 17409
constexpr std::uint32_t kDefaultViewOptions = 0x0130;

constexpr int kCommandNodeVoltages = 17404;

// The text-area pane word: the low bits give the pane showing the text area; while the hidden
// bit is set no pane index matches.
constexpr std::int32_t kTextAreaHidden = 0x1000;
constexpr std::int32_t kDefaultTextAreaPane = 0x1001;

constexpr int kPaneCount = 4;
constexpr int kAnalysisKindCount = 3;  // transient, AC, DC
constexpr int kPartCounterSlots = 27;  // "A" to "Z", then the types without a letter
constexpr int kSteppingSlots = 10;
constexpr int kWindowPlacements = 5;   // Circuit, CircuitA, Analysis, ProbeC, ProbeA

// A print preview setting: on/off and four doubles.
struct PrintPreview {
    std::int32_t on = 0;
    std::array<double, 4> values{};
};

// Element of the page array.
struct PageRecord {
    std::array<std::int32_t, kPaneCount> originX{};  // drawing-unit origin of each pane
    std::array<std::int32_t, kPaneCount> originY{};
    win::RECT extent{};                              // content extent, drawing units
    std::string name;
    std::array<std::int32_t, 2> grid{};              // the page's two grid values
    win::POINT lastPoint{1, 1};                      // grid point of the last click on the page
    std::array<PrintPreview, kAnalysisKindCount> printPreview{};
};

// The limits texts of each analysis kind.
enum TransientLimit { kLimitTRange, kLimitTStep, kLimitTNPts, kLimitTTemp, kTransientLimitCount };
enum AcLimit { kLimitFRange, kLimitANPts, kLimitATemp, kLimitAMaxChng, kLimitNInput, kLimitNOutput, kAcLimitCount };
enum DcLimit {
    kLimitI2Range, kLimitI2, kLimitI1Range, kLimitI1, kLimitDNPts, kLimitDTemp, kLimitDMaxChng, kDcLimitCount
};
struct AnalysisLimits {
    std::array<std::string, kTransientLimitCount> transient;
    std::array<std::string, kAcLimitCount> ac;
    std::array<std::string, kDcLimitCount> dc;
};

// Stepping slot flags.
constexpr std::uint32_t kStepLog = 0x01;
constexpr std::uint32_t kStepLinear = 0x02;
constexpr std::uint32_t kStepModel = 0x04;
constexpr std::uint32_t kStepComponent = 0x08;
constexpr std::uint32_t kStepOn = 0x10;
constexpr std::uint32_t kStepSymbolic = 0x20;
constexpr std::uint32_t kStepList = 0x40;
constexpr std::uint32_t kDefaultStepFlags = 0x0A;

struct SteppingSlot {
    std::uint32_t flags = kDefaultStepFlags;
    std::int32_t deviceIndex = 0;
    std::string name;
    std::string param;
    std::string from;
    std::string to;
    std::string value;
};

// Monte Carlo options of one analysis kind: bits 0 and 1 the distribution (1 Normal, 2 Linear,
// 3 Worst Case), bit 0x1000 the status.
constexpr std::uint32_t kMonteCarloDistributionMask = 0x0003;
constexpr std::uint32_t kMonteCarloOn = 0x1000;
constexpr std::size_t kMonteCarloRunsLength = 64;
struct MonteCarloOptions {
    std::uint32_t options = 1;
    std::string runs;         // at most kMonteCarloRunsLength characters
    std::string performance;
};

// DSP settings of the transient and AC analyses.
constexpr std::size_t kDspTextLength = 19;
struct DspSettings {
    std::int32_t on = 0;
    std::string max;
    std::string min;
    std::string nPts;
};

// Connectivity results. A row of the schematic node table stands for one positive node label
// (row index = label) or, after those, an interface node.
// The row kind is a NodeDomain (kNodeAnalog, kNodeDigital) or kNodeUnused.
constexpr std::uint8_t kNodeUnused = 99;
constexpr std::uint8_t kInterfaceNone = 0;
constexpr std::uint8_t kInterfaceAtoD = 1;
constexpr std::uint8_t kInterfaceDtoA = 2;
struct SchematicNodeRow {
    std::int32_t x = 0;  // the first pin that numbered the node
    std::int32_t y = 0;
    std::uint8_t kind = kNodeUnused;
    std::uint8_t direction = kInterfaceNone;
    std::int32_t nodeNumber = 0;
    std::int32_t label = 0;
    std::int16_t page = 0;
    double voltage = 0.0;  // stored voltage shown when no solution is at hand
};

constexpr std::uint16_t kDotJunction = 1;   // three or more ends meet
constexpr std::uint16_t kDotNodeLabel = 3;  // point of a named node label
struct ConnectionDot {
    std::int32_t key = 0;  // x in the low 16 bits, y in the high 16 bits
    std::uint16_t flag = 0;
    std::int16_t page = 0;
};

// A text shown beside a connection point while node numbers or voltages are shown: its kind is
// the connection dot's flag (0 a single end, 1 a connection, 3 a named node label).
struct NodeLabel {
    std::int32_t x = 0;  // grid units
    std::int32_t y = 0;
    std::int16_t page = 0;
    std::uint16_t kind = 0;
    bool boxed = false;
    std::string text;  // node number, ":" and value
};

// First and last item and grid text that the next repaint draws; a null first means none.
struct DrawRange {
    SchematicItem* firstItem = nullptr;
    SchematicItem* lastItem = nullptr;
    GridText* firstGridText = nullptr;
    GridText* lastGridText = nullptr;
};

struct CircuitDocument {
    CircuitDocument();
    ~CircuitDocument();
    CircuitDocument(const CircuitDocument&) = delete;
    CircuitDocument& operator=(const CircuitDocument&) = delete;

    std::string name;           // the circuit's file name (or its untitled name)
    int textLineCount = 0;      // cached line count of the text area, 0 when not cached
    std::int32_t fileVersion = 0;  // packed version of the file last loaded
    double zoomFactor = 1.0;    // drawing units to pane units
    double printerScale = 1.0;
    std::int32_t extentChanged = 0;
    std::uint32_t viewOptions = kDefaultViewOptions;
    win::HWND textAreaWindow = nullptr;

    // Fonts; of some only the colour byte is used.
    FontSpec componentFont;
    FontSpec elementFont;
    FontSpec wireFont;
    FontSpec selectFont;
    FontSpec pinFont;
    FontSpec boxRegionFont;
    FontSpec attributeFont;  // given to every new attribute
    FontSpec gridTextFont;   // given to every new grid text
    FontSpec titleBlockFont;
    FontSpec numOutFont;     // the window font, also used for text output
    FontSpec circuitObjectFont;  // its colour is the colour of new items
    FontSpec nodeNumberFont;
    FontSpec nodeVoltageFont;
    FontSpec analysisPlotFont;

    std::int32_t digitalPathColor = 0;
    std::int32_t backgroundColor = 0;  // "Circuit Background", erases panes
    std::int32_t drawingColor = 0;

    std::vector<PageRecord> pages;

    // Pane state of the four panes of a schematic window.
    std::array<std::int32_t, kPaneCount> panePage{};
    std::array<std::int32_t, kPaneCount> paneTabWidth{};
    std::array<std::int32_t, kPaneCount> paneFirstTab{};
    int currentPane = 0;
    std::int32_t textAreaPane = kDefaultTextAreaPane;
    std::int32_t splitterX = 0;
    std::int32_t splitterY = 0;
    std::array<win::WINDOWPLACEMENT, kWindowPlacements> placements{};

    // Text area of the window.
    std::int32_t textCommentColor = 0;
    std::int32_t textBackgroundColor = 0;

    std::int32_t connectivityMode = 0;   // 3 after loading a previous-generation file
    std::int32_t connectivityStale = 1;  // the schematic changed since node numbers were built
    std::int32_t resultsAvailable = 0;   // results of the last run may be shown

    std::array<SteppingSlot, kSteppingSlots> stepping;
    std::int32_t steppingSimultaneous = 0;
    std::array<std::int32_t, kAnalysisKindCount> monteCarloWord{1, 1, 1};
    std::array<MonteCarloOptions, kAnalysisKindCount> monteCarlo;
    std::array<DspSettings, 3> dsp;  // transient, AC and DC

    std::array<std::int32_t, kAnalysisKindCount> runStale{};
    std::int32_t animateWait = 0;
    std::int32_t animateWaitTime = 500;  // milliseconds
    AnalysisLimits limits;
    std::array<std::vector<LimitsRow>, kAnalysisKindCount> limitsRows;
    std::array<std::int32_t, kAnalysisKindCount> reduceDisplay{1, 1, 1};
    std::array<std::int32_t, kAnalysisKindCount> reduceSave{1, 1, 1};
    std::array<PrintPreview, kAnalysisKindCount> analysisPrintPreview{};
    std::array<std::int32_t, kAnalysisKindCount> printAutoTile{};
    std::array<std::int32_t, kAnalysisKindCount> printBlackBorder{};

    LinkedList itemList{NewListRecord<SchematicItem>};  // its count is NLCnt
    LinkedList gridTextList{NewListRecord<GridText>};   // its count is TXCnt
    DrawRange drawRange;
    std::array<std::int32_t, kPartCounterSlots> partCounters{};

    // Windows derived from the circuit, per analysis kind.
    std::array<LinkedList, kAnalysisKindCount> performanceWindows;
    std::array<LinkedList, kAnalysisKindCount> graph3DWindows;
    std::array<LinkedList, kAnalysisKindCount> monteCarloWindows;

    LinkedList undoItemList{NewListRecord<SchematicItem>};
    LinkedList undoGridTextList{NewListRecord<GridText>};
    std::int16_t plotSetting1 = 1;
    std::int16_t plotSetting2 = 2;

    // Connectivity results.
    std::vector<SchematicNodeRow> schematicNodeTable;
    std::int32_t nodeCount = 0;
    std::int32_t nodeCount2 = 0;
    std::array<std::int32_t, 2> analysisNodeCounts{};
    std::vector<ConnectionDot> connectionDots;
    std::vector<NodeLabel> nodeLabels;
    std::array<std::vector<win::RECT>, kPaneCount> nodeLabelRects;  // per pane, as last drawn
};

// The page shown in a pane (the current pane for -1); 0 when the pane's index is out of range.
int PanePage(const CircuitDocument& document, int pane = -1);

// Appends a new item / grid text on the page of the current pane (items take the colour of the
// circuit-object font, grid texts the grid-text font and number -1). Null when memory runs out;
// the caller reports 15002 and the lists stay as they were.
SchematicItem* NewSchematicItem(WindowRecord* record);
GridText* NewGridText(WindowRecord* record);

// Reports a change of the circuit: marks the window modified and connectivity and the results
// stale, and takes node voltages off the schematic.
void MarkModified(WindowRecord* record);
// Marks the window modified without touching the document.
void SetRedrawFlags(WindowRecord* record);

// The document that commands act on, with its window record; both null or both set.
struct DocumentState {
    WindowRecord* currentRecord = nullptr;
    CircuitDocument* currentDocument = nullptr;
    // An attribute text the user picked, with its component.
    SchematicItem* pickedItem = nullptr;
    ComponentAttribute* pickedAttribute = nullptr;
};

DocumentState& Documents();
void ResetDocumentStateForTests();

// Sets the current document from a record (null clears both).
void SetCurrentDocument(WindowRecord* record);
WindowRecord* CurrentRecord();
CircuitDocument* CurrentDocument();

}  // namespace kq5
