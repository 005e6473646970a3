// The SDL2 backend: presents the virtual screen in one desktop window and turns SDL events into
// hardware input of the layer.
#include "platform/sdl_backend.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/caret_internal.h"
#include "platform/cursor.h"
#include "platform/input.h"
#include "platform/message.h"
#include "platform/screen.h"
#include "platform/sdl_library.h"
#include "platform/user_state.h"

namespace win {


namespace {

constexpr Uint32 kPresentInterval = 16;  // ms between frames at most
constexpr Uint32 kPumpInterval = 4;      // ms between two reads of the display's connection
constexpr int kDisplayLostStatus = 1;

void (*g_displayLost)() = nullptr;

// Xlib calls this when the connection to the X server breaks; it must not return into Xlib.
int OnXConnectionLost(void*)
{
    static bool once = false;
    if (!once) {
        once = true;
        if (g_displayLost) g_displayLost();
    }
    std::_Exit(kDisplayLostStatus);
}

// SDL opens Xlib itself and keeps it out of our link; the handler is set through the library
// SDL already loaded.
void WatchXConnection()
{
    const char* driver = Sdl().GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) return;
    void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (xlib == nullptr) return;
    using IoErrorHandler = int (*)(void*);
    using SetIoErrorHandler = IoErrorHandler (*)(IoErrorHandler);
    if (auto set = reinterpret_cast<SetIoErrorHandler>(dlsym(xlib, "XSetIOErrorHandler"))) set(&OnXConnectionLost);
    dlclose(xlib);
}

SDL_SystemCursor SdlCursorFor(int id) {
    switch (id) {
    case IDC_IBEAM: return SDL_SYSTEM_CURSOR_IBEAM;
    case IDC_WAIT: return SDL_SYSTEM_CURSOR_WAIT;
    case IDC_CROSS: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case IDC_APPSTARTING: return SDL_SYSTEM_CURSOR_WAITARROW;
    case IDC_SIZENWSE: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case IDC_SIZENESW: return SDL_SYSTEM_CURSOR_SIZENESW;
    case IDC_SIZEWE: return SDL_SYSTEM_CURSOR_SIZEWE;
    case IDC_SIZENS: return SDL_SYSTEM_CURSOR_SIZENS;
    case IDC_SIZE:
    case IDC_SIZEALL: return SDL_SYSTEM_CURSOR_SIZEALL;
    case IDC_NO: return SDL_SYSTEM_CURSOR_NO;
    default: return SDL_SYSTEM_CURSOR_ARROW;
    }
}

class SdlBackend : public Backend {
public:
    ~SdlBackend() override {
        for (auto& [key, c] : cursors_) Sdl().FreeCursor(c);
        if (texture_) Sdl().DestroyTexture(texture_);
        if (renderer_) Sdl().DestroyRenderer(renderer_);
        if (window_) Sdl().DestroyWindow(window_);
        Sdl().QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool Open(const PlatformOptions& options) {
        // Already up when the display was looked for; the destructor ends it either way.
        if (!Sdl().WasInit(SDL_INIT_VIDEO) && Sdl().InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        WatchXConnection();
        int w = options.width, h = options.height;
        if (w <= 0 || h <= 0) {
            SDL_Rect usable{0, 0, 1024, 768};
            Sdl().GetDisplayUsableBounds(0, &usable);
            // Leave room for the desktop's own window frame.
            w = std::clamp(usable.w - 16, 800, 1600);
            h = std::clamp(usable.h - 48, 600, 1200);
        }
        window_ = Sdl().CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                   SDL_WINDOW_SHOWN);
        if (!window_) return false;
        // The frame is drawn by Cairo into one image that is only copied to the window, which the
        // software renderer does as fast as a GL one, without loading a GL driver and its threads.
        Sdl().SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_ = Sdl().CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) renderer_ = Sdl().CreateRenderer(window_, -1, 0);
        if (!renderer_) return false;
        texture_ = Sdl().CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
        if (!texture_) return false;
        CreateScreen(w, h);
        width_ = w;
        height_ = h;
        start_ = Sdl().GetTicks();
        Sdl().EventState(SDL_DROPFILE, SDL_ENABLE);
        Sdl().StartTextInput();
        return true;
    }

    BackendKind Kind() const override { return BackendKind::Sdl; }
    DWORD Now() override { return Sdl().GetTicks() - start_; }

    // Reading the display's connection is a round trip to its server, which costs more than a
    // whole time point of a run whose loop looks for keys at every point; so the connection is
    // read at most every few milliseconds, far quicker than a key press can be told apart, while
    // the events SDL already holds are taken at once.
    void PumpEvents() override {
        const Uint32 now = Sdl().GetTicks();
        if (now - lastPump_ >= kPumpInterval) {
            lastPump_ = now;
            Sdl().PumpEvents();
        }
        SDL_Event ev;
        while (Sdl().PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) Translate(ev);
    }

    bool WaitForEvents(int timeoutMs) override {
        Present(true);
        SDL_Event ev;
        int got = timeoutMs < 0 ? Sdl().WaitEvent(&ev) : Sdl().WaitEventTimeout(&ev, timeoutMs);
        lastPump_ = Sdl().GetTicks();
        if (got) Translate(ev);
        return true;
    }

    void Present(bool force) override {
        Uint32 now = Sdl().GetTicks();
        if (!force && now - lastPresent_ < kPresentInterval) return;
        if (!TakeScreenDirty() && !exposed_) return;
        exposed_ = false;
        lastPresent_ = now;
        cairo_surface_t* screen = ScreenSurface();
        cairo_surface_flush(screen);
        unsigned char* data = cairo_image_surface_get_data(screen);
        int stride = cairo_image_surface_get_stride(screen);
        RECT caret = CaretScreenRect();
        if (IsRectEmpty(caret)) {
            Sdl().UpdateTexture(texture_, nullptr, data, stride);
        } else {
            frame_.assign(data, data + static_cast<std::size_t>(stride) * height_);
            ApplyCaretOverlay(frame_.data(), stride, width_, height_);
            Sdl().UpdateTexture(texture_, nullptr, frame_.data(), stride);
        }
        Sdl().RenderClear(renderer_);
        Sdl().RenderCopy(renderer_, texture_, nullptr, nullptr);
        Sdl().RenderPresent(renderer_);
    }

    void CursorChanged(HCURSOR cursor) override {
        if (!cursor) {
            Sdl().ShowCursor(SDL_DISABLE);
            return;
        }
        Sdl().ShowCursor(SDL_ENABLE);
        SDL_Cursor* c = nullptr;
        auto key = reinterpret_cast<std::uintptr_t>(cursor);
        if (auto it = cursors_.find(key); it != cursors_.end()) {
            c = it->second;
        } else if (cursor->systemId || cursor->image.pixels.empty()) {
            c = Sdl().CreateSystemCursor(SdlCursorFor(cursor->systemId));
        } else {
            const CursorImage& img = cursor->image;
            SDL_Surface* s = Sdl().CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(img.pixels.data()), img.width,
                                                                img.height, 32, img.width * 4, SDL_PIXELFORMAT_ARGB8888);
            if (s) {
                c = Sdl().CreateColorCursor(s, img.hotX, img.hotY);
                Sdl().FreeSurface(s);
            }
        }
        if (!c) return;
        cursors_[key] = c;
        Sdl().SetCursor(c);
    }

private:
    void Translate(const SDL_Event& ev) {
        switch (ev.type) {
        case SDL_QUIT:
            RequestClose();
            break;
        case SDL_WINDOWEVENT:
            if (ev.window.event == SDL_WINDOWEVENT_EXPOSED) exposed_ = true;
            if (ev.window.event == SDL_WINDOWEVENT_FOCUS_LOST) ReleaseModifiers();
            if (ev.window.event == SDL_WINDOWEVENT_LEAVE) InputPointerLeft();
            break;
        case SDL_MOUSEMOTION:
            InputMouseMove(ev.motion.x, ev.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            MouseButton b = ev.button.button == SDL_BUTTON_RIGHT    ? MouseButton::Right
                            : ev.button.button == SDL_BUTTON_MIDDLE ? MouseButton::Middle
                                                                    : MouseButton::Left;
            if (ev.button.button != SDL_BUTTON_LEFT && ev.button.button != SDL_BUTTON_RIGHT &&
                ev.button.button != SDL_BUTTON_MIDDLE)
                break;
            InputMouseMove(ev.button.x, ev.button.y);
            InputMouseButton(b, ev.type == SDL_MOUSEBUTTONDOWN);
            break;
        }
        case SDL_MOUSEWHEEL:
            InputMouseWheel(ev.wheel.y * 120);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            bool extended = false;
            int vk = VirtualKeyFromSdl(ev.key.keysym.sym, ev.key.keysym.scancode, &extended);
            if (!vk) break;
            static const std::string kNoTextYet;
            InputKey(vk, ev.type == SDL_KEYDOWN, 0, extended, &kNoTextYet);
            break;
        }
        case SDL_TEXTINPUT:
            InputKeyText(Utf8ToCp1252(ev.text.text));
            break;
        case SDL_DROPBEGIN:
            drops_.clear();
            break;
        case SDL_DROPFILE:
            if (ev.drop.file) {
                drops_.emplace_back(ev.drop.file);
                Sdl().free(ev.drop.file);
            }
            break;
        case SDL_DROPCOMPLETE: {
            int x = 0, y = 0;
            Sdl().GetMouseState(&x, &y);
            InputDropFiles(x, y, drops_);
            drops_.clear();
            break;
        }
        default:
            break;
        }
    }

    // Closing the desktop window asks the main window to close, as its close box would.
    void RequestClose() {
        for (auto* w : DesktopObject()->children)
            if (!w->owner && (w->style & WS_VISIBLE) && (w->style & WS_SYSMENU)) {
                PostMessage(w, WM_SYSCOMMAND, SC_CLOSE, 0);
                return;
            }
        PostQuitMessage(0);
    }

    // Keys held when the window lost the keyboard would otherwise stay down for ever.
    void ReleaseModifiers() {
        for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU})
            if (GetAsyncKeyState(vk) & 0x8000) InputKey(vk, false);
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    Uint32 start_ = 0;
    Uint32 lastPresent_ = 0;
    Uint32 lastPump_ = 0;
    bool exposed_ = true;
    std::vector<unsigned char> frame_;
    std::vector<std::string> drops_;
    std::map<std::uintptr_t, SDL_Cursor*> cursors_;
};

}  // namespace

void SetDisplayLostHandler(void (*handler)()) { g_displayLost = handler; }

std::unique_ptr<Backend> CreateSdlBackend(const PlatformOptions& options) {
    if (OpenSdl() == nullptr) return nullptr;
    auto backend = std::make_unique<SdlBackend>();
    if (!backend->Open(options)) return nullptr;
    return backend;
}

int VirtualKeyFromSdl(int sym, int scancode, bool* extended) {
    *extended = false;
    if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return VK_F1 + (scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) return VK_NUMPAD1 + (scancode - SDL_SCANCODE_KP_1);
    auto ext = [&](int vk) {
        *extended = true;
        return vk;
    };
    switch (scancode) {
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_KP_ENTER: return ext(VK_RETURN);
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN: return ext(VK_SNAPSHOT);
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_INSERT: return ext(VK_INSERT);
    case SDL_SCANCODE_HOME: return ext(VK_HOME);
    case SDL_SCANCODE_PAGEUP: return ext(VK_PRIOR);
    case SDL_SCANCODE_DELETE: return ext(VK_DELETE);
    case SDL_SCANCODE_END: return ext(VK_END);
    case SDL_SCANCODE_PAGEDOWN: return ext(VK_NEXT);
    case SDL_SCANCODE_RIGHT: return ext(VK_RIGHT);
    case SDL_SCANCODE_LEFT: return ext(VK_LEFT);
    case SDL_SCANCODE_DOWN: return ext(VK_DOWN);
    case SDL_SCANCODE_UP: return ext(VK_UP);
    case SDL_SCANCODE_NUMLOCKCLEAR: return ext(VK_NUMLOCK);
    case SDL_SCANCODE_KP_DIVIDE: return ext(VK_DIVIDE);
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_APPLICATION: return ext(VK_APPS);
    case SDL_SCANCODE_LCTRL: return VK_LCONTROL;
    case SDL_SCANCODE_RCTRL: return VK_RCONTROL;
    case SDL_SCANCODE_LSHIFT: return VK_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return VK_RSHIFT;
    case SDL_SCANCODE_LALT: return VK_LMENU;
    case SDL_SCANCODE_RALT: return VK_RMENU;
    case SDL_SCANCODE_LGUI: return ext(VK_LWIN);
    case SDL_SCANCODE_RGUI: return ext(VK_RWIN);
    case SDL_SCANCODE_CANCEL: return ext(VK_CANCEL);
    default: return 0;
    }
}

}  // namespace win
