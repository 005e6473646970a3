#include "ui/status_text.h"

#include "ui/help_bar.h"

namespace kq5 {

StatusTextState& StatusText()
{
    static StatusTextState state;
    return state;
}

void ResetStatusTextForTests() { StatusText() = StatusTextState{}; }

bool StatusBarShown() { return StatusText().shown; }

void SetStatusText(std::string_view text) { SetBarText(&FrameHelpBar(), text); }

std::string GetStatusText() { return StatusText().shown ? StatusText().text : std::string(); }

}  // namespace kq5
