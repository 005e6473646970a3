#pragma once
// Merging another component library into the program's: a current-generation file with its shape
// library, or an older-generation file whose tables are turned into definitions. Names already
// present are skipped; the added components go into groups of their own under the current group.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

constexpr int kMsgErrorLoadingFile = 15007;  // "%EError in loading file %s."
constexpr int kMsgMergeProgress = 13629;     // "Merging of file %s with current library is %d%% complete."
constexpr int kMsgShapesNotFound = 13630;    // the older components left without a shape
constexpr int kMergeGroupSize = 31;
constexpr int kNoMergeGroup = -2;

// One entry of an older-generation component file.
struct OldComponentEntry {
    std::int16_t type = 0;
    std::array<std::int16_t, 4> placement{};  // drawing units
    std::string name;                         // empty: unused entry
    std::array<std::uint8_t, 16> pinOrder{};  // 1-based positions in the type's pin row
    std::uint8_t flags = 0;
};

struct OldComponentFile {
    std::vector<OldComponentEntry> entries;
    // Per component type: the pin positions of the type's shape (grid units).
    std::vector<std::vector<std::pair<std::int8_t, std::int8_t>>> pinRows;
};

// Reads and checks an older file: 0, 16000 plus errno, 15007 for a wrong header or any damage
// (bad type code, pin count or pin order byte), 15002 for memory.
int ReadOldComponentFile(const std::string& path, OldComponentFile& file);

// The shape of that name in the current shape library (case-blind); -1 when none.
int FindShapeIndexByName(const std::string& name);

// Imports the older file's components under the group (-1 the root); names of components left
// without a shape are added to `shapeless`. The id of the last merge group, kNoMergeGroup when
// nothing was added; a read error is returned in `status` and nothing changes.
int ImportOldComponentFile(const std::string& path, int groupId, std::vector<std::string>& shapeless, int& status);

// Merges a current-generation library file drawn by the shapes of `shapePath`. The group of the
// last component added (a merge group, or the group of the same name it joined), kNoMergeGroup
// when nothing was added; a read error or a shape that cannot be imported in `status`.
int MergeCurrentComponentFile(const std::string& path, const std::string& shapePath, int groupId, int& status);

// The editor's Merge button: asks for the file (and the shape file when its name does not tell),
// merges and reports. The group of the last component added, or kNoMergeGroup.
int MergeComponentLibrary(win::HWND editor, int groupId);

}  // namespace kq5
