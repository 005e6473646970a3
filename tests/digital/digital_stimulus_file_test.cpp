// Stimulus files: the header's signal groups, TIMESCALE, relative times, every message, and a
// file driving the pins of a part.
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "digital/digital_stimulus.h"
#include "digital_test_support.h"

namespace kq5::testing {
namespace {

class StimFile {
public:
    explicit StimFile(const std::string& text)
    {
        path_ = std::filesystem::temp_directory_path() / ("kq5_stim_file_test-" + std::to_string(::getpid()) + ".stm");
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~StimFile() { std::filesystem::remove(path_); }
    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

int Read(const std::string& text, std::vector<std::string> pins, StimulusProgram& program,
         std::vector<std::string>& details, const std::string& signalNames = "")
{
    StimFile file(text);
    int line = 0;
    return ReadStimFile(program, file.Path(), signalNames, pins, details, line);
}

TEST(StimulusFile, EveryMessage)
{
    struct Case {
        std::string text;
        int id;
    } cases[] = {
        {"TIMESCALE 1n\nA\n\n0 1\n", 13257},
        {"TIMESCALE=1n A\nA\n\n0 1\n", 13253},
        {"HEX A3 A2 A1 A0\n\n0 F\n", 11901},
        {"HEX(A3 A2 A1)\n\n0 F\n", 13252},
        {"HEX(A3 A2 A1 A0\n\n0 F\n", 11901},
        {"A\n\n0 1\n", 13255},       // pin B is not in the file
        {"A B\n\n0 1\n", 13254},     // one value for two signals
        {"A B\n\n0 1 1 0\n", 13254},
        {"A B\n\n0 1 Q\n", 13192},
    };
    for (const Case& c : cases) {
        StimulusProgram program;
        std::vector<std::string> details;
        EXPECT_EQ(Read(c.text, {"A", "B"}, program, details), c.id) << c.text;
    }
    std::string many;
    for (int i = 0; i < 257; ++i) many += "S" + std::to_string(i) + " ";
    StimulusProgram program;
    std::vector<std::string> details;
    EXPECT_EQ(Read(many + "\n\n0 1\n", {"S0"}, program, details), 13256);
    EXPECT_EQ(details, (std::vector<std::string>{"256"}));
    EXPECT_EQ(Read("A\n\n0 1\n", {"A", "B"}, program, details), 13255);
    EXPECT_EQ(details.at(0), "B");
}

// Files that would otherwise run with every pin at X or every time wrong: each is refused at its
// line, where the user can find it.
TEST(StimulusFile, ShortFilesAndBadTimesAreRefusedAtTheirLine)
{
    struct Case {
        std::string text;
        int id;
        int line;
    } cases[] = {
        {"", 13255, 0},                       // empty: pin A is in no header
        {"A\n", 13255, 1},                    // header without its blank line: pin B still missing
        {"TIMESCALE=ns\nA B\n\n0 11\n", 10922, 1},
        {"TIMESCALE=0\nA B\n\n0 11\n", 10922, 1},
        {"A B\n\n10n 00\n5n 11\n", 13194, 4},  // an absolute time going back
        {"A B\n\n10n 00\n10n 11\n", 13194, 4},
        {"A B\n\n10n 00\n+-2n 11\n", 13194, 4},
        {"A B\n\n-5n 00\n10n 11\n", 13194, 3},  // before the run starts
    };
    for (const Case& c : cases) {
        StimFile file(c.text);
        StimulusProgram program;
        std::vector<std::string> details;
        int line = -1;
        EXPECT_EQ(ReadStimFile(program, file.Path(), "", {"A", "B"}, details, line), c.id) << c.text;
        EXPECT_EQ(line, c.line) << c.text;
    }
    // A header that names every pin and has no data is no error; relative lines may share a time.
    StimulusProgram program;
    std::vector<std::string> details;
    EXPECT_EQ(Read("A B\n", {"A", "B"}, program, details), 0);
    EXPECT_EQ(program.bitOrder, (std::vector<int>{0, 1}));
    EXPECT_EQ(Read("A B\n\n10n 00\n+0 11\n", {"A", "B"}, program, details), 0);
}

// Plays the file on a part whose pins are named by `pins` (their node names).
std::string Play(const std::string& text, std::vector<std::string> pins, const std::string& node,
                 const std::string& signalNames = "")
{
    DigitalCircuit c;
    const int device = c.Add(kComponentFstim, kClassNone, {}, pins);
    auto program = std::make_unique<StimulusProgram>();
    std::vector<std::string> details;
    if (int id = Read(text, pins, *program, details, signalNames)) return "error " + std::to_string(id);
    c.Spec(device).record = std::move(program);
    if (c.Build() || StepStimulusDevices(0.0, 1e-3) || QueueStimulusEvents() || c.Run(1000000000u)) return "failed";
    return c.Trace(node);
}

TEST(StimulusFile, HexGroupsTimescaleAndBlanks)
{
    const std::string hex = "* a comment\nHEX(A3 A2 A1 A0) ; groups\n\n0 0\n10n F\n+5n 5\n";
    EXPECT_EQ(Play(hex, {"A3", "A2", "A1", "A0"}, "A3"), "0:0 10000:1 15000:0");
    EXPECT_EQ(Play(hex, {"A3", "A2", "A1", "A0"}, "A0"), "0:0 10000:1");
    // TIMESCALE multiplies every time: +2 is 2 us after the line before.
    EXPECT_EQ(Play("TIMESCALE=1u\nX Y Z\n\n0 0 1 1\n+2 1 0 1\n", {"X", "Y", "Z"}, "X"), "0:0 2000000:1");
    // SIGNAMES maps the pins to other signals of the file; a netlist line gives the names in
    // double quotes.
    for (const char* names : {"Y X", R"("Y X")"}) EXPECT_EQ(Play("X Y\n\n0 01\n1n 10\n", {"P", "Q"}, "P", names), "0:1 1000:0");
}

// A header without its blank line: the first line that reads as a time with one value per
// group starts the data, rather than its words becoming signals and the pins never changing.
TEST(StimulusFile, DataRightAfterTheHeaderDrivesThePins)
{
    EXPECT_EQ(Play("A B\n0 01\n10n 10\n\n+5n 11\n", {"A", "B"}, "A"), "0:0 10000:1");
    EXPECT_EQ(Play("HEX(A3 A2 A1 A0)\n0 0\n10n F\n", {"A3", "A2", "A1", "A0"}, "A0"), "0:0 10000:1");
    // A header of two lines stays a header: its second line is no time with values.
    EXPECT_EQ(Play("A\nB\n0 01\n10n 10\n", {"A", "B"}, "B"), "0:1 10000:0");
}

}  // namespace
}  // namespace kq5::testing
