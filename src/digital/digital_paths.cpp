// Paths through the digital circuit: depth-first from each source through the readers that
// are gates, their delays edge by edge, and their listing.
#include "digital/digital_paths.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "core/engineering_numbers.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_types.h"

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;
constexpr int kMsgStopped = 15056;

bool Followed(const DigitalDeviceTables& d, int device)
{
    const int cls = d.deviceClass[static_cast<std::size_t>(device)];
    return cls == kClassGate || cls == kClassTristate;
}

bool StartDevice(const DigitalDeviceTables& d, int device)
{
    const std::size_t i = static_cast<std::size_t>(device);
    const int p = d.primitive[i], cls = d.deviceClass[i];
    return p == kComponentStim || p == kComponentFstim || p == kComponentDigitalState || p == kComponentDigitalSwitch ||
           cls == kClassEdgeFlipFlop || cls == kClassGatedFlipFlop;
}

struct Tracer {
    DigitalDeviceTables& d;
    DigitalPathSet& set;
    std::size_t maxPaths;
    const std::function<bool()>& stop;
    std::vector<int> prefix;
    long long visits = 0;
    int rc = 0;

    // Enumerates every maximal continuation of the prefix; a reader slot being traced is
    // closed so that a loop back to it ends there.
    void Trace(int device)
    {
        bool continued = false;
        const int outputs = DeviceOutputCount(d, device);
        for (int k = outputs; k >= 1 && rc == 0; --k) {
            const int node = DeviceOutputNode(d, device, k);
            if (node <= 0) continue;
            const std::size_t n = static_cast<std::size_t>(node);
            for (int s = d.readerStart[n]; s < d.readerStart[n + 1] && rc == 0; ++s) {
                const int reader = d.readers[static_cast<std::size_t>(s)];
                if (reader <= 0 || !Followed(d, reader)) continue;
                continued = true;
                if (stop && (++visits & 1023) == 0 && stop()) {
                    rc = kMsgStopped;
                    return;
                }
                d.readers[static_cast<std::size_t>(s)] = -1;
                prefix.push_back(reader);
                Trace(reader);
                prefix.pop_back();
                d.readers[static_cast<std::size_t>(s)] = reader;
            }
        }
        if (!continued && rc == 0) Emit();
    }

    void Emit()
    {
        if (set.paths.size() >= maxPaths) {
            set.capped = true;
            rc = kMsgStopped;
            return;
        }
        try {
            set.paths.push_back(prefix);
        } catch (const std::bad_alloc&) {
            rc = kMsgInsufficientMemory;
        }
    }
};

// The propagation delay (ticks) of a device for the edge of its output.
int DeviceDelay(const DigitalDeviceTables& d, int device, bool rising)
{
    const std::size_t i = static_cast<std::size_t>(device);
    const std::vector<std::int32_t>& record = d.delays[i];
    const int selection = std::min<int>(d.delaySelect[i], 3);
    auto entry = [&](int index) {
        return index >= 0 && static_cast<std::size_t>(index) < record.size() ? record[static_cast<std::size_t>(index)] : 0;
    };
    switch (d.deviceClass[i]) {
    case kClassGate:
    case kClassTristate:
    case kClassProgrammable: {
        const std::uint16_t from = MakeDigitalState(rising ? kState0 : kState1, 63);
        const std::uint16_t to = MakeDigitalState(rising ? kState1 : kState0, 63);
        return TransitionDelay(from, to, 63, 63, selection, record, false);
    }
    case kClassEdgeFlipFlop:
    case kClassGatedFlipFlop: return entry((rising ? 9 : 12) + selection - 1);
    case kClassDelayLine: return entry(selection - 1);
    default: return 0;
    }
}

}  // namespace

int FindDigitalPaths(DigitalPathSet& set, int fromDevice, int toDevice, std::size_t maxPaths,
                     const std::function<bool()>& stop)
{
    DigitalDeviceTables& d = DigitalSimulator();
    set.paths.clear();
    set.capped = false;
    Tracer tracer{d, set, maxPaths, stop, {}, 0, 0};
    for (int dev = 1; dev <= d.deviceCount && tracer.rc == 0; ++dev) {
        if (fromDevice > 0 ? dev != fromDevice : !StartDevice(d, dev)) continue;
        tracer.prefix.assign(1, dev);
        tracer.Trace(dev);
    }
    if (tracer.rc == kMsgInsufficientMemory) return tracer.rc;
    if (toDevice > 0) {
        // Cut at the first reach of the end device; drop repeats of earlier paths.
        for (std::vector<int>& path : set.paths) {
            auto at = std::find(path.begin(), path.end(), toDevice);
            if (at != path.end()) path.erase(at + 1, path.end());
        }
        for (std::size_t i = 0; i < set.paths.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (set.paths[j] == set.paths[i]) {
                    set.paths[i] = {-1};
                    break;
                }
    }
    return set.capped ? 0 : tracer.rc;
}

DigitalPathDelay PathDelay(const std::vector<int>& path)
{
    const DigitalDeviceTables& d = DigitalSimulator();
    DigitalPathDelay result;
    if (path.empty() || path[0] <= 0) return result;
    for (bool startRising : {false, true}) {
        bool rising = startRising;
        long long ticks = 0;
        for (int device : path) {
            if (d.invertingOutput[static_cast<std::size_t>(d.primitive[static_cast<std::size_t>(device)])]) rising = !rising;
            ticks += DeviceDelay(d, device, rising);
        }
        const double seconds = static_cast<double>(ticks) * d.timeUnit;
        (rising ? result.lh : result.hl) = seconds;
    }
    return result;
}

std::vector<std::string> PathListing(const DigitalPathSet& set, std::size_t width,
                                     const std::function<std::string(int)>& name, std::string_view format)
{
    const std::string numberColumn(5, ' ');
    const std::string delayColumn(20, ' ');
    std::vector<std::string> lines;
    lines.push_back("No.  LH-Delay  HL-Delay  Path");
    for (std::size_t i = 0; i < set.paths.size(); ++i) {
        const std::vector<int>& path = set.paths[i];
        if (path.empty() || path[0] < 0) continue;
        const DigitalPathDelay delay = PathDelay(path);
        char head[64];
        std::snprintf(head, sizeof head, "%4.4d %8s  %8s  ", static_cast<int>(i),
                      FormatNumber(delay.lh, format, 0).c_str(), FormatNumber(delay.hl, format, 0).c_str());
        std::string line = head;
        const std::size_t lead = line.size();
        bool first = true;
        for (int device : path) {
            const std::string part = name(device);
            if (!first && line.size() + 1 + part.size() > width && line.size() > lead) {
                lines.push_back(line);
                line = numberColumn + delayColumn;
                first = true;
            }
            line += (first ? "" : " ") + part;
            first = false;
        }
        lines.push_back(line);
    }
    return lines;
}

void PreparePathDelays()
{
    DigitalDeviceTables& d = DigitalSimulator();
    InitDigitalTimeScale(0.0, 1e-6 / 1e9);
    d.pathMode = true;
    ComputeDigitalDelays();
    d.pathMode = false;
}

}  // namespace kq5
