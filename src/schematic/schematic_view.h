#pragma once
// What the document windows ask of the schematic editor's view: the draw mode and pass flags
// that the renderer reads, the renderer itself (installed by the schematic editor), the circuit
// window classes with their creation and closing, MDI child creation, and showing a page.
#include <cstdint>
#include <string>

#include "platform/win_types.h"
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

// Creates a document window of the class with the title; the window kind travels to its
// creation, which makes its record. Null when the window or its record cannot be made.
win::HWND CreateMdiChild(const char* className, const std::string& title, int kind);

// A schematic window that is never shown: a hidden child of the frame, outside the MDI client,
// for work that needs a schematic document out of the user's sight (a macro's schematic read
// for a circuit build). Null when it cannot be made.
inline constexpr int kHiddenCircuitWindowId = 4444;
win::HWND CreateHiddenCircuitWindow(const std::string& title);

// 0 when the window may close: a modified document asks to save first and Cancel refuses.
int QueryCloseDocument(WindowRecord* record);

}  // namespace kq5
