#pragma once
// The life of one analysis of the current circuit: starting it (build, numeric output header,
// preparation at 27 degrees, the per-kind set-up), ending it by freeing what it built, the
// Exit Analysis command and the numbering of the extra unknowns.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr int kMsgCheckNumericOutput = 13590;
inline constexpr int kNoticeDialog = 3890;
inline constexpr int kNoticeTimer = 500;

// Starts an analysis of the kind on the current circuit. 0 or a message id.
int StartAnalysis(int kind);
// Builds the simulation circuit. 0 or a message id.
int BuildCircuitForAnalysis();
// Ends the analysis and frees what it built; an empty numeric output file is removed.
void EndAnalysis(int keepOutput);
// The Exit Analysis command.
void ExitAnalysis();
// Numbers the extra unknowns after the nodes; the number of unknowns.
int NumberDevices();

// The analysis command of a circuit window: makes the circuit current and starts the analysis
// (an analysis still open is ended first). 0 or a message id.
int RunAnalysisCommand(WindowRecord* circuit, int kind);

// The self-closing notice: item 100 shows the text; it closes after a second or on OK/Cancel.
win::INT_PTR TimedNoticeDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

}  // namespace kq5
