// The Component Editor driven by clicks and keys on the headless screen: the tree, the fields,
// the size checks, the buttons, pin dragging in the third preview and the three ways of closing.
// Its screen goes to build/screens/.
#include "../app/settings_dialog_test_support.h"
#include <filesystem>

#include "ui/prompt_dialog.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "schematic/component_editor.h"
#include "document/component_library.h"
#include "document/editor_services.h"
#include "document/shape_library.h"
#include "old_component_file.h"
#include "platform/common_dialogs_file.h"
#include "shape_test_support.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using win::testing::InputScript;

class ComponentEditorTest : public testing::SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        InitCharClasses();
        ResetDocumentStateForTests();
        ResetSchematicEditorForTests();
        ResetComponentEditorForTests();
        testing::LoadBuiltLibraries();
        // Shapes of the built library's parts, in a small library of our own in a scratch file.
        std::map<int, int> shapeOfType;
        for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions))
            shapeOfType.emplace(d.type, d.shapeIndex);
        ResetComponentLibraryForTests();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-editor-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ComponentLibraryState& library = ComponentLibrary();
        library.path = (dir_ / "comp.kq5").string();
        library.root.name = "Components";
        library.root.children.push_back(ComponentGroup{.name = "Passive", .id = 0, .children = {}});
        const auto add = [&](const char* name, int type, int group, int pins) {
            ComponentDefinition* d = AddComponentDefinition(name, type, shapeOfType[type]);
            d->groupId = static_cast<std::uint16_t>(group);
            d->pins.resize(static_cast<std::size_t>(pins));
            for (int i = 0; i < pins; ++i) d->pins[static_cast<std::size_t>(i)].dx = static_cast<std::int16_t>(4 * i);
            d->placementFlags = kDefShowPart | 1;
            return d;
        };
        r1_ = add("R1", kComponentResistor, 0, 2);
        add("C1", kComponentCapacitor, 0, 2);
        macro_ = add("M1", kComponentMacro, 7, 2);
        SetDefinitionPin(*macro_, 0, 'a', "IN", "");
        SetDefinitionPin(*macro_, 1, 'd', "OUT", "");
        and_ = add("AND1", kComponentAnd, 7, 3);
        and_->sizeA = 2;
        ASSERT_EQ(WriteComponentLibrary(library), 0);
        SetChosenComponentDefinition(r1_);
        record_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        SchematicItem* placed = ListAppendAs<SchematicItem>(record_->document->itemList, kKindSchematicItem);
        placed->itemKind = kItemComponent;
        placed->definition = r1_;
        placed_ = placed;
    }
    void TearDown() override
    {
        ResetComponentEditorForTests();
        ResetSchematicEditorForTests();
        ResetDocumentStateForTests();
        ResetShapeLibraryForTests();
        ResetComponentLibraryForTests();
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
        SettingsDialogTest::TearDown();
    }
    static int RowOf(const std::string& name)
    {
        const auto& rows = ComponentEditor().rows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if ((rows[i].definition && rows[i].definition->name == name) || (rows[i].group && rows[i].group->name == name))
                return static_cast<int>(i);
        return -1;
    }
    // A click on the row of the tree list.
    static void ClickRow(const std::string& name)
    {
        const int row = RowOf(name);
        ASSERT_GE(row, 0) << name;
        win::testing::ClickClient(Item(kComponentTreeList), 20, row * 14 + 7);
    }
    static void TypeAndLeave(int id, const std::string& text)
    {
        Type(id, text);
        Press(win::VK_TAB);
    }
    // Where pin 0 of the current part (at its origin) is drawn in the third preview, on screen.
    static win::POINT OriginOnScreen()
    {
        ComponentEditorState& s = ComponentEditor();
        win::HWND frame = Item(kComponentPinPreview);
        win::RECT rect;
        win::GetClientRect(frame, &rect);
        s.preview.orientation = 1;  // the third preview shows the part turned once
        const win::RECT box = GetItemBounds(s.preview);
        const int ox = static_cast<int>((box.left + box.right) / 2 - rect.right * s.scale / 2);
        const int oy = static_cast<int>((box.top + box.bottom) / 2 - rect.bottom * s.scale / 2);
        return win::testing::ScreenPointOf(frame, static_cast<int>(-ox / s.scale), static_cast<int>(-oy / s.scale));
    }
    static std::vector<std::string> Names()
    {
        std::vector<std::string> out;
        for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) out.push_back(d.name);
        return out;
    }
    // Runs the editor through the script's steps and closes it, answering No to saving.
    void RunClosingWithNo(InputScript& script)
    {
        script.Then([] {
            win::PushMessageBoxAnswer(win::IDNO);
            Click(23);
        });
        script.Install();
        win::ClearMessageBoxLog();
        ComponentEditorCommand(frame_);
    }
    static std::vector<std::string> MessageIds()
    {
        std::vector<std::string> out;
        for (const win::MessageBoxEntry& box : win::MessageBoxLog()) out.push_back(box.caption);
        return out;
    }
    std::filesystem::path dir_;
    ComponentDefinition* r1_ = nullptr;
    ComponentDefinition* macro_ = nullptr;
    ComponentDefinition* and_ = nullptr;
    WindowRecord* record_ = nullptr;
    SchematicItem* placed_ = nullptr;
};

TEST_F(ComponentEditorTest, FieldsButtonsAndSaveOnClose)
{
    std::vector<double> scales;
    InputScript script;
    script.Then([] { SaveScreen("component_editor"); })
        // Preview scale: "+" halves down to 0.25, "-" doubles up to 1.0.
        .Then([&] {
            for (int i = 0; i < 3; ++i) Click(12333);
        })
        .Then([&] {
            scales.push_back(ComponentEditor().scale);
            for (int i = 0; i < 3; ++i) Click(12332);
        })
        .Then([&] { scales.push_back(ComponentEditor().scale); })
        // Another part's name in other case is used; a free name renames.
        .Then([] { TypeAndLeave(12301, "c1"); })
        .Then([] { TypeAndLeave(12301, "R2"); })
        // Sizes of a gate: 0 inputs is refused, 3 gives 4 pins.
        .Then([] { ClickRow("AND1"); })
        .Then([] { TypeAndLeave(12306, "0"); })
        .Then([] { TypeAndLeave(12306, "3"); })
        .Then([] { SaveScreen("component_editor_gate"); })
        .Then([] { Click(12311); })  // Add Component: new_1 after AND1
        .Then([] { ClickRow("M1"); })
        .Then([] { Click(12324); })  // Copy
        .Then([] { Click(12325); })  // Paste: new_2, a Macro with M1's pins
        .Then([] { ClickRow("Passive"); })
        .Then([] { Click(12312); })  // Add Group under Passive
        .Then([] { Click(25); })     // the new group is empty: deleted
        .Then([] { ClickRow("Passive"); })
        .Then([] { Click(25); })     // holds components: refused
        .Then([] { ClickRow("R2"); })
        .Then([] { Click(25); })     // placed in the open schematic: refused
        .Then([] { ClickRow("new_1"); })
        .Then([] { Click(25); })
        .Then([] {
            win::PushMessageBoxAnswer(win::IDYES);
            Click(23);
        });
    script.Install();
    win::ClearMessageBoxLog();
    ComponentEditorCommand(frame_);

    EXPECT_EQ(scales, (std::vector<double>{0.25, 1.0}));
    const std::vector<std::string> expected{"Error 13621", "Error 13627", "Error 13623", "Error 13622", "Component Editor"};
    ASSERT_GE(win::MessageBoxLog().size(), 4u);
    EXPECT_EQ(MessageIds()[0], "Error 13621");
    EXPECT_EQ(MessageIds()[1], "Error 13627");
    EXPECT_EQ(MessageIds()[2], "Error 13623");
    EXPECT_EQ(MessageIds()[3], "Error 13622");
    EXPECT_EQ(win::MessageBoxLog().back().text.rfind("Save changes?", 0), 0u);

    EXPECT_EQ(Names(), (std::vector<std::string>{"R2", "C1", "M1", "AND1", "new_2"}));
    EXPECT_EQ(and_->sizeA, 3);
    EXPECT_EQ(and_->pins.size(), 4u);
    const ComponentDefinition* pasted = FindComponentDefinition("new_2");
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->type, kComponentMacro);
    ASSERT_EQ(pasted->pins.size(), 2u);
    EXPECT_EQ(pasted->pins[1].name, "OUT");
    EXPECT_TRUE(ComponentLibrary().root.children[0].children.empty());

    // Saved: a fresh read of the file has the edits.
    ComponentLibraryState reread;
    ASSERT_EQ(ReadComponentLibrary(ComponentLibrary().path, reread, true), 0);
    std::vector<std::string> names;
    for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(reread.definitions)) names.push_back(d.name);
    EXPECT_EQ(names, Names());
}

TEST_F(ComponentEditorTest, TypeChangeGivesDefaultPinsAndPinsDragInTheThirdPreview)
{
    std::vector<win::POINT> pinAt;
    InputScript script;
    script.Then([] { ClickRow("AND1"); })
        .Then([] {
            // The Definition combo set to Resistor.
            win::HWND combo = Item(12303);
            const int at = static_cast<int>(win::SendMessage(combo, win::CB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                                             reinterpret_cast<win::LPARAM>("Resistor")));
            win::SendMessage(combo, win::CB_SETCURSEL, static_cast<win::WPARAM>(at), 0);
            win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(12303, win::CBN_SELCHANGE), reinterpret_cast<win::LPARAM>(combo));
        })
        .Then([] {})
        .Then([] {
            // Drag pin 0 (at the origin) by 40 pixels right and 16 down: at scale 0.5 that is
            // 20 and 8 drawing units of the turned part, (1, -2.5) grid units of the part.
            const win::POINT pin = OriginOnScreen();
            win::headless::MoveMouse(pin.x, pin.y);
            win::headless::MouseDown();
            win::headless::MoveMouse(pin.x + 20, pin.y + 8);
            win::headless::MoveMouse(pin.x + 40, pin.y + 16);
            win::headless::MouseUp();
        })
        .Then([&] {
            EXPECT_EQ(and_->type, kComponentResistor);
            EXPECT_EQ(and_->pins.size(), 2u);
            pinAt.push_back({and_->pins[0].dx, and_->pins[0].dy});
            SaveScreen("component_editor_pins");
        })
        .Then([] {
            win::PushMessageBoxAnswer(win::IDNO);
            Click(23);
        });
    script.Install();
    ComponentEditorCommand(frame_);
    ASSERT_EQ(pinAt.size(), 1u);
    EXPECT_EQ(pinAt[0].x, 1);
    EXPECT_EQ(pinAt[0].y, -3);  // halves round away from zero
    // Close → No: the file's library again, and the placed component on its reloaded record.
    EXPECT_EQ(FindComponentDefinition("AND1")->type, kComponentAnd);
    EXPECT_EQ(placed_->definition, FindComponentDefinition("R1"));
}

TEST_F(ComponentEditorTest, ClickingAMacroPinNamesItAndFixedPinNamesAreRefused)
{
    SetPromptDialogsShownHeadless(true);
    InputScript script;
    script.Then([] { ClickRow("M1"); })
        .Then([] { win::testing::ClickScreen(OriginOnScreen()); })
        .Then([] { Type(10, "CLK"); })
        .Then([] { Click(201); })
        .Then([] { Click(208); })
        .Then([] { Type(205, "VDD"); })
        .Then([] { SaveScreen("component_editor_pin_name"); })
        .Then([] { Click(win::IDOK); })
        .Then([] { ClickRow("C1"); })
        .Then([] { win::testing::ClickScreen(OriginOnScreen()); })
        .Then([] {
            win::PushMessageBoxAnswer(win::IDYES);
            Click(23);
        });
    script.Install();
    win::ClearMessageBoxLog();
    ComponentEditorCommand(frame_);
    ClearPromptDialogs();
    ASSERT_EQ(macro_->pins.size(), 2u);
    EXPECT_EQ(macro_->pins[0].name, "CLK");
    EXPECT_EQ(macro_->pins[0].typeLetter, 'D');  // hidden: upper case, joined to its node
    EXPECT_EQ(macro_->pins[0].secondText, "VDD");
    EXPECT_EQ(PinTextLength(*macro_, macro_->pins[0]), 8);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_EQ(win::MessageBoxLog().front().caption, "Warning 13625");
}

TEST_F(ComponentEditorTest, MergeAddsAGroupThatCloseWithNoTakesBack)
{
    const std::string old = (dir_ / "older.kq4").string();
    testing::WriteBytes(old, testing::OldFile({{kComponentResistor, "OLDR", {}, {1, 2}}, {kComponentNpn, "ZZQ", {}, {1, 2, 3}}, {kComponentNull, "NOSHAPEX"}}));
    win::SetCommonDialogsShownHeadless(false);
    std::string selected;
    InputScript script;
    script.Then([&] {
            win::ScriptFileDialogAnswer(old);
            Click(12314);
        })
        .Then([&] {
            ComponentEditorState& s = ComponentEditor();
            const ComponentGroup* group = FindGroupById(ComponentLibrary().root, s.groupId);
            selected = s.groupSelected && group ? group->name : std::string();
            SaveScreen("component_editor_merged");
        });
    RunClosingWithNo(script);
    EXPECT_EQ(selected, "KQ4 Group");
    // Shapes are found by the part's or its type's name; NOSHAPEX finds neither.
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_EQ(win::MessageBoxLog().front().caption, "Warning 13630");
    EXPECT_NE(win::MessageBoxLog().front().text.find("NOSHAPEX"), std::string::npos);
    // No: the file's library, without the merged parts.
    EXPECT_EQ(FindComponentDefinition("OLDR"), nullptr);
    EXPECT_EQ(ComponentLibrary().root.children.size(), 1u);
}

TEST_F(ComponentEditorTest, DraggingARowMovesTheComponentIntoTheGroupDroppedOn)
{
    const auto rowPoint = [](const std::string& name) {
        return win::testing::ScreenPointOf(Item(kComponentTreeList), 20, RowOf(name) * 14 + 7);
    };
    InputScript script;
    script.Then([&] {
            const win::POINT from = rowPoint("AND1"), to = rowPoint("Passive");
            win::headless::MoveMouse(from.x, from.y);
            win::headless::MouseDown();
            win::headless::MoveMouse(to.x, to.y);
            win::headless::MouseUp();
        })
        .Then([&] {
            // And back to the top level by dropping it on the root's row.
            const win::POINT from = rowPoint("AND1"), to = rowPoint("Components");
            EXPECT_EQ(GroupOfDefinition(*and_), &ComponentLibrary().root.children[0]);
            win::headless::MoveMouse(from.x, from.y);
            win::headless::MouseDown();
            win::headless::MoveMouse(to.x, to.y);
            win::headless::MouseUp();
        })
        .Then([] {
            win::PushMessageBoxAnswer(win::IDYES);
            Click(23);
        });
    script.Install();
    ComponentEditorCommand(frame_);
    EXPECT_EQ(GroupOfDefinition(*and_), nullptr);
    EXPECT_EQ(ComponentEditor().rows.size(), 0u);
}

TEST_F(ComponentEditorTest, FindComponentTakesANameOrAChoiceAmongTheMatches)
{
    SetChosenComponentDefinition(nullptr);
    {
        InputScript script;
        script.Then([] { Type(10, "c1"); }).Then([] { Click(win::IDOK); });
        script.Install();
        EXPECT_EQ(FindComponentCommand(frame_), 1);
        EXPECT_EQ(ChosenComponentDefinition()->name, "C1");
    }
    {
        std::string listed;
        InputScript script;
        // The prompt offers the last name found.
        script.Then([&] { listed = win::GetDlgItemText(Dialog(), 10); })
            .Then([] { Type(10, "1"); })
            .Then([] { Click(win::IDOK); })
            .Then([] { SaveScreen("find_component_choice"); })
            .Then([&] {
                win::HWND list = Item(207);
                EXPECT_EQ(win::SendMessage(list, win::LB_GETCOUNT, 0, 0), 4);
                win::SendMessage(list, win::LB_SETCURSEL, 3, 0);
                Click(win::IDOK);
            });
        script.Install();
        EXPECT_EQ(FindComponentCommand(frame_), 1);
        EXPECT_EQ(listed, "C1");
        EXPECT_EQ(ChosenComponentDefinition(), and_);
    }
}

TEST_F(ComponentEditorTest, AStimOfNoneOrMoreThan32NodesIsRefusedAndKeepsItsSize)
{
    ComponentDefinition* stim = AddComponentDefinition("STIM8", kComponentStim, r1_->shapeIndex);
    ASSERT_NE(stim, nullptr);
    ApplyDefaultSizes(*stim);
    const std::uint16_t width = stim->sizeB;
    const std::size_t pins = stim->pins.size();
    std::vector<std::uint16_t> sizes;
    InputScript script;
    script.Then([] { ClickRow("STIM8"); })
        .Then([] { TypeAndLeave(12308, "0"); })
        .Then([&] { sizes.push_back(stim->sizeB); })
        .Then([] { TypeAndLeave(12308, "33"); })
        .Then([&] {
            sizes.push_back(stim->sizeB);
            EXPECT_EQ(stim->pins.size(), pins);
            EXPECT_EQ(win::GetDlgItemText(Dialog(), 12308), std::to_string(width));
        });
    RunClosingWithNo(script);
    EXPECT_EQ(sizes, (std::vector<std::uint16_t>{width, width}));
    ASSERT_GE(MessageIds().size(), 2u);
    EXPECT_EQ(MessageIds()[0], "Error 13624");
    EXPECT_EQ(MessageIds()[1], "Error 13624");
}

TEST_F(ComponentEditorTest, DefinitionChangeDropsPinsForTheNewTypesDefaults)
{
    ComponentDefinition d;
    d.type = kComponentMacro;
    d.pins.resize(5);
    d.type = kComponentNpn;
    d.pins.clear();
    ApplyDefaultSizes(d);
    EXPECT_EQ(d.pins.size(), 3u);
    d.type = kComponentStim;
    d.pins.clear();
    ApplyDefaultSizes(d);
    EXPECT_EQ(d.sizeB, 1);
    EXPECT_EQ(d.pins.size(), 1u);
    d.type = kComponentAnd;
    d.sizeA = d.sizeB = 0;
    d.pins.clear();
    ApplyDefaultSizes(d);
    EXPECT_EQ(d.pins.size(), 3u);
}

}  // namespace
}  // namespace kq5
