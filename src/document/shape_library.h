#pragma once
// The shape library: the named shapes that draw components, loaded once from "shape.kq5" and
// written back as a whole when the Shape Editor's changes are kept. A shape's drawing is an
// opaque data block (shape_data.h walks it); shapes refer to each other by their index, which
// stays the same across saves.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

constexpr int kMsgCantReadShapeVersion = 14051;  // "%ECan't read the version of %s."
constexpr int kMsgBadFormatInFile = 15009;       // "%EBad format in loading file '%s'."
constexpr int kMsgFileChangedOnDisk = 13508;
constexpr std::size_t kShapeNameMax = 15;

// One shape. The extent (shape coordinates, one grid unit being 8) is the union of its
// primitives' rectangles, (0, 0, 0, 0) without any.
struct ShapeRecord {
    win::RECT extent{};
    std::int16_t index = 0;
    std::string name;                  // at most 15 characters
    std::vector<std::uint8_t> data;    // the shape data block; empty: none
    std::uint32_t reserved = 0;        // the word between name and extent, never looked at
    int used = 0;                      // the Shape Editor's listing mark; not stored
    // The name field's bytes after the NUL as read, so that a file saves back unchanged.
    std::string nameTail;
};
using ComponentShape = ShapeRecord;

struct ShapeLibrary {
    std::vector<std::unique_ptr<ShapeRecord>> records;  // file order
    std::vector<ShapeRecord*> table;                    // slot n: the shape of index n, or null
    std::time_t fileTime = 0;
    std::string path;                                   // where it was read and is written
};

ShapeLibrary& Shapes();
void ResetShapeLibraryForTests();

// The shape of an index, or null when the slot holds none (index 0 is never a component's
// shape).
const ComponentShape* FindShape(int index);
ShapeRecord* FindShapeRecord(int index);
// 1 when 0 < index < the table size and the slot holds a shape.
int IsShapeIndexUsed(int index);
// Puts a shape into a slot (a copy, appended to the records), growing the table; false when
// memory runs out or the index is not positive.
bool SetShape(int index, const ComponentShape& shape);
// The first shape in library order whose name equals the name without regard to case.
ShapeRecord* FindShapeByName(std::string_view name);

// The file's bytes of a library, and a library from a file's bytes. Parsing checks everything
// (counts, indexes, lengths, names, the primitives of every data block and reference cycles)
// and returns 0, 14051 (unknown version), 15009 (anything else damaged) or 15002; on failure the
// library is left empty.
std::string SerializeShapeLibrary(const ShapeLibrary& library);
int ParseShapeLibrary(std::string_view bytes, ShapeLibrary& library);

// Reads the file into the library: 0, 16000 plus errno when it cannot be read, 14051, 15009
// or 15002; nothing is reported, the caller shows the id with the path.
int ReadShapeLibrary(const std::string& path, ShapeLibrary& library);
// The same, reporting a failure (with the path) and returning 15055 for it.
int LoadShapeLibrary(const std::string& path, ShapeLibrary& library);
// The library path: "shape.kq5" in the data directory, else beside the program.
int OpenShapeLibraryFile(std::string& path);
// Start-up: finds and reads the global library; 0 or the message id, the path being the text
// that goes with it (also left as the pending error text).
int LoadShapeLibraryFile();
// Writes the library to its remembered path through a new file renamed over the old one, after
// asking 13508 (owned by the window) when another program changed the file since it was read.
// 0 (also when the user said No), or 15055 after reporting the failure; the old file survives a
// failure.
int WriteShapeLibrary(ShapeLibrary& library, win::HWND owner = nullptr);
int SaveShapeLibrary(win::HWND owner = nullptr);

// Before a library is written over: when another program changed the file since it was read
// (its time differs from the stamp), asks 13508 and gives whether the user said Yes; true when
// nothing changed.
bool MayOverwriteLibraryFile(const std::string& path, std::time_t stamp, win::HWND owner);
void FreeShapeLibrary();

// The record the Shape Editor opens on next.
void SetCurrentShape(ShapeRecord* record);
ShapeRecord* CurrentShape();

// The lowest empty slot above 0; the table grows by one when none is empty. -1 when memory runs
// out or the table would pass the largest 16-bit index.
int AllocateShapeIndex(ShapeLibrary& library);
// Appends a record with the name and index and stores it in its slot; null without memory.
ShapeRecord* AddShapeRecord(ShapeLibrary& library, std::string_view name, int index);
// Removes a record from the library (its slot is emptied).
void RemoveShapeRecord(ShapeLibrary& library, ShapeRecord* record);

}  // namespace kq5
