#pragma once
// The Shape Editor: a modal dialog that creates, renames, deletes and draws the shapes of the shape
// library, one shape open at a time as a list of primitives on a drawing surface of its own
// ("ShapeArea"), with fifteen tools, a grid, zoom, selection and one level of undo. Changes stay in
// memory until the editor closes and the user agrees to write the library.
#include <string>
#include <vector>

#include "core/font_description.h"
#include "platform/win_types.h"
#include "document/shape_data.h"
#include "document/shape_library.h"

namespace kq5 {

constexpr int kShapeEditorTemplate = 17315;
constexpr int kShapeEditorSmallTemplate = 17309;
constexpr int kObjectEditorTemplate = 17314;

// Controls.
constexpr int kShapeToolBar = 99;
constexpr int kShapeNameEdit = 12101;
constexpr int kShapeList = 12104;
constexpr int kShapeVScroll = 12105;
constexpr int kShapeHScroll = 12106;
constexpr int kShapeArea = 12107;
constexpr int kShapeShowGrid = 12109;
constexpr int kShapeGridLock = 12110;
constexpr int kShapeStatus = 12112;
constexpr int kShapeObjectEditor = 12115;
constexpr int kShapeRevert = 12116;
constexpr int kShapeAdd = 24;
constexpr int kShapeDelete = 25;
constexpr int kShapeClose = 23;

// Commands.
constexpr int kCmdShapeEditor = 17309;
constexpr int kCmdUndo = 17200, kCmdCut = 17201, kCmdCopy = 17202, kCmdPaste = 17203, kCmdClear = 17204,
              kCmdSelectAll = 17205, kCmdMirrorBox = 17208, kCmdRotate = 17209, kCmdFlipX = 17210,
              kCmdFlipY = 17211, kCmdSelectTool = 17313, kCmdZoomIn = 17504, kCmdZoomOut = 17505,
              kCmdScrollHome = 17632, kCmdScrollEnd = 17633, kCmdBringToFront = 17694, kCmdSendToBack = 17695,
              kCmdNextObject = 17696, kCmdTransparent = 17873, kCmdSolid = 17874, kCmdFont = 17452;

// The handles of an arc's start and end points, beside the eight of its rectangle.
constexpr int kArcStartHandle = 9;
constexpr int kArcEndHandle = 10;

// View flags.
constexpr unsigned kShapeViewGrid = 0x04;
constexpr unsigned kShapeViewGridLock = 0x40;

constexpr int kShapeCanvasSize = 750;
constexpr int kShapeCanvasMargin = 32;

struct ShapeTool {
    int command;
    const char* name;
    int type;  // what it makes; 1 for none (Select, Pan), 0 for a reference
};
constexpr int kShapeToolCount = 15;
extern const ShapeTool kShapeTools[kShapeToolCount];

// Drag states of the drawing surface.
enum class ShapeDrag { None, Create, Box, Move, Resize, Pan };

struct ShapeEditorState {
    win::HWND dialog = nullptr;
    win::HWND area = nullptr;
    ShapeRecord* current = nullptr;
    PrimitiveList edit;
    ShapeRecord saved;           // the open shape as it was opened, for Revert Shape
    bool shapeModified = false;
    bool libraryChanged = false;
    int tool = 0;
    unsigned viewFlags = kShapeViewGrid | kShapeViewGridLock;  // kept while the program runs
    double zoom = 4.0;                                         // kept while the program runs
    int scrollX = 0, scrollY = 0;  // pixels
    ShapeDrag drag = ShapeDrag::None;
    win::POINT anchor{};           // canvas units
    win::POINT last{};
    win::RECT band{};
    bool toggleSelection = false;  // Shift held when a box selection began
    win::POINT moved{};            // the offset of the move under way
    ShapePrimitive* currentObject = nullptr;
    int undoCode = 0;
    int undoDx = 0, undoDy = 0;
    // The objects the last add, move, paste or rotation acted on: Undo acts on them again,
    // whatever has been selected since.
    std::vector<const ShapePrimitive*> undoObjects;
    PrimitiveList holding;   // what the last Clear or Cut removed
    PrimitiveList clipboard;
    ShapePrimitive* resized = nullptr;  // the primitive of the last resize and its other geometry
    win::RECT resizedRect{};
    std::vector<std::uint8_t> resizedExtra;
    int handle = 0;  // the handle being dragged: 1..8 clockwise from top-left, or an arc's end
    int pattern = kCmdTransparent;
    std::vector<win::POINT> polyPoints;
    FontSpec textFont;
};

ShapeEditorState& ShapeEditor();
void ResetShapeEditorForTests();
// Records `code` as the last operation, done on the objects selected now.
void RecordUndo(int code);

// Runs the editor (nothing while an analysis runs).
void OpenShapeEditor(win::HWND owner = nullptr);
win::INT_PTR ShapeEditorDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
void RegisterShapeEditorClasses();

void SetShapeTool(win::HWND dialog, int command);
void SetShapeModified(win::HWND dialog, bool modified);
// Stores the open shape when modified and opens the record.
void SwitchToShape(win::HWND dialog, ShapeRecord* record);
// Adds a primitive made from the payload as the only selected object; undo code 1.
ShapePrimitive* AddNewPrimitive(win::HWND dialog, const std::vector<std::uint8_t>& payload, int type, std::uint16_t attributes);
std::uint16_t AdjustFillAttribute(int type, std::uint16_t attributes);
// Adds the shape to the list box; whether it is used (listed in parentheses when not).
bool AddShapeListItem(win::HWND dialog, ShapeRecord& record, bool used);
// Runs an edit or tool command as the dialog does.
void ShapeEditorCommand(win::HWND dialog, int id);
// The canvas point under a surface pixel, snapped when Grid Lock is on.
win::POINT ShapeCanvasPoint(int x, int y);
// The surface pixel of a canvas point.
win::POINT ShapePixelPoint(int x, int y);
// Whether the shape `candidate` is the shape `open` or includes it, however deep: including it
// in `open` would make a shape that draws itself.
bool IncludesShape(int candidate, int open, int depth = 0);
// "Choose Root Shape": the index of the shape chosen to include in the open one; -1 when cancelled
// or when the choice would include the open shape in itself (or is slot 0).
int ChooseRootShape(win::HWND owner);
// Shows a canvas point in the status line.
void SetStatus(const win::POINT& p);
// Repaints the drawing surface.
void RedrawShapeArea();

}  // namespace kq5
