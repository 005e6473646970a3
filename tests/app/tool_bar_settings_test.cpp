#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ui/component_buttons.h"
#include "app/tool_bar_settings.h"
#include "ui/tool_button_table.h"
#include "ui/tool_buttons.h"
#include "core/file_units.h"
#include "core/key_file.h"
#include "platform/backend.h"

namespace kq5 {
namespace {

namespace fs = std::filesystem;

class ToolBarSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        ResetFileUnitsForTests();
        ResetToolButtonRowsForTests();
        ResetDockedBarsForTests();
        SetDefaultToolBarSettings();
        file_ = fs::temp_directory_path() / ("kq5_toolbars_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".dat");
    }
    void TearDown() override
    {
        fs::remove(file_);
        ResetToolButtonRowsForTests();
        ResetDockedBarsForTests();
        ResetFileUnitsForTests();
    }

    std::string Write()
    {
        int unit = FindFreeUnit();
        EXPECT_EQ(CreateUnit(file_.string(), unit), 0);
        EXPECT_EQ(WriteSection(unit, "Tool Windows"), 0);
        EXPECT_EQ(WriteToolWindowsSection(unit), 0);
        EXPECT_EQ(WriteSection(unit, "Tool Buttons"), 0);
        EXPECT_EQ(WriteToolButtonsSection(unit), 0);
        EXPECT_EQ(WriteSection(unit, "Tool Bitmaps"), 0);
        EXPECT_EQ(WriteToolBitmapsSection(unit), 0);
        EXPECT_EQ(CloseUnit(unit), 0);
        std::ifstream in(file_);
        std::stringstream text;
        text << in.rdbuf();
        // Compared with LF line ends whatever the file uses.
        std::string lf;
        for (char c : text.str())
            if (c != '\r') lf += c;
        return lf;
    }

    // Reads the sections back the way the settings file hands their keys over.
    void Read(const std::string& content)
    {
        {
            std::ofstream out(file_, std::ios::binary);
            out << content;
        }
        int unit = FindFreeUnit();
        ASSERT_EQ(OpenUnit(file_.string(), unit), 0);
        std::string line, key, value, section;
        while (ReadKeyLine(unit, line) == 0 && !line.empty()) {
            if (line.front() == '[') {
                section = line;
                continue;
            }
            SplitKeyLine(line, key, value);
            if (section == "[Tool Windows]") ReadToolWindowsKey(key, value, win::RECT{0, 0, 800, 600});
            else if (section == "[Tool Buttons]") ReadToolButtonsKey(key, value);
            else if (section == "[Tool Bitmaps]") ReadToolBitmapsKey(key, value);
        }
        CloseUnit(unit);
    }

    static ToolButtonRow& Row(std::uint32_t command)
    {
        return ToolButtonRows()[static_cast<std::size_t>(FindToolButton(command))];
    }

    fs::path file_;
};

TEST_F(ToolBarSettingsTest, SectionsAreWrittenInTheirFormat)
{
    std::string text = Write();
    EXPECT_NE(text.find("[Tool Windows]\n;Pos,Visible,x,y\nTool_0=4,1,80,80\nTool_1=0,0,100,100\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Tool_9=0,0,260,260\n"), std::string::npos);
    EXPECT_NE(text.find("\nROTATE=Schematic=On, Analysis=Off\n"), std::string::npos);
    EXPECT_EQ(text.find("\nOPENFILE="), std::string::npos);  // the File group is not written
    EXPECT_NE(text.find("\nTCOMP20=Schematic=Off, Analysis=Off\n"), std::string::npos);
    EXPECT_NE(text.find("BITMAP_COLS=24\nBITMAP_ROWS=22\nBITMAP_NAME_1=GROUND\nBITMAP_DATA_1="), std::string::npos);
    EXPECT_EQ(text.find("BITMAP_NAME_9"), std::string::npos);  // empty names are left out
    EXPECT_EQ(text.find("BITMAP_DATA_9"), std::string::npos);
}

TEST_F(ToolBarSettingsTest, LayoutChoiceAndPicturesSurviveARoundTrip)
{
    DockedBars()[0].pos = kBarRight;
    DockedBars()[0].visible = 0;
    DockedBars()[4].pos = kBarFloating;
    DockedBars()[4].visible = 1;
    DockedBars()[4].x = 300;
    DockedBars()[4].y = 200;
    Row(17209).onSchematic = 0;
    Row(18400).onAnalysis = 0;
    Row(17205).onSchematic = 1;
    auto& pictures = ComponentButtons().current;
    pictures[10].name = "OPAMP";
    pictures[10].rows.fill(0);
    pictures[10].rows[0] = 0x1FFFFC;
    pictures[10].rows[16] = 0x80000004;
    const auto saved = pictures;
    std::string text = Write();

    ResetDockedBarsForTests();
    ResetToolButtonRowsForTests();
    ResetComponentButtonPictures(false);
    Read(text);
    EXPECT_EQ(DockedBars()[0].pos, kBarRight);
    EXPECT_EQ(DockedBars()[0].visible, 0);
    EXPECT_EQ(DockedBars()[4].pos, kBarFloating);
    EXPECT_EQ(DockedBars()[4].visible, 1);
    EXPECT_EQ(DockedBars()[4].x, 300);
    EXPECT_EQ(DockedBars()[4].y, 200);
    EXPECT_EQ(Row(17209).onSchematic, 0);
    EXPECT_EQ(Row(18400).onAnalysis, 0);
    EXPECT_EQ(Row(17205).onSchematic, 1);
    for (std::size_t i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(pictures[i].name, saved[i].name) << i;
        EXPECT_EQ(pictures[i].rows, saved[i].rows) << i;
    }
}

TEST_F(ToolBarSettingsTest, ReadingIsCaseBlindAndIgnoresWhatItCannotUse)
{
    Read("[Tool Windows]\n"
         "tool_2=1,1,5000,-400\n"   // kept inside the client area
         "Tool_10=1,1,1,1\n"        // no such slot
         "Tool_x=1,1,1,1\n"
         "Tool_3=1,1,abc,4\n"       // a bad number leaves the slot as it was
         "[Tool Buttons]\n"
         "rotate=Analysis=On\n"     // only the item given changes
         "NOSUCH=Schematic=Off, Analysis=Off\n"
         "[Tool Bitmaps]\n"
         "BITMAP_COLS=99\n"
         "BITMAP_NAME_21=TOO FAR\n"
         "BITMAP_NAME_0=NONE\n");
    EXPECT_EQ(DockedBars()[2].pos, kBarFloating);
    EXPECT_EQ(DockedBars()[2].x, 800 - 30);
    EXPECT_EQ(DockedBars()[2].y, 0);
    EXPECT_EQ(DockedBars()[3].x, 140);
    EXPECT_EQ(DockedBars()[3].visible, 0);
    EXPECT_EQ(Row(17209).onSchematic, 1);
    EXPECT_EQ(Row(17209).onAnalysis, 1);
    EXPECT_EQ(ComponentButtons().current[0].name, "GROUND");
}

TEST_F(ToolBarSettingsTest, ShortPictureDataLeavesTheOtherRowsUnchanged)
{
    auto before = ComponentButtons().current[2].rows;
    Read("[Tool Bitmaps]\nBITMAP_DATA_3=7,8,9\n");
    auto after = ComponentButtons().current[2].rows;
    EXPECT_EQ(after[0], 7u);
    EXPECT_EQ(after[1], 8u);
    EXPECT_EQ(after[2], 9u);
    for (std::size_t r = 3; r < after.size(); ++r) EXPECT_EQ(after[r], before[r]) << r;
    // More than 17 values: the rest are ignored.
    Read("[Tool Bitmaps]\nBITMAP_DATA_3=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,5,5,5\n");
    for (std::uint32_t word : ComponentButtons().current[2].rows) EXPECT_EQ(word, 1u);
}

TEST_F(ToolBarSettingsTest, NoToolButtonsSectionGivesTheDefaultSets)
{
    Row(17209).onSchematic = 0;
    SetDefaultToolBarSettings();
    Read("[Tool Windows]\nTool_0=5,1,0,0\n");
    EXPECT_EQ(Row(17209).onSchematic, 1);
    EXPECT_EQ(Row(17564).onSchematic, 1);
    EXPECT_EQ(Row(17566).onSchematic, 0);  // LINE is one of the thirty hidden
    EXPECT_EQ(DockedBars()[0].pos, kBarBottom);
}

}  // namespace
}  // namespace kq5
