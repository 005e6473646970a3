// The virtual screen image.
#include "platform/screen.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/caret_internal.h"

namespace win {

namespace {

struct ScreenState {
    cairo_surface_t* surface = nullptr;
    int width = 0;
    int height = 0;
    bool dirty = true;
    bool unseen = false;
    ~ScreenState() {
        if (surface) cairo_surface_destroy(surface);
    }
};

ScreenState& State() {
    static ScreenState state;
    return state;
}

// The image is made when something first draws or reads it: a batch run never does.
void EnsureScreen() {
    auto& s = State();
    if (s.width == 0) {
        s.width = 1024;
        s.height = 768;
    }
    if (s.surface) return;
    s.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s.width, s.height);
    s.dirty = true;
    if (s.unseen) return;
    // The classic desktop colour until the window manager paints it.
    cairo_t* cr = cairo_create(s.surface);
    cairo_set_source_rgb(cr, 0.0, 128 / 255.0, 128 / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
}

}  // namespace

void CreateScreen(int width, int height) {
    auto& s = State();
    if (s.surface) cairo_surface_destroy(s.surface);
    s.surface = nullptr;
    s.width = width > 0 ? width : 1024;
    s.height = height > 0 ? height : 768;
    s.dirty = true;
    s.unseen = false;
}

void SetScreenUnseen(bool unseen) { State().unseen = unseen; }

bool ScreenUnseen() { return State().unseen; }

cairo_surface_t* ScreenSurface() {
    EnsureScreen();
    return State().surface;
}

SIZE ScreenSize() {
    auto& s = State();
    if (s.width == 0) EnsureScreen();
    return SIZE{s.width, s.height};
}

void MarkScreenDirty() { State().dirty = true; }

bool TakeScreenDirty() {
    bool d = State().dirty;
    State().dirty = false;
    return d;
}

bool SaveScreenPng(const std::string& path) {
    EnsureScreen();
    auto& s = State();
    cairo_surface_flush(s.surface);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s.width, s.height);
    int stride = cairo_image_surface_get_stride(copy);
    std::memcpy(cairo_image_surface_get_data(copy), cairo_image_surface_get_data(s.surface),
                static_cast<std::size_t>(stride) * s.height);
    ApplyCaretOverlay(cairo_image_surface_get_data(copy), stride, s.width, s.height);
    cairo_surface_mark_dirty(copy);
    cairo_status_t status = cairo_surface_write_to_png(copy, path.c_str());
    cairo_surface_destroy(copy);
    return status == CAIRO_STATUS_SUCCESS;
}

COLORREF ScreenPixel(int x, int y) {
    EnsureScreen();
    auto& s = State();
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0xFFFFFFFFu;
    cairo_surface_flush(s.surface);
    const unsigned char* row = cairo_image_surface_get_data(s.surface) + y * cairo_image_surface_get_stride(s.surface);
    std::uint32_t px;
    std::memcpy(&px, row + 4 * x, 4);
    return RGB(static_cast<BYTE>((px >> 16) & 0xFF), static_cast<BYTE>((px >> 8) & 0xFF), static_cast<BYTE>(px & 0xFF));
}

}  // namespace win
