#pragma once
// The text area of a circuit window: the child control of class CTxtEditWndClass (the program's
// text editor, app/text_editor.h) that holds the text of a text circuit or the text page of a
// schematic. Its text is kept in the window record, so that records without a window (batch
// runs, tests) hold a text too.
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr const char* kTextAreaClassName = "CTxtEditWndClass";

// Registers the class once; true when it is registered.
bool RegisterTextAreaClass();

// Replaces the whole text, as read from a file: its LF line ends become CR LF in an editor.
// The caret goes to the start, the cached line count and the editor's Undo are dropped.
// 0, or 15055 after "Insufficient memory." was reported; the old text then stays, and the load
// that asked must fail so that no later save writes a cut text over the file.
int SetTextAreaText(WindowRecord* record, std::string_view text);
// A copy of the whole text; none when the record is null or memory runs out.
std::optional<std::string> CopyTextAreaText(const WindowRecord* record);
// Length of the text (the control's WM_USER+2 answer); 0 for a null record.
long TextAreaLength(const WindowRecord* record);
// After a load: the text area takes the keyboard focus when it is shown (always in a text
// circuit, in a schematic when its pane is not hidden).
void FocusTextAreaAfterLoad(WindowRecord* record);
// True when the text area holds any text.
bool TextAreaHasText(const WindowRecord* record);
// Where statements added to a text circuit go: at the start of its last ".END" line (lines after
// it are never read), else at the end of the text.
std::size_t TextInsertPoint(std::string_view text);

}  // namespace kq5
