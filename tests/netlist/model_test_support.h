#pragma once
// Shared set-up of the model, options and POLY tests: a clean program state and the ids of the
// messages that were shown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "document/stepping_rows.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "netlist/build_errors.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "document/netlist_state.h"
#include "netlist/spice_reader_state.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "shown_message_ids.h"

namespace kq5::testing {

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        InitCharClasses();
        ResetModelStateForTests();
        ResetNetlistStateForTests();
        ResetNetlistReaderForTests();
        ResetGlobalOptionsForTests();
        ResetAnalysisStateForTests();
        ResetSteppingRowsForTests();
        ResetDeviceListsForTests();
        win::ClearMessageBoxLog();
    }
    void TearDown() override
    {
        ResetModelStateForTests();
        ResetDeviceListsForTests();
        ResetNetlistStateForTests();
    }

    // The ids of the error and warning boxes shown so far, in order.
    static std::vector<int> ShownIds() { return ShownMessageIds(); }
    static int LastShownId() { return LastShownMessageId(); }

    // Parses a statement read from a text window; the table index, or -1 after a failure.
    static int Parse(const std::string& text, int scope = 0)
    {
        const int before = ModelStatementCount();
        if (ParseModelStatement(text, scope, 0, kModelSourceTextWindow, "test.cir") != 0) return -1;
        return ModelStatementCount() > before ? ModelStatementCount() - 1 : -1;
    }
};

}  // namespace kq5::testing
