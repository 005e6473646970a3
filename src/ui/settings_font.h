#pragma once
// The font chooser of the Preferences and Characteristics dialogs: the common font dialog
// started from a FontSpec, limited to fixed-pitch or TrueType faces when asked, with the colour
// choice when the row has a colour.
#include <cstdint>

#include "core/font_description.h"
#include "platform/win_types.h"

namespace kq5 {

constexpr unsigned kFontFixedPitchOnly = 1;
constexpr unsigned kFontTrueTypeOnly = 2;
constexpr unsigned kFontWithColor = 4;

// 1 when the user chose a font (the font description then holds it), 0 when cancelled.
int ChooseSettingsFont(win::HWND owner, FontSpec& spec, unsigned options);

}  // namespace kq5
