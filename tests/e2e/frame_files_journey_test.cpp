// Files and the frame in a user's hands: a schematic opens where it was saved, a schematic file
// written by hand without page sections opens with its page named, Select All takes a netlist's
// whole text, a second start hands its file to the program already running, and a data folder
// that is not there is told at start, not after the session's settings are lost.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../app/screen_capture_support.h"
#include "journey.h"

namespace kq5::journey {
namespace {

constexpr const char* kNetlist =
    "Two-stage RC low pass\n"
    "VIN 1 0 AC 1 SIN(0 1 1KHZ)\n"
    "R1 1 2 1.59K\n"
    "C1 2 0 0.1UF\n"
    "R2 2 3 3.3K\n"
    "C2 3 0 47NF\n"
    ".TRAN 10US 5MS\n"
    ".END\n";

// The caption colour of the active document window, and where the documents begin: read from
// the program's captures (the frame maximised, as it starts).
constexpr std::uint32_t kActiveCaption = 0x000080;
constexpr int kDocumentsTop = 84;
// Edit menu: its place on the menu bar and its Select All line.
constexpr int kEditMenuX = 62, kMenuBarY = 28, kSelectAllX = 80, kSelectAllY = 145;

std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// The first row below the tool bars that holds a run of the active caption colour: its first
// pixel and the run's length (-1, 0 when there is none).
struct CaptionRun {
    int x = -1, y = -1, length = 0;
};
CaptionRun FindActiveCaption(const Shot& shot)
{
    for (int y = kDocumentsTop; y < shot.height; ++y) {
        int run = 0;
        for (int x = 0; x <= shot.width; ++x) {
            if (x < shot.width && shot.At(x, y) == kActiveCaption) {
                ++run;
                continue;
            }
            if (run > 100) return CaptionRun{x - run, y, run};
            run = 0;
        }
    }
    return CaptionRun{};
}

// Starts the program on the journey's display as a user starts it from a shell in a folder, its
// standard error into a file when one is named.
pid_t Launch(Journey& journey, const std::filesystem::path& folder, const std::vector<std::string>& args,
             const std::filesystem::path& errors = {})
{
    const std::string program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5").string();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        if (!errors.empty()) {
            const int out = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) dup2(out, STDERR_FILENO);
        }
        setenv("DISPLAY", journey.Display().c_str(), 1);
        std::vector<std::string> words{program};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// Starts the program once more; the exit status of that start (-1 when it did not end in time).
int StartAgain(Journey& journey, const std::filesystem::path& folder, const std::vector<std::string>& args)
{
    const pid_t pid = Launch(journey, folder, args);
    int status = 0;
    for (int waited = 0; waited < 100; ++waited) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(100000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Opens a file of the journey's folder by its name (File > Open).
void Open(Journey& journey, const std::string& name)
{
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type(name);
    journey.Key("Return");
    journey.Settle();
}

// A schematic saved with its window moved comes back in that place, opened beside nothing and
// opened into the empty window of a new start. The file kept the place but every open showed the
// window where a new one goes, so each session began by moving it again.
TEST(FrameFilesJourney, ASchematicOpensWhereItsWindowWasSaved)
{
    Journey journey("placed_schematic");
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", journey.Root() / "placed.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    Open(journey, "placed.cir");
    const CaptionRun first = FindActiveCaption(journey.Capture("placed_schematic_opened"));
    ASSERT_GT(first.length, 0) << "the example did not open in the (not maximised) place its file keeps";
    journey.Drag(first.x + 200, first.y + 5, first.x + 500, first.y + 205);
    journey.Settle();
    const CaptionRun moved = FindActiveCaption(journey.Capture("placed_schematic_moved"));
    ASSERT_NEAR(moved.x, first.x + 300, 4) << "the window did not move";
    journey.Key("ctrl+s");
    journey.Settle();
    journey.Key("ctrl+F4");
    journey.Settle();

    Open(journey, "placed.cir");
    CaptionRun opened = FindActiveCaption(journey.Capture("placed_schematic_reopened"));
    EXPECT_EQ(opened.x, moved.x) << "opened again, the window is not where it was saved";
    EXPECT_EQ(opened.y, moved.y);
    EXPECT_EQ(opened.length, moved.length);

    journey.Key("alt+F4");
    journey.Settle();
    journey.Key("Return");  // "Quit Kestrion V?" Yes
    ASSERT_TRUE(journey.WaitForExit(20)) << "the program did not end";
    ASSERT_TRUE(journey.Start()) << journey.Output();
    Open(journey, "placed.cir");
    opened = FindActiveCaption(journey.Capture("placed_schematic_next_start"));
    EXPECT_EQ(opened.x, moved.x) << "after a new start, the window is not where it was saved";
    EXPECT_EQ(opened.y, moved.y);
    EXPECT_TRUE(journey.Running());
}

// Edit > Select All and Ctrl+A select a netlist's whole text, so that what is typed then replaces
// it. The command stayed grey in every text window and Ctrl+A did nothing.
// A divider written by hand: parts, wires and the text, nothing about pages or the view.
constexpr const char* kHandWrittenSchematic =
    "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\n\n"
    "[Comp]\nName=Battery\nGrid=20,20\n\n"
    "[Comp]\nName=Resistor\nGrid=30,20\n\n"
    "[Comp]\nName=Resistor\nGrid=42,20\n\n"
    "[Comp]\nName=Ground\nGrid=20,26\n\n"
    "[Comp]\nName=Ground\nGrid=48,20\n\n"
    "[Wire]\nGrids=20,20,30,20\n\n"
    "[Wire]\nGrids=36,20,42,20\n\n"
    "[Text Area]\nLen=20\n* a divider by hand\n\n";

TEST(FrameFilesJourney, AHandWrittenSchematicWithoutPagesOpensWithItsPageNamed)
{
    // The same file with the page section a saved schematic has: its tab reads "Page 1".
    Shot named;
    {
        Journey journey("page_named");
        std::ofstream(journey.Root() / "divider.cir", std::ios::binary)
            << kHandWrittenSchematic << "[Page]\nIndex=0\nName=Page 1\n\n";
        ASSERT_TRUE(journey.Start({"divider.cir"})) << journey.Output();
        journey.Settle();
        named = journey.Capture("page_named");
    }
    Journey journey("page_unnamed");
    std::ofstream(journey.Root() / "divider.cir", std::ios::binary) << kHandWrittenSchematic;
    ASSERT_TRUE(journey.Start({"divider.cir"})) << journey.Output();
    journey.Settle();
    const Shot opened = journey.Capture("page_unnamed");
    // Below the captions, which name the two folders.
    EXPECT_TRUE(opened.SameAs(named, 0, kDocumentsTop + 20, named.width, named.height))
        << "the page of a file without page sections has no name on its tab";
}

TEST(FrameFilesJourney, SelectAllTakesTheWholeTextOfANetlist)
{
    Journey journey("select_all_text");
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary) << kNetlist;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    Open(journey, "rc.ckt");

    journey.Click(kEditMenuX, kMenuBarY);
    journey.Settle();
    journey.Capture("select_all_text_menu");
    journey.Click(kSelectAllX, kSelectAllY);
    journey.Settle();
    journey.Type("* menu");
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), "* menu") << "Edit > Select All took no text";

    journey.Key("ctrl+a");
    journey.Type("* keys");
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), "* keys") << "Ctrl+A took no text";
    EXPECT_TRUE(journey.Running());
}

// A file whose name holds an '&' is listed by that name in the recent files and the Windows menu
// (the screens show it); the '&' used to vanish and underline the next letter as the entry's key.
TEST(FrameFilesJourney, AnAmpersandInAFileNameShowsInTheMenus)
{
    constexpr int kFileMenuX = 14, kWindowsMenuX = 155;
    Journey journey("ampersand_menus");
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", journey.Root() / "R&D amp.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    Open(journey, "R&D amp.cir");
    journey.Click(kFileMenuX, kMenuBarY);
    journey.Settle();
    journey.Capture("ampersand_file_menu");
    journey.Key("Escape Escape");
    journey.Settle();
    journey.Click(kWindowsMenuX, kMenuBarY);
    journey.Settle();
    journey.Capture("ampersand_windows_menu");
    journey.Key("Escape Escape");
    EXPECT_TRUE(journey.Running());
}

// A file named to a second start opens in the program that runs already, in front. The second
// start only raised the running frame, and the file was never opened.
TEST(FrameFilesJourney, ASecondStartHandsItsFileToTheRunningProgram)
{
    Journey journey("second_start");
    const std::filesystem::path elsewhere = journey.Root() / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    std::ofstream(elsewhere / "rc.ckt", std::ios::binary) << kNetlist;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    const Shot before = journey.Capture();

    // The name as typed in the folder of the second start.
    EXPECT_EQ(StartAgain(journey, elsewhere, {"/ROOT:" + journey.Root().string(), "rc.ckt"}), 0);
    journey.WaitUntil([&] { return !journey.Capture().SameAs(before); }, 10);
    journey.Settle();
    journey.Capture("second_start_opened");
    // The file is the one in front: what is typed goes into it.
    journey.Key("ctrl+a");
    journey.Type("* second");
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(elsewhere / "rc.ckt")), "* second") << "the running program did not open the file";
    EXPECT_TRUE(journey.Running());
}

// A data folder that is not there (a /ROOT: on a disk not mounted) cannot keep the settings: the
// user is told as the program starts, with the program's message, while there is still time to
// start it right. It was said only on standard error and in the help bar at exit.
TEST(FrameFilesJourney, AMissingDataFolderIsToldAtStart)
{
    Journey journey("missing_data_folder");
    const std::filesystem::path missing = journey.Root() / "not-mounted";
    const std::filesystem::path errors = journey.Root() / "errors.txt";
    const pid_t pid = Launch(journey, journey.Root(), {"/ROOT:" + missing.string()}, errors);
    ASSERT_GT(pid, 0);
    const auto told = [&] { return ReadAll(errors).find("could not be written") != std::string::npos; };
    for (int waited = 0; waited < 150 && !told(); ++waited) usleep(100000);
    EXPECT_TRUE(told()) << "nothing said at start: " << ReadAll(errors);
    usleep(1500000);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the program ended at start";
    // The screen as the user sees it, with the message over the frame.
    const std::filesystem::path dump = journey.Root() / "screen.xwd";
    const std::string command = "DISPLAY=" + journey.Display() + " xwd -root -silent -out " + dump.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    kq5::testing::XwdImage image;
    ASSERT_TRUE(kq5::testing::ReadXwd(dump.string(), image));
    Shot shot;
    shot.width = image.width;
    shot.height = image.height;
    shot.pixels = std::move(image.pixels);
    shot.Save("missing_data_folder");
    // The message box's caption bar in the middle of the screen.
    EXPECT_GT(shot.Count(shot.width / 4, shot.height / 4, shot.width * 3 / 4, shot.height * 3 / 4, kActiveCaption), 2000)
        << "no message box on the screen";
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace
}  // namespace kq5::journey
