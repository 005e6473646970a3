#pragma once
// The draw state of the schematic panes that the document windows and the renderer share: the
// draw mode and pass flags that the renderer reads, the pane being drawn, the renderer itself
// (installed by the schematic editor) and the names of the circuit window classes.
#include <cstdint>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Draw modes.
constexpr int kDrawModeNormal = 0;
constexpr int kDrawModeChosenNodes = 4;  // draw the chosen nodes alone (erase or highlight)

constexpr int kDrawModeXor = 2;         // drag feedback drawn with XOR

struct SchematicDrawState {
    int drawMode = kDrawModeNormal;
    int secondDrawState = 0;
    int passFlags = 0;       // the last code given to SetDrawPassFlags
    bool highlight = false;  // the repaint in progress highlights what it draws
    // Selection filter: an element is drawn when (selection byte & mask) == wanted.
    int filterMask = 0;
    int filterWanted = 0;
    bool ignoreSelection = false;  // printing: selection is not shown
    bool noMarkRect = false;       // bitmap copies leave the mark rectangle out
    bool nodeLabelToggle = false;
};

SchematicDrawState& SchematicDrawing();
void ResetSchematicDrawingForTests();

// Code 8 toggles the node-label flag. Otherwise bit 0x4 ignores the selection, 0x10 leaves the
// mark rectangle out, and the low bits choose what is drawn: 3 (or 0) everything, 1 the selected
// elements only, 2 the unselected ones. The repaint flags kRedrawPassA / kRedrawPassB come as
// the codes 1 and 2 shifted up by 13 bits.
void SetDrawPassFlags(int code);

struct SchematicItem;
struct GridText;

// One pane (or page) to draw: the device context, the pane and its client rectangle; the
// renderer fills the rest for each paint.
struct DrawContext {
    win::HDC dc = nullptr;
    WindowRecord* record = nullptr;
    int pane = 0;
    win::RECT paneRect{};
    std::int32_t scrollX = 0;   // window origin in logical units (the pane's scroll origin)
    std::int32_t scrollY = 0;
    win::HWND window = nullptr;
    std::uint32_t displayFlags = 0;
    double zoom = 1.0;          // logical units per device pixel
    win::RECT updateRect{};     // device pixels
    int page = 0;
    int technology = 1;         // GetDeviceCaps TECHNOLOGY
    SchematicItem* firstItem = nullptr;
    SchematicItem* lastItem = nullptr;
    GridText* firstText = nullptr;
    GridText* lastText = nullptr;
    int explicitScale = 0;      // nonzero: windowExt / viewportExt map instead of the zoom
    int windowExt = 1;
    int viewportExt = 1;
};

// Draws the document's items and grid texts of the draw range into a pane, through the renderer
// that the schematic editor installs; nothing is drawn while none is installed.
using SchematicRenderer = void (*)(const DrawContext& context);
void SetSchematicRenderer(SchematicRenderer renderer);
bool HasSchematicRenderer();
void DrawDocumentShapes(const DrawContext& context);

// Circuit window classes: "cir" (schematic), "ckt" (text circuit), "LBR" (model library).
inline constexpr const char* kSchematicClassName = "cir";
inline constexpr const char* kTextCircuitClassName = "ckt";
inline constexpr const char* kModelLibraryClassName = "LBR";
}  // namespace kq5
