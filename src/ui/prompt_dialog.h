#pragma once
// The shared prompt dialog: one text field (shown in a font the user may change, with its colour)
// and the buttons "&Font...", "Color..." and "&Help...", on a descriptor. Templates built on it
// may carry further controls (radio buttons, number fields), kept by control id.
//
// A dialog takes the next scripted answer when one is queued. Otherwise a template that exists is
// shown (on a desktop, or headless when a test asks for it); with neither, the dialog closes with
// OK and the values it was given, as message boxes without a screen do.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/font_description.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kPromptTemplate = 3000;
// The one-line text prompt ("&OK", "&Cancel", "&Font...", "&Help..."), for texts of shapes.
constexpr int kTextPromptTemplate = 3005;
// The one-line prompt ("&OK", "&Cancel", "&Help...") for names and numbers, where a line
// break typed with Enter would spoil the answer.
constexpr int kNamePromptTemplate = 3017;
// The "Pin Name" prompts, 3009 to 3014.
constexpr int kPinNameFirstTemplate = 3009;
constexpr int kPinNameLastTemplate = 3014;
// Items of the prompt templates.
constexpr int kPromptFirstField = 10;
constexpr int kPromptSecondField = 205;
constexpr int kPromptFirstChoice = 200;
constexpr int kPromptCheck = 208;
constexpr int kPromptDelete = 25;  // also the dialog's result when chosen

// Flags of the descriptor.
constexpr unsigned kPromptUseFont = 0x01;
constexpr unsigned kPromptUseColor = 0x02;
constexpr unsigned kPromptUseCaption = 0x04;
constexpr unsigned kPromptFocusSecond = 0x08;
constexpr unsigned kPromptFocusFirst = 0x10;
constexpr unsigned kPromptHasSecond = 0x40;
constexpr unsigned kPromptOwnerClose = 0x80;

struct PromptDialogDesc {
    int templateId = kPromptTemplate;
    std::string caption;
    WindowRecord* owner = nullptr;
    win::HWND ownerWindow = nullptr;  // a dialog without a record of its own; before `owner`
    std::string text;
    FontSpec font;
    int maxLength = 0;  // 0: no limit
    int helpId = 0;
    std::map<int, int> controls;  // further controls: radio buttons 1/0, number fields
    std::string secondText;       // field 205, with kPromptHasSecond
    unsigned flags = 0;
    char choice = 0;              // the chosen radio button's letter ("a"/"d", "i"/"o", "e"/"r")
    int check = 0;                // "Hidden pin"
    int colorIndex = 0;           // with kPromptUseColor
    std::function<void(win::HWND)> onInit;  // runs when the dialog's controls are filled
};

// Clears a descriptor before use.
void ClearPromptDesc(PromptDialogDesc& desc);
// The two letters of a template's radio buttons (200, 201); empty when it has none.
std::string PromptChoiceLetters(int templateId);
// Shows the templates even without a screen (tests drive them with injected input).
void SetPromptDialogsShownHeadless(bool shown);

// Whether the next dialog takes a scripted answer, and whether templates are shown at all
// (on a desktop, or headless when a test asks for it).
bool PromptAnswerQueued();
bool PromptDialogsShown();

// 1 OK (the descriptor holds what the user entered), 2 cancelled, 25 Delete.
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
