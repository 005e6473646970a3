// The attribute dialog's naming rules (which lines may be renamed or deleted, and a free
// attribute renamed to a predefined name), and the labels the editor's small dialogs show.
#include "../app/settings_dialog_test_support.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/find_replace.h"
#include "app/prompt_dialog.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "netlist/component_types.h"
#include "schematic/attribute_dialog.h"
#include "schematic/box_operations.h"
#include "schematic/component_definition.h"
#include "schematic/editor_services.h"

namespace kq5 {
namespace {

using win::testing::InputScript;

class AttributeRulesTest : public testing::SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        InitCharClasses();
        ResetDocumentStateForTests();
        ResetSchematicEditorForTests();
        ClearPromptDialogs();
        SetPromptDialogsShownHeadless(true);
        record_ = NewWindowRecord(nullptr, kWindowSchematic, true);
    }
    void TearDown() override
    {
        ClearPromptDialogs();
        ResetSchematicEditorForTests();
        ResetDocumentStateForTests();
        SettingsDialogTest::TearDown();
    }
    SchematicItem* PlaceResistor(const char* part)
    {
        definition_.name = "RESISTOR";
        definition_.type = static_cast<std::uint16_t>(kComponentResistor);
        definition_.pins = {DefinitionPin{}, DefinitionPin{}};
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemComponent;
        item->definition = &definition_;
        SetAttribute(record_, item, kAttrPart, part);
        return item;
    }
    static void SelectLine(int line)
    {
        win::SendMessage(Item(110), win::LB_SETCURSEL, static_cast<win::WPARAM>(line), 0);
        win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(110, win::LBN_SELCHANGE), 0);
    }
    // Every text the dialog in front shows on its controls.
    static std::vector<std::string> Labels()
    {
        std::vector<std::string> out;
        for (win::HWND child = win::GetWindow(Dialog(), win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT))
            out.push_back(win::GetWindowText(child));
        return out;
    }
    static bool Shows(const std::vector<std::string>& labels, const char* text)
    {
        return std::find(labels.begin(), labels.end(), text) != labels.end();
    }

    WindowRecord* record_ = nullptr;
    ComponentDefinition definition_;
};

TEST_F(AttributeRulesTest, AFreeAttributeNamedValueBecomesTheValueAttribute)
{
    SchematicItem* item = PlaceResistor("R1");
    ASSERT_EQ(FindAttribute(item, kAttrValue), nullptr);
    InputScript script;
    script.Then([] { Click(24); })
        .Then([] { Type(100, "VALUE"); })
        .Then([] { win::SetDlgItemText(Dialog(), 101, "10k"); })
        .Then([] { win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(101, win::CBN_EDITCHANGE), 0); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    ASSERT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
    const ComponentAttribute* value = FindAttribute(item, kAttrValue);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->value, "10k");
    EXPECT_EQ(FindAttribute(item, "VALUE"), value);
    EXPECT_EQ(item->attributes.count, 2);
}

TEST_F(AttributeRulesTest, ThePartLineCanNeitherBeDeletedNorRenamed)
{
    SchematicItem* item = PlaceResistor("R7");
    bool nameEnabled = true;
    InputScript script;
    script.Then([] { SelectLine(0); })
        .Then([&nameEnabled] { nameEnabled = win::IsWindowEnabled(Item(100)) != 0; })
        .Then([] { Click(25); })
        // Even a name forced into the disabled field leaves PART as it is.
        .Then([] { win::SetDlgItemText(Dialog(), 100, "NAME"); })
        .Then([] { win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(100, win::EN_CHANGE), 0); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    ASSERT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
    EXPECT_FALSE(nameEnabled);
    EXPECT_EQ(GetAttributeText(item, kAttrPart), "R7");
    EXPECT_EQ(FindAttribute(item, "NAME"), nullptr);

    // A free attribute can be deleted; PART still stays.
    InputScript remove;
    remove.Then([] { Click(24); }).Then([] { Click(25); }).Then([] { Click(win::IDOK); });
    remove.Install();
    ASSERT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
    EXPECT_EQ(FindAttribute(item, "USER"), nullptr);
    EXPECT_EQ(GetAttributeText(item, kAttrPart), "R7");
}

// The labels stand as the program words them, with no access-key marks of their own.
TEST_F(AttributeRulesTest, EditorDialogsShowTheirLabelsAsWorded)
{
    SchematicItem* item = PlaceResistor("R1");
    SetMarkRect(record_, 0, 0, 10, 5);
    std::vector<std::string> labels;
    // The script must live until its dialog has run.
    std::unique_ptr<InputScript> script;
    const auto readThenCancel = [&labels, &script] {
        script = std::make_unique<InputScript>();
        script->Then([&labels] { labels = Labels(); }).Then([] { Click(win::IDCANCEL); });
        script->Install();
    };

    readThenCancel();
    StepBoxCommand(record_);
    for (const char* text : {"Horizontal", "Vertical", "Both", "Copy text", "Times to step"}) EXPECT_TRUE(Shows(labels, text)) << text;

    readThenCancel();
    MirrorBoxCommand(record_);
    for (const char* text : {"Horizontal", "Vertical", "Copy text"}) EXPECT_TRUE(Shows(labels, text)) << text;

    readThenCancel();
    EXPECT_EQ(FindInSchematic(record_, false), 2);
    for (const char* text : {"Search On", "Component Type", "Attribute Text", "Grid Text", "Node Name", "&OK", "&Cancel", "&Help..."})
        EXPECT_TRUE(Shows(labels, text)) << text;

    readThenCancel();
    EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 2);
    for (const char* text : {"Name", "Value", "Display", "Display Pin Names", "Expand...", "&OK", "&Cancel", "&Font...", "&Add", "&Delete"})
        EXPECT_TRUE(Shows(labels, text)) << text;
}

// A battery takes no model: the dialog shows only its left column, the model controls hidden.
TEST_F(AttributeRulesTest, AComponentWithoutModelsGetsANarrowDialog)
{
    SchematicItem* resistor = PlaceResistor("R1");
    ComponentDefinition batteryDefinition;
    batteryDefinition.name = "BATTERY";
    batteryDefinition.type = static_cast<std::uint16_t>(kComponentBattery);
    batteryDefinition.pins = {DefinitionPin{}, DefinitionPin{}};
    SchematicItem* battery = NewSchematicItem(record_);
    battery->itemKind = kItemComponent;
    battery->definition = &batteryDefinition;
    SetAttribute(record_, battery, kAttrPart, "V1");

    struct Seen {
        int width = 0;
        int helpRight = 0;
        bool modelsShown = true;
    };
    const auto measure = [](Seen& seen) {
        win::RECT window{}, help{};
        win::GetWindowRect(Dialog(), &window);
        win::GetWindowRect(Item(9), &help);
        seen.width = window.right - window.left;
        seen.helpRight = help.right - window.left;
        seen.modelsShown = win::IsWindowVisible(Item(107)) != 0;
    };
    Seen wide, narrow;
    InputScript first;
    first.Then([&] { measure(narrow); }).Then([] { testing::SaveScreen("attribute_dialog_without_models"); }).Then([] {
        Click(win::IDCANCEL);
    });
    first.Install();
    RunAttributeDialog(record_, battery, nullptr, 0);
    InputScript second;
    second.Then([&] { measure(wide); }).Then([] { Click(win::IDCANCEL); });
    second.Install();
    RunAttributeDialog(record_, resistor, nullptr, 0);

    EXPECT_TRUE(wide.modelsShown);
    EXPECT_FALSE(narrow.modelsShown);
    EXPECT_LT(narrow.width, wide.width);
    EXPECT_GT(narrow.width, narrow.helpRight);
    EXPECT_LT(narrow.width - narrow.helpRight, 30);
}

}  // namespace
}  // namespace kq5
