#include "platform/gdi_state.h"

#include "platform/bitmap.h"
#include "platform/font.h"
#include "platform/font_cache.h"

namespace win {

namespace {

std::unique_ptr<GdiState>& StateSlot() {
    static std::unique_ptr<GdiState> state;
    return state;
}

template <typename T>
T* AddStock(GdiState& s, int index, std::unique_ptr<T> obj) {
    T* raw = obj.get();
    raw->stock = true;
    s.objects.emplace(raw, std::move(obj));
    s.stock[index] = raw;
    return raw;
}

void AddStockPen(GdiState& s, int index, int style, COLORREF color) {
    auto pen = std::make_unique<PenObject>();
    pen->log = {static_cast<UINT>(style), {0, 0}, color};
    AddStock(s, index, std::move(pen));
}

void AddStockBrush(GdiState& s, int index, UINT style, COLORREF color) {
    auto brush = std::make_unique<BrushObject>();
    brush->log = {style, color, 0};
    AddStock(s, index, std::move(brush));
}

void AddStockFont(GdiState& s, int index, LONG height, LONG weight, BYTE charSet, BYTE pitchFamily,
                  const char* face) {
    auto font = std::make_unique<FontObject>();
    font->log.lfHeight = height;
    font->log.lfWeight = weight;
    font->log.lfCharSet = charSet;
    font->log.lfPitchAndFamily = pitchFamily;
    font->log.lfFaceName = face;
    AddStock(s, index, std::move(font));
}

}  // namespace

GdiState::GdiState() : fonts(std::make_unique<FontCache>()) {
    AddStockBrush(*this, WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255));
    AddStockBrush(*this, LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192));
    AddStockBrush(*this, GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128));
    AddStockBrush(*this, DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64));
    AddStockBrush(*this, BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0));
    AddStockBrush(*this, NULL_BRUSH, BS_NULL, 0);
    AddStockPen(*this, WHITE_PEN, PS_SOLID, RGB(255, 255, 255));
    AddStockPen(*this, BLACK_PEN, PS_SOLID, RGB(0, 0, 0));
    AddStockPen(*this, NULL_PEN, PS_NULL, 0);
    // Sizes are the classic cell heights of these fonts on a 96-dpi screen.
    AddStockFont(*this, OEM_FIXED_FONT, 12, FW_NORMAL, OEM_CHARSET, FIXED_PITCH | FF_MODERN, "Terminal");
    AddStockFont(*this, ANSI_FIXED_FONT, 13, FW_NORMAL, ANSI_CHARSET, FIXED_PITCH | FF_MODERN, "Courier");
    AddStockFont(*this, ANSI_VAR_FONT, 13, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
    AddStockFont(*this, SYSTEM_FONT, 16, FW_BOLD, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS, "System");
    AddStockFont(*this, DEVICE_DEFAULT_FONT, 16, FW_BOLD, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS, "System");
    AddStockFont(*this, SYSTEM_FIXED_FONT, 15, FW_NORMAL, ANSI_CHARSET, FIXED_PITCH | FF_MODERN, "Fixedsys");
    AddStockFont(*this, DEFAULT_GUI_FONT, -11, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");

    auto palette = std::make_unique<PaletteObject>();
    static constexpr COLORREF kSystemColors[20] = {
        RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),   RGB(0, 0, 128),
        RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192), RGB(192, 220, 192), RGB(166, 202, 240),
        RGB(255, 251, 240), RGB(160, 160, 164), RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),
        RGB(255, 255, 0),   RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255)};
    for (COLORREF c : kSystemColors) palette->entries.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
    AddStock(*this, DEFAULT_PALETTE, std::move(palette));

    BitmapObject* bmp = NewBitmapObject(1, 1, true);
    bmp->stock = true;
    objects.emplace(bmp, std::unique_ptr<GdiObject>(bmp));
    defaultBitmap = bmp;
}

GdiState::~GdiState() {
    // DCs first: they hold selections of the objects.
    dcs.clear();
    objects.clear();
}

GdiState& Gdi() {
    auto& slot = StateSlot();
    if (!slot) slot = std::make_unique<GdiState>();
    return *slot;
}

void ResetGdiStateForTests() { StateSlot().reset(); }

}  // namespace win
