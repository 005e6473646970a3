#pragma once
// Command-line batch runs: "kq5 @jobs.txt" runs a command file of circuits and analyses without
// user interaction and writes the statistics file. A command file line names one circuit with the
// analyses to run ("/T", "/A", "/D"), printing ("/PC", "/PA", "/P") and Save or Retrieve ("/S",
// "/R"); "LABEL name" and "GOTO name" lines direct the flow; ';' starts a comment and lines
// beginning with '*' or ':' are skipped. Words are compared without regard to case.
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

// Batch flags.
inline constexpr int kBatchRetrieve = 1;
inline constexpr int kBatchSave = 2;
inline constexpr int kBatchNormal = 8;

inline constexpr int kMsgCommandLineError = 10143;
inline constexpr int kMsgBatchLoop = 13375;
inline constexpr int kMsgNotACommandFile = 13391;
inline constexpr int kMsgCircuitNotFound = 13392;
inline constexpr int kMsgBatchFailures = 13393;

// What the program's own command line asked for.
struct CommandLine {
    std::string commandFile;          // after the at sign; empty when none
    std::vector<std::string> files;   // circuit files to open
    std::string root;                 // the data root given by "/ROOT:", empty when none
    int batchFlags = 0;
    bool printCircuit = false;
    bool printAnalysis = false;
    // The circuit named with analysis switches ("kq5 amp.cir /T"): a batch run of that circuit
    // alone, as one line of a command file would run it.
    std::string batchLine;
    std::string leftover;             // words that are no switch of the command line
};

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
};

BatchRunState& BatchRun();
void ResetBatchRunForTests();

// Command-line words, compared without regard to case. TakeSwitch removes the first word that
// equals the switch and returns its former position, or -1; TakeSwitchChar does the same for
// "/" and a letter. TakeCommandLineArg takes out the first plain or quoted argument (switch words
// are passed over).
// Words that are absolute paths (see IsAbsolutePathWord) are neither switches nor hold them.
int TakeSwitch(std::string& line, const std::string& word);
bool IsAbsolutePathWord(std::string_view word);
int TakeSwitchChar(std::string& line, char letter);
std::string TakeCommandLineArg(std::string& line);

// The program's command line: "/ROOT:dir", a first argument "@file" with "/S", "/R", "/PC",
// "/PA", "/P", a circuit with the switches of a command file line, or the files to open.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Opens the statistics file and the command file. 0, or the message id of a failure (the
// statistics file not created ends the program; the command file not opened ends the batch).
int StartBatchRun();
// Runs the whole batch; the number of jobs that failed.
int RunBatchFile();
// The next line of the command file, cut at ';', without tabs, trimmed; comment lines read
// empty. 0, or the read status at the end of the file (the line is then empty).
int ReadBatchLine(std::string& line);
// Takes the switches and the circuit name out of a line; true when it asks for an analysis.
bool ParseBatchLine(BatchLine& parsed, const std::string& line);
// Writes the total, closes both files and ends the program's frame.
void EndBatchRun();

}  // namespace kq5
