// Preferences: format normalizing, defaults, the keys, the rows and the dialog with its pages.
#include "ui/color_dialog.h"
#include "document/circuit_document.h"
#include "platform/common_dialogs_color.h"
#include "platform/common_dialogs_font.h"
#include "settings_dialog_test_support.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using testing::SettingsDialogTest;
using win::testing::InputScript;

using PreferencesTest = SettingsDialogTest;

TEST(NormalizeFormatText, FormatsAreMadeSafeForTheNumberPrinter)
{
    EXPECT_EQ(NormalizeFormatText("5", true), "5.0");
    EXPECT_EQ(NormalizeFormatText("5.3", true), "5.3");
    EXPECT_EQ(NormalizeFormatText("-2.20", true), "3.16");
    EXPECT_EQ(NormalizeFormatText("x", true), "0.0");
    EXPECT_EQ(NormalizeFormatText("20E", false), "16E");
    EXPECT_EQ(NormalizeFormatText("4e", false), "4e");
    EXPECT_EQ(NormalizeFormatText("7xE", false), "7E");
    EXPECT_EQ(NormalizeFormatText("xe", false), "3e");
    EXPECT_EQ(NormalizeFormatText("99999999999e", false), "16e");
    EXPECT_EQ(NormalizeFormatText("2e", true), "2e");  // the letter is looked for first
    EXPECT_EQ(NormalizeFormatText("1234", false), "16");
    EXPECT_EQ(NormalizeFormatText("20", false), "16");
    EXPECT_EQ(NormalizeFormatText("16", false), "16");
    EXPECT_EQ(NormalizeFormatText("7a", false), "7");
    EXPECT_EQ(NormalizeFormatText("", false), "3");
    EXPECT_EQ(NormalizeFormatText("ab", false), "3");
}

TEST_F(PreferencesTest, DefaultsFollowTheSystemFont)
{
    const PreferenceValues& p = PreferenceSettings();
    const int h = p.defaultAttributes[0].height;
    ASSERT_LT(h, 0);
    EXPECT_EQ(p.defaultAttributes[0].color, 12);
    EXPECT_EQ(p.defaultAttributes[2].height, h * 3 / 4);
    EXPECT_EQ(p.defaultAttributes[4].height, h * 2 / 3);
    EXPECT_EQ(p.defaultAttributes[26].height, h + 2);
    EXPECT_EQ(FaceName(p.defaultAttributes[8].face), "Courier New");
    EXPECT_EQ(FaceName(p.defaultAttributes[60].face), "Arial");
    EXPECT_EQ(p.defaultAttributes[34].color, 8);
    EXPECT_EQ(p.defaultAttributes[50].color, 0);
    EXPECT_EQ(Settings().operationalOptions, 49735u);
    EXPECT_EQ(p.valueFormat, "5.3");
    EXPECT_EQ(p.calculatorFormat, "16e");
}

TEST_F(PreferencesTest, KeysRoundTripAndReadCaseBlind)
{
    PreferenceValues& p = PreferenceSettings();
    p.defaultAttributes[47].color = 33;
    p.customColors[15] = 0x123456;
    p.scaleColor = false;
    Settings().operationalOptions = 0x8001;
    SettingsKeys out;
    out.writing = true;
    PreferencesSection(out);
    ASSERT_EQ(out.keys.size(), 4u + 7u + 1u + 1u + 51u + 16u);
    EXPECT_EQ(out.keys[0], (std::pair<std::string, std::string>{"Operational Options", "32769"}));
    EXPECT_EQ(out.keys[2], (std::pair<std::string, std::string>{"Scale Color", "No"}));
    EXPECT_EQ(out.keys[12].first, ";Default Attributes");
    EXPECT_EQ(out.keys[13].first, "Component");
    EXPECT_EQ(out.keys[13].second.substr(0, 7), "Height=");
    EXPECT_EQ(out.keys.back(), (std::pair<std::string, std::string>{"CUSTOM_COLOR_15", "1193046"}));

    const auto saved = p.defaultAttributes;
    ResetPreferenceValuesForTests();
    Settings().operationalOptions = kDefaultOperationalOptions;
    SettingsKeys in;
    in.keys = out.keys;
    in.keys.push_back({"component", "Height=-20,FStyle=4,Color=5,Name=Courier New"});
    in.keys.push_back({"CUSTOM_COLOR_16", "9"});
    in.keys.push_back({"ValueFormat", "1234567890.12"});  // longer than the field: kept whole
    PreferencesSection(in);
    EXPECT_EQ(p.defaultAttributes[47].color, 33);
    EXPECT_EQ(p.defaultAttributes[1].height, saved[1].height);
    EXPECT_EQ(p.defaultAttributes[0].height, -20);
    EXPECT_EQ(p.defaultAttributes[0].color, 5);
    EXPECT_EQ(FaceName(p.defaultAttributes[0].face), "Courier New");
    EXPECT_EQ(p.customColors[15], 0x123456u);
    EXPECT_FALSE(p.scaleColor);
    EXPECT_EQ(Settings().operationalOptions, 0x8001u);
    EXPECT_EQ(p.valueFormat, "1234567890.12");

    SettingsKeys none;
    ResetPreferenceValuesForTests();
    PreferencesSection(none);
    EXPECT_EQ(p.tagFormat, "3");
}

TEST_F(PreferencesTest, GroupsStartClosedAndOpenToTheirChildren)
{
    std::vector<PreferenceRow> rows = BuildPreferenceRows();
    std::vector<int> visible = VisiblePreferenceRows(rows);
    ASSERT_EQ(visible.size(), 10u);
    EXPECT_EQ(PreferenceRowText(rows[static_cast<std::size_t>(visible[6])]), "[+]Circuit Defaults");
    *rows[static_cast<std::size_t>(visible[6])].expanded = true;
    visible = VisiblePreferenceRows(rows);
    ASSERT_EQ(visible.size(), 26u);
    EXPECT_EQ(PreferenceRowText(rows[static_cast<std::size_t>(visible[6])]), "[-]Circuit Defaults");
    EXPECT_EQ(rows[static_cast<std::size_t>(visible[7])].text, "Background");
    EXPECT_TRUE(rows[static_cast<std::size_t>(visible[22])].lastChild);
    EXPECT_EQ(rows[static_cast<std::size_t>(visible[22])].text, "Select Box");
    EXPECT_EQ(PreferenceRowText(rows[static_cast<std::size_t>(visible[22])]), "\xC0" "Select Box");
    EXPECT_EQ(PreferenceRowText(rows[static_cast<std::size_t>(visible[21])]), "\xC3" "Pin Connection");
}

int ListIndexOf(const std::string& text)
{
    return static_cast<int>(win::SendMessage(win::GetDlgItem(win::GetActiveWindow(), kPreferencesList),
                                             win::LB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                             reinterpret_cast<win::LPARAM>(text.c_str())));
}

void SelectRow(const std::string& text)
{
    win::HWND dialog = win::GetActiveWindow();
    const int index = ListIndexOf(text);
    ASSERT_GE(index, 0) << text;
    win::SendDlgItemMessage(dialog, kPreferencesList, win::LB_SETCURSEL, static_cast<win::WPARAM>(index), 0);
    win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(kPreferencesList, win::LBN_SELCHANGE),
                     reinterpret_cast<win::LPARAM>(win::GetDlgItem(dialog, kPreferencesList)));
}

void OpenGroup(const std::string& text)
{
    SelectRow(text);
    win::HWND dialog = win::GetActiveWindow();
    win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(kPreferencesList, win::LBN_DBLCLK),
                     reinterpret_cast<win::LPARAM>(win::GetDlgItem(dialog, kPreferencesList)));
}

TEST_F(PreferencesTest, EveryPageShowsItsControls)
{
    std::map<std::string, bool> visible;
    const auto seen = [&](const std::string& key, int id) { visible[key] = win::IsWindowVisible(Item(id)) != 0; };
    InputScript script;
    script.Then([&] {
        seen("options.sound", kFirstOptionBox);
        seen("options.format", kFirstFormatField);
        SaveScreen("preferences_operational_options");
        SelectRow("Palettes");
    }).Then([&] {
        seen("palette.0", kFirstPaletteButton);
        seen("palette.16", kFirstPaletteButton + 16);
        seen("palette.sound", kFirstOptionBox);
        SaveScreen("preferences_palettes");
        SelectRow("Printout Options");
    }).Then([&] {
        seen("printout.time", kTimeStampBox);
        SaveScreen("preferences_printout_options");
        SelectRow("Format");
    }).Then([&] {
        seen("format.field", kFirstFormatField + 6);
        SaveScreen("preferences_format");
        SelectRow("Help Bar Text");
    }).Then([&] {
        seen("help.palette0", kFirstPaletteButton);
        seen("help.font", kPreferencesFontButton);
        SaveScreen("preferences_help_bar_text");
        SelectRow("Nodes Recalc Threshold");
    }).Then([&] {
        seen("recalc.field", kRecalcField);
        SaveScreen("preferences_nodes_recalc");
        OpenGroup("[+]Circuit Defaults");
    }).Then([&] {
        SelectRow("\xC3" "Component");
    }).Then([&] {
        seen("component.font", kPreferencesFontButton);
        SaveScreen("preferences_circuit_defaults");
        OpenGroup("[+]Analysis/Performance Defaults");
    }).Then([&] {
        SelectRow("\xC3" "Same Y Scales");
    }).Then([&] {
        seen("samey.box", kSameYScaleBox);
        seen("samey.palette", kFirstPaletteButton + 20);
        SaveScreen("preferences_analysis_defaults");
        OpenGroup("[+]Monte Carlo Defaults");
    }).Then([&] {
        SaveScreen("preferences_monte_carlo_defaults");
        OpenGroup("[+]Graph3D Defaults");
    }).Then([&] {
        SelectRow("\xC0" "Window Background");
        SaveScreen("preferences_graph3d_defaults");
    }).Then([] { Click(win::IDCANCEL); });
    script.Install();
    EXPECT_EQ(RunPreferencesDialog(frame_), 0);
    EXPECT_TRUE(visible["options.sound"]);
    EXPECT_FALSE(visible["options.format"]);
    EXPECT_FALSE(visible["palette.0"]);
    EXPECT_TRUE(visible["palette.16"]);
    EXPECT_FALSE(visible["palette.sound"]);
    EXPECT_TRUE(visible["printout.time"]);
    EXPECT_TRUE(visible["format.field"]);
    EXPECT_TRUE(visible["help.palette0"]);
    EXPECT_TRUE(visible["help.font"]);
    EXPECT_TRUE(visible["recalc.field"]);
    EXPECT_TRUE(visible["component.font"]);
    EXPECT_TRUE(visible["samey.box"]);
    EXPECT_FALSE(visible["samey.palette"]);
}

TEST_F(PreferencesTest, ConfirmingRebuildsTheOptionWordAndNormalizesFormats)
{
    Settings().operationalOptions = kDefaultOperationalOptions | 0x0008 | 0x0020;
    InputScript script;
    script.Then([] { Click(kFirstOptionBox + 6); })  // Select Mode on
        .Then([] { SelectRow("Format"); })
        .Then([] { Type(kFirstFormatField + 4, "5"); })
        .Then([] { Type(kFirstFormatField + 1, "20E"); })
        .Then([] { Type(kFirstFormatField + 0, "1234"); })
        .Then([] { Type(kFirstFormatField + 6, "123456789012"); })  // the field takes 9
        .Then([] { SelectRow("Nodes Recalc Threshold"); })
        .Then([] { Type(kRecalcField, "500"); })
        .Then([] { OpenGroup("[+]Circuit Defaults"); })
        .Then([] {
        SelectRow("\xC3" "Wire");
    }).Then([] { Click(kFirstPaletteButton + 40); }).Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunPreferencesDialog(frame_), 1);
    EXPECT_EQ(Settings().operationalOptions, kDefaultOperationalOptions | kOptionSelectMode);
    const PreferenceValues& p = PreferenceSettings();
    EXPECT_EQ(p.valueFormat, "5.0");
    EXPECT_EQ(p.nodeVoltageFormat, "16E");
    EXPECT_EQ(p.tagFormat, "16");
    EXPECT_EQ(p.calculatorFormat, "16");
    EXPECT_EQ(p.nodeRecalc, 500);
    EXPECT_EQ(p.defaultAttributes[1].color, 40);

    // Confirming the defaults changes nothing.
    InputScript again;
    again.Then([] { Click(win::IDOK); });
    again.Install();
    Settings().operationalOptions = kDefaultOperationalOptions;
    EXPECT_EQ(RunPreferencesDialog(frame_), 1);
    EXPECT_EQ(Settings().operationalOptions, 49735u);
    EXPECT_EQ(p.valueFormat, "5.0");
}

TEST_F(PreferencesTest, FontsGoToTheirRowsAndNodeVoltageFontsToTheNodeNumbers)
{
    win::FontDialogAnswer bold;
    bold.face = "Liberation Mono";
    bold.size = "12";
    bold.bold = true;
    win::ScriptFontDialogAnswer(bold);
    win::FontDialogAnswer italic;
    italic.face = "Liberation Serif";
    italic.size = "10";
    italic.italic = true;
    win::ScriptFontDialogAnswer(italic);
    const FontSpec voltageBefore = PreferenceSettings().defaultAttributes[6];
    InputScript script;
    script.Then([] { OpenGroup("[+]Circuit Defaults"); })
        .Then([] { SelectRow("\xC3" "Component"); })
        .Then([] { Click(kPreferencesFontButton); })
        .Then([] { SelectRow("\xC3" "Node Voltage"); })
        .Then([] { Click(kPreferencesFontButton); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunPreferencesDialog(frame_), 1);
    const PreferenceValues& p = PreferenceSettings();
    EXPECT_EQ(FaceName(p.defaultAttributes[0].face), "Liberation Mono");
    EXPECT_TRUE(p.defaultAttributes[0].style & kFontBold);
    EXPECT_EQ(p.defaultAttributes[0].color, 12);
    EXPECT_EQ(FaceName(p.defaultAttributes[2].face), "Liberation Serif");
    EXPECT_TRUE(p.defaultAttributes[2].style & kFontItalic);
    EXPECT_EQ(p.defaultAttributes[2].color, 13);
    EXPECT_EQ(p.defaultAttributes[6].face, voltageBefore.face);
}

TEST_F(PreferencesTest, OpenWindowsHaveGroupsOfTheirOwnValues)
{
    WindowRecord* schematic = NewWindowRecord(TopLevel(20, 20, 300, 200), kWindowSchematic, true);
    SetRecordTitle(schematic, "amp.sch");
    schematic->document->wireFont.color = 2;
    WindowRecord* text = NewWindowRecord(TopLevel(40, 40, 300, 200), kWindowTextCircuit, true);
    SetRecordTitle(text, "net.cir");
    text->document->textBackgroundColor = 15;
    std::vector<PreferenceRow> rows = BuildPreferenceRows();
    std::vector<int> visible = VisiblePreferenceRows(rows);
    ASSERT_EQ(visible.size(), 12u);
    EXPECT_EQ(rows[static_cast<std::size_t>(visible[10])].text, "[+]amp.sch Circuit");
    EXPECT_EQ(rows[static_cast<std::size_t>(visible[11])].text, "[+]net.cir Text/Spice");
    EXPECT_EQ(rows[static_cast<std::size_t>(visible[11])].children, 3);

    InputScript script;
    script.Then([] { OpenGroup("[+]amp.sch Circuit"); })
        .Then([] { SelectRow("\xC3" "Wire"); })
        .Then([] { Click(kFirstPaletteButton + 33); })
        .Then([] { OpenGroup("[+]net.cir Text/Spice"); })
        .Then([] { SelectRow("\xC0" "Text Background"); })
        .Then([] { SaveScreen("preferences_window_groups"); })
        .Then([] { Click(kFirstPaletteButton + 7); })
        .Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunPreferencesDialog(frame_), 1);
    EXPECT_EQ(schematic->document->wireFont.color, 33);
    EXPECT_EQ(text->document->textBackgroundColor, 7);
    EXPECT_EQ(PreferenceSettings().defaultAttributes[1].color, 2);  // the defaults stay
}

TEST_F(PreferencesTest, PaletteEditsStayOnlyWhenConfirmed)
{
    win::ScriptColorDialogAnswer(win::RGB(10, 20, 30));
    InputScript cancel;
    cancel.Then([] { SelectRow("Palettes"); }).Then([] { Click(kFirstPaletteButton + 20); }).Then([] {
        Click(win::IDCANCEL);
    });
    cancel.Install();
    EXPECT_EQ(RunPreferencesDialog(frame_), 0);
    EXPECT_EQ(PaletteColor(20, true), win::RGB(191, 147, 72));

    win::ScriptColorDialogAnswer(win::RGB(10, 20, 30));
    InputScript ok;
    ok.Then([] { SelectRow("Palettes"); }).Then([] { Click(kFirstPaletteButton + 20); }).Then([] {
        Click(win::IDOK);
    });
    ok.Install();
    EXPECT_EQ(RunPreferencesDialog(frame_), 1);
    EXPECT_EQ(PaletteColor(20, true), win::RGB(10, 20, 30));
    EXPECT_EQ(ColorTable().logical.palPalEntry.size(), 64u);
}

}  // namespace
}  // namespace kq5
