// "Open MC": the failed cases of a Monte Carlo analysis, read back from the failure reports of
// its numeric output file, each rebuilt as a new circuit window whose perturbed models are new
// AKO statements and whose parts use them.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analyses/monte_carlo.h"
#include "document/file_dialogs.h"
#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/file_names.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_sources.h"

namespace kq5 {

namespace {

constexpr const char* kOpenTitle = "Open MC";
constexpr const char* kOpenFilter = "Monte Carlo (*.tno;*.ano;*.dno)|*.tno;*.ano;*.dno|";

struct PerturbedModel {
    std::vector<std::string> parts;
    std::string statement;  // ".MODEL name type (...)"
};

struct FailedCase {
    std::string header;  // the run's temperature line
    std::vector<PerturbedModel> models;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::string_view text, std::string_view part)
{
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
        if (EqualsNoCase(text.substr(i, part.size()), part)) return true;
    return false;
}

std::string TrimmedCopy(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

// The failure reports of a numeric output file, case by case. The report was written with the
// spelling "occured"; a corrected spelling is read as well.
int ReadFailedCases(const std::string& name, std::vector<FailedCase>& cases)
{
    const int unit = FindFreeUnit();
    if (unit < 0) return kMsgInsufficientMemory;
    if (const int status = OpenUnit(name, unit); status != 0) {
        CloseUnit(unit);
        return status;
    }
    std::string header;
    std::string line;
    bool statementNext = false;
    while (SourceHasMoreLines(unit)) {
        if (ReadLogicalLine(unit, line) != 0) break;
        const std::string text = TrimmedCopy(line);
        if (statementNext) {
            statementNext = false;
            if (StartsWithNoCase(text, ".MODEL")) {
                cases.back().models.back().statement = text;
                continue;
            }
            cases.back().models.pop_back();
        }
        if (ContainsNoCase(text, "occured for the following parameters") ||
            ContainsNoCase(text, "occurred for the following parameters")) {
            cases.push_back({header, {}});
        } else if (StartsWithNoCase(text, "Temperature")) {
            header = text;
        } else if (StartsWithNoCase(text, "model for:") && !cases.empty()) {
            PerturbedModel model;
            std::size_t at = 10;
            while (at < text.size()) {
                const std::size_t start = text.find_first_not_of(" \t", at);
                if (start == std::string::npos) break;
                const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
                model.parts.push_back(text.substr(start, end - start));
                at = end;
            }
            cases.back().models.push_back(std::move(model));
            statementNext = true;
        }
    }
    CloseUnit(unit);
    if (statementNext && !cases.empty()) cases.back().models.pop_back();
    return 0;
}

// The circuit written from its open window into a temporary file of its own beside it, so that
// what is loaded is what the user sees; empty when that fails (reported).
std::string WriteOpenCircuitToTemporaryFile(WindowRecord* open, const std::string& circuit)
{
    std::filesystem::path dir = std::filesystem::path(circuit).parent_path();
    if (dir.empty()) dir = ".";
    std::string pattern = (dir / "T$XXXXXX.CIR").string();
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) {
        ReportFileWriteFailure(pattern, 16000 + errno);
        return {};
    }
    ::close(fd);
    const int status = open->kind == kWindowTextCircuit ? ReplaceFileContents(pattern, open->textArea)
                                                        : WriteCircuitFile(open, pattern, kWriteBanner | kWriteQuietly);
    if (status != 0) {
        ReportFileWriteFailure(pattern, status);
        std::filesystem::remove(pattern);
        return {};
    }
    return pattern;
}

std::string FreeCaseName(const std::string& circuit, int caseNumber)
{
    std::string base = circuit;
    const std::optional<std::string> extension = StripExtension(base);
    for (int n = caseNumber;; ++n) {
        std::string name = base + std::to_string(n) + "." + extension.value_or("CIR");
        if (!std::filesystem::exists(ResolveFilePath(name)) && !FindRecordByTitle(name)) return name;
    }
}

// The attribute that names a part's model of this type.
AttributeKey ModelAttributeOf(const SchematicItem* item, int modelType)
{
    if (modelType == kModelUio) return AttributeKey(kAttrIoModel);
    const ComponentTypeRow* row = FindComponentTypeRow(ItemComponentType(item));
    if (row && row->domain == kDomainDigital) return AttributeKey(kAttrTimingModel);
    return AttributeKey(kAttrModel);
}

// Gives each listed part the new model, where its attribute named the perturbed one.
void RetargetCaseParts(WindowRecord* record, const PerturbedModel& model, int modelType, const std::string& oldName,
                       const std::string& newName)
{
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (!item.IsComponent()) continue;
        const std::string& part = GetAttributeText(&item, AttributeKey(kAttrPart));
        bool listed = false;
        for (const std::string& name : model.parts) listed = listed || EqualsNoCase(name, part);
        if (!listed) continue;
        const AttributeKey key = ModelAttributeOf(&item, modelType);
        if (EqualsNoCase(GetAttributeText(&item, key), oldName)) SetAttribute(record, &item, key, newName);
    }
}

// In a text circuit the parts are element lines: the model token of each listed part's line
// takes the new name.
void RetargetTextParts(std::string& text, const PerturbedModel& model, const std::string& oldName,
                       const std::string& newName)
{
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        const std::size_t first = text.find_first_not_of(" \t", lineStart);
        if (first < lineEnd) {
            const std::size_t nameEnd = std::min(text.find_first_of(" \t\r", first), lineEnd);
            const std::string_view part(text.data() + first, nameEnd - first);
            bool listed = false;
            for (const std::string& name : model.parts) listed = listed || EqualsNoCase(name, part);
            for (std::size_t at = nameEnd; listed && at < lineEnd;) {
                const std::size_t start = text.find_first_not_of(" \t\r", at);
                if (start >= lineEnd) break;
                const std::size_t end = std::min(text.find_first_of(" \t\r", start), lineEnd);
                if (EqualsNoCase(std::string_view(text.data() + start, end - start), oldName)) {
                    text.replace(start, end - start, newName);
                    lineEnd += newName.size() - (end - start);
                    break;
                }
                at = end;
            }
        }
        lineStart = lineEnd + 1;
    }
}

// One case's circuit window: loaded from the circuit, renamed, its models added and its parts
// retargeted. False when the circuit could not be loaded (reported).
bool OpenCase(const std::string& source, const std::string& circuit, int kind, const FailedCase& failed,
              int caseNumber)
{
    WindowRecord* record = nullptr;
    if (LoadCircuitFile(nullptr, source, kind, kLoadDefaults, record) != 0 || !record || !record->document)
        return false;
    SetRecordTitle(record, FreeCaseName(circuit, caseNumber));
    std::string text = CopyTextAreaText(record).value_or(record->textArea);
    std::string added;
    for (const PerturbedModel& model : failed.models) {
        std::string name, ako, type;
        const std::string_view body = std::string_view(model.statement).substr(6);
        const std::size_t after = ParseModelNameAko(body, name, ako, type);
        const int modelType = FindModelType(CopyUpperCase(type));
        if (name.empty() || type.empty()) continue;
        const std::string newName = StrPrintf("%s_%d", name.c_str(), caseNumber);
        added += "\n;****\n.MODEL " + newName + " AKO:" + name + " " + type + std::string(body.substr(after)) + "\n";
        if (kind == kFileKindTextCircuit)
            RetargetTextParts(text, model, name, newName);
        else
            RetargetCaseParts(record, model, modelType, name, newName);
    }
    if (kind == kFileKindTextCircuit)
        text.insert(TextInsertPoint(text), added.substr(1));
    else
        text += added;
    if (SetTextAreaText(record, text) != 0) return false;
    MarkModified(record);
    return true;
}

}  // namespace

int OpenMonteCarloCasesFrom(const std::string& numericOutputFile)
{
    std::string circuit = numericOutputFile;
    ReplaceExtension(circuit, "CIR");
    circuit = ResolveFilePath(circuit);
    std::vector<FailedCase> cases;
    if (const int status = ReadFailedCases(numericOutputFile, cases); status != 0) {
        ReportMessage("E", status);
        return -1;
    }
    if (cases.empty()) {
        ReportMessage("E", kMsgNoMonteCarloFailures);
        return -1;
    }
    std::string source = circuit;
    std::string temporary;
    if (WindowRecord* open = FindRecordByTitle(circuit)) {
        temporary = WriteOpenCircuitToTemporaryFile(open, circuit);
        if (temporary.empty()) return -1;
        source = temporary;
    }
    const int kind = StartsLikeSchematic(source) ? kFileKindSchematic : kFileKindTextCircuit;
    int opened = 0;
    for (std::size_t i = 0; i < cases.size(); ++i)
        if (OpenCase(source, circuit, kind, cases[i], static_cast<int>(i) + 1)) ++opened;
    if (!temporary.empty()) std::filesystem::remove(temporary);
    return opened;
}

int OpenMonteCarloCase()
{
    std::string path, directory, name;
    if (AskOpenFileName(CurrentRecord(), kOpenTitle, kOpenFilter, path, directory, name) != 1) return 0;
    return OpenMonteCarloCasesFrom(path) < 0 ? kMsgAlreadyReported : 0;
}

}  // namespace kq5
