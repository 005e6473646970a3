#pragma once
// A digital circuit described device by device, built into the simulator's tables, and an
// event loop that steps from one event tick to the next as the transient loop lands on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "core/device_lists.h"
#include "digital/digital_checks.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_types.h"

namespace kq5::testing {

// Gate delay record: TPLH min/typ/max, TPHL min/typ/max (ticks).
inline std::vector<std::int32_t> GateDelays(int lhMin, int lhTyp, int lhMax, int hlMin, int hlTyp, int hlMax)
{
    return {lhMin, lhTyp, lhMax, hlMin, hlTyp, hlMax};
}
inline std::vector<std::int32_t> GateDelays(int rise, int fall) { return GateDelays(rise, rise, rise, fall, fall, fall); }

class DigitalCircuit {
public:
    DigitalCircuit()
    {
        ResetDeviceListsForTests();
        ResetAnalysisStateForTests();
        ResetDigitalSimulatorForTests();
    }
    ~DigitalCircuit()
    {
        ResetDeviceListsForTests();
        ResetAnalysisStateForTests();
        ResetDigitalSimulatorForTests();
    }

    int Node(const std::string& name)
    {
        auto it = nodes_.find(name);
        if (it != nodes_.end()) return it->second;
        names_.push_back(name);
        return nodes_[name] = static_cast<int>(names_.size());
    }
    const std::vector<std::string>& NodeNames() const { return names_; }

    // Adds a device; returns its number.
    int Add(int primitive, int deviceClass, std::vector<std::string> inputs, std::vector<std::string> outputs,
            std::vector<std::int32_t> delays = {}, int selection = 2)
    {
        DigitalDeviceSpec spec;
        spec.primitive = primitive;
        spec.deviceClass = deviceClass;
        for (const std::string& n : inputs) spec.inputs.push_back(n[0] == '~' ? -Node(n.substr(1)) : Node(n));
        for (const std::string& n : outputs) spec.outputs.push_back(Node(n));
        spec.delays = std::move(delays);
        spec.delaySelect = selection;
        if (deviceClass == kClassEdgeFlipFlop || deviceClass == kClassGatedFlipFlop) {
            auto ff = std::make_unique<FlipFlopRecord>();
            ff->device = static_cast<int>(specs_.size()) + 1;
            spec.record = std::move(ff);
        }
        specs_.push_back(std::move(spec));
        return static_cast<int>(specs_.size());
    }
    int Gate(int primitive, std::vector<std::string> inputs, const std::string& output, int rise = 0, int fall = -1,
             int selection = 2)
    {
        return Add(primitive, kClassGate, std::move(inputs), {output}, GateDelays(rise, fall < 0 ? rise : fall), selection);
    }
    // A stimulus driving the outputs: (time, output index, level) events.
    int Stim(std::vector<std::string> outputs, std::vector<StimulusEvent> events)
    {
        const int device = Add(kComponentStim, kClassNone, {}, std::move(outputs));
        auto record = std::make_unique<StimulusRecord>();
        record->events = std::move(events);
        specs_.back().record = std::move(record);
        return device;
    }
    DigitalDeviceSpec& Spec(int device) { return specs_[static_cast<std::size_t>(device - 1)]; }

    int Build(DigitalBuildOptions options = {}, bool inertial = true)
    {
        DigitalDeviceTables& d = DigitalSimulator();
        const int rc = BuildDigitalTables(d, static_cast<int>(names_.size()), specs_, options);
        if (rc) return rc;
        d.inertialCancellation = inertial;
        InitDigitalNodeStates(true);
        InitFlipFlopStates();
        ResetDigitalChangeLog();
        return QueueStimulusEvents();
    }

    std::uint16_t State(const std::string& node) const
    {
        return DigitalSimulator().current[static_cast<std::size_t>(nodes_.at(node))];
    }
    char Letter(const std::string& node) const { return DigitalStateChar(State(node)); }

    // Steps from event tick to event tick up to the end; after each tick the states of every
    // node are recorded where they changed. 0 or the engine's error.
    int Run(std::uint32_t end)
    {
        for (;;) {
            TimeBreakpointRecord* head = FirstNodeEvent();
            if (!head || head->time > end) return 0;
            const std::uint32_t at = head->time;
            if (int rc = ProcessDigitalEventsAt(at)) return rc;
            ResetDigitalChangeLog();
            Record(at);
        }
    }
    void Record(std::uint32_t at)
    {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            const char letter = DigitalStateChar(DigitalSimulator().current[i + 1]);
            auto& trace = traces_[names_[i]];
            if (trace.empty() || trace.back().second != letter) trace.emplace_back(at, letter);
        }
    }
    // "t:letter t:letter ..." of a node.
    std::string Trace(const std::string& node) const
    {
        std::string text;
        auto it = traces_.find(node);
        if (it == traces_.end()) return text;
        for (const auto& [t, c] : it->second) {
            if (!text.empty()) text += ' ';
            text += std::to_string(t);
            text += ':';
            text += c;
        }
        return text;
    }
    const std::map<std::string, std::vector<std::pair<std::uint32_t, char>>>& Traces() const { return traces_; }

private:
    std::map<std::string, int> nodes_;
    std::vector<std::string> names_;
    std::vector<DigitalDeviceSpec> specs_;
    std::map<std::string, std::vector<std::pair<std::uint32_t, char>>> traces_;
};

// The queue as (time, node, device, state) rows in order.
struct QueuedEvent {
    std::uint32_t time;
    int node, device, state, low, high;
    bool operator==(const QueuedEvent&) const = default;
};
inline std::vector<QueuedEvent> QueueRows()
{
    std::vector<QueuedEvent> rows;
    for (auto* r = ListHead<TimeBreakpointRecord>(DeviceList(kTimeBreakpointList)); r; r = ListNext(r))
        if (r->nodeEvent) rows.push_back({r->time, r->word1, r->word2, r->word3, r->byteA, r->byteB});
    return rows;
}

// A text file's contents without carriage returns.
inline std::string ReadOutputText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

// Runs the queued events to the end as the transient loop does, each tick accepted (first
// rejected and redone when asked); `accepted` sees every accepted tick.
template <class OnAccepted>
void RunQueuedEvents(bool rejectEach, OnAccepted accepted)
{
    for (int guard = 0; guard < 100000; ++guard) {
        TimeBreakpointRecord* head = FirstNodeEvent();
        if (!head) break;
        const std::uint32_t at = head->time;
        if (rejectEach) {
            EXPECT_EQ(ProcessDigitalEventsAt(at), 0);
            RejectDigitalPoint();
        }
        EXPECT_EQ(ProcessDigitalEventsAt(at), 0);
        AcceptDigitalPoint();
        accepted(at);
    }
}

}  // namespace kq5::testing
