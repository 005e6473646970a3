#include "schematic/component_editor.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

#include "core/analysis_state.h"
#include "ui/help_topics.h"
#include "schematic/component_menu.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "ui/tool_buttons.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/component_types.h"
#include "document/selection.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/owner_draw.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/window.h"
#include "document/component_library.h"
#include "schematic/component_library_use.h"
#include "schematic/component_merge.h"
#include "document/editor_services.h"
#include "schematic/schematic_render.h"
#include "schematic/schematic_view.h"
#include "document/shape_library.h"

namespace kq5 {
namespace {

enum : int {
    kCloseButton = 23,
    kDeleteButton = 25,
    kHelpButton = 9,
    kNameEdit = 12301,
    kShapeCombo = 12302,
    kTypeCombo = 12303,
    kCountLine = 12304,
    kSizeALabel = 12305,
    kSizeAEdit = 12306,
    kSizeBLabel = 12307,
    kSizeBEdit = 12308,
    kAddComponent = 12311,
    kAddGroup = 12312,
    kMergeButton = 12314,
    kPaletteCombo = 12315,
    kModelIsNameCheck = 12317,
    kPartCheck = 12318,
    kValueCheck = 12319,
    kModelCheck = 12320,
    kCopyButton = 12324,
    kPasteButton = 12325,
    kMemoEdit = 12327,
    kPinTextCheck = 12331,
    kSmallerButton = 12332,
    kLargerButton = 12333,
};

constexpr int kRowHeight = 14;
constexpr int kPinFrameOrientation = 1;  // the third preview, where pins are placed
constexpr int kIndent = 10;

struct FlagBox {
    int id;
    std::uint16_t bit;
};
constexpr FlagBox kFlagBoxes[] = {{kModelIsNameCheck, kDefModelIsName}, {kModelCheck, kDefShowModel}, {kValueCheck, kDefShowMain},
                                  {kPartCheck, kDefShowPart},         {kPinTextCheck, kDefShowPinText}};

ComponentEditorState& State() { return ComponentEditor(); }

ComponentGroup* SelectedGroup()
{
    ComponentGroup& root = ComponentLibrary().root;
    if (State().groupId < 0) return &root;
    ComponentGroup* group = FindGroupById(root, State().groupId);
    return group ? group : &root;
}

// The group that holds the child, searched below `group`; null when none.
ComponentGroup* ParentOf(ComponentGroup& group, const ComponentGroup* child)
{
    for (ComponentGroup& c : group.children) {
        if (&c == child) return &group;
        if (ComponentGroup* found = ParentOf(c, child)) return found;
    }
    return nullptr;
}

void AddRows(std::vector<ComponentTreeRow>& rows, ComponentGroup& group, int level, bool isRoot)
{
    rows.push_back({&group, nullptr, level});
    if (!group.open && !isRoot) return;
    for (ComponentGroup& child : group.children) AddRows(rows, child, level + 1, false);
    for (ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
        ComponentGroup* owner = GroupOfDefinition(d);
        if (owner == &group || (isRoot && owner == nullptr)) rows.push_back({nullptr, &d, level + 1});
    }
}

int RowOfSelection()
{
    const ComponentEditorState& s = State();
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const ComponentTreeRow& row = s.rows[i];
        if (s.groupSelected ? row.group == SelectedGroup() : (row.definition != nullptr && row.definition == s.current))
            return static_cast<int>(i);
    }
    return -1;
}

void OpenPathTo(ComponentGroup* group)
{
    ComponentGroup& root = ComponentLibrary().root;
    while (group && group != &root) {
        group->open = true;
        group = ParentOf(root, group);
    }
}

void FillTree(win::HWND dialog)
{
    ComponentEditorState& s = State();
    s.rows = BuildGroupTreeList();
    win::HWND list = win::GetDlgItem(dialog, kComponentTreeList);
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < s.rows.size(); ++i) win::SendMessage(list, win::LB_ADDSTRING, 0, static_cast<win::LPARAM>(i));
    win::SendMessage(list, win::LB_SETCURSEL, static_cast<win::WPARAM>(RowOfSelection()), 0);
    win::SetDlgItemText(dialog, kCountLine, StrPrintf("Total Components %d", ComponentDefinitionCount()).c_str());
}

void RedrawPreviews(win::HWND dialog)
{
    for (int id = kComponentPreviewFirst; id <= kComponentPinPreview; ++id)
        win::InvalidateRect(win::GetDlgItem(dialog, id), nullptr, win::TRUE);
}

void ShowItem(win::HWND dialog, int id, bool show) { win::ShowWindow(win::GetDlgItem(dialog, id), show ? win::SW_SHOW : win::SW_HIDE); }

int CountLetters(const ComponentDefinition& d, char letter)
{
    return static_cast<int>(std::count_if(d.pins.begin(), d.pins.end(), [&](const DefinitionPin& p) { return p.typeLetter == letter; }));
}

bool CountedFromPins(int type) { return type == kComponentLogicExp || type == kComponentPinDly || type == kComponentConstraint; }

void ShowSizeFields(win::HWND dialog, const ComponentDefinition& d)
{
    const ComponentTypeRow* row = FindComponentTypeRow(d.type);
    const std::uint32_t low = row ? (row->flags & 0xFF) : 0;
    if (CountedFromPins(d.type)) {
        std::string text;
        if (d.type == kComponentLogicExp) text = StrPrintf("(%d,%d)", CountLetters(d, 'i'), CountLetters(d, 'o'));
        else if (d.type == kComponentPinDly) text = StrPrintf("(%d,%d,%d)", d.sizeA, CountLetters(d, 'e'), CountLetters(d, 'r'));
        else text = StrPrintf("(%d)", static_cast<int>(d.pins.size()));
        win::SetDlgItemText(dialog, kSizeALabel, "Pins");
        win::SetDlgItemText(dialog, kSizeAEdit, text.c_str());
        win::SendMessage(win::GetDlgItem(dialog, kSizeAEdit), win::EM_SETREADONLY, win::TRUE, 0);
        ShowItem(dialog, kSizeALabel, true);
        ShowItem(dialog, kSizeAEdit, true);
        ShowItem(dialog, kSizeBLabel, false);
        ShowItem(dialog, kSizeBEdit, false);
        return;
    }
    win::SendMessage(win::GetDlgItem(dialog, kSizeAEdit), win::EM_SETREADONLY, win::FALSE, 0);
    const char* first = (low & 0x20) ? "Address" : (low & 0x01) ? "Inputs" : (low & 0x04) ? "Bits" : nullptr;
    const char* second = (low & 0x0A) ? "Outputs" : (low & 0x10) ? "Width" : nullptr;
    ShowItem(dialog, kSizeALabel, first != nullptr);
    ShowItem(dialog, kSizeAEdit, first != nullptr);
    ShowItem(dialog, kSizeBLabel, second != nullptr);
    ShowItem(dialog, kSizeBEdit, second != nullptr);
    if (first) {
        win::SetDlgItemText(dialog, kSizeALabel, first);
        win::SetDlgItemText(dialog, kSizeAEdit, std::to_string(d.sizeA).c_str());
    }
    if (second) {
        win::SetDlgItemText(dialog, kSizeBLabel, second);
        win::SetDlgItemText(dialog, kSizeBEdit, std::to_string(d.sizeB).c_str());
    }
}

int ComboIndexOfData(win::HWND combo, win::LPARAM data)
{
    const int count = static_cast<int>(win::SendMessage(combo, win::CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (win::SendMessage(combo, win::CB_GETITEMDATA, static_cast<win::WPARAM>(i), 0) == data) return i;
    return -1;
}

void RefreshComponentFields(win::HWND dialog)
{
    ComponentEditorState& s = State();
    s.scale = 0.5;
    s.preview.definition = s.current;
    const bool definition = !s.groupSelected && s.current != nullptr;
    for (int id : {kShapeCombo, kTypeCombo, kSizeAEdit, kSizeBEdit, kMemoEdit, kPaletteCombo, kModelIsNameCheck, kPartCheck,
                   kValueCheck, kModelCheck, kPinTextCheck, kCopyButton})
        win::EnableWindow(win::GetDlgItem(dialog, id), definition);
    win::EnableWindow(win::GetDlgItem(dialog, kPasteButton), s.clipboard != nullptr);
    if (!definition) {
        win::SetDlgItemText(dialog, kNameEdit, SelectedGroup()->name.c_str());
        win::SetDlgItemText(dialog, kMemoEdit, "");
        ShowItem(dialog, kSizeALabel, false);
        ShowItem(dialog, kSizeAEdit, false);
        ShowItem(dialog, kSizeBLabel, false);
        ShowItem(dialog, kSizeBEdit, false);
        RedrawPreviews(dialog);
        return;
    }
    const ComponentDefinition& d = *s.current;
    win::SetDlgItemText(dialog, kNameEdit, d.name.c_str());
    win::SetDlgItemText(dialog, kMemoEdit, d.memo.c_str());
    win::HWND shapes = win::GetDlgItem(dialog, kShapeCombo);
    win::SendMessage(shapes, win::CB_SETCURSEL, static_cast<win::WPARAM>(ComboIndexOfData(shapes, d.shapeIndex)), 0);
    win::HWND types = win::GetDlgItem(dialog, kTypeCombo);
    win::SendMessage(types, win::CB_SETCURSEL, static_cast<win::WPARAM>(ComboIndexOfData(types, d.type)), 0);
    win::SendMessage(win::GetDlgItem(dialog, kPaletteCombo), win::CB_SETCURSEL, d.placementFlags & kDefPaletteMask, 0);
    for (const FlagBox& box : kFlagBoxes)
        win::CheckDlgButton(dialog, box.id, (d.placementFlags & box.bit) ? win::BST_CHECKED : win::BST_UNCHECKED);
    ShowSizeFields(dialog, d);
    RedrawPreviews(dialog);
}

void Select(win::HWND dialog, ComponentDefinition* definition, int groupId, bool group)
{
    ComponentEditorState& s = State();
    s.groupSelected = group;
    if (group) {
        s.groupId = groupId;
    } else {
        s.current = definition;
        SetChosenComponentDefinition(definition);
        if (definition) {
            ComponentGroup* owner = GroupOfDefinition(*definition);
            s.groupId = owner ? owner->id : -1;
        }
    }
    RefreshComponentFields(dialog);
}

int GroupIdOf(ComponentGroup* group) { return group == &ComponentLibrary().root ? -1 : group->id; }

// The group of the selected definition (the root when it has none).
ComponentGroup* CurrentGroupOfSelection()
{
    const ComponentEditorState& s = State();
    ComponentGroup* group = s.current ? GroupOfDefinition(*s.current) : nullptr;
    return group ? group : &ComponentLibrary().root;
}

void MarkChanged() { State().changed = true; }

void StoreName(win::HWND dialog)
{
    ComponentEditorState& s = State();
    // Blanks around a name are not kept: a circuit file would name the part without them, and
    // the part would then not be found when the circuit is read.
    std::string text = win::GetDlgItemText(dialog, kNameEdit);
    if (Trim(text) != win::GetDlgItemText(dialog, kNameEdit)) win::SetDlgItemText(dialog, kNameEdit, text.c_str());
    if (s.groupSelected) {
        ComponentGroup* group = SelectedGroup();
        if (!text.empty() && text != group->name) {
            group->name = text;
            MarkChanged();
            win::InvalidateRect(win::GetDlgItem(dialog, kComponentTreeList), nullptr, win::TRUE);
        }
        return;
    }
    if (!s.current || text == s.current->name) return;
    if (text.empty()) {
        win::SetDlgItemText(dialog, kNameEdit, s.current->name.c_str());
        return;
    }
    if (FindComponentDefinition(text, s.current)) {
        ReportMessage("DE", dialog, kMsgComponentNameUsed);
        win::SetDlgItemText(dialog, kNameEdit, s.current->name.c_str());
        return;
    }
    s.current->name = text;
    MarkChanged();
    win::InvalidateRect(win::GetDlgItem(dialog, kComponentTreeList), nullptr, win::TRUE);
}

void StoreMemo(win::HWND dialog)
{
    ComponentEditorState& s = State();
    if (s.groupSelected || !s.current) return;
    const std::string text = win::GetDlgItemText(dialog, kMemoEdit);
    if (text == s.current->memo) return;
    s.current->memo = text;
    MarkChanged();
}

// Pins added by a size change sit below the last one; each gets its default name when the type
// names its pins from the definition.
void ResizePins(ComponentDefinition& d, int count)
{
    const std::size_t old = d.pins.size();
    d.pins.resize(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = old; i < d.pins.size(); ++i) {
        d.pins[i].dx = 0;
        d.pins[i].dy = static_cast<std::int16_t>(2 * i);
    }
}

void StoreSize(win::HWND dialog, int id)
{
    ComponentEditorState& s = State();
    if (s.groupSelected || !s.current || CountedFromPins(s.current->type)) return;
    ComponentDefinition& d = *s.current;
    std::uint16_t& word = id == kSizeAEdit ? d.sizeA : d.sizeB;
    const std::string text = win::GetDlgItemText(dialog, id);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    const bool number = !text.empty() && end && *end == '\0' && value >= 0 && value <= 0xFFFF;
    if (number && value == word) return;
    const std::uint16_t old = word;
    if (number) word = static_cast<std::uint16_t>(value);
    const int count = number ? TypePinCount(d) : -1;
    if (count < 0) {
        word = old;
        win::SetDlgItemText(dialog, id, std::to_string(old).c_str());
        const int message = d.type == kComponentStim ? kMsgStimNodes : id == kSizeAEdit ? kMsgIllegalInputNode : kMsgIllegalOutputNodes;
        ReportMessage("DE", dialog, message);
        return;
    }
    ResizePins(d, count);
    MarkChanged();
    RedrawPreviews(dialog);
}

void AddComponent(win::HWND dialog, const ComponentDefinition* fill)
{
    ComponentEditorState& s = State();
    int number = 1;
    while (FindComponentDefinition(StrPrintf("new_%d", number))) ++number;
    const std::string name = StrPrintf("new_%d", number);
    ComponentDefinition* added = AddComponentDefinition(name, 0, 0);
    if (!added) {
        ReportMessage("DE", dialog, kMsgInsufficientMemory);
        return;
    }
    try {
        const ComponentDefinition* source = fill ? fill : s.current;
        if (source) {
            CopyDefinitionFields(*added, *source);
            added->name = name;
            added->groupId = s.current ? s.current->groupId : static_cast<std::uint16_t>(std::max(s.groupId, 0));
        }
        if (!source && s.groupId >= 0) added->groupId = static_cast<std::uint16_t>(s.groupId);
    } catch (const std::bad_alloc&) {
        ListRemove(ComponentLibrary().definitions, added);
        ReportMessage("DE", dialog, kMsgInsufficientMemory);
        return;
    }
    if (!fill) added->placementFlags = kDefShowPart;
    MarkChanged();
    Select(dialog, added, -1, false);
    FillTree(dialog);
}

void AddGroup(win::HWND dialog)
{
    ComponentGroup* parent = SelectedGroup();
    ComponentGroup group;
    group.name = "New Group";
    group.id = static_cast<std::uint16_t>(NewGroupId());
    const int id = group.id;
    parent->children.push_back(std::move(group));
    parent->open = true;
    MarkChanged();
    Select(dialog, nullptr, id, true);
    FillTree(dialog);
}

void Delete(win::HWND dialog)
{
    ComponentEditorState& s = State();
    ComponentLibraryState& library = ComponentLibrary();
    if (s.groupSelected) {
        ComponentGroup* group = SelectedGroup();
        if (group == &library.root) return;
        bool used = !group->children.empty();
        for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(library.definitions))
            if (GroupOfDefinition(d) == group) used = true;
        if (used) {
            ReportMessage("DE", dialog, kMsgGroupInUse);
            return;
        }
        ComponentGroup* parent = ParentOf(library.root, group);
        const int parentId = GroupIdOf(parent);
        parent->children.erase(parent->children.begin() + (group - parent->children.data()));
        MarkChanged();
        Select(dialog, nullptr, parentId, true);
        FillTree(dialog);
        return;
    }
    if (!s.current) return;
    if (IsDefinitionInUse(*s.current)) {
        ReportMessage("DE", dialog, kMsgComponentInOpenCircuit);
        return;
    }
    const int row = RowOfSelection();
    const ComponentTreeRow above = row > 0 ? s.rows[static_cast<std::size_t>(row - 1)] : ComponentTreeRow{};
    ComponentDefinition* gone = s.current;
    s.current = nullptr;
    if (ChosenComponentDefinition() == gone) SetChosenComponentDefinition(nullptr);
    ListRemove(library.definitions, gone);
    MarkChanged();
    if (above.definition) Select(dialog, above.definition, -1, false);
    else Select(dialog, nullptr, above.group ? GroupIdOf(above.group) : -1, true);
    FillTree(dialog);
}

void Copy(win::HWND dialog)
{
    ComponentEditorState& s = State();
    if (s.groupSelected || !s.current) return;
    try {
        auto copy = std::make_unique<ComponentDefinition>();
        CopyDefinitionFields(*copy, *s.current);
        s.clipboard = std::move(copy);
    } catch (const std::bad_alloc&) {
        ReportMessage("DE", dialog, kMsgInsufficientMemory);
        return;
    }
    win::EnableWindow(win::GetDlgItem(dialog, kPasteButton), win::TRUE);
}

void Close(win::HWND dialog)
{
    ComponentEditorState& s = State();
    StoreName(dialog);
    StoreMemo(dialog);
    if (s.changed) {
        if (Settings().demoRunning) {
            ReloadComponentLibrary();
        } else {
            const int answer = ReportMessage("DSE", dialog, static_cast<unsigned>(win::MB_YESNOCANCEL | win::MB_ICONQUESTION),
                                             kMsgSaveComponentChanges);
            if (answer == win::IDCANCEL) return;
            if (answer == win::IDYES) {
                // Shapes a merge brought in are saved with the components that use them.
                if (!s.shapesMerged || SaveShapeLibrary(dialog) == 0) SaveComponentLibrary(dialog);
            } else if (int status = ReloadComponentLibrary()) {
                ReportMessage("DE", dialog, status, ComponentLibrary().path.c_str());
            }
        }
        s.changed = false;
        s.shapesMerged = false;
    }
    BuildComponentPalettes();
    RebuildComponentMenu();
    // Component buttons name their part by its place in the list, which the edits may have moved.
    BindComponentButtonsToLibrary();
    s.current = nullptr;
    s.preview.definition = nullptr;
    s.rows.clear();
    s.dialog = nullptr;
    win::EndDialog(dialog, kCloseButton);
}

// What the preview shows: the shape with the PART and VALUE texts placed beside it as they would
// be beside a placed part.
win::RECT PreviewBounds(SchematicItem& preview)
{
    win::RECT bounds = GetItemBounds(preview);
    PlaceAttributeTexts(nullptr, &preview);
    win::HDC dc = win::GetDC(nullptr);
    for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(preview.attributes)) {
        if ((attribute.display & (kAttrShowName | kAttrShowValue)) == 0) continue;
        const win::RECT text = MeasureAttributeText(dc, preview, attribute);
        if (text.right > text.left) ExtendRect(bounds, text);
    }
    win::ReleaseDC(nullptr, dc);
    return bounds;
}

// The preview's mapping: the shape and its texts centred in the frame, at the editor's scale; a
// frame that only shows the part (not the one where pins are placed) draws it smaller when it
// would not fit whole.
DrawContext PreviewContext(win::HDC dc, const win::RECT& frame, int orientation, bool fitWhole)
{
    ComponentEditorState& s = State();
    s.preview.orientation = static_cast<OrientationCode>(orientation);
    const win::RECT bounds = PreviewBounds(s.preview);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    double scale = s.scale;
    if (fitWhole && width > 4 && height > 4) {
        // Two pixels of margin on each side; the scale stays a power of two, as the mapping takes
        // whole ratios.
        const double needed = std::max((bounds.right - bounds.left) / static_cast<double>(width - 4),
                                       (bounds.bottom - bounds.top) / static_cast<double>(height - 4));
        while (scale < needed && scale < 64) scale *= 2;
    }
    DrawContext context;
    context.dc = dc;
    context.paneRect = frame;
    context.updateRect = frame;
    context.zoom = scale;
    context.technology = win::DT_RASDISPLAY;
    context.displayFlags = kViewAttributeText;
    context.firstItem = &s.preview;
    context.lastItem = &s.preview;
    context.scrollX = static_cast<int>((bounds.left + bounds.right) / 2 - width * scale / 2);
    context.scrollY = static_cast<int>((bounds.top + bounds.bottom) / 2 - height * scale / 2);
    return context;
}

void DrawPreview(const win::DRAWITEMSTRUCT& item)
{
    ComponentEditorState& s = State();
    win::FillRect(item.hDC, &item.rcItem, win::GetSysColorBrush(win::COLOR_WINDOW));
    if (s.groupSelected || !s.current) return;
    const int index = static_cast<int>(item.CtlID) - kComponentPreviewFirst;
    s.preview.definition = s.current;
    s.preview.style = index == 2 ? kStyleShowPinText : 0;
    for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(s.preview.attributes)) {
        const std::uint16_t bit = attribute.keyId == kAttrPart ? kDefShowPart : kDefShowMain;
        attribute.display = (s.current->placementFlags & bit) ? kAttrShowValue : 0;
    }
    s.preview.attributesChanged = 1;
    DrawContext context = PreviewContext(item.hDC, item.rcItem, index == 2 ? kPinFrameOrientation : 0, index != 2);
    DrawSchematicView(context);
}

void DrawTreeRow(const win::DRAWITEMSTRUCT& item)
{
    const ComponentEditorState& s = State();
    if (item.itemID >= s.rows.size()) return;
    const ComponentTreeRow& row = s.rows[item.itemID];
    const bool selected = (item.itemState & win::ODS_SELECTED) != 0;
    win::FillRect(item.hDC, &item.rcItem, win::GetSysColorBrush(selected ? win::COLOR_HIGHLIGHT : win::COLOR_WINDOW));
    win::SetBkMode(item.hDC, win::TRANSPARENT);
    win::SetTextColor(item.hDC, win::GetSysColor(selected ? win::COLOR_HIGHLIGHTTEXT : win::COLOR_WINDOWTEXT));
    std::string text;
    if (row.group) text = std::string(row.group->open || row.group == &ComponentLibrary().root ? "- " : "+ ") + row.group->name;
    else text = row.definition->name;
    win::TextOut(item.hDC, item.rcItem.left + 2 + row.level * kIndent, item.rcItem.top + 1, text.c_str(), static_cast<int>(text.size()));
}

void TreeSelectionChanged(win::HWND dialog, bool doubleClick)
{
    ComponentEditorState& s = State();
    StoreName(dialog);
    StoreMemo(dialog);
    const int index = static_cast<int>(win::SendMessage(win::GetDlgItem(dialog, kComponentTreeList), win::LB_GETCURSEL, 0, 0));
    if (index < 0 || static_cast<std::size_t>(index) >= s.rows.size()) return;
    const ComponentTreeRow row = s.rows[static_cast<std::size_t>(index)];
    if (row.group) {
        Select(dialog, nullptr, GroupIdOf(row.group), true);
        if (doubleClick && row.group != &ComponentLibrary().root) {
            row.group->open = !row.group->open;
            FillTree(dialog);
        }
    } else {
        Select(dialog, row.definition, -1, false);
    }
}

// The third preview shows the part turned once (orientation 1: x, y drawn at -y, x); pins are
// picked where they are drawn and stored back in the part's own, unturned coordinates.

win::POINT Turned(int x, int y) { return {-y, x}; }

// The pointer in the third preview's logical units.
void PointerUnits(win::POINT p, double& x, double& y)
{
    const ComponentEditorState& s = State();
    x = s.dragOriginX + p.x * s.scale;
    y = s.dragOriginY + p.y * s.scale;
}

// The pin or pin name nearest the pointer.
void PickPin(win::POINT p)
{
    ComponentEditorState& s = State();
    s.dragPin = -1;
    if (s.groupSelected || !s.current || s.current->pins.empty()) return;
    double x = 0, y = 0;
    PointerUnits(p, x, y);
    double best = 1e300;
    for (std::size_t i = 0; i < s.current->pins.size(); ++i) {
        const DefinitionPin& pin = s.current->pins[i];
        const win::POINT at = Turned(pin.dx * kDrawUnitsPerGrid, pin.dy * kDrawUnitsPerGrid);
        const double onPin = std::hypot(x - at.x, y - at.y);
        const double onName = std::hypot(x - (at.x + pin.textDx), y - (at.y + pin.textDy));
        if (onPin < best) best = onPin, s.dragPin = static_cast<int>(i), s.dragName = false;
        if (IsNamedPinType(s.current->type) && onName < best) best = onName, s.dragPin = static_cast<int>(i), s.dragName = true;
    }
}

void DragPin(win::HWND frame, win::POINT p)
{
    ComponentEditorState& s = State();
    if (s.dragPin < 0 || !s.current || static_cast<std::size_t>(s.dragPin) >= s.current->pins.size()) return;
    DefinitionPin& pin = s.current->pins[static_cast<std::size_t>(s.dragPin)];
    double x = 0, y = 0;
    PointerUnits(p, x, y);
    const auto clamp16 = [](double v) { return static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)); };
    if (s.dragName) {
        const win::POINT at = Turned(pin.dx * kDrawUnitsPerGrid, pin.dy * kDrawUnitsPerGrid);
        pin.textDx = clamp16(std::lround(x - at.x));
        pin.textDy = clamp16(std::lround(y - at.y));
    } else {
        // Unturned: the drawn (x, y) came from (y, -x).
        pin.dx = clamp16(std::lround(y * 0.125));
        pin.dy = clamp16(std::lround(-x * 0.125));
    }
    MarkChanged();
    win::InvalidateRect(frame, nullptr, win::TRUE);
}

// A click on a pin without moving it: a Macro pin is named in the "Pin Name" dialog; the pins
// of types that name them themselves are not to be renamed here.
void ClickPin(int index)
{
    ComponentEditorState& s = State();
    if (!s.current || index < 0 || static_cast<std::size_t>(index) >= s.current->pins.size()) return;
    ComponentDefinition& d = *s.current;
    if (!IsNamedPinType(d.type)) {
        ReportMessage("DE", s.dialog, kMsgPinNamesFixed);
        return;
    }
    if (d.type != kComponentMacro) return;
    const DefinitionPin& pin = d.pins[static_cast<std::size_t>(index)];
    PromptDialogDesc desc;
    desc.templateId = kPinNameFirstTemplate;
    desc.caption = "Pin Name";
    desc.text = pin.name;
    desc.secondText = pin.secondText;
    desc.flags = kPromptHasSecond;
    desc.choice = static_cast<char>(ToLowerChar(pin.typeLetter ? pin.typeLetter : 'a'));
    desc.check = IsMacroPinUpperType(d, index) ? 1 : 0;
    const int result = RunPromptDialog(desc);
    if (result == kPromptDelete) {
        d.pins.erase(d.pins.begin() + index);
    } else if (result == 1) {
        SetDefinitionPin(d, index, desc.choice, desc.text, desc.check ? desc.secondText : std::string());
    } else {
        return;
    }
    MarkChanged();
}

// Dragging a definition's row onto another row moves it into that row's group (a definition's
// row standing for the group it is in).
void MoveDefinitionRow(win::HWND dialog, int from, int to)
{
    ComponentEditorState& s = State();
    if (from < 0 || to < 0 || static_cast<std::size_t>(from) >= s.rows.size() || static_cast<std::size_t>(to) >= s.rows.size()) return;
    ComponentDefinition* moved = s.rows[static_cast<std::size_t>(from)].definition;
    if (!moved) return;
    const ComponentTreeRow& target = s.rows[static_cast<std::size_t>(to)];
    ComponentGroup* group = target.group ? target.group : target.definition ? GroupOfDefinition(*target.definition) : nullptr;
    ComponentGroup& root = ComponentLibrary().root;
    // A definition of the root carries an id that no group below the root has.
    const int id = (!group || group == &root) ? NewGroupId() : group->id;
    if (GroupOfDefinition(*moved) == (group ? group : &root) || (GroupOfDefinition(*moved) == nullptr && (!group || group == &root)))
        return;
    moved->groupId = static_cast<std::uint16_t>(id);
    if (group) group->open = true;
    MarkChanged();
    Select(dialog, moved, -1, false);
    FillTree(dialog);
}

win::WNDPROC gListProc = nullptr;
int gPressedRow = -1;

win::LRESULT TreeListProc(win::HWND list, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_LBUTTONDOWN) {
        const win::LRESULT result = win::CallWindowProc(gListProc, list, msg, wParam, lParam);
        gPressedRow = static_cast<int>(win::SendMessage(list, win::LB_GETCURSEL, 0, 0));
        return result;
    }
    if (msg == win::WM_LBUTTONUP) {
        const int from = gPressedRow;
        gPressedRow = -1;
        const win::LRESULT result = win::CallWindowProc(gListProc, list, msg, wParam, lParam);
        const win::LRESULT hit = win::SendMessage(list, win::LB_ITEMFROMPOINT, 0, lParam);
        const int to = win::LOWORD(static_cast<win::DWORD>(hit));
        if (from >= 0 && win::HIWORD(static_cast<win::DWORD>(hit)) == 0 && to != from) MoveDefinitionRow(win::GetParent(list), from, to);
        return result;
    }
    return win::CallWindowProc(gListProc, list, msg, wParam, lParam);
}

win::WNDPROC gStaticProc = nullptr;

win::LRESULT PinFrameProc(win::HWND frame, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    ComponentEditorState& s = State();
    const win::POINT p{static_cast<std::int16_t>(win::LOWORD(lParam)), static_cast<std::int16_t>(win::HIWORD(lParam))};
    switch (msg) {
    case win::WM_LBUTTONDOWN: {
        if (s.groupSelected || !s.current) return 0;
        // The mapping is fixed for the drag, so the part does not run from the pointer.
        win::RECT rect;
        win::GetClientRect(frame, &rect);
        const DrawContext context = PreviewContext(nullptr, rect, kPinFrameOrientation, false);
        s.dragOriginX = context.scrollX;
        s.dragOriginY = context.scrollY;
        PickPin(p);
        if (s.dragPin < 0) return 0;
        s.pressAt = p;
        s.dragMoved = false;
        win::SetCapture(frame);
        return 0;
    }
    case win::WM_MOUSEMOVE:
        if (s.dragPin >= 0 && win::GetCapture() == frame && (p.x != s.pressAt.x || p.y != s.pressAt.y)) {
            s.dragMoved = true;
            DragPin(frame, p);
        }
        return 0;
    case win::WM_LBUTTONUP: {
        if (s.dragPin < 0 || win::GetCapture() != frame) return 0;
        win::ReleaseCapture();
        const int pin = s.dragPin;
        s.dragPin = -1;
        if (s.dragMoved || p.x != s.pressAt.x || p.y != s.pressAt.y) {
            s.dragPin = pin;
            DragPin(frame, p);
            s.dragPin = -1;
        } else {
            ClickPin(pin);
        }
        RedrawPreviews(s.dialog);
        return 0;
    }
    default: break;
    }
    return win::CallWindowProc(gStaticProc, frame, msg, wParam, lParam);
}

// The Shape list: every shape of the shape library, with its index as item data.
void FillShapeCombo(win::HWND dialog)
{
    win::HWND shapes = win::GetDlgItem(dialog, kShapeCombo);
    win::SendMessage(shapes, win::CB_RESETCONTENT, 0, 0);
    const ShapeLibrary& library = Shapes();
    for (std::size_t i = 0; i < library.table.size(); ++i) {
        const ShapeRecord* shape = library.table[i];
        if (!shape) continue;
        const auto at = win::SendMessage(shapes, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(shape->name.c_str()));
        win::SendMessage(shapes, win::CB_SETITEMDATA, static_cast<win::WPARAM>(at), static_cast<win::LPARAM>(i));
    }
}

void InitDialog(win::HWND dialog)
{
    ComponentEditorState& s = State();
    s.dialog = dialog;
    s.changed = false;
    s.preview = SchematicItem{};
    s.preview.itemKind = kItemComponent;
    // The preview shows where a placed part's PART and VALUE texts go.
    SetAttribute(nullptr, &s.preview, kAttrPart, "X1");
    SetAttribute(nullptr, &s.preview, kAttrValue, "VALUE");
    FillShapeCombo(dialog);
    win::HWND types = win::GetDlgItem(dialog, kTypeCombo);
    for (int code = 0; code < kComponentTypeCount; ++code) {
        const ComponentTypeRow* row = FindComponentTypeRow(code);
        if (!row || row->name == nullptr || row->name[0] == '\0') continue;
        const auto at = win::SendMessage(types, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(row->name));
        win::SendMessage(types, win::CB_SETITEMDATA, static_cast<win::WPARAM>(at), code);
    }
    win::HWND palettes = win::GetDlgItem(dialog, kPaletteCombo);
    win::SendMessage(palettes, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>("None"));
    for (int slot = 1; slot < kComponentSlotCount; ++slot) {
        const std::string& name = ComponentLibrary().slotNames[static_cast<std::size_t>(slot)];
        const std::string text = name.empty() || name == std::to_string(slot) ? std::to_string(slot) : StrPrintf("%d:%s", slot, name.c_str());
        win::SendMessage(palettes, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
    }
    win::HWND tree = win::GetDlgItem(dialog, kComponentTreeList);
    gListProc = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtr(tree, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&TreeListProc)));
    gPressedRow = -1;
    win::HWND pinFrame = win::GetDlgItem(dialog, kComponentPinPreview);
    gStaticProc = reinterpret_cast<win::WNDPROC>(
        win::SetWindowLongPtr(pinFrame, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&PinFrameProc)));
    // The chosen part, when it is one of the library's (checked by address before it is read).
    ComponentDefinition* current = nullptr;
    for (ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions))
        if (&d == ChosenComponentDefinition()) current = &d;
    if (!current) current = ListHead<ComponentDefinition>(ComponentLibrary().definitions);
    if (current) OpenPathTo(GroupOfDefinition(*current));
    Select(dialog, current, -1, current == nullptr);
    FillTree(dialog);
}

void Command(win::HWND dialog, int id, int code)
{
    ComponentEditorState& s = State();
    switch (id) {
    case kComponentTreeList:
        if (code == win::LBN_SELCHANGE || code == win::LBN_DBLCLK) TreeSelectionChanged(dialog, code == win::LBN_DBLCLK);
        return;
    case kNameEdit:
        if (code == win::EN_KILLFOCUS) StoreName(dialog);
        return;
    case kMemoEdit:
        if (code == win::EN_KILLFOCUS) StoreMemo(dialog);
        return;
    case kSizeAEdit:
    case kSizeBEdit:
        if (code == win::EN_KILLFOCUS) StoreSize(dialog, id);
        return;
    case kShapeCombo:
    case kTypeCombo:
    case kPaletteCombo: {
        if (code != win::CBN_SELCHANGE || s.groupSelected || !s.current) return;
        win::HWND combo = win::GetDlgItem(dialog, id);
        const auto at = win::SendMessage(combo, win::CB_GETCURSEL, 0, 0);
        if (at < 0) return;
        const int data = static_cast<int>(win::SendMessage(combo, win::CB_GETITEMDATA, static_cast<win::WPARAM>(at), 0));
        ComponentDefinition& d = *s.current;
        if (id == kShapeCombo) {
            d.shapeIndex = static_cast<std::uint16_t>(data);
        } else if (id == kPaletteCombo) {
            d.placementFlags = static_cast<std::uint16_t>((d.placementFlags & ~kDefPaletteMask) | (at & kDefPaletteMask));
        } else if (data != d.type) {
            d.sizeA = d.sizeB = 0;
            d.pins.clear();
            d.type = static_cast<std::uint16_t>(data);
            ApplyDefaultSizes(d);
        }
        MarkChanged();
        RefreshComponentFields(dialog);
        return;
    }
    case kAddComponent: StoreName(dialog); AddComponent(dialog, nullptr); return;
    case kAddGroup: StoreName(dialog); AddGroup(dialog); return;
    case kDeleteButton: Delete(dialog); return;
    case kHelpButton: ShowHelpTopic(17803, kComponentEditorLarge); return;
    case kMergeButton: {
        StoreName(dialog);
        StoreMemo(dialog);
        const int last = MergeComponentLibrary(dialog, s.groupSelected ? s.groupId : GroupIdOf(CurrentGroupOfSelection()));
        if (last == kNoMergeGroup) return;
        s.changed = true;
        s.shapesMerged = true;
        // The shapes brought in with the components are offered for them too.
        FillShapeCombo(dialog);
        Select(dialog, nullptr, last, true);
        OpenPathTo(SelectedGroup());
        FillTree(dialog);
        return;
    }
    case kCopyButton: Copy(dialog); return;
    case kPasteButton:
        if (s.clipboard) {
            const ComponentDefinition copy = *s.clipboard;
            AddComponent(dialog, &copy);
        }
        return;
    case kLargerButton:
    case kSmallerButton:
        s.scale = std::clamp(id == kLargerButton ? s.scale / 2 : s.scale * 2, 0.25, 1.0);
        RedrawPreviews(dialog);
        return;
    case kCloseButton:
    case win::IDCANCEL: Close(dialog); return;
    default: break;
    }
    for (const FlagBox& box : kFlagBoxes) {
        if (box.id != id || s.groupSelected || !s.current) continue;
        const bool on = win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED;
        s.current->placementFlags = static_cast<std::uint16_t>(on ? (s.current->placementFlags | box.bit) : (s.current->placementFlags & ~box.bit));
        MarkChanged();
        RedrawPreviews(dialog);
    }
}

win::INT_PTR ComponentEditorProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (msg) {
    case win::WM_INITDIALOG: InitDialog(dialog); return win::TRUE;
    case win::WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<win::MEASUREITEMSTRUCT*>(lParam);
        if (measure->CtlID == static_cast<win::UINT>(kComponentTreeList)) measure->itemHeight = kRowHeight;
        return win::TRUE;
    }
    case win::WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == static_cast<win::UINT>(kComponentTreeList)) DrawTreeRow(*item);
        else if (item->CtlID >= static_cast<win::UINT>(kComponentPreviewFirst) && item->CtlID <= static_cast<win::UINT>(kComponentPinPreview))
            DrawPreview(*item);
        return win::TRUE;
    }
    case win::WM_COMMAND: Command(dialog, win::LOWORD(wParam), win::HIWORD(wParam)); return win::TRUE;
    default: break;
    }
    return win::FALSE;
}

}  // namespace

ComponentEditorState& ComponentEditor()
{
    static ComponentEditorState state;
    return state;
}

void ResetComponentEditorForTests()
{
    ComponentEditorState& s = ComponentEditor();
    s.current = nullptr;
    s.groupSelected = false;
    s.groupId = -1;
    s.changed = false;
    s.shapesMerged = false;
    s.scale = 0.5;
    s.preview = SchematicItem{};
    s.clipboard.reset();
    s.rows.clear();
    s.dragPin = -1;
    s.dialog = nullptr;
}

void ApplyDefaultSizes(ComponentDefinition& d)
{
    const ComponentTypeRow* row = FindComponentTypeRow(d.type);
    if (!row) return;
    if (row->pins < 0 && !IsNamedPinType(d.type)) {
        // The smallest useful part of each variable type.
        if (d.type == kComponentAdc || d.type == kComponentDac) d.sizeA = 8;
        else if (d.type == kComponentStim || d.type == kComponentFstim) d.sizeB = 1;
        else d.sizeA = 2, d.sizeB = 1;
        if (TypePinCount(d) < 0) d.sizeB = 0;
    }
    ResizePins(d, std::max(TypePinCount(d), 0));
}

std::vector<ComponentTreeRow> BuildGroupTreeList()
{
    std::vector<ComponentTreeRow> rows;
    AddRows(rows, ComponentLibrary().root, 0, true);
    return rows;
}

int ComponentEditorCommand(win::HWND owner)
{
    if (Analysis().analysisKind != kAnalysisNone) return 0;
    const bool large = win::GetSystemMetrics(win::SM_CXSCREEN) >= 800 && win::GetSystemMetrics(win::SM_CYSCREEN) >= 600;
    const int result = static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr),
                                                            large ? kComponentEditorLarge : kComponentEditorSmall, owner,
                                                            &ComponentEditorProc, 0));
    return result;
}

}  // namespace kq5

namespace kq5 {

void BindComponentButtonsToLibrary()
{
    std::vector<std::string> names;
    for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) names.push_back(d.name);
    BindComponentToolButtons(names);
}

}  // namespace kq5
