#pragma once
// The drawing area of a schematic page: grid coordinates 0 to 32000, which is what the circuit
// files read back. Every edit keeps every point of every item inside it, or is refused.
#include <cstdint>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct CircuitDocument;
struct GridText;
struct LinkedList;
struct SchematicItem;
struct WindowRecord;

constexpr int kSheetMin = 0;
constexpr int kSheetMax = 32000;
constexpr int kMsgMoveOutOfBounds = 14065;
constexpr int kMsgCoordinatesOutOfRange = 13570;

// Every grid point an item occupies: a component's placement point and pins, both points of a
// wire or graphic object.
std::vector<win::POINT> ItemPoints(const SchematicItem& item);

inline bool OnSheet(long long x, long long y) { return x >= kSheetMin && x <= kSheetMax && y >= kSheetMin && y <= kSheetMax; }
bool ItemOnSheet(const SchematicItem& item);

// The union of the points of the nodes of an item list and a grid-text list.
struct SheetExtent {
    bool empty = true;
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
    void Take(long x, long y);
};
SheetExtent ListsExtent(const LinkedList& items, const LinkedList& gridTexts);
// The extent of every point of the selected items and grid texts of a page.
SheetExtent SelectionExtent(const CircuitDocument& document, int page);

// 1 after reporting "%EMove out of bounds." when a point of an item or grid text of the window
// lies off the sheet; else 0.
int CheckItemsInBounds(WindowRecord* record);

// The orientation code after a quarter turn of the drawing (0 to 3 turn back, 4 to 7 forward).
inline int QuarterTurnedOrientation(int o) { return o == 0 ? 3 : o <= 3 ? o - 1 : o == 7 ? 4 : o + 1; }

}  // namespace kq5
