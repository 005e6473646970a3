// The popups of the Analysis Limits dialog: the expression popup lists the quantities of the
// circuit's labelled devices by what they measure and offers the constants beside the
// variables; a row's colour swatch offers the palette.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "limits_dialog_test_support.h"
#include "core/expr_symbols.h"
#include "ui/prompt_dialog.h"
#include "core/device_record_fields.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/message.h"
#include "platform/window.h"
#include "plots/limits_dialog.h"
#include "results/limits_row.h"

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

// The expand editor's edit has the popup of the row text that it expands; OK takes the text
// back into the row.
TEST_F(LimitsPopupDevicesTest, TheExpandEditorOffersThePopupToo)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    win::HWND rowEdit = win::GetDlgItem(AnalysisLimitsDialog(), kLimitsRowBase + 2);
    win::SetWindowText(rowEdit, "2*");
    win::SetFocus(rowEdit);
    win::SendMessage(rowEdit, win::EM_SETSEL, 2, 2);
    SetPromptDialogsShownHeadless(true);
    const int down = win::VK_DOWN, right = win::VK_RIGHT;
    // Variables, Device Voltages, its first entry; then OK.
    const std::vector<int> keys = {-1, down, right, down, right, 0, win::VK_RETURN, -2};
    std::size_t step = 0;
    win::HWND expandEdit = nullptr;
    win::headless::SetIdleHandler([&]() {
        if (step >= keys.size()) return false;
        const int key = keys[step++];
        if (key == -1) {
            expandEdit = win::GetFocus();
            win::SendMessage(expandEdit, win::EM_SETSEL, 2, 2);
            // Posted: the popup tracks from the dialog's own loop.
            win::PostMessage(expandEdit, win::WM_RBUTTONDOWN, 0, 0);
        } else if (key == -2) {
            EXPECT_EQ(win::GetWindowText(expandEdit), "2*VB(Q1)");
            win::PostMessage(win::GetParent(expandEdit), win::WM_COMMAND, win::IDOK, 0);
        } else if (key == 0) {
            EXPECT_TRUE(SaveScreen("analysis_limits_expand_popup"));
        } else {
            win::headless::PressKey(key);
        }
        return true;
    });
    win::SendMessage(AnalysisLimitsDialog(), win::WM_COMMAND, kLimitsExpand, 0);
    win::headless::SetIdleHandler({});
    SetPromptDialogsShownHeadless(false);
    EXPECT_EQ(step, keys.size());
    EXPECT_EQ(Rows()[0].yExpression, "2*VB(Q1)");
}

TEST_F(LimitsPopupDevicesTest, TheColourSwatchOffersThePalette)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    // The swatch of the first line, left of its P edit.
    win::RECT r{};
    win::GetWindowRect(win::GetDlgItem(AnalysisLimitsDialog(), kLimitsRowBase), &r);
    win::POINT p{r.left, r.top + 3};
    win::ScreenToClient(AnalysisLimitsDialog(), &p);
    int x = -1;
    for (int px = p.x - 120; px < p.x && x < 0; ++px)
        if (LimitsStripButtonAt(AnalysisLimitsDialog(), 0, win::POINT{px, p.y}) == 2) x = px;
    ASSERT_GE(x, 0);
    win::POINT onScreen{x, p.y};
    win::ClientToScreen(AnalysisLimitsDialog(), &onScreen);
    win::SetCursorPos(onScreen.x, onScreen.y);
    const auto click = [&](const std::vector<int>& keys, const char* screen = nullptr) {
        ChooseFromPopup(AnalysisLimitsDialog(), win::WM_LBUTTONDOWN, win::MAKELPARAM(x, p.y), keys, screen);
    };
    const int down = win::VK_DOWN;
    Rows()[0].color = 3;
    circuit_->modified = 0;
    // Leaving the popup keeps the colour and the document as they were.
    click({down, win::VK_ESCAPE});
    EXPECT_EQ(Rows()[0].color, 3);
    EXPECT_EQ(circuit_->modified, 0);
    // The sixth entry is colour 5.
    click({down, down, down, down, down, down, 0, win::VK_RETURN}, "analysis_limits_colour_popup");
    EXPECT_EQ(Rows()[0].color, 5);
    EXPECT_NE(circuit_->modified, 0);
}

}  // namespace
}  // namespace kq5::testing
