#pragma once
// Shared set-up of the editing tests: a schematic record (without a window unless asked), small
// component definitions, items made directly in the document and the node numbers of pins.
#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_services.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "platform/message_box.h"
#include "document/component_definition.h"
#include "document/editor_services.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {

// The countdown-th allocation from now on (1 = the next) throws std::bad_alloc.
void FailOneAllocation(int countdown);
void StopFailingAllocations();
bool AllocationFailed();

class EditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCharClasses();
        InstallSchematicEditorHooks();
        ResetAppStateForTests();
        ResetWindowRecordsForTests();
        ResetDocumentStateForTests();
        ResetDocumentServicesForTests();
        ResetAnalysisStateForTests();
        ResetConnectivityStateForTests();
        ResetSchematicEditorForTests();
        ClearPromptDialogs();
        win::ClearMessageBoxLog();
        record = NewWindowRecord(nullptr, kWindowSchematic, true);
        ASSERT_NE(record, nullptr);
        // Connectivity runs without a window for a record that shares another's lists.
        record->flags |= kRecordSharesLists;
        doc = record->document.get();
    }
    void TearDown() override
    {
        StopFailingAllocations();
        ResetSchematicEditorForTests();
        ResetDocumentServicesForTests();
        ResetDocumentStateForTests();
        ResetWindowRecordsForTests();
        ClearPromptDialogs();
        win::ClearMessageBoxLog();
    }

    ComponentDefinition* Def(int type, std::vector<std::pair<int, int>> pins, const std::string& name = "R")
    {
        ComponentDefinition& def = defs.emplace_back();
        def.type = static_cast<std::uint16_t>(type);
        def.name = name;
        for (auto [dx, dy] : pins) {
            DefinitionPin& pin = def.pins.emplace_back();
            pin.dx = static_cast<std::int16_t>(dx);
            pin.dy = static_cast<std::int16_t>(dy);
        }
        return &def;
    }
    ComponentDefinition* Resistor() { return Def(kComponentResistor, {{0, 0}, {4, 0}}); }

    SchematicItem* Comp(ComponentDefinition* def, int x, int y, int orientation = 0, int page = 0)
    {
        SchematicItem* item = ListAppendAs<SchematicItem>(doc->itemList, kKindSchematicItem);
        item->itemKind = kItemComponent;
        item->definition = def;
        item->x1 = x;
        item->y1 = y;
        item->orientation = static_cast<OrientationCode>(orientation);
        item->page = static_cast<std::int16_t>(page);
        return item;
    }
    // A component with its part name.
    SchematicItem* Named(ComponentDefinition* def, int x, int y, const std::string& name)
    {
        SchematicItem* item = Comp(def, x, y);
        SetAttribute(record, item, kAttrPart, name);
        return item;
    }
    SchematicItem* Wire(int x1, int y1, int x2, int y2, int page = 0)
    {
        SchematicItem* item = ListAppendAs<SchematicItem>(doc->itemList, kKindSchematicItem);
        item->itemKind = kItemWire;
        item->x1 = x1;
        item->y1 = y1;
        item->x2 = x2;
        item->y2 = y2;
        item->page = static_cast<std::int16_t>(page);
        return item;
    }
    SchematicItem* Object(std::uint16_t kind, int x1, int y1, int x2, int y2)
    {
        SchematicItem* item = Wire(x1, y1, x2, y2);
        item->itemKind = kItemGraphicObject;
        item->style = kind;
        return item;
    }
    GridText* Text(const std::string& text, int x, int y, bool flag = false)
    {
        GridText* t = ListAppendAs<GridText>(doc->gridTextList, kKindGridText);
        t->text = text;
        t->x = x;
        t->y = y;
        t->flags = flag ? kGridTextIsFlag : 0;
        return t;
    }

    // The wires of the document as (x1, y1, x2, y2), in list order.
    std::vector<std::vector<int>> Wires() const
    {
        std::vector<std::vector<int>> out;
        for (const SchematicItem& item : ListRecords<SchematicItem>(doc->itemList))
            if (item.itemKind == kItemWire) out.push_back({item.x1, item.y1, item.x2, item.y2});
        return out;
    }

    // Node numbers of every pin of every component, in list order, after a forced rebuild.
    std::vector<int> PinNodes()
    {
        doc->connectivityStale = 1;
        EXPECT_EQ(RebuildNetlistIfNeeded(record, true), 0);
        std::vector<int> nodes;
        for (const SchematicItem& item : ListRecords<SchematicItem>(doc->itemList)) {
            if (!item.IsComponent() || !item.definition) continue;
            for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin)
                nodes.push_back(PinNodeNumber(*doc, item, pin));
        }
        return nodes;
    }

    WindowRecord* record = nullptr;
    CircuitDocument* doc = nullptr;
    std::deque<ComponentDefinition> defs;
};

// True when two labellings put the same pins together.
inline bool SamePartition(const std::vector<int>& a, const std::vector<int>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < a.size(); ++j)
            if ((a[i] == a[j]) != (b[i] == b[j])) return false;
    return true;
}

}  // namespace kq5::testing

namespace kq5::testing {

// The text of the last message box shown, empty when none.
inline std::string LastMessageText()
{
    const auto& log = win::MessageBoxLog();
    std::string text = log.empty() ? std::string() : log.back().text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace kq5::testing
