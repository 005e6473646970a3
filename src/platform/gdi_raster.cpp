#include "platform/gdi_raster.h"

#include <algorithm>

#include "platform/bitmap.h"
#include "platform/gdi_state.h"
#include "platform/screen.h"

namespace win {

Pixel ColorToPixel(COLORREF c) {
    return (static_cast<Pixel>(GetRValue(c)) << 16) | (static_cast<Pixel>(GetGValue(c)) << 8) | GetBValue(c);
}

COLORREF PixelToColor(Pixel p) {
    return RGB(static_cast<BYTE>((p >> 16) & 0xFF), static_cast<BYTE>((p >> 8) & 0xFF), static_cast<BYTE>(p & 0xFF));
}

Pixel Rop2(int rop, Pixel pen, Pixel dst) {
    // rop - 1 is the truth table of (pen, dst): bit (pen << 1 | dst).
    switch (rop) {
        case R2_COPYPEN: return pen;
        case R2_XORPEN: return (pen ^ dst) & 0xFFFFFF;
        case R2_NOP: return dst;
        case R2_NOT: return ~dst & 0xFFFFFF;
        case R2_MERGEPEN: return (pen | dst) & 0xFFFFFF;
        case R2_MASKPEN: return pen & dst;
        case R2_NOTXORPEN: return ~(pen ^ dst) & 0xFFFFFF;
        default: break;
    }
    unsigned table = static_cast<unsigned>(rop - 1) & 0xF;
    Pixel r = 0;
    if (table & 1) r |= ~pen & ~dst;
    if (table & 2) r |= ~pen & dst;
    if (table & 4) r |= pen & ~dst;
    if (table & 8) r |= pen & dst;
    return r & 0xFFFFFF;
}

Pixel Rop3(BYTE code, Pixel pat, Pixel src, Pixel dst) {
    switch (code) {
        case 0xCC: return src;
        case 0x66: return (src ^ dst) & 0xFFFFFF;
        case 0x88: return src & dst;
        case 0xEE: return (src | dst) & 0xFFFFFF;
        case 0x33: return ~src & 0xFFFFFF;
        case 0x55: return ~dst & 0xFFFFFF;
        case 0xF0: return pat;
        case 0x5A: return (pat ^ dst) & 0xFFFFFF;
        case 0x00: return 0;
        case 0xFF: return 0xFFFFFF;
        case 0xAA: return dst;
        default: break;
    }
    // Bit (p << 2 | s << 1 | d) of the code gives the result for those input bits.
    Pixel r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((code >> i) & 1)) continue;
        Pixel term = ((i & 4) ? pat : ~pat) & ((i & 2) ? src : ~src) & ((i & 1) ? dst : ~dst);
        r |= term;
    }
    return r & 0xFFFFFF;
}

// ---- Mask ------------------------------------------------------------------------------------

Mask::Mask(const RECT& bounds) {
    if (IsRectEmpty(bounds)) return;
    bounds_ = bounds;
    width_ = bounds.right - bounds.left;
    height_ = bounds.bottom - bounds.top;
    stride_ = cairo_format_stride_for_width(CAIRO_FORMAT_A8, width_);
    bits_.assign(static_cast<size_t>(stride_) * height_, 0);
}

void Mask::SetRect(const RECT& r) {
    RECT c;
    if (!IntersectRect(&c, &r, &bounds_)) return;
    for (LONG y = c.top; y < c.bottom; ++y) {
        std::fill_n(&bits_[(y - bounds_.top) * stride_ + (c.left - bounds_.left)], c.right - c.left, 0xFF);
    }
}

void Mask::SetRegion(const Region& rgn) {
    for (const RECT& r : rgn.Rects()) SetRect(r);
}

void Mask::Subtract(const Mask& other) { Merge(other, 0); }

void Mask::Add(const Mask& other) { Merge(other, 0xFF); }

void Mask::Merge(const Mask& other, std::uint8_t value) {
    RECT c;
    if (!IntersectRect(&c, &bounds_, &other.bounds_)) return;
    for (LONG y = c.top; y < c.bottom; ++y) {
        for (LONG x = c.left; x < c.right; ++x) {
            if (other.Get(x, y)) bits_[(y - bounds_.top) * stride_ + (x - bounds_.left)] = value;
        }
    }
}

bool Mask::Any() const {
    return std::any_of(bits_.begin(), bits_.end(), [](std::uint8_t b) { return b != 0; });
}

void Mask::Render(const std::function<void(cairo_t*)>& draw) {
    if (IsEmpty()) return;
    cairo_surface_t* s = cairo_image_surface_create_for_data(bits_.data(), CAIRO_FORMAT_A8, width_, height_, stride_);
    cairo_t* cr = cairo_create(s);
    cairo_translate(cr, -bounds_.left, -bounds_.top);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    cairo_surface_destroy(s);
    // Cairo may leave partial coverage at exact pixel-centre ties; a pixel is either in or out.
    for (auto& b : bits_) b = b >= 0x80 ? 0xFF : 0;
}

// ---- Paint -------------------------------------------------------------------------------------

Pixel Paint::At(LONG x, LONG y, bool& skipped) const {
    skipped = false;
    if (kind == Kind::Solid) return color;
    int px = static_cast<int>((x - origin.x) & 7);
    int py = static_cast<int>((y - origin.y) & 7);
    int i = py * 8 + px;
    if (!skip.empty() && skip[i]) skipped = true;
    return pattern[i];
}

Region DeviceClip(HDC dc) {
    if (!dc->attr.hasClip) return dc->visRgn;
    Region clip = dc->attr.clip;
    clip.Offset(dc->origin.x, dc->origin.y);
    return dc->visRgn.Intersect(clip);
}

bool IsMonoTarget(HDC dc) {
    if (dc->kind != DeviceKind::Memory) return false;
    auto* bmp = static_cast<BitmapObject*>(dc->attr.bitmap);
    return bmp != nullptr && bmp->mono;
}

namespace {

Pixel MonoMap(Pixel p) {
    unsigned sum = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
    return sum > 0x17F ? 0xFFFFFF : 0;
}

// Classic 8x8 hatch patterns: a set bit is a line pixel (row-major, bit 7 = leftmost).
constexpr std::uint8_t kHatch[6][8] = {
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
    {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08},  // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
};

}  // namespace

Pixel DrawPixel(HDC dc, COLORREF color) {
    Pixel p = ColorToPixel(ResolveColor(dc, color));
    return IsMonoTarget(dc) ? MonoMap(p) : p;
}

Paint SolidPaint(HDC dc, COLORREF color) {
    Paint p;
    p.kind = Paint::Kind::Solid;
    p.color = DrawPixel(dc, color);
    return p;
}

Paint BrushPaint(HDC dc, HGDIOBJ brushHandle) {
    Paint p;
    if (brushHandle == nullptr || brushHandle->kind != GdiKind::Brush) return p;
    auto* brush = static_cast<BrushObject*>(brushHandle);
    switch (brush->log.lbStyle) {
        case BS_SOLID: return SolidPaint(dc, brush->log.lbColor);
        case BS_HATCHED: {
            p.kind = Paint::Kind::Pattern;
            Pixel fg = DrawPixel(dc, brush->log.lbColor);
            Pixel bg = DrawPixel(dc, dc->attr.bkColor);
            bool transparent = dc->attr.bkMode == TRANSPARENT;
            const auto& bits = kHatch[std::min<ULONG_PTR>(brush->log.lbHatch, 5)];
            p.pattern.resize(64);
            if (transparent) p.skip.assign(64, 0);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    bool line = (bits[y] >> (7 - x)) & 1;
                    p.pattern[y * 8 + x] = line ? fg : bg;
                    if (transparent && !line) p.skip[y * 8 + x] = 1;
                }
            }
            break;
        }
        case BS_PATTERN: {
            p.kind = Paint::Kind::Pattern;
            p.pattern.resize(64);
            // A monochrome pattern draws its 0 bits in the text colour and 1 bits in the background.
            Pixel fg = DrawPixel(dc, dc->attr.textColor);
            Pixel bg = DrawPixel(dc, dc->attr.bkColor);
            bool mono = IsMonoTarget(dc);
            for (int i = 0; i < 64; ++i) {
                Pixel v = brush->pattern[i];
                if (brush->monoPattern) v = v ? bg : fg;
                p.pattern[i] = mono ? MonoMap(v) : v;
            }
            break;
        }
        default: return p;
    }
    p.origin = {dc->origin.x + dc->attr.brushOrg.x, dc->origin.y + dc->attr.brushOrg.y};
    return p;
}

// ---- combining -------------------------------------------------------------------------------

PixelAccess::PixelAccess(cairo_surface_t* surface) : surface_(surface) {
    if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return;
    cairo_format_t f = cairo_image_surface_get_format(surface);
    if (f != CAIRO_FORMAT_ARGB32 && f != CAIRO_FORMAT_RGB24) return;
    cairo_surface_flush(surface);
    data_ = cairo_image_surface_get_data(surface);
    width_ = cairo_image_surface_get_width(surface);
    height_ = cairo_image_surface_get_height(surface);
    stride_ = cairo_image_surface_get_stride(surface);
}

PixelAccess::~PixelAccess() {
    if (data_ != nullptr) cairo_surface_mark_dirty(surface_);
}

namespace {

// Visits every surface pixel inside the clip region.
template <typename F>
void ForEachPixel(const Region& clip, const PixelAccess& px, F visit) {
    for (const RECT& r : clip.Rects()) {
        LONG top = std::max<LONG>(r.top, 0), bottom = std::min<LONG>(r.bottom, px.Height());
        LONG left = std::max<LONG>(r.left, 0), right = std::min<LONG>(r.right, px.Width());
        for (LONG y = top; y < bottom; ++y) {
            std::uint32_t* row = px.Row(y);
            for (LONG x = left; x < right; ++x) visit(row[x], x, y);
        }
    }
}

// Devices that are not pixel surfaces (PDF pages) get the shape painted by Cairo; raster
// operations that read the destination are taken against white paper.
void PaintOnVectorSurface(HDC dc, const Region& clip, const RECT& bounds,
                          const std::function<bool(LONG, LONG, Pixel&)>& pixelAt) {
    RECT b = bounds;
    if (IsRectEmpty(b) || dc->surface == nullptr) return;
    int w = b.right - b.left;
    int h = b.bottom - b.top;
    cairo_surface_t* tmp = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    RECT ink{b.right, b.bottom, b.left, b.top};
    {
        PixelAccess px(tmp);
        if (!px.Valid()) {
            cairo_surface_destroy(tmp);
            return;
        }
        for (int y = 0; y < h; ++y) std::fill_n(px.Row(y), w, 0u);
        for (const RECT& r : clip.Rects()) {
            RECT c;
            if (!IntersectRect(&c, &r, &b)) continue;
            for (LONG y = c.top; y < c.bottom; ++y) {
                std::uint32_t* row = px.Row(y - b.top);
                for (LONG x = c.left; x < c.right; ++x) {
                    Pixel v;
                    if (!pixelAt(x, y, v)) continue;
                    row[x - b.left] = 0xFF000000u | v;
                    ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
                           std::max(ink.bottom, y + 1)};
                }
            }
        }
    }
    // Only the painted pixels go to the page, so that nothing transparent is recorded around them.
    if (!IsRectEmpty(ink)) {
        cairo_t* cr = cairo_create(dc->surface);
        cairo_rectangle(cr, ink.left, ink.top, ink.right - ink.left, ink.bottom - ink.top);
        cairo_clip(cr);
        cairo_set_source_surface(cr, tmp, b.left, b.top);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    cairo_surface_destroy(tmp);
}

}  // namespace

void ApplyMask(HDC dc, const Mask& mask, const Paint& paint, int rop2) {
    if (mask.IsEmpty() || rop2 == R2_NOP) return;
    bool needsPaint = !(rop2 == R2_BLACK || rop2 == R2_WHITE || rop2 == R2_NOT);
    if (needsPaint && paint.IsNone()) return;
    Region clip = DeviceClip(dc).Intersect(Region(mask.Bounds()));
    if (clip.IsEmpty()) return;
    PixelAccess px(dc->surface);
    if (!px.Valid()) {
        PaintOnVectorSurface(dc, clip, mask.Bounds(), [&](LONG x, LONG y, Pixel& out) {
            if (!mask.Get(x, y)) return false;
            bool skipped = false;
            Pixel p = needsPaint ? paint.At(x, y, skipped) : 0;
            out = Rop2(rop2, p, 0xFFFFFF);
            return !skipped;
        });
        return;
    }
    ForEachPixel(clip, px, [&](std::uint32_t& pixel, LONG x, LONG y) {
        if (!mask.Get(x, y)) return;
        bool skipped = false;
        Pixel p = needsPaint ? paint.At(x, y, skipped) : 0;
        if (!skipped) pixel = 0xFF000000u | Rop2(rop2, p, pixel & 0xFFFFFF);
    });
    // Drawing outside WM_PAINT must reach the display without a paint cycle.
    if (dc->kind == DeviceKind::Display) MarkScreenDirty();
}

void ApplyBlt(HDC dc, const RECT& dst, const Pixel* src, int srcStride, const Paint& pat, DWORD rop) {
    const BYTE code = static_cast<BYTE>((rop >> 16) & 0xFF);
    Region clip = DeviceClip(dc).Intersect(Region(dst));
    if (clip.IsEmpty() || code == 0xAA) return;
    const bool usesPat = ((code >> 4) & 0x0F) != (code & 0x0F);
    const bool usesSrc = ((code >> 2) & 0x33) != (code & 0x33);
    if ((usesPat && pat.IsNone()) || (usesSrc && src == nullptr)) return;
    auto compute = [&](LONG x, LONG y, Pixel d) {
        bool skipped = false;
        Pixel p = usesPat ? pat.At(x, y, skipped) : 0;
        Pixel s = usesSrc ? src[(y - dst.top) * srcStride + (x - dst.left)] & 0xFFFFFF : 0;
        return Rop3(code, p, s, d);
    };
    PixelAccess px(dc->surface);
    if (!px.Valid()) {
        PaintOnVectorSurface(dc, clip, dst, [&](LONG x, LONG y, Pixel& out) {
            out = compute(x, y, 0xFFFFFF);
            return true;
        });
        return;
    }
    const bool mono = IsMonoTarget(dc);
    ForEachPixel(clip, px, [&](std::uint32_t& pixel, LONG x, LONG y) {
        Pixel v = compute(x, y, pixel & 0xFFFFFF);
        pixel = 0xFF000000u | (mono ? MonoMap(v) : v);
    });
    if (dc->kind == DeviceKind::Display) MarkScreenDirty();
}

}  // namespace win
