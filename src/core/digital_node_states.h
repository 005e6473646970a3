#pragma once
// The digital simulator's tables: one struct of arrays per built circuit (per device, per
// node, per output), the node state words that compiled expressions read, the change logs a
// rejected analog step is undone from, and the run flags of the event processing.
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace kq5 {

struct SchematicItem;
struct EvaluatedModel;

// The change record of one pin of a primitive: when it last changed and from what.
struct DigitalPinChange {
    std::uint32_t changeTime = 0;     // time of the last change, in time units
    std::uint16_t previousState = 0;  // state index before that change
    std::uint32_t currentTime = 0;    // the present time, in time units
    std::uint16_t currentState = 0;   // state index now
};

// A primitive that evaluates a digital program: the current state index of every pin and
// the change record of every pin, in pin-list order.
struct DigitalPrimitiveInstance {
    std::vector<std::uint16_t> pinStates;
    std::vector<DigitalPinChange> pinChanges;
};

// Device classes: the model type of the part's component type.
enum DigitalDeviceClass : std::int16_t {
    kClassNone = -1,
    kClassDigitalOutput = 18,
    kClassDigitalInput = 19,
    kClassAdc = 20,
    kClassDac = 21,
    kClassGate = 22,
    kClassTristate = 23,
    kClassEdgeFlipFlop = 24,
    kClassGatedFlipFlop = 25,
    kClassDelayLine = 26,
    kClassProgrammable = 27,
    kClassRom = 28,
    kClassRam = 29,
    kClassBidirectional = 30,
};

// Kinds of DigitalChangeRecord.
inline constexpr std::uint16_t kChangeQueued = 0;
inline constexpr std::uint16_t kChangeTaken = 1;
inline constexpr std::uint16_t kChangeApplied = 2;
// A queued event taken off by the inertial rule, and one whose state or node an edit changed.
inline constexpr std::uint16_t kChangeRemoved = 3;
inline constexpr std::uint16_t kChangeEdited = 4;

struct DigitalChangeRecord {
    std::uint32_t time = 0;
    std::int32_t node = 0;
    std::int32_t device = 0;
    std::uint16_t kind = 0;
    std::uint16_t state = 0;
    std::uint16_t scheduled = 0;
    std::uint16_t previous = 0;
    std::uint8_t lowStrength = 0;
    std::uint8_t highStrength = 0;
    // What the roll-back needs to put everything back exactly: the order of the logs, the
    // output's slots before the change and the queue entry the change made or edited.
    std::uint64_t sequence = 0;
    std::int32_t output = -1;
    std::uint16_t nodeStateBefore = 0;
    std::uint16_t outputCurrent = 0, outputScheduled = 0;
    std::uint32_t outputTime = 0;
    std::int64_t order = 0;       // the queue entry (0: none)
    bool overwritten = false;     // kind 0: an entry of the same node and device took the state
    std::int32_t eventState = 0;  // the entry's state (and node) before an edit
    std::int32_t eventNode = 0;
    std::uint8_t eventLow = 0, eventHigh = 0;
};

struct DigitalNodeSnapshot {
    std::int32_t node = 0;
    std::int32_t device = 0;
    std::uint16_t state = 0;
    std::uint16_t nodeState = 0;
    std::uint16_t scheduled = 0;
    std::uint32_t time = 0;
    // The device's slots that the resolution overwrites.
    std::uint64_t sequence = 0;
    std::uint16_t previous = 0;
    std::uint8_t lowStrength = 0, highStrength = 0;
    // outputCurrent of the device's outputs on the node (written together, so one value).
    std::uint16_t outputCurrent = 0;
};

// The per-device record of a part with its own state (flip-flops, stimuli, ...).
struct DigitalDeviceRecord {
    virtual ~DigitalDeviceRecord() = default;
};

// History of one flip-flop or latch: edge and change times for the timing checks and the
// second output's result between the evaluations of the two outputs.
struct FlipFlopRecord final : DigitalDeviceRecord {
    int device = 0;
    std::uint16_t pendingQbar = 0;  // state of the second output, kept from the first evaluation
    int cause = 0;                  // 1 operating point, 2 preset, 3 clear, 4 clock or data
    std::uint32_t clockRise = 0, clockFall = 0, dataChange = 0;
    std::uint32_t presetActive = 0, clearActive = 0, presetRelease = 0, clearRelease = 0;
    bool seenClockRise = false, seenClockFall = false, seenData = false;
    bool seenPresetRelease = false, seenClearRelease = false;
    std::uint32_t secondDataChange = 0;  // the K or R input
    bool seenSecondData = false;
};

// A stimulus device: the times and states each of its outputs takes, queued at run start.
// Eight bytes: a clock that repeats to the end of a long run holds one per edge.
struct StimulusEvent {
    std::uint32_t time = 0;
    std::int16_t output = 0;          // 0-based, in pin order
    std::uint16_t state : 15 = 0;     // a level index, or a whole state word (9 bits) when `word` is set
    bool word : 1 = false;
};
struct StimulusRecord : DigitalDeviceRecord {
    std::vector<StimulusEvent> events;
    // events[0 .. queued) went to the event queue at the run's start (all of them when they
    // are out of time order); the others go one instant at a time, as the instant before them
    // is taken.
    std::size_t queued = 0;
};

struct DigitalDeviceTables {
    double timeUnit = 1e-12;        // DigitalTimeUnit: seconds per tick
    bool inertialCancellation = false;
    double minTypScale = 0.4;       // DIGMNTYSCALE and DIGTYMXSCALE, copied from the options
    double typMaxScale = 1.6;

    // Per node (index 0 is no node): nodeState, nodePrevious, nodeScheduled. Compiled digital
    // operands point into `current`, so the arrays are sized only between analyses.
    std::vector<std::uint16_t> current;
    std::vector<std::uint16_t> previous;
    std::vector<std::uint16_t> scheduled;
    std::vector<std::int32_t> driverStart;   // node count + 2 entries: prefix sums
    std::vector<std::int32_t> readerStart;
    std::vector<std::int16_t> interfaceMark;
    std::vector<std::int32_t> driverDevice;  // one slot per (node, driving output)
    std::vector<std::int16_t> driverPrimitive;
    std::vector<std::int32_t> driverOutput;  // the output index of each driver slot
    std::vector<std::int32_t> readers;       // one slot per (node, reading input)

    // Per device (index 0 unused).
    int deviceCount = 0;
    int nodeCount = 0;
    std::vector<std::int32_t> pinStart;      // device count + 2: the last closes the pin list
    std::vector<std::int16_t> deviceClass;
    std::vector<std::int16_t> primitive;
    std::vector<SchematicItem*> component;
    std::vector<EvaluatedModel*> timingModel;
    std::vector<EvaluatedModel*> ioModel;
    std::vector<std::int16_t> delaySelect;
    std::vector<std::vector<std::int32_t>> delays;  // ticks, in the timing model's parameter order
    std::vector<std::unique_ptr<DigitalDeviceRecord>> record;
    std::vector<std::int32_t> outputBase;
    std::vector<std::uint8_t> highStrength, lowStrength;
    std::vector<std::uint8_t> workHighStrength, workLowStrength;
    std::vector<std::int32_t> pinList;  // per device: inputs, output nodes, output count
    std::vector<std::int32_t> inputCount;  // leading input entries of each device's pin list
    // The I/O model values of each device: drive resistances and load capacitances.
    std::vector<double> drvh, drvl, inld, outld;

    // Per output.
    std::vector<std::int32_t> riseLoadDelay, fallLoadDelay;
    std::vector<std::uint16_t> outputCurrent, outputScheduled;
    std::vector<std::uint32_t> outputTime;

    // Logs of the present analog step and the changed-node list.
    std::vector<DigitalChangeRecord> changeLog;
    std::vector<DigitalNodeSnapshot> snapshots;
    std::vector<std::int32_t> changedNodes;
    std::vector<std::uint8_t> inChangedList;  // per node: already in changedNodes
    std::uint64_t logSequence = 0;

    // Run state.
    std::uint32_t now = 0;        // the present digital time
    double origin = 0.0;          // analog time of tick 0
    std::uint32_t endTime = 1000000000u;
    bool runFlag = true;          // off only while a time point settles its zero-delay changes
    bool stable = true;
    bool operatingPoint = false;  // node resolution writes at once; nothing is scheduled
    bool pathMode = false;        // scheduling only computes times
    bool forceFlag = false;
    bool immediateMode = false;   // the analog mode word is 2: changes without delay apply at once
    bool zeroDelayPossible = true;  // some device that reads a node may change it without delay
    int evaluatedOutput = 0;      // output number k being evaluated (1 = last output pin)
    std::uint8_t evalLow = 0, evalHigh = 0;  // the strengths the evaluated output drives with
    int flipFlopCause = 0;
    int warningCount = 0;
    std::uint64_t eventsApplied = 0;  // events taken off the queue (benchmarks)
    // Timing checks: warning blocks of the present step, written when the step is accepted;
    // flip-flop histories as they were before the step, put back when it is rejected.
    std::vector<std::string> pendingWarnings;
    std::vector<std::pair<int, FlipFlopRecord>> flipFlopLog;
    // Per device, made with the delays: 1 for a flip-flop or latch with a timing check to make
    // (a check limit above 0). Empty: every one may have.
    std::vector<std::uint8_t> timingChecked;
    std::vector<int> programDevices;  // LOGICEXP, PINDLY and CONSTRAINT devices
    bool interfaceChanged = false;    // a digital pass changed what the analog side reads
    bool acceptChangedStates = false;  // the AtoD update of the accepted point changed states
    std::vector<int> dtoaDevices, dacDevices;
    // Interfaces and converters: the devices the analog side is told about at every time point.
    std::vector<int> converterDevices;
    int acceptedPoints = 0;
    int errorLimit = 10000;   // DIGERRLIMIT
    bool noOutputMessages = false;  // NOOUTMSG

    // Options copied at set-up.
    int itl1 = 100;
    double overdrive = 3.0;
    int initialState = 2;

    // Fixed tables.
    std::array<std::uint8_t, 27> jkNextState{};
    std::array<std::uint8_t, 256> stateCharIndex{};
    std::array<std::uint32_t, 31> bitMask{};
    double convergenceFactor = 0.05;
    std::array<std::int16_t, 138> invertingOutput{};

    // The node numbers of $D_HI, $D_LO and $D_X (0: none).
    int nodeHigh = 0, nodeLow = 0, nodeUnknown = 0;
};

using DigitalSimulatorState = DigitalDeviceTables;

namespace detail {
extern DigitalDeviceTables digitalSimulatorState;
}
// Inline: the event loop reaches the tables for every event and every device it evaluates.
inline DigitalDeviceTables& DigitalSimulator() { return detail::digitalSimulatorState; }
void ResetDigitalSimulatorForTests();

// The digital simulator's time resolution.
double DigitalTimeUnit();

}  // namespace kq5
