#pragma once
// Flags of a circuit's plot that the netlist reader and the analyses share: whether a run starts
// from an operating point, the frequency-axis scale, whether the limits texts came from a
// netlist's analysis lines (and whether the user changed them since), and whether the netlist
// asked for the operating point alone.
#include <cstdint>
#include <memory>

namespace kq5 {

struct PlotRecord;

// Bits of the flag byte: the run starts from an operating point (UIC clears both).
inline constexpr std::uint8_t kPlotOperatingPointFirst = 64;
inline constexpr std::uint8_t kPlotOperatingPointFirstToo = 128;

// Bits of the flag word.
inline constexpr std::uint32_t kPlotFrequencyLog = 0x0001;         // the AC axis is logarithmic
inline constexpr std::uint32_t kPlotLimitsFromNetlist = 0x0100;    // the limits came from .TRAN/.AC/...
inline constexpr std::uint32_t kPlotOperatingPointOnly = 0x0200;   // .OP without .TRAN
// The user changed the limits in the Analysis Limits dialog since the netlist's analysis lines
// gave them: a text circuit's lines are written again from the limits when its analysis ends.
inline constexpr std::uint32_t kPlotLimitsEdited = 0x0400;

struct PlotRecordFlags {
    std::uint8_t flagByte = kPlotOperatingPointFirst | kPlotOperatingPointFirstToo;
    std::uint32_t flagWord = kPlotFrequencyLog;
};

// The flags of a plot, made with their defaults the first time they are asked for; they live
// as long as the plot.
PlotRecordFlags& PlotFlagsOf(const std::shared_ptr<PlotRecord>& plot);
void ResetPlotRecordFlagsForTests();

}  // namespace kq5
