#pragma once
// The per-device values of the Newton engine, kept beside the device records of the built
// circuit: one table per device family, one entry per record in list order. The set-up pass
// and every load walk a list and its table together, so the entry of a record is the one at
// its position. The tables are sized from the lists when the extra unknowns are numbered
// (NumberDeviceRows) and emptied when the run data are freed.
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/device_lists.h"
#include "analog/inductor_stamps.h"
#include "analog/linear_device_stamps.h"
#include "analog/poly_stamps.h"
#include "analog/semiconductor_stamps.h"
#include "analog/source_stamps.h"

namespace kq5 {

struct DeviceSolverTables {
    std::vector<ResistorStamps> resistors;           // list 27
    std::vector<CapacitorStamps> capacitors;         // list 29
    std::vector<InductorStamps> inductors;           // list 35
    std::vector<CouplingStamps> couplings;           // list 25
    std::vector<CoreState> cores;                    // list 31
    std::vector<LinearSourceStamps> linearSources;   // list 24
    std::vector<PolyStamps> polySources;             // list 22
    std::vector<SourceStamps> sources;               // list 17
    std::vector<SourceStamps> pulseSources;          // list 21
    std::vector<SourceStamps> sineSources;           // list 33
    std::vector<UserSourceStamps> userSources;       // list 4
    std::vector<SwitchStamps> voltageSwitches;       // list 18
    std::vector<SwitchStamps> currentSwitches;       // list 16
    std::vector<SwitchStamps> switches;              // list 14
    std::vector<OpampStamps> opamps;                 // list 13
    std::vector<InitialValueStamps> initialValues;   // "V" rows of the initial conditions
    // The entries the "V" rows add to in load order, made at set-up, and whether the table
    // holds nothing else: a pass that holds no node then adds just these (the time steps).
    std::vector<InitialConductanceEntry> initialConductances;
    bool onlyInitialConductances = false;
    std::vector<SemiconductorStamps> diodes;         // list 28
    std::vector<SemiconductorStamps> bjts;           // list 34
    std::vector<SemiconductorStamps> mosfets;        // list 19
    std::vector<SemiconductorStamps> jfets;          // list 15
    std::vector<SemiconductorStamps> gaasfets;       // list 23

    // First extra row of every record that has one (0 for none), per list (index list + 2),
    // in list order; the device families that the engine does not load itself read theirs here.
    std::array<std::vector<std::int32_t>, kDeviceListCount> rows;
    // The row of every record that carries a branch current (voltage sources of every kind),
    // for the current-controlled devices that name their controlling source.
    std::unordered_map<const ListNode*, std::int32_t> branchOfDevice;
    // First state slot of every record with charge states, per list (index list + 2).
    std::array<std::vector<std::int32_t>, kDeviceListCount> stateSlots;
    // The record addresses the last walk of each list met (index list + 2): a prefetch hint
    // for the next walk, never read as records.
    std::array<std::vector<const ListNode*>, kDeviceListCount> recordTrails;

    bool sized = false;
};

// The first extra row of the record at `position` in list `list`; 0 when it has none.
std::int32_t DeviceRow(int list, std::size_t position);
// The branch row of a voltage source record (any source kind); 0 when it has none.
std::int32_t BranchOfDevice(const ListNode* device);
// The first state slot of the record at `position` in list `list`.
std::int32_t DeviceStateSlot(int list, std::size_t position);

// Sizes every table from its list (entries keep their values when the count is unchanged),
// numbers the extra unknowns after the nodes and the inductor rows, and assigns the state
// slots. Returns the number of unknowns; 15002 cannot occur (sizes come from existing lists),
// an exhausted heap gives -1.
int NumberDeviceRows(int nodeCount);

// Empties every table.
void ClearDeviceSolverTables();

}  // namespace kq5
