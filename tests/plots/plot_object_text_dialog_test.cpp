#include <gtest/gtest.h>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "core/analysis_state.h"
#include "ui/prompt_dialog.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "plots/plot_object_dialogs.h"

namespace kq5::testing {
namespace {

class AnalysisTextDialogTest : public StartedFrame {};

TEST_F(AnalysisTextDialogTest, TheCheckBoxesSetOpaqueAndBorder)
{
    WindowRecord* circuit = StartWithSchematic();
    ASSERT_NE(circuit, nullptr);
    SetPromptDialogsShownHeadless(true);
    PlotObject object;
    object.style = kObjectText | kTextOpaque;
    object.text = "Peak";
    bool done = false;
    win::headless::SetIdleHandler([&]() {
        if (done) return false;
        done = true;
        win::HWND dialog = win::GetActiveWindow();
        EXPECT_EQ(win::GetWindowText(dialog), "Analysis Text");
        EXPECT_EQ(win::IsDlgButtonChecked(dialog, kTextOpaqueCheck), win::BST_CHECKED);
        EXPECT_EQ(win::IsDlgButtonChecked(dialog, kTextBorderCheck), win::BST_UNCHECKED);
        EXPECT_TRUE(SaveScreen("analysis_text"));
        win::CheckDlgButton(dialog, kTextOpaqueCheck, win::BST_UNCHECKED);
        win::CheckDlgButton(dialog, kTextBorderCheck, win::BST_CHECKED);
        win::SetDlgItemText(dialog, 10, "Peak gain");
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
        return true;
    });
    EXPECT_EQ(RunAnalysisTextDialog(circuit, object), 1);
    win::headless::SetIdleHandler({});
    ClearPromptDialogs();
    EXPECT_EQ(object.text, "Peak gain");
    EXPECT_EQ(object.style, kObjectText | kTextBorder);
}

}  // namespace
}  // namespace kq5::testing
