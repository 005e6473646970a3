// Every netlist of the corpora exported in the three dialects and read back by our own reader:
// refused netlists write no file, every other export reads and builds.
#include <map>

#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

struct Corpus {
    std::string dir;
    std::string file;
};

std::vector<Corpus> CorpusFiles()
{
    std::vector<Corpus> files;
    const std::filesystem::path root(KQ5_SOURCE_DIR);
    for (const char* dir : {"tests/circuits/spice", "tests/reference/circuits", "tests/circuits", "examples"}) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root / dir)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".cir" || ext == ".CIR")) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) files.push_back({(root / dir).string(), name});
    }
    return files;
}

class SpiceExportRoundTrip : public SpiceExportTest {
protected:
    // The netlists the reader refuses, as the corpus lists them.
    static bool Refused(const Corpus& c)
    {
        const std::string listed = ReadText(std::filesystem::path(c.dir) / "expected.tsv");
        return listed.find(c.file + "\trefused") != std::string::npos;
    }

    std::map<int, int> TypeCounts()
    {
        std::map<int, int> counts;
        for (SchematicItem& item : ListRecords<SchematicItem>(Document().itemList))
            if (item.IsComponent() && item.scope == 0) ++counts[ItemComponentType(&item)];
        return counts;
    }
};

TEST_F(SpiceExportRoundTrip, EveryCorpusNetlistReadsBackInEveryDialect)
{
    int exported = 0, refused = 0;
    for (const Corpus& c : CorpusFiles()) {
        // Each netlist starts from a clean program, as a fresh window would.
        BuildTest::TearDown();
        BuildTest::SetUp();
        const std::string text = ReadText(std::filesystem::path(c.dir) / c.file);
        const bool reads = !Refused(c);
        unsigned mask = 0;
        for (const auto& [keyword, bit] : {std::pair{"\n.TRAN", kExportTransient}, std::pair{"\n.AC", kExportAc},
                                           std::pair{"\n.DC", kExportDc}, std::pair{"\n.NOISE", kExportAc}})
            if (CopyUpperCase("\n" + text).find(keyword) != std::string::npos) mask |= bit;
        for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3}) {
            SCOPED_TRACE(c.file + " dialect " + std::to_string(dialect));
            record_->kind = kWindowTextCircuit;
            record_->textArea = text;
            record_->title = (std::filesystem::path(c.dir) / c.file).string();
            SpiceExport().dialect = dialect;
            SpiceExport().analysisMask = mask;
            SpiceExport().expandSubcircuits = true;
            const std::filesystem::path out = dir_ / (c.file + "." + std::to_string(dialect) + ".ckt");
            win::ClearMessageBoxLog();
            const int rc = ExportSpiceNetlist(record_, out.string());
            if (!reads) {
                EXPECT_NE(rc, 0);
                EXPECT_FALSE(std::filesystem::exists(out)) << "a refused netlist wrote a file";
                EXPECT_FALSE(win::MessageBoxLog().empty()) << "no build error shown";
                ++refused;
                continue;
            }
            EXPECT_EQ(rc, 0) << LastShownText();
            const std::string written = ReadText(out);
            EXPECT_FALSE(written.empty());
            if (rc || written.empty()) continue;
            ++exported;
            // Read back as a netlist of its own.
            record_->textArea = written;
            record_->title = out.string();
            win::ClearMessageBoxLog();
            const int back = PrepareCircuit(record_, nullptr, kPrepareResolveModels | kPrepareRebuildNetlist);
            EXPECT_EQ(back, 0) << "read back: " << LastShownText() << "\n" << written;
            FreeBuiltCircuit(0xFF);
        }
    }
    std::printf("[export] %d exports read back, %d refused netlists wrote nothing\n", exported, refused / 3);
    EXPECT_EQ(refused / 3, 12);
}

}  // namespace
}  // namespace kq5::testing
