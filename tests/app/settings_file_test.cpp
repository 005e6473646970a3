#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ui/app_state.h"
#include "ui/help_bar.h"
#include "ui/program_settings.h"
#include "document/settings_file.h"
#include "ui/user_names.h"
#include "core/file_units.h"
#include "core/key_file.h"
#include "document/document_services.h"
#include "document/file_names.h"

namespace kq5 {
namespace {

namespace fs = std::filesystem;

// A section of another owner, as a-section routine is written against the table.
struct PaletteProbe {
    int count = 3;
    std::string name = "Default";
};
PaletteProbe& Probe()
{
    static PaletteProbe probe;
    return probe;
}
void SetProbeDefaults() { Probe() = PaletteProbe{}; }
int TransferProbeSection(SettingsStream& stream)
{
    if (IsSettingsWriting(stream)) {
        if (int status = WriteKeyInt(stream.unit, "Count", Probe().count)) return status;
        return WriteKeyString(stream.unit, "Name", Probe().name);
    }
    std::string key, value;
    while (NextSettingsKey(stream, key, value)) {
        if (key == "COUNT") Probe().count = ReadKeyInt(value);
        if (key == "NAME") Probe().name = value;
    }
    return stream.status;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppStateForTests();
        ResetFileUnitsForTests();
        ResetSettingsFileForTests();
        ResetUserAndCompanyNamesForTests();
        FreeRecentFiles();
        SetHelpBarMessageId(nullptr, 0);
        dir_ = fs::temp_directory_path() / ("kq5_settings_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        Settings().programDirectory = dir_.string() + "/";
        RegisterSettingsSection("palettes", &TransferProbeSection, &SetProbeDefaults);
        SetSettingsDataPath(dir_.string());
    }
    void TearDown() override
    {
        ResetSettingsFileForTests();
        FreeRecentFiles();
        fs::remove_all(dir_);
    }
    fs::path DataFile() const { return dir_ / "kq5.dat"; }

    // Reads the file and returns what went to stderr.
    std::string ReadCapturingStderr()
    {
        ::testing::internal::CaptureStderr();
        ReadSettings();
        return ::testing::internal::GetCapturedStderr();
    }

    // Reads a damaged file after every setting was moved off its default: all come back to the
    // defaults and one warning is given.
    void ExpectDefaultsAndOneWarning(const std::string& content, const std::string& what)
    {
        WriteAll(DataFile(), content);
        SettingsFile().picturePath = "/changed";
        Probe().count = 99;
        DocumentServices().recentFiles[0] = "/changed.cir";
        Settings().recentComponents[0] = "R9";
        SetHelpBarMessageId(nullptr, 0);
        const std::string err = ReadCapturingStderr();
        EXPECT_EQ(SettingsFile().picturePath, dir_.string() + "/data/") << what;
        EXPECT_EQ(Probe().count, 3) << what;
        EXPECT_EQ(DocumentServices().recentFiles[0], "") << what;
        EXPECT_EQ(Settings().recentComponents[0], "") << what;
        EXPECT_NE(err.find("is damaged or is not a settings file"), std::string::npos) << what << ": " << err;
        EXPECT_EQ(err.find("kq5:"), err.rfind("kq5:")) << what << ": one warning, " << err;
        EXPECT_EQ(HelpBarMessageId(), content.empty() ? 13516 : 13519) << what;
    }

    fs::path dir_;
};

TEST_F(SettingsFileTest, SectionsSurviveARoundTripWithLongValuesWhole)
{
    const std::string longDir = dir_.string() + "/" + std::string(180, 'd') + "/";
    SettingsFile().dataDirectory = longDir;
    SettingsFile().picturePath = "/pictures/With Blanks/" + std::string(150, 'p');
    Probe().count = 42;
    Probe().name = "Mine";
    DocumentServices().recentFiles[0] = "/work/Amp.cir";
    DocumentServices().recentFiles[1] = "/work/" + std::string(200, 'x') + ".CIR";
    Settings().recentComponents[0] = "Q2N2222";
    ASSERT_EQ(WriteSettings(), 0);
    EXPECT_FALSE(fs::exists(DataFile().string() + ".tmp"));

    const std::string text = ReadAll(DataFile());
    EXPECT_EQ(text.rfind("[Main]\r\nFileType=KQ5.DAT\r\nVersion=5.40\r\nProgram=Kestrion V\r\nKQ5DATA=", 0), 0) << text;
    // The ten sections in their order, each after a blank line.
    std::size_t at = 0;
    for (const char* name : kSettingsSectionNames) {
        const std::size_t next = text.find(std::string("[") + name + "]", at);
        ASSERT_NE(next, std::string::npos) << name;
        if (next != 0) {
            EXPECT_EQ(text.substr(next - 4, 4), "\r\n\r\n") << name;
        }
        at = next;
    }

    SetDefaultSettings();
    EXPECT_EQ(Probe().count, 3);
    EXPECT_EQ(DocumentServices().recentFiles[0], "");
    ReadSettings();
    EXPECT_EQ(SettingsFile().dataDirectory, longDir);
    EXPECT_EQ(SettingsFile().picturePath, "/pictures/With Blanks/" + std::string(150, 'p'));
    EXPECT_EQ(SettingsFile().fileVersion, kSettingsVersion);
    EXPECT_EQ(Probe().count, 42);
    EXPECT_EQ(Probe().name, "Mine");
    EXPECT_EQ(DocumentServices().recentFiles[0], "/work/Amp.cir");
    EXPECT_EQ(DocumentServices().recentFiles[1], "/work/" + std::string(200, 'x') + ".CIR");
    EXPECT_EQ(Settings().recentComponents[0], "Q2N2222");

    // A second write gives the same bytes: nothing was cut on the way.
    ASSERT_EQ(WriteSettings(), 0);
    EXPECT_EQ(ReadAll(DataFile()), text);
}

TEST_F(SettingsFileTest, ConfigParserReadsTheFile)
{
    SettingsFile().dataDirectory = "/opt/kq5/data/";
    SettingsFile().picturePath = "";
    Probe().count = 7;
    DocumentServices().recentFiles[0] = "/work/amp.cir";
    ASSERT_EQ(WriteSettings(), 0);
    const std::string script = dir_.string() + "/check.py";
    WriteAll(script,
             "import configparser, sys\n"
             "c = configparser.ConfigParser(interpolation=None, strict=True)\n"
             "c.optionxform = str\n"
             "c.read(sys.argv[1])\n"
             "print(c['Main']['FileType'], c['Main']['KQ5DATA'], c['Palettes']['Count'],\n"
             "      c['Last Loaded Files']['FILE_1'], len(c.sections()))\n");
    std::string out;
    FILE* p = popen(("python3 " + script + " " + DataFile().string() + " 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    const int status = pclose(p);
    ASSERT_EQ(status, 0) << "python3 with configparser is needed: " << out;
    EXPECT_EQ(out, "KQ5.DAT /opt/kq5/data/ 7 /work/amp.cir 10\n");
}

TEST_F(SettingsFileTest, CaseRulesOfHeadersKeysAndFileType)
{
    // Keys and the FileType value are case-blind; an unknown section is skipped whole.
    WriteAll(DataFile(),
             "; comment\n\n[Main]\nfiletype=kq5.dat\nkq5data=/Data/Dir/\n"
             "[Unknown Section]\nCount=1\n[Palettes]\ncount=5\n");
    ReadSettings();
    EXPECT_EQ(SettingsFile().dataDirectory, "/Data/Dir/");
    EXPECT_EQ(Probe().count, 5);
    EXPECT_EQ(HelpBarMessageId(), 0);

    // A header in lower case is not the section: its keys are not read.
    WriteAll(DataFile(), "[Main]\nFileType=KQ5.DAT\n[palettes]\nCount=6\n");
    ReadSettings();
    EXPECT_EQ(Probe().count, 3);

    // KQ5.INI is found whatever its case and only read.
    WriteAll(dir_ / "kq5.ini", "[Kestrion V]\nUserName=Ada Lovelace\nCompanyName=Analytical Engines\n");
    ReadSettings();
    EXPECT_EQ(UserAndCompanyNamesSetting().userName, "Ada Lovelace");
    EXPECT_EQ(UserAndCompanyNamesSetting().companyName, "Analytical Engines");
    EXPECT_EQ(ReadAll(dir_ / "kq5.ini"), "[Kestrion V]\nUserName=Ada Lovelace\nCompanyName=Analytical Engines\n");
}

TEST_F(SettingsFileTest, OlderLayoutIsReadAndRewrittenSectioned)
{
    std::string old = "5.30\n/old/Data Dir/\n30\n";
    for (int i = 0; i < 30; ++i) old += std::to_string(10 + i) + ",0,4," + std::to_string(i % 70) + "\n";
    old += "515\n1\n2\n/old/a.cir\n/old/b.cir\n";
    WriteAll(DataFile(), old);
    ReadSettings();
    EXPECT_EQ(HelpBarMessageId(), 0);
    EXPECT_EQ(SettingsFile().dataDirectory, "/old/Data Dir/");
    ASSERT_EQ(SettingsFile().olderFonts.size(), 28u);
    EXPECT_EQ(SettingsFile().olderFonts[27].height, 37);
    EXPECT_EQ(SettingsFile().olderFonts[27].style, 4);
    EXPECT_EQ(Settings().operationalOptions, 515u | 0x4000u);
    EXPECT_EQ(DocumentServices().recentFiles[1], "/old/b.cir");

    ASSERT_EQ(WriteSettings(), 0);
    const std::string text = ReadAll(DataFile());
    EXPECT_EQ(text.rfind("[Main]\r\n", 0), 0u);
    EXPECT_NE(text.find("KQ5DATA=/old/Data Dir/\r\n"), std::string::npos);
    EXPECT_NE(text.find("FILE_2=/old/b.cir\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, DamagedOrForeignFilesGiveTheDefaultsAndOneWarning)
{
    ExpectDefaultsAndOneWarning("", "empty");
    ExpectDefaultsAndOneWarning("[Main]\nFileTy", "truncated");
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919 + 13) & 0xFF);
    ExpectDefaultsAndOneWarning(binary, "binary");
    ExpectDefaultsAndOneWarning(std::string(1 << 20, 'x') + "\n" + std::string(1 << 20, '[') + "\n", "megabyte lines");
    ExpectDefaultsAndOneWarning("[Main]\nFileType=KQ5.CIR\nKQ5DATA=/x/\n[Palettes]\nCount=9\n", "foreign FileType");
    ExpectDefaultsAndOneWarning("[Palettes]\nCount=9\n", "no Main section");
    ExpectDefaultsAndOneWarning("5.30\n/d/\n2147483647\n1,0,0,0\n", "older layout, huge font count");
    ExpectDefaultsAndOneWarning("5.3\n/d/\n-5\n", "older layout, negative count");
    ExpectDefaultsAndOneWarning("5.30\n/d/\n1\n1,0,0,0\n515\n1\n999999999\n/a.cir\n", "older layout, huge file count");
    ExpectDefaultsAndOneWarning("5.30\n/d/\nzz\n", "older layout, bad number");
    ExpectDefaultsAndOneWarning("5.30\n/d/\n0\n99999999999999999999\n", "older layout, number out of range");
}

// A hand-edited file with one slip (here the FileType key) is not the settings, but it is the
// user's: the write at exit moves it aside under a name the warning gave, never over an earlier
// kept copy, and an empty file is simply replaced.
TEST_F(SettingsFileTest, ADamagedFileIsKeptAsideBeforeTheDefaultsAreWritten)
{
    const std::string slip = "[Main]\nFileTyp=KQ5.DAT\nKQ5DATA=/mine/\n[Palettes]\nCount=9\n";
    const fs::path kept = dir_ / "kq5.dat.damaged";
    for (const fs::path& expected : {kept, fs::path(kept.string() + "2")}) {
        WriteAll(DataFile(), slip);
        const std::string err = ReadCapturingStderr();
        EXPECT_NE(err.find("will be kept as '" + expected.string() + "'"), std::string::npos) << err;
        EXPECT_EQ(Probe().count, 3);
        EXPECT_EQ(ReadAll(DataFile()), slip) << "nothing is touched before the exit";
        ASSERT_EQ(WriteSettings(), 0);
        EXPECT_EQ(ReadAll(expected), slip);
        EXPECT_NE(ReadAll(DataFile()).find("FileType=KQ5.DAT"), std::string::npos);
        // Written once, the file is a good one: the next write replaces it as usual.
        Probe().count = 4;
        ASSERT_EQ(WriteSettings(), 0);
        EXPECT_EQ(ReadAll(expected), slip);
    }
    // The name the warning gave, taken by something else before the exit: the next free one.
    WriteAll(DataFile(), slip);
    ReadCapturingStderr();
    ASSERT_EQ(SettingsFile().damagedKeptName, kept.string() + "3");
    WriteAll(kept.string() + "3", "someone else's");
    ASSERT_EQ(WriteSettings(), 0);
    EXPECT_EQ(ReadAll(kept.string() + "3"), "someone else's");
    EXPECT_EQ(ReadAll(kept.string() + "4"), slip);

    WriteAll(DataFile(), "");
    const std::string err = ReadCapturingStderr();
    EXPECT_EQ(err.find("kept"), std::string::npos) << err;
    ASSERT_EQ(WriteSettings(), 0);
    EXPECT_FALSE(fs::exists(kept.string() + "5"));
}

TEST_F(SettingsFileTest, AValidFileWithAMegabyteValueIsKeptWhole)
{
    const std::string huge(1 << 20, 'h');
    WriteAll(DataFile(), "[Main]\nFileType=KQ5.DAT\nPicturePath=/" + huge + "\n");
    ReadSettings();
    EXPECT_EQ(SettingsFile().picturePath, "/" + huge);
    EXPECT_EQ(HelpBarMessageId(), 0);
}

TEST_F(SettingsFileTest, AFailedWriteIsReportedAndKeepsTheOldFile)
{
    ASSERT_EQ(WriteSettings(), 0);
    const std::string before = ReadAll(DataFile());

    // The data file's name taken by a directory: the rename cannot replace it.
    SetSettingsDataPath((dir_ / "sub").string());
    fs::create_directories(dir_ / "sub" / "kq5.dat");
    ::testing::internal::CaptureStderr();
    EXPECT_NE(WriteSettings(), 0);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("could not be written"), std::string::npos) << err;
    EXPECT_EQ(HelpBarMessageId(), 13517);
    EXPECT_FALSE(fs::exists(dir_ / "sub" / "kq5.dat.tmp"));

    // A directory that does not exist.
    SetSettingsDataPath((dir_ / "missing").string());
    ::testing::internal::CaptureStderr();
    EXPECT_NE(WriteSettings(), 0);
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("could not be written"), std::string::npos) << err;

    // After a fatal start-up nothing is written at all.
    SetSettingsDataPath(dir_.string());
    SettingsFile().startupFailed = true;
    Probe().count = 77;
    EXPECT_EQ(WriteSettings(), 0);
    EXPECT_EQ(ReadAll(DataFile()), before);
}

TEST_F(SettingsFileTest, AMissingFileGivesTheDefaultsQuietly)
{
    Probe().count = 50;
    const std::string err = ReadCapturingStderr();
    EXPECT_EQ(err, "");
    EXPECT_EQ(Probe().count, 3);
    EXPECT_EQ(HelpBarMessageId(), 0);
    EXPECT_FALSE(RegisterSettingsSection("No Such Section", &TransferProbeSection));
}

}  // namespace
}  // namespace kq5
