#include "app/tool_bar_dialog.h"

#include <algorithm>

#include "ui/component_buttons.h"
#include "ui/help_bar.h"
#include "ui/tool_button_table.h"
#include "app/tool_windows.h"
#include "core/message_reporter.h"
#include "platform/string_table.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_dc.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/owner_draw.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kGroupList = 100;
constexpr int kButtonList = 101;
constexpr int kSchematicCheck = 102;
constexpr int kAnalysisCheck = 103;
constexpr int kAllOn = 104;
constexpr int kAllOff = 105;
constexpr int kPictureEditor = 106;
constexpr int kBrowse = 107;
constexpr int kNameEdit = 10;
constexpr int kDefault = 27;
constexpr int kHelpButton = 9;
constexpr int kPictureColumns = kComponentPictureLastBit - kComponentPictureFirstBit + 1;

struct DialogState {
    int lastGroup = 0;
    HelpBar bar;
};

DialogState& State()
{
    static DialogState state;
    return state;
}

int SelectedData(win::HWND dialog, int list)
{
    const win::LRESULT index = win::SendDlgItemMessage(dialog, list, win::LB_GETCURSEL, 0, 0);
    if (index < 0) return -1;
    return static_cast<int>(win::SendDlgItemMessage(dialog, list, win::LB_GETITEMDATA, static_cast<win::WPARAM>(index), 0));
}

int SelectedRow(win::HWND dialog) { return SelectedData(dialog, kButtonList); }

ComponentButtonPicture* SelectedPicture(win::HDC, win::HWND dialog)
{
    const int row = SelectedRow(dialog);
    if (row < 0) return nullptr;
    const ToolButtonRow& r = ToolButtonRows()[static_cast<std::size_t>(row)];
    if (!IsComponentButtonRow(r)) return nullptr;
    return &ComponentButtons().working[r.bitmap % kComponentButtonCount];
}

// The check boxes, and for a component button its name, picture and Browse.
void ShowSelection(win::HWND dialog)
{
    const int row = SelectedRow(dialog);
    const bool any = row >= 0;
    for (int id : {kSchematicCheck, kAnalysisCheck}) win::ShowWindow(win::GetDlgItem(dialog, id), any ? win::SW_SHOW : win::SW_HIDE);
    ComponentButtonPicture* picture = SelectedPicture(nullptr, dialog);
    for (int id : {kPictureEditor, kNameEdit, kBrowse}) win::ShowWindow(win::GetDlgItem(dialog, id), picture ? win::SW_SHOW : win::SW_HIDE);
    if (!any) return;
    const ToolButtonRow& r = ToolButtonRows()[static_cast<std::size_t>(row)];
    win::CheckDlgButton(dialog, kSchematicCheck, r.dlgSchematic ? win::BST_CHECKED : win::BST_UNCHECKED);
    win::CheckDlgButton(dialog, kAnalysisCheck, r.dlgAnalysis ? win::BST_CHECKED : win::BST_UNCHECKED);
    win::EnableWindow(win::GetDlgItem(dialog, kSchematicCheck), (r.flags & kToolOnSchematicBar) ? win::TRUE : win::FALSE);
    win::EnableWindow(win::GetDlgItem(dialog, kAnalysisCheck), (r.flags & kToolOnAnalysisBar) ? win::TRUE : win::FALSE);
    if (picture) {
        win::SetDlgItemText(dialog, kNameEdit, picture->name.c_str());
        win::InvalidateRect(win::GetDlgItem(dialog, kPictureEditor), nullptr, win::TRUE);
    }
}

void FillButtonList(win::HWND dialog, int group)
{
    win::SendDlgItemMessage(dialog, kButtonList, win::LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kToolListRow; ++i) {
        const ToolButtonRow& row = ToolButtonRows()[static_cast<std::size_t>(i)];
        if (row.group != group || (row.flags & kToolMenuOnly) || !(row.flags & (kToolOnSchematicBar | kToolOnAnalysisBar))) continue;
        const win::LRESULT at = win::SendDlgItemMessage(dialog, kButtonList, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(row.name));
        win::SendDlgItemMessage(dialog, kButtonList, win::LB_SETITEMDATA, static_cast<win::WPARAM>(at), i);
    }
    win::SendDlgItemMessage(dialog, kButtonList, win::LB_SETCURSEL, 0, 0);
    ShowSelection(dialog);
}

void SelectGroupAndRow(win::HWND dialog, int group, int row)
{
    win::SendDlgItemMessage(dialog, kGroupList, win::LB_SETCURSEL, static_cast<win::WPARAM>(group), 0);
    State().lastGroup = group;
    FillButtonList(dialog, group);
    const int count = static_cast<int>(win::SendDlgItemMessage(dialog, kButtonList, win::LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (win::SendDlgItemMessage(dialog, kButtonList, win::LB_GETITEMDATA, static_cast<win::WPARAM>(i), 0) == row)
            win::SendDlgItemMessage(dialog, kButtonList, win::LB_SETCURSEL, static_cast<win::WPARAM>(i), 0);
    }
    ShowSelection(dialog);
}

// The square of one picture pixel in the editor.
int EditorScale(const win::RECT& r) { return std::max(1, std::min(r.right / kPictureColumns, r.bottom / kComponentPictureRows)); }

void DrawPictureEditor(const win::DRAWITEMSTRUCT& item, const ComponentButtonPicture* picture)
{
    win::HDC dc = item.hDC;
    win::RECT r = item.rcItem;
    win::FillRect(dc, &r, win::GetSysColorBrush(win::COLOR_BTNFACE));
    if (!picture) return;
    const int scale = EditorScale(r);
    win::HBRUSH dark = win::CreateSolidBrush(win::RGB(0, 0, 0));
    win::HBRUSH light = win::CreateSolidBrush(win::RGB(255, 255, 255));
    for (int y = 0; y < kComponentPictureRows; ++y) {
        for (int x = 0; x < kPictureColumns; ++x) {
            const bool set = picture->rows[static_cast<std::size_t>(y)] & (1u << (x + kComponentPictureFirstBit));
            win::RECT cell{x * scale, y * scale, (x + 1) * scale - 1, (y + 1) * scale - 1};
            win::FillRect(dc, &cell, set ? dark : light);
        }
    }
    win::DeleteObject(dark);
    win::DeleteObject(light);
}

void DrawButtonItem(const win::DRAWITEMSTRUCT& item)
{
    if (item.itemID == static_cast<win::UINT>(-1)) return;
    win::HDC dc = item.hDC;
    const win::RECT& r = item.rcItem;
    const bool selected = item.itemState & win::ODS_SELECTED;
    win::FillRect(dc, &r, win::GetSysColorBrush(win::COLOR_WINDOW));
    win::HBRUSH frame = selected ? win::CreateSolidBrush(win::RGB(0, 0, 0)) : win::CreateSolidBrush(win::GetSysColor(win::COLOR_WINDOW));
    win::RECT outline{r.left + 1, r.top + 1, r.left + kToolCellWidth + 3, r.top + kToolCellHeight + 3};
    win::FrameRect(dc, &outline, frame);
    win::DeleteObject(frame);
    const int row = static_cast<int>(item.itemData);
    const ToolButtonRow& tool = ToolButtonRows()[static_cast<std::size_t>(row)];
    if (IsComponentButtonRow(tool)) {
        DrawComponentPicture(dc, ComponentButtons().working[tool.bitmap % kComponentButtonCount], r.left + 2, r.top + 2);
    } else {
        // The up picture whatever the button's state in the active window.
        ToolButtonRow& mutableRow = ToolButtonRows()[static_cast<std::size_t>(row)];
        const std::int16_t state = mutableRow.state;
        mutableRow.state = 0;
        DrawToolButton(dc, row, win::RECT{r.left + 2, r.top + 2, r.left + 2 + kToolCellWidth, r.top + 2 + kToolCellHeight}, false);
        mutableRow.state = state;
    }
    win::RECT text{r.left + kToolCellWidth + 8, r.top, r.right, r.bottom};
    win::SetBkMode(dc, win::TRANSPARENT);
    win::DrawText(dc, tool.name, -1, &text, win::DT_SINGLELINE | win::DT_VCENTER | win::DT_NOPREFIX);
    if (item.itemState & win::ODS_FOCUS) win::DrawFocusRect(dc, &r);
}

void StoreName(win::HWND dialog)
{
    if (ComponentButtonPicture* picture = SelectedPicture(nullptr, dialog)) picture->name = win::GetDlgItemText(dialog, kNameEdit);
}

void TogglePixel(win::HWND dialog)
{
    ComponentButtonPicture* picture = SelectedPicture(nullptr, dialog);
    if (!picture) return;
    win::HWND editor = win::GetDlgItem(dialog, kPictureEditor);
    win::POINT p;
    win::GetCursorPos(&p);
    win::ScreenToClient(editor, &p);
    win::RECT r;
    win::GetClientRect(editor, &r);
    const int scale = EditorScale(r);
    const int x = p.x / scale;
    const int y = p.y / scale;
    if (p.x < 0 || p.y < 0 || x >= kPictureColumns || y >= kComponentPictureRows) return;
    picture->rows[static_cast<std::size_t>(y)] ^= 1u << (x + kComponentPictureFirstBit);
    win::InvalidateRect(editor, nullptr, win::FALSE);
    win::InvalidateRect(win::GetDlgItem(dialog, kButtonList), nullptr, win::FALSE);
}

// Every shown or named component button must name a component; the first that does not is
// selected and reported.
bool CheckComponentNames(win::HWND dialog)
{
    const auto& exists = ToolBarHooks().componentExists;
    if (!exists) return true;
    for (int i = 0; i < kToolListRow; ++i) {
        const ToolButtonRow& row = ToolButtonRows()[static_cast<std::size_t>(i)];
        if (!IsComponentButtonRow(row)) continue;
        const ComponentButtonPicture& picture = ComponentButtons().working[row.bitmap % kComponentButtonCount];
        const bool used = row.dlgSchematic || row.dlgAnalysis || !picture.name.empty();
        if (!used || exists(picture.name)) continue;
        ReportMessage("E", kComponentNameNotFound);
        SelectGroupAndRow(dialog, row.group, i);
        return false;
    }
    return true;
}

void TakeChoice(win::HWND dialog)
{
    for (ToolButtonRow& row : ToolButtonRows()) {
        row.onSchematic = row.dlgSchematic;
        row.onAnalysis = row.dlgAnalysis;
    }
    ComponentButtons().current = ComponentButtons().working;
    RebuildComponentBitmaps();
    if (ToolBarHooks().bindComponentButtons) ToolBarHooks().bindComponentButtons();
    win::HWND frame = win::GetParent(dialog);
    if (frame) {
        win::RECT client;
        win::GetClientRect(frame, &client);
        win::SendMessage(frame, win::WM_SIZE, 0, win::MAKELPARAM(static_cast<win::WORD>(client.right), static_cast<win::WORD>(client.bottom)));
    }
    UpdateToolButtonStates();
}

void InitDialog(win::HWND dialog)
{
    for (ToolButtonRow& row : ToolButtonRows()) {
        row.dlgSchematic = row.onSchematic;
        row.dlgAnalysis = row.onAnalysis;
    }
    ComponentButtons().working = ComponentButtons().current;
    for (int group = 0; group < kToolButtonGroupCount; ++group) {
        std::string name(FindStringTableText(kToolGroupNameBase + group).value_or(""));
        const win::LRESULT at = win::SendDlgItemMessage(dialog, kGroupList, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(name.c_str()));
        win::SendDlgItemMessage(dialog, kGroupList, win::LB_SETITEMDATA, static_cast<win::WPARAM>(at), group);
    }
    win::SendDlgItemMessage(dialog, kGroupList, win::LB_SETCURSEL, static_cast<win::WPARAM>(State().lastGroup), 0);
    FillButtonList(dialog, State().lastGroup);
    if (HelpBarOption()) {
        State().bar = HelpBar{};
        if (CreateStatusBar(dialog, State().bar)) {
            ExtendDialogForHelpBar(State().bar);
            win::RECT client;
            win::GetClientRect(dialog, &client);
            PositionStatusBar(State().bar, client.right, client.bottom);
        }
    }
}

void EndToolBarDialog(win::HWND dialog, int result)
{
    DetachHelpBar(State().bar);
    win::EndDialog(dialog, result);
}

win::INT_PTR ToolBarDialogProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (msg) {
    case win::WM_INITDIALOG:
        InitDialog(dialog);
        return win::TRUE;
    case win::WM_SETCURSOR:
        // The help bar under the dialog names the control under the pointer.
        if (State().bar.window) ShowDlgControlHelp(&State().bar, win::GetDlgCtrlID(reinterpret_cast<win::HWND>(wParam)));
        return win::FALSE;
    case win::WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<win::MEASUREITEMSTRUCT*>(lParam);
        if (measure->CtlID == static_cast<win::UINT>(kButtonList)) measure->itemHeight = kToolCellHeight + 4;
        return win::TRUE;
    }
    case win::WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == static_cast<win::UINT>(kButtonList)) DrawButtonItem(*item);
        else if (item->CtlID == static_cast<win::UINT>(kPictureEditor)) DrawPictureEditor(*item, SelectedPicture(nullptr, dialog));
        return win::TRUE;
    }
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        switch (id) {
        case kGroupList:
            if (code == win::LBN_SELCHANGE) {
                StoreName(dialog);
                State().lastGroup = std::max(0, SelectedData(dialog, kGroupList));
                FillButtonList(dialog, State().lastGroup);
            }
            return win::TRUE;
        case kButtonList:
            if (code == win::LBN_SELCHANGE) ShowSelection(dialog);
            return win::TRUE;
        case kSchematicCheck:
        case kAnalysisCheck: {
            const int row = SelectedRow(dialog);
            if (row < 0) return win::TRUE;
            ToolButtonRow& r = ToolButtonRows()[static_cast<std::size_t>(row)];
            (id == kSchematicCheck ? r.dlgSchematic : r.dlgAnalysis) = win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED ? 1 : 0;
            return win::TRUE;
        }
        case kNameEdit:
            if (code == win::EN_KILLFOCUS) StoreName(dialog);
            return win::TRUE;
        case kPictureEditor:
            if (code == win::STN_CLICKED) TogglePixel(dialog);
            return win::TRUE;
        case kBrowse: {
            const auto& find = ToolBarHooks().findComponent;
            std::string typed = win::GetDlgItemText(dialog, kNameEdit);
            std::string found = find ? find(typed) : std::string();
            if (!found.empty()) win::SetDlgItemText(dialog, kNameEdit, found.c_str());
            StoreName(dialog);
            return win::TRUE;
        }
        case kAllOn:
        case kAllOff:
            for (ToolButtonRow& row : ToolButtonRows()) {
                row.dlgSchematic = id == kAllOn && (row.flags & kToolOnSchematicBar) ? 1 : 0;
                row.dlgAnalysis = id == kAllOn && (row.flags & kToolOnAnalysisBar) ? 1 : 0;
            }
            ShowSelection(dialog);
            return win::TRUE;
        case kDefault:
            ResetComponentButtonPictures(true);
            ApplyDefaultToolButtonChoice(true);
            ShowSelection(dialog);
            win::InvalidateRect(win::GetDlgItem(dialog, kButtonList), nullptr, win::FALSE);
            return win::TRUE;
        case kHelpButton:
            if (ToolBarHooks().showHelp) ToolBarHooks().showHelp(kToolBarDialog);
            return win::TRUE;
        case win::IDOK:
            StoreName(dialog);
            if (!CheckComponentNames(dialog)) return win::TRUE;
            TakeChoice(dialog);
            EndToolBarDialog(dialog, win::IDOK);
            return win::TRUE;
        case win::IDCANCEL:
            EndToolBarDialog(dialog, win::IDCANCEL);
            return win::TRUE;
        default: break;
        }
        break;
    }
    default: break;
    }
    return win::FALSE;
}

}  // namespace

ToolBarDialogHooks& ToolBarHooks()
{
    static ToolBarDialogHooks hooks;
    return hooks;
}

int ToolBarDialog(win::HWND frame)
{
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), kToolBarDialog, frame, &ToolBarDialogProc, 0));
}

}  // namespace kq5
