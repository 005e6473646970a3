// A SPICE netlist named the way ngspice users name theirs, x.cir, opened from the File menu and
// run in the window as it runs in batch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

constexpr const char* kNetlist =
    "RC low-pass driven by a pulse\n"
    "V1 in 0 PULSE(0 5 0 1u 1u 0.5m 1m)\n"
    "R1 in out 1k\n"
    "C1 out 0 100n\n"
    ".tran 10u 2m\n"
    ".print tran v(out)\n"
    ".end\n";

// The rows of the numeric output's table: time in ms to V(OUT).
std::map<double, double> TableRows(const std::string& output)
{
    std::map<double, double> rows;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        double t = 0, v = 0;
        char rest = 0;
        if (std::sscanf(line.c_str(), " %lf %lf %c", &t, &v, &rest) == 2) rows[t] = v;
    }
    return rows;
}

// The window used to take every .cir for a drawn schematic and refuse the netlist with "Must run
// CONVERT"; it opens as a text circuit, and its transient follows the RC charge
// 5 (1 - exp(-(t - 0.5 us) / 100 us)) while the pulse is high, then the discharge.
TEST(CirNetlistJourney, ANetlistNamedCirOpensAndRuns)
{
    Journey journey("cir_netlist");
    std::ofstream(journey.Root() / "rc.cir", std::ios::binary) << kNetlist;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("rc.cir")) << journey.Output();
    journey.Settle(10);
    journey.Capture("cir_netlist_run");
    journey.Press("F3");  // the circuit's own window: the netlist's text
    journey.Capture("cir_netlist_text");

    const std::map<double, double> rows = TableRows(ReadAll(journey.Root() / "rc.TNO"));
    ASSERT_GT(rows.size(), 150u) << ReadAll(journey.Root() / "rc.TNO");
    const double tau = 0.1, rise = 0.0005;  // ms
    for (const double t : {0.1, 0.2, 0.4}) {
        ASSERT_TRUE(rows.count(t)) << t;
        EXPECT_NEAR(rows.at(t), 5 * (1 - std::exp(-(t - rise) / tau)), 0.005) << "t = " << t << " ms";
    }
    const double top = 5 * (1 - std::exp(-0.5 / tau));  // where the pulse ends, at 0.501 ms
    ASSERT_TRUE(rows.count(0.7));
    EXPECT_NEAR(rows.at(0.7), top * std::exp(-(0.7 - 0.5015) / tau), 0.01);
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
