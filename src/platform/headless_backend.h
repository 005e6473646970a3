#pragma once
// The headless backend object (the driver functions are in platform/headless.h).
#include <functional>

#include "platform/backend.h"

namespace win {

class HeadlessBackend : public Backend {
public:
    BackendKind Kind() const override { return BackendKind::Headless; }
    DWORD Now() override { return clock_; }
    DWORD TickCount() override {
        if (++spin_ > kSpinCalls) ++clock_;
        return clock_;
    }
    void QueueRead() override { spin_ = 0; }
    void PumpEvents() override {}
    bool WaitForEvents(int timeoutMs) override;
    void Present(bool force) override {}
    void CursorChanged(HCURSOR cursor) override {}

    void Advance(DWORD ms) { clock_ += ms; }
    void SetIdleHandler(std::function<bool()> handler) { idle_ = std::move(handler); }

private:
    static constexpr int kSpinCalls = 100;
    DWORD clock_ = 0;
    int spin_ = 0;
    std::function<bool()> idle_;
    bool inIdle_ = false;
};

}  // namespace win
