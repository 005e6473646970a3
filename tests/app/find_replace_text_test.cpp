// Find, Repeat Last Find, Replace and Replace All in a text window, through the functions and
// through their dialogs; and Find in a schematic.
#include "text_editor_test_support.h"
#include "document/node_flags.h"
#include "document/editor_services.h"
#include "../platform/control_test_support.h"
#include "ui/dialog_services.h"
#include "core/linked_list.h"
#include "document/component_attributes.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/winhelp.h"
#include "document/component_types.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include "document/component_definition.h"

namespace kq5::testing {
namespace {

using FindText = EditorTest;
using win::testing::InputScript;

std::int32_t Search(WindowRecord* record, bool replace = false, bool* wrappedOut = nullptr)
{
    bool wrapped = false;
    const std::int32_t found = SearchTextFromCaret(record, wrapped, true, replace);
    if (wrappedOut) *wrappedOut = wrapped;
    return found;
}

std::size_t NoItemsFoundShown()
{
    std::size_t count = 0;
    for (const auto& box : win::MessageBoxLog())
        if (box.text.find("No items found.") != std::string::npos) ++count;
    return count;
}

TEST_F(FindText, MatchesIgnoreCaseAndLieInsideWordsOneAfterTheOther)
{
    SetText("r10 1 0 1k\r\nR1 2 0 2k");
    SetEditorSelection(editor_, 0, 0);
    FindReplace().findWhat = "R1";
    bool wrapped = true;
    EXPECT_EQ(Search(record_, false, &wrapped), 0);
    EXPECT_FALSE(wrapped);
    EXPECT_EQ(Selection(), std::make_pair(0, 2));
    EXPECT_EQ(Search(record_, false, &wrapped), 12);
    EXPECT_EQ(Selection(), std::make_pair(12, 14));
    // Past the last match the search starts over from the top.
    EXPECT_EQ(Search(record_, false, &wrapped), 0);
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(NoItemsFoundShown(), 0u);
}

TEST_F(FindText, AMatchAtOffsetTwoIsAMatch)
{
    SetText("abR1");
    SetEditorSelection(editor_, 0, 0);
    FindReplace().findWhat = "r1";
    EXPECT_EQ(Search(record_), 2);
    EXPECT_EQ(Selection(), std::make_pair(2, 4));
    EXPECT_EQ(NoItemsFoundShown(), 0u);
}

TEST_F(FindText, NothingFoundSaysSoAndLeavesTheCaret)
{
    SetText("R1 1 0 1k");
    SetEditorSelection(editor_, 3, 3);
    FindReplace().findWhat = "C9";
    EXPECT_EQ(Search(record_), kSearchNotFound);
    EXPECT_EQ(NoItemsFoundShown(), 1u);
    EXPECT_EQ(Caret(), 3);
}

TEST_F(FindText, ReplaceGoesOnAfterTheInsertedText)
{
    SetText("R x R");
    SetEditorSelection(editor_, 0, 0);
    FindReplace().findWhat = "R";
    FindReplace().replaceWith = "RR";
    EXPECT_EQ(Search(record_, true), 0);  // nothing selected matched: only found
    EXPECT_EQ(Text(), "R x R");
    EXPECT_EQ(Search(record_, true), 5);  // replaced, then the next one after "RR"
    EXPECT_EQ(Text(), "RR x R");
    EXPECT_EQ(Selection(), std::make_pair(5, 6));
    EXPECT_EQ(Search(record_, true, nullptr), 0);
    EXPECT_EQ(Text(), "RR x RR");
    EXPECT_EQ(record_->modified, 1);
}

TEST_F(FindText, ReplaceAllEndsAndCountsOnceEachOccurrence)
{
    SetText("R1 1 0 1k\r\nr2 1 0 2k");
    FindReplace().findWhat = "R";
    FindReplace().replaceWith = "RR";
    EXPECT_EQ(ReplaceAllInText(record_), 2);
    EXPECT_EQ(Text(), "RR1 1 0 1k\r\nRR2 1 0 2k");
    EXPECT_EQ(record_->modified, 1);
    FindReplace().findWhat = "1 0";
    FindReplace().replaceWith = "";
    EXPECT_EQ(ReplaceAllInText(record_), 2);
    EXPECT_EQ(Text(), "RR1  1k\r\nRR2  2k");
    // A text without the word changes nothing and says so.
    FindReplace().findWhat = "XYZ";
    EXPECT_EQ(ReplaceAllInText(record_), 0);
    EXPECT_EQ(Text(), "RR1  1k\r\nRR2  2k");
    EXPECT_EQ(NoItemsFoundShown(), 1u);
}

void TypeInto(int id, const std::string& text)
{
    win::HWND field = win::GetDlgItem(CurrentDialog(), id);
    win::SetFocus(field);
    win::SendMessage(field, win::EM_SETSEL, 0, -1);
    win::headless::TypeText(text);
}

void Press(int id) { win::SendMessage(CurrentDialog(), win::WM_COMMAND, static_cast<win::WPARAM>(id), 0); }

TEST_F(FindText, TheFindDialogStartsFromTheSelectionAndRepeatNeedsNoDialog)
{
    SetText("V1 1 0 5\r\nR1 1 2 1k\r\nR2 2 0 1k");
    SetEditorSelection(editor_, 10, 12);  // "R1"
    std::string preset;
    InputScript script;
    script.Then([&] { preset = win::GetDlgItemText(CurrentDialog(), kFindWhatField); })
        .Then([] { TypeInto(kFindWhatField, "1k"); })
        .Then([] { Press(win::IDOK); });
    script.Install();
    FindCommand(record_, false);
    EXPECT_EQ(preset, "R1");
    EXPECT_EQ(Selection(), std::make_pair(17, 19));
    FindCommand(record_, true);
    EXPECT_EQ(Selection(), std::make_pair(28, 30));
}

TEST_F(FindText, TheReplaceDialogReplacesAllAndEnablesItsButtonsByTheFindText)
{
    SetText("R1 1 2 1k\r\nR2 2 0 1k");
    bool enabledWhenEmpty = true;
    bool enabledWithText = false;
    InputScript script;
    script.Then([] { TypeInto(kFindWhatField, ""); })
        .Then([&] { enabledWhenEmpty = win::IsWindowEnabled(win::GetDlgItem(CurrentDialog(), kFindNextButton)); })
        .Then([] { TypeInto(kFindWhatField, "1k"); })
        .Then([] { TypeInto(kReplaceWithField, "2.2k"); })
        .Then([&] { enabledWithText = win::IsWindowEnabled(win::GetDlgItem(CurrentDialog(), kReplaceButton)); })
        .Then([] { Press(kReplaceAllButton); })
        .Then([] { Press(kReplaceCloseButton); });
    script.Install();
    ReplaceInTextWindow(record_);
    EXPECT_FALSE(enabledWhenEmpty);
    EXPECT_TRUE(enabledWithText);
    EXPECT_EQ(Text(), "R1 1 2 2.2k\r\nR2 2 0 2.2k");
    EXPECT_EQ(FindReplace().replaceWith, "2.2k");
}

// --- schematics --------------------------------------------------------------------------------

class FindSchematic : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        schematicWindow_ = CreateMdiChild(kSchematicClassName, "drawn.cir", kWindowSchematic);
        ASSERT_NE(schematicWindow_, nullptr);
        schematic_ = GetWindowRecord(schematicWindow_);
        resistor_.name = "Resistor";
        capacitor_.name = "Capacitor";
    }
    void TearDown() override
    {
        if (win::IsWindow(schematicWindow_)) win::DestroyWindow(schematicWindow_);
        EditorTest::TearDown();
    }
    SchematicItem* Part(ComponentDefinition& definition, int x)
    {
        SchematicItem* item = NewSchematicItem(schematic_);
        item->definition = &definition;
        item->x1 = x;
        return item;
    }
    void Ask(int kind, const std::string& text)
    {
        InputScript script;
        script.Then([kind] { win::CheckRadioButton(CurrentDialog(), kSearchComponentType, kSearchNodeName, kind); })
            .Then([text] { TypeInto(kFindWhatField, text); })
            .Then([] { Press(win::IDOK); });
        script.Install();
        EXPECT_EQ(FindInSchematic(schematic_, false), 0);
    }
    static bool Selected(const SchematicItem* item) { return (item->selection & kSelected) != 0; }

    win::HWND schematicWindow_ = nullptr;
    WindowRecord* schematic_ = nullptr;
    ComponentDefinition resistor_;
    ComponentDefinition capacitor_;
};

TEST_F(FindSchematic, ComponentTypesAreFoundOnePerPressAndRoundAgain)
{
    SchematicItem* r1 = Part(resistor_, 10);
    SchematicItem* c1 = Part(capacitor_, 20);
    SchematicItem* r2 = Part(resistor_, 30);
    Ask(kSearchComponentType, "sis");
    EXPECT_TRUE(Selected(r1));
    FindInSchematic(schematic_, true);
    EXPECT_TRUE(Selected(r2));
    EXPECT_FALSE(Selected(r1));
    EXPECT_FALSE(Selected(c1));
    FindInSchematic(schematic_, true);
    EXPECT_TRUE(Selected(r1));
    // The item the next search would start at is deleted: the search starts at the head again.
    ListRemove(schematic_->document->itemList, c1);
    FindInSchematic(schematic_, true);
    EXPECT_TRUE(Selected(r1));
}

TEST_F(FindSchematic, AttributeTextsAndGridTextsAndNothingFound)
{
    SchematicItem* r1 = Part(resistor_, 10);
    SetAttribute(schematic_, r1, AttributeKey{kAttrValue}, "4.7k");
    GridText* text = NewGridText(schematic_);
    text->text = ".TRAN 1n 100n";
    Ask(kSearchAttributeText, "4.7");
    EXPECT_TRUE(Selected(r1));
    Ask(kSearchGridText, "tran");
    EXPECT_TRUE((text->selection & kSelected) != 0);
    Ask(kSearchComponentType, "Inductor");
    EXPECT_EQ(NoItemsFoundShown(), 1u);
    // Cancel ends without searching.
    InputScript cancel;
    cancel.Then([] { Press(win::IDCANCEL); });
    cancel.Install();
    EXPECT_EQ(FindInSchematic(schematic_, false), 2);
}

TEST_F(FindSchematic, NodeNamesAreFoundInAnyCaseAndNodeNumbersByTheirDigits)
{
    // A resistor whose right pin meets a wire that ends at the label.
    ComponentDefinition twoPins;
    twoPins.name = "Resistor";
    twoPins.type = static_cast<std::uint16_t>(kComponentResistor);
    twoPins.pins.resize(2);
    twoPins.pins[1].dx = 4;
    SchematicItem* r1 = Part(twoPins, 6);
    r1->itemKind = kItemComponent;
    r1->y1 = 10;
    SchematicItem* wire = NewSchematicItem(schematic_);
    wire->itemKind = kItemWire;
    wire->x1 = 10;
    wire->y1 = 10;
    wire->x2 = 20;
    wire->y2 = 10;
    GridText* label = NewGridText(schematic_);
    label->text = "Out";
    label->x = 20;
    label->y = 10;
    UpdateNodeLabelFlag(*label);
    MarkNetlistStale(schematic_);
    Ask(kSearchNodeName, "oUT");
    EXPECT_TRUE((label->selection & kSelected) != 0);
    EXPECT_EQ(NoItemsFoundShown(), 0u);
    ASSERT_GE(label->number, 0);
    // A node's number typed as digits is a node name too.
    Ask(kSearchNodeName, std::to_string(label->number));
    EXPECT_EQ(NoItemsFoundShown(), 0u);
    Ask(kSearchNodeName, "IN");
    EXPECT_EQ(NoItemsFoundShown(), 1u);
}

TEST_F(FindSchematic, HelpClicksShowTheSyntaxOfThePartOrOfTheDotCommand)
{
    win::ResetHelpStateForTests();
    resistor_.type = kComponentResistor;
    SchematicItem* r1 = Part(resistor_, 10);
    ShowComponentSyntaxHelp(schematic_, r1);
    ASSERT_FALSE(win::Help().requests.empty());
    EXPECT_EQ(win::Help().requests.back().data, static_cast<win::ULONG_PTR>(6000 + kComponentResistor));
    GridText* text = NewGridText(schematic_);
    text->text = ".DEFINE RLOAD 1k";
    const std::size_t before = win::Help().requests.size();
    ShowComponentSyntaxHelp(schematic_, text);
    ASSERT_EQ(win::Help().requests.size(), before + 1);
    EXPECT_EQ(win::Help().requests.back().data, 7020u);
}

TEST_F(FindSchematic, InfoClicksOpenTheFileBehindASourceAndIncludedFiles)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kq5-info-click-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "stim.USR", std::ios::binary) << "USR\r\nVersion=1\r\n";
    std::ofstream(dir / "parts.lib", std::ios::binary) << "* parts\r\n";
    SetRecordTitle(schematic_, (dir / "drawn.cir").string());
    ComponentDefinition user;
    user.name = "User Source";
    user.type = kComponentUserSource;
    SchematicItem* source = Part(user, 10);
    SetAttribute(schematic_, source, AttributeKey{kAttrFile}, "\"stim\"");
    ShowComponentInfo(schematic_, source);
    WindowRecord* opened = FindRecordByTitle((dir / "stim.USR").string());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->kind, kWindowTextCircuit);
    GridText* include = NewGridText(schematic_);
    include->text = ".INC \"parts.lib\"";
    ShowComponentInfo(schematic_, include);
    EXPECT_NE(FindRecordByTitle((dir / "parts.lib").string()), nullptr);
    std::filesystem::remove_all(dir);
}

TEST_F(FindText, InfoOnAStatementOpensTheLibraryAtItsDefinition)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kq5-info-library-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "NOM.LIB", std::ios::binary) << "* library\r\n.MODEL DFAST D (IS=1E-14)\r\n* amplifier\r\n"
                                                         ".SUBCKT AMP 1 2 3\r\nR1 1 3 1K\r\n.ENDS\r\n";
    ::setenv("KQ5DATA", dir.c_str(), 1);
    // The library is looked up in the working directory first: the test's own, not the one
    // the suite runs in (which may hold the program's library).
    const std::string working = Settings().workingDirectory;
    Settings().workingDirectory = dir.string() + "/";
    ResetLibraryStateForTests();
    ResetModelStateForTests();
    SetText("amp\r\nX1 IN OUT 0 AMP\r\n.MODEL DFAST D(IS=1E-15)\r\n");
    record_->mode = 17578;  // Info
    win::POINT call = CellPoint(1, 1);
    win::ClientToScreen(editor_, &call);
    win::headless::DoubleClick(call.x, call.y);
    Pump();
    WindowRecord* library = FindRecordByTitle((dir / "NOM.LIB").string());
    ASSERT_NE(library, nullptr);
    win::HWND libraryEditor = library->document->textAreaWindow;
    std::int32_t start = -1;
    GetEditorSelection(libraryEditor, &start, nullptr);
    EXPECT_EQ(EditorLineOfPos(libraryEditor, start), 3);  // the .SUBCKT line
    win::DestroyWindow(library->window);

    ShowEditorStatementInfo(record_, 2);
    library = FindRecordByTitle((dir / "NOM.LIB").string());
    ASSERT_NE(library, nullptr);
    GetEditorSelection(library->document->textAreaWindow, &start, nullptr);
    EXPECT_EQ(EditorLineOfPos(library->document->textAreaWindow, start), 1);  // the library's .MODEL line
    win::DestroyWindow(library->window);
    ResetLibraryStateForTests();
    ResetModelStateForTests();
    ::unsetenv("KQ5DATA");
    Settings().workingDirectory = working;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kq5::testing
