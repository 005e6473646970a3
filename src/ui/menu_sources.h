#pragma once
// The menus' texts and checks that other parts own: the recent files (also read by the help bar),
// and the view and plot options the active window has on. The owners fill them at start-up.
#include <functional>
#include <string>

namespace kq5 {

struct MenuSources {
    std::function<std::string(int)> recentFile;  // 0 to 7, empty when none
    std::function<bool(int)> viewOption;         // 17400 to 17409 on in the active schematic
    std::function<bool(int)> plotOption;         // 18400 to 18406 on in the active plot
};
MenuSources& MenuTextSources();

}  // namespace kq5
