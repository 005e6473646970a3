#pragma once
// The Shape Editor's test fixture: the built shape library copied into a scratch directory, the
// editor run modally with the steps of a script, and mouse and keys on its drawing surface.
#include "../app/screen_test_support.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "core/message_reporter.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/headless.h"
#include "platform/dialog.h"
#include "platform/input.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "document/binary_io.h"
#include "schematic/object_editor.h"
#include "schematic/shape_area.h"
#include "schematic/shape_editor.h"
#include "shape_test_support.h"

namespace kq5::testing {

class ShapeEditorTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        InitCharClasses();
        win::ClearMessageBoxLog();
        ClearPromptDialogs();
        ResetShapeEditorForTests();
        options_ = Settings().operationalOptions;
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-shaped-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        LoadBuiltLibraries();
        path_ = dir_ / "shape.kq5";
        WriteBytes(path_, ReadBytes(BuiltLibrary("shape.kq5")));
        Shapes().path = path_.string();
        ASSERT_EQ(ReadShapeLibrary(Shapes().path, Shapes()), 0);
        SetCurrentShape(FindShapeByName("RESISTOR"));
    }
    void TearDown() override
    {
        Settings().operationalOptions = options_;
        ResetShapeEditorForTests();
        ResetShapeLibraryForTests();
        ResetComponentLibraryForTests();
        win::ClearMessageBoxLog();
        ClearPromptDialogs();
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
        ScreenTest::TearDown();
    }

    static win::HWND Dialog() { return ShapeEditor().dialog; }

    // The screen point of a canvas point on the drawing surface.
    static win::POINT Screen(int x, int y)
    {
        win::RECT r;
        win::GetWindowRect(ShapeEditor().area, &r);
        const win::POINT p = ShapePixelPoint(x, y);
        return win::POINT{r.left + 1 + p.x, r.top + 1 + p.y};
    }

    static void Drag(win::POINT from, win::POINT to)
    {
        win::InputMouseMove(from.x, from.y);
        win::InputMouseButton(win::MouseButton::Left, true);
        win::InputMouseMove((from.x + to.x) / 2, (from.y + to.y) / 2);
        win::InputMouseMove(to.x, to.y);
        win::InputMouseButton(win::MouseButton::Left, false);
    }

    static void Key(int vk, bool ctrl = false)
    {
        if (ctrl) win::InputKey(win::VK_CONTROL, true);
        win::InputKey(vk, true);
        win::InputKey(vk, false);
        if (ctrl) win::InputKey(win::VK_CONTROL, false);
    }

    // Runs the editor; the steps run in its modal loop, the last one should close it.
    void RunEditor() { OpenShapeEditor(nullptr); }

    std::filesystem::path dir_;
    std::filesystem::path path_;
    std::uint32_t options_ = 0;
};

}  // namespace kq5::testing
