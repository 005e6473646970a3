#include "ui/help_topics.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ui/dialog_services.h"
#include "ui/program_settings.h"
#include "ui/usage_file.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/paint.h"
#include "platform/win_styles.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/win_messages.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "platform/winhelp.h"

namespace kq5 {

namespace {

constexpr std::string_view kTopicMarker = "@topic";
constexpr std::string_view kLinkMarker = "@see ";
constexpr int kMaxLinkRows = 8;
constexpr int kHelpWindowUse = 13401;  // the usage row "More"
constexpr int kHelpTextWidth = 420;    // pixels the text is wrapped to
constexpr int kMargin = 10;

bool TopicLineHasId(std::string_view ids, int id)
{
    while (!ids.empty()) {
        const std::size_t comma = ids.find(',');
        const std::string item(ids.substr(0, comma));
        if (!item.empty() && std::atoi(item.c_str()) == id) return true;
        if (comma == std::string_view::npos) break;
        ids.remove_prefix(comma + 1);
    }
    return false;
}

std::string WithoutEdgeEmptyLines(const std::string& text)
{
    std::size_t begin = 0;
    while (begin < text.size() && text[begin] == '\n') ++begin;
    std::size_t end = text.size();
    while (end > begin && (text[end - 1] == '\n' || text[end - 1] == ' ')) --end;
    return text.substr(begin, end - begin);
}

struct HelpWindowData {
    HelpTopic topic;
    std::vector<int> shown;  // the topics shown before, for Back
    int current = 0;
};

// Sizes the dialog to the topic: the text wrapped at a fixed width, the links under it, the
// buttons under them, the whole kept within the work area.
void FitHelpWindow(win::HWND dialog, const HelpTopic& topic)
{
    const std::string& text = topic.text;
    win::HWND item = win::GetDlgItem(dialog, kHelpTextItem);
    win::HWND links = win::GetDlgItem(dialog, kHelpLinksItem);
    win::HWND ok = win::GetDlgItem(dialog, win::IDOK);
    win::HDC dc = win::GetDC(item);
    win::HFONT font = reinterpret_cast<win::HFONT>(win::SendMessage(item, win::WM_GETFONT, 0, 0));
    win::HGDIOBJ old = font != nullptr ? win::SelectObject(dc, font) : nullptr;
    win::RECT r{0, 0, kHelpTextWidth, 0};
    win::DrawText(dc, text, &r, win::DT_CALCRECT | win::DT_WORDBREAK | win::DT_EXPANDTABS | win::DT_NOPREFIX);
    if (old != nullptr) win::SelectObject(dc, old);
    win::ReleaseDC(item, dc);
    win::RECT work{};
    win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &work, 0);
    win::RECT okRect{};
    win::GetWindowRect(ok, &okRect);
    const int okWidth = okRect.right - okRect.left;
    const int okHeight = okRect.bottom - okRect.top;
    win::RECT outer{}, client{};
    win::GetWindowRect(dialog, &outer);
    win::GetClientRect(dialog, &client);
    const int frameX = (outer.right - outer.left) - client.right;
    const int frameY = (outer.bottom - outer.top) - client.bottom;
    const int rowHeight = std::max(1, static_cast<int>(win::SendMessage(links, win::LB_GETITEMHEIGHT, 0, 0)));
    const int rows = std::min<int>(static_cast<int>(topic.links.size()), kMaxLinkRows);
    const int linksHeight = rows > 0 ? rows * rowHeight + 4 : 0;
    const int linksGap = rows > 0 ? kMargin : 0;
    const int maxTextHeight =
        std::max(40, (work.bottom - work.top) - frameY - okHeight - linksHeight - linksGap - 3 * kMargin);
    const int textWidth = std::max<int>(r.right, 3 * okWidth + 2 * kMargin);
    const int textHeight = std::min<int>(r.bottom, maxTextHeight);
    win::MoveWindow(item, kMargin, kMargin, textWidth, textHeight, win::TRUE);
    win::ShowWindow(links, rows > 0 ? win::SW_SHOW : win::SW_HIDE);
    win::MoveWindow(links, kMargin, kMargin + textHeight + linksGap, textWidth, linksHeight, win::TRUE);
    const int clientWidth = textWidth + 2 * kMargin;
    const int buttonsTop = 2 * kMargin + textHeight + linksGap + linksHeight;
    win::MoveWindow(win::GetDlgItem(dialog, kHelpContentsButton), kMargin, buttonsTop, okWidth, okHeight, win::TRUE);
    win::MoveWindow(win::GetDlgItem(dialog, kHelpBackButton), 2 * kMargin + okWidth, buttonsTop, okWidth, okHeight, win::TRUE);
    win::MoveWindow(ok, clientWidth - kMargin - okWidth, buttonsTop, okWidth, okHeight, win::TRUE);
    const int width = clientWidth + frameX;
    const int height = buttonsTop + okHeight + kMargin + frameY;
    const int x = work.left + std::max(0, ((work.right - work.left) - width) / 2);
    const int y = work.top + std::max(0, ((work.bottom - work.top) - height) / 2);
    win::MoveWindow(dialog, x, y, width, height, win::TRUE);
    // Controls moved out past the old edge were clipped while they moved: all of it is drawn anew.
    win::RedrawWindow(dialog, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN);
}

// The window opens with OK in focus, so that Enter closes it as it always has; once the user
// is following links, the keyboard stays on them.
void ShowTopicInWindow(win::HWND dialog, const HelpWindowData& data, bool onLinks)
{
    win::SetWindowText(dialog, data.topic.title.c_str());
    win::SetDlgItemText(dialog, kHelpTextItem, data.topic.text.c_str());
    win::HWND links = win::GetDlgItem(dialog, kHelpLinksItem);
    win::SendMessage(links, win::LB_RESETCONTENT, 0, 0);
    for (const HelpLink& link : data.topic.links)
        win::SendMessage(links, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(link.text.c_str()));
    if (!data.topic.links.empty()) win::SendMessage(links, win::LB_SETCURSEL, 0, 0);
    win::EnableWindow(win::GetDlgItem(dialog, kHelpBackButton), data.shown.empty() ? win::FALSE : win::TRUE);
    win::EnableWindow(win::GetDlgItem(dialog, kHelpContentsButton), data.current == kHelpContentsTopic ? win::FALSE : win::TRUE);
    FitHelpWindow(dialog, data.topic);
    win::SetFocus(onLinks && !data.topic.links.empty() ? links : win::GetDlgItem(dialog, win::IDOK));
}

// Moves the window to another topic; the one left is remembered for Back unless going back.
void GoToTopic(win::HWND dialog, HelpWindowData& data, int id, bool back)
{
    HelpTopic next;
    if (!LoadHelpTopic(id, next)) return;
    if (!back) data.shown.push_back(data.current);
    data.current = id;
    data.topic = std::move(next);
    ShowTopicInWindow(dialog, data, true);
}

void FollowSelectedLink(win::HWND dialog, HelpWindowData& data)
{
    const auto at = win::SendDlgItemMessage(dialog, kHelpLinksItem, win::LB_GETCURSEL, 0, 0);
    if (at < 0 || static_cast<std::size_t>(at) >= data.topic.links.size()) return;
    GoToTopic(dialog, data, data.topic.links[static_cast<std::size_t>(at)].id, false);
}

win::INT_PTR HelpWindowProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    HelpWindowData* data = DialogData<HelpWindowData>(dialog, message, lParam);
    if (data == nullptr) return win::FALSE;
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        ShowTopicInWindow(dialog, *data, false);
        return win::FALSE;  // the focus is set
    }
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            // Enter on a link follows it; anywhere else it closes the window.
            if (win::GetFocus() == win::GetDlgItem(dialog, kHelpLinksItem) && !data->topic.links.empty()) {
                FollowSelectedLink(dialog, *data);
                return win::TRUE;
            }
            CloseDialog(dialog, win::IDOK);
            return win::TRUE;
        case win::IDCANCEL:
            CloseDialog(dialog, win::IDCANCEL);
            return win::TRUE;
        case kHelpLinksItem:
            if (win::HIWORD(wParam) == win::LBN_DBLCLK) FollowSelectedLink(dialog, *data);
            return win::TRUE;
        case kHelpContentsButton:
            if (data->current != kHelpContentsTopic) GoToTopic(dialog, *data, kHelpContentsTopic, false);
            return win::TRUE;
        case kHelpBackButton:
            if (!data->shown.empty()) {
                const int previous = data->shown.back();
                data->shown.pop_back();
                GoToTopic(dialog, *data, previous, true);
            }
            return win::TRUE;
        default:
            return win::FALSE;
        }
    default:
        return win::FALSE;
    }
}

}  // namespace

bool FindHelpTopic(std::string_view helpText, int id, HelpTopic& topic)
{
    bool inTopic = false;
    bool lastLineListed = false;
    std::string text;
    std::size_t at = 0;
    while (at <= helpText.size()) {
        std::size_t end = helpText.find('\n', at);
        if (end == std::string_view::npos) end = helpText.size();
        std::string_view line = helpText.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at = end + 1;
        if (line.substr(0, kTopicMarker.size()) == kTopicMarker &&
            (line.size() == kTopicMarker.size() || line[kTopicMarker.size()] == ' ')) {
            if (inTopic) break;
            std::string_view rest = line.substr(kTopicMarker.size());
            while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
            const std::size_t blank = rest.find(' ');
            const std::string_view ids = rest.substr(0, blank);
            if (TopicLineHasId(ids, id)) {
                inTopic = true;
                topic.links.clear();
                topic.title = blank == std::string_view::npos ? std::string() : std::string(rest.substr(blank + 1));
            }
            continue;
        }
        if (inTopic && line.substr(0, kLinkMarker.size()) == kLinkMarker) {
            std::string_view rest = line.substr(kLinkMarker.size());
            const std::size_t blank = rest.find(' ');
            const int target = std::atoi(std::string(rest.substr(0, blank)).c_str());
            if (target != 0 && blank != std::string_view::npos) topic.links.push_back({target, std::string(rest.substr(blank + 1))});
            continue;
        }
        if (inTopic) {
            // The file is wrapped for its editor; the window wraps for itself. Lines of one
            // paragraph are joined, while empty lines and lines that begin with a tab (lists)
            // keep their breaks.
            const bool continues = !line.empty() && line.front() != '\t' && !text.empty() && text.back() == '\n' &&
                                   text.size() >= 2 && text[text.size() - 2] != '\n' && !lastLineListed;
            if (continues) text.back() = ' ';
            lastLineListed = !line.empty() && line.front() == '\t';
            text.append(line);
            text += '\n';
        }
    }
    if (!inTopic) return false;
    topic.text = WithoutEdgeEmptyLines(text);
    return true;
}

std::string HelpTextFilePath() { return Settings().programDirectory + "help.kq5"; }

bool LoadHelpTopic(int id, HelpTopic& topic)
{
    std::ifstream in(HelpTextFilePath(), std::ios::binary);
    if (!in) return false;
    std::stringstream text;
    text << in.rdbuf();
    return FindHelpTopic(text.str(), id, topic);
}

bool ShowHelpText(win::HWND owner, int topicId)
{
    HelpWindowData data;
    data.current = topicId;
    if (!LoadHelpTopic(topicId, data.topic)) {
        data.current = kHelpContentsTopic;
        if (!LoadHelpTopic(kHelpContentsTopic, data.topic)) return false;
    }
    CountCommandUse(kHelpWindowUse);
    if (owner == nullptr && FrameRecord() != nullptr) owner = FrameRecord()->window;
    // The window's own record marks it as a plain dialog for the routing of keys and commands.
    WindowRecord* record = NewWindowRecord(nullptr, kWindowPlainDialog);
    RunDialogParam(owner, kHelpTextTemplate, &HelpWindowProc, reinterpret_cast<win::LPARAM>(&data));
    if (record != nullptr) FreeWindowRecord(record);
    return true;
}

std::string HelpFilePath() { return Settings().programDirectory + "kq5.hlp"; }

void ShowHelpTopic(int commandId, int context)
{
    const std::string file = HelpFilePath();
    int topic = 0;
    switch (commandId) {
    case 17800:
        win::WinHelp(nullptr, file.c_str(), win::HELP_CONTENTS, 1);
        topic = kHelpContentsTopic;
        break;
    case 17801:
        win::WinHelp(nullptr, file.c_str(), win::HELP_PARTIALKEY, reinterpret_cast<win::ULONG_PTR>(""));
        topic = kHelpContentsTopic;
        break;
    case 17802:
        win::WinHelp(nullptr, file.c_str(), win::HELP_CONTEXT, kHelpSupportTopic);
        topic = kHelpSupportTopic;
        break;
    case 17803:
        win::WinHelp(nullptr, file.c_str(), win::HELP_CONTEXT, static_cast<win::ULONG_PTR>(context));
        topic = context;
        break;
    default:
        return;
    }
    ShowHelpText(CurrentDialog(), topic);
}

void ShowHelpKeyword(WindowRecord* record, std::string_view keyword)
{
    const std::string key(keyword);
    win::WinHelp(record != nullptr ? record->window : nullptr, HelpFilePath().c_str(), win::HELP_KEY,
                 reinterpret_cast<win::ULONG_PTR>(key.c_str()));
}

int CheckMemory(const void* pointer)
{
    if (pointer != nullptr) return 0;
    ReportMessage("WE", FrameRecord(), kMsgInsufficientMemory);
    return 1;
}

}  // namespace kq5
