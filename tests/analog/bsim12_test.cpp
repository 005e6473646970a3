// The LEVEL 4 (BSIM1) and LEVEL 5 (BSIM2) MOSFETs: conductances and capacitances against finite
// differences of the evaluated currents and charges, the whole load against finite differences
// of its terminal currents in both orientations, and the preparation's binning, temperature
// laws, clamps and refusals against hand values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "device_build_test_support.h"
#include "devices/bsim12_eval.h"
#include "devices/bsim12_load.h"
#include "netlist/bsim12_values.h"
#include "netlist/fet_devices.h"
#include "analog/stamp_ac.h"

namespace kq5 {
namespace {

constexpr const char* kBsim1Card =
    "LEVEL=4 VFB=-0.79 VFBL=-0.16 VFBW=0.37 PHI=0.8 K1=1.15 K1L=0.0136 K1W=-0.43 K2=0.0616 ETA=0.002 X2E=-1e-3 "
    "X3E=5e-4 MUZ=612 DL=-0.5 DW=0.7 U0=0.0537 X2U0=-0.016 U1=0.2 X2U1=-0.02 X3U1=0.01 X2MZ=18.7 MUS=599 X2MS=8.9 "
    "X3MS=7 TOX=0.03 VDD=5 N0=1.2 NB=0.1 ND=0.05 CGDO=3e-10 CGSO=3e-10 CGBO=5e-10 CJ=4e-4 CJSW=3e-10";

constexpr const char* kBsim2Card =
    "LEVEL=5 VFB=-0.9 PHI=0.75 K1=0.9 K2=0.05 ETA0=0.005 ETAB=-0.002 MU0=450 MU0B=-5 MUS0=600 MUSB=-10 MU20=1.8 "
    "MU2B=0.1 MU2G=0.05 MU30=8 MU3B=-0.5 MU3G=-1 MU40=-0.5 MU4B=0.05 MU4G=0.1 UA0=0.15 UAB=0.01 UB0=0.02 UBB=0.002 "
    "U10=0.2 U1B=-0.01 U1D=0.5 N0=1.4 NB=0.5 ND=0.02 VOF0=1.8 VOFB=0.1 VOFD=0.05 TOX=0.02 VDD=5 VGG=5 VBB=-5 "
    "CGDO=3e-10 CGSO=3e-10 CGBO=5e-10 CJ=4e-4 CJSW=3e-10";

using Evaluator = Bsim12Result (*)(const Bsim12Size&, double, double, double, bool);

class Bsim12Test : public DeviceBuildTest {
protected:
    MosfetDevice& BuildDevice(const std::string& card, const std::string& type = "NMOS",
                              const std::string& size = "L=2u W=10u")
    {
        Build("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MM " + size + " AD=20p AS=20p PD=24u PS=24u\n.MODEL MM " + type +
              " (" + card + ")\n.END\n");
        auto records = ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList));
        MosfetDevice& d = *records.begin();
        EXPECT_NE(d.bsim12, nullptr);
        return d;
    }

    // gm, gds and gmbs against central differences of the current at random biases.
    static void CheckConductances(const Bsim12Size& p, Evaluator evaluate, double vgLow, double vgHigh,
                                  double vdHigh, double vbLow, int seed, bool heldAtZero)
    {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> vg(vgLow, vgHigh), vd(0.0, vdHigh), vb(vbLow, -0.05);
        for (int k = 0; k < 300; ++k) {
            const double vgs = vg(random), vds = vd(random), vbs = vb(random), h = 1e-6;
            const Bsim12Result r = evaluate(p, vds, vbs, vgs, false);
            auto ids = [&](double g, double dd, double b) { return evaluate(p, dd, b, g, false).cdrain; };
            const double gm = (ids(vgs + h, vds, vbs) - ids(vgs - h, vds, vbs)) / (2 * h);
            const double gds = (ids(vgs, vds + h, vbs) - ids(vgs, vds - h, vbs)) / (2 * h);
            const double gmbs = (ids(vgs, vds, vbs + h) - ids(vgs, vds, vbs - h)) / (2 * h);
            const double floor = 1e-12 + 1e-4 * std::fabs(r.cdrain);
            // BSIM1 holds a slope below zero at zero, BSIM2 only gds (at 1e-20).
            const double low = heldAtZero ? 0.0 : -1e300;
            EXPECT_TRUE(Close(r.gm, std::max(gm, low), 1e-4, floor)) << "gm at " << vgs << " " << vds << " " << vbs;
            EXPECT_TRUE(Close(r.gds, std::max(gds, heldAtZero ? 0.0 : 1e-20), 1e-4, floor)) << "gds at " << vgs << " " << vds << " " << vbs;
            EXPECT_TRUE(Close(r.gmbs, std::max(gmbs, low), 1e-4, floor)) << "gmbs at " << vgs << " " << vds << " " << vbs;
            EXPECT_GE(r.cdrain, 0.0);
        }
    }

    // The nine capacitances against central differences of the charges, the bulk held at 0.
    static void CheckCapacitances(const Bsim12Size& p, Evaluator evaluate, double vgLow, double vgHigh,
                                  double vdHigh, int seed)
    {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> vg(vgLow, vgHigh), vd(0.0, vdHigh), vb(-3.0, -0.05);
        for (int k = 0; k < 300; ++k) {
            const double vgs = vg(random), vds = vd(random), vbs = vb(random), h = 1e-6;
            const Bsim12Result r = evaluate(p, vds, vbs, vgs, true);
            auto at = [&](double g, double dr, double s) { return evaluate(p, dr - s, -s, g - s, true); };
            const double vs = -vbs, vgT = vgs + vs, vdT = vds + vs;
            auto slope = [&](int which, int terminal) {
                double plus[3] = {vgT, vdT, vs}, minus[3] = {vgT, vdT, vs};
                plus[terminal] += h;
                minus[terminal] -= h;
                const Bsim12Result a = at(plus[0], plus[1], plus[2]), b = at(minus[0], minus[1], minus[2]);
                const double qa = which == 0 ? a.qgate : which == 1 ? a.qbulk : a.qdrain;
                const double qb = which == 0 ? b.qgate : which == 1 ? b.qbulk : b.qdrain;
                return (qa - qb) / (2 * h);
            };
            const double expected[3][3] = {{r.cggb, r.cgdb, r.cgsb}, {r.cbgb, r.cbdb, r.cbsb}, {r.cdgb, r.cddb, r.cdsb}};
            for (int which = 0; which < 3; ++which)
                for (int terminal = 0; terminal < 3; ++terminal)
                    EXPECT_TRUE(Close(expected[which][terminal], slope(which, terminal), 1e-3, 1e-19))
                        << "q" << which << " t" << terminal << " at " << vgs << " " << vds << " " << vbs;
        }
    }
};

// The conductances are the exact slopes of the drain current from cut-off through weak
// inversion, the linear and saturation regions, below and above VDD, with body bias.
TEST_F(Bsim12Test, Bsim1ConductancesAreTheSlopesOfTheCurrent)
{
    MosfetDevice& d = BuildDevice(kBsim1Card);
    CheckConductances(*d.bsim12, EvaluateBsim1, -0.5, 5.0, 7.0, -3.0, 3, true);
}

// The nine capacitances are the slopes of the three charges, in accumulation, depletion, triode
// and saturation, for the 40/60 and the 0/100 partition.
TEST_F(Bsim12Test, Bsim1CapacitancesAreTheSlopesOfTheCharges)
{
    for (const char* xpart : {" XPART=0", " XPART=1"}) {
        MosfetDevice& d = BuildDevice(std::string(kBsim1Card) + xpart);
        CheckCapacitances(*d.bsim12, EvaluateBsim1, -3.0, 5.0, 5.0, 5);
        // Saturation: the 0/100 partition gives the drain no charge, 40/60 gives it 4/15.
        const Bsim12Result r = EvaluateBsim1(*d.bsim12, 4.0, 0.0, 2.5, true);
        if (xpart[7] == '1') EXPECT_EQ(r.qdrain, 0.0);
        else EXPECT_LT(r.qdrain, 0.0);
        // Without charge storage every charge and capacitance is 0.
        const Bsim12Result none = EvaluateBsim1(*d.bsim12, 1.0, -1.0, 2.5, false);
        EXPECT_EQ(none.qgate, 0.0);
        EXPECT_EQ(none.cggb, 0.0);
        EXPECT_EQ(none.cdgb, 0.0);
    }
}

// Below threshold only the weak-inversion current flows; with N0 >= 200 none does.
TEST_F(Bsim12Test, Bsim1WeakInversionAndItsSwitch)
{
    const Bsim12Size& weak = *BuildDevice(kBsim1Card).bsim12;
    const Bsim12Result below = EvaluateBsim1(weak, 1.0, 0.0, 0.2, false);
    EXPECT_GT(below.cdrain, 0.0);
    EXPECT_EQ(below.vdsat, 0.0);
    const Bsim12Size& strong = *BuildDevice(std::string(kBsim1Card) + " N0=200").bsim12;
    EXPECT_EQ(EvaluateBsim1(strong, 1.0, 0.0, 0.2, false).cdrain, 0.0);
}

// Binning, the oxide capacitance, the mobility scaling, clamps and the threshold of a card
// against hand values.
TEST_F(Bsim12Test, Bsim1PreparationAgainstHandValues)
{
    const MosfetDevice& d =
        BuildDevice("LEVEL=4 VFB=-0.8 VFBL=0.2 VFBW=-0.3 PHI=0.05 K1=0.6 K1W=-2 K2=0.1 K2L=-1 MUZ=600 X2MZ=10 "
                    "LX2MZ=4 MUS=500 X3MS=-2 U0=0.05 LU0=0.1 TOX=0.02 VDD=5 DL=0.5 DW=1",
                    "NMOS", "L=2.5u W=11u");
    const Bsim12Size& p = *d.bsim12;
    EXPECT_DOUBLE_EQ(p.leff, 2e-6);
    EXPECT_DOUBLE_EQ(p.weff, 1e-5);
    EXPECT_NEAR(p.vfb, -0.8 + 0.2 / 2.0 - 0.3 / 10.0, 1e-7);
    EXPECT_EQ(p.phi, 0.1);   // held at 0.1
    EXPECT_NEAR(p.k1, 0.6 - 2.0 / 10.0, 1e-7);
    EXPECT_EQ(p.k2, 1e-50);  // 0.1 - 1/2 is negative
    EXPECT_NEAR(p.ugs, 0.05 + 0.1 / 2.0, 1e-7);  // model values are floats
    const double cox = 3.453e-13 / (0.02 * 1e-4);
    EXPECT_NEAR(p.cox, cox, cox * 1e-7);
    const double coxWoverL = cox * 1e-5 / 2e-6;
    EXPECT_NEAR(p.betaZero, 600 * coxWoverL, 1e-6 * 600 * coxWoverL);
    EXPECT_NEAR(p.betaZeroB, (10 + 4 / 2.0) * coxWoverL, 1e-6 * 12 * coxWoverL);
    EXPECT_EQ(p.betaVddD, 0.0);  // a negative X3MS gives none
    EXPECT_NEAR(d.values.tvto, p.vfb + 0.1 + p.k1 * std::sqrt(0.1) - p.k2 * 0.1, 1e-9);
    EXPECT_NEAR(d.values.cgsov, 0.0, 1e-30);
    // A p-channel card is typed by its model type.
    EXPECT_EQ(BuildDevice(kBsim1Card, "PMOS").bsim12->type, -1.0);
}

// The junction laws at a device temperature away from the measurement temperature.
TEST_F(Bsim12Test, Bsim1TemperatureOfTheJunctions)
{
    const MosfetDevice& nominal = BuildDevice(std::string(kBsim1Card) + " JS=1e-4");
    const double isat27 = nominal.values.isats, vt27 = nominal.bsim12->vt;
    EXPECT_NEAR(isat27, 1e-4 * 20e-12, 2e-22);  // JS times AS, the factor exactly 1 at TNOM
    EXPECT_NEAR(nominal.bsim12->pb, 0.8, 1e-7);
    const MosfetDevice& hot = BuildDevice(std::string(kBsim1Card) + " JS=1e-4 T_ABS=127");
    EXPECT_NEAR(hot.bsim12->tdev, 127.0, 1e-9);
    EXPECT_NEAR(hot.bsim12->vt, vt27 * 400.15 / 300.15, 1e-12);
    // The silicon band-gap law: egfet(T) at 300.15 K and 400.15 K.
    auto eg = [](double t) { return 1.16 - 0.000702 * t * t / (t + 1108.0); };
    const double factor = std::exp(eg(300.15) / vt27 - eg(400.15) / hot.bsim12->vt);
    EXPECT_NEAR(hot.values.isats / isat27, factor, factor * 1e-9);
    EXPECT_LT(hot.bsim12->pb, 0.8);
}

// BSIM2 conductances: strong inversion, the cubic join, subthreshold, linear and saturated,
// with and without the drain-current enhancement.
TEST_F(Bsim12Test, Bsim2ConductancesAreTheSlopesOfTheCurrent)
{
    for (const char* extra : {"", " AI0=2 AIB=0.1 BI0=8 BIB=0.2"}) {
        MosfetDevice& d = BuildDevice(std::string(kBsim2Card) + extra);
        CheckConductances(*d.bsim12, EvaluateBsim2, 0.0, 5.0, 7.0, -3.0, 13, false);
    }
}

TEST_F(Bsim12Test, Bsim2CapacitancesAreTheSlopesOfTheCharges)
{
    MosfetDevice& d = BuildDevice(kBsim2Card);
    CheckCapacitances(*d.bsim12, EvaluateBsim2, -3.0, 5.0, 5.0, 17);
}

// The bias bounds, the flags of XPART and the floors of the outputs.
TEST_F(Bsim12Test, Bsim2BoundsAndPartitionFlags)
{
    const Bsim12Size& p = *BuildDevice(kBsim2Card).bsim12;
    // Beyond 2 VDD the device is evaluated at 2 VDD.
    EXPECT_EQ(EvaluateBsim2(p, 12.0, 0.0, 3.0, false).cdrain, EvaluateBsim2(p, 10.0, 0.0, 3.0, false).cdrain);
    EXPECT_EQ(EvaluateBsim2(p, 2.0, -12.0, 3.0, false).cdrain, EvaluateBsim2(p, 2.0, -10.0, 3.0, false).cdrain);
    // A current of zero or less is returned as 1e-50.
    EXPECT_EQ(EvaluateBsim2(p, 0.0, 0.0, 3.0, false).cdrain, 1e-50);
    // XPART = 2 switches the charges off; XPART = -3 reports gds as the current.
    const Bsim12Size& off = *BuildDevice(std::string(kBsim2Card) + " XPART=2").bsim12;
    const Bsim12Result none = EvaluateBsim2(off, 2.0, 0.0, 3.0, true);
    EXPECT_EQ(none.qgate, 0.0);
    EXPECT_EQ(none.cggb, 0.0);
    const Bsim12Size& diagnostic = *BuildDevice(std::string(kBsim2Card) + " XPART=-3").bsim12;
    const Bsim12Result g = EvaluateBsim2(diagnostic, 2.0, 0.0, 3.0, false);
    EXPECT_EQ(g.cdrain, g.gds);
}

// VBB left out bounds the body bias at -10 V, not at +10 V; VBB = 0 skips the mobility bound.
TEST_F(Bsim12Test, Bsim2BodySupplyDefault)
{
    std::string card = kBsim2Card;
    card.erase(card.find("VBB=-5 "), 7);
    const Bsim12Size& p = *BuildDevice(card).bsim12;
    EXPECT_EQ(p.vbb2, -10.0);
    EXPECT_LT(EvaluateBsim2(p, 2.0, -2.0, 3.0, false).cdrain, EvaluateBsim2(p, 2.0, 0.0, 3.0, false).cdrain);
    const Bsim12Size& zero = *BuildDevice(std::string(kBsim2Card) + " VBB=0").bsim12;
    EXPECT_TRUE(std::isfinite(zero.betasB));
    EXPECT_EQ(zero.vbb2, 0.0);
}

// The preparation of a LEVEL 5 card against hand values.
TEST_F(Bsim12Test, Bsim2PreparationAgainstHandValues)
{
    // MUS0 below 1.01 MU0 is raised to it; the bound at VBB lifts MUSB.
    const MosfetDevice& d = BuildDevice("LEVEL=5 MU0=400 MUS0=100 MUSB=-1 VBB=5 N0=-1 PHI=0.81 K1=0.5 K2=0.1 "
                                        "VFB=-0.7 TOX=0.02 DL=0.5 DW=1 VFBL=0.3",
                                        "NMOS", "L=2.5u W=11u");
    const Bsim12Size& p = *d.bsim12;
    const double cox = 3.453e-13 / (0.02 * 1e-4), coxWoverL = cox * 1e-5 / 2e-6;
    EXPECT_NEAR(p.betas0, 404.0 * coxWoverL, 404.0 * coxWoverL * 1e-6);
    // tmp = 4 - 0 = 4, -MUSB VBB = 5 > 4: MUSB = -4/5.
    EXPECT_NEAR(p.betasB, -0.8 * coxWoverL, 0.8 * coxWoverL * 1e-6);
    EXPECT_EQ(p.n0, 0.0);
    EXPECT_NEAR(p.vfb, -0.7 + 0.3 / 2.0, 1e-7);
    EXPECT_NEAR(p.sqrtPhi, std::sqrt(0.81), 1e-7);
    EXPECT_NEAR(p.coxWL, cox * 2e-6 * 1e-5 * 1e4, cox * 2e-6 * 1e-5 * 1e4 * 1e-7);
    EXPECT_NEAR(d.values.tvto, p.vfb + p.phi + 0.5 * p.sqrtPhi - 0.1 * p.phi, 1e-6);
    EXPECT_NEAR(p.vtm, 8.625e-5 * 300.15, 1e-12);
}

// The AC current pass reads the complex node voltages of the solve: with only an output
// conductance the drain current is gds times the complex drain-source voltage.
TEST_F(Bsim12Test, AcCurrentsComeFromTheComplexSolution)
{
    MosfetDevice& d = BuildDevice(kBsim1Card);
    ASSERT_EQ(d.internalDrain, d.drain);
    Bsim12Size& p = *d.bsim12;
    p = Bsim12Size{p.level};
    MosfetLoadValues& v = d.values;
    v.gm = v.gmbs = v.gbd = v.gbs = 0.0;
    v.gds = 1e-3;
    v.cgdov = v.cgsov = v.cgbov = v.capbd = v.capbs = 0.0;
    std::vector<double> solution(2 * 8, 0.0);
    solution[2 * static_cast<std::size_t>(d.drain)] = 1.0;
    solution[2 * static_cast<std::size_t>(d.drain) + 1] = 2.0;
    AcStamps().solution = solution;
    EXPECT_EQ(AcLoadMosLevel45(kAcCurrentPass), 0);
    ResetAcStampStateForTests();
    EXPECT_NEAR(v.id, 1e-3, 1e-15);
    EXPECT_NEAR(v.idIm, 2e-3, 1e-15);
    EXPECT_NEAR(v.is, -1e-3, 1e-15);
    EXPECT_NEAR(v.isIm, -2e-3, 1e-15);
}

// Instances of one model keep their own values, and a second run's preparation starts from the
// model as given (the series resistances are not converted twice).
TEST_F(Bsim12Test, InstancesOfOneModelDoNotShareOrCompoundTheirValues)
{
    Build(std::string("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MM L=2u W=10u\nM2 2 1 0 0 MM L=4u W=20u\n.MODEL MM NMOS (") +
          kBsim1Card + " RD=10 JS=0)\n.END\n");
    auto records = ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList));
    auto it = records.begin();
    MosfetDevice& first = *it;
    MosfetDevice& second = *++it;
    const double beta1 = first.bsim12->betaZero, beta2 = second.bsim12->betaZero;
    EXPECT_NE(first.bsim12->leff, second.bsim12->leff);
    EXPECT_NEAR(first.values.gd, 0.1, 1e-7);
    Prepare(27.0);
    EXPECT_EQ(first.bsim12->betaZero, beta1);
    EXPECT_EQ(second.bsim12->betaZero, beta2);
    EXPECT_NEAR(first.values.gd, 0.1, 1e-7);
}

// M=3 is three devices in parallel: three times the current, the charges and the overlaps of
// one, in weak inversion, the linear region and saturation (the card's DW and width terms make
// a device three times as wide differ).
TEST_F(Bsim12Test, AMultiplierIsThatManyDevicesInParallel)
{
    for (auto [card, evaluate] : {std::pair<const char*, Evaluator>{kBsim1Card, EvaluateBsim1}, {kBsim2Card, EvaluateBsim2}}) {
        const MosfetDevice& one = BuildDevice(card);
        const Bsim12Size single = *one.bsim12;
        const double overlap = one.values.cgsov;
        const MosfetDevice& three = BuildDevice(card, "NMOS", "L=2u W=10u M=3");
        EXPECT_NEAR(three.values.cgsov, 3.0 * overlap, 1e-9 * overlap);
        for (auto [vds, vgs] : {std::pair{0.3, 2.5}, std::pair{4.0, 2.5}, std::pair{2.0, 0.2}}) {
            const Bsim12Result a = evaluate(single, vds, -1.0, vgs, true);
            const Bsim12Result b = evaluate(*three.bsim12, vds, -1.0, vgs, true);
            EXPECT_NEAR(b.cdrain, 3.0 * a.cdrain, 1e-9 * std::fabs(a.cdrain)) << card << " " << vds << " " << vgs;
            EXPECT_NEAR(b.gm, 3.0 * a.gm, 1e-9 * std::fabs(a.gm)) << vds << " " << vgs;
            EXPECT_NEAR(b.qgate, 3.0 * a.qgate, 1e-9 * std::fabs(a.qgate)) << vds << " " << vgs;
        }
        // Junction values given for the device rather than per area, and the gate-bulk overlap.
        const std::string junctions = std::string(card) + " JS=0 IS=1e-13 CBD=10f CBS=12f";
        const MosfetLoadValues j1 = BuildDevice(junctions).values;
        const MosfetLoadValues& j3 = BuildDevice(junctions, "NMOS", "L=2u W=10u M=3").values;
        EXPECT_DOUBLE_EQ(j3.isatd, 3.0 * j1.isatd) << card;
        EXPECT_DOUBLE_EQ(j3.cbd0, 3.0 * j1.cbd0) << card;
        EXPECT_DOUBLE_EQ(j3.cbs0, 3.0 * j1.cbs0) << card;
        EXPECT_DOUBLE_EQ(j3.cgbov, 3.0 * j1.cgbov) << card;
    }
}

// A non-positive effective length is reported and stops the run's preparation at once.
TEST_F(Bsim12Test, NonPositiveEffectiveSizeStopsThePreparation)
{
    for (const char* level : {"LEVEL=4 TOX=0.02 K1=0.5 MUZ=600 MUS=600 U0=0.05 VDD=5 DL=1", "LEVEL=5 DW=6"}) {
        ASSERT_EQ(BuildText(std::string("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MM L=1u W=5u\n.MODEL MM NMOS (") + level +
                                ")\n.END\n",
                            kAnalysisDc),
                  0);
        ASSERT_EQ(SetCircuitTemperature(27.0), 0);
        EXPECT_EQ(PrepareModelsAtTemperature(27.0), kMsgAlreadyReported);
    }
}

}  // namespace
}  // namespace kq5
