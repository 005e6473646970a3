#include "plots/state_variables_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/device_dispatch_tables.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "netlist/line_switch_devices.h"
#include "netlist/standalone_element_devices.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
#include "platform/disk_file_names.h"

namespace kq5 {

namespace {

// Bytes per record of the sections written per device.
constexpr std::uint64_t kLineBytes = 64;        // ideal lines: eight doubles
constexpr std::uint64_t kSection9Bytes = 24;    // three integer fields as doubles
constexpr std::uint64_t kSampleHoldBytes = 40;  // three integer fields and two doubles
constexpr std::uint64_t kSection11Bytes = 16;   // two integer fields as doubles
constexpr std::uint64_t kEventBytes = 18;
constexpr std::uint64_t kTimingEntryBytes = 24;
constexpr std::uint64_t kCoreDoubles = 5;
constexpr std::uint64_t kStepHistoryDoubles = 8;
constexpr std::uint64_t kMaxImage = std::numeric_limits<std::uint32_t>::max();

int FileError()
{
    const int e = errno;
    return 16000 + (e != 0 ? e : EIO);
}

// Sizes of the present circuit's sections.
struct StateSizes {
    std::uint64_t vector = 0;       // doubles of each solution vector
    std::uint64_t cores = 0;        // cores with a CORE model
    std::uint64_t histories = 0;    // doubles of each integration history
    std::uint64_t lines = 0;
    std::uint64_t sampleHolds = 0;
    std::uint64_t digitalNodes = 0;  // N + 1
    std::uint64_t digitalSecond = 1; // G + 1: the simulator keeps no second node array yet
    std::uint64_t timingEntries = 0;
};

StateSizes PresentSizes()
{
    StateSizes z;
    const AnalogSolverState& s = AnalogSolver();
    z.vector = Analysis().solution.real.size();
    for (const CoreState& c : AnalogSolver().devices.cores)
        if (c.isCore) ++z.cores;
    z.histories = std::max(s.chargeStates.size(), s.currentStates.size());
    z.histories -= z.histories % 4;
    z.lines = static_cast<std::uint64_t>(std::max(DeviceList(kIdealLineDeviceList).count, 0));
    z.sampleHolds = static_cast<std::uint64_t>(std::max(DeviceList(kSampleHoldDeviceList).count, 0));
    z.digitalNodes = std::max<std::uint64_t>(DigitalSimulator().current.size(), 1);
    return z;
}

// Adds b to a; false when the sum leaves the image's 32-bit length.
bool Add(std::uint64_t& a, std::uint64_t b)
{
    if (b > kMaxImage || a > kMaxImage - b) return false;
    a += b;
    return true;
}

bool Mul(std::uint64_t a, std::uint64_t b, std::uint64_t& out)
{
    if (a != 0 && b > kMaxImage / a) return false;
    out = a * b;
    return true;
}

std::uint64_t ImageLength(const StateSizes& z, std::uint64_t events)
{
    std::uint64_t total = 4, part = 0;
    const std::pair<std::uint64_t, std::uint64_t> sections[] = {
        {8, z.vector},         {8, z.vector},           {8, z.vector},           {8 * kCoreDoubles, z.cores},
        {8, z.histories},      {8, z.histories},        {kLineBytes, z.lines},   {kSection9Bytes, 0},
        {kSampleHoldBytes, z.sampleHolds},              {kSection11Bytes, 0},    {2 * 3, z.digitalNodes},
        {2 * 2, z.digitalSecond},                       {8, 1},                  {8, kStepHistoryDoubles},
        {kEventBytes, events}, {kTimingEntryBytes, z.timingEntries},
    };
    for (const auto& [size, count] : sections)
        if (!Mul(size, count, part) || !Add(total, part)) return 0;
    // The event count again, the timing block's two doubles and the closing byte.
    if (!Add(total, 4 + 16 + 1)) return 0;
    return total;
}

class ImageWriter {
public:
    explicit ImageWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void U32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void U16(std::uint16_t v)
    {
        out_.push_back(static_cast<std::uint8_t>(v));
        out_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void Byte(std::uint8_t v) { out_.push_back(v); }
    void Double(double v)
    {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i) out_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    // n doubles of the vector, zeros where it is shorter.
    void Doubles(const std::vector<double>& v, std::uint64_t n)
    {
        for (std::uint64_t i = 0; i < n; ++i) Double(i < v.size() ? v[static_cast<std::size_t>(i)] : 0.0);
    }
    void Words(const std::vector<std::uint16_t>& v, std::uint64_t n)
    {
        for (std::uint64_t i = 0; i < n; ++i) U16(i < v.size() ? v[static_cast<std::size_t>(i)] : 0);
    }

private:
    std::vector<std::uint8_t>& out_;
};

class ImageReader {
public:
    explicit ImageReader(const std::vector<std::uint8_t>& in) : in_(in) {}
    std::uint32_t U32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Next()) << (8 * i);
        return v;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::uint16_t U16()
    {
        const std::uint16_t lo = Next();
        return static_cast<std::uint16_t>(lo | (Next() << 8));
    }
    std::uint8_t Byte() { return Next(); }
    double Double()
    {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(Next()) << (8 * i);
        return std::bit_cast<double>(bits);
    }
    void Doubles(std::vector<double>& v, std::uint64_t n)
    {
        for (std::uint64_t i = 0; i < n; ++i) {
            const double d = Double();
            if (i < v.size()) v[static_cast<std::size_t>(i)] = d;
        }
    }
    void Words(std::vector<std::uint16_t>& v, std::uint64_t n)
    {
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint16_t w = U16();
            if (i < v.size()) v[static_cast<std::size_t>(i)] = w;
        }
    }
    void Skip(std::uint64_t n) { pos_ = std::min<std::uint64_t>(in_.size(), pos_ + n); }

private:
    std::uint8_t Next() { return pos_ < in_.size() ? in_[static_cast<std::size_t>(pos_++)] : 0; }
    const std::vector<std::uint8_t>& in_;
    std::uint64_t pos_ = 0;
};

std::vector<const TimeBreakpointRecord*> SavedEvents()
{
    std::vector<const TimeBreakpointRecord*> events;
    for (const TimeBreakpointRecord& r : ListRecords<TimeBreakpointRecord>(DeviceList(kTimeBreakpointList)))
        if (r.eventFlag == 1) events.push_back(&r);
    return events;
}

double FinalTime() { return TransientRun().tmax; }

WindowRecord* CircuitWindow() { return RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord(); }

}  // namespace

std::string StateVariablesFileName(const WindowRecord* circuit)
{
    std::string name = circuit ? GetRecordTitle(circuit) : std::string();
    if (name.empty()) return name;
    return ReplaceExtension(name, "TOP");
}

std::uint64_t ExpectedStateImageLength(std::uint64_t events) { return ImageLength(PresentSizes(), events); }

std::vector<std::uint8_t> BuildStateImage()
{
    const StateSizes z = PresentSizes();
    const std::vector<const TimeBreakpointRecord*> events = SavedEvents();
    const std::uint64_t length = ImageLength(z, events.size());
    std::vector<std::uint8_t> image;
    if (length == 0) return image;
    image.reserve(static_cast<std::size_t>(length));
    ImageWriter w(image);
    const AnalogSolverState& s = AnalogSolver();

    w.U32(static_cast<std::uint32_t>(events.size()));
    w.Doubles(Analysis().solution.real, z.vector);
    w.Doubles(s.savedSolution, z.vector);
    w.Doubles(s.olderSolution, z.vector);
    for (const CoreState& c : AnalogSolver().devices.cores) {
        if (!c.isCore) continue;
        for (double v : {c.m, c.mirr, c.hcore, c.happ, c.saved}) w.Double(v);
    }
    w.Doubles(s.chargeStates, z.histories);
    w.Doubles(s.currentStates, z.histories);
    for (const IdealLineDevice& line : ListRecords<IdealLineDevice>(DeviceList(kIdealLineDeviceList))) {
        for (double v : line.wave1) w.Double(v);
        for (double v : line.wave2) w.Double(v);
        w.Double(line.delayed1);
        w.Double(line.delayed2);
    }
    for (const SampleHoldDevice& h : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) {
        w.Double(h.subtype);
        w.Double(h.branch);
        w.Double(0.0);
        w.Double(h.held);
        w.Double(h.value);
    }
    const DigitalSimulatorState& d = DigitalSimulator();
    w.Words(d.current, z.digitalNodes);
    w.Words(d.previous, z.digitalNodes);
    w.Words(d.scheduled, z.digitalNodes);
    w.Words({}, z.digitalSecond);
    w.Words({}, z.digitalSecond);
    w.Double(s.step);
    for (double v : s.stepHistory) w.Double(v);
    w.Double(s.lastAcceptedTime);

    // Pending events, their times counted from the end of the run.
    const double resolution = DigitalTimeUnit();
    const double final = FinalTime();
    w.U32(static_cast<std::uint32_t>(events.size()));
    for (const TimeBreakpointRecord* e : events) {
        const double relative = resolution > 0.0 ? std::ceil((e->time * resolution - final) / resolution) : 0.0;
        w.I32(static_cast<std::int32_t>(std::clamp(relative, -2147483648.0, 2147483647.0)));
        w.I32(e->word1);
        w.I32(e->word2);
        w.I32(e->word3);
        w.Byte(e->byteA);
        w.Byte(e->byteB);
    }
    w.Double(resolution);
    w.Double(final);
    w.Byte(0);
    return image;
}

void RepairStepHistory()
{
    AnalogSolverState& s = AnalogSolver();
    double m = 0.0;
    for (std::size_t i = 1; i < s.stepHistory.size(); ++i) m = std::max(m, s.stepHistory[i]);
    if (m == 0.0) m = TransientRun().maxStep;
    for (std::size_t i = 1; i < s.stepHistory.size(); ++i)
        if (s.stepHistory[i] == 0.0) s.stepHistory[i] = m;
}

int WriteStateVariablesFile(const std::string& path)
{
    std::vector<std::uint8_t> image;
    try {
        image = BuildStateImage();
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    if (image.empty()) return kMsgInsufficientMemory;
    std::vector<std::uint8_t> header;
    ImageWriter h(header);
    h.U32(kStateFileVersion);
    h.U32(static_cast<std::uint32_t>(image.size()));
    errno = 0;
    std::FILE* f = std::fopen(win::DiskFileName(path).c_str(), "wb");
    if (!f) return FileError();
    const bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
                    std::fwrite(image.data(), 1, image.size(), f) == image.size();
    const int closed = std::fclose(f);
    RepairStepHistory();
    if (!ok || closed != 0) return FileError();
    return 0;
}

int ReadStateVariablesFile(const std::string& path, WindowRecord* reportTo)
{
    errno = 0;
    std::FILE* f = std::fopen(win::DiskFileName(path).c_str(), "rb");
    if (!f) return FileError();
    std::uint8_t head[12] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    std::fseek(f, 0, SEEK_END);
    const long fileSize = std::ftell(f);
    std::vector<std::uint8_t> headVector(head, head + got);
    ImageReader hr(headVector);
    const std::uint32_t version = hr.U32();
    const std::uint32_t length = hr.U32();
    const std::uint32_t events = hr.U32();
    // The event count sizes nothing before the whole length is known to match this circuit.
    const std::uint64_t expected =
        got == sizeof head && events <= kMaxStateFileEvents ? ExpectedStateImageLength(events) : 0;
    if (version != kStateFileVersion || expected == 0 || length != expected) {
        std::fclose(f);
        ReportMessage("WE", reportTo, kMsgObsoleteStateFile);
        return kMsgAlreadyReported;
    }
    if (fileSize < 0 || static_cast<std::uint64_t>(fileSize) < 8 + expected) {
        std::fclose(f);
        return 16000 + EIO;
    }
    std::vector<std::uint8_t> image;
    try {
        image.resize(static_cast<std::size_t>(expected));
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        return kMsgInsufficientMemory;
    }
    errno = 0;
    std::fseek(f, 8, SEEK_SET);
    const bool complete = std::fread(image.data(), 1, image.size(), f) == image.size();
    std::fclose(f);
    if (!complete) return FileError();

    const StateSizes z = PresentSizes();
    ImageReader r(image);
    AnalogSolverState& s = AnalogSolver();
    r.U32();
    r.Doubles(Analysis().solution.real, z.vector);
    r.Doubles(s.savedSolution, z.vector);
    r.Doubles(s.olderSolution, z.vector);
    for (CoreState& c : AnalogSolver().devices.cores) {
        if (!c.isCore) continue;
        c.m = c.mPrevious = r.Double();
        c.mirr = c.mirrOld = c.mirrIter = r.Double();
        c.hcore = c.hprev = r.Double();
        c.happ = c.happOld = r.Double();
        c.saved = c.savedPrevious = r.Double();
    }
    r.Doubles(s.chargeStates, z.histories);
    r.Doubles(s.currentStates, z.histories);
    for (IdealLineDevice& line : ListRecords<IdealLineDevice>(DeviceList(kIdealLineDeviceList))) {
        for (double& v : line.wave1) v = r.Double();
        for (double& v : line.wave2) v = r.Double();
        line.delayed1 = r.Double();
        line.delayed2 = r.Double();
    }
    // The integer fields name the device's rows in the circuit that wrote them; only the held
    // values are state.
    for (SampleHoldDevice& h : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) {
        r.Skip(24);
        h.held = r.Double();
        h.value = r.Double();
    }
    DigitalSimulatorState& d = DigitalSimulator();
    r.Words(d.current, z.digitalNodes);
    r.Words(d.previous, z.digitalNodes);
    r.Words(d.scheduled, z.digitalNodes);
    r.Skip(2 * 2 * z.digitalSecond);
    s.step = r.Double();
    for (double& v : s.stepHistory) v = r.Double();
    s.lastAcceptedTime = r.Double();

    const std::uint32_t count = r.U32();
    int result = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int32_t relative = r.I32();
        const std::int32_t w1 = r.I32(), w2 = r.I32(), w3 = r.I32();
        const std::uint8_t a = r.Byte(), b = r.Byte();
        if (result != 0 || Analysis().analysisKind != kAnalysisTransient) continue;
        // The event falls as far after the new run's start as it lay after the old run's end.
        const std::uint32_t time = relative > 0 ? static_cast<std::uint32_t>(relative) : 0u;
        result = AddTimeBreakpoint(time, a, b, 1, w1, w2, w3);
    }
    RepairStepHistory();
    return result;
}

int ReadWriteStateVariablesFile(int write)
{
    WindowRecord* circuit = CircuitWindow();
    const std::string path = StateVariablesFileName(circuit);
    if (path.empty()) return 15038;
    return write ? WriteStateVariablesFile(path) : ReadStateVariablesFile(path, circuit);
}

}  // namespace kq5
