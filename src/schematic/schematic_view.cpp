#include "schematic/schematic_view.h"

#include "schematic/edit_commands.h"

#include "core/analysis_state.h"
#include "ui/frame_state.h"
#include "ui/program_settings.h"
#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "netlist/model_library_window.h"
#include "platform/mdi.h"
#include "platform/message.h"
#include "platform/window.h"
#include "document/pane_scroll_bars.h"
#include "plots/plot_object_draw.h"
#include "schematic/attribute_dialog.h"
#include "schematic/circuit_window.h"
#include "schematic/mouse_input.h"
#include "schematic/rename_components.h"
#include "schematic/rewire.h"
#include "schematic/window_pictures.h"
#include "document/editor_services.h"
#include "document/page_tabs.h"
#include "document/pane_seams.h"
#include "schematic/schematic_render.h"

namespace kq5 {

void InstallSchematicEditorHooks()
{
    SchematicEditorHooks& hooks = EditorHooks();
    hooks.attributeDialog = RunAttributeDialog;
    hooks.pictureDialog = RunPictureDialog;
    hooks.rewireSchematic = RewireSchematic;
    hooks.renameComponents = RenameComponents;
    hooks.renameDefines = RenameDefines;
    hooks.redrawNodeValues = RedrawNodeValues;
    hooks.beginBoxEdit = BeginBoxEdit;
    hooks.lButtonDown = OnWindowLButtonDown;
    hooks.lButtonUp = OnWindowLButtonUp;
    hooks.rButtonDown = OnWindowRButtonDown;
    hooks.rButtonUp = OnWindowRButtonUp;
    hooks.mouseMove = OnWindowMouseMove;
    hooks.editObjectAtPoint = EditObjectAtPoint;
    hooks.closeDocumentWindow = CloseDocumentWindow;
    hooks.destroyDocumentWindow = DestroyDocumentWindow;
    hooks.documentDefaultProc = DocumentDefaultProc;
    InstallDocumentWindowClasses();
    // Plot objects are hit, moved and edited in the windows the editor's mouse handling serves.
    InstallPlotObjectDrawing();
}

bool RegisterCircuitWindowClasses()
{
    bool ok = RegisterTextAreaClass() && RegisterTabBarClass();
    if (!HasSchematicRenderer()) InstallSchematicRenderer();
    if (!EditorHooks().attributeDialog) InstallSchematicEditorHooks();
    struct Class {
        const char* name;
        win::WNDPROC proc;
    };
    for (const Class& c : {Class{kSchematicClassName, CircuitWndProc}, Class{kTextCircuitClassName, CktWndProc},
                           Class{kModelLibraryClassName, ModelEditorWndProc}}) {
        win::WNDCLASS existing;
        if (win::GetClassInfo(nullptr, c.name, &existing)) continue;
        win::WNDCLASS wc;
        wc.style = win::CS_DBLCLKS;
        wc.lpfnWndProc = c.proc;
        wc.lpszClassName = c.name;
        ok = win::RegisterClass(&wc) != 0 && ok;
    }
    return ok;
}

void InstallDocumentWindowClasses() { DocumentWindowClasses().registerClasses = RegisterCircuitWindowClasses; }

int QueryCloseDocument(WindowRecord* record)
{
    if (record == nullptr) return 0;
    // A long operation still working on the documents keeps every window open.
    if (Frame().busy) return 1;
    if (Analysis().analysisKind != kAnalysisNone && CurrentRecord() == record) return 1;
    // With the "File Warning" preference off the user has chosen to close without the question.
    if (record->modified && (OptionFlags() & kOptionFileWarning) && AskSaveChanges(record) == kSaveAnswerCancel) return 1;
    return 0;
}

}  // namespace kq5
