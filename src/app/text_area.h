#pragma once
// The text area of a circuit window: the child control of class CTxtEditWndClass that holds the
// text of a text circuit or the text page of a schematic. Its text is kept in the window record.
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr const char* kTextAreaClassName = "CTxtEditWndClass";

// Registers the class once; true when it is registered.
bool RegisterTextAreaClass();

// Replaces the whole text; the caret goes to the start and the cached line count is dropped.
void SetTextAreaText(WindowRecord* record, std::string_view text);
// A copy of the whole text; none when the record is null or memory runs out.
std::optional<std::string> CopyTextAreaText(const WindowRecord* record);
// Length of the text (the control's WM_USER+2 answer); 0 for a null record.
long TextAreaLength(const WindowRecord* record);

}  // namespace kq5
