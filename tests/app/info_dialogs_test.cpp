// The About box, the Calculator and the Characteristics dialog.
#include <unistd.h>

#include <fstream>

#include "ui/color_dialog.h"
#include "ui/program_settings.h"
#include "netlist/defines.h"
#include "core/engineering_numbers.h"
#include "document/circuit_document.h"
#include "platform/menu.h"
#include "settings_dialog_test_support.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using testing::SettingsDialogTest;
using win::testing::InputScript;

using InfoDialogsTest = SettingsDialogTest;

TEST_F(InfoDialogsTest, AboutShowsTheVersionOnceHoweverOftenOpened)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 2; ++i) {
        InputScript script;
        script.Then([&] {
            lines.push_back(win::GetDlgItemText(Dialog(), 100));
            if (lines.size() == 2) SaveScreen("about_dialog");
        }).Then([] { Click(win::IDOK); });
        script.Install();
        ShowAboutBox(frame_);
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Kestrion V Version 2.1.2");
    EXPECT_EQ(lines[1], "Kestrion V Version 2.1.2");
}

TEST_F(InfoDialogsTest, CalculatorEvaluatesThroughTheExpressionEngine)
{
    std::string text = "1+2";
    EXPECT_EQ(EvaluateCalculatorText(text), FormatNumber(3.0, "16e", 0));
    text = "10 + -4";
    EXPECT_EQ(EvaluateCalculatorText(text), FormatNumber(6.0, "16e", 0));
    EXPECT_EQ(text, "10 -4");
    PreferenceSettings().calculatorFormat = "3";
    text = "sqrt(-4)";
    const std::string complex = EvaluateCalculatorText(text);
    EXPECT_NE(complex.find("\ni="), std::string::npos) << complex;
    text = "1+";
    EXPECT_FALSE(EvaluateCalculatorText(text).empty());  // the compiler's message, not a box
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(InfoDialogsTest, CalculatorKnowsTheDefaultDefinitionsOnlyWhileEvaluating)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kq5_calc_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "DEF.KQ5") << ".DEFINE GAIN 21\n";
    Settings().programDirectory = dir.string() + "/";
    std::string text = "GAIN*2";
    EXPECT_EQ(EvaluateCalculatorText(text), FormatNumber(42.0, "16e", 0));
    std::string substituted;
    SubstituteDefines(substituted, 0, "GAIN");
    EXPECT_EQ(substituted, "GAIN");  // dropped again after the line
    fs::remove_all(dir);
}

TEST_F(InfoDialogsTest, CalculatorKeepsWhatItShowsAndClosesWithEscape)
{
    win::HMENU menu = win::CreateMenu();
    win::AppendMenu(menu, win::MF_STRING, 17312, "Calculator...");
    win::SetMenu(frame_, menu);

    ShowCalculator(frame_);
    win::HWND calc = CalculatorWindow();
    ASSERT_NE(calc, nullptr);
    EXPECT_TRUE(win::GetMenuState(menu, 17312, win::MF_BYCOMMAND) & win::MF_CHECKED);
    // A long expression: the field takes what is kept, so what is evaluated is what is seen.
    const std::string longText = "1+" + std::string(60, '0') + "+" + std::string(60, '1');
    win::SetFocus(win::GetDlgItem(calc, kCalculatorExpression));
    win::headless::TypeText(longText);
    Pump();
    const std::string field = win::GetDlgItemText(calc, kCalculatorExpression);
    EXPECT_EQ(field.size(), kCalculatorTextMax);
    win::testing::ClickCenter(win::GetDlgItem(calc, kCalculatorCalculate));
    Pump();
    EXPECT_EQ(CalculatorExpression(), field);
    std::string copy = field;
    EXPECT_EQ(win::GetDlgItemText(calc, kCalculatorResult), EvaluateCalculatorText(copy));

    win::SetDlgItemText(calc, kCalculatorExpression, "2*(3+4)");
    win::testing::ClickCenter(win::GetDlgItem(calc, kCalculatorCalculate));
    Pump();
    SaveScreen("calculator_dialog");
    // Esc reaches the dialog as IDCANCEL through the message loop's dialog keys.
    win::SendMessage(calc, win::WM_COMMAND, win::IDCANCEL, 0);
    Pump();
    EXPECT_EQ(CalculatorWindow(), nullptr);
    EXPECT_FALSE(win::GetMenuState(menu, 17312, win::MF_BYCOMMAND) & win::MF_CHECKED);

    ShowCalculator(frame_);
    ASSERT_NE(CalculatorWindow(), nullptr);
    EXPECT_EQ(win::GetDlgItemText(CalculatorWindow(), kCalculatorExpression), "2*(3+4)");
}

TEST_F(InfoDialogsTest, CharacteristicsTestThenCancelRestoresTheWindow)
{
    WindowRecord* record = NewWindowRecord(frame_, kWindowSchematic, true);
    record->document->digitalPathColor = 9;
    record->document->componentFont.color = 12;
    bool fontEnabledOnComponent = true;
    std::size_t entries = 0;
    InputScript script;
    script.Then([&] {
        entries = static_cast<std::size_t>(win::SendMessage(Item(kCharacteristicsList), win::LB_GETCOUNT, 0, 0));
        win::SendMessage(Item(kCharacteristicsList), win::LB_SETCURSEL, 11, 0);
        Click(kFirstPaletteButton + 50);
    }).Then([&] {
        Click(kCharacteristicsTest);
    }).Then([&] {
        EXPECT_EQ(record->document->digitalPathColor, 50);  // tried on the window
        win::SendMessage(Item(kCharacteristicsList), win::LB_SETCURSEL, 4, 0);
        win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(kCharacteristicsList, win::LBN_SELCHANGE),
                         reinterpret_cast<win::LPARAM>(Item(kCharacteristicsList)));
        fontEnabledOnComponent = win::IsWindowEnabled(Item(kCharacteristicsFont)) != 0;
        SaveScreen("characteristics_dialog");
        Click(win::IDCANCEL);
    });
    script.Install();
    EXPECT_EQ(RunCharacteristicsDialog(record, frame_), 0);
    EXPECT_EQ(entries, 12u);
    EXPECT_FALSE(fontEnabledOnComponent);
    EXPECT_EQ(record->document->digitalPathColor, 9);
    EXPECT_EQ(record->modified, 0);

    InputScript ok;
    ok.Then([] {
        win::SendMessage(Item(kCharacteristicsList), win::LB_SETCURSEL, 11, 0);
        Click(kFirstPaletteButton + 50);
    }).Then([] { Click(win::IDOK); });
    ok.Install();
    EXPECT_EQ(RunCharacteristicsDialog(record, frame_), 1);
    EXPECT_EQ(record->document->digitalPathColor, 50);
    EXPECT_EQ(record->modified, 1);
}

TEST_F(InfoDialogsTest, CharacteristicsOfATextWindowOfferThreeEntries)
{
    WindowRecord* record = NewWindowRecord(frame_, kWindowTextCircuit, true);
    record->document->backgroundColor = 7;
    std::size_t entries = 0;
    InputScript script;
    script.Then([&] {
        entries = static_cast<std::size_t>(win::SendMessage(Item(kCharacteristicsList), win::LB_GETCOUNT, 0, 0));
        win::SendMessage(Item(kCharacteristicsList), win::LB_SETCURSEL, 2, 0);
        Click(kFirstPaletteButton + 14);
    }).Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunCharacteristicsDialog(record, frame_), 1);
    EXPECT_EQ(entries, 3u);
    EXPECT_EQ(record->document->textBackgroundColor, 14);
    EXPECT_EQ(record->document->backgroundColor, 7);
}

}  // namespace
}  // namespace kq5
