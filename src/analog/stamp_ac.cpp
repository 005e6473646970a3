#include "analog/stamp_ac.h"

#include <algorithm>
#include <new>
#include <utility>

#include "analog/unloadable_devices.h"
#include "core/device_record_fields.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "netlist/poly_source.h"

namespace kq5 {

namespace {

constexpr int kMsgStampSequenceChanged = 13579;

struct AcStamperTable {
    std::array<AcStamperFn, kAcStamperCount> stampers{};
};

AcStamperTable& Stampers()
{
    static AcStamperTable table;
    return table;
}

// The device list whose records a stamper kind handles, when it holds records (-1 otherwise);
// a kind with records and no stamper cannot be solved.
int ListWithRecords(AcStamperSlot slot)
{
    int list = -1;
    switch (slot) {
    case kAcCapacitors: list = kCapacitorDeviceList; break;
    case kAcInductors: list = kInductorDeviceList; break;
    case kAcCouplings: list = kCouplingDeviceList; break;
    case kAcResistors: list = kResistorDeviceList; break;
    case kAcLinearDependentSources: list = kLinearSourceDeviceList; break;
    case kAcIndependentSources: list = kIndependentSourceDeviceList; break;
    case kAcPolySources: list = kPolySourceList; break;
    case kAcOpamps: list = kOpampDeviceList; break;
    case kAcIdealLines: list = kIdealLineDeviceList; break;
    case kAcDiodes: list = kDiodeDeviceList; break;
    case kAcBjts: list = kBjtDeviceList; break;
    case kAcJfets: list = kJfetDeviceList; break;
    case kAcGaasfets: list = kGaasfetDeviceList; break;
    case kAcMosfets: list = kMosfetDeviceList; break;
    case kAcLossyLines: list = kLossyLineDeviceList; break;
    case kAcLaplaceSources: list = kLaplaceSourceDeviceList; break;
    case kAcFreqTableSources: list = kFreqTableSourceDeviceList; break;
    case kAcFormulaSources: list = kFormulaSourceDeviceList; break;
    case kAcTableSources: list = kTableSourceDeviceList; break;
    default: return -1;
    }
    return DeviceList(list).count > 0 ? list : -1;
}

int RunStamper(AcStamperSlot slot, int pass)
{
    AcStamperFn fn = Stampers().stampers[static_cast<std::size_t>(slot)];
    if (fn) return fn(pass);
    // The two MOSFET stampers share one list; either being installed is enough.
    if (slot == kAcMosfetsB) return 0;
    const int list = ListWithRecords(slot);
    return list >= 0 ? ReportUnloadableDevices(list) : 0;
}

int StampComplexPart(int row, int column, double value, bool imaginary)
{
    AcStampState& s = AcStamps();
    MatrixElement* element = nullptr;
    if (s.firstPass) {
        if (!s.matrix || !s.stamps) return kMsgInsufficientMemory;
        // The noise system is the transpose of the ordinary one.
        if (s.noiseMode) std::swap(row, column);
        element = MatrixGetElement(s.matrix, row, column);
        if (!element) return kMsgInsufficientMemory;
        try {
            s.stamps->emplace_back(element);
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
        s.cursor = s.stamps->size();
    } else {
        if (!s.stamps || s.cursor >= s.stamps->size()) return kMsgStampSequenceChanged;
        element = (*s.stamps)[s.cursor++].Element();
    }
    (imaginary ? element->imag : element->real) += value;
    return 0;
}

}  // namespace

AcStampState& AcStamps()
{
    static AcStampState state;
    return state;
}

void ResetAcStampStateForTests()
{
    AcStamps() = AcStampState();
    Devices().acCurrents.clear();
    Stampers() = AcStamperTable();
}

void RegisterAcStamper(AcStamperSlot slot, AcStamperFn stamper)
{
    if (slot >= 0 && slot < kAcStamperCount) Stampers().stampers[static_cast<std::size_t>(slot)] = stamper;
}

int StampComplexReal(int row, int column, double value) { return StampComplexPart(row, column, value, false); }
int StampComplexImag(int row, int column, double value) { return StampComplexPart(row, column, value, true); }

int StampAcConductance(int a, int b, double g)
{
    if (int rc = StampComplexReal(a, a, g)) return rc;
    if (int rc = StampComplexReal(b, b, g)) return rc;
    if (int rc = StampComplexReal(a, b, -g)) return rc;
    return StampComplexReal(b, a, -g);
}

int StampAcSusceptance(int a, int b, double susceptance)
{
    if (int rc = StampComplexImag(a, a, susceptance)) return rc;
    if (int rc = StampComplexImag(b, b, susceptance)) return rc;
    if (int rc = StampComplexImag(a, b, -susceptance)) return rc;
    return StampComplexImag(b, a, -susceptance);
}

int StampAcBranchIncidence(int r, int p, int n)
{
    if (int rc = StampComplexReal(r, p, 1.0)) return rc;
    if (int rc = StampComplexReal(r, n, -1.0)) return rc;
    if (int rc = StampComplexReal(p, r, 1.0)) return rc;
    return StampComplexReal(n, r, -1.0);
}

int StampTransconductance(int cp, int cn, int op, int on, double g)
{
    if (int rc = StampComplexReal(op, cp, g)) return rc;
    if (int rc = StampComplexReal(op, cn, -g)) return rc;
    if (int rc = StampComplexReal(on, cp, -g)) return rc;
    return StampComplexReal(on, cn, g);
}

int StampAcTransadmittance(int cp, int cn, int op, int on, double re, double im)
{
    if (int rc = StampTransconductance(cp, cn, op, on, re)) return rc;
    if (int rc = StampComplexImag(op, cp, im)) return rc;
    if (int rc = StampComplexImag(op, cn, -im)) return rc;
    if (int rc = StampComplexImag(on, cp, -im)) return rc;
    return StampComplexImag(on, cn, im);
}

int StampAcControlledSource(bool sense, int outputIncidence, int kind, int firstBranch,
                            int outputBranch, int cp, int cn, int op, int on, double re, double im)
{
    auto both = [](int row, int column, double r, double i) {
        if (int rc = StampComplexReal(row, column, r)) return rc;
        return StampComplexImag(row, column, i);
    };
    switch (kind) {
    case 0:
        return StampAcTransadmittance(cp, cn, op, on, re, im);
    case 1:
        if (sense)
            if (int rc = StampAcBranchIncidence(firstBranch, cp, cn)) return rc;
        if (int rc = both(op, firstBranch, re, im)) return rc;
        return both(on, firstBranch, -re, -im);
    case 2: {
        const int r = sense ? firstBranch : outputBranch;
        if (int rc = both(r, cp, -re, -im)) return rc;
        if (int rc = both(r, cn, re, im)) return rc;
        return outputIncidence == 1 ? StampAcBranchIncidence(r, op, on) : 0;
    }
    case 3:
        if (sense)
            if (int rc = StampAcBranchIncidence(firstBranch, cp, cn)) return rc;
        if (outputIncidence == 1)
            if (int rc = StampAcBranchIncidence(outputBranch, op, on)) return rc;
        return both(outputBranch, firstBranch, -re, -im);
    default:
        return 0;
    }
}

void AddAcRhs(int row, double re, double im)
{
    AcStampState& s = AcStamps();
    const std::size_t i = 2 * static_cast<std::size_t>(row);
    if (row <= 0 || i + 1 >= s.rhs.size()) return;
    s.rhs[i] += re;
    s.rhs[i + 1] += im;
}

void AddNoiseInputExcitation(int row, double value)
{
    AcStampState& s = AcStamps();
    const std::size_t i = 2 * static_cast<std::size_t>(row);
    if (row <= 0 || i + 1 >= s.savedExcitation.size()) return;
    s.savedExcitation[i] += value;
}

int AddAcVoltageExcitation(int r, int p, int n, double re, double im)
{
    AddAcRhs(r, re, im);
    return StampAcBranchIncidence(r, p, n);
}

Complex AcSolution(int unknown)
{
    const AcStampState& s = AcStamps();
    const std::size_t i = 2 * static_cast<std::size_t>(unknown);
    if (unknown <= 0 || i + 1 >= s.solution.size()) return {};
    return {s.solution[i], s.solution[i + 1]};
}

Complex AcScaledVoltageDifference(double g, int a, int b) { return g * (AcSolution(a) - AcSolution(b)); }

Complex AcSusceptanceCurrent(double b, int a, int c)
{
    const Complex d = AcSolution(a) - AcSolution(c);
    return {-b * d.imag(), b * d.real()};
}

Complex AcScaledNodeVoltage(double g, int a) { return g * AcSolution(a); }

int LoadCircuitAc()
{
    AcStampState& s = AcStamps();
    s.cursor = 0;
    std::fill(s.rhs.begin(), s.rhs.end(), 0.0);
    if (s.noiseMode) std::fill(s.savedExcitation.begin(), s.savedExcitation.end(), 0.0);
    if (!s.firstPass && s.matrix) MatrixClear(s.matrix);
    for (int slot = 0; slot < kAcStamperCount; ++slot)
        if (int rc = RunStamper(static_cast<AcStamperSlot>(slot), kAcStampPass)) return rc;
    // A later pass must have walked the whole list the building pass made.
    if (!s.firstPass && s.stamps && s.cursor != s.stamps->size()) return kMsgStampSequenceChanged;
    if (s.noiseMode) {
        std::fill(s.rhs.begin(), s.rhs.end(), 0.0);
        AddAcRhs(s.noiseOutputNodes[0], -1.0, 0.0);
        AddAcRhs(s.noiseOutputNodes[1], 1.0, 0.0);
    }
    return 0;
}

int ComputeAcDeviceCurrents()
{
    if (AcStamps().noiseMode) return 0;
    static constexpr AcStamperSlot kOrder[] = {
        kAcCapacitors,       kAcInductors,       kAcDiodes,          kAcBjts,
        kAcJfets,            kAcGaasfets,        kAcMosfets,
        kAcMosfetsB,         kAcLinearDependentSources, kAcPolySources,
        kAcLaplaceSources,   kAcIndependentSources,     kAcFormulaSources,
        kAcFreqTableSources, kAcTableSources,
    };
    for (AcStamperSlot slot : kOrder) {
        AcStamperFn fn = Stampers().stampers[static_cast<std::size_t>(slot)];
        if (!fn) continue;
        if (int rc = fn(kAcCurrentPass)) return rc;
    }
    return 0;
}

}  // namespace kq5
