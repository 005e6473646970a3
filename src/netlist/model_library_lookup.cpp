// The circuit's library lists and the lookups through the library index files.
#include "netlist/model_library_lookup.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <set>
#include <utility>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/file_names.h"
#include "netlist/circuit_build.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "platform/message_box.h"

namespace kq5 {

namespace {

std::vector<LibraryListEntry>& List(int list) { return Libraries().lists[static_cast<std::size_t>(list)]; }

// List 0 follows the libraries that the circuit's reader registered (its .LIB lines, its own
// file, the default library), in their order; libraries registered here directly follow them.
// Entries that stay keep their loaded index.
void SyncCircuitLibraries()
{
    std::vector<LibraryListEntry>& current = List(kCircuitLibraryList);
    const std::vector<std::string>& circuit = CircuitLibraries();
    bool same = true;
    std::size_t mirrored = 0;
    for (const LibraryListEntry& entry : current) {
        if (entry.direct) continue;
        same = same && mirrored < circuit.size() && entry.path == circuit[mirrored];
        ++mirrored;
    }
    if (same && mirrored == circuit.size()) return;
    std::vector<LibraryListEntry> rebuilt;
    for (const std::string& path : circuit) {
        LibraryListEntry entry;
        for (LibraryListEntry& old : current) {
            if (!old.direct && old.path == path && old.index) {
                entry = std::move(old);
                break;
            }
        }
        entry.path = path;
        entry.direct = false;
        rebuilt.push_back(std::move(entry));
    }
    for (LibraryListEntry& old : current) {
        if (!old.direct) continue;
        bool listed = false;
        for (const LibraryListEntry& entry : rebuilt) listed = listed || FileNamesEqual(entry.path, old.path);
        if (!listed) rebuilt.push_back(std::move(old));
    }
    current = std::move(rebuilt);
}

bool IsOwnCircuitFile(const std::string& path)
{
    const std::string title = GetRecordTitle(CurrentRecord());
    return !title.empty() && FileNamesEqual(StripDirectory(path), StripDirectory(title));
}

// Reads the index of a list entry: the file, or a new one when the file is missing, older
// than the library, of another version, damaged, or the library's window was edited since.
bool LoadEntryIndex(LibraryListEntry& entry, int& error)
{
    const std::string indexPath = IndexFileName(entry.path);
    WindowRecord* window = FindRecordByTitle(entry.path);
    auto index = std::make_unique<LibraryIndex>();
    bool regenerate = window && window->changed;
    if (!regenerate)
        regenerate = !ReadLibraryIndexFile(indexPath, *index) || FileTimeNanoseconds(entry.path) > index->madeAt;
    if (regenerate && GenerateLibraryIndex(entry.path, index.get()) == kMsgAlreadyReported) {
        error = kMsgAlreadyReported;
        return false;
    }
    // Unsaved edits of the circuit being built: the next build indexes the saved text again.
    if (window && window == CurrentRecord() && window->modified) std::remove(ResolveFilePath(indexPath).c_str());
    entry.index = std::move(index);
    return true;
}

// Whether another existing library of the same directory has the same index file.
bool SharesIndexFile(const std::string& other, const std::string& path)
{
    return FileNamesEqual(IndexFileName(other), IndexFileName(path)) && CheckFileAccess(other) == 0;
}

bool IsStale(const LibraryIndexRecord& library, const LibraryIndex& index)
{
    // A library open in a window whose text changed since it was indexed.
    if (const WindowRecord* window = FindRecordByTitle(library.text); window && window->changed) return true;
    if (static_cast<std::uint32_t>(FileTimeOf(library.text)) != library.stamp) return true;
    const std::int64_t modified = FileTimeNanoseconds(library.text);
    // An index made in this session knows the exact time of each library it read; one read from
    // a file only that the file was written after them.
    return library.seenAt != 0 ? modified != library.seenAt : modified > index.madeAt;
}

// One logical line of a text library at a position told by its index.
int ReadLibraryLine(const std::string& path, std::uint32_t position, std::uint32_t line, std::string& text,
                    bool& fromWindow)
{
    int unit = -1;
    if (int status = OpenLibraryText(path, unit, fromWindow)) return status;
    int status = SeekUnit(unit, static_cast<long>(position), static_cast<int>(line));
    if (status == 0) status = ReadLogicalLine(unit, text, 0);
    CloseUnit(unit);
    return status;
}

std::string_view SkipBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

// The statement of a binary library entry, every parameter that differs from its default
// written in full precision (the LEVEL of the MOS rows always, so that the row is chosen again).
std::string EntryStatement(const ModelLibraryEntry& entry)
{
    const ModelTypeRow& row = *FindModelTypeRow(entry.type);
    std::string text = StrPrintf(".MODEL %s %s (", CopyUpperCase(entry.name).c_str(), row.name);
    for (int i = 0; i < row.libraryCount && i < static_cast<int>(entry.params.size()); ++i) {
        const ModelParamDesc& desc = row.params[i];
        const float value = entry.params[static_cast<std::size_t>(i)];
        const bool differs = std::bit_cast<std::uint32_t>(value) != std::bit_cast<std::uint32_t>(desc.defaultValue);
        if (desc.valueKind == kParamText || IsParamNotGiven(value)) continue;
        if (!differs && !(desc.flags & kParamAlwaysWritten)) continue;
        text += ' ';
        text += desc.name;
        text += '=';
        text += desc.valueKind == kParamCharacter ? FormatParamValue(entry.type, i, value)
                                                  : StrPrintf("%.9g", static_cast<double>(value));
    }
    return text + " )";
}

// The walk of one list entry's index for one lookup.
class IndexWalk {
public:
    IndexWalk(std::string_view name, int type, int kind, std::string* output, std::vector<std::string>* names)
        : name_(name), type_(type), kind_(kind), output_(output), names_(names)
    {
    }

    // The lookup's result when it ended in this entry; -1 to go on with the next entry (or
    // when `stop` is set, to end the search).
    int Walk(LibraryListEntry& entry, int& error, bool& stop)
    {
        const std::size_t listed = names_ ? names_->size() : 0;
        const int foundBefore = found;
        for (int attempt = 0; attempt < 2; ++attempt) {
            retry_ = false;
            const int result = WalkOnce(entry, error, stop, attempt == 0);
            if (!retry_) return result;
            // The walk of the new index lists again what this one listed.
            if (names_) names_->resize(listed);
            found = foundBefore;
            // The index no longer matched its libraries: made again once, then walked again.
            if (GenerateLibraryIndex(entry.path, entry.index.get()) == kMsgAlreadyReported) {
                error = kMsgAlreadyReported;
                stop = true;
                entry.index.reset();
                return -1;
            }
        }
        return -1;
    }

    int found = 0;  // names listed

private:
    int WalkOnce(LibraryListEntry& entry, int& error, bool& stop, bool mayRetry)
    {
        LibraryIndex& index = *entry.index;
        const LibraryIndexRecord* library = nullptr;
        for (std::size_t i = 0; i < index.records.size(); ++i) {
            LibraryIndexRecord& record = index.records[i];
            if (record.IsLibrary()) {
                library = &record;
                if (record.checked) continue;
                record.checked = 1;
                if (i == 0 && !FileNamesEqual(record.text, entry.path)) {
                    // An index copied or moved with its library names the old place: it is
                    // made again. Two libraries of one directory that share it clash.
                    if (!SharesIndexFile(record.text, entry.path)) return Retry(mayRetry);
                    ReportMessage("WMME", CurrentRecord(), "File1", entry.path, "File2", record.text,
                                  kMsgIndexNamesClash);
                    std::remove(ResolveFilePath(IndexFileName(entry.path)).c_str());
                    entry.index.reset();
                    error = kMsgAlreadyReported;
                    stop = true;
                    return -1;
                }
                if (CheckLibraryNotEdited(record.text) != 0) {
                    error = kMsgAlreadyReported;
                    stop = true;
                    return -1;
                }
                if (IsStale(record, index)) return Retry(mayRetry);
                continue;
            }
            if (!library) continue;
            const int result = Match(*library, record, error, stop, mayRetry);
            if (result >= 0 || stop || retry_) return result;
        }
        return -1;
    }

    int Retry(bool mayRetry)
    {
        retry_ = mayRetry;
        return -1;
    }

    int Match(const LibraryIndexRecord& library, const LibraryIndexRecord& record, int& error, bool& stop, bool mayRetry)
    {
        switch (kind_) {
        case kLookupModel:
            if (record.kind != kIndexModel || record.text != name_ || !ModelTypeMatches(record.modelType, type_)) return -1;
            return LoadModel(library, record, error, stop, mayRetry);
        case kLookupModelNames:
            if (record.kind == kIndexModel && names_ &&
                (ModelTypeMatches(record.modelType, type_) || (type_ == kModelLpnp && record.modelType == kModelPnp))) {
                names_->push_back(record.text);
                ++found;
            }
            return -1;
        case kLookupSubcircuit:
            if (record.kind != kIndexSubcircuit || record.text != name_) return -1;
            if (output_) *output_ = library.text;
            return static_cast<int>(record.position);
        case kLookupMacroText:
            if (record.kind != kIndexMacro || record.text != name_) return -1;
            return ReadMacroText(library, record, error, stop, mayRetry);
        case kLookupMacroPresence:
            if (record.kind != kIndexMacro || record.text != name_) return -1;
            if (output_) *output_ = record.text;
            return 0;
        case kLookupParamLines:
            if (record.kind == kIndexParamLine) LoadParamLine(library, record, error);
            return -1;
        default:
            return -1;
        }
    }

    int LoadModel(const LibraryIndexRecord& library, const LibraryIndexRecord& record, int& error, bool& stop,
                  bool mayRetry)
    {
        std::string statement;
        std::string memo;
        int sourceKind = kModelSourceBinaryLibrary;
        int line = 0;
        if (library.kind == kIndexBinaryLibrary) {
            ModelLibrary binary;
            if (LoadModelLibrary(binary, library.text, true) != 0) return Fail(error, stop);
            const ModelLibraryEntry* entry = FindLibraryEntry(binary, record.modelType, name_);
            if (!entry || entry->type != record.modelType) return Retry(mayRetry);
            statement = EntryStatement(*entry);
            memo = entry->memo;
        } else {
            bool fromWindow = false;
            if (int status = ReadLibraryLine(library.text, record.position, record.line, statement, fromWindow)) {
                ReportMessage("WtE", CurrentRecord(), library.text, status, library.text);
                return Fail(error, stop);
            }
            std::string statementName, akoName, typeName;
            const std::string_view text = SkipBlanks(statement);
            const std::size_t keyword = MatchDotKeyword(text, kDotModel);
            if (keyword) ParseModelNameAko(text.substr(keyword), statementName, akoName, typeName);
            const int type = keyword ? FindModelType(CopyUpperCase(typeName)) : -1;
            if (CopyUpperCase(statementName) != name_ || type < 0 || FoldMosRow(type) != FoldMosRow(record.modelType))
                return Retry(mayRetry);
            sourceKind = fromWindow ? kModelSourceTextWindow : kModelSourceTextFile;
            line = static_cast<int>(record.line);
        }
        const int before = ModelStatementCount();
        if (ParseModelStatement(statement, 0, line, sourceKind, library.text) != 0 || ModelStatementCount() == before)
            return Fail(error, stop);
        Models().statements.back().memo = memo;
        return ModelStatementCount() - 1;
    }

    int ReadMacroText(const LibraryIndexRecord& library, const LibraryIndexRecord& record, int& error, bool& stop,
                      bool mayRetry)
    {
        // The index points behind ".MACRO name"; the line itself starts that much earlier.
        const std::uint32_t skipped = static_cast<std::uint32_t>(record.text.size() + 7);
        if (record.position < skipped) return Retry(mayRetry);
        std::string text;
        bool fromWindow = false;
        if (int status = ReadLibraryLine(library.text, record.position - skipped, record.line, text, fromWindow)) {
            ReportMessage("WtE", CurrentRecord(), library.text, status, library.text);
            return Fail(error, stop);
        }
        std::string_view line = SkipBlanks(text);
        const std::size_t keyword = MatchDotKeyword(line, kDotMacro);
        line = SkipBlanks(line.substr(keyword));
        if (!keyword || CopyUpperCase(line.substr(0, record.text.size())) != record.text) return Retry(mayRetry);
        std::string rest(line.substr(record.text.size()));
        if (output_) *output_ = Trim(rest);
        return 0;
    }

    void LoadParamLine(const LibraryIndexRecord& library, const LibraryIndexRecord& record, int& error)
    {
        // A line is read once: again after its index was made anew, or through a second
        // library that names the same one, it would define its parameters twice.
        if (!paramLinesRead_.emplace(library.text, record.position).second) return;
        std::string text;
        bool fromWindow = false;
        if (int status = ReadLibraryLine(library.text, record.position, record.line, text, fromWindow)) {
            ReportMessage("WtE", CurrentRecord(), library.text, status, library.text);
            error = kMsgAlreadyReported;
            return;
        }
        if (!MatchDotKeyword(SkipBlanks(text), kDotParam)) return;
        // The line lives with the circuit's text objects, which its parameters point at, but
        // the passes over the circuit's own text leave it alone.
        NetlistTextObject* object = AddCircuitTextObject(text, static_cast<int>(record.line), 0, library.text);
        if (!object) {
            ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
            error = kMsgAlreadyReported;
            return;
        }
        object->disabled = true;
        if (EvaluateParamText(*object) != 0) error = kMsgAlreadyReported;
    }

    static int Fail(int& error, bool& stop)
    {
        error = kMsgAlreadyReported;
        stop = true;
        return -1;
    }

    std::string name_;
    int type_;
    int kind_;
    std::string* output_;
    std::vector<std::string>* names_;
    std::set<std::pair<std::string, std::uint32_t>> paramLinesRead_;
    bool retry_ = false;
};

int SaveEditedWindow(WindowRecord* window)
{
    int status = 0;
    switch (window->kind) {
    case kWindowTextCircuit:
        status = WriteTextWindowToFile(window);
        break;
    case kWindowSchematic:
        status = WriteCircuitFile(window, {}, 0);
        break;
    case kWindowModelLibrary:
        if (ModelLibrary* library = ModelLibraryOf(window)) status = SaveModelLibrary(*library, GetRecordTitle(window));
        break;
    default:
        break;
    }
    // Saved: the next lookup does not ask again.
    if (status == 0) window->modified = 0;
    return status;
}

}  // namespace

LibraryState& Libraries()
{
    static LibraryState state;
    return state;
}

void ResetLibraryStateForTests()
{
    ResetModelLibrariesForTests();
    for (std::vector<LibraryListEntry>& list : Libraries().lists) list.clear();
}

std::string ResolveLibraryPath(std::string_view name, std::string_view besideFile)
{
    std::string trimmed;
    for (char c : name)
        if (c != '"') trimmed += c;
    Trim(trimmed);
    if (trimmed.empty()) trimmed = "NOM.LIB";
    std::string path;
    // A relative name, folders and all, is taken from the naming file's folder first, so that a
    // kit's files find each other wherever the program was started.
    const std::size_t separator = besideFile.find_last_of("/\\");
    if (separator != std::string_view::npos && !std::filesystem::path(ToNativeSeparators(trimmed)).is_absolute()) {
        std::string beside = ToNativeSeparators(std::string(besideFile.substr(0, separator + 1)) + trimmed);
        if (CheckFileAccess(beside) == 0) path = std::move(beside);
    }
    if (path.empty() && (LocateFile(path, trimmed, kLocateWorkingData, true) != 0 || path.empty())) path = trimmed;
    // The libraries that come with the program sit beside it.
    if (CheckFileAccess(path) != 0 && trimmed.find_first_of("/\\") == std::string::npos) {
        std::string installed;
        if (LocateFile(installed, trimmed, kLocateProgram, true) == 0 && CheckFileAccess(installed) == 0)
            path = std::move(installed);
    }
    // A name folded to upper case by the reader still finds the file as it is spelled on disk.
    return ResolveFilePath(ToNativeSeparators(path));
}

int RegisterLibraryFile(std::string_view name, int list, int& index, bool searchBoth, std::string_view besideFile)
{
    index = -1;
    if (list < 0 || list > kIndexWorkList) return 0;
    try {
        std::string path = ResolveLibraryPath(name, besideFile);
        for (int searched = searchBoth ? 0 : list; searched <= list; ++searched) {
            const std::vector<LibraryListEntry>& entries = List(searched);
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (!FileNamesEqual(entries[i].path, path)) continue;
                index = static_cast<int>(i);
                return 0;
            }
        }
        LibraryListEntry entry;
        entry.path = std::move(path);
        entry.direct = true;
        List(list).push_back(std::move(entry));
        index = static_cast<int>(List(list).size()) - 1;
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
    return 0;
}

void ClearLibraryList(int list)
{
    if (list >= 0 && list <= kIndexWorkList) List(list).clear();
}

bool ModelTypeMatches(int typeInIndex, int typeWanted) { return FoldMosRow(typeInIndex) == FoldMosRow(typeWanted); }

int CheckLibraryNotEdited(const std::string& path)
{
    WindowRecord* window = FindRecordByTitle(path);
    if (!window || window == CurrentRecord() || !window->modified) return 0;
    const int answer = ReportMessage("WSE", window, win::MB_OKCANCEL | win::MB_ICONQUESTION, kMsgLibraryEdited, path);
    if (answer != win::IDOK) return kMsgAlreadyReported;
    return SaveEditedWindow(window);
}

int FindInLibraries(std::string_view name, int modelType, int lookupKind, int& error, std::string* output, int library,
                    std::vector<std::string>* names)
{
    error = 0;
    try {
        SyncCircuitLibraries();
        std::vector<LibraryListEntry>& entries = List(kCircuitLibraryList);
        // Every lookup checks the libraries' time stamps again: a library changed since its
        // index was read is indexed anew.
        for (LibraryListEntry& entry : entries)
            if (entry.index)
                for (LibraryIndexRecord& record : entry.index->records) record.checked = 0;
        IndexWalk walk(CopyUpperCase(name), modelType, lookupKind, output, names);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (library >= 0 && static_cast<int>(i) != library) continue;
            LibraryListEntry& entry = entries[i];
            if (!FindRecordByTitle(entry.path) && CheckFileAccess(entry.path) != 0) {
                // A circuit without a file of its own has nothing to look up in itself.
                if (IsOwnCircuitFile(entry.path) || entry.missingReported) continue;
                entry.missingReported = true;
                ReportMessage("WtE", CurrentRecord(), entry.path, CheckFileAccess(entry.path), entry.path);
                error = kMsgAlreadyReported;
                continue;
            }
            entry.missingReported = false;
            if (!entry.index && !LoadEntryIndex(entry, error)) return -1;
            bool stop = false;
            const int result = walk.Walk(entry, error, stop);
            if (result >= 0 || stop) return result;
        }
        if (lookupKind == kLookupModelNames) return walk.found > 0 ? walk.found : -1;
        if (lookupKind == kLookupParamLines) return 0;
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
        error = kMsgAlreadyReported;
    }
    return -1;
}

}  // namespace kq5
