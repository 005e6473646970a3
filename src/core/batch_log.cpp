#include "core/batch_log.h"

#include "core/file_units.h"

namespace kq5 {

AnalogState& Analog()
{
    static AnalogState state;
    return state;
}

void ResetAnalogStateForTests() { Analog() = AnalogState{}; }

MessageLogState& MessageLog()
{
    static MessageLogState log;
    return log;
}

int BatchErrorLogUnit() { return Analog().batchErrorLogUnit; }

int NumericOutputUnit() { return Analog().numericOutputUnit; }

int OutputPageWidth() { return Analog().outputPageWidth; }

bool BatchErrorLogOpen() {
    const FileUnit* unit = GetFileUnit(BatchErrorLogUnit());
    return unit && !unit->IsFree();
}

}  // namespace kq5
