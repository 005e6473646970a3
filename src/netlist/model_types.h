#pragma once
// The model type table: the 39 kinds of model that a .MODEL statement, a binary library entry
// or a component's MODEL attribute can name, each with its ordered parameter list. A
// parameter's index is part of every stored format (libraries, evaluated models, the device
// models' reads) and never changes. Generated from data/model_types.tsv.
#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kq5 {

struct WindowRecord;

inline constexpr int kModelTypeCount = 39;

// Row codes. Rows 32 to 37 are reached only through a NMOS/PMOS statement's LEVEL.
enum ModelTypeCode : int {
    kModelOpa = 0,
    kModelDiode = 1,
    kModelNpn = 2,
    kModelNmos = 3,
    kModelNjf = 4,
    kModelPul = 5,
    kModelSin = 6,
    kModelTrn = 7,
    kModelCore = 8,
    kModelGasfet = 9,
    kModelVswitch = 10,
    kModelIswitch = 11,
    kModelCap = 12,
    kModelInd = 13,
    kModelRes = 14,
    kModelPnp = 15,
    kModelPmos = 16,
    kModelPjf = 17,
    kModelDoutput = 18,
    kModelDinput = 19,
    kModelUadc = 20,
    kModelUdac = 21,
    kModelUgate = 22,
    kModelUtgate = 23,
    kModelUeff = 24,
    kModelUgff = 25,
    kModelUdly = 26,
    kModelUpld = 27,
    kModelUrom = 28,
    kModelUram = 29,
    kModelUbgt = 30,
    kModelUio = 31,
    kModelNmos4 = 32,
    kModelPmos4 = 33,
    kModelNmos5 = 34,
    kModelPmos5 = 35,
    kModelNmos8 = 36,
    kModelPmos8 = 37,
    kModelLpnp = 38,
};

// The value that marks a numeric parameter as not given; writers print it as "undefined" and
// range checks let it pass. Compare bit patterns (IsParamNotGiven), not values.
inline constexpr std::uint32_t kParamNotGivenBits = 0x5D88D14Bu;
inline constexpr float ParamNotGiven = std::bit_cast<float>(kParamNotGivenBits);
// The same value widened, where device records hold doubles.
inline constexpr double kParamNotGivenDouble = static_cast<double>(ParamNotGiven);

inline bool IsParamNotGiven(float value) { return std::bit_cast<std::uint32_t>(value) == kParamNotGivenBits; }
inline bool IsParamNotGiven(double value) { return value == kParamNotGivenDouble; }

// Value kinds of a parameter.
inline constexpr std::uint8_t kParamNumber = 1;     // float slot
inline constexpr std::uint8_t kParamCharacter = 2;  // slot's first byte holds one upper-case character
inline constexpr std::uint8_t kParamText = 3;       // an owned text beside the slot

// Flag bits of a parameter.
inline constexpr std::uint8_t kParamWritten = 0x01;        // written when it differs from its default
inline constexpr std::uint8_t kParamSpice2G = 0x02;        // exists in the SPICE 2G export dialect
inline constexpr std::uint8_t kParamPspice = 0x04;         // exists in the PSpice export dialect
inline constexpr std::uint8_t kParamSpice3 = 0x08;         // exists in Spice3 (which also keeps the PSpice ones)
inline constexpr std::uint8_t kParamAlwaysWritten = 0x10;  // written even when equal to its default
inline constexpr std::uint8_t kParamExpressionSteps = 0x20;  // expressions compile extra steps for it

// Domain of a row.
inline constexpr std::int32_t kModelDomainAnalog = 0;
inline constexpr std::int32_t kModelDomainDigital = 1;
inline constexpr std::int32_t kModelDomainIo = 2;  // looked up like digital

// A character slot: the character in the float's first byte (0 = empty).
float MakeCharacterSlot(char c);
char CharacterOfSlot(float slot);

struct ModelParamDesc {
    const char* name;         // upper case, at most 29 characters
    float defaultValue;       // character parameters: already in slot form; NG = no default
    std::uint8_t valueKind;   // kParamNumber, kParamCharacter, kParamText
    char rangeClass;          // '+', 'G', '1', '3', 'L', 'D', 'A'
    std::uint8_t flags;
    const char* defaultText;  // text parameters' default; "" for the others
};

struct ModelTypeRow {
    std::int32_t libraryCount;    // parameters a binary library entry keeps
    std::int32_t statementCount;  // parameters a statement may set and an evaluated model holds
    std::int32_t runTimeCount;    // statement parameters plus slots the device set-up fills
    std::int32_t componentType;   // component type table row that uses the type (0 for UIO)
    const ModelParamDesc* params;
    std::int32_t temperatureIndex;  // T_MEASURED, then T_ABS, T_REL_GLOBAL, T_REL_LOCAL; 0 none
    const char* name;
    std::int32_t domain;
    std::int32_t descriptionBase;   // string id of parameter i's description: base + 1 + i
    std::int32_t unsetTiming;       // 1: numeric parameters start at -1.0 (digital timing)

    std::span<const ModelParamDesc> Params() const
    {
        return {params, static_cast<std::size_t>(statementCount)};
    }
};

// The generated rows.
extern const ModelTypeRow kModelTypeTable[kModelTypeCount];

std::span<const ModelTypeRow> ModelTypeTable();
// The row of a code; null outside 0..38.
const ModelTypeRow* FindModelTypeRow(int type);
// The descriptor of a parameter; null for an index outside the statement parameters.
const ModelParamDesc* FindModelParamDesc(int type, int index);

// The first row whose name equals the text exactly (statement texts are already upper case);
// -1 when none. Rows 32 to 37 are never returned.
int FindModelType(std::string_view name);

// The parameter index of a name (folded to upper case) among the statement parameters, then
// the aliases of TRN (Z0), the bipolar rows (VA, IK, ...) and the LEVEL 4 MOS rows (WDF,
// TEMP); -1 when unknown or 30 characters or longer.
int FindModelParamIndex(int type, std::string_view name);

// The name of a parameter; empty for a bad type or index.
std::string GetModelParamName(int type, int index);

// The string id of a parameter's description (description base + 1 + index); 0 for a bad
// type or index.
int ModelParamDescriptionId(int type, int index);

// Rows 32, 34, 36 count as NMOS (3) and 33, 35, 37 as PMOS (16) when looking up by type.
int FoldMosRow(int row);

// The row that a statement of type NMOS or PMOS uses by the LEVEL in its parameter text: 4, 5
// and 8 select the LEVEL 4, 5 and 8 rows; anything else keeps 3 or 16. Other types come back
// unchanged.
int MosRowForLevel(int type, std::string_view paramText);

// Where a failed value check is reported; null: the check reports nothing.
struct ModelReportTarget {
    WindowRecord* window = nullptr;
    int scope = 0;     // the subcircuit scope shown with the message
    std::string text;  // the statement shown with the message
};

// Checks the LEVEL rules (index 0) and the range class of a parameter value. 0 when it passes
// (ParamNotGiven always passes); else 15055, after reporting 14071..14081 to the target.
int CheckModelParamValue(const ModelReportTarget* target, float value, int type, int index);

// Run once at start-up before any model is read: empties the run-time lists of evaluated
// models. The defaults themselves (characters in slot form, the UIO text defaults) are
// constant parts of the table.
void InitModelTypeDefaults();

}  // namespace kq5
