// Window pictures: a schematic page exported as a placeable metafile (read back by wmf2svg and by
// our own picture loader), the clipboard's picture block, refused names and failed writes, and
// the Picture dialog driven headless.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../app/screen_capture_support.h"
#include "../platform/control_test_support.h"
#include "../platform/external_tool_support.h"
#include "ui/frame_state.h"
#include "ui/prompt_dialog.h"
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
#include "document/editor_services.h"
#include "schematic/graphic_objects.h"
#include "schematic/window_pictures.h"
#include "schematic_test_support.h"

namespace kq5::testing {
namespace {

struct TextRecord {
    std::string text;
    int x = 0;
    int y = 0;
};

struct WmfContents {
    win::RECT box{};
    std::vector<TextRecord> texts;
    std::vector<win::POINT> lineEnds;  // of MoveTo and LineTo records
};

int Signed(const std::vector<unsigned char>& b, std::size_t at)
{
    return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8));
}

// The placeable header's box and the text and line records of the file.
WmfContents ReadWmf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    WmfContents out;
    if (b.size() < 40) return out;
    const auto word = [&](std::size_t at) { return b[at] | (b[at + 1] << 8); };
    out.box = {word(6), word(8), word(10), word(12)};
    std::size_t at = 22 + 2 * static_cast<std::size_t>(word(22 + 2));
    while (at + 6 <= b.size()) {
        const std::size_t words = word(at) | (static_cast<std::size_t>(word(at + 2)) << 16);
        const int function = word(at + 4);
        if (words < 3 || at + 2 * words > b.size()) break;
        const std::size_t p = at + 6;
        if (function == 0x0213 || function == 0x0214) {
            out.lineEnds.push_back({Signed(b, p + 2), Signed(b, p)});
        } else if (function == 0x0521) {
            const int count = word(p);
            const std::size_t after = p + 2 + static_cast<std::size_t>((count + 1) / 2 * 2);
            out.texts.push_back({std::string(b.begin() + static_cast<long>(p + 2), b.begin() + static_cast<long>(p + 2 + count)),
                                 Signed(b, after + 2), Signed(b, after)});
        } else if (function == 0x0A32) {
            const int count = word(p + 4);
            const std::size_t text = p + 8 + ((word(p + 6) & 0x6) ? 8 : 0);
            out.texts.push_back({std::string(b.begin() + static_cast<long>(text), b.begin() + static_cast<long>(text + count)),
                                 Signed(b, p + 2), Signed(b, p)});
        }
        if (function == 0) break;
        at += 2 * words;
    }
    return out;
}

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
    // The file as wmf2svg reads it.
    static std::string SvgOf(const std::string& wmf)
    {
        const std::string svg = wmf + ".svg";
        std::string log;
        EXPECT_EQ(win::testing::RunCommand("wmf2svg -o '" + svg + "' '" + wmf + "'", log), 0) << log;
        std::ifstream in(svg);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

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

    EXPECT_NE(SvgOf(wmf).find("DIVIDER"), std::string::npos);

    // The file placed as a picture loads with the same box.
    win::RECT bounds{};
    win::HMETAFILE back = LoadPlaceableMetafile(wmf, bounds);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(bounds.right, extent.right);
    win::DeleteMetaFile(back);
}

// A page too large for the 16-bit coordinates of metafile records is exported whole at a smaller
// scale: its box and every record stay in range and keep their places relative to the page.
TEST_F(WindowPictures, APageBeyondTheRecordsRangeIsScaledIntoIt)
{
    // 6000 grid units are 48000 drawing units, beyond the 32767 a record holds.
    AddItem(record_, kItemWire, 2, 2, 6000, 2);
    AddText(record_, "FAR", 5900, 20);
    const std::string wmf = (dir_ / "wide.wmf").string();
    win::ScriptFileDialogAnswer(wmf);
    CopyWindowPicture(record_, kCommandPictureToFile);
    ASSERT_TRUE(std::filesystem::exists(wmf));
    const WmfContents contents = ReadWmf(wmf);
    const win::RECT& extent = record_->document->pages[0].extent;
    ASSERT_GT(extent.right, 32767);
    const int divisor = static_cast<int>((extent.right + 32766) / 32767);
    EXPECT_EQ(contents.box.right, win::DivideCoordinate(extent.right, divisor));
    EXPECT_GT(contents.box.right, 32767 / 2);
    EXPECT_EQ(contents.box.bottom, win::DivideCoordinate(extent.bottom, divisor));

    // The texts stand where they stand on the page, at the picture's scale.
    const TextRecord* nearText = nullptr;
    const TextRecord* farText = nullptr;
    for (const TextRecord& t : contents.texts) {
        if (t.text == "DIVIDER") nearText = &t;
        if (t.text == "FAR") farText = &t;
    }
    ASSERT_NE(nearText, nullptr);
    ASSERT_NE(farText, nullptr);
    EXPECT_NEAR(farText->x * divisor, 5900 * kDrawUnitsPerGrid, 4 * divisor);
    EXPECT_NEAR(nearText->x * divisor, 10 * kDrawUnitsPerGrid, 4 * divisor);
    EXPECT_NEAR(farText->y, nearText->y, 1);
    // No line end wrapped round to the other side.
    ASSERT_FALSE(contents.lineEnds.empty());
    for (const win::POINT& end : contents.lineEnds) {
        EXPECT_GE(end.x, 0);
        EXPECT_LE(end.x, contents.box.right);
    }

    ASSERT_TRUE(win::testing::ToolInstalled("wmf2svg")) << "wmf2svg is not installed (Debian package libwmf-bin)";
    EXPECT_NE(SvgOf(wmf).find("FAR"), std::string::npos);
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
    // A write that the file-size limit refuses.
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit tight{16, unlimited.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &tight);
    EXPECT_EQ(WritePlaceableMetafile(mf, kept, win::RECT{0, 0, 50, 50}, 96), 0);
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(ReadAll(kept), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        EXPECT_NE(entry.path().filename().string().rfind(".~", 0), 0u) << entry.path();
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
