#pragma once
// Message boxes and beeps. A box with a scripted answer queued takes it without showing. Otherwise
// it is a real dialog when a screen is shown (its owner disabled while it waits for the user);
// headless runs take the default button without showing it, unless tests ask to see the box
// (SetMessageBoxesShownHeadless) to drive it with injected input. Every box and every beep is
// logged so that tests can see what the user would have seen and heard.
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace win {

// Buttons.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_RETRYCANCEL = 0x0005;
constexpr UINT MB_TYPEMASK = 0x000F;
// Icons.
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x0040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x00F0;
// Default button.
constexpr UINT MB_DEFBUTTON1 = 0x0000;
constexpr UINT MB_DEFBUTTON2 = 0x0100;
constexpr UINT MB_DEFBUTTON3 = 0x0200;
constexpr UINT MB_DEFBUTTON4 = 0x0300;
constexpr UINT MB_DEFMASK = 0x0F00;
// Modality and placement.
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;
constexpr UINT MB_MODEMASK = 0x3000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
// The Help button of a dialog.
constexpr int IDHELP = 9;

// The plain beep of MessageBeep.
constexpr UINT kSimpleBeep = 0xFFFFFFFF;

// Shows a box and returns the button that closed it; 0 when the style names no known buttons.
// A null caption reads "Error".
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
BOOL MessageBeep(UINT type);

// The buttons of a style, left to right, and the one that Enter would choose.
std::vector<int> MessageBoxButtons(UINT type);
int MessageBoxDefaultButton(UINT type);

struct MessageBoxEntry {
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    UINT type = 0;
    int answer = 0;
};

// Queues the answer of the next box (first queued, first used).
void PushMessageBoxAnswer(int answer);
const std::vector<MessageBoxEntry>& MessageBoxLog();
const std::vector<UINT>& MessageBeepLog();
// Forgets the logged boxes and beeps and the queued answers.
void ClearMessageBoxLog();
// Headless only: show boxes that have no scripted answer as real dialogs, which take injected
// keys and clicks; a shown box that has nothing more to wait for takes its default button.
void SetMessageBoxesShownHeadless(bool shown);
// The innermost message box shown at present, or null.
HWND CurrentMessageBoxWindow();

}  // namespace win
