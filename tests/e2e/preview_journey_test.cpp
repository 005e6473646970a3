// File > Print Preview of a drawn circuit and of a netlist, as a user opens and closes it: the
// preview shows over the window, and Esc, or Close on the netlist's preview, gives the window
// back as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "journey.h"
#include "../platform/external_tool_support.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

// Pixels of the rectangle that are neither white nor the dialog's grey: what is drawn on a sheet.
int Ink(const Shot& shot, int x0, int y0, int x1, int y1)
{
    const int area = (x1 - x0) * (y1 - y0);
    return area - shot.Count(x0, y0, x1, y1, 0xFFFFFF) - shot.Count(x0, y0, x1, y1, 0xC0C0C0);
}

void OpenPreview(Journey& journey)
{
    journey.Settle();
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("v");
    journey.Settle();
}

// Opens the preview with the File menu's key, checks that it covers part of the window, then
// closes it with the given keys and checks that the window is back.
void PreviewAndClose(Journey& journey, const std::string& shot, const std::string& closeKeys)
{
    journey.Settle();
    const Shot before = journey.Capture();
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("v");
    journey.Settle();
    const Shot preview = journey.Capture(shot);
    EXPECT_FALSE(preview.SameAs(before)) << shot << ": no preview showed";
    // The miniature sheet is white paper in the middle of the dialog.
    EXPECT_GT(preview.Count(0, 0, preview.width, preview.height, 0xFFFFFF), 20000) << shot;
    journey.Key(closeKeys);
    journey.Settle();
    // (Left of x = 100 a text window's caret may have blinked meanwhile.)
    const Shot after = journey.Capture(shot + "_closed");
    EXPECT_TRUE(after.SameAs(before, 100, 0, before.width, before.height)) << shot << ": the preview did not close with " << closeKeys;
}

TEST(PreviewJourney, PreviewsOfADrawingAndANetlistOpenAndClose)
{
    Journey journey("preview");
    for (const char* name : {"rc_step.cir", "rc_filter.ckt"})
        std::filesystem::copy_file(kExamples / name, journey.Root() / name);
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    PreviewAndClose(journey, "preview_schematic", "Escape");

    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("rc_filter.ckt");
    journey.Key("Return");
    // The netlist's preview closes by its Close button (Alt+C), as well as by Esc.
    PreviewAndClose(journey, "preview_netlist", "alt+c");
    PreviewAndClose(journey, "preview_netlist_esc", "Escape");
    EXPECT_TRUE(journey.Running());
}

// A scale out of range, typed into the preview and applied, is answered by one message; once it
// is closed the preview is in front again. The field used to lose the focus a second time to the
// message itself, and the same message came again.
TEST(PreviewJourney, AScaleOutOfRangeIsAnsweredOnce)
{
    constexpr int kScaleFieldX = 762, kApplyX = 816, kScaleY = 549;
    constexpr int kCaptionLeft = 420, kCaptionTop = 310, kCaptionRight = 840, kCaptionBottom = 322;
    constexpr int kBoxLeft = 485, kBoxTop = 428, kBoxRight = 700, kBoxBottom = 545;
    Journey journey("preview_scale");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("v");
    journey.Settle();
    const Shot preview = journey.Capture("preview_scale");

    journey.Retype(kScaleFieldX, kScaleY, "5000");
    journey.Click(kApplyX, kScaleY);
    journey.Settle();
    const Shot warned = journey.Capture("preview_scale_warned");
    EXPECT_FALSE(warned.SameAs(preview, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "no message for a scale of 5000";

    journey.Key("Return");
    journey.Settle();
    const Shot answered = journey.Capture("preview_scale_answered");
    EXPECT_TRUE(answered.SameAs(preview, kCaptionLeft, kCaptionTop, kCaptionRight, kCaptionBottom)) << "the preview is not in front";
    EXPECT_TRUE(answered.SameAs(preview, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "a message is still shown";
    if (!answered.SameAs(preview, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) journey.Key("Return");
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// A scale typed into the field and taken by the keyboard: Enter keeps it (the circuit is then
// changed, and closing it offers to save it), Esc drops it. Both used to go the other way round:
// the field was read only when it lost the focus as the dialog went, after OK had looked for a
// change and after Cancel had put the old scale back, so Esc kept the scale and Enter kept it
// without the circuit knowing, and it was lost when the circuit was closed.
TEST(PreviewJourney, AScaleTypedIsKeptByEnterAndDroppedByEsc)
{
    constexpr int kScaleFieldX = 762, kScaleY = 549;
    constexpr int kFieldLeft = 737, kFieldTop = 540, kFieldRight = 787, kFieldBottom = 559;
    Journey journey("preview_scale_keys");
    const std::filesystem::path circuit = journey.Root() / "rc_step.cir";
    std::filesystem::copy_file(kExamples / "rc_step.cir", circuit);
    const std::string stored = ReadAll(circuit);
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    auto typeScale = [&](const std::string& keys) {
        OpenPreview(journey);
        journey.Retype(kScaleFieldX, kScaleY, "400");
        journey.Key(keys);
        journey.Settle();
    };
    // The preview as it opens, closed again by Esc.
    auto shown = [&](const std::string& name) {
        OpenPreview(journey);
        const Shot shot = journey.Capture(name);
        journey.Key("Escape");
        journey.Settle();
        return shot;
    };
    const Shot opened = shown("preview_scale_keys");
    typeScale("Escape");
    const Shot dropped = shown("preview_scale_keys_dropped");
    EXPECT_TRUE(dropped.SameAs(opened, kFieldLeft, kFieldTop, kFieldRight, kFieldBottom)) << "Esc kept the scale typed";
    typeScale("Return");
    const Shot kept = shown("preview_scale_keys_kept");
    EXPECT_FALSE(kept.SameAs(opened, kFieldLeft, kFieldTop, kFieldRight, kFieldBottom)) << "Enter did not keep the scale typed";
    // Closing the circuit asks whether to save it; Yes writes the scale into the file.
    journey.Key("ctrl+F4");
    journey.Settle();
    journey.Capture("preview_scale_keys_closing");
    journey.Key("y");
    journey.Settle();
    EXPECT_NE(ReadAll(circuit), stored) << "the circuit closed without its new scale";
    EXPECT_TRUE(journey.Running());
}

// A netlist a few lines longer than one printed page: the preview's second page shows only those
// few lines under its header, as the printer puts them. The miniature once broke the pages by
// its own rounded font height, so its pages held fewer lines than the printed ones and the last
// lines of a text were never shown. And once Next Page had greyed itself on the last page, the
// preview no longer heard its keys: Esc did not close it.
TEST(PreviewJourney, ATextPreviewBreaksPagesAsThePrinterAndClosesByEscOnTheLastPage)
{
    constexpr int kNextPageX = 787, kNextPageY = 344;
    // The inside of the miniature sheet; the band below the page's first lines and above its footer.
    constexpr int kSheetLeft = 458, kSheetRight = 675, kBandTop = 420, kBandBottom = 600;
    Journey journey("preview_text_pages");
    std::ofstream netlist(journey.Root() / "sheet.ckt", std::ios::binary);
    netlist << "* a page and a little more\r\nV1 1 0 1\r\n";
    for (int i = 1; i <= 56; ++i) netlist << "R" << i << " " << i << " " << i + 1 << " 1k\t; resistor " << i << "\r\n";
    netlist << "C1 57 0 1n\r\n.END\r\n";
    netlist.close();
    ASSERT_TRUE(journey.Start({"sheet.ckt"})) << journey.Output();
    journey.Settle();
    const Shot before = journey.Capture();
    OpenPreview(journey);
    const Shot first = journey.Capture("preview_text_first_page");
    EXPECT_GT(Ink(first, kSheetLeft, kBandTop, kSheetRight, kBandBottom), 500) << "the first page holds no lines";

    journey.Click(kNextPageX, kNextPageY);
    journey.Settle();
    const Shot last = journey.Capture("preview_text_last_page");
    EXPECT_FALSE(last.SameAs(first)) << "Next Page did not turn the page";
    EXPECT_EQ(Ink(last, kSheetLeft, kBandTop, kSheetRight, kBandBottom), 0)
        << "the last page shows lines that the printer puts on the first";

    journey.Key("Escape");
    journey.Settle();
    const Shot closed = journey.Capture("preview_text_closed");
    const bool back = closed.SameAs(before, 100, 0, before.width, before.height);
    EXPECT_TRUE(back) << "Esc did not close the preview on its last page";
    if (!back) journey.Key("alt+c");
    EXPECT_TRUE(journey.Running());
}

// A drawing on a coloured background prints on that colour; the preview's sheet shows it too.
TEST(PreviewJourney, ASchematicPreviewShowsTheBackgroundThePrintHas)
{
    constexpr std::uint32_t kYellow = 0xF5FD62;  // colour 32 of the palette
    constexpr int kSheetLeft = 470, kSheetTop = 345, kSheetRight = 660, kSheetBottom = 625;
    Journey journey("preview_background");
    std::string circuit = ReadAll(kExamples / "rc_step.cir");
    const std::string white = "Circuit Background=15";
    ASSERT_NE(circuit.find(white), std::string::npos);
    circuit.replace(circuit.find(white), white.size(), "Circuit Background=32");
    std::ofstream(journey.Root() / "yellow.cir", std::ios::binary) << circuit;
    ASSERT_TRUE(journey.Start({"yellow.cir"})) << journey.Output();
    OpenPreview(journey);
    const Shot preview = journey.Capture("preview_background");
    const int area = (kSheetRight - kSheetLeft) * (kSheetBottom - kSheetTop);
    EXPECT_GT(preview.Count(kSheetLeft, kSheetTop, kSheetRight, kSheetBottom, kYellow), area * 3 / 4)
        << "the sheet is not on the drawing's background";
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// After a run, the preview of the analysis window shows the window on the sheet, as Print prints
// it; it once showed an empty sheet until the window was picked from its list. With the drawing's
// page laid out beside it (All, Auto Tile) the page shows in its half of the sheet, as it prints;
// the page's drawing used to be missing from the miniature: the renderer put its own mapping over
// the preview's and drew it far off the control.
TEST(PreviewJourney, TheAnalysisWindowsPreviewShowsWhatPrintPrints)
{
    constexpr int kAnalysisCaptionX = 820, kAnalysisCaptionY = 141;
    constexpr int kSheetLeft = 430, kSheetTop = 335, kSheetRight = 645, kSheetBottom = 655;
    constexpr int kAllX = 724, kAllY = 444, kAutoTileX = 690, kAutoTileY = 472;
    // The upper half of the sheet, where Auto Tile puts the first of two entries.
    constexpr int kHalfBottom = 490;
    Journey journey("preview_analysis");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("rc_step.cir")) << journey.Output();
    journey.Settle(10);
    journey.Click(kAnalysisCaptionX, kAnalysisCaptionY);
    OpenPreview(journey);
    const Shot preview = journey.Capture("preview_analysis");
    EXPECT_GT(Ink(preview, kSheetLeft, kSheetTop, kSheetRight, kSheetBottom), 2000) << "the sheet is empty";

    journey.Click(kAllX, kAllY);
    journey.Settle();
    journey.Click(kAutoTileX, kAutoTileY);
    journey.Settle();
    const Shot laidOut = journey.Capture("preview_layout_page");
    EXPECT_GT(Ink(laidOut, kSheetLeft, kSheetTop, kSheetRight, kHalfBottom), 200) << "the drawing's page is not on the sheet";
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// A colour within a step or two in each channel: poppler may draw a PDF's colour back rounded.
bool Near(std::uint32_t a, std::uint32_t b)
{
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 3) return false;
    return true;
}

// The rectangle of the shot as a shot of its own.
Shot Cut(const Shot& shot, int x0, int y0, int x1, int y1)
{
    Shot part;
    part.width = x1 - x0;
    part.height = y1 - y0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) part.pixels.push_back(shot.At(x, y));
    return part;
}

// For each column, the highest row of the colour in it; -1 where it has none.
std::vector<int> ColumnTops(const Shot& shot, std::uint32_t rgb)
{
    std::vector<int> tops(static_cast<std::size_t>(shot.width), -1);
    for (int x = 0; x < shot.width; ++x)
        for (int y = 0; y < shot.height && tops[static_cast<std::size_t>(x)] < 0; ++y)
            if (Near(shot.At(x, y), rgb)) tops[static_cast<std::size_t>(x)] = y;
    return tops;
}

// The first rows of the runs of rows that hold the colour left of column `right`, top to
// bottom; rows a pixel or two apart belong to one run.
std::vector<int> LineTops(const Shot& shot, std::uint32_t rgb, int right)
{
    std::vector<int> tops;
    int last = -10;
    for (int y = 0; y < shot.height; ++y) {
        bool ink = false;
        for (int x = 0; x < right && !ink; ++x) ink = Near(shot.At(x, y), rgb);
        if (!ink) continue;
        if (y > last + 3) tops.push_back(y);
        last = y;
    }
    return tops;
}

// The box round the pixels of the colour: left, top, right, bottom; all -1 when there are none.
std::vector<int> BoxOf(const Shot& shot, std::uint32_t rgb)
{
    std::vector<int> box{shot.width, shot.height, -1, -1};
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (Near(shot.At(x, y), rgb)) box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    return box[2] < 0 ? std::vector<int>{-1, -1, -1, -1} : box;
}

// The bars of a histogram, left to right, each as its height over the tallest one's: read along
// the lowest row of their colour, on which they all stand.
std::vector<double> BarShares(const Shot& shot, std::uint32_t rgb)
{
    int base = -1;
    for (int y = shot.height - 1; y >= 0 && base < 0; --y)
        for (int x = 0; x < shot.width && base < 0; ++x)
            if (Near(shot.At(x, y), rgb)) base = y;
    std::vector<double> heights;
    for (int x = 0; x < shot.width && base >= 0;) {
        if (!Near(shot.At(x, base), rgb)) {
            ++x;
            continue;
        }
        int end = x;
        while (end < shot.width && Near(shot.At(end, base), rgb)) ++end;
        int top = base;
        while (top > 0 && Near(shot.At((x + end) / 2, top - 1), rgb)) --top;
        heights.push_back(base - top + 1);
        x = end;
    }
    const double tallest = heights.empty() ? 1.0 : *std::max_element(heights.begin(), heights.end());
    for (double& h : heights) h /= tallest;
    return heights;
}

// After twenty Monte Carlo runs, File > Print Preview of the histogram in front shows it alone on
// the sheet, bar for bar as the window has it, and the preview's Print puts on paper what the
// preview shows: the sheet as poppler draws the PDF back at the miniature's size has its bars
// and texts where the miniature has them.
TEST(PreviewJourney, TheHistogramsPreviewShowsWhatPrintPrints)
{
    constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
    constexpr int kMenuBarY = 28, kMonteCarloMenuX = 491, kAddHistogramX = 518, kAddHistogramY = 49;
    // The Add Monte Carlo Function dialog: the Expression list (V(2) drops this far below it),
    // the first argument's edit and OK.
    constexpr int kExpressionX = 611, kExpressionY = 485, kSecondCurveBelow = 31;
    constexpr int kFirstArgumentX = 470, kArgumentY = 560, kFunctionOkX = 809, kFunctionOkY = 410;
    // The maximised histogram's chart; the preview's miniature sheet and the dialog round it.
    constexpr int kChartLeft = 220, kChartTop = 110, kChartRight = 1245, kChartBottom = 915;
    constexpr int kPaperLeft = 417, kPaperTop = 328, kPaperRight = 655, kPaperBottom = 666;
    constexpr int kDialogLeft = 380, kDialogTop = 290, kDialogRight = 880, kDialogBottom = 685;
    // The sheet's columns left of the chart, where the labels of its vertical scale stand.
    constexpr int kLabelsRight = 20;
    constexpr std::uint32_t kBarColour = 0x5A91AB, kTextColour = 0x0000FF;
    ASSERT_TRUE(win::testing::ToolInstalled("pdftoppm")) << win::testing::kPopplerMissing;
    Journey journey("preview_histogram");
    const std::string circuit = MonteCarloExample("20");
    ASSERT_FALSE(circuit.empty());
    std::ofstream(journey.Root() / "mc.cir", std::ios::binary) << circuit;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("mc.cir")) << journey.Output();
    journey.Settle(10);
    journey.Tap(kLimitsCloseX, kLimitsCloseY);

    // Monte Carlo > Add Histogram: the rise time of V(2) from 0.1 V to 0.9 V.
    journey.Tap(kMonteCarloMenuX, kMenuBarY);
    journey.Tap(kAddHistogramX, kAddHistogramY);
    journey.Tap(kExpressionX, kExpressionY);
    journey.Tap(kExpressionX - 30, kExpressionY + kSecondCurveBelow);
    journey.Click(kFirstArgumentX, kArgumentY);
    journey.Key("Tab");
    journey.Type("0.1");
    journey.Key("Tab");
    journey.Type("0.9");
    journey.Tap(kFunctionOkX, kFunctionOkY);
    const Shot window = journey.Capture("preview_histogram_window");
    const std::vector<double> windowBars = BarShares(Cut(window, kChartLeft, kChartTop, kChartRight, kChartBottom), kBarColour);
    ASSERT_GE(windowBars.size(), 3u) << "no histogram of the twenty rise times";

    OpenPreview(journey);
    const Shot preview = journey.Capture("preview_histogram");
    const Shot sheet = Cut(preview, kPaperLeft, kPaperTop, kPaperRight, kPaperBottom);
    const std::vector<double> sheetBars = BarShares(sheet, kBarColour);
    ASSERT_EQ(sheetBars.size(), windowBars.size()) << "the sheet has not the window's bars";
    for (std::size_t i = 0; i < sheetBars.size(); ++i)
        EXPECT_NEAR(sheetBars[i], windowBars[i], 0.05) << "bar " << i << " stands at another height on the sheet";

    // Print..., and the file proposed beside the circuit.
    journey.Press("alt+p");
    journey.Capture("preview_histogram_print_file");
    journey.Key("Return");
    const std::filesystem::path pdf = journey.Root() / "mc.pdf";
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(pdf); }, 20)) << "nothing was printed";
    journey.Settle();
    const Shot printed = PrintedPage(pdf, sheet.width, sheet.height);
    ASSERT_EQ(printed.width, sheet.width) << "the PDF could not be drawn";
    printed.Save("preview_histogram_printed");
    // Column by column the bars reach the same row, within a pixel; only the bars' edges may
    // fall a pixel apart.
    const std::vector<int> shownTops = ColumnTops(sheet, kBarColour), printedTops = ColumnTops(printed, kBarColour);
    int edges = 0, off = 0;
    for (std::size_t x = 0; x < shownTops.size(); ++x) {
        if ((shownTops[x] < 0) != (printedTops[x] < 0)) ++edges;
        if (shownTops[x] >= 0 && printedTops[x] >= 0 && std::abs(shownTops[x] - printedTops[x]) > 1) ++off;
    }
    EXPECT_LE(edges, 2 * static_cast<int>(sheetBars.size())) << "the bars stand in other columns on paper";
    EXPECT_EQ(off, 0) << "columns whose bar reaches another height on paper";
    // The labels of the vertical scale, from its top down to 6 %, on the same rows.
    const std::vector<int> shownLabels = LineTops(sheet, kTextColour, kLabelsRight),
                           printedLabels = LineTops(printed, kTextColour, kLabelsRight);
    ASSERT_GE(shownLabels.size(), 5u) << "the sheet shows no scale";
    ASSERT_GE(printedLabels.size(), 5u) << "the print has no scale";
    for (std::size_t i = 0; i < 5; ++i) EXPECT_NEAR(shownLabels[i], printedLabels[i], 1) << "label " << i << " of the scale";
    // The title above, the scale's labels to the left, the range below: the texts span the same box.
    const std::vector<int> shownTexts = BoxOf(sheet, kTextColour), printedTexts = BoxOf(printed, kTextColour);
    ASSERT_NE(shownTexts[2], -1) << "the sheet shows no texts";
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(shownTexts[i], printedTexts[i], 3) << "side " << i << " of the texts";

    // The sheet stays as it was until Esc; then the window is as it was.
    EXPECT_TRUE(journey.Capture("preview_histogram_after_print").SameAs(preview, kPaperLeft, kPaperTop, kPaperRight, kPaperBottom))
        << "the sheet changed by printing";
    journey.Key("Escape");
    journey.Settle();
    const Shot closed = journey.Capture("preview_histogram_closed");
    EXPECT_TRUE(closed.SameAs(window, kDialogLeft, kDialogTop, kDialogRight, kDialogBottom)) << "Esc did not close the preview";
    EXPECT_TRUE(journey.Running());
}

// After a run, the preview of the numeric output (a text window) shows its text, as Print prints
// it. It used to show the plots' layout sheet instead, empty, because an analysis was running.
TEST(PreviewJourney, TheNumericOutputsPreviewShowsItsText)
{
    // The upper part of the sheet, inside its dotted outline, where the first lines of text go.
    constexpr int kLeft = 460, kTop = 340, kRight = 640, kBottom = 450;
    Journey journey("preview_numeric_output");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("rc_step.cir")) << journey.Output();
    journey.Settle(10);
    journey.Key("F5");
    journey.Settle();
    journey.Click(800, 800);
    OpenPreview(journey);
    const Shot preview = journey.Capture("preview_numeric_output");
    EXPECT_GT(Ink(preview, kLeft, kTop, kRight, kBottom), 300) << "the sheet shows no text";
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// A font chosen with the text preview's Font... leaves the keyboard with the preview: Esc closes
// it. The font used to send the focus to the netlist behind the preview, so Esc did nothing and
// the keys typed went into the netlist.
TEST(PreviewJourney, TheTextPreviewKeepsTheKeyboardAfterAFontIsChosen)
{
    // Below the preview's buttons: the dialog's grey while it is open, the netlist's white after.
    constexpr int kLeft = 720, kTop = 600, kRight = 850, kBottom = 660;
    Journey journey("preview_text_font");
    std::filesystem::copy_file(kExamples / "rc_filter.ckt", journey.Root() / "rc_filter.ckt");
    ASSERT_TRUE(journey.Start({"rc_filter.ckt"})) << journey.Output();
    OpenPreview(journey);
    const Shot open = journey.Capture("preview_text_font");
    ASSERT_GT(open.Count(kLeft, kTop, kRight, kBottom, 0xC0C0C0), 5000) << "no preview";
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("alt+s ctrl+a");
    journey.Type("16");
    journey.Key("Return");
    journey.Settle();
    journey.Capture("preview_text_font_chosen");
    journey.Key("Escape");
    journey.Settle();
    const Shot closed = journey.Capture("preview_text_font_closed");
    const bool gone = closed.Count(kLeft, kTop, kRight, kBottom, 0xC0C0C0) < 100;
    EXPECT_TRUE(gone) << "Esc did not close the preview after the font was chosen";
    if (!gone) journey.Key("alt+c");
    EXPECT_TRUE(journey.Running());
}

// With "Auto" chosen in the preview, the sheet borders on the drawing follow the scale that fits
// the page on one sheet, as it prints. They used to stay where sheets of the full-size scale
// would break, a sheet's width from the left, though the print has one sheet only.
TEST(PreviewJourney, SheetBordersFollowTheFittedScale)
{
    constexpr int kAutoX = 742, kAutoY = 501, kOkX = 787, kOkY = 346;
    // Where the border of a full-size A4 sheet stands on the screen, below the drawing's wires.
    constexpr int kBorderLeft = 740, kBorderRight = 758, kTop = 450, kBottom = 650;
    Journey journey("preview_fitted_borders");
    std::string circuit = ReadAll(kExamples / "rc_step.cir");
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"[Wire]\r\nGrids=39,27,42,27", "[Wire]\r\nGrids=50,40,300,40\r\n\r\n[Wire]\r\nGrids=39,27,42,27"},
             {"View=304", "View=368"}}) {
        const std::size_t at = circuit.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        circuit.replace(at, from.size(), to);
    }
    std::ofstream(journey.Root() / "wide.cir", std::ios::binary) << circuit;
    ASSERT_TRUE(journey.Start({"wide.cir"})) << journey.Output();
    journey.Settle();
    const Shot fullSize = journey.Capture("preview_fitted_borders_full_size");
    ASSERT_GT(Ink(fullSize, kBorderLeft, kTop, kBorderRight, kBottom), 150) << "no border of the full-size sheet";
    OpenPreview(journey);
    journey.Click(kAutoX, kAutoY);
    journey.Settle();
    journey.Click(kOkX, kOkY);
    journey.Settle();
    const Shot fitted = journey.Capture("preview_fitted_borders");
    EXPECT_EQ(Ink(fitted, kBorderLeft, kTop, kBorderRight, kBottom), 0) << "the border of a full-size sheet is still drawn";
    EXPECT_TRUE(journey.Running());
}

// Print from the preview of a drawing's text area prints that text, as the preview shows it. It
// used to print the drawing's pages instead: the keyboard focus was in the preview, not in the
// text area, so Print took the window for its drawing.
TEST(PreviewJourney, PrintFromTheTextAreasPreviewPrintsTheText)
{
    constexpr int kTextTabX = 88, kTextTabY = 725;
    Journey journey("preview_text_area_print");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Settle();
    journey.Click(kTextTabX, kTextTabY);
    journey.Settle();
    journey.Click(400, 300);
    OpenPreview(journey);
    journey.Capture("preview_text_area");
    // Print..., the print dialog's OK, and the file name proposed beside the circuit.
    journey.Key("alt+p");
    journey.Settle();
    journey.Capture("preview_text_area_print_dialog");
    journey.Key("Return");
    journey.Settle();
    journey.Key("Return");
    const std::filesystem::path pdf = journey.Root() / "rc_step.pdf";
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(pdf); }, 20)) << "nothing was printed";
    journey.Settle();
    std::string text;
    ASSERT_EQ(win::testing::RunCommand("pdftotext -layout '" + pdf.string() + "' -", text), 0) << win::testing::kPopplerMissing;
    EXPECT_NE(text.find("A first drawn circuit"), std::string::npos) << "the text area was not printed:\n" << text;
    // C1's value label is on the drawing only.
    EXPECT_EQ(text.find("1U"), std::string::npos) << "the drawing was printed:\n" << text;
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
