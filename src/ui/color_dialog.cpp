#include "ui/color_dialog.h"

#include <cstdlib>

#include "ui/dialog_services.h"
#include "ui/color_table.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "platform/controls.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/gdi_draw.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/win_messages.h"
#include "platform/win_styles.h"
#include "platform/window.h"
#include "platform/winhelp.h"

namespace kq5 {

namespace {

struct ColorDialogState {
    int current = 0;
    int lastDrawn = -1;
};

void InvalidatePaletteButton(win::HWND dialog, int firstId, int index)
{
    if (index < 0 || index >= kPaletteButtonCount) return;
    if (win::HWND button = win::GetDlgItem(dialog, firstId + index)) win::InvalidateRect(button, nullptr, win::FALSE);
}

void Bevel(win::HDC dc, win::RECT& r, int topLeftRow, int bottomRightRow)
{
    const ColorTableState& t = ColorTable();
    win::SelectObject(dc, t.rows[static_cast<std::size_t>(topLeftRow)].pen);
    win::MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    win::LineTo(dc, r.left, r.top);
    win::LineTo(dc, r.right - 1, r.top);
    win::SelectObject(dc, t.rows[static_cast<std::size_t>(bottomRightRow)].pen);
    win::MoveToEx(dc, r.right - 1, r.top, nullptr);
    win::LineTo(dc, r.right - 1, r.bottom - 1);
    win::LineTo(dc, r.left - 1, r.bottom - 1);
    win::InflateRect(&r, -1, -1);
}

}  // namespace

int CreatePaletteButtons(win::HWND dialog, int spacing, int firstId)
{
    win::HWND first = win::GetDlgItem(dialog, firstId);
    if (!first) return kMsgInsufficientMemory;
    win::RECT r{};
    win::GetWindowRect(first, &r);
    win::MapWindowPoints(nullptr, dialog, reinterpret_cast<win::POINT*>(&r), 2);
    const int w = r.right - r.left + spacing;
    const int h = r.bottom - r.top + spacing;
    for (int i = 1; i < kPaletteButtonCount; ++i) {
        if (win::GetDlgItem(dialog, firstId + i)) continue;
        win::HWND b = win::CreateWindowEx(0, "BUTTON", "", win::WS_CHILD | win::WS_VISIBLE | win::BS_OWNERDRAW,
                                          r.left + (i % 8) * w, r.top + (i / 8) * h, w - spacing, h - spacing, dialog,
                                          win::ChildIdMenu(firstId + i), nullptr, nullptr);
        if (!b) {
            ReportMessage("E", kMsgInsufficientMemory);
            return kMsgInsufficientMemory;
        }
    }
    return 0;
}

void DrawPaletteButton(const win::DRAWITEMSTRUCT& item, int current, int& lastDrawn, win::HBRUSH background, int firstId)
{
    if (item.CtlType != win::ODT_BUTTON) return;
    const int index = static_cast<int>(item.CtlID) - firstId;
    win::HDC dc = item.hDC;
    if ((item.itemAction & (win::ODA_DRAWENTIRE | win::ODA_SELECT)) && index >= 0 && index < kPaletteButtonCount) {
        RealizeAppPalette(dc);
        win::RECT r = item.rcItem;
        win::FrameRect(dc, &r, background);
        win::InflateRect(&r, -1, -1);
        win::FrameRect(dc, &r, background);
        win::InflateRect(&r, -1, -1);
        win::HGDIOBJ oldPen = win::GetCurrentObject(dc, win::OBJ_PEN);
        if (index == current) {
            lastDrawn = index;
            Bevel(dc, r, 70, 71);
            Bevel(dc, r, 0, 69);
        } else {
            Bevel(dc, r, 71, 0);
            Bevel(dc, r, 69, 70);
        }
        win::SelectObject(dc, oldPen);
        win::HBRUSH fill = win::CreateSolidBrush(PaletteColor(index, false));
        win::FillRect(dc, &r, fill);
        win::DeleteObject(fill);
    }
    if ((item.itemState & win::ODS_FOCUS) || (item.itemAction & win::ODA_FOCUS)) {
        win::RECT r = item.rcItem;
        win::DrawFocusRect(dc, &r);
        win::InflateRect(&r, -1, -1);
        win::DrawFocusRect(dc, &r);
    }
}

win::HBRUSH QueryCtlColorBrush(win::HWND dialog, int itemId, win::HDC dc)
{
    win::HWND target = itemId ? win::GetDlgItem(dialog, itemId) : dialog;
    win::LRESULT r = win::SendMessage(dialog, win::WM_CTLCOLORDLG, reinterpret_cast<win::WPARAM>(dc),
                                      reinterpret_cast<win::LPARAM>(target));
    win::HBRUSH brush = reinterpret_cast<win::HBRUSH>(r);
    if (!brush) brush = win::GetSysColorBrush(win::COLOR_BTNFACE);
    return brush;
}

win::INT_PTR ColorDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    auto* state = reinterpret_cast<ColorDialogState*>(win::GetWindowLongPtr(dialog, win::DWLP_USER));
    switch (msg) {
    case win::WM_INITDIALOG:
        state = reinterpret_cast<ColorDialogState*>(lParam);
        win::SetWindowLongPtr(dialog, win::DWLP_USER, lParam);
        CreatePaletteButtons(dialog, 0, kFirstPaletteButton);
        state->lastDrawn = -1;
        return win::TRUE;
    case win::WM_DRAWITEM:
        if (!state) return win::FALSE;
        DrawPaletteButton(*reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam), state->current, state->lastDrawn,
                          QueryCtlColorBrush(dialog, 0, reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam)->hDC),
                          kFirstPaletteButton);
        return win::TRUE;
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        if (!state) return win::FALSE;
        if (id >= kFirstPaletteButton && id < kFirstPaletteButton + kPaletteButtonCount) {
            InvalidatePaletteButton(dialog, kFirstPaletteButton, state->lastDrawn);
            state->current = id - kFirstPaletteButton;
            InvalidatePaletteButton(dialog, kFirstPaletteButton, state->current);
            return win::TRUE;
        }
        if (id == win::IDOK) win::EndDialog(dialog, 1);
        else if (id == win::IDCANCEL) win::EndDialog(dialog, 0);
        else if (id == 9) ShowDialogHelp(kColorDialogTemplate);
        else return win::FALSE;
        return win::TRUE;
    }
    default:
        return win::FALSE;
    }
}

int PickColorIndexWord(win::HWND owner, int& index)
{
    ColorDialogState state;
    state.current = index;
    if (win::DialogBoxParam(win::GetModuleHandle(nullptr), kColorDialogTemplate, owner ? owner : AppFrameWindow(), ColorDlgProc,
                            reinterpret_cast<win::LPARAM>(&state)) != 1)
        return 0;
    index = state.current & 0xFF;
    return 1;
}

int PickColorIndex(win::HWND owner, std::uint8_t& index)
{
    int value = index;
    if (!PickColorIndexWord(owner, value)) return 0;
    index = static_cast<std::uint8_t>(value);
    return 1;
}

win::HMENU CreateColorPopupMenu(int firstId)
{
    win::HMENU menu = win::CreatePopupMenu();
    for (int i = 0; i < kPaletteColors; ++i) {
        win::UINT flags = win::MF_OWNERDRAW;
        if (i > 0 && i % 8 == 0) flags |= win::MF_MENUBARBREAK;
        win::AppendMenu(menu, flags, static_cast<win::UINT_PTR>(firstId + i), static_cast<win::ULONG_PTR>(i));
    }
    return menu;
}

void OnMeasureColorItem(win::MEASUREITEMSTRUCT& item)
{
    win::HDC dc = win::GetDC(nullptr);
    win::HGDIOBJ old = win::SelectObject(dc, win::GetStockObject(win::SYSTEM_FONT));
    win::TEXTMETRIC tm{};
    win::GetTextMetrics(dc, &tm);
    win::SelectObject(dc, old);
    win::ReleaseDC(nullptr, dc);
    const int h = std::abs(static_cast<int>(tm.tmHeight));
    item.itemWidth = static_cast<win::UINT>(h);
    item.itemHeight = static_cast<win::UINT>(h);
}

void OnDrawColorItem(const win::DRAWITEMSTRUCT& item)
{
    win::HDC dc = item.hDC;
    RealizeAppPalette(dc);
    win::RECT r = item.rcItem;
    const int index = static_cast<int>(item.itemData);
    if (item.itemState & win::ODS_SELECTED) {
        win::FrameRect(dc, &r, ColorTable().rows[0].brush);
    } else {
        win::HBRUSH menuBrush = win::CreateSolidBrush(win::GetSysColor(win::COLOR_MENU));
        win::FrameRect(dc, &r, menuBrush);
        win::DeleteObject(menuBrush);
    }
    win::InflateRect(&r, -1, -1);
    if (index < 0 || index >= kPaletteColors) return;
    win::HGDIOBJ old = win::SelectObject(dc, ColorTable().rows[static_cast<std::size_t>(index)].brush);
    win::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    win::SelectObject(dc, old);
}

bool OnColorItemMessage(win::UINT message, win::LPARAM lParam)
{
    if (lParam == 0) return false;
    if (message == win::WM_MEASUREITEM) {
        auto& item = *reinterpret_cast<win::MEASUREITEMSTRUCT*>(lParam);
        if (item.CtlType != win::ODT_MENU) return false;
        OnMeasureColorItem(item);
        return true;
    }
    if (message == win::WM_DRAWITEM) {
        const auto& item = *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item.CtlType != win::ODT_MENU) return false;
        OnDrawColorItem(item);
        return true;
    }
    return false;
}

int SelectedPaletteEntry(const ColorPaletteGroup& group)
{
    if (!group.list) return 0;
    const auto sel = static_cast<int>(win::SendMessage(group.list, win::LB_GETCURSEL, 0, 0));
    return sel >= 0 && sel < group.count ? sel : -1;
}

void InitColorPalette(ColorPaletteGroup& group, win::HWND dialog, const std::vector<std::string>& texts, int listId,
                      int* colors, int count, int firstId, int initialEntry)
{
    group.dialog = dialog;
    group.list = listId ? win::GetDlgItem(dialog, listId) : nullptr;
    group.lastDrawn = -1;
    group.count = count;
    group.colors = colors;
    group.texts = texts;
    group.firstId = firstId;
    group.noColor = false;
    group.checkBoxId = 0;
    CreatePaletteButtons(dialog, 0, firstId);
    if (group.list) {
        win::SendMessage(group.list, win::LB_RESETCONTENT, 0, 0);
        for (const std::string& text : texts)
            win::SendMessage(group.list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
        win::SendMessage(group.list, win::LB_SETCURSEL, static_cast<win::WPARAM>(initialEntry), 0);
    }
    RefreshColorPalette(group);
}

void RefreshColorPalette(ColorPaletteGroup& group)
{
    const int entry = SelectedPaletteEntry(group);
    if (group.lastDrawn != -1) InvalidatePaletteButton(group.dialog, group.firstId, group.lastDrawn);
    if (entry >= 0 && group.colors) InvalidatePaletteButton(group.dialog, group.firstId, group.colors[entry]);
}

int OnColorPaletteClick(ColorPaletteGroup& group, int commandId)
{
    if (commandId >= group.firstId && commandId < group.firstId + kPaletteButtonCount) {
        const int entry = SelectedPaletteEntry(group);
        if (entry < 0 || !group.colors) return 0;
        group.colors[entry] = commandId - group.firstId;
        if (group.checkBoxId) win::CheckDlgButton(group.dialog, group.checkBoxId, 0);
        group.noColor = false;
        RefreshColorPalette(group);
        return 1;
    }
    if (group.checkBoxId && commandId == group.checkBoxId) {
        const bool checked = win::IsDlgButtonChecked(group.dialog, group.checkBoxId) != 0;
        if (checked != group.noColor) {
            group.noColor = checked;
            RefreshColorPalette(group);
        }
    }
    return 0;
}

int DrawColorPaletteItem(ColorPaletteGroup& group, const win::DRAWITEMSTRUCT& item)
{
    const int id = static_cast<int>(item.CtlID);
    if (id < group.firstId || id >= group.firstId + kPaletteButtonCount) return 0;
    const int entry = SelectedPaletteEntry(group);
    if (entry < 0 || !group.colors) return 0;
    const int current = group.noColor ? -1 : group.colors[entry];
    DrawPaletteButton(item, current, group.lastDrawn, QueryCtlColorBrush(group.dialog, 0, item.hDC), group.firstId);
    return 1;
}

}  // namespace kq5
