#pragma once
// A started frame on the headless screen, as the program starts it: classes, frame, accelerator
// tables, the start-up sequence and the first circuit window, driven by injected input through the
// program's own message processing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/app_state.h"
#include "ui/frame_state.h"
#include "ui/color_table.h"
#include "app/global_settings.h"
#include "ui/help_bar.h"
#include "app/info_dialogs.h"
#include "app/message_loop.h"
#include "ui/preference_values.h"
#include "document/title_block.h"
#include "ui/tool_button_table.h"
#include "ui/tool_buttons.h"
#include "document/settings_file.h"
#include "ui/usage_file.h"
#include "app/startup.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "document/circuit_file.h"
#include "document/document_services.h"
#include "netlist/model_library_lookup.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {

// Handles every queued message through the program's message processing, as its loop does.
inline int PumpFrameMessages()
{
    int count = 0;
    win::MSG message{};
    while (count < 20000 && win::PeekMessage(&message, nullptr, 0, 0, win::PM_REMOVE)) {
        if (message.message == win::WM_QUIT) break;
        ProcessMessage(message);
        ++count;
    }
    return count;
}

// What reaches the frame's window procedure: the commands and the popups brought up to date.
struct FrameSpy {
    std::vector<int> commands;
    std::vector<win::HMENU> popups;
    win::WNDPROC original = nullptr;
};

inline FrameSpy& Spy()
{
    static FrameSpy spy;
    return spy;
}

inline win::LRESULT SpyFrameProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_COMMAND) Spy().commands.push_back(static_cast<int>(wParam & 0xFFFF));
    if (msg == win::WM_INITMENUPOPUP) Spy().popups.push_back(reinterpret_cast<win::HMENU>(wParam));
    return win::CallWindowProc(Spy().original, hwnd, msg, wParam, lParam);
}

inline void SpyOnFrame(win::HWND frame)
{
    Spy() = FrameSpy{};
    Spy().original = reinterpret_cast<win::WNDPROC>(
        win::SetWindowLongPtr(frame, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(SpyFrameProc)));
}

inline void ResetFrameTestState()
{
    ResetSchematicDrawingForTests();
    ResetAppStateForTests();
    ResetFrameStateForTests();
    ResetDocumentServicesForTests();
    ResetAnalysisStateForTests();
    ResetRunControlForTests();
    ResetCircuitFileStateForTests();
    ResetFileUnitsForTests();
    ResetSettingsFileForTests();
    ResetSettingsSectionsForTests();
    ResetUsageForTests();
    ResetPreferenceValuesForTests();
    ResetColorTableForTests();
    ResetGlobalSettingsForTests();
    ResetTitleBlockForTests();
    ResetCalculatorForTests();
    ResetHelpBarForTests();
    ResetDockedBarsForTests();
    ResetToolButtonRowsForTests();
    win::ClearMessageBoxLog();
}

class StartedFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(1024, 768);
        InitCharClasses();
        ResetFrameTestState();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-frame-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        Settings().workingDirectory = dir_.string() + "/";
    }

    void TearDown() override
    {
        CloseFrameNow();
        UnregisterWindowClasses();
        win::ResetPlatformForTests(1024, 768);
        ResetFrameTestState();
        // The libraries found in this test's folder go with it.
        ResetLibraryStateForTests();
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
    }

    // Starts the program as WinMain does, with the data path in the test's directory.
    void Start(const std::vector<std::string>& words = {})
    {
        // The shape and component libraries lie beside the program; start-up fails without them.
        const std::filesystem::path built = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        for (const char* library : {"shape.kq5", "comp.kq5"}) {
            std::error_code error;
            std::filesystem::copy_file(built / library, dir_ / library, std::filesystem::copy_options::overwrite_existing, error);
        }
        SetDataPathFromCommandLine(dir_.string() + "/kq5", dir_.string());
        const StartupCommandLine line = ReadCommandLine(words);
        ASSERT_TRUE(InitApplication());
        ASSERT_TRUE(InitInstance(line, win::SW_SHOWMAXIMIZED));
        OpenFirstCircuitWindow();
        PumpFrameMessages();
    }

    // Started, with the first circuit window as the active child.
    WindowRecord* StartWithSchematic()
    {
        Start();
        WindowRecord* schematic = GetActiveChildRecord();
        EXPECT_NE(schematic, nullptr);
        return schematic;
    }

    // Closes the frame without a question, as the end of a test needs.
    void CloseFrameNow()
    {
        if (Frame().frame == nullptr) return;
        for (const auto& record : WindowRecords().records) record->modified = 0;
        win::DestroyWindow(Frame().frame);
        PumpFrameMessages();
    }

    win::HWND FrameWindow() const { return Frame().frame; }

    std::filesystem::path dir_;
};

}  // namespace kq5::testing
