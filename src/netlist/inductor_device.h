#pragma once
// Inductors (device list 35), the couplings between them (list 25) and the requests of K parts
// (list 31), which couple inductors once they all exist, optionally on a magnetic core.
#include <cstdint>
#include <vector>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_expression.h"
#include "netlist/model_types.h"

namespace kq5 {

struct EvaluatedModel;
struct SchematicItem;
struct CouplingDevice;
struct CoreRequest;

struct InductorDevice : ListNode {
    std::int32_t nodeA = 0;
    std::int32_t nodeB = 0;
    double value = 1.0;  // working inductance; the number of turns on a core
    DeviceExpression valueExpression;
    DeviceExpression acExpression;
    std::int32_t subtype = kDeviceValueSubtype;
    double nominal = 1.0;
    double initialCondition = 0.0;
    std::int32_t initialConditionGiven = 0;
    EvaluatedModel* model = nullptr;
    SchematicItem* component = nullptr;
    CouplingDevice* coupling = nullptr;  // the coupling of a Transformer
    CoreRequest* core = nullptr;         // the core group of a K with a core model
    std::uint32_t flags = 0;
    // Values that expressions read during a run.
    double current = 0.0;
    double flux = 0.0;
    double fluxDensity = 0.0;  // B / mu0 of a core, A/m
    double field = 0.0;        // H of a core, A/m

    void FreeOwnedData() override
    {
        valueExpression.Clear();
        acExpression.Clear();
    }
};

inline constexpr std::uint32_t kCouplingTransformer = 1;

struct CouplingDevice : ListNode {
    InductorDevice* first = nullptr;
    InductorDevice* second = nullptr;
    double value = 0.0;                  // coupling coefficient
    const DeviceExpression* expression = nullptr;  // the K's coupling expression, or none
    std::uint32_t flags = 0;             // kCouplingTransformer
    SchematicItem* component = nullptr;
};

inline constexpr int kMaxCoupledInductors = 50;

// What a K part asks for; resolved after the component pass.
struct CoreRequest : ListNode {
    EvaluatedModel* model = nullptr;  // the CORE model, or none
    std::vector<InductorDevice*> inductors;
    std::int32_t count = 0;
    EvaluatedModel* groupModel = nullptr;  // core model of the group
    std::int32_t joins = -1;               // index of the earlier request whose group it joins
    double size = 0.0;
    SchematicItem* component = nullptr;
    DeviceExpression coupling;
    std::uint32_t flags = 0;

    void FreeOwnedData() override
    {
        inductors.clear();
        coupling.Clear();
    }
};

}  // namespace kq5
