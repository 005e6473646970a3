#pragma once
// Screenshots of the program's screen into build/screens/, and reading an X screen capture made
// by xwd to compare it with the screen the layer drew.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/headless.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/window.h"

namespace kq5::testing {

// build/screens/, beside the test programs.
inline std::filesystem::path ScreensDirectory()
{
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "screens";
    std::filesystem::create_directories(dir, error);
    return dir;
}

// Writes the layer's screen to build/screens/<name>.png; a failure fails the test too.
inline bool SaveScreen(const std::string& name)
{
    const std::string path = (ScreensDirectory() / (name + ".png")).string();
    const bool saved = win::headless::SaveScreenshot(path);
    EXPECT_TRUE(saved) << path;
    return saved;
}

// The client pixels of the window that change when it is painted afresh: none when the screen
// shows what the window holds; -1 without a window.
inline int PixelsARepaintChanges(win::HWND window)
{
    if (window == nullptr) return -1;
    win::RECT client{};
    win::GetClientRect(window, &client);
    win::POINT origin{0, 0};
    win::ClientToScreen(window, &origin);
    const auto grab = [&] {
        std::vector<win::COLORREF> pixels;
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x) pixels.push_back(win::ScreenPixel(origin.x + x, origin.y + y));
        return pixels;
    };
    const std::vector<win::COLORREF> before = grab();
    win::InvalidateRect(window, nullptr, 1);
    win::UpdateWindow(window);
    const std::vector<win::COLORREF> after = grab();
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) changed += before[i] != after[i] ? 1 : 0;
    return changed;
}

// An X window dump (xwd's ZPixmap of a TrueColor screen) as 0x00RRGGBB pixels.
struct XwdImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline bool ReadXwd(const std::string& path, XwdImage& image)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 100) return false;
    auto field = [&data](int index) {
        const unsigned char* p = data.data() + index * 4;
        return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
               static_cast<std::uint32_t>(p[2]) << 8 | p[3];
    };
    const std::uint32_t headerSize = field(0), format = field(2), width = field(4), height = field(5);
    const std::uint32_t byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12);
    const std::uint32_t redMask = field(14), greenMask = field(15), blueMask = field(16), colours = field(19);
    // Pixels are packed by their bits per pixel (24: three bytes); lines are bytesPerLine apart.
    if (format != 2 || (bitsPerPixel != 24 && bitsPerPixel != 32) || redMask == 0) return false;
    const std::uint32_t step = bitsPerPixel / 8;
    if (static_cast<std::uint64_t>(step) * width > bytesPerLine) return false;
    const std::size_t offset = headerSize + static_cast<std::size_t>(colours) * 12;
    if (data.size() < offset + static_cast<std::size_t>(bytesPerLine) * height) return false;
    auto channel = [](std::uint32_t pixel, std::uint32_t mask) {
        while (mask && !(mask & 1)) {
            mask >>= 1;
            pixel >>= 1;
        }
        return pixel & mask & 0xFF;
    };
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        const unsigned char* row = data.data() + offset + static_cast<std::size_t>(y) * bytesPerLine;
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = row + x * step;
            std::uint32_t pixel = 0;
            for (std::uint32_t b = 0; b < step; ++b) {
                const std::uint32_t byte = byteOrder == 0 ? p[b] : p[step - 1 - b];
                pixel |= byte << (8 * b);
            }
            image.pixels[static_cast<std::size_t>(y) * width + x] =
                channel(pixel, redMask) << 16 | channel(pixel, greenMask) << 8 | channel(pixel, blueMask);
        }
    }
    return true;
}

}  // namespace kq5::testing
