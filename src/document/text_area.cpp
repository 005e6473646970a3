#include "document/text_area.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "document/text_editor.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/window.h"

namespace kq5 {

bool RegisterTextAreaClass() { return RegisterTxtEditClass(); }

int SetTextAreaText(WindowRecord* record, std::string_view text)
{
    if (record == nullptr) return 0;
    if (TxtEditRecord* editor = OwnerTxtEditRecord(record))
        return ReplaceEditorText(*editor, text, true) ? 0 : kMsgAlreadyReported;
    try {
        record->textArea.assign(text);
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", FrameRecord(), kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    record->textAreaCaret = 0;
    if (record->document) record->document->textLineCount = 0;
    return 0;
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

void FocusTextAreaAfterLoad(WindowRecord* record)
{
    if (record == nullptr || !record->document || record->document->textAreaWindow == nullptr) return;
    const CircuitDocument& document = *record->document;
    const bool shown = record->kind == kWindowTextCircuit ||
                       (record->kind == kWindowSchematic && (document.textAreaPane & kTextAreaHidden) == 0);
    if (shown) win::SetFocus(document.textAreaWindow);
}

bool TextAreaHasText(const WindowRecord* record) { return TextAreaLength(record) > 0; }

std::size_t TextInsertPoint(std::string_view text)
{
    std::size_t point = text.size();
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t last = line.find_last_not_of(" \t\r");
        if (first != std::string_view::npos) line = line.substr(first, last + 1 - first);
        if (line.size() == 4 && line[0] == '.' && std::toupper(static_cast<unsigned char>(line[1])) == 'E' &&
            std::toupper(static_cast<unsigned char>(line[2])) == 'N' &&
            std::toupper(static_cast<unsigned char>(line[3])) == 'D')
            point = at;
        at = end + 1;
    }
    return point;
}

}  // namespace kq5
