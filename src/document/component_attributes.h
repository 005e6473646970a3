#pragma once
// Attributes of components: named texts (PART, VALUE, MODEL, ...) that the circuit build turns
// into device parameters and the schematic shows beside the component. Names come from a fixed
// table of 41 predefined attributes or are free names typed by the user.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/font_description.h"
#include "core/linked_list.h"
#include "platform/win_types.h"

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

// Ids of the predefined attributes (rows of the attribute table, from 1).
enum AttributeId : int {
    kAttrNone = 0,
    kAttrPart = 1,
    kAttrValue = 2,
    kAttrModel = 3,
    kAttrFile = 4,
    kAttrName = 5,
    kAttrTimingModel = 6,
    kAttrIoModel = 7,
    kAttrMntymxdly = 8,
    kAttrIoLevel = 9,
    kAttrPowerNode = 10,
    kAttrGroundNode = 11,
    kAttrFormat = 12,
    kAttrCommand = 13,
    kAttrTimestep = 14,
    kAttrLogic = 15,
    kAttrPinDelay = 16,
    kAttrConstraint = 17,
    kAttrData = 18,
    kAttrText = 19,
    kAttrFormula = 20,
    kAttrInductors = 21,
    kAttrCoupling = 22,
    kAttrSize = 23,
    kAttrTable = 24,
    kAttrLaplace = 25,
    kAttrFreq = 26,
    kAttrChebyshev = 27,
    kAttrRef = 28,
    kAttrExpression = 29,
    kAttrParams = 30,     // "PARAMS:"
    kAttrSigNames = 31,
    kAttrTextColon = 32,  // "TEXT:"
    kAttrIsDtoA = 33,     // " ISDTOA "
    kAttrSpiceName = 34,  // " SPICENAME "
    kAttrKeyword = 35,
    kAttrIs = 36,
    kAttrClockFrequency = 37,
    kAttrZexp = 38,
    kAttrExpr = 39,
    kAttrPeriod = 40,
    kAttrTempPart = 41,   // " TEMPPART"
};

constexpr int kAttributeTableSize = 41;
// Keys up to this value are ids; only 1 to 41 name an attribute.
constexpr int kMaxAttributeId = 255;

// The name of row id - 1 of the attribute table; empty for ids outside 1 to 41.
std::string_view AttributeTableName(int id);

// Display bits of an attribute.
constexpr std::uint16_t kAttrShowName = 0x1000;
constexpr std::uint16_t kAttrShowValue = 0x2000;

// A text that is nearly always empty, held out of line: one pointer while empty. Copies are
// deep; assigning may throw std::bad_alloc, leaving the text as it was.
class OutOfLineText {
public:
    OutOfLineText() = default;
    OutOfLineText(const OutOfLineText& other) : text_(other.empty() ? nullptr : std::make_unique<std::string>(*other.text_)) {}
    OutOfLineText& operator=(const OutOfLineText& other)
    {
        if (this != &other) *this = other.str();
        return *this;
    }
    OutOfLineText(OutOfLineText&&) noexcept = default;
    OutOfLineText& operator=(OutOfLineText&&) noexcept = default;
    OutOfLineText& operator=(std::string text)
    {
        if (text.empty())
            text_.reset();
        else if (text_)
            *text_ = std::move(text);
        else
            text_ = std::make_unique<std::string>(std::move(text));
        return *this;
    }

    bool empty() const { return !text_ || text_->empty(); }
    void clear() { text_.reset(); }
    const std::string& str() const
    {
        static const std::string kEmpty;
        return text_ ? *text_ : kEmpty;
    }
    operator std::string_view() const { return str(); }
    friend bool operator==(const OutOfLineText& text, std::string_view other) { return text.str() == other; }

private:
    std::unique_ptr<std::string> text_;
};

// The key by which attributes are found and set: a predefined id, or a name (which may name a
// predefined attribute in any case). An empty name is no key.
struct AttributeKey {
    int id = 0;
    std::string_view name;

    AttributeKey(int attributeId) : id(attributeId) {}
    AttributeKey(AttributeId attributeId) : id(attributeId) {}
    AttributeKey(std::string_view attributeName) : name(attributeName) {}
    AttributeKey(const char* attributeName) : name(attributeName) {}
    AttributeKey(const std::string& attributeName) : name(attributeName) {}
    AttributeKey(const OutOfLineText& attributeName) : name(attributeName) {}

    bool IsId() const { return id != 0 || name.empty(); }
};

// A text offset as an attribute holds it: 16 bits, a value beyond them stopping at their end
// (the files keep offsets within 1000).
std::int16_t AttributeOffset(long value);

// The rectangle the renderer last drew an attribute's text in. Few attributes are ever drawn, so
// the rectangles are kept apart, in a table by this member's address: a copy takes its
// original's, a freed one takes its own away. All zero while there is none; setting never fails:
// without room for it the rectangle is simply not known.
class DrawnRect {
public:
    DrawnRect() = default;
    DrawnRect(const DrawnRect& other) { Set(other.Get()); }
    DrawnRect& operator=(const DrawnRect& other)
    {
        if (this != &other) Set(other.Get());
        return *this;
    }
    ~DrawnRect();

    win::RECT Get() const;
    void Set(const win::RECT& rect);
};

// Node of a component's attribute list (list kind 10). A predefined attribute is always kept
// by its id, never by its name, so it has one form in memory and the table's name on disk.
// Every part of a netlist has two or more: the small fields fill the node's tail padding,
// and the rectangle the renderer keeps is held apart (few attributes are ever drawn), so
// that the attribute takes 72 bytes.
struct ComponentAttribute : ListNode {
    std::uint16_t display = 0;   // kAttrShowName, kAttrShowValue; 0 places as value only
    std::uint16_t keyId = 0;     // 1 to 41, or 0 for a user name or no key
    FontSpec font;
    std::int16_t textOffsetX = 0;  // text position relative to the placement point
    std::int16_t textOffsetY = 0;
    // The user attribute's name when keyId is 0; out of line, as nearly every attribute (all
    // those of a netlist's parts) has an id.
    OutOfLineText userName;
    std::string value;
    [[no_unique_address]] DrawnRect drawnRect;

    win::RECT DisplayRect() const { return drawnRect.Get(); }
    void SetDisplayRect(const win::RECT& rect) { drawnRect.Set(rect); }

    bool HasKey() const { return keyId != 0 || !userName.empty(); }
    void FreeOwnedData() override
    {
        userName.clear();
        value.clear();
    }
};
static_assert(sizeof(ComponentAttribute) <= 72, "an attribute fits an 80-byte heap block");

// AttributeName of a stored attribute: the table name or the user name (empty without key).
std::string_view AttributeName(const ComponentAttribute& attribute);
// AttributeName of a key: the table name of an id, the name itself otherwise.
std::string_view AttributeName(const AttributeKey& key);

// The id of the first table row whose name equals the name (case-blind), else 0 (a user name).
int AttributeIdFromName(std::string_view name);

// The attribute with the key, or null (also for a null item or no key). An id finds only the
// attribute stored with that id; a name finds user and predefined attributes alike.
ComponentAttribute* FindAttribute(const SchematicItem* item, const AttributeKey& key);

// The attribute's value, or the empty text when there is none.
const std::string& GetAttributeText(const SchematicItem* item, const AttributeKey& key);

// Sets the value of the attribute with the key, adding it at the end of the list when it is
// missing. Null when no node could be made (reported as 15002).
ComponentAttribute* SetAttribute(WindowRecord* record, SchematicItem* item, const AttributeKey& key,
                                 std::string_view text);

// Appends an empty attribute one text line below the last one, with the attribute font of the
// record's document (or the program's default); marks the item's attributes changed. Null
// after reporting 15002.
ComponentAttribute* NewAttributeNode(WindowRecord* record, SchematicItem* item);

// 0, or 15002 when memory runs out (the attribute keeps its old key or value).
int SetAttributeKey(ComponentAttribute& attribute, const AttributeKey& key);
int SetAttributeValue(ComponentAttribute& attribute, std::string_view text);
// 0 or the first failure; 0 for a null attribute.
int SetAttributeKeyAndText(ComponentAttribute* attribute, const AttributeKey& key, std::string_view text);

// Replaces the destination's attributes by copies of the source's and takes its definition.
// 0, or the first failure (15002) of any attribute copied.
int CopyComponentAttributes(SchematicItem& destination, const SchematicItem& source);

// 1 when the id is the main attribute or one of the further attributes of the type's row.
int IsKindStandardAttribute(int componentType, int id);

// The text an attribute shows for the display bits: the name, the value, or "name=value" with
// both bits. Empty for a null attribute.
std::string BuildAttributeDisplayText(const ComponentAttribute* attribute, std::uint16_t bits);

// Lays out the attribute texts of a component for its orientation from the definition's text
// origins, one line per shown attribute, measured in the window's device context.
void PlaceAttributeTexts(WindowRecord* record, SchematicItem* item);

// The text-offset table of PlaceAttributeTexts: the offset of a text of width w and line height
// h whose line starts at the running offsets (p upright, pTurned turned).
win::POINT AttributeTextOffset(int orientation, int originX, int originTurnedX, int p, int pTurned, int w,
                               int h);

}  // namespace kq5
