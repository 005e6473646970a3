// The "New" command: a dialog asks which kind of document to make, and a window of that kind
// opens maximised.
#include "schematic/circuit_window.h"

#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "document/document_windows.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kNewDialog = 17100;
constexpr int kFirstKindRadio = 100;
constexpr int kKindCount = 3;
constexpr int kFirstPicture[kKindCount] = {1201, 1204, 1206};

// The kind chosen last and where the dialog stood, kept for the next time.
struct NewDialogState {
    int checked = kFirstKindRadio;
    DialogPlacement placement{};
    bool placed = false;
};

NewDialogState& NewDialog()
{
    static NewDialogState state;
    return state;
}

win::INT_PTR NewFileDialogProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    NewDialogState& state = NewDialog();
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, state.placed ? &state.placement : nullptr);
        win::CheckRadioButton(dialog, kFirstKindRadio, kFirstKindRadio + kKindCount - 1, state.checked);
        win::SetFocus(win::GetDlgItem(dialog, state.checked));
        return 0;
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        for (int kind = 0; kind < kKindCount; ++kind) {
            if (id == kFirstPicture[kind] && win::HIWORD(wParam) == win::STN_CLICKED) {
                win::CheckRadioButton(dialog, kFirstKindRadio, kFirstKindRadio + kKindCount - 1, kFirstKindRadio + kind);
                win::SetFocus(win::GetDlgItem(dialog, kFirstKindRadio + kind));
                return 1;
            }
        }
        if (id == win::IDOK || id == win::IDCANCEL) {
            win::RECT r{};
            win::GetWindowRect(dialog, &r);
            state.placement = {r.left, r.top};
            state.placed = true;
            int result = 0;
            if (id == win::IDOK) {
                for (int kind = 0; kind < kKindCount; ++kind)
                    if (win::IsDlgButtonChecked(dialog, kFirstKindRadio + kind)) result = kind + 1;
                if (result != 0) state.checked = kFirstKindRadio + result - 1;
            }
            CloseDialog(dialog, result);
            return 1;
        }
        if (id == kDialogHelpButton) {
            ShowDialogHelp(kNewDialog);
            return 1;
        }
        return 0;
    }
    default: return 0;
    }
}

}  // namespace

void FileNew()
{
    const auto kind = static_cast<int>(RunDialog(Frame().frame, kNewDialog, &NewFileDialogProc));
    if (kind < 1 || kind > kKindCount) return;
    WindowRecord* record = NewDocumentWindow(kind);
    if (record != nullptr && record->window) win::ShowWindow(record->window, win::SW_SHOWMAXIMIZED);
}

}  // namespace kq5
