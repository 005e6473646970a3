#pragma once
// What the solver keeps beside inductors, couplings and magnetic cores during a run. One entry
// per record of the inductor list (35), the coupling list (25) and the coupling-part list (31),
// each in list order.
#include <cstdint>

#include "netlist/device_stamps.h"

namespace kq5 {

struct InductorStamps {
    StampRange stamps;
    std::int32_t branch = 0;       // row of the inductor current
    std::int32_t stateSlot = 0;    // first slot of its flux in the state vectors
    std::int32_t core = -1;        // index of its core in the core table, -1 for an air inductor
    std::int32_t isLinear = 1;     // 0 when the model's current coefficients apply
    double tempFactor = 1.0;       // set at the analysis temperature
    double leff = 0.0;             // effective inductance of the last load
    double flux = 0.0;
    double voltage = 0.0;          // core-wound: voltage across, for its convergence test
    double previousLeff = 0.0;     // formula value: convergence test
    std::int32_t coreFieldAdded = 0;
    std::int32_t coreInductanceComputed = 0;
};

struct CouplingStamps {
    StampRange stamps;
    std::int32_t first = -1;   // positions of its two inductors in the inductor list, -1 absent
    std::int32_t second = -1;
};

// The Jiles-Atherton state of one magnetic core (a coupling part with a CORE model).
struct CoreState {
    bool isCore = false;      // the part has a CORE model
    double m = 0.0;           // anhysteretic magnetisation during the solve
    double mirr = 0.0;        // resulting magnetisation
    double mirrOld = 0.0;     // at the last accepted point
    double happ = 0.0;        // applied field, A/m
    double happOld = 0.0;
    double hprev = 0.0;       // core field at the last accepted point
    double hcore = 0.0;       // solved core field
    double dMdH = 0.0;
    double mirrIter = 0.0;    // at the previous Newton iteration
    double saved = 0.0;
    std::int32_t solved = 0;  // solved in the present load
    // The accepted-point copies that CommitList31States keeps: m, mirr, hcore, happ, saved.
    double mPrevious = 0.0;
    double savedPrevious = 0.0;
    double average = 0.0;
    double averagePrevious = 0.0;
};

}  // namespace kq5
