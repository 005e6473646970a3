#include "platform/gdi_outline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gdi_mapping.h"

namespace win {

namespace {

// Style patterns of one-pixel pens in pixels, alternating on and off.
constexpr int kDash[] = {18, 6};
constexpr int kDot[] = {3, 3};
constexpr int kDashDot[] = {9, 6, 3, 6};
constexpr int kDashDotDot[] = {9, 3, 3, 3, 3, 3};

// Lines longer than this are cut to the area of interest before stepping.
constexpr LONG kLongLine = 1 << 16;

// Liang-Barsky clip of a segment to a rectangle; false when nothing is left.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, const RECT& r) {
    double t0 = 0, t1 = 1;
    double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - r.left, r.right - x0, y0 - r.top, r.bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
}

}  // namespace

PenInfo CurrentPen(HDC dc) {
    PenInfo info;
    HGDIOBJ h = dc->attr.pen;
    if (h == nullptr || h->kind != GdiKind::Pen) return info;
    const LOGPEN& lp = static_cast<PenObject*>(h)->log;
    int style = static_cast<int>(lp.lopnStyle & PS_STYLE_MASK);
    if (style == PS_NULL) return info;
    info.null = false;
    info.color = lp.lopnColor;
    int logical = lp.lopnWidth.x;
    // Width 0 is one pixel whatever the mapping; other widths scale with it.
    info.width = logical <= 0 ? 1 : std::max(1, DeviceLengthX(dc, logical));
    info.insideFrame = style == PS_INSIDEFRAME;
    // Styles only apply to one-pixel pens; wider ones draw solid, as in GDI.
    info.style = (logical <= 1 && info.width <= 1 && style >= PS_DASH && style <= PS_DASHDOTDOT) ? style : PS_SOLID;
    return info;
}

OutlineBuilder::OutlineBuilder(const PenInfo& pen, const RECT& bounds) : info_(pen), pen_(bounds) {
    switch (pen.style) {
        case PS_DASH: dashes_ = kDash; dashCount_ = 2; break;
        case PS_DOT: dashes_ = kDot; dashCount_ = 2; break;
        case PS_DASHDOT: dashes_ = kDashDot; dashCount_ = 4; break;
        case PS_DASHDOTDOT: dashes_ = kDashDotDot; dashCount_ = 6; break;
        default: break;
    }
    styled_ = dashes_ != nullptr && info_.width <= 1;
    if (styled_) {
        gap_ = Mask(bounds);
        dashLeft_ = dashes_[0];
    }
}

void OutlineBuilder::Plot(LONG x, LONG y) {
    if (!styled_) {
        pen_.Set(x, y);
        return;
    }
    if (dashIndex_ % 2 == 0) pen_.Set(x, y);
    else gap_.Set(x, y);
    if (--dashLeft_ <= 0) {
        dashIndex_ = (dashIndex_ + 1) % dashCount_;
        dashLeft_ = dashes_[dashIndex_];
    }
}

void OutlineBuilder::Step(POINT a, POINT b) {
    if (std::llabs(std::int64_t(b.x) - a.x) > kLongLine || std::llabs(std::int64_t(b.y) - a.y) > kLongLine) {
        RECT r = pen_.Bounds();
        InflateRect(&r, 2, 2);
        double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
        if (!ClipSegment(x0, y0, x1, y1, r)) return;
        a = {static_cast<LONG>(std::lround(x0)), static_cast<LONG>(std::lround(y0))};
        b = {static_cast<LONG>(std::lround(x1)), static_cast<LONG>(std::lround(y1))};
    }
    // Bresenham, leaving out the end point.
    LONG dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
    LONG sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    LONG x = a.x, y = a.y;
    if (dx >= dy) {
        LONG err = dx / 2;
        for (LONG i = 0; i < dx; ++i) {
            Plot(x, y);
            x += sx;
            err -= dy;
            if (err < 0) {
                y += sy;
                err += dx;
            }
        }
    } else {
        LONG err = dy / 2;
        for (LONG i = 0; i < dy; ++i) {
            Plot(x, y);
            y += sy;
            err -= dx;
            if (err < 0) {
                x += sx;
                err += dy;
            }
        }
    }
}

void OutlineBuilder::AddPolyline(const std::vector<POINT>& points, bool closed) {
    if (points.empty()) return;
    if (info_.width > 1) {
        wide_.emplace_back(points, closed);
        return;
    }
    for (size_t i = 0; i + 1 < points.size(); ++i) Step(points[i], points[i + 1]);
    if (closed) {
        if (points.size() > 1) Step(points.back(), points.front());
        else Plot(points[0].x, points[0].y);
    }
}

void OutlineBuilder::Finish() {
    if (wide_.empty()) return;
    const double w = info_.width;
    pen_.Render([&](cairo_t* cr) {
        cairo_set_line_width(cr, w);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        for (const auto& [pts, closed] : wide_) {
            cairo_move_to(cr, pts[0].x + 0.5, pts[0].y + 0.5);
            for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x + 0.5, pts[i].y + 0.5);
            if (pts.size() == 1) cairo_line_to(cr, pts[0].x + 0.5, pts[0].y + 0.5);
            if (closed) cairo_close_path(cr);
            cairo_stroke(cr);
        }
    });
    wide_.clear();
}

void PaintOutline(HDC dc, OutlineBuilder& outline, const PenInfo& pen) {
    if (pen.null) return;
    outline.Finish();
    if (outline.HasGaps() && dc->attr.bkMode == OPAQUE) {
        ApplyMask(dc, outline.GapMask(), SolidPaint(dc, dc->attr.bkColor), dc->attr.rop2);
    }
    ApplyMask(dc, outline.PenMask(), SolidPaint(dc, pen.color), dc->attr.rop2);
}

RECT MaskBounds(HDC dc, const std::vector<POINT>& points, int margin) {
    if (points.empty()) return {};
    RECT b{points[0].x, points[0].y, points[0].x + 1, points[0].y + 1};
    for (const POINT& p : points) {
        b.left = std::min(b.left, p.x);
        b.top = std::min(b.top, p.y);
        b.right = std::max(b.right, p.x + 1);
        b.bottom = std::max(b.bottom, p.y + 1);
    }
    InflateRect(&b, margin, margin);
    RECT clip = DeviceClip(dc).Bounds();
    RECT out;
    if (!IntersectRect(&out, &b, &clip)) return {};
    return out;
}

}  // namespace win
