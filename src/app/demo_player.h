#pragma once
// The demo player: a script drives the real interface through journal playback (pointer moves,
// clicks, keys, menu walks), so the ordinary program does the work while the user watches. The
// user's open documents are saved aside before a demo and reopened after it. The same player
// runs the end-to-end scripts of the tests.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

constexpr int kCmdFirstDemo = 17806;
constexpr int kCmdLastDemo = 17816;
constexpr int kCmdDemoMessage = 3889;

// Plays the demo that starts after LABEL startLabel (-1: the script from its start).
void PlayDemo(int startLabel);
// Ends the demo once; restore reopens the documents saved aside.
void StopDemo(bool restore);
// The file dialogs and the circuit loader call this when they fail during a demo.
void RequestDemoStop();
// Long work in answer to a demo step holds the player while it is set.
void SetDemoHold(bool hold);
bool DemoPlaying();

win::LRESULT DemoPlaybackHookProc(int code, win::WPARAM wParam, win::LPARAM lParam);

// The frame's menu notifications; they act only while a demo plays.
void DemoMenuPopupOpened(win::HMENU popup);
void DemoMenuSelected(win::HMENU menu, unsigned item, unsigned flags);

// Command 3889: the demo's text in a message box over the active window.
void ShowDemoMessage();

// Tests: the script file to play instead of demo.kq5 beside the program (empty: the program's),
// and the directory the documents were saved aside in while a demo plays.
void SetDemoScriptPathForTests(const std::string& path);
const std::string& DemoSaveDirectory();
void ResetDemoPlayerForTests();

}  // namespace kq5
