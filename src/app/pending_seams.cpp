// TEMPORARY stand-ins for the functions of the settings, menus and bars, and dialogs branches;
// this file goes at the merge.
#include "app/pending_seams.h"

#include "app/command_routing.h"

namespace kq5 {

void ToolBarDragStart(win::POINT) {}
void ToolBarDragMove(win::POINT) {}
void ToolBarDragEnd(win::POINT) {}
void ShowPointerHelp(win::HWND) {}
void RunFontCommand(WindowRecord*) { WarnNotAvailable(17452); }

void OnColorCommand(WindowRecord*) { WarnNotAvailable(17450); }

void PrintActiveWindowPicture() { WarnNotAvailable(12510); }

}  // namespace kq5
