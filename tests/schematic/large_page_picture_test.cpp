// A schematic page too large for the 16-bit coordinates of metafile records is exported whole at
// a smaller scale: its box and every record stay in range and keep their places relative to the
// page, and an independent reader still finds its texts.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../platform/external_tool_support.h"
#include "app/frame_state.h"
#include "platform/common_dialogs_file.h"
#include "platform/metafile.h"
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

class LargePagePicture : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        record_->document->viewOptions = kViewGridText;
        dir_ = std::filesystem::temp_directory_path() / ("kq5_large_picture_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        record_->title = (dir_ / "wide.cir").string();
        Frame().frame = record_->window;
    }
    void TearDown() override
    {
        Frame().frame = nullptr;
        win::ResetCommonDialogsForTests();
        std::filesystem::remove_all(dir_);
        SchematicWindowTest::TearDown();
    }
    std::string Export(const char* name)
    {
        const std::string wmf = (dir_ / name).string();
        win::ScriptFileDialogAnswer(wmf);
        CopyWindowPicture(record_, kCommandPictureToFile);
        return wmf;
    }
    std::filesystem::path dir_;
};

TEST_F(LargePagePicture, APageBeyondTheRecordsRangeIsScaledIntoIt)
{
    // 6000 grid units are 48000 drawing units, beyond the 32767 a record holds.
    AddItem(record_, kItemWire, 2, 2, 6000, 2);
    AddText(record_, "NEAR", 10, 20);
    AddText(record_, "FAR", 5900, 20);
    const std::string wmf = Export("wide.wmf");
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
        if (t.text == "NEAR") nearText = &t;
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
    const std::string svg = (dir_ / "wide.svg").string();
    std::string log;
    EXPECT_EQ(win::testing::RunCommand("wmf2svg -o '" + svg + "' '" + wmf + "'", log), 0) << log;
    std::ifstream in(svg);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("FAR"), std::string::npos);
}

TEST_F(LargePagePicture, APageWithinRangeKeepsItsDrawingUnits)
{
    AddItem(record_, kItemWire, 2, 2, 4000, 2);
    AddText(record_, "FAR", 3900, 20);
    const WmfContents contents = ReadWmf(Export("fits.wmf"));
    EXPECT_EQ(contents.box.right, record_->document->pages[0].extent.right);
    bool found = false;
    for (const TextRecord& t : contents.texts)
        if (t.text == "FAR") {
            found = true;
            EXPECT_NEAR(t.x, 3900 * kDrawUnitsPerGrid, 4);
        }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kq5::testing
