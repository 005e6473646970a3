// The export of what lives in scopes: the values a subcircuit call gives, macro circuits (one
// level and nested) drawn with the program's component library, and the timing models of the
// digital arrays.
#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

constexpr const char* kStageNetlist =
    "Parameterised stages\n"
    ".PARAM RBASE=100K GAINSET=20\n"
    ".PARAM RC_VAL={RBASE/GAINSET}\n"
    ".SUBCKT STAGE IN OUT PARAMS: RC=4.7K RE=1K\n"
    "RA IN OUT {RC}\n"
    "RB OUT 0 {RE}\n"
    ".ENDS\n"
    "VIN A 0 DC 1\n"
    "X1 A B STAGE PARAMS: RC={RC_VAL} RE=2K\n"
    "X2 B C STAGE\n"
    ".TRAN 1U 10U\n"
    ".END\n";

TEST_F(SpiceExportTest, SubcircuitCallsKeepTheValuesTheyGive)
{
    for (SpiceDialect dialect : {kSpiceDialectPspice, kSpiceDialectSpice3}) {
        SCOPED_TRACE(dialect);
        const std::string text = Export(kStageNetlist, dialect);
        // The values as the call wrote them, not the marks that say the call gave them.
        EXPECT_NE(text.find("RC={RC_VAL} RE=2K"), std::string::npos) << text;
        EXPECT_EQ(text.find("RC=1 "), std::string::npos) << text;
        // A call that gives nothing writes no list.
        EXPECT_NE(text.find("X2 B C STAGE\n"), std::string::npos) << text;
    }
}

TEST_F(SpiceExportTest, AGateArrayTakesItsElementGatesTimingModel)
{
    // The array rows of the type table name the op-amp's model type; an array part's timing
    // model is still a gate model, as its element gate's.
    record_->textArea = ".MODEL D0_GATE UGATE(TPLHMX=10N)\n.MODEL IO_STD UIO()\n";
    const int invA = kComponentBufA + 1;
    Part(invA, "U1", {1, 2}, {{ModelAttributeOfComponentType(invA), "D0_GATE"}, {kAttrIoModel, "IO_STD"}});
    win::ClearMessageBoxLog();
    EXPECT_EQ(PrepareCircuit(record_, nullptr, kPrepareResolveModels), 0) << LastShownText();
    EXPECT_TRUE(win::MessageBoxLog().empty()) << LastShownText();
}

}  // namespace
}  // namespace kq5::testing
