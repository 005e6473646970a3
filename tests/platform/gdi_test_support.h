#pragma once
// A window-like DC over a private image surface, for drawing tests that assert on pixels.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/gdi_state.h"

namespace win::testing {

class Canvas {
public:
    Canvas(int width, int height, COLORREF background = RGB(255, 255, 255))
        : width_(width), height_(height), surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)) {
        Clear(background);
        dc_ = CreateWindowDC(surface_, {0, 0}, Region(0, 0, width, height));
    }
    ~Canvas() {
        DestroyWindowDC(dc_);
        cairo_surface_destroy(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    cairo_surface_t* surface() const { return surface_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void Clear(COLORREF c) {
        PixelAccess px(surface_);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) px.Row(y)[x] = 0xFF000000u | ColorToPixel(c);
    }
    // A background that differs in every channel from pixel to pixel, so XOR faults show.
    void FillNoise() {
        PixelAccess px(surface_);
        std::uint32_t v = 12345;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                v = v * 1103515245u + 12345u;
                px.Row(y)[x] = 0xFF000000u | ((v >> 8) & 0xFFFFFF);
            }
    }
    COLORREF At(int x, int y) const {
        PixelAccess px(surface_);
        return PixelToColor(px.Row(y)[x] & 0xFFFFFF);
    }
    std::vector<std::uint32_t> Snapshot() const {
        PixelAccess px(surface_);
        std::vector<std::uint32_t> out;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) out.push_back(px.Row(y)[x]);
        return out;
    }
    // Pixels that differ from a colour.
    int CountNot(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) n += At(x, y) != c;
        return n;
    }
    // Bounding box of the pixels that differ from a colour (empty when none).
    RECT InkBounds(COLORREF background) const {
        RECT r{width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != background) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        if (r.right == 0) return {};
        return r;
    }
    // A row of the canvas as '#' (not background) and '.' characters.
    std::string Row(int y, int from, int to, COLORREF background = RGB(255, 255, 255)) const {
        std::string s;
        for (int x = from; x < to; ++x) s += At(x, y) == background ? '.' : '#';
        return s;
    }
    void SavePng(const std::string& name) const { cairo_surface_write_to_png(surface_, name.c_str()); }

private:
    int width_;
    int height_;
    cairo_surface_t* surface_;
    HDC dc_ = nullptr;
};

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGdiStateForTests(); }
    void TearDown() override { ResetGdiStateForTests(); }
};

}  // namespace win::testing
