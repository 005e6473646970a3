#pragma once
// What the document windows ask of the schematic editor's view: the draw mode and pass flags
// that the renderer reads, the renderer itself (installed by the schematic editor), the circuit
// window classes with their creation and closing, MDI child creation, and showing a page.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Draw modes.
constexpr int kDrawModeNormal = 0;
constexpr int kDrawModeChosenNodes = 4;  // draw the chosen nodes alone (erase or highlight)

struct SchematicDrawState {
    int drawMode = kDrawModeNormal;
    int secondDrawState = 0;
    int passFlags = 0;       // kRedrawPassA / kRedrawPassB of the repaint in progress
    bool highlight = false;  // the repaint in progress highlights what it draws
};

SchematicDrawState& SchematicDrawing();
void ResetSchematicDrawingForTests();

void SetDrawPassFlags(int code);

// One pane to draw: the window's device context, the pane and its client rectangle.
struct DrawContext {
    win::HDC dc = nullptr;
    WindowRecord* record = nullptr;
    int pane = 0;
    win::RECT paneRect{};
};

// Draws the document's items and grid texts of the draw range into a pane, through the renderer
// that the schematic editor installs; nothing is drawn while none is installed.
using SchematicRenderer = void (*)(const DrawContext& context);
void SetSchematicRenderer(SchematicRenderer renderer);
void DrawDocumentShapes(const DrawContext& context);

// Circuit window classes: "cir" (schematic), "ckt" (text circuit), "LBR" (model library).
inline constexpr const char* kSchematicClassName = "cir";
inline constexpr const char* kTextCircuitClassName = "ckt";
inline constexpr const char* kModelLibraryClassName = "LBR";
// Registers the three classes and the text area class once; true when all are registered.
bool RegisterCircuitWindowClasses();

// Creates a document window of the class with the title; the window kind travels to its
// creation, which makes its record. Null when the window or its record cannot be made.
win::HWND CreateMdiChild(const char* className, const std::string& title, int kind);

// 0 when the window may close: a modified document asks to save first and Cancel refuses.
int QueryCloseDocument(WindowRecord* record);

// Shows a page in a pane scrolled so that the grid point is in view: a pane already showing the
// page, else the pane of the text area, else the first visible pane, takes it.
void ShowPageAtPoint(WindowRecord* record, int page, int x, int y);
// The current pane when visible, else the first visible pane, else -1.
int FindVisiblePane(const WindowRecord* record);

}  // namespace kq5
