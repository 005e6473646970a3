// Junction diodes and bipolar transistors built from netlists: conductances against the
// slopes of their currents, capacitances against the slopes of their charges, the temperature
// laws against hand values, the model preparation repeated over cases, and every junction
// model of the default library solving an operating point.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "device_build_test_support.h"
#include "analog/analog_state.h"
#include "devices/temperature_setup.h"
#include "netlist/bjt_device.h"
#include "devices/bjt_load.h"
#include "devices/bjt_model.h"
#include "netlist/diode_device.h"
#include "devices/diode_load.h"
#include "devices/diode_model.h"
#include "devices/junction_temperature.h"
#include "devices/model_temperature.h"
#include "document/node_table.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "solver_test_support.h"

namespace kq5 {
namespace {

constexpr double kGmin = 1e-12;

class JunctionDeviceTest : public DeviceBuildTest {
protected:
    static double V(int node) { return SolutionVector()[static_cast<std::size_t>(node)]; }
    static DiodeDevice& Diode(std::size_t i = 0) { return *Records<DiodeDevice>(kDiodeDeviceList).at(i); }
    static BjtDevice& Bjt(std::size_t i = 0) { return *Records<BjtDevice>(kBjtDeviceList).at(i); }
};

// ---- diode ----------------------------------------------------------------------------

TEST_F(JunctionDeviceTest, DiodeConductanceIsTheSlopeOfItsCurrent)
{
    Build("* d\nV1 1 0 1\nD1 1 0 D1M\nD2 1 0 D2M 3\n"
          ".MODEL D1M D(IS=1e-14 N=1.3 BV=8 IBV=1e-6)\n"
          ".MODEL D2M D(LEVEL=2 IS=1e-14 N=1.1 ISR=1e-10 NR=2 IKF=1m BV=9 IBV=1e-8 NBV=2 IBVL=1e-10 NBVL=4 M=0.4)\n"
          ".OP\n.END\n");
    std::mt19937 random(11);
    for (std::size_t i = 0; i < 2; ++i) {
        const DiodeDevice& d = Diode(i);
        const double nvt = d.model->Param(diode_param::kN) * d.vt;
        const double bv = d.model->Param(diode_param::kBv);
        std::uniform_real_distribution<double> bias(-bv - 1.5, 0.9);
        for (int k = 0; k < 300; ++k) {
            const double v = bias(random);
            // The first level's reverse region between -5 nVt and -BV keeps a leakage slope by
            // design; its value is checked below.
            if (i == 0 && v < -5.0 * nvt && v > -bv) continue;
            if (i == 0 && std::fabs(v + 5.0 * nvt) < 1e-3) continue;
            const double h = 1e-6;
            const double slope = (DiodeJunctionCurrent(d, v + h, kGmin).id - DiodeJunctionCurrent(d, v - h, kGmin).id) / (2 * h);
            EXPECT_TRUE(Close(DiodeJunctionCurrent(d, v, kGmin).gd, slope, 2e-4, 1e-12)) << "diode " << i << " at " << v;
        }
    }
    // Reverse leakage and breakdown of the first level.
    const DiodeDevice& d = Diode(0);
    const double is = d.model->Param(diode_param::kIs);
    EXPECT_DOUBLE_EQ(DiodeJunctionCurrent(d, -2.0, kGmin).id, -is + kGmin * -2.0);
    const double bv = d.model->Param(diode_param::kBv);
    EXPECT_TRUE(Close(DiodeJunctionCurrent(d, -bv - 0.5, kGmin).id, -is * std::exp(0.5 / d.vt) + kGmin * (-bv - 0.5), 1e-9, 0));
}

TEST_F(JunctionDeviceTest, HighInjectionHalvesTheLogarithmicSlope)
{
    Build("* d\nV1 1 0 1\nD1 1 0 DH\n.MODEL DH D(LEVEL=2 IS=1e-14 IKF=1u)\n.OP\n.END\n");
    const DiodeDevice& d = Diode();
    const double v1 = 0.9, v2 = 1.0;
    const double slope = std::log(DiodeJunctionCurrent(d, v2, 0).id / DiodeJunctionCurrent(d, v1, 0).id) / (v2 - v1);
    EXPECT_TRUE(Close(slope, 0.5 / d.vt, 1e-3, 0));
}

TEST_F(JunctionDeviceTest, DiodeCapacitanceIsTheSlopeOfItsCharge)
{
    Build("* d\nV1 1 0 0.5\nR1 1 2 1k\nD1 2 0 DC\n.MODEL DC D(IS=1e-14 RS=2 CJO=3p VJ=0.7 M=0.45 FC=0.6 TT=4n)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindAc), 0);
    AnalogSolverState& s = AnalogSolver();
    s.iterationMode = kModeSmallSignal;
    DiodeDevice& d = Diode();
    auto charge = [&](double v) {
        d.vd = v;
        EXPECT_EQ(LoadDiodes(), 0);
        return d.charge;
    };
    for (double v : {-3.0, -0.2, 0.3, 0.41, 0.43, 0.55, 0.65}) {
        const double h = 1e-6;
        const double slope = (charge(v + h) - charge(v - h)) / (2 * h);
        charge(v);
        EXPECT_TRUE(Close(d.capacitance, slope, 1e-4, 1e-20)) << v;
    }
}

TEST_F(JunctionDeviceTest, DiodeStampsItsSeriesResistanceOnlyWhenItHasOne)
{
    Build("* d\nV1 1 0 1\nR1 1 2 100\nD1 2 0 DA\nD2 2 0 DB\n.MODEL DA D(RS=0)\n.MODEL DB D(RS=5)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
    EXPECT_EQ(AnalogSolver().devices.diodes.at(0).stamps.count, 4);
    EXPECT_EQ(AnalogSolver().devices.diodes.at(1).stamps.count, 8);
    EXPECT_EQ(Diode(0).internalAnode, Diode(0).anode);
    EXPECT_NE(Diode(1).internalAnode, Diode(1).anode);
}

TEST_F(JunctionDeviceTest, SettledDiodeKeepsItsValuesOnlyWhenBypassIsAllowed)
{
    Build("* b\nV1 1 0 5\nR1 1 2 1k\nD1 2 0 DB\n.MODEL DB D(IS=1e-14)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
    AnalogSolverState& s = AnalogSolver();
    DiodeDevice& d = Diode();
    s.iterationMode = kModeNormal;
    // A stored point that is not the one the voltage gives: only a fresh evaluation notices.
    d.id *= 1.0 + 1e-5;
    const double stored = d.id;
    s.bypassAllowed = 1;
    ASSERT_EQ(LoadCircuit(), 0);
    EXPECT_EQ(d.id, stored);
    s.bypassAllowed = 0;
    ASSERT_EQ(LoadCircuit(), 0);
    EXPECT_NE(d.id, stored);
    EXPECT_TRUE(Close(d.id, stored, 1e-3, 0));
}

// ---- bipolar transistor ----------------------------------------------------------------

struct BjtSlopes {
    double dccdvbe, dccdvbc, dcbdvbe, dcbdvbc, dcsdvs;
};

BjtSlopes Slopes(const BjtDevice& q, double vbe, double vbc, double vsub)
{
    const double h = 1e-6;
    auto at = [&](double e, double c, double s) { return EvaluateBjtDc(q, e, c, s, kGmin); };
    const BjtDcPoint pe = at(vbe + h, vbc, vsub), me = at(vbe - h, vbc, vsub);
    const BjtDcPoint pc = at(vbe, vbc + h, vsub), mc = at(vbe, vbc - h, vsub);
    const BjtDcPoint ps = at(vbe, vbc, vsub + h), ms = at(vbe, vbc, vsub - h);
    return {(pe.cc - me.cc) / (2 * h), (pc.cc - mc.cc) / (2 * h), (pe.cb - me.cb) / (2 * h),
            (pc.cb - mc.cb) / (2 * h), (ps.csub - ms.csub) / (2 * h)};
}

TEST_F(JunctionDeviceTest, BjtConductancesAreTheSlopesOfItsCurrents)
{
    Build("* q\nV1 1 0 1\nQ1 1 1 0 QA\nQ2 1 1 0 QB 2\nQ3 1 1 0 QC\nQ4 1 1 0 0 QL\n"
          ".MODEL QA NPN(IS=1e-15 BF=120 BR=3 VAF=60 VAR=15)\n"
          ".MODEL QB NPN(IS=1e-15 BF=120 BR=3 VAF=60 VAR=15 IKF=2m IKR=1m ISE=1e-13 NE=1.7 ISC=1e-12 NC=1.9 NK=0.5)\n"
          ".MODEL QC PNP(IS=3e-16 BF=80 IKF=1m IKR=3m NK=0.8 ISE=5e-14 VAF=40 RB=200 RBM=10 IRB=50u)\n"
          ".MODEL QL LPNP(IS=1e-15 BF=40 ISS=1e-14 NS=1.2 NK=0.65 IKF=5m VAF=30)\n"
          ".OP\n.END\n");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> on(0.55, 0.85), off(-0.1, 0.45), sub(-0.1, 0.7);
    for (std::size_t i = 0; i < 4; ++i) {
        const BjtDevice& q = Bjt(i);
        for (int k = 0; k < 120; ++k) {
            // Forward active, saturated, reverse active.
            const int region = k % 3;
            const double vbe = region == 2 ? off(random) : on(random);
            const double vbc = region == 0 ? off(random) : on(random);
            const double vsub = sub(random);
            const BjtDcPoint p = EvaluateBjtDc(q, vbe, vbc, vsub, kGmin);
            const BjtSlopes d = Slopes(q, vbe, vbc, vsub);
            // Differences of currents far larger than a conductance lose digits: allow for it.
            const double floor = 1e-13 + 2e-9 * (std::fabs(p.cc) + std::fabs(p.cb) + std::fabs(p.csub));
            EXPECT_TRUE(Close(p.gm + p.go, d.dccdvbe, 1e-4, floor)) << i << " " << vbe << " " << vbc;
            EXPECT_TRUE(Close(-(p.go + p.gmu), d.dccdvbc, 1e-4, floor)) << i << " " << vbe << " " << vbc;
            EXPECT_TRUE(Close(p.gpi, d.dcbdvbe, 1e-4, floor)) << i << " " << vbe << " " << vbc;
            EXPECT_TRUE(Close(p.gmu, d.dcbdvbc, 1e-4, floor)) << i << " " << vbe << " " << vbc;
            EXPECT_TRUE(Close(p.gsub, d.dcsdvs, 1e-4, floor)) << i << " " << vsub;
        }
    }
}

TEST_F(JunctionDeviceTest, BaseResistanceFollowsTheBaseCurrent)
{
    Build("* q\nV1 1 0 1\nQ1 1 1 0 QR\nQ2 1 1 0 QM\n.MODEL QR NPN(IS=1e-15 BF=100 RB=100 RBM=10 IRB=10u)\n"
          ".MODEL QM NPN(IS=1e-15 BF=100 RB=100 RBM=10 IKF=1m)\n.OP\n.END\n");
    // With IRB the resistance falls from RB towards RBM as the base current grows.
    const BjtDcPoint low = EvaluateBjtDc(Bjt(0), 0.3, -1.0, 0.0, kGmin);
    const BjtDcPoint high = EvaluateBjtDc(Bjt(0), 0.9, -1.0, 0.0, kGmin);
    EXPECT_TRUE(Close(1.0 / low.gx, 100.0, 1e-3, 0));
    EXPECT_LT(1.0 / high.gx, 20.0);
    EXPECT_GT(1.0 / high.gx, 10.0);
    // Without IRB it is RBM + (RB - RBM) / qb.
    const BjtDcPoint m = EvaluateBjtDc(Bjt(1), 0.8, -1.0, 0.0, kGmin);
    EXPECT_TRUE(Close(1.0 / m.gx, 10.0 + 90.0 / m.qb, 1e-12, 0));
}

TEST_F(JunctionDeviceTest, BjtCapacitancesAreTheSlopesOfItsCharges)
{
    Build("* q\nVC 1 0 3\nVB 2 0 0.7\nQ1 1 2 0 3 QT\nVS 3 0 -2\n"
          ".MODEL QT NPN(IS=1e-15 BF=100 IKF=10m VAF=50 CJE=2p VJE=0.75 MJE=0.4 CJC=1p VJC=0.6 MJC=0.35 XCJC=0.7"
          " CJS=1p VJS=0.6 MJS=0.4 TF=0.4n XTF=3 VTF=2 ITF=20m TR=20n)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindAc), 0);
    AnalogSolver().iterationMode = kModeSmallSignal;
    BjtDevice& q = Bjt();
    auto load = [&](double vbe, double vbc, double vsub) {
        q.vbe = vbe;
        q.vbc = vbc;
        q.vsub = vsub;
        EXPECT_EQ(LoadBjtDevices(), 0);
    };
    const double h = 1e-6;
    for (const auto& [vbe, vbc, vsub] : {std::tuple{0.75, -2.0, -1.0}, {0.7, 0.3, 0.2}, {-0.5, -1.0, 0.5}, {0.35, 0.55, -3.0}}) {
        load(vbe + h, vbc, vsub + h);
        const double qbeE1 = q.qbe, qcs1 = q.qcs;
        load(vbe - h, vbc, vsub - h);
        const double qbeE0 = q.qbe, qcs0 = q.qcs;
        load(vbe, vbc + h, vsub);
        const double qbeC1 = q.qbe, qbc1 = q.qbc;
        load(vbe, vbc - h, vsub);
        const double qbeC0 = q.qbe, qbc0 = q.qbc;
        load(vbe, vbc, vsub);
        EXPECT_TRUE(Close(q.capbe, (qbeE1 - qbeE0) / (2 * h), 1e-4, 1e-18)) << vbe;
        EXPECT_TRUE(Close(q.geqcb, (qbeC1 - qbeC0) / (2 * h), 1e-4, 1e-18)) << vbe;
        EXPECT_TRUE(Close(q.capbc, (qbc1 - qbc0) / (2 * h), 1e-4, 1e-18)) << vbc;
        EXPECT_TRUE(Close(q.capsub, (qcs1 - qcs0) / (2 * h), 1e-4, 1e-18)) << vsub;
    }
}

TEST_F(JunctionDeviceTest, BjtReservesItsSeriesResistancesOnlyWhenPresent)
{
    Build("* q\nV1 1 0 5\nR1 1 2 100k\nR2 1 3 1k\nQ1 3 2 0 QA\nQ2 3 2 0 QB\n.MODEL QA NPN()\n"
          ".MODEL QB NPN(RE=1 RC=10 RB=50)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
    EXPECT_EQ(AnalogSolver().devices.bjts.at(0).stamps.count, 17);
    EXPECT_EQ(AnalogSolver().devices.bjts.at(1).stamps.count, 23);
}

TEST_F(JunctionDeviceTest, LateralPnpConductsIntoItsSubstrate)
{
    Build("* l\nVE 1 0 5\nRE 1 2 1k\nRB 3 0 100k\nVC 4 0 0\nVS 5 0 5\nQ1 4 3 2 5 QL\n"
          ".MODEL QL LPNP(IS=1e-15 BF=50 ISS=1e-13)\n.OP\n.END\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
    const BjtDevice& q = Bjt();
    ASSERT_GT(V(5), V(q.internalBase));
    // The substrate diode (substrate to base) conducts forward; its current is reported
    // without the polarity sign, and the base carries it.
    EXPECT_GT(q.csub, 0.0);
    EXPECT_DOUBLE_EQ(q.is, q.csub);
    EXPECT_NEAR(q.ie, -(q.ic + q.ib + q.is), 1e-18);
}

// ---- temperature -------------------------------------------------------------------------

TEST(JunctionTemperatureLaws, SaturationFactorAndCriticalVoltage)
{
    EXPECT_EQ(SaturationCurrentTempFactor(1.0, 1.11, 1.0, 0.025, 3.0), 1.0);
    const double r = 400.15 / 300.15, vt = 1.3806226e-23 * 400.15 / 1.6021918e-19;
    EXPECT_TRUE(Close(SaturationCurrentTempFactor(r, 1.11, 1.0, vt, 3.0), std::pow(r, 3.0) * std::exp((r - 1.0) * 1.11 / vt), 1e-12, 0));
    // An emission coefficient below 0.1 counts as 0.1.
    EXPECT_EQ(SaturationCurrentTempFactor(r, 1.11, 0.05, vt, 3.0), SaturationCurrentTempFactor(r, 1.11, 0.1, vt, 3.0));
    EXPECT_FLOAT_EQ(CriticalJunctionVoltage(0.025, 1e-14f), static_cast<float>(0.025 * std::log(0.025 / (1e-14 * std::sqrt(2.0)))));
    EXPECT_FLOAT_EQ(CriticalJunctionVoltage(1e-7, 0.0f), 0.1f);
}

TEST_F(JunctionDeviceTest, DiodeModelAtTemperatureFollowsTheHandLaws)
{
    Build("* d\nV1 1 0 1\nD1 1 0 DM\n.MODEL DM D(IS=1e-14 N=1.2 CJO=2p VJ=0.8 M=0.5 RS=10 TRS1=0.01 BV=20 TBV1=-1e-3 IKF=1m TIKF=2e-3 EG=1.11 XTI=3)\n"
          ".OP\n.END\n",
          127.0);
    const EvaluatedModel& m = *Diode().model;
    const double t1 = 300.15, t2 = 400.15, r = t2 / t1;
    const double k = 1.3806226e-23, q = 1.6021918e-19;
    const double vt2 = k * t2 / q;
    EXPECT_TRUE(Close(m.Param(diode_param::kIs), 1e-14 * std::pow(r, 3.0 / 1.2) * std::exp((r - 1.0) * 1.11 / (1.2 * vt2)), 1e-6, 0));
    EXPECT_TRUE(Close(m.Param(diode_param::kRs), 10.0 * 2.0, 1e-6, 0));
    EXPECT_TRUE(Close(m.Param(diode_param::kIkf), 1e-3 * 1.2, 1e-6, 0));
    // The junction potential by the silicon band gap: EG(T) = 1.16 - 7.02e-4 T^2 / (T + 1108).
    auto eg = [](double t) { return 1.16 - 7.02e-4 * t * t / (t + 1108.0); };
    auto pbfact = [&](double t) { return eg(t) - 3.0 * k * t / q * std::log(t / 300.15) - 1.1150877 * t / 300.15; };
    const double pbo = (0.8 - pbfact(t1)) / (t1 / 300.15);
    const double vj = t2 / 300.15 * pbo + pbfact(t2);
    EXPECT_TRUE(Close(m.Param(diode_param::kVj), vj, 1e-6, 0));
    const double cap = 2e-12 / (1.0 + 0.5 * (4e-4 * (t1 - 300.15) - (0.8 - pbo) / pbo)) *
                       (1.0 + 0.5 * (4e-4 * (t2 - 300.15) - (vj - pbo) / pbo));
    EXPECT_TRUE(Close(m.Param(diode_param::kCjo), cap, 1e-6, 0));
    EXPECT_TRUE(Close(m.Param(diode_param::kFc), 0.5 * vj, 1e-6, 0));  // the knee moves with VJ
    EXPECT_TRUE(Close(Diode().vt, vt2, 1e-9, 0));
}

TEST_F(JunctionDeviceTest, BjtModelAtTemperatureFollowsTheHandLaws)
{
    Build("* q\nV1 1 0 1\nQ1 1 1 0 QT 2\n.MODEL QT NPN(IS=1e-16 BF=100 BR=2 XTB=1.5 XTI=3 EG=1.11 ISE=1e-14 NE=2 RE=2 TRE1=0.01"
          " RC=10 RB=100 TRB1=0.005 IKF=10m)\n.OP\n.END\n",
          77.0);
    const BjtDevice& q = Bjt();
    const EvaluatedModel& m = *q.model;
    const double r = 350.15 / 300.15, vt2 = 1.3806226e-23 * 350.15 / 1.6021918e-19;
    EXPECT_TRUE(Close(m.Param(bjt_param::kBf), 100.0 * std::pow(r, 1.5), 1e-6, 0));
    EXPECT_TRUE(Close(m.Param(bjt_param::kIs), 1e-16 * std::pow(r, 3.0) * std::exp((r - 1.0) * 1.11 / vt2), 1e-6, 0));
    // (T/TNOM)^(XTI/NE) over the beta factor (T/TNOM)^XTB: r^1.5 / r^1.5.
    EXPECT_TRUE(Close(m.Param(bjt_param::kIse), 1e-14 * std::exp((r - 1.0) * 1.11 / (2.0 * vt2)), 1e-6, 0));
    EXPECT_TRUE(Close(q.emitterConductance, 2.0 * 0.5 / 1.5, 1e-6, 0));  // area 2, RE 2 ohm x (1 + 0.01 x 50)
    EXPECT_TRUE(Close(m.Param(bjt_param::kRb), 100.0 * 1.25, 1e-6, 0));
    EXPECT_TRUE(Close(q.invIkfArea, 1.0 / (10e-3 * 2.0), 1e-6, 0));
    EXPECT_TRUE(Close(q.vtNf, vt2, 1e-9, 0));
}

TEST_F(JunctionDeviceTest, CasesAtTwoTemperaturesGiveTheFirstResultAgain)
{
    Build("* c\nV1 1 0 1\nD1 1 0 DM\nQ1 1 1 0 QT\n.MODEL DM D(IS=1e-14 CJO=2p RS=5 BV=30)\n"
          ".MODEL QT NPN(IS=1e-16 VAF=50 VAR=10 IKF=10m IKR=1m ISE=3 RE=2 RC=10 RB=100 VTF=2 TF=1n PTF=30 CJE=1p CJC=1p)\n"
          ".OP\n.END\n");
    const std::vector<float> diode = Diode().model->params, bjt = Bjt().model->params;
    const double vcrit = Bjt().vcritEmitter, gc = Bjt().collectorConductance;
    Prepare(150.0);
    EXPECT_NE(Diode().model->params, diode);
    Prepare(27.0);
    EXPECT_EQ(Diode().model->params, diode);
    EXPECT_EQ(Bjt().model->params, bjt);
    EXPECT_EQ(Bjt().vcritEmitter, vcrit);
    EXPECT_EQ(Bjt().collectorConductance, gc);
    // The conversions ran once: 1/VAF, RE as a conductance, ISE as a multiple of IS.
    EXPECT_FLOAT_EQ(bjt[bjt_param::kVaf], 1.0f / 50.0f);
    EXPECT_FLOAT_EQ(bjt[bjt_param::kRe], 0.5f);
    EXPECT_FLOAT_EQ(bjt[bjt_param::kIse], 3e-16f);
}

TEST_F(JunctionDeviceTest, DevicesSharingAModelEqualDevicesWithPrivateCopies)
{
    Build("* s\nV1 1 0 5\nR1 1 2 1k\nD1 2 0 DS\nR2 1 3 1k\nD2 3 0 DS\nR3 1 4 1k\nD3 4 0 DS\n"
          "R4 1 5 1k\nD4 5 0 DP\n.MODEL DS D(IS=1e-14 RS=3 XTI=3)\n.MODEL DP D(IS=1e-14 RS=3 XTI=3)\n.OP\n.END\n",
          60.0);
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
    EXPECT_EQ(Diode(0).model->params, Diode(3).model->params);
    for (int node : {2, 3, 4}) EXPECT_NEAR(V(node), V(5), 1e-12) << node;
}

TEST_F(JunctionDeviceTest, JunctionPotentialThatWouldTurnNegativeIsHeldAndReported)
{
    Build("* h\nV1 1 0 1\nD1 1 0 DH\n.MODEL DH D(IS=1e-14 VJ=0.3 CJO=1p)\n.OP\n.END\n", 900.0);
    const EvaluatedModel& m = *Diode().model;
    EXPECT_FLOAT_EQ(m.Param(diode_param::kVj), static_cast<float>(kSmallestJunctionPotential));
    EXPECT_GT(m.Param(diode_param::kFc), 0.0f);
    EXPECT_TRUE(std::isfinite(m.Param(diode_param::kDepCapC)));
    bool reported = false;
    for (const DeferredWarning& w : Models().deferredWarnings)
        reported = reported || (w.kind == kWarnNegativeJunctionPotential && w.temperature == 900.0);
    EXPECT_TRUE(reported);
}

TEST_F(JunctionDeviceTest, SeriesConductanceWithANegativeTemperatureFactorIsHeldAtGmax)
{
    Build("* g\nV1 1 0 1\nQ1 1 1 0 QG\n.MODEL QG NPN(RE=2 TRE1=-0.1 RC=5 TRC1=-0.05)\n.OP\n.END\n", 47.0);
    const double gmax = 1.0 / GlobalOptions().values.rmin;
    // 1 - 0.1 x 20 = -1 and 1 - 0.05 x 20 = 0: neither may turn the resistance negative.
    EXPECT_DOUBLE_EQ(Bjt().emitterConductance, gmax);
    EXPECT_DOUBLE_EQ(Bjt().collectorConductance, gmax);
}

// ---- the default library -----------------------------------------------------------------

std::vector<std::string> LibraryModels(const char* kind)
{
    std::ifstream in(std::string(KQ5_SOURCE_DIR) + "/data/NOM.LIB");
    std::vector<std::string> models;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("+", 0) == 0 && !models.empty() && !models.back().empty()) {
            models.back() += "\n" + line;
            continue;
        }
        std::istringstream words(line);
        std::string dot, name, type;
        words >> dot >> name >> type;
        const bool wanted = (dot == ".MODEL" || dot == ".model") && type.rfind(kind, 0) == 0 &&
                            (type.size() == std::string(kind).size() || type[std::string(kind).size()] == '(');
        models.push_back(wanted ? line : std::string());
    }
    std::erase(models, std::string());
    return models;
}

TEST_F(JunctionDeviceTest, EveryLibraryDiodeTransistorAndJfetSolvesAnOperatingPoint)
{
    const std::vector<std::string> diodes = LibraryModels("D"), npn = LibraryModels("NPN"), pnp = LibraryModels("PNP"),
                                   njf = LibraryModels("NJF");
    ASSERT_GT(diodes.size(), 5u);
    ASSERT_GT(npn.size() + pnp.size(), 5u);
    auto name = [](const std::string& model) {
        std::istringstream words(model);
        std::string dot, n;
        words >> dot >> n;
        return n;
    };
    int index = 0;
    auto solve = [&](const std::string& model, const std::string& circuit) {
        SCOPED_TRACE(model);
        // A fresh document per model: the build numbers every circuit from scratch.
        TearDown();
        SetUp();
        ASSERT_EQ(BuildText("* " + std::to_string(++index) + "\n" + circuit + model + "\n.OP\n.END\n", kAnalysisDc), 0)
            << LastShownText();
        Prepare(27.0);
        ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
        for (double v : SolutionVector()) EXPECT_TRUE(std::isfinite(v));
    };
    for (const std::string& d : diodes)
        solve(d, "V1 1 0 5\nR1 1 2 1k\nD1 2 0 " + name(d) + "\nV2 3 0 -5\nR2 3 4 1k\nD2 0 4 " + name(d) + "\n");
    for (const std::string& q : npn)
        solve(q, "VCC 1 0 10\nRB 1 2 470k\nRC 1 3 2k\nQ1 3 2 0 " + name(q) + "\n");
    for (const std::string& q : pnp)
        solve(q, "VEE 1 0 -10\nRB 1 2 470k\nRC 1 3 2k\nQ1 3 2 0 " + name(q) + "\n");
    for (const std::string& j : njf)
        solve(j, "VDD 1 0 15\nRD 1 2 2.2k\nRS 3 0 500\nJ1 2 0 3 " + name(j) + "\n");
}

}  // namespace
}  // namespace kq5
