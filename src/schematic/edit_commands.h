#pragma once
// The Edit menu of the circuit and analysis windows: Undo with its one level (a second Undo
// redoes), Cut, Copy, Paste, Clear, Select All, the bitmap copies, moving texts between the
// drawing and the text area, and the selection reset that most editing commands call first.
// Items travel through the program's internal clipboard; the system clipboard carries only the
// texts of grid texts and window pictures.
#include <functional>
#include <string>
#include <vector>

namespace kq5 {

struct WindowRecord;

// Empties the window's selection state (the picked attribute, a text window's text selection)
// and sets the undo kind to 0; with redraw, takes the highlight off every node and repaints.
void ClearCircuitSelection(WindowRecord* record, bool redraw);
// Moves the selected nodes of the current page into the undo lists (they leave the drawing),
// and back.
int SaveUndoItems(WindowRecord* record, bool redraw);
void RestoreUndoItems(WindowRecord* record);
// Opens the undo step of an edit of many items: clears the selection, sets undo kind 12, copies
// every item and grid text into the undo lists, keeps the mark rectangle and the text area.
// 0, or 15002 (reported) when the copy could not be made whole: the edit must not go on.
int BeginBoxEdit(WindowRecord* record);
// Puts back what BeginBoxEdit kept after an edit that failed; nothing is left to undo.
void AbandonBoxEdit(WindowRecord* record);
// Runs an edit that opens a box edit: when memory runs out anywhere in it, the drawing is put
// back as the box edit found it and 15002 is reported and returned.
int RunBoxEdit(WindowRecord* record, const std::function<int()>& edit);
// Keeps the mark rectangle for the next Undo to swap back.
void SaveMarkRect(WindowRecord* record);

// Keeps the window's font description for Undo (kind 10) before a font or text colour change.
void SaveWindowFontForUndo(WindowRecord* record);
// Commands 17200 to 17205; each first hands the command to a focused text control (an Undo of
// a font change or of the plot scales is the window's, wherever the focus is).
void EditUndo(WindowRecord* record);
void EditCut(WindowRecord* record);
void EditCopy(WindowRecord* record);
// 0, or 13557 after reporting it (the clipboard's items would leave the drawing area).
int EditPaste(WindowRecord* record);
void EditClear(WindowRecord* record);
void EditSelectAll(WindowRecord* record);
// Commands 17206 (the visible client area) and 17218 (the part inside the select box).
void CopyWindowBitmap(WindowRecord* record, bool selectionOnly);
// Command 17670: moves the selected grid texts into the text area, or the selected text of the
// text area onto the drawing as grid texts.
void ToggleTextTransfer(WindowRecord* record);

// Bring to Front (17694) and Send to Back (17695): the selected items drawn last or first.
void ReorderSelection(WindowRecord* record, bool toFront);

// Routes the edit commands; true when the id is one of them.
bool RouteEditCommand(WindowRecord* record, int id);

// The clipboard text of the selected grid texts of the current page: "\r\n" before each, and
// "+" after every line break inside one. Empty when none is selected.
std::string GridTextClipboardText(WindowRecord* record);
// Splits a clipboard text into grid texts ("+" lines continue the previous one).
std::vector<std::string> SplitClipboardTexts(const std::string& text);
// Puts the selected grid texts' text on the system clipboard; the internal grid-text list is
// read back from the clipboard text.
void CopyTextsToClipboard(WindowRecord* record);
void PasteTextsFromClipboard(WindowRecord* record);
// The first selected picture object whose file is a ".WMF" goes on the clipboard as a metafile
// picture (Copy and Cut), in place of the texts.
void CopyPictureToClipboard(WindowRecord* record);

}  // namespace kq5
