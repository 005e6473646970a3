#pragma once
// Library index files: for each model library a file beside it that lists what the library
// defines (models, subcircuits, macros, parameter lines) and where, so that a lookup opens the
// library only at the one place it needs. An index covers its library and every library that a
// .LIB line inside it names. It is made again whenever it is missing, older than a library it
// covers, of another version, or damaged.
//
// File layout, little-endian: u16 version (5), u32 record count, then the records, each opened
// by a u8 kind:
//   1, 2, 3  library (circuit file, SPICE text, binary library): u32 time stamp, u16-counted
//            path, u8 flag (0 in the file)
//   20       model: counted name, u8 model type row; in a text library also u32 position and
//            u32 line of its .MODEL line
//   21       subcircuit: counted name, u32 position, u32 line
//   22       macro: counted name, u32 position (the line's plus the name's length plus 7), u32 line
//   23       .PARAM line: u32 position, u32 line
// Item records belong to the nearest library record before them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

inline constexpr std::uint16_t kLibraryIndexVersion = 5;
inline constexpr std::uint16_t kLibraryIndexBuilding = 0xFFFF;

enum LibraryIndexKind : std::uint8_t {
    kIndexCircuitLibrary = 1,
    kIndexTextLibrary = 2,
    kIndexBinaryLibrary = 3,
    kIndexModel = 20,
    kIndexSubcircuit = 21,
    kIndexMacro = 22,
    kIndexParamLine = 23,
};

// Messages of the library lookup.
inline constexpr int kMsgGeneratingIndex = 12503;      // "Generating Library index for %s."
inline constexpr int kMsgLibraryEdited = 10879;        // asks to save an edited library
inline constexpr int kMsgIndexNamesClash = 11894;      // two libraries share one index file

struct LibraryIndexRecord {
    std::uint8_t kind = 0;
    std::string text;             // library records: the path; items: the name (upper case)
    std::uint32_t stamp = 0;      // library records: the library's time stamp
    std::uint8_t checked = 0;     // library records: checked during the lookup under way
    std::uint8_t modelType = 0;   // models
    std::uint32_t position = 0;   // text items
    std::uint32_t line = 0;
    // Library records of an index made in this session: the library's modification time
    // (nanoseconds) when it was read; 0 for an index read from its file.
    std::int64_t seenAt = 0;

    bool IsLibrary() const { return kind >= kIndexCircuitLibrary && kind <= kIndexBinaryLibrary; }
};

struct LibraryIndex {
    std::vector<LibraryIndexRecord> records;
    // Modification time (nanoseconds) of the index file it was read from; a library changed
    // after it makes the index stale.
    std::int64_t madeAt = 0;
};

// The index file of a library: its extension replaced (compared case-blind) by IXC for .CIR,
// IXL for .LBR, IXK for .CKT, INX for any other.
std::string IndexFileName(std::string_view libraryPath);

// The bytes of an index file, and back. Decoding checks every field; false for another
// version, an unfinished file or damaged contents.
std::string EncodeLibraryIndex(const LibraryIndex& index);
bool DecodeLibraryIndex(std::string_view bytes, LibraryIndex& index);

// Reads an index file; false when it cannot be read or decoded.
bool ReadLibraryIndexFile(const std::string& indexPath, LibraryIndex& index);

// Builds the index of a library and of every library its .LIB lines name, and writes it.
// 0; 15055 after reporting a failure (a library that cannot be read, a cancelled save of an
// edited library); or, when only the index file could not be written, that file error (not
// reported). `made` receives the index whenever the libraries could be read.
int GenerateLibraryIndex(const std::string& libraryPath, LibraryIndex* made = nullptr);

// Opens a unit on the statements of a text library: the window that shows it, the text area of
// a circuit file, or the file itself. 0 with the unit, or the open error (unit -1).
// `fromWindow` tells whether a window's text is read.
int OpenLibraryText(const std::string& path, int& unit, bool& fromWindow);

// Makes a free unit read the text as if it were the named file.
void OpenMemoryTextUnit(int unit, const std::string& name, std::string text);

// Whether the file is a circuit file (either circuit file format) by its first lines.
bool IsCircuitFileOnDisk(const std::string& path);

// Modification time of a file in nanoseconds; 0 when it cannot be examined.
std::int64_t FileTimeNanoseconds(const std::string& path);

}  // namespace kq5
