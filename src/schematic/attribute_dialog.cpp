#include "schematic/attribute_dialog.h"

#include <algorithm>
#include <span>
#include <vector>

#include "ui/dialog_services.h"
#include "core/format.h"
#include "platform/control_scrollbar.h"
#include "ui/font_select.h"
#include "ui/help_bar.h"
#include "ui/prompt_dialog.h"
#include "ui/status_text.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/connectivity.h"
#include "netlist/circuit_build.h"
#include "document/label_names.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "document/editor_services.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_windows.h"
#include "document/text_area.h"
#include "document/component_types.h"
#include "netlist/model_types.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "platform/message.h"
#include "platform/window.h"
#include "document/component_definition.h"
#include "schematic/edit_commands.h"

namespace kq5 {

namespace {

constexpr int kAttributeDisplayTemplate = 17212;
constexpr int kDisplayRowIds[5] = {kAttrPart, kAttrValue, kAttrModel, kAttrTimingModel, kAttrIoModel};

// Controls of row k: 200 + 100k "Don't Change", 202 + 100k "Turn On", 201 + 100k "Turn Off".
int ControlOf(int row, int choice) { return 200 + 100 * row + (choice == kDisplayTurnOn ? 2 : choice == kDisplayTurnOff ? 1 : 0); }

win::INT_PTR AttributeDisplayProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    auto* choices = DialogData<AttributeDisplayChoices>(dialog, message, lParam);
    if (!choices) return win::FALSE;
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        for (int row = 0; row < 5; ++row)
            win::CheckRadioButton(dialog, 200 + 100 * row, 202 + 100 * row, ControlOf(row, kDisplayDontChange));
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            for (int row = 0; row < 5; ++row) {
                (*choices)[static_cast<std::size_t>(row)] = kDisplayDontChange;
                for (int choice : {kDisplayTurnOn, kDisplayTurnOff})
                    if (win::IsDlgButtonChecked(dialog, ControlOf(row, choice)) == win::BST_CHECKED)
                        (*choices)[static_cast<std::size_t>(row)] = choice;
            }
            CloseDialog(dialog, 1);
            return win::TRUE;
        default:
            return CancelOrHelp(dialog, win::LOWORD(wParam), kAttributeDisplayTemplate, 2);
        }
    default:
        return win::FALSE;
    }
}

}  // namespace

void ApplyAttributeDisplay(WindowRecord* record, const AttributeDisplayChoices& choices)
{
    if (!record || !record->document) return;
    if (BeginBoxEdit(record) != 0) return;
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (!item.IsComponent()) continue;
        for (int row = 0; row < 5; ++row) {
            const int choice = choices[static_cast<std::size_t>(row)];
            if (choice == kDisplayDontChange) continue;
            ComponentAttribute* attribute = FindAttribute(&item, kDisplayRowIds[row]);
            if (!attribute) continue;
            if (choice == kDisplayTurnOn) attribute->display |= kAttrShowValue;
            else attribute->display = static_cast<std::uint16_t>(attribute->display & ~kAttrShowValue);
            item.attributesChanged = 1;
        }
    }
    MarkModified(record);
    RepaintAfterEdit(record);
}

void AttributeDisplayCommand(WindowRecord* record)
{
    if (!record || !record->document || record->kind != kWindowSchematic) return;
    AttributeDisplayChoices choices{};
    if (RunDialogParam(record->window, kAttributeDisplayTemplate, &AttributeDisplayProc, reinterpret_cast<win::LPARAM>(&choices)) != 1)
        return;
    ApplyAttributeDisplay(record, choices);
}

std::string FormatComponentDescription(const ComponentDefinition* definition, const std::string& memo)
{
    if (!definition) return {};
    const ComponentTypeRow* row = FindComponentTypeRow(definition->type);
    if (!row) return {};
    std::string text = " Component=" + definition->name + ":";
    if (row->modelType >= 0) {
        if (const ModelTypeRow* model = FindModelTypeRow(row->modelType)) text += std::string(" Model Keyword=") + model->name + ":";
    }
    text += std::string(" Definition=") + row->name;
    if (!memo.empty()) text += ": " + memo;
    return text;
}

}  // namespace kq5

// ---- The attribute dialog --------------------------------------------------------------------

namespace kq5 {

namespace {

constexpr int kAttributeDialogId = 3001;
constexpr int kNameEdit = 100;
constexpr int kValueCombo = 101;
constexpr int kShowNameBox = 102;
constexpr int kShowValueBox = 103;
constexpr int kModelsLabel = 106;
constexpr int kModelList = 107;
constexpr int kAttributeList = 110;
constexpr int kPinNamesBox = 111;
constexpr int kEditModelButton = 112;
constexpr int kExpandButton = 17114;
constexpr int kSourceLine = 19701;
constexpr int kFontButton = 22;
constexpr int kAddButton = 24;
constexpr int kDeleteButton = 25;
constexpr std::size_t kMaxNameLength = 49;
constexpr int kMsgNoModelName = 14061;
constexpr int kMsgIllegalLabel = 10897;

struct AttributeDialogState {
    WindowRecord* record = nullptr;
    SchematicItem* item = nullptr;
    int type = -1;
    int modelType = -1;
    int modelAttribute = 0;
    SchematicItem working;  // holds the copy of the attributes
    std::uint16_t style = 0;
    int selected = -1;
    // Whether the selected attribute was a free one when it was selected: its name is typed a
    // letter at a time, and a name on the way ("VALUE" of "VALUE_MAX") must not make it one of
    // the type's own attributes that can then be neither renamed further nor deleted.
    bool selectedFree = false;
    int selectFirst = -1;
    bool refreshing = false;
    // The parameter panel: the model's parameter values as texts, by parameter.
    bool panelOpen = false;
    bool paramsEdited = false;
    int firstRow = 0;
    std::string panelModel;
    std::vector<std::string> values;
};

constexpr int kFirstParamName = 1000;
constexpr int kFirstParamValue = 2000;
constexpr int kPanelFields = 15;
constexpr int kPanelColumns = 3;
constexpr int kPanelScrollBar = 12405;
constexpr int kPanelHeight = 84;  // dialog units
constexpr int kMsgModelChanged = 14096;

ComponentAttribute* AttributeAt(AttributeDialogState& state, int index)
{
    int i = 0;
    for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(state.working.attributes))
        if (i++ == index) return &attribute;
    return nullptr;
}

bool IsFreeAttribute(const AttributeDialogState& state, const ComponentAttribute& attribute)
{
    if (attribute.keyId == kAttrPart) return false;
    return attribute.keyId == 0 || !IsKindStandardAttribute(state.type, attribute.keyId);
}

bool IsModelAttribute(const ComponentAttribute& attribute)
{
    return attribute.keyId == kAttrModel || attribute.keyId == kAttrTimingModel || attribute.keyId == kAttrIoModel;
}

std::string LineText(const ComponentAttribute& attribute)
{
    return std::string(AttributeName(attribute)) + "=" + attribute.value;
}

void FillAttributeList(win::HWND dialog, AttributeDialogState& state)
{
    win::HWND list = win::GetDlgItem(dialog, kAttributeList);
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(state.working.attributes))
        win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(LineText(attribute).c_str()));
    if (state.selected >= 0) win::SendMessage(list, win::LB_SETCURSEL, static_cast<win::WPARAM>(state.selected), 0);
}

void RefreshLine(win::HWND dialog, AttributeDialogState& state)
{
    ComponentAttribute* attribute = AttributeAt(state, state.selected);
    if (!attribute) return;
    win::HWND list = win::GetDlgItem(dialog, kAttributeList);
    win::SendMessage(list, win::LB_DELETESTRING, static_cast<win::WPARAM>(state.selected), 0);
    win::SendMessage(list, win::LB_INSERTSTRING, static_cast<win::WPARAM>(state.selected),
                     reinterpret_cast<win::LPARAM>(LineText(*attribute).c_str()));
    win::SendMessage(list, win::LB_SETCURSEL, static_cast<win::WPARAM>(state.selected), 0);
}

void ShowHint(AttributeDialogState& state, const ComponentAttribute& attribute)
{
    std::string hint;
    const ComponentTypeRow* row = FindComponentTypeRow(state.type);
    if (attribute.keyId == kAttrPart) {
        if (state.type == kComponentTie) hint = "Label";
        else if (state.type == kComponentBlank) hint = "Text";
        else if (row && row->letter != ' ') hint = std::string("Part name: for spice compatibility start name with '") + row->letter + "'";
        else hint = "Part name:";
    } else if (row) {
        for (int slot = 0; slot < kTypeAttributeSlots; ++slot) {
            if (attribute.keyId != 0 && ComponentTypeAttribute(state.type, slot) == static_cast<std::uint32_t>(attribute.keyId)) {
                if (const std::uint32_t id = ComponentTypeHint(state.type, slot)) hint = FirstLine(LoadResString(static_cast<int>(id)));
            }
        }
    }
    SetStatusText(hint);
}

// The values other components of the same type in the document give this attribute, each once.
void FillValueChoices(win::HWND dialog, AttributeDialogState& state, const ComponentAttribute& attribute)
{
    win::HWND combo = win::GetDlgItem(dialog, kValueCombo);
    win::SendMessage(combo, win::CB_RESETCONTENT, 0, 0);
    if (attribute.keyId == kAttrPart && state.type != kComponentTie) return;
    std::vector<std::string> seen;
    for (const SchematicItem& other : ListRecords<SchematicItem>(state.record->document->itemList)) {
        if (&other == state.item || !other.IsComponent() || !other.definition || other.definition->type != state.type) continue;
        const ComponentAttribute* same = attribute.keyId ? FindAttribute(&other, static_cast<int>(attribute.keyId))
                                                         : FindAttribute(&other, attribute.userName);
        if (!same || same->value.empty()) continue;
        if (std::any_of(seen.begin(), seen.end(), [&](const std::string& s) { return EqualsNoCase(s, same->value); })) continue;
        seen.push_back(same->value);
        win::SendMessage(combo, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(same->value.c_str()));
    }
}

void SelectAttribute(win::HWND dialog, AttributeDialogState& state, int index)
{
    ComponentAttribute* attribute = AttributeAt(state, index);
    if (!attribute) return;
    state.selected = index;
    state.refreshing = true;
    win::SendMessage(win::GetDlgItem(dialog, kAttributeList), win::LB_SETCURSEL, static_cast<win::WPARAM>(index), 0);
    win::SetDlgItemText(dialog, kNameEdit, std::string(AttributeName(*attribute)).c_str());
    FillValueChoices(dialog, state, *attribute);
    win::SetDlgItemText(dialog, kValueCombo, attribute->value.c_str());
    win::CheckDlgButton(dialog, kShowNameBox, (attribute->display & kAttrShowName) ? win::BST_CHECKED : win::BST_UNCHECKED);
    win::CheckDlgButton(dialog, kShowValueBox, (attribute->display & kAttrShowValue) ? win::BST_CHECKED : win::BST_UNCHECKED);
    state.selectedFree = IsFreeAttribute(state, *attribute);
    win::EnableWindow(win::GetDlgItem(dialog, kNameEdit), state.selectedFree);
    state.refreshing = false;
    ShowHint(state, *attribute);
}

void NameChanged(win::HWND dialog, AttributeDialogState& state)
{
    ComponentAttribute* attribute = AttributeAt(state, state.selected);
    if (!attribute || state.refreshing || !state.selectedFree) return;
    const std::string name = CleanAttributeName(win::GetDlgItemText(dialog, kNameEdit));
    if (name.empty() || name == AttributeName(*attribute)) return;
    const int id = AttributeIdFromName(name);
    if (id == kAttrPart) return;
    if (id != 0) SetAttributeKey(*attribute, AttributeKey(id));
    else SetAttributeKey(*attribute, AttributeKey(name));
    RefreshLine(dialog, state);
}

void ValueChanged(win::HWND dialog, AttributeDialogState& state, bool fromList)
{
    ComponentAttribute* attribute = AttributeAt(state, state.selected);
    if (!attribute || state.refreshing) return;
    std::string value;
    win::HWND combo = win::GetDlgItem(dialog, kValueCombo);
    const auto chosen = static_cast<int>(win::SendMessage(combo, win::CB_GETCURSEL, 0, 0));
    if (fromList && chosen >= 0) {
        const auto length = static_cast<std::size_t>(win::SendMessage(combo, win::CB_GETLBTEXTLEN, static_cast<win::WPARAM>(chosen), 0));
        std::string text(length + 1, '\0');
        win::SendMessage(combo, win::CB_GETLBTEXT, static_cast<win::WPARAM>(chosen), reinterpret_cast<win::LPARAM>(text.data()));
        text.resize(length);
        value = text;
    } else {
        value = win::GetWindowText(combo);
    }
    if (IsModelAttribute(*attribute)) value = CleanModelName(value);
    if (value == attribute->value) return;
    SetAttributeValue(*attribute, value);
    RefreshLine(dialog, state);
    // A macro's VALUE names the circuit file and its parameters: keep its pattern in view.
    if (state.type == kComponentMacro && attribute->keyId == kAttrValue) ShowHint(state, *attribute);
}

// The libraries searched for models: the default library when no build has named any yet.
void SearchDefaultLibraryWhenNoneNamed()
{
    if (!Libraries().lists[kCircuitLibraryList].empty()) return;
    int index = 0;
    RegisterLibraryFile({}, kCircuitLibraryList, index);
}

// The models of the component's type: those in memory, then those the libraries hold (the
// default library when no build has named any yet), each name once.
void FillModelList(win::HWND dialog, AttributeDialogState& state)
{
    win::HWND list = win::GetDlgItem(dialog, kModelList);
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    std::vector<std::string> names;
    for (int i = 0; i < ModelStatementCount(); ++i) {
        const ModelStatement* statement = FindModelStatement(i);
        if (statement && statement->type == state.modelType && !statement->name.empty()) names.push_back(statement->name);
    }
    SearchDefaultLibraryWhenNoneNamed();
    int error = 0;
    FindInLibraries({}, state.modelType, kLookupModelNames, error, nullptr, -1, &names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto seen = std::find_if(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(i),
                                       [&](const std::string& other) { return EqualsNoCase(other, names[i]); });
        if (seen == names.begin() + static_cast<std::ptrdiff_t>(i))
            win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(names[i].c_str()));
    }
}

void ShowModelSource(win::HWND dialog, const std::string& name, int modelType)
{
    std::string source;
    for (int i = 0; i < ModelStatementCount(); ++i) {
        const ModelStatement* statement = FindModelStatement(i);
        if (!statement || statement->type != modelType || !EqualsNoCase(statement->name, name)) continue;
        source = statement->sourceKind == kModelSourceSchematic ? "In Memory" : statement->sourceName;
        break;
    }
    win::SetDlgItemText(dialog, kSourceLine, source.empty() ? "" : ("Source:" + source).c_str());
}

void ModelChosen(win::HWND dialog, AttributeDialogState& state)
{
    win::HWND list = win::GetDlgItem(dialog, kModelList);
    const auto chosen = static_cast<int>(win::SendMessage(list, win::LB_GETCURSEL, 0, 0));
    if (chosen < 0) return;
    std::string name(256, '\0');
    const auto length = win::SendMessage(list, win::LB_GETTEXT, static_cast<win::WPARAM>(chosen), reinterpret_cast<win::LPARAM>(name.data()));
    name.resize(static_cast<std::size_t>(std::max<win::LRESULT>(length, 0)));
    ComponentAttribute* model = FindAttribute(&state.working, state.modelAttribute);
    if (!model) model = SetAttribute(state.record, &state.working, state.modelAttribute, name);
    else SetAttributeValue(*model, name);
    FillAttributeList(dialog, state);
    int index = 0;
    for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(state.working.attributes)) {
        if (&attribute == model) SelectAttribute(dialog, state, index);
        ++index;
    }
    ShowModelSource(dialog, name, state.modelType);
}

void ExpandValue(win::HWND dialog, AttributeDialogState& state)
{
    ComponentAttribute* attribute = AttributeAt(state, state.selected);
    if (!attribute) return;
    PromptDialogDesc desc;
    desc.owner = state.record;
    desc.caption = std::string(AttributeName(*attribute));
    desc.text = attribute->value;
    if (RunPromptDialog(desc) != 1) return;
    // Each line break (CR LF as the editor ends its lines, or either alone) becomes one blank.
    std::string value;
    for (std::size_t i = 0; i < desc.text.size(); ++i) {
        const char c = desc.text[i];
        if (c == '\r' && i + 1 < desc.text.size() && desc.text[i + 1] == '\n') continue;
        value += (c == '\r' || c == '\n') ? ' ' : c;
    }
    SetAttributeValue(*attribute, value);
    RefreshLine(dialog, state);
    SelectAttribute(dialog, state, state.selected);
    win::SetFocus(win::GetDlgItem(dialog, kValueCombo));
}

// The model name check of OK; false (reported) keeps the dialog open.
bool ValidateModelName(win::HWND dialog, AttributeDialogState& state)
{
    if (state.modelType < 0) return true;
    ComponentAttribute* model = FindAttribute(&state.working, state.modelAttribute);
    const ComponentTypeRow* row = FindComponentTypeRow(state.type);
    const bool required = row && !(row->flags & kTypeModelOptional);
    if (!model || model->value.empty()) {
        if (!required) return true;
        ReportMessage("WE", state.record, kMsgNoModelName);
        return false;
    }
    SetAttributeValue(*model, CopyUpperCase(model->value));
    if (HasIllegalLabelChar(model->value, 0)) {
        ReportMessage("WEs", state.record, kMsgIllegalLabel, model->value);
        return false;
    }
    (void)dialog;
    return true;
}

std::string AreaText(const WindowRecord* record)
{
    if (record->document && record->document->textAreaWindow) return win::GetWindowText(record->document->textAreaWindow);
    return record->textArea;
}

// The character range of the .MODEL statement of that name in the text (its "+" continuation
// lines included); npos when there is none.
std::pair<std::size_t, std::size_t> FindModelInText(const std::string& text, const std::string& name)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && EqualsNoCase(line.substr(first, 6), ".MODEL")) {
            std::size_t at = line.find_first_not_of(" \t", first + 6);
            std::size_t stop = at == std::string::npos ? line.size() : line.find_first_of(" \t(\r", at);
            if (at != std::string::npos && EqualsNoCase(line.substr(at, stop - at), name)) {
                // The statement goes on over the lines that begin with "+".
                std::size_t last = end;
                while (last < text.size()) {
                    const std::size_t next = text.find('\n', last + 1);
                    const std::size_t nextEnd = next == std::string::npos ? text.size() : next;
                    const std::string following = text.substr(last + 1, nextEnd - last - 1);
                    const std::size_t lead = following.find_first_not_of(" \t");
                    if (lead == std::string::npos || following[lead] != '+') break;
                    last = nextEnd;
                }
                // The statement's own line end stays: a CR before the LF is not part of it.
                if (last > start && text[last - 1] == '\r') --last;
                return {start, last};
            }
        }
        start = end + 1;
    }
    return {std::string::npos, std::string::npos};
}

// The parameter text of a statement: what its parentheses hold, continuation marks dropped.
std::string StatementParams(std::string statement)
{
    std::string joined;
    std::size_t start = 0;
    while (start <= statement.size()) {
        std::size_t end = statement.find('\n', start);
        if (end == std::string::npos) end = statement.size();
        std::string line = statement.substr(start, end - start);
        const std::size_t lead = line.find_first_not_of(" \t");
        if (lead != std::string::npos && line[lead] == '+') line = line.substr(lead + 1);
        joined += line + " ";
        start = end + 1;
    }
    const std::size_t open = joined.find('(');
    const std::size_t close = joined.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return {};
    std::string params = joined.substr(open + 1, close - open - 1);
    std::replace(params.begin(), params.end(), ',', ' ');
    return params;
}

std::span<const ModelParamDesc> PanelParams(const AttributeDialogState& state)
{
    const ModelTypeRow* row = FindModelTypeRow(state.modelType);
    return row ? row->Params() : std::span<const ModelParamDesc>{};
}

int FindStatement(const std::string& name, int modelType)
{
    for (int i = 0; i < ModelStatementCount(); ++i) {
        const ModelStatement* statement = FindModelStatement(i);
        if (statement && statement->type == modelType && EqualsNoCase(statement->name, name)) return i;
    }
    return -1;
}

// The model table's statement of that name, else the one the circuit's libraries hold (read
// into the table now, as a build would): a library model shows its own values in the panel, so
// that editing one of them keeps the others. -1 when there is none.
int FindModelForPanel(const std::string& name, int modelType)
{
    if (const int index = FindStatement(name, modelType); index >= 0) return index;
    SearchDefaultLibraryWhenNoneNamed();
    int error = 0;
    const int index = FindInLibraries(CopyUpperCase(name), modelType, kLookupModel, error);
    return error == 0 ? index : -1;
}

// NAME=VALUE pairs of a statement's parameter text (blanks around "=" allowed).
std::vector<std::pair<std::string, std::string>> ParamPairs(const std::string& text)
{
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
        } else if (c == '=') {
            if (!current.empty()) tokens.push_back(current);
            tokens.push_back("=");
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) tokens.push_back(current);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (i + 2 < tokens.size() && tokens[i + 1] == "=") {
            pairs.push_back({tokens[i], tokens[i + 2]});
            i += 2;
        }
    }
    return pairs;
}

void FillPanel(win::HWND dialog, AttributeDialogState& state)
{
    const auto params = PanelParams(state);
    state.refreshing = true;
    for (int k = 0; k < kPanelFields; ++k) {
        const std::size_t p = static_cast<std::size_t>(state.firstRow * kPanelColumns + k);
        const bool used = state.panelOpen && p < params.size();
        win::SetDlgItemText(dialog, kFirstParamName + k, used ? params[p].name : "");
        win::SetDlgItemText(dialog, kFirstParamValue + k, used ? state.values[p].c_str() : "");
        win::ShowWindow(win::GetDlgItem(dialog, kFirstParamName + k), used ? win::SW_SHOW : win::SW_HIDE);
        win::ShowWindow(win::GetDlgItem(dialog, kFirstParamValue + k), used ? win::SW_SHOW : win::SW_HIDE);
    }
    state.refreshing = false;
}

void GrowDialog(win::HWND dialog, bool open)
{
    win::RECT grow{0, 0, 0, kPanelHeight};
    win::MapDialogRect(dialog, &grow);
    win::RECT r{};
    win::GetWindowRect(dialog, &r);
    const int height = (r.bottom - r.top) + (open ? grow.bottom : -grow.bottom);
    win::SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, height, win::SWP_NOMOVE | win::SWP_NOZORDER);
}

bool ValidateModelName(win::HWND dialog, AttributeDialogState& state);

void OpenPanel(win::HWND dialog, AttributeDialogState& state)
{
    if (state.panelOpen || !ValidateModelName(dialog, state)) return;
    const ComponentAttribute* model = FindAttribute(&state.working, state.modelAttribute);
    if (!model || model->value.empty()) return;
    const auto params = PanelParams(state);
    state.values.assign(params.size(), std::string());
    state.panelModel = model->value;
    // The circuit's own statement first, else the model the table holds.
    std::string paramText;
    const std::string area = AreaText(state.record);
    const auto [from, to] = FindModelInText(area, model->value);
    if (from != std::string::npos) {
        paramText = StatementParams(area.substr(from, to - from));
    } else if (const ModelStatement* statement = FindModelStatement(FindModelForPanel(model->value, state.modelType))) {
        paramText = statement->paramText;
    }
    for (const auto& [name, value] : ParamPairs(paramText))
        for (std::size_t p = 0; p < params.size(); ++p)
            if (EqualsNoCase(name, params[p].name)) state.values[p] = value;
    state.panelOpen = true;
    state.paramsEdited = false;
    state.firstRow = 0;
    const int rows = (static_cast<int>(params.size()) + kPanelColumns - 1) / kPanelColumns;
    win::HWND bar = win::GetDlgItem(dialog, kPanelScrollBar);
    win::SetScrollRange(bar, win::SB_CTL, 0, std::max(0, rows - kPanelFields / kPanelColumns), win::TRUE);
    win::SetScrollPos(bar, win::SB_CTL, 0, win::TRUE);
    win::ShowWindow(bar, win::SW_SHOW);
    GrowDialog(dialog, true);
    FillPanel(dialog, state);
    ShowModelSource(dialog, model->value, state.modelType);
}

void ClosePanel(win::HWND dialog, AttributeDialogState& state)
{
    if (!state.panelOpen) return;
    state.panelOpen = false;
    FillPanel(dialog, state);
    win::ShowWindow(win::GetDlgItem(dialog, kPanelScrollBar), win::SW_HIDE);
    GrowDialog(dialog, false);
}

void ScrollPanel(win::HWND dialog, AttributeDialogState& state, int code, int position)
{
    win::HWND bar = win::GetDlgItem(dialog, kPanelScrollBar);
    int low = 0, high = 0;
    win::GetScrollRange(bar, win::SB_CTL, &low, &high);
    int row = state.firstRow;
    switch (code) {
    case win::SB_LINEUP: --row; break;
    case win::SB_LINEDOWN: ++row; break;
    case win::SB_PAGEUP: row -= kPanelFields / kPanelColumns; break;
    case win::SB_PAGEDOWN: row += kPanelFields / kPanelColumns; break;
    case win::SB_THUMBPOSITION:
    case win::SB_THUMBTRACK: row = position; break;
    default: return;
    }
    row = std::clamp(row, low, high);
    if (row == state.firstRow) return;
    state.firstRow = row;
    win::SetScrollPos(bar, win::SB_CTL, row, win::TRUE);
    FillPanel(dialog, state);
}

// The value edits hand Up, Down, Page Up and Page Down to the dialog.
constexpr win::UINT kPanelKeyMessage = win::WM_USER + 0x3A1;

win::WNDPROC& OriginalValueEditProc()
{
    static win::WNDPROC proc = nullptr;
    return proc;
}

win::LRESULT ValueEditProc(win::HWND edit, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    const bool panelKey = wParam == win::VK_UP || wParam == win::VK_DOWN || wParam == win::VK_PRIOR || wParam == win::VK_NEXT;
    if (msg == win::WM_KEYDOWN && panelKey) {
        win::SendMessage(win::GetParent(edit), kPanelKeyMessage, static_cast<win::WPARAM>(win::GetDlgCtrlID(edit) - kFirstParamValue),
                         static_cast<win::LPARAM>(wParam));
        return 0;
    }
    if (msg == win::WM_GETDLGCODE)
        return win::CallWindowProc(OriginalValueEditProc(), edit, msg, wParam, lParam) | win::DLGC_WANTARROWS;
    return win::CallWindowProc(OriginalValueEditProc(), edit, msg, wParam, lParam);
}

// Up and Down move to the field above or below, scrolling the panel a row at its top or bottom
// edge; Page Up and Page Down scroll the panel a page. The focus stays in the same column.
void PanelKey(win::HWND dialog, AttributeDialogState& state, int field, int key)
{
    if (!state.panelOpen || field < 0 || field >= kPanelFields) return;
    const int rows = kPanelFields / kPanelColumns;
    const int row = field / kPanelColumns;
    const int params = static_cast<int>(state.values.size());
    int target = field;
    if (key == win::VK_UP) {
        if (row > 0) target = field - kPanelColumns;
        else ScrollPanel(dialog, state, win::SB_LINEUP, 0);
    } else if (key == win::VK_DOWN) {
        if (row + 1 < rows) target = field + kPanelColumns;
        else ScrollPanel(dialog, state, win::SB_LINEDOWN, 0);
    } else {
        ScrollPanel(dialog, state, key == win::VK_PRIOR ? win::SB_PAGEUP : win::SB_PAGEDOWN, 0);
    }
    // A field past the model's last parameter stays where it was.
    if (state.firstRow * kPanelColumns + target >= params) target = field;
    win::SetFocus(win::GetDlgItem(dialog, kFirstParamValue + target));
}

void ParamEdited(win::HWND dialog, AttributeDialogState& state, int field)
{
    if (state.refreshing || !state.panelOpen) return;
    const std::size_t p = static_cast<std::size_t>(state.firstRow * kPanelColumns + field);
    if (p >= state.values.size()) return;
    state.values[p] = win::GetDlgItemText(dialog, kFirstParamValue + field);
    state.paramsEdited = true;
}

// Writes the panel's values as the model's statement in the circuit's text area (replacing the
// statement of that name there, else added at the end), so the next build reads them; the
// built circuit is dropped.
void SaveModelParams(AttributeDialogState& state)
{
    const auto params = PanelParams(state);
    const ModelTypeRow* row = FindModelTypeRow(state.modelType);
    if (!row || state.panelModel.empty()) return;
    std::string values;
    for (std::size_t p = 0; p < params.size() && p < state.values.size(); ++p) {
        if (state.values[p].empty()) continue;
        if (!values.empty()) values += ' ';
        values += std::string(params[p].name) + "=" + state.values[p];
    }
    const std::string statement = StrPrintf(".MODEL %s %s (%s)", CopyUpperCase(state.panelModel).c_str(), row->name, values.c_str());
    std::string text = AreaText(state.record);
    const auto [from, to] = FindModelInText(text, state.panelModel);
    if (from != std::string::npos) {
        text.replace(from, to - from, statement);
    } else {
        const std::string lineBreak = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
        if (!text.empty() && text.back() != '\n') text += lineBreak;
        text += statement;
    }
    SetTextAreaText(state.record, text);
    MarkModified(state.record);
    FreeBuiltCircuit(kFreeModels);
}

// Cancel with edited parameters asks whether to keep them.
void AskToSaveParams(win::HWND dialog, AttributeDialogState& state)
{
    if (!state.panelOpen || !state.paramsEdited) return;
    const std::string text = StrPrintf(LoadResString(kMsgModelChanged).c_str(), state.panelModel.c_str());
    if (win::MessageBox(dialog, text.c_str(), "Attributes", win::MB_YESNO | win::MB_ICONQUESTION) == win::IDYES)
        SaveModelParams(state);
}

// A component without models needs only the left column: the dialog ends a margin right of the
// button column, the margin being the one at its left.
void NarrowToLeftColumn(win::HWND dialog)
{
    win::RECT window{}, help{}, list{};
    win::GetWindowRect(dialog, &window);
    win::GetWindowRect(win::GetDlgItem(dialog, kDialogHelpButton), &help);
    win::GetWindowRect(win::GetDlgItem(dialog, kAttributeList), &list);
    const int width = (help.right - window.left) + (list.left - window.left);
    win::SetWindowPos(dialog, nullptr, 0, 0, width, window.bottom - window.top, win::SWP_NOMOVE | win::SWP_NOZORDER);
}

win::INT_PTR AttributeDialogProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    AttributeDialogState* state = DialogData<AttributeDialogState>(dialog, message, lParam);
    if (!state) return win::FALSE;
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        win::SetWindowText(dialog, FormatComponentDescription(state->item->definition).c_str());
        win::CheckDlgButton(dialog, kPinNamesBox, (state->style & kStyleShowPinText) ? win::BST_CHECKED : win::BST_UNCHECKED);
        const bool models = state->modelType >= 0;
        for (int id : {kModelsLabel, kModelList, kEditModelButton}) win::ShowWindow(win::GetDlgItem(dialog, id), models ? win::SW_SHOW : win::SW_HIDE);
        if (models) FillModelList(dialog, *state);
        else NarrowToLeftColumn(dialog);
        FillAttributeList(dialog, *state);
        int first = state->selectFirst;
        if (first < 0 && models) {
            int index = 0;
            first = 0;
            for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(state->working.attributes)) {
                if (attribute.keyId == kAttrModel) first = index;
                ++index;
            }
        }
        SelectAttribute(dialog, *state, std::max(first, 0));
        if (ComponentAttribute* model = FindAttribute(&state->working, state->modelAttribute))
            ShowModelSource(dialog, model->value, state->modelType);
        for (int k = 0; k < kPanelFields; ++k)
            if (win::HWND edit = win::GetDlgItem(dialog, kFirstParamValue + k)) {
                const auto previous = reinterpret_cast<win::WNDPROC>(
                    win::SetWindowLongPtr(edit, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&ValueEditProc)));
                if (!OriginalValueEditProc()) OriginalValueEditProc() = previous;
            }
        return win::TRUE;
    }
    case kPanelKeyMessage:
        PanelKey(dialog, *state, static_cast<int>(wParam), static_cast<int>(lParam));
        return win::TRUE;
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        switch (id) {
        case kAttributeList:
            if (code == win::LBN_SELCHANGE)
                SelectAttribute(dialog, *state, static_cast<int>(win::SendDlgItemMessage(dialog, kAttributeList, win::LB_GETCURSEL, 0, 0)));
            return win::TRUE;
        case kNameEdit:
            if (code == win::EN_CHANGE) NameChanged(dialog, *state);
            return win::TRUE;
        case kValueCombo:
            if (code == win::CBN_EDITCHANGE || code == win::CBN_KILLFOCUS) ValueChanged(dialog, *state, false);
            if (code == win::CBN_SELCHANGE) ValueChanged(dialog, *state, true);
            return win::TRUE;
        case kShowNameBox:
        case kShowValueBox:
            if (ComponentAttribute* attribute = AttributeAt(*state, state->selected)) {
                const std::uint16_t bit = id == kShowNameBox ? kAttrShowName : kAttrShowValue;
                if (win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED) attribute->display |= bit;
                else attribute->display = static_cast<std::uint16_t>(attribute->display & ~bit);
            }
            return win::TRUE;
        case kPinNamesBox:
            if (win::IsDlgButtonChecked(dialog, kPinNamesBox) == win::BST_CHECKED) state->style |= kStyleShowPinText;
            else state->style = static_cast<std::uint16_t>(state->style & ~kStyleShowPinText);
            return win::TRUE;
        case kExpandButton: ExpandValue(dialog, *state); return win::TRUE;
        case kAddButton:
            if (ComponentAttribute* added = NewAttributeNode(state->record, &state->working)) {
                SetAttributeKeyAndText(added, AttributeKey("USER"), "");
                FillAttributeList(dialog, *state);
                SelectAttribute(dialog, *state, state->working.attributes.count - 1);
                win::SetFocus(win::GetDlgItem(dialog, kNameEdit));
            }
            return win::TRUE;
        case kDeleteButton:
            if (ComponentAttribute* attribute = AttributeAt(*state, state->selected); attribute && state->selectedFree) {
                ListRemove(state->working.attributes, attribute);
                state->selected = std::min(state->selected, state->working.attributes.count - 1);
                FillAttributeList(dialog, *state);
                SelectAttribute(dialog, *state, std::max(state->selected, 0));
            }
            return win::TRUE;
        case kFontButton:
            if (ComponentAttribute* attribute = AttributeAt(*state, state->selected)) ChooseFontSpec(dialog, attribute->font);
            return win::TRUE;
        case kModelList:
            if (code == win::LBN_SELCHANGE) ModelChosen(dialog, *state);
            return win::TRUE;
        case kEditModelButton:
            if (state->panelOpen) ClosePanel(dialog, *state);
            else OpenPanel(dialog, *state);
            return win::TRUE;
        case win::IDOK:
            ValueChanged(dialog, *state, false);
            if (!ValidateModelName(dialog, *state)) return win::TRUE;
            if (state->panelOpen && state->paramsEdited) SaveModelParams(*state);
            state->panelOpen = false;
            CloseDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL:
            AskToSaveParams(dialog, *state);
            CloseDialog(dialog, 2);
            return win::TRUE;
        case kDialogHelpButton:
            ShowDialogHelp(kAttributeDialogId);
            return win::TRUE;
        default:
            if (id >= kFirstParamValue && id < kFirstParamValue + kPanelFields && code == win::EN_CHANGE)
                ParamEdited(dialog, *state, id - kFirstParamValue);
            return win::FALSE;
        }
    }
    case win::WM_VSCROLL:
        if (reinterpret_cast<win::HWND>(lParam) == win::GetDlgItem(dialog, kPanelScrollBar))
            ScrollPanel(dialog, *state, win::LOWORD(wParam), static_cast<short>(win::HIWORD(wParam)));
        return win::TRUE;
    default:
        return win::FALSE;
    }
}

}  // namespace

std::string CleanAttributeName(const std::string& text)
{
    std::string name = text.substr(0, kMaxNameLength);
    const std::size_t first = name.find_first_not_of(" \t");
    const std::size_t last = name.find_last_not_of(" \t");
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    const bool ioModel = EqualsNoCase(name, "I/O MODEL");
    std::string out;
    for (char c : name) {
        if (c == ',' || c == '=') continue;
        out += (c == ' ' && !ioModel) ? '_' : c;
    }
    return out;
}

std::string CleanModelName(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (HasCharClass(c, kCharName)) out += c;
    if (out.size() > kMaxNameLength) out.resize(kMaxNameLength);
    return out;
}

int RunAttributeDialog(WindowRecord* record, SchematicItem* component, const ComponentAttribute* select, int mode)
{
    if (!record || !record->document || !component) return 2;
    AttributeDialogState state;
    state.record = record;
    state.item = component;
    state.type = ItemComponentType(component);
    const ComponentTypeRow* row = FindComponentTypeRow(state.type);
    state.modelType = row ? row->modelType : -1;
    state.modelAttribute = ModelAttributeOfComponentType(state.type);
    if (state.modelType < 0 && FindAttribute(component, kAttrIoModel)) state.modelAttribute = kAttrIoModel;
    state.style = component->style;
    if (CopyComponentAttributes(state.working, *component) != 0) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return 2;
    }
    int index = 0;
    for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(component->attributes)) {
        if (&attribute == select) state.selectFirst = index;
        ++index;
    }
    const win::INT_PTR result = RunDialogParam(record->window, kAttributeDialogId, &AttributeDialogProc, reinterpret_cast<win::LPARAM>(&state));
    if (result != 1) return 2;
    SetItemAsTemplate(record, component);
    if (CopyComponentAttributes(*component, state.working) != 0) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return 2;
    }
    component->style = state.style;
    if (state.modelType >= 0) FreeBuiltCircuit(kFreeModels);
    component->attributesChanged = 1;
    PlaceAttributeTexts(record, component);
    if (mode == 1) RedrawListNode(record, component);
    return 1;
}

}  // namespace kq5
