#pragma once
// What the expression language reads of the device records of a built circuit: per
// labelled device its family bits, its two nodes when it has two terminals, the addresses
// of the doubles that its quantities live in, its pin voltages by pin letters and the
// parameters of its model. The circuit build fills the table after the device records are
// made; compiled expressions keep the addresses, so the table is rebuilt (and expressions
// compiled again) only between analyses.
#include <complex>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kq5 {

struct CompiledExpression;
struct ListNode;

// Device families: the bits of the device-kind masks of the expression symbol table.
inline constexpr std::uint32_t kFamilyResistor = 0x1;
inline constexpr std::uint32_t kFamilyCapacitor = 0x2;
inline constexpr std::uint32_t kFamilyInductor = 0x4;
inline constexpr std::uint32_t kFamilyDiode = 0x8;
inline constexpr std::uint32_t kFamilyBipolar = 0x10;
inline constexpr std::uint32_t kFamilyMosfet = 0x20;
inline constexpr std::uint32_t kFamilyGaasfet = 0x40;
inline constexpr std::uint32_t kFamilyJfet = 0x80;
inline constexpr std::uint32_t kFamilyPulseSource = 0x100;
inline constexpr std::uint32_t kFamilyOpamp = 0x200;
inline constexpr std::uint32_t kFamilySineSource = 0x400;
inline constexpr std::uint32_t kFamilySpiceSource = 0x800;
inline constexpr std::uint32_t kFamilyUserSource = 0x1000;
inline constexpr std::uint32_t kFamilyTline = 0x2000;
inline constexpr std::uint32_t kFamilyFunctionSource = 0x4000;
inline constexpr std::uint32_t kFamilyTwoTerminal = 0x8000;
inline constexpr std::uint32_t kFamilyDigital = 0x10000;

// A double of the device record that a quantity reads: "I" (the current of a two-terminal
// device), "IB", "Q", "QBE", "C", "CGS", "X", "L", "R", and "B" and "H" of a magnetic core
// (its stored flux density and field values).
struct DeviceField {
    std::string name;
    const double* address = nullptr;
};

// A terminal current of a device in an AC run, by its quantity name ("IC", "ID"): the
// small-signal phasor that the AC current pass leaves.
struct DeviceAcField {
    std::string name;
    const std::complex<double>* address = nullptr;
};

// A pin voltage by its pin letters ("BE", "B", "AP", "OUT"): plus node minus minus node,
// node 0 being ground.
struct DevicePinVoltage {
    std::string pins;
    int plusNode = 0;
    int minusNode = 0;
};

// A parameter of the device's evaluated model: its 32-bit value, and whether the model
// keeps the reciprocal of the value the user gave.
struct DeviceModelParam {
    std::string name;
    const float* value = nullptr;
    bool reciprocal = false;
};

struct DeviceRecordFields {
    std::string label;             // scope-qualified part name, as written in the circuit
    std::uint32_t families = 0;    // family bits of the component type
    bool twoTerminal = false;
    int nodes[2] = {-1, -1};       // the two nodes of a two-terminal device
    std::vector<DeviceField> fields;
    std::vector<DevicePinVoltage> pinVoltages;
    std::vector<DeviceModelParam> modelParams;
    // The device whose small-signal current the AC current pass stores, for the kinds that
    // store one; an AC curve reads their I there rather than the operating-point value.
    const ListNode* acCurrentRecord = nullptr;
    std::vector<DeviceAcField> acFields;  // the terminal currents of a transistor
};

// Present and previous history values of one device record (charges, fluxes, values kept
// for derivatives), cleared at the start of a run.
struct DeviceHistoryFields {
    std::span<double> values;
};

struct DevicesState {
    // Read through DeviceRecordTable(): a build leaves the table to be made at its first use,
    // so a run that no expression reads a device of never holds it.
    std::vector<DeviceRecordFields> recordFields;
    void (*fillRecordFields)() = nullptr;
    bool recordFieldsPending = false;
    std::vector<DeviceHistoryFields> history;
    // The compiled value expressions of formula sources, resistors, capacitors, inductors
    // and Laplace sources (their STP and IMPULSE instants become breakpoints).
    std::vector<CompiledExpression*> expressions;
    // Per-run model values at the run's temperature.
    double runKelvin = 300.15;
    double gmax = 9.999999999999999e+49;  // 1 / RMIN
    // The AC currents that an AC run's current pass stores, by device record. An entry, once
    // made, keeps its address: a compiled expression holds it.
    std::unordered_map<const ListNode*, std::complex<double>> acCurrents;
    // The families of the devices a field address was handed out for since the table was
    // filled. A load may leave values that no expression reads in the solver's own state
    // rather than write them into every record at every pass (the charges and currents of
    // the capacitors at time points).
    std::uint32_t familiesRead = 0;
};

DevicesState& Devices();
void ResetDevicesStateForTests();

// The table of labelled devices, made first if the build left it pending.
const std::vector<DeviceRecordFields>& DeviceRecordTable();

// The device whose label equals the name (case-blind) and whose families meet the mask;
// null when none.
const DeviceRecordFields* FindDeviceByLabel(std::string_view label, std::uint32_t familyMask);

// The two-terminal devices of the families in the mask whose nodes are the pair, in
// either order.
std::vector<const DeviceRecordFields*> FindDevicesBetweenNodes(int nodeA, int nodeB,
                                                              std::uint32_t familyMask);

// The address of a named field of the device, or null.
const double* FindDeviceField(const DeviceRecordFields& device, std::string_view name);
const DevicePinVoltage* FindDevicePinVoltage(const DeviceRecordFields& device,
                                             std::string_view pins);
const DeviceModelParam* FindDeviceModelParam(const DeviceRecordFields& device,
                                             std::string_view name);
// Where the AC current pass leaves the device's complex current; null for a kind that has
// none. The address stays valid until the AC stamp state is reset.
const std::complex<double>* FindDeviceAcCurrent(const DeviceRecordFields& device);
// The AC phasor of a terminal current named like its operating-point field, or null.
const std::complex<double>* FindDeviceAcField(const DeviceRecordFields& device, std::string_view name);

// Clears the history values of every device record.
void ClearDeviceHistoryFields();

}  // namespace kq5
