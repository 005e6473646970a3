#pragma once
// The one program-wide state object of a layer module, made on first use and replaced whole by
// the module's reset for tests.
#include <memory>

namespace win {

template <typename State>
std::unique_ptr<State>& ModuleStateSlot() {
    static std::unique_ptr<State> state;
    return state;
}

template <typename State>
State& ModuleState() {
    auto& s = ModuleStateSlot<State>();
    if (!s) s = std::make_unique<State>();
    return *s;
}

template <typename State>
void ResetModuleState() {
    ModuleStateSlot<State>() = std::make_unique<State>();
}

}  // namespace win
