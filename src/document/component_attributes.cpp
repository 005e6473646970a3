#include "document/component_attributes.h"

#include <algorithm>
#include <array>
#include <new>
#include <unordered_map>
#include <utility>

#include "ui/font_select.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "platform/font.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr std::array<std::string_view, kAttributeTableSize> kAttributeTable = {
    "PART",        "VALUE",        "MODEL",     "FILE",           "NAME",       "TIMING MODEL",
    "I/O MODEL",   "MNTYMXDLY",    "IO_LEVEL",  "POWER NODE",     "GROUND NODE", "FORMAT",
    "COMMAND",     "TIMESTEP",     "LOGIC",     "PINDELAY",       "CONSTRAINT", "DATA",
    "TEXT",        "FORMULA",      "INDUCTORS", "COUPLING",       "SIZE",       "TABLE",
    "LAPLACE",     "FREQ",         "CHEBYSHEV", "REF",            "EXPRESSION", "PARAMS:",
    "SIGNAMES",    "TEXT:",        " ISDTOA ",  " SPICENAME ",    "KEYWORD",    "IS",
    "CLOCK FREQUENCY", "ZEXP",     "EXPR",      "PERIOD",         " TEMPPART",
};

const std::string kEmptyText;

bool IsZeroRect(const win::RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

// The drawn rectangles: made at the first one drawn, so that reading or freeing an attribute
// never allocates, and never destroyed, so that an attribute that outlives the program's other
// state still finds its own.
std::unordered_map<const DrawnRect*, win::RECT>* gDisplayRects = nullptr;

bool AnyDisplayRects() { return gDisplayRects && !gDisplayRects->empty(); }

int ReportNoMemory()
{
    ReportMessage("E", kMsgInsufficientMemory);
    return kMsgInsufficientMemory;
}

AttributeKey KeyOf(const ComponentAttribute& attribute)
{
    if (attribute.keyId != 0) return AttributeKey(static_cast<int>(attribute.keyId));
    return AttributeKey(std::string_view(attribute.userName));
}

}  // namespace

DrawnRect::~DrawnRect()
{
    if (AnyDisplayRects()) gDisplayRects->erase(this);
}

win::RECT DrawnRect::Get() const
{
    if (!AnyDisplayRects()) return win::RECT{};
    const auto found = gDisplayRects->find(this);
    return found == gDisplayRects->end() ? win::RECT{} : found->second;
}

void DrawnRect::Set(const win::RECT& rect)
{
    if (IsZeroRect(rect)) {
        if (AnyDisplayRects()) gDisplayRects->erase(this);
        return;
    }
    try {
        if (!gDisplayRects) gDisplayRects = new std::unordered_map<const DrawnRect*, win::RECT>();
        (*gDisplayRects)[this] = rect;
    } catch (const std::bad_alloc&) {
        if (gDisplayRects) gDisplayRects->erase(this);
    }
}

std::string_view AttributeTableName(int id)
{
    if (id < 1 || id > kAttributeTableSize) return {};
    return kAttributeTable[static_cast<std::size_t>(id - 1)];
}

std::string_view AttributeName(const ComponentAttribute& attribute)
{
    if (attribute.keyId != 0) return AttributeTableName(attribute.keyId);
    return attribute.userName;
}

std::string_view AttributeName(const AttributeKey& key)
{
    return key.IsId() ? AttributeTableName(key.id) : key.name;
}

int AttributeIdFromName(std::string_view name)
{
    for (int id = 1; id <= kAttributeTableSize; ++id) {
        if (EqualsNoCase(name, AttributeTableName(id))) return id;
    }
    return 0;
}

ComponentAttribute* FindAttribute(const SchematicItem* item, const AttributeKey& key)
{
    if (!item) return nullptr;
    if (key.IsId()) {
        if (key.id == 0) return nullptr;
        for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item->attributes)) {
            if (attribute.keyId == key.id) return &attribute;
        }
        return nullptr;
    }
    for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item->attributes)) {
        if (attribute.HasKey() && EqualsNoCase(AttributeName(attribute), key.name)) return &attribute;
    }
    return nullptr;
}

const std::string& GetAttributeText(const SchematicItem* item, const AttributeKey& key)
{
    const ComponentAttribute* attribute = FindAttribute(item, key);
    return attribute ? attribute->value : kEmptyText;
}

ComponentAttribute* SetAttribute(WindowRecord* record, SchematicItem* item, const AttributeKey& key,
                                 std::string_view text)
{
    if (!item) return nullptr;
    if (ComponentAttribute* found = FindAttribute(item, key)) {
        SetAttributeValue(*found, text);
        return found;
    }
    ComponentAttribute* made = NewAttributeNode(record, item);
    if (!made) return nullptr;
    SetAttributeKeyAndText(made, key, text);
    return made;
}

std::int16_t AttributeOffset(long value)
{
    return static_cast<std::int16_t>(std::clamp<long>(value, INT16_MIN, INT16_MAX));
}

ComponentAttribute* NewAttributeNode(WindowRecord* record, SchematicItem* item)
{
    if (!item) return nullptr;
    std::int16_t y = 0;
    if (const auto* last = static_cast<const ComponentAttribute*>(item->attributes.tail)) {
        y = AttributeOffset(last->textOffsetY + Settings().defaultTextLineHeight);
    }
    auto* attribute = ListAppendAs<ComponentAttribute>(item->attributes, kKindAttribute);
    if (!attribute) {
        ReportNoMemory();
        return nullptr;
    }
    item->attributesChanged = 1;
    attribute->font = (record && record->document) ? record->document->attributeFont : Settings().defaultAttributeFont;
    attribute->textOffsetX = 0;
    attribute->textOffsetY = y;
    return attribute;
}

int SetAttributeKey(ComponentAttribute& attribute, const AttributeKey& key)
{
    if (key.IsId()) {
        attribute.userName.clear();
        attribute.keyId = static_cast<std::uint16_t>(key.id > 0 && key.id <= kMaxAttributeId ? key.id : 0);
        return 0;
    }
    if (const int id = AttributeIdFromName(key.name)) {
        attribute.userName.clear();
        attribute.keyId = static_cast<std::uint16_t>(id);
        return 0;
    }
    // The name may be the attribute's own: copy it before the old one goes. The out-of-line
    // name may allocate too; a failure leaves the old key.
    try {
        attribute.userName = std::string(key.name);
    } catch (const std::bad_alloc&) {
        return ReportNoMemory();
    }
    attribute.keyId = 0;
    return 0;
}

int SetAttributeValue(ComponentAttribute& attribute, std::string_view text)
{
    if (text.data() == attribute.value.data() && text.size() == attribute.value.size()) return 0;
    std::string copy;
    try {
        copy.assign(text);
    } catch (const std::bad_alloc&) {
        return ReportNoMemory();
    }
    attribute.value = std::move(copy);
    return 0;
}

int SetAttributeKeyAndText(ComponentAttribute* attribute, const AttributeKey& key, std::string_view text)
{
    if (!attribute) return 0;
    const int keyStatus = SetAttributeKey(*attribute, key);
    const int valueStatus = SetAttributeValue(*attribute, text);
    return keyStatus != 0 ? keyStatus : valueStatus;
}

int CopyComponentAttributes(SchematicItem& destination, const SchematicItem& source)
{
    if (&destination == &source) return 0;
    ListClear(destination.attributes);
    destination.definition = source.definition;
    // Every failure has been reported already; the first one is what the caller learns, so a
    // later success cannot hide a copy that was lost.
    int status = 0;
    for (const ComponentAttribute& from : ListRecords<ComponentAttribute>(source.attributes)) {
        ComponentAttribute* to = NewAttributeNode(nullptr, &destination);
        if (!to) return status != 0 ? status : kMsgInsufficientMemory;
        to->font = from.font;
        to->display = from.display;
        to->textOffsetX = from.textOffsetX;
        to->textOffsetY = from.textOffsetY;
        const int copied = SetAttributeKeyAndText(to, KeyOf(from), from.value);
        if (status == 0) status = copied;
    }
    return status;
}

int IsKindStandardAttribute(int componentType, int id)
{
    if (id == 0) return 0;
    for (int slot = 0; slot < kTypeAttributeSlots; ++slot) {
        if (ComponentTypeAttribute(componentType, slot) == static_cast<std::uint32_t>(id)) return 1;
    }
    return 0;
}

std::string BuildAttributeDisplayText(const ComponentAttribute* attribute, std::uint16_t bits)
{
    std::string text;
    if (!attribute) return text;
    if (bits & kAttrShowName) text.assign(AttributeName(*attribute));
    if (bits & kAttrShowValue) {
        if (!text.empty()) text += '=';
        text += attribute->value;
    }
    return text;
}

win::POINT AttributeTextOffset(int orientation, int originX, int originTurnedX, int p, int pTurned, int w, int h)
{
    switch (orientation) {
    case 1: return win::POINT{originTurnedX, pTurned};
    case 2: return win::POINT{-originX - w, -(p + h)};
    case 3: return win::POINT{-originTurnedX - w, -(pTurned + h)};
    case 4: return win::POINT{originX, -(p + h)};
    case 5: return win::POINT{originTurnedX, -(pTurned + h)};
    case 6: return win::POINT{-originX - w, p};
    case 7: return win::POINT{-originTurnedX - w, pTurned};
    default: return win::POINT{originX, p};
    }
}

void PlaceAttributeTexts(WindowRecord* record, SchematicItem* item)
{
    if (!item || !item->IsComponent() || !item->definition) return;
    const ComponentDefinition& definition = *item->definition;
    const int orientation = SafeOrientation(item->orientation);
    int p = definition.attrOriginY;
    int pTurned = definition.attrOriginTurnedY;
    win::HWND window = record ? record->window : nullptr;
    win::HDC dc = win::GetDC(window);
    for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item->attributes)) {
        const std::string text = BuildAttributeDisplayText(&attribute, attribute.display ? attribute.display : kAttrShowValue);
        if (text.empty()) {
            attribute.textOffsetX = 0;
            attribute.textOffsetY = 0;
            continue;
        }
        win::HGDIOBJ previous = SelectFontSpec(dc, attribute.font);
        win::TEXTMETRIC tm;
        win::GetTextMetrics(dc, &tm);
        const int h = tm.tmHeight + tm.tmExternalLeading;
        const int w = win::GetTextExtent(dc, text).cx;
        RestoreFont(dc, previous);
        const win::POINT offset =
            AttributeTextOffset(orientation, definition.attrOriginX, definition.attrOriginTurnedX, p, pTurned, w, h);
        attribute.textOffsetX = AttributeOffset(offset.x);
        attribute.textOffsetY = AttributeOffset(offset.y);
        p += h;
        pTurned += h;
    }
    win::ReleaseDC(window, dc);
}

}  // namespace kq5
