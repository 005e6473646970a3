// The print and print set-up dialogs.
#include "platform/common_dialogs_print.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/common_dialogs_file.h"
#include "platform/common_dialogs_internal.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/dialog_internal.h"
#include "platform/global_memory.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"

namespace win {

namespace {

struct PaperName {
    SHORT id;
    const char* name;
};
constexpr PaperName kPaperNames[] = {
    {DMPAPER_A4, "A4 210 x 297 mm"},     {DMPAPER_LETTER, "Letter 8 1/2 x 11 in"}, {DMPAPER_LEGAL, "Legal 8 1/2 x 14 in"},
    {DMPAPER_A3, "A3 297 x 420 mm"},     {DMPAPER_A5, "A5 148 x 210 mm"},          {DMPAPER_B5, "B5 182 x 257 mm"},
    {DMPAPER_EXECUTIVE, "Executive 7 1/4 x 10 1/2 in"}, {DMPAPER_TABLOID, "Tabloid 11 x 17 in"},
};

struct PrintDialogData : CommonDialogRecord {
    PRINTDLG* pd = nullptr;
    bool setup = false;  // this window is the set-up dialog
    DEVMODE devMode;     // the working copy
    std::string printer;
};

// The hook of the set-up or the print dialog, when enabled.
void SetHook(PrintDialogData& d) {
    const PRINTDLG& pd = *d.pd;
    d.hook = (pd.Flags & (d.setup ? PD_ENABLESETUPHOOK : PD_ENABLEPRINTHOOK)) ? (d.setup ? pd.lpfnSetupHook : pd.lpfnPrintHook) : nullptr;
    d.hookParam = reinterpret_cast<LPARAM>(d.pd);
}

DEVMODE ReadDevMode(HGLOBAL block) {
    DEVMODE dm = DefaultDevMode();
    std::span<std::byte> bytes = GlobalBytes(block);
    if (bytes.size() >= sizeof(DEVMODE)) std::memcpy(&dm, bytes.data(), sizeof dm);
    if (dm.dmOrientation != DMORIENT_LANDSCAPE) dm.dmOrientation = DMORIENT_PORTRAIT;
    if (dm.dmCopies < 1) dm.dmCopies = 1;
    return dm;
}

bool WriteDevMode(HGLOBAL block, const DEVMODE& dm) {
    std::span<std::byte> bytes = GlobalBytes(block);
    if (bytes.size() < sizeof(DEVMODE)) return false;
    std::memcpy(bytes.data(), &dm, sizeof dm);
    return true;
}

std::string PrinterText(HGLOBAL devNames) {
    std::optional<DevNamesText> names = ReadDevNames(devNames);
    if (!names) return kPrinterDevice;
    return names->output.empty() ? names->device : names->device + " on " + names->output;
}

void InitSetup(HWND dialog, PrintDialogData& d) {
    SetDlgItemText(dialog, kPrinterName, d.printer.c_str());
    CheckRadioButton(dialog, kPortraitRadio, kLandscapeRadio,
                     d.devMode.dmOrientation == DMORIENT_LANDSCAPE ? kLandscapeRadio : kPortraitRadio);
    HWND papers = GetDlgItem(dialog, kPaperCombo);
    for (const PaperName& p : kPaperNames) {
        int i = static_cast<int>(SendMessage(papers, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p.name)));
        SendMessage(papers, CB_SETITEMDATA, static_cast<WPARAM>(i), p.id);
        if (p.id == d.devMode.dmPaperSize) SendMessage(papers, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
    if (!(d.pd->Flags & PD_SHOWHELP)) ShowWindow(GetDlgItem(dialog, kPrintHelpButton), SW_HIDE);
    SetFocusToControl(dialog, IDOK);
}

// Fills the print dialog, or the set-up dialog when the record is the set-up's.
void InitPrint(HWND dialog, PrintDialogData& d) {
    if (d.setup) {
        InitSetup(dialog, d);
        return;
    }
    const PRINTDLG& pd = *d.pd;
    SetDlgItemText(dialog, kPrinterName, d.printer.c_str());
    if (pd.Flags & PD_NOSELECTION) EnableWindow(GetDlgItem(dialog, kPrintSelectionRadio), FALSE);
    if (pd.Flags & PD_NOPAGENUMS) {
        for (int id : {kPrintPagesRadio, kPrintFromEdit, kPrintToEdit, 1089, 1090}) EnableWindow(GetDlgItem(dialog, id), FALSE);
    } else {
        SetDlgItemInt(dialog, kPrintFromEdit, pd.nFromPage, FALSE);
        SetDlgItemInt(dialog, kPrintToEdit, pd.nToPage, FALSE);
    }
    int range = kPrintAllRadio;
    if ((pd.Flags & PD_SELECTION) && !(pd.Flags & PD_NOSELECTION)) range = kPrintSelectionRadio;
    if ((pd.Flags & PD_PAGENUMS) && !(pd.Flags & PD_NOPAGENUMS)) range = kPrintPagesRadio;
    CheckRadioButton(dialog, kPrintAllRadio, kPrintPagesRadio, range);
    int copies = (pd.Flags & PD_USEDEVMODECOPIES) ? d.devMode.dmCopies : std::max<int>(pd.nCopies, d.devMode.dmCopies);
    SetDlgItemInt(dialog, kPrintCopiesEdit, static_cast<UINT>(std::clamp(copies, 1, kMaxCopies)), FALSE);
    CheckDlgButton(dialog, kPrintCollateCheck, (pd.Flags & PD_COLLATE) ? BST_CHECKED : BST_UNCHECKED);
    if (!(pd.Flags & PD_SHOWHELP)) ShowWindow(GetDlgItem(dialog, kPrintHelpButton), SW_HIDE);
    SetFocusToControl(dialog, IDOK);
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Complain(HWND dialog, int focus, const std::string& text) {
    CommonDialogMessage(dialog, text, MB_OK | MB_ICONEXCLAMATION);
    SetFocusToControl(dialog, focus);
}

void OnSetupOk(HWND dialog, PrintDialogData& d) {
    d.devMode.dmOrientation = Checked(dialog, kLandscapeRadio) ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    int i = static_cast<int>(SendDlgItemMessage(dialog, kPaperCombo, CB_GETCURSEL, 0, 0));
    if (i >= 0) {
        d.devMode.dmPaperSize = static_cast<SHORT>(SendDlgItemMessage(dialog, kPaperCombo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
        d.devMode.dmFields &= ~(DM_PAPERLENGTH | DM_PAPERWIDTH);
    }
    d.devMode.dmFields |= DM_ORIENTATION | DM_PAPERSIZE;
    EndDialog(dialog, IDOK);
}

void OnPrintOk(HWND dialog, PrintDialogData& d) {
    PRINTDLG& pd = *d.pd;
    BOOL ok = FALSE;
    UINT copies = GetDlgItemInt(dialog, kPrintCopiesEdit, &ok, FALSE);
    if (!ok || copies < 1 || copies > static_cast<UINT>(kMaxCopies)) {
        Complain(dialog, kPrintCopiesEdit, "Enter a number of copies between 1 and " + std::to_string(kMaxCopies) + ".");
        return;
    }
    const bool pages = Checked(dialog, kPrintPagesRadio);
    UINT from = pd.nFromPage, to = pd.nToPage;
    if (pages) {
        const std::string bounds = std::to_string(pd.nMinPage) + " and " + std::to_string(pd.nMaxPage);
        BOOL fromOk = FALSE, toOk = FALSE;
        from = GetDlgItemInt(dialog, kPrintFromEdit, &fromOk, FALSE);
        to = GetDlgItemInt(dialog, kPrintToEdit, &toOk, FALSE);
        if (!toOk && fromOk && GetDlgItemText(dialog, kPrintToEdit).empty()) to = from, toOk = TRUE;
        if (!fromOk || from < pd.nMinPage || from > pd.nMaxPage) {
            Complain(dialog, kPrintFromEdit, "Enter a page number between " + bounds + ".");
            return;
        }
        if (!toOk || to < pd.nMinPage || to > pd.nMaxPage) {
            Complain(dialog, kPrintToEdit, "Enter a page number between " + bounds + ".");
            return;
        }
        if (from > to) {
            Complain(dialog, kPrintFromEdit, "The first page to print comes after the last one.");
            return;
        }
    }
    pd.Flags &= ~(PD_SELECTION | PD_PAGENUMS | PD_COLLATE);
    if (pages) pd.Flags |= PD_PAGENUMS;
    else if (Checked(dialog, kPrintSelectionRadio)) pd.Flags |= PD_SELECTION;
    if (Checked(dialog, kPrintCollateCheck)) pd.Flags |= PD_COLLATE;
    pd.nFromPage = static_cast<WORD>(from);
    pd.nToPage = static_cast<WORD>(to);
    // The printer makes the copies itself.
    d.devMode.dmCopies = static_cast<SHORT>(copies);
    d.devMode.dmFields |= DM_COPIES;
    pd.nCopies = 1;
    EndDialog(dialog, IDOK);
}

INT_PTR PrintDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

// "Setup..." of the print dialog: the set-up dialog over the same working copy.
void RunNestedSetup(HWND dialog, PrintDialogData& d) {
    const DialogTemplate* t = CommonDialogTemplate(kPrintSetupTemplate, d.pd->Flags & PD_ENABLESETUPTEMPLATE, d.pd->lpSetupTemplateName);
    if (!t) return;
    DialogTemplate copy = *t;
    PrintDialogData setup = d;
    setup.setup = true;
    SetHook(setup);
    auto starved = [](HWND hwnd) { EndDialog(hwnd, IDCANCEL); };
    INT_PTR result = RunModalDialog(GetModuleHandle(nullptr), copy, dialog, PrintDialogProc, reinterpret_cast<LPARAM>(&setup), starved);
    ForgetCommonDialogData(&setup);
    if (result == IDOK) d.devMode = setup.devMode;
}

INT_PTR PrintDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    INT_PTR answer = FALSE;
    PrintDialogData* d = BeginCommonDialogMessage<PrintDialogData>(dialog, msg, wParam, lParam, InitPrint, &answer);
    if (!d) return answer;
    if (msg != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    switch (id) {
    case IDOK:
        if (d->setup) OnSetupOk(dialog, *d);
        else OnPrintOk(dialog, *d);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case kPrintSetupButton:
        if (!d->setup) RunNestedSetup(dialog, *d);
        return TRUE;
    case kPrintFromEdit:
    case kPrintToEdit:
        // Typing a page number chooses the page range.
        if (!d->setup && HIWORD(wParam) == EN_CHANGE && GetFocus() == reinterpret_cast<HWND>(lParam))
            CheckRadioButton(dialog, kPrintAllRadio, kPrintPagesRadio, kPrintPagesRadio);
        return TRUE;
    default:
        return FALSE;
    }
}

HDC PrinterDC(const PRINTDLG& pd, const DEVMODE& dm) {
    std::optional<DevNamesText> names = ReadDevNames(pd.hDevNames);
    if (!names) return CreateDC(kPrinterDriver, kPrinterDevice, kPrinterPort, &dm);
    return CreateDC(names->driver.c_str(), names->device.c_str(), names->output.c_str(), &dm);
}

}  // namespace

BOOL PrintDlg(PRINTDLG* pd) {
    const bool setup = pd && (pd->Flags & PD_PRINTSETUP);
    if (!CommonDialogCallValid(pd && pd->lStructSize == sizeof(PRINTDLG),
                               pd && !(pd->Flags & PD_RETURNDEFAULT) && (pd->Flags & (setup ? PD_ENABLESETUPHOOK : PD_ENABLEPRINTHOOK)),
                               pd && (setup ? pd->lpfnSetupHook : pd->lpfnPrintHook)))
        return FALSE;
    CommonDialogState& s = CommonDialogs();
    if (pd->Flags & PD_RETURNDEFAULT) {
        if (pd->hDevMode || pd->hDevNames) {
            s.lastError = PDERR_RETDEFFAILURE;
            return FALSE;
        }
        pd->hDevMode = CreateDefaultDevMode();
        pd->hDevNames = CreateDefaultDevNames();
        if (pd->Flags & (PD_RETURNDC | PD_RETURNIC)) pd->hDC = PrinterDC(*pd, ReadDevMode(pd->hDevMode));
        return TRUE;
    }
    if (!setup && !(pd->Flags & PD_NOPAGENUMS) && pd->nMinPage > pd->nMaxPage) {
        s.lastError = CDERR_INITIALIZATION;
        return FALSE;
    }
    const DialogTemplate* t = setup ? CommonDialogTemplate(kPrintSetupTemplate, pd->Flags & PD_ENABLESETUPTEMPLATE, pd->lpSetupTemplateName)
                                    : CommonDialogTemplate(kPrintDialogTemplate, pd->Flags & PD_ENABLEPRINTTEMPLATE, pd->lpPrintTemplateName);
    if (!t) return FALSE;
    DialogTemplate dialog = *t;
    PrintDialogData d;
    d.pd = pd;
    d.setup = setup;
    SetHook(d);
    d.devMode = pd->hDevMode ? ReadDevMode(pd->hDevMode) : DefaultDevMode();
    d.printer = pd->hDevNames ? PrinterText(pd->hDevNames) : std::string(kPrinterDevice) + " on " + kPrinterPort;
    if (RunCommonDialog(CommonDialogKind::Print, dialog, pd->hwndOwner, PrintDialogProc, &d) != IDOK) return FALSE;
    if (!pd->hDevMode || !WriteDevMode(pd->hDevMode, d.devMode)) {
        if (pd->hDevMode) GlobalFree(pd->hDevMode);
        pd->hDevMode = GlobalAllocCopy(std::as_bytes(std::span<const DEVMODE>(&d.devMode, 1)));
    }
    if (!pd->hDevNames) pd->hDevNames = CreateDefaultDevNames();
    if (pd->Flags & (PD_RETURNDC | PD_RETURNIC)) pd->hDC = PrinterDC(*pd, d.devMode);
    return TRUE;
}

std::optional<std::string> AskPdfFileName(HWND owner, const std::string& suggested) {
    OPENFILENAME ofn;
    ofn.hwndOwner = owner;
    using namespace std::string_literals;
    ofn.lpstrFilter = "PDF Files (*.pdf)\0*.pdf\0All Files (*.*)\0*.*\0"s;
    ofn.lpstrFile = suggested;
    ofn.lpstrDefExt = "pdf";
    ofn.lpstrTitle = "Print to File";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileName(&ofn)) return std::nullopt;
    return ofn.lpstrFile;
}

void ScriptPrintDialogAnswer(std::optional<PrintDialogAnswer> answer) {
    ScriptedAnswer step;
    if (answer) {
        step = [a = *answer](HWND dialog) {
            auto* d = CommonDialogDataOf<PrintDialogData>(dialog);
            if (!d) return;
            if (d->setup) {
                if (a.orientation)
                    CheckRadioButton(dialog, kPortraitRadio, kLandscapeRadio, *a.orientation == DMORIENT_LANDSCAPE ? kLandscapeRadio : kPortraitRadio);
                if (a.paperSize) {
                    HWND papers = GetDlgItem(dialog, kPaperCombo);
                    int n = static_cast<int>(SendMessage(papers, CB_GETCOUNT, 0, 0));
                    for (int i = 0; i < n; ++i)
                        if (SendMessage(papers, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == *a.paperSize) SendMessage(papers, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
                }
                return;
            }
            // The set-up part of an answer given to the print dialog is what its "Setup..." would set.
            if (a.orientation) d->devMode.dmOrientation = *a.orientation;
            if (a.paperSize) d->devMode.dmPaperSize = *a.paperSize;
            if (a.pages) {
                CheckRadioButton(dialog, kPrintAllRadio, kPrintPagesRadio, kPrintPagesRadio);
                SetDlgItemInt(dialog, kPrintFromEdit, static_cast<UINT>(a.pages->first), FALSE);
                SetDlgItemInt(dialog, kPrintToEdit, static_cast<UINT>(a.pages->second), FALSE);
            } else if (a.selection) {
                CheckRadioButton(dialog, kPrintAllRadio, kPrintPagesRadio, kPrintSelectionRadio);
            }
            if (a.copies) SetDlgItemInt(dialog, kPrintCopiesEdit, static_cast<UINT>(*a.copies), FALSE);
            if (a.collate) CheckDlgButton(dialog, kPrintCollateCheck, *a.collate ? BST_CHECKED : BST_UNCHECKED);
        };
    }
    QueueCommonDialogAnswer(CommonDialogKind::Print, std::move(step));
}

}  // namespace win
