// What the renderer draws with when nothing else is chosen, on the screen and on printers: single
// element redraws erase in the window's background, printers without "Print Background" use
// white, two-colour printers draw in one colour, landscape sheets keep off their far edge, and the
// title block covers what lies under it.
#include "schematic_test_support.h"

#include "ui/program_settings.h"
#include "document/title_block.h"
#include "platform/gdi_dc.h"

namespace kq5::testing {
namespace {

constexpr win::COLORREF kBlack = win::RGB(0, 0, 0);
constexpr int kYellow = 11;  // palette colour of the background in these tests

class RenderDevices : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        savedOptions_ = Settings().operationalOptions;
        savedOrientation_ = TitleBlockFields().orientation;
        record_->document->viewOptions = kViewGridText;
        canvas_ = std::make_unique<Canvas>(400, 300);
    }
    void TearDown() override
    {
        Settings().operationalOptions = savedOptions_;
        TitleBlockFields().orientation = savedOrientation_;
        canvas_.reset();
        SchematicWindowTest::TearDown();
    }
    // The canvas answers as a printer of its own size.
    void MakePrinter(int colors)
    {
        win::DeviceCapsInfo& caps = canvas_->dc()->caps;
        caps.technology = win::DT_RASPRINTER;
        caps.numColors = colors;
        caps.horzRes = 400;
        caps.vertRes = 300;
    }
    void Render() { RenderInto(*canvas_, record_, 400, 300); }
    void RenderSingle()
    {
        SchematicDrawing().drawMode = kDrawModeChosenNodes;
        Render();
        SchematicDrawing().drawMode = kDrawModeNormal;
    }
    int CountRgb(const win::RECT& r, int colorIndex) const { return canvas_->Count(r, ColorIndexRgb(colorIndex)); }

    std::unique_ptr<Canvas> canvas_;
    std::uint32_t savedOptions_ = 0;
    int savedOrientation_ = 1;
};

TEST_F(RenderDevices, ASingleElementRedrawErasesInTheWindowBackground)
{
    GridText* text = AddText(record_, "Hello", 2, 12);
    text->font.color = 12;
    Render();
    ASSERT_GT(canvas_->NonWhite({0, 0, 400, 300}), 10);
    // A white window: the text's box is wiped white, nothing dark is left.
    RenderSingle();
    EXPECT_EQ(canvas_->NonWhite({0, 0, 400, 300}), 0);
    // Another background: the box takes that colour.
    record_->document->backgroundColor = kYellow;
    RenderSingle();
    EXPECT_GT(CountRgb({0, 0, 400, 300}, kYellow), 100);
    EXPECT_EQ(canvas_->Count({0, 0, 400, 300}, kBlack), 0);
}

TEST_F(RenderDevices, PrintersUseWhiteUnlessTheBackgroundIsPrinted)
{
    MakePrinter(-1);
    record_->document->backgroundColor = kYellow;
    AddText(record_, "Hello", 2, 12)->font.color = 12;
    RenderSingle();
    EXPECT_EQ(CountRgb({0, 0, 400, 300}, kYellow), 0);
    EXPECT_EQ(canvas_->NonWhite({0, 0, 400, 300}), 0);
    Settings().operationalOptions |= kOptionPrintBackground;
    RenderSingle();
    EXPECT_GT(CountRgb({0, 0, 400, 300}, kYellow), 100);
}

TEST_F(RenderDevices, TwoColourPrintersDrawEverythingInOneColour)
{
    int color = -1;
    EXPECT_EQ(PrinterColorOverride(canvas_->dc(), color), 0);  // a screen
    MakePrinter(256);
    EXPECT_EQ(PrinterColorOverride(canvas_->dc(), color), 0);
    MakePrinter(2);
    EXPECT_EQ(PrinterColorOverride(canvas_->dc(), color), 1);
    // The background is printed but palette black is not the window colour: still black.
    Settings().operationalOptions |= kOptionPrintBackground;
    EXPECT_EQ(PrinterColorOverride(canvas_->dc(), color), 1);
    EXPECT_EQ(color, 0);
    Settings().operationalOptions &= ~kOptionPrintBackground;

    AddItem(record_, kItemWire, 2, 2, 20, 2);  // a green wire
    AddText(record_, "Hello", 2, 12)->font.color = 12;
    Render();
    EXPECT_GT(canvas_->Count({0, 0, 400, 300}, kBlack), 100);
    EXPECT_EQ(canvas_->NonWhite({0, 0, 400, 300}), canvas_->Count({0, 0, 400, 300}, kBlack));
}

TEST_F(RenderDevices, LandscapeSheetsKeepOffTheirFarEdge)
{
    MakePrinter(-1);
    EXPECT_EQ(UsableHorzRes(canvas_->dc()), 400);
    EXPECT_EQ(UsableVertRes(canvas_->dc()), 300);
    AddItem(record_, kItemWire, 1, 10, 60, 10);  // across the whole sheet
    AddItem(record_, kItemWire, 10, 1, 10, 60);  // and down it
    Render();
    EXPECT_FALSE(canvas_->IsWhite(396, 80));
    EXPECT_FALSE(canvas_->IsWhite(80, 296));

    TitleBlockFields().orientation = 2;
    EXPECT_EQ(UsableHorzRes(canvas_->dc()), 392);
    EXPECT_EQ(UsableVertRes(canvas_->dc()), 294);
    canvas_->Clear(win::RGB(255, 255, 255));
    Render();
    EXPECT_FALSE(canvas_->IsWhite(390, 80));
    EXPECT_EQ(canvas_->NonWhite({392, 0, 400, 300}), 0);
    EXPECT_EQ(canvas_->NonWhite({0, 294, 400, 300}), 0);

    // The screen is never cut.
    canvas_->dc()->caps.technology = win::DT_RASDISPLAY;
    EXPECT_EQ(UsableHorzRes(canvas_->dc()), 400);
}

TEST_F(RenderDevices, TheTitleBlockCoversWhatLiesUnderIt)
{
    record_->document->zoomFactor = 8.0;
    record_->document->viewOptions |= kViewBorder;
    Render();
    const int column = canvas_->FirstInkedColumn(40, 200, 50, 60);  // the sheet's right edge
    ASSERT_GT(column, 40);
    record_->document->viewOptions |= kViewTitle;
    canvas_->Clear(win::RGB(255, 255, 255));
    Render();
    int top = -1;  // the block's top edge
    for (int y = 20; y < 300 && top < 0; ++y)
        if (!canvas_->IsWhite(column - 2, y) && !canvas_->IsWhite(column - 4, y)) top = y;
    ASSERT_GT(top, 20);
    // A blue wire through the block's first band; at view scale 8 a grid unit is one pixel.
    record_->document->wireFont.color = 12;
    AddItem(record_, kItemWire, 1, top + 2, column - 1, top + 2);
    canvas_->Clear(win::RGB(255, 255, 255));
    Render();
    const win::COLORREF blue = ColorIndexRgb(12);
    EXPECT_GT(canvas_->Count({2, top + 2, column / 2, top + 3}, blue), 5);    // outside the block
    EXPECT_EQ(canvas_->Count({column - 8, top + 2, column - 2, top + 3}, blue), 0);  // covered
}

}  // namespace
}  // namespace kq5::testing
