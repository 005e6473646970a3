// The SPICE corpus: netlists in the forms users bring from other simulators, each read and
// expanded as the circuit build does, under every analysis kind. A netlist either reads without
// an error shown, or is refused with the message its expectation names, at its line.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "netlist/circuit_build.h"
#include "netlist/spice_initial_conditions.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

const std::filesystem::path kCorpus = std::filesystem::path(KQ5_SOURCE_DIR) / "tests" / "circuits" / "spice";

struct Expectation {
    std::string file;
    bool reads = true;
    std::string caption;
    int line = 0;
};

std::vector<Expectation> LoadExpectations()
{
    std::vector<Expectation> expectations;
    std::ifstream in(kCorpus / "expected.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
        Expectation expectation;
        expectation.file = fields.at(0);
        expectation.reads = fields.at(1) == "reads";
        if (!expectation.reads) {
            expectation.caption = fields.at(2);
            expectation.line = std::stoi(fields.at(3));
        }
        expectations.push_back(expectation);
    }
    return expectations;
}

std::string ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SpiceCorpusTest : public SpiceTest {
protected:
    // The corpus is read from a copy: the library lookup writes index files beside libraries.
    void SetUp() override
    {
        SpiceTest::SetUp();
        for (const auto& entry : std::filesystem::directory_iterator(kCorpus))
            std::filesystem::copy_file(entry.path(), dir_ / entry.path().filename());
    }
    std::filesystem::path Corpus(const std::string& file) const { return dir_ / file; }

    // Reads and expands the netlist as the build would; 0 when nothing failed.
    int ReadCorpusNetlist(const std::filesystem::path& path)
    {
        ClearCircuitBuildError();
        record_->title = path.string();
        record_->textArea = ReadWhole(path);
        record_->document->textLineCount = 0;
        InitNetlistReader();
        if (int status = ReadSpiceTextCircuit()) return status;
        if (int status = ExpandCircuit(false, nullptr, true)) return status;
        return ParseInitialConditions({}, kInitialBuild, 0);
    }
    void Fresh()
    {
        FreeNetlistReaderBuild();
        ResetModelStateForTests();
        ResetCircuitBuildForTests();
        ResetLibraryStateForTests();
        ListClear(record_->document->itemList);
        for (auto& rows : record_->document->limitsRows) rows.clear();
        win::ClearMessageBoxLog();
    }
};

TEST_F(SpiceCorpusTest, EveryNetlistReadsOrIsRefusedAtItsLine)
{
    const std::vector<Expectation> expectations = LoadExpectations();
    ASSERT_GE(expectations.size(), 40u);
    std::set<std::string> listed;
    for (const Expectation& expectation : expectations) listed.insert(expectation.file);
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus))
        if (entry.path().extension() == ".cir") {
            EXPECT_TRUE(listed.count(entry.path().filename().string())) << entry.path();
        }

    for (const Expectation& expectation : expectations) {
        for (AnalysisKind kind : {kAnalysisTransient, kAnalysisAc, kAnalysisDc}) {
            SCOPED_TRACE(expectation.file + " analysis " + std::to_string(kind));
            Fresh();
            Analysis().analysisKind = kind;
            const std::filesystem::path path = Corpus(expectation.file);
            const int status = ReadCorpusNetlist(path);
            if (expectation.reads) {
                EXPECT_EQ(status, 0) << LastCaption() << "\n" << LastMessage();
                for (const win::MessageBoxEntry& box : win::MessageBoxLog())
                    EXPECT_EQ(box.caption.rfind("Error", 0), std::string::npos) << box.caption << "\n" << box.text;
                EXPECT_FALSE(Components().empty());
                continue;
            }
            EXPECT_NE(status, 0);
            EXPECT_EQ(LastCaption(), expectation.caption) << LastMessage();
            EXPECT_NE(LastMessage().find("Source:\t" + path.string()), std::string::npos) << LastMessage();
            const std::string located = "Line:\t" + std::to_string(expectation.line);
            const std::string& message = LastMessage();
            const std::size_t at = message.find(located);
            ASSERT_NE(at, std::string::npos) << message;
            const std::size_t after = at + located.size();
            EXPECT_TRUE(after == message.size() || message[after] == '\n') << message;
        }
    }
}

// The whole circuit build (devices, topology checks) of a transient analysis takes the same
// netlists the same way.
TEST_F(SpiceCorpusTest, EveryNetlistBuildsOrIsRefusedAtItsLine)
{
    for (const Expectation& expectation : LoadExpectations()) {
        SCOPED_TRACE(expectation.file);
        Fresh();
        ClearAllDeviceLists();
        Analysis().analysisKind = kAnalysisTransient;
        const std::filesystem::path path = Corpus(expectation.file);
        record_->title = path.string();
        record_->textArea = ReadWhole(path);
        record_->document->textLineCount = 0;
        const int status = BuildCircuit(1);
        if (expectation.reads) {
            EXPECT_EQ(status, 0) << LastCaption() << "\n" << LastMessage();
            EXPECT_GT(record_->document->nodeCount + record_->document->nodeCount2, 0);
            continue;
        }
        EXPECT_NE(status, 0);
        EXPECT_EQ(LastCaption(), expectation.caption) << LastMessage();
        EXPECT_NE(LastMessage().find("Line:\t" + std::to_string(expectation.line)), std::string::npos) << LastMessage();
    }
    FreeBuiltCircuit(0xFF);
}

// Damaged copies of the corpus netlists (a line dropped, a line cut short, a value made zero,
// negative or huge) each build or are refused with a message; none may crash or hang.
TEST_F(SpiceCorpusTest, DamagedNetlistsBuildOrAreRefusedWithAMessage)
{
    const char* const kValues[] = {"0", "-1", "1E300", "(", "{"};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFF;
    };
    const char* roundsText = std::getenv("KQ5_CORPUS_DAMAGE_ROUNDS");
    const int rounds = roundsText ? std::atoi(roundsText) : 3;
    int built = 0;
    int refused = 0;
    for (const Expectation& expectation : LoadExpectations()) {
        const std::string whole = ReadWhole(Corpus(expectation.file));
        std::vector<std::string> lines;
        std::stringstream stream(whole);
        for (std::string line; std::getline(stream, line);) lines.push_back(line);
        if (lines.size() < 2) continue;
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::string> damaged = lines;
            const std::size_t at = 1 + next() % (damaged.size() - 1);
            std::string& line = damaged[at];
            switch (next() % 3) {
                case 0: line.clear(); break;
                case 1: line.resize(line.size() / 2); break;
                default: {
                    // One blank-separated word becomes one of the values.
                    std::vector<std::size_t> blanks;
                    for (std::size_t i = 0; i < line.size(); ++i)
                        if (line[i] == ' ') blanks.push_back(i);
                    if (blanks.empty()) break;
                    const std::size_t start = blanks[next() % blanks.size()] + 1;
                    const std::size_t end = std::min(line.find(' ', start), line.size());
                    line.replace(start, end - start, kValues[next() % 5]);
                }
            }
            std::string text;
            for (const std::string& l : damaged) text += l + "\n";
            SCOPED_TRACE(expectation.file + " line " + std::to_string(at + 1) + ": " + line);
            Fresh();
            ClearAllDeviceLists();
            Analysis().analysisKind = static_cast<AnalysisKind>(next() % 3);
            record_->title = Corpus(expectation.file).string();
            record_->textArea = text;
            record_->document->textLineCount = 0;
            if (BuildCircuit(1) != 0) {
                ++refused;
                EXPECT_FALSE(win::MessageBoxLog().empty()) << "refused without a message";
            } else {
                ++built;
            }
            FreeBuiltCircuit(0xFF);
        }
    }
    // The damage must leave some netlists whole enough to build, and break others.
    EXPECT_GT(built, 0);
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace kq5::testing
