#include "core/batch_log.h"

#include "analog/analog_state.h"
#include "core/file_units.h"

namespace kq5 {

int BatchErrorLogUnit() { return Analog().batchErrorLogUnit; }

int NumericOutputUnit() { return Analog().numericOutputUnit; }

int OutputPageWidth() { return Analog().outputPageWidth; }

bool BatchErrorLogOpen() {
    const FileUnit* unit = GetFileUnit(BatchErrorLogUnit());
    return unit && !unit->IsFree();
}

}  // namespace kq5
