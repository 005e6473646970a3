#pragma once
// The error log of a command-line batch run: while it is open, messages are written to it
// instead of being shown.
#include <string>

namespace kq5 {

struct WindowRecord;

int BatchErrorLogUnit();
int NumericOutputUnit();
int OutputPageWidth();

// True while the batch error log unit is open.
bool BatchErrorLogOpen();

// Writes "<circuit> <caption>" and then each line of the body indented by a tab.
void WriteBatchErrorLog(const WindowRecord* record, const std::string& caption, const std::string& body);

}  // namespace kq5
