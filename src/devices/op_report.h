#pragma once
// The DC operating point report of the numeric output file: node voltages, inductor currents and
// digital states, then one table per semiconductor kind with a column per device and a row per
// quantity, laid out in chunks that fit the page width.
#include <string>

namespace kq5 {

// Writes the report into the numeric output file; nothing when no file is open.
void WriteOperatingPointReport();
// The node voltages, inductor currents and digital states.
void WriteNodeSections(int unit);

// A number of the report: the engineering format with 13 digits.
std::string FormatReportNumber(double value);

}  // namespace kq5
