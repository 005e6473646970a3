#pragma once
// One row of an analysis kind's limits: a plotted expression pair with its ranges, formats,
// plot group, options and look. The document keeps the rows of each analysis kind.
#include <cstdint>
#include <string>

namespace kq5 {

// Option bits of a limits row.
constexpr std::uint16_t kLimitsOutput = 0x20;
constexpr std::uint16_t kLimitsLinearX = 0x40;
constexpr std::uint16_t kLimitsLinearY = 0x80;
constexpr std::uint16_t kLimitsUser = 0x100;

// Widths of the formats kept inside a row.
constexpr std::size_t kLimitsFormatLength = 9;
constexpr std::size_t kLimitsYScaleFormatLength = 11;

struct LimitsRow {
    std::string xExpression;
    std::string yExpression;
    std::string xRange;
    std::string yRange;
    std::string yValueFormat;
    char plotGroup = 0;          // 0: no group
    std::uint16_t options = 0;   // kLimits* bits
    std::uint16_t color = 0;     // 0: automatic
    std::int32_t lineWidth = 1;  // 1: normal
    std::int32_t enabled = 1;
    std::string xValueFormat;    // at most kLimitsFormatLength characters
    std::string xScaleFormat;    // at most kLimitsFormatLength characters
    std::string yScaleFormat;    // at most kLimitsYScaleFormatLength characters
    std::int32_t linePattern = 0;  // pen pattern of the curve, 0 to 7
};

}  // namespace kq5
