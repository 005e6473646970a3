#include "analog/batch_log.h"

#include <string_view>

#include "analog/analog_state.h"
#include "app/window_record.h"
#include "core/file_units.h"
#include "document/circuit_document.h"

namespace kq5 {

int BatchErrorLogUnit() { return Analog().batchErrorLogUnit; }

int NumericOutputUnit() { return Analog().numericOutputUnit; }

int OutputPageWidth() { return Analog().outputPageWidth; }

bool BatchErrorLogOpen() {
    const FileUnit* unit = GetFileUnit(BatchErrorLogUnit());
    return unit && !unit->IsFree();
}

void WriteBatchErrorLog(const WindowRecord* record, const std::string& caption, const std::string& body) {
    const int unit = BatchErrorLogUnit();
    const char* circuit = (record && record->document) ? record->document->name.c_str() : "";
    UnitPrintf(unit, "%s %s\n", circuit, caption.c_str());
    // The lines are written straight from the body, so no copy is needed that could fail.
    const std::string_view lines = body;
    std::size_t start = 0;
    while (start < lines.size()) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string_view::npos) end = lines.size();
        // Empty lines between the message and its context lines are left out.
        if (end > start) UnitPrintf(unit, "\t%.*s\n", static_cast<int>(end - start), lines.data() + start);
        start = end + 1;
    }
}

}  // namespace kq5
