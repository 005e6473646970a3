#include "document/file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "ui/recent_names.h"
#include "ui/program_settings.h"
#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/field_stream.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/disk_file_names.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr std::string_view kSeparators = "\\/";
constexpr std::string_view kRecentFilePrefix = "FILE_";

struct PathParts {
    std::string drive;      // "C:" or empty
    std::string directory;  // up to and including the last separator
    std::string name;       // without extension
    std::string extension;  // with its dot
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t DriveLength(std::string_view path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' ? 2 : 0;
}

PathParts SplitPath(std::string_view path)
{
    PathParts parts;
    const std::size_t drive = DriveLength(path);
    parts.drive.assign(path.substr(0, drive));
    std::string_view rest = path.substr(drive);
    const std::size_t lastSeparator = rest.find_last_of(kSeparators);
    if (lastSeparator != std::string_view::npos) {
        parts.directory.assign(rest.substr(0, lastSeparator + 1));
        rest.remove_prefix(lastSeparator + 1);
    }
    const std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos) {
        parts.name.assign(rest);
    } else {
        parts.name.assign(rest.substr(0, dot));
        parts.extension.assign(rest.substr(dot));
    }
    return parts;
}

// The directory joined with a file name, with one separator between them.
std::string JoinDirectory(std::string_view directory, std::string_view file)
{
    std::string out(directory);
    if (!out.empty() && !IsSeparator(out.back())) out += '/';
    out += file;
    return out;
}

std::string SearchDirectory(int where)
{
    return where == kLocateProgram ? Settings().programDirectory : Settings().workingDirectory;
}

bool FileExists(std::string_view path) { return CheckFileAccess(path) == 0; }

// The directory that holds the file: the current directory, then those of the environment
// variable; empty when none does.
std::optional<std::string> SearchPathFor(std::string_view file, const char* variable)
{
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    const std::string here = win::FileNameFromDisk(current.string());
    if (!error && FileExists(JoinDirectory(here, file))) return here;
    const char* list = std::getenv(variable);
    if (list == nullptr) return std::nullopt;
    std::string_view rest(list);
    while (!rest.empty()) {
        const std::size_t semicolon = rest.find(';');
        std::string_view directory = rest.substr(0, semicolon);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        if (!directory.empty() && FileExists(JoinDirectory(directory, file))) return std::string(directory);
    }
    return std::nullopt;
}

int ErrnoMessage(int error) { return kMsgFileErrorBase + (error != 0 ? error : EIO); }

}  // namespace

std::size_t FindExtensionDot(std::string_view path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return dot;
    const std::size_t lastSeparator = path.find_last_of(kSeparators);
    if (lastSeparator != std::string_view::npos && dot < lastSeparator) return std::string_view::npos;
    return dot;
}

std::optional<std::string> StripExtension(std::string& path)
{
    const std::size_t dot = FindExtensionDot(path);
    if (dot == std::string::npos) return std::nullopt;
    std::string extension = path.substr(dot + 1);
    path.erase(dot);
    return extension;
}

std::string& ReplaceExtension(std::string& path, std::string_view extension)
{
    StripExtension(path);
    path += '.';
    path += extension;
    return path;
}

std::string GetFileBaseName(std::string_view path) { return SplitPath(path).name; }

std::string StripDirectory(std::string_view path)
{
    PathParts parts = SplitPath(path);
    return parts.name + parts.extension;
}

std::string GetFileExtension(std::string_view path) { return SplitPath(path).extension; }

int CheckFileAccess(std::string_view path)
{
    const std::string resolved = ResolveFilePath(ToNativeSeparators(path));
    struct stat st;
    if (::stat(resolved.c_str(), &st) == 0) return 0;
    return ErrnoMessage(errno);
}

int GetUpperFullPath(std::string& path, int where)
{
    Trim(path);
    if (path.empty()) return 1;
    // A drive letter means nothing on this system: such a name cannot be made full.
    if (DriveLength(path) != 0) return 1;
    std::string full = path;
    if (full.find_first_of(kSeparators) == std::string::npos) full = JoinDirectory(SearchDirectory(where), full);
    std::filesystem::path native(ToNativeSeparators(full));
    if (native.is_relative()) {
        std::error_code error;
        const std::filesystem::path current = std::filesystem::current_path(error);
        if (error) return 1;
        native = std::filesystem::path(win::FileNameFromDisk(current.string())) / native;
    }
    // The name as the program holds its texts: it becomes a window's title.
    path = win::FileNameFromDisk(ResolveFilePath(native.lexically_normal().string()));
    return 0;
}

int LocateFile(std::string& out, std::string_view name, int where, bool full)
{
    std::string copy(name);
    Trim(copy);
    const PathParts parts = SplitPath(copy);
    if (!parts.drive.empty() || !parts.directory.empty()) {
        out = copy;
        if (!full) return 0;
        GetUpperFullPath(out, where);
        return CheckFileAccess(out);
    }
    const std::string file = parts.name + parts.extension;
    out = JoinDirectory(SearchDirectory(where), file);
    if (!FileExists(out) && where != kLocateProgram) {
        const char* variable = where == kLocateWorkingTmp ? "TMP" : "KQ5DATA";
        if (std::optional<std::string> directory = SearchPathFor(file, variable)) out = JoinDirectory(*directory, file);
    }
    return full ? GetUpperFullPath(out, where) : 0;
}

int ResolveFileName(std::string& out, std::string_view name, bool circuit)
{
    std::string copy(name);
    if (circuit) ReplaceExtension(copy, "CIR");
    return LocateFile(out, copy, kLocateWorkingData, true);
}

void AddRecentFile(std::string_view name)
{
    if (Settings().batchRun || Settings().demoRunning) return;
    PushRecentName(DocumentServices().recentFiles, name);
}

void FreeRecentFiles() { FreeStringArray(DocumentServices().recentFiles); }

int TransferRecentFiles(int unit, std::string& pendingLine, std::int32_t settingsVersion)
{
    auto& names = DocumentServices().recentFiles;
    const FileUnit* slot = GetFileUnit(unit);
    const bool writing = slot != nullptr && slot->mode == kUnitWriting;
    if (writing || settingsVersion != kOldSettingsVersion)
        return ReadWriteRecentList(unit, pendingLine, kRecentFilePrefix, names);
    std::string line;
    if (int status = ReadUnitLineText(unit, line)) return status;
    const std::int32_t count = TextToInt(line);
    for (std::int32_t i = 0; i < count; ++i) {
        if (int status = ReadUnitLineText(unit, line)) return status;
        if (i < kRecentFileCount) names[static_cast<std::size_t>(i)] = line;
    }
    return 0;
}

int OpenWriteStream(int unit, const std::string& name) { return CreateUnit(name, unit); }

void ShowFileInTextWindow(const std::string& name)
{
    if (Settings().demoRunning) return;
    WindowRecord* shown = nullptr;
    for (const auto& record : WindowRecords().records) {
        if (record->window && record->kind == kWindowTextCircuit && FileNamesEqual(record->title, name)) {
            shown = record.get();
            break;
        }
    }
    const bool made = shown == nullptr;
    if (made) shown = NewDocumentWindow(kWindowTextCircuit, name);
    if (shown == nullptr) return;
    if (ReloadTextWindowFromFile(shown) == 0) {
        win::ShowWindow(shown->window, win::SW_SHOWMAXIMIZED);
        win::SetActiveWindow(shown->window);
    } else if (made) {
        win::SendMessage(shown->window, win::WM_CLOSE, 0, 0);
    }
}

void CloseUnitAndShowText(int unit)
{
    FileUnit* slot = GetFileUnit(unit);
    if (slot == nullptr) return;
    const long written = slot->stream ? std::ftell(slot->stream.get()) : 0;
    const std::string name = slot->name;
    const int closeError = CloseUnit(unit);
    if (written > 0) ShowFileInTextWindow(name);
    if (closeError != 0) ReportMessage("E", closeError);
}

int ReloadTextWindowFromFile(WindowRecord* record)
{
    if (record == nullptr) return kMsgAlreadyReported;
    const std::string path = GetRecordTitle(record);
    FileStream stream = OpenFileRead(path);
    int error = stream ? 0 : ErrnoMessage(errno);
    std::string text;
    if (stream) {
        try {
            char buffer[16384];
            std::size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, stream.get())) > 0) text.append(buffer, got);
            if (std::ferror(stream.get())) error = ErrnoMessage(errno);
        } catch (const std::bad_alloc&) {
            error = kMsgInsufficientMemory;
        }
    }
    if (error != 0) {
        if (FrameRecord() && FrameRecord()->window) win::InvalidateRect(FrameRecord()->window, nullptr, 1);
        ReportMessage("WE", record, error);
        return kMsgAlreadyReported;
    }
    // An empty file empties the window too: keeping the old text would show what is not on disk.
    if (int status = SetTextAreaText(record, text)) return status;
    record->untitled = false;
    return 0;
}

int WriteTextWindowToFile(WindowRecord* record)
{
    if (record == nullptr) return 0;
    const std::string path = GetRecordTitle(record);
    std::optional<std::string> text = CopyTextAreaText(record);
    if (!text) return kMsgInsufficientMemory;
    if (ReplaceFileContents(path, *text) != 0) {
        ReportMessage("WE", record, kMsgWritingFile, path.c_str());
        return kMsgAlreadyReported;
    }
    return 0;
}

int ReplaceFileContents(const std::string& path, std::string_view text)
{
    if (path.empty()) return kMsgMissingFileName;
    const int unit = FindFreeUnit();
    if (unit < 0) return ErrnoMessage(EMFILE);
    if (int status = CreateReplacingUnit(ToNativeSeparators(path), unit)) return status;
    WriteUnitBytes(unit, text);
    return CloseUnit(unit);
}

}  // namespace kq5
