#pragma once
// What the circuit document asks of the schematic editor: the chosen component definition, the
// attribute and object dialogs, the undo kind, the window's node templates, pin snapping and
// the mark rectangle.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/font_description.h"
#include "ui/window_record_utils.h"
#include "core/linked_list.h"
#include "platform/owner_draw.h"
#include "platform/win_types.h"

namespace kq5 {

struct ComponentDefinition;
struct PlotObject;
struct SchematicItem;
struct WindowRecord;

// What the editor keeps per circuit window beside its record.
struct WindowEditState {
    win::RECT savedMarkRect{-1, -1, -1, -1};  // Undo swaps it with the mark rectangle
    win::POINT lastPoint{1, 1};               // grid point of the last click in a pane
    win::POINT pastePoint{1, 1};
    std::string savedText;                    // the text area before the last box operation
    // The item last made the template, and its state at that moment (Undo kind 7 swaps them).
    SchematicItem* templateItem = nullptr;
    std::shared_ptr<SchematicItem> templateCopy;
    FontSpec savedFont;  // the window font before the last font change (Undo kind 10)
    // Exchanges the texts beyond the lists and the text area that the last box operation
    // rewrote with their state before it (Rename Components); empty for the other operations.
    std::function<void()> swapOtherTexts;
};

// Drag states of the mouse.
constexpr int kDragPlacing = 0x1;
constexpr int kDragMoving = 0x2;
constexpr int kDragWire = 0x8;
constexpr int kDragSelectBox = 0x10;
constexpr int kDragObject = 0x80;
constexpr int kDragReshape = 0x100;
constexpr int kDragScaleBox = 0x200;
constexpr int kDragSplitterH = 0x400;
constexpr int kDragSplitterV = 0x800;
constexpr int kDragSplitters = 0xC00;

// What the drag under way needs to remember at its end.
struct EditorDrag {
    bool movingText = false;        // an attribute text is being moved, not the selection
    PlotObject* plotObject = nullptr;  // the plot object being reshaped
    int handle = 0;
};

struct SchematicEditorState {
    ComponentDefinition* chosenDefinition = nullptr;  // chosen in the component palette
    // Mouse state: one set for the program, since one window holds the capture at a time.
    win::POINT pressPoint{};
    win::POINT lastPoint{};
    int pendingClick = 0;
    int shiftWord = 0;
    int dragState = 0;
    int panFlag = 0;
    ListNode* pickedElement = nullptr;
    SchematicItem* newComponent = nullptr;
    SchematicItem* firstGate = nullptr;
    int flagsPopupPane = -1;
    win::RECT dragRect{};
    std::uint16_t dragStyle = 0;  // style word of the graphic object being drawn
    EditorDrag drag;
    std::uint8_t attributeSelection = 0;  // selection byte of the picked attribute text
    std::unordered_map<const WindowRecord*, WindowEditState> windows;
};

SchematicEditorState& SchematicEditor();
void ResetSchematicEditorForTests();

// The edit state of a window (made on first use).
WindowEditState& EditStateOf(const WindowRecord* record);

ComponentDefinition* ChosenComponentDefinition();
void SetChosenComponentDefinition(ComponentDefinition* definition);

// Attribute dialog modes.
constexpr int kAttributeDialogEdit = 0;
constexpr int kAttributeDialogPlacement = 1;
constexpr int kAttributeDialogTemplate = 3001;
// No template of its own yet: answered as scripted, or OK with nothing changed.
constexpr int kObjectDialogTemplate = 3006;

// The attribute dialog of a component: 1 OK, 2 cancelled.
int EditComponentAttributes(WindowRecord* record, SchematicItem* component, int mode);
// The properties dialog of a graphic object: 1 OK, 2 cancelled.
int EditGraphicObjectDialog(WindowRecord* record, SchematicItem* object);

// Undo kinds of a circuit window.
constexpr int kUndoPlaceItems = 1;
constexpr int kUndoCleared = 2;
constexpr int kUndoCut = 5;
constexpr int kUndoPasted = 6;
constexpr int kUndoTemplate = 7;
constexpr int kUndoFont = 10;
constexpr int kUndoTyping = 11;
constexpr int kUndoBoxEdit = 12;
constexpr int kUndoPlotScales = 13;
// SetUndoKind, which stores the kind of the last undoable operation, is in ui/window_record_utils.h.

// Marks the window's circuit for a rebuild of its node numbers.
void MarkNetlistStale(WindowRecord* record);

// Makes a node the window's template for new nodes of its kind: a grid text gives new grid texts
// its font; a component, wire or graphic object is kept as it stands now (just before an edit
// changes it), so that Undo (kind 7) can put it back.
void SetItemAsTemplate(WindowRecord* record, ListNode* node);
// Undo kind 7: the template item and the item it was taken from change places (a second Undo
// redoes). False when the item is no longer in the drawing.
bool SwapTemplateItem(WindowRecord* record);

// 1 when a pin of the component lies at a negative x or y.
int HasNegativePinPosition(const SchematicItem& component);
// Moves the point onto a pin point of the current page within 1 grid unit; true when it moved.
bool FindNearestPinPoint(WindowRecord* record, win::POINT& point);

// Grid points and client pixels of a pane: the client point made relative to the pane and turned
// into grid units (halves rounded away from zero), and back (truncated).
win::POINT PaneClientToGrid(const WindowRecord* record, int x, int y, int pane);
win::POINT GridToPaneClient(const WindowRecord* record, int x, int y, int pane);
// The client point in grid units of the pane, each coordinate at least 1; kept as the window's
// last point (where Paste puts things).
win::POINT ClientToWorld(WindowRecord* record, int x, int y, int pane);

// Links the nodes of a list anew in the order given (every node of the list, each once).
void RelinkList(LinkedList& list, const std::vector<ListNode*>& order);

// Paints one owner-drawn entry of a style list of the graphic-object dialog: item data below
// 10 is one of the five strips of the pen-style bitmap, 10 and more the id of a bitmap drawn
// whole; a selected entry gets a black frame.
void DrawStyleListItem(const win::DRAWITEMSTRUCT& item);

// Repaints a window after an edit: connectivity and the draw range brought up to date, then the
// whole window painted anew by its own paint.
void RepaintAfterEdit(WindowRecord* record);

// The mark rectangle: left -1 clears it.
void SetMarkRect(WindowRecord* record, int left, int top, int right, int bottom);
int IsMarkRectUnset(const WindowRecord* record);

struct ComponentAttribute;

// What the document, the netlist build, the model library window and the analysis windows ask
// of the schematic editor above them: its dialogs, rewiring and renaming, the mouse handling
// the analysis windows share with the circuit windows, the node values' redraw and the document
// window's default handling. The schematic editor fills these when it registers its window
// classes (every circuit window and the model library window come after that) and at start-up.
// While one is empty its caller does without: the scripted dialog answers, no rewiring or
// renaming, no mouse editing, no redraw, the default window procedure.
struct SchematicEditorHooks {
    std::function<int(WindowRecord*, SchematicItem*, const ComponentAttribute* select, int mode)> attributeDialog;
    std::function<int(WindowRecord*, SchematicItem*)> pictureDialog;
    std::function<int(WindowRecord*, int mode, bool isOldGeneration)> rewireSchematic;
    std::function<void(WindowRecord*)> renameComponents;
    std::function<void(WindowRecord*)> renameDefines;
    std::function<void(WindowRecord*)> redrawNodeValues;
    // Opens an undoable edit of the whole drawing (the lists are kept for Undo): 0, or 15002.
    std::function<int(WindowRecord*)> beginBoxEdit;
    // Mouse messages of a window (key flags, lParam), and the edit dialog of the element under a
    // client point (1 when one was found).
    std::function<void(win::HWND, unsigned, win::LPARAM)> lButtonDown;
    std::function<void(win::HWND, unsigned, win::LPARAM)> lButtonUp;
    std::function<void(win::HWND, unsigned, win::LPARAM)> rButtonDown;
    std::function<void(win::HWND, unsigned, win::LPARAM)> rButtonUp;
    std::function<void(win::HWND, unsigned, win::LPARAM)> mouseMove;
    std::function<int(WindowRecord*, unsigned, int, int)> editObjectAtPoint;
    std::function<win::LRESULT(win::HWND)> closeDocumentWindow;
    std::function<void(win::HWND)> destroyDocumentWindow;
    std::function<win::LRESULT(win::HWND, win::UINT, win::WPARAM, win::LPARAM)> documentDefaultProc;
};
SchematicEditorHooks& EditorHooks();
// A mouse hook called when it is filled.
void CallMouseHook(const std::function<void(win::HWND, unsigned, win::LPARAM)>& hook, win::HWND hwnd, unsigned keyFlags,
                   win::LPARAM lParam);
// The node values of a circuit window drawn again, when the schematic editor is there to draw.
void RedrawCircuitNodeValues(WindowRecord* record);

}  // namespace kq5
