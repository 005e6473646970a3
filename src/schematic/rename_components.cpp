#include "schematic/rename_components.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "document/analysis_windows.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/text_area.h"
#include "document/part_numbering.h"
#include "document/component_types.h"
#include "platform/window.h"
#include "document/component_definition.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr std::uint16_t kRemovalMark = 0x8000;
constexpr std::size_t kMaxDefineName = 500;

bool IsDelimiter(char c)
{
    static const std::string delimiters = " ,;=()[]<>{}^~*/+-='!|&.\r\n\t";
    return delimiters.find(c) != std::string::npos;
}

bool EqualNoCase(const std::string& text, std::size_t at, const std::string& word)
{
    if (at + word.size() > text.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != std::toupper(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

// Whether the text begins (after blanks) with one of the statements.
bool BeginsWithStatement(const std::string& text, std::initializer_list<const char*> keywords)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    for (const char* keyword : keywords) {
        const std::string word = keyword;
        if (EqualNoCase(text, at, word) && (at + word.size() == text.size() || !HasCharClass(text[at + word.size()], kCharIdent)))
            return true;
    }
    return false;
}

// Rewrites the text area line by line.
bool RenameInTextArea(WindowRecord* record, const std::vector<RenamePair>& pairs)
{
    std::string text = record->textArea;
    if (record->document && record->document->textAreaWindow)
        text = win::GetWindowText(record->document->textAreaWindow);
    std::string out;
    bool changed = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last) end = text.size();
        std::string line = text.substr(start, end - start);
        changed |= RenameInText(line, pairs);
        out += line;
        if (last) break;
        out += '\n';
        start = end + 1;
    }
    if (!changed) return false;
    SetTextAreaText(record, out);
    return true;
}

// The text area's editor ends its lines with CR LF and takes a lone LF handed to it for a blank.
// A circuit file written with LF alone keeps that text as read until it is replaced: it is given
// the editor's line ends first, so that the rewritten text, and the text that Undo puts back,
// keep their lines.
void GiveTextAreaLineEnds(WindowRecord* record)
{
    if (!record->document || !record->document->textAreaWindow) return;
    const std::string& text = record->textArea;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r') {
            SetTextAreaText(record, std::string(text));
            return;
        }
    }
}

// The texts outside the item lists and the text area that can name parts: the analysis texts
// and both expressions of every limits row, the expression and condition of every function a
// performance, 3-D or Monte Carlo window plots, and the names of the stepping slots that step a
// component.
std::vector<std::string*> PartNamingTexts(CircuitDocument& document)
{
    std::vector<std::string*> texts;
    for (std::string& text : document.limits.transient) texts.push_back(&text);
    for (std::string& text : document.limits.ac) texts.push_back(&text);
    for (std::string& text : document.limits.dc) texts.push_back(&text);
    for (auto& rows : document.limitsRows) {
        for (LimitsRow& row : rows) {
            texts.push_back(&row.xExpression);
            texts.push_back(&row.yExpression);
        }
    }
    auto function = [&](FunctionRecord& record) {
        texts.push_back(&record.expression);
        texts.push_back(&record.boolean);
    };
    for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
        for (auto& window : ListRecords<PerformanceWindowRecord>(document.performanceWindows[kind]))
            for (FunctionRecord& record : window.functions) function(record);
        for (auto& window : ListRecords<Graph3DPlot>(document.graph3DWindows[kind])) function(window.function);
        for (auto& window : ListRecords<MonteCarloWindowRecord>(document.monteCarloWindows[kind]))
            function(window.function);
    }
    for (SteppingSlot& slot : document.stepping)
        if (slot.flags & kStepComponent) texts.push_back(&slot.name);
    return texts;
}

// Undo of the rename exchanges these texts with their state before it, as it exchanges the
// item lists and the text area; a document whose texts were added or removed meanwhile keeps
// them as they are. The next-part numbers go back with the names, so that a part placed after
// the Undo takes a number that no restored name holds.
void KeepPartNamingTextsForUndo(WindowRecord* record)
{
    std::vector<std::string> saved;
    for (const std::string* text : PartNamingTexts(*record->document)) saved.push_back(*text);
    EditStateOf(record).swapOtherTexts = [record, saved = std::move(saved),
                                          counters = record->document->partCounters]() mutable {
        if (!record->document) return;
        record->document->partCounters.swap(counters);
        std::vector<std::string*> texts = PartNamingTexts(*record->document);
        if (texts.size() != saved.size()) return;
        for (std::size_t i = 0; i < texts.size(); ++i) texts[i]->swap(saved[i]);
    };
}

// Reading order: graphic objects first as they were, then components and wires by their first
// point, rows from the top and left to right within a row; equal points keep their order.
void SortItemsByPosition(CircuitDocument& document)
{
    std::vector<ListNode*> nodes;
    for (ListNode* node = document.itemList.head; node; node = node->next) nodes.push_back(node);
    std::stable_sort(nodes.begin(), nodes.end(), [](ListNode* a, ListNode* b) {
        const auto* x = static_cast<SchematicItem*>(a);
        const auto* y = static_cast<SchematicItem*>(b);
        const bool xObject = x->itemKind == kItemGraphicObject;
        const bool yObject = y->itemKind == kItemGraphicObject;
        if (xObject || yObject) return xObject && !yObject;
        if (x->y1 != y->y1) return x->y1 < y->y1;
        return x->x1 < y->x1;
    });
    RelinkList(document.itemList, nodes);
}

}  // namespace

bool IsNameableComponent(const SchematicItem& item)
{
    if (!item.IsComponent() || !item.definition) return false;
    const int type = item.definition->type;
    return type != kComponentNull && type != kComponentBlank && type != kComponentShort && type != kComponentGround &&
           type != kComponentJumper && type != kComponentTie;
}

bool ReplaceWord(std::string& text, std::vector<bool>& mask, const std::string& oldName, const std::string& newName)
{
    if (oldName.empty() || newName.empty() || !HasCharClass(oldName[0], kCharIdentStart)) return false;
    mask.resize(text.size(), false);
    bool changed = false;
    std::size_t at = 0;
    while (at + oldName.size() <= text.size()) {
        const bool startOk = at == 0 || IsDelimiter(text[at - 1]);
        const std::size_t after = at + oldName.size();
        const bool free = std::none_of(mask.begin() + static_cast<long>(at), mask.begin() + static_cast<long>(after),
                                       [](bool b) { return b; });
        if (startOk && free && EqualNoCase(text, at, oldName) && (after == text.size() || IsDelimiter(text[after]))) {
            text.replace(at, oldName.size(), newName);
            mask.erase(mask.begin() + static_cast<long>(at), mask.begin() + static_cast<long>(after));
            mask.insert(mask.begin() + static_cast<long>(at), newName.size(), true);
            at += newName.size();
            changed = true;
            continue;
        }
        ++at;
    }
    return changed;
}

bool RenameInText(std::string& text, const std::vector<RenamePair>& pairs)
{
    // Rewritten in a copy: a text that cannot be rewritten whole stays as it was, and the
    // rename goes on with the next one.
    try {
        std::string copy = text;
        std::vector<bool> mask(copy.size(), false);
        bool changed = false;
        for (const RenamePair& pair : pairs) changed |= ReplaceWord(copy, mask, pair.oldName, pair.newName);
        if (changed) text.swap(copy);
        return changed;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void RemoveFlaggedAttributes(WindowRecord* record)
{
    if (!record || !record->document) return;
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        for (ListNode* node = item.attributes.head; node;) {
            auto* attribute = static_cast<ComponentAttribute*>(node);
            node = attribute->display == kRemovalMark ? ListRemove(item.attributes, attribute) : node->next;
        }
    }
}

namespace {

void RenameComponentsBody(WindowRecord* record)
{
    GiveTextAreaLineEnds(record);
    if (BeginBoxEdit(record) != 0) return;
    KeepPartNamingTextsForUndo(record);
    CircuitDocument& document = *record->document;
    document.partCounters.fill(0);
    SortItemsByPosition(document);
    std::vector<RenamePair> pairs;
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!IsNameableComponent(item)) continue;
        const std::string old = GetAttributeText(&item, kAttrPart);
        ComponentAttribute* temporary = SetAttribute(record, &item, kAttrTempPart, old);
        if (temporary) temporary->display = kRemovalMark;
        const NextPartName next = NextPartNumber(record, item.definition->type);
        SetAttribute(record, &item, kAttrPart, next.name);
        item.attributesChanged = 1;
        if (!old.empty()) pairs.push_back({old, next.name});
    }
    // Every text that named a part: whole texts, never cut.
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!IsNameableComponent(item)) continue;
        for (int id : {kAttrValue, kAttrInductors, kAttrLaplace, kAttrFreq}) {
            if (ComponentAttribute* attribute = FindAttribute(&item, id)) RenameInText(attribute->value, pairs);
        }
    }
    for (GridText& text : ListRecords<GridText>(document.gridTextList)) {
        if (!text.IsFlag() && BeginsWithStatement(text.text, {".DEFINE", ".IC", ".NODESET", ".PARAM"}))
            RenameInText(text.text, pairs);
    }
    RenameInTextArea(record, pairs);
    for (std::string* text : PartNamingTexts(document)) RenameInText(*text, pairs);
    RemoveFlaggedAttributes(record);
    MarkModified(record);
    MarkNetlistStale(record);
    RepaintAfterEdit(record);
}

}  // namespace

void RenameComponents(WindowRecord* record)
{
    if (!record || !record->document || record->kind != kWindowSchematic) return;
    RunBoxEdit(record, [&] {
        RenameComponentsBody(record);
        return 0;
    });
}

int RenameDefine(WindowRecord* record, const std::string& text)
{
    if (!record || !record->document || !BeginsWithStatement(text, {".DEFINE"})) return 0;
    std::size_t at = text.find_first_not_of(" \t");
    at += 7;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    std::size_t end = at;
    while (end < text.size() && HasCharClass(text[end], kCharName)) ++end;
    const std::string name = text.substr(at, end - at);
    if (name.empty() || name.size() >= kMaxDefineName) return 0;
    CircuitDocument& document = *record->document;
    // The node labels the build compares defines with: a label that has been placed, whether or
    // not the nodes were numbered since.
    auto isNodeName = [&](const std::string& candidate) {
        for (const GridText& grid : ListRecords<GridText>(document.gridTextList))
            if (IsNodeLabel(grid) && EqualsNoCase(grid.text, candidate)) return true;
        return false;
    };
    if (!isNodeName(name)) return 0;
    std::string renamed = name;
    do renamed = "_" + renamed;
    while (isNodeName(renamed));
    const std::vector<RenamePair> pairs{{name, renamed}};
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!IsNameableComponent(item)) continue;
        for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes))
            if (attribute.keyId != kAttrPart) RenameInText(attribute.value, pairs);
    }
    for (GridText& grid : ListRecords<GridText>(document.gridTextList)) {
        if (!grid.IsFlag() && BeginsWithStatement(grid.text, {".DEFINE", ".IC", ".NODESET", ".PARAM"}))
            RenameInText(grid.text, pairs);
    }
    RenameInTextArea(record, pairs);
    return 1;
}

void RenameDefines(WindowRecord* record)
{
    if (!record || !record->document) return;
    GiveTextAreaLineEnds(record);
    // The lines are taken first: a rename rewrites the text they come from.
    std::vector<std::string> lines;
    std::string area = record->textArea;
    if (record->document->textAreaWindow) area = win::GetWindowText(record->document->textAreaWindow);
    std::size_t start = 0;
    while (start < area.size()) {
        std::size_t end = area.find('\n', start);
        if (end == std::string::npos) end = area.size();
        std::string line = area.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    for (const GridText& grid : ListRecords<GridText>(record->document->gridTextList)) lines.push_back(grid.text);
    bool changed = false;
    for (const std::string& line : lines) changed |= RenameDefine(record, line) != 0;
    if (changed) {
        MarkModified(record);
        RepaintAfterEdit(record);
    }
}

}  // namespace kq5
