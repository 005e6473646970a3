#pragma once
// A model library window opened headless over a .LBR file the test writes into its scratch
// directory (the working directory of the test), and helpers to reach its controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../netlist/library_test_support.h"
#include "ui/window_record.h"
#include "document/circuit_file.h"
#include "document/circuit_file_sectioned.h"
#include "netlist/binary_library.h"
#include "netlist/model_library_window.h"
#include "netlist/model_types.h"
#include "platform/controls.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace kq5::testing {

struct ModelSpec {
    std::string name;
    int type;
    std::string memo;
    std::vector<std::pair<std::string, float>> values;  // parameters set besides the defaults
};

class ModelLibraryWindowTest : public LibraryTest {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(800, 600);
        LibraryTest::SetUp();
        ResetModelEditorsForTests();
        ResetModelCommandsForTests();
    }
    void TearDown() override
    {
        CloseAll();
        ResetModelEditorsForTests();
        ResetModelCommandsForTests();
        LibraryTest::TearDown();
        win::ResetPlatformForTests(800, 600);
    }

    static void CloseAll()
    {
        std::vector<win::HWND> windows;
        for (const std::unique_ptr<ModelLibrary>& library : Libraries().windows)
            if (library->record && library->record->window) windows.push_back(library->record->window);
        for (win::HWND window : windows)
            if (win::IsWindow(window)) win::DestroyWindow(window);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    // Writes a library of the models (defaults, then the given values) under the name.
    void WriteLibrary(const std::string& name, const std::vector<ModelSpec>& models)
    {
        ModelLibrary library;
        for (const ModelSpec& spec : models) {
            ModelLibraryEntry* entry = NewLibraryEntry(library, spec.type);
            ASSERT_NE(entry, nullptr);
            for (std::size_t i = 0; i < entry->params.size(); ++i)
                if (const ModelParamDesc* desc = FindModelParamDesc(spec.type, static_cast<int>(i)))
                    entry->params[i] = desc->defaultValue;
            for (const auto& [param, value] : spec.values)
                entry->params[static_cast<std::size_t>(FindModelParamIndex(spec.type, param))] = value;
            entry->name = spec.name;
            entry->memo = spec.memo;
        }
        ASSERT_EQ(SaveModelLibrary(library, PathOf(name)), 0);
        ReleaseModelLibrary(library);
    }

    WindowRecord* Open(const std::string& name)
    {
        WindowRecord* record = OpenModelLibraryDocument(PathOf(name));
        if (record && record->window) {
            win::MoveWindow(record->window, 0, 0, 780, 520, 1);
            win::ShowWindow(record->window, win::SW_SHOW);
            win::headless::RunUntilIdle();
        }
        return record;
    }

    static ModelLibrary& LibraryOf(WindowRecord* record) { return *ModelLibraryOf(record); }

    static win::HWND Control(WindowRecord* record, int id) { return win::GetDlgItem(record->window, id); }
    static std::string TextOf(WindowRecord* record, int id) { return win::GetWindowText(Control(record, id)); }
    static bool Visible(WindowRecord* record, int id) { return win::IsWindowVisible(Control(record, id)) != 0; }

    static std::vector<std::string> NameList(WindowRecord* record)
    {
        std::vector<std::string> names;
        win::HWND list = Control(record, kModelNameList);
        const auto count = win::SendMessage(list, win::LB_GETCOUNT, 0, 0);
        for (win::LRESULT i = 0; i < count; ++i) {
            std::string text(static_cast<std::size_t>(win::SendMessage(list, win::LB_GETTEXTLEN, static_cast<win::WPARAM>(i), 0)), '\0');
            win::SendMessage(list, win::LB_GETTEXT, static_cast<win::WPARAM>(i), reinterpret_cast<win::LPARAM>(text.data()));
            names.push_back(text.c_str());
        }
        return names;
    }

    // The panel row that shows the parameter (scrolled into view), or -1.
    static int RowOf(WindowRecord* record, const std::string& param)
    {
        if (GoToModelParameter(record, param) < 0) return -1;
        const int id = win::GetDlgCtrlID(win::GetFocus());
        return id >= kModelParamFieldBase && id < kModelParamFieldBase + kModelParamRows ? id - kModelParamFieldBase : -1;
    }

    // Enters a value as the user would: the field's text, then the focus moves away.
    static int EnterValue(WindowRecord* record, const std::string& param, const std::string& text)
    {
        const int row = RowOf(record, param);
        if (row < 0) return -1;
        win::SetWindowText(Control(record, kModelParamFieldBase + row), text.c_str());
        return StoreEditedParam(record, row);
    }

    static float ValueOf(const ModelLibraryEntry& entry, int type, const std::string& param)
    {
        return entry.params[static_cast<std::size_t>(FindModelParamIndex(type, param))];
    }

    std::vector<std::string> Names(const ModelLibrary& library, int type) const
    {
        std::vector<std::string> names;
        for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries))
            if (entry.type == type) names.push_back(entry.name);
        return names;
    }

    static bool Shown(int id)
    {
        const std::vector<int> ids = ShownMessageIds();
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }
};

}  // namespace kq5::testing
