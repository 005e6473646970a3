#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "analog/analog_state.h"
#include "analog/statistics.h"
#include "ui/app_state.h"
#include "core/error_context.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "file_test_support.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_text_object.h"
#include "document/netlist_state.h"
#include "document/scope_table.h"
#include "platform/message_box.h"

namespace kq5 {
namespace {

win::HWND FakeWindow(std::uintptr_t n) { return reinterpret_cast<win::HWND>(n * 16); }

class MessageReporterTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        ResetAppStateForTests();
        ResetNetlistStateForTests();
        ResetAnalogStateForTests();
        win::ClearMessageBoxLog();
        frame_ = NewWindowRecord(FakeWindow(1), kWindowFrame);
        SetFrameRecord(frame_);
    }
    void TearDown() override
    {
        ResetAppStateForTests();
        ResetNetlistStateForTests();
        ResetAnalogStateForTests();
        win::ClearMessageBoxLog();
        ScratchDirTest::TearDown();
    }

    const win::MessageBoxEntry& LastBox()
    {
        EXPECT_FALSE(win::MessageBoxLog().empty());
        return win::MessageBoxLog().back();
    }

    void MakeScopes()
    {
        ASSERT_EQ(ResizeScopeTable(1), 0);
        FindScopeForEdit(0)->fileName = "main.cir";
        SetScopePart(1, "X1");
        FindScopeForEdit(1)->fileName = "amp.lib";
    }

    WindowRecord* frame_ = nullptr;
};

TEST_F(MessageReporterTest, ErrorHasCaptionStopIconBeepAndMarksTheBuild)
{
    EXPECT_EQ(ReportLineMessage(nullptr, 15002), win::IDOK);
    const auto& box = LastBox();
    EXPECT_EQ(box.caption, "Error 15002");
    EXPECT_EQ(box.text, "Insufficient memory.\n");
    EXPECT_EQ(box.type, 0x10u);
    EXPECT_EQ(box.owner, frame_->window);
    ASSERT_EQ(win::MessageBeepLog().size(), 1u);
    EXPECT_EQ(win::MessageBeepLog()[0], 0x10u);
    EXPECT_TRUE(CircuitBuildFailed());

    // With a scope table the scope's file follows.
    MakeScopes();
    ReportLineMessage(nullptr, 15002);
    EXPECT_EQ(LastBox().text, "Insufficient memory.\n\nFile:\tmain.cir");

    // No beep while the sound option is off.
    const std::size_t beeps = win::MessageBeepLog().size();
    Settings().operationalOptions &= ~kOptionSound;
    ReportMessage("E", 15002);
    EXPECT_EQ(win::MessageBeepLog().size(), beeps);
}

TEST_F(MessageReporterTest, PartLineNamesThePartWithItsScopePath)
{
    MakeScopes();
    SchematicItem inner;
    inner.scope = 1;
    SetAttribute(nullptr, &inner, kAttrPart, "R1");
    ReportMessage("WNE", frame_, &inner, 10842, "N5");
    EXPECT_EQ(LastBox().text, "Less than two connections at analog node N5.\n\nPart:\tX1.R1\nFile:\tamp.lib");

    SchematicItem top;
    SetAttribute(nullptr, &top, kAttrPart, "C3");
    ReportMessage("WNE", frame_, &top, 10842, "N1");
    EXPECT_EQ(LastBox().text, "Less than two connections at analog node N1.\n\nPart:\tC3\nFile:\tmain.cir");

    // A component without a PART attribute gets no Part line.
    SchematicItem unnamed;
    ReportMessage("NE", &unnamed, 10842, "N1");
    EXPECT_EQ(LastBox().text, "Less than two connections at analog node N1.\n\nFile:\tmain.cir");

    // Without a scope table neither the path nor the File line appears.
    FreeScopeTable();
    ReportMessage("WNE", frame_, &inner, 10842, "N5");
    EXPECT_EQ(LastBox().text, "Less than two connections at analog node N5.\n\nPart:\tR1");

    // A scope index outside the table shows no path and no file rather than reading past it.
    MakeScopes();
    inner.scope = 7;
    ReportMessage("WNE", frame_, &inner, 10842, "N5");
    EXPECT_EQ(LastBox().text, "Less than two connections at analog node N5.\n\nPart:\tR1");
}

TEST_F(MessageReporterTest, ContextTextsAreCutAtSixtyCharacters)
{
    const std::string sixty(60, 'a');
    ReportMessage("tE", sixty + "b", 10905);
    EXPECT_EQ(LastBox().text, "Unknown command.\n\nText:\t" + sixty + "...");
    ReportMessage("tE", sixty, 10905);
    EXPECT_EQ(LastBox().text, "Unknown command.\n\nText:\t" + sixty);

    // A text object gives the text and its scope.
    MakeScopes();
    CircuitTextObject line;
    line.text = ".TRAN 1n 10n";
    line.scope = 1;
    ReportMessage("WTE", frame_, &line, 10905);
    EXPECT_EQ(LastBox().text, "Unknown command.\n\nText:\t.TRAN 1n 10n\nFile:\tamp.lib");

    // M lines: label, tab, value cut at 60; at most ten of them.
    FreeScopeTable();
    ReportMessage("WMME", frame_, "Model", "Q1", "Value", sixty + "xyz", 10905);
    EXPECT_EQ(LastBox().text, "Unknown command.\n\nModel\tQ1\nValue\t" + sixty + "...");
    ReportMessage("MMMMMMMMMMME", "1", "a", "2", "b", "3", "c", "4", "d", "5", "e", "6", "f", "7", "g", "8", "h", "9", "i",
                  "10", "j", "11", "k", 10905);
    const std::string& body = LastBox().text;
    EXPECT_NE(body.find("\n10\tj"), std::string::npos);
    EXPECT_EQ(body.find("\n11\tk"), std::string::npos);
    EXPECT_EQ(LastBox().caption, "Error 10905");  // the id still found its letter
}

TEST_F(MessageReporterTest, SilentIdsShowNothing)
{
    const std::size_t records = WindowRecords().records.size();
    EXPECT_EQ(ReportMessage("E", 0), 0);
    EXPECT_EQ(ReportMessage("WE", frame_, 15055), 0);
    EXPECT_EQ(ReportMessage("DE", FakeWindow(9), 15056), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_FALSE(CircuitBuildFailed());
    EXPECT_EQ(WindowRecords().records.size(), records);
}

TEST_F(MessageReporterTest, WarningsNeitherPointAtThePartNorFailTheBuild)
{
    SchematicItem item;
    SetAttribute(nullptr, &item, kAttrPart, "U1");
    ReportMessage("WNE", frame_, &item, 15026);
    EXPECT_EQ(LastBox().caption, "Warning 15026");
    EXPECT_EQ(LastBox().type, 0x1030u);
    EXPECT_EQ(win::MessageBeepLog().back(), 0x10u);
    EXPECT_FALSE(CircuitBuildFailed());

    // A caption given by the caller decides too, without regard to case.
    ReportMessage("EB", 10905, "WARNING: check");
    EXPECT_EQ(LastBox().caption, "WARNING: check");
    EXPECT_FALSE(CircuitBuildFailed());

    ReportMessage("NE", &item, 10841);
    EXPECT_TRUE(CircuitBuildFailed());
}

TEST_F(MessageReporterTest, QuestionsTakeTheirStyleAndReturnTheButton)
{
    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_EQ(ReportMessage("SE", win::MB_YESNO | win::MB_ICONQUESTION, 13556, "amp.cir"), win::IDNO);
    EXPECT_EQ(LastBox().caption, "Kestrion V");
    EXPECT_EQ(LastBox().text, "Save changes in 'amp.cir'?\n");
    EXPECT_EQ(LastBox().type, win::MB_YESNO | win::MB_ICONQUESTION);
    // The default button answers when nothing is scripted.
    EXPECT_EQ(ReportMessage("SE", win::MB_YESNO | win::MB_DEFBUTTON2, 13626), win::IDNO);
    // A long caller caption is cut to 29 characters.
    ReportMessage("WESB", frame_, 13626, 0u, std::string(40, 'c'));
    EXPECT_EQ(LastBox().caption, std::string(29, 'c'));
}

TEST_F(MessageReporterTest, OwnerIsTheGivenWindowTheDialogOrTheFrame)
{
    WindowRecord* child = NewWindowRecord(FakeWindow(2), kWindowSchematic, true);
    ReportMessage("WE", child, 15002);
    EXPECT_EQ(LastBox().owner, child->window);

    // A dialog owns the box through a temporary record that leaves the dialog's own alone.
    WindowRecord* dialogRecord = NewWindowRecord(FakeWindow(3), kWindowPlainDialog);
    const std::size_t records = WindowRecords().records.size();
    ReportMessage("DE", FakeWindow(3), 15002);
    EXPECT_EQ(LastBox().owner, FakeWindow(3));
    EXPECT_EQ(GetWindowRecord(FakeWindow(3)), dialogRecord);
    EXPECT_EQ(WindowRecords().records.size(), records);

    // A record that no longer exists falls back to the frame.
    WindowRecord* gone = child;
    FreeWindowRecord(child);
    ReportMessage("WE", gone, 15002);
    EXPECT_EQ(LastBox().owner, frame_->window);
}

TEST_F(MessageReporterTest, BatchLogTakesTheMessageInsteadOfABox)
{
    WindowRecord* circuit = NewWindowRecord(FakeWindow(4), kWindowSchematic, true);
    circuit->document->name = "amp.cir";
    const int unit = CreateScratchUnit("errors.log");
    Analog().batchErrorLogUnit = unit;
    // The statistics file fills the log's writer when it opens the log; this test opens its unit.
    MessageLog().logBatchError = LogBatchError;
    MakeScopes();
    SchematicItem item;
    SetAttribute(nullptr, &item, kAttrPart, "R7");
    EXPECT_EQ(ReportMessage("WNE", circuit, &item, 10842, "N2"), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_TRUE(win::MessageBeepLog().empty());
    EXPECT_TRUE(CircuitBuildFailed());
    ASSERT_EQ(CloseUnit(unit), 0);
    EXPECT_EQ(ReadText("errors.log"),
              "Error 10842 amp.cir\n\tLess than two connections at analog node N2.\n\tPart:\tR7\n\tFile:\tmain.cir\n");

    // Once the log is closed boxes come back.
    ReportMessage("E", 15002);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
}

TEST_F(MessageReporterTest, LoadMessageTextForms)
{
    EXPECT_EQ(LoadMessageText(15002), "Error(15002)...Insufficient memory.");
    EXPECT_EQ(LoadMessageText(15026), "Warning(15026)...Circuit contains illegal coordinates.");
    EXPECT_EQ(LoadMessageText(5351), "Kestrion V");
    EXPECT_EQ(LoadMessageText(3), "");
    EXPECT_EQ(LoadResString(15002), "%EInsufficient memory.");

    // A text in that form carries its own id back through the reporter.
    ReportMessage("F", "%s", LoadMessageText(15026));
    EXPECT_EQ(LastBox().caption, "Warning 15026");
    EXPECT_EQ(LastBox().text, "Circuit contains illegal coordinates.\n");
}

TEST_F(MessageReporterTest, UserTextWithPercentSignsIsNeverFormattedAgain)
{
    const std::string name = "run%s_%d%n%%.cir";
    SetErrorContext(name);
    ReportMessage("E", 15007);
    EXPECT_EQ(LastBox().text, "Error in loading file " + name + ".\n");
    EXPECT_TRUE(PendingErrors().first.empty());

    ReportMessage("tE", name, 10905);
    EXPECT_EQ(LastBox().text, "Unknown command.\n\nText:\t" + name);
    ReportMessage("E", 15022, name);
    EXPECT_EQ(LastBox().text, "File not found '" + name + "'.\n");
    ReportMessage("F", "Cannot read %s", name);
    EXPECT_EQ(LastBox().text, "Cannot read " + name + "\n");
    ReportMessage("MME", "File", name, "Line", "12%s", 10905);
    EXPECT_EQ(LastBox().text, "Unknown command.\n\nFile\t" + name + "\nLine\t12%s");

    // A pending text shown as it stands.
    SetPendingErrorText("50% done %s");
    ReportMessage("E", 15060);
    EXPECT_EQ(LastBox().text, "50% done %s\n");
    EXPECT_EQ(LastBox().caption, "Kestrion V");
}

TEST_F(MessageReporterTest, PendingContextAndRuntimeErrors)
{
    // The caller's own argument wins over a context left over from an earlier open.
    SetErrorContext("stale.lib");
    ReportMessage("E", 15015, "OA1");
    EXPECT_EQ(LastBox().text, "The OPAMP 'OA1', has a negative value for C2.\n");
    EXPECT_TRUE(PendingErrors().first.empty());
    // Nothing pending and nothing given: an empty name, not a crash.
    ReportMessage("E", 15007);
    EXPECT_EQ(LastBox().text, "Error in loading file .\n");

    ReportMessage("E", 16002);
    EXPECT_EQ(LastBox().caption, "Error 16002");
    EXPECT_EQ(LastBox().text, std::string(std::strerror(2)) + "\n");
    SetErrorContext("out.tno");
    EXPECT_EQ(ComposeErrorText(16001), std::string("Error(16001) ") + std::strerror(1) + " out.tno");

    // A math fault is set aside as an error text and shown with its own id.
    SetPendingErrorTextFmt(15003, "overflow");
    EXPECT_EQ(PendingErrors().first, "Error(15003)...Floating point 'overflow'.");
    ReportMessage("E", 15060);
    EXPECT_EQ(LastBox().caption, "Error 15003");
    EXPECT_EQ(LastBox().text, "Floating point 'overflow'.\n");
    EXPECT_TRUE(PendingErrors().first.empty());
}

TEST_F(MessageReporterTest, WrongOrMissingArgumentsDoNotCrash)
{
    ReportMessage("E", 10402);
    EXPECT_EQ(LastBox().text, "Unknown identifier '' in ''.\n");
    ReportMessage("E", 10402, 42, 3.5);
    EXPECT_EQ(LastBox().text, "Unknown identifier '' in ''.\n");
    // Letters whose argument has the wrong type take nothing from it.
    ReportMessage("WNTE", 5, "x", 7, 15002);
    EXPECT_EQ(LastBox().text, "Insufficient memory.\n");
    EXPECT_EQ(LastBox().owner, frame_->window);
    // A spec whose letters outnumber the arguments.
    ReportMessage("WLMMNTtBSE", frame_);
    EXPECT_EQ(LastBox().caption, "Kestrion V");
    ReportMessage(nullptr);
}

TEST_F(MessageReporterTest, LongTextsAreCut)
{
    ReportMessage("F", "%s", std::string(3000, 'x'));
    EXPECT_EQ(LastBox().text.size(), kMessageBodyMax);
    ReportMessage("tE", std::string(3000, 'y'), 10905);
    EXPECT_LE(LastBox().text.size(), kMessageBodyMax);
}

TEST(MessageFormatTest, ConversionsFollowTheirArgumentsTypes)
{
    auto f = [](const char* format, auto... args) {
        const MessageArgs packed = MakeMessageArgs(args...);
        return FormatMessageArgs(format, packed);
    };
    EXPECT_EQ(f("%d|%5.2f|%-4s|%.3s|%%|%c", 12, 3.14159, "ab", "abcdef", 'Z'), "12| 3.14|ab  |abc|%|Z");
    EXPECT_EQ(f("%ld %lu %g %e", 7L, 9UL, 0.5f, 1e10), "7 9 0.5 1.000000e+10");
    EXPECT_EQ(f("%d %g", 2.9, 3), "2 3");
    EXPECT_EQ(f("%x %X %o", -1, 255u, 8), "ffffffff FF 10");
    EXPECT_EQ(f("%*d|%-*d|", 4, 1, 3, 2), "   1|2  |");
    EXPECT_EQ(f("%s %d %s", nullptr, "text", 5), " 0 ");
    EXPECT_EQ(f("%y %"), "%y %");
    EXPECT_LE(f("%99999999d", 1).size(), 2001u);
    EXPECT_EQ(f("%EText %s", "a"), "0.000000E+00Text ");  // a marker is no conversion of its own
    EXPECT_EQ(FormatMarkedText("%EText %s", MakeMessageArgs("a")), "%EText a");
    EXPECT_EQ(FormatMarkedText("%W%d%%", MakeMessageArgs(5)), "%W5%");
}

}  // namespace
}  // namespace kq5
