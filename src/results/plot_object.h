#pragma once
// Objects drawn on a plot: texts, tags, measure lines and shapes (list kind 3 of a plot record).
#include <cstdint>
#include <string>

#include "core/font_description.h"
#include "core/linked_list.h"

namespace kq5 {

struct PlotObject : ListNode {
    std::string text;
    double x1 = 0.0;  // two corner points in curve units
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    double measured = 0.0;         // the measured position of a measure object
    std::int16_t analysisKind = 0; // analysis kind plus 1; 0 none
    std::int32_t w = -1;           // curve index, -1 none
    std::int32_t w2 = 0;           // second curve index (the plot index)
    FontSpec font;
    std::uint16_t style = 0;       // kind in bits 8 to 11, flags in the rest
    std::uint8_t selection = 0;
    std::uint8_t color = 0;
    std::uint8_t fillColor = 0;
    std::uint8_t layer = 4;        // drawing-pass bits; 4 for plot objects

    void FreeOwnedData() override { text.clear(); }
};

}  // namespace kq5
