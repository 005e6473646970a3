#include "netlist/spice_text_pass.h"

#include <cmath>
#include <new>
#include <string>

#include "core/analysis_state.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/circuit_growth.h"
#include "netlist/defines.h"
#include "document/scope_table.h"
#include "netlist/spice_analysis_commands.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_elements.h"
#include "netlist/spice_initial_conditions.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "netlist/subcircuit_calls.h"
#include "netlist/subcircuit_nodes.h"
#include "netlist/token_patterns.h"
#include "results/curve_record.h"
#include "document/default_limits_rows.h"
#include "document/limits_rows.h"
#include "document/run_options.h"
#include "results/plot_record_flags.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kMsgMissingEnds = 10918;
constexpr char kProgressFormat[] = "Processing Spice Line %d of %d (%d%%)";
constexpr int kProgressThreshold = 1000;

bool BeginsSubckt(std::string_view line) { return line.starts_with(".SUBCKT "); }
bool EndsSubckt(std::string_view line) { return line.starts_with(".ENDS ") || line == ".ENDS"; }

// Status-bar progress of a long netlist.
class Progress {
  public:
    explicit Progress(int lineCount) : lineCount_(lineCount)
    {
        active_ = StatusBarShown() && lineCount_ > kProgressThreshold;
        if (!active_) return;
        saved_ = GetStatusText();
        step_ = std::max(lineCount_ / 100, 1);
    }
    void Show(int line)
    {
        if (!active_ || IncludeLevel() != 0 || line % step_ != 0) return;
        const int percent = static_cast<int>(std::lround(100.0 * line / lineCount_));
        std::string text = StrPrintf(kProgressFormat, line, lineCount_, percent);
        if (text == shown_) return;
        SetStatusText(text);
        shown_ = std::move(text);
    }
    void Restore()
    {
        if (active_) SetStatusText(saved_);
    }

  private:
    int lineCount_;
    bool active_ = false;
    int step_ = 1;
    std::string saved_;
    std::string shown_;
};

// The pass proper; the caller closes the sources whatever happens.
int ReadLines(WindowRecord* record, CircuitDocument& document)
{
    NetlistReaderState& state = NetlistReader();
    int unit = -1;
    if (int status = OpenLevelZeroSource(unit)) return status;
    if (const FileUnit* text = GetFileUnit(unit)) {
        if (int status = CheckNetlistSize(text->name, text->textLength)) return status;
    }

    FreeAllLimitsRows(record);
    ClearAnalysisLimitsTexts(document);
    if (!record->plot) record->plot = std::make_shared<PlotRecord>();
    PlotFlagsOf(record->plot).flagWord = (PlotFlagsOf(record->plot).flagWord | kPlotLimitsFromNetlist) & ~kPlotLimitsEdited;

    std::string line;
    if (int status = ReadLogicalLineShowingError(unit, line)) return status;  // the title
    const FileUnit* slot = GetFileUnit(unit);
    Progress progress(slot ? slot->lineTotal : 0);

    int depth = 0;
    // The outermost .SUBCKT still open: a netlist that ends inside it lost its .ENDS.
    SourceLocation open;
    std::string openName;
    while (NextSourceWithLines(TopSourceUnit())) {
        unit = TopSourceUnit();
        if (const FileUnit* top = GetFileUnit(unit)) progress.Show(top->lineNumber);
        if (int status = ReadLogicalLineShowingError(unit, line)) return status;
        SetErrorSourceLine(TopSourceName(), LogicalLineStart());
        if (BeginsSubckt(line)) {
            if (depth++ == 0) {
                open = {TopSourceName(), LogicalLineStart()};
                const std::size_t start = line.find_first_not_of(' ', 8);
                openName = start == std::string::npos ? std::string() : line.substr(start, line.find(' ', start) - start);
            }
            continue;
        }
        if (EndsSubckt(line)) {
            // A stray .ENDS closes nothing; reading goes on at the top level.
            if (depth > 0) --depth;
            if (depth > 0) continue;
        }
        if (line == ".END") {
            if (IncludeLevel() == 0) break;
            PopIncludeSource();
            continue;
        }
        if (depth != 0 || line.empty()) continue;
        if (int status = TokenizeNetlistLine(line)) return status;
        if (int status = DispatchNetlistLine(line)) return status;
        if (int status = CheckNetlistComponentCount(document)) return status;
    }
    progress.Restore();
    if (depth > 0) {
        // Every line after it was taken as part of the subcircuit: say so, rather than fail for
        // a circuit without elements or analyses.
        SetErrorSourceLine(open.source, open.line);
        ReportNetlistMessage("WE", record, kMsgMissingEnds, openName);
        return kMsgAlreadyReported;
    }
    state.currentElement = nullptr;
    // The program's own library is one of the circuit's before the transistors take the polarity
    // of their models: a PNP, PMOS or P-channel JFET model from it is found like any other.
    if (int status = RegisterCircuitLibrary({})) return status;
    if (int status = FixModelPolarity(0)) return status;
    MergePrintPlotRows(record);
    return 0;
}

}  // namespace

void InitNetlistReader()
{
    NetlistReaderState& state = NetlistReader();
    state.printPlotRows.fill(0);
    state.printPlotCounter = 0;
    state.printVariableUsed = false;
    state.cachedDefinition = nullptr;
    state.cachedDefinitionType = -1;
    state.definitionsByType.clear();
    state.generatedDefinitionCounter = 1;
    state.interfaceCounter = 0;
    state.includeLevel = -1;
    state.includeUnits.fill(-1);
    state.includedFiles.clear();
    PrepareTokenArray();
}

void ResetNetlistReader()
{
    FreeTokenArray();
    PopAllSources();
    NetlistReaderState& state = NetlistReader();
    state.cachedDefinition = nullptr;
    state.cachedDefinitionType = -1;
    state.definitionsByType.clear();
}

int ReadSpiceTextCircuit()
{
    WindowRecord* record = CurrentRecord();
    CircuitDocument* document = CurrentDocument();
    if (!record || !document) return 0;
    NetlistReaderState& state = NetlistReader();
    state.operatingPointRequested = false;
    state.transientGiven = false;
    state.analysisStatements = {};
    state.noiseStatement = {};
    state.currentScope = 0;
    ResetExpansionNodes();
    ForgetEarlierEscape();
    int status = 0;
    try {
        if (!ScopeTableExists()) {
            if ((status = ResizeScopeTable(0)) != 0) return status;
            FindScopeForEdit(0)->fileName = GetRecordTitle(record);
        }
        status = ReadLines(record, *document);
    } catch (const std::bad_alloc&) {
        status = ReportReaderOutOfMemory();
    }
    PopAllSources();
    ClearErrorSourceLine();
    state.currentElement = nullptr;
    if (status != 0) return status;

    const int kind = Analysis().analysisKind;
    if (kind >= 0 && kind < kAnalysisKindCount) {
        if (state.operatingPointRequested && !state.transientGiven)
            PlotFlagsOf(record->plot).flagWord |= kPlotOperatingPointOnly;
        // Without its .AC line the sweep takes the default limits, and the response is still
        // the one about the operating point, as with the line.
        if (kind == kAnalysisAc && state.analysisStatements[kAnalysisAc].line < 0 && record->plot)
            PlotViewOf(record->plot).optionWord[kAnalysisAc] |= static_cast<std::int32_t>(kRunOptionOperatingPoint);
        if (document->limitsRows[static_cast<std::size_t>(kind)].empty()) {
            if ((status = MakeDefaultPrintPlotRows(record, kind)) != 0) return status;
        }
    }
    return RegisterCircuitLibrary({});
}

void FreeNetlistReaderBuild()
{
    NetlistReaderState& state = NetlistReader();
    ResetNetlistReader();
    ClearCircuitTextObjects();
    ClearDefineTable();
    RemoveGeneratedDefinitions();
    ParseInitialConditions({}, kInitialFree, 0);
    FreeNameTries();
    ResetExpansionNodes();
    state.scopes.clear();
    ForgetEnclosingDefinitions();
    FreeScopeTable();
    state.subcktIndexes.clear();
    state.checkedLibraryDefinitions.clear();
    ClearElementOrigins();
    state.originSources.clear();
    state.libraries.clear();
    state.includedFiles.clear();
    state.libraryParamsLoaded = false;
    state.currentScope = 0;
}

}  // namespace kq5
