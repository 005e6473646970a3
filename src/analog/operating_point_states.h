#pragma once
// What the nonlinear devices carry from one solve into the next, kept at a good solution and
// given back after a failed one: the voltages of each device's last evaluation, which the next
// load limits its new voltages against, what that evaluation gave (currents, conductances and
// the stamps a bypassed load adds again), and the charge and current state vectors.
#include <cstddef>
#include <vector>

namespace kq5 {

class DeviceWorkingState {
public:
    // Takes the working values of every diode, bipolar transistor, JFET, GaAsFET and MOSFET
    // (every level) and the state vectors.
    void Keep();
    // Writes back what the last Keep took; nothing before the first Keep.
    void Restore() const;

private:
    std::vector<std::byte> devices_;
    std::vector<double> charges_, currents_;
    bool kept_ = false;
};

}  // namespace kq5
