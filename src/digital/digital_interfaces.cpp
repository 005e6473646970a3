// The analog-digital interfaces: bands of AtoD models, rows of DtoA models, the analog load of
// both, and their updates at accepted points.
#include "digital/digital_interfaces.h"

#include "analog/transient_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "core/format.h"
#include "netlist/capacitor_device.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/resistor_device.h"
#include "digital/digital_checks.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_attributes.h"
#include "document/node_table.h"
#include "document/component_types.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

constexpr int kMsgIllegalDtoAState = 15032, kMsgNoAtoDStart = 15033, kMsgNoDtoAStart = 15034;
constexpr int kMsgIllegalStateCharacter = 15035;
constexpr double kDefaultSwitching = 1e-11;

// Until the run's first solve the solution holds only the starting guess, which is no voltage
// of the circuit: the input interfaces and converters keep the states they start in (X) until
// then, so that an operating point that holds in X (a gate fed back through an RC) is found.
bool startingGuess = true;

// DOUTPUT: RLOAD, CLOAD, TIMESCALE, then 20 bands of name, low, high, then SXNAME.
constexpr int kRload = 0, kCload = 1, kFirstBand = 3, kSxName = 63;
// DINPUT: CLO, CHI, then 20 rows of name, switching time, RLO, RHI.
constexpr int kClo = 0, kChi = 1, kFirstRow = 2;

double Param(const EvaluatedModel* model, int index)
{
    if (!model || index < 0 || static_cast<std::size_t>(index) >= model->params.size()) return 0.0;
    const float value = model->params[static_cast<std::size_t>(index)];
    return IsParamNotGiven(value) ? 0.0 : static_cast<double>(value);
}

char Letter(const EvaluatedModel* model, int index)
{
    if (!model || index < 0 || static_cast<std::size_t>(index) >= model->params.size()) return 0;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(CharacterOfSlot(model->params[static_cast<std::size_t>(index)]))));
}

bool StateLetter(char c) { return c != 0 && std::strchr(kDigitalStateLetters, c) != nullptr; }

double Voltage(int node)
{
    const std::vector<double>& x = SolutionVector();
    return node > 0 && static_cast<std::size_t>(node) < x.size() ? x[static_cast<std::size_t>(node)] : 0.0;
}

template <class Record>
std::vector<Record*> Interfaces()
{
    std::vector<Record*> list;
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.converterDevices)
        if (auto* r = dynamic_cast<Record*>(d.record[static_cast<std::size_t>(dev)].get())) list.push_back(r);
    return list;
}

// The band of a voltage: the present one first, then the others in turn; none gives -1.
int FindBand(const AtoDInterface& a, double v)
{
    const int n = static_cast<int>(a.bands.size());
    const int first = a.band >= 0 ? a.band : 0;
    for (int k = 0; k < n; ++k) {
        const int b = (first + k) % n;
        if (a.bands[static_cast<std::size_t>(b)].low <= v && v < a.bands[static_cast<std::size_t>(b)].high) return b;
    }
    return -1;
}

int NearestBand(const AtoDInterface& a, double v)
{
    int best = 0;
    double distance = 1e300;
    for (std::size_t b = 0; b < a.bands.size(); ++b) {
        const double centre = 0.5 * (a.bands[b].low + a.bands[b].high);
        if (std::abs(centre - v) < distance) {
            distance = std::abs(centre - v);
            best = static_cast<int>(b);
        }
    }
    return best;
}

// The state letter for a voltage; a voltage in no band takes SXNAME or the nearest band (with
// the hazard warning, once a run, when `warn` is set).
char StateForVoltage(AtoDInterface& a, double v, double time, int& band, bool warn = true)
{
    band = FindBand(a, v);
    if (band >= 0) return a.bands[static_cast<std::size_t>(band)].letter;
    if (a.fallback) {
        band = a.band;
        return a.fallback;
    }
    band = NearestBand(a, v);
    if (warn && !a.hazard) {
        a.hazard = true;
        DigitalDeviceTables& d = DigitalSimulator();
        const std::string name = DigitalDeviceName(a.device);
        const std::string node = FindNodeName(CircuitNodeTable(), a.analog, 0, kNodeAnalog);
        d.pendingWarnings.push_back("\nDigital Warning\n" +
                                    StrPrintf("Input voltage hazard on ATOD interface device %s.\n", name.c_str()) +
                                    StrPrintf("Analog input node %s is at %3.3e volts at T=%3.3e\n", node.c_str(), v, time));
    }
    return a.bands.empty() ? 'X' : a.bands[static_cast<std::size_t>(band)].letter;
}

// Sets the node of an input interface to the state of a letter; a changed node (or, with
// always, the node whatever it held) goes to the changed-node list for its readers.
void SetDigitalState(int node, char letter, bool always = false)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (node <= 0 || static_cast<std::size_t>(node) >= d.current.size()) return;
    const int level = static_cast<int>(std::strchr(kDigitalStateLetters, letter) - kDigitalStateLetters);
    const std::uint16_t state = level == kStateZ ? MakeDigitalState(kStateX, 0) : MakeDigitalState(level, 63);
    const std::size_t n = static_cast<std::size_t>(node);
    if (d.current[n] == state && d.scheduled[n] == state && !always) return;
    d.current[n] = d.scheduled[n] = state;
    AddChangedNode(node);
}

void SetRow(DtoAInterface& t, int row, double now, bool immediate)
{
    const DtoAInterface::Row& r = t.rows[static_cast<std::size_t>(row)];
    if (immediate) {
        t.previousLow = r.low;
        t.previousHigh = r.high;
    } else {
        // A stage still on its way to the last row starts the new switching from where it
        // stands: a pulse shorter than the switching time moves the output only part way.
        const double w = t.switching > 0.0 ? std::clamp(1.0 - (now - t.start) / t.switching, 0.0, 1.0) : 0.0;
        t.previousLow = t.newLow + (t.previousLow - t.newLow) * w;
        t.previousHigh = t.newHigh + (t.previousHigh - t.newHigh) * w;
    }
    t.newLow = r.low;
    t.newHigh = r.high;
    t.start = now;
    t.switching = r.switching > 0.0 ? r.switching : kDefaultSwitching;
    t.row = row;
}

// The row of the interface's node state (Z without strength); -1 when the model has none.
int RowOfNode(const DtoAInterface& t, const DigitalDeviceTables& d)
{
    const char letter = DigitalStateChar(d.current[static_cast<std::size_t>(t.digital)]);
    for (std::size_t r = 0; r < t.rows.size(); ++r)
        if (t.rows[r].letter == letter) return static_cast<int>(r);
    return -1;
}

}  // namespace

int SetupInterfacePart(SchematicItem& item, int type, int device, DigitalDeviceSpec& spec)
{
    const int pins = static_cast<int>(item.pinNodes.size());
    auto pin = [&](int k) { return k < pins ? std::max<std::int32_t>(item.pinNodes[static_cast<std::size_t>(k)], 0) : 0; };
    EvaluatedModel* model = PartModel(&item, kAttrModel);
    if (!model) return 1;
    spec.primitive = type;
    spec.component = &item;
    spec.timingModel = nullptr;
    if (type == kComponentDigitalOutput) {
        // AtoD: pins analog, reference, digital.
        auto record = std::make_unique<AtoDInterface>();
        record->device = device;
        record->analog = pin(0);
        record->reference = pin(1);
        record->digital = pin(2);
        for (int b = 0; b < 20; ++b) {
            const char letter = Letter(model, kFirstBand + 3 * b);
            if (!letter) continue;
            if (!StateLetter(letter)) return ReportComponentMessage(&item, kMsgIllegalStateCharacter);
            record->bands.push_back({letter, Param(model, kFirstBand + 3 * b + 1), Param(model, kFirstBand + 3 * b + 2)});
        }
        record->fallback = Letter(model, kSxName);
        if (record->fallback && !StateLetter(record->fallback)) return ReportComponentMessage(&item, kMsgIllegalStateCharacter);
        double rload = Param(model, kRload);
        const double gmin = GlobalOptions().values.gmin;
        if (rload == 0.0 && gmin > 0.0) rload = 1.0 / gmin;
        if (rload > 0.0 && !AppendResistorDevice(rload, record->analog, record->reference, 0)) return 15002;
        const double cload = Param(model, kCload);
        if (cload > 0.0 && !AppendCapacitorDevice(cload, record->analog, record->reference)) return 15002;
        spec.deviceClass = kClassDigitalOutput;
        spec.outputs = {record->digital};
        spec.record = std::move(record);
        return 0;
    }
    // DtoA: pins analog, low reference, high reference, digital.
    auto record = std::make_unique<DtoAInterface>();
    record->device = device;
    record->digital = pin(3);
    for (int r = 0; r < 20; ++r) {
        const char letter = Letter(model, kFirstRow + 4 * r);
        if (!letter) continue;
        if (!StateLetter(letter)) return ReportComponentMessage(&item, kMsgIllegalStateCharacter);
        record->rows.push_back({letter, Param(model, kFirstRow + 4 * r + 1), Param(model, kFirstRow + 4 * r + 2),
                                Param(model, kFirstRow + 4 * r + 3)});
    }
    const double start = record->rows.empty() ? 1e6 : record->rows.front().low;
    record->lowResistor = AppendResistorDevice(start, pin(0), pin(1), 0);
    record->highResistor = AppendResistorDevice(start, pin(0), pin(2), 0);
    for (ResistorDevice* r : {record->lowResistor, record->highResistor})
        if (r) r->flags |= kResistorValueMoves;
    if (!record->lowResistor || !record->highResistor) return 15002;
    if (Param(model, kClo) > 0.0 && !AppendCapacitorDevice(Param(model, kClo), pin(0), pin(1))) return 15002;
    if (Param(model, kChi) > 0.0 && !AppendCapacitorDevice(Param(model, kChi), pin(0), pin(2))) return 15002;
    spec.deviceClass = kClassDigitalInput;
    spec.inputs = {record->digital};
    spec.record = std::move(record);
    return 0;
}

int SetupAdcPart(SchematicItem& item, int bits, DigitalDeviceSpec& spec)
{
    // The code is built from powers of two up to 2^30.
    if (bits < 1 || bits > 30) return ReportComponentMessage(&item, 10914);
    const int pins = static_cast<int>(item.pinNodes.size());
    if (pins < 6 + bits) return ReportComponentMessage(&item, 10914);
    auto pin = [&](int k) { return std::max<std::int32_t>(item.pinNodes[static_cast<std::size_t>(k)], 0); };
    auto record = std::make_unique<AdcDevice>();
    record->input = pin(0);
    record->reference = pin(1);
    record->low = pin(2);
    record->bits = bits;
    spec.primitive = kComponentAdc;
    spec.deviceClass = kClassAdc;
    spec.component = &item;
    spec.inputs = {pin(3)};
    for (int k = 4; k < 6 + bits; ++k) spec.outputs.push_back(pin(k));
    spec.record = std::move(record);
    return 0;
}

void AdcConvertChanged(int device)
{
    DigitalDeviceTables& d = DigitalSimulator();
    auto* adc = dynamic_cast<AdcDevice*>(d.record[static_cast<std::size_t>(device)].get());
    if (!adc) return;
    const std::int32_t convert = DeviceInput(d, device, 0);
    const int now = SettledLevel(LevelOf(d.current[static_cast<std::size_t>(convert)]));
    const int before = SettledLevel(LevelOf(d.previous[static_cast<std::size_t>(convert)]));
    adc->request = now == kState1 && before == kState0;
}

long long AdcCode(double input, double reference, double low, int bits, bool& overflow)
{
    const long long n = 1ll << bits;
    const double span = reference - low;
    overflow = false;
    if (span == 0.0) return n - 1;
    const double code = std::floor(static_cast<double>(n) * (input - low) / span + 0.5);
    if (code < 0.0 || code > static_cast<double>(n - 1)) overflow = true;
    return static_cast<long long>(std::clamp(code, 0.0, static_cast<double>(n - 1)));
}

namespace {

// What an ADC drives for its code: the overflow output, then the bits, most significant first
// (output pins 1, 2, ... after the status, pin 0). 0 or the first error of drive.
template <class Drive>
int DriveAdcData(const AdcDevice& adc, bool overflow, Drive drive)
{
    int rc = drive(1, overflow ? kState1 : kState0);
    for (int b = 0; b < adc.bits && rc == 0; ++b)
        rc = drive(2 + b, ((adc.code >> (adc.bits - 1 - b)) & 1) ? kState1 : kState0);
    return rc;
}

// The operating point converts every ADC at the present voltages and puts its outputs on
// their nodes at once: an idle status and the code (the passes of the digital operating point
// that follow take them to the readers).
void ConvertAdcsAtOperatingPoint()
{
    DigitalDeviceTables& d = DigitalSimulator();
    const bool saved = d.operatingPoint;
    d.operatingPoint = true;
    for (int dev : d.converterDevices) {
        const std::size_t i = static_cast<std::size_t>(dev);
        auto* adc = dynamic_cast<AdcDevice*>(d.record[i].get());
        if (!adc) continue;
        bool overflow = false;
        adc->code = AdcCode(Voltage(adc->input), Voltage(adc->reference), Voltage(adc->low), adc->bits, overflow);
        const int outputs = DeviceOutputCount(d, dev);
        auto put = [&](int pinIndex, int level) {
            const int node = DeviceOutputNode(d, dev, outputs - pinIndex);
            const int output = DeviceOutputIndex(d, dev, outputs - pinIndex);
            const std::uint16_t state =
                MakeDigitalState(level, level == kState0 ? d.workLowStrength[i] : d.workHighStrength[i]);
            if (output >= 0) d.outputScheduled[static_cast<std::size_t>(output)] = state;
            if (node <= 0) return 0;
            const int rc = ResolveNodeDrive(d.workLowStrength[i], d.workHighStrength[i], node, dev, state, 0);
            d.scheduled[static_cast<std::size_t>(node)] = d.current[static_cast<std::size_t>(node)];
            return rc;
        };
        put(0, kState0);
        DriveAdcData(*adc, overflow, put);
    }
    d.operatingPoint = saved;
}

}  // namespace

int UpdateAdcDevices(std::uint32_t tick)
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.converterDevices) {
        const std::size_t i = static_cast<std::size_t>(dev);
        auto* adc = dynamic_cast<AdcDevice*>(d.record[i].get());
        if (!adc || !adc->request) continue;
        adc->request = false;
        bool overflow = false;
        adc->code = AdcCode(Voltage(adc->input), Voltage(adc->reference), Voltage(adc->low), adc->bits, overflow);
        // Status at TPCS, data at TPCS + TPSD, status back after TPDS.
        const std::vector<std::int32_t>& delays = d.delays[i];
        const int selection = std::clamp<int>(d.delaySelect[i], 1, 3) - 1;
        auto delay = [&](int group) {
            const std::size_t k = static_cast<std::size_t>(group + selection);
            return k < delays.size() ? static_cast<std::uint32_t>(std::max(delays[k], 0)) : 0u;
        };
        const std::uint32_t statusAt = tick + delay(0), dataAt = statusAt + delay(3), backAt = dataAt + delay(6);
        const int outputs = DeviceOutputCount(d, dev);  // status, overflow, bits (most significant first)
        d.now = tick;
        d.forceFlag = true;
        auto drive = [&](int pinIndex, int level, std::uint32_t at) {
            d.evaluatedOutput = outputs - pinIndex;
            const int node = DeviceOutputNode(d, dev, d.evaluatedOutput);
            const std::uint16_t state =
                MakeDigitalState(level, level == kState0 ? d.workLowStrength[i] : d.workHighStrength[i]);
            return ScheduleDigitalChange(at, d.workLowStrength[i], d.workHighStrength[i], node, dev, state);
        };
        int rc = drive(0, kState1, statusAt);
        if (rc == 0) rc = DriveAdcData(*adc, overflow, [&](int pinIndex, int level) { return drive(pinIndex, level, dataAt); });
        if (rc == 0) rc = drive(0, kState0, backAt);
        d.forceFlag = false;
        if (rc) return rc;
    }
    return 0;
}

int SetupDacPart(SchematicItem& item, int bits, DigitalDeviceSpec& spec)
{
    if (bits < 1 || bits > 30) return ReportComponentMessage(&item, 10914);
    const int pins = static_cast<int>(item.pinNodes.size());
    if (pins < 3 + bits) return ReportComponentMessage(&item, 10914);
    auto pin = [&](int k) { return std::max<std::int32_t>(item.pinNodes[static_cast<std::size_t>(k)], 0); };
    auto record = std::make_unique<DacDevice>();
    record->bits = bits;
    // V(output) - V(low) = gain (V(reference) - V(low)).
    record->source = AppendDevice<LinearSourceDevice>(kLinearSourceDeviceList);
    if (!record->source) return 15002;
    record->source->outputPlus = pin(0);
    record->source->outputMinus = pin(2);
    record->source->controlPlus = pin(1);
    record->source->controlMinus = pin(2);
    record->source->outputKind = kComponentVofV;
    record->source->gain = 0.0;
    spec.primitive = kComponentDac;
    spec.deviceClass = kClassDac;
    spec.component = &item;
    for (int k = 3; k < 3 + bits; ++k) spec.inputs.push_back(pin(k));
    spec.record = std::move(record);
    return 0;
}

long long DacCode(const DigitalDeviceTables& d, int device, int bits)
{
    long long code = 0;
    for (int i = 0; i < bits; ++i) {
        const std::int32_t node = DeviceInput(d, device, i);
        const int level = LevelOf(d.current[static_cast<std::size_t>(std::abs(node))]);
        if (StrengthOf(d.current[static_cast<std::size_t>(std::abs(node))]) == 0) continue;
        if (level == kState1) code += 1ll << (bits - i);
        else if (level == kStateX) code += 1ll << (bits - 1 - i);
    }
    return code;
}

namespace {

// The code the output of a DAC stands at: on its way from `previous` to `code` over its delay.
double DacPosition(const DacDevice& dac, double now)
{
    const double w = dac.delay > 0.0 ? std::clamp((now - dac.changeTime) / dac.delay, 0.0, 1.0) : 1.0;
    return dac.previous + (static_cast<double>(dac.code) - dac.previous) * w;
}

}  // namespace

int UpdateDacDevices(double now, bool operatingPoint)
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.converterDevices) {
        const std::size_t i = static_cast<std::size_t>(dev);
        auto* dac = dynamic_cast<DacDevice*>(d.record[i].get());
        if (!dac) continue;
        const long long code = DacCode(d, dev, dac->bits);
        if (code == dac->code && !operatingPoint) continue;
        // An output still on its way to the last code moves on from where it stands.
        const double from = DacPosition(*dac, now);
        const std::vector<std::int32_t>& delays = d.delays[i];
        const std::size_t k = static_cast<std::size_t>(std::clamp<int>(d.delaySelect[i], 1, 3) - 1);
        // At least 10 ticks, so that the move takes time points of its own.
        dac->delay = k < delays.size() ? std::max(delays[k], 10) * d.timeUnit : 1e-8;
        dac->previous = operatingPoint ? static_cast<double>(code) : from;
        dac->code = code;
        dac->changeTime = now;
        if (!operatingPoint)
            if (int rc = AddTimeBreakpoint(TimeToTick(now + dac->delay))) return rc;
    }
    SetDacOutputs(now, operatingPoint);
    return 0;
}

void SetDacOutputs(double now, bool operatingPoint)
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.converterDevices) {
        auto* dac = dynamic_cast<DacDevice*>(d.record[static_cast<std::size_t>(dev)].get());
        if (!dac || !dac->source) continue;
        const double code = operatingPoint ? static_cast<double>(dac->code) : DacPosition(*dac, now);
        dac->source->gain = code / static_cast<double>(1ll << (dac->bits + 1));
    }
}

int InitInterfaces()
{
    startingGuess = true;
    for (AtoDInterface* a : Interfaces<AtoDInterface>()) {
        a->hazard = false;
        a->band = -1;
        a->letter = 0;
        for (std::size_t b = 0; b < a->bands.size() && a->band < 0; ++b)
            if (a->bands[b].letter == 'X') a->band = static_cast<int>(b);
        for (std::size_t b = 0; b < a->bands.size() && a->band < 0; ++b)
            if (a->bands[b].letter == '0') a->band = static_cast<int>(b);
        if (a->band < 0) return kMsgNoAtoDStart;
    }
    for (DacDevice* dac : Interfaces<DacDevice>()) {
        dac->code = 0;
        dac->previous = 0.0;
        dac->changeTime = AnalogSolver().time;
        if (dac->source) dac->source->gain = 0.0;
        dac->loadedGain = 0.0;
    }
    for (DtoAInterface* t : Interfaces<DtoAInterface>()) {
        int row = -1;
        for (std::size_t r = 0; r < t->rows.size() && row < 0; ++r)
            if (t->rows[r].letter == 'X') row = static_cast<int>(r);
        for (std::size_t r = 0; r < t->rows.size() && row < 0; ++r)
            if (t->rows[r].letter == '0') row = static_cast<int>(r);
        if (row < 0) return kMsgNoDtoAStart;
        SetRow(*t, row, AnalogSolver().time, true);
    }
    return 0;
}

int LoadDtoAInterfaces()
{
    AnalogSolverState& s = AnalogSolver();
    const bool operatingPoint = s.runPhase == kPhaseOperatingPoint;
    for (DtoAInterface* t : Interfaces<DtoAInterface>()) {
        double w = operatingPoint ? 0.0 : 1.0 - (s.time - t->start) / t->switching;
        w = std::clamp(w, 0.0, 1.0);
        const double low = t->newLow + (t->previousLow - t->newLow) * w;
        const double high = t->newHigh + (t->previousHigh - t->newHigh) * w;
        // The solution of the last iteration was made with the stage as it stood before the
        // digital side switched it: the load that first stamps the switched stage asks for
        // one more solve, or the operating point would end with a solution of the old state
        // (a point of a DC sweep may end at its second iteration, and the solution of a gate
        // fed back through an RC would stand still while its stage switches back and forth).
        if (operatingPoint && ((t->lowResistor && t->lowResistor->value != low) ||
                               (t->highResistor && t->highResistor->value != high)))
            ++s.nonConvergedCount;
        if (t->lowResistor) t->lowResistor->value = low;
        if (t->highResistor) t->highResistor->value = high;
    }
    // The same for a DAC whose code the operating point took since the last load (its source
    // is loaded before this).
    const DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.dacDevices) {
        auto* dac = static_cast<DacDevice*>(d.record[static_cast<std::size_t>(dev)].get());
        if (!dac->source) continue;
        if (operatingPoint && dac->source->gain != dac->loadedGain) ++s.nonConvergedCount;
        dac->loadedGain = dac->source->gain;
    }
    return 0;
}

int CheckAtoDCrossings()
{
    AnalogSolverState& s = AnalogSolver();
    DigitalDeviceTables& d = DigitalSimulator();
    if (d.deviceCount == 0) return 0;
    const double reltol = GlobalOptions().values.reltol;
    double smallest = 1e30;
    if (s.runPhase == kPhaseOperatingPoint) {
        // A run that starts from its initial values reads them at once.
        if (s.iterationCount > 0 || s.noOperatingPoint) startingGuess = false;
        if (startingGuess) return 0;
        ConvertAdcsAtOperatingPoint();
    }
    for (AtoDInterface* a : Interfaces<AtoDInterface>()) {
        if (a->bands.empty() || a->band < 0) continue;
        const double now = Voltage(a->analog) - Voltage(a->reference);
        if (s.runPhase == kPhaseOperatingPoint) {
            // The operating point takes the state of the voltage at once, also of one outside
            // every band (a gate fed from a -12 V comparator output starts at 0, not X); the
            // hazard is reported at the run's first accepted point.
            int band = -1;
            a->letter = StateForVoltage(*a, now, s.time, band, false);
            SetDigitalState(a->digital, a->letter);
            if (band >= 0) a->band = band;
            continue;
        }
        const int band = FindBand(*a, now);
        // The state the voltage gives: its band's, or SXNAME outside every band (without
        // SXNAME the nearest band is taken at the accepted point, with no cut of the step).
        const char next = band >= 0 ? a->bands[static_cast<std::size_t>(band)].letter : a->fallback;
        if (!next || next == a->letter) continue;
        const double dv = now - a->acceptedVoltage;
        const AtoDInterface::Band& present = a->bands[static_cast<std::size_t>(a->band)];
        double threshold = dv <= 0.0 ? present.low : present.high;
        // A voltage that had already left the present band (into a gap between the bands of
        // the model) crosses into the new one at that band's own edge: cut to the present
        // band's edge, which lies behind it, every retry would find the crossing again.
        if (band >= 0 && (a->acceptedVoltage < present.low || a->acceptedVoltage >= present.high)) {
            const AtoDInterface::Band& entered = a->bands[static_cast<std::size_t>(band)];
            threshold = dv <= 0.0 ? entered.high : entered.low;
        }
        if (dv == 0.0) continue;
        double f = (threshold - a->acceptedVoltage) * (2.0 * reltol + 1.0) / dv;
        if (f <= 0.01) f = 0.01;
        const double beyond = dv > 0.0 ? now - threshold : threshold - now;
        if (f > 0.0 && f < 1.0 - reltol && beyond > reltol * std::max(std::abs(threshold), 1.0))
            smallest = std::min(smallest, f);
    }
    // A fraction of the step: the time loop retries a step cut to land near the threshold.
    if (smallest < 1.0) {
        double& factor = s.stepFactors[static_cast<std::size_t>(kStepFactorDigitalInterface)];
        factor = std::min(factor, smallest);
    }
    return 0;
}

int UpdateDtoAInterfaces(double now, bool operatingPoint)
{
    DigitalDeviceTables& d = DigitalSimulator();
    double limit = 1e30;
    for (DtoAInterface* t : Interfaces<DtoAInterface>()) {
        if (t->digital <= 0) continue;
        const int row = RowOfNode(*t, d);
        if (row < 0) return kMsgIllegalDtoAState;
        if (row != t->row || operatingPoint) {
            SetRow(*t, row, now, operatingPoint);
            // The time loop lands where the output stage has finished switching.
            if (!operatingPoint) AddTimeBreakpoint(TimeToTick(now + t->switching));
        }
        // While the stage switches, the steps follow its move.
        if (!operatingPoint && now - t->start < t->switching) limit = std::min(limit, t->switching * d.convergenceFactor);
    }
    if (limit < 1e30) {
        TransientRunState& run = TransientRun();
        run.plannedStep = std::min(run.plannedStep, std::max(limit, run.minimumStep));
    }
    return 0;
}

int CheckDtoANode(int node)
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.dtoaDevices) {
        auto* t = static_cast<DtoAInterface*>(d.record[static_cast<std::size_t>(dev)].get());
        if (t->digital != node) continue;
        const int row = RowOfNode(*t, d);
        if (row < 0) return kMsgIllegalDtoAState;
        if (row == t->row) continue;
        d.interfaceChanged = true;
        // The operating point takes the new row at once and solves again with it; inside the
        // run the accepted point starts the switch at the same time.
        if (d.operatingPoint) {
            SetRow(*t, row, AnalogSolver().time, true);
            ++AnalogSolver().nonConvergedCount;
        }
    }
    return 0;
}

int CheckDacInputs()
{
    DigitalDeviceTables& d = DigitalSimulator();
    bool taken = false;
    for (int dev : d.dacDevices) {
        auto* dac = static_cast<DacDevice*>(d.record[static_cast<std::size_t>(dev)].get());
        const long long code = DacCode(d, dev, dac->bits);
        if (code == dac->code) continue;
        d.interfaceChanged = true;
        // The operating point takes the new code at once and solves again with it; inside the
        // run the code moves from the accepted point on.
        if (d.operatingPoint) {
            dac->code = code;
            dac->previous = static_cast<double>(code);
            dac->changeTime = AnalogSolver().time;
            taken = true;
        }
    }
    if (taken) {
        SetDacOutputs(AnalogSolver().time, true);
        ++AnalogSolver().nonConvergedCount;
    }
    return 0;
}

void MarkInterfaceNodes()
{
    DigitalDeviceTables& d = DigitalSimulator();
    auto mark = [&](std::int32_t node) {
        node = std::abs(node);
        if (node > 0 && node <= d.nodeCount) d.interfaceMark[static_cast<std::size_t>(node)] = 1;
    };
    d.dtoaDevices.clear();
    d.dacDevices.clear();
    for (int dev : d.converterDevices) {
        DigitalDeviceRecord* record = d.record[static_cast<std::size_t>(dev)].get();
        if (auto* t = dynamic_cast<DtoAInterface*>(record)) {
            mark(t->digital);
            d.dtoaDevices.push_back(dev);
        } else if (auto* dac = dynamic_cast<DacDevice*>(record)) {
            for (int i = 0; i < dac->bits; ++i) mark(DeviceInput(d, dev, i));
            d.dacDevices.push_back(dev);
        }
    }
}

int UpdateAtoDInterfaces(double now, std::uint32_t tick)
{
    DigitalDeviceTables& d = DigitalSimulator();
    d.acceptChangedStates = false;
    std::vector<AtoDInterface*> list = Interfaces<AtoDInterface>();
    if (list.empty()) return 0;
    for (int node : d.changedNodes)
        if (node > 0) d.inChangedList[static_cast<std::size_t>(node)] = 0;
    d.changedNodes.clear();
    for (AtoDInterface* a : list) {
        const double v = Voltage(a->analog) - Voltage(a->reference);
        int band = -1;
        const char letter = StateForVoltage(*a, v, now, band);
        a->acceptedVoltage = v;
        // The node's own last state decides: a voltage back from outside every band (SXNAME)
        // into the band it left puts that band's state back.
        const bool same = d.acceptedPoints > 0 && letter == a->letter;
        a->letter = letter;
        if (band >= 0) a->band = band;
        // At the run's first point every reader takes the state, also one that the start
        // (a run from initial values) gave the node without evaluating its readers.
        if (!same) SetDigitalState(a->digital, letter, d.acceptedPoints == 0);
    }
    if (d.changedNodes.empty()) return 0;
    d.acceptChangedStates = true;
    d.now = tick;
    const int rc = PropagateChangedNodes(tick);
    CommitChangedNodes();
    return rc;
}

}  // namespace kq5
