// MOSFETs of LEVEL 1 to 3 on built circuits: the channel conductances of every level against
// finite differences of its current (both polarities, both orientations, every region), the
// junction capacitances against the charges, the temperature laws against hand values, and the
// guards of the preparation.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>

#include "../netlist/build_test_support.h"
#include "solver_test_support.h"
#include "analog/analog_state.h"
#include "analog/device_dispatch.h"
#include "devices/temperature_setup.h"
#include "core/device_lists.h"
#include "netlist/fet_devices.h"
#include "devices/model_temperature.h"
#include "devices/mosfet_load.h"
#include "devices/mosfet_model.h"
#include "netlist/model_statements.h"

namespace kq5 {
namespace {

class MosfetTest : public testing::BuildTest {
protected:
    // Builds the netlist and prepares it at the temperature; the n-th MOSFET of the list.
    MosfetDevice* Build(const std::string& netlist, double celsius = 27.0)
    {
        EXPECT_EQ(BuildText(netlist), 0) << LastShownText();
        EXPECT_EQ(SetCircuitTemperature(celsius), 0);
        EXPECT_EQ(PrepareModelsAtTemperature(celsius), 0);
        return Device(0);
    }
    MosfetDevice* Device(int n)
    {
        int i = 0;
        for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList)))
            if (i++ == n) return &d;
        return nullptr;
    }
    static std::string Circuit(const std::string& model, const std::string& instance = "L=2u W=20u")
    {
        return "* mosfet\nVD 1 0 1\nVG 2 0 1\nVB 3 0 0\nM1 1 2 0 3 MM " + instance + "\n.model MM " + model +
               "\n.end\n";
    }
};

// The channel current of the device's own frame (lvgs, lvds, lvbs): the orientation follows
// the sign of lvds as the load sets it.
MosChannel Channel(MosfetDevice& d, double lvgs, double lvds, double lvbs)
{
    if (lvds >= 0.0) {
        d.mode = 1.0;
        return EvaluateMosChannel(lvgs, lvgs - lvds, lvds, lvbs - lvds, lvbs, d);
    }
    // Reversed: the frame's gate and bulk voltages are taken from the drain.
    d.mode = -1.0;
    const double vds = lvds;  // the drain lies below the source by |lvds|
    const double vgd = lvgs, vbd = lvbs;
    return EvaluateMosChannel(vgd + vds, vgd, vds, vbd, vbd + vds, d);
}

// Checks gm, gds, gmbs against central differences of the current at one point of the frame.
void ExpectConductances(MosfetDevice& d, double lvgs, double lvds, double lvbs, const std::string& where)
{
    const MosChannel ch = Channel(d, lvgs, lvds, lvbs);
    // Reversed, the frame's drain-source voltage is -lvds.
    const double s = lvds >= 0.0 ? 1.0 : -1.0;
    const double h = 1e-6;
    auto current = [&](double g, double ds, double b) { return Channel(d, g, ds, b).cdrain; };
    const double gm = (current(lvgs + h, lvds, lvbs) - current(lvgs - h, lvds, lvbs)) / (2 * h);
    const double gds = s * (current(lvgs, lvds + h, lvbs) - current(lvgs, lvds - h, lvbs)) / (2 * h);
    const double gmbs = (current(lvgs, lvds, lvbs + h) - current(lvgs, lvds, lvbs - h)) / (2 * h);
    const double scale = std::fabs(ch.gm) + std::fabs(ch.gds) + std::fabs(ch.gmbs) + 1e-12;
    EXPECT_NEAR(ch.gm, gm, 2e-3 * scale) << where;
    EXPECT_NEAR(ch.gds, gds, 2e-3 * scale) << where;
    EXPECT_NEAR(ch.gmbs, gmbs, 2e-3 * scale) << where;
}

// Random points over cut-off, linear and saturation, both orientations, with the bulk junction
// of the frame's source reverse-biased (forward, the models keep a simplified body term).
// Points within a few millivolts of a region boundary (where the derivative jumps) are skipped.
void SweepConductances(MosfetDevice& d, const std::string& name, double vgsLow, double vgsHigh)
{
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> gate(vgsLow, vgsHigh), drain(-4.0, 4.0), bulk(-3.0, 0.0);
    int regions[3] = {0, 0, 0};
    for (int k = 0; k < 400; ++k) {
        const double lvgs = gate(random), lvds = drain(random), lvbs = bulk(random);
        if (std::fabs(lvds) < 1e-3) continue;
        const MosChannel ch = Channel(d, lvgs, lvds, lvbs);
        if (std::fabs(std::fabs(lvds) - ch.vdsat) < 2e-3 || std::fabs(lvgs - ch.von) < 2e-3) continue;
        regions[ch.cdrain == 0.0 ? 0 : std::fabs(lvds) < ch.vdsat ? 1 : 2]++;
        ExpectConductances(d, lvgs, lvds, lvbs,
                           name + " at vgs " + std::to_string(lvgs) + " vds " + std::to_string(lvds) + " vbs " +
                               std::to_string(lvbs));
    }
    EXPECT_GT(regions[1], 10) << name << ": linear region";
    EXPECT_GT(regions[2], 10) << name << ": saturation";
}

TEST_F(MosfetTest, Level1ConductancesMatchTheCurrentInEveryRegion)
{
    MosfetDevice* n = Build(Circuit("NMOS (LEVEL=1 VTO=0.7 KP=50u GAMMA=0.5 PHI=0.6 LAMBDA=0.02)"));
    ASSERT_NE(n, nullptr);
    SweepConductances(*n, "NMOS", -1.0, 5.0);
    Fresh();
    MosfetDevice* p = Build(Circuit("PMOS (LEVEL=1 VTO=-0.8 KP=20u GAMMA=0.4 LAMBDA=0.03)"));
    SweepConductances(*p, "PMOS", -1.0, 5.0);
}

TEST_F(MosfetTest, Level2ConductancesMatchTheCurrent)
{
    MosfetDevice* d = Build(Circuit("NMOS (LEVEL=2 VTO=0.8 TOX=40n NSUB=1e16 UO=600 UCRIT=1e4 UEXP=0.15 XJ=0.3u "
                                    "LD=0.2u DELTA=0.5 LAMBDA=0.02)",
                                    "L=3u W=30u"));
    SweepConductances(*d, "LEVEL 2", -1.0, 5.0);
}

TEST_F(MosfetTest, Level2WeakInversionAndQuarticConductances)
{
    // NFS gives the weak-inversion branch below von; VMAX the quartic saturation voltage.
    MosfetDevice* d = Build(Circuit("PMOS (LEVEL=2 VTO=-0.8 TOX=40n NSUB=5e15 UO=250 VMAX=5e4 NEFF=2 XJ=0.3u "
                                    "LD=0.1u NFS=1e11)",
                                    "L=2u W=20u"));
    int weak = 0;
    for (double lvgs : {0.3, 0.5, 0.7, 1.5, 2.5, 4.0})
        for (double lvds : {0.05, 0.3, 1.0, 2.5, -0.4, -2.0})
            for (double lvbs : {-2.0, -0.5}) {
                const MosChannel ch = Channel(*d, lvgs, lvds, lvbs);
                if (std::fabs(std::fabs(lvds) - ch.vdsat) < 2e-3) continue;
                if (lvgs < ch.von && ch.cdrain > 0.0) ++weak;
                ExpectConductances(*d, lvgs, lvds, lvbs,
                                   "vgs " + std::to_string(lvgs) + " vds " + std::to_string(lvds) + " vbs " +
                                       std::to_string(lvbs));
            }
    EXPECT_GT(weak, 4);
}

TEST_F(MosfetTest, Level3ConductancesMatchTheCurrent)
{
    MosfetDevice* d = Build(Circuit("NMOS (LEVEL=3 VTO=0.7 TOX=25n NSUB=2e16 UO=550 THETA=0.08 ETA=0.3 KAPPA=0.4 "
                                    "VMAX=1.5e5 XJ=0.2u LD=0.1u NFS=5e11 DELTA=0.3)",
                                    "L=1.5u W=15u"));
    SweepConductances(*d, "LEVEL 3", -1.0, 5.0);
    Fresh();
    MosfetDevice* p = Build(Circuit("PMOS (LEVEL=3 VTO=-0.8 TOX=25n NSUB=1e15 UO=200 THETA=0.05 KAPPA=0.2 XJ=0.2u "
                                    "LD=0.05u)",
                                    "L=1u W=10u"));
    SweepConductances(*p, "LEVEL 3 PMOS", -1.0, 5.0);
}

TEST_F(MosfetTest, Level3PunchThroughKeepsCurrentAndConductancesConsistent)
{
    // A light substrate and a large KAPPA shorten the channel by more than half its length.
    MosfetDevice* d =
        Build(Circuit("NMOS (LEVEL=3 VTO=0.7 TOX=25n NSUB=1e15 UO=500 KAPPA=2 XJ=0.2u LD=0.05u)", "L=1u W=10u"));
    const double l = d->values.leff;
    double previous = 0.0;
    bool punched = false;
    for (double lvds = 1.0; lvds <= 6.0; lvds += 0.25) {
        const MosChannel ch = Channel(*d, 2.0, lvds, -1.0);
        // The shortened channel L^2/(4 delxl) stays positive: the current grows and stays finite.
        ASSERT_TRUE(std::isfinite(ch.cdrain)) << lvds;
        EXPECT_GT(ch.cdrain, previous) << lvds;
        previous = ch.cdrain;
        const double alpha = MosParam(*d->model, mosp::kLambda);
        const double delxl = std::sqrt(2.0 * (lvds - ch.vdsat) * alpha);
        punched = punched || delxl > 0.5 * l;
        ExpectConductances(*d, 2.0, lvds, -1.0, "vds " + std::to_string(lvds));
    }
    EXPECT_TRUE(punched);
}

TEST_F(MosfetTest, JunctionCapacitancesAreTheSlopesOfTheCharges)
{
    MosfetDevice* d = Build(Circuit("NMOS (LEVEL=1 VTO=0.7 KP=50u CJ=2e-4 CJSW=1e-9 MJ=0.4 MJSW=0.33 PB=0.8 FC=0.5)",
                                    "L=2u W=20u AD=40p AS=30p PD=24u PS=20u"));
    for (bool drain : {true, false})
        for (double v = -3.0; v < 0.6; v += 0.07) {
            const double h = 1e-6;
            const double slope =
                (MosJunctionChargeAt(*d, drain, v + h).charge - MosJunctionChargeAt(*d, drain, v - h).charge) / (2 * h);
            const double c = MosJunctionChargeAt(*d, drain, v).capacitance;
            EXPECT_NEAR(c, slope, 1e-4 * c) << "v " << v;
        }
    // Charge and capacitance continue across the depletion threshold.
    const double knee = Level123Block(*d).temperature.depcap;
    EXPECT_NEAR(knee, 0.5 * 0.8, 1e-6);  // FC x PB, not FC x PB x PB
    const MosJunctionCharge below = MosJunctionChargeAt(*d, true, knee - 1e-9);
    const MosJunctionCharge above = MosJunctionChargeAt(*d, true, knee);
    EXPECT_NEAR(below.charge, above.charge, 1e-6 * std::fabs(above.charge));
    EXPECT_NEAR(below.capacitance, above.capacitance, 1e-6 * above.capacitance);
}

TEST_F(MosfetTest, TemperatureLawsMatchHandValues)
{
    const std::string model = "NMOS (LEVEL=1 VTO=0.7 KP=50u GAMMA=0.5 PHI=0.6 IS=1e-14 PB=0.8 CBD=10f CJ=2e-4)";
    MosfetDevice* nominal = Build(Circuit(model));
    EXPECT_DOUBLE_EQ(Level123Block(*nominal).temperature.kp, 50e-6f);
    EXPECT_NEAR(Level123Block(*nominal).temperature.tphi, 0.6, 1e-7);
    EXPECT_NEAR(Level123Block(*nominal).temperature.tvbi, 0.7 - 0.5 * std::sqrt(0.6f), 1e-7);
    EXPECT_NEAR(nominal->values.tvto, 0.7, 1e-7);
    EXPECT_NEAR(Level123Block(*nominal).temperature.is, 1e-14, 1e-21);
    EXPECT_NEAR(Level123Block(*nominal).temperature.pb, 0.8, 1e-7);

    Fresh();
    MosfetDevice* hot = Build(Circuit(model), 127.0);
    const double ratio = 400.15 / 300.15;
    EXPECT_NEAR(Level123Block(*hot).temperature.kp, 50e-6 / (ratio * std::sqrt(ratio)), 1e-12);
    EXPECT_NEAR(Level123Block(*hot).temperature.vt, 8.617086918058125e-05 * 400.15, 1e-12);
    // Band gaps 1.1150877 eV at 300.15 K and 1.0854688 eV at 400.15 K.
    const double vt0 = 8.617086918058125e-05 * 300.15, vt = 8.617086918058125e-05 * 400.15;
    EXPECT_NEAR(Level123Block(*hot).temperature.is / 1e-14, std::exp(1.1150877422 / vt0 - 1.0854687824 / vt), 1e-7 * 112786.0);
    // Hand values of the potentials and the threshold at 127 degrees.
    EXPECT_NEAR(Level123Block(*hot).temperature.pb, 0.6356583, 1e-6);
    EXPECT_NEAR(Level123Block(*hot).temperature.depcap, 0.5 * 0.6356583, 1e-6);  // the knee follows PB at FC = 0.5
    EXPECT_NEAR(Level123Block(*hot).temperature.tphi, 0.3690249, 1e-6);
    EXPECT_NEAR(hot->values.tvto, 0.5157607, 1e-6);
    EXPECT_GT(Level123Block(*hot).temperature.cbd, 10e-15);  // capacitances grow as the potential falls
}

TEST_F(MosfetTest, AbsoluteDeviceTemperatureIgnoresTheRunTemperature)
{
    MosfetDevice* d = Build(Circuit("NMOS (LEVEL=1 VTO=0.7 KP=50u T_ABS=80)"), 27.0);
    EXPECT_DOUBLE_EQ(Level123Block(*d).temperature.tdev, 80.0f);
    MosfetDevice* same = Build(Circuit("NMOS (LEVEL=1 VTO=0.7 KP=50u T_ABS=80)"), 150.0);
    EXPECT_DOUBLE_EQ(Level123Block(*same).temperature.tdev, 80.0f);
}

// M=3 is three devices in parallel: three times the channel current of one (the narrow-width
// threshold term of LEVEL 2 and 3 belongs to each device's own width), and three times the
// junction saturation currents and capacitances given for the device rather than per area,
// and the gate-bulk overlap.
TEST_F(MosfetTest, AMultiplierIsThatManyDevicesInParallel)
{
    const std::string card = " VTO=0.7 KP=50u TOX=20n NSUB=1e16 UO=500 LD=0.1u WD=0.2u DELTA=1.5 NFS=1e11 XJ=0.3u "
                             "CGBO=1e-9 IS=1e-13 CBD=10f CBS=12f)";
    for (const char* level : {"NMOS (LEVEL=1", "NMOS (LEVEL=2", "NMOS (LEVEL=3"}) {
        Build(std::string("* m\nVD 1 0 1\nVG 2 0 1\nVB 3 0 0\nM1 1 2 0 3 MM L=2u W=10u\nM2 1 2 0 3 MM L=2u W=10u M=3\n.model MM ") +
              level + card + "\n.end\n");
        MosfetDevice& one = *Device(0);
        MosfetDevice& three = *Device(1);
        EXPECT_DOUBLE_EQ(three.values.isatd, 3.0 * one.values.isatd) << level;
        EXPECT_DOUBLE_EQ(three.values.isats, 3.0 * one.values.isats) << level;
        EXPECT_DOUBLE_EQ(three.values.cbd0, 3.0 * one.values.cbd0) << level;
        EXPECT_DOUBLE_EQ(three.values.cbs0, 3.0 * one.values.cbs0) << level;
        EXPECT_DOUBLE_EQ(three.values.cgbov, 3.0 * one.values.cgbov) << level;
        for (auto [vgs, vds, vbs] : {std::tuple{1.0, 0.2, 0.0}, std::tuple{2.5, 4.0, -1.0}, std::tuple{0.6, 1.0, -0.5}}) {
            const MosChannel a = Channel(one, vgs, vds, vbs), b = Channel(three, vgs, vds, vbs);
            EXPECT_NEAR(b.cdrain, 3.0 * a.cdrain, 1e-9 * std::fabs(a.cdrain)) << level << " at " << vgs << " " << vds;
            EXPECT_NEAR(b.gm, 3.0 * a.gm, 1e-9 * std::fabs(a.gm)) << level << " at " << vgs << " " << vds;
            EXPECT_DOUBLE_EQ(b.von, a.von) << level << " at " << vgs << " " << vds;
        }
    }
}

TEST_F(MosfetTest, DevicesSharingAModelGetTheValuesOfPrivateCopies)
{
    const std::string model = ".model MM NMOS (LEVEL=1 VTO=0.7 KP=50u IS=1e-14 PB=0.8 CJ=2e-4 T_REL_GLOBAL=20)\n";
    BuildText("* shared\nVD 1 0 1\nVG 2 0 1\nM1 1 2 0 0 MM L=2u W=20u\nM2 1 2 0 0 MM L=2u W=20u\nM3 1 2 0 0 MM L=2u "
              "W=20u\n" +
              model + ".end\n");
    ASSERT_EQ(SetCircuitTemperature(60.0), 0);
    ASSERT_EQ(PrepareModelsAtTemperature(60.0), 0);
    const MosfetTemperatureBlock first = Level123Block(*Device(0)).temperature;
    for (int n : {1, 2}) {
        EXPECT_EQ(Level123Block(*Device(n)).temperature.kp, first.kp);
        EXPECT_EQ(Level123Block(*Device(n)).temperature.is, first.is);
        EXPECT_EQ(Level123Block(*Device(n)).temperature.pb, first.pb);
        EXPECT_EQ(Device(n)->values.tvto, Device(0)->values.tvto);
    }
    EXPECT_FLOAT_EQ(Device(0)->model->Param(mosp::kKp), 50e-6f);  // the shared model keeps its value
}

TEST_F(MosfetTest, CasesAtOneTemperatureGiveTheSameValuesAgain)
{
    Build(Circuit("NMOS (LEVEL=3 VTO=0.7 TOX=25n NSUB=2e16 UO=550 THETA=0.08 ETA=0.3 RD=10 RS=10 FC=0.5 PB=0.7)"),
          27.0);
    const MosfetTemperatureBlock first = Level123Block(*Device(0)).temperature;
    const MosfetLoadValues firstValues = Device(0)->values;
    for (double t : {75.0, 27.0}) {
        ASSERT_EQ(SetCircuitTemperature(t), 0);
        ASSERT_EQ(PrepareModelsAtTemperature(t), 0);
    }
    const MosfetDevice& d = *Device(0);
    EXPECT_DOUBLE_EQ(Level123Block(d).temperature.beta, first.beta);
    EXPECT_DOUBLE_EQ(Level123Block(d).temperature.oxcap, first.oxcap);
    EXPECT_DOUBLE_EQ(Level123Block(d).temperature.depcap, first.depcap);
    EXPECT_DOUBLE_EQ(Level123Block(d).temperature.tvbi, first.tvbi);
    EXPECT_DOUBLE_EQ(d.values.gd, firstValues.gd);
    EXPECT_DOUBLE_EQ(d.values.tvto, firstValues.tvto);
}

TEST_F(MosfetTest, NonPositiveEffectiveChannelStopsTheRun)
{
    ASSERT_EQ(BuildText(Circuit("NMOS (LEVEL=1 VTO=0.7 KP=50u LD=1.5u)", "L=2u W=20u")), 0);
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_EQ(PrepareModelsAtTemperature(27.0), kMsgAlreadyReported);
    EXPECT_EQ(testing::ShownMessageIds(), std::vector<int>{14549});
}

TEST_F(MosfetTest, GuardsKeepTheJunctionValuesFinite)
{
    // MJ of 1, a knee beyond the junction potential and N of 0 would divide by zero or take
    // the logarithm of a negative number.
    MosfetDevice* d = Build(Circuit("NMOS (LEVEL=1 VTO=0.7 KP=50u CBD=10f CBS=10f MJ=1 FC=0.99 PB=1.5 N=0)"));
    const MosfetTemperatureBlock& b = Level123Block(*d).temperature;
    EXPECT_FLOAT_EQ(static_cast<float>(b.mj), 0.999f);
    EXPECT_NEAR(b.depcap, 0.95 * b.pb, 1e-6);
    for (double v : {b.f2d, b.f3d, b.f4d, b.f2s, b.f3s, b.f4s}) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(d->values.nvt, 0.1 * b.vt, 1e-12);
    for (double v : {-2.0, 0.5, 1.4, 2.0}) {
        const MosJunctionCharge q = MosJunctionChargeAt(*d, true, v);
        EXPECT_TRUE(std::isfinite(q.charge) && std::isfinite(q.capacitance)) << v;
    }
}

TEST_F(MosfetTest, JunctionPotentialDrivenNegativeIsHeldAndWarnedOnce)
{
    // A tiny PB goes negative at a high temperature.
    Build(Circuit("NMOS (LEVEL=1 VTO=0.7 KP=50u PB=0.05 CBD=10f)") , 300.0);
    const MosfetDevice& d = *Device(0);
    EXPECT_GT(Level123Block(d).temperature.pb, 0.0);
    int warnings = 0;
    for (const DeferredWarning& w : Models().deferredWarnings) warnings += w.kind == kWarnNegativeJunctionPotential;
    EXPECT_EQ(warnings, 1);
}

TEST_F(MosfetTest, FirstTimePointStartsFromTheOperatingPoint)
{
    // No accepted point lies behind the first time point: a prediction from the (empty)
    // voltage history would start it far from the operating point.
    Build("* first point\nVDD 1 0 5\nVG 2 0 1.5\nRD 1 3 10k\nM1 3 2 0 0 MM L=2u W=20u\n"
          ".model MM NMOS (LEVEL=1 VTO=0.7 KP=50u TOX=20n CGSO=1n CGDO=1n CJ=2e-4)\n.end\n");
    ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindTransient), 0);
    const MosfetLoadValues op = Device(0)->values;
    ASSERT_GT(op.vgs0, 1.0);
    AnalogSolverState& s = AnalogSolver();
    s.runPhase = kPhaseTimeSteps;
    s.iterationMode = kModeFirstTimePoint;
    s.predictorScale = 2.0;
    s.predictorRatio = 1.0;
    ASSERT_EQ(LoadCircuit(), 0);
    const MosfetLoadValues& first = Device(0)->values;
    EXPECT_NEAR(first.vgs0, op.vgs0, 1e-9);
    EXPECT_NEAR(first.vds0, op.vds0, 1e-9);
    EXPECT_NEAR(first.vbs0, op.vbs0, 1e-9);
    EXPECT_NEAR(first.cd, op.cd, 1e-12);
}

// The NMOS and PMOS statements of the model library, continuation lines joined.
std::vector<std::string> LibraryMosfetModels()
{
    std::ifstream in(std::string(KQ5_SOURCE_DIR) + "/data/NOM.LIB");
    std::vector<std::string> models;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("+", 0) == 0 && !models.empty() && models.back().back() != '\n')
            models.back() += " " + line.substr(1);
        else if (std::regex_search(line, std::regex(R"(^\.MODEL \S+ [NP]MOS)")))
            models.push_back(line);
        else if (!models.empty() && models.back().back() != '\n')
            models.back() += "\n";
    }
    for (std::string& m : models)
        if (!m.empty() && m.back() == '\n') m.pop_back();
    return models;
}

TEST_F(MosfetTest, EveryLibraryMosfetSolvesAnOperatingPoint)
{
    const std::vector<std::string> models = LibraryMosfetModels();
    ASSERT_GE(models.size(), 4u);
    for (const std::string& statement : models) {
        Fresh();
        std::istringstream words(statement);
        std::string keyword, name, type;
        words >> keyword >> name >> type;
        const bool p = type == "PMOS";
        // Common source with a drain resistor, gate 2 V beyond the threshold.
        const std::string netlist = std::string("* library model\nVDD 1 0 ") + (p ? "-10" : "10") + "\nVG 2 0 " +
                                    (p ? "-5.5" : "5.5") + "\nRD 1 3 100\nM1 3 2 0 0 " + name + "\n" + statement +
                                    "\n.end\n";
        ASSERT_EQ(BuildText(netlist), 0) << name << ": " << LastShownText();
        ASSERT_EQ(SetCircuitTemperature(27.0), 0);
        ASSERT_EQ(PrepareModelsAtTemperature(27.0), 0);
        ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindTransient), 0) << name;
        const MosfetDevice& d = *Device(0);
        EXPECT_TRUE(std::isfinite(d.quantities.id)) << name;
        EXPECT_GT(std::fabs(d.quantities.id), 1e-4) << name;   // conducting
        EXPECT_LT(std::fabs(d.quantities.id), 0.1 + 1e-9) << name;  // at most VDD / RD
        EXPECT_EQ(d.quantities.id > 0.0, !p) << name;
    }
}

TEST(MosfetHelpers, SeriesConductanceAndGuardedRoot)
{
    EXPECT_EQ(SeriesConductance(0.1, 2.0, 4.0), 0.1);
    EXPECT_EQ(SeriesConductance(0.0, 2.0, 4.0), 0.5);
    EXPECT_EQ(SeriesConductance(0.0, 2.0, 0.0), 0.0);
    ResetModelStateForTests();
    EXPECT_DOUBLE_EQ(SqrtWithParamWarning(4.0, 300.0, 3), 2.0);
    EXPECT_EQ(SqrtWithParamWarning(0.0, 300.0, 3), 0.001);
    EXPECT_TRUE(Models().deferredWarnings.empty());
    EXPECT_EQ(SqrtWithParamWarning(-4.0, 300.0, 3), 0.001);
    EXPECT_EQ(SqrtWithParamWarning(-4.0, 300.0, 3), 0.001);
    ASSERT_EQ(Models().deferredWarnings.size(), 1u);
    EXPECT_NEAR(Models().deferredWarnings[0].temperature, 300.0 - 273.15, 1e-12);
    ResetModelStateForTests();
}

}  // namespace
}  // namespace kq5
