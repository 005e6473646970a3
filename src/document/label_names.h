#pragma once
// The characters that part, node, define and model names may hold.
#include <string_view>

namespace kq5 {

// Flag of HasIllegalLabelChar: '.' is allowed (hierarchical names).
constexpr unsigned kLabelAllowDot = 0x40;

// 1 when the name is empty or holds a character outside the label class (letters, digits and
// _ $ / - + * %), '.' being allowed with kLabelAllowDot; else 0.
int HasIllegalLabelChar(std::string_view name, unsigned flags);

}  // namespace kq5
