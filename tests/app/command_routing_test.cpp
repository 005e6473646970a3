// Command routing: every id of the menus, keys and tool buttons reaches its handler or goes on to
// the active window.
#include <gtest/gtest.h>

#include "app/command_routing.h"
#include "app/tool_windows.h"
#include "document/component_definition.h"
#include "document/component_library.h"
#include "document/editor_services.h"
#include "ui/font_select.h"
#include "app/info_dialogs.h"
#include "ui/preference_values.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "ui/usage_file.h"
#include "platform/common_dialogs_font.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "frame_test_support.h"
#include "analog/run_windows.h"

namespace kq5::testing {
namespace {

class CommandRouting : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        schematic_ = StartWithSchematic();
        ASSERT_NE(schematic_, nullptr);
    }

    int Route(int id)
    {
        const int result = RouteCommand(FrameWindow(), static_cast<win::WPARAM>(id), 0);
        PumpFrameMessages();
        return result;
    }

    WindowRecord* schematic_ = nullptr;
};

TEST_F(CommandRouting, IdsThatOnlyNameDialogsGoOnToTheActiveWindow)
{
    // Dialog templates and their controls, never sent by a menu, key or button.
    for (int id : {17159, 17161, 17162, 17164, 17165, 17168, 17169, 17170, 17172, 17180, 17214, 14583, 14584, 14586,
                   14587, 14599}) {
        win::ClearMessageBoxLog();
        EXPECT_EQ(Route(id), 1) << id;
        EXPECT_TRUE(win::MessageBoxLog().empty()) << id;
    }
}

TEST_F(CommandRouting, TheNotAvailableWarningNamesTheCommandByItsShortName)
{
    win::ClearMessageBoxLog();
    WarnNotAvailable(17502);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find("'" + CommandShortName(17502) + "' is not available in this build."),
              std::string::npos);
    EXPECT_EQ(CommandShortName(17502), "Add Model Statements");
    EXPECT_EQ(CommandShortName(999999), "999999");
}

TEST_F(CommandRouting, ViewCommandsToggleTheirBitOnTheSchematic)
{
    CircuitDocument& document = *schematic_->document;
    for (int id = 17400; id <= 17409; ++id) {
        const std::uint32_t before = document.viewOptions;
        EXPECT_EQ(Route(id), 0);
        EXPECT_EQ(document.viewOptions ^ before, ViewOptionBit(id)) << id;
        Route(id);
        EXPECT_EQ(document.viewOptions, before) << id;
    }
    EXPECT_EQ(ViewOptionBit(17404), 0x2u);
    EXPECT_EQ(ViewOptionBit(17410), 0u);
}

TEST_F(CommandRouting, EditModesGoToTheActiveWindowButTextWaitsForTheAnalysisToEnd)
{
    EXPECT_EQ(Route(17566), 0);
    EXPECT_EQ(schematic_->mode, 17566);
    Analysis().analysisKind = kAnalysisTransient;
    Route(17563);
    EXPECT_EQ(schematic_->mode, 17566);
    Analysis().analysisKind = kAnalysisNone;
    Route(17563);
    EXPECT_EQ(schematic_->mode, 17563);
}

TEST_F(CommandRouting, CloseAndWindowArrangementReachTheMdiClient)
{
    WindowRecord* second = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(second, nullptr);
    win::ShowWindow(second->window, win::SW_SHOW);
    PumpFrameMessages();
    EXPECT_EQ(Route(17302), 0);  // tile vertical: both windows side by side
    win::RECT a{}, b{};
    win::GetWindowRect(schematic_->window, &a);
    win::GetWindowRect(second->window, &b);
    EXPECT_FALSE(RectsIntersect(a, b));

    ActivateWindowRecord(second, false);
    PumpFrameMessages();
    ASSERT_EQ(GetActiveChildRecord(), second);
    EXPECT_EQ(Route(12507), 0);
    EXPECT_FALSE(IsLiveWindowRecord(second));
    EXPECT_EQ(GetActiveChildRecord(), schematic_);
}

TEST_F(CommandRouting, UnknownIdsAndTheEmptyComponentMenuGoOnToTheActiveWindow)
{
    EXPECT_EQ(Route(3400), 1);   // function menu of the text window
    // Past the component list the component menu has no entry.
    EXPECT_EQ(Route(42000 + ComponentDefinitionCount()), 1);
    EXPECT_EQ(Route(60000), 1);
    // Only the low word is the id.
    EXPECT_EQ(RouteCommand(FrameWindow(), (1u << 16) | 17403u, 0), 0);
    EXPECT_EQ(schematic_->document->viewOptions & 0x1u, 0x1u ^ (kDefaultViewOptions & 0x1u));
}

TEST_F(CommandRouting, AComponentMenuEntryChoosesThePartToPlace)
{
    ASSERT_GT(ComponentDefinitionCount(), 1);
    SetChosenComponentDefinition(nullptr);
    EXPECT_EQ(Route(17561), 0);
    ASSERT_EQ(schematic_->mode, 17561);
    EXPECT_EQ(Route(42001), 0);
    const auto* second = static_cast<ComponentDefinition*>(ComponentLibrary().definitions.head->next);
    EXPECT_EQ(ChosenComponentDefinition(), second);
    EXPECT_EQ(schematic_->mode, 17562);
    // A palette pick does the same by name; an unknown name changes nothing.
    ASSERT_TRUE(static_cast<bool>(PaletteHooks().pickComponent));
    const auto* first = static_cast<ComponentDefinition*>(ComponentLibrary().definitions.head);
    PaletteHooks().pickComponent(first->name);
    EXPECT_EQ(ChosenComponentDefinition(), first);
    PaletteHooks().pickComponent("no such part");
    EXPECT_EQ(ChosenComponentDefinition(), first);
}

TEST_F(CommandRouting, EveryCommandIsCountedOnceTakenOrNot)
{
    // A handled command, one that does nothing here, and one that goes on to the window.
    for (int id : {17403, 17502, 17167}) {
        const std::uint32_t before = CommandUseCount(static_cast<std::uint32_t>(id));
        Route(id);
        EXPECT_EQ(CommandUseCount(static_cast<std::uint32_t>(id)), before + 1) << id;
    }
    const std::uint32_t probe = CommandUseCount(16001);
    EXPECT_EQ(Route(16001), 1);  // a probe menu item without a probe run is not taken
    EXPECT_EQ(CommandUseCount(16001), probe + 1);
}

TEST_F(CommandRouting, TheFontCommandGivesTheActiveWindowItsFont)
{
    win::FontDialogAnswer answer;
    answer.face = "Courier New";
    answer.size = "14";
    answer.bold = true;
    win::ScriptFontDialogAnswer(answer);
    EXPECT_EQ(Route(17452), 0);
    EXPECT_EQ(FaceName(schematic_->font.face), "Courier New");
    EXPECT_NE(schematic_->font.style & kFontBold, 0);
    ASSERT_NE(schematic_->fontHandle, nullptr);
    EXPECT_EQ(win::GetFocus(), schematic_->document->textAreaWindow);
    // Cancelled, nothing changes.
    const win::HFONT kept = schematic_->fontHandle;
    win::ScriptFontDialogAnswer(std::nullopt);
    Route(17452);
    EXPECT_EQ(schematic_->fontHandle, kept);
}

TEST_F(CommandRouting, TheCalculatorStillCalculatesAfterAnErrorWasShown)
{
    ReportMessage("E", kMsgInsufficientMemory);  // any error box marks the circuit build failed
    std::string text = "2*3";
    EXPECT_EQ(EvaluateCalculatorText(text), FormatNumber(6.0, PreferenceSettings().calculatorFormat, 0));
}

TEST_F(CommandRouting, AnEmptyRecentFileEntryDoesNothing)
{
    win::ClearMessageBoxLog();
    for (int id = 3892; id <= 3899; ++id) EXPECT_EQ(Route(id), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

}  // namespace
}  // namespace kq5::testing
