#pragma once
// Grid texts: free texts on the schematic's grid. A grid text with the flag bit is a node flag,
// a named marker joining its node to every flag or label of the same name; a plain grid text
// whose text is a valid node label names the node it touches as well.
#include <cstdint>
#include <string>

#include "core/font_description.h"
#include "core/linked_list.h"

namespace kq5 {

// Flag byte of a grid text.
constexpr std::uint8_t kGridTextIsFlag = 0x01;      // a node flag ([Flag] section)
constexpr std::uint8_t kGridTextValidLabel = 0x02;  // plain grid text whose text is a node label

// Node of GridTextList (list kind 2).
struct GridText : ListNode {
    std::int16_t page = 0;
    std::string text;
    std::int32_t x = 0;  // grid point of the text's bottom left
    std::int32_t y = 0;
    std::int32_t number = -1;  // node label found by connectivity, -1 none
    FontSpec font;
    std::uint8_t selection = 0;
    std::uint8_t flags = 0;

    bool IsFlag() const { return (flags & kGridTextIsFlag) != 0; }
    bool IsValidLabel() const { return (flags & kGridTextValidLabel) != 0; }
    void FreeOwnedData() override { text.clear(); }
};

}  // namespace kq5
