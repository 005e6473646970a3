#include "netlist/model_statements.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/expr_symbols.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/build_errors.h"
#include "netlist/defines.h"
#include "netlist/model_library_window.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_tokens.h"
#include "netlist/token_patterns.h"

namespace kq5 {

namespace {

// The substrate switch of other simulators' bipolar cards: SUBS=-1 makes a PNP lateral, which is
// this program's LPNP, SUBS=1 the vertical device that every other PNP is. The assignment is
// taken out of the text; the type the card stands for is returned.
int BipolarSubstrateType(int type, std::string& paramText)
{
    if (type != kModelPnp) return type;
    for (std::size_t at = 0; at + 4 <= paramText.size(); ++at) {
        if ((at > 0 && paramText[at - 1] != ' ') || !EqualsNoCase(std::string_view(paramText).substr(at, 4), "SUBS"))
            continue;
        std::size_t p = at + 4;
        while (p < paramText.size() && paramText[p] == ' ') ++p;
        if (p >= paramText.size() || paramText[p] != '=') continue;
        ++p;
        while (p < paramText.size() && paramText[p] == ' ') ++p;
        const std::size_t valueEnd = std::min(paramText.find(' ', p), paramText.size());
        const std::string value = paramText.substr(p, valueEnd - p);
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || (number != 1.0 && number != -1.0)) return type;
        std::size_t stop = valueEnd;
        while (stop < paramText.size() && paramText[stop] == ' ') ++stop;
        paramText.erase(at, stop - at);
        return number < 0 ? kModelLpnp : type;
    }
    return type;
}

constexpr std::string_view kModelKeyword = ".MODEL";
constexpr int kMsgBinnedModelName = 10973;

bool StartsWithModelKeyword(std::string_view text)
{
    if (text.size() < kModelKeyword.size()) return false;
    for (std::size_t i = 0; i < kModelKeyword.size(); ++i)
        if (ToUpperChar(text[i]) != kModelKeyword[i]) return false;
    if (text.size() == kModelKeyword.size()) return true;
    const char next = text[kModelKeyword.size()];
    return HasCharClass(next, kCharSpace | kCharSeparator | kCharBreak);
}

// Line breaks become blanks and runs of blanks one blank.
std::string CollapseBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out += c;
    }
    return out;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && HasCharClass(text[pos], kCharSpace)) ++pos;
    return pos;
}

std::size_t CopyNameRun(std::string_view text, std::size_t pos, std::string& out)
{
    const std::size_t start = pos;
    while (pos < text.size() && HasCharClass(text[pos], kCharName)) ++pos;
    out.assign(text.substr(start, pos - start));
    return pos;
}

// Commas outside nested parentheses separate parameters like blanks.
void BlankTopLevelCommas(std::string& text)
{
    int depth = 0;
    for (char& c : text) {
        if (c == '(') ++depth;
        else if (c == ')' && depth > 0) --depth;
        else if (c == ',' && depth == 0) c = ' ';
    }
}

// The parameter text of a statement from the position after its type word; 0 or the message
// id of a missing ')'.
int ExtractParamText(std::string_view text, std::size_t pos, std::string& paramText)
{
    pos = SkipBlanks(text, pos);
    if (pos >= text.size() || text[pos] != '(') {
        paramText.assign(text.substr(pos));
        return 0;
    }
    ++pos;
    std::size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    while (end > pos && HasCharClass(text[end - 1], kCharSpace)) --end;
    if (end <= pos || text[end - 1] != ')') return 11900;
    paramText.assign(text.substr(pos, end - 1 - pos));
    return 0;
}

void DropStatementsFrom(std::size_t index)
{
    std::vector<ModelStatement>& statements = Models().statements;
    if (index < statements.size()) statements.erase(statements.begin() + static_cast<std::ptrdiff_t>(index),
                                                    statements.end());
}

int ReportStatementError(std::size_t index, std::string_view text, int id, const MessageArgs& placeholders)
{
    if (const ModelStatement* statement = FindModelStatement(static_cast<int>(index)))
        ShowOwnerErrorLocation(*statement);
    MessageArgs args = MakeMessageArgs(CurrentRecord(), text, id);
    for (const MessageArg& placeholder : placeholders) args.push_back(placeholder);
    ReportNetlistMessageArgs("WtE", std::move(args));
    FlagCircuitBuildError();
    DropStatementsFrom(index);
    return kMsgAlreadyReported;
}

}  // namespace

bool ModelTolerances::HasDev() const
{
    for (float tolerance : dev)
        if (tolerance != kNoTolerance) return true;
    return false;
}

void ModelLayer::AssignSharing(const std::vector<float>& values, const ModelLayer* other)
{
    // Bitwise: a layer of NaN marks or signed zeros is shared only with the same marks.
    if (other && other->size() == values.size() && !values.empty() &&
        std::memcmp(other->begin(), values.data(), values.size() * sizeof(float)) == 0)
        values_ = other->values_;
    else
        Assign(values);
}

void ModelLayer::Set(std::size_t i, float value)
{
    if (!values_ || i >= values_->size()) return;
    if (values_.use_count() > 1) values_ = std::make_shared<std::vector<float>>(*values_);
    (*values_)[i] = value;
}

void EvaluatedModel::EnsureRunLayer()
{
    if (pristine.size() == params.size()) return;
    const EvaluatedModel* from = CopiedFrom();
    pristine.AssignSharing(params, from ? &from->pristine : nullptr);
}

void EvaluatedModel::FreeOwnedData()
{
    name.clear();
    givenValues.reset();
    params.clear();
    textParams.reset();
    tolerances.reset();
    paramTexts.clear();
    firstModel = nullptr;
}

ModelTableState::ModelTableState()
{
    for (LinkedList& list : evaluated) list.factory = &NewListRecord<EvaluatedModel>;
}

ModelTableState& Models()
{
    static ModelTableState state;
    return state;
}

void ResetModelStateForTests()
{
    ClearModelTable();
    Models().writeBackMode = false;
    Models().libraryIndexerMode = false;
}

ModelStatement* FindModelStatement(int index)
{
    std::vector<ModelStatement>& statements = Models().statements;
    if (index < 0 || static_cast<std::size_t>(index) >= statements.size()) return nullptr;
    return &statements[static_cast<std::size_t>(index)];
}

int ModelStatementCount() { return static_cast<int>(Models().statements.size()); }

std::size_t ParseModelNameAko(std::string_view text, std::string& name, std::string& akoName, std::string& typeName)
{
    akoName.clear();
    std::size_t pos = CopyNameRun(text, SkipBlanks(text, 0), name);
    pos = SkipBlanks(text, pos);
    std::string word;
    std::size_t afterWord = CopyNameRun(text, pos, word);
    if (word == "AKO") {
        const std::size_t colon = SkipBlanks(text, afterWord);
        if (colon < text.size() && text[colon] == ':') {
            pos = CopyNameRun(text, SkipBlanks(text, colon + 1), akoName);
            pos = SkipBlanks(text, pos);
        }
    }
    return CopyNameRun(text, pos, typeName);
}

void ShowOwnerErrorLocation(const ModelStatement& statement)
{
    if (statement.sourceKind == kModelSourceSchematic) {
        ShowErrorLocation(statement.textObject);
        return;
    }
    if (statement.sourceKind == kModelSourceBinaryLibrary) {
        ShowLibraryModel(statement.sourceName, statement.row, statement.name);
        return;
    }
    if (!NetlistReader().errorLocation.source.empty()) return;
    SetErrorSourceLine(statement.sourceName, statement.line);
}

int ParseModelStatement(std::string_view text, int scope, int line, int sourceKind, std::string_view sourceName,
                        const CircuitTextObject* textObject)
{
    if (!StartsWithModelKeyword(text)) return 0;
    ModelTableState& models = Models();

    std::string statementText;
    if (models.libraryIndexerMode) {
        statementText = CopyUpperCase(text);
    } else if (int status = SubstituteDefines(statementText, scope, text); status != 0) {
        return kMsgAlreadyReported;
    }
    if (!models.writeBackMode) statementText = CollapseBlanks(statementText);

    const std::size_t index = models.statements.size();
    try {
        ModelStatement& statement = models.statements.emplace_back();
        statement.scope = scope;
        statement.line = line;
        statement.sourceKind = static_cast<std::int16_t>(sourceKind);
        statement.sourceName.assign(sourceName);
        statement.textObject = textObject;
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }

    const std::string_view body = std::string_view(statementText).substr(kModelKeyword.size());
    std::string name, akoName, typeName;
    const std::size_t afterType = ParseModelNameAko(body, name, akoName, typeName);
    if (const std::size_t nameEnd = SkipBlanks(body, 0) + name.size();
        !name.empty() && nameEnd < body.size() && body[nameEnd] == '.') {
        // NAME.1, NAME.2, ...: the binned model sets of other simulators.
        const std::string dotted(body.substr(nameEnd - name.size(), body.find(' ', nameEnd) - (nameEnd - name.size())));
        return ReportStatementError(index, statementText, kMsgBinnedModelName, MakeMessageArgs(dotted));
    }
    if (name.empty() || typeName.empty()) return ReportStatementError(index, statementText, 11859, {});
    if (IsReservedExpressionName(name, false))
        return ReportStatementError(index, statementText, 10880, MakeMessageArgs(name));
    const int type = FindModelType(typeName);
    if (type < 0) return ReportStatementError(index, statementText, 11855, MakeMessageArgs(typeName));
    constexpr unsigned kModelNameChecks = kLabelCheckModel | kLabelCheckChars;
    if (CheckLabelName(name, scope, kModelNameChecks, nullptr, type) != 0) {
        ShowOwnerErrorLocation(models.statements[index]);
        CheckLabelName(name, scope, kModelNameChecks | kLabelCheckReport, nullptr, type);
        DropStatementsFrom(index);
        return kMsgAlreadyReported;
    }

    std::string paramText;
    if (int id = ExtractParamText(body, afterType, paramText); id != 0)
        return ReportStatementError(index, statementText, id, MakeMessageArgs(")"));
    BlankTopLevelCommas(paramText);

    const int cardType = BipolarSubstrateType(type, paramText);
    ModelStatement& statement = models.statements[index];
    statement.name = std::move(name);
    statement.type = static_cast<std::int16_t>(cardType);
    statement.row = static_cast<std::int16_t>(MosRowForLevel(cardType, paramText));
    statement.akoName = std::move(akoName);
    statement.akoIndex = -1;
    statement.paramText = std::move(paramText);
    return 0;
}

void FreeModelStatement(int index)
{
    if (ModelStatement* statement = FindModelStatement(index)) *statement = ModelStatement{};
}

void ClearModelTable()
{
    ModelTableState& models = Models();
    for (LinkedList& list : models.evaluated) ListClear(list);
    models.statements.clear();
    models.statements.shrink_to_fit();
    ClearDeferredWarnings();
}

int AddDeferredWarningSlot(std::string_view text, int subject, int kind)
{
    try {
        DeferredWarning& warning = Models().deferredWarnings.emplace_back();
        warning.name.assign(text);
        warning.subject = subject;
        warning.kind = kind;
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    return 0;
}

void SetModelParam(EvaluatedModel& model, int index, float value)
{
    const auto i = static_cast<std::size_t>(index);
    if (index < 0 || i >= model.params.size()) return;
    model.params[i] = value;
    if (i < model.pristine.size()) model.pristine.Set(i, value);
}

int AddDeferredWarning(int subject, int kind, std::string_view text) { return AddDeferredWarningSlot(text, subject, kind); }

void ClearDeferredWarnings()
{
    Models().deferredWarnings.clear();
}

std::vector<std::string>& TokenizeText(std::string_view text)
{
    TokenizeNetlistLine(text);
    return TokenArray();
}

std::vector<std::string>& GetTokenArray() { return TokenArray(); }

void FreeTokensAlias() { FreeTokenArray(); }

int ReadLibraryText(int unit, long position, long length, std::string& out)
{
    out.clear();
    FileUnit* file = GetFileUnit(unit);
    if (!file || file->IsFree() || position < 0 || length < 0) return kMsgMissingFileName;
    std::FILE* stream = file->stream.get();
    if (!stream) {
        // A library open in a text window is read from the window's text.
        const std::string_view text = file->MemoryText();
        const long offset = position - file->rangeStart;
        if (offset < 0 || static_cast<std::size_t>(offset) > text.size()) return kMsgEndOfFile;
        out.assign(text.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
        return out.size() == static_cast<std::size_t>(length) ? 0 : kMsgEndOfFile;
    }
    if (std::fseek(stream, position, SEEK_SET) != 0) return ErrnoToMessageId(errno);
    try {
        out.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    const std::size_t read = std::fread(out.data(), 1, out.size(), stream);
    out.resize(read);
    return read == static_cast<std::size_t>(length) ? 0 : kMsgEndOfFile;
}

}  // namespace kq5
