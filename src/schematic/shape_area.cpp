#include "schematic/shape_area.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ui/dialog_services.h"
#include "ui/font_select.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "platform/message_box.h"
#include "platform/cursor.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/window.h"
#include "schematic/object_editor.h"
#include "schematic/shape_draw.h"
#include "schematic/shape_editor.h"

namespace kq5 {
namespace {

constexpr win::COLORREF kInk = 0x00000000;
constexpr win::COLORREF kSelectedInk = 0x00C00000;  // blue
constexpr win::COLORREF kGridDot = 0x00A0A0A0;
constexpr int kHitTolerance = 2;

ShapeTransform CanvasTransform()
{
    const ShapeEditorState& e = ShapeEditor();
    return OrientationTransform(0, -e.scrollX, -e.scrollY, e.zoom);
}

void DrawList(win::HDC dc, const PrimitiveList& list, const ShapeTransform& t)
{
    for (const ShapePrimitive& p : list) {
        if (p.type >= 0) {
            DrawList(dc, p.contents, t);
            continue;
        }
        DrawPrimitive(dc, PrimitivePayload(p), p.type, p.attributes, t);
    }
}

void DrawHandles(win::HDC dc, const win::RECT& bounds)
{
    const win::POINT a = ShapePixelPoint(bounds.left, bounds.top), b = ShapePixelPoint(bounds.right, bounds.bottom);
    const int xs[3] = {a.x, (a.x + b.x) / 2, b.x}, ys[3] = {a.y, (a.y + b.y) / 2, b.y};
    win::HBRUSH brush = static_cast<win::HBRUSH>(win::GetStockObject(win::BLACK_BRUSH));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            if (i == 1 && j == 1) continue;
            const win::RECT r{xs[i] - 2, ys[j] - 2, xs[i] + 3, ys[j] + 3};
            win::FillRect(dc, &r, brush);
        }
}

// The start and end points of an arc, or nothing for another kind.
std::vector<win::POINT> ArcEnds(const ShapePrimitive& p)
{
    if (p.type != kPrimArc || p.extra.size() != kArcPayload) return {};
    const std::vector<win::POINT> points = GetPrimitivePoints(p);
    return {points[2], points[3]};
}

// An arc's end handles are hollow, so that they stand apart from the handles of its rectangle.
void DrawArcEndHandles(win::HDC dc, const PrimitiveList& list)
{
    win::HBRUSH brush = static_cast<win::HBRUSH>(win::GetStockObject(win::BLACK_BRUSH));
    for (const ShapePrimitive& p : list) {
        if (!(p.attributes & kPrimSelected)) continue;
        for (const win::POINT& end : ArcEnds(p)) {
            const win::POINT at = ShapePixelPoint(end.x, end.y);
            const win::RECT r{at.x - 3, at.y - 3, at.x + 4, at.y + 4};
            win::FrameRect(dc, &r, brush);
        }
    }
}

void Paint(win::HWND window)
{
    ShapeEditorState& e = ShapeEditor();
    win::PAINTSTRUCT ps;
    win::HDC dc = win::BeginPaint(window, &ps);
    win::RECT client;
    win::GetClientRect(window, &client);
    win::FillRect(dc, &client, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    const win::POINT canvasEnd = ShapePixelPoint(kShapeCanvasSize, kShapeCanvasSize);
    if ((e.viewFlags & kShapeViewGrid) && e.zoom * 8 >= 4) {
        for (int y = 0; y <= kShapeCanvasSize; y += 8) {
            const int py = ShapePixelPoint(0, y).y;
            if (py < client.top || py >= client.bottom) continue;
            for (int x = 0; x <= kShapeCanvasSize; x += 8) {
                const int px = ShapePixelPoint(x, 0).x;
                if (px >= client.left && px < client.right) win::SetPixelV(dc, px, py, kGridDot);
            }
        }
    }
    win::HPEN edge = win::CreatePen(win::PS_DOT, 1, kGridDot);
    win::HGDIOBJ oldPen = win::SelectObject(dc, edge);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    const win::POINT origin = ShapePixelPoint(0, 0);
    win::Rectangle(dc, origin.x, origin.y, canvasEnd.x + 1, canvasEnd.y + 1);
    win::HPEN ink = win::CreatePen(win::PS_SOLID, 1, kInk);
    win::HPEN selectedInk = win::CreatePen(win::PS_SOLID, 1, kSelectedInk);
    const ShapeTransform t = CanvasTransform();
    for (const ShapePrimitive& p : e.edit) {
        win::SelectObject(dc, (p.attributes & kPrimSelected) ? selectedInk : ink);
        win::SetTextColor(dc, (p.attributes & kPrimSelected) ? kSelectedInk : kInk);
        PrimitiveList one;
        one.push_back(p);
        DrawList(dc, one, t);
    }
    win::RECT bounds;
    if (GetPrimitivesBounds(e.edit, bounds, kPrimSelected) > 0) DrawHandles(dc, bounds);
    DrawArcEndHandles(dc, e.edit);
    win::SelectObject(dc, edge);
    if (e.drag == ShapeDrag::Create || e.drag == ShapeDrag::Box) {
        const win::POINT a = ShapePixelPoint(e.band.left, e.band.top), b = ShapePixelPoint(e.band.right, e.band.bottom);
        if (kShapeTools[e.tool].type == kPrimLine && e.drag == ShapeDrag::Create) {
            win::MoveToEx(dc, a.x, a.y, nullptr);
            win::LineTo(dc, b.x, b.y);
        } else {
            win::Rectangle(dc, std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1);
        }
    }
    if (!e.polyPoints.empty()) {
        std::vector<win::POINT> pending;
        for (const win::POINT& q : e.polyPoints) pending.push_back(ShapePixelPoint(q.x, q.y));
        win::Polyline(dc, pending.data(), static_cast<int>(pending.size()));
    }
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
    win::DeleteObject(edge);
    win::DeleteObject(ink);
    win::DeleteObject(selectedInk);
    win::EndPaint(window, &ps);
}

bool Contains(const win::RECT& r, const win::POINT& p, int tolerance)
{
    return p.x >= r.left - tolerance && p.x <= r.right + tolerance && p.y >= r.top - tolerance && p.y <= r.bottom + tolerance;
}

// The topmost primitive under the point.
ShapePrimitive* HitTest(const win::POINT& p)
{
    PrimitiveList& list = ShapeEditor().edit;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (Contains(GetPrimitiveInvalidRect(*it), p, kHitTolerance)) return &*it;
    return nullptr;
}

bool Intersects(const win::RECT& a, const win::RECT& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

win::RECT Band(const win::POINT& a, const win::POINT& b) { return win::RECT{a.x, a.y, b.x, b.y}; }

win::RECT NormalBand(const win::RECT& r)
{
    return win::RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

void FinishPolygon()
{
    ShapeEditorState& e = ShapeEditor();
    const int type = kShapeTools[e.tool].type;
    if (e.polyPoints.size() >= 2 && (type == kPrimPolyClosed || type == kPrimPolyOpen))
        AddNewPrimitive(e.dialog, BuildPolyPayload(e.polyPoints), type, 0);
    e.polyPoints.clear();
    RedrawShapeArea();
}

// Back to Select after a placement when the user's preference asks for it, as in the schematic.
void AfterPlacement()
{
    if (Settings().operationalOptions & kOptionSelectMode) SetShapeTool(ShapeEditor().dialog, kShapeTools[0].command);
}

void AddText(const win::POINT& p)
{
    ShapeEditorState& e = ShapeEditor();
    std::string text;
    FontSpec font = e.textFont;
    if (!AskShapeText(e.dialog, text, font) || text.empty()) return;
    e.textFont = font;
    AddNewPrimitive(e.dialog, MeasuredTextPayload(p, text, e.textFont, nullptr), kPrimText, 0);
}

void EditText(ShapePrimitive& p)
{
    ShapeEditorState& e = ShapeEditor();
    std::string text = TextOfPayload(p.extra);
    FontSpec font = TextFontOfPayload(p.extra);
    if (!AskShapeText(e.dialog, text, font)) return;
    if (text.empty()) {
        if (e.resized == &p) e.resized = nullptr;
        std::erase(e.undoObjects, &p);
        e.edit.remove_if([&](const ShapePrimitive& q) { return &q == &p; });
        e.currentObject = nullptr;
    } else {
        // The rectangle starts again from its anchor.
        win::RECT rect;
        p.extra = MeasuredTextPayload(win::POINT{p.rect.left, p.rect.top}, text, font, &rect);
        p.rect = rect;
    }
    e.undoCode = 7;
    SetShapeModified(e.dialog, true);
    RedrawShapeArea();
}

void AddReference(const win::POINT& p)
{
    const int index = ChooseRootShape(ShapeEditor().dialog);
    if (index > 0) AddNewPrimitive(ShapeEditor().dialog, BuildIntPayload({p.x, p.y, 0}), index, 0);
}

void EndCreate(const win::POINT& p)
{
    ShapeEditorState& e = ShapeEditor();
    const int type = kShapeTools[e.tool].type;
    const win::RECT band = Band(e.anchor, p);
    const win::RECT box = NormalBand(band);
    if (box.left == box.right && box.top == box.bottom) return;
    if (type == kPrimLine) {
        AddNewPrimitive(e.dialog, BuildIntPayload({band.left, band.top, band.right, band.bottom}), type, 0);
    } else if (type == kPrimArc) {
        // The arc runs counter-clockwise from where the drag began to where it ended, so the
        // direction of the drag chooses the half of the ellipse; the end handles adjust it.
        AddNewPrimitive(e.dialog, BuildIntPayload({box.left, box.top, box.right, box.bottom, e.anchor.x, e.anchor.y, p.x, p.y}), type, 0);
    } else if (type == kPrimBlock) {
        const auto payload = BuildBlockPayload(box);
        if (payload.empty()) return;
        AddNewPrimitive(e.dialog, payload, type, 0);
    } else {
        AddNewPrimitive(e.dialog, BuildIntPayload({box.left, box.top, box.right, box.bottom}), type, 0);
    }
    AfterPlacement();
}

// The move left for the selection so that it stays inside the canvas.
win::POINT LimitMove(int dx, int dy)
{
    win::RECT bounds;
    if (GetPrimitivesBounds(ShapeEditor().edit, bounds, kPrimSelected) == 0) return win::POINT{0, 0};
    bounds = win::RECT{bounds.left + 3, bounds.top + 3, bounds.right - 4, bounds.bottom - 4};
    dx = std::clamp(dx, static_cast<int>(-bounds.left), static_cast<int>(kShapeCanvasSize - bounds.right));
    dy = std::clamp(dy, static_cast<int>(-bounds.top), static_cast<int>(kShapeCanvasSize - bounds.bottom));
    return win::POINT{dx, dy};
}

// Which of the eight handles of the current object's rectangle lies under the point: 1 top-left,
// then clockwise; 0 none. The tolerance is three pixels.
int HandleAt(const ShapePrimitive& p, int px, int py)
{
    if (p.type >= 0 || p.type == kPrimText) return 0;
    const win::RECT r = GetPrimitiveInvalidRect(p);
    const win::POINT a = ShapePixelPoint(r.left, r.top), b = ShapePixelPoint(r.right, r.bottom);
    const int xs[3] = {a.x, (a.x + b.x) / 2, b.x}, ys[3] = {a.y, (a.y + b.y) / 2, b.y};
    static const int kOrder[3][3] = {{1, 8, 7}, {2, 0, 6}, {3, 4, 5}};  // [x][y]
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (kOrder[i][j] && std::abs(px - xs[i]) <= 3 && std::abs(py - ys[j]) <= 3) return kOrder[i][j];
    return 0;
}

// The end handle of a selected arc under the pixel: the current object's first, then the others
// from the top of the drawing order down.
ShapePrimitive* ArcEndAt(int px, int py, int& handle)
{
    ShapeEditorState& e = ShapeEditor();
    auto hit = [&](ShapePrimitive& p) {
        if (!(p.attributes & kPrimSelected)) return false;
        const std::vector<win::POINT> ends = ArcEnds(p);
        for (std::size_t k = 0; k < ends.size(); ++k) {
            const win::POINT at = ShapePixelPoint(ends[k].x, ends[k].y);
            if (std::abs(px - at.x) <= 3 && std::abs(py - at.y) <= 3) {
                handle = k == 0 ? kArcStartHandle : kArcEndHandle;
                return true;
            }
        }
        return false;
    };
    for (ShapePrimitive& p : e.edit)
        if (&p == e.currentObject && hit(p)) return &p;
    for (auto it = e.edit.rbegin(); it != e.edit.rend(); ++it)
        if (hit(*it)) return &*it;
    return nullptr;
}

// The rectangle after dragging a handle to a point; a LINE moves the end nearest the handle.
win::RECT Resized(const win::RECT& r, int handle, const win::POINT& p)
{
    win::RECT out = r;
    const bool left = handle == 1 || handle == 7 || handle == 8, right = handle >= 3 && handle <= 5;
    const bool top = handle >= 1 && handle <= 3, bottom = handle >= 5 && handle <= 7;
    if (left) out.left = p.x;
    if (right) out.right = p.x;
    if (top) out.top = p.y;
    if (bottom) out.bottom = p.y;
    return out;
}

void OnButtonDown(win::HWND window, win::WPARAM keys, int x, int y, bool right)
{
    ShapeEditorState& e = ShapeEditor();
    win::SetCapture(window);
    win::SetFocus(window);
    const win::POINT p = ShapeCanvasPoint(x, y);
    SetStatus(p);
    if (right) {
        e.drag = ShapeDrag::Pan;
        e.anchor = win::POINT{x, y};
        return;
    }
    if (p.x < 0 || p.y < 0 || p.x > kShapeCanvasSize || p.y > kShapeCanvasSize || e.drag != ShapeDrag::None) {
        EndShapeGesture();
        RedrawShapeArea();
        return;
    }
    const int tool = (keys & win::MK_CONTROL) ? 0 : e.tool;
    const int type = kShapeTools[tool].type;
    if (tool == 0) {
        auto startResize = [&](ShapePrimitive* p, int handle) {
            e.drag = ShapeDrag::Resize;
            e.handle = handle;
            e.resized = p;
            e.resizedRect = p->rect;
            e.resizedExtra = p->extra;
            e.currentObject = p;
        };
        int arcHandle = 0;
        if (ShapePrimitive* arc = ArcEndAt(x, y, arcHandle)) {
            startResize(arc, arcHandle);
            return;
        }
        ShapePrimitive* current = e.currentObject;
        if (current && (current->attributes & kPrimSelected) && std::any_of(e.edit.begin(), e.edit.end(), [&](const ShapePrimitive& q) { return &q == current; })) {
            if (const int handle = HandleAt(*current, x, y)) {
                startResize(current, handle);
                return;
            }
        }
        if (ShapePrimitive* hit = HitTest(p)) {
            if (!(hit->attributes & kPrimSelected)) {
                if (!(keys & win::MK_SHIFT))
                    for (ShapePrimitive& q : e.edit) q.attributes = static_cast<std::uint16_t>(q.attributes & ~kPrimSelected);
                hit->attributes |= kPrimSelected;
            }
            e.currentObject = hit;
            e.drag = ShapeDrag::Move;
            e.anchor = e.last = p;
            e.moved = win::POINT{0, 0};
        } else {
            e.drag = ShapeDrag::Box;
            e.toggleSelection = (keys & win::MK_SHIFT) != 0;
            e.anchor = p;
            e.band = Band(p, p);
        }
        RedrawShapeArea();
        return;
    }
    if (tool == 1) {
        e.drag = ShapeDrag::Pan;
        e.anchor = win::POINT{x, y};
        return;
    }
    switch (type) {
    case kPrimText: AddText(p); AfterPlacement(); return;
    case 0: AddReference(p); AfterPlacement(); return;
    case kPrimPolyClosed:
    case kPrimPolyOpen:
        e.polyPoints.push_back(p);
        RedrawShapeArea();
        return;
    default: break;
    }
    e.anchor = type == kPrimBlock ? win::POINT{SnapToShapeGrid(p.x), SnapToShapeGrid(p.y)} : p;
    e.band = Band(e.anchor, e.anchor);
    e.drag = ShapeDrag::Create;
}

void OnMouseMove(int x, int y)
{
    ShapeEditorState& e = ShapeEditor();
    const win::POINT p = ShapeCanvasPoint(x, y);
    SetStatus(p);
    switch (e.drag) {
    case ShapeDrag::Create:
    case ShapeDrag::Box:
        e.band = Band(e.anchor, p);
        RedrawShapeArea();
        break;
    case ShapeDrag::Move: {
        const win::POINT step = LimitMove(p.x - e.last.x, p.y - e.last.y);
        if (step.x == 0 && step.y == 0) break;
        for (ShapePrimitive& q : e.edit)
            if (q.attributes & kPrimSelected) OffsetPrimitive(q, step.x, step.y);
        e.moved.x += step.x;
        e.moved.y += step.y;
        e.last = win::POINT{e.last.x + step.x, e.last.y + step.y};
        RedrawShapeArea();
        break;
    }
    case ShapeDrag::Resize: {
        // A line keeps its ends in drawing order: its handles move the end they stand on.
        if (!e.resized) break;
        if (e.handle == kArcStartHandle || e.handle == kArcEndHandle) {
            SetPrimitivePoint(*e.resized, e.handle == kArcStartHandle ? 2 : 3, std::clamp(static_cast<int>(p.x), 0, kShapeCanvasSize),
                              std::clamp(static_cast<int>(p.y), 0, kShapeCanvasSize));
            RedrawShapeArea();
            break;
        }
        const win::RECT from = e.resizedRect;
        win::RECT next;
        if (e.resized->type == kPrimLine) {
            next = from;
            const win::POINT a{from.left, from.top}, b{from.right, from.bottom};
            const long da = std::labs(p.x - a.x) + std::labs(p.y - a.y), db = std::labs(p.x - b.x) + std::labs(p.y - b.y);
            if (da <= db) next = win::RECT{p.x, p.y, from.right, from.bottom};
            else next = win::RECT{from.left, from.top, p.x, p.y};
        } else {
            next = NormalBand(Resized(NormalBand(from), e.handle, p));
            if (next.right == next.left || next.bottom == next.top) break;
        }
        // Each step starts from the shape the drag began with: scaled step upon step, the
        // points of a polygon would drift by their rounding.
        e.resized->rect = e.resizedRect;
        e.resized->extra = e.resizedExtra;
        SetPrimitiveRect(next, *e.resized);
        RedrawShapeArea();
        break;
    }
    case ShapeDrag::Pan:
        ScrollShapeArea(e.anchor.x - x, e.anchor.y - y);
        e.anchor = win::POINT{x, y};
        break;
    default: break;
    }
}

void OnButtonUp(int x, int y)
{
    ShapeEditorState& e = ShapeEditor();
    const win::POINT p = ShapeCanvasPoint(x, y);
    const ShapeDrag drag = e.drag;
    e.drag = ShapeDrag::None;
    win::ReleaseCapture();
    switch (drag) {
    case ShapeDrag::Create: EndCreate(p); break;
    case ShapeDrag::Box: {
        const win::RECT box = NormalBand(Band(e.anchor, p));
        for (ShapePrimitive& q : e.edit) {
            if (!Intersects(GetPrimitiveInvalidRect(q), box)) continue;
            if (e.toggleSelection) q.attributes ^= kPrimSelected;
            else q.attributes |= kPrimSelected;
        }
        break;
    }
    case ShapeDrag::Resize:
        if (e.resized && (std::memcmp(&e.resized->rect, &e.resizedRect, sizeof(win::RECT)) != 0 || e.resized->extra != e.resizedExtra)) {
            e.undoCode = 4;
            SetShapeModified(e.dialog, true);
        }
        break;
    case ShapeDrag::Move:
        if (e.moved.x != 0 || e.moved.y != 0) {
            RecordUndo(3);
            e.undoDx = e.moved.x;
            e.undoDy = e.moved.y;
            SetShapeModified(e.dialog, true);
        }
        break;
    default: break;
    }
    RedrawShapeArea();
}

void OnDoubleClick(int x, int y)
{
    ShapeEditorState& e = ShapeEditor();
    const int type = kShapeTools[e.tool].type;
    if (type == kPrimPolyClosed || type == kPrimPolyOpen) {
        FinishPolygon();
        AfterPlacement();
        return;
    }
    ShapePrimitive* hit = HitTest(ShapeCanvasPoint(x, y));
    if (!hit) return;
    if (hit->type == kPrimText && (hit->attributes & kPrimSelected)) {
        EditText(*hit);
        return;
    }
    e.currentObject = hit;
    RunObjectEditor(e.dialog, hit);
}

// Keys of the drawing area, sent to the dialog as commands.
int KeyCommand(int vk, bool ctrl, bool shift, bool alt)
{
    if (alt) return vk == win::VK_BACK ? kCmdUndo : 0;
    if (shift && vk == win::VK_INSERT) return kCmdPaste;
    if (shift && vk == win::VK_DELETE) return kCmdCut;
    if (ctrl) {
        switch (vk) {
        case win::VK_HOME: return kCmdScrollHome;
        case win::VK_END: return kCmdScrollEnd;
        case win::VK_INSERT: return kCmdCopy;
        case 'A': return kCmdSelectAll;
        case 'C': return kCmdCopy;
        case 'V': return kCmdPaste;
        case 'X': return kCmdCut;
        case 'Z': return kCmdUndo;
        case 'E': return kCmdSelectTool;
        default: return 0;
        }
    }
    return vk == win::VK_DELETE ? kCmdClear : 0;
}

// The tool pictures, each a primitive or two in a 16-unit square.
void DrawToolPicture(win::HDC dc, int tool, const ShapeTransform& t)
{
    auto draw = [&](int type, std::initializer_list<long> values) { DrawPrimitive(dc, BuildIntPayload(values), type, 0, t); };
    auto poly = [&](int type, const std::vector<win::POINT>& points) { DrawPrimitive(dc, BuildPolyPayload(points), type, 0, t); };
    switch (tool) {
    case 0: poly(kPrimPolyClosed, {{4, 2}, {4, 13}, {7, 10}, {10, 15}, {12, 14}, {9, 9}, {13, 9}}); break;
    case 1:
        draw(kPrimLine, {8, 2, 8, 14});
        draw(kPrimLine, {2, 8, 14, 8});
        poly(kPrimPolyOpen, {{6, 4}, {8, 2}, {10, 4}});
        poly(kPrimPolyOpen, {{6, 12}, {8, 14}, {10, 12}});
        break;
    case 2: draw(kPrimRectangle, {3, 4, 13, 12}); break;
    case 3: draw(kPrimDiamond, {2, 3, 14, 13}); break;
    case 4: draw(kPrimEllipse, {2, 4, 14, 12}); break;
    case 5: draw(kPrimArc, {2, 4, 14, 16, 14, 10, 2, 10}); break;
    case 6:
        draw(kPrimRectangle, {5, 3, 11, 13});
        for (long y : {5, 11}) {
            draw(kPrimLine, {2, y, 5, y});
            draw(kPrimLine, {11, y, 14, y});
        }
        break;
    case 7: draw(kPrimLine, {2, 13, 14, 3}); break;
    case 8: poly(kPrimPolyClosed, {{3, 13}, {8, 3}, {13, 13}}); break;
    case 9: poly(kPrimPolyOpen, {{2, 12}, {6, 4}, {10, 12}, {14, 4}}); break;
    case 10:
        draw(kPrimRectangle, {2, 2, 11, 11});
        draw(kPrimRectangle, {5, 5, 14, 14});
        break;
    case 11:
        draw(kPrimLine, {3, 3, 13, 3});
        draw(kPrimLine, {8, 3, 8, 14});
        break;
    case 12: draw(kPrimSevenSegment, {2, 1, 14, 15}); break;
    case 13: draw(kPrimLed, {3, 4, 13, 12}); break;
    case 14: draw(kPrimSwitch, {1, 4, 15, 12}); break;
    default: break;
    }
}

void PaintTools(win::HWND window)
{
    const ShapeEditorState& e = ShapeEditor();
    win::PAINTSTRUCT ps;
    win::HDC dc = win::BeginPaint(window, &ps);
    win::RECT client;
    win::GetClientRect(window, &client);
    win::FillRect(dc, &client, static_cast<win::HBRUSH>(win::GetStockObject(win::LTGRAY_BRUSH)));
    const int cell = std::max(1, static_cast<int>(client.right / kShapeToolCount));
    const double scale = std::min(cell, static_cast<int>(client.bottom)) / 17.0;
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    for (int i = 0; i < kShapeToolCount; ++i) {
        const win::RECT r{i * cell, 0, (i + 1) * cell, client.bottom};
        if (i == e.tool) win::FillRect(dc, &r, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
        win::FrameRect(dc, &r, static_cast<win::HBRUSH>(win::GetStockObject(win::GRAY_BRUSH)));
        const double ox = r.left + (cell - 16 * scale) / 2, oy = (client.bottom - 16 * scale) / 2;
        DrawToolPicture(dc, i, OrientationTransform(0, ox, oy, scale));
    }
    win::SelectObject(dc, oldPen);
    win::EndPaint(window, &ps);
}

}  // namespace

std::vector<std::uint8_t> MeasuredTextPayload(const win::POINT& p, const std::string& text, const FontSpec& font,
                                              win::RECT* rect)
{
    auto payload = BuildTextPayload(p.x, p.y, text, font.height, font.face, font.style, font.color);
    win::HDC dc = win::GetDC(ShapeEditor().area);
    FontSpec measured = font;
    if (measured.height == 0) measured.height = -10;
    win::HGDIOBJ previous = SelectFontSpec(dc, measured);
    const win::SIZE size = MeasureTextBlock(dc, text);
    RestoreFont(dc, previous);
    win::ReleaseDC(ShapeEditor().area, dc);
    const win::RECT r{p.x, p.y, p.x + size.cx, p.y + size.cy};
    const auto bytes = BuildIntPayload({r.left, r.top, r.right, r.bottom});
    std::copy(bytes.begin(), bytes.end(), payload.begin());
    if (rect) *rect = r;
    return payload;
}

void EndShapeGesture()
{
    ShapeEditorState& e = ShapeEditor();
    e.drag = ShapeDrag::None;
    if (!e.polyPoints.empty()) FinishPolygon();
}

bool AskShapeText(win::HWND owner, std::string& text, FontSpec& font)
{
    PromptDialogDesc desc;
    ClearPromptDesc(desc);
    desc.templateId = kTextPromptTemplate;
    desc.ownerWindow = owner;
    desc.caption = "Text";
    desc.text = text;
    desc.font = font;
    desc.flags = kPromptUseFont;
    if (RunPromptDialog(desc) != 1) return false;
    text = desc.text;
    font = desc.font;
    return true;
}

FontSpec TextFontOfPayload(std::span<const std::uint8_t> payload)
{
    FontSpec font;
    if (payload.size() < kTextOffset) return font;
    font.height = static_cast<std::int16_t>(payload[16] | (payload[17] << 8));
    font.face = static_cast<std::int16_t>(payload[18] | (payload[19] << 8));
    font.style = payload[20];
    font.color = payload[21];
    return font;
}

win::POINT ShapeCanvasPoint(int x, int y)
{
    const ShapeEditorState& e = ShapeEditor();
    int cx = static_cast<int>((x + e.scrollX) / e.zoom);
    int cy = static_cast<int>((y + e.scrollY) / e.zoom);
    if (e.viewFlags & kShapeViewGridLock) {
        cx = SnapToShapeGrid(cx);
        cy = SnapToShapeGrid(cy);
    }
    return win::POINT{cx, cy};
}

win::POINT ShapePixelPoint(int x, int y)
{
    const ShapeEditorState& e = ShapeEditor();
    return win::POINT{static_cast<win::LONG>(std::lround(x * e.zoom)) - e.scrollX, static_cast<win::LONG>(std::lround(y * e.zoom)) - e.scrollY};
}

void SetStatus(const win::POINT& p)
{
    const ShapeEditorState& e = ShapeEditor();
    if (!e.dialog) return;
    const std::string text = "X: " + std::to_string(p.x) + "  Y: " + std::to_string(p.y);
    win::SetDlgItemText(e.dialog, kShapeStatus, text.c_str());
}

void UpdateShapeScrollBars()
{
    ShapeEditorState& e = ShapeEditor();
    if (!e.dialog || !e.area) return;
    win::RECT client;
    win::GetClientRect(e.area, &client);
    const int content = static_cast<int>(kShapeCanvasSize * e.zoom) + 16;
    const int maxX = std::max(0, content - static_cast<int>(client.right));
    const int maxY = std::max(0, content - static_cast<int>(client.bottom));
    e.scrollX = std::clamp(e.scrollX, 0, maxX);
    e.scrollY = std::clamp(e.scrollY, 0, maxY);
    if (win::HWND h = win::GetDlgItem(e.dialog, kShapeHScroll)) {
        win::SetScrollRange(h, win::SB_CTL, 0, maxX, win::FALSE);
        win::SetScrollPos(h, win::SB_CTL, e.scrollX, win::TRUE);
    }
    if (win::HWND v = win::GetDlgItem(e.dialog, kShapeVScroll)) {
        win::SetScrollRange(v, win::SB_CTL, 0, maxY, win::FALSE);
        win::SetScrollPos(v, win::SB_CTL, e.scrollY, win::TRUE);
    }
}

void ScrollShapeArea(int dx, int dy)
{
    ShapeEditorState& e = ShapeEditor();
    e.scrollX = std::max(0, e.scrollX + dx);
    e.scrollY = std::max(0, e.scrollY + dy);
    UpdateShapeScrollBars();
    RedrawShapeArea();
}

void OnShapeScroll(bool vertical, int code, int position)
{
    ShapeEditorState& e = ShapeEditor();
    int& at = vertical ? e.scrollY : e.scrollX;
    const int page = 64;
    switch (code) {
    case win::SB_LINEUP: at -= 8; break;
    case win::SB_LINEDOWN: at += 8; break;
    case win::SB_PAGEUP: at -= page; break;
    case win::SB_PAGEDOWN: at += page; break;
    case win::SB_THUMBPOSITION:
    case win::SB_THUMBTRACK: at = position; break;
    default: return;
    }
    at = std::max(0, at);
    UpdateShapeScrollBars();
    RedrawShapeArea();
}

win::LRESULT ShapeAreaProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    const int x = win::GET_X_LPARAM(lParam), y = win::GET_Y_LPARAM(lParam);
    switch (message) {
    case win::WM_PAINT: Paint(window); return 0;
    case win::WM_ERASEBKGND: return 1;
    case win::WM_GETDLGCODE: return win::DLGC_WANTCHARS | win::DLGC_WANTARROWS;
    case win::WM_LBUTTONDOWN: OnButtonDown(window, wParam, x, y, false); return 0;
    case win::WM_RBUTTONDOWN: OnButtonDown(window, wParam, x, y, true); return 0;
    case win::WM_MOUSEMOVE: OnMouseMove(x, y); return 0;
    case win::WM_LBUTTONUP: OnButtonUp(x, y); return 0;
    case win::WM_RBUTTONUP:
        ShapeEditor().drag = ShapeDrag::None;
        win::ReleaseCapture();
        return 0;
    case win::WM_LBUTTONDBLCLK: OnDoubleClick(x, y); return 0;
    case win::WM_KEYDOWN:
    case win::WM_SYSKEYDOWN: {
        const bool ctrl = win::GetKeyState(win::VK_CONTROL) < 0, shift = win::GetKeyState(win::VK_SHIFT) < 0;
        const bool alt = message == win::WM_SYSKEYDOWN;
        if (const int command = KeyCommand(static_cast<int>(wParam), ctrl, shift, alt)) {
            win::SendMessage(win::GetParent(window), win::WM_COMMAND, static_cast<win::WPARAM>(command), 0);
            return 0;
        }
        break;
    }
    default: break;
    }
    return win::DefWindowProc(window, message, wParam, lParam);
}

win::LRESULT ShapeToolsProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (message) {
    case win::WM_PAINT: PaintTools(window); return 0;
    case win::WM_LBUTTONDOWN: {
        win::RECT client;
        win::GetClientRect(window, &client);
        const int cell = std::max(1, static_cast<int>(client.right / kShapeToolCount));
        const int i = win::GET_X_LPARAM(lParam) / cell;
        if (i >= 0 && i < kShapeToolCount)
            win::SendMessage(win::GetParent(window), win::WM_COMMAND, static_cast<win::WPARAM>(kShapeTools[i].command), 0);
        return 0;
    }
    default: return win::DefWindowProc(window, message, wParam, lParam);
    }
}

void RegisterShapeEditorClasses()
{
    win::WNDCLASS existing;
    if (!win::GetClassInfo(nullptr, kShapeAreaClassName, &existing)) {
        win::WNDCLASS area;
        area.style = win::CS_HREDRAW | win::CS_VREDRAW | win::CS_DBLCLKS;
        area.lpfnWndProc = ShapeAreaProc;
        area.hCursor = win::LoadCursor(nullptr, win::IDC_ARROW);
        area.lpszClassName = kShapeAreaClassName;
        win::RegisterClass(&area);
    }
    if (!win::GetClassInfo(nullptr, kShapeToolsClassName, &existing)) {
        win::WNDCLASS tools;
        tools.lpfnWndProc = ShapeToolsProc;
        tools.hCursor = win::LoadCursor(nullptr, win::IDC_ARROW);
        tools.lpszClassName = kShapeToolsClassName;
        win::RegisterClass(&tools);
    }
}

}  // namespace kq5
