// The checks and case counts of the stepping settings at analysis start: the counts of linear,
// log and list slots, nested and simultaneous products, and every refusal with its message,
// including the log factor of 1 and products far beyond what a run could store.
#include <string>

#include "stepping_test_support.h"
#include "results/run_state.h"
#include "analyses/stepping.h"
#include "document/stepping_rows.h"
#include "document/circuit_document.h"
#include "platform/message_box.h"

namespace kq5::testing {
namespace {

const std::string kCircuit = "RC\nV1 1 0 PULSE(0 1 0 1U 1U 1 2)\nR1 1 2 RM 1K\nR2 2 0 RM 2K\nC1 2 0 1U\n"
                             ".MODEL RM RES (R=1)\n.PARAM RV=1K\n.TRAN 50U 1M\n.PRINT TRAN V(2)\n.END\n";

class SteppingSettingsTest : public SteppingTest {
protected:
    void SetUp() override
    {
        SteppingTest::SetUp();
        // An analysis with nothing stepped: the circuit is built, the slots are read by each check.
        ASSERT_EQ(Run(kCircuit, kAnalysisTransient), 0) << LastMessage();
    }
    void Clear() { ClearSlots(); }

    // The run count of the settings, or -1 after a refusal (its message in message_).
    int Count()
    {
        AnswerBoxes();
        RunState().setupFailed = false;
        const int rc = PrepareStepping();
        const auto& log = win::MessageBoxLog();
        message_ = log.empty() ? std::string() : log.back().text;
        if (rc != 0) {
            EXPECT_TRUE(RunState().setupFailed);
            EXPECT_FALSE(RunState().steppingActive);
            return -1;
        }
        return RunState().runCount;
    }
    int CountOf(std::uint32_t flags, const std::string& from, const std::string& to, const std::string& value)
    {
        Clear();
        Slot(0, kStepOn | kStepComponent | flags, "R1", "", from, to, value);
        return Count();
    }

    std::string message_;
};

TEST_F(SteppingSettingsTest, LinearLogAndListCounts)
{
    EXPECT_EQ(CountOf(kStepLinear, "1", "3", "1"), 3);
    EXPECT_EQ(CountOf(kStepLinear, "3", "1", "1"), 3);  // stepping downwards
    EXPECT_EQ(CountOf(kStepLinear, "1", "1.5", "1"), 1);
    EXPECT_EQ(CountOf(kStepLinear, "2", "2", "0"), 1);
    EXPECT_EQ(CountOf(kStepLog, "1", "1000", "10"), 4);
    EXPECT_EQ(CountOf(kStepLog, "1000", "1", "10"), 4);  // by 0.1
    EXPECT_EQ(SteppingRows().rows[0].step, 0.1);
    EXPECT_EQ(CountOf(kStepLog, "5", "5", "1"), 1);
    EXPECT_EQ(CountOf(kStepList, "1K, 2K,(1+2)*1K,", "", ""), 3);
    EXPECT_EQ(SteppingRows().rows[0].list[2], 3000.0);
    EXPECT_EQ(CountOf(kStepLinear, "1", "1000", "1"), 1000);
}

TEST_F(SteppingSettingsTest, NestedProductsAndSimultaneousCounts)
{
    Clear();
    Slot(0, kStepOn | kStepComponent | kStepLinear, "R1", "", "1", "40", "1");
    Slot(3, kStepOn | kStepComponent | kStepLinear, "R2", "", "1", "40", "1");
    EXPECT_EQ(Count(), 1600);
    // Off and nameless slots are not read at all.
    Slot(5, kStepOn | kStepComponent | kStepLinear, "", "", "x", "y", "z");
    record_->document->stepping[6] = record_->document->stepping[0];
    record_->document->stepping[6].flags &= ~kStepOn;
    EXPECT_EQ(Count(), 1600);

    Clear();
    record_->document->steppingSimultaneous = 1;
    Slot(0, kStepOn | kStepComponent | kStepList, "R1", "", "1,2");
    Slot(1, kStepOn | kStepComponent | kStepList, "R2", "", "1,2,3");
    EXPECT_EQ(Count(), -1);
    EXPECT_NE(message_.find("all cases must have the same number of steps"), std::string::npos) << message_;
    Slot(0, kStepOn | kStepComponent | kStepList, "R1", "", "4,5,6");
    EXPECT_EQ(Count(), 3);
}

TEST_F(SteppingSettingsTest, ProductsBeyondAMillionRunsAreRefused)
{
    // Three slots of a thousand values: 10^9 runs once made an allocation of that size.
    Clear();
    Slot(0, kStepOn | kStepComponent | kStepLinear, "R1", "", "1", "1000", "1");
    Slot(1, kStepOn | kStepComponent | kStepLinear, "R2", "", "1", "1000", "1");
    Slot(2, kStepOn | kStepComponent | kStepLinear, "C1", "", "1", "1000", "1");
    EXPECT_EQ(Count(), -1);
    EXPECT_NE(message_.find("More than 1000000 runs"), std::string::npos) << message_;
    EXPECT_EQ(RunState().runCount, 1);
    // And a stepped run is then refused, not started with a wrong plan.
    EXPECT_NE(RunAnalysisTimed(kAnalysisTransient), 0);
}

TEST_F(SteppingSettingsTest, IllegalNumbersAreRefused)
{
    struct Case {
        std::uint32_t flags;
        const char *from, *to, *value, *message;
    };
    const Case cases[] = {
        {kStepLog, "0", "10", "10", "Illegal From value."},
        {kStepLog, "1", "-1", "10", "Illegal To value."},
        {kStepLog, "1", "10", "0", "Illegal Step value."},
        // A factor of 1 never reaches a different To: it once divided by ln 1.
        {kStepLog, "1", "10", "1", "Illegal Step value."},
        {kStepLinear, "1", "10", "0", "Illegal Step value."},
        {kStepLinear, "1+", "10", "1", "Illegal From value."},
        {kStepLinear, "1", "10", "0.001", "More than 1000 cases in stepping settings."},
        {kStepList, " , ", "", "", "Missing list values."},
        {kStepList, "1, 2+, 3", "", "", ""},  // the compiler's message, once
        // A parenthesis left open swallows the rest of the list: told, not run as one case.
        {kStepList, "1K, (2K, 3K", "", "", ""},
        // A resistance of 0, refused in a single run, is refused as a stepped case too.
        {kStepLinear, "0", "2K", "1K", "Illegal number '0'."},
        {kStepList, "1K, 0", "", "", "Illegal number '0'."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountOf(c.flags, c.from, c.to, c.value), -1) << c.from << " " << c.to << " " << c.value;
        EXPECT_NE(message_.find(c.message), std::string::npos) << message_ << " / " << c.message;
        // One message for one refusal.
        EXPECT_EQ(win::MessageBoxLog().size(), 1u) << c.from;
    }
}

TEST_F(SteppingSettingsTest, TargetsThatCannotBeFoundOrSteppedTwice)
{
    struct Case {
        std::uint32_t type;
        const char *name, *param, *message;
    };
    const Case cases[] = {
        {kStepComponent, "R9", "", "Can't find a component named 'R9'."},
        {kStepModel, "RES NOPE", "R", "Can't find a model named 'RES NOPE'."},
        {kStepSymbolic, "NOSUCH", "", "Can't find a define named 'NOSUCH'."},
        {kStepModel, "RES RM", "XYZ", "Can't find a model parameter named 'XYZ'."},
        {kStepModel, "RES RM", "", "Missing a model parameter."},
        {kStepComponent, "R1", "TC1", ""},  // R1's model parameter: found
    };
    for (const Case& c : cases) {
        Clear();
        Slot(0, kStepOn | c.type | kStepLinear, c.name, c.param, "1", "2", "1");
        if (*c.message == 0) {
            EXPECT_EQ(Count(), 2) << message_;
            continue;
        }
        EXPECT_EQ(Count(), -1) << c.name;
        EXPECT_NE(message_.find(c.message), std::string::npos) << message_ << " / " << c.message;
    }
    Clear();
    Slot(0, kStepOn | kStepModel | kStepLinear, "RES RM", "R", "1", "2", "1");
    Slot(4, kStepOn | kStepModel | kStepLinear, "res rm", "r", "1", "3", "1");
    EXPECT_EQ(Count(), -1);
    EXPECT_NE(message_.find("more then once"), std::string::npos) << message_;
}

}  // namespace
}  // namespace kq5::testing
