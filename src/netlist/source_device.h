#pragma once
// Independent sources: the voltage and current sources of SPICE text and batteries (device
// list 17) with their DC, AC and time-function values, and the pulse (list 21) and sine
// (list 33) source parts, which take their waveform from a model.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/device_lists.h"
#include "core/linked_list.h"

namespace kq5 {

struct EvaluatedModel;
struct SchematicItem;

// Source types.
inline constexpr std::int32_t kSourceVoltage = 30;
inline constexpr std::int32_t kSourceCurrent = 11;

// Source functions.
inline constexpr std::int32_t kSourceFunctionNone = 0;
inline constexpr std::int32_t kSourcePulse = 1;
inline constexpr std::int32_t kSourceSin = 2;
inline constexpr std::int32_t kSourceExp = 3;
inline constexpr std::int32_t kSourcePwl = 4;
inline constexpr std::int32_t kSourceSffm = 5;

inline constexpr int kMaxSourceFunctionParams = 7;

// One entry of a PWL list, in text order.
inline constexpr std::uint32_t kPwlRepeat = 1;
inline constexpr std::uint32_t kPwlEndRepeat = 2;
inline constexpr std::uint32_t kPwlPoint = 3;
inline constexpr std::int32_t kPwlForever = -1;

struct PwlEntry {
    std::uint32_t kind = kPwlPoint;
    double time = 0.0;          // a point's time, evaluated when the source is built
    std::string value;          // a point's value as written (a number or a braced expression)
    std::int32_t repeatCount = 0;  // REPEAT: -1 FOREVER, n for FOR n
};

struct PwlData {
    std::int32_t entryCount = 0;
    double timeScale = 1.0;
    double valueScale = 1.0;
    std::int32_t deepestNesting = 0;
    // Work arrays of the run, one entry per REPEAT nesting level.
    std::vector<std::int32_t> repeatStart;
    std::vector<std::int32_t> repeatLeft;
    std::vector<double> repeatTimeOffset;
    std::vector<PwlEntry> entries;

    void Clear() { *this = PwlData(); }
};

struct IndependentSourceDevice : ListNode {
    std::int32_t nodePlus = 0;
    std::int32_t nodeMinus = 0;
    std::int32_t sourceType = kSourceVoltage;
    std::int32_t function = kSourceFunctionNone;
    SchematicItem* component = nullptr;
    double dcValue = 0.0;
    double dcWorking = 0.0;
    double acMagnitude = 0.0;
    double acPhase = 0.0;
    std::array<double, kMaxSourceFunctionParams> params{};
    std::int32_t lastParam = 0;  // number of function parameters read
    PwlData pwl;
    // Value that expressions read during a run.
    double current = 0.0;

    void FreeOwnedData() override { pwl.Clear(); }
};

struct PulseSourceDevice : ListNode {
    std::int32_t nodePlus = 0;
    std::int32_t nodeMinus = 0;
    EvaluatedModel* model = nullptr;  // PUL
    double current = 0.0;
};

struct SineSourceDevice : ListNode {
    std::int32_t nodePlus = 0;      // pin 0
    std::int32_t nodeMinus = 0;     // pin 1
    std::int32_t internalPlus = 0;  // the node the source drives (pin 0 without series resistance)
    EvaluatedModel* model = nullptr;  // SIN
    double current = 0.0;
};

}  // namespace kq5
