#pragma once
// Selection of a window's nodes (items, grid texts, plot objects and the picked attribute), the
// count of selected nodes and the bounds of a page's content or of the clipboard.
#include <cstdint>
#include <string>

#include "core/linked_list.h"
#include "platform/win_types.h"

namespace kq5 {

struct ComponentAttribute;
struct GridText;
struct SchematicItem;
struct WindowRecord;

// List masks.
constexpr std::uint32_t kMaskItems = 0x1;
constexpr std::uint32_t kMaskGridTexts = 0x2;
constexpr std::uint32_t kMaskPlotObjects = 0x4;
constexpr std::uint32_t kMaskPickedAttribute = 0x8;
constexpr std::uint32_t kSchematicMask = 0xB;

// The masks of a window: items, grid texts and picked attribute in a schematic, plot objects
// elsewhere.
std::uint32_t WindowSelectionMask(const WindowRecord* record);

// Replaces the whole byte by select when bit 0x01 differs from it; true when it changed.
bool SetSelectedByte(std::uint8_t& selection, int select);

// Forgets the picked attribute, then selects or deselects every node of the masked lists:
// selecting touches the current page only, deselecting all pages. True when any node changed.
bool SetAllItemsSelected(WindowRecord* record, std::uint32_t mask, int select);
void SelectAllItems(WindowRecord* record, int select);
// Deselects everything and clears the mark rectangle; true when there was something to clear.
bool ClearSelection(WindowRecord* record);

// Count of selected nodes of a list of kind 1, 2 or 4; *last receives the last one.
int CountSelectedInList(int listKind, const LinkedList& list, ListNode** last = nullptr);
int CountSelectedItems(WindowRecord* record, std::uint32_t mask, ListNode** last = nullptr);

// Unlinks and frees a node of kind 1, 2 or 3; returns the node that followed (null for others).
ListNode* RemoveItemFromOwnerList(LinkedList& list, ListNode* node);

// Source and measure flags of GetContentBounds.
constexpr std::uint32_t kBoundsSelectedOnly = 0x0001;
constexpr std::uint32_t kBoundsClipboard = 0x0110;
constexpr std::uint32_t kBoundsDocument = 0x0220;
constexpr std::uint32_t kBoundsCurrentZoom = 0x1000;
constexpr std::uint32_t kBoundsWideFonts = 0x2000;

// Content bounds of a page: the union in drawing units goes to drawUnits, and in grid units
// (divided by 8, right and bottom plus 1) to gridUnits. (0, 0, 0, 0) when there is nothing.
// Returns true when something was found.
bool GetContentBounds(win::HDC dc, WindowRecord* record, win::RECT& gridUnits, win::RECT* drawUnits,
                      std::uint32_t flags, int page);

void ExtendRange(std::int32_t& low, std::int32_t& high, std::int32_t value);
void ExtendRect(win::RECT& rect, const win::RECT& other);

// The drawing rectangle of a grid text (bottom left at its grid point) and its bounds with the
// flag marker.
win::RECT GridTextDrawRect(win::HDC dc, const GridText& text);
win::RECT GridTextBounds(win::HDC dc, const GridText& text);
// The rectangle of an attribute's display text, measured in its font (empty for an empty text);
// the text itself goes to *text when asked.
win::RECT MeasureAttributeText(win::HDC dc, const SchematicItem& component, const ComponentAttribute& attribute,
                               std::string* text = nullptr);

}  // namespace kq5
