#pragma once
// A text circuit window whose netlist the tests read, with a scratch directory for the files it
// includes, and helpers to find what the reader made.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "document/netlist_state.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_text_pass.h"
#include "netlist/subcircuit_scopes.h"
#include "platform/message_box.h"
#include "results/curve_record.h"
#include "results/plot_record_flags.h"
#include "document/component_definition.h"
#include "document/component_library.h"

namespace kq5::testing {

inline void ResetNetlistWorld()
{
    InitCharClasses();
    FreeNetlistReaderBuild();
    ResetNetlistReaderForTests();
    ResetNetlistStateForTests();
    ResetModelStateForTests();
    ResetComponentLibraryForTests();
    ResetFileUnitsForTests();
    ResetConnectivityStateForTests();
    ResetDocumentStateForTests();
    ResetAnalysisStateForTests();
    ResetPlotRecordFlagsForTests();
    ResetStatusTextForTests();
    ResetAppStateForTests();
    ResetCircuitBuildForTests();
    ResetLibraryStateForTests();
    win::ClearMessageBoxLog();
}

class SpiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetNetlistWorld();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-spice-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // The default library every build registers.
        WriteFile("NOM.LIB", "* default library of the tests\n");
        ::setenv("KQ5DATA", dir_.c_str(), 1);
        record_ = NewWindowRecord(nullptr, kWindowTextCircuit, true);
        ASSERT_NE(record_, nullptr);
        record_->plot = std::make_shared<PlotRecord>();
        SetCurrentDocument(record_);
    }
    void TearDown() override
    {
        ResetNetlistWorld();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    void WriteFile(const std::string& name, const std::string& text) const
    {
        std::filesystem::create_directories((dir_ / name).parent_path());
        std::ofstream out(dir_ / name, std::ios::binary);
        out << text;
    }

    // Puts the netlist in the window (and on disk under the window's title) and reads it.
    int Read(const std::string& text, const std::string& name = "circuit.cir")
    {
        ClearCircuitBuildError();
        WriteFile(name, text);
        record_->title = PathOf(name);
        record_->textArea = text;
        record_->document->textLineCount = 0;
        InitNetlistReader();
        return ReadSpiceTextCircuit();
    }

    // Reads and expands; 0 when both succeeded.
    int ReadAndExpand(const std::string& text, const std::string& name = "circuit.cir")
    {
        if (int status = Read(text, name)) return status;
        return ExpandCircuit(false, nullptr, true);
    }

    std::vector<SchematicItem*> Components() const
    {
        std::vector<SchematicItem*> items;
        for (SchematicItem& item : ListRecords<SchematicItem>(record_->document->itemList))
            if (item.IsComponent()) items.push_back(&item);
        return items;
    }

    SchematicItem* Part(const std::string& name) const
    {
        for (SchematicItem* item : Components())
            if (GetAttributeText(item, kAttrPart) == name) return item;
        return nullptr;
    }

    static int TypeOf(const SchematicItem* item) { return item && item->definition ? item->definition->type : -1; }
    static std::string Attr(const SchematicItem* item, int id) { return GetAttributeText(item, id); }

    std::string LastMessage() const
    {
        return win::MessageBoxLog().empty() ? std::string() : win::MessageBoxLog().back().text;
    }
    std::string LastCaption() const
    {
        return win::MessageBoxLog().empty() ? std::string() : win::MessageBoxLog().back().caption;
    }

    std::filesystem::path dir_;
    WindowRecord* record_ = nullptr;
};

}  // namespace kq5::testing
