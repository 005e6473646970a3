#include "devices/mosfet_ac_rows.h"

#include "core/device_record_fields.h"
#include "netlist/fet_devices.h"
#include "analog/stamp_ac.h"

namespace kq5 {

const MosfetDevice& RoleNumberedMosfet()
{
    static const MosfetDevice roles = [] {
        MosfetDevice m;
        m.gate = 1, m.drain = 2, m.source = 3, m.bulk = 4;
        m.internalGate = 5, m.internalDrain = 6, m.internalSource = 7, m.internalBulk = 8;
        m.extraInternal = 9;
        return m;
    }();
    return roles;
}

int StampLinearisedMosfet(MosfetDevice& d, int pass, std::span<const std::pair<int, int>> positions,
                          std::span<const std::pair<int, int>> roles, std::span<const double> g,
                          std::span<const double> c)
{
    AcStampState& ac = AcStamps();
    const double w = ac.omega;
    if (pass == kAcCurrentPass) {
        // A terminal's current is that of the rows of its own node; where no series resistance
        // parts it from its internal node, the internal node's rows are its own too.
        const int external[4] = {d.gate, d.drain, d.source, d.bulk};
        const int internal[4] = {d.internalGate, d.internalDrain, d.internalSource, d.internalBulk};
        Complex terminal[4];
        for (std::size_t k = 0; k < positions.size() && k < roles.size(); ++k) {
            const int role = roles[k].first;
            const Complex i = Complex(g[k], w * c[k]) * AcSolution(positions[k].second);
            for (int t = 0; t < 4; ++t)
                if (role == t + 1 || (role == t + 5 && internal[t] == external[t])) terminal[t] += i;
        }
        const Complex gate = terminal[0], drain = terminal[1], source = terminal[2], bulk = terminal[3];
        MosfetLoadValues& out = d.values;
        out.ig = gate.real(), out.igIm = gate.imag();
        out.id = drain.real(), out.idIm = drain.imag();
        out.is = source.real(), out.isIm = source.imag();
        out.ib = bulk.real(), out.ibIm = bulk.imag();
        d.acCurrents = {gate, drain, source, bulk};
        Devices().acCurrents[&d] = drain;
        return 0;
    }
    for (std::size_t k = 0; k < positions.size(); ++k) {
        const auto [row, column] = positions[k];
        if (int rc = StampComplexReal(row, column, g[k])) return rc;
        if (int rc = StampComplexImag(row, column, w * c[k])) return rc;
    }
    return 0;
}

}  // namespace kq5
