#include "schematic/shape_draw.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ui/font_select.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/text.h"
#include "document/shape_data.h"
#include "document/shape_library.h"

namespace kq5 {
namespace {

std::int32_t I32(std::span<const std::uint8_t> b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + static_cast<std::size_t>(i)]) << (8 * i);
    return static_cast<std::int32_t>(v);
}

std::int16_t I16(std::span<const std::uint8_t> b, std::size_t at) { return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8)); }

struct DPoint {
    double x, y;
};

win::RECT MapRect(const ShapeTransform& t, double l, double top, double r, double b)
{
    const win::POINT p = t.Map(l, top), q = t.Map(r, b);
    return win::RECT{std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y)};
}

void PolyOf(win::HDC dc, const ShapeTransform& t, const std::vector<DPoint>& points, bool closed)
{
    std::vector<win::POINT> mapped;
    mapped.reserve(points.size() + 1);
    for (const DPoint& p : points) mapped.push_back(t.Map(p.x, p.y));
    if (mapped.empty()) return;
    if (closed) {
        win::Polygon(dc, mapped.data(), static_cast<int>(mapped.size()));
    } else {
        win::Polyline(dc, mapped.data(), static_cast<int>(mapped.size()));
    }
}

void LineOf(win::HDC dc, const ShapeTransform& t, double x1, double y1, double x2, double y2)
{
    PolyOf(dc, t, {{x1, y1}, {x2, y2}}, false);
}

void CircleOf(win::HDC dc, const ShapeTransform& t, double cx, double cy, double radius)
{
    const win::RECT r = MapRect(t, cx - radius, cy - radius, cx + radius, cy + radius);
    win::Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

// The brush of a closed kind: the pen's colour when solid, none when transparent.
class FillScope {
public:
    FillScope(win::HDC dc, bool solid) : dc_(dc)
    {
        if (solid) {
            win::LOGPEN pen{};
            win::GetObject(win::GetCurrentObject(dc, win::OBJ_PEN), sizeof pen, &pen);
            brush_ = win::CreateSolidBrush(pen.lopnColor);
            old_ = win::SelectObject(dc, brush_);
        } else {
            old_ = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
        }
    }
    ~FillScope()
    {
        win::SelectObject(dc_, old_);
        if (brush_) win::DeleteObject(brush_);
    }
    FillScope(const FillScope&) = delete;
    FillScope& operator=(const FillScope&) = delete;

private:
    win::HDC dc_;
    win::HGDIOBJ old_ = nullptr;
    win::HBRUSH brush_ = nullptr;
};

void DrawSevenSegment(win::HDC dc, const ShapeTransform& t, double l, double top, double r, double b)
{
    const double w = r - l, h = b - top;
    const double th = std::max(1.0, std::min(w, h) * 0.12);
    const double x0 = l + w * 0.2, x1 = l + w * 0.8;
    const double y0 = top + h * 0.1, y1 = top + h * 0.5, y2 = top + h * 0.9;
    const double g = th * 0.3;  // gap between segments
    auto horizontal = [&](double xa, double xb, double y) {
        PolyOf(dc, t, {{xa + g, y}, {xa + g + th / 2, y - th / 2}, {xb - g - th / 2, y - th / 2}, {xb - g, y},
                       {xb - g - th / 2, y + th / 2}, {xa + g + th / 2, y + th / 2}}, true);
    };
    auto vertical = [&](double x, double ya, double yb) {
        PolyOf(dc, t, {{x, ya + g}, {x + th / 2, ya + g + th / 2}, {x + th / 2, yb - g - th / 2}, {x, yb - g},
                       {x - th / 2, yb - g - th / 2}, {x - th / 2, ya + g + th / 2}}, true);
    };
    horizontal(x0, x1, y0);  // a
    vertical(x1, y0, y1);    // b
    vertical(x1, y1, y2);    // c
    horizontal(x0, x1, y2);  // d
    vertical(x0, y1, y2);    // e
    vertical(x0, y0, y1);    // f
    horizontal(x0, x1, y1);  // g
}

bool& SwitchSymbolsClosed()
{
    static bool closed = false;
    return closed;
}

// The colour LED symbols are filled with, or -1 for their own fill.
long& LedStateColor()
{
    static long color = -1;
    return color;
}

void DrawSwitchSymbol(win::HDC dc, const ShapeTransform& t, double l, double top, double r, double b)
{
    const double w = r - l, h = b - top;
    const double my = top + h / 2;
    const double x1 = l + w / 3, x2 = l + 2 * w / 3;
    const double radius = std::max(1.0, std::min(w / 12, std::max(h / 4, 1.0)));
    LineOf(dc, t, l, my, x1 - radius, my);
    LineOf(dc, t, x2 + radius, my, r, my);
    CircleOf(dc, t, x1, my, radius);
    CircleOf(dc, t, x2, my, radius);
    if (SwitchSymbolsClosed()) {
        // The lever lies on both contacts.
        LineOf(dc, t, x1, my - radius, x2, my - radius);
        return;
    }
    // The lever stands open, from the first contact up past the second.
    LineOf(dc, t, x1 + radius * 0.7, my - radius * 0.7, x2 + radius, top);
}

void DrawBlock(win::HDC dc, std::span<const std::uint8_t> payload, const ShapeTransform& t)
{
    const int count = I16(payload, 0);
    const win::RECT box{I32(payload, 4), I32(payload, 8), I32(payload, 12), I32(payload, 16)};
    const double l = std::min(box.left, box.right), r = std::max(box.left, box.right);
    const double top = std::min(box.top, box.bottom), b = std::max(box.top, box.bottom);
    const win::RECT mapped = MapRect(t, l, top, r, b);
    win::Rectangle(dc, mapped.left, mapped.top, mapped.right, mapped.bottom);
    const bool horizontal = r - l > b - top;
    for (int k = 0; k < count; ++k) {
        const std::size_t at = kPointListOffset + static_cast<std::size_t>(k) * kBlockPinSize;
        const int marks = I16(payload, at);
        const double px = I32(payload, at + 4), py = I32(payload, at + 8);
        // The pin runs across the side it lies outside of; dir points from the edge outwards.
        double ex, ey, dx = 0, dy = 0;
        if (horizontal) {
            ex = px;
            ey = py < top ? top : b;
            dy = py < top ? -1 : 1;
        } else {
            ey = py;
            ex = px < l ? l : r;
            dx = px < l ? -1 : 1;
        }
        if (marks & kPinBubble) {
            LineOf(dc, t, px, py, ex + dx * 8, ey + dy * 8);
            CircleOf(dc, t, ex + dx * 4, ey + dy * 4, 4);
        } else {
            LineOf(dc, t, px, py, ex, ey);
        }
        if (marks & kPinClock) {
            // Two lines from the edge, 4 units either side of the pin, meeting 8 units inside.
            const double sx = dy != 0 ? 4 : 0, sy = dx != 0 ? 4 : 0;
            PolyOf(dc, t, {{ex - sx, ey - sy}, {ex - dx * 8, ey - dy * 8}, {ex + sx, ey + sy}}, false);
        }
    }
}

void DrawText(win::HDC dc, std::span<const std::uint8_t> payload, const ShapeTransform& t)
{
    const win::RECT box = MapRect(t, I32(payload, 0), I32(payload, 4), I32(payload, 8), I32(payload, 12));
    FontSpec font;
    font.height = I16(payload, 16);
    font.face = I16(payload, 18);
    font.style = payload[20];
    font.color = payload[21];
    const double height = font.height != 0 ? std::abs(font.height) : 10.0;
    font.height = static_cast<std::int16_t>(-std::max(1L, std::lround(height * t.Scale())));
    const std::string text = TextOfPayload(payload);
    win::HGDIOBJ previous = SelectFontSpec(dc, font);
    const int oldMode = win::SetBkMode(dc, win::TRANSPARENT);
    const int step = std::max(1, TextLineSpacing(dc));
    const char separator = text.find('\r') != std::string::npos ? '\r' : '\n';
    int y = box.top;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (!line.empty()) win::TextOut(dc, box.left, y, line.c_str(), static_cast<int>(line.size()));
        y += step;
        start = end + 1;
        if (separator == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    win::SetBkMode(dc, oldMode);
    RestoreFont(dc, previous);
}

int DrawData(win::HDC dc, const ShapeRecord& record, const ShapeTransform& t, int depth)
{
    const std::span<const std::uint8_t> data(record.data);
    if (data.size() < 2) return 0;
    const int count = I16(data, 0);
    std::size_t at = 2;
    for (int i = 0; i < count && data.size() - at >= 8; ++i) {
        const int type = I16(data, at);
        const std::uint16_t attributes = static_cast<std::uint16_t>(data[at + 2] | (data[at + 3] << 8));
        const std::uint32_t length = static_cast<std::uint32_t>(I32(data, at + 4));
        at += 8;
        if (length > data.size() - at) break;
        const auto payload = data.subspan(at, length);
        at += length;
        if (type < 0) {
            DrawPrimitive(dc, payload, type, attributes, t);
            continue;
        }
        // A reference: the referenced shape placed at its stored point, turned about the centre
        // of where it lies.
        const ShapeRecord* referenced = FindShapeRecord(type);
        if (!referenced || length < kReferencePayload || depth >= kMaxReferenceDepth) continue;
        const win::RECT& e = referenced->extent;
        const double w = e.right - e.left, h = e.bottom - e.top;
        const int orientation = I16(payload, 8) & 7;
        double px = I32(payload, 0), py = I32(payload, 4);
        if (orientation & 1) {
            const int s = static_cast<int>(w - h) / 2;
            px -= s;
            py += s;
        }
        const double cx = px + w / 2, cy = py + h / 2;
        ShapeTransform inner = OrientationTransform(orientation, 0, 0, 1);
        const double ox = px - e.left - cx, oy = py - e.top - cy;
        inner.e = cx + inner.a * ox + inner.b * oy;
        inner.f = cy + inner.c * ox + inner.d * oy;
        DrawData(dc, *referenced, t.Then(inner), depth + 1);
    }
    return 1;
}

}  // namespace

win::POINT ShapeTransform::Map(double x, double y) const
{
    return win::POINT{static_cast<win::LONG>(std::lround(a * x + b * y + e)), static_cast<win::LONG>(std::lround(c * x + d * y + f))};
}

ShapeTransform ShapeTransform::Then(const ShapeTransform& inner) const
{
    ShapeTransform out;
    out.a = a * inner.a + b * inner.c;
    out.b = a * inner.b + b * inner.d;
    out.c = c * inner.a + d * inner.c;
    out.d = c * inner.b + d * inner.d;
    out.e = a * inner.e + b * inner.f + e;
    out.f = c * inner.e + d * inner.f + f;
    return out;
}

void SetSwitchSymbolsClosed(bool closed) { SwitchSymbolsClosed() = closed; }

void SetLedStateColor(long color) { LedStateColor() = color; }

double ShapeTransform::Scale() const { return std::sqrt(std::abs(a * d - b * c)); }

ShapeTransform OrientationTransform(int orientation, double x, double y, double scale)
{
    ShapeTransform t;
    const win::POINT ux = OrientPoint(orientation, 1, 0), uy = OrientPoint(orientation, 0, 1);
    t.a = ux.x * scale;
    t.c = ux.y * scale;
    t.b = uy.x * scale;
    t.d = uy.y * scale;
    t.e = x;
    t.f = y;
    return t;
}

void DrawPrimitive(win::HDC dc, std::span<const std::uint8_t> payload, int type, std::uint16_t attributes,
                   const ShapeTransform& t)
{
    if (type >= 0) return;
    const bool solid = (attributes & kPrimSolid) != 0;
    if (IsRectKind(type) && payload.size() >= kRectPayload) {
        const double l = I32(payload, 0), top = I32(payload, 4), r = I32(payload, 8), b = I32(payload, 12);
        if (type == kPrimLine) {
            LineOf(dc, t, l, top, r, b);
            return;
        }
        FillScope fill(dc, solid);
        const win::RECT m = MapRect(t, l, top, r, b);
        switch (type) {
        case kPrimRectangle: win::Rectangle(dc, m.left, m.top, m.right, m.bottom); break;
        case kPrimEllipse: win::Ellipse(dc, m.left, m.top, m.right, m.bottom); break;
        case kPrimDiamond: {
            // Through the midpoints of the placed rectangle, so that a turned diamond draws as one
            // placed there turned.
            const win::LONG mx = (m.left + m.right) / 2, my = (m.top + m.bottom) / 2;
            const win::POINT points[5] = {{mx, m.top}, {m.right, my}, {mx, m.bottom}, {m.left, my}, {mx, m.top}};
            win::Polyline(dc, points, 5);
            break;
        }
        case kPrimSevenSegment: DrawSevenSegment(dc, t, std::min(l, r), std::min(top, b), std::max(l, r), std::max(top, b)); break;
        case kPrimLed: {
            const long corner = std::max(1L, std::lround(4 * t.Scale()));
            win::HBRUSH lit = LedStateColor() >= 0 ? win::CreateSolidBrush(static_cast<win::COLORREF>(LedStateColor())) : nullptr;
            win::HGDIOBJ old = lit ? win::SelectObject(dc, lit) : nullptr;
            win::RoundRect(dc, m.left, m.top, m.right, m.bottom, static_cast<int>(corner), static_cast<int>(corner));
            if (lit) {
                win::SelectObject(dc, old);
                win::DeleteObject(lit);
            }
            break;
        }
        case kPrimSwitch: DrawSwitchSymbol(dc, t, std::min(l, r), std::min(top, b), std::max(l, r), std::max(top, b)); break;
        default: break;
        }
        return;
    }
    if (type == kPrimArc && payload.size() == kArcPayload) {
        const win::RECT m = MapRect(t, I32(payload, 0), I32(payload, 4), I32(payload, 8), I32(payload, 12));
        win::POINT s = t.Map(I32(payload, 16), I32(payload, 20));
        win::POINT e = t.Map(I32(payload, 24), I32(payload, 28));
        if (t.Mirrored()) std::swap(s, e);
        win::Arc(dc, m.left, m.top, m.right, m.bottom, s.x, s.y, e.x, e.y);
        return;
    }
    if ((type == kPrimPolyClosed || type == kPrimPolyOpen) && payload.size() >= kPointListOffset) {
        const int count = I16(payload, 0);
        if (count <= 0 || kPointListOffset + static_cast<std::size_t>(count) * kPolyPointSize > payload.size()) return;
        std::vector<DPoint> points;
        for (int k = 0; k < count; ++k) {
            const std::size_t at = kPointListOffset + static_cast<std::size_t>(k) * kPolyPointSize;
            points.push_back(DPoint{static_cast<double>(I32(payload, at)), static_cast<double>(I32(payload, at + 4))});
        }
        if (type == kPrimPolyClosed) {
            FillScope fill(dc, solid);
            PolyOf(dc, t, points, true);
        } else {
            PolyOf(dc, t, points, false);
        }
        return;
    }
    if (type == kPrimBlock && payload.size() >= kPointListOffset) {
        const int count = I16(payload, 0);
        if (count < 0 || kPointListOffset + static_cast<std::size_t>(count) * kBlockPinSize > payload.size()) return;
        FillScope fill(dc, false);
        DrawBlock(dc, payload, t);
        return;
    }
    if (type == kPrimText && payload.size() > kTextOffset) DrawText(dc, payload, t);
}

int DrawShapeData(win::HDC dc, int shapeIndex, int orientation, int x, int y, double scale)
{
    const ShapeRecord* record = FindShapeRecord(shapeIndex);
    if (!record || record->data.empty()) return 0;
    return DrawData(dc, *record, OrientationTransform(orientation & 7, x, y, scale), 0);
}

int DrawShapeByIndex(win::HDC dc, int shapeIndex, int x, int y, int orientation, int flags)
{
    if (!FindShapeRecord(shapeIndex)) return 0;
    DrawShapeData(dc, shapeIndex, orientation, x, y, 1.0);
    return 1;
}

}  // namespace kq5
