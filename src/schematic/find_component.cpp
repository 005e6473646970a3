#include <string>
#include <vector>

#include "ui/dialog_services.h"
#include "ui/edit_mode.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"
#include "schematic/component_editor.h"
#include "document/component_library.h"
#include "document/editor_services.h"

namespace kq5 {
namespace {

constexpr int kFindDialog = 17308;
constexpr int kChooserDialog = 17316;
constexpr int kNameEdit = 10;
constexpr int kChoiceList = 207;
constexpr std::size_t kFindNameMax = 50;

struct FindState {
    std::string lastName;                       // offered again at the next prompt
    std::vector<const ComponentDefinition*> candidates;
    std::string chosen;
};

std::string Upper(std::string text)
{
    for (char& c : text) c = ToUpperChar(c);
    return text;
}

FindState& Find()
{
    static FindState state;
    return state;
}

win::INT_PTR FindProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    if (msg == win::WM_INITDIALOG) {
        win::SendMessage(win::GetDlgItem(dialog, kNameEdit), win::EM_LIMITTEXT, kFindNameMax, 0);
        win::SetDlgItemText(dialog, kNameEdit, Find().lastName.c_str());
        return win::TRUE;
    }
    if (msg != win::WM_COMMAND) return win::FALSE;
    const int id = win::LOWORD(wParam);
    if (id == win::IDOK) Find().chosen = win::GetDlgItemText(dialog, kNameEdit).substr(0, kFindNameMax);
    if (id == win::IDOK || id == win::IDCANCEL) win::EndDialog(dialog, id);
    return win::TRUE;
}

win::INT_PTR ChooserProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    win::HWND list = win::GetDlgItem(dialog, kChoiceList);
    if (msg == win::WM_INITDIALOG) {
        for (const ComponentDefinition* d : Find().candidates) {
            const int slot = d->placementFlags & kDefPaletteMask;
            const std::string palette = slot ? StrPrintf("Palette %d:", slot) : std::string("None");
            const std::string text = d->name + "  " + palette;
            win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
        }
        win::SendMessage(list, win::LB_SETCURSEL, 0, 0);
        return win::TRUE;
    }
    if (msg != win::WM_COMMAND) return win::FALSE;
    const int id = win::LOWORD(wParam);
    const bool picked = id == win::IDOK || (id == kChoiceList && win::HIWORD(wParam) == win::LBN_DBLCLK);
    if (picked) {
        const auto at = win::SendMessage(list, win::LB_GETCURSEL, 0, 0);
        if (at < 0 || static_cast<std::size_t>(at) >= Find().candidates.size()) return win::TRUE;
        Find().chosen = Find().candidates[static_cast<std::size_t>(at)]->name;
        win::EndDialog(dialog, win::IDOK);
    } else if (id == win::IDCANCEL) {
        win::EndDialog(dialog, win::IDCANCEL);
    }
    return win::TRUE;
}

}  // namespace

int FindComponentCommand(win::HWND owner)
{
    FindState& find = Find();
    find.chosen.clear();
    if (win::DialogBoxParam(win::GetModuleHandle(nullptr), kFindDialog, owner, &FindProc, 0) != win::IDOK) return 0;
    const std::string typed = find.chosen;
    ComponentDefinition* found = FindComponentDefinition(typed);
    bool noneLike = false;
    if (!found && !typed.empty()) {
        find.candidates.clear();
        const std::string wanted = Upper(typed);
        for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions))
            if (Upper(d.name).find(wanted) != std::string::npos) find.candidates.push_back(&d);
        noneLike = find.candidates.empty();
        if (!noneLike && win::DialogBoxParam(win::GetModuleHandle(nullptr), kChooserDialog, owner, &ChooserProc, 0) == win::IDOK)
            found = FindComponentDefinition(find.chosen);
        find.candidates.clear();
    }
    if (!found) {
        // A name that no part has, nor holds, is answered, not met with silence.
        if (noneLike) ShowNoItemsFound(GetActiveChildRecord());
        return 0;
    }
    find.lastName = found->name;
    SetChosenComponentDefinition(found);
    WindowRecord* active = GetActiveChildRecord();
    if (active && active->kind == kWindowSchematic) SetEditMode(active, kCommandComponentMode);
    return 1;
}

}  // namespace kq5
