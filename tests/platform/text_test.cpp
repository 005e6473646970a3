#include "platform/text.h"

#include <algorithm>

#include "gdi_test_support.h"
#include "platform/gdi_mapping.h"

namespace win::testing {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class TextTest : public GdiTest {
protected:
    HFONT Select(HDC dc, int height, const char* face, int weight = FW_NORMAL, int escapement = 0, BYTE underline = 0) {
        HFONT f = CreateFont(height, 0, escapement, 0, weight, 0, underline, 0, ANSI_CHARSET, 0, 0, 0, 0, face);
        HGDIOBJ old = SelectObject(dc, f);
        if (old != GetStockObject(SYSTEM_FONT)) DeleteObject(old);
        return f;
    }
    TEXTMETRIC Metrics(HDC dc) {
        TEXTMETRIC tm;
        EXPECT_TRUE(GetTextMetrics(dc, &tm));
        return tm;
    }
};

TEST_F(TextTest, MetricsOfTheClassicFacesAreStable) {
    Canvas c(10, 10);
    struct Expected {
        const char* face;
        int height;
        LONG tmHeight, ascent, descent, ave;
    } table[] = {
        {"Arial", -11, 13, 10, 3, 5},        {"MS Sans Serif", -11, 13, 10, 3, 5}, {"Arial", -13, 15, 12, 3, 6},
        {"Arial", -16, 19, 15, 4, 7},        {"Arial", 16, 16, 13, 3, 6},          {"Courier New", -13, 15, 11, 4, 8},
        {"Courier New", -16, 19, 14, 5, 10}, {"Times New Roman", -16, 19, 15, 4, 6},
    };
    for (const Expected& e : table) {
        Select(c.dc(), e.height, e.face);
        TEXTMETRIC tm = Metrics(c.dc());
        EXPECT_EQ(tm.tmHeight, e.tmHeight) << e.face << " " << e.height;
        EXPECT_EQ(tm.tmAscent, e.ascent) << e.face << " " << e.height;
        EXPECT_EQ(tm.tmDescent, e.descent) << e.face << " " << e.height;
        EXPECT_EQ(tm.tmAveCharWidth, e.ave) << e.face << " " << e.height;
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        // A negative height is the character height: the cell adds the internal leading.
        if (e.height < 0) EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, -e.height) << e.face;
        else EXPECT_EQ(tm.tmHeight, e.height);
    }
    // Fixed pitch: every character has the average width, and the pitch bit says so; cell
    // heights give fractional sizes.
    TEXTMETRIC tm;
    SIZE s;
    for (int height : {-13, 12, 22, 29}) {
        Select(c.dc(), height, "Courier New");
        tm = Metrics(c.dc());
        EXPECT_EQ(tm.tmMaxCharWidth, tm.tmAveCharWidth) << height;
        EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
        GetTextExtentPoint32(c.dc(), "iiWW..", 6, &s);
        EXPECT_EQ(s.cx, 6 * tm.tmAveCharWidth) << height;
        EXPECT_EQ(s.cy, tm.tmHeight);
    }
    Select(c.dc(), -13, "Arial");
    EXPECT_NE(Metrics(c.dc()).tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    EXPECT_EQ(MatchedFamily(LOGFONT{.lfFaceName = "Courier New"}), "Liberation Mono");
    EXPECT_EQ(MatchedFamily(LOGFONT{.lfFaceName = "Times New Roman"}), "Liberation Serif");
    EXPECT_EQ(MatchedFamily(LOGFONT{.lfPitchAndFamily = FF_SWISS, .lfFaceName = "No Such Face"}), "Liberation Sans");
}

TEST_F(TextTest, ExtentsAddUpCharacterWidths) {
    Canvas c(10, 10);
    Select(c.dc(), -13, "Arial");
    const char* text = "Hello, World";
    int widths[256];
    ASSERT_TRUE(GetCharWidth(c.dc(), 0, 255, widths));
    int sum = 0;
    for (const char* p = text; *p; ++p) sum += widths[static_cast<unsigned char>(*p)];
    SIZE s;
    GetTextExtentPoint32(c.dc(), text, 12, &s);
    EXPECT_EQ(s.cx, sum);
    EXPECT_LT(widths['i'], widths['W']);
    GetTextExtentPoint32(c.dc(), "", 0, &s);
    EXPECT_EQ(s.cx, 0);
    EXPECT_EQ(s.cy, Metrics(c.dc()).tmHeight);

    // Under a 2:1 mapping the same text measures twice as long in logical units.
    SIZE device;
    GetTextExtentPoint32(c.dc(), text, 12, &device);
    SetMapMode(c.dc(), MM_ANISOTROPIC);
    SetWindowExtEx(c.dc(), 2, 2, nullptr);
    SetViewportExtEx(c.dc(), 1, 1, nullptr);
    Select(c.dc(), -26, "Arial");
    GetTextExtentPoint32(c.dc(), text, 12, &s);
    EXPECT_EQ(s.cx, 2 * device.cx);
}

TEST_F(TextTest, TextOutAlignmentAndBackground) {
    Canvas c(200, 60);
    Select(c.dc(), -13, "Arial");
    TEXTMETRIC tm = Metrics(c.dc());
    SIZE s;
    GetTextExtentPoint32(c.dc(), "Mmm", 3, &s);

    // OPAQUE fills exactly the character cells.
    SetBkColor(c.dc(), RGB(255, 255, 0));
    TextOut(c.dc(), 10, 5, "Mmm", 3);
    RECT ink = c.InkBounds(kWhite);
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.top, 5);
    EXPECT_EQ(ink.right, 10 + s.cx);
    EXPECT_EQ(ink.bottom, 5 + tm.tmHeight);
    EXPECT_EQ(c.At(10, 5), RGB(255, 255, 0));

    // Transparent, right-aligned on the baseline.
    c.Clear(kWhite);
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextAlign(c.dc(), TA_RIGHT | TA_BASELINE);
    TextOut(c.dc(), 100, 30, "Mmm", 3);
    ink = c.InkBounds(kWhite);
    EXPECT_LE(ink.right, 100);
    EXPECT_GE(ink.left, 100 - s.cx);
    EXPECT_EQ(ink.bottom, 30);  // "Mmm" has no descender
    EXPECT_GE(ink.top, 30 - tm.tmAscent);

    // Centred text sits around the reference point.
    c.Clear(kWhite);
    SetTextAlign(c.dc(), TA_CENTER | TA_TOP);
    TextOut(c.dc(), 100, 10, "Mmm", 3);
    ink = c.InkBounds(kWhite);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 100, 2);

    // TA_UPDATECP draws at the current position and moves it along.
    c.Clear(kWhite);
    SetTextAlign(c.dc(), TA_UPDATECP);
    MoveToEx(c.dc(), 20, 30, nullptr);
    TextOut(c.dc(), 0, 0, "Mmm", 3);
    POINT cp;
    GetCurrentPositionEx(c.dc(), &cp);
    EXPECT_EQ(cp.x, 20 + s.cx);
    EXPECT_GE(c.InkBounds(kWhite).left, 20);
}

TEST_F(TextTest, ExtTextOutOpaqueAndClipped) {
    Canvas c(100, 40);
    Select(c.dc(), -13, "Arial");
    SetBkColor(c.dc(), RGB(0, 0, 255));
    SetBkMode(c.dc(), TRANSPARENT);
    RECT r{5, 5, 30, 25};
    ExtTextOut(c.dc(), 8, 8, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWWWW", 8, nullptr);
    RECT ink = c.InkBounds(kWhite);
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.right, 30);  // clipped to the rectangle
    EXPECT_EQ(ink.bottom, 25);
    EXPECT_EQ(c.At(5, 5), RGB(0, 0, 255));
    // Explicit advances space the characters out.
    c.Clear(kWhite);
    int dx[] = {20, 20, 20};
    ExtTextOut(c.dc(), 0, 0, 0, nullptr, "iii", 3, dx);
    EXPECT_GE(c.InkBounds(kWhite).right, 41);
}

TEST_F(TextTest, EscapementTurnsTheBaseline) {
    Canvas c(100, 100);
    Select(c.dc(), -16, "Arial", FW_NORMAL, 900);
    SetBkMode(c.dc(), TRANSPARENT);
    TextOut(c.dc(), 40, 90, "Rotated", 7);
    RECT ink = c.InkBounds(kWhite);
    // Upwards from the reference point, one line height to the right of it.
    EXPECT_LE(ink.bottom, 91);
    EXPECT_LT(ink.top, 60);
    EXPECT_GE(ink.left, 39);
    EXPECT_LE(ink.right, 40 + 20);
    EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left));

    c.Clear(kWhite);
    Select(c.dc(), -16, "Arial", FW_NORMAL, 1800);
    TextOut(c.dc(), 60, 50, "Upside", 6);
    ink = c.InkBounds(kWhite);
    EXPECT_LE(ink.right, 61);
    EXPECT_LE(ink.bottom, 51);
}

TEST_F(TextTest, TextIsSolidOneBitInkAndUnderlined) {
    Canvas c(120, 30);
    Select(c.dc(), -16, "Arial", FW_BOLD);
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), RGB(200, 0, 100));
    TextOut(c.dc(), 2, 2, "Ink@", 4);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            COLORREF p = c.At(x, y);
            ASSERT_TRUE(p == kWhite || p == RGB(200, 0, 100)) << x << "," << y;  // no antialiasing
        }
    c.Clear(kWhite);
    Select(c.dc(), -16, "Arial", FW_NORMAL, 0, 1);
    TextOut(c.dc(), 2, 2, "___ ...", 7);
    TEXTMETRIC tm = Metrics(c.dc());
    // The underline runs under the spaces too.
    SIZE upTo;
    GetTextExtentPoint32(c.dc(), "___ ", 4, &upTo);
    int row = -1;
    for (int y = 2 + tm.tmAscent; y < 2 + tm.tmHeight && row < 0; ++y)
        if (c.At(2 + upTo.cx - 2, y) != kWhite) row = y;
    EXPECT_GE(row, 2 + tm.tmAscent);
}

TEST_F(TextTest, XorTextThroughAMonochromeBitmapIsSelfInverse) {
    Canvas c(120, 40);
    c.FillNoise();
    auto before = c.Snapshot();
    HDC mem = CreateCompatibleDC(c.dc());
    HBITMAP mono = CreateBitmap(100, 20, 1, 1, nullptr);
    HGDIOBJ oldBmp = SelectObject(mem, mono);
    PatBlt(mem, 0, 0, 100, 20, BLACKNESS);
    SetTextColor(mem, kWhite);
    SetBkMode(mem, TRANSPARENT);
    HFONT f = CreateFont(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    HGDIOBJ oldFont = SelectObject(mem, f);
    TextOut(mem, 0, 0, "Drag me", 7);
    // Mono to colour: black bits take the text colour (black = no change), white the background.
    SetTextColor(c.dc(), kBlack);
    SetBkColor(c.dc(), RGB(255, 0, 255));
    BitBlt(c.dc(), 10, 10, 100, 20, mem, 0, 0, SRCINVERT);
    EXPECT_NE(before, c.Snapshot());
    BitBlt(c.dc(), 10, 10, 100, 20, mem, 0, 0, SRCINVERT);
    EXPECT_EQ(before, c.Snapshot());
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBmp);
    DeleteObject(f);
    DeleteObject(mono);
    DeleteDC(mem);
}

TEST_F(TextTest, TextIgnoresTheLineRasterOperation) {
    Canvas c(80, 20, kBlack);
    Select(c.dc(), -13, "Arial");
    SetROP2(c.dc(), R2_XORPEN);
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), RGB(0, 255, 0));
    TextOut(c.dc(), 0, 0, "II", 2);
    TextOut(c.dc(), 0, 0, "II", 2);
    EXPECT_GT(c.CountNot(kBlack), 0);  // drawn twice in copy mode, still there
}

TEST_F(TextTest, DrawTextWordBreakMeasuredAndDrawnAlike) {
    Canvas c(200, 200);
    Select(c.dc(), -13, "Arial");
    TEXTMETRIC tm = Metrics(c.dc());
    const char* text = "The quick brown fox jumps over the lazy dog again and again";
    RECT calc{10, 10, 90, 10};
    int h = DrawText(c.dc(), text, -1, &calc, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(c.CountNot(kWhite), 0);  // measuring draws nothing
    EXPECT_GT(h, tm.tmHeight);
    EXPECT_EQ(h % tm.tmHeight, 0);
    EXPECT_EQ(calc.bottom - calc.top, h);
    EXPECT_LE(calc.right, 90);
    RECT draw{10, 10, 90, 190};
    SetBkMode(c.dc(), TRANSPARENT);
    EXPECT_EQ(DrawText(c.dc(), text, -1, &draw, DT_WORDBREAK | DT_NOPREFIX), h);
    RECT ink = c.InkBounds(kWhite);
    EXPECT_GE(ink.left, calc.left);
    EXPECT_LE(ink.right, calc.right + 1);
    EXPECT_LE(ink.bottom, calc.bottom);
    EXPECT_GT(ink.bottom, calc.bottom - tm.tmHeight);

    // A single line is measured by its extent; lines end at CR LF.
    RECT one{0, 0, 0, 0};
    DrawText(c.dc(), "abc", 3, &one, DT_SINGLELINE | DT_CALCRECT);
    SIZE s;
    GetTextExtentPoint32(c.dc(), "abc", 3, &s);
    EXPECT_EQ(one.right, s.cx);
    EXPECT_EQ(one.bottom, tm.tmHeight);
    RECT two{0, 0, 0, 0};
    EXPECT_EQ(DrawText(c.dc(), "a\r\nbb\nc", -1, &two, DT_CALCRECT), 3 * tm.tmHeight);
    RECT none{0, 0, 0, 0};
    EXPECT_EQ(DrawText(c.dc(), "", 0, &none, DT_CALCRECT), 0);
}

TEST_F(TextTest, DrawTextAlignmentTabsAndPrefixes) {
    Canvas c(200, 60);
    Select(c.dc(), -13, "Courier New");
    TEXTMETRIC tm = Metrics(c.dc());
    SetBkMode(c.dc(), TRANSPARENT);
    RECT r{0, 0, 200, 60};
    DrawText(c.dc(), "|", 1, &r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    RECT ink = c.InkBounds(kWhite);
    EXPECT_LE(ink.right, 200);
    EXPECT_GE(ink.left, 200 - tm.tmAveCharWidth);
    EXPECT_GE(ink.top, 60 - tm.tmHeight);
    c.Clear(kWhite);
    DrawText(c.dc(), "|", 1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    ink = c.InkBounds(kWhite);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 100, tm.tmAveCharWidth);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 30, tm.tmHeight / 2.0);

    // Tabs expand to multiples of eight average widths.
    RECT t{0, 0, 0, 0};
    DrawText(c.dc(), "ab\tc", -1, &t, DT_EXPANDTABS | DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(t.right, 9 * tm.tmAveCharWidth);

    // '&' marks a mnemonic (not drawn, its letter underlined); "&&" is one ampersand.
    RECT p{0, 0, 0, 0};
    DrawText(c.dc(), "&File", -1, &p, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(p.right, 4 * tm.tmAveCharWidth);
    DrawText(c.dc(), "A&&B", -1, &p, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(p.right, 3 * tm.tmAveCharWidth);
    DrawText(c.dc(), "&File", -1, &p, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(p.right, 5 * tm.tmAveCharWidth);
    c.Clear(kWhite);
    RECT box{0, 0, 200, 60};
    DrawText(c.dc(), "&F", -1, &box, DT_SINGLELINE);
    int withLine = c.CountNot(kWhite);
    c.Clear(kWhite);
    DrawText(c.dc(), "F", -1, &box, DT_SINGLELINE);
    EXPECT_GT(withLine, c.CountNot(kWhite));
}

// Each letter of a line drawn on its own at its place: no pixel is inked by two letters, and
// between the ink of two words there is at least a space's width of blank columns, so words
// neither run into each other nor together.
TEST_F(TextTest, LettersKeepApartAndWordsKeepTheirSpaces) {
    const char* lines[] = {"Copy the Visible Portion of Window in BMP Format", "Copy the Entire Window in WMF Format",
                           "Copy the Entire Window to WMF File...", "www vwxyz Wavy Yw Kw fw rw",
                           "Transient Analysis Limits", "Maximum time step"};
    struct Font {
        const char* face;
        int height;
        int weight;
    } fonts[] = {{"MS Sans Serif", -11, FW_NORMAL},   // menus and dialogs
                 {"MS Sans Serif", -11, FW_BOLD},     // default items
                 {"Arial", -13, FW_NORMAL},           // schematic and plot texts
                 {"Arial", -16, FW_NORMAL}};
    for (const Font& f : fonts) {
        Canvas c(420, 30);
        Select(c.dc(), f.height, f.face, f.weight);
        SetBkMode(c.dc(), TRANSPARENT);
        const int space = GetTextExtent(c.dc(), " ").cx;
        for (const char* line : lines) {
            const std::string text(line);
            const std::string where = std::string(f.face) + " " + std::to_string(f.height) + " " +
                                      std::to_string(f.weight) + " \"" + text + "\"";
            std::vector<int> owner(static_cast<size_t>(c.width() * c.height()), -1);
            std::vector<int> left(text.size(), c.width()), right(text.size(), -1);  // ink columns of each letter
            for (size_t i = 0; i < text.size(); ++i) {
                c.Clear(kWhite);
                const int x = 4 + GetTextExtent(c.dc(), std::string_view(text).substr(0, i)).cx;
                TextOut(c.dc(), x, 4, text.substr(i, 1));
                for (int y = 0; y < c.height(); ++y)
                    for (int px = 0; px < c.width(); ++px) {
                        if (c.At(px, y) == kWhite) continue;
                        int& o = owner[static_cast<size_t>(y * c.width() + px)];
                        ASSERT_EQ(o, -1) << where << ": '" << text[static_cast<size_t>(o)] << "' and '" << text[i]
                                         << "' share the pixel " << px << "," << y;
                        o = static_cast<int>(i);
                        left[i] = std::min(left[i], px);
                        right[i] = std::max(right[i], px);
                    }
            }
            // The whole line drawn at once inks just what its letters ink.
            c.Clear(kWhite);
            RECT box{4, 4, c.width(), c.height()};
            DrawText(c.dc(), text.c_str(), -1, &box, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
            int letters = 0;
            for (int o : owner) letters += o >= 0;
            EXPECT_EQ(c.CountNot(kWhite), letters) << where;
            for (size_t i = 1; i + 1 < text.size(); ++i) {
                if (text[i] != ' ') continue;
                const int before = *std::max_element(right.begin(), right.begin() + static_cast<long>(i));
                const int after = left[i + 1];
                EXPECT_GE(after - before - 1, space) << where << ": the space after \"" << text.substr(0, i) << "\"";
            }
        }
    }
}

TEST_F(TextTest, OemFontsShowCodePage437Glyphs) {
    Canvas c(40, 20);
    HFONT f = CreateFont(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, OEM_CHARSET, 0, 0, 0, FIXED_PITCH | FF_MODERN, "Terminal");
    SelectObject(c.dc(), f);
    SetBkMode(c.dc(), TRANSPARENT);
    // 195 and 192 are the tree glyphs of code page 437 (a tee and a corner).
    const char tree[] = {static_cast<char>(195), static_cast<char>(192)};
    TextOut(c.dc(), 0, 0, tree, 2);
    TEXTMETRIC tm = Metrics(c.dc());
    RECT ink = c.InkBounds(kWhite);
    // Both glyphs reach the right edge of their cells, where the tree's branches continue.
    EXPECT_GT(ink.left, 0);
    EXPECT_EQ(ink.right, 2 * tm.tmAveCharWidth);
    EXPECT_EQ(tm.tmCharSet, OEM_CHARSET);
    SelectObject(c.dc(), GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}

}  // namespace
}  // namespace win::testing
