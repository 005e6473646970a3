#include "analog/breakpoints.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "netlist/source_device.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

constexpr int kEscKey = 27;
constexpr unsigned kYesNoDefaultNo = 0x1030 | 0x4 | 0x100;  // warning icon, Yes/No, No default
constexpr int kAnswerNo = 7;
// Periods of a pulse before the run asks whether so many are meant.
constexpr double kPulsePeriodsWithoutQuestion = 1000.0;
// The key poll runs once per this many scheduled periods.
constexpr int kPeriodsPerKeyPoll = 256;

// PUL model parameters.
constexpr int kPulP1 = 2;
constexpr int kPulPeriod = 6;

// Waveform parameters of the general sources.
constexpr int kPulseTd = 2, kPulseTr = 3, kPulseTf = 4, kPulsePw = 5, kPulsePer = 6;
constexpr int kSinFreq = 2, kSinTd = 3;
constexpr int kExpTd1 = 2, kExpTau1 = 3, kExpTd2 = 4, kExpTau2 = 5;
constexpr int kSffmFc = 2, kSffmFs = 4;

std::uint32_t TickDistance(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : b - a; }

// Insertion of a plain breakpoint while the source corners are scheduled. The corners of
// one source come in increasing time, so each insertion resumes its scan at the entry after
// which the previous one happened when the new time lies beyond it.
class ScheduleCursor {
public:
    int Add(std::uint32_t time)
    {
        if (static_cast<std::uint64_t>(time) > 2ull * Analysis().digitalEndTick) return 0;
        LinkedList& queue = DeviceList(kTimeBreakpointList);
        TimeBreakpointRecord* before = nullptr;
        TimeBreakpointRecord* after = ListHead<TimeBreakpointRecord>(queue);
        if (cursor_ && time > cursor_->time) {
            before = cursor_;
            after = ListNext(cursor_);
        }
        for (; after; before = after, after = ListNext(after)) {
            if (time != 0 && TickDistance(time, after->time) <= kBreakpointMergeTicks) {
                cursor_ = before;
                return 0;
            }
            if (time < after->time) break;
        }
        auto* record = new (std::nothrow) TimeBreakpointRecord();
        if (!record) return kMsgInsufficientMemory;
        record->time = time;
        ListLinkAfter(queue, before, record);
        cursor_ = before;
        return 0;
    }
    int AddTime(double t)
    {
        if (t < Breakpoints().origin) return 0;
        return Add(TimeToTick(t));
    }

private:
    TimeBreakpointRecord* cursor_ = nullptr;
};

// The corners of the user-file sources' tables: their first and last times and every inner
// point next to a segment whose value moves by more than 1e-5 of its magnitude (the start of a
// ramp, and its end where the value comes to rest).
int ScheduleUserSources(ScheduleCursor& cursor)
{
    const auto moves = [](double a, double b) {
        return std::abs(b - a) > 1e-5 * std::max({std::abs(a), std::abs(b), 1e-50});
    };
    for (const UserSourceStamps& u : AnalogSolver().devices.userSources) {
        const std::size_t n = std::min(u.times.size(), u.values.size());
        if (n == 0) continue;
        if (int rc = cursor.AddTime(u.times.front())) return rc;
        for (std::size_t i = 1; i + 1 < n; ++i) {
            if (moves(u.values[i - 1], u.values[i]) || moves(u.values[i], u.values[i + 1]))
                if (int rc = cursor.AddTime(u.times[i])) return rc;
        }
        if (int rc = cursor.AddTime(u.times[n - 1])) return rc;
    }
    return 0;
}

int PollKeys()
{
    const auto& poll = AnalogSolver().hooks.pollRunKeys;
    return poll ? poll() : 0;
}

// The corners of a periodic waveform: for each period k the corner times plus k periods,
// until a period starts past the end. A period that is not positive (or so small that the
// time does not move) schedules one set of corners only.
template <std::size_t N>
int SchedulePeriodic(ScheduleCursor& cursor, const double (&corners)[N], double period,
                     double tend)
{
    for (long long k = 0;; ++k) {
        const double offset = static_cast<double>(k) * period;
        if (k > 0 && corners[0] + offset > tend) break;
        for (double c : corners)
            if (int rc = cursor.AddTime(c + offset)) return rc;
        if (!(period > 0.0) || corners[0] + offset + period <= corners[0] + offset) break;
        if (k % kPeriodsPerKeyPoll == kPeriodsPerKeyPoll - 1 && PollKeys() == kEscKey)
            return kMsgStoppedByUser;
    }
    return 0;
}

// Once per run, outside stepped runs: a pulse of more than 1000 periods in the run asks
// whether so many are meant (each period adds four breakpoints). 0, or 15056 for No.
int AskAboutLongPulse(WindowRecord* window, const SourceScheduleValues& run, double period)
{
    BreakpointState& bp = Breakpoints();
    if (run.steppedRun || bp.pulseQuestionAsked || !(period > 0.0) ||
        !(run.tmax / period > kPulsePeriodsWithoutQuestion))
        return 0;
    bp.pulseQuestionAsked = true;
    const double periods = (run.tmax - run.tmin) / period;
    return ReportMessage("WSE", window, kYesNoDefaultNo, 13544, periods) == kAnswerNo ? kMsgStoppedByUser : 0;
}

int SchedulePulseComponents(WindowRecord* window, ScheduleCursor& cursor,
                            const SourceScheduleValues& run)
{
    for (const PulseSourceDevice& p : ListRecords<PulseSourceDevice>(DeviceList(kPulseSourceDeviceList))) {
        if (PollKeys() == kEscKey) return kMsgStoppedByUser;
        if (!p.model || p.model->params.size() <= static_cast<std::size_t>(kPulPeriod)) continue;
        const double period = p.model->Param(kPulPeriod);
        if (int rc = AskAboutLongPulse(window, run, period)) return rc;
        const double corners[4] = {p.model->Param(kPulP1), p.model->Param(kPulP1 + 1),
                                   p.model->Param(kPulP1 + 2), p.model->Param(kPulP1 + 3)};
        if (int rc = SchedulePeriodic(cursor, corners, period, run.tmax)) return rc;
    }
    return 0;
}

int ScheduleWaveformSources(WindowRecord* window, ScheduleCursor& cursor,
                            const SourceScheduleValues& run)
{
    const double dt = run.printInterval;
    const double tmax = run.tmax;
    for (IndependentSourceDevice& s :
         ListRecords<IndependentSourceDevice>(DeviceList(kIndependentSourceDeviceList))) {
        switch (s.function) {
        case kSourcePulse: {
            // SPICE decks write a period of 0 for a single pulse: a period that is not above 0
            // counts as not given, so that it becomes the run's length.
            if (s.lastParam > kPulsePer && !(s.params[kPulsePer] > 0.0)) s.lastParam = kPulsePer;
            SetSourceCornerTime(s, kPulseTd, dt);
            SetSourceCornerTime(s, kPulseTr, dt);
            SetSourceCornerTime(s, kPulseTf, dt);
            SetSourceCornerTime(s, kPulsePw, tmax);
            SetSourceCornerTime(s, kPulsePer, tmax);
            auto& p = s.params;
            p[kPulsePer] = std::max(p[kPulsePer], p[kPulseTr] + p[kPulseTf] + p[kPulsePw]);
            if (int rc = AskAboutLongPulse(window, run, p[kPulsePer])) return rc;
            const double td = p[kPulseTd];
            const double corners[4] = {td, td + p[kPulseTr], td + p[kPulseTr] + p[kPulsePw],
                                       td + p[kPulseTr] + p[kPulsePw] + p[kPulseTf]};
            if (int rc = SchedulePeriodic(cursor, corners, p[kPulsePer], tmax)) return rc;
            break;
        }
        case kSourceSin:
            if (tmax > 0.0) SetSourceCornerTime(s, kSinFreq, 1.0 / tmax);
            if (int rc = cursor.AddTime(s.params[kSinTd])) return rc;
            break;
        case kSourceExp:
            SetSourceCornerTime(s, kExpTd1, 0.0);
            SetSourceCornerTime(s, kExpTau1, dt);
            SetSourceCornerTime(s, kExpTd2, s.params[kExpTd1] + dt);
            SetSourceCornerTime(s, kExpTau2, dt);
            if (int rc = cursor.AddTime(s.params[kExpTd1])) return rc;
            if (int rc = cursor.AddTime(s.params[kExpTd2])) return rc;
            break;
        case kSourcePwl:
            if (int rc = AddPwlSourceBreakpoints(s, run)) return rc;
            break;
        case kSourceSffm:
            // The two frequencies default to one period over the run; the modulation index is
            // a pure number and stays 0 when not given.
            if (tmax > 0.0) {
                SetSourceCornerTime(s, kSffmFc, 1.0 / tmax);
                SetSourceCornerTime(s, kSffmFs, 1.0 / tmax);
            }
            break;
        default:
            break;
        }
    }
    return 0;
}

}  // namespace

BreakpointState& Breakpoints()
{
    static BreakpointState state;
    return state;
}

void ResetBreakpointStateForTests()
{
    ClearTimeBreakpoints();
    Breakpoints() = BreakpointState();
}

void SetBreakpointTimeScale(double tmin, double tmax)
{
    BreakpointState& bp = Breakpoints();
    bp.origin = tmin;
    bp.tick = tmax > 0.0 ? tmax / kTicksPerRun : 1e-9;
    bp.startTick = static_cast<std::uint32_t>(std::clamp(tmin / bp.tick, 0.0, kTicksPerRun));
    bp.endTick = static_cast<std::uint32_t>(kTicksPerRun) - bp.startTick;
    Analysis().digitalEndTick = static_cast<std::uint32_t>(kTicksPerRun);
}

std::uint32_t TimeToTick(double time)
{
    const BreakpointState& bp = Breakpoints();
    const double ticks = std::round((time - bp.origin) / bp.tick);
    if (!(ticks > 0.0)) return 0;
    if (ticks >= 4294967295.0) return 4294967295u;
    return static_cast<std::uint32_t>(ticks);
}

double TickToTime(std::uint32_t tick)
{
    const BreakpointState& bp = Breakpoints();
    return bp.origin + static_cast<double>(tick) * bp.tick;
}

void RemoveFirstTimeBreakpoint()
{
    LinkedList& queue = DeviceList(kTimeBreakpointList);
    if (queue.head) {
        ForgetNodeEvent(static_cast<const TimeBreakpointRecord*>(queue.head));
        ListRemove(queue, queue.head);
    }
    Breakpoints().landing = false;
}

void ClearTimeBreakpoints()
{
    ClearNodeEventIndex();
    ListClear(DeviceList(kTimeBreakpointList));
}

void SetSourceCornerTime(IndependentSourceDevice& source, int k, double time)
{
    if (k < 0 || k >= kMaxSourceFunctionParams) return;
    if (source.lastParam <= k) source.params[static_cast<std::size_t>(k)] = time;
}

int AddPwlSourceBreakpoints(const IndependentSourceDevice& source, const SourceScheduleValues& run)
{
    // The walk of the waveform evaluation: a loop's pass starts where its previous pass
    // ended (the last point's time), FOR n plays n passes (FOR 0 one), FOREVER until Tmax.
    struct Loop {
        std::size_t start;   // entry of the REPEAT
        std::int32_t left;   // passes still to play, -1 without end
        double base;         // time offset of the loop's pass
        double passStart;    // last point time when the pass began
    };
    const std::vector<PwlEntry>& entries = source.pwl.entries;
    const double scale = source.pwl.timeScale;
    std::vector<Loop> loops;
    double base = 0.0;
    double last = -HUGE_VAL;
    ScheduleCursor cursor;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const PwlEntry& e = entries[i];
        if (e.kind == kPwlRepeat) {
            loops.push_back({i, e.repeatCount, 0.0, last});
        } else if (e.kind == kPwlEndRepeat) {
            if (loops.empty()) continue;
            Loop& loop = loops.back();
            if (loop.left > 0) --loop.left;
            // A pass that did not move the time forward would repeat for ever.
            const bool advanced = last * scale > loop.passStart * scale;
            if ((loop.left < 1 && loop.left != kPwlForever) || !advanced) {
                loops.pop_back();
                base = loops.empty() ? 0.0 : loops.back().base;
            } else {
                loop.base = base = last;
                loop.passStart = last;
                i = loop.start;
            }
        } else if (e.kind == kPwlPoint) {
            last = e.time + base;
            const double t = last * scale;
            if (t > run.tmax) break;
            if (t >= run.tmin)
                if (int rc = cursor.AddTime(t)) return rc;
        }
    }
    return 0;
}

int ScheduleSourceBreakpoints(WindowRecord* window, const SourceScheduleValues& run)
{
    BreakpointState& bp = Breakpoints();
    bp.scheduling = true;
    ClearTimeBreakpoints();
    ScheduleCursor cursor;
    int rc = cursor.Add(0);
    if (!rc) rc = cursor.Add(bp.endTick);
    if (!rc) rc = ScheduleUserSources(cursor);
    if (!rc) rc = SchedulePulseComponents(window, cursor, run);
    if (!rc) rc = ScheduleWaveformSources(window, cursor, run);
    bp.scheduling = false;
    return rc;
}

}  // namespace kq5
