#include "schematic/find_replace.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <new>

#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "ui/help_topics.h"
#include "document/text_editor.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/selection.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "document/component_types.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_dot_commands.h"
#include "document/component_definition.h"
#include "schematic/schematic_view.h"

namespace kq5 {

FindReplaceState& FindReplace()
{
    static FindReplaceState state;
    return state;
}

void ResetFindReplaceForTests() { FindReplace() = FindReplaceState{}; }

namespace {

win::HWND OwnerWindow(const WindowRecord* record)
{
    if (record != nullptr && record->window != nullptr) return record->window;
    return Frame().frame;
}

win::HWND TextWindowOf(const WindowRecord* record)
{
    return record != nullptr && record->document ? record->document->textAreaWindow : nullptr;
}

std::string Cut(std::string text)
{
    if (text.size() > kSearchTextMax) text.resize(kSearchTextMax);
    return text;
}

// --- text search -------------------------------------------------------------------------------

void SelectMatch(WindowRecord* record, std::size_t position, std::size_t length)
{
    if (win::HWND editor = TextWindowOf(record); GetTxtEditRecord(editor) != nullptr) {
        SetEditorSelection(editor, static_cast<std::int32_t>(position), static_cast<std::int32_t>(position + length));
    } else {
        record->textAreaCaret = std::min(position + length, record->textArea.size());
    }
}

win::INT_PTR FindTextDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    FindReplaceState& state = FindReplace();
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        win::SetDlgItemText(dialog, kFindWhatField, state.findWhat.c_str());
        return 1;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            state.findWhat = Cut(win::GetDlgItemText(dialog, kFindWhatField));
            CloseDialog(dialog, 1);
            return 1;
        case win::IDCANCEL: CloseDialog(dialog, 2); return 1;
        case kDialogHelpButton: ShowDialogHelp(kFindTextTemplate); return 1;
        default: break;
        }
        break;
    default: break;
    }
    return 0;
}

void EnableReplaceButtons(win::HWND dialog)
{
    const bool any = !win::GetDlgItemText(dialog, kFindWhatField).empty();
    win::EnableWindow(win::GetDlgItem(dialog, kFindNextButton), any);
    win::EnableWindow(win::GetDlgItem(dialog, kReplaceButton), any);
}

win::INT_PTR ReplaceDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    FindReplaceState& state = FindReplace();
    WindowRecord* record = state.searched;
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        win::SetDlgItemText(dialog, kFindWhatField, state.findWhat.c_str());
        win::SetDlgItemText(dialog, kReplaceWithField, state.replaceWith.c_str());
        EnableReplaceButtons(dialog);
        (void)lParam;
        return 1;
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        if (id == kFindWhatField && win::HIWORD(wParam) == win::EN_CHANGE) {
            EnableReplaceButtons(dialog);
            return 1;
        }
        if (id == kFindNextButton || id == kReplaceButton || id == kReplaceAllButton) {
            state.findWhat = Cut(win::GetDlgItemText(dialog, kFindWhatField));
            state.replaceWith = Cut(win::GetDlgItemText(dialog, kReplaceWithField));
            if (state.findWhat.empty() || !IsLiveWindowRecord(record)) return 1;
            bool wrapped = false;
            if (id == kReplaceAllButton) ReplaceAllInText(record);
            else SearchTextFromCaret(record, wrapped, true, id == kReplaceButton);
            return 1;
        }
        if (id == kReplaceCloseButton || id == win::IDCANCEL) {
            state.findWhat = Cut(win::GetDlgItemText(dialog, kFindWhatField));
            state.replaceWith = Cut(win::GetDlgItemText(dialog, kReplaceWithField));
            CloseDialog(dialog, id);
            return 1;
        }
        if (id == kDialogHelpButton) {
            ShowDialogHelp(kReplaceTemplate);
            return 1;
        }
        break;
    }
    default: break;
    }
    return 0;
}

bool TextHasFocus(const WindowRecord* record)
{
    win::HWND editor = TextWindowOf(record);
    return editor != nullptr && win::GetFocus() == editor;
}

}  // namespace

std::int32_t SearchTextFromCaret(WindowRecord* record, bool& wrapped, bool report, bool replace)
{
    FindReplaceState& state = FindReplace();
    if (record == nullptr || state.findWhat.empty()) return kSearchNotFound;
    state.searched = record;
    win::HWND editor = TextWindowOf(record);
    const bool hasEditor = GetTxtEditRecord(editor) != nullptr;
    std::size_t from = std::min(record->textAreaCaret, record->textArea.size());
    if (replace && hasEditor) {
        std::int32_t start = 0;
        std::int32_t end = 0;
        GetEditorSelection(editor, &start, &end);
        const std::string_view selected = std::string_view(record->textArea).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
        if (end > start && selected.size() == state.findWhat.size() && FindText(selected, state.findWhat) == 0) {
            ReplaceEditorSelection(editor, state.replaceWith);
            // The search goes on after the inserted text, never inside it: a replacement that
            // holds the sought text would otherwise be found again without end.
            from = static_cast<std::size_t>(start) + state.replaceWith.size();
            if (TxtEditRecord* r = GetTxtEditRecord(editor)) SetEditorCaret(*r, static_cast<std::int32_t>(from));
        }
    }
    const std::string& text = record->textArea;
    std::size_t found = FindText(std::string_view(text).substr(std::min(from, text.size())), state.findWhat);
    if (found != std::string::npos) {
        found += from;
    } else {
        wrapped = true;
        found = FindText(text, state.findWhat);
    }
    if (found == std::string::npos) {
        if (report) ShowNoItemsFound(record);
        return kSearchNotFound;
    }
    SelectMatch(record, found, state.findWhat.size());
    return static_cast<std::int32_t>(found);
}

int ReplaceAllInText(WindowRecord* record)
{
    FindReplaceState& state = FindReplace();
    if (record == nullptr || state.findWhat.empty()) return 0;
    const std::string& text = record->textArea;
    std::string result;
    int count = 0;
    // The replaced stretch of the text: from the first match to the end of the last one.
    std::size_t first = 0, last = 0;
    try {
        std::size_t at = 0;
        while (at <= text.size()) {
            const std::size_t found = FindText(std::string_view(text).substr(at), state.findWhat);
            if (found == std::string::npos) break;
            if (count == 0) first = at + found;
            result.append(text, at, found);
            result += state.replaceWith;
            at += found + state.findWhat.size();
            last = at;
            ++count;
        }
        if (count > 0 && at < text.size()) result.append(text, at, std::string::npos);
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return 0;
    }
    if (count == 0) {
        ShowNoItemsFound(record);
        return 0;
    }
    if (win::HWND editor = TextWindowOf(record); TxtEditRecord* r = GetTxtEditRecord(editor)) {
        if (r->flags & kEditorReadOnly) return 0;
        // The replaced stretch goes out and its new text in through the editor's own edits:
        // they form one run of its history, so one Undo takes every replacement back. Room for
        // the new text is made first, so that a lack of memory leaves the old text as it was.
        const std::string_view stretch = std::string_view(result).substr(first, result.size() - first - (text.size() - last));
        if (!GrowEditorBuffer(*r, static_cast<std::int32_t>(stretch.size()))) return 0;
        SetEditorSelection(editor, static_cast<std::int32_t>(first), static_cast<std::int32_t>(last));
        ReplaceEditorSelection(editor, stretch);
    } else {
        record->textArea.swap(result);
        record->textAreaCaret = 0;
    }
    if (record->document) record->document->textLineCount = 0;
    MarkModified(record);
    return count;
}

void FindTextInWindow(WindowRecord* record, bool ask)
{
    if (record == nullptr) return;
    FindReplaceState& state = FindReplace();
    if (ask || state.findWhat.empty()) {
        const std::string selected = CopyEditorSelectionText(record);
        if (!selected.empty()) state.findWhat = Cut(selected);
        if (RunDialog(OwnerWindow(record), kFindTextTemplate, FindTextDlgProc) != 1) return;
    }
    bool wrapped = false;
    SearchTextFromCaret(record, wrapped, true, false);
}

void ReplaceInTextWindow(WindowRecord* record)
{
    if (record == nullptr) return;
    FindReplace().searched = record;
    RunDialog(OwnerWindow(record), kReplaceTemplate, ReplaceDlgProc);
}

// --- schematic search --------------------------------------------------------------------------

namespace {

bool ListContains(const LinkedList& list, const ListNode* node)
{
    for (const ListNode* at = list.head; at != nullptr; at = at->next)
        if (at == node) return true;
    return false;
}

bool ItemMatches(const SchematicItem& item, int kind, const std::string& sought)
{
    if (!item.IsComponent() || item.definition == nullptr) return false;
    if (kind == kSearchComponentType) return FindText(item.definition->name, sought) != std::string::npos;
    for (const ListNode* node = item.attributes.head; node != nullptr; node = node->next) {
        if (FindText(static_cast<const ComponentAttribute*>(node)->value, sought) != std::string::npos) return true;
    }
    return false;
}

void ShowElement(WindowRecord* record, ListNode* element, int locationKind)
{
    ElementLocation location;
    location.kind = locationKind;
    location.element = element;
    location.record = record;
    GoToElementLocation(location);
}

// Walks a list from the saved position round to it again; the match, or null. The position
// moves past a match and stays put when there is none, so the next search starts there.
template <class Match>
ListNode* WalkList(const LinkedList& list, ListNode*& next, ListNode*& passStart, Match match)
{
    if (next == nullptr || !ListContains(list, next)) next = list.head;
    if (next == nullptr) return nullptr;
    passStart = next;
    ListNode* at = next;
    do {
        ListNode* following = at->next != nullptr ? at->next : list.head;
        if (match(at)) {
            next = following;
            return at;
        }
        at = following;
    } while (at != passStart);
    return nullptr;
}

win::INT_PTR FindSchematicDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    FindReplaceState& state = FindReplace();
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        win::CheckRadioButton(dialog, kSearchComponentType, kSearchNodeName, state.schematicKind);
        win::SetDlgItemText(dialog, kFindWhatField, state.schematicText.c_str());
        return 1;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            for (int id = kSearchComponentType; id <= kSearchNodeName; ++id)
                if (win::IsDlgButtonChecked(dialog, id)) state.schematicKind = id;
            state.schematicText = Cut(win::GetDlgItemText(dialog, kFindWhatField));
            CloseDialog(dialog, 1);
            return 1;
        case win::IDCANCEL: CloseDialog(dialog, 2); return 1;
        case kDialogHelpButton: ShowDialogHelp(kFindSchematicTemplate); return 1;
        default: break;
        }
        break;
    default: break;
    }
    return 0;
}

bool FindNode(WindowRecord* record, FindReplaceState& state)
{
    CircuitDocument& document = *record->document;
    RebuildNetlistIfNeeded(record, false);
    // A node number typed as digits shows the point that numbered it.
    const std::string& sought = state.schematicText;
    if (!sought.empty() && sought.find_first_not_of("0123456789") == std::string::npos && sought.size() < 9) {
        const int number = std::stoi(sought);
        for (const SchematicNodeRow& row : document.schematicNodeTable) {
            if (row.kind != kNodeUnused && row.nodeNumber == number) {
                ShowPageAtPoint(record, row.page, row.x, row.y);
                if (record->window) win::InvalidateRect(record->window, nullptr, 1);
                return true;
            }
        }
    }
    ListNode* found = WalkList(document.gridTextList, state.nextGridText, state.gridTextPassStart, [&](ListNode* node) {
        const GridText& text = *static_cast<GridText*>(node);
        return text.number >= 0 && EqualsNoCase(text.text, sought);
    });
    if (found == nullptr) return false;
    ShowElement(record, found, kLocationGridText);
    return true;
}

}  // namespace

int FindInSchematic(WindowRecord* record, bool repeat)
{
    if (record == nullptr || !record->document) return 0;
    FindReplaceState& state = FindReplace();
    CircuitDocument& document = *record->document;
    if (!repeat || state.schematicText.empty()) {
        state.nextItem = state.itemPassStart = nullptr;
        state.nextGridText = state.gridTextPassStart = nullptr;
        if (RunDialog(OwnerWindow(record), kFindSchematicTemplate, FindSchematicDlgProc) != 1) return 2;
    }
    if (state.schematicText.empty()) return 0;
    bool found = false;
    switch (state.schematicKind) {
    case kSearchComponentType:
    case kSearchAttributeText: {
        ListNode* item = WalkList(document.itemList, state.nextItem, state.itemPassStart, [&](ListNode* node) {
            return ItemMatches(*static_cast<SchematicItem*>(node), state.schematicKind, state.schematicText);
        });
        if (item != nullptr) ShowElement(record, item, kLocationItem);
        found = item != nullptr;
        break;
    }
    case kSearchGridText: {
        ListNode* text = WalkList(document.gridTextList, state.nextGridText, state.gridTextPassStart, [&](ListNode* node) {
            return FindText(static_cast<GridText*>(node)->text, state.schematicText) != std::string::npos;
        });
        if (text != nullptr) ShowElement(record, text, kLocationGridText);
        found = text != nullptr;
        break;
    }
    case kSearchNodeName: found = FindNode(record, state); break;
    default: break;
    }
    if (!found) ShowNoItemsFound(record);
    return 0;
}

void FindCommand(WindowRecord* record, bool repeat)
{
    if (record == nullptr || !record->document) return;
    if (record->kind == kWindowTextCircuit || TextHasFocus(record)) {
        FindTextInWindow(record, !repeat);
    } else if (IsSchematicKind(record->kind)) {
        FindInSchematic(record, repeat);
    }
}

}  // namespace kq5

namespace kq5 {

namespace {

// The statement of a line: joined with the "+" continuation lines after it and above it, a
// comment from ";" on dropped.
std::string StatementAtLine(const std::string& text, std::int32_t line)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string one = text.substr(at, end - at);
        if (!one.empty() && one.back() == '\r') one.pop_back();
        lines.push_back(std::move(one));
        at = end + 1;
    }
    if (lines.empty()) return {};
    std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(std::max(line, 0)), lines.size() - 1);
    auto continues = [&](std::size_t i) {
        const std::size_t c = lines[i].find_first_not_of(" \t");
        return c != std::string::npos && lines[i][c] == '+';
    };
    while (first > 0 && continues(first)) --first;
    std::string statement = lines[first];
    for (std::size_t i = first + 1; i < lines.size() && continues(i); ++i) {
        statement += ' ';
        statement.append(lines[i], lines[i].find('+') + 1);
    }
    const std::size_t comment = statement.find(';');
    if (comment != std::string::npos) statement.resize(comment);
    return statement;
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(" \t,", at)) != std::string::npos) {
        const std::size_t end = text.find_first_of(" \t,", at);
        words.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end;
    }
    return words;
}

void OpenTextFileAtLine(const std::string& path, std::int32_t line)
{
    WindowRecord* opened = nullptr;
    if (LoadCircuitFile(nullptr, path, kFileKindTextCircuit, kLoadDefaults, opened) != 0 || opened == nullptr) return;
    if (line > 0) SelectEditorStatementAtLine(opened, line);
}

// The line of a position in a library as its lookup read it: the text of the window that holds
// the library, else the file's own bytes (whose line ends the window's text need not keep).
std::int32_t LineOfLibraryPosition(const std::string& path, long position)
{
    std::string bytes;
    const std::string* text = &bytes;
    if (const WindowRecord* window = FindRecordByTitle(path)) {
        text = &window->textArea;
    } else {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const long clamped = std::clamp<long>(position, 0, static_cast<long>(text->size()));
    return static_cast<std::int32_t>(std::count(text->begin(), text->begin() + clamped, '\n'));
}

void OpenTextFileAt(const std::string& path, long position)
{
    const std::int32_t line = position > 0 ? LineOfLibraryPosition(path, position) : 0;
    WindowRecord* opened = nullptr;
    if (LoadCircuitFile(nullptr, path, kFileKindTextCircuit, kLoadDefaults, opened) != 0 || opened == nullptr) return;
    if (line > 0) SelectEditorStatementAtLine(opened, line);
}

// The libraries a lookup searches: the circuit's, or the default library when no build has
// named any yet.
void EnsureLibraries()
{
    if (!Libraries().lists[kCircuitLibraryList].empty()) return;
    int index = 0;
    RegisterLibraryFile({}, kCircuitLibraryList, index);
}

std::string Upper(std::string text)
{
    for (char& c : text) c = ToUpperChar(c);
    return text;
}

// Opens the text that holds a model's statement; false when it is not in a text.
bool OpenModelSource(const std::string& name, int type)
{
    if (type < 0 || name.empty()) return false;
    EnsureLibraries();
    const int index = FindOrLoadModel(type, 0, Upper(name));
    const ModelStatement* statement = index >= 0 ? FindModelStatement(index) : nullptr;
    if (statement == nullptr || statement->sourceName.empty()) return false;
    if (statement->sourceKind != kModelSourceTextWindow && statement->sourceKind != kModelSourceTextFile) return false;
    OpenTextFileAtLine(statement->sourceName, statement->line);
    return true;
}

// Opens the library text at a subcircuit's definition; false when no library has it.
bool OpenSubcircuitSource(const std::string& name)
{
    EnsureLibraries();
    int error = 0;
    std::string path;
    const int position = FindInLibraries(Upper(name), 0, kLookupSubcircuit, error, &path);
    if (error != 0 || position < 0 || path.empty()) return false;
    OpenTextFileAt(path, position);
    return true;
}

}  // namespace

void OpenStatementSource(WindowRecord* record, const std::string& statement)
{
    std::vector<std::string> words = Words(statement);
    if (words.empty() || record == nullptr) return;
    const std::string first = words.front();
    if (EqualsNoCase(first.substr(0, 4), ".INC") || EqualsNoCase(first.substr(0, 4), ".LIB")) {
        if (words.size() < 2) return;
        std::string name = words[1];
        name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
        OpenTextFileAt(ResolveLibraryPath(name, GetRecordTitle(record)), 0);
        return;
    }
    if (ToUpperChar(first.front()) == 'X') {
        // The subcircuit name is the last word before any TEXT: or PARAMS: part.
        const std::string upper = Upper(statement);
        const std::size_t cut = std::min(upper.find(" TEXT:"), upper.find(" PARAMS:"));
        const std::vector<std::string> head = Words(statement.substr(0, cut));
        if (head.size() >= 2) OpenSubcircuitSource(head.back());
        return;
    }
    if (first.front() != '.') return;
    if (EqualsNoCase(first, ".MODEL")) {
        if (words.size() < 2) return;
        std::string akoName;
        std::string typeName;
        std::string name;
        ParseModelNameAko(Upper(statement.substr(statement.find_first_not_of(" \t") + 6)), name, akoName, typeName);
        typeName = typeName.substr(0, typeName.find('('));
        if (!OpenModelSource(name, FindModelType(typeName))) OpenSubcircuitSource(name);
        return;
    }
    // Other dot statements name a model first.
    const std::string name = first.substr(1, first.find('(') == std::string::npos ? std::string::npos : first.find('(') - 1);
    OpenSubcircuitSource(name);
}

void ShowComponentInfo(WindowRecord* record, ListNode* element)
{
    if (record == nullptr || element == nullptr || !record->document) return;
    if (ListContains(record->document->gridTextList, element)) {
        const std::string& text = static_cast<GridText*>(element)->text;
        if (text.find_first_not_of(" \t") != std::string::npos && text[text.find_first_not_of(" \t")] == '.')
            OpenStatementSource(record, text);
        return;
    }
    if (!ListContains(record->document->itemList, element)) return;
    const SchematicItem& item = *static_cast<SchematicItem*>(element);
    if (!item.IsComponent()) return;
    // The file that drives a source is the natural first choice; else the model behind the part.
    std::string file = GetAttributeText(&item, kAttrFile);
    file.erase(std::remove(file.begin(), file.end(), '"'), file.end());
    if (file.find_first_not_of(' ') != std::string::npos) {
        const bool userSource = item.definition != nullptr && item.definition->type == kComponentUserSource;
        const std::size_t slash = file.find_last_of("/\\");
        if (userSource && file.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) file += ".USR";
        OpenTextFileAt(ResolveLibraryPath(file, GetRecordTitle(record)), 0);
        return;
    }
    const std::string& model = GetAttributeText(&item, kAttrModel);
    if (model.empty() || item.definition == nullptr) return;
    const ComponentTypeRow* row = FindComponentTypeRow(item.definition->type);
    if (!OpenModelSource(model, row ? row->modelType : -1)) OpenSubcircuitSource(model);
}

void ShowComponentSyntaxHelp(WindowRecord* record, ListNode* element)
{
    if (record == nullptr || element == nullptr || !record->document) return;
    if (ListContains(record->document->gridTextList, element)) {
        const std::string& text = static_cast<GridText*>(element)->text;
        const std::size_t first = text.find_first_not_of(" \t");
        if (first != std::string::npos && text[first] == '.') ShowDotCommandHelp(record, text);
        return;
    }
    if (!ListContains(record->document->itemList, element)) return;
    const SchematicItem& item = *static_cast<SchematicItem*>(element);
    if (!item.IsComponent() || item.definition == nullptr) return;
    const ComponentTypeRow* row = FindComponentTypeRow(item.definition->type);
    ShowHelpTopic(kHelpContextCommand, row != nullptr && row->helpId != 0 ? static_cast<int>(row->helpId) : 6000 + item.definition->type);
}

void ShowEditorContextHelp(WindowRecord* owner) { ShowTextWindowContextHelp(owner); }

void ShowEditorStatementInfo(WindowRecord* owner, std::int32_t line)
{
    if (owner == nullptr) return;
    OpenStatementSource(owner, StatementAtLine(owner->textArea, line));
}

}  // namespace kq5
