#pragma once
// The virtual screen: one Cairo ARGB32 image that holds every top-level window. Window DCs draw
// straight into it; the backend presents it.
#include <cairo.h>

#include <string>

#include "platform/win_types.h"

namespace win {

cairo_surface_t* ScreenSurface();
SIZE ScreenSize();
// Creates (or re-creates, cleared) the screen image. Done by the backend at start-up.
void CreateScreen(int width, int height);
// A screen nobody looks at (a command-line batch run): no window is painted on it and nothing
// draws into its image. Windows keep their places and sizes. A new screen is seen again.
void SetScreenUnseen(bool unseen);
bool ScreenUnseen();
// Drawing that bypasses DCs tells the presenter here; DCs mark the screen through it too.
void MarkScreenDirty();
bool TakeScreenDirty();
// Writes the screen (with the caret as shown) to a PNG file; false on failure.
bool SaveScreenPng(const std::string& path);
// Reads one screen pixel as a COLORREF (tests and the screen grab).
COLORREF ScreenPixel(int x, int y);

}  // namespace win
