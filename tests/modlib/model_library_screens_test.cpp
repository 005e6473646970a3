// Screens of the model library window and its dialogs, for looking at.
#include <cstdlib>
#include <filesystem>

#include "../app/screen_test_support.h"
#include "../netlist/spice_test_support.h"
#include "ui/dialog_services.h"
#include "ui/program_settings.h"
#include "netlist/binary_library.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_library_window.h"
#include "netlist/model_types.h"
#include "platform/dialog.h"
#include "platform/window.h"

namespace kq5::testing {
namespace {

class ModelLibraryScreens : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        ResetNetlistWorld();
        ResetModelEditorsForTests();
        ResetModelCommandsForTests();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-modlib-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        savedWorking_ = Settings().workingDirectory;
        Settings().workingDirectory = dir_.string() + "/";
        WriteSampleLibrary();
    }
    void TearDown() override
    {
        std::vector<win::HWND> windows;
        for (const std::unique_ptr<ModelLibrary>& library : Libraries().windows)
            if (library->record && library->record->window) windows.push_back(library->record->window);
        for (win::HWND window : windows)
            if (win::IsWindow(window)) win::DestroyWindow(window);
        ResetModelEditorsForTests();
        ResetModelCommandsForTests();
        ResetNetlistWorld();
        Settings().workingDirectory = savedWorking_;
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        ScreenTest::TearDown();
    }

    void WriteSampleLibrary()
    {
        ModelLibrary library;
        const struct {
            const char* name;
            int type;
            const char* memo;
        } models[] = {{"Q2N2222", kModelNpn, "NPN general purpose"}, {"Q2N3904", kModelNpn, "small signal"},
                      {"Q2N4401", kModelNpn, ""}, {"D1N4148", kModelDiode, "switching diode"}};
        for (const auto& m : models) {
            ModelLibraryEntry* entry = NewLibraryEntry(library, m.type);
            ASSERT_NE(entry, nullptr);
            for (std::size_t i = 0; i < entry->params.size(); ++i)
                if (const ModelParamDesc* desc = FindModelParamDesc(m.type, static_cast<int>(i))) entry->params[i] = desc->defaultValue;
            entry->name = m.name;
            entry->memo = m.memo;
        }
        ASSERT_EQ(SaveModelLibrary(library, (dir_ / "sample.lbr").string()), 0);
        ReleaseModelLibrary(library);
    }

    WindowRecord* OpenSample()
    {
        WindowRecord* record = OpenModelLibraryDocument((dir_ / "sample.lbr").string());
        if (record && record->window) {
            win::MoveWindow(record->window, 0, 0, 790, 560, 1);
            win::ShowWindow(record->window, win::SW_SHOW);
            SelectModelType(record, kModelNpn);
        }
        return record;
    }

    // Shoots the dialog the command opens, then cancels it.
    void ShootDialog(WindowRecord* record, const std::string& name, const std::function<void()>& open)
    {
        bool shown = false;
        Script([&] {
            shown = CurrentDialog() != nullptr;
            win::CurrentBackend().Present(true);
            SaveScreen(name);
        });
        Script([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, win::IDCANCEL, 0); });
        open();
        EXPECT_TRUE(shown) << name;
        EXPECT_TRUE(std::filesystem::exists(ScreensDirectory() / (name + ".png")));
        (void)record;
    }

    std::filesystem::path dir_;
    std::string savedWorking_;
};

TEST_F(ModelLibraryScreens, WindowAndDialogs)
{
    WindowRecord* record = OpenSample();
    ASSERT_NE(record, nullptr);
    SelectModelInList(record, 1);
    GoToModelParameter(record, "VAF");
    const std::string file = Shoot("model_library_window");
    EXPECT_TRUE(std::filesystem::exists(file));

    ShootDialog(record, "model_library_copy_dialog", [&] { ModelEditorCommand(record, kModelCopyButton); });
    ShootDialog(record, "model_library_goto_dialog", [&] { ModelEditorCommand(record, kModelGoToButton); });
    ShootDialog(record, "model_library_find_dialog", [&] { FindModelNameCommand(record); });
}

}  // namespace
}  // namespace kq5::testing
