// The headless backend and the test driver that runs the program's message processing.
#include "platform/headless.h"

#include <algorithm>
#include <cstdio>

#include "platform/headless_backend.h"
#include "platform/message.h"
#include "platform/screen.h"
#include "platform/user_state.h"

namespace win {

bool HeadlessBackend::WaitForEvents(int timeoutMs) {
    if (timeoutMs >= 0) {
        clock_ += static_cast<DWORD>(timeoutMs);
        return true;
    }
    if (idle_ && !inIdle_) {
        inIdle_ = true;
        bool produced = idle_();
        inIdle_ = false;
        return produced;
    }
    return false;
}

}  // namespace win

namespace win::headless {

namespace {

constexpr int kMessageLimit = 200000;

HeadlessBackend* Backend() {
    auto& b = CurrentBackend();
    return b.Kind() == BackendKind::Headless ? static_cast<HeadlessBackend*>(&b) : nullptr;
}

// The key and shift state that types a character on the US layout; false when none does.
bool KeyForChar(BYTE ch, int* vk, bool* shift) {
    if (ch == '\r' || ch == '\n') {
        *vk = VK_RETURN;
        *shift = false;
        return true;
    }
    if (ch == '\t') {
        *vk = VK_TAB;
        *shift = false;
        return true;
    }
    for (int candidate = 0x20; candidate < 0xE0; ++candidate) {
        if (candidate >= VK_NUMPAD0 && candidate <= VK_DIVIDE) continue;
        for (int s = 0; s < 2; ++s)
            if (CharOfVirtualKey(candidate, s != 0, false) == ch) {
                *vk = candidate;
                *shift = s != 0;
                return true;
            }
    }
    return false;
}

}  // namespace

void MoveMouse(int x, int y) { InputMouseMove(x, y); }
void MouseDown(MouseButton button) { InputMouseButton(button, true); }
void MouseUp(MouseButton button) { InputMouseButton(button, false); }

void Click(int x, int y, MouseButton button) {
    InputMouseMove(x, y);
    InputMouseButton(button, true);
    InputMouseButton(button, false);
}

void DoubleClick(int x, int y) {
    Click(x, y);
    Click(x, y);
}

void KeyDown(int vk) { InputKey(vk, true); }
void KeyUp(int vk) { InputKey(vk, false); }

void PressKey(int vk) {
    InputKey(vk, true);
    InputKey(vk, false);
}

void PressKeyWithModifiers(int vk, bool ctrl, bool shift, bool alt) {
    if (ctrl) InputKey(VK_CONTROL, true);
    if (shift) InputKey(VK_SHIFT, true);
    if (alt) InputKey(VK_MENU, true);
    PressKey(vk);
    if (alt) InputKey(VK_MENU, false);
    if (shift) InputKey(VK_SHIFT, false);
    if (ctrl) InputKey(VK_CONTROL, false);
}

void TypeText(const std::string& text) {
    for (char c : text) {
        int vk = 0;
        bool shift = false;
        if (KeyForChar(static_cast<BYTE>(c), &vk, &shift))
            PressKeyWithModifiers(vk, false, shift);
        else
            InputChar(static_cast<BYTE>(c));
    }
}

int RunUntilIdle() {
    int count = 0;
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
        if (++count >= kMessageLimit) {
            std::fprintf(stderr, "kq5 headless: the queue never ran empty (%d messages)\n", count);
            break;
        }
    }
    return count;
}

void AdvanceClock(DWORD ms) {
    auto* b = Backend();
    if (!b) return;
    RunUntilIdle();
    while (ms > 0) {
        DWORD now = b->Now();
        int next = MsUntilNextTimer(now);
        int journal = JournalDelayRemaining(now);
        if (journal >= 0 && (next < 0 || journal < next)) next = journal;
        DWORD step = (next < 0 || static_cast<DWORD>(next) > ms) ? ms : std::max<DWORD>(1, static_cast<DWORD>(next));
        b->Advance(step);
        ms -= step;
        RunUntilIdle();
    }
}

DWORD Clock() { return CurrentBackend().Now(); }

bool SaveScreenshot(const std::string& path) { return SaveScreenPng(path); }

void SetIdleHandler(std::function<bool()> handler) {
    if (auto* b = Backend()) b->SetIdleHandler(std::move(handler));
}

}  // namespace win::headless
