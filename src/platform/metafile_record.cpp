// The recording DC: the GDI calls made on a metafile DC become WMF records.
#include <algorithm>

#include "platform/bitmap.h"
#include "platform/font.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_state.h"
#include "platform/metafile.h"
#include "platform/metafile_format.h"
#include "platform/metafile_hooks.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/text_render.h"

namespace win {

namespace {

using wmf::Params;

// The mapping as recorded; the DC itself keeps an identity mapping.
struct MetaMapping {
    int mapMode = MM_TEXT;
    POINT windowOrg{0, 0};
    SIZE windowExt{1, 1};
    POINT viewportOrg{0, 0};
    SIZE viewportExt{1, 1};
};

struct MetaRecorder : DcExtension {
    ~MetaRecorder() override {
        if (reference != nullptr) cairo_surface_destroy(reference);
    }
    void Emit(WORD function, const Params& params = {}) {
        std::size_t before = body.size();
        wmf::AppendRecord(body, function, params);
        maxRecord = std::max<DWORD>(maxRecord, static_cast<DWORD>(body.size() - before));
    }

    std::vector<WORD> body;        // the records after the header
    std::string fileName;          // empty for a memory metafile
    std::vector<HGDIOBJ> slots;    // the metafile's object table (null: free)
    DWORD maxRecord = 0;
    MetaMapping mapping;
    std::vector<MetaMapping> saved;  // follows the DC's SaveDC levels
    int divisor = 1;                 // logical units per recorded unit
    cairo_surface_t* reference = nullptr;
};

MetaRecorder* RecorderOf(HDC dc) {
    if (!IsValidDC(dc) || dc->kind != DeviceKind::Metafile) return nullptr;
    return dynamic_cast<MetaRecorder*>(dc->extension.get());
}

// A logical coordinate or size as recorded.
long Scaled(const MetaRecorder& r, long v) { return DivideCoordinate(v, r.divisor); }

COLORREF Resolved(HDC dc, COLORREF c) { return ResolveColor(dc, c) & 0x00FFFFFF; }

Params& Rect(const MetaRecorder& r, Params& p, int left, int top, int right, int bottom) {
    return p.S(Scaled(r, bottom)).S(Scaled(r, right)).S(Scaled(r, top)).S(Scaled(r, left));
}

// 8x8 pattern pixels as an image.
wmf::Image PatternImage(const BrushObject& brush) {
    wmf::Image img;
    img.width = 8;
    img.height = 8;
    img.pixels.assign(brush.pattern.begin(), brush.pattern.end());
    img.pixels.resize(64, 0);
    return img;
}

// Writes the record that makes obj in the metafile; false for objects a metafile cannot hold.
bool EmitCreate(HDC dc, MetaRecorder& r, HGDIOBJ obj) {
    switch (obj->kind) {
        case GdiKind::Pen: {
            const LOGPEN& lp = static_cast<PenObject*>(obj)->log;
            r.Emit(wmf::kCreatePenIndirect,
                   Params().W(static_cast<WORD>(lp.lopnStyle)).S(Scaled(r, lp.lopnWidth.x)).S(0).D(Resolved(dc, lp.lopnColor)));
            return true;
        }
        case GdiKind::Brush: {
            const auto& brush = *static_cast<BrushObject*>(obj);
            const LOGBRUSH& lb = brush.log;
            if (lb.lbStyle == BS_PATTERN) {
                wmf::Image img = PatternImage(brush);
                if (brush.monoPattern) {
                    r.Emit(wmf::kDibCreatePatternBrush,
                           Params().W(BS_PATTERN).W(wmf::kDibRgbColors).Bytes(wmf::EncodeMonoDib(img, 0, 0xFFFFFF)));
                } else {
                    r.Emit(wmf::kDibCreatePatternBrush,
                           Params().W(wmf::kBrushDibPatternPt).W(wmf::kDibRgbColors).Bytes(wmf::EncodeDib(img)));
                }
                return true;
            }
            COLORREF c = lb.lbStyle == BS_NULL ? 0 : Resolved(dc, lb.lbColor);
            r.Emit(wmf::kCreateBrushIndirect, Params().W(static_cast<WORD>(lb.lbStyle)).D(c).W(static_cast<WORD>(lb.lbHatch)));
            return true;
        }
        case GdiKind::Font: {
            const LOGFONT& lf = static_cast<FontObject*>(obj)->log;
            std::vector<BYTE> face(LF_FACESIZE, 0);
            std::copy_n(lf.lfFaceName.begin(), std::min<std::size_t>(lf.lfFaceName.size(), LF_FACESIZE - 1), face.begin());
            Params p;
            p.S(Scaled(r, lf.lfHeight)).S(Scaled(r, lf.lfWidth)).S(lf.lfEscapement).S(lf.lfOrientation).S(lf.lfWeight);
            p.Bytes(std::vector<BYTE>{lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfCharSet, lf.lfOutPrecision,
                                      lf.lfClipPrecision, lf.lfQuality, lf.lfPitchAndFamily});
            p.Bytes(face);
            r.Emit(wmf::kCreateFontIndirect, p);
            return true;
        }
        default: return false;
    }
}

// The table index of obj, writing its creation first when the metafile does not hold it yet.
int EnsureObject(HDC dc, MetaRecorder& r, HGDIOBJ obj) {
    auto it = std::find(r.slots.begin(), r.slots.end(), obj);
    if (it != r.slots.end()) return static_cast<int>(it - r.slots.begin());
    if (!EmitCreate(dc, r, obj)) return -1;
    auto free = std::find(r.slots.begin(), r.slots.end(), nullptr);
    if (free != r.slots.end()) {
        *free = obj;
        return static_cast<int>(free - r.slots.begin());
    }
    r.slots.push_back(obj);
    return static_cast<int>(r.slots.size() - 1);
}

void EmitSelect(HDC dc, MetaRecorder& r, HGDIOBJ obj) {
    if (!IsValidGdiObject(obj)) return;
    int index = EnsureObject(dc, r, obj);
    if (index >= 0) r.Emit(wmf::kSelectObject, Params().W(static_cast<WORD>(index)));
}

void EmitFourPoints(HDC dc, WORD function, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
    if (MetaRecorder* r = RecorderOf(dc)) {
        Params p;
        p.S(Scaled(*r, ye)).S(Scaled(*r, xe)).S(Scaled(*r, ys)).S(Scaled(*r, xs));
        r->Emit(function, Rect(*r, p, left, top, right, bottom));
    }
}

BOOL EmitBox(HDC dc, WORD function, int left, int top, int right, int bottom) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return FALSE;
    Params p;
    r->Emit(function, Rect(*r, p, left, top, right, bottom));
    return TRUE;
}

Params PointList(const MetaRecorder& r, const POINT* points, std::size_t count) {
    Params p;
    p.S(static_cast<long>(count));
    for (std::size_t i = 0; i < count; ++i) p.S(Scaled(r, points[i].x)).S(Scaled(r, points[i].y));
    return p;
}

// Polylines longer than a record's 16-bit count are split, each piece starting where the last ended.
void EmitPolyline(MetaRecorder& r, const POINT* points, std::size_t count) {
    constexpr std::size_t kMax = 32767;
    std::size_t start = 0;
    while (count - start >= 2) {
        std::size_t n = std::min(kMax, count - start);
        r.Emit(wmf::kPolyline, PointList(r, points + start, n));
        if (start + n >= count) break;
        start += n - 1;
    }
}

void EmitPatBlt(MetaRecorder& r, int x, int y, int width, int height, DWORD rop) {
    r.Emit(wmf::kPatBlt, Params().D(rop).S(Scaled(r, height)).S(Scaled(r, width)).S(Scaled(r, y)).S(Scaled(r, x)));
}

// A blit with a brush other than the selected one, the way FillRect does it.
void EmitBrushBlts(HDC dc, MetaRecorder& r, HBRUSH brush, std::span<const RECT> rects) {
    EmitSelect(dc, r, brush);
    for (const RECT& b : rects) EmitPatBlt(r, b.left, b.top, b.right - b.left, b.bottom - b.top, PATCOPY);
    if (dc->attr.brush != brush) EmitSelect(dc, r, dc->attr.brush);
}

bool RopUsesSource(DWORD rop) { return (((rop >> 2) ^ rop) & 0x00330000) != 0; }

// The source pixels of a blit as an image (surface pixels of the source DC).
std::optional<wmf::Image> ReadSourceImage(HDC src, int x, int y, int width, int height) {
    if (!IsValidDC(src) || src->kind == DeviceKind::Metafile) return std::nullopt;
    POINT p[2] = {{x, y}, {x + width, y + height}};
    LPtoDP(src, p, 2);
    RECT s{std::min(p[0].x, p[1].x) + src->origin.x, std::min(p[0].y, p[1].y) + src->origin.y,
           std::max(p[0].x, p[1].x) + src->origin.x, std::max(p[0].y, p[1].y) + src->origin.y};
    if (IsRectEmpty(s)) return std::nullopt;
    PixelAccess px(src->surface);
    if (!px.Valid()) return std::nullopt;
    wmf::Image img;
    img.width = s.right - s.left;
    img.height = s.bottom - s.top;
    if (static_cast<std::int64_t>(img.width) * img.height > (std::int64_t{1} << 26)) return std::nullopt;
    img.pixels.assign(static_cast<std::size_t>(img.width) * img.height, 0);
    for (int row = 0; row < img.height; ++row) {
        LONG sy = s.top + row;
        if (sy < 0 || sy >= px.Height()) continue;
        for (int col = 0; col < img.width; ++col) {
            LONG sx = s.left + col;
            if (sx >= 0 && sx < px.Width()) img.pixels[static_cast<std::size_t>(row) * img.width + col] = px.Row(sy)[sx] & 0xFFFFFF;
        }
    }
    return img;
}

void EmitText(MetaRecorder& r, int x, int y, UINT options, const RECT* rect, std::string_view text,
              const std::vector<int>* dx) {
    options &= ETO_OPAQUE | ETO_CLIPPED;
    if (rect == nullptr) options = 0;
    if (options == 0 && dx == nullptr) {
        r.Emit(wmf::kTextOut, Params().S(static_cast<long>(text.size())).Text(text).S(Scaled(r, y)).S(Scaled(r, x)));
        return;
    }
    Params p;
    p.S(Scaled(r, y)).S(Scaled(r, x)).S(static_cast<long>(text.size())).W(static_cast<WORD>(options));
    if (options != 0)
        p.S(Scaled(r, rect->left)).S(Scaled(r, rect->top)).S(Scaled(r, rect->right)).S(Scaled(r, rect->bottom));
    p.Text(text);
    if (dx != nullptr) {
        for (std::size_t i = 0; i < text.size(); ++i) p.S(Scaled(r, i < dx->size() ? (*dx)[i] : 0));
    }
    r.Emit(wmf::kExtTextOut, p);
}

// A metafile DC answers for the display it is made on, apart from its kind.
DeviceCapsInfo MetafileCaps() {
    HDC screen = GetDC(nullptr);
    DeviceCapsInfo caps = IsValidDC(screen) ? screen->caps : DeviceCapsInfo{};
    ReleaseDC(nullptr, screen);
    caps.technology = DT_METAFILE;
    return caps;
}

// The complete metafile: header, records and the closing record.
std::vector<BYTE> FinishBits(MetaRecorder& r, WORD type) {
    r.Emit(wmf::kEof);
    std::vector<BYTE> out;
    const DWORD words = static_cast<DWORD>(wmf::kHeaderWords + r.body.size());
    out.reserve(std::size_t{words} * 2);
    wmf::PutWord(out, type);
    wmf::PutWord(out, wmf::kHeaderWords);
    wmf::PutWord(out, wmf::kVersion);
    wmf::PutDword(out, words);
    wmf::PutWord(out, static_cast<WORD>(std::min<std::size_t>(r.slots.size(), 0xFFFF)));
    wmf::PutDword(out, r.maxRecord);
    wmf::PutWord(out, 0);
    for (WORD w : r.body) wmf::PutWord(out, w);
    return out;
}

}  // namespace

bool IsMetafileDC(HDC dc) { return RecorderOf(dc) != nullptr; }

BOOL SetMetaFileCoordinateDivisor(HDC dc, int divisor) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return FALSE;
    r->divisor = std::max(divisor, 1);
    return TRUE;
}

HDC CreateMetaFile(const char* fileName) {
    auto recorder = std::make_unique<MetaRecorder>();
    if (fileName != nullptr) recorder->fileName = fileName;
    // Drawing calls never reach the reference surface; it is there so that measuring works.
    recorder->reference = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    HDC dc = CreateDeviceDC(DeviceKind::Metafile, recorder->reference, Region(-32768, -32768, 32768, 32768), MetafileCaps());
    if (dc == nullptr) return nullptr;
    dc->extension = std::move(recorder);
    return dc;
}

HMETAFILE CloseMetaFile(HDC dc) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return nullptr;
    const std::string fileName = r->fileName;
    const std::vector<BYTE> bits = FinishBits(*r, fileName.empty() ? wmf::kMemoryMetafile : wmf::kDiskMetafile);
    DeleteDC(dc);
    HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(bits.size()), bits.data());
    if (mf != nullptr && !fileName.empty() && !WriteMetaFileFile(fileName, mf, nullptr, 0)) {
        DeleteMetaFile(mf);
        return nullptr;
    }
    return mf;
}

// ---- state ------------------------------------------------------------------------------------

void RecordMetaSaveDC(HDC dc) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return;
    r->Emit(wmf::kSaveDc);
    r->saved.push_back(r->mapping);
}

void RecordMetaRestoreDC(HDC dc, int savedDc) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return;
    const int level = static_cast<int>(r->saved.size());
    const int target = savedDc < 0 ? level + savedDc + 1 : savedDc;
    if (target < 1 || target > level) return;
    // Levels are written relative: absolute ones would mean something else where it is played.
    r->Emit(wmf::kRestoreDc, Params().S(target - level - 1));
    r->mapping = r->saved[static_cast<std::size_t>(target - 1)];
    r->saved.resize(static_cast<std::size_t>(target - 1));
}

void RecordMetaSelectObject(HDC dc, HGDIOBJ obj) {
    if (MetaRecorder* r = RecorderOf(dc)) EmitSelect(dc, *r, obj);
}

void RecordMetaDeleteObject(HGDIOBJ obj) {
    if (!IsValidGdiObject(obj) || obj->stock) return;
    for (auto& [dc, owned] : Gdi().dcs) {
        MetaRecorder* r = RecorderOf(dc);
        if (r == nullptr) continue;
        auto it = std::find(r->slots.begin(), r->slots.end(), obj);
        if (it == r->slots.end()) continue;
        r->Emit(wmf::kDeleteObject, Params().W(static_cast<WORD>(it - r->slots.begin())));
        *it = nullptr;
    }
}

void RecordMetaSetBkColor(HDC dc, COLORREF color) {
    if (MetaRecorder* r = RecorderOf(dc)) r->Emit(wmf::kSetBkColor, Params().D(Resolved(dc, color)));
}

void RecordMetaSetBkMode(HDC dc, int mode) {
    MetaRecorder* r = RecorderOf(dc);
    if (r != nullptr && (mode == TRANSPARENT || mode == OPAQUE)) r->Emit(wmf::kSetBkMode, Params().W(static_cast<WORD>(mode)));
}

void RecordMetaSetTextColor(HDC dc, COLORREF color) {
    if (MetaRecorder* r = RecorderOf(dc)) r->Emit(wmf::kSetTextColor, Params().D(Resolved(dc, color)));
}

void RecordMetaSetTextAlign(HDC dc, UINT align) {
    if (MetaRecorder* r = RecorderOf(dc)) r->Emit(wmf::kSetTextAlign, Params().W(static_cast<WORD>(align)));
}

void RecordMetaSetROP2(HDC dc, int rop) {
    MetaRecorder* r = RecorderOf(dc);
    if (r != nullptr && rop >= R2_BLACK && rop <= R2_WHITE) r->Emit(wmf::kSetRop2, Params().W(static_cast<WORD>(rop)));
}

void RecordMetaSetPolyFillMode(HDC dc, int mode) {
    MetaRecorder* r = RecorderOf(dc);
    if (r != nullptr && (mode == ALTERNATE || mode == WINDING)) r->Emit(wmf::kSetPolyFillMode, Params().W(static_cast<WORD>(mode)));
}

void RecordMetaSetStretchBltMode(HDC dc, int mode) {
    MetaRecorder* r = RecorderOf(dc);
    if (r != nullptr && mode >= BLACKONWHITE && mode <= HALFTONE) r->Emit(wmf::kSetStretchBltMode, Params().W(static_cast<WORD>(mode)));
}

void RecordMetaMoveTo(HDC dc, int x, int y) {
    if (MetaRecorder* r = RecorderOf(dc)) r->Emit(wmf::kMoveTo, Params().S(Scaled(*r, y)).S(Scaled(*r, x)));
}

void RecordMetaIntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    EmitBox(dc, wmf::kIntersectClipRect, left, top, right, bottom);
}

void RecordMetaExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    EmitBox(dc, wmf::kExcludeClipRect, left, top, right, bottom);
}

// ---- mapping ----------------------------------------------------------------------------------

namespace {

template <typename T>
BOOL SetMapped(HDC dc, WORD function, T MetaMapping::*field, T value, T* old) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return FALSE;
    if (old != nullptr) *old = r->mapping.*field;
    r->mapping.*field = value;
    // The window is in logical units; the viewport in the player's device units.
    const bool logical = function == wmf::kSetWindowOrg || function == wmf::kSetWindowExt;
    const auto scaled = [&](long v) { return logical ? Scaled(*r, v) : v; };
    if constexpr (std::is_same_v<T, POINT>) {
        r->Emit(function, Params().S(scaled(value.y)).S(scaled(value.x)));
    } else {
        r->Emit(function, Params().S(scaled(value.cy)).S(scaled(value.cx)));
    }
    return TRUE;
}

template <typename T>
BOOL GetMapped(HDC dc, T MetaMapping::*field, T* out) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || out == nullptr) return FALSE;
    *out = r->mapping.*field;
    return TRUE;
}

LONG ScaleExt(LONG v, int num, int denom) { return static_cast<LONG>(static_cast<std::int64_t>(v) * num / denom); }

BOOL ScaleMapped(HDC dc, WORD function, SIZE MetaMapping::*field, int xNum, int xDenom, int yNum, int yDenom, SIZE* old) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || xDenom == 0 || yDenom == 0) return FALSE;
    SIZE& ext = r->mapping.*field;
    if (old != nullptr) *old = ext;
    ext = {ScaleExt(ext.cx, xNum, xDenom), ScaleExt(ext.cy, yNum, yDenom)};
    r->Emit(function, Params().S(yDenom).S(yNum).S(xDenom).S(xNum));
    return TRUE;
}

}  // namespace

int MetaSetMapMode(HDC dc, int mode) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
    int old = r->mapping.mapMode;
    r->mapping.mapMode = mode;
    r->Emit(wmf::kSetMapMode, Params().W(static_cast<WORD>(mode)));
    return old;
}

int MetaGetMapMode(HDC dc) {
    MetaRecorder* r = RecorderOf(dc);
    return r ? r->mapping.mapMode : 0;
}

BOOL MetaSetWindowOrgEx(HDC dc, int x, int y, POINT* old) {
    return SetMapped(dc, wmf::kSetWindowOrg, &MetaMapping::windowOrg, POINT{x, y}, old);
}

BOOL MetaSetWindowExtEx(HDC dc, int x, int y, SIZE* old) {
    if (x == 0 || y == 0) return FALSE;
    return SetMapped(dc, wmf::kSetWindowExt, &MetaMapping::windowExt, SIZE{x, y}, old);
}

BOOL MetaSetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
    return SetMapped(dc, wmf::kSetViewportOrg, &MetaMapping::viewportOrg, POINT{x, y}, old);
}

BOOL MetaSetViewportExtEx(HDC dc, int x, int y, SIZE* old) {
    if (x == 0 || y == 0) return FALSE;
    return SetMapped(dc, wmf::kSetViewportExt, &MetaMapping::viewportExt, SIZE{x, y}, old);
}

BOOL MetaOffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return FALSE;
    if (old != nullptr) *old = r->mapping.windowOrg;
    r->mapping.windowOrg.x += dx;
    r->mapping.windowOrg.y += dy;
    r->Emit(wmf::kOffsetWindowOrg, Params().S(Scaled(*r, dy)).S(Scaled(*r, dx)));
    return TRUE;
}

BOOL MetaOffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return FALSE;
    if (old != nullptr) *old = r->mapping.viewportOrg;
    r->mapping.viewportOrg.x += dx;
    r->mapping.viewportOrg.y += dy;
    r->Emit(wmf::kOffsetViewportOrg, Params().S(dy).S(dx));
    return TRUE;
}

BOOL MetaScaleWindowExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old) {
    return ScaleMapped(dc, wmf::kScaleWindowExt, &MetaMapping::windowExt, xNum, xDenom, yNum, yDenom, old);
}

BOOL MetaScaleViewportExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old) {
    return ScaleMapped(dc, wmf::kScaleViewportExt, &MetaMapping::viewportExt, xNum, xDenom, yNum, yDenom, old);
}

BOOL MetaGetWindowOrgEx(HDC dc, POINT* out) { return GetMapped(dc, &MetaMapping::windowOrg, out); }
BOOL MetaGetWindowExtEx(HDC dc, SIZE* out) { return GetMapped(dc, &MetaMapping::windowExt, out); }
BOOL MetaGetViewportOrgEx(HDC dc, POINT* out) { return GetMapped(dc, &MetaMapping::viewportOrg, out); }
BOOL MetaGetViewportExtEx(HDC dc, SIZE* out) { return GetMapped(dc, &MetaMapping::viewportExt, out); }

// ---- drawing ----------------------------------------------------------------------------------

BOOL MetaLineTo(HDC dc, int x, int y) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return FALSE;
    r->Emit(wmf::kLineTo, Params().S(Scaled(*r, y)).S(Scaled(*r, x)));
    dc->attr.currentPos = {x, y};
    return TRUE;
}

BOOL MetaPolyline(HDC dc, const POINT* points, int count) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || points == nullptr || count < 2) return FALSE;
    EmitPolyline(*r, points, static_cast<std::size_t>(count));
    return TRUE;
}

BOOL MetaPolylineTo(HDC dc, const POINT* points, int count) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || points == nullptr || count < 1) return FALSE;
    std::vector<POINT> pts{dc->attr.currentPos};
    pts.insert(pts.end(), points, points + count);
    EmitPolyline(*r, pts.data(), pts.size());
    // The metafile has no record that moves the pen along, so the position is set explicitly.
    dc->attr.currentPos = points[count - 1];
    r->Emit(wmf::kMoveTo, Params().S(Scaled(*r, dc->attr.currentPos.y)).S(Scaled(*r, dc->attr.currentPos.x)));
    return TRUE;
}

BOOL MetaPolyPolyline(HDC dc, const POINT* points, const DWORD* counts, int polylines) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || points == nullptr || counts == nullptr || polylines <= 0) return FALSE;
    for (int i = 0; i < polylines; ++i) {
        if (counts[i] < 2) return FALSE;
    }
    std::size_t start = 0;
    for (int i = 0; i < polylines; ++i) {
        EmitPolyline(*r, points + start, counts[i]);
        start += counts[i];
    }
    return TRUE;
}

BOOL MetaRectangle(HDC dc, int left, int top, int right, int bottom) {
    return EmitBox(dc, wmf::kRectangle, left, top, right, bottom);
}

BOOL MetaEllipse(HDC dc, int left, int top, int right, int bottom) {
    return EmitBox(dc, wmf::kEllipse, left, top, right, bottom);
}

BOOL MetaRoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return FALSE;
    Params p;
    p.S(Scaled(*r, ellipseHeight)).S(Scaled(*r, ellipseWidth));
    r->Emit(wmf::kRoundRect, Rect(*r, p, left, top, right, bottom));
    return TRUE;
}

BOOL MetaArc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    EmitFourPoints(dc, wmf::kArc, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
    return IsMetafileDC(dc);
}

BOOL MetaPie(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    EmitFourPoints(dc, wmf::kPie, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
    return IsMetafileDC(dc);
}

BOOL MetaChord(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    EmitFourPoints(dc, wmf::kChord, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
    return IsMetafileDC(dc);
}

BOOL MetaPolyPolygon(HDC dc, const POINT* points, const int* counts, int polygons) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || points == nullptr || counts == nullptr || polygons <= 0 || polygons > 32767) return FALSE;
    std::size_t total = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 2 || counts[i] > 32767) return FALSE;
        total += static_cast<std::size_t>(counts[i]);
    }
    if (polygons == 1) {
        r->Emit(wmf::kPolygon, PointList(*r, points, total));
        return TRUE;
    }
    Params p;
    p.S(polygons);
    for (int i = 0; i < polygons; ++i) p.S(counts[i]);
    for (std::size_t i = 0; i < total; ++i) p.S(Scaled(*r, points[i].x)).S(Scaled(*r, points[i].y));
    r->Emit(wmf::kPolyPolygon, p);
    return TRUE;
}

int MetaFillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || rect == nullptr || GdiCast<BrushObject>(brush, GdiKind::Brush) == nullptr) return 0;
    EmitBrushBlts(dc, *r, brush, std::span<const RECT>(rect, 1));
    return 1;
}

int MetaFrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || rect == nullptr || GdiCast<BrushObject>(brush, GdiKind::Brush) == nullptr) return 0;
    const RECT& s = *rect;
    if (s.right <= s.left || s.bottom <= s.top) return 1;
    const RECT sides[4] = {{s.left, s.top, s.right, s.top + 1},
                           {s.left, s.bottom - 1, s.right, s.bottom},
                           {s.left, s.top + 1, s.left + 1, s.bottom - 1},
                           {s.right - 1, s.top + 1, s.right, s.bottom - 1}};
    EmitBrushBlts(dc, *r, brush, sides);
    return 1;
}

BOOL MetaInvertRect(HDC dc, const RECT* rect) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || rect == nullptr) return FALSE;
    EmitPatBlt(*r, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
    return TRUE;
}

COLORREF MetaSetPixel(HDC dc, int x, int y, COLORREF color) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr) return CLR_INVALID;
    COLORREF c = Resolved(dc, color);
    r->Emit(wmf::kSetPixel, Params().D(c).S(Scaled(*r, y)).S(Scaled(*r, x)));
    return c;
}

BOOL MetaStretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, DWORD rop) {
    MetaRecorder* r = RecorderOf(dst);
    if (r == nullptr) return FALSE;
    if (!RopUsesSource(rop)) {
        EmitPatBlt(*r, x, y, width, height, rop);
        return TRUE;
    }
    std::optional<wmf::Image> img = ReadSourceImage(src, xSrc, ySrc, srcWidth, srcHeight);
    if (!img) return FALSE;
    // A monochrome source takes the destination's text and background colours, as a blit does.
    std::vector<BYTE> dib = IsMonoTarget(src) ? wmf::EncodeMonoDib(*img, Resolved(dst, dst->attr.textColor),
                                                                   Resolved(dst, dst->attr.bkColor))
                                              : wmf::EncodeDib(*img);
    Params p;
    p.D(rop).S(img->height).S(img->width).S(0).S(0).S(Scaled(*r, height)).S(Scaled(*r, width)).S(Scaled(*r, y)).S(Scaled(*r, x)).Bytes(dib);
    r->Emit(wmf::kDibStretchBlt, p);
    return TRUE;
}

BOOL MetaExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const int* dx) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || (count > 0 && text == nullptr) || count > 32767) return FALSE;
    std::string_view s(text ? text : "", count);
    std::vector<int> advances;
    if (dx != nullptr) advances.assign(dx, dx + count);
    EmitText(*r, x, y, options, rect, s, dx ? &advances : nullptr);
    const UINT align = dc->attr.textAlign;
    if (align & TA_UPDATECP) {
        int width = 0;
        if (dx != nullptr) {
            for (int a : advances) width += a;
        } else {
            width = GetTextExtent(dc, s).cx;
        }
        if ((align & TA_CENTER) == TA_CENTER) {
            // The current position stays where it is.
        } else if (align & TA_RIGHT) {
            dc->attr.currentPos.x -= width;
        } else {
            dc->attr.currentPos.x += width;
        }
    }
    return TRUE;
}

void MetaTextRun(HDC dc, const RealizedFont&, const TextRun& run) {
    MetaRecorder* r = RecorderOf(dc);
    if (r == nullptr || run.text.empty()) return;
    // DrawText has laid the run out already: it is written at its baseline start.
    const UINT align = dc->attr.textAlign;
    const UINT runAlign = TA_BASELINE | TA_LEFT;
    if (align != runAlign) r->Emit(wmf::kSetTextAlign, Params().W(static_cast<WORD>(runAlign)));
    RECT clip{};
    if (run.clip != nullptr) {
        clip = *run.clip;
        OffsetRect(&clip, -dc->origin.x, -dc->origin.y);
    }
    EmitText(*r, run.baseline.x - dc->origin.x, run.baseline.y - dc->origin.y, run.clip ? ETO_CLIPPED : 0,
             run.clip ? &clip : nullptr, run.text, run.advances);
    if (align != runAlign) r->Emit(wmf::kSetTextAlign, Params().W(static_cast<WORD>(align)));
}

}  // namespace win
