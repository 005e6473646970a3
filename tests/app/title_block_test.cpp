// Title block fields, print header and footer, the Title Block dialog and the "Printer" keys.
#include <ctime>

#include "document/circuit_document.h"
#include "settings_dialog_test_support.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using testing::SettingsDialogTest;
using win::testing::InputScript;

class TitleBlockTest : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        UserAndCompanyNamesSetting() = {"Ada", "Acme"};
        record_ = NewWindowRecord(frame_, kWindowSchematic, true);
        record_->document->name = "/home/ada/amp.v2.sch";
        record_->document->pages.resize(3);
        record_->document->pages[2].name = "Output";
    }
    WindowRecord* record_ = nullptr;
};

std::string Today(const char* format)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, format, &local));
}

TEST_F(TitleBlockTest, DefaultHeaderAndFooterPlaceTheirParts)
{
    const TitleBlockState& t = TitleBlockFields();
    auto header = SplitHeaderText(SubstitutePrintFields(record_, t.printHeader, 3, 7));
    ASSERT_EQ(header.size(), 1u);
    EXPECT_EQ(header[0].left, "");
    EXPECT_EQ(header[0].center, "Page 3");
    auto footer = SplitHeaderText(SubstitutePrintFields(record_, t.printFooter, 1, 1));
    ASSERT_EQ(footer.size(), 2u);
    EXPECT_EQ(footer[0].left, "Ada");
    EXPECT_EQ(footer[1].left, "Acme");
    auto parts = SplitHeaderText("lead$>right$|mid$<more");
    EXPECT_EQ(parts[0].left, "leadmore");
    EXPECT_EQ(parts[0].center, "mid");
    EXPECT_EQ(parts[0].right, "right");
}

TEST_F(TitleBlockTest, EveryTokenIsReplacedWithoutRegardToCase)
{
    const std::string text = SubstitutePrintFields(record_, "$DATE|$time|$Page|$maxpage|$user|$COMPANY|$name", 4, 9);
    const std::string expected = Today("%x") + "|";
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    EXPECT_NE(text.find("|4|9|Ada|Acme|amp"), std::string::npos) << text;
    EXPECT_EQ(text.find('$'), std::string::npos) << text;

    TitleBlockFields().fields[2] = "$pagename/$page $sheet-$maxsheet";
    // Page index 2 is the third page.
    EXPECT_EQ(TitleBlockFieldText(record_, 2, 2, 3, 5), "Output/3 3-5");
    EXPECT_EQ(TitleBlockFieldText(record_, 0, 2, 3, 5), "amp");
    EXPECT_EQ(TitleBlockFieldText(record_, 1, 2, 3, 5), "Ada Acme");
    EXPECT_EQ(TitleBlockFieldText(record_, 4, 2, 3, 5), "sheet 3 of 5");
    // "$maxpage" counts the drawing's three pages, however many sheets the page prints on.
    TitleBlockFields().fields[3] = "page $page of $maxpage";
    EXPECT_EQ(TitleBlockFieldText(record_, 3, 0, 2, 5), "page 1 of 3");
    TitleBlockFields().oneTitle = 1;
    EXPECT_EQ(TitleBlockFieldText(record_, 4, 2, 3, 5), "sheet n\\a of n\\a");
    EXPECT_EQ(ReplaceToken("a $PAGE b $page", "$page", "7"), "a 7 b 7");
}

TEST_F(TitleBlockTest, ValuesHoldingTokensEndAndLongValuesStayWhole)
{
    // A user named after the tokens: each token is replaced once, what it put in is left alone.
    UserAndCompanyNamesSetting() = {"$user", "$company$user$date"};
    EXPECT_EQ(SubstitutePrintFields(record_, "$user/$company", 1, 1), "$user/$company$user$date");
    EXPECT_EQ(ReplaceToken("$page", "$page", "$page$page"), "$page$page");

    const std::string longName(400, 'n');
    UserAndCompanyNamesSetting() = {longName, "c"};
    const std::string out = SubstitutePrintFields(record_, "$user $user", 1, 1);
    EXPECT_EQ(out.size(), 801u);
    TitleBlockFields().fields[1] = "$user";
    EXPECT_EQ(TitleBlockFieldText(record_, 1, 0, 1, 1), longName);
}

TEST_F(TitleBlockTest, PrinterKeysRoundTripAndIgnoreUnknownFields)
{
    TitleBlockState& t = TitleBlockFields();
    t.fields[2] = "rev B";
    t.oneTitle = 1;
    t.orientation = 2;
    t.printHeader = std::string(300, 'h') + "$|Page $page";
    SettingsKeys out;
    out.writing = true;
    PrinterSection(out);
    ASSERT_EQ(out.keys.size(), 9u);
    EXPECT_EQ(out.keys[0], (std::pair<std::string, std::string>{"Field_1", "$name"}));
    EXPECT_EQ(out.keys[5], (std::pair<std::string, std::string>{"One Title", "Yes"}));
    EXPECT_EQ(out.keys[8], (std::pair<std::string, std::string>{"Footer", "$<$user\\n$company"}));

    const TitleBlockState saved = t;
    ResetTitleBlockForTests();
    SettingsKeys in;
    in.keys = out.keys;
    in.keys.push_back({"field_6", "bad"});
    in.keys.push_back({"FIELD_0", "bad"});
    PrinterSection(in);
    EXPECT_EQ(t.fields, saved.fields);
    EXPECT_EQ(t.oneTitle, 1);
    EXPECT_EQ(t.orientation, 2);
    EXPECT_EQ(t.printHeader, saved.printHeader);

    SettingsKeys lower;
    lower.keys = {{"field_2", "x"}, {"one title", "no"}};
    PrinterSection(lower);
    EXPECT_EQ(t.fields[1], "x");
    EXPECT_EQ(t.oneTitle, 0);

    PrinterSectionOlder({"2", "a", "b"});
    EXPECT_EQ(t.fields[0], "a");
    EXPECT_EQ(t.fields[1], "b");
    PrinterSectionOlder({"1000000", "c"});  // a count beyond the file reads what is there
    EXPECT_EQ(t.fields[0], "c");
    EXPECT_EQ(t.fields[1], "b");
}

TEST_F(TitleBlockTest, DialogFillsConfirmsAndCancels)
{
    std::string shown;
    InputScript script;
    script.Then([&] {
        shown = win::GetDlgItemText(Dialog(), 104);
        Type(102, "Rev " + std::string(40, 'x'));
        Click(110);
    }).Then([] { SaveScreen("title_block_dialog"); }).Then([] { Click(win::IDOK); });
    script.Install();
    EXPECT_EQ(RunTitleBlockDialog(frame_), 1);
    EXPECT_EQ(shown, "sheet $sheet of $maxsheet");
    EXPECT_EQ(TitleBlockFields().fields[2], "Rev " + std::string(25, 'x'));  // the field takes 29
    EXPECT_EQ(TitleBlockFields().oneTitle, 1);

    InputScript cancel;
    cancel.Then([] { Type(100, "changed"); }).Then([] { Click(win::IDCANCEL); });
    cancel.Install();
    EXPECT_EQ(RunTitleBlockDialog(frame_), 0);
    EXPECT_EQ(TitleBlockFields().fields[0], "$name");
}

}  // namespace
}  // namespace kq5
