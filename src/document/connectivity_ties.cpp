// Named connections: `.TIE` lines that join one pin of several parts, and node labels and
// flags, which make every point carrying one name one node.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/char_classes.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/connectivity_internal.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

// Takes the next run of identifier characters after blanks.
std::string NextWord(std::string_view text, std::size_t& at)
{
    at = SkipCharClass(text, at, kCharSpace);
    const std::size_t end = SkipCharClass(text, at, kCharIdent);
    std::string word(text.substr(at, end - at));
    at = end;
    return word;
}

std::vector<std::string> SplitBlanks(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while (true) {
        at = SkipCharClass(text, at, kCharSpace);
        if (at >= text.size()) break;
        std::size_t end = at;
        while (end < text.size() && !HasCharClass(text[end], kCharSpace)) ++end;
        words.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

bool InPartList(const std::vector<std::string>& words, const std::string& part)
{
    if (words.empty()) return true;
    for (const std::string& word : words)
        if (EqualsNoCase(word, part)) return true;
    return false;
}

// ".TIE <type> <pin> [part ...]": the pin of every listed part of the type (every part of the
// type when none is listed) joins the pin of the first such part.
void ApplyTieLine(CircuitDocument& document, ConnectivityTables& tables, std::string_view line)
{
    const std::string rest = CopyUpperCase(line.substr(4));
    std::size_t at = 0;
    const int type = FindComponentTypeByName(NextWord(rest, at));
    const std::string pinName = NextWord(rest, at);
    if (type < 0) return;
    const int pin = FindPinIndexByName(type, pinName);
    if (pin < 0) return;
    const std::vector<std::string> parts = SplitBlanks(std::string_view(rest).substr(at));

    bool haveFirst = false;
    std::int32_t firstKey = 0;
    std::int16_t firstPage = 0;
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (ItemComponentType(&item) != type || pin >= static_cast<int>(item.definition->pins.size())) continue;
        if (!InPartList(parts, GetAttributeText(&item, kAttrPart))) continue;
        const win::POINT at = GetPinPosition(&item, pin);
        const std::int32_t key = ConnectionKey(at.x, at.y);
        if (!haveFirst) {
            haveFirst = true;
            firstKey = key;
            firstPage = item.page;
        } else {
            tables.points.JoinPoints(firstKey, key, tables.temporaryCounter, firstPage, item.page);
        }
    }
}

}  // namespace

int FindPinIndexByName(int type, std::string_view name)
{
    if (!HasNamedPinGroup(type)) return -1;
    const int pins = FindComponentTypeRow(type)->pins;
    for (int pin = 0; pin < pins; ++pin)
        if (EqualsNoCase(ComponentTypePinName(type, pin), name)) return pin;
    return -1;
}

void ApplyTieStatements(CircuitDocument& document, ConnectivityTables& tables)
{
    for (const GridText& text : ListRecords<GridText>(document.gridTextList))
        if (text.text.size() >= 4 && EqualsNoCase(std::string_view(text.text).substr(0, 4), ".TIE"))
            ApplyTieLine(document, tables, text.text);

    // A label counts when it sits on a connection point or on a pin.
    std::unordered_set<std::uint64_t> pinPoints;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
        for (int pin = 0, pins = ItemPinCount(&item); pin < pins; ++pin)
            if (!IsGlobalPin(item, pin)) {
                const win::POINT at = GetPinPosition(&item, pin);
                pinPoints.insert(PagedPointKey(ConnectionKey(at.x, at.y), item.page));
            }

    std::vector<const GridText*> marked;
    for (const GridText& text : ListRecords<GridText>(document.gridTextList)) {
        const std::int32_t key = ConnectionKey(text.x, text.y);
        if (IsNodeLabel(text) && (tables.points.FindPointNode(key, text.page) != kNoLabel ||
                                  pinPoints.count(PagedPointKey(key, text.page))))
            marked.push_back(&text);
    }

    // All labels of one name become one node: each joins the first of its name (the first
    // joins itself, which puts a label that sits only on a pin into the table).
    std::unordered_map<std::string, const GridText*> firstOfName;
    for (const GridText* text : marked) {
        const GridText* first = firstOfName.try_emplace(CopyUpperCase(text->text), text).first->second;
        tables.points.JoinPoints(ConnectionKey(first->x, first->y), ConnectionKey(text->x, text->y),
                                 tables.temporaryCounter, first->page, text->page);
    }
}

}  // namespace kq5
