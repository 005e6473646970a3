#pragma once
// What the common dialogs (file, font, colour, print) share: the extended error of the last one,
// their scripted answers and whether they are shown.
//
// A common dialog with a scripted answer queued takes it without showing: the dialog is made
// hidden, the answer is put into its controls and OK is pressed, so that the checks, the prompts
// and the program's hook run exactly as for a user. A rejected answer is followed by the next
// queued one; with none left the dialog counts as cancelled. Without a scripted answer the dialog
// is a real modal one when a screen is shown; headless runs count it as cancelled, unless tests
// ask to see it (SetCommonDialogsShownHeadless) to drive it with injected input. A shown dialog
// that has nothing more to wait for is cancelled.
#include "platform/win_types.h"

namespace win {

// CommDlgExtendedError values.
constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;
constexpr DWORD CDERR_NOTEMPLATE = 0x0003;
constexpr DWORD CDERR_FINDRESFAILURE = 0x0006;
constexpr DWORD CDERR_NOHOOK = 0x000B;
constexpr DWORD PDERR_RETDEFFAILURE = 0x1009;
constexpr DWORD PDERR_NODEVICES = 0x1007;
constexpr DWORD PDERR_PRINTERNOTFOUND = 0x100B;
constexpr DWORD CFERR_NOFONTS = 0x2001;
constexpr DWORD CFERR_MAXLESSTHANMIN = 0x2002;
constexpr DWORD FNERR_INVALIDFILENAME = 0x3002;

// The error of the last common dialog call; 0 after success and after a cancel.
DWORD CommDlgExtendedError();

// Headless only: show dialogs that have no scripted answer, for injected keys and clicks.
void SetCommonDialogsShownHeadless(bool shown);
// The innermost common dialog window that exists now (shown or scripted), or null.
HWND CurrentCommonDialogWindow();
// Forgets every queued answer of every common dialog and the shown-headless switch.
void ResetCommonDialogsForTests();

}  // namespace win
