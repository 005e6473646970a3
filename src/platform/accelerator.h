#pragma once
// Accelerator tables: keys that give commands. An entry matches either a virtual key with its
// Shift, Ctrl and Alt state (FVIRTKEY) or a typed character (WM_CHAR, or WM_SYSCHAR with FALT).
#include <vector>

#include "platform/win_types.h"

namespace win {

constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FNOINVERT = 0x02;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

struct ACCEL {
    BYTE fVirt = 0;
    WORD key = 0;
    WORD cmd = 0;
};

HACCEL CreateAcceleratorTable(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// Copies up to count entries into out (all of them when out is null) and returns how many the
// table holds.
int CopyAcceleratorTable(HACCEL table, ACCEL* out, int count);
// A table of the program's resources by id; the same handle on every call (instance ignored).
HACCEL LoadAccelerators(HINSTANCE instance, UINT_PTR id);

// When the message is a key or character that an entry of the table matches, sends hwnd the
// entry's command and returns 1: WM_SYSCOMMAND when the command is an item of the window's system
// menu, otherwise WM_COMMAND with 1 in the high word of wParam. A command that is an item of the
// window's menu is announced first with WM_INITMENU and WM_INITMENUPOPUP, and is not sent while
// that item is greyed or the window is an icon. Returns 0 when nothing matched.
int TranslateAccelerator(HWND hwnd, HACCEL table, const MSG* msg);

}  // namespace win
