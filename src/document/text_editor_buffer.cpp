// The editor's text buffer: line model, growth, the insertion and deletion primitives with their
// run history, and Undo.
#include <algorithm>
#include <new>
#include <stdexcept>

#include "document/text_editor.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/paint.h"
#include "ui/window_record_utils.h"

namespace kq5 {

namespace {

std::int32_t Size(const std::string& text) { return static_cast<std::int32_t>(text.size()); }

std::int32_t LineFeeds(std::string_view text) { return static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n')); }

// A change above the top of the view moves the offset at which the top line starts. The top line
// keeps its number: from where the old top line now starts, the offset steps over the lines
// that came or went, so that no edit has to count the lines from the start of the text.
void KeepTopLine(TxtEditRecord& r, std::int32_t position, std::int32_t bytes, std::int32_t lineFeeds)
{
    if (position >= r.topOffset) return;
    const bool agreed = r.checkedTopLine == r.topLine && r.checkedTopOffset == r.topOffset;
    if (!agreed || (bytes < 0 && position - bytes > r.topOffset)) {
        r.checkedTopLine = -1;  // the edit took the top line's start with it: counted again
        return;
    }
    const std::string& text = EditorText(r);
    std::int32_t offset = r.topOffset + bytes;
    for (std::int32_t k = lineFeeds; k > 0; --k) {
        if (offset <= 0) {
            r.checkedTopLine = -1;
            return;
        }
        offset = EditorLineStart(r, offset - 1);
    }
    for (std::int32_t k = lineFeeds; k < 0; ++k) {
        const std::size_t feed = text.find('\n', static_cast<std::size_t>(offset));
        if (feed == std::string::npos) {
            r.checkedTopLine = -1;
            return;
        }
        offset = static_cast<std::int32_t>(feed + 1);
    }
    r.topOffset = offset;
    r.checkedTopOffset = offset;
}

// Every change of the text goes through here: the editor and the owner learn of it. The change
// at the position added (or, negative, removed) bytes holding lineFeeds line feeds.
void NoteChange(TxtEditRecord& r, std::int32_t position, std::int32_t bytes, std::int32_t lineFeeds)
{
    KeepTopLine(r, position, bytes, lineFeeds);
    r.flags |= kEditorChanged;
    r.knownLength = EditorText(r).size();
    if (r.owner != nullptr) {
        if (r.owner->document) {
            r.owner->document->textLineCount = 0;
            MarkModified(r.owner);
        } else {
            r.owner->modified = 1;
        }
    }
}

bool IsInsertion(int kind) { return kind == kUndoTypedChar || kind == kUndoInsertedText; }

void RecordUndo(TxtEditRecord& r, int kind, char character, std::string_view text)
{
    TextEditorState& state = TextEditors();
    if (state.undoSuspended) return;
    const std::int32_t caret = EditorCaret(r);
    if (r.undoAllocated && r.undoPosition != 0) {
        bool drop = caret != r.expectedCaret;
        if (!drop && (kind == kUndoDeletedChar || kind == kUndoDeletedText)) {
            drop = std::any_of(r.undo.begin(), r.undo.end(), [](const TxtEditUndoEntry& e) { return IsInsertion(e.kind); });
        }
        if (drop) ClearEditorUndo(r);
    }
    if (!r.undoAllocated) {
        try {
            r.undo.reserve(static_cast<std::size_t>(kEditorUndoCapacity));
        } catch (const std::bad_alloc&) {
            return;  // the edit stands, unrecorded
        }
        r.undoAllocated = true;
        r.undoCapacity = kEditorUndoCapacity;
        r.undoPosition = 0;
        r.undoSpare = 0;
    }
    if (r.undoPosition == r.undoCapacity - 1) {
        r.undo.erase(r.undo.begin(), r.undo.begin() + kEditorUndoTrim);
        r.undoPosition -= kEditorUndoTrim;
        r.undoSpare = std::max(0, r.undoSpare - kEditorUndoTrim);
    }
    r.undo.resize(static_cast<std::size_t>(r.undoPosition));  // drops what was undone
    // The owner hears of the first entry of a history; later ones change nothing it shows.
    if (r.owner != nullptr && (r.owner->undoKind != kUndoKindTextEdit || r.undoPosition == 0)) SetUndoKind(r.owner, kUndoKindTextEdit);
    TxtEditUndoEntry entry;
    entry.kind = kind;
    entry.position = caret;
    entry.character = character;
    try {
        entry.text.assign(text);
        r.undo.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        ClearEditorUndo(r);
        return;
    }
    r.undoPosition = static_cast<std::int32_t>(r.undo.size());
    r.undoSpare = r.undoPosition;
    switch (kind) {
    case kUndoTypedChar: r.expectedCaret = caret + 1; break;
    case kUndoInsertedText: r.expectedCaret = caret + static_cast<std::int32_t>(text.size()); break;
    default: r.expectedCaret = caret; break;
    }
}

}  // namespace

TextEditorState& TextEditors()
{
    static TextEditorState state;
    return state;
}

void ResetTextEditorsForTests() { TextEditors() = TextEditorState{}; }

std::string& EditorText(TxtEditRecord& r) { return r.owner != nullptr ? r.owner->textArea : r.ownText; }

std::int32_t EditorLength(TxtEditRecord& r) { return Size(EditorText(r)); }

std::int32_t EditorCaret(TxtEditRecord& r)
{
    const std::size_t caret = r.owner != nullptr ? r.owner->textAreaCaret : r.ownCaret;
    return static_cast<std::int32_t>(std::min(caret, EditorText(r).size()));
}

void SetEditorCaret(TxtEditRecord& r, std::int32_t caret)
{
    caret = std::clamp(caret, 0, EditorLength(r));
    (r.owner != nullptr ? r.owner->textAreaCaret : r.ownCaret) = static_cast<std::size_t>(caret);
}

void SyncEditorWithText(TxtEditRecord& r)
{
    const std::string& text = EditorText(r);
    if (text.size() != r.knownLength) {
        // Replaced behind the editor's back: its history no longer fits the text.
        ClearEditorUndo(r);
        r.selectionShown = false;
        r.knownLength = text.size();
        r.checkedTopLine = -1;
    }
    const std::int32_t length = Size(text);
    SetEditorCaret(r, EditorCaret(r));
    r.anchor = std::clamp(r.anchor, 0, length);
    if (r.capacity < length + 2) r.capacity = length + 2;
    // The top of the view always starts a line. Finding it counts the lines from the start of
    // the text, too slow to do for every character of an edit deep in a long text.
    const bool topAgrees = r.checkedTopLine == r.topLine && r.checkedTopOffset == r.topOffset && r.topOffset <= length &&
                           (r.topOffset == 0 || text[static_cast<std::size_t>(r.topOffset - 1)] == '\n');
    if (!topAgrees) {
        const std::int32_t top = EditorLineOffset(r, r.topLine);
        if (top < 0) {
            r.topLine = std::max(0, EditorLineIndex(r, length));
            r.topOffset = EditorLineStart(r, length);
        } else {
            r.topOffset = top;
        }
    }
    r.checkedTopLine = r.topLine;
    r.checkedTopOffset = r.topOffset;
}

bool GrowEditorBuffer(TxtEditRecord& r, std::int32_t n)
{
    const std::int32_t length = EditorLength(r);
    const std::int32_t room = r.capacity - (length + 2);
    if (n < room) return true;
    const std::int64_t wanted = static_cast<std::int64_t>(r.capacity) + std::max<std::int64_t>(n - room, kEditorGrowthStep);
    const std::int32_t limit = TextEditors().capacityLimit;
    bool grown = wanted < 0x7FFFFFF0 && (limit == 0 || wanted <= limit);
    if (grown) {
        try {
            EditorText(r).reserve(static_cast<std::size_t>(wanted) + 2);
        } catch (const std::bad_alloc&) {
            grown = false;
        } catch (const std::length_error&) {
            grown = false;
        }
    }
    if (!grown) {
        ReportMessage("WE", FrameRecord(), kMsgInsufficientMemory);
        return false;
    }
    r.capacity = static_cast<std::int32_t>(wanted);
    RefreshEditorView(r);
    return true;
}

bool NormalizeEditorText(TxtEditRecord& r)
{
    std::string& text = EditorText(r);
    bool replaced = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
            text[i] = ' ';
            replaced = true;
        } else if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            text[i] = ' ';
            replaced = true;
        }
    }
    if (replaced) {
        r.checkedTopLine = -1;  // a line feed that became a blank ends no line
        if (r.window) win::InvalidateRect(r.window, nullptr, 1);
    }
    return replaced;
}

bool ReplaceEditorText(TxtEditRecord& r, std::string_view text, bool fileLineEnds)
{
    std::string converted;
    if (fileLineEnds) {
        try {
            // A file without a single LF but with CRs was written with the CR alone ending each
            // line (old Macintosh files, some vendors' model libraries).
            const bool carriageReturnsOnly = text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos;
            converted.reserve(text.size() + text.size() / 16);
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) converted += '\r';
                converted += text[i];
                if (text[i] == '\r' && carriageReturnsOnly) converted += '\n';
            }
        } catch (const std::bad_alloc&) {
            ReportMessage("WE", FrameRecord(), kMsgInsufficientMemory);
            return false;
        }
        text = converted;
    }
    SyncEditorWithText(r);
    // The growth step sees an empty text, as the new text replaces everything.
    std::string& current = EditorText(r);
    const std::int32_t room = r.capacity - 2;
    const std::int64_t needed = static_cast<std::int64_t>(text.size()) + 7;
    if (needed >= room) {
        const std::int64_t wanted = static_cast<std::int64_t>(r.capacity) + std::max<std::int64_t>(needed - room, kEditorGrowthStep);
        const std::int32_t limit = TextEditors().capacityLimit;
        if (wanted >= 0x7FFFFFF0 || (limit != 0 && wanted > limit)) {
            ReportMessage("WE", FrameRecord(), kMsgInsufficientMemory);
            return false;
        }
        r.capacity = static_cast<std::int32_t>(wanted);
    }
    try {
        std::string fresh;
        fresh.reserve(static_cast<std::size_t>(r.capacity) + 2);
        fresh.assign(text);
        current.swap(fresh);
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", FrameRecord(), kMsgInsufficientMemory);
        return false;
    }
    r.topLine = 0;
    r.topOffset = 0;
    r.horizontalScroll = 0;
    r.anchor = 0;
    r.selectionShown = false;
    r.widestLine = 0;
    SetEditorCaret(r, 0);
    r.knownLength = current.size();
    if (r.owner && r.owner->document) r.owner->document->textLineCount = 0;
    if (r.owner != nullptr) ClearTextAreaUndo(r.owner);
    else ClearEditorUndo(r);
    NormalizeEditorText(r);
    r.flags &= static_cast<std::uint8_t>(~kEditorNotLaidOut);
    RefreshEditorView(r);
    return true;
}

bool InsertEditorText(TxtEditRecord& r, std::string_view text)
{
    SyncEditorWithText(r);
    if (!GrowEditorBuffer(r, EditorLength(r) + static_cast<std::int32_t>(text.size()))) return false;
    const std::int32_t caret = EditorCaret(r);
    RecordUndo(r, kUndoInsertedText, 0, text);
    EditorText(r).insert(static_cast<std::size_t>(caret), text);
    SetEditorCaret(r, caret + static_cast<std::int32_t>(text.size()));
    NoteChange(r, caret, static_cast<std::int32_t>(text.size()), LineFeeds(text));
    NormalizeEditorText(r);
    return true;
}

void DeleteEditorSelection(TxtEditRecord& r)
{
    SyncEditorWithText(r);
    if (!r.selectionShown) return;
    const std::int32_t caret = EditorCaret(r);
    const std::int32_t start = std::min(caret, r.anchor);
    const std::int32_t end = std::max(caret, r.anchor);
    r.selectionShown = false;
    if (start == end) return;
    SetEditorCaret(r, start);
    r.anchor = start;
    std::string& text = EditorText(r);
    const std::string_view taken = std::string_view(text).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    RecordUndo(r, kUndoDeletedText, 0, taken);
    const std::int32_t takenFeeds = LineFeeds(taken);
    text.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    NoteChange(r, start, start - end, -takenFeeds);
    NormalizeEditorText(r);
}

bool InsertEditorChar(TxtEditRecord& r, char c)
{
    SyncEditorWithText(r);
    if (!GrowEditorBuffer(r, 1)) return false;
    const std::int32_t caret = EditorCaret(r);
    RecordUndo(r, kUndoTypedChar, c, {});
    EditorText(r).insert(static_cast<std::size_t>(caret), 1, c);
    SetEditorCaret(r, caret + 1);
    NoteChange(r, caret, 1, c == '\n' ? 1 : 0);
    return true;
}

char DeleteEditorCharAtCaret(TxtEditRecord& r)
{
    SyncEditorWithText(r);
    const std::int32_t caret = EditorCaret(r);
    std::string& text = EditorText(r);
    if (caret >= Size(text)) return 0;
    const char c = text[static_cast<std::size_t>(caret)];
    RecordUndo(r, kUndoDeletedChar, c, {});
    text.erase(static_cast<std::size_t>(caret), 1);
    NoteChange(r, caret, -1, c == '\n' ? -1 : 0);
    return c;
}

char DeleteEditorAtCaret(TxtEditRecord& r)
{
    const char c = DeleteEditorCharAtCaret(r);
    if (c == '\r' && EditorCaret(r) < EditorLength(r) && EditorText(r)[static_cast<std::size_t>(EditorCaret(r))] == '\n')
        DeleteEditorCharAtCaret(r);
    return c;
}

char ReplaceEditorCharAtCaret(TxtEditRecord& r, char c)
{
    SyncEditorWithText(r);
    const std::int32_t caret = EditorCaret(r);
    std::string& text = EditorText(r);
    if (caret >= Size(text)) return 0;
    const char old = text[static_cast<std::size_t>(caret)];
    RecordUndo(r, kUndoReplacedChar, old, {});
    text[static_cast<std::size_t>(caret)] = c;
    NoteChange(r, caret, 0, (c == '\n' ? 1 : 0) - (old == '\n' ? 1 : 0));
    return old;
}

void ClearEditorUndo(TxtEditRecord& r)
{
    std::vector<TxtEditUndoEntry>().swap(r.undo);
    r.undoAllocated = false;
    r.undoPosition = 0;
    r.undoCapacity = 0;
    r.undoSpare = 0;
    r.expectedCaret = EditorCaret(r);
}

namespace {

void SelectAndDelete(TxtEditRecord& r, std::int32_t start, std::int32_t count)
{
    SetEditorCaret(r, start + count);
    r.anchor = start;
    r.selectionShown = true;
    DeleteEditorSelection(r);
}

void ApplyEntry(TxtEditRecord& r, TxtEditUndoEntry& entry, bool undo)
{
    r.selectionShown = false;
    SetEditorCaret(r, entry.position);
    switch (entry.kind) {
    // Each entry is one byte: a CR is taken back alone, its LF has an entry of its own.
    case kUndoTypedChar:
        if (undo) DeleteEditorCharAtCaret(r);
        else InsertEditorChar(r, entry.character);
        break;
    case kUndoInsertedText:
        if (undo) SelectAndDelete(r, entry.position, static_cast<std::int32_t>(entry.text.size()));
        else InsertEditorText(r, entry.text);
        break;
    case kUndoDeletedChar:
        if (undo) InsertEditorChar(r, entry.character);
        else DeleteEditorCharAtCaret(r);
        break;
    case kUndoDeletedText:
        if (undo) InsertEditorText(r, entry.text);
        else SelectAndDelete(r, entry.position, static_cast<std::int32_t>(entry.text.size()));
        break;
    case kUndoReplacedChar:
        entry.character = ReplaceEditorCharAtCaret(r, entry.character);
        break;
    default: break;
    }
}

}  // namespace

bool UndoEditorRun(TxtEditRecord& r)
{
    SyncEditorWithText(r);
    const std::int32_t count = static_cast<std::int32_t>(r.undo.size());
    if (r.undoPosition <= 0 && r.undoPosition >= count) return false;
    TextEditorState& state = TextEditors();
    state.undoSuspended = true;
    if (r.undoPosition > 0) {
        for (std::int32_t i = r.undoPosition - 1; i >= 0; --i) ApplyEntry(r, r.undo[static_cast<std::size_t>(i)], true);
        r.undoPosition = 0;
    } else {
        for (std::int32_t i = r.undoPosition; i < count; ++i) ApplyEntry(r, r.undo[static_cast<std::size_t>(i)], false);
        r.undoPosition = count;
    }
    state.undoSuspended = false;
    // A redo leaves the caret at the end of the run, where typing continues it.
    r.expectedCaret = EditorCaret(r);
    NormalizeEditorText(r);
    RefreshEditorView(r);
    ShowEditorCaret(r);
    return true;
}

// --- line model --------------------------------------------------------------------------------

std::int32_t EditorLineStart(TxtEditRecord& r, std::int32_t position)
{
    const std::string& text = EditorText(r);
    position = std::clamp(position, 0, Size(text));
    if (position == 0) return 0;
    const std::size_t feed = text.rfind('\n', static_cast<std::size_t>(position - 1));
    return feed == std::string::npos ? 0 : static_cast<std::int32_t>(feed + 1);
}

std::int32_t EditorLineEnd(TxtEditRecord& r, std::int32_t position)
{
    const std::string& text = EditorText(r);
    position = std::clamp(position, 0, Size(text));
    const std::size_t end = text.find_first_of("\r\n", static_cast<std::size_t>(position));
    return end == std::string::npos ? Size(text) : static_cast<std::int32_t>(end);
}

std::int32_t EditorLineIndex(TxtEditRecord& r, std::int32_t position)
{
    const std::string& text = EditorText(r);
    position = std::clamp(position, 0, Size(text));
    return static_cast<std::int32_t>(std::count(text.begin(), text.begin() + position, '\n'));
}

std::int32_t EditorLineOffset(TxtEditRecord& r, std::int32_t line)
{
    if (line < 0) return -1;
    const std::string& text = EditorText(r);
    std::size_t offset = 0;
    for (std::int32_t i = 0; i < line; ++i) {
        const std::size_t feed = text.find('\n', offset);
        if (feed == std::string::npos) return -1;
        offset = feed + 1;
    }
    return static_cast<std::int32_t>(offset);
}

std::int32_t EditorDisplayColumn(TxtEditRecord& r, std::int32_t position)
{
    const std::string& text = EditorText(r);
    const std::int32_t tab = std::max<std::int32_t>(1, r.tabWidth);
    std::int32_t column = 0;
    for (std::int32_t i = EditorLineStart(r, position); i < position && i < Size(text); ++i) {
        column = text[static_cast<std::size_t>(i)] == '\t' ? (column / tab + 1) * tab : column + 1;
    }
    return column;
}

std::int32_t EditorOffsetAtColumn(TxtEditRecord& r, std::int32_t lineStart, std::int32_t column)
{
    const std::string& text = EditorText(r);
    const std::int32_t tab = std::max<std::int32_t>(1, r.tabWidth);
    const std::int32_t end = EditorLineEnd(r, lineStart);
    std::int32_t at = 0;
    std::int32_t i = lineStart;
    while (i < end) {
        const std::int32_t next = text[static_cast<std::size_t>(i)] == '\t' ? (at / tab + 1) * tab : at + 1;
        if (next > column) break;
        at = next;
        ++i;
    }
    return i;
}

}  // namespace kq5
