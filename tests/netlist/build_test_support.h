#pragma once
// Shared set-up of the circuit build tests: a clean program state, a schematic record whose
// components are made in code with their node numbers already given (as the expansion leaves
// them), a text circuit record for whole builds of SPICE text, and the ids of the messages shown.
#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "document/stepping_rows.h"
#include "ui/app_state.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/expr_math_errors.h"
#include "core/file_units.h"
#include "core/device_record_fields.h"
#include "devices/device_record_types.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "document/netlist_state.h"
#include "netlist/spice_reader_state.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "shown_message_ids.h"
#include "document/component_definition.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {

class BuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        InitCharClasses();
        // Renaming parts and rewiring during a build are the schematic editor's.
        InstallSchematicEditorHooks();
        ResetAppStateForTests();
        ResetDocumentStateForTests();
        ResetModelStateForTests();
        ResetNetlistStateForTests();
        ResetNetlistReaderForTests();
        ResetGlobalOptionsForTests();
        ResetAnalysisStateForTests();
        ResetAnalogSolverStateForTests();
        ResetSteppingRowsForTests();
        ResetDeviceListsForTests();
        ResetDevicesStateForTests();
        ResetConnectivityStateForTests();
        ResetCircuitBuildForTests();
        ResetStatusTextForTests();
        ResetMathErrors();
        win::ClearMessageBoxLog();
        RegisterCircuitDeviceRecordTypes();
        record_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        ASSERT_NE(record_, nullptr);
        record_->title = "test.cir";
        SetCurrentDocument(record_);
        Settings().programDirectory = "/nonexistent-kq5-dir/";
    }
    void TearDown() override
    {
        ResetCircuitBuildForTests();
        ResetDeviceListsForTests();
        ResetDevicesStateForTests();
        ResetModelStateForTests();
        ResetNetlistReaderForTests();
        ResetNetlistStateForTests();
        ResetDocumentStateForTests();
        ResetAppStateForTests();
        ResetFileUnitsForTests();
    }

    CircuitDocument& Document() { return *record_->document; }

    ComponentDefinition* Definition(int type, int pins)
    {
        ComponentDefinition& definition = definitions_.emplace_back();
        definition.type = static_cast<std::uint16_t>(type);
        definition.name = FindComponentTypeRow(type)->name;
        definition.pins.resize(static_cast<std::size_t>(pins));
        return &definition;
    }

    // A component of the type on the given node numbers, with its PART and other attributes.
    SchematicItem* Part(int type, const std::string& part, std::vector<std::int32_t> nodes,
                        std::initializer_list<std::pair<int, std::string>> attributes = {})
    {
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemComponent;
        item->definition = Definition(type, static_cast<int>(nodes.size()));
        item->pinNodes = std::move(nodes);
        if (!part.empty()) SetAttribute(record_, item, kAttrPart, part);
        for (const auto& [id, text] : attributes) SetAttribute(record_, item, id, text);
        for (std::int32_t node : item->pinNodes) Document().nodeCount = std::max(Document().nodeCount, node);
        return item;
    }

    // A drawn component of the type at (x, y) with pins at the offsets, its PART and other
    // attributes; connectivity finds its nodes.
    SchematicItem* Placed(int type, const std::string& part, int x, int y, std::vector<std::pair<int, int>> pins,
                          std::initializer_list<std::pair<int, std::string>> attributes = {})
    {
        ComponentDefinition* definition = Definition(type, 0);
        for (auto [dx, dy] : pins) {
            DefinitionPin& pin = definition->pins.emplace_back();
            pin.dx = static_cast<std::int16_t>(dx);
            pin.dy = static_cast<std::int16_t>(dy);
        }
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemComponent;
        item->definition = definition;
        item->x1 = x;
        item->y1 = y;
        if (!part.empty()) SetAttribute(record_, item, kAttrPart, part);
        for (const auto& [id, text] : attributes) SetAttribute(record_, item, id, text);
        return item;
    }

    // Forgets the components, devices, names and messages of an earlier case of a test.
    void Fresh()
    {
        while (Document().itemList.head) ListRemove(Document().itemList, Document().itemList.head);
        ResetDeviceListsForTests();
        ResetNetlistReaderForTests();
        CircuitNodeTable().rows.clear();
        Document().nodeCount = 0;
        win::ClearMessageBoxLog();
    }

    // Parses a model statement as the schematic's own.
    static bool Model(const std::string& text)
    {
        return ParseModelStatement(text, 0, 0, kModelSourceSchematic, "test.cir") == 0;
    }

    // The component pass alone, with the couplings and switch post-passes.
    bool Translate()
    {
        ClearCircuitBuildError();
        CircuitBuild().inverseGmin = 1e12;
        RunComponentPass();
        if (!CircuitBuildFailed()) ResolveCouplingsForTest();
        return !CircuitBuildFailed();
    }
    static void ResolveCouplingsForTest()
    {
        ResolveCouplings();
        if (!CircuitBuildFailed()) ResolveSwitchInductors();
    }

    // A text circuit window holding the netlist; the whole build runs over it.
    int BuildText(const std::string& netlist, int analysisKind = kAnalysisTransient)
    {
        record_->kind = kWindowTextCircuit;
        record_->textArea = netlist;
        Analysis().analysisKind = static_cast<AnalysisKind>(analysisKind);
        return BuildCircuit(kBuildForAnalysis);
    }

    template <class T>
    static std::vector<T*> Records(int list)
    {
        std::vector<T*> records;
        for (T& record : ListRecords<T>(DeviceList(list))) records.push_back(&record);
        return records;
    }

    static std::vector<int> ShownIds() { return ShownMessageIds(); }
    static int LastShownId() { return LastShownMessageId(); }
    static std::string LastShownText()
    {
        const auto& log = win::MessageBoxLog();
        return log.empty() ? std::string() : log.back().text;
    }

    WindowRecord* record_ = nullptr;
    std::deque<ComponentDefinition> definitions_;
};

}  // namespace kq5::testing
