// Element lines into components.
#include <string>

#include "netlist/spice_elements.h"
#include "netlist/spice_reader_state.h"
#include "netlist/subcircuit_nodes.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class ElementTest : public SpiceTest {
protected:
    // Reads one element line after a title; the component of that PART.
    SchematicItem* One(const std::string& line, const std::string& part)
    {
        FreeNetlistReaderBuild();
        ListClear(record_->document->itemList);
        win::ClearMessageBoxLog();
        EXPECT_EQ(Read("title\n" + line + "\n"), 0) << line << ": " << LastMessage();
        return Part(part);
    }
    // The qualified name of the node at a pin (before the domains are numbered).
    std::string NodeAt(const SchematicItem* item, int pin)
    {
        return NodeRowName(item->pinNodes[static_cast<std::size_t>(pin)]);
    }
};

TEST_F(ElementTest, PassiveElementsAndTheirModels)
{
    SchematicItem* r = One("R1 1 2 1K", "R1");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(TypeOf(r), kComponentResistor);
    EXPECT_EQ(Attr(r, kAttrValue), "1K");
    EXPECT_EQ(Attr(r, kAttrModel), "");
    EXPECT_EQ(r->page, -1);
    EXPECT_EQ(NodeAt(r, 0), "1");
    EXPECT_EQ(NodeAt(r, 1), "2");

    r = One("R1 1 2 RMOD 1K", "R1");
    EXPECT_EQ(Attr(r, kAttrModel), "RMOD");
    EXPECT_EQ(Attr(r, kAttrValue), "1K");
    r = One("R1 1 2 1K TC=0.01", "R1");
    EXPECT_EQ(Attr(r, kAttrModel), "");
    EXPECT_EQ(Attr(r, kAttrValue), "1K TC=0.01");
    r = One("R1 1 2 {RVAL*2}", "R1");
    EXPECT_EQ(Attr(r, kAttrValue), "{ RVAL*2 }");

    SchematicItem* c = One("C1 OUT 0 10U IC=0", "C1");
    EXPECT_EQ(TypeOf(c), kComponentCapacitor);
    EXPECT_EQ(Attr(c, kAttrValue), "10U IC=0");
    EXPECT_EQ(c->pinNodes[1], 0);
    EXPECT_TRUE(NetlistReader().groundUsed);
    SchematicItem* l = One("L1 1 2 LMOD 10M", "L1");
    EXPECT_EQ(TypeOf(l), kComponentInductor);
    EXPECT_EQ(Attr(l, kAttrModel), "LMOD");
    SchematicItem* t = One("T1 1 0 2 0 Z0=50 TD=1N", "T1");
    EXPECT_EQ(TypeOf(t), kComponentTline);
    EXPECT_EQ(Attr(t, kAttrModel), "");
    EXPECT_EQ(Attr(t, kAttrValue), "Z0=50 TD=1N");
}

TEST_F(ElementTest, SourcesAndSemiconductors)
{
    SchematicItem* v = One("V1 1 0 PULSE(0 5 1N 1N 1N 10N 20N)", "V1");
    EXPECT_EQ(TypeOf(v), kComponentVSpice);
    EXPECT_EQ(Attr(v, kAttrValue), "PULSE(0 5 1N 1N 1N 10N 20N)");
    v = One("I1 0 1 DC 1M AC 1", "I1");
    EXPECT_EQ(TypeOf(v), kComponentISpice);
    EXPECT_EQ(Attr(v, kAttrValue), "DC 1M AC 1");

    SchematicItem* d = One("D1 A K DMOD 2 OFF", "D1");
    EXPECT_EQ(TypeOf(d), kComponentDiode);
    EXPECT_EQ(Attr(d, kAttrModel), "DMOD");
    EXPECT_EQ(Attr(d, kAttrValue), "2 OFF");
    SchematicItem* m = One("M1 D G S B NCH L=1U W=10U", "M1");
    EXPECT_EQ(TypeOf(m), kComponentNmos);
    EXPECT_EQ(m->PinCount(), 4);
    EXPECT_EQ(Attr(m, kAttrValue), "L=1U W=10U");
    EXPECT_EQ(TypeOf(One("J1 D G S JMOD", "J1")), kComponentNjfet);
    EXPECT_EQ(TypeOf(One("Z1 D G S ZMOD", "Z1")), kComponentGaAsFet);
    EXPECT_EQ(TypeOf(One("B1 D G S BMOD", "B1")), kComponentGaAsFet);
    SchematicItem* s = One("S1 1 2 3 0 SMOD", "S1");
    EXPECT_EQ(TypeOf(s), kComponentS);
    EXPECT_EQ(Attr(s, kAttrModel), "SMOD");
    SchematicItem* w = One("W1 1 2 VSENSE WMOD", "W1");
    EXPECT_EQ(TypeOf(w), kComponentW);
    EXPECT_EQ(Attr(w, kAttrRef), "VSENSE");
    EXPECT_EQ(Attr(w, kAttrModel), "WMOD");
}

TEST_F(ElementTest, BipolarSubstrateNodes)
{
    SchematicItem* q = One("Q1 C B E 5 QMOD", "Q1");
    EXPECT_EQ(TypeOf(q), kComponentNpn4);
    EXPECT_EQ(q->PinCount(), 4);
    EXPECT_EQ(Attr(q, kAttrModel), "QMOD");
    q = One("Q1 C B E QMOD", "Q1");
    EXPECT_EQ(TypeOf(q), kComponentNpn);
    EXPECT_EQ(q->PinCount(), 3);
    EXPECT_EQ(TypeOf(One("Q1 C B E [SUB] QMOD", "Q1")), kComponentNpn4);
    EXPECT_EQ(TypeOf(One("Q1 C B E SUB QMOD", "Q1")), kComponentNpn4);
    q = One("Q1 C B E QMOD 2 OFF", "Q1");
    EXPECT_EQ(TypeOf(q), kComponentNpn);
    EXPECT_EQ(Attr(q, kAttrValue), "2 OFF");
    EXPECT_EQ(TypeOf(One("Q1 C B E QMOD OFF", "Q1")), kComponentNpn);
}

TEST_F(ElementTest, ModelPolarityFollowsTheModel)
{
    ASSERT_EQ(Read("title\nQ1 C B E QP\nM1 D G S B PCH\nJ1 D G S PJ\nQ2 C B E QN\n.MODEL QP PNP(BF=100)\n"
                   ".MODEL PCH PMOS(VTO=-1)\n.MODEL PJ PJF\n.MODEL QN NPN\n"),
              0)
        << LastMessage();
    EXPECT_EQ(TypeOf(Part("Q1")), kComponentPnp);
    EXPECT_EQ(TypeOf(Part("M1")), kComponentPmos);
    EXPECT_EQ(TypeOf(Part("J1")), kComponentPjfet);
    EXPECT_EQ(TypeOf(Part("Q2")), kComponentNpn);
}

TEST_F(ElementTest, BehaviouralSources)
{
    SchematicItem* b = One("BX 1 0 V=V(2)*2", "BX");
    EXPECT_EQ(TypeOf(b), kComponentNFV);
    EXPECT_EQ(Attr(b, kAttrValue), "V(2)*2");
    b = One("BI 1 0 I=I(V1)/2+1M", "BI");
    EXPECT_EQ(TypeOf(b), kComponentNFI);
    EXPECT_EQ(Attr(b, kAttrValue), "I(V1)/2+1M");
    // A GaAsFET whose model name begins with I stays a GaAsFET.
    b = One("B2 D G S IMOD", "B2");
    EXPECT_EQ(TypeOf(b), kComponentGaAsFet);
    EXPECT_EQ(Attr(b, kAttrModel), "IMOD");
    // Only "I" or "V" followed by "=" makes a behavioural source: a source node named IN or I
    // is a node.
    b = One("B3 D G IN BMOD", "B3");
    EXPECT_EQ(TypeOf(b), kComponentGaAsFet);
    EXPECT_EQ(Attr(b, kAttrModel), "BMOD");
    b = One("B4 D G I BMOD 2", "B4");
    EXPECT_EQ(TypeOf(b), kComponentGaAsFet);
    b = One("B5 D G V BMOD", "B5");
    EXPECT_EQ(TypeOf(b), kComponentGaAsFet);
}

TEST_F(ElementTest, ControlledSourceVariants)
{
    SchematicItem* e = One("E1 1 0 VALUE={V(2)*10}", "E1");
    EXPECT_EQ(TypeOf(e), kComponentNFV);
    EXPECT_EQ(Attr(e, kAttrValue), "V(2)*10");
    e = One("E2 1 0 2 0 10", "E2");
    EXPECT_EQ(TypeOf(e), 52);
    EXPECT_EQ(Attr(e, kAttrValue), "2 0 10");
    e = One("E3 1 0 POLY(2) 1 0 2 0 0 1 1", "E3");
    EXPECT_EQ(Attr(e, kAttrValue), "POLY(2) 1 0 2 0 0 1 1");
    SchematicItem* g = One("G1 1 0 LAPLACE {V(2,3)} = {1/(1+S)}", "G1");
    EXPECT_EQ(TypeOf(g), kComponentLFIofV);
    EXPECT_EQ(NodeAt(g, 2), "2");
    EXPECT_EQ(NodeAt(g, 3), "3");
    EXPECT_EQ(Attr(g, kAttrLaplace), "{ 1/(1+S) }");
    g = One("G2 1 0 TABLE {V(5)} = (0,0) (1,1M)", "G2");
    EXPECT_EQ(TypeOf(g), 39);
    EXPECT_EQ(Attr(g, kAttrTable), "(0,0) (1,1M)");
    e = One("E4 1 0 FREQ {V(5)} = DB DEG (0,0,0) (1K,-3,-45)", "E4");
    EXPECT_EQ(TypeOf(e), 45);
    EXPECT_EQ(Attr(e, kAttrKeyword), "DB DEG ");
    EXPECT_EQ(Attr(e, kAttrFreq), "(0,0,0) (1K,-3,-45)");
    // PSpice netlisters write the unit words before the '=', or leave the '=' out.
    e = One("E5 1 0 FREQ {V(5)} DB DEG = (0,0,0) (1K,-3,-45)", "E5");
    EXPECT_EQ(Attr(e, kAttrKeyword), "DB DEG ");
    EXPECT_EQ(Attr(e, kAttrFreq), "(0,0,0) (1K,-3,-45)");
    e = One("E6 1 0 LAPLACE {V(5)} {1/(1+S)}", "E6");
    EXPECT_EQ(TypeOf(e), 33);
    EXPECT_EQ(Attr(e, kAttrLaplace), "{ 1/(1+S) }");
    SchematicItem* f = One("F1 1 0 VSENSE 2", "F1");
    EXPECT_EQ(TypeOf(f), 51);
    EXPECT_EQ(Attr(f, kAttrValue), "VSENSE 2");
    EXPECT_EQ(TypeOf(One("H1 1 0 VSENSE 1K", "H1")), 53);
}

TEST_F(ElementTest, ControlledSourceErrors)
{
    EXPECT_EQ(Read("title\nE1 1 0 CHEBYSHEV {V(1)} = LP 1 2 3 4\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10902");
    EXPECT_NE(LastMessage().find("Part:\tE1"), std::string::npos);
    FreeNetlistReaderBuild();
    EXPECT_EQ(Read("title\nE1 1 0 VALUE V(1)\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11900");
    FreeNetlistReaderBuild();
    EXPECT_EQ(Read("title\nE1 1 0 VALUE = {V(1)\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11900");
    FreeNetlistReaderBuild();
    EXPECT_EQ(Read("title\nR1 1\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10908");
    EXPECT_NE(LastMessage().find("Part:\tR1"), std::string::npos);
}

TEST_F(ElementTest, CoupledInductors)
{
    SchematicItem* k = One("K1 L1 L2 0.98", "K1");
    EXPECT_EQ(TypeOf(k), kComponentK);
    EXPECT_EQ(Attr(k, kAttrInductors), "L1 L2");
    EXPECT_EQ(Attr(k, kAttrCoupling), "0.98");
    EXPECT_EQ(Attr(k, kAttrModel), "");
    k = One("K2 LP LS1 LS2 1 KCORE 2", "K2");
    EXPECT_EQ(Attr(k, kAttrInductors), "LP LS1 LS2");
    EXPECT_EQ(Attr(k, kAttrCoupling), "1");
    EXPECT_EQ(Attr(k, kAttrModel), "KCORE");
    EXPECT_EQ(Attr(k, kAttrSize), "2");
}

TEST_F(ElementTest, SubcircuitCalls)
{
    SchematicItem* x = One("X1 A B AMP PARAMS: GAIN=10", "X1");
    EXPECT_EQ(TypeOf(x), kComponentSubckt);
    ASSERT_EQ(x->PinCount(), 2);
    EXPECT_EQ(x->definition->pins[0].name, "A");
    EXPECT_EQ(x->definition->pins[1].name, "B");
    EXPECT_EQ(Attr(x, kAttrName), "AMP");
    EXPECT_EQ(Attr(x, kAttrParams), "GAIN = 10 ");
    x = One("X2 IN OUT FILT R=1K C=1N", "X2");
    EXPECT_EQ(x->PinCount(), 2);
    EXPECT_EQ(Attr(x, kAttrName), "FILT");
    EXPECT_EQ(Attr(x, kAttrParams), "R = 1K C = 1N ");
    x = One("X3 1 2 STIMSUB TEXT: FILE=\"IN.STM\" PARAMS: N=2", "X3");
    EXPECT_EQ(Attr(x, kAttrTextColon), "FILE = \"IN.STM\" ");
    EXPECT_EQ(Attr(x, kAttrParams), "N = 2 ");
}

TEST_F(ElementTest, DigitalInterfaceParts)
{
    SchematicItem* n = One("N1 A 0 HI DIN74 DGTLNET=D1 IO_STD IS=1", "N1");
    EXPECT_EQ(TypeOf(n), kComponentDigitalInput);
    ASSERT_EQ(n->PinCount(), 4);
    EXPECT_EQ(NodeAt(n, 3), "D1");
    EXPECT_EQ(Attr(n, kAttrModel), "DIN74");
    EXPECT_EQ(Attr(n, kAttrIoModel), "IO_STD");
    EXPECT_EQ(Attr(n, kAttrIs), "1");
    SchematicItem* o = One("O1 A 0 DO74 DGTLNET=D2 IO_STD", "O1");
    EXPECT_EQ(TypeOf(o), kComponentDigitalOutput);
    EXPECT_EQ(NodeAt(o, 2), "D2");
    EXPECT_EQ(Read("title\nO2 A 0 DO74 IO_STD\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10972");
    FreeNetlistReaderBuild();
    EXPECT_EQ(Read("title\nN2 A 0 HI DIN DGTLNET=D IO_STD IS 1\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11901");
}

TEST_F(ElementTest, DigitalPrimitives)
{
    SchematicItem* u = One("U1 NAND(2) $G_DPWR $G_DGND A B Y D0_GATE IO_STD IO_LEVEL=1", "U1");
    EXPECT_EQ(TypeOf(u), kComponentNand);
    ASSERT_EQ(u->PinCount(), 3);
    EXPECT_EQ(NodeAt(u, 2), "Y");
    EXPECT_EQ(Attr(u, kAttrPowerNode), "$G_DPWR");
    EXPECT_EQ(Attr(u, kAttrTimingModel), "D0_GATE");
    EXPECT_EQ(Attr(u, kAttrIoModel), "IO_STD");
    EXPECT_EQ(Attr(u, kAttrIoLevel), "1");
    EXPECT_EQ(u->definition->inputPinCount, 2);

    // Four two-input AND gates: inputs grouped by gate, then the outputs.
    ASSERT_EQ(Read("title\nU2 ANDA(2,4) $G_DPWR $G_DGND A1 B1 A2 B2 A3 B3 A4 B4 Y1 Y2 Y3 Y4 D0_GATE IO_STD\n"), 0)
        << LastMessage();
    for (int gate = 0; gate < 4; ++gate) {
        const std::string part = gate == 0 ? std::string("U2") : "U2__" + std::to_string(gate);
        SchematicItem* item = Part(part);
        ASSERT_NE(item, nullptr) << part;
        EXPECT_EQ(TypeOf(item), kComponentAnd);
        EXPECT_EQ(NodeAt(item, 0), "A" + std::to_string(gate + 1));
        EXPECT_EQ(NodeAt(item, 1), "B" + std::to_string(gate + 1));
        EXPECT_EQ(NodeAt(item, 2), "Y" + std::to_string(gate + 1));
        EXPECT_EQ(Attr(item, kAttrTimingModel), "D0_GATE");
    }
    SchematicItem* ff = One("U3 DFF(2) $G_DPWR $G_DGND PRE CLR CLK D1 D2 Q1 Q2 QB1 QB2 D_DFF IO_STD", "U3__1");
    ASSERT_NE(ff, nullptr);
    EXPECT_EQ(NodeAt(ff, 2), "CLK");
    EXPECT_EQ(NodeAt(ff, 3), "D2");
    EXPECT_EQ(NodeAt(ff, 4), "Q2");
    EXPECT_EQ(NodeAt(ff, 5), "QB2");
    SchematicItem* stim = One("U4 STIM(1,1) $G_DPWR $G_DGND OUT IO_STM TIMESTEP=10NS 0S 0 10NS 1", "U4");
    EXPECT_EQ(TypeOf(stim), kComponentStim);
    EXPECT_EQ(Attr(stim, kAttrFormat), "1");
    EXPECT_EQ(Attr(stim, kAttrTimestep), "10NS");
    EXPECT_EQ(Attr(stim, kAttrCommand), "0S 0 10NS 1");
}

TEST_F(ElementTest, DigitalPrimitiveErrors)
{
    struct Case {
        const char* line;
        const char* caption;
    };
    const Case cases[] = {
        {"U1 FOO $G_DPWR $G_DGND A Y D0 IO", "Error 10910"},
        {"U1 AND 2) $G_DPWR $G_DGND A B Y D0 IO", "Error 11900"},
        {"U1 AND(X) $G_DPWR $G_DGND A B Y D0 IO", "Error 10922"},
        {"U1 ANDA(2,0) $G_DPWR $G_DGND A B Y D0 IO", "Error 10913"},
        {"U1 AND(2) $G_DPWR $G_DGND A B", "Error 10908"},
        {"U1 STIM(1,1) $G_DPWR $G_DGND 0 IO_STM 0S 0", "Error 10923"},
        {"U1 AND(2) $G_DPWR $G_DGND A B Y D0 IO BOGUS=1", "Error 11903"},
    };
    for (const Case& c : cases) {
        FreeNetlistReaderBuild();
        win::ClearMessageBoxLog();
        EXPECT_EQ(Read(std::string("title\n") + c.line + "\n"), kMsgAlreadyReported) << c.line;
        EXPECT_EQ(LastCaption(), c.caption) << c.line << ": " << LastMessage();
        EXPECT_NE(LastMessage().find("Line:\t2"), std::string::npos) << LastMessage();
    }
}

// The line of each element stays its own whatever order the elements lie in memory (errors
// of a part point at its line).
TEST_F(ElementTest, EachElementKeepsTheLineItCameFrom)
{
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    ASSERT_EQ(Read("title\nR1 1 2 1K\nR2 2 3 2K\nC1 3 0 1N\n"), 0) << LastMessage();
    SchematicItem items[4];
    for (int i = 3; i >= 0; --i) AddElementOrigin(&items[i], 0, 100 + i);
    CopyElementOrigin(&items[3], &items[0]);
    for (int i = 0; i < 3; ++i) {
        const auto origin = ElementOrigin(&items[i]);
        ASSERT_TRUE(origin.has_value());
        EXPECT_EQ(origin->line, 100 + i);
    }
    EXPECT_EQ(ElementOrigin(&items[3])->line, 100);
    const auto r1 = ElementOrigin(Part("R1")), c1 = ElementOrigin(Part("C1"));
    ASSERT_TRUE(r1.has_value() && c1.has_value());
    EXPECT_EQ(c1->line - r1->line, 2);
    SchematicItem unread;
    EXPECT_FALSE(HasElementOrigin(&unread));
}

}  // namespace
}  // namespace kq5::testing
