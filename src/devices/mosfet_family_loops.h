#pragma once
// The set-up and load walks that the MOSFET families (LEVEL 1 to 3, 4 and 5, 8) share: each walks
// the whole MOSFET list beside its solver table and handles the devices of its own levels.
#include <span>
#include <utility>
#include <vector>

#include "analog/analog_state.h"
#include "analog/device_dispatch.h"
#include "netlist/fet_devices.h"
#include "netlist/global_options.h"

namespace kq5 {

// Counts the set-ups of the MOSFET families and the preparations of runs: the set of devices a
// family takes (some need what the preparation makes) changes only with one of them.
inline unsigned& MosfetFamilyGeneration()
{
    static unsigned generation = 0;
    return generation;
}

// Whether any device of the MOSFET list is one the family takes; looked at again only after a
// new set-up or run preparation, so that the loads of a family with no device do not walk the
// whole list in every iteration. (One cache per family: its predicate is a type of its own.)
template <class Takes>
bool MosfetFamilyPresent(const Takes& takes)
{
    static bool known = false;
    static unsigned seen = 0;
    static bool present = false;
    const unsigned generation = MosfetFamilyGeneration();
    if (!known || seen != generation) {
        present = false;
        for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList)))
            if (takes(d)) {
                present = true;
                break;
            }
        seen = generation;
        known = true;
    }
    return present;
}

// Reserves, for every device the family takes, the elements `elements(d)` gives, in order.
template <class Takes, class Elements>
int ReserveMosfetFamily(Takes&& takes, Elements&& elements)
{
    ++MosfetFamilyGeneration();
    return ForEachDeviceWithStamps<MosfetDevice>(
        kMosfetDeviceList, AnalogSolver().devices.mosfets, [&](MosfetDevice& d, SemiconductorStamps& entry) {
            if (!takes(d)) return 0;
            BeginDeviceReservations(entry.stamps);
            const auto positions = elements(d);
            for (const auto& [row, column] : positions)
                if (int rc = ReserveMatrixElement(row, column)) return rc;
            EndDeviceReservations(entry.stamps);
            return 0;
        });
}

// Loads every device the family takes, once the solver's set-up is done.
template <class Takes, class LoadOne>
int LoadMosfetFamily(Takes&& takes, LoadOne&& loadOne)
{
    AnalogSolverState& s = AnalogSolver();
    if (!s.setupDone || !MosfetFamilyPresent(takes)) return 0;
    const std::vector<double>& x = SolutionVector();
    const double gmin = GlobalOptions().values.gmin;
    return ForEachDeviceWithStamps<MosfetDevice>(kMosfetDeviceList, s.devices.mosfets,
                                                 [&](MosfetDevice& d, SemiconductorStamps& entry) {
                                                     if (takes(d)) loadOne(d, entry, x, gmin);
                                                     return 0;
                                                 });
}

}  // namespace kq5
