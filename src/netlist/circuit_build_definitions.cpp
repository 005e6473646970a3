// The first phase of a circuit build: the reader's state, the scope table, the optional default
// definitions file DEF.KQ5, and the definitions the circuit's own texts make (defines,
// parameters, models, libraries).
#include <array>
#include <new>
#include <string>

#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/grid_text.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "netlist/circuit_build.h"
#include "netlist/defines.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "document/scope_table.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_text_pass.h"
#include "netlist/subcircuit_scopes.h"

namespace kq5 {

namespace {

struct DotKeyword {
    const char* text;
    std::size_t length;
};

constexpr std::array<DotKeyword, 16> kDotKeywordTable = {{
    {"POLY", 4},     {".INCLUDE", 8}, {".INC", 4},     {".PARAMETERS", 11}, {".DEFINE", 7}, {".IC", 3},
    {".NODESET", 8}, {".OPTIONS", 8}, {".OPT", 4},     {".SKIP_L_LOOP", 12}, {".MODEL", 6}, {".LIBRARY", 8},
    {".LIB", 4},     {".MACRO", 6},   {".PARAM", 6},   {".LOADOP", 7},
}};

bool KeywordEndsAt(std::string_view text, std::size_t length)
{
    return length >= text.size() || HasCharClass(text[length], kCharSeparator | kCharSpace | kCharListDelim);
}

std::size_t MatchRow(std::string_view text, int row, bool caseBlind)
{
    if (row < 0 || row >= static_cast<int>(kDotKeywordTable.size())) return 0;
    const DotKeyword& keyword = kDotKeywordTable[static_cast<std::size_t>(row)];
    if (text.size() < keyword.length) return 0;
    const std::string_view head = text.substr(0, keyword.length);
    const bool equal = caseBlind ? EqualsNoCase(head, keyword.text) : head == keyword.text;
    return equal && KeywordEndsAt(text, keyword.length) ? keyword.length : 0;
}

std::size_t MatchWithShortForm(std::string_view text, int row, bool caseBlind)
{
    if (std::size_t length = MatchRow(text, row, caseBlind)) return length;
    if (row == kDotInclude || row == kDotOptions || row == kDotLibrary) return MatchRow(text, row + 1, caseBlind);
    return 0;
}

// True when the line opens a .SUBCKT block: the keyword in any case, then a blank.
bool OpensSubcircuit(std::string_view line)
{
    return line.size() > 7 && EqualsNoCase(line.substr(0, 7), ".SUBCKT") && HasCharClass(line[7], kCharSpace);
}

bool ClosesSubcircuit(std::string_view line)
{
    return line.size() >= 5 && EqualsNoCase(line.substr(0, 5), ".ENDS") &&
           (line.size() == 5 || HasCharClass(line[5], kCharSpace));
}

// A unit reading the text of a schematic's text area.
int OpenTextAreaUnit(WindowRecord* record)
{
    const int unit = FindFreeUnit();
    FileUnit* slot = GetFileUnit(unit);
    if (!slot) return -1;
    slot->mode = kUnitReading;
    slot->name = GetRecordTitle(record);
    slot->borrowedText = &record->textArea;
    slot->ownsMemoryText = false;
    slot->readPosition = 0;
    slot->textLength = static_cast<int>(record->textArea.size());
    slot->lineNumber = 0;
    return unit;
}

int SourceKindOf(const WindowRecord* record, const NetlistTextObject& text)
{
    if (!text.sourceFile.empty()) return kModelSourceTextFile;
    return record && record->kind == kWindowTextCircuit ? kModelSourceTextWindow : kModelSourceSchematic;
}

// The first pass over the enabled text objects: defines, parameters, flags and includes.
int CollectTextDefinitions()
{
    NetlistReaderState& reader = NetlistReader();
    for (NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects())) {
        if (text.disabled || CircuitBuildFailed()) continue;
        if (MatchDotKeyword(text.text, kDotSkipLLoop)) reader.skipInductorLoopCheck = true;
        if (MatchDotKeyword(text.text, kDotLoadop)) reader.loadOperatingPoint = true;
        DefineOrigin origin;
        origin.text = &text;
        origin.kind = text.origin == kTextOriginNone ? kOriginNone : kOriginSchematic;
        if (ParseDefineStatement(text.text, text.scope, origin) != 0) return kMsgAlreadyReported;
        if (MatchDotKeyword(text.text, kDotParam) && EvaluateParamText(text) != 0) return kMsgAlreadyReported;
        if (MatchDotKeyword(text.text, kDotInclude) && ReadIncludeDefinitions(text.text, text.scope) != 0)
            return kMsgAlreadyReported;
    }
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

// The second pass: models and libraries.
int RegisterTextModels(WindowRecord* record)
{
    const std::string title = GetRecordTitle(record);
    for (NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects())) {
        if (text.disabled) continue;
        if (MatchDotKeyword(text.text, kDotModel)) {
            const std::string& source = text.sourceFile.empty() ? title : text.sourceFile;
            if (ParseModelStatement(text.text, text.scope, text.lineNumber, SourceKindOf(record, text), source, &text))
                FlagCircuitBuildError();
        } else if (std::size_t length = MatchDotKeyword(text.text, kDotLibrary)) {
            std::string line;
            if (SubstituteDefines(line, text.scope, text.text) != 0) {
                FlagCircuitBuildError();
                continue;
            }
            std::string name;
            if (ParseIncludeFileName(name, line.substr(std::min(length, line.size()))) != 0 ||
                RegisterCircuitLibrary(name) != 0)
                FlagCircuitBuildError();
        }
    }
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

// The schematic's dot commands become text objects of the top level (its node labels name
// their nets in the expansion).
int SeedSchematicTextObjects(const WindowRecord* record)
{
    const CircuitDocument* document = record ? record->document.get() : nullptr;
    if (!document || record->kind == kWindowTextCircuit) return 0;
    for (const GridText& grid : ListRecords<GridText>(document->gridTextList)) {
        std::string_view text = grid.text;
        SkipSpace(text);
        if (text.empty() || text.front() != '.') continue;
        NetlistTextObject* object = AddCircuitTextObject(text, 0, 0);
        if (!object) return FlagCircuitBuildOutOfMemory();
        object->origin = 0;
        object->gridText = &grid;
    }
    return 0;
}

}  // namespace

int BeginCircuitBuild(bool skipDefinitionsFile)
{
    WindowRecord* record = CurrentRecord();
    NetlistReaderState& reader = NetlistReader();
    reader.digitalConstantNodes.fill(-1);
    reader.loadOperatingPoint = false;
    reader.skipInductorLoopCheck = false;
    ClearCircuitBuildError();
    ClearDeferredWarnings();
    ClearDefineTable();
    ClearCircuitTextObjects();
    InitNetlistReader();

    FreeScopeTable();
    if (int rc = ResizeScopeTable(0)) return rc;
    if (SubcktScope* top = FindScopeForEdit(0)) {
        top->fileName = GetRecordTitle(record);
        SetScopeWindow(0, record);
    }
    if (ScopeExpansion* top = ScopeExpansionOf(0)) {
        top->kind = record && record->kind == kWindowTextCircuit ? kComponentSubckt : kComponentMacro;
        const std::string& name = record && record->document ? record->document->name : std::string();
        if (top->kind == kComponentMacro) top->Macro().baseName = name.substr(0, name.find('.'));
    }
    if (int rc = SeedSchematicTextObjects(record)) return rc;

    if (!skipDefinitionsFile)
        if (int rc = ReadDefaultDefinitionsFile()) return rc;
    if (int rc = ReadCircuitDefinitions()) return rc;

    if (record) {
        if (int rc = RegisterCircuitLibrary(GetRecordTitle(record))) return rc;
        if (record->kind != kWindowTextCircuit)
            if (int rc = RegisterCircuitLibrary({})) return rc;
    }
    if (!CircuitBuildFailed()) SetGlobalOptionsToDefaults();
    return 0;
}

std::size_t MatchDotKeyword(std::string_view text, int row) { return MatchWithShortForm(text, row, true); }

std::size_t MatchDotKeywordCase(std::string_view text, int row) { return MatchWithShortForm(text, row, false); }

std::string MakeDefaultDefinitionsPath()
{
    std::string directory = Settings().programDirectory;
    if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') directory += '/';
    return directory + kDefaultDefinitionsFile;
}

int ReadDefinitionLines(int unit)
{
    int depth = 0;
    std::string line;
    while (!CircuitBuildFailed() && SourceHasMoreLines(unit)) {
        if (ReadLogicalLine(unit, line) != 0) return FlagCircuitBuildOutOfMemory();
        std::string_view text = line;
        SkipSpace(text);
        if (text.empty() || text.front() != '.') continue;
        // A stray .ENDS must not open a block that never closes.
        if (ClosesSubcircuit(text)) {
            if (depth > 0) --depth;
            continue;
        }
        if (OpensSubcircuit(text)) {
            ++depth;
            continue;
        }
        // Where the statement starts, not where reading stopped after its continuation lines.
        const int lineNumber = LogicalLineStart();
        if (MatchDotKeyword(text, kDotDefine)) {
            // A define keeps no text object: its error points at its line through the reader's
            // location.
            const FileUnit* slot = GetFileUnit(unit);
            SetErrorSourceLine(slot ? slot->name : std::string(), lineNumber);
            DefineOrigin origin;
            const int status = ParseDefineStatement(text, 0, origin);
            ClearErrorSourceLine();
            if (status != 0) {
                FlagCircuitBuildError();
                return kMsgAlreadyReported;
            }
            continue;
        }
        if (depth > 0) continue;
        NetlistTextObject* object = AddCircuitTextObject(text, lineNumber, 0);
        if (!object) return FlagCircuitBuildOutOfMemory();
        object->origin = kTextOriginNone;
    }
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

int ReadDefaultDefinitionsFile()
{
    const std::string path = ResolveFilePath(MakeDefaultDefinitionsPath());
    std::FILE* probe = OpenResolvedFile(path, "rb");
    if (!probe) return 0;  // no definitions file is not an error
    std::fclose(probe);
    const int unit = FindFreeUnit();
    if (unit < 0) return FlagCircuitBuildOutOfMemory();
    int rc = OpenUnit(path, unit);
    if (rc == 0) rc = LoadUnitText(unit, 0, 0, kLoadToEnd);
    if (rc != 0) {
        CloseUnit(unit);
        ReportMessage("WE", CurrentRecord(), rc);
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }
    rc = ReadDefinitionLines(unit);
    CloseUnit(unit);
    return rc;
}

int ReadCircuitDefinitions()
{
    WindowRecord* record = CurrentRecord();
    if (record && record->kind == kWindowSchematic && !record->textArea.empty()) {
        const int unit = OpenTextAreaUnit(record);
        if (unit < 0) return FlagCircuitBuildOutOfMemory();
        const int rc = ReadDefinitionLines(unit);
        CloseUnit(unit);
        if (rc) return rc;
    }
    if (CollectTextDefinitions() != 0) {
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }
    if (!CircuitBuildFailed() && ExpandDefineBodies(0) != 0) FlagCircuitBuildError();
    if (!CircuitBuildFailed()) RegisterTextModels(record);
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

}  // namespace kq5
