#pragma once
// Ctrl+Home, Ctrl+End, Ctrl+arrows, Ctrl+PgUp and Ctrl+PgDn on a schematic window (commands 17632
// to 17639). Ctrl+PgUp and Ctrl+PgDn step through the page tabs of the pane in use, the "Text"
// tab included, from the drawing and from the text area alike. In a drawing pane Ctrl+Home and
// Ctrl+End scroll to the top-left corner and to the bottom-right corner of the page's drawing,
// and the Ctrl+arrows scroll a pane's width or height that way; in the text area the editor's
// own Ctrl keys move the caret.
namespace kq5 {

struct WindowRecord;

constexpr int kCommandPageKeyHome = 17632;
constexpr int kCommandPageKeyEnd = 17633;
constexpr int kCommandPageKeyLeft = 17634;
constexpr int kCommandPageKeyRight = 17635;
constexpr int kCommandPageKeyUp = 17636;
constexpr int kCommandPageKeyDown = 17637;
constexpr int kCommandPreviousPageTab = 17638;
constexpr int kCommandNextPageTab = 17639;

// True for the commands above.
bool IsPageKeyCommand(int command);
// Carries out one of them on a schematic window; other windows and commands are left alone.
void PageKeyCommand(WindowRecord* record, int command);

}  // namespace kq5
