#include "plots/probe_mode.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <new>

#include "analog/ac_run.h"
#include "analog/analog_state.h"
#include "analog/analysis_start.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "ui/dialog_services.h"
#include "ui/preference_values.h"
#include "ui/wait_cursor.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "core/format.h"
#include "core/linked_list.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/component_library.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/hit_test.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/model_types.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "analog/analysis_run_services.h"
#include "results/curve_record.h"
#include "document/default_limits_rows.h"
#include "plots/import_reader.h"
#include "plots/plot_setup.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr std::array<const char*, 6> kFunctionNames = {"MAG", "DB", "PH", "GD", "RE", "IM"};
constexpr int kWaveformColorFirst = 16;  // "Waveform 1" among the default attributes
constexpr int kPinBoxMargin = 4;
constexpr int kSelectNodesHelp = 16080;

ProbeMenuDescriptor StartDescriptor(int kind)
{
    ProbeMenuDescriptor d;
    switch (kind) {
    case kAnalysisAc:
        d.words = {16005, 16007, 2, 0, 16043, 16044, 1, 16039, 16044, 16043, 16049, 16028, 16034, 2, 16028, 16033,
                   16032, 16038, 1};
        break;
    case kAnalysisDc:
        d.words = {16005, 16007, 1, 0, 16052, 0, 2, 16052, 0, 16053, 0, 16050, 0, 2, 16050, 0, 16051, 0, 1};
        break;
    default:
        d.words = {16005, 16007, 1, 0, 16027, 0, 2, 16018, 0, 16027, 0, 16008, 0, 2, 16008, 0, 16017, 0, 1};
        break;
    }
    return d;
}

int CurrentKind()
{
    const int kind = Analysis().analysisKind;
    return kind >= 0 && kind < 3 ? kind : kAnalysisTransient;
}

// The quantity letter of a menu choice: its place in its list.
char QuantityLetter(int kind, int id, int first)
{
    static constexpr std::array<std::string_view, 3> kLetters = {"VIRQCXLBHT", "VI12F", "VI"};
    const std::string_view letters = kLetters[static_cast<std::size_t>(kind)];
    const int index = id - first;
    return index >= 0 && index < static_cast<int>(letters.size()) ? letters[static_cast<std::size_t>(index)] : 'V';
}

WindowRecord* CircuitWindow()
{
    if (RunControl().circuitWindow) return RunControl().circuitWindow;
    return CurrentRecord();
}

// Whether the circuit's last build gave it nodes of a domain (0 analog, 1 digital).
bool CircuitHasNodes(int domain)
{
    const WindowRecord* circuit = CircuitWindow();
    return circuit && circuit->document && circuit->document->analysisNodeCounts[static_cast<std::size_t>(domain)] > 0;
}

std::string DcSourceName()
{
    WindowRecord* circuit = CircuitWindow();
    return circuit && circuit->document ? circuit->document->limits.dc[kLimitI1] : std::string();
}

bool InRange(int id, int first, int last) { return first != 0 && id >= first && id <= last; }

// Component types with nothing to probe.
bool NothingToProbe(const SchematicItem& item)
{
    if (!item.definition) return true;
    static constexpr std::array<std::string_view, 4> kNames = {"Short", "Ground", "Jumper", "Tie"};
    const ComponentTypeRow* row = FindComponentTypeRow(item.definition->type);
    if (!row || !row->name || !*row->name) return true;
    for (std::string_view n : kNames)
        if (n == row->name) return true;
    return false;
}

bool IsTransistor(const SchematicItem& item)
{
    const ComponentTypeRow* row = item.definition ? FindComponentTypeRow(item.definition->type) : nullptr;
    if (!row || row->modelType < 0) return false;
    const auto models = ModelTypeTable();
    if (row->modelType >= static_cast<int>(models.size())) return false;
    static constexpr std::array<std::string_view, 7> kTransistors = {"NPN", "PNP", "NMOS", "PMOS", "NJF", "PJF", "GASFET"};
    const std::string_view name = models[static_cast<std::size_t>(row->modelType)].name;
    for (std::string_view t : kTransistors)
        if (name == t) return true;
    return false;
}

// Pins of macro and subcircuit definitions whose type letter is upper case are not probed.
bool SkippedPin(const SchematicItem& item, int pin)
{
    if (!item.definition || pin >= static_cast<int>(item.definition->pins.size())) return true;
    const char letter = item.definition->pins[static_cast<std::size_t>(pin)].typeLetter;
    return std::isupper(static_cast<unsigned char>(letter)) != 0;
}

std::string PinNameOf(const SchematicItem& item, int pin)
{
    std::string name = ComponentTypePinName(item.definition->type, pin);
    if (name.empty() && pin < static_cast<int>(item.definition->pins.size()))
        name = item.definition->pins[static_cast<std::size_t>(pin)].name;
    // Gates name their pins by their layout ("In", "Out"): a list of blank lines tells the user
    // nothing.
    if (name.empty()) name = DefaultPinName(*item.definition, pin);
    return name;
}

void EndProbeRunState() { RunControl().probeState = kProbeIdle; }

// A full run is not needed when the run data file of this analysis, saved since the circuit
// last changed, fits the circuit: its run is plotted from, and what it kept sets the Save
// choice. True when that file is taken.
bool TakeKeptRun()
{
    RunControlState& rc = RunControl();
    const int kind = Analysis().analysisKind;
    const int mode = rc.runDataMode;
    const int stop = AnalogSolver().stopFlag;
    rc.runDataMode = kRunDataRetrieve;
    int counter = 0;
    const int opened = OpenSimulationDataFile(counter, kind == kAnalysisAc ? AcRun().noise : 0);
    const int kept = RunDataFile().readDataType;
    CloseSimulationDataFile();
    rc.runDataMode = mode;
    AnalogSolver().stopFlag = stop;
    if (opened != 0) return false;
    ProbeMode().keepWord = kept == kRunDataEverything ? 2 : 1;
    CurrentProbeDescriptor().words[kProbeKeep] = kept == kRunDataEverything ? kCmdProbeSaveAll : kCmdProbeSaveVI;
    return true;
}

// The run command of the current analysis: it replots from the kept run or simulates anew, as
// the probe state says.
int RunProbeAnalysis() { return RunAnalysisTimed(Analysis().analysisKind); }

}  // namespace

ProbeModeState& ProbeMode()
{
    static ProbeModeState state = [] {
        ProbeModeState s;
        for (int k = 0; k < 3; ++k) s.descriptors[static_cast<std::size_t>(k)] = StartDescriptor(k);
        s.run = RunProbeAnalysis;
        return s;
    }();
    return state;
}

void ResetProbeModeForTests()
{
    ProbeModeState& s = ProbeMode();
    s.rows.clear();
    for (int k = 0; k < 3; ++k) s.descriptors[static_cast<std::size_t>(k)] = StartDescriptor(k);
    s.keepWord = 1;
    s.lastAddPlotText.clear();
    s.run = RunProbeAnalysis;
}

ProbeMenuDescriptor& CurrentProbeDescriptor()
{
    return ProbeMode().descriptors[static_cast<std::size_t>(CurrentKind())];
}

void InitProbeRow(int index)
{
    std::vector<ProbeRow>& rows = ProbeMode().rows;
    if (index < 0 || index >= static_cast<int>(rows.size())) return;
    const ProbeMenuDescriptor& d = CurrentProbeDescriptor();
    ProbeRow row;
    row.xQuantity = d.words[kProbeXQuantity];
    row.xFunction = d.words[kProbeXFunction];
    row.yQuantity = d.words[kProbeYQuantity];
    row.yFunction = d.words[kProbeYFunction];
    row.plotGroup = d.words[kProbeGroup];
    const int k = (static_cast<int>(rows.size()) - 1) % 10;
    const PreferenceValues& p = PreferenceSettings();
    row.color = p.defaultAttributes[static_cast<std::size_t>(kWaveformColorFirst + k)].color;
    row.valueFormats = {p.valueFormat, p.valueFormat};
    row.scaleFormats = {p.scaleFormat, p.scaleFormat};
    rows[static_cast<std::size_t>(index)] = std::move(row);
}

int SetProbeRowCount(int n)
{
    std::vector<ProbeRow>& rows = ProbeMode().rows;
    n = std::max(n, 0);
    const int old = static_cast<int>(rows.size());
    try {
        rows.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        return 1;
    }
    if (n == 0) rows.shrink_to_fit();
    for (int i = old; i < n; ++i) InitProbeRow(i);
    return 0;
}

void DeleteProbeRow(int index)
{
    std::vector<ProbeRow>& rows = ProbeMode().rows;
    if (index < 0 || index >= static_cast<int>(rows.size())) return;
    rows.erase(rows.begin() + index);
    WindowRecord* circuit = CircuitWindow();
    if (circuit && circuit->plot && circuit->plot->curveCount > 0) --circuit->plot->curveCount;
}

std::string BuildProbeExpression(const ProbeRow& row, int axis)
{
    const int kind = CurrentKind();
    const ProbeMenuDescriptor& d = CurrentProbeDescriptor();
    const bool x = axis == 0;
    const int quantity = x ? row.xQuantity : row.yQuantity;
    const int first = d.words[x ? kProbeXFirst : kProbeYFirst];
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(QuantityLetter(kind, quantity, first))));
    if (c == 'T' || c == 'F') return std::string(1, c);
    if (c == '1') return "inoise";
    if (c == '2') return "onoise";

    std::string place;
    if (x && kind == kAnalysisDc)
        place = DcSourceName();
    else if (row.name)
        place = *row.name;
    std::string text;
    if (!(x && kind == kAnalysisDc) && !row.name) {
        // A digital node reads its state; every other node its analog quantity.
        if (row.digital)
            text = StrPrintf("D(%s)", CopyDigitalNodeName(row.node).c_str());
        else
            text = StrPrintf("%c(%s)", c, CopyAnalogNodeName(row.node).c_str());
    } else if ((x && kind == kAnalysisDc) || row.pinLetters[0] == ' ') {
        text = StrPrintf("%c(%s)", c, place.c_str());
    } else if (c == 'V' || c == 'Q' || c == 'C') {
        text = StrPrintf("%c%c%c(%s)", c, row.pinLetters[0], row.pinLetters[1], place.c_str());
    } else if (c == 'I') {
        text = StrPrintf("i%c(%s)", row.pinLetters[0], place.c_str());
    } else {
        text = StrPrintf("%c(%s)", c, place.c_str());
    }
    if (kind == kAnalysisAc) {
        const int function = x ? row.xFunction : row.yFunction;
        const int functionFirst = d.words[x ? kProbeXFunctionFirst : kProbeYFunctionFirst];
        const int index = std::clamp(function - functionFirst, 0, static_cast<int>(kFunctionNames.size()) - 1);
        text = StrPrintf("%s(%s)", kFunctionNames[static_cast<std::size_t>(index)], text.c_str());
    }
    return text;
}

std::array<int, 2> ChooseProbePinPair(const std::vector<win::POINT>& pins, win::POINT click)
{
    std::array<int, 2> best{-1, -1};
    double bestDistance = std::numeric_limits<double>::infinity();
    const int n = static_cast<int>(pins.size());
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const win::POINT a = pins[static_cast<std::size_t>(i)], b = pins[static_cast<std::size_t>(j)];
            if (click.x < std::min(a.x, b.x) - kPinBoxMargin || click.x > std::max(a.x, b.x) + kPinBoxMargin ||
                click.y < std::min(a.y, b.y) - kPinBoxMargin || click.y > std::max(a.y, b.y) + kPinBoxMargin)
                continue;
            const double dx = b.x - a.x, dy = b.y - a.y;
            const double length2 = dx * dx + dy * dy;
            const double px = click.x - a.x, py = click.y - a.y;
            // Squared distance from the line through both pins; two pins at one point: from it.
            const double cross = px * dy - py * dx;
            const double distance = length2 > 0.0 ? cross * cross / length2 : px * px + py * py;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = {i, j};
            }
        }
    }
    if (best[0] < 0) return best;
    const win::POINT a = pins[static_cast<std::size_t>(best[0])], b = pins[static_cast<std::size_t>(best[1])];
    const double da = std::hypot(click.x - a.x, click.y - a.y), db = std::hypot(click.x - b.x, click.y - b.y);
    if (db < da) std::swap(best[0], best[1]);
    return best;
}

int ApplyProbeRows(int node, int secondNode)
{
    ProbeModeState& probe = ProbeMode();
    if (probe.rows.empty()) return 1;
    ProbeRow& last = probe.rows.back();
    if (node == -1 && !last.name) return 1;
    if (node != -2) {
        last.node = node;
        last.secondNode = secondNode;
    }
    const WindowRecord* circuit = CircuitWindow();
    BeginWaitCursor(circuit ? circuit->window : nullptr);
    probe.keepWord = CurrentProbeDescriptor().words[kProbeKeep] == kCmdProbeSaveAll ? 2 : 1;
    // What the run that probe mode keeps is to hold: a V-and-I run is smaller and quicker to save.
    RunDataFile().dataType = probe.keepWord == 2 ? kRunDataEverything : kRunDataVoltagesCurrents;
    RunControlState& rc = RunControl();
    // A circuit without analog nodes can only be probed for logic states.
    if ((rc.probeState == kProbeNewRun || rc.probeState == kProbeFullRun) && !CircuitHasNodes(0)) last.digital = 1;
    if (rc.probeState == kProbeFullRun && TakeKeptRun()) {
        EndProbeRunState();
        EndWaitCursor();
        return 0;
    }
    if (rc.probeState == kProbeNewRun) rc.probeState = kProbeFullRun;
    const int result = probe.run ? probe.run() : 0;
    EndProbeRunState();
    EndWaitCursor();
    return result;
}

namespace {

// One row of node 1 runs the whole circuit (state 1, or 4 for New Run); its run is kept for the
// clicks that follow and the row goes again. The row plots a node voltage against the sweep,
// whatever the menus now choose for a click: a current or a noise of node 1 means nothing.
int RunWholeCircuit(int state)
{
    SetProbeRowCount(0);
    if (SetProbeRowCount(1) != 0) return kMsgInsufficientMemory;
    ProbeRow& row = ProbeMode().rows.back();
    const ProbeMenuDescriptor start = StartDescriptor(CurrentKind());
    row.xQuantity = start.words[kProbeXQuantity];
    row.yQuantity = start.words[kProbeYQuantity];
    RunControl().probeState = state;
    const int result = ApplyProbeRows(1, -1);
    SetProbeRowCount(0);
    return result;
}

}  // namespace

int StartProbeRun()
{
    WindowRecord* circuit = CircuitWindow();
    // The full run simulates whatever the rows of this kind ask for, so empty rows get their
    // defaults first, as a run from the limits dialog would.
    if (circuit && circuit->document) FillDefaultLimitsRows(circuit, false, false, false);
    const int result = RunWholeCircuit(kProbeFullRun);
    if (result == 0) {
        EndProbeRunState();
        return 0;
    }
    if (result != kMsgAlreadyReported && result != kMsgStoppedByUser) ReportLineMessage(circuit, result);
    ExitAnalysis();
    return kMsgAlreadyReported;
}

namespace {

// A digital part, or a part that stands for a subcircuit: the user picks its pins; each chosen
// pin is a row of its own. A subcircuit's part has no quantity under its own name (the circuit
// holds only what the subcircuit is made of), so its pins are the places to probe; each of them
// is plotted as the kind of signal it carries.
int ProbePartPins(const SchematicItem& item, int rowIndex, bool digitalPart)
{
    ProbeModeState& probe = ProbeMode();
    ListSelectDesc desc;
    desc.caption = "Select Node(s)";
    desc.several = true;
    desc.helpId = kSelectNodesHelp;
    std::vector<int> pins;
    for (int p = 0; p < item.PinCount(); ++p) {
        if (SkippedPin(item, p)) continue;
        desc.items.push_back(PinNameOf(item, p));
        pins.push_back(p);
    }
    if (RunListSelectDialog(desc) != win::IDOK || desc.selection.empty()) {
        probe.rows.erase(probe.rows.begin() + rowIndex);
        return 0;
    }
    bool first = true;
    for (int chosen : desc.selection) {
        if (chosen < 0 || chosen >= static_cast<int>(pins.size())) continue;
        if (!first && SetProbeRowCount(static_cast<int>(probe.rows.size()) + 1)) break;
        ProbeRow& row = first ? probe.rows[static_cast<std::size_t>(rowIndex)] : probe.rows.back();
        const int pin = pins[static_cast<std::size_t>(chosen)];
        row.digital = digitalPart ? 1 : GetPinSignalKind(&item, pin);
        row.node = item.pinNodes[static_cast<std::size_t>(pin)];
        row.secondNode = -1;
        row.name.reset();
        first = false;
    }
    RunControl().probeState = kProbeReplot;
    return ApplyProbeRows(-2, -1) == 0 ? 1 : 0;
}

void ReplotProbe();

// No probe curves left: the plot is drawn again without them.
void ClearProbePlot()
{
    WindowRecord* circuit = CircuitWindow();
    if (circuit && circuit->plot) circuit->plot->curveCount = 0;
    const WindowRecord* analysis = RunControl().analysisWindow;
    if (analysis && analysis->window) win::InvalidateRect(analysis->window, nullptr, 1);
}

// New Run: the whole circuit is simulated and kept again, as when probe mode began, so that the
// clicks that follow plot this run and not the one before; the curves already probed are then
// drawn again from it. A run that fails or is stopped leaves the kept run as it was.
void NewProbeRun()
{
    ProbeModeState& probe = ProbeMode();
    std::vector<ProbeRow> rows = std::move(probe.rows);
    probe.rows.clear();
    const int result = RunWholeCircuit(kProbeNewRun);
    probe.rows = std::move(rows);
    if (result != 0 && result != kMsgAlreadyReported && result != kMsgStoppedByUser)
        ReportLineMessage(CircuitWindow(), result);
    ReplotProbe();
}

void ReplotProbe()
{
    if (!ProbeMode().rows.empty()) {
        RunControl().probeState = kProbeReplot;
        ApplyProbeRows(-2, -1);
    } else {
        ClearProbePlot();
    }
    EndProbeRunState();
}

}  // namespace

void DeleteProbePlots()
{
    ProbeModeState& probe = ProbeMode();
    ListSelectDesc desc;
    desc.caption = "Delete Probe plot";
    desc.several = true;
    desc.helpId = kCmdProbeDeletePlots;
    for (const ProbeRow& row : probe.rows) desc.items.push_back(row.yText);
    if (RunListSelectDialog(desc) != win::IDOK) return;
    std::vector<int> chosen = desc.selection;
    std::sort(chosen.rbegin(), chosen.rend());
    for (int i : chosen) DeleteProbeRow(i);
    ReplotProbe();
}

int AddProbePlot(int index)
{
    ProbeModeState& probe = ProbeMode();
    PromptDialogDesc desc;
    desc.caption = "Add Plot";
    desc.text = probe.lastAddPlotText;
    desc.helpId = kCmdProbeAddPlot;
    if (RunPromptDialog(desc) != 1 || desc.text.empty()) return 0;
    probe.lastAddPlotText = desc.text;
    const ProbeMenuDescriptor& d = CurrentProbeDescriptor();
    const bool added = index < 0;
    ProbeRow saved;
    if (added) {
        if (d.words[kProbeTraceMode] == kCmdProbeOneTrace) SetProbeRowCount(0);
        if (SetProbeRowCount(static_cast<int>(probe.rows.size()) + 1)) return 0;
        index = static_cast<int>(probe.rows.size()) - 1;
    } else {
        if (index >= static_cast<int>(probe.rows.size())) return 0;
        saved = probe.rows[static_cast<std::size_t>(index)];
    }
    ProbeRow& row = probe.rows[static_cast<std::size_t>(index)];
    row.pinLetters = {' ', ' '};
    row.yOverride = desc.text;
    row.xQuantity = d.words[kProbeXQuantity];
    row.xFunction = d.words[kProbeXFunction];
    row.yQuantity = d.words[kProbeYQuantity];
    row.yFunction = d.words[kProbeYFunction];
    row.plotGroup = d.words[kProbeGroup];
    row.name = std::string();
    RunControl().probeState = kProbeReplot;
    const int result = ApplyProbeRows(-2, -1);
    if (result != 0) {
        if (added)
            probe.rows.erase(probe.rows.begin() + index);
        else
            probe.rows[static_cast<std::size_t>(index)] = saved;
        // The failed build emptied the plot: the curves already probed come back.
        ReplotProbe();
    }
    return result;
}

int HandleProbeClick(WindowRecord* record, int x, int y, int flag)
{
    if (!record || !record->document || RunControl().running) return 0;
    CircuitDocument& document = *record->document;
    ProbeModeState& probe = ProbeMode();
    const int kind = CurrentKind();
    const ProbeMenuDescriptor& d = CurrentProbeDescriptor();

    // Pane pixels to grid units through the pane's view scale and scroll origin; the hit test
    // takes drawing units, eight to a grid unit.
    const int pane = std::clamp(document.currentPane, 0, kPaneCount - 1);
    const int page = document.panePage[static_cast<std::size_t>(pane)];
    win::POINT inPane{}, grid{};
    ClientToPanePoint(record, inPane, x, y, pane);
    ScreenToWorld(record, grid, inPane.x, inPane.y, pane);
    const int drawX = grid.x * kDrawUnitsPerGrid, drawY = grid.y * kDrawUnitsPerGrid;

    if (d.words[kProbeTraceMode] == kCmdProbeOneTrace) SetProbeRowCount(0);
    if (SetProbeRowCount(static_cast<int>(probe.rows.size()) + 1)) return 0;
    const int rowIndex = static_cast<int>(probe.rows.size()) - 1;
    ProbeRow* row = &probe.rows.back();

    int node = -1, secondNode = -1;
    bool pinFound = false;
    if (flag) {
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            if (!item.IsComponent() || item.page != page || !item.definition) continue;
            for (int p = 0; p < item.PinCount() && !pinFound; ++p) {
                if (SkippedPin(item, p)) continue;
                const win::POINT at = GetPinPosition(&item, p);
                if (at.x != grid.x || at.y != grid.y) continue;
                node = item.pinNodes[static_cast<std::size_t>(p)];
                row->digital = GetPinSignalKind(&item, p);
                pinFound = true;
            }
            if (pinFound) break;
        }
    }
    const auto isNoise = [&](int quantity, int first) {
        const char c = QuantityLetter(kind, quantity, first);
        return c == '1' || c == '2';
    };
    if (kind == kAnalysisAc &&
        (isNoise(row->xQuantity, d.words[kProbeXFirst]) || isNoise(row->yQuantity, d.words[kProbeYFirst]))) {
        row->name = std::string();
    } else if (!pinFound) {
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            if (item.page != page || !HitTestItem(item, drawX, drawY)) continue;
            if (item.itemKind == kItemWire) {
                node = item.wireLabel;
                row->digital = (item.style & kStyleWireDigital) ? 1 : 0;
                break;
            }
            if (!item.IsComponent()) continue;
            if (NothingToProbe(item)) break;
            const ComponentTypeRow* type = FindComponentTypeRow(item.definition->type);
            if (item.PinCount() == 2) {
                node = item.pinNodes[0];
                secondNode = item.pinNodes[1];
            }
            row->name = GetAttributeText(&item, kAttrPart);
            row->digital = type && type->domain == kDomainDigital ? 1 : 0;
            if (row->digital || (type && type->letter == 'X')) return ProbePartPins(item, rowIndex, row->digital != 0);
            if (IsTransistor(item)) {
                std::vector<win::POINT> pins;
                std::vector<int> pinIndex;
                for (int p = 0; p < item.PinCount(); ++p) {
                    if (SkippedPin(item, p)) continue;
                    pins.push_back(GetPinPosition(&item, p));
                    pinIndex.push_back(p);
                }
                const std::array<int, 2> pair = ChooseProbePinPair(pins, grid);
                if (pair[0] >= 0) {
                    for (int k = 0; k < 2; ++k) {
                        const std::string pinName = PinNameOf(item, pinIndex[static_cast<std::size_t>(pair[static_cast<std::size_t>(k)])]);
                        row->pinLetters[static_cast<std::size_t>(k)] = pinName.empty() ? ' ' : pinName[0];
                    }
                }
            }
            break;
        }
    }
    RunControl().probeState = kProbeReplot;
    const int result = ApplyProbeRows(node, secondNode);
    if (result == 0) return 1;
    if (rowIndex < static_cast<int>(probe.rows.size())) probe.rows.erase(probe.rows.begin() + rowIndex);
    if (result == 1) return 0;
    if (pinFound) return HandleProbeClick(record, x, y, 0);
    RunControl().probeState = kProbeReplot;
    if (!probe.rows.empty()) ApplyProbeRows(-2, -1);
    return 0;
}

int HandleProbeMenuCommand(int id)
{
    ProbeModeState& probe = ProbeMode();
    ProbeMenuDescriptor& d = CurrentProbeDescriptor();
    auto& w = d.words;
    auto replot = [&] {
        RunControl().probeState = kProbeReplot;
        if (!probe.rows.empty()) ApplyProbeRows(-2, -1);
    };
    switch (id) {
    case kCmdProbeNewRun: NewProbeRun(); return 0;
    case kCmdProbeDeleteAll:
        SetProbeRowCount(0);
        ClearProbePlot();
        return 0;
    case kCmdProbeSeparate: w[kProbeSeparate] = w[kProbeSeparate] ? 0 : 1; replot(); return 0;
    case kCmdProbeOneTrace:
    case kCmdProbeManyTraces: w[kProbeTraceMode] = id; return 0;
    case kCmdProbeSaveAll: {
        const bool keptOnlyVI = probe.keepWord != 2;
        w[kProbeKeep] = id;
        probe.keepWord = 2;
        if (keptOnlyVI) return HandleProbeMenuCommand(kCmdProbeNewRun);
        return 0;
    }
    case kCmdProbeSaveVI: w[kProbeKeep] = id; probe.keepWord = 1; return 0;
    case kCmdProbeDeletePlots: DeleteProbePlots(); return 0;
    case kCmdProbeAddPlot: AddProbePlot(-1); return 0;
    case kCmdProbeYLinear: w[kProbeYScale] = 2; return 0;
    case kCmdProbeYLog: w[kProbeYScale] = 1; return 0;
    case kCmdProbeXLinear: w[kProbeXScale] = 2; return 0;
    case kCmdProbeXLog: w[kProbeXScale] = 1; return 0;
    default: break;
    }
    if (id >= kCmdProbeGroup1 && id <= kCmdProbeGroup9) {
        w[kProbeGroup] = id - kCmdProbeGroup1 + 1;
        return 0;
    }
    if (InRange(id, w[kProbeXFirst], w[kProbeXLast])) w[kProbeXQuantity] = id;
    else if (InRange(id, w[kProbeXFunctionFirst], w[kProbeXFunctionLast])) w[kProbeXFunction] = id;
    else if (InRange(id, w[kProbeYFirst], w[kProbeYLast])) w[kProbeYQuantity] = id;
    else if (InRange(id, w[kProbeYFunctionFirst], w[kProbeYFunctionLast])) w[kProbeYFunction] = id;
    else return 1;
    return 0;
}

ProbeMenuItemState ProbeMenuItem(int id)
{
    const ProbeModeState& probe = ProbeMode();
    const ProbeMenuDescriptor& d = CurrentProbeDescriptor();
    const auto& w = d.words;
    const bool running = RunControl().running != 0;
    const bool noRows = probe.rows.empty();
    ProbeMenuItemState s;
    switch (id) {
    case kCmdProbeNewRun: s.enabled = !running; break;
    case kCmdProbeDeletePlots:
    case kCmdProbeDeleteAll: s.enabled = !noRows && !running; break;
    case kCmdProbeSeparate:
        s.enabled = !running && CircuitHasNodes(0) && CircuitHasNodes(1);
        s.checked = w[kProbeSeparate] != 0;
        break;
    case kCmdProbeOneTrace:
    case kCmdProbeManyTraces: s.checked = w[kProbeTraceMode] == id; break;
    case kCmdProbeSaveAll: s.enabled = !running && CurrentKind() != kAnalysisAc; s.checked = w[kProbeKeep] == id; break;
    case kCmdProbeSaveVI: s.enabled = !running; s.checked = w[kProbeKeep] == id; break;
    case kCmdProbeYLinear: s.checked = w[kProbeYScale] == 2; break;
    case kCmdProbeYLog: s.checked = w[kProbeYScale] == 1; break;
    case kCmdProbeXLinear: s.checked = w[kProbeXScale] == 2; break;
    case kCmdProbeXLog: s.checked = w[kProbeXScale] == 1; break;
    default:
        if (id >= kCmdProbeGroup1 && id <= kCmdProbeGroup9) {
            s.checked = w[kProbeGroup] == id - kCmdProbeGroup1 + 1;
            break;
        }
        s.enabled = !running;
        s.checked = id == w[kProbeXQuantity] || id == w[kProbeXFunction] || id == w[kProbeYQuantity] ||
                    id == w[kProbeYFunction];
        // A row already in the group for new curves fixes the X axis of that graph.
        const bool xList = InRange(id, w[kProbeXFirst], w[kProbeXLast]) ||
                           InRange(id, w[kProbeXFunctionFirst], w[kProbeXFunctionLast]);
        if (xList)
            for (const ProbeRow& row : probe.rows)
                if (row.plotGroup == w[kProbeGroup]) s.enabled = false;
        // A transient run that kept only V and I has no resistances, charges, fluxes or fields.
        if (CurrentKind() == kAnalysisTransient && probe.keepWord != 2 &&
            ((id >= 16010 && id <= 16016) || (id >= 16020 && id <= 16026)))
            s.enabled = false;
        break;
    }
    return s;
}

void CopyCurveToProbeRow(int i, const CurveRecord& curve)
{
    std::vector<ProbeRow>& rows = ProbeMode().rows;
    if (i < 0 || i >= static_cast<int>(rows.size())) return;
    ProbeRow& row = rows[static_cast<std::size_t>(i)];
    row.plotGroup = curve.plotGroup;
    row.lineWidth = curve.lineWidth;
    row.curveState = curve.state;
    row.color = curve.color;
    row.xText = curve.xExpressionText;
    row.yText = curve.yExpressionText;
}

void CopyCurveAxesToProbeRow(int i, const CurveRecord& curve)
{
    std::vector<ProbeRow>& rows = ProbeMode().rows;
    if (i < 0 || i >= static_cast<int>(rows.size())) return;
    ProbeRow& row = rows[static_cast<std::size_t>(i)];
    for (std::size_t a = 0; a < 2; ++a) {
        row.autoRange[a] = curve.rangeMode[a] == kRangeFromSetup ? 0 : 1;
        row.low[a] = curve.axisLow[a];
        row.high[a] = curve.axisHigh[a];
    }
    row.valueFormats = {curve.secondValueFormat.text, curve.valueFormat.text};
    row.scaleFormats = {curve.xScaleFormat, curve.yScaleFormat};
}

int SetUpProbeCurves(WindowRecord* window)
{
    PlotRecord* plot = RunPlotOf(window);
    if (!plot) return 0;
    ProbeModeState& probe = ProbeMode();
    const ProbeMenuDescriptor& d = CurrentProbeDescriptor();
    const int kind = CurrentKind();
    const bool fullRun = RunControl().probeState == kProbeFullRun;
    plot->curves.clear();
    plot->curveCount = 0;
    bool anyAnalog = false, anyDigital = false;
    for (int i = 0; i < static_cast<int>(probe.rows.size()); ++i) {
        ProbeRow& row = probe.rows[static_cast<std::size_t>(i)];
        if (fullRun) {
            row.name.reset();
            row.node = 1;
            row.xFunction = d.words[kProbeXFunction];
            row.yFunction = d.words[kProbeYFunction];
        }
        try {
            plot->curves.push_back(std::make_unique<CurveRecord>());
        } catch (const std::bad_alloc&) {
            ReportAnalysisOutOfMemory();
            return kMsgAlreadyReported;
        }
        CurveRecord& curve = *plot->curves.back();
        curve.rowIndex = -1;
        curve.xScaleFormat = row.scaleFormats[0];
        curve.yScaleFormat = row.scaleFormats[1];
        curve.linear = {d.words[kProbeXScale] == 2 ? 1 : 0, d.words[kProbeYScale] == 2 ? 1 : 0};
        curve.plotGroup = fullRun ? 1 : row.plotGroup;
        for (int axis = 0; axis < 2; ++axis) {
            const std::optional<std::string>& over = axis == 0 ? row.xOverride : row.yOverride;
            (axis == 0 ? row.xText : row.yText) = over ? *over : BuildProbeExpression(row, axis);
        }
        try {
            curve.imports.reserve(CountImportReferences(row.xText) + CountImportReferences(row.yText));
        } catch (const std::bad_alloc&) {
            ReportAnalysisOutOfMemory();
            return kMsgAlreadyReported;
        }
        for (int axis = 0; axis < 2; ++axis) {
            const std::optional<std::string>& over = axis == 0 ? row.xOverride : row.yOverride;
            const std::string& text = axis == 0 ? row.xText : row.yText;
            std::string substituted;
            if (SubstituteDefines(substituted, 0, text) != 0) return kMsgAlreadyReported;
            if (CompileCurveAxisWithImports(window, std::move(substituted), curve, axis, kind) != 0) {
                plot->curves.clear();
                plot->curveCount = 0;
                return kMsgAlreadyReported;
            }
            if (!fullRun && !over) (axis == 0 ? row.xOverride : row.yOverride) = text;
            if (row.autoRange[static_cast<std::size_t>(axis)]) {
                SetDefaultAxisRange(curve, axis);
            } else {
                curve.axisLow[static_cast<std::size_t>(axis)] = row.low[static_cast<std::size_t>(axis)];
                curve.axisHigh[static_cast<std::size_t>(axis)] = row.high[static_cast<std::size_t>(axis)];
                curve.axisSpan[static_cast<std::size_t>(axis)] = row.high[static_cast<std::size_t>(axis)] - row.low[static_cast<std::size_t>(axis)];
            }
            curve.dataMax[static_cast<std::size_t>(axis)] = -1e200;
            curve.dataMin[static_cast<std::size_t>(axis)] = 1e200;
        }
        if (MakeNumberFormat(curve.valueFormat, row.valueFormats[1], -1)) return kMsgAlreadyReported;
        if (MakeNumberFormat(curve.secondValueFormat, row.valueFormats[0], -1)) return kMsgAlreadyReported;
        curve.roleFlags = kCurveRolePlotted;
        curve.color = row.color;
        curve.lineWidth = row.lineWidth;
        curve.state = row.curveState;
        curve.name = curve.yExpressionText;
        (curve.digital ? anyDigital : anyAnalog) = true;
        ++plot->curveCount;
    }
    for (ProbeRow& row : probe.rows) row.xText = probe.rows.front().xText;
    if (d.words[kProbeSeparate] && anyAnalog && anyDigital)
        for (int i = 0; i < plot->curveCount; ++i) {
            CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
            c.plotGroup = c.digital ? 1 : 2;
        }
    return 0;
}

}  // namespace kq5
