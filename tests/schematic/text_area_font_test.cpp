// The text area is a fixed-pitch editor: a new circuit window's text area draws in the document's
// text font (the Courier New of the defaults) and a loaded circuit's in the font its file gives.
#include "schematic_test_support.h"

#include <filesystem>

#include "core/font_description.h"
#include "document/preferences.h"
#include "document/text_area.h"
#include "document/text_editor.h"
#include "document/circuit_file.h"
#include "platform/font.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/text.h"

namespace kq5::testing {
namespace {

class TextAreaFont : public SchematicTest {
protected:
    void SetUp() override
    {
        SchematicTest::SetUp();
        SetPreferenceDefaults();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-font-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        SchematicTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    // The face and cell width of the font the record's editor draws in.
    static std::string EditorFace(WindowRecord* record, int* narrow = nullptr, int* wide = nullptr)
    {
        TxtEditRecord* editor = GetTxtEditRecord(record->document->textAreaWindow);
        if (editor == nullptr || editor->font == nullptr) return {};
        win::HDC dc = win::GetDC(nullptr);
        win::HGDIOBJ old = win::SelectObject(dc, editor->font);
        const std::string face = win::GetTextFace(dc);
        win::SIZE i{}, m{};
        win::GetTextExtentPoint32(dc, "iiii", 4, &i);
        win::GetTextExtentPoint32(dc, "MMMM", 4, &m);
        win::SelectObject(dc, old);
        win::ReleaseDC(nullptr, dc);
        if (narrow) *narrow = i.cx;
        if (wide) *wide = m.cx;
        return face;
    }
    std::filesystem::path dir_;
};

TEST_F(TextAreaFont, NewWindowsDrawTheirTextInTheFixedPitchDefault)
{
    for (int kind : {kWindowSchematic, kWindowTextCircuit}) {
        WindowRecord* record = NewDocumentWindow(kind);
        ASSERT_NE(record, nullptr);
        int narrow = 0, wide = 0;
        EXPECT_EQ(EditorFace(record, &narrow, &wide), "Courier New") << kind;
        EXPECT_EQ(narrow, wide) << kind;
        EXPECT_EQ(record->font.face, FindFontFace("Courier New"));
        win::DestroyWindow(record->window);
    }
}

TEST_F(TextAreaFont, ALoadedCircuitShowsItsOwnTextFont)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    SetTextAreaText(record, ".PARAM A=1\r\n");
    record->document->numOutFont.height = -24;
    const std::string path = (dir_ / "font.cir").string();
    ASSERT_EQ(WriteCircuitFile(record, path, 0), 0);
    win::DestroyWindow(record->window);

    WindowRecord* loaded = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadDefaults, loaded), 0);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->font.height, -24);
    EXPECT_EQ(EditorFace(loaded), "Courier New");
    EXPECT_GT(GetTxtEditRecord(loaded->document->textAreaWindow)->lineHeight, 20);
    win::DestroyWindow(loaded->window);
}

}  // namespace
}  // namespace kq5::testing
