#include "platform/sdl_library.h"

#include <dlfcn.h>

#include <memory>

namespace win {

namespace {

std::unique_ptr<SdlLibrary> Load()
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
    return complete ? std::move(sdl) : nullptr;
}

}  // namespace

const SdlLibrary* OpenSdl()
{
    static const std::unique_ptr<SdlLibrary> library = Load();
    return library.get();
}

}  // namespace win
