#include "document/import_v4.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/error_context.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/banner_stream.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/file_names.h"
#include "document/node_flags.h"
#include "document/part_numbering.h"
#include "document/section_stream.h"
#include "document/component_types.h"
#include "results/curve_record.h"
#include "document/component_definition.h"
#include "document/component_library.h"

namespace kq5 {

namespace {

constexpr std::uint16_t kShowValue = kAttrShowValue;
constexpr std::uint16_t kBlankAttributeBit = 0x20;
constexpr std::uint16_t kStyleBorder = 0x0080;
constexpr int kMinOldFontHeight = 8;
constexpr int kOldPinLetterCount = 26;  // ".pin 1" to ".pin 26" name pins A to Z

// The dot commands a schematic's texts may hold.
constexpr std::array<std::string_view, 17> kSchematicDotCommands = {
    "MODEL", "NODESET", "INC", "INCLUDE", "LIB", "LIBRARY", "IC", "OPTIONS", "SKIP_L_LOOP",
    "SUBCKT", "ENDS", "MACRO", "DEFINE", "OPT", "PARAMETERS", "PARAM", "LOADOP"};

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string FirstWord(std::string_view text) { return std::string(text.substr(0, text.find(' '))); }

std::string AfterFirstWord(std::string_view text)
{
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return std::string();
    std::string rest(text.substr(blank + 1));
    return TrimLeft(rest);
}

bool IsFillableObjectKind(std::uint16_t style)
{
    const std::uint16_t kind = style & kStyleKindMask;
    return kind == kObjectEllipse || kind == kObjectRectangle || kind == kObjectDiamond || kind == kObjectPie ||
           kind == kObjectPicture;
}

bool TakesModel(const ComponentTypeRow& row) { return row.modelType != -1 && !(row.flags & kTypeModelOptional); }

ComponentAttribute* SetShownAttribute(WindowRecord* record, SchematicItem& item, int id, std::string_view text)
{
    ComponentAttribute* attribute = SetAttribute(record, &item, id, text);
    if (attribute) {
        attribute->display = kShowValue;
        attribute->font = record->document->attributeFont;
    }
    return attribute;
}

// The component text of a 4.00 file made into attributes.
int ConvertOldComponentText(WindowRecord* record, SchematicItem& item, std::string_view oldText)
{
    const int type = ItemComponentType(&item);
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    if (row == nullptr) return 0;
    const std::string text = ConvertCaretToDoubleStar(oldText);
    if (type != kComponentBlank && !SetShownAttribute(record, item, kAttrPart, FirstWord(text)))
        return kMsgInsufficientMemory;
    if (SetDefaultAttributes(record, item, FileReaderDefaultTexts()) != 0) return kMsgInsufficientMemory;
    const bool takesModel = TakesModel(*row);
    if (row->mainAttribute != 0 && type != kComponentTie &&
        !SetShownAttribute(record, item, static_cast<int>(row->mainAttribute), takesModel ? AfterFirstWord(text) : text))
        return kMsgInsufficientMemory;
    if (takesModel) {
        const bool digital = row->domain == kDomainDigital;
        if (!SetAttribute(record, &item, digital ? kAttrTimingModel : kAttrModel, digital ? "D0_GATE" : text))
            return kMsgInsufficientMemory;
    }
    if (type == kComponentSubckt) {
        const std::size_t comma = text.find(',');
        const std::string file =
            comma != std::string::npos ? text.substr(0, comma) : GetFileBaseName(GetRecordTitle(record));
        if (!SetAttribute(record, &item, kAttrFile, file)) return kMsgInsufficientMemory;
    }
    UpdatePartNumberMax(record, item);
    return 0;
}

// Old texts repeated the part name in front of the value; it is the PART attribute now.
std::string WithoutPartName(const SchematicItem& item, std::string_view text)
{
    const std::string& part = GetAttributeText(&item, kAttrPart);
    if (!part.empty() && EqualsNoCase(FirstWord(text), part)) return AfterFirstWord(text);
    return std::string(text);
}

struct ModelCounter {
    int next = 1;
};

// "TC=a[,b]" and "LOT=x" of a resistor, capacitor or inductor become parameters of a new model.
int ConvertOldPassiveParameters(WindowRecord* record, SchematicItem& item, std::string& value, ModelCounter& counter)
{
    const int type = ItemComponentType(&item);
    const char* modelType = type == kComponentResistor ? "RES" : type == kComponentCapacitor ? "CAP" : "IND";
    const char letter = type == kComponentResistor ? 'R' : type == kComponentCapacitor ? 'C' : 'L';
    std::string kept;
    std::string parameters;
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find(' ', start);
        if (end == std::string::npos) end = value.size();
        const std::string token = value.substr(start, end - start);
        start = end + 1;
        if (token.empty()) continue;
        if (StartsWithNoCase(token, "TC=")) {
            std::string values = token.substr(3);
            const std::optional<std::string> second = SplitAtChar(values, ',');
            parameters += StrPrintf("TC1=%s ", values.c_str());
            if (second) parameters += StrPrintf("TC2=%s ", second->c_str());
        } else if (StartsWithNoCase(token, "LOT=")) {
            parameters += StrPrintf("%c=1.0 LOT=%s ", letter, token.substr(4).c_str());
        } else {
            if (!kept.empty()) kept += ' ';
            kept += token;
        }
    }
    if (parameters.empty()) return 0;
    TrimRight(parameters);
    value = kept;
    const std::string name = StrPrintf("%s%d", modelType, counter.next++);
    if (!SetAttribute(record, &item, kAttrModel, name)) return kMsgInsufficientMemory;
    record->textArea += StrPrintf("\r\n.MODEL %s %s (%s)", name.c_str(), modelType, parameters.c_str());
    return 0;
}

// "PART MODEL rest" in the MODEL attribute: the model name stays there; the rest is returned.
std::string SplitOldModelText(WindowRecord* record, SchematicItem& item, int& status)
{
    const std::string words = WithoutPartName(item, GetAttributeText(&item, kAttrModel));
    status = SetAttribute(record, &item, kAttrModel, FirstWord(words)) ? 0 : kMsgInsufficientMemory;
    return AfterFirstWord(words);
}

// Splits the old-style attribute texts of one component.
int SplitOldAttributeTexts(WindowRecord* record, SchematicItem& item, ModelCounter& counter)
{
    const int type = ItemComponentType(&item);
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    if (row == nullptr || type == kComponentTie || type == kComponentBlank) return 0;
    const bool analogModel = TakesModel(*row) && row->domain != kDomainDigital;
    int status = 0;
    // Sources whose only text is their model ("V1 STEP").
    if (row->mainAttribute == 0) {
        if (analogModel) SplitOldModelText(record, item, status);
        return status;
    }
    const int main = static_cast<int>(row->mainAttribute);
    ComponentAttribute* mainAttribute = FindAttribute(&item, main);
    if (mainAttribute == nullptr) return 0;
    std::string value = mainAttribute->value;
    if (type == kComponentSubckt) {
        // The part before the comma went to FILE.
        if (std::optional<std::string> name = SplitAtChar(value, ',')) value = *name;
    } else if (type >= kComponentGIofV && type <= kComponentHVofI) {
        if (value.size() >= 2 && std::isalpha(static_cast<unsigned char>(value[0])) &&
            std::isalpha(static_cast<unsigned char>(value[1])) &&
            (value.size() == 2 || value[2] == ' ' || value[2] == '=')) {
            value.erase(0, std::min<std::size_t>(3, value.size()));
            TrimLeft(value);
        }
    } else if (analogModel) {
        // The model name, and what follows it as the value.
        std::string rest = SplitOldModelText(record, item, status);
        if (status != 0) return status;
        if (main != kAttrModel) value = std::move(rest);
    } else {
        value = WithoutPartName(item, value);
        if (type == kComponentResistor || type == kComponentCapacitor || type == kComponentInductor) {
            if (int status = ConvertOldPassiveParameters(record, item, value, counter)) return status;
        }
        const int next = static_cast<int>(ComponentTypeAttribute(type, 1));
        const std::size_t blank = value.find(' ');
        if (next != 0 && blank != std::string::npos) {
            std::string rest = value.substr(blank + 1);
            value.erase(blank);
            if (!SetAttribute(record, &item, next, TrimLeft(rest))) return kMsgInsufficientMemory;
        }
    }
    mainAttribute = FindAttribute(&item, main);
    return mainAttribute ? SetAttributeValue(*mainAttribute, value) : 0;
}

bool IsAcceptedDotLine(std::string_view line)
{
    std::size_t end = 1;
    while (end < line.size() && IsWordChar(line[end])) ++end;
    const std::string_view keyword = line.substr(1, end - 1);
    return std::any_of(kSchematicDotCommands.begin(), kSchematicDotCommands.end(),
                       [keyword](std::string_view name) { return EqualsNoCase(name, keyword); });
}

ComponentDefinition* CouplingDefinition()
{
    for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(ComponentLibrary().definitions))
        if (definition.type == kComponentK) return &definition;
    return nullptr;
}

// ".MUTUAL L1 L2 k" becomes a coupling component at the text's place.
int MakeCouplingComponent(WindowRecord* record, const GridText& text)
{
    ComponentDefinition* definition = CouplingDefinition();
    if (definition == nullptr) return 0;
    std::string words = AfterFirstWord(text.text);
    CollapseBlankRuns(TrimRight(words));
    const std::size_t lastBlank = words.rfind(' ');
    const std::string inductors = lastBlank == std::string::npos ? std::string() : words.substr(0, lastBlank);
    const std::string coupling = lastBlank == std::string::npos ? words : words.substr(lastBlank + 1);
    SchematicItem* item = NewSchematicItem(record);
    if (item == nullptr) return kMsgInsufficientMemory;
    item->itemKind = kItemComponent;
    item->definition = definition;
    item->x1 = text.x;
    item->y1 = text.y;
    item->page = text.page;
    const NextPartName part = NextPartNumber(record, kComponentK);
    if (SetDefaultAttributes(record, *item, FileReaderDefaultTexts()) != 0 ||
        !SetShownAttribute(record, *item, kAttrPart, part.name) || !SetAttribute(record, item, kAttrInductors, inductors) ||
        !SetAttribute(record, item, kAttrCoupling, coupling))
        return kMsgInsufficientMemory;
    return 0;
}

// Comments out the dot-command lines of a grid text that the program does not accept.
int CommentOutOldDotCommands(WindowRecord* record, GridText& text)
{
    if (StartsWithNoCase(text.text, ".MUTUAL") &&
        (text.text.size() == 7 || !IsWordChar(text.text[7]))) {
        if (int status = MakeCouplingComponent(record, text)) return status;
        text.text[0] = '*';
        return 0;
    }
    std::size_t start = 0;
    while (start < text.text.size()) {
        if (text.text[start] == '.' && !IsAcceptedDotLine(std::string_view(text.text).substr(start))) text.text[start] = '*';
        const std::size_t end = text.text.find('\n', start);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return 0;
}

// "db(n)" of an old expression names the node's voltage now: "db(v(n))".
std::string ConvertOldExpression(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool wordStart = i == 0 || !IsWordChar(text[i - 1]);
        if (wordStart && StartsWithNoCase(text.substr(i), "db(")) {
            const std::size_t close = text.find(')', i + 3);
            const std::string_view node = close == std::string_view::npos ? std::string_view() : text.substr(i + 3, close - i - 3);
            if (!node.empty() && node.find_first_of("(,") == std::string_view::npos) {
                out += StrPrintf("%s(v(%s))", std::string(text.substr(i, 2)).c_str(), std::string(node).c_str());
                i = close + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

std::uint8_t OldGridTextStyle(std::int16_t style)
{
    std::uint8_t out = 0;
    if (style & 1) out |= kFontBold;
    if (style & 2) out |= kFontItalic;
    if (style & 4) out |= kFontUnderline;
    return out;
}

// ".pin n" names pin letter n (1 is A). 0, or 15009 for a pin number without a letter.
int ConvertOldPinText(std::string& text)
{
    if (!StartsWithNoCase(text, ".pin")) return 0;
    std::string rest = text.substr(4);
    if (!rest.empty() && !std::isdigit(static_cast<unsigned char>(rest[0])) && rest[0] != ' ') return 0;
    TrimLeft(rest);
    std::size_t digits = 0;
    while (digits < rest.size() && digits < 4 && std::isdigit(static_cast<unsigned char>(rest[digits]))) ++digits;
    const int number = digits == 0 ? 0 : std::stoi(rest.substr(0, digits));
    if (number < 1 || number > kOldPinLetterCount) return kMsgBadFormat;
    text = StrPrintf("Pin%c", static_cast<char>(64 + number));
    return 0;
}

}  // namespace

std::string ConvertCaretToDoubleStar(std::string_view text)
{
    if (!text.empty() && text.front() == '^') return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '^')
            out += "**";
        else
            out += c;
    }
    return out;
}

std::string ConvertDerivativeName(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        out += c;
        if ((c != 'D' && c != 'd') || (i > 0 && IsWordChar(text[i - 1]))) continue;
        std::size_t next = i + 1;
        while (next < text.size() && text[next] == ' ') ++next;
        if (next < text.size() && text[next] == '(') out += "el";
    }
    return out;
}

std::string ConvertOldLimitsExpression(std::string_view text)
{
    return ConvertDerivativeName(ConvertCaretToDoubleStar(text));
}

std::uint32_t OldOptionTextToWord(std::string_view text, int analysisKind)
{
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = ToUpperChar(text[i]);
        const char next = i + 1 < text.size() ? ToUpperChar(text[i + 1]) : '\0';
        switch (c) {
        case 'D': word |= 0x01; break;
        case 'R': word |= 0x02; break;
        case 'T': word |= 0x04; break;
        case 'X': word |= 0x08; break;
        case 'Y': word |= 0x10; break;
        case 'Z': word |= 0x20; break;
        case 'J': if (analysisKind == 0) word |= 0x40; break;
        case 'K': if (analysisKind == 0) word |= 0x80; break;
        case '2':
            if (analysisKind == 0 && next == 'B') word |= 0x0400;
            if (analysisKind == 0 && next == 'C') word |= 0x0800;
            break;
        case '3':
            // The second option byte lies above the first two bytes of the word.
            if (analysisKind <= 1 && next == 'B') word |= 0x10000;
            if (analysisKind <= 1 && next == 'C') word |= 0x20000;
            break;
        default: break;
        }
    }
    return word;
}

void ConvertOldShortToWire(SchematicItem& item)
{
    const ComponentDefinition* definition = item.definition;
    const DefinitionPin none;
    const DefinitionPin& pin0 = definition && !definition->pins.empty() ? definition->pins[0] : none;
    const DefinitionPin& pin1 = definition && definition->pins.size() > 1 ? definition->pins[1] : none;
    const win::POINT first = TransformByOrientation(item.orientation, pin0.dx, pin0.dy);
    const win::POINT span = TransformByOrientation(item.orientation, pin1.dx - pin0.dx, pin1.dy - pin0.dy);
    item.x1 += first.x;
    item.y1 += first.y;
    item.x2 = item.x1 + span.x;
    item.y2 = item.y1 + span.y;
    item.itemKind = kItemWire;
    item.definition = nullptr;
    item.orientation = 0;
    ListClear(item.attributes);
}

int ReadOldItemRecord(WindowRecord* record, int unit, std::uint32_t options)
{
    BannerStream s(unit, kPreviousGenerationVersion, options);
    ComponentDefinition* definition = nullptr;
    if (int status = ReadItemDefinition(s, options, definition)) return status;
    std::int32_t x = 0, y = 0, orientation = 0, count = 0;
    s.Int(x).Int(y).Int(orientation, true).Check(IsValidOrientation(orientation));
    s.Int(count).Check(count >= 0 && count < kMaxBannerRows);
    for (std::int32_t i = 0; i <= count && s.Ok(); ++i) {
        std::int32_t ignored = 0;
        s.Int(ignored, i == count);
    }
    std::string text;
    s.Text(text);
    if (s.Ok()) s.Fail(ValidateItemPoint(options, x, y));
    if (!s.Ok() || definition == nullptr) return s.Status();

    SchematicItem* item = NewSchematicItem(record);
    if (item == nullptr) return kMsgInsufficientMemory;
    item->itemKind = kItemComponent;
    item->definition = definition;
    item->x1 = x;
    item->y1 = y;
    item->orientation = static_cast<OrientationCode>(orientation);
    item->page = 0;
    const int type = definition->type;
    if (type == kComponentShort) {
        ConvertOldShortToWire(*item);
        return 0;
    }
    if (type == kComponentGround || type == kComponentJumper) return 0;
    return ConvertOldComponentText(record, *item, text);
}

int ReadOldGridTextRecord(WindowRecord* record, int unit, std::uint32_t options)
{
    BannerStream s(unit, kPreviousGenerationVersion, options);
    std::int32_t x = 0, y = 0, ignored = 0;
    std::int16_t number = -1, height = 0, style = 0;
    std::string text;
    s.Int(x).Int(y).Short(number).Short(height).Int(ignored).Short(style).Text(text);
    if (!s.Ok()) return s.Status();
    if (int status = ConvertOldPinText(text)) return status;
    if (StartsWithNoCase(text, ".define")) text = ConvertCaretToDoubleStar(text);
    if (y < 1) y = 1;
    if (int status = ValidateItemPoint(options, x, y)) return status;
    GridText* gridText = NewGridText(record);
    if (gridText == nullptr) return kMsgInsufficientMemory;
    gridText->x = x;
    gridText->y = y;
    gridText->number = number;
    gridText->page = 0;
    gridText->font = record->document->gridTextFont;
    gridText->font.height = static_cast<std::int16_t>(-(std::max<int>(height, kMinOldFontHeight) + 2));
    gridText->font.style = OldGridTextStyle(style);
    gridText->text = std::move(text);
    UpdateNodeLabelFlag(*gridText);
    return 0;
}

void ConvertOldObjectColours(WindowRecord* record)
{
    if (record == nullptr || !record->document) return;
    if (record->plot) {
        for (PlotObject& object : ListRecords<PlotObject>(record->plot->objects)) object.color = object.fillColor;
    }
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (item.itemKind != kItemGraphicObject) continue;
        if (IsFillableObjectKind(item.style) && item.ObjectKind() != kObjectPicture) item.style |= kStyleBorder;
        item.fillColor = item.color;
    }
}

void ConvertOldLimitsRows(WindowRecord* record)
{
    if (record == nullptr || !record->document) return;
    CircuitDocument& document = *record->document;
    for (std::vector<LimitsRow>& rows : document.limitsRows) {
        for (LimitsRow& row : rows) {
            // The previous generation kept the plot group in the low bits of the colour.
            const int group = row.color & 0x07;
            row.plotGroup = group ? static_cast<char>('0' + group) : 0;
            row.color = 0;
            row.enabled = 1;
            row.xRange.clear();
            row.yRange.clear();
        }
    }
    for (std::size_t i = 0; i < document.pages.size(); ++i) document.pages[i].name = StrPrintf("Page %d", static_cast<int>(i + 1));
}

int ConvertOldCircuit(WindowRecord* record)
{
    if (record == nullptr || !record->document) return 0;
    CircuitDocument& document = *record->document;
    ModelCounter counter;
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!item.IsComponent()) continue;
        const int type = ItemComponentType(&item);
        for (int slot = 0; slot < kTypeAttributeSlots; ++slot) {
            const int id = static_cast<int>(ComponentTypeAttribute(type, slot));
            ComponentAttribute* attribute = id ? FindAttribute(&item, id) : nullptr;
            if (attribute == nullptr) continue;
            if (type == kComponentBlank) attribute->display |= kBlankAttributeBit;
        }
        if (int status = SplitOldAttributeTexts(record, item, counter)) return status;
        UpdatePartNumberMax(record, item);
    }
    // Coupling components made from ".MUTUAL" lines are appended while the texts are walked.
    for (ListNode* node = document.gridTextList.head; node != nullptr; node = node->next) {
        GridText& text = *static_cast<GridText*>(node);
        if (text.text.empty() || text.text.front() != '.') continue;
        if (int status = CommentOutOldDotCommands(record, text)) return status;
        UpdateNodeLabelFlag(text);
    }
    for (std::vector<LimitsRow>& rows : document.limitsRows) {
        for (LimitsRow& row : rows) {
            row.xExpression = ConvertOldExpression(row.xExpression);
            row.yExpression = ConvertOldExpression(row.yExpression);
        }
    }
    return 0;
}

}  // namespace kq5
