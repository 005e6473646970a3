#include "schematic/box_operations_tracker.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_windows.h"
#include "document/hit_test.h"
#include "platform/bitmap.h"
#include "platform/gdi_clip.h"
#include "platform/message.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "schematic/box_operations.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"
#include "document/pane_seams.h"
#include "schematic/rewire.h"
#include "schematic/sheet_bounds.h"

namespace kq5 {

namespace {

constexpr int kSecondPoint = 0xF00;
constexpr int kDefaultPictureSize = 20;
constexpr int kSplitterBar = 5;

bool IsWirePurpose(TrackPurpose purpose) { return purpose == TrackPurpose::Wire || purpose == TrackPurpose::DiagonalWire; }

bool IsLineLike(const RubberBandTracker& t)
{
    return IsWirePurpose(t.purpose) || ((t.purpose == TrackPurpose::NewObject || t.purpose == TrackPurpose::Reshape) &&
                                        ((t.style & 0x0F00) == kObjectLine || (t.item && t.item->itemKind == kItemWire)));
}

win::POINT ToPixels(const RubberBandTracker& t, long x, long y)
{
    if (t.options & kTrackPixels) return {static_cast<win::LONG>(x), static_cast<win::LONG>(y)};
    return GridToPaneClient(t.record, static_cast<int>(x), static_cast<int>(y), t.pane);
}

// Makes what a schematic drag drew; false when nothing was made.
bool MakeFromDrag(RubberBandTracker& t, const win::RECT& r)
{
    WindowRecord* record = t.record;
    if (!record || !record->document) return false;
    switch (t.purpose) {
    case TrackPurpose::Wire: {
        if (r.left == r.right && r.top == r.bottom) return false;
        const bool horizontalFirst = t.firstAxis == 1;
        const win::POINT corner = horizontalFirst ? win::POINT{r.right, r.top} : win::POINT{r.left, r.bottom};
        SchematicItem* a = NewWireItem(record, r.left, r.top, corner.x, corner.y, true);
        SchematicItem* b = NewWireItem(record, corner.x, corner.y, r.right, r.bottom, true);
        return a || b;
    }
    case TrackPurpose::DiagonalWire:
        return NewWireItem(record, r.left, r.top, r.right, r.bottom, true) != nullptr;
    case TrackPurpose::NewObject: {
        const std::uint16_t kind = t.style & kStyleKindMask;
        win::RECT shape = r;
        if (kind == kObjectLine) {
            if (r.left == r.right && r.top == r.bottom) return false;
        } else if (r.left == r.right || r.top == r.bottom) {
            if (kind != kObjectPicture) return false;
            shape.right = shape.left + kDefaultPictureSize;
            shape.bottom = shape.top + kDefaultPictureSize;
        }
        if (!OnSheet(shape.left, shape.top) || !OnSheet(shape.right, shape.bottom)) return false;
        SchematicItem* object = NewSchematicItem(record);
        if (!object) return false;
        object->itemKind = kItemGraphicObject;
        object->style = t.style;
        object->x1 = shape.left;
        object->y1 = shape.top;
        object->x2 = shape.right;
        object->y2 = shape.bottom;
        object->selection = kSelected | kSelectNew;
        ApplyGraphicObjectDefaultColors(*record->document, *object);
        if (kind == kObjectPicture && !t.ownerText.empty()) SetAttribute(record, object, kAttrFile, t.ownerText);
        SaveMarkRect(record);
        SetUndoKind(record, kUndoPlaceItems);
        return true;
    }
    case TrackPurpose::Reshape: {
        SchematicItem* item = t.item;
        if (!item || !OnSheet(r.left, r.top) || !OnSheet(r.right, r.bottom)) return false;
        item->x1 = r.left;
        item->y1 = r.top;
        item->x2 = r.right;
        item->y2 = r.bottom;
        item->attributesChanged = 1;
        return true;
    }
    default:
        return r.left != r.right || r.top != r.bottom;
    }
}

}  // namespace

RubberBandTracker& Tracker()
{
    static RubberBandTracker tracker;
    return tracker;
}

void ResetTrackerForTests() { Tracker() = RubberBandTracker{}; }

void TrackerStart(WindowRecord* record, int pane, TrackPurpose purpose, const win::RECT& target, int handle, int options,
                  std::uint16_t style)
{
    RubberBandTracker& t = Tracker();
    t = RubberBandTracker{};
    t.active = true;
    t.record = record;
    t.pane = pane;
    t.purpose = purpose;
    t.handle = handle == 0 ? kSecondPoint : handle;
    t.options = options;
    t.style = style;
    t.rect = target;
    // The dragged corner is always the second point.
    if (t.handle != kSecondPoint && t.handle != kHandleSpecial) {
        if (t.handle & kHandleLeft) {
            std::swap(t.rect.left, t.rect.right);
            t.swappedX = true;
        }
        if (t.handle & kHandleTop) {
            std::swap(t.rect.top, t.rect.bottom);
            t.swappedY = true;
        }
    }
    t.alwaysDraw = IsWirePurpose(purpose);
    if (record && record->window) win::SetCapture(record->window);
    if (t.alwaysDraw) TrackerDraw();
}

void TrackerMove(int x, int y, bool lockAxis)
{
    RubberBandTracker& t = Tracker();
    if (!t.active) return;
    const int low = (t.options & kTrackPixels) ? 0 : 1;
    x = std::max(x, low);
    y = std::max(y, low);
    if (!(t.options & kTrackPixels)) {
        x = std::min(x, kSheetMax);
        y = std::min(y, kSheetMax);
    }
    const bool movesX = t.handle == kSecondPoint || (t.handle & (kHandleLeft | kHandleRight));
    const bool movesY = t.handle == kSecondPoint || (t.handle & (kHandleTop | kHandleBottom));
    if (!t.alwaysDraw && x == t.rect.right && y == t.rect.bottom) return;
    if (lockAxis && IsLineLike(t)) {
        if (std::labs(static_cast<long>(x) - t.rect.left) >= std::labs(static_cast<long>(y) - t.rect.top)) y = t.rect.top;
        else x = t.rect.left;
    }
    const long dx = movesX ? std::labs(static_cast<long>(x) - t.rect.left) : 0;
    const long dy = movesY ? std::labs(static_cast<long>(y) - t.rect.top) : 0;
    if (t.firstAxis == -1 && (dx || dy)) t.firstAxis = dx > dy ? 1 : 0;
    if (t.drawn) TrackerDraw();
    if (t.handle == kHandleSpecial) t.fixed = t.fixedIsX ? x : y;
    if (movesX) t.rect.right = x;
    if (movesY) t.rect.bottom = y;
    TrackerDraw();
}

void TrackerSwapLegs()
{
    RubberBandTracker& t = Tracker();
    if (!t.active || t.purpose != TrackPurpose::Wire) return;
    if (t.drawn) TrackerDraw();
    t.firstAxis = t.firstAxis == 1 ? 0 : 1;
    TrackerDraw();
}

bool TrackerEnd(win::RECT& out)
{
    RubberBandTracker& t = Tracker();
    if (!t.active) return false;
    if (t.record && t.record->window) win::ReleaseCapture();
    if (t.drawn) TrackerDraw();
    win::RECT r = t.rect;
    if (!(t.options & kTrackAsDragged)) {
        if (t.swappedX) std::swap(r.left, r.right);
        if (t.swappedY) std::swap(r.top, r.bottom);
    }
    if (t.options & kTrackNormalize) NormalizeRect(r);
    out = r;
    bool made = false;
    if (t.purpose == TrackPurpose::SelectBox || t.purpose == TrackPurpose::ScaleBox)
        made = r.left != r.right && r.top != r.bottom;
    else if (t.purpose == TrackPurpose::Splitter)
        made = true;
    else if (t.options & kTrackPixels)
        made = t.purpose == TrackPurpose::Reshape || r.left != r.right || r.top != r.bottom;  // the plot makes it
    else
        made = MakeFromDrag(t, r);
    t = RubberBandTracker{};
    return made;
}

void TrackerDraw()
{
    RubberBandTracker& t = Tracker();
    if (!t.active || !t.record || !t.record->window) {
        t.drawn = !t.drawn;
        return;
    }
    win::HDC dc = win::GetDC(t.record->window);
    if (!dc) return;
    win::RECT clip{};
    if (t.purpose == TrackPurpose::Splitter) win::GetClientRect(t.record->window, &clip);
    else GetPaneRect(t.record, t.pane, clip);
    win::HRGN region = win::CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom);
    win::SelectClipRgn(dc, region);
    const int oldRop = win::SetROP2(dc, win::R2_NOT);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    const win::POINT a = ToPixels(t, t.rect.left, t.rect.top);
    const win::POINT b = ToPixels(t, t.rect.right, t.rect.bottom);
    auto line = [&](win::POINT p, win::POINT q) {
        win::MoveToEx(dc, p.x, p.y, nullptr);
        win::LineTo(dc, q.x, q.y);
    };
    switch (t.purpose) {
    case TrackPurpose::Wire: {
        const win::POINT corner = t.firstAxis == 1 ? win::POINT{b.x, a.y} : win::POINT{a.x, b.y};
        line(a, corner);
        line(corner, b);
        break;
    }
    case TrackPurpose::Splitter:
        if (t.splitterCode & 1) win::PatBlt(dc, clip.left, b.y - kSplitterBar / 2, clip.right - clip.left, kSplitterBar, win::DSTINVERT);
        if (t.splitterCode & 2) win::PatBlt(dc, b.x - kSplitterBar / 2, clip.top, kSplitterBar, clip.bottom - clip.top, win::DSTINVERT);
        break;
    default:
        if (IsLineLike(t)) line(a, b);
        else win::Rectangle(dc, std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1);
        break;
    }
    win::SelectObject(dc, oldBrush);
    win::SetROP2(dc, oldRop);
    win::SelectClipRgn(dc, nullptr);
    win::DeleteObject(region);
    win::ReleaseDC(t.record->window, dc);
    t.drawn = !t.drawn;
}

}  // namespace kq5
