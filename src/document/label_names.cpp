#include "document/label_names.h"

#include "core/char_classes.h"

namespace kq5 {

int HasIllegalLabelChar(std::string_view name, unsigned flags)
{
    if (name.empty()) return 1;
    const std::uint32_t mask = (flags & kLabelAllowDot) ? (kCharName | kCharDot) : kCharName;
    return AllCharsInClass(name, mask) ? 0 : 1;
}

}  // namespace kq5
