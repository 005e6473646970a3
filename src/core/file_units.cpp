#include "core/file_units.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <new>

#include "core/batch_log.h"
#include "core/error_context.h"
#include "core/file_paths.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "platform/replacing_file.h"

namespace kq5 {

namespace {

// The error of an operation on a number that names no unit, or on a unit without a stream.
int BadUnitError() { return kMsgFileErrorBase + EBADF; }

// The message id of a runtime failure whose error number may be missing: a failure is never
// allowed to read as success.
int FailureId(int error, int fallback)
{
    int id = ErrnoToMessageId(error);
    return id != 0 ? id : fallback;
}

// Common preparation of every open: the unit is closed, the runtime's error number cleared, and
// the unit takes its mode and a copy of the name.
int PrepareUnit(const std::string& name, int unit, int mode)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return BadUnitError();
    CloseUnit(unit);
    errno = 0;
    if (name.empty()) return kMsgMissingFileName;
    slot->mode = mode;
    slot->lineNumber = 0;
    slot->name = name;
    return 0;
}

// Opens the unit's disk file; on failure the slot is freed and the mapped error returned.
int OpenUnitStream(int unit, const char* mode)
{
    FileUnit& slot = *GetFileUnit(unit);
    SetErrorContext(slot.name);
    slot.stream.reset(OpenResolvedFile(slot.name, mode));
    if (slot.stream) return 0;
    int error = FailureId(errno, kMsgFileErrorBase);
    slot = FileUnit{};
    return error;
}

// The text window holding the named file; null when none does or no window layer is present.
WindowRecord* FindTextWindowOf(const std::string& name)
{
    const TextWindowFileServices& windows = TextWindowFiles();
    return windows.findWindow ? windows.findWindow(name) : nullptr;
}

int TextWindowLineTotal(WindowRecord* record)
{
    const TextWindowFileServices& windows = TextWindowFiles();
    return windows.lineTotal ? windows.lineTotal(record) : 0;
}

int StoreWriteError(FileUnit& slot, int fallback)
{
    slot.lastError = FailureId(errno, fallback);
    return slot.lastError;
}

int LoadDiskRange(FileUnit& slot, int line, long start, long end)
{
    std::FILE* stream = slot.stream.get();
    slot.lineNumber = line == -1 ? 0 : line;
    slot.ownedText.clear();
    slot.ownsMemoryText = false;
    slot.borrowedText = nullptr;
    slot.rangeStart = slot.readPosition = slot.textLength = 0;
    if (std::fseek(stream, start, SEEK_SET) != 0) return FailureId(errno, kMsgFileErrorBase);
    if (end == kLoadToEnd) end = std::max(FileLengthOfStream(stream) - 1, 1L);
    if (end <= start) return 0;
    try {
        slot.ownedText.assign(static_cast<std::size_t>(end - start + 1), '\0');
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    // The range may reach past the end of the file: the text is what was actually read.
    std::size_t got = std::fread(slot.ownedText.data(), 1, slot.ownedText.size(), stream);
    if (got < slot.ownedText.size() && std::ferror(stream)) {
        int error = FailureId(errno, kMsgFileErrorBase);
        slot.ownedText.clear();
        return error;
    }
    slot.ownedText.resize(got);
    slot.ownsMemoryText = true;
    slot.rangeStart = static_cast<int>(start);
    slot.textLength = static_cast<int>(got);
    return 0;
}

int LoadWindowRange(FileUnit& slot, int line, long start)
{
    WindowRecord* record = slot.textWindow;
    slot.ownedText.clear();
    slot.ownsMemoryText = false;
    const TextWindowFileServices& windows = TextWindowFiles();
    slot.borrowedText = windows.windowText ? windows.windowText(record) : nullptr;
    slot.textLength = slot.borrowedText ? static_cast<int>(slot.borrowedText->size()) : 0;
    slot.lineTotal = TextWindowLineTotal(record);
    slot.rangeStart = 0;
    slot.readPosition = static_cast<int>(start);
    if (line == -1) line = windows.lineOfPosition ? windows.lineOfPosition(record, start) : 0;
    slot.lineNumber = line;
    return 0;
}

FileStream OpenRawStream(const std::string& name, const char* mode)
{
    SetErrorContext(name);
    return FileStream(OpenResolvedFile(name, mode));
}

// The file a replacing write changes: a link is followed, so the link stays and its file changes.
std::string ReplacedTarget(const std::string& name)
{
    std::string target = ResolveFilePath(name);
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    return target;
}

// The last step of a replacing write, with the temporary still open (and so still locked): the
// temporary takes the target's place when all went well, and is removed otherwise.
int FinishReplacing(std::FILE* stream, const std::string& temp, const std::string& target, int status)
{
    if (status != 0) {
        win::DiscardReplacingFile(temp);
        return status;
    }
    if (!win::CommitReplacingFile(stream, temp, target)) return FailureId(errno, kMsgCloseFailed);
    return 0;
}

}  // namespace

std::string_view FileUnit::MemoryText() const
{
    if (ownsMemoryText) return ownedText;
    if (borrowedText != nullptr) return *borrowedText;
    return {};
}

TextWindowFileServices& TextWindowFiles()
{
    static TextWindowFileServices services;
    return services;
}

FileUnitTable& FileUnits()
{
    static FileUnitTable table;
    return table;
}

void ResetFileUnitsForTests()
{
    for (int unit = 0; unit < kFileUnitCount; ++unit) CloseUnit(unit);
}

FileUnit* GetFileUnit(int unit)
{
    if (unit < 0 || unit >= kFileUnitCount) return nullptr;
    return &FileUnits().units[unit];
}

int ErrnoToMessageId(int error)
{
    if (error == -1) return kMsgCannotAccess;
    if (error < 0) return kMsgFileNotFound;
    if (error == 0) return 0;
    return kMsgFileErrorBase + error;
}

int OpenUnit(const std::string& name, int unit)
{
    if (int status = PrepareUnit(name, unit, kUnitReading)) return status;
    FileUnit& slot = *GetFileUnit(unit);
    // A file open in a text window is read from the window, edits not yet saved included.
    if (WindowRecord* record = FindTextWindowOf(name)) {
        slot.textWindow = record;
        slot.lineTotal = TextWindowLineTotal(record);
        return 0;
    }
    return OpenUnitStream(unit, "r");
}

int OpenUnitDiskFile(const std::string& name, int unit)
{
    if (int status = PrepareUnit(name, unit, kUnitReading)) return status;
    return OpenUnitStream(unit, "r");
}

int CreateUnit(const std::string& name, int unit)
{
    if (int status = PrepareUnit(name, unit, kUnitWriting)) return status;
    int status = OpenUnitStream(unit, "w+");
    if (status == 0) FileUnits().units[unit].crlfLineEnds = true;
    return status;
}

int FindFreeUnit()
{
    FileUnitTable& table = FileUnits();
    for (int unit = 0; unit < kFileUnitCount; ++unit) {
        if (table.units[unit].IsFree()) {
            table.units[unit] = FileUnit{};
            return unit;
        }
    }
    return -1;
}

int CloseUnit(int unit)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return 0;
    int closeError = 0;
    const bool replacing = slot->replacing;
    int finishStatus = 0;
    if (slot->stream) {
        if (replacing) finishStatus = FinishReplacing(slot->stream.get(), slot->replacingTemp, slot->name, slot->lastError);
        errno = 0;
        int result = std::fclose(slot->stream.release());
        if (result == EOF)
            closeError = kMsgCloseFailed;
        else if (result != 0)
            closeError = FailureId(errno, kMsgCloseFailed);
    }
    int lastError = slot->lastError;
    *slot = FileUnit{};
    if (replacing) return finishStatus;
    return closeError != 0 ? closeError : lastError;
}

int CreateReplacingUnit(const std::string& name, int unit)
{
    if (int status = PrepareUnit(name, unit, kUnitWriting)) return status;
    FileUnit& slot = *GetFileUnit(unit);
    slot.name = ReplacedTarget(name);
    SetErrorContext(slot.name);
    std::string temp;
    std::FILE* stream = win::CreateReplacingFile(slot.name, temp);
    if (stream == nullptr) {
        const int status = FailureId(errno, kMsgFileErrorBase);
        slot = FileUnit{};
        return status;
    }
    slot.stream.reset(stream);
    slot.replacing = true;
    slot.replacingTemp = std::move(temp);
    slot.crlfLineEnds = true;
    return 0;
}

int ReplaceFileBytes(const std::string& name, std::string_view bytes)
{
    const int unit = FindFreeUnit();
    if (unit < 0) return kMsgFileErrorBase + EMFILE;
    if (int status = CreateReplacingUnit(name, unit)) return status;
    WriteUnitBytes(unit, bytes);
    return CloseUnit(unit);
}

void AbandonUnit(int unit)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return;
    // A replacing unit with an error keeps the old file; the error itself is not wanted here.
    if (slot->lastError == 0) slot->lastError = kMsgCloseFailed;
    CloseUnit(unit);
}

void ReportFileWriteFailure(const std::string& name, int status)
{
    if (status == 0 || status == kMsgAlreadyReported) return;
    ReportMessage("E", kMsgFileNotWritten, name.c_str(), ComposeErrorText(status).c_str());
}

int CheckFileNameFree(WindowRecord* record, const std::string& name)
{
    WindowRecord* holder = FindTextWindowOf(name);
    if (holder == nullptr || holder == record) return 0;
    ReportMessage("WE", record, kMsgFileNameInUse, name.c_str());
    const TextWindowFileServices& windows = TextWindowFiles();
    if (record != nullptr && windows.focusWindow) windows.focusWindow(record);
    return kMsgAlreadyReported;
}

namespace {

// Writes the bytes, with each "\n" as CR LF when the unit is a text file.
int WriteToUnit(FileUnit& slot, std::string_view text, bool translate)
{
    if (text.empty()) return 0;
    std::string converted;
    if (translate && slot.crlfLineEnds && text.find('\n') != std::string_view::npos) {
        converted.reserve(text.size() + text.size() / 16 + 2);
        for (char c : text) {
            if (c == '\n') converted += '\r';
            converted += c;
        }
        text = converted;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), slot.stream.get()) != text.size())
        return StoreWriteError(slot, kMsgCloseFailed);
    return 0;
}

}  // namespace

int UnitPrintf(int unit, const char* format, ...)
{
    FileUnit* slot = GetFileUnit(unit);
    // Writers pass -1 for an output that is not open (no numeric output file, no batch log).
    if (slot == nullptr) return 0;
    if (!slot->stream) return slot->lastError = BadUnitError();
    va_list args;
    va_start(args, format);
    std::string text = VStrPrintf(format, args);
    va_end(args);
    WriteToUnit(*slot, text, true);
    return slot->lastError;
}

int UnitPrintIndented(int unit, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = VStrPrintf(format, args);
    va_end(args);
    int width = OutputPageWidth();
    if (width <= 1) width = 0;
    int field = width / 2 + static_cast<int>(text.size()) / 2;
    return UnitPrintf(unit, "%*s\n", field, text.c_str());
}

int WriteUnitText(int unit, std::string_view text)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr || text.empty()) return 0;
    if (!slot->stream) return slot->lastError = BadUnitError();
    return WriteToUnit(*slot, text, true);
}

int WriteUnitBytes(int unit, std::string_view bytes)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr || bytes.empty()) return 0;
    if (!slot->stream) return slot->lastError = BadUnitError();
    return WriteToUnit(*slot, bytes, false);
}

int FlushUnit(int unit)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr || !slot->stream) return 0;
    errno = 0;
    if (std::fflush(slot->stream.get()) != 0) return StoreWriteError(*slot, kMsgCloseFailed);
    return slot->lastError;
}

int LoadUnitText(int unit, int line, long start, long end)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return BadUnitError();
    if (slot->textWindow != nullptr) return LoadWindowRange(*slot, line, start);
    if (!slot->stream) return BadUnitError();
    return LoadDiskRange(*slot, line, start, end);
}

long FileLengthOfStream(std::FILE* stream)
{
    if (stream == nullptr) return -1;
    long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return -1;
    long length = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return length;
}

FileStream OpenFileRead(const std::string& name) { return OpenRawStream(name, "rb"); }
FileStream OpenFileWrite(const std::string& name) { return OpenRawStream(name, "wb"); }
FileStream OpenFileCreateRW(const std::string& name) { return OpenRawStream(name, "wb+"); }
FileStream OpenFileReadWrite(const std::string& name) { return OpenRawStream(name, "rb+"); }

std::time_t FileTimeOf(const std::string& name)
{
    struct stat st;
    if (::stat(ResolveFilePath(name).c_str(), &st) != 0) return 0;
    return st.st_mtime;
}

}  // namespace kq5
