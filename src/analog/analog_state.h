#pragma once
// State of the analog kernel and its runs that other parts of the program read.
namespace kq5 {

struct AnalogState {
    int batchErrorLogUnit = -1;  // file unit of the batch run's error log, -1 when none
    int numericOutputUnit = -1;  // file unit of the numeric output file, -1 when none
    int outputPageWidth = 80;    // page width in characters of the numeric output file
};

AnalogState& Analog();
void ResetAnalogStateForTests();

}  // namespace kq5
