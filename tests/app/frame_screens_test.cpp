// The frame on a real X display through the SDL2 backend (run under xvfb-run): screenshots of the
// frame into build/screens/, and a capture of the X screen made with xwd that must show exactly
// what the layer drew.
#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include <chrono>
#include <cstdlib>

#include "app/command_routing.h"
#include "app/frame_window.h"
#include "ui/help_bar.h"
#include "app/menus.h"
#include "ui/tool_buttons.h"
#include "frame_test_support.h"
#include "../platform/private_x_server.h"
#include "platform/menu.h"
#include "platform/screen.h"
#include "screen_capture_support.h"

extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace kq5::testing {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

std::uint32_t LayerPixel(int x, int y)
{
    const win::COLORREF c = win::ScreenPixel(x, y);
    return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The share of the layer's screen found unchanged in the capture, at the best placement of the
// desktop window on the X screen.
double BestMatch(const XwdImage& capture)
{
    double best = 0.0;
    for (int oy = 0; oy + kScreenHeight <= capture.height; ++oy) {
        for (int ox = 0; ox + kScreenWidth <= capture.width; ++ox) {
            // Quick rejection on a few pixels of the diagonal.
            bool candidate = true;
            for (int i = 0; i < 8 && candidate; ++i) {
                const int x = i * (kScreenWidth - 1) / 7, y = i * (kScreenHeight - 1) / 7;
                candidate = capture.At(ox + x, oy + y) == LayerPixel(x, y);
            }
            if (!candidate) continue;
            long same = 0;
            for (int y = 0; y < kScreenHeight; ++y) {
                for (int x = 0; x < kScreenWidth; ++x) same += capture.At(ox + x, oy + y) == LayerPixel(x, y);
            }
            best = std::max(best, static_cast<double>(same) / (kScreenWidth * kScreenHeight));
            if (best == 1.0) return best;
        }
    }
    return best;
}

std::string gShotName;
bool gShot = false;

// Inside the menu's own loop: the picture of the open menu, then Esc twice to leave it.
void ShootOpenMenu(win::HWND hwnd, win::UINT, win::UINT_PTR id, win::DWORD)
{
    win::KillTimer(hwnd, id);
    win::CurrentBackend().Present(true);
    gShot = win::IsMenuTracking() && SaveScreen(gShotName);
    win::headless::PressKey(win::VK_ESCAPE);
    win::headless::PressKey(win::VK_ESCAPE);
}

using test::PrivateXServer;

class FrameOnDisplay : public StartedFrame {
protected:
    void SetUp() override
    {
        if (__lsan_disable) __lsan_disable();
        StartedFrame::SetUp();
        ASSERT_TRUE(win::DisplayAvailable()) << "these tests need an X display: run them under xvfb-run";
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        win::PlatformOptions options;
        options.width = kScreenWidth;
        options.height = kScreenHeight;
        ASSERT_EQ(win::InitPlatform(options), win::BackendKind::Sdl);
        Start();
    }

    void TearDown() override
    {
        StartedFrame::TearDown();
        if (__lsan_enable) __lsan_enable();
    }

    void Show()
    {
        PumpFrameMessages();
        win::CurrentBackend().Present(true);
        SDL_PumpEvents();
        usleep(300 * 1000);
    }
};

TEST_F(FrameOnDisplay, TheMainBarOnEachEdgeAndFloatingAndTheHelpBarOnAndOff)
{
    DockedBar& bar = DockedBars()[0];
    ASSERT_NE(bar.window, nullptr);
    const std::pair<int, const char*> places[] = {
        {kBarTop, "top"}, {kBarLeft, "left"}, {kBarRight, "right"}, {kBarBottom, "bottom"}, {kBarFloating, "floating"}};
    for (const auto& [pos, name] : places) {
        bar.pos = pos;
        RelayoutFrame();
        Show();
        EXPECT_TRUE(SaveScreen(std::string("frame_bar_") + name)) << name;
        win::RECT client{}, tools{};
        win::GetWindowRect(Frame().mdiClient, &client);
        win::GetWindowRect(bar.window, &tools);
        // A docked bar and the client share one edge; a floating bar stands over the client.
        if (pos == kBarTop) { EXPECT_EQ(client.top, tools.bottom); }
        if (pos == kBarLeft) { EXPECT_EQ(client.left, tools.right); }
        if (pos == kBarRight) { EXPECT_EQ(client.right, tools.left + 1); }
        if (pos == kBarBottom) { EXPECT_EQ(client.bottom, tools.top + 1); }
    }
    bar.pos = kBarTop;
    RelayoutFrame();
    ASSERT_TRUE(HelpBarOption());
    Show();
    EXPECT_TRUE(SaveScreen("frame_helpbar_on"));
    RouteCommand(FrameWindow(), 17540, 0);
    Show();
    EXPECT_TRUE(SaveScreen("frame_helpbar_off"));
    EXPECT_FALSE(win::IsWindowVisible(FrameHelpBar().window));
}

TEST_F(FrameOnDisplay, EveryMenuOfTheBarOpened)
{
    win::HMENU bar = Menus().main;
    int shots = 0;
    for (int i = 0; i < win::GetMenuItemCount(bar); ++i) {
        std::string text = win::GetMenuString(bar, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        const std::size_t amp = text.find('&');
        if (win::GetSubMenu(bar, i) == nullptr || amp == std::string::npos) continue;
        text.erase(amp, 1);
        gShotName = "frame_menu_" + text;
        gShot = false;
        win::SetTimer(FrameWindow(), 0x5151, 100, ShootOpenMenu);
        win::headless::PressKeyWithModifiers(std::toupper(static_cast<unsigned char>(text[amp])), false, false, true);
        Show();
        EXPECT_TRUE(gShot) << text;
        shots += gShot;
    }
    EXPECT_EQ(shots, 9);
}

// The frame alone on an X server of its own, captured with xwd until the capture shows it.
class FrameOnPrivateDisplay : public FrameOnDisplay {
protected:
    void SetUp() override
    {
        // ctest runs this test alone and inside the whole suite at the same time; two private
        // servers captured at once have been seen to show nothing, so they take turns.
        lock_ = ::open((std::filesystem::temp_directory_path() / "kq5-private-x.lock").c_str(), O_CREAT | O_RDWR, 0666);
        if (lock_ >= 0) ::flock(lock_, LOCK_EX);
        if (const char* display = std::getenv("DISPLAY")) sharedDisplay_ = display;
        ASSERT_TRUE(server_.Start()) << "Xvfb (Debian package xvfb) is needed";
        setenv("DISPLAY", server_.Display().c_str(), 1);
        FrameOnDisplay::SetUp();
    }
    void TearDown() override
    {
        FrameOnDisplay::TearDown();
        if (sharedDisplay_.empty()) unsetenv("DISPLAY");
        else setenv("DISPLAY", sharedDisplay_.c_str(), 1);
        server_.Stop();
        if (lock_ >= 0) ::close(lock_);  // closing drops the lock
    }
    int lock_ = -1;
    PrivateXServer server_;
    std::string sharedDisplay_;
};

TEST_F(FrameOnPrivateDisplay, TheXScreenShowsWhatTheLayerDrew)
{
    double match = 0.0;
    // Now and then, on a loaded machine, the private server shows nothing at all for as long as
    // one waits (the whole screen stays black); a new server and a new start of the frame then
    // show it at once. So a few starts are tried, each waited for by the clock.
    for (int start = 0; start < 3 && match < 0.999; ++start) {
        if (start > 0) {
            TearDown();
            SetUp();
        }
        Show();
        ASSERT_TRUE(SaveScreen("frame"));
        // Its own dump: ctest runs this test alone and inside the whole suite at the same time.
        const std::string dump = (ScreensDirectory() / ("x-screen-" + std::to_string(getpid()) + ".xwd")).string();
        const std::string command = "xwd -root -silent -display '" + server_.Display() + "' -out '" + dump + "'";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (match < 0.999 && std::chrono::steady_clock::now() < deadline) {
            ASSERT_EQ(std::system(command.c_str()), 0) << "xwd (Debian package x11-apps) is needed: " << command;
            XwdImage capture;
            ASSERT_TRUE(ReadXwd(dump, capture));
            ASSERT_GE(capture.width, kScreenWidth);
            ASSERT_GE(capture.height, kScreenHeight);
            match = BestMatch(capture);
            if (match < 0.999) Show();
        }
        // A failed capture stays beside the screenshots, to be looked at.
        if (match < 0.999) std::rename(dump.c_str(), (ScreensDirectory() / "x-screen-failed.xwd").c_str());
        else std::remove(dump.c_str());
    }
    EXPECT_GE(match, 0.999);
}

}  // namespace
}  // namespace kq5::testing
