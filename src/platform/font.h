#pragma once
// Logical fonts: LOGFONT, CreateFont / CreateFontIndirect, and the realisation of a logical font
// at a device size through fontconfig and Cairo. Classic face names map to metric-compatible
// faces (Arial, MS Sans Serif -> Liberation Sans; Courier New -> Liberation Mono; Times New Roman
// -> Liberation Serif; Terminal -> a fixed-pitch face with the code page 437 glyphs).
#include <cairo.h>

#include <array>
#include <bitset>
#include <memory>
#include <string>

#include "platform/gdi_objects.h"
#include "platform/win_types.h"

namespace win {

constexpr int LF_FACESIZE = 32;

// Weights.
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_HEAVY = 900;

// Character sets.
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE OEM_CHARSET = 255;

// Pitch and family.
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
constexpr BYTE FF_SCRIPT = 0x40;
constexpr BYTE FF_DECORATIVE = 0x50;

// Precision and quality values (accepted, not acted on).
constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE OUT_TT_PRECIS = 4;
constexpr BYTE OUT_TT_ONLY_PRECIS = 7;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DRAFT_QUALITY = 1;
constexpr BYTE PROOF_QUALITY = 2;

// tmPitchAndFamily bits.
constexpr BYTE TMPF_FIXED_PITCH = 0x01;  // set for variable-pitch fonts, as in the classic API
constexpr BYTE TMPF_VECTOR = 0x02;
constexpr BYTE TMPF_TRUETYPE = 0x04;
constexpr BYTE TMPF_DEVICE = 0x08;

struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = FW_NORMAL;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = ANSI_CHARSET;
    BYTE lfOutPrecision = OUT_DEFAULT_PRECIS;
    BYTE lfClipPrecision = CLIP_DEFAULT_PRECIS;
    BYTE lfQuality = DEFAULT_QUALITY;
    BYTE lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::string lfFaceName;  // at most LF_FACESIZE - 1 characters are significant
};

struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    LONG tmOverhang = 0;
    LONG tmDigitizedAspectX = 96;
    LONG tmDigitizedAspectY = 96;
    BYTE tmFirstChar = 0x20;
    BYTE tmLastChar = 0xFF;
    BYTE tmDefaultChar = 0x1F;
    BYTE tmBreakChar = 0x20;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
    BYTE tmStruckOut = 0;
    BYTE tmPitchAndFamily = 0;
    BYTE tmCharSet = ANSI_CHARSET;
};

struct FontObject : GdiObject {
    FontObject() : GdiObject(GdiKind::Font) {}
    LOGFONT log;
};

HFONT CreateFontIndirect(const LOGFONT* lf);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                 DWORD quality, DWORD pitchAndFamily, const char* faceName);

// A logical font realised at a device pixel size. Advances are whole pixels: the widths the hinter
// gives the glyphs it draws, so that a grid-fitted letter never runs into the space or the letter
// after it, and what is measured is what is drawn.
class RealizedFont {
public:
    ~RealizedFont();
    RealizedFont(const RealizedFont&) = delete;
    RealizedFont& operator=(const RealizedFont&) = delete;

    const TEXTMETRIC& Metrics() const { return metrics_; }
    // Advance of an 8-bit character in device pixels.
    int Advance(unsigned char c) const {
        if (!measured_[c]) Measure(c);
        return advances_[c];
    }
    // Glyph index of an 8-bit character in the face (0 when missing).
    unsigned long Glyph(unsigned char c) const {
        if (!measured_[c]) Measure(c);
        return glyphs_[c];
    }
    cairo_scaled_font_t* ScaledFont() const { return scaled_; }
    int UnderlinePosition() const { return underlinePos_; }   // pixels below the baseline
    int UnderlineThickness() const { return underlineThick_; }
    int StrikeOutPosition() const { return strikePos_; }     // pixels above the baseline
    const std::string& FamilyName() const { return family_; }
    // Escapement in tenths of a degree, counter-clockwise.
    int Escapement() const { return escapement_; }

private:
    friend class FontCache;
    RealizedFont() = default;
    // The glyph of a character in the face (0 when missing).
    unsigned long GlyphIndex(unsigned char c) const;
    // The unhinted design advance of a character at the font's size, before any stretch.
    double DesignAdvance(unsigned char c) const;
    void Measure(unsigned char c) const;
    cairo_font_face_t* face_ = nullptr;
    cairo_scaled_font_t* scaled_ = nullptr;
    TEXTMETRIC metrics_;
    // Characters are measured when first asked for: most texts use few of them, and a
    // program that only needs the metrics (a batch run) measures the letters alone.
    cairo_scaled_font_t* measure_ = nullptr;  // design widths, for the average character width
    cairo_scaled_font_t* hinted_ = nullptr;   // the drawing size unturned, with hinted advances
    bool oem_ = false;
    mutable std::bitset<256> measured_;
    mutable std::array<int, 256> advances_{};
    mutable std::array<unsigned long, 256> glyphs_{};
    int underlinePos_ = 1;
    int underlineThick_ = 1;
    int strikePos_ = 3;
    std::string family_;
    int escapement_ = 0;
};

// Realises the DC's selected font at its device scale (cached).
const RealizedFont& RealizeFont(HDC dc);
// Realises a logical font with its height already in device pixels.
const RealizedFont& RealizeLogFont(const LOGFONT& lf);

// The face family the layer asks fontconfig for (for tests and diagnostics).
std::string MatchedFamily(const LOGFONT& lf);
// Fonts whose 8-bit characters are code page 437 (the OEM character set and the Terminal face);
// all others are Windows-1252.
bool IsOemFont(const LOGFONT& lf);

}  // namespace win
