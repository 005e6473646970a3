#include "document/section_items.h"

#include <algorithm>
#include <array>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/format.h"
#include "core/key_file.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/grid_text.h"
#include "document/node_flags.h"
#include "document/part_numbering.h"
#include "document/schematic_item.h"
#include "document/selection.h"
#include "document/component_definition.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr std::array<NamedBits, 11> kGraphicObjectKinds = {{
    {"Line", kObjectLine},
    {"Ellipse", kObjectEllipse},
    {"Rectangle", kObjectRectangle},
    {"Diamond", kObjectDiamond},
    {"Arc", kObjectArc},
    {"Pie", kObjectPie},
    {"MeasureV", kObjectMeasureV},
    {"Tag", kObjectTag},
    {"MeasureH", kObjectMeasureH},
    {"Picture", kObjectPicture},
    {"Text", kObjectText},
}};

constexpr std::uint16_t kStyleArrowEnd = 0x0001;
constexpr std::uint16_t kStyleArrow = 0x0002;
constexpr std::uint16_t kStyleRounded = 0x0002;
constexpr std::uint16_t kStyleWeight2 = 0x0004;
constexpr std::uint16_t kStyleWeight3 = 0x0008;
constexpr std::uint16_t kStyleBorder = 0x0080;
constexpr int kPatternShift = 4;
constexpr std::uint16_t kPatternMask = 0x0070;

constexpr std::array<NamedBits, 12> kStyleFlagTable = {{
    {"ArrowF", 0x0001},
    {"Arrow", 0x0002},
    {"Fill", 0x0001},
    {"Rounded", 0x0002},
    {"Weight2", 0x0004},
    {"Weight3", 0x0008},
    {"Border", 0x0080},
    {"Dash", 0x0010},
    {"Dot", 0x0020},
    {"DashDot", 0x0030},
    {"DashDotDot", 0x0040},
    {"ShowPinText", 0x8000},
}};

// Line pattern names by pattern value 1 to 4.
constexpr std::array<std::string_view, 5> kPatternNames = {"", "Dash", "Dot", "DashDot", "DashDotDot"};

constexpr std::int32_t kAttributeOffsetLimit = 1000;

void WritePage(SectionWriter& out, std::int16_t page)
{
    if (page != 0) out.Int("Page", page);
}

std::string FourCoordinates(const SchematicItem& item)
{
    return StrPrintf("%d,%d,%d,%d", item.x1, item.y1, item.x2, item.y2);
}

// The page of an item or grid text from a Page value.
int ReadPage(std::string_view value, std::int16_t& page)
{
    std::int32_t number = TextToInt(value);
    if (int status = ValidatePage(number)) return status;
    page = static_cast<std::int16_t>(number);
    return 0;
}

int ReadGrids(std::string value, SchematicItem& item)
{
    item.x1 = ReadKeyInt(value);
    item.y1 = ReadKeyInt(value);
    item.x2 = ReadKeyInt(value);
    item.y2 = ReadKeyInt(value);
    // Wires and objects are kept as read; only what a schematic cannot hold is refused.
    if (int status = ValidateItemPoint(0, item.x1, item.y1)) return status;
    return ValidateItemPoint(0, item.x2, item.y2);
}

void ReadFontKey(const KeyLine& line, FontSpec& font)
{
    if (line.key == "HEIGHT")
        font.height = static_cast<std::int16_t>(TextToInt(line.value));
    else if (line.key == "FSTYLE")
        font.style = static_cast<std::uint8_t>(TextToInt(line.value));
    else if (line.key == "COLOR")
        font.color = ReadColorIndex(line.value);
    else if (line.key == "FONT")
        font.face = static_cast<std::int16_t>(FindFontFace(line.value));
}

// Drops the item just read from the document; its [Attr] sections then find no item.
void DropItem(SectionStream& stream, SchematicItem* item)
{
    ListRemove(stream.Document().itemList, item);
    stream.currentItem = nullptr;
}

// A new item of the kind read from a file: no style yet, on page 0 until its Page key.
SchematicItem* NewFileItem(SectionStream& stream, std::uint16_t kind)
{
    SchematicItem* item = NewSchematicItem(stream.record);
    if (item == nullptr) return nullptr;
    item->itemKind = kind;
    item->style = 0;
    item->page = 0;
    return item;
}

std::string UserNameForFile(std::string name)
{
    RemoveChar(name, ',');
    RemoveChar(name, '=');
    return name;
}

int WriteAttrSections(SectionStream& stream)
{
    SchematicItem* item = stream.currentItem;
    if (item == nullptr) return 0;
    const CircuitDocument& document = stream.Document();
    SectionWriter out(stream.unit);
    for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item->attributes)) {
        // Commas and equals signs would split the name when the line is read back.
        if (attribute.keyId == 0 && !attribute.userName.empty()) attribute.userName = UserNameForFile(attribute.userName.str());
        out.Section("Attr");
        std::string value = StrPrintf("%d,%d,", attribute.textOffsetX, attribute.textOffsetY);
        value += AttributeName(attribute);
        value += ',';
        value += attribute.value;
        // Line breaks in the value are kept on the line as 0xFE bytes.
        out.String("ONV", value);
        if (attribute.display != 0) out.Int("Style", attribute.display);
        out.FontChanges(attribute.font, document.attributeFont);
        if (out.status != 0) break;
    }
    return out.status;
}

// The x and y offsets, the name up to the next comma and the text after it.
struct OnvFields {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::string name;
    std::string text;
};

OnvFields SplitOnv(std::string value)
{
    OnvFields fields;
    fields.x = ReadKeyInt(value);
    fields.y = ReadKeyInt(value);
    // The name is taken as written: the blanks of " ISDTOA " and " TEMPPART" belong to it.
    std::size_t comma = value.find(',');
    fields.name = value.substr(0, comma);
    if (comma != std::string::npos) fields.text = value.substr(comma + 1);
    return fields;
}

int ReadAttrSection(SectionStream& stream)
{
    if (stream.currentItem == nullptr) return SkipSection(stream);
    SchematicItem& item = *stream.currentItem;
    ComponentAttribute* attribute = nullptr;
    KeyLine line;
    int status = 0;
    while (NextTextLine(stream, line, status)) {
        if (line.key == "ONV") {
            OnvFields fields = SplitOnv(line.value);
            // An attribute without a name is not kept.
            if (fields.name.empty()) {
                attribute = nullptr;
                continue;
            }
            attribute = SetAttribute(stream.record, &item, AttributeKey(std::string_view(fields.name)), fields.text);
            // The allocator has reported the lack of memory.
            if (attribute == nullptr) return kMsgAlreadyReported;
            attribute->textOffsetX = std::clamp(fields.x, -kAttributeOffsetLimit, kAttributeOffsetLimit);
            attribute->textOffsetY = std::clamp(fields.y, -kAttributeOffsetLimit, kAttributeOffsetLimit);
        } else if (attribute != nullptr) {
            if (line.key == "STYLE")
                attribute->display = static_cast<std::uint16_t>(TextToInt(line.value));
            else
                ReadFontKey(line, attribute->font);
        }
    }
    return status;
}

}  // namespace

std::uint16_t ObjectKindFromName(std::string_view name)
{
    for (const NamedBits& kind : kGraphicObjectKinds) {
        if (EqualsNoCase(kind.name, name)) return static_cast<std::uint16_t>(kind.bits);
    }
    return 0;
}

std::string_view ObjectKindName(std::uint16_t kind)
{
    for (const NamedBits& entry : kGraphicObjectKinds) {
        if (entry.bits == kind) return entry.name;
    }
    return {};
}

std::uint16_t ParseStyleFlags(std::string_view text)
{
    return static_cast<std::uint16_t>(ParseNamedBits(text, kStyleFlagTable));
}

int IsFillableObjectKind(std::uint16_t style)
{
    switch (style & kStyleKindMask) {
    case kObjectEllipse:
    case kObjectRectangle:
    case kObjectDiamond:
    case kObjectPie:
    case kObjectPicture: return 1;
    default: return 0;
    }
}

int WriteStyleKeys(int unit, std::uint16_t style, bool withKind, bool* fillable)
{
    const std::uint16_t kind = style & kStyleKindMask;
    if (fillable != nullptr) *fillable = IsFillableObjectKind(style) != 0;
    if (withKind) {
        std::string_view name = ObjectKindName(kind);
        if (!name.empty()) {
            if (int status = WriteKeyString(unit, "Object", name)) return status;
        }
    }
    std::string names;
    auto add = [&names](std::string_view name) {
        if (!names.empty()) names += ',';
        names += name;
    };
    if (kind == kObjectLine) {
        if (style & kStyleArrowEnd)
            add("ArrowF");
        else if (style & kStyleArrow)
            add("Arrow");
    } else {
        if (style & kStyleBorder) add("Border");
        if (style & kStyleFill) add("Fill");
    }
    if (kind == kObjectRectangle && (style & kStyleRounded)) add("Rounded");
    if (style & kStyleWeight2)
        add("Weight2");
    else if (style & kStyleWeight3)
        add("Weight3");
    const int pattern = (style & kPatternMask) >> kPatternShift;
    if (kind != kObjectText && pattern >= 1 && pattern <= 4) add(kPatternNames[static_cast<std::size_t>(pattern)]);
    if (style & kStyleShowPinText) add("ShowPinText");
    if (names.empty()) return 0;
    return WriteKeyString(unit, "Style", names);
}

int TransferAttrSections(SectionStream& stream)
{
    return stream.IsWriting() ? WriteAttrSections(stream) : ReadAttrSection(stream);
}

int TransferCompSection(SectionStream& stream)
{
    if (stream.IsWriting()) {
        const SchematicItem& item = *stream.currentItem;
        SectionWriter out(stream.unit);
        out.Section("Comp");
        out.String("Name", item.definition ? item.definition->name : std::string());
        if (out.status == 0) out.status = WriteStyleKeys(out.unit, item.style, false, nullptr);
        out.String("Grid", StrPrintf("%d,%d", item.x1, item.y1));
        if (item.orientation != 0) out.Int("Rot", item.orientation);
        WritePage(out, item.page);
        return out.status != 0 ? out.status : WriteAttrSections(stream);
    }
    SchematicItem* item = NewFileItem(stream, kItemComponent);
    if (item == nullptr) return kMsgInsufficientMemory;
    stream.currentItem = item;
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "NAME") {
            status = ResolveItemDefinition(line.value, stream.loadOptions, item->definition);
        } else if (line.key == "STYLE") {
            item->style |= ParseStyleFlags(line.value);
        } else if (line.key == "GRID") {
            std::string value = line.value;
            item->x1 = ReadKeyInt(value);
            item->y1 = ReadKeyInt(value);
            status = ValidateItemPoint(stream.loadOptions, item->x1, item->y1);
        } else if (line.key == "ROT") {
            std::int32_t code = TextToInt(line.value);
            if (!IsValidOrientation(code)) {
                // A checking load repairs the code; any other load refuses the file.
                if (!(stream.loadOptions & kLoadCheckItems)) status = kMsgBadFormat;
                code = 0;
            }
            item->orientation = static_cast<OrientationCode>(code);
        } else if (line.key == "PAGE") {
            status = ReadPage(line.value, item->page);
        }
        if (status != 0) break;
    }
    if (status != 0 || item->definition == nullptr) {
        if (status == 0) ++CircuitFiles().droppedItems;
        DropItem(stream, item);
        return status;
    }
    if (int defaults = SetDefaultAttributes(stream.record, *item, FileReaderDefaultTexts())) {
        return defaults == kMsgInsufficientMemory ? kMsgAlreadyReported : defaults;
    }
    return 0;
}

int TransferWireSection(SectionStream& stream)
{
    if (stream.IsWriting()) {
        const SchematicItem& item = *stream.currentItem;
        SectionWriter out(stream.unit);
        out.Section("Wire");
        out.String("Grids", FourCoordinates(item));
        WritePage(out, item.page);
        return out.status;
    }
    SchematicItem* item = NewFileItem(stream, kItemWire);
    if (item == nullptr) return kMsgInsufficientMemory;
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "GRIDS")
            status = ReadGrids(line.value, *item);
        else if (line.key == "PAGE")
            status = ReadPage(line.value, item->page);
        if (status != 0) break;
    }
    if (status != 0) DropItem(stream, item);
    return status;
}

int TransferObjectSection(SectionStream& stream)
{
    const CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        const SchematicItem& item = *stream.currentItem;
        SectionWriter out(stream.unit);
        bool fillable = false;
        out.Section("Object");
        if (out.status == 0) out.status = WriteStyleKeys(out.unit, item.style, true, &fillable);
        out.String("Grids", FourCoordinates(item));
        if (item.color != document.circuitObjectFont.color) out.Int("Color", item.color);
        if (fillable) out.Int("CFill", item.fillColor);
        WritePage(out, item.page);
        return out.status != 0 ? out.status : WriteAttrSections(stream);
    }
    SchematicItem* item = NewFileItem(stream, kItemGraphicObject);
    if (item == nullptr) return kMsgInsufficientMemory;
    stream.currentItem = item;
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "OBJECT")
            item->style |= ObjectKindFromName(line.value);
        else if (line.key == "STYLE")
            item->style |= ParseStyleFlags(line.value);
        else if (line.key == "GRIDS")
            status = ReadGrids(line.value, *item);
        else if (line.key == "COLOR")
            item->color = ReadColorIndex(line.value);
        else if (line.key == "CFILL")
            item->fillColor = ReadColorIndex(line.value);
        else if (line.key == "PAGE")
            status = ReadPage(line.value, item->page);
        if (status != 0) break;
    }
    if (status != 0 || item->ObjectKind() == 0) {
        DropItem(stream, item);
        return status;
    }
    // A closed shape with neither border nor fill would not be seen.
    if (IsFillableObjectKind(item->style) && item->ObjectKind() != kObjectPicture &&
        !(item->style & (kStyleBorder | kStyleFill)))
        item->style |= kStyleBorder;
    return 0;
}

int TransferGridTextSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        for (const GridText& text : ListRecords<GridText>(document.gridTextList)) {
            out.Section(text.IsFlag() ? "Flag" : "Grid Text");
            out.String("Text", text.text);
            out.String("Grid", StrPrintf("%d,%d", text.x, text.y));
            out.FontChanges(text.font, document.gridTextFont);
            WritePage(out, text.page);
            if (out.status != 0) break;
        }
        return out.status;
    }
    const bool isFlag = EqualsNoCase(stream.pendingLine, "[Flag]");
    GridText* text = NewGridText(stream.record);
    if (text == nullptr) return kMsgInsufficientMemory;
    text->page = 0;
    if (isFlag) text->flags |= kGridTextIsFlag;
    KeyLine line;
    int status = 0;
    while (NextTextLine(stream, line, status)) {
        if (line.key == "TEXT") {
            text->text = line.value;
        } else if (line.key == "GRID") {
            std::string value = line.value;
            text->x = ReadKeyInt(value);
            text->y = ReadKeyInt(value);
        } else if (line.key == "PAGE") {
            status = ReadPage(line.value, text->page);
            if (status != 0) break;
        } else {
            ReadFontKey(line, text->font);
        }
    }
    if (status == 0) {
        UpdateNodeLabelFlag(*text);
        status = ValidateItemPoint(stream.loadOptions, text->x, text->y);
    }
    if (status != 0) ListRemove(document.gridTextList, text);
    return status;
}

SchematicItem* AddComponentAtPoint(WindowRecord* record, int x, int y)
{
    ComponentDefinition* definition = ChosenComponentDefinition();
    if (definition == nullptr) return nullptr;
    if (definition->shapeIndex == 0) {
        ClearSelection(record);
        return nullptr;
    }
    if (x < 1 || y < 1 || x >= 32000 || y >= 32000) return nullptr;
    SchematicItem* item = NewSchematicItem(record);
    if (item == nullptr) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        ClearSelection(record);
        return nullptr;
    }
    item->itemKind = kItemComponent;
    item->x1 = x;
    item->y1 = y;
    item->definition = definition;
    item->selection = kSelected | kSelectNew;
    item->orientation = static_cast<OrientationCode>(DefinitionOrientation(*definition));
    if (SetComponentPinNodeCount(*item, ItemPinCount(item)) != 0) {
        ListRemove(record->document->itemList, item);
        ReportMessage("WE", record, kMsgInsufficientMemory);
        ClearSelection(record);
        return nullptr;
    }
    return item;
}

}  // namespace kq5
