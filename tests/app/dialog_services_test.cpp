#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "screen_capture_support.h"
#include "../platform/control_test_support.h"
#include "ui/app_state.h"
#include "ui/dialog_services.h"
#include "document/circuit_file.h"
#include "document/file_dialogs.h"
#include "ui/help_topics.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "document/save_file_dialog.h"
#include "document/settings_file.h"
#include "ui/usage_file.h"
#include "ui/window_record.h"
#include "platform/common_dialogs.h"
#include "platform/common_dialogs_file.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/winhelp.h"

namespace kq5 {
namespace {

namespace fs = std::filesystem;
using win::testing::InputScript;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using testing::SaveScreen;

class DialogServicesTest : public win::testing::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        ResetAppStateForTests();
        ResetSettingsFileForTests();
        ResetUsageForTests();
        ClearPromptDialogs();
        ResetSaveFileDialogForTests();
        win::ResetCommonDialogsForTests();
        win::ClearMessageBoxLog();
        win::ResetHelpStateForTests();
        dir_ = fs::temp_directory_path() / ("kq5_dialogs_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::copy_file(fs::path(KQ5_SOURCE_DIR) / "data" / "help.kq5", dir_ / "help.kq5");
        Settings().programDirectory = dir_.string() + "/";
        SettingsFile().dataDirectory = dir_.string();
        owner_ = TopLevel(0, 0, 800, 600);
    }
    void TearDown() override
    {
        win::SetCommonDialogsShownHeadless(false);
        win::ResetCommonDialogsForTests();
        win::ClearMessageBoxLog();
        ClearPromptDialogs();
        fs::remove_all(dir_);
        PlatformTest::TearDown();
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
    win::HWND owner_ = nullptr;
};

TEST(HelpTopics, TopicsAreFoundByAnyOfTheirIds)
{
    const std::string text =
        "; comment\n@topic 1,2 First\n\nline one\n\tline two\n\tline three\n@see 3 To three\n\n@topic 3 Third\nthree\n"
        "@topicx 4 No\n\nnext paragraph\n";
    HelpTopic topic;
    ASSERT_TRUE(FindHelpTopic(text, 2, topic));
    EXPECT_EQ(topic.title, "First");
    EXPECT_EQ(topic.text, "line one\n\tline two\n\tline three");
    ASSERT_EQ(topic.links.size(), 1u);
    EXPECT_EQ(topic.links[0].id, 3);
    EXPECT_EQ(topic.links[0].text, "To three");
    // The lines of a paragraph are one line for the window to wrap.
    ASSERT_TRUE(FindHelpTopic(text, 3, topic));
    EXPECT_EQ(topic.text, "three @topicx 4 No\n\nnext paragraph");
    EXPECT_TRUE(topic.links.empty());
    EXPECT_FALSE(FindHelpTopic(text, 4, topic));
    EXPECT_FALSE(FindHelpTopic(text, 12, topic));  // "12" is no "1" or "2"
}

TEST(HelpTopics, TheShippedHelpCoversTheDialogsAndTheHelpCommands)
{
    const std::string text = ReadAll(fs::path(KQ5_SOURCE_DIR) / "data" / "help.kq5");
    HelpTopic topic;
    std::set<int> ids{17800, 17801, 3, 1536, 12508, 3015, 3016, 1017, 17450, 17804, 10185};
    // Every dialog of the program with a Help button (the system's own common dialogs aside,
    // whose Help the program does not offer).
    for (const auto& entry : fs::directory_iterator(fs::path(KQ5_SOURCE_DIR) / "data" / "dialogs")) {
        if (entry.path().filename().string().rfind("common_", 0) == 0 && entry.path().filename() != "common_file.dlg") continue;
        std::istringstream lines(ReadAll(entry.path()));
        int dialog = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("DIALOG ", 0) == 0) dialog = std::atoi(line.c_str() + 7);
            if (dialog != 0 && (line.find("\"&Help") != std::string::npos || line.find("\"Help...\"") != std::string::npos))
                ids.insert(dialog);
        }
    }
    ASSERT_GT(ids.size(), 40u);
    for (int id : ids) {
        ASSERT_TRUE(FindHelpTopic(text, id, topic)) << id;
        EXPECT_FALSE(topic.text.empty()) << id;
        // A link that leads nowhere would drop the user at the contents.
        HelpTopic target;
        for (const HelpLink& link : topic.links) EXPECT_TRUE(FindHelpTopic(text, link.id, target)) << id << " -> " << link.id;
    }
    ASSERT_TRUE(FindHelpTopic(text, 17800, topic));
    EXPECT_GT(topic.links.size(), 15u);
    EXPECT_EQ(topic.text.find("@see"), std::string::npos);
}

TEST_F(DialogServicesTest, HelpLeadsFromADialogToLinkedTopicsAndBack)
{
    std::vector<std::string> titles;
    auto keep = [&] { titles.push_back(win::GetWindowText(CurrentDialog())); };
    InputScript script;
    script.Then([&] {
        keep();
        SaveScreen("help_topic_with_links");
        // Tab to the links, down to the second, Enter follows it.
        win::headless::PressKey(win::VK_TAB);
        win::headless::PressKey(win::VK_DOWN);
        win::headless::PressKey(win::VK_RETURN);
    }).Then([&] {
        keep();
        win::headless::PressKeyWithModifiers('B', false, false, true);  // Back
    }).Then([&] {
        keep();
        win::headless::PressKeyWithModifiers('C', false, false, true);  // Contents
    }).Then([&] {
        keep();
        SaveScreen("help_contents");
        // A double click on a link of the contents.
        win::HWND links = win::GetDlgItem(CurrentDialog(), kHelpLinksItem);
        const int row = static_cast<int>(win::SendMessage(links, win::LB_GETITEMHEIGHT, 0, 0));
        win::RECT r{};
        win::GetWindowRect(links, &r);
        win::headless::DoubleClick(r.left + 10, r.top + 2 + row / 2);
    }).Then([&] {
        keep();
        win::headless::PressKeyWithModifiers('B', false, false, true);
    }).Then([&] {
        keep();
        win::headless::PressKey(win::VK_ESCAPE);
    });
    script.Install();
    // The Help button of the Transient Analysis Limits dialog.
    ShowDialogHelp(16061);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(titles, (std::vector<std::string>{"Transient Analysis Limits", "Analysis Plot Characteristics",
                                                "Transient Analysis Limits", "Contents", "New", "Contents"}));
    EXPECT_EQ(CurrentDialog(), nullptr);
}

TEST_F(DialogServicesTest, HelpCommandsOpenTheirTopicsAndAreLogged)
{
    std::string title, text;
    InputScript script;
    script.Then([&] {
        win::HWND dialog = CurrentDialog();
        ASSERT_NE(dialog, nullptr);
        title = win::GetWindowText(dialog);
        text = win::GetDlgItemText(dialog, kHelpTextItem);
        SaveScreen("help_text_window");
        win::headless::PressKey(win::VK_RETURN);
    });
    script.Install();
    ShowHelpTopic(17800, 0);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(title, "Contents");
    EXPECT_NE(text.find("Kestrion V draws electronic circuits"), std::string::npos) << text;
    EXPECT_EQ(CurrentDialog(), nullptr);
    EXPECT_EQ(CommandUseCountOfKey("More"), 1u);
    ASSERT_EQ(win::Help().requests.size(), 1u);
    EXPECT_EQ(win::Help().requests[0].command, win::HELP_CONTENTS);

    // A dialog's help context; an unknown one shows the contents; other ids do nothing.
    InputScript more;
    more.Then([&] {
        title = win::GetWindowText(CurrentDialog());
        win::headless::PressKey(win::VK_ESCAPE);
    }).Then([&] {
        title += "|" + win::GetWindowText(CurrentDialog());
        win::headless::PressKey(win::VK_ESCAPE);
    });
    more.Install();
    ShowHelpTopic(17803, 3009);
    ShowHelpTopic(17803, 99999);
    EXPECT_EQ(title, "Pin Name|Contents");
    ShowHelpTopic(17804, 0);
    EXPECT_EQ(win::Help().requests.size(), 3u);
    EXPECT_EQ(win::Help().requests[1].data, 3009u);

    // Without a help text nothing opens and nothing is counted.
    fs::remove(dir_ / "help.kq5");
    EXPECT_FALSE(ShowHelpText(nullptr, 17800));
    EXPECT_EQ(CommandUseCountOfKey("More"), 3u);
}

TEST_F(DialogServicesTest, ListSelectIsFilledConfirmedAndCancelled)
{
    ListSelectDesc desc;
    desc.caption = "Choose a Model";
    desc.items = {"Q2N2222", "Q2N3904", "Q2N3906"};
    desc.selection = {1};
    std::string caption;
    int shownSelection = -1;
    InputScript script;
    script.Then([&] {
        win::HWND dialog = CurrentDialog();
        caption = win::GetWindowText(dialog);
        shownSelection = static_cast<int>(win::SendDlgItemMessage(dialog, kListSelectList, win::LB_GETCURSEL, 0, 0));
        SaveScreen("list_select");
        win::SetFocus(win::GetDlgItem(dialog, kListSelectList));
        win::headless::PressKey(win::VK_DOWN);
    }).Then([&] { win::headless::PressKey(win::VK_RETURN); });
    script.Install();
    EXPECT_EQ(RunListSelectDialog(desc), win::IDOK);
    EXPECT_EQ(caption, "Choose a Model");
    EXPECT_EQ(shownSelection, 1);
    EXPECT_EQ(desc.selection, std::vector<int>{2});

    InputScript cancel;
    cancel.Then([&] { win::headless::PressKey(win::VK_ESCAPE); });
    cancel.Install();
    EXPECT_EQ(RunListSelectDialog(desc), win::IDCANCEL);
    EXPECT_EQ(desc.selection, std::vector<int>{2});
}

TEST_F(DialogServicesTest, PinNamePromptsAreFilledConfirmedAndCancelled)
{
    SetPromptDialogsShownHeadless(true);
    for (int id = kPinNameFirstTemplate; id <= kPinNameLastTemplate; ++id) {
        PromptDialogDesc desc;
        desc.templateId = id;
        desc.caption = "Pin Name";
        desc.text = "OLD";
        desc.flags = (id == 3013 || id == 3014) ? kPromptHasSecond : 0;
        desc.secondText = "B";
        desc.choice = id == 3011 ? 'i' : (id == 3009 ? 'a' : 'e');
        InputScript script;
        script.Then([&] {
            win::HWND dialog = CurrentDialog();
            SaveScreen("prompt_" + std::to_string(id));
            win::headless::TypeText("CLK");  // the name field has the focus, its text selected
            if (!PromptChoiceLetters(id).empty()) win::CheckRadioButton(dialog, 200, 201, 201);
            win::CheckDlgButton(dialog, kPromptCheck, win::BST_CHECKED);
            if (desc.flags & kPromptHasSecond) win::SetDlgItemText(dialog, kPromptSecondField, "CLKB");
        }).Then([&] { win::headless::PressKey(win::VK_RETURN); });
        script.Install();
        EXPECT_EQ(RunPromptDialog(desc), 1) << id;
        EXPECT_EQ(desc.text, "CLK") << id;
        EXPECT_EQ(desc.check, 1) << id;
        const std::string letters = PromptChoiceLetters(id);
        if (!letters.empty()) {
            EXPECT_EQ(desc.choice, letters[1]) << id;
        }
        if (desc.flags & kPromptHasSecond) {
            EXPECT_EQ(desc.secondText, "CLKB") << id;
        }

        // Cancel and Delete leave the descriptor as it was.
        InputScript cancel;
        cancel.Then([] { win::headless::TypeText("XYZ"); }).Then([] { win::headless::PressKey(win::VK_ESCAPE); });
        cancel.Install();
        EXPECT_EQ(RunPromptDialog(desc), 2) << id;
        EXPECT_EQ(desc.text, "CLK");
        InputScript remove;
        remove.Then([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, kPromptDelete, 0); });
        remove.Install();
        EXPECT_EQ(RunPromptDialog(desc), kPromptDelete) << id;
    }
}

TEST_F(DialogServicesTest, HelpOverAPromptShowsItsTopicAndThePromptGoesOn)
{
    SetPromptDialogsShownHeadless(true);
    PromptDialogDesc desc;
    desc.templateId = 3011;
    desc.text = "IN";
    desc.choice = 'o';
    std::string helpTitle;
    win::HWND prompt = nullptr, currentAfterHelp = nullptr;
    InputScript script;
    script.Then([&] {
        prompt = CurrentDialog();
        win::PostMessage(prompt, win::WM_COMMAND, kDialogHelpButton, 0);
    })
        .Then([&] {
            helpTitle = win::GetWindowText(CurrentDialog());
            win::headless::PressKey(win::VK_ESCAPE);
        })
        .Then([&] {
            currentAfterHelp = CurrentDialog();
            win::headless::PressKey(win::VK_RETURN);
        });
    script.Install();
    EXPECT_EQ(RunPromptDialog(desc), 1);
    EXPECT_EQ(helpTitle, "Pin Name");
    EXPECT_EQ(currentAfterHelp, prompt);
    EXPECT_EQ(desc.choice, 'o');
    EXPECT_EQ(win::Help().requests.back().data, 3011u);
}

TEST_F(DialogServicesTest, FileKindsByExtensionAndFirstLine)
{
    EXPECT_EQ(DetectFileKind("/x/Amp.cir", 1), 1);
    EXPECT_EQ(DetectFileKind("nom.LIB", 1), 2);
    EXPECT_EQ(DetectFileKind("a.stm", 1), 2);
    EXPECT_EQ(DetectFileKind("a.lbr", 1), 3);
    EXPECT_EQ(DetectFileKind("a.mdl", 1), 4);
    EXPECT_EQ(DetectFileKind("pic.WMF", 1), kFileKindPicture);
    std::ofstream(dir_ / "sectioned.sch") << "[Main]\r\nFileType=CIR\r\n";
    std::ofstream(dir_ / "banner.old") << "5.03\nKestrion\n";
    std::ofstream(dir_ / "notes.txt") << "hello\n";
    EXPECT_EQ(DetectFileKind(Path("sectioned.sch"), 1), 1);
    EXPECT_EQ(DetectFileKind(Path("banner.old"), 1), 1);
    EXPECT_EQ(DetectFileKind(Path("notes.txt"), 1), -1);
    EXPECT_EQ(DetectFileKind(Path("missing.txt"), 1), -1);
    // A .cir is a SPICE netlist unless its first line claims it for a schematic: a damaged or an
    // outdated schematic still goes to the schematic reader, which names its fault.
    std::ofstream(dir_ / "rc.cir") << "\n; comment\nRC low pass\nR1 1 2 1K\n.END\n";
    std::ofstream(dir_ / "damaged.cir") << "[Main]\nFileType=XYZ\n";
    std::ofstream(dir_ / "outdated.cir") << "; saved long ago\n3.10\nKestrion III\n";
    std::ofstream(dir_ / "empty.cir") << "";
    EXPECT_EQ(DetectFileKind(Path("rc.cir"), 1), kFileKindTextCircuit);
    EXPECT_EQ(DetectFileKind(Path("damaged.cir"), 1), kFileKindSchematic);
    EXPECT_EQ(DetectFileKind(Path("outdated.cir"), 1), kFileKindSchematic);
    EXPECT_EQ(DetectFileKind(Path("empty.cir"), 1), kFileKindSchematic);
}

TEST_F(DialogServicesTest, SavingASchematicNeedsItsExtensionASpiceFileDoesNot)
{
    std::string path = "amp.cir";
    win::ScriptFileDialogAnswer("amp.txt");  // refused: the dialog stays open
    win::ScriptFileDialogAnswer("amp2.cir");
    EXPECT_EQ(FileDialogByKind(nullptr, path, 2, "Schematic (*.CIR)|*.CIR|", 1), 1);
    EXPECT_EQ(path, Path("amp2.cir"));
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].caption, "Warning");
    EXPECT_EQ(win::MessageBoxLog()[0].text, "File name must have an 'CIR' extension.");

    win::ClearMessageBoxLog();
    path = "net.ckt";
    win::ScriptFileDialogAnswer("net.txt");
    EXPECT_EQ(FileDialogByKind(nullptr, path, 2, "SPICE (*.CKT;*.LIB;*.STM)|*.CKT;*.LIB;*.STM|", 2), 2);
    EXPECT_EQ(path, Path("net.txt"));
    EXPECT_TRUE(win::MessageBoxLog().empty());

    // Cancelled: -1 and nothing chosen.
    win::ScriptFileDialogAnswer(std::nullopt);
    EXPECT_EQ(FileDialogByKind(nullptr, path, 1, "Schematic (*.CIR)|*.CIR|", 1), -1);
}

TEST_F(DialogServicesTest, OpenAndSaveByKindAreShownInTheDataDirectory)
{
    std::ofstream(dir_ / "amp.cir") << "[Main]\n";
    std::ofstream(dir_ / "lib.ckt") << "* x\n";
    win::SetCommonDialogsShownHeadless(true);
    for (int kind : {1, 2, 3, 4}) {
        std::string shownFolder;
        InputScript script;
        script.Then([&] {
            win::HWND dialog = win::CurrentCommonDialogWindow();
            shownFolder = win::GetDlgItemText(dialog, win::kFolderPath);
            SaveScreen("open_kind_" + std::to_string(kind));
            win::headless::PressKey(win::VK_ESCAPE);
        });
        script.Install();
        std::string path = "x";
        EXPECT_EQ(AskOpenFileNameByKind(nullptr, path, kind), 0);
        EXPECT_EQ(path, "");
        EXPECT_EQ(shownFolder, dir_.string()) << kind;
    }
    for (int kind : {1, 2, 3, 4}) {
        InputScript script;
        script.Then([&] {
            SaveScreen("save_kind_" + std::to_string(kind));
            win::headless::PressKey(win::VK_ESCAPE);
        });
        script.Install();
        EXPECT_EQ(AskSaveFileNameByKind(nullptr, "untitled", kind), "");
    }

    InputScript open;
    open.Then([&] {
        win::HWND dialog = win::CurrentCommonDialogWindow();
        win::SetFocus(win::GetDlgItem(dialog, win::kFileNameEdit));
        win::SendMessage(win::GetFocus(), win::EM_SETSEL, 0, -1);
        win::headless::TypeText("AMP.CIR");
        win::headless::PressKey(win::VK_RETURN);
    });
    open.Install();
    std::string path;
    EXPECT_EQ(AskOpenFileNameByKind(nullptr, path, 1), 1);
    EXPECT_EQ(path, Path("amp.cir"));
}

int SchematicWindowCount()
{
    int count = 0;
    for (const auto& record : WindowRecords().records)
        if (record->kind == kWindowSchematic && record->window != nullptr) ++count;
    return count;
}

TEST_F(DialogServicesTest, TheOpenDialogPreviewsTheSelectedSchematicAndClosesItAfter)
{
    const fs::path sample = fs::path(KQ5_SOURCE_DIR) / "tests" / "circuits" / "rc_filter.cir";
    fs::copy_file(sample, dir_ / "amp.cir");
    fs::copy_file(sample, dir_ / "filter.cir");
    win::SetCommonDialogsShownHeadless(true);
    int previews = -1, previewsAfterSecond = -1;
    std::string previewTitle;
    InputScript script;
    auto clickItem = [](int index) {
        win::HWND list = win::GetDlgItem(win::CurrentCommonDialogWindow(), win::kFileList);
        win::RECT r{};
        win::SendMessage(list, win::LB_GETITEMRECT, static_cast<win::WPARAM>(index), reinterpret_cast<win::LPARAM>(&r));
        win::testing::ClickClient(list, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    script.Then([&] { clickItem(0); })
        .Then([&] {
            previews = SchematicWindowCount();
            for (const auto& record : WindowRecords().records)
                if (record->kind == kWindowSchematic && record->window != nullptr) previewTitle = GetRecordTitle(record.get());
            SaveScreen("open_preview");
            clickItem(1);
        })
        .Then([&] {
            previewsAfterSecond = SchematicWindowCount();
            win::headless::PressKey(win::VK_RETURN);
        });
    script.Install();
    std::string path;
    EXPECT_EQ(AskOpenFileNameByKind(nullptr, path, 1), 1);
    EXPECT_EQ(path, Path("filter.cir"));
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(previewTitle, Path("amp.cir"));
    EXPECT_EQ(previewsAfterSecond, 1);  // the one preview window is reused
    EXPECT_EQ(SchematicWindowCount(), 0);
    EXPECT_EQ(SettingsFile().dataDirectory, dir_.string());
}

TEST_F(DialogServicesTest, DeleteFileAsksAndDeletesOnlyOnYes)
{
    std::ofstream(dir_ / "old.cir") << "[Main]\n";
    std::ofstream(dir_ / "keep.cir") << "[Main]\n";
    Settings().workingDirectory = dir_.string();
    win::ScriptFileDialogAnswer("old.cir");
    win::PushMessageBoxAnswer(win::IDNO);
    DeleteFileCommand();
    EXPECT_TRUE(fs::exists(dir_ / "old.cir"));
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, "Are you sure you want to delete this file(s) 'old.cir'?");

    win::ScriptFileDialogAnswer("old.cir");
    win::PushMessageBoxAnswer(win::IDYES);
    DeleteFileCommand();
    EXPECT_FALSE(fs::exists(dir_ / "old.cir"));
    EXPECT_TRUE(fs::exists(dir_ / "keep.cir"));

    // The shown dialog, for its picture.
    win::SetCommonDialogsShownHeadless(true);
    InputScript script;
    script.Then([&] {
        SaveScreen("delete_file");
        win::headless::PressKey(win::VK_ESCAPE);
    });
    script.Install();
    DeleteFileCommand();
    EXPECT_TRUE(fs::exists(dir_ / "keep.cir"));
}

TEST(DialogHelpers, SignumAndMessageTexts)
{
    EXPECT_EQ(Signum(-2.5), -1.0);
    EXPECT_EQ(Signum(0.0), 0.0);
    EXPECT_EQ(Signum(1e-300), 1.0);
    EXPECT_EQ(MessageTextStatic(5351), "Kestrion V");
    EXPECT_EQ(MessageTextStatic(1), "");
}

}  // namespace
}  // namespace kq5
