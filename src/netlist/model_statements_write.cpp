// Writing models back as .MODEL text.
#include <cstring>

#include "core/engineering_numbers.h"
#include "core/format.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

bool SameSlot(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// Lines longer than this start anew (the WIDTH option).
std::size_t LineWidth()
{
    const int width = GlobalOptions().values.width;
    return width > 0 ? static_cast<std::size_t>(width) : 80;
}

std::size_t CurrentLineLength(const std::string& text)
{
    const std::size_t lineStart = text.rfind('\n');
    return lineStart == std::string::npos ? text.size() : text.size() - lineStart - 1;
}

bool HoldsCommentLine(std::string_view text)
{
    if (!text.empty() && text.front() == '*') return true;
    return text.find("\n*") != std::string_view::npos;
}

}  // namespace

std::string FormatParamValue(int type, int index, float value, std::string_view text)
{
    const ModelParamDesc* desc = FindModelParamDesc(type, index);
    const std::uint8_t kind = desc ? desc->valueKind : kParamNumber;
    if (kind == kParamText) {
        // Texts are written whole: a cut name would name another subcircuit.
        std::string out = "\"";
        out.append(text);
        return out + "\"";
    }
    if (kind == kParamCharacter) {
        const char c = CharacterOfSlot(value);
        return c ? StrPrintf("\"%c\"", c) : std::string("\"\"");
    }
    if (IsParamNotGiven(value)) return "undefined";
    std::string number = FormatNumber(static_cast<double>(value), "-1", 0);
    while (!number.empty() && number.back() == ' ') number.pop_back();  // the unit scale's blank
    return number;
}

std::string FormatModelStatement(std::string_view name, int type, unsigned flags, const float* values, int count,
                                 const std::uint8_t* given, const std::vector<std::string>* texts,
                                 const std::vector<std::string>* textParams)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    std::string out = StrPrintf(".MODEL %.*s %s (", static_cast<int>(name.size()), name.data(),
                                row ? row->name : "");
    out.reserve(100);
    if (row) count = std::min(count, row->statementCount);
    const std::size_t width = LineWidth();
    for (int i = 0; row && i < count; ++i) {
        const ModelParamDesc& desc = row->params[i];
        const std::size_t slot = static_cast<std::size_t>(i);
        const bool hasText = texts && slot < texts->size() && !(*texts)[slot].empty();
        const std::string_view textValue =
            textParams && slot < textParams->size() ? std::string_view((*textParams)[slot]) : std::string_view();
        const bool differs = desc.valueKind == kParamText ? textValue != desc.defaultText
                                                          : !SameSlot(values[i], desc.defaultValue);
        if (!((flags & kWriteAllParams) || (desc.flags & kParamAlwaysWritten) || differs || hasText)) continue;
        if ((flags & kWriteGivenOnly) && given && !given[i]) continue;
        const bool writable = desc.valueKind == kParamText ? true : !IsParamNotGiven(values[i]);
        if (!((writable && (desc.flags & kParamWritten)) || hasText)) continue;
        out += desc.name;
        out += '=';
        out += hasText ? (*texts)[slot] : FormatParamValue(type, i, values[i], textValue);
        out += ' ';
        if (CurrentLineLength(out) > width) {
            out.pop_back();
            out += (flags & kWriteContinuation) ? "\r\n+ " : "\r\n";
        }
    }
    // A break after the last parameter would leave the closing parenthesis on a line by itself.
    for (const std::string_view lineBreak : {std::string_view("\r\n+ "), std::string_view("\r\n")}) {
        if (out.ends_with(lineBreak)) {
            out.resize(out.size() - lineBreak.size());
            break;
        }
    }
    // A statement without parameters keeps a blank inside its parentheses: "( )".
    if (out.back() == '(')
        out += ' ';
    else if (out.size() >= 2 && out.back() == ' ' && out[out.size() - 2] != '(')
        out.pop_back();
    out += ')';
    return out;
}

std::string FormatModelStatementAko(std::string_view name, int type, int libraryIndex, std::string& attachedText)
{
    attachedText.clear();
    int index = FindModelInScope(type, 0, name);
    if (index < 0 && type == kModelLpnp) index = FindModelInScope(kModelPnp, 0, name);
    if (const ModelStatement* statement = FindModelStatement(index)) {
        std::string out = StrPrintf(".MODEL %s %s%s (", statement->name.c_str(),
                                    statement->akoName.empty() ? "" : ("AKO:" + statement->akoName + " ").c_str(),
                                    kModelTypeTable[type == kModelLpnp ? static_cast<int>(kModelLpnp) : statement->type].name);
        std::string params = statement->paramText;
        if (HoldsCommentLine(params))
            while (!params.empty() && (params.back() == '\n' || params.back() == '\r')) params.pop_back();
        out += params;
        out += ')';
        attachedText = statement->attachedText;
        return out;
    }
    // The type's defaults (a library entry is written by the library's own writer).
    static_cast<void>(libraryIndex);
    const ModelTypeRow* row = FindModelTypeRow(type);
    if (!row) return {};
    std::vector<float> values(static_cast<std::size_t>(row->statementCount));
    std::vector<std::string> textParams(values.size());
    for (int i = 0; i < row->statementCount; ++i) {
        values[static_cast<std::size_t>(i)] = row->params[i].defaultValue;
        textParams[static_cast<std::size_t>(i)] = row->params[i].defaultText;
    }
    return FormatModelStatement(name, type, kWriteAllParams | kWriteContinuation, values.data(), row->statementCount, nullptr, nullptr,
                                &textParams);
}

}  // namespace kq5
