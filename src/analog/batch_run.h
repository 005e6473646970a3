#pragma once
// Command-line batch runs: "kq5 @jobs.txt" runs a command file of circuits and analyses without
// user interaction and writes the statistics file. A command file line names one circuit with the
// analyses to run ("/T", "/A", "/D"), printing ("/PC", "/PA", "/P") and Save or Retrieve ("/S",
// "/R"); "LABEL name" and "GOTO name" lines direct the flow; ';' starts a comment and lines
// beginning with '*' or ':' are skipped. Words are compared without regard to case.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analog/command_line_words.h"

namespace kq5 {

struct WindowRecord;

// Batch flags.
inline constexpr int kBatchRetrieve = 1;
inline constexpr int kBatchSave = 2;
inline constexpr int kBatchNormal = 8;

inline constexpr int kMsgCommandLineError = 10143;
inline constexpr int kMsgBatchLoop = 13375;
inline constexpr int kMsgNotACommandFile = 13391;
inline constexpr int kMsgCircuitNotFound = 13392;
inline constexpr int kMsgBatchFailures = 13393;
inline constexpr int kMsgDefaultLimitsRun = 13398;
inline constexpr int kMsgNoDcLine = 13399;
inline constexpr int kMsgBatchStopped = 13406;

// One line of a command file.
struct BatchLine {
    bool transient = false;
    bool ac = false;
    bool dc = false;
    bool printCircuit = false;
    bool printAnalysis = false;
    int runMode = kBatchNormal;
    std::string circuit;
    std::string leftover;  // text that is neither a switch nor the circuit name
};

struct BatchRunState {
    int flags = 0;  // 0: no batch run
    bool printCircuit = false;
    bool printAnalysis = false;
    bool linePrintAnalysis = false;  // the running line asks for its analyses printed
    // Prints a circuit or analysis window as its Print command does; set by the frame.
    std::function<void(WindowRecord*)> printWindow;
    std::string commandFile;
    std::string singleLine;  // without a command file: the command line's circuit and switches
    bool singleLineTaken = false;
    int commandUnit = -1;
    int lineIndex = 0;  // lines read since the command file was (re)opened
    int abort = 0;
    double startClock = 0.0;
    double endClock = 0.0;
    double totalElapsed = 0.0;
    std::vector<int> gotosSinceAnalysis;  // GOTO lines passed since the last analysis ran
    int failures = 0;  // jobs that failed: circuits not loaded, analyses not run, errors reported
    std::string closingError;  // why the statistics file could not be kept, empty when it was
    std::string failedFile;    // the file that a failed StartBatchRun could not open
};

BatchRunState& BatchRun();
void ResetBatchRunForTests();

// Opens the statistics file and the command file. 0, or the message id of a failure (the
// statistics file not created ends the program; the command file not opened ends the batch).
int StartBatchRun();
// Runs the whole batch; the number of jobs that failed.
int RunBatchFile();
// The next line of the command file, cut at ';', tabs read as blanks, trimmed; comment lines
// read empty. 0, or the read status at the end of the file (the line is then empty).
int ReadBatchLine(std::string& line);
// Takes the switches and the circuit name out of a line; true when it asks for an analysis.
bool ParseBatchLine(BatchLine& parsed, const std::string& line);
// Writes the total, closes both files and ends the program's frame.
void EndBatchRun();

// Asks the batch to stop as Esc does: the running analysis stops, the statistics file is written
// with what was done and says that the batch was stopped. Safe to call from a signal handler.
void RequestBatchStop();
bool BatchStopRequested();

}  // namespace kq5
