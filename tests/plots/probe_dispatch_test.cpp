// Probe mode through the circuit window: a left click on a pin of the schematic reaches the
// probe handler, which runs the current analysis with a row for the pin's node.
#include "../schematic/schematic_test_support.h"
#include "probe_test_support.h"

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "platform/message.h"
#include "platform/win_messages.h"
#include "plots/probe_mode.h"
#include "document/component_definition.h"
#include "document/editor_services.h"
#include "document/pane_seams.h"

namespace kq5::testing {
namespace {

class ProbeDispatchTest : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        ResetRunControlForTests();
        ResetProbeModeForTests();
        Analysis().analysisKind = kAnalysisTransient;
        RunControl().probeFlag = 1;
        RunControl().circuitWindow = record_;
        SetCurrentDocument(record_);
    }
    void TearDown() override
    {
        ResetProbeModeForTests();
        ResetRunControlForTests();
        ResetAnalysisStateForTests();
        SchematicWindowTest::TearDown();
    }

    void PlaceTransistor() { PlaceProbeTransistor(record_, npn_); }

    void Click(int gridX, int gridY)
    {
        const int pane = FindVisiblePane(record_);
        const win::POINT at = GridToPaneClient(record_, gridX, gridY, pane);
        const win::LPARAM where = win::MAKELPARAM(at.x, at.y);
        win::SendMessage(record_->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, where);
        win::SendMessage(record_->window, win::WM_LBUTTONUP, 0, where);
    }

    ComponentDefinition npn_;
};

TEST_F(ProbeDispatchTest, AClickOnAPinRunsTheAnalysisForItsNode)
{
    PlaceTransistor();
    int runs = 0, node = -2;
    ProbeMode().run = [&] {
        ++runs;
        node = ProbeMode().rows.empty() ? -2 : ProbeMode().rows.back().node;
        return 0;
    };
    Click(20, 20);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(node, 8);
    ASSERT_EQ(ProbeMode().rows.size(), 1u);
    // While a run goes on a click probes nothing.
    RunControl().running = 1;
    Click(24, 24);
    RunControl().running = 0;
    EXPECT_EQ(runs, 1);
    // Out of probe mode the click is the editor's.
    RunControl().probeFlag = 0;
    Click(24, 24);
    EXPECT_EQ(runs, 1);
}

TEST_F(ProbeDispatchTest, WithoutAnOverrideTheProbeRunsTheCurrentAnalysis)
{
    PlaceTransistor();
    int runs = 0;
    AnalysisKindHandlers handlers;
    handlers.run = [&] {
        ++runs;
        return 0;
    };
    SetAnalysisKindHandlers(kAnalysisTransient, handlers);
    Click(20, 20);
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace kq5::testing
