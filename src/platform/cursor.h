#pragma once
// Mouse cursors and the text caret. Cursors: the system set (IDC_*) and images registered by the
// resource module under their ids; the backend shows the current one. The caret is one per
// thread, drawn inverted over the screen image when it is presented (so screen reads and
// BitBlt never see it), blinking by an internal timer.
#include <cstdint>
#include <vector>

#include "platform/win_styles.h"
#include "platform/win_types.h"

namespace win {

// A cursor image: 0xAARRGGBB pixels, width x height, with its hot spot.
struct CursorImage {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<std::uint32_t> pixels;
};

struct CursorObject {
    int systemId = 0;  // IDC_* for system cursors, 0 for images
    CursorImage image;
    bool shared = true;  // LoadCursor results are shared and never freed by DestroyCursor
};

// instance null: a system cursor by IDC_* id. Otherwise a resource cursor by id: one registered at
// run time, else the program's compiled picture (platform/resources.h); null when there is none.
HCURSOR LoadCursor(HINSTANCE instance, int id);
HICON LoadIcon(HINSTANCE instance, int id);
HCURSOR SetCursor(HCURSOR cursor);  // returns the previous cursor; null hides the pointer
HCURSOR GetCursor();
BOOL DestroyCursor(HCURSOR cursor);
BOOL DestroyIcon(HICON icon);
int ShowCursor(BOOL show);  // display counter; the pointer shows while it is >= 0
// Makes LoadCursor/LoadIcon of any instance find an image under this id, before the compiled ones.
void RegisterCursorResource(int id, const CursorImage& image);
void RegisterIconResource(int id, const CursorImage& image);

// --- caret ------------------------------------------------------------------------------------
// bitmap null: solid, (HBITMAP)1: grey; width or height 0: the system border width / height.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);
BOOL SetCaretPos(int x, int y);  // client coordinates of the caret's window
BOOL GetCaretPos(POINT* pt);
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT ms);

// Layer-internal: where the caret shows now (screen coordinates), empty when not visible.
RECT CaretScreenRect();

}  // namespace win
