#pragma once
// The event engine of the digital simulator: the change logs and their roll-back, output
// scheduling with delays and the inertial rule, node resolution by strength, primitive
// evaluation, and the event processing at a time point and at the operating point.
#include <cstdint>
#include <memory>
#include <vector>

#include "analog/digital_run_services.h"
#include "core/digital_node_states.h"

namespace kq5 {

inline constexpr std::uint16_t kStateX63 = 0x1FC;
inline constexpr std::uint16_t kState063 = 0x1F8;
inline constexpr std::uint16_t kState163 = 0x1FB;

// A state word of a level at a strength.
inline std::uint16_t MakeDigitalState(int level, int strength)
{
    return static_cast<std::uint16_t>((level & 7) | ((strength & 63) << 3));
}
inline int StrengthOf(std::uint16_t state) { return (state >> 3) & 63; }
inline int LevelOf(std::uint16_t state) { return state & 7; }

// One device as the set-up (or a test) describes it before the tables are made.
struct DigitalDeviceSpec {
    int primitive = 0;
    int deviceClass = kClassNone;
    std::vector<std::int32_t> inputs;   // node numbers; a negative entry reads the node inverted
    std::vector<std::int32_t> trailer;  // words between inputs and outputs (and-or sizes)
    std::vector<std::int32_t> outputs;  // output nodes in pin order
    double drvh = 50.0, drvl = 50.0;    // drive resistances of the I/O model
    double inld = 0.0, outld = 0.0;     // load capacitances of the I/O model
    std::vector<std::int32_t> delays;   // ticks, in the timing model's parameter order
    int delaySelect = 2;
    std::unique_ptr<DigitalDeviceRecord> record;
    SchematicItem* component = nullptr;
    EvaluatedModel* timingModel = nullptr;
    EvaluatedModel* ioModel = nullptr;
};

struct DigitalBuildOptions {
    double digdrvf = 2.0, digdrvz = 20e3;
    double overdrive = 3.0;
    int itl1 = 100;
    int initialState = 2;
    double reltol = 1e-3;
};

// Steps 8 to 12 of the set-up over a described device list: strengths, output numbering,
// driver and reader lists, fixed tables and the initial node states. 0, 1 (a pin above the
// node count) or 15002.
int BuildDigitalTables(DigitalDeviceTables& d, int nodeCount, std::vector<DigitalDeviceSpec>& devices,
                       const DigitalBuildOptions& options);
// Whether any device that reads a node can change an output without delay (the settling
// passes of a time point are needed only then).
void UpdateZeroDelayFlag(DigitalDeviceTables& d);
// The strength of a drive resistance between DIGDRVF and DIGDRVZ.
int DriveStrength(double resistance, double digdrvf, double digdrvz);
void FillDigitalFixedTables(DigitalDeviceTables& d, double reltol);
// Marks the flip-flops and latches whose delays give a timing check a limit (timingChecked):
// the others keep no edge and change history.
void MarkTimingCheckedFlipFlops(DigitalDeviceTables& d);
// Whether the parameter triple starting at `group` of a flip-flop's (or latch's) timing model is
// a check limit (a width, setup or hold) rather than a delay.
bool IsFlipFlopCheckGroup(int deviceClass, int group);
// A check's limit in whole ticks that two events exactly the limit apart always meet.
std::uint32_t LimitTicks(double seconds, double unit, bool maximum);

// The set-up of a built circuit: one device per digital component of the current document.
// 0; 15055 when a part was refused (reported); 1 when a model is missing (the build is
// marked failed); 15002.
int SetupDigitalDevices();
// At run start: the delay records in ticks from the timing models, and the loading delays of
// every output from the I/O models.
void ComputeDigitalDelays();
void ComputeLoadingDelays();
// Installs the set-up into the circuit build and the operating point into the solver.
void InstallDigitalSimulator();
// The start of a transient run: time scale, delays, initial states, stimuli. 0 or 15002.
int StartDigitalRun(double tmin);

// Pin-list helpers, inline: the event loop asks them for every device it evaluates.
inline int DeviceOutputCount(const DigitalDeviceTables& d, int device)
{
    const int end = d.pinStart[static_cast<std::size_t>(device) + 1];
    return end > d.pinStart[static_cast<std::size_t>(device)] ? d.pinList[static_cast<std::size_t>(end - 1)] : 0;
}
// k = 1: last output pin
inline int DeviceOutputNode(const DigitalDeviceTables& d, int device, int k)
{
    const int end = d.pinStart[static_cast<std::size_t>(device) + 1];
    return d.pinList[static_cast<std::size_t>(end - 1 - k)];
}
inline int DeviceOutputIndex(const DigitalDeviceTables& d, int device, int k)
{
    return d.outputBase[static_cast<std::size_t>(device)] - k;
}
inline int DeviceInputCount(const DigitalDeviceTables& d, int device) { return d.inputCount[static_cast<std::size_t>(device)]; }
inline std::int32_t DeviceInput(const DigitalDeviceTables& d, int device, int i)
{
    return d.pinList[static_cast<std::size_t>(d.pinStart[static_cast<std::size_t>(device)] + i)];
}
inline int NodeDriverCount(const DigitalDeviceTables& d, int node)
{
    int count = 0;
    for (int slot = d.driverStart[static_cast<std::size_t>(node)]; slot < d.driverStart[static_cast<std::size_t>(node) + 1];
         ++slot)
        if (d.driverDevice[static_cast<std::size_t>(slot)] > 0) ++count;
    return count;
}

// Node state and change log.
void InitDigitalTimeScale(double analogTime, double tick);
void InitDigitalNodeStates(bool outputs);
void InitFlipFlopStates();
int ResetDigitalChangeLog();
int LogNodeSnapshot(int node, int device, std::uint32_t time, std::uint16_t state);
std::uint32_t PendingEventTime(int node, int device);
void RollBackDigitalStep();

// Scheduling and resolution.
int TransitionDelay(std::uint16_t oldState, std::uint16_t newState, int lowStrength, int highStrength, int selection,
                    const std::vector<std::int32_t>& delayRecord, bool tristate);
int ScheduleDigitalChange(std::uint32_t time, int lowStrength, int highStrength, int node, int device,
                          std::uint16_t newState);
std::uint32_t ScheduleGateOutput(std::uint32_t time, int device, std::uint16_t newState, int& rc);
std::uint32_t ScheduleFlipFlopOutput(std::uint32_t time, int device, std::uint16_t newState, int& rc);
int ResolveNodeDrive(int lowStrength, int highStrength, int node, int device, std::uint16_t state,
                     std::uint32_t time);
int DriverStrength(int node, int device);
int MarkPendingEventX(int node, int device);
int CancelPendingEvents(int node, int device);
int CancelToCurrentState(int node, int device);
int DisablePendingEvents(int node, int device);

// Evaluation and stepping.
int EvalDeviceOutputs(std::uint32_t time, int device);
int PropagateChangedNodes(std::uint32_t time);
int DigitalOperatingPointPass();
int SolveDigitalOperatingPoint();
int ProcessDigitalEventsAt(std::uint32_t time);
void CommitChangedNodes();
void ApplyTimeZeroEvents();
void DigitalStepNoOp();
// Queues the events of every stimulus device (run start). 0 or 15002.
int QueueStimulusEvents();
// Sets the nodes of every stimulus to the values it drives at time 0 (before a transient's
// operating point, which then starts from them).
void SetStimulusStartingStates();
// Frees the events of the stimuli that were taken before the present time (an accepted point:
// no rejected step goes back before it), once they are half of a long list.
void ForgetTakenStimulusEvents();
int AddChangedNode(int node);
// Initial states of digital nodes (.IC and .NODESET D rows): the node takes the state, and
// the operating point keeps it there whatever its drivers give.
void HoldDigitalNodeState(int node, std::uint16_t state);
// Holds the D rows of the circuit's initial conditions (run start).
void HoldInitialDigitalStates();
// Lets the held nodes go (the run's first accepted point): their drivers are evaluated at the
// tick, so that a node its drivers do not hold at that state follows them from there. 0 or an
// error of the evaluation.
int ReleaseHeldDigitalNodes(std::uint32_t tick);
bool DigitalNodeHeld(int node);
// A new change-log entry holding the node's and the output's slots as they are now (`output`:
// the device's output on the node, or -1), filled in place; null when memory runs out.
DigitalChangeRecord* LogChange(DigitalDeviceTables& d, std::uint32_t time, int node, int device, std::uint16_t kind,
                               int output);
// Takes back the entry LogChange made last (its change did not happen).
void DropLastChange(DigitalDeviceTables& d);
// Queues a node event with a change-log entry that lets a rejected step take it back. 0, or
// 15002 (and nothing queued or logged) when memory runs out.
int QueueLoggedNodeEvent(DigitalDeviceTables& d, std::uint32_t time, std::uint8_t lowStrength, std::uint8_t highStrength,
                         int node, int device, std::uint16_t state, int output);
// The output index of the device's output on the node, or -1. The node's driver slots name
// the output: no walk over a wide device's outputs.
inline int OutputOnNode(const DigitalDeviceTables& d, int device, int node)
{
    if (device <= 0 || node <= 0 || node > d.nodeCount) return -1;
    const std::size_t n = static_cast<std::size_t>(node);
    for (int s = d.driverStart[n]; s < d.driverStart[n + 1]; ++s)
        if (d.driverDevice[static_cast<std::size_t>(s)] == device) return d.driverOutput[static_cast<std::size_t>(s)];
    return -1;
}

}  // namespace kq5
