#include "devices/source_load.h"

#include "analog/analog_state.h"
#include "analog/device_dispatch.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"

namespace kq5 {

namespace {

template <class Stamps>
int ReserveSourceBranch(Stamps& st, int plus, int minus)
{
    BeginDeviceReservations(st.stamps);
    if (int rc = ReserveBranchElements(st.branch, plus, minus)) return rc;
    EndDeviceReservations(st.stamps);
    return 0;
}

template <class Stamps>
void StampVoltageSource(Stamps& st, double value)
{
    StampCursor c(st.stamps);
    StampBranchIncidence(c, st.branch, AnalogSolver().sourceFactor * value);
    c.Finish();
}

double BranchCurrent(int branch) { return SolutionVector()[static_cast<std::size_t>(branch)]; }

}  // namespace

int SetupSources()
{
    DeviceSolverTables& t = AnalogSolver().devices;
    if (int rc = ForEachDeviceWithStamps<SineSourceDevice>(kSineSourceDeviceList, t.sineSources,
                                                 [](SineSourceDevice& s, SourceStamps& st) {
                                                     return ReserveSourceBranch(st, s.internalPlus, s.nodeMinus);
                                                 }))
        return rc;
    if (int rc = ForEachDeviceWithStamps<PulseSourceDevice>(kPulseSourceDeviceList, t.pulseSources,
                                                  [](PulseSourceDevice& s, SourceStamps& st) {
                                                      return ReserveSourceBranch(st, s.nodePlus, s.nodeMinus);
                                                  }))
        return rc;
    if (int rc = ForEachDeviceWithStamps<IndependentSourceDevice>(kIndependentSourceDeviceList, t.sources,
                                                        [](IndependentSourceDevice& s, SourceStamps& st) {
                                                            if (s.sourceType != kSourceVoltage) {
                                                                // Current sources take no elements.
                                                                BeginDeviceReservations(st.stamps);
                                                                EndDeviceReservations(st.stamps);
                                                                return 0;
                                                            }
                                                            return ReserveSourceBranch(st, s.nodePlus, s.nodeMinus);
                                                        }))
        return rc;
    return ForEachDeviceWithStamps<UserSourceDevice>(kUserSourceDeviceList, t.userSources,
                                           [](UserSourceDevice& s, UserSourceStamps& st) {
                                               return ReserveSourceBranch(st, s.nodePlus, s.nodeMinus);
                                           });
}

int LoadSources()
{
    AnalogSolverState& solver = AnalogSolver();
    DeviceSolverTables& t = solver.devices;
    auto voltageSource = [](auto& source, auto& st) {
        StampVoltageSource(st, st.value);
        source.current = BranchCurrent(st.branch);
        return 0;
    };
    int rc = ForEachDeviceWithStamps<SineSourceDevice>(kSineSourceDeviceList, t.sineSources, voltageSource);
    if (rc == 0) rc = ForEachDeviceWithStamps<PulseSourceDevice>(kPulseSourceDeviceList, t.pulseSources, voltageSource);
    if (rc == 0)
        rc = ForEachDeviceWithStamps<IndependentSourceDevice>(
            kIndependentSourceDeviceList, t.sources, [&](IndependentSourceDevice& s, SourceStamps& st) {
                if (s.sourceType == kSourceVoltage) return voltageSource(s, st);
                const double value = solver.sourceFactor * st.value;
                RhsEntry(s.nodePlus) -= value;
                RhsEntry(s.nodeMinus) += value;
                s.current = value;
                return 0;
            });
    if (rc == 0) rc = ForEachDeviceWithStamps<UserSourceDevice>(kUserSourceDeviceList, t.userSources, voltageSource);
    return rc;
}

}  // namespace kq5
