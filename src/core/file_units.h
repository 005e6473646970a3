#pragma once
// Numbered file units: the 40 slots through which the program reads and writes its text files.
// A unit remembers its stream, its direction, the last error met on it and its line counters. A
// unit opened for reading a file that is open in one of the program's text windows reads the
// window's current text instead of the disk file, and a unit can load a byte range of its file into
// memory. Runtime errors become message ids here.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kq5 {

struct WindowRecord;

// Text windows as files: how a unit finds the text window holding a file and reads it. The window
// layers fill the members at start-up (InstallTextWindowFiles in netlist/text_window_lines.h).
// With a member empty, every file is read from the disk and no window holds a file name.
struct TextWindowFileServices {
    // The text window holding the named file, null when none does.
    std::function<WindowRecord*(const std::string& name)> findWindow;
    // The window's current text, unsaved edits included; null when it has none.
    std::function<const std::string*(WindowRecord* window)> windowText;
    // The number of lines of the window's text.
    std::function<int(WindowRecord* window)> lineTotal;
    // The line of the window's text that holds the byte offset.
    std::function<int(WindowRecord* window, long position)> lineOfPosition;
    // Gives the window the keyboard focus.
    std::function<void(WindowRecord* window)> focusWindow;
};
TextWindowFileServices& TextWindowFiles();

struct FileCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
// An open stream, closed when it goes.
using FileStream = std::unique_ptr<std::FILE, FileCloser>;

constexpr int kFileUnitCount = 40;

// Unit modes.
constexpr int kUnitFree = 0;
constexpr int kUnitWriting = 1;
constexpr int kUnitReading = 2;

// Message ids of file errors.
constexpr int kMsgEndOfFile = 15007;        // "Error in loading file %s."
constexpr int kMsgBadFormat = 15009;        // "Bad format in loading file '%s'."
constexpr int kMsgFileNotFound = 15022;     // "File not found '%s'."
constexpr int kMsgCannotAccess = 15023;     // "Cannot access '%s'."
constexpr int kMsgMissingFileName = 15038;  // "Must specify filename."
constexpr int kMsgFileErrorBase = 16000;    // + the runtime's error number
constexpr int kMsgCloseFailed = 16012;      // a failing close or a short binary write
constexpr int kMsgFileNameInUse = 13510;    // "That file name is already in use.\n%s."
constexpr int kMsgFileNotWritten = 13390;   // the file and the reason; the old file is kept

struct FileUnit {
    FileStream stream;        // the open disk file; null when reading a text window or free
    int mode = kUnitFree;
    int lastError = 0;        // message id of the last failed operation, 0 when none
    int lineNumber = 0;       // current line: 0 on open, set by LoadUnitText
    int lineTotal = 0;        // lines of a text-window source (0 for disk files)
    WindowRecord* textWindow = nullptr;  // the text window read instead of the disk file
    std::string name;         // the name given to the open operation
    // Memory text: a block loaded by LoadUnitText (owned), or the text window's buffer (borrowed).
    std::string ownedText;
    const std::string* borrowedText = nullptr;
    bool ownsMemoryText = false;
    int rangeStart = 0;       // file offset at which the loaded range starts
    int readPosition = 0;     // offset of the next character to read in the memory text
    int textLength = 0;       // characters in the memory text
    // Files made by CreateUnit are text files with CR LF line ends on disk, so that circuit
    // files and the other text files read the same wherever they were written: UnitPrintf
    // and WriteUnitText write each "\n" as CR LF. Readers accept LF and CR LF alike.
    bool crlfLineEnds = false;
    // A unit made by CreateReplacingUnit writes a temporary file beside the file it replaces: a
    // file without a name where the file system allows it, else the file named here.
    bool replacing = false;
    std::string replacingTemp;

    // The memory text (empty when the unit has none).
    std::string_view MemoryText() const;
    bool IsFree() const { return mode == kUnitFree && !stream && textWindow == nullptr; }
};

struct FileUnitTable {
    FileUnit units[kFileUnitCount];
};

FileUnitTable& FileUnits();
// Closes every unit; for tests.
void ResetFileUnitsForTests();
// The unit of a number, null when the number lies outside 0 to 39.
FileUnit* GetFileUnit(int unit);

// Message id of the runtime error number: -1 → 15023, other negatives → 15022, 0 → 0,
// n → 16000 + n.
int ErrnoToMessageId(int error);

// Opening and closing. Every open closes the unit first; a failing open leaves it free.
int OpenUnit(const std::string& name, int unit);
int OpenUnitDiskFile(const std::string& name, int unit);
int CreateUnit(const std::string& name, int unit);
// Opens a new temporary file beside the named one for writing, as CreateUnit would (a link is
// followed: the link stays and the file it names changes). CloseUnit flushes it to the disk and
// puts it in the name's place only when every write and the flush succeeded; otherwise the
// temporary file is removed and the old file stays whole, as it does when the program dies
// meanwhile (the temporary has no name then, or one that the next replacing write in the folder
// removes).
int CreateReplacingUnit(const std::string& name, int unit);
// Puts a file of exactly these bytes in the name's place, as a replacing unit does: the old file
// stays whole unless the new one is complete. 0 or the message id of the failure.
int ReplaceFileBytes(const std::string& name, std::string_view bytes);
// Closes the unit without keeping a replacing unit's file.
void AbandonUnit(int unit);
// Reports that the named file could not be written (the reason from the status).
void ReportFileWriteFailure(const std::string& name, int status);
// The lowest free unit, cleared; -1 when all 40 are in use.
int FindFreeUnit();
// Closes the unit and frees the slot; the close error, else the unit's last error, so that a
// writer learns at close of any write that failed earlier. Numbers outside 0 to 39 give 0.
int CloseUnit(int unit);
// 0 when no other window holds a file of that name; otherwise reports 13510 over the record's
// window, gives it back the focus and returns 15055.
int CheckFileNameFree(WindowRecord* record, const std::string& name);

// Writing. Each returns the unit's last error (0 when nothing has failed). A number outside 0 to
// 39 (an output that is not open) writes nothing and gives 0; a unit without a stream fails.
int UnitPrintf(int unit, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Writes the formatted text as one line centred on the numeric output's page width.
int UnitPrintIndented(int unit, const char* format, ...) __attribute__((format(printf, 2, 3)));
int WriteUnitText(int unit, std::string_view text);
// Writes the bytes exactly as given, without the text-mode line-end translation.
int WriteUnitBytes(int unit, std::string_view bytes);
// Hands the buffered text to the file; a failure becomes the unit's last error.
int FlushUnit(int unit);

// Makes the byte range start..end of the unit's source its memory text and sets the line number.
// For a disk file an end of -999 means the end of the file, and a line of -1 counts as 0; for a
// text window the window's buffer is borrowed and a line of -1 becomes the line holding start.
constexpr int kLoadToEnd = -999;
int LoadUnitText(int unit, int line, long start, long end);

// The length in bytes of the stream's file; -1 when it cannot be told.
long FileLengthOfStream(std::FILE* stream);

// Raw streams outside the table ("rb", "wb", "wb+", "rb+"); the name becomes the pending error
// context first. Null when the open fails (errno tells why).
FileStream OpenFileRead(const std::string& name);
FileStream OpenFileWrite(const std::string& name);
FileStream OpenFileCreateRW(const std::string& name);
FileStream OpenFileReadWrite(const std::string& name);

// Modification time of a named file; 0 when it cannot be read.
std::time_t FileTimeOf(const std::string& name);

}  // namespace kq5
