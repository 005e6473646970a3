#pragma once
// Finding windows by their records, and the small window utilities that work on one record:
// the active document child, the topmost circuit window, closing, showing and activating a
// record's window, and the message pump that long operations call.
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

// The window's font description; a null record gives the default description.
FontSpec GetRecordFontSpec(const WindowRecord* record);
void SetRecordFontSpec(WindowRecord* record, const FontSpec& spec);
win::HFONT GetRecordFont(const WindowRecord* record);
// Stores the font and hands it to the text control of the record's document.
void SetRecordFont(WindowRecord* record, win::HFONT font, bool redraw);

// While an analysis is open with its circuit in probe mode: the record of the active MDI child,
// whatever its kind. Otherwise the first MDI child in z-order whose record is a document.
WindowRecord* GetActiveChildRecord();
// The first MDI child in z-order of kind 1 or 2, or null.
WindowRecord* GetTopCircuitRecord();

void CloseWindowRecord(WindowRecord* record);
void InvalidateWindowRecord(WindowRecord* record);
// Maximised; during a probe-mode analysis the window fills the MDI client instead.
void ShowRecordMaximized(WindowRecord* record);
// Restores an iconic window and sizes it to the whole client area of the MDI client.
void FillMdiClient(WindowRecord* record);
void ActivateWindowRecord(WindowRecord* record, bool viaFrame);
// Invalidates and updates the MDI client.
void RepaintMdiClient();
// SC_MAXIMIZE during a probe-mode analysis fills the MDI client instead; true when handled.
bool CatchMaximizeDuringRun(WindowRecord* record, win::WPARAM command);

void PointFromLParam(win::POINT& point, win::LPARAM lParam);
void GetWorkArea(win::RECT& rect);
bool RectsIntersect(const win::RECT& a, const win::RECT& b);
void ShowDlgItemRange(win::HWND dialog, int first, int last, bool show);

// The placement of the record's window, as a circuit file stores it; false without a window.
bool GetRecordPlacement(const WindowRecord* record, win::WINDOWPLACEMENT& placement);
// Applies a stored placement, its normal rectangle moved to lie inside the MDI client; a
// placement not marked valid (length 0) is ignored.
void SetRecordPlacement(WindowRecord* record, const win::WINDOWPLACEMENT& placement);
// A schematic window takes the "Circuit" placement its document stores (and, with update set and
// that placement not maximised, the document windows are brought up to date); any other window
// is shown maximised, a text circuit window then sized for it.
void RestoreRecordPlacement(WindowRecord* record, bool update);
// Moves the rectangle (keeping its size where it fits) to lie inside the window's client area.
void FitRectInClient(win::HWND window, win::RECT& rect);
// The WM_WINDOWPOSCHANGING hook of the document windows: while an analysis is open with its
// circuit in probe mode, a window other than the analysis window that moves is placed right
// behind the analysis window. True when the position was changed.
bool KeepRunWindowInFront(WindowRecord* record, win::WINDOWPOS* position);

// Selects the pen of a colour index: width 1 the colour table's pen, other widths a new pen kept
// in `created`; RestorePen selects the old pen back and deletes a created one.
win::HGDIOBJ SelectColorPen(win::HDC dc, int colorIndex, int width, win::HPEN& created);
void RestorePen(win::HDC dc, win::HGDIOBJ old, win::HPEN& created);

// A rectangular clip region on the DC, and its removal.
void SetClipRect(win::HDC dc, const win::RECT& rect);
void ClearClipRect(win::HDC dc);

// Handles pending messages until the queue is empty (0) or a key is pressed: the key's virtual
// code is returned and its message consumed, later messages stay queued.
int PumpPendingMessages();

// True while an analysis is open and its circuit is in probe mode.
bool ProbeModeActive();

}  // namespace kq5
