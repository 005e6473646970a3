// Empty and white-space lines between a statement and its '+' continuation, as decks written
// by other tools have them: dropped like the comment lines there, in the circuit's own text
// and in included files alike.
#include <functional>
#include <string>

#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class BlankContinuationTest : public SpiceTest {
protected:
    // The circuit's text read directly and, the same lines, from an included file.
    void ReadBothWays(const std::string& body, const std::function<void()>& check)
    {
        {
            SCOPED_TRACE("circuit text");
            Fresh();
            ASSERT_EQ(Read("title\n" + body + ".END\n"), 0) << LastMessage();
            check();
        }
        {
            SCOPED_TRACE("include file");
            Fresh();
            WriteFile("part.inc", body);
            ASSERT_EQ(Read("title\n.INCLUDE \"" + PathOf("part.inc") + "\"\n.END\n"), 0) << LastMessage();
            check();
        }
    }
    void Fresh()
    {
        FreeNetlistReaderBuild();
        ListClear(record_->document->itemList);
        win::ClearMessageBoxLog();
    }
};

TEST_F(BlankContinuationTest, BlankLinesBeforeAContinuationAreDropped)
{
    // An empty line, a line of blanks and tabs, a CR LF empty line and a comment between the
    // parts of one statement.
    ReadBothWays("L1 1 2 1M\n\n+ IC=2M\nR1 1 0\n \t \r\n\n* the value\n\n+ 1K\nR2 2 0 2K\n", [&] {
        ASSERT_NE(Part("L1"), nullptr);
        EXPECT_EQ(Attr(Part("L1"), kAttrValue), "1M IC=2M");
        ASSERT_NE(Part("R1"), nullptr);
        EXPECT_EQ(Attr(Part("R1"), kAttrValue), "1K");
        EXPECT_EQ(Attr(Part("R2"), kAttrValue), "2K");
        EXPECT_EQ(Components().size(), 3u);
    });
}

TEST_F(BlankContinuationTest, TextThatReadsWithoutThemIsUnchanged)
{
    // Blank lines between statements; an empty '+' line after a blank one; a comment that
    // a statement follows.
    ReadBothWays("R1 1 0 1K\n\n\nR2 2 0 2K\n\n+\n* note\nR3 3 0 3K\n\n", [&] {
        EXPECT_EQ(Attr(Part("R1"), kAttrValue), "1K");
        EXPECT_EQ(Attr(Part("R2"), kAttrValue), "2K");
        EXPECT_EQ(Attr(Part("R3"), kAttrValue), "3K");
        EXPECT_EQ(Components().size(), 3u);
    });
    // A line with blanks before its '+' is no continuation.
    Fresh();
    EXPECT_EQ(Read("title\nR1 1 0\n\n  + 1K\n"), kMsgAlreadyReported);
}

TEST_F(BlankContinuationTest, MessagesNameTheLinesAfterTheBlankOnes)
{
    // The joined statement starts on line 2; the statement after it on line 7.
    Fresh();
    EXPECT_EQ(Read("title\nR1 1 0\n\n\n+ 1K\n\nQ9\n"), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Line:\t7"), std::string::npos) << LastMessage();
    Fresh();
    WriteFile("part.inc", "R1 1 0\n\n\n+ 1K\n\nQ9\n");
    EXPECT_EQ(Read("title\n.INCLUDE \"" + PathOf("part.inc") + "\"\n"), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Line:\t6"), std::string::npos) << LastMessage();
}

}  // namespace
}  // namespace kq5::testing
