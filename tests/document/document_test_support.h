#pragma once
// Shared set-up of the document tests: a schematic record without a window, component
// definitions with shapes, and a switch that makes allocations fail.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "platform/message_box.h"
#include "document/component_definition.h"
#include "document/editor_services.h"
#include "document/shape_library.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {

// The countdown-th allocation from now on (1 = the next) throws std::bad_alloc; the others
// succeed. AllocationFailed tells whether it came.
void FailOneAllocation(int countdown);
void StopFailingAllocations();
bool AllocationFailed();

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCharClasses();
        // Dialogs, rewiring and plot objects are the schematic editor's and the plots'.
        InstallSchematicEditorHooks();
        ResetAppStateForTests();
        ResetDocumentStateForTests();
        ResetAnalysisStateForTests();
        ResetShapeLibraryForTests();
        ResetSchematicEditorForTests();
        ClearPromptDialogs();
        win::ClearMessageBoxLog();
        record_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        ASSERT_NE(record_, nullptr);
        document_ = record_->document.get();
    }
    void TearDown() override
    {
        StopFailingAllocations();
        ResetDocumentStateForTests();
        ResetAppStateForTests();
        ResetShapeLibraryForTests();
        ResetSchematicEditorForTests();
        ClearPromptDialogs();
        win::ClearMessageBoxLog();
    }

    // A definition of the type whose pins lie at the offsets (dx, dy pairs).
    ComponentDefinition* Definition(const std::string& name, int type, std::vector<std::pair<int, int>> pins = {},
                                    std::uint16_t flags = 0)
    {
        auto definition = std::make_unique<ComponentDefinition>();
        definition->name = name;
        definition->type = static_cast<std::uint16_t>(type);
        definition->placementFlags = flags;
        for (auto [dx, dy] : pins) {
            DefinitionPin pin;
            pin.dx = static_cast<std::int16_t>(dx);
            pin.dy = static_cast<std::int16_t>(dy);
            definition->pins.push_back(pin);
        }
        definitions_.push_back(std::move(definition));
        return definitions_.back().get();
    }

    SchematicItem* AddComponent(ComponentDefinition* definition, int x, int y, int orientation = 0)
    {
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemComponent;
        item->definition = definition;
        item->x1 = x;
        item->y1 = y;
        item->orientation = static_cast<OrientationCode>(orientation);
        return item;
    }

    SchematicItem* AddWire(int x1, int y1, int x2, int y2)
    {
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemWire;
        item->x1 = x1;
        item->y1 = y1;
        item->x2 = x2;
        item->y2 = y2;
        return item;
    }

    WindowRecord* record_ = nullptr;
    CircuitDocument* document_ = nullptr;
    std::vector<std::unique_ptr<ComponentDefinition>> definitions_;
};

}  // namespace kq5::testing
