#include "ui/frame_state.h"

namespace kq5 {

namespace {
FrameState& State()
{
    static FrameState state;
    return state;
}
}  // namespace

FrameState& Frame() { return State(); }

void ResetFrameStateForTests() { State() = FrameState{}; }

win::HACCEL AcceleratorTable(int id)
{
    for (std::size_t i = 0; i < kAcceleratorTableIds.size(); ++i) {
        if (kAcceleratorTableIds[i] == id) return State().accelerators[i];
    }
    return nullptr;
}

FrameServiceTable& FrameServices()
{
    static FrameServiceTable services;
    return services;
}

void RefreshToolButtonStates()
{
    if (const auto& refresh = FrameServices().refreshToolButtonStates) refresh();
}

}  // namespace kq5
