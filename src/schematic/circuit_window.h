#pragma once
// The window procedures of circuit windows: "cir" (a schematic with four panes, their scroll
// bars, page tab bars and the text area) and "ckt" (a text circuit whose client is its editor).
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

win::LRESULT CircuitWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
win::LRESULT CktWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

// 1 for a text circuit window, or a schematic whose text area has the keyboard focus.
int IsTextEditActive(const WindowRecord* record);

// Opens a file of a kind (the file-open command and files dropped on the frame): a schematic goes
// into the empty window the program opened at start-up while that window is still untouched.
// 0 or the load's message id.
int OpenFileOfKind(const std::string& path, int kind);

// The "New" command: asks for the kind of document and opens its window maximised.
void FileNew();

// Lines one wheel notch scrolls a pane.
constexpr int kWheelLines = 3;

}  // namespace kq5
