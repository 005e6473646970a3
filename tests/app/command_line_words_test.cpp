#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "analog/command_line_words.h"

namespace kq5 {
namespace {

TEST(CommandLineWords, ArgumentsKeepTheirCaseAndBlanksInsideQuotes)
{
    std::string line = "  /S \"My Circuits/Amp One.cir\" Second.CIR  /P  third";
    EXPECT_EQ(TakeCommandLineArg(line), "My Circuits/Amp One.cir");
    EXPECT_EQ(line, "/S  Second.CIR  /P  third");
    EXPECT_EQ(TakeCommandLineArg(line), "Second.CIR");
    EXPECT_EQ(TakeCommandLineArg(line), "third");
    EXPECT_EQ(TakeCommandLineArg(line), "");
    EXPECT_EQ(line, "/S    /P");

    // An unclosed quote runs to the end of the line.
    line = "\"open ended name";
    EXPECT_EQ(TakeCommandLineArg(line), "open ended name");
    EXPECT_EQ(line, "");
}

TEST(CommandLineWords, SwitchesAreCaseBlindAndWhole)
{
    std::string line = "@Jobs.txt /s /pc";
    EXPECT_EQ(TakeSwitch(line, "/PC"), 13);
    EXPECT_EQ(TakeSwitchChar(line, 'S'), 10);
    EXPECT_EQ(line, "@Jobs.txt");
    EXPECT_EQ(TakeSwitchChar(line, 'R'), -1);

    // A longer word beginning with the switch is not the switch, and it stays as a leftover.
    line = "@jobs.txt /PCX /PC";
    EXPECT_EQ(TakeSwitch(line, "/PC"), -1);
    EXPECT_EQ(line, "@jobs.txt /PCX /PC");

    // Switches written together are found one by one.
    line = "amp.cir /T/P";
    EXPECT_EQ(TakeSwitchChar(line, 'P'), 10);
    EXPECT_EQ(TakeSwitchChar(line, 'T'), 8);
    EXPECT_EQ(line, "amp.cir");

    // A relative path holds no switch: the real one after it is found.
    line = "designs/sub.cir /S";
    EXPECT_EQ(TakeSwitchChar(line, 'S'), 16);
    EXPECT_EQ(line, "designs/sub.cir");
}

TEST(CommandLineWords, AbsolutePathsAreArgumentsNotSwitches)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kq5_words_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string amp = (dir / "Amp.cir").string();
    std::ofstream(amp) << "amp\n";
    std::string line = amp + " /P /ROOT:/X";
    EXPECT_EQ(TakeSwitchChar(line, 'P'), static_cast<int>(amp.size()) + 1);
    EXPECT_EQ(TakeCommandLineArg(line), amp);
    EXPECT_EQ(line, "/ROOT:/X");
    // A file that does not exist yet in a directory that does is a path too.
    line = (dir / "New.cir").string() + " /S";
    EXPECT_EQ(TakeSwitchChar(line, 'S'), static_cast<int>((dir / "New.cir").string().size()) + 1);
    EXPECT_EQ(TakeCommandLineArg(line), (dir / "New.cir").string());
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kq5
