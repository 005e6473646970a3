#pragma once
// The dialog manager's record of a dialog window and the helpers its parts share.
#include <functional>

#include "platform/dialog.h"
#include "platform/window_internal.h"

namespace win {

struct DialogData : WindowExtension {
    DLGPROC proc = nullptr;
    HFONT font = nullptr;       // the font the controls were given (WM_SETFONT)
    HFONT ownedFont = nullptr;  // made from the template; deleted with the dialog
    int baseX = 0;              // dialog base units in pixels (0: not known yet)
    int baseY = 0;
    HWND savedFocus = nullptr;  // the control that gets the focus back when the dialog does
    bool selectSavedFocus = false;
    int defId = 0;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND disabledOwner = nullptr;  // re-enabled when the modal dialog ends
};

DialogData* DialogDataOf(HWND hwnd);
// The nearest dialog among the window's ancestors (or the window itself), null when none.
HWND DialogOf(HWND hwnd);
// The dialog's direct child that is or holds hwnd; null when hwnd is not inside the dialog.
HWND DirectChildOf(HWND dialog, HWND hwnd);

// Gives a control the focus the way the dialog manager does: edits that take a selection get all
// their text selected, and the default push button follows.
void SetDialogFocus(HWND dialog, HWND control, bool selectAll);
void UpdateDefaultButton(HWND dialog, HWND focusControl);

LRESULT DialogCodeOf(HWND control, const MSG* msg = nullptr);

// Dialog base units of a font (null: the system font).
void BaseUnitsOf(HFONT font, int* baseX, int* baseY);

// The modal loop of a dialog: runs until EndDialog. onStarved is called when nothing can ever
// arrive (a headless run with no input left); without it the loop quits as GetMessage does.
// Returns false when a WM_QUIT ended the loop (it is posted again for the outer loop).
bool RunDialogLoop(HWND dialog, const std::function<void()>& onStarved);

// Runs a modal dialog: its owner (the top-level window of owner) disabled, its loop until
// EndDialog. onStarved is as for RunDialogLoop, given the dialog.
INT_PTR RunModalDialog(HINSTANCE instance, const DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param,
                       const std::function<void(HWND)>& onStarved);

// Creates a dialog from a template (hidden until its loop or its WS_VISIBLE style shows it).
HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplate& dialog, HWND owner, DLGPROC proc,
                              LPARAM param, bool modal);

void ResetDialogTemplatesForTests();

}  // namespace win
