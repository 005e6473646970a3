// The editor's public operations: on the editor window and on its owner record.
#include <algorithm>
#include <new>

#include "document/text_area.h"
#include "document/text_editor.h"
#include "document/text_editor_internal.h"
#include "ui/window_record.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace kq5 {

namespace {

TxtEditRecord* Synced(win::HWND window)
{
    TxtEditRecord* r = GetTxtEditRecord(window);
    if (r != nullptr) SyncEditorWithText(*r);
    return r;
}

}  // namespace

std::int32_t TxtEditLineOffset(win::HWND window, std::int32_t line)
{
    TxtEditRecord* r = Synced(window);
    return r ? EditorLineOffset(*r, line) : -1;
}

std::int32_t GetEditorLineCount(win::HWND window)
{
    TxtEditRecord* r = Synced(window);
    return r ? EditorLineIndex(*r, EditorLength(*r)) + 1 : 1;
}

std::int32_t EditorLineOfPos(win::HWND window, std::int32_t position)
{
    TxtEditRecord* r = Synced(window);
    if (r == nullptr) return 0;
    if (position < 0) {
        // Callers mean the caret's line; the line of the selection start is what they get.
        GetEditorSelection(window, &position, nullptr);
    }
    return EditorLineIndex(*r, position);
}

std::int32_t GetEditorLineLength(win::HWND window, std::int32_t position)
{
    TxtEditRecord* r = Synced(window);
    if (r == nullptr || position < 0 || position >= EditorLength(*r)) return 0;
    return EditorLineEnd(*r, position) - position;
}

std::int32_t GetEditorLineText(win::HWND window, std::int32_t line, std::string& buffer, std::int32_t maximum)
{
    buffer.clear();
    TxtEditRecord* r = Synced(window);
    if (r == nullptr || maximum <= 0) return 0;
    const std::int32_t start = EditorLineOffset(*r, line);
    if (start < 0) return 0;
    const std::int32_t count = std::min(EditorLineEnd(*r, start) - start, maximum);
    buffer.assign(EditorText(*r), static_cast<std::size_t>(start), static_cast<std::size_t>(count));
    return count;
}

void GetEditorSelection(win::HWND window, std::int32_t* start, std::int32_t* end)
{
    TxtEditRecord* r = Synced(window);
    std::int32_t from = 0;
    std::int32_t to = 0;
    if (r != nullptr) {
        const std::int32_t caret = EditorCaret(*r);
        from = r->selectionShown ? std::min(caret, r->anchor) : caret;
        to = r->selectionShown ? std::max(caret, r->anchor) : caret;
    }
    if (start) *start = from;
    if (end) *end = to;
}

void SetEditorSelection(win::HWND window, std::int32_t start, std::int32_t end)
{
    TxtEditRecord* r = Synced(window);
    if (r == nullptr) return;
    const std::int32_t length = EditorLength(*r);
    if (end == -1) {
        if (r->window) win::SendMessage(r->window, win::WM_SETREDRAW, 0, 0);
        r->anchor = length;
        r->selectionShown = true;
        SetEditorCaret(*r, 0);
        ScrollEditorLines(*r, -r->topLine);
        r->horizontalScroll = 0;
        if (r->window) {
            win::SendMessage(r->window, win::WM_SETREDRAW, 1, 0);
            win::InvalidateRect(r->window, nullptr, 1);
        }
        RefreshEditorView(*r);
        return;
    }
    start = std::clamp(start, 0, length);
    r->selectionShown = false;
    SetEditorCaret(*r, start);
    r->anchor = start;
    const std::int64_t steps = std::abs(static_cast<std::int64_t>(end) - start);
    SetEditorCaret(*r, static_cast<std::int32_t>(std::min<std::int64_t>(start + steps, length)));
    ShowEditorCaret(*r);
    r->selectionShown = true;
    if (r->window) win::InvalidateRect(r->window, nullptr, 1);
}

void ScrollEditorToLine(win::HWND window, std::int32_t line)
{
    TxtEditRecord* r = Synced(window);
    if (r == nullptr) return;
    line = std::max(line, 0);
    if (line != r->topLine) ScrollEditorLines(*r, line - r->topLine);
}

void ReplaceEditorSelection(win::HWND window, std::string_view text)
{
    TxtEditRecord* r = Synced(window);
    if (r == nullptr || (r->flags & kEditorReadOnly)) return;
    DeleteEditorSelection(*r);
    const std::int32_t at = EditorCaret(*r);
    if (InsertEditorText(*r, text)) SetEditorCaret(*r, at);
    r->anchor = EditorCaret(*r);
    r->selectionShown = false;
    RefreshEditorView(*r);
}

void SetEditorReadOnly(win::HWND window, bool readOnly)
{
    if (TxtEditRecord* r = GetTxtEditRecord(window)) {
        if (readOnly) r->flags |= kEditorReadOnly;
        else r->flags &= static_cast<std::uint8_t>(~kEditorReadOnly);
    }
}

bool EditorCanUndo(win::HWND window)
{
    TxtEditRecord* r = Synced(window);
    return r != nullptr && (r->undoPosition >= 1 || r->undoPosition < static_cast<std::int32_t>(r->undo.size()));
}

void EditorRefreshStub(win::HWND) {}

void SetEditorText(win::HWND window, std::string_view text)
{
    if (TxtEditRecord* r = GetTxtEditRecord(window)) ReplaceEditorText(*r, text, false);
}

int LoadEditorFromStream(WindowRecord* owner, std::FILE* stream, long count)
{
    if (owner == nullptr || stream == nullptr || count < 0) return kMsgEndOfFile;
    std::string text;
    try {
        text.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    } catch (const std::length_error&) {
        return kMsgInsufficientMemory;
    }
    if (std::fread(text.data(), 1, text.size(), stream) != text.size()) return kMsgEndOfFile;
    return SetTextAreaText(owner, text);
}

std::string CopyEditorSelectionText(const WindowRecord* owner)
{
    TxtEditRecord* r = OwnerTxtEditRecord(owner);
    if (r == nullptr) return {};
    SyncEditorWithText(*r);
    const std::int32_t caret = EditorCaret(*r);
    if (!r->selectionShown || caret == r->anchor) return {};
    const std::int32_t start = std::min(caret, r->anchor);
    return EditorText(*r).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(std::max(caret, r->anchor) - start));
}

void ClearTextAreaUndo(WindowRecord* owner)
{
    // A second view of a circuit shares the first one's text area and must not drop its history.
    if (owner == nullptr || (owner->flags & kRecordSharesLists)) return;
    if (TxtEditRecord* r = OwnerTxtEditRecord(owner)) ClearEditorUndo(*r);
}

void SelectEditorStatementAtLine(WindowRecord* owner, std::int32_t line)
{
    TxtEditRecord* r = OwnerTxtEditRecord(owner);
    if (r == nullptr) {
        if (owner == nullptr) return;
        // No window: the caret alone marks the line.
        std::size_t caret = 0;
        for (std::int32_t i = 0; i < line && caret != std::string::npos; ++i) {
            caret = owner->textArea.find('\n', caret);
            if (caret != std::string::npos) ++caret;
        }
        owner->textAreaCaret = std::min(caret, owner->textArea.size());
        return;
    }
    SyncEditorWithText(*r);
    const std::int32_t last = EditorLineIndex(*r, EditorLength(*r));
    line = std::clamp(line, 0, last);
    // A statement begins at the first line of its "+" continuations and runs through the last.
    std::int32_t first = line;
    auto isContinuation = [&](std::int32_t l) {
        const std::string& text = EditorText(*r);
        std::int32_t at = EditorLineOffset(*r, l);
        while (at >= 0 && at < static_cast<std::int32_t>(text.size()) && (text[static_cast<std::size_t>(at)] == ' ' || text[static_cast<std::size_t>(at)] == '\t')) ++at;
        return at >= 0 && at < static_cast<std::int32_t>(text.size()) && text[static_cast<std::size_t>(at)] == '+';
    };
    while (first > 0 && isContinuation(first)) --first;
    std::int32_t lastLine = line;
    while (lastLine < last && isContinuation(lastLine + 1)) ++lastLine;
    const std::int32_t start = EditorLineOffset(*r, first);
    const std::int32_t end = EditorLineEnd(*r, EditorLineOffset(*r, lastLine));
    ScrollEditorToLine(r->window, std::max(0, first - r->rows / 2));
    SetEditorSelection(r->window, start, end);
}

}  // namespace kq5
