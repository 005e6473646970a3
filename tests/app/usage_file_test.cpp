#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "ui/app_state.h"
#include "ui/program_settings.h"
#include "document/settings_file.h"
#include "ui/usage_file.h"
#include "document/usage_report.h"
#include "ui/user_names.h"
#include "platform/system.h"
#include "document/component_types.h"

namespace kq5 {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class UsageFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppStateForTests();
        ResetSettingsFileForTests();
        ResetUsageForTests();
        ResetUserAndCompanyNamesForTests();
        // The part counts of whatever circuit an earlier test built go into a run's statistics.
        ResetComponentTypeUseCounts();
        dir_ = fs::temp_directory_path() / ("kq5_usage_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        SetSettingsDataPath(dir_.string());
    }
    void TearDown() override
    {
        ResetUsageForTests();
        ResetSettingsFileForTests();
        fs::remove_all(dir_);
    }
    fs::path UsePath() const { return dir_ / "use.kq5"; }
    fs::path dir_;
};

TEST_F(UsageFileTest, FamiliesFoldAndDemosAndJobsCountNothing)
{
    Usage().statistics.componentDefinitionCount = 3;
    CountCommandUse(3896);  // recent file 5
    CountCommandUse(17355);
    CountCommandUse(14580);
    CountCommandUse(14612);
    CountCommandUse(17380);
    CountCommandUse(42002);
    CountCommandUse(42003);  // beyond the component list
    CountCommandUse(17547);
    CountCommandUse(99999);
    EXPECT_EQ(CommandUseCountOfKey("LastLoaded"), 1u);
    EXPECT_EQ(CommandUseCountOfKey("LastComp"), 1u);
    EXPECT_EQ(CommandUseCountOfKey("Performance"), 1u);
    EXPECT_EQ(CommandUseCountOfKey("Graph3D"), 1u);
    EXPECT_EQ(CommandUseCountOfKey("MC"), 1u);
    EXPECT_EQ(CommandUseCountOfKey("Components"), 1u);
    EXPECT_EQ(CommandUseCountOfKey("Tools7", 1), 1u);
    EXPECT_EQ(CommandUseCountOfKey("Tools7", 2), 0u);

    Settings().demoRunning = true;
    CountCommandUse(17100);
    Settings().demoRunning = false;
    Settings().batchRun = true;
    CountCommandUse(17100);
    RecordRunStatistics(5);
    Settings().batchRun = false;
    EXPECT_EQ(CommandUseCount(17100), 0u);
    EXPECT_EQ(Usage().statistics.runs, 0);
}

TEST_F(UsageFileTest, EveryRowHasItsOwnIdButTheKnownDoubles)
{
    std::set<std::uint32_t> ids;
    int unknown = 0;
    for (const CommandUseRow& row : Usage().rows) {
        if (row.id == 0) {
            ++unknown;
            continue;
        }
        if (!ids.insert(row.id).second) {
            EXPECT_EQ(row.id, 17547u) << row.key;
        }
    }
    EXPECT_EQ(unknown, 1);  // SingleStep
    EXPECT_EQ(Usage().rows[0].id, 13400u);
    EXPECT_STREQ(Usage().rows[191].key, "HasSTBAR");
}

TEST_F(UsageFileTest, RoundTripKeepsRepeatedKeysOnTheirOwnRows)
{
    std::ofstream(UsePath(), std::ios::binary)
        << "Version=Kestrion V 2.1.2\r\nCreationDate=01/02/99\r\nno equals sign\r\n"
           "model=7\nModel=3\nModel=99\nText = 4\nText=6\nRuns=10\nAvgAnalogNode=2.5\nMaxAnalogNode=40\n"
           "AvgDigitalNode=nan\nCompRuns=-3\nCOMP_Resistor=12\nCOMP_NoSuchType=5\nUnknownKey=1\nNew=2\n";
    LoadUsageFile();
    EXPECT_EQ(CommandUseCountOfKey("Model", 1), 7u);
    EXPECT_EQ(CommandUseCountOfKey("Model", 2), 3u);
    EXPECT_EQ(CommandUseCountOfKey("Text", 1), 4u);
    EXPECT_EQ(CommandUseCountOfKey("Text", 2), 6u);
    EXPECT_EQ(CommandUseCount(17100), 2u);
    EXPECT_EQ(Usage().statistics.runs, 10);
    EXPECT_EQ(Usage().statistics.compRuns, 0);
    EXPECT_EQ(Usage().statistics.avgDigitalNode, 0.0);

    CountCommandUse(12913);  // the second Model row
    CountCommandUse(17402);  // the second Text row
    RecordRunStatistics(4);
    EXPECT_EQ(Usage().statistics.runs, 11);
    EXPECT_DOUBLE_EQ(Usage().statistics.avgAnalogNode, 25.0 / 11.0);
    UserAndCompanyNamesSetting().userName = "Ada";
    ASSERT_EQ(WriteUsageReport(), 0);
    const std::string text = ReadAll(UsePath());
    EXPECT_EQ(text.rfind("Version=Kestrion V 2.1.2\nUserName=Ada\nCompanyName=\nCreationDate=01/02/99\nLastDate=", 0), 0u)
        << text;
    EXPECT_NE(text.find("\nExeDate=May 20 1999\nWindowsVersion=WINNT4 4.0 "), std::string::npos) << text;
    EXPECT_NE(text.find("\nModel=7\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nModel=4\n"), std::string::npos) << text;
    EXPECT_LT(text.find("\nModel=7\n"), text.find("\nModel=4\n"));
    EXPECT_LT(text.find("\nText=4\n"), text.find("\nText=7\n"));
    EXPECT_NE(text.find("\nRuns=11\n"), std::string::npos);
    EXPECT_NE(text.find("\nCOMP_Resistor=12\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("NoSuchType"), std::string::npos);
    EXPECT_FALSE(fs::exists(UsePath().string() + ".tmp"));

    // A second start reads back exactly what was written: nothing lost from one run to the next.
    ResetUsageForTests();
    LoadUsageFile();
    EXPECT_EQ(CommandUseCountOfKey("Model", 1), 7u);
    EXPECT_EQ(CommandUseCountOfKey("Model", 2), 4u);
    EXPECT_EQ(CommandUseCountOfKey("Text", 2), 7u);
    EXPECT_EQ(Usage().statistics.creationDateLine, "CreationDate=01/02/99");
}

TEST_F(UsageFileTest, AFirstRunDatesTheFileAndAMissingDirectoryIsNoCrash)
{
    LoadUsageFile();
    const std::string today = win::GetDateFormat(win::LOCALE_USER_DEFAULT, win::DATE_SHORTDATE, nullptr, "MM/dd/yy");
    EXPECT_EQ(Usage().statistics.creationDateLine, "CreationDate=" + today);
    ASSERT_EQ(WriteUsageReport(), 0);
    EXPECT_NE(ReadAll(UsePath()).find("\nCreationDate=" + today + "\n"), std::string::npos);

    SetSettingsDataPath((dir_ / "missing").string());
    LoadUsageFile();
    EXPECT_NE(WriteUsageReport(), 0);
}

TEST(UsageDrives, EachKindOfDriveIsReportedOnceInTheOrderMet)
{
    EXPECT_EQ(DriveReportLines("/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\n"), "");
    EXPECT_EQ(DriveReportLines("/dev/sr0 /media/a iso9660 ro 0 0\n/dev/sr1 /media/b udf ro 0 0\n"
                               "srv:/x /mnt/x nfs4 rw 0 0\n"),
              "Drive=CD\nDrive=Remote\n");
}

}  // namespace
}  // namespace kq5
