#include "platform/text.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/gdi_dc.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_raster.h"
#include "platform/text_render.h"
#include "platform/metafile_hooks.h"

namespace win {

namespace {

std::vector<POINT> CellCorners(POINT b, double cosE, double sinE, int width, int ascent, int descent) {
    // Along the baseline: (cos, -sin); towards the bottom of the glyphs: (sin, cos).
    auto at = [&](double along, double down) {
        return POINT{static_cast<LONG>(std::lround(b.x + along * cosE + down * sinE)),
                     static_cast<LONG>(std::lround(b.y - along * sinE + down * cosE))};
    };
    return {at(0, -ascent), at(width, -ascent), at(width, descent), at(0, descent)};
}

}  // namespace

int RunWidth(const RealizedFont& font, std::string_view text) {
    int w = 0;
    for (unsigned char c : text) w += font.Advance(c);
    return w;
}

void DrawTextRun(HDC dc, const RealizedFont& font, const TextRun& run) {
    if (IsMetafileDC(dc)) return MetaTextRun(dc, font, run);
    const TEXTMETRIC& tm = font.Metrics();
    const double angle = font.Escapement() * std::numbers::pi / 1800.0;
    const double cosE = std::cos(angle), sinE = std::sin(angle);
    std::vector<int> offsets;
    offsets.reserve(run.text.size() + 1);
    int x = 0;
    for (size_t i = 0; i < run.text.size(); ++i) {
        offsets.push_back(x);
        x += run.advances ? (*run.advances)[i] : font.Advance(static_cast<unsigned char>(run.text[i]));
    }
    offsets.push_back(x);
    const int width = x;

    std::vector<POINT> cell = CellCorners(run.baseline, cosE, sinE, width, tm.tmAscent, tm.tmDescent);
    RECT bounds{cell[0].x, cell[0].y, cell[0].x, cell[0].y};
    for (const POINT& p : cell) {
        bounds.left = std::min(bounds.left, p.x);
        bounds.top = std::min(bounds.top, p.y);
        bounds.right = std::max(bounds.right, p.x);
        bounds.bottom = std::max(bounds.bottom, p.y);
    }
    // Glyphs may reach past their cells (italics, overhanging letters).
    InflateRect(&bounds, tm.tmHeight / 2 + 2, tm.tmHeight / 2 + 2);
    RECT limit = DeviceClip(dc).Bounds();
    if (run.clip && !IntersectRect(&limit, &limit, run.clip)) return;
    if (!IntersectRect(&bounds, &bounds, &limit)) return;

    if (run.opaque && width > 0) {
        Mask bg(bounds);
        if (font.Escapement() == 0) {
            bg.SetRect({run.baseline.x, run.baseline.y - tm.tmAscent, run.baseline.x + width, run.baseline.y + tm.tmDescent});
        } else {
            bg.Render([&](cairo_t* cr) {
                cairo_move_to(cr, cell[0].x, cell[0].y);
                for (size_t i = 1; i < cell.size(); ++i) cairo_line_to(cr, cell[i].x, cell[i].y);
                cairo_close_path(cr);
                cairo_fill(cr);
            });
        }
        ApplyMask(dc, bg, SolidPaint(dc, dc->attr.bkColor), R2_COPYPEN);
    }

    std::vector<cairo_glyph_t> glyphs;
    glyphs.reserve(run.text.size());
    for (size_t i = 0; i < run.text.size(); ++i) {
        auto c = static_cast<unsigned char>(run.text[i]);
        double gx = run.baseline.x + offsets[i] * cosE;
        double gy = run.baseline.y - offsets[i] * sinE;
        glyphs.push_back({font.Glyph(c), std::round(gx), std::round(gy)});
    }
    if (dc->kind == DeviceKind::Printer) {
        std::vector<RECT> clip;
        const Region visible = DeviceClip(dc);
        for (const RECT& r : visible.Rects()) {
            RECT c;
            if (IntersectRect(&c, &r, &limit)) clip.push_back(c);
        }
        AddPrinterTextRun(dc, font.ScaledFont(), glyphs, DrawPixel(dc, dc->attr.textColor) & 0xFFFFFFu, std::move(clip));
    }
    Mask ink(bounds);
    ink.Render([&](cairo_t* cr) {
        cairo_set_scaled_font(cr, font.ScaledFont());
        cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
        // Lines in text space: [from, to) along the baseline, top..top+thickness below it.
        auto line = [&](int from, int to, int top, int thickness) {
            cairo_save(cr);
            cairo_translate(cr, run.baseline.x, run.baseline.y);
            cairo_rotate(cr, -angle);
            cairo_rectangle(cr, from, top, to - from, thickness);
            cairo_restore(cr);
            cairo_fill(cr);
        };
        const TEXTMETRIC& m = font.Metrics();
        if (m.tmUnderlined) line(0, width, font.UnderlinePosition(), font.UnderlineThickness());
        if (m.tmStruckOut) line(0, width, -font.StrikeOutPosition(), font.UnderlineThickness());
        if (run.underlineIndex >= 0 && static_cast<size_t>(run.underlineIndex) < run.text.size()) {
            line(offsets[run.underlineIndex], offsets[run.underlineIndex + 1], font.UnderlinePosition(),
                 font.UnderlineThickness());
        }
    });
    ApplyMask(dc, ink, SolidPaint(dc, dc->attr.textColor), R2_COPYPEN);
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    RecordMetaSetTextColor(dc, color);
    return ExchangeAttribute(dc, &DcAttributes::textColor, color, CLR_INVALID);
}

COLORREF GetTextColor(HDC dc) { return GetAttribute(dc, &DcAttributes::textColor, CLR_INVALID); }

UINT SetTextAlign(HDC dc, UINT align) {
    RecordMetaSetTextAlign(dc, align);
    return ExchangeAttribute(dc, &DcAttributes::textAlign, align, GDI_ERROR); }

UINT GetTextAlign(HDC dc) { return GetAttribute(dc, &DcAttributes::textAlign, GDI_ERROR); }

BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm) {
    if (!IsValidDC(dc) || tm == nullptr) return FALSE;
    *tm = RealizeFont(dc).Metrics();
    // Reported in logical units, as everything the program measures with.
    for (LONG* v : {&tm->tmHeight, &tm->tmAscent, &tm->tmDescent, &tm->tmInternalLeading, &tm->tmExternalLeading}) {
        *v = LogicalLengthY(dc, *v);
    }
    tm->tmAveCharWidth = LogicalLengthX(dc, tm->tmAveCharWidth);
    tm->tmMaxCharWidth = LogicalLengthX(dc, tm->tmMaxCharWidth);
    tm->tmDigitizedAspectX = dc->caps.logPixelsX;
    tm->tmDigitizedAspectY = dc->caps.logPixelsY;
    return TRUE;
}

SIZE GetTextExtent(HDC dc, std::string_view text) {
    const RealizedFont& f = RealizeFont(dc);
    return {LogicalLengthX(dc, RunWidth(f, text)), LogicalLengthY(dc, f.Metrics().tmHeight)};
}

BOOL GetTextExtentPoint32(HDC dc, const char* text, int count, SIZE* size) {
    if (!IsValidDC(dc) || size == nullptr || count < 0 || (count > 0 && text == nullptr)) return FALSE;
    *size = GetTextExtent(dc, std::string_view(text ? text : "", static_cast<size_t>(count)));
    return TRUE;
}

BOOL GetTextExtentPoint(HDC dc, const char* text, int count, SIZE* size) {
    return GetTextExtentPoint32(dc, text, count, size);
}

std::string GetTextFace(HDC dc) {
    if (!IsValidDC(dc) || dc->attr.font == nullptr) return {};
    return static_cast<FontObject*>(dc->attr.font)->log.lfFaceName;
}

BOOL GetCharWidth(HDC dc, UINT first, UINT last, int* widths) {
    if (!IsValidDC(dc) || widths == nullptr || first > last || last > 255) return FALSE;
    const RealizedFont& f = RealizeFont(dc);
    for (UINT c = first; c <= last; ++c) widths[c - first] = LogicalLengthX(dc, f.Advance(static_cast<unsigned char>(c)));
    return TRUE;
}

BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const int* dx) {
    if (IsMetafileDC(dc)) return MetaExtTextOut(dc, x, y, options, rect, text, count, dx);
    if (!IsValidDC(dc) || (count > 0 && text == nullptr)) return FALSE;
    std::string_view s(text ? text : "", count);
    const RealizedFont& font = RealizeFont(dc);
    const TEXTMETRIC& tm = font.Metrics();
    const UINT align = dc->attr.textAlign;

    RECT clipRect{};
    bool haveRect = rect != nullptr && (options & (ETO_OPAQUE | ETO_CLIPPED));
    if (haveRect) clipRect = LogicalRectToSurface(dc, rect->left, rect->top, rect->right, rect->bottom);
    if (haveRect && (options & ETO_OPAQUE)) {
        Mask m(clipRect);
        m.SetRect(clipRect);
        ApplyMask(dc, m, SolidPaint(dc, dc->attr.bkColor), R2_COPYPEN);
    }

    std::vector<int> advances;
    if (dx != nullptr) {
        for (UINT i = 0; i < count; ++i) advances.push_back(DeviceLengthX(dc, dx[i]) * (dx[i] < 0 ? -1 : 1));
    }
    int width = 0;
    if (dx != nullptr) {
        for (int a : advances) width += a;
    } else {
        width = RunWidth(font, s);
    }

    POINT ref = (align & TA_UPDATECP) ? dc->attr.currentPos : POINT{x, y};
    POINT dev = ref;
    LPtoDP(dc, &dev, 1);
    dev.x += dc->origin.x;
    dev.y += dc->origin.y;

    // Alignment moves the start along and across the (possibly turned) baseline.
    const double angle = font.Escapement() * std::numbers::pi / 1800.0;
    const double cosE = std::cos(angle), sinE = std::sin(angle);
    double along = 0, down = 0;
    if ((align & TA_CENTER) == TA_CENTER) along = -width / 2.0;
    else if (align & TA_RIGHT) along = -width;
    if ((align & TA_BASELINE) == TA_BASELINE) down = 0;
    else if (align & TA_BOTTOM) down = -tm.tmDescent;
    else down = tm.tmAscent;
    TextRun run;
    run.baseline = {static_cast<LONG>(std::lround(dev.x + along * cosE + down * sinE)),
                    static_cast<LONG>(std::lround(dev.y - along * sinE + down * cosE))};
    run.text = s;
    run.advances = dx ? &advances : nullptr;
    run.opaque = dc->attr.bkMode == OPAQUE;
    run.clip = haveRect && (options & ETO_CLIPPED) ? &clipRect : nullptr;
    DrawTextRun(dc, font, run);

    if (align & TA_UPDATECP) {
        int logicalWidth = LogicalLengthX(dc, width);
        if ((align & TA_CENTER) == TA_CENTER) {
            // The current position stays where it is.
        } else if (align & TA_RIGHT) {
            dc->attr.currentPos.x -= logicalWidth;
        } else {
            dc->attr.currentPos.x += logicalWidth;
        }
    }
    return TRUE;
}

BOOL TextOut(HDC dc, int x, int y, const char* text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOut(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

BOOL TextOut(HDC dc, int x, int y, std::string_view text) {
    return ExtTextOut(dc, x, y, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
}

}  // namespace win
