// The SPICE export command: the circuit built in export mode, the netlist written, and the
// document left to be built afresh by the next analysis.
#include <filesystem>

#include "analog/analysis_state.h"
#include "analog/convergence.h"
#include "app/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/circuit_document.h"
#include "netlist/circuit_build.h"
#include "netlist/model_statements.h"
#include "netlist/spice_export_support.h"
#include "netlist/spice_reader_state.h"
#include "plots/limits_row.h"
#include "plots/plot_record_flags.h"
#include "plots/plot_view_settings.h"

namespace kq5 {

int ExportSpiceNetlist(WindowRecord* record, const std::string& path)
{
    if (!record || !record->document) return 0;
    NetlistReaderState& reader = NetlistReader();
    int rc = kMsgAlreadyReported;
    // Reading a netlist's text sets the limits of its window again; the export's readings must
    // leave them as the analyses know them.
    const AnalysisLimits limits = record->document->limits;
    const auto limitsRows = record->document->limitsRows;
    const PlotRecordFlags flags = record->plot ? PlotFlagsOf(record->plot) : PlotRecordFlags();
    const PlotViewSettings view = record->plot ? PlotViewOf(record->plot) : PlotViewSettings();
    // A netlist the simulator refuses is not handed to another one: the full build runs first
    // and shows its error; its devices are torn down again before the export's own build.
    // It checks what the first selected analysis would check.
    SetCurrentDocument(record);
    const unsigned mask = SpiceExport().analysisMask;
    const AnalysisKind kind = Analysis().analysisKind;
    Analysis().analysisKind = (mask & kExportTransient) || mask == 0 ? kAnalysisTransient
                              : (mask & kExportAc)                  ? kAnalysisAc
                                                                    : kAnalysisDc;
    const bool builds = BuildCircuit(kBuildForAnalysis) == 0;
    FreeBuiltCircuit(0xFF);
    Analysis().analysisKind = kind;
    reader.exportInProgress = true;
    Models().writeBackMode = true;
    CircuitBuild().powerSupplies.clear();
    if (builds && PrepareCircuit(record, nullptr, kPrepareResolveModels | kPrepareRebuildNetlist) == 0) {
        const std::string title = std::filesystem::path(record->title).filename().string();
        rc = WriteSpiceNetlist(record, SpiceExport().analysisMask, path, title);
    }
    // Nothing the export did to the circuit (added attributes, rewritten model texts, components
    // of export mode) may reach an analysis: the next one builds from the document afresh.
    FreeBuiltCircuit(0xFF);
    FreeAnalogRunData();
    record->document->limits = limits;
    record->document->limitsRows = limitsRows;
    if (record->plot) {
        PlotFlagsOf(record->plot) = flags;
        PlotViewOf(record->plot) = view;
    }
    record->document->connectivityStale = 1;
    Models().writeBackMode = false;
    reader.exportInProgress = false;
    return rc;
}

}  // namespace kq5
