// Merging component libraries: a current-generation file with its shapes, and older-generation
// files turned into definitions, with their groups of 31, placements, pin orders and damage.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/status_text.h"
#include "core/char_classes.h"
#include "netlist/component_types.h"
#include "schematic/binary_io.h"
#include "schematic/component_library.h"
#include "schematic/component_merge.h"
#include "schematic/shape_library.h"
#include "shape_test_support.h"

namespace kq5::testing {
namespace {

struct OldEntry {
    int type;
    std::string name;
    std::array<int, 4> placement{};
    std::vector<int> order{};
    int flags = 0;
};

// An older file: the header, 200 entries and a pin row per type (Resistor 2 pins, NPN 3, Macro 2).
std::string OldFile(const std::vector<OldEntry>& entries, int version = 3)
{
    ByteWriter out;
    out.U16(static_cast<std::uint16_t>(version));
    out.U16(200);
    out.U16(200);
    for (std::size_t n = 0; n < 200; ++n) {
        std::string raw(46, '\0');
        if (n < entries.size()) {
            const OldEntry& e = entries[n];
            ByteWriter fixed;
            fixed.I16(static_cast<std::int16_t>(e.type));
            for (int v : e.placement) fixed.I16(static_cast<std::int16_t>(v));
            const std::string head = fixed.Take();
            raw.replace(0, head.size(), head);
            raw.replace(12, e.name.size(), e.name);
            for (std::size_t i = 0; i < e.order.size(); ++i) raw[29 + i] = static_cast<char>(e.order[i]);
            raw[45] = static_cast<char>(e.flags);
        }
        out.Bytes(raw);
    }
    for (int type = 0; type < kComponentTypeCount; ++type) {
        const int pins = type == kComponentResistor ? 2 : type == kComponentNpn ? 3 : type == kComponentMacro ? 2 : 0;
        out.U16(0);
        out.U16(static_cast<std::uint16_t>(pins));
        for (int i = 0; i < pins; ++i) {
            out.Bytes(std::string(1, static_cast<char>(i)));
            out.Bytes(std::string(1, static_cast<char>(10 * i)));
        }
    }
    return out.Take();
}

class MergeTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        InitCharClasses();
        ResetStatusTextForTests();
        LoadBuiltLibraries();
        ResetComponentLibraryForTests();
        ComponentLibrary().root.children.push_back(ComponentGroup{.name = "Passive", .id = 0});
        AddComponentDefinition("R1", kComponentResistor, 1);
    }
    int Import(const std::string& bytes, std::vector<std::string>& shapeless, int& status)
    {
        const std::string path = (dir_ / "old.kq4").string();
        WriteBytes(path, bytes);
        return ImportOldComponentFile(path, -1, shapeless, status);
    }
    static std::vector<std::string> GroupNames()
    {
        std::vector<std::string> out;
        for (const ComponentGroup& g : ComponentLibrary().root.children) out.push_back(g.name);
        return out;
    }
};

TEST_F(MergeTest, OlderFileFillsGroupsOf31AndConvertsPlacementsAndPins)
{
    std::vector<OldEntry> entries;
    entries.push_back({kComponentResistor, "R1", {}, {1, 2}});  // present already: skipped
    entries.push_back({kComponentNpn, "Q1", {15, -15, 7, -8}, {1, 2, 3}, 0x20});
    entries.push_back({kComponentMacro, "MAC1"});
    for (int i = 0; i < 38; ++i) entries.push_back({kComponentResistor, "RX" + std::to_string(i), {}, {1, 2}});
    std::vector<std::string> shapeless;
    int status = -1;
    const int last = Import(OldFile(entries), shapeless, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ComponentDefinitionCount(), 41);
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"Passive", "KQ4 Group", "KQ4 Group"}));
    const ComponentGroup& first = ComponentLibrary().root.children[1];
    int inFirst = 0;
    for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions))
        if (d.groupId == first.id) ++inFirst;
    EXPECT_EQ(inFirst, 31);
    EXPECT_EQ(last, ComponentLibrary().root.children[2].id);

    const ComponentDefinition* q = FindComponentDefinition("Q1");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->attrOriginX, 1);
    EXPECT_EQ(q->attrOriginTurnedX, -1);
    EXPECT_EQ(q->attrOriginY, 0);
    EXPECT_EQ(q->attrOriginTurnedY, -1);
    EXPECT_EQ(q->placementFlags, kDefShowPart | kDefShowMain | 0x2000);
    // Order 1, 2, 3 of the older transistor is 3, 1, 2 today.
    ASSERT_EQ(q->pins.size(), 3u);
    EXPECT_EQ(q->pins[0].dx, 2);
    EXPECT_EQ(q->pins[1].dx, 0);
    EXPECT_EQ(q->pins[2].dx, 1);
    const ComponentDefinition* m = FindComponentDefinition("MAC1");
    ASSERT_EQ(m->pins.size(), 2u);
    EXPECT_EQ(m->pins[1].name, "Pin B");
    EXPECT_EQ(m->pins[1].dy, 10);
    // Shapes by the part's name or its type's name; the rest listed.
    EXPECT_NE(FindComponentDefinition("RX0")->shapeIndex, 0);
    EXPECT_TRUE(std::find(shapeless.begin(), shapeless.end(), "Q1") == shapeless.end());
    EXPECT_EQ(GetStatusText(), "");
}

TEST_F(MergeTest, DamagedOlderFilesChangeNothing)
{
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"version", OldFile({{kComponentResistor, "A"}}, 4)},
        {"type code", OldFile({{200, "A"}})},
        {"order byte 0", OldFile({{kComponentNpn, "A", {}, {1, 0, 2}}})},
        {"order past the row", OldFile({{kComponentNpn, "A", {}, {1, 2, 4}}})},
        {"cut short", OldFile({{kComponentResistor, "A"}}).substr(0, 3000)},
    };
    for (const auto& [what, bytes] : bad) {
        std::vector<std::string> shapeless;
        int status = 0;
        EXPECT_EQ(Import(bytes, shapeless, status), kNoMergeGroup) << what;
        EXPECT_EQ(status, kMsgErrorLoadingFile) << what;
        EXPECT_EQ(ComponentDefinitionCount(), 1) << what;
        EXPECT_EQ(GroupNames().size(), 1u) << what;
    }
    std::vector<std::string> shapeless;
    int status = 0;
    ImportOldComponentFile((dir_ / "missing.kq4").string(), -1, shapeless, status);
    EXPECT_EQ(status, 16000 + ENOENT);
}

TEST_F(MergeTest, CurrentFileBringsItsShapesAndKeepsGroupsOfTheSameName)
{
    // The other library: its own shapes, a group named as ours and one we lack.
    const ShapeRecord* resistor = FindShapeRecord(FindShapeIndexByName("RESISTOR"));
    ASSERT_NE(resistor, nullptr);
    ShapeLibrary theirs;
    ShapeRecord* fresh = AddShapeRecord(theirs, "BRANDNEW", 1);
    fresh->data = resistor->data;
    fresh->extent = resistor->extent;
    AddShapeRecord(theirs, resistor->name, 2)->data = resistor->data;
    theirs.path = (dir_ / "SHAPEX.kq5").string();
    ASSERT_EQ(WriteShapeLibrary(theirs), 0);
    ComponentLibraryState other;
    other.root.children.push_back(ComponentGroup{.name = "Passive", .id = 5});
    other.root.children.push_back(ComponentGroup{.name = "Theirs", .id = 6});
    const auto add = [&](const char* name, int shape, int group) {
        ComponentDefinition* d = ListAppendAs<ComponentDefinition>(other.definitions, kKindComponentDefinition);
        d->name = name;
        d->type = kComponentResistor;
        d->shapeIndex = static_cast<std::uint16_t>(shape);
        d->groupId = static_cast<std::uint16_t>(group);
        d->pins.resize(2);
        d->memo = std::string("memo of ") + name;
    };
    add("R1", 2, 5);
    add("NEWR", 1, 6);
    add("SAMEGROUP", 2, 5);
    add("NOSHAPE", 40, 6);
    const std::string path = (dir_ / "compX.kq5").string();
    WriteBytes(path, SerializeComponentLibrary(other));

    const std::size_t shapesBefore = Shapes().records.size();
    int status = -1;
    const int last = MergeCurrentComponentFile(path, theirs.path, -1, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ComponentDefinitionCount(), 4);
    const ComponentDefinition* added = FindComponentDefinition("NEWR");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->memo, "memo of NEWR");
    ASSERT_NE(FindShapeRecord(added->shapeIndex), nullptr);
    EXPECT_EQ(FindShapeRecord(added->shapeIndex)->name, "BRANDNEW");
    EXPECT_EQ(FindShapeRecord(added->shapeIndex)->data, resistor->data);
    EXPECT_EQ(Shapes().records.size(), shapesBefore + 1);  // the resistor's shape was there already
    EXPECT_EQ(FindComponentDefinition("SAMEGROUP")->groupId, 0);
    EXPECT_EQ(FindComponentDefinition("SAMEGROUP")->shapeIndex, resistor->index);
    EXPECT_EQ(added->groupId, last);
    EXPECT_NE(FindComponentDefinition("NOSHAPE")->shapeIndex, 0);  // the first used slot

    // Again: every name is there now, nothing is added and no group made.
    const std::size_t groups = ComponentLibrary().root.children.size();
    EXPECT_EQ(MergeCurrentComponentFile(path, theirs.path, -1, status), kNoMergeGroup);
    EXPECT_EQ(ComponentLibrary().root.children.size(), groups);
}

}  // namespace
}  // namespace kq5::testing
