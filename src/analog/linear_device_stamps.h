#pragma once
// What the solver keeps beside the records of the simple linear elements during a run: the
// element stretch each device reserved, its rows and state slots, and the working values its
// load leaves for reports and convergence tests. One entry per record, in list order.
#include <cstdint>

#include "netlist/device_stamps.h"

namespace kq5 {

struct ResistorStamps {
    StampRange stamps;
    double tempFactor = 1.0;      // set at the analysis temperature
    double resistance = 0.0;      // the resistance the last load used
    double previousValue = 0.0;   // for the convergence test of a formula value
};

struct CapacitorStamps {
    StampRange stamps;
    std::int32_t stateSlot = 0;   // index of its first slot in the state vectors
    std::int32_t isLinear = 1;    // 0 when the model's voltage coefficients apply
    double tempFactor = 1.0;
    double capacitance = 0.0;     // the capacitance the last load used
    double previousValue = 0.0;
};

// Linear controlled sources: sub-kind 0 VCCS (G), 1 CCCS (F), 2 VCVS (E), 3 CCVS (H).
struct LinearSourceStamps {
    StampRange stamps;
    std::int32_t subKind = 0;
    std::int32_t branch = 0;      // first branch row (F, E: one; H: two)
    double output = 0.0;          // output value kept for reports
};

// Switch states: S and W 1 on, 2 off, 3 in transition; Switch parts 1 closed, 0 open.
struct SwitchStamps {
    StampRange stamps;
    std::int32_t state = 0;
    double resistance = 0.0;
    std::int32_t controlBranch = 0;  // W: branch row of the controlling voltage source
    std::int32_t outputPlus = 0;     // S and W: the nodes whose right-hand side takes the
    std::int32_t outputMinus = 0;    // part of the current moved by the control
};

struct OpampStamps {
    StampRange stamps;
    std::int32_t level = 0;
};

// One reserved conductance per "V" row of the initial-conditions table.
struct InitialValueStamps {
    StampRange stamps;
};

// One entry of the pool that the conductance of a "V" row goes to, with what it adds there
// while no row holds its node.
struct InitialConductanceEntry {
    std::int32_t entry = 0;
    double value = 0.0;
};

}  // namespace kq5
