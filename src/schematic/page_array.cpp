#include "schematic/page_array.h"

#include "app/window_record.h"
#include "core/memory.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"

namespace kq5 {

int ResizePageArray(WindowRecord* record, int n)
{
    if (record == nullptr || !record->document) return 0;
    if (n < 0 || n > kMaxPageCount) return kMsgInsufficientMemory;
    if (!ReallocKeepOnFailure(record->document->pages, static_cast<std::size_t>(n))) return kMsgInsufficientMemory;
    return 0;
}

void FreePageArray(WindowRecord* record)
{
    if (record == nullptr || !record->document) return;
    FreeAndNull(record->document->pages);
}

}  // namespace kq5
