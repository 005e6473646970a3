#pragma once
// Dialog boxes made from templates: modal ones (DialogBoxParam: the owner is disabled while the
// dialog runs its own message loop; a WM_QUIT that arrives ends the dialog and is passed on) and
// modeless ones (CreateDialogParam, whose messages the program's loop hands to
// IsDialogMessage). The standard dialog procedure DefDlgProc calls the program's DLGPROC first;
// IsDialogMessage gives dialogs their keyboard interface: Tab and Shift+Tab between tab stops,
// the arrow keys within a group, Enter for the default button, Esc for Cancel, and the '&'
// mnemonics of control texts.
#include <string>

#include "platform/dialog_template.h"
#include "platform/win_messages.h"
#include "platform/win_types.h"

namespace win {

// Dialog styles.
constexpr DWORD DS_ABSALIGN = 0x0001;
constexpr DWORD DS_SYSMODAL = 0x0002;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_NOFAILCREATE = 0x0010;
constexpr DWORD DS_LOCALEDIT = 0x0020;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_NOIDLEMSG = 0x0100;
constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD DS_CENTERMOUSE = 0x1000;
constexpr DWORD DS_CONTEXTHELP = 0x2000;

// Dialog messages.
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr UINT DM_REPOSITION = WM_USER + 2;
constexpr WORD DC_HASDEFID = 0x534B;  // high word of DM_GETDEFID's answer

// The dialog class's window extra bytes: the result of a message (a DLGPROC that returns TRUE
// for a message answered through SetWindowLongPtr(dlg, DWLP_MSGRESULT, value)), and a word for
// the program.
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = 8;
constexpr int DWLP_USER = 16;
constexpr int DLGWINDOWEXTRA = 48;

// The standard dialog class ("#32770").
inline constexpr const char* kDialogClass = "#32770";

// A template given by a name: "#17101", or an id passed as a pointer.
inline const char* MAKEINTRESOURCE(UINT_PTR id) { return reinterpret_cast<const char*>(id); }

// Returns the value given to EndDialog; -1 when the dialog could not be made; IDCANCEL (2) when
// a WM_QUIT ended it.
INT_PTR DialogBoxParam(HINSTANCE instance, UINT_PTR templateId, HWND owner, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxParam(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc, LPARAM param);
inline INT_PTR DialogBox(HINSTANCE instance, UINT_PTR templateId, HWND owner, DLGPROC proc) {
    return DialogBoxParam(instance, templateId, owner, proc, 0);
}
INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const DialogTemplate& dialog, HWND owner, DLGPROC proc,
                               LPARAM param);

// A modeless dialog (or, with DS_CONTROL / WS_CHILD, a child dialog inside parent). Shown at
// once when its template has WS_VISIBLE.
HWND CreateDialogParam(HINSTANCE instance, UINT_PTR templateId, HWND parent, DLGPROC proc, LPARAM param);
HWND CreateDialogParam(HINSTANCE instance, const char* templateName, HWND parent, DLGPROC proc, LPARAM param);
inline HWND CreateDialog(HINSTANCE instance, UINT_PTR templateId, HWND parent, DLGPROC proc) {
    return CreateDialogParam(instance, templateId, parent, proc, 0);
}
HWND CreateDialogIndirectParam(HINSTANCE instance, const DialogTemplate& dialog, HWND parent, DLGPROC proc,
                               LPARAM param);

// Ends a modal dialog with a result (its loop closes it after the current message); a modeless
// dialog is only hidden.
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Handles msg when it is for the dialog or one of its controls (the message is then dispatched
// and TRUE returned).
BOOL IsDialogMessage(HWND dialog, MSG* msg);

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
// Dialog units to pixels with the dialog's font.
BOOL MapDialogRect(HWND dialog, RECT* rect);
// The base units of the system font: average character width in the low word, height in the
// high word.
LONG GetDialogBaseUnits();

// --- items ------------------------------------------------------------------------------------
BOOL SetDlgItemText(HWND dialog, int id, const char* text);
std::string GetDlgItemText(HWND dialog, int id);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// Reads a whole number (blanks around it allowed); *translated tells whether it was one.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks the button `check` and clears the other buttons with ids first..last.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
LRESULT SendDlgItemMessage(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace win
