#pragma once
// The font dialog (ChooseFont): the faces fontconfig knows (all scalable; filtered to fixed
// pitch or TrueType when asked), four styles, sizes up to 72 points (or the program's limits),
// and with effects strike-out, underline and one of sixteen colours; a sample shows the choice.
#include <optional>
#include <string>
#include <vector>

#include "platform/common_dialogs.h"
#include "platform/font.h"

namespace win {

constexpr DWORD CF_SCREENFONTS = 0x00000001;
constexpr DWORD CF_PRINTERFONTS = 0x00000002;
constexpr DWORD CF_BOTH = CF_SCREENFONTS | CF_PRINTERFONTS;
constexpr DWORD CF_SHOWHELP = 0x00000004;
constexpr DWORD CF_ENABLEHOOK = 0x00000008;
constexpr DWORD CF_ENABLETEMPLATE = 0x00000010;
constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x00000040;
constexpr DWORD CF_USESTYLE = 0x00000080;
constexpr DWORD CF_EFFECTS = 0x00000100;
constexpr DWORD CF_WYSIWYG = 0x00008000;
constexpr DWORD CF_LIMITSIZE = 0x00002000;
constexpr DWORD CF_FIXEDPITCHONLY = 0x00004000;
constexpr DWORD CF_FORCEFONTEXIST = 0x00010000;
constexpr DWORD CF_SCALABLEONLY = 0x00020000;
constexpr DWORD CF_TTONLY = 0x00040000;

constexpr WORD BOLD_FONTTYPE = 0x0100;
constexpr WORD ITALIC_FONTTYPE = 0x0200;
constexpr WORD REGULAR_FONTTYPE = 0x0400;
constexpr WORD SCREEN_FONTTYPE = 0x2000;
constexpr WORD PRINTER_FONTTYPE = 0x4000;

// The layer's template and its items.
constexpr int kFontDialogTemplate = 1543;
constexpr int kFontFaceCombo = 1136;
constexpr int kFontStyleCombo = 1137;
constexpr int kFontSizeCombo = 1138;
constexpr int kFontColorCombo = 1139;
constexpr int kFontStrikeOutCheck = 1040;
constexpr int kFontUnderlineCheck = 1041;
constexpr int kFontSample = 1092;
constexpr int kFontHelpButton = 1038;
constexpr int kFontEffectsGroup = 1072;
constexpr int kFontColorLabel = 1091;

using LPCFHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct CHOOSEFONT {
    DWORD lStructSize = sizeof(CHOOSEFONT);
    HWND hwndOwner = nullptr;
    HDC hDC = nullptr;               // the printer's DC with CF_PRINTERFONTS (its resolution)
    LOGFONT* lpLogFont = nullptr;    // in with CF_INITTOLOGFONTSTRUCT; out
    int iPointSize = 0;              // out: tenths of a point
    DWORD Flags = 0;
    COLORREF rgbColors = 0;          // in and out with CF_EFFECTS
    LPARAM lCustData = 0;
    LPCFHOOKPROC lpfnHook = nullptr;
    const char* lpTemplateName = nullptr;
    HINSTANCE hInstance = nullptr;
    std::string lpszStyle;           // in and out with CF_USESTYLE ("Bold Italic")
    WORD nFontType = 0;              // out
    int nSizeMin = 0;                // points, with CF_LIMITSIZE
    int nSizeMax = 0;
};

BOOL ChooseFont(CHOOSEFONT* cf);

struct FontFaceInfo {
    std::string name;
    bool fixedPitch = false;
    bool trueType = false;
};
// The scalable faces fontconfig offers, sorted by name.
std::vector<FontFaceInfo> ListFontFaces();

// What a user picks in the next font dialog before OK (fields left empty keep the dialog's).
struct FontDialogAnswer {
    std::string face;
    std::string size;  // as typed, in points ("12", "10.5")
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<bool> strikeOut;
    std::optional<COLORREF> color;  // one of the sixteen colours
};
// Queues the next font dialog's answer; nothing = Cancel.
void ScriptFontDialogAnswer(std::optional<FontDialogAnswer> answer);

}  // namespace win
