#include "document/save_file_dialog.h"

#include <deque>

#include "document/file_dialogs.h"
#include "platform/string_table.h"

namespace kq5 {

namespace {

std::deque<std::string>& Answers()
{
    static std::deque<std::string> answers;
    return answers;
}

}  // namespace

std::string AskSaveFileNameByKind(WindowRecord* record, const std::string& startName, int kind)
{
    std::deque<std::string>& answers = Answers();
    if (answers.empty()) {
        std::string name = startName;
        const std::string filter(FindStringTableText(10120 + kind).value_or(""));
        return FileDialogByKind(record, name, 2, filter, kind) >= 0 ? name : std::string();
    }
    std::string name = std::move(answers.front());
    answers.pop_front();
    return name;
}

void PushSaveFileNameAnswer(const std::string& name) { Answers().push_back(name); }

void ResetSaveFileDialogForTests() { Answers().clear(); }

}  // namespace kq5
