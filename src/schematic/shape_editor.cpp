#include "schematic/shape_editor.h"

#include <algorithm>
#include <cstdio>

#include "core/analysis_state.h"
#include "ui/dialog_services.h"
#include "ui/font_select.h"
#include "ui/prompt_dialog.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "platform/paint.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"
#include "document/component_library.h"
#include "document/print_job.h"
#include "schematic/object_editor.h"
#include "schematic/shape_area.h"

namespace kq5 {

const ShapeTool kShapeTools[kShapeToolCount] = {
    {17561, "Select", 1},           {17686, "Pan", 1},
    {17568, "Rectangle", kPrimRectangle}, {17569, "Diamond", kPrimDiamond},
    {17567, "Ellipse", kPrimEllipse}, {17570, "Arc", kPrimArc},
    {17693, "Block", kPrimBlock},   {17566, "Line", kPrimLine},
    {17683, "Closed Polygon", kPrimPolyClosed}, {17684, "Open Polygon", kPrimPolyOpen},
    {17685, "Included Shape", 0},   {17563, "Text", kPrimText},
    {17699, "Seven Segment", kPrimSevenSegment}, {17700, "LED", kPrimLed},
    {17701, "Switch", kPrimSwitch},
};

namespace {

constexpr int kMsgShapeNameUsed = 13381;
constexpr int kMsgSaveShapeChanges = 13382;
constexpr int kMsgDeleteShape = 13383;
constexpr int kMsgNameAlreadyUsed = 13384;
constexpr int kMsgShapeDrawsComponent = 13386;
constexpr int kMsgShapeIncluded = 13387;

void DeselectAll(PrimitiveList& list)
{
    for (ShapePrimitive& p : list) p.attributes = static_cast<std::uint16_t>(p.attributes & ~kPrimSelected);
}

bool AnySelected(const PrimitiveList& list)
{
    return std::any_of(list.begin(), list.end(), [](const ShapePrimitive& p) { return (p.attributes & kPrimSelected) != 0; });
}

// Moves the selected primitives into `out` (appended), keeping the rest.
void TakeSelected(PrimitiveList& from, PrimitiveList& out)
{
    for (auto it = from.begin(); it != from.end();) {
        auto next = std::next(it);
        if (it->attributes & kPrimSelected) out.splice(out.end(), from, it);
        it = next;
    }
}

void CopySelected(const PrimitiveList& from, PrimitiveList& out)
{
    out.clear();
    for (const ShapePrimitive& p : from)
        if (p.attributes & kPrimSelected) out.push_back(p);
}

bool ShapeRefersTo(const ShapeRecord& record, int index)
{
    std::vector<int> refs;
    ShapeDataReferences(record.data, refs);
    return std::find(refs.begin(), refs.end(), index) != refs.end();
}

const ComponentDefinition* DefinitionDrawnWith(int index)
{
    for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions))
        if (d.shapeIndex == index) return &d;
    return nullptr;
}

bool DefinitionUsesShape(int index) { return DefinitionDrawnWith(index) != nullptr; }

const ShapeRecord* ShapeIncluding(const ShapeRecord& shape)
{
    for (const auto& other : Shapes().records)
        if (other.get() != &shape && ShapeRefersTo(*other, shape.index)) return other.get();
    return nullptr;
}

// A shape that a component is drawn with, or that another shape includes, stays: without it
// every circuit placing such a component would lose it when read.
bool RefuseDeletingUsedShape(win::HWND dialog, const ShapeRecord& shape)
{
    if (const ComponentDefinition* d = DefinitionDrawnWith(shape.index)) {
        ReportMessage("DE", dialog, kMsgShapeDrawsComponent, shape.name.c_str(), d->name.c_str());
        return true;
    }
    if (const ShapeRecord* other = ShapeIncluding(shape)) {
        ReportMessage("DE", dialog, kMsgShapeIncluded, shape.name.c_str(), other->name.c_str());
        return true;
    }
    return false;
}

void FillShapeList(win::HWND dialog)
{
    win::SendDlgItemMessage(dialog, kShapeList, win::LB_RESETCONTENT, 0, 0);
    for (const auto& record : Shapes().records) AddShapeListItem(dialog, *record, false);
}

int ListIndexOf(win::HWND dialog, const ShapeRecord* record)
{
    const int count = static_cast<int>(win::SendDlgItemMessage(dialog, kShapeList, win::LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (record && win::SendDlgItemMessage(dialog, kShapeList, win::LB_GETITEMDATA, static_cast<win::WPARAM>(i), 0) == record->index)
            return i;
    }
    return -1;
}

void SelectInList(win::HWND dialog, const ShapeRecord* record)
{
    win::SendDlgItemMessage(dialog, kShapeList, win::LB_SETCURSEL, static_cast<win::WPARAM>(ListIndexOf(dialog, record)), 0);
}

// Stores the edit list into the open record when it changed.
void StoreOpenShape()
{
    ShapeEditorState& e = ShapeEditor();
    if (!e.current || !e.shapeModified) return;
    StoreShapeData(*e.current, e.edit);
    e.libraryChanged = true;
}

void OpenRecord(win::HWND dialog, ShapeRecord* record)
{
    ShapeEditorState& e = ShapeEditor();
    e.edit.clear();
    e.holding.clear();
    e.current = record;
    e.currentObject = nullptr;
    e.undoCode = 0;
    e.drag = ShapeDrag::None;
    e.polyPoints.clear();
    if (record) {
        e.saved = *record;
        ParseShapeData(e.edit, *record, kShapeCanvasMargin, kShapeCanvasMargin, 0);
    }
    SetShapeModified(dialog, false);
    win::SetDlgItemText(dialog, kShapeNameEdit, record ? record->name.c_str() : "");
    SelectInList(dialog, record);
    RedrawShapeArea();
}

void Rename(win::HWND dialog)
{
    ShapeEditorState& e = ShapeEditor();
    if (!e.current) return;
    std::string name = win::GetDlgItemText(dialog, kShapeNameEdit);
    if (name.size() > kShapeNameMax) name.resize(kShapeNameMax);
    if (name.empty() || name == e.current->name) {
        win::SetDlgItemText(dialog, kShapeNameEdit, e.current->name.c_str());
        return;
    }
    ShapeRecord* other = FindShapeByName(name);
    if (other && other != e.current) {
        ReportMessage("DE", dialog, kMsgShapeNameUsed);
        win::SetDlgItemText(dialog, kShapeNameEdit, e.current->name.c_str());
        return;
    }
    e.current->name = name;
    e.libraryChanged = true;
    FillShapeList(dialog);
    SelectInList(dialog, e.current);
}

void AddShape(win::HWND dialog)
{
    ShapeEditorState& e = ShapeEditor();
    for (;;) {
        PromptDialogDesc desc;
        ClearPromptDesc(desc);
        desc.templateId = kNamePromptTemplate;
        desc.caption = "New Shape Name:";
        desc.maxLength = static_cast<int>(kShapeNameMax);
        desc.helpId = 17311;
        if (RunPromptDialog(desc) != 1) return;
        std::string name = desc.text.substr(0, kShapeNameMax);
        if (name.empty()) name = "NEW";
        if (FindShapeByName(name)) {
            ReportMessage("DE", dialog, kMsgNameAlreadyUsed, name.c_str());
            continue;
        }
        const int index = AllocateShapeIndex(Shapes());
        ShapeRecord* record = index < 0 ? nullptr : AddShapeRecord(Shapes(), name, index);
        if (!record) {
            ReportMessage("DE", dialog, kMsgInsufficientMemory);
            return;
        }
        StoreOpenShape();
        e.libraryChanged = true;
        AddShapeListItem(dialog, *record, false);
        OpenRecord(dialog, record);
        return;
    }
}

void DeleteShape(win::HWND dialog)
{
    ShapeEditorState& e = ShapeEditor();
    if (!e.current || RefuseDeletingUsedShape(dialog, *e.current)) return;
    if (ReportMessage("DSE", dialog, static_cast<unsigned>(win::MB_OKCANCEL | win::MB_ICONQUESTION), kMsgDeleteShape) != win::IDOK)
        return;
    const int at = ListIndexOf(dialog, e.current);
    win::SendDlgItemMessage(dialog, kShapeList, win::LB_DELETESTRING, static_cast<win::WPARAM>(at), 0);
    e.edit.clear();
    RemoveShapeRecord(Shapes(), e.current);
    e.current = nullptr;
    e.libraryChanged = true;
    // The shape that took its place in the list, else the one before.
    ShapeRecord* next = nullptr;
    const int count = static_cast<int>(win::SendDlgItemMessage(dialog, kShapeList, win::LB_GETCOUNT, 0, 0));
    if (count > 0) {
        const int pick = std::min(std::max(at, 0), count - 1);
        next = FindShapeRecord(static_cast<int>(win::SendDlgItemMessage(dialog, kShapeList, win::LB_GETITEMDATA, static_cast<win::WPARAM>(pick), 0)));
    }
    OpenRecord(dialog, next);
}

void Revert(win::HWND dialog)
{
    ShapeEditorState& e = ShapeEditor();
    if (!e.current) return;
    const std::string name = e.current->name;
    e.current->data = e.saved.data;
    e.current->extent = e.saved.extent;
    e.current->name = e.saved.name;
    if (name != e.current->name) {
        FillShapeList(dialog);
    }
    OpenRecord(dialog, e.current);
}

// Close, Cancel and the close box.
void CloseEditor(win::HWND dialog)
{
    ShapeEditorState& e = ShapeEditor();
    // A name typed but not yet taken (Esc or Alt+C with the field still focused) is taken now, as
    // a click on Close takes it, so that it is offered for saving rather than renaming the shape
    // unasked once the field loses the focus as the editor goes.
    if (win::GetFocus() == win::GetDlgItem(dialog, kShapeNameEdit)) Rename(dialog);
    if (!e.libraryChanged && !e.shapeModified) {
        CloseDialog(dialog, kShapeClose);
        return;
    }
    const int answer = ReportMessage("DSE", dialog, static_cast<unsigned>(win::MB_YESNOCANCEL | win::MB_ICONQUESTION), kMsgSaveShapeChanges);
    if (answer == win::IDCANCEL || answer == 0) return;
    StoreOpenShape();
    e.edit.clear();
    if (answer == win::IDYES) {
        if (SaveShapeLibrary(dialog) != 0) {
            // Nothing was written (the failure was shown): the editor stays open with every
            // change, to be saved again or dropped.
            OpenRecord(dialog, e.current);
            return;
        }
    } else {
        // Every change is dropped: the library is read again from the file it came from. A file
        // that can no longer be read (the failure is shown) leaves the shapes in memory as they
        // are rather than none at all.
        const int index = e.current ? e.current->index : -1;
        ShapeLibrary fresh;
        fresh.path = Shapes().path;
        if (LoadShapeLibrary(fresh.path, fresh) == 0) {
            e.current = nullptr;
            SetCurrentShape(nullptr);
            Shapes() = std::move(fresh);
        }
        e.current = nullptr;
        SetCurrentShape(index >= 0 && index < static_cast<int>(Shapes().table.size()) ? Shapes().table[static_cast<std::size_t>(index)] : nullptr);
    }
    e.libraryChanged = false;
    e.shapeModified = false;
    CloseDialog(dialog, kShapeClose);
}

void MoveSelection(int dx, int dy)
{
    for (ShapePrimitive& p : ShapeEditor().edit)
        if (p.attributes & kPrimSelected) OffsetPrimitive(p, dx, dy);
}

void OrientSelection(win::HWND dialog, int code)
{
    ShapeEditorState& e = ShapeEditor();
    win::RECT bounds;
    if (GetPrimitivesBounds(e.edit, bounds, kPrimSelected) == 0) return;
    // The centre of the selection itself, without the room for handles.
    const double cx = (bounds.left + 3 + bounds.right - 4) * 0.5, cy = (bounds.top + 3 + bounds.bottom - 4) * 0.5;
    OrientPrimitives(e.edit, code, false, cx, cy);
    SetShapeModified(dialog, true);
    RedrawShapeArea();
}

// Selects the objects of the last operation that are still in the shape, and only them.
void SelectUndoObjects()
{
    ShapeEditorState& e = ShapeEditor();
    for (ShapePrimitive& p : e.edit) {
        const bool concerned = std::find(e.undoObjects.begin(), e.undoObjects.end(), &p) != e.undoObjects.end();
        p.attributes = static_cast<std::uint16_t>(concerned ? p.attributes | kPrimSelected : p.attributes & ~kPrimSelected);
    }
}

void Undo(win::HWND dialog)
{
    ShapeEditorState& e = ShapeEditor();
    if (e.undoCode == 1 || e.undoCode == 3 || e.undoCode == 6 || e.undoCode == 9) SelectUndoObjects();
    switch (e.undoCode) {
    case 1:  // the new object goes
        TakeSelected(e.edit, e.holding);
        e.holding.clear();
        e.currentObject = nullptr;
        e.undoCode = 0;
        break;
    case 2:  // cleared objects come back
    case 5:  // a cut is pasted back
        DeselectAll(e.edit);
        for (ShapePrimitive& p : e.holding) p.attributes |= kPrimSelected;
        e.edit.splice(e.edit.end(), e.holding);
        if (e.undoCode == 2) e.undoCode = 0;
        else RecordUndo(6);
        break;
    case 3:
        MoveSelection(-e.undoDx, -e.undoDy);
        e.undoDx = -e.undoDx;
        e.undoDy = -e.undoDy;
        break;
    case 4:  // a resize toggles between the two shapes of the primitive
        // The whole geometry is swapped: scaling a polygon back would round its points.
        if (e.resized && std::any_of(e.edit.begin(), e.edit.end(), [&](const ShapePrimitive& p) { return &p == e.resized; })) {
            std::swap(e.resizedRect, e.resized->rect);
            std::swap(e.resizedExtra, e.resized->extra);
        }
        break;
    case 6:  // a paste is cut again
        e.holding.clear();
        TakeSelected(e.edit, e.holding);
        e.undoCode = 5;
        break;
    case 9:
        OrientSelection(dialog, 1);
        e.undoCode = 0;
        break;
    default: return;
    }
    SetShapeModified(dialog, true);
    RedrawShapeArea();
}

void ChangeZoom(double factor)
{
    ShapeEditorState& e = ShapeEditor();
    const double next = e.zoom * factor;
    if (next > 8.0 || next < 0.5) return;
    e.zoom = next;
    UpdateShapeScrollBars();
    RedrawShapeArea();
}

// Brings the selected object to the end of the list (drawn last) or to the front.
void Restack(bool toFront)
{
    ShapeEditorState& e = ShapeEditor();
    PrimitiveList taken;
    TakeSelected(e.edit, taken);
    if (toFront) e.edit.splice(e.edit.end(), taken);
    else e.edit.splice(e.edit.begin(), taken);
}

void NextObject()
{
    ShapeEditorState& e = ShapeEditor();
    if (e.edit.empty()) return;
    auto it = std::find_if(e.edit.begin(), e.edit.end(), [&](const ShapePrimitive& p) { return &p == e.currentObject; });
    it = it == e.edit.end() || std::next(it) == e.edit.end() ? e.edit.begin() : std::next(it);
    DeselectAll(e.edit);
    it->attributes |= kPrimSelected;
    e.currentObject = &*it;
}

void ApplyPattern(win::HWND dialog, int pattern)
{
    ShapeEditorState& e = ShapeEditor();
    e.pattern = pattern;
    bool changed = false;
    for (ShapePrimitive& p : e.edit) {
        if (!(p.attributes & kPrimSelected) || !IsClosedKind(p.type)) continue;
        p.attributes = AdjustFillAttribute(p.type, p.attributes);
        changed = true;
    }
    if (changed) SetShapeModified(dialog, true);
}

// The chooser starts from the first selected text's font; every selected text takes the choice and
// is measured again, so that picking and handles follow its new size.
void ChangeTextFont(win::HWND dialog)
{
    ShapeEditorState& e = ShapeEditor();
    auto isText = [](const ShapePrimitive& p) { return (p.attributes & kPrimSelected) && p.type == kPrimText && p.extra.size() > kTextOffset; };
    const auto first = std::find_if(e.edit.begin(), e.edit.end(), isText);
    FontSpec font = first != e.edit.end() ? TextFontOfPayload(first->extra) : e.textFont;
    if (!ChooseFontSpec(dialog, font)) return;
    e.textFont = font;
    for (ShapePrimitive& p : e.edit) {
        if (!isText(p)) continue;
        win::RECT rect;
        p.extra = MeasuredTextPayload(win::POINT{p.rect.left, p.rect.top}, TextOfPayload(p.extra), font, &rect);
        p.rect = rect;
        SetShapeModified(dialog, true);
    }
}

}  // namespace

bool IncludesShape(int candidate, int open, int depth)
{
    if (candidate == open) return true;
    const ShapeRecord* record = FindShapeRecord(candidate);
    if (!record || depth > kMaxReferenceDepth) return depth > kMaxReferenceDepth;
    std::vector<int> refs;
    ShapeDataReferences(record->data, refs);
    return std::any_of(refs.begin(), refs.end(), [&](int r) { return IncludesShape(r, open, depth + 1); });
}

int ChooseRootShape(win::HWND owner)
{
    ListSelectDesc desc;
    desc.caption = "Choose Root Shape";
    desc.helpId = 17310;
    std::vector<int> indexes;
    for (const auto& record : Shapes().records) {
        desc.items.push_back(record->name);
        indexes.push_back(record->index);
    }
    if (RunListSelectDialog(desc) != win::IDOK || desc.selection.empty()) return -1;
    const int index = indexes[static_cast<std::size_t>(desc.selection[0])];
    const ShapeRecord* open = ShapeEditor().current;
    if (index < 1 || (open && IncludesShape(index, open->index))) return -1;
    return index;
}

ShapeEditorState& ShapeEditor()
{
    static ShapeEditorState state;
    return state;
}

void ResetShapeEditorForTests() { ShapeEditor() = ShapeEditorState{}; }

void RecordUndo(int code)
{
    ShapeEditorState& e = ShapeEditor();
    e.undoCode = code;
    e.undoObjects.clear();
    for (const ShapePrimitive& p : e.edit)
        if (p.attributes & kPrimSelected) e.undoObjects.push_back(&p);
}

std::uint16_t AdjustFillAttribute(int type, std::uint16_t attributes)
{
    if (!IsClosedKind(type)) return attributes;
    if (ShapeEditor().pattern == kCmdSolid) return static_cast<std::uint16_t>(attributes | kPrimSolid);
    return static_cast<std::uint16_t>(attributes & ~kPrimSolid);
}

bool AddShapeListItem(win::HWND dialog, ShapeRecord& record, bool used)
{
    const bool isUsed = used || DefinitionUsesShape(record.index) || ShapeIncluding(record);
    record.used = isUsed ? 1 : 0;
    const std::string text = isUsed ? record.name : "(" + record.name + ")";
    const win::LRESULT at = win::SendDlgItemMessage(dialog, kShapeList, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
    if (at >= 0) win::SendDlgItemMessage(dialog, kShapeList, win::LB_SETITEMDATA, static_cast<win::WPARAM>(at), record.index);
    return isUsed;
}

void SetShapeTool(win::HWND dialog, int command)
{
    ShapeEditorState& e = ShapeEditor();
    for (int i = 0; i < kShapeToolCount; ++i) {
        if (kShapeTools[i].command != command) continue;
        if (i != e.tool) {
            EndShapeGesture();
            e.tool = i;
            if (win::HWND bar = win::GetDlgItem(dialog, kShapeToolBar)) win::InvalidateRect(bar, nullptr, win::TRUE);
        }
        return;
    }
}

void SetShapeModified(win::HWND dialog, bool modified)
{
    ShapeEditorState& e = ShapeEditor();
    e.shapeModified = modified;
    if (win::HWND revert = win::GetDlgItem(dialog, kShapeRevert)) {
        win::EnableWindow(revert, modified ? win::TRUE : win::FALSE);
        if (!modified) win::SetWindowText(revert, "Revert Shape");
    }
}

void SwitchToShape(win::HWND dialog, ShapeRecord* record)
{
    ShapeEditorState& e = ShapeEditor();
    if (record == e.current) return;
    StoreOpenShape();
    OpenRecord(dialog, record);
}

ShapePrimitive* AddNewPrimitive(win::HWND dialog, const std::vector<std::uint8_t>& payload, int type, std::uint16_t attributes)
{
    ShapeEditorState& e = ShapeEditor();
    ShapePrimitive* p = CreatePrimitive(e.edit, payload, 0, 0, type, AdjustFillAttribute(type, attributes), 0);
    if (!p) {
        RedrawShapeArea();
        return nullptr;
    }
    SetShapeModified(dialog, true);
    DeselectAll(e.edit);
    p->attributes |= kPrimSelected;
    e.currentObject = p;
    RecordUndo(1);
    RedrawShapeArea();
    return p;
}

void ShapeEditorCommand(win::HWND dialog, int id)
{
    ShapeEditorState& e = ShapeEditor();
    for (const ShapeTool& tool : kShapeTools) {
        if (tool.command == id) {
            SetShapeTool(dialog, id);
            return;
        }
    }
    switch (id) {
    case kCmdSelectTool: SetShapeTool(dialog, kShapeTools[0].command); return;
    case kCmdUndo: Undo(dialog); return;
    case kCmdCut:
    case kCmdClear:
        if (!AnySelected(e.edit)) return;
        e.holding.clear();
        TakeSelected(e.edit, e.holding);
        if (id == kCmdCut) CopySelected(e.holding, e.clipboard);
        e.currentObject = nullptr;
        e.resized = nullptr;
        e.undoCode = id == kCmdCut ? 5 : 2;
        SetShapeModified(dialog, true);
        break;
    case kCmdCopy: CopySelected(e.edit, e.clipboard); return;
    case kCmdPaste:
        if (e.clipboard.empty()) return;
        DeselectAll(e.edit);
        for (ShapePrimitive p : e.clipboard) {
            p.attributes |= kPrimSelected;
            e.edit.push_back(std::move(p));
        }
        RecordUndo(6);
        SetShapeModified(dialog, true);
        break;
    case kCmdSelectAll:
        for (ShapePrimitive& p : e.edit) p.attributes |= kPrimSelected;
        break;
    case kCmdRotate:
        OrientSelection(dialog, 3);
        RecordUndo(9);
        return;
    case kCmdFlipX: OrientSelection(dialog, 4); return;
    case kCmdFlipY: OrientSelection(dialog, 6); return;
    // Mirror Box: the selection mirrored left to right about its middle, as Flip Y does.
    case kCmdMirrorBox: OrientSelection(dialog, 6); return;
    case kCmdZoomIn: ChangeZoom(2.0); return;
    case kCmdZoomOut: ChangeZoom(0.5); return;
    case kCmdScrollHome: ScrollShapeArea(-1000000, -1000000); return;
    case kCmdScrollEnd: ScrollShapeArea(1000000, 1000000); return;
    case kCmdBringToFront: Restack(true); SetShapeModified(dialog, true); break;
    case kCmdSendToBack: Restack(false); SetShapeModified(dialog, true); break;
    case kCmdNextObject: NextObject(); break;
    case kCmdTransparent:
    case kCmdSolid: ApplyPattern(dialog, id); break;
    case kCmdFont: ChangeTextFont(dialog); break;
    case kShapeShowGrid: e.viewFlags ^= kShapeViewGrid; break;
    case kShapeGridLock: e.viewFlags ^= kShapeViewGridLock; return;
    case kShapeAdd: AddShape(dialog); return;
    case kShapeDelete: DeleteShape(dialog); return;
    case kShapeRevert: Revert(dialog); return;
    case kShapeObjectEditor: RunObjectEditor(dialog, e.currentObject); return;
    default: return;
    }
    RedrawShapeArea();
}

void RedrawShapeArea()
{
    ShapeEditorState& e = ShapeEditor();
    if (e.area && win::IsWindow(e.area)) win::InvalidateRect(e.area, nullptr, win::TRUE);
}

win::INT_PTR ShapeEditorDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    ShapeEditorState& e = ShapeEditor();
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        e.dialog = dialog;
        e.area = win::GetDlgItem(dialog, kShapeArea);
        e.tool = 0;
        e.scrollX = e.scrollY = 0;
        win::CheckDlgButton(dialog, kShapeShowGrid, (e.viewFlags & kShapeViewGrid) ? 1 : 0);
        win::CheckDlgButton(dialog, kShapeGridLock, (e.viewFlags & kShapeViewGridLock) ? 1 : 0);
        win::SendDlgItemMessage(dialog, kShapeNameEdit, win::EM_LIMITTEXT, kShapeNameMax, 0);
        FillShapeList(dialog);
        ShapeRecord* first = CurrentShape();
        if (!first && !Shapes().records.empty()) first = Shapes().records.front().get();
        e.libraryChanged = false;
        OpenRecord(dialog, first);
        UpdateShapeScrollBars();
        return win::TRUE;
    }
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        if (id == kShapeList) {
            if (code == win::LBN_SELCHANGE) {
                EndShapeGesture();
                const win::LRESULT at = win::SendDlgItemMessage(dialog, kShapeList, win::LB_GETCURSEL, 0, 0);
                if (at >= 0)
                    SwitchToShape(dialog, FindShapeRecord(static_cast<int>(win::SendDlgItemMessage(dialog, kShapeList, win::LB_GETITEMDATA, static_cast<win::WPARAM>(at), 0))));
            }
            return win::TRUE;
        }
        if (id == kShapeNameEdit) {
            if (code == win::EN_KILLFOCUS) Rename(dialog);
            return win::TRUE;
        }
        if (id == kShapeClose || id == win::IDCANCEL) {
            CloseEditor(dialog);
            return win::TRUE;
        }
        if (id == kDialogHelpButton) {
            ShowDialogHelp(kShapeEditorTemplate);
            return win::TRUE;
        }
        ShapeEditorCommand(dialog, id);
        return win::TRUE;
    }
    case win::WM_HSCROLL:
    case win::WM_VSCROLL:
        OnShapeScroll(message == win::WM_VSCROLL, win::LOWORD(wParam), win::HIWORD(wParam));
        return win::TRUE;
    case win::WM_CLOSE:
        CloseEditor(dialog);
        return win::TRUE;
    case win::WM_DESTROY:
        e.edit.clear();
        e.holding.clear();
        e.dialog = nullptr;
        e.area = nullptr;
        e.current = nullptr;
        return win::FALSE;
    default: return win::FALSE;
    }
}

void OpenShapeEditor(win::HWND owner)
{
    if (Analysis().analysisKind != kAnalysisNone) return;
    RegisterShapeEditorClasses();
    const bool large = win::GetSystemMetrics(win::SM_CXSCREEN) >= 800 && win::GetSystemMetrics(win::SM_CYSCREEN) >= 600;
    RunDialog(owner, large ? kShapeEditorTemplate : kShapeEditorSmallTemplate, ShapeEditorDlgProc);
    // Placed components are drawn from the library: every drawing shows the shapes as they are
    // now, not only where the editor covered it.
    InvalidateDocumentWindows();
}

}  // namespace kq5
