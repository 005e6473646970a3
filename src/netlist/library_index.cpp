// Library index files: their layout, and their generation from the libraries.
#include "netlist/library_index.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <new>

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
#include "netlist/binary_library.h"
#include "netlist/circuit_build.h"
#include "netlist/library_bytes.h"
#include "netlist/library_progress.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_sources.h"

namespace kq5 {

namespace {

// An index file larger than this is taken for damaged rather than read into memory.
constexpr std::size_t kMaxIndexFileSize = std::size_t{1} << 30;

void AppendCounted(std::string& out, std::string_view text)
{
    const std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
    AppendLe16(out, static_cast<std::uint16_t>(length));
    out.append(text.substr(0, length));
}

constexpr int kMsgLibrarySection = 10974;
constexpr int kMsgLibraryHasSections = 10980;

// Takes fields off the front of the bytes; every take fails once the bytes run out.
class IndexCursor {
public:
    explicit IndexCursor(std::string_view bytes) : bytes_(bytes) {}
    bool Byte(std::uint8_t& value)
    {
        if (!Has(1)) return false;
        value = static_cast<std::uint8_t>(bytes_[at_++]);
        return true;
    }
    bool Word16(std::uint16_t& value)
    {
        if (!Has(2)) return false;
        value = GetLe16(bytes_, at_);
        at_ += 2;
        return true;
    }
    bool Word32(std::uint32_t& value)
    {
        if (!Has(4)) return false;
        value = GetLe32(bytes_, at_);
        at_ += 4;
        return true;
    }
    bool Counted(std::string& text)
    {
        std::uint16_t length = 0;
        if (!Word16(length) || !Has(length)) return false;
        text.assign(bytes_.substr(at_, length));
        at_ += length;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }
    std::size_t Left() const { return bytes_.size() - at_; }

private:
    bool Has(std::size_t n) const { return bytes_.size() - at_ >= n; }
    std::string_view bytes_;
    std::size_t at_ = 0;
};

bool DecodeRecord(IndexCursor& in, int libraryKind, LibraryIndexRecord& record)
{
    if (!in.Byte(record.kind)) return false;
    switch (record.kind) {
    case kIndexCircuitLibrary:
    case kIndexTextLibrary:
    case kIndexBinaryLibrary:
        return in.Word32(record.stamp) && in.Counted(record.text) && in.Byte(record.checked) && !record.text.empty();
    case kIndexModel:
        if (libraryKind == 0 || !in.Counted(record.text) || !in.Byte(record.modelType)) return false;
        if (record.modelType >= kModelTypeCount || record.text.empty()) return false;
        return libraryKind == kIndexBinaryLibrary || (in.Word32(record.position) && in.Word32(record.line));
    case kIndexSubcircuit:
    case kIndexMacro:
        return libraryKind != 0 && libraryKind != kIndexBinaryLibrary && in.Counted(record.text) &&
               !record.text.empty() && in.Word32(record.position) && in.Word32(record.line);
    case kIndexParamLine:
        return libraryKind != 0 && libraryKind != kIndexBinaryLibrary && in.Word32(record.position) &&
               in.Word32(record.line);
    default:
        return false;
    }
}

bool StartsWithWord(std::string_view text, std::string_view word)
{
    if (text.size() < word.size() || !EqualsNoCase(text.substr(0, word.size()), word)) return false;
    return text.size() == word.size() || text[word.size()] == ' ' || text[word.size()] == '\t';
}

// The word after the keyword: blanks skipped, up to a blank or the end.
std::string WordAfter(std::string_view text, std::size_t keywordLength)
{
    std::size_t start = std::min(keywordLength, text.size());
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
    std::size_t end = start;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    return CopyUpperCase(text.substr(start, end - start));
}

// Taken before the library is read, so that a change while it is read shows as a change.
LibraryIndexRecord LibraryRecord(int kind, const std::string& path)
{
    LibraryIndexRecord record;
    record.kind = static_cast<std::uint8_t>(kind);
    record.stamp = static_cast<std::uint32_t>(FileTimeOf(path));
    record.seenAt = FileTimeNanoseconds(path);
    record.text = path;
    return record;
}

LibraryIndexRecord ItemRecord(int kind, std::string name, long position, int line)
{
    LibraryIndexRecord record;
    record.kind = static_cast<std::uint8_t>(kind);
    record.text = std::move(name);
    record.position = static_cast<std::uint32_t>(std::max(position, 0L));
    record.line = static_cast<std::uint32_t>(std::max(line, 0));
    return record;
}

int IndexBinaryLibrary(const std::string& path, LibraryIndex& index)
{
    LibraryIndexRecord libraryRecord = LibraryRecord(kIndexBinaryLibrary, path);
    ModelLibrary library;
    if (LoadModelLibrary(library, path, true) != 0) return kMsgAlreadyReported;
    index.records.push_back(std::move(libraryRecord));
    for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) {
        if (entry.name.empty()) continue;
        LibraryIndexRecord record;
        record.kind = kIndexModel;
        record.text = CopyUpperCase(entry.name);
        record.modelType = static_cast<std::uint8_t>(entry.type);
        index.records.push_back(std::move(record));
    }
    return 0;
}

// An included file as the reader finds it: beside the file that names it, else where data
// files are looked for. Empty when there is none: the reader of the including file tells of a
// missing one, and the rest of the library stays usable.
std::string IncludedFilePath(const std::string& includer, std::string_view name)
{
    std::string trimmed(name);
    if (Trim(trimmed).empty() || trimmed == "\"\"") return {};
    std::string found = ResolveLibraryPath(trimmed, includer);
    return CheckFileAccess(found) == 0 ? found : std::string();
}

// One logical line of a text library; .LIB lines add their libraries to the work list, and so
// do .INC lines outside subcircuits.
int IndexTextLine(const std::string& path, std::string_view line, long position, int lineNumber, int& depth,
                  LibraryIndex& index)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() != '.') return 0;
    // Keywords are matched whatever their case: a library written in lower case is indexed too.
    // A library of sections (.LIB name ... .ENDL) would name each section as a file to search.
    if (StartsWithWord(line, ".ENDL")) {
        ReportMessage("WtE", CurrentRecord(), path, kMsgLibraryHasSections, path);
        return kMsgAlreadyReported;
    }
    if (std::size_t length = MatchDotKeyword(line, kDotLibrary)) {
        if (const std::string section = LibrarySectionWord(line); !section.empty()) {
            ReportMessage("WtE", CurrentRecord(), path, kMsgLibrarySection, section);
            return kMsgAlreadyReported;
        }
        int ignored = 0;
        return RegisterLibraryFile(line.substr(length), kIndexWorkList, ignored, false, path);
    }
    // A model kit often keeps its models in files that its library file includes: their
    // definitions are the library's own. An .INC inside a subcircuit belongs to that body.
    if (std::size_t length = MatchDotKeyword(line, kDotInclude)) {
        const std::string included = depth == 0 ? IncludedFilePath(path, line.substr(length)) : std::string();
        int ignored = 0;
        return included.empty() ? 0 : RegisterLibraryFile(included, kIndexWorkList, ignored, false, path);
    }
    if (std::size_t length = MatchDotKeyword(line, kDotModel)) {
        if (depth != 0) return 0;
        std::string name, akoName, typeName;
        ParseModelNameAko(line.substr(length), name, akoName, typeName);
        const int type = FindModelType(CopyUpperCase(typeName));
        if (name.empty() || type < 0) return 0;
        LibraryIndexRecord record = ItemRecord(kIndexModel, CopyUpperCase(name), position, lineNumber);
        record.modelType = static_cast<std::uint8_t>(type);
        index.records.push_back(std::move(record));
    } else if (StartsWithWord(line, ".ENDS")) {
        // A stray .ENDS must not hide the rest of the library.
        depth = std::max(depth - 1, 0);
    } else if (StartsWithWord(line, ".SUBCKT") && line.size() > 7) {
        if (++depth == 1)
            index.records.push_back(ItemRecord(kIndexSubcircuit, WordAfter(line, 7), position, lineNumber));
    } else if (std::size_t length = MatchDotKeyword(line, kDotMacro)) {
        std::string name = WordAfter(line, length);
        const long namePosition = position + static_cast<long>(name.size()) + 7;
        if (!name.empty()) index.records.push_back(ItemRecord(kIndexMacro, std::move(name), namePosition, lineNumber));
    } else if (depth == 0 && MatchDotKeyword(line, kDotParam)) {
        index.records.push_back(ItemRecord(kIndexParamLine, {}, position, lineNumber));
    }
    return 0;
}

int IndexTextLibrary(const std::string& path, LibraryIndex& index)
{
    LibraryIndexRecord libraryRecord = LibraryRecord(kIndexTextLibrary, path);
    int unit = -1;
    bool fromWindow = false;
    if (int status = OpenLibraryText(path, unit, fromWindow)) {
        ReportMessage("WtE", CurrentRecord(), path, status, path);
        return kMsgAlreadyReported;
    }
    WindowRecord* window = fromWindow ? FindRecordByTitle(path) : nullptr;
    const bool circuit = window ? window->kind == kWindowSchematic : IsCircuitFileOnDisk(path);
    // The window's text as it is now is indexed: later edits mark it changed again.
    if (window) window->changed = 0;
    if (circuit) libraryRecord.kind = kIndexCircuitLibrary;
    index.records.push_back(std::move(libraryRecord));
    int status = 0;
    int depth = 0;
    std::string line;
    while (status == 0 && SourceHasMoreLines(unit)) {
        const long position = TellUnitPosition(unit);
        const int lineNumber = GetFileUnit(unit)->lineNumber;
        if (ReadLogicalLine(unit, line, 0) != 0) {
            status = kMsgAlreadyReported;
            break;
        }
        status = IndexTextLine(path, line, position, lineNumber, depth, index);
    }
    CloseUnit(unit);
    return status;
}

}  // namespace

std::string IndexFileName(std::string_view libraryPath)
{
    std::string name(libraryPath);
    const std::string extension = GetFileExtension(name);
    const char* indexExtension = "INX";
    if (EqualsNoCase(extension, ".CIR"))
        indexExtension = "IXC";
    else if (EqualsNoCase(extension, ".LBR"))
        indexExtension = "IXL";
    else if (EqualsNoCase(extension, ".CKT"))
        indexExtension = "IXK";
    return ReplaceExtension(name, indexExtension);
}

std::string EncodeLibraryIndex(const LibraryIndex& index)
{
    std::string bytes;
    AppendLe16(bytes, kLibraryIndexVersion);
    AppendLe32(bytes, static_cast<std::uint32_t>(index.records.size()));
    int libraryKind = 0;
    for (const LibraryIndexRecord& record : index.records) {
        bytes += static_cast<char>(record.kind);
        if (record.IsLibrary()) {
            libraryKind = record.kind;
            AppendLe32(bytes, record.stamp);
            AppendCounted(bytes, record.text);
            bytes += '\0';
            continue;
        }
        if (record.kind != kIndexParamLine) AppendCounted(bytes, record.text);
        if (record.kind == kIndexModel) bytes += static_cast<char>(record.modelType);
        if (record.kind == kIndexModel && libraryKind == kIndexBinaryLibrary) continue;
        AppendLe32(bytes, record.position);
        AppendLe32(bytes, record.line);
    }
    return bytes;
}

bool DecodeLibraryIndex(std::string_view bytes, LibraryIndex& index)
{
    IndexCursor in(bytes);
    std::uint16_t version = 0;
    std::uint32_t count = 0;
    if (!in.Word16(version) || version != kLibraryIndexVersion || !in.Word32(count) || count > in.Left()) return false;
    std::vector<LibraryIndexRecord> records;
    records.reserve(count);
    int libraryKind = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        LibraryIndexRecord& record = records.emplace_back();
        if (!DecodeRecord(in, libraryKind, record)) return false;
        record.checked = 0;
        if (record.IsLibrary()) libraryKind = record.kind;
    }
    // The first record names the library the index was made for.
    if (!in.AtEnd() || records.empty() || !records.front().IsLibrary()) return false;
    index.records = std::move(records);
    return true;
}

bool ReadLibraryIndexFile(const std::string& indexPath, LibraryIndex& index)
{
    FileStream stream = OpenFileRead(indexPath);
    if (!stream) return false;
    const long length = FileLengthOfStream(stream.get());
    if (length < 0 || static_cast<std::size_t>(length) > kMaxIndexFileSize) return false;
    try {
        std::string bytes(static_cast<std::size_t>(length), '\0');
        if (length > 0 && std::fread(bytes.data(), 1, bytes.size(), stream.get()) != bytes.size()) return false;
        if (!DecodeLibraryIndex(bytes, index)) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    index.madeAt = FileTimeNanoseconds(indexPath);
    return true;
}

int GenerateLibraryIndex(const std::string& libraryPath, LibraryIndex* made)
{
    const std::string indexPath = IndexFileName(libraryPath);
    LibraryIndex index;
    int status = 0;
    StatusTextScope progress;
    try {
        ClearLibraryList(kIndexWorkList);
        int first = 0;
        status = RegisterLibraryFile(libraryPath, kIndexWorkList, first);
        // The work list grows while it is walked: each .LIB line adds its library.
        for (std::size_t i = 0; status == 0 && i < Libraries().lists[kIndexWorkList].size(); ++i) {
            const std::string path = Libraries().lists[kIndexWorkList][i].path;
            progress.Show(StrPrintf(LoadResString(kMsgGeneratingIndex).c_str(), path.c_str()));
            status = CheckLibraryNotEdited(path);
            if (status != 0) break;
            if (EqualsNoCase(GetFileExtension(path), ".LBR") && IsBinaryModelLibrary(path))
                status = IndexBinaryLibrary(path, index);
            else
                status = IndexTextLibrary(path, index);
        }
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
        status = kMsgAlreadyReported;
    }
    ClearLibraryList(kIndexWorkList);
    if (status != 0) {
        if (status != kMsgAlreadyReported) ReportMessage("WE", CurrentRecord(), status);
        std::remove(ResolveFilePath(indexPath).c_str());
        return kMsgAlreadyReported;
    }
    // The new index replaces the old one whole, so a reader never meets half an index. A
    // library in a directory that cannot be written to is still searched with the index in
    // memory.
    const int written = ReplaceFileContents(indexPath, EncodeLibraryIndex(index));
    if (made) *made = std::move(index);
    return written;
}

int OpenLibraryText(const std::string& path, int& unit, bool& fromWindow)
{
    unit = FindFreeUnit();
    fromWindow = FindRecordByTitle(path) != nullptr;
    if (unit < 0) return kMsgFileErrorBase + EMFILE;
    if (fromWindow || !IsCircuitFileOnDisk(path)) {
        if (int status = OpenUnit(path, unit)) {
            unit = -1;
            return status;
        }
        return 0;
    }
    // A circuit file holds its library text in its text area.
    WindowRecord* circuit = nullptr;
    const int status = LoadCircuitFile(nullptr, path, kFileKindSchematic,
                                       kLoadMacro | kLoadQuiet | kLoadNoRecent | kLoadNoConnectivity | kLoadCollectMissing,
                                       circuit);
    std::string text;
    if (circuit) {
        text = circuit->textArea;
        FreeWindowRecord(circuit);
    }
    if (status != 0) {
        unit = -1;
        return status == kMsgAlreadyReported ? kMsgBadFormat : status;
    }
    OpenMemoryTextUnit(unit, path, std::move(text));
    return 0;
}

void OpenMemoryTextUnit(int unit, const std::string& name, std::string text)
{
    FileUnit* slot = GetFileUnit(unit);
    if (!slot) return;
    *slot = FileUnit{};
    slot->mode = kUnitReading;
    slot->name = name;
    slot->textLength = static_cast<int>(text.size());
    slot->ownedText = std::move(text);
    slot->ownsMemoryText = true;
}

bool IsCircuitFileOnDisk(const std::string& path)
{
    FileStream stream = OpenFileRead(path);
    if (!stream) return false;
    std::string first, second;
    auto readLine = [&](std::string& line) {
        for (int c; (c = std::fgetc(stream.get())) != EOF && c != '\n' && line.size() < 200;)
            if (c != '\r') line += static_cast<char>(c);
        return Trim(line);
    };
    readLine(first);
    if (EqualsNoCase(first, "[Main]")) return true;
    // The banner file: a version line such as "5.03", then the product line.
    const bool versionLine = !first.empty() && first.find_first_not_of("0123456789.") == std::string::npos &&
                             first.find('.') != std::string::npos;
    return versionLine && EqualsNoCase(readLine(second), LoadResString(kMsgProductLine));
}

std::int64_t FileTimeNanoseconds(const std::string& path)
{
    struct stat st;
    if (::stat(ResolveFilePath(ToNativeSeparators(path)).c_str(), &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace kq5
