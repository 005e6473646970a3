#include "app/edit_mode.h"

#include "app/window_record.h"

namespace kq5 {

void SetEditMode(WindowRecord* record, int modeCommand)
{
    if (record) record->mode = modeCommand;
}

bool IsComponentPlacementMode(const WindowRecord* record)
{
    return record && record->mode == kCommandComponentMode;
}

}  // namespace kq5
