#pragma once
// The pixel engine under the GDI calls: shapes are turned into coverage masks (Cairo without
// antialiasing, or the layer's own line stepping), and masks are combined with the pixels of the
// target bitwise by the raster operation, so XOR drawing is exactly self-inverse. Everything here
// works in surface coordinates (the DC's origin already added).
#include <cairo.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/region.h"

namespace win {

// Binary raster operations (SetROP2).
constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

// A pixel of the layer's surfaces: 0x00RRGGBB (the alpha byte is kept at 0xFF on write).
using Pixel = std::uint32_t;

Pixel ColorToPixel(COLORREF c);
COLORREF PixelToColor(Pixel p);

// Applies a binary raster operation to 24-bit pixel values.
Pixel Rop2(int rop, Pixel pen, Pixel dst);
// Applies the ternary raster operation code (bits 16..23 of a ROP) to pattern, source, destination.
Pixel Rop3(BYTE code, Pixel pat, Pixel src, Pixel dst);

// Coverage over a rectangle of the surface.
class Mask {
public:
    Mask() = default;
    explicit Mask(const RECT& bounds);

    const RECT& Bounds() const { return bounds_; }
    bool IsEmpty() const { return width_ <= 0 || height_ <= 0; }
    bool Get(LONG x, LONG y) const {
        if (x < bounds_.left || y < bounds_.top || x >= bounds_.right || y >= bounds_.bottom) return false;
        return bits_[(y - bounds_.top) * stride_ + (x - bounds_.left)] != 0;
    }
    void Set(LONG x, LONG y) {
        if (x < bounds_.left || y < bounds_.top || x >= bounds_.right || y >= bounds_.bottom) return;
        bits_[(y - bounds_.top) * stride_ + (x - bounds_.left)] = 0xFF;
    }
    void SetRect(const RECT& r);
    void SetRegion(const Region& rgn);
    // Removes every pixel set in other.
    void Subtract(const Mask& other);
    // Adds every pixel set in other (inside this mask's bounds).
    void Add(const Mask& other);
    bool Any() const;
    // Draws with Cairo into the mask (surface coordinates, no antialiasing, opaque white source).
    void Render(const std::function<void(cairo_t*)>& draw);

private:
    // Sets the pixels that other has to value.
    void Merge(const Mask& other, std::uint8_t value);

    RECT bounds_{};
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<std::uint8_t> bits_;
};

// What a mask is painted with: a solid pixel, or an 8x8 pattern aligned to a surface point.
struct Paint {
    enum class Kind { None, Solid, Pattern } kind = Kind::None;
    Pixel color = 0;
    std::vector<Pixel> pattern;        // 64 pixels for Pattern
    std::vector<std::uint8_t> skip;    // 64 flags: pattern pixels left untouched (transparent hatch)
    POINT origin{0, 0};                // surface point where pattern pixel (0, 0) lies
    bool IsNone() const { return kind == Kind::None; }
    Pixel At(LONG x, LONG y, bool& skipped) const;
};

// Surface-space clip of a DC: the visible region and the selected clip region.
Region DeviceClip(HDC dc);
bool IsMonoTarget(HDC dc);
// A colour as the DC draws it: palette indices resolved, monochrome targets mapped to black/white.
Pixel DrawPixel(HDC dc, COLORREF color);

Paint SolidPaint(HDC dc, COLORREF color);
// The paint of a brush (None for the null brush or an invalid handle).
Paint BrushPaint(HDC dc, HGDIOBJ brush);

// Combines a mask into the DC's target with a binary raster operation, inside the DC's clip.
void ApplyMask(HDC dc, const Mask& mask, const Paint& paint, int rop2);
// Combines source pixels (rows of width w) into the rectangle dst of the DC's target with a
// ternary raster operation. src may be null when the operation does not read it; pat may be None
// when it does not read the pattern.
void ApplyBlt(HDC dc, const RECT& dst, const Pixel* src, int srcStride, const Paint& pat, DWORD rop);

// Direct pixel access to image surfaces (flushes before, marks dirty after).
class PixelAccess {
public:
    explicit PixelAccess(cairo_surface_t* surface);
    ~PixelAccess();
    PixelAccess(const PixelAccess&) = delete;
    PixelAccess& operator=(const PixelAccess&) = delete;
    bool Valid() const { return data_ != nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint32_t* Row(int y) const { return reinterpret_cast<std::uint32_t*>(data_ + y * stride_); }

private:
    cairo_surface_t* surface_;
    unsigned char* data_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
};

}  // namespace win
