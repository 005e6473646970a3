#include "platform/bitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi_mapping.h"
#include "platform/gdi_raster.h"
#include "platform/gdi_state.h"
#include "platform/resources.h"
#include "platform/screen.h"
#include "platform/metafile_hooks.h"

namespace win {

BitmapObject::~BitmapObject() {
    if (surface != nullptr) cairo_surface_destroy(surface);
}

std::uint32_t* BitmapRow(BitmapObject& bmp, int y) {
    unsigned char* data = cairo_image_surface_get_data(bmp.surface);
    return reinterpret_cast<std::uint32_t*>(data + y * cairo_image_surface_get_stride(bmp.surface));
}

BitmapObject* NewBitmapObject(int width, int height, bool mono) {
    auto* bmp = new BitmapObject();
    bmp->width = width;
    bmp->height = height;
    bmp->mono = mono;
    bmp->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    // New bitmaps start with all bits zero: black.
    cairo_surface_flush(bmp->surface);
    for (int y = 0; y < height; ++y) std::fill_n(BitmapRow(*bmp, y), width, 0xFF000000u);
    cairo_surface_mark_dirty(bmp->surface);
    return bmp;
}

namespace {

HBITMAP AddBitmap(int width, int height, bool mono) {
    return RegisterGdiObject(std::unique_ptr<GdiObject>(NewBitmapObject(width, height, mono)));
}

BitmapObject* SelectedBitmap(HDC dc) {
    if (dc == nullptr || dc->kind != DeviceKind::Memory) return nullptr;
    return static_cast<BitmapObject*>(dc->attr.bitmap);
}

}  // namespace

void SyncMemoryDcSurface(HDC dc) {
    BitmapObject* bmp = SelectedBitmap(dc);
    if (bmp == nullptr) return;
    if (!bmp->stock) bmp->selectedInto = dc;
    dc->surface = bmp->surface;
    dc->origin = {0, 0};
    dc->visRgn = Region(0, 0, bmp->width, bmp->height);
    dc->caps.bitsPixel = bmp->mono ? 1 : 32;
    dc->caps.numColors = bmp->mono ? 2 : -1;
}

HDC CreateCompatibleDC(HDC dc) {
    DeviceCapsInfo caps;
    if (dc != nullptr) {
        if (!IsValidDC(dc)) return nullptr;
        caps = dc->caps;
    } else {
        // A DC like the screen's: create a screen DC to learn its properties.
        HDC screen = CreateWindowDC(ScreenSurface(), {0, 0}, Region());
        caps = screen->caps;
        DeleteDC(screen);
    }
    return CreateDeviceDC(DeviceKind::Memory, nullptr, Region(), caps);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!IsValidDC(dc) || width < 0 || height < 0) return nullptr;
    if (width == 0 || height == 0) return AddBitmap(1, 1, true);
    // As in GDI, a memory DC gives bitmaps of the format of the bitmap selected into it.
    BitmapObject* sel = SelectedBitmap(dc);
    return AddBitmap(width, height, sel != nullptr && sel->mono);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width < 0 || height < 0 || planes == 0 || bitsPerPixel == 0) return nullptr;
    if (width == 0 || height == 0) return AddBitmap(1, 1, true);
    const UINT depth = planes * bitsPerPixel;
    const bool mono = depth == 1;
    HBITMAP h = AddBitmap(width, height, mono);
    if (bits == nullptr) return h;
    auto* bmp = static_cast<BitmapObject*>(h);
    const auto* src = static_cast<const unsigned char*>(bits);
    const int rowBytes = ((width * static_cast<int>(depth) + 15) / 16) * 2;
    cairo_surface_flush(bmp->surface);
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = BitmapRow(*bmp, y);
        const unsigned char* s = src + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            Pixel p = 0;
            if (mono) {
                p = ((s[x / 8] >> (7 - x % 8)) & 1) ? 0xFFFFFF : 0;
            } else if (depth == 32) {
                p = s[x * 4] | (s[x * 4 + 1] << 8) | (s[x * 4 + 2] << 16);
            } else if (depth == 24) {
                p = s[x * 3] | (s[x * 3 + 1] << 8) | (s[x * 3 + 2] << 16);
            }
            row[x] = 0xFF000000u | p;
        }
    }
    cairo_surface_mark_dirty(bmp->surface);
    return h;
}

HBITMAP CreateBitmapIndirect(const BITMAP* bm) {
    if (bm == nullptr) return nullptr;
    return CreateBitmap(bm->bmWidth, bm->bmHeight, bm->bmPlanes, bm->bmBitsPixel, bm->bmBits);
}

void RegisterBitmapResource(UINT_PTR id, std::function<HBITMAP()> maker) {
    Gdi().registeredBitmaps[id] = std::move(maker);
}

void SetBitmapResourceLoader(std::function<HBITMAP(UINT_PTR)> loader) { Gdi().bitmapLoader = std::move(loader); }

HBITMAP LoadBitmap(HINSTANCE instance, UINT_PTR id) {
    GdiState& g = Gdi();
    if (auto it = g.registeredBitmaps.find(id); it != g.registeredBitmaps.end()) return it->second();
    if (g.bitmapLoader)
        if (HBITMAP b = g.bitmapLoader(id)) return b;
    // The program's own pictures belong to its instance; a null instance names the system's
    // bitmaps, of which there are none here.
    if (!instance || id > 0xFFFF) return nullptr;
    const CompiledImage* image = FindImageResource(ImageKind::Bitmap, static_cast<UINT>(id));
    return image ? CreateBitmapFromImage(*image) : nullptr;
}

int SetStretchBltMode(HDC dc, int mode) {
    RecordMetaSetStretchBltMode(dc, mode);
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    return ExchangeAttribute(dc, &DcAttributes::stretchBltMode, mode, 0);
}

int GetStretchBltMode(HDC dc) { return GetAttribute(dc, &DcAttributes::stretchBltMode, 0); }

namespace {

// A logical rectangle (x, y, w, h) mapped to surface coordinates, keeping the direction.
struct MappedRect {
    LONG x0, y0, x1, y1;  // x1/y1 may be smaller than x0/y0 (mirrored)
    LONG Width() const { return x1 - x0; }
    LONG Height() const { return y1 - y0; }
};

MappedRect MapRect(HDC dc, int x, int y, int w, int h) {
    POINT p[2] = {{x, y}, {x + w, y + h}};
    LPtoDP(dc, p, 2);
    return {p[0].x + dc->origin.x, p[0].y + dc->origin.y, p[1].x + dc->origin.x, p[1].y + dc->origin.y};
}

// Reads the source rectangle (surface coordinates, normalised) into 0x00RRGGBB values as the
// destination sees them: monochrome sources take the destination's text (0) and background (1)
// colours, colour sources going to a monochrome destination become white where they match the
// source's background colour.
std::vector<Pixel> ReadSource(HDC src, HDC dst, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<Pixel> out(static_cast<size_t>(w) * h, 0);
    PixelAccess px(src->surface);
    if (!px.Valid()) return out;
    const bool srcMono = IsMonoTarget(src);
    const bool dstMono = IsMonoTarget(dst);
    const Pixel fg = DrawPixel(dst, dst->attr.textColor);
    const Pixel bg = DrawPixel(dst, dst->attr.bkColor);
    const Pixel srcBk = ColorToPixel(ResolveColor(src, src->attr.bkColor));
    for (int y = 0; y < h; ++y) {
        LONG sy = r.top + y;
        if (sy < 0 || sy >= px.Height()) continue;
        const std::uint32_t* row = px.Row(sy);
        for (int x = 0; x < w; ++x) {
            LONG sx = r.left + x;
            if (sx < 0 || sx >= px.Width()) continue;
            Pixel v = row[sx] & 0xFFFFFF;
            if (srcMono && !dstMono) v = v ? bg : fg;
            else if (!srcMono && dstMono) v = v == srcBk ? 0xFFFFFF : 0;
            out[static_cast<size_t>(y) * w + x] = v;
        }
    }
    return out;
}

// Combines the source pixels in [a0, a1) x [b0, b1) by the stretch mode when shrinking.
Pixel Shrink(const std::vector<Pixel>& s, int stride, int a0, int a1, int b0, int b1, int mode) {
    if (a1 - a0 <= 1 && b1 - b0 <= 1) return s[static_cast<size_t>(b0) * stride + a0];
    switch (mode) {
        case BLACKONWHITE:
        case WHITEONBLACK: {
            // Black on white keeps dark detail (AND), white on black keeps light detail (OR).
            const bool keepDark = mode == BLACKONWHITE;
            Pixel v = keepDark ? 0xFFFFFF : 0;
            for (int y = b0; y < b1; ++y) {
                for (int x = a0; x < a1; ++x) {
                    Pixel p = s[static_cast<size_t>(y) * stride + x];
                    v = keepDark ? (v & p) : (v | p);
                }
            }
            return v;
        }
        case HALFTONE: {
            unsigned long r = 0, g = 0, b = 0, n = 0;
            for (int y = b0; y < b1; ++y) {
                for (int x = a0; x < a1; ++x, ++n) {
                    Pixel p = s[static_cast<size_t>(y) * stride + x];
                    r += (p >> 16) & 0xFF;
                    g += (p >> 8) & 0xFF;
                    b += p & 0xFF;
                }
            }
            return static_cast<Pixel>(((r / n) << 16) | ((g / n) << 8) | (b / n));
        }
        default: return s[static_cast<size_t>(b0) * stride + a0];
    }
}

}  // namespace

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                int srcHeight, DWORD rop) {
    if (IsMetafileDC(dst)) return MetaStretchBlt(dst, x, y, width, height, src, xSrc, ySrc, srcWidth, srcHeight, rop);
    if (!IsValidDC(dst)) return FALSE;
    const BYTE code = static_cast<BYTE>((rop >> 16) & 0xFF);
    const bool usesSrc = ((code >> 2) & 0x33) != (code & 0x33);
    MappedRect d = MapRect(dst, x, y, width, height);
    RECT dr{std::min(d.x0, d.x1), std::min(d.y0, d.y1), std::max(d.x0, d.x1), std::max(d.y0, d.y1)};
    if (IsRectEmpty(dr)) return TRUE;
    const bool usesPat = ((code >> 4) & 0x0F) != (code & 0x0F);
    Paint pat = usesPat ? BrushPaint(dst, dst->attr.brush) : Paint{};
    if (!usesSrc) {
        ApplyBlt(dst, dr, nullptr, 0, pat, rop);
        return TRUE;
    }
    if (!IsValidDC(src)) return FALSE;
    MappedRect s = MapRect(src, xSrc, ySrc, srcWidth, srcHeight);
    RECT sr{std::min(s.x0, s.x1), std::min(s.y0, s.y1), std::max(s.x0, s.x1), std::max(s.y0, s.y1)};
    if (IsRectEmpty(sr)) return TRUE;
    // Read first: source and destination may be the same surface (screen to screen).
    std::vector<Pixel> source = ReadSource(src, dst, sr);
    const int sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    const int dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    const bool mirrorX = (d.Width() < 0) != (s.Width() < 0);
    const bool mirrorY = (d.Height() < 0) != (s.Height() < 0);
    if (sw == dw && sh == dh && !mirrorX && !mirrorY) {
        ApplyBlt(dst, dr, source.data(), sw, pat, rop);
        return TRUE;
    }
    std::vector<Pixel> scaled(static_cast<size_t>(dw) * dh);
    const int mode = dst->attr.stretchBltMode;
    // The source pixels [first, second) that destination pixel i of n covers.
    auto sourceSpan = [](int i, int n, int srcLen, bool mirror) {
        int a0 = static_cast<int>(std::int64_t(i) * srcLen / n);
        int a1 = std::max(a0 + 1, static_cast<int>(std::int64_t(i + 1) * srcLen / n));
        return mirror ? std::pair(srcLen - a1, srcLen - a0) : std::pair(a0, a1);
    };
    for (int j = 0; j < dh; ++j) {
        auto [b0, b1] = sourceSpan(j, dh, sh, mirrorY);
        for (int i = 0; i < dw; ++i) {
            auto [a0, a1] = sourceSpan(i, dw, sw, mirrorX);
            scaled[static_cast<size_t>(j) * dw + i] = Shrink(source, sw, a0, a1, b0, b1, mode);
        }
    }
    ApplyBlt(dst, dr, scaled.data(), dw, pat, rop);
    return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
    if (!IsValidDC(dst)) return FALSE;
    // The source extent is the destination's extent in device units taken back through the
    // source's mapping, so that a plain copy between DCs of equal mapping is one to one.
    int sw = width, sh = height;
    if (src != nullptr && IsValidDC(src)) {
        sw = DeviceLengthX(dst, width);
        sh = DeviceLengthY(dst, height);
        POINT ext[2] = {{0, 0}, {sw, sh}};
        DPtoLP(src, ext, 2);
        sw = ext[1].x - ext[0].x;
        sh = ext[1].y - ext[0].y;
        if (width < 0) sw = -sw;
        if (height < 0) sh = -sh;
    }
    return StretchBlt(dst, x, y, width, height, src, xSrc, ySrc, sw, sh, rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    return StretchBlt(dc, x, y, width, height, nullptr, 0, 0, 0, 0, rop);
}

}  // namespace win
