#include "document/title_block.h"

#include <algorithm>
#include <ctime>
#include <strings.h>

#include "ui/dialog_services.h"
#include "ui/color_dialog.h"
#include "ui/user_names.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace kq5 {

namespace {

bool TokenAt(std::string_view text, std::size_t pos, std::string_view token)
{
    return text.size() - pos >= token.size() && strncasecmp(text.data() + pos, token.data(), token.size()) == 0;
}

std::string NowText(const char* format)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

// The document's file name up to its first ".".
std::string DocumentName(const WindowRecord* record)
{
    if (!record) return {};
    std::string name = record->document && !record->document->name.empty() ? record->document->name : record->title;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

FieldValues PrintFieldValues(const WindowRecord* record, int page, int pageCount)
{
    const UserAndCompanyNames& names = UserAndCompanyNamesSetting();
    return {{"$date", NowText("%x")},
            {"$time", NowText("%X")},
            {"$page", std::to_string(page)},
            {"$maxpage", std::to_string(pageCount)},
            {"$user", names.userName},
            {"$company", names.companyName},
            {"$name", DocumentName(record)}};
}

win::INT_PTR TitleBlockDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    TitleBlockState& t = TitleBlockFields();
    if (msg == win::WM_INITDIALOG) {
        for (int i = 0; i < kTitleBlockFields; ++i) {
            win::SendDlgItemMessage(dialog, 100 + i, win::EM_LIMITTEXT, kTitleBlockFieldMax, 0);
            win::SetDlgItemText(dialog, 100 + i, t.fields[static_cast<std::size_t>(i)].c_str());
        }
        win::CheckDlgButton(dialog, 110, t.oneTitle ? 1 : 0);
        return win::TRUE;
    }
    if (msg != win::WM_COMMAND) return win::FALSE;
    switch (win::LOWORD(wParam)) {
    case win::IDOK:
        for (int i = 0; i < kTitleBlockFields; ++i) {
            std::string text = win::GetDlgItemText(dialog, 100 + i);
            if (text.size() > kTitleBlockFieldMax) text.resize(kTitleBlockFieldMax);
            t.fields[static_cast<std::size_t>(i)] = std::move(text);
        }
        t.oneTitle = win::IsDlgButtonChecked(dialog, 110) ? 1 : 0;
        for (const auto& record : WindowRecords().records)
            if (record && record->window && record->document) win::InvalidateRect(record->window, nullptr, win::TRUE);
        win::EndDialog(dialog, 1);
        return win::TRUE;
    case win::IDCANCEL:
        win::EndDialog(dialog, 0);
        return win::TRUE;
    case 9:
        ShowDialogHelp(kTitleBlockTemplate);
        return win::TRUE;
    default:
        return win::FALSE;
    }
}

}  // namespace

TitleBlockState& TitleBlockFields()
{
    static TitleBlockState state = [] {
        TitleBlockState s;
        s.fields = {"$name", "$user $company", "", "$date", "sheet $sheet of $maxsheet"};
        return s;
    }();
    return state;
}

void SetTitleBlockDefaults()
{
    TitleBlockState& t = TitleBlockFields();
    t.fields = {"$name", "$user $company", "", "$date", "sheet $sheet of $maxsheet"};
    t.oneTitle = 0;
}

void ResetTitleBlockForTests()
{
    TitleBlockFields() = TitleBlockState{};
    SetTitleBlockDefaults();
}

std::string ReplaceToken(std::string_view text, std::string_view token, std::string_view value)
{
    return SubstituteFields(text, {{std::string(token), std::string(value)}});
}

std::string SubstituteFields(std::string_view text, const FieldValues& fields)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const FieldValues::value_type* hit = nullptr;
        for (const auto& field : fields)
            if (!field.first.empty() && TokenAt(text, pos, field.first)) {
                hit = &field;
                break;
            }
        if (hit) {
            out += hit->second;
            pos += hit->first.size();
        } else {
            out += text[pos++];
        }
    }
    return out;
}

std::string SubstitutePrintFields(const WindowRecord* record, std::string_view text, int page, int pageCount)
{
    return SubstituteFields(text, PrintFieldValues(record, page, pageCount));
}

std::string TitleBlockFieldText(const WindowRecord* record, int fieldIndex, int pageIndex, int sheet, int sheetCount)
{
    if (fieldIndex < 0 || fieldIndex >= kTitleBlockFields) return {};
    const TitleBlockState& t = TitleBlockFields();
    std::string pageName;
    int pageCount = 1;
    if (record && record->document) {
        const auto& pages = record->document->pages;
        pageCount = std::max<int>(1, static_cast<int>(pages.size()));
        if (pageIndex >= 0 && static_cast<std::size_t>(pageIndex) < pages.size())
            pageName = pages[static_cast<std::size_t>(pageIndex)].name;
    }
    // "$pagename" is tried before "$page", so that the shorter token cannot break it.
    FieldValues fields{{"$pagename", pageName}};
    // "$page" is the page's number as a reader counts, from 1 (the first page is not page 0), and
    // "$maxpage" the drawing's pages (its sheets have "$maxsheet").
    for (auto& f : PrintFieldValues(record, pageIndex + 1, pageCount)) fields.push_back(std::move(f));
    fields.push_back({"$maxsheet", t.oneTitle ? "n\\a" : std::to_string(sheetCount)});
    fields.push_back({"$sheet", t.oneTitle ? "n\\a" : std::to_string(sheet)});
    return SubstituteFields(t.fields[static_cast<std::size_t>(fieldIndex)], fields);
}

std::vector<HeaderLine> SplitHeaderText(std::string_view substituted)
{
    std::vector<HeaderLine> lines;
    std::size_t start = 0;
    while (true) {
        std::size_t end = substituted.find("\\n", start);
        std::string_view line = substituted.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        HeaderLine parts;
        std::string* part = &parts.left;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '$' && i + 1 < line.size() && (line[i + 1] == '<' || line[i + 1] == '|' || line[i + 1] == '>')) {
                part = line[i + 1] == '<' ? &parts.left : line[i + 1] == '|' ? &parts.center : &parts.right;
                ++i;
                continue;
            }
            *part += line[i];
        }
        lines.push_back(std::move(parts));
        if (end == std::string_view::npos) break;
        start = end + 2;
    }
    return lines;
}

int RunTitleBlockDialog(win::HWND parent)
{
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), kTitleBlockTemplate, parent, TitleBlockDlgProc, 0));
}

void PrinterSection(SettingsKeys& section)
{
    TitleBlockState& t = TitleBlockFields();
    if (section.writing) {
        for (int i = 0; i < kTitleBlockFields; ++i)
            section.Add("Field_" + std::to_string(i + 1), t.fields[static_cast<std::size_t>(i)]);
        section.AddYesNo("One Title", t.oneTitle != 0);
        section.Add("Orientation", static_cast<long long>(t.orientation));
        section.Add("Header", t.printHeader);
        section.Add("Footer", t.printFooter);
        return;
    }
    for (const auto& [key, value] : section.keys) {
        if (SettingsKeyIs(key, "One Title")) {
            t.oneTitle = SettingsYes(value) ? 1 : 0;
        } else if (SettingsKeyIs(key, "Orientation")) {
            t.orientation = static_cast<int>(SettingsNumber(value, t.orientation));
        } else if (SettingsKeyIs(key, "Header")) {
            t.printHeader = value;
        } else if (SettingsKeyIs(key, "Footer")) {
            t.printFooter = value;
        } else if (SettingsKeyStartsWith(key, "FIELD_") && key.size() == 7 && key[6] >= '1' && key[6] <= '5') {
            std::string text = value;
            if (text.size() > kTitleBlockFieldMax) text.resize(kTitleBlockFieldMax);
            t.fields[static_cast<std::size_t>(key[6] - '1')] = std::move(text);
        }
    }
}

void PrinterSectionOlder(const std::vector<std::string>& lines)
{
    if (lines.empty()) return;
    const long long count = SettingsNumber(lines[0], 0);
    TitleBlockState& t = TitleBlockFields();
    for (long long i = 0; i < count && i < kTitleBlockFields && static_cast<std::size_t>(i + 1) < lines.size(); ++i) {
        std::string text = lines[static_cast<std::size_t>(i + 1)];
        if (text.size() > kTitleBlockFieldMax) text.resize(kTitleBlockFieldMax);
        t.fields[static_cast<std::size_t>(i)] = std::move(text);
    }
}

}  // namespace kq5
