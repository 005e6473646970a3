#pragma once
// State of the application frame and its services, kept in one place so tests can start afresh.
#include "core/error_context.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"

namespace kq5 {

struct AppState {
    WindowRecordList windowRecords;
    ProgramSettings settings;
};

AppState& App();
void ResetAppStateForTests();

}  // namespace kq5
