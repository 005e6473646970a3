#include "document/circuit_document.h"

#include <new>

#include "core/analysis_state.h"
#include "ui/program_settings.h"
#include "ui/tool_buttons.h"
#include "ui/window_record.h"
#include "document/document_windows.h"

namespace kq5 {

namespace {

DocumentState& State()
{
    static DocumentState state;
    return state;
}

}  // namespace

CircuitDocument::CircuitDocument() = default;
CircuitDocument::~CircuitDocument()
{
    // Program-wide pointers into a freed document would dangle.
    DocumentState& state = State();
    if (state.currentDocument == this) {
        state.currentDocument = nullptr;
        state.currentRecord = nullptr;
    }
    for (const SchematicItem& item : ListRecords<SchematicItem>(itemList)) {
        if (&item == state.pickedItem) {
            state.pickedItem = nullptr;
            state.pickedAttribute = nullptr;
        }
    }
}

void CircuitDocumentDeleter::operator()(CircuitDocument* document) const noexcept { delete document; }

CircuitDocumentPtr NewCircuitDocument() { return CircuitDocumentPtr(new CircuitDocument()); }

void SetCircuitDocumentName(CircuitDocument& document, const std::string& name) { document.name = name; }

int PanePage(const CircuitDocument& document, int pane)
{
    if (pane < 0) pane = document.currentPane;
    if (pane < 0 || pane >= kPaneCount) return 0;
    return document.panePage[static_cast<std::size_t>(pane)];
}

SchematicItem* NewSchematicItem(WindowRecord* record)
{
    if (!record || !record->document) return nullptr;
    CircuitDocument& document = *record->document;
    SchematicItem* item = ListAppendAs<SchematicItem>(document.itemList, kKindSchematicItem);
    if (!item) return nullptr;
    item->page = static_cast<std::int16_t>(PanePage(document));
    item->color = document.circuitObjectFont.color;
    return item;
}

GridText* NewGridText(WindowRecord* record)
{
    if (!record || !record->document) return nullptr;
    CircuitDocument& document = *record->document;
    GridText* text = ListAppendAs<GridText>(document.gridTextList, kKindGridText);
    if (!text) return nullptr;
    text->font = document.gridTextFont;
    text->number = -1;
    text->page = static_cast<std::int16_t>(PanePage(document));
    return text;
}

void MarkModified(WindowRecord* record)
{
    if (!record || !record->document) return;
    CircuitDocument& document = *record->document;
    record->modified = 1;
    record->changed = 1;
    document.connectivityStale = 1;
    // Run data saved before this change no longer belongs to the circuit, also when the change
    // is made while its analysis is open.
    document.runStale.fill(1);
    if (Analysis().analysisKind != kAnalysisNone) return;
    if (document.resultsAvailable) {
        document.resultsAvailable = 0;
        InvalidateDlgItem(Settings().toolBar, kCommandNodeVoltages);
    }
    if (document.viewOptions & kViewNodeVoltages) {
        document.viewOptions &= ~kViewNodeVoltages;
        RedrawWindowParts(record, kRedrawNodeVoltages);
    }
}

void SetRedrawFlags(WindowRecord* record)
{
    if (!record) return;
    record->modified = 1;
    record->changed = 1;
}

DocumentState& Documents() { return State(); }

void ResetDocumentStateForTests() { State() = DocumentState{}; }

void SetCurrentDocument(WindowRecord* record)
{
    DocumentState& state = State();
    if (record && record->document) {
        state.currentRecord = record;
        state.currentDocument = record->document.get();
    } else {
        state.currentRecord = nullptr;
        state.currentDocument = nullptr;
    }
}

WindowRecord* CurrentRecord() { return State().currentRecord; }
CircuitDocument* CurrentDocument() { return State().currentDocument; }

}  // namespace kq5
