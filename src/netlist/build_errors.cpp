#include "netlist/build_errors.h"

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "netlist/circuit_text_object.h"
#include "document/netlist_state.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

namespace {

// Only the first error of a build that an analysis asked for points the user at its place;
// later ones of the same build would only move the view again.
bool LocationDisplayActive() { return Analysis().analysisKind != kAnalysisNone && !Netlist().buildFailed; }

void ShowTextLine(WindowRecord* record, int line)
{
    if (record == nullptr || !record->document || line < 0) return;
    ElementLocation location;
    location.kind = kLocationTextLine;
    location.record = record;
    location.textLine = line;
    GoToElementLocation(location);
}

// A line of SPICE text is shown when the text is a window of the program (a text circuit, or
// the text area of a schematic); a line of a file that no window shows is named by the
// message's Source and Line context instead.
void ShowSourceLine(const SourceLocation& location)
{
    if (location.line < 0) return;
    // The circuit's own text is read without a source name.
    WindowRecord* record = location.source.empty() ? CurrentRecord() : FindRecordByTitle(location.source);
    if (record != nullptr && record->window != nullptr) ShowTextLine(record, location.line);
}

// A line of the circuit's own text (its text window, or a schematic's text area and grid
// texts): one of the build's text objects read at the top level from no file.
const NetlistTextObject* OwnTextObject(const CircuitTextObject* line)
{
    if (line == nullptr || line->scope != 0) return nullptr;
    for (const NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects()))
        if (&text == line) return text.sourceFile.empty() ? &text : nullptr;
    return nullptr;
}

}  // namespace

void ShowErrorLocation(const SchematicItem* item)
{
    if (LocationDisplayActive()) {
        WindowRecord* record = CurrentRecord();
        if (item == nullptr) {
            ShowSourceLine(NetlistReader().errorLocation);
        } else if (const auto origin = ElementOrigin(item)) {
            ShowSourceLine(*origin);
        } else if (record != nullptr && record->document && record->window != nullptr) {
            ElementLocation location;
            location.kind = kLocationItem;
            location.element = const_cast<SchematicItem*>(item);
            location.record = record;
            GoToElementLocation(location);
        }
    }
    FlagCircuitBuildError();
}

void ShowErrorLocation(const CircuitTextObject* line)
{
    if (LocationDisplayActive()) {
        WindowRecord* record = CurrentRecord();
        const NetlistTextObject* text = OwnTextObject(line);
        if (text != nullptr && record != nullptr && record->window != nullptr && text->gridText != nullptr &&
            record->document) {
            ElementLocation location;
            location.kind = kLocationGridText;
            location.element = const_cast<GridText*>(text->gridText);
            location.record = record;
            GoToElementLocation(location);
        } else if (text != nullptr && record != nullptr && record->window != nullptr &&
                   text->origin == kTextOriginNone &&
                   (record->kind == kWindowTextCircuit || record->kind == kWindowSchematic)) {
            ShowTextLine(record, text->lineNumber);
        } else {
            ShowSourceLine(NetlistReader().errorLocation);
        }
    }
    FlagCircuitBuildError();
}

void FlagCircuitBuildError() { Netlist().buildFailed = true; }

void ClearCircuitBuildError() { Netlist().buildFailed = false; }

bool CircuitBuildFailed() { return Netlist().buildFailed; }

}  // namespace kq5
