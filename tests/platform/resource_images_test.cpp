// The program's compiled bitmaps, cursors and icons: every picture the program asks for is there
// at its size, loads through LoadBitmap / LoadCursor / LoadIcon, and bad sources fail the build.
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "gdi_test_support.h"
#include "platform/cursor.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win::testing {
namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kShadow = RGB(128, 128, 128);

class ResourceImagesTest : public GdiTest {
protected:
    void SetUp() override {
        GdiTest::SetUp();
        ResetUserStateForTests();
    }
    void TearDown() override {
        ResetUserStateForTests();
        GdiTest::TearDown();
    }
    HINSTANCE Program() const { return GetModuleHandle(nullptr); }

    BITMAP Info(HBITMAP b) const {
        BITMAP bm{};
        EXPECT_NE(GetObject(b, sizeof(bm), &bm), 0);
        return bm;
    }
};

// A loaded bitmap selected into a memory DC, for reading its pixels.
struct Selected {
    explicit Selected(HBITMAP b) : bitmap(b), dc(CreateCompatibleDC(screen.dc())), old(SelectObject(dc, b)) {}
    ~Selected() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    Canvas screen{1, 1};
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ old;
};

TEST_F(ResourceImagesTest, EveryBitmapTheProgramUsesLoadsAtItsSize) {
    struct Expected {
        UINT id;
        int width, height;
    };
    // Tool strips: two 24-pixel columns, one 22-pixel row per picture the tool table uses.
    const Expected strips[] = {{1000, 48, 6 * 22},  {1001, 48, 10 * 22}, {1002, 48, 5 * 22},  {1003, 48, 6 * 22},
                               {1004, 48, 22 * 22}, {1005, 48, 8 * 22},  {1006, 48, 4 * 22},  {1007, 48, 3 * 22},
                               {1008, 48, 5 * 22},  {1009, 48, 11 * 22}, {1010, 48, 4 * 22},  {1011, 48, 3 * 22},
                               {1012, 48, 2 * 22},  {1013, 48, 3 * 22},  {1014, 48, 2 * 22},  {1015, 48, 5 * 22},
                               {1016, 48, 9 * 22},  {1017, 48, 9 * 22},  {1018, 48, 10 * 22}, {1019, 48, 3 * 22},
                               {17171, 48, 22},     {17694, 48, 22},     {17695, 48, 22}};
    const Expected singles[] = {{1807, 8, 8},     {1960, 26, 13},   {3300, 15, 29},   {3301, 17, 33},
                                {3302, 20, 39},   {3710, 48, 40},   {12700, 32, 16},  {12701, 32, 16},
                                {12702, 32, 16},  {12703, 32, 16},  {12704, 32, 16},
                                // default component button pictures: 17 row words of bits 2 to 20
                                {14200, 19, 17},  {14201, 19, 17},  {14202, 19, 17},  {14203, 19, 17},
                                {14204, 19, 17},  {14205, 19, 17},  {14206, 19, 17},  {14207, 19, 17}};
    for (std::span<const Expected> list : {std::span<const Expected>(strips), std::span<const Expected>(singles)})
        for (const Expected& e : list) {
            HBITMAP b = LoadBitmap(Program(), e.id);
            ASSERT_NE(b, nullptr) << e.id;
            BITMAP bm = Info(b);
            EXPECT_EQ(bm.bmWidth, e.width) << e.id;
            EXPECT_EQ(bm.bmHeight, e.height) << e.id;
            DeleteObject(b);
        }
    // The tool bar takes its cell size from strip 1006: half its width by a quarter of its height.
    Selected strip(LoadBitmap(Program(), 1006));
    BITMAP bm = Info(strip.bitmap);
    EXPECT_EQ(bm.bmWidth / 2, 24);
    EXPECT_EQ(bm.bmHeight / 4, 22);
    // A pane button holds two states of H rows sharing one: 2H - 1 rows for a scroll bar H wide.
    for (UINT id : {3300u, 3301u, 3302u}) {
        const CompiledImage* pane = FindImageResource(ImageKind::Bitmap, id);
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(pane->height, 2 * pane->width - 1) << id;
    }
    EXPECT_EQ(FindImageResource(ImageKind::Bitmap, 3710)->height % 5, 0);  // five equal style strips
}

TEST_F(ResourceImagesTest, StripButtonsAreRaisedUpAndSunkenPressed) {
    Selected strip(LoadBitmap(Program(), 1011));
    for (int cell = 0; cell < 3; ++cell) {
        const int top = cell * 22;
        // Both buttons have a black outline that neighbours share when they overlap by a pixel.
        EXPECT_EQ(strip.At(0, top), kBlack);
        EXPECT_EQ(strip.At(23, top + 21), kBlack);
        EXPECT_EQ(strip.At(24, top), kBlack);
        EXPECT_EQ(strip.At(47, top + 21), kBlack);
        // Up: highlight along the top and left, shadow along the bottom and right.
        EXPECT_EQ(strip.At(1, top + 1), kWhite);
        EXPECT_EQ(strip.At(22, top + 10), kShadow);
        EXPECT_EQ(strip.At(10, top + 20), kShadow);
        // Pressed: the shadow moves to the top and left, the face shows bottom right.
        EXPECT_EQ(strip.At(25, top + 1), kShadow);
        EXPECT_EQ(strip.At(25, top + 10), kShadow);
        EXPECT_EQ(strip.At(46, top + 20), kFace);
    }
    // The pressed glyph is the up glyph moved one pixel down and right: the red square of STOP.
    const int stop = 22;
    int upInk = 0, moved = 0;
    for (int y = 2; y < 19; ++y)
        for (int x = 2; x < 21; ++x)
            if (strip.At(x, stop + y) == RGB(255, 0, 0)) {
                ++upInk;
                moved += strip.At(24 + x + 1, stop + y + 1) == RGB(255, 0, 0);
            }
    EXPECT_GT(upInk, 50);
    EXPECT_EQ(moved, upInk);
}

TEST_F(ResourceImagesTest, TheCheckerboardIsMonochromeAndStripsAreColour) {
    Selected board(LoadBitmap(Program(), 1807));
    BITMAP bm = Info(board.bitmap);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(board.At(x, y), (x + y) % 2 ? kWhite : kBlack) << x << "," << y;
    for (UINT id = 14200; id <= 14207; ++id) EXPECT_TRUE(FindImageResource(ImageKind::Bitmap, id)->mono) << id;
    HBITMAP strip = LoadBitmap(Program(), 1000);
    EXPECT_EQ(Info(strip).bmBitsPixel, 32);
    // Each load makes a bitmap of its own: deleting one leaves another intact.
    HBITMAP again = LoadBitmap(Program(), 1000);
    EXPECT_NE(again, strip);
    DeleteObject(strip);
    EXPECT_EQ(Info(again).bmWidth, 48);
    DeleteObject(again);
}

TEST_F(ResourceImagesTest, CursorsHaveTheirHotSpotsOnTheirInk) {
    struct Expected {
        int id, hotX, hotY;
    };
    const Expected cursors[] = {{1000, 0, 0}, {1001, 4, 8},   {1002, 0, 0},   {1003, 0, 0},
                                {1004, 0, 15}, {1005, 0, 15}, {1006, 0, 0},   {1007, 0, 0},
                                {1008, 10, 10}, {1009, 10, 10}, {1010, 10, 10}, {1011, 7, 7}};
    for (const Expected& e : cursors) {
        HCURSOR c = LoadCursor(Program(), e.id);
        ASSERT_NE(c, nullptr) << e.id;
        EXPECT_EQ(c->image.width, 32) << e.id;
        EXPECT_EQ(c->image.height, 32) << e.id;
        EXPECT_EQ(c->image.hotX, e.hotX) << e.id;
        EXPECT_EQ(c->image.hotY, e.hotY) << e.id;
        ASSERT_EQ(c->image.pixels.size(), 32u * 32u);
        // Pointing cursors point with an opaque pixel; the splitter and cross-hair cursors
        // centre on a point whose neighbours carry the ink.
        bool inkNear = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int x = e.hotX + dx, y = e.hotY + dy;
                if (x >= 0 && y >= 0 && (c->image.pixels[y * 32 + x] >> 24) != 0) inkNear = true;
            }
        EXPECT_TRUE(inkNear) << e.id;
        // Corners are see-through: a cursor is no square block.
        EXPECT_EQ(c->image.pixels[31 * 32 + 31] >> 24, 0u) << e.id;
        EXPECT_EQ(LoadCursor(Program(), e.id), c);  // loaded once, shared
    }
    EXPECT_EQ(LoadCursor(Program(), 1003)->image.pixels[0], 0xFF000000u);  // the arrow's black tip
}

TEST_F(ResourceImagesTest, IconsLargeAndSmall) {
    for (int id : {1200, 1201, 1203, 1204, 1206, 1208}) {
        HICON icon = LoadIcon(Program(), id);
        ASSERT_NE(icon, nullptr) << id;
        EXPECT_EQ(icon->image.width, 32) << id;
        EXPECT_EQ(icon->image.height, 32) << id;
    }
    for (int id : {1600, 1601, 1603, 1604}) {
        HICON icon = LoadIcon(Program(), id);
        ASSERT_NE(icon, nullptr) << id;
        EXPECT_EQ(icon->image.width, 16) << id;
        EXPECT_EQ(icon->image.height, 16) << id;
    }
    // A cursor id is no icon id and the other way round.
    EXPECT_EQ(LoadIcon(Program(), 1003), nullptr);
    EXPECT_EQ(LoadCursor(Program(), 1200), nullptr);
}

TEST_F(ResourceImagesTest, MissingPicturesFailCleanly) {
    EXPECT_EQ(LoadBitmap(Program(), 4242), nullptr);
    EXPECT_EQ(LoadBitmap(Program(), 0x10000 + 1000), nullptr);
    EXPECT_EQ(LoadCursor(Program(), 4242), nullptr);
    EXPECT_EQ(LoadCursor(Program(), -1000), nullptr);
    EXPECT_EQ(LoadIcon(Program(), 4242), nullptr);
    // Without the program's instance only the system's pictures are found.
    EXPECT_EQ(LoadBitmap(nullptr, 1000), nullptr);
    EXPECT_EQ(LoadCursor(nullptr, 1003), nullptr);
    EXPECT_EQ(FindImageResource(ImageKind::Cursor, 1807), nullptr);
}

TEST_F(ResourceImagesTest, PicturesRegisteredAtRunTimeComeFirst) {
    CursorImage img;
    img.width = img.height = 4;
    img.hotX = 3;
    img.pixels.assign(16, 0xFF00FF00u);
    RegisterCursorResource(1003, img);
    HCURSOR c = LoadCursor(Program(), 1003);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->image.width, 4);
    EXPECT_EQ(c->image.hotX, 3);
    RegisterBitmapResource(1960, [] { return CreateBitmap(2, 2, 1, 32, nullptr); });
    HBITMAP b = LoadBitmap(Program(), 1960);
    EXPECT_EQ(Info(b).bmWidth, 2);
    DeleteObject(b);
}

TEST_F(ResourceImagesTest, TheCompilerRejectsBadSourcesNamingTheLine) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"BITMAP 1 2x2\n  kk\n  k\nEND\n", ":3: error: a row of 1 pixels, 2 expected"},
        {"BITMAP 1 2x2\n  kk\nEND\n", ":3: error: 1 rows given, 2 expected"},
        {"BITMAP 1 2x1 MONO\n  kR\nEND\n", "a monochrome bitmap holds only black and white"},
        {"ICON 1 2x1\n  kq\nEND\n", ":2: error: unknown colour character 'q'"},
        {"CURSOR 1 4x4 HOTSPOT 4,0\n  k\nEND\n", ":1: error: the hot spot lies outside the cursor"},
        {"STRIP 1 2\nCELL 2\n  k\nEND\n", ":2: error: cell 2 lies outside the strip"},
        {"STRIP 1 1\nCELL 0\n  kkkkkkkkkkkkkkkkkkkk\nEND\n", "a glyph is at most 19 x 17 pixels"},
        {"BITMAP 7 1x1\n  k\nEND\nBITMAP 7 1x1\n  w\nEND\n", ":4: error: resource 7 is defined twice"},
        {"BITMAP 1 1x1\n  k\n", ": error: the file ends inside a picture"},
        {"COLOR . 123456\n", ":1: error: '.' is the background"},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string base = ::testing::TempDir() + "bad_picture" + std::to_string(n++);
        std::ofstream(base + ".pix") << c.source;
        std::string cmd = "./gen_resources " + base + ".cpp " + base + ".pix 2> " + base + ".txt";
        EXPECT_NE(std::system(cmd.c_str()), 0) << c.source;
        std::ifstream in(base + ".txt");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
        EXPECT_NE(text.find(base + ".pix"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace win::testing
