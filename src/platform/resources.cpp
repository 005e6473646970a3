// Finding and unpacking the compiled pictures.
#include "platform/resources.h"

#include <algorithm>
#include <memory>

#include "platform/bitmap.h"

namespace win {

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return 10 + (c - 'A');
    if (c >= 'a' && c <= 'z') return 36 + (c - 'a');
    return -1;
}

}  // namespace

const CompiledImage* FindImageResource(ImageKind kind, UINT id) {
    auto all = ProgramImageResources();
    auto it = std::lower_bound(all.begin(), all.end(), std::pair(kind, id), [](const CompiledImage& img, auto key) {
        return img.kind != key.first ? img.kind < key.first : img.id < key.second;
    });
    return (it != all.end() && it->kind == kind && it->id == id) ? &*it : nullptr;
}

std::uint32_t ImagePixel(const CompiledImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height || !image.pixels) return 0;
    int index = DigitValue(image.pixels[static_cast<std::size_t>(y) * image.width + x]);
    return (index >= 0 && static_cast<std::size_t>(index) < image.paletteSize) ? image.palette[index] : 0;
}

HBITMAP CreateBitmapFromImage(const CompiledImage& image) {
    if (image.width <= 0 || image.height <= 0 || !image.pixels) return nullptr;
    BitmapObject* bmp = NewBitmapObject(image.width, image.height, image.mono);
    cairo_surface_flush(bmp->surface);
    for (int y = 0; y < image.height; ++y) {
        std::uint32_t* row = BitmapRow(*bmp, y);
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t rgb = ImagePixel(image, x, y) & 0xFFFFFFu;
            if (image.mono) rgb = rgb == 0xFFFFFFu ? rgb : 0;
            row[x] = 0xFF000000u | rgb;
        }
    }
    cairo_surface_mark_dirty(bmp->surface);
    return static_cast<HBITMAP>(RegisterGdiObject(std::unique_ptr<GdiObject>(bmp)));
}

CursorImage CursorImageFromImage(const CompiledImage& image) {
    CursorImage out;
    out.width = image.width;
    out.height = image.height;
    out.hotX = image.hotX;
    out.hotY = image.hotY;
    out.pixels.reserve(static_cast<std::size_t>(image.width) * std::max(image.height, 0));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) out.pixels.push_back(ImagePixel(image, x, y));
    return out;
}

}  // namespace win
