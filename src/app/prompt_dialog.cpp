#include "app/prompt_dialog.h"

#include <deque>
#include <utility>

#include "app/dialog_services.h"
#include "app/window_record.h"
#include "core/char_classes.h"
#include "platform/backend.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/dialog_template.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "platform/window.h"

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

bool& ShownHeadless()
{
    static bool shown = false;
    return shown;
}

win::INT_PTR PromptProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    PromptDialogDesc* desc = DialogData<PromptDialogDesc>(dialog, message, lParam);
    if (desc == nullptr) return win::FALSE;
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        if ((desc->flags & kPromptUseCaption) != 0 || !desc->caption.empty())
            win::SetWindowText(dialog, desc->caption.c_str());
        win::SetDlgItemText(dialog, kPromptFirstField, desc->text.c_str());
        if (desc->maxLength > 0)
            win::SendDlgItemMessage(dialog, kPromptFirstField, win::EM_LIMITTEXT, static_cast<win::WPARAM>(desc->maxLength), 0);
        if ((desc->flags & kPromptHasSecond) != 0) win::SetDlgItemText(dialog, kPromptSecondField, desc->secondText.c_str());
        const std::string letters = PromptChoiceLetters(desc->templateId);
        if (!letters.empty()) {
            const std::size_t at = letters.find(desc->choice);
            win::CheckRadioButton(dialog, kPromptFirstChoice, kPromptFirstChoice + 1,
                                  kPromptFirstChoice + static_cast<int>(at == std::string::npos ? 0 : at));
        }
        win::CheckDlgButton(dialog, kPromptCheck, desc->check != 0 ? win::BST_CHECKED : win::BST_UNCHECKED);
        // Further check boxes of the template show the descriptor's values.
        for (const auto& [id, value] : desc->controls)
            if (win::HWND item = win::GetDlgItem(dialog, id); item && EqualsNoCase(win::GetClassName(item), "Button"))
                win::CheckDlgButton(dialog, id, value != 0 ? win::BST_CHECKED : win::BST_UNCHECKED);
        const int focus = (desc->flags & kPromptFocusSecond) != 0 ? kPromptSecondField : kPromptFirstField;
        if (win::HWND field = win::GetDlgItem(dialog, focus)) {
            win::SetFocus(field);
            win::SendMessage(field, win::EM_SETSEL, 0, -1);
            return win::FALSE;
        }
        return win::TRUE;
    }
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK: {
            desc->text = win::GetDlgItemText(dialog, kPromptFirstField);
            if ((desc->flags & kPromptHasSecond) != 0) desc->secondText = win::GetDlgItemText(dialog, kPromptSecondField);
            const std::string letters = PromptChoiceLetters(desc->templateId);
            for (std::size_t i = 0; i < letters.size(); ++i)
                if (win::IsDlgButtonChecked(dialog, kPromptFirstChoice + static_cast<int>(i)) == win::BST_CHECKED)
                    desc->choice = letters[i];
            if (win::GetDlgItem(dialog, kPromptCheck) != nullptr)
                desc->check = win::IsDlgButtonChecked(dialog, kPromptCheck) == win::BST_CHECKED ? 1 : 0;
            for (auto& [id, value] : desc->controls)
                if (win::HWND item = win::GetDlgItem(dialog, id); item && EqualsNoCase(win::GetClassName(item), "Button"))
                    value = win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED ? 1 : 0;
            CloseDialog(dialog, 1);
            return win::TRUE;
        }
        case win::IDCANCEL:
            CloseDialog(dialog, 2);
            return win::TRUE;
        case kPromptDelete:
            CloseDialog(dialog, kPromptDelete);
            return win::TRUE;
        case kDialogHelpButton:
            ShowDialogHelp(desc->helpId != 0 ? desc->helpId : desc->templateId);
            return win::TRUE;
        default:
            return win::FALSE;
        }
    default:
        return win::FALSE;
    }
}

int RunPromptTemplate(PromptDialogDesc& desc)
{
    WindowRecord* owner = desc.owner != nullptr ? desc.owner : FrameRecord();
    PromptDialogDesc working = desc;
    const win::INT_PTR result =
        RunDialogParam(owner != nullptr ? owner->window : nullptr, desc.templateId, &PromptProc,
                       reinterpret_cast<win::LPARAM>(&working));
    if (result == 1) desc = std::move(working);
    if (result == 1 || result == kPromptDelete) return static_cast<int>(result);
    return 2;
}

}  // namespace

int RunPromptDialog(PromptDialogDesc& desc)
{
    PromptScript& script = Script();
    script.log.push_back(desc.caption);
    if (script.answers.empty()) {
        const bool shown = win::CurrentBackendKind() != win::BackendKind::Headless || ShownHeadless();
        if (shown && win::FindDialogTemplate(desc.templateId) != nullptr) return RunPromptTemplate(desc);
        return 1;
    }
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

void ClearPromptDesc(PromptDialogDesc& desc) { desc = PromptDialogDesc{}; }

std::string PromptChoiceLetters(int templateId)
{
    switch (templateId) {
    case 3009:
        return "ad";
    case 3011:
        return "io";
    case 3012:
    case 3014:
        return "er";
    default:
        return {};
    }
}

void SetPromptDialogsShownHeadless(bool shown) { ShownHeadless() = shown; }

void PushPromptAnswer(PromptAnswer answer) { Script().answers.push_back(std::move(answer)); }

const std::vector<std::string>& PromptDialogLog() { return Script().log; }

void ClearPromptDialogs()
{
    Script().answers.clear();
    Script().log.clear();
    ShownHeadless() = false;
}

}  // namespace kq5
