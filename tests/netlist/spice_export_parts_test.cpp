// Part lines of the SPICE export: names, added elements, sources from models, op-amp
// subcircuits and digital primitives, written from parts of a built circuit.
#include "netlist/capacitor_device.h"
#include "netlist/opamp_expansion.h"
#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

std::pair<int, std::string> Main(int type, const std::string& text)
{
    return {static_cast<int>(FindComponentTypeRow(type)->mainAttribute), text};
}

TEST_F(SpiceExportTest, PartNamesTakeTheLetterAndStayUnique)
{
    Part(kComponentResistor, "1", {1, 0}, {{kAttrValue, "1k"}});
    Part(kComponentResistor, "R1", {1, 2}, {{kAttrValue, "2k"}});
    Part(kComponentDiode, "D3", {2, 0}, {{kAttrModel, "DX"}});
    Part(kComponentCapacitor, "X5", {2, 0}, {{kAttrValue, "1n"}});
    const std::string text = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(text.find("R1 1 0 1K\n"), std::string::npos) << text;
    EXPECT_NE(text.find("R2 1 2 2K\n"), std::string::npos) << text;
    EXPECT_NE(text.find("D3 2 0 DX\n"), std::string::npos) << text;
    EXPECT_NE(text.find("CX5 2 0 1N\n"), std::string::npos) << text;
}

TEST_F(SpiceExportTest, AddedElementsTakeNamesNoPartHas)
{
    // The resistor added across E1's input would be RE1, which a part already is.
    Part(kComponentVofV, "E1", {3, 0, 1, 2}, {Main(kComponentVofV, "2")});
    Part(kComponentResistor, "RE1", {3, 0}, {{kAttrValue, "1k"}});
    Part(kComponentIofI, "F1", {4, 0, 1, 0}, {Main(kComponentIofI, "3")});
    Part(kComponentIofV, "G1", {5, 0, 1, 0}, {Main(kComponentIofV, "1m")});
    const std::string text = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(text.find("RE1 3 0 1K\n"), std::string::npos) << text;
    EXPECT_EQ(LinesStarting(text, "RE1 "), "RE1 3 0 1K\n") << text;
    EXPECT_NE(text.find(" 1 2 1G;added by E1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("F1 4 0 VF1 3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("VF1 1 0 0 ;added by F1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("RG1 1 0 1G ;added by G1\n"), std::string::npos) << text;
}

TEST_F(SpiceExportTest, TransformerBecomesTwoInductorsAndACoupling)
{
    // Its value read as the simulation reads it ("a,b,k"); the primary (the first value) lies
    // on the input pins 3 and 4, as the simulation places it, with 1/GMIN from pin 3 to pin 1.
    Part(kComponentTransformer, "K1", {1, 0, 2, 0}, {Main(kComponentTransformer, "1m,4m,0.99")});
    const std::string text = WriteParts(kSpiceDialectSpice3);
    EXPECT_NE(text.find("L1_1 2 0 0.001 ;added by K1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("L1_2 1 0 0.004 ;added by K1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("K1 L1_1 L1_2 0.99\n"), std::string::npos) << text;
    EXPECT_NE(text.find("R1_DC 2 1 1e+12 ;added by K1\n"), std::string::npos) << text;
}

TEST_F(SpiceExportTest, FormsADialectLacksAreSaidNotWritten)
{
    // Three coupled inductors: one K line in PSpice, a line per pair in SPICE 2G and Spice3.
    Part(kComponentInductor, "L1", {1, 0}, {{kAttrValue, "1m"}});
    Part(kComponentInductor, "L2", {2, 0}, {{kAttrValue, "1m"}});
    Part(kComponentInductor, "L3", {3, 0}, {{kAttrValue, "1m"}});
    Part(kComponentK, "K1", {}, {{kAttrInductors, "L1 L2 L3"}, {kAttrCoupling, "0.9"}});
    // A lossy line: the LTRA model in Spice3, none in SPICE 2G.
    Part(kComponentTline, "T1", {1, 0, 2, 0}, {{kAttrValue, "LEN=2 R=5 C=100P"}});
    // Laplace, table and frequency-table sources: PSpice only.
    Part(kComponentLFIofV + 2, "E1", {4, 0, 1, 0}, {Main(kComponentLFIofV + 2, "1/(1+S)")});
    Part(kComponentNTIofV + 2, "E2", {5, 0, 1, 0}, {Main(kComponentNTIofV + 2, "(0,0) (1,2)")});
    Part(kComponentLTIofV + 2, "E3", {6, 0, 1, 0}, {Main(kComponentLTIofV + 2, "(0,0,0) (1k,-6,-90)")});
    const std::string pspice = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(pspice.find("K1 L1 L2 L3 0.9\n"), std::string::npos) << pspice;
    EXPECT_NE(pspice.find("T1 1 0 2 0 LEN=2 R=5 C=100P\n"), std::string::npos) << pspice;
    EXPECT_NE(pspice.find("E1 4 0 LAPLACE"), std::string::npos) << pspice;
    const std::string spice3 = WriteParts(kSpiceDialectSpice3);
    EXPECT_EQ(LinesStarting(spice3, "K1"), "K11 L1 L2 0.9\nK12 L1 L3 0.9\nK13 L2 L3 0.9\n") << spice3;
    EXPECT_NE(spice3.find("OT1 1 0 2 0 LTRA_T1\n"), std::string::npos) << spice3;
    EXPECT_NE(spice3.find(".MODEL LTRA_T1 LTRA (R=5 L=0 G=0 C=100P LEN=2)\n"), std::string::npos) << spice3;
    const std::string spice2g = WriteParts(kSpiceDialect2G);
    for (const std::string& text : {spice3, spice2g}) {
        const std::string upper = CopyUpperCase(text);
        for (const char* name : {"E1", "E2", "E3"}) {
            EXPECT_NE(upper.find(" " + std::string(name) + " NOT SUPPORTED BY SPICE\n"), std::string::npos) << name << text;
            EXPECT_EQ(LinesStarting(upper, name), "") << text;
        }
    }
    EXPECT_NE(spice2g.find(" T1 NOT SUPPORTED BY SPICE\n"), std::string::npos) << spice2g;
    EXPECT_EQ(LinesStarting(spice2g, "T1"), "") << spice2g;
}

TEST_F(SpiceExportTest, FormulaSourcePerDialect)
{
    Part(kComponentNFV, "E1", {2, 0}, {Main(kComponentNFV, "LN(V(1))*2")});
    EXPECT_NE(WriteParts(kSpiceDialectSpice3).find("BE1 2 0 V = LOG(V(1))*2\n"), std::string::npos)
        << WriteParts(kSpiceDialectSpice3);
    EXPECT_NE(WriteParts(kSpiceDialectPspice).find("E1 2 0 VALUE = {LOG(V(1))*2}\n"), std::string::npos);
    EXPECT_NE(WriteParts(kSpiceDialect2G).find("* ERROR: NFV E1 NOT SUPPORTED BY SPICE\n"), std::string::npos)
        << WriteParts(kSpiceDialect2G);
}

TEST_F(SpiceExportTest, PulseAndSineModelsBecomeSourceSpecifications)
{
    ASSERT_TRUE(Model(".MODEL P1 PUL (VZERO=0 VONE=5 P1=1n P2=2n P3=10n P4=11n P5=20n)"));
    ASSERT_TRUE(Model(".MODEL S1 SIN ()"));
    ASSERT_TRUE(Model(".MODEL S2 SIN (A=2 RS=50)"));
    Part(kComponentPulseSource, "P1", {1, 0}, {{kAttrModel, "P1"}});
    Part(kComponentSineSource, "V2", {2, 0}, {{kAttrModel, "S1"}});
    Part(kComponentSineSource, "V3", {3, 0}, {{kAttrModel, "S2"}});
    const std::string text = WriteParts(kSpiceDialectPspice, kExportTransient | kExportAc);
    EXPECT_NE(text.find(" 1 0 AC 1 PULSE (0 5 1e-09 1e-09 1e-09 8e-09 2e-08)\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" 2 0 AC 1 SIN (0 1 1e+06)\n"), std::string::npos) << text;
    // The sine source's series resistance becomes a resistor to a new node.
    EXPECT_NE(text.find(" INTERIOR_NONE1 0 AC 1 SIN (0 2 1e+06)\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" 3 INTERIOR_NONE1 50 ;added by "), std::string::npos) << text;
    EXPECT_EQ(text.find(".MODEL P1"), std::string::npos);
}

TEST_F(SpiceExportTest, ASubstrateNodeIsBracketedForPspiceOnly)
{
    ASSERT_TRUE(Model(".MODEL QS NPN (BF=100 CJS=1P)"));
    Part(kComponentNpn4, "Q1", {1, 2, 0, 4}, {{kAttrModel, "QS"}});
    const std::string pspice = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(pspice.find("Q1 1 2 0 [4] QS\n"), std::string::npos) << pspice;
    const std::string spice3 = WriteParts(kSpiceDialectSpice3);
    EXPECT_NE(spice3.find("Q1 1 2 0 4 QS\n"), std::string::npos) << spice3;
}

// A sine a quarter period ahead (PH in radians): the SPICE phase in degrees, or in SPICE 2G,
// which has none, a start a quarter period early. (An export rewrites the models it writes: one
// dialect a test.)
TEST_F(SpiceExportTest, ASineModelsPhaseIsKept)
{
    ASSERT_TRUE(Model(".MODEL S1 SIN (F=1K A=2 DC=0.5 PH=1.5708)"));
    Part(kComponentSineSource, "V1", {1, 0}, {{kAttrModel, "S1"}});
    const std::string pspice = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(pspice.find(" 1 0 SIN (0.5 2 1K 0 0 90.0002)\n"), std::string::npos) << pspice;
}

TEST_F(SpiceExportTest, ASineModelsPhaseIsAnEarlyStartInSpice2G)
{
    ASSERT_TRUE(Model(".MODEL S1 SIN (F=1K A=2 DC=0.5 PH=1.5708)"));
    Part(kComponentSineSource, "V1", {1, 0}, {{kAttrModel, "S1"}});
    const std::string spice2g = WriteParts(kSpiceDialect2G);
    EXPECT_NE(spice2g.find(" 1 0 SIN 0.5 2 1K -0.00025"), std::string::npos) << spice2g;
}

TEST_F(SpiceExportTest, Spice2GMosfetSizesMoveToTheInstance)
{
    ASSERT_TRUE(Model(".MODEL NM NMOS (VTO=1 L=2u KP=2e-5)"));
    Part(kComponentNmos, "M1", {1, 2, 0, 0}, {{kAttrModel, "NM"}});
    Part(kComponentNmos, "M2", {1, 2, 0, 0}, {{kAttrModel, "NM"}, {kAttrValue, "L=5u"}});
    const std::string text = WriteParts(kSpiceDialect2G);
    EXPECT_NE(text.find("M1 1 2 0 0 NM L=2U \n"), std::string::npos) << text;
    EXPECT_NE(text.find("M2 1 2 0 0 NM L=5U\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".MODEL NM NMOS VTO=1 KP=2E-5\n"), std::string::npos) << text;
}

TEST_F(SpiceExportTest, OpampsBecomeOneSubcircuitPerModel)
{
    ASSERT_TRUE(Model(".MODEL OA1 OPA (LEVEL=1 A=200000 ROUTAC=75 ROUTDC=125)"));
    Part(kComponentOpamp, "X1", {1, 2, 3, 4, 5}, {{kAttrModel, "OA1"}});
    Part(kComponentOpamp, "X2", {1, 2, 3, 6, 5}, {{kAttrModel, "OA1"}});
    const std::string text = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(text.find("X1 1 2 3 4 5 OA1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ROUT 4 0 200\nGOUT 0 4 1 2 1000\n"), std::string::npos) << text;
    EXPECT_EQ(LinesStarting(text, ".SUBCKT OA1 "), ".SUBCKT OA1 1 2 3 4 5\n") << text;
}

// A JFET-input LEVEL 3 op-amp written as the run simulates it: its tail current flows from VCC
// into the input pair, whose gate currents carry IBIAS and IOFF and whose second threshold VOFF.
TEST_F(SpiceExportTest, AJfetInputOpampIsWrittenAsItRuns)
{
    ASSERT_TRUE(Model(".MODEL OAJ OPA (LEVEL=3 TYPE=3 C=10P SRP=13MEG SRN=13MEG VOFF=3M IOFF=5P IBIAS=30P)"));
    Part(kComponentOpamp, "X1", {1, 2, 3, 4, 5}, {{kAttrModel, "OAJ"}});
    const std::string text = WriteParts(kSpiceDialectSpice3);
    EXPECT_NE(text.find("ISS 5 10 0.00013\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" IS=1.625e-11)\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" IS=1.375e-11 VTO=-1.997)\n"), std::string::npos) << text;
}

TEST_F(SpiceExportTest, OpampLevelTwoAndItsPhaseMargin)
{
    ASSERT_TRUE(Model(".MODEL OA2 OPA (LEVEL=2 A=1000 ROUTAC=50 ROUTDC=50 GBW=1MEG PM=45)"));
    Part(kComponentOpamp, "X1", {1, 2, 3, 4, 5}, {{kAttrModel, "OA2"}});
    const std::string text = WriteParts(kSpiceDialect2G);
    // f1 = 1 kHz; f2 = GBW / tan(pi - atan(1000) - 45 degrees); G = 1000^(1/3) / 100.
    EXPECT_NE(text.find("C1 6 0 1.59155E-06\nR1 6 0 100\nG1 0 6 1 2 0.1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("C2 7 0 1.59474E-09\n"), std::string::npos) << text;

    // A phase margin outside 0 < PM <= 90 gives a negative capacitor: refused, naming the model.
    Fresh();
    ASSERT_TRUE(Model(".MODEL BADPM OPA (LEVEL=2 A=1000 ROUTAC=50 ROUTDC=50 GBW=1MEG PM=120)"));
    Part(kComponentOpamp, "X1", {1, 2, 3, 4, 5}, {{kAttrModel, "BADPM"}});
    int status = 0;
    const std::string refused = WriteParts(kSpiceDialectPspice, kExportTransient, &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(LastShownText().find("BADPM"), std::string::npos) << LastShownText();
    EXPECT_EQ(refused.find("C2 7 0 -"), std::string::npos) << refused;
    EXPECT_FALSE(OpampPhaseMarginValid(0.0));
    EXPECT_TRUE(OpampPhaseMarginValid(90.0));
    EXPECT_FALSE(OpampPhaseMarginValid(90.5));
}

TEST_F(SpiceExportTest, DigitalPrimitives)
{
    ComponentDefinition* gate = Definition(kComponentAnd, 3);
    gate->inputPinCount = 2;
    SchematicItem* u1 = NewSchematicItem(record_);
    u1->itemKind = kItemComponent;
    u1->definition = gate;
    u1->pinNodes = {1, 2, 3};
    SetAttribute(record_, u1, kAttrPart, "U1");
    Part(kComponentNbtg, "U2", {1, 2, 3});
    const std::string text = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(text.find("U1 AND(2) $G_DPWR $G_DGND\n+ D1 D2 D3\n+ Model IO_STD\n"), std::string::npos) << text;
    EXPECT_NE(text.find("* Error: NBTG U2 not supported by SPICE\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("NULL string"), std::string::npos);
    EXPECT_NE(WriteParts(kSpiceDialect2G).find("* ERROR: AND U1 NOT SUPPORTED BY SPICE\n"), std::string::npos);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(SpiceExportTest, TheBuildRefusesALevelTwoPhaseMarginOutsideItsRange)
{
    // The simulated op-amp has the guard the exported one has: no negative second-pole capacitor.
    // (A PM of 0 or below is refused when the model is read.)
    for (const char* pm : {"120", "90.5"}) {
        Fresh();
        ClearCircuitBuildError();
        const std::string name = std::string("WILD") + (pm[0] == '9' ? "B" : "A");
        ASSERT_TRUE(Model(".MODEL " + name + " OPA (LEVEL=2 A=1000 GBW=1MEG PM=" + pm + ")")) << LastShownText();
        Part(kComponentOpamp, "X1", {1, 2, 3, 4, 5}, {{kAttrModel, name}});
        EXPECT_FALSE(Translate()) << pm;
        EXPECT_NE(LastShownText().find(name), std::string::npos) << LastShownText();
        EXPECT_EQ(Records<CapacitorDevice>(kCapacitorDeviceList).size(), 0u);
    }
    Fresh();
    ClearCircuitBuildError();
    ASSERT_TRUE(Model(".MODEL TAME OPA (LEVEL=2 A=1000 GBW=1MEG PM=90)"));
    Part(kComponentOpamp, "X1", {1, 2, 3, 4, 5}, {{kAttrModel, "TAME"}});
    EXPECT_TRUE(Translate()) << LastShownText();
}

TEST_F(SpiceExportTest, DeepNestingOfTextSubcircuitsHasNoLimit)
{
    std::string netlist = "deep\nV1 1 0 1\nR1 1 0 1k\n";
    for (int i = 0; i < 60; ++i) netlist += ".SUBCKT S" + std::to_string(i) + " A B\n";
    netlist += "RD A B 1\n";
    for (int i = 59; i >= 0; --i) netlist += ".ENDS S" + std::to_string(i) + "\n";
    netlist += ".TRAN 1u 10u\n.END\n";
    const std::string text = Export(netlist, kSpiceDialectPspice);
    EXPECT_NE(text.find(".SUBCKT S59 A B\nRD A B 1\n.ENDS S59\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".ENDS S0\n"), std::string::npos);
}

}  // namespace
}  // namespace kq5::testing
