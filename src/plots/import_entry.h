#pragma once
// One IMPORT reference of a curve expression: the data file and column it names and the
// value the IMPORT reader interpolated for the current analysis point. A compiled IMPORT
// reads `value` through its address, so the curve's entries stay in place while the
// expression lives.
#include <string>

namespace kq5 {

struct ImportEntry {
    std::string file;
    std::string name;
    double value = 0.0;
};

}  // namespace kq5
