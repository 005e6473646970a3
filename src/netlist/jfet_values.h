#pragma once
// The working values of a JFET (and a GaAsFET) during a run: what its load leaves for the next iteration, the
// AC stamp and the reports, and the per-run values at its device temperature.
#include <array>
#include <complex>
#include <tuple>

namespace kq5 {

struct JfetValues {
    double vgs = 0.0, vgd = 0.0;
    double cg = 0.0, cd = 0.0;    // total gate current; drain current less the gate-drain diode
    double cgs = 0.0, cgd = 0.0;  // gate diode currents
    double gm = 0.0, gds = 0.0, ggs = 0.0, ggd = 0.0;
    double capgs = 0.0, capgd = 0.0;
    // The operating point a load stores and a settled load takes back, as one tuple.
    auto Point() { return std::tie(vgs, vgd, cg, cd, cgs, cgd, gm, gds, ggs, ggd); }
    // AC terminal currents of the last AC solve: drain, gate, source.
    std::array<std::complex<double>, 3> acCurrents{};
    // Per-run values.
    double celsius = 27.0;
    double vt = 0.025864186;
    double vcrit = 0.6;
};

// The GaAsFET keeps the same values and its drain-source capacitance.
struct GaasfetValues : JfetValues {
    double capds = 0.0;
};

}  // namespace kq5
