#include "document/connectivity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/analysis_state.h"
#include "document/stored_state_variables.h"
#include "ui/preference_values.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "document/netlist_state.h"
#include "document/scope_table.h"
#include "document/component_definition.h"

namespace kq5 {
namespace {

class ConnectivityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetWindowRecordsForTests();
        ResetConnectivityStateForTests();
        ResetAnalysisStateForTests();
        ResetDigitalSimulatorForTests();
        ResetStoredStatesForTests();
        ResetPreferenceValuesForTests();
        record = NewWindowRecord(nullptr, kWindowSchematic, true);
        doc = record->document.get();
        // A view that shares another window's lists: connectivity runs without a window.
        record->flags |= kRecordSharesLists;
    }
    void TearDown() override { ResetWindowRecordsForTests(); }

    ComponentDefinition* Def(int type, std::vector<std::pair<int, int>> pins, int inputs = 0)
    {
        ComponentDefinition& def = defs.emplace_back();
        def.type = static_cast<std::uint16_t>(type);
        def.inputPinCount = static_cast<std::int16_t>(inputs);
        for (auto [dx, dy] : pins) {
            DefinitionPin& pin = def.pins.emplace_back();
            pin.dx = static_cast<std::int16_t>(dx);
            pin.dy = static_cast<std::int16_t>(dy);
        }
        return &def;
    }
    ComponentDefinition* Resistor() { return Def(kComponentResistor, {{0, 0}, {4, 0}}); }
    ComponentDefinition* Ground() { return Def(kComponentGround, {{0, 0}}); }
    ComponentDefinition* TieDef() { return Def(kComponentTie, {{0, 0}}); }

    SchematicItem* Comp(ComponentDefinition* def, int x, int y, int page = 0, int orientation = 0,
                        const std::string& part = {})
    {
        SchematicItem* item = ListAppendAs<SchematicItem>(doc->itemList, kKindSchematicItem);
        item->itemKind = kItemComponent;
        item->definition = def;
        item->x1 = x;
        item->y1 = y;
        item->page = static_cast<std::int16_t>(page);
        item->orientation = static_cast<OrientationCode>(orientation);
        if (!part.empty()) SetAttribute(nullptr, item, kAttrPart, part);
        return item;
    }
    SchematicItem* Wire(int x1, int y1, int x2, int y2, int page = 0)
    {
        SchematicItem* item = ListAppendAs<SchematicItem>(doc->itemList, kKindSchematicItem);
        item->itemKind = kItemWire;
        item->x1 = x1;
        item->y1 = y1;
        item->x2 = x2;
        item->y2 = y2;
        item->page = static_cast<std::int16_t>(page);
        return item;
    }
    GridText* Text(const std::string& text, int x, int y)
    {
        GridText* plain = Label(text, x, y);
        plain->flags = 0;
        return plain;
    }
    GridText* Label(const std::string& text, int x, int y, int page = 0, bool flag = false)
    {
        GridText* label = ListAppendAs<GridText>(doc->gridTextList, kKindGridText);
        label->text = text;
        label->x = x;
        label->y = y;
        label->page = static_cast<std::int16_t>(page);
        label->number = -1;
        label->flags = flag ? kGridTextIsFlag : kGridTextValidLabel;
        return label;
    }
    void Build() { ASSERT_EQ(BuildConnectivity(record), 0); }
    int Node(const SchematicItem* item, int pin) { return PinNodeNumber(*doc, *item, pin); }
    int DotFlagAt(int x, int y, int page = 0)
    {
        int flag = -1;
        for (const ConnectionDot& dot : doc->connectionDots)
            if (dot.key == ConnectionKey(x, y) && dot.page == page && dot.flag != kDotNodeLabel)
                flag = std::max(flag, static_cast<int>(dot.flag));
        return flag;
    }

    WindowRecord* record = nullptr;
    CircuitDocument* doc = nullptr;
    std::deque<ComponentDefinition> defs;
};

TEST(ConnectivityGeometry, OrientationTurnsAndMirrorsPinOffsets)
{
    const std::pair<int, int> expected[8] = {{2, 3}, {-3, 2}, {-2, -3}, {3, -2},
                                             {2, -3}, {-3, -2}, {-2, 3}, {3, 2}};
    for (int code = 0; code < 8; ++code) {
        const win::POINT p = TransformByOrientation(code, 2, 3);
        EXPECT_EQ(p.x, expected[code].first) << code;
        EXPECT_EQ(p.y, expected[code].second) << code;
    }
}

TEST_F(ConnectivityTest, PinPositionFollowsOrientation)
{
    ComponentDefinition* def = Def(kComponentResistor, {{2, 0}, {0, 3}});
    const win::POINT turned = GetPinPosition(Comp(def, 10, 20, 0, 1), 0);
    EXPECT_EQ(turned.x, 10);
    EXPECT_EQ(turned.y, 22);
    const win::POINT mirrored = GetPinPosition(Comp(def, 10, 20, 0, 4), 1);
    EXPECT_EQ(mirrored.x, 10);
    EXPECT_EQ(mirrored.y, 17);
    SchematicItem* bare = Comp(nullptr, 5, 5);
    EXPECT_EQ(GetPinPosition(bare, 0).x, 0);
    EXPECT_EQ(GetPinPosition(Comp(def, 1, 1), 2).y, 0);  // no such pin
    EXPECT_EQ(ItemPinCount(Comp(Ground(), 0, 0)), 0);
    EXPECT_EQ(ItemPinCount(Comp(def, 0, 0)), 2);
}

TEST_F(ConnectivityTest, NumbersFollowFirstAnalogAppearanceAndGroundIsZero)
{
    SchematicItem* r1 = Comp(Resistor(), 10, 10);   // pins (10,10) (14,10)
    Wire(14, 10, 20, 10);
    SchematicItem* r2 = Comp(Resistor(), 20, 10);   // pins (20,10) (24,10)
    Comp(Ground(), 24, 10);
    SchematicItem* lone = Comp(Resistor(), 40, 40);  // touches nothing
    Build();
    EXPECT_EQ(Node(r1, 0), 1);
    EXPECT_EQ(Node(r1, 1), 2);
    EXPECT_EQ(Node(r2, 0), 2);
    EXPECT_EQ(Node(r2, 1), 0);
    EXPECT_EQ(Node(lone, 0), 3);
    EXPECT_EQ(Node(lone, 1), 4);
    EXPECT_EQ(doc->nodeCount, 4);
    EXPECT_EQ(doc->analysisNodeCounts[0], 4);
    const SchematicNodeRow& row = doc->schematicNodeTable[static_cast<std::size_t>(r1->pinNodes[1])];
    EXPECT_EQ(row.kind, kNodeAnalog);
    EXPECT_EQ(row.x, 14);
    EXPECT_EQ(row.y, 10);
}

TEST_F(ConnectivityTest, GroundSurvivesEveryMerge)
{
    // The net is joined before the ground is seen, and a later wire merges it with another net.
    Wire(0, 0, 4, 0);
    Wire(4, 0, 8, 0);
    SchematicItem* r1 = Comp(Resistor(), 20, 0);  // (20,0) (24,0)
    Wire(24, 0, 30, 0);
    Comp(Ground(), 4, 0);
    Wire(8, 0, 30, 0);
    Build();
    EXPECT_EQ(Node(r1, 1), 0);
    EXPECT_EQ(Node(r1, 0), 1);
    EXPECT_EQ(doc->nodeCount, 1);
}

TEST_F(ConnectivityTest, JunctionDots)
{
    Wire(0, 0, 4, 0);
    Wire(4, 0, 8, 0);  // end to end: no dot
    Wire(0, 10, 4, 10);
    Wire(4, 10, 8, 10);
    Wire(4, 10, 4, 14);  // three ends
    Wire(0, 20, 4, 20);
    Wire(4, 20, 8, 20);
    Comp(Resistor(), 4, 20);  // two wire ends and a pin
    Build();
    EXPECT_EQ(DotFlagAt(4, 0), 0);
    EXPECT_EQ(DotFlagAt(4, 10), kDotJunction);
    EXPECT_EQ(DotFlagAt(4, 20), kDotJunction);
    EXPECT_EQ(DotFlagAt(0, 0), 0);
}

TEST_F(ConnectivityTest, TiesJoinNetsAcrossPagesByName)
{
    SchematicItem* r1 = Comp(Resistor(), 10, 10, 0);
    Wire(14, 10, 20, 10, 0);
    Comp(TieDef(), 20, 10, 0, 0, "A");
    SchematicItem* r2 = Comp(Resistor(), 10, 10, 1);  // same coordinates on page 1
    Wire(14, 10, 30, 10, 1);
    Comp(TieDef(), 30, 10, 1, 2, "a");
    SchematicItem* r3 = Comp(Resistor(), 50, 50, 1);
    Wire(54, 50, 60, 50, 1);
    Comp(TieDef(), 60, 50, 1, 0, "");
    Comp(TieDef(), 70, 70, 0, 0, "");
    Build();
    EXPECT_EQ(Node(r1, 1), Node(r2, 1));
    EXPECT_NE(Node(r1, 0), Node(r2, 0));  // same point, other page
    EXPECT_NE(Node(r3, 1), Node(r1, 1));
    EXPECT_EQ(doc->nodeCount, 5);
}

TEST_F(ConnectivityTest, LabelsAndFlagsOfOneNameAreOneNode)
{
    SchematicItem* r1 = Comp(Resistor(), 0, 0);
    Wire(4, 0, 10, 0);
    SchematicItem* r2 = Comp(Resistor(), 0, 20, 2);
    SchematicItem* r3 = Comp(Resistor(), 0, 40);
    GridText* a = Label("OUT", 10, 0);          // on a wire end
    GridText* b = Label("out", 4, 20, 2);       // on a pin only, another page
    GridText* lost = Label("OUT", 90, 90);      // in empty space
    GridText* flag = Label("Sense", 4, 40, 0, true);
    Label("SENSE", 0, 0);                       // a plain label meeting the flag's name
    Build();
    EXPECT_EQ(Node(r1, 1), Node(r2, 1));
    EXPECT_EQ(Node(r3, 1), Node(r1, 0));
    EXPECT_NE(Node(r1, 1), Node(r1, 0));
    EXPECT_EQ(a->number, r1->pinNodes[1]);
    EXPECT_EQ(b->number, r1->pinNodes[1]);
    EXPECT_EQ(lost->number, -1);
    EXPECT_EQ(flag->number, r3->pinNodes[1]);
    int labelDots = 0;
    for (const ConnectionDot& dot : doc->connectionDots) labelDots += dot.flag == kDotNodeLabel;
    EXPECT_EQ(labelDots, 4);
}

TEST_F(ConnectivityTest, TieStatementsJoinNamedPins)
{
    SchematicItem* r1 = Comp(Resistor(), 0, 0, 0, 0, "R1");
    SchematicItem* r2 = Comp(Resistor(), 0, 10, 0, 0, "R2");
    SchematicItem* r3 = Comp(Resistor(), 0, 20, 0, 0, "R3");
    SchematicItem* r4 = Comp(Resistor(), 0, 30, 0, 0, "R10");
    Text(".tie resistor minus r1 R2 R1", 50, 50);
    Text(".TIE Resistor Nowhere R3 R4", 50, 60);  // no such pin
    Text(".TIE Gizmo Plus", 50, 70);              // no such type
    Build();
    EXPECT_EQ(Node(r1, 1), Node(r2, 1));
    EXPECT_NE(Node(r1, 0), Node(r2, 0));
    EXPECT_NE(Node(r3, 1), Node(r1, 1));
    EXPECT_NE(Node(r4, 1), Node(r1, 1));  // "R1" does not match "R10"
    EXPECT_EQ(doc->nodeCount, 7);
    EXPECT_EQ(FindPinIndexByName(kComponentNpn, "emitter"), 2);
    EXPECT_EQ(FindPinIndexByName(kComponentAnd, "A"), -1);
}

TEST_F(ConnectivityTest, DigitalPinsOnAnalogNodesGetInterfaceNodes)
{
    ComponentDefinition* gate = Def(kComponentAnd, {{0, 0}, {0, 2}, {4, 1}}, 2);
    // Output on an analog node: digital to analog.
    SchematicItem* load = Comp(Resistor(), 4, 1);       // pin 0 at the gate's output (4,1)
    SchematicItem* g1 = Comp(gate, 0, 0);
    // Inputs only on an analog node: analog to digital.
    SchematicItem* source = Comp(Resistor(), 20, 0);    // (20,0) (24,0)
    SchematicItem* g2 = Comp(gate, 24, 0);              // input (24,0)
    // Purely digital net between two gates.
    SchematicItem* g3 = Comp(gate, 40, 0);
    SchematicItem* g4 = Comp(gate, 44, 1);              // input at g3's output
    Build();
    const int analogOut = Node(load, 0);
    EXPECT_EQ(analogOut, 1);
    const int dtoa = Node(g1, 2);
    EXPECT_GT(dtoa, Node(source, 1));
    EXPECT_NE(dtoa, analogOut);
    const int atod = Node(g2, 0);
    EXPECT_NE(atod, Node(source, 1));
    EXPECT_EQ(Node(g3, 2), Node(g4, 0));

    std::map<int, const SchematicNodeRow*> byNumber;
    for (const SchematicNodeRow& row : doc->schematicNodeTable)
        if (row.nodeNumber) byNumber[row.nodeNumber] = &row;
    ASSERT_EQ(byNumber.size(), static_cast<std::size_t>(doc->nodeCount));
    EXPECT_EQ(byNumber.rbegin()->first, doc->nodeCount);  // no gaps
    const std::string dtoaText = FormatNodeLabel(*byNumber[dtoa], kNodeLabelNumber);
    EXPECT_EQ(dtoaText, std::to_string(dtoa) + "$DTOA");
    EXPECT_EQ(FormatNodeLabel(*byNumber[atod], kNodeLabelNumber), std::to_string(atod) + "$ATOD");
    EXPECT_EQ(byNumber[Node(g3, 2)]->kind, kNodeDigital);
    // Analog numbers come first.
    for (const auto& [number, row] : byNumber) {
        if (row->kind == kNodeAnalog) {
            EXPECT_LT(number, dtoa);
        }
    }
}

TEST_F(ConnectivityTest, GlobalPinsJoinByNodeName)
{
    ComponentDefinition* block = Def(kComponentSubckt, {{0, 0}, {0, 4}, {0, 8}});
    block->pins[1].typeLetter = 'G';
    block->pins[1].secondText = "VCC";
    block->pins[2].typeLetter = 'G';
    block->pins[2].secondText = "VDD";
    SchematicItem* sub = Comp(block, 0, 0);
    SchematicItem* supply = Comp(Resistor(), 30, 0);
    Label("vcc", 34, 0);
    Build();
    EXPECT_EQ(Node(sub, 1), Node(supply, 1));
    EXPECT_EQ(Node(sub, 2), -1);
    EXPECT_EQ(Connectivity().unresolvedGlobalPinItem, sub);
    EXPECT_EQ(Connectivity().unresolvedGlobalPinName, "VDD");
}

// Independent model of the node rules over (point, page) elements.
struct UnionFind {
    std::vector<int> parent;
    int Add()
    {
        parent.push_back(static_cast<int>(parent.size()));
        return parent.back();
    }
    int Find(int a) { return parent[a] == a ? a : parent[a] = Find(parent[a]); }
    void Join(int a, int b) { parent[Find(a)] = Find(b); }
};

TEST_F(ConnectivityTest, RandomSchematicsMatchAnIndependentUnionFind)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        SetUp();
        defs.clear();
        std::map<std::tuple<int, int, int>, int> elementOf;
        UnionFind uf;
        auto element = [&](int x, int y, int page) {
            auto [it, added] = elementOf.try_emplace({x, y, page}, 0);
            if (added) it->second = uf.Add();
            return it->second;
        };
        std::set<int> inTable;   // elements that are connection points of the table
        std::set<int> grounded;
        auto coord = [&] { return static_cast<int>(random() % 7) * 2; };
        auto page = [&] { return static_cast<int>(random() % 2); };

        ComponentDefinition* resistor = Resistor();
        ComponentDefinition* ground = Ground();
        ComponentDefinition* tie = TieDef();
        std::vector<SchematicItem*> resistors;
        std::map<std::string, std::vector<int>> tiesByName;
        std::vector<std::pair<std::string, int>> labels;
        // Labels mostly land on points where something else already is.
        std::vector<std::tuple<int, int, int>> points;
        auto remember = [&](int x, int y, int p) { points.emplace_back(x, y, p); };
        const int items = 4 + static_cast<int>(random() % 24);
        for (int i = 0; i < items; ++i) {
            const int kind = static_cast<int>(random() % 12);
            const int x = coord(), y = coord(), p = page();
            if (kind < 4) {
                const int x2 = coord(), y2 = coord();
                Wire(x, y, x2, y2, p);
                const int a = element(x, y, p), b = element(x2, y2, p);
                uf.Join(a, b);
                inTable.insert(a);
                inTable.insert(b);
                remember(x, y, p);
                remember(x2, y2, p);
            } else if (kind < 7) {
                const int orientation = static_cast<int>(random() % 8);
                resistors.push_back(Comp(resistor, x, y, p, orientation));
                for (int pin = 0; pin < 2; ++pin) {
                    const win::POINT at = GetPinPosition(resistors.back(), pin);
                    remember(at.x, at.y, p);
                }
            } else if (kind == 7) {
                Comp(ground, x, y, p);
                grounded.insert(element(x, y, p));
                inTable.insert(element(x, y, p));
                remember(x, y, p);
            } else if (kind == 8) {
                const std::string name = random() % 3 ? "T" + std::to_string(random() % 2) : "";
                Comp(tie, x, y, p, 0, name);
                if (!name.empty()) tiesByName[name].push_back(element(x, y, p));
                remember(x, y, p);
            } else {
                auto [lx, ly, lp] = points.empty() || random() % 5 == 0 ? std::make_tuple(x, y, p)
                                                                          : points[random() % points.size()];
                const std::string name = "N" + std::to_string(random() % 2);
                Label(name, lx, ly, lp);
                labels.emplace_back(name, element(lx, ly, lp));
            }
        }
        for (auto& [name, points] : tiesByName)
            for (std::size_t i = 1; i < points.size(); ++i) {
                uf.Join(points[0], points[i]);
                inTable.insert(points[0]);
                inTable.insert(points[i]);
            }
        std::vector<std::vector<int>> pinElements;
        for (SchematicItem* r : resistors) {
            std::vector<int> pins;
            for (int pin = 0; pin < 2; ++pin) {
                const win::POINT at = GetPinPosition(r, pin);
                pins.push_back(element(at.x, at.y, r->page));
            }
            pinElements.push_back(pins);
        }
        std::set<int> pinSet;
        for (auto& pins : pinElements) pinSet.insert(pins.begin(), pins.end());
        std::map<std::string, int> firstLabel;
        for (auto& [name, e] : labels) {
            if (!inTable.count(e) && !pinSet.count(e)) continue;
            auto [it, added] = firstLabel.try_emplace(name, e);
            uf.Join(e, it->second);
        }
        std::set<int> groundRoots;
        for (int g : grounded) groundRoots.insert(uf.Find(g));

        Build();
        std::map<int, int> numberOfRoot;
        int next = 0;
        for (std::size_t i = 0; i < resistors.size(); ++i)
            for (int pin = 0; pin < 2; ++pin) {
                const int root = uf.Find(pinElements[i][static_cast<std::size_t>(pin)]);
                int expected = 0;
                if (!groundRoots.count(root)) {
                    auto [it, added] = numberOfRoot.try_emplace(root, next + 1);
                    if (added) ++next;
                    expected = it->second;
                }
                ASSERT_EQ(Node(resistors[i], pin), expected) << "resistor " << i << " pin " << pin;
            }
        EXPECT_EQ(doc->nodeCount, next);
    }
}

TEST_F(ConnectivityTest, RebuildRunsOnlyWhenStaleAndWanted)
{
    SchematicItem* r = Comp(Resistor(), 0, 0);
    PreferenceSettings().nodeRecalc = 0;  // no automatic rebuild by size
    doc->viewOptions = 0;
    EXPECT_EQ(RebuildNetlistIfNeeded(record, false), 0);
    EXPECT_EQ(doc->connectivityStale, 1);
    EXPECT_EQ(doc->nodeCount, 0);

    doc->viewOptions = kViewNodeNumbers;
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_EQ(RebuildNetlistIfNeeded(record, false), 0);
    EXPECT_EQ(doc->connectivityStale, 1);
    EXPECT_EQ(RebuildNetlistIfNeeded(record, true), 0);
    EXPECT_EQ(doc->connectivityStale, 0);
    EXPECT_EQ(doc->nodeCount, 2);

    // Not stale: nothing changes even when forced.
    r->pinNodes.clear();
    EXPECT_EQ(RebuildNetlistIfNeeded(record, true), 0);
    EXPECT_TRUE(r->pinNodes.empty());

    // A previous-generation load rewires first and marks the numbers stale.
    Analysis().analysisKind = kAnalysisNone;
    doc->viewOptions = 0;
    PreferenceSettings().nodeRecalc = 1000;
    doc->connectivityMode = 3;
    EXPECT_EQ(RebuildNetlistIfNeeded(record, false), 0);
    EXPECT_EQ(doc->connectivityMode, 0);
    EXPECT_EQ(r->PinCount(), 2);

    // A record without a window (and not a shared view) is left alone.
    record->flags = 0;
    doc->connectivityStale = 1;
    EXPECT_EQ(RebuildNetlistIfNeeded(record, true), 0);
    EXPECT_EQ(doc->connectivityStale, 1);
}

TEST_F(ConnectivityTest, WiresTakeTheLabelsOfWhatTheyTouch)
{
    ComponentDefinition* gate = Def(kComponentBuf, {{0, 0}, {4, 0}}, 1);
    SchematicItem* r = Comp(Resistor(), 0, 0);
    SchematicItem* w1 = Wire(4, 0, 4, 6);   // on the resistor's pin
    SchematicItem* w2 = Wire(4, 6, 9, 6);   // only through w1
    SchematicItem* g = Comp(gate, 20, 0);
    SchematicItem* w3 = Wire(24, 0, 24, 9);  // on the buffer's output
    SchematicItem* w4 = Wire(50, 50, 55, 50);  // touches nothing
    Comp(TieDef(), 9, 6, 0, 0, "X");
    SchematicItem* w5 = Wire(70, 3, 80, 3, 1);
    Comp(TieDef(), 70, 3, 1, 0, "x");
    Build();
    ASSERT_EQ(PropagateWireNodes(record), 0);
    EXPECT_EQ(w1->wireLabel, r->pinNodes[1]);
    EXPECT_EQ(w2->wireLabel, r->pinNodes[1]);
    EXPECT_EQ(w3->wireLabel, g->pinNodes[1]);
    EXPECT_TRUE(w3->style & kStyleWireDigital);
    EXPECT_FALSE(w1->style & kStyleWireDigital);
    EXPECT_EQ(w4->wireLabel, kNoLabel);
    EXPECT_EQ(w5->wireLabel, r->pinNodes[1]);  // through the tie named X
}

TEST_F(ConnectivityTest, StoredStateVariablesAreCheckedBeforeUse)
{
    Analysis().solution.real.assign(6, 9.0);
    DigitalSimulator().current.assign(3, 0);
    DigitalSimulator().previous.assign(3, 0);
    DigitalSimulator().scheduled.assign(3, 0);
    doc->analysisNodeCounts = {4, 4};
    SetCurrentDocument(record);
    StoredStateVariables& stored = StoredStates();
    stored.rows = {
        {'V', 1.5, 0, -1, 2, 3},     // node 2, clears node 3
        {'I', 0.25, 0, 1, 0, 0},     // branch 1 sits at 4 + 1
        {'D', 0, 3, -1, 2, 0},       // state 1 at node 2
        {'V', 7.0, 0, -1, 6, 0},     // node past the solution
        {'V', 7.0, 0, -1, -3, 0},
        {'I', 7.0, 0, 1000000, 0, 0},
        {'D', 0, 3, -1, 40, 0},
        {'Q', 7.0, 0, -1, 1, 0},     // ignored letter
    };
    stored.read = true;
    stored.toBeUsed = false;
    EXPECT_EQ(ApplyStoredStateVariables(), 0);
    EXPECT_EQ(Analysis().solution.real[2], 9.0);

    stored.toBeUsed = true;
    EXPECT_EQ(ApplyStoredStateVariables(), 4);
    const std::vector<double>& v = Analysis().solution.real;
    EXPECT_EQ(v[2], 1.5);
    EXPECT_EQ(v[3], 0.0);
    EXPECT_EQ(v[5], 0.25);
    EXPECT_EQ(v[1], 9.0);
    EXPECT_EQ(DigitalSimulator().current[2], 3 | 0x1F8);
    EXPECT_EQ(DigitalSimulator().scheduled[2], 3 | 0x1F8);
    SetCurrentDocument(nullptr);
}

TEST_F(ConnectivityTest, NodeLabelTexts)
{
    SchematicNodeRow row;
    row.nodeNumber = 3;
    row.kind = kNodeAnalog;
    row.voltage = 1.25;
    EXPECT_EQ(FormatNodeLabel(row, kNodeLabelNumber | kNodeLabelValue), "3:" + FormatNumber(1.25, "3", 0));
    EXPECT_EQ(FormatNodeLabel(row, kNodeLabelValue), FormatNumber(1.25, "3", 0));
    Analysis().analysisKind = kAnalysisTransient;
    Analysis().solution.real.assign(5, 0.0);
    Analysis().solution.real[3] = 2.5;
    EXPECT_EQ(FormatNodeLabel(row, kNodeLabelValue), FormatNumber(2.5, "3", 0));
    row.kind = kNodeDigital;
    row.direction = kInterfaceDtoA;
    // The simulator numbers digital nets apart: the build named schematic node 3 its net 2.
    CircuitNodeTable().rows = {{"0", 0, 0, 0}, {"3", 2, 0, 1}, {"99", 99, 0, 1}};
    DigitalSimulator().current.assign(5, 0);
    DigitalSimulator().current[2] = 3 | 0x1F8;
    EXPECT_EQ(FormatNodeLabel(row, kNodeLabelNumber | kNodeLabelValue), "3$DTOA:1");
    row.nodeNumber = 99;  // past the state array: no strength, reads Z
    EXPECT_EQ(FormatNodeLabel(row, kNodeLabelValue), "Z");
    CircuitNodeTable().rows.clear();
}

TEST(NodeNames, LookupsByNumberAndByName)
{
    ResetNetlistStateForTests();
    ASSERT_EQ(ResizeScopeTable(1), 0);
    SetScopePart(1, "X1");
    NodeTable table;
    table.rows = {{"0", 0, 0, 0}, {"IN", 1, 0, 0}, {"X1.OUT", 2, 1, 0}, {"OUT", 2, 0, 0}, {"CLK", 3, 0, 1},
                  {"X1.IN", 1, 1, 0}};
    EXPECT_EQ(FindNodeName(table, 2, 1, 0), "OUT");      // scoped row, after its last dot
    EXPECT_EQ(FindNodeName(table, 2, 5, 0), "X1.OUT");   // any scope: the whole name
    EXPECT_EQ(FindNodeNameFromEnd(table, 1, 7, 0), "X1.IN");
    EXPECT_EQ(FindNodeName(table, 1, 7, 0), "IN");
    EXPECT_EQ(FindNodeName(table, 3, 0, 0), "");         // other domain
    EXPECT_EQ(LookupNodeNumber(table, "0", 0, 1), 0);
    EXPECT_EQ(LookupNodeNumber(table, "out", 1, 0), 2);
    EXPECT_EQ(LookupNodeNumber(table, "clk", 0, 1), 3);
    EXPECT_EQ(LookupNodeNumber(table, "clk", 0, 0), -1);
    ResetNetlistStateForTests();
}

// A row keeps a short name in itself and a longer one apart: names on both sides of that limit
// come back whole through copies, moves and the growth of the table, and are found by name.
TEST(NodeNames, NamesOfEveryLengthSurviveTheTable)
{
    NodeTable table;
    std::vector<std::string> names;
    for (std::size_t length = 0; length <= 20; ++length) {
        std::string name;
        for (std::size_t i = 0; i < length; ++i) name += static_cast<char>('A' + (length + i) % 26);
        names.push_back(name);
        table.rows.push_back({name, static_cast<std::int32_t>(length) + 1, 0, 0});
    }
    const NodeTable copy = table;
    NodeTable moved = std::move(table);
    moved.rows.insert(moved.rows.begin(), NodeNameRow{"0", 0, 0, 0});
    for (std::size_t length = 1; length <= 20; ++length) {
        EXPECT_EQ(copy.rows[length].name, names[length]);
        EXPECT_EQ(moved.rows[length + 1].name.view(), names[length]);
        EXPECT_EQ(LookupNodeNumber(moved, names[length], 0, 0), static_cast<std::int32_t>(length) + 1);
        EXPECT_EQ(FindNodeName(copy, static_cast<std::int32_t>(length) + 1, 0, 0), names[length]);
    }
    NodeNameRow row = copy.rows[20];
    row.name = copy.rows[3].name;
    EXPECT_EQ(row.name, names[3]);
    row.name = std::string("A_LONGER_NAME");
    EXPECT_EQ(row.WholeName(), "A_LONGER_NAME");
}

}  // namespace
}  // namespace kq5
