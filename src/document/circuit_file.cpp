#include "document/circuit_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "ui/edit_mode.h"
#include "core/error_context.h"
#include "document/record_font.h"
#include "ui/frame_state.h"
#include "ui/program_settings.h"
#include "document/save_file_dialog.h"
#include "document/text_area.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/key_file.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/banner_file.h"
#include "document/circuit_document.h"
#include "document/circuit_file_sectioned.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/file_names.h"
#include "document/pane_seams.h"
#include "document/scope_table.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "platform/win_styles.h"
#include "platform/window.h"
#include "document/component_definition.h"
#include "document/component_library.h"
#include "document/shape_library.h"

namespace kq5 {

namespace {

constexpr const char* kDefinitionsFileName = "DEF.KQ5";
constexpr const char* kModelProgramName = "kq5model";
constexpr int kMsgModelProgramMissing = 10861;  // the model-fitting program is not in this build
constexpr const char* kPreviousProductLine = "Kestrion IV";
constexpr std::uint32_t kRedrawOldGeneration = 0x0438;
constexpr std::int32_t kOldConnectivityMode = 3;

bool IsBannerVersion(std::int32_t version)
{
    return version >= kOldestBannerVersion && version <= kBannerFileVersion;
}

// The next line without its line end and trailing blanks; empty at the end of the file.
std::string ReadHeaderLine(int unit)
{
    std::string line;
    ReadUnitRawLine(unit, line);
    return line;
}

std::string UpperCaseFileName(const std::string& path)
{
    std::string name = StripDirectory(path);
    for (char& c : name) c = ToUpperChar(c);
    return name;
}

// Window services of the load that the frame provides through the platform.
void ActivateRecordWindow(WindowRecord* record)
{
    if (record == nullptr || record->window == nullptr) return;
    if (win::IsIconic(record->window)) win::ShowWindow(record->window, win::SW_RESTORE);
    win::BringWindowToTop(record->window);
    win::SetActiveWindow(record->window);
}

// Closes a window whose load failed; a record that never had a window is freed at once.
void CloseRecordWindow(WindowRecord* record)
{
    if (record == nullptr || !IsLiveWindowRecord(record)) return;
    if (record->window != nullptr) {
        win::SendMessage(record->window, win::WM_CLOSE, 0, 0);
        return;
    }
    FreeDocumentRecord(record);
}

}  // namespace

void ShowLoadedWindow(WindowRecord* record, bool maximised, bool savedPlace)
{
    if (record == nullptr || record->window == nullptr) return;
    const win::WINDOWPLACEMENT* saved = savedPlace && record->kind == kWindowSchematic && record->document
                                            ? &record->document->placements[0] : nullptr;
    if (saved == nullptr || saved->length == 0 || saved->rcNormalPosition.right <= saved->rcNormalPosition.left) {
        win::ShowWindow(record->window, maximised ? win::SW_SHOWMAXIMIZED : win::SW_SHOW);
        return;
    }
    // A schematic comes up where its file says it stood. Beside maximised windows it is maximised
    // too, and goes back to that place when restored; one saved as an icon opens at that place.
    win::WINDOWPLACEMENT placement = *saved;
    if (maximised) placement.showCmd = win::SW_SHOWMAXIMIZED;
    else if (placement.showCmd != win::SW_SHOWMAXIMIZED) placement.showCmd = win::SW_SHOWNORMAL;
    placement.flags = 0;
    SetRecordPlacement(record, placement);
}

namespace {

// Starts the separate model-fitting program with the file. A build without the program says so;
// a program that is there but cannot be started gets 15022 with its name.
int LaunchModelProgram(const std::string& file, bool quiet)
{
    const std::string program = Settings().programDirectory + kModelProgramName;
    std::error_code error;
    if (!std::filesystem::is_regular_file(program, error)) {
        if (quiet) return kMsgModelProgramMissing;
        ReportMessage("WE", FrameRecord(), kMsgModelProgramMissing);
        return kMsgAlreadyReported;
    }
    // The words travel apart, so no blank or quote in a file name can change what is started.
    if (win::ExecArgv({program, file}, win::SW_SHOW) > 31) return 0;
    if (quiet) return kMsgFileNotFound;
    ReportMessage("WE", FrameRecord(), kMsgFileNotFound, program.c_str());
    return kMsgAlreadyReported;
}

bool IsDefinitionsFile(const std::string& path)
{
    return FileNamesEqual(path, Settings().programDirectory + kDefinitionsFileName);
}

// An open window of the file, or for a macro load the window a subcircuit scope keeps for it.
WindowRecord* FindOpenCircuit(const std::string& path, bool macro)
{
    if (WindowRecord* found = FindRecordByTitle(path)) return found;
    if (!macro) return nullptr;
    for (const ScopeWindow& kept : ScopeWindows()) {
        const SubcktScope* scope = FindScope(kept.scope);
        if (scope && IsLiveWindowRecord(kept.window) && FileNamesEqual(scope->fileName, path)) return kept.window;
    }
    return nullptr;
}

// Gives the window a fresh document for the new content, keeping the size and face of its window
// font, its title and its kind. The record is replaced; the new one is returned (null when it
// could not be made).
WindowRecord* RenewTargetRecord(WindowRecord* target, int kind)
{
    if (kind == kFileKindModelLibrary && ModelLibraryFiles().release && ModelLibraryFiles().release(target)) {
        // The library window keeps its record and controls; only its models are read again.
        target->modified = 0;
        return target;
    }
    const FontSpec font = target->document ? target->document->numOutFont : FontSpec{};
    const std::string title = target->title;
    const win::HWND window = target->window;
    FreeDocumentRecord(target);
    WindowRecord* record = CreateDocumentRecord(window, kind);
    if (record == nullptr) return nullptr;
    record->title = title;
    if (record->document && kind != kFileKindModelLibrary) {
        record->document->numOutFont.height = font.height;
        record->document->numOutFont.face = font.face;
    }
    // The new record's text area is made without a size: the window lays it out as on any
    // resize, so that the text read into it is shown and typed into where the user sees it.
    if (window != nullptr) {
        win::RECT client{};
        win::GetClientRect(window, &client);
        const win::WPARAM type = win::IsZoomed(window) ? win::SIZE_MAXIMIZED : win::SIZE_RESTORED;
        win::SendMessage(window, win::WM_SIZE, type,
                         win::MAKELPARAM(static_cast<win::WORD>(client.right - client.left), static_cast<win::WORD>(client.bottom - client.top)));
        win::InvalidateRect(window, nullptr, 1);
    }
    return record;
}

void ReportLoadFailure(int status)
{
    if (status == kMsgMissingDefinition) {
        // The id has no text of its own: the component's name was left as the context.
        ReportMessage("WtE", FrameRecord(), PendingErrors().first.c_str(), kMsgComponentsNotFound);
        return;
    }
    ReportLineMessage(FrameRecord(), status);
}

// A binary model library into its window. The library reports its own failures; a converted
// older file stays marked modified, so closing asks before the converted form is written.
int ReadModelLibraryContent(WindowRecord* record, const std::string& path, LoadOptions options)
{
    if (!ModelLibraryFiles().load) return kMsgInsufficientMemory;
    const int status = ModelLibraryFiles().load(record, path, !(options & kLoadQuiet));
    // Already reported: the load's failure is not shown a second time.
    return status == 0 ? 0 : kMsgAlreadyReported;
}

// Reads the content of the file into the record by its kind.
int ReadFileContent(WindowRecord* record, const std::string& path, int kind, LoadOptions options)
{
    if (kind == kFileKindTextCircuit) return ReloadTextWindowFromFile(record);
    if (kind == kFileKindModelLibrary) return ReadModelLibraryContent(record, path, options);
    CircuitFileState& state = CircuitFiles();
    int status = ReadComponentsBlock(record, path, true, options);
    const bool banner = state.loadVersion != kSectionedFileVersion;
    if (status == 0 && banner) status = TransferBannerBody(record, state.loadUnit, options, state.loadVersion);
    if (record->document) record->document->fileVersion = state.loadVersion;
    if (banner) FreeBannerFontNames();
    const FileUnit* slot = GetFileUnit(state.loadUnit);
    if (status != 0 && status != kMsgMissingDefinition && slot != nullptr && !slot->name.empty())
        SetErrorContext(slot->name);
    CloseUnit(state.loadUnit);
    state.loadUnit = -1;
    return status;
}

// Reads a schematic file into a record of its own, without a window, and says whether it reads:
// 0 or the read's message id. Nothing is reported and the load's state is left as it was.
int TrialReadSchematic(const std::string& path, int kind, LoadOptions options)
{
    CircuitFileState& state = CircuitFiles();
    const CircuitFileState kept = state;
    WindowRecord* scratch = NewWindowRecord(nullptr, kind, true);
    if (scratch == nullptr) return kMsgInsufficientMemory;
    const int status = ReadFileContent(scratch, path, kind, options | kLoadQuiet);
    FreeWindowRecord(scratch);
    state = kept;
    return status;
}

// Copies the items and grid texts of one document into another.
bool CopyDocumentItems(WindowRecord* destination, const CircuitDocument& source)
{
    for (const SchematicItem& item : ListRecords<SchematicItem>(source.itemList)) {
        SchematicItem* copy = NewSchematicItem(destination);
        if (copy == nullptr) return false;
        copy->itemKind = item.itemKind;
        copy->x1 = item.x1;
        copy->y1 = item.y1;
        copy->x2 = item.x2;
        copy->y2 = item.y2;
        copy->style = item.style;
        copy->color = item.color;
        copy->fillColor = item.fillColor;
        copy->orientation = item.orientation;
        copy->page = item.page;
        copy->hidden = item.hidden;
        copy->scope = item.scope;
        if (CopyComponentAttributes(*copy, item) != 0) return false;
    }
    for (const GridText& text : ListRecords<GridText>(source.gridTextList)) {
        GridText* copy = NewGridText(destination);
        if (copy == nullptr) return false;
        copy->page = text.page;
        copy->text = text.text;
        copy->x = text.x;
        copy->y = text.y;
        copy->font = text.font;
        copy->flags = text.flags;
    }
    return true;
}

}  // namespace

ModelLibraryFileHooks& ModelLibraryFiles()
{
    static ModelLibraryFileHooks hooks;
    return hooks;
}

CircuitFileState& CircuitFiles()
{
    static CircuitFileState state;
    return state;
}

void ResetCircuitFileStateForTests()
{
    CircuitFileState& state = CircuitFiles();
    if (state.loadUnit >= 0) CloseUnit(state.loadUnit);
    state = CircuitFileState{};
}

int CheckCircuitFileHeader(int unit, std::int32_t& version)
{
    version = 0;
    std::string first;
    if (int status = ReadKeyLine(unit, first)) return status;
    if (EqualsNoCase(first, "[Main]")) {
        SectionStream stream;
        stream.unit = unit;
        stream.pendingLine = first;
        const int status = TransferMainSection(stream);
        version = stream.version;
        CircuitFiles().pendingLine = std::move(stream.pendingLine);
        return status;
    }
    version = ParseVersionNumber(first);
    const std::string product = ReadHeaderLine(unit);
    if (IsBannerVersion(version)) {
        if (!EqualsNoCase(product, LoadResString(kMsgProductLine))) return kMsgBadFormat;
    } else if (version == kPreviousGenerationVersion) {
        if (!EqualsNoCase(product, kPreviousProductLine)) return kMsgBadFormat;
    } else {
        return kMsgMustConvert;
    }
    if (!EqualsNoCase(ReadHeaderLine(unit), LoadResString(kMsgMakerLine))) return kMsgBadFormat;
    return 0;
}

bool ReadsAsTextCircuit(const std::string& name)
{
    const int unit = FindFreeUnit();
    if (unit < 0) return false;
    std::string first;
    const bool read = OpenUnitDiskFile(ResolveFilePath(name), unit) == 0 && ReadKeyLine(unit, first) == 0;
    CloseUnit(unit);
    if (!read || first.empty() || EqualsNoCase(first, "[Main]")) return false;
    // A version line, even one of a generation this program no longer reads, is a schematic's.
    const std::size_t dot = first.find('.');
    const auto digits = [](std::string_view part) {
        return !part.empty() && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return dot == std::string::npos || !digits(std::string_view(first).substr(0, dot)) ||
           !digits(std::string_view(first).substr(dot + 1));
}

bool HasReadableCircuitFileHeader(const std::string& name)
{
    const int unit = FindFreeUnit();
    if (unit < 0) return false;
    std::int32_t version = 0;
    const bool readable = OpenUnitDiskFile(ResolveFilePath(name), unit) == 0 && CheckCircuitFileHeader(unit, version) == 0;
    CloseUnit(unit);
    return readable;
}

int ResolveItemDefinition(std::string_view name, LoadOptions options, ComponentDefinition*& definition)
{
    definition = nullptr;
    if (name.empty()) return 0;
    CircuitFileState& state = CircuitFiles();
    ComponentDefinition* found = FindComponentDefinition(name);
    if (found != nullptr && !IsShapeIndexUsed(found->shapeIndex)) {
        if (state.lastWarnedName != found->name) {
            ReportMessage("tE", found->name.c_str(), kMsgNoShapeLinked);
            state.lastWarnedName = found->name.substr(0, 49);
        }
        state.oldGenerationLoaded = true;
        return 0;
    }
    if (found != nullptr) {
        definition = found;
        return 0;
    }
    if (options & kLoadCollectMissing) {
        std::string quoted = "'";
        quoted += name;
        quoted += '\'';
        if (state.missingComponents.find(quoted) == std::string::npos) {
            if (!state.missingComponents.empty()) state.missingComponents += ',';
            state.missingComponents += quoted;
        }
        state.oldGenerationLoaded = true;
        return 0;
    }
    SetErrorContext(name);
    return kMsgMissingDefinition;
}

int ReadComponentsBlock(WindowRecord* record, const std::string& name, bool clear, LoadOptions options)
{
    CircuitFileState& state = CircuitFiles();
    state.missingComponents.clear();
    state.lastWarnedName.clear();
    state.pendingLine.clear();
    if (state.loadUnit >= 0) CloseUnit(state.loadUnit);
    state.loadUnit = FindFreeUnit();
    if (state.loadUnit < 0) return kMsgFileErrorBase + EMFILE;
    // Always the disk file: a window titled with this name is the one being loaded.
    if (int status = OpenUnitDiskFile(name, state.loadUnit)) return status;
    std::int32_t version = 0;
    int status = CheckCircuitFileHeader(state.loadUnit, version);
    state.loadVersion = version;
    if (status == 0 && version != kSectionedFileVersion) status = ReadBannerHeader(state.loadUnit, version);
    if (status != 0) return status;
    if (version == kPreviousGenerationVersion) {
        if (options & (kLoadMacro | kLoadRefuseOld)) {
            ReportMessage("WtE", record, name.c_str(), kMsgOldMacroRefused);
            return kMsgAlreadyReported;
        }
        if (!(options & kLoadQuiet)) {
            ReportMessage("WtE", record, name.c_str(), kMsgOldGenerationWarning);
            state.oldGenerationLoaded = true;
        }
    }
    if (clear && record->document) ListClear(record->document->itemList);
    if (version == kSectionedFileVersion) return ReadCircuitFileV2(record, options);
    return ReadBannerComponentsBlock(record, state.loadUnit, options, version);
}

int LoadCircuitFile(WindowRecord* target, const std::string& name, int kind, LoadOptions options,
                    WindowRecord*& out)
{
    out = nullptr;
    CircuitFileState& state = CircuitFiles();
    // A window shown at the end takes the maximised state of the child active now.
    win::BOOL activeMaximised = 0;
    if (win::HWND client = Frame().mdiClient)
        win::SendMessage(client, win::WM_MDIGETACTIVE, 0, reinterpret_cast<win::LPARAM>(&activeMaximised));
    const bool quiet = (options & kLoadQuiet) != 0;
    const bool macro = (options & kLoadMacro) != 0;
    state.illegalCoordinates = false;
    state.skippedSections = 0;
    state.firstSkippedSection.clear();
    state.cutShort = false;
    if (kind != kFileKindUnknown && kind != kFileKindModelFile) state.oldGenerationLoaded = false;

    if (kind == kFileKindUnknown) {
        if (quiet) return kMsgFileNotFound;
        ReportMessage("WE", FrameRecord(), kMsgFileNotFound, name.c_str());
        return kMsgAlreadyReported;
    }
    if (kind == kFileKindModelFile) return LaunchModelProgram(name, quiet);
    if (name.empty()) return 0;

    std::string path;
    int error = 0;
    if (options & (kLoadExactName | kLoadKeepTitle))
        path = name;
    else
        error = ResolveFileName(path, name, false);

    // A file open in a window comes to the front even when it has gone from the disk meanwhile.
    if (target == nullptr && (error == 0 || !path.empty())) {
        if (WindowRecord* found = FindOpenCircuit(path, macro)) {
            if (macro) {
                out = OpenSharedCircuitView(found, options);
                return out != nullptr ? 0 : kMsgInsufficientMemory;
            }
            if (!(options & (kLoadKeepTitle | kLoadNoRecent))) AddRecentFile(path);
            ActivateRecordWindow(found);
            out = found;
            return 0;
        }
        if (error == 0) error = CheckFileAccess(path);
    }
    // A window's circuit gives way only to a file that reads (Revert): one removed or damaged
    // since would otherwise leave the window closed and the circuit lost.
    if (target != nullptr && error == 0) {
        error = CheckFileAccess(path);
        if (error == 0 && IsSchematicKind(kind)) {
            const int status = TrialReadSchematic(path, kind, options);
            if (status != 0) {
                out = target;
                if (quiet) return status;
                ReportLoadFailure(status);
                return kMsgAlreadyReported;
            }
        }
        if (error == 0 && kind == kFileKindModelLibrary && ModelLibraryFiles().trial) {
            // The library reports a damaged file itself.
            const int status = ModelLibraryFiles().trial(path);
            if (status != 0) {
                out = target;
                if (quiet || status == kMsgAlreadyReported) return status;
                ReportMessage("WE", FrameRecord(), status, path.c_str());
                return kMsgAlreadyReported;
            }
        }
    }
    // The runtime's own text does not say which file; the file's name does (a recent-files entry
    // whose file has gone, a name on the command line).
    if (error == kMsgFileErrorBase + ENOENT) error = kMsgFileNotFound;
    if (error != 0) {
        SetPendingErrorText(UpperCaseFileName(path.empty() ? name : path));
        if (target != nullptr) out = target;
        if (quiet) return error;
        ReportMessage("WE", FrameRecord(), error, (path.empty() ? name : path).c_str());
        return kMsgAlreadyReported;
    }

    const bool created = target == nullptr;
    WindowRecord* record = nullptr;
    if (created) {
        record = NewDocumentWindow(macro ? kWindowPlainSchematic : kind, path);
        if (record != nullptr && kind == kFileKindTextCircuit && IsDefinitionsFile(path))
            record->flags |= kRecordDefinitionsFile;
    } else {
        record = RenewTargetRecord(target, kind);
    }
    if (record == nullptr) {
        if (quiet) return kMsgInsufficientMemory;
        ReportMessage("WE", FrameRecord(), kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    if (!(options & kLoadKeepTitle)) SetRecordTitle(record, path);

    const std::int32_t keptModified = record->modified;
    BeginWaitCursor(record->window);
    int status = ReadFileContent(record, path, kind, options);
    if (macro) record->flags |= kRecordMacroWindow;
    if (state.illegalCoordinates) ReportMessage("WE", record, kMsgIllegalCoordinates);
    if (!state.missingComponents.empty()) {
        Settings().demoRunning = false;
        if (!quiet) ReportMessage("WtE", record, state.missingComponents.c_str(), kMsgComponentsNotFound);
        if (!IsLiveWindowRecord(record)) {
            record = nullptr;
            if (status == 0) status = kMsgAlreadyReported;
        }
    }
    if (record != nullptr && state.skippedSections > 0 && !quiet)
        ReportMessage("WE", record, kMsgUnknownAnalysisSkipped, state.firstSkippedSection.c_str());
    if (record != nullptr && status == 0 && state.cutShort && !quiet) ReportMessage("WE", record, kMsgCircuitFileCutShort, path.c_str());

    if (status == 0 && record != nullptr) {
        record->untitled = false;
        // The file's text font replaces the default one the window was made with.
        if (record->document && record->document->textAreaWindow) SetRecordTextFont(record, record->document->numOutFont);
        // A converted older library stays modified until it is saved in the current form.
        record->modified = keptModified || (ModelLibraryFiles().modified && ModelLibraryFiles().modified(record));
        if (!(options & (kLoadMacro | kLoadKeepTitle | kLoadNoRecent))) AddRecentFile(path);
        if (IsSchematicKind(record->kind) && record->document) {
            record->document->connectivityStale = 1;
            if (state.loadVersion == kPreviousGenerationVersion) record->document->connectivityMode = kOldConnectivityMode;
            if (!(options & kLoadNoConnectivity)) RebuildNetlistIfNeeded(record, true);
        }
        if (state.oldGenerationLoaded && !macro) RedrawWindowParts(record, kRedrawOldGeneration);
    } else if (status != 0) {
        if (record != nullptr) {
            record->modified = 0;
            CloseRecordWindow(record);
            record = nullptr;
        }
        if (!quiet) {
            ReportLoadFailure(status);
            status = kMsgAlreadyReported;
        }
    }

    if (status == 0 && record != nullptr && record->document) {
        record->document->runStale.fill(0);
        const int pane = FindVisiblePane(record);
        if (pane >= 0) record->document->currentPane = pane;
    }
    out = record;
    EndWaitCursor();
    // A window renewed in place (Revert) stays where the user has it now.
    if (record != nullptr && ((options & kLoadShowWindow) || ((options & kLoadShowIfNew) && created)))
        ShowLoadedWindow(record, activeMaximised != 0, created);
    if (record != nullptr && created && !macro) SetEditMode(record, kCommandSelectMode);
    if (status == 0 && record != nullptr && !macro) FocusTextAreaAfterLoad(record);
    if (record != nullptr && !macro) RefreshToolButtonStates();
    state.missingComponents.clear();
    return status;
}

int LoadCircuitFileWithDefaults(WindowRecord* target, const std::string& name, int kind, WindowRecord*& out)
{
    return LoadCircuitFile(target, name, kind, kLoadDefaults, out);
}

int WriteCircuitFile(WindowRecord* record, const std::string& name, int flags)
{
    if (record == nullptr) return 0;
    const std::string path = name.empty() ? GetRecordTitle(record) : name;
    if (path.empty()) return 0;
    const std::string oldTitle = record->title;
    if (!(flags & kWriteQuietly)) SetRecordTitle(record, path);
    int status = 0;
    if (!(flags & kWriteBanner)) {
        status = SaveDocumentWindow(record, path, flags);
    } else {
        CircuitFileState& state = CircuitFiles();
        state.illegalCoordinates = false;
        state.loadVersion = kBannerFileVersion;
        status = SaveCircuitWith(record, path, flags, [record](int unit) { return WriteBannerFile(record, unit); });
    }
    if (status == 0) {
        record->untitled = false;
    } else if (!(flags & kWriteQuietly)) {
        // The window still shows the file it had: its content is not under the new name.
        SetRecordTitle(record, oldTitle);
    }
    return status;
}

int SaveWindowAs(WindowRecord* record, int flags)
{
    if (record == nullptr) return 1;
    const int kind = record->kind;
    if (kind != kWindowSchematic && kind != kWindowTextCircuit && kind != kWindowModelLibrary) return 1;
    for (;;) {
        const std::string name = AskSaveFileNameByKind(record, GetRecordTitle(record), kind);
        if (name.empty()) return 2;
        if (CheckFileNameFree(record, name) != 0) continue;
        const int status = WriteCircuitFile(record, name, flags);
        if (status == kMsgStoppedByUser) return 2;
        return 1;
    }
}

void RevertToSaved(WindowRecord* record)
{
    if (record == nullptr) return;
    const int answer = ReportMessage("WES", record, kMsgRevertQuestion, win::MB_YESNO | win::MB_ICONQUESTION);
    if (answer != win::IDYES) return;
    const std::uint32_t flags = record->flags;
    const int kind = record->kind;
    const std::string title = GetRecordTitle(record);
    WindowRecord* out = nullptr;
    if (LoadCircuitFile(record, title, kind, kLoadRevert, out) != 0 || out == nullptr) return;
    out->flags = flags;
    for (const auto& other : WindowRecords().records) {
        if (other.get() != out && other->document) RedrawWindowParts(other.get(), kRedrawDefault);
    }
}

WindowRecord* OpenSharedCircuitView(WindowRecord* open, LoadOptions options)
{
    if (open == nullptr || !open->document) return nullptr;
    // Like a macro read from the disk: a hidden window of its own, so that the connectivity
    // that names the macro's pins by their texts is built for it.
    WindowRecord* view = NewDocumentWindow(kWindowPlainSchematic, GetRecordTitle(open));
    if (view == nullptr) return nullptr;
    view->flags |= kRecordMacroWindow;
    view->untitled = false;
    view->textArea = open->textArea;
    // The view holds its own copy of the circuit's items: two headers of one list would each
    // miss what the other window adds or removes and leave the other pointing at freed nodes.
    if (!CopyDocumentItems(view, *open->document)) {
        CloseRecordWindow(view);
        return nullptr;
    }
    view->document->connectivityStale = 1;
    if (!(options & kLoadNoConnectivity)) RebuildNetlistIfNeeded(view, true);
    return view;
}

}  // namespace kq5
