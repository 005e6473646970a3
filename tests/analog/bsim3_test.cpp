// The LEVEL 8 (BSIM3) MOSFET: conductances and capacitances against finite differences of the
// currents and charges at random bias points, the charge partitions, and the preparation's
// defaults, clamps and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "device_build_test_support.h"
#include "devices/bsim3_eval.h"
#include "devices/bsim3_eval_body.h"
#include "netlist/bsim3_values.h"
#include "netlist/fet_devices.h"
#include "platform/message_box.h"

namespace kq5 {
namespace {

constexpr const char* kCard =
    "TOX=9e-9 NCH=2.2e17 VTH0=0.6 U0=400 VSAT=1.2e5 K1=0.6 K2=-0.01 RDSW=300 PCLM=1.2 XJ=1.5e-7 "
    "ALPHA0=1e-6 BETA0=20 PVAG=0.5 DWG=-5e-9 DWB=2e-9 PRWG=0.1 PRWB=-0.05 A1=0.1 A2=0.9 KETA=-0.03 AGS=0.2 "
    "CDSCD=1e-4 DVT0W=0.1";

class Bsim3Test : public DeviceBuildTest {
protected:
    MosfetDevice& BuildDevice(const std::string& extra = "", const std::string& type = "NMOS",
                              const std::string& instance = "")
    {
        Build("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MM L=0.5u W=5u AD=5p AS=5p PD=12u PS=12u " + instance + "\n.MODEL MM " + type +
              " (LEVEL=8 " + kCard + " " + extra + ")\n.END\n");
        auto records = ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList));
        MosfetDevice& d = *records.begin();
        EXPECT_NE(d.bsim3, nullptr);
        return d;
    }
};

// The conductances are the exact slopes of the drain and substrate currents, in every region:
// weak and strong inversion, linear and saturated, forward and reverse body bias.
TEST_F(Bsim3Test, ConductancesAreTheSlopesOfTheCurrents)
{
    for (const char* mobmod : {"MOBMOD=1", "MOBMOD=2", "MOBMOD=3"}) {
        MosfetDevice& d = BuildDevice(mobmod);
        Bsim3Size& p = *d.bsim3;
        std::mt19937 random(7);
        std::uniform_real_distribution<double> vg(-0.2, 3.0), vd(0.0, 3.0), vb(-3.0, 0.4);
        for (int k = 0; k < 200; ++k) {
            const double vgs = vg(random), vds = vd(random), vbs = vb(random);
            const Bsim3Channel c = EvaluateBsim3Channel(p, vgs, vds, vbs);
            const double h = 1e-6;
            auto ids = [&](double g, double dd, double b) { return EvaluateBsim3Channel(p, g, dd, b).ids; };
            auto isub = [&](double g, double dd, double b) { return EvaluateBsim3Channel(p, g, dd, b).isub; };
            const double gm = (ids(vgs + h, vds, vbs) - ids(vgs - h, vds, vbs)) / (2 * h);
            const double gds = (ids(vgs, vds + h, vbs) - ids(vgs, vds - h, vbs)) / (2 * h);
            const double gmbs = (ids(vgs, vds, vbs + h) - ids(vgs, vds, vbs - h)) / (2 * h);
            const double floor = 1e-9 + 1e-4 * std::fabs(c.ids);
            EXPECT_TRUE(Close(c.gm, gm, 1e-4, floor)) << mobmod << " at " << vgs << " " << vds << " " << vbs;
            EXPECT_TRUE(Close(c.gds, gds, 1e-4, floor)) << mobmod << " at " << vgs << " " << vds << " " << vbs;
            EXPECT_TRUE(Close(c.gmbs, gmbs, 1e-4, floor)) << mobmod << " at " << vgs << " " << vds << " " << vbs;
            const double gbd = (isub(vgs, vds + h, vbs) - isub(vgs, vds - h, vbs)) / (2 * h);
            EXPECT_TRUE(Close(c.gbd, gbd, 1e-3, 1e-12 + 1e-3 * std::fabs(c.isub)));
            EXPECT_GE(c.ids, 0.0);
        }
    }
}

// The nine capacitances are the slopes of the three charges with respect to gate, drain and
// source, for both charge models and every partition.
TEST_F(Bsim3Test, CapacitancesAreTheSlopesOfTheCharges)
{
    for (const char* capmod : {"CAPMOD=1", "CAPMOD=2"})
        for (const char* xpart : {"XPART=0", "XPART=0.5", "XPART=1"}) {
            MosfetDevice& d = BuildDevice(std::string(capmod) + " " + xpart);
            Bsim3Size& p = *d.bsim3;
            std::mt19937 random(11);
            std::uniform_real_distribution<double> vg(-1.0, 3.0), vd(0.0, 3.0), vb(-2.0, 0.3);
            for (int k = 0; k < 100; ++k) {
                const double vgs = vg(random), vds = vd(random), vbs = vb(random);
                const Bsim3Charges q = EvaluateBsim3Charges(p, EvaluateBsim3Channel(p, vgs, vds, vbs));
                // Terminal voltages g, d, s with the bulk at 0.
                auto at = [&](double g, double dr, double s) {
                    return EvaluateBsim3Charges(p, EvaluateBsim3Channel(p, g - s, dr - s, -s));
                };
                const double vs = -vbs, vgT = vgs + vs, vdT = vds + vs, h = 1e-6;
                auto slope = [&](int which, int terminal) {
                    double plus[3] = {vgT, vdT, vs}, minus[3] = {vgT, vdT, vs};
                    plus[terminal] += h;
                    minus[terminal] -= h;
                    const Bsim3Charges a = at(plus[0], plus[1], plus[2]), b = at(minus[0], minus[1], minus[2]);
                    const double qa = which == 0 ? a.qgate : which == 1 ? a.qbulk : a.qdrn;
                    const double qb = which == 0 ? b.qgate : which == 1 ? b.qbulk : b.qdrn;
                    return (qa - qb) / (2 * h);
                };
                const double expected[3][3] = {{q.cggb, q.cgdb, q.cgsb}, {q.cbgb, q.cbdb, q.cbsb}, {q.cdgb, q.cddb, q.cdsb}};
                for (int which = 0; which < 3; ++which)
                    for (int terminal = 0; terminal < 3; ++terminal)
                        EXPECT_TRUE(Close(expected[which][terminal], slope(which, terminal), 2e-4, 1e-19))
                            << capmod << " " << xpart << " q" << which << " t" << terminal << " at " << vgs << " "
                            << vds << " " << vbs;
            }
        }
}

// Where the processor has vector registers the evaluations run in a vector form: it must give
// exactly the bits of the scalar form, so that a circuit's results do not depend on the machine.
TEST_F(Bsim3Test, VectorFormGivesTheBitsOfTheScalarForm)
{
    if (!Bsim3VectorSlopes()) GTEST_SKIP() << "no vector form on this processor";
    for (const char* card : {"MOBMOD=1 CAPMOD=2 XPART=0", "MOBMOD=2 CAPMOD=1 XPART=0.5", "MOBMOD=3 CAPMOD=1 XPART=1",
                             "CAPMOD=2 XPART=0.5 NQSMOD=1 NGATE=5e19"}) {
        MosfetDevice& d = BuildDevice(card);
        Bsim3Size& p = *d.bsim3;
        std::mt19937 random(11);
        std::uniform_real_distribution<double> vg(-0.5, 3.5), vd(0.0, 3.5), vb(-3.0, 0.6);
        for (int k = 0; k < 300; ++k) {
            const double vgs = vg(random), vds = vd(random), vbs = vb(random);
            Bsim3Channel scalar, vector;
            bsim3_body::Channel<Dual3>(p, vgs, vds, vbs, scalar);
            const double ueff = p.ueff, qinv = p.qinv;
            EvaluateBsim3ChannelVector(p, vgs, vds, vbs, vector);
            const Bsim3Charges qs = bsim3_body::Charges<Dual3>(p, scalar), qv = EvaluateBsim3ChargesVector(p, vector);
            const double a[] = {scalar.ids, scalar.gm, scalar.gds, scalar.gmbs, scalar.isub, scalar.gbg, scalar.gbd,
                                scalar.gbb, scalar.vdsat, scalar.vgsteff.d, scalar.abulk0.b, ueff, qinv, qs.qgate,
                                qs.qbulk, qs.qdrn, qs.cggb, qs.cgdb, qs.cgsb, qs.cbgb, qs.cbdb, qs.cbsb, qs.cdgb,
                                qs.cddb, qs.cdsb, qs.qcheq, qs.cqgb, qs.cqdb, qs.cqsb, qs.cqbb};
            const double b[] = {vector.ids, vector.gm, vector.gds, vector.gmbs, vector.isub, vector.gbg, vector.gbd,
                                vector.gbb, vector.vdsat, vector.vgsteff.d, vector.abulk0.b, p.ueff, p.qinv, qv.qgate,
                                qv.qbulk, qv.qdrn, qv.cggb, qv.cgdb, qv.cgsb, qv.cbgb, qv.cbdb, qv.cbsb, qv.cdgb,
                                qv.cddb, qv.cdsb, qv.qcheq, qv.cqgb, qv.cqdb, qv.cqsb, qv.cqbb};
            for (std::size_t i = 0; i < std::size(a); ++i)
                ASSERT_EQ(a[i], b[i]) << card << ", value " << i << " at " << vgs << " " << vds << " " << vbs;
        }
    }
}

// Devices evaluated together, one in each vector lane, must each get its own evaluation alone
// (to the rounding of the vector exponentials and logarithms), whatever region each lane is in
// and however many lanes are used.
TEST_F(Bsim3Test, DevicesEvaluatedTogetherGetTheirOwnValues)
{
    if (!Bsim3VectorSlopes()) GTEST_SKIP() << "no vector form on this processor";
    for (const char* card : {"MOBMOD=1 CAPMOD=2 XPART=0", "MOBMOD=2 CAPMOD=1 XPART=0.5", "MOBMOD=3 CAPMOD=1 XPART=1",
                             "CAPMOD=2 XPART=0.5 NGATE=5e19 PCLM=0", "CAPMOD=1 XPART=0 ALPHA0=0 DVT0W=0"}) {
        const std::string model = std::string(kCard) + " " + card + ")\n";
        Build("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MN L=0.5u W=5u\nM2 2 1 0 0 MN L=0.35u W=2u\nM3 2 1 0 0 MP L=1u W=10u\n"
              "M4 2 1 0 0 MP L=0.4u W=3u\n.MODEL MN NMOS (LEVEL=8 " + model + ".MODEL MP PMOS (LEVEL=8 " + model + ".END\n");
        std::vector<Bsim3Size*> devices;
        for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) devices.push_back(d.bsim3.get());
        ASSERT_EQ(devices.size(), 4u);
        for (Bsim3Size* p : devices) ASSERT_EQ(Bsim3LaneKey(*p), Bsim3LaneKey(*devices[0])) << card;
        std::mt19937 random(5);
        std::uniform_real_distribution<double> vg(-0.5, 3.5), vd(0.0, 3.5), vb(-3.0, 0.6);
        for (int k = 0; k < 200; ++k) {
            const int count = 1 + k % 4;
            double vgs[4], vds[4], vbs[4];
            Bsim3Channel alone[4], together[4];
            Bsim3Charges qAlone[4], qTogether[4];
            Bsim3Channel* channelOut[4] = {&together[0], &together[1], &together[2], &together[3]};
            Bsim3Charges* chargeOut[4] = {&qTogether[0], &qTogether[1], &qTogether[2], &qTogether[3]};
            for (int i = 0; i < count; ++i) {
                vgs[i] = vg(random), vds[i] = vd(random), vbs[i] = vb(random);
                EvaluateBsim3ChannelVector(*devices[i], vgs[i], vds[i], vbs[i], alone[i]);
                qAlone[i] = EvaluateBsim3ChargesVector(*devices[i], alone[i]);
            }
            EvaluateBsim3ChannelLanes(devices.data(), vgs, vds, vbs, channelOut, chargeOut, count);
            // Without the charges, the lanes leave what the charge model reads.
            Bsim3Channel forCharges[4];
            Bsim3Channel* forChargesOut[4] = {&forCharges[0], &forCharges[1], &forCharges[2], &forCharges[3]};
            EvaluateBsim3ChannelLanes(devices.data(), vgs, vds, vbs, forChargesOut, nullptr, count);
            for (int i = 0; i < count; ++i) {
                const Bsim3Channel &a = alone[i], &b = together[i], &c = forCharges[i];
                const Bsim3Charges &qa = qAlone[i], &qb = qTogether[i];
                const double x[] = {a.ids, a.gm, a.gds, a.gmbs, a.isub, a.gbg, a.gbd, a.gbb, a.csub, a.vdsat, a.vth,
                                    a.idsa, a.expVgstNVt, a.vgsteff.g, a.abulk0.b, a.n.d, a.vgsEff.g, a.vgstNVt.d,
                                    qa.qgate, qa.qbulk, qa.qdrn, qa.cggb, qa.cgdb, qa.cgsb, qa.cbgb, qa.cbdb, qa.cbsb,
                                    qa.cdgb, qa.cddb, qa.cdsb};
                const double y[] = {b.ids, b.gm, b.gds, b.gmbs, b.isub, b.gbg, b.gbd, b.gbb, b.csub, b.vdsat, b.vth,
                                    b.idsa, c.expVgstNVt, c.vgsteff.g, c.abulk0.b, c.n.d, c.vgsEff.g, c.vgstNVt.d,
                                    qb.qgate, qb.qbulk, qb.qdrn, qb.cggb, qb.cgdb, qb.cgsb, qb.cbgb, qb.cbdb, qb.cbsb,
                                    qb.cdgb, qb.cddb, qb.cdsb};
                // Each value to 1e-12 of the largest of its kind (currents and conductances,
                // charges, capacitances): a value that is a difference of larger ones carries
                // their rounding.
                constexpr int kind[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 3, 4, 5, 6, 7, 8,
                                        9, 9, 9, 10, 10, 10, 10, 10, 10, 10, 10, 10};
                static_assert(std::size(kind) == std::size(x));
                double largest[11] = {};
                for (std::size_t j = 0; j < std::size(x); ++j)
                    largest[kind[j]] = std::max(largest[kind[j]], std::fabs(x[j]));
                for (std::size_t j = 0; j < std::size(x); ++j)
                    ASSERT_LE(std::fabs(x[j] - y[j]), 1e-12 * std::max(largest[kind[j]], std::fabs(y[j])))
                        << card << ", value " << j << " of lane " << i << " at " << vgs[i] << " " << vds[i] << " "
                        << vbs[i] << ": " << x[j] << " alone, " << y[j] << " together";
            }
        }
    }
}

// The bulk junctions evaluated together, one device in each lane, get each device's own currents
// and charges: forward, zero and reverse bias, gradings with and without a square root, with and
// without the transit time charge.
TEST_F(Bsim3Test, BulkJunctionsEvaluatedTogetherGetTheirOwnValues)
{
    if (!Bsim3VectorSlopes()) GTEST_SKIP() << "no vector form on this processor";
    for (const char* card : {"MJ=0.5 MJSW=0.33", "MJ=0.4 MJSW=0.5 TT=1n", "MJ=0.45 MJSW=0.3 CJSW=0 IS=0 JS=0"}) {
        const std::string model = std::string(kCard) + " CJ=1e-3 " + card + ")\n";
        Build("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MN L=0.5u W=5u AD=5p AS=4p PD=12u PS=10u\n"
              "M2 2 1 0 0 MN L=0.35u W=2u AD=2p AS=3p PD=6u PS=8u\nM3 2 1 0 0 MP L=1u W=10u AD=10p AS=9p PD=22u PS=20u\n"
              "M4 2 1 0 0 MP L=0.4u W=3u AD=3p AS=1p PD=8u PS=4u\n.MODEL MN NMOS (LEVEL=8 " + model +
              ".MODEL MP PMOS (LEVEL=8 " + model + ".END\n");
        std::vector<const Bsim3Size*> devices;
        std::vector<MosfetLoadValues*> values;
        for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
            devices.push_back(d.bsim3.get());
            values.push_back(&d.values);
            d.values.nvt = 0.0259 * (1.0 + 0.01 * static_cast<double>(values.size()));
        }
        ASSERT_EQ(devices.size(), 4u);
        std::mt19937 random(3);
        std::uniform_real_distribution<double> bias(-3.0, 0.8);
        for (int k = 0; k < 200; ++k) {
            const int count = 1 + k % 4;
            double vbs[4], vbd[4];
            Bsim3Junction js[4], jd[4];
            Bsim3Junction* jsOut[4] = {&js[0], &js[1], &js[2], &js[3]};
            Bsim3Junction* jdOut[4] = {&jd[0], &jd[1], &jd[2], &jd[3]};
            for (int i = 0; i < count; ++i) vbs[i] = k % 5 == 0 ? 0.0 : bias(random), vbd[i] = bias(random);
            EvaluateBsim3JunctionsLanes(devices.data(), values.data(), vbs, vbd, 1e-12, jsOut, jdOut, count);
            for (int i = 0; i < count; ++i) {
                const MosfetLoadValues& v = *values[static_cast<std::size_t>(i)];
                const Bsim3Size& p = *devices[static_cast<std::size_t>(i)];
                double cbs, gbs, cbd, gbd;
                Bsim3JunctionCurrent(vbs[i], v.isats, v.nvt, 1e-12, cbs, gbs);
                Bsim3JunctionCurrent(vbd[i], v.isatd, v.nvt, 1e-12, cbd, gbd);
                const Bsim3Junction s = Bsim3JunctionCharge(p, vbs[i], v.cbs0, v.cbssw0, cbs, gbs);
                const Bsim3Junction d = Bsim3JunctionCharge(p, vbd[i], v.cbd0, v.cbdsw0, cbd, gbd);
                const double alone[] = {cbs, gbs, cbd, gbd, s.charge, s.capacitance, d.charge, d.capacitance};
                const double together[] = {v.cbs, v.gbs, v.cbd, v.gbd, js[i].charge, js[i].capacitance,
                                           jd[i].charge, jd[i].capacitance};
                for (std::size_t j = 0; j < std::size(alone); ++j)
                    ASSERT_LE(std::fabs(alone[j] - together[j]), 1e-12 * std::fabs(alone[j]) + 1e-30)
                        << card << ", value " << j << " of lane " << i << " at " << vbs[i] << " " << vbd[i] << ": "
                        << alone[j] << " alone, " << together[j] << " together";
            }
        }
    }
}

// The overlap charges evaluated together, one device in each lane, are each device's own (to the
// rounding of fused products and sums), on both sides of zero bias (accumulation and depletion
// of the overlap region).
TEST_F(Bsim3Test, OverlapChargesEvaluatedTogetherGetTheirOwnValues)
{
    if (!Bsim3VectorSlopes()) GTEST_SKIP() << "no vector form on this processor";
    for (const char* card : {"CAPMOD=2 CGDL=2e-10 CGSL=3e-10 CKAPPA=0.8 CGDO=2e-10 CGSO=3e-10", "CAPMOD=3 CGDL=1e-10"}) {
        const std::string model = std::string(kCard) + " " + card + ")\n";
        Build("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MN L=0.5u W=5u\nM2 2 1 0 0 MN L=0.35u W=2u\nM3 2 1 0 0 MP L=1u W=10u\n"
              "M4 2 1 0 0 MP L=0.4u W=3u\n.MODEL MN NMOS (LEVEL=8 " + model + ".MODEL MP PMOS (LEVEL=8 " + model + ".END\n");
        std::vector<const Bsim3Size*> devices;
        for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) devices.push_back(d.bsim3.get());
        ASSERT_EQ(devices.size(), 4u);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> bias(-4.0, 4.0);
        for (int k = 0; k < 100; ++k) {
            const int count = 1 + k % 4;
            double vgd[4], vgs[4];
            Bsim3Overlaps together[4];
            Bsim3Overlaps* out[4] = {&together[0], &together[1], &together[2], &together[3]};
            for (int i = 0; i < count; ++i) vgd[i] = bias(random), vgs[i] = bias(random);
            Bsim3OverlapChargesLanes(devices.data(), vgd, vgs, out, count);
            for (int i = 0; i < count; ++i) {
                const Bsim3Overlaps alone = Bsim3OverlapCharges(*devices[static_cast<std::size_t>(i)], vgd[i], vgs[i]);
                auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-13 * std::fabs(a) + 1e-30; };
                EXPECT_PRED2(near, alone.drain.charge, together[i].drain.charge) << card << ", lane " << i << " at " << vgd[i];
                EXPECT_PRED2(near, alone.drain.capacitance, together[i].drain.capacitance) << card << ", lane " << i;
                EXPECT_PRED2(near, alone.source.charge, together[i].source.charge) << card << ", lane " << i << " at " << vgs[i];
                EXPECT_PRED2(near, alone.source.capacitance, together[i].source.capacitance) << card << ", lane " << i;
            }
        }
    }
}

TEST_F(Bsim3Test, PartitionsCapacitanceModelsAndChargeNode)
{
    // In saturation with the 0/100 partition the drain takes none of the channel charge.
    {
        MosfetDevice& d = BuildDevice("CAPMOD=1 XPART=1");
        const Bsim3Charges q = EvaluateBsim3Charges(*d.bsim3, EvaluateBsim3Channel(*d.bsim3, 1.5, 3.0, 0.0));
        EXPECT_NEAR(q.qdrn, 0.0, 1e-22);
        EXPECT_LT(q.qgate, 0.0 + 1e-9);
    }
    // CAPMOD 0 is CAPMOD 2.
    double q0 = 0.0, q2 = 0.0;
    for (const char* capmod : {"CAPMOD=0", "CAPMOD=2"}) {
        MosfetDevice& d = BuildDevice(capmod);
        (std::string(capmod) == "CAPMOD=0" ? q0 : q2) =
            EvaluateBsim3Charges(*d.bsim3, EvaluateBsim3Channel(*d.bsim3, 1.2, 0.7, -0.5)).qgate;
    }
    EXPECT_EQ(q0, q2);
    // With the charge node the intrinsic capacitances move to it.
    MosfetDevice& d = BuildDevice("NQSMOD=1");
    EXPECT_NE(d.extraInternal, d.internalSource);
    const Bsim3Charges q = EvaluateBsim3Charges(*d.bsim3, EvaluateBsim3Channel(*d.bsim3, 1.5, 1.0, 0.0));
    EXPECT_EQ(q.cggb, 0.0);
    EXPECT_EQ(q.qgate, 0.0);
    EXPECT_GT(q.gtau, 0.0);
    EXPECT_NE(q.cqgb, 0.0);
}

// M=3 is three devices in parallel: three times the current, conductances, charges and overlap
// charges of one, from weak inversion to saturation. The card's width offsets, width binning,
// narrow-width threshold terms and width-dependent series resistance belong to each device.
TEST_F(Bsim3Test, AMultiplierIsThatManyDevicesInParallel)
{
    const std::string card = "CAPMOD=2 WINT=0.1u WW=1e-15 WWN=1.1 WR=0.9 WVTH0=0.02 WU0=10 K3B=1.5 B0=1e-7 B1=1e-6 "
                             "CGDL=1e-10 CGSL=1e-10 CGDO=2e-10 CGSO=2e-10 CGBO=1e-10 DWC=0.05u";
    Bsim3Size one = *BuildDevice(card).bsim3;
    Bsim3Size& three = *BuildDevice(card, "NMOS", "M=3").bsim3;
    for (auto [vgs, vds, vbs] : {std::tuple{0.3, 1.0, 0.0}, std::tuple{1.5, 0.1, -0.5}, std::tuple{2.0, 3.0, -1.0}}) {
        const Bsim3Channel a = EvaluateBsim3Channel(one, vgs, vds, vbs);
        const Bsim3Channel b = EvaluateBsim3Channel(three, vgs, vds, vbs);
        EXPECT_NEAR(b.ids, 3.0 * a.ids, 1e-9 * a.ids) << vgs << " " << vds;
        EXPECT_NEAR(b.gm, 3.0 * a.gm, 1e-9 * a.gm) << vgs << " " << vds;
        EXPECT_NEAR(b.gds, 3.0 * a.gds, 1e-9 * a.gds) << vgs << " " << vds;
        const Bsim3Charges qa = EvaluateBsim3Charges(one, a), qb = EvaluateBsim3Charges(three, b);
        EXPECT_NEAR(qb.qgate, 3.0 * qa.qgate, 1e-9 * std::fabs(qa.qgate)) << vgs << " " << vds;
        EXPECT_NEAR(qb.cggb, 3.0 * qa.cggb, 1e-9 * std::fabs(qa.cggb)) << vgs << " " << vds;
        const Bsim3Overlaps oa = Bsim3OverlapCharges(one, vgs - vds, vgs), ob = Bsim3OverlapCharges(three, vgs - vds, vgs);
        EXPECT_NEAR(ob.drain.charge, 3.0 * oa.drain.charge, 1e-9 * std::fabs(oa.drain.charge)) << vgs << " " << vds;
    }
    EXPECT_NEAR(three.cgbo, 3.0 * one.cgbo, 1e-9 * one.cgbo);
    // Junction values given for the device rather than per area.
    const std::string junctions = "JS=0 IS=1e-13 CBD=10f CBS=12f";
    const MosfetLoadValues single = BuildDevice(junctions).values;
    const MosfetLoadValues& triple = BuildDevice(junctions, "NMOS", "M=3").values;
    EXPECT_DOUBLE_EQ(triple.isatd, 3.0 * single.isatd);
    EXPECT_DOUBLE_EQ(triple.cbd0, 3.0 * single.cbd0);
    EXPECT_DOUBLE_EQ(triple.cbs0, 3.0 * single.cbs0);
}

TEST_F(Bsim3Test, PreparationDefaultsAndClamps)
{
    // K2 = 0 gives the fixed lower bound of the effective bulk voltage.
    EXPECT_EQ(BuildDevice("K2=0").bsim3->vbsc, -10.0);
    // A doping given in cm^-3 above 1e20 is read as m^-3.
    const double phiA = BuildDevice("NCH=1.7e23").bsim3->phi;
    const double phiB = BuildDevice("NCH=1.7e17").bsim3->phi;
    EXPECT_NEAR(phiA, phiB, 1e-7);
    // No source area: the saturation current of the source junction is 1e-14.
    Build("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MM L=1u W=5u\n.MODEL MM NMOS (LEVEL=8 IS=1e-12 JS=0)\n.END\n");
    auto records = ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList));
    EXPECT_EQ(records.begin()->values.isats, 1e-14);
    // A p-channel model is typed by its model type.
    EXPECT_EQ(BuildDevice("VTH0=-0.7", "PMOS").bsim3->type, -1.0);
    // Without VTH0 the threshold comes from the doping and K1, with a flat band of -1.
    const Bsim3Size& p = *BuildDevice("").bsim3;
    EXPECT_GT(p.vth0, 0.0);
}

TEST_F(Bsim3Test, NonPositiveNgateOrLengthStopsTheRun)
{
    ASSERT_EQ(BuildText("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MM L=0.5u W=5u\n.MODEL MM NMOS (LEVEL=8 NGATE=0)\n.END\n", kAnalysisDc),
              0);
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_EQ(PrepareModelsAtTemperature(27.0), kMsgAlreadyReported);
    EXPECT_NE(LastShownText().find("NGATE = 0"), std::string::npos) << LastShownText();
    ASSERT_EQ(BuildText("t\nVD 2 0 1\nVG 1 0 1\nM1 2 1 0 0 MM L=0.5u W=5u\n.MODEL MM NMOS (LEVEL=8 LINT=0.3u)\n.END\n", kAnalysisDc),
              0);
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_EQ(PrepareModelsAtTemperature(27.0), kMsgAlreadyReported);
}

}  // namespace
}  // namespace kq5
