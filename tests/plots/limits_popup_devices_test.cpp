// The expression popup of the Analysis Limits dialog lists the quantities of the circuit's
// labelled devices by what they measure, and offers the constants beside the variables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "limits_dialog_test_support.h"
#include "core/expr_symbols.h"
#include "devices/device_record_fields.h"
#include "document/circuit_document.h"
#include "platform/window.h"
#include "plots/limits_dialog.h"
#include "plots/limits_row.h"

namespace kq5::testing {
namespace {

class LimitsPopupDevicesTest : public LimitsDialogFixture {
protected:
    void SetUp() override
    {
        LimitsDialogFixture::SetUp();
        ResetDevicesStateForTests();
        DeviceRecordFields q1;
        q1.label = "Q1";
        q1.families = kFamilyBipolar;
        DeviceRecordFields r1;
        r1.label = "R1";
        r1.families = kFamilyResistor;
        Devices().recordFields = {q1, r1};
        // No node entries, so the device categories follow the analysis variables directly.
        circuit_->document->analysisNodeCounts = {0, 0};
        LimitsRow row;
        row.plotGroup = '1';
        row.xExpression = "T";
        row.yExpression = "";
        row.xRange = row.yRange = "Auto";
        Rows() = {row};
    }
    void TearDown() override
    {
        ResetDevicesStateForTests();
        LimitsDialogFixture::TearDown();
    }
    std::vector<LimitsRow>& Rows() { return circuit_->document->limitsRows[0]; }

    // Opens the Y expression popup of the first row and presses the keys (0 keeps the screen).
    void Choose(const std::vector<int>& keys, const char* screen = nullptr)
    {
        ChooseFromRowPopup(win::GetDlgItem(AnalysisLimitsDialog(), kLimitsRowBase + 2), keys, screen);
    }
    void Clear()
    {
        win::SetWindowText(win::GetDlgItem(AnalysisLimitsDialog(), kLimitsRowBase + 2), "");
        Rows()[0].yExpression.clear();
    }
};

TEST_F(LimitsPopupDevicesTest, DeviceQuantitiesAndConstants)
{
    const std::vector<ExpressionSymbolEntry> voltages = ExpressionSymbolEntries(kClassFunction, 0x1);
    const std::vector<ExpressionSymbolEntry> currents = ExpressionSymbolEntries(kClassFunction, 0x2);
    ASSERT_FALSE(voltages.empty());
    ASSERT_FALSE(currents.empty());
    // Only the device quantities of each kind, never a function or an operand.
    for (const auto& e : voltages) EXPECT_EQ(e.text[0], 'V') << e.text;
    for (const auto& e : currents) EXPECT_EQ(e.text[0], 'I') << e.text;
    EXPECT_EQ(voltages.front().text, "VB(Q1)");
    EXPECT_EQ(currents.front().text, "I(R1)");

    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    const int down = win::VK_DOWN, right = win::VK_RIGHT, enter = win::VK_RETURN;
    // Variables, Device Voltages (after Analysis Variables), its first entry.
    Choose({down, down, right, down, right, 0, enter}, "analysis_limits_device_popup");
    EXPECT_EQ(Rows()[0].yExpression, "VB(Q1)");
    Clear();
    // Variables, Device Currents, its first entry.
    Choose({down, down, right, down, down, right, enter});
    EXPECT_EQ(Rows()[0].yExpression, "I(R1)");
    Clear();
    // Constant stands beside Variables: its first entry.
    Choose({down, down, down, right, enter});
    EXPECT_EQ(Rows()[0].yExpression, "J");
}

}  // namespace
}  // namespace kq5::testing
