// The colour dialog.
#include "platform/common_dialogs_color.h"

#include <algorithm>
#include <string>

#include "platform/common_dialogs_internal.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/window.h"

namespace win {

namespace {

constexpr COLORREF kBasicColors[kBasicColorCount] = {
    RGB(255, 128, 128), RGB(255, 255, 128), RGB(128, 255, 128), RGB(0, 255, 128),
    RGB(128, 255, 255), RGB(0, 128, 255),   RGB(255, 128, 192), RGB(255, 128, 255),
    RGB(255, 0, 0),     RGB(255, 255, 0),   RGB(128, 255, 0),   RGB(0, 255, 64),
    RGB(0, 255, 255),   RGB(0, 128, 192),   RGB(128, 128, 192), RGB(255, 0, 255),
    RGB(128, 64, 64),   RGB(255, 128, 64),  RGB(0, 255, 0),     RGB(0, 128, 128),
    RGB(0, 64, 128),    RGB(128, 128, 255), RGB(128, 0, 64),    RGB(255, 0, 128),
    RGB(128, 0, 0),     RGB(255, 128, 0),   RGB(0, 128, 0),     RGB(0, 128, 64),
    RGB(0, 0, 255),     RGB(0, 0, 160),     RGB(128, 0, 128),   RGB(128, 0, 255),
    RGB(64, 0, 0),      RGB(128, 64, 0),    RGB(0, 64, 0),      RGB(0, 64, 64),
    RGB(0, 0, 128),     RGB(0, 0, 64),      RGB(64, 0, 64),     RGB(64, 0, 128),
    RGB(0, 0, 0),       RGB(128, 128, 0),   RGB(128, 128, 64),  RGB(128, 128, 128),
    RGB(64, 128, 128),  RGB(192, 192, 192), RGB(96, 96, 96),    RGB(255, 255, 255),
};
constexpr int kColumns = 8;
constexpr int kBasicArea = 720;
constexpr int kCustomArea = 721;
// The items of the part that shows only when the dialog is open full.
constexpr int kFullPart[] = {730, kColorSample, 731, kColorRedEdit, 732, kColorGreenEdit, 733, kColorBlueEdit, kColorAddCustom};
constexpr int kChannelEdits[] = {kColorRedEdit, kColorGreenEdit, kColorBlueEdit};

struct ColorDialogData : CommonDialogRecord {
    CHOOSECOLOR* cc = nullptr;
    COLORREF current = 0;
    CustomColors custom{};
    int selectedBasic = -1;
    int selectedCustom = 0;
    bool updating = false;  // the fields are being set from the colour
    HBRUSH sampleBrush = nullptr;
    int fullWidth = 0;
};

RECT ItemRect(HWND dialog, int id) {
    RECT r{};
    HWND item = GetDlgItem(dialog, id);
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Makes a grid of owner-drawn cells over the frame `area`.
void MakeCells(HWND dialog, int area, int firstId, int count) {
    RECT r = ItemRect(dialog, area);
    ShowWindow(GetDlgItem(dialog, area), SW_HIDE);
    const int rows = (count + kColumns - 1) / kColumns;
    const int w = (r.right - r.left) / kColumns;
    const int h = (r.bottom - r.top) / rows;
    for (int i = 0; i < count; ++i) {
        DWORD style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        CreateWindowEx(0, kButtonClass, "", style, r.left + (i % kColumns) * w, r.top + (i / kColumns) * h, w, h, dialog,
                       ChildIdMenu(firstId + i), nullptr, nullptr);
    }
}

void RedrawCells(HWND dialog) {
    for (int i = 0; i < kBasicColorCount; ++i) InvalidateRect(GetDlgItem(dialog, kBasicColorCell + i), nullptr, FALSE);
    for (int i = 0; i < 16; ++i) InvalidateRect(GetDlgItem(dialog, kCustomColorCell + i), nullptr, FALSE);
}

void ShowColor(HWND dialog, ColorDialogData& d) {
    d.updating = true;
    SetDlgItemInt(dialog, kColorRedEdit, GetRValue(d.current), FALSE);
    SetDlgItemInt(dialog, kColorGreenEdit, GetGValue(d.current), FALSE);
    SetDlgItemInt(dialog, kColorBlueEdit, GetBValue(d.current), FALSE);
    d.updating = false;
    InvalidateRect(GetDlgItem(dialog, kColorSample), nullptr, TRUE);
    RedrawCells(dialog);
}

// The colour typed into the fields (each 0 to 255; a field that is no number counts as 0).
COLORREF TypedColor(HWND dialog) {
    int channel[3];
    for (int i = 0; i < 3; ++i) {
        BOOL ok = FALSE;
        UINT v = GetDlgItemInt(dialog, kChannelEdits[i], &ok, FALSE);
        channel[i] = ok ? static_cast<int>(std::min<UINT>(v, 255)) : 0;
    }
    return RGB(channel[0], channel[1], channel[2]);
}

void OpenFull(HWND dialog, ColorDialogData& d) {
    for (int id : kFullPart) ShowWindow(GetDlgItem(dialog, id), SW_SHOW);
    RECT w{};
    GetWindowRect(dialog, &w);
    SetWindowPos(dialog, nullptr, 0, 0, d.fullWidth, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER);
    EnableWindow(GetDlgItem(dialog, kColorDefineCustom), FALSE);
    SetFocusToControl(dialog, kColorRedEdit);
}

void InitColorDialog(HWND dialog, ColorDialogData& d) {
    CHOOSECOLOR& cc = *d.cc;
    if (cc.lpCustColors) d.custom = *cc.lpCustColors;
    d.current = (cc.Flags & CC_RGBINIT) ? (cc.rgbResult & 0x00FFFFFF) : RGB(0, 0, 0);
    const COLORREF* found = std::find(std::begin(kBasicColors), std::end(kBasicColors), d.current);
    d.selectedBasic = found == std::end(kBasicColors) ? -1 : static_cast<int>(found - std::begin(kBasicColors));
    MakeCells(dialog, kBasicArea, kBasicColorCell, kBasicColorCount);
    MakeCells(dialog, kCustomArea, kCustomColorCell, 16);
    for (int id : kChannelEdits) SendDlgItemMessage(dialog, id, EM_LIMITTEXT, 3, 0);
    if (!(cc.Flags & CC_SHOWHELP)) ShowWindow(GetDlgItem(dialog, kColorHelpButton), SW_HIDE);
    if (cc.Flags & CC_PREVENTFULLOPEN) EnableWindow(GetDlgItem(dialog, kColorDefineCustom), FALSE);
    ShowColor(dialog, d);
    RECT w{};
    GetWindowRect(dialog, &w);
    d.fullWidth = w.right - w.left;
    if (cc.Flags & CC_FULLOPEN) {
        OpenFull(dialog, d);
        return;
    }
    // The short dialog ends a little right of the colour cells.
    for (int id : kFullPart) ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    RECT cells = ItemRect(dialog, kBasicArea);
    RECT client{};
    GetClientRect(dialog, &client);
    const int frame = d.fullWidth - (client.right - client.left);
    SetWindowPos(dialog, nullptr, 0, 0, cells.right + cells.left + frame, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER);
    SetFocusToControl(dialog, IDOK);
}

void DrawCell(const ColorDialogData& d, const DRAWITEMSTRUCT& dis) {
    const int id = static_cast<int>(dis.CtlID);
    const bool basic = id < kCustomColorCell;
    const int index = id - (basic ? kBasicColorCell : kCustomColorCell);
    const COLORREF color = basic ? kBasicColors[index] : d.custom[static_cast<std::size_t>(index)];
    const bool selected = basic ? index == d.selectedBasic : index == d.selectedCustom;
    RECT r = dis.rcItem;
    FillRect(dis.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (selected) FrameRect(dis.hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT inner{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dis.hDC, &inner, brush);
    DeleteObject(brush);
    FrameRect(dis.hDC, &inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (dis.itemState & ODS_FOCUS) {
        RECT focus{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        DrawFocusRect(dis.hDC, &focus);
    }
}

void OnCommand(HWND dialog, ColorDialogData& d, int id, int code) {
    if (id >= kBasicColorCell && id < kBasicColorCell + kBasicColorCount) {
        d.selectedBasic = id - kBasicColorCell;
        d.current = kBasicColors[d.selectedBasic];
        ShowColor(dialog, d);
        return;
    }
    if (id >= kCustomColorCell && id < kCustomColorCell + 16) {
        d.selectedCustom = id - kCustomColorCell;
        d.selectedBasic = -1;
        d.current = d.custom[static_cast<std::size_t>(d.selectedCustom)];
        ShowColor(dialog, d);
        return;
    }
    switch (id) {
    case kColorRedEdit:
    case kColorGreenEdit:
    case kColorBlueEdit:
        if (code == EN_CHANGE && !d.updating) {
            d.current = TypedColor(dialog);
            d.selectedBasic = -1;
            InvalidateRect(GetDlgItem(dialog, kColorSample), nullptr, TRUE);
            RedrawCells(dialog);
        }
        break;
    case kColorAddCustom:
        d.custom[static_cast<std::size_t>(d.selectedCustom)] = d.current;
        d.selectedCustom = (d.selectedCustom + 1) % 16;
        RedrawCells(dialog);
        break;
    case kColorDefineCustom:
        OpenFull(dialog, d);
        break;
    case IDOK:
        d.cc->rgbResult = d.current;
        if (d.cc->lpCustColors) *d.cc->lpCustColors = d.custom;
        EndDialog(dialog, IDOK);
        break;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        break;
    default:
        break;
    }
}

INT_PTR ColorDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    INT_PTR answer = FALSE;
    ColorDialogData* d = BeginCommonDialogMessage<ColorDialogData>(dialog, msg, wParam, lParam, InitColorDialog, &answer);
    if (!d) return answer;
    switch (msg) {
    case WM_COMMAND:
        OnCommand(dialog, *d, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DRAWITEM:
        DrawCell(*d, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, kColorSample)) {
            if (d->sampleBrush) DeleteObject(d->sampleBrush);
            d->sampleBrush = CreateSolidBrush(d->current);
            return reinterpret_cast<INT_PTR>(d->sampleBrush);
        }
        return FALSE;
    case WM_DESTROY:
        if (d->sampleBrush) DeleteObject(d->sampleBrush);
        d->sampleBrush = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

COLORREF BasicColor(int index) { return index >= 0 && index < kBasicColorCount ? kBasicColors[index] : 0; }

BOOL ChooseColor(CHOOSECOLOR* cc) {
    if (!CommonDialogCallValid(cc && cc->lStructSize == sizeof(CHOOSECOLOR), cc && (cc->Flags & CC_ENABLEHOOK), cc && cc->lpfnHook))
        return FALSE;
    const DialogTemplate* t = CommonDialogTemplate(kColorDialogTemplate, cc->Flags & CC_ENABLETEMPLATE, cc->lpTemplateName);
    if (!t) return FALSE;
    DialogTemplate dialog = *t;
    ColorDialogData d;
    d.cc = cc;
    if (cc->Flags & CC_ENABLEHOOK) d.hook = cc->lpfnHook;
    d.hookParam = reinterpret_cast<LPARAM>(cc);
    INT_PTR result = RunCommonDialog(CommonDialogKind::Color, dialog, cc->hwndOwner, ColorDialogProc, &d);
    if (d.sampleBrush) DeleteObject(d.sampleBrush);
    return result == IDOK;
}

void ScriptColorDialogAnswer(std::optional<COLORREF> color) {
    ScriptedAnswer answer;
    if (color) {
        answer = [c = *color](HWND dialog) {
            SetDlgItemInt(dialog, kColorRedEdit, GetRValue(c), FALSE);
            SetDlgItemInt(dialog, kColorGreenEdit, GetGValue(c), FALSE);
            SetDlgItemInt(dialog, kColorBlueEdit, GetBValue(c), FALSE);
        };
    }
    QueueCommonDialogAnswer(CommonDialogKind::Color, std::move(answer));
}

}  // namespace win
