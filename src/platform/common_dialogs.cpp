// The runner of the common dialogs: scripted answers on a hidden dialog, or the real modal
// dialog, or a cancel when nobody could answer.
#include "platform/common_dialogs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/backend.h"
#include "platform/common_dialogs_internal.h"
#include "platform/controls.h"
#include "platform/dialog_internal.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/module_state.h"
#include "platform/system.h"
#include "platform/window.h"

namespace win {

CommonDialogState& CommonDialogs() { return ModuleState<CommonDialogState>(); }

void ResetCommonDialogsForTests() { ResetModuleState<CommonDialogState>(); }

DWORD CommDlgExtendedError() { return CommonDialogs().lastError; }

void SetCommonDialogsShownHeadless(bool shown) { CommonDialogs().shownHeadless = shown; }

HWND CurrentCommonDialogWindow() {
    auto& open = CommonDialogs().open;
    while (!open.empty() && !LiveWindow(open.back())) open.pop_back();
    return open.empty() ? nullptr : open.back();
}

bool CommonDialogCallValid(bool sizeRight, bool hookEnabled, bool hookGiven) {
    CommonDialogState& s = CommonDialogs();
    s.lastError = !sizeRight ? CDERR_STRUCTSIZE : (hookEnabled && !hookGiven) ? CDERR_NOHOOK : 0;
    return s.lastError == 0;
}

void QueueCommonDialogAnswer(CommonDialogKind kind, ScriptedAnswer answer) {
    CommonDialogs().answers[static_cast<int>(kind)].push_back(std::move(answer));
}

const DialogTemplate* CommonDialogTemplate(int layerId, bool enableTemplate, const char* programTemplate) {
    int id = layerId;
    if (enableTemplate && programTemplate) {
        auto value = reinterpret_cast<UINT_PTR>(programTemplate);
        id = value <= 0xFFFF ? static_cast<int>(value) : (programTemplate[0] == '#' ? std::atoi(programTemplate + 1) : 0);
    }
    const DialogTemplate* t = FindDialogTemplate(id);
    if (!t) CommonDialogs().lastError = CDERR_FINDRESFAILURE;
    return t;
}

bool CommonDialogsShown() { return CurrentBackendKind() == BackendKind::Sdl || CommonDialogs().shownHeadless; }

bool CommonDialogWouldAsk(CommonDialogKind kind) {
    return !CommonDialogs().answers[static_cast<int>(kind)].empty() || CommonDialogsShown();
}

void ForgetCommonDialogData(const void* data) {
    CommonDialogState& s = CommonDialogs();
    for (auto it = s.dialogData.begin(); it != s.dialogData.end();) {
        if (it->second == data) {
            auto& open = s.open;
            open.erase(std::remove(open.begin(), open.end(), it->first), open.end());
            it = s.dialogData.erase(it);
        } else {
            ++it;
        }
    }
}

void AttachCommonDialogData(HWND dialog, void* data) {
    CommonDialogs().dialogData[dialog] = data;
    CommonDialogs().open.push_back(dialog);
}

namespace {

INT_PTR Ended(HWND dialog) {
    DialogData* d = DialogDataOf(dialog);
    return d && d->ended ? d->result : 0;
}

}  // namespace

INT_PTR RunCommonDialog(CommonDialogKind kind, const DialogTemplate& dialog, HWND owner, DLGPROC proc, void* data) {
    CommonDialogState& s = CommonDialogs();
    s.lastError = 0;
    auto& answers = s.answers[static_cast<int>(kind)];
    HWND top = LiveWindow(owner) ? GetAncestorTopLevel(owner) : nullptr;
    if (!answers.empty()) {
        HWND hwnd = CreateDialogFromTemplate(GetModuleHandle(nullptr), dialog, top, proc, reinterpret_cast<LPARAM>(data), false);
        if (!hwnd) {
            s.lastError = CDERR_DIALOGFAILURE;
            return IDCANCEL;
        }
        INT_PTR result = Ended(hwnd);
        while (result == 0 && !CommonDialogs().answers[static_cast<int>(kind)].empty()) {
            auto& queue = CommonDialogs().answers[static_cast<int>(kind)];
            ScriptedAnswer answer = std::move(queue.front());
            queue.pop_front();
            if (answer) {
                answer(hwnd);
                SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDOK)));
            } else {
                SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
            }
            if (!LiveWindow(hwnd)) {  // destroyed by the program's hook
                ForgetCommonDialogData(data);
                return IDCANCEL;
            }
            result = Ended(hwnd);
        }
        if (result == 0) {
            SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            result = IDCANCEL;
        }
        ForgetCommonDialogData(data);
        if (LiveWindow(hwnd)) DestroyWindow(hwnd);
        return result;
    }
    if (!CommonDialogsShown()) return IDCANCEL;
    auto starved = [](HWND hwnd) {
        SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (LiveWindow(hwnd) && Ended(hwnd) == 0) EndDialog(hwnd, IDCANCEL);
    };
    INT_PTR result = RunModalDialog(GetModuleHandle(nullptr), dialog, top, proc, reinterpret_cast<LPARAM>(data), starved);
    if (result < 0) {
        s.lastError = CDERR_DIALOGFAILURE;
        return IDCANCEL;
    }
    // RunModalDialog destroyed the window; forget its record.
    ForgetCommonDialogData(data);
    return result;
}

std::string ListText(HWND list, int index, bool combo) {
    if (!list || index < 0) return {};
    LRESULT n = SendMessage(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n < 0) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    SendMessage(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    return text;
}

void SetFocusToControl(HWND dialog, int id) {
    if (HWND c = GetDlgItem(dialog, id)) SendMessage(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c), TRUE);
}

int CommonDialogMessage(HWND dialog, const std::string& text, UINT type) {
    std::string caption = GetWindowText(dialog);
    return MessageBox(dialog, text.c_str(), caption.c_str(), type);
}

}  // namespace win
