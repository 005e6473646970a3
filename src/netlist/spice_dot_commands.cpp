#include "netlist/spice_dot_commands.h"

#include <new>

#include "document/text_editor.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "document/scope_table.h"
#include "netlist/spice_analysis_commands.h"
#include "netlist/spice_elements.h"
#include "netlist/spice_initial_conditions.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "netlist/token_patterns.h"
#include "platform/message.h"
#include "platform/winhelp.h"
#include "ui/help_topics.h"

namespace kq5 {

namespace {

constexpr int kMsgUnknownCommand = 10905;
constexpr int kMsgExpecting = 11900;
constexpr int kMsgMissingQuotes = 15047;
constexpr int kMsgLibrarySection = 10974;
constexpr int kMsgQuotedParam = 10975;

int HandleModel(std::string_view line);
int HandleOp(std::string_view line) { return ParseDotOP(line); }
int HandleLoadOp(std::string_view)
{
    NetlistReader().loadOperatingPoint = true;
    return 0;
}
int HandleSkipLoop(std::string_view)
{
    NetlistReader().skipInductorLoopCheck = true;
    return 0;
}
int HandleIgnored(std::string_view) { return 0; }
int HandleInclude(std::string_view line);
int HandleLibrary(std::string_view line);
int HandleInitialConditions(std::string_view line) { return ParseInitialConditions(line, kInitialStore, CurrentScope()); }
int HandleOptions(std::string_view line);
int HandleParam(std::string_view line);

const std::array<DotCommandRow, kDotCommandCount> kDotCommands = {{
    {"MODEL", 7000, 3, HandleModel},
    {"DC", 7001, 2, ParseDotDC},
    {"OP", 7002, 2, HandleOp},
    {"TF", 0, 2, HandleIgnored},
    {"NODESET", 7003, 3, HandleInitialConditions},
    {"SENS", 0, 2, HandleIgnored},
    {"PROBE", 0, 2, HandleIgnored},
    {"INC", 7016, 3, HandleInclude},
    {"INCLUDE", 7016, 3, HandleInclude},
    {"LIB", 7015, 3, HandleLibrary},
    {"LIBRARY", 7015, 3, HandleLibrary},
    {"AC", 7004, 2, ParseDotAC},
    {"NOISE", 7005, 2, ParseDotNoise},
    {"DISTO", 0, 2, HandleIgnored},
    {"TRAN", 7006, 2, ParseDotTran},
    {"IC", 7007, 3, HandleInitialConditions},
    {"FOUR", 0, 2, HandleIgnored},
    {"PRINT", 7008, 2, ParseDotPrintPlot},
    {"WIDTH", 0, 2, HandleIgnored},
    {"PLOT", 7014, 2, ParseDotPrintPlot},
    {"OPTIONS", 7009, 3, HandleOptions},
    {"SKIP_L_LOOP", 0, 1, HandleSkipLoop},
    {"TEMP", 7013, 2, ParseDotTemp},
    {"END", 7010, 2, HandleIgnored},
    {"SUBCKT", 7011, 3, nullptr},
    {"ENDS", 7012, 3, nullptr},
    {"MACRO", 7017, 1, nullptr},
    {"DEFINE", 7020, 1, nullptr},
    {"OPT", 7009, 3, HandleOptions},
    {"PARAMETERS", 7021, 1, nullptr},
    {"PARAM", 7018, 3, HandleParam},
    {"LOADOP", 7022, 3, HandleLoadOp},
}};

// Handlers that run inside a subcircuit body: the rest belong to the top level only.
bool RunsInSubcircuit(DotCommandHandler handler)
{
    return handler == HandleModel || handler == HandleInitialConditions || handler == HandleInclude ||
           handler == HandleParam;
}

int ReportUnknownCommand()
{
    ReportNetlistMessage("WLtE", CurrentRecord(), CurrentScope(), Token(0), kMsgUnknownCommand);
    return kMsgAlreadyReported;
}

// The file that holds the line being read: the scope's file at level 0, else the include file.
std::string CurrentSourceName()
{
    if (IncludeLevel() > 0) return TopSourceName();
    if (const SubcktScope* scope = FindScope(CurrentScope()); scope && !scope->fileName.empty())
        return scope->fileName;
    return TopSourceName();
}

int HandleModel(std::string_view line)
{
    const int sourceKind = IncludeLevel() > 0 ? kModelSourceTextFile : kModelSourceTextWindow;
    int status = ParseModelStatement(line, CurrentScope(), LogicalLineStart(), sourceKind, CurrentSourceName());
    return status == 0 ? 0 : kMsgAlreadyReported;
}

int HandleInclude(std::string_view line)
{
    std::string name;
    if (int status = ParseIncludeFileName(name, line)) return status;
    int status = PushIncludeSource(name);
    if (status != 0 && status != kMsgAlreadyReported) {
        ReportNetlistMessage("WLtE", CurrentRecord(), CurrentScope(), name, status, name);
        return kMsgAlreadyReported;
    }
    return status;
}

}  // namespace

// The section word of ".LIB file section" (a library of another simulator that holds one variant
// of its models per section); empty when the line names a file alone.
std::string LibrarySectionWord(std::string_view line)
{
    std::size_t at = 0;
    while (at < line.size() && !HasCharClass(line[at], kCharSpace)) ++at;
    std::string rest(line.substr(at));
    Trim(rest);
    if (rest.empty()) return {};
    std::string tail;
    if (rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        if (close == std::string::npos) return {};
        tail = rest.substr(close + 1);
    } else {
        const std::size_t blank = rest.find_first_of(" \t");
        if (blank == std::string::npos) return {};
        tail = rest.substr(blank + 1);
        // The rest of a path with blanks in it, not a section.
        if (tail.find_first_of("/\\.:") != std::string::npos) return {};
    }
    Trim(tail);
    return tail;
}

namespace {

int HandleLibrary(std::string_view line)
{
    std::string name;
    if (!Token(1).empty()) {
        // Searching all sections of such a library alike would take whichever variant of a
        // model comes first.
        if (const std::string section = LibrarySectionWord(line); !section.empty()) {
            ReportNetlistMessage("WLtE", CurrentRecord(), CurrentScope(), std::string(line), kMsgLibrarySection, section);
            return kMsgAlreadyReported;
        }
        if (int status = ParseIncludeFileName(name, line)) return status;
        const bool quoted = !line.empty() && line.find('"') != std::string_view::npos;
        if (!quoted) {
            std::size_t blank = name.find(' ');
            if (blank != std::string::npos) name.erase(blank);
        }
    }
    return RegisterCircuitLibrary(name);
}

int HandleOptions(std::string_view line)
{
    NetlistTextObject* record = AddCircuitTextObject(line, LogicalLineStart(), CurrentScope());
    return record ? 0 : kMsgInsufficientMemory;
}

int HandleParam(std::string_view line)
{
    NetlistTextObject* record = AddCircuitTextObject(line, LogicalLineStart(), CurrentScope(),
                                                     IncludeLevel() > 0 ? TopSourceName() : std::string());
    if (!record) return kMsgInsufficientMemory;
    return EvaluateParamAssignments(*record);
}

// Analysis lines take their values at fixed token places and keep them as texts that the run
// reads again without the circuit's parameters: an expression in braces becomes its value.
int EvaluateBracedValues()
{
    if (int status = JoinBraceGroupTokens()) return status;
    for (std::string& token : TokenArray()) {
        if (token.size() < 2 || token.front() != '{') continue;
        double value = 0.0;
        if (int status = EvaluateLineValue(token, CurrentScope(), value)) return status;
        token = StrPrintf("%.15g", value);
    }
    return 0;
}

bool IsQuoted(std::string_view name) { return !name.empty() && (name.front() == '"' || name.back() == '"'); }

}  // namespace

const std::array<DotCommandRow, kDotCommandCount>& DotCommandTable() { return kDotCommands; }

int DispatchNetlistLine(std::string_view line)
{
    NetlistReader().currentElement = nullptr;
    const std::string& first = Token(0);
    if (first.empty() || first.front() == '*') return 0;
    const char letter = first.front();
    if (letter == '.') return DispatchDotCommand(line);
    if (letter >= 'A' && letter <= 'Z') {
        if (ElementParser parser = FindElementParser(letter)) return parser();
    }
    return ReportUnknownCommand();
}

int DispatchDotCommand(std::string_view line)
{
    const std::string_view word = std::string_view(Token(0)).substr(1);
    const DotCommandRow* row = nullptr;
    for (const DotCommandRow& candidate : kDotCommands) {
        if ((candidate.kind & kDotInSpice) && word == candidate.name) {
            row = &candidate;
            break;
        }
    }
    if (row == nullptr) return ReportUnknownCommand();
    if (row->handler == nullptr) return 0;
    if (CurrentScope() != 0 && !RunsInSubcircuit(row->handler)) return 0;
    if (row->handler == ParseDotTran || row->handler == ParseDotAC || row->handler == ParseDotDC)
        if (int status = EvaluateBracedValues()) return status;
    return row->handler(line);
}

int ParseIncludeFileName(std::string& name, std::string_view line)
{
    std::size_t at = 0;
    while (at < line.size() && !HasCharClass(line[at], kCharSpace)) ++at;
    while (at < line.size() && HasCharClass(line[at], kCharSpace)) ++at;
    name.assign(line.substr(at));
    Trim(name);
    if (IsQuoted(name)) {
        if (name.size() < 2 || name.front() != '"' || name.back() != '"') {
            ReportNetlistMessage("WLtE", CurrentRecord(), CurrentScope(), std::string(line), kMsgMissingQuotes,
                                 std::string(line));
            return kMsgAlreadyReported;
        }
        name = name.substr(1, name.size() - 2);
        Trim(name);
    }
    return 0;
}

int EvaluateParamAssignments(const NetlistTextObject& record)
{
    DefineOrigin origin;
    origin.text = &record;
    origin.kind = record.scope == 0 ? kOriginSchematic : kOriginSubcktText;
    int i = 1;
    while (!Token(i).empty()) {
        const std::string name = Token(i++);
        if (Token(i) == "=") ++i;
        std::string value;
        if (Token(i) == "{") {
            ++i;
            while (!Token(i).empty() && Token(i) != "}") value += Token(i++);
            if (Token(i) != "}") {
                ReportNetlistMessage("WTE", CurrentRecord(), &record, kMsgExpecting, "}");
                return kMsgAlreadyReported;
            }
            ++i;
            // Kept in parentheses so that the expression keeps its meaning where it is used.
            value = "(" + value + ")";
        } else if (!Token(i).empty() && Token(i).front() == '\'') {
            // Quoted expressions are another simulator's spelling; read as a value they would
            // leave the quotes in every expression that uses the parameter.
            std::string quoted = Token(i++);
            while (!Token(i).empty() && (quoted.size() < 2 || quoted.back() != '\'')) quoted += Token(i++);
            // A library's parameters are read whether the circuit uses them or not: there the
            // parameter is left out, and a part that uses it meets an unknown name.
            if (!record.disabled) {
                ReportNetlistMessage("WTE", CurrentRecord(), &record, kMsgQuotedParam, quoted);
                return kMsgAlreadyReported;
            }
            if (Token(i) == ",") ++i;
            continue;
        } else {
            value = Token(i);
            if (value.empty() || value == "," || value == "=") {
                ReportNetlistMessage("WTE", CurrentRecord(), &record, kMsgExpecting, "<value>");
                return kMsgAlreadyReported;
            }
            ++i;
        }
        // A line of SPICE text raises to a power with '^'; a schematic's grid text keeps the
        // program's own meaning of it.
        if (record.origin == kTextOriginNone) CaretsToPowers(value);
        if (AddDefine(name, {}, value, record.scope, origin, kDefineClassParam) != 0) return kMsgAlreadyReported;
        if (Token(i) == ",") ++i;
    }
    return 0;
}

int EvaluateParamText(const NetlistTextObject& record)
{
    std::string text;
    text.reserve(record.text.size());
    for (std::size_t i = 0; i < record.text.size(); ++i) {
        if (record.text[i] == '\n') {
            if (i + 1 < record.text.size() && record.text[i + 1] == '+') ++i;
            text += ' ';
            continue;
        }
        text += record.text[i];
    }
    text = CopyUpperCase(text);
    if (int status = TokenizeNetlistLine(text)) return status;
    return EvaluateParamAssignments(record);
}

NetlistTextObject* AddCircuitTextObject(std::string_view text, int lineNumber, int scope, std::string_view sourceFile)
{
    try {
        auto* record = ListAppendAs<NetlistTextObject>(CircuitTextObjects(), kKindPlotObject);
        if (!record) return nullptr;
        record->text.assign(text);
        record->lineNumber = lineNumber;
        record->filePosition = -1;
        record->scope = scope;
        record->sourceFile.assign(sourceFile);
        return record;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int RegisterCircuitLibrary(std::string_view name)
{
    try {
        // Beside the file that names it first, then where data files are looked for; the name
        // folded to upper case by the reader still finds the file as it is spelled on disk.
        // Between readings the circuit's own file stands for the source.
        std::string source = TopSourceName();
        if (source.empty())
            if (const SubcktScope* top = FindScope(0)) source = top->fileName;
        const std::string path = ResolveLibraryPath(name, source);
        std::vector<std::string>& libraries = NetlistReader().libraries;
        for (const std::string& known : libraries)
            if (EqualsNoCase(known, path)) return 0;
        libraries.push_back(path);
    } catch (const std::bad_alloc&) {
        return ReportReaderOutOfMemory();
    }
    return 0;
}

const std::vector<std::string>& CircuitLibraries() { return NetlistReader().libraries; }

int DotCommandHelpContext(std::string_view text, bool schematic)
{
    if (text.empty() || text.front() != '.') return 0;
    const std::string_view word = text.substr(1);
    const unsigned allowed = schematic ? kDotInSchematic : kDotInSpice;
    for (const DotCommandRow& row : kDotCommands) {
        const std::string_view name = row.name;
        if (!(row.kind & allowed) || word.size() < name.size() || !EqualsNoCase(word.substr(0, name.size()), name))
            continue;
        if (word.size() > name.size() && !HasCharClass(word[name.size()], kCharSpace)) continue;
        return row.id;
    }
    return 0;
}

void ShowDotCommandHelp(WindowRecord* record, std::string_view text)
{
    if (record == nullptr) return;
    std::string_view line = text;
    while (!line.empty() && HasCharClass(line.front(), kCharSpace)) line.remove_prefix(1);
    const bool schematic = record->kind == kWindowSchematic;
    if (!line.empty() && line.front() == '.') {
        if (record->kind != kWindowSchematic && record->kind != kWindowTextCircuit) return;
        if (int id = DotCommandHelpContext(line, schematic))
            ShowHelpTopic(kHelpContextCommand, id);
        return;
    }
    if (!line.empty() && HasCharClass(line.front(), kCharLetter)) {
        // A text circuit answers for its element letters only while its text has the focus.
        if (record->kind == kWindowTextCircuit && record->document && record->document->textAreaWindow &&
            win::GetFocus() != record->document->textAreaWindow)
            return;
        const char letter = ToUpperChar(line.front());
        for (int type = 0; type < kComponentTypeCount; ++type) {
            if (kComponentTypeTable[type].letter == letter) {
                ShowHelpTopic(kHelpContextCommand, 6000 + type);
                return;
            }
        }
    }
}

void ShowTextWindowContextHelp(WindowRecord* record)
{
    const std::string* text = GetTextAreaBuffer(record);
    if (text == nullptr) return;
    // A selected name is asked of the help file's keyword index; the help shown is that of the
    // statement the name stands in.
    const std::string selected = CopyEditorSelectionText(record);
    if (!selected.empty() && IsIllegalIdentifier(selected) == 0) ShowHelpKeyword(record, selected);
    std::size_t caret = std::min(record->textAreaCaret, text->size());
    std::size_t start = text->rfind('\n', caret == 0 ? 0 : caret - 1);
    start = (start == std::string::npos || caret == 0) ? 0 : start + 1;
    std::size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    std::string_view line(text->data() + start, end - start);
    ShowDotCommandHelp(record, line);
}

}  // namespace kq5
