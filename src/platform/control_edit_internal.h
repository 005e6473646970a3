#pragma once
// The edit control's state and its text layout: lines (hard breaks at CR LF, soft ones where a
// multi-line edit wraps words), positions in pixels, visible area, scrolling and the caret.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/control_internal.h"

namespace win {

constexpr std::size_t kDefaultEditLimit = 0x7FFF;
constexpr std::size_t kMaxEditLimit = 0x7FFFFFFE;

struct EditLine {
    std::size_t start = 0;   // first character
    std::size_t length = 0;  // characters shown (without the line break)
    std::size_t next = 0;    // first character of the following line
};

struct EditData : ControlData {
    std::string text;
    std::size_t anchor = 0;  // the selection runs from anchor to caret
    std::size_t caret = 0;
    std::size_t limit = kDefaultEditLimit;
    bool modified = false;
    char passwordChar = 0;
    bool hasFocus = false;

    std::vector<EditLine> lines;
    int firstLine = 0;  // multi-line: first line shown
    int xOffset = 0;    // pixels scrolled off to the left
    int leftMargin = 1;
    int rightMargin = 1;
    bool formatRectSet = false;
    RECT formatRect;
    int tabStop = 0;  // pixels between tab stops; 0: eight average characters

    // One level of undo: the text and selection before the last change (an undo swaps them,
    // so a second undo takes the first back).
    bool canUndo = false;
    std::string undoText;
    std::size_t undoAnchor = 0;
    std::size_t undoCaret = 0;
    bool typing = false;  // the last change was typed characters; more typing joins it

    HWND combo = nullptr;  // the combo box this edit is the field of
    bool selecting = false;
    int desiredX = -1;  // where Up and Down aim, in pixels from the line start
};

// --- layout (control_edit_layout.cpp) -----------------------------------------------------
bool IsMultiLine(HWND hwnd);
std::size_t SelMin(const EditData& d);
std::size_t SelMax(const EditData& d);
// The area text is drawn in (client coordinates).
RECT EditTextArea(HWND hwnd, const EditData& d);
int EditLineHeight(const EditData& d);
int VisibleLineCount(HWND hwnd, const EditData& d);
void RelayoutEdit(HWND hwnd, EditData& d);
int LineOfPos(const EditData& d, std::size_t pos);
// Width in pixels of characters [from, to) of the text as shown (tabs, password characters).
int TextSpanWidth(const EditData& d, std::size_t from, std::size_t to, int startX = 0);
int XOfPos(const EditData& d, std::size_t pos);  // from the start of its line
// The position nearest to x (pixels from the line start) on a line.
std::size_t PosOfX(const EditData& d, int line, int x);
// Where a line's text starts in the text area (alignment), before horizontal scrolling.
int LineIndent(HWND hwnd, const EditData& d, int line);
// Client coordinates of a position's top-left corner.
POINT ClientPointOfPos(HWND hwnd, const EditData& d, std::size_t pos);
std::size_t PosOfClientPoint(HWND hwnd, const EditData& d, POINT pt);
std::size_t PrevPos(const EditData& d, std::size_t pos);
std::size_t NextPos(const EditData& d, std::size_t pos);
std::size_t WordLeft(const EditData& d, std::size_t pos);
std::size_t WordRight(const EditData& d, std::size_t pos);
// Keeps a position off the middle of a CR LF pair and within the text.
std::size_t SnapPos(const EditData& d, std::size_t pos);
// Scrolls so that the caret shows; true when the view moved.
bool ScrollCaretIntoView(HWND hwnd, EditData& d);
// Scrolls a multi-line edit by lines (clamped); returns the lines actually scrolled.
int ScrollEditLines(HWND hwnd, EditData& d, int lines);
void UpdateEditScrollBars(HWND hwnd, EditData& d);
void UpdateEditCaret(HWND hwnd, const EditData& d);

}  // namespace win
