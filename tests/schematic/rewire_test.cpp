#include "schematic/rewire.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <random>
#include <tuple>

#include "edit_test_support.h"

namespace kq5 {
namespace {

using testing::SamePartition;

class RewireTest : public testing::EditTest {};

using W = std::vector<int>;

TEST_F(RewireTest, WireThroughAPinIsSplitThere)
{
    Comp(Resistor(), 8, 10, 1);  // turned: pins at (8, 10) and (8, 6)
    Wire(0, 10, 20, 10);
    EXPECT_TRUE(RewireCircuit(record, nullptr, false));
    EXPECT_EQ(Wires(), (std::vector<W>{{0, 10, 8, 10}, {8, 10, 20, 10}}));
    EXPECT_EQ(record->modified, 1);
}

TEST_F(RewireTest, EndToEndWiresMergeOnlyAtAFreeJoint)
{
    Wire(0, 5, 10, 5);
    Wire(10, 5, 30, 5);
    EXPECT_TRUE(RewireCircuit(record, nullptr, false));
    EXPECT_EQ(Wires(), (std::vector<W>{{0, 5, 30, 5}}));

    ListClear(doc->itemList);
    Wire(0, 5, 10, 5);
    Wire(10, 5, 30, 5);
    Wire(10, 0, 10, 5);
    RewireCircuit(record, nullptr, false);
    EXPECT_EQ(Wires().size(), 3u);
}

TEST_F(RewireTest, OverlapsMergeAloneAndAreCutFirstInAFullRewiring)
{
    Wire(0, 5, 20, 5);
    Wire(10, 5, 30, 5);
    EXPECT_TRUE(MergeCollinearWires(record, nullptr));
    EXPECT_EQ(Wires(), (std::vector<W>{{0, 5, 30, 5}}));

    ListClear(doc->itemList);
    Wire(0, 5, 20, 5);
    Wire(10, 5, 30, 5);
    RewireCircuit(record, nullptr, false);
    // Cut at 10 and 20, then the pieces rejoin wherever the joint is free.
    const std::vector<W> wires = Wires();
    ASSERT_FALSE(wires.empty());
    int covered = 0;
    for (const W& w : wires) {
        EXPECT_EQ(w[1], 5);
        EXPECT_LE(w[0], w[2]);
        covered += w[2] - w[0];
    }
    EXPECT_GE(covered, 30);
}

TEST_F(RewireTest, OrientsZeroLengthAndDiagonalWires)
{
    Wire(20, 3, 4, 3);   // right to left
    Wire(7, 9, 7, 1);    // bottom to top
    Wire(5, 5, 5, 5);    // zero length
    Wire(0, 0, 10, 10);  // diagonal through (4, 4) and (5, 5)
    Wire(4, 4, 4, 8);
    RewireCircuit(record, nullptr, false);
    const std::vector<W> wires = Wires();
    EXPECT_EQ(wires[0], (W{4, 3, 20, 3}));
    EXPECT_EQ(wires[1], (W{7, 1, 7, 9}));
    EXPECT_EQ(wires[2], (W{0, 0, 10, 10}));  // neither split nor splitting along its length
    EXPECT_EQ(wires[3], (W{4, 4, 4, 8}));
    EXPECT_EQ(wires.size(), 4u);
}

TEST_F(RewireTest, OneItemSplitsAtEveryPointOfItsLength)
{
    Wire(0, 5, 10, 5);
    SchematicItem* crossing = Wire(4, 0, 4, 9);
    // Ends only: the crossing stays a crossing.
    RewireCircuit(record, crossing, false);
    EXPECT_EQ(Wires().size(), 2u);
    // Every point: the horizontal wire is cut where the vertical one passes, and the new ends
    // cut the vertical one in turn: a junction of four wires.
    RewireCircuit(record, crossing, true);
    EXPECT_EQ(Wires().size(), 4u);
}

TEST_F(RewireTest, NegativeAndFarCoordinatesFromAFileAreSafe)
{
    Wire(-50, -3, -10, -3);
    Wire(-30, -20, -30, 40000);
    Wire(-30, -3, -30, -3);
    Comp(Resistor(), -20, -3);
    Text("N1", -30, 100)->flags = kGridTextValidLabel;
    RewireCircuit(record, nullptr, false);
    const std::vector<W> wires = Wires();
    // Split at the pins (-20, -3), (-16, -3), at the crossing end... and at the label.
    std::map<std::tuple<int, int, int, int>, int> seen;
    for (const W& w : wires) ++seen[{w[0], w[1], w[2], w[3]}];
    EXPECT_TRUE(seen.count({-50, -3, -20, -3}));
    EXPECT_TRUE(seen.count({-30, -20, -30, -3}) || seen.count({-30, -20, -30, 100}));
    EXPECT_TRUE(seen.count({-30, 100, -30, 40000}));
}

TEST_F(RewireTest, NewWireItemWithLinkRefusesZeroLengthAndSelects)
{
    EXPECT_EQ(NewWireItem(record, 3, 3, 3, 3, true), nullptr);
    SchematicItem* linked = NewWireItem(record, 3, 3, 9, 3, true);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->selection, 5);
    EXPECT_EQ(record->undoKind, 1);
    EXPECT_EQ(doc->connectivityStale, 1);
    SchematicItem* plain = NewWireItem(record, 3, 3, 3, 3, false);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->selection, 0);
}

// Reference connectivity of a drawing where a point joins every straight wire it lies on
// (ends and inside alike): what the user sees connected.
std::vector<int> DrawnPartition(const CircuitDocument& doc)
{
    struct P {
        int x, y;
    };
    std::vector<P> points;
    std::vector<int> parent;
    auto find = [&](int i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    auto add = [&](int x, int y) {
        points.push_back({x, y});
        parent.push_back(static_cast<int>(parent.size()));
        return static_cast<int>(points.size()) - 1;
    };
    std::vector<int> pinIndex;
    std::vector<std::pair<int, int>> wireEnds;
    std::vector<const SchematicItem*> wires;
    for (const SchematicItem& item : ListRecords<SchematicItem>(doc.itemList)) {
        if (item.IsComponent()) {
            for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin) {
                const win::POINT at = GetPinPosition(&item, pin);
                pinIndex.push_back(add(at.x, at.y));
            }
        } else if (item.itemKind == kItemWire) {
            const int a = add(item.x1, item.y1);
            const int b = add(item.x2, item.y2);
            parent[find(a)] = find(b);
            wireEnds.push_back({a, b});
            wires.push_back(&item);
        }
    }
    auto on = [](const SchematicItem& w, int x, int y) {
        if (w.x1 == w.x2) return x == w.x1 && y >= std::min(w.y1, w.y2) && y <= std::max(w.y1, w.y2);
        if (w.y1 == w.y2) return y == w.y1 && x >= std::min(w.x1, w.x2) && x <= std::max(w.x1, w.x2);
        return (x == w.x1 && y == w.y1) || (x == w.x2 && y == w.y2);
    };
    for (std::size_t p = 0; p < points.size(); ++p) {
        for (std::size_t w = 0; w < wires.size(); ++w)
            if (on(*wires[w], points[p].x, points[p].y)) parent[find(static_cast<int>(p))] = find(wireEnds[w].first);
        for (std::size_t q = 0; q < p; ++q)
            if (points[p].x == points[q].x && points[p].y == points[q].y)
                parent[find(static_cast<int>(p))] = find(static_cast<int>(q));
    }
    std::vector<int> out;
    for (int i : pinIndex) out.push_back(find(i));
    return out;
}

TEST_F(RewireTest, RandomDrawingsKeepTheirConnectionsAndBecomeCanonical)
{
    std::mt19937 random(15);
    for (int round = 0; round < 60; ++round) {
        ListClear(doc->itemList);
        defs.clear();
        ComponentDefinition* r = Resistor();
        std::uniform_int_distribution<int> coord(0, 24);
        std::vector<win::POINT> pins;
        for (int i = 0; i < 6; ++i) {
            SchematicItem* c = Comp(r, coord(random), coord(random), random() % 4);
            for (int pin = 0; pin < 2; ++pin) pins.push_back(GetPinPosition(c, pin));
        }
        for (int i = 0; i < 14; ++i) {
            // Ends on pins or anywhere; straight wires in both directions, some zero-length.
            win::POINT a = random() % 2 ? pins[random() % pins.size()] : win::POINT{coord(random), coord(random)};
            const int length = static_cast<int>(random() % 15) - 7;
            if (random() % 2) Wire(a.x, a.y, a.x + length, a.y);
            else Wire(a.x, a.y, a.x, a.y + length);
        }
        const std::vector<int> drawn = DrawnPartition(*doc);
        RewireCircuit(record, nullptr, false);
        const std::vector<int> rewired = PinNodes();
        ASSERT_TRUE(SamePartition(drawn, rewired)) << "round " << round;
        EXPECT_TRUE(SamePartition(drawn, DrawnPartition(*doc))) << "round " << round;
        // Canonical: no zero-length wire, oriented, nothing passing through a connection point.
        for (const W& w : Wires()) {
            EXPECT_FALSE(w[0] == w[2] && w[1] == w[3]);
            EXPECT_TRUE(w[0] <= w[2] && w[1] <= w[3]);
            for (const W& other : Wires()) {
                for (int e = 0; e < 4; e += 2) {
                    const int x = other[e], y = other[e + 1];
                    const bool inside = (w[0] == w[2] && x == w[0] && y > w[1] && y < w[3]) ||
                                        (w[1] == w[3] && y == w[1] && x > w[0] && x < w[2]);
                    EXPECT_FALSE(inside) << "round " << round;
                }
            }
        }
        // A second rewiring (it may join what a removed duplicate kept apart) keeps the nodes.
        RewireCircuit(record, nullptr, false);
        EXPECT_TRUE(SamePartition(PinNodes(), rewired)) << "round " << round;
    }
}

TEST_F(RewireTest, ASplitThatRunsOutOfMemoryLosesNoWire)
{
    ComponentDefinition* r = Resistor();
    for (int countdown = 1; countdown < 300; ++countdown) {
        ListClear(doc->itemList);
        Comp(r, 8, 10, 1);
        Comp(r, 14, 10, 1);
        Wire(0, 10, 20, 10);
        testing::FailOneAllocation(countdown);
        const int status = RewireSchematic(record, 0, false);
        const bool failed = testing::AllocationFailed();
        testing::StopFailingAllocations();
        EXPECT_TRUE(status == 0 || status == kMsgInsufficientMemory);
        // Every point from 0 to 20 is still covered by some wire: a wire is cut only after its
        // tail exists.
        for (int x = 0; x <= 20; ++x) {
            bool covered = false;
            for (const W& w : Wires()) covered |= w[1] == 10 && w[3] == 10 && std::min(w[0], w[2]) <= x && x <= std::max(w[0], w[2]);
            EXPECT_TRUE(covered) << "x " << x << " countdown " << countdown;
        }
        if (!failed) break;
    }
}

TEST_F(RewireTest, MarkingTheNetlistStaleRewiresAtTheNextRebuild)
{
    Comp(Resistor(), 8, 10, 1);
    Comp(Resistor(), 20, 10);
    Wire(0, 10, 20, 10);
    MarkNetlistStale(record);
    const std::vector<int> nodes = PinNodes();
    EXPECT_EQ(Wires().size(), 2u);
    EXPECT_EQ(nodes[0], nodes[2]);  // the pin inside the wire is now joined to its far end
}

}  // namespace
}  // namespace kq5
