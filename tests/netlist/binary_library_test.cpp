// Binary model libraries: the version-5 file both ways, the version-4 conversion, damaged
// files, and the Pack and Sort operations.
#include <cmath>
#include <limits>

#include "library_test_support.h"
#include "netlist/model_types.h"

namespace kq5::testing {
namespace {

class BinaryLibraryTest : public LibraryTest {
protected:
    ModelLibraryEntry* Add(ModelLibrary& library, int type, const std::string& name, float first = 1.0f)
    {
        ModelLibraryEntry* entry = NewLibraryEntry(library, type);
        entry->name = name;
        entry->params[0] = first;
        return entry;
    }
    static std::vector<std::string> Names(const ModelLibrary& library)
    {
        std::vector<std::string> names;
        for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) names.push_back(entry.name);
        return names;
    }
    bool HasTemporaryFiles() const
    {
        for (const auto& file : std::filesystem::directory_iterator(dir_))
            if (file.path().filename().string().front() == '.') return true;
        return false;
    }
    static float Param(const ModelLibraryEntry& entry, int type, const char* name)
    {
        return entry.params[static_cast<std::size_t>(FindModelParamIndex(type, name))];
    }
};

TEST_F(BinaryLibraryTest, EmptyLibrarySavesSixBytesAndLoadsEmpty)
{
    ModelLibrary library;
    ASSERT_EQ(SaveModelLibrary(library, PathOf("empty.lbr")), 0);
    EXPECT_EQ(ReadBytes("empty.lbr"), std::string("\x05\x00\x00\x00\x00\x00", 6));
    EXPECT_TRUE(IsBinaryModelLibrary(PathOf("empty.lbr")));
    EXPECT_EQ(LoadModelLibrary(library, PathOf("empty.lbr"), true), 0);
    EXPECT_EQ(library.entries.count, 0);
}

TEST_F(BinaryLibraryTest, SaveAndLoadKeepEveryField)
{
    ModelLibrary library;
    ModelLibraryEntry* diode = Add(library, kModelDiode, "D1N4148", 1.0f);
    diode->memo = "switching diode";
    diode->params[1] = 2.682e-9f;
    diode->params[2] = ParamNotGiven;
    ModelLibraryEntry* mos = Add(library, kModelNmos8, "N_BSIM3", 8.0f);
    mos->params.back() = -1.25e-7f;
    Add(library, kModelOpa, std::string(40, 'X'));  // a long name keeps 23 characters
    EXPECT_TRUE(IsLibraryModified(library));
    ASSERT_EQ(SaveModelLibrary(library, PathOf("parts.lbr")), 0);
    EXPECT_FALSE(IsLibraryModified(library));
    // Written whole and renamed: no temporary file is left beside it.
    EXPECT_FALSE(HasTemporaryFiles());
    EXPECT_EQ(ReadBytes("parts.lbr").size(), 6 + 3 * kLibraryEntryRecord + 4 * (31 + 373 + 24));

    ModelLibrary loaded;
    ASSERT_EQ(LoadModelLibrary(loaded, PathOf("parts.lbr"), true), 0);
    ASSERT_EQ(loaded.entries.count, 3);
    const ModelLibraryEntry* d = FindNthModelOfType(loaded, kModelDiode, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->name, "D1N4148");
    EXPECT_EQ(d->memo, "switching diode");
    EXPECT_EQ(d->params, diode->params);
    EXPECT_TRUE(IsParamNotGiven(d->params[2]));
    EXPECT_EQ(FindNthModelOfType(loaded, kModelNmos8, 0)->params, mos->params);
    EXPECT_EQ(FindNthModelOfType(loaded, kModelOpa, 0)->name, std::string(23, 'X'));
    EXPECT_FALSE(IsLibraryModified(loaded));
}

TEST_F(BinaryLibraryTest, WrongVersionIsRefusedAndLoadsNothing)
{
    WriteFile("old.lbr", LibraryHeader(3, 0));
    ModelLibrary library;
    Add(library, kModelDiode, "KEEP");
    EXPECT_FALSE(IsBinaryModelLibrary(PathOf("old.lbr")));
    EXPECT_EQ(LoadModelLibrary(library, PathOf("old.lbr"), false), kMsgAlreadyReported);
    EXPECT_EQ(ShownIds(), std::vector<int>{12500});
    EXPECT_EQ(Names(library), std::vector<std::string>{"KEEP"});
}

TEST_F(BinaryLibraryTest, Version4IsConvertedInMemoryOnly)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float denormal = 1e-40f;
    std::vector<float> npn(40, 0.0f);
    npn[0] = 150.0f;       // BF
    npn[1] = inf;          // BR keeps its default
    npn[3] = denormal;     // IS keeps its default
    npn[9] = 0.0f;         // VAF: 0 is stored
    std::vector<float> sine = {1e3f, 2.0f, 0.5f, 90.0f, 1.0f, 0.0f, 1e-3f, 42.0f};
    const std::string bytes = LibraryHeader(4, 5) + LibraryRecord4("QLONGNAME123", 2, "pnp part", npn) +
                              LibraryRecord4("TL", 7, "", std::vector<float>(9, 1.0f)) +
                              LibraryRecord4("S1", 6, "", sine) +
                              LibraryRecord4("SW", 10, "", std::vector<float>(4, 1.0f)) +
                              LibraryRecord4("J1", 4, "n", std::vector<float>(12, 0.0f));
    WriteFile("v4.lbr", bytes);

    ModelLibrary library;
    LibraryLoadResult result;
    ASSERT_EQ(LoadModelLibrary(library, PathOf("v4.lbr"), true, &result), 0);
    EXPECT_EQ(result.version, 4);
    EXPECT_EQ(result.leftOut, 2);
    EXPECT_EQ(ShownIds(), std::vector<int>{12524});
    EXPECT_EQ(Names(library), (std::vector<std::string>{"QLONGNAME1", "S1", "J1"}));

    const ModelLibraryEntry* q = FindNthModelOfType(library, kModelPnp, 0);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(Param(*q, kModelPnp, "BF"), 150.0f);
    EXPECT_EQ(Param(*q, kModelPnp, "BR"), 1.0f);
    EXPECT_EQ(Param(*q, kModelPnp, "IS"), 1e-16f);
    EXPECT_EQ(Param(*q, kModelPnp, "VAF"), 0.0f);
    EXPECT_EQ(Param(*q, kModelPnp, "NF"), 0.0f);  // old position 18
    const ModelLibraryEntry* s = FindNthModelOfType(library, kModelSin, 0);
    EXPECT_EQ(s->params, (std::vector<float>{1e3f, 2.0f, 0.5f, 90.0f, 1.0f, 0.0f, 1e-3f}));
    EXPECT_NE(FindNthModelOfType(library, kModelNjf, 0), nullptr);

    // The old file stays as it is until the user saves; the library asks to be saved.
    EXPECT_TRUE(IsLibraryModified(library));
    EXPECT_EQ(ReadBytes("v4.lbr"), bytes);
    ASSERT_EQ(SaveModelLibrary(library, PathOf("v4.lbr")), 0);
    EXPECT_EQ(GetLeInt16(ReadBytes("v4.lbr"), 0), 5);
}

TEST_F(BinaryLibraryTest, EntriesWithUnusableBlocksOrTypes)
{
    // A block of the wrong size is passed over, an unknown type dropped; the rest still loads.
    const std::string bytes = LibraryHeader(5, 3) + LibraryRecord5("BAD", kModelDiode, "", {1.0f, 2.0f}) +
                              LibraryRecord5("ALIEN", 57, "", {1.0f}) +
                              LibraryRecord5("GOOD", kModelSin, "", std::vector<float>(7, 3.0f));
    WriteFile("mixed.lbr", bytes);
    ModelLibrary library;
    LibraryLoadResult result;
    ASSERT_EQ(LoadModelLibrary(library, PathOf("mixed.lbr"), true, &result), 0);
    EXPECT_EQ(Names(library), (std::vector<std::string>{"BAD", "GOOD"}));
    EXPECT_EQ(FindNthModelOfType(library, kModelDiode, 0)->params, std::vector<float>(31, 0.0f));
    EXPECT_EQ(FindNthModelOfType(library, kModelSin, 0)->params, std::vector<float>(7, 3.0f));
    EXPECT_EQ(result.leftOut, 1);
    EXPECT_EQ(result.emptied, 1);
    EXPECT_EQ(ShownIds(), std::vector<int>{12524});
}

TEST_F(BinaryLibraryTest, DamagedFilesAreRefusedWithoutChangingTheLibrary)
{
    const std::string good = LibraryRecord5("Q1", kModelNpn, "", std::vector<float>(52, 1.0f));
    std::string unterminated = good;
    std::fill_n(unterminated.begin() + 2, kLibraryNameField, 'N');
    std::string negative = good;
    negative[0] = '\xF0';
    negative[1] = '\xFF';
    const std::vector<std::string> damaged = {
        LibraryHeader(5, 2) + good,                             // ends before the second entry
        LibraryHeader(5, 1) + good.substr(0, 100),              // ends inside a parameter block
        LibraryHeader(5, 32767) + good,                         // claims far more than it holds
        LibraryHeader(5, -1) + good,                            // negative count
        LibraryHeader(5, 1) + unterminated,                     // name without its end
        LibraryHeader(5, 1) + negative,                         // negative block size
        std::string("\x05", 1),                                 // not even a header
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        WriteFile("bad.lbr", damaged[i]);
        win::ClearMessageBoxLog();
        ModelLibrary library;
        Add(library, kModelDiode, "KEEP");
        const int status = LoadModelLibrary(library, PathOf("bad.lbr"), false);
        EXPECT_EQ(status, kMsgAlreadyReported);
        EXPECT_EQ(Names(library), std::vector<std::string>{"KEEP"});
        ASSERT_FALSE(ShownIds().empty());
        EXPECT_TRUE(ShownIds().back() == 12504 || ShownIds().back() == 12500);
    }
    // A missing file is reported only when asked.
    win::ClearMessageBoxLog();
    ModelLibrary library;
    EXPECT_EQ(LoadModelLibrary(library, PathOf("missing.lbr"), false), kMsgFileErrorBase + ENOENT);
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(BinaryLibraryTest, CorruptedBytesLoadWholeOrAreRefused)
{
    // Every byte of a good file of both versions, changed in turn: the load either takes the
    // file or reports it and keeps the library as it was; no field is used unchecked.
    const std::string v5 = LibraryHeader(5, 2) + LibraryRecord5("Q1", kModelNpn, "memo", std::vector<float>(52, 1.0f)) +
                           LibraryRecord5("D1", kModelDiode, "", std::vector<float>(31, 2.0f));
    const std::string v4 = LibraryHeader(4, 2) + LibraryRecord4("QOLD", 2, "p", std::vector<float>(40, 1.0f)) +
                           LibraryRecord4("JOLD", 4, "", std::vector<float>(12, 1.0f));
    for (const std::string& good : {v5, v4}) {
        for (std::size_t at = 0; at < good.size(); at += 3) {
            for (char value : {'\x00', '\xFF'}) {
                std::string bytes = good;
                bytes[at] = value;
                SCOPED_TRACE(std::to_string(at) + " " + std::to_string(static_cast<unsigned char>(value)));
                WriteFile("fuzz.lbr", bytes);
                win::ClearMessageBoxLog();
                ModelLibrary library;
                Add(library, kModelDiode, "KEEP");
                const int status = LoadModelLibrary(library, PathOf("fuzz.lbr"), true);
                if (status != 0) {
                    EXPECT_EQ(Names(library), std::vector<std::string>{"KEEP"});
                    EXPECT_FALSE(ShownIds().empty());
                }
                for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) {
                    const ModelTypeRow* row = FindModelTypeRow(entry.type);
                    ASSERT_NE(row, nullptr);
                    EXPECT_EQ(entry.params.size(), static_cast<std::size_t>(row->libraryCount));
                }
            }
        }
    }
}

TEST_F(BinaryLibraryTest, FailedSaveKeepsOldFileAndModifiedFlag)
{
    ModelLibrary library;
    Add(library, kModelDiode, "D1");
    std::filesystem::create_directory(dir_ / "taken.lbr");
    EXPECT_EQ(SaveModelLibrary(library, PathOf("taken.lbr")), kMsgAlreadyReported);
    EXPECT_TRUE(IsLibraryModified(library));
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "taken.lbr"));
    EXPECT_FALSE(HasTemporaryFiles());
}

TEST_F(BinaryLibraryTest, PackKeepsFirstOfEachNameAndType)
{
    ModelLibrary library;
    Add(library, kModelNpn, "Q1", 1.0f);
    Add(library, kModelNpn, "q1", 2.0f);
    Add(library, kModelPnp, "Q1");
    Add(library, kModelDiode, "");
    Add(library, kModelNpn, "Q2");
    PackModelLibrary(library);
    EXPECT_EQ(Names(library), (std::vector<std::string>{"Q1", "Q1", "Q2"}));
    EXPECT_EQ(FindNthModelOfType(library, kModelNpn, 0)->params[0], 1.0f);
    EXPECT_EQ(CountModelsOfType(library, kModelNpn), 2);
    EXPECT_EQ(FindModelOrdinal(library, kModelNpn, "q2"), 1);
    EXPECT_EQ(FindModelOrdinal(library, kModelNpn, "Q3"), -1);
}

TEST_F(BinaryLibraryTest, SortOrdersTypesThenNamesNaturally)
{
    ModelLibrary library;
    Add(library, kModelUgate, "G2");
    Add(library, kModelNpn, "Q10");
    Add(library, kModelDiode, "D9");
    Add(library, kModelNpn, "Q2");
    Add(library, kModelUgate, "G1");
    Add(library, kModelNpn, "Q1A");
    ASSERT_EQ(SortModelLibrary(library), 0);
    EXPECT_EQ(Names(library), (std::vector<std::string>{"D9", "Q1A", "Q2", "Q10", "G2", "G1"}));
    EXPECT_EQ(library.entries.tail, FindNthModelOfType(library, kModelUgate, 1));
    EXPECT_EQ(library.entries.count, 6);
}

TEST_F(BinaryLibraryTest, LibraryRecordsBelongToTheirWindows)
{
    ModelLibrary* library = NewModelLibraryRecord(PathOf("win.lbr"));
    ASSERT_NE(library, nullptr);
    ASSERT_NE(library->record, nullptr);
    EXPECT_EQ(library->record->kind, kWindowModelLibrary);
    EXPECT_EQ(ModelLibraryOf(library->record), library);
    NewLibraryEntry(*library, kModelDiode);
    EXPECT_EQ(library->record->modified, 1);
    FreeModelLibraryRecord(library);
    EXPECT_EQ(library, nullptr);
    EXPECT_EQ(FormatLibraryValue(ParamNotGiven), "undefined");
}

}  // namespace
}  // namespace kq5::testing
