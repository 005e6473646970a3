// JFETs and GaAsFETs: drain currents against their slopes in both modes and every level, the
// smoothed gate charge against its partial derivatives, the knee of the gate charge, the
// temperature pass and the element counts.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "device_build_test_support.h"
#include "analog/analog_state.h"
#include "analog/convergence.h"
#include "devices/temperature_setup.h"
#include "netlist/fet_devices.h"
#include "devices/gaasfet_model.h"
#include "devices/jfet_load.h"
#include "devices/jfet_model.h"
#include "devices/model_temperature.h"
#include "document/node_table.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "solver_test_support.h"

namespace kq5 {
namespace {

class FetJunctionTest : public DeviceBuildTest {
protected:
    static JfetDevice& Jfet(std::size_t i = 0) { return *Records<JfetDevice>(kJfetDeviceList).at(i); }
    static GaasfetDevice& Gaasfet(std::size_t i = 0) { return *Records<GaasfetDevice>(kGaasfetDeviceList).at(i); }
};


TEST_F(FetJunctionTest, JfetChannelSlopesInBothModes)
{
    Build("* j\nV1 1 0 1\nJ1 1 0 0 JN 2\n.MODEL JN NJF(VTO=-2 BETA=1m LAMBDA=0.05)\n.OP\n.END\n");
    const JfetDevice& j = Jfet();
    std::mt19937 random(3);
    std::uniform_real_distribution<double> vgsRange(-2.5, 1.0), vdsRange(-4.0, 4.0);
    const double h = 1e-6;
    for (int k = 0; k < 400; ++k) {
        const double vgs = vgsRange(random), vds = vdsRange(random);
        auto id = [&](double gs, double ds) { return JfetChannelCurrent(j, gs, gs - ds).cdrain; };
        const JfetChannel ch = JfetChannelCurrent(j, vgs, vgs - vds);
        // Away from the kinks of the square law (threshold, saturation edge).
        if (std::fabs(vgs + 2.0) < 1e-3 || std::fabs(vgs - vds + 2.0) < 1e-3 || std::fabs(std::fabs(vds) - (vds >= 0 ? vgs + 2.0 : vgs - vds + 2.0)) < 1e-3)
            continue;
        EXPECT_TRUE(Close(ch.gm, (id(vgs + h, vds) - id(vgs - h, vds)) / (2 * h), 1e-5, 1e-12)) << vgs << " " << vds;
        EXPECT_TRUE(Close(ch.gds, (id(vgs, vds + h) - id(vgs, vds - h)) / (2 * h), 1e-5, 1e-12)) << vgs << " " << vds;
    }
    // vds = 0 with the channel open: no current, gds = 2 beta vgst.
    const JfetChannel zero = JfetChannelCurrent(j, -1.0, -1.0);
    EXPECT_EQ(zero.cdrain, 0.0);
    EXPECT_TRUE(Close(zero.gds, 2.0 * 2e-3 * 1.0, 1e-6, 0));
}

TEST_F(FetJunctionTest, GaasfetDrainCurrentSlopesAtEveryLevel)
{
    Build("* g\nV1 1 0 1\nZ1 1 0 0 G1\nZ2 1 0 0 G2\nZ3 1 0 0 G3\n"
          ".MODEL G1 GASFET(LEVEL=1 VTO=-1.5 ALPHA=2 BETA=10m LAMBDA=0.05)\n"
          ".MODEL G2 GASFET(LEVEL=2 VTO=-1.5 ALPHA=2 BETA=10m B=0.3 LAMBDA=0.05)\n"
          ".MODEL G3 GASFET(LEVEL=3 VTO=-1.5 ALPHA=2 BETA=10m GAMMA=0.05 DELTA=0.2 Q=2.2)\n.OP\n.END\n");
    std::mt19937 random(5);
    std::uniform_real_distribution<double> vgsRange(-2.0, 0.8), vdsRange(-3.0, 3.0);
    const double h = 1e-6;
    for (std::size_t i = 0; i < 3; ++i) {
        const GaasfetDevice& g = Gaasfet(i);
        const EvaluatedModel& m = *g.model;
        auto evaluate = [&](double vgs, double vds) {
            GaasfetWorkArea w;
            w.vto = m.Param(gaasfet_param::kVto);
            w.alpha = m.Param(gaasfet_param::kAlpha);
            w.b = m.Param(gaasfet_param::kB);
            w.lambda = m.Param(gaasfet_param::kLambda);
            w.gamma = m.Param(gaasfet_param::kGamma);
            w.delta = m.Param(gaasfet_param::kDelta);
            w.q = m.Param(gaasfet_param::kQ);
            w.beta = m.Param(gaasfet_param::kBeta);
            w.vgs = vgs;
            w.vgd = vgs - vds;
            w.vds = vds;
            if (i == 0) GaasfetLevel1Current(w);
            else if (i == 1) GaasfetLevel2Current(w);
            else GaasfetLevel3Current(w);
            return w;
        };
        for (int k = 0; k < 300; ++k) {
            const double vgs = vgsRange(random), vds = vdsRange(random);
            if (std::fabs(std::fabs(vds) - 1.5) < 1e-3) continue;  // the saturation edge 3/ALPHA
            const GaasfetWorkArea w = evaluate(vgs, vds);
            const double gm = (evaluate(vgs + h, vds).id - evaluate(vgs - h, vds).id) / (2 * h);
            const double gds = (evaluate(vgs, vds + h).id - evaluate(vgs, vds - h).id) / (2 * h);
            EXPECT_TRUE(Close(w.gm, gm, 1e-5, 1e-11)) << "level " << i + 1 << " " << vgs << " " << vds;
            EXPECT_TRUE(Close(w.gds, gds, 1e-5, 1e-11)) << "level " << i + 1 << " " << vgs << " " << vds;
        }
    }
}

TEST(GaasfetGateCharge, PartialDerivativesAndContinuityAtVmax)
{
    GaasfetWorkArea w;
    w.vdelta = 0.2;
    w.vmax = 0.5;
    const double vbi = 1.0, delta = 0.5, vto = -1.5, cgs = 1e-12, cgd = 2e-13, h = 1e-7;
    double c1 = 0.0, c2 = 0.0, a = 0.0, b = 0.0;
    for (double va : {-3.0, -1.4, -0.2, 0.3, 0.45, 0.6, 0.9})
        for (double vb : {-4.0, -1.0, 0.0, 0.4, 0.7}) {
            GaasfetGateCharge(w, va, vb, vbi, delta, vto, cgs, cgd, c1, c2);
            const double d1 = (GaasfetGateCharge(w, va + h, vb, vbi, delta, vto, cgs, cgd, a, b) -
                               GaasfetGateCharge(w, va - h, vb, vbi, delta, vto, cgs, cgd, a, b)) / (2 * h);
            const double d2 = (GaasfetGateCharge(w, va, vb + h, vbi, delta, vto, cgs, cgd, a, b) -
                               GaasfetGateCharge(w, va, vb - h, vbi, delta, vto, cgs, cgd, a, b)) / (2 * h);
            EXPECT_TRUE(Close(c1, d1, 1e-5, 1e-20)) << va << " " << vb;
            EXPECT_TRUE(Close(c2, d2, 1e-5, 1e-20)) << va << " " << vb;
        }
    // Equal voltages split the capacitance evenly.
    GaasfetGateCharge(w, 0.1, 0.1, vbi, delta, vto, cgs, cgd, c1, c2);
    EXPECT_DOUBLE_EQ(c1, c2);
}

TEST_F(FetJunctionTest, GateChargeIsGradedWithTheSameMOnBothSidesOfTheKnee)
{
    Build("* k\nVD 1 0 1\nVG 2 0 0\nJ1 1 2 0 JM\nZ1 1 2 0 GM\n"
          ".MODEL JM NJF(VTO=-2 BETA=1m CGS=2p CGD=1p PB=0.8 M=0.33 FC=0.5)\n"
          ".MODEL GM GASFET(LEVEL=1 CGS=2p CGD=1p VBI=0.8 M=0.3 FC=0.5)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindAc), 0);
    AnalogSolverState& s = AnalogSolver();
    s.iterationMode = kModeSmallSignal;
    JfetDevice& j = Jfet();
    GaasfetDevice& g = Gaasfet();
    auto at = [&](double v, double& qj, double& cj, double& qg, double& cg) {
        j.values.vgs = j.values.vgd = v;
        g.values.vgs = g.values.vgd = v;
        ASSERT_EQ(LoadCircuit(), 0);
        qj = j.quantities.qgs;
        cj = j.values.capgs;
        qg = g.quantities.qgs;
        cg = g.values.capgs;
    };
    const double knee = 0.4, h = 1e-6;
    double qjBelow = 0, cjBelow = 0, qgBelow = 0, cgBelow = 0, qjAbove = 0, cjAbove = 0, qgAbove = 0, cgAbove = 0;
    at(knee - h, qjBelow, cjBelow, qgBelow, cgBelow);
    at(knee + h, qjAbove, cjAbove, qgAbove, cgAbove);
    EXPECT_TRUE(Close(cjBelow, cjAbove, 1e-4, 0));
    EXPECT_TRUE(Close(qjBelow, qjAbove, 1e-4, 0));
    EXPECT_TRUE(Close(cgBelow, cgAbove, 1e-4, 0));
    EXPECT_TRUE(Close(qgBelow, qgAbove, 1e-4, 0));
}

TEST_F(FetJunctionTest, SeriesResistancesDecideTheElementCounts)
{
    Build("* c\nV1 1 0 5\nJ1 1 0 0 JA\nJ2 1 0 0 JB\nZ1 1 0 0 GA\nZ2 1 0 0 GB\n"
          ".MODEL JA NJF()\n.MODEL JB NJF(RD=10 RS=5)\n.MODEL GA GASFET()\n.MODEL GB GASFET(RG=1 RD=2 RS=3)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
    const DeviceSolverTables& t = AnalogSolver().devices;
    EXPECT_EQ(t.jfets.at(0).stamps.count, 9);
    EXPECT_EQ(t.jfets.at(1).stamps.count, 15);
    EXPECT_EQ(t.gaasfets.at(0).stamps.count, 9);
    EXPECT_EQ(t.gaasfets.at(1).stamps.count, 18);
}

TEST_F(FetJunctionTest, FetsAtTemperatureFollowTheirCoefficients)
{
    Build("* t\nV1 1 0 1\nJ1 1 0 0 JT\nZ1 1 0 0 GT\n"
          ".MODEL JT NJF(VTO=-2 BETA=1m VTOTC=-2m BETATCE=-0.5 RD=10 RS=20)\n"
          ".MODEL GT GASFET(VTO=-1 BETA=10m VTOTC=1m BETATCE=0.3 RD=10 TRD1=0.01 RS=4 TRS1=-0.05)\n.OP\n.END\n",
          77.0);
    const EvaluatedModel& jm = *Jfet().model;
    EXPECT_TRUE(Close(jm.Param(jfet_param::kVto), -2.0 - 2e-3 * 50.0, 1e-6, 0));
    EXPECT_TRUE(Close(jm.Param(jfet_param::kBeta), 1e-3 * std::pow(1.01, -0.5 * 50.0), 1e-6, 0));
    const EvaluatedModel& gm = *Gaasfet().model;
    EXPECT_TRUE(Close(gm.Param(gaasfet_param::kVto), -1.0 + 1e-3 * 50.0, 1e-6, 0));
    EXPECT_TRUE(Close(gm.Param(gaasfet_param::kRd), 0.1 / 1.5, 1e-6, 0));
    // 1 - 0.05 x 50 < 0: the source resistance would turn negative; it is held at GMAX instead.
    EXPECT_DOUBLE_EQ(gm.Param(gaasfet_param::kRs), static_cast<float>(1.0 / GlobalOptions().values.rmin));
}

TEST_F(FetJunctionTest, GaasfetWithoutAPredictionCountsAsNotConverged)
{
    Build("* n\nVD 1 0 2\nVG 2 0 -0.5\nZ1 1 2 0 GA\nZ2 1 2 0 GA\n.MODEL GA GASFET(LEVEL=2)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
    AnalogSolverState& s = AnalogSolver();
    for (int mode : {kModeInitJunctions, kModeSmallSignal}) {
        s.iterationMode = mode;
        s.nonConvergedCount = 0;
        ASSERT_EQ(LoadCircuit(), 0);
        EXPECT_GE(s.nonConvergedCount, 2) << mode;
    }
}

}  // namespace
}  // namespace kq5
