#pragma once
// Op-amps (device list 13): one record per Opamp part; the elements of its model level are
// ordinary devices of the other lists, which the record names.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/device_lists.h"
#include "core/linked_list.h"

namespace kq5 {

struct EvaluatedModel;
struct SchematicItem;
struct ResistorDevice;
struct CapacitorDevice;
struct DiodeDevice;

// Indices into OpampDevice::pins.
inline constexpr std::size_t kOpampPinPlus = 0;
inline constexpr std::size_t kOpampPinMinus = 1;
inline constexpr std::size_t kOpampPinOutput = 3;

struct OpampDevice : ListNode {
    SchematicItem* component = nullptr;
    EvaluatedModel* model = nullptr;  // OPA
    std::int32_t level = 0;
    // Nodes of pins 1 to 5 at indices 0 to 4: plus input, minus input, VEE, output, VCC.
    std::array<std::int32_t, 5> pins{};
    std::array<std::int32_t, 2> internal{};  // level 2
    double transconductance = 0.0;  // of one gain stage
    std::array<CapacitorDevice*, 3> capacitors{};
    std::array<ResistorDevice*, 9> resistors{};
    std::vector<ListNode*> controlledSources;
    std::vector<ListNode*> sources;
    std::vector<DiodeDevice*> diodes;
    std::array<ListNode*, 2> inputPair{};  // level 3: two bipolar transistors or JFETs
    std::array<EvaluatedModel*, 2> inputModels{};  // QINN and QINP (or J1 and J2)
    EvaluatedModel* diodeModel = nullptr;          // the limiting diodes' model

    void FreeOwnedData() override
    {
        controlledSources.clear();
        sources.clear();
        diodes.clear();
    }
};

// The element values of the LEVEL 3 (Boyle) macromodel.
struct OpampMacroValues {
    double ro2 = 0.0;
    double isq2 = 0.0;  // saturation current of the second input transistor
    double iee = 0.0;
    double vc = 0.0, ve = 0.0, vlp = 0.0, vln = 0.0;
    double gb = 0.0, minusGb = 0.0, gb2 = 0.0;
    double gcm = 0.0, ga = 0.0;
    double c1 = 0.0, c2 = 0.0, ce = 0.0;
    double rc1 = 0.0, rc2 = 0.0, re1 = 0.0, re2 = 0.0, re = 0.0, rp = 0.0, r2 = 0.0;
    double routac = 0.0;
    double beta1 = 0.0, beta2 = 0.0;
    std::string inputPower;  // the input stage's power ("%g") when PD is too small
};

// Derives the macromodel values from the instance's OPA model at the temperature (degrees
// Celsius). 0, 15050 (PD too small; the values are complete with RP = 1/GMIN), or the id of the
// fault that stopped it (15016 to 15020, 15027 to 15029).
int DeriveOpampModel(const OpampDevice& opamp, OpampMacroValues& values, double temperature);

}  // namespace kq5
