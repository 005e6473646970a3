#pragma once
// The plot of a circuit and its curves, as far as the expression engine reads and writes
// them: the expression texts and their compiled forms, the curve flags, the stored points of
// each run and the plot options that evaluation follows.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/expr_compiler.h"
#include "core/linked_list.h"
#include "plots/plot_object.h"

namespace kq5 {

// Curve flags.
inline constexpr std::uint32_t kCurveHasState = 0x1;        // its expression keeps state cells
inline constexpr std::uint32_t kCurveUsesDifference = 0x2;  // its expression uses DIFA or DIFD

// The waveform store keeps single-precision points in pages of 64.
inline constexpr int kWaveformPagePoints = 64;
struct WaveformPage {
    std::array<float, kWaveformPagePoints> values{};
};

// One stored quantity of a curve (its X or its Y values), point by point over all runs.
struct WaveformSlot {
    std::vector<std::unique_ptr<WaveformPage>> pages;
    std::int32_t count = 0;
};

inline constexpr int kWaveformX = 0;
inline constexpr int kWaveformY = 1;

struct CurveRecord {
    std::string xExpressionText;
    std::string yExpressionText;
    CompiledExpression xExpression;
    CompiledExpression yExpression;
    std::uint32_t flags = 0;
    // Stored point range of each run: first and last point index (inclusive).
    std::vector<std::int32_t> runFirstIndex;
    std::vector<std::int32_t> runLastIndex;
    // Per run: a difference function found a mismatch.
    std::vector<std::uint8_t> runDifferenceFound;
    std::array<WaveformSlot, 2> store;  // kWaveformX, kWaveformY
};

struct PlotRecord {
    std::vector<std::unique_ptr<CurveRecord>> curves;
    bool phaseContinuation = false;  // PH continues across +-180 degrees
    LinkedList objects{NewListRecord<PlotObject>};      // plot objects (list kind 3)
    LinkedList undoObjects{NewListRecord<PlotObject>};  // kept by the last undoable edit
};

}  // namespace kq5
