#include "app/status_text.h"

namespace kq5 {

StatusTextState& StatusText()
{
    static StatusTextState state;
    return state;
}

void ResetStatusTextForTests() { StatusText() = StatusTextState{}; }

bool StatusBarShown() { return StatusText().shown; }

void SetStatusText(std::string_view text) { StatusText().text.assign(text); }

std::string GetStatusText() { return StatusText().text; }

}  // namespace kq5
