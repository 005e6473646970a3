// File > Print Preview of a drawn circuit and of a netlist, as a user opens and closes it: the
// preview shows over the window, and Esc, or Close on the netlist's preview, gives the window
// back as it was.
#include <gtest/gtest.h>

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
