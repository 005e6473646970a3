#pragma once
// The program's pictures (bitmaps, cursors and icons) as the resource compiler
// (tools/gen_resources) writes them from their readable sources in data/. LoadBitmap, LoadCursor
// and LoadIcon of the program's instance find them here after any resource registered at run
// time.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/cursor.h"
#include "platform/win_types.h"

namespace win {

enum class ImageKind : int { Bitmap = 1, Cursor = 2, Icon = 3 };

// One picture: each character of pixels (row by row, width x height) names a palette entry by its
// place in kImagePixelDigits; palette entries are 0xAARRGGBB (alpha 0 = transparent, cursors and
// icons only). A monochrome bitmap holds only black and white.
struct CompiledImage {
    ImageKind kind = ImageKind::Bitmap;
    UINT id = 0;
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    bool mono = false;
    const std::uint32_t* palette = nullptr;
    std::size_t paletteSize = 0;
    const char* pixels = nullptr;
};

inline constexpr char kImagePixelDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The program's own pictures (generated), sorted by kind and id.
std::span<const CompiledImage> ProgramImageResources();

// The picture of that kind and id, or null.
const CompiledImage* FindImageResource(ImageKind kind, UINT id);
// The pixel at (x, y) as 0xAARRGGBB.
std::uint32_t ImagePixel(const CompiledImage& image, int x, int y);
// A new bitmap holding the picture (monochrome when the picture is); null on a bad record.
HBITMAP CreateBitmapFromImage(const CompiledImage& image);
// The picture as a cursor or icon image, with its hot spot.
CursorImage CursorImageFromImage(const CompiledImage& image);

}  // namespace win
