// Saving never loses the file on disk: a save that fails half-way leaves the old file byte for
// byte, the window modified and the error reported; and the load driver around the readers.
#include "circuit_file_test_support.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>


namespace kq5::testing {
namespace {

class CircuitFileSave : public CircuitFileWindowTest {
protected:
    // The names in the scratch directory, for spotting files a save left behind.
    std::vector<std::string> DirectoryNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    bool ErrorWasShown() const
    {
        for (const win::MessageBoxEntry& entry : win::MessageBoxLog()) {
            if (entry.caption.rfind("Error", 0) == 0) return true;
        }
        return false;
    }
};

// Makes every write beyond the first bytes of a file fail, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_ = nullptr;
};

TEST_F(CircuitFileSave, WriteErrorHalfWayLeavesTheOldFileAndTheWindowModified)
{
    const std::string path = PathOf("keep.cir");
    const std::string old = "[Main]\nFileType=CIR\nVersion=5.20\n\n[Comp]\nName=Resistor\nGrid=1,1\n";
    WriteFileBytes(path, old);
    BuildRichDocument(record_, resistor_, capacitor_);
    record_->modified = 1;
    int status = 0;
    {
        FileSizeLimit limit(200);
        status = WriteCircuitFile(record_, path, 0);
    }
    EXPECT_EQ(status, kMsgAlreadyReported);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(record_->modified, 1);
    EXPECT_TRUE(ErrorWasShown());
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{"keep.cir"});

    // The same save without the limit goes through and only then clears the flag.
    win::ClearMessageBoxLog();
    EXPECT_EQ(WriteCircuitFile(record_, path, 0), 0);
    EXPECT_EQ(record_->modified, 0);
    EXPECT_NE(ReadFileBytes(path), old);
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{"keep.cir"});
    EXPECT_FALSE(ErrorWasShown());
}

TEST_F(CircuitFileSave, BannerSaveFailsAsSafely)
{
    const std::string path = PathOf("banner.cir");
    const std::string old = "5.03\nKestrion V\nNorvale Softworks\n\n";
    WriteFileBytes(path, old);
    BuildRichDocument(record_, resistor_, capacitor_);
    record_->modified = 1;
    {
        FileSizeLimit limit(64);
        EXPECT_EQ(WriteCircuitFile(record_, path, kWriteBanner), kMsgAlreadyReported);
    }
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(record_->modified, 1);
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{"banner.cir"});
}

TEST_F(CircuitFileSave, UnwritableDirectoryKeepsTheOldFile)
{
    const std::string missing = PathOf("no-such-directory/circuit.cir");
    record_->modified = 1;
    SetRecordTitle(record_, PathOf("old-title.cir"));
    EXPECT_EQ(WriteCircuitFile(record_, missing, 0), kMsgAlreadyReported);
    EXPECT_EQ(record_->modified, 1);
    // The window keeps the name of the file it still belongs to.
    EXPECT_EQ(record_->title, PathOf("old-title.cir"));
    EXPECT_TRUE(ErrorWasShown());

    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop the super-user";
    const std::string path = PathOf("locked.cir");
    WriteFileBytes(path, "old");
    ::chmod(dir_.c_str(), 0555);
    EXPECT_EQ(WriteCircuitFile(record_, path, 0), kMsgAlreadyReported);
    ::chmod(dir_.c_str(), 0755);
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(record_->modified, 1);
}

TEST_F(CircuitFileSave, ReplacedFileKeepsItsPermissions)
{
    const std::string path = PathOf("mode.cir");
    WriteFileBytes(path, "old");
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(WriteCircuitFile(record_, path, kWriteQuietly), 0);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(CircuitFileSave, LoadDriverOpensReportsAndRefusesBadFiles)
{
    BuildRichDocument(record_, resistor_, capacitor_);
    const std::string path = PathOf("driver.cir");
    ASSERT_EQ(Save(record_, path), 0);

    WindowRecord* out = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults | kLoadNoConnectivity, out), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->title, path);
    EXPECT_FALSE(out->untitled);
    EXPECT_EQ(out->modified, 0);
    EXPECT_EQ(out->document->runStale, (std::array<std::int32_t, 3>{0, 0, 0}));
    ExpectSameDocuments(*record_, *out);

    // A file already open is brought forward, not read again.
    WindowRecord* again = nullptr;
    ListClear(out->document->gridTextList);
    EXPECT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults, again), 0);
    EXPECT_EQ(again, out);
    EXPECT_EQ(out->document->gridTextList.count, 0);

    // A bad file leaves no window behind; a quiet load hands back the id.
    const std::size_t windows = WindowRecords().records.size();
    const std::string bad = MakeFile("bad.cir", "[Main]\nFileType=TXT\n");
    WindowRecord* failed = out;
    EXPECT_EQ(LoadCircuitFile(nullptr, bad, kFileKindSchematic, kLoadDefaults | kLoadQuiet, failed), kMsgBadFormat);
    EXPECT_EQ(failed, nullptr);
    EXPECT_EQ(WindowRecords().records.size(), windows);
    EXPECT_EQ(LoadCircuitFile(nullptr, bad, kFileKindSchematic, kLoadDefaults, failed), kMsgAlreadyReported);
    EXPECT_TRUE(ErrorWasShown());
    EXPECT_EQ(WindowRecords().records.size(), windows);
}

TEST_F(CircuitFileSave, MissingDefinitionsAndSkippedSectionsAreReportedOnce)
{
    const std::string path = MakeFile("missing.cir", MainSection() + "[Comp]\nName=A\nGrid=1,1\n"
                                                                     "[Comp]\nName=B\nGrid=2,2\n"
                                                                     "[Comp]\nName=A\nGrid=3,3\n"
                                                                     "[Limits]\nAnalysis=Noise\n"
                                                                     "[Comp]\nName=Resistor\nGrid=4,4\n");
    WindowRecord* out = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults | kLoadNoConnectivity, out), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->document->itemList.count, 1);
    int notFound = 0;
    int skipped = 0;
    for (const win::MessageBoxEntry& entry : win::MessageBoxLog()) {
        if (entry.text.find("'A','B'") != std::string::npos) ++notFound;
        if (entry.text.find("[Limits] Analysis=Noise") != std::string::npos) ++skipped;
    }
    EXPECT_EQ(notFound, 1);
    EXPECT_EQ(skipped, 1);
}

TEST_F(CircuitFileSave, SaveAsAsksForANameAndRevertRereadsTheFile)
{
    BuildRichDocument(record_, resistor_, capacitor_);
    EXPECT_EQ(SaveWindowAs(record_, 0), 2);  // nobody answered: cancelled
    const std::string path = PathOf("saved-as.cir");
    PushSaveFileNameAnswer(path);
    record_->untitled = true;
    EXPECT_EQ(SaveWindowAs(record_, kWriteQuietly), 1);
    EXPECT_FALSE(record_->untitled);
    EXPECT_TRUE(std::filesystem::exists(path));

    WindowRecord* out = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults | kLoadNoConnectivity, out), 0);
    ListClear(out->document->itemList);
    out->flags |= 0x4000;
    win::PushMessageBoxAnswer(win::IDNO);
    RevertToSaved(out);
    EXPECT_EQ(out->document->itemList.count, 0);

    win::PushMessageBoxAnswer(win::IDYES);
    RevertToSaved(out);
    WindowRecord* reverted = FindRecordByTitle(path);
    ASSERT_NE(reverted, nullptr);
    EXPECT_EQ(reverted->document->itemList.count, record_->document->itemList.count);
    EXPECT_EQ(reverted->flags & 0x4000, 0x4000u);
}

// Revert when the file on disk has been damaged or removed meanwhile: the error is reported and
// the window keeps the circuit it shows, changes and all; nothing is closed.
TEST_F(CircuitFileSave, RevertToADamagedFileKeepsTheWindowAndItsCircuit)
{
    BuildRichDocument(record_, resistor_, capacitor_);
    const std::string path = PathOf("reverted.cir");
    ASSERT_EQ(Save(record_, path), 0);
    WindowRecord* out = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults | kLoadNoConnectivity, out), 0);
    ListRemove(out->document->itemList, out->document->itemList.head);
    out->modified = 1;
    const std::int32_t items = out->document->itemList.count;

    for (const std::string& damage : {std::string("5.03\nKestrion V\nNorvale Softworks\n\n:**** fonts"),
                                      std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe"), std::string()}) {
        if (damage.empty())
            std::filesystem::remove(path);
        else
            WriteFileBytes(path, damage);
        win::ClearMessageBoxLog();
        win::PushMessageBoxAnswer(win::IDYES);
        RevertToSaved(out);
        EXPECT_TRUE(ErrorWasShown()) << damage;
        WindowRecord* kept = FindRecordByTitle(path);
        ASSERT_EQ(kept, out) << damage;
        ASSERT_TRUE(kept->document) << damage;
        EXPECT_EQ(kept->document->itemList.count, items) << damage;
        EXPECT_EQ(kept->modified, 1) << damage;
    }
}

}  // namespace
}  // namespace kq5::testing
