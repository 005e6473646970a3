#include "app/info_dialogs.h"

#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/window_record.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"

namespace kq5 {

win::INT_PTR AboutDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    if (msg == win::WM_INITDIALOG) {
        // The template's text is read each time, so the version stands once however often the
        // box is opened.
        std::string text = win::GetDlgItemText(dialog, 100);
        if (text.size() > 49) text.resize(49);
        text += kProgramVersion;
        win::SetDlgItemText(dialog, 100, text.c_str());
        return win::TRUE;
    }
    if (msg == win::WM_COMMAND && win::LOWORD(wParam) == win::IDOK) {
        win::EndDialog(dialog, 0);
        return win::TRUE;
    }
    if (msg == win::WM_HELP) {
        // The box has no Help button; F1 still opens its topic.
        ShowDialogHelp(kAboutTemplate);
        return win::TRUE;
    }
    if (msg == win::WM_COMMAND && win::LOWORD(wParam) == win::IDCANCEL) {
        win::EndDialog(dialog, 0);
        return win::TRUE;
    }
    return win::FALSE;
}

void ShowAboutBox(win::HWND parent)
{
    if (!parent) parent = AppFrameWindow();
    win::DialogBoxParam(win::GetModuleHandle(nullptr), kAboutTemplate, parent, AboutDlgProc, 0);
}

}  // namespace kq5
