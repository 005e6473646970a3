#include "document/item_copies.h"

#include <cctype>
#include <new>

#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"

namespace kq5 {

namespace {

bool NamesNode(const GridText& text) { return (text.flags & (kGridTextIsFlag | kGridTextValidLabel)) != 0; }

}  // namespace

int CopyComponentItem(SchematicItem& destination, const SchematicItem& source)
{
    destination.itemKind = source.itemKind;
    destination.x1 = source.x1;
    destination.y1 = source.y1;
    destination.x2 = source.x2;
    destination.y2 = source.y2;
    destination.style = source.style;
    destination.color = source.color;
    destination.fillColor = source.fillColor;
    destination.selection = source.selection;
    destination.orientation = source.orientation;
    destination.page = source.page;
    destination.hidden = source.hidden;
    destination.scope = source.scope;
    destination.attributesChanged = 1;
    return CopyComponentAttributes(destination, source);
}

int CopyItemFields(GridText& destination, const GridText& source)
{
    try {
        destination.text = source.text;
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    destination.page = source.page;
    destination.x = source.x;
    destination.y = source.y;
    destination.number = source.number;
    destination.font = source.font;
    destination.selection = source.selection;
    destination.flags = source.flags;
    return 0;
}

int IsNameInDocList(WindowRecord* record, const GridText& text)
{
    if (record == nullptr || !record->document) return 0;
    for (const GridText& other : ListRecords<GridText>(record->document->gridTextList)) {
        if (&other != &text && NamesNode(other) && EqualsNoCase(other.text, text.text)) return 1;
    }
    return 0;
}

void MakeNameUnique(WindowRecord* record, GridText& text)
{
    // A flag always gets a name of its own; other texts only while the user wants copied texts
    // counted on.
    if (!(text.flags & kGridTextIsFlag) && !(OptionFlags() & kOptionTextIncrement)) return;
    std::size_t digits = text.text.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(text.text[digits - 1]))) --digits;
    const std::string stem = text.text.substr(0, digits);
    // Long digit runs are read only as far as a number can count; the name then grows instead.
    long long number = 0;
    for (std::size_t i = digits; i < text.text.size() && number < 100000000; ++i) number = number * 10 + (text.text[i] - '0');
    while (IsNameInDocList(record, text)) text.text = StrPrintf("%s%lld", stem.c_str(), ++number);
}

void CopiedNodeNames::Rename(WindowRecord* record, GridText& copy)
{
    const std::string copied = CopyUpperCase(copy.text);
    if (const auto given = given_.find(copied); given != given_.end()) {
        copy.text = given->second;
        return;
    }
    if (IsNameInDocList(record, copy)) MakeNameUnique(record, copy);
    given_.emplace(copied, copy.text);
}

}  // namespace kq5
