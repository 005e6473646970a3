#pragma once
// The SDL2 backend: one desktop window that shows the virtual screen and feeds mouse, keyboard,
// text and dropped files into the input queue.
#include <memory>

#include "platform/backend.h"

namespace win {

// Called once when the display's server goes away under the program; the process ends with
// status 1 when it returns (nothing can be drawn or asked any more).
void SetDisplayLostHandler(void (*handler)());

// Null when SDL cannot open its window.
std::unique_ptr<Backend> CreateSdlBackend(const PlatformOptions& options);

// Virtual key and extended flag of an SDL key (declared with plain ints to keep SDL out of the
// layer's headers); 0 when the key has none.
int VirtualKeyFromSdl(int sdlKeycode, int sdlScancode, bool* extended);

}  // namespace win
