// Each page remembers where it was last clicked: Paste on a page puts its copy at that page's
// last point, whatever was clicked on other pages since.
#include "schematic_test_support.h"

#include "core/linked_list.h"
#include "document/circuit_document.h"
#include "document/document_services.h"
#include "document/schematic_item.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"
#include "document/page_array.h"
#include "document/page_tabs.h"
#include "document/pane_seams.h"

namespace kq5::testing {
namespace {

using PageLastPoint = SchematicWindowTest;

TEST_F(PageLastPoint, PasteGoesToTheLastClickOnTheShownPage)
{
    ASSERT_EQ(AddPage(record_, 1), 0);
    CircuitDocument& doc = *record_->document;
    const int pane = FindVisiblePane(record_);
    ASSERT_GE(pane, 0);
    doc.currentPane = pane;

    ShowPageInPane(record_, pane, 0);
    const win::POINT onFirst = GridToPaneClient(record_, 10, 12, pane);
    EXPECT_EQ(ClientToWorld(record_, onFirst.x, onFirst.y, pane).x, 10);
    ShowPageInPane(record_, pane, 1);
    const win::POINT onSecond = GridToPaneClient(record_, 30, 20, pane);
    ClientToWorld(record_, onSecond.x, onSecond.y, pane);

    ShowPageInPane(record_, pane, 0);
    EXPECT_EQ(ClampPaneLastPoint(record_).x, 10);
    EXPECT_EQ(ClampPaneLastPoint(record_).y, 12);

    SchematicItem* wire = NewSchematicItem(record_);
    wire->itemKind = kItemWire;
    wire->x1 = 2;
    wire->y1 = 2;
    wire->x2 = 8;
    wire->y2 = 2;
    wire->page = 0;
    wire->selection = kSelected;
    EditCopy(record_);
    ASSERT_EQ(EditPaste(record_), 0);
    const auto* pasted = static_cast<const SchematicItem*>(doc.itemList.tail);
    ASSERT_NE(pasted, wire);
    EXPECT_EQ(pasted->x1, 10);
    EXPECT_EQ(pasted->y1, 12);
    EXPECT_EQ(pasted->page, 0);

    // A point left below 1 (a click on the edge) is raised to 1 before use.
    doc.pages[0].lastPoint = {0, -3};
    EXPECT_EQ(ClampPaneLastPoint(record_).x, 1);
    EXPECT_EQ(ClampPaneLastPoint(record_).y, 1);
}

}  // namespace
}  // namespace kq5::testing
