#include "core/expr_symbols.h"

#include <cstring>

#include "core/device_record_fields.h"

namespace kq5 {

namespace {

// Menu entries stay within this many characters.
constexpr std::size_t kEntryMax = 95;
constexpr int kSymbolColumnItems = 10;
constexpr int kOperatorColumnItems = 9;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

std::span<const ExpressionSymbol> ExpressionFunctionTable()
{
    return {kExpressionFunctionTable, static_cast<std::size_t>(kExpressionSymbolCount)};
}

int FindExpressionSymbol(std::string_view token, int fromRow)
{
    if (token.empty()) return -1;
    if (fromRow < 0) fromRow = kExpressionFirstLetterIndex[static_cast<unsigned char>(token[0])];
    for (int row = fromRow; row < kExpressionSymbolCount; ++row) {
        const char* name = kExpressionFunctionTable[row].name;
        if (name[0] == token[0] && token == name) return row;
    }
    return -1;
}

int IsFunctionName(std::string_view text)
{
    if (text.empty() || IsDigit(text[0])) return 0;
    for (const ExpressionSymbol& s : ExpressionFunctionTable())
        if (s.maxArgs != 0 && text == s.name) return 1;
    return 0;
}

int IsReservedExpressionName(std::string_view text, bool includeFunctions)
{
    if (!includeFunctions) {
        for (char c : text)
            if (!kReservedNameCharacters[static_cast<unsigned char>(c)]) return 0;
    }
    for (const ExpressionSymbol& s : ExpressionFunctionTable())
        if ((includeFunctions || s.maxArgs == 0) && text == s.name) return 1;
    return 0;
}

std::vector<ExpressionSymbolEntry> ExpressionSymbolEntries(int bindingClass, std::uint32_t dependsOn)
{
    std::vector<ExpressionSymbolEntry> entries;
    auto add = [&](std::string text) {
        bool column = !entries.empty() && entries.size() % kSymbolColumnItems == 0;
        entries.push_back({std::move(text), column});
    };
    for (const ExpressionSymbol& s : ExpressionFunctionTable()) {
        if (s.bindingClass != bindingClass) continue;
        if (dependsOn != 0 && (s.maxArgs == 0 || !(s.flags & dependsOn))) continue;
        if (s.maxArgs == 0) {
            add(s.name);
            continue;
        }
        const std::size_t nameLength = std::strlen(s.name);
        for (const DeviceRecordFields& d : DeviceRecordTable()) {
            if (d.label.empty() || !(d.families & s.deviceKinds)) continue;
            const std::size_t room = kEntryMax > nameLength + 2 ? kEntryMax - nameLength - 2 : 0;
            add(std::string(s.name) + "(" + d.label.substr(0, room) + ")");
        }
    }
    return entries;
}

std::vector<ExpressionSymbolEntry> ExpressionOperatorEntries()
{
    std::vector<ExpressionSymbolEntry> entries;
    for (const ExpressionSymbol& s : ExpressionFunctionTable()) {
        if (s.argumentKinds != kSymbolOperator) continue;
        bool column = !entries.empty() && entries.size() % kOperatorColumnItems == 0;
        entries.push_back({std::strcmp(s.name, "&") == 0 ? "&&" : s.name, column});
    }
    return entries;
}

}  // namespace kq5
