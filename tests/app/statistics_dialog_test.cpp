// The Statistics dialog, opened by Alt+Z in the started frame.
#include <gtest/gtest.h>

#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "frame_test_support.h"
#include "netlist/component_types.h"
#include "schematic/component_definition.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "screen_capture_support.h"

namespace kq5::testing {
namespace {

class StatisticsDialog : public StartedFrame {};

TEST_F(StatisticsDialog, AltZShowsTheFactsAndCloseEndsIt)
{
    WindowRecord* schematic = StartWithSchematic();
    ASSERT_NE(schematic, nullptr);
    // Two resistors and a ground: the ground only connects and is not counted.
    ComponentDefinition resistor, ground;
    resistor.type = static_cast<std::uint16_t>(FindComponentTypeByName("Resistor"));
    ground.type = 18;
    ASSERT_EQ(FindComponentTypeRow(ground.type)->pinNames, kPinNamesConnection);
    for (ComponentDefinition* definition : {&resistor, &resistor, &ground}) NewSchematicItem(schematic)->definition = definition;
    std::vector<std::string> lines;
    bool shown = false;
    win::headless::SetIdleHandler([&]() {
        if (shown) return false;
        shown = true;
        win::HWND dialog = win::GetActiveWindow();
        EXPECT_EQ(win::GetWindowText(dialog), "Statistics");
        win::HWND list = win::GetDlgItem(dialog, 101);
        const int count = static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::string text(static_cast<std::size_t>(win::SendMessage(list, win::LB_GETTEXTLEN, i, 0)), '\0');
            win::SendMessage(list, win::LB_GETTEXT, i, reinterpret_cast<win::LPARAM>(text.data()));
            lines.push_back(text);
        }
        EXPECT_TRUE(SaveScreen("statistics"));
        win::headless::PressKeyWithModifiers('C', false, false, true);  // "&Close"
        return true;
    });
    win::headless::PressKeyWithModifiers('Z', false, false, true);
    PumpFrameMessages();
    win::headless::SetIdleHandler({});
    ASSERT_TRUE(shown);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Executable date = May 20 1999");
    EXPECT_EQ(lines[1].rfind("RAM memory installed = ", 0), 0u);
    EXPECT_NE(lines[1].find(" MEG"), std::string::npos);
    EXPECT_EQ(lines[2].rfind("RAM memory Available = ", 0), 0u);
    EXPECT_EQ(lines.back(), "Components = 2");
    EXPECT_EQ(win::GetActiveWindow(), FrameWindow());
    // The definitions live in this test only.
    for (ListNode* node = schematic->document->itemList.head; node; node = node->next) static_cast<SchematicItem*>(node)->definition = nullptr;
}

}  // namespace
}  // namespace kq5::testing
