#pragma once
// Screenshots of the program's windows for looking at: the screen is shown through SDL2 when a
// display is there (under xvfb-run in the test runs) and kept headless otherwise; either way the
// layer's screen image is written as a PNG into screens/ next to the test program. Modal loops
// (menus, dialogs) run the steps of a script whenever they would wait for input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "screen_capture_support.h"
#include "platform/backend.h"
#include "platform/headless_backend.h"
#include "platform/message.h"
#include "platform/screen.h"
#include "platform/sdl_backend.h"

extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace kq5::testing {

class ScriptedBackend : public win::Backend {
public:
    explicit ScriptedBackend(std::unique_ptr<win::Backend> inner) : inner_(std::move(inner)) {}
    win::BackendKind Kind() const override { return inner_->Kind(); }
    win::DWORD Now() override { return inner_->Now(); }
    win::DWORD TickCount() override { return inner_->TickCount(); }
    void QueueRead() override { inner_->QueueRead(); }
    void PumpEvents() override { inner_->PumpEvents(); }
    bool WaitForEvents(int timeoutMs) override
    {
        if (!steps.empty()) {
            auto step = std::move(steps.front());
            steps.pop_front();
            step();
            return true;
        }
        return inner_->WaitForEvents(timeoutMs);
    }
    void Present(bool force) override { inner_->Present(force); }
    void CursorChanged(win::HCURSOR cursor) override { inner_->CursorChanged(cursor); }

    std::deque<std::function<void()>> steps;

private:
    std::unique_ptr<win::Backend> inner_;
};

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (__lsan_disable) __lsan_disable();  // SDL and the X libraries keep what they never free
        win::ResetPlatformForTests(kWidth, kHeight);
        std::unique_ptr<win::Backend> inner;
        if (win::DisplayAvailable()) {
            win::PlatformOptions options;
            options.width = kWidth;
            options.height = kHeight;
            inner = win::CreateSdlBackend(options);
        }
        if (!inner) inner = std::make_unique<win::HeadlessBackend>();
        auto scripted = std::make_unique<ScriptedBackend>(std::move(inner));
        backend_ = scripted.get();
        win::SetBackend(std::move(scripted));
    }
    void TearDown() override
    {
        win::ResetPlatformForTests();
        if (__lsan_enable) __lsan_enable();
    }

    void Script(std::function<void()> step) { backend_->steps.push_back(std::move(step)); }

    static void Pump()
    {
        win::MSG msg;
        while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
            win::TranslateMessage(&msg);
            win::DispatchMessage(&msg);
        }
    }

    // Writes the screen as it is now; returns the file written.
    static std::string Shoot(const std::string& name)
    {
        Pump();
        win::CurrentBackend().Present(true);
        SaveScreen(name);
        return (ScreensDirectory() / (name + ".png")).string();
    }

    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

private:
    ScriptedBackend* backend_ = nullptr;
};

}  // namespace kq5::testing
