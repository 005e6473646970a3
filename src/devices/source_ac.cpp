#include "devices/source_ac.h"

#include <cmath>
#include <vector>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "core/device_lists.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/line_switch_devices.h"
#include "netlist/opamp_device.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "analog/stamp_ac.h"
#include "netlist/model_statements.h"
#include "netlist/poly_source.h"

namespace kq5 {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr int kPolyFirstType = 50;
constexpr int kLinearFirstType = 26;

template <class T>
const T* Entry(const std::vector<T>& table, std::size_t i)
{
    return i < table.size() ? &table[i] : nullptr;
}

template <class T>
std::int32_t BranchOf(const std::vector<T>& table, std::size_t i)
{
    const T* t = Entry(table, i);
    return t ? t->branch : 0;
}

// The two input nodes and the output of an op-amp part: pins NC+, NC-, VEE, VO, VCC.
constexpr std::size_t kOpampInPlus = 0;
constexpr std::size_t kOpampInMinus = 1;
constexpr std::size_t kOpampOutput = 3;

}  // namespace

int AcLoadIndependentSources(int pass)
{
    AcStampState& s = AcStamps();
    const DeviceSolverTables& tables = AnalogSolver().devices;
    // The noise input is taken at an AC value of 1 at phase 0 whatever its own, so that the
    // input-referred noise is the output noise over the gain from that source alone.
    auto noiseInput = [&](const ListNode& v) { return s.noiseMode && &v == s.noiseInputDevice; };
    // Waveform parts drive 1 V at phase 0 whatever their transient settings. The current of
    // a voltage source is the unknown of its branch.
    auto waveformPart = [&](const ListNode& v, std::int32_t branch, int plus, int minus) {
        if (pass == kAcStampPass) {
            if (noiseInput(v)) AddNoiseInputExcitation(branch, 1.0);
            return AddAcVoltageExcitation(branch, plus, minus, 1.0, 0.0);
        }
        Devices().acCurrents[&v] = AcSolution(branch);
        return 0;
    };
    std::size_t k = 0;
    for (const SineSourceDevice& v : ListRecords<SineSourceDevice>(DeviceList(kSineSourceDeviceList))) {
        const int plus = v.internalPlus ? v.internalPlus : v.nodePlus;
        if (int rc = waveformPart(v, BranchOf(tables.sineSources, k++), plus, v.nodeMinus)) return rc;
    }
    k = 0;
    for (const PulseSourceDevice& v : ListRecords<PulseSourceDevice>(DeviceList(kPulseSourceDeviceList)))
        if (int rc = waveformPart(v, BranchOf(tables.pulseSources, k++), v.nodePlus, v.nodeMinus)) return rc;
    k = 0;
    for (const UserSourceDevice& v : ListRecords<UserSourceDevice>(DeviceList(kUserSourceDeviceList)))
        if (int rc = waveformPart(v, BranchOf(tables.userSources, k++), v.nodePlus, v.nodeMinus)) return rc;
    std::size_t i = 0;
    for (const IndependentSourceDevice& v :
         ListRecords<IndependentSourceDevice>(DeviceList(kIndependentSourceDeviceList))) {
        const std::size_t position = i++;
        const double phase = v.acPhase / kDegreesPerRadian;
        const double re = v.acMagnitude * std::cos(phase);
        const double im = v.acMagnitude * std::sin(phase);
        const bool voltage = v.sourceType == kSourceVoltage;
        if (pass != kAcStampPass) {
            Devices().acCurrents[&v] = voltage ? AcSolution(BranchOf(tables.sources, position)) : Complex(re, im);
            continue;
        }
        if (noiseInput(v)) {
            if (voltage) {
                AddNoiseInputExcitation(BranchOf(tables.sources, position), 1.0);
            } else {
                AddNoiseInputExcitation(v.nodePlus, -1.0);
                AddNoiseInputExcitation(v.nodeMinus, 1.0);
            }
        }
        if (voltage) {
            if (int rc = AddAcVoltageExcitation(BranchOf(tables.sources, position), v.nodePlus, v.nodeMinus, re, im))
                return rc;
        } else {
            AddAcRhs(v.nodePlus, -re, -im);
            AddAcRhs(v.nodeMinus, re, im);
        }
    }
    return 0;
}

int AcLoadLinearDependentSources(int pass)
{
    const DeviceSolverTables& tables = AnalogSolver().devices;
    std::size_t i = 0;
    for (const LinearSourceDevice& d : ListRecords<LinearSourceDevice>(DeviceList(kLinearSourceDeviceList))) {
        const LinearSourceStamps* t = Entry(tables.linearSources, i++);
        const int kind = t ? t->subKind : d.outputKind - kLinearFirstType;
        const int b = t ? t->branch : 0;
        if (pass == kAcStampPass) {
            if (int rc = StampAcControlledSource(true, 1, kind, b, b + 1, d.controlPlus, d.controlMinus,
                                                 d.outputPlus, d.outputMinus, d.gain, 0.0))
                return rc;
        } else if (kind == 0) {
            Devices().acCurrents[&d] = AcScaledVoltageDifference(d.gain, d.controlPlus, d.controlMinus);
        } else if (kind == 1) {
            Devices().acCurrents[&d] = AcScaledNodeVoltage(d.gain, b);
        }
    }
    return 0;
}

int AcLoadPolySources(int pass)
{
    const DeviceSolverTables& tables = AnalogSolver().devices;
    std::size_t i = 0;
    for (const PolySourceDevice& p : ListRecords<PolySourceDevice>(DeviceList(kPolySourceList))) {
        const PolyStamps* t = Entry(tables.polySources, i++);
        if (!t) continue;
        const int kind = p.componentType - kPolyFirstType;
        Complex current;
        for (std::size_t k = 1; k < t->controls.size(); ++k) {
            const PolyControlState& c = t->controls[k];
            if (pass == kAcStampPass) {
                if (int rc = StampAcControlledSource(false, static_cast<int>(k), kind, c.first, t->branch, c.first,
                                                     c.second, p.nodePlus, p.nodeMinus, c.derivative, 0.0))
                    return rc;
            } else if (kind == 0) {
                current += AcScaledVoltageDifference(c.derivative, c.first, c.second);
            } else if (kind == 1) {
                current += AcScaledNodeVoltage(c.derivative, c.first);
            }
        }
        if (pass != kAcStampPass) Devices().acCurrents[&p] = current;
    }
    return 0;
}

int AcLoadOpamps(int pass)
{
    if (pass != kAcStampPass) return 0;
    for (const OpampDevice& o : ListRecords<OpampDevice>(DeviceList(kOpampDeviceList))) {
        const double g = o.transconductance;
        const int in1 = o.pins[kOpampInPlus], in2 = o.pins[kOpampInMinus], out = o.pins[kOpampOutput];
        // A stage drives the current g (V(c+) - V(c-)) into its output node.
        auto stage = [&](int cp, int cn, int op) {
            return StampAcControlledSource(false, 0, 0, 0, 0, cp, cn, op, 0, -g, 0.0);
        };
        if (o.level == 1) {
            if (int rc = stage(in1, in2, out)) return rc;
        } else if (o.level == 2) {
            if (int rc = stage(in1, in2, o.internal[0])) return rc;
            if (int rc = stage(o.internal[0], 0, o.internal[1])) return rc;
            if (int rc = stage(o.internal[1], 0, out)) return rc;
        }
    }
    return 0;
}

int AcLoadIdealLines(int pass)
{
    if (pass != kAcStampPass) return 0;
    const AcStampState& s = AcStamps();
    std::size_t i = 0;
    for (const IdealLineDevice& l : ListRecords<IdealLineDevice>(DeviceList(kIdealLineDeviceList))) {
        const int b1 = DeviceRow(kIdealLineDeviceList, i++);
        const int b2 = b1 + 1;
        const double z0 = l.model && !l.model->params.empty() ? l.model->Param(0) : 0.0;
        const double td = l.model && l.model->params.size() > 1 ? l.model->Param(1) : l.delay;
        const double g = 1.0 / (z0 >= 0.001 ? z0 : 0.001);
        const double hr = std::cos(-s.omega * td), hi = std::sin(-s.omega * td);
        if (int rc = StampAcConductance(l.port1Plus, l.internal1, g)) return rc;
        if (int rc = StampAcConductance(l.port2Plus, l.internal2, g)) return rc;
        // Row 1: V(int1) - V(ref1) = H (2 V(sig2) - V(ref2) - V(int2)); row 2 the mirror.
        if (int rc = StampAcControlledSource(true, 1, 2, b1, 0, l.port2Plus, l.port2Minus, l.internal1,
                                             l.port1Minus, hr, hi))
            return rc;
        if (int rc = StampAcControlledSource(true, 0, 2, b1, 0, l.port2Plus, l.internal2, 0, 0, hr, hi)) return rc;
        if (int rc = StampAcControlledSource(true, 1, 2, b2, 0, l.port1Plus, l.port1Minus, l.internal2,
                                             l.port2Minus, hr, hi))
            return rc;
        if (int rc = StampAcControlledSource(true, 0, 2, b2, 0, l.port1Plus, l.internal1, 0, 0, hr, hi)) return rc;
    }
    return 0;
}

}  // namespace kq5
