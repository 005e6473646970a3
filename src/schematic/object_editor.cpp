#include "schematic/object_editor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "ui/dialog_services.h"
#include "ui/prompt_dialog.h"
#include "platform/message.h"
#include "platform/cursor.h"
#include "platform/paint.h"
#include "platform/gdi_dc.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/owner_draw.h"
#include "platform/text.h"
#include "platform/window.h"
#include "platform/bitmap.h"
#include "schematic/shape_area.h"
#include "schematic/shape_draw.h"
#include "schematic/shape_editor.h"

namespace kq5 {
namespace {

constexpr int kPinRowHeight = kPinMarkPictureHeight + 2;
constexpr int kPinNumberWidth = 18;

int PinMark(const ShapePrimitive& p, int pin)
{
    const std::size_t at = kPointListOffset + static_cast<std::size_t>(pin) * kBlockPinSize;
    return static_cast<std::int16_t>(p.extra[at] | (p.extra[at + 1] << 8));
}

void AddListEntry(win::HWND dialog, ShapePrimitive& p)
{
    ObjectEditorState& o = ObjectEditor();
    p.objectNumber = static_cast<std::uint16_t>(++o.nextNumber);
    std::string name;
    GetPrimitiveTypeName(p.type, name);
    const win::LRESULT at = win::SendDlgItemMessage(dialog, kObjectList, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(name.c_str()));
    if (at >= 0) win::SendDlgItemMessage(dialog, kObjectList, win::LB_SETITEMDATA, static_cast<win::WPARAM>(at), p.objectNumber);
}

int ListIndexOfNumber(win::HWND dialog, int number)
{
    const int count = static_cast<int>(win::SendDlgItemMessage(dialog, kObjectList, win::LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (win::SendDlgItemMessage(dialog, kObjectList, win::LB_GETITEMDATA, static_cast<win::WPARAM>(i), 0) == number) return i;
    return -1;
}

ShapePrimitive* PrimitiveOfNumber(int number)
{
    for (ShapePrimitive& p : ShapeEditor().edit)
        if (p.objectNumber == number) return &p;
    return nullptr;
}

void Choose(win::HWND dialog, ShapePrimitive* p)
{
    win::SendDlgItemMessage(dialog, kObjectList, win::LB_SETCURSEL, static_cast<win::WPARAM>(p ? ListIndexOfNumber(dialog, p->objectNumber) : -1), 0);
    ObjectEditor().firstPoint = 0;
    ShowObjectPoints(dialog, p);
}

// One row per pin, from the first point the point rows show: its number and its mark's picture.
void DrawPinPanel(const win::DRAWITEMSTRUCT& item)
{
    const ObjectEditorState& o = ObjectEditor();
    const ShapePrimitive* p = o.chosen;
    win::FillRect(item.hDC, &item.rcItem, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    if (!p || p->type != kPrimBlock) return;
    win::SetBkMode(item.hDC, win::TRANSPARENT);
    win::HDC pictures = win::CreateCompatibleDC(item.hDC);
    const int pins = PrimitivePointCount(*p);
    for (int k = o.firstPoint, row = 0; k < pins; ++k, ++row) {
        const int top = item.rcItem.top + 1 + row * kPinRowHeight;
        if (top >= item.rcItem.bottom) break;
        const std::string number = std::to_string(k + 1);
        win::TextOut(item.hDC, item.rcItem.left + 2, top + 1, number.c_str(), static_cast<int>(number.size()));
        const int mark = PinMark(*p, k);
        if (mark < 0 || mark >= kPinMarkCount || !o.markPictures[static_cast<std::size_t>(mark)]) continue;
        win::HGDIOBJ old = win::SelectObject(pictures, o.markPictures[static_cast<std::size_t>(mark)]);
        win::BitBlt(item.hDC, item.rcItem.left + kPinNumberWidth, top, kPinMarkPictureWidth, kPinMarkPictureHeight, pictures, 0, 0,
                    win::SRCCOPY);
        win::SelectObject(pictures, old);
    }
    win::DeleteDC(pictures);
}

// A click on a pin's row opens the menu of mark pictures beside the row.
void PinPanelClick(win::HWND dialog)
{
    ObjectEditorState& o = ObjectEditor();
    if (!o.chosen || o.chosen->type != kPrimBlock || !o.markMenu) return;
    // Where the click was, not where the pointer is now: it may have moved on since.
    const win::DWORD at = win::GetMessagePos();
    win::HWND panel = win::GetDlgItem(dialog, kObjectPinPanel);
    win::POINT local{static_cast<short>(win::LOWORD(at)), static_cast<short>(win::HIWORD(at))};
    win::ScreenToClient(panel, &local);
    const int pin = o.firstPoint + (local.y - 1) / kPinRowHeight;
    if (local.y < 1 || pin >= PrimitivePointCount(*o.chosen)) return;
    o.menuPin = pin;
    win::RECT client;
    win::GetClientRect(panel, &client);
    win::POINT corner{client.right, 1 + (pin - o.firstPoint) * kPinRowHeight};
    win::ClientToScreen(panel, &corner);
    win::TrackPopupMenu(o.markMenu, win::TPM_LEFTALIGN, corner.x, corner.y, 0, dialog, nullptr);
}

void MakeMarkMenu()
{
    ObjectEditorState& o = ObjectEditor();
    o.markMenu = win::CreatePopupMenu();
    for (int k = 0; k < kPinMarkCount; ++k) {
        o.markPictures[static_cast<std::size_t>(k)] = MakePinMarkPicture(k);
        win::AppendMenu(o.markMenu, win::MF_BITMAP, static_cast<win::UINT_PTR>(kPinMarkCommand + k), o.markPictures[static_cast<std::size_t>(k)]);
    }
}

void FreeMarkMenu()
{
    ObjectEditorState& o = ObjectEditor();
    if (o.markMenu) win::DestroyMenu(o.markMenu);
    o.markMenu = nullptr;
    for (win::HBITMAP& picture : o.markPictures) {
        if (picture) win::DeleteObject(picture);
        picture = nullptr;
    }
}

void SetPinMark(win::HWND dialog, int mark)
{
    ObjectEditorState& o = ObjectEditor();
    if (!o.chosen || o.chosen->type != kPrimBlock || o.menuPin < 0 || o.menuPin >= PrimitivePointCount(*o.chosen)) return;
    if (PinMark(*o.chosen, o.menuPin) == mark) return;
    const std::size_t at = kPointListOffset + static_cast<std::size_t>(o.menuPin) * kBlockPinSize;
    o.chosen->extra[at] = static_cast<std::uint8_t>(mark);
    o.chosen->extra[at + 1] = 0;
    SetShapeModified(ShapeEditor().dialog, true);
    win::InvalidateRect(win::GetDlgItem(dialog, kObjectPinPanel), nullptr, win::TRUE);
    RedrawShapeArea();
}

// The tools of the Shape Editor make objects at a default place here.
void NewObject(win::HWND dialog, int command)
{
    const ShapeTool* tool = std::find_if(std::begin(kShapeTools), std::end(kShapeTools), [command](const ShapeTool& t) { return t.command == command; });
    if (tool == std::end(kShapeTools) || tool->type == 1) return;
    const int type = tool->type;
    if (IsRectKind(type)) {
        AddObjectEditorObject(dialog, BuildIntPayload({5, 5, 20, 20}), type);
    } else if (type == kPrimArc) {
        AddObjectEditorObject(dialog, BuildIntPayload({5, 5, 20, 20, 20, 12, 5, 12}), type);
    } else if (type == kPrimBlock) {
        AddObjectEditorObject(dialog, BuildBlockPayload(win::RECT{16, 16, 112, 40}), type);
    } else if (type == kPrimText) {
        std::string text;
        FontSpec& font = ShapeEditor().textFont;
        if (AskShapeText(dialog, text, font) && !text.empty()) {
            AddObjectEditorObject(dialog, MeasuredTextPayload(win::POINT{5, 5}, text, font, nullptr), type);
        }
    } else if (type == 0) {
        const int index = ChooseRootShape(dialog);
        if (index <= 0) return;
        AddObjectEditorObject(dialog, BuildIntPayload({5, 5, 0}), index);
    } else {
        PromptDialogDesc desc;
        ClearPromptDesc(desc);
        desc.caption = "Point Count:";
        desc.helpId = 12910;
        if (RunPromptDialog(desc) != 1) return;
        char* end = nullptr;
        const long n = std::strtol(desc.text.c_str(), &end, 10);
        if (end == desc.text.c_str() || n <= 0 || n > 1000) return;
        std::vector<win::POINT> points;
        for (long k = 1; k <= n; ++k) points.push_back(win::POINT{static_cast<win::LONG>(5 * k), static_cast<win::LONG>(5 * k)});
        const std::vector<std::uint8_t> payload = BuildPolyPayload(points);
        AddObjectEditorObject(dialog, payload, type);
    }
}

void DeleteChosen(win::HWND dialog)
{
    ObjectEditorState& o = ObjectEditor();
    ShapeEditorState& e = ShapeEditor();
    if (!o.chosen) return;
    const int at = ListIndexOfNumber(dialog, o.chosen->objectNumber);
    win::SendDlgItemMessage(dialog, kObjectList, win::LB_DELETESTRING, static_cast<win::WPARAM>(at), 0);
    if (e.currentObject == o.chosen) e.currentObject = nullptr;
    if (e.resized == o.chosen) e.resized = nullptr;  // Undo must not reshape what takes its place
    ShapePrimitive* gone = o.chosen;
    std::erase(e.undoObjects, gone);
    e.edit.remove_if([gone](const ShapePrimitive& p) { return &p == gone; });
    o.chosen = nullptr;
    SetShapeModified(e.dialog, true);
    RedrawShapeArea();
    // The object now in its place, else the last.
    const int count = static_cast<int>(win::SendDlgItemMessage(dialog, kObjectList, win::LB_GETCOUNT, 0, 0));
    ShapePrimitive* next = nullptr;
    if (count > 0) {
        const int pick = std::min(std::max(at, 0), count - 1);
        next = PrimitiveOfNumber(static_cast<int>(win::SendDlgItemMessage(dialog, kObjectList, win::LB_GETITEMDATA, static_cast<win::WPARAM>(pick), 0)));
    }
    Choose(dialog, next);
}

}  // namespace

win::HBITMAP MakePinMarkPicture(int mark)
{
    win::HDC screen = win::GetDC(nullptr);
    win::HDC dc = win::CreateCompatibleDC(screen);
    win::HBITMAP picture = win::CreateCompatibleBitmap(screen, kPinMarkPictureWidth, kPinMarkPictureHeight);
    win::ReleaseDC(nullptr, screen);
    if (!dc || !picture) {
        if (dc) win::DeleteDC(dc);
        if (picture) win::DeleteObject(picture);
        return nullptr;
    }
    win::HGDIOBJ oldBitmap = win::SelectObject(dc, picture);
    const win::RECT all{0, 0, kPinMarkPictureWidth, kPinMarkPictureHeight};
    win::FillRect(dc, &all, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    // A block taller than the picture, its left edge a third of the way in, with one pin on that
    // edge, drawn by the block drawer itself so that the picture is what the shape will show.
    constexpr long kEdge = 16, kMiddle = kPinMarkPictureHeight / 2;
    std::vector<std::uint8_t> block = BuildIntPayload({2, kEdge, -40, 60, 56, mark & 0xFF, 1, kMiddle, 0, 72, kMiddle});
    DrawPrimitive(dc, block, kPrimBlock, 0, OrientationTransform(0, 0, 0, 1.0));
    if (mark & 4) {
        const std::string value = std::to_string(mark);
        win::HGDIOBJ oldFont = win::SelectObject(dc, win::GetStockObject(win::ANSI_VAR_FONT));
        win::SetBkMode(dc, win::TRANSPARENT);
        win::SIZE size{};
        win::GetTextExtentPoint32(dc, value.c_str(), static_cast<int>(value.size()), &size);
        win::TextOut(dc, kPinMarkPictureWidth - 2 - size.cx, (kPinMarkPictureHeight - size.cy) / 2, value.c_str(),
                     static_cast<int>(value.size()));
        win::SelectObject(dc, oldFont);
    }
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBitmap);
    win::DeleteDC(dc);
    return picture;
}

ObjectEditorState& ObjectEditor()
{
    static ObjectEditorState state;
    return state;
}

bool AddObjectEditorObject(win::HWND dialog, const std::vector<std::uint8_t>& payload, int type)
{
    ShapeEditorState& e = ShapeEditor();
    ShapePrimitive* p = CreatePrimitive(e.edit, payload, 0, 0, type, AdjustFillAttribute(type, 0), 0);
    if (!p) return false;
    AddListEntry(dialog, *p);
    SetShapeModified(e.dialog, true);
    Choose(dialog, p);
    RedrawShapeArea();
    return true;
}

void ShowObjectPoints(win::HWND dialog, ShapePrimitive* p)
{
    ObjectEditorState& o = ObjectEditor();
    o.chosen = p;
    const int count = p ? PrimitivePointCount(*p) : 0;
    const std::vector<win::POINT> points = p ? GetPrimitivePoints(*p) : std::vector<win::POINT>{};
    o.firstPoint = std::clamp(o.firstPoint, 0, std::max(0, count - kObjectRows));
    for (int k = 0; k < kObjectRows; ++k) {
        const int index = o.firstPoint + k;
        const bool shown = index < count;
        for (int id : {kObjectFirstField + 2 * k, kObjectFirstField + 2 * k + 1, kObjectFirstRowLabel + k}) {
            if (win::HWND control = win::GetDlgItem(dialog, id)) win::ShowWindow(control, shown ? win::SW_SHOW : win::SW_HIDE);
        }
        if (!shown) continue;
        win::SetDlgItemText(dialog, kObjectFirstRowLabel + k, std::to_string(index + 1).c_str());
        win::SetDlgItemText(dialog, kObjectFirstField + 2 * k, std::to_string(points[static_cast<std::size_t>(index)].x).c_str());
        win::SetDlgItemText(dialog, kObjectFirstField + 2 * k + 1, std::to_string(points[static_cast<std::size_t>(index)].y).c_str());
    }
    if (win::HWND bar = win::GetDlgItem(dialog, kObjectPointScroll)) {
        win::ShowWindow(bar, count > kObjectRows ? win::SW_SHOW : win::SW_HIDE);
        win::SetScrollRange(bar, win::SB_CTL, 0, std::max(0, count - kObjectRows), win::FALSE);
        win::SetScrollPos(bar, win::SB_CTL, o.firstPoint, win::TRUE);
    }
    if (win::HWND panel = win::GetDlgItem(dialog, kObjectPinPanel)) win::InvalidateRect(panel, nullptr, win::TRUE);
}

void CommitPointField(win::HWND dialog, int fieldId)
{
    ObjectEditorState& o = ObjectEditor();
    ShapePrimitive* p = o.chosen;
    const int row = (fieldId - kObjectFirstField) / 2;
    if (!p || row < 0 || row >= kObjectRows) return;
    const bool isY = (fieldId - kObjectFirstField) % 2 == 1;
    const int index = o.firstPoint + row;
    const std::vector<win::POINT> points = GetPrimitivePoints(*p);
    if (index >= static_cast<int>(points.size())) return;
    const win::POINT old = points[static_cast<std::size_t>(index)];
    const long present = isY ? old.y : old.x;
    const std::string text = win::GetDlgItemText(dialog, fieldId);
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    const std::string trimmed = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(trimmed.c_str(), &end, 10);
    auto restore = [&] { win::SetDlgItemText(dialog, fieldId, std::to_string(present).c_str()); };
    if (trimmed.empty() || *end != '\0' || errno == ERANGE || value < -kShapeCoordinateLimit || value > kShapeCoordinateLimit) {
        win::MessageBox(dialog, "Invalid number or out of bounds", "", win::MB_OK);
        restore();
        return;
    }
    if (value == present) return;
    const win::POINT wanted = isY ? win::POINT{old.x, static_cast<win::LONG>(value)} : win::POINT{static_cast<win::LONG>(value), old.y};
    if (!SetPrimitivePoint(*p, index, wanted.x, wanted.y)) {
        restore();
        return;
    }
    SetShapeModified(ShapeEditor().dialog, true);
    RedrawShapeArea();
    ShowObjectPoints(dialog, p);
}

win::INT_PTR ObjectEditorDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    ObjectEditorState& o = ObjectEditor();
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        o.dialog = dialog;
        o.nextNumber = 0;
        o.firstPoint = 0;
        MakeMarkMenu();
        for (ShapePrimitive& p : ShapeEditor().edit) AddListEntry(dialog, p);
        ShapePrimitive* chosen = reinterpret_cast<ShapePrimitive*>(lParam);
        if (!chosen && !ShapeEditor().edit.empty()) chosen = &ShapeEditor().edit.front();
        Choose(dialog, chosen);
        return win::TRUE;
    }
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        if (id == kObjectList) {
            if (code == win::LBN_SELCHANGE) {
                const win::LRESULT at = win::SendDlgItemMessage(dialog, kObjectList, win::LB_GETCURSEL, 0, 0);
                if (at >= 0) {
                    o.firstPoint = 0;
                    ShowObjectPoints(dialog, PrimitiveOfNumber(static_cast<int>(win::SendDlgItemMessage(dialog, kObjectList, win::LB_GETITEMDATA, static_cast<win::WPARAM>(at), 0))));
                }
            }
            return win::TRUE;
        }
        if (id >= kObjectFirstField && id < kObjectFirstField + 2 * kObjectRows) {
            if (code == win::EN_KILLFOCUS) CommitPointField(dialog, id);
            return win::TRUE;
        }
        if (id == kObjectPinPanel) {
            if (code == win::STN_CLICKED) PinPanelClick(dialog);
            return win::TRUE;
        }
        if (id >= kPinMarkCommand && id < kPinMarkCommand + kPinMarkCount) {
            SetPinMark(dialog, id - kPinMarkCommand);
            return win::TRUE;
        }
        switch (id) {
        case win::IDOK: {
            // Enter commits the field that has the focus.
            const int focused = win::GetDlgCtrlID(win::GetFocus());
            if (focused >= kObjectFirstField && focused < kObjectFirstField + 2 * kObjectRows) CommitPointField(dialog, focused);
            return win::TRUE;
        }
        case kShapeDelete: DeleteChosen(dialog); return win::TRUE;
        case kShapeClose:
        case win::IDCANCEL: {
            const int focused = win::GetDlgCtrlID(win::GetFocus());
            if (focused >= kObjectFirstField && focused < kObjectFirstField + 2 * kObjectRows) CommitPointField(dialog, focused);
            CloseDialog(dialog, kShapeClose);
            return win::TRUE;
        }
        case kDialogHelpButton: ShowDialogHelp(kObjectEditorTemplate); return win::TRUE;
        default: NewObject(dialog, id); return win::TRUE;
        }
    }
    case win::WM_VSCROLL: {
        if (!o.chosen) return win::TRUE;
        const int count = PrimitivePointCount(*o.chosen);
        switch (win::LOWORD(wParam)) {
        case win::SB_LINEUP: --o.firstPoint; break;
        case win::SB_LINEDOWN: ++o.firstPoint; break;
        case win::SB_PAGEUP: o.firstPoint -= kObjectRows; break;
        case win::SB_PAGEDOWN: o.firstPoint += kObjectRows; break;
        case win::SB_THUMBPOSITION:
        case win::SB_THUMBTRACK: o.firstPoint = win::HIWORD(wParam); break;
        default: break;
        }
        o.firstPoint = std::clamp(o.firstPoint, 0, std::max(0, count - kObjectRows));
        ShowObjectPoints(dialog, o.chosen);
        return win::TRUE;
    }
    case win::WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlID == kObjectPinPanel) DrawPinPanel(*item);
        return win::TRUE;
    }
    case win::WM_CLOSE: CloseDialog(dialog, kShapeClose); return win::TRUE;
    case win::WM_DESTROY:
        FreeMarkMenu();
        o.dialog = nullptr;
        o.chosen = nullptr;
        return win::FALSE;
    default: return win::FALSE;
    }
}

void RunObjectEditor(win::HWND owner, ShapePrimitive* chosen)
{
    RunDialogParam(owner, kObjectEditorTemplate, ObjectEditorDlgProc, reinterpret_cast<win::LPARAM>(chosen));
}

}  // namespace kq5
