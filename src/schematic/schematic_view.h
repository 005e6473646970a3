#pragma once
// What the document windows ask of the schematic editor's view: the draw mode and pass flags
// that the renderer reads, the renderer itself (installed by the schematic editor), the circuit
// window classes with their closing, and showing a page.
#include <cstdint>
#include <string>

#include "platform/win_types.h"
#include "document/document_window_create.h"
#include "document/page_array.h"
#include "document/schematic_drawing.h"
#include "document/pane_seams.h"

namespace kq5 {

struct WindowRecord;

// Registers the three classes and the text area class once; true when all are registered. The
// editor's hooks for the layers below are installed with them.
bool RegisterCircuitWindowClasses();
// Fills the hooks through which the document, the netlist build and the analysis windows reach
// the schematic editor (EditorHooks).
void InstallSchematicEditorHooks();

// Fills DocumentWindowClasses (document/document_window_create.h) with RegisterCircuitWindowClasses;
// InstallSchematicEditorHooks does it too.
void InstallDocumentWindowClasses();

// 0 when the window may close: a modified document asks to save first and Cancel refuses.
int QueryCloseDocument(WindowRecord* record);

}  // namespace kq5
