#pragma once
// The run-time view of the current document's parameter-stepping rows: what each enabled row
// steps and the value it has for the run being prepared. The model lookup writes the value of
// every row that steps a parameter of a model it evaluates.
#include <array>
#include <string>

namespace kq5 {

inline constexpr int kSteppingRowCount = 10;
inline constexpr int kStepKindModelParam = 0;

struct SteppingRow {
    bool enabled = false;
    int kind = kStepKindModelParam;
    int modelType = -1;       // row of the model type table
    std::string modelName;    // compared exactly with the evaluated model's name
    int paramIndex = -1;
    double value = 0.0;       // the current value
};

struct SteppingRowsState {
    bool active = false;  // stepping is on for the run being prepared
    std::array<SteppingRow, kSteppingRowCount> rows;
};

SteppingRowsState& SteppingRows();
void ResetSteppingRowsForTests();

}  // namespace kq5
