#pragma once
// Fonts made from the program's FontSpec descriptions, and measuring blocks of text in them.
#include <string_view>

#include "app/font_spec.h"
#include "platform/win_types.h"

namespace kq5 {

// A font for the description; extraPitchAndFamily is ORed into the request's pitch and family.
win::HFONT CreateFontFromSpec(const FontSpec& font, unsigned extraPitchAndFamily = 0);

// Selects a font made from the description into the context and returns the font it replaced;
// RestoreFont puts that one back and deletes the font made here.
win::HGDIOBJ SelectFontSpec(win::HDC dc, const FontSpec& font);
void RestoreFont(win::HDC dc, win::HGDIOBJ previous);

// A null context measures nothing and selects nothing.
// Width of the widest line and the number of lines times the line height of the context's font;
// lines split at CR (then an LF after it is skipped), else at LF.
win::SIZE MeasureTextBlock(win::HDC dc, std::string_view text);

}  // namespace kq5
