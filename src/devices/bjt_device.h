#pragma once
// Bipolar transistors (device list 34).
#include <cstdint>

#include "core/linked_list.h"

namespace kq5 {

struct EvaluatedModel;

inline constexpr int kBjtDeviceList = 34;

struct BjtDevice : ListNode {
    std::int32_t modelType = 0;  // model type row of the model (NPN, PNP or LPNP)
    std::int32_t internalEmitter = 0;
    std::int32_t internalCollector = 0;
    std::int32_t internalBase = 0;
    std::int32_t substrate = 0;  // 4-pin types only
    std::int32_t emitter = 0;
    std::int32_t collector = 0;
    std::int32_t base = 0;
    double polarity = 1.0;  // +1 NPN, -1 PNP
    EvaluatedModel* model = nullptr;
    std::int32_t off = 0;
    double area = 1.0;
    std::int32_t initialConditionGiven = 0;
    double initialVbe = 0.0;
    double initialVce = 0.0;
    std::int32_t ordinal = 0;
    // Values that expressions read during a run.
    double ib = 0.0, ic = 0.0, ie = 0.0, is = 0.0;
    double qbe = 0.0, qbc = 0.0, qcs = 0.0;
    double cbe = 0.0, cbc = 0.0, ccs = 0.0;
};

}  // namespace kq5
