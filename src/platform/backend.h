#pragma once
// Backends put the virtual screen in front of the user and feed desktop input into the queue.
// SDL2 shows one desktop window with the screen image; headless has no window at all (tests and
// batch runs) and runs on a test clock. The program picks SDL2 when a display is available.
#include <memory>
#include <string>

#include "platform/win_types.h"

namespace win {

enum class BackendKind { Headless, Sdl };

struct PlatformOptions {
    bool headless = false;  // also chosen by the environment variable KQ5_HEADLESS=1
    bool unseen = false;    // headless and never looked at: windows are not painted (batch runs)
    int width = 0;          // screen size; 0 picks one (headless 1024 x 768)
    int height = 0;
    std::string title = "Kestrion V";
};

// Sets the platform up: the screen, the backend and the layer's state. Falls back to headless
// when no display can be opened.
BackendKind InitPlatform(const PlatformOptions& options);
void ShutdownPlatform();
BackendKind CurrentBackendKind();
bool DisplayAvailable();  // a display to open (DISPLAY or WAYLAND_DISPLAY) and SDL video works

class Backend {
public:
    virtual ~Backend() = default;
    virtual BackendKind Kind() const = 0;
    // Milliseconds since start (the test clock when headless).
    virtual DWORD Now() = 0;
    // What GetTickCount answers. On the test clock, a program that keeps asking without reading
    // its queue (a busy wait) sees the clock move on by 1 ms a call, so it always gets out.
    virtual DWORD TickCount() { return Now(); }
    // The queue was read; ends a busy wait.
    virtual void QueueRead() {}
    // Moves desktop events into the input queue; cheap when there are none.
    virtual void PumpEvents() = 0;
    // Waits until an event arrives or timeoutMs passes (-1: no limit). Headless moves its clock
    // forward instead of sleeping; it returns false when nothing can ever arrive.
    virtual bool WaitForEvents(int timeoutMs) = 0;
    // Shows the screen image if it changed; throttled unless forced.
    virtual void Present(bool force) = 0;
    // The current cursor changed (null hides the pointer).
    virtual void CursorChanged(HCURSOR cursor) = 0;
};

Backend& CurrentBackend();
// Installs a backend (InitPlatform does this; tests may install their own).
void SetBackend(std::unique_ptr<Backend> backend);

// Resets every piece of the layer's state (windows, queue, timers, hooks, caret, cursors, GDI,
// screen) and installs a fresh headless backend with its clock at 0. For tests.
void ResetPlatformForTests(int width = 1024, int height = 768);

}  // namespace win
