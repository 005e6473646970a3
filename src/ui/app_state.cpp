#include "ui/app_state.h"

namespace kq5 {

namespace {

AppState& State() {
    static AppState state;
    return state;
}

}  // namespace

AppState& App() { return State(); }

void ResetAppStateForTests() {
    AppState& state = State();
    ResetWindowRecordsForTests();
    FreePendingErrorTexts();
    state.settings = ProgramSettings{};
}

}  // namespace kq5
