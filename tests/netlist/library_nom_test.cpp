// The default model library: every statement parses and evaluates cleanly, and every model and
// interface subcircuit it defines is found through its index.
#include <filesystem>
#include <sstream>

#include "core/analysis_state.h"
#include "library_test_support.h"
#include "netlist/model_types.h"
#include "netlist/spice_sources.h"

namespace kq5::testing {
namespace {

class NomLibraryTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        // A copy, so that its index is made in the scratch directory.
        std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "data" / "NOM.LIB", dir_ / "NOM.LIB",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // The .MODEL and .SUBCKT names of the library, read as the reader reads them.
    void ReadNames(std::vector<std::string>& models, std::vector<std::string>& subcircuits) const
    {
        const int unit = FindFreeUnit();
        ASSERT_EQ(OpenUnit(PathOf("NOM.LIB"), unit), 0);
        std::string line;
        while (SourceHasMoreLines(unit) && ReadLogicalLine(unit, line, 0) == 0) {
            std::istringstream words(line);
            std::string keyword, name;
            words >> keyword >> name;
            if (keyword == ".MODEL") models.push_back(line);
            if (keyword == ".SUBCKT") subcircuits.push_back(name);
        }
        CloseUnit(unit);
    }
};

TEST_F(NomLibraryTest, EveryStatementParsesAndEvaluatesWithoutComplaint)
{
    std::vector<std::string> models, subcircuits;
    ReadNames(models, subcircuits);
    ASSERT_GE(models.size(), 40u);
    // Range checks run as when an analysis is set up.
    Analysis().analysisKind = kAnalysisTransient;
    for (const std::string& text : models) {
        SCOPED_TRACE(text);
        const int before = ModelStatementCount();
        ASSERT_EQ(ParseModelStatement(text, 0, 0, kModelSourceTextFile, PathOf("NOM.LIB")), 0);
        ASSERT_EQ(ModelStatementCount(), before + 1);
        EXPECT_NE(FindModel(kModelSelectStatement, before), nullptr);
    }
    Analysis().analysisKind = kAnalysisNone;
    EXPECT_TRUE(Models().deferredWarnings.empty());
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(NomLibraryTest, EveryNameIsFoundThroughTheIndex)
{
    std::vector<std::string> models, subcircuits;
    ReadNames(models, subcircuits);
    int index = -1;
    ASSERT_EQ(RegisterLibraryFile("NOM.LIB", kCircuitLibraryList, index), 0);
    for (const std::string& text : models) {
        SCOPED_TRACE(text);
        std::string name, ako, type;
        ParseModelNameAko(std::string_view(text).substr(6), name, ako, type);
        int error = 0;
        const int found = FindInLibraries(name, FindModelType(type), kLookupModel, error);
        ASSERT_GE(found, 0);
        EXPECT_EQ(FindModelStatement(found)->name, name);
        EXPECT_EQ(error, 0);
    }
    for (const char* name : {"ATODDEFAULT", "DTOADEFAULT", "DIGIFPWR"}) {
        int error = 0;
        std::string path;
        EXPECT_GE(FindInLibraries(name, -1, kLookupSubcircuit, error, &path), 0) << name;
        EXPECT_EQ(path, PathOf("NOM.LIB"));
    }
    EXPECT_EQ(subcircuits.size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "NOM.INX"));
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(NomLibraryTest, StandardIoModelNamesTheInterfaces)
{
    int index = -1;
    ASSERT_EQ(RegisterLibraryFile("NOM.LIB", kCircuitLibraryList, index), 0);
    int error = 0;
    const int found = FindInLibraries("IO_STD", kModelUio, kLookupModel, error);
    ASSERT_GE(found, 0);
    const EvaluatedModel* model = FindModel(kModelUio, found);
    ASSERT_NE(model, nullptr);
    const int atod = FindModelParamIndex(kModelUio, "ATOD1");
    const int power = FindModelParamIndex(kModelUio, "DIGPOWER");
    EXPECT_EQ((*model->textParams)[static_cast<std::size_t>(atod)], "ATODDEFAULT");
    EXPECT_EQ((*model->textParams)[static_cast<std::size_t>(power)], "DIGIFPWR");
}

}  // namespace
}  // namespace kq5::testing
