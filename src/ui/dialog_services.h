#pragma once
// The services every dialog of the program goes through: the two modal runners, the placing
// and closing of a dialog (the program keeps the one dialog in front as the current dialog, so
// that help and messages find their owner), the "&Help..." answer, and the list-selection dialog.
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/win_messages.h"
#include "platform/win_types.h"
#include "platform/window.h"

namespace kq5 {

struct WindowRecord;

constexpr int kDialogHelpButton = 9;  // "&Help..." of every dialog
constexpr int kListSelectTemplate = 3015;
constexpr int kListSelectList = 101;

// DialogBoxParam with the program's instance: 0 as the parameter, or the one given.
win::INT_PTR RunDialog(win::HWND owner, int templateId, win::DLGPROC procedure);
win::INT_PTR RunDialogParam(win::HWND owner, int templateId, win::DLGPROC procedure, win::LPARAM parameter);

// A stored dialog position, relative to the work area.
struct DialogPlacement {
    int x = 0;
    int y = 0;
};
// WM_INITDIALOG: the dialog becomes the current dialog; with a placement it moves to the work
// area's left + x and top + y (negative values count as 0). The help-bar flag asks for the
// dialog's help bar, which its owner makes; the dialog grows by the bar's height.
void PlaceDialog(win::HWND dialog, bool helpBar, const DialogPlacement* placement);
// Ends the dialog with the result and forgets it as the current dialog.
void CloseDialog(win::HWND dialog, win::INT_PTR result);
win::HWND CurrentDialog();
// The dialog's own data: the pointer given at WM_INITDIALOG (the dialog parameter) is kept with
// the dialog, so that dialogs of one kind may nest. Null before WM_INITDIALOG.
template <class T>
T* DialogData(win::HWND dialog, win::UINT message, win::LPARAM lParam)
{
    if (message == win::WM_INITDIALOG) win::SetWindowLongPtr(dialog, win::DWLP_USER, lParam);
    return reinterpret_cast<T*>(win::GetWindowLongPtr(dialog, win::DWLP_USER));
}

// The "&Help..." button of a dialog: the help topic of its template id.
void ShowDialogHelp(int templateId);
// The commands every dialog ends its command switch with: Cancel closes the dialog with the given
// result, Help shows the template's topic; TRUE when the command was one of them.
win::INT_PTR CancelOrHelp(win::HWND dialog, int command, int templateId, win::INT_PTR cancelResult);
// The same, Cancel closing with IDCANCEL.
win::INT_PTR CancelOrHelp(win::HWND dialog, int command, int templateId);

struct ListSelectDesc {
    std::string caption;
    std::vector<std::string> items;
    std::vector<int> selection;  // in: preset; out after OK: the chosen indices in list order
    bool several = false;        // extended selection
    int helpId = 0;
};
// IDOK with the chosen indices in desc.selection, or IDCANCEL leaving it as it was.
int RunListSelectDialog(ListSelectDesc& desc);

constexpr int kMsgNoItemsFound = 15049;
// "%WNo items found." over the record's window (a search that found nothing).
void ShowNoItemsFound(WindowRecord* record);

// The string-table text of a message id (empty when there is none).
std::string MessageTextStatic(int id);
// -1.0, 0.0 or +1.0 by the sign.
double Signum(double x);

}  // namespace kq5
