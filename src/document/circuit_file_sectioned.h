#pragma once
// The sectioned circuit file as a whole: the [Main] section, the table of the 24 section routines
// through which a file is read, the order in which a file is written, and the fix-ups after a
// load.
#include <array>
#include <functional>
#include <string>

#include "document/ini_section_table.h"
#include "document/circuit_file.h"
#include "document/section_stream.h"

namespace kq5 {

struct WindowRecord;

constexpr int kCircuitSectionCount = 24;
extern const std::array<IniSectionRow<SectionStream>, kCircuitSectionCount> kCircuitSectionTable;

// Writes or reads [Main]. Reading leaves the line after it pending; without a FileType of "CIR"
// or "KQ5.CIR" the result is 15009.
int TransferMainSection(SectionStream& stream);

// Reads the sections after [Main] into the window's document (the unit is the load's unit, the
// pending line the one the header check left) and applies the fix-ups of a load. 0 or a message
// id; the document keeps what was read before a failure.
int ReadCircuitFileV2(WindowRecord* record, LoadOptions options);

// Writes every section of the window's document on a unit opened for writing. 0 or the first
// write error.
int WriteCircuitSections(WindowRecord* record, int unit);

// Saves the document of a circuit window: a text circuit as its text, a schematic as a sectioned
// file. Flag 0x02 keeps connectivity and the recent-file list alone. The old file is replaced only
// when the new one is complete; only then is the window marked unmodified. 0, or 15055 after
// reporting the failure against the frame window.
int SaveDocumentWindow(WindowRecord* record, const std::string& path, int flags);

// The steps every save of a circuit document takes around its writer: the wait cursor, the
// connectivity rebuild and recent-file entry (unless kWriteQuietly), the window's placement, the
// safe write, and then the modified flag cleared, or the failure reported against the frame.
// 0 or 15055.
int SaveCircuitWith(WindowRecord* record, const std::string& path, int flags,
                    const std::function<int(int unit)>& writer);

// Writes a file through a temporary file beside it: the writer fills the unit, every write and
// the close are checked, and the temporary file is renamed over the path only when all went well
// (it is removed otherwise). 0 or the first error (16000 plus errno, 16012, or the writer's).
int WriteFileReplacing(const std::string& path, const std::function<int(int unit)>& writer);

}  // namespace kq5
