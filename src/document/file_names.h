#pragma once
// File names of circuits, libraries, data and output files: splitting a path, changing its
// extension, finding a bare name in the working directory or on a search path, making a full
// path, the temporary file path, the list of the eight most recent files, and moving a text
// window's text to and from its file.
//
// Both '\' and '/' separate directories. Real paths keep their case: a full path names the file
// as it is spelled on disk (found case-blind when the name is spelled otherwise).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/temp_file_path.h"

namespace kq5 {

struct WindowRecord;

// Search places of LocateFile.
constexpr int kLocateWorkingTmp = 0;   // working directory, then current directory and $TMP
constexpr int kLocateWorkingData = 1;  // working directory, then current directory and $KQ5DATA
constexpr int kLocateProgram = 2;      // the program directory only

constexpr int kMsgWritingFile = 15008;  // "Error in writing file %s."

// Position of the last '.' after the last separator; npos when there is none.
std::size_t FindExtensionDot(std::string_view path);
// Cuts the path at its extension dot and returns the old extension (without the dot); none and
// no change when there is no extension.
std::optional<std::string> StripExtension(std::string& path);
// Strips the extension, then appends "." and the new extension.
std::string& ReplaceExtension(std::string& path, std::string_view extension);
// The file name without drive, directory and extension.
std::string GetFileBaseName(std::string_view path);
// The file name with its extension, without drive and directory.
std::string StripDirectory(std::string_view path);
// The extension with its dot; "" when none.
std::string GetFileExtension(std::string_view path);

// 0 when the file exists (found case-blind when not as written), else 16000 plus the error number.
int CheckFileAccess(std::string_view path);

// Finds a name: a name with a drive or directory is taken as written; a bare name is looked for in
// the search directory of `where`, then (where 0 and 1) in the current directory and the
// directories of $TMP or $KQ5DATA (separated by ';'); when found nowhere, out names it in the
// search directory. With full, out is made a full path and a name with a directory must exist.
// Returns 0, 16000 plus an error number, or 1 when the path could not be made full.
int LocateFile(std::string& out, std::string_view name, int where, bool full);

// Makes the path full: a name without drive or directory goes into the program directory
// (where 2) or the working directory; relative paths are made absolute and "." and ".." removed;
// directories and the file are spelled as on disk where they exist. 1 when the path cannot be
// made full (it is left trimmed), else 0.
int GetUpperFullPath(std::string& path, int where);

// A circuit name (circuit: extension replaced by "CIR") located through the working directory
// and $KQ5DATA and made full.
int ResolveFileName(std::string& out, std::string_view name, bool circuit);

// The recent-file list (most recent first), shown in the File menu.
void AddRecentFile(std::string_view name);
void FreeRecentFiles();
// The settings file's recent files. Writing: keys "FILE_1" to "FILE_8" of the non-empty entries.
// Reading a sectioned settings file: the section's keys up to the next header, which is left in
// pendingLine. Reading the older layout (settingsVersion 5.30): a count line and one line per name.
constexpr std::int32_t kOldSettingsVersion = (5 << 16) | 30;
int TransferRecentFiles(int unit, std::string& pendingLine, std::int32_t settingsVersion);

// Opens a numbered unit for writing.
int OpenWriteStream(int unit, const std::string& name);
// Closes an output unit and shows what it wrote in a text window (not during a demo).
void CloseUnitAndShowText(int unit);
// Shows the file in its text window (an open one on it is reused, else a new one, maximised);
// nothing while a demo runs.
void ShowFileInTextWindow(const std::string& name);

// Reads the file named by the window's title into its text area (an empty file empties it) and
// marks the window named. 0, or 15055 after reporting why the file could not be read.
int ReloadTextWindowFromFile(WindowRecord* record);
// Writes the text area to the file named by the window's title; the old file is replaced only
// once the new text is completely on disk. 0, or 15055 after reporting 15008; null gives 0.
int WriteTextWindowToFile(WindowRecord* record);

// Replaces the file with the text: written to a new file beside it, flushed and closed, then
// renamed over the old one, so a failure leaves the old file as it was. 0 or 16000 plus errno.
int ReplaceFileContents(const std::string& path, std::string_view text);

}  // namespace kq5
