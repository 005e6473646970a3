// Newton step limiting of junctions and FETs, and the Meyer gate capacitances.
#include <gtest/gtest.h>

#include <cmath>

#include "analog/limiting.h"

namespace kq5 {
namespace {

TEST(JunctionLimiting, ForwardStepsFollowTheLogarithm)
{
    int check = 1;
    double v = 5.0;
    LimitJunctionVoltage(v, 0.7, 0.025, 0.6, check);
    EXPECT_DOUBLE_EQ(v, 0.7 + 0.025 * std::log(1.0 + 4.3 / 0.025));
    EXPECT_EQ(check, 1);  // limited: the caller counts a non-convergence

    v = 2.0;
    LimitJunctionVoltage(v, -1.0, 0.025, 0.6, check);
    EXPECT_DOUBLE_EQ(v, 0.025 * std::log(2.0 / 0.025));

    // Falling by more than vt while staying above vcrit: the log argument is not positive.
    v = 0.9;
    LimitJunctionVoltage(v, 2.0, 0.025, 0.6, check);
    EXPECT_DOUBLE_EQ(v, 0.6);
}

TEST(JunctionLimiting, SmallStepsAndVcritAreLeftAndClearTheFlag)
{
    int check = 1;
    double v = 0.5625;
    LimitJunctionVoltage(v, 0.5, 0.03125, 0.25, check);  // exactly 2 vt
    EXPECT_EQ(v, 0.5625);
    EXPECT_EQ(check, 0);
    check = 1;
    v = 0.6;
    LimitJunctionVoltage(v, -3.0, 0.025, 0.6, check);
    EXPECT_EQ(v, 0.6);
    EXPECT_EQ(check, 0);

    int flag = -1;
    EXPECT_DOUBLE_EQ(LimitJunctionVoltageByValue(5.0, 0.7, 0.025, 0.6, flag),
                     0.7 + 0.025 * std::log(1.0 + 4.3 / 0.025));
    EXPECT_EQ(flag, 1);
    EXPECT_DOUBLE_EQ(LimitJunctionVoltageByValue(0.71, 0.7, 0.025, 0.6, flag), 0.71);
    EXPECT_EQ(flag, 0);
}

TEST(FetLimiting, GateVoltageAboutThreshold)
{
    EXPECT_DOUBLE_EQ(LimitFetVoltage(0.0, 10.0, 1.0), 3.0);   // on -> off stops at vto + 2
    EXPECT_DOUBLE_EQ(LimitFetVoltage(20.0, 5.0, 1.0), 15.0);  // vtsthi = 10
    EXPECT_DOUBLE_EQ(LimitFetVoltage(5.0, 0.0, 1.0), 1.5);    // off -> on stops at vto + 0.5
    EXPECT_DOUBLE_EQ(LimitFetVoltage(1.2, 0.0, 1.0), 1.2);
    EXPECT_DOUBLE_EQ(LimitFetVoltage(6.0, 10.0, 1.0), 6.0);   // falling, still above vto + 3.5
    EXPECT_DOUBLE_EQ(LimitFetVoltage(-5.0, 2.0, 1.0), 0.5);   // middle, falling: vto - 0.5
    EXPECT_DOUBLE_EQ(LimitFetVoltage(9.0, 2.0, 1.0), 5.0);    // middle, rising: vto + 4
    EXPECT_DOUBLE_EQ(LimitFetVoltage(-20.0, -1.0, 1.0), -7.0);  // off, falling by > vtsthi = 6
    double v = 0.0;
    LimitFetGateVoltage(v, 10.0, 1.0);
    EXPECT_DOUBLE_EQ(v, 3.0);
}

TEST(FetLimiting, DrainSource)
{
    EXPECT_DOUBLE_EQ(LimitDrainSourceVoltage(30.0, 5.0), 17.0);
    EXPECT_DOUBLE_EQ(LimitDrainSourceVoltage(10.0, 1.0), 4.0);
    EXPECT_DOUBLE_EQ(LimitDrainSourceVoltage(-3.0, 1.0), -0.5);
    EXPECT_DOUBLE_EQ(LimitDrainSourceVoltage(1.0, 5.0), 2.0);
    EXPECT_DOUBLE_EQ(LimitDrainSourceVoltage(4.0, 5.0), 4.0);
}

TEST(MeyerCapacitances, RegionsJoinContinuously)
{
    const double cox = 3e-15, phi = 0.6, von = 0.8, vdsat = 1.0;
    double cgs, cgd, cgb;
    MeyerGateCapacitances(von - 1.0, von - 1.0, von, vdsat, cgs, cgd, cgb, phi, cox);
    EXPECT_DOUBLE_EQ(cgb, cox / 2.0);
    EXPECT_EQ(cgs, 0.0);
    // At vgst = -phi/2 the accumulation and depletion pieces meet.
    MeyerGateCapacitances(von - phi / 2.0 + 1e-12, von, von, vdsat, cgs, cgd, cgb, phi, cox);
    EXPECT_NEAR(cgb, cox / 4.0, 1e-20);
    EXPECT_NEAR(cgs, 0.0, 1e-20);
    // Saturation: cgs = cox / 3, cgd = 0.
    MeyerGateCapacitances(von + 1.0, von + 1.0 - 3.0, von, vdsat, cgs, cgd, cgb, phi, cox);
    EXPECT_DOUBLE_EQ(cgs, cox / 3.0);
    EXPECT_EQ(cgd, 0.0);
    // Linear region at vds = 0: cgs = cgd.
    MeyerGateCapacitances(von + 1.0, von + 1.0, von, vdsat, cgs, cgd, cgb, phi, cox);
    EXPECT_NEAR(cgs, cgd, 1e-25);
    EXPECT_NEAR(cgs, cox * (1.0 - 0.25) / 3.0, 1e-25);
    EXPECT_EQ(cgb, 0.0);
}

}  // namespace
}  // namespace kq5
