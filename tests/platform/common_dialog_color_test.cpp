// The colour dialog: basic and custom colours, the full dialog's fields, scripted answers.
#include "common_dialog_test_support.h"
#include "platform/common_dialogs_color.h"

namespace win::testing {
namespace {

class ColorDialogTest : public CommonDialogTest {
protected:
    CHOOSECOLOR Cc(DWORD flags, COLORREF start = 0) {
        CHOOSECOLOR cc;
        cc.hwndOwner = owner_;
        cc.lpCustColors = &custom_;
        cc.rgbResult = start;
        cc.Flags = flags;
        return cc;
    }
    CustomColors custom_{};
};

TEST_F(ColorDialogTest, ScriptedColourAndCancel) {
    custom_[2] = RGB(1, 2, 3);
    CHOOSECOLOR cc = Cc(CC_RGBINIT | CC_FULLOPEN, RGB(9, 9, 9));
    ScriptColorDialogAnswer(RGB(12, 200, 255));
    ASSERT_TRUE(ChooseColor(&cc));
    EXPECT_EQ(cc.rgbResult, RGB(12, 200, 255));
    EXPECT_EQ(custom_[2], RGB(1, 2, 3));

    cc = Cc(CC_RGBINIT, RGB(9, 9, 9));
    ScriptColorDialogAnswer(std::nullopt);
    EXPECT_FALSE(ChooseColor(&cc));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(cc.rgbResult, RGB(9, 9, 9));
    EXPECT_FALSE(ChooseColor(&cc));  // nobody to answer
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    cc.lStructSize = 3;
    EXPECT_FALSE(ChooseColor(&cc));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
}

TEST_F(ColorDialogTest, ABasicColourIsPickedWithAClick) {
    SetCommonDialogsShownHeadless(true);
    CHOOSECOLOR cc = Cc(CC_RGBINIT, RGB(0, 0, 0));
    bool fieldsHidden = false;
    InputScript script;
    script.Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        fieldsHidden = !IsWindowVisible(GetDlgItem(dlg, kColorRedEdit));
        ClickCenter(GetDlgItem(dlg, kBasicColorCell + 8));
    }).Then([] { headless::PressKey(VK_RETURN); });
    script.Install();
    ASSERT_TRUE(ChooseColor(&cc));
    EXPECT_TRUE(fieldsHidden);
    EXPECT_EQ(cc.rgbResult, BasicColor(8));
    EXPECT_EQ(cc.rgbResult, RGB(255, 0, 0));
}

TEST_F(ColorDialogTest, DefiningACustomColourOpensTheFieldsAndKeepsIt) {
    SetCommonDialogsShownHeadless(true);
    CHOOSECOLOR cc = Cc(0);
    int narrow = 0, wide = 0;
    bool defineEnabledAfter = true;
    InputScript script;
    script.Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        RECT r{};
        GetWindowRect(dlg, &r);
        narrow = r.right - r.left;
        ClickCenter(GetDlgItem(dlg, kColorDefineCustom));
    }).Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        RECT r{};
        GetWindowRect(dlg, &r);
        wide = r.right - r.left;
        defineEnabledAfter = IsWindowEnabled(GetDlgItem(dlg, kColorDefineCustom)) != FALSE;
        ClickCenter(GetDlgItem(dlg, kCustomColorCell + 3));
    })
        .Then([] { TypeInto(CurrentCommonDialogWindow(), kColorRedEdit, "10"); })
        .Then([] { TypeInto(CurrentCommonDialogWindow(), kColorGreenEdit, "300"); })  // more than 255 is 255
        .Then([] { TypeInto(CurrentCommonDialogWindow(), kColorBlueEdit, "30"); })
        .Then([] { ClickCenter(GetDlgItem(CurrentCommonDialogWindow(), kColorAddCustom)); }).Then([] { ClickCenter(GetDlgItem(CurrentCommonDialogWindow(), IDOK)); });
    script.Install();
    ASSERT_TRUE(ChooseColor(&cc));
    EXPECT_LT(narrow, wide);
    EXPECT_FALSE(defineEnabledAfter);
    EXPECT_EQ(custom_[3], RGB(10, 255, 30));
    EXPECT_EQ(cc.rgbResult, RGB(10, 255, 30));

    // Cancelled: the custom colours added meanwhile are dropped.
    CustomColors before = custom_;
    cc = Cc(CC_FULLOPEN | CC_PREVENTFULLOPEN);
    InputScript cancel;
    cancel.Then([] {
        HWND dlg = CurrentCommonDialogWindow();
        ClickCenter(GetDlgItem(dlg, kColorAddCustom));
        headless::PressKey(VK_ESCAPE);
    });
    cancel.Install();
    EXPECT_FALSE(ChooseColor(&cc));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(custom_, before);
}

}  // namespace
}  // namespace win::testing
