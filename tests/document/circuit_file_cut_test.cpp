// A sectioned circuit file cut short (a full disk, a copy broken off) loads what it holds and
// says that the rest is missing, since saving it again would lose the rest for good.
#include <string>

#include "circuit_file_test_support.h"

namespace kq5::testing {
namespace {

class CircuitFileCut : public CircuitFileTest {
protected:
    // Loads the file in a window; how many times the cut warning was shown.
    int CutWarnings(const std::string& path)
    {
        win::ClearMessageBoxLog();
        WindowRecord* out = nullptr;
        EXPECT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults | kLoadNoConnectivity, out), 0);
        EXPECT_NE(out, nullptr);
        int warnings = 0;
        for (const win::MessageBoxEntry& entry : win::MessageBoxLog()) {
            if (entry.caption.find("13395") == std::string::npos) continue;
            EXPECT_NE(entry.text.find(path), std::string::npos) << entry.text;
            ++warnings;
        }
        if (out) FreeDocumentRecord(out);
        return warnings;
    }

    std::string SavedRichFile()
    {
        BuildRichDocument(record_, resistor_, capacitor_);
        const std::string path = PathOf("whole.cir");
        EXPECT_EQ(Save(record_, path), 0);
        return ReadFileBytes(path);
    }
};

TEST_F(CircuitFileCut, AWholeFileLoadsWithoutAWord)
{
    SavedRichFile();
    EXPECT_EQ(CutWarnings(PathOf("whole.cir")), 0);
    const std::string sample = std::string(KQ5_SOURCE_DIR) + "/tests/circuits/rc_filter.cir";
    WriteFileBytes(PathOf("rc_filter.cir"), ReadFileBytes(sample));
    EXPECT_EQ(CutWarnings(PathOf("rc_filter.cir")), 0);
    // A hand-made file that does not count its items is taken as it is.
    EXPECT_EQ(CutWarnings(MakeFile("hand.cir", MainSection() + "[Comp]\nName=Resistor\nGrid=4,4\n")), 0);
}

TEST_F(CircuitFileCut, AFileCutAtAnySectionWarns)
{
    const std::string whole = SavedRichFile();
    // Cut before each section after the items began, and inside the last one.
    int cuts = 0;
    for (std::size_t at = whole.find("\r\n[Wire]"); at != std::string::npos; at = whole.find("\r\n[", at + 1)) {
        const std::string path = MakeFile("cut" + std::to_string(cuts) + ".cir", whole.substr(0, at + 2));
        EXPECT_EQ(CutWarnings(path), 1) << "cut before " << whole.substr(at + 2, 20);
        ++cuts;
    }
    EXPECT_GT(cuts, 5);
    const std::string path = MakeFile("lastline.cir", whole.substr(0, whole.rfind("A.Status")));
    EXPECT_EQ(CutWarnings(path), 1);
}

// A component whose definition is not in the library is left out, and said so; the file is whole
// and is not called cut short.
TEST_F(CircuitFileCut, AComponentLeftOutIsNoCut)
{
    std::string whole = SavedRichFile();
    const std::size_t at = whole.find("Name=Capacitor");
    ASSERT_NE(at, std::string::npos);
    whole.replace(at, 14, "Name=NoSuchPart");
    EXPECT_EQ(CutWarnings(MakeFile("missing.cir", whole)), 0);
}

}  // namespace
}  // namespace kq5::testing
