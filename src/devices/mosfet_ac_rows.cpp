#include "devices/mosfet_ac_rows.h"

#include "core/device_record_fields.h"
#include "netlist/fet_devices.h"
#include "analog/stamp_ac.h"

namespace kq5 {

int StampLinearisedMosfet(MosfetDevice& d, int pass, std::span<const std::pair<int, int>> positions,
                          std::span<const double> g, std::span<const double> c)
{
    AcStampState& ac = AcStamps();
    const double w = ac.omega;
    if (pass == kAcCurrentPass) {
        Complex gate, drain, source, bulk;
        for (std::size_t k = 0; k < positions.size(); ++k) {
            const auto [row, column] = positions[k];
            const Complex i = Complex(g[k], w * c[k]) * AcSolution(column);
            if (row == d.gate) gate += i;
            if (row == d.drain) drain += i;
            if (row == d.source) source += i;
            if (row == d.bulk) bulk += i;
        }
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
