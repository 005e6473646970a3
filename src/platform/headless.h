#pragma once
// The headless backend: no desktop window; input is injected, time is a test clock that moves
// only when asked (or while a message loop waits for a timer), and the screen can be saved as a
// PNG. The test driver below runs the program's own message processing.
#include <functional>
#include <string>

#include "platform/backend.h"
#include "platform/input.h"

namespace win::headless {

// Pointer and keys, as a user would produce them (they go through the input queue).
void MoveMouse(int x, int y);
void MouseDown(MouseButton button = MouseButton::Left);
void MouseUp(MouseButton button = MouseButton::Left);
void Click(int x, int y, MouseButton button = MouseButton::Left);
void DoubleClick(int x, int y);
void KeyDown(int vk);
void KeyUp(int vk);
void PressKey(int vk);                   // down and up
void PressKeyWithModifiers(int vk, bool ctrl, bool shift, bool alt = false);
void TypeText(const std::string& text);  // Windows-1252 text, one key press per character

// Dispatches every message that is ready (translating keys), painting included, until the queue
// is empty; timers fire only when due by the test clock. Returns the number of messages handled.
// Stops early at WM_QUIT, which it leaves queued.
int RunUntilIdle();
// Moves the test clock forward, firing the timers and playing the journal events that fall due,
// and runs until idle at each step.
void AdvanceClock(DWORD ms);
DWORD Clock();
bool SaveScreenshot(const std::string& path);
// Called when a message loop would wait with nothing due (a modal loop in a test): it may inject
// input and returns true when it did. Without one, such a loop is ended with WM_QUIT.
void SetIdleHandler(std::function<bool()> handler);

}  // namespace win::headless
