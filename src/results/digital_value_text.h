#pragma once
// The text of a digital curve's value: a state letter, or a bus value (BIN, OCT, DEC, HEX) in
// its base. The plots' readouts and the numeric output print the same text.
#include <cstdint>
#include <string>

#include "results/curve_record.h"

namespace kq5 {

// Bus kinds of an expression's value: the kinds BIN, OCT, DEC and HEX record (0x4000, 0x8000,
// 0x10000, 0x20000). A digital state (0x40) or logic value (0x20) is no bus: its curve is drawn
// at the levels of its states.
inline constexpr std::uint32_t kBusBin = 0x4000;
inline constexpr std::uint32_t kBusOct = 0x8000;
inline constexpr std::uint32_t kBusDec = 0x10000;
inline constexpr std::uint32_t kBusHex = 0x20000;
inline constexpr std::uint32_t kBusValueKinds = kBusBin | kBusOct | kBusDec | kBusHex;

bool IsBusCurve(const CurveRecord& curve);
// A digital value as its state letter, or a bus value in its base.
std::string FormatDigitalValueText(const CurveRecord& curve, double value);
std::string FormatBusValueText(double value, std::uint32_t valueKinds, int busWidth);

}  // namespace kq5
