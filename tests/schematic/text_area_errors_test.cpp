// A build error on a line of a schematic's own text area brings the text area into view and
// selects the faulty statement, as a text circuit's window does for its lines.
#include "../app/screen_capture_support.h"
#include "../netlist/scratch_build_test.h"
#include "schematic_test_support.h"

#include "analog/analysis_start.h"
#include "analog/run_control.h"
#include "ui/color_table.h"
#include "document/preferences.h"
#include "document/text_area.h"
#include "document/text_editor.h"
#include "document/document_windows.h"
#include "document/node_flags.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "document/page_array.h"
#include "document/pane_seams.h"
#include "netlist/circuit_build.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {
namespace {

class TextAreaErrors : public AnalysisBuildTest {
protected:
    void SetUp() override
    {
        AnalysisBuildTest::SetUp();
        ResetColorTableForTests();
        CreateAppPalette();
        InitColorTable();
        SetPreferenceDefaults();  // the text area's fixed-pitch font among them
        schematic_ = NewDocumentWindow(kWindowSchematic, (dir_ / "drawn.cir").string());
        ASSERT_NE(schematic_, nullptr);
        win::MoveWindow(schematic_->window, 0, 0, 800, 600, 1);
        win::ShowWindow(schematic_->window, win::SW_SHOW);
        SetTestColors(*schematic_->document);
        SetCurrentDocument(schematic_);
    }
    // The text selected in the text area.
    std::string Selected() const
    {
        std::int32_t start = -1;
        std::int32_t end = -1;
        GetEditorSelection(schematic_->document->textAreaWindow, &start, &end);
        if (start < 0 || end < start) return {};
        return schematic_->textArea.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    }
    void Paint()
    {
        win::RedrawWindow(schematic_->window, nullptr, nullptr,
                          win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
        win::MSG msg;
        while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
            win::TranslateMessage(&msg);
            win::DispatchMessage(&msg);
        }
    }
    void TearDown() override
    {
        ExitAnalysis();
        if (schematic_ && schematic_->window && win::IsWindow(schematic_->window)) win::DestroyWindow(schematic_->window);
        AnalysisBuildTest::TearDown();
    }
    WindowRecord* schematic_ = nullptr;
};

TEST_F(TextAreaErrors, ABadModelLineIsSelectedInTheTextArea)
{
    SetTextAreaText(schematic_, "* models\r\n.MODEL D1 D (IS=1E-14)\r\n.MODEL QX FOOBAR (BF=100)\r\n");
    CircuitDocument& document = *schematic_->document;
    document.textAreaPane |= kTextAreaHidden;
    LayoutPaneControls(schematic_, true);
    EXPECT_NE(RunAnalysisCommand(schematic_, kAnalysisTransient), 0);
    EXPECT_FALSE(win::MessageBoxLog().empty());
    win::HWND editor = document.textAreaWindow;
    EXPECT_EQ(document.textAreaPane & kTextAreaHidden, 0);
    EXPECT_TRUE(win::IsWindowVisible(editor));
    std::int32_t start = -1;
    std::int32_t end = -1;
    GetEditorSelection(editor, &start, &end);
    EXPECT_EQ(EditorLineOfPos(editor, start), 2) << LastShownText();
    EXPECT_EQ(Selected().substr(0, 16), ".MODEL QX FOOBAR");
    EXPECT_EQ(win::GetFocus(), editor);
    Paint();
    SaveScreen("schematic_text_error");
}

TEST_F(TextAreaErrors, AStatementContinuedOverLinesIsFoundAtItsFirstLine)
{
    SetTextAreaText(schematic_, "* models\r\n.MODEL D1 D (IS=1E-14\r\n+ N=1)\r\n.MODEL QX\r\n+ FOOBAR (BF=100)\r\n");
    EXPECT_NE(RunAnalysisCommand(schematic_, kAnalysisTransient), 0);
    const std::string selected = Selected();
    EXPECT_EQ(selected.substr(0, 9), ".MODEL QX") << LastShownText();
    EXPECT_NE(selected.find("FOOBAR"), std::string::npos);
}

TEST_F(TextAreaErrors, ABadDefineLineIsSelected)
{
    SetTextAreaText(schematic_, ".DEFINE A 1\r\n.DEFINE 9B 2\r\n");
    schematic_->document->textAreaPane |= kTextAreaHidden;
    EXPECT_NE(RunAnalysisCommand(schematic_, kAnalysisTransient), 0);
    EXPECT_EQ(schematic_->document->textAreaPane & kTextAreaHidden, 0);
    EXPECT_EQ(Selected().substr(0, 12), ".DEFINE 9B 2") << LastShownText();
}

TEST_F(TextAreaErrors, ABadParamLineIsSelected)
{
    SetTextAreaText(schematic_, ".PARAM GAIN=2\r\n* the load\r\n.PARAM 4LOAD=1K\r\n");
    EXPECT_NE(RunAnalysisCommand(schematic_, kAnalysisTransient), 0);
    EXPECT_EQ(Selected().substr(0, 15), ".PARAM 4LOAD=1K") << LastShownText();
}

TEST_F(TextAreaErrors, ABadGridTextIsSelectedOnItsPage)
{
    ASSERT_EQ(AddPage(schematic_, 1), 0);
    GridText* good = AddText(schematic_, ".MODEL D1 D (IS=1E-14)", 4, 4, 0);
    GridText* bad = AddText(schematic_, ".MODEL QX FOOBAR", 6, 8, 1);
    schematic_->document->panePage[1] = 0;
    EXPECT_NE(RunAnalysisCommand(schematic_, kAnalysisTransient), 0);
    EXPECT_NE(bad->selection & kSelected, 0) << LastShownText();
    EXPECT_EQ(good->selection & kSelected, 0);
    EXPECT_EQ(schematic_->document->panePage[FindVisiblePane(schematic_)], 1);
    Paint();
    SaveScreen("schematic_grid_text_error");
    // No analysis asked for the build: nothing moves.
    bad->selection = 0;
    ExitAnalysis();
    EXPECT_NE(BuildCircuit(kBuildForAnalysis), 0);
    EXPECT_EQ(bad->selection & kSelected, 0);
}

TEST_F(TextAreaErrors, ABadGridTextTakesThePaneBackFromTheTextArea)
{
    GridText* bad = AddText(schematic_, ".MODEL QX FOOBAR", 6, 8, 0);
    const int pane = FindVisiblePane(schematic_);
    ShowPageInPane(schematic_, pane, -1);  // Ctrl+G: the text fills the window
    ASSERT_EQ(TextPaneOf(schematic_), pane);
    EXPECT_NE(RunAnalysisCommand(schematic_, kAnalysisTransient), 0);
    EXPECT_NE(bad->selection & kSelected, 0) << LastShownText();
    EXPECT_EQ(TextPaneOf(schematic_), -1);
    EXPECT_EQ(schematic_->document->panePage[static_cast<std::size_t>(pane)], 0);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

// The question whether to rename a define that names a node comes with the define in view.
TEST_F(TextAreaErrors, TheDefineAskedAboutIsShown)
{
    GridText* label = AddText(schematic_, "VOUT", 4, 4, 0);
    UpdateNodeLabelFlag(*label);
    SchematicItem* wire = AddItem(schematic_, kItemWire, 4, 4, 12, 4, 0, 0);
    ASSERT_NE(wire, nullptr);
    GridText* define = AddText(schematic_, ".DEFINE VOUT 2", 6, 10, 0);
    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_NE(RunAnalysisCommand(schematic_, kAnalysisTransient), 0);
    const std::vector<int> shown = ShownIds();
    EXPECT_NE(std::find(shown.begin(), shown.end(), 10888), shown.end()) << LastShownText();
    EXPECT_NE(define->selection & kSelected, 0);
    EXPECT_EQ(label->selection & kSelected, 0);
}

}  // namespace
}  // namespace kq5::testing
