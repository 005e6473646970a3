#pragma once
// Finding windows by their records, and the small window utilities that work on one record:
// the topmost circuit window, closing, showing and activating a record's window, and the
// message pump that long operations call. The active document child and the windows of a
// probe-mode run are in analog/run_windows.h.
#include "core/font_description.h"
#include "platform/win_types.h"
#include "platform/window.h"

namespace kq5 {

struct WindowRecord;

// Window kinds beyond those of window_record.h.
constexpr int kWindowDocumentOther = 4;
constexpr int kWindowComponentEditor = 9;
constexpr int kWindowLimitsDialog = 10;
constexpr int kWindowPrinting = 13;
constexpr int kWindowStateVariables = 15;
constexpr int kWindowFindReplace = 16;
constexpr int kWindowPageSetup = 20;

// True for the document kinds (1, 2, 3, 4, 5, 6, 8, 11) and any record flagged as a document.
bool IsDocumentRecord(const WindowRecord* record);

int GetRecordMode(const WindowRecord* record);
void SetRecordMode(WindowRecord* record, int mode);
// Stores the kind of the last undoable operation and refreshes the Edit buttons (not while the
// program is busy).
void SetUndoKind(WindowRecord* record, int kind);

// The window's font description; a null record gives the default description.
FontSpec GetRecordFontSpec(const WindowRecord* record);
void SetRecordFontSpec(WindowRecord* record, const FontSpec& spec);
win::HFONT GetRecordFont(const WindowRecord* record);

// The first MDI child in z-order of kind 1 or 2, or null.
WindowRecord* GetTopCircuitRecord();

void CloseWindowRecord(WindowRecord* record);
void InvalidateWindowRecord(WindowRecord* record);
// Restores an iconic window and sizes it to the whole client area of the MDI client.
void FillMdiClient(WindowRecord* record);
void ActivateWindowRecord(WindowRecord* record, bool viaFrame);

void PointFromLParam(win::POINT& point, win::LPARAM lParam);
void GetWorkArea(win::RECT& rect);
bool RectsIntersect(const win::RECT& a, const win::RECT& b);
void ShowDlgItemRange(win::HWND dialog, int first, int last, bool show);

// The placement of the record's window, as a circuit file stores it; false without a window.
bool GetRecordPlacement(const WindowRecord* record, win::WINDOWPLACEMENT& placement);
// Applies a stored placement, its normal rectangle moved to lie inside the MDI client; a
// placement not marked valid (length 0) is ignored.
void SetRecordPlacement(WindowRecord* record, const win::WINDOWPLACEMENT& placement);
// Moves the rectangle (keeping its size where it fits) to lie inside the window's client area.
void FitRectInClient(win::HWND window, win::RECT& rect);

// Selects the pen of a colour index: width 1 the colour table's pen, other widths a new pen kept
// in `created`; RestorePen selects the old pen back and deletes a created one.
win::HGDIOBJ SelectColorPen(win::HDC dc, int colorIndex, int width, win::HPEN& created);
void RestorePen(win::HDC dc, win::HGDIOBJ old, win::HPEN& created);

// A rectangular clip region on the DC, and its removal.
void SetClipRect(win::HDC dc, const win::RECT& rect);
void ClearClipRect(win::HDC dc);

// Handles pending messages until the queue is empty (0) or a key is pressed: the key's virtual
// code is returned and its message consumed, later messages stay queued. Each message takes the
// frame's way (FrameServices().processMessage), or is simply dispatched without a frame.
int PumpPendingMessages();

}  // namespace kq5
