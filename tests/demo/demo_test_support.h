#pragma once
// A started program that plays demo scripts through the real player on the headless test
// clock: scripts assembled from text in the test (or taken from the build), played until the
// player lets go.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "app/demo_player.h"
#include "app/demo_script.h"
#include "platform/headless_backend.h"
#include "platform/message_box.h"

namespace kq5::testing {

inline std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class DemoTest : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        ResetDemoPlayerForTests();
    }
    void TearDown() override
    {
        if (DemoPlaying()) StopDemo(false);
        ResetDemoPlayerForTests();
        win::SetMessageBoxesShownHeadless(false);
        StartedFrame::TearDown();
    }

    // Assembles the text into a script file of the test's directory and makes it the one played.
    std::string UseScript(const std::string& text)
    {
        std::vector<std::uint8_t> script;
        const std::string error = AssembleDemoScript({{"test.txt", text}}, script);
        EXPECT_EQ(error, "");
        return UseBytes(EncodeDemoFile(script));
    }
    std::string UseBytes(const std::vector<std::uint8_t>& file)
    {
        const std::string path = (dir_ / "script.kq5").string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        out.close();
        SetDemoScriptPathForTests(path);
        return path;
    }
    // A script of the build (tests/e2e/<name>.txt assembled into e2e/<name>.kq5).
    static std::string BuiltScript(const std::string& relative)
    {
        return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / relative).string();
    }

    // Plays on the test clock until the demo has ended (true) or the time is up (false).
    static bool PlayToEnd(int simulatedMs = 3'600'000)
    {
        auto& backend = static_cast<win::HeadlessBackend&>(win::CurrentBackend());
        for (int elapsed = 0; DemoPlaying() && elapsed < simulatedMs; elapsed += 10) {
            PumpFrameMessages();
            if (!DemoPlaying()) break;
            backend.Advance(10);
        }
        PumpFrameMessages();
        return !DemoPlaying();
    }
    // Plays for a while only.
    static void PlayFor(int simulatedMs) { PlayToEndWithin(simulatedMs); }
    static void PlayToEndWithin(int simulatedMs) { PlayToEnd(simulatedMs); }

    static std::vector<std::string> BoxTexts()
    {
        std::vector<std::string> texts;
        for (const auto& box : win::MessageBoxLog()) texts.push_back(box.text);
        return texts;
    }
};

}  // namespace kq5::testing
