// Closed shapes: Rectangle, RoundRect, Ellipse, Arc, Pie, Chord, Polygon, PolyPolygon.
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_outline.h"
#include "platform/metafile_hooks.h"

namespace win {

namespace {

using Points = std::vector<POINT>;

POINT RoundPoint(double x, double y) {
    return {static_cast<LONG>(std::floor(x + 0.5)), static_cast<LONG>(std::floor(y + 0.5))};
}

void AppendUnique(Points& pts, POINT p) {
    if (pts.empty() || pts.back().x != p.x || pts.back().y != p.y) pts.push_back(p);
}

// An ellipse through pixel centres: centre and radii in pixel-index coordinates.
struct PixelEllipse {
    double cx, cy, a, b;
    explicit PixelEllipse(const RECT& box)
        : cx((box.left + box.right - 1) / 2.0),
          cy((box.top + box.bottom - 1) / 2.0),
          a((box.right - box.left - 1) / 2.0),
          b((box.bottom - box.top - 1) / 2.0) {}
    PixelEllipse(double centreX, double centreY, double radiusX, double radiusY)
        : cx(centreX), cy(centreY), a(radiusX), b(radiusY) {}
    // Parametric angle, counter-clockwise on the screen (y grows downwards).
    POINT At(double t) const { return RoundPoint(cx + a * std::cos(t), cy - b * std::sin(t)); }
    // Enough samples that consecutive points are at most about a pixel apart.
    int Samples(double sweep) const {
        double perimeter = std::numbers::pi * (a + b + 2);
        return std::max(8, static_cast<int>(std::ceil(perimeter * 2 * sweep / (2 * std::numbers::pi))));
    }
    void AppendArc(Points& pts, double t0, double sweep) const {
        int n = Samples(std::fabs(sweep));
        for (int i = 0; i <= n; ++i) AppendUnique(pts, At(t0 + sweep * i / n));
    }
    // The parametric angle of the point where the ray from the centre towards (x, y) meets the
    // ellipse (pixel-centre coordinates of the ray's target).
    double AngleToward(double x, double y) const {
        double phi = std::atan2(-(y - cy), x - cx);
        return std::atan2(a * std::sin(phi), b * std::cos(phi));
    }
};

// The box of a shape in surface coordinates, one pixel smaller at the right and bottom when the
// pen is null, and inset for inside-frame pens.
RECT ShapeBox(HDC dc, int left, int top, int right, int bottom, const PenInfo& pen) {
    RECT box = LogicalRectToSurface(dc, left, top, right, bottom);
    if (pen.null) {
        --box.right;
        --box.bottom;
    } else if (pen.insideFrame && pen.width > 1) {
        int in = pen.width / 2;
        InflateRect(&box, -in, -in);
    }
    return box;
}

// Fills and outlines one closed shape. outlines are the pen's paths (pixel positions, closed);
// fillShape adds the interior to a mask. With the null pen the outline pixels belong to the fill.
void DrawClosedShape(HDC dc, const std::vector<Points>& outlines, const std::function<void(Mask&)>& fillShape) {
    PenInfo pen = CurrentPen(dc);
    Points all;
    for (const Points& o : outlines) all.insert(all.end(), o.begin(), o.end());
    RECT bounds = MaskBounds(dc, all, pen.width + 2);
    if (IsRectEmpty(bounds)) return;

    OutlineBuilder outline(pen, bounds);
    if (!pen.null) {
        for (const Points& o : outlines) outline.AddPolyline(o, true);
        outline.Finish();
    }
    Paint brush = BrushPaint(dc, dc->attr.brush);
    if (!brush.IsNone() && fillShape) {
        Mask fill(bounds);
        fillShape(fill);
        if (pen.null) {
            PenInfo ring;
            ring.null = false;
            OutlineBuilder ringBuilder(ring, bounds);
            for (const Points& o : outlines) ringBuilder.AddPolyline(o, true);
            fill.Add(ringBuilder.PenMask());
        } else {
            fill.Subtract(outline.PenMask());
            if (outline.HasGaps()) fill.Subtract(outline.GapMask());
        }
        ApplyMask(dc, fill, brush, dc->attr.rop2);
    }
    PaintOutline(dc, outline, pen);
}

// Fills a polygon of pixel-centre points (the shape's own outline) into a mask.
void FillCentrePolygon(Mask& m, const Points& pts) {
    if (pts.size() < 3) return;
    m.Render([&](cairo_t* cr) {
        cairo_move_to(cr, pts[0].x + 0.5, pts[0].y + 0.5);
        for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x + 0.5, pts[i].y + 0.5);
        cairo_close_path(cr);
        cairo_fill(cr);
    });
}

enum class ArcKind { Arc, Pie, Chord };

BOOL DrawArcShape(HDC dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye, ArcKind kind) {
    if (!IsValidDC(dc)) return FALSE;
    PenInfo pen = CurrentPen(dc);
    RECT box = kind == ArcKind::Arc ? LogicalRectToSurface(dc, left, top, right, bottom)
                                    : ShapeBox(dc, left, top, right, bottom, pen);
    if (IsRectEmpty(box)) return TRUE;
    POINT ends[2] = {{xs, ys}, {xe, ye}};
    LPtoDP(dc, ends, 2);
    PixelEllipse e(box);
    double t0 = e.AngleToward(ends[0].x + dc->origin.x, ends[0].y + dc->origin.y);
    double t1 = e.AngleToward(ends[1].x + dc->origin.x, ends[1].y + dc->origin.y);
    double sweep = t1 - t0;
    // Counter-clockwise in logical space: a mapping that flips one axis turns it round on the device.
    const DcAttributes& a = dc->attr;
    bool flipped = ((a.viewportExt.cx < 0) != (a.windowExt.cx < 0)) != ((a.viewportExt.cy < 0) != (a.windowExt.cy < 0));
    const double full = 2 * std::numbers::pi;
    if (!flipped) {
        while (sweep <= 1e-9) sweep += full;
    } else {
        while (sweep >= -1e-9) sweep -= full;
    }
    Points arc;
    e.AppendArc(arc, t0, sweep);

    if (kind == ArcKind::Arc) {
        if (pen.null) return TRUE;
        RECT bounds = MaskBounds(dc, arc, pen.width + 2);
        OutlineBuilder outline(pen, bounds);
        outline.AddPolyline(arc, false);
        PaintOutline(dc, outline, pen);
        return TRUE;
    }
    Points shape = arc;
    if (kind == ArcKind::Pie) AppendUnique(shape, RoundPoint(e.cx, e.cy));
    DrawClosedShape(dc, {shape}, [&](Mask& m) { FillCentrePolygon(m, shape); });
    return TRUE;
}

}  // namespace

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    if (IsMetafileDC(dc)) return MetaRectangle(dc, left, top, right, bottom);
    if (!IsValidDC(dc)) return FALSE;
    PenInfo pen = CurrentPen(dc);
    RECT box = ShapeBox(dc, left, top, right, bottom, pen);
    if (IsRectEmpty(box)) return TRUE;
    Points frame = {{box.left, box.top}, {box.right - 1, box.top}, {box.right - 1, box.bottom - 1}, {box.left, box.bottom - 1}};
    DrawClosedShape(dc, {frame}, [&](Mask& m) { m.SetRect(box); });
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    if (IsMetafileDC(dc)) return MetaEllipse(dc, left, top, right, bottom);
    if (!IsValidDC(dc)) return FALSE;
    PenInfo pen = CurrentPen(dc);
    RECT box = ShapeBox(dc, left, top, right, bottom, pen);
    if (IsRectEmpty(box)) return TRUE;
    PixelEllipse e(box);
    Points ring;
    e.AppendArc(ring, 0, 2 * std::numbers::pi);
    if (ring.size() > 1 && ring.back().x == ring.front().x && ring.back().y == ring.front().y) ring.pop_back();
    DrawClosedShape(dc, {ring}, [&](Mask& m) {
        if (e.a <= 0 || e.b <= 0) return;
        m.Render([&](cairo_t* cr) {
            cairo_save(cr);
            cairo_translate(cr, e.cx + 0.5, e.cy + 0.5);
            cairo_scale(cr, e.a, e.b);
            cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
            cairo_restore(cr);
            cairo_fill(cr);
        });
    });
    return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    if (IsMetafileDC(dc)) return MetaRoundRect(dc, left, top, right, bottom, ellipseWidth, ellipseHeight);
    if (!IsValidDC(dc)) return FALSE;
    PenInfo pen = CurrentPen(dc);
    RECT box = ShapeBox(dc, left, top, right, bottom, pen);
    if (IsRectEmpty(box)) return TRUE;
    double w = box.right - box.left, h = box.bottom - box.top;
    double ax = std::min<double>(DeviceLengthX(dc, ellipseWidth), w) / 2.0 - 0.5;
    double ay = std::min<double>(DeviceLengthY(dc, ellipseHeight), h) / 2.0 - 0.5;
    ax = std::max(ax, 0.0);
    ay = std::max(ay, 0.0);
    const double l = box.left, t = box.top, r = box.right - 1, b = box.bottom - 1;
    const double q = std::numbers::pi / 2;
    // Corner arcs counter-clockwise from the top-right corner; their ends join with straight edges.
    struct Corner {
        double cx, cy, t0;
    } corners[4] = {{r - ax, t + ay, 0}, {l + ax, t + ay, q}, {l + ax, b - ay, 2 * q}, {r - ax, b - ay, 3 * q}};
    Points ring;
    for (const Corner& c : corners) PixelEllipse(c.cx, c.cy, ax, ay).AppendArc(ring, c.t0, q);
    if (ring.size() > 1 && ring.back().x == ring.front().x && ring.back().y == ring.front().y) ring.pop_back();
    DrawClosedShape(dc, {ring}, [&](Mask& m) { FillCentrePolygon(m, ring); });
    return TRUE;
}

BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    if (IsMetafileDC(dc)) return MetaArc(dc, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
    return DrawArcShape(dc, left, top, right, bottom, xStart, yStart, xEnd, yEnd, ArcKind::Arc);
}

BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    if (IsMetafileDC(dc)) return MetaPie(dc, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
    return DrawArcShape(dc, left, top, right, bottom, xStart, yStart, xEnd, yEnd, ArcKind::Pie);
}

BOOL Chord(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    if (IsMetafileDC(dc)) return MetaChord(dc, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
    return DrawArcShape(dc, left, top, right, bottom, xStart, yStart, xEnd, yEnd, ArcKind::Chord);
}

BOOL PolyPolygon(HDC dc, const POINT* points, const int* counts, int polygons) {
    if (IsMetafileDC(dc)) return MetaPolyPolygon(dc, points, counts, polygons);
    if (!IsValidDC(dc) || points == nullptr || counts == nullptr || polygons <= 0) return FALSE;
    std::vector<Points> rings;
    size_t start = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 2) return FALSE;
        Points ring(points + start, points + start + counts[i]);
        LPtoDP(dc, ring.data(), static_cast<int>(ring.size()));
        for (POINT& p : ring) {
            p.x += dc->origin.x;
            p.y += dc->origin.y;
        }
        rings.push_back(std::move(ring));
        start += static_cast<size_t>(counts[i]);
    }
    const bool winding = dc->attr.polyFillMode == WINDING;
    // The interior takes the pixels whose centres are inside the polygon drawn through the
    // vertices' pixel corners, so the right and bottom edges stay out as in GDI.
    PenInfo pen = CurrentPen(dc);
    Points all;
    for (const Points& r : rings) all.insert(all.end(), r.begin(), r.end());
    RECT bounds = MaskBounds(dc, all, pen.width + 2);
    if (IsRectEmpty(bounds)) return TRUE;
    OutlineBuilder outline(pen, bounds);
    if (!pen.null) {
        for (const Points& r : rings) outline.AddPolyline(r, true);
        outline.Finish();
    }
    Paint brush = BrushPaint(dc, dc->attr.brush);
    if (!brush.IsNone()) {
        Mask fill(bounds);
        fill.Render([&](cairo_t* cr) {
            cairo_set_fill_rule(cr, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
            for (const Points& r : rings) {
                cairo_move_to(cr, r[0].x, r[0].y);
                for (size_t i = 1; i < r.size(); ++i) cairo_line_to(cr, r[i].x, r[i].y);
                cairo_close_path(cr);
            }
            cairo_fill(cr);
        });
        fill.Subtract(outline.PenMask());
        if (outline.HasGaps()) fill.Subtract(outline.GapMask());
        ApplyMask(dc, fill, brush, dc->attr.rop2);
    }
    PaintOutline(dc, outline, pen);
    return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) { return PolyPolygon(dc, points, &count, 1); }

}  // namespace win
