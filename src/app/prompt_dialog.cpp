#include "app/prompt_dialog.h"

#include <deque>
#include <utility>

namespace kq5 {

namespace {

struct PromptScript {
    std::deque<PromptAnswer> answers;
    std::vector<std::string> log;
};

PromptScript& Script()
{
    static PromptScript script;
    return script;
}

}  // namespace

int RunPromptDialog(PromptDialogDesc& desc)
{
    PromptScript& script = Script();
    script.log.push_back(desc.caption);
    if (script.answers.empty()) return 1;
    PromptAnswer answer = std::move(script.answers.front());
    script.answers.pop_front();
    if (answer.button != 1) return 2;
    if (answer.text) {
        desc.text = std::move(*answer.text);
        if (desc.maxLength > 0 && desc.text.size() > static_cast<std::size_t>(desc.maxLength))
            desc.text.resize(static_cast<std::size_t>(desc.maxLength));
    }
    if (answer.font) desc.font = *answer.font;
    for (const auto& [id, value] : answer.controls) desc.controls[id] = value;
    return 1;
}

void PushPromptAnswer(PromptAnswer answer) { Script().answers.push_back(std::move(answer)); }

const std::vector<std::string>& PromptDialogLog() { return Script().log; }

void ClearPromptDialogs()
{
    Script().answers.clear();
    Script().log.clear();
}

}  // namespace kq5
