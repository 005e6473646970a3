#include "devices/source_functions.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "document/circuit_document.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRadiansPerDegree = 0.0174532925199433;
constexpr int kMsgTimeNotAscending = 10631;

// PUL and SIN model parameters by position.
enum PulParam { kPulVzero, kPulVone, kPulP1, kPulP2, kPulP3, kPulP4, kPulP5 };
enum SinParam { kSinF, kSinA, kSinDc, kSinPh, kSinRs, kSinRp, kSinTau };
// TRN model: the delay, and the slot that marks a model used by ideal lines.
constexpr int kTrnTd = 1;
constexpr int kTrnIdealMark = 21;

double ModelParam(const EvaluatedModel* model, int index)
{
    if (!model || index >= static_cast<int>(model->params.size())) return 0.0;
    const float v = model->Param(index);
    return IsParamNotGiven(v) ? 0.0 : static_cast<double>(v);
}

double Param(const IndependentSourceDevice& s, int index) { return s.params[static_cast<std::size_t>(index)]; }

double GeneralSourceValue(const IndependentSourceDevice& src, const SourceStamps& st, double t, bool transient,
                          int& rc)
{
    // Outside a transient analysis every source stands at its DC value. Most waveforms give
    // it at time 0 by themselves, but a sine with a phase would add VA sin(PHASE) to the
    // bias of an AC analysis or a DC sweep.
    if (!transient) return src.dcWorking;
    const double v1 = Param(src, 0);
    switch (src.function) {
    case kSourcePulse: {
        const double td = Param(src, 2), tr = Param(src, 3), tf = Param(src, 4), pw = Param(src, 5);
        return PulseWaveValue(t - td, v1, Param(src, 1), 0.0, tr, tr + pw, tr + pw + tf, Param(src, 6));
    }
    case kSourceSin: {
        const double theta = Param(src, 4);
        return SineWaveValue(t, kSineModeSine, v1, Param(src, 2), Param(src, 1), theta != 0.0 ? 1.0 / theta : 0.0,
                             1e30, Param(src, 3), Param(src, 5) * kRadiansPerDegree, 0.0, 0.0);
    }
    case kSourceExp:
        return ExpWaveValue(t, v1, Param(src, 1), Param(src, 2), Param(src, 3), Param(src, 4), Param(src, 5));
    case kSourcePwl: {
        double value = st.value;
        rc = PwlWaveValue(src, st, t, value);
        return value;
    }
    case kSourceSffm:
        return SineWaveValue(t, kSineModeModulated, v1, Param(src, 2), Param(src, 1), 0.0, 1e30, 0.0, 0.0,
                             Param(src, 3), Param(src, 4));
    default:
        return src.dcWorking;
    }
}

double UserSourceValue(UserSourceStamps& st, double t, bool transient)
{
    const std::size_t n = std::min(st.times.size(), st.values.size());
    if (n == 0) return 0.0;
    if (!transient) return st.values[0];
    std::size_t segment = 0;
    const auto committed = static_cast<std::size_t>(std::max(st.committedIndex, 0));
    if (t > st.times[n - 1]) {
        segment = n - 1;
    } else if (committed < n && t <= st.times[committed]) {
        st.tentativeIndex = 0;
        return st.values[0];
    } else {
        std::size_t i = committed;
        while (i < n && st.times[i] < t) ++i;
        segment = i > 0 ? i - 1 : 0;
    }
    st.tentativeIndex = static_cast<std::int32_t>(segment);
    if (segment + 1 >= n) return st.values[n - 1];
    const double ta = st.times[segment], tb = st.times[segment + 1];
    const double va = st.values[segment], vb = st.values[segment + 1];
    return tb == ta ? va : va + (vb - va) * (t - ta) / (tb - ta);
}

}  // namespace

double SineWaveValue(double t, int mode, double vo, double frequency, double va, double tau, double rp, double td,
                     double phase, double mdi, double fs)
{
    double damping = 1.0;
    if (tau != 0.0 && rp != 0.0) damping = ClampedExp(-((t - td) - std::floor(t / rp) * rp) / tau);
    // Before its delay a sine holds the value it starts from, so that it starts without a step.
    if (t < td) return mode == kSineModeModulated ? vo : vo + va * std::sin(phase);
    const double p = mode == kSineModeModulated ? mdi * std::sin(kTwoPi * fs * (t - td)) : phase;
    double argument = kTwoPi * frequency * (t - td) + p;
    if (argument > 1e8) argument = 1e8;
    return vo + va * damping * std::sin(argument);
}

double PulseWaveValue(double t, double v1, double v2, double p1, double p2, double p3, double p4, double p5)
{
    if (p5 == 0.0) return v1;
    const double tm = t - std::floor(t / p5) * p5;
    if (tm <= p1 || t <= 0.0) return v1;
    if (tm <= p2) return v1 + (tm - p1) * (v2 - v1) / (p2 - p1);
    if (tm <= p3) return v2;
    if (tm <= p4) return v2 + (tm - p3) * (v1 - v2) / (p4 - p3);
    return v1;
}

double ExpWaveValue(double t, double v1, double v2, double td1, double tau1, double td2, double tau2)
{
    if (t <= td1) return v1;
    const double rise = tau1 > 0.0 ? v1 + (v2 - v1) * (1.0 - ClampedExp((td1 - t) / tau1)) : v2;
    if (t <= td2) return rise;
    const double fall = tau2 > 0.0 ? (1.0 - ClampedExp((td2 - t) / tau2)) * (v1 - v2) : v1 - v2;
    return rise + fall;
}

int PwlWaveValue(const IndependentSourceDevice& source, const SourceStamps& st, double t, double& value)
{
    const std::vector<double>& times = st.pwlTimes;
    const std::vector<double>& values = st.pwlValues;
    const std::size_t n = std::min(times.size(), values.size());
    if (n == 0) {
        value = 0.0;
        return 0;
    }
    if (t <= times[0]) {
        value = values[0];
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (times[i] < times[i - 1]) {
            ReportMessage("WNE", CurrentRecord(), source.component, kMsgTimeNotAscending);
            value = 0.0;
            return kMsgAlreadyReported;
        }
        if (t <= times[i]) {
            // A time that two points share is a jump. A step that lands on it ends on the level
            // reached from before, the first of the two values: the circuit sees the new level
            // only with the steps after it, as it would behind a steep edge. (Here times[i-1]
            // < t, so the segment is never of zero length.)
            value = values[i - 1] + (values[i] - values[i - 1]) * (t - times[i - 1]) / (times[i] - times[i - 1]);
            return 0;
        }
    }
    value = values[n - 1];
    return 0;
}

int ExpandPwlTable(const IndependentSourceDevice& source, SourceStamps& st, double tmax)
{
    const PwlData& pwl = source.pwl;
    const std::vector<PwlEntry>& entries = pwl.entries;
    struct Level {
        std::size_t start = 0;    // entry of its REPEAT
        std::int32_t left = 0;    // repetitions left, -1 forever
        double base = 0.0;
        double enterBase = 0.0;   // base when the present repetition began
    };
    try {
        std::vector<Level> levels;
        std::vector<double> times;
        std::vector<double> values;
        double base = 0.0;
        double lastTime = 0.0;
        std::size_t i = 0;
        while (i < entries.size()) {
            const PwlEntry& e = entries[i];
            if (e.kind == kPwlRepeat) {
                levels.push_back({i, e.repeatCount, 0.0, base});
                ++i;
            } else if (e.kind == kPwlEndRepeat) {
                if (levels.empty()) {
                    ++i;
                    continue;
                }
                Level& level = levels.back();
                if (level.left > 0) --level.left;
                // A repetition that did not move the stored time forward (a section of zero
                // length, or a time scale of zero or below) would repeat without end.
                const bool stalled = !(lastTime * pwl.timeScale > level.enterBase * pwl.timeScale);
                if ((level.left < 1 && level.left != kPwlForever) || stalled) {
                    levels.pop_back();
                    base = levels.empty() ? 0.0 : levels.back().base;
                    ++i;
                } else {
                    level.base = base = level.enterBase = lastTime;
                    i = level.start + 1;
                }
            } else {
                lastTime = e.time + base;
                const double value = EvalNumber(e.value);
                times.push_back(lastTime * pwl.timeScale);
                values.push_back(value * pwl.valueScale);
                if (!(times.back() <= tmax)) break;
                ++i;
            }
        }
        st.pwlTimes = std::move(times);
        st.pwlValues = std::move(values);
    } catch (const std::bad_alloc&) {
        st.pwlTimes.clear();
        st.pwlValues.clear();
        return kMsgInsufficientMemory;
    }
    return 0;
}

int ExpandAllPwlTables()
{
    std::vector<SourceStamps>& table = AnalogSolver().devices.sources;
    const double tmax = Analysis().variables.tmax;
    std::size_t i = 0;
    for (IndependentSourceDevice& s : ListRecords<IndependentSourceDevice>(DeviceList(kIndependentSourceDeviceList))) {
        if (i >= table.size()) break;
        SourceStamps& st = table[i++];
        if (s.function == kSourcePwl)
            if (int rc = ExpandPwlTable(s, st, tmax)) return rc;
    }
    return 0;
}

int EvaluateSourcesAtTime()
{
    AnalogSolverState& solver = AnalogSolver();
    DeviceSolverTables& t = solver.devices;
    const double time = solver.time;
    const bool transient = Analysis().analysisKind == kAnalysisTransient;

    std::size_t i = 0;
    for (SineSourceDevice& s : ListRecords<SineSourceDevice>(DeviceList(kSineSourceDeviceList))) {
        if (i >= t.sineSources.size()) break;
        const EvaluatedModel* m = s.model;
        t.sineSources[i++].value = SineWaveValue(time, kSineModeSine, ModelParam(m, kSinDc), ModelParam(m, kSinF),
                                                 ModelParam(m, kSinA), ModelParam(m, kSinTau), ModelParam(m, kSinRp),
                                                 0.0, ModelParam(m, kSinPh), 0.0, 0.0);
    }
    i = 0;
    for (PulseSourceDevice& s : ListRecords<PulseSourceDevice>(DeviceList(kPulseSourceDeviceList))) {
        if (i >= t.pulseSources.size()) break;
        const EvaluatedModel* m = s.model;
        t.pulseSources[i++].value =
            PulseWaveValue(time, ModelParam(m, kPulVzero), ModelParam(m, kPulVone), ModelParam(m, kPulP1),
                           ModelParam(m, kPulP2), ModelParam(m, kPulP3), ModelParam(m, kPulP4), ModelParam(m, kPulP5));
    }
    int result = 0;
    i = 0;
    for (IndependentSourceDevice& s : ListRecords<IndependentSourceDevice>(DeviceList(kIndependentSourceDeviceList))) {
        if (i >= t.sources.size()) break;
        SourceStamps& st = t.sources[i++];
        int rc = 0;
        const double value = GeneralSourceValue(s, st, time, transient, rc);
        if (rc) {
            st.value = value;
            result = rc;
            break;
        }
        st.value = value;
    }
    i = 0;
    for (UserSourceDevice& u : ListRecords<UserSourceDevice>(DeviceList(kUserSourceDeviceList))) {
        (void)u;
        if (i >= t.userSources.size()) break;
        UserSourceStamps& st = t.userSources[i++];
        st.value = UserSourceValue(st, time, transient);
    }
    return result;
}

double MaxSourceTimeStep()
{
    double step = 1e30;
    // A tenth of each period. A negative frequency runs the sine backwards with the same
    // period; taken as it stands it would ask for a negative step, which stops the time.
    auto tenthOfPeriod = [&step](double frequency) {
        if (frequency != 0.0) step = std::min(step, 0.1 / std::fabs(frequency));
    };
    for (SineSourceDevice& s : ListRecords<SineSourceDevice>(DeviceList(kSineSourceDeviceList)))
        tenthOfPeriod(ModelParam(s.model, kSinF));
    for (IndependentSourceDevice& s : ListRecords<IndependentSourceDevice>(DeviceList(kIndependentSourceDeviceList))) {
        if (s.function == kSourceSin) tenthOfPeriod(Param(s, 2));
        if (s.function == kSourceSffm) {
            tenthOfPeriod(Param(s, 2));
            tenthOfPeriod(Param(s, 4));
        }
    }
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[kModelTrn])) {
        if (m.params.size() > kTrnIdealMark && m.Param(kTrnIdealMark) == 1.0f) continue;
        // A line given by its length and per-length values has no delay of its own here.
        const double td = ModelParam(&m, kTrnTd);
        if (td > 0.0) step = std::min(step, td);
    }
    return step;
}

void CommitUserSourceIndices()
{
    for (UserSourceStamps& st : AnalogSolver().devices.userSources) st.committedIndex = st.tentativeIndex;
}

void ResetUserSourceIndices()
{
    for (UserSourceStamps& st : AnalogSolver().devices.userSources) st.committedIndex = st.tentativeIndex = 0;
}

}  // namespace kq5
