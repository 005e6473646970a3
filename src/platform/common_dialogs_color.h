#pragma once
// The colour dialog (ChooseColor): 48 basic colours, 16 custom colours that the program keeps,
// and, when opened full, red, green and blue fields with a sample and "Add to Custom Colors".
#include <array>
#include <optional>

#include "platform/common_dialogs.h"

namespace win {

constexpr DWORD CC_RGBINIT = 0x00000001;
constexpr DWORD CC_FULLOPEN = 0x00000002;
constexpr DWORD CC_PREVENTFULLOPEN = 0x00000004;
constexpr DWORD CC_SHOWHELP = 0x00000008;
constexpr DWORD CC_ENABLEHOOK = 0x00000010;
constexpr DWORD CC_ENABLETEMPLATE = 0x00000020;
constexpr DWORD CC_SOLIDCOLOR = 0x00000080;
constexpr DWORD CC_ANYCOLOR = 0x00000100;

// The layer's template and its items.
constexpr int kColorDialogTemplate = 10;
constexpr int kColorRedEdit = 706;
constexpr int kColorGreenEdit = 707;
constexpr int kColorBlueEdit = 708;
constexpr int kColorSample = 709;
constexpr int kColorAddCustom = 712;
constexpr int kColorDefineCustom = 719;
constexpr int kColorHelpButton = 1038;
constexpr int kBasicColorCell = 800;   // + 0..47, row by row
constexpr int kCustomColorCell = 900;  // + 0..15
constexpr int kBasicColorCount = 48;

using CustomColors = std::array<COLORREF, 16>;
using LPCCHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct CHOOSECOLOR {
    DWORD lStructSize = sizeof(CHOOSECOLOR);
    HWND hwndOwner = nullptr;
    HINSTANCE hInstance = nullptr;
    COLORREF rgbResult = 0;                  // in with CC_RGBINIT; out
    CustomColors* lpCustColors = nullptr;    // in and out (written only when confirmed)
    DWORD Flags = 0;
    LPARAM lCustData = 0;
    LPCCHOOKPROC lpfnHook = nullptr;
    const char* lpTemplateName = nullptr;
};

BOOL ChooseColor(CHOOSECOLOR* cc);

// The basic colours, row by row.
COLORREF BasicColor(int index);

// Queues the colour the next colour dialog is given (typed into its fields) before OK;
// nothing = Cancel.
void ScriptColorDialogAnswer(std::optional<COLORREF> color);

}  // namespace win
