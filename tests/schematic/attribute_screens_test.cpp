// The editor's dialogs driven by keys and clicks on the headless screen, with their screens
// saved into build/screens/: Grid Text, the Flag prompt, the attribute dialog (its naming rules,
// and narrowed for a component without models), Step box and Attribute Display, and the labels
// of the editor's dialogs.
#include "../app/settings_dialog_test_support.h"
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "ui/prompt_dialog.h"
#include "schematic/find_replace.h"
#include "ui/help_bar.h"
#include "ui/status_text.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/grid_text.h"
#include "document/node_flags.h"
#include "document/component_types.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "schematic/attribute_dialog.h"
#include "schematic/box_operations.h"
#include "document/component_definition.h"
#include "document/editor_services.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using win::testing::InputScript;

class EditorDialogsTest : public testing::SettingsDialogTest {
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
        doc_ = record_->document.get();
    }
    void TearDown() override
    {
        ClearPromptDialogs();
        ResetSchematicEditorForTests();
        ResetDocumentStateForTests();
        SettingsDialogTest::TearDown();
    }
    std::vector<GridText*> Texts()
    {
        std::vector<GridText*> out;
        for (GridText& text : ListRecords<GridText>(doc_->gridTextList)) out.push_back(&text);
        return out;
    }
    // A two-pin part of the kind named; the definition must outlive the item.
    SchematicItem* PlacePart(ComponentDefinition& definition, const char* name, int type, const char* part)
    {
        definition.name = name;
        definition.type = static_cast<std::uint16_t>(type);
        definition.pins = {DefinitionPin{}, DefinitionPin{}};
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemComponent;
        item->definition = &definition;
        SetAttribute(record_, item, kAttrPart, part);
        return item;
    }
    // A diode D1 of the model named.
    SchematicItem* PlaceDiode(ComponentDefinition& definition, const char* model)
    {
        SchematicItem* item = PlacePart(definition, "DIODE", kComponentDiode, "D1");
        SetAttribute(record_, item, kAttrModel, model);
        return item;
    }
    WindowRecord* record_ = nullptr;
    CircuitDocument* doc_ = nullptr;
};

TEST_F(EditorDialogsTest, GridTextDialogPlacesARowOfNumberedTexts)
{
    InputScript script;
    script.Then([] { Type(10, "N1"); })
        .Then([] { Click(100); })
        .Then([] { Type(107, "3"); })
        .Then([] { Type(106, "2"); })
        .Then([] { SaveScreen("grid_text_dialog"); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(PlaceGridTextOrFlag(record_, 10, 20, false), 0);
    std::vector<GridText*> texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    std::map<std::string, std::pair<int, int>> at;
    for (GridText* text : texts) at[text->text] = {text->x, text->y};
    EXPECT_EQ(at["N1"], std::make_pair(10, 20));
    EXPECT_EQ(at["N2"], std::make_pair(12, 20));
    EXPECT_EQ(at["N3"], std::make_pair(14, 20));
}

TEST_F(EditorDialogsTest, FlagPromptPlacesOneFlagAndCancelNothing)
{
    InputScript script;
    script.Then([] { Type(10, "CLK"); }).Then([] { SaveScreen("flag_prompt"); }).Then([] { Click(win::IDOK); });
    script.Install();
    PlaceGridTextOrFlag(record_, 5, 6, true);
    std::vector<GridText*> texts = Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, "CLK");
    EXPECT_TRUE(texts[0]->IsFlag());

    InputScript cancel;
    cancel.Then([] { Type(10, "X"); }).Then([] { Click(win::IDCANCEL); });
    cancel.Install();
    PlaceGridTextOrFlag(record_, 9, 9, true);
    EXPECT_EQ(Texts().size(), 1u);
}

TEST_F(EditorDialogsTest, AttributeDialogEditsACopyAndWritesItBackOnOk)
{
    ComponentDefinition definition;
    SchematicItem* item = PlacePart(definition, "RESISTOR", kComponentResistor, "R1");
    item->x1 = 10;
    item->y1 = 10;
    SetAttribute(record_, item, kAttrValue, "1k");

    InputScript script;
    script.Then([] { win::SendMessage(Item(110), win::LB_SETCURSEL, 1, 0); })
        .Then([] { win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(110, win::LBN_SELCHANGE), 0); })
        .Then([] { win::SetDlgItemText(Dialog(), 101, "2.2k"); })
        .Then([] { win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(101, win::CBN_EDITCHANGE), 0); })
        .Then([] { Click(103); })
        .Then([] { Click(24); })
        .Then([] { Type(100, "my attr, x=1"); })
        .Then([] { SaveScreen("attribute_dialog"); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
    EXPECT_EQ(GetAttributeText(item, kAttrValue), "2.2k");
    EXPECT_NE(FindAttribute(item, kAttrValue)->display & kAttrShowValue, 0);
    EXPECT_NE(FindAttribute(item, "my_attr_x1"), nullptr);

    // Cancel leaves the component as it was.
    InputScript cancel;
    cancel.Then([] { Click(24); }).Then([] { Click(win::IDCANCEL); });
    cancel.Install();
    EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 2);
    EXPECT_EQ(item->attributes.count, 3);
}

// Typing a macro's VALUE shows its pattern again in the status bar; a resistor's value does not.
TEST_F(EditorDialogsTest, AMacrosValueEditShowsItsHintAgain)
{
    ComponentDefinition macroDefinition;
    SchematicItem* macro = PlacePart(macroDefinition, "AMP", kComponentMacro, "X1");
    SetAttribute(record_, macro, kAttrValue, "AMP");
    ComponentDefinition resistorDefinition;
    SchematicItem* resistor = PlacePart(resistorDefinition, "RESISTOR", kComponentResistor, "R1");
    SetAttribute(record_, resistor, kAttrValue, "1k");
    static std::string shown;
    SetHelpBarOption(true);
    for (SchematicItem* item : {macro, resistor}) {
        InputScript script;
        script.Then([] { win::SendMessage(Item(110), win::LB_SETCURSEL, 1, 0); })
            .Then([] { win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(110, win::LBN_SELCHANGE), 0); })
            .Then([] { SetStatusText(""); })
            .Then([] { win::SetDlgItemText(Dialog(), 101, "AMP(2)"); })
            .Then([] { win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(101, win::CBN_EDITCHANGE), 0); })
            .Then([] { shown = GetStatusText(); })
            .Then([] { Click(win::IDOK); });
        script.Install();
        EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
        EXPECT_EQ(GetAttributeText(item, kAttrValue), "AMP(2)");
        EXPECT_EQ(shown, item == macro ? "File_name(<params>,<params>)" : "");
    }
    SetHelpBarOption(false);
}

TEST_F(EditorDialogsTest, TheModelPanelEditsTheParametersOfANewModel)
{
    ResetModelStateForTests();
    ComponentDefinition definition;
    SchematicItem* item = PlaceDiode(definition, "dnew");

    InputScript script;
    script.Then([] { Click(112); })
        .Then([] { Type(2000, "2e-14"); })
        .Then([] { SaveScreen("attribute_dialog_model_panel"); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
    EXPECT_EQ(GetAttributeText(item, kAttrModel), "DNEW");
    // The model is written into the circuit's text, where the next build reads it.
    EXPECT_EQ(record_->textArea, ".MODEL DNEW D (LEVEL=2e-14)");

    // Opened again, the panel shows the statement's values; an edit replaces the statement,
    // continuation lines and all.
    record_->textArea = "* models\n.model dnew D (LEVEL=2e-14\n+ IS=1e-15)\n.END";
    std::string shown;
    InputScript again;
    again.Then([] { Click(112); })
        .Then([&] { shown = win::GetDlgItemText(Dialog(), 2001); })
        .Then([] { Type(2002, "1.5"); })
        .Then([] { Click(win::IDOK); });
    again.Install();
    EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
    EXPECT_EQ(shown, "1e-15");
    EXPECT_EQ(record_->textArea, "* models\n.MODEL DNEW D (LEVEL=2e-14 IS=1e-15 N=1.5)\n.END");

    // No model name for a type that needs one keeps the dialog open.
    SetAttributeValue(*FindAttribute(item, kAttrModel), "");
    InputScript empty;
    empty.Then([] { Click(win::IDOK); }).Then([] { Click(win::IDCANCEL); });
    empty.Install();
    EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 2);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("No Model Name Given."), std::string::npos);
    ResetModelStateForTests();
}

// A Pulse Source, as a new user places it, is offered the pulse models of the default library;
// clicking one names it.
TEST_F(EditorDialogsTest, TheModelListOffersTheLibrarysModelsOfTheType)
{
    ResetModelStateForTests();
    ResetLibraryStateForTests();
    ComponentDefinition definition;
    SchematicItem* item = PlacePart(definition, "Pulse Source", kComponentPulseSource, "V1");
    std::vector<std::string> offered;
    InputScript script;
    script.Then([&] {
              win::HWND list = Item(107);
              for (int i = 0; i < static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0)); ++i) {
                  std::string name(64, '\0');
                  name.resize(static_cast<std::size_t>(
                      win::SendMessage(list, win::LB_GETTEXT, static_cast<win::WPARAM>(i), reinterpret_cast<win::LPARAM>(name.data()))));
                  offered.push_back(name);
              }
          })
        .Then([&] {
            const auto step = std::find(offered.begin(), offered.end(), "STEP");
            if (step == offered.end()) return;
            const int height = static_cast<int>(win::SendMessage(Item(107), win::LB_GETITEMHEIGHT, 0, 0));
            win::testing::ClickClient(Item(107), 10, height * static_cast<int>(step - offered.begin()) + height / 2);
        })
        .Then([] { SaveScreen("attribute_dialog_library_models"); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunAttributeDialog(record_, item, nullptr, 0), 1);
    EXPECT_NE(std::find(offered.begin(), offered.end(), "STEP"), offered.end());
    EXPECT_NE(std::find(offered.begin(), offered.end(), "PULSE_1K"), offered.end());
    // Models of other types are not offered.
    EXPECT_EQ(std::find(offered.begin(), offered.end(), "SINE_1K"), offered.end());
    EXPECT_EQ(GetAttributeText(item, kAttrModel), "STEP");
    ResetLibraryStateForTests();
    ResetModelStateForTests();
}

// In the model panel Up and Down move between the rows of fields, scrolling the panel a row at
// its edges; Page Down scrolls a page. The focus keeps its column.
TEST_F(EditorDialogsTest, ArrowAndPageKeysWalkTheModelPanel)
{
    ResetModelStateForTests();
    ComponentDefinition definition;
    SchematicItem* item = PlaceDiode(definition, "dkeys");

    std::vector<int> focus;
    std::string rowOneName, firstAfterScroll, firstAfterPage;
    const auto focused = [&] { focus.push_back(win::GetDlgCtrlID(win::GetFocus())); };
    const auto press = [](int key) { return [key] { win::headless::PressKey(key); }; };
    InputScript script;
    script.Then([] { Click(112); })
        .Then([&] { rowOneName = win::GetDlgItemText(Dialog(), 1003); })
        .Then([] { win::SetFocus(win::GetDlgItem(Dialog(), 2001)); })
        .Then(press(win::VK_DOWN)).Then(focused)
        .Then(press(win::VK_UP)).Then(focused)
        .Then(press(win::VK_UP)).Then(focused)
        .Then([] { win::SetFocus(win::GetDlgItem(Dialog(), 2013)); })
        .Then(press(win::VK_DOWN)).Then(focused)
        .Then([&] { firstAfterScroll = win::GetDlgItemText(Dialog(), 1000); })
        .Then(press(win::VK_NEXT)).Then(focused)
        .Then([&] { firstAfterPage = win::GetDlgItemText(Dialog(), 1000); })
        .Then([] { Click(win::IDCANCEL); });
    script.Install();
    RunAttributeDialog(record_, item, nullptr, 0);
    ASSERT_EQ(focus.size(), 5u);
    EXPECT_EQ(focus[0], 2004);
    EXPECT_EQ(focus[1], 2001);
    EXPECT_EQ(focus[2], 2001);  // the top row at the top of the list stays
    EXPECT_EQ(focus[3], 2013);  // the panel scrolled a row under the focus
    EXPECT_FALSE(rowOneName.empty());
    EXPECT_EQ(firstAfterScroll, rowOneName);
    EXPECT_NE(firstAfterPage, firstAfterScroll);
    ResetModelStateForTests();
}

TEST_F(EditorDialogsTest, AttributeNamesAndModelNamesAreCleaned)
{
    EXPECT_EQ(CleanAttributeName("  my attr, x=1 "), "my_attr_x1");
    EXPECT_EQ(CleanAttributeName("i/o model"), "i/o model");
    EXPECT_EQ(CleanModelName("Q 2N2222 (x)"), "Q2N2222x");
    EXPECT_EQ(CleanModelName(std::string(60, 'M')).size(), 49u);
}

TEST_F(EditorDialogsTest, StepBoxAndAttributeDisplayDialogs)
{
    SchematicItem* wire = NewSchematicItem(record_);
    wire->itemKind = kItemWire;
    wire->x1 = 1;
    wire->y1 = 1;
    wire->x2 = 3;
    wire->y2 = 1;
    SetMarkRect(record_, 0, 0, 10, 5);
    InputScript script;
    script.Then([] { Click(102); })
        .Then([] { Type(104, "2"); })
        .Then([] { SaveScreen("step_box_dialog"); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    StepBoxCommand(record_);
    EXPECT_EQ(doc_->itemList.count, 9);

    InputScript display;
    display.Then([] { Click(201); }).Then([] { SaveScreen("attribute_display_dialog"); }).Then([] { Click(win::IDOK); });
    display.Install();
    AttributeDisplayCommand(record_);
    EXPECT_EQ(record_->undoKind, 12);
}

TEST_F(EditorDialogsTest, MirrorDialogAddsTheReflectionBelow)
{
    SchematicItem* wire = NewSchematicItem(record_);
    wire->itemKind = kItemWire;
    wire->x1 = 1;
    wire->y1 = 1;
    wire->x2 = 3;
    wire->y2 = 1;
    SetMarkRect(record_, 0, 0, 10, 5);
    InputScript mirror;
    mirror.Then([] { Click(101); }).Then([] { SaveScreen("mirror_box_dialog"); }).Then([] { Click(win::IDOK); });
    mirror.Install();
    MirrorBoxCommand(record_);
    ASSERT_EQ(doc_->itemList.count, 2);
    const auto* copy = static_cast<SchematicItem*>(doc_->itemList.tail);
    EXPECT_EQ(copy->y1, 9);
    EXPECT_EQ(record_->markRect.bottom, 10);
}

// --- the attribute dialog's naming rules and the labels of the editor's dialogs ----------------

void SelectLine(int line)
{
    win::SendMessage(win::GetDlgItem(win::GetActiveWindow(), 110), win::LB_SETCURSEL, static_cast<win::WPARAM>(line), 0);
    win::SendMessage(win::GetActiveWindow(), win::WM_COMMAND, win::MAKEWPARAM(110, win::LBN_SELCHANGE), 0);
}
// Every text the dialog in front shows on its controls.
std::vector<std::string> Labels()
{
    std::vector<std::string> out;
    for (win::HWND child = win::GetWindow(win::GetActiveWindow(), win::GW_CHILD); child;
         child = win::GetWindow(child, win::GW_HWNDNEXT))
        out.push_back(win::GetWindowText(child));
    return out;
}
bool Shows(const std::vector<std::string>& labels, const char* text)
{
    return std::find(labels.begin(), labels.end(), text) != labels.end();
}

TEST_F(EditorDialogsTest, AFreeAttributeNamedValueBecomesTheValueAttribute)
{
    ComponentDefinition definition;
    SchematicItem* item = PlacePart(definition, "RESISTOR", kComponentResistor, "R1");
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

TEST_F(EditorDialogsTest, ThePartLineCanNeitherBeDeletedNorRenamed)
{
    ComponentDefinition definition;
    SchematicItem* item = PlacePart(definition, "RESISTOR", kComponentResistor, "R7");
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
TEST_F(EditorDialogsTest, EditorDialogsShowTheirLabelsAsWorded)
{
    ComponentDefinition definition;
    SchematicItem* item = PlacePart(definition, "RESISTOR", kComponentResistor, "R1");
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

    readThenCancel();
    PlaceGridTextOrFlag(record_, 10, 20, false);
    for (const char* text : {"Direction", "Horizontal", "Vertical", "Both", "None", "Instances", "Pitch", "&Font...", "Color..."})
        EXPECT_TRUE(Shows(labels, text)) << text;
}

// A battery takes no model: the dialog shows only its left column, the model controls hidden.
TEST_F(EditorDialogsTest, AComponentWithoutModelsGetsANarrowDialog)
{
    ComponentDefinition resistorDefinition;
    SchematicItem* resistor = PlacePart(resistorDefinition, "RESISTOR", kComponentResistor, "R1");
    ComponentDefinition batteryDefinition;
    SchematicItem* battery = PlacePart(batteryDefinition, "BATTERY", kComponentBattery, "V1");

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
    first.Then([&] { measure(narrow); }).Then([] { SaveScreen("attribute_dialog_without_models"); }).Then([] {
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
