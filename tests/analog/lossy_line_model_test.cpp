// The lossy-line model checks made before every run: a line must have a positive length and be
// of a kind with a closed-form response.
#include <gtest/gtest.h>

#include <string>

#include "../netlist/scratch_build_test.h"
#include "analog/analysis_start.h"
#include "analog/device_dispatch.h"
#include "analog/run_control.h"

namespace kq5::testing {
namespace {

class LossyLineModelTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        ScratchBuildTest::SetUp();
        ResetRunControlForTests();
        InstallAnalysisKindHandlers();
    }
    void TearDown() override
    {
        ExitAnalysis();
        ResetRunControlForTests();
        ScratchBuildTest::TearDown();
    }

    // The message ids a transient run of a driven, loaded line with these values shows.
    std::vector<int> Run(const std::string& values)
    {
        PutCircuit("l\nV1 1 0 1\nT1 1 0 2 0 " + values + "\nR2 2 0 1K\n.TRAN 1N 10N\n.END\n", "l.cir");
        win::ClearMessageBoxLog();
        RunAnalysisCommand(record_, kAnalysisTransient);
        return ShownIds();
    }
};

TEST_F(LossyLineModelTest, LengthMustBePositive)
{
    for (const char* values : {"R=1 L=1U C=1P", "LEN=0 R=1 L=1U C=1P", "LEN=-2 R=1 L=1U C=1P"}) {
        SCOPED_TRACE(values);
        EXPECT_EQ(Run(values), std::vector<int>{14183}) << LastShownText();
    }
}

TEST_F(LossyLineModelTest, KindsWithoutAClosedFormAreRefused)
{
    EXPECT_EQ(Run("LEN=1 R=1 L=1U"), std::vector<int>{14181}) << LastShownText();
    EXPECT_EQ(Run("LEN=1 R=1 G=1M C=1P"), std::vector<int>{14181}) << LastShownText();
    EXPECT_EQ(Run("LEN=1 R=1"), std::vector<int>{14185}) << LastShownText();
}

}  // namespace
}  // namespace kq5::testing
