#pragma once
// The analog-digital interfaces: an AtoD interface (O part) reads a node voltage through the
// voltage bands of its model, a DtoA interface (N part) drives its analog node through two
// resistances to its low and high reference, switching between the rows of its model.
#include <cstdint>
#include <string>
#include <vector>

#include "core/digital_node_states.h"

namespace kq5 {

struct ResistorDevice;
struct DigitalDeviceSpec;

struct AtoDInterface : DigitalDeviceRecord {
    struct Band {
        char letter = 0;
        double low = 0.0, high = 0.0;
    };
    int device = 0;
    int analog = 0, reference = 0, digital = 0;
    std::vector<Band> bands;
    char fallback = 0;          // SXNAME: the state of a voltage in no band
    int band = -1;              // the band of the last accepted point
    char letter = 0;            // the state last put on the digital node (SXNAME in no band)
    double acceptedVoltage = 0.0;
    bool hazard = false;        // the hazard was reported in this run
};

struct DtoAInterface : DigitalDeviceRecord {
    struct Row {
        char letter = 0;
        double switching = 0.0, low = 0.0, high = 0.0;
    };
    int device = 0;
    int digital = 0;
    std::vector<Row> rows;
    int row = -1;
    ResistorDevice* lowResistor = nullptr;   // analog pin to the low reference
    ResistorDevice* highResistor = nullptr;  // analog pin to the high reference
    double previousLow = 0.0, previousHigh = 0.0, newLow = 0.0, newHigh = 0.0;
    double start = 0.0, switching = 1e-11;
};

// An ADC: converts V(input) - V(low) against V(reference) - V(low) into `bits` data outputs
// on a rising edge of its convert input.
struct AdcDevice : DigitalDeviceRecord {
    int device = 0;
    int input = 0, reference = 0, low = 0;
    int bits = 0;
    bool request = false;
    long long code = -1;  // the code last converted
};

// Set-up of an ADC part: pins input, reference, low, convert, status, overflow, then the data
// bits most significant first. 0, 15055 (a bit count above 30, reported) or 1.
int SetupAdcPart(SchematicItem& item, int bits, DigitalDeviceSpec& spec);
// The convert input changed: a rising edge asks for a conversion.
void AdcConvertChanged(int device);
// Accepted point: the requested conversions, their outputs scheduled from the tick. 0 or 15002.
int UpdateAdcDevices(std::uint32_t tick);
// The code of a conversion: n = 2^bits levels, clamped.
long long AdcCode(double input, double reference, double low, int bits, bool& overflow);

// A DAC: its code (in half steps of the least significant bit, an X input counting half) sets
// the gain of a voltage-controlled voltage source from its reference to its output, moving
// from the previous code to the new one over the device's delay.
struct LinearSourceDevice;
struct DacDevice : DigitalDeviceRecord {
    int device = 0;
    int bits = 0;
    LinearSourceDevice* source = nullptr;
    long long code = 0;
    double previous = 0.0;  // the code (in half steps) the output moves from toward `code`
    double changeTime = 0.0, delay = 1e-8;
    double loadedGain = 0.0;  // the source's gain at the last load
};

// Set-up of a DAC part: pins output, reference, low, then the inputs most significant first.
// 0, 15055 (a bit count above 30, reported) or 15002.
int SetupDacPart(SchematicItem& item, int bits, DigitalDeviceSpec& spec);
// The code of the inputs' present states.
long long DacCode(const DigitalDeviceTables& d, int device, int bits);
// Accepted point (and the operating point): new codes start their move. 0 or 15002.
int UpdateDacDevices(double now, bool operatingPoint);
// Before a solve at the time: each DAC's source gain on its way between codes.
void SetDacOutputs(double now, bool operatingPoint);

// Set-up of an O or N part (the build) as digital device `device`: its record, its analog load
// elements and the device description. 0, 15055 (reported) or 1 (a missing model).
int SetupInterfacePart(SchematicItem& item, int type, int device, DigitalDeviceSpec& spec);

// Run start: each interface in its X row (or 0 row). 0 or 15033/15034.
int InitInterfaces();
// The analog load pass: the DtoA output resistances between their rows; the AtoD crossings
// asking for a smaller step.
int LoadDtoAInterfaces();
int CheckAtoDCrossings();
// Accepted point: DtoA rows from their nodes, then AtoD states from their voltages. 0 or an id.
int UpdateDtoAInterfaces(double now, bool operatingPoint);
// During the digital passes, for a changed interface node: a DtoA whose row changes, and DACs
// whose code changes, mark the interface changed; in the operating point a DtoA switches at
// once and the Newton iteration goes on. 0 or 15032.
int CheckDtoANode(int node);
int CheckDacInputs();
// The set-up: the nodes the DtoA interfaces and DAC inputs read.
void MarkInterfaceNodes();
int UpdateAtoDInterfaces(double now, std::uint32_t tick);

}  // namespace kq5
