#pragma once
// Drawing of one run of text in device space, shared by TextOut, ExtTextOut and DrawText.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/font.h"
#include "platform/win_types.h"

namespace win {

struct TextRun {
    POINT baseline{0, 0};              // surface coordinates of the start of the baseline
    std::string_view text;
    const std::vector<int>* advances = nullptr;  // device advances per character, or the font's
    bool opaque = false;               // fill the character cells with the background colour
    const RECT* clip = nullptr;        // extra clip rectangle, surface coordinates
    int underlineIndex = -1;           // a character to underline (the '&' prefix of DrawText)
};

// Width in device pixels of a run with the font's own advances.
int RunWidth(const RealizedFont& font, std::string_view text);
void DrawTextRun(HDC dc, const RealizedFont& font, const TextRun& run);
// A printer page keeps the glyphs drawn on it, so that its PDF carries them as text over the
// page's picture (print_job.cpp): rgb is the ink (0xRRGGBB), clip the surface rectangles the
// run may touch.
void AddPrinterTextRun(HDC dc, cairo_scaled_font_t* font, std::vector<cairo_glyph_t> glyphs, std::uint32_t rgb,
                       std::vector<RECT> clip);

}  // namespace win
