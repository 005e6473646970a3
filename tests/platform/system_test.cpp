// System services: arithmetic and code pages, version answers, date and time formats, profile
// files, starting programs, metrics and the work area.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/backend.h"
#include "platform/disk_file_names.h"
#include "platform/system.h"
#include "platform/window.h"

namespace win {
namespace {

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlatformForTests(800, 600); }
};

TEST_F(SystemTest, MulDivRoundsAndRefusesOverflow) {
    EXPECT_EQ(MulDiv(10, 3, 4), 8);     // 7.5 rounds away from zero
    EXPECT_EQ(MulDiv(-10, 3, 4), -8);
    EXPECT_EQ(MulDiv(10, 3, -4), -8);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(100000, 100000, 100), 100000000);  // 64-bit intermediate
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 4, 1), -1);
}

TEST_F(SystemTest, CodePagesConvertBothWays) {
    EXPECT_EQ(Cp1252ToUtf8("A\x80\xE9"), "A\xE2\x82\xAC\xC3\xA9");
    EXPECT_EQ(Cp437ToUtf8("\xC3\xC0"), "\xE2\x94\x9C\xE2\x94\x94");  // tree glyphs
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC\xC3\xA9x"), "\x80\xE9x");
    EXPECT_EQ(Utf8ToCp1252("\xE2\x94\x9C"), "?");   // no Windows-1252 form
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a");          // cut sequence dropped
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

// A name goes to the file system as UTF-8 and comes back as the program's text. One already in
// UTF-8 (ASCII, a name converted before, or one with letters Windows-1252 lacks) passes both ways
// unchanged, so that a name converted twice still names the same file.
TEST_F(SystemTest, FileNamesConvertBetweenTheProgramAndTheFileSystem) {
    const std::string typed = "/home/j\xFCrgen/Verst\xE4rker \x80.cir";
    const std::string disk = "/home/j\xC3\xBCrgen/Verst\xC3\xA4rker \xE2\x82\xAC.cir";
    EXPECT_EQ(DiskFileName(typed), disk);
    EXPECT_EQ(DiskFileName(disk), disk);
    EXPECT_EQ(FileNameFromDisk(disk), typed);
    EXPECT_EQ(FileNameFromDisk(typed), typed);
    EXPECT_EQ(DiskFileName("plain/amp.cir"), "plain/amp.cir");
    EXPECT_EQ(FileNameFromDisk("plain/amp.cir"), "plain/amp.cir");
    // A letter with no Windows-1252 form: the whole name stays as the file system has it.
    const std::string greek = "/tmp/\xCE\xB1-\xC3\xA4.cir";
    EXPECT_EQ(FileNameFromDisk(greek), greek);
    EXPECT_EQ(DiskFileName(FileNameFromDisk(greek)), greek);
    // Not UTF-8 on disk (a name made elsewhere in Latin-1) comes in as it is.
    EXPECT_EQ(FileNameFromDisk("/tmp/\xE4.cir"), "/tmp/\xE4.cir");
    // An overlong form or a cut sequence is not UTF-8: it is the program's text.
    EXPECT_EQ(DiskFileName("\xC0\xAF"), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(DiskFileName("a\xC3"), "a\xC3\x83");
}

TEST_F(SystemTest, FixedAnswersOfTheOldSystem) {
    DWORD v = GetVersion();
    EXPECT_EQ(v & 0x80000000u, 0u);  // an NT kind
    EXPECT_EQ(v & 0xFF, 4u);
    EXPECT_EQ(GetKeyboardType(0), 4);
    EXPECT_EQ(GetProcAddress(GetModuleHandle("USER32"), "RegisterClassExA"), nullptr);
    EXPECT_EQ(LoadLibrary("CTL3D32.DLL"), nullptr);
    EXPECT_NE(GetModuleHandle(nullptr), nullptr);
    std::string exe = GetModuleFileName(nullptr);
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(access(exe.c_str(), X_OK), 0);
    MEMORYSTATUS ms;
    GlobalMemoryStatus(&ms);
    EXPECT_GT(ms.dwTotalPhys, 0u);
    EXPECT_LE(ms.dwAvailPhys, ms.dwTotalPhys);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CXHSCROLL), 16);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), GetSysColorBrush(COLOR_BTNFACE));
}

TEST_F(SystemTest, WorkAreaCanBeSetAndRead) {
    RECT r;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0));
    EXPECT_EQ(r.right, 800);
    RECT smaller{0, 0, 800, 560};
    SystemParametersInfo(SPI_SETWORKAREA, 0, &smaller, 0);
    SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0);
    EXPECT_EQ(r.bottom, 560);
    EXPECT_EQ(GetWorkArea().bottom, 560);
}

TEST_F(SystemTest, DateAndTimeFormats) {
    SYSTEMTIME st;
    st.wYear = 1999;
    st.wMonth = 5;
    st.wDay = 20;
    st.wDayOfWeek = 4;
    st.wHour = 14;
    st.wMinute = 3;
    st.wSecond = 9;
    EXPECT_EQ(GetDateFormat(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr), "05/20/99");
    EXPECT_EQ(GetDateFormat(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr), "Thursday, May 20, 1999");
    EXPECT_EQ(GetDateFormat(0, 0, &st, "d MMM yyyy 'on' ddd"), "20 May 1999 on Thu");
    EXPECT_EQ(GetTimeFormat(LOCALE_USER_DEFAULT, 0, &st, nullptr), "14:03:09");
    EXPECT_EQ(GetTimeFormat(0, TIME_NOSECONDS, &st, nullptr), "14:03");
    EXPECT_EQ(GetTimeFormat(0, 0, &st, "h:mm tt"), "2:03 PM");
    EXPECT_EQ(GetTimeFormat(0, TIME_NOTIMEMARKER, &st, "hh:mm:ss tt"), "02:03:09");
    EXPECT_FALSE(GetDateFormat(0, 0, nullptr, nullptr).empty());
    EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL), ".");
}

TEST_F(SystemTest, ProfileFilesAreReadCaseBlind) {
    char dir[] = "/tmp/kq5profileXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/Kq5.Ini";
    {
        std::ofstream out(path, std::ios::binary);
        out << "; comment\r\n[KQ5]\r\nUser Name = Ada Lovelace\r\nCompany=\"Analytical\"\r\n[Other]\nUser Name=Nobody\n";
    }
    std::string asked = std::string(dir) + "\\KQ5.INI";
    EXPECT_EQ(GetPrivateProfileString("kq5", "user name", "?", asked.c_str()), "Ada Lovelace");
    EXPECT_EQ(GetPrivateProfileString("KQ5", "Company", "?", asked.c_str()), "Analytical");
    EXPECT_EQ(GetPrivateProfileString("KQ5", "Missing", "none", asked.c_str()), "none");
    EXPECT_EQ(GetPrivateProfileString("KQ5", "Company", "gone", (std::string(dir) + "/nothere.ini").c_str()), "gone");
    EXPECT_EQ(GetPrivateProfileString("KQ5", nullptr, "", asked.c_str()), std::string("User Name\0Company\0", 18));
    EXPECT_EQ(GetPrivateProfileInt("Other", "User Name", 7, asked.c_str()), 7u);
    EXPECT_EQ(FindFileCaseBlind(std::string(dir) + "/KQ5.INI"), path);
    std::remove(path.c_str());
    rmdir(dir);
}

TEST_F(SystemTest, WinExecRunsWithoutAShell) {
    EXPECT_GT(WinExec("/bin/true ignored \"two words\"", 1), 31u);
    EXPECT_EQ(WinExec("/no/such/program arg", 1), 2u);
    EXPECT_EQ(WinExec("", 1), 0u);
    // Shell syntax is just words: nothing is created.
    std::string marker = "/tmp/kq5_winexec_marker";
    std::remove(marker.c_str());
    WinExec(("/bin/true; touch " + marker).c_str(), 1);
    usleep(100000);
    EXPECT_NE(access(marker.c_str(), F_OK), 0);
}

TEST_F(SystemTest, TickCountIsTheTestClock) {
    EXPECT_EQ(GetTickCount(), 0u);
    EXPECT_EQ(CurrentBackendKind(), BackendKind::Headless);
}

}  // namespace
}  // namespace win
