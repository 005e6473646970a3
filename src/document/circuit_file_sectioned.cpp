#include "document/circuit_file_sectioned.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "document/analysis_windows.h"
#include "core/error_context.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/field_stream.h"
#include "core/file_paths.h"
#include "core/format.h"
#include "core/key_file.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/file_names.h"
#include "document/part_numbering.h"
#include "document/section_analysis.h"
#include "document/section_items.h"
#include "document/section_views.h"
#include "document/section_windows.h"
#include "platform/system.h"
#include "platform/win_styles.h"
#include "platform/window.h"
#include "document/limits_rows.h"
#include "document/page_array.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"

namespace kq5 {

const std::array<IniSectionRow<SectionStream>, kCircuitSectionCount> kCircuitSectionTable = {{
    {"Main", &TransferMainSection},
    {"FontAndColor", &TransferFontAndColorSection},
    {"Window Placement", &TransferWindowPlacementSection},
    {"Comp", &TransferCompSection},
    {"Attr", &TransferAttrSections},
    {"Wire", &TransferWireSection},
    {"Grid Text", &TransferGridTextSections},
    {"Object", &TransferObjectSection},
    {"Flag", &TransferGridTextSections},
    {"Page", &TransferPageSections},
    {"Text Area", &TransferTextAreaSection},
    {"Analysis", &TransferAnalysisSection},
    {"Monte Carlo Options", &TransferMonteCarloOptionsSections},
    {"Monte Carlo", &TransferMonteCarloSections},
    {"Graph 3D", &TransferGraph3DSections},
    {"Performance", &TransferPerformanceSections},
    {"Performance WaveForm", &TransferPerformanceWaveFormSections},
    {"Printer", &TransferPrinterSection},
    {"AObject", &TransferAObjectSections},
    {"Limits", &TransferLimitsSections},
    {"WaveForm", &TransferWaveFormSections},
    {"Schematic", &TransferSchematicSection},
    {"Stepping", &TransferSteppingSections},
    {"DSP", &TransferDspSection},
}};

namespace {

constexpr const char* kProgramVersionText = "2.1.2";

// The sections after the items and grid texts, in the order a file holds them.
constexpr std::array<SectionRoutine, 11> kTrailingSections = {
    &TransferSchematicSection,          &TransferPageSections,       &TransferTextAreaSection,
    &TransferPrinterSection,            &TransferAnalysisSection,    &TransferMonteCarloOptionsSections,
    &TransferMonteCarloSections,        &TransferGraph3DSections,    &TransferPerformanceSections,
    &TransferLimitsSections,            &TransferSteppingSections,
};

int WriteItemSections(SectionStream& stream)
{
    for (SchematicItem& item : ListRecords<SchematicItem>(stream.Document().itemList)) {
        stream.currentItem = &item;
        int status = 0;
        switch (item.itemKind) {
        case kItemComponent: status = TransferCompSection(stream); break;
        case kItemWire: status = TransferWireSection(stream); break;
        case kItemGraphicObject: status = TransferObjectSection(stream); break;
        default: break;
        }
        if (status != 0) return status;
    }
    stream.currentItem = nullptr;
    return 0;
}

// The largest page index any item or grid text uses, -1 when none.
int HighestPageUsed(const CircuitDocument& document)
{
    int highest = -1;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) highest = std::max<int>(highest, item.page);
    for (const GridText& text : ListRecords<GridText>(document.gridTextList)) highest = std::max<int>(highest, text.page);
    return highest;
}

void ApplySteppingDefaults(CircuitDocument& document)
{
    for (SteppingSlot& slot : document.stepping) {
        if (!(slot.flags & (kStepModel | kStepComponent | kStepSymbolic))) slot.flags |= kStepComponent;
        if (!(slot.flags & (kStepLog | kStepLinear | kStepList))) slot.flags |= kStepLinear;
    }
}

void InvalidatePlacement(win::WINDOWPLACEMENT& placement) { placement.length = 0; }

// Placements saved at another screen size would put windows off the screen.
void InvalidateAllPlacements(CircuitDocument& document)
{
    for (win::WINDOWPLACEMENT& placement : document.placements) InvalidatePlacement(placement);
    for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
        const auto k = static_cast<std::size_t>(kind);
        for (auto& window : ListRecords<PerformanceWindowRecord>(document.performanceWindows[k]))
            InvalidatePlacement(window.view.placement);
        for (auto& window : ListRecords<Graph3DPlot>(document.graph3DWindows[k])) InvalidatePlacement(window.view.placement);
        for (auto& window : ListRecords<MonteCarloWindowRecord>(document.monteCarloWindows[k]))
            InvalidatePlacement(window.view.placement);
    }
}

// Fix-ups after the sections were read.
int FinishSectionedLoad(WindowRecord* record)
{
    CircuitDocument& document = *record->document;
    RescanPartNumbers(record);
    ApplySteppingDefaults(document);
    const int pageCount = std::max({static_cast<int>(document.pages.size()), HighestPageUsed(document) + 1, 1});
    if (pageCount != static_cast<int>(document.pages.size())) {
        if (int status = ResizePageArray(record, pageCount)) return status;
    }
    // A page the file names nowhere (a file written by hand may have no page sections at all)
    // is named as a new page would be.
    for (std::size_t i = 0; i < document.pages.size(); ++i) {
        if (document.pages[i].name.empty()) document.pages[i].name = UnusedPageName(record, static_cast<int>(i + 1));
    }
    // A pane must show a page that exists.
    for (std::int32_t& page : document.panePage) {
        if (page < 0 || page >= pageCount) page = 0;
    }
    if (CircuitFiles().screenChanged) InvalidateAllPlacements(document);
    // The panes take the scroll positions their pages keep, and their controls their places.
    if (record->window != nullptr) {
        UpdatePaneScrollBars(record);
        LayoutPaneControls(record, false);
    }
    return 0;
}

}  // namespace

int TransferMainSection(SectionStream& stream)
{
    if (stream.IsWriting()) {
        const CircuitDocument& document = stream.Document();
        SectionWriter out(stream.unit);
        out.Section("Main");
        out.String("FileType", "CIR");
        if (out.status == 0) out.status = WriteKeyVersion(out.unit, "Version", stream.version);
        out.String("Program", LoadResString(kMsgProductLine));
        out.String("Screen", StrPrintf("%d,%d", win::GetSystemMetrics(win::SM_CXSCREEN),
                                       win::GetSystemMetrics(win::SM_CYSCREEN)));
        out.String("KQ5Version", kProgramVersionText);
        out.Int("NLCnt", document.itemList.count);
        out.Int("TXCnt", document.gridTextList.count);
        return out.status;
    }
    CircuitFileState& state = CircuitFiles();
    state.screenChanged = false;
    state.declaredItems = state.declaredTexts = -1;
    state.dspStatusLines = 0;
    state.droppedItems = 0;
    bool fileTypeSeen = false;
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "FILETYPE") {
            fileTypeSeen = EqualsNoCase(line.value, "CIR") || EqualsNoCase(line.value, "KQ5.CIR");
        } else if (line.key == "VERSION") {
            stream.version = ParseVersionNumber(line.value);
        } else if (line.key == "SCREEN") {
            std::string value = line.value;
            const int width = ReadKeyInt(value);
            const int height = ReadKeyInt(value);
            state.screenChanged = width != win::GetSystemMetrics(win::SM_CXSCREEN) ||
                                  height != win::GetSystemMetrics(win::SM_CYSCREEN);
        } else if (line.key == "NLCNT") {
            std::string value = line.value;
            state.declaredItems = ReadKeyInt(value);
        } else if (line.key == "TXCNT") {
            std::string value = line.value;
            state.declaredTexts = ReadKeyInt(value);
        }
    }
    if (!fileTypeSeen) return kMsgBadFormat;
    return status;
}

int ReadCircuitFileV2(WindowRecord* record, LoadOptions options)
{
    if (record == nullptr || !record->document) return kMsgInsufficientMemory;
    CircuitFileState& state = CircuitFiles();
    FreeAllLimitsRows(record);
    FreePageArray(record);
    SectionStream stream;
    stream.unit = state.loadUnit;
    stream.version = state.loadVersion;
    stream.pendingLine = std::move(state.pendingLine);
    stream.record = record;
    stream.loadOptions = options;
    state.pendingLine.clear();
    const int itemsBefore = record->document->itemList.count;
    const int textsBefore = record->document->gridTextList.count;
    int status = ProcessIniSectionTable<SectionStream>(kCircuitSectionTable, stream);
    // A whole file holds the items and texts its [Main] counts and ends with the DSP status of
    // both analyses; one that ends sooner was cut, and saving it would lose the rest.
    if (state.declaredItems >= 0)
        state.cutShort = record->document->itemList.count - itemsBefore + state.droppedItems < state.declaredItems ||
                         record->document->gridTextList.count - textsBefore < state.declaredTexts ||
                         state.dspStatusLines < 2;
    int fixups = FinishSectionedLoad(record);
    return status != 0 ? status : fixups;
}

int WriteCircuitSections(WindowRecord* record, int unit)
{
    SectionStream stream;
    stream.unit = unit;
    stream.version = kSectionedFileVersion;
    stream.record = record;
    for (SectionRoutine routine : {&TransferMainSection, &TransferFontAndColorSection, &TransferWindowPlacementSection}) {
        if (int status = routine(stream)) return status;
    }
    if (int status = WriteItemSections(stream)) return status;
    if (int status = TransferGridTextSections(stream)) return status;
    for (SectionRoutine routine : kTrailingSections) {
        if (int status = routine(stream)) return status;
    }
    return TransferDspSection(stream);
}

int WriteFileReplacing(const std::string& path, const std::function<int(int unit)>& writer)
{
    const int unit = FindFreeUnit();
    if (unit < 0) return kMsgFileErrorBase + EMFILE;
    if (int status = CreateReplacingUnit(path, unit)) return status;
    if (int status = writer(unit)) {
        AbandonUnit(unit);
        return status;
    }
    return CloseUnit(unit);
}

int SaveCircuitWith(WindowRecord* record, const std::string& path, int flags, const std::function<int(int unit)>& writer)
{
    BeginWaitCursor(record->window);
    if (!(flags & kWriteQuietly)) {
        // Node numbers that cannot be built (reported there) do not keep the circuit from disk.
        if (IsSchematicKind(record->kind)) RebuildNetlistIfNeeded(record, true);
        AddRecentFile(path);
    }
    if (record->document) {
        win::WINDOWPLACEMENT placement;
        if (GetRecordPlacement(record, placement)) record->document->placements[0] = placement;
    }
    int status = WriteFileReplacing(path, writer);
    if (status == 0) {
        // Only a file that is completely on disk makes the window unmodified.
        record->modified = 0;
    } else {
        SetErrorContext(path);
        ReportLineMessage(FrameRecord(), status);
        status = kMsgAlreadyReported;
    }
    EndWaitCursor();
    return status;
}

int SaveDocumentWindow(WindowRecord* record, const std::string& path, int flags)
{
    if (record == nullptr) return 0;
    if (record->kind == kWindowTextCircuit) {
        const int status = WriteTextWindowToFile(record);
        if (status == 0) {
            record->modified = 0;
            // A netlist saved under a name is one the user comes back to, as a schematic is.
            if (!(flags & kWriteQuietly)) AddRecentFile(path);
        }
        return status;
    }
    if (record->kind == kWindowModelLibrary) {
        int status = 0;
        if (ModelLibraryFiles().save && ModelLibraryFiles().save(record, path, status)) return status;
    }
    if (record->kind == kWindowModelLibrary || !record->document) {
        // Saying "saved" without writing would lose the user's work.
        SetErrorContext(path);
        ReportMessage("E", kMsgWritingFile, path.c_str());
        return kMsgAlreadyReported;
    }
    return SaveCircuitWith(record, path, flags, [record](int unit) { return WriteCircuitSections(record, unit); });
}

}  // namespace kq5
