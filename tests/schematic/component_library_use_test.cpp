// Default pin names by type, what counts as a definition in use, reloading the library under
// components, undo lists, the clipboard and the chosen component, and the palettes.
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "ui/tool_buttons.h"
#include "core/file_units.h"
#include "edit_test_support.h"
#include "document/component_library.h"
#include "schematic/component_library_use.h"

namespace kq5::testing {
namespace {

std::vector<std::string> PinNames(int type, int pins, int sizeA = 0)
{
    ComponentDefinition d;
    d.type = static_cast<std::uint16_t>(type);
    d.sizeA = static_cast<std::uint16_t>(sizeA);
    d.pins.resize(static_cast<std::size_t>(pins));
    std::vector<std::string> names;
    for (int i = 0; i < pins; ++i) names.push_back(DefaultPinName(d, i));
    return names;
}

using Names = std::vector<std::string>;

TEST(DefaultPinName, FollowsTheTypesPinRule)
{
    EXPECT_EQ(PinNames(kComponentResistor, 2), (Names{"Plus", "Minus"}));
    EXPECT_EQ(PinNames(kComponentNpn, 3), (Names{"Collector", "Base", "Emitter"}));
    EXPECT_EQ(PinNames(kComponentShort, 2), (Names{"PinA", "PinB"}));
    EXPECT_EQ(PinNames(kComponentBuf, 2), (Names{"In", "Out"}));
    EXPECT_EQ(PinNames(kComponentXor, 3), (Names{"InA", "InB", "Out"}));
    EXPECT_EQ(PinNames(kComponentAnd, 4, 3), (Names{"InA", "InB", "InC", "Out"}));
    EXPECT_EQ(PinNames(kComponentBuf3, 3), (Names{"In", "Enable", "Out"}));
    // Past the converters' fixed pins: the data bits.
    EXPECT_EQ(PinNames(kComponentAdc, 8, 2)[6], "Out");
    EXPECT_EQ(PinNames(kComponentDac, 4, 1)[3], "In");
    EXPECT_EQ(PinNames(kComponentDac, 5, 2)[4], "InB");
    EXPECT_EQ(DefaultPinName(ComponentDefinition{}, -1), "");
}

TEST(DefaultPinName, NamedPinTypesGiveThePinsOwnName)
{
    ComponentDefinition d;
    d.type = kComponentLogicExp;
    d.pins.resize(2);
    SetDefinitionPin(d, 0, 'i', "CLK", "");
    SetDefinitionPin(d, 1, 'o', "Q", "");
    EXPECT_EQ(DefaultPinName(d, 0), "CLK");
    EXPECT_EQ(DefaultPinName(d, 1), "Q");
    EXPECT_EQ(DefaultPinName(d, 2), "");
}

class LibraryUse : public EditTest {
protected:
    void SetUp() override
    {
        EditTest::SetUp();
        ResetComponentLibraryForTests();
        // Palette names an earlier test gave the bars would count as the user's own.
        ResetDockedBarsForTests();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-use-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ComponentLibraryState& library = ComponentLibrary();
        library.path = (dir / "comp.kq5").string();
        r1 = AddComponentDefinition("R1", kComponentResistor, 1);
        c1 = AddComponentDefinition("C1", kComponentCapacitor, 1);
        r1->pins.resize(2);
        c1->pins.resize(2);
        library.slotNames[1] = "Passive";
        r1->placementFlags = 1;
        c1->placementFlags = 1;
        ASSERT_EQ(WriteComponentLibrary(library), 0);
    }
    void TearDown() override
    {
        ResetDockedBarsForTests();
        ResetComponentLibraryForTests();
        std::error_code error;
        std::filesystem::remove_all(dir, error);
        EditTest::TearDown();
    }
    SchematicItem* Held(LinkedList& list, ComponentDefinition* def)
    {
        SchematicItem* item = ListAppendAs<SchematicItem>(list, kKindSchematicItem);
        item->itemKind = kItemComponent;
        item->definition = def;
        return item;
    }
    std::filesystem::path dir;
    ComponentDefinition* r1 = nullptr;
    ComponentDefinition* c1 = nullptr;
};

TEST_F(LibraryUse, ADefinitionIsInUseWhenAComponentUndoListOrClipboardHoldsIt)
{
    EXPECT_FALSE(IsDefinitionInUse(*r1));
    SchematicItem* wire = Held(doc->itemList, r1);
    wire->itemKind = kItemWire;  // only components refer to definitions
    EXPECT_FALSE(IsDefinitionInUse(*r1));
    Held(doc->undoItemList, r1);
    EXPECT_TRUE(IsDefinitionInUse(*r1));
    EXPECT_FALSE(IsDefinitionInUse(*c1));
    Held(DocumentServices().clipboardItems, c1);
    EXPECT_TRUE(IsDefinitionInUse(*c1));
}

TEST_F(LibraryUse, ReloadRebindsEveryHolderAndKeepsVanishedNamesAlive)
{
    // Edits in memory that the reload discards: a renamed definition and a new one in use.
    c1->name = "C9";
    ComponentDefinition* added = AddComponentDefinition("new_1", kComponentDiode, 2);
    added->pins.resize(2);
    SchematicItem* placed = Held(doc->itemList, r1);
    SchematicItem* undone = Held(doc->undoItemList, c1);
    SchematicItem* copied = Held(DocumentServices().clipboardItems, added);
    SetChosenComponentDefinition(added);

    ASSERT_EQ(ReloadComponentLibrary(), 0);
    EXPECT_EQ(ComponentDefinitionCount(), 2);
    EXPECT_EQ(placed->definition, FindComponentDefinition("R1"));
    // "C9" is not in the file: a stand-in of the edited record, outside the library.
    ASSERT_NE(undone->definition, nullptr);
    EXPECT_EQ(undone->definition->name, "C9");
    EXPECT_EQ(undone->definition->type, kComponentCapacitor);
    EXPECT_EQ(FindComponentDefinition("C9"), nullptr);
    EXPECT_EQ(copied->definition->name, "new_1");
    EXPECT_EQ(copied->definition->pins.size(), 2u);
    EXPECT_EQ(ChosenComponentDefinition(), copied->definition);
    EXPECT_EQ(ComponentLibrary().placeholders.count, 2);

    // A later reload whose file has the name again gives the stand-in up for the real record.
    ComponentDefinition* back = AddComponentDefinition("C9", kComponentCapacitor, 1);
    back->pins.resize(2);
    ASSERT_EQ(WriteComponentLibrary(ComponentLibrary()), 0);
    ASSERT_EQ(ReloadComponentLibrary(), 0);
    EXPECT_EQ(undone->definition, FindComponentDefinition("C9"));
}

TEST_F(LibraryUse, AFailedReloadLeavesTheLibraryAsItWas)
{
    r1->name = "Edited";
    std::filesystem::remove(dir / "comp.kq5");
    EXPECT_EQ(ReloadComponentLibrary(), 16000 + ENOENT);
    EXPECT_EQ(FindComponentDefinition("Edited"), r1);
    EXPECT_EQ(ComponentDefinitionCount(), 2);
}

TEST_F(LibraryUse, RecentComponentCommandsChooseByName)
{
    Settings().recentComponents = {"c1", "gone"};
    EXPECT_EQ(RecentComponentCommand(17350), 1);
    EXPECT_EQ(ChosenComponentDefinition(), c1);
    EXPECT_EQ(RecentComponentCommand(17351), 0);  // no longer in the library
    EXPECT_EQ(RecentComponentCommand(17360), 0);
    EXPECT_EQ(ChosenComponentDefinition(), c1);
    Settings().recentComponents = {};
}

TEST_F(LibraryUse, PalettesListTheirDefinitionsInListOrder)
{
    ComponentDefinition* d = AddComponentDefinition("D1", kComponentDiode, 1);
    d->placementFlags = 3 | kDefShowPart;
    c1->placementFlags = 0;
    BuildComponentPalettes();
    EXPECT_EQ(DockedBars()[1].entries, (Names{"R1"}));
    EXPECT_EQ(DockedBars()[1].name, "Passive");
    EXPECT_EQ(DockedBars()[3].entries, (Names{"D1"}));
    EXPECT_TRUE(DockedBars()[2].entries.empty());
}

}  // namespace
}  // namespace kq5::testing
