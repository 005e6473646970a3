// Printing schematics and text circuits to PDF, read back by poppler's tools.
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "../schematic/schematic_test_support.h"
#include "app/printing.h"
#include "document/text_editor.h"
#include "document/title_block.h"
#include "ui/user_names.h"
#include "platform/common_dialogs_print.h"
#include "platform/message_box.h"
#include "platform/print.h"
#include "pdf_probe.h"

namespace kq5::testing {
namespace {

constexpr int kMargin = win::kPrinterMarginPx;

class PrintDocuments : public SchematicTest {
protected:
    void SetUp() override
    {
        SchematicTest::SetUp();
        RequirePoppler();
        win::ResetPrintStateForTests();
        PrintFreeSetup();
        ResetTitleBlockForTests();
        SetTitleBlockDefaults();
        dir_ = std::filesystem::temp_directory_path() /
               ("kq5_print_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        PrintFreeSetup();
        win::ResetPrintStateForTests();
        if (!::getenv("KQ5_KEEP_PRINTS")) std::filesystem::remove_all(dir_);
        SchematicTest::TearDown();
    }
    std::string Pdf(const std::string& name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

// Printer pixels of a drawing-unit coordinate at scale 1.
int Px(int units) { return units * win::kPrinterDpi / 96 + kMargin; }

TEST_F(PrintDocuments, ASchematicPageWiderThanASheetTilesRowByRow)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    CircuitDocument& document = *record->document;
    document.printerScale = 1.0;
    document.viewOptions |= kViewTitle;
    UserAndCompanyNamesSetting().userName = "Ada";
    // A wire from 16 to 960 drawing units: an A4 sheet holds about 745 at scale 1.
    AddItem(record, kItemWire, 2, 2, 120, 2);
    SetRecordTitle(record, (dir_ / "wide.cir").string());
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("wide.pdf"));
    PrintWindowRecord(record);
    ASSERT_TRUE(std::filesystem::exists(Pdf("wide.pdf")));
    EXPECT_EQ(PdfPageCount(Pdf("wide.pdf")), 2);
    PdfRaster first, second;
    ASSERT_TRUE(first.Load(Pdf("wide.pdf"), 1));
    ASSERT_TRUE(second.Load(Pdf("wide.pdf"), 2));
    // The wire on both sheets, each sheet showing its own part of the page.
    EXPECT_GT(first.Ink(Px(100) - 5, Px(16) - 4, Px(100) + 5, Px(16) + 4), 0);
    EXPECT_EQ(first.Ink(Px(100) - 5, Px(40) - 4, Px(100) + 5, Px(40) + 4), 0);
    const int sheetUnits = (first.width - 2 * kMargin) * 96 / win::kPrinterDpi;
    EXPECT_GT(second.Ink(Px(900 - sheetUnits) - 5, Px(16) - 4, Px(900 - sheetUnits) + 5, Px(16) + 4), 0);
    EXPECT_EQ(second.Ink(Px(980 - sheetUnits) - 5, Px(16) - 4, Px(980 - sheetUnits) + 5, Px(16) + 4), 0);
    // Each sheet has its title block in its lower right corner.
    for (const PdfRaster* sheet : {&first, &second})
        EXPECT_GT(sheet->Ink(sheet->width / 2, sheet->height - kMargin - 200, sheet->width - kMargin, sheet->height - kMargin),
                  100);
    // The document keeps its scale; the sheet position left no mapping behind.
    EXPECT_EQ(document.printerScale, 1.0);
}

// A page tiled over two sheets across and two down: every sheet shows its border on all four
// sides. The sheets were tiled a fraction of a unit wider than the borders drawn round them, so
// the border of every sheet after the first in a row, or below the first row, started just off
// its paper and its left (or top) edge was lost.
TEST_F(PrintDocuments, EverySheetOfATiledPageShowsItsWholeBorder)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    record->document->printerScale = 1.0;
    record->document->viewOptions |= kViewBorder;
    AddItem(record, kItemWire, 2, 2, 120, 2);
    AddItem(record, kItemWire, 2, 2, 2, 180);
    SetRecordTitle(record, (dir_ / "tiled.cir").string());
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("tiled.pdf"));
    PrintWindowRecord(record);
    ASSERT_EQ(PdfPageCount(Pdf("tiled.pdf")), 4);
    for (int sheet = 1; sheet <= 4; ++sheet) {
        PdfRaster page;
        ASSERT_TRUE(page.Load(Pdf("tiled.pdf"), sheet));
        const int middleX = page.width / 2, middleY = page.height / 2;
        const int right = page.width - kMargin, bottom = page.height - kMargin;
        EXPECT_GT(page.Ink(kMargin, middleY - 100, kMargin + 8, middleY + 100), 150) << "sheet " << sheet << ": no left edge";
        EXPECT_GT(page.Ink(middleX - 100, kMargin, middleX + 100, kMargin + 8), 150) << "sheet " << sheet << ": no top edge";
        EXPECT_GT(page.Ink(right - 12, middleY - 100, right, middleY + 100), 150) << "sheet " << sheet << ": no right edge";
        EXPECT_GT(page.Ink(middleX - 100, bottom - 12, middleX + 100, bottom), 150) << "sheet " << sheet << ": no bottom edge";
    }
}

TEST_F(PrintDocuments, SheetBordersAndTitleBlocksFollowThePaperOfTheSetup)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    record->document->printerScale = 1.0;
    record->document->viewOptions |= kViewTitle;
    AddItem(record, kItemWire, 2, 2, 120, 2);
    SetRecordTitle(record, (dir_ / "a3.cir").string());
    win::PrintDialogAnswer a3;
    a3.paperSize = win::DMPAPER_A3;
    win::ScriptPrintDialogAnswer(a3);
    ASSERT_EQ(RunPrintSetup(nullptr), 1);
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("a3.pdf"));
    PrintWindowRecord(record);
    // The A3 sheet holds the whole wire; its one title block stands in its own corner.
    EXPECT_EQ(PdfPageCount(Pdf("a3.pdf")), 1);
    PdfRaster page;
    ASSERT_TRUE(page.Load(Pdf("a3.pdf"), 1));
    EXPECT_GT(page.width, 3400);
    EXPECT_GT(page.Ink(page.width - kMargin - 300, page.height - kMargin - 150, page.width - kMargin, page.height - kMargin), 100);
    // Nothing where an A4 sheet's block would end.
    const int a4Right = 2480 - kMargin, a4Bottom = 3508 - kMargin;
    EXPECT_EQ(page.Ink(a4Right - 200, a4Bottom - 100, a4Right - 20, a4Bottom - 10), 0);
}

// In landscape the renderer draws on 98 % of the sheet across and down. The sheet border (and the
// title block) stand inside that part, and the next sheet goes on where it ends: both used to be
// measured on the whole sheet, so the border's right and bottom edges were cut off, and a strip
// of the drawing between two sheets was printed on neither.
TEST_F(PrintDocuments, LandscapeSheetsKeepTheirBordersAndLoseNothingBetweenThem)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    record->document->printerScale = 1.0;
    record->document->viewOptions |= kViewTitle | kViewBorder;
    // A wire from 16 to 1920 drawing units, and a short upright one at 1064, past the first
    // sheet's usable part (a landscape A4 sheet is about 1075 units wide, 1053 of them usable).
    AddItem(record, kItemWire, 2, 2, 240, 2);
    AddItem(record, kItemWire, 133, 4, 133, 10);
    SetRecordTitle(record, (dir_ / "landscape.cir").string());
    win::PrintDialogAnswer landscape;
    landscape.orientation = win::DMORIENT_LANDSCAPE;
    win::ScriptPrintDialogAnswer(landscape);
    ASSERT_EQ(RunPrintSetup(nullptr), 1);
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("landscape.pdf"));
    PrintWindowRecord(record);
    ASSERT_EQ(PdfPageCount(Pdf("landscape.pdf")), 2);
    PdfRaster first, second;
    ASSERT_TRUE(first.Load(Pdf("landscape.pdf"), 1));
    ASSERT_TRUE(second.Load(Pdf("landscape.pdf"), 2));
    ASSERT_GT(first.width, first.height);
    const int usableRight = kMargin + (first.width - 2 * kMargin) * 98 / 100;
    // The border's right edge: a line down the sheet just inside the usable part.
    const int middle = first.height / 2;
    EXPECT_GT(first.Ink(usableRight - 8, middle - 100, usableRight, middle + 100), 150) << "no right border";
    // The second sheet goes on from the first one's usable edge: the upright wire is on it.
    const int usableUnits = (usableRight - kMargin) * 96 / win::kPrinterDpi;
    EXPECT_GT(second.Ink(Px(1064 - usableUnits) - 6, Px(40) - 10, Px(1064 - usableUnits) + 6, Px(40) + 10), 20)
        << "the wire between the sheets is on neither";
}

TEST_F(PrintDocuments, AutomaticScaleFitsThePageOnOneSheetAndPagesFollowTheRange)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    record->document->printerScale = -1.0;
    AddItem(record, kItemWire, 2, 2, 400, 2);
    ASSERT_EQ(AddPage(record, 1), 0);
    AddItem(record, kItemWire, 2, 30, 20, 30, 0, 1);
    SetRecordTitle(record, (dir_ / "fit.cir").string());
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("fit.pdf"));
    PrintWindowRecord(record);
    EXPECT_EQ(PdfPageCount(Pdf("fit.pdf")), 2);
    PdfRaster page;
    ASSERT_TRUE(page.Load(Pdf("fit.pdf"), 1));
    // The long wire reaches nearly across the one sheet.
    EXPECT_GT(page.Ink(page.width - kMargin - 120, kMargin, page.width - kMargin, kMargin + 60), 0);
    EXPECT_LT(record->document->printerScale, 0.0);

    // Only the second page, chosen in the dialog.
    win::PrintDialogAnswer second;
    second.pages = std::make_pair(2, 2);
    win::ScriptPrintDialogAnswer(second);
    win::ScriptPrintOutputFile(Pdf("second.pdf"));
    PrintWindowRecord(record);
    EXPECT_EQ(PdfPageCount(Pdf("second.pdf")), 1);

    // A scale of 0 (from a file) prints at full size: the long wire over five sheets, the second
    // page on one. It used to print blank sheets.
    record->document->printerScale = 0.0;
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("zero.pdf"));
    PrintWindowRecord(record);
    ASSERT_EQ(PdfPageCount(Pdf("zero.pdf")), 6);
    PdfRaster zero;
    ASSERT_TRUE(zero.Load(Pdf("zero.pdf"), 1));
    EXPECT_GT(zero.Ink(Px(100) - 5, Px(16) - 4, Px(100) + 5, Px(16) + 4), 0);
}

TEST_F(PrintDocuments, CancelledQuestionsPrintNothingAndSayNothing)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    SetRecordTitle(record, (dir_ / "quiet.cir").string());
    win::ScriptPrintDialogAnswer(std::nullopt);
    PrintWindowRecord(record);
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(std::nullopt);
    PrintWindowRecord(record);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(PrintDocuments, TheFileIsProposedNextToTheCircuit)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    SetRecordTitle(record, (dir_ / "Amp.cir").string());
    std::string proposed;
    win::SetPrintFileAsker([&](win::HWND, const std::string& suggested) -> std::optional<std::string> {
        proposed = suggested;
        return suggested;
    });
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    PrintWindowRecord(record);
    win::SetPrintFileAsker(nullptr);
    EXPECT_EQ(proposed, "Amp.pdf");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "Amp.pdf"));
}

TEST_F(PrintDocuments, TextCircuitsPrintPaginatedWithHeaderAndFooter)
{
    WindowRecord* record = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(record, nullptr);
    SetRecordTitle(record, (dir_ / "long.cir").string());
    SetTestColors(*record->document);
    record->document->textCommentColor = 12;
    UserAndCompanyNamesSetting().userName = "Ada";
    UserAndCompanyNamesSetting().companyName = "Analytical Engines";
    std::string text = "LONG NETLIST\r\n";
    for (int i = 1; i <= 150; ++i) text += "R" + std::to_string(i) + " 1 0 1K ; load " + std::to_string(i) + "\r\n";
    text += ".END\r\n";
    TxtEditRecord* editor = GetTxtEditRecord(record->document->textAreaWindow);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(ReplaceEditorText(*editor, text, true));
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("long.pdf"));
    PrintWindowRecord(record);
    const int pages = PdfPageCount(Pdf("long.pdf"));
    ASSERT_GE(pages, 2);
    PdfRaster first, last;
    ASSERT_TRUE(first.Load(Pdf("long.pdf"), 1));
    ASSERT_TRUE(last.Load(Pdf("long.pdf"), pages));
    // A full page: the header line, the text lines, the footer's two lines.
    const auto bands = first.Bands();
    ASSERT_GT(bands.size(), 5u);
    const int perPage = static_cast<int>(bands.size()) - 3;
    const int lines = 152;
    EXPECT_EQ(pages, (lines + perPage - 1) / perPage);
    EXPECT_EQ(static_cast<int>(last.Bands().size()), lines - (pages - 1) * perPage + 3);
    // "Page 1" centred at the top; the text and the footer's user and company at the left.
    const int middle = first.width / 2;
    EXPECT_LT(std::abs((bands[0].left + bands[0].right) / 2 - middle), 15);
    EXPECT_EQ(bands[0].top >= kMargin, true);
    for (std::size_t k = 1; k < bands.size(); ++k) EXPECT_LT(std::abs(bands[k].left - kMargin), 12) << k;
    EXPECT_GT(bands.back().bottom, first.height - kMargin - 60);
    // The last page's header is centred too.
    const auto lastBands = last.Bands();
    EXPECT_LT(std::abs((lastBands[0].left + lastBands[0].right) / 2 - middle), 15);
    // An independent reader finds the text itself: the substituted header and footer, the lines.
    ASSERT_TRUE(win::testing::ToolInstalled("pdftotext")) << win::testing::kPopplerMissing;
    std::string firstText, lastText;
    ASSERT_EQ(win::testing::RunCommand("pdftotext -f 1 -l 1 -layout '" + Pdf("long.pdf") + "' -", firstText), 0);
    const std::string p = std::to_string(pages);
    ASSERT_EQ(win::testing::RunCommand("pdftotext -f " + p + " -l " + p + " -layout '" + Pdf("long.pdf") + "' -", lastText), 0);
    EXPECT_NE(firstText.find("Page 1"), std::string::npos) << firstText;
    EXPECT_NE(firstText.find("LONG NETLIST"), std::string::npos);
    EXPECT_NE(firstText.find("R1 1 0 1K ; load 1"), std::string::npos);
    EXPECT_NE(firstText.find("Ada"), std::string::npos);
    EXPECT_NE(firstText.find("Analytical Engines"), std::string::npos);
    EXPECT_EQ(firstText.find("$user"), std::string::npos);
    EXPECT_NE(lastText.find("Page " + p), std::string::npos);
    EXPECT_NE(lastText.find(".END"), std::string::npos);
}

// A disk that fills up in the middle of a job: no PDF and no half-written file, and the user is
// told which file could not be written.
TEST_F(PrintDocuments, AWriteFailureInTheMiddleOfAJobIsReported)
{
    WindowRecord* record = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(record, nullptr);
    SetRecordTitle(record, (dir_ / "full.cir").string());
    std::string text = "FULL DISK\r\n";
    for (int i = 1; i <= 400; ++i) text += "R" + std::to_string(i) + " 1 0 1K\r\n";
    TxtEditRecord* editor = GetTxtEditRecord(record->document->textAreaWindow);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(ReplaceEditorText(*editor, text, true));
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("full.pdf"));
    win::ClearMessageBoxLog();
    {
        // Files of this process may not grow past a few kilobytes while the job runs.
        struct FileSizeLimit {
            rlimit saved{};
            void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
            FileSizeLimit()
            {
                ::getrlimit(RLIMIT_FSIZE, &saved);
                rlimit small = saved;
                small.rlim_cur = 20000;
                ::setrlimit(RLIMIT_FSIZE, &small);
            }
            ~FileSizeLimit()
            {
                ::setrlimit(RLIMIT_FSIZE, &saved);
                std::signal(SIGXFSZ, handler);
            }
        } limit;
        PrintWindowRecord(record);
    }
    EXPECT_FALSE(std::filesystem::exists(Pdf("full.pdf")));
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find("Error in writing file " + Pdf("full.pdf")), std::string::npos)
        << win::MessageBoxLog()[0].text;
}

// A line longer than the page is wide goes on in the rows below it: nothing of it runs off the
// paper's edge, where it used to be lost.
TEST_F(PrintDocuments, ALineWiderThanThePageGoesOnBelowIt)
{
    WindowRecord* record = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(record, nullptr);
    SetRecordTitle(record, (dir_ / "wide.ckt").string());
    SetTestColors(*record->document);
    record->document->textCommentColor = 12;
    UserAndCompanyNamesSetting() = {};  // a footer of empty lines
    std::string longLine = ".TRAN 1n 1u ; options";
    for (int i = 1; i <= 40; ++i) longLine += " word" + std::to_string(i);
    longLine += " LASTWORD";
    TxtEditRecord* editor = GetTxtEditRecord(record->document->textAreaWindow);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(ReplaceEditorText(*editor, "WIDE NETLIST\r\n" + longLine + "\r\n.END\r\n", true));
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(Pdf("wide.pdf"));
    PrintWindowRecord(record);
    ASSERT_EQ(PdfPageCount(Pdf("wide.pdf")), 1);
    PdfRaster page;
    ASSERT_TRUE(page.Load(Pdf("wide.pdf"), 1));
    // The header, the title, the long line in four rows, ".END": every row within the printable width.
    const auto bands = page.Bands();
    EXPECT_EQ(bands.size(), 7u);
    for (const auto& band : bands) EXPECT_LE(band.right, page.width - kMargin) << "row at " << band.top;
    std::string text;
    ASSERT_EQ(win::testing::RunCommand("pdftotext -raw '" + Pdf("wide.pdf") + "' -", text), 0) << win::testing::kPopplerMissing;
    EXPECT_NE(text.find("LASTWORD"), std::string::npos) << text;
    EXPECT_NE(text.find(".END"), std::string::npos) << text;
}

TEST_F(PrintDocuments, TextLayoutRules)
{
    // Comments start at a semicolon, or at a star with only blanks before it.
    EXPECT_EQ(SplitCommentColumns("R1 1 0 1K ; load"), 10u);
    EXPECT_EQ(SplitCommentColumns("  * a comment line"), 2u);
    EXPECT_EQ(SplitCommentColumns("B1 1 0 V=2*3"), 12u);
    // A font taller than the page, or a header and footer that fill it, still prints a line a page.
    EXPECT_EQ(TextLinesPerPage(3000, 50, 2), 58);
    EXPECT_EQ(TextLinesPerPage(3000, 4000, 2), 1);
    EXPECT_EQ(TextLinesPerPage(3000, 50, 70), 1);
    EXPECT_EQ(TextLinesPerPage(3000, 0, 2), 1);
}

TEST_F(PrintDocuments, AutoTileKeepsEveryEntryOnTheSheet)
{
    // Five entries: two columns, the first with two rows, the second with three.
    const std::vector<LayoutPlacement> five = AutoTileLayout(5);
    ASSERT_EQ(five.size(), 5u);
    EXPECT_DOUBLE_EQ(five[0].right, 0.5);
    EXPECT_DOUBLE_EQ(five[1].top, 0.5);
    EXPECT_DOUBLE_EQ(five[2].left, 0.5);
    EXPECT_NEAR(five[3].top, 1.0 / 3, 1e-12);
    EXPECT_DOUBLE_EQ(five[4].bottom, 1.0);
    for (int n = 1; n <= 12; ++n) EXPECT_EQ(AutoTileLayout(n).size(), static_cast<std::size_t>(n)) << n;
    // No entry included: an empty sheet, not a division by zero.
    EXPECT_TRUE(AutoTileLayout(0).empty());
}

}  // namespace
}  // namespace kq5::testing

