#include "netlist/defines.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "document/stepping_rows.h"
#include "ui/program_settings.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/expr_symbols.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "netlist/build_errors.h"
#include "netlist/model_library_lookup.h"
#include "document/scope_names.h"
#include "document/scope_table.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_sources.h"
#include "netlist/subcircuit_scopes.h"
#include "netlist/token_patterns.h"
#include "platform/message_box.h"

namespace kq5 {

namespace {

constexpr int kMsgReservedName = 10880;
constexpr int kMsgExpectingParenFollow = 10881;
constexpr int kMsgDefineTooComplex = 10882;
constexpr int kMsgMissingIdentifier = 10883;
constexpr int kMsgDefineRecursive = 10884;
constexpr int kMsgParameterCountMismatch = 10885;
constexpr int kMsgDuplicateDefine = 10886;
constexpr int kMsgIllegalDefineChar = 10887;
constexpr int kMsgDefineIsNodeRename = 10888;
constexpr int kMsgDefineIsNode = 10889;
constexpr int kMsgExpecting = 11900;
constexpr int kMsgIllegalIdentifier = 19893;

// Characters that separate the tokens of a define scan.
constexpr std::string_view kDefineSeparators = " ,=()[]<>^~*/+-='!|&";

bool IsDefineSeparator(char c) { return kDefineSeparators.find(c) != std::string_view::npos; }
bool IsIdentStart(char c) { return HasCharClass(c, kCharIdentStart); }
bool IsIdentChar(char c) { return HasCharClass(c, kCharIdent); }

// Reports a message at the symbol's origin (its component or text line).
template <class... Args>
int ReportAtOrigin(const DefineOrigin& origin, int id, Args&&... args)
{
    WindowRecord* record = CurrentRecord();
    if (origin.item) return ReportPartMessage(origin.item, id, std::forward<Args>(args)...);
    if (origin.text) return ReportMessage("WTE", record, origin.text, id, std::forward<Args>(args)...);
    return ReportMessage("WLE", record, CurrentScope(), id, std::forward<Args>(args)...);
}

// The length of a leading ".DEFINE" followed by a separator, else 0.
std::size_t MatchDefineKeyword(std::string_view text)
{
    constexpr std::string_view keyword = ".DEFINE";
    if (text.size() < keyword.size() || !EqualsNoCase(text.substr(0, keyword.size()), keyword)) return 0;
    if (text.size() > keyword.size() && !HasCharClass(text[keyword.size()], kCharSeparator | kCharSpace)) return 0;
    return keyword.size();
}

// Skips blanks; a line break followed by '+' counts as blank in kept text of subcircuits.
std::size_t SkipDefineBlanks(std::string_view text, std::size_t at, int originKind)
{
    const bool joinBreaks = NetlistReader().keepTextMode && (originKind == 1 || originKind == 3);
    while (at < text.size()) {
        if (joinBreaks && text[at] == '\n' && at + 1 < text.size() && text[at + 1] == '+') {
            at += 2;
            continue;
        }
        if (!HasCharClass(text[at], kCharSpace)) break;
        ++at;
    }
    return at;
}

// Position of the ')' that closes the '(' at open; npos when none.
std::size_t MatchingParen(std::string_view text, std::size_t open)
{
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0) return i;
    }
    return std::string_view::npos;
}

bool IsIdentifier(std::string_view name)
{
    if (name.empty() || !IsIdentStart(name.front())) return false;
    for (char c : name)
        if (!IsIdentChar(c)) return false;
    return true;
}

// A define of a symbol with arguments used at nameStart..nameEnd: the name through its ')'
// becomes the body with the formal arguments replaced. The replaced span's end, or npos after a
// reported error.
std::size_t ExpandFunctionDefine(std::string& text, std::size_t nameStart, std::size_t nameEnd, const DefineRow& row,
                                 std::string_view statement, std::string& expansion)
{
    std::size_t open = nameEnd;
    while (open < text.size() && text[open] == ' ') ++open;
    if (open >= text.size() || text[open] != '(') {
        ReportMessage("WLE", CurrentRecord(), CurrentScope(), kMsgExpectingParenFollow, row.name, std::string(statement),
                      row.display);
        return std::string::npos;
    }
    const std::size_t close = MatchingParen(text, open);
    if (close == std::string::npos) {
        ReportMessage("WLE", CurrentRecord(), CurrentScope(), kMsgExpecting, ")");
        return std::string::npos;
    }
    std::vector<std::string> actuals;
    SplitCallArguments(actuals, std::string_view(text).substr(open + 1));
    if (actuals.size() != row.arguments.size()) {
        ReportMessage("WLE", CurrentRecord(), CurrentScope(), kMsgParameterCountMismatch);
        return std::string::npos;
    }
    expansion.clear();
    const std::string& body = row.body;
    for (std::size_t i = 0; i < body.size();) {
        if (!IsIdentChar(body[i])) {
            expansion += body[i++];
            continue;
        }
        std::size_t end = i;
        while (end < body.size() && IsIdentChar(body[end])) ++end;
        const std::string_view word(body.data() + i, end - i);
        bool replaced = false;
        for (std::size_t a = 0; a < row.arguments.size(); ++a) {
            if (word == row.arguments[a]) {
                expansion += actuals[a];
                replaced = true;
                break;
            }
        }
        if (!replaced) expansion.append(word);
        i = end;
    }
    return close + 1;
}

// The index entry of the rows named name (null when none), after indexing new rows.
const NetlistReaderState::DefineNameRows* RowsNamed(std::string_view name)
{
    NetlistReaderState& state = NetlistReader();
    if (state.definesIndexed > state.defines.size()) {
        state.defineIndex.clear();
        state.definesIndexed = 0;
    }
    for (; state.definesIndexed < state.defines.size(); ++state.definesIndexed) {
        const DefineRow& row = state.defines[state.definesIndexed];
        NetlistReaderState::DefineNameRows& rows = state.defineIndex[row.name];
        const auto index = static_cast<std::uint32_t>(state.definesIndexed);
        if (row.defineClass == kDefineClassDefine)
            rows.byScope[row.scope].push_back(index);
        else {
            rows.anyScope.push_back(index);
            rows.anyScopeByScope[row.scope].push_back(index);
        }
    }
    const auto found = state.defineIndex.find(std::string(name));
    return found == state.defineIndex.end() ? nullptr : &found->second;
}

// True when a row of that name belongs to the scope, whatever its class.
bool DefinedInScope(std::string_view name, int scope)
{
    const NetlistReaderState::DefineNameRows* rows = RowsNamed(name);
    if (!rows) return false;
    if (rows->byScope.contains(scope)) return true;
    const std::vector<DefineRow>& defines = NetlistReader().defines;
    for (const std::uint32_t i : rows->anyScope)
        if (defines[i].scope == scope) return true;
    return false;
}

// True when a row may replace a token found at that brace depth in that scope.
bool RowApplies(const DefineRow& row, int scope, int braceDepth)
{
    if (row.body.empty()) return false;
    if (row.defineClass == kDefineClassDefine) return row.scope == scope;
    return braceDepth > 0 && !NetlistReader().exportInProgress;
}

// The row of that name that applies to the token; null when none. The scope's own symbols come
// first (in table order), then the parameters of the scopes that enclose it, nearest first, and
// last a parameter of any scope: a subcircuit's own .PARAM hides a top-level one of the same
// name, and two subcircuits may each have their own.
const DefineRow* ApplyingRow(std::string_view name, int scope, int braceDepth)
{
    const NetlistReaderState::DefineNameRows* rows = RowsNamed(name);
    if (!rows) return nullptr;
    const std::vector<DefineRow>& defines = NetlistReader().defines;
    const std::size_t none = defines.size();
    auto firstApplying = [&](const std::vector<std::uint32_t>& candidates) {
        for (const std::uint32_t i : candidates)
            if (RowApplies(defines[i], scope, braceDepth)) return static_cast<std::size_t>(i);
        return none;
    };
    auto firstOfScope = [&](const std::unordered_map<std::int32_t, std::vector<std::uint32_t>>& byScope, int s) {
        const auto found = byScope.find(s);
        return found == byScope.end() ? none : firstApplying(found->second);
    };
    std::size_t first = std::min(firstOfScope(rows->byScope, scope), firstOfScope(rows->anyScopeByScope, scope));
    if (first == none && !rows->anyScope.empty() && braceDepth > 0) {
        for (int s = scope; s > 0 && first == none;) {
            const SubcktScope* entry = FindScope(s);
            if (!entry || entry->parent >= s || entry->parent < 0) break;
            s = entry->parent;
            first = firstOfScope(rows->anyScopeByScope, s);
        }
        if (first == none) first = firstApplying(rows->anyScope);
    }
    return first < none ? &defines[first] : nullptr;
}

}  // namespace

std::vector<DefineRow>& DefineTable() { return NetlistReader().defines; }

void ClearDefineTable()
{
    NetlistReaderState& state = NetlistReader();
    std::vector<DefineRow>().swap(state.defines);
    state.defineIndex.clear();
    state.definesIndexed = 0;
}

bool DefineExistsInScope(std::string_view name, int scope) { return DefinedInScope(name, scope); }

bool NextDefineToken(std::string_view text, std::size_t& from, std::size_t& start, std::size_t& length)
{
    std::size_t i = from;
    while (i < text.size() && IsDefineSeparator(text[i])) ++i;
    if (i >= text.size()) {
        from = i;
        return false;
    }
    start = i;
    if (text[i] == '{' || text[i] == '}') {
        length = 1;
        from = i + 1;
        return true;
    }
    while (i < text.size() && !IsDefineSeparator(text[i]) && text[i] != '{' && text[i] != '}') ++i;
    length = i - start;
    from = i;
    return true;
}

int CheckDefineName(std::string_view name, int scope, const DefineOrigin& origin, bool hasArguments)
{
    if (IsReservedExpressionName(name, hasArguments)) {
        ReportAtOrigin(origin, kMsgReservedName, std::string(name));
        return 1;
    }
    if (!IsIdentifier(name)) {
        ReportAtOrigin(origin, kMsgIllegalDefineChar, std::string(name));
        return 1;
    }
    return 0;
}

int AddDefine(std::string_view name, std::string_view argumentList, std::string_view body, int scope,
              const DefineOrigin& origin, int defineClass)
{
    NetlistReaderState& state = NetlistReader();
    const bool passedParams = origin.kind == kOriginSubcktParams;
    const bool checkName = !(passedParams && defineClass == kDefineClassDefine);
    const bool checkNodeAndDuplicate = !(passedParams && defineClass != kDefineClassDefine);
    try {
        if (checkName && CheckDefineName(name, scope, origin, !argumentList.empty())) return 1;
        if (checkNodeAndDuplicate && CurrentDocument() != nullptr &&
            CheckLabelName(name, scope, kLabelCheckNode, nullptr, -1)) {
            const std::string shown(name);
            if (scope == 0 && !Settings().batchRun && !state.renameUnderWay) {
                // The user sees the define while answering.
                ShowPartErrorLocation(scope, origin.item, origin.text, origin.kind);
                int answer = ReportMessage("WSE", CurrentRecord(), win::MB_YESNO | win::MB_ICONQUESTION,
                                           kMsgDefineIsNodeRename, shown);
                if (answer == win::IDYES) state.renameDefinesRequested = true;
                FlagCircuitBuildError();
            } else {
                ReportAtOrigin(origin, kMsgDefineIsNode, shown);
            }
            return 1;
        }
        if (checkNodeAndDuplicate && DefinedInScope(name, scope)) {
            // A library's parameter does not replace one the circuit gives (the circuit's
            // own file is among its libraries too).
            if (state.loadingLibraryParams) return 0;
            ReportAtOrigin(origin, kMsgDuplicateDefine, std::string(name));
            return 1;
        }
        DefineRow row;
        row.name.assign(name);
        row.scope = scope;
        row.body.assign(body);
        // A stepped symbolic parameter takes the value of the run being made.
        if (double stepped = 0.0; Analysis().analysisKind != kAnalysisNone && SteppedSymbolValue(name, stepped))
            row.body = StrPrintf("%.17g", stepped);
        row.originItem = origin.item;
        row.originText = origin.text;
        row.originKind = static_cast<std::int16_t>(origin.kind);
        row.defineClass = static_cast<std::int16_t>(defineClass);
        row.display = row.name;
        if (!argumentList.empty()) {
            std::string_view inside = argumentList;
            if (!inside.empty() && inside.front() == '(') inside.remove_prefix(1);
            SplitCallArguments(row.arguments, inside);
            row.emptyParentheses = row.arguments.empty();
            for (const std::string& argument : row.arguments)
                if (CheckDefineName(argument, scope, origin, false)) return 1;
            row.argumentCount = static_cast<std::int16_t>(row.arguments.size());
            row.display += argumentList;
        }
        if (state.keepTextMode) BlankTextComments(row.body);
        CollapseLineBreaks(row.body);
        // The next look-up indexes the new row.
        state.defines.push_back(std::move(row));
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildError();
        return 1;
    }
    return 0;
}

int ParseDefineStatement(std::string_view text, int scope, const DefineOrigin& origin)
{
    if (text.data() == nullptr) {
        FlagCircuitBuildError();
        return 1;
    }
    const std::size_t keyword = MatchDefineKeyword(text);
    if (keyword == 0) return 0;
    std::size_t at = SkipDefineBlanks(text, keyword, origin.kind);
    if (at >= text.size()) {
        ReportAtOrigin(origin, kMsgMissingIdentifier);
        return 1;
    }
    if (!IsIdentStart(text[at])) {
        ReportAtOrigin(origin, kMsgIllegalIdentifier);
        return 1;
    }
    std::size_t nameEnd = at;
    while (nameEnd < text.size() && IsIdentChar(text[nameEnd])) ++nameEnd;
    const std::string name = CopyUpperCase(text.substr(at, nameEnd - at));
    std::string argumentList;
    at = nameEnd;
    if (at < text.size() && text[at] == '(') {
        const std::size_t close = MatchingParen(text, at);
        if (close == std::string_view::npos) {
            ReportAtOrigin(origin, kMsgExpecting, ")");
            return 1;
        }
        argumentList = CopyUpperCase(text.substr(at, close + 1 - at));
        at = close + 1;
    }
    at = SkipDefineBlanks(text, at, origin.kind);
    std::string body = CopyUpperCase(text.substr(std::min(at, text.size())));
    if (NetlistReader().keepTextMode && !body.empty() && body.back() == '\n') body.pop_back();
    return AddDefine(name, argumentList, body, scope, origin, kDefineClassDefine);
}

int SubstituteDefines(std::string& out, int scope, std::string_view text)
{
    NetlistReaderState& state = NetlistReader();
    try {
        // Asked only once a symbol matched: most lines name none.
        auto rewritingRowBody = [&] {
            for (const DefineRow& row : state.defines)
                if (row.body.data() == text.data() && !row.body.empty()) return true;
            return false;
        };
        const std::string statement(text);
        std::string result = CopyUpperCase(statement);
        if (!state.keepTextMode) CollapseLineBreaks(result);
        out.swap(result);
        if (state.defines.empty() && out.find('{') == std::string::npos) return 0;
        if (out.empty()) return 0;
        if (!IsIdentStart(out.front()) && out.find_first_of(" ,=()[]<>{}^~*/+-='!|&") == std::string::npos) return 0;

        int depth = 0;
        int substitutions = 0;
        std::size_t from = 0, start = 0, length = 0;
        std::string expansion;
        while (NextDefineToken(out, from, start, length)) {
            if (out[start] == '{') {
                ++depth;
                continue;
            }
            if (out[start] == '}') {
                --depth;
                continue;
            }
            if (!IsIdentStart(out[start])) continue;
            if (depth > 0) LoadLibraryParamsOnce();
            const std::string_view token(out.data() + start, length);
            const DefineRow* match = ApplyingRow(token, scope, depth);
            if (match == nullptr) continue;
            if (rewritingRowBody()) {
                ReportNetlistMessage("WLtE", CurrentRecord(), scope, statement, kMsgDefineRecursive);
                return kMsgAlreadyReported;
            }
            if (++substitutions > kMaxSubstitutions) {
                ReportNetlistMessage("WLtE", CurrentRecord(), scope, statement, kMsgDefineTooComplex);
                return kMsgAlreadyReported;
            }
            if (match->argumentCount > 0 || match->emptyParentheses) {
                const std::size_t end = ExpandFunctionDefine(out, start, start + length, *match, statement, expansion);
                if (end == std::string::npos) return kMsgAlreadyReported;
                out.replace(start, end - start, expansion);
            } else if (depth > 0 && match->body.size() >= 2 && match->body.front() == '{' && match->body.back() == '}') {
                // A braced value inside braces reads as a parenthesised expression.
                out.replace(start, length, "(" + match->body.substr(1, match->body.size() - 2) + ")");
            } else {
                out.replace(start, length, match->body);
            }
            from = start;
        }
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }
    return 0;
}

int SubstituteMappingValues(std::string& out, int scope, std::string_view text)
{
    std::string result, part;
    std::size_t copied = 0;  // the text before it is in the result
    auto substituteUpTo = [&](std::size_t end) {
        const int status = SubstituteDefines(part, scope, text.substr(copied, end - copied));
        result += part;
        return status;
    };
    int depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '{' || c == '}') depth += c == '{' ? 1 : -1;
        if (depth != 0 || !IsIdentStart(c) || (i > 0 && IsIdentChar(text[i - 1]))) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && IsIdentChar(text[end])) ++end;
        std::size_t after = end;
        while (after < text.size() && (text[after] == ' ' || text[after] == '\t')) ++after;
        if (after < text.size() && text[after] == '=' && (after + 1 == text.size() || text[after + 1] != '=')) {
            // A name: the value before it is substituted, the name itself is copied.
            if (int status = substituteUpTo(i)) return status;
            result += CopyUpperCase(text.substr(i, after + 1 - i));
            copied = after + 1;
        }
        i = end;
    }
    if (int status = substituteUpTo(text.size())) return status;
    out.swap(result);
    return 0;
}

int ExpandDefineBodies(int scope)
{
    std::vector<DefineRow>& defines = NetlistReader().defines;
    for (std::size_t i = 0; i < defines.size(); ++i) {
        if (defines[i].scope != scope || defines[i].argumentCount > 0 || defines[i].emptyParentheses) continue;
        std::string body;
        body.swap(defines[i].body);
        std::string expanded;
        int status = SubstituteDefines(expanded, scope, body);
        defines[i].body.swap(status == 0 ? expanded : body);
        if (status != 0) return status;
    }
    return 0;
}

int FindDefine(int scope, std::string_view name)
{
    const std::vector<DefineRow>& defines = NetlistReader().defines;
    for (std::size_t i = 0; i < defines.size(); ++i)
        if (defines[i].scope == scope && EqualsNoCase(defines[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::string ExpandAttributeDefines(const SchematicItem* component, int attributeId)
{
    const std::string& text = GetAttributeText(component, attributeId);
    if (text.empty()) return {};
    std::string out;
    if (SubstituteDefines(out, component->scope, text) != 0) return {};
    return out;
}

std::string ExpandFormulaDefines(const SchematicItem* component, int attributeId)
{
    const std::string& text = GetAttributeText(component, attributeId);
    if (text.empty()) return {};
    std::string out;
    if (SubstituteDefines(out, component->scope, "{" + text + "}") != 0) return {};
    if (out.size() >= 2 && out.front() == '{' && out.back() == '}') out = out.substr(1, out.size() - 2);
    return out;
}

std::string GetPartNameText(const SchematicItem* component, bool qualify)
{
    const std::string& part = GetAttributeText(component, kAttrPart);
    if (part.empty()) return {};
    if (qualify && component->scope > 0) return CopyUpperCase(QualifyNameWithScope(part, component->scope));
    return CopyUpperCase(part);
}

void LoadLibraryParamsOnce()
{
    NetlistReaderState& state = NetlistReader();
    if (state.libraryParamsLoaded) return;
    state.libraryParamsLoaded = true;
    // The lookup reads and tokenises library lines in the middle of the statement being read:
    // its tokens and location are kept for it.
    std::vector<std::string> tokens;
    tokens.swap(state.tokens);
    const SourceLocation location = state.errorLocation;
    const int lineStart = state.logicalLineStart;
    state.loadingLibraryParams = true;
    int error = 0;
    FindInLibraries({}, -1, kLookupParamLines, error);
    state.loadingLibraryParams = false;
    state.tokens.swap(tokens);
    state.errorLocation = location;
    state.logicalLineStart = lineStart;
}

}  // namespace kq5
