#include "document/shape_data.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>

#include "document/binary_io.h"
#include "document/shape_library.h"

namespace kq5 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::int32_t ReadI32(std::span<const std::uint8_t> b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + static_cast<std::size_t>(i)]) << (8 * i);
    return static_cast<std::int32_t>(v);
}

std::int16_t ReadI16(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8));
}

void WriteI32(Bytes& b, std::size_t at, std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

void WriteI16(Bytes& b, std::size_t at, std::int16_t value)
{
    const auto v = static_cast<std::uint16_t>(value);
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

win::RECT ReadRect(std::span<const std::uint8_t> b, std::size_t at)
{
    return win::RECT{ReadI32(b, at), ReadI32(b, at + 4), ReadI32(b, at + 8), ReadI32(b, at + 12)};
}

void WriteRect(Bytes& b, std::size_t at, const win::RECT& r)
{
    WriteI32(b, at, r.left);
    WriteI32(b, at + 4, r.top);
    WriteI32(b, at + 8, r.right);
    WriteI32(b, at + 12, r.bottom);
}

win::RECT Normalized(win::RECT r)
{
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    return r;
}

void Unite(win::RECT& into, const win::RECT& r)
{
    into.left = std::min(into.left, r.left);
    into.top = std::min(into.top, r.top);
    into.right = std::max(into.right, r.right);
    into.bottom = std::max(into.bottom, r.bottom);
}

// Count of the points of a BLOCK (pins) or POLY (points) payload, or -1 when the payload cannot
// hold what its count says.
int ListedCount(std::span<const std::uint8_t> payload, std::size_t entrySize)
{
    if (payload.size() < kPointListOffset) return -1;
    const int count = ReadI16(payload, 0);
    if (count < 0 || kPointListOffset + static_cast<std::size_t>(count) * entrySize > payload.size()) return -1;
    return count;
}

bool PayloadFits(int type, std::span<const std::uint8_t> payload)
{
    if (IsRectKind(type)) return payload.size() == kRectPayload;
    if (type == kPrimArc) return payload.size() == kArcPayload;
    if (type == kPrimBlock) return ListedCount(payload, kBlockPinSize) >= 0;
    if (type == kPrimPolyClosed || type == kPrimPolyOpen) return ListedCount(payload, kPolyPointSize) >= 0;
    if (type == kPrimText) {
        if (payload.size() <= kTextOffset) return false;
        return std::find(payload.begin() + kTextOffset, payload.end(), 0) != payload.end();
    }
    if (type >= 0) return payload.size() >= kReferencePayload;
    return false;
}

// Point k of a POLY or pin k of a BLOCK: where its x lies in the payload.
std::size_t ListedPointAt(const ShapePrimitive& p, int k)
{
    return p.type == kPrimBlock ? kPointListOffset + static_cast<std::size_t>(k) * kBlockPinSize + 4
                                : kPointListOffset + static_cast<std::size_t>(k) * kPolyPointSize;
}

int ListedPoints(const ShapePrimitive& p)
{
    return ListedCount(p.extra, p.type == kPrimBlock ? kBlockPinSize : kPolyPointSize);
}

// The bounding rectangle of a POLY's points, or a BLOCK's box united with its pin ends.
win::RECT ListedBounds(const ShapePrimitive& p)
{
    const int n = std::max(ListedPoints(p), 0);
    win::RECT r{};
    bool first = true;
    if (p.type == kPrimBlock) {
        r = Normalized(ReadRect(p.extra, 4));
        first = false;
    }
    for (int k = 0; k < n; ++k) {
        const std::size_t at = ListedPointAt(p, k);
        const win::RECT pt{ReadI32(p.extra, at), ReadI32(p.extra, at + 4), ReadI32(p.extra, at), ReadI32(p.extra, at + 4)};
        if (first) {
            r = pt;
            first = false;
        } else {
            Unite(r, pt);
        }
    }
    return r;
}

long RoundHalfUp(double v) { return static_cast<long>(std::floor(v + 0.5)); }

win::POINT OrientAbout(int code, int x, int y, double cx, double cy)
{
    const double dx = x - cx, dy = y - cy;
    double rx = dx, ry = dy;
    switch (code & 3) {
    case 1: rx = -dy; ry = dx; break;
    case 2: rx = -dx; ry = -dy; break;
    case 3: rx = dy; ry = -dx; break;
    default: break;
    }
    if (code & 4) ry = -ry;
    return win::POINT{static_cast<win::LONG>(RoundHalfUp(rx + cx)), static_cast<win::LONG>(RoundHalfUp(ry + cy))};
}

win::RECT OrientRect(int code, const win::RECT& r, double cx, double cy)
{
    const win::POINT a = OrientAbout(code, r.left, r.top, cx, cy);
    const win::POINT b = OrientAbout(code, r.right, r.bottom, cx, cy);
    return Normalized(win::RECT{a.x, a.y, b.x, b.y});
}

void OrientListedPoints(ShapePrimitive& p, int code, double cx, double cy)
{
    const int n = std::max(ListedPoints(p), 0);
    for (int k = 0; k < n; ++k) {
        const std::size_t at = ListedPointAt(p, k);
        const win::POINT q = OrientAbout(code, ReadI32(p.extra, at), ReadI32(p.extra, at + 4), cx, cy);
        WriteI32(p.extra, at, q.x);
        WriteI32(p.extra, at + 4, q.y);
    }
}

void OrientOne(ShapePrimitive& p, int code, double cx, double cy)
{
    if (p.type == kPrimLine) {
        const win::POINT a = OrientAbout(code, p.rect.left, p.rect.top, cx, cy);
        const win::POINT b = OrientAbout(code, p.rect.right, p.rect.bottom, cx, cy);
        p.rect = win::RECT{a.x, a.y, b.x, b.y};
        return;
    }
    if (p.type == kPrimArc) {
        const win::RECT box = OrientRect(code, ReadRect(p.extra, 0), cx, cy);
        win::POINT s = OrientAbout(code, ReadI32(p.extra, 16), ReadI32(p.extra, 20), cx, cy);
        win::POINT e = OrientAbout(code, ReadI32(p.extra, 24), ReadI32(p.extra, 28), cx, cy);
        // A mirror turns the arc's direction round; swapping its ends keeps the same curve drawn
        // counter-clockwise.
        if (code & 4) std::swap(s, e);
        WriteRect(p.extra, 0, box);
        WriteI32(p.extra, 16, s.x);
        WriteI32(p.extra, 20, s.y);
        WriteI32(p.extra, 24, e.x);
        WriteI32(p.extra, 28, e.y);
        p.rect = box;
        return;
    }
    if (p.type == kPrimPolyClosed || p.type == kPrimPolyOpen) {
        OrientListedPoints(p, code, cx, cy);
        p.rect = ListedBounds(p);
        WriteRect(p.extra, 4, p.rect);
        return;
    }
    if (p.type == kPrimBlock) {
        WriteRect(p.extra, 4, OrientRect(code, ReadRect(p.extra, 4), cx, cy));
        OrientListedPoints(p, code, cx, cy);
        p.rect = ListedBounds(p);
        return;
    }
    if (p.type == kPrimText) {
        p.rect = OrientRect(code, p.rect, cx, cy);
        WriteRect(p.extra, 0, p.rect);
        return;
    }
    if (p.type >= 0) {
        p.rect = OrientRect(code, p.rect, cx, cy);
        p.refOrientation = static_cast<std::uint16_t>(ComposeOrientation(p.refOrientation & 7, code));
        OrientPrimitives(p.contents, code, true, cx, cy);
        return;
    }
    p.rect = OrientRect(code, p.rect, cx, cy);
}

}  // namespace

bool IsRectKind(int type)
{
    switch (type) {
    case kPrimLine: case kPrimRectangle: case kPrimEllipse: case kPrimDiamond:
    case kPrimSevenSegment: case kPrimLed: case kPrimSwitch: return true;
    default: return false;
    }
}

bool IsVariableKind(int type)
{
    return type == kPrimBlock || type == kPrimText || type == kPrimPolyClosed || type == kPrimPolyOpen;
}

bool IsClosedKind(int type)
{
    switch (type) {
    case kPrimRectangle: case kPrimEllipse: case kPrimDiamond: case kPrimPolyClosed:
    case kPrimSevenSegment: case kPrimLed: case kPrimSwitch: return true;
    default: return false;
    }
}

bool IsKnownPrimitiveType(int type) { return IsRectKind(type) || IsVariableKind(type) || type == kPrimArc; }

win::POINT OrientPoint(int code, int x, int y) { return OrientAbout(code, x, y, 0, 0); }

int ComposeOrientation(int a, int b)
{
    static const auto table = [] {
        std::array<std::array<int, 8>, 8> t{};
        for (int first = 0; first < 8; ++first) {
            for (int second = 0; second < 8; ++second) {
                const win::POINT p = OrientPoint(second, OrientPoint(first, 1, 2).x, OrientPoint(first, 1, 2).y);
                for (int c = 0; c < 8; ++c) {
                    const win::POINT q = OrientPoint(c, 1, 2);
                    if (q.x == p.x && q.y == p.y) t[static_cast<std::size_t>(second)][static_cast<std::size_t>(first)] = c;
                }
            }
        }
        return t;
    }();
    return table[static_cast<std::size_t>(b & 7)][static_cast<std::size_t>(a & 7)];
}

ShapePrimitive* CreatePrimitive(PrimitiveList& list, std::span<const std::uint8_t> payload, int dx, int dy, int type,
                                std::uint16_t attributes, int flags, int depth)
{
    if (!PayloadFits(type, payload)) return nullptr;
    const ShapeRecord* referenced = nullptr;
    if (type >= 0) {
        if (depth >= kMaxReferenceDepth) return nullptr;
        referenced = FindShapeRecord(type);
        if (!referenced && type == 0 && !Shapes().table.empty()) referenced = Shapes().table[0];
        if (!referenced) return nullptr;
    }
    try {
        ShapePrimitive p;
        p.type = static_cast<std::int16_t>(type);
        p.attributes = static_cast<std::uint16_t>(attributes | ((flags & 1) ? kPrimInReference : 0));
        if (IsRectKind(type)) {
            p.rect = ReadRect(payload, 0);
        } else if (type == kPrimArc) {
            p.extra.assign(payload.begin(), payload.end());
            p.rect = Normalized(ReadRect(payload, 0));
        } else if (IsVariableKind(type)) {
            p.extra.assign(payload.begin(), payload.end());
            if (type == kPrimText) p.rect = ReadRect(payload, 0);
            else if (type == kPrimBlock) p.rect = ListedBounds(p);
            else p.rect = ReadRect(payload, 4);
        }
        if (type < 0) {
            OffsetPrimitive(p, dx, dy);
            list.push_back(std::move(p));
            return &list.back();
        }
        const win::RECT& e = referenced->extent;
        const int w = e.right - e.left, h = e.bottom - e.top;
        win::POINT at{ReadI32(payload, 0) + dx, ReadI32(payload, 4) + dy};
        const int orientation = ReadI16(payload, 8) & 7;
        if (orientation & 1) {
            const int s = (w - h) / 2;
            at = win::POINT{at.x - s, at.y + s};
        }
        p.rect = win::RECT{at.x, at.y, at.x + w, at.y + h};
        p.refOrientation = static_cast<std::uint16_t>(orientation);
        if (!(attributes & kPrimSolid)) {
            ParseShapeData(p.contents, *referenced, at.x - e.left, at.y - e.top, 3, depth + 1);
            if (orientation != 0) {
                const double cx = (p.rect.left + p.rect.right) * 0.5, cy = (p.rect.top + p.rect.bottom) * 0.5;
                OrientPrimitives(p.contents, orientation, true, cx, cy);
                p.rect = OrientRect(orientation, p.rect, cx, cy);
            }
        }
        list.push_back(std::move(p));
        return &list.back();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void ParseShapeData(PrimitiveList& list, const ShapeRecord& record, int dx, int dy, int flags, int depth)
{
    list.clear();
    const std::span<const std::uint8_t> data(record.data);
    if (data.size() < 2) return;
    const int count = ReadI16(data, 0);
    std::size_t at = 2;
    for (int i = 0; i < count; ++i) {
        if (data.size() - at < 8) return;
        const int type = ReadI16(data, at);
        const std::uint16_t attributes = static_cast<std::uint16_t>(data[at + 2] | (data[at + 3] << 8));
        const std::uint32_t length = static_cast<std::uint32_t>(ReadI32(data, at + 4));
        at += 8;
        if (length > data.size() - at) return;
        // Unknown kinds and references to empty slots are skipped; the rest of the block still
        // counts.
        CreatePrimitive(list, data.subspan(at, length), dx, dy, type, attributes, flags, depth);
        at += length;
    }
}

std::vector<std::uint8_t> PrimitivePayload(const ShapePrimitive& p)
{
    if (IsRectKind(p.type)) {
        Bytes b(kRectPayload);
        WriteRect(b, 0, p.rect);
        return b;
    }
    if (p.type >= 0) {
        Bytes b(kReferencePayload, 0);
        WriteI32(b, 0, p.rect.left);
        WriteI32(b, 4, p.rect.top);
        WriteI16(b, 8, static_cast<std::int16_t>(p.refOrientation & 7));
        return b;
    }
    return p.extra;
}

bool StoreShapeData(ShapeRecord& record, PrimitiveList& list)
{
    try {
        ByteWriter out;
        out.U16(0);
        int count = 0;
        win::RECT extent{};
        for (ShapePrimitive& p : list) {
            if ((IsVariableKind(p.type) || p.type == kPrimArc) && p.extra.empty()) continue;
            OffsetPrimitive(p, -32, -32);
            const win::RECT r = Normalized(p.rect);
            if (count == 0) extent = r;
            else Unite(extent, r);
            const Bytes payload = PrimitivePayload(p);
            out.I16(p.type);
            out.U16(p.attributes);
            out.U32(static_cast<std::uint32_t>(payload.size()));
            out.Bytes(std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));
            ++count;
        }
        if (count == 0) {
            record.data.clear();
            record.extent = win::RECT{};
        } else {
            std::string bytes = out.Take();
            PutU16At(bytes, 0, static_cast<std::uint16_t>(count));
            record.data.assign(bytes.begin(), bytes.end());
            if (extent.right == extent.left) ++extent.right;
            if (extent.bottom == extent.top) ++extent.bottom;
            record.extent = extent;
        }
    } catch (const std::bad_alloc&) {
        for (ShapePrimitive& p : list) OffsetPrimitive(p, 32, 32);
        return false;
    }
    list.clear();
    return true;
}

void OffsetPrimitive(ShapePrimitive& p, int dx, int dy)
{
    p.rect.left += dx;
    p.rect.right += dx;
    p.rect.top += dy;
    p.rect.bottom += dy;
    if (p.type == kPrimText && p.extra.size() >= kRectPayload) {
        WriteRect(p.extra, 0, p.rect);
    } else if (p.type == kPrimArc && p.extra.size() == kArcPayload) {
        for (std::size_t at = 0; at < kArcPayload; at += 8) {
            WriteI32(p.extra, at, ReadI32(p.extra, at) + dx);
            WriteI32(p.extra, at + 4, ReadI32(p.extra, at + 4) + dy);
        }
    } else if (p.type == kPrimBlock || p.type == kPrimPolyClosed || p.type == kPrimPolyOpen) {
        if (ListedPoints(p) < 0) return;
        win::RECT inner = ReadRect(p.extra, 4);
        inner = win::RECT{inner.left + dx, inner.top + dy, inner.right + dx, inner.bottom + dy};
        WriteRect(p.extra, 4, inner);
        for (int k = 0; k < ListedPoints(p); ++k) {
            const std::size_t at = ListedPointAt(p, k);
            WriteI32(p.extra, at, ReadI32(p.extra, at) + dx);
            WriteI32(p.extra, at + 4, ReadI32(p.extra, at + 4) + dy);
        }
    } else if (p.type >= 0) {
        for (ShapePrimitive& c : p.contents) OffsetPrimitive(c, dx, dy);
    }
}

void SetPrimitiveRect(const win::RECT& rect, ShapePrimitive& p)
{
    if (p.type == kPrimPolyClosed || p.type == kPrimPolyOpen) {
        const win::RECT old = p.rect;
        const long ow = old.right - old.left, oh = old.bottom - old.top;
        const long nw = rect.right - rect.left, nh = rect.bottom - rect.top;
        // A poly without width or height cannot be scaled; it keeps its points.
        if (nw == 0 || nh == 0 || ow == 0 || oh == 0 || ListedPoints(p) < 0) return;
        for (int k = 0; k < ListedPoints(p); ++k) {
            const std::size_t at = ListedPointAt(p, k);
            const long x = ReadI32(p.extra, at), y = ReadI32(p.extra, at + 4);
            WriteI32(p.extra, at, static_cast<std::int32_t>((x - old.left) * nw / ow + rect.left));
            WriteI32(p.extra, at + 4, static_cast<std::int32_t>((y - old.top) * nh / oh + rect.top));
        }
        p.rect = rect;
        WriteRect(p.extra, 4, rect);
        return;
    }
    if (p.type == kPrimArc) {
        if (p.extra.size() == kArcPayload) WriteRect(p.extra, 0, rect);
        p.rect = Normalized(rect);
        return;
    }
    if (p.type == kPrimBlock) {
        Bytes payload = BuildBlockPayload(Normalized(rect), p.extra);
        if (payload.empty()) return;
        p.extra = std::move(payload);
        p.rect = ListedBounds(p);
        return;
    }
    p.rect = rect;
    if (p.type == kPrimText && p.extra.size() >= kRectPayload) WriteRect(p.extra, 0, rect);
}

void OrientPrimitives(PrimitiveList& list, int orientation, bool whole, double cx, double cy)
{
    for (ShapePrimitive& p : list) {
        if (whole || (p.attributes & kPrimSelected)) OrientOne(p, orientation & 7, cx, cy);
    }
}

win::RECT GetPrimitiveInvalidRect(const ShapePrimitive& p)
{
    win::RECT r = p.rect;
    if (p.type == kPrimLine || p.type == kPrimArc || p.type == kPrimSwitch) {
        if (r.left == r.right) {
            r.left -= 2;
            r.right += 2;
        } else if (r.top == r.bottom) {
            r.top -= 2;
            r.bottom += 2;
        }
    }
    return Normalized(r);
}

int GetPrimitivesBounds(const PrimitiveList& list, win::RECT& out, std::uint16_t mask)
{
    out = win::RECT{1000, 1000, 1000, 1000};
    int taken = 0;
    for (const ShapePrimitive& p : list) {
        const bool take = mask == 0 ? !(p.attributes & kPrimSelected) : (p.attributes & mask) != 0;
        if (!take) continue;
        // The starting rectangle only stands for "nothing taken"; it is not part of the union.
        if (taken == 0) out = GetPrimitiveInvalidRect(p);
        else Unite(out, GetPrimitiveInvalidRect(p));
        ++taken;
    }
    if ((mask & kPrimSelected) && taken > 0) {
        out.left -= 3;
        out.top -= 3;
        out.right += 4;
        out.bottom += 4;
    }
    return taken;
}

void GetPrimitiveTypeName(int type, std::string& out)
{
    switch (type) {
    case kPrimLine: out = "LINE"; return;
    case kPrimRectangle: out = "RECTANGLE"; return;
    case kPrimEllipse: out = "ELLIPSE"; return;
    case kPrimArc: out = "ARC"; return;
    case kPrimBlock: out = "BLOCK"; return;
    case kPrimDiamond: out = "DIAMOND"; return;
    case kPrimText: out = "TEXT"; return;
    case kPrimPolyClosed: out = "POLY CLOSED"; return;
    case kPrimPolyOpen: out = "POLY OPEN"; return;
    case kPrimSevenSegment: out = "SEVEN SEGMENT"; return;
    case kPrimLed: out = "LED"; return;
    case kPrimSwitch: out = "SWITCH"; return;
    default: break;
    }
    if (type >= 0 && static_cast<std::size_t>(type) < Shapes().table.size() && Shapes().table[static_cast<std::size_t>(type)])
        out = Shapes().table[static_cast<std::size_t>(type)]->name;
}

int PrimitivePointCount(const ShapePrimitive& p)
{
    if (p.type == kPrimPolyClosed || p.type == kPrimPolyOpen || p.type == kPrimBlock) return std::max(ListedPoints(p), 0);
    if (p.type == kPrimArc) return 4;
    if (p.type >= 0) return 1;
    return 2;
}

std::vector<win::POINT> GetPrimitivePoints(const ShapePrimitive& p)
{
    std::vector<win::POINT> out;
    if (p.type == kPrimPolyClosed || p.type == kPrimPolyOpen || p.type == kPrimBlock) {
        for (int k = 0; k < ListedPoints(p); ++k) {
            const std::size_t at = ListedPointAt(p, k);
            out.push_back(win::POINT{ReadI32(p.extra, at), ReadI32(p.extra, at + 4)});
        }
    } else if (p.type == kPrimArc && p.extra.size() == kArcPayload) {
        for (std::size_t at = 0; at < kArcPayload; at += 8) out.push_back(win::POINT{ReadI32(p.extra, at), ReadI32(p.extra, at + 4)});
    } else if (p.type >= 0) {
        out.push_back(win::POINT{p.rect.left, p.rect.top});
    } else {
        out.push_back(win::POINT{p.rect.left, p.rect.top});
        out.push_back(win::POINT{p.rect.right, p.rect.bottom});
    }
    return out;
}

bool SetPrimitivePoint(ShapePrimitive& p, int k, int x, int y)
{
    if (k < 0 || k >= PrimitivePointCount(p)) return false;
    if (p.type >= 0) {
        if (x < 0 || y < 0) return false;
        OffsetPrimitive(p, x - p.rect.left, y - p.rect.top);
        return true;
    }
    if (p.type == kPrimPolyClosed || p.type == kPrimPolyOpen || p.type == kPrimBlock) {
        if (x < 0 || y < 0) return false;
        const std::size_t at = ListedPointAt(p, k);
        WriteI32(p.extra, at, x);
        WriteI32(p.extra, at + 4, y);
        p.rect = ListedBounds(p);
        if (p.type != kPrimBlock) WriteRect(p.extra, 4, p.rect);
        return true;
    }
    if (p.type == kPrimLine) {
        win::RECT r = p.rect;
        if (k == 0) r = win::RECT{x, y, r.right, r.bottom};
        else r = win::RECT{r.left, r.top, x, y};
        p.rect = r;
        return true;
    }
    if (p.type == kPrimArc && k >= 2) {
        WriteI32(p.extra, 16 + static_cast<std::size_t>(k - 2) * 8, x);
        WriteI32(p.extra, 20 + static_cast<std::size_t>(k - 2) * 8, y);
        return true;
    }
    win::RECT r = p.type == kPrimArc ? ReadRect(p.extra, 0) : p.rect;
    if (k == 0) {
        if (x < 0 || y < 0 || x >= r.right || y >= r.bottom) return false;
        r.left = x;
        r.top = y;
    } else {
        if (x <= r.left || y <= r.top) return false;
        r.right = x;
        r.bottom = y;
    }
    SetPrimitiveRect(r, p);
    return true;
}

int SnapToShapeGrid(int v) { return ((v - 4) / 8) * 8 + 8; }

std::vector<std::uint8_t> BuildBlockPayload(const win::RECT& box, std::span<const std::uint8_t> oldPayload)
{
    const bool horizontal = box.right - box.left > box.bottom - box.top;
    win::POINT first = horizontal ? win::POINT{box.left - 1 + 12, box.top - 1 - 12} : win::POINT{box.left - 1 - 12, box.top - 1 + 12};
    win::POINT last = horizontal ? win::POINT{box.right + 4, box.bottom + 12} : win::POINT{box.right + 12, box.bottom + 4};
    first = win::POINT{SnapToShapeGrid(first.x), SnapToShapeGrid(first.y)};
    last = win::POINT{SnapToShapeGrid(last.x), SnapToShapeGrid(last.y)};
    const int n = horizontal ? (last.x - first.x) / kBlockPinSpacing : (last.y - first.y) / kBlockPinSpacing;
    if (n <= 0 || n > 1000) return {};
    const int oldCount = ListedCount(oldPayload, kBlockPinSize);
    const int oldPerSide = oldCount > 0 ? oldCount / 2 : 0;
    Bytes b(kPointListOffset + static_cast<std::size_t>(2 * n) * kBlockPinSize, 0);
    WriteI16(b, 0, static_cast<std::int16_t>(2 * n));
    WriteRect(b, 4, box);
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < n; ++i) {
            const int pin = side * n + i;
            const std::size_t at = kPointListOffset + static_cast<std::size_t>(pin) * kBlockPinSize;
            const int along = (horizontal ? first.x : first.y) + i * kBlockPinSpacing;
            const int across = side == 0 ? (horizontal ? first.y : first.x) : (horizontal ? last.y : last.x);
            WriteI32(b, at + 4, horizontal ? along : across);
            WriteI32(b, at + 8, horizontal ? across : along);
            if (i < oldPerSide) {
                const int oldPin = side * oldPerSide + i;
                WriteI16(b, at, ReadI16(oldPayload, kPointListOffset + static_cast<std::size_t>(oldPin) * kBlockPinSize));
            }
        }
    }
    return b;
}

std::vector<std::uint8_t> BuildIntPayload(std::initializer_list<long> values)
{
    Bytes b(values.size() * 4, 0);
    std::size_t at = 0;
    for (long v : values) {
        WriteI32(b, at, static_cast<std::int32_t>(v));
        at += 4;
    }
    return b;
}

std::vector<std::uint8_t> BuildPolyPayload(const std::vector<win::POINT>& points)
{
    if (points.empty()) return {};
    win::RECT r{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const win::POINT& p : points) Unite(r, win::RECT{p.x, p.y, p.x, p.y});
    Bytes b(kPointListOffset + points.size() * kPolyPointSize, 0);
    WriteI16(b, 0, static_cast<std::int16_t>(points.size()));
    WriteRect(b, 4, r);
    std::size_t at = kPointListOffset;
    for (const win::POINT& p : points) {
        WriteI32(b, at, p.x);
        WriteI32(b, at + 4, p.y);
        at += kPolyPointSize;
    }
    return b;
}

std::vector<std::uint8_t> BuildTextPayload(int x, int y, const std::string& text, std::int16_t fontHeight,
                                           std::int16_t fontFace, std::uint8_t fontStyle, std::uint8_t fontColor)
{
    Bytes b(text.size() + 25, 0);
    WriteRect(b, 0, win::RECT{x, y, x, y});
    WriteI16(b, 16, fontHeight);
    WriteI16(b, 18, fontFace);
    b[20] = fontStyle;
    b[21] = fontColor;
    std::memcpy(b.data() + kTextOffset, text.data(), text.size());
    return b;
}

std::string TextOfPayload(std::span<const std::uint8_t> payload)
{
    if (payload.size() <= kTextOffset) return {};
    const auto begin = payload.begin() + kTextOffset;
    const auto end = std::find(begin, payload.end(), 0);
    return std::string(begin, end);
}

bool ShapeCoordinateInRange(long v) { return v >= -kShapeCoordinateLimit && v <= kShapeCoordinateLimit; }

namespace {

// Every coordinate of a primitive the reader lets through lies in range, so that no drawing of a
// damaged library meets a shape the size of a continent.
bool CoordinatesInRange(int type, std::span<const std::uint8_t> payload)
{
    auto all = [&](std::size_t from, std::size_t to) {
        for (std::size_t at = from; at + 4 <= to; at += 4) {
            if (!ShapeCoordinateInRange(ReadI32(payload, at))) return false;
        }
        return true;
    };
    if (IsRectKind(type) || type == kPrimArc) return all(0, payload.size());
    if (type == kPrimText) return all(0, kRectPayload);
    if (type == kPrimPolyClosed || type == kPrimPolyOpen) {
        const int n = ListedCount(payload, kPolyPointSize);
        return n >= 0 && all(4, kPointListOffset + static_cast<std::size_t>(n) * kPolyPointSize);
    }
    if (type == kPrimBlock) {
        const int n = ListedCount(payload, kBlockPinSize);
        if (n < 0 || !all(4, kPointListOffset)) return false;
        for (int k = 0; k < n; ++k) {
            const std::size_t at = kPointListOffset + static_cast<std::size_t>(k) * kBlockPinSize + 4;
            if (!all(at, at + 8)) return false;
        }
        return true;
    }
    if (type >= 0) return all(0, 8);
    return true;
}

}  // namespace

bool ShapeDataIsValid(std::span<const std::uint8_t> data, int tableSize)
{
    if (data.empty()) return true;
    if (data.size() < 2) return false;
    const int count = ReadI16(data, 0);
    if (count < 0) return false;
    std::size_t at = 2;
    for (int i = 0; i < count; ++i) {
        if (data.size() - at < 8) return false;
        const int type = ReadI16(data, at);
        const std::uint32_t length = static_cast<std::uint32_t>(ReadI32(data, at + 4));
        at += 8;
        if (length > data.size() - at) return false;
        const auto payload = data.subspan(at, length);
        if (type >= 0) {
            if (type >= tableSize || payload.size() != kReferencePayload) return false;
        } else if (IsKnownPrimitiveType(type) && !PayloadFits(type, payload)) {
            return false;
        }
        if (!CoordinatesInRange(type, payload)) return false;
        at += length;
    }
    return true;
}

namespace {

// Calls visit(type, offset of the record's type field) for every record of a data block, up to
// the first one that does not fit.
template <class Visit>
void ForEachShapeDataRecord(std::span<const std::uint8_t> data, Visit visit)
{
    if (data.size() < 2) return;
    const int count = ReadI16(data, 0);
    std::size_t at = 2;
    for (int i = 0; i < count && data.size() - at >= 8; ++i) {
        const int type = ReadI16(data, at);
        const std::uint32_t length = static_cast<std::uint32_t>(ReadI32(data, at + 4));
        if (length > data.size() - at - 8) return;
        visit(type, at);
        at += 8 + length;
    }
}

}  // namespace

void ShapeDataReferences(std::span<const std::uint8_t> data, std::vector<int>& out)
{
    ForEachShapeDataRecord(data, [&](int type, std::size_t) {
        if (type >= 0) out.push_back(type);
    });
}

void RemapShapeDataReferences(std::vector<std::uint8_t>& data, const std::function<int(int)>& map)
{
    std::vector<std::size_t> references;
    ForEachShapeDataRecord(data, [&](int type, std::size_t at) {
        if (type >= 0) references.push_back(at);
    });
    for (std::size_t at : references) WriteI16(data, at, static_cast<std::int16_t>(map(ReadI16(data, at))));
}

}  // namespace kq5
