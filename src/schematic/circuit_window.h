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

// What every document window does on WM_CLOSE (ask, then close or refuse), on WM_DESTROY, and
// with the messages it leaves to the default (MDI child or plain window).
win::LRESULT CloseDocumentWindow(win::HWND hwnd);
void DestroyDocumentWindow(win::HWND hwnd);
win::LRESULT DocumentDefaultProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

// Opens a file of a kind (the file-open command and files dropped on the frame): a schematic goes
// into the empty window the program opened at start-up while that window is still untouched.
// 0 or the load's message id.
int OpenFileOfKind(const std::string& path, int kind);

// The "New" command: asks for the kind of document and opens its window maximised.
void FileNew();

// Flags of UpdateDocumentWindows.
constexpr unsigned kUpdateInvalidate = 0x0001;
constexpr unsigned kUpdateShow = 0x0002;
constexpr unsigned kUpdateHideOthers = 0x0004;
constexpr unsigned kUpdateModified = 0x0008;
constexpr unsigned kUpdateClose = 0x0010;
constexpr unsigned kUpdateNetlistStale = 0x0040;
constexpr unsigned kUpdateCloseFlag8 = 0x0200;
constexpr unsigned kUpdateCloseFlag10 = 0x0400;
constexpr unsigned kUpdateCloseFlag20 = 0x0800;
constexpr unsigned kUpdateRedraw = 0x1000;

// Does the flagged things to every open document window (the redraw only to hwnd when given;
// hiding to every schematic or text window but hwnd, which first keeps its placement).
void UpdateDocumentWindows(win::HWND hwnd, unsigned flags);
void HideOtherDocumentWindows(win::HWND hwnd);
// While a demo plays, untitled windows are numbered from 1 again: true saves the counters and
// starts them over, false brings the saved ones back.
void SwapUntitledCounters(bool demoStarts);

// Lines one wheel notch scrolls a pane.
constexpr int kWheelLines = 3;

}  // namespace kq5
