// The demo script assembler and reader: the bytes a source makes, the mistakes it refuses with
// file:line, and reads that never pass the end of a damaged script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/demo_script.h"

namespace kq5 {
namespace {

std::string Assemble(const std::string& text, std::vector<std::uint8_t>& out)
{
    return AssembleDemoScript({{"t.txt", text}}, out);
}

std::string Refusal(const std::string& text)
{
    std::vector<std::uint8_t> out;
    return Assemble(text, out);
}

TEST(DemoScriptAssembler, StepsBecomeTheirBytes)
{
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Assemble("; a comment line\n"
                       "KEY 0x71\n"
                       "drag 1 -2 300 4 ; mnemonics in any case\n"
                       "SAY always \"Hi \\\"you\\\"\"\n"
                       "GOTO not always 7\n"
                       "UNLESS 101 TYPE \"1K\"\n"
                       "CALL 7 \"$x\"\n"
                       "CALL 7\n"
                       "LABEL 7\n"
                       "PLACE 14 8 3\n"
                       "END\n",
                       out),
              "");
    const std::vector<std::uint8_t> expected = {
        4,   0x71, 0,                                      // KEY
        9,   1,    0, 0xFE, 0xFF, 0x2C, 1, 4, 0,           // DRAG, words little-endian
        12,  1,    'H', 'i', ' ', '"', 'y', 'o', 'u', '"', 0,  // SAY
        41,  0x81, 7, 0,                                   // GOTO, negated condition
        8,   101,  0, 34, '1', 'K', 0,                     // UNLESS re-runs TYPE on its text
        44,  7,    0, 1, '$', 'x', 0,                      // CALL with argument
        44,  7,    0, 0,                                   // CALL without
        42,  7,    0,                                      // LABEL
        38,  14,   8, 3,                                   // PLACE
        100,                                               // END
    };
    EXPECT_EQ(out, expected);
    const std::vector<std::uint8_t> file = EncodeDemoFile(out);
    ASSERT_EQ(file.size(), out.size() + 2);
    EXPECT_EQ(file[0] | (file[1] << 8), static_cast<int>(out.size()));

    // The reader walks the same steps back.
    const DemoScriptReader reader(out);
    std::size_t at = 0;
    int steps = 0;
    while (at < out.size()) {
        auto next = reader.SkipStep(at);
        ASSERT_TRUE(next.has_value()) << at;
        at = *next;
        ++steps;
    }
    EXPECT_EQ(steps, 10);
}

TEST(DemoScriptAssembler, MistakesAreRefusedWithFileAndLine)
{
    EXPECT_EQ(Refusal("END\nFROB 1\n"), "t.txt:1: END before the end of the script (end a demo with GOTO to the last LABEL)");
    EXPECT_EQ(Refusal("\n\nFROB 1\nEND\n"), "t.txt:3: unknown step \"FROB\"");
    EXPECT_EQ(Refusal("WAIT 32768\nEND"), "t.txt:1: word out of range: 32768");
    EXPECT_EQ(Refusal("WAIT -32769\nEND"), "t.txt:1: word out of range: -32769");
    EXPECT_EQ(Refusal("ALT 256\nEND"), "t.txt:1: byte out of range: 256");
    EXPECT_EQ(Refusal("WAIT\nEND"), "t.txt:1: missing operand");
    EXPECT_EQ(Refusal("WAIT 1 2\nEND"), "t.txt:1: too many operands");
    EXPECT_EQ(Refusal("WAIT x\nEND"), "t.txt:1: not a number: x");
    EXPECT_EQ(Refusal("TYPE abc\nEND"), "t.txt:1: a quoted text is wanted");
    EXPECT_EQ(Refusal("TYPE \"abc\nEND"), "t.txt:1: text without its closing quote");
    EXPECT_EQ(Refusal("COMBOSELECT \"" + std::string(100, 'a') + "\"\nEND"), "t.txt:1: text longer than 99 characters");
    EXPECT_EQ(Refusal("COMBOSELECT \"" + std::string(99, 'a') + "\"\nEND"), "");
    EXPECT_EQ(Refusal("GOTO always 3\nEND"), "t.txt:1: no LABEL 3");
    EXPECT_EQ(Refusal("CALL 3\nEND"), "t.txt:1: no LABEL 3");
    EXPECT_EQ(Refusal("LABEL 3\nGOTO always 3\nEND"), "t.txt:2: GOTO only jumps forward; LABEL 3 is before it");
    EXPECT_EQ(Refusal("LABEL 3\nLABEL 3\nEND"), "t.txt:2: label 3 defined twice");
    EXPECT_EQ(Refusal("SAY never \"x\"\nEND"), "t.txt:1: a SAY whose condition never holds");
    EXPECT_EQ(Refusal("UNLESS 5 WAIT \"x\"\nEND"), "t.txt:1: the step after UNLESS must take a text first: WAIT");
    EXPECT_EQ(Refusal("WAIT 1\n"), "t.txt: the script does not end with END");
    // A GOTO that never jumps names no label that must exist.
    EXPECT_EQ(Refusal("GOTO never 9\nEND"), "");

    std::string big;
    for (int i = 0; i < 4000; ++i) big += "SAY always \"123456\"\n";
    big += "END\n";
    const std::string error = Refusal(big);
    EXPECT_NE(error.find("the script passes 32767 bytes"), std::string::npos) << error;
    EXPECT_EQ(error.rfind("t.txt:", 0), 0u);
}

TEST(DemoScriptAssembler, SourcesAreJoinedWithTheirOwnNames)
{
    std::vector<std::uint8_t> out;
    EXPECT_EQ(AssembleDemoScript({{"a.txt", "GOTO always 1\n"}, {"b.txt", "LABEL 1\nEND\n"}}, out), "");
    EXPECT_EQ(AssembleDemoScript({{"a.txt", "WAIT 1\n"}, {"b.txt", "WAIT 1\nFROB\nEND\n"}}, out), "b.txt:2: unknown step \"FROB\"");
}

TEST(DemoScriptReader, ReadsStopAtTheEnd)
{
    const std::vector<std::uint8_t> bytes = {4, 0x71, 12, 1, 'a', 'b'};  // the SAY's text has no NUL
    const DemoScriptReader reader(bytes);
    EXPECT_EQ(reader.SkipStep(0), std::optional<std::size_t>(3));
    EXPECT_FALSE(reader.SkipStep(2).has_value());
    std::size_t at = 5;
    EXPECT_FALSE(reader.Word(at).has_value());
    at = 4;
    EXPECT_FALSE(reader.Text(at, 100).has_value());
    const std::vector<std::uint8_t> longText = {'a', 'b', 'c', 0};
    const DemoScriptReader shortMax(longText);
    at = 0;
    EXPECT_FALSE(shortMax.Text(at, 3).has_value());  // the NUL lies past the maximum
    at = 0;
    EXPECT_EQ(shortMax.Text(at, 4), std::optional<std::string>("abc"));
    EXPECT_EQ(at, 4u);
    EXPECT_FALSE(reader.SkipStep(6).has_value());
    const std::vector<std::uint8_t> unknown = {77};
    EXPECT_FALSE(DemoScriptReader(unknown).SkipStep(0).has_value());
}

TEST(DemoScriptAssembler, ConditionsHoldAsTheFormatSays)
{
    for (int c : {1, 50, 78}) {
        EXPECT_TRUE(DemoConditionHolds(c)) << c;
        EXPECT_FALSE(DemoConditionHolds(c | 0x80)) << c;
    }
    for (int c : {0, 2, 49, 79, 127}) {
        EXPECT_FALSE(DemoConditionHolds(c)) << c;
        EXPECT_TRUE(DemoConditionHolds(c | 0x80)) << c;
    }
}

// The generator beside the tests: demo.kq5 was assembled from the shipped sources.
TEST(DemoScriptAssembler, ShippedDemoFileIsBuilt)
{
    const std::filesystem::path built = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "demo.kq5";
    std::ifstream in(built, std::ios::binary);
    ASSERT_TRUE(in.good()) << built;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(static_cast<std::size_t>(bytes[0] | (bytes[1] << 8)), bytes.size() - 2);
    EXPECT_EQ(bytes.back(), kDemoOpEnd);
}

}  // namespace
}  // namespace kq5
