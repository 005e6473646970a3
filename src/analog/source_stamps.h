#pragma once
// What the solver keeps beside the independent source records during a run: the element
// stretch, the branch row, the value at the present time or sweep point, and the PWL table
// expanded for the run. One entry per record, in list order.
#include <cstdint>
#include <vector>

#include "netlist/device_stamps.h"

namespace kq5 {

struct SourceStamps {
    StampRange stamps;
    std::int32_t branch = 0;      // voltage sources: the row of the source current
    double value = 0.0;           // value at the present time, read by the load
    // PWL: the points of the list with its REPEAT sections played, scaled.
    std::vector<double> pwlTimes;
    std::vector<double> pwlValues;
};

// User-file sources: the search positions in their point table.
struct UserSourceStamps {
    StampRange stamps;
    std::int32_t branch = 0;
    double value = 0.0;
    std::int32_t committedIndex = 0;
    std::int32_t tentativeIndex = 0;
    std::vector<double> times;
    std::vector<double> values;
};

}  // namespace kq5
