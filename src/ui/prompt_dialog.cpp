#include "ui/prompt_dialog.h"

#include <deque>
#include <utility>

#include "ui/color_dialog.h"
#include "ui/dialog_services.h"
#include "ui/font_select.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "platform/backend.h"
#include "platform/gdi_objects.h"
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

constexpr int kFontButton = 22;
constexpr int kColorButton = 31;

bool IsButtonControl(win::HWND control) { return control && EqualsNoCase(win::GetClassName(control), "Button"); }

// The further controls of a template: radio buttons and check boxes take 1 or 0, number fields
// their (signed) number.
void ShowControls(win::HWND dialog, const PromptDialogDesc& desc)
{
    for (const auto& [id, value] : desc.controls) {
        win::HWND control = win::GetDlgItem(dialog, id);
        if (!control) continue;
        if (IsButtonControl(control)) win::CheckDlgButton(dialog, id, value ? win::BST_CHECKED : win::BST_UNCHECKED);
        else win::SetDlgItemInt(dialog, id, static_cast<win::UINT>(value), win::TRUE);
    }
}

void ReadControls(win::HWND dialog, PromptDialogDesc& desc)
{
    for (auto& [id, value] : desc.controls) {
        win::HWND control = win::GetDlgItem(dialog, id);
        if (!control) continue;
        if (IsButtonControl(control)) {
            value = win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED ? 1 : 0;
        } else {
            win::BOOL translated = win::FALSE;
            const int number = static_cast<int>(win::GetDlgItemInt(dialog, id, &translated, win::TRUE));
            if (translated) value = number;
        }
    }
}

// The text field shows the text in the font it will have.
void ShowTextFont(win::HWND dialog, PromptDialogDesc& desc, win::HFONT& font)
{
    if (font) win::DeleteObject(font);
    font = CreateFontFromSpec(desc.font);
    if (win::HWND field = win::GetDlgItem(dialog, kPromptFirstField))
        win::SendMessage(field, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(font), 1);
}

// The font made for the text field of each open prompt, freed when it closes.
std::map<win::HWND, win::HFONT>& FieldFonts()
{
    static std::map<win::HWND, win::HFONT> fonts;
    return fonts;
}

void FreeFieldFont(win::HWND dialog)
{
    auto found = FieldFonts().find(dialog);
    if (found == FieldFonts().end()) return;
    if (win::HWND field = win::GetDlgItem(dialog, kPromptFirstField)) win::SendMessage(field, win::WM_SETFONT, 0, 0);
    if (found->second) win::DeleteObject(found->second);
    FieldFonts().erase(found);
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
        ShowControls(dialog, *desc);
        if (win::GetDlgItem(dialog, kFontButton)) ShowTextFont(dialog, *desc, FieldFonts()[dialog]);
        if (desc->onInit) desc->onInit(dialog);
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
            ReadControls(dialog, *desc);
            FreeFieldFont(dialog);
            CloseDialog(dialog, 1);
            return win::TRUE;
        }
        case win::IDCANCEL:
            FreeFieldFont(dialog);
            CloseDialog(dialog, 2);
            return win::TRUE;
        case kFontButton:
            if (ChooseFontSpec(dialog, desc->font)) ShowTextFont(dialog, *desc, FieldFonts()[dialog]);
            return win::TRUE;
        case kColorButton:
            if (PickColorIndex(dialog, desc->font.color)) ShowTextFont(dialog, *desc, FieldFonts()[dialog]);
            return win::TRUE;
        case kPromptDelete:
            FreeFieldFont(dialog);
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
    // A modal dialog over the frame while another one runs would enable the frame when it ends.
    WindowRecord* owner = desc.owner != nullptr ? desc.owner : FrameRecord();
    win::HWND ownerWindow = desc.ownerWindow ? desc.ownerWindow : owner != nullptr ? owner->window : nullptr;
    PromptDialogDesc working = desc;
    const win::INT_PTR result =
        RunDialogParam(ownerWindow, desc.templateId, &PromptProc, reinterpret_cast<win::LPARAM>(&working));
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

bool PromptAnswerQueued() { return !Script().answers.empty(); }

bool PromptDialogsShown() { return win::CurrentBackendKind() != win::BackendKind::Headless || ShownHeadless(); }

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
