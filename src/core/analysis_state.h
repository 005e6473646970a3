#pragma once
// The analysis being set up or run: its kind, the variables that expressions read, the
// solution vectors that compiled node operands point into, the noise table of an AC point
// and the transient run's breakpoint queue.
#include <complex>
#include <cstdint>
#include <new>
#include <vector>

#include "core/linked_list.h"

namespace kq5 {

// 0 transient, 1 AC, 2 DC, -1 none; "TADF"[kind] names the analysis's files.
enum AnalysisKind : int {
    kAnalysisNone = -1,
    kAnalysisTransient = 0,
    kAnalysisAc = 1,
    kAnalysisDc = 2,
};

// The doubles behind the bound variables of the expression language. Compiled
// expressions hold their addresses, so the struct never moves while the state lives.
struct AnalysisVariables {
    double tmin = 0.0;               // TMIN: transient start time
    double tmax = 0.0;               // TMAX: transient end time
    double time = 0.0;               // T, TIME: current time
    double dt = 0.0;                 // DT: current time step
    double fmin = 0.0;               // FMIN: AC start frequency
    double fmax = 0.0;               // FMAX: AC end frequency
    double frequency = 0.0;          // F: current frequency
    double previousFrequency = 0.0;  // the frequency of the previous AC point (GD)
    double dcStart = 0.0;            // DC sweep start value
    double dcValue = 0.0;            // DC sweep current value
    double vt = 0.025864186;         // VT: thermal voltage at the analysis temperature
    double temp = 27.0;              // TEMP: analysis temperature
    double gmin = 1e-12;             // GMIN option
    double laplaceSigma = 0.0;       // real part of S in transient runs
};

// The real solution (one double per node, by node number) of transient and DC analyses and
// the complex solution (one complex per node) of AC analyses. Compiled node operands point
// at entries, so the vectors are only resized between analyses, when expressions are
// compiled again.
struct SolutionVectors {
    std::vector<double> real;
    std::vector<std::complex<double>> complex;
};

// One noise generator of the AC analysis: its density weight and its two nodes.
struct NoiseSource {
    double weight = 0.0;
    int nodeA = 0;
    int nodeB = 0;
};

// What INOISE and ONOISE sum over at the current AC point.
struct NoiseContributions {
    std::vector<NoiseSource> sources;
    // The excitation of the input source at an AC value of 1; with the complex solution it
    // gives the gain from that source to the output.
    std::vector<std::complex<double>> savedExcitation;
};

struct NodeEventChain;

// One entry of the transient run's time-ordered queue of breakpoints and digital events
// (list 1 of the device-list registry).
struct TimeBreakpointRecord : ListNode {
    std::uint32_t time = 0;  // digital ticks
    std::int32_t word1 = 0;  // event key, first part
    std::int32_t word2 = 0;  // event key, second part
    std::int32_t word3 = 0;  // event value
    std::uint8_t eventFlag = 0;
    std::uint8_t byteA = 0;
    std::uint8_t byteB = 0;
    // Node-change events of the digital simulator (mode 1): word1 node, word2 device, word3
    // state, byteA and byteB the low and high strength. Their place among the events of one
    // tick is `order`; an event keeps it when a rejected step puts it back.
    bool nodeEvent = false;
    std::int64_t order = 0;
    // Links of the node-event index: the events of one tick and the events of one output
    // (node, device), each in queue order; valid while indexGeneration is the index's.
    TimeBreakpointRecord* tickPrev = nullptr;
    TimeBreakpointRecord* tickNext = nullptr;
    TimeBreakpointRecord* outputPrev = nullptr;
    TimeBreakpointRecord* outputNext = nullptr;
    NodeEventChain* outputChain = nullptr;  // the chain of its output
    std::uint32_t indexGeneration = 0;

    // A record comes and goes with every digital event: freed records are kept for reuse.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept;
};

// What queueing a node event did, so that a rejected step can undo exactly that.
struct NodeEventEdit {
    std::int64_t order = 0;
    bool overwritten = false;  // an event of the same node and device at the tick took the state
    std::int32_t oldState = 0;
    std::uint8_t oldLow = 0;
    std::uint8_t oldHigh = 0;
};

struct AnalysisState {
    AnalysisKind analysisKind = kAnalysisNone;
    AnalysisVariables variables;
    SolutionVectors solution;
    NoiseContributions noise;
    int equationCount = 0;          // analog unknowns: nodes plus branch currents
    std::uint32_t digitalEndTick = 1000000000u;  // breakpoints past twice this are dropped
};

AnalysisState& Analysis();
void ResetAnalysisStateForTests();

// exp(x) with x clamped to -150..150.
double ClampedExp(double x);

// Number of analog unknowns of the built circuit.
int EquationCount();

// Inserts a time (digital ticks) into the breakpoint queue. Mode 0 adds a plain breakpoint,
// dropped when another plain one lies within 10 ticks; mode 1 queues a digital node event
// (QueueNodeEvent: words 1 to 3 node, device and state). 0, or 15002 when memory runs out.
int AddTimeBreakpoint(std::uint32_t time, std::uint8_t byteA = 0, std::uint8_t byteB = 0,
                      int mode = 0, std::int32_t word1 = 0, std::int32_t word2 = 0,
                      std::int32_t word3 = 0);

// The digital node-change events. They keep their own tick (never moved onto a neighbour),
// one tick's events stay in insertion order, and a later event of the same node and device
// at the same tick takes over the earlier one's state. The events are indexed by tick and
// by (node, device), so that no edit walks the whole queue.
int QueueNodeEvent(std::uint32_t time, std::uint8_t lowStrength, std::uint8_t highStrength, std::int32_t node,
                   std::int32_t device, std::int32_t state, NodeEventEdit* edit = nullptr);
// Puts an event back at its old place (its order among the events of its tick). 0 or 15002.
int RestoreNodeEvent(std::uint32_t time, std::int64_t order, std::uint8_t lowStrength, std::uint8_t highStrength,
                     std::int32_t node, std::int32_t device, std::int32_t state);
// The node events due at or before the time, in queue order.
void DueNodeEvents(std::uint32_t time, std::vector<TimeBreakpointRecord*>& events);
// The earliest node event (queue order), or null.
TimeBreakpointRecord* FirstNodeEvent();
// The node event with this order, or null.
TimeBreakpointRecord* FindNodeEvent(std::uint32_t time, std::int64_t order);
// The queued events of one output (node, device), in queue order.
std::vector<TimeBreakpointRecord*> NodeEventsOf(std::int32_t node, std::int32_t device);
// Takes a node event off the queue and frees it.
void RemoveNodeEvent(TimeBreakpointRecord* event);
// Changes the node of a queued event (0 disables it) keeping its place.
void SetNodeEventNode(TimeBreakpointRecord* event, std::int32_t node);
// Drops the index entries of an event that is being unlinked from the queue elsewhere.
void ForgetNodeEvent(const TimeBreakpointRecord* event);
std::size_t NodeEventCount();
// Forgets every indexed event (the queue is being emptied).
void ClearNodeEventIndex();

}  // namespace kq5
