#pragma once
// The message queue of the one thread: sent, posted, input, paint and timer messages in the
// classic order, keyboard state, mouse capture, timers and hooks (keyboard and journal playback).
//
// Order of retrieval: posted messages, then WM_QUIT once PostQuitMessage was called and no posted
// message is left, then input (real input, or the journal playback hook while one is installed),
// then WM_PAINT for windows with an update region, then WM_TIMER for due timers. A paint that is
// pending when a key arrives is therefore delivered after the key, never lost.
#include <functional>

#include "platform/win_messages.h"
#include "platform/win_types.h"

namespace win {

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
BOOL WaitMessage();
DWORD GetMessageTime();
DWORD GetMessagePos();  // MAKELONG(x, y) of the pointer when the last message was retrieved
DWORD GetCurrentThreadId();

// Runs a nested message loop (modal dialogs, menus, pauses) until done() returns true. Each
// message goes through filter first (when given; returning true means it was handled), else
// TranslateMessage and DispatchMessage. On WM_QUIT it posts the quit again, so the outer loop sees
// it too, and returns false; otherwise true.
bool RunNestedLoop(const std::function<bool()>& done, const std::function<bool(MSG&)>& filter = {});

// --- keyboard ---------------------------------------------------------------------------------
// State as of the last key message retrieved: bit 15 down, bit 0 toggled.
SHORT GetKeyState(int vk);
// Physical state now (bit 15 down) and bit 0 set when the key was pressed since the last call.
// Keys replayed by journal playback do not show here.
SHORT GetAsyncKeyState(int vk);
BOOL GetKeyboardState(BYTE state[256]);
UINT MapVirtualKey(UINT code, UINT mapType);

// --- mouse ------------------------------------------------------------------------------------
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL GetCursorPos(POINT* pt);
// Moves the pointer; always produces a WM_MOUSEMOVE, also to the point where it already is.
BOOL SetCursorPos(int x, int y);
UINT GetDoubleClickTime();

// --- timers -----------------------------------------------------------------------------------
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// --- hooks ------------------------------------------------------------------------------------
// WH_KEYBOARD: called with HC_ACTION (HC_NOREMOVE when peeked without removal), wParam = virtual
// key, lParam = key flags, before a key message is returned; a nonzero result discards the key.
// WH_JOURNALPLAYBACK: while installed it is the input source (real input is dropped, though
// GetAsyncKeyState still sees real keys): HC_GETNEXT fills the EVENTMSG at lParam and returns the
// delay in ms before it plays; HC_SKIP advances after the event was taken from the queue.
HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

}  // namespace win
