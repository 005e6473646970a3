// The SPICE export command: the circuit built in export mode, the netlist written, and the
// document left to be built afresh by the next analysis.
#include <filesystem>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "ui/program_settings.h"
#include "document/save_file_dialog.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
#include "netlist/circuit_build.h"
#include "netlist/model_statements.h"
#include "netlist/spice_export_support.h"
#include "netlist/spice_reader_state.h"
#include "results/limits_row.h"
#include "results/plot_record_flags.h"
#include "results/plot_view_settings.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "platform/disk_file_names.h"

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
    // The macros are expanded: their scopes become the subcircuits the calls name.
    if (builds && PrepareCircuit(record, nullptr, kPrepareResolveModels | kPrepareRebuildNetlist | kPrepareExpansionMode) == 0) {
        const std::string title = std::filesystem::path(record->title).filename().string();
        rc = WriteSpiceNetlist(record, SpiceExport().analysisMask, path, title);
    }
    // Nothing the export did to the circuit (added attributes, rewritten model texts, components
    // of export mode) may reach an analysis: the next one builds from the document afresh.
    FreeBuiltCircuit(0xFF);
    if (CircuitBuild().freeRunData) CircuitBuild().freeRunData();
    // The digital supplies the export's reading inserted: a reading after it makes its own.
    CircuitBuild().powerSupplies.clear();
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

namespace {

constexpr int kSpiceExportTemplate = 17105;
constexpr int kSpiceFileKind = 2;
constexpr int kCheckTransient = 104;
constexpr int kCheckAc = 105;
constexpr int kCheckDc = 106;
constexpr int kCheckExpand = 107;
constexpr int kHelpButton = 9;

win::INT_PTR SpiceExportDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    SpiceExportSettings& settings = SpiceExport();
    if (message == win::WM_INITDIALOG) {
        PlaceDialog(dialog, false, nullptr);
        win::CheckDlgButton(dialog, kCheckExpand, settings.expandSubcircuits ? 1 : 0);
        win::CheckRadioButton(dialog, kSpiceDialect2G, kSpiceDialectSpice3, SpiceDialectIdsOf(settings.dialect).dialect);
        win::CheckDlgButton(dialog, kCheckTransient, (settings.analysisMask & kExportTransient) ? 1 : 0);
        win::CheckDlgButton(dialog, kCheckAc, (settings.analysisMask & kExportAc) ? 1 : 0);
        win::CheckDlgButton(dialog, kCheckDc, (settings.analysisMask & kExportDc) ? 1 : 0);
        return win::TRUE;
    }
    if (message != win::WM_COMMAND) return win::FALSE;
    switch (win::LOWORD(wParam)) {
    case win::IDOK: {
        unsigned mask = 0;
        if (win::IsDlgButtonChecked(dialog, kCheckTransient)) mask |= kExportTransient;
        if (win::IsDlgButtonChecked(dialog, kCheckAc)) mask |= kExportAc;
        if (win::IsDlgButtonChecked(dialog, kCheckDc)) mask |= kExportDc;
        settings.analysisMask = mask;
        settings.expandSubcircuits = win::IsDlgButtonChecked(dialog, kCheckExpand) != 0;
        for (int id = kSpiceDialect2G; id <= kSpiceDialectSpice3; ++id)
            if (win::IsDlgButtonChecked(dialog, id)) settings.dialect = static_cast<SpiceDialect>(id);
        CloseDialog(dialog, 1);
        return win::TRUE;
    }
    case win::IDCANCEL: CloseDialog(dialog, 0); return win::TRUE;
    case kHelpButton: ShowDialogHelp(kSpiceExportTemplate); return win::TRUE;
    default: return win::FALSE;
    }
}

}  // namespace

int RunSpiceExportDialog(win::HWND parent)
{
    return static_cast<int>(
        win::DialogBoxParam(win::GetModuleHandle(nullptr), kSpiceExportTemplate, parent, SpiceExportDlgProc, 0));
}

int ExportSpiceNetlistCommand(WindowRecord* record)
{
    if (!record || !record->document) return 0;
    if (RunSpiceExportDialog(Frame().frame) != 1) return 0;
    // The window's name with the extension of SPICE netlists.
    std::filesystem::path proposed(GetRecordTitle(record));
    proposed.replace_extension("CKT");
    const std::string path = AskSaveFileNameByKind(record, proposed.string(), kSpiceFileKind);
    if (path.empty()) return 0;
    const bool cursor = !Settings().batchRun && record->window;
    if (cursor) BeginWaitCursor(record->window);
    const int rc = ExportSpiceNetlist(record, path);
    if (cursor) EndWaitCursor();
    // The written netlist is shown, in the window already open on it when there is one.
    std::error_code error;
    if (rc == 0 && !Settings().batchRun && std::filesystem::file_size(win::DiskFileName(path), error) > 0 && !error)
        ShowFileInTextWindow(path);
    return rc;
}

}  // namespace kq5
