#pragma once
// Part names of new components ("R1", "Part3"), the per-letter counters that follow the names
// present in a document, and the attributes a newly placed component receives.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

// Slot of the types without a SPICE letter.
constexpr int kPartCounterNoLetter = 26;

// Digital defaults of new components.
constexpr std::string_view kDefaultPowerNode = "$G_DPWR";
constexpr std::string_view kDefaultGroundNode = "$G_DGND";
constexpr std::string_view kDefaultIoModel = "IO_STD";

// The next part name of the type (a letter and a number, or "Part" and a number) and the counter
// slot it used (0 to 26). Ties share names: their slot is not advanced.
struct NextPartName {
    std::string name;
    int slot = 0;
};
NextPartName NextPartNumber(WindowRecord* record, int componentType);

// Gives back a number that NextPartNumber took; a Tie took none, so nothing changes for it.
void ReturnPartNumber(WindowRecord* record, int componentType, int slot);

// Raises the counter of the component's letter to the number its PART name ends in.
void UpdatePartNumberMax(WindowRecord* record, const SchematicItem& item);
// Rebuilds all counters from the document's components.
void RescanPartNumbers(WindowRecord* record);
// 1 when another component of the document has the same PART text (case-blind).
int IsPartNameUsed(WindowRecord* record, const SchematicItem& item);

// Gives a component the attributes of its type. Null texts stand for "$G_DPWR", "$G_DGND" and
// "IO_STD". 0, or 15002 when an attribute could not be made (already reported).
struct DefaultAttributeTexts {
    std::optional<std::string_view> power;
    std::optional<std::string_view> ground;
    std::string_view main;
    std::string_view model;
    std::optional<std::string_view> io;
    bool showModel = false;
    bool showMain = false;
};
// What file readers pass: empty texts and no flags; the saved attributes follow.
inline DefaultAttributeTexts FileReaderDefaultTexts()
{
    return DefaultAttributeTexts{std::string_view(), std::string_view(), {}, {}, std::string_view(), false, false};
}
int SetDefaultAttributes(WindowRecord* record, SchematicItem& item, const DefaultAttributeTexts& texts);

// Completes the placement of a component that the schematic editor has just appended: names it,
// gives it its attributes and defaults taken from the document, asks for its attributes, and
// either keeps it or removes it again. Returns the item, or null when it was removed.
SchematicItem* PlaceNewComponent(WindowRecord* record, SchematicItem* item, bool abandon);

}  // namespace kq5
