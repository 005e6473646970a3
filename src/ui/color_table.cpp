#include "ui/color_table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "ui/window_record.h"
#include "platform/bitmap.h"
#include "platform/gdi_draw.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

namespace {

using win::COLORREF;
using win::RGB;

constexpr std::array<COLORREF, kPaletteColors> kDefaultColors = {
    RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),   RGB(0, 0, 128),
    RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192), RGB(128, 128, 128), RGB(255, 0, 0),
    RGB(0, 255, 0),     RGB(255, 255, 0),   RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),
    RGB(255, 255, 255), RGB(90, 145, 171),  RGB(20, 90, 107),   RGB(62, 19, 108),   RGB(205, 192, 29),
    RGB(191, 147, 72),  RGB(172, 69, 13),   RGB(222, 12, 190),  RGB(184, 7, 145),   RGB(255, 125, 141),
    RGB(255, 57, 107),  RGB(210, 0, 79),    RGB(196, 0, 98),    RGB(220, 180, 241), RGB(243, 130, 247),
    RGB(205, 92, 248),  RGB(121, 64, 191),  RGB(245, 253, 98),  RGB(253, 216, 68),  RGB(252, 173, 42),
    RGB(254, 121, 0),   RGB(201, 108, 39),  RGB(248, 97, 0),    RGB(131, 98, 61),   RGB(137, 97, 86),
    RGB(176, 255, 176), RGB(81, 249, 152),  RGB(32, 255, 88),   RGB(128, 209, 84),  RGB(54, 194, 92),
    RGB(0, 174, 87),    RGB(0, 159, 0),     RGB(0, 98, 0),      RGB(197, 197, 255), RGB(155, 155, 255),
    RGB(127, 127, 255), RGB(99, 99, 255),   RGB(128, 0, 224),   RGB(128, 0, 192),   RGB(128, 0, 160),
    RGB(128, 0, 128),   RGB(228, 228, 228), RGB(200, 200, 200), RGB(172, 172, 172), RGB(144, 144, 144),
    RGB(116, 116, 116), RGB(88, 88, 88),    RGB(60, 60, 60),    RGB(32, 32, 32)};

// The system colours of rows 64 to 71.
constexpr std::array<int, 8> kSystemColorRows = {win::COLOR_WINDOW,      win::COLOR_BTNFACE,   win::COLOR_BTNTEXT,
                                                 win::COLOR_BTNTEXT,     win::COLOR_WINDOWFRAME, win::COLOR_BTNFACE,
                                                 win::COLOR_BTNSHADOW,   win::COLOR_BTNHIGHLIGHT};

win::PALETTEENTRY EntryOf(COLORREF c, win::BYTE flags)
{
    return win::PALETTEENTRY{win::GetRValue(c), win::GetGValue(c), win::GetBValue(c), flags};
}

}  // namespace

win::HWND AppFrameWindow()
{
    WindowRecord* frame = FrameRecord();
    return frame ? frame->window : nullptr;
}

ColorTableState& ColorTable()
{
    static ColorTableState state;
    return state;
}

void ResetColorTableForTests()
{
    FreeColorTable();
    FreeAppPalette();
    ColorTable() = ColorTableState{};
}

COLORREF DefaultPaletteColor(int index)
{
    return index >= 0 && index < kPaletteColors ? kDefaultColors[static_cast<std::size_t>(index)] : 0;
}

void CreateAppPalette()
{
    ColorTableState& t = ColorTable();
    t.logical.palVersion = 0x300;
    t.logical.palPalEntry.assign(kPaletteColors, win::PALETTEENTRY{});
    for (int i = 0; i < kPaletteColors; ++i)
        t.logical.palPalEntry[static_cast<std::size_t>(i)] =
            EntryOf(kDefaultColors[static_cast<std::size_t>(i)], i < kFirstPaletteColor ? 0 : win::PC_RESERVED);
    t.logicalMade = true;
    RecreateAppPalette(nullptr);
}

void InitColorTable()
{
    for (int i = 0; i < kFirstPaletteColor; ++i) {
        FreeColorRow(i);
        SetColorRow(i, kDefaultColors[static_cast<std::size_t>(i)]);
    }
    BuildPaletteColorRows();
    ColorTableState& t = ColorTable();
    t.nullBrush = static_cast<win::HBRUSH>(win::GetStockObject(win::NULL_BRUSH));
    t.nullPen = static_cast<win::HPEN>(win::GetStockObject(win::NULL_PEN));
    if (t.patternBrush) win::DeleteObject(t.patternBrush);
    t.patternBrush = nullptr;
    if (win::HBITMAP bitmap = win::LoadBitmap(win::GetModuleHandle(nullptr), 1807)) {
        t.patternBrush = win::CreatePatternBrush(bitmap);
        win::DeleteObject(bitmap);
    }
    LoadSystemColorRows();
}

void SetColorRow(int row, COLORREF color)
{
    if (row < 0 || row >= kColorRows) return;
    ColorRow& r = ColorTable().rows[static_cast<std::size_t>(row)];
    r.color = color;
    r.pen = win::CreatePen(win::PS_SOLID, 1, color);
    r.brush = win::CreateSolidBrush(color);
}

void FreeColorRow(int row)
{
    if (row < 0 || row >= kColorRows) return;
    ColorRow& r = ColorTable().rows[static_cast<std::size_t>(row)];
    if (r.pen) win::DeleteObject(r.pen);
    if (r.brush) win::DeleteObject(r.brush);
    r.pen = nullptr;
    r.brush = nullptr;
}

void BuildPaletteColorRows()
{
    for (int i = kFirstPaletteColor; i < kPaletteColors; ++i) {
        FreeColorRow(i);
        SetColorRow(i, win::PALETTEINDEX(static_cast<win::WORD>(i)));
    }
}

void LoadSystemColorRows()
{
    for (int i = 0; i < 8; ++i) {
        FreeColorRow(kPaletteColors + i);
        SetColorRow(kPaletteColors + i, win::GetSysColor(kSystemColorRows[static_cast<std::size_t>(i)]));
    }
}

void RealizeAppPalette(win::HDC dc)
{
    ColorTableState& t = ColorTable();
    if (!t.palette) return;
    win::HWND frame = AppFrameWindow();
    const bool own = dc == nullptr;
    if (own) dc = win::GetDC(frame);
    if (!dc) return;
    win::SelectPalette(dc, t.palette, win::FALSE);
    win::RealizePalette(dc);
    if (own) win::ReleaseDC(frame, dc);
}

void RecreateAppPalette(win::HWND window)
{
    ColorTableState& t = ColorTable();
    if (t.palette) win::DeleteObject(t.palette);
    t.palette = nullptr;
    if (!t.logicalMade) return;
    t.palette = win::CreatePalette(&t.logical);
    if (!window) window = AppFrameWindow();
    if (win::HDC dc = win::GetDC(window)) {
        RealizeAppPalette(dc);
        win::ReleaseDC(window, dc);
    }
}

COLORREF PaletteColor(int index, bool asRgb)
{
    ColorTableState& t = ColorTable();
    if (t.logical.palPalEntry.size() > kPaletteColors) index += kPaletteColors;
    if (!asRgb) return win::PALETTEINDEX(static_cast<win::WORD>(index));
    if (index < 0 || static_cast<std::size_t>(index) >= t.logical.palPalEntry.size())
        return DefaultPaletteColor(index % kPaletteColors);
    const win::PALETTEENTRY& e = t.logical.palPalEntry[static_cast<std::size_t>(index)];
    return RGB(e.peRed, e.peGreen, e.peBlue);
}

COLORREF ColorIndexRgb(int index)
{
    if (index >= 0 && index < kPaletteColors) return PaletteColor(index, true) & 0x00FFFFFF;
    if (index >= kPaletteColors && index < kPaletteColors + static_cast<int>(kSystemColorRows.size())) {
        const ColorRow& row = ColorTable().rows[static_cast<std::size_t>(index)];
        if (row.pen != nullptr) return row.color;
        return win::GetSysColor(kSystemColorRows[static_cast<std::size_t>(index - kPaletteColors)]);
    }
    return 0;
}

void BeginPaletteEdit(win::HWND window)
{
    ColorTableState& t = ColorTable();
    if (!t.logicalMade) return;
    t.logical.palPalEntry.resize(2 * kPaletteColors);
    for (int i = 0; i < kPaletteColors; ++i)
        t.logical.palPalEntry[static_cast<std::size_t>(i + kPaletteColors)] =
            t.logical.palPalEntry[static_cast<std::size_t>(i)];
    RecreateAppPalette(window);
}

void SetEditedPaletteEntry(int index, COLORREF rgb, win::HWND window)
{
    ColorTableState& t = ColorTable();
    if (index < kFirstPaletteColor || index >= kPaletteColors) return;
    if (t.logical.palPalEntry.size() <= kPaletteColors) return;  // no edit going on
    t.logical.palPalEntry[static_cast<std::size_t>(index + kPaletteColors)] = EntryOf(rgb, win::PC_RESERVED);
    RecreateAppPalette(window);
}

void CommitPaletteEdit()
{
    ColorTableState& t = ColorTable();
    if (t.logical.palPalEntry.size() > kPaletteColors) {
        for (int i = 0; i < kPaletteColors; ++i)
            t.logical.palPalEntry[static_cast<std::size_t>(i)] =
                t.logical.palPalEntry[static_cast<std::size_t>(i + kPaletteColors)];
        BuildPaletteColorRows();
    }
    EndPaletteEdit();
}

void EndPaletteEdit()
{
    ColorTableState& t = ColorTable();
    if (!t.logicalMade) return;
    t.logical.palPalEntry.resize(kPaletteColors);
    RecreateAppPalette(nullptr);
}

void FreeColorTable()
{
    ColorTableState& t = ColorTable();
    if (t.patternBrush) win::DeleteObject(t.patternBrush);
    t.patternBrush = nullptr;
    for (int i = 0; i < kColorRows; ++i) FreeColorRow(i);
}

void FreeAppPalette()
{
    ColorTableState& t = ColorTable();
    if (t.palette) win::DeleteObject(t.palette);
    t.palette = nullptr;
    t.logical.palPalEntry.clear();
    t.logicalMade = false;
}

void PaintWindowBackground(win::HDC dc, win::HWND window, win::HBRUSH brush)
{
    RealizeAppPalette(dc);
    win::RECT r{};
    win::GetClientRect(window, &r);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, brush);
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::NULL_PEN));
    win::Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
}

win::HBRUSH SetContrastTextColors(win::HDC dc, int row)
{
    RealizeAppPalette(dc);
    ColorTableState& t = ColorTable();
    if (row < 0 || row >= kColorRows) row = 0;
    const COLORREF color = t.rows[static_cast<std::size_t>(row)].color;
    const int background = color == t.rows[15].color ? 0 : 15;
    win::SetTextColor(dc, color);
    win::SetBkColor(dc, t.rows[static_cast<std::size_t>(background)].color);
    return t.rows[static_cast<std::size_t>(background)].brush;
}

void PalettesSection(SettingsKeys& section)
{
    ColorTableState& t = ColorTable();
    if (section.writing) {
        for (int i = 0; i < kPaletteColors; ++i) {
            const COLORREF c = PaletteColor(i, true);
            section.Add("PALETTE_" + std::to_string(i),
                        static_cast<long long>(win::GetRValue(c)) + 256LL * win::GetGValue(c) +
                            65536LL * win::GetBValue(c));
        }
        return;
    }
    if (!t.logicalMade) CreateAppPalette();
    for (const auto& [key, value] : section.keys) {
        if (!SettingsKeyStartsWith(key, "PALETTE_")) continue;
        const std::string digits = key.substr(8);
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            continue;
        const int index = std::atoi(digits.c_str());
        if (index < kFirstPaletteColor || index >= kPaletteColors) continue;
        const long long v = SettingsNumber(value, -1);
        if (v < 0) continue;
        t.logical.palPalEntry[static_cast<std::size_t>(index)] =
            EntryOf(RGB(static_cast<win::BYTE>(v & 0xFF), static_cast<win::BYTE>((v >> 8) & 0xFF),
                        static_cast<win::BYTE>((v >> 16) & 0xFF)),
                    win::PC_RESERVED);
    }
    RecreateAppPalette(nullptr);
    BuildPaletteColorRows();
}

}  // namespace kq5
