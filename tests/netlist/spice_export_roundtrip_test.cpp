// Every netlist of the corpora exported in the three dialects and read back by our own reader:
// refused netlists write no file, every other export reads and builds.
#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>

#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

struct Corpus {
    std::string dir;
    std::string file;
};

// The corpora copied into a scratch folder: reading a netlist writes index files beside the
// libraries it includes, which must not land in the sources.
std::vector<Corpus> CorpusFiles(const std::filesystem::path& scratch)
{
    std::vector<Corpus> files;
    const std::filesystem::path source(KQ5_SOURCE_DIR);
    for (const char* dir : {"tests/circuits/spice", "tests/reference/circuits", "tests/circuits", "examples"}) {
        std::filesystem::create_directories(scratch / dir);
        for (const auto& entry : std::filesystem::directory_iterator(source / dir))
            if (entry.is_regular_file())
                std::filesystem::copy_file(entry.path(), scratch / dir / entry.path().filename(),
                                           std::filesystem::copy_options::overwrite_existing);
    }
    const std::filesystem::path& root = scratch;
    for (const char* dir : {"tests/circuits/spice", "tests/reference/circuits", "tests/circuits", "examples"}) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root / dir)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".cir" || ext == ".CIR" || ext == ".ckt")) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) files.push_back({(root / dir).string(), name});
    }
    return files;
}

// Netlists whose export does not yet read back, with the reason.
const std::map<std::string, std::string> kLeftOut = {
    {"opamp_inverting_levels.cir", "its op-amps are written as calls of subcircuits named after their OPA models; "
                                   "read back, an X line naming an OPA model's name asks for that model: \"Missing "
                                   "model statement 'OPL1'.\""},
    {"sample_hold_ramp.cir", "no dialect has a sample-and-hold element: the export writes \"* component Sample "
                             "and Hold not found.\" and the read-back circuit loses its output node"},
    {"optional_pins.cir", "its timing models D_7400 and D_7404 are defined nowhere: the export's model resolution "
                          "refuses it with that error (a run does not look them up while digital parts are not simulated)"},
};

// The circuit files of tests/circuits are the file-format samples, drawn in code with stand-in
// definitions: with the library's components they do not make circuits, and their exports are
// refused like those of the netlists the reader refuses. The schematics that do make circuits are
// drawn in spice_export_scopes_test.cpp.
const std::map<std::string, std::string> kRefusedCircuitFiles = {
    {"rc_filter.cir", "its wires end two grid units beside the library Resistor's second pin (6,0): R1 hangs "
                      "on a dangling wire, \"Node 1 has no DC path to ground.\""},
    {"rc_filter_banner.cir", "the same drawing as rc_filter.cir in the banner format: the same error"},
    {"every_section.cir", "R1's VALUE is \"1k,2%\": \"Unknown identifier ',2%'.\""},
};

class SpiceExportRoundTrip : public SpiceExportTest {
protected:
    // The reference netlists keep the lines only this program reads behind "*KQ5 ".
    static std::string OurText(const std::string& text)
    {
        std::string out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out += (line.rfind("*KQ5 ", 0) == 0 ? line.substr(5) : line) + "\n";
        return out;
    }

    // The netlists the reader refuses, as the corpus lists them.
    static bool Refused(const Corpus& c, bool circuitFile)
    {
        if (circuitFile) return kRefusedCircuitFiles.count(c.file) > 0;
        const std::string listed = ReadText(std::filesystem::path(c.dir) / "expected.tsv");
        return listed.find(c.file + "\trefused") != std::string::npos;
    }

    // The elements of the types every dialect writes, counted in the original's prepared circuit.
    // Sets the record up as the original: a netlist's text, or a circuit file read as opened.
    void LoadOriginal(const std::string& text, const Corpus& c)
    {
        const std::string path = (std::filesystem::path(c.dir) / c.file).string();
        if (IsCircuitFileText(text)) {
            ASSERT_EQ(ReadSchematicInto(record_, path), 0) << LastShownText();
            return;
        }
        record_->kind = kWindowTextCircuit;
        record_->textArea = text;
        record_->title = path;
    }

    // The analyses a circuit file has limits for, or a netlist has lines for.
    unsigned AnalysisMask(const std::string& text)
    {
        unsigned mask = 0;
        if (IsCircuitFileText(text)) {
            const AnalysisLimits& limits = record_->document->limits;
            if (!limits.transient[0].empty()) mask |= kExportTransient;
            if (!limits.ac[0].empty()) mask |= kExportAc;
            if (!limits.dc[0].empty()) mask |= kExportDc;
            return mask;
        }
        for (const auto& [keyword, bit] : {std::pair{"\n.TRAN", kExportTransient}, std::pair{"\n.AC", kExportAc},
                                           std::pair{"\n.DC", kExportDc}, std::pair{"\n.NOISE", kExportAc}})
            if (CopyUpperCase("\n" + text).find(keyword) != std::string::npos) mask |= bit;
        return mask;
    }

    // The names of the analog nodes of the circuit built last.
    static std::set<std::string> NodeNames()
    {
        std::set<std::string> names;
        for (const NodeNameRow& row : CircuitNodeTable().rows)
            if (row.scope == 0 && row.domain == 0 && row.number > 0) names.insert(CopyUpperCase(row.name));
        return names;
    }

    std::map<int, int> OriginalCounts(const std::string& text, const Corpus& c)
    {
        LoadOriginal(text, c);
        std::map<int, int> counts;
        if (PrepareCircuit(record_, nullptr, kPrepareRebuildNetlist) == 0) {
            counts = TypeCounts();
            originalNodes_ = NodeNames();
        }
        FreeBuiltCircuit(0xFF);
        win::ClearMessageBoxLog();
        return counts;
    }

    std::map<int, int> TypeCounts()
    {
        std::map<int, int> counts;
        for (SchematicItem& item : ListRecords<SchematicItem>(Document().itemList))
            if (item.IsComponent() && item.scope == 0) {
                const int type = ItemComponentType(&item);
                for (int basic : {kComponentResistor, kComponentCapacitor, kComponentInductor, kComponentDiode,
                                  kComponentNpn, kComponentPnp, kComponentNmos, kComponentPmos, kComponentNjfet,
                                  kComponentPjfet, kComponentVSpice, kComponentISpice})
                    if (type == basic) ++counts[type];
            }
        return counts;
    }

    std::set<std::string> originalNodes_;
};

TEST_F(SpiceExportRoundTrip, EveryCorpusNetlistReadsBackInEveryDialect)
{
    int exported = 0, refused = 0, circuitFiles = 0, leftOut = static_cast<int>(kLeftOut.size());
    const std::filesystem::path scratch = dir_ / "corpora";
    for (const Corpus& c : CorpusFiles(scratch)) {
        // Each netlist starts from a clean program, as a fresh window would.
        BuildTest::TearDown();
        BuildTest::SetUp();
        Settings().programDirectory = std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
        if (kLeftOut.count(c.file)) continue;
        const std::string text = OurText(ReadText(std::filesystem::path(c.dir) / c.file));
        // Circuit files are drawn with the libraries' components, as the program loads them.
        const bool circuitFile = IsCircuitFileText(text);
        const bool reads = !Refused(c, circuitFile);
        if (circuitFile) {
            ASSERT_EQ(LoadProgramLibraries(), 0);
            ++circuitFiles;
        }
        const std::map<int, int> before = OriginalCounts(text, c);
        const unsigned mask = AnalysisMask(text);
        if (circuitFile && reads) { EXPECT_FALSE(before.empty()) << c.file << ": the circuit file builds no element"; }
        for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3}) {
            SCOPED_TRACE(c.file + " dialect " + std::to_string(dialect));
            LoadOriginal(text, c);
            SpiceExport().dialect = dialect;
            SpiceExport().analysisMask = mask;
            SpiceExport().expandSubcircuits = true;
            const std::filesystem::path out = dir_ / (c.file + "." + std::to_string(dialect) + ".ckt");
            win::ClearMessageBoxLog();
            const int rc = ExportSpiceNetlist(record_, out.string());
            if (!reads) {
                EXPECT_NE(rc, 0);
                EXPECT_FALSE(std::filesystem::exists(out)) << "a refused netlist wrote a file:\n" << ReadText(out);
                EXPECT_FALSE(win::MessageBoxLog().empty()) << "no build error shown";
                ++refused;
                continue;
            }
            EXPECT_EQ(rc, 0) << LastShownText();
            const std::string written = ReadText(out);
            EXPECT_FALSE(written.empty());
            if (rc || written.empty()) continue;
            ++exported;
            // A Spice3 lossy line is the LTRA model, which is not this program's (its O element is
            // the digital output interface).
            if (written.find(" LTRA (") != std::string::npos) continue;
            // Nor are the Spice3 model types R, C and L (this program's are RES, CAP and IND) and
            // NMF (its GASFET).
            static const std::regex kSpice3Passive(R"((^|\n)\.MODEL \S+ ([RCL]|NMF) \()");
            if (dialect == kSpiceDialectSpice3 && std::regex_search(written, kSpice3Passive)) continue;
            // Read back as a netlist of its own.
            record_->kind = kWindowTextCircuit;
            record_->textArea = written;
            record_->title = out.string();
            win::ClearMessageBoxLog();
            const int back = PrepareCircuit(record_, nullptr, kPrepareResolveModels | kPrepareRebuildNetlist);
            EXPECT_EQ(back, 0) << "read back: " << LastShownText() << "\n" << written;
            // The elements come back, with the export's additions beside them.
            const std::map<int, int> after = TypeCounts();
            for (const auto& [type, count] : before) {
                const auto found = after.find(type);
                EXPECT_GE(found == after.end() ? 0 : found->second, count) << "type " << type << "\n" << written;
            }
            // Where the dialect lost no element (types it lacks are written as comments), no node
            // is lost, and every named node comes back under its name (SPICE 2G numbers them).
            const std::set<std::string> nodes = NodeNames();
            // The nodes of the digital power and the interfaces ("$" names) are the build's own
            // and made anew when the export is read.
            const std::string upper = CopyUpperCase(written);
            const bool lostNothing = upper.find(" NOT SUPPORTED BY SPICE") == std::string::npos;
            const bool digital = upper.find("\nU") != std::string::npos;
            if (lostNothing && !digital) { EXPECT_GE(nodes.size(), originalNodes_.size()) << written; }
            if (lostNothing && dialect != kSpiceDialect2G) {
                for (const std::string& name : originalNodes_) {
                    if (name.find('$') == std::string::npos &&
                        !std::all_of(name.begin(), name.end(), [](unsigned char ch) { return std::isdigit(ch); })) {
                        EXPECT_TRUE(nodes.count(name)) << "node " << name << " lost\n" << written;
                    }
                }
            }
            FreeBuiltCircuit(0xFF);
        }
    }
    std::printf("[export] %d exports read back (%d circuit files among the netlists), %d refused netlists wrote "
                "nothing, %d netlists left out\n",
                exported, circuitFiles, refused / 3, leftOut);
    EXPECT_EQ(circuitFiles, 5);
    EXPECT_EQ(refused / 3, 12 + static_cast<int>(kRefusedCircuitFiles.size()));
}

}  // namespace
}  // namespace kq5::testing
