// Choosing and holding the backend, and resetting the whole layer for tests.
#include "platform/backend.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/clipboard.h"
#include "platform/gdi_state.h"
#include "platform/global_memory.h"
#include "platform/metafile.h"
#include "platform/print.h"
#include "platform/winhelp.h"
#include "platform/headless_backend.h"
#include "platform/screen.h"
#include "platform/sdl_backend.h"
#include "platform/sdl_library.h"
#include "platform/user_state.h"

namespace win {

namespace {

std::unique_ptr<Backend>& Current() {
    static std::unique_ptr<Backend> backend;
    return backend;
}

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

Backend& CurrentBackend() {
    auto& b = Current();
    if (!b) b = std::make_unique<HeadlessBackend>();
    return *b;
}

void SetBackend(std::unique_ptr<Backend> backend) { Current() = std::move(backend); }

BackendKind CurrentBackendKind() { return CurrentBackend().Kind(); }

// SDL falls back to its invisible "offscreen" driver when it cannot reach the display: a frame
// drawn there is a program nobody can see. Only a user who asks for such a driver gets one.
bool RealVideoDriver() {
    const char* driver = Sdl().GetCurrentVideoDriver();
    if (driver == nullptr) return false;
    if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return true;
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    return asked && std::strstr(asked, driver) != nullptr;
}

// The video subsystem stays up once it has found the display. Closing the connection and
// opening it again at once fails on an X server that nobody else is connected to: the server
// resets when its last client leaves, and refuses connections while it does.
bool DisplayAvailable() {
    if (!EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) return false;
    if (OpenSdl() == nullptr) return false;
    if (Sdl().WasInit(SDL_INIT_VIDEO)) return RealVideoDriver();
    // A display that is starting, or resetting after its last client left, refuses for a
    // moment: it is asked three times over half a second before the program gives up on it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (Sdl().InitSubSystem(SDL_INIT_VIDEO) != 0) continue;
        if (RealVideoDriver()) return true;
        Sdl().QuitSubSystem(SDL_INIT_VIDEO);
    }
    return false;
}

BackendKind InitPlatform(const PlatformOptions& options) {
    const char* env = std::getenv("KQ5_HEADLESS");
    bool headless = options.headless || options.unseen || (env && std::strcmp(env, "0") != 0 && *env) || !DisplayAvailable();
    if (!headless) {
        if (auto sdl = CreateSdlBackend(options)) {
            SetBackend(std::move(sdl));
            ResetUserStateForTests();
            return BackendKind::Sdl;
        }
    }
    if (SdlOpened() && Sdl().WasInit(SDL_INIT_VIDEO)) Sdl().QuitSubSystem(SDL_INIT_VIDEO);
    CreateScreen(options.width > 0 ? options.width : 1024, options.height > 0 ? options.height : 768);
    SetScreenUnseen(options.unseen);
    SetBackend(std::make_unique<HeadlessBackend>());
    ResetUserStateForTests();
    return BackendKind::Headless;
}

void ShutdownPlatform() {
    ResetUserStateForTests();
    SetBackend(nullptr);
}

void ResetPlatformForTests(int width, int height) {
    ResetUserStateForTests();
    // The clipboard holds bitmaps and metafiles, so it goes before the GDI objects do.
    ResetClipboardStateForTests();
    ResetMetafileStateForTests();
    ResetPrintStateForTests();
    ResetHelpStateForTests();
    ResetGlobalMemoryStateForTests();
    ResetGdiStateForTests();
    CreateScreen(width, height);
    SetBackend(std::make_unique<HeadlessBackend>());
    ResetUserStateForTests();
}

}  // namespace win
