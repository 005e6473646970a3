#pragma once
// Document windows: creating and freeing the window record and document of a schematic, text
// circuit or model library window, the untitled names, the text area child, the conversion
// between schematic coordinates and pane pixels, repaint requests with their flag bits and the
// draw range, the question before a modified window closes, and jumping to the element a message
// refers to.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kq5 {

struct GridText;
struct ListNode;
struct SchematicItem;
struct WindowRecord;

// Repaint flags of RedrawWindowParts.
constexpr std::uint32_t kRedrawSchematic = 0x0008;      // draw the schematic
constexpr std::uint32_t kRedrawResetRange = 0x0010;     // draw range = everything before drawing
constexpr std::uint32_t kRedrawErase = 0x0020;          // erase the panes with the background
constexpr std::uint32_t kRedrawObjectsOnly = 0x0200;    // analysis windows: plot objects and mark
constexpr std::uint32_t kRedrawFull = 0x0400;           // full refresh (connectivity, extent)
constexpr std::uint32_t kRedrawEmptyRange = 0x0800;     // nothing but what the caller set next
constexpr std::uint32_t kRedrawResetRangeAfter = 0x1000;
constexpr std::uint32_t kRedrawPassA = 0x2000;          // renderer pass flags
constexpr std::uint32_t kRedrawPassB = 0x4000;
constexpr std::uint32_t kRedrawHighlight = 0x8000;
// Flag words used across the program.
constexpr std::uint32_t kRedrawAfterEdit = 0x0418;
constexpr std::uint32_t kRedrawNodeVoltages = 0x0438;
constexpr std::uint32_t kRedrawAfterPlacing = 0x2618;
constexpr std::uint32_t kRedrawClearSelection = 0xA208;
constexpr std::uint32_t kRedrawDefault = 0x0438;

// Answers of AskSaveChanges.
constexpr int kSaveAnswerYes = 6;      // saved
constexpr int kSaveAnswerSavedAs = 1;  // saved under a new name
constexpr int kSaveAnswerNo = 7;       // changes dropped
constexpr int kSaveAnswerCancel = 2;   // the window stays open

// Control id of the text area child of a circuit window.
constexpr int kTextAreaControlId = 100;

// The next untitled name of a window kind (1 "circuit%i.cir", 2 "circuit%i.ckt", 3 "lib%i.lbr"),
// made a full path in the working directory; every call advances the kind's counter. Empty for
// other kinds.
std::string MakeUntitledName(int kind);

// Creates a document window: kinds 1 and 11 a schematic window, 2 a text circuit window, 3 a model
// library window; any other kind gives null. An empty name takes the next untitled name of the
// kind (the record is then marked untitled). The title is the name. Null when the window or its
// record cannot be made.
WindowRecord* NewDocumentWindow(int kind, std::string_view name = {});

// Makes the window record and document of a circuit or library window (the window may be null:
// a record without window). With a window the text area child is made; when that fails the
// record is freed and null returned.
WindowRecord* CreateDocumentRecord(win::HWND window, int kind);

// Frees the record with its document and its text area child; a record that shares another
// window's item lists leaves them alone. The pointer is cleared.
void FreeDocumentRecord(WindowRecord*& record);
// Frees a circuit read out of the user's sight (a macro's copy for a build) together with its
// hidden window; a window the user can see is left as it is. The pointer is cleared.
void FreeHiddenCircuit(WindowRecord*& record);

// Asks "Save changes in '%s'?" and saves on Yes. Returns kSaveAnswerYes, kSaveAnswerSavedAs,
// kSaveAnswerNo or kSaveAnswerCancel; a save that fails or is stopped answers Cancel, so the
// window stays open with its changes. During a batch run the answer is No at once.
int AskSaveChanges(WindowRecord* record);

// Pixels of a pane (from its top-left corner) to grid units, halves rounded away from zero, and
// grid units to pane pixels, truncated; through the view scale (scroll units per pixel) and the
// scroll origin of the page shown in the pane. A scroll unit is an eighth of a grid unit.
void ScreenToWorld(const WindowRecord* record, win::POINT& out, int x, int y, int pane);
void WorldToScreen(const WindowRecord* record, win::POINT& out, int x, int y, int pane);
// A client point made relative to the pane's rectangle.
void ClientToPanePoint(const WindowRecord* record, win::POINT& out, int x, int y, int pane);

// Repaints parts of a window by the flag bits (kRedraw*); nothing happens without a window.
void RedrawWindowParts(WindowRecord* record, std::uint32_t flags);
// Draw mode 0 and the default flags.
void RedrawWindowPartsDefault(WindowRecord* record);

// The items and grid texts the next repaint of a schematic draws (other kinds ignore it).
void SetDrawRange(WindowRecord* record, SchematicItem* firstItem, SchematicItem* lastItem, GridText* firstText,
                  GridText* lastText);
// The range becomes all items and all grid texts.
void ResetDrawRange(WindowRecord* record);

// Repaints one node (item, grid text, plot object, or an attribute's component) in draw mode 0.
void RedrawListNode(WindowRecord* record, ListNode* node);
// Repaints one node alone in draw mode 4; with blank, once more while the node is invisible.
void RedrawNodeAlone(WindowRecord* record, ListNode* node, bool blank);
// Repaints in draw mode 4, then in draw mode 0.
void RedrawTwice(WindowRecord* record, std::uint32_t flags);

// Where a message points: an item, a grid text or a text line of an open window, or of a
// circuit file that is not open yet.
constexpr int kLocationItem = 1;
constexpr int kLocationGridText = 2;
constexpr int kLocationTextLine = 3;
struct ElementLocation {
    int kind = 0;
    ListNode* element = nullptr;  // item or grid text
    WindowRecord* record = nullptr;
    std::string fileName;         // when record is null
    int textLine = -1;            // a text line: the line, or -1 to select the range below
    long rangeStart = 0;
    long rangeEnd = 0;
};

// Shows the element that a message refers to, then clears the location.
void GoToElementLocation(ElementLocation& location);

// Re-measures a page's content into its page record; sets ExtentChanged when it changed.
void CheckPageExtent(WindowRecord* record, int page);

// True for the window kinds whose record holds a schematic (1 and the hidden macro kind 11).
bool IsSchematicKind(int kind);

}  // namespace kq5
