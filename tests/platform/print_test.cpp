#include "platform/print.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <sstream>

#include "external_tool_support.h"
#include "gdi_test_support.h"
#include "platform/global_memory.h"

namespace win::testing {
namespace {

class PrintTest : public GdiTest {
protected:
    void SetUp() override {
        GdiTest::SetUp();
        ResetPrintStateForTests();
        ResetGlobalMemoryStateForTests();
        dir_ = std::filesystem::temp_directory_path() / ("kq5_print_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        ResetPrintStateForTests();
        GdiTest::TearDown();
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // Files left in the directory (a dropped job must leave none).
    int FileCount() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()));
    }

    std::filesystem::path dir_;
};

HDC PrinterDC(SHORT paper, SHORT orientation, SHORT copies = 1) {
    DEVMODE dm;
    dm.dmPaperSize = paper;
    dm.dmOrientation = orientation;
    dm.dmCopies = copies;
    return CreateDC(kPrinterDriver, kPrinterDevice, kPrinterPort, &dm);
}

DOCINFO Doc(const std::string& output) {
    DOCINFO di;
    di.lpszDocName = "TEST.CIR";
    di.lpszOutput = output;
    return di;
}

// The first page of a PDF as pixels (pdftoppm at 72 dpi: one pixel per point).
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    COLORREF At(int x, int y) const {
        const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        return RGB(p[0], p[1], p[2]);
    }
};

// A "Key: value" line of pdfinfo's report.
std::string InfoField(const std::string& info, const std::string& key) {
    std::size_t at = info.find(key + ":");
    if (at == std::string::npos) return {};
    std::size_t start = info.find_first_not_of(' ', at + key.size() + 1);
    return info.substr(start, info.find('\n', start) - start);
}

bool Dark(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 96; }
bool Light(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) > 700; }

bool RenderFirstPage(const std::string& pdf, const std::string& prefix, Raster& out) {
    std::string log;
    if (RunCommand("pdftoppm -r 72 -f 1 -l 1 -singlefile '" + pdf + "' '" + prefix + "'", log) != 0) return false;
    std::ifstream in(prefix + ".ppm", std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> out.width >> out.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255) return false;
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    in.read(reinterpret_cast<char*>(out.rgb.data()), static_cast<std::streamsize>(out.rgb.size()));
    return static_cast<bool>(in);
}

TEST_F(PrintTest, DeviceCapsFollowPaperAndOrientation) {
    HDC a4 = PrinterDC(DMPAPER_A4, DMORIENT_PORTRAIT);
    ASSERT_NE(a4, nullptr);
    EXPECT_EQ(GetDeviceCaps(a4, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(a4, LOGPIXELSX), 300);
    EXPECT_EQ(GetDeviceCaps(a4, LOGPIXELSY), 300);
    EXPECT_EQ(GetDeviceCaps(a4, PHYSICALWIDTH), 2480);
    EXPECT_EQ(GetDeviceCaps(a4, PHYSICALHEIGHT), 3508);
    EXPECT_EQ(GetDeviceCaps(a4, PHYSICALOFFSETX), 75);
    EXPECT_EQ(GetDeviceCaps(a4, HORZRES), 2480 - 150);
    EXPECT_EQ(GetDeviceCaps(a4, VERTRES), 3508 - 150);
    EXPECT_EQ(GetDeviceCaps(a4, HORZSIZE), 197);
    EXPECT_EQ(GetDeviceCaps(a4, RASTERCAPS) & RC_BANDING, 0);
    EXPECT_NE(GetDeviceCaps(a4, NUMCOLORS), 2);
    HDC letter = PrinterDC(DMPAPER_LETTER, DMORIENT_LANDSCAPE);
    EXPECT_EQ(GetDeviceCaps(letter, PHYSICALWIDTH), 3300);
    EXPECT_EQ(GetDeviceCaps(letter, PHYSICALHEIGHT), 2550);
    EXPECT_TRUE(DeleteDC(a4));
    EXPECT_TRUE(DeleteDC(letter));
    EXPECT_EQ(CreateDC("winspool", "Some Other Printer", "LPT1:", nullptr), nullptr);
    EXPECT_EQ(CreateDC(nullptr, "DISPLAY", nullptr, nullptr), nullptr);
    HDC byDefault = CreateDC(nullptr, "print to pdf", nullptr, nullptr);  // any case
    ASSERT_NE(byDefault, nullptr);
    DeleteDC(byDefault);
}

TEST_F(PrintTest, PrintedDocumentIsAPdfWithTheDrawing) {
    HDC dc = PrinterDC(DMPAPER_A4, DMORIENT_PORTRAIT);
    const std::string pdf = Path("out.pdf");
    DOCINFO di = Doc(pdf);
    ASSERT_GT(StartDoc(dc, &di), 0);
    ASSERT_GT(StartPage(dc), 0);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Rectangle(dc, 300, 300, 900, 900);  // one to three inches inside the margin
    EXPECT_GT(EndPage(dc), 0);
    ASSERT_GT(StartPage(dc), 0);
    Ellipse(dc, 0, 0, 600, 600);
    EXPECT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0);
    DeleteDC(dc);
    EXPECT_FALSE(std::filesystem::exists(pdf + ".part"));

    ASSERT_TRUE(ToolInstalled("pdfinfo") && ToolInstalled("pdftoppm")) << kPopplerMissing;
    std::string info;
    ASSERT_EQ(RunCommand("pdfinfo '" + pdf + "'", info), 0) << info;
    EXPECT_EQ(InfoField(info, "Pages"), "2") << info;
    EXPECT_NE(InfoField(info, "Page size").find("(A4)"), std::string::npos) << info;
    EXPECT_EQ(InfoField(info, "Title"), "TEST.CIR") << info;
    Raster page;
    ASSERT_TRUE(RenderFirstPage(pdf, Path("page"), page));
    EXPECT_NEAR(page.width, 595, 1);
    // (300 + 75) / 300 inch = 90 points to (900 + 75) / 300 inch = 234 points.
    EXPECT_TRUE(Dark(page.At(150, 150)));
    EXPECT_TRUE(Dark(page.At(92, 92)));
    EXPECT_TRUE(Dark(page.At(232, 232)));
    EXPECT_TRUE(Light(page.At(87, 150)));
    EXPECT_TRUE(Light(page.At(237, 150)));
    EXPECT_TRUE(Light(page.At(10, 10)));
}

TEST_F(PrintTest, CopiesAndOrientationReachThePdf) {
    ASSERT_TRUE(ToolInstalled("pdfinfo")) << kPopplerMissing;
    HDC dc = PrinterDC(DMPAPER_LETTER, DMORIENT_LANDSCAPE, 3);
    const std::string pdf = Path("copies.pdf");
    DOCINFO di = Doc(pdf);
    ASSERT_GT(StartDoc(dc, &di), 0);
    StartPage(dc);
    EndPage(dc);
    EndDoc(dc);
    DeleteDC(dc);
    std::string info;
    ASSERT_EQ(RunCommand("pdfinfo '" + pdf + "'", info), 0) << info;
    EXPECT_EQ(InfoField(info, "Pages"), "3") << info;
    EXPECT_EQ(InfoField(info, "Page size").rfind("792 x 612 pts", 0), 0u) << info;
}

int gAbortCalls = 0;
int gAbortAfter = 0;

BOOL CountingAbortProc(HDC, int code) {
    EXPECT_EQ(code, 0);
    return ++gAbortCalls < gAbortAfter ? TRUE : FALSE;
}

TEST_F(PrintTest, AbortProcedureIsAskedPerPageAndCanDropTheJob) {
    gAbortCalls = 0;
    gAbortAfter = 100;
    HDC dc = PrinterDC(DMPAPER_A5, DMORIENT_PORTRAIT);
    ASSERT_GT(SetAbortProc(dc, CountingAbortProc), 0);
    DOCINFO di = Doc(Path("three.pdf"));
    ASSERT_GT(StartDoc(dc, &di), 0);
    for (int i = 0; i < 3; ++i) {
        StartPage(dc);
        EXPECT_GT(EndPage(dc), 0);
    }
    EXPECT_EQ(gAbortCalls, 3);
    EXPECT_GT(EndDoc(dc), 0);

    // Cancelled at the second page: the job goes, and an older file of that name stays as it was.
    const std::string pdf = Path("cancel.pdf");
    std::ofstream(pdf) << "older";
    gAbortCalls = 0;
    gAbortAfter = 2;
    di = Doc(pdf);
    ASSERT_GT(StartDoc(dc, &di), 0);
    StartPage(dc);
    EXPECT_GT(EndPage(dc), 0);
    StartPage(dc);
    EXPECT_EQ(EndPage(dc), SP_APPABORT);
    EXPECT_LE(StartPage(dc), 0);
    EXPECT_LE(EndDoc(dc), 0);
    EXPECT_GT(AbortDoc(dc), 0);
    DeleteDC(dc);
    std::ifstream in(pdf);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "older");
    EXPECT_EQ(FileCount(), 2);  // three.pdf and the older cancel.pdf

    // AbortDoc in the middle of a page, and a DC deleted in the middle of a job, leave nothing.
    HDC other = PrinterDC(DMPAPER_A4, DMORIENT_PORTRAIT);
    di = Doc(Path("dropped.pdf"));
    StartDoc(other, &di);
    StartPage(other);
    EXPECT_GT(AbortDoc(other), 0);
    EXPECT_LE(EndDoc(other), 0);
    di = Doc(Path("deleted.pdf"));
    StartDoc(other, &di);
    StartPage(other);
    DeleteDC(other);
    EXPECT_EQ(FileCount(), 2);

    // A program killed in the middle of a job leaves the older file whole and no temporary.
    const pid_t child = ::fork();
    if (child == 0) {
        HDC killed = PrinterDC(DMPAPER_A4, DMORIENT_PORTRAIT);
        di = Doc(pdf);
        if (StartDoc(killed, &di) > 0 && StartPage(killed) > 0 && EndPage(killed) > 0) ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    std::ifstream after(pdf);
    std::string kept;
    after >> kept;
    EXPECT_EQ(kept, "older");
    EXPECT_EQ(FileCount(), 2);
}

TEST_F(PrintTest, OutputFileComesFromTheDialogOrTheQuestion) {
    HDC dc = PrinterDC(DMPAPER_A4, DMORIENT_PORTRAIT);
    // The print dialog asks first; the next job takes that name.
    ScriptPrintOutputFile(Path("chosen.pdf"));
    EXPECT_EQ(AskPrintOutputFile(nullptr, "C:\\CIRCUITS\\AMP.CIR"), Path("chosen.pdf"));
    DOCINFO di = Doc("");
    ASSERT_GT(StartDoc(dc, &di), 0);
    EndDoc(dc);
    EXPECT_TRUE(std::filesystem::exists(Path("chosen.pdf")));
    // Without the dialog StartDoc asks; a cancelled question starts nothing.
    ScriptPrintOutputFile(std::nullopt);
    EXPECT_LE(StartDoc(dc, &di), 0);
    ScriptPrintOutputFile(Path("asked.pdf"));
    ASSERT_GT(StartDoc(dc, &di), 0);
    EndDoc(dc);
    EXPECT_TRUE(std::filesystem::exists(Path("asked.pdf")));
    // An installed question gets a name made from the document's.
    std::string suggested;
    SetPrintFileAsker([&](HWND, const std::string& s) -> std::optional<std::string> {
        suggested = s;
        return Path("fromasker.pdf");
    });
    di.lpszDocName = "C:\\CIRCUITS\\AMP.CIR";
    ASSERT_GT(StartDoc(dc, &di), 0);
    EndDoc(dc);
    EXPECT_EQ(suggested, "AMP.pdf");
    EXPECT_TRUE(std::filesystem::exists(Path("fromasker.pdf")));
    // A file that cannot be made fails the start.
    di = Doc(Path("no/such/dir/x.pdf"));
    EXPECT_LE(StartDoc(dc, &di), 0);
    DeleteDC(dc);
}

TEST_F(PrintTest, BandsAndEscapes) {
    HDC dc = PrinterDC(DMPAPER_A4, DMORIENT_PORTRAIT);
    RECT band{};
    EXPECT_LE(Escape(dc, NEXTBAND, 0, nullptr, &band), 0);  // no page yet
    DOCINFO di = Doc(Path("band.pdf"));
    StartDoc(dc, &di);
    StartPage(dc);
    EXPECT_GT(Escape(dc, NEXTBAND, 0, nullptr, &band), 0);
    EXPECT_EQ(band.right, GetDeviceCaps(dc, HORZRES));
    EXPECT_EQ(band.bottom, GetDeviceCaps(dc, VERTRES));
    EXPECT_GT(Escape(dc, NEXTBAND, 0, nullptr, &band), 0);
    EXPECT_TRUE(IsRectEmpty(band));
    EndPage(dc);
    int asked = NEXTBAND;
    EXPECT_EQ(Escape(dc, QUERYESCSUPPORT, sizeof asked, &asked, nullptr), 1);
    asked = 4321;
    EXPECT_EQ(Escape(dc, QUERYESCSUPPORT, sizeof asked, &asked, nullptr), 0);
    EndDoc(dc);
    DeleteDC(dc);
}

TEST_F(PrintTest, DevNamesAndDevModeBlocks) {
    HGLOBAL names = CreateDefaultDevNames();
    auto text = ReadDevNames(names);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->device, kPrinterDevice);
    EXPECT_EQ(text->output, kPrinterPort);
    EXPECT_EQ(text->flags, DN_DEFAULTPRN);
    HGLOBAL mode = CreateDefaultDevMode();
    ASSERT_EQ(GlobalSize(mode), sizeof(DEVMODE));
    auto* dm = static_cast<DEVMODE*>(GlobalLock(mode));
    EXPECT_EQ(dm->dmOrientation, DMORIENT_PORTRAIT);
    dm->dmOrientation = DMORIENT_LANDSCAPE;
    HDC dc = CreateDC(text->driver.c_str(), text->device.c_str(), text->output.c_str(), dm);
    GlobalUnlock(mode);
    EXPECT_GT(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
    DeleteDC(dc);

    // Blocks that are not well-formed name lists are refused, not read past their end.
    EXPECT_FALSE(ReadDevNames(mode).has_value());
    HGLOBAL bad = GlobalAlloc(GHND, 12);
    auto* raw = static_cast<WORD*>(GlobalLock(bad));
    raw[0] = 8;
    raw[1] = 9;
    raw[2] = 400;
    EXPECT_FALSE(ReadDevNames(bad).has_value());
    raw[2] = 10;
    std::memset(reinterpret_cast<char*>(raw) + 8, 'x', 4);  // no terminating zero
    EXPECT_FALSE(ReadDevNames(bad).has_value());
    EXPECT_FALSE(ReadDevNames(nullptr).has_value());
}

}  // namespace
}  // namespace win::testing
