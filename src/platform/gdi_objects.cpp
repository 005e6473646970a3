#include "platform/gdi_objects.h"

#include <cstring>
#include <limits>

#include "platform/bitmap.h"
#include "platform/font.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_state.h"
#include "platform/metafile_hooks.h"

namespace win {

bool IsValidGdiObject(HGDIOBJ obj) {
    if (obj == nullptr) return false;
    auto& objects = Gdi().objects;
    auto it = objects.find(obj);
    return it != objects.end() && !obj->deletePending;
}

HGDIOBJ RegisterGdiObject(std::unique_ptr<GdiObject> obj) {
    HGDIOBJ h = obj.get();
    Gdi().objects.emplace(h, std::move(obj));
    return h;
}

void RetainSelected(HGDIOBJ obj) {
    if (obj != nullptr) ++obj->selectCount;
}

void ReleaseSelected(HGDIOBJ obj) {
    if (obj == nullptr) return;
    if (--obj->selectCount <= 0) {
        obj->selectCount = 0;
        if (obj->deletePending) Gdi().objects.erase(obj);
    }
}

void InitDefaultAttributes(DcAttributes& attr, bool memoryDc) {
    GdiState& g = Gdi();
    attr = DcAttributes{};
    attr.pen = g.stock[BLACK_PEN];
    attr.brush = g.stock[WHITE_BRUSH];
    attr.font = g.stock[SYSTEM_FONT];
    attr.palette = g.stock[DEFAULT_PALETTE];
    attr.bitmap = memoryDc ? g.defaultBitmap : nullptr;
    for (HGDIOBJ o : {attr.pen, attr.brush, attr.font, attr.palette, attr.bitmap}) RetainSelected(o);
}

void ReleaseAttributes(DcAttributes& attr) {
    for (HGDIOBJ o : {attr.pen, attr.brush, attr.font, attr.palette, attr.bitmap}) ReleaseSelected(o);
    attr.pen = attr.brush = attr.font = attr.palette = attr.bitmap = nullptr;
}

// ---- creation ------------------------------------------------------------------------------

HPEN CreatePenIndirect(const LOGPEN* lp) {
    if (lp == nullptr) return nullptr;
    auto pen = std::make_unique<PenObject>();
    pen->log = *lp;
    UINT style = pen->log.lopnStyle & PS_STYLE_MASK;
    if (style > PS_INSIDEFRAME) return nullptr;
    if (pen->log.lopnWidth.x < 0) pen->log.lopnWidth.x = 0;
    pen->log.lopnWidth.y = 0;
    return RegisterGdiObject(std::move(pen));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    LOGPEN lp{static_cast<UINT>(style), {width, 0}, color};
    return CreatePenIndirect(&lp);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (lb == nullptr) return nullptr;
    switch (lb->lbStyle) {
        case BS_SOLID: return CreateSolidBrush(lb->lbColor);
        case BS_NULL: return GetStockObject(NULL_BRUSH);
        case BS_HATCHED: return CreateHatchBrush(static_cast<int>(lb->lbHatch), lb->lbColor);
        case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb->lbHatch));
        default: return nullptr;
    }
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto brush = std::make_unique<BrushObject>();
    brush->log = {BS_SOLID, color, 0};
    return RegisterGdiObject(std::move(brush));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
    if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
    auto brush = std::make_unique<BrushObject>();
    brush->log = {BS_HATCHED, color, static_cast<ULONG_PTR>(hatch)};
    return RegisterGdiObject(std::move(brush));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto* bmp = GdiCast<BitmapObject>(bitmap, GdiKind::Bitmap);
    if (bmp == nullptr || bmp->width <= 0 || bmp->height <= 0) return nullptr;
    auto brush = std::make_unique<BrushObject>();
    brush->log = {BS_PATTERN, 0, 0};
    brush->monoPattern = bmp->mono;
    brush->pattern.resize(64);
    cairo_surface_flush(bmp->surface);
    // The brush keeps its own copy, so the bitmap may be deleted afterwards.
    for (int y = 0; y < 8; ++y) {
        const std::uint32_t* row = BitmapRow(*bmp, y % bmp->height);
        for (int x = 0; x < 8; ++x) brush->pattern[y * 8 + x] = row[x % bmp->width] & 0xFFFFFF;
    }
    return RegisterGdiObject(std::move(brush));
}

HGDIOBJ GetStockObject(int index) {
    auto& stock = Gdi().stock;
    if (index < 0 || index >= static_cast<int>(stock.size())) return nullptr;
    return stock[index];
}

// ---- selection and deletion ------------------------------------------------------------------

namespace {

HGDIOBJ Swap(HGDIOBJ& slot, HGDIOBJ obj) {
    HGDIOBJ old = slot;
    RetainSelected(obj);
    slot = obj;
    // The old object may be freed here when it was deleted while selected; the caller gets the
    // handle back as GDI does, and it is no longer valid then.
    ReleaseSelected(old);
    return old;
}

}  // namespace

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
    RecordMetaSelectObject(dc, obj);
    if (!IsValidDC(dc) || !IsValidGdiObject(obj)) return nullptr;
    DcAttributes& a = dc->attr;
    switch (obj->kind) {
        case GdiKind::Pen: return Swap(a.pen, obj);
        case GdiKind::Brush: return Swap(a.brush, obj);
        case GdiKind::Font: return Swap(a.font, obj);
        case GdiKind::Bitmap: {
            if (dc->kind != DeviceKind::Memory) return nullptr;
            auto* bmp = static_cast<BitmapObject*>(obj);
            if (bmp->selectedInto != nullptr && bmp->selectedInto != dc && !bmp->stock) return nullptr;
            if (auto* old = static_cast<BitmapObject*>(a.bitmap); old && old->selectedInto == dc) {
                old->selectedInto = nullptr;
            }
            HGDIOBJ old = Swap(a.bitmap, obj);
            SyncMemoryDcSurface(dc);
            return old;
        }
        case GdiKind::Region: {
            int kind = SelectClipRgn(dc, obj);
            return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
        }
        case GdiKind::Palette: return nullptr;
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ obj) {
    RecordMetaDeleteObject(obj);
    if (!IsValidGdiObject(obj)) return FALSE;
    if (obj->stock) return TRUE;
    if (obj->selectCount > 0) {
        obj->deletePending = true;
        return TRUE;
    }
    Gdi().objects.erase(obj);
    return TRUE;
}

int GetObjectType(HGDIOBJ obj) {
    if (!IsValidGdiObject(obj)) return 0;
    switch (obj->kind) {
        case GdiKind::Pen: return OBJ_PEN;
        case GdiKind::Brush: return OBJ_BRUSH;
        case GdiKind::Font: return OBJ_FONT;
        case GdiKind::Bitmap: return OBJ_BITMAP;
        case GdiKind::Region: return OBJ_REGION;
        case GdiKind::Palette: return OBJ_PAL;
    }
    return 0;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT objType) {
    if (!IsValidDC(dc)) return nullptr;
    switch (objType) {
        case OBJ_PEN: return dc->attr.pen;
        case OBJ_BRUSH: return dc->attr.brush;
        case OBJ_FONT: return dc->attr.font;
        case OBJ_BITMAP: return dc->attr.bitmap;
        case OBJ_PAL: return dc->attr.palette;
        default: return nullptr;
    }
}

namespace {

template <typename T>
int CopyOut(const T& value, int size, void* out) {
    if (out == nullptr) return static_cast<int>(sizeof(T));
    if (size < static_cast<int>(sizeof(T))) return 0;
    *static_cast<T*>(out) = value;
    return static_cast<int>(sizeof(T));
}

}  // namespace

int GetObject(HGDIOBJ obj, int size, void* out) {
    if (!IsValidGdiObject(obj)) return 0;
    switch (obj->kind) {
        case GdiKind::Pen: return CopyOut(static_cast<PenObject*>(obj)->log, size, out);
        case GdiKind::Brush: return CopyOut(static_cast<BrushObject*>(obj)->log, size, out);
        case GdiKind::Font: return CopyOut(static_cast<FontObject*>(obj)->log, size, out);
        case GdiKind::Bitmap: {
            auto* b = static_cast<BitmapObject*>(obj);
            BITMAP bm;
            bm.bmWidth = b->width;
            bm.bmHeight = b->height;
            bm.bmBitsPixel = b->mono ? 1 : 32;
            bm.bmWidthBytes = b->mono ? ((b->width + 15) / 16) * 2 : b->width * 4;
            return CopyOut(bm, size, out);
        }
        case GdiKind::Palette: {
            auto count = static_cast<WORD>(static_cast<PaletteObject*>(obj)->entries.size());
            return CopyOut(count, size, out);
        }
        case GdiKind::Region: return 0;
    }
    return 0;
}

// ---- palettes --------------------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* lp) {
    if (lp == nullptr || lp->palPalEntry.empty()) return nullptr;
    auto pal = std::make_unique<PaletteObject>();
    pal->entries = lp->palPalEntry;
    return RegisterGdiObject(std::move(pal));
}

HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL) {
    if (!IsValidDC(dc) || GdiCast<PaletteObject>(pal, GdiKind::Palette) == nullptr) return nullptr;
    return Swap(dc->attr.palette, pal);
}

// A true-colour surface has no hardware palette to map: colours are resolved when drawing.
UINT RealizePalette(HDC dc) { return 0; }

UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* out) {
    auto* p = GdiCast<PaletteObject>(pal, GdiKind::Palette);
    if (p == nullptr) return 0;
    UINT size = static_cast<UINT>(p->entries.size());
    if (out == nullptr) return size;
    if (start >= size) return 0;
    UINT n = std::min(count, size - start);
    for (UINT i = 0; i < n; ++i) out[i] = p->entries[start + i];
    return n;
}

UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* in) {
    auto* p = GdiCast<PaletteObject>(pal, GdiKind::Palette);
    if (p == nullptr || in == nullptr || p->stock) return 0;
    UINT size = static_cast<UINT>(p->entries.size());
    if (start >= size) return 0;
    UINT n = std::min(count, size - start);
    for (UINT i = 0; i < n; ++i) p->entries[start + i] = in[i];
    return n;
}

BOOL AnimatePalette(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* in) {
    return SetPaletteEntries(pal, start, count, in) > 0 ? TRUE : FALSE;
}

UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color) {
    auto* p = GdiCast<PaletteObject>(pal, GdiKind::Palette);
    if (p == nullptr) return CLR_INVALID;
    UINT best = 0;
    long bestDist = std::numeric_limits<long>::max();
    for (UINT i = 0; i < p->entries.size(); ++i) {
        const PALETTEENTRY& e = p->entries[i];
        long dr = long(e.peRed) - GetRValue(color);
        long dg = long(e.peGreen) - GetGValue(color);
        long db = long(e.peBlue) - GetBValue(color);
        long d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

COLORREF ResolveColor(HDC dc, COLORREF color) {
    if ((color >> 24) == 0x01) {
        UINT index = color & 0xFFFF;
        // The selected palette is used even when it was deleted while selected.
        HGDIOBJ sel = IsValidDC(dc) ? dc->attr.palette : nullptr;
        auto* p = sel != nullptr && sel->kind == GdiKind::Palette ? static_cast<PaletteObject*>(sel) : nullptr;
        if (p == nullptr || p->entries.empty()) return 0;
        // An index past the end takes entry 0, as the classic display drivers did.
        const PALETTEENTRY& e = index < p->entries.size() ? p->entries[index] : p->entries[0];
        return RGB(e.peRed, e.peGreen, e.peBlue);
    }
    return color & 0xFFFFFF;
}

}  // namespace win
