#include "netlist/spice_sources.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
#include "netlist/build_errors.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/text_window_lines.h"

namespace kq5 {

namespace {

constexpr int kMsgTooManyIncludes = 10907;
constexpr int kMsgNotAFile = 10940;
constexpr int kMsgIncludesItself = 13385;
constexpr int kMsgFileTooLarge = 10941;
constexpr int kMsgStatementTooLong = 10942;

bool HasMemoryText(const FileUnit& slot) { return slot.ownsMemoryText || slot.borrowedText != nullptr; }

// The text of a text-window unit read line by line (no memory text loaded).
const std::string* WindowText(const FileUnit& slot)
{
    return slot.textWindow != nullptr ? GetTextAreaBuffer(slot.textWindow) : nullptr;
}

bool IsContinuationMark(int c) { return c == '+' || c == '*' || c == ';'; }

// Blank inside a line: a line of these alone is an empty line.
bool IsLineBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Decks written by other tools leave empty lines inside a statement, before a '+' line. Read
// from a line start, this tells whether the lines ahead are empty, white space or comments up
// to a line that begins with '+' (such lines are dropped like the comment lines there). A '+'
// after those lines could only start a broken statement of its own until now.
class BlankLinesScan {
  public:
    enum Result { kMore, kContinuation, kNone };
    Result Feed(char c)
    {
        if (c == '\n') {
            blankLine_ = blankLine_ || !comment_;
            lineStart_ = true;
            comment_ = false;
            return kMore;
        }
        if (comment_) return kMore;
        if (lineStart_) {
            lineStart_ = false;
            if (c == '+') return blankLine_ ? kContinuation : kNone;
            if (c == '*' || c == ';') {
                comment_ = true;
                return kMore;
            }
        }
        return IsLineBlank(static_cast<unsigned char>(c)) ? kMore : kNone;
    }

  private:
    bool lineStart_ = true;
    bool comment_ = false;
    bool blankLine_ = false;  // one empty line at least, else the usual rules apply
};

// The offset of the '+' that continues the statement past the blank lines from `from`, or npos.
std::size_t ContinuationAfterBlankLines(std::string_view text, std::size_t from)
{
    BlankLinesScan scan;
    for (std::size_t i = from; i < text.size(); ++i) {
        const BlankLinesScan::Result result = scan.Feed(text[i]);
        if (result == BlankLinesScan::kContinuation) return i;
        if (result == BlankLinesScan::kNone) break;
    }
    return std::string_view::npos;
}

// One physical line of a file or text-window unit, with its line feed, counted. False at the
// end of the source. A line is taken up to one character beyond the statement limit, so that
// a text without line feeds (a device, a binary file) is never read whole.
bool ReadPhysicalLine(FileUnit& slot, std::string& out)
{
    out.clear();
    if (slot.stream) {
        std::FILE* stream = slot.stream.get();
        int c = std::getc(stream);
        if (c == EOF) return false;
        while (c != EOF) {
            out += static_cast<char>(c);
            if (c == '\n' || out.size() > kMaxStatementChars) break;
            c = std::getc(stream);
        }
        ++slot.lineNumber;
        return true;
    }
    const std::string* text = WindowText(slot);
    if (text == nullptr || slot.readPosition >= static_cast<int>(text->size())) return false;
    std::size_t start = static_cast<std::size_t>(slot.readPosition);
    std::size_t end = text->find('\n', start);
    end = end == std::string::npos ? text->size() : end + 1;
    out.assign(*text, start, std::min(end - start, kMaxStatementChars + 1));
    slot.readPosition = static_cast<int>(end);
    ++slot.lineNumber;
    return true;
}

// True when the next physical lines are empty or white space up to a line that begins with
// '+'. A stream is read ahead and put back; one that cannot be put back says no.
bool BlankLinesBeforeContinuation(FileUnit& slot)
{
    if (slot.stream) {
        std::FILE* stream = slot.stream.get();
        const long here = std::ftell(stream);
        if (here < 0) return false;
        BlankLinesScan scan;
        BlankLinesScan::Result result = BlankLinesScan::kMore;
        for (int c = std::getc(stream); c != EOF && result == BlankLinesScan::kMore; c = std::getc(stream))
            result = scan.Feed(static_cast<char>(c));
        const bool found = result == BlankLinesScan::kContinuation;
        std::clearerr(stream);
        return std::fseek(stream, here, SEEK_SET) == 0 && found;
    }
    const std::string* text = WindowText(slot);
    return text != nullptr && ContinuationAfterBlankLines(*text, static_cast<std::size_t>(slot.readPosition)) !=
                                  std::string_view::npos;
}

// The first character of the next physical line without taking it; EOF at the end.
int PeekNextLineStart(FileUnit& slot)
{
    if (slot.stream) {
        std::FILE* stream = slot.stream.get();
        int c = std::getc(stream);
        if (c != EOF) std::ungetc(c, stream);
        return c;
    }
    const std::string* text = WindowText(slot);
    if (text == nullptr || slot.readPosition >= static_cast<int>(text->size())) return EOF;
    return static_cast<unsigned char>((*text)[static_cast<std::size_t>(slot.readPosition)]);
}

void CutAtSemicolon(std::string& line)
{
    std::size_t semicolon = line.find(';');
    if (semicolon != std::string::npos) {
        bool hadBreak = !line.empty() && line.back() == '\n';
        line.erase(semicolon);
        if (hadBreak) line += '\n';
    }
}

// Joins the physical lines of one statement of a file or text window. False when the
// statement grew beyond the limit (the rest of it is left unread).
bool ReadJoinedLines(FileUnit& slot, std::string& line, bool raw)
{
    std::string physical;
    if (!ReadPhysicalLine(slot, physical)) return true;
    if (!raw) CutAtSemicolon(physical);
    std::size_t first = 0;
    while (first < physical.size() && (physical[first] == ' ' || physical[first] == '\t')) ++first;
    line.append(physical, first, std::string::npos);
    for (int next = PeekNextLineStart(slot); next != EOF; next = PeekNextLineStart(slot)) {
        if (line.size() > kMaxStatementChars) return false;
        if (!IsContinuationMark(next)) {
            const bool statement = !line.empty() && line[0] != '\n' && !IsLineBlank(static_cast<unsigned char>(line[0]));
            if ((next != '\n' && !IsLineBlank(next)) || !statement || !BlankLinesBeforeContinuation(slot)) break;
            while (PeekNextLineStart(slot) != '+') {
                ReadPhysicalLine(slot, physical);
                if (raw) line += physical;
            }
            continue;
        }
        ReadPhysicalLine(slot, physical);
        if (next == '+') {
            if (!raw) {
                physical[0] = ' ';
                CutAtSemicolon(physical);
            }
            line += physical;
        } else if (raw) {
            line += physical;
        }
    }
    return line.size() <= kMaxStatementChars;
}

enum class BlockRead { kLine, kSkipped, kTooLong };

// The memory-text reader: the block from the first non-blank character to the first line
// feed that no continuation or comment line follows.
BlockRead ReadMemoryBlock(FileUnit& slot, std::string& line, bool dotLinesOnly)
{
    const std::string_view text = slot.MemoryText();
    std::size_t position = static_cast<std::size_t>(slot.readPosition);
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(slot.textLength));
    while (position < length && (text[position] == ' ' || text[position] == '\t')) ++position;
    const std::size_t start = position;
    // Only a statement looks past blank lines for its continuation; an empty line does not.
    const bool statement = start < length && text[start] != '\n' && !IsLineBlank(static_cast<unsigned char>(text[start]));
    while (position < length) {
        char c = text[position++];
        if (c != '\n') continue;
        ++slot.lineNumber;
        if (position >= length) break;
        if (IsContinuationMark(static_cast<unsigned char>(text[position]))) continue;
        if (!statement) break;
        const std::size_t plus = ContinuationAfterBlankLines(text.substr(0, length), position);
        if (plus == std::string_view::npos) break;
        slot.lineNumber += static_cast<int>(std::count(text.begin() + position, text.begin() + plus, '\n'));
        position = plus;
    }
    slot.readPosition = static_cast<int>(position);
    if (dotLinesOnly && (start >= position || text[start] != '.')) return BlockRead::kSkipped;
    if (position - start > kMaxStatementChars) return BlockRead::kTooLong;
    line.assign(text.substr(start, position - start));
    for (char& c : line)
        if (c == '\r') c = ' ';
    return BlockRead::kLine;
}

// Blanks what follows a line feed: comment lines always, continuation marks and ';' comments
// outside raw mode.
void CleanJoinedText(std::string& line, bool raw)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\n' && i + 1 < line.size() && line[i + 1] == '*') {
            std::size_t end = line.find('\n', i + 1);
            if (end == std::string::npos) end = line.size();
            std::fill(line.begin() + static_cast<std::ptrdiff_t>(i), line.begin() + static_cast<std::ptrdiff_t>(end),
                      ' ');
            i = end - 1;
            continue;
        }
        if (raw) continue;
        if (line[i] == '\n' && i + 1 < line.size() && line[i + 1] == '+') {
            line[i + 1] = ' ';
        } else if (line[i] == ';') {
            std::size_t end = line.find('\n', i);
            if (end == std::string::npos) end = line.size();
            std::fill(line.begin() + static_cast<std::ptrdiff_t>(i), line.begin() + static_cast<std::ptrdiff_t>(end),
                      ' ');
            i = end == line.size() ? end : end - 1;
        }
    }
}

void FinishLogicalLine(std::string& line, bool raw)
{
    if (!NetlistReader().lineCleanupOff) CleanJoinedText(line, raw);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    if (raw) return;
    for (char& c : line) {
        c = ToUpperChar(c);
        if (HasCharClass(c, kCharSpace)) c = ' ';
    }
    std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        line.clear();
        return;
    }
    line.erase(0, first);
    while (!line.empty() && line.back() == ' ') line.pop_back();
}

// The directory part of a source name, empty when it has none.
std::string DirectoryOf(const std::string& name)
{
    std::size_t separator = name.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : name.substr(0, separator + 1);
}

// An include file is looked for beside the file that names it first, then where data files
// are looked for.
std::string ResolveIncludeName(const std::string& name)
{
    std::string trimmed = name;
    const std::filesystem::path asWritten(trimmed);
    if (!asWritten.is_absolute()) {
        const std::string directory = DirectoryOf(TopSourceName());
        if (!directory.empty()) {
            std::string beside = directory + trimmed;
            // The statement was folded to upper case: the file keeps the name it has on disk.
            if (CheckFileAccess(beside) == 0) return ResolveFilePath(beside);
        }
    }
    std::string resolved;
    ResolveFileName(resolved, trimmed, false);
    return resolved.empty() ? trimmed : ResolveFilePath(resolved);
}

}  // namespace

int PushIncludeSource(const std::string& name)
{
    NetlistReaderState& state = NetlistReader();
    if (state.includeLevel >= kMaxIncludeLevel) {
        ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgTooManyIncludes);
        return kMsgAlreadyReported;
    }
    const std::string path = ResolveIncludeName(name);
    // A file that is being read already would be read again and again, its first line (a title
    // in a circuit file) taken for a statement.
    for (int level = 0; level <= state.includeLevel; ++level) {
        const FileUnit* source = GetFileUnit(state.includeUnits[static_cast<std::size_t>(level)]);
        std::error_code error;
        if (source && !source->name.empty() && std::filesystem::equivalent(path, source->name, error)) {
            ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgIncludesItself, path);
            return kMsgAlreadyReported;
        }
    }
    const int scope = CurrentScope();
    for (const auto& [readBy, read] : state.includedFiles) {
        std::error_code error;
        if (readBy == scope && std::filesystem::equivalent(path, read, error)) return 0;
    }
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
        // Devices, pipes and folders never end or never begin: only files are read.
        if (!S_ISREG(info.st_mode)) {
            ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgNotAFile, path);
            return kMsgAlreadyReported;
        }
        if (int status = CheckNetlistSize(path, static_cast<long long>(info.st_size))) return status;
    }
    int unit = FindFreeUnit();
    if (unit < 0) return kMsgFileErrorBase + EMFILE;
    ++state.includeLevel;
    state.includeUnits[static_cast<std::size_t>(state.includeLevel)] = unit;
    int status = OpenUnit(path, unit);
    if (status != 0) {
        state.includeUnits[static_cast<std::size_t>(state.includeLevel)] = -1;
        --state.includeLevel;
        return status;
    }
    try {
        state.includedFiles.emplace_back(scope, path);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

int CheckNetlistSize(std::string_view name, long long bytes)
{
    if (bytes <= kMaxNetlistFileBytes) return 0;
    ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgFileTooLarge, std::string(name),
                         std::to_string(bytes), std::to_string(kMaxNetlistFileBytes));
    return kMsgAlreadyReported;
}

void PopIncludeSource()
{
    NetlistReaderState& state = NetlistReader();
    if (state.includeLevel < 0) return;
    int& unit = state.includeUnits[static_cast<std::size_t>(state.includeLevel)];
    CloseUnit(unit);
    unit = -1;
    --state.includeLevel;
}

void PopAllSources()
{
    while (NetlistReader().includeLevel >= 0) PopIncludeSource();
}

int OpenLevelZeroSource(int& unit)
{
    NetlistReaderState& state = NetlistReader();
    WindowRecord* record = CurrentRecord();
    unit = FindFreeUnit();
    if (unit < 0) return kMsgFileErrorBase + EMFILE;
    FileUnit& slot = *GetFileUnit(unit);
    slot.mode = kUnitReading;
    slot.textWindow = record;
    slot.name = GetRecordTitle(record);
    if (int status = LoadUnitText(unit, 0, 0, kLoadToEnd)) {
        CloseUnit(unit);
        unit = -1;
        return status;
    }
    state.includeLevel = 0;
    state.includeUnits[0] = unit;
    return 0;
}

int TopSourceUnit()
{
    const NetlistReaderState& state = NetlistReader();
    return state.includeLevel < 0 ? -1 : state.includeUnits[static_cast<std::size_t>(state.includeLevel)];
}

int IncludeLevel() { return NetlistReader().includeLevel; }

std::string TopSourceName()
{
    const FileUnit* slot = GetFileUnit(TopSourceUnit());
    return slot ? slot->name : std::string();
}

bool SourceHasMoreLines(int unit)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return false;
    if (HasMemoryText(*slot)) return slot->readPosition < slot->textLength;
    if (slot->textWindow != nullptr) {
        const std::string* text = WindowText(*slot);
        return text != nullptr && slot->readPosition < static_cast<int>(text->size());
    }
    if (slot->stream) return PeekNextLineStart(*slot) != EOF;
    return false;
}

bool NextSourceWithLines(int unit)
{
    while (!SourceHasMoreLines(unit)) {
        if (NetlistReader().includeLevel < 1) return false;
        PopIncludeSource();
        unit = TopSourceUnit();
    }
    return true;
}

int ReadUnitLine(int unit, std::string& line)
{
    line.clear();
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return kMsgEndOfFile;
    if (HasMemoryText(*slot)) {
        const std::string_view text = slot->MemoryText();
        const std::size_t length = std::min(text.size(), static_cast<std::size_t>(slot->textLength));
        std::size_t start = static_cast<std::size_t>(slot->readPosition);
        if (start >= length) return kMsgEndOfFile;
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos || end >= length ? length : end + 1;
        line.assign(text.substr(start, end - start));
        slot->readPosition = static_cast<int>(end);
        ++slot->lineNumber;
    } else if (!ReadPhysicalLine(*slot, line)) {
        return kMsgEndOfFile;
    }
    while (!line.empty() && HasCharClass(line.back(), kCharSpace)) line.pop_back();
    return 0;
}

int SeekUnit(int unit, long position, int line)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr || position < 0) return kMsgEndOfFile;
    if (HasMemoryText(*slot)) {
        slot->readPosition = static_cast<int>(position - slot->rangeStart);
    } else if (slot->stream) {
        if (std::fseek(slot->stream.get(), position, SEEK_SET) != 0) return kMsgEndOfFile;
    } else {
        slot->readPosition = static_cast<int>(position);
    }
    slot->lineNumber = line;
    return 0;
}

long TellUnitPosition(int unit)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return -1;
    if (HasMemoryText(*slot)) return static_cast<long>(slot->rangeStart) + slot->readPosition;
    if (slot->stream) return std::ftell(slot->stream.get());
    return slot->readPosition;
}

namespace {
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

int ReadLogicalLine(int unit, std::string& line, unsigned flags)
{
    NetlistReaderState& state = NetlistReader();
    FileUnit* slot = GetFileUnit(unit);
    line.clear();
    if (slot == nullptr) return 0;
    state.logicalLineStart = slot->lineNumber;
    const bool raw = (flags & kReadRaw) != 0;
    try {
        bool fits = true;
        if (HasMemoryText(*slot)) {
            const BlockRead read = ReadMemoryBlock(*slot, line, (flags & kReadDotLines) != 0);
            if (read == BlockRead::kSkipped) {
                line.clear();
                return 0;
            }
            fits = read == BlockRead::kLine;
        } else {
            fits = ReadJoinedLines(*slot, line, raw);
        }
        // A file saved by an editor that marks UTF-8 begins with a byte order mark, which would
        // make its first statement unknown while showing nothing.
        if (state.logicalLineStart == 0 && line.starts_with(kUtf8ByteOrderMark))
            line.erase(0, kUtf8ByteOrderMark.size());
        if (!fits) {
            line.clear();
            line.shrink_to_fit();
            SetErrorSourceLine(slot->name, state.logicalLineStart);
            ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgStatementTooLong, slot->name,
                                 std::to_string(kMaxStatementChars));
            FlagCircuitBuildError();
            return kMsgAlreadyReported;
        }
        FinishLogicalLine(line, raw);
    } catch (const std::bad_alloc&) {
        CloseUnit(unit);
        line.clear();
        line.shrink_to_fit();
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }
    return 0;
}

int ReadLogicalLineShowingError(int unit, std::string& line)
{
    const FileUnit* slot = GetFileUnit(unit);
    WindowRecord* window = slot ? slot->textWindow : nullptr;
    int status = ReadLogicalLine(unit, line, 0);
    if (status != 0 && window != nullptr && IsLiveWindowRecord(window)) {
        // Put the caret on the statement that could not be read.
        const std::string* text = GetTextAreaBuffer(window);
        std::size_t offset = 0;
        for (int lineIndex = 0; text && lineIndex < LogicalLineStart() && offset < text->size(); ++lineIndex) {
            std::size_t next = text->find('\n', offset);
            offset = next == std::string::npos ? text->size() : next + 1;
        }
        window->textAreaCaret = offset;
    }
    return status;
}

int LogicalLineStart() { return NetlistReader().logicalLineStart; }

void SetLineCleanup(bool on) { NetlistReader().lineCleanupOff = !on; }

std::string& CollapseLineBreaks(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r' || c == '\n') c = ' ';
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out += c;
    }
    text.swap(out);
    return text;
}

std::string& BlankTextComments(std::string& text)
{
    CleanJoinedText(text, false);
    return text;
}

}  // namespace kq5
