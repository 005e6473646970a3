#include "platform/font.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "platform/font_cache.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_state.h"

// Fontconfig keeps parts of its configuration unreachable after loading it, and libdbus (which
// SDL opens on a desktop) keeps a buffer to the end; in sanitizer builds these would be reported
// as leaks of every program that draws text or opens a window.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace win {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Classic faces and the metric-compatible families that stand in for them.
struct FaceAlias {
    const char* face;
    const char* family;
};
constexpr FaceAlias kFaceAliases[] = {
    {"arial", "Liberation Sans"},          {"ms sans serif", "Liberation Sans"},
    {"microsoft sans serif", "Liberation Sans"}, {"ms shell dlg", "Liberation Sans"},
    {"ms shell dlg 2", "Liberation Sans"}, {"helv", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},      {"system", "Liberation Sans"},
    {"small fonts", "Liberation Sans"},    {"tahoma", "Liberation Sans"},
    {"arial narrow", "Liberation Sans Narrow"}, {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},        {"fixedsys", "Liberation Mono"},
    {"lucida console", "Liberation Mono"}, {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},         {"tms rmn", "Liberation Serif"},
    {"ms serif", "Liberation Serif"},      {"terminal", "DejaVu Sans Mono"},
};

// Weights of the lower-case letters and the space in the classic average character width
// (per thousand), from the published description of the OS/2 table's xAvgCharWidth.
constexpr int kAvgWeights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56,
                                 56, 17, 4,  49, 56, 71,  31, 10, 18, 3,  18, 2, 166};

bool FamilyInstalled(const std::string& family) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    bool found = set != nullptr && set->nfont > 0;
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return found;
}

std::string FontKey(const LOGFONT& lf) {
    return Lower(lf.lfFaceName) + '|' + std::to_string(lf.lfHeight) + '|' + std::to_string(lf.lfWidth) + '|' +
           std::to_string(lf.lfEscapement) + '|' + std::to_string(lf.lfWeight) + '|' + std::to_string(lf.lfItalic) +
           std::to_string(lf.lfUnderline) + std::to_string(lf.lfStrikeOut) + '|' + std::to_string(lf.lfCharSet) +
           '|' + std::to_string(lf.lfPitchAndFamily);
}

LONG Round(double v) { return static_cast<LONG>(std::lround(v)); }

double GlyphAdvance(cairo_scaled_font_t* font, unsigned long index) {
    cairo_glyph_t g{index, 0, 0};
    cairo_text_extents_t ext;
    cairo_scaled_font_glyph_extents(font, &g, 1, &ext);
    return ext.x_advance;
}

}  // namespace

bool IsOemFont(const LOGFONT& lf) { return lf.lfCharSet == OEM_CHARSET || Lower(lf.lfFaceName) == "terminal"; }

std::string MatchedFamily(const LOGFONT& lf) {
    std::string face = Lower(lf.lfFaceName.substr(0, LF_FACESIZE - 1));
    for (const FaceAlias& a : kFaceAliases) {
        if (face == a.face) return a.family;
    }
    if (!face.empty() && FamilyInstalled(lf.lfFaceName)) return lf.lfFaceName;
    BYTE family = lf.lfPitchAndFamily & 0xF0;
    if ((lf.lfPitchAndFamily & 0x03) == FIXED_PITCH || family == FF_MODERN) return "Liberation Mono";
    if (family == FF_ROMAN) return "Liberation Serif";
    return "Liberation Sans";
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (lf == nullptr) return nullptr;
    auto font = std::make_unique<FontObject>();
    font->log = *lf;
    if (font->log.lfFaceName.size() >= LF_FACESIZE) font->log.lfFaceName.resize(LF_FACESIZE - 1);
    return RegisterGdiObject(std::move(font));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, const char* faceName) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic != 0);
    lf.lfUnderline = static_cast<BYTE>(underline != 0);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    lf.lfFaceName = faceName ? faceName : "";
    return CreateFontIndirect(&lf);
}

RealizedFont::~RealizedFont() {
    if (hinted_) cairo_scaled_font_destroy(hinted_);
    if (measure_) cairo_scaled_font_destroy(measure_);
    if (scaled_) cairo_scaled_font_destroy(scaled_);
    if (face_) cairo_font_face_destroy(face_);
}

FontCache::FontCache() = default;
FontCache::~FontCache() = default;

const RealizedFont& FontCache::Get(const LOGFONT& lf) {
    std::string key = FontKey(lf);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) it = fonts_.emplace(key, Realize(lf)).first;
    return *it->second;
}

std::unique_ptr<RealizedFont> FontCache::Realize(const LOGFONT& lf) {
    std::unique_ptr<RealizedFont> font(new RealizedFont());
    const std::string family = MatchedFamily(lf);
    const bool oem = IsOemFont(lf);
    font->family_ = family;

    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    // Fallbacks that are always wanted to exist: the fixed faces share Liberation Mono.
    if (family == "DejaVu Sans Mono") FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>("Liberation Mono"));
    LONG weight = lf.lfWeight == FW_DONTCARE ? FW_NORMAL : lf.lfWeight;
    FcPatternAddInteger(pat, FC_WEIGHT, weight >= FW_SEMIBOLD ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (match == nullptr) match = FcPatternCreate();
    // One-bit glyphs with the font's own hinting, whatever the desktop's settings say.
    FcPatternDel(match, FC_ANTIALIAS);
    FcPatternAddBool(match, FC_ANTIALIAS, FcFalse);
    FcPatternDel(match, FC_HINTING);
    FcPatternAddBool(match, FC_HINTING, FcTrue);
    FcPatternDel(match, FC_AUTOHINT);
    FcPatternAddBool(match, FC_AUTOHINT, FcFalse);
    FcPatternDel(match, FC_HINT_STYLE);
    FcPatternAddInteger(match, FC_HINT_STYLE, FC_HINT_FULL);
    font->face_ = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);

    cairo_font_options_t* opts = cairo_font_options_create();
    cairo_font_options_set_antialias(opts, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_FULL);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);

    // Design metrics from a unit-size font.
    cairo_matrix_t unit;
    cairo_matrix_init_scale(&unit, 1, 1);
    cairo_scaled_font_t* probe = cairo_scaled_font_create(font->face_, &unit, &identity, opts);
    double upm = 2048, asc = 1854, desc = 434, gap = 67, maxAdvance = 2048, ulPos = -217, ulThick = 150;
    bool fixedPitch = false;
    if (FT_Face ft = cairo_ft_scaled_font_lock_face(probe)) {
        upm = ft->units_per_EM > 0 ? ft->units_per_EM : upm;
        asc = ft->ascender;
        desc = -ft->descender;
        gap = std::max(0.0, double(ft->height) - (asc + desc));
        maxAdvance = ft->max_advance_width;
        ulPos = ft->underline_position;
        ulThick = ft->underline_thickness;
        fixedPitch = (ft->face_flags & FT_FACE_FLAG_FIXED_WIDTH) != 0;
        cairo_ft_scaled_font_unlock_face(probe);
    }
    cairo_scaled_font_destroy(probe);

    // Height: negative is the character (em) height, positive the cell height, zero a default.
    double ppem;
    TEXTMETRIC& tm = font->metrics_;
    if (lf.lfHeight < 0) {
        ppem = -double(lf.lfHeight);
        // Rounded up, so that the cell holds the hinted glyphs' accents and descenders.
        tm.tmAscent = static_cast<LONG>(std::ceil(asc * ppem / upm - 1e-6));
        tm.tmDescent = static_cast<LONG>(std::ceil(desc * ppem / upm - 1e-6));
    } else {
        LONG cell = lf.lfHeight > 0 ? lf.lfHeight : 16;
        ppem = cell * upm / (asc + desc);
        tm.tmAscent = Round(asc * ppem / upm);
        tm.tmDescent = cell - tm.tmAscent;
    }
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - Round(ppem));
    tm.tmExternalLeading = Round(gap * ppem / upm);

    // The average width from the unhinted design widths, as the face describes it.
    cairo_matrix_t size;
    cairo_matrix_init_scale(&size, ppem, ppem);
    font->measure_ = cairo_scaled_font_create(font->face_, &size, &identity, opts);
    font->oem_ = oem;

    double weighted = 0;
    for (int i = 0; i < 26; ++i) weighted += kAvgWeights[i] * font->DesignAdvance(static_cast<unsigned char>('a' + i));
    weighted += kAvgWeights[26] * font->DesignAdvance(' ');
    double ave = fixedPitch ? font->DesignAdvance('x') : weighted / 1000.0;
    // A requested width stretches the font horizontally to that average width.
    double xScale = 1.0;
    if (lf.lfWidth > 0 && ave > 0) xScale = lf.lfWidth / ave;
    tm.tmAveCharWidth = std::max<LONG>(1, Round(ave * xScale));
    tm.tmMaxCharWidth = std::max<LONG>(tm.tmAveCharWidth, Round(maxAdvance * ppem / upm * xScale));
    tm.tmWeight = weight;
    tm.tmItalic = lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    tm.tmCharSet = oem ? OEM_CHARSET : (lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet);
    BYTE familyBits = FF_SWISS;
    if (fixedPitch) familyBits = FF_MODERN;
    else if (family.find("Serif") != std::string::npos) familyBits = FF_ROMAN;
    tm.tmPitchAndFamily = static_cast<BYTE>(familyBits | TMPF_TRUETYPE | TMPF_VECTOR | (fixedPitch ? 0 : TMPF_FIXED_PITCH));
    tm.tmFirstChar = oem ? 0x01 : 0x20;
    tm.tmDefaultChar = oem ? 0x20 : 0x1F;

    font->underlinePos_ = std::max<LONG>(1, Round(-ulPos * ppem / upm));
    font->underlineThick_ = std::max<LONG>(1, Round(ulThick * ppem / upm));
    font->strikePos_ = std::max<LONG>(1, Round(tm.tmAscent * 0.3));

    // The drawing font: escapement turns the baseline counter-clockwise.
    font->escapement_ = lf.lfEscapement % 3600;
    cairo_matrix_t draw;
    cairo_matrix_init_scale(&draw, ppem * xScale, ppem);
    if (font->escapement_ != 0) {
        cairo_matrix_t rot;
        cairo_matrix_init_rotate(&rot, -font->escapement_ * std::numbers::pi / 1800.0);
        cairo_matrix_multiply(&draw, &draw, &rot);
    }
    font->scaled_ = cairo_scaled_font_create(font->face_, &draw, &identity, opts);
    // Advances: the hinter fits each glyph to the pixel grid and widens or narrows it to suit,
    // so the letters are placed at the widths it gives them, at the drawing size along the baseline.
    cairo_matrix_t along;
    cairo_matrix_init_scale(&along, ppem * xScale, ppem);
    cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_ON);
    font->hinted_ = cairo_scaled_font_create(font->face_, &along, &identity, opts);
    cairo_font_options_destroy(opts);
    // A fixed-pitch face's characters all have the width the hinter gives them, which at a
    // fractional size can differ by a pixel from the design width.
    if (fixedPitch) tm.tmAveCharWidth = tm.tmMaxCharWidth = std::max(1, font->Advance('x'));
    return font;
}

unsigned long RealizedFont::GlyphIndex(unsigned char c) const {
    char ch = static_cast<char>(c);
    std::string utf8 = oem_ ? Cp437ToUtf8(std::string_view(&ch, 1)) : Cp1252ToUtf8(std::string_view(&ch, 1));
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    unsigned long index = 0;
    if (!utf8.empty() && cairo_scaled_font_text_to_glyphs(measure_, 0, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                          &glyphs, &count, nullptr, nullptr, nullptr) ==
                             CAIRO_STATUS_SUCCESS &&
        count > 0) {
        index = glyphs[0].index;
    }
    if (glyphs) cairo_glyph_free(glyphs);
    return index;
}

double RealizedFont::DesignAdvance(unsigned char c) const { return GlyphAdvance(measure_, GlyphIndex(c)); }

void RealizedFont::Measure(unsigned char c) const {
    glyphs_[c] = GlyphIndex(c);
    advances_[c] = Round(GlyphAdvance(hinted_, glyphs_[c]));
    measured_[c] = true;
}

const RealizedFont& RealizeLogFont(const LOGFONT& lf) { return Gdi().fonts->Get(lf); }

const RealizedFont& RealizeFont(HDC dc) {
    const LOGFONT* log = nullptr;
    if (dc->attr.font != nullptr && dc->attr.font->kind == GdiKind::Font) log = &static_cast<FontObject*>(dc->attr.font)->log;
    LOGFONT lf = log ? *log : LOGFONT{};
    // Heights and widths are logical units: scale them to the device.
    if (lf.lfHeight != 0) lf.lfHeight = (lf.lfHeight < 0 ? -1 : 1) * std::max(1, DeviceLengthY(dc, std::abs(lf.lfHeight)));
    if (lf.lfWidth != 0) lf.lfWidth = std::max(1, DeviceLengthX(dc, std::abs(lf.lfWidth)));
    return RealizeLogFont(lf);
}

}  // namespace win
