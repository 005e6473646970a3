#include "ui/edit_mode.h"

#include "ui/mode_cursors.h"
#include "ui/tool_buttons.h"
#include "ui/window_record.h"

namespace kq5 {

namespace {

bool IsModeCommand(int command)
{
    return (command >= 17561 && command <= 17585) || (command >= 18670 && command <= 18677);
}

}  // namespace

void SetEditMode(WindowRecord* record, int modeCommand)
{
    if (!record || !IsModeCommand(modeCommand)) return;
    const int old = record->mode;
    record->mode = modeCommand;
    if ((old == kCommandCursorMode) != (modeCommand == kCommandCursorMode) && EditModeHooks().toggleCursors)
        EditModeHooks().toggleCursors(record);
    // The mode buttons show which mode is on.
    InvalidateDlgItem(DockedBars()[0].window, old);
    InvalidateDlgItem(DockedBars()[0].window, modeCommand);
    if (record->window) SetModeCursor(record);
}

bool IsComponentPlacementMode(const WindowRecord* record)
{
    return record && record->mode == kCommandComponentMode;
}

EditModeHookTable& EditModeHooks()
{
    static EditModeHookTable hooks;
    return hooks;
}

}  // namespace kq5
