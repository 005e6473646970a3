// Global Settings: option texts to option variables (WIDTH, METHOD), the keys, the dialog.
#include "settings_dialog_test_support.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using testing::SettingsDialogTest;
using win::testing::InputScript;

using GlobalSettingsTest = SettingsDialogTest;

int RowOf(const char* name) { return FindGlobalOption(name); }
std::string& Text(const char* name) { return GlobalSettings().optionTexts[static_cast<std::size_t>(RowOf(name))]; }

TEST_F(GlobalSettingsTest, TextsBecomeOptionValuesWithWidthClampedAndEmptyTextsDefaulted)
{
    EXPECT_EQ(Text("ABSTOL"), "1pA");
    EXPECT_DOUBLE_EQ(GlobalOptions().values.abstol, 1e-12);
    Text("WIDTH") = "5";
    Text("RELTOL") = "";
    Text("DIGFREQ") = "2G";
    ApplyOptionTexts();
    EXPECT_EQ(GlobalOptions().values.width, 10);
    EXPECT_EQ(Text("WIDTH"), "5");  // the text keeps what was typed
    EXPECT_EQ(Text("RELTOL"), ".001");
    EXPECT_DOUBLE_EQ(GlobalOptions().values.reltol, 1e-3);
    EXPECT_DOUBLE_EQ(GlobalOptions().values.digfreq, 2e9);
    Text("WIDTH") = "5000";
    ApplyOptionTexts();
    EXPECT_EQ(GlobalOptions().values.width, 1000);
}

TEST_F(GlobalSettingsTest, MethodKeySelectsGearOnlyForGear)
{
    for (const auto& [value, method] : std::vector<std::pair<std::string, int>>{
             {"GEAR", kMethodGear}, {"trap", kMethodTrap}, {"gear", kMethodGear}, {"euler", kMethodTrap}}) {
        SettingsKeys in;
        in.keys = {{"method", value}};
        GlobalSettingsSection(in);
        EXPECT_EQ(GlobalSettings().method, method) << value;
        EXPECT_EQ(GlobalOptions().integrationMethod, method) << value;
    }
}

TEST_F(GlobalSettingsTest, KeysRoundTripWithLongTextsKeptWhole)
{
    Text("TNOM") = "35";
    Text("DEFL") = "123.456789012345u";  // longer than the 14 characters of old
    GlobalSettings().method = kMethodGear;
    SettingsKeys out;
    out.writing = true;
    GlobalSettingsSection(out);
    ASSERT_EQ(out.keys.size(), 39u);
    EXPECT_EQ(out.keys[0], (std::pair<std::string, std::string>{"ABSTOL", "1pA"}));
    EXPECT_EQ(out.keys.back(), (std::pair<std::string, std::string>{"METHOD", "GEAR"}));

    ResetGlobalSettingsForTests();
    SettingsKeys in;
    in.keys = out.keys;
    in.keys.push_back({"bogus", "1"});
    in.keys[29].first = "tnom";
    GlobalSettingsSection(in);
    EXPECT_EQ(Text("TNOM"), "35");
    EXPECT_EQ(Text("DEFL"), "123.456789012345u");
    EXPECT_DOUBLE_EQ(GlobalOptions().values.tnom, 35.0);
    EXPECT_NEAR(GlobalOptions().values.defl, 123.456789012345e-6, 1e-18);
    EXPECT_EQ(GlobalOptions().integrationMethod, kMethodGear);
}

TEST_F(GlobalSettingsTest, OlderLayoutTrustsItsCountOnlyAsFarAsTheLinesGo)
{
    GlobalSettingsSectionOlder({"2", "5p", ".1pC", "4", "5", "77"});
    EXPECT_EQ(Text("ABSTOL"), "5p");
    EXPECT_EQ(Text("CHGTOL"), ".1pC");
    EXPECT_EQ(PreferenceSettings().tagFormat, "4");
    EXPECT_EQ(PreferenceSettings().nodeVoltageFormat, "5");
    EXPECT_EQ(PreferenceSettings().nodeRecalc, 77);
    GlobalSettingsSectionOlder({"2000000000", "7p"});
    EXPECT_EQ(Text("ABSTOL"), "7p");
    EXPECT_DOUBLE_EQ(GlobalOptions().values.abstol, 7e-12);
}

TEST_F(GlobalSettingsTest, DialogConfirmsTypedValuesAndDefaultThenCancelChangesNothing)
{
    std::string widthShown;
    InputScript script;
    // One field typed per step: the keys reach the field that has the focus when they are read.
    script.Then([] { Type(233, "5"); })
        .Then([] { Type(227, ""); })
        .Then([] { Click(kGearRadio); })
        .Then([] { Click(224); })  // NOOUTMSG on
        .Then([] { SaveScreen("global_settings_dialog"); }).Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunGlobalSettingsDialog(frame_), 1);
    EXPECT_EQ(Text("WIDTH"), "5");
    EXPECT_EQ(GlobalOptions().values.width, 10);
    EXPECT_EQ(Text("RELTOL"), ".001");
    EXPECT_EQ(Text("NOOUTMSG"), "1");
    EXPECT_EQ(GlobalOptions().values.nooutmsg, 1);
    EXPECT_EQ(GlobalSettings().method, kMethodGear);
    EXPECT_EQ(GlobalOptions().integrationMethod, kMethodGear);

    bool trapChecked = false;
    InputScript cancel;
    cancel.Then([&] {
        widthShown = win::GetDlgItemText(Dialog(), 233);
        Click(kDefaultButton);
    }).Then([&] {
        trapChecked = win::IsDlgButtonChecked(Dialog(), kTrapezoidalRadio) != 0;
        Click(win::IDCANCEL);
    });
    cancel.Install();
    EXPECT_EQ(RunGlobalSettingsDialog(frame_), 0);
    EXPECT_EQ(widthShown, "5");
    EXPECT_TRUE(trapChecked);
    EXPECT_EQ(Text("WIDTH"), "5");
    EXPECT_EQ(GlobalSettings().method, kMethodGear);
}

}  // namespace
}  // namespace kq5
