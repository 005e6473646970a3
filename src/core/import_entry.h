#pragma once
// One IMPORT reference of a curve expression: the data file and column it names, the points
// read from the file for the current run, and the value interpolated for the current analysis
// point. A compiled IMPORT reads `value` through its address, so a curve's records stay in
// place while its expression lives.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kq5 {

struct ImportPoint {
    double x = 0.0;
    double y = 0.0;
};

struct ImportRecord {
    std::string file;  // the resolved file name
    std::string name;  // the column name as written in the reference
    std::int32_t count = 0;
    std::int32_t cursor = 0;  // where the last interpolation search ended
    double lastX = 0.0;
    std::int32_t shared = 0;  // 1 when the points are another record's (same file and name)
    // Owned jointly with every record that shares them, so a record that reads them never
    // outlives the points.
    std::shared_ptr<std::vector<ImportPoint>> points;
    double xScale = 1.0;
    double yScale = 1.0;
    double temperature = 0.0;  // the run temperature the points were read for
    double value = 0.0;        // interpolated at lastX
};

// The compiler's name for the records it reads.
using ImportEntry = ImportRecord;

}  // namespace kq5
