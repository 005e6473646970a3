#include "ui/settings_font.h"

#include <cstdlib>

#include "ui/color_table.h"
#include "ui/font_select.h"
#include "platform/common_dialogs_font.h"
#include "platform/font.h"
#include "platform/gdi_objects.h"

namespace kq5 {

int ChooseSettingsFont(win::HWND owner, FontSpec& spec, unsigned options)
{
    // The dialog starts from the very request the program makes for that font description.
    win::LOGFONT lf;
    if (win::HFONT made = CreateFontFromSpec(spec)) {
        win::GetObject(made, sizeof lf, &lf);
        win::DeleteObject(made);
    }
    win::CHOOSEFONT cf;
    cf.hwndOwner = owner;
    cf.lpLogFont = &lf;
    cf.Flags = win::CF_SCREENFONTS | win::CF_INITTOLOGFONTSTRUCT | win::CF_LIMITSIZE;
    if (options & kFontWithColor) cf.Flags |= win::CF_EFFECTS;
    if (options & kFontFixedPitchOnly) cf.Flags |= win::CF_FIXEDPITCHONLY;
    if (options & kFontTrueTypeOnly) cf.Flags |= win::CF_TTONLY;
    cf.nSizeMin = 1;
    cf.nSizeMax = 72;
    cf.rgbColors = DefaultPaletteColor(spec.color < kFirstPaletteColor ? spec.color : 0);
    if (!win::ChooseFont(&cf)) return 0;
    spec.height = static_cast<std::int16_t>(lf.lfHeight);
    spec.face = static_cast<std::int16_t>(FindFontFace(lf.lfFaceName));
    std::uint8_t style = spec.style & static_cast<std::uint8_t>(kFontTurned90 | kFontTurned180 | kFontTurned270);
    if (lf.lfWeight >= win::FW_BOLD) style |= kFontBold;
    if (lf.lfItalic) style |= kFontItalic;
    if (lf.lfUnderline) style |= kFontUnderline;
    if (lf.lfStrikeOut) style |= kFontStrikeOut;
    spec.style = style;
    if (options & kFontWithColor)
        for (int i = 0; i < kFirstPaletteColor; ++i)
            if (DefaultPaletteColor(i) == cf.rgbColors) spec.color = static_cast<std::uint8_t>(i);
    return 1;
}

}  // namespace kq5
