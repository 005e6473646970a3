// TEMPORARY stand-ins for the functions of the settings, menus and bars, and dialogs branches;
// this file goes at the merge.
#include "app/pending_seams.h"

#include "app/command_routing.h"
#include "platform/dialog.h"

namespace kq5 {

void ReadSettings() {}
void WriteSettings() {}
void LoadUsageFile() {}
void WriteUsageReport() {}
void CountCommandUse(int) {}
void PlaceDialog(win::HWND, bool, const win::POINT*) {}
void CloseDialog(win::HWND dialog, win::INT_PTR result) { win::EndDialog(dialog, result); }
int DetectFileKind(const std::string& name, int)
{
    const std::size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    auto is = [&ext](const char* e) { return ext.size() == 3 && (ext[0] | 0x20) == e[0] && (ext[1] | 0x20) == e[1] && (ext[2] | 0x20) == e[2]; };
    if (is("cir")) return 1;
    if (is("ckt")) return 2;
    if (is("lbr")) return 3;
    return -1;
}
int AskOpenFileNameByKind(WindowRecord*, std::string&, int) { WarnNotAvailable(17102); return -1; }
void DeleteFileCommand() { WarnNotAvailable(12508); }
void ShowHelpTopic(int commandId, int) { WarnNotAvailable(commandId); }
std::string RecentFileName(int) { return {}; }

void LoadMenus(win::HWND) {}
void DestroyMenus() {}
win::HMENU WindowMenuPopup() { return nullptr; }
void InitMenuPopupItems(win::HMENU) {}
void LoadCursors() {}
void DestroyCursors() {}
void PrepareToolButtonTable() {}
void LoadToolButtonBitmaps() {}
void CreateDockedBars() {}
void FreeToolBars() {}
void RunToolBarDialog() { WarnNotAvailable(10185); }
void ToggleToolWindow(int slot) { WarnNotAvailable(slot == 0 ? 17539 : 17540 + slot); }
void ToggleStatusBar() { WarnNotAvailable(17540); }
bool StatusBarOptionOn() { return false; }
void CreateFrameStatusBar() {}
void LayoutFrameBars(win::RECT&) {}
void ForwardToBars(win::UINT, win::WPARAM, win::LPARAM) {}
void ToolBarDragStart(win::POINT) {}
void ToolBarDragMove(win::POINT) {}
void ToolBarDragEnd(win::POINT) {}
void ShowMenuHelp(win::UINT, int) {}
void ShowPointerHelp(win::HWND) {}
void UpdateToolButtonStates() {}
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
