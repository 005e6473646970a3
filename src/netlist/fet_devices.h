#pragma once
// Field-effect transistors: MOSFETs (device list 19), JFETs (list 15) and GaAsFETs (list 23).
#include <array>
#include <complex>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/bsim12_values.h"
#include "netlist/bsim3_values.h"
#include "netlist/jfet_values.h"
#include "netlist/mosfet_values.h"

namespace kq5 {

struct EvaluatedModel;
struct SchematicItem;

// Values of a FET that expressions read during a run.
struct FetQuantities {
    double id = 0.0, ig = 0.0, is = 0.0, ib = 0.0;
    double qgs = 0.0, qgd = 0.0, qgb = 0.0, qbd = 0.0, qbs = 0.0, qds = 0.0;
    double cgs = 0.0, cgd = 0.0, cgb = 0.0, cbd = 0.0, cbs = 0.0, cds = 0.0;
};

// QGD and QGB of a BSIM device: the gate charge mirrored at the drain and at the bulk, that is
// the block's drain and bulk charges (which hold the junction charges too) without their
// junction charges, negated.
inline void SetBsimGateCharges(FetQuantities& q, double bulkCharge, double drainCharge, double qbd, double qbs)
{
    q.qgd = -(drainCharge + qbd);
    q.qgb = -(bulkCharge - qbd - qbs);
}

// A BSIM device keeps its two junction charges apart from the bulk and drain charges as well,
// for a replay of the run: in states 3 and 4 of its block (QBD, then QBS), or in states 5 and 6
// when the charge node of a LEVEL 8 device takes states 3 and 4.
inline int BsimJunctionChargeState(bool chargeNode) { return chargeNode ? 5 : 3; }

// The model family and polarity of a MOSFET, fixed by the circuit build.
struct MosfetSideBlock {
    int level = 0;           // the model family (1 for LEVEL 1 to 3, then 4, 5, 8)
    double polarity = 1.0;   // +1 NMOS, -1 PMOS, whatever the model's type word says
};

// What a LEVEL 1 to 3 load added to the right-hand side and to the 16 matrix entries that not
// only the series conductances reach, and the load pass (`epoch`) it was made in: a device
// whose voltages stay within the bypass tolerances adds the same again while nothing else
// that these depend on has changed.
struct MosfetReplay {
    std::uint64_t epoch = 0;
    double rhs[4] = {};  // gate, bulk, drain, source
    double stamps[16] = {};
};

// What a LEVEL 1 to 3 device keeps beside the values every level shares: only the records of
// those devices hold it (MosfetLevel123Device), so a LEVEL 4, 5 or 8 device does not carry it.
struct MosfetLevel123Block {
    MosfetReplay replay;
    MosfetTemperatureBlock temperature;
};

struct MosfetDevice : ListNode {
    // What every load pass reads of every device comes first, on one cache line.
    EvaluatedModel* model = nullptr;
    std::int32_t internalGate = 0;
    std::int32_t internalDrain = 0;
    std::int32_t internalSource = 0;
    std::int32_t internalBulk = 0;
    std::int32_t off = 0;
    bool level123 = false;  // a LEVEL 1 to 3 device, as the set-up found it
    // Internal source and bulk both on ground (set-up of LEVEL 1 to 3): 12 of the 16 stamps of
    // the channel, junctions and gate capacitances fall into the ground row or column.
    bool groundedSourceBulk = false;
    double mode = 1.0;
    MosfetLoadValues values;
    std::int32_t gate = 0;
    std::int32_t drain = 0;
    std::int32_t source = 0;
    std::int32_t extraInternal = 0;  // LEVEL 8: joined to the internal source
    std::int32_t ordinal = 0;
    std::int32_t level = 0;  // LEVEL of a LEVEL 1 to 3 model
    double l = 0.0;
    std::int32_t lGiven = 0;
    double w = 0.0;
    std::int32_t wGiven = 0;
    double ad = 0.0, as = 0.0, pd = 0.0, ps = 0.0;
    double nrd = -1.0, nrs = -1.0, nrg = 0.0;
    double m = 1.0;
    double wNominal = 0.0, adNominal = 0.0, asNominal = 0.0, pdNominal = 0.0, psNominal = 0.0;
    std::int32_t initialConditionGiven = 0;
    double ic1 = 0.0, ic2 = 0.0, ic3 = 0.0;
    std::int32_t bulk = 0;
    double nrb = 0.0;
    SchematicItem* component = nullptr;
    std::unique_ptr<MosfetSideBlock> side;
    FetQuantities quantities;
    std::array<std::complex<double>, 4> acCurrents{};  // gate, drain, source, bulk of an AC point
    std::unique_ptr<Bsim3Size> bsim3;       // LEVEL 8, made by the run's preparation
    std::unique_ptr<Bsim12Size> bsim12;     // LEVEL 4 and 5, made by the run's preparation

    void FreeOwnedData() override
    {
        side.reset();
        bsim3.reset();
        bsim12.reset();
    }
};

// The record the circuit build makes for a device of a LEVEL 1 to 3 model: the block lies at a
// fixed place after the common part, where the loads find it without a pointer.
struct MosfetLevel123Device : MosfetDevice {
    MosfetLevel123Block low;
};

// The block of a LEVEL 1 to 3 device (`level123`, or IsMosLevel123 before the set-up); any
// other device has none.
inline MosfetLevel123Block& Level123Block(MosfetDevice& d) { return static_cast<MosfetLevel123Device&>(d).low; }
inline const MosfetLevel123Block& Level123Block(const MosfetDevice& d)
{
    return static_cast<const MosfetLevel123Device&>(d).low;
}

struct JfetDevice : ListNode {
    EvaluatedModel* model = nullptr;
    std::int32_t gate = 0;
    std::int32_t drain = 0;
    std::int32_t source = 0;
    std::int32_t internalDrain = 0;
    std::int32_t internalSource = 0;
    double polarity = 1.0;  // +1 NJFET, -1 PJFET
    std::int32_t ordinal = 0;
    std::int32_t off = 0;
    double area = 1.0;
    std::int32_t initialConditionGiven = 0;
    double ic1 = 0.0, ic2 = 0.0;
    FetQuantities quantities;
    JfetValues values;
};

struct GaasfetDevice : ListNode {
    EvaluatedModel* model = nullptr;
    std::int32_t gate = 0;
    std::int32_t drain = 0;
    std::int32_t source = 0;
    std::int32_t internalGate = 0;
    std::int32_t internalDrain = 0;
    std::int32_t internalSource = 0;
    double polarity = 1.0;
    std::int32_t ordinal = 0;
    std::int32_t off = 0;
    double area = 1.0;
    std::int32_t initialConditionGiven = 0;
    double ic1 = 0.0, ic2 = 0.0;  // IC=vds,vgs
    FetQuantities quantities;
    GaasfetValues values;
};

}  // namespace kq5
