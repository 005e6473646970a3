#pragma once
// Moving the selection with the mouse: the drag in three phases (begin, step, end), the limits
// that keep every moved point on the sheet, rubber-banding (wires that stay attached to moved
// pins and wire ends), the quarter turn of the moving selection, snapping a single moved item
// onto a nearby connection point, and the bounds check.
#include <cstdint>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

// Phases of MoveSelection.
constexpr int kMoveBegin = 1;
constexpr int kMoveStep = 2;
constexpr int kMoveEnd = 3;
// Flags of MoveSelection.
constexpr int kMoveRubberBand = 0x1;     // rubber-banding and the undo step
constexpr int kMovePlacedText = 0x2;     // moves the picked attribute text's offsets instead
// Key flags (the mouse message's).
constexpr unsigned kMouseLeft = 0x0001;
constexpr unsigned kMouseRight = 0x0002;
constexpr unsigned kMouseShift = 0x0004;
constexpr unsigned kMouseControl = 0x0008;

// One connection point of the selection that an unselected wire or pin touches.
struct RubberBandEnd {
    int x = 0;
    int y = 0;
    int page = 0;
    SchematicItem* wire = nullptr;  // the wire that follows (made at the start when needed)
    int needsWire = 0;
    std::uint8_t savedSelection = 0;
    int movingEnd = 0;  // 0 the wire's first end, 1 its second
    int xFixed = 0;
    int yFixed = 0;
};

struct MoveDragState {
    bool active = false;
    WindowRecord* record = nullptr;
    bool schematic = true;
    int pane = 0;
    int page = 0;
    bool rubberBand = false;
    bool boxEdit = false;  // the drag opened an undo step of its own
    int flags = 0;
    win::POINT last{};
    long dx = 0;  // offset of the current step
    long dy = 0;
    std::vector<RubberBandEnd> ends;
};
MoveDragState& MoveDrag();
void ResetMoveDragForTests();

// x, y: grid point (schematic) or client pixels (plot objects). 0, or 15002 after reporting it
// when the rubber-band records cannot be made (the drag is then over and nothing moved).
int MoveSelection(WindowRecord* record, int x, int y, unsigned keys, int phase, int flags);
// Turns the moving selection a quarter turn about the grid point; false when that would put
// a point off the sheet (nothing turns).
bool TurnMovingSelection(WindowRecord* record, int x, int y);

// 1 after reporting "%EMove out of bounds." when a point lies off the sheet.
int CheckMoveBounds(WindowRecord* record);
// The connection points of an item: a component's pins; a diagonal wire's ends, a straight
// wire's every grid point from its first end to its second.
std::vector<win::POINT> GetItemConnectionPoints(const SchematicItem& item);
// The nearest connection point of the current page within one unit in each axis.
bool FindNearestConnectionPoint(WindowRecord* record, win::POINT& point, const SchematicItem* except);
void SnapComponentToPins(WindowRecord* record, SchematicItem& component);
void SnapWireEnd(WindowRecord* record, SchematicItem& wire);
// Scrolls the pane a line per side while the client point lies outside it.
void AutoScrollDuringDrag(WindowRecord* record, int x, int y, int pane);
// Draws (or, drawn twice, erases) the outline of the moving selection and its rubber bands.
void DrawMoveImage(WindowRecord* record);

}  // namespace kq5
