#pragma once
// The GDI's program-wide state: every live object and DC, the stock objects and the bitmap
// resource hook. Handles are checked against it so a stale handle fails instead of crashing.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"

namespace win {

class FontCache;

// Answers LoadBitmap for the program's resources: returns a new bitmap or null when the id is
// unknown. The resource module installs it; tests may register bitmaps directly.
using BitmapResourceLoader = std::function<HBITMAP(UINT_PTR id)>;

struct GdiState {
    GdiState();
    ~GdiState();
    GdiState(const GdiState&) = delete;
    GdiState& operator=(const GdiState&) = delete;

    std::unordered_map<GdiObject*, std::unique_ptr<GdiObject>> objects;
    std::unordered_map<DeviceContextObject*, std::unique_ptr<DeviceContextObject>> dcs;
    std::array<HGDIOBJ, DEFAULT_GUI_FONT + 1> stock{};
    HGDIOBJ defaultBitmap = nullptr;  // the 1x1 monochrome bitmap of a fresh memory DC
    BitmapResourceLoader bitmapLoader;
    std::unordered_map<UINT_PTR, std::function<HBITMAP()>> registeredBitmaps;
    std::unique_ptr<FontCache> fonts;
};

GdiState& Gdi();
void ResetGdiStateForTests();

}  // namespace win
