#pragma once
// The rubber-band tracker: the outline drawn while the mouse drags out a select box, a new wire,
// a new graphic object, a reshaped item, a plot scale box or a splitter, and what is made when
// the button is released. One drag at a time; the mouse handlers drive it.
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

enum class TrackPurpose {
    None,
    SelectBox,     // the mark rectangle
    NewObject,     // a new graphic object (the style word says which)
    Wire,          // an orthogonal wire of two legs
    DiagonalWire,  // a straight wire
    Reshape,       // a handle of a wire or graphic object
    ScaleBox,      // a plot scale box (pixels)
    Splitter,      // a splitter bar (pixels)
};

// Tracker options.
constexpr int kTrackAsDragged = 0x2000;  // keep the rectangle as dragged at the end
constexpr int kTrackPixels = 0x4000;     // coordinates are client pixels
constexpr int kTrackNormalize = 0x8000;  // order the corners at the end

struct RubberBandTracker {
    bool active = false;
    TrackPurpose purpose = TrackPurpose::None;
    WindowRecord* record = nullptr;
    int pane = 0;
    win::RECT rect{};  // the first point (left, top) and the dragged point (right, bottom)
    int firstAxis = -1;  // -1 not yet, 0 vertical first, 1 horizontal first
    int handle = 0;      // the handle being dragged; 0xF00 moves the second point
    int options = 0;
    std::uint16_t style = 0;
    int splitterCode = 0;  // 1 horizontal bar, 2 vertical bar, 3 both
    SchematicItem* item = nullptr;  // the item being reshaped
    std::string ownerText;          // a picture's file name
    int fixed = 0;                  // the dimension line of a measure tag (handle 0x1000)
    bool fixedIsX = false;          // a vertical measure moves its line across
    bool drawn = false;
    bool alwaysDraw = false;
    bool swappedX = false;
    bool swappedY = false;
};

RubberBandTracker& Tracker();
void ResetTrackerForTests();

// Starts a drag from the target rectangle (grid units, or pixels with kTrackPixels).
void TrackerStart(WindowRecord* record, int pane, TrackPurpose purpose, const win::RECT& target, int handle,
                  int options, std::uint16_t style = 0);
// Moves the dragged point; lockAxis keeps a wire or line on its dominant axis.
void TrackerMove(int x, int y, bool lockAxis);
// Swaps the leg order of a two-leg wire.
void TrackerSwapLegs();
// Ends the drag: the final rectangle goes to out; returns whether something was made (a box of
// some size, the new wire or object, the reshaped item).
bool TrackerEnd(win::RECT& out);
// Draws or, drawn twice, erases the outline.
void TrackerDraw();

}  // namespace kq5
