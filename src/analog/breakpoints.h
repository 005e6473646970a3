#pragma once
// The event queue of the transient run: one time-ordered list (device list 1) of the times
// at which a source waveform has a corner and the times at which the digital side has a
// scheduled change. The time loop cuts its step to land exactly on the first entry and
// removes entries as it passes them.
//
// Times in the queue are whole digital ticks counted from the start of the run: the tick
// is Tmax / 1e9 seconds and tick 0 is the start time Tmin, so a waveform corner at absolute
// time T is the entry round((T - Tmin) / tick).
#include <cstdint>

namespace kq5 {

struct WindowRecord;
struct IndependentSourceDevice;

// Entries closer than this (in ticks) are one landing point.
inline constexpr std::uint32_t kBreakpointMergeTicks = 10;
inline constexpr double kTicksPerRun = 1e9;

struct BreakpointState {
    double origin = 0.0;  // time of tick 0: the start time of the run
    double tick = 1e-9;   // seconds per tick
    std::uint32_t startTick = 0;  // trunc(Tmin / tick)
    std::uint32_t endTick = 1000000000u;  // the digital end time: Tmax, counted from Tmin
    bool scheduling = false;  // set while ScheduleSourceBreakpoints runs
    bool landing = false;     // the time loop's step ends exactly on the head entry
    bool pulseQuestionAsked = false;  // the long-pulse question is asked once per run
};

BreakpointState& Breakpoints();
void ResetBreakpointStateForTests();

// Sets the tick and origin for a run from Tmin to Tmax (the digital time scale).
void SetBreakpointTimeScale(double tmin, double tmax);
// The tick of an absolute time, rounded; times before the origin give 0 and times beyond
// the tick range the largest tick.
std::uint32_t TimeToTick(double time);
// The absolute time of a tick.
double TickToTime(std::uint32_t tick);

// Removes and frees the first entry and clears the landing flag.
void RemoveFirstTimeBreakpoint();
// Empties the queue.
void ClearTimeBreakpoints();

// The run values that the source corners depend on.
struct SourceScheduleValues {
    double tmin = 0.0;
    double tmax = 0.0;
    double printInterval = 0.0;
    bool steppedRun = false;  // stepped and Monte Carlo cases never ask the long-pulse question
};

// Fills the queue at the start of a case: the run's start and end, the corners of every
// PULSE component and of every PULSE, SIN, EXP and PWL source (giving their unset timing
// parameters the run's defaults). 0, 15056 (the user declined the long-pulse question or
// pressed Esc) or a message id.
int ScheduleSourceBreakpoints(WindowRecord* window, const SourceScheduleValues& run);

// Stores time as waveform parameter k of the source when the source was not given k + 1
// parameters (a default for an unset timing value).
void SetSourceCornerTime(IndependentSourceDevice& source, int k, double time);

// The breakpoints of one piecewise-linear source: its points (with their REPEAT loops
// unrolled) from Tmin up to the first point past Tmax. A loop whose pass does not advance
// the time is played once more and then left, so that it cannot repeat without end.
// 0 or 15002.
int AddPwlSourceBreakpoints(const IndependentSourceDevice& source, const SourceScheduleValues& run);

}  // namespace kq5
