#pragma once
// The print dialogs (PrintDlg) over the layer's one printer, the PDF writer of print.h: the
// set-up dialog (orientation, paper), the print dialog (page range, copies, collation, with a
// "Setup..." button), and the default set-up returned without a dialog. The set-up lives in the
// DEVMODE and DEVNAMES global blocks the caller keeps; a cancelled dialog changes neither.
#include <optional>
#include <string>
#include <utility>

#include "platform/common_dialogs.h"
#include "platform/print.h"

namespace win {

constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_SELECTION = 0x00000001;
constexpr DWORD PD_PAGENUMS = 0x00000002;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_NOPAGENUMS = 0x00000008;
constexpr DWORD PD_COLLATE = 0x00000010;
constexpr DWORD PD_PRINTTOFILE = 0x00000020;
constexpr DWORD PD_PRINTSETUP = 0x00000040;
constexpr DWORD PD_NOWARNING = 0x00000080;
constexpr DWORD PD_RETURNDC = 0x00000100;
constexpr DWORD PD_RETURNIC = 0x00000200;
constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
constexpr DWORD PD_SHOWHELP = 0x00000800;
constexpr DWORD PD_ENABLEPRINTHOOK = 0x00001000;
constexpr DWORD PD_ENABLESETUPHOOK = 0x00002000;
constexpr DWORD PD_ENABLEPRINTTEMPLATE = 0x00004000;
constexpr DWORD PD_ENABLESETUPTEMPLATE = 0x00008000;
constexpr DWORD PD_USEDEVMODECOPIES = 0x00040000;

// The layer's templates and their items.
constexpr int kPrintDialogTemplate = 1538;
constexpr int kPrintSetupTemplate = 1539;
constexpr int kPrinterName = 1088;
constexpr int kPrintAllRadio = 1056;
constexpr int kPrintSelectionRadio = 1057;
constexpr int kPrintPagesRadio = 1058;
constexpr int kPrintFromEdit = 1152;
constexpr int kPrintToEdit = 1153;
constexpr int kPrintCopiesEdit = 1154;
constexpr int kPrintCollateCheck = 1041;
constexpr int kPrintSetupButton = 1024;
constexpr int kPrintHelpButton = 1038;
constexpr int kPortraitRadio = 1056;
constexpr int kLandscapeRadio = 1057;
constexpr int kPaperCombo = 1137;
constexpr int kMaxCopies = 9999;

using LPPRINTHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using LPSETUPHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct PRINTDLG {
    DWORD lStructSize = sizeof(PRINTDLG);
    HWND hwndOwner = nullptr;
    HGLOBAL hDevMode = nullptr;   // a DEVMODE block; made when null
    HGLOBAL hDevNames = nullptr;  // a DEVNAMES block; made when null
    HDC hDC = nullptr;            // out with PD_RETURNDC
    DWORD Flags = 0;
    WORD nFromPage = 0;
    WORD nToPage = 0;
    WORD nMinPage = 0;
    WORD nMaxPage = 0;
    WORD nCopies = 1;  // out: 1, the printer makes the copies (DEVMODE dmCopies)
    HINSTANCE hInstance = nullptr;
    LPARAM lCustData = 0;
    LPPRINTHOOKPROC lpfnPrintHook = nullptr;
    LPSETUPHOOKPROC lpfnSetupHook = nullptr;
    const char* lpPrintTemplateName = nullptr;
    const char* lpSetupTemplateName = nullptr;
};

BOOL PrintDlg(PRINTDLG* pd);

// What a user sets in the next print or set-up dialog before OK (fields left empty keep the
// dialog's): the orientation and paper of the set-up, the pages (from, to) or the selection and
// the copies of the print dialog.
struct PrintDialogAnswer {
    std::optional<SHORT> orientation;
    std::optional<SHORT> paperSize;
    std::optional<std::pair<int, int>> pages;
    bool selection = false;
    std::optional<int> copies;
    std::optional<bool> collate;
};
// Queues the next print dialog's answer; nothing = Cancel.
void ScriptPrintDialogAnswer(std::optional<PrintDialogAnswer> answer);

// The PDF file to print into, asked with the save dialog ("Print to File"); nothing when
// cancelled.
std::optional<std::string> AskPdfFileName(HWND owner, const std::string& suggested);

}  // namespace win
