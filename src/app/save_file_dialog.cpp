#include "app/save_file_dialog.h"

#include <algorithm>
#include <deque>

#include "core/string_table.h"
#include "platform/common_dialogs_file.h"

namespace kq5 {

namespace {

std::deque<std::string>& Answers()
{
    static std::deque<std::string> answers;
    return answers;
}

// The save dialog with the filter of the kind (its "|" separators made NULs).
std::string AskWithDialog(const std::string& startName, int kind)
{
    win::OPENFILENAME ofn;
    std::string filter(FindStringTableText(10120 + kind).value_or(""));
    std::replace(filter.begin(), filter.end(), '|', '\0');
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = startName;
    ofn.Flags = win::OFN_OVERWRITEPROMPT | win::OFN_HIDEREADONLY | win::OFN_PATHMUSTEXIST;
    if (!win::GetSaveFileName(&ofn)) return std::string();
    return ofn.lpstrFile;
}

}  // namespace

std::string AskSaveFileNameByKind(WindowRecord* /*record*/, const std::string& startName, int kind)
{
    std::deque<std::string>& answers = Answers();
    if (answers.empty()) return AskWithDialog(startName, kind);
    std::string name = std::move(answers.front());
    answers.pop_front();
    return name;
}

void PushSaveFileNameAnswer(const std::string& name) { Answers().push_back(name); }

void ResetSaveFileDialogForTests() { Answers().clear(); }

}  // namespace kq5
