// Window pictures: a schematic page exported as a placeable metafile (read back by wmf2svg and by
// our own picture loader), the clipboard's picture block, refused names and failed writes, and
// the Picture dialog driven headless.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../app/screen_capture_support.h"
#include "../platform/control_test_support.h"
#include "../platform/external_tool_support.h"
#include "app/frame_state.h"
#include "app/prompt_dialog.h"
#include "document/component_attributes.h"
#include "platform/clipboard.h"
#include "platform/common_dialogs_file.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_mapping.h"
#include "platform/global_memory.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/metafile.h"
#include "schematic/editor_services.h"
#include "schematic/graphic_objects.h"
#include "schematic/window_pictures.h"
#include "schematic_test_support.h"

namespace kq5::testing {
namespace {

class WindowPictures : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        record_->document->viewOptions = kViewGridText;
        dir_ = std::filesystem::temp_directory_path() / ("kq5_pictures_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        record_->title = (dir_ / "divider.cir").string();
        AddItem(record_, kItemWire, 2, 2, 60, 2);
        AddItem(record_, kItemWire, 60, 2, 60, 40);
        AddText(record_, "DIVIDER", 10, 20);
        Frame().frame = record_->window;
    }
    void TearDown() override
    {
        Frame().frame = nullptr;
        win::ResetCommonDialogsForTests();
        std::filesystem::remove_all(dir_);
        SchematicWindowTest::TearDown();
    }
    static std::vector<unsigned char> ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static int Word(const std::vector<unsigned char>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

    std::filesystem::path dir_;
};

TEST_F(WindowPictures, APageExportsAsAPlaceableFileThatOtherReadersAndOurPicturesRead)
{
    ASSERT_TRUE(win::testing::ToolInstalled("wmf2svg")) << "wmf2svg is not installed (Debian package libwmf-bin)";
    const std::string wmf = (dir_ / "divider.wmf").string();
    win::ScriptFileDialogAnswer(wmf);
    CopyWindowPicture(record_, kCommandPictureToFile);
    ASSERT_TRUE(std::filesystem::exists(wmf));
    const std::vector<unsigned char> bytes = ReadAll(wmf);
    ASSERT_GT(bytes.size(), 40u);
    EXPECT_EQ(Word(bytes, 0) | (Word(bytes, 2) << 16), 0x9AC6CDD7);
    // The box is the page's extent in drawing units, the units per inch the display's.
    const win::RECT& extent = record_->document->pages[0].extent;
    EXPECT_EQ(Word(bytes, 6), extent.left);
    EXPECT_EQ(Word(bytes, 10), extent.right);
    EXPECT_EQ(Word(bytes, 12), extent.bottom);
    EXPECT_GE(extent.right, 60 * kDrawUnitsPerGrid);
    win::HDC screen = win::GetDC(record_->window);
    EXPECT_EQ(Word(bytes, 14), win::GetDeviceCaps(screen, win::LOGPIXELSX));
    win::ReleaseDC(record_->window, screen);
    int checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) checksum ^= Word(bytes, i);
    EXPECT_EQ(Word(bytes, 20), checksum);

    const std::string svg = (dir_ / "divider.svg").string();
    std::string log;
    EXPECT_EQ(win::testing::RunCommand("wmf2svg -o '" + svg + "' '" + wmf + "'", log), 0) << log;
    std::ifstream in(svg);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("DIVIDER"), std::string::npos);

    // The file placed as a picture loads with the same box.
    win::RECT bounds{};
    win::HMETAFILE back = LoadPlaceableMetafile(wmf, bounds);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(bounds.right, extent.right);
    win::DeleteMetaFile(back);
}

TEST_F(WindowPictures, TheClipboardGetsAPictureBlockSizedInHundredthsOfAMillimetre)
{
    CopyWindowPicture(record_, kCommandPictureToClipboard);
    ASSERT_TRUE(win::OpenClipboard(nullptr));
    win::ClipboardHandle data = win::GetClipboardData(win::CF_METAFILEPICT);
    ASSERT_NE(data, nullptr);
    win::METAFILEPICT block;
    std::memcpy(&block, win::GlobalBytes(data).data(), sizeof block);
    win::CloseClipboard();
    const win::RECT& extent = record_->document->pages[0].extent;
    EXPECT_EQ(block.mm, win::MM_ANISOTROPIC);
    EXPECT_EQ(block.xExt, PixelsToHimetricX(extent.right - extent.left));
    EXPECT_EQ(block.yExt, PixelsToHimetricY(extent.bottom - extent.top));
    EXPECT_TRUE(win::IsValidMetaFile(block.hMF));
}

TEST_F(WindowPictures, OnlyWmfNamesAreWrittenAndAFailedWriteIsReported)
{
    const std::string png = (dir_ / "divider.png").string();
    win::ScriptFileDialogAnswer(png);
    CopyWindowPicture(record_, kCommandPictureToFile);
    EXPECT_FALSE(std::filesystem::exists(png));
    EXPECT_TRUE(win::MessageBoxLog().empty());

    // A folder that does not exist: reported with the file's name, nothing left behind.
    const std::string missing = (dir_ / "no" / "such" / "picture.wmf").string();
    win::HDC dc = win::CreateMetaFile(nullptr);
    win::MoveToEx(dc, 0, 0, nullptr);
    win::LineTo(dc, 100, 100);
    win::HMETAFILE mf = win::CloseMetaFile(dc);
    EXPECT_EQ(WritePlaceableMetafile(mf, missing, win::RECT{0, 0, 100, 100}, 96), 0);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("picture.wmf"), std::string::npos);
    // An existing picture survives a failed rewrite.
    const std::string kept = (dir_ / "kept.wmf").string();
    ASSERT_EQ(WritePlaceableMetafile(mf, kept, win::RECT{0, 0, 100, 100}, 96), 1);
    const auto before = ReadAll(kept);
    std::filesystem::create_directory(kept + ".part");  // the temporary cannot be made
    EXPECT_EQ(WritePlaceableMetafile(mf, kept, win::RECT{0, 0, 50, 50}, 96), 0);
    EXPECT_EQ(ReadAll(kept), before);
    win::DeleteMetaFile(mf);
}

TEST_F(WindowPictures, ThePictureDialogEditsFileBorderFillAndWeight)
{
    SchematicItem* picture = AddItem(record_, kItemGraphicObject, 5, 5, 30, 20, kObjectPicture | kStyleFill);
    picture->color = 3;
    picture->fillColor = 7;
    SetAttribute(record_, picture, kAttrFile, "old.wmf");
    const std::string chosen = (dir_ / "logo.wmf").string();
    { std::ofstream(chosen) << "x"; }
    std::string shownFile;
    bool fillNone = true, borderNone = false;
    win::testing::InputScript script;
    auto item = [](int id) { return win::GetDlgItem(win::GetActiveWindow(), id); };
    script
        .Then([&] {
            shownFile = win::GetDlgItemText(win::GetActiveWindow(), kPictureFileField);
            fillNone = win::IsDlgButtonChecked(win::GetActiveWindow(), kPictureFillNone) == win::BST_CHECKED;
            borderNone = win::IsDlgButtonChecked(win::GetActiveWindow(), kPictureBorderNone) == win::BST_CHECKED;
            win::ScriptFileDialogAnswer(chosen);
            win::testing::ClickCenter(item(kPictureBrowse));
        })
        .Then([&] {
            // Border on in colour 12, fill off, weight "3".
            win::testing::ClickCenter(item(kPictureBorderNone));
            win::testing::ClickCenter(item(kFirstBorderColorButton + 12));
            win::testing::ClickCenter(item(kPictureFillNone));
            win::SendMessage(item(kPictureWeight), win::CB_SETCURSEL, 2, 0);
        })
        .Then([&] {
            SaveScreen("picture_dialog");
            win::testing::ClickCenter(item(win::IDOK));
        });
    script.Install();
    SetPromptDialogsShownHeadless(true);
    EXPECT_EQ(EditGraphicObjectDialog(record_, picture), 1);
    SetPromptDialogsShownHeadless(false);
    EXPECT_EQ(shownFile, "old.wmf");
    EXPECT_FALSE(fillNone);
    EXPECT_TRUE(borderNone);
    EXPECT_EQ(GetAttributeText(picture, kAttrFile), chosen);
    EXPECT_EQ(picture->style & kStyleFill, 0);
    EXPECT_EQ(picture->style & kPictureBorder, kPictureBorder);
    EXPECT_EQ(picture->style & kPictureWeightMask, 0x8);
    EXPECT_EQ(picture->color, 12);
    EXPECT_EQ(picture->ObjectKind(), kObjectPicture);
    EXPECT_EQ(record_->modified, 1);
}

}  // namespace
}  // namespace kq5::testing
