#pragma once
// The State Variables Editor: a non-modal dialog over the simulator's present solution (node
// voltages, inductor currents, digital node levels), whose edits go straight into the solver's
// vectors; it clears, reads, writes and prints them and turns them into .IC lines.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

inline constexpr int kStateVariablesTemplate = 17153;
inline constexpr int kStateRows = 8;
inline constexpr int kStateScrollBar = 510;

// Opens the editor (or brings the open one forward); 0.
int OpenStateVariablesEditor();
win::HWND StateVariablesEditor();
void CloseStateVariablesEditor();
// Refreshes the rows from the simulator (the run calls it at each point while the editor is open).
void RefreshStateVariablesEditor();

// The row counts: analog nodes, inductors, digital nodes.
struct StateVariableCounts {
    int analog = 0;
    int inductors = 0;
    int digital = 0;
    int Rows() const;
};
StateVariableCounts CurrentStateVariableCounts();

// Commits of one row's text (as the edit leaves the focus): 1 when the value changed.
int CommitVoltageText(int node, const std::string& text);
int CommitCurrentText(int inductor, const std::string& text);
int CommitLevelText(int node, const std::string& text);
// The texts the rows show.
std::string VoltageText(int node);
std::string CurrentText(int inductor);
std::string LevelText(int node);
std::string InductorName(int inductor);

// The ".IC" lines of the present values, broken before `width` with "\r\n+ ".
std::string BuildIcStatements(int width);
int WriteIcStatements();
// Writes the listing (.SVV) and shows it; 0 or a message id.
int PrintStateVariables();

}  // namespace kq5
