#pragma once
// A text circuit exported through the SPICE export, the written file read back as text.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "build_test_support.h"
#include "core/file_units.h"
#include "document/banner_file.h"
#include "document/circuit_file.h"
#include "document/connectivity.h"
#include "document/section_stream.h"
#include "netlist/spice_export.h"
#include "results/curve_record.h"
#include "document/component_library.h"
#include "document/shape_library.h"

namespace kq5::testing {

// The shape and component libraries the program loads at start-up, from beside the program (the
// build writes them there, beside the test programs too). 0 or the read's message id.
inline int LoadProgramLibraries()
{
    const std::filesystem::path dir = std::filesystem::canonical("/proc/self/exe").parent_path();
    ResetShapeLibraryForTests();
    ResetComponentLibraryForTests();
    Shapes().path = (dir / "shape.kq5").string();
    if (int rc = ReadShapeLibrary(Shapes().path, Shapes())) return rc;
    ComponentLibrary().path = (dir / "comp.kq5").string();
    return ReadComponentLibrary(ComponentLibrary().path, ComponentLibrary(), true);
}

inline bool IsCircuitFileText(const std::string& text)
{
    return text.rfind("[Main]", 0) == 0 || text.find("\nKestrion V") != std::string::npos;
}

// Reads a circuit file (schematic) into the record as opening it does, without a window. 0 or
// the read's message id.
inline int ReadSchematicInto(WindowRecord* record, const std::string& path)
{
    record->kind = kWindowSchematic;
    if (!record->plot) record->plot = std::make_shared<PlotRecord>();
    int status = ReadComponentsBlock(record, path, true, kLoadDefaults);
    CircuitFileState& state = CircuitFiles();
    if (state.loadVersion != kSectionedFileVersion) {
        if (status == 0) status = TransferBannerBody(record, state.loadUnit, kLoadDefaults, state.loadVersion);
        FreeBannerFontNames();
    }
    CloseUnit(state.loadUnit);
    state.loadUnit = -1;
    record->title = path;
    // The nodes, as opening the file in a window numbers them.
    if (status == 0) status = BuildConnectivity(record);
    return status;
}

class SpiceExportTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        ResetSpiceExportForTests();
        // The default library beside the program (interface subcircuits, common models).
        Settings().programDirectory = std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
        dir_ = std::filesystem::temp_directory_path() / ("kq5-export-" + std::to_string(::getpid()) + "-" +
                                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        ResetSpiceExportForTests();
        ResetCircuitFileStateForTests();
        ResetShapeLibraryForTests();
        ResetComponentLibraryForTests();
        BuildTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Exports the netlist in the dialect; the file's text, or "" when none was written.
    std::string Export(const std::string& netlist, SpiceDialect dialect, unsigned mask = kExportTransient,
                       bool expand = false, int* status = nullptr)
    {
        record_->kind = kWindowTextCircuit;
        record_->textArea = netlist;
        record_->title = (dir_ / "circuit.cir").string();
        std::ofstream(record_->title, std::ios::binary) << netlist;
        SpiceExport().dialect = dialect;
        SpiceExport().analysisMask = mask;
        SpiceExport().expandSubcircuits = expand;
        const std::string out = (dir_ / "circuit.ckt").string();
        std::filesystem::remove(out);
        const int rc = ExportSpiceNetlist(record_, out);
        if (status) *status = rc;
        EXPECT_EQ(rc, 0) << LastShownText();
        return ReadText(out);
    }

    // Exports the record as it stands (a schematic read in, say); the file's text.
    std::string ExportRecord(SpiceDialect dialect, unsigned mask = kExportTransient)
    {
        SpiceExport().dialect = dialect;
        SpiceExport().analysisMask = mask;
        const std::string out = (dir_ / "record.ckt").string();
        std::filesystem::remove(out);
        EXPECT_EQ(ExportSpiceNetlist(record_, out), 0) << LastShownText();
        return ReadText(out);
    }

    static std::string ReadText(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return {};
        std::ostringstream all;
        all << in.rdbuf();
        std::string text = all.str();
        std::erase(text, '\r');
        return text;
    }

    // The parts made in code (Part) written by the headless entry, as a built circuit is.
    std::string WriteParts(SpiceDialect dialect, unsigned mask = kExportTransient, int* status = nullptr)
    {
        SpiceExport().dialect = dialect;
        const std::string out = (dir_ / "parts.ckt").string();
        std::filesystem::remove(out);
        const int rc = WriteSpiceNetlist(record_, mask, out, "test.cir");
        if (status) *status = rc;
        // The names given belong to this export only.
        for (SchematicItem& item : ListRecords<SchematicItem>(Document().itemList))
            if (ComponentAttribute* name = FindAttribute(&item, kAttrSpiceName)) ListRemove(item.attributes, name);
        return ReadText(out);
    }

    // The lines of a text that begin with the prefix, joined with "\n".
    static std::string LinesStarting(const std::string& text, const std::string& prefix)
    {
        std::istringstream in(text);
        std::string joined;
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0) joined += line + "\n";
        return joined;
    }

    std::filesystem::path dir_;
};

}  // namespace kq5::testing
