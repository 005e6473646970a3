// The event engine against hand-worked cases: strengths, delays by transition and selection,
// resolution of several drivers, the inertial rule, flip-flops, and exact roll-back.
#include "digital_test_support.h"

namespace kq5::testing {
namespace {

using SE = StimulusEvent;

TEST(DigitalStrength, DriveResistancesGiveTheHandWorkedStrengths)
{
    EXPECT_EQ(DriveStrength(2.0, 2.0, 20e3), 61);
    EXPECT_EQ(DriveStrength(50.0, 2.0, 20e3), 34);
    EXPECT_EQ(DriveStrength(100.0, 2.0, 20e3), 34);
    EXPECT_EQ(DriveStrength(1e3, 2.0, 20e3), 13);
    EXPECT_EQ(DriveStrength(20e3, 2.0, 20e3), 0);
    EXPECT_EQ(DriveStrength(1e6, 2.0, 20e3), 0);
    EXPECT_EQ(DriveStrength(0.5, 2.0, 20e3), 61);  // clamped to DIGDRVF
}

TEST(DigitalTables, FixedTablesFollowTheStateLetters)
{
    DigitalDeviceTables d;
    FillDigitalFixedTables(d, 1e-3);
    EXPECT_EQ(d.stateCharIndex['0'], 0);
    EXPECT_EQ(d.stateCharIndex['F'], 2);
    EXPECT_EQ(d.stateCharIndex['Z'], 5);  // a band named Z is a state, not an error
    EXPECT_EQ(d.stateCharIndex['?'], 6);
    EXPECT_EQ(d.stateCharIndex['Q'], 255);
    EXPECT_EQ(d.bitMask[30], 1u << 30);
    EXPECT_DOUBLE_EQ(d.convergenceFactor, 1.0 / 20.0);
    // J=K=1 toggles, X stays X; J=X with Q=1 and K=0 stays 1 either way.
    EXPECT_EQ(d.jkNextState[9 * 1 + 3 * 1 + 0], 1);
    EXPECT_EQ(d.jkNextState[9 * 1 + 3 * 1 + 2], 2);
    EXPECT_EQ(d.jkNextState[9 * 2 + 3 * 0 + 1], 1);
    EXPECT_EQ(d.jkNextState[9 * 2 + 3 * 0 + 0], 2);
    EXPECT_EQ(d.invertingOutput[kComponentNand], 1);
    EXPECT_EQ(d.invertingOutput[kComponentAnd], 0);
}

TEST(DigitalTables, AndOrSizeWordsAreNoReaders)
{
    DigitalCircuit c;
    const int aoi = c.Add(76, kClassGate, {"a", "b", "c", "d"}, {"y"}, GateDelays(1, 1));
    c.Spec(aoi).trailer = {2, 2};
    ASSERT_EQ(c.Build(), 0);
    const DigitalDeviceTables& d = DigitalSimulator();
    const std::vector<std::int32_t> pins(d.pinList.begin() + d.pinStart[1], d.pinList.begin() + d.pinStart[2]);
    EXPECT_EQ(pins, (std::vector<std::int32_t>{1, 2, 3, 4, 2, 2, 5, 1}));
    // Node 2 ("b") is read once by the gate; the size words add no reader to it.
    EXPECT_EQ(d.readerStart[3] - d.readerStart[2], 1);
    EXPECT_EQ(d.readers[static_cast<std::size_t>(d.readerStart[2])], 1);
}

TEST(DigitalTables, AndOrSizeAboveTheNodeCountIsNoFailure)
{
    DigitalCircuit c;
    const int ao = c.Add(kComponentAo, kClassGate, {"a", "b", "c"}, {"y"}, GateDelays(1, 1));
    c.Spec(ao).trailer = {3, 1};  // inputs per gate, gates
    ASSERT_EQ(c.Build(), 0);
}

TEST(DigitalEval, TruthTableCornersThroughZeroDelayGates)
{
    DigitalCircuit c;
    c.Stim({"zero", "one"}, {{0, 0, kState0}, {0, 1, kState1}});
    c.Gate(kComponentAnd, {"zero", "undriven"}, "and0x");
    c.Gate(kComponentAnd, {"one", "undriven"}, "and1x");
    c.Gate(kComponentOr, {"one", "floating"}, "or1z");
    c.Gate(kComponentOr, {"zero", "floating"}, "or0z");
    c.Gate(kComponentBuf, {"floating"}, "bufz");
    c.Gate(kComponentNxor, {"one", "one"}, "nxor11");
    c.Add(kComponentBuf3, kClassTristate, {"one", "zero"}, {"tri"}, std::vector<std::int32_t>(18, 0));
    ASSERT_EQ(c.Build(), 0);
    // "floating" has no driver at all: strength 0 reads as Z.
    DigitalSimulator().current[static_cast<std::size_t>(c.Node("floating"))] = 0;
    ASSERT_EQ(c.Run(100), 0);
    EXPECT_EQ(c.Letter("and0x"), '0');
    EXPECT_EQ(c.Letter("and1x"), 'X');
    EXPECT_EQ(c.Letter("or1z"), '1');
    EXPECT_EQ(c.Letter("or0z"), 'X');
    EXPECT_EQ(c.Letter("bufz"), 'X');
    EXPECT_EQ(c.Letter("nxor11"), '1');
    EXPECT_EQ(c.Letter("tri"), 'Z');
}

TEST(DigitalEval, UnknownCodeReadsAsXOnEitherSide)
{
    EXPECT_EQ(LogicAnd(kStateUnknown, kState1), kStateX);
    EXPECT_EQ(LogicAnd(kState1, kStateUnknown), kStateX);
    EXPECT_EQ(LogicAnd(kStateUnknown, kState0), LogicAnd(kState0, kStateUnknown));
}

TEST(DigitalSchedule, TypicalDelaysByTransition)
{
    DigitalCircuit c;
    c.Stim({"a"}, {{0, 0, kState0}, {100, 0, kState1}, {200, 0, kState0}});
    c.Add(kComponentBuf, kClassGate, {"a"}, {"y"}, GateDelays(5, 10, 15, 6, 12, 18), 2);
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(1000), 0);
    EXPECT_EQ(c.Trace("y"), "0:X 12:0 110:1 212:0");
}

TEST(DigitalSchedule, MinimumAndMaximumSelections)
{
    for (int selection : {1, 3}) {
        DigitalCircuit c;
        c.Stim({"a"}, {{0, 0, kState0}, {100, 0, kState1}, {200, 0, kState0}});
        c.Add(kComponentBuf, kClassGate, {"a"}, {"y"}, GateDelays(5, 10, 15, 6, 12, 18), selection);
        ASSERT_EQ(c.Build(), 0);
        ASSERT_EQ(c.Run(1000), 0);
        EXPECT_EQ(c.Trace("y"), selection == 1 ? "0:X 6:0 105:1 206:0" : "0:X 18:0 115:1 218:0");
    }
}

TEST(DigitalSchedule, WorstCaseGivesEdgesFromMinimumToMaximum)
{
    DigitalCircuit c;
    c.Stim({"a"}, {{0, 0, kState0}, {100, 0, kState1}, {200, 0, kState0}});
    c.Add(kComponentBuf, kClassGate, {"a"}, {"y"}, GateDelays(5, 10, 15, 6, 12, 18), 4);
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(1000), 0);
    // From X the settled level comes only at the maximum; from a level the edge state holds
    // between the minimum and the maximum.
    EXPECT_EQ(c.Trace("y"), "0:X 18:0 105:R 115:1 206:F 218:0");
}

TEST(DigitalSchedule, RepeatedEvaluationAddsNoEvent)
{
    DigitalCircuit c;
    c.Stim({"a", "b"}, {{0, 0, kState1}, {0, 1, kState1}, {50, 1, kState0}, {60, 1, kState1}});
    c.Gate(kComponentOr, {"a", "b"}, "y", 100);
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(0), 0);
    ASSERT_EQ(NodeEventsOf(c.Node("y"), 2).size(), 1u);
    ASSERT_EQ(c.Run(60), 0);
    EXPECT_EQ(NodeEventsOf(c.Node("y"), 2).size(), 1u);  // b's pulse leaves y's 1 as it was
}

TEST(DigitalResolve, StrengthsAndOverdrive)
{
    struct Case {
        double drv1, drv2, overdrive;
        char expected;
    } cases[] = {
        {50, 50, 3, 'X'},    // equal strengths that disagree
        {50, 2, 3, '1'},     // 61 against 34: the stronger wins
        {50, 1e3, 3, '0'},   // 34 against 13
        {50, 1e3, 25, 'X'},  // within DIGOVRDRV of each other
    };
    for (const Case& k : cases) {
        DigitalCircuit c;
        c.Stim({"a", "b"}, {{0, 0, kState0}, {0, 1, kState1}});
        const int d1 = c.Gate(kComponentBuf, {"a"}, "y", 1);
        const int d2 = c.Gate(kComponentBuf, {"b"}, "y", 1);
        c.Spec(d1).drvh = c.Spec(d1).drvl = k.drv1;
        c.Spec(d2).drvh = c.Spec(d2).drvl = k.drv2;
        DigitalBuildOptions options;
        options.overdrive = k.overdrive;
        ASSERT_EQ(c.Build(options), 0);
        ASSERT_EQ(c.Run(100), 0);
        EXPECT_EQ(c.Letter("y"), k.expected) << k.drv1 << " " << k.drv2 << " " << k.overdrive;
        EXPECT_EQ(StrengthOf(c.State("y")), std::max(DriveStrength(k.drv1, 2, 20e3), DriveStrength(k.drv2, 2, 20e3)));
    }
}

TEST(DigitalResolve, TristateBusWithPullup)
{
    DigitalCircuit c;
    c.Stim({"d1", "e1", "d2", "e2"}, {{0, 0, kState0}, {0, 1, kState0}, {0, 2, kState1}, {0, 3, kState0},
                                      {10, 1, kState1}, {20, 1, kState0}, {30, 3, kState1}, {40, 3, kState0}});
    c.Add(kComponentBuf3, kClassTristate, {"d1", "e1"}, {"bus"}, std::vector<std::int32_t>(18, 1));
    c.Add(kComponentBuf3, kClassTristate, {"d2", "e2"}, {"bus"}, std::vector<std::int32_t>(18, 1));
    const int pull = c.Add(kComponentPullup, kClassNone, {}, {"bus"});
    c.Spec(pull).drvh = c.Spec(pull).drvl = 1e3;
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(100), 0);
    // Disabled drivers give way to the weak pull-up; an enabled one overrides it.
    EXPECT_EQ(c.Trace("bus"), "0:1 11:0 21:1");
    EXPECT_EQ(StrengthOf(c.State("bus")), 13);
}

TEST(DigitalInertial, PulseShorterThanTheDelayIsRemoved)
{
    for (bool inertial : {true, false}) {
        DigitalCircuit c;
        c.Stim({"a"}, {{0, 0, kState0}, {100, 0, kState1}, {105, 0, kState0}, {200, 0, kState1}, {300, 0, kState0}});
        c.Gate(kComponentBuf, {"a"}, "y", 10);
        ASSERT_EQ(c.Build({}, inertial), 0);
        ASSERT_EQ(c.Run(1000), 0);
        EXPECT_EQ(c.Trace("y"), inertial ? "0:X 10:0 210:1 310:0" : "0:X 10:0 110:1 115:0 210:1 310:0");
    }
}

TEST(DigitalStepping, ZeroDelayOscillationFailsWith14190)
{
    DigitalCircuit c;
    c.Stim({"en"}, {{0, 0, kState0}, {10, 0, kState1}});
    c.Gate(kComponentNand, {"en", "y"}, "y", 0);
    DigitalBuildOptions options;
    options.itl1 = 20;
    ASSERT_EQ(c.Build(options), 0);
    EXPECT_EQ(c.Run(5), 0);
    EXPECT_EQ(c.Letter("y"), '1');
    EXPECT_EQ(c.Run(100), kMsgDigitalNoConvergence);
}

TEST(DigitalStepping, OperatingPointPresetAndClear)
{
    DigitalCircuit c;
    c.Add(kComponentPulldn, kClassNone, {}, {"lo"});
    c.Add(kComponentPullup, kClassNone, {}, {"hi"});
    c.Add(kComponentDff, kClassEdgeFlipFlop, {"lo", "hi", "clk", "d"}, {"qb", "q"}, std::vector<std::int32_t>(30, 1));
    c.Add(kComponentDff, kClassEdgeFlipFlop, {"hi", "lo", "clk", "d"}, {"qb2", "q2"}, std::vector<std::int32_t>(30, 1));
    c.Gate(kComponentInv, {"q"}, "nq", 1);
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(SolveDigitalOperatingPoint(), 0);
    EXPECT_EQ(c.Letter("q"), '1');
    EXPECT_EQ(c.Letter("qb"), '0');
    EXPECT_EQ(c.Letter("q2"), '0');
    EXPECT_EQ(c.Letter("qb2"), '1');
    EXPECT_EQ(c.Letter("nq"), '0');
}

std::vector<std::int32_t> FlipFlopDelays(int clockToQ)
{
    std::vector<std::int32_t> delays(30, 0);
    for (int i : {9, 10, 11, 12, 13, 14}) delays[static_cast<std::size_t>(i)] = clockToQ;
    return delays;
}

TEST(DigitalFlipFlop, DffTakesDataBeforeTheRisingEdge)
{
    DigitalCircuit c;
    c.Add(kComponentPullup, kClassNone, {}, {"hi"});
    c.Stim({"clk", "d"}, {{0, 0, kState0}, {0, 1, kState0}, {5, 1, kState1}, {10, 0, kState1}, {20, 0, kState0},
                          {30, 0, kState1}, {30, 1, kState0}, {40, 0, kState0}, {50, 0, kState1}});
    c.Add(kComponentDff, kClassEdgeFlipFlop, {"hi", "hi", "clk", "d"}, {"qb", "q"}, FlipFlopDelays(3));
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(100), 0);
    // At 30 data changes with the edge: the flip-flop takes the level before the change.
    EXPECT_EQ(c.Trace("q"), "0:X 13:1 53:0");
    EXPECT_EQ(c.Letter("qb"), '1');
}

TEST(DigitalFlipFlop, JkToggleOnFallingEdges)
{
    DigitalCircuit c;
    c.Add(kComponentPullup, kClassNone, {}, {"hi"});
    c.Stim({"clr", "clk"}, {{0, 0, kState0}, {0, 1, kState1}, {5, 0, kState1}, {10, 1, kState0}, {20, 1, kState1},
                            {30, 1, kState0}, {40, 1, kState1}, {50, 1, kState0}});
    c.Add(kComponentJkff, kClassEdgeFlipFlop, {"hi", "clr", "clk", "hi", "hi"}, {"qb", "q"}, FlipFlopDelays(2));
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(100), 0);
    EXPECT_EQ(c.Trace("q"), "0:0 12:1 32:0 52:1");
}

TEST(DigitalFlipFlop, LatchIsTransparentWhileTheGateIsHigh)
{
    DigitalCircuit c;
    c.Add(kComponentPullup, kClassNone, {}, {"hi"});
    c.Stim({"g", "d"}, {{0, 0, kState1}, {0, 1, kState0}, {10, 1, kState1}, {20, 0, kState0}, {30, 1, kState0}});
    std::vector<std::int32_t> delays(33, 0);
    for (int i = 9; i < 15; ++i) delays[static_cast<std::size_t>(i)] = 2;   // gate to Q
    for (int i = 15; i < 21; ++i) delays[static_cast<std::size_t>(i)] = 4;  // data to Q
    c.Add(kComponentDltch, kClassGatedFlipFlop, {"hi", "hi", "g", "d"}, {"qb", "q"}, delays);
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(100), 0);
    // Open at 0 with data 0 (gate to Q), then data to Q; closed from 20 on.
    EXPECT_EQ(c.Trace("q"), "0:X 2:0 14:1");
}

// Every tick is first processed and rejected, then processed again and accepted: after each
// rejection the queue and the arrays are exactly as before, and the run ends as a run
// without rejections does.

// The node and output arrays of the simulator.
struct DigitalArrays {
    std::vector<std::uint16_t> current, previous, scheduled, outputCurrent, outputScheduled;
    std::vector<std::uint32_t> outputTime;
    std::vector<std::uint8_t> low, high;
    bool operator==(const DigitalArrays&) const = default;
};
DigitalArrays Arrays()
{
    const DigitalDeviceTables& d = DigitalSimulator();
    return {d.current, d.previous, d.scheduled, d.outputCurrent, d.outputScheduled, d.outputTime, d.lowStrength,
            d.highStrength};
}

void BuildBusyCircuit(DigitalCircuit& c, int selection)
{
    c.Add(kComponentPullup, kClassNone, {}, {"hi"});
    c.Stim({"a", "b", "clk", "e"},
           {{0, 0, kState0}, {0, 1, kState1}, {0, 2, kState0}, {0, 3, kState1}, {10, 0, kState1}, {12, 0, kState0},
            {20, 2, kState1}, {25, 1, kState0}, {30, 0, kState1}, {40, 2, kState0}, {41, 3, kState0},
            {50, 2, kState1}, {55, 1, kState1}, {60, 3, kState1}, {70, 0, kState0}});
    c.Add(kComponentAnd, kClassGate, {"a", "b"}, {"ab"}, GateDelays(3, 4, 5, 3, 4, 6), selection);
    c.Add(kComponentXor, kClassGate, {"ab", "b"}, {"x"}, GateDelays(2, 3, 4, 2, 3, 4), selection);
    c.Add(kComponentNor, kClassGate, {"x", "a"}, {"n"}, GateDelays(0, 0), selection);
    c.Add(kComponentDff, kClassEdgeFlipFlop, {"hi", "hi", "clk", "n"}, {"qb", "q"}, FlipFlopDelays(2));
    c.Add(kComponentBuf3, kClassTristate, {"q", "e"}, {"bus"}, std::vector<std::int32_t>(18, 1));
    c.Add(79, kClassTristate, {"x", "~e"}, {"bus"}, std::vector<std::int32_t>(18, 2));
}

TEST(DigitalRollBack, RejectedStepsLeaveQueueAndArraysExactlyAsBefore)
{
    for (int selection : {2, 4}) {
        DigitalCircuit reference;
        BuildBusyCircuit(reference, selection);
        ASSERT_EQ(reference.Build(), 0);
        // The reference ran in its own tables: keep its traces, then build the checked one.
        ASSERT_EQ(reference.Run(200), 0);
        if (selection == 2) {
            // Hand-checked: the 2-tick pulse of a is swallowed by the AND's delay of 4; the bus
            // hands over from one tristate driver to the other through Z.
            EXPECT_EQ(reference.Trace("ab"), "0:X 4:0 59:1 74:0");
            EXPECT_EQ(reference.Trace("x"), "0:X 7:1 28:0 58:1 62:0 77:1");
            EXPECT_EQ(reference.Trace("bus"), "0:X 23:0 42:Z 43:1 60:0");
        }
        auto traces = reference.Traces();
        DigitalCircuit c;
        BuildBusyCircuit(c, selection);
        ASSERT_EQ(c.Build(), 0);
        int rejected = 0;
        for (;;) {
            TimeBreakpointRecord* head = FirstNodeEvent();
            if (!head) break;
            const std::uint32_t at = head->time;
            const std::vector<QueuedEvent> queue = QueueRows();
            const DigitalArrays arrays = Arrays();
            ASSERT_EQ(ProcessDigitalEventsAt(at), 0);
            RollBackDigitalStep();
            ResetDigitalChangeLog();
            ASSERT_EQ(QueueRows(), queue) << "queue after rejecting tick " << at << " selection " << selection;
            ASSERT_TRUE(Arrays() == arrays) << "arrays after rejecting tick " << at << " selection " << selection;
            ++rejected;
            ASSERT_EQ(ProcessDigitalEventsAt(at), 0);
            ResetDigitalChangeLog();
            c.Record(at);
        }
        EXPECT_GT(rejected, 10);
        for (const auto& [node, trace] : traces) {
            std::string text;
            for (const auto& [t, letter] : trace) text += (text.empty() ? "" : " ") + std::to_string(t) + ":" + letter;
            EXPECT_EQ(c.Trace(node), text) << node << " selection " << selection;
        }
    }
}

TEST(DigitalRollBack, EmptyLogRollsBackNothing)
{
    DigitalCircuit c;
    c.Stim({"a"}, {{5, 0, kState1}});
    c.Gate(kComponentBuf, {"a"}, "y", 1);
    ASSERT_EQ(c.Build(), 0);
    const auto queue = QueueRows();
    const DigitalArrays arrays = Arrays();
    RollBackDigitalStep();
    EXPECT_EQ(QueueRows(), queue);
    EXPECT_TRUE(Arrays() == arrays);
}

TEST(DigitalQueue, EventsKeepTheirTickAndOrder)
{
    DigitalCircuit c;
    ResetDeviceListsForTests();
    ASSERT_EQ(AddTimeBreakpoint(100), 0);
    ASSERT_EQ(QueueNodeEvent(95, 1, 2, 7, 3, 0x1F8), 0);   // never moved onto the breakpoint
    ASSERT_EQ(QueueNodeEvent(105, 1, 2, 8, 3, 0x1F8), 0);
    ASSERT_EQ(QueueNodeEvent(95, 1, 2, 9, 4, 0x1FB), 0);   // same tick: after the first
    ASSERT_EQ(QueueNodeEvent(95, 1, 2, 7, 3, 0x1FB), 0);   // same node and device: takes over
    std::vector<std::pair<std::uint32_t, int>> rows;
    for (auto* r = ListHead<TimeBreakpointRecord>(DeviceList(kTimeBreakpointList)); r; r = ListNext(r))
        rows.emplace_back(r->time, r->nodeEvent ? r->word1 : -1);
    EXPECT_EQ(rows, (std::vector<std::pair<std::uint32_t, int>>{{95, 7}, {95, 9}, {100, -1}, {105, 8}}));
    EXPECT_EQ(NodeEventsOf(7, 3).front()->word3, 0x1FB);
    // Plain breakpoints merge with plain ones only.
    ASSERT_EQ(AddTimeBreakpoint(103), 0);
    EXPECT_EQ(DeviceList(kTimeBreakpointList).count, 4);
    ASSERT_EQ(AddTimeBreakpoint(112), 0);
    EXPECT_EQ(NodeEventCount(), 3u);
    EXPECT_EQ(DeviceList(kTimeBreakpointList).count, 5);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST(DigitalTables, MoreThan32767NodesAndDevices)
{
    // Numbers past the 16-bit range: a chain of 40,000 buffers carries an edge to its end.
    DigitalCircuit c;
    c.Stim({"n0"}, {{0, 0, kState0}, {10, 0, kState1}});
    for (int i = 0; i < 40000; ++i) c.Gate(kComponentBuf, {"n" + std::to_string(i)}, "n" + std::to_string(i + 1), 1);
    ASSERT_EQ(c.Build(), 0);
    auto runTo = [](std::uint32_t end) {
        while (TimeBreakpointRecord* head = FirstNodeEvent()) {
            if (head->time > end) break;
            ASSERT_EQ(ProcessDigitalEventsAt(head->time), 0);
            ResetDigitalChangeLog();
        }
    };
    runTo(39999);
    EXPECT_EQ(c.Letter("n40000"), 'X');
    runTo(40000);
    EXPECT_EQ(c.Letter("n40000"), '0');
    runTo(40009);
    EXPECT_EQ(c.Letter("n40000"), '0');
    runTo(40010);
    EXPECT_EQ(c.Letter("n40000"), '1');
}

}  // namespace
}  // namespace kq5::testing
