#include "platform/sdl_library.h"

#include <dlfcn.h>

#include <memory>

namespace win {

namespace {

SdlLibrary* Load()
{
    // The library stays loaded to the end: SDL keeps threads and handlers of its own.
    void* handle = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    auto sdl = std::make_unique<SdlLibrary>();
    bool complete = true;
#define KQ5_SDL_LOOKUP(name)                                                                   \
    sdl->name = reinterpret_cast<decltype(sdl->name)>(dlsym(handle, "SDL_" #name));            \
    complete = complete && sdl->name != nullptr;
    KQ5_SDL_FUNCTIONS(KQ5_SDL_LOOKUP)
#undef KQ5_SDL_LOOKUP
    return complete ? sdl.release() : nullptr;
}

}  // namespace

namespace {
bool opened = false;
}  // namespace

const SdlLibrary* OpenSdl()
{
    // Never freed: the platform's own statics (the backend among them) end SDL from their
    // destructors at exit, which may run after this function's statics are gone.
    static const SdlLibrary* const library = [] {
        const SdlLibrary* loaded = Load();
        opened = loaded != nullptr;
        return loaded;
    }();
    return library;
}

bool SdlOpened() { return opened; }

}  // namespace win
