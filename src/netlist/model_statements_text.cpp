// Writing the models a circuit uses into its own text (the Add Model Statements command).
#include <algorithm>

#include "core/analysis_state.h"
#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/model_statements.h"
#include "document/component_definition.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

bool StartsWithEnd(std::string_view line)
{
    static constexpr std::string_view kEnd = ".END";
    if (line.size() < kEnd.size()) return false;
    for (std::size_t i = 0; i < kEnd.size(); ++i)
        if (ToUpperChar(line[i]) != kEnd[i]) return false;
    return true;
}

// Where a block goes in a text circuit: before its last line that begins ".end"; else at the
// end of the text.
std::size_t InsertPosition(const std::string& text, bool textCircuit)
{
    if (textCircuit) {
        std::size_t found = std::string::npos;
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t end = text.find('\n', start);
            if (StartsWithEnd(std::string_view(text).substr(start))) found = start;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        if (found != std::string::npos) return found;
    }
    return text.size();
}

std::string WithLineEnds(std::string block, const char* newline)
{
    if (std::string_view(newline) == "\n") std::erase(block, '\r');
    return block;
}

}  // namespace

int WriteModelsToText(WindowRecord* record, int type, std::string_view modelName, std::string_view librarySource)
{
    if (!record) return 0;
    const std::string name(modelName.substr(0, modelName.find(' ')));
    std::string attached;
    const std::string statement = FormatModelStatementAko(name, type, -1, attached);
    if (statement.empty()) return 0;

    // The statements go into the schematic's text area; a hidden one is shown below the drawing.
    if (record->kind == kWindowSchematic && record->window && TextPaneOf(record) < 0) SplitHorizontal(record, 0.8);
    std::string text = CopyTextAreaText(record).value_or(std::string());
    const char* newline = text.find("\r\n") != std::string::npos || text.empty() ? "\r\n" : "\n";
    const std::size_t at = InsertPosition(text, record->kind == kWindowTextCircuit);
    std::string block;
    if (at > 0 && text[at - 1] != '\n') block += newline;
    block += "*** " + std::string(librarySource) + newline;
    const int line = static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n') +
                                      std::count(block.begin(), block.end(), '\n'));
    block += statement + newline;
    if (!attached.empty()) block += attached + newline;
    text.insert(at, WithLineEnds(std::move(block), newline));
    SetTextAreaText(record, text);
    MarkModified(record);

    // The statement now belongs to the window.
    const std::string title = GetRecordTitle(record);
    int index = FindModelInScope(type, 0, name);
    if (index < 0 && type == kModelLpnp) index = FindModelInScope(kModelPnp, 0, name);
    if (ModelStatement* existing = FindModelStatement(index)) {
        existing->sourceKind = kModelSourceTextWindow;
        existing->scope = 0;
        existing->line = line;
        existing->sourceName = title;
        existing->textObject = nullptr;
        return 0;
    }
    return ParseModelStatement(WithLineEnds(statement, newline), 0, line, kModelSourceTextWindow, title);
}

int AddModelStatements(WindowRecord* record)
{
    if (!record || !record->document || Analysis().analysisKind != kAnalysisNone) return 0;
    ModelTableState& models = Models();
    models.writeBackMode = true;
    int status = PrepareCircuit(record, nullptr, kPrepareRebuildNetlist) != 0 ? kMsgAlreadyReported : 0;
    const std::string title = GetRecordTitle(record);

    // The models to write, in component order; each once.
    struct Wanted {
        int type;
        std::string name;
        std::string source;
    };
    std::vector<Wanted> wanted;
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (status != 0 || !item.IsComponent() || !item.definition) continue;
        const ComponentTypeRow* row = FindComponentTypeRow(item.definition->type);
        if (!row || row->modelType < 0) continue;
        const int attribute = ModelAttributeOfComponentType(item.definition->type);
        for (auto [type, id] : {std::pair{static_cast<int>(row->modelType), attribute},
                                std::pair{static_cast<int>(kModelUio), static_cast<int>(kAttrIoModel)}}) {
            const std::string name = ExpandAttributeDefines(&item, id);
            if (name.empty()) continue;
            const ModelStatement* statement = FindModelStatement(FindOrLoadModel(type, 0, name));
            if (statement && statement->sourceName == title) continue;
            const bool listed = std::any_of(wanted.begin(), wanted.end(), [&, type = type](const Wanted& w) {
                return FoldMosRow(w.type) == FoldMosRow(type) && w.name == name;
            });
            if (!listed) wanted.push_back({type, name, statement ? statement->sourceName : std::string()});
        }
    }
    for (const Wanted& w : wanted) {
        if (status != 0) break;
        status = WriteModelsToText(record, w.type, w.name, w.source);
    }
    FreeBuiltCircuit(0xFF);
    models.writeBackMode = false;
    return status;
}

}  // namespace kq5
