// The editor driven through a real circuit window: mouse and key messages go through the
// window procedure to the mouse handlers; the screen during a move is saved for looking at.
#include <gtest/gtest.h>

#include "../app/screen_capture_support.h"
#include "ui/program_settings.h"
#include "document/component_types.h"
#include "platform/message.h"
#include "platform/win_messages.h"
#include "document/component_definition.h"
#include "document/editor_services.h"
#include "schematic/move_selection.h"
#include "schematic_test_support.h"

namespace kq5 {
namespace {

class EditWindowTest : public testing::SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        ResetSchematicEditorForTests();
        ResetMoveDragForTests();
        Settings().operationalOptions |= kOptionRubberbanding;
        Settings().operationalOptions &= ~(kOptionNodeSnap | kOptionSelectMode);
        resistor_.type = kComponentResistor;
        resistor_.name = "RESISTOR";
        resistor_.pins = {DefinitionPin{}, DefinitionPin{}};
        resistor_.pins[1].dx = 4;
    }
    void TearDown() override
    {
        ResetMoveDragForTests();
        ResetSchematicEditorForTests();
        SchematicWindowTest::TearDown();
    }
    win::LPARAM At(int gx, int gy) const
    {
        const win::POINT p = GridToPaneClient(record_, gx, gy, record_->document->currentPane);
        return win::MAKELPARAM(static_cast<win::WORD>(p.x), static_cast<win::WORD>(p.y));
    }
    void Send(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) { win::SendMessage(record_->window, message, wParam, lParam); }
    ComponentDefinition resistor_;
};

TEST_F(EditWindowTest, PlacingThroughTheWindowWithSpaceTurningThePart)
{
    SetChosenComponentDefinition(&resistor_);
    record_->mode = 17562;
    Send(win::WM_LBUTTONDOWN, win::MK_LBUTTON, At(10, 10));
    Send(win::WM_MOUSEMOVE, win::MK_LBUTTON, At(14, 12));
    Send(win::WM_KEYDOWN, win::VK_SPACE, 0);
    Send(win::WM_MOUSEMOVE, win::MK_LBUTTON, At(16, 14));
    EXPECT_TRUE(MoveDrag().active);
    Send(win::WM_LBUTTONUP, 0, At(16, 14));
    ASSERT_EQ(record_->document->itemList.count, 1);
    const auto* part = static_cast<SchematicItem*>(record_->document->itemList.head);
    EXPECT_EQ(part->x1, 16);
    EXPECT_EQ(part->y1, 14);
    EXPECT_EQ(part->orientation, 3);
    EXPECT_FALSE(MoveDrag().active);
}

TEST_F(EditWindowTest, TheScreenWhileASelectionMovesWithItsWire)
{
    for (int i = 0; i < 3; ++i) {
        SchematicItem* part = testing::AddItem(record_, kItemComponent, 10 + 10 * i, 10, 0, 0);
        part->definition = &resistor_;
        part->selection = kSelected;
        testing::AddItem(record_, kItemWire, 10 + 10 * i, 10, 10 + 10 * i, 25);
    }
    win::UpdateWindow(record_->window);
    record_->mode = 17561;
    Send(win::WM_LBUTTONDOWN, win::MK_LBUTTON, At(12, 10));
    Send(win::WM_MOUSEMOVE, win::MK_LBUTTON, At(14, 14));
    Send(win::WM_MOUSEMOVE, win::MK_LBUTTON, At(16, 16));
    EXPECT_TRUE(MoveDrag().active);
    EXPECT_EQ(MoveDrag().ends.size(), 3u);
    testing::SaveScreen("edit_move_in_progress");
    Send(win::WM_LBUTTONUP, 0, At(16, 16));
    const auto* first = static_cast<SchematicItem*>(record_->document->itemList.head);
    EXPECT_EQ(first->x1, 14);
    EXPECT_EQ(first->y1, 16);
    const auto* wire = static_cast<SchematicItem*>(first->next);
    EXPECT_EQ(wire->x1, 14);
    EXPECT_EQ(wire->y1, 16);
    EXPECT_EQ(wire->y2, 25);
    win::UpdateWindow(record_->window);
    testing::SaveScreen("edit_move_done");
}

}  // namespace
}  // namespace kq5
