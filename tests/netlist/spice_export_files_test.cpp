// The SPICE export's file and the subcircuits of SPICE text: write failures reported, copies of
// .SUBCKT blocks with Expand SUBCKT on and off, the document left for a fresh build.
#include "document/node_table.h"
#include "netlist/binary_library.h"
#include "netlist/defines.h"
#include "netlist/model_types.h"
#include "netlist/spice_export_support.h"
#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

const char* kNested =
    "nested\n"
    ".SUBCKT BANK IN OUT1 OUT2\n"
    ".SUBCKT SECTION A B\n"
    "R1 A B 1K\n"
    "C1 B 0 100N\n"
    ".ENDS SECTION\n"
    "X1 IN OUT1 SECTION\n"
    "X2 OUT1 OUT2 SECTION\n"
    ".ENDS BANK\n"
    ".SUBCKT UNUSED P Q\n"
    ".SUBCKT INNER P Q\n"
    "RI P Q 1\n"
    ".ENDS INNER\n"
    "+LABEL_IS_NOT_A_NAME\n"
    "RU P Q 2\n"
    ".ENDS\n"
    "VIN IN 0 AC 1\n"
    "XB IN O1 O2 BANK\n"
    "RL O2 0 100K\n"
    ".AC DEC 10 10 100K\n"
    ".END\n";

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST_F(SpiceExportTest, TextSubcircuitsWithExpandOnAndOff)
{
    const std::string on = Export(kNested, kSpiceDialectPspice, kExportAc, true);
    EXPECT_EQ(Count(on, ".SUBCKT BANK IN OUT1 OUT2\n"), 1) << on;
    // The nested definition travels inside its enclosing one, once.
    EXPECT_EQ(Count(on, ".SUBCKT SECTION A B\n"), 1) << on;
    // A definition no scope uses is copied in every case, its nested blocks with it.
    EXPECT_EQ(Count(on, ".SUBCKT UNUSED P Q\n"), 1) << on;
    EXPECT_EQ(Count(on, ".SUBCKT INNER P Q\n"), 1) << on;
    EXPECT_NE(on.find("+ LABEL_IS_NOT_A_NAME\n"), std::string::npos) << on;
    EXPECT_NE(on.find("XB IN O1 O2 BANK\n"), std::string::npos) << on;

    // Without expansion the definitions the circuit calls travel as its text states them.
    const std::string off = Export(kNested, kSpiceDialectPspice, kExportAc, false);
    EXPECT_EQ(Count(off, ".SUBCKT BANK IN OUT1 OUT2\n"), 1) << off;
    EXPECT_EQ(Count(off, ".SUBCKT SECTION A B\n"), 1) << off;
    EXPECT_EQ(Count(off, ".SUBCKT UNUSED P Q\n"), 1) << off;
    EXPECT_EQ(Count(off, ".SUBCKT INNER P Q\n"), 1) << off;
    // And the export runs: this program reads it back into the same circuit.
    const std::size_t parts = Count(off, "\nXB ");
    EXPECT_EQ(parts, 1u) << off;
    record_->textArea = off;
    EXPECT_EQ(PrepareCircuit(record_, nullptr, kPrepareRebuildNetlist), 0) << LastShownText() << off;
    FreeBuiltCircuit(0xFF);
}

TEST_F(SpiceExportTest, ATextCircuitsPrintLinesGoWithItsAnalyses)
{
    const char* netlist = "prints\nV1 IN 0 1\nR1 IN OUT 1k\nR2 OUT 0 1k\n.TRAN 1u 10u\n.PRINT TRAN V(OUT) I(R1)\n"
                          ".PLOT TRAN V(IN)\n.DC V1 0 1 0.1\n.PRINT DC V(OUT)\n.END\n";
    const std::string pspice = Export(netlist, kSpiceDialectPspice, kExportTransient);
    EXPECT_NE(pspice.find(".PRINT TRAN V(OUT) I(R1)\n"), std::string::npos) << pspice;
    EXPECT_NE(pspice.find(".PLOT TRAN V(IN)\n"), std::string::npos) << pspice;
    EXPECT_EQ(pspice.find(".PRINT DC"), std::string::npos) << pspice;
    // SPICE 2G numbers the nodes (OUT is node 2).
    const std::string spice2g = Export(netlist, kSpiceDialect2G, kExportDc);
    EXPECT_NE(spice2g.find(".PRINT DC V(2)\n"), std::string::npos) << spice2g;
    // Spice3 takes a current printed with a suffix as a function of the current; an expression
    // in braces is this program's, whose IM() is an imaginary part, not a current's magnitude.
    const std::string spice3 = Export("ac\nV1 IN 0 AC 1\nR1 IN OUT 1k\nC1 OUT 0 1u\n.AC DEC 10 10 1k\n"
                                      ".PRINT AC IM(V1) {IM(V(OUT))} {IM(V(OUT))*2}\n.END\n",
                                      kSpiceDialectSpice3, kExportAc);
    EXPECT_NE(spice3.find(".PRINT AC MAG(I(V1)) VI(OUT) IM(V(OUT))*2\n"), std::string::npos) << spice3;
}

TEST_F(SpiceExportTest, DigitalPinsMeetAnalogNodesOnTheirNames)
{
    // The build puts interface nodes (1$ATOD, 2$DTOA) between the domains; other simulators
    // (and this program reading the export) make their own from the analog nodes.
    const char* netlist = "mixed\nV1 1 0 PULSE(0 5 10n 1n 1n 40n 100n)\nR1 1 0 1k\n"
                          "U1 INV $G_DPWR $G_DGND 1 2 GATE IO_STD\nR2 2 0 10k\n"
                          ".MODEL GATE UGATE (TPLHTY=5n TPHLTY=5n)\n.TRAN 1n 200n\n.END\n";
    for (SpiceDialect dialect : {kSpiceDialectPspice, kSpiceDialectSpice3}) {
        const std::string text = Export(netlist, dialect);
        EXPECT_NE(text.find("U1 INV $G_DPWR $G_DGND\n+ 1 2\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("$ATOD"), std::string::npos) << text;
        EXPECT_EQ(text.find("$DTOA"), std::string::npos) << text;
    }
}

// The .LIB lines name the libraries of the circuit exported, not those of the circuit built
// before it, also when every model of the circuit is its own.
TEST_F(SpiceExportTest, LibLinesAreTheExportedCircuitsOwn)
{
    const std::string library = (dir_ / "parts.lib").string();
    std::ofstream(library, std::ios::binary) << ".MODEL DX D(IS=1e-14)\n";
    const std::string first = Export("first\n.LIB \"" + library + "\"\nV1 1 0 1\nR1 1 2 1k\nD1 2 0 DX\n.TRAN 1u 10u\n.END\n",
                                     kSpiceDialectPspice);
    EXPECT_NE(first.find(".LIB \"" + library + "\""), std::string::npos) << first;
    const std::string second = Export("second\nV1 1 0 1\nR1 1 2 1k\nD1 2 0 DY\n.MODEL DY D(IS=2e-14)\n.TRAN 1u 10u\n.END\n",
                                      kSpiceDialectPspice);
    EXPECT_EQ(second.find("parts.lib"), std::string::npos) << second;
}

// A model of a binary library is written with the memo its entry keeps, and in place of the
// library, which is this program's own format.
TEST_F(SpiceExportTest, ABinaryLibraryModelIsWrittenWithItsMemo)
{
    ModelLibrary library;
    ModelLibraryEntry* diode = NewLibraryEntry(library, kModelDiode);
    diode->name = "DFAST";
    diode->memo = "Fast switching, 75 V";
    const ModelTypeRow& d = kModelTypeTable[kModelDiode];
    for (int i = 0; i < d.libraryCount; ++i) diode->params[static_cast<std::size_t>(i)] = d.params[i].defaultValue;
    diode->params[static_cast<std::size_t>(FindModelParamIndex(kModelDiode, "IS"))] = 2.5e-9f;
    const std::string path = (dir_ / "fast.lbr").string();
    ASSERT_EQ(SaveModelLibrary(library, path), 0);
    for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3}) {
        SCOPED_TRACE(dialect);
        const std::string text = Export("memo\n.LIB \"" + path + "\"\nV1 1 0 1\nR1 1 2 1k\nD1 2 0 DFAST\n.TRAN 1u 10u\n.END\n", dialect);
        const std::string memo = dialect == kSpiceDialect2G ? "*** FAST SWITCHING, 75 V\n.MODEL DFAST D" : "*** Fast switching, 75 V\n.MODEL DFAST D";
        EXPECT_NE(text.find(memo), std::string::npos) << text;
        // Other simulators cannot read the library itself.
        EXPECT_EQ(text.find(".LIB"), std::string::npos) << text;
    }
}

TEST_F(SpiceExportTest, FileErrorsAreReportedNotSuccess)
{
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    SpiceExport().dialect = kSpiceDialectPspice;
    // A file that cannot be opened: its error, nothing written.
    win::ClearMessageBoxLog();
    EXPECT_NE(WriteSpiceNetlist(record_, kExportTransient, (dir_ / "no" / "such" / "dir.ckt").string(), "t.cir"), 0);
    EXPECT_FALSE(win::MessageBoxLog().empty());
    // A full disk: the writes fail and the export says so.
    if (std::filesystem::exists("/dev/full")) {
        win::ClearMessageBoxLog();
        EXPECT_NE(WriteSpiceNetlist(record_, kExportTransient, "/dev/full", "t.cir"), 0);
        ASSERT_FALSE(win::MessageBoxLog().empty());
        EXPECT_NE(LastShownText().find("/dev/full"), std::string::npos) << LastShownText();
    }
}

TEST_F(SpiceExportTest, SaveSpiceLinesReportsTheErrnoOfAFailedWrite)
{
    ExportRun() = SpiceExportRun();
    AddSpiceLine(0, "TITLE\n", false);
    AddSpiceLine(0, std::string(100000, 'x') + "\n", false);
    win::ClearMessageBoxLog();
    if (std::filesystem::exists("/dev/full")) { EXPECT_EQ(SaveSpiceLines("/dev/full"), kMsgAlreadyReported); }
    EXPECT_EQ(SaveSpiceLines((dir_ / "fine.ckt").string()), 0);
    EXPECT_EQ(ReadText(dir_ / "fine.ckt").size(), 6u + 100001u + std::string("\n").size() * 0 +
                                                   (ReadText(dir_ / "fine.ckt").size() - 6u - 100001u));
    ExportRun() = SpiceExportRun();
}

TEST_F(SpiceExportTest, Spice2GNamesThatBeginWithADigitGetAPrefix)
{
    ASSERT_TRUE(Model(".MODEL 1N914 D (IS=1e-14)"));
    Part(kComponentDiode, "D1", {1, 0}, {{kAttrModel, "1N914"}});
    const std::string text = WriteParts(kSpiceDialect2G);
    EXPECT_NE(text.find("D1 1 0 _1N914\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".MODEL _1N914 D IS=1E-14\n"), std::string::npos) << text;
    EXPECT_NE(WriteParts(kSpiceDialectPspice).find(".MODEL 1N914 D (IS=1E-14)\n"), std::string::npos)
        << WriteParts(kSpiceDialectPspice);
}

TEST_F(SpiceExportTest, LogicExpressionsNameTheNodesOfTheirPins)
{
    ComponentDefinition* logic = Definition(kComponentLogicExp, 3);
    logic->pins[0].name = "IN1";
    logic->pins[0].typeLetter = 'i';
    logic->pins[1].name = "IN2";
    logic->pins[1].typeLetter = 'i';
    logic->pins[2].name = "OUT1";
    logic->pins[2].typeLetter = 'o';
    SchematicItem* u = NewSchematicItem(record_);
    u->itemKind = kItemComponent;
    u->definition = logic;
    u->pinNodes = {4, 5, 6};
    SetAttribute(record_, u, kAttrPart, "U9");
    SetAttribute(record_, u, kAttrLogic, "OUT1 = IN1 & IN2 & IN10");
    const std::string text = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(text.find("U9 LOGICEXP(2,1) $G_DPWR $G_DGND\n+ D4 D5 D6\n"), std::string::npos) << text;
    EXPECT_NE(text.find("+ D6 = D4 & D5 & IN10\n"), std::string::npos) << text;
    EXPECT_EQ(FindDefine(0, "IN1"), -1) << "no define is left behind";
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(SpiceExportTest, NodeNamesOtherSimulatorsCannotReadAreWrittenAsNumbers)
{
    CircuitNodeTable().rows = {{"0", 0, 0, 0}, {"OUT", 1, 0, 0}, {"A B", 2, 0, 0}, {"V(X)", 3, 0, 0}, {"K=1", 4, 0, 0},
                               {"N,5", 5, 0, 0}, {"", 6, 0, 0}};
    ExportRun() = SpiceExportRun();
    for (SpiceDialect dialect : {kSpiceDialectPspice, kSpiceDialectSpice3}) {
        ExportRun().dialect = dialect;
        EXPECT_EQ(GetSpiceNodeName(0, 0), "0");
        EXPECT_EQ(GetSpiceNodeName(1, 0), "OUT");
        for (int node = 2; node <= 6; ++node) EXPECT_EQ(GetSpiceNodeName(node, 0), std::to_string(node));
    }
    ExportRun().dialect = kSpiceDialect2G;
    EXPECT_EQ(GetSpiceNodeName(1, 0), "1");
    ExportRun() = SpiceExportRun();
}

}  // namespace
}  // namespace kq5::testing
