#include <gtest/gtest.h>

#include "ui/app_state.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"

namespace kq5 {
namespace {

win::HWND FakeWindow(std::uintptr_t n) { return reinterpret_cast<win::HWND>(n * 16); }

class WindowRecordTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAppStateForTests(); }
    void TearDown() override { ResetAppStateForTests(); }
};

TEST_F(WindowRecordTest, RecordsAttachToTheirWindowsAndGoAwayCleanly)
{
    WindowRecord* record = NewWindowRecord(FakeWindow(1), kWindowSchematic, true);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->document, nullptr);
    EXPECT_EQ(GetWindowRecord(FakeWindow(1)), record);
    EXPECT_EQ(WindowKindOf(FakeWindow(1)), kWindowSchematic);
    EXPECT_EQ(GetWindowRecord(nullptr), nullptr);
    EXPECT_TRUE(IsLiveWindowRecord(record));

    SetFrameRecord(record);
    const WindowRecord* old = record;
    FreeWindowRecord(record);
    EXPECT_EQ(record, nullptr);
    EXPECT_FALSE(IsLiveWindowRecord(old));
    EXPECT_EQ(GetWindowRecord(FakeWindow(1)), nullptr);
    EXPECT_EQ(FrameRecord(), nullptr);
    FreeWindowRecord(record);  // a null record is ignored
}

TEST_F(WindowRecordTest, TitlesAreFoundCaseBlindAmongWindowsOnly)
{
    WindowRecord* circuit = NewWindowRecord(FakeWindow(2), kWindowTextCircuit, true);
    SetRecordTitle(circuit, "/tmp/Amp.CIR");
    EXPECT_EQ(circuit->document->name, "/tmp/Amp.CIR");
    WindowRecord* owner = NewWindowRecord(nullptr, kWindowPlainDialog);
    SetRecordTitle(owner, "/tmp/other.cir");

    EXPECT_EQ(FindRecordByTitle("/TMP/amp.cir"), circuit);
    EXPECT_EQ(FindRecordByTitle("/tmp/other.cir"), nullptr);
    EXPECT_EQ(FindRecordByTitle("/tmp/amp.ci"), nullptr);
    EXPECT_EQ(GetRecordTitle(nullptr), "");
}

TEST_F(WindowRecordTest, EditorLineOfPosition)
{
    WindowRecord* record = NewWindowRecord(FakeWindow(3), kWindowTextCircuit, true);
    record->textArea = "R1 1 0 1k\nC1 1 0 1u\n.END\n";
    EXPECT_EQ(EditorLineOfPos(record, 0), 0);
    EXPECT_EQ(EditorLineOfPos(record, 10), 1);
    EXPECT_EQ(EditorLineOfPos(record, 1000), 3);
    record->textAreaCaret = 21;
    EXPECT_EQ(EditorLineOfPos(record, -1), 2);
    EXPECT_EQ(*GetTextAreaBuffer(record), record->textArea);
    EXPECT_EQ(GetTextAreaBuffer(nullptr), nullptr);
}

}  // namespace
}  // namespace kq5
