#pragma once
// The error log of a command-line batch run (the statistics file): while it is open, the message
// reporter hands its messages to LogBatchError instead of showing them.
#include <string>

namespace kq5 {

struct WindowRecord;

int BatchErrorLogUnit();
int NumericOutputUnit();
int OutputPageWidth();

// True while the batch error log unit is open.
bool BatchErrorLogOpen();

}  // namespace kq5
