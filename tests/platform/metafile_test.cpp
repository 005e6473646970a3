#include "platform/metafile.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "external_tool_support.h"
#include "gdi_test_support.h"
#include "platform/font.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_mapping.h"
#include "platform/metafile_hooks.h"
#include "platform/text.h"

namespace win::testing {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class MetafileTest : public GdiTest {
protected:
    void SetUp() override {
        GdiTest::SetUp();
        ResetMetafileStateForTests();
        dir_ = std::filesystem::temp_directory_path() / ("kq5_metafile_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        ResetMetafileStateForTests();
        GdiTest::TearDown();
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

// A memory DC holding a small colour bitmap, as the program's blits take their pixels from.
struct Source {
    explicit Source(HDC ref) {
        dc = CreateCompatibleDC(ref);
        bmp = CreateCompatibleBitmap(ref, 20, 20);
        old = SelectObject(dc, bmp);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) SetPixel(dc, x, y, RGB(x * 12, y * 12, (x ^ y) * 8));
    }
    ~Source() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
};

// Everything the program draws with, on one picture.
void DrawScene(HDC dc, HDC source) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 400, 300, nullptr);
    SetViewportExtEx(dc, 200, 150, nullptr);
    SetWindowOrgEx(dc, -20, -10, nullptr);

    HPEN dash = CreatePen(PS_DASH, 1, RGB(200, 0, 0));
    HPEN wide = CreatePen(PS_SOLID, 6, RGB(0, 0, 160));
    HBRUSH solid = CreateSolidBrush(RGB(0, 160, 0));
    HBRUSH hatch = CreateHatchBrush(HS_DIAGCROSS, RGB(120, 0, 120));
    const BYTE checker[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    HBITMAP mono = CreateBitmap(8, 8, 1, 1, checker);
    HBRUSH pattern = CreatePatternBrush(mono);
    DeleteObject(mono);

    HGDIOBJ oldPen = SelectObject(dc, dash);
    HGDIOBJ oldBrush = SelectObject(dc, solid);
    Rectangle(dc, 10, 10, 120, 80);
    SelectObject(dc, wide);
    SelectObject(dc, hatch);
    SetBkMode(dc, TRANSPARENT);
    Ellipse(dc, 140, 10, 260, 90);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 0));
    RoundRect(dc, 280, 10, 380, 90, 30, 30);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Arc(dc, 10, 100, 90, 180, 90, 140, 50, 100);
    SelectObject(dc, solid);
    Pie(dc, 100, 100, 180, 180, 180, 140, 140, 100);
    Chord(dc, 190, 100, 270, 180, 270, 140, 190, 140);
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkColor(dc, RGB(255, 200, 200));
    SelectObject(dc, pattern);
    const POINT tri[3] = {{290, 180}, {340, 100}, {390, 180}};
    Polygon(dc, tri, 3);
    const POINT zig[4] = {{10, 200}, {40, 230}, {70, 200}, {100, 230}};
    SelectObject(dc, dash);
    Polyline(dc, zig, 4);
    MoveToEx(dc, 110, 200, nullptr);
    LineTo(dc, 180, 240);
    SetROP2(dc, R2_XORPEN);
    SelectObject(dc, wide);
    MoveToEx(dc, 10, 100, nullptr);
    LineTo(dc, 380, 180);
    SetROP2(dc, R2_COPYPEN);

    SaveDC(dc);
    IntersectClipRect(dc, 200, 200, 260, 250);
    RECT big{190, 190, 300, 290};
    FillRect(dc, &big, hatch);
    RestoreDC(dc, -1);
    SetPixel(dc, 390, 290, RGB(255, 0, 0));

    LOGFONT lf;
    lf.lfHeight = -28;
    lf.lfWeight = FW_BOLD;
    lf.lfFaceName = "Arial";
    HFONT font = CreateFontIndirect(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, RGB(100, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_CENTER | TA_BASELINE);
    TextOut(dc, 200, 280, "Centred 123");
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    SetBkMode(dc, OPAQUE);
    TextOut(dc, 10, 250, "Opaque");
    if (source != nullptr) StretchBlt(dc, 120, 240, 60, 50, source, 0, 0, 20, 20, SRCCOPY);

    // Frames and laid-out text are exact one to one only: their widths and line breaks are
    // measured where they are recorded.
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    RECT frame{150, 100, 190, 115};
    FrameRect(dc, &frame, solid);
    RECT box{120, 120, 215, 165};
    DrawText(dc, "Drawn", -1, &box, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    RECT inverted{5, 150, 30, 165};
    InvertRect(dc, &inverted);

    SelectObject(dc, oldFont);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(font), dash, wide, solid, hatch, pattern}) DeleteObject(o);
}

HMETAFILE RecordScene(HDC source) {
    HDC mdc = CreateMetaFile(nullptr);
    DrawScene(mdc, source);
    return CloseMetaFile(mdc);
}

// Words of the records of a metafile's bits (after the header), as (function, size) pairs.
std::vector<std::pair<WORD, DWORD>> Records(const std::vector<BYTE>& bits) {
    std::vector<std::pair<WORD, DWORD>> out;
    std::size_t pos = 18;
    while (pos + 6 <= bits.size()) {
        DWORD size = bits[pos] | (bits[pos + 1] << 8) | (bits[pos + 2] << 16) | (DWORD{bits[pos + 3]} << 24);
        WORD fn = static_cast<WORD>(bits[pos + 4] | (bits[pos + 5] << 8));
        out.emplace_back(fn, size);
        if (size < 3) break;
        pos += size * 2;
    }
    return out;
}

WORD Word(const std::vector<BYTE>& b, std::size_t at) { return static_cast<WORD>(b[at] | (b[at + 1] << 8)); }

// A metafile written by hand, as another program would: header, then the given records.
std::vector<BYTE> HandMade(const std::vector<std::vector<WORD>>& records, WORD objects) {
    std::vector<WORD> words = {1, 9, 0x0300, 0, 0, objects, 0, 0, 0};
    for (const auto& r : records) words.insert(words.end(), r.begin(), r.end());
    words.insert(words.end(), {3, 0, 0});
    words[3] = static_cast<WORD>(words.size());
    std::vector<BYTE> bytes;
    for (WORD w : words) {
        bytes.push_back(static_cast<BYTE>(w & 0xFF));
        bytes.push_back(static_cast<BYTE>(w >> 8));
    }
    return bytes;
}

std::vector<WORD> Rec(WORD fn, std::vector<WORD> params) {
    std::vector<WORD> r = {static_cast<WORD>(3 + params.size()), 0, fn};
    r.insert(r.end(), params.begin(), params.end());
    return r;
}

TEST_F(MetafileTest, DrawingCallsReachTheRecorder) {
    HDC mdc = CreateMetaFile(nullptr);
    ASSERT_TRUE(IsMetafileDC(mdc));
    SelectObject(mdc, GetStockObject(GRAY_BRUSH));
    MoveToEx(mdc, 1, 2, nullptr);
    LineTo(mdc, 3, 4);
    Rectangle(mdc, 0, 0, 5, 5);
    HMETAFILE mf = CloseMetaFile(mdc);
    std::vector<WORD> functions;
    for (auto [fn, words] : Records(GetMetaFileBits(mf))) functions.push_back(fn);
    const std::vector<WORD> expected = {0x02FC, 0x012D, 0x0214, 0x0213, 0x041B, 0x0000};
    EXPECT_EQ(functions, expected) << "the GDI calls do not reach the recorder of metafile_hooks.h";
}

TEST_F(MetafileTest, PlaybackGivesTheSamePixelsAsDrawingDirectly) {
    Canvas direct(220, 170), played(220, 170);
    Source source(direct.dc());
    DrawScene(direct.dc(), source.dc);
    HMETAFILE mf = RecordScene(source.dc);
    ASSERT_NE(mf, nullptr);
    ASSERT_TRUE(PlayMetaFile(played.dc(), mf));
    std::vector<std::uint32_t> a = direct.Snapshot(), b = played.Snapshot();
    int differing = 0, first = -1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            if (first < 0) first = static_cast<int>(i);
            ++differing;
        }
    }
    EXPECT_EQ(differing, 0) << "first at " << first % 220 << "," << first / 220;
    EXPECT_GT(direct.CountNot(kWhite), 5000);  // the scene really drew
    // The playback left the DC as it found it.
    EXPECT_EQ(GetMapMode(played.dc()), MM_TEXT);
    EXPECT_EQ(GetROP2(played.dc()), R2_COPYPEN);
    EXPECT_TRUE(DeleteMetaFile(mf));
    EXPECT_FALSE(DeleteMetaFile(mf));
}

TEST_F(MetafileTest, RecordingDcDrawsNothingAndMeasuresInItsOwnUnits) {
    Canvas screen(10, 10);
    HDC mdc = CreateMetaFile(nullptr);
    EXPECT_EQ(GetDeviceCaps(mdc, TECHNOLOGY), DT_METAFILE);
    EXPECT_EQ(GetDeviceCaps(screen.dc(), TECHNOLOGY), DT_RASDISPLAY);
    SIZE before = GetTextExtent(mdc, "Measure");
    SetWindowExtEx(mdc, 9600, 7200, nullptr);
    SetWindowOrgEx(mdc, 80, 40, nullptr);
    SIZE ext{};
    POINT org{};
    EXPECT_TRUE(GetWindowExtEx(mdc, &ext));
    EXPECT_TRUE(GetWindowOrgEx(mdc, &org));
    EXPECT_EQ(ext.cx, 9600);
    EXPECT_EQ(org.y, 40);
    // The recorded mapping is for the player; text is still measured one to one here.
    SIZE after = GetTextExtent(mdc, "Measure");
    EXPECT_EQ(before.cx, after.cx);
    EXPECT_GT(after.cx, 0);
    TEXTMETRIC tm;
    EXPECT_TRUE(GetTextMetrics(mdc, &tm));
    EXPECT_GT(tm.tmHeight, 0);
    SaveDC(mdc);
    SetWindowExtEx(mdc, 10, 10, nullptr);
    RestoreDC(mdc, -1);
    GetWindowExtEx(mdc, &ext);
    EXPECT_EQ(ext.cx, 9600);
    HMETAFILE mf = CloseMetaFile(mdc);
    ASSERT_NE(mf, nullptr);
    EXPECT_FALSE(IsValidDC(mdc));
    EXPECT_EQ(CloseMetaFile(screen.dc()), nullptr);  // not a metafile DC
    DeleteMetaFile(mf);
}

TEST_F(MetafileTest, HeaderAndObjectTable) {
    HDC mdc = CreateMetaFile(nullptr);
    for (int i = 0; i < 3; ++i) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(i, 0, 0));
        HGDIOBJ old = SelectObject(mdc, pen);
        LineTo(mdc, 10 * i, 10);
        SelectObject(mdc, old);
        DeleteObject(pen);
    }
    HMETAFILE mf = CloseMetaFile(mdc);
    const UINT size = GetMetaFileBitsEx(mf, 0, nullptr);
    std::vector<BYTE> bits(size);
    EXPECT_EQ(GetMetaFileBitsEx(mf, size - 1, bits.data()), 0u);  // too small: nothing copied
    ASSERT_EQ(GetMetaFileBitsEx(mf, size, bits.data()), size);
    EXPECT_EQ(Word(bits, 0), 1);       // memory metafile
    EXPECT_EQ(Word(bits, 2), 9);       // header words
    EXPECT_EQ(Word(bits, 4), 0x0300);  // version
    EXPECT_EQ((Word(bits, 6) | (Word(bits, 8) << 16)) * 2u, size);
    // The pen and the stock pen put back each time: two slots, reused after every deletion.
    EXPECT_EQ(Word(bits, 10), 2);
    auto records = Records(bits);
    DWORD largest = 0;
    int deletes = 0, creates = 0;
    for (auto [fn, words] : records) {
        largest = std::max(largest, words);
        deletes += fn == 0x01F0;
        creates += fn == 0x02FA;
    }
    EXPECT_EQ((Word(bits, 12) | (Word(bits, 14) << 16)), largest);
    EXPECT_EQ(deletes, 3);
    EXPECT_EQ(creates, 4);  // three pens and the stock pen once
    EXPECT_EQ(records.back().first, 0);  // closing record
    EXPECT_EQ(records.back().second, 3u);

    HMETAFILE copy = SetMetaFileBitsEx(size, bits.data());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GetMetaFileBits(copy), bits);
    std::vector<BYTE> junk(40, 0x55);
    EXPECT_EQ(SetMetaFileBitsEx(static_cast<UINT>(junk.size()), junk.data()), nullptr);
    EXPECT_EQ(SetMetaFileBitsEx(10, bits.data()), nullptr);  // shorter than a header
}

TEST_F(MetafileTest, PlaceableFilesCarryBoundsAndChecksum) {
    HDC mdc = CreateMetaFile(nullptr);
    Rectangle(mdc, 0, 0, 1000, 600);
    HMETAFILE mf = CloseMetaFile(mdc);
    RECT bounds{0, 0, 40000, 600};  // past 32767, as wide schematic pages are
    std::vector<BYTE> bytes = PlaceableMetaFileBytes(mf, bounds, 96);
    ASSERT_EQ(bytes.size(), 22 + GetMetaFileBits(mf).size());
    EXPECT_EQ(Word(bytes, 0) | (Word(bytes, 2) << 16), kPlaceableKey);
    WORD x = 0;
    for (int i = 0; i < 10; ++i) x ^= Word(bytes, 2 * i);
    EXPECT_EQ(Word(bytes, 20), x);
    EXPECT_EQ(Word(bytes, 14), 96);

    ASSERT_TRUE(WriteMetaFileFile(Path("Picture.WMF"), mf, &bounds, 96));
    PlaceableInfo info;
    HMETAFILE back = ReadMetaFileFile(Path("picture.wmf"), &info);  // found case-blind
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(info.placeable);
    EXPECT_EQ(info.bounds.right, 40000);
    EXPECT_EQ(info.unitsPerInch, 96);
    EXPECT_EQ(GetMetaFileBits(back), GetMetaFileBits(mf));
    // A plain file reads too, and says so.
    ASSERT_TRUE(WriteMetaFileFile(Path("plain.wmf"), mf, nullptr, 0));
    HMETAFILE plain = ReadMetaFileFile(Path("plain.wmf"), &info);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(info.placeable);
    EXPECT_EQ(ReadMetaFileFile(Path("missing.wmf"), &info), nullptr);
    // A write that cannot happen leaves nothing behind.
    EXPECT_FALSE(WriteMetaFileFile(Path("no/such/dir/x.wmf"), mf, &bounds, 96));
    // Over the file-size limit a write fails, and a program killed by the limit half-way through
    // one leaves the older file whole and no temporary beside it.
    auto bytesOf = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string older = bytesOf(Path("plain.wmf"));
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
        if (WriteMetaFileFile(Path("plain.wmf"), mf, &bounds, 96)) ::_exit(1);
        ::signal(SIGXFSZ, SIG_DFL);
        WriteMetaFileFile(Path("plain.wmf"), mf, &bounds, 96);
        ::_exit(2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(bytesOf(Path("plain.wmf")), older);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Picture.WMF", "plain.wmf"}));
}

TEST_F(MetafileTest, DiskMetafileIsWrittenWhenClosed) {
    const std::string path = Path("disk.wmf");
    HDC mdc = CreateMetaFile(path.c_str());
    Ellipse(mdc, 0, 0, 50, 50);
    HMETAFILE mf = CloseMetaFile(mdc);
    ASSERT_NE(mf, nullptr);
    std::ifstream in(path, std::ios::binary);
    std::vector<BYTE> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(file, GetMetaFileBits(mf));
    EXPECT_EQ(Word(file, 0), 2);  // disk metafile
    HDC bad = CreateMetaFile(Path("no/dir/disk.wmf").c_str());
    LineTo(bad, 1, 1);
    EXPECT_EQ(CloseMetaFile(bad), nullptr);
}

TEST_F(MetafileTest, PictureScaledIntoARectangleAsTheRendererDoes) {
    HDC mdc = CreateMetaFile(nullptr);
    SetWindowOrgEx(mdc, 0, 0, nullptr);
    SetWindowExtEx(mdc, 1000, 1000, nullptr);
    SelectObject(mdc, GetStockObject(BLACK_BRUSH));
    Rectangle(mdc, 0, 0, 1000, 1000);
    HMETAFILE mf = CloseMetaFile(mdc);
    Canvas canvas(100, 100);
    HDC dc = canvas.dc();
    SaveDC(dc);
    SetMapMode(dc, MM_ANISOTROPIC);
    IntersectClipRect(dc, 10, 10, 60, 60);
    SetViewportOrgEx(dc, 10, 10, nullptr);
    SetViewportExtEx(dc, 50, 50, nullptr);
    ASSERT_TRUE(PlayMetaFile(dc, mf));
    RestoreDC(dc, -1);
    RECT ink = canvas.InkBounds(kWhite);
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.top, 10);
    EXPECT_EQ(ink.right, 60);
    EXPECT_EQ(ink.bottom, 60);
}

TEST_F(MetafileTest, ForeignRecordsPlayAndUnknownOnesAreSkipped) {
    // Another program's picture: a brush made and selected, an unknown record, a rectangle.
    auto bytes = HandMade({Rec(0x02FC, {0, 0x00FF, 0x0000, 0}),  // solid red brush
                           Rec(0x012D, {0}),
                           Rec(0x0999, {1, 2, 3, 4}),             // not a record anyone knows
                           Rec(0x0626, {15, 4, 0, 0}),            // an escape
                           Rec(0x041B, {30, 40, 10, 20})},        // Rectangle(20, 10, 40, 30)
                          1);
    HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(bytes.size()), bytes.data());
    ASSERT_NE(mf, nullptr);
    Canvas canvas(50, 40);
    HGDIOBJ brushBefore = GetCurrentObject(canvas.dc(), OBJ_BRUSH);
    ASSERT_TRUE(PlayMetaFile(canvas.dc(), mf));
    EXPECT_EQ(canvas.At(30, 20), RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(20, 10), kBlack);  // the DC's own pen outlines it
    EXPECT_EQ(canvas.At(5, 5), kWhite);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), brushBefore);
}

TEST_F(MetafileTest, BrokenMetafilesCannotHurtTheCaller) {
    Canvas canvas(60, 60);
    HDC dc = canvas.dc();
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    SelectObject(dc, red);
    const int level = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, 30, 30);
    // Restores below its own saves, a clip region wider than the caller's, an object index that
    // does not exist, a polygon claiming more points than it has, then a record longer than the
    // file.
    auto bytes = HandMade({Rec(0x0127, {static_cast<WORD>(-5)}),
                           Rec(0x06FF, {0, 6, 0, 0, 26, 1, 6, 0, 0, 100, 100, 2, 0, 100, 0, 100, 2}),
                           Rec(0x012C, {0}),
                           Rec(0x012D, {40}),
                           Rec(0x02FC, {0, 0x0000, 0x0000, 0}),
                           Rec(0x012D, {1}),
                           Rec(0x041B, {60, 60, 0, 0}),
                           Rec(0x0324, {500, 1, 1, 2, 2}),
                           {200, 0, 0x041B, 1, 2}},
                          0);
    HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(bytes.size()), bytes.data());
    ASSERT_NE(mf, nullptr);
    ASSERT_TRUE(PlayMetaFile(dc, mf));
    EXPECT_EQ(canvas.At(10, 10), kBlack);   // filled inside the caller's clip
    EXPECT_EQ(canvas.At(40, 40), kWhite);   // never outside it
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), red);
    EXPECT_TRUE(RestoreDC(dc, level));      // the caller's saved level is still there
    EXPECT_FALSE(RestoreDC(dc, -1));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(red);

    // Bits that end inside the header or hold no records at all.
    std::vector<BYTE> header(bytes.begin(), bytes.begin() + 18);
    HMETAFILE empty = SetMetaFileBitsEx(18, header.data());
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(PlayMetaFile(dc, empty));
}

TEST_F(MetafileTest, PlayingIntoAMetafileRecordsAgain) {
    HMETAFILE first = RecordScene(nullptr);
    HDC mdc = CreateMetaFile(nullptr);
    ASSERT_TRUE(PlayMetaFile(mdc, first));
    HMETAFILE second = CloseMetaFile(mdc);
    Canvas a(220, 170), b(220, 170);
    PlayMetaFile(a.dc(), first);
    PlayMetaFile(b.dc(), second);
    EXPECT_EQ(a.Snapshot(), b.Snapshot());
}

TEST_F(MetafileTest, AnIndependentReaderAcceptsOurFiles) {
    ASSERT_TRUE(ToolInstalled("wmf2svg")) << "wmf2svg is not installed (Debian package libwmf-bin; bash tools/setup.sh)";
    Canvas screen(10, 10);
    Source source(screen.dc());
    HMETAFILE mf = RecordScene(source.dc);
    RECT bounds{-20, -10, 380, 290};
    const std::string wmf = Path("scene.wmf"), svg = Path("scene.svg");
    ASSERT_TRUE(WriteMetaFileFile(wmf, mf, &bounds, 192));
    std::string out;
    EXPECT_EQ(RunCommand("wmf2svg -o '" + svg + "' '" + wmf + "'", out), 0) << out;
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    std::ifstream in(svg);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    EXPECT_NE(s.find("<svg"), std::string::npos);
    EXPECT_NE(s.find("Centred 123"), std::string::npos);
    EXPECT_NE(s.find("<ellipse"), std::string::npos);
    EXPECT_NE(s.find("<image"), std::string::npos);  // the blit's bitmap
}

}  // namespace
}  // namespace win::testing
