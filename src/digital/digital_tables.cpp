// The struct of arrays the event engine walks: pin lists, strengths, output numbering and
// the per-node driver and reader lists, made from a list of described devices.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>

#include "digital/digital_engine.h"
#include "digital/digital_interfaces.h"
#include "core/digital_logic_tables.h"

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;

// Types whose output is the inverse of the gate function (the path window reads this).
constexpr int kInvertingTypes[] = {59, 61, 63, 65, 67, 69, 71, 73, 76, 77, 79, 81, 83, 85};

// J, K, Q in {0, 1, X}: the next Q; an X input is tried at 0 and 1 and kept when both agree.
int JkDefinite(int j, int k, int q)
{
    if (j == 0 && k == 1) return 0;
    if (j == 1 && k == 0) return 1;
    if (j == 1 && k == 1) return q == 2 ? 2 : 1 - q;
    return q;
}

int JkResolved(int j, int k, int q)
{
    int result = -1;
    for (int jj : {0, 1}) {
        if (j != 2 && jj != j) continue;
        for (int kk : {0, 1}) {
            if (k != 2 && kk != k) continue;
            for (int qq : {0, 1}) {
                if (q != 2 && qq != q) continue;
                int r = JkDefinite(jj, kk, qq);
                if (result < 0) result = r;
                else if (result != r) return 2;
            }
        }
    }
    return result < 0 ? 2 : result;
}

}  // namespace

int DriveStrength(double resistance, double digdrvf, double digdrvz)
{
    digdrvf = std::max(digdrvf, 0.001);
    digdrvz = std::max(digdrvz, 0.001);
    const double lnF = std::log(digdrvf), lnZ = std::log(digdrvz);
    if (lnF == lnZ) return 63;
    const double r = std::clamp(resistance, std::min(digdrvf, digdrvz), std::max(digdrvf, digdrvz));
    const double difference = std::trunc(std::log(r) - lnZ);
    const int strength = static_cast<int>(std::trunc(63.0 * difference / (lnF - lnZ)));
    return std::clamp(strength, 0, 63);
}

void FillDigitalFixedTables(DigitalDeviceTables& d, double reltol)
{
    d.convergenceFactor = 1.0 / std::max(20.0, 6.0 * std::abs(std::log10(reltol > 0.0 ? reltol : 1e-3)) + 2.0);
    d.stateCharIndex.fill(255);
    // "0RF1XZ?": every letter a band or a stimulus can name, Z included.
    for (int i = 0; kDigitalStateLetters[i]; ++i)
        d.stateCharIndex[static_cast<unsigned char>(kDigitalStateLetters[i])] = static_cast<std::uint8_t>(i);
    for (int i = 0; i < 31; ++i) d.bitMask[static_cast<std::size_t>(i)] = 1u << i;
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k)
            for (int q = 0; q < 3; ++q)
                d.jkNextState[static_cast<std::size_t>(9 * j + 3 * k + q)] = static_cast<std::uint8_t>(JkResolved(j, k, q));
    d.invertingOutput.fill(0);
    for (int type : kInvertingTypes) d.invertingOutput[static_cast<std::size_t>(type)] = 1;
}

namespace {

// An input read straight from $D_HI, set to 1 and driven by no output: it stays 1 for the
// whole run, so a preset or clear wired there never acts.
bool HeldHigh(const DigitalDeviceTables& d, std::int32_t entry)
{
    if (entry <= 0 || entry != d.nodeHigh || static_cast<std::size_t>(entry) + 1 >= d.driverStart.size()) return false;
    return NodeDriverCount(d, entry) == 0 && d.current[static_cast<std::size_t>(entry)] == kState163;
}

}  // namespace

void UpdateZeroDelayFlag(DigitalDeviceTables& d)
{
    d.zeroDelayPossible = false;
    for (int dev = 1; dev <= d.deviceCount && !d.zeroDelayPossible; ++dev) {
        const std::size_t i = static_cast<std::size_t>(dev);
        if (d.inputCount[i] == 0) continue;  // never evaluated
        const std::vector<std::int32_t>& delays = d.delays[i];
        switch (d.deviceClass[i]) {
        case kClassGate:
        case kClassTristate:
        case kClassDelayLine:
        case kClassProgrammable:
            d.zeroDelayPossible = delays.empty() || std::any_of(delays.begin(), delays.end(), [](std::int32_t t) {
                return t <= 0;
            });
            break;
        case kClassEdgeFlipFlop:
        case kClassGatedFlipFlop: {
            // The output delays: preset/clear, clock (gate) and data triples. Preset and clear
            // held inactive leave their triples unused.
            const bool controlsHeld = d.inputCount[i] >= 2 && HeldHigh(d, DeviceInput(d, dev, 0)) &&
                                      HeldHigh(d, DeviceInput(d, dev, 1));
            for (int k : {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}) {
                if (d.deviceClass[i] == kClassEdgeFlipFlop && k >= 15) break;
                if (controlsHeld && k < 9) continue;
                if (static_cast<std::size_t>(k) >= delays.size() || delays[static_cast<std::size_t>(k)] <= 0)
                    d.zeroDelayPossible = true;
            }
            break;
        }
        default: d.zeroDelayPossible = true; break;
        }
    }
}

bool IsFlipFlopCheckGroup(int deviceClass, int group)
{
    // The first entry of each triple of check limits the flip-flop or latch reads.
    static constexpr int kEdgeChecks[] = {6, 15, 18, 21, 24, 27};
    static constexpr int kGatedChecks[] = {6, 21, 24, 27, 30};
    if (deviceClass == kClassEdgeFlipFlop) return std::find(std::begin(kEdgeChecks), std::end(kEdgeChecks), group) != std::end(kEdgeChecks);
    if (deviceClass == kClassGatedFlipFlop) return std::find(std::begin(kGatedChecks), std::end(kGatedChecks), group) != std::end(kGatedChecks);
    return false;
}

void MarkTimingCheckedFlipFlops(DigitalDeviceTables& d)
{
    d.timingChecked.assign(static_cast<std::size_t>(d.deviceCount) + 2, 0);
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        const std::size_t i = static_cast<std::size_t>(dev);
        const int cls = d.deviceClass[i];
        if (cls != kClassEdgeFlipFlop && cls != kClassGatedFlipFlop) continue;
        const std::vector<std::int32_t>& delays = d.delays[i];
        bool any = false;
        for (std::size_t k = 0; k < delays.size() && !any; ++k)
            any = delays[k] > 0 && IsFlipFlopCheckGroup(cls, static_cast<int>(k - k % 3));
        d.timingChecked[i] = any;
    }
}

int BuildDigitalTables(DigitalDeviceTables& d, int nodeCount, std::vector<DigitalDeviceSpec>& devices,
                       const DigitalBuildOptions& options)
{
    try {
        const std::size_t n = devices.size();
        const std::size_t nodes = static_cast<std::size_t>(nodeCount) + 2;
        d.deviceCount = static_cast<int>(n);
        d.nodeCount = nodeCount;
        d.itl1 = options.itl1;
        d.overdrive = options.overdrive;
        d.initialState = options.initialState;
        FillDigitalFixedTables(d, options.reltol);

        d.pinStart.assign(n + 2, 0);
        d.inputCount.assign(n + 2, 0);
        d.deviceClass.assign(n + 2, kClassNone);
        d.primitive.assign(n + 2, 0);
        d.component.assign(n + 2, nullptr);
        d.timingModel.assign(n + 2, nullptr);
        d.ioModel.assign(n + 2, nullptr);
        d.delaySelect.assign(n + 2, 2);
        d.delays.assign(n + 2, {});
        d.record.clear();
        d.converterDevices.clear();
        d.record.resize(n + 2);
        d.outputBase.assign(n + 2, 0);
        for (auto* strengths : {&d.highStrength, &d.lowStrength, &d.workHighStrength, &d.workLowStrength})
            strengths->assign(n + 2, 0);
        d.pinList.clear();
        for (auto* values : {&d.drvh, &d.drvl, &d.inld, &d.outld}) values->assign(n + 2, 0.0);

        // Pin lists and strengths.
        int outputs = 0;
        for (std::size_t i = 0; i < n; ++i) {
            DigitalDeviceSpec& spec = devices[i];
            const std::size_t dev = i + 1;
            d.pinStart[dev] = static_cast<std::int32_t>(d.pinList.size());
            d.inputCount[dev] = static_cast<std::int32_t>(spec.inputs.size());
            for (std::int32_t node : spec.inputs) {
                if (std::abs(node) > nodeCount) return 1;
                d.pinList.push_back(node);
            }
            d.pinList.insert(d.pinList.end(), spec.trailer.begin(), spec.trailer.end());
            for (std::int32_t node : spec.outputs) {
                if (node < 0 || node > nodeCount) return 1;
                d.pinList.push_back(node);
            }
            d.pinList.push_back(static_cast<std::int32_t>(spec.outputs.size()));
            d.deviceClass[dev] = static_cast<std::int16_t>(spec.deviceClass);
            d.primitive[dev] = static_cast<std::int16_t>(spec.primitive);
            d.component[dev] = spec.component;
            d.timingModel[dev] = spec.timingModel;
            d.ioModel[dev] = spec.ioModel;
            d.delaySelect[dev] = static_cast<std::int16_t>(std::clamp(spec.delaySelect, 1, 4));
            d.delays[dev] = spec.delays;
            d.drvh[dev] = spec.drvh;
            d.drvl[dev] = spec.drvl;
            d.inld[dev] = spec.inld;
            d.outld[dev] = spec.outld;
            d.record[dev] = std::move(spec.record);
            const DigitalDeviceRecord* record = d.record[dev].get();
            if (dynamic_cast<const AtoDInterface*>(record) || dynamic_cast<const DtoAInterface*>(record) ||
                dynamic_cast<const AdcDevice*>(record) || dynamic_cast<const DacDevice*>(record))
                d.converterDevices.push_back(static_cast<int>(dev));
            const int high = DriveStrength(spec.drvh, options.digdrvf, options.digdrvz);
            const int low = DriveStrength(spec.drvl, options.digdrvf, options.digdrvz);
            d.highStrength[dev] = d.workHighStrength[dev] = static_cast<std::uint8_t>(high);
            d.lowStrength[dev] = d.workLowStrength[dev] = static_cast<std::uint8_t>(low);
            outputs += static_cast<int>(spec.outputs.size());
            d.outputBase[dev] = outputs;
        }
        d.pinStart[n + 1] = static_cast<std::int32_t>(d.pinList.size());
        d.pinList.push_back(0);
        d.pinList.push_back(0);

        const std::size_t o = static_cast<std::size_t>(outputs) + 2;
        d.riseLoadDelay.assign(o, 0);
        d.fallLoadDelay.assign(o, 0);
        d.outputCurrent.assign(o, kStateX63);
        d.outputScheduled.assign(o, kStateX63);
        d.outputTime.assign(o, 0);

        // Driver lists: one slot per driving output, at least one per node.
        std::vector<std::int32_t> count(nodes, 0);
        for (std::size_t i = 0; i < n; ++i)
            for (std::int32_t node : devices[i].outputs) ++count[static_cast<std::size_t>(node)];
        d.driverStart.assign(nodes, 0);
        std::int32_t total = 0;
        for (std::size_t node = 0; node + 1 < nodes; ++node) {
            d.driverStart[node] = total;
            total += std::max(count[node], 1);
        }
        d.driverStart[nodes - 1] = total;
        d.driverDevice.assign(static_cast<std::size_t>(total) + 1, 0);
        d.driverPrimitive.assign(static_cast<std::size_t>(total) + 1, 0);
        d.driverOutput.assign(static_cast<std::size_t>(total) + 1, -1);
        std::vector<std::int32_t> used(nodes, 0);
        for (std::size_t i = 0; i < n; ++i) {
            const int k = static_cast<int>(devices[i].outputs.size());
            for (int j = 0; j < k; ++j) {
                const std::size_t node = static_cast<std::size_t>(devices[i].outputs[static_cast<std::size_t>(j)]);
                const std::size_t slot = static_cast<std::size_t>(d.driverStart[node] + used[node]++);
                d.driverDevice[slot] = static_cast<std::int32_t>(i + 1);
                d.driverPrimitive[slot] = static_cast<std::int16_t>(devices[i].primitive);
                // Output j in pin order is output number k - j counted from the last pin.
                d.driverOutput[slot] = d.outputBase[i + 1] - (k - j);
            }
        }

        // Reader lists: only the true input entries (and-or size words are no nodes); a device
        // is listed once per node.
        std::fill(count.begin(), count.end(), 0);
        for (std::size_t dev = 1; dev <= n; ++dev)
            for (int k = 0; k < d.inputCount[dev]; ++k)
                ++count[static_cast<std::size_t>(std::abs(DeviceInput(d, static_cast<int>(dev), k)))];
        d.readerStart.assign(nodes, 0);
        total = 0;
        for (std::size_t node = 0; node + 1 < nodes; ++node) {
            d.readerStart[node] = total;
            total += std::max(count[node], 1);
        }
        d.readerStart[nodes - 1] = total;
        d.readers.assign(static_cast<std::size_t>(total) + 1, 0);
        std::fill(used.begin(), used.end(), 0);
        for (std::size_t dev = 1; dev <= n; ++dev)
            for (int k = 0; k < d.inputCount[dev]; ++k) {
                const std::size_t node = static_cast<std::size_t>(std::abs(DeviceInput(d, static_cast<int>(dev), k)));
                const std::int32_t first = d.readerStart[node];
                bool listed = false;
                for (std::int32_t s = first; s < first + used[node]; ++s)
                    if (d.readers[static_cast<std::size_t>(s)] == static_cast<std::int32_t>(dev)) listed = true;
                d.readers[static_cast<std::size_t>(first + used[node]++)] = listed ? 0 : static_cast<std::int32_t>(dev);
            }

        d.current.assign(nodes, kStateX63);
        d.previous.assign(nodes, kStateX63);
        d.scheduled.assign(nodes, kStateX63);
        d.interfaceMark.assign(nodes, 0);
        d.inChangedList.assign(nodes, 0);
        d.changedNodes.clear();
        d.changeLog.clear();
        d.snapshots.clear();
        UpdateZeroDelayFlag(d);
        d.timingChecked.clear();
        d.changeLog.reserve(5000);
        d.snapshots.reserve(5000);
        d.changedNodes.reserve(5000);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace kq5
