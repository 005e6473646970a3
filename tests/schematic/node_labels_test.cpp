// Node labels on a schematic: one label per connection of a node other than ground, with the
// node's number and value; the values of a run appear after it; the labels of the other panes are
// erased and drawn again in place, and the node-label toggle leaves them erased.
#include <fstream>
#include <string>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "../plots/circuit_file_test_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "app/command_routing.h"
#include "core/engineering_numbers.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/connection_points.h"
#include "document/connectivity.h"
#include "platform/gdi_draw.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/metafile.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "plots/limits_dialog.h"
#include "schematic/node_labels.h"
#include "ui/font_select.h"
#include "document/selection.h"
#include "document/pane_seams.h"
#include "schematic/schematic_render.h"
#include "schematic/schematic_view.h"
#include "schematic/zoom.h"

namespace kq5::testing {
namespace {

// A battery of 2 V feeding R1 into C1, both grounded: node 1 at (10, 10), node 2 at (16, 10).
const std::string kDivider =
    BatteryRcCircuit() +
    "[WaveForm]\r\nAnalysis=Transient\r\nOptions=LINEARX,LINEARY\r\nPlt=1\r\nXExp=T\r\nYExp=v(1)\r\nXRng=Auto\r\nYRng=Auto\r\n\r\n";

constexpr std::uint32_t kShowNodes = kViewNodeNumbers | kViewNodeVoltages;

class NodeLabelsTest : public StartedFrame {
protected:
    void TearDown() override
    {
        ExitAnalysis();
        PumpFrameMessages();
        ResetSchematicDrawingForTests();
        StartedFrame::TearDown();
    }

    WindowRecord* Load(const std::string& text = kDivider)
    {
        Start();
        InstallAnalysisKindHandlers();
        WindowRecord* circuit =
            WriteAndLoadCircuit(dir_, "divider.cir", text.c_str(), kFileKindSchematic, kLoadDefaults | kLoadShowWindow);
        PumpFrameMessages();
        if (circuit == nullptr) return nullptr;
        CircuitDocument& document = *circuit->document;
        // Two ends meet at each point of this circuit: their labels show with Pin Connections.
        document.viewOptions |= kShowNodes | kViewPinConnections;
        document.connectivityStale = 1;
        EXPECT_EQ(RebuildNetlistIfNeeded(circuit, true), 0);
        // Distinct colours: black numbers, red values on white.
        document.backgroundColor = 15;
        document.nodeNumberFont.color = 0;
        document.nodeVoltageFont.color = 9;
        return circuit;
    }

    static const NodeLabel* LabelAt(const CircuitDocument& document, int x, int y)
    {
        for (const NodeLabel& label : document.nodeLabels)
            if (label.x == x && label.y == y) return &label;
        return nullptr;
    }

    static double LabelValue(const NodeLabel& label)
    {
        const std::size_t colon = label.text.find(':');
        return colon == std::string::npos ? -1.0 : ParseNumber(label.text.substr(colon + 1));
    }

    static void Paint(WindowRecord* circuit)
    {
        win::InvalidateRect(circuit->window, nullptr, 1);
        win::UpdateWindow(circuit->window);
        PumpFrameMessages();
    }

    // A logical point of a pane as a client point (zoom 1).
    static win::POINT ClientOf(WindowRecord* circuit, int pane, int x, int y)
    {
        win::RECT r{};
        GetPaneRect(circuit, pane, r);
        const PageRecord& page = circuit->document->pages[static_cast<std::size_t>(PanePage(*circuit->document, pane))];
        return {r.left + x - page.originX[static_cast<std::size_t>(pane)], r.top + y - page.originY[static_cast<std::size_t>(pane)]};
    }

    static win::COLORREF PixelAt(WindowRecord* circuit, win::POINT client)
    {
        win::ClientToScreen(circuit->window, &client);
        return win::ScreenPixel(client.x, client.y) & 0xFFFFFF;
    }
};

TEST_F(NodeLabelsTest, OneLabelPerConnectionWithTheNodeNumberAndTheRunsValue)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    CircuitDocument& document = *circuit->document;
    BuildNodeLabels(document);
    // The two grounded points carry none.
    ASSERT_EQ(document.nodeLabels.size(), 2u) << document.nodeLabels.size();
    const NodeLabel* in = LabelAt(document, 10, 10);
    const NodeLabel* out = LabelAt(document, 16, 10);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->kind, 0);
    EXPECT_FALSE(in->boxed);
    EXPECT_EQ(in->text.substr(0, 2), "1:");
    EXPECT_EQ(out->text.substr(0, 2), "2:");

    // Numbers only: no colon, no value; neither shown: no labels.
    document.viewOptions &= ~kViewNodeVoltages;
    BuildNodeLabels(document);
    ASSERT_EQ(document.nodeLabels.size(), 2u);
    EXPECT_EQ(LabelAt(document, 10, 10)->text, "1");
    document.viewOptions &= ~kViewNodeNumbers;
    BuildNodeLabels(document);
    EXPECT_TRUE(document.nodeLabels.empty());
    document.viewOptions |= kShowNodes;

    // After the run the pane shows both nodes at the battery's 2 V.
    EXPECT_EQ(RunAnalysisCommand(circuit, kAnalysisTransient), 0);
    // The circuit beside its analysis window, painted before the run.
    win::SendMessage(Frame().mdiClient, win::WM_MDITILE, 0, 0);
    PumpFrameMessages();
    EXPECT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    PumpFrameMessages();
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    ASSERT_EQ(Analysis().analysisKind, kAnalysisTransient);
    const int pane = FindVisiblePane(circuit);
    ASSERT_GE(pane, 0);
    EXPECT_EQ(document.nodeLabelRects[static_cast<std::size_t>(pane)].size(), 2u);
    ASSERT_EQ(document.nodeLabels.size(), 2u);
    EXPECT_NEAR(LabelValue(*LabelAt(document, 10, 10)), 2.0, 1e-3);
    EXPECT_NEAR(LabelValue(*LabelAt(document, 16, 10)), 2.0, 1e-3);

    win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
    win::SendMessage(Frame().mdiClient, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
    PumpFrameMessages();
    ZoomWindow(circuit, kCommandZoomIn);
    if (win::HWND limits = AnalysisLimitsDialog())
        win::SetWindowPos(limits, nullptr, 300, 420, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
    Paint(circuit);
    win::CurrentBackend().Present(true);
    EXPECT_TRUE(SaveScreen("schematic_node_labels"));
}

TEST_F(NodeLabelsTest, TheNodeNumbersCommandNumbersAnEditedSchematicFirst)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    CircuitDocument& document = *circuit->document;
    // As after an edit: the numbering is out of date and nothing is shown.
    document.viewOptions &= ~kShowNodes;
    document.connectionDots.clear();
    document.schematicNodeTable.clear();
    document.connectivityStale = 1;
    win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
    PumpFrameMessages();
    RouteCommand(FrameWindow(), 17403, 0);
    PumpFrameMessages();
    EXPECT_EQ(document.viewOptions & kShowNodes, kViewNodeNumbers);
    EXPECT_EQ(document.connectivityStale, 0);
    const int pane = FindVisiblePane(circuit);
    ASSERT_GE(pane, 0);
    EXPECT_EQ(document.nodeLabelRects[static_cast<std::size_t>(pane)].size(), 2u);
    ASSERT_NE(LabelAt(document, 16, 10), nullptr);
    EXPECT_EQ(LabelAt(document, 16, 10)->text, "2");
}

TEST_F(NodeLabelsTest, APictureOfThePageCarriesTheLabelsAndLeavesThePanesBoxesAlone)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    CircuitDocument& document = *circuit->document;
    for (SchematicNodeRow& row : document.schematicNodeTable)
        if (row.nodeNumber == 2) row.voltage = 1.25;
    Paint(circuit);
    const auto panes = document.nodeLabelRects;
    ASSERT_FALSE(panes[static_cast<std::size_t>(FindVisiblePane(circuit))].empty());
    const std::string text = LabelAt(document, 16, 10)->text;
    const std::string value = text.substr(text.find(':'));

    win::HDC metafile = win::CreateMetaFile(nullptr);
    DrawContext context;
    InitDrawContext(metafile, context, circuit, document.currentPane);
    DrawSchematicView(context);
    win::HMETAFILE picture = win::CloseMetaFile(metafile);
    ASSERT_NE(picture, nullptr);
    const std::vector<win::BYTE> bits = win::GetMetaFileBits(picture);
    win::DeleteMetaFile(picture);
    const std::string records(bits.begin(), bits.end());
    EXPECT_NE(records.find(value), std::string::npos) << value;
    for (std::size_t pane = 0; pane < panes.size(); ++pane) {
        ASSERT_EQ(document.nodeLabelRects[pane].size(), panes[pane].size()) << pane;
        for (std::size_t i = 0; i < panes[pane].size(); ++i)
            EXPECT_TRUE(win::EqualRect(&document.nodeLabelRects[pane][i], &panes[pane][i])) << pane;
    }
}

TEST_F(NodeLabelsTest, OnlyEligibleKindsAreDrawnOncePerPoint)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    CircuitDocument& document = *circuit->document;
    EXPECT_TRUE(NodeLabelKindShown(kDotJunction, 0));
    EXPECT_FALSE(NodeLabelKindShown(kDotNodeLabel, 0));
    EXPECT_TRUE(NodeLabelKindShown(kDotNodeLabel, kViewGridText));
    EXPECT_FALSE(NodeLabelKindShown(0, kViewGridText));
    EXPECT_TRUE(NodeLabelKindShown(0, kViewPinConnections));
    // Beside the two points where two ends meet: a named label on node 2 and a junction of three
    // ends on node 1, each at a point already labelled.
    document.connectionDots.push_back({ConnectionKey(16, 10), kDotNodeLabel, 0});
    document.connectionDots.push_back({ConnectionKey(10, 10), kDotJunction, 0});
    BuildNodeLabels(document);
    ASSERT_EQ(document.nodeLabels.size(), 4u);
    EXPECT_TRUE(document.nodeLabels[2].boxed);
    EXPECT_FALSE(document.nodeLabels[3].boxed);
    EXPECT_EQ(document.nodeLabels[2].text, LabelAt(document, 16, 10)->text);
    const int pane = FindVisiblePane(circuit);
    const auto drawn = [&](std::uint32_t view) {
        document.viewOptions = kShowNodes | view;
        Paint(circuit);
        return document.nodeLabelRects[static_cast<std::size_t>(pane)].size();
    };
    EXPECT_EQ(drawn(kViewGridText), 2u);
    EXPECT_EQ(drawn(0), 1u);
    // The first label at a point is the one drawn.
    EXPECT_EQ(drawn(kViewGridText | kViewPinConnections), 2u);
    EXPECT_EQ(drawn(kViewPinConnections), 2u);
}

// The value's box of a named net used to stand on the first letters of the net's name ("DOUT"
// read " OUT"); it follows the name on its line, and the name stays whole on the screen.
TEST_F(NodeLabelsTest, TheValueOfANamedNetLeavesItsNameReadable)
{
    WindowRecord* circuit = Load(BatteryRcCircuit() + "[Grid Text]\r\nText=DOUT\r\nGrid=16,10\r\n\r\n");
    ASSERT_NE(circuit, nullptr);
    CircuitDocument& document = *circuit->document;
    document.viewOptions = kShowNodes | kViewGridText;
    const GridText* name = nullptr;
    for (const GridText& text : ListRecords<GridText>(document.gridTextList))
        if (text.text == "DOUT") name = &text;
    ASSERT_NE(name, nullptr);
    ASSERT_TRUE(IsNodeLabel(*name));
    Paint(circuit);
    const int pane = FindVisiblePane(circuit);
    win::HDC dc = win::GetDC(circuit->window);
    win::HGDIOBJ font = SelectFontSpec(dc, name->font);
    const win::RECT text = GridTextDrawRect(dc, *name);
    RestoreFont(dc, font);
    win::ReleaseDC(circuit->window, dc);
    const std::vector<win::RECT>& boxes = document.nodeLabelRects[static_cast<std::size_t>(pane)];
    ASSERT_EQ(boxes.size(), 1u);
    const win::RECT& box = boxes[0];
    EXPECT_TRUE(box.bottom <= text.top + 2 || box.right <= text.left + 2 || box.left >= text.right - 2)
        << "box " << box.left << "," << box.top << "-" << box.right << "," << box.bottom << " over the name "
        << text.left << "," << text.top << "-" << text.right << "," << text.bottom;
    SaveScreen("schematic_named_net_value");
}

TEST_F(NodeLabelsTest, OtherPanesEraseAndRedrawTheirLabelsTheToggleLeavesThemErased)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    CircuitDocument& document = *circuit->document;
    win::SendMessage(Frame().mdiClient, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
    PumpFrameMessages();
    win::RECT client{};
    win::GetClientRect(circuit->window, &client);
    // Two side by side panes on the same page, the left one active.
    SetVerticalSplitter(circuit, client.right / 2);
    LayoutPaneControls(circuit, true);
    int left = -1, right = -1;
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (!IsPaneVisible(circuit, pane)) continue;
        (pane == 0 || pane == 3 ? right : left) = pane;
    }
    ASSERT_GE(left, 0);
    ASSERT_GE(right, 0);
    document.currentPane = left;
    Paint(circuit);
    ASSERT_EQ(document.nodeLabelRects[static_cast<std::size_t>(right)].size(), 2u);
    ASSERT_EQ(document.nodeLabelRects[static_cast<std::size_t>(left)].size(), 2u);
    const win::COLORREF background = ColorIndexRgb(15);

    // Marks just outside each pane's first label box, inside the band that an erase clears.
    const win::RECT r0 = document.nodeLabelRects[static_cast<std::size_t>(right)][0];
    const win::RECT r1 = document.nodeLabelRects[static_cast<std::size_t>(left)][0];
    const win::POINT mark0 = ClientOf(circuit, right, r0.left - 1, r0.top - 1);
    const win::POINT mark1 = ClientOf(circuit, left, r1.left - 1, r1.top - 1);
    win::HDC dc = win::GetDC(circuit->window);
    win::SetPixel(dc, mark0.x, mark0.y, win::RGB(0, 255, 0));
    win::SetPixel(dc, mark1.x, mark1.y, win::RGB(0, 255, 0));
    win::ReleaseDC(circuit->window, dc);
    EXPECT_EQ(PixelAt(circuit, mark0), win::RGB(0, 255, 0));

    // A new value for node 1 reaches the other pane only.
    for (SchematicNodeRow& row : document.schematicNodeTable)
        if (row.nodeNumber == 1) row.voltage = 5.0;
    RedrawOtherPanes(circuit);
    EXPECT_EQ(PixelAt(circuit, mark0), background);
    EXPECT_EQ(PixelAt(circuit, mark1), win::RGB(0, 255, 0));
    EXPECT_EQ(document.nodeLabelRects[static_cast<std::size_t>(right)].size(), 2u);
    ASSERT_NE(LabelAt(document, 10, 10), nullptr);
    EXPECT_NEAR(LabelValue(*LabelAt(document, 10, 10)), 5.0, 1e-9);
    // Its box is drawn again: the number's ink stands inside it.
    bool ink = false;
    const win::RECT box = document.nodeLabelRects[static_cast<std::size_t>(right)][0];
    for (int y = box.top + 1; y < box.bottom - 1 && !ink; ++y)
        for (int x = box.left + 1; x < box.right - 1 && !ink; ++x)
            ink = PixelAt(circuit, ClientOf(circuit, right, x, y)) != background;
    EXPECT_TRUE(ink);

    // With the toggle set the labels are erased and stay so.
    SetDrawPassFlags(8);
    RedrawOtherPanes(circuit);
    SetDrawPassFlags(8);
    EXPECT_TRUE(document.nodeLabelRects[static_cast<std::size_t>(right)].empty());
    EXPECT_EQ(document.nodeLabelRects[static_cast<std::size_t>(left)].size(), 2u);
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            ASSERT_EQ(PixelAt(circuit, ClientOf(circuit, right, x, y)), background) << x << "," << y;
}

}  // namespace
}  // namespace kq5::testing
