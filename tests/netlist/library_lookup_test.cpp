// Lookups through the library index files: what gets indexed, when an index is made again,
// and the results of each kind of lookup.
#include "document/circuit_file.h"
#include "document/document_windows.h"
#include "document/file_names.h"
#include "platform/backend.h"
#include "library_test_support.h"
#include "netlist/model_types.h"

namespace kq5::testing {
namespace {

class LibraryLookupTest : public LibraryTest {
protected:
    void Register(const std::string& name)
    {
        int index = -1;
        ASSERT_EQ(RegisterLibraryFile(PathOf(name), kCircuitLibraryList, index), 0);
    }
    int FindModelIn(const std::string& name, int type)
    {
        int error = -1;
        const int index = FindInLibraries(name, type, kLookupModel, error);
        EXPECT_EQ(error, 0);
        return index;
    }
    LibraryIndex IndexOf(const std::string& indexName) const
    {
        LibraryIndex index;
        EXPECT_TRUE(ReadLibraryIndexFile(PathOf(indexName), index));
        return index;
    }
    static std::vector<std::string> ItemNames(const LibraryIndex& index)
    {
        std::vector<std::string> names;
        for (const LibraryIndexRecord& record : index.records) {
            // (appended, not "[" + name: GCC 12 misreads that insert as an overlapping copy)
            std::string name;
            if (record.IsLibrary()) name.append(1, '[').append(StripDirectory(record.text)).append(1, ']');
            else name = record.text;
            names.push_back(std::move(name));
        }
        return names;
    }
};

TEST_F(LibraryLookupTest, IndexFileNamesFollowTheLibraryKind)
{
    EXPECT_EQ(IndexFileName("/lib/OPAMP.LIB"), "/lib/OPAMP.INX");
    EXPECT_EQ(IndexFileName("/lib/PARTS.CIR"), "/lib/PARTS.IXC");
    EXPECT_EQ(IndexFileName("/lib/big.lbr"), "/lib/big.IXL");
    EXPECT_EQ(IndexFileName("/lib/X.CKT"), "/lib/X.IXK");
    EXPECT_EQ(IndexFileName("/lib/models.txt"), "/lib/models.INX");
}

TEST_F(LibraryLookupTest, TextLibraryModelIsLoadedFromItsLine)
{
    WriteFile("parts.lib", "* parts\n.MODEL Q1 NPN (BF=50)\n\n.model d1 d (is=1n\n+ rs=2)\n");
    Register("parts.lib");
    const int index = FindModelIn("d1", kModelDiode);
    ASSERT_GE(index, 0);
    const ModelStatement& statement = *FindModelStatement(index);
    EXPECT_EQ(statement.name, "D1");
    EXPECT_EQ(statement.sourceKind, kModelSourceTextFile);
    EXPECT_EQ(statement.sourceName, PathOf("parts.lib"));
    EXPECT_EQ(statement.line, 3);
    const EvaluatedModel* model = FindModel(kModelSelectStatement, index);
    ASSERT_NE(model, nullptr);
    EXPECT_FLOAT_EQ(model->Param(FindModelParamIndex(kModelDiode, "RS")), 2.0f);
    EXPECT_EQ(FindModelIn("Q1", kModelPnp), -1);  // the type must match
    EXPECT_EQ(ItemNames(IndexOf("parts.INX")), (std::vector<std::string>{"[parts.lib]", "Q1", "D1"}));
}

TEST_F(LibraryLookupTest, KeywordsAndFileNamesAreCaseBlind)
{
    WriteFile("lower.lib", ".model q3 npn(bf=70)\n.subckt amp in out\nr1 in out 1k\n.ends\n.Macro M1 m1.cir\n");
    Register("LOWER.LIB");
    EXPECT_GE(FindModelIn("Q3", kModelNpn), 0);
    int error = 0;
    std::string output;
    EXPECT_GT(FindInLibraries("amp", -1, kLookupSubcircuit, error, &output), 0);
    EXPECT_EQ(output, PathOf("lower.lib"));
    EXPECT_EQ(FindInLibraries("m1", -1, kLookupMacroText, error, &output), 0);
    EXPECT_EQ(output, "M1.CIR");
    EXPECT_EQ(FindInLibraries("M1", -1, kLookupMacroPresence, error, &output), 0);
    EXPECT_EQ(output, "M1");
    EXPECT_EQ(error, 0);
}

TEST_F(LibraryLookupTest, OnlyTopLevelDefinitionsAreIndexed)
{
    WriteFile("scopes.lib",
              ".ENDS\n.MODEL TOP1 D\n.SUBCKT OUTER A B\n.MODEL INNER D\n.SUBCKT NESTED C\n.ENDS\n.PARAM X=1\n"
              ".ENDS OUTER\n.MODEL TOP2 D\n.PARAM Y=2\n.PARAMETERS Z=3\n");
    Register("scopes.lib");
    EXPECT_EQ(FindModelIn("INNER", kModelDiode), -1);
    EXPECT_GE(FindModelIn("TOP2", kModelDiode), 0);
    const LibraryIndex index = IndexOf("scopes.INX");
    EXPECT_EQ(ItemNames(index), (std::vector<std::string>{"[scopes.lib]", "TOP1", "OUTER", "TOP2", ""}));
    EXPECT_EQ(index.records.back().kind, kIndexParamLine);
}

TEST_F(LibraryLookupTest, DamagedIndexBytesDecodeWholeOrNotAtAll)
{
    WriteFile("damage.lib", ".MODEL D1 D\n.SUBCKT AMP A B\n.ENDS\n.MACRO M1 m1.cir\n.PARAM X=1\n");
    Register("damage.lib");
    EXPECT_GE(FindModelIn("D1", kModelDiode), 0);  // makes the index
    const std::string good = EncodeLibraryIndex(IndexOf("damage.INX"));
    LibraryIndex decoded;
    ASSERT_TRUE(DecodeLibraryIndex(good, decoded));
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (char value : {'\x00', '\x01', '\x7F', '\xFF'}) {
            std::string bytes = good;
            bytes[at] = value;
            LibraryIndex index;
            index.records.resize(1);
            if (!DecodeLibraryIndex(bytes, index)) {
                EXPECT_EQ(index.records.size(), 1u) << at;  // left as it was
                continue;
            }
            ASSERT_FALSE(index.records.empty());
            EXPECT_TRUE(index.records.front().IsLibrary());
            for (const LibraryIndexRecord& record : index.records)
                if (record.kind == kIndexModel) { EXPECT_LT(record.modelType, kModelTypeCount); }
        }
    }
    // Cut anywhere, it is refused.
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_FALSE(DecodeLibraryIndex(good.substr(0, length), decoded)) << length;
}

TEST_F(LibraryLookupTest, NestedLibraryRecordsFollowInTheSameIndex)
{
    WriteFile("main.lib", ".MODEL M1 D\n.LIB \"other.lib\"\n.MODEL M2 D\n");
    WriteFile("other.lib", ".MODEL O1 NPN\n");
    Register("main.lib");
    EXPECT_GE(FindModelIn("O1", kModelNpn), 0);
    EXPECT_EQ(ItemNames(IndexOf("main.INX")),
              (std::vector<std::string>{"[main.lib]", "M1", "M2", "[other.lib]", "O1"}));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "other.INX"));
}

TEST_F(LibraryLookupTest, KitLibraryThatIncludesItsModelsFindsThem)
{
    // A vendor kit's library file often only includes the files that hold its models.
    // A file it names that is not there leaves the rest usable.
    // Names in its folders are taken from its own folder.
    WriteFile("kit/kit.lib", "* kit\n.INC \"models/m.inc\"\n.inc gone.inc\n.SUBCKT PAD A\n.include inner.inc\n.ENDS\n"
                             ".LIB more/q.lib\n");
    WriteFile("kit/models/m.inc", ".model DKIT d (is=1e-14)\n.SUBCKT DIV IN OUT\nR1 IN OUT 1K\n.ENDS\n");
    WriteFile("kit/more/q.lib", ".MODEL QKIT NPN\n");
    Register("kit/kit.lib");
    EXPECT_GE(FindModelIn("DKIT", kModelDiode), 0);
    // The .INC inside a subcircuit belongs to its body.
    EXPECT_EQ(ItemNames(IndexOf("kit/kit.INX")),
              (std::vector<std::string>{"[kit.lib]", "PAD", "[m.inc]", "DKIT", "DIV", "[q.lib]", "QKIT"}));
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(LibraryLookupTest, NamesListedOnceWhenANestedLibraryChanged)
{
    WriteFile("main.lib", ".MODEL A D\n.LIB other.lib\n");
    WriteFile("other.lib", ".MODEL B D\n");
    Register("main.lib");
    const auto names = [this] {
        std::vector<std::string> listed;
        int error = 0;
        FindInLibraries({}, kModelDiode, kLookupModelNames, error, nullptr, -1, &listed);
        return listed;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    SetAge("other.lib", 5);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(LibraryLookupTest, LibraryOfSectionsIsRefusedByName)
{
    // Section names were looked for as files: "No such file ... TT".
    WriteFile("corners.lib", "* corners\n.lib TT\n.MODEL DM D\n.endl TT\n");
    Register("corners.lib");
    int error = 0;
    EXPECT_EQ(FindInLibraries("DM", kModelDiode, kLookupModel, error), -1);
    EXPECT_EQ(ShownIds(), std::vector<int>{10980});
    // A kit that picks one section of it by name.
    WriteFile("kit.lib", "* kit\n.lib \"corners.lib\" TT\n");
    Register("kit.lib");
    EXPECT_EQ(FindInLibraries("DM", kModelDiode, kLookupModel, error, nullptr, 1), -1);
    EXPECT_EQ(ShownIds(), (std::vector<int>{10980, 10974}));
}

TEST_F(LibraryLookupTest, SubcircuitDefinedDifferentlyInTwoLibrariesIsTold)
{
    // The messages of one build of the circuit in a world of its own.
    const auto shownFor = [this](const std::string& circuit) {
        TearDown();
        SetUp();
        WriteFile("a.lib", ".SUBCKT DIV IN OUT\nR1 IN OUT 1K\nR2 OUT 0 1K\n.ENDS\n");
        WriteFile("same.lib", "* a copy\n.subckt div in  out\nr1 in out 1k\n* comment\nr2 out 0 1k\n.ends\n");
        WriteFile("b.lib", ".SUBCKT DIV IN OUT\nR1 IN OUT 3K\nR2 OUT 0 1K\n.ENDS\n");
        EXPECT_EQ(ReadAndExpand("t\n" + circuit + "X1 1 2 DIV\nX2 2 3 DIV\nV1 1 0 1\n.END\n"), 0);
        return ShownIds();
    };
    EXPECT_TRUE(shownFor(".LIB a.lib\n.LIB same.lib\n").empty());
    EXPECT_EQ(shownFor(".LIB a.lib\n.LIB same.lib\n.LIB b.lib\n"), std::vector<int>{10979});  // once for both calls
    // The circuit's own definition stands in for the libraries' without a word.
    EXPECT_TRUE(shownFor(".LIB b.lib\n.SUBCKT DIV IN OUT\nR1 IN OUT 5\n.ENDS\n").empty());
    EXPECT_EQ(shownFor(".SUBCKT DIV IN OUT\nR1 IN OUT 5\n.ENDS\n.SUBCKT DIV IN OUT\nR1 IN OUT 6\n.ENDS\n"),
              std::vector<int>{10979});
}

TEST_F(LibraryLookupTest, StaleOrForeignIndexIsMadeAgain)
{
    WriteFile("parts.lib", ".MODEL A1 D\n");
    Register("parts.lib");
    EXPECT_GE(FindModelIn("A1", kModelDiode), 0);
    ClearModelTable();

    // The library is touched after its index was made: the cached index is not trusted.
    SetAge("parts.INX", -100);
    WriteFile("parts.lib", ".MODEL A1 D\n.MODEL A2 D\n");
    SetAge("parts.lib", -50);
    EXPECT_GE(FindModelIn("A2", kModelDiode), 0);
    EXPECT_EQ(ItemNames(IndexOf("parts.INX")).size(), 3u);

    // An unfinished index (version 0xFFFF), one of another version, and a truncated one.
    const std::string good = ReadBytes("parts.INX");
    for (std::string bad : {std::string("\xFF\xFF\0\0\0\0", 6), std::string("\x04\x00", 2) + good.substr(2),
                            good.substr(0, good.size() - 3)}) {
        ResetLibraryStateForTests();
        ClearModelTable();
        WriteFile("parts.INX", bad);
        Register("parts.lib");
        EXPECT_GE(FindModelIn("A2", kModelDiode), 0);
        EXPECT_EQ(ReadBytes("parts.INX"), good);
    }
}

TEST_F(LibraryLookupTest, LibrariesSharingAnIndexAreRefused)
{
    WriteFile("A.LIB", ".MODEL X1 D\n");
    WriteFile("A.TXT", ".MODEL X2 D\n");
    SetAge("A.TXT", -100);
    Register("A.LIB");
    EXPECT_GE(FindModelIn("X1", kModelDiode), 0);
    ResetLibraryStateForTests();
    Register("A.TXT");
    int error = 0;
    EXPECT_EQ(FindInLibraries("X2", kModelDiode, kLookupModel, error), -1);
    EXPECT_EQ(error, kMsgAlreadyReported);
    EXPECT_EQ(ShownIds().back(), kMsgIndexNamesClash);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "A.INX"));
}

TEST_F(LibraryLookupTest, IndexCopiedWithItsLibraryIsMadeAgain)
{
    WriteFile("old/parts.lib", ".MODEL M1 D\n");
    Register("old/parts.lib");
    EXPECT_GE(FindModelIn("M1", kModelDiode), 0);
    std::filesystem::create_directory(dir_ / "new");
    std::filesystem::copy_file(dir_ / "old/parts.lib", dir_ / "new/parts.lib");
    std::filesystem::copy_file(dir_ / "old/parts.INX", dir_ / "new/parts.INX");
    ResetLibraryStateForTests();
    ClearModelTable();
    Register("new/parts.lib");
    EXPECT_GE(FindModelIn("M1", kModelDiode), 0);
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_EQ(IndexOf("new/parts.INX").records.front().text, PathOf("new/parts.lib"));
}

TEST_F(LibraryLookupTest, BinaryLibraryModelsAreFoundByFamily)
{
    ModelLibrary library;
    ModelLibraryEntry* diode = NewLibraryEntry(library, kModelDiode);
    diode->name = "dbin";
    const ModelTypeRow& d = kModelTypeTable[kModelDiode];
    for (int i = 0; i < d.libraryCount; ++i) diode->params[static_cast<std::size_t>(i)] = d.params[i].defaultValue;
    diode->params[static_cast<std::size_t>(FindModelParamIndex(kModelDiode, "IS"))] = 3.25e-9f;
    ModelLibraryEntry* mos = NewLibraryEntry(library, kModelNmos8);
    mos->name = "N8";
    const ModelTypeRow& n8 = kModelTypeTable[kModelNmos8];
    for (int i = 0; i < n8.libraryCount; ++i) mos->params[static_cast<std::size_t>(i)] = n8.params[i].defaultValue;
    ASSERT_EQ(SaveModelLibrary(library, PathOf("big.lbr")), 0);
    Register("big.lbr");

    const int index = FindModelIn("DBIN", kModelDiode);
    ASSERT_GE(index, 0);
    EXPECT_EQ(FindModelStatement(index)->sourceKind, kModelSourceBinaryLibrary);
    const EvaluatedModel* model = FindModel(kModelSelectStatement, index);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->Param(FindModelParamIndex(kModelDiode, "IS")), 3.25e-9f);
    // An NMOS part finds the LEVEL 8 entry, which keeps its row.
    const int mosIndex = FindModelIn("N8", kModelNmos);
    ASSERT_GE(mosIndex, 0);
    EXPECT_EQ(FindModelStatement(mosIndex)->row, kModelNmos8);
    EXPECT_EQ(ItemNames(IndexOf("big.IXL")), (std::vector<std::string>{"[big.lbr]", "DBIN", "N8"}));
}

TEST_F(LibraryLookupTest, NamesAndParameterLinesOfAllLibraries)
{
    WriteFile("one.lib", ".MODEL P1 PNP\n.MODEL N1 NPN\n.PARAM GAIN=10\n");
    WriteFile("two.lib", ".MODEL P2 PNP\n");
    Register("one.lib");
    Register("two.lib");
    int error = 0;
    std::vector<std::string> names;
    EXPECT_EQ(FindInLibraries({}, kModelLpnp, kLookupModelNames, error, nullptr, -1, &names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"P1", "P2"}));
    names.clear();
    EXPECT_EQ(FindInLibraries({}, kModelPnp, kLookupModelNames, error, nullptr, 1, &names), 1);  // one library
    EXPECT_EQ(FindInLibraries({}, -1, kLookupParamLines, error), 0);
    EXPECT_EQ(error, 0);
    bool found = false;
    for (const DefineRow& row : NetlistReader().defines) found = found || row.name == "GAIN";
    EXPECT_TRUE(found);
}

TEST_F(LibraryLookupTest, MissingLibraryIsReportedOnce)
{
    Register("gone.lib");
    int error = 0;
    EXPECT_EQ(FindInLibraries("X", kModelDiode, kLookupModel, error), -1);
    EXPECT_EQ(error, kMsgAlreadyReported);
    EXPECT_EQ(ShownIds(), std::vector<int>{kMsgFileErrorBase + ENOENT});
    EXPECT_EQ(FindInLibraries("Y", kModelDiode, kLookupModel, error), -1);
    EXPECT_EQ(ShownIds().size(), 1u);
}

TEST_F(LibraryLookupTest, CircuitFileLibraryIsReadFromItsTextArea)
{
    WindowRecord* schematic = NewWindowRecord(nullptr, kWindowSchematic, true);
    ASSERT_NE(schematic, nullptr);
    schematic->textArea = "* library text\r\n.MODEL CM D (RS=3)\r\n";
    ASSERT_EQ(WriteCircuitFile(schematic, PathOf("lib.cir"), kWriteQuietly), 0) << LastMessage();
    FreeWindowRecord(schematic);
    Register("lib.cir");
    const int index = FindModelIn("CM", kModelDiode);
    ASSERT_GE(index, 0);
    EXPECT_FLOAT_EQ(FindModel(kModelSelectStatement, index)->Param(FindModelParamIndex(kModelDiode, "RS")), 3.0f);
    const LibraryIndex libraryIndex = IndexOf("lib.IXC");
    ASSERT_FALSE(libraryIndex.records.empty());
    EXPECT_EQ(libraryIndex.records.front().kind, kIndexCircuitLibrary);
}

TEST_F(LibraryLookupTest, IndexThatCannotBeWrittenIsKeptInMemory)
{
    WriteFile("parts.lib", ".MODEL K1 D\n");
    std::filesystem::create_directory(dir_ / "parts.INX");
    Register("parts.lib");
    EXPECT_GE(FindModelIn("K1", kModelDiode), 0);
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(LibraryLookupTest, EditedLibraryWindowIsSavedFirst)
{
    win::ResetPlatformForTests(800, 600);
    WriteFile("edit.lib", ".MODEL OLD D\n");
    WindowRecord* window = NewDocumentWindow(kWindowTextCircuit, PathOf("edit.lib"));
    ASSERT_NE(window, nullptr);
    window->textArea = ".MODEL NEW D\n";
    window->modified = 1;
    Register("edit.lib");
    win::PushMessageBoxAnswer(win::IDCANCEL);
    int error = 0;
    EXPECT_EQ(FindInLibraries("NEW", kModelDiode, kLookupModel, error), -1);
    EXPECT_EQ(ShownIds().back(), kMsgLibraryEdited);

    win::PushMessageBoxAnswer(win::IDOK);
    EXPECT_GE(FindModelIn("NEW", kModelDiode), 0);
    EXPECT_EQ(ReadBytes("edit.lib"), ".MODEL NEW D\n");
    EXPECT_EQ(window->modified, 0);
}

TEST_F(LibraryLookupTest, CircuitLibrariesComeFromTheReader)
{
    WriteFile("NOM.LIB", "* empty default library\n");
    WriteFile("parts.lib", ".MODEL QX NPN (BF=80)\n");
    ASSERT_EQ(Read("test\n.LIB parts.lib\nQ1 1 2 0 QX\n.END\n"), 0);
    EXPECT_GE(FindOrLoadModel(kModelNpn, 0, "QX"), 0);
    EXPECT_EQ(FindOrLoadModel(kModelNpn, 0, "QY"), -1);
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_TRUE(std::filesystem::exists(dir_ / "parts.INX"));
}

}  // namespace
}  // namespace kq5::testing
