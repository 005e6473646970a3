// Merging component libraries: a current-generation file with its shapes, and older-generation
// files turned into definitions, with their groups of 31, placements, pin orders and damage.
#include <gtest/gtest.h>

#include <filesystem>

#include "ui/status_text.h"
#include "core/char_classes.h"
#include "document/component_types.h"
#include "document/binary_io.h"
#include "document/component_library.h"
#include "schematic/component_merge.h"
#include "document/shape_data.h"
#include "document/shape_library.h"
#include "old_component_file.h"
#include "shape_test_support.h"

namespace kq5::testing {
namespace {

class MergeTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        InitCharClasses();
        ResetStatusTextForTests();
        LoadBuiltLibraries();
        ResetComponentLibraryForTests();
        ComponentLibrary().root.children.push_back(ComponentGroup{.name = "Passive", .id = 0, .children = {}});
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
    entries.push_back({kComponentNull, "NOSHAPEX"});
    for (int i = 0; i < 37; ++i) entries.push_back({kComponentResistor, "RX" + std::to_string(i), {}, {1, 2}});
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
    EXPECT_EQ(shapeless, (std::vector<std::string>{"NOSHAPEX"}));
    EXPECT_EQ(FindComponentDefinition("NOSHAPEX")->shapeIndex, 0);
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
    other.root.children.push_back(ComponentGroup{.name = "Passive", .id = 5, .children = {}});
    other.root.children.push_back(ComponentGroup{.name = "Theirs", .id = 6, .children = {}});
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

// A shape that refers to other shapes: the shapes it refers to come along (or are found by
// name) and its references are renumbered for our library, whatever numbers the other used.
TEST_F(MergeTest, AMergedShapeRefersToTheSameShapesByTheirNewNumbers)
{
    const ShapeRecord* resistor = FindShapeRecord(FindShapeIndexByName("RESISTOR"));
    ASSERT_NE(resistor, nullptr);
    ShapeLibrary theirs;
    ShapeRecord* inner = AddShapeRecord(theirs, "INNERPART", 57);
    inner->data = resistor->data;
    inner->extent = resistor->extent;
    AddShapeRecord(theirs, "RESISTOR", 58)->data = resistor->data;
    // OUTER: a reference to INNERPART (57) and one to their RESISTOR (58).
    ByteWriter out;
    out.U16(2);
    for (int target : {57, 58}) {
        const std::vector<std::uint8_t> payload = BuildIntPayload({10, 10, 0});
        out.I16(static_cast<std::int16_t>(target));
        out.U16(0);
        out.U32(static_cast<std::uint32_t>(payload.size()));
        out.Bytes(std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));
    }
    const std::string bytes = out.Take();
    ShapeRecord* outer = AddShapeRecord(theirs, "OUTERPART", 3);
    outer->data.assign(bytes.begin(), bytes.end());
    outer->extent = resistor->extent;
    theirs.path = (dir_ / "SHAPEREF.kq5").string();
    ASSERT_EQ(WriteShapeLibrary(theirs), 0);
    ComponentLibraryState other;
    other.root.children.push_back(ComponentGroup{.name = "Theirs", .id = 6, .children = {}});
    ComponentDefinition* d = ListAppendAs<ComponentDefinition>(other.definitions, kKindComponentDefinition);
    d->name = "NESTED";
    d->type = kComponentResistor;
    d->shapeIndex = 3;
    d->groupId = 6;
    d->pins.resize(2);
    const std::string path = (dir_ / "compRef.kq5").string();
    WriteBytes(path, SerializeComponentLibrary(other));

    int status = -1;
    MergeCurrentComponentFile(path, theirs.path, -1, status);
    ASSERT_EQ(status, 0);
    const ComponentDefinition* merged = FindComponentDefinition("NESTED");
    ASSERT_NE(merged, nullptr);
    const ShapeRecord* shape = FindShapeRecord(merged->shapeIndex);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->name, "OUTERPART");
    std::vector<int> refs;
    ShapeDataReferences(shape->data, refs);
    ASSERT_EQ(refs.size(), 2u);
    ASSERT_NE(FindShapeRecord(refs[0]), nullptr);
    EXPECT_EQ(FindShapeRecord(refs[0])->name, "INNERPART");
    EXPECT_EQ(refs[1], resistor->index);
    // Every reference lies inside our table.
    EXPECT_TRUE(ShapeDataIsValid(shape->data, static_cast<int>(Shapes().table.size())));
}

}  // namespace
}  // namespace kq5::testing
