// The font dialog: faces from fontconfig with their filters, sizes and limits, styles and effects.
#include <algorithm>
#include <cctype>

#include "common_dialog_test_support.h"
#include "platform/common_dialogs_font.h"

namespace win::testing {
namespace {

class FontDialogTest : public CommonDialogTest {
protected:
    CHOOSEFONT Cf(DWORD flags) {
        CHOOSEFONT cf;
        cf.hwndOwner = owner_;
        cf.lpLogFont = &lf_;
        cf.Flags = CF_SCREENFONTS | flags;
        return cf;
    }
    LOGFONT lf_;
};

TEST_F(FontDialogTest, FacesComeFromFontconfig) {
    std::vector<FontFaceInfo> faces = ListFontFaces();
    auto mono = std::find_if(faces.begin(), faces.end(), [](const FontFaceInfo& f) { return f.name == "Liberation Mono"; });
    auto sans = std::find_if(faces.begin(), faces.end(), [](const FontFaceInfo& f) { return f.name == "Liberation Sans"; });
    ASSERT_NE(mono, faces.end());
    ASSERT_NE(sans, faces.end());
    EXPECT_TRUE(mono->fixedPitch);
    EXPECT_FALSE(sans->fixedPitch);
    EXPECT_TRUE(sans->trueType);
}

TEST_F(FontDialogTest, ScriptedChoiceFillsTheLogFont) {
    CHOOSEFONT cf = Cf(CF_EFFECTS | CF_USESTYLE);
    FontDialogAnswer a;
    a.face = "liberation serif";  // the list's own spelling comes back
    a.size = "12";
    a.bold = true;
    a.underline = true;
    a.color = RGB(255, 0, 0);
    ScriptFontDialogAnswer(a);
    ASSERT_TRUE(ChooseFont(&cf));
    EXPECT_EQ(lf_.lfFaceName, "Liberation Serif");
    EXPECT_EQ(lf_.lfHeight, -16);  // 12 points at 96 dots per inch
    EXPECT_EQ(lf_.lfWeight, FW_BOLD);
    EXPECT_EQ(lf_.lfItalic, 0);
    EXPECT_EQ(lf_.lfUnderline, 1);
    EXPECT_EQ(lf_.lfStrikeOut, 0);
    EXPECT_EQ(cf.iPointSize, 120);
    EXPECT_EQ(cf.rgbColors, RGB(255, 0, 0));
    EXPECT_EQ(cf.lpszStyle, "Bold");
    EXPECT_EQ(cf.nFontType, BOLD_FONTTYPE | SCREEN_FONTTYPE);

    ScriptFontDialogAnswer(std::nullopt);
    LOGFONT before = lf_;
    EXPECT_FALSE(ChooseFont(&cf));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(lf_.lfFaceName, before.lfFaceName);
}

TEST_F(FontDialogTest, SizesStayWithinTheLimits) {
    CHOOSEFONT cf = Cf(CF_LIMITSIZE);
    cf.nSizeMin = 4;
    cf.nSizeMax = 72;
    FontDialogAnswer big;
    big.face = "Liberation Sans";
    big.size = "80";
    FontDialogAnswer word = big;
    word.size = "big";
    FontDialogAnswer ok = big;
    ok.size = "10.5";
    ScriptFontDialogAnswer(big);
    ScriptFontDialogAnswer(word);
    ScriptFontDialogAnswer(ok);
    ASSERT_TRUE(ChooseFont(&cf));
    EXPECT_EQ(cf.iPointSize, 105);
    ASSERT_EQ(MessageBoxLog().size(), 2u);
    EXPECT_EQ(MessageBoxLog()[0].text, "Size must be between 4 and 72 points.");
    EXPECT_EQ(MessageBoxLog()[0].caption, "Font");
    EXPECT_EQ(MessageBoxLog()[1].text, "Size must be a number.");

    cf.nSizeMax = 3;
    EXPECT_FALSE(ChooseFont(&cf));
    EXPECT_EQ(CommDlgExtendedError(), CFERR_MAXLESSTHANMIN);
    cf = Cf(0);
    cf.Flags = 0;  // neither screen nor printer fonts
    EXPECT_FALSE(ChooseFont(&cf));
    EXPECT_EQ(CommDlgExtendedError(), CFERR_NOFONTS);
}

TEST_F(FontDialogTest, TheShownDialogStartsFromTheLogFontAndFilters) {
    SetCommonDialogsShownHeadless(true);
    lf_.lfFaceName = "Courier New";  // known to the layer through its substitute
    lf_.lfHeight = -13;
    lf_.lfWeight = FW_BOLD;
    lf_.lfItalic = 1;
    CHOOSEFONT cf = Cf(CF_INITTOLOGFONTSTRUCT | CF_FIXEDPITCHONLY | CF_LIMITSIZE | CF_FORCEFONTEXIST);
    cf.nSizeMin = 1;
    cf.nSizeMax = 72;
    std::vector<std::string> faces, sizes;
    std::string face, style, size;
    bool effectsShown = true;
    InputScript script;
    script.Then([&] {
        HWND dlg = CurrentCommonDialogWindow();
        faces = Items(dlg, kFontFaceCombo, true);
        sizes = Items(dlg, kFontSizeCombo, true);
        face = GetDlgItemText(dlg, kFontFaceCombo);
        style = GetDlgItemText(dlg, kFontStyleCombo);
        size = GetDlgItemText(dlg, kFontSizeCombo);
        effectsShown = IsWindowVisible(GetDlgItem(dlg, kFontUnderlineCheck)) != FALSE;
        TypeInto(dlg, kFontFaceCombo, "No Such Face");
        headless::PressKey(VK_RETURN);  // refused: the face must exist
    })
        .Then([] { TypeInto(CurrentCommonDialogWindow(), kFontFaceCombo, "Courier New"); })
        .Then([] {
            TypeInto(CurrentCommonDialogWindow(), kFontSizeCombo, "14");
            headless::PressKey(VK_RETURN);
        });
    script.Install();
    ASSERT_TRUE(ChooseFont(&cf));
    std::vector<FontFaceInfo> all = ListFontFaces();
    for (const std::string& f : faces) {
        auto it = std::find_if(all.begin(), all.end(), [&](const FontFaceInfo& i) { return i.name == f; });
        if (it != all.end()) { EXPECT_TRUE(it->fixedPitch) << f; }
    }
    EXPECT_NE(std::find(faces.begin(), faces.end(), "Courier New"), faces.end());
    EXPECT_TRUE(std::is_sorted(faces.begin(), faces.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return std::tolower(x) < std::tolower(y); });
    }));
    EXPECT_EQ(std::find(faces.begin(), faces.end(), "Liberation Sans"), faces.end());
    EXPECT_EQ(sizes.back(), "72");
    EXPECT_EQ(face, "Courier New");
    EXPECT_EQ(style, "Bold Italic");
    EXPECT_EQ(size, "10");
    EXPECT_FALSE(effectsShown);
    ASSERT_EQ(MessageBoxLog().size(), 1u);
    EXPECT_NE(MessageBoxLog()[0].text.find("There is no font with that name."), std::string::npos);
    EXPECT_EQ(lf_.lfFaceName, "Courier New");
    EXPECT_EQ(lf_.lfHeight, -19);  // 14 points
    EXPECT_EQ(lf_.lfWeight, FW_BOLD);
    EXPECT_EQ(lf_.lfItalic, 1);
    EXPECT_EQ(lf_.lfPitchAndFamily & 0x03, FIXED_PITCH);
}

}  // namespace
}  // namespace win::testing
