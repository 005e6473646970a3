// Selected texts on a schematic: a selected grid text and the texts of a selected part show their
// handles beside them in the selection colour; an attribute text picked on its own is drawn selected while its
// part is not; printing shows no selection. Ends with a screenshot of such a window.
#include <vector>

#include "../app/screen_test_support.h"
#include "schematic_test_support.h"

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/color_table.h"
#include "ui/font_select.h"
#include "core/char_classes.h"
#include "document/component_attributes.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "document/selection.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "document/editor_services.h"

namespace kq5::testing {
namespace {

constexpr win::COLORREF kRed = win::RGB(255, 0, 0);  // colour 9, the selection colour

class TextSelection : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        record_->document->viewOptions = kViewGridText | kViewAttributeText;
        canvas_ = std::make_unique<Canvas>(400, 300);
    }
    void TearDown() override
    {
        Documents().pickedItem = nullptr;
        Documents().pickedAttribute = nullptr;
        SchematicEditor().attributeSelection = 0;
        canvas_.reset();
        SchematicWindowTest::TearDown();
    }
    void Render()
    {
        canvas_->Clear(win::RGB(255, 255, 255));
        RenderInto(*canvas_, record_, 400, 300);
    }
    // The box a grid text is drawn in, as the renderer measures it.
    win::RECT BoxOf(const GridText& text)
    {
        win::HGDIOBJ previous = SelectFontSpec(canvas_->dc(), text.font);
        win::RECT r = GridTextDrawRect(canvas_->dc(), text);
        RestoreFont(canvas_->dc(), previous);
        r.bottom += 2;
        return r;
    }
    // Red pixels in the handle square at (x, y): 5 by 5 from 2 units before the point.
    int HandleAt(int x, int y) const { return canvas_->Count({x - 2, y - 2, x + 4, y + 4}, kRed); }

    std::unique_ptr<Canvas> canvas_;
};

// The handles of a selected text stand beside it, left and right, at its top, middle and bottom,
// so that none covers a letter.
std::vector<win::POINT> HandleSpots(const win::RECT& r)
{
    int top = r.top + 2;
    int bottom = r.bottom - 4;
    if (bottom < top) top = bottom = r.top + (r.bottom - r.top) / 2 - 1;
    const int my = top + (bottom - top) / 2;
    return {{r.left - 4, top}, {r.left - 4, my}, {r.left - 4, bottom}, {r.right + 2, top}, {r.right + 2, my}, {r.right + 2, bottom}};
}

TEST_F(TextSelection, ASelectedGridTextShowsItsHandlesBesideIt)
{
    GridText* text = AddText(record_, "Hello", 6, 10);
    text->font.color = 12;
    const win::RECT r = BoxOf(*text);
    ASSERT_GT(r.right - r.left, 10);
    Render();
    for (const win::POINT& p : HandleSpots(r)) EXPECT_EQ(HandleAt(p.x, p.y), 0);
    text->selection = kSelected;
    Render();
    // Every handle is a full square, outside the text's box.
    for (const win::POINT& p : HandleSpots(r)) EXPECT_GE(HandleAt(p.x, p.y), 25) << p.x << "," << p.y;
    EXPECT_EQ(canvas_->Count({r.left - 6, r.top - 6, r.right + 6, r.top}, kRed), 0);
    EXPECT_EQ(canvas_->Count({r.left - 6, r.bottom, r.right + 6, r.bottom + 6}, kRed), 0);
    // Printing ignores the selection: neither handles nor the selection colour.
    SetDrawPassFlags(7);
    Render();
    SetDrawPassFlags(3);
    EXPECT_EQ(canvas_->Count({0, 0, 400, 300}, kRed), 0);
}

TEST_F(TextSelection, APickedAttributeTextIsSelectedWithoutItsPart)
{
    SchematicItem* part = AddItem(record_, kItemComponent, 10, 10, 10, 10);
    ComponentAttribute* value = SetAttribute(record_, part, kAttrValue, "1k");
    value->display = kAttrShowValue;
    value->textOffsetX = 0;
    value->textOffsetY = 16;
    Render();
    EXPECT_EQ(canvas_->Count({0, 0, 400, 300}, kRed), 0);
    const win::RECT r = value->DisplayRect();
    ASSERT_GT(r.right, r.left);

    // Picked by the mouse: the text alone turns red and shows its handles; the part keeps its
    // colour.
    Documents().pickedItem = part;
    Documents().pickedAttribute = value;
    SchematicEditor().attributeSelection = kSelected;
    Render();
    EXPECT_GT(canvas_->Count({r.left, r.top, r.right, r.bottom}, kRed), 5);
    for (const win::POINT& p : HandleSpots(r)) EXPECT_GE(HandleAt(p.x, p.y), 25) << p.x << "," << p.y;
    EXPECT_EQ(canvas_->Count({60, 40, 200, r.top - 3}, kRed), 0);

    // The part selected but the picked text let go: the text follows its own byte.
    part->selection = kSelected;
    SchematicEditor().attributeSelection = 0;
    Render();
    EXPECT_EQ(canvas_->Count({r.left - 6, r.top, r.right + 6, r.bottom}, kRed), 0);

    // No pick: a selected part's texts are selected with it.
    Documents().pickedItem = nullptr;
    Documents().pickedAttribute = nullptr;
    Render();
    EXPECT_GT(canvas_->Count({r.left, r.top, r.right, r.bottom}, kRed), 5);
    EXPECT_GE(HandleAt(HandleSpots(r)[0].x, HandleSpots(r)[0].y), 25);
}

// The window's own pixels, as the user sees them.
int CountInWindow(win::HWND window, win::COLORREF color, const win::RECT& r = {0, 0, 500, 300})
{
    win::HDC dc = win::GetDC(window);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += (win::GetPixel(dc, x, y) & 0xFFFFFF) == color;
    win::ReleaseDC(window, dc);
    return n;
}

TEST_F(TextSelection, ClearingTheSelectionLeavesNoHandlesBehind)
{
    GridText* text = AddText(record_, "Hello world", 6, 10);
    text->selection = kSelected;
    SchematicItem* part = AddItem(record_, kItemComponent, 30, 10, 30, 10);
    ComponentAttribute* value = SetAttribute(record_, part, kAttrValue, "10k");
    value->display = kAttrShowValue;
    value->textOffsetY = 16;
    part->selection = kSelected;
    win::RedrawWindow(record_->window, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_UPDATENOW);
    ASSERT_GT(CountInWindow(record_->window, kRed, {0, 0, 200, 300}), 100);
    ASSERT_GT(CountInWindow(record_->window, kRed, {200, 90, 500, 300}), 50);
    // The selected elements are wiped with their handles, then drawn again unselected.
    ASSERT_TRUE(ClearSelection(record_));
    // (The part itself is drawn again in its selected colour, as single redraws draw parts.)
    EXPECT_EQ(CountInWindow(record_->window, kRed, {0, 0, 200, 300}), 0);
    EXPECT_EQ(CountInWindow(record_->window, kRed, {200, 90, 500, 300}), 0);
    RedrawWindowParts(record_, kRedrawSchematic | kRedrawResetRange);
    EXPECT_EQ(CountInWindow(record_->window, kRed), 0);
    EXPECT_GT(CountInWindow(record_->window, win::RGB(0, 0, 0)), 50);  // the grid text, black again
}

class TextSelectionScreens : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        ResetSchematicTestState();
    }
    void TearDown() override
    {
        Documents().pickedItem = nullptr;
        Documents().pickedAttribute = nullptr;
        SchematicEditor().attributeSelection = 0;
        if (record_ && IsLiveWindowRecord(record_) && record_->window) win::DestroyWindow(record_->window);
        ResetSchematicDrawingForTests();
        ResetAppStateForTests();
        ResetColorTableForTests();
        ScreenTest::TearDown();
    }
    WindowRecord* record_ = nullptr;
};

TEST_F(TextSelectionScreens, SelectedAndPickedTexts)
{
    record_ = NewDocumentWindow(kWindowSchematic, "C:\\CIRCUITS\\TEXTS.CIR");
    ASSERT_NE(record_, nullptr);
    win::MoveWindow(record_->window, 0, 0, kWidth, kHeight, 1);
    win::ShowWindow(record_->window, win::SW_SHOW);
    SetTestColors(*record_->document);
    record_->document->viewOptions = kDefaultViewOptions | kViewAttributeText;
    AddItem(record_, kItemWire, 4, 6, 30, 6)->selection = 0;
    GridText* chosen = AddText(record_, "Selected text", 6, 10);
    chosen->selection = kSelected;
    AddText(record_, "Plain text", 6, 16);
    SchematicItem* part = AddItem(record_, kItemComponent, 40, 10, 40, 10);
    ComponentAttribute* value = SetAttribute(record_, part, kAttrValue, "4.7k");
    value->display = kAttrShowValue;
    value->textOffsetY = 16;
    Documents().pickedItem = part;
    Documents().pickedAttribute = value;
    SchematicEditor().attributeSelection = kSelected;
    ResetDrawRange(record_);
    win::RedrawWindow(record_->window, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_UPDATENOW);
    const std::string file = Shoot("schematic_selected_texts");
    EXPECT_TRUE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace kq5::testing
