#pragma once
// The error log of a command-line batch run (the statistics file): while it is open, the message
// reporter hands its messages to LogBatchError instead of showing them. The file units of the
// run (AnalogState) are kept here, where the reporter and the file units read them.
#include <functional>
#include <string>

namespace kq5 {

struct WindowRecord;

struct AnalogState {
    int batchErrorLogUnit = -1;  // file unit of the batch run's error log, -1 when none
    int numericOutputUnit = -1;  // file unit of the numeric output file, -1 when none
    int outputPageWidth = 80;    // page width in characters of the numeric output file
};

AnalogState& Analog();
void ResetAnalogStateForTests();

// What writes a message into the open batch error log (LogBatchError); the statistics file
// fills it when it opens the log.
struct MessageLogState {
    std::function<void(const WindowRecord* record, const std::string& caption, const std::string& text)> logBatchError;
};

MessageLogState& MessageLog();

int BatchErrorLogUnit();
int NumericOutputUnit();
int OutputPageWidth();

// True while the batch error log unit is open.
bool BatchErrorLogOpen();

}  // namespace kq5
