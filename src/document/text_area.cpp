#include "document/text_area.h"

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

}  // namespace kq5
