#pragma once
// The settings data file "kq5.dat" over the data path: read once at start-up, written once at
// exit. It holds ten sections in a fixed order; each section belongs to the code that owns its
// settings and is read and written by one routine of that owner, by the unit's mode.
//
// How an owner's section plugs in:
//
//   int TransferPalettesSection(SettingsStream& stream)
//   {
//       if (IsSettingsWriting(stream)) {           // the "[Palettes]" header is already written
//           return WriteKeyInt(stream.unit, "Count", n);   // key writers of core/key_file.h
//       }
//       // Reading: our header line is in stream.pendingLine. Take lines until the next header.
//       std::string key, value;
//       while (NextSettingsKey(stream, key, value)) {     // key upper-cased, value trimmed
//           if (key == "COUNT") n = ReadKeyInt(value);
//       }
//       return stream.status;    // 0, or the read error NextSettingsKey met
//   }
//
//   // Once, before ReadSettings (start-up wires these in):
//   RegisterSettingsSection("Palettes", &TransferPalettesSection, &SetDefaultPalettes);
//
// The defaults routine (may be null) sets the section's settings to their defaults; it runs on
// every SetDefaultSettings, so it runs before a read and again when a read fails. A section with
// no routine registered is written as its header alone and its keys are skipped when read.
//
// A routine must take whole lines (no length limit), must not trust counts it reads beyond what
// the file holds, and must not fail on a value it cannot parse: it keeps its default for that key.
// A nonzero result makes the whole read fail and every setting fall back to its default.
//
// The older unsectioned layout (first line "5.3" or "5.30", stream.version == kSettingsVersionOld)
// is read, never written. In it the file is a run of bare value lines, no keys and no headers;
// the routines of "Global Settings", "Printer" and "Tool Windows" are called in that order with
// stream.version set to kSettingsVersionOld and read their values from successive lines
// (ReadSettingsLine) in their own older form; a routine with no older form reads nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/font_description.h"

namespace kq5 {

constexpr std::int32_t kSettingsVersion = (5 << 16) | 40;     // written
constexpr std::int32_t kSettingsVersionOld = (5 << 16) | 30;  // the unsectioned layout

// What every section routine is given: the file unit, the file's version, and the line that the
// reader stands on. `status` keeps the first read error met by NextSettingsKey.
struct SettingsStream {
    int unit = -1;
    std::int32_t version = kSettingsVersion;
    std::string pendingLine;
    int status = 0;
};

using SettingsSectionRoutine = int (*)(SettingsStream& stream);
using SettingsDefaultsRoutine = void (*)();

constexpr int kSettingsSectionCount = 10;
// The section names in the order written.
extern const char* const kSettingsSectionNames[kSettingsSectionCount];

// Sets the routines of a section of the table (names compared case-blind). False when the table
// has no section of that name. Registering again replaces the earlier routines.
bool RegisterSettingsSection(std::string_view name, SettingsSectionRoutine routine,
                             SettingsDefaultsRoutine defaults = nullptr);
// Forgets every registration but those of this file's own sections; for tests.
void ResetSettingsSectionsForTests();

bool IsSettingsWriting(const SettingsStream& stream);
// "key=value" with line breaks kept on the line (as WriteKeyString), but an empty value still
// gets its "=", so that common INI readers (Python's configparser among them) read the file.
int WriteSettingsString(int unit, std::string_view key, std::string_view value);
// Reading inside a section: the next key line of the section, split into the upper-cased key and
// the trimmed value. False at the next section header (left in pendingLine), at the end of the
// file (pendingLine empty) or on a read error (kept in stream.status).
bool NextSettingsKey(SettingsStream& stream, std::string& key, std::string& value);
// Reading the older layout: the next line whole (empty lines and ';' lines included). 0 or the
// read error; at the end of the file 15007.
int ReadSettingsLine(SettingsStream& stream, std::string& line);

// The settings this file owns.
struct SettingsFileState {
    std::string dataPath;        // directory of kq5.dat and use.kq5: the program's or "/ROOT:"
    std::string dataFileName;    // the full kq5.dat name; empty: nothing is written
    std::string dataDirectory;   // the KQ5DATA key: where file dialogs start
    std::string picturePath;     // the PicturePath key
    bool statusBarShown = true;
    bool startupFailed = false;  // a fatal start-up error: nothing is written at exit
    std::int32_t fileVersion = 0;  // the Version key of the file read
    bool mainAccepted = false;   // the file read had a Main section with its FileType
    // A damaged file that was there at start-up is moved to this name before the first write, so
    // that a hand-edited file with one slip is not silently replaced by the defaults.
    std::string damagedKeptName;
    // The font descriptions of an older-layout file, at most 28, for the program's font table.
    std::vector<FontSpec> olderFonts;
};

SettingsFileState& SettingsFile();
// The data path and with it the settings file's name "kq5.dat" in it.
void SetSettingsDataPath(const std::string& directory);
void ResetSettingsFileForTests();

// Start-up: every default, the names of KQ5.INI, then kq5.dat (when the data file name is set).
// A file that cannot be opened leaves the defaults; one that is damaged or foreign gives the
// defaults and one warning (stderr and the help bar), which names where the file will be kept
// when it is not empty. Never fails.
void ReadSettings();
// Exit: writes kq5.dat through a temporary file renamed over the old one; a damaged file read at
// start-up is first moved aside to its kept name. 0, or the message id of the failure after
// reporting it on stderr and the help bar (the old file is then unchanged).
int WriteSettings();
void SetDefaultSettings();
// Start-up: when the settings file could not be written at exit (its folder is missing, is not a
// folder or cannot be written), the user is told now, while the session's settings can still be
// kept by other means. True when told.
bool WarnIfSettingsCannotBeKept();
// Both directions by the unit's mode; closes the unit. 0 or the first failing routine's result.
int TransferSettingsFile(int unit);

// The older layout's font description: one line "height,face,style,color".
int TransferFontSpec(SettingsStream& stream, FontSpec& font);

// The user and company names of KQ5.INI (section "Kestrion V", keys "UserName" and "CompanyName")
// found case-blind in the directory. Missing names stay empty.
void ReadProfileNames(const std::string& directory);

}  // namespace kq5
