// Message boxes shown as real dialogs, answered by injected keys and clicks, and by script.
#include "dialog_test_app.h"

namespace win::testing {
namespace {

class MessageBoxDialogTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ClearMessageBoxLog();
        SetMessageBoxesShownHeadless(true);
        app_.Start();
    }
    void TearDown() override {
        SetMessageBoxesShownHeadless(false);
        ClearMessageBoxLog();
        PlatformTest::TearDown();
    }
    int Ask(UINT type, const char* text = "Save the changes?") {
        return MessageBox(app_.main, text, "Kestrion V", type);
    }
    TestApp app_;
};

TEST_F(MessageBoxDialogTest, KeysAnswerTheBox) {
    headless::PressKey(VK_RETURN);
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);  // Enter: the default button
    headless::TypeText("y");
    EXPECT_EQ(Ask(MB_YESNO), IDYES);  // a mnemonic
    headless::PressKey(VK_ESCAPE);
    EXPECT_EQ(Ask(MB_YESNOCANCEL), IDCANCEL);
    headless::PressKey(VK_ESCAPE);
    EXPECT_EQ(Ask(MB_OK | MB_ICONHAND), IDOK);  // Esc answers a box that only says OK
    headless::PressKey(VK_TAB);
    headless::PressKey(VK_RETURN);
    EXPECT_EQ(Ask(MB_RETRYCANCEL), IDCANCEL);  // Tab moves on to Cancel
    headless::PressKey(VK_RIGHT);
    headless::PressKey(VK_SPACE);
    EXPECT_EQ(Ask(MB_ABORTRETRYIGNORE), IDRETRY);  // arrows within the buttons, Space presses
    ASSERT_EQ(MessageBoxLog().size(), 6u);
    EXPECT_EQ(MessageBoxLog()[0].answer, IDNO);
    EXPECT_EQ(MessageBoxLog()[0].caption, "Kestrion V");
    EXPECT_EQ(MessageBoxLog()[5].answer, IDRETRY);
    EXPECT_TRUE(IsWindowEnabled(app_.main));
}

TEST_F(MessageBoxDialogTest, TheBoxDisablesItsOwnerTakesClicksAndCloses) {
    InputScript script;
    bool ownerEnabled = true;
    std::string shownText;
    script.Then([&] {
        HWND box = CurrentMessageBoxWindow();
        ASSERT_NE(box, nullptr);
        ownerEnabled = IsWindowEnabled(app_.main) != FALSE;
        shownText = GetDlgItemText(box, 0xFFFF);
        EXPECT_EQ(GetFocus(), GetDlgItem(box, IDOK));
        ClickCenter(GetDlgItem(box, IDCANCEL));
    });
    script.Install();
    EXPECT_EQ(Ask(MB_OKCANCEL | MB_ICONEXCLAMATION, "Line one\nline two"), IDCANCEL);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_EQ(shownText, "Line one\nline two");
    EXPECT_TRUE(IsWindowEnabled(app_.main));
    EXPECT_EQ(CurrentMessageBoxWindow(), nullptr);

    // Closing the box gives the answer that changes nothing.
    InputScript closer;
    closer.Then([] { PostMessage(CurrentMessageBoxWindow(), WM_CLOSE, 0, 0); })
        .Then([] { PostMessage(CurrentMessageBoxWindow(), WM_CLOSE, 0, 0); });
    closer.Install();
    EXPECT_EQ(Ask(MB_YESNO), IDNO);
    EXPECT_EQ(Ask(MB_ABORTRETRYIGNORE), IDABORT);
}

TEST_F(MessageBoxDialogTest, ABoxThatRunsOutOfInputTakesItsDefaultAndScriptsStillWin) {
    headless::PressKey(VK_ESCAPE);  // a Yes/No box has no answer for Esc
    EXPECT_EQ(Ask(MB_YESNO | MB_DEFBUTTON2), IDNO);
    MSG m;
    EXPECT_FALSE(PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));  // and no quit follows
    PushMessageBoxAnswer(IDRETRY);
    EXPECT_EQ(Ask(MB_RETRYCANCEL), IDRETRY);  // no box shown for a scripted answer
    SetMessageBoxesShownHeadless(false);
    EXPECT_EQ(Ask(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    // A task-modal box without an owner holds off the program's windows.
    SetMessageBoxesShownHeadless(true);
    bool enabledMeanwhile = true;
    InputScript script;
    script.Then([&] {
        enabledMeanwhile = IsWindowEnabled(app_.main) != FALSE;
        headless::PressKey(VK_RETURN);
    });
    script.Install();
    EXPECT_EQ(MessageBox(nullptr, "Careful", "Warning", MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL), IDOK);
    EXPECT_FALSE(enabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(app_.main));
}

}  // namespace
}  // namespace win::testing
