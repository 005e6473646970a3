#include "ui/dialog_services.h"

#include <vector>

#include "ui/help_topics.h"
#include "core/message_reporter.h"
#include "platform/controls.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace kq5 {

namespace {

// The placed dialogs, innermost last: when one closes, the one under it is current again.
std::vector<win::HWND>& PlacedDialogs()
{
    static std::vector<win::HWND> dialogs;
    return dialogs;
}

void ForgetDialog(win::HWND dialog)
{
    std::vector<win::HWND>& placed = PlacedDialogs();
    std::erase_if(placed, [dialog](win::HWND h) { return h == dialog || !win::IsWindow(h); });
}

constexpr int kHelpBarHeight = 20;

win::INT_PTR ListSelectProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    ListSelectDesc* desc = DialogData<ListSelectDesc>(dialog, message, lParam);
    if (desc == nullptr) return win::FALSE;
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        if (!desc->caption.empty()) win::SetWindowText(dialog, desc->caption.c_str());
        win::HWND list = win::GetDlgItem(dialog, kListSelectList);
        // The template's list takes one item; a list that allows several needs the style for it.
        if (desc->several)
            win::SetWindowLong(list, win::GWL_STYLE, win::GetWindowLong(list, win::GWL_STYLE) | win::LBS_EXTENDEDSEL);
        for (const std::string& item : desc->items)
            win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(item.c_str()));
        for (int index : desc->selection) {
            if (desc->several)
                win::SendMessage(list, win::LB_SETSEL, win::TRUE, index);
            else
                win::SendMessage(list, win::LB_SETCURSEL, static_cast<win::WPARAM>(index), 0);
        }
        return win::TRUE;
    }
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK: {
            win::HWND list = win::GetDlgItem(dialog, kListSelectList);
            desc->selection.clear();
            const int count = static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                const bool chosen = desc->several ? win::SendMessage(list, win::LB_GETSEL, static_cast<win::WPARAM>(i), 0) > 0
                                                  : win::SendMessage(list, win::LB_GETCURSEL, 0, 0) == i;
                if (chosen) desc->selection.push_back(i);
            }
            CloseDialog(dialog, win::IDOK);
            return win::TRUE;
        }
        default:
            return CancelOrHelp(dialog, win::LOWORD(wParam), desc->helpId != 0 ? desc->helpId : kListSelectTemplate);
        }
    default:
        return win::FALSE;
    }
}

}  // namespace

win::INT_PTR RunDialog(win::HWND owner, int templateId, win::DLGPROC procedure)
{
    return RunDialogParam(owner, templateId, procedure, 0);
}

win::INT_PTR RunDialogParam(win::HWND owner, int templateId, win::DLGPROC procedure, win::LPARAM parameter)
{
    const win::INT_PTR result = win::DialogBoxParam(win::GetModuleHandle(nullptr), static_cast<win::UINT_PTR>(templateId),
                                                    owner, procedure, parameter);
    ForgetDialog(nullptr);  // a dialog that ended without the closer
    return result;
}

void PlaceDialog(win::HWND dialog, bool helpBar, const DialogPlacement* placement)
{
    ForgetDialog(dialog);
    PlacedDialogs().push_back(dialog);
    if (placement == nullptr) return;
    win::RECT work{}, r{};
    win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &work, 0);
    win::GetWindowRect(dialog, &r);
    const int x = work.left + (placement->x < 0 ? 0 : placement->x);
    const int y = work.top + (placement->y < 0 ? 0 : placement->y);
    const int height = (r.bottom - r.top) + (helpBar ? kHelpBarHeight : 0);
    win::MoveWindow(dialog, x, y, r.right - r.left, height, win::TRUE);
}

void CloseDialog(win::HWND dialog, win::INT_PTR result)
{
    win::EndDialog(dialog, result);
    ForgetDialog(dialog);
}

win::HWND CurrentDialog()
{
    ForgetDialog(nullptr);
    return PlacedDialogs().empty() ? nullptr : PlacedDialogs().back();
}

void ShowDialogHelp(int templateId) { ShowHelpTopic(17803, templateId); }

win::INT_PTR CancelOrHelp(win::HWND dialog, int command, int templateId, win::INT_PTR cancelResult)
{
    if (command == win::IDCANCEL) {
        CloseDialog(dialog, cancelResult);
        return win::TRUE;
    }
    if (command == kDialogHelpButton) {
        ShowDialogHelp(templateId);
        return win::TRUE;
    }
    return win::FALSE;
}

win::INT_PTR CancelOrHelp(win::HWND dialog, int command, int templateId)
{
    return CancelOrHelp(dialog, command, templateId, win::IDCANCEL);
}

int RunListSelectDialog(ListSelectDesc& desc)
{
    ListSelectDesc working = desc;
    const win::INT_PTR result = RunDialogParam(CurrentDialog(), kListSelectTemplate, &ListSelectProc,
                                               reinterpret_cast<win::LPARAM>(&working));
    if (result != win::IDOK) return win::IDCANCEL;
    desc.selection = std::move(working.selection);
    return win::IDOK;
}

void ShowNoItemsFound(WindowRecord* record) { ReportMessage("WE", record, kMsgNoItemsFound); }

std::string MessageTextStatic(int id) { return LoadResString(id); }

double Signum(double x) { return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0); }

}  // namespace kq5
