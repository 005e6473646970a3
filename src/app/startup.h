#pragma once
// Start-up and shutdown of the program: one interactive program per data directory, the window
// classes, the frame, the accelerator tables, the initialisation of every subsystem in a fixed
// order, the files named on the command line, the first circuit window, the message loop, and on
// the way out the settings written and everything freed in a fixed order.
//
// A command file ("kq5 @jobs.txt") or a circuit with analysis switches ("kq5 amp.cir /T") runs as
// a batch without any window and ends the program.
#include <string>
#include <vector>

#include "analog/batch_run.h"

namespace kq5 {

// What the program's command line asks for. Words keep the case in which they were typed.
struct StartupCommandLine {
    std::string root;         // the data root given by "/ROOT:" (no trailing separator), or empty
    std::string commandFile;  // after the at sign of a first argument "@file"; empty when none
    int batchFlags = 0;       // 0 interactive, else kBatchRetrieve, kBatchSave or kBatchNormal
    bool printCircuit = false;
    bool printAnalysis = false;
    // A circuit named with analysis switches ("kq5 amp.cir /T"): a batch run of that circuit
    // alone, as one line of a command file would run it.
    std::string batchLine;
    std::vector<std::string> files;  // files to open
    std::string leftover;            // the rest of the line when a switch is left in it
};

// Reads "/ROOT:dir", then a command file "@file" with "/PC", "/PA", "/P", "/S", "/R", or a
// circuit with analysis switches, or the files to open.
StartupCommandLine ReadCommandLine(const std::vector<std::string>& args);

// The whole program: the exit status.
int WinMain(const std::vector<std::string>& args);

// Sets the program directory (of the running executable) and the data path: the "/ROOT:"
// directory when one was given (a trailing separator removed), else the program directory.
void SetDataPathFromCommandLine(const std::string& executable, const std::string& root);

// Registers the classes and creates the frame; false when either fails.
bool InitApplication();
bool RegisterWindowClasses();
void UnregisterWindowClasses();
// 0 on success, 1 when the frame, its MDI client or its record is missing.
int CreateFrameWindow();
// Accelerators, showing the frame, the start-up sequence and the files of the command line.
// false ends the program.
bool InitInstance(const StartupCommandLine& line, int showCommand);
void StartupSequence(const StartupCommandLine& line);
void OpenCommandLineFiles(const std::vector<std::string>& files);
// OpenFirstCircuitWindow is in analog/run_windows.h.
// The exit sequence, run by the frame's WM_DESTROY.
int OnFrameDestroy();
// Runs the message loop until WM_QUIT.
int RunMessageLoop();

// Reports the start-up failure on the terminal (no window exists to show it), closes the frame
// without a question and gives the exit status 1.
int FatalStartupError(int messageId, const std::string& text);

// SIGTERM, SIGHUP and SIGINT close the frame as a session ending would: without the quit
// question, though a modified document still asks to be saved.
void InstallTerminationSignals();
// Turns the signals and the requests of later starts that arrived into messages to the frame.
void CheckExternalRequests();

}  // namespace kq5
