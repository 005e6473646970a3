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

TEST_F(SpiceExportTest, PrintedNodesInsideCallsKeepTheirInstancePath)
{
    // Two sections inside a stage: an inner node, a node of the stage, and a pin of a section
    // (the stage's node M), printed from the top.
    const std::string netlist = "Nested sections\n"
                                "V1 IN 0 PULSE(0 1 0 1U 1U 50U 100U)\n"
                                "X1 IN OUT STAGE\n"
                                "RL OUT 0 10K\n"
                                ".SUBCKT SEC A B\nR1 A TAP 1K\nC1 TAP 0 10N\nR2 TAP B 2K\n.ENDS SEC\n"
                                ".SUBCKT STAGE P Q\nXA P M SEC\nXB M Q SEC\nCM M 0 5N\n.ENDS STAGE\n"
                                ".TRAN 1U 100U\n"
                                ".PRINT TRAN V(OUT) V(X1.XB.TAP) V(X1.M) V(X1.XA.B) V(X1.XB.B,X1.XB.TAP)\n"
                                ".END\n";
    for (SpiceDialect dialect : {kSpiceDialectPspice, kSpiceDialectSpice3}) {
        SCOPED_TRACE(dialect);
        const std::string text = Export(netlist, dialect);
        EXPECT_NE(text.find(".PRINT TRAN V(OUT) V(X1.XB.TAP) V(X1.M) V(X1.M) V(OUT,X1.XB.TAP)\n"), std::string::npos) << text;
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

// Two dividers: 1 V across R1 and R5, 10 V across R2, R3 and R4. The numbering gives the 10 V
// battery's net number 3 and the lower tap of R2-R4 number 5; a node label "3" names that tap.
constexpr const char* kLabelledDivider =
    "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\n\n"
    "[Comp]\nName=Battery\nGrid=25,27\n\n[Attr]\nONV=0,0,PART,V1\n\n[Attr]\nONV=0,0,VALUE,1\n\n"
    "[Comp]\nName=Resistor\nGrid=33,27\n\n[Attr]\nONV=8,8,PART,R1\n\n[Attr]\nONV=8,22,VALUE,1K\n\n"
    "[Comp]\nName=Resistor\nGrid=39,27\n\n[Attr]\nONV=8,8,PART,R5\n\n[Attr]\nONV=8,22,VALUE,1K\n\n"
    "[Comp]\nName=Ground\nGrid=45,27\n\n[Comp]\nName=Ground\nGrid=25,33\n\n"
    "[Comp]\nName=Battery\nGrid=60,10\n\n[Attr]\nONV=0,0,PART,V2\n\n[Attr]\nONV=0,0,VALUE,10\n\n"
    "[Comp]\nName=Ground\nGrid=60,16\n\n"
    "[Comp]\nName=Resistor\nGrid=60,10\n\n[Attr]\nONV=8,8,PART,R2\n\n[Attr]\nONV=8,22,VALUE,1K\n\n"
    "[Comp]\nName=Resistor\nGrid=66,10\n\n[Attr]\nONV=8,8,PART,R3\n\n[Attr]\nONV=8,22,VALUE,1K\n\n"
    "[Comp]\nName=Resistor\nGrid=72,10\n\n[Attr]\nONV=8,8,PART,R4\n\n[Attr]\nONV=8,22,VALUE,1K\n\n"
    "[Comp]\nName=Ground\nGrid=78,10\n\n"
    "[Wire]\nGrids=25,27,33,27\n\n"
    "[Grid Text]\nText=3\nGrid=72,10\n\n"
    "[Page]\nIndex=0\nName=Page 1\nGrid=0,0\n\n";

TEST_F(SpiceExportTest, ANumericNodeLabelKeepsItsNetApartFromTheNetNumberedSo)
{
    ASSERT_EQ(LoadProgramLibraries(), 0);
    const std::string path = (dir_ / "divider.cir").string();
    std::ofstream(path, std::ios::binary) << kLabelledDivider;
    ASSERT_EQ(ReadSchematicInto(record_, path), 0) << LastShownText();
    ASSERT_EQ(PrepareCircuit(record_, nullptr, kPrepareRebuildNetlist), 0) << LastShownText();
    // Five nets besides ground: the label must not join the battery's net to the lower tap.
    EXPECT_EQ(record_->document->analysisNodeCounts[0], 5);
    const std::int32_t tap = LookupNodeNumber(CircuitNodeTable(), "3", 0, 0);
    EXPECT_EQ(tap, LookupNodeNumber(CircuitNodeTable(), "5", 0, 0));
    EXPECT_NE(tap, LookupNodeNumber(CircuitNodeTable(), "N3", 0, 0));
    FreeBuiltCircuit(0xFF);

    const std::string text = ExportRecord(kSpiceDialectSpice3);
    EXPECT_NE(text.find("\nV2 N3 0 "), std::string::npos) << text;
    EXPECT_NE(text.find("\nR2 N3 4 "), std::string::npos) << text;
    EXPECT_NE(text.find("\nR3 4 3 "), std::string::npos) << text;
    EXPECT_NE(text.find("\nR4 3 0 "), std::string::npos) << text;
}

TEST_F(SpiceExportTest, ASchematicsTextAreaSubcircuitIsCopiedThoughNothingCallsIt)
{
    ASSERT_EQ(LoadProgramLibraries(), 0);
    const std::string path = (dir_ / "divider.cir").string();
    std::ofstream(path, std::ios::binary) << kLabelledDivider;
    ASSERT_EQ(ReadSchematicInto(record_, path), 0) << LastShownText();
    record_->textArea = ".SUBCKT SPARE A B\nR1 A B 10K\n.ENDS SPARE\n";
    for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3}) {
        SCOPED_TRACE(dialect);
        const std::string text = ExportRecord(dialect);
        EXPECT_NE(text.find("\n.SUBCKT SPARE A B\nR1 A B 10K\n.ENDS SPARE\n"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace kq5::testing
