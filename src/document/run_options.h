#pragma once
// The bits of the options words of the analysis limits that the SPICE reader sets and the runs
// read: the AC frequency step, the transient state variables and operating point choices.
#include <cstdint>

namespace kq5 {

// Frequency Step choice: bits of the AC options word.
inline constexpr std::uint32_t kFrequencyStepMask = 0x3000;
inline constexpr std::uint32_t kFrequencyStepAuto = 0;
inline constexpr std::uint32_t kFrequencyStepLinear = 0x1000;
inline constexpr std::uint32_t kFrequencyStepLog = 0x2000;

// State Variables choice of the run options (bits 0x0C00 of the options word, shifted by 8).
inline constexpr int kStateVariablesZero = 0;
inline constexpr int kStateVariablesRead = 4;
inline constexpr int kStateVariablesLeave = 8;

// Run option bits of the transient options word.
inline constexpr std::uint32_t kRunOptionStateVariables = 0x0C00;
inline constexpr std::uint32_t kRunOptionOperatingPointOnly = 0x0080;
inline constexpr std::uint32_t kRunOptionOperatingPoint = 0x0040;
inline constexpr std::uint32_t kDefaultTransientOptions = 120;

}  // namespace kq5
