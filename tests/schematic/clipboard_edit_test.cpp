#include <gtest/gtest.h>

#include <cstdio>

#include "document/item_transfer.h"
#include "document/selection.h"
#include "edit_test_support.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "platform/clipboard.h"
#include "platform/gdi_draw.h"
#include "platform/global_memory.h"
#include "platform/metafile.h"
#include "schematic/edit_commands.h"
#include "schematic/sheet_bounds.h"

namespace kq5 {
namespace {

class ClipboardEditTest : public testing::EditTest {
protected:
    std::string SystemClipboardText()
    {
        std::string text;
        if (!win::OpenClipboard(nullptr)) return text;
        if (win::ClipboardHandle data = win::GetClipboardData(win::CF_TEXT)) text = std::string(win::GlobalText(data));
        win::CloseClipboard();
        return text;
    }
    int Count() const { return doc->itemList.count; }
};

TEST_F(ClipboardEditTest, TwoSelectedTextsMakeAnExactClipboardBlock)
{
    Text("A", 3, 3)->selection = kSelected;
    Text("unselected", 4, 4);
    Text("B", 5, 5)->selection = kSelected;
    EXPECT_EQ(GridTextClipboardText(record), "\r\nA\r\nB");
    CopyTextsToClipboard(record);
    EXPECT_EQ(SystemClipboardText(), "\r\nA\r\nB");

    // Many texts, each with line breaks: the block is exactly as long as its text.
    ListClear(doc->gridTextList);
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        Text("x\r\ny" + std::to_string(i), 1, 1)->selection = kSelected;
        expected += "\r\nx\r\n+y" + std::to_string(i);
    }
    EXPECT_EQ(GridTextClipboardText(record), expected);
    CopyTextsToClipboard(record);
    EXPECT_EQ(SystemClipboardText(), expected);
}

TEST_F(ClipboardEditTest, AMultiLineTextComesBackAsOneText)
{
    Text("X\r\nY", 3, 3)->selection = kSelected;
    const std::string block = GridTextClipboardText(record);
    EXPECT_EQ(block, "\r\nX\r\n+Y");
    EXPECT_EQ(SplitClipboardTexts(block), (std::vector<std::string>{"X\r\nY"}));
    EXPECT_EQ(SplitClipboardTexts("\r\nA\r\nB"), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(SplitClipboardTexts("one line"), (std::vector<std::string>{"one line"}));
    CopyTextsToClipboard(record);
    PasteTextsFromClipboard(record);
    ASSERT_EQ(DocumentServices().clipboardGridTexts.count, 1);
    EXPECT_EQ(ListHead<GridText>(DocumentServices().clipboardGridTexts)->text, "X\r\nY");
}

TEST_F(ClipboardEditTest, CutAndUndoToggle)
{
    SchematicItem* r = Comp(Resistor(), 10, 10);
    r->selection = kSelected;
    Wire(0, 0, 5, 0);
    EditCut(record);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(record->undoKind, kUndoCut);
    EditUndo(record);  // pastes the cut part back where it was
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(record->undoKind, kUndoPasted);
    const SchematicItem* back = ListHead<SchematicItem>(doc->itemList)->next ? static_cast<SchematicItem*>(doc->itemList.tail) : nullptr;
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->x1, 10);
    EXPECT_EQ(back->y1, 10);
    EditUndo(record);  // and cuts it again
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(record->undoKind, kUndoCut);
}

TEST_F(ClipboardEditTest, ClearAndUndoToggleBetweenOneAndTwo)
{
    Wire(0, 0, 5, 0)->selection = kSelected;
    Wire(0, 2, 5, 2);
    EditClear(record);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(record->undoKind, kUndoCleared);
    EditUndo(record);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(record->undoKind, kUndoPlaceItems);
    EditUndo(record);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(record->undoKind, kUndoCleared);
}

TEST_F(ClipboardEditTest, BoxEditUndoExchangesTheWholeDrawing)
{
    SchematicItem* wire = Wire(0, 0, 5, 0);
    record->markRect = {0, 0, 5, 5};
    BeginBoxEdit(record);
    wire->x2 = 9;
    record->markRect = {1, 1, 6, 6};
    EditUndo(record);
    EXPECT_EQ(Wires(), (std::vector<std::vector<int>>{{0, 0, 5, 0}}));
    EXPECT_EQ(record->markRect.left, 0);
    EXPECT_EQ(record->undoKind, kUndoBoxEdit);
    EditUndo(record);
    EXPECT_EQ(Wires(), (std::vector<std::vector<int>>{{0, 0, 9, 0}}));
    EXPECT_EQ(record->markRect.left, 1);
}

TEST_F(ClipboardEditTest, PasteAtThePointAndRefusedBeyondTheSheet)
{
    Wire(2, 2, 12, 2)->selection = kSelected;
    Text("T", 2, 6)->selection = kSelected;
    EditCopy(record);
    EXPECT_EQ(DocumentServices().clipboardItems.count, 1);

    EditStateOf(record).lastPoint = {100, 200};
    EXPECT_EQ(EditPaste(record), 0);
    EXPECT_EQ(Count(), 2);
    const auto* pasted = static_cast<SchematicItem*>(doc->itemList.tail);
    EXPECT_EQ(pasted->x1, 100);
    EXPECT_EQ(pasted->y1, 200);
    EXPECT_EQ(pasted->x2, 110);
    EXPECT_EQ(pasted->selection & kSelected, kSelected);
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList)->selection & kSelected, 0);
    EXPECT_EQ(record->undoKind, kUndoPasted);

    // 31995 + 10 passes 32000: refused, nothing changes.
    EditStateOf(record).lastPoint = {31995, 5};
    EXPECT_EQ(EditPaste(record), 13557);
    EXPECT_EQ(Count(), 2);
    EditStateOf(record).lastPoint = {31990, 31996};
    EXPECT_EQ(EditPaste(record), 0);
    for (const SchematicItem& item : ListRecords<SchematicItem>(doc->itemList)) EXPECT_TRUE(ItemOnSheet(item));
}

TEST_F(ClipboardEditTest, SelectAllTakesTheCurrentPageOnly)
{
    Wire(0, 0, 5, 0);
    Wire(0, 0, 5, 0, 1);
    EditSelectAll(record);
    EXPECT_EQ(CountSelectedItems(record, kMaskItems), 1);
}

TEST_F(ClipboardEditTest, ASelectedMetafilePictureGoesOnTheClipboardAsAPicture)
{
    const std::string path = ::testing::TempDir() + "edit_picture.wmf";
    win::HDC dc = win::CreateMetaFile(nullptr);
    win::Rectangle(dc, 0, 0, 100, 50);
    win::HMETAFILE made = win::CloseMetaFile(dc);
    const win::RECT bounds{0, 0, 1000, 500};
    ASSERT_TRUE(win::WriteMetaFileFile(path, made, &bounds, 1000));
    win::DeleteMetaFile(made);
    SchematicItem* picture = Object(kObjectPicture, 2, 2, 12, 7);
    SetAttribute(record, picture, kAttrFile, path);
    picture->selection = kSelected;
    Text("A", 3, 3)->selection = kSelected;
    EditCopy(record);
    EXPECT_TRUE(win::IsClipboardFormatAvailable(win::CF_METAFILEPICT));
    ASSERT_TRUE(win::OpenClipboard(nullptr));
    win::ClipboardHandle data = win::GetClipboardData(win::CF_METAFILEPICT);
    ASSERT_TRUE(data);
    const auto* pict = reinterpret_cast<const win::METAFILEPICT*>(win::GlobalBytes(data).data());
    EXPECT_EQ(pict->xExt, 2540);  // one inch
    EXPECT_EQ(pict->yExt, 1270);
    win::CloseClipboard();
    std::remove(path.c_str());
}

TEST_F(ClipboardEditTest, PlotObjectsOfAnAnalysisWindowAreClearedCutAndUndone)
{
    WindowRecord* analysis = NewWindowRecord(nullptr, kWindowAnalysis);
    analysis->flags |= kRecordHoldsPlotObjects;
    analysis->plot = std::make_shared<PlotRecord>();
    for (int i = 0; i < 2; ++i) {
        auto* object = ListAppendAs<PlotObject>(analysis->plot->objects, kKindPlotObject);
        object->analysisKind = static_cast<std::int16_t>(Analysis().analysisKind + 1);
        object->style = kObjectText;
        object->x1 = 10 + 20 * i;
        object->y1 = 10;
        object->x2 = 15 + 20 * i;
        object->y2 = 15;
        object->selection = i == 0 ? kSelected : 0;
    }
    EditClear(analysis);
    EXPECT_EQ(analysis->plot->objects.count, 1);
    EXPECT_EQ(analysis->undoKind, kUndoCleared);
    EditUndo(analysis);
    EXPECT_EQ(analysis->plot->objects.count, 2);
    EditSelectAll(analysis);
    EditCut(analysis);
    EXPECT_EQ(analysis->plot->objects.count, 0);
    EXPECT_EQ(DocumentServices().clipboardObjects.count, 2);
    // Pasted with their top-left at the last click; Undo cuts them again, and back.
    EditStateOf(analysis).lastPoint = {100, 50};
    EditPaste(analysis);
    ASSERT_EQ(analysis->plot->objects.count, 2);
    double left = 1e9, top = 1e9;
    for (const PlotObject& object : ListRecords<PlotObject>(analysis->plot->objects)) {
        left = std::min(left, object.x1);
        top = std::min(top, object.y1);
    }
    EXPECT_EQ(left, 100);
    EXPECT_EQ(top, 50);
    EXPECT_EQ(analysis->undoKind, kUndoPasted);
    EditUndo(analysis);
    EXPECT_EQ(analysis->plot->objects.count, 0);
    EditUndo(analysis);
    EXPECT_EQ(analysis->plot->objects.count, 2);
}

}  // namespace
}  // namespace kq5
