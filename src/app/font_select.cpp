#include "app/font_select.h"

#include <algorithm>

#include "platform/font.h"
#include "platform/gdi_objects.h"
#include "platform/text.h"

namespace kq5 {

win::HFONT CreateFontFromSpec(const FontSpec& font, unsigned extraPitchAndFamily)
{
    win::LOGFONT lf;
    lf.lfHeight = font.height;
    lf.lfWeight = (font.style & kFontBold) ? win::FW_BOLD : win::FW_NORMAL;
    lf.lfItalic = (font.style & kFontItalic) ? 1 : 0;
    lf.lfUnderline = (font.style & kFontUnderline) ? 1 : 0;
    lf.lfStrikeOut = (font.style & kFontStrikeOut) ? 1 : 0;
    if (font.style & kFontTurned90) lf.lfEscapement = 900;
    else if (font.style & kFontTurned180) lf.lfEscapement = 1800;
    else if (font.style & kFontTurned270) lf.lfEscapement = 2700;
    lf.lfOrientation = lf.lfEscapement;
    lf.lfPitchAndFamily = static_cast<win::BYTE>(lf.lfPitchAndFamily | extraPitchAndFamily);
    lf.lfFaceName = FaceName(font.face);
    return win::CreateFontIndirect(&lf);
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
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    const char separator = text.find('\r') != std::string_view::npos ? '\r' : '\n';
    win::SIZE result{};
    int lines = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(separator, start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        result.cx = std::max<win::LONG>(result.cx, win::GetTextExtent(dc, line).cx);
        ++lines;
        if (end == std::string_view::npos) break;
        start = end + 1;
        if (separator == '\r' && start < text.size() && text[start] == '\n') ++start;
        if (start >= text.size()) break;
    }
    result.cy = lines * tm.tmHeight;
    return result;
}

}  // namespace kq5
