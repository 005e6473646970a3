// Playing metafile records into a DC. The bits may come from any program: every read is
// bounds-checked, records we do not know are skipped, and a broken record ends the playback.
#include <algorithm>

#include "platform/bitmap.h"
#include "platform/font.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_state.h"
#include "platform/metafile.h"
#include "platform/metafile_format.h"
#include "platform/text.h"

namespace win {

namespace {

using wmf::Reader;

constexpr std::size_t kMaxObjects = 0xFFFF;

class Player {
public:
    Player(HDC dc, std::span<const BYTE> bits) : dc_(dc), bits_(bits) {}

    void Run() {
        const std::size_t headerBytes = std::size_t{wmf::ReadWord(bits_, 2)} * 2;
        objects_.resize(std::min<std::size_t>(wmf::ReadWord(bits_, 10), kMaxObjects), nullptr);
        const int base = SaveDC(dc_);
        std::size_t pos = std::max(headerBytes, wmf::kHeaderBytes);
        while (pos + 6 <= bits_.size()) {
            const std::size_t words = wmf::ReadDword(bits_, pos);
            const WORD function = wmf::ReadWord(bits_, pos + 4);
            if (words < 3 || words > (bits_.size() - pos) / 2 || function == wmf::kEof) break;
            Reader r(bits_.subspan(pos + 6, words * 2 - 6));
            Play(function, words, r);
            pos += words * 2;
        }
        RestoreDC(dc_, base);
        for (HGDIOBJ o : objects_) {
            if (o != nullptr && o != placeholder_) DeleteObject(o);
        }
        objects_.clear();
        if (placeholder_ != nullptr) DeleteObject(placeholder_);
    }

private:
    // Puts a new object in the first free slot of the table. A failed creation still takes its
    // slot (the writer counted it), held by a placeholder that selecting does nothing with.
    void Add(HGDIOBJ obj) {
        if (obj == nullptr) {
            if (placeholder_ == nullptr) placeholder_ = CreateRectRgn(0, 0, 0, 0);
            obj = placeholder_;
        }
        auto free = std::find(objects_.begin(), objects_.end(), nullptr);
        if (free != objects_.end()) {
            *free = obj;
        } else if (objects_.size() < kMaxObjects) {
            objects_.push_back(obj);
        } else if (obj != placeholder_) {
            DeleteObject(obj);
        }
    }

    HGDIOBJ At(WORD index) const {
        HGDIOBJ o = index < objects_.size() ? objects_[index] : nullptr;
        return o == placeholder_ ? nullptr : o;
    }

    void Select(HGDIOBJ obj) {
        if (!IsValidGdiObject(obj)) return;
        if (obj->kind == GdiKind::Region) {
            ExtSelectClipRgn(dc_, obj, RGN_AND);
        } else if (obj->kind == GdiKind::Palette) {
            SelectPalette(dc_, obj, FALSE);
        } else {
            SelectObject(dc_, obj);
        }
    }

    void Points(Reader& r, std::size_t count, std::vector<POINT>& out) {
        out.clear();
        if (count * 4 > r.Remaining()) {
            r.Skip(r.Remaining() + 1);
            return;
        }
        for (std::size_t i = 0; i < count; ++i) {
            LONG x = r.S();
            LONG y = r.S();
            out.push_back({x, y});
        }
    }

    static std::size_t Padded(std::size_t n) { return n + (n & 1); }

    void PlayText(Reader& r, bool extended) {
        if (!extended) {
            std::size_t len = static_cast<WORD>(r.S());
            auto text = r.Bytes(Padded(len));
            int y = r.S();
            int x = r.S();
            if (r.Ok()) TextOut(dc_, x, y, reinterpret_cast<const char*>(text.data()), static_cast<int>(len));
            return;
        }
        int y = r.S();
        int x = r.S();
        std::size_t len = static_cast<WORD>(r.S());
        UINT options = r.W();
        // Some writers put the rectangle in even when no option asks for it; the sizes tell.
        const std::size_t rest = r.Remaining(), text = Padded(len);
        bool hasRect = (options & (ETO_OPAQUE | ETO_CLIPPED)) != 0;
        if (!hasRect && rest != text && rest != text + 2 * len && (rest == text + 8 || rest == text + 8 + 2 * len)) hasRect = true;
        RECT rect{};
        if (hasRect) {
            rect.left = r.S();
            rect.top = r.S();
            rect.right = r.S();
            rect.bottom = r.S();
        }
        auto chars = r.Bytes(text);
        if (!r.Ok()) return;
        std::vector<int> dx;
        if (r.Remaining() >= 2 * len) {
            for (std::size_t i = 0; i < len; ++i) dx.push_back(r.S());
        }
        ExtTextOut(dc_, x, y, options & (ETO_OPAQUE | ETO_CLIPPED), hasRect ? &rect : nullptr,
                   reinterpret_cast<const char*>(chars.data()), static_cast<UINT>(len), dx.empty() ? nullptr : dx.data());
    }

    HGDIOBJ MakeFont(Reader& r) {
        LOGFONT lf;
        lf.lfHeight = r.S();
        lf.lfWidth = r.S();
        lf.lfEscapement = r.S();
        lf.lfOrientation = r.S();
        lf.lfWeight = r.S();
        lf.lfItalic = r.B();
        lf.lfUnderline = r.B();
        lf.lfStrikeOut = r.B();
        lf.lfCharSet = r.B();
        lf.lfOutPrecision = r.B();
        lf.lfClipPrecision = r.B();
        lf.lfQuality = r.B();
        lf.lfPitchAndFamily = r.B();
        if (!r.Ok()) return nullptr;
        auto face = r.Rest();
        for (std::size_t i = 0; i < face.size() && i < LF_FACESIZE - 1 && face[i] != 0; ++i) {
            lf.lfFaceName.push_back(static_cast<char>(face[i]));
        }
        return CreateFontIndirect(&lf);
    }

    HGDIOBJ MakePatternBrush(Reader& r) {
        const WORD style = r.W();
        const WORD usage = r.W();
        auto img = wmf::DecodeDib(r.Rest());
        if (!r.Ok() || !img || usage != wmf::kDibRgbColors) return nullptr;
        HBITMAP bmp = nullptr;
        if (style == BS_PATTERN) {
            // A monochrome pattern: its colours come from the DC when it is drawn.
            const int stride = ((img->width + 15) / 16) * 2;
            std::vector<BYTE> bits(static_cast<std::size_t>(stride) * img->height, 0);
            for (int y = 0; y < img->height; ++y) {
                for (int x = 0; x < img->width; ++x) {
                    if (img->pixels[static_cast<std::size_t>(y) * img->width + x] != 0) bits[y * stride + x / 8] |= 0x80 >> (x % 8);
                }
            }
            bmp = CreateBitmap(img->width, img->height, 1, 1, bits.data());
        } else {
            bmp = wmf::BitmapFromImage(*img);
        }
        HBRUSH brush = CreatePatternBrush(bmp);
        DeleteObject(bmp);
        return brush;
    }

    HGDIOBJ MakePalette(Reader& r) {
        r.W();  // version
        const WORD count = r.W();
        LOGPALETTE lp;
        for (WORD i = 0; i < count && r.Remaining() >= 4; ++i) {
            PALETTEENTRY e;
            e.peRed = r.B();
            e.peGreen = r.B();
            e.peBlue = r.B();
            e.peFlags = r.B();
            lp.palPalEntry.push_back(e);
        }
        return CreatePalette(&lp);
    }

    HGDIOBJ MakeRegion(Reader& r) {
        r.Skip(10);  // next in chain, object type, object count, region size
        const WORD scans = r.W();
        r.Skip(10);  // largest scan, bounding box
        std::vector<RECT> rects;
        for (WORD s = 0; s < scans && r.Ok(); ++s) {
            const WORD count = r.W();
            const LONG top = r.S();
            const LONG bottom = r.S();
            for (WORD i = 0; i + 1 < count && r.Ok(); i += 2) {
                LONG left = r.S();
                LONG right = r.S();
                if (left < right && top < bottom) rects.push_back({left, top, right, bottom});
            }
            r.W();  // the count again
        }
        if (!r.Ok()) return nullptr;
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        if (auto* obj = GdiCast<RegionObject>(rgn, GdiKind::Region)) obj->rgn = Region::FromRects(rects);
        return rgn;
    }

    // Blits a DIB into the DC. The source y of a bottom-up DIB counts from its last row when
    // fromBottom is set (the StretchDIBits convention).
    void PlayDib(std::span<const BYTE> dib, int x, int y, int w, int h, int xs, int ys, int ws, int hs, DWORD rop,
                 bool fromBottom) {
        auto img = wmf::DecodeDib(dib);
        if (!img) return;
        if (fromBottom && !img->topDown) ys = img->height - ys - hs;
        HBITMAP bmp = wmf::BitmapFromImage(*img);
        HDC mem = CreateCompatibleDC(dc_);
        HGDIOBJ old = SelectObject(mem, bmp);
        StretchBlt(dc_, x, y, w, h, mem, xs, ys, ws, hs, rop);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(bmp);
    }

    void Play(WORD function, std::size_t words, Reader& r) {
        std::vector<POINT> pts;
        switch (function) {
            case wmf::kSetBkMode: SetBkMode(dc_, r.W()); break;
            case wmf::kSetMapMode: SetMapMode(dc_, r.W()); break;
            case wmf::kSetRop2: SetROP2(dc_, r.W()); break;
            case wmf::kSetPolyFillMode: SetPolyFillMode(dc_, r.W()); break;
            case wmf::kSetStretchBltMode: SetStretchBltMode(dc_, r.W()); break;
            case wmf::kSetTextAlign: SetTextAlign(dc_, r.W()); break;
            case wmf::kSetBkColor: SetBkColor(dc_, r.D()); break;
            case wmf::kSetTextColor: SetTextColor(dc_, r.D()); break;
            case wmf::kSetWindowOrg: {
                int y = r.S();
                SetWindowOrgEx(dc_, r.S(), y, nullptr);
                break;
            }
            case wmf::kSetWindowExt: {
                int y = r.S();
                SetWindowExtEx(dc_, r.S(), y, nullptr);
                break;
            }
            case wmf::kSetViewportOrg: {
                int y = r.S();
                SetViewportOrgEx(dc_, r.S(), y, nullptr);
                break;
            }
            case wmf::kSetViewportExt: {
                int y = r.S();
                SetViewportExtEx(dc_, r.S(), y, nullptr);
                break;
            }
            case wmf::kOffsetWindowOrg: {
                int dy = r.S();
                OffsetWindowOrgEx(dc_, r.S(), dy, nullptr);
                break;
            }
            case wmf::kOffsetViewportOrg: {
                int dy = r.S();
                OffsetViewportOrgEx(dc_, r.S(), dy, nullptr);
                break;
            }
            case wmf::kScaleWindowExt:
            case wmf::kScaleViewportExt: {
                int yDenom = r.S(), yNum = r.S(), xDenom = r.S(), xNum = r.S();
                if (!r.Ok()) break;
                if (function == wmf::kScaleWindowExt) {
                    ScaleWindowExtEx(dc_, xNum, xDenom, yNum, yDenom, nullptr);
                } else {
                    ScaleViewportExtEx(dc_, xNum, xDenom, yNum, yDenom, nullptr);
                }
                break;
            }
            case wmf::kSaveDc:
                SaveDC(dc_);
                ++depth_;
                break;
            case wmf::kRestoreDc: {
                // Only levels this metafile saved can be restored.
                int n = r.S();
                int target = n < 0 ? depth_ + n + 1 : n;
                if (target >= 1 && target <= depth_) {
                    RestoreDC(dc_, target - depth_ - 1);
                    depth_ = target - 1;
                }
                break;
            }
            case wmf::kMoveTo: {
                int y = r.S();
                MoveToEx(dc_, r.S(), y, nullptr);
                break;
            }
            case wmf::kLineTo: {
                int y = r.S();
                int x = r.S();
                if (r.Ok()) LineTo(dc_, x, y);
                break;
            }
            case wmf::kRectangle:
            case wmf::kEllipse:
            case wmf::kIntersectClipRect:
            case wmf::kExcludeClipRect: {
                int b = r.S(), rt = r.S(), t = r.S(), l = r.S();
                if (!r.Ok()) break;
                if (function == wmf::kRectangle) Rectangle(dc_, l, t, rt, b);
                else if (function == wmf::kEllipse) Ellipse(dc_, l, t, rt, b);
                else if (function == wmf::kIntersectClipRect) IntersectClipRect(dc_, l, t, rt, b);
                else ExcludeClipRect(dc_, l, t, rt, b);
                break;
            }
            case wmf::kRoundRect: {
                int h = r.S(), w = r.S(), b = r.S(), rt = r.S(), t = r.S(), l = r.S();
                if (r.Ok()) RoundRect(dc_, l, t, rt, b, w, h);
                break;
            }
            case wmf::kArc:
            case wmf::kPie:
            case wmf::kChord: {
                int ye = r.S(), xe = r.S(), ys = r.S(), xs = r.S(), b = r.S(), rt = r.S(), t = r.S(), l = r.S();
                if (!r.Ok()) break;
                if (function == wmf::kArc) Arc(dc_, l, t, rt, b, xs, ys, xe, ye);
                else if (function == wmf::kPie) Pie(dc_, l, t, rt, b, xs, ys, xe, ye);
                else Chord(dc_, l, t, rt, b, xs, ys, xe, ye);
                break;
            }
            case wmf::kPolygon:
            case wmf::kPolyline: {
                int n = r.S();
                if (n < 0) break;
                Points(r, static_cast<std::size_t>(n), pts);
                if (!r.Ok()) break;
                if (function == wmf::kPolygon) Polygon(dc_, pts.data(), n);
                else Polyline(dc_, pts.data(), n);
                break;
            }
            case wmf::kPolyPolygon: {
                int polys = r.S();
                std::vector<int> counts;
                std::size_t total = 0;
                for (int i = 0; i < polys && r.Ok(); ++i) {
                    counts.push_back(r.S());
                    if (counts.back() < 0) return;
                    total += static_cast<std::size_t>(counts.back());
                }
                Points(r, total, pts);
                if (r.Ok() && polys > 0) PolyPolygon(dc_, pts.data(), counts.data(), polys);
                break;
            }
            case wmf::kSetPixel: {
                COLORREF c = r.D();
                int y = r.S();
                int x = r.S();
                if (r.Ok()) SetPixelV(dc_, x, y, c);
                break;
            }
            case wmf::kTextOut: PlayText(r, false); break;
            case wmf::kExtTextOut: PlayText(r, true); break;
            case wmf::kCreatePenIndirect: {
                LOGPEN lp;
                lp.lopnStyle = r.W();
                lp.lopnWidth.x = r.S();
                lp.lopnWidth.y = r.S();
                lp.lopnColor = r.D();
                Add(r.Ok() ? CreatePenIndirect(&lp) : nullptr);
                break;
            }
            case wmf::kCreateBrushIndirect: {
                LOGBRUSH lb;
                lb.lbStyle = r.W();
                lb.lbColor = r.D();
                lb.lbHatch = r.W();
                // A pattern cannot travel in this record; its colour is the best stand-in.
                if (lb.lbStyle != BS_NULL && lb.lbStyle != BS_HATCHED) lb.lbStyle = BS_SOLID;
                Add(r.Ok() ? CreateBrushIndirect(&lb) : nullptr);
                break;
            }
            case wmf::kCreateFontIndirect: Add(MakeFont(r)); break;
            case wmf::kDibCreatePatternBrush: Add(MakePatternBrush(r)); break;
            case wmf::kCreatePalette: Add(MakePalette(r)); break;
            case wmf::kCreateRegion: Add(MakeRegion(r)); break;
            case wmf::kSelectObject:
            case wmf::kSelectClipRegion:
            case wmf::kSelectPalette: Select(At(r.W())); break;
            case wmf::kRealizePalette: RealizePalette(dc_); break;
            case wmf::kDeleteObject: {
                WORD index = r.W();
                if (HGDIOBJ o = At(index)) DeleteObject(o);
                if (r.Ok() && index < objects_.size()) objects_[index] = nullptr;
                break;
            }
            case wmf::kFillRegion: {
                HGDIOBJ rgn = At(r.W());
                HGDIOBJ brush = At(r.W());
                if (rgn && brush) FillRgn(dc_, rgn, brush);
                break;
            }
            case wmf::kFrameRegion: {
                HGDIOBJ rgn = At(r.W());
                HGDIOBJ brush = At(r.W());
                int h = r.S();
                int w = r.S();
                if (r.Ok() && rgn && brush) FrameRgn(dc_, rgn, brush, w, h);
                break;
            }
            case wmf::kPaintRegion:
            case wmf::kInvertRegion: {
                HGDIOBJ rgn = At(r.W());
                if (rgn == nullptr) break;
                if (function == wmf::kPaintRegion) PaintRgn(dc_, rgn);
                else InvertRgn(dc_, rgn);
                break;
            }
            case wmf::kPatBlt: {
                DWORD rop = r.D();
                int h = r.S(), w = r.S(), y = r.S(), x = r.S();
                if (r.Ok()) PatBlt(dc_, x, y, w, h, rop);
                break;
            }
            case wmf::kDibBitBlt:
            case wmf::kDibStretchBlt: {
                // The form without a bitmap has one reserved word more and no DIB.
                const bool withBitmap = words != static_cast<std::size_t>(function >> 8) + 3;
                const bool stretch = function == wmf::kDibStretchBlt;
                DWORD rop = r.D();
                int hs = stretch ? r.S() : 0, ws = stretch ? r.S() : 0;
                int ys = r.S(), xs = r.S();
                if (!withBitmap) r.W();
                int h = r.S(), w = r.S(), y = r.S(), x = r.S();
                if (!stretch) {
                    hs = h;
                    ws = w;
                }
                if (!r.Ok()) break;
                if (withBitmap) PlayDib(r.Rest(), x, y, w, h, xs, ys, ws, hs, rop, false);
                else PatBlt(dc_, x, y, w, h, rop);
                break;
            }
            case wmf::kStretchDib: {
                DWORD rop = r.D();
                WORD usage = r.W();
                int hs = r.S(), ws = r.S(), ys = r.S(), xs = r.S(), h = r.S(), w = r.S(), y = r.S(), x = r.S();
                if (r.Ok() && usage == wmf::kDibRgbColors) PlayDib(r.Rest(), x, y, w, h, xs, ys, ws, hs, rop, true);
                break;
            }
            default: break;  // unknown or unsupported: skipped
        }
    }

    HDC dc_;
    std::span<const BYTE> bits_;
    std::vector<HGDIOBJ> objects_;
    HGDIOBJ placeholder_ = nullptr;
    int depth_ = 0;  // SaveDC levels made by the metafile
};

}  // namespace

BOOL PlayMetaFile(HDC dc, HMETAFILE mf) {
    if (!IsValidDC(dc) || !IsValidMetaFile(mf)) return FALSE;
    Player(dc, Metafiles().metafiles.at(mf)->bits).Run();
    return TRUE;
}

}  // namespace win
