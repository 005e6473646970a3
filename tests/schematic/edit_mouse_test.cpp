// The mouse handlers driven with injected presses, moves and releases on a window that carries
// a schematic record: placing, wiring, selecting, moving with wires following, the select box,
// turning with the right button, and double clicks.
#include <gtest/gtest.h>

#include <deque>

#include "../platform/window_test_support.h"
#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/document_services.h"
#include "document/hit_test.h"
#include "document/selection.h"
#include "document/component_types.h"
#include "platform/bitmap.h"
#include "platform/control_scrollbar.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "schematic/box_operations_tracker.h"
#include "document/component_definition.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"
#include "schematic/mouse_input.h"
#include "schematic/move_selection.h"
#include "document/pane_seams.h"
#include "schematic/schematic_view.h"

namespace kq5 {
namespace {

class MouseEditTest : public win::testing::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        InitCharClasses();
        InstallSchematicEditorHooks();
        ResetAppStateForTests();
        ResetWindowRecordsForTests();
        ResetDocumentStateForTests();
        ResetDocumentServicesForTests();
        ResetAnalysisStateForTests();
        ResetSchematicEditorForTests();
        ResetMoveDragForTests();
        ResetTrackerForTests();
        ClearPromptDialogs();
        win::ClearMessageBoxLog();
        Settings().operationalOptions |= kOptionRubberbanding;
        Settings().operationalOptions &= ~(kOptionNodeSnap | kOptionSelectMode);
        hwnd_ = TopLevel(0, 0, 640, 480);
        record_ = NewWindowRecord(hwnd_, kWindowSchematic, true);
        doc_ = record_->document.get();
        doc_->splitterX = 0;
        doc_->splitterY = 0;
        pane_ = -1;
        for (int pane = 0; pane < 4 && pane_ < 0; ++pane) {
            win::RECT r{};
            GetPaneRect(record_, pane, r);
            if (r.right - r.left > 200 && r.bottom - r.top > 200) pane_ = pane;
        }
        ASSERT_GE(pane_, 0);
        doc_->currentPane = pane_;
        resistor_.type = kComponentResistor;
        resistor_.name = "RESISTOR";
        resistor_.pins = {DefinitionPin{}, DefinitionPin{}};
        resistor_.pins[1].dx = 4;
    }
    void TearDown() override
    {
        ResetTrackerForTests();
        ResetMoveDragForTests();
        ResetSchematicEditorForTests();
        ResetDocumentStateForTests();
        ResetWindowRecordsForTests();
        ClearPromptDialogs();
        PlatformTest::TearDown();
    }

    win::LPARAM At(int gx, int gy) const
    {
        const win::POINT p = GridToPaneClient(record_, gx, gy, pane_);
        return win::MAKELPARAM(static_cast<win::WORD>(p.x), static_cast<win::WORD>(p.y));
    }
    void Press(int gx, int gy, unsigned keys = 0) { OnWindowLButtonDown(hwnd_, win::MK_LBUTTON | keys, At(gx, gy)); }
    void MoveTo(int gx, int gy, unsigned keys = win::MK_LBUTTON) { OnWindowMouseMove(hwnd_, keys, At(gx, gy)); }
    void Release(int gx, int gy, unsigned keys = 0) { OnWindowLButtonUp(hwnd_, keys, At(gx, gy)); }
    void Drag(int x0, int y0, int x1, int y1, unsigned keys = 0)
    {
        Press(x0, y0, keys);
        MoveTo((x0 + x1) / 2, (y0 + y1) / 2, win::MK_LBUTTON | keys);
        MoveTo(x1, y1, win::MK_LBUTTON | keys);
        Release(x1, y1, keys);
    }
    SchematicItem* Comp(int x, int y)
    {
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemComponent;
        item->definition = &resistor_;
        item->x1 = x;
        item->y1 = y;
        return item;
    }
    SchematicItem* Wire(int x1, int y1, int x2, int y2)
    {
        SchematicItem* item = NewSchematicItem(record_);
        item->itemKind = kItemWire;
        item->x1 = x1;
        item->y1 = y1;
        item->x2 = x2;
        item->y2 = y2;
        return item;
    }
    std::vector<SchematicItem*> Items(std::uint16_t kind)
    {
        std::vector<SchematicItem*> out;
        for (SchematicItem& item : ListRecords<SchematicItem>(doc_->itemList))
            if (item.itemKind == kind) out.push_back(&item);
        return out;
    }

    win::HWND hwnd_ = nullptr;
    WindowRecord* record_ = nullptr;
    CircuitDocument* doc_ = nullptr;
    int pane_ = -1;
    ComponentDefinition resistor_;
};

TEST_F(MouseEditTest, ComponentModePlacesAtTheReleaseAndKeepsTheTurn)
{
    SetChosenComponentDefinition(&resistor_);
    record_->mode = 17562;
    Press(10, 10);
    MoveTo(12, 11);
    OnWindowRButtonDown(hwnd_, win::MK_LBUTTON | win::MK_RBUTTON, At(12, 11));  // a quarter turn
    OnWindowRButtonUp(hwnd_, win::MK_LBUTTON, At(12, 11));
    MoveTo(15, 14);
    Release(15, 14);
    std::vector<SchematicItem*> parts = Items(kItemComponent);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->x1, 15);
    EXPECT_EQ(parts[0]->orientation, 3);
    EXPECT_EQ(DefinitionOrientation(resistor_), 3);
    EXPECT_EQ(GetAttributeText(parts[0], kAttrPart), "R1");
    EXPECT_EQ(SchematicEditor().dragState, 0);
    // The next part starts with the same turn.
    Press(20, 20);
    Release(20, 20);
    EXPECT_EQ(Items(kItemComponent).back()->orientation, 3);
}

TEST_F(MouseEditTest, WireModeDrawsTwoLegsAndTheRightButtonSwapsThem)
{
    record_->mode = 17564;
    Press(5, 5);
    MoveTo(15, 6);
    MoveTo(15, 12);  // mostly horizontal at first: horizontal leg first
    Release(15, 12);
    std::vector<SchematicItem*> wires = Items(kItemWire);
    ASSERT_EQ(wires.size(), 2u);
    EXPECT_EQ(std::vector<int>({wires[0]->x1, wires[0]->y1, wires[0]->x2, wires[0]->y2}), std::vector<int>({5, 5, 15, 5}));
    EXPECT_EQ(std::vector<int>({wires[1]->x1, wires[1]->y1, wires[1]->x2, wires[1]->y2}), std::vector<int>({15, 5, 15, 12}));
    EXPECT_EQ(record_->undoKind, 1);

    Press(30, 5);
    MoveTo(40, 6);
    OnWindowRButtonDown(hwnd_, win::MK_LBUTTON | win::MK_RBUTTON, At(40, 6));
    MoveTo(40, 12);
    Release(40, 12);
    wires = Items(kItemWire);
    ASSERT_EQ(wires.size(), 4u);
    EXPECT_EQ(std::vector<int>({wires[2]->x1, wires[2]->y1, wires[2]->x2, wires[2]->y2}), std::vector<int>({30, 5, 30, 12}));
}

TEST_F(MouseEditTest, SelectClickThenDragMovesWithTheWireFollowing)
{
    SchematicItem* r = Comp(10, 10);
    SchematicItem* wire = Wire(2, 10, 10, 10);
    record_->mode = 17561;
    Press(12, 10);
    Release(12, 10);
    EXPECT_EQ(r->selection & kSelected, kSelected);
    EXPECT_EQ(wire->selection & kSelected, 0);
    Drag(12, 10, 12, 16);
    EXPECT_EQ(r->y1, 16);
    EXPECT_EQ(wire->x2, 10);
    EXPECT_EQ(wire->y2, 16);
    EXPECT_EQ(wire->x1, 2);
    EXPECT_EQ(record_->undoKind, 12);
    EXPECT_EQ(record_->modified, 1);
}

// During a transient run a click on a DIGITAL SWITCH turns it on or off and selects nothing;
// other parts are left alone.
TEST_F(MouseEditTest, ATransientRunClickTogglesADigitalSwitchOnly)
{
    ComponentDefinition digitalSwitch;
    digitalSwitch.type = kComponentDigitalSwitch;
    digitalSwitch.pins = {DefinitionPin{}, DefinitionPin{}};
    digitalSwitch.pins[1].dx = 4;
    SchematicItem* s = Comp(10, 10);
    s->definition = &digitalSwitch;
    SchematicItem* r = Comp(10, 20);
    record_->mode = 17561;
    Analysis().analysisKind = kAnalysisTransient;
    Press(12, 10);
    Release(12, 10);
    EXPECT_EQ(s->switchOn, 1);
    EXPECT_EQ(s->selection & kSelected, 0);
    Press(12, 20);
    Release(12, 20);
    EXPECT_EQ(r->switchOn, 0);
    EXPECT_EQ(r->selection & kSelected, 0);
    Press(12, 10);
    Release(12, 10);
    EXPECT_EQ(s->switchOn, 0);
    // Outside a transient run the same click selects the switch.
    Analysis().analysisKind = kAnalysisNone;
    Press(12, 10);
    Release(12, 10);
    EXPECT_EQ(s->switchOn, 0);
    EXPECT_EQ(s->selection & kSelected, kSelected);
}

// A move dragged past the pane's edge scrolls the pane a line, then a line per tick of the drag
// timer while the mouse rests (a report of the resting pointer scrolls no further), and stops
// when the button is let go.
TEST_F(MouseEditTest, TheDragTimerScrollsWhileThePointerIsOutsideThePane)
{
    win::HWND bars[2] = {};
    for (int vertical = 0; vertical < 2; ++vertical) {
        const int id = (vertical ? kPaneVScrollId : kPaneHScrollId) + pane_;
        bars[vertical] = win::CreateWindowEx(0, "SCROLLBAR", "", win::WS_CHILD | (vertical ? win::SBS_VERT : win::SBS_HORZ), 0, 0,
                                             10, 10, hwnd_, reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(id)), nullptr,
                                             nullptr);
        win::SetScrollRange(bars[vertical], win::SB_CTL, 0, 8000, false);
    }
    auto origin = [&](int vertical) { return win::GetScrollPos(bars[vertical], win::SB_CTL); };
    doc_->pages.resize(1);
    Comp(10, 10);
    record_->mode = 17561;
    Press(12, 10);
    Release(12, 10);
    Press(12, 10);
    MoveTo(14, 10);
    win::RECT pane{};
    GetPaneRect(record_, pane_, pane);
    const win::POINT inside = GridToPaneClient(record_, 14, 10, pane_);
    const win::LPARAM right = win::MAKELPARAM(static_cast<win::WORD>(pane.right + 5), static_cast<win::WORD>(inside.y));
    OnWindowMouseMove(hwnd_, win::MK_LBUTTON, right);
    EXPECT_EQ(origin(0), 48);
    OnWindowMouseMove(hwnd_, win::MK_LBUTTON, right);
    EXPECT_EQ(origin(0), 48);
    OnSchematicDragTimer(hwnd_);
    OnSchematicDragTimer(hwnd_);
    EXPECT_EQ(origin(0), 3 * 48);
    EXPECT_EQ(origin(1), 0);
    // Back inside, the ticks do nothing.
    OnWindowMouseMove(hwnd_, win::MK_LBUTTON, win::MAKELPARAM(static_cast<win::WORD>(inside.x), static_cast<win::WORD>(inside.y)));
    OnSchematicDragTimer(hwnd_);
    EXPECT_EQ(origin(0), 3 * 48);
    // Outside again, then the button is let go: no more scrolling.
    OnWindowMouseMove(hwnd_, win::MK_LBUTTON, win::MAKELPARAM(static_cast<win::WORD>(inside.x), static_cast<win::WORD>(pane.bottom + 5)));
    EXPECT_EQ(origin(1), 48);
    OnWindowLButtonUp(hwnd_, 0, win::MAKELPARAM(static_cast<win::WORD>(inside.x), static_cast<win::WORD>(pane.bottom + 5)));
    OnSchematicDragTimer(hwnd_);
    EXPECT_EQ(origin(1), 48);
}

TEST_F(MouseEditTest, ADragOverEmptySpaceSelectsWhatTheBoxMeets)
{
    SchematicItem* inside = Wire(10, 10, 12, 10);
    SchematicItem* outside = Wire(40, 40, 42, 40);
    record_->mode = 17561;
    Drag(5, 5, 20, 20);
    EXPECT_EQ(inside->selection & kSelected, kSelected);
    EXPECT_EQ(outside->selection & kSelected, 0);
    EXPECT_EQ(record_->markRect.left, 5);
    EXPECT_EQ(record_->markRect.bottom, 20);
    // Shift adds to it by toggling what the next box meets.
    Drag(35, 35, 45, 45, win::MK_SHIFT);
    EXPECT_EQ(outside->selection & kSelected, kSelected);
}

TEST_F(MouseEditTest, ShiftClickTogglesAndAnyModeBecomesSelect)
{
    SchematicItem* a = Comp(10, 10);
    SchematicItem* b = Comp(10, 20);
    record_->mode = 17564;  // wire mode, but Shift selects
    Press(12, 10, win::MK_SHIFT);
    Release(12, 10, win::MK_SHIFT);
    Press(12, 20, win::MK_SHIFT);
    Release(12, 20, win::MK_SHIFT);
    EXPECT_EQ(a->selection & kSelected, kSelected);
    EXPECT_EQ(b->selection & kSelected, kSelected);
    EXPECT_TRUE(Items(kItemWire).empty());
    Press(12, 10, win::MK_SHIFT);
    Release(12, 10, win::MK_SHIFT);
    EXPECT_EQ(a->selection & kSelected, 0);
}

TEST_F(MouseEditTest, ReshapingAWireByItsEndHandle)
{
    SchematicItem* wire = Wire(10, 10, 20, 10);
    wire->selection = kSelected;
    record_->mode = 17561;
    Drag(20, 10, 25, 10);
    EXPECT_EQ(wire->x2, 25);
    EXPECT_EQ(wire->x1, 10);
}

TEST_F(MouseEditTest, DoubleClickOpensTheComponentsAttributes)
{
    Comp(10, 10);
    record_->mode = 17561;
    PushPromptAnswer({});
    OnCircuitDoubleClick(hwnd_, 0, At(12, 10));
    EXPECT_EQ(PromptDialogLog().size(), 1u);
}

TEST_F(MouseEditTest, SpaceTurnsTheMovingSelection)
{
    SchematicItem* r = Comp(10, 10);
    r->selection = kSelected;
    record_->mode = 17561;
    Press(12, 10);
    MoveTo(12, 12);
    EXPECT_TRUE(OnCircuitSpaceKey(hwnd_));
    Release(12, 12);
    EXPECT_EQ(r->orientation, 3);
}

TEST_F(MouseEditTest, ShiftRightClickQuickZoomAndSelectModeAfterPlacing)
{
    doc_->zoomFactor = 1.0;
    OnWindowRButtonDown(hwnd_, win::MK_RBUTTON | win::MK_SHIFT, At(10, 10));
    OnWindowRButtonUp(hwnd_, win::MK_SHIFT, At(10, 10));
    EXPECT_EQ(doc_->zoomFactor, 4.0);
    OnWindowRButtonDown(hwnd_, win::MK_RBUTTON | win::MK_SHIFT, At(10, 10));
    EXPECT_EQ(doc_->zoomFactor, 1.0);
    doc_->zoomFactor = 2.0;
    OnWindowRButtonDown(hwnd_, win::MK_RBUTTON | win::MK_SHIFT, At(10, 10));
    EXPECT_EQ(doc_->zoomFactor, 1.0);

    Settings().operationalOptions |= kOptionSelectMode;
    SetChosenComponentDefinition(&resistor_);
    record_->mode = 17562;
    Press(10, 10);
    Release(10, 10);
    EXPECT_EQ(Items(kItemComponent).size(), 1u);
    EXPECT_EQ(record_->mode, 17561);
}

TEST_F(MouseEditTest, DrawnPartsAndWiresConnectAsDrawn)
{
    SetChosenComponentDefinition(&resistor_);
    record_->mode = 17562;
    Press(10, 10);
    Release(10, 10);
    Press(20, 10);
    Release(20, 10);
    Press(10, 20);
    Release(10, 20);
    record_->mode = 17564;
    Drag(14, 10, 20, 10);  // from the first part's right pin to the second part's left pin
    Drag(2, 20, 30, 20);   // straight through both pins of the third part
    std::vector<SchematicItem*> parts = Items(kItemComponent);
    ASSERT_EQ(parts.size(), 3u);
    doc_->connectivityStale = 1;
    ASSERT_EQ(RebuildNetlistIfNeeded(record_, true), 0);
    auto node = [&](int part, int pin) { return PinNodeNumber(*doc_, *parts[static_cast<std::size_t>(part)], pin); };
    EXPECT_EQ(node(0, 1), node(1, 0));
    EXPECT_NE(node(0, 0), node(0, 1));
    // The wire drawn through the third part's pins was split there: the part is shorted.
    EXPECT_EQ(node(2, 0), node(2, 1));
    EXPECT_NE(node(2, 0), node(0, 1));
}

TEST_F(MouseEditTest, DraggingAnAttributeTextMovesOnlyTheText)
{
    SchematicItem* r = Comp(10, 10);
    ComponentAttribute* value = SetAttribute(record_, r, kAttrValue, "1k");
    value->display = kAttrShowValue;
    value->textOffsetX = 0;
    value->textOffsetY = 16;
    value->SetDisplayRect(win::RECT{80, 92, 112, 102});
    r->attributesChanged = 0;  // as placed by a drawing: a redraw keeps the offsets set above
    record_->mode = 17561;
    Drag(11, 12, 14, 15);
    EXPECT_EQ(r->x1, 10);
    EXPECT_EQ(r->y1, 10);
    EXPECT_EQ(value->textOffsetX, 24);
    EXPECT_EQ(value->textOffsetY, 40);
    EXPECT_EQ(record_->undoKind, kUndoBoxEdit);  // Undo puts the text back like any move
}

namespace paths {
std::vector<std::pair<SchematicItem*, SchematicItem*>> shown;
void Show(WindowRecord*, SchematicItem* a, SchematicItem* b) { shown.push_back({a, b}); }
}  // namespace paths

TEST_F(MouseEditTest, PointToPointPathsNeedsTwoDigitalParts)
{
    ComponentDefinition inverter;
    inverter.type = kComponentInv;
    inverter.pins = {DefinitionPin{}, DefinitionPin{}};
    SchematicItem* a = Comp(10, 10);
    a->definition = &inverter;
    SchematicItem* b = Comp(10, 20);
    b->definition = &inverter;
    Comp(10, 30);  // an analog part
    paths::shown.clear();
    PaneInput().showPathWindow = &paths::Show;
    record_->mode = 17583;
    Press(12, 10);
    Release(12, 10);
    Press(12, 30);  // not digital: the first gate stays
    Release(12, 30);
    EXPECT_TRUE(paths::shown.empty());
    Press(12, 20);
    Release(12, 20);
    ASSERT_EQ(paths::shown.size(), 1u);
    EXPECT_EQ(paths::shown[0].first, a);
    EXPECT_EQ(paths::shown[0].second, b);
    EXPECT_EQ(SchematicEditor().firstGate, nullptr);
    PaneInput() = PaneInputServices{};
}

namespace splitters {
int dropped = 0;
win::POINT at{};
int AtPoint(const WindowRecord*, int x, int) { return x == 300 ? 1009 : 0; }
void Drop(WindowRecord*, int cursor, int x, int y)
{
    dropped = cursor;
    at = {x, y};
}
}  // namespace splitters

TEST_F(MouseEditTest, ASplitterDragDropsTheBarAndARightDragPans)
{
    PaneInput().splitterAtPoint = &splitters::AtPoint;
    PaneInput().dropSplitter = &splitters::Drop;
    OnWindowLButtonDown(hwnd_, win::MK_LBUTTON, win::MAKELPARAM(300, 100));
    OnWindowMouseMove(hwnd_, win::MK_LBUTTON, win::MAKELPARAM(250, 120));
    OnWindowLButtonUp(hwnd_, 0, win::MAKELPARAM(250, 120));
    EXPECT_EQ(splitters::dropped, 1009);
    EXPECT_EQ(splitters::at.x, 250);
    PaneInput() = PaneInputServices{};

    // The right button drags the drawing with the mouse.
    doc_->pages.resize(1);
    doc_->pages[0].originX[static_cast<std::size_t>(pane_)] = 0;
    const win::LPARAM from = At(20, 20);
    OnWindowRButtonDown(hwnd_, win::MK_RBUTTON, from);
    OnWindowMouseMove(hwnd_, win::MK_RBUTTON, At(15, 20));  // 5 grid units = 40 pixels left
    OnWindowRButtonUp(hwnd_, 0, At(15, 20));
    EXPECT_EQ(doc_->pages[0].originX[static_cast<std::size_t>(pane_)], 40);
    EXPECT_EQ(SchematicEditor().panFlag, 0);
}

TEST_F(MouseEditTest, StyleListEntriesPaintTheirStripAndSelectionFrame)
{
    win::HDC screen = win::GetDC(nullptr);
    win::HDC dc = win::CreateCompatibleDC(screen);
    win::HBITMAP target = win::CreateCompatibleBitmap(screen, 60, 20);
    win::HGDIOBJ old = win::SelectObject(dc, target);
    win::RECT all{0, 0, 60, 20};
    win::FillRect(dc, &all, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    win::DRAWITEMSTRUCT item;
    item.hDC = dc;
    item.rcItem = all;
    item.itemID = 0;
    item.itemData = 0;  // the solid pen's strip
    item.itemAction = win::ODA_DRAWENTIRE;
    item.itemState = win::ODS_SELECTED;
    DrawStyleListItem(item);
    EXPECT_EQ(win::GetPixel(dc, 1, 1), win::RGB(0, 0, 0));  // the selection frame
    int dark = 0;
    for (int x = 2; x < 50; ++x)
        for (int y = 2; y < 18; ++y) dark += win::GetPixel(dc, x, y) == win::RGB(0, 0, 0);
    EXPECT_GT(dark, 20);  // the solid line of the strip
    item.itemState = 0;
    item.itemAction = win::ODA_SELECT;
    DrawStyleListItem(item);
    EXPECT_NE(win::GetPixel(dc, 1, 1), win::RGB(0, 0, 0));
    win::SelectObject(dc, old);
    win::DeleteObject(target);
    win::DeleteDC(dc);
    win::ReleaseDC(nullptr, screen);
}

TEST_F(MouseEditTest, RectangleModeDrawsAnObjectAndThePopupChoiceReturnsToSelect)
{
    record_->mode = 17568;
    GraphicsPopupBackToSelect() = true;
    Drag(20, 10, 10, 15);  // dragged up-left: the rectangle is stored in order
    std::vector<SchematicItem*> objects = Items(kItemGraphicObject);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]->ObjectKind(), kObjectRectangle);
    EXPECT_EQ(std::vector<int>({objects[0]->x1, objects[0]->y1, objects[0]->x2, objects[0]->y2}),
              std::vector<int>({10, 10, 20, 15}));
    EXPECT_EQ(record_->mode, 17561);
    EXPECT_FALSE(GraphicsPopupBackToSelect());
    // A drag of no size makes nothing.
    record_->mode = 17568;
    Drag(30, 30, 30, 30);
    EXPECT_EQ(Items(kItemGraphicObject).size(), 1u);
}

// The hit test of a schematic window.
class HitTest : public MouseEditTest {
protected:
    ListNode* Pick(int gx, int gy, int mode, int* handle = nullptr)
    {
        const win::POINT p = GridToPaneClient(record_, gx, gy, pane_);
        std::uint8_t* byte = nullptr;
        return FindObjectAtPoint(record_, &byte, handle, p.x, p.y, mode);
    }
};

TEST_F(HitTest, AnAttributeTextIsPickedUnlessInsideTheSelectBox)
{
    SchematicItem* r = Comp(10, 10);
    ComponentAttribute* value = SetAttribute(record_, r, kAttrValue, "1k");
    value->display = kAttrShowValue;
    value->SetDisplayRect(win::RECT{10 * 8, 12 * 8 - 4, 14 * 8, 12 * 8 + 6});  // under the part
    r->y1 = 10;
    EXPECT_EQ(Pick(11, 12, kPickAttributes), value);
    EXPECT_EQ(Documents().pickedItem, r);
    SetMarkRect(record_, 5, 5, 20, 20);
    EXPECT_EQ(Pick(11, 12, kPickAttributes), nullptr);  // the part's bounds end above the text
    EXPECT_EQ(Pick(11, 10, kPickAttributes), r);
}

TEST_F(HitTest, TheLaterOfTwoOverlappingPartsAndPicturesFirst)
{
    Comp(10, 10);
    SchematicItem* later = Comp(11, 10);
    EXPECT_EQ(Pick(12, 10, 0), later);
    // A picture under the parts (earlier in the list, so drawn first) is still picked first.
    SchematicItem* picture = NewSchematicItem(record_);
    picture->itemKind = kItemGraphicObject;
    picture->style = kObjectPicture;
    picture->x1 = 5;
    picture->y1 = 5;
    picture->x2 = 30;
    picture->y2 = 30;
    ReorderSelection(record_, false);  // nothing selected: the order stays
    picture->selection = kSelected;
    ReorderSelection(record_, false);  // Send to Back
    EXPECT_EQ(doc_->itemList.head, picture);
    EXPECT_EQ(Pick(12, 10, 0), picture);
}

TEST_F(HitTest, HandlesOfLinesAndDiamonds)
{
    SchematicItem* line = NewSchematicItem(record_);
    line->itemKind = kItemGraphicObject;
    line->style = kObjectLine;
    line->x1 = 10;
    line->y1 = 10;
    line->x2 = 20;
    line->y2 = 20;
    line->selection = kSelected;
    int handle = 0;
    EXPECT_EQ(Pick(20, 20, 0, &handle), line);
    EXPECT_EQ(handle, 0xA00);
    EXPECT_EQ(Pick(15, 10, 0, &handle), nullptr);  // a line has no edge-middle handles
    line->style = kObjectDiamond;
    EXPECT_EQ(Pick(15, 10, 0, &handle), line);
    EXPECT_EQ(handle, 0x400);
    EXPECT_EQ(Pick(10, 10, 0, &handle), nullptr);  // nor corners
    line->selection = 0;
    EXPECT_EQ(Pick(15, 10, 0, &handle), nullptr);  // only selected items have handles
}

TEST_F(HitTest, AGridTextOverAWireWinsWhenGridTextIsShown)
{
    Wire(5, 9, 30, 9);
    GridText* text = NewGridText(record_);
    text->text = "LABEL";
    text->x = 10;
    text->y = 10;
    ListNode* found = Pick(12, 9, 0);
    EXPECT_EQ(found, text);
    doc_->viewOptions &= ~kViewGridText;
    EXPECT_EQ(Pick(12, 9, 0)->kind, kKindSchematicItem);
}

}  // namespace
}  // namespace kq5
