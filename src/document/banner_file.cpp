#include "document/banner_file.h"

#include <algorithm>
#include <new>

#include "core/error_context.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/banner_stream.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/component_attributes.h"
#include "document/document_services.h"
#include "document/import_v4.h"
#include "document/part_numbering.h"
#include "document/section_stream.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

// Attribute texts stay within this distance of their component.
constexpr std::int32_t kMaxAttributeOffset = 1000;

std::int32_t ClampAttributeOffset(std::int32_t value)
{
    return std::clamp(value, -kMaxAttributeOffset, kMaxAttributeOffset);
}

// One attribute as the file holds it: its name, its value, then display bits, font and offset.
struct AttributeFields {
    std::string name;
    std::string value;
    std::uint16_t display = 0;
    FontSpec font;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
};

void TransferAttributeFields(BannerStream& s, AttributeFields& fields)
{
    std::int16_t display = static_cast<std::int16_t>(fields.display);
    s.Text(fields.name).Text(fields.value).Short(display).Font(fields.font, false);
    s.Int(fields.offsetX).Int(fields.offsetY, true);
    fields.display = static_cast<std::uint16_t>(display);
}

int WriteItem(BannerStream& s, const SchematicItem& item)
{
    std::string name = item.IsComponent() && item.definition ? item.definition->name : std::string();
    std::int16_t kind = static_cast<std::int16_t>(item.itemKind);
    std::int32_t x1 = item.x1, y1 = item.y1, x2 = item.x2, y2 = item.y2;
    std::uint8_t color = item.color;
    std::uint16_t style = item.style;
    s.Text(name).Short(kind).Int(x1).Int(y1);
    if (kind != kItemComponent) s.Int(x2).Int(y2);
    s.Color(color).Word(style);
    if (kind == kItemGraphicObject) {
        std::uint8_t fill = item.fillColor;
        s.Byte(fill);
    } else {
        std::int32_t orientation = kind == kItemWire ? 0 : item.orientation;
        s.Int(orientation);
    }
    std::int32_t count = item.attributes.count;
    s.Int(count, true);
    for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes)) {
        AttributeFields fields{std::string(AttributeName(attribute)), attribute.value, attribute.display,
                               attribute.font, attribute.textOffsetX, attribute.textOffsetY};
        TransferAttributeFields(s, fields);
    }
    std::int16_t page = item.page;
    s.Short(page, true);
    return s.Status();
}

// The key of an attribute name read from a file. Readers drop trailing blanks, and some table
// names end in one (" ISDTOA "), so a name is matched to the table without them as well.
AttributeKey FileAttributeKey(const std::string& name)
{
    if (int id = AttributeIdFromName(name)) return AttributeKey(id);
    for (int id = 1; id <= kAttributeTableSize; ++id) {
        std::string table(AttributeTableName(id));
        TrimRight(table);
        if (EqualsNoCase(table, name)) return AttributeKey(id);
    }
    return AttributeKey(name);
}

// Reads the attribute lines of an item; when a temporary component is given they are set on it.
int ReadItemAttributes(BannerStream& s, WindowRecord* record, SchematicItem* collector, std::int32_t count)
{
    for (std::int32_t i = 0; i < count && s.Ok(); ++i) {
        AttributeFields read;
        TransferAttributeFields(s, read);
        if (!s.Ok() || collector == nullptr || read.name.empty()) continue;
        ComponentAttribute* attribute = SetAttribute(record, collector, FileAttributeKey(read.name), read.value);
        if (attribute == nullptr) {
            s.Fail(kMsgInsufficientMemory);
            break;
        }
        attribute->display = read.display;
        attribute->font = read.font;
        attribute->textOffsetX = ClampAttributeOffset(read.offsetX);
        attribute->textOffsetY = ClampAttributeOffset(read.offsetY);
    }
    return s.Status();
}

}  // namespace

int ReadBannerHeader(int unit, std::int32_t version)
{
    FreeBannerFontNames();
    std::string line;
    if (int status = ReadUnitRawLine(unit, line)) return status;
    if (version == kPreviousGenerationVersion) return 0;
    BannerStream s(unit, version, 0);
    std::int32_t count = 0;
    s.Marker("fonts").Count(count, kMaxBannerFontNames);
    auto& names = DocumentServices().bannerFontNames;
    try {
        for (std::int32_t i = 0; i < count && s.Ok(); ++i) {
            std::string name;
            s.Text(name, kFaceNameLength);
            if (s.Ok()) names.push_back(std::move(name));
        }
    } catch (const std::bad_alloc&) {
        s.Fail(kMsgInsufficientMemory);
    }
    if (!s.Ok()) FreeBannerFontNames();
    return s.Status();
}

void FreeBannerFontNames()
{
    auto& names = DocumentServices().bannerFontNames;
    names.clear();
    names.shrink_to_fit();
}

int WriteBannerFile(WindowRecord* record, int unit)
{
    if (record == nullptr || !record->document) return 0;
    CircuitDocument& document = *record->document;
    BannerStream s(unit, kBannerFileVersion, 0);
    std::int32_t version = kBannerFileVersion;
    s.Fail(TransferVersionLine(unit, kBannerFileVersion, version));
    s.Fail(UnitPrintf(unit, "%s\n%s\n\n", LoadResString(kMsgProductLine).c_str(), LoadResString(kMsgMakerLine).c_str()));
    std::vector<std::string> faces = FontFaces().names;
    std::int32_t faceCount = static_cast<std::int32_t>(faces.size());
    s.Marker("fonts").Count(faceCount, kMaxBannerFontNames);
    for (std::string& face : faces) s.Text(face);
    std::int32_t count = document.itemList.count;
    s.Marker("components").Count(count, kMaxBannerItems);
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!s.Ok()) break;
        WriteItem(s, item);
    }
    if (s.Ok()) s.Fail(TransferDummyIntLine(unit));
    if (s.Ok()) s.Fail(TransferBannerBody(record, unit, 0x000B, kBannerFileVersion));
    return s.Status();
}

int ReadBannerComponentsBlock(WindowRecord* record, int unit, BannerLoadOptions options, std::int32_t version)
{
    BannerStream s(unit, version, options);
    std::int32_t count = 0;
    s.Marker("components").Count(count, kMaxBannerItems);
    for (std::int32_t i = 0; i < count && s.Ok(); ++i) s.Fail(TransferBannerItem(record, unit, options, version));
    if (!s.Ok()) return s.Status();
    if (version != kBannerFileVersion) MarkModified(record);
    return TransferDummyIntLine(unit);
}

int TransferBannerItem(WindowRecord* record, int unit, BannerLoadOptions options, std::int32_t version)
{
    if (record == nullptr || !record->document) return 0;
    if (version == kPreviousGenerationVersion) return ReadOldItemRecord(record, unit, options);
    BannerStream s(unit, version, options);
    ComponentDefinition* definition = nullptr;
    if (int status = ReadItemDefinition(s, options, definition)) return status;

    std::int16_t kind = 0;
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0, orientation = 0, count = 0;
    std::uint8_t color = 0, fill = 0;
    std::uint16_t style = 0;
    s.Short(kind).Check(kind >= kItemComponent && kind <= kItemGraphicObject).Int(x1).Int(y1);
    if (kind != kItemComponent) s.Int(x2).Int(y2);
    if (s.Ok()) s.Fail(ValidateItemPoint(options, x1, y1));
    // The second point is kept as drawn; it only has to be one a schematic can hold.
    if (s.Ok() && kind != kItemComponent) s.Fail(ValidateItemPoint(options & ~kLoadCheckItems, x2, y2));
    s.Color(color).Word(style);
    if (kind == kItemGraphicObject)
        s.Byte(fill);
    else
        s.Int(orientation);
    if (kind == kItemComponent) s.Check(IsValidOrientation(orientation));
    s.Count(count, kMaxBannerRows);
    if (!s.Ok()) return s.Status();

    const bool create = definition != nullptr || kind != kItemComponent;
    SchematicItem collector;
    collector.definition = definition;
    if (create && definition != nullptr &&
        SetDefaultAttributes(record, collector, FileReaderDefaultTexts()) != 0)
        return kMsgInsufficientMemory;
    ReadItemAttributes(s, record, create ? &collector : nullptr, count);
    std::int16_t page = 0;
    s.Short(page, true);
    if (s.Ok()) s.Fail(ValidatePage(page));
    if (!s.Ok() || !create) return s.Status();

    SchematicItem* item = NewSchematicItem(record);
    if (item == nullptr || CopyComponentAttributes(*item, collector) != 0) {
        if (item) ListRemove(record->document->itemList, item);
        return kMsgInsufficientMemory;
    }
    item->itemKind = static_cast<std::uint16_t>(kind);
    item->x1 = x1;
    item->y1 = y1;
    item->definition = definition;
    item->orientation = kind == kItemComponent ? static_cast<OrientationCode>(orientation) : 0;
    item->style = style;
    item->color = color;
    if (kind == kItemGraphicObject) item->fillColor = fill;
    if (kind != kItemComponent) {
        item->x2 = x2;
        item->y2 = y2;
    }
    item->page = page;
    if (item->IsComponent()) UpdatePartNumberMax(record, *item);
    return 0;
}

}  // namespace kq5
