#pragma once
// Hardware input as the backends deliver it: the pointer in screen coordinates, buttons, keys
// with their scan codes and the characters they typed, and files dropped on the screen. Events
// are queued and turned into messages when the queue is read (capture, hit-testing and double
// clicks are decided then, as with real input).
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace win {

enum class MouseButton { Left, Right, Middle };

void InputMouseMove(int x, int y);
// The pointer has left the screen: no window lies under it until it next moves.
void InputPointerLeft();
void InputMouseButton(MouseButton button, bool down);
void InputMouseWheel(int delta);
// vk: virtual key; scan: set-1 scan code (0: looked up from vk). text: null lets TranslateMessage
// use the layer's US layout; otherwise the desktop tells what printable text the key typed
// (Windows-1252, may be empty, or arrive later through AttachTextToLastKey).
void InputKey(int vk, bool down, int scan = 0, bool extended = false, const std::string* text = nullptr);
// Text the desktop reports right after a key press: given to that key when it is still queued,
// else typed as characters of their own.
void InputKeyText(const std::string& text);
// A character typed without a key of its own (input methods, compose keys): one WM_CHAR.
void InputChar(BYTE ch);
// Files dropped at a screen point: WM_DROPFILES to the window there that accepts files.
void InputDropFiles(int x, int y, const std::vector<std::string>& paths);

// Scan code (set 1) of a virtual key and whether it is an extended key; 0 when it has none.
int ScanCodeOfVirtualKey(int vk, bool* extended = nullptr);
// The character a key types on the layer's US layout with the given shift and caps states, or 0.
int CharOfVirtualKey(int vk, bool shift, bool caps);

}  // namespace win
