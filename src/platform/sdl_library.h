#pragma once
// SDL2 is opened when the program first looks for a display: a batch run, which never shows a
// window, starts without loading it and the desktop libraries it pulls in (X11 input, Wayland,
// sound, D-Bus), which would otherwise take most of a short run's start-up.
#include <SDL.h>

namespace win {

// The SDL functions the layer calls, each a member of the same name without the prefix.
#define KQ5_SDL_FUNCTIONS(X)                                                                            \
    X(InitSubSystem) X(QuitSubSystem) X(WasInit) X(GetCurrentVideoDriver) X(GetDisplayUsableBounds)     \
    X(CreateWindow) X(DestroyWindow) X(SetHint) X(CreateRenderer) X(DestroyRenderer) X(CreateTexture)   \
    X(DestroyTexture) X(UpdateTexture) X(RenderClear) X(RenderCopy) X(RenderPresent) X(GetTicks)        \
    X(EventState) X(StartTextInput) X(PumpEvents) X(PeepEvents) X(WaitEvent) X(WaitEventTimeout)        \
    X(GetMouseState) X(ShowCursor) X(SetCursor) X(FreeCursor) X(CreateSystemCursor) X(CreateColorCursor) \
    X(CreateRGBSurfaceWithFormatFrom) X(FreeSurface) X(GetClipboardText) X(SetClipboardText) X(free)

struct SdlLibrary {
#define KQ5_SDL_MEMBER(name) decltype(&::SDL_##name) name = nullptr;
    KQ5_SDL_FUNCTIONS(KQ5_SDL_MEMBER)
#undef KQ5_SDL_MEMBER
};

// Opens SDL2 on the first call; null when it cannot be loaded (then there is no display).
const SdlLibrary* OpenSdl();
// True once OpenSdl has loaded the library; never loads it (a batch job has no use for it).
bool SdlOpened();
// The functions once OpenSdl has answered with them (the SDL backend exists only then).
inline const SdlLibrary& Sdl() { return *OpenSdl(); }

}  // namespace win
