// Netlists of many subcircuit calls: every instance its own scope and nodes, model polarity
// fixed in every instance, the definitions generated for the calls shared and gone after the
// build.
#include <map>
#include <set>
#include <string>

#include "document/component_definition.h"
#include "document/scope_table.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class ManyCallsTest : public SpiceTest {
protected:
    static std::string Calls(int count)
    {
        std::string text = "many calls\nV1 1 0 DC 1\n.SUBCKT TWO A B\nR1 A M 1K\nR2 M B 1K\n.ENDS\n";
        for (int i = 1; i <= count; ++i) text += "X" + std::to_string(i) + " 1 0 TWO\n";
        return text;
    }
};

// Past 65535 instances a 16-bit scope number wraps to the top level's.
TEST_F(ManyCallsTest, EveryCallBeyondSixteenBitsHasItsOwnScopeAndNode)
{
    constexpr int kCalls = 65600;
    ASSERT_EQ(ReadAndExpand(Calls(kCalls)), 0) << LastMessage();
    EXPECT_EQ(record_->document->nodeCount, kCalls + 1);
    int resistors = 0;
    std::vector<char> seen(kCalls + 1, 0);
    for (const SchematicItem* item : Components()) {
        if (TypeOf(item) != kComponentResistor) continue;
        ++resistors;
        ASSERT_GE(item->scope, 1);
        ASSERT_LE(item->scope, kCalls);
        if (Attr(item, kAttrPart) == "R1") seen[static_cast<std::size_t>(item->scope)] = 1;
    }
    EXPECT_EQ(resistors, 2 * kCalls);
    for (int scope = 1; scope <= kCalls; ++scope) ASSERT_TRUE(seen[static_cast<std::size_t>(scope)]) << scope;
    const SubcktScope* last = FindScope(kCalls);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->parent, 0);
    EXPECT_EQ(ScopePath(kCalls), "X" + std::to_string(kCalls));
}

TEST_F(ManyCallsTest, ModelPolarityReachesEveryInstanceAndNothingElse)
{
    const std::string text = "polarity\n.MODEL QN NPN\n"
                             ".SUBCKT INNER C B E\nQ2 C B E QP\n.MODEL QP PNP\n.ENDS\n"
                             ".SUBCKT OUTER C B E\nQ1 C B E QP\nX9 C B E INNER\n.MODEL QP PNP\n.ENDS\n"
                             "Q0 1 2 0 QN\nX1 1 2 0 OUTER\nX2 1 2 0 OUTER\nX3 1 2 0 INNER\nQ4 1 2 0 QN\n"
                             "V1 1 0 1\nV2 2 0 1\n";
    ASSERT_EQ(ReadAndExpand(text), 0) << LastMessage();
    int pnp = 0, npn = 0;
    for (const SchematicItem* item : Components()) {
        const std::string part = Attr(item, kAttrPart);
        if (part.empty() || part[0] != 'Q') continue;
        if (item->scope == 0) {
            EXPECT_EQ(TypeOf(item), kComponentNpn) << part;
            ++npn;
        } else {
            EXPECT_EQ(TypeOf(item), kComponentPnp) << part << " in scope " << item->scope;
            ++pnp;
        }
    }
    EXPECT_EQ(npn, 2);
    EXPECT_EQ(pnp, 5);  // Q1 and Q2 of X1 and X2, Q2 of X3
}

// Each call's parameter is its instance's alone, a name given by a .PARAM of the top level is
// left for the build to evaluate, and a symbol given twice in one scope is still refused.
TEST_F(ManyCallsTest, ParametersOfEachCallReachOnlyItsInstance)
{
    constexpr int kCalls = 300;
    std::string text = "parameters\n.PARAM RG=5\nV1 1 0 1\nR9 1 0 {RG}\n"
                       ".SUBCKT TWO A B PARAMS: RV=1K\nR1 A M {RV}\nC1 M B 1P\nR2 M B {RG}\n.ENDS\n";
    for (int i = 1; i <= kCalls; ++i) text += "X" + std::to_string(i) + " 1 0 TWO PARAMS: RV=" + std::to_string(i) + "K\n";
    ASSERT_EQ(ReadAndExpand(text), 0) << LastMessage();
    int r1 = 0, r2 = 0;
    for (const SchematicItem* item : Components()) {
        const std::string part = Attr(item, kAttrPart);
        if (part == "R1") {
            ++r1;
            EXPECT_EQ(Attr(item, kAttrValue), "{ " + std::to_string(item->scope) + "K }") << "scope " << item->scope;
        } else if (part == "R2") {
            ++r2;
            EXPECT_EQ(Attr(item, kAttrValue), "{ RG }");
        }
    }
    EXPECT_EQ(r1, kCalls);
    EXPECT_EQ(r2, kCalls);

    ResetNetlistWorld();
    record_ = NewWindowRecord(nullptr, kWindowTextCircuit, true);
    record_->plot = std::make_shared<PlotRecord>();
    SetCurrentDocument(record_);
    EXPECT_NE(ReadAndExpand("twice\n.SUBCKT ONE A B\n.PARAM P=1\n.PARAM P=2\nR1 A B {P}\n.ENDS\n"
                            "X1 1 0 ONE\nX2 1 0 ONE\nV1 1 0 1\n"),
              0);
    EXPECT_EQ(LastCaption(), "Error 10886") << LastMessage();
}

// Calls on the same node names share one generated definition, whose pins are named by those
// nodes; a call on other nodes gets its own. All of them leave the library after the build.
TEST_F(ManyCallsTest, GeneratedDefinitionsAreSharedByCallsOnTheSameNodes)
{
    const int before = ComponentLibrary().definitions.count;
    ASSERT_EQ(ReadAndExpand(Calls(500) + "X501 1 2 TWO\nX502 2 1 TWO\nX503 1 2 TWO\nR3 2 0 1K\n"), 0) << LastMessage();
    std::map<std::string, const ComponentDefinition*> byPart;
    std::set<const ComponentDefinition*> distinct;
    for (const SchematicItem* item : Components()) {
        if (TypeOf(item) != kComponentSubckt || item->scope != 0) continue;
        byPart[Attr(item, kAttrPart)] = item->definition;
        distinct.insert(item->definition);
    }
    ASSERT_EQ(byPart.size(), 503u);
    EXPECT_EQ(distinct.size(), 3u);
    EXPECT_EQ(byPart["X1"], byPart["X500"]);
    EXPECT_EQ(byPart["X501"], byPart["X503"]);
    EXPECT_NE(byPart["X501"], byPart["X502"]);
    auto pins = [](const ComponentDefinition* definition) {
        std::string names;
        for (const DefinitionPin& pin : definition->pins) names += pin.name + " ";
        return names;
    };
    EXPECT_EQ(pins(byPart["X1"]), "1 0 ");
    EXPECT_EQ(pins(byPart["X501"]), "1 2 ");
    EXPECT_EQ(pins(byPart["X502"]), "2 1 ");
    FreeNetlistReaderBuild();
    EXPECT_EQ(ComponentLibrary().definitions.count, before);
}

}  // namespace
}  // namespace kq5::testing
