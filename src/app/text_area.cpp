#include "app/text_area.h"

#include <new>

#include "app/window_record.h"
#include "document/circuit_document.h"
#include "platform/window.h"

namespace kq5 {

namespace {

win::LRESULT TextAreaProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool RegisterTextAreaClass()
{
    win::WNDCLASS existing;
    if (win::GetClassInfo(nullptr, kTextAreaClassName, &existing)) return true;
    win::WNDCLASS wc;
    wc.lpfnWndProc = TextAreaProc;
    wc.lpszClassName = kTextAreaClassName;
    return win::RegisterClass(&wc) != 0;
}

void SetTextAreaText(WindowRecord* record, std::string_view text)
{
    if (record == nullptr) return;
    record->textArea.assign(text);
    record->textAreaCaret = 0;
    if (record->document) record->document->textLineCount = 0;
}

std::optional<std::string> CopyTextAreaText(const WindowRecord* record)
{
    if (record == nullptr) return std::nullopt;
    try {
        return record->textArea;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

long TextAreaLength(const WindowRecord* record)
{
    return record ? static_cast<long>(record->textArea.size()) : 0;
}

}  // namespace kq5
