// Logical lines, the source stack and the text pass.
#include <string>

#include "core/file_units.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class LogicalLineTest : public SpiceTest {
protected:
    // Opens the text as a file unit and reads its logical lines.
    std::vector<std::string> FileLines(const std::string& text, unsigned flags = 0)
    {
        WriteFile("lines.txt", text);
        const int unit = FindFreeUnit();
        EXPECT_EQ(OpenUnit(PathOf("lines.txt"), unit), 0);
        std::vector<std::string> lines;
        std::string line;
        while (SourceHasMoreLines(unit)) {
            EXPECT_EQ(ReadLogicalLine(unit, line, flags), 0);
            lines.push_back(line);
        }
        lastLineCount_ = GetFileUnit(unit)->lineNumber;
        CloseUnit(unit);
        return lines;
    }
    // The same text as a memory text (a text window's loaded text).
    std::vector<std::string> MemoryLines(const std::string& text, unsigned flags = 0)
    {
        record_->textArea = text;
        const int unit = FindFreeUnit();
        FileUnit& slot = *GetFileUnit(unit);
        slot.mode = kUnitReading;
        slot.textWindow = record_;
        EXPECT_EQ(LoadUnitText(unit, 0, 0, kLoadToEnd), 0);
        std::vector<std::string> lines;
        std::string line;
        while (SourceHasMoreLines(unit)) {
            EXPECT_EQ(ReadLogicalLine(unit, line, flags), 0);
            lines.push_back(line);
        }
        lastLineCount_ = slot.lineNumber;
        CloseUnit(unit);
        return lines;
    }
    int lastLineCount_ = 0;
};

TEST_F(LogicalLineTest, CommentsContinuationsAndCaseFolding)
{
    EXPECT_EQ(FileLines("R1 1 2 1K ; load\n"), std::vector<std::string>{"R1 1 2 1K"});
    // The line break and the blank of the '+' stand beside the blank already written.
    EXPECT_EQ(FileLines("R1 1 2\n* note\n+ 1K\n"), std::vector<std::string>{"R1 1 2   1K"});
    EXPECT_EQ(lastLineCount_, 3);
    EXPECT_EQ(FileLines("; only a comment\n"), std::vector<std::string>{""});
    EXPECT_EQ(FileLines("* Title line\n"), std::vector<std::string>{"* TITLE LINE"});
    EXPECT_EQ(FileLines("v1\t1 0\tdc 5\r\n"), std::vector<std::string>{"V1 1 0 DC 5"});
}

TEST_F(LogicalLineTest, MemoryTextsJoinLikeFiles)
{
    const std::vector<std::string> lines = MemoryLines("TITLE\nr1 1 2\r\n+ 1k ; c\nc1 2 0 1u\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 6), "R1 1 2");
    EXPECT_EQ(lines[1].substr(lines[1].find_last_not_of(' ') - 1), "1K");
    EXPECT_EQ(lines[2], "C1 2 0 1U");
    EXPECT_EQ(lastLineCount_, 4);
    // Dot-lines-only mode skips everything else.
    const std::vector<std::string> dots = MemoryLines("R1 1 2 1K\n.MODEL D1 D\nC1 1 0 1U\n", kReadDotLines);
    ASSERT_EQ(dots.size(), 3u);
    EXPECT_EQ(dots[0], "");
    EXPECT_EQ(dots[1], ".MODEL D1 D");
}

TEST_F(LogicalLineTest, RawModeKeepsTheTextAsWritten)
{
    const std::vector<std::string> lines = FileLines("r1 1 2\n+ 1k ; c\n", kReadRaw);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "r1 1 2\n+ 1k ; c");
}

TEST_F(LogicalLineTest, LongLinesAreNeverSplit)
{
    std::string value(5000, '1');
    const std::vector<std::string> lines = FileLines("R1 1 2 " + value + "\nR2 2 0 1\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "R1 1 2 " + value);
    ASSERT_EQ(TokenizeNetlistLine(lines[0]), 0);
    EXPECT_EQ(Token(3), value);
}

TEST_F(SpiceTest, TitleLineIsNeverDispatched)
{
    ASSERT_EQ(Read("R1 1 0 1K\nR2 1 0 2K\n.END\n"), 0);
    EXPECT_EQ(Part("R1"), nullptr);
    EXPECT_NE(Part("R2"), nullptr);
}

TEST_F(SpiceTest, TextAfterEndIsNotRead)
{
    ASSERT_EQ(Read("title\nR1 1 0 1K\n.END\nthis is no statement\n"), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(SpiceTest, IncludesNestToFourteenFilesAndEndReturnsToTheIncludingText)
{
    for (int level = 1; level <= 14; ++level) {
        std::string text = "R" + std::to_string(level) + " " + std::to_string(level) + " 0 1K\n";
        if (level < 14) text += ".INCLUDE inc" + std::to_string(level + 1) + ".lib\n";
        text += ".END\nRAFTER" + std::to_string(level) + " 1 0 1\n";
        WriteFile("inc" + std::to_string(level) + ".lib", text);
    }
    ASSERT_EQ(Read("title\n.INCLUDE inc1.lib\nRLAST 1 0 1\n"), 0) << LastMessage();
    for (int level = 1; level <= 14; ++level) EXPECT_NE(Part("R" + std::to_string(level)), nullptr) << level;
    EXPECT_EQ(Part("RAFTER3"), nullptr);
    EXPECT_NE(Part("RLAST"), nullptr);
}

TEST_F(SpiceTest, AFifteenthNestedIncludeIsRefusedWithItsLine)
{
    for (int level = 1; level <= 15; ++level)
        WriteFile("deep" + std::to_string(level) + ".lib",
                  ".INC deep" + std::to_string(level + 1) + ".lib\n");
    EXPECT_EQ(Read("title\n.INC deep1.lib\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10907");
    EXPECT_NE(LastMessage().find("Source:\t" + PathOf("deep14.lib")), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("Line:\t1"), std::string::npos);
}

TEST_F(SpiceTest, MissingIncludeNamesTheFileAndLine)
{
    EXPECT_EQ(Read("title\nR1 1 0 1\n.INCLUDE \"no such.lib\"\n"), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Text:\tNO SUCH.LIB"), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("Line:\t3"), std::string::npos) << LastMessage();
}

TEST_F(SpiceTest, SubcircuitBodiesAreSkippedInThePass)
{
    ASSERT_EQ(Read("title\n.SUBCKT A 1 2\nRA 1 2 1\n.SUBCKT B 1\nRB 1 0 1\n.ENDS\nRA2 1 2 1\n.ENDS A\n"
                   "R1 1 0 1\n"),
              0);
    EXPECT_EQ(Part("RA"), nullptr);
    EXPECT_EQ(Part("RB"), nullptr);
    EXPECT_EQ(Part("RA2"), nullptr);
    EXPECT_NE(Part("R1"), nullptr);
}

TEST_F(SpiceTest, AStrayEndsDoesNotHideTheRestOfTheNetlist)
{
    ASSERT_EQ(Read("title\n.ENDS\nR1 1 0 1\n"), 0);
    EXPECT_NE(Part("R1"), nullptr);
}

TEST_F(SpiceTest, ProgressIsShownOnlyForLongNetlists)
{
    StatusText().shown = true;
    SetStatusText("Ready");
    std::string text = "title\n";
    for (int i = 1; i < 1000; ++i) text += "R" + std::to_string(i) + " 1 0 1\n";
    ASSERT_EQ(Read(text), 0);
    EXPECT_EQ(GetStatusText(), "Ready");
    text += "R1000 1 0 1\n";
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    ASSERT_EQ(Read(text), 0);
    // The saved text comes back at the end of the pass.
    EXPECT_EQ(GetStatusText(), "Ready");
}

}  // namespace
}  // namespace kq5::testing
