// A circuit's file in the user's hands: the file on disk is damaged behind the program's back,
// the user asks for File > Revert, and the circuit in the window is what is left of the work; a
// page deleted with what is on it, and Undo.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kFirstPageTabX = 126, kTabY = 725;
constexpr int kCapacitorX = 350, kCapacitorY = 323;

void WriteAll(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class FileJourney : public ::testing::Test {
protected:
    // Each test runs in a folder of its own: CTest runs them side by side.
    FileJourney() : journey_{std::string("file_") + ::testing::UnitTest::GetInstance()->current_test_info()->name()} {}

    void StartWithTheExample()
    {
        circuit_ = journey_.Root() / "kept.cir";
        std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", circuit_);
        ASSERT_TRUE(journey_.Start({"kept.cir"})) << journey_.Output();
        journey_.Settle();
    }

    Journey journey_;
    std::filesystem::path circuit_;
};

TEST_F(FileJourney, RevertToADamagedFileKeepsTheCircuitThatSavingPutsBack)
{
    StartWithTheExample();
    const std::filesystem::path circuit = circuit_;
    journey_.Press("ctrl+s");
    const std::string saved = ReadAll(circuit);
    ASSERT_NE(saved.find("Name=Capacitor"), std::string::npos) << saved;
    const Shot before = journey_.Capture("file_before_damage");

    // Cut off in the middle of its header, as a copy broken off would leave it.
    WriteAll(circuit, "5.03\r\nKestrion V\r\nNorvale Softworks\r\n\r\n:**** fonts");
    journey_.Press("alt+f r");
    journey_.Capture("file_revert_question");
    journey_.Press("Return");  // Revert to the disk version? Yes
    journey_.Capture("file_revert_refused");
    journey_.Press("Return");  // the error
    const Shot after = journey_.Capture("file_after_revert");
    EXPECT_TRUE(after.SameAs(before, 0, 90, 1200, 900)) << "the circuit's window changed";

    journey_.Press("ctrl+s");
    EXPECT_EQ(ReadAll(circuit), saved) << "saving did not put the circuit back";
    EXPECT_TRUE(journey_.Running());
}

// The page that holds the circuit is deleted, after a page was added; Undo brings the page back
// with the circuit on it, and the saved file is the one from before the deletion.
TEST_F(FileJourney, UndoBringsBackADeletedPageWithWhatWasOnIt)
{
    StartWithTheExample();
    const Shot drawn = journey_.Capture();
    journey_.Press("alt+e Up Up");
    journey_.Capture("file_edit_menu");
    journey_.Press("Return");  // Add Page
    journey_.Tap(kFirstPageTabX, kTabY);
    journey_.Press("ctrl+s");
    const std::string twoPages = ReadAll(circuit_);
    ASSERT_EQ(twoPages.find("[Page]", twoPages.find("[Page]") + 1) != std::string::npos, true) << twoPages;
    const Shot before = journey_.Capture("file_two_pages");

    journey_.Press("alt+e Up Return");  // Delete Page...
    journey_.Capture("file_delete_page_list");
    journey_.Press("Return");  // the page shown, chosen in the list
    journey_.Capture("file_delete_page_question");
    journey_.Press("Return");  // not empty: delete anyhow? Yes
    const Shot deleted = journey_.Capture("file_page_deleted");
    EXPECT_FALSE(deleted.SameAs(drawn, kCapacitorX - 10, kCapacitorY - 10, kCapacitorX + 10, kCapacitorY + 10))
        << "the circuit is still drawn";
    journey_.Press("ctrl+s");
    EXPECT_EQ(ReadAll(circuit_).find("Name=Capacitor"), std::string::npos);

    journey_.Press("ctrl+z");
    const Shot undone = journey_.Capture("file_page_delete_undone");
    EXPECT_TRUE(undone.SameAs(before, 0, 90, 1200, 900)) << "Undo did not bring the page back as it was";
    journey_.Press("ctrl+s");
    EXPECT_EQ(ReadAll(circuit_), twoPages);
    EXPECT_TRUE(journey_.Running());
}

std::string Listing(const std::filesystem::path& folder)
{
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names += entry.path().filename().string() + " ";
    return names;
}

// Names with letters beyond ASCII, made in a shell (UTF-8): the title shows the name, a name typed
// in Save As is written under the user's name and not under its single-byte form (another file),
// and the recent list of the next session opens the file again.
TEST_F(FileJourney, NamesBeyondAsciiAreTheUsersNamesOnDisk)
{
    const std::string opened = "Verst\xC3\xA4rker_\xC3\xBC.cir";
    ASSERT_TRUE(journey_.MapKeysyms({"odiaeresis"})) << "xmodmap is missing (Debian package x11-xserver-utils)";
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", journey_.Root() / opened);
    ASSERT_TRUE(journey_.Start({opened})) << journey_.Output();
    journey_.Settle();
    journey_.Capture("file_utf8_title");
    journey_.Press("alt+f a");  // Save As...
    journey_.Capture("file_utf8_save_as");
    journey_.Type("Schaltung_\xC3\xB6.cir");
    journey_.Press("Return");
    const std::filesystem::path typed = journey_.Root() / "Schaltung_\xC3\xB6.cir";
    ASSERT_NE(ReadAll(typed).find("Name=Capacitor"), std::string::npos) << Listing(journey_.Root());
    EXPECT_FALSE(std::filesystem::exists(journey_.Root() / "Schaltung_\xF6.cir")) << "written under a Latin-1 name";
    journey_.Capture("file_utf8_saved");
    journey_.Signal(SIGTERM);
    ASSERT_TRUE(journey_.WaitForExit(5)) << journey_.Output();

    // The next session: File, the first recent entry, then Save As with the name it shows.
    std::filesystem::remove(typed.string() + ".bak");
    std::filesystem::last_write_time(typed, std::filesystem::last_write_time(typed) - std::chrono::hours(1));
    const auto stamp = std::filesystem::last_write_time(typed);
    ASSERT_TRUE(journey_.Start()) << journey_.Output();
    journey_.Settle();
    journey_.Press("alt+f");
    journey_.Capture("file_utf8_recent_list");
    journey_.Press("1");
    journey_.Press("alt+f a");
    journey_.Capture("file_utf8_recent_save_as");
    journey_.Press("Return");
    journey_.Capture("file_utf8_replace_question");
    journey_.Press("y");
    EXPECT_NE(std::filesystem::last_write_time(typed), stamp) << "the recent entry did not name the file";
    EXPECT_FALSE(std::filesystem::exists(journey_.Root() / "Schaltung_\xF6.cir")) << Listing(journey_.Root());
    EXPECT_TRUE(journey_.Running());
}

}  // namespace
}  // namespace kq5::journey
