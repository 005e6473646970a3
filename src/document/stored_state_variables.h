#pragma once
// State variables read in by the State Variables editor: node voltages, inductor currents and
// digital node states that a run starts from instead of computing them.
#include <cstdint>
#include <vector>

namespace kq5 {

struct StoredStateVariable {
    char letter = 0;             // 'V' node voltage, 'I' inductor current, 'D' digital state
    double value = 0.0;
    std::uint16_t state = 0;     // digital state code of a 'D' row
    std::int32_t inductorBranch = -1;  // branch index of the inductor of an 'I' row
    std::int32_t node = 0;       // node index
    std::int32_t secondNode = 0; // the other node of a 'V' row
};

struct StoredStateVariables {
    std::vector<StoredStateVariable> rows;
    bool read = false;    // rows have been read in
    bool toBeUsed = false;  // the run options ask for them
};

StoredStateVariables& StoredStates();
void ResetStoredStatesForTests();

}  // namespace kq5
