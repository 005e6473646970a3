#include "document/schematic_drawing.h"

namespace kq5 {

namespace {

struct ViewState {
    SchematicDrawState draw;
    SchematicRenderer renderer = nullptr;
};

ViewState& State()
{
    static ViewState state;
    return state;
}

}  // namespace

SchematicDrawState& SchematicDrawing() { return State().draw; }

void ResetSchematicDrawingForTests() { State() = ViewState{}; }

void SetDrawPassFlags(int code)
{
    SchematicDrawState& draw = State().draw;
    draw.passFlags = code;
    if (code >= 0x2000) code = (code >> 13) & 3;
    if (code == 8) {
        draw.nodeLabelToggle = !draw.nodeLabelToggle;
        return;
    }
    draw.ignoreSelection = (code & 0x4) != 0;
    draw.noMarkRect = (code & 0x10) != 0;
    // A code without either bit restores drawing everything, so no filter outlives its paint.
    if ((code & 3) == 3 || (code & 3) == 0) {
        draw.filterMask = 0;
        draw.filterWanted = 0;
    } else if (code & 1) {
        draw.filterMask = 1;
        draw.filterWanted = 1;
    } else {
        draw.filterMask = 1;
        draw.filterWanted = 0;
    }
}

void SetSchematicRenderer(SchematicRenderer renderer) { State().renderer = renderer; }

bool HasSchematicRenderer() { return State().renderer != nullptr; }

void DrawDocumentShapes(const DrawContext& context)
{
    if (State().renderer != nullptr) State().renderer(context);
}

}  // namespace kq5
