#pragma once
// The help bar: one line of help text at the foot of the frame (and of some dialogs) for whatever
// the pointer is over, and the progress text of long work. While the Help Bar option is off every
// operation here does nothing.
#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kq5 {

struct HelpBar {
    win::HWND window = nullptr;
    win::HWND parent = nullptr;
    int lines = 1;
    std::array<int, 2> lastIds{0, 0};  // message id last shown per caller slot; -1 after a literal text
    std::string text;
};

// The frame's bar.
HelpBar& FrameHelpBar();
void ResetHelpBarForTests();

// Texts the help bar cannot find in the string table: given by the parts that own the lists
// (the recent files come from the menus' sources).
struct HelpBarTextSources {
    std::function<std::string(int)> recentComponentText;   // 0 to 9
    std::function<int()> componentCount;
    std::function<std::string(int)> componentDescription;  // the n-th definition of the library
};
HelpBarTextSources& HelpBarSources();

// The text a message id shows in the bar (its first line only when shown).
std::string HelpBarTextForId(int id);

// Shows a message id in the bar (nullptr: the frame's); returns the id shown before (0 none).
int SetHelpBarMessageId(win::HWND bar, int id);
int HelpBarMessageId();
// -1 without a bar; while frozen the current id, unchanged.
int ShowHelpBarMessage(HelpBar* bar, int id);
int ShowHelpBarText(HelpBar* bar, std::string_view text);
// The first line of the text in the bar.
void SetBarText(HelpBar* bar, std::string_view text);
std::string_view FirstLine(std::string_view text);

void FreezeHelpBar();
void UnfreezeHelpBar();
bool IsHelpBarFrozen();

// Texts of the parts of a window frame by hit-test code (0 for none).
int NonClientHelpMessageId(int hitTest);
int ShowNonClientHelp(HelpBar* bar, int hitTest);
// Dialog controls: OK, Cancel, Font, Help and the colour buttons have texts; others clear it.
int DlgControlHelpId(int controlId);
void ShowDlgControlHelp(HelpBar* bar, int controlId);

// The bar window (class "stbar").
constexpr const char* kHelpBarClass = "stbar";
bool CreateStatusBar(win::HWND parent, HelpBar& bar);
void ToggleStatusBar(HelpBar& bar);
void PositionStatusBar(HelpBar& bar, int parentWidth, int parentHeight);
void ExtendDialogForHelpBar(HelpBar& bar);
void ShrinkDialogForHelpBar(win::HWND dialog);
void DetachHelpBar(HelpBar& bar);
// Height of one line of the bar in pixels (measured when a bar is created).
int HelpBarLineHeight();
// The Help Bar option.
bool HelpBarOption();
void SetHelpBarOption(bool on);

}  // namespace kq5
