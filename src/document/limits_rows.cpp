#include "document/limits_rows.h"

#include "ui/window_record.h"
#include "core/memory.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"

namespace kq5 {

int SetLimitsRowCount(WindowRecord* record, int analysisKind, int n)
{
    if (record == nullptr || !record->document || analysisKind < 0 || analysisKind >= kAnalysisKindCount) return 0;
    if (n < 0) n = 0;
    std::vector<LimitsRow>& rows = record->document->limitsRows[static_cast<std::size_t>(analysisKind)];
    if (!ReallocKeepOnFailure(rows, static_cast<std::size_t>(n))) return kMsgInsufficientMemory;
    return 0;
}

void FreeAllLimitsRows(WindowRecord* record)
{
    if (record == nullptr || !record->document) return;
    for (std::vector<LimitsRow>& rows : record->document->limitsRows) FreeAndNull(rows);
}

}  // namespace kq5
