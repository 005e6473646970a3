#include "analog/run_data_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/batch_run.h"
#include "analog/integration.h"
#include "netlist/numeric_helpers.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "core/error_context.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
#include "netlist/circuit_build.h"

namespace kq5 {

namespace {

enum class WalkMode { kCount, kWrite, kRead };

// One cursor over a record: counts, fills or unpacks it, value by value.
struct RecordWalk {
    WalkMode mode;
    std::vector<double>* record = nullptr;
    std::size_t cursor = 0;

    void Value(double& v)
    {
        const bool inside = record && cursor < record->size();
        if (mode == WalkMode::kWrite && inside) (*record)[cursor] = v;
        if (mode == WalkMode::kRead) v = inside ? (*record)[cursor] : 0.0;
        ++cursor;
    }
    void Value(const double& v)
    {
        double copy = v;
        Value(copy);
    }
};

template <class T, class F>
void EachDevice(int list, F&& f)
{
    for (ListNode* node = DeviceList(list).head; node; node = node->next) f(static_cast<T&>(*node));
}

int AnalogNodeCount() { return CircuitBuild().lastBuildNodeCounts[0]; }
int DigitalNodeCount() { return CircuitBuild().lastBuildNodeCounts[1]; }
bool MixedMode() { return AnalogNodeCount() > 0 && DigitalNodeCount() > 0; }

void WalkDigitalStates(RecordWalk& w)
{
    const int count = DigitalNodeCount();
    if (count <= 0) return;
    const std::size_t bytes = 2 * static_cast<std::size_t>(count);
    std::vector<double> packed((bytes + 7) / 8, 0.0);
    std::vector<std::uint16_t>& states = DigitalSimulator().current;
    if (w.mode == WalkMode::kWrite) {
        std::vector<unsigned char> raw(packed.size() * 8, 0);
        for (int n = 1; n <= count; ++n) {
            const std::uint16_t s = static_cast<std::size_t>(n) < states.size() ? states[static_cast<std::size_t>(n)] : 0;
            raw[2 * static_cast<std::size_t>(n - 1)] = static_cast<unsigned char>(s & 0xFF);
            raw[2 * static_cast<std::size_t>(n - 1) + 1] = static_cast<unsigned char>(s >> 8);
        }
        std::memcpy(packed.data(), raw.data(), raw.size());
    }
    for (double& d : packed) w.Value(d);
    if (w.mode == WalkMode::kRead) {
        std::vector<unsigned char> raw(packed.size() * 8, 0);
        std::memcpy(raw.data(), packed.data(), raw.size());
        if (states.size() <= static_cast<std::size_t>(count)) states.resize(static_cast<std::size_t>(count) + 1, 0);
        for (int n = 1; n <= count; ++n)
            states[static_cast<std::size_t>(n)] = static_cast<std::uint16_t>(raw[2 * static_cast<std::size_t>(n - 1)] |
                                                                               raw[2 * static_cast<std::size_t>(n - 1) + 1] << 8);
    }
}

// The values the device records keep after a point: terminal currents, and with everything
// kept the capacitances and the currents of the reactive elements.
void WalkDeviceValues(RecordWalk& w, int dataType)
{
    // The state tables take the size the circuit gives them, whether or not the run has sized
    // them yet, so that every record of a file has the size its reader counts.
    AnalogSolverState& solver = AnalogSolver();
    const std::size_t slots = 4 * static_cast<std::size_t>(std::max(IntegratedStateCount(), 0));
    auto walkTable = [&](std::vector<double>& table) {
        for (std::size_t i = 0; i < slots; ++i) {
            double spare = 0.0;
            w.Value(i < table.size() ? table[i] : spare);
        }
    };
    walkTable(solver.chargeStates);
    if (dataType == kRunDataEverything) walkTable(solver.currentStates);
    const bool everything = dataType == kRunDataEverything;
    EachDevice<MosfetDevice>(kMosfetDeviceList, [&](MosfetDevice& m) {
        FetQuantities& q = m.quantities;
        for (double* v : {&q.id, &q.ig, &q.is, &q.ib}) w.Value(*v);
        if (everything)
            for (double* v : {&q.cgs, &q.cgd, &q.cgb, &q.cbd, &q.cbs}) w.Value(*v);
    });
    EachDevice<GaasfetDevice>(kGaasfetDeviceList, [&](GaasfetDevice& g) {
        FetQuantities& q = g.quantities;
        for (double* v : {&q.id, &q.ig, &q.is}) w.Value(*v);
        if (everything)
            for (double* v : {&q.cgs, &q.cgd}) w.Value(*v);
    });
    EachDevice<JfetDevice>(kJfetDeviceList, [&](JfetDevice& j) {
        FetQuantities& q = j.quantities;
        for (double* v : {&q.id, &q.ig, &q.is}) w.Value(*v);
        if (everything)
            for (double* v : {&q.cgs, &q.cgd}) w.Value(*v);
    });
    EachDevice<BjtDevice>(kBjtDeviceList, [&](BjtDevice& b) {
        for (double* v : {&b.ib, &b.ic, &b.ie, &b.is}) w.Value(*v);
        if (everything)
            for (double* v : {&b.cbe, &b.cbc, &b.ccs}) w.Value(*v);
    });
    EachDevice<DiodeDevice>(kDiodeDeviceList, [&](DiodeDevice& d) {
        w.Value(d.current);
        if (everything) w.Value(d.capacitance);
    });
    // The currents of capacitors, inductors and independent sources are currents like any other:
    // a run that keeps only voltages and currents keeps them too, or a probe of I(C1) would
    // replay a flat line.
    EachDevice<CapacitorDevice>(kCapacitorDeviceList, [&](CapacitorDevice& c) { w.Value(c.current); });
    if (Analysis().analysisKind != kAnalysisAc)
        EachDevice<InductorDevice>(kInductorDeviceList, [&](InductorDevice& l) { w.Value(l.current); });
    EachDevice<LinearSourceDevice>(kLinearSourceDeviceList, [&](LinearSourceDevice& s) { w.Value(s.current); });
    EachDevice<FormulaSourceDevice>(kFormulaSourceDeviceList, [&](FormulaSourceDevice& s) { w.Value(s.current); });
    EachDevice<TableSourceDevice>(kTableSourceDeviceList, [&](TableSourceDevice& s) { w.Value(s.current); });
    EachDevice<LaplaceSourceDevice>(kLaplaceSourceDeviceList, [&](LaplaceSourceDevice& s) { w.Value(s.current); });
    EachDevice<FreqTableSourceDevice>(kFreqTableSourceDeviceList, [&](FreqTableSourceDevice& s) { w.Value(s.current); });
    // The currents of the independent sources are read by their curves (I(V1)) and are no
    // node voltage: without them a replay would show 0.
    EachDevice<IndependentSourceDevice>(kIndependentSourceDeviceList, [&](IndependentSourceDevice& v) { w.Value(v.current); });
    EachDevice<PulseSourceDevice>(kPulseSourceDeviceList, [&](PulseSourceDevice& v) { w.Value(v.current); });
    EachDevice<SineSourceDevice>(kSineSourceDeviceList, [&](SineSourceDevice& v) { w.Value(v.current); });
    EachDevice<UserSourceDevice>(kUserSourceDeviceList, [&](UserSourceDevice& v) { w.Value(v.current); });
}

// The charges of a device are entries of the charge table that every record keeps, one every
// kStateSlots entries from the device's first slot: a replayed point gives them back from there,
// as the load that solved the point reported them. restore(device, charge) takes the fields it
// wants with charge(state, field), which leaves the field alone (and answers false) when the
// state lies outside the table.
template <class T, class F>
void RestoreCharges(int list, F&& restore)
{
    const std::vector<double>& table = AnalogSolver().chargeStates;
    std::size_t position = 0;
    EachDevice<T>(list, [&](T& device) {
        const std::int32_t slot = DeviceStateSlot(list, position++);
        restore(device, [&](int state, double& field) {
            const std::size_t at = static_cast<std::size_t>(slot) + static_cast<std::size_t>(state * kStateSlots);
            if (slot < 0 || at >= table.size()) return false;
            field = table[at];
            return true;
        });
    });
}

// Gives each listed field the next state of the device's block, from the first.
template <class Charge>
void RestoreInOrder(Charge& charge, std::initializer_list<double*> fields)
{
    int state = 0;
    for (double* field : fields) charge(state++, *field);
}

void RestoreDeviceCharges()
{
    if (!AnalogSolver().devices.sized) return;
    RestoreCharges<MosfetDevice>(kMosfetDeviceList, [](MosfetDevice& m, auto&& charge) {
        FetQuantities& q = m.quantities;
        const int level = m.side ? m.side->level : m.level123 ? 1 : 0;
        if (level < 4) {
            RestoreInOrder(charge, {&q.qgs, &q.qgd, &q.qgb, &q.qbd, &q.qbs});
            return;
        }
        // The BSIM levels keep the gate, bulk and drain charges, the last two with the junction
        // charges merged in, and the junction charges apart: QGD and QGB follow from them.
        const int junctions = BsimJunctionChargeState(level == 8 && m.bsim3 && m.bsim3->nqsmod == 1);
        double bulk = 0.0, drain = 0.0;
        charge(0, q.qgs);
        charge(junctions, q.qbd);
        charge(junctions + 1, q.qbs);
        if (charge(1, bulk) && charge(2, drain)) SetBsimGateCharges(q, bulk, drain, q.qbd, q.qbs);
    });
    RestoreCharges<BjtDevice>(kBjtDeviceList,
                              [](BjtDevice& b, auto&& charge) { RestoreInOrder(charge, {&b.qbe, &b.qbc, &b.qcs}); });
    RestoreCharges<JfetDevice>(kJfetDeviceList, [](JfetDevice& j, auto&& charge) {
        RestoreInOrder(charge, {&j.quantities.qgs, &j.quantities.qgd});
    });
    RestoreCharges<GaasfetDevice>(kGaasfetDeviceList, [](GaasfetDevice& g, auto&& charge) {
        RestoreInOrder(charge, {&g.quantities.qgs, &g.quantities.qgd, &g.quantities.qds});
    });
    RestoreCharges<DiodeDevice>(kDiodeDeviceList, [](DiodeDevice& d, auto&& charge) { charge(0, d.charge); });
    RestoreCharges<CapacitorDevice>(kCapacitorDeviceList, [](CapacitorDevice& c, auto&& charge) { charge(0, c.charge); });
}

void WalkRecord(RecordWalk& w, int dataType, double& x, std::span<double> solution)
{
    w.Value(x);
    double mixed = MixedMode() ? 1.0 : 0.0;
    w.Value(mixed);
    const int last = dataType == kRunDataSolutionOnly ? AnalogNodeCount() : EquationCount();
    // An AC solution holds each unknown as a (real, imaginary) pair.
    const std::size_t width = Analysis().analysisKind == kAnalysisAc ? 2 : 1;
    for (std::size_t k = width; k < (static_cast<std::size_t>(last) + 1) * width; ++k) {
        double spare = 0.0;
        w.Value(k < solution.size() ? solution[k] : spare);
    }
    WalkDigitalStates(w);
    if (dataType != kRunDataSolutionOnly) WalkDeviceValues(w, dataType);
}

int WriteWord(int unit, unsigned value)
{
    const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
    return WriteUnitBytes(unit, std::string_view(bytes, 2));
}

bool ReadWord(std::FILE* f, unsigned& value)
{
    unsigned char bytes[2];
    if (std::fread(bytes, 1, 2, f) != 2) return false;
    value = bytes[0] | static_cast<unsigned>(bytes[1]) << 8;
    return true;
}

void ToFileOrder(std::vector<double>& values)
{
    if constexpr (std::endian::native == std::endian::big)
        for (double& v : values) v = std::bit_cast<double>(__builtin_bswap64(std::bit_cast<std::uint64_t>(v)));
}

int WriteRecord(double x, std::span<const double> solution)
{
    RunDataFileState& s = RunDataFile();
    std::vector<double> copy(solution.begin(), solution.end());
    RecordWalk w{WalkMode::kWrite, &s.record};
    WalkRecord(w, s.dataType, x, copy);
    ToFileOrder(s.record);
    const int status = WriteUnitBytes(s.saveUnit, std::string_view(reinterpret_cast<const char*>(s.record.data()),
                                                                   s.record.size() * sizeof(double)));
    ToFileOrder(s.record);
    if (status != 0) {
        // The file the last complete Save left stays; this one is given up.
        AbandonUnit(s.saveUnit);
        s.saveUnit = -1;
        s.active = false;
        ReportFileWriteFailure(s.name, status);
        return kMsgAlreadyReported;
    }
    return 0;
}

// A file whose length is no whole number of records was cut short: replaying it would show a
// run that ends early as if it were complete.
int CheckRecordCount(RunDataFileState& s)
{
    const long length = FileLengthOfStream(s.file.get());
    const long long recordBytes = static_cast<long long>(s.record.size()) * 8;
    const long long body = static_cast<long long>(length) - s.headerBytes;
    if (length >= 0 && recordBytes > 0 && body >= 0 && body % recordBytes == 0) return 0;
    ReportMessage("E", kMsgCutDataFile, s.name.c_str(), static_cast<int>(std::max(body, 0LL) / std::max(recordBytes, 1LL)));
    return kMsgAlreadyReported;
}

// Every record of a file that is to be replayed must read as one the program wrote: its flag of
// mixed-mode data 0 or 1, its values finite, and a transient's time or an AC frequency never below
// zero. Damaged bytes would otherwise replay as points that no run computed.
int CheckRecordContents(RunDataFileState& s)
{
    const std::size_t width = s.record.size();
    if (width < 2 || fseeko(s.file.get(), s.headerBytes, SEEK_SET) != 0) return 0;
    const int kind = Analysis().analysisKind;
    std::vector<double> record(width);
    for (int point = 1; std::fread(record.data(), sizeof(double), width, s.file.get()) == width; ++point) {
        ToFileOrder(record);
        bool sound = (record[1] == 0.0 || record[1] == 1.0) && std::all_of(record.begin(), record.end(), [](double v) {
                         return std::isfinite(v);
                     });
        if ((kind == kAnalysisTransient || kind == kAnalysisAc) && record[0] < 0.0) sound = false;
        if (!sound) {
            ReportMessage("E", kMsgDamagedDataFile, s.name.c_str(), point);
            return kMsgAlreadyReported;
        }
    }
    return 0;
}

// A saved file is older than its circuit, or one of the two cannot be examined.
bool DataFileIsStale(const std::string& name)
{
    const WindowRecord* circuit = RunControl().circuitWindow;
    const CircuitDocument* document = circuit ? circuit->document.get() : nullptr;
    const int kind = Analysis().analysisKind;
    if (document && kind >= 0 && kind < kAnalysisKindCount && document->runStale[static_cast<std::size_t>(kind)]) return true;
    const std::string circuitFile = GetRecordTitle(circuit);
    if (CheckFileAccess(circuitFile) != 0) return false;
    const std::time_t circuitTime = FileTimeOf(circuitFile);
    const std::time_t dataTime = FileTimeOf(name);
    return circuitTime == 0 || dataTime == 0 || circuitTime > dataTime;
}

}  // namespace

RunDataFileState& RunDataFile()
{
    static RunDataFileState state;
    return state;
}

void ResetRunDataFileForTests() { RunDataFile() = RunDataFileState{}; }

int RunDataRecordSize(int dataType)
{
    RecordWalk w{WalkMode::kCount};
    double x = 0.0;
    WalkRecord(w, dataType, x, {});
    return static_cast<int>(w.cursor);
}

void ResetRunDataMode()
{
    const int flags = BatchRun().flags;
    if (flags == 0) return;
    NumericOutput().pending = 0;
    RunControlState& rc = RunControl();
    rc.pauseDisplay = 0;
    if (flags & kBatchSave) rc.runDataMode = kRunDataSave;
    if (flags & kBatchRetrieve) rc.runDataMode = kRunDataRetrieve;
    if (flags & kBatchNormal) rc.runDataMode = kRunDataNormal;
}

int OpenSimulationDataFile(int& recordCounter, int extraCount)
{
    RunDataFileState& s = RunDataFile();
    RunControlState& rc = RunControl();
    CloseSimulationDataFile();
    if (rc.runDataMode != kRunDataSave && rc.runDataMode != kRunDataRetrieve) return 0;
    s.name = MakeAnalysisFileName(rc.circuitWindow, "SA");
    // The numbering of the circuit build, known before any solver is prepared: a file saved by
    // one analysis start fits the next one of the same circuit.
    const unsigned equations = static_cast<unsigned>(std::max(EquationCount(), 0));
    const unsigned extra = static_cast<unsigned>(std::max(extraCount, 0));
    if (rc.probeState == kProbeFullRun && rc.runDataMode == kRunDataRetrieve && DataFileIsStale(s.name))
        return kMsgAlreadyReported;
    // Only probe mode keeps less than everything: a Save of the Run Options is replayed by
    // transient and DC runs, which need the whole of it.
    int dataType = rc.probeState == kProbeNone ? kRunDataEverything : s.dataType;
    if (rc.runDataMode == kRunDataSave) {
        s.saveUnit = FindFreeUnit();
        if (s.saveUnit < 0) return kMsgInsufficientMemory;
        if (int status = CreateReplacingUnit(s.name, s.saveUnit)) {
            s.saveUnit = -1;
            return status;
        }
        const int kind = Analysis().analysisKind;
        s.savedKind = -1;
        if (WindowRecord* circuit = rc.circuitWindow; circuit && circuit->document && kind >= 0 && kind < kAnalysisKindCount) {
            auto& stale = circuit->document->runStale[static_cast<std::size_t>(kind)];
            s.savedKind = kind;
            s.staleBeforeSave = stale;
            stale = 0;
        }
        const bool wide = equations > 0xFFFF || extra > 0xFFFF;
        const int unit = s.saveUnit;
        int result = WriteWord(unit, wide ? kRunDataWideVersion : kRunDataVersion);
        if (!result) result = WriteWord(unit, static_cast<unsigned>(dataType));
        if (!result) result = WriteWord(unit, equations & 0xFFFF);
        if (!result) result = WriteWord(unit, extra & 0xFFFF);
        if (wide && !result) result = WriteWord(unit, equations >> 16);
        if (wide && !result) result = WriteWord(unit, extra >> 16);
        if (result) {
            AbandonUnit(unit);
            s.saveUnit = -1;
            return result;
        }
        s.headerBytes = wide ? 12 : 8;
    } else {
        s.file = OpenFileRead(s.name);
        if (!s.file) {
            // Retrieve before any Save: the message names the run data file, not the circuit.
            // Probe mode only asks whether a kept run is there and stays silent.
            if (errno == ENOENT && rc.probeState == kProbeNone) {
                ReportMessage("E", kMsgFileNotFound, s.name.c_str());
                AnalogSolver().stopFlag = 1;
                return kMsgAlreadyReported;
            }
            return ErrnoToMessageId(errno);
        }
        std::FILE* f = s.file.get();
        unsigned version = 0, type = 0, countLow = 0, extraLow = 0, countHigh = 0, extraHigh = 0;
        bool ok = ReadWord(f, version) && ReadWord(f, type);
        const int kind = Analysis().analysisKind;
        if (ok && type == kRunDataVoltagesCurrents && rc.probeState == kProbeNone && kind != kAnalysisAc) {
            ReportMessage("E", kMsgVIOnlyDataFile);
            s.file.reset();
            return kMsgAlreadyReported;
        }
        ok = ok && ReadWord(f, countLow) && ReadWord(f, extraLow);
        if (ok && version == kRunDataWideVersion) ok = ReadWord(f, countHigh) && ReadWord(f, extraHigh);
        const unsigned count = countLow | countHigh << 16;
        const unsigned extraRead = extraLow | extraHigh << 16;
        // A file saved before the circuit or its limits last changed holds another circuit's
        // results, even when its counts still fit: replayed, they would pass for this one's.
        if (!ok || (version != kRunDataVersion && version != kRunDataWideVersion) || count != equations || extraRead != extra ||
            type > kRunDataEverything || (rc.probeState == kProbeNone && DataFileIsStale(s.name))) {
            if (rc.probeState == kProbeNone) ReportMessage("E", kMsgObsoleteDataFile);
            AnalogSolver().stopFlag = 1;
            s.file.reset();
            return kMsgAlreadyReported;
        }
        s.headerBytes = version == kRunDataWideVersion ? 12 : 8;
        dataType = static_cast<int>(type);
        s.readDataType = dataType;
    }
    recordCounter = 0;
    try {
        s.record.assign(static_cast<std::size_t>(RunDataRecordSize(dataType)), 0.0);
    } catch (const std::bad_alloc&) {
        AbandonUnit(s.saveUnit);
        s.saveUnit = -1;
        s.file.reset();
        return kMsgInsufficientMemory;
    }
    if (rc.runDataMode == kRunDataRetrieve && (CheckRecordCount(s) != 0 || CheckRecordContents(s) != 0)) {
        AnalogSolver().stopFlag = 1;
        s.file.reset();
        return kMsgAlreadyReported;
    }
    s.active = true;
    s.pending = false;
    return 0;
}

int SaveRunDataPoint(double x, std::span<const double> solution)
{
    RunDataFileState& s = RunDataFile();
    if (!s.active || s.saveUnit < 0 || RunControl().runDataMode != kRunDataSave) return 0;
    const int kind = Analysis().analysisKind;
    const WindowRecord* circuit = RunControl().circuitWindow;
    int every = 1;
    if (circuit && circuit->document && kind >= 0 && kind < kAnalysisKindCount)
        every = std::max(circuit->document->reduceSave[static_cast<std::size_t>(kind)], 1);
    if (!MixedMode() && AnalogSolver().acceptedPointCount % every != 0) {
        s.pending = true;
        s.pendingX = x;
        s.pendingSolution.assign(solution.begin(), solution.end());
        return 0;
    }
    s.pending = false;
    return WriteRecord(x, solution);
}

int FlushPendingRunDataPoint()
{
    RunDataFileState& s = RunDataFile();
    if (!s.pending || !s.active || s.saveUnit < 0) return 0;
    s.pending = false;
    return WriteRecord(s.pendingX, s.pendingSolution);
}

int ReadRunDataPoint(int& recordCounter, double& x, double& step, std::span<double> solution)
{
    RunDataFileState& s = RunDataFile();
    if (!s.active || !s.file) {
        AnalogSolver().stopFlag = 1;
        return 0;
    }
    const long long offset = s.headerBytes + static_cast<long long>(recordCounter) * static_cast<long long>(s.record.size()) * 8;
    ++recordCounter;
    if (fseeko(s.file.get(), offset, SEEK_SET) != 0) {
        AnalogSolver().stopFlag = 1;
        SetPendingErrorText(s.name);
        return ErrnoToMessageId(errno);
    }
    const std::size_t got = std::fread(s.record.data(), sizeof(double), s.record.size(), s.file.get());
    if (got != s.record.size()) {
        if (!std::feof(s.file.get()) || got != 0) SetPendingErrorText(s.name);
        AnalogSolver().stopFlag = 1;
        return 0;
    }
    ToFileOrder(s.record);
    double recordX = 0.0;
    RecordWalk w{WalkMode::kRead, &s.record};
    WalkRecord(w, s.readDataType, recordX, solution);
    if (s.readDataType != kRunDataSolutionOnly) RestoreDeviceCharges();
    step = recordX - x;
    x = recordX;
    return 0;
}

void CloseSimulationDataFile(bool complete)
{
    RunDataFileState& s = RunDataFile();
    if (s.saveUnit >= 0) {
        const int unit = s.saveUnit;
        s.saveUnit = -1;
        if (complete) {
            ReportFileWriteFailure(s.name, CloseUnit(unit));
        } else {
            AbandonUnit(unit);
            WindowRecord* circuit = RunControl().circuitWindow;
            if (circuit && IsLiveWindowRecord(circuit) && circuit->document && s.savedKind >= 0)
                circuit->document->runStale[static_cast<std::size_t>(s.savedKind)] = s.staleBeforeSave;
        }
    }
    if (s.active || s.file) {
        s.file.reset();
        s.record.clear();
    }
    s.active = false;
    s.pending = false;
}

}  // namespace kq5
