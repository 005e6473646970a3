// Subcircuit calls, node names and node domains.
#include <string>

#include "core/device_lists.h"
#include "netlist/capacitor_device.h"
#include "document/node_table.h"
#include "netlist/defines.h"
#include "netlist/spice_initial_conditions.h"
#include "netlist/subcircuit_nodes.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class SubcircuitTest : public SpiceTest {
protected:
    SchematicItem* PartIn(const std::string& name, int scope) const
    {
        for (SchematicItem* item : Components())
            if (item->scope == scope && GetAttributeText(item, kAttrPart) == name) return item;
        return nullptr;
    }
    std::int32_t Node(const SchematicItem* item, int pin) const { return item->pinNodes[static_cast<std::size_t>(pin)]; }
    std::int32_t NamedNode(const std::string& name, int domain = 0) const
    {
        return LookupNodeNumber(CircuitNodeTable(), name, 0, domain);
    }
};

TEST_F(SubcircuitTest, FormalPinsBindInOrder)
{
    ASSERT_EQ(ReadAndExpand("divider\n.SUBCKT DIV IN OUT\nR1 IN OUT 1K\nR2 OUT 0 1K\n.ENDS\n"
                            "X1 A B DIV\nV1 A 0 1\nRL B 0 1K\n"),
              0)
        << LastMessage();
    SchematicItem* r1 = PartIn("R1", 1);
    SchematicItem* r2 = PartIn("R2", 1);
    ASSERT_NE(r1, nullptr);
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(Node(r1, 0), Node(Part("V1"), 0));
    EXPECT_EQ(Node(r1, 1), Node(Part("RL"), 0));
    EXPECT_EQ(Node(r2, 1), 0);
    EXPECT_EQ(NamedNode("A"), Node(Part("V1"), 0));
    EXPECT_EQ(LookupNodeNumber(CircuitNodeTable(), "OUT", 1, 0), Node(Part("RL"), 0));
    EXPECT_EQ(record_->document->nodeCount, 2);
}

TEST_F(SubcircuitTest, NodeCountsMustMatch)
{
    const std::string definition = "t\n.SUBCKT DIV IN OUT\nR1 IN OUT 1K\n.ENDS\n";
    EXPECT_EQ(ReadAndExpand(definition + "X1 A B C DIV\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10909");
    EXPECT_NE(LastMessage().find("Part:\tX1"), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("Line:\t5"), std::string::npos) << LastMessage();
    ResetNetlistWorld();
    record_ = NewWindowRecord(nullptr, kWindowTextCircuit, true);
    record_->plot = std::make_shared<PlotRecord>();
    SetCurrentDocument(record_);
    EXPECT_EQ(ReadAndExpand(definition + "X1 A DIV\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10919");
}

TEST_F(SubcircuitTest, OptionalPinsTakeTheExtraNodeOrTheirDefault)
{
    ASSERT_EQ(ReadAndExpand("t\n.SUBCKT OPT A B OPTIONAL: C=0\nR1 A C 1\nR2 C B 1\n.ENDS\n"
                            "X1 N1 N2 OPT\nX2 N1 N2 N3 OPT\nRN3 N3 0 1\nV1 N1 0 1\nRB N2 0 1\n"),
              0)
        << LastMessage();
    EXPECT_EQ(Node(PartIn("R1", 1), 1), 0);
    EXPECT_EQ(Node(PartIn("R1", 2), 1), Node(Part("RN3"), 0));
    EXPECT_NE(Node(PartIn("R1", 2), 1), 0);
}

TEST_F(SubcircuitTest, ParameterDefaultsDoNotOverrideTheCall)
{
    ASSERT_EQ(ReadAndExpand("t\n.SUBCKT RES A B PARAMS: R=1K\nR1 A B {R}\n.ENDS\n"
                            "X1 1 0 RES PARAMS: R=5K\nX2 1 0 RES\nV1 1 0 1\n"),
              0)
        << LastMessage();
    EXPECT_EQ(Attr(PartIn("R1", 1), kAttrValue), "{ 5K }");
    EXPECT_EQ(Attr(PartIn("R1", 2), kAttrValue), "{ 1K }");
    ASSERT_GE(FindDefine(1, "R"), 0);
    EXPECT_EQ(DefineTable()[static_cast<std::size_t>(FindDefine(1, "R"))].body, "5K");
    EXPECT_EQ(DefineTable()[static_cast<std::size_t>(FindDefine(2, "R"))].body, "1K");
    // An expression passed down keeps its meaning inside the body's braces.
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    ASSERT_EQ(ReadAndExpand("t\n.SUBCKT RES A B PARAMS: R=1K\nR1 A B {R*2}\n.ENDS\n"
                            "X1 1 0 RES PARAMS: R={1K+1K}\nV1 1 0 1\n"),
              0)
        << LastMessage();
    std::string value;
    ASSERT_EQ(SubstituteDefines(value, 1, Attr(PartIn("R1", 1), kAttrValue)), 0);
    EXPECT_EQ(value, "{ (1K+1K)*2 }");
}

TEST_F(SubcircuitTest, NestedDefinitionsAreFoundInsideTheirParentOnly)
{
    const std::string text = "t\n.SUBCKT OUTER A\n.SUBCKT INNER B\nRI B 0 1\n.ENDS INNER\nXI A INNER\n.ENDS OUTER\n"
                             "XO 1 OUTER\nV1 1 0 1\n";
    ASSERT_EQ(ReadAndExpand(text), 0) << LastMessage();
    SchematicItem* inner = PartIn("RI", 2);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(Node(inner, 0), Node(Part("V1"), 0));
    EXPECT_NE(FindScope(2), nullptr);
    EXPECT_EQ(ScopePath(2), "XO.XI");
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    EXPECT_EQ(ReadAndExpand(text + "X2 1 INNER\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10903");
}

TEST_F(SubcircuitTest, DefinitionErrorsNameTheirPlace)
{
    EXPECT_EQ(ReadAndExpand("t\n.SUBCKT BAD 0 A\nR1 A 0 1\n.ENDS\nX1 1 2 BAD\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10953");
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    EXPECT_EQ(ReadAndExpand("t\nX1 1 2 NOWHERE\nR1 1 2 1\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10903");
    EXPECT_NE(LastMessage().find("Line:\t2"), std::string::npos) << LastMessage();
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    // The reading of the netlist finds the open body already.
    EXPECT_NE(ReadAndExpand("t\nX1 1 2 OPEN\n.SUBCKT OPEN A B\nR1 A B 1\n"), 0);
    EXPECT_EQ(LastCaption(), "Error 10918");
    EXPECT_NE(LastMessage().find("Line:\t3"), std::string::npos) << LastMessage();
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    EXPECT_EQ(ReadAndExpand("t\n.SUBCKT LOOP A\nX1 A LOOP\n.ENDS\nX1 1 LOOP\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10929");
    // A loop through other definitions is found as well, however far up it closes.
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    EXPECT_EQ(ReadAndExpand("t\n.SUBCKT A1 P\nX1 P B1\n.ENDS\n.SUBCKT B1 P\nX1 P C1\n.ENDS\n"
                            ".SUBCKT C1 P\nX1 P B1\n.ENDS\nX1 1 A1\n"),
              1);
    EXPECT_EQ(LastCaption(), "Error 10929");
}

TEST_F(SubcircuitTest, NodesInsideNestedCallsAreFoundByTheirDottedNames)
{
    // X1.X2.N3 and X1_X2.N3 are as long and end alike: only the paths tell them apart.
    ASSERT_EQ(ReadAndExpand("t\n.SUBCKT IN2 A\nR1 A N3 1\nR2 N3 0 1\n.ENDS\n.SUBCKT OUT1 A\nX2 A IN2\n.ENDS\n"
                            "X1 1 OUT1\nX1_X2 1 IN2\nV1 1 0 1\n"),
              0)
        << LastMessage();
    ASSERT_NE(PartIn("R2", 3), nullptr);
    ASSERT_NE(PartIn("R2", 2), nullptr);
    EXPECT_EQ(NamedNode("X1.X2.N3"), Node(PartIn("R2", 3), 0));
    EXPECT_EQ(NamedNode("x1.x2.n3"), Node(PartIn("R2", 3), 0));
    EXPECT_EQ(NamedNode("X1_X2.N3"), Node(PartIn("R2", 2), 0));
    EXPECT_NE(NamedNode("X1.X2.N3"), NamedNode("X1_X2.N3"));
    EXPECT_EQ(NamedNode("X1.X2.N4"), -1);
    EXPECT_EQ(NamedNode("X1.X3.N3"), -1);
    EXPECT_EQ(NamedNode("X1.X2"), -1);
}

TEST_F(SubcircuitTest, ADefinitionUsedInSeveralBranchesIsNoLoop)
{
    // LEAF is expanded under both calls of PAIR and at the top; none of them sits inside another.
    ASSERT_EQ(ReadAndExpand("t\n.SUBCKT LEAF P\nR1 P 0 1K\n.ENDS\n.SUBCKT PAIR P\nXA P LEAF\nXB P LEAF\n.ENDS\n"
                            "X1 1 PAIR\nX2 1 PAIR\nX3 1 LEAF\nV1 1 0 1\n"),
              0)
        << LastMessage();
    EXPECT_NE(PartIn("R1", 7), nullptr);
}

TEST_F(SubcircuitTest, ANestedDefinitionIsFoundThroughCallsOfOtherDefinitions)
{
    // MID, a top-level definition called inside OUTER, calls INNER, which only OUTER defines.
    ASSERT_EQ(ReadAndExpand("t\n.SUBCKT OUTER A\n.SUBCKT INNER B\nRI B 0 1\n.ENDS INNER\nXM A MID\n.ENDS OUTER\n"
                            ".SUBCKT MID A\nXI A INNER\n.ENDS MID\nXO 1 OUTER\nV1 1 0 1\n"),
              0)
        << LastMessage();
    SchematicItem* inner = PartIn("RI", 3);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(Node(inner, 0), Node(Part("V1"), 0));
    EXPECT_EQ(ScopePath(3), "XO.XM.XI");
}

TEST_F(SubcircuitTest, DefinitionsFromIncludesAndLibraries)
{
    WriteFile("amps.inc", "* amplifiers\n.SUBCKT BUFFER IN OUT\nEB OUT 0 IN 0 1\n.ENDS\n");
    WriteFile("filters.lib", "* filters\n.SUBCKT RC IN OUT\nR1 IN OUT 1K\nC1 OUT 0 1N\n.ENDS RC\n");
    ASSERT_EQ(ReadAndExpand("t\n.INCLUDE amps.inc\n.LIB filters.lib\nV1 1 0 1\nX1 1 2 BUFFER\nX2 2 3 RC\n"
                            "RL 3 0 1K\n"),
              0)
        << LastMessage();
    EXPECT_NE(PartIn("EB", 1), nullptr);
    EXPECT_NE(PartIn("C1", 2), nullptr);
    EXPECT_EQ(FindScope(2)->fileName, PathOf("filters.lib"));
}

TEST_F(SubcircuitTest, AnErrorInAnIncludedBodyNamesTheFileAsItIsOnDisk)
{
    WriteFile("vendor/opamps.inc", "* amplifiers\n.SUBCKT BUF IN OUT\nEB OUT 0 IN 0 1\nR1 IN\n.ENDS\n");
    EXPECT_EQ(ReadAndExpand("t\n.INCLUDE vendor/opamps.inc\nV1 1 0 1\nX1 1 2 BUF\nRL 2 0 1K\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10908");
    EXPECT_NE(LastMessage().find("File:\t" + PathOf("vendor/opamps.inc")), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("Line:\t4"), std::string::npos) << LastMessage();
}

TEST_F(SubcircuitTest, NodeNameForms)
{
    ASSERT_EQ(ReadAndExpand("t\n.SUBCKT S A\nR1 A $G_VCC 1\nR2 A LOCAL 1\nR3 LOCAL 0 1\n.ENDS\n"
                            "X1 1 S\nX2 1 S\nV1 $G_VCC 0 5\nR9 [N1] 1 1\nR8 N1 0 1\n"),
              0)
        << LastMessage();
    EXPECT_EQ(Node(PartIn("R1", 1), 1), Node(Part("V1"), 0));
    EXPECT_EQ(Node(PartIn("R1", 2), 1), Node(Part("V1"), 0));
    EXPECT_NE(Node(PartIn("R2", 1), 1), Node(PartIn("R2", 2), 1));
    EXPECT_EQ(Node(Part("R9"), 0), Node(Part("R8"), 0));
}

TEST_F(SubcircuitTest, DigitalPinsOnAnalogNodesGetInterfaces)
{
    // Without an I/O model the default interface parts join the nodes; the digital supply
    // must then be given by the netlist.
    EXPECT_EQ(ReadAndExpand("t\nU1 BUF $G_DPWR $G_DGND A Y D0_GATE\nR1 A 0 1K\nR2 Y 0 1K\nV1 A 0 1\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10921");
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    ASSERT_EQ(ReadAndExpand("t\nU1 BUF $G_DPWR $G_DGND A Y D0_GATE\nR1 A 0 1K\nR2 Y 0 1K\nV1 A 0 1\n"
                            "VP $G_DPWR 0 5\nVG $G_DGND 0 0\n"),
              0)
        << LastMessage();
    SchematicItem* atod = Part("O$ATOD1");
    SchematicItem* dtoa = Part("N$DTOA2");
    ASSERT_NE(atod, nullptr);
    ASSERT_NE(dtoa, nullptr);
    EXPECT_EQ(TypeOf(atod), kComponentDigitalOutput);
    EXPECT_EQ(TypeOf(dtoa), kComponentDigitalInput);
    SchematicItem* u1 = Part("U1");
    // The gate's pins now sit on digital nodes, the interfaces join them to the analog ones.
    EXPECT_EQ(Node(u1, 0), Node(atod, 2));
    EXPECT_EQ(Node(atod, 0), Node(Part("R1"), 0));
    EXPECT_EQ(Node(u1, 1), Node(dtoa, 3));
    EXPECT_EQ(Node(dtoa, 0), Node(Part("R2"), 0));
    EXPECT_EQ(Attr(u1, kAttrIsDtoA), "TRUE");
    EXPECT_EQ(record_->document->nodeCount2, 2);
}

TEST_F(SubcircuitTest, InterfacesFromTheIoModelAreExpanded)
{
    WriteFile("io.lib", ".SUBCKT ATOD_T A D PWR GND PARAMS: CAPACITANCE=0 DRVH=50 DRVL=50\n"
                        "O1 A GND DO_T DGTLNET=D IO_T\n.ENDS\n"
                        ".SUBCKT DTOA_T D A PWR GND PARAMS: CAPACITANCE=0 DRVH=50 DRVL=50\n"
                        "N1 A GND PWR DI_T DGTLNET=D IO_T\n.ENDS\n"
                        ".SUBCKT PWR_T PWR GND\nVP PWR 0 5\nVG GND 0 0\n.ENDS\n");
    ASSERT_EQ(ReadAndExpand("t\n.LIB io.lib\nU1 BUF $G_DPWR $G_DGND A Y D0_GATE IO_T\nR1 A 0 1K\nR2 Y 0 1K\n"
                            "V1 A 0 1\n.MODEL IO_T UIO(ATOD1=\"ATOD_T\" DTOA1=\"DTOA_T\" DIGPOWER=\"PWR_T\")\n"),
              0)
        << LastMessage();
    int outputs = 0, inputs = 0, supplies = 0;
    for (SchematicItem* item : Components()) {
        if (TypeOf(item) == kComponentDigitalOutput) ++outputs;
        if (TypeOf(item) == kComponentDigitalInput) ++inputs;
        if (Attr(item, kAttrPart) == "VP") ++supplies;
    }
    EXPECT_EQ(outputs, 1);
    EXPECT_EQ(inputs, 1);
    EXPECT_EQ(supplies, 1);
}

TEST_F(SubcircuitTest, DigitalConstantsCannotDriveAnalogParts)
{
    EXPECT_EQ(ReadAndExpand("t\nR1 $D_HI 0 1K\n"), 1);
    EXPECT_EQ(LastCaption(), "Error 10912");
}

TEST_F(SubcircuitTest, InitialConditionsAndNodesets)
{
    for (const char* order : {".IC V(OUT)=2\n.NODESET V(OUT)=3\n", ".NODESET V(OUT)=3\n.IC V(OUT)=2\n"}) {
        FreeNetlistReaderBuild();
        ListClear(record_->document->itemList);
        ASSERT_EQ(ReadAndExpand(std::string("t\nR1 OUT 0 1\nR2 A OUT 1\n") + order), 0) << LastMessage();
        ASSERT_EQ(ParseInitialConditions({}, kInitialBuild, 0), 0) << LastMessage();
        const InitialConditionTable& table = InitialConditions();
        ASSERT_EQ(table.entries.size(), 1u);
        EXPECT_EQ(table.entries[0].kind, 1);
        EXPECT_EQ(table.entries[0].value, 2.0);
        EXPECT_EQ(table.entries[0].nodeA, Node(Part("R1"), 0));
        EXPECT_TRUE(table.anyIc);
        EXPECT_TRUE(table.anyNodeset);
    }
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    ASSERT_EQ(ReadAndExpand("t\nR1 1 2 1\nR2 2 0 1\n.IC V(1,2)=1 V(1)=2\n"), 0);
    ASSERT_EQ(ParseInitialConditions({}, kInitialBuild, 0), 0);
    ASSERT_EQ(InitialConditions().entries.size(), 2u);
    EXPECT_EQ(InitialConditions().entries[0].nodeB, Node(Part("R1"), 1));
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    ASSERT_EQ(ReadAndExpand("t\nR1 1 0 1\n.IC V(9)=1\n"), 0);
    EXPECT_EQ(ParseInitialConditions({}, kInitialBuild, 0), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10924");
    EXPECT_NE(LastMessage().find("Line:\t3"), std::string::npos) << LastMessage();
}

TEST_F(SubcircuitTest, CapacitorInitialConditionOfZeroIsKept)
{
    ResetDeviceListsForTests();
    auto* given = ListAppendAs<CapacitorDevice>(DeviceList(kCapacitorDeviceList), kKindCapacitor);
    given->nodeA = 3;
    given->initialCondition = 0.0;
    given->Extras().initialConditionGiven = 1;
    auto* notGiven = ListAppendAs<CapacitorDevice>(DeviceList(kCapacitorDeviceList), kKindCapacitor);
    notGiven->nodeA = 4;
    ASSERT_EQ(ParseInitialConditions({}, kInitialBuild, 0), 0);
    ASSERT_EQ(InitialConditions().entries.size(), 1u);
    EXPECT_EQ(InitialConditions().entries[0].nodeA, 3);
    EXPECT_EQ(InitialConditions().entries[0].value, 0.0);
    EXPECT_TRUE(InitialConditions().anyIc);
    ResetDeviceListsForTests();
}

}  // namespace
}  // namespace kq5::testing
