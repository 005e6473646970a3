// The Help menu's demos on a real display, as a user plays them: each box answered with Enter,
// every demo to its end, a demo stopped half way with Esc or by the session ending; the user's
// own document is put aside before the demo and given back after it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "journey.h"

namespace kq5::journey {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUserText = "* my own netlist\nR1 1 0 1K\nV1 1 0 5\n.END\n";
constexpr std::uint32_t kInactiveCaption = 0x808080;

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The frame's caption turns grey while a box or a dialog of its own is in front of it. The whole
// caption row is read, left of its buttons: the title, whose length follows the folder the
// journey runs in, covers a part of it that no fixed stretch can avoid.
bool FrameInFront(const Shot& shot) { return shot.Count(30, 9, shot.width - 70, 10, kInactiveCaption) < 200; }

// The user's document window: its caption names the file, its first lines show the text (the
// caret, at the start of the first line, is left out). The caption is left out too: whether the
// document is the active window after a demo depends on the order the demo closed its own.
bool SameDocument(const Shot& a, const Shot& b) { return a.SameAs(b, 20, 104, 900, 200); }

// Where two shots differ inside the document's region: the count and the bounding box, for a
// journey that fails to say what it saw.
std::string Difference(const Shot& a, const Shot& b)
{
    if (a.width != b.width || a.height != b.height) return "shots of different sizes";
    int count = 0, x0 = a.width, y0 = a.height, x1 = -1, y1 = -1;
    for (int y = 84; y < std::min(a.height, 200); ++y)
        for (int x = 20; x < std::min(a.width, 900); ++x)
            if (a.At(x, y) != b.At(x, y)) {
                ++count;
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
    if (count == 0) return "document region as before";
    return std::to_string(count) + " pixels differ in (" + std::to_string(x0) + "," + std::to_string(y0) + ")-(" +
           std::to_string(x1) + "," + std::to_string(y1) + ")";
}

// The program with the user's netlist open, as the user left it.
class DemoJourney {
public:
    explicit DemoJourney(const std::string& name) : journey(name)
    {
        std::ofstream(journey.Root() / "mine.ckt") << kUserText;
    }
    bool Start()
    {
        if (!journey.Start({"mine.ckt"})) return false;
        journey.Settle();
        before = journey.Capture();
        return FrameInFront(before);
    }
    // Help, then the demo's entry: the menu opens on Contents, three entries above the first demo.
    void Choose(int label)
    {
        journey.Key("alt+h");
        journey.Settle(2);
        std::string keys;
        for (int i = 0; i < 3 + label; ++i) keys += "Down ";
        journey.Key(keys + "Return");
    }
    // True once the user's document has left the screen for the demo's.
    bool DemoUnderWay(double seconds)
    {
        return journey.WaitUntil([&] { return !SameDocument(journey.Capture(), before); }, seconds);
    }
    // Answers every box with Enter until the user's document is back in front (true), or the
    // time is up. Enter reaches only a box: the rest of the time the demo has the input. What
    // the journey saw, each time it changed, is kept in trace for a failure to show.
    bool AnswerBoxesUntilBack(double seconds, const std::string& shotName)
    {
        const auto start = std::chrono::steady_clock::now();
        bool saved = false;
        std::string seen;
        int returns = 0;
        const auto note = [&](const std::string& what) {
            if (what == seen) return;
            seen = what;
            trace += std::to_string(static_cast<int>(SecondsSince(start))) + " s: " + what + "\n";
        };
        while (SecondsSince(start) < seconds && journey.Running()) {
            const Shot shot = journey.Capture();
            if (!FrameInFront(shot)) {
                note("a box or dialog in front");
                if (!saved && !shotName.empty()) saved = shot.Save(shotName);
                journey.Key("Return");
                ++returns;
                // A user reads a box before answering it; the next look comes a moment later.
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
                continue;
            }
            if (SameDocument(shot, before)) {
                note("the document back");
                // Back for good, not a moment between two of the demo's windows.
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                const Shot again = journey.Capture();
                if (FrameInFront(again) && SameDocument(again, before)) return true;
            } else {
                note("the demo's windows in front");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        trace += std::to_string(static_cast<int>(SecondsSince(start))) + " s: gave up after " + std::to_string(returns) +
                 " Enter keys; the program is " + (journey.Running() ? "running" : "gone");
        const Shot last = journey.Capture(shotName.empty() ? std::string() : shotName + "_stuck");
        trace += std::string(FrameInFront(last) ? ", the frame in front" : ", a box or dialog in front") + ", " +
                 Difference(last, before) + "\n";
        return false;
    }
    // The session ends the program; the user's file is as it was and the settings are written.
    void ExpectCleanEnd()
    {
        ASSERT_TRUE(journey.Running()) << journey.Output();
        journey.Signal(SIGTERM);
        int status = 0;
        ASSERT_TRUE(journey.WaitForExit(30, &status)) << journey.Output();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(Slurp(journey.Root() / "mine.ckt"), kUserText);
        EXPECT_NE(Slurp(journey.Root() / "kq5.dat").find("[Main]"), std::string::npos);
    }

    Journey journey;
    Shot before;
    std::string trace;
};

struct Demo {
    int label;
    const char* name;
};

class EveryDemo : public ::testing::TestWithParam<Demo> {};

// One play of the demo from the Help menu; false with what the journey saw when it did not come
// to its end.
bool PlayToTheEnd(const Demo& demo, const std::string& name, std::string* trace)
{
    DemoJourney user(name);
    if (!user.Start()) {
        *trace = "the program did not start\n" + user.journey.Output();
        return false;
    }
    user.Choose(demo.label);
    if (!user.DemoUnderWay(20)) {
        *trace = "the demo did not start\n" + user.journey.Output();
        return false;
    }
    // A demo plays in three minutes at most, even in a sanitizer build on a busy machine.
    if (!user.AnswerBoxesUntilBack(360, name + "_box")) {
        *trace = user.trace + user.journey.Output();
        return false;
    }
    user.journey.Capture(name + "_after");
    user.ExpectCleanEnd();
    return true;
}

TEST_P(EveryDemo, PlaysToItsEndWithItsBoxesAnsweredByEnter)
{
    const Demo& demo = GetParam();
    const std::string name = std::string("demo_") + demo.name;
    const fs::path retried = fs::read_symlink("/proc/self/exe").parent_path() / "journeys" / (name + ".retried.txt");
    std::error_code error;
    fs::remove(retried, error);
    std::string trace;
    if (PlayToTheEnd(demo, name, &trace)) return;
    // A play that does not come to its end is tried once more (a loaded machine can hold a box
    // past the journey's look); what the journey saw the first time is kept in
    // build/journeys/<name>.retried.txt, which the test command prints at its end.
    std::ofstream(retried) << name << ": the first play did not come to its end; what the journey saw:\n" << trace;
    std::string again;
    EXPECT_TRUE(PlayToTheEnd(demo, name + "_again", &again))
        << "the demo did not come to its end, twice; what the journey saw the first time:\n"
        << trace << "and the second time:\n" << again;
}

// Every demo of the Help menu, each in its own test: they play side by side, each on a display of
// its own, and most of their time is the demos' own pauses and pointer walks.
INSTANTIATE_TEST_SUITE_P(HelpMenu, EveryDemo,
                         ::testing::Values(Demo{0, "general"}, Demo{1, "schematic"}, Demo{2, "analysis"},
                                           Demo{3, "analog_digital"}, Demo{4, "probe"}, Demo{5, "stepping"},
                                           Demo{6, "performance"}, Demo{7, "plots3d"}, Demo{8, "monte_carlo"},
                                           Demo{9, "fourier"}, Demo{10, "subcircuits"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DemoStop, EscHalfWayGivesTheDocumentBack)
{
    DemoJourney user("demo_esc");
    ASSERT_TRUE(user.Start()) << user.journey.Output();
    user.Choose(0);
    ASSERT_TRUE(user.DemoUnderWay(20)) << user.journey.Output();
    // Past the first box, into the drawing of the circuit.
    user.journey.WaitUntil([&] { return !FrameInFront(user.journey.Capture()); }, 20);
    user.journey.Key("Return");
    std::this_thread::sleep_for(std::chrono::seconds(6));
    user.journey.Capture("demo_esc_half_way");
    user.journey.Key("Escape");
    // The wind-down closes what the demo opened and brings the document back; no box to answer.
    ASSERT_TRUE(user.journey.WaitUntil([&] {
        const Shot now = user.journey.Capture();
        return FrameInFront(now) && SameDocument(now, user.before);
    }, 20)) << user.journey.Output();
    user.journey.Capture("demo_esc_back");
    user.ExpectCleanEnd();
}

TEST(DemoStop, TheSessionEndingDuringADemoGivesTheDocumentBackAndEnds)
{
    DemoJourney user("demo_term");
    ASSERT_TRUE(user.Start()) << user.journey.Output();
    user.Choose(0);
    ASSERT_TRUE(user.DemoUnderWay(20)) << user.journey.Output();
    // With the demo's first box up.
    user.journey.WaitUntil([&] { return !FrameInFront(user.journey.Capture()); }, 20);
    user.journey.Signal(SIGTERM);
    int status = 0;
    ASSERT_TRUE(user.journey.WaitForExit(20, &status)) << user.journey.Output();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Slurp(user.journey.Root() / "mine.ckt"), kUserText);
    EXPECT_NE(Slurp(user.journey.Root() / "kq5.dat").find("[Main]"), std::string::npos);
}

}  // namespace
}  // namespace kq5::journey
