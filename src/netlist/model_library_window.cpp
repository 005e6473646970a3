// The model library window: its controls, their layout, the name list and the parameter panel.
#include "netlist/model_library_window.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>

#include "ui/list_selection.h"
#include "ui/font_select.h"
#include "ui/frame_state.h"
#include "core/font_description.h"
#include "ui/help_bar.h"
#include "ui/program_settings.h"
#include "document/settings_file.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_file.h"
#include "document/document_windows.h"
#include "netlist/binary_library.h"
#include "netlist/model_types.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/font.h"
#include "platform/gdi_draw.h"
#include "platform/system.h"
#include "platform/gdi_objects.h"
#include "platform/input.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/window.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

// The document windows' default handling, from the schematic editor; the system's without it.
win::LRESULT DocumentDefaultWindowProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (EditorHooks().documentDefaultProc) return EditorHooks().documentDefaultProc(hwnd, msg, wParam, lParam);
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

struct ModelEditorsState {
    std::map<const WindowRecord*, ModelEditorData> editors;
};

ModelEditorsState& Editors()
{
    static ModelEditorsState state;
    return state;
}

constexpr int kMargin = 4;

int LibraryCountOf(int type)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    return row ? std::min(row->libraryCount, kModelParamRows * 1000) : 0;
}

win::HWND Child(const WindowRecord* record, int id) { return record && record->window ? win::GetDlgItem(record->window, id) : nullptr; }

std::string ControlText(const WindowRecord* record, int id)
{
    win::HWND control = Child(record, id);
    return control ? win::GetWindowText(control) : std::string();
}

void SetControlText(const WindowRecord* record, int id, const std::string& text)
{
    if (win::HWND control = Child(record, id)) win::SetWindowText(control, text.c_str());
}

std::string ListName(const ModelLibraryEntry& entry) { return entry.name.empty() ? std::string("New") : entry.name; }

ModelLibrary* LibraryOf(const WindowRecord* record) { return ModelLibraryOf(record); }

// The text a parameter shows: characters as themselves, numbers in their engineering form.
std::string ParamText(int type, int index, float value)
{
    const ModelParamDesc* desc = FindModelParamDesc(type, index);
    if (desc && desc->valueKind == kParamCharacter) return std::string(1, CharacterOfSlot(value));
    return FormatLibraryValue(value);
}

win::HWND CreateChild(win::HWND parent, const char* className, const char* text, win::DWORD style, int id, win::HFONT font)
{
    win::HWND child = win::CreateWindowEx(0, className, text, win::WS_CHILD | style, 0, 0, 10, 10, parent,
                                          win::ChildIdMenu(id), nullptr, nullptr);
    if (child && font) win::SendMessage(child, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(font), 0);
    return child;
}

win::WNDPROC& EditProc()
{
    static win::WNDPROC proc = nullptr;
    return proc;
}

// Up and Down move between the value fields line by line, PgUp and PgDn a page, scrolling the
// panel when the field is not shown.
win::LRESULT ParamEditProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_KEYDOWN &&
        (wParam == win::VK_UP || wParam == win::VK_DOWN || wParam == win::VK_PRIOR || wParam == win::VK_NEXT)) {
        WindowRecord* record = GetWindowRecord(win::GetParent(hwnd));
        if (OnParamEditKey(record, win::GetDlgCtrlID(hwnd) - kModelParamFieldBase, static_cast<int>(wParam))) return 0;
    }
    return win::CallWindowProc(EditProc(), hwnd, msg, wParam, lParam);
}

bool CreateControls(win::HWND hwnd, ModelEditorData& data)
{
    const win::DWORD visible = win::WS_VISIBLE;
    if (!CreateChild(hwnd, win::kComboBoxClass, "", visible | win::CBS_DROPDOWNLIST | win::WS_VSCROLL | win::WS_TABSTOP,
                     kModelTypeSelector, data.font))
        return false;
    struct ButtonDef {
        const char* text;
        int id;
    };
    for (const ButtonDef& b : {ButtonDef{"Add", kModelAddButton}, ButtonDef{"Delete...", kModelDeleteButton},
                               ButtonDef{"Pack", kModelPackButton}, ButtonDef{"Copy...", kModelCopyButton},
                               ButtonDef{"Merge...", kModelMergeButton}, ButtonDef{"Go To...", kModelGoToButton}}) {
        if (!CreateChild(hwnd, win::kButtonClass, b.text, visible | win::BS_PUSHBUTTON, b.id, data.font)) return false;
    }
    data.scrollBar = CreateChild(hwnd, win::kScrollBarClass, "", visible | win::SBS_VERT, kModelParamScroll, data.font);
    if (!data.scrollBar) return false;
    if (!CreateChild(hwnd, win::kStaticClass, "Name", visible, -1, data.font)) return false;
    win::HWND name = CreateChild(hwnd, win::kEditClass, "", visible | win::WS_BORDER | win::ES_AUTOHSCROLL | win::WS_TABSTOP,
                                 kModelNameField, data.font);
    if (!name) return false;
    win::SendMessage(name, win::EM_LIMITTEXT, kLibraryNameMax, 0);
    if (!CreateChild(hwnd, win::kStaticClass, "Memo", visible, -1, data.font)) return false;
    win::HWND memo = CreateChild(hwnd, win::kEditClass, "", visible | win::WS_BORDER | win::ES_AUTOHSCROLL | win::WS_TABSTOP,
                                 kModelMemoField, data.font);
    if (!memo) return false;
    win::SendMessage(memo, win::EM_LIMITTEXT, kLibraryMemoMax, 0);
    if (!CreateChild(hwnd, win::kStaticClass, "Name List", visible, -1, data.font)) return false;
    data.nameList = CreateChild(hwnd, win::kListBoxClass, "",
                                visible | win::LBS_NOTIFY | win::WS_VSCROLL | win::WS_BORDER | win::WS_TABSTOP,
                                kModelNameList, data.font);
    if (!data.nameList) return false;
    for (int i = 0; i < kModelParamRows; ++i) {
        if (!CreateChild(hwnd, win::kStaticClass, "", 0, kModelParamLabelBase + i, data.font)) return false;
        const win::DWORD tab = i == 0 ? win::WS_TABSTOP : 0;
        win::HWND field = CreateChild(hwnd, win::kEditClass, "", win::WS_BORDER | win::ES_AUTOHSCROLL | tab,
                                      kModelParamFieldBase + i, data.font);
        if (!field) return false;
        const auto old = reinterpret_cast<win::WNDPROC>(
            win::SetWindowLongPtr(field, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&ParamEditProc)));
        if (!EditProc()) EditProc() = old;
    }
    return CreateChild(hwnd, win::kButtonClass, "Parameters", visible | win::BS_GROUPBOX, kModelParamFrame, data.font) != nullptr;
}

void FillTypeSelector(win::HWND hwnd)
{
    win::HWND selector = win::GetDlgItem(hwnd, kModelTypeSelector);
    for (int type = 0; type < kModelTypeCount; ++type) {
        const ModelTypeRow* row = FindModelTypeRow(type);
        if (!row || row->domain != kModelDomainAnalog || type == kModelLpnp) continue;
        const std::string name = LoadResString(kMsgModelTypeNameBase + type);
        const auto index = win::SendMessage(selector, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(name.c_str()));
        win::SendMessage(selector, win::CB_SETITEMDATA, static_cast<win::WPARAM>(index), type);
    }
}

void SelectTypeInSelector(const WindowRecord* record, int type)
{
    win::HWND selector = Child(record, kModelTypeSelector);
    if (!selector) return;
    const auto count = win::SendMessage(selector, win::CB_GETCOUNT, 0, 0);
    for (win::LRESULT i = 0; i < count; ++i) {
        if (win::SendMessage(selector, win::CB_GETITEMDATA, static_cast<win::WPARAM>(i), 0) == type) {
            win::SendMessage(selector, win::CB_SETCURSEL, static_cast<win::WPARAM>(i), 0);
            return;
        }
    }
}

// Lays the controls out: selector and buttons on the first line, name, memo and name list on
// the left, the parameter panel with its scroll bar on the right.
void LayoutModelEditor(WindowRecord* record)
{
    ModelEditorData* data = GetModelEditorData(record);
    if (!data || !record->window) return;
    win::HWND hwnd = record->window;
    win::RECT client;
    win::GetClientRect(hwnd, &client);
    const int cw = data->charWidth;
    const int fieldHeight = data->lineHeight + 6;
    const int pitch = fieldHeight + 4;
    int x = kMargin;
    const int y = kMargin;
    win::MoveWindow(win::GetDlgItem(hwnd, kModelTypeSelector), x, y, 8 * cw + 40, fieldHeight + 10 * pitch, 1);
    x += 8 * cw + 40 + kMargin;
    for (int id : {kModelAddButton, kModelDeleteButton, kModelPackButton, kModelCopyButton, kModelMergeButton, kModelGoToButton}) {
        win::MoveWindow(win::GetDlgItem(hwnd, id), x, y, 10 * cw, fieldHeight, 1);
        x += 10 * cw + kMargin;
    }
    const int top = y + fieldHeight + 2 * kMargin;
    const int leftWidth = 25 * cw;
    const int bottom = std::max<int>(client.bottom - kMargin, top + 6 * pitch);
    // The left column: labels above their fields.
    int ly = top;
    win::HWND child = win::GetWindow(hwnd, win::GW_CHILD);
    std::vector<win::HWND> labels;
    for (; child; child = win::GetWindow(child, win::GW_HWNDNEXT))
        if (win::GetDlgCtrlID(child) == -1 || win::GetDlgCtrlID(child) == 0xFFFF) labels.push_back(child);
    const int ids[3] = {kModelNameField, kModelMemoField, kModelNameList};
    for (int i = 0; i < 3; ++i) {
        if (i < static_cast<int>(labels.size())) win::MoveWindow(labels[static_cast<std::size_t>(i)], kMargin, ly, leftWidth, data->lineHeight, 1);
        ly += data->lineHeight + 2;
        const int height = i < 2 ? fieldHeight : std::max(bottom - ly, fieldHeight);
        win::MoveWindow(win::GetDlgItem(hwnd, ids[i]), kMargin, ly, leftWidth, height, 1);
        ly += height + kMargin;
    }
    // The panel: a grid of label-and-field pairs.
    const int panelLeft = kMargin + leftWidth + 2 * kMargin;
    const int panelRight = std::max<int>(client.right - kMargin, panelLeft + 30 * cw);
    win::MoveWindow(win::GetDlgItem(hwnd, kModelParamFrame), panelLeft, top - kMargin, panelRight - panelLeft, bottom - top + kMargin, 1);
    const int barWidth = 16;
    const int innerLeft = panelLeft + kMargin;
    const int innerTop = top + data->lineHeight;
    const int innerRight = panelRight - kMargin - barWidth;
    const int innerBottom = bottom - kMargin;
    win::MoveWindow(data->scrollBar, innerRight, innerTop, barWidth, std::max(innerBottom - innerTop, 20), 1);
    // Labels as wide as the type's longest parameter name; fields as wide as the longest value
    // text, a number below 1e-15 written with its exponent.
    int labelWidth = 6 * cw;
    int valueWidth = 11 * cw;
    if (win::HDC dc = win::GetDC(hwnd)) {
        win::HGDIOBJ old = win::SelectObject(dc, data->font);
        for (int i = 0; i < LibraryCountOf(data->type); ++i) {
            const std::string name = GetModelParamName(data->type, i);
            win::SIZE extent{};
            if (win::GetTextExtentPoint32(dc, name.c_str(), static_cast<int>(name.size()), &extent))
                labelWidth = std::max<int>(labelWidth, extent.cx + 4);
        }
        const std::string widest = FormatLibraryValue(-8.888888e-38f);
        win::SIZE extent{};
        if (win::GetTextExtentPoint32(dc, widest.c_str(), static_cast<int>(widest.size()), &extent))
            valueWidth = std::max<int>(valueWidth, extent.cx + 12);
        win::SelectObject(dc, old);
        win::ReleaseDC(hwnd, dc);
    }
    const int cellWidth = labelWidth + valueWidth + 2 * kMargin;
    data->columns = std::max(1, (innerRight - innerLeft) / cellWidth);
    const int lines = std::max(1, (innerBottom - innerTop) / pitch);
    const int count = LibraryCountOf(data->type);
    int visible = std::min({lines * data->columns, count, kModelParamRows});
    visible = (visible + data->columns - 1) / data->columns * data->columns;
    data->visibleRows = std::min(visible, kModelParamRows / data->columns * data->columns);
    for (int i = 0; i < kModelParamRows; ++i) {
        const int line = i / data->columns;
        const int column = i % data->columns;
        const int cx = innerLeft + column * cellWidth;
        const int cy = innerTop + line * pitch;
        win::MoveWindow(win::GetDlgItem(hwnd, kModelParamLabelBase + i), cx, cy + 3, labelWidth, data->lineHeight, 1);
        win::MoveWindow(win::GetDlgItem(hwnd, kModelParamFieldBase + i), cx + labelWidth + kMargin, cy, valueWidth, fieldHeight, 1);
    }
    const int range = std::max(0, (count - data->visibleRows + data->columns - 1) / data->columns);
    data->scrollPos = std::clamp(data->scrollPos, 0, range);
    win::SetScrollRange(data->scrollBar, win::SB_CTL, 0, range, 0);
    win::SetScrollPos(data->scrollBar, win::SB_CTL, data->scrollPos, 1);
    FillParamRows(record);
}

int ScrollRange(const ModelEditorData& data)
{
    const int count = LibraryCountOf(data.type);
    return std::max(0, (count - data.visibleRows + data.columns - 1) / data.columns);
}

void ShowNameControls(WindowRecord* record, bool show)
{
    const int cmd = show ? win::SW_SHOW : win::SW_HIDE;
    for (int id : {kModelNameField, kModelMemoField, kModelNameList, kModelParamFrame})
        if (win::HWND c = Child(record, id)) win::ShowWindow(c, cmd);
    for (int id : {kModelDeleteButton, kModelCopyButton, kModelPackButton})
        if (win::HWND c = Child(record, id)) win::EnableWindow(c, show);
    if (ModelEditorData* data = GetModelEditorData(record)) win::ShowWindow(data->scrollBar, cmd);
}

// Stores the name or memo field into the shown entry.
void StoreNameOrMemo(WindowRecord* record, int id)
{
    ModelLibraryEntry* entry = CurrentModelEntry(record);
    ModelLibrary* library = LibraryOf(record);
    ModelEditorData* data = GetModelEditorData(record);
    if (!entry || !library || !data) return;
    const std::size_t limit = id == kModelNameField ? kLibraryNameMax : kLibraryMemoMax;
    std::string text = ControlText(record, id).substr(0, limit);
    // A model is found by its name alone: blanks around it would hide it from every circuit.
    if (id == kModelNameField && Trim(text) != ControlText(record, id)) SetControlText(record, id, text);
    std::string& target = id == kModelNameField ? entry->name : entry->memo;
    if (text == target) return;
    target = text;
    SetLibraryModified(*library, true);
    if (id == kModelNameField) {
        const std::string line = ListName(*entry);
        win::SendMessage(data->nameList, win::LB_DELETESTRING, static_cast<win::WPARAM>(data->position), 0);
        win::SendMessage(data->nameList, win::LB_INSERTSTRING, static_cast<win::WPARAM>(data->position),
                         reinterpret_cast<win::LPARAM>(line.c_str()));
        win::SendMessage(data->nameList, win::LB_SETCURSEL, static_cast<win::WPARAM>(data->position), 0);
    }
}

void OnCreate(win::HWND hwnd)
{
    WindowRecord* record = CreateDocumentRecord(hwnd, kWindowModelLibrary);
    if (!record) return;
    if (!AttachModelLibrary(record)) return;
    ModelEditorData& data = Editors().editors[record];
    FontSpec spec;
    spec.face = static_cast<std::int16_t>(FindFontFace("MS Sans Serif"));
    if (win::HDC dc = win::GetDC(hwnd)) {
        win::TEXTMETRIC tm{};
        win::GetTextMetrics(dc, &tm);
        spec.height = static_cast<std::int16_t>(tm.tmHeight);
        win::ReleaseDC(hwnd, dc);
    }
    data.font = CreateFontFromSpec(spec);
    if (win::HDC dc = win::GetDC(hwnd)) {
        win::HGDIOBJ old = win::SelectObject(dc, data.font);
        win::TEXTMETRIC tm{};
        if (win::GetTextMetrics(dc, &tm)) {
            data.charWidth = std::max<int>(tm.tmAveCharWidth, 1);
            data.lineHeight = std::max<int>(tm.tmHeight + tm.tmExternalLeading, 1);
        }
        win::SelectObject(dc, old);
        win::ReleaseDC(hwnd, dc);
    }
}

void OnDestroy(win::HWND hwnd)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (record) {
        auto found = Editors().editors.find(record);
        if (found != Editors().editors.end()) {
            if (found->second.font) win::DeleteObject(found->second.font);
            Editors().editors.erase(found);
        }
        DetachModelLibrary(record);
    }
    if (EditorHooks().destroyDocumentWindow) EditorHooks().destroyDocumentWindow(hwnd);
}

void OnScroll(WindowRecord* record, int code, int position)
{
    ModelEditorData* data = GetModelEditorData(record);
    if (!data) return;
    const int lines = std::max(1, data->visibleRows / std::max(data->columns, 1));
    int target = data->scrollPos;
    switch (code) {
    case win::SB_LINEUP: --target; break;
    case win::SB_LINEDOWN: ++target; break;
    case win::SB_PAGEUP: target -= lines; break;
    case win::SB_PAGEDOWN: target += lines; break;
    case win::SB_THUMBTRACK:
    case win::SB_THUMBPOSITION: target = position; break;
    case win::SB_TOP: target = 0; break;
    case win::SB_BOTTOM: target = ScrollRange(*data); break;
    default: return;
    }
    ScrollParamPanel(record, target);
}

// The help bar names what the control under the pointer is for; over a value field, the
// parameter and its description.
void ShowControlHelp(WindowRecord* record, win::HWND control)
{
    ModelEditorData* data = GetModelEditorData(record);
    if (!data || !control) return;
    const int id = win::GetDlgCtrlID(control);
    if (id >= kModelParamFieldBase && id < kModelParamFieldBase + kModelParamRows) {
        const int index = data->scrollPos * data->columns + id - kModelParamFieldBase;
        const int description = ModelParamDescriptionId(data->type, index);
        std::string text = GetModelParamName(data->type, index);
        if (description != 0) {
            text += ' ';
            text += LoadResString(description);
        }
        ShowHelpBarText(&FrameHelpBar(), text);
    } else if ((id >= kModelTypeSelector && id <= kModelGoToButton) && !LoadResString(id).empty()) {
        ShowHelpBarMessage(&FrameHelpBar(), id);
    }
}

void OnCommand(WindowRecord* record, int id, int code)
{
    if (!record) return;
    if (id == kModelTypeSelector && code == win::CBN_SELCHANGE) {
        win::HWND selector = Child(record, kModelTypeSelector);
        const auto index = win::SendMessage(selector, win::CB_GETCURSEL, 0, 0);
        if (index >= 0)
            SelectModelType(record, static_cast<int>(win::SendMessage(selector, win::CB_GETITEMDATA, static_cast<win::WPARAM>(index), 0)));
        return;
    }
    if (id == kModelNameList && code == win::LBN_SELCHANGE) {
        ModelEditorData* data = GetModelEditorData(record);
        const auto index = win::SendMessage(data->nameList, win::LB_GETCURSEL, 0, 0);
        if (index >= 0) SelectModelInList(record, static_cast<int>(index));
        return;
    }
    if ((id == kModelNameField || id == kModelMemoField) && code == win::EN_KILLFOCUS) {
        StoreNameOrMemo(record, id);
        return;
    }
    if (id >= kModelParamFieldBase && id < kModelParamFieldBase + kModelParamRows && code == win::EN_KILLFOCUS) {
        StoreEditedParam(record, id - kModelParamFieldBase);
        return;
    }
    if (code == win::BN_CLICKED && id >= kModelAddButton && id <= kModelGoToButton) ModelEditorCommand(record, id);
}

}  // namespace

ModelEditorData* GetModelEditorData(const WindowRecord* record)
{
    auto found = Editors().editors.find(record);
    return found == Editors().editors.end() ? nullptr : &found->second;
}

ModelLibraryEntry* CurrentModelEntry(const WindowRecord* record)
{
    const ModelEditorData* data = GetModelEditorData(record);
    const ModelLibrary* library = LibraryOf(record);
    if (!data || !library) return nullptr;
    return FindNthModelOfType(*library, data->type, data->position);
}

void ShowParamValue(WindowRecord* record, int row)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibraryEntry* entry = CurrentModelEntry(record);
    if (!data) return;
    const int index = data->scrollPos * data->columns + row;
    const bool shown = entry && row < data->visibleRows && index < LibraryCountOf(data->type) &&
                       index < static_cast<int>(entry->params.size());
    win::HWND label = Child(record, kModelParamLabelBase + row);
    win::HWND field = Child(record, kModelParamFieldBase + row);
    if (!label || !field) return;
    if (!shown) {
        win::ShowWindow(label, win::SW_HIDE);
        win::ShowWindow(field, win::SW_HIDE);
        return;
    }
    win::SetWindowText(label, GetModelParamName(data->type, index).c_str());
    win::SetWindowText(field, ParamText(data->type, index, entry->params[static_cast<std::size_t>(index)]).c_str());
    win::ShowWindow(label, win::SW_SHOW);
    win::ShowWindow(field, win::SW_SHOW);
}

void FillParamRows(WindowRecord* record)
{
    for (int row = 0; row < kModelParamRows; ++row) ShowParamValue(record, row);
}

bool OnParamEditKey(WindowRecord* record, int row, int key)
{
    ModelEditorData* data = GetModelEditorData(record);
    if (!data || row < 0 || row >= kModelParamRows) return false;
    const int lines = std::max(1, data->visibleRows / data->columns);
    const int count = std::min(LibraryCountOf(data->type),
                               CurrentModelEntry(record) ? static_cast<int>(CurrentModelEntry(record)->params.size()) : 0);
    int index = data->scrollPos * data->columns + row;
    switch (key) {
    case win::VK_UP: index -= data->columns; break;
    case win::VK_DOWN: index += data->columns; break;
    case win::VK_PRIOR: index -= lines * data->columns; break;
    case win::VK_NEXT: index += lines * data->columns; break;
    default: return false;
    }
    if (count == 0) return true;
    if (index < 0) index = row % data->columns;
    if (index >= count) index = count - 1;
    StoreFocusedModelField(record);
    const int first = data->scrollPos * data->columns;
    if (index < first) ScrollParamPanel(record, index / data->columns);
    else if (index >= first + data->visibleRows) ScrollParamPanel(record, index / data->columns - lines + 1);
    win::HWND field = Child(record, kModelParamFieldBase + index - data->scrollPos * data->columns);
    win::SetFocus(field);
    win::SendMessage(field, win::EM_SETSEL, 0, -1);
    return true;
}

void ModelEditorKeyCommand(WindowRecord* record, int command)
{
    if (!record || !record->window || !GetModelEditorData(record)) return;
    win::HWND focus = win::GetFocus();
    if (focus && win::GetParent(focus) != record->window) focus = nullptr;
    if (command == kCommandNextControl || command == kCommandPreviousControl) {
        win::HWND next = win::GetNextDlgTabItem(record->window, focus, command == kCommandPreviousControl);
        if (!next) return;
        win::SetFocus(next);
        if (win::GetDlgCtrlID(next) >= kModelParamFieldBase || next == Child(record, kModelNameField) ||
            next == Child(record, kModelMemoField))
            win::SendMessage(next, win::EM_SETSEL, 0, -1);
        return;
    }
    int key = 0;
    switch (command) {
    case kCommandLineUp: key = win::VK_UP; break;
    case kCommandLineDown: key = win::VK_DOWN; break;
    case kCommandPageUp: key = win::VK_PRIOR; break;
    case kCommandPageDown: key = win::VK_NEXT; break;
    default: return;
    }
    if (!focus) return;
    const int id = win::GetDlgCtrlID(focus);
    if (id >= kModelParamFieldBase && id < kModelParamFieldBase + kModelParamRows) {
        OnParamEditKey(record, id - kModelParamFieldBase, key);
        return;
    }
    if (id == kModelNameList && command == kCommandLineDown) {
        StepListSelection(focus);
        return;
    }
    // The lists keep their own keys: the accelerator took them on the way.
    win::SendMessage(focus, win::WM_KEYDOWN, static_cast<win::WPARAM>(key), 0);
}

void ScrollParamPanel(WindowRecord* record, int line)
{
    ModelEditorData* data = GetModelEditorData(record);
    if (!data) return;
    StoreFocusedModelField(record);
    line = std::clamp(line, 0, ScrollRange(*data));
    if (line == data->scrollPos) return;
    data->scrollPos = line;
    win::SetScrollPos(data->scrollBar, win::SB_CTL, line, 1);
    FillParamRows(record);
}

int StoreEditedParam(WindowRecord* record, int row)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibraryEntry* entry = CurrentModelEntry(record);
    ModelLibrary* library = LibraryOf(record);
    if (!data || !entry || !library || row < 0 || row >= data->visibleRows) return 0;
    const int index = data->scrollPos * data->columns + row;
    const ModelParamDesc* desc = FindModelParamDesc(data->type, index);
    if (!desc || index >= static_cast<int>(entry->params.size())) return 0;
    float& slot = entry->params[static_cast<std::size_t>(index)];
    std::string text = ControlText(record, kModelParamFieldBase + row);
    const auto first = text.find_first_not_of(" \t");
    text = first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t") - first + 1);
    float value = slot;
    if (desc->valueKind == kParamCharacter) {
        if (text.empty()) {
            ShowParamValue(record, row);
            return 0;
        }
        value = MakeCharacterSlot(ToUpperChar(text[0]));
    } else if (desc->valueKind == kParamNumber) {
        if (IsParamNotGiven(desc->defaultValue) && EqualsNoCase(text, "undefined")) {
            value = ParamNotGiven;
        } else {
            const double number = ParseNumber(text);
            // Text that is no number would otherwise be stored as 0 without a word.
            if (text.empty() || ParseError() || !std::isfinite(number)) {
                BeepIfEnabled();
                ShowParamValue(record, row);
                return kMsgAlreadyReported;
            }
            value = static_cast<float>(std::clamp(number, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
            ModelReportTarget target;
            target.window = record;
            if (CheckModelParamValue(&target, value, data->type, index) != 0) {
                ShowParamValue(record, row);
                return kMsgAlreadyReported;
            }
        }
    } else {
        return 0;  // library entries keep no texts
    }
    if (ParamText(data->type, index, value) != ParamText(data->type, index, slot)) {
        slot = value;
        SetLibraryModified(*library, true);
    }
    ShowParamValue(record, row);
    return 0;
}

void StoreFocusedModelField(WindowRecord* record)
{
    if (!record || !record->window) return;
    win::HWND focus = win::GetFocus();
    if (!focus || win::GetParent(focus) != record->window) return;
    const int id = win::GetDlgCtrlID(focus);
    if (id == kModelNameField || id == kModelMemoField) StoreNameOrMemo(record, id);
    else if (id >= kModelParamFieldBase && id < kModelParamFieldBase + kModelParamRows) StoreEditedParam(record, id - kModelParamFieldBase);
}

void SelectModelInList(WindowRecord* record, int position)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibrary* library = LibraryOf(record);
    if (!data || !library) return;
    const int count = CountModelsOfType(*library, data->type);
    data->position = std::clamp(position, 0, std::max(count - 1, 0));
    ModelLibraryEntry* entry = CurrentModelEntry(record);
    ShowNameControls(record, entry != nullptr);
    if (entry) win::SendMessage(data->nameList, win::LB_SETCURSEL, static_cast<win::WPARAM>(data->position), 0);
    SetControlText(record, kModelNameField, entry ? entry->name : std::string());
    SetControlText(record, kModelMemoField, entry ? entry->memo : std::string());
    FillParamRows(record);
}

void SelectModelType(WindowRecord* record, int type, int position)
{
    ModelEditorData* data = GetModelEditorData(record);
    ModelLibrary* library = LibraryOf(record);
    if (!data || !library || !FindModelTypeRow(type)) return;
    // Nothing is stored here: the entry at the position may no longer be the one the fields
    // were filled from (after a delete, pack or revert). Callers store before they change it.
    data->type = type;
    data->scrollPos = 0;
    SelectTypeInSelector(record, type);
    win::SendMessage(data->nameList, win::LB_RESETCONTENT, 0, 0);
    for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library->entries)) {
        if (entry.type != type) continue;
        const std::string line = ListName(entry);
        win::SendMessage(data->nameList, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(line.c_str()));
    }
    LayoutModelEditor(record);
    SelectModelInList(record, position);
}

void RefreshModelEditor(WindowRecord* record)
{
    if (ModelEditorData* data = GetModelEditorData(record)) SelectModelType(record, data->type, data->position);
}

win::LRESULT ModelEditorWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (msg) {
    case win::WM_CREATE: {
        // The parameter frame is a group box that leaves its inside to the parent, as in a
        // dialog: the parent's face must be painted beneath it.
        win::SetWindowLongPtr(hwnd, win::GWL_STYLE, win::GetWindowLongPtr(hwnd, win::GWL_STYLE) & ~static_cast<win::LONG_PTR>(win::WS_CLIPCHILDREN));
        OnCreate(hwnd);
        WindowRecord* record = GetWindowRecord(hwnd);
        ModelEditorData* data = GetModelEditorData(record);
        if (!data || !data->font || !CreateControls(hwnd, *data)) return -1;
        FillTypeSelector(hwnd);
        SelectModelType(record, 0);
        return 0;
    }
    case win::WM_ERASEBKGND: {
        // The controls stand on the dialog face, as in the program's dialogs.
        win::RECT client;
        win::GetClientRect(hwnd, &client);
        win::FillRect(reinterpret_cast<win::HDC>(wParam), &client, win::GetSysColorBrush(win::COLOR_BTNFACE));
        return 1;
    }
    case win::WM_MDIACTIVATE:
        if (reinterpret_cast<win::HWND>(lParam) == hwnd) RefreshToolButtonStates();
        break;
    case win::WM_SETFOCUS:
        // The window itself takes no keys: the keyboard goes to its model type selector, from
        // where Tab reaches the other fields.
        if (win::HWND selector = win::GetDlgItem(hwnd, kModelTypeSelector); selector && win::IsWindowVisible(selector)) {
            win::SetFocus(selector);
            return 0;
        }
        break;
    case win::WM_SETCURSOR: {
        // After the frame's own help for the pointer, which this replaces over a control.
        const win::LRESULT result = DocumentDefaultWindowProc(hwnd, msg, wParam, lParam);
        ShowControlHelp(GetWindowRecord(hwnd), reinterpret_cast<win::HWND>(wParam));
        return result;
    }
    case win::WM_SIZE:
        if (wParam != win::SIZE_MINIMIZED) LayoutModelEditor(GetWindowRecord(hwnd));
        break;
    case win::WM_COMMAND:
        OnCommand(GetWindowRecord(hwnd), win::LOWORD(wParam), win::HIWORD(wParam));
        return 0;
    case win::WM_VSCROLL:
        OnScroll(GetWindowRecord(hwnd), win::LOWORD(wParam), static_cast<std::int16_t>(win::HIWORD(wParam)));
        return 0;
    case win::WM_CLOSE:
    case win::WM_QUERYENDSESSION:
        StoreFocusedModelField(GetWindowRecord(hwnd));
        if (msg == win::WM_CLOSE && EditorHooks().closeDocumentWindow) return EditorHooks().closeDocumentWindow(hwnd);
        break;
    case win::WM_DESTROY: OnDestroy(hwnd); return 0;
    default: break;
    }
    return DocumentDefaultWindowProc(hwnd, msg, wParam, lParam);
}

WindowRecord* CreateModelEditorWindow(const std::string& title)
{
    WindowRecord* record = NewDocumentWindow(kWindowModelLibrary, title);
    if (!record) {
        ReportMessage("E", kMsgInsufficientMemory);
        return nullptr;
    }
    return record;
}

WindowRecord* OpenModelLibraryDocument(const std::string& fileName)
{
    WindowRecord* out = nullptr;
    if (LoadCircuitFile(nullptr, fileName, kFileKindModelLibrary, kLoadShowIfNew, out) != 0) return nullptr;
    return out;
}

WindowRecord* ShowLibraryModel(const std::string& fileName, int type, const std::string& name)
{
    // Only where the user can see it: batch runs have no frame to show a window in.
    if (!Frame().mdiClient || Settings().batchRun || fileName.empty()) return nullptr;
    WindowRecord* record = OpenModelLibraryDocument(fileName);
    const ModelLibrary* library = LibraryOf(record);
    if (!library) return record;
    for (int row : {type, FoldMosRow(type)}) {
        const int ordinal = FindModelOrdinal(*library, row, name);
        if (ordinal >= 0 && FindModelTypeRow(row) && FindModelTypeRow(row)->domain == kModelDomainAnalog) {
            SelectModelType(record, row, ordinal);
            break;
        }
    }
    return record;
}

void ResetModelEditorsForTests()
{
    for (auto& [record, data] : Editors().editors)
        if (data.font) win::DeleteObject(data.font);
    Editors().editors.clear();
}

}  // namespace kq5
