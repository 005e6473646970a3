#pragma once
// .MODEL statements and the models built from them. Every statement the program meets (in a
// circuit's text, a library, the model library editor) becomes one ModelStatement of the model
// table; the circuit build finds a component's statement through its subcircuit scope and the
// model libraries, and the device set-up reads the statement's EvaluatedModel: one float per
// parameter of the model type table, with AKO inheritance, Monte Carlo tolerances and stepped
// values applied.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/linked_list.h"
#include "netlist/model_types.h"

namespace kq5 {

struct SchematicItem;
struct CircuitTextObject;
struct WindowRecord;
struct EvaluatedModel;

// Where a statement was read.
enum ModelSourceKind : std::int16_t {
    kModelSourceSchematic = 0,      // a grid text or text area line of a schematic
    kModelSourceTextWindow = 1,     // a text circuit window
    kModelSourceBinaryLibrary = 2,  // a binary model library (.LBR)
    kModelSourceTextFile = 3,       // a text file (a library, an included file)
};

struct ModelStatement {
    std::string name;        // upper case
    std::int16_t type = 0;   // row of the type keyword; NMOS and PMOS keep 3 or 16
    std::int16_t row = 0;    // the row the evaluated model uses (NMOS/PMOS by LEVEL)
    // Everything between the parentheses (or after the type), commas outside nested
    // parentheses replaced by blanks.
    std::string paramText;
    std::string instanceText;  // made and read by the SPICE export
    std::int32_t scope = 0;    // subcircuit scope the statement was read in (0 top level)
    std::int32_t line = 0;     // line in its source, counted as SetErrorSourceLine counts
    std::string sourceName;    // file or window that holds the statement
    std::int16_t sourceKind = kModelSourceSchematic;
    const CircuitTextObject* textObject = nullptr;  // the text line of a circuit, when known
    std::string akoName;       // empty: no AKO base
    std::string memo;          // the memo of the binary library entry it was read from
    std::int16_t inEvaluation = 0;
    std::int16_t akoIndex = -1;                 // model table index of the AKO base
    EvaluatedModel* akoModel = nullptr;         // the base's evaluated model once resolved
    std::vector<std::uint8_t> given;            // one byte per statement parameter; may be empty
    std::string attachedText;                   // returned beside the statement by the writer
    std::int16_t exportWritten = 0;             // the SPICE export's written mark
};

// Monte Carlo tolerances of an analog statement model, one entry per statement parameter.
// A private copy of a model shares them with the model it copies.
struct ModelTolerances {
    std::vector<float> lot;  // -1.0: none
    std::vector<float> dev;
    std::vector<std::uint8_t> lotNumber;  // 0xFF: none, else 0..9
    std::vector<std::uint8_t> devNumber;
    std::vector<std::uint8_t> lotDistribution;  // 0 default, 1 GAUSS, 2 UNIFORM
    std::vector<std::uint8_t> devDistribution;

    bool HasDev() const;
};

inline constexpr float kNoTolerance = -1.0f;
inline constexpr std::uint8_t kNoToleranceNumber = 0xFF;
inline constexpr std::uint8_t kDistributionGauss = 1;
inline constexpr std::uint8_t kDistributionUniform = 2;

// One layer of a model's parameter values (its run values or its nominal values). The private
// copies of one model share a layer while their values agree; a write gives the writer a layer
// of its own first, so a change to one copy never reaches another.
class ModelLayer {
public:
    std::size_t size() const { return values_ ? values_->size() : 0; }
    float operator[](std::size_t i) const { return (*values_)[i]; }
    const float* begin() const { return values_ ? values_->data() : nullptr; }
    const float* end() const { return begin() + size(); }
    void Assign(const std::vector<float>& values) { values_ = std::make_shared<std::vector<float>>(values); }
    // Takes the values, sharing `other`'s layer (when given) if it holds exactly these bits.
    void AssignSharing(const std::vector<float>& values, const ModelLayer* other);
    void Set(std::size_t i, float value);
    void clear() { values_.reset(); }

private:
    std::shared_ptr<std::vector<float>> values_;
};

// A model's run-time parameter set: one record of its type's list (kind 100 + row).
struct EvaluatedModel : ListNode {
    std::string name;                 // statement name qualified by its scope; empty for a default
    std::int32_t statementIndex = -1;  // -1 for a default model of a type
    EvaluatedModel* firstModel = nullptr;  // a private copy: the model of the statement made first
    int row = 0;                           // model type row
    std::shared_ptr<std::vector<float>> givenValues;  // statement count, values after evaluation
    // Run-time count: the statement parameters in table order (character parameters in slot
    // form, text parameters 0 here and their text in textParams), then the slots that the
    // device set-up fills.
    std::vector<float> params;
    // The values the run-time passes start from: taken from params at the first preparation of
    // a circuit and copied back over params before every later one, so no conversion ever runs
    // on converted values. Stepping and Monte Carlo change a value through SetModelParam.
    ModelLayer pristine;
    // The values as the circuit build evaluated them, never changed by a run: every stepped or
    // perturbed run starts again from them (analog/model_layers.h).
    ModelLayer nominal;
    // Statement count; text parameters only. A private copy shares its found model's table, as
    // nothing after the statement's evaluation changes a text.
    std::shared_ptr<std::vector<std::string>> textParams;
    std::shared_ptr<ModelTolerances> tolerances;   // analog statement models only
    std::array<std::int64_t, 4> analysisWords{};   // free for the analyses that use the model
    std::vector<std::string> paramTexts;           // text mode: each value as written

    float Param(int index) const { return params[static_cast<std::size_t>(index)]; }
    // Takes the run values from the parameters when there are none yet (shared with the first
    // model's when they are the same).
    void EnsureRunLayer();
    // The model a private copy was made from; null for any other model.
    const EvaluatedModel* CopiedFrom() const { return firstModel != this ? firstModel : nullptr; }
    void FreeOwnedData() override;
};

// Kinds of deferred warnings.
inline constexpr int kWarnUnknownModelParam = 1;
inline constexpr int kWarnRepeatedModelParam = 2;
inline constexpr int kWarnNegativeJunctionPotential = 3;
inline constexpr int kWarnUnknownOption = 4;

// A warning collected while models and options are read, written later into the numeric
// output file.
struct DeferredWarning {
    std::string name;        // the parameter or option name
    int subject = -1;        // model table index (kinds 1 to 3)
    int kind = 0;
    double temperature = 0.0;  // kind 3
};

struct ModelTableState {
    std::vector<ModelStatement> statements;
    std::vector<DeferredWarning> deferredWarnings;
    std::array<LinkedList, kModelTypeCount> evaluated;  // evaluated models per type row
    // Statement texts keep their lines (the SPICE export and Add Model Statements read them
    // to write them back).
    bool writeBackMode = false;
    // Libraries are being indexed: statement texts are folded to upper case instead of having
    // their defines substituted.
    bool libraryIndexerMode = false;

    ModelTableState();
};

ModelTableState& Models();
void ResetModelStateForTests();

// The statement at an index; null outside the table.
ModelStatement* FindModelStatement(int index);
int ModelStatementCount();

// Parses a .MODEL statement and appends it to the model table. A text that does not begin with
// the .MODEL keyword is left alone (result 0). 0, or 15055 after reporting the error; a failed
// parse leaves the table as it was.
int ParseModelStatement(std::string_view text, int scope, int line, int sourceKind, std::string_view sourceName,
                        const CircuitTextObject* textObject = nullptr);

// Reads "name [AKO: base] type" from the text after the keyword; the offset after the type word.
std::size_t ParseModelNameAko(std::string_view text, std::string& name, std::string& akoName,
                              std::string& typeName);

// Shows where a statement stands as the location of the error about to be reported.
void ShowOwnerErrorLocation(const ModelStatement& statement);

void FreeModelStatement(int index);  // frees the statement's owned texts, keeps its slot
void ClearModelTable();              // statements, deferred warnings and evaluated models

// ---- lookup ----------------------------------------------------------------------------

// The first statement of the type (MOS rows folded), the scope and exactly that name; the
// parent scopes are tried in turn up to the top. -1 when none.
int FindModelInScope(int type, int scope, std::string_view name);

// FindModelInScope, then the model libraries; an LPNP name found nowhere is tried as PNP.
// -1 when none (nothing reported).
int FindOrLoadModel(int type, int scope, std::string_view name);

// The statement of a component's model: attribute 3 (MODEL), 6 (TIMING MODEL) or 7 (IO MODEL,
// looked up as UIO). -1 after reporting 10834 or 10852.
int GetPartModel(SchematicItem* component, int modelAttribute);

// Selectors of FindModelEx besides the model type codes.
inline constexpr int kModelSelectStatement = -1;
inline constexpr int kModelSelectAkoBase = -2;

// The evaluated model of a statement (selector -1, -2, 8 or 31 with a statement index) or the
// default model of a type (type-only flag, or any other selector). Null after reporting.
EvaluatedModel* FindModelEx(int selector, int statementIndex, bool textMode, bool typeOnly);
EvaluatedModel* FindModel(int selector, int statementIndex);

// The given-flag byte of the component's model statement for a parameter; 0 when the
// component has no statement or the statement has no flags.
int IsModelParamGiven(const SchematicItem* component, int index);

// Changes a parameter of an evaluated model for the next preparation and the present one.
void SetModelParam(EvaluatedModel& model, int index, float value);

// Applies the statement's own parameters to an evaluated model. 0 or 15055 after reporting.
int EvaluateModelParams(EvaluatedModel& model, bool textMode);

// Type-specific checks run after the parameters; 0 or 15055 after reporting to the target.
int CheckPulseTimes(const ModelReportTarget* target, const EvaluatedModel& model);
int CheckGasfetModel(const ModelReportTarget* target, const EvaluatedModel& model);

// ---- deferred warnings -----------------------------------------------------------------

// Appends a warning; 0, or 15055 after reporting when memory runs out.
int AddDeferredWarningSlot(std::string_view text, int subject, int kind);
int AddDeferredWarning(int subject, int kind, std::string_view text);
void ClearDeferredWarnings();

// ---- writers ---------------------------------------------------------------------------

// Flags of FormatModelStatement.
inline constexpr unsigned kWriteAllParams = 0x01;     // write parameters equal to their default
inline constexpr unsigned kWriteContinuation = 0x02;  // long lines continue with "+ "
inline constexpr unsigned kWriteGivenOnly = 0x04;     // only parameters marked given

// A parameter value as statements write it: "undefined" for ParamNotGiven, the engineering
// form of a number, a quoted character, or a quoted text (whole).
std::string FormatParamValue(int type, int index, float value, std::string_view text = {});

// ".MODEL name TYPE (P=v ...)" of a parameter set; texts (when given) replace the values.
std::string FormatModelStatement(std::string_view name, int type, unsigned flags, const float* values, int count,
                                 const std::uint8_t* given, const std::vector<std::string>* texts,
                                 const std::vector<std::string>* textParams = nullptr);

// The statement text of a model name: from the model table when it is there (its own text),
// else from the open library entry or the type's defaults. The attached text comes back apart.
std::string FormatModelStatementAko(std::string_view name, int type, int libraryIndex, std::string& attachedText);

// Inserts a model's statement, after a "*** source" comment line, into a window's text: in a
// text circuit before its last ".end" line, else at the end. The statement then belongs to
// the window. 0, or 15055 after reporting.
int WriteModelsToText(WindowRecord* record, int type, std::string_view modelName, std::string_view librarySource);

// The Add Model Statements command: every model the window's circuit uses that its own text
// does not define is written into that text. Does nothing while an analysis runs. 0 or 15055.
int AddModelStatements(WindowRecord* record);

// ---- tokens of the element parsers -------------------------------------------------------

// Splits a text with the netlist tokenizer into the shared token array and returns it.
std::vector<std::string>& TokenizeText(std::string_view text);
std::vector<std::string>& GetTokenArray();
void FreeTokensAlias();

// ---- library text ----------------------------------------------------------------------

// The stretch of a library file open on a unit: length bytes from a position. Empty with a
// non-zero result on failure.
int ReadLibraryText(int unit, long position, long length, std::string& out);

}  // namespace kq5
