#include "platform/message_box.h"

#include <deque>

namespace win {

namespace {

struct MessageBoxState {
    std::deque<int> answers;
    std::vector<MessageBoxEntry> boxes;
    std::vector<UINT> beeps;
};

MessageBoxState& Boxes() {
    static MessageBoxState state;
    return state;
}

}  // namespace

std::vector<int> MessageBoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK: return {IDOK};
        case MB_OKCANCEL: return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO: return {IDYES, IDNO};
        case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
        default: return {};
    }
}

int MessageBoxDefaultButton(UINT type) {
    const std::vector<int> buttons = MessageBoxButtons(type);
    if (buttons.empty()) return 0;
    const std::size_t index = (type & MB_DEFMASK) >> 8;
    // A default beyond the last button falls back to the first, as the classic box does.
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    MessageBoxState& state = Boxes();
    MessageBoxEntry entry;
    entry.owner = owner;
    entry.caption = caption ? caption : "Error";
    entry.text = text ? text : "";
    entry.type = type;
    if (MessageBoxButtons(type).empty()) {
        entry.answer = 0;
    } else if (!state.answers.empty()) {
        entry.answer = state.answers.front();
        state.answers.pop_front();
    } else {
        entry.answer = MessageBoxDefaultButton(type);
    }
    state.boxes.push_back(entry);
    return entry.answer;
}

BOOL MessageBeep(UINT type) {
    Boxes().beeps.push_back(type);
    return TRUE;
}

void PushMessageBoxAnswer(int answer) { Boxes().answers.push_back(answer); }

const std::vector<MessageBoxEntry>& MessageBoxLog() { return Boxes().boxes; }

const std::vector<UINT>& MessageBeepLog() { return Boxes().beeps; }

void ClearMessageBoxLog() {
    MessageBoxState& state = Boxes();
    state.answers.clear();
    state.boxes.clear();
    state.beeps.clear();
}

}  // namespace win
