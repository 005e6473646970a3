// Printing an analysis window: the window's own drawing on a sheet of its own.
#include <filesystem>

#include "../plots/analysis_window_test_support.h"
#include "app/printing.h"
#include "platform/common_dialogs_print.h"
#include "platform/print.h"
#include "pdf_probe.h"
#include "results/curve_record.h"

namespace kq5::testing {
namespace {

const std::string kRc =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

using PrintPlot = WithPdfPrinter<AnalysisWindowTest>;

TEST_F(PrintPlot, AnAnalysisWindowPrintsOnOneSheetAndKeepsItsScreenLayout)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    ASSERT_NE(w, nullptr);
    const win::RECT screenPlot = Curve(0).plotRect;
    const std::string pdf = (dir_ / "rc_plot.pdf").string();
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(pdf);
    PrintWindowRecord(w);
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(PdfPageCount(pdf), 1);
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf, 1));
    // The plot fills the printable area: its ink reaches from near the left margin to near the
    // right one and over most of the height.
    const auto bands = page.Bands();
    ASSERT_FALSE(bands.empty());
    int left = page.width, right = 0, top = page.height, bottom = 0;
    for (const auto& b : bands) {
        left = std::min(left, b.left);
        right = std::max(right, b.right);
        top = std::min(top, b.top);
        bottom = std::max(bottom, b.bottom);
    }
    EXPECT_LT(left, page.width / 5);
    EXPECT_GT(right, page.width * 4 / 5);
    EXPECT_GT(bottom - top, page.height / 2);
    EXPECT_GT(page.Ink(0, 0, page.width, page.height), 5000);
    // Nothing of the margin is drawn on.
    EXPECT_EQ(page.Ink(0, 0, page.width, win::kPrinterMarginPx - 2), 0);
    // The screen gets its own layout back once it repaints.
    EXPECT_TRUE(w->plot->pageRect.right <= w->plot->pageRect.left);
    Pump();
    const win::RECT again = Curve(0).plotRect;
    EXPECT_EQ(again.left, screenPlot.left);
    EXPECT_EQ(again.right, screenPlot.right);
    EXPECT_EQ(again.bottom, screenPlot.bottom);
}

}  // namespace
}  // namespace kq5::testing
