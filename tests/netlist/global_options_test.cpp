#include "netlist/global_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/message_reporter.h"
#include "model_test_support.h"
#include "netlist/circuit_text_object.h"

namespace kq5::testing {
namespace {

class Options : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        SetGlobalOptionsToDefaults();
    }
    // Parses the lines as the text objects of a circuit.
    int Run(std::initializer_list<const char*> lines, bool textNetlist = false)
    {
        LinkedList objects(NewListRecord<CircuitTextObject>);
        for (const char* line : lines) ListAppendAs<CircuitTextObject>(objects, 0)->text = line;
        return ParseOptionsStatements(objects, textNetlist);
    }
    const GlobalOptionValues& V() const { return GlobalOptions().values; }
};

TEST_F(Options, TableRowsAndDefaults)
{
    ASSERT_EQ(GlobalOptionsTable().size(), 38u);
    EXPECT_EQ(kGlobalOptionsTable.front().id, 200);
    EXPECT_STREQ(kGlobalOptionsTable[35].name, "PRIVATEANALOG");
    EXPECT_EQ(kGlobalOptionsTable[36].id, 238);
    EXPECT_EQ(kGlobalOptionsTable.back().id, 239);
    EXPECT_EQ(FindGlobalOption("RMIN"), 37);
    EXPECT_EQ(FindGlobalOption("reltol"), -1);
    for (const GlobalOptionRow& row : GlobalOptionsTable()) {
        EXPECT_EQ(row.type == kOptionDouble, row.doubleValue != nullptr) << row.name;
        EXPECT_EQ(row.type == kOptionDouble, row.intValue == nullptr) << row.name;
    }
    // The default texts give the values the variables start with.
    GlobalOptionValues initial;
    EXPECT_DOUBLE_EQ(V().abstol, initial.abstol);
    EXPECT_DOUBLE_EQ(V().chgtol, initial.chgtol);
    EXPECT_DOUBLE_EQ(V().digfreq, 10e9);
    EXPECT_DOUBLE_EQ(V().digdrvz, 20e3);
    EXPECT_DOUBLE_EQ(V().defl, 100e-6);
    EXPECT_DOUBLE_EQ(V().rmin, 1e-6);
    EXPECT_EQ(V().width, 80);
    EXPECT_EQ(V().privateanalog, 1);
    EXPECT_EQ(V().performM, 2);
    for (int row = 0; row < kGlobalOptionCount; ++row)
        EXPECT_TRUE(GlobalOptionInRange(row, GlobalOptionValue(row))) << kGlobalOptionsTable[row].name;
}

TEST_F(Options, StatementsSetValues)
{
    EXPECT_EQ(Run({".OPTIONS RELTOL=.01 ITL1=200", "R1 1 0 1K", ".opt gmin = 1n abstol=1u"}), 0);
    EXPECT_DOUBLE_EQ(V().reltol, 0.01);
    EXPECT_EQ(V().itl1, 200);
    EXPECT_DOUBLE_EQ(V().gmin, 1e-9);
    EXPECT_DOUBLE_EQ(V().abstol, 1e-6);
    EXPECT_EQ(Run({".OPTIONS GMIN=1p", ".OPTIONS GMIN=2p ITL4=20.7"}), 0);
    EXPECT_DOUBLE_EQ(V().gmin, 2e-12);
    EXPECT_EQ(V().itl4, 20);
    EXPECT_EQ(Run({".OPTIONS", ".OPTIONS ACCT LIST OPTS", ".OPTIONSX RELTOL=.5"}), 0);
    EXPECT_DOUBLE_EQ(V().reltol, 0.01);
    EXPECT_TRUE(Models().deferredWarnings.empty());
    EXPECT_EQ(Run({".OPTIONS METHOD=GEAR"}), 0);
    EXPECT_EQ(GlobalOptions().integrationMethod, kMethodGear);
    // The settings the next circuit starts from hold the method too.
    SetGlobalOptionsToDefaults();
    EXPECT_EQ(GlobalOptions().integrationMethod, kMethodTrap);
    EXPECT_EQ(Run({".OPTIONS METHOD=GEAR"}), 0);
    EXPECT_EQ(Run({".OPTIONS METHOD = TRAP"}), 0);
    EXPECT_EQ(GlobalOptions().integrationMethod, kMethodTrap);
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(Options, FlagsTakeNoValueOrZeroOrOne)
{
    EXPECT_EQ(Run({".OPTIONS NOOUTMSG"}), 0);
    EXPECT_EQ(V().nooutmsg, 1);
    ResetGlobalOptionsForTests();
    EXPECT_EQ(Run({".OPTIONS NOOUTMSG RELTOL=.01"}), 0);
    EXPECT_EQ(V().nooutmsg, 1);
    EXPECT_DOUBLE_EQ(V().reltol, 0.01);
    EXPECT_EQ(Run({".OPTIONS NOOUTMSG=0 PRIVATEANALOG = 0"}), 0);
    EXPECT_EQ(V().nooutmsg, 0);
    EXPECT_EQ(V().privateanalog, 0);
    EXPECT_TRUE(Models().deferredWarnings.empty());
    EXPECT_EQ(Run({".OPTIONS NOOUTMSG=2"}), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 11873);
    EXPECT_EQ(V().nooutmsg, 0);
}

TEST_F(Options, UnknownNamesAreDeferredWarnings)
{
    EXPECT_EQ(Run({".OPTIONS FOO=3 BAR NUMDGT=8 RELTOL=.002"}), 0);
    const std::vector<DeferredWarning>& warnings = Models().deferredWarnings;
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[0].name, "FOO");
    EXPECT_EQ(warnings[0].kind, kWarnUnknownOption);
    EXPECT_EQ(warnings[1].name, "BAR");
    EXPECT_EQ(warnings[2].name, "NUMDGT");
    EXPECT_EQ(GlobalOptions().numdgt, -1);
    EXPECT_DOUBLE_EQ(V().reltol, 0.002);
    // In a text netlist NUMDGT is an option of its own.
    EXPECT_EQ(Run({".OPTIONS NUMDGT=8"}, true), 0);
    EXPECT_EQ(GlobalOptions().numdgt, 8);
    EXPECT_EQ(Models().deferredWarnings.size(), 3u);
}

TEST_F(Options, BadStatementsAreRefused)
{
    struct Case {
        const char* text;
        int id;
    };
    for (const Case& c : {Case{".OPTIONS RELTOL", 11896}, Case{".OPTIONS RELTOL=", 11896},
                          Case{".OPTIONS RELTOL .01", 11901}, Case{".OPTIONS RELTOL=ABC", 11897},
                          Case{".OPTIONS RELTOL=1.2.3", 11897}, Case{".OPTIONS METHOD=EULER", 11895},
                          Case{".OPTIONS METHOD", 11896}, Case{".OPTIONS METHOD GEAR", 11901}, Case{".OPTIONS RELTOL=0", 11872},
                          Case{".OPTIONS RELTOL=-1m", 11872}, Case{".OPTIONS RELTOL=2", 11872},
                          Case{".OPTIONS ITL1=0", 11870}, Case{".OPTIONS ITL4=-5", 11870},
                          Case{".OPTIONS ITL5=-1", 11871}, Case{".OPTIONS WIDTH=5", 11873},
                          Case{".OPTIONS TNOM=-300", 11870}, Case{".OPTIONS DIGIOLVL=7", 11873},
                          Case{".OPTIONS ABSTOL=1E999", 11897}}) {
        SetGlobalOptionsToDefaults();
        win::ClearMessageBoxLog();
        ClearCircuitBuildError();
        EXPECT_EQ(Run({c.text}), kMsgAlreadyReported) << c.text;
        EXPECT_EQ(LastShownId(), c.id) << c.text;
        EXPECT_TRUE(CircuitBuildFailed()) << c.text;
        EXPECT_DOUBLE_EQ(V().reltol, 1e-3) << c.text;
        EXPECT_EQ(V().itl1, 100) << c.text;
    }
    // Values stored before the error stay; the statements after it are not read.
    EXPECT_EQ(Run({".OPTIONS GMIN=3p ITL1=0", ".OPTIONS ITL2=99"}), kMsgAlreadyReported);
    EXPECT_DOUBLE_EQ(V().gmin, 3e-12);
    EXPECT_EQ(V().itl2, 50);
}

TEST_F(Options, SettingsTexts)
{
    const int width = FindGlobalOption("WIDTH");
    EXPECT_EQ(SetGlobalOptionFromText(width, "132"), 0);
    EXPECT_EQ(V().width, 132);
    EXPECT_EQ(SetGlobalOptionFromText(width, "wide"), 11897);
    EXPECT_EQ(V().width, 132);
    EXPECT_EQ(SetGlobalOptionFromText(FindGlobalOption("VNTOL"), "5uV"), 0);
    EXPECT_DOUBLE_EQ(V().vntol, 5e-6);
    EXPECT_EQ(SetGlobalOptionFromText(-1, "1"), 11897);
    EXPECT_FALSE(GlobalOptionInRange(width, 9));
    EXPECT_TRUE(GlobalOptionInRange(width, 1000));
}

}  // namespace
}  // namespace kq5::testing
