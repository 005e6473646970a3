#pragma once
// The run-time side of the ten parameter-stepping slots of the circuit document: what each
// enabled slot steps (a model parameter, a part's value or a defined symbol), its values and the
// value of the case being run. Rebuilt from the document at every analysis start.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

struct EvaluatedModel;

inline constexpr int kSteppingRowCount = 10;

// Methods (the slot's flag byte AND 0x42).
inline constexpr std::uint32_t kStepMethodLog = 0x00;
inline constexpr std::uint32_t kStepMethodLinear = 0x02;
inline constexpr std::uint32_t kStepMethodList = 0x40;

struct SteppingRow {
    bool active = false;
    std::uint32_t typeBits = 0;   // model, component or symbolic (flag byte AND 0x2C)
    std::int32_t device = -1;     // the document slot's Device
    int modelType = -1;           // row of the model type table
    int paramIndex = -1;
    // The part's model record (a part named with a model parameter); null with a model named by
    // type and name: then every evaluated model of that type and name is stepped.
    EvaluatedModel* model = nullptr;
    // A part's value (resistance, capacitance, inductance); its nominal copy moves with it.
    double* deviceValue = nullptr;
    double* deviceNominal = nullptr;
    bool componentValue = false;
    bool resistance = false;      // the value is a resistor's, which cannot be 0
    bool rebuild = false;         // every new value needs a new circuit build
    std::string modelName;        // the model's name (model slots)
    std::string name;             // the slot's Name text
    std::string param;            // the slot's Param text
    double from = 0.0, to = 0.0, step = 0.0;
    std::uint32_t method = kStepMethodLinear;
    std::vector<double> list;
    int caseCount = 1;
    int caseIndex = 0;            // 0-based index of the value in place
    double savedValue = 0.0;      // the part value before stepping
    double savedNominal = 0.0;
    bool saved = false;
    // A mark the stepped value needs for the runs (a MOSFET's W or L given), and its old state.
    std::int32_t* restoreWord = nullptr;
    std::int32_t savedWord = 0;
    double caseValue = 0.0;       // the value of the current case
    // The value the built circuit has (rebuild slots); NaN before the first case is built.
    double builtValue = 0.0;
};

struct SteppingRowsState {
    bool active = false;          // stepping is on for the analysis
    bool simultaneous = false;
    std::array<SteppingRow, kSteppingRowCount> rows;
};

SteppingRowsState& SteppingRows();
// Forgets the slots of the last analysis (their targets went with its circuit).
void ClearSteppingRows();
void ResetSteppingRowsForTests();

// The value of the current case of every slot (0 for an inactive slot): the run records keep it.
std::array<double, kSteppingRowCount> CaseSteppedValues();
// The value of the current case when an active symbolic slot steps the symbol of that name
// (case-blind): the circuit build gives the symbol this value.
bool SteppedSymbolValue(std::string_view name, double& value);

}  // namespace kq5
