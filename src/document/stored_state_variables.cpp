#include "document/stored_state_variables.h"

namespace kq5 {

namespace {
StoredStateVariables& Instance()
{
    static StoredStateVariables states;
    return states;
}
}  // namespace

StoredStateVariables& StoredStates() { return Instance(); }

void ResetStoredStatesForTests() { Instance() = StoredStateVariables(); }

}  // namespace kq5
