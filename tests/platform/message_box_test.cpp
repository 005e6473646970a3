#include <gtest/gtest.h>

#include "platform/message_box.h"

namespace win {
namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { ClearMessageBoxLog(); }
    void TearDown() override { ClearMessageBoxLog(); }
};

TEST_F(MessageBoxTest, DefaultButtonAnswersWhenNothingIsScripted)
{
    EXPECT_EQ(MessageBox(nullptr, "text", "caption", MB_OK | MB_ICONHAND), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_RETRYCANCEL | MB_DEFBUTTON2), IDCANCEL);
    // A default past the last button falls back to the first.
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_OKCANCEL | MB_DEFBUTTON4), IDOK);
    // A style with no known buttons cannot be answered.
    EXPECT_EQ(MessageBox(nullptr, "t", "c", 0x7), 0);
}

TEST_F(MessageBoxTest, ScriptedAnswersAreUsedInOrderAndEveryBoxIsLogged)
{
    PushMessageBoxAnswer(IDNO);
    PushMessageBoxAnswer(IDCANCEL);
    HWND owner = reinterpret_cast<HWND>(std::uintptr_t{0x40});
    EXPECT_EQ(MessageBox(owner, "Save?", "Kestrion V", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBox(nullptr, "Again?", nullptr, MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBox(nullptr, nullptr, "c", MB_YESNO), IDYES);

    const auto& log = MessageBoxLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].owner, owner);
    EXPECT_EQ(log[0].caption, "Kestrion V");
    EXPECT_EQ(log[0].text, "Save?");
    EXPECT_EQ(log[0].type, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(log[0].answer, IDNO);
    EXPECT_EQ(log[1].caption, "Error");  // the caption of a box given none
    EXPECT_EQ(log[2].text, "");

    EXPECT_EQ(MessageBeep(MB_ICONHAND), TRUE);
    MessageBeep(kSimpleBeep);
    ASSERT_EQ(MessageBeepLog().size(), 2u);
    EXPECT_EQ(MessageBeepLog()[1], kSimpleBeep);

    PushMessageBoxAnswer(IDNO);
    ClearMessageBoxLog();
    EXPECT_TRUE(MessageBoxLog().empty());
    EXPECT_TRUE(MessageBeepLog().empty());
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNO), IDYES);  // the queue went too
}

}  // namespace
}  // namespace win
