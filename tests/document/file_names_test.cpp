// File names: path parts, locating names, temporary paths, the recent-file list and its keys,
// and moving a text window's text to and from its file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ui/app_state.h"
#include "document/text_area.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/document_services.h"
#include "document/file_names.h"
#include "platform/backend.h"
#include "platform/message_box.h"

namespace kq5::testing {
namespace {

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class FileNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        InitCharClasses();
        ResetAppStateForTests();
        ResetDocumentServicesForTests();
        ResetFileUnitsForTests();
        win::ClearMessageBoxLog();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-names-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        std::filesystem::create_directories(dir_ / "work");
        std::filesystem::create_directories(dir_ / "data");
        std::filesystem::create_directories(dir_ / "prog");
        Settings().workingDirectory = (dir_ / "work").string() + "/";
        Settings().programDirectory = (dir_ / "prog").string() + "/";
    }
    void TearDown() override
    {
        win::ResetPlatformForTests(1024, 768);
        ResetAppStateForTests();
        ResetDocumentServicesForTests();
        ResetFileUnitsForTests();
        win::ClearMessageBoxLog();
        std::error_code error;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(dir_, error);
    }

    std::filesystem::path dir_;
};

TEST_F(FileNames, PathParts)
{
    EXPECT_EQ(FindExtensionDot("C:\\dir.x\\name"), std::string::npos);
    EXPECT_EQ(FindExtensionDot("dir.x/name.cir"), 10u);
    std::string path = "a\\b.c\\file.cir";
    EXPECT_EQ(StripExtension(path), "cir");
    EXPECT_EQ(path, "a\\b.c\\file");
    EXPECT_EQ(StripExtension(path), std::nullopt);
    EXPECT_EQ(ReplaceExtension(path, "CKT"), "a\\b.c\\file.CKT");
    EXPECT_EQ(GetFileBaseName("C:\\x\\y/amp.v2.cir"), "amp.v2");
    EXPECT_EQ(StripDirectory("C:\\x\\y/amp.v2.cir"), "amp.v2.cir");
    EXPECT_EQ(GetFileExtension("C:\\x\\y/amp.v2.cir"), ".cir");
    EXPECT_EQ(GetFileExtension("noext"), "");
}

TEST_F(FileNames, LocateFileSearchesTheWorkingDirectoryThenTheDataPath)
{
    WriteAll(dir_ / "data" / "Opamp.LIB", "x");
    ScopedEnv data("KQ5DATA", (dir_ / "nowhere").string() + ";" + (dir_ / "data").string());
    std::string out;
    EXPECT_EQ(LocateFile(out, "  opamp.lib ", kLocateWorkingData, true), 0);
    EXPECT_EQ(out, (dir_ / "data" / "Opamp.LIB").string());

    EXPECT_EQ(LocateFile(out, "absent.lib", kLocateWorkingData, true), 0);
    EXPECT_EQ(out, (dir_ / "work" / "absent.lib").string());
    EXPECT_EQ(LocateFile(out, "absent.lib", kLocateProgram, false), 0);
    EXPECT_EQ(out, (dir_ / "prog" / "absent.lib").string());

    const std::string missingDir = (dir_ / "no" / "such.cir").string();
    EXPECT_EQ(LocateFile(out, missingDir, kLocateWorkingData, true), kMsgFileErrorBase + ENOENT);
    EXPECT_EQ(LocateFile(out, missingDir, kLocateWorkingData, false), 0);
    EXPECT_EQ(out, missingDir);

    // A circuit name takes the circuit extension and is found case-blind.
    WriteAll(dir_ / "work" / "amp.cir", "x");
    EXPECT_EQ(ResolveFileName(out, "AMP.ckt", true), 0);
    EXPECT_EQ(out, (dir_ / "work" / "amp.cir").string());
}

TEST_F(FileNames, FullPathsAndTemporaryPaths)
{
    std::string path = "sub/../x.cir";
    std::filesystem::current_path(dir_);
    EXPECT_EQ(GetUpperFullPath(path, kLocateWorkingTmp), 0);
    EXPECT_EQ(path, (dir_ / "x.cir").string());
    path = "bare.cir";
    EXPECT_EQ(GetUpperFullPath(path, kLocateProgram), 0);
    EXPECT_EQ(path, (dir_ / "prog" / "bare.cir").string());
    path = "   ";
    EXPECT_EQ(GetUpperFullPath(path, kLocateWorkingTmp), 1);

    {
        ScopedEnv tmp("TMP", "/first/dir;/second");
        EXPECT_EQ(MakeTempFilePath("T$$$$$$T.CIR"), "/first/dir/T$$$$$$T.CIR");
    }
    ::unsetenv("TMP");
    EXPECT_EQ(MakeTempFilePath("a.tmp"), (dir_ / "prog" / "a.tmp").string());
    std::filesystem::current_path(std::filesystem::temp_directory_path());
}

TEST_F(FileNames, RecentFilesMoveToTheFrontAndDropTheOldest)
{
    for (int i = 1; i <= 8; ++i) AddRecentFile("/c/f" + std::to_string(i) + ".cir");
    auto& names = DocumentServices().recentFiles;
    EXPECT_EQ(names[0], "/c/f8.cir");
    AddRecentFile("/C/F6.CIR");  // third entry, other case
    EXPECT_EQ(names[0], "/C/F6.CIR");
    EXPECT_EQ(names[1], "/c/f8.cir");
    EXPECT_EQ(names[2], "/c/f7.cir");
    EXPECT_EQ(names[7], "/c/f1.cir");
    AddRecentFile("/c/new.cir");
    EXPECT_EQ(names[0], "/c/new.cir");
    EXPECT_EQ(names[7], "/c/f2.cir");
    Settings().batchRun = true;
    AddRecentFile("/c/batch.cir");
    EXPECT_EQ(names[0], "/c/new.cir");
}

TEST_F(FileNames, RecentFileKeysOfTheSettingsFile)
{
    auto& names = DocumentServices().recentFiles;
    names[0] = "/a.cir";
    names[2] = "/c.cir";
    const std::string path = (dir_ / "settings.dat").string();
    int unit = FindFreeUnit();
    ASSERT_EQ(CreateUnit(path, unit), 0);
    std::string pending;
    EXPECT_EQ(TransferRecentFiles(unit, pending, (5 << 16) | 40), 0);
    EXPECT_EQ(CloseUnit(unit), 0);
    EXPECT_EQ(ReadAll(path), "FILE_1=/a.cir\r\nFILE_3=/c.cir\r\n");

    FreeRecentFiles();
    WriteAll(path, "file_2=/two.cir\nFILE_0=/zero.cir\nFILE_9=/nine.cir\nFILE_X=/x.cir\nOTHER=1\n[Next]\nFILE_4=/no\n");
    unit = FindFreeUnit();
    ASSERT_EQ(OpenUnitDiskFile(path, unit), 0);
    EXPECT_EQ(TransferRecentFiles(unit, pending, (5 << 16) | 40), 0);
    CloseUnit(unit);
    EXPECT_EQ(pending, "[Next]");
    EXPECT_EQ(names[1], "/two.cir");
    for (std::size_t i : {0u, 2u, 3u, 7u}) EXPECT_EQ(names[i], "") << i;

    // The older layout: a count and the names; never more than eight slots.
    FreeRecentFiles();
    std::string old = "9\n";
    for (int i = 1; i <= 9; ++i) old += "/old" + std::to_string(i) + ".cir\n";
    WriteAll(path, old);
    unit = FindFreeUnit();
    ASSERT_EQ(OpenUnitDiskFile(path, unit), 0);
    EXPECT_EQ(TransferRecentFiles(unit, pending, kOldSettingsVersion), 0);
    CloseUnit(unit);
    EXPECT_EQ(names[0], "/old1.cir");
    EXPECT_EQ(names[7], "/old8.cir");
}

TEST_F(FileNames, TextWindowFilesReloadAndWriteSafely)
{
    WindowRecord* record = NewWindowRecord(nullptr, kWindowTextCircuit, true);
    const std::filesystem::path file = dir_ / "work" / "net.ckt";
    SetRecordTitle(record, file.string());
    record->untitled = true;
    WriteAll(file, "R1 1 0 1k\r\n.end\r\n");
    ASSERT_EQ(ReloadTextWindowFromFile(record), 0);
    EXPECT_EQ(record->textArea, "R1 1 0 1k\r\n.end\r\n");
    EXPECT_FALSE(record->untitled);

    // An empty file empties the window: the old text must not pass for the file's.
    WriteAll(file, "");
    ASSERT_EQ(ReloadTextWindowFromFile(record), 0);
    EXPECT_EQ(record->textArea, "");

    SetTextAreaText(record, "V1 1 0 5\n");
    ::chmod(file.c_str(), 0640);
    ASSERT_EQ(WriteTextWindowToFile(record), 0);
    EXPECT_EQ(ReadAll(file), "V1 1 0 5\n");
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    SetRecordTitle(record, (dir_ / "missing" / "net.ckt").string());
    EXPECT_EQ(ReloadTextWindowFromFile(record), kMsgAlreadyReported);
    EXPECT_EQ(record->textArea, "V1 1 0 5\n");
    EXPECT_EQ(WriteTextWindowToFile(record), kMsgAlreadyReported);
    ASSERT_EQ(win::MessageBoxLog().size(), 2u);
    EXPECT_NE(win::MessageBoxLog()[1].text.find("Error in writing file"), std::string::npos);
    EXPECT_EQ(WriteTextWindowToFile(nullptr), 0);
}

TEST_F(FileNames, FailedWriteLeavesTheOldFileAsItWas)
{
    // The last step, putting the new file in place, fails: a directory stands at the name.
    const std::filesystem::path target = dir_ / "work" / "taken.ckt";
    std::filesystem::create_directories(target);
    WriteAll(target / "inside", "kept\n");
    EXPECT_NE(ReplaceFileContents(target.string(), "new text"), 0);
    EXPECT_EQ(ReadAll(target / "inside"), "kept\n");
    // No half-written file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "work"), std::filesystem::directory_iterator()), 1);
}

TEST_F(FileNames, OutputUnitIsShownInATextWindow)
{
    const std::string path = (dir_ / "work" / "out.txt").string();
    const int unit = FindFreeUnit();
    ASSERT_EQ(OpenWriteStream(unit, path), 0);
    UnitPrintf(unit, "result 42\n");
    CloseUnitAndShowText(unit);
    WindowRecord* shown = FindRecordByTitle(path);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->kind, kWindowTextCircuit);
    EXPECT_EQ(shown->textArea, "result 42\r\n");

    // Shown again, the same window takes the new text.
    const int again = FindFreeUnit();
    ASSERT_EQ(OpenWriteStream(again, path), 0);
    UnitPrintf(again, "result 43\n");
    CloseUnitAndShowText(again);
    EXPECT_EQ(FindRecordByTitle(path), shown);
    EXPECT_EQ(shown->textArea, "result 43\r\n");
}

}  // namespace
}  // namespace kq5::testing
