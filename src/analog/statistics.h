#pragma once
// The statistics file of a batch run (the command file's name with the extension "DOC"): a
// header with the date, one row per analysis run with its Newton iterations, rejected and
// accepted solutions and run time, the messages that would have opened a message box, and the
// total elapsed time.
#include <string>

namespace kq5 {

struct WindowRecord;

inline constexpr int kMsgStatisticsHeading1 = 13371;
inline constexpr int kMsgStatisticsHeading2 = 13372;
inline constexpr int kMsgStatisticsTotal = 13373;

// Creates the statistics file and writes its three header lines (the first names the command
// file, or the circuit, with the date and time). 0 or the file error.
int OpenStatisticsFile(const std::string& path, const std::string& firstField);
// One row: circuit name, the letter "TADF"[kind], iterations, rejected and total solutions,
// seconds. Flushed at once.
void WriteStatisticsRow(const std::string& circuit, int kind, unsigned long iterations, unsigned long rejected,
                        unsigned long total, double seconds);
// The total line, then the file is closed: 0, or the error that kept it from the disk (the file's
// name then goes to name).
int CloseStatisticsFile(double totalSeconds, std::string* name = nullptr);
bool StatisticsFileOpen();

// Seconds the last analysis start took to build and prepare its circuit (the Statistics dialog
// shows them beside the run time).
double& LastSetupSeconds();

// A message that would have opened a message box: "<caption> <window name>", then each line of
// the text indented by a tab (pairs of line ends collapsed into one).
void LogBatchError(const WindowRecord* record, const std::string& caption, const std::string& text);

}  // namespace kq5
