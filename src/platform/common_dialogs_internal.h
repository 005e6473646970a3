#pragma once
// The runner the common dialogs share and their program-wide state.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/common_dialogs.h"
#include "platform/dialog_template.h"
#include "platform/win_messages.h"

namespace win {

// One queued answer of a dialog kind: what it puts into the dialog's controls before OK is
// pressed (empty = Cancel).
using ScriptedAnswer = std::function<void(HWND dialog)>;

enum class CommonDialogKind { File, Font, Color, Print, Count };

struct CommonDialogState {
    DWORD lastError = 0;
    bool shownHeadless = false;
    std::deque<ScriptedAnswer> answers[static_cast<int>(CommonDialogKind::Count)];
    std::vector<HWND> open;               // innermost last
    std::map<HWND, void*> dialogData;     // each dialog's own record (hooks keep DWLP_USER)
};
CommonDialogState& CommonDialogs();

void QueueCommonDialogAnswer(CommonDialogKind kind, ScriptedAnswer answer);
// Whether dialogs without a scripted answer are shown (a screen, or tests that asked).
bool CommonDialogsShown();
// Whether a dialog of the kind would get an answer now (queued, or from a user).
bool CommonDialogWouldAsk(CommonDialogKind kind);

// The template of a common dialog: the program's own (enableTemplate with an id) or the
// layer's; null after setting CDERR_FINDRESFAILURE.
const DialogTemplate* CommonDialogTemplate(int layerId, bool enableTemplate, const char* programTemplate);

// Runs a common dialog (see common_dialogs.h). proc is the dialog's procedure; data is its
// record, found again by CommonDialogDataOf. Returns the value given to EndDialog (IDOK or
// IDCANCEL); IDCANCEL when the dialog could not be made (lastError then says why).
INT_PTR RunCommonDialog(CommonDialogKind kind, const DialogTemplate& dialog, HWND owner, DLGPROC proc, void* data);

template <typename Data>
Data* CommonDialogDataOf(HWND dialog) {
    auto& m = CommonDialogs().dialogData;
    auto it = m.find(dialog);
    return it == m.end() ? nullptr : static_cast<Data*>(it->second);
}
// Records the dialog's record on WM_INITDIALOG (lParam of RunCommonDialog's data), and forgets
// it once the dialog is gone.
void AttachCommonDialogData(HWND dialog, void* data);
void ForgetCommonDialogData(const void* data);

// What every dialog's record begins with: the program's hook (null when not enabled) and what
// it gets with WM_INITDIALOG (the caller's structure).
using CommonHookProc = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
struct CommonDialogRecord {
    CommonHookProc hook = nullptr;
    LPARAM hookParam = 0;
};

// The start of every dialog procedure. On WM_INITDIALOG (lParam: the record) the dialog is
// filled by init, then the hook gets WM_INITDIALOG (it sees no message before it); other
// messages go to the hook first. Returns the record when the dialog's own handling follows,
// else null with the procedure's answer in *answer.
template <typename Data>
Data* BeginCommonDialogMessage(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam, void (*init)(HWND, Data&),
                               INT_PTR* answer) {
    *answer = FALSE;
    if (msg == WM_INITDIALOG) {
        auto* d = reinterpret_cast<Data*>(lParam);
        init(dialog, *d);
        AttachCommonDialogData(dialog, d);
        if (d->hook) d->hook(dialog, WM_INITDIALOG, wParam, d->hookParam);
        return nullptr;
    }
    auto* d = CommonDialogDataOf<Data>(dialog);
    if (d && d->hook && d->hook(dialog, msg, wParam, lParam) != 0) {
        *answer = TRUE;
        return nullptr;
    }
    return d;
}

// The checks every call makes first: the structure's size and a hook that is enabled but
// missing. False after setting the error; else the error is cleared.
bool CommonDialogCallValid(bool sizeRight, bool hookEnabled, bool hookGiven);

// Small helpers for the dialogs' controls.
std::string ListText(HWND list, int index, bool combo);
void SetFocusToControl(HWND dialog, int id);
// A message box owned by the dialog (captioned with the dialog's title).
int CommonDialogMessage(HWND dialog, const std::string& text, UINT type);

}  // namespace win
