#include "netlist/model_types.h"

#include <array>
#include <cstring>

#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "netlist/model_statements.h"
#include "netlist/spice_messages.h"

namespace kq5 {

namespace {

constexpr std::size_t kMaxParamNameLength = 29;

struct ParamAlias {
    const char* name;
    int index;
};

// Names other simulators use for bipolar parameters, tried after the table's own names.
constexpr std::array<ParamAlias, 13> kBipolarAliases = {{
    {"VA", 3}, {"IK", 4}, {"C2", 5}, {"VB", 9}, {"C4", 11}, {"PE", 19}, {"ME", 20},
    {"PC", 22}, {"MC", 23}, {"CCS", 25}, {"PS", 26}, {"MS", 27}, {"PT", 37},
}};

// Reads the integer after "LEVEL", its blanks and '='; false when no digit follows.
bool ReadLevelAfter(std::string_view text, std::size_t pos, long& level)
{
    while (pos < text.size() && (HasCharClass(text[pos], kCharSpace) || text[pos] == '=')) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    if (pos >= text.size() || !HasCharClass(text[pos], kCharDigit)) return false;
    long value = 0;
    while (pos < text.size() && HasCharClass(text[pos], kCharDigit) && value < 1000000)
        value = value * 10 + (text[pos++] - '0');
    level = negative ? -value : value;
    return true;
}

int LevelRuleMessage(int type, float value)
{
    switch (type) {
    case kModelDiode:
        return value == 1.0f || value == 2.0f ? 0 : 14081;
    case kModelNmos:
    case kModelPmos:
        return value >= 1.0f && value <= 3.0f ? 0 : 14077;
    case kModelNmos4:
    case kModelPmos4:
        return value == 4.0f ? 0 : 14078;
    case kModelNmos5:
    case kModelPmos5:
        return value == 5.0f ? 0 : 14079;
    case kModelNmos8:
    case kModelPmos8:
        return value == 8.0f ? 0 : 14080;
    default:
        return 0;
    }
}

bool IsDigitalStateCharacter(char c)
{
    return c == 0 || c == '0' || c == '1' || c == 'R' || c == 'F' || c == 'X' || c == 'Z';
}

// The message of a failed range class; 0 when the value is accepted.
int RangeClassMessage(char rangeClass, float value)
{
    switch (rangeClass) {
    case '+':
        return value > 0.0f ? 0 : 14071;
    case 'G':
        return value >= 0.0f ? 0 : 14072;
    case '1':
        return value >= 0.0f && value <= 1.0f ? 0 : 14073;
    case '3':
        return value >= 0.0f && value <= 3.0f ? 0 : 14074;
    case 'L':
        return value >= 1.0f && value <= 3.0f ? 0 : 14075;
    case 'D':
        return IsDigitalStateCharacter(CharacterOfSlot(value)) ? 0 : 14076;
    default:
        return 0;
    }
}

}  // namespace

float MakeCharacterSlot(char c)
{
    return std::bit_cast<float>(static_cast<std::uint32_t>(static_cast<unsigned char>(c)));
}

char CharacterOfSlot(float slot)
{
    return static_cast<char>(std::bit_cast<std::uint32_t>(slot) & 0xFFu);
}

std::span<const ModelTypeRow> ModelTypeTable() { return {kModelTypeTable, kModelTypeCount}; }

const ModelTypeRow* FindModelTypeRow(int type)
{
    if (type < 0 || type >= kModelTypeCount) return nullptr;
    return &kModelTypeTable[type];
}

const ModelParamDesc* FindModelParamDesc(int type, int index)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    if (!row || index < 0 || index >= row->statementCount) return nullptr;
    return &row->params[index];
}

int FindModelType(std::string_view name)
{
    for (int type = 0; type < kModelTypeCount; ++type)
        if (name == kModelTypeTable[type].name) return type;
    return -1;
}

int FindModelParamIndex(int type, std::string_view name)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    if (!row || name.size() > kMaxParamNameLength) return -1;
    const std::string upper = CopyUpperCase(name);
    for (int i = 0; i < row->statementCount; ++i)
        if (upper == row->params[i].name) return i;
    switch (type) {
    case kModelTrn:
        if (upper == "Z0") return 0;
        break;
    case kModelNpn:
    case kModelPnp:
    case kModelLpnp:
        for (const ParamAlias& alias : kBipolarAliases)
            if (upper == alias.name) return alias.index;
        break;
    case kModelNmos4:
    case kModelPmos4:
        if (upper == "WDF") return 2;
        if (upper == "TEMP") return 29;
        break;
    default:
        break;
    }
    return -1;
}

std::string GetModelParamName(int type, int index)
{
    const ModelParamDesc* desc = FindModelParamDesc(type, index);
    return desc ? std::string(desc->name) : std::string();
}

int ModelParamDescriptionId(int type, int index)
{
    const ModelTypeRow* row = FindModelTypeRow(type);
    if (!FindModelParamDesc(type, index)) return 0;
    return row->descriptionBase + 1 + index;
}

int FoldMosRow(int row)
{
    switch (row) {
    case kModelNmos4:
    case kModelNmos5:
    case kModelNmos8:
        return kModelNmos;
    case kModelPmos4:
    case kModelPmos5:
    case kModelPmos8:
        return kModelPmos;
    default:
        return row;
    }
}

int MosRowForLevel(int type, std::string_view paramText)
{
    if (type != kModelNmos && type != kModelPmos) return type;
    const std::size_t at = paramText.find("LEVEL");
    long level = 0;
    if (at == std::string_view::npos || !ReadLevelAfter(paramText, at + 5, level)) return type;
    const int pmos = type == kModelPmos ? 1 : 0;
    switch (level) {
    case 4:
        return kModelNmos4 + pmos;
    case 5:
        return kModelNmos5 + pmos;
    case 8:
        return kModelNmos8 + pmos;
    default:
        return type;
    }
}

int CheckModelParamValue(const ModelReportTarget* target, float value, int type, int index)
{
    const ModelParamDesc* desc = FindModelParamDesc(type, index);
    if (!desc) return 0;
    if (desc->valueKind == kParamNumber && IsParamNotGiven(value)) return 0;
    int message = index == 0 ? LevelRuleMessage(type, value) : 0;
    if (!message) message = RangeClassMessage(desc->rangeClass, value);
    if (!message) return 0;
    if (target) {
        // A character is shown by its code: the message has a number in that place.
        const double shown = desc->valueKind == kParamCharacter ? static_cast<double>(CharacterOfSlot(value))
                                                                : static_cast<double>(value);
        ReportNetlistMessage("WLtE", target->window, target->scope, target->text, message, desc->name, shown);
    }
    return kMsgAlreadyReported;
}

void InitModelTypeDefaults()
{
    for (LinkedList& list : Models().evaluated) ListClear(list);
}

}  // namespace kq5
