// The caret: one per thread, shown inverted over the screen image when it is presented.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/bitmap.h"
#include "platform/caret_internal.h"
#include "platform/cursor.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {

CaretState& C() { return User().caret; }

void Restart() {
    auto& c = C();
    c.blinkOn = true;
    c.nextBlink = LayerNow() + c.blinkTime;
    MarkScreenDirty();
}

}  // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height) {
    auto* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    DestroyCaret();
    auto& c = C();
    c.hwnd = hwnd;
    c.grey = bitmap == reinterpret_cast<HBITMAP>(1);
    c.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
    c.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
    if (bitmap && !c.grey)
        if (auto* bmp = GdiCast<BitmapObject>(bitmap, GdiKind::Bitmap)) {
            c.width = bmp->width;
            c.height = bmp->height;
        }
    c.pos = POINT{0, 0};
    c.hideCount = 1;
    Restart();
    return TRUE;
}

BOOL DestroyCaret() {
    auto& c = C();
    if (!c.hwnd) return FALSE;
    c.hwnd = nullptr;
    c.hideCount = 1;
    MarkScreenDirty();
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    auto& c = C();
    if (!c.hwnd || (hwnd && hwnd != c.hwnd)) return FALSE;
    if (c.hideCount > 0 && --c.hideCount == 0) Restart();
    return TRUE;
}

BOOL HideCaret(HWND hwnd) {
    auto& c = C();
    if (!c.hwnd || (hwnd && hwnd != c.hwnd)) return FALSE;
    if (c.hideCount++ == 0) MarkScreenDirty();
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    auto& c = C();
    if (!c.hwnd) return FALSE;
    c.pos = POINT{x, y};
    Restart();
    return TRUE;
}

BOOL GetCaretPos(POINT* pt) {
    if (!pt) return FALSE;
    *pt = C().pos;
    return TRUE;
}

UINT GetCaretBlinkTime() { return C().blinkTime; }

BOOL SetCaretBlinkTime(UINT ms) {
    C().blinkTime = std::max<UINT>(ms, 50);
    return TRUE;
}

RECT CaretScreenRect() {
    auto& c = C();
    auto* w = LiveWindow(c.hwnd);
    if (!w || c.hideCount > 0 || !c.blinkOn || !IsDrawable(w)) return RECT{};
    POINT o = ClientOriginOnScreen(w);
    return RECT{o.x + c.pos.x, o.y + c.pos.y, o.x + c.pos.x + c.width, o.y + c.pos.y + c.height};
}

void CaretWindowDestroyed(HWND hwnd) {
    if (C().hwnd == hwnd) DestroyCaret();
}

int CaretBlinkTick(DWORD now) {
    auto& c = C();
    if (!LiveWindow(c.hwnd) || c.hideCount > 0) return -1;
    if (static_cast<int>(now - c.nextBlink) >= 0) {
        c.blinkOn = !c.blinkOn;
        c.nextBlink = now + c.blinkTime;
        MarkScreenDirty();
    }
    return static_cast<int>(c.nextBlink - now);
}

void ApplyCaretOverlay(unsigned char* data, int stride, int width, int height) {
    RECT r = CaretScreenRect();
    if (IsRectEmpty(r)) return;
    Region area = Region(r).Intersect(VisibleRegion(C().hwnd, true)).Intersect(Region(0, 0, width, height));
    for (const RECT& part : area.Rects())
        for (int y = part.top; y < part.bottom; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = part.left; x < part.right; ++x)
                if (!C().grey || ((x + y) & 1) == 0) row[x] ^= 0x00FFFFFFu;
        }
}

}  // namespace win
