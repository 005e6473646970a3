// A circuit's file in the user's hands: the file on disk is damaged behind the program's back,
// the user asks for File > Revert, and the circuit in the window is what is left of the work.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

void WriteAll(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class FileJourney : public ::testing::Test {
protected:
    FileJourney() : journey_{"file"} {}

    void Keys(const std::string& keys)
    {
        journey_.Key(keys);
        journey_.Settle();
    }

    Journey journey_;
};

TEST_F(FileJourney, RevertToADamagedFileKeepsTheCircuitThatSavingPutsBack)
{
    const std::filesystem::path circuit = journey_.Root() / "kept.cir";
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", circuit);
    ASSERT_TRUE(journey_.Start({"kept.cir"})) << journey_.Output();
    journey_.Settle();
    Keys("ctrl+s");
    const std::string saved = ReadAll(circuit);
    ASSERT_NE(saved.find("Name=Capacitor"), std::string::npos) << saved;
    const Shot before = journey_.Capture("file_before_damage");

    // Cut off in the middle of its header, as a copy broken off would leave it.
    WriteAll(circuit, "5.03\r\nKestrion V\r\nNorvale Softworks\r\n\r\n:**** fonts");
    Keys("alt+f r");
    journey_.Capture("file_revert_question");
    Keys("Return");  // Revert to the disk version? Yes
    journey_.Capture("file_revert_refused");
    Keys("Return");  // the error
    const Shot after = journey_.Capture("file_after_revert");
    EXPECT_TRUE(after.SameAs(before, 0, 90, 1200, 900)) << "the circuit's window changed";

    Keys("ctrl+s");
    EXPECT_EQ(ReadAll(circuit), saved) << "saving did not put the circuit back";
    EXPECT_TRUE(journey_.Running());
}

}  // namespace
}  // namespace kq5::journey
