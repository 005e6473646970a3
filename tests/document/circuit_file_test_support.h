#pragma once
// Shared set-up of the circuit file tests: a scratch directory, a component library whose
// definitions have shapes, documents built by code, reading a file back into a record, and
// comparing two documents item by item.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "document/analysis_windows.h"
#include "document/save_file_dialog.h"
#include "core/file_units.h"
#include "document/banner_file.h"
#include "core/message_reporter.h"
#include "document/document_windows.h"
#include "document/circuit_file.h"
#include "document/circuit_file_sectioned.h"
#include "document_test_support.h"
#include "document/grid_text.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"
#include "document/component_library.h"
#include "document/page_array.h"
#include "document/component_types.h"
#include "platform/backend.h"

namespace kq5::testing {

inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class CircuitFileTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        ResetFileUnitsForTests();
        ResetCircuitFileStateForTests();
        ResetComponentLibraryForTests();
        ResetPlotViewSettingsForTests();
        ResetSaveFileDialogForTests();
        // The face table as the program starts it: files name faces, the document keeps indexes.
        ResetFontFacesForTests();
        FindFontFace("Arial");
        FindFontFace("Courier New");
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-circuit-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ComponentShape shape;
        shape.extent = win::RECT{-16, -16, 16, 16};
        ASSERT_TRUE(SetShape(1, shape));
        resistor_ = AddComponentDefinition("Resistor", kComponentResistor, 1);
        capacitor_ = AddComponentDefinition("Capacitor", kComponentCapacitor, 1);
        ground_ = AddComponentDefinition("Ground", kComponentGround, 1);
        ASSERT_NE(resistor_, nullptr);
        EnsurePlot(record_);
    }
    void TearDown() override
    {
        ResetFileUnitsForTests();
        ResetCircuitFileStateForTests();
        ResetComponentLibraryForTests();
        ResetSaveFileDialogForTests();
        std::error_code error;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(dir_, error);
        DocumentTest::TearDown();
        ResetPlotViewSettingsForTests();
    }

    static void EnsurePlot(WindowRecord* record)
    {
        if (!record->plot) record->plot = std::make_shared<PlotRecord>();
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    // A schematic record without a window, ready to receive a file.
    WindowRecord* NewRecord()
    {
        WindowRecord* record = NewWindowRecord(nullptr, kWindowSchematic, true);
        EnsurePlot(record);
        return record;
    }

    // Reads a circuit file into the record as the load does, without the window around it.
    int ReadInto(WindowRecord* record, const std::string& path, LoadOptions options = kLoadDefaults)
    {
        int status = ReadComponentsBlock(record, path, true, options);
        CircuitFileState& state = CircuitFiles();
        if (state.loadVersion != kSectionedFileVersion) {
            if (status == 0) status = TransferBannerBody(record, state.loadUnit, options, state.loadVersion);
            FreeBannerFontNames();
        }
        CloseUnit(CircuitFiles().loadUnit);
        CircuitFiles().loadUnit = -1;
        return status;
    }

    // Writes the record's document as a sectioned file; the result of the write.
    int Save(WindowRecord* record, const std::string& path)
    {
        return WriteFileReplacing(path, [record](int unit) { return WriteCircuitSections(record, unit); });
    }

    // A file of the given text: the sections of a hand-made circuit.
    std::string MakeFile(const std::string& name, const std::string& text)
    {
        const std::string path = PathOf(name);
        WriteFileBytes(path, text);
        return path;
    }

    std::filesystem::path dir_;
    ComponentDefinition* resistor_ = nullptr;
    ComponentDefinition* capacitor_ = nullptr;
    ComponentDefinition* ground_ = nullptr;
};

// The same over a fresh headless platform, for the tests that open windows or write the screen
// size into a file.
class CircuitFileWindowTest : public CircuitFileTest {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        CircuitFileTest::SetUp();
    }
    void TearDown() override
    {
        CircuitFileTest::TearDown();
        win::ResetPlatformForTests(1024, 768);
    }
};

// The first lines of a sectioned file.
inline std::string MainSection() { return "[Main]\nFileType=CIR\nVersion=5.20\n"; }

// Compares two documents item by item, grid text by grid text and page by page.
void ExpectSameDocuments(const WindowRecord& expected, const WindowRecord& actual);

// Fills a document with one of everything the sectioned file keeps.
void BuildRichDocument(WindowRecord* record, ComponentDefinition* resistor, ComponentDefinition* capacitor);

}  // namespace kq5::testing
