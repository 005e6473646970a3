#pragma once
// The readable text form of dialog templates (data/dialogs/*.dlg), read by the build-time
// generator and by tests. One statement per line; a line that ends with ',' or '|' goes on in
// the next. '//' starts a comment. Texts are in double quotes (UTF-8 in the file, Windows-1252
// in the program; "" or \" stands for a quote, \n \t \\ for their characters).
//
//   DIALOG 17312, 0, 0, 220, 90          // id, x, y, width, height in dialog units
//   CAPTION "Calculator"
//   STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE
//   FONT 8, "MS Sans Serif"
//   BEGIN
//     LTEXT "&Expression:", -1, 6, 8, 50, 8
//     EDITTEXT 10, 60, 6, 150, 12, ES_AUTOHSCROLL
//     DEFPUSHBUTTON "Calculate", 200, 6, 70, 50, 14
//     CONTROL "", 300, "ShapeArea", WS_BORDER, 6, 24, 60, 40
//   END
//
// Control statements give text (when the kind has one), id, x, y, width, height, then optional
// extra styles and extended styles; "NOT style" removes a style the kind has by default, and a
// type among the extra styles (CBS_DROPDOWN, BS_OWNERDRAW, SS_CENTER...) replaces the kind's own.
// ICON takes the icon's resource id as its text ("#1200") and may leave out width and height.
// CONTROL names its class and gives its whole style before the position. Without STYLE a dialog
// is DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU; CAPTION adds WS_CAPTION, FONT DS_SETFONT.
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog_template.h"

namespace win {

// Appends the templates of one file to out. On the first fault returns false with error set to
// "file:line: what is wrong"; out then holds the templates read before it.
bool ParseDialogScript(std::string_view text, const std::string& fileName, std::vector<DialogTemplate>& out,
                       std::string& error);

// The value of a style or id name the scripts may use (WS_*, DS_*, BS_*, IDOK...); false when
// the name is unknown.
bool DialogScriptSymbol(std::string_view name, long long* value);

}  // namespace win
