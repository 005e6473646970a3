#include "netlist/text_window_lines.h"

#include <algorithm>
#include <string>

#include "ui/window_record.h"

namespace kq5 {

int GetTextWindowLineCount(const WindowRecord* record)
{
    const std::string* text = GetTextAreaBuffer(record);
    if (text == nullptr) return 0;
    return 1 + static_cast<int>(std::count(text->begin(), text->end(), '\n'));
}

}  // namespace kq5
