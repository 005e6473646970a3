// Start-up and shutdown of the frame: the command line, the files it names, the quit question,
// children that refuse to close, and the one interactive program per data directory.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "app/command_routing.h"
#include "app/frame_window.h"
#include "ui/edit_mode.h"
#include "ui/help_bar.h"
#include "ui/tool_buttons.h"
#include "ui/program_settings.h"
#include "document/settings_file.h"
#include "app/single_instance.h"
#include "document/document_windows.h"
#include "frame_test_support.h"
#include "ui/preference_values.h"
#include "document/circuit_document.h"
#include "platform/input.h"
#include "document/component_definition.h"
#include "document/editor_services.h"
#include "analog/run_windows.h"

namespace kq5::testing {
namespace {

TEST(StartupCommandLine, WordsKeepTheirCaseAndSwitchesAreFoundCaseBlind)
{
    StartupCommandLine line = ReadCommandLine({"/root:/Data/Kq5/", "Amp.CIR"});
    EXPECT_EQ(line.root, "/Data/Kq5");
    ASSERT_EQ(line.files.size(), 1u);
    EXPECT_EQ(line.files[0], "Amp.CIR");
    EXPECT_EQ(line.batchFlags, 0);
    EXPECT_TRUE(line.leftover.empty());

    line = ReadCommandLine({"@Jobs.txt", "/s", "/pc"});
    EXPECT_EQ(line.commandFile, "Jobs.txt");
    EXPECT_EQ(line.batchFlags, kBatchSave);
    EXPECT_TRUE(line.printCircuit);
    EXPECT_FALSE(line.printAnalysis);
    EXPECT_TRUE(line.files.empty());

    line = ReadCommandLine({"@jobs.txt", "/Q", "/ROOT:/opt/kq5/"});
    EXPECT_EQ(line.batchFlags, kBatchNormal);
    EXPECT_EQ(line.leftover, "/Q");
    EXPECT_EQ(line.root, "/opt/kq5");

    line = ReadCommandLine({"@jobs.txt", "/R", "/P"});
    EXPECT_EQ(line.batchFlags, kBatchRetrieve);
    EXPECT_TRUE(line.printCircuit && line.printAnalysis);

    // Print switches belong to batch runs only; elsewhere any switch left is the error.
    line = ReadCommandLine({"amp.cir", "/PC"});
    EXPECT_FALSE(line.leftover.empty());

    // Two circuits, one of them with blanks in its name.
    line = ReadCommandLine({"My Circuits/first one.ckt", "second.ckt"});
    ASSERT_EQ(line.files.size(), 2u);
    EXPECT_EQ(line.files[0], "My Circuits/first one.ckt");
    EXPECT_EQ(line.files[1], "second.ckt");

    // A data folder with blanks stays one folder; it used to end at the first blank, and the rest
    // of its name was opened as a circuit file.
    line = ReadCommandLine({"/ROOT:/my data/kq5/", "amp.cir"});
    EXPECT_EQ(line.root, "/my data/kq5");
    ASSERT_EQ(line.files.size(), 1u);
    EXPECT_EQ(line.files[0], "amp.cir");
    line = ReadCommandLine({"amp.cir", "/ROOT:/my data", "/T"});
    EXPECT_EQ(line.root, "/my data");
    EXPECT_EQ(line.batchLine, "amp.cir /T");

    // A circuit with analysis switches is a batch run of that circuit alone.
    line = ReadCommandLine({"amp.cir", "/T"});
    EXPECT_EQ(line.batchLine, "amp.cir /T");
    EXPECT_NE(line.batchFlags, 0);
    EXPECT_TRUE(line.files.empty());
}

TEST(StartupCommandLine, TheDataPathIsTheRootWithoutItsSeparatorOrTheProgramDirectory)
{
    ResetFrameStateForTests();
    SetDataPathFromCommandLine("/opt/Kestrion/bin/kq5", "/Data/Kq5/");
    EXPECT_EQ(Frame().programDirectory, "/opt/Kestrion/bin");
    EXPECT_EQ(SettingsFile().dataPath, "/Data/Kq5");
    SetDataPathFromCommandLine("/opt/Kestrion/bin/kq5", "");
    EXPECT_EQ(SettingsFile().dataPath, "/opt/Kestrion/bin");
    ResetFrameStateForTests();
    ResetSettingsFileForTests();
}

class FrameLifecycle : public StartedFrame {
protected:
    void WriteCircuit(const std::string& name)
    {
        std::ofstream(dir_ / name) << "Test circuit\nR1 1 0 1k\nV1 1 0 1\n.END\n";
    }

    bool QuitPosted()
    {
        win::MSG message{};
        return win::PeekMessage(&message, nullptr, win::WM_QUIT, win::WM_QUIT, win::PM_NOREMOVE) != 0;
    }
};

TEST_F(FrameLifecycle, StartsWithTheFrameItsClientAndAnEmptySchematic)
{
    Start();
    ASSERT_NE(FrameWindow(), nullptr);
    // The maximised first window lends the frame its name.
    EXPECT_EQ(win::GetWindowText(FrameWindow()).rfind("Kestrion V Version 2.1.2 - [", 0), 0u);
    EXPECT_EQ(WindowKindOf(FrameWindow()), kWindowFrame);
    EXPECT_EQ(FrameRecord()->window, FrameWindow());
    ASSERT_NE(Frame().mdiClient, nullptr);
    EXPECT_TRUE(win::IsWindowVisible(Frame().mdiClient));
    WindowRecord* first = GetActiveChildRecord();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->kind, kWindowSchematic);
    EXPECT_EQ(win::GetParent(first->window), Frame().mdiClient);
    EXPECT_TRUE(win::IsZoomed(first->window));
    // Maximised means it covers the client: its client area is the MDI client's.
    win::RECT mdi{}, child{};
    win::GetClientRect(Frame().mdiClient, &mdi);
    win::GetClientRect(first->window, &child);
    EXPECT_EQ(child.right - child.left, mdi.right - mdi.left);
    EXPECT_EQ(child.bottom - child.top, mdi.bottom - mdi.top);
    // A new schematic takes the Circuit Defaults: its panes are erased in "Circuit Background"
    // (white), not in palette entry 0 (black).
    ASSERT_TRUE(first->document);
    EXPECT_EQ(first->document->backgroundColor, PreferenceSettings().defaultAttributes[48].color);
    EXPECT_EQ(first->document->backgroundColor, 15);
    EXPECT_EQ(first->document->wireFont.color, PreferenceSettings().defaultAttributes[1].color);
    EXPECT_EQ(Frame().startupWindow, first->window);
    EXPECT_EQ(GetTopCircuitRecord(), first);
    EXPECT_NE(Frame().keyboardHook, nullptr);
    // The main tool bar docked at the top, the help bar at the foot.
    ASSERT_NE(DockedBars()[0].window, nullptr);
    EXPECT_EQ(DockedBars()[0].pos, kBarTop);
    EXPECT_NE(FrameHelpBar().window, nullptr);
    EXPECT_EQ(SettingsFile().dataFileName, dir_.string() + "/kq5.dat");

    // The component buttons work from the start: the Resistor button picks the Resistor and
    // puts the schematic into Component mode.
    win::HWND resistor = win::GetDlgItem(DockedBars()[0].window, 14201);
    ASSERT_NE(resistor, nullptr);
    ASSERT_TRUE(win::IsWindowVisible(resistor));
    win::RECT button{};
    win::GetWindowRect(resistor, &button);
    win::headless::Click((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    PumpFrameMessages();
    ASSERT_NE(ChosenComponentDefinition(), nullptr);
    EXPECT_EQ(ChosenComponentDefinition()->name, "Resistor");
    EXPECT_EQ(first->mode, kCommandComponentMode);
}

TEST_F(FrameLifecycle, TheFilesOfTheCommandLineOpenAndNoEmptyWindowIsAdded)
{
    WriteCircuit("First.ckt");
    WriteCircuit("second.ckt");
    Start({(dir_ / "First.ckt").string(), (dir_ / "second.ckt").string()});
    int circuits = 0;
    for (const auto& record : WindowRecords().records) {
        if (record->kind == kWindowTextCircuit) ++circuits;
        EXPECT_NE(record->kind, kWindowSchematic);
    }
    EXPECT_EQ(circuits, 2);
    EXPECT_NE(FindRecordByTitle((dir_ / "First.ckt").string()), nullptr);
}

TEST_F(FrameLifecycle, FilesDroppedOnTheFrameOpenWhenTheProgramKnowsTheirKind)
{
    Start();
    WriteCircuit("first.ckt");
    std::ofstream(dir_ / "notes.xyz") << "nothing the program opens\n";
    WriteCircuit("third.ckt");
    win::RECT frame{};
    win::GetWindowRect(FrameWindow(), &frame);
    win::InputDropFiles(frame.left + 200, frame.top + 8,
                        {(dir_ / "first.ckt").string(), (dir_ / "notes.xyz").string(), (dir_ / "third.ckt").string()});
    PumpFrameMessages();
    EXPECT_NE(FindRecordByTitle((dir_ / "first.ckt").string()), nullptr);
    EXPECT_NE(FindRecordByTitle((dir_ / "third.ckt").string()), nullptr);
    EXPECT_EQ(FindRecordByTitle((dir_ / "notes.xyz").string()), nullptr);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(FrameLifecycle, TheQuitQuestionDecides)
{
    Start();
    Settings().operationalOptions |= kOptionQuitWarning;
    win::PushMessageBoxAnswer(win::IDNO);
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text.rfind("Quit Kestrion V?", 0), 0u);
    ASSERT_NE(Frame().frame, nullptr);
    EXPECT_TRUE(win::IsWindow(Frame().frame));

    win::PushMessageBoxAnswer(win::IDYES);
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    EXPECT_EQ(Frame().frame, nullptr);
    EXPECT_EQ(FrameRecord(), nullptr);
    EXPECT_TRUE(WindowRecords().records.empty());
    EXPECT_TRUE(QuitPosted());
}

TEST_F(FrameLifecycle, NoQuestionWithoutTheOptionOrAfterAFatalStart)
{
    Start();
    Settings().operationalOptions &= ~kOptionQuitWarning;
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_EQ(Frame().frame, nullptr);
}

TEST_F(FrameLifecycle, ABatchRunIsNeverAskedToQuit)
{
    Start();
    Settings().operationalOptions |= kOptionQuitWarning;
    Frame().batchMode = kBatchModeNormal;
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_EQ(Frame().frame, nullptr);
}

TEST_F(FrameLifecycle, AChildThatRefusesStopsTheQuitAndLaterWindowsStayOpen)
{
    Start();
    Settings().operationalOptions &= ~kOptionQuitWarning;
    WindowRecord* first = GetActiveChildRecord();
    WindowRecord* second = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(second, nullptr);
    first->modified = 1;
    win::PushMessageBoxAnswer(win::IDCANCEL);  // "Save changes in ...?"
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    ASSERT_NE(Frame().frame, nullptr);
    EXPECT_TRUE(IsLiveWindowRecord(first));
    EXPECT_TRUE(IsLiveWindowRecord(second));

    // Answered No the second time: everything closes.
    win::PushMessageBoxAnswer(win::IDNO);
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    EXPECT_EQ(Frame().frame, nullptr);
}

TEST_F(FrameLifecycle, ACloseDuringARunStopsTheRunFirst)
{
    Start();
    RunControl().runStarted = 1;
    RunControl().running = 1;
    win::SendMessage(FrameWindow(), win::WM_CLOSE, 0, 0);
    EXPECT_TRUE(Frame().quitPending);
    ASSERT_NE(Frame().frame, nullptr);
    win::MSG message{};
    ASSERT_TRUE(win::PeekMessage(&message, FrameWindow(), 0, 0, win::PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<win::UINT>(win::WM_KEYDOWN));
    EXPECT_EQ(message.wParam, static_cast<win::WPARAM>(win::VK_ESCAPE));
    // Once the run is over the quit goes on, though an analysis has been run.
    RunControl().running = 0;
    Settings().operationalOptions &= ~kOptionQuitWarning;
    PumpFrameMessages();  // the WM_CLOSE posted again now closes
    EXPECT_EQ(Frame().frame, nullptr);
}

TEST_F(FrameLifecycle, ATerminationSignalClosesTheFrame)
{
    Start();
    // A signal is the session ending, not the user's Quit: the quit question is not asked.
    Settings().operationalOptions |= kOptionQuitWarning;
    win::ClearMessageBoxLog();
    InstallTerminationSignals();
    std::raise(SIGHUP);
    CheckExternalRequests();
    PumpFrameMessages();
    EXPECT_EQ(Frame().frame, nullptr);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
}

TEST_F(FrameLifecycle, ResizingWithoutBarsGivesTheClientEverythingAndItsBorderOutside)
{
    Start();
    ASSERT_NE(FrameHelpBar().window, nullptr);
    // The help bar takes its lines from the bottom; the bars' one-pixel borders overlap.
    win::SendMessage(FrameWindow(), win::WM_SIZE, 0, win::MAKELPARAM(600, 400));
    win::RECT bar{};
    win::GetWindowRect(FrameHelpBar().window, &bar);
    win::RECT client{};
    win::GetWindowRect(Frame().mdiClient, &client);
    EXPECT_EQ(client.bottom, bar.top + 1);
    EXPECT_EQ(bar.bottom - bar.top, HelpBarLineHeight());

    // The bar docked at the top takes its height from the top.
    win::RECT tools{};
    win::GetWindowRect(DockedBars()[0].window, &tools);
    EXPECT_EQ(client.top, tools.bottom);

    ASSERT_EQ(RouteCommand(FrameWindow(), 17540, 0), 0);  // Help Bar off
    EXPECT_FALSE(HelpBarOption());
    ASSERT_EQ(RouteCommand(FrameWindow(), 17539, 0), 0);  // Tools off
    EXPECT_EQ(DockedBars()[0].visible, 0);
    win::SendMessage(FrameWindow(), win::WM_SIZE, 0, win::MAKELPARAM(600, 400));
    win::RECT rect{};
    win::GetWindowRect(Frame().mdiClient, &rect);
    win::POINT origin{0, 0};
    win::ClientToScreen(FrameWindow(), &origin);
    EXPECT_EQ(rect.left - origin.x, -1);
    EXPECT_EQ(rect.top - origin.y, -1);
    EXPECT_EQ(rect.right - origin.x, 601);
    EXPECT_EQ(rect.bottom - origin.y, 401);
    EXPECT_EQ(Frame().clientWidth, 600);
    EXPECT_EQ(Frame().clientHeight, 400);
}

TEST_F(FrameLifecycle, ASecondStartAsksTheFirstToComeForwardWithItsFiles)
{
    ASSERT_EQ(ClaimSingleInstance(dir_.string()), InstanceClaim::First);
    EXPECT_FALSE(TakeRaiseRequests().raise);
    const std::vector<std::string> files = {"/tmp/two words.cir", "/tmp/odd\nname.ckt"};
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A program started anew holds none of the first one's files.
        ReleaseSingleInstance();
        const InstanceClaim claim = ClaimSingleInstance(dir_.string(), false, files);
        _exit(claim == InstanceClaim::OtherRaised ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const RaiseRequests requests = TakeRaiseRequests();
    EXPECT_TRUE(requests.raise);
    EXPECT_EQ(requests.files, files);
    EXPECT_FALSE(TakeRaiseRequests().raise);
    ReleaseSingleInstance();
    // Once given back, the next start is the first again.
    EXPECT_EQ(ClaimSingleInstance(dir_.string(), true), InstanceClaim::First);
    ReleaseSingleInstance();
}

}  // namespace
}  // namespace kq5::testing
