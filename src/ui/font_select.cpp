#include "ui/font_select.h"

#include <algorithm>

#include "ui/settings_font.h"
#include "platform/common_dialogs_font.h"
#include "platform/font.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/text.h"

namespace kq5 {

int SystemFontHeight()
{
    // A positive height is the cell height, which is the text height the font measures: the
    // answer needs no font loaded (a batch job loads none).
    win::LOGFONT stock{};
    if (win::GetObject(win::GetStockObject(win::SYSTEM_FONT), sizeof stock, &stock) == sizeof stock && stock.lfHeight > 0)
        return stock.lfHeight;
    win::HDC dc = win::GetDC(nullptr);
    if (!dc) return 12;
    win::HGDIOBJ old = win::SelectObject(dc, win::GetStockObject(win::SYSTEM_FONT));
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    win::SelectObject(dc, old);
    win::ReleaseDC(nullptr, dc);
    return tm.tmHeight != 0 ? tm.tmHeight : 12;
}

void FillLogFont(const FontSpec& font, win::LOGFONT& lf)
{
    lf = win::LOGFONT{};
    lf.lfHeight = font.height != 0 ? font.height : SystemFontHeight();
    lf.lfWeight = (font.style & kFontBold) ? win::FW_BOLD : win::FW_NORMAL;
    lf.lfItalic = (font.style & kFontItalic) ? 1 : 0;
    lf.lfUnderline = (font.style & kFontUnderline) ? 1 : 0;
    lf.lfStrikeOut = (font.style & kFontStrikeOut) ? 1 : 0;
    // The turning bits are taken in order, so a later one wins over an earlier one.
    if (font.style & kFontTurned90) lf.lfEscapement = 900;
    if (font.style & kFontTurned270) lf.lfEscapement = 2700;
    if (font.style & kFontTurned180) lf.lfEscapement = 1800;
    lf.lfOrientation = lf.lfEscapement;
    lf.lfCharSet = win::GetKeyboardType(0) == 7 ? win::SHIFTJIS_CHARSET : win::DEFAULT_CHARSET;
    lf.lfOutPrecision = 0;
    lf.lfClipPrecision = 0;
    lf.lfQuality = 0;
    lf.lfPitchAndFamily = 0;
    lf.lfFaceName = FaceName(font.face);
}

win::HFONT CreateFontFromSpec(const FontSpec& font, unsigned extraPitchAndFamily)
{
    win::LOGFONT lf;
    FillLogFont(font, lf);
    lf.lfPitchAndFamily = static_cast<win::BYTE>(lf.lfPitchAndFamily | extraPitchAndFamily);
    return win::CreateFontIndirect(&lf);
}

int ChooseFontSpec(win::HWND owner, FontSpec& spec)
{
    // The dialog shows the colour of the text and the colour chosen there is the text's.
    return ChooseSettingsFont(owner, spec, kFontWithColor);
}

int TextLineSpacing(win::HDC dc)
{
    if (!dc) return 0;
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    return tm.tmHeight + tm.tmExternalLeading;
}

win::SIZE MeasureText(win::HDC dc, std::string_view text)
{
    if (!dc) return win::SIZE{};
    return win::GetTextExtent(dc, text);
}

win::HGDIOBJ SelectFontSpec(win::HDC dc, const FontSpec& font)
{
    if (!dc) return nullptr;
    win::HFONT made = CreateFontFromSpec(font);
    return win::SelectObject(dc, made);
}

void RestoreFont(win::HDC dc, win::HGDIOBJ previous)
{
    if (!dc) return;
    win::HGDIOBJ made = win::SelectObject(dc, previous);
    if (made && made != previous) win::DeleteObject(made);
}

win::SIZE MeasureTextBlock(win::HDC dc, std::string_view text)
{
    if (!dc) return win::SIZE{};
    const char separator = text.find('\r') != std::string_view::npos ? '\r' : '\n';
    win::SIZE result{};
    int lines = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(separator, start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        result.cx = std::max<win::LONG>(result.cx, MeasureText(dc, line).cx);
        ++lines;
        if (end == std::string_view::npos) break;
        start = end + 1;
        if (separator == '\r' && start < text.size() && text[start] == '\n') ++start;
        if (start >= text.size()) break;
    }
    result.cy = lines * TextLineSpacing(dc);
    return result;
}

}  // namespace kq5
