#pragma once
// The colour table: every coloured thing names its colour by an index 0 to 63 (64: none). Each
// of the 72 rows holds a COLORREF with a solid pen and brush: rows 0 to 15 fixed colours, rows 16
// to 63 entries of the program's logical palette (redefinable by the user), rows 64 to 71 system
// colours. The palette, its editing, and its settings section "Palettes" live here too.
#include <array>
#include <cstdint>

#include "ui/settings_keys.h"
#include "platform/gdi_objects.h"
#include "platform/win_types.h"

namespace kq5 {

constexpr int kColorRows = 72;
constexpr int kPaletteColors = 64;
constexpr int kNoColor = 64;
constexpr int kFirstPaletteColor = 16;  // entries below are fixed

struct ColorRow {
    win::COLORREF color = 0;
    win::HPEN pen = nullptr;
    win::HBRUSH brush = nullptr;
};

struct ColorTableState {
    std::array<ColorRow, kColorRows> rows{};
    win::LOGPALETTE logical;  // 64 entries, 128 while being edited (64..127 the edit copy)
    bool logicalMade = false;
    win::HPALETTE palette = nullptr;
    win::HBRUSH nullBrush = nullptr;
    win::HPEN nullPen = nullptr;
    win::HBRUSH patternBrush = nullptr;  // the 8x8 checkerboard of bitmap 1807
};

// The frame window (null before it exists): the palette is realized in it and the settings
// dialogs are owned by it when no parent is given.
win::HWND AppFrameWindow();

ColorTableState& ColorTable();
void ResetColorTableForTests();

// The 64 default colours (R, G, B).
win::COLORREF DefaultPaletteColor(int index);

void CreateAppPalette();
void InitColorTable();
void SetColorRow(int row, win::COLORREF color);
void FreeColorRow(int row);
void BuildPaletteColorRows();
void LoadSystemColorRows();
void RealizeAppPalette(win::HDC dc);
void RecreateAppPalette(win::HWND window);
win::COLORREF PaletteColor(int index, bool asRgb);
// The colour of a colour-table index (0 to 63 palette, 64 to 71 system colours).
win::COLORREF ColorIndexRgb(int index);
void BeginPaletteEdit(win::HWND window);
void SetEditedPaletteEntry(int index, win::COLORREF rgb, win::HWND window = nullptr);
void CommitPaletteEdit();
void EndPaletteEdit();
void FreeColorTable();
void FreeAppPalette();

// Fills the client area (one pixel more right and down, so nothing is left) without an outline.
void PaintWindowBackground(win::HDC dc, win::HWND window, win::HBRUSH brush);
// Text in the row's colour on white, or on black when the row is white; the background's brush.
win::HBRUSH SetContrastTextColors(win::HDC dc, int row);

// The "Palettes" settings section: PALETTE_0 .. PALETTE_63 as R + 256 G + 65536 B. Reading sets
// entries 16 to 63 only and then rebuilds the palette and its rows.
void PalettesSection(SettingsKeys& section);

}  // namespace kq5
