#include "document/part_numbering.h"

#include <cstdint>
#include <limits>

#include "ui/recent_names.h"
#include "ui/edit_mode.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/node_flags.h"
#include "document/schematic_item.h"
#include "document/selection.h"
#include "document/component_types.h"
#include "document/component_definition.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

char TypeLetter(int type)
{
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    const char letter = row ? row->letter : ' ';
    return (letter >= 'A' && letter <= 'Z') ? letter : ' ';
}

int CounterSlot(int type)
{
    const char letter = TypeLetter(type);
    return letter == ' ' ? kPartCounterNoLetter : letter - 'A';
}

bool IsDigitalType(int type)
{
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    return row && row->domain == kDomainDigital;
}

int ModelTypeOf(int type)
{
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    return row ? row->modelType : -1;
}

bool SharesMainAttribute(int type)
{
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    return row && (row->flags & kTypeShareMainAttribute) != 0;
}

int ModelAttributeOf(int type) { return IsDigitalType(type) ? kAttrTimingModel : kAttrModel; }

int MainAttributeOf(int type) { return static_cast<int>(ComponentTypeAttribute(type, 0)); }

bool HasNoAttributes(int type) { return type == kComponentGround || type == kComponentJumper; }

bool PlacedWithoutDialog(int type)
{
    return type == kComponentDigitalLed || type == kComponentSevenSegment || type == kComponentDigitalSwitch;
}

void ShowAttributeValue(SchematicItem& item, int id)
{
    if (ComponentAttribute* attribute = FindAttribute(&item, id)) attribute->display |= kAttrShowValue;
}

// The number that a part name ends in; -1 when it ends in no digit. Huge numbers saturate.
std::int64_t TrailingNumber(const std::string& name)
{
    const std::size_t start = TrailingDigitsStart(name);
    if (start == name.size()) return -1;
    std::int64_t n = 0;
    for (std::size_t i = start; i < name.size(); ++i) {
        n = n * 10 + (name[i] - '0');
        if (n > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    }
    return n;
}

// Values that the other components of the document hand down to a new one.
struct TakenDefaults {
    std::string power{kDefaultPowerNode};
    std::string ground{kDefaultGroundNode};
    std::string io{kDefaultIoModel};
    std::string main;
    std::string model;
};

void TakeIfGiven(std::string& target, const SchematicItem& other, int id)
{
    const std::string& text = GetAttributeText(&other, id);
    if (!text.empty()) target = text;
}

TakenDefaults DefaultsFromDocument(const CircuitDocument& document, const SchematicItem& item, int type)
{
    TakenDefaults taken;
    const int modelType = ModelTypeOf(type);
    const int modelAttribute = ModelAttributeOf(type);
    const int mainAttribute = MainAttributeOf(type);
    for (const SchematicItem& other : ListRecords<SchematicItem>(document.itemList)) {
        if (&other == &item || !other.IsComponent()) continue;
        const int otherType = ItemComponentType(&other);
        if (type == kComponentPullup || type == kComponentPulldn) TakeIfGiven(taken.io, other, kAttrIoModel);
        if (modelType != -1 && otherType >= 0 && ModelTypeOf(otherType) == modelType) {
            TakeIfGiven(taken.io, other, kAttrIoModel);
            TakeIfGiven(taken.model, other, modelAttribute);
        }
        if ((modelType == -1 || SharesMainAttribute(type)) && other.definition == item.definition && mainAttribute != 0)
            TakeIfGiven(taken.main, other, mainAttribute);
        TakeIfGiven(taken.power, other, kAttrPowerNode);
        TakeIfGiven(taken.ground, other, kAttrGroundNode);
    }
    return taken;
}

void RemovePlacedComponent(WindowRecord* record, SchematicItem* item)
{
    CircuitDocument& document = *record->document;
    // The selection goes first: the panes are cleared and drawn again below, and a select box
    // still set then would be drawn back onto them with nothing left to take it away.
    ClearSelection(record);
    RedrawNodeAlone(record, item, true);
    ListRemove(document.itemList, item);
    document.connectivityStale = 1;
    RedrawWindowParts(record, kRedrawAfterEdit);
}

}  // namespace

NextPartName NextPartNumber(WindowRecord* record, int componentType)
{
    NextPartName next;
    const int slot = CounterSlot(componentType);
    next.slot = slot;
    next.name = slot == kPartCounterNoLetter ? "Part" : std::string(1, TypeLetter(componentType));
    std::int32_t number = 1;
    if (record && record->document) {
        std::int32_t& counter = record->document->partCounters[static_cast<std::size_t>(slot)];
        if (componentType == kComponentTie) {
            number = counter != 0 ? counter : 1;
        } else {
            if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
            number = counter;
        }
    }
    next.name += std::to_string(number);
    return next;
}

void ReturnPartNumber(WindowRecord* record, int componentType, int slot)
{
    // A tie shares its name with the ties it joins: it took no number.
    if (componentType == kComponentTie || !record || !record->document) return;
    if (slot < 0 || slot >= kPartCounterSlots) return;
    std::int32_t& counter = record->document->partCounters[static_cast<std::size_t>(slot)];
    if (counter > 0) --counter;
}

void UpdatePartNumberMax(WindowRecord* record, const SchematicItem& item)
{
    if (!record || !record->document) return;
    const ComponentAttribute* part = FindAttribute(&item, kAttrPart);
    if (!part) return;
    const int type = ItemComponentType(&item);
    const int slot = CounterSlot(type);
    const std::string& name = part->value;
    if (slot != kPartCounterNoLetter) {
        if (name.empty() || !HasCharClass(name[0], kCharLetter) || ToUpperChar(name[0]) != 'A' + slot) return;
    }
    const std::int64_t n = TrailingNumber(name);
    if (n < 0) return;
    std::int32_t& counter = record->document->partCounters[static_cast<std::size_t>(slot)];
    if (n > counter || type == kComponentTie) counter = static_cast<std::int32_t>(n);
}

void RescanPartNumbers(WindowRecord* record)
{
    if (!record || !record->document) return;
    record->document->partCounters.fill(0);
    for (const SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (item.IsComponent()) UpdatePartNumberMax(record, item);
    }
}

int IsPartNameUsed(WindowRecord* record, const SchematicItem& item)
{
    if (!record || !record->document) return 0;
    const std::string& name = GetAttributeText(&item, kAttrPart);
    // A component without a name (a ground symbol) clashes with nothing.
    if (name.empty()) return 0;
    for (const SchematicItem& other : ListRecords<SchematicItem>(record->document->itemList)) {
        if (&other != &item && other.IsComponent() && EqualsNoCase(GetAttributeText(&other, kAttrPart), name)) return 1;
    }
    return 0;
}

int SetDefaultAttributes(WindowRecord* record, SchematicItem& item, const DefaultAttributeTexts& texts)
{
    const std::string_view power = texts.power.value_or(kDefaultPowerNode);
    const std::string_view ground = texts.ground.value_or(kDefaultGroundNode);
    const std::string_view io = texts.io.value_or(kDefaultIoModel);
    const int type = ItemComponentType(&item);
    if (HasNoAttributes(type)) return 0;
    int status = 0;
    auto set = [&](const AttributeKey& key, std::string_view text) {
        if (!SetAttribute(record, &item, key, text) && status == 0) status = kMsgInsufficientMemory;
    };
    if (type != kComponentBlank && !FindAttribute(&item, kAttrPart)) set(kAttrPart, "");
    const std::string_view defaultText = item.definition ? std::string_view(item.definition->name) : std::string_view();
    for (int slot = 0; slot < kTypeAttributeSlots; ++slot) {
        const int id = static_cast<int>(ComponentTypeAttribute(type, slot));
        if (id == 0) continue;
        std::string_view text = slot == 0 ? texts.main : std::string_view();
        switch (id) {
        case kAttrValue:
            if (type == kComponentMacro) text = defaultText;
            break;
        case kAttrName: text = defaultText; break;
        case kAttrModel:
        case kAttrTimingModel: text = texts.model; break;
        case kAttrIoModel: text = io; break;
        case kAttrMntymxdly:
        case kAttrIoLevel:
        case kAttrTimestep: text = "0"; break;
        case kAttrPowerNode: text = power; break;
        case kAttrGroundNode: text = ground; break;
        default: break;
        }
        set(id, text);
    }
    if (texts.showModel) ShowAttributeValue(item, ModelAttributeOf(type));
    if (texts.showMain) {
        if (const int main = MainAttributeOf(type)) ShowAttributeValue(item, main);
    }
    if (type == kComponentBlank) {
        for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes))
            attribute.display |= kAttrShowValue;
    }
    return status;
}

SchematicItem* PlaceNewComponent(WindowRecord* record, SchematicItem* item, bool abandon)
{
    if (!record || !record->document || !item) return item;
    CircuitDocument& document = *record->document;
    const int type = ItemComponentType(item);
    const std::uint16_t flags = item->definition ? item->definition->placementFlags : 0;
    if (HasNegativePinPosition(*item)) abandon = true;

    bool cancelled = false;
    bool numberTaken = false;
    int slot = -1;
    if (!abandon && !HasNoAttributes(type)) {
        const int modelAttribute = ModelAttributeOf(type);
        const NextPartName next = NextPartNumber(record, type);
        slot = next.slot;
        numberTaken = true;
        if (type != kComponentBlank) {
            SetAttribute(record, item, kAttrPart, next.name);
            if (flags & kDefShowPart) ShowAttributeValue(*item, kAttrPart);
        }

        const TakenDefaults taken = DefaultsFromDocument(document, *item, type);
        DefaultAttributeTexts texts;
        texts.power = taken.power;
        texts.ground = taken.ground;
        texts.io = taken.io;
        texts.main = taken.main;
        texts.model = taken.model;
        texts.showModel = (flags & kDefShowModel) != 0;
        texts.showMain = (flags & kDefShowMain) != 0;
        SetDefaultAttributes(record, *item, texts);
        if (flags & kDefShowPinText) item->style |= kStyleShowPinText;

        if ((flags & kDefDialogOnPlace) && !PlacedWithoutDialog(type) && item->definition) {
            const bool noModel = ModelTypeOf(type) == -1;
            const int id = noModel ? MainAttributeOf(type) : modelAttribute;
            if (id != 0) {
                SetAttribute(record, item, id, item->definition->name);
                if (noModel ? (flags & kDefShowMain) : (flags & kDefShowModel)) ShowAttributeValue(*item, id);
            }
        }

        if (!(flags & kDefDialogOnPlace) || SharesMainAttribute(type)) {
            document.connectivityStale = 0;
            if (!PlacedWithoutDialog(type))
                cancelled = EditComponentAttributes(record, item, kAttributeDialogPlacement) == 2;
            if (!cancelled && IsComponentPlacementMode(record)) {
                PlaceAttributeTexts(record, item);
                UpdatePartNumberMax(record, *item);
            }
        }
    }

    const bool removable = type != kComponentGround && type != kComponentJumper && type != kComponentBlank;
    if (IsComponentPlacementMode(record) && (cancelled || abandon) && removable) {
        RemovePlacedComponent(record, item);
        // Only a number that was taken goes back (an abandoned placement took none).
        if (numberTaken) ReturnPartNumber(record, type, slot);
        return nullptr;
    }
    // A demo's placements are not the user's: the list stays as it was.
    if (!Settings().batchRun && !Settings().demoRunning && item->definition)
        PushRecentName(Settings().recentComponents, item->definition->name);
    MarkModified(record);
    document.connectivityStale = 1;
    RedrawWindowParts(record, kRedrawAfterPlacing);
    SetUndoKind(record, kUndoPlaceItems);
    return item;
}

}  // namespace kq5
