// Document windows on the headless platform: creation with untitled names, the text area, the
// question before closing, coordinates and repaints.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "document/text_editor.h"
#include "ui/edit_mode.h"
#include "document/save_file_dialog.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "platform/backend.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "results/plot_view_settings.h"
#include "document/pane_seams.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {
namespace {

class DocumentWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        InitCharClasses();
        ResetAppStateForTests();
        ResetDocumentStateForTests();
        ResetDocumentServicesForTests();
        ResetAnalysisStateForTests();
        ResetCircuitFileStateForTests();
        ResetFileUnitsForTests();
        ResetSaveFileDialogForTests();
        ResetSchematicDrawingForTests();
        ResetPlotViewSettingsForTests();
        win::ClearMessageBoxLog();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-windows-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        Settings().workingDirectory = dir_.string() + "/";
    }
    void TearDown() override
    {
        win::ResetPlatformForTests(1024, 768);
        ResetSchematicDrawingForTests();
        ResetAppStateForTests();
        ResetDocumentServicesForTests();
        ResetSaveFileDialogForTests();
        win::ClearMessageBoxLog();
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
    }

    std::filesystem::path dir_;
};

TEST_F(DocumentWindows, UntitledNamesCountPerKind)
{
    std::vector<std::string> titles;
    for (int i = 0; i < 3; ++i) {
        WindowRecord* record = NewDocumentWindow(kWindowSchematic);
        ASSERT_NE(record, nullptr);
        EXPECT_TRUE(record->untitled);
        titles.push_back(record->title);
    }
    WindowRecord* text = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(titles[0], (dir_ / "circuit1.cir").string());
    EXPECT_EQ(titles[2], (dir_ / "circuit3.cir").string());
    EXPECT_EQ(text->title, (dir_ / "circuit1.ckt").string());
    EXPECT_EQ(MakeUntitledName(kWindowModelLibrary), (dir_ / "lib1.lbr").string());
    EXPECT_EQ(NewDocumentWindow(7), nullptr);
    EXPECT_EQ(NewDocumentWindow(kWindowSchematic, "named.cir")->title, "named.cir");
}

TEST_F(DocumentWindows, NewSchematicStartsAsTheProgramExpects)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    ASSERT_NE(record, nullptr);
    const CircuitDocument& d = *record->document;
    ASSERT_EQ(d.pages.size(), 1u);
    EXPECT_EQ(d.pages[0].name, "Page 1");
    EXPECT_EQ(d.itemList.count, 0);
    EXPECT_EQ(d.connectivityStale, 1);
    EXPECT_EQ(d.textAreaPane, 0x1001);
    EXPECT_EQ(d.viewOptions, 0x130u);
    EXPECT_EQ(record->mode, kCommandComponentMode);
    EXPECT_EQ(record->modified, 0);
    EXPECT_TRUE(record->flags & kRecordDocument);
    EXPECT_TRUE(record->flags & kRecordCircuitWindow);
    ASSERT_NE(d.textAreaWindow, nullptr);
    EXPECT_FALSE(win::IsWindowVisible(d.textAreaWindow));
    EXPECT_EQ(win::GetDlgCtrlID(d.textAreaWindow), kTextAreaControlId);
    ASSERT_EQ(d.limitsRows[0].size(), 2u);
    EXPECT_EQ(d.limitsRows[0][1].plotGroup, '1');
    EXPECT_EQ(d.limitsRows[0][0].options, kLimitsLinearX | kLimitsLinearY);
    EXPECT_EQ(d.limitsRows[1][0].options, kLimitsLinearY);
    ASSERT_EQ(d.limitsRows[2].size(), 1u);
    EXPECT_EQ(d.limitsRows[0][1].color, 17);

    // Destroying the window frees its record, document and text area.
    const win::HWND area = d.textAreaWindow;
    win::DestroyWindow(record->window);
    EXPECT_FALSE(IsLiveWindowRecord(record));
    EXPECT_FALSE(win::IsWindow(area));
}

TEST_F(DocumentWindows, TextCircuitShowsItsTextArea)
{
    WindowRecord* record = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(win::GetWindowLong(record->document->textAreaWindow, win::GWL_STYLE) & win::WS_VISIBLE);
    EXPECT_TRUE(record->document->pages.empty());
}

TEST_F(DocumentWindows, AskSaveChangesAnswersAndKeepsFailedSavesOpen)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic, (dir_ / "missing" / "x.cir").string());
    ASSERT_NE(record, nullptr);
    record->untitled = false;
    record->modified = 1;

    Settings().batchRun = true;
    EXPECT_EQ(AskSaveChanges(record), kSaveAnswerNo);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    Settings().batchRun = false;

    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_EQ(AskSaveChanges(record), kSaveAnswerNo);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text.rfind("Save changes in 'x.cir'?", 0), 0u);
    win::PushMessageBoxAnswer(win::IDCANCEL);
    EXPECT_EQ(AskSaveChanges(record), kSaveAnswerCancel);

    // The directory does not exist: the save fails, and the window must stay open with its edits.
    win::PushMessageBoxAnswer(win::IDYES);
    win::PushMessageBoxAnswer(win::IDOK);  // the error report
    win::SendMessage(record->window, win::WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsLiveWindowRecord(record));
    EXPECT_EQ(record->modified, 1);

    // Saved in place, the window may close.
    SetRecordTitle(record, (dir_ / "x.cir").string());
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(AskSaveChanges(record), kSaveAnswerYes);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "x.cir"));
    EXPECT_EQ(record->modified, 0);
}

TEST_F(DocumentWindows, UntitledWindowIsSavedAsOrCancelled)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    ASSERT_NE(record, nullptr);
    record->modified = 1;
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(AskSaveChanges(record), kSaveAnswerCancel);  // the name question was cancelled
    win::PushMessageBoxAnswer(win::IDYES);
    PushSaveFileNameAnswer((dir_ / "saved.cir").string());
    EXPECT_EQ(AskSaveChanges(record), kSaveAnswerSavedAs);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "saved.cir"));
}

TEST_F(DocumentWindows, WorldAndScreenCoordinates)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    ASSERT_NE(record, nullptr);
    win::POINT out{};
    // Pixels to grid: 8 pixels a grid unit at scale 1.
    ScreenToWorld(record, out, 80, 40, 3);
    EXPECT_EQ(out.x, 10);
    EXPECT_EQ(out.y, 5);
    record->document->zoomFactor = 2.0;
    ScreenToWorld(record, out, 80, 40, 3);
    EXPECT_EQ(out.x, 20);
    EXPECT_EQ(out.y, 10);
    // Halves round away from zero, in both directions.
    record->document->zoomFactor = 1.0;
    record->document->pages[0].originX[3] = -12;
    ScreenToWorld(record, out, 0, 4, 3);
    EXPECT_EQ(out.x, -2);
    EXPECT_EQ(out.y, 1);
    // Grid to pixels, truncated.
    WorldToScreen(record, out, 10, 5, 3);
    EXPECT_EQ(out.x, 92);
    EXPECT_EQ(out.y, 40);
    record->document->zoomFactor = 4.0;
    WorldToScreen(record, out, 1, 1, 3);
    EXPECT_EQ(out.x, 5);  // (8 + 12) / 4
    EXPECT_EQ(out.y, 2);
}

int gDrawnPanes = 0;
void CountPanes(const DrawContext&) { ++gDrawnPanes; }

TEST_F(DocumentWindows, RepaintRebuildsStaleConnectivityAndSkipsTheTextPane)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    ASSERT_NE(record, nullptr);
    win::ShowWindow(record->window, win::SW_SHOW);
    SetSchematicRenderer(CountPanes);
    gDrawnPanes = 0;
    ASSERT_EQ(record->document->connectivityStale, 1);
    RedrawWindowParts(record, kRedrawAfterEdit);
    EXPECT_EQ(record->document->connectivityStale, 0);
    EXPECT_GT(gDrawnPanes, 0);

    // While an analysis runs the numbers stay as they are.
    record->document->connectivityStale = 1;
    Analysis().analysisKind = kAnalysisTransient;
    RedrawWindowParts(record, kRedrawAfterEdit);
    EXPECT_EQ(record->document->connectivityStale, 1);
    Analysis().analysisKind = kAnalysisNone;

    // A pane that shows the text area is not drawn over; a hidden text area frees every pane.
    int visible = 0;
    int shown = -1;
    for (int pane = 0; pane < 4; ++pane) {
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        if (rect.right > rect.left && rect.bottom > rect.top) ++visible, shown = pane;
    }
    ASSERT_GT(visible, 0);
    record->document->textAreaPane = shown;
    int before = gDrawnPanes;
    RedrawWindowParts(record, kRedrawSchematic);
    EXPECT_EQ(gDrawnPanes - before, visible - 1);
    record->document->textAreaPane = kTextAreaHidden | shown;
    before = gDrawnPanes;
    RedrawWindowParts(record, kRedrawSchematic);
    EXPECT_EQ(gDrawnPanes - before, visible);
    SetSchematicRenderer(nullptr);
}

TEST_F(DocumentWindows, DrawRangeFollowsTheFlags)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    ASSERT_NE(record, nullptr);
    CircuitDocument& d = *record->document;
    SchematicItem* a = NewSchematicItem(record);
    SchematicItem* b = NewSchematicItem(record);
    SetDrawRange(record, b, b, nullptr, nullptr);
    EXPECT_EQ(d.drawRange.firstItem, b);
    RedrawWindowParts(record, kRedrawEmptyRange);
    EXPECT_EQ(d.drawRange.firstItem, nullptr);
    ResetDrawRange(record);
    EXPECT_EQ(d.drawRange.firstItem, a);
    EXPECT_EQ(d.drawRange.lastItem, b);
    // Repainting one node leaves the range reset and draw mode normal behind.
    RedrawNodeAlone(record, a, true);
    EXPECT_EQ(a->itemKind, kItemComponent);
    EXPECT_EQ(d.drawRange.firstItem, a);
    EXPECT_EQ(SchematicDrawing().drawMode, kDrawModeNormal);
}

TEST_F(DocumentWindows, GoToElementShowsAndSelectsIt)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    ASSERT_NE(record, nullptr);
    SchematicItem* other = NewSchematicItem(record);
    other->selection = kSelected;
    SchematicItem* item = NewSchematicItem(record);
    item->x1 = 40;
    item->y1 = 50;
    ElementLocation location;
    location.kind = kLocationItem;
    location.element = item;
    location.record = record;
    GoToElementLocation(location);
    EXPECT_EQ(item->selection, kSelected);
    EXPECT_EQ(other->selection, 0);
    EXPECT_EQ(location.record, nullptr);
    EXPECT_EQ(PanePage(*record->document), 0);

    // An element that is no longer in the document is not touched.
    ElementLocation stale{.kind = kLocationItem, .record = record, .fileName = {}};
    SchematicItem gone;
    stale.element = &gone;
    GoToElementLocation(stale);
    EXPECT_EQ(gone.selection, 0);

    record->textArea = "* title\nR1 1 0 1k\n+ tc=1\n";
    ElementLocation line{.kind = kLocationTextLine, .record = record, .fileName = {}};
    line.textLine = 2;
    GoToElementLocation(line);
    // Line 2 continues the statement of line 1: both are selected.
    std::int32_t start = -1;
    std::int32_t end = -1;
    GetEditorSelection(record->document->textAreaWindow, &start, &end);
    EXPECT_EQ(start, 8);
    EXPECT_EQ(end, 24);
    EXPECT_EQ(record->document->textAreaPane & kTextAreaHidden, 0);
}

}  // namespace
}  // namespace kq5::testing
