// The demo player on the started program: documents saved aside and restored, labels, GOTO,
// CALL with its argument, the keys the user may press, and damaged scripts that must stop
// cleanly with the documents back.
#include <cstdlib>
#include <iterator>

#include "demo_test_support.h"
#include "app/command_routing.h"
#include "app/info_dialogs.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/file_names.h"
#include "document/text_area.h"
#include "document/schematic_item.h"
#include "platform/headless.h"
#include "../platform/control_test_support.h"
#include "../app/screen_capture_support.h"
#include "platform/window.h"
#include "schematic/circuit_window.h"
#include "document/editor_services.h"

namespace kq5::testing {
namespace {

std::vector<WindowRecord*> Documents()
{
    std::vector<WindowRecord*> out;
    for (const auto& record : WindowRecords().records)
        if ((record->kind == kWindowSchematic || record->kind == kWindowTextCircuit) && record->window) out.push_back(record.get());
    return out;
}

WindowRecord* DocumentTitled(const std::string& title)
{
    for (WindowRecord* record : Documents())
        if (GetRecordTitle(record) == title) return record;
    return nullptr;
}

class DemoPlayer : public DemoTest {
protected:
    // The user's work: a schematic with a part, saved and then changed again, and a text circuit.
    void OpenUserDocuments()
    {
        WindowRecord* schematic = StartWithSchematic();
        ASSERT_NE(schematic, nullptr);
        ChooseComponentByName("Resistor");
        win::POINT p = GridToPaneClient(schematic, 12, 8, schematic->document->currentPane);
        win::ClientToScreen(schematic->window, &p);
        win::headless::Click(p.x, p.y);
        PumpFrameMessages();
        ASSERT_EQ(schematic->document->itemList.count, 1);
        schematicPath_ = (dir_ / "user.cir").string();
        ASSERT_EQ(WriteCircuitFile(schematic, schematicPath_, 0), 0);
        schematic->modified = 1;
        textPath_ = (dir_ / "user.ckt").string();
        std::ofstream(textPath_) << "* user netlist\nR1 1 0 1K\nV1 1 0 5\n.END\n";
        ASSERT_EQ(OpenFileOfKind(textPath_, kFileKindTextCircuit), 0);
        PumpFrameMessages();
        ASSERT_EQ(Documents().size(), 2u);
        userText_ = CopyTextAreaText(DocumentTitled(textPath_)).value_or("?");
    }
    // Both documents are back as they were: titles, kinds, flags and the very bytes they save as.
    void ExpectUserDocumentsBack()
    {
        ASSERT_EQ(Documents().size(), 2u);
        WindowRecord* schematic = DocumentTitled(schematicPath_);
        WindowRecord* text = DocumentTitled(textPath_);
        ASSERT_NE(schematic, nullptr);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(schematic->kind, kWindowSchematic);
        EXPECT_EQ(text->kind, kWindowTextCircuit);
        EXPECT_EQ(schematic->modified, 1);
        EXPECT_FALSE(schematic->untitled);
        // Their windows are captioned with the user's files, not the copies they came back from.
        EXPECT_EQ(win::GetWindowText(schematic->window), schematicPath_);
        EXPECT_EQ(win::GetWindowText(text->window), textPath_);
        const std::string before = ReadBytes(schematicPath_);
        const std::string again = (dir_ / "again.cir").string();
        ASSERT_EQ(WriteCircuitFile(schematic, again, kWriteQuietly), 0);
        schematic->modified = 1;  // still the user's unsaved work for the next round
        EXPECT_EQ(ReadBytes(again), before);
        EXPECT_EQ(CopyTextAreaText(text).value_or(""), userText_);
        EXPECT_FALSE(DemoPlaying());
        EXPECT_FALSE(Settings().demoRunning);
    }

    std::string schematicPath_;
    std::string textPath_;
    std::string userText_;
};

TEST_F(DemoPlayer, AScriptThatOnlyEndsPutsTheDocumentsBack)
{
    OpenUserDocuments();
    UseScript("END\n");
    PlayDemo(-1);
    for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;
    ASSERT_TRUE(DemoPlaying());
    // Saved aside in a directory of its own and closed.
    const std::string aside = DemoSaveDirectory();
    ASSERT_FALSE(aside.empty());
    EXPECT_TRUE(std::filesystem::is_directory(aside));
    EXPECT_TRUE(Documents().empty());
    EXPECT_TRUE(Settings().demoRunning);
    ASSERT_TRUE(PlayToEnd());
    ExpectUserDocumentsBack();
    EXPECT_FALSE(std::filesystem::exists(aside));
}

TEST_F(DemoPlayer, LabelsGotoAndCallWithItsArgument)
{
    Start();
    UseScript(
        "GOTO always 0\n"
        "LABEL 50\n"
        "SAY always \"$1\"\n"
        "SAY always \"$2 stays\"\n"
        "RETURN\n"
        "LABEL 0\n"
        "SAY always \"zero\"\n"
        "CALL 50 \"typed argument\"\n"
        "SAY always \"after the call\"\n"
        "GOTO not always 999\n"
        "SAY always \"no jump\"\n"
        "GOTO always 999\n"
        "LABEL 4\n"
        "SAY always \"four\"\n"
        "SAY always \"$1\"\n"
        "GOTO always 999\n"
        "LABEL 999\n"
        "END\n");
    PlayDemo(-1);
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"zero", "typed argument", "$2 stays", "after the call", "no jump"}));
    for (const auto& box : win::MessageBoxLog()) EXPECT_EQ(box.caption, "Kestrion V Demo");

    // Starting at label 4 skips everything before it; outside a call $1 stays as it is.
    win::ClearMessageBoxLog();
    PlayDemo(4);
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"four", "$1"}));

    // A demo started by its Help menu command.
    win::ClearMessageBoxLog();
    win::SendMessage(FrameWindow(), win::WM_COMMAND, kCmdFirstDemo + 4, 0);
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"four", "$1"}));
}

TEST_F(DemoPlayer, UnlessClicksTheControlAndRunsTheStepAgain)
{
    Start();
    UseScript(
        "FAST 1\n"
        "STEP 40\n"
        "COMMAND 17312\n"
        "UNLESS 10 TYPE \"1+2\"\n"
        "UNLESS 10 TYPE \"typed again\"\n"
        "WAIT -100\n"
        "END\n");
    // Each UNLESS whose text the field does not show clicks the field and types its text.
    PlayDemo(-1);
    PlayToEnd(5000);
    ASSERT_NE(CalculatorWindow(), nullptr);
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(CalculatorWindow(), kCalculatorExpression)), "typed again");

    UseScript(
        "FAST 1\n"
        "STEP 40\n"
        "COMMAND 17312\n"
        "UNLESS 10 TYPE \"1+2\"\n"
        "UNLESS 10 TYPE \"1+2\"\n"
        "SAY always \"done\"\n"
        "WAIT -100\n"
        "END\n");
    PlayDemo(-1);
    PlayToEnd(5000);
    ASSERT_TRUE(DemoPlaying());
    ASSERT_NE(CalculatorWindow(), nullptr);
    EXPECT_EQ(win::GetWindowText(win::GetDlgItem(CalculatorWindow(), kCalculatorExpression)), "1+2");
    EXPECT_EQ(BoxTexts().back(), "done");
    // The end of the demo closes the dialog it left open.
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(CalculatorWindow(), nullptr);
}

TEST_F(DemoPlayer, PPausesEnterResumesEscStops)
{
    OpenUserDocuments();
    UseScript(
        "SAY always \"1\"\n"
        "WAIT 20\n"
        "SAY always \"2\"\n"
        "WAIT 20\n"
        "SAY always \"3\"\n"
        "WAIT 20\n"
        "SAY always \"4\"\n"
        "WAIT 100\n"
        "WAIT 100\n"
        "WAIT 100\n"
        "SAY always \"never\"\n"
        "END\n");
    PlayDemo(-1);
    PlayToEnd(1000);
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{"1"});
    win::headless::PressKey('P');
    PlayToEnd(20000);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"1"}) << "paused";
    win::headless::PressKey(win::VK_RETURN);
    PlayToEnd(10000);
    EXPECT_GE(BoxTexts().size(), 3u) << "resumed";
    // A tap of Esc, already let go when the player next looks, still stops the demo.
    win::headless::PressKey(win::VK_ESCAPE);
    ASSERT_TRUE(PlayToEnd(20000));
    for (const std::string& text : BoxTexts()) EXPECT_NE(text, "never");
    ExpectUserDocumentsBack();
}

// On a real display the demo's boxes wait for the user: playback lets go of the input while one
// is up, the script does not go on behind it, and Esc answering a box stops the demo.
TEST_F(DemoPlayer, BoxesWaitForTheUserAndEscOnOneStopsTheDemo)
{
    OpenUserDocuments();
    UseScript(
        "SAY always \"first\"\n"
        "COMMAND 17312\n"
        "SAY always \"second\"\n"
        "WAIT 100\n"
        "SAY always \"never\"\n"
        "END\n");
    win::SetMessageBoxesShownHeadless(true);
    bool calculatorBehindFirst = true, calculatorBehindSecond = false;
    win::testing::InputScript user;
    user.Then([&] {
        // A minute with the box up: nothing of the script happens behind it.
        win::testing::SkipTime(60000);
    }).Then([&] {
        calculatorBehindFirst = CalculatorWindow() != nullptr;
        win::headless::PressKey(win::VK_RETURN);
    }).Then([&] {
        calculatorBehindSecond = CalculatorWindow() != nullptr;
        SaveScreen("demo_box_waiting");
        win::headless::PressKey(win::VK_ESCAPE);
    });
    user.Install();
    PlayDemo(-1);
    ASSERT_TRUE(PlayToEnd(60000));
    EXPECT_TRUE(user.Done());
    EXPECT_FALSE(calculatorBehindFirst);
    EXPECT_TRUE(calculatorBehindSecond);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(CalculatorWindow(), nullptr);
    ExpectUserDocumentsBack();
}

// Scripts damaged in every way the format allows stop without reading past their bytes, and
// the documents come back.
TEST_F(DemoPlayer, DamagedScriptsStopCleanly)
{
    OpenUserDocuments();
    const std::vector<std::vector<std::uint8_t>> damaged = {
        {0xFF, 0xFF, 100},                       // a negative count
        {0x05, 0x00, 12, 1, 'a', 'b', 'c'},      // a text without its NUL
        {0x03, 0x00, 77, 0, 0},                  // an opcode the player does not know
        {0x03, 0x00, 15, 1, 0},                  // no END: the script just stops
        {0x40, 0x00, 15, 1, 0},                  // a count past the file's end
        {0x02, 0x00, 44, 9},                     // a CALL cut short
        {0x01, 0x00, 45},                        // RETURN with no CALL
        {0x04, 0x00, 41, 1, 9, 0},               // GOTO a label that is not there
        {0x05, 0x00, 8, 10, 0, 34, 'x'},         // UNLESS whose text has no NUL
        {0x06, 0x00, 44, 0, 0, 0, 42, 0},        // CALL into itself: 30 frames, then no END
        {},                                      // an empty file
    };
    int n = 0;
    for (const auto& bytes : damaged) {
        SCOPED_TRACE(n++);
        UseBytes(bytes);
        PlayDemo(-1);
        ASSERT_TRUE(PlayToEnd(600000));
        ExpectUserDocumentsBack();
    }
    // A missing script is reported; the documents come back.
    win::ClearMessageBoxLog();
    SetDemoScriptPathForTests((dir_ / "missing.kq5").string());
    PlayDemo(-1);
    ASSERT_TRUE(PlayToEnd());
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().front().text.find("No such file"), std::string::npos) << win::MessageBoxLog().front().text;
    ExpectUserDocumentsBack();
}

// Documents that cannot be saved aside are not closed, and no demo starts.
TEST_F(DemoPlayer, NoPlaceToSaveAsideMeansNoDemo)
{
    OpenUserDocuments();
    UseScript("SAY always \"played\"\nEND\n");
    const char* old = std::getenv("TMPDIR");
    const std::string keep = old ? old : "";
    ::setenv("TMPDIR", (dir_ / "not-there").c_str(), 1);
    win::ClearMessageBoxLog();
    PlayDemo(-1);
    if (old) ::setenv("TMPDIR", keep.c_str(), 1); else ::unsetenv("TMPDIR");
    EXPECT_FALSE(DemoPlaying());
    EXPECT_FALSE(Settings().demoRunning);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
    PumpFrameMessages();
    EXPECT_EQ(Documents().size(), 2u);
    EXPECT_EQ(DocumentTitled(schematicPath_)->modified, 1);
}

}  // namespace
}  // namespace kq5::testing
