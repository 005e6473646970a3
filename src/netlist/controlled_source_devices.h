#pragma once
// Dependent and behavioural sources: linear gain (device list 24), formula (list 30), Laplace
// (list 36), lookup-table (list 26) and frequency-table (list 32) sources. Each keeps its output
// kind, the type code of its family member: 26 IofV (G), 27 IofI (F), 28 VofV (E), 29 VofI (H),
// and correspondingly 31..34, 35, 37, 39..42 and 43..46.
#include <cstdint>
#include <vector>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_expression.h"
#include "netlist/device_stamps.h"

namespace kq5 {

struct SchematicItem;

struct LinearSourceDevice : ListNode {
    std::int32_t controlPlus = 0;   // pin 2
    std::int32_t controlMinus = 0;  // pin 3
    double secondValue = 0.0;
    double gain = 0.0;
    std::int32_t thirdValue = 0;
    std::int32_t outputPlus = 0;    // pin 0
    std::int32_t outputMinus = 0;   // pin 1
    std::int32_t outputKind = 0;
    double current = 0.0;
};

struct FormulaSourceDevice : ListNode {
    DeviceExpression valueExpression;
    DeviceExpression acExpression;
    std::int32_t outputPlus = 0;
    std::int32_t outputMinus = 0;
    std::int32_t outputKind = 0;
    SchematicItem* component = nullptr;
    std::uint32_t flags = 0;
    // The solution entries (node voltages, branch currents) the expressions read.
    std::vector<std::int32_t> dependencies;
    double current = 0.0;
    // Solver values: the reserved elements, the output branch (voltage output), the value of
    // the last load and its derivative by each dependency, which the AC stamps use.
    StampRange stamps;
    std::int32_t branch = 0;
    double value = 0.0;
    std::vector<double> derivatives;

    void FreeOwnedData() override
    {
        valueExpression.Clear();
        acExpression.Clear();
        dependencies.clear();
        derivatives.clear();
    }
};

// Solver values of the Laplace and frequency-table sources: the reserved elements, the
// values the convergence test compares with, and the operating point the convolution starts
// from.
struct ConvolutionSourceValues {
    StampRange stamps;
    double previousOutput = 0.0;
    double previousInput = 0.0;
    double dcInputStep = 0.0;
    double initialOutput = 0.0;
};

struct LaplaceSourceDevice : ListNode {
    std::int32_t controlPlus = 0;
    std::int32_t controlMinus = 0;
    DeviceExpression transfer;
    std::int32_t outputPlus = 0;
    std::int32_t outputMinus = 0;
    std::int32_t outputKind = 0;
    SchematicItem* component = nullptr;
    std::uint32_t flags = 0;
    double current = 0.0;
    std::int32_t branch = 0;  // first extra row
    ConvolutionSourceValues solver;

    void FreeOwnedData() override { transfer.Clear(); }
};

struct TableSourceDevice : ListNode {
    std::int32_t controlPlus = 0;
    std::int32_t controlMinus = 0;
    std::int32_t outputPlus = 0;
    std::int32_t outputMinus = 0;
    std::int32_t outputKind = 0;
    // (input, output) pairs; a copy of the first pair leads and one of the last pair ends it.
    std::vector<double> table;
    std::int32_t entryCount = 0;
    double current = 0.0;
    // Solver values: the reserved elements, the first extra row, the segment (row i runs from
    // point i - 1 to point i) and input of the last load and of the last accepted time point,
    // the slope the AC stamps use, and the output the convergence test compares with.
    StampRange stamps;
    std::int32_t branch = 0;
    std::int32_t segment = 1;
    std::int32_t acceptedSegment = 1;
    double input = 0.0;
    double acceptedInput = 0.0;
    double slope = 0.0;
    double previousOutput = 0.0;

    void FreeOwnedData() override { table.clear(); }
};

// Keywords of a frequency table.
inline constexpr std::int32_t kFreqKeywordNone = -1;
inline constexpr std::int32_t kFreqMag = 0;
inline constexpr std::int32_t kFreqDb = 1;
inline constexpr std::int32_t kFreqDeg = 2;
inline constexpr std::int32_t kFreqRad = 3;
inline constexpr std::int32_t kFreqRealImag = 4;

struct FreqTableSourceDevice : ListNode {
    std::int32_t controlPlus = 0;
    std::int32_t controlMinus = 0;
    std::int32_t outputPlus = 0;
    std::int32_t outputMinus = 0;
    std::int32_t outputKind = 0;
    std::int32_t magnitudeKeyword = kFreqKeywordNone;
    std::int32_t phaseKeyword = kFreqKeywordNone;
    std::vector<double> table;  // (frequency, magnitude, phase) triples
    double current = 0.0;
    std::int32_t branch = 0;  // first extra row
    ConvolutionSourceValues solver;

    void FreeOwnedData() override { table.clear(); }
};

// Output kinds that drive a voltage (E and H) and those controlled by a current (F and H).
inline bool IsVoltageOutputKind(int kind)
{
    const int member = (kind >= 131 && kind <= 134) ? kind - 100 : kind;
    switch (member) {
    case 28: case 29: case 33: case 34: case 37: case 41: case 42: case 45: case 46:
        return true;
    default:
        return false;
    }
}
inline bool IsCurrentControlledKind(int kind)
{
    const int member = (kind >= 131 && kind <= 134) ? kind - 100 : kind;
    switch (member) {
    case 27: case 29: case 32: case 34: case 40: case 42: case 44: case 46:
        return true;
    default:
        return false;
    }
}

}  // namespace kq5
