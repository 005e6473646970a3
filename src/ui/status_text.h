#pragma once
// The text of the frame's status bar, as long work shows its progress in it.
#include <string>
#include <string_view>

namespace kq5 {

struct StatusTextState {
    bool shown = false;  // the frame shows its status bar
    std::string text;
};

StatusTextState& StatusText();
void ResetStatusTextForTests();

bool StatusBarShown();
void SetStatusText(std::string_view text);
std::string GetStatusText();

}  // namespace kq5
