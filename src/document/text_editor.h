#pragma once
// The program's own multi-line text editor, a child window of the class CTxtEditWndClass: the
// text area of every schematic window and the whole client of every text circuit window.
//
// The text itself lives in the owner's window record (WindowRecord::textArea, with the caret in
// textAreaCaret), so that the readers and writers of circuit files and the SPICE reader see the
// same bytes the user edits. Lines are separated by CR LF. The editor keeps the view (top line,
// horizontal scroll, selection anchor), the run history of its Undo, and the logical size of
// its buffer, and re-checks all of them against the text before it acts, because other parts
// of the program may replace the text directly.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr const char* kTxtEditClassName = "CTxtEditWndClass";

// Private messages and commands of the editor.
constexpr win::UINT kTxtEditInitialise = 0x0400 + 1;  // WM_USER+1
constexpr win::UINT kTxtEditGetLength = 0x0400 + 2;   // WM_USER+2
constexpr int kTxtEditCutCommand = 1101;
constexpr int kTxtEditUpperCase = 3801;     // Ctrl+U
constexpr int kTxtEditLowerCase = 3802;     // Ctrl+L
constexpr int kTxtEditDeleteLine = 3803;    // Ctrl+Y
constexpr int kTxtEditDeleteToEnd = 3804;   // Ctrl+D

constexpr int kEditorTabWidth = 3;
constexpr std::int32_t kEditorGrowthStep = 4096;
constexpr std::int32_t kEditorUndoCapacity = 4096;
constexpr std::int32_t kEditorUndoTrim = 1024;
constexpr std::int32_t kEditorWidestLineCap = 32767;

// Flags of the editor record.
constexpr std::uint8_t kEditorChanged = 0x04;
constexpr std::uint8_t kEditorReadOnly = 0x08;
constexpr std::uint8_t kEditorNotLaidOut = 0x20;

// Kinds of undo entries.
constexpr int kUndoTypedChar = 1;
constexpr int kUndoInsertedText = 2;
constexpr int kUndoDeletedChar = 3;
constexpr int kUndoDeletedText = 4;
constexpr int kUndoReplacedChar = 5;

// The owner's undo kind for a text edit.
constexpr int kUndoKindTextEdit = 11;

struct TxtEditUndoEntry {
    int kind = 0;
    std::int32_t position = 0;
    char character = 0;  // kinds 1, 3 and 5
    std::string text;    // kinds 2 and 4
};

struct TxtEditRecord {
    win::HWND window = nullptr;
    bool selectionShown = false;
    std::int32_t rows = 1;
    std::int32_t columns = 1;
    win::POINT mouseCell{0, 0};  // x column, y row
    win::HFONT font = nullptr;
    std::int32_t lineHeight = 16;
    std::int32_t charWidth = 8;
    std::int32_t topOffset = 0;
    std::int32_t capacity = 0;
    std::int32_t anchor = 0;
    std::int32_t topLine = 0;
    std::int32_t scrollDivisor = 1;
    std::int32_t horizontalScroll = 0;
    std::int32_t widestLine = 0;
    WindowRecord* owner = nullptr;
    std::uint8_t flags = 0;
    std::uint8_t tabWidth = kEditorTabWidth;
    std::vector<TxtEditUndoEntry> undo;  // empty until the first recorded edit
    std::int32_t expectedCaret = 0;
    std::int32_t undoPosition = 0;
    std::int32_t undoCapacity = 0;
    std::int32_t undoSpare = 0;
    bool undoAllocated = false;
    // Text and caret of an editor without an owner record.
    std::string ownText;
    std::size_t ownCaret = 0;
    // The text length the editor last saw; a different length means the text was replaced
    // behind its back.
    std::size_t knownLength = 0;
    // The top line and top offset as last found to agree. An edit after the top keeps them
    // agreeing, so they are only found again after an edit above the top or a new text.
    std::int32_t checkedTopLine = -1;
    std::int32_t checkedTopOffset = -1;
};

// Program-wide state of the editors.
struct TextEditorState {
    bool caretHiddenByDrag = false;
    bool undoSuspended = false;
    // Tests set a ceiling on the buffer size to make growth fail as it does when memory runs out.
    std::int32_t capacityLimit = 0;
    // The records of the live editors, by window (each window also keeps its own in window long 0).
    std::unordered_map<win::HWND, std::unique_ptr<TxtEditRecord>> records;
};
TextEditorState& TextEditors();
void ResetTextEditorsForTests();

// A double click in the editor of a window in Help or Info mode looks the text up with the
// program's help and statement finder, which fill these at start-up; empty, it does nothing.
struct TextEditorHookTable {
    std::function<void(WindowRecord*)> contextHelp;                  // Help mode
    std::function<void(WindowRecord*, std::int32_t)> statementInfo;  // Info mode: the line clicked
};
TextEditorHookTable& TextEditorHooks();

// Registers CTxtEditWndClass once; true when registered.
bool RegisterTxtEditClass();
win::LRESULT TxtEditWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

// The record of an editor window; null when the window is no editor.
TxtEditRecord* GetTxtEditRecord(win::HWND window);
// The editor of an owner record (its document's text-area window); null when none.
TxtEditRecord* OwnerTxtEditRecord(const WindowRecord* owner);

// --- record level ------------------------------------------------------------------------------
std::string& EditorText(TxtEditRecord& r);
std::int32_t EditorLength(TxtEditRecord& r);
std::int32_t EditorCaret(TxtEditRecord& r);
void SetEditorCaret(TxtEditRecord& r, std::int32_t caret);
// Re-checks caret, anchor, view and buffer size against the text as it stands now.
void SyncEditorWithText(TxtEditRecord& r);
// Makes room for n more bytes; false, after "Insufficient memory." was reported against the
// frame, when the buffer cannot grow (nothing is changed then).
bool GrowEditorBuffer(TxtEditRecord& r, std::int32_t n);
// Replaces the whole text (the new-text steps): false when the buffer could not grow, the old
// text then stays. With fileLineEnds, lone LF bytes (line ends of files written on this system)
// become CR LF before the text is normalised, and so do the CRs of a file that has no LF at all.
bool ReplaceEditorText(TxtEditRecord& r, std::string_view text, bool fileLineEnds);
// Turns every CR without its LF and every LF without its CR into a blank; true when any was.
bool NormalizeEditorText(TxtEditRecord& r);

bool InsertEditorText(TxtEditRecord& r, std::string_view text);
void DeleteEditorSelection(TxtEditRecord& r);
bool InsertEditorChar(TxtEditRecord& r, char c);
char DeleteEditorCharAtCaret(TxtEditRecord& r);
// As DeleteEditorCharAtCaret, but a CR goes with its LF.
char DeleteEditorAtCaret(TxtEditRecord& r);
char ReplaceEditorCharAtCaret(TxtEditRecord& r, char c);

// Undo or redo of the current edit run; false when there was nothing to do.
bool UndoEditorRun(TxtEditRecord& r);
void ClearEditorUndo(TxtEditRecord& r);

// Line model helpers on offsets.
std::int32_t EditorLineStart(TxtEditRecord& r, std::int32_t position);
std::int32_t EditorLineEnd(TxtEditRecord& r, std::int32_t position);  // offset of its CR (or end)
std::int32_t EditorLineIndex(TxtEditRecord& r, std::int32_t position);
std::int32_t EditorLineOffset(TxtEditRecord& r, std::int32_t line);  // -1 past the last line
std::int32_t EditorDisplayColumn(TxtEditRecord& r, std::int32_t position);
std::int32_t EditorOffsetAtColumn(TxtEditRecord& r, std::int32_t lineStart, std::int32_t column);

// View: the caret made visible, layout refreshed, scroll bars set.
void ShowEditorCaret(TxtEditRecord& r);
void RefreshEditorView(TxtEditRecord& r);
// The cells of a screen row as painted (tabs expanded, padded to the columns), and whether the
// whole row is drawn in the comment colour.
std::string EditorRowText(TxtEditRecord& r, std::int32_t row, bool* comment = nullptr);

// --- operations on the editor window -----------------------------------------------------------
std::int32_t TxtEditLineOffset(win::HWND window, std::int32_t line);
std::int32_t GetEditorLineCount(win::HWND window);
std::int32_t EditorLineOfPos(win::HWND window, std::int32_t position);
std::int32_t GetEditorLineLength(win::HWND window, std::int32_t position);
// Copies line n without its line break, at most maximum characters; the count copied.
std::int32_t GetEditorLineText(win::HWND window, std::int32_t line, std::string& buffer, std::int32_t maximum);
void GetEditorSelection(win::HWND window, std::int32_t* start, std::int32_t* end);
void SetEditorSelection(win::HWND window, std::int32_t start, std::int32_t end);
void ScrollEditorToLine(win::HWND window, std::int32_t line);
void ReplaceEditorSelection(win::HWND window, std::string_view text);
void SetEditorReadOnly(win::HWND window, bool readOnly);
bool EditorCanUndo(win::HWND window);
void EditorRefreshStub(win::HWND window);
void SetEditorText(win::HWND window, std::string_view text);
// Replaces the text by byte count bytes read from the stream. 0, or a message id: 15055 after
// the growth failure was reported, 15007 when the stream ends early, 15002 without memory. The
// text stays as it was on any failure, so that a later save cannot write a cut text.
int LoadEditorFromStream(WindowRecord* owner, std::FILE* stream, long count);

// --- operations on the owner -------------------------------------------------------------------
std::string CopyEditorSelectionText(const WindowRecord* owner);
void ClearTextAreaUndo(WindowRecord* owner);
void RefreshEditorScrollBars(WindowRecord* owner);
// Selects the statement of a line together with its "+" continuation lines and shows it.
void SelectEditorStatementAtLine(WindowRecord* owner, std::int32_t line);

}  // namespace kq5
