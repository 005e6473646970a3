#pragma once
// The component type table: every kind of component the program knows, one constant row per
// type. A component type code is a row index; every component definition of the component
// library carries one. The row says how the type becomes a SPICE element, whether it is
// analog or digital, which model type its model must have, how its pins are named, which
// attributes its dialog offers and which device quantities expressions may ask of it.
// Generated from data/component_types.tsv.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kq5 {

inline constexpr int kComponentTypeCount = 136;

// Type codes that the program names.
enum ComponentTypeCode : int {
    kComponentNull = 0,
    kComponentBattery = 1,
    kComponentResistor = 2,
    kComponentInductor = 3,
    kComponentCapacitor = 4,
    kComponentDiode = 5,
    kComponentNpn = 6,
    kComponentPnp = 7,
    kComponentPmos = 8,
    kComponentNmos = 9,
    kComponentTransformer = 10,
    kComponentISpice = 11,
    kComponentSwitch = 12,
    kComponentPulseSource = 13,
    kComponentShort = 14,
    kComponentTline = 15,
    kComponentUserSource = 16,
    kComponentSineSource = 17,
    kComponentGround = 18,
    kComponentOpamp = 19,
    kComponentJumper = 20,
    kComponentIsource = 21,
    kComponentMacro = 22,
    kComponentTie = 23,
    kComponentPjfet = 24,
    kComponentNjfet = 25,
    kComponentIofV = 26,
    kComponentIofI = 27,
    kComponentVofV = 28,
    kComponentVofI = 29,
    kComponentVSpice = 30,
    kComponentLFIofV = 31,   // Laplace sources 31..34
    kComponentLFVofI = 34,
    kComponentNFI = 35,
    kComponentNpn4 = 36,
    kComponentNFV = 37,
    kComponentPnp4 = 38,
    kComponentNTIofV = 39,   // table sources 39..42
    kComponentNTVofI = 42,
    kComponentLTIofV = 43,   // frequency-table sources 43..46
    kComponentLTVofI = 46,
    kComponentBlank = 47,
    kComponentGaAsFet = 48,
    kComponentSubckt = 49,
    kComponentGIofV = 50,    // polynomial sources 50..53
    kComponentHVofI = 53,
    kComponentDigitalInput = 54,   // N
    kComponentDigitalOutput = 55,  // O
    kComponentAdc = 56,
    kComponentDac = 57,
    kComponentBuf = 58,
    kComponentInv = 59,
    kComponentAnd = 60,
    kComponentNand = 61,
    kComponentOr = 62,
    kComponentNor = 63,
    kComponentXor = 64,
    kComponentNxor = 65,
    kComponentBufA = 66,     // gate arrays 66..73
    kComponentNxorA = 73,
    kComponentAo = 74,
    kComponentOai = 77,
    kComponentBuf3 = 78,
    kComponentNxor3 = 85,
    kComponentBuf3A = 86,    // tri-state gate arrays 86..93
    kComponentNxor3A = 93,
    kComponentJkff = 94,
    kComponentDff = 95,
    kComponentSrff = 96,
    kComponentDltch = 97,
    kComponentPullup = 98,
    kComponentPulldn = 99,
    kComponentDlyline = 100,
    kComponentPland = 101,   // programmable logic arrays 101..112
    kComponentPlnxorc = 112,
    kComponentRom = 113,
    kComponentRam = 114,
    kComponentS = 115,
    kComponentW = 116,
    kComponentStim = 117,
    kComponentNbtg = 118,
    kComponentPbtg = 119,
    kComponentLogicExp = 120,
    kComponentPinDly = 121,
    kComponentConstraint = 122,
    kComponentK = 123,
    kComponentFstim = 124,
    kComponentDigitalLed = 125,
    kComponentEmpty126 = 126,
    kComponentSevenSegment = 127,
    kComponentDigitalSwitch = 128,
    kComponentAnalogState = 129,
    kComponentDigitalState = 130,
    kComponentZLFIofV = 131,  // Z-domain sources 131..134
    kComponentZLFVofI = 134,
    kComponentSampleAndHold = 135,
};

// Domain byte.
inline constexpr std::uint8_t kDomainAnalog = 0;   // translated into analog devices
inline constexpr std::uint8_t kDomainDigital = 1;  // a digital primitive
inline constexpr std::uint8_t kDomainNeither = 2;  // blocks and display-only digital parts

// Pin class byte.
inline constexpr std::uint8_t kPinsAnalog = 0;
inline constexpr std::uint8_t kPinsDigital = 1;
inline constexpr std::uint8_t kPinsMixed = 2;  // decided per pin (PinSignalKind)

// Special values of the pin-names field; any other non-zero value is the string id of pin
// 0's name, pin i's name being id + i.
inline constexpr std::uint32_t kPinNamesConnection = 8400;  // "Pin%c": pure connections
inline constexpr std::uint32_t kPinNamesLayout = 8410;      // from the pin-layout flags
inline constexpr std::uint32_t kPinNamesDefinition = 8510;  // from the component definition

// Device classes of the class bits, matched against the masks of expression device functions.
inline constexpr std::uint32_t kClassResistor = 0x0001;
inline constexpr std::uint32_t kClassCapacitor = 0x0002;
inline constexpr std::uint32_t kClassInductor = 0x0004;
inline constexpr std::uint32_t kClassDiode = 0x0008;
inline constexpr std::uint32_t kClassBipolar = 0x0010;
inline constexpr std::uint32_t kClassMosfet = 0x0020;
inline constexpr std::uint32_t kClassGaAsFet = 0x0040;
inline constexpr std::uint32_t kClassJfet = 0x0080;
inline constexpr std::uint32_t kClassPulseSource = 0x0100;
inline constexpr std::uint32_t kClassOpamp = 0x0200;
inline constexpr std::uint32_t kClassSineSource = 0x0400;
inline constexpr std::uint32_t kClassSpiceSource = 0x0800;
inline constexpr std::uint32_t kClassUserSource = 0x1000;
inline constexpr std::uint32_t kClassTransmissionLine = 0x2000;
inline constexpr std::uint32_t kClassDependentSource = 0x4000;
inline constexpr std::uint32_t kClassTwoTerminal = 0x8000;

// Flag bits.
inline constexpr std::uint32_t kTypeModelOptional = 0x01000000;   // empty MODEL is not looked up
inline constexpr std::uint32_t kTypeArrayPrimitive = 0x10000000;  // pin-names field = gate type
inline constexpr std::uint32_t kTypeOneParameter = 0x00002000;    // parenthesised U-line parameters
inline constexpr std::uint32_t kTypeTwoParameters = 0x00004000;
inline constexpr std::uint32_t kTypeThreeParameters = 0x00008000;
inline constexpr std::uint32_t kTypeGateCountParameter = 0x00000100;  // the last one counts gates
inline constexpr std::uint32_t kTypePinLayout = 0x00100000;       // layout in bits 16..19
inline constexpr std::uint32_t kTypeLayoutOneInOneOut = 0x00010000;
inline constexpr std::uint32_t kTypeLayoutTwoInOneOut = 0x00020000;
inline constexpr std::uint32_t kTypeLayoutInputsOneOut = 0x00040000;
inline constexpr std::uint32_t kTypeLayoutEnable = 0x00080000;
inline constexpr std::uint32_t kTypeTwoSizeFields = 0x00200000;
// Bit 0x01 of the low byte: a new component takes over its main attribute from another
// instance of its definition even when the type has a model type.
inline constexpr std::uint32_t kTypeShareMainAttribute = 0x00000001;

inline constexpr int kTypeAttributeSlots = 9;  // the main attribute and 8 further ones
inline constexpr std::uint32_t kFirstSyntaxHint = 19000;
inline constexpr std::uint32_t kLastSyntaxHint = 19052;

// One row of the table, fields in their stored order. The run-time use count lives apart
// (ComponentTypeUseCount) so that the table itself stays constant.
struct ComponentTypeRow {
    char letter;              // SPICE element letter; ' ' for none
    std::uint8_t domain;
    std::uint8_t pinClass;
    std::uint32_t helpId;     // help context of the type's topic; 0 none
    std::uint32_t pinNames;   // see kPinNames...; for array primitives the element gate's type
    std::int32_t modelType;   // row of the model type table; -1 no model look-up
    std::uint32_t classBits;
    std::int16_t pins;        // -1 variable (from the definition's size fields)
    const char* name;         // "" for the unnamed rows
    std::uint32_t flags;
    std::uint32_t mainAttribute;  // attribute id of the type's "value"; 0 none
    std::uint32_t attributes[8];  // further attribute ids in dialog order, 0-terminated
    std::uint16_t hints[10];      // syntax-hint string id per slot (0 main, k further k); 0 none
};

// The generated rows.
extern const ComponentTypeRow kComponentTypeTable[kComponentTypeCount];

std::span<const ComponentTypeRow> ComponentTypeTable();

// The row of a type code; null outside 0..135.
const ComponentTypeRow* FindComponentTypeRow(int code);

// The code of the type whose name equals the text without regard to case; -1 when none (the
// unnamed rows are never found).
int FindComponentTypeByName(std::string_view name);

// Attribute id of slot 0..8 (0 the main attribute); 0 for an empty slot or a bad argument.
std::uint32_t ComponentTypeAttribute(int code, int slot);
// Syntax-hint string id of slot 0..9; 0 for none or a bad argument.
std::uint32_t ComponentTypeHint(int code, int slot);

// True when the row's pin names are a named group of the string table (not a connection,
// layout or definition rule, not an array primitive, and with a fixed pin count).
bool HasNamedPinGroup(int code);
// The string-table name of a pin of a named group; empty when the type has none for it.
std::string ComponentTypePinName(int code, int pin);

// The class of one pin: 0 analog, 1 digital. Types whose pins are decided per pin: Macro and
// subckt by the definition's pin name (digital when it begins with 'D' or 'd'); N: pin 3;
// O: pin 2; ADC and DAC: the pins above 2. Other rows give their domain byte.
int PinSignalKindOfType(int code, int pin, std::string_view definitionPinName);

// The attribute that names a part's model: a digital primitive whose row lists TIMING MODEL
// names its timing model there; every other part (N and O parts among them) uses MODEL.
int ModelAttributeOfComponentType(int code);

// The run-time use counts: zeroed for every row and raised once per component of the type
// when a circuit is prepared for a build; read by the SPICE export.
void ResetComponentTypeUseCounts();
void CountComponentTypeUse(int code);
std::uint32_t ComponentTypeUseCount(int code);

}  // namespace kq5
