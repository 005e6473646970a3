#include "analog/operating_point_states.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "analog/analog_state.h"
#include "core/device_lists.h"
#include "netlist/bjt_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"

namespace kq5 {

namespace {

// Calls `visit` with every working value of every nonlinear device, in list order: the one
// place that names, for each device kind, what its load leaves for the next load.
template <class Visit>
void EachWorkingValue(Visit&& visit)
{
    for (DiodeDevice& d : ListRecords<DiodeDevice>(DeviceList(kDiodeDeviceList)))
        visit(d.vd, d.id, d.gd, d.current, d.charge, d.capacitance);
    for (BjtDevice& q : ListRecords<BjtDevice>(DeviceList(kBjtDeviceList)))
        visit(q.cb, q.cc, q.vbe, q.vbc, q.vsub, q.gpi, q.gmu, q.gm, q.go, q.gx, q.geqcb, q.gsub, q.geqbx, q.capbe,
              q.capbc, q.capsub, q.capbx, q.csub, q.gsubDiode, q.ib, q.ic, q.ie, q.is);
    for (JfetDevice& j : ListRecords<JfetDevice>(DeviceList(kJfetDeviceList))) visit(j.values, j.quantities);
    for (GaasfetDevice& g : ListRecords<GaasfetDevice>(DeviceList(kGaasfetDeviceList))) visit(g.values, g.quantities);
    for (MosfetDevice& m : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        visit(m.values, m.mode, m.quantities);
        if (m.level123) visit(Level123Block(m).replay);
        if (m.bsim3) visit(m.bsim3->replay);
    }
}

template <class T>
constexpr void CheckCopyable()
{
    static_assert(std::is_trivially_copyable_v<T>, "a working value is kept as its bytes");
}

}  // namespace

void DeviceWorkingState::Keep()
{
    devices_.clear();
    EachWorkingValue([this](const auto&... values) {
        (CheckCopyable<std::remove_cvref_t<decltype(values)>>(), ...);
        const auto put = [this](const auto& v) {
            const auto* bytes = reinterpret_cast<const std::byte*>(&v);
            devices_.insert(devices_.end(), bytes, bytes + sizeof v);
        };
        (put(values), ...);
    });
    charges_ = AnalogSolver().chargeStates;
    currents_ = AnalogSolver().currentStates;
    kept_ = true;
}

void DeviceWorkingState::Restore() const
{
    if (!kept_) return;
    std::size_t at = 0;
    EachWorkingValue([this, &at](auto&... values) {
        const auto take = [this, &at](auto& v) {
            if (at + sizeof v > devices_.size()) return;
            std::memcpy(&v, devices_.data() + at, sizeof v);
            at += sizeof v;
        };
        (take(values), ...);
    });
    AnalogSolverState& s = AnalogSolver();
    std::copy_n(charges_.begin(), std::min(charges_.size(), s.chargeStates.size()), s.chargeStates.begin());
    std::copy_n(currents_.begin(), std::min(currents_.size(), s.currentStates.size()), s.currentStates.begin());
}

}  // namespace kq5
