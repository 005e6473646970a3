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

void InitColorTable() {}
void FreeColorTable() {}
void LoadSystemColorRows() {}
void RealizeAppPalette(win::HDC) {}
void RunColorCommand(WindowRecord*) { WarnNotAvailable(17450); }
void RunPreferencesDialog() { WarnNotAvailable(18410); }
void RunGlobalSettingsDialog() { WarnNotAvailable(18408); }
void RunTitleBlockDialog() { WarnNotAvailable(18409); }
void RunCharacteristicsDialog(WindowRecord*) { WarnNotAvailable(17220); }
void ShowCalculator() { WarnNotAvailable(17312); }
void ShowAboutBox() { WarnNotAvailable(17804); }

void PrintActiveWindowPicture() { WarnNotAvailable(12510); }

}  // namespace kq5
