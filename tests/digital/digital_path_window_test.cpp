// The "Path" dialog on a drawn schematic: all paths from the command, the two click modes'
// requests, the listing with its delays, the highlight of a chosen path (its parts and the
// wires between them) and what closing puts back.
#include <fstream>
#include <string>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "../plots/circuit_file_test_support.h"
#include "app/command_routing.h"
#include "app/frame_window.h"
#include "digital/digital_engine.h"
#include "digital/digital_path_window.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "schematic/mouse_input.h"
#include "schematic/schematic_render.h"
#include "ui/preference_values.h"

namespace kq5::testing {
namespace {

// A stimulus into a buffer U1 whose output feeds the inverter U2 directly and, over three
// wires, the second input of the AND gate U3; the inverter's output is the first input of U3.
std::string PathCircuit()
{
    const std::string gate = CircuitAttr("TIMING MODEL", "D0_GATE") + CircuitAttr("I/O MODEL", "IO_STD");
    return kCircuitFileHeader +
           CircuitPart("Stim1", 10, 10, "S1", (CircuitAttr("COMMAND", "0NS 0 10NS 1") + CircuitAttr("FORMAT", "1") + CircuitAttr("I/O MODEL", "IO_STD")).c_str()) +
           CircuitPart("Buffer", 15, 10, "U1", gate.c_str()) + CircuitPart("Inverter", 20, 10, "U2", gate.c_str()) +
           CircuitPart("2 Input AND", 25, 11, "U3", gate.c_str()) + CircuitWire(20, 10, 20, 14) + CircuitWire(20, 14, 23, 14) +
           CircuitWire(23, 14, 23, 12) + CircuitWire(23, 12, 25, 12) + CircuitWire(31, 11, 34, 11) +
           "[Limits]\r\nAnalysis=Transient\r\nTRange=100n\r\nNPts=51\r\nTemp=27\r\n\r\n";
}

class PathWindowTest : public StartedFrame {
protected:
    void TearDown() override
    {
        ClosePathWindow();
        ResetPathWindowForTests();
        StartedFrame::TearDown();
    }

    WindowRecord* Open()
    {
        Start();
        WindowRecord* circuit = WriteAndLoadCircuit(dir_, "paths.cir", PathCircuit().c_str(), kFileKindSchematic,
                                                    kLoadDefaults | kLoadShowWindow, kDigitalTestModels);
        PumpFrameMessages();
        return circuit;
    }

    static std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        win::HWND list = win::GetDlgItem(PathWindow(), kPathList);
        const int count = static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::string text(static_cast<std::size_t>(win::SendMessage(list, win::LB_GETTEXTLEN, static_cast<win::WPARAM>(i), 0)), '\0');
            win::SendMessage(list, win::LB_GETTEXT, static_cast<win::WPARAM>(i), reinterpret_cast<win::LPARAM>(text.data()));
            lines.push_back(text.c_str());
        }
        return lines;
    }

    static SchematicItem* Named(WindowRecord* circuit, const char* part)
    {
        for (SchematicItem& item : ListRecords<SchematicItem>(circuit->document->itemList))
            if (item.IsComponent() && GetAttributeText(&item, kAttrPart) == part) return &item;
        return nullptr;
    }
};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST_F(PathWindowTest, AllPathsListedHighlightedAndPutBackOnClose)
{
    WindowRecord* circuit = Open();
    ASSERT_NE(circuit, nullptr);
    circuit->document->digitalPathColor = 13;
    const int mode = circuit->mode;
    // "Show All Paths" from the menu.
    RouteCommand(FrameWindow(), 17453, 0);
    PumpFrameMessages();
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    ASSERT_NE(PathWindow(), nullptr);
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0].substr(0, 4), "No. ");
    // Falling start: 7 through the buffer, the inverter rises (5) and so does the AND (5): LH
    // 17 ns; rising: 5 + 7 + 7 = 19 ns. The direct branch: 10 and 14 ns.
    EXPECT_TRUE(EndsWith(lines[1], "S1 U1 U2 U3")) << lines[1];
    EXPECT_NE(lines[1].find("17N"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("19N"), std::string::npos) << lines[1];
    EXPECT_TRUE(EndsWith(lines[2], "S1 U1 U3")) << lines[2];
    EXPECT_NE(lines[2].find("10N"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("14N"), std::string::npos) << lines[2];
    // The frame's first menus are grayed while the dialog is open.
    win::HMENU menu = win::GetMenu(FrameWindow());
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(win::GetMenuState(menu, 0, win::MF_BYPOSITION) & win::MF_GRAYED, 0u);

    // Choosing the direct branch lights its parts and the three wires from U1 to U3's input,
    // not the inverter nor the wire after the AND gate.
    win::SendDlgItemMessage(PathWindow(), kPathList, win::LB_SETCURSEL, 2, 0);
    HighlightPathEntry(2);
    for (const char* part : {"S1", "U1", "U3"}) {
        SchematicItem* item = Named(circuit, part);
        ASSERT_NE(item, nullptr) << part;
        EXPECT_TRUE(item->selection & kSelectPending) << part;
        EXPECT_EQ(item->color, 13) << part;
    }
    EXPECT_FALSE(Named(circuit, "U2")->selection & kSelectPending);
    int lit = 0;
    for (SchematicItem& item : ListRecords<SchematicItem>(circuit->document->itemList))
        if (item.itemKind == kItemWire && (item.selection & kSelectPending)) {
            ++lit;
            EXPECT_NE(item.x1, 31);
        }
    EXPECT_EQ(lit, 4);
    win::SendMessage(Frame().mdiClient, win::WM_MDITILE, 0, 0);
    PumpFrameMessages();
    win::SetWindowPos(PathWindow(), win::HWND_TOP, 300, 380, 0, 0, win::SWP_NOSIZE);
    PumpFrameMessages();
    EXPECT_TRUE(SaveScreen("digital_path_window"));
    // The lit parts and wires are drawn in the path colour, which nothing else on the page uses.
    const auto pathPixels = [&] {
        win::InvalidateRect(circuit->window, nullptr, 1);
        PumpFrameMessages();
        win::RECT r{};
        win::GetWindowRect(circuit->window, &r);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += (win::ScreenPixel(x, y) & 0xFFFFFF) == ColorIndexRgb(13) ? 1 : 0;
        return n;
    };
    EXPECT_GT(pathPixels(), 100);

    ClosePathWindow();
    EXPECT_EQ(PathWindow(), nullptr);
    EXPECT_EQ(circuit->mode, mode);
    EXPECT_FALSE(Named(circuit, "U1")->selection & kSelectPending);
    EXPECT_EQ(pathPixels(), 0);
    EXPECT_EQ(win::GetMenuState(menu, 0, win::MF_BYPOSITION) & win::MF_GRAYED, 0u);
    EXPECT_EQ(DigitalSimulator().deviceCount, 0);
}

TEST_F(PathWindowTest, DelaysFollowTheSchematicPathDelaysFormat)
{
    WindowRecord* circuit = Open();
    ASSERT_NE(circuit, nullptr);
    const std::string saved = PreferenceSettings().pathDelayFormat;
    // What the Preferences dialog's "Schematic Path Delays" row sets.
    PreferenceSettings().pathDelayFormat = "2e";
    RouteCommand(FrameWindow(), 17453, 0);
    PumpFrameMessages();
    const std::vector<std::string> lines = Lines();
    PreferenceSettings().pathDelayFormat = saved;
    ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[1].substr(0, 26), "0000 1.70e-08  1.90e-08  S") << lines[1];
}

TEST_F(PathWindowTest, ClickModesAskFromOnePartOrBetweenTwo)
{
    WindowRecord* circuit = Open();
    ASSERT_NE(circuit, nullptr);
    InstallPathWindow();
    // Point to End: from the inverter to the end of its paths.
    ShowPathWindowForParts(circuit, Named(circuit, "U2"), nullptr);
    ASSERT_NE(PathWindow(), nullptr);
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(EndsWith(lines[1], "U2 U3")) << lines[1];
    // Point to Point: from the buffer to the AND gate, both ways to it.
    ShowPathWindowForParts(circuit, Named(circuit, "U1"), Named(circuit, "U3"));
    lines = Lines();
    ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(EndsWith(lines[1], "U1 U2 U3")) << lines[1];
    EXPECT_TRUE(EndsWith(lines[2], "U1 U3")) << lines[2];
    // From the AND gate back to the buffer: no path gets there; the one from U3 stays whole.
    ShowPathWindowForParts(circuit, Named(circuit, "U3"), Named(circuit, "U1"));
    lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(EndsWith(lines[1], "U3")) << lines[1];
}

}  // namespace
}  // namespace kq5::testing
