// Several windows on one sheet: the layout list, Auto Tile, the clipping of overlapped entries,
// the "Printing" dialog's Cancel, and the graphics preview driven headless.
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "../app/settings_dialog_test_support.h"
#include "analog/run_control.h"
#include "app/print_preview.h"
#include "app/printing.h"
#include "document/circuit_document.h"
#include "platform/common_dialogs_print.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/print.h"
#include "pdf_probe.h"
#include "document/page_array.h"

namespace kq5::testing {
namespace {

// Stand-ins for plot windows: each fills its rectangle with its own colour, or marks only a
// small square at its top-left corner.
struct FakePlot {
    PrintPreview preview;
    win::COLORREF color = 0;
    bool dotOnly = false;
};

std::map<WindowRecord*, FakePlot>& Plots()
{
    static std::map<WindowRecord*, FakePlot> plots;
    return plots;
}

class PrintLayout : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        RequirePoppler();
        win::ResetPrintStateForTests();
        PrintFreeSetup();
        Plots().clear();
        dir_ = std::filesystem::temp_directory_path() / ("kq5_layout_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        LayoutWindowServices services;
        services.placement = [](WindowRecord* record) -> PrintPreview* {
            auto it = Plots().find(record);
            return it == Plots().end() ? nullptr : &it->second.preview;
        };
        services.draw = [](WindowRecord* record, win::HDC dc, const win::RECT& r) {
            const FakePlot& plot = Plots()[record];
            win::RECT area = r;
            if (plot.dotOnly) area = {r.left, r.top, r.left + 40, r.top + 40};
            win::HBRUSH brush = win::CreateSolidBrush(plot.color);
            win::FillRect(dc, &area, brush);
            win::DeleteObject(brush);
        };
        SetLayoutWindowServices(kWindowPerformance, services);
        circuit_ = NewWindowRecord(TopLevel(0, 0, 300, 200), kWindowSchematic, true);
        circuit_->title = "layout.cir";
        ASSERT_EQ(ResizePageArray(circuit_, 1), 0);
    }
    void TearDown() override
    {
        SetLayoutWindowServices(kWindowPerformance, {});
        ResetRunControlForTests();
        Plots().clear();
        PrintFreeSetup();
        win::ResetPrintStateForTests();
        std::filesystem::remove_all(dir_);
        SettingsDialogTest::TearDown();
    }
    WindowRecord* AddPlot(const std::string& title, win::COLORREF color, bool included)
    {
        WindowRecord* record = NewWindowRecord(TopLevel(20, 20, 200, 150), kWindowPerformance);
        record->title = title;
        win::SetWindowText(record->window, title.c_str());
        FakePlot& plot = Plots()[record];
        plot.color = color;
        plot.preview.on = included ? 1 : 0;
        return record;
    }
    std::string PrintTo(const std::string& name, WindowRecord* owner, std::vector<PrintLayoutEntry>& entries)
    {
        const std::string pdf = (dir_ / name).string();
        win::ScriptPrintOutputFile(pdf);
        PrintLayoutSheet(entries, owner);
        return pdf;
    }
    // The raster pixel at a fraction of the printable area.
    static const unsigned char* At(const PdfRaster& page, double fx, double fy)
    {
        const int printableW = page.width - 2 * win::kPrinterMarginPx;
        const int printableH = page.height - 2 * win::kPrinterMarginPx;
        const int x = win::kPrinterMarginPx + static_cast<int>(fx * printableW);
        const int y = win::kPrinterMarginPx + static_cast<int>(fy * printableH);
        return &page.rgb[(static_cast<std::size_t>(y) * page.width + x) * 3];
    }
    static bool IsColor(const unsigned char* p, win::COLORREF c)
    {
        return std::abs(p[0] - win::GetRValue(c)) < 40 && std::abs(p[1] - win::GetGValue(c)) < 40 &&
               std::abs(p[2] - win::GetBValue(c)) < 40;
    }

    std::filesystem::path dir_;
    WindowRecord* circuit_ = nullptr;
};

TEST_F(PrintLayout, FiveWindowsAutoTileAsTwoColumnsOfTwoAndThreeOnOneSheet)
{
    const win::COLORREF colors[5] = {win::RGB(255, 0, 0), win::RGB(0, 160, 0), win::RGB(0, 0, 255),
                                     win::RGB(255, 160, 0), win::RGB(160, 0, 160)};
    for (int i = 0; i < 5; ++i) AddPlot("plot " + std::to_string(i + 1), colors[i], true);
    circuit_->document->printAutoTile[0] = 1;
    std::vector<PrintLayoutEntry> entries = BuildPrintLayout(circuit_, true);
    // The schematic's page first (not included), then the windows in window order.
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].page, 0);
    EXPECT_EQ(entries[0].text, "layout.cir:" + circuit_->document->pages[0].name);
    EXPECT_EQ(entries[1].text, "plot 1");
    // A window captioned otherwise than its record's name (an analysis window is named after its
    // circuit) is listed by its caption.
    win::SetWindowText(entries[2].record->window, "Performance of the circuit");
    EXPECT_EQ(BuildPrintLayout(circuit_, true)[2].text, "Performance of the circuit");
    EXPECT_EQ(CountIncludedEntries(entries), 5u);
    const std::string pdf = PrintTo("five.pdf", circuit_, entries);
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(PdfPageCount(pdf), 1);
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf, 1));
    // Column 1 holds two rows, column 2 three, filled in list order column by column.
    EXPECT_TRUE(IsColor(At(page, 0.25, 0.25), colors[0]));
    EXPECT_TRUE(IsColor(At(page, 0.25, 0.75), colors[1]));
    EXPECT_TRUE(IsColor(At(page, 0.75, 1.0 / 6), colors[2]));
    EXPECT_TRUE(IsColor(At(page, 0.75, 0.5), colors[3]));
    EXPECT_TRUE(IsColor(At(page, 0.75, 5.0 / 6), colors[4]));
    // Auto Tile kept the cells in the windows' own placements.
    EXPECT_DOUBLE_EQ(entries[5].placement[1], 2.0 / 3);
    EXPECT_DOUBLE_EQ(entries[5].placement[3], 1.0);
}

TEST_F(PrintLayout, LaterEntriesAreCutOutOfEarlierOnesAndNothingIncludedPrintsNothing)
{
    WindowRecord* under = AddPlot("under", win::RGB(255, 0, 0), true);
    WindowRecord* over = AddPlot("over", win::RGB(0, 0, 255), true);
    Plots()[over].dotOnly = true;
    PrintPreview& left = Plots()[over].preview;
    left.values = {0.0, 0.0, 0.5, 1.0};
    std::vector<PrintLayoutEntry> entries = BuildPrintLayout(under, false);
    const std::string pdf = PrintTo("overlap.pdf", under, entries);
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf, 1));
    // The window underneath fills only what the later one leaves; the later one drew a dot, so
    // the rest of its cell stays paper-white.
    EXPECT_TRUE(IsColor(At(page, 0.75, 0.5), win::RGB(255, 0, 0)));
    EXPECT_TRUE(IsColor(At(page, 0.25, 0.5), win::RGB(255, 255, 255)));
    EXPECT_TRUE(IsColor(At(page, 0.002, 0.002), win::RGB(0, 0, 255)));

    for (PrintLayoutEntry& e : entries) *e.include = 0;
    const std::string none = PrintTo("none.pdf", under, entries);
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(PrintLayout, PrintingAWindowNobodyPlacedPrintsItOverTheSheet)
{
    WindowRecord* plot = AddPlot("alone", win::RGB(0, 160, 0), false);
    AddPlot("other", win::RGB(255, 0, 0), false);
    const std::string pdf = (dir_ / "alone.pdf").string();
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(pdf);
    PrintWindowRecord(plot);
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf, 1));
    EXPECT_TRUE(IsColor(At(page, 0.1, 0.1), win::RGB(0, 160, 0)));
    EXPECT_TRUE(IsColor(At(page, 0.9, 0.9), win::RGB(0, 160, 0)));
}

TEST_F(PrintLayout, CancelInThePrintingDialogDropsTheJobAndFreesTheOwner)
{
    WindowRecord* plot = AddPlot("cancelled plot", win::RGB(0, 0, 255), true);
    std::string shownTitle;
    bool ownerDisabled = false;
    LayoutWindowServices services;
    services.placement = [](WindowRecord* record) { return &Plots()[record].preview; };
    services.draw = [&](WindowRecord*, win::HDC, const win::RECT&) {
        win::HWND dialog = PrintingDialog();
        ASSERT_NE(dialog, nullptr);
        shownTitle = win::GetDlgItemText(dialog, kPrintingTitleItem);
        ownerDisabled = !win::IsWindowEnabled(plot->window);
        Pump();
        SaveScreen("printing_dialog");
        // The user presses Cancel while the page is being drawn.
        win::testing::ClickCenter(win::GetDlgItem(dialog, win::IDCANCEL));
    };
    SetLayoutWindowServices(kWindowPerformance, services);
    std::vector<PrintLayoutEntry> entries = BuildPrintLayout(plot, false);
    const std::string pdf = PrintTo("cancelled.pdf", plot, entries);
    EXPECT_EQ(shownTitle, "cancelled plot");
    EXPECT_TRUE(ownerDisabled);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_TRUE(win::IsWindowEnabled(plot->window));
    EXPECT_EQ(PrintingDialog(), nullptr);
    EXPECT_FALSE(PrintJobRunning());
}

TEST_F(PrintLayout, TheGraphicsPreviewIncludesTilesMovesAndResizes)
{
    // The plots belong to the circuit being analysed.
    RunControl().circuitWindow = circuit_;
    WindowRecord* first = AddPlot("first plot", win::RGB(255, 0, 0), true);
    WindowRecord* second = AddPlot("second plot", win::RGB(0, 0, 255), true);
    PrintPreview& a = Plots()[first].preview;
    PrintPreview& b = Plots()[second].preview;
    int lines = 0, selectedAtStart = 0, afterDeselect = -1, afterAll = -1;
    double movedTop = 0, resizedBottom = 0;
    win::testing::InputScript script;
    auto page = [] { return Item(kPreviewPageControl); };
    // The printable part of the miniature, as the dialog lays it out.
    auto printable = [&] {
        win::RECT c{};
        win::GetClientRect(page(), &c);
        win::HDC printer = CreatePrinterDC();
        const int pw = win::GetDeviceCaps(printer, win::PHYSICALWIDTH), ph = win::GetDeviceCaps(printer, win::PHYSICALHEIGHT);
        win::RECT r;
        r.left = win::MulDiv(win::GetDeviceCaps(printer, win::PHYSICALOFFSETX), c.right, pw);
        r.top = win::MulDiv(win::GetDeviceCaps(printer, win::PHYSICALOFFSETY), c.bottom, ph);
        r.right = r.left + win::MulDiv(win::GetDeviceCaps(printer, win::HORZRES), c.right, pw);
        r.bottom = r.top + win::MulDiv(win::GetDeviceCaps(printer, win::VERTRES), c.bottom, ph);
        win::DeleteDC(printer);
        return r;
    };
    auto mouse = [&](win::UINT message, int x, int y) {
        win::SendMessage(page(), message, message == win::WM_LBUTTONUP ? 0 : win::MK_LBUTTON, win::MAKELPARAM(x, y));
    };
    script
        .Then([&] {
            lines = static_cast<int>(win::SendMessage(Item(kPreviewWindowList), win::LB_GETCOUNT, 0, 0));
            selectedAtStart = static_cast<int>(win::SendMessage(Item(kPreviewWindowList), win::LB_GETSELCOUNT, 0, 0));
            Click(kPreviewTile);
        })
        .Then([&] {
            SaveScreen("print_preview_graphics");
            for (int i = 0; i < lines; ++i) win::SendMessage(Item(kPreviewWindowList), win::LB_SETSEL, win::FALSE, i);
            win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(kPreviewWindowList, win::LBN_SELCHANGE),
                             reinterpret_cast<win::LPARAM>(Item(kPreviewWindowList)));
        })
        .Then([&] {
            afterDeselect = a.on + b.on;
            Click(kPreviewAll);
        })
        .Then([&] {
            afterAll = a.on + b.on + circuit_->document->pages[0].printPreview[0].on;
            // The schematic's page goes off the sheet again.
            win::SendMessage(Item(kPreviewWindowList), win::LB_SETSEL, win::FALSE, 0);
            win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(kPreviewWindowList, win::LBN_SELCHANGE),
                             reinterpret_cast<win::LPARAM>(Item(kPreviewWindowList)));
        })
        .Then([&] {
            win::UpdateWindow(page());
            // The first plot fills the top half after Tile: dragged right and down by a tenth, it
            // can only go down (right it would leave the sheet).
            const win::RECT p = printable();
            const int w = p.right - p.left, h = p.bottom - p.top;
            const int cx = p.left + w / 2, cy = p.top + h / 4;
            mouse(win::WM_LBUTTONDOWN, cx, cy);
            mouse(win::WM_MOUSEMOVE, cx + w / 10, cy + h / 10);
            mouse(win::WM_LBUTTONUP, cx + w / 10, cy + h / 10);
            movedTop = a.values[1];
            // The second plot's bottom edge (handle at its bottom middle) pulled up a quarter.
            const int bottomX = p.left + w / 2, bottomY = p.top + h;
            mouse(win::WM_LBUTTONDOWN, bottomX, bottomY - 1);
            mouse(win::WM_MOUSEMOVE, bottomX, p.top + h * 3 / 4);
            mouse(win::WM_LBUTTONUP, bottomX, p.top + h * 3 / 4);
            resizedBottom = b.values[3];
            win::UpdateWindow(page());
            SaveScreen("print_preview_graphics_moved");
            Click(kPreviewClose);
        });
    script.Install();
    EXPECT_EQ(RunPrintPreview(first), 0);
    EXPECT_EQ(lines, 3);  // the schematic page and the two plots
    EXPECT_EQ(selectedAtStart, 2);
    EXPECT_EQ(afterDeselect, 0);
    EXPECT_EQ(afterAll, 3);
    EXPECT_NEAR(movedTop, 0.1, 0.02);
    EXPECT_NEAR(a.values[3], 0.6, 0.02);
    EXPECT_DOUBLE_EQ(a.values[0], 0.0);
    EXPECT_DOUBLE_EQ(a.values[2], 1.0);
    EXPECT_NEAR(resizedBottom, 0.75, 0.02);
    EXPECT_NEAR(b.values[1], 0.5, 1e-9);
    EXPECT_EQ(circuit_->changed, 1);
}

}  // namespace
}  // namespace kq5::testing
