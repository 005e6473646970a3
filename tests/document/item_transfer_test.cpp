// Moving nodes between the document, the internal clipboard and the undo lists.
#include "document_test_support.h"

#include "core/analysis_state.h"
#include "document/document_services.h"
#include "document/item_transfer.h"
#include "document/part_numbering.h"
#include "document/component_types.h"
#include "results/curve_record.h"

namespace kq5::testing {
namespace {

class ItemTransfer : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        ResetDocumentServicesForTests();
        resistor_ = Definition("Resistor", kComponentResistor, {{0, 0}, {4, 0}});
        tie_ = Definition("Tie", kComponentTie, {{0, 0}});
        document_->currentPane = 1;
        document_->panePage[1] = 2;
    }
    void TearDown() override
    {
        ResetDocumentServicesForTests();
        DocumentTest::TearDown();
    }

    SchematicItem* Part(ComponentDefinition* definition, const char* name, int page, std::uint8_t selection)
    {
        SchematicItem* item = AddComponent(definition, 10, 20);
        item->page = static_cast<std::int16_t>(page);
        item->selection = selection;
        SetAttribute(record_, item, kAttrPart, name);
        return item;
    }

    GridText* Text(const char* text, int page, std::uint8_t selection, bool flag = false)
    {
        GridText* grid = NewGridText(record_);
        grid->text = text;
        grid->page = static_cast<std::int16_t>(page);
        grid->selection = selection;
        grid->flags = flag ? kGridTextIsFlag : 0;
        return grid;
    }

    static std::vector<std::string> PartNames(const LinkedList& list)
    {
        std::vector<std::string> names;
        for (const SchematicItem& item : ListRecords<SchematicItem>(list)) names.push_back(GetAttributeText(&item, kAttrPart));
        return names;
    }

    ComponentDefinition* resistor_ = nullptr;
    ComponentDefinition* tie_ = nullptr;
};

TEST_F(ItemTransfer, CopyTakesTheSelectionOfTheCurrentPageRelativeToItsCorner)
{
    Part(resistor_, "R1", 2, kSelected);
    Part(resistor_, "R2", 2, 0);
    Part(resistor_, "R3", 1, kSelected);
    Text("A", 2, kSelected);
    Text("B", 1, kSelected);
    EXPECT_EQ(TransferItems(record_, -10, -20, 0, kTransferCopy, kSelected), 2);
    DocumentServicesState& clipboard = DocumentServices();
    ASSERT_EQ(clipboard.clipboardItems.count, 1);
    ASSERT_EQ(clipboard.clipboardGridTexts.count, 1);
    const SchematicItem* copy = ListHead<SchematicItem>(clipboard.clipboardItems);
    EXPECT_EQ(GetAttributeText(copy, kAttrPart), "R1");
    EXPECT_EQ(copy->x1, 0);
    EXPECT_EQ(copy->y1, 0);
    EXPECT_EQ(ListHead<GridText>(clipboard.clipboardGridTexts)->text, "A");
    // The document is as it was.
    EXPECT_EQ(document_->itemList.count, 3);
    EXPECT_EQ(ListHead<SchematicItem>(document_->itemList)->selection, kSelected);

    // A second copy empties the clipboard first.
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferCopy, kSelected), 2);
    EXPECT_EQ(clipboard.clipboardItems.count, 1);
}

TEST_F(ItemTransfer, PasteRenumbersCollidingPartsAndLandsOnTheViewedPage)
{
    Part(resistor_, "R1", 0, kSelected);
    Part(tie_, "T1", 0, kSelected);
    Part(resistor_, "R5", 0, kSelected);
    document_->panePage[1] = 0;
    ASSERT_EQ(TransferItems(record_, 0, 0, 0, kTransferCopy, kSelected), 3);
    document_->panePage[1] = 3;
    // R5 leaves the document, so only R1 collides.
    ListRemove(document_->itemList, document_->itemList.tail);
    RescanPartNumbers(record_);

    EXPECT_EQ(TransferItems(record_, 7, 8, 0, kTransferPaste, 0), 3);
    EXPECT_EQ(PartNames(document_->itemList), (std::vector<std::string>{"R1", "T1", "R2", "T1", "R5"}));
    const SchematicItem* pasted = static_cast<const SchematicItem*>(document_->itemList.tail);
    EXPECT_EQ(pasted->page, 3);
    EXPECT_EQ(pasted->x1, 17);
    EXPECT_EQ(pasted->y1, 28);
    EXPECT_TRUE(pasted->selection & kSelectNew);
    EXPECT_EQ(document_->partCounters['R' - 'A'], 5);
    // The clipboard keeps its nodes for the next paste.
    EXPECT_EQ(DocumentServices().clipboardItems.count, 3);

    // Pasting back for Undo keeps names and pages.
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferPasteForUndo, 0), 3);
    const SchematicItem* kept = static_cast<const SchematicItem*>(document_->itemList.tail);
    EXPECT_EQ(GetAttributeText(kept, kAttrPart), "R5");
    EXPECT_EQ(kept->page, 0);
    EXPECT_EQ(PartNames(document_->itemList)[5], "R1");
}

TEST_F(ItemTransfer, DuplicateInPlaceCopiesEachSelectedNodeOnce)
{
    Part(resistor_, "R1", 2, kSelected);
    Part(resistor_, "R2", 2, kSelected);
    Part(resistor_, "R3", 2, kSelected);
    Text("IN", 2, kSelected, true);
    RescanPartNumbers(record_);
    EXPECT_EQ(TransferItems(record_, 2, 2, 0, kTransferDuplicate, kSelected), 4);
    EXPECT_EQ(PartNames(document_->itemList), (std::vector<std::string>{"R1", "R2", "R3", "R4", "R5", "R6"}));
    int selected = 0;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document_->itemList)) selected += item.selection & kSelected;
    EXPECT_EQ(selected, 3);
    EXPECT_EQ(ListHead<SchematicItem>(document_->itemList)->selection, 0);
    ASSERT_EQ(document_->gridTextList.count, 2);
    EXPECT_EQ(static_cast<const GridText*>(document_->gridTextList.tail)->text, "IN1");
}

TEST_F(ItemTransfer, MoveTurnsThroughAllEightOrientations)
{
    SchematicItem* a = Part(resistor_, "R1", 2, kSelected);
    SchematicItem* b = Part(resistor_, "R2", 2, kSelected);
    SchematicItem* other = Part(resistor_, "R3", 2, 0);
    a->orientation = 3;
    b->orientation = 7;
    EXPECT_EQ(TransferItems(record_, 1, -1, 1, kTransferMove, kSelected), 2);
    EXPECT_EQ(a->orientation, 4);
    EXPECT_EQ(b->orientation, 0);
    EXPECT_EQ(a->x1, 11);
    EXPECT_EQ(a->y1, 19);
    EXPECT_EQ(a->attributesChanged, 1);
    EXPECT_EQ(other->x1, 10);
    EXPECT_EQ(DefinitionOrientation(*resistor_), 0);
    EXPECT_EQ(document_->itemList.count, 3);
}

TEST_F(ItemTransfer, KeptNamesCollideAndAnEmptySourceTakesNothing)
{
    Part(resistor_, "R1", 2, kSelected);
    ASSERT_EQ(TransferItems(record_, 0, 0, 0, kTransferCopy, kSelected), 1);
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferPaste | kTransferKeepNames, 0), 1);
    EXPECT_EQ(PartNames(document_->itemList), (std::vector<std::string>{"R1", "R1"}));

    ResetDocumentServicesForTests();
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferPaste, 0), 0);
    EXPECT_EQ(document_->itemList.count, 2);
    // The undo lists are emptied by a transfer that asks for it, even with nothing to take.
    Part(resistor_, "R9", 1, 0);
    ASSERT_EQ(TransferItems(record_, 0, 0, 0, kTransferSnapshotToUndo, 0), 3);
    EXPECT_EQ(document_->undoItemList.count, 3);
    EXPECT_EQ(document_->itemList.count, 3);
    for (SchematicItem& item : ListRecords<SchematicItem>(document_->itemList)) item.selection = 0;
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferLiftToUndo, kSelected), 0);
    EXPECT_EQ(document_->undoItemList.count, 0);
}

TEST_F(ItemTransfer, CutAndUndoGiveTheNodesBack)
{
    Part(resistor_, "R1", 2, kSelected);
    Part(resistor_, "R2", 2, 0);
    Text("note", 2, kSelected);
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferLiftToUndo, kSelected), 2);
    EXPECT_EQ(PartNames(document_->itemList), std::vector<std::string>{"R2"});
    EXPECT_EQ(document_->gridTextList.count, 0);
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferUndoBack, 0), 2);
    EXPECT_EQ(PartNames(document_->itemList), (std::vector<std::string>{"R2", "R1"}));
    EXPECT_EQ(document_->gridTextList.count, 1);
}

// A flag cut from one page and pasted keeps the name that joins it to its partner on another
// page, however often it is taken back and pasted again; a second paste of it, and a copied
// flag, are new flags and get names of their own.
TEST_F(ItemTransfer, ACutFlagPastedBackStillJoinsItsPartnerOnAnotherPage)
{
    Text("MID", 1, 0, true);
    Text("MID", 2, kSelected, true);
    ASSERT_EQ(TransferItems(record_, 0, 0, 0, kTransferCut, kSelected), 1);
    ASSERT_EQ(document_->gridTextList.count, 1);
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferPaste, 0), 1);
    EXPECT_EQ(static_cast<const GridText*>(document_->gridTextList.tail)->text, "MID");
    // Undo of the paste (the pasted flag cut again) and the paste once more.
    for (GridText& text : ListRecords<GridText>(document_->gridTextList)) text.selection = text.page == 2 ? kSelected : 0;
    ASSERT_EQ(TransferItems(record_, 0, 0, 0, kTransferCut, kSelected), 1);
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferPaste, 0), 1);
    EXPECT_EQ(static_cast<const GridText*>(document_->gridTextList.tail)->text, "MID");
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferPaste, 0), 1);
    EXPECT_EQ(static_cast<const GridText*>(document_->gridTextList.tail)->text, "MID1");
    ListRemove(document_->gridTextList, document_->gridTextList.tail);

    for (GridText& text : ListRecords<GridText>(document_->gridTextList)) text.selection = text.page == 2 ? kSelected : 0;
    ASSERT_EQ(TransferItems(record_, 0, 0, 0, kTransferCopy, kSelected), 1);
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferPaste, 0), 1);
    EXPECT_EQ(static_cast<const GridText*>(document_->gridTextList.tail)->text, "MID1");
}

TEST_F(ItemTransfer, OutOfMemoryEndsOnlyThePassOfTheListBeingCopied)
{
    AddWire(0, 0, 1, 1)->selection = kSelected;
    Text("A", 2, kSelected);
    FailOneAllocation(1);
    TransferItems(record_, 0, 0, 0, kTransferCopy, kSelected);
    StopFailingAllocations();
    EXPECT_TRUE(AllocationFailed());
    EXPECT_EQ(DocumentServices().clipboardItems.count, 0);
    EXPECT_EQ(DocumentServices().clipboardGridTexts.count, 1);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].caption.find("15002"), std::string::npos);
}

TEST_F(ItemTransfer, PlotObjectsOfTheCurrentAnalysisMoveInAnAnalysisWindow)
{
    WindowRecord* analysis = NewWindowRecord(nullptr, kWindowAnalysis);
    analysis->flags |= kRecordHoldsPlotObjects;
    analysis->plot = std::make_shared<PlotRecord>();
    Analysis().analysisKind = kAnalysisAc;
    auto add = [&](std::uint16_t style, std::int16_t kind) {
        PlotObject* object = ListAppendAs<PlotObject>(analysis->plot->objects, kKindPlotObject);
        object->style = style;
        object->analysisKind = kind;
        object->selection = kSelected;
        object->x1 = 5;
        object->y1 = 6;
        object->w2 = 4;
        return object;
    };
    add(kObjectText, 2);
    add(kObjectTag, 2);
    add(kObjectText, 1);  // another analysis
    EXPECT_EQ(TransferItems(analysis, 0, 0, 0, kTransferCopy, kSelected), 3);
    EXPECT_EQ(DocumentServices().clipboardObjects.count, 2);
    // Pasting where no plot lies drops the tag; the text lands on no plot.
    EXPECT_EQ(TransferItems(analysis, 3, 4, 0, kTransferPaste, 0), 2);
    ASSERT_EQ(analysis->plot->objects.count, 4);
    const auto* pasted = static_cast<const PlotObject*>(analysis->plot->objects.tail);
    EXPECT_EQ(pasted->style, kObjectText);
    EXPECT_EQ(pasted->analysisKind, 2);
    EXPECT_EQ(pasted->w2, -1);
    EXPECT_EQ(pasted->x1, 8);
    EXPECT_EQ(pasted->y1, 10);
    // Moving in place leaves the other analysis's object alone.
    EXPECT_EQ(TransferItems(analysis, 1, 1, 0, kTransferMove, kSelected), 4);
    EXPECT_EQ(ListHead<PlotObject>(analysis->plot->objects)->x1, 6);
    EXPECT_EQ(static_cast<const PlotObject*>(analysis->plot->objects.head->next->next)->x1, 5);
    // A schematic's transfer never touches plot objects.
    EXPECT_EQ(TransferItems(record_, 0, 0, 0, kTransferCopy, kSelected), 0);
}

}  // namespace
}  // namespace kq5::testing
