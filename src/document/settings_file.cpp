#include "document/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "ui/recent_names.h"
#include "core/error_context.h"
#include "ui/help_bar.h"
#include "document/ini_section_table.h"
#include "ui/program_settings.h"
#include "ui/user_names.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/file_units.h"
#include "core/key_file.h"
#include "core/message_args.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/file_names.h"
#include "platform/system.h"

namespace kq5 {

const char* const kSettingsSectionNames[kSettingsSectionCount] = {
    "Main",         "Global Settings", "Preferences",  "Palettes",          "Printer",
    "Tool Windows", "Tool Buttons",    "Tool Bitmaps", "Last Loaded Files", "Last Used Components",
};

namespace {

constexpr int kMsgSettingsDamaged = 13516;      // the file is damaged or not a settings file
constexpr int kMsgSettingsNotWritten = 13517;   // the file could not be written
constexpr int kMsgSettingsDamagedKept = 13519;  // damaged, and kept under another name
constexpr int kMsgOutOfMemory = 15002;
constexpr std::size_t kOlderFontTableSize = 28;

constexpr const char* kFileTypeText = "KQ5.DAT";
constexpr int kProductNameId = 5351;

struct SectionRoutines {
    SettingsSectionRoutine transfer = nullptr;
    SettingsDefaultsRoutine defaults = nullptr;
};

int TransferMainSettings(SettingsStream& stream);
int TransferRecentFileSettings(SettingsStream& stream);
int TransferRecentComponentSettings(SettingsStream& stream);
void SetRecentComponentDefaults() { FreeStringArray(Settings().recentComponents); }

std::array<SectionRoutines, kSettingsSectionCount> OwnRoutines()
{
    std::array<SectionRoutines, kSettingsSectionCount> rows{};
    rows[0] = {&TransferMainSettings, nullptr};
    rows[8] = {&TransferRecentFileSettings, &FreeRecentFiles};
    rows[9] = {&TransferRecentComponentSettings, &SetRecentComponentDefaults};
    return rows;
}

std::array<SectionRoutines, kSettingsSectionCount>& Routines()
{
    static std::array<SectionRoutines, kSettingsSectionCount> rows = OwnRoutines();
    return rows;
}

int SectionIndex(std::string_view name)
{
    for (int i = 0; i < kSettingsSectionCount; ++i)
        if (EqualsNoCase(name, kSettingsSectionNames[i])) return i;
    return -1;
}

// Skips the keys of a section nobody has claimed; writes nothing.
int SkipSection(SettingsStream& stream)
{
    std::string key, value;
    while (NextSettingsKey(stream, key, value)) {
    }
    return stream.status;
}

template <int Index>
int DispatchSection(SettingsStream& stream)
{
    SettingsSectionRoutine routine = Routines()[Index].transfer;
    return routine != nullptr ? routine(stream) : SkipSection(stream);
}

template <std::size_t... I>
constexpr std::array<IniSectionRow<SettingsStream>, kSettingsSectionCount> MakeTable(std::index_sequence<I...>)
{
    return {{{kSettingsSectionNames[I], &DispatchSection<static_cast<int>(I)>}...}};
}

const std::array<IniSectionRow<SettingsStream>, kSettingsSectionCount> kSectionTable =
    MakeTable(std::make_index_sequence<kSettingsSectionCount>{});

int TransferMainSettings(SettingsStream& stream)
{
    SettingsFileState& state = SettingsFile();
    if (IsSettingsWriting(stream)) {
        if (int status = WriteKeyString(stream.unit, "FileType", kFileTypeText)) return status;
        if (int status = WriteKeyVersion(stream.unit, "Version", kSettingsVersion)) return status;
        if (int status = WriteKeyString(stream.unit, "Program", LoadResString(kProductNameId))) return status;
        if (int status = WriteSettingsString(stream.unit, "KQ5DATA", state.dataDirectory)) return status;
        return WriteSettingsString(stream.unit, "PicturePath", state.picturePath);
    }
    bool accepted = false;
    std::string key, value;
    while (NextSettingsKey(stream, key, value)) {
        if (key == "FILETYPE") {
            accepted = EqualsNoCase(value, kFileTypeText);
        } else if (key == "VERSION") {
            // Kept aside: the layout version in the stream tells the routines how to read.
            state.fileVersion = ParseVersionNumber(value);
        } else if (key == "KQ5DATA") {
            state.dataDirectory = value;
        } else if (key == "PICTUREPATH") {
            state.picturePath = value;
        }
    }
    if (stream.status != 0) return stream.status;
    state.mainAccepted = accepted;
    return accepted ? 0 : kMsgAlreadyReported;
}

int TransferRecentFileSettings(SettingsStream& stream)
{
    return TransferRecentFiles(stream.unit, stream.pendingLine, stream.version);
}

int TransferRecentComponentSettings(SettingsStream& stream)
{
    return ReadWriteRecentList(stream.unit, stream.pendingLine, "COMPONENT_", Settings().recentComponents);
}

int RunSection(int index, SettingsStream& stream)
{
    SettingsSectionRoutine routine = Routines()[static_cast<std::size_t>(index)].transfer;
    return routine != nullptr ? routine(stream) : 0;
}

// A number line of the older layout; anything but a whole integer makes the file a bad one.
int ReadOlderInt(SettingsStream& stream, std::int32_t& value)
{
    std::string line;
    if (int status = ReadSettingsLine(stream, line)) return status;
    Trim(line);
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(line.c_str(), &end, 10);
    if (line.empty() || *end != '\0' || errno != 0 || number < INT32_MIN || number > INT32_MAX) return kMsgBadFormat;
    value = static_cast<std::int32_t>(number);
    return 0;
}

int ReadOlderLayout(SettingsStream& stream)
{
    SettingsFileState& state = SettingsFile();
    std::string line;
    if (int status = ReadSettingsLine(stream, line)) return status;
    Trim(line);
    state.dataDirectory = line;
    state.picturePath = state.dataDirectory;
    if (int status = RunSection(SectionIndex("Global Settings"), stream)) return status;
    // The count comes from the file and is not trusted: each description must be there to be
    // read, so a damaged count ends at the end of the file rather than running on.
    std::int32_t count = 0;
    if (int status = ReadOlderInt(stream, count)) return status;
    if (count < 0) return kMsgBadFormat;
    state.olderFonts.clear();
    for (std::int32_t i = 0; i < count; ++i) {
        FontSpec font;
        if (int status = TransferFontSpec(stream, font)) return status;
        if (state.olderFonts.size() < kOlderFontTableSize) state.olderFonts.push_back(font);
    }
    std::int32_t options = 0;
    if (int status = ReadOlderInt(stream, options)) return status;
    Settings().operationalOptions = static_cast<std::uint32_t>(options) | kOptionInertialCancellation;
    if (int status = RunSection(SectionIndex("Printer"), stream)) return status;
    if (int status = RunSection(SectionIndex("Tool Windows"), stream)) return status;
    std::int32_t statusBar = 0;
    if (int status = ReadOlderInt(stream, statusBar)) return status;
    state.statusBarShown = statusBar != 0;
    return TransferRecentFiles(stream.unit, stream.pendingLine, kSettingsVersionOld);
}

// The first field of the file: up to a comma or the line end.
bool IsOlderLayoutMark(std::string_view line)
{
    std::string field(line.substr(0, line.find(',')));
    Trim(field);
    return field == "5.3" || field == "5.30";
}

void WarnSettings(int id, const std::string& name, int reason, const std::string& keptName = {})
{
    std::string text = ComposeErrorText(id, MakeMessageArgs(name, keptName));
    if (reason >= kMsgFileErrorBase && reason < kMsgFileErrorBase + 1000)
        text += std::string(" (") + std::strerror(reason - kMsgFileErrorBase) + ")";
    if (text.size() >= 2 && text[0] == '%') text.erase(0, 2);
    std::fprintf(stderr, "kq5: %s\n", text.c_str());
    SetHelpBarMessageId(nullptr, id);
}

// The first of "kq5.dat.damaged", "kq5.dat.damaged2"... that no file takes: an earlier kept
// copy the user has not looked at yet is never replaced.
std::string FreeDamagedName(const std::string& fileName)
{
    const std::string base = fileName + ".damaged";
    std::string name = base;
    for (int n = 2; access(name.c_str(), F_OK) == 0 && n < 1000; ++n) name = base + std::to_string(n);
    return name;
}

// A file that is there but cannot be used: the defaults, and one warning. One with something in
// it is kept aside at exit rather than overwritten.
void RejectSettingsFile(int reason)
{
    SettingsFileState& state = SettingsFile();
    SetDefaultSettings();
    struct stat info {};
    if (stat(state.dataFileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        state.damagedKeptName = FreeDamagedName(state.dataFileName);
        WarnSettings(kMsgSettingsDamagedKept, state.dataFileName, reason, state.damagedKeptName);
        return;
    }
    WarnSettings(kMsgSettingsDamaged, state.dataFileName, reason);
}

// Before the first write over a damaged file: moves it to its kept name. 0 or the file error.
int KeepDamagedFile()
{
    SettingsFileState& state = SettingsFile();
    if (state.damagedKeptName.empty()) return 0;
    if (access(state.dataFileName.c_str(), F_OK) == 0) {
        // Someone may have taken the name meanwhile.
        if (access(state.damagedKeptName.c_str(), F_OK) == 0) state.damagedKeptName = FreeDamagedName(state.dataFileName);
        if (std::rename(state.dataFileName.c_str(), state.damagedKeptName.c_str()) != 0) return kMsgFileErrorBase + errno;
    }
    state.damagedKeptName.clear();
    return 0;
}

}  // namespace

bool RegisterSettingsSection(std::string_view name, SettingsSectionRoutine routine, SettingsDefaultsRoutine defaults)
{
    const int index = SectionIndex(name);
    if (index < 0) return false;
    Routines()[static_cast<std::size_t>(index)] = {routine, defaults};
    return true;
}

void ResetSettingsSectionsForTests() { Routines() = OwnRoutines(); }

bool IsSettingsWriting(const SettingsStream& stream)
{
    const FileUnit* slot = GetFileUnit(stream.unit);
    return slot != nullptr && slot->mode == kUnitWriting;
}

int WriteSettingsString(int unit, std::string_view key, std::string_view value)
{
    if (!value.empty()) return WriteKeyString(unit, key, value);
    return UnitPrintf(unit, "%.*s=\n", static_cast<int>(key.size()), key.data());
}

bool NextSettingsKey(SettingsStream& stream, std::string& key, std::string& value)
{
    for (;;) {
        if (stream.status != 0) return false;
        stream.status = ReadKeyLine(stream.unit, stream.pendingLine);
        if (stream.status != 0 || stream.pendingLine.empty() || stream.pendingLine.front() == '[') return false;
        if (stream.pendingLine.find('=') == std::string::npos) continue;
        SplitKeyLine(stream.pendingLine, key, value);
        return true;
    }
}

int ReadSettingsLine(SettingsStream& stream, std::string& line)
{
    if (!stream.pendingLine.empty()) {
        line = std::move(stream.pendingLine);
        stream.pendingLine.clear();
        return 0;
    }
    return ReadUnitLineText(stream.unit, line);
}

SettingsFileState& SettingsFile()
{
    static SettingsFileState state;
    return state;
}

void SetSettingsDataPath(const std::string& directory)
{
    SettingsFileState& state = SettingsFile();
    state.dataPath = directory;
    while (state.dataPath.size() > 1 && (state.dataPath.back() == '/' || state.dataPath.back() == '\\'))
        state.dataPath.pop_back();
    state.dataFileName = state.dataPath + "/kq5.dat";
}

void ResetSettingsFileForTests()
{
    SettingsFile() = SettingsFileState{};
    ResetSettingsSectionsForTests();
}

int TransferFontSpec(SettingsStream& stream, FontSpec& font)
{
    if (IsSettingsWriting(stream))
        return UnitPrintf(stream.unit, "%d,%d,%d,%d\n", font.height, font.face, font.style, font.color);
    std::string line;
    if (int status = ReadSettingsLine(stream, line)) return status;
    font.height = static_cast<std::int16_t>(ReadKeyInt(line));
    font.face = static_cast<std::int16_t>(ReadKeyInt(line));
    font.style = static_cast<std::uint8_t>(ReadKeyInt(line));
    font.color = ReadColorIndex(std::to_string(ReadKeyInt(line)));
    return 0;
}

void SetDefaultSettings()
{
    SettingsFileState& state = SettingsFile();
    state.dataDirectory = Settings().programDirectory + "data/";
    state.picturePath = state.dataDirectory;
    state.statusBarShown = true;
    state.olderFonts.clear();
    // The owners' defaults in the order their settings depend on each other.
    static constexpr const char* kDefaultsOrder[] = {"Global Settings", "Tool Buttons", "Tool Windows",
                                                     "Tool Bitmaps",    "Last Used Components",
                                                     "Printer",         "Preferences",  "Palettes",
                                                     "Last Loaded Files"};
    for (const char* name : kDefaultsOrder) {
        if (SettingsDefaultsRoutine defaults = Routines()[static_cast<std::size_t>(SectionIndex(name))].defaults)
            defaults();
    }
}

void ReadProfileNames(const std::string& directory)
{
    std::string dir = directory;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    const std::string file = dir + "KQ5.INI";
    UserAndCompanyNames& names = UserAndCompanyNamesSetting();
    names.userName = win::GetPrivateProfileString("Kestrion V", "UserName", "", file.c_str());
    names.companyName = win::GetPrivateProfileString("Kestrion V", "CompanyName", "", file.c_str());
}

int TransferSettingsFile(int unit)
{
    SettingsStream stream;
    stream.unit = unit;
    const bool writing = IsSettingsWriting(stream);
    int status = 0;
    try {
        if (!writing) {
            SettingsFile().mainAccepted = false;
            status = ReadKeyLine(unit, stream.pendingLine);
            if (status == 0 && IsOlderLayoutMark(stream.pendingLine)) {
                stream.pendingLine.clear();
                stream.version = kSettingsVersionOld;
                status = ReadOlderLayout(stream);
            }
        }
        if (status == 0 && stream.version != kSettingsVersionOld) {
            status = ProcessIniSectionTable<SettingsStream>(kSectionTable, stream);
            // A file without its Main section (an empty one too) is not a settings file.
            if (status == 0 && !writing && !SettingsFile().mainAccepted) status = kMsgAlreadyReported;
        }
    } catch (const std::bad_alloc&) {
        status = kMsgOutOfMemory;
    }
    if (status != 0) {
        AbandonUnit(unit);  // half a settings file is never kept
        return status;
    }
    const int closeStatus = CloseUnit(unit);
    return writing ? closeStatus : 0;
}

void ReadSettings()
{
    SettingsFileState& state = SettingsFile();
    SetDefaultSettings();
    state.damagedKeptName.clear();
    ReadProfileNames(state.dataPath);
    if (state.dataFileName.empty()) return;
    const int unit = FindFreeUnit();
    if (unit < 0) return;
    if (OpenUnitDiskFile(state.dataFileName, unit) != 0) {
        // A first start has no file: that is no fault. One that is there but unreadable is.
        const int error = errno;
        CloseUnit(unit);
        if (access(state.dataFileName.c_str(), F_OK) == 0) RejectSettingsFile(kMsgFileErrorBase + error);
        return;
    }
    if (int status = TransferSettingsFile(unit); status != 0) RejectSettingsFile(status);
}

namespace {

// Why kq5.dat could not be made in its folder: a file error id, 0 when nothing stands in the way.
int SettingsFileWriteProblem(const SettingsFileState& state)
{
    struct stat folder {};
    if (stat(state.dataPath.c_str(), &folder) != 0) return kMsgFileErrorBase + errno;
    if (!S_ISDIR(folder.st_mode)) return kMsgFileErrorBase + ENOTDIR;
    // The file is written beside itself and renamed over the old one: the folder must take it.
    if (access(state.dataPath.c_str(), W_OK | X_OK) != 0) return kMsgFileErrorBase + errno;
    struct stat file {};
    if (stat(state.dataFileName.c_str(), &file) == 0 && S_ISDIR(file.st_mode)) return kMsgFileErrorBase + EISDIR;
    return 0;
}

}  // namespace

bool WarnIfSettingsCannotBeKept()
{
    const SettingsFileState& state = SettingsFile();
    if (state.dataFileName.empty()) return false;
    const int problem = SettingsFileWriteProblem(state);
    if (problem == 0) return false;
    WarnSettings(kMsgSettingsNotWritten, state.dataFileName, problem);
    ReportMessage("WE", nullptr, kMsgSettingsNotWritten, state.dataFileName.c_str());
    return true;
}

int WriteSettings()
{
    const SettingsFileState& state = SettingsFile();
    if (state.startupFailed || state.dataFileName.empty()) return 0;
    // A failed write leaves the old settings in place rather than half a file.
    int status = KeepDamagedFile();
    const int unit = status == 0 ? FindFreeUnit() : -1;
    if (status == 0) status = unit < 0 ? kMsgFileErrorBase + EMFILE : CreateReplacingUnit(state.dataFileName, unit);
    if (status == 0) status = TransferSettingsFile(unit);
    if (status != 0) WarnSettings(kMsgSettingsNotWritten, state.dataFileName, status);
    return status;
}

}  // namespace kq5
