#pragma once
// Queue internals shared by the message modules: hardware input events, timers, hooks and the
// journal playback position.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/message.h"

namespace win {

struct InputEvent {
    enum class Kind { Move, Button, Wheel, Key, Char };
    Kind kind = Kind::Move;
    POINT pt;  // pointer position when the event happened (screen)
    MouseButton button = MouseButton::Left;
    bool down = false;
    int vk = 0;
    int scan = 0;
    bool extended = false;
    int wheel = 0;
    BYTE ch = 0;
    UINT journalMessage = 0;         // a played-back key keeps the message kind it was given
    bool hasText = false;            // Key: printable text comes from the desktop, not the US table
    std::string text;                // Key: what it typed
    DWORD time = 0;
};

struct TimerEntry {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    DWORD due = 0;
};

}  // namespace win

// Hook handles point at these.
struct win::HookObject {
    int type = 0;
    HOOKPROC proc = nullptr;
    bool removed = false;
};

namespace win {

struct QueueState {
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    std::deque<InputEvent> input;
    std::vector<TimerEntry> timers;
    UINT_PTR nextThreadTimerId = 0x7FF0;
    std::vector<std::unique_ptr<HookObject>> hooks;  // newest last
    int hookCallDepth = 0;

    BYTE keyState[256] = {};    // as of the messages read: 0x80 down, 0x01 toggled
    BYTE asyncState[256] = {};  // physical: 0x80 down, 0x01 pressed since last asked
    POINT cursorPos{0, 0};      // where the pointer is (physical or played back)
    HWND capture = nullptr;
    int buttonsDown = 0;  // MK_ bits of the pointer buttons as of the messages read
    bool pointerOnScreen = false;    // the pointer has moved over the screen and not left it
    HWND pointerWindow = nullptr;    // the window the last pointer message went to
    bool windowsChanged = false;     // windows moved, came or went since the queue last looked

    // Double-click detection.
    UINT lastClickMsg = 0;
    HWND lastClickWnd = nullptr;
    DWORD lastClickTime = 0;
    POINT lastClickPt{0, 0};
    bool lastWasDoubleClick = false;

    DWORD lastMsgTime = 0;
    POINT lastMsgPos{0, 0};

    // What TranslateMessage needs to know of the last key message read.
    MSG lastKeyMsg;
    std::string lastKeyText;
    bool lastKeyHasText = false;

    // Journal playback.
    bool journalEventReady = false;
    EVENTMSG journalEvent;
    DWORD journalWaitUntil = 0;
    bool journalWaiting = false;

    int dispatchDepth = 0;
};

// Calls the chain of hooks of one type, newest first; 0 when none is installed.
bool HasHook(int type);
LRESULT CallHookChain(int type, int code, WPARAM wParam, LPARAM lParam);

// Input side of the queue (message_input.cpp).
struct PendingInput {
    MSG msg;
    bool fromJournal = false;
    std::size_t index = 0;  // into the input queue when not from the journal
    InputEvent event;
    HWND target = nullptr;
    int hit = 0;          // hit-test code of a mouse message
    bool client = false;  // a client-area mouse message
    bool refused = false; // a click on a disabled window: only WM_SETCURSOR with HTERROR
};
// The next input message matching the filter, without side effects; false when none is ready.
bool PeekInput(HWND filter, UINT filterMin, UINT filterMax, PendingInput* out);
// Takes the message found by PeekInput out of the queue, updating key state, pointer and
// double-click memory. Returns false when the keyboard hook or the activation ate it.
bool RemoveInput(PendingInput& pending, MSG* msg, bool remove);
// Queues a move of the still pointer when the windows changed since the last look and another
// window now lies under it, as a real window system reports the crossing.
void QueuePointerCrossing();
// Milliseconds until the next journal event may play, or -1 when none is waiting.
int JournalDelayRemaining(DWORD now);

// The WM_CHAR code of a key, or -1 (input_keys.cpp). With printable false only control codes
// (Ctrl+letter, Backspace, Tab, Enter, Esc) come from the table.
int CharForKey(int vk, bool shift, bool ctrl, bool alt, bool caps, bool printable);

// Timers (message_timer.cpp).
bool FindDueTimer(HWND filter, DWORD now, MSG* msg, bool remove);
int MsUntilNextTimer(DWORD now);  // -1 when there is no timer
void KillTimersOfWindow(HWND hwnd);

// Layer clock.
DWORD LayerNow();
bool MessageMatches(const MSG& m, HWND filter, UINT filterMin, UINT filterMax);

}  // namespace win
