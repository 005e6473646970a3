#pragma once
// Box operations of a schematic window on the mark rectangle (the select box) and the selected
// items: Step Box, Mirror Box, Rotate, Flip X and Flip Y, marking the items inside a rectangle,
// and the rectangle helpers shared with the mouse handlers.
#include <cstdint>

#include "document/hit_test.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Item flag bits used by the box operations.
constexpr std::uint8_t kMarkInBox = 0x08;

// Directions of Step Box and Mirror Box.
constexpr int kDirectionHorizontal = 100;
constexpr int kDirectionVertical = 101;
constexpr int kDirectionBoth = 102;
// The largest number of steps Step Box makes ((n + 1)² copies must stay countable).
constexpr int kMaxBoxSteps = 1000;

struct StepBoxOptions {
    int direction = kDirectionHorizontal;
    int times = 1;
    int copyText = 0;
};
struct MirrorBoxOptions {
    int direction = kDirectionHorizontal;
    int copyText = 0;
};
// The options kept between uses of the two dialogs.
StepBoxOptions& StepBoxSettings();
MirrorBoxOptions& MirrorBoxSettings();

// Modes of MarkItemsInRect.
constexpr int kMarkSetBox = 1;
constexpr int kMarkSelect = 2;
constexpr int kMarkToggle = 4;
constexpr int kMarkRedraw = 8;
// The per-node step: the flags after the test; true when the byte changed.
bool RectsIntersectUpdateFlags(const win::RECT& extent, const win::RECT& box, std::uint8_t& flags, int mode);
// Marks, selects or toggles the nodes of the current page that meet the rectangle (grid units).
void MarkItemsInRect(WindowRecord* record, const win::RECT& rect, int mode);

// Copies the marked nodes of the current page: moved so that the box's corner lands on (x, y),
// or reflected (mirror 100 horizontal, 101 vertical). 0, 15055 after a reported range error,
// or 15002.
int CopyBoxItems(WindowRecord* record, int x, int y, int copyText, const win::RECT& box, int mirror);

// The commands; each does nothing without a mark rectangle. The Item functions run without the
// dialog. 0 or the failure (reported).
void StepBoxCommand(WindowRecord* record);
void MirrorBoxCommand(WindowRecord* record);
int StepBoxItems(WindowRecord* record, const StepBoxOptions& options);
int MirrorBoxItems(WindowRecord* record, const MirrorBoxOptions& options);
int RotateSelection(WindowRecord* record);
int FlipSelectedItems(WindowRecord* record, int flipX);

}  // namespace kq5
