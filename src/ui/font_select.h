#pragma once
// Fonts made from the program's FontSpec descriptions, and measuring blocks of text in them.
#include <string_view>

#include "core/font_description.h"
#include "platform/font.h"
#include "platform/win_types.h"

namespace kq5 {

// Height of the stock system font, which a font description of height 0 stands for.
int SystemFontHeight();

// The font request of a description: height (0: the system font's), weight, italic, underline,
// strike-out and turning from the style, the face from the face table, the character set by the
// keyboard (Japanese keyboards ask for Shift-JIS).
void FillLogFont(const FontSpec& font, win::LOGFONT& lf);
// The font dialog started from the description (screen fonts, effects, at most 72 points); 1 when
// a font was chosen, which then replaces height, face and style bits.
int ChooseFontSpec(win::HWND owner, FontSpec& spec);
// A font for the description; extraPitchAndFamily is ORed into the request's pitch and family.
win::HFONT CreateFontFromSpec(const FontSpec& font, unsigned extraPitchAndFamily = 0);

// Selects a font made from the description into the context and returns the font it replaced;
// RestoreFont puts that one back and deletes the font made here.
win::HGDIOBJ SelectFontSpec(win::HDC dc, const FontSpec& font);
void RestoreFont(win::HDC dc, win::HGDIOBJ previous);

// A null context measures nothing and selects nothing.
// tmHeight + tmExternalLeading of the context's font.
int TextLineSpacing(win::HDC dc);
win::SIZE MeasureText(win::HDC dc, std::string_view text);
// Width of the widest line and the number of lines times the line height of the context's font;
// lines split at CR (then an LF after it is skipped), else at LF.
win::SIZE MeasureTextBlock(win::HDC dc, std::string_view text);

}  // namespace kq5
