#pragma once
// The program's help: the help text file "help.kq5" beside the program and the help text
// window that shows one of its topics, the help commands of the Help menu and the "&Help..."
// buttons of the dialogs, and the error-text services around them.
//
// help.kq5 is plain text. A line "@topic ids title" starts a topic: ids is one id or several
// joined by commas (a command id, a dialog template id, a help context), the title the rest of
// the line. The topic's text is every line up to the next "@topic" line, with leading and
// trailing empty lines dropped. A line "@see id text" in a topic is a link to the topic of that
// id; links are listed under the text rather than in it. Lines before the first topic are
// comments.
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

struct HelpLink {
    int id = 0;
    std::string text;
};

struct HelpTopic {
    std::string title;
    std::string text;
    std::vector<HelpLink> links;
};

constexpr int kHelpContentsTopic = 17800;
constexpr int kHelpSupportTopic = 3;
constexpr int kHelpTextTemplate = 3016;
constexpr int kHelpTextItem = 100;
constexpr int kHelpLinksItem = 101;
constexpr int kHelpContentsButton = 102;
constexpr int kHelpBackButton = 103;
// The help command that opens the topic of a help context.
constexpr int kHelpContextCommand = 17803;

// The topic of an id in a help text (false when it has none).
bool FindHelpTopic(std::string_view helpText, int id, HelpTopic& topic);
// The help text file: "help.kq5" in the program's directory.
std::string HelpTextFilePath();
// The topic of an id in the help text file (false when the file or the topic is missing).
bool LoadHelpTopic(int id, HelpTopic& topic);

// The help text window on a topic: a modal dialog sized to the text, owned by the window given
// (the frame when null). Its links lead to other topics in the same window (Enter or a double
// click), Contents to the contents and Back to the topic shown before. Opening it counts as a
// command use. A topic that is missing shows the contents topic; false when there is no help
// text at all (nothing is shown).
bool ShowHelpText(win::HWND owner, int topic);

// The help commands: 17800 contents, 17801 search (the contents), 17802 product support,
// 17803 the context given. Each request is also handed to WinHelp (which logs it); the help
// text window shows the topic. Other ids do nothing.
void ShowHelpTopic(int commandId, int context);
// The help file of the help requests: the program's directory and "kq5.hlp".
std::string HelpFilePath();
// WinHelp with HELP_KEY and the keyword over the record's window.
void ShowHelpKeyword(WindowRecord* record, std::string_view keyword);

// 1 after reporting 15002 "Insufficient memory." when the pointer is null, else 0.
int CheckMemory(const void* pointer);

}  // namespace kq5
