#pragma once
// The shared prompt dialog: one text field (shown in a font the user may change, with its colour)
// and the buttons "&Font...", "Color..." and "&Help...", on a descriptor. Templates built on it
// may carry further controls (radio buttons, number fields), kept by control id.
//
// The platform draws no dialog templates yet; until it does, every dialog takes the next
// scripted answer, as message boxes without a screen do, or else closes with OK and the values
// it was given.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/font_spec.h"

namespace kq5 {

struct WindowRecord;

constexpr int kPromptTemplate = 3000;

struct PromptDialogDesc {
    int templateId = kPromptTemplate;
    std::string caption;
    WindowRecord* owner = nullptr;
    std::string text;
    FontSpec font;
    int maxLength = 0;  // 0: no limit
    int helpId = 0;
    std::map<int, int> controls;  // further controls: radio buttons 1/0, number fields
};

// 1 OK (the descriptor holds what the user entered), 2 cancelled.
int RunPromptDialog(PromptDialogDesc& desc);

// A scripted answer: the button, and what the user typed or chose (unset fields stay).
struct PromptAnswer {
    int button = 1;
    std::optional<std::string> text;
    std::optional<FontSpec> font;
    std::map<int, int> controls;
};
void PushPromptAnswer(PromptAnswer answer);
// Captions of the dialogs run so far, oldest first; and forgetting them with the answers.
const std::vector<std::string>& PromptDialogLog();
void ClearPromptDialogs();

}  // namespace kq5
