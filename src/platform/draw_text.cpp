// DrawText: lines, word breaks, tab expansion, '&' prefixes and alignment in a rectangle.
#include <algorithm>
#include <cstring>

#include "platform/gdi_dc.h"
#include "platform/gdi_mapping.h"
#include "platform/text.h"
#include "platform/text_render.h"

namespace win {

namespace {

struct TextLine {
    std::string text;
    int underline = -1;  // index of the character after a '&' prefix
};

class LineMeasure {
public:
    LineMeasure(const RealizedFont& font, bool expandTabs, int tabWidth)
        : font_(font), expandTabs_(expandTabs), tabWidth_(std::max(1, tabWidth)) {}

    // Width of text[0, n) when it starts a line.
    int Width(std::string_view text) const {
        int x = 0;
        for (unsigned char c : text) x = Advance(x, c);
        return x;
    }
    int Advance(int x, unsigned char c) const {
        if (c == '\t' && expandTabs_) return (x / tabWidth_ + 1) * tabWidth_;
        return x + font_.Advance(c);
    }

private:
    const RealizedFont& font_;
    bool expandTabs_;
    int tabWidth_;
};

// Splits the text at line ends (unless single-line) and removes '&' prefixes.
std::vector<TextLine> SplitLines(std::string_view text, UINT format) {
    std::vector<TextLine> lines(1);
    const bool single = format & DT_SINGLELINE;
    const bool prefixes = !(format & DT_NOPREFIX);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (single) continue;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
            continue;
        }
        if (prefixes && c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                lines.back().text += '&';
                ++i;
            } else if (i + 1 < text.size() && text[i + 1] != '\r' && text[i + 1] != '\n') {
                if (!(format & DT_HIDEPREFIX)) lines.back().underline = static_cast<int>(lines.back().text.size());
            }
            continue;
        }
        lines.back().text += c;
    }
    return lines;
}

// Breaks one line into pieces no wider than maxWidth, between words. A word wider than the
// rectangle stays whole unless DT_EDITCONTROL asks for it to be cut.
std::vector<TextLine> WrapLine(const TextLine& line, const LineMeasure& m, int maxWidth, bool cutWords) {
    std::vector<TextLine> out;
    const std::string& s = line.text;
    size_t start = 0;
    const size_t n = s.size();
    if (n == 0) {
        out.push_back(line);
        return out;
    }
    while (start < n) {
        // The longest prefix from start that fits.
        size_t end = start;
        int x = 0;
        while (end < n) {
            int nx = m.Advance(x, static_cast<unsigned char>(s[end]));
            if (nx > maxWidth) break;
            x = nx;
            ++end;
        }
        size_t cut;
        size_t next;
        if (end >= n) {
            cut = next = n;
        } else {
            size_t space = std::string::npos;
            for (size_t k = end; k > start; --k) {
                if (s[k] == ' ') {
                    space = k;
                    break;
                }
            }
            if (space != std::string::npos) {
                cut = space;
                next = space;
            } else if (cutWords) {
                cut = next = std::max(end, start + 1);
            } else {
                size_t k = s.find(' ', end);
                cut = next = k == std::string::npos ? n : k;
            }
        }
        size_t trimmed = cut;
        while (trimmed > start && s[trimmed - 1] == ' ') --trimmed;
        TextLine piece;
        piece.text = s.substr(start, trimmed - start);
        if (line.underline >= static_cast<int>(start) && line.underline < static_cast<int>(trimmed)) {
            piece.underline = line.underline - static_cast<int>(start);
        }
        out.push_back(std::move(piece));
        start = next;
        while (start < n && s[start] == ' ') ++start;
    }
    return out;
}

}  // namespace

int DrawText(HDC dc, std::string_view text, RECT* rect, UINT format) {
    if (!IsValidDC(dc) || rect == nullptr) return 0;
    const RealizedFont& font = RealizeFont(dc);
    const TEXTMETRIC& tm = font.Metrics();
    int tabChars = 8;
    if (format & DT_TABSTOP) {
        tabChars = static_cast<int>((format >> 8) & 0xFF);
        if (tabChars == 0) tabChars = 8;
        format &= ~0xFF00u;
    }
    const LineMeasure measure(font, (format & DT_EXPANDTABS) != 0, tabChars * tm.tmAveCharWidth);
    const int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    const RECT box = LogicalRectToSurface(dc, rect->left, rect->top, rect->right, rect->bottom);
    const int boxWidth = box.right - box.left;

    std::vector<TextLine> lines;
    for (TextLine& l : SplitLines(text, format)) {
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
            for (TextLine& w : WrapLine(l, measure, boxWidth, (format & DT_EDITCONTROL) != 0)) lines.push_back(std::move(w));
        } else {
            lines.push_back(std::move(l));
        }
    }
    if (text.empty()) lines.clear();

    int maxWidth = 0;
    for (const TextLine& l : lines) maxWidth = std::max(maxWidth, measure.Width(l.text));
    const int totalHeight = static_cast<int>(lines.size()) * lineHeight;

    if (format & DT_CALCRECT) {
        rect->right = rect->left + LogicalLengthX(dc, maxWidth);
        rect->bottom = rect->top + LogicalLengthY(dc, totalHeight);
        return LogicalLengthY(dc, totalHeight);
    }

    int y = box.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER) y = box.top + (box.bottom - box.top - lineHeight) / 2;
        else if (format & DT_BOTTOM) y = box.bottom - lineHeight;
    }
    const int startY = y;
    const RECT* clip = (format & DT_NOCLIP) ? nullptr : &box;
    const bool opaque = dc->attr.bkMode == OPAQUE;
    for (const TextLine& l : lines) {
        int w = measure.Width(l.text);
        int x = box.left;
        if (format & DT_CENTER) x = box.left + (boxWidth - w) / 2;
        else if (format & DT_RIGHT) x = box.right - w;
        // Draw the pieces between tabs at their expanded positions.
        size_t pos = 0;
        int pieceX = 0;
        while (pos <= l.text.size()) {
            size_t tab = (format & DT_EXPANDTABS) ? l.text.find('\t', pos) : std::string::npos;
            size_t end = tab == std::string::npos ? l.text.size() : tab;
            std::string_view piece(l.text.data() + pos, end - pos);
            TextRun run;
            run.baseline = {x + pieceX, y + tm.tmAscent};
            run.text = piece;
            run.opaque = opaque;
            run.clip = clip;
            if (l.underline >= static_cast<int>(pos) && l.underline < static_cast<int>(end)) {
                run.underlineIndex = l.underline - static_cast<int>(pos);
            }
            if (!piece.empty()) DrawTextRun(dc, font, run);
            if (tab == std::string::npos) break;
            pieceX = measure.Width(std::string_view(l.text.data(), tab + 1));
            pos = tab + 1;
        }
        y += lineHeight;
    }
    return LogicalLengthY(dc, y - startY + (startY - box.top));
}

int DrawText(HDC dc, const char* text, int count, RECT* rect, UINT format) {
    if (text == nullptr) return 0;
    size_t n = count < 0 ? std::strlen(text) : static_cast<size_t>(count);
    return DrawText(dc, std::string_view(text, n), rect, format);
}

}  // namespace win
