#pragma once
// The usage file "use.kq5" over the data path: the command counts and statistics of
// ui/usage_file.h read back at start-up and written with the report at shutdown, and the
// statistics of the circuits built for analysis.
#include <string>
#include <string_view>

namespace kq5 {

// Start-up, after the data path is known: reads the counts and statistics back.
void LoadUsageFile();
// After the circuit build has numbered the nodes of the current document: running averages and
// maxima of its node and top-level component counts, and the use of each component type.
void RecordRunStatistics(int levelZeroComponents);
// Shutdown: writes the file afresh through a temporary file renamed over the old one. 0, or the
// message id of the failure (the program works on without statistics).
int WriteUsageReport();

// The "Drive=" report lines of a mount table (the text of /proc/mounts): "Drive=Remote" for a
// network file system and "Drive=CD" for an optical disc, each once, in the order first met.
std::string DriveReportLines(std::string_view mounts);

}  // namespace kq5
