// The schematic renderer on a memory canvas: every graphic object kind and style probed by its
// pixels, arrowheads, handles, pictures and their files, the zoom mapping, and the layers and
// filters of a whole page.
#include "schematic_test_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "document/component_attributes.h"
#include "platform/gdi_mapping.h"
#include "platform/metafile.h"
#include "document/component_definition.h"
#include "schematic/graphic_objects.h"

namespace kq5::testing {
namespace {

constexpr win::COLORREF kBlue = win::RGB(0, 0, 255);    // colour 12
constexpr win::COLORREF kGreen = win::RGB(0, 255, 0);   // colour 10
constexpr win::COLORREF kRed = win::RGB(255, 0, 0);     // colour 9, the selection colour
constexpr win::COLORREF kGreenWire = win::RGB(0, 128, 0);  // colour 2

class RenderObjects : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        record_->document->viewOptions = kViewGridText | kViewAttributeText;
        canvas_ = std::make_unique<Canvas>(400, 300);
    }
    SchematicItem* Object(std::uint16_t style, int x1, int y1, int x2, int y2, int line = 12, int fill = 10)
    {
        SchematicItem* item = AddItem(record_, kItemGraphicObject, x1, y1, x2, y2, style);
        item->color = static_cast<std::uint8_t>(line);
        item->fillColor = static_cast<std::uint8_t>(fill);
        return item;
    }
    void TearDown() override
    {
        canvas_.reset();
        SchematicWindowTest::TearDown();
    }
    void Render() { RenderInto(*canvas_, record_, 400, 300); }

    // Made after the platform is reset for the test.
    std::unique_ptr<Canvas> canvas_;
};

TEST_F(RenderObjects, LineArrowheads)
{
    // Grid (5, 5) to (20, 5): pixels 40 to 160 at scale 1; the head's base lies 8 units back.
    Object(kObjectLine | kGraphicArrowFilled | kGraphicArrowOpen, 5, 5, 20, 5);
    Render();
    EXPECT_EQ(canvas_->At(100, 40), kBlue);
    EXPECT_EQ(canvas_->At(154, 41), kBlue);  // inside the filled head
    EXPECT_EQ(canvas_->At(154, 39), kBlue);
    ListClear(record_->document->itemList);
    canvas_->Clear(win::RGB(255, 255, 255));
    Object(kObjectLine | kGraphicArrowOpen, 5, 5, 20, 5);
    Render();
    EXPECT_TRUE(canvas_->IsWhite(154, 41));  // open: only the two wings
    EXPECT_GT(canvas_->Count({150, 34, 161, 47}, kBlue), 10);
    ListClear(record_->document->itemList);
    canvas_->Clear(win::RGB(255, 255, 255));
    Object(kObjectLine, 5, 5, 20, 5);
    Render();
    EXPECT_EQ(canvas_->Count({150, 34, 161, 39}, kBlue), 0);
}

TEST(ArrowHeads, PointAlongTheLine)
{
    ArrowHead down = ComputeArrowHead(40, 40, 40, 160, 4);
    EXPECT_EQ(down.wing1.y, 152);
    EXPECT_EQ(down.wing2.y, 152);
    EXPECT_EQ(std::abs(down.wing1.x - down.wing2.x), 8);
    ArrowHead up = ComputeArrowHead(40, 160, 40, 40, 4);
    EXPECT_EQ(up.wing1.y, 48);
    EXPECT_EQ(up.wing2.y, 48);
    ArrowHead left = ComputeArrowHead(160, 40, 40, 40, 4);
    EXPECT_EQ(left.wing1.x, 48);
    EXPECT_EQ(left.wing2.x, 48);
    ArrowHead diagonal = ComputeArrowHead(0, 0, 100, 100, 4);
    EXPECT_LT(diagonal.wing1.x, 100);
    EXPECT_LT(diagonal.wing2.y, 100);
    // A line of no length still gives finite wings.
    ArrowHead dot = ComputeArrowHead(7, 7, 7, 7, 4);
    EXPECT_EQ(dot.tip.x, 7);
}

TEST_F(RenderObjects, FillAndBorder)
{
    Object(kObjectRectangle | kGraphicFill, 2, 2, 10, 10);                    // fill, no outline
    Object(kObjectRectangle | kGraphicBorder, 12, 2, 20, 10);                 // outline only
    Object(kObjectRectangle | kGraphicFill | kGraphicBorder, 22, 2, 30, 10);  // both
    Render();
    EXPECT_EQ(canvas_->At(40, 40), kGreen);
    EXPECT_EQ(canvas_->Count({14, 14, 82, 82}, kBlue), 0);
    EXPECT_EQ(canvas_->At(96, 40), kBlue);
    EXPECT_TRUE(canvas_->IsWhite(130, 40));
    EXPECT_EQ(canvas_->At(176, 40), kBlue);
    EXPECT_EQ(canvas_->At(200, 40), kGreen);
}

TEST_F(RenderObjects, EveryFillableKindFills)
{
    Object(kObjectEllipse | kGraphicFill, 2, 2, 10, 10);
    Object(kObjectDiamond | kGraphicFill, 12, 2, 20, 10);
    Object(kObjectPie | kGraphicFill, 22, 2, 30, 10);  // quarter about (22, 10)
    Object(kObjectRectangle | kGraphicFill | kGraphicRounded | kGraphicBorder, 32, 2, 40, 10);
    Render();
    EXPECT_EQ(canvas_->At(48, 48), kGreen);
    EXPECT_TRUE(canvas_->IsWhite(17, 17));  // outside the ellipse's corner
    EXPECT_EQ(canvas_->At(128, 48), kGreen);
    EXPECT_TRUE(canvas_->IsWhite(98, 18));  // outside the diamond
    EXPECT_EQ(canvas_->At(190, 70), kGreen);
    EXPECT_TRUE(canvas_->IsWhite(237, 20));
    // Rounded corners leave the corner itself empty.
    EXPECT_TRUE(canvas_->IsWhite(257, 17));
    EXPECT_EQ(canvas_->At(290, 48), kGreen);
}

TEST_F(RenderObjects, ArcDraggedUpAndLeftIsCentredAtItsStart)
{
    // From (20, 20) to (10, 10): centre (20, 10) in grid units, (160, 80) in pixels, radius 80.
    Object(kObjectArc, 20, 20, 10, 10);
    Render();
    EXPECT_GT(canvas_->NonWhite({100, 133, 108, 141}), 0);  // lower-left quarter
    EXPECT_EQ(canvas_->NonWhite({100, 19, 108, 28}), 0);    // upper-left stays empty
    EXPECT_EQ(canvas_->NonWhite({212, 133, 220, 141}), 0);  // lower-right stays empty
}

TEST_F(RenderObjects, WeightsAndDashes)
{
    Object(kObjectLine | kGraphicWeight3, 2, 5, 30, 5);
    Object(kObjectLine | 0x10, 2, 15, 30, 15);  // dashed
    Object(kObjectLine, 2, 25, 30, 25);
    Render();
    EXPECT_EQ(canvas_->Count({100, 37, 101, 44}, kBlue), 3);
    EXPECT_EQ(canvas_->Count({100, 197, 101, 204}, kBlue), 1);
    const int dashed = canvas_->Count({16, 120, 240, 121}, kBlue);
    EXPECT_GT(dashed, 40);
    EXPECT_LT(dashed, 200);
    EXPECT_EQ(canvas_->Count({16, 200, 240, 201}, kBlue), 224);
}

TEST_F(RenderObjects, SelectedObjectsShowTheirHandles)
{
    SchematicItem* diamond = Object(kObjectDiamond, 5, 5, 15, 15);
    SchematicItem* line = Object(kObjectLine, 20, 5, 30, 15);
    diamond->selection = kSelected;
    line->selection = kSelected;
    Render();
    // Diamond: its four vertices, not the corners of its box.
    for (win::POINT p : std::initializer_list<win::POINT>{{80, 40}, {120, 80}, {80, 120}, {40, 80}})
        EXPECT_EQ(canvas_->At(p.x + 1, p.y + 1), kRed) << p.x << "," << p.y;
    EXPECT_TRUE(canvas_->IsWhite(41, 41));
    // Line: its two ends only.
    EXPECT_EQ(canvas_->At(161, 41), kRed);
    EXPECT_EQ(canvas_->At(241, 121), kRed);
    EXPECT_NE(canvas_->At(201, 81), kRed);
    EXPECT_EQ(canvas_->Count({0, 0, 400, 300}, kRed), 6 * 25);  // 5 x 5 squares
}

// A selected text keeps every letter in sight: its handles stand beside it, none on a letter.
TEST_F(RenderObjects, ASelectedTextsHandlesLeaveItsLettersVisible)
{
    GridText* text = AddText(record_, "WMW", 5, 5);
    text->font.color = 12;
    Render();
    const int letters = canvas_->Count({0, 0, 400, 300}, kBlue);
    ASSERT_GT(letters, 20);
    canvas_->Clear(win::RGB(255, 255, 255));
    text->selection = kSelected;
    Render();
    // Six squares of 5 x 5, left and right; the letters in the selection colour, all of them.
    EXPECT_EQ(canvas_->Count({0, 0, 400, 300}, kRed), letters + 6 * 25);
    EXPECT_EQ(canvas_->NonWhite({0, 0, 400, 300}), letters + 6 * 25);
}

TEST_F(RenderObjects, KindsWithoutADrawerDrawNothing)
{
    for (std::uint16_t kind : {kObjectMeasureV, kObjectTag, kObjectMeasureH, kObjectText, std::uint16_t{0xC00}})
        Object(kind | kGraphicFill | kGraphicBorder, 2, 2, 20, 20);
    Render();
    EXPECT_EQ(canvas_->NonWhite({0, 0, 400, 300}), 0);
    EXPECT_TRUE(IsFillableObjectKind(kObjectPicture));
    EXPECT_FALSE(IsFillableObjectKind(kObjectArc));
    EXPECT_FALSE(IsFillableObjectKind(kObjectLine));
}

class Pictures : public RenderObjects {
protected:
    void SetUp() override
    {
        RenderObjects::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("kq5_pictures_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(dir_);
        RenderObjects::TearDown();
    }
    std::string Write(const std::string& name, const std::vector<win::BYTE>& bytes)
    {
        const std::string path = (dir_ / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // A placeable picture 100 x 100 units filled red.
    std::vector<win::BYTE> RedSquare()
    {
        win::HDC dc = win::CreateMetaFile(nullptr);
        win::HBRUSH brush = win::CreateSolidBrush(kRed);
        win::SelectObject(dc, brush);
        win::SelectObject(dc, win::GetStockObject(win::NULL_PEN));
        win::Rectangle(dc, 0, 0, 101, 101);
        win::HMETAFILE mf = win::CloseMetaFile(dc);
        win::DeleteObject(brush);
        std::vector<win::BYTE> bytes = win::PlaceableMetaFileBytes(mf, {0, 0, 100, 100}, 1440);
        win::DeleteMetaFile(mf);
        return bytes;
    }
    SchematicItem* Picture(const std::string& path, std::uint16_t style = 0)
    {
        SchematicItem* item = Object(kObjectPicture | style, 5, 5, 20, 20);
        SetAttribute(record_, item, 4, path);
        return item;
    }
    std::filesystem::path dir_;
};

TEST_F(Pictures, PlaceableFilesAreCheckedBeforeTheyAreRead)
{
    const std::vector<win::BYTE> good = RedSquare();
    win::RECT bounds{};
    win::HMETAFILE mf = LoadPlaceableMetafile(Write("good.wmf", good), bounds);
    ASSERT_NE(mf, nullptr);
    EXPECT_EQ(bounds.right, 100);
    win::DeleteMetaFile(mf);
    // No key.
    std::vector<win::BYTE> bad = good;
    bad[0] ^= 0xFF;
    EXPECT_EQ(LoadPlaceableMetafile(Write("nokey.wmf", bad), bounds), nullptr);
    // Cut short.
    std::vector<win::BYTE> cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    EXPECT_EQ(LoadPlaceableMetafile(Write("cut.wmf", cut), bounds), nullptr);
    // A size field that claims far more than the file holds is refused, not allocated.
    std::vector<win::BYTE> huge = good;
    huge[22 + 6] = 0xFF;
    huge[22 + 7] = 0xFF;
    huge[22 + 8] = 0xFF;
    huge[22 + 9] = 0x7F;
    EXPECT_EQ(LoadPlaceableMetafile(Write("huge.wmf", huge), bounds), nullptr);
    EXPECT_EQ(bounds.right, 0);
    EXPECT_EQ(LoadPlaceableMetafile((dir_ / "none.wmf").string(), bounds), nullptr);
    EXPECT_EQ(LoadPlaceableMetafile(Write("empty.wmf", {}), bounds), nullptr);
}

TEST_F(Pictures, APictureFillsItsRectangle)
{
    Picture(Write("red.wmf", RedSquare()));
    Render();
    EXPECT_EQ(canvas_->At(100, 100), kRed);
    EXPECT_EQ(canvas_->At(42, 42), kRed);
    EXPECT_TRUE(canvas_->IsWhite(30, 30));
    EXPECT_TRUE(canvas_->IsWhite(170, 170));
}

TEST_F(Pictures, AMissingPictureIsOutlinedAndNamed)
{
    std::vector<win::BYTE> bad = RedSquare();
    bad[1] ^= 0x55;
    Picture(Write("nokey.wmf", bad));
    Render();
    EXPECT_EQ(canvas_->Count({0, 0, 400, 300}, kRed), 0);
    EXPECT_EQ(canvas_->At(40, 100), kBlue);  // the outline
    EXPECT_GT(canvas_->NonWhite({42, 42, 158, 80}), 20);  // the text
}

TEST_F(Pictures, MetafileCopiesDrawPicturesAsBoxes)
{
    Picture(Write("red.wmf", RedSquare()));
    record_->document->pages[0].extent = {0, 0, 400, 300};
    ResetDrawRange(record_);
    win::HDC mdc = win::CreateMetaFile(nullptr);
    DrawContext context;
    InitDrawContext(mdc, context, record_, 3);
    EXPECT_EQ(context.technology, win::DT_METAFILE);
    DrawSchematicView(context);
    win::HMETAFILE mf = win::CloseMetaFile(mdc);
    ASSERT_NE(mf, nullptr);
    // The picture is recorded as its box: a Rectangle record, none of the picture's own.
    std::vector<unsigned> functions;
    const std::vector<win::BYTE> bits = win::GetMetaFileBits(mf);
    for (std::size_t i = 18; i + 6 <= bits.size();) {
        const unsigned size = bits[i] | bits[i + 1] << 8 | bits[i + 2] << 16;
        functions.push_back(bits[i + 4] | bits[i + 5] << 8);
        if (size == 0) break;
        i += size * 2;
    }
    EXPECT_NE(std::find(functions.begin(), functions.end(), 0x41Bu), functions.end());
    EXPECT_EQ(std::count(functions.begin(), functions.end(), 0x41Bu), 1);
    win::DeleteMetaFile(mf);
}

TEST(ZoomMapping, OnlyWholeStepsAreHonoured)
{
    EXPECT_EQ(ZoomExtents(2.5).cx, 2);
    EXPECT_EQ(ZoomExtents(2.5).cy, 1);
    EXPECT_EQ(ZoomExtents(0.3).cx, 1);
    EXPECT_EQ(ZoomExtents(0.3).cy, 3);
    EXPECT_EQ(ZoomExtents(0.0).cx, 1);
    EXPECT_EQ(ZoomExtents(1.0).cy, 1);
}

TEST_F(RenderObjects, PageLayersAndFilters)
{
    SchematicItem* wire = AddItem(record_, kItemWire, 2, 2, 20, 2);
    AddItem(record_, kItemWire, 2, 4, 20, 4, 0, 1);  // another page
    GridText* text = AddText(record_, "Hello", 2, 12);
    text->font.color = 12;
    GridText* command = AddText(record_, ".tran 1n", 2, 20);
    command->font.color = 12;
    Render();
    EXPECT_EQ(canvas_->At(80, 16), kGreenWire);
    EXPECT_TRUE(canvas_->IsWhite(80, 32));
    EXPECT_GT(canvas_->Count({16, 80, 100, 100}, kBlue), 5);
    EXPECT_EQ(canvas_->Count({16, 144, 100, 164}, kBlue), 0);  // command texts are off
    // Selected elements only: the wire when selected.
    canvas_->Clear(win::RGB(255, 255, 255));
    wire->selection = kSelected;
    SetDrawPassFlags(0x2000);
    Render();
    SetDrawPassFlags(3);
    EXPECT_EQ(canvas_->At(80, 16), kRed);
    EXPECT_EQ(canvas_->Count({16, 80, 100, 100}, kBlue), 0);
    // Zoomed out to 2, the wire is half as long.
    canvas_->Clear(win::RGB(255, 255, 255));
    wire->selection = 0;
    record_->document->zoomFactor = 2.0;
    Render();
    EXPECT_EQ(canvas_->At(40, 8), kGreenWire);
    EXPECT_TRUE(canvas_->IsWhite(120, 8));
    EXPECT_TRUE(canvas_->IsWhite(80, 16));
}

TEST_F(RenderObjects, ScrolledPanesDrawFromTheirOrigin)
{
    AddItem(record_, kItemWire, 20, 20, 40, 20);
    record_->document->pages[0].originX[3] = 80;
    record_->document->pages[0].originY[3] = 120;
    Render();
    EXPECT_EQ(canvas_->At(160 - 80 + 10, 160 - 120), kGreenWire);
}

TEST_F(RenderObjects, XorFeedbackUndoesItself)
{
    Object(kObjectRectangle | kGraphicFill | kGraphicBorder, 2, 2, 10, 10);
    AddItem(record_, kItemWire, 2, 20, 20, 20);
    SchematicDrawing().drawMode = kDrawModeXor;
    Render();
    EXPECT_GT(canvas_->NonWhite({0, 0, 400, 300}), 0);
    Render();
    SchematicDrawing().drawMode = kDrawModeNormal;
    EXPECT_EQ(canvas_->NonWhite({0, 0, 400, 300}), 0);
}

TEST_F(RenderObjects, GridDotsFollowTheViewOption)
{
    Render();
    EXPECT_TRUE(canvas_->IsWhite(80, 80));
    record_->document->viewOptions |= kViewGrid;
    Render();
    EXPECT_EQ(canvas_->At(80, 80), win::RGB(0, 0, 0));  // dots contrast with the white background
    EXPECT_TRUE(canvas_->IsWhite(84, 80));
    canvas_->Clear(win::RGB(255, 255, 255));
    record_->document->zoomFactor = 4.0;  // too dense to show
    Render();
    EXPECT_EQ(canvas_->NonWhite({0, 0, 400, 300}), 0);
}

TEST_F(RenderObjects, MissingShapesAreLabelled)
{
    ComponentDefinition definition;
    definition.shapeIndex = 42;
    definition.pins = {{0, 0, "A", 0, {}}, {4, 0, "B", 0, {}}};
    SchematicItem* part = AddItem(record_, kItemComponent, 10, 10, 10, 10);
    part->definition = &definition;
    part->style = kStyleShowPinText;
    Render();
    EXPECT_GT(canvas_->Count({76, 50, 200, 84}, kBlue), 20);  // box and "Shape not Found"
    part->definition = nullptr;
}

TEST(ContrastColors, SameColourFlips)
{
    int c = 15;
    EXPECT_EQ(ContrastColorIndex(15, c), 1);
    EXPECT_EQ(c, 0);
    c = 9;
    EXPECT_EQ(ContrastColorIndex(15, c), 0);
    EXPECT_EQ(c, 9);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(RenderObjects, SheetBordersAndTheTitleBlock)
{
    record_->document->zoomFactor = 8.0;
    record_->document->viewOptions |= kViewBorder;
    Render();
    // One A4 sheet at view scale 8: its right edge is a vertical line.
    const int column = canvas_->FirstInkedColumn(40, 200, 50, 60);
    ASSERT_GT(column, 40);
    EXPECT_EQ(canvas_->NonWhite({column - 20, 10, column - 1, 100}), 0);  // no title without the option
    record_->document->viewOptions |= kViewTitle;
    canvas_->Clear(win::RGB(255, 255, 255));
    Render();
    int bottom = -1;
    for (int y = 60; y < 300 && bottom < 0; ++y)
        if (!canvas_->IsWhite(column / 2, y)) bottom = y;
    ASSERT_GT(bottom, 60);
    // The block sits in the sheet's bottom-right corner.
    EXPECT_GT(canvas_->NonWhite({column - column / 4, bottom - 8, column, bottom}), 4);
    EXPECT_EQ(canvas_->NonWhite({2, bottom - 8, column / 8, bottom}), 0);
}

}  // namespace
}  // namespace kq5::testing
