#pragma once
// Polynomial controlled sources (E, F, G and H parts): their controlling quantities and
// coefficients, read from the value text in the SPICE form POLY(n) ctrl... p0 p1 ... or in the
// linear short form, into one record of the controlled-source device list.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/linked_list.h"

namespace kq5 {

struct SchematicItem;

inline constexpr int kPolySourceList = 22;  // device list of the controlled sources
inline constexpr int kMaxPolyDimension = 99;
inline constexpr int kMaxPolyCoefficients = 100;

// One controlling quantity: a node pair for E and G, a voltage source for F and H.
struct PolyControl {
    std::int32_t nodePlus = 0;
    std::int32_t nodeMinus = 0;
    std::string sourceName;          // F and H: until the sources are resolved
    ListNode* source = nullptr;      // F and H: the controlling VSpice or ISpice device
};

struct PolySourceDevice : ListNode {
    SchematicItem* component = nullptr;
    std::int32_t nodePlus = 0;   // output nodes: the component's first two
    std::int32_t nodeMinus = 0;
    std::int32_t componentType = 0;  // 50 GIofV, 51 FIofI, 52 EVofV, 53 HVofI
    std::int32_t scope = 0;
    std::int32_t dimension = 0;
    std::vector<PolyControl> controls;  // entries 1..dimension (entry 0 unused)
    std::vector<double> coefficients;   // p0, p1, ...

    void FreeOwnedData() override
    {
        controls.clear();
        coefficients.clear();
    }
};

// Parses the value text (defines substituted) of an E, F, G or H component into a new record of
// the controlled-source list and registers the part. 0, or 15055 after a reported error.
int ParsePolySource(SchematicItem* component, std::string_view valueText);

// Finds, for every F and H record, the voltage source that each control names among the parts
// of the record's scope. 0, or 1 after reporting 10799.
int ResolvePolySourceNames();

// Frees the controlling-source names of all F and H records.
void FreePolySourceNames();

}  // namespace kq5
