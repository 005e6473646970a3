// The sample circuits of tests/circuits are written by the program's own writer: this test
// builds them by code and checks that the committed files are exactly what the writer makes, and
// that reading one and saving it again gives the same bytes. Run with KQ5_WRITE_SAMPLES=1 to
// write them anew after a deliberate change of the file format.
#include "circuit_file_test_support.h"

#include <cstdlib>

#include "document/banner_file.h"
#include "document/node_flags.h"
#include "document/part_numbering.h"

namespace kq5::testing {
namespace {

const std::filesystem::path kSampleDirectory = std::filesystem::path(KQ5_SOURCE_DIR) / "tests" / "circuits";

// The screen size is part of the file: the platform is the same fresh one for every sample.
class CircuitSamples : public CircuitFileWindowTest {
protected:
    SchematicItem* Part(WindowRecord* record, ComponentDefinition* definition, int x, int y, const char* name,
                        const char* value, int orientation = 0, int page = 0)
    {
        SchematicItem* item = NewSchematicItem(record);
        item->itemKind = kItemComponent;
        item->definition = definition;
        item->x1 = x;
        item->y1 = y;
        item->orientation = static_cast<OrientationCode>(orientation);
        item->page = static_cast<std::int16_t>(page);
        SetDefaultAttributes(record, *item, FileReaderDefaultTexts());
        if (name != nullptr) SetAttribute(record, item, kAttrPart, name);
        if (value != nullptr) SetAttribute(record, item, kAttrValue, value)->display = kAttrShowValue;
        return item;
    }

    void Wire(WindowRecord* record, int x1, int y1, int x2, int y2, int page = 0)
    {
        SchematicItem* item = NewSchematicItem(record);
        item->itemKind = kItemWire;
        item->x1 = x1;
        item->y1 = y1;
        item->x2 = x2;
        item->y2 = y2;
        item->page = static_cast<std::int16_t>(page);
    }

    void Label(WindowRecord* record, const char* text, int x, int y, bool flag, int page = 0)
    {
        GridText* grid = NewGridText(record);
        grid->text = text;
        grid->x = x;
        grid->y = y;
        grid->page = static_cast<std::int16_t>(page);
        if (flag) grid->flags |= kGridTextIsFlag;
        UpdateNodeLabelFlag(*grid);
    }

    // A low-pass filter on two pages joined by a flag, with a transient analysis set up and a
    // model statement in the text area.
    void BuildFilter(WindowRecord* record)
    {
        CircuitDocument& d = *record->document;
        ResizePageArray(record, 2);
        d.pages[0].name = "Input";
        d.pages[1].name = "Filter";
        Part(record, resistor_, 20, 20, "R1", "1k");
        Part(record, capacitor_, 40, 28, "C1", "100n", 1, 1);
        Part(record, ground_, 40, 40, nullptr, nullptr, 0, 1);
        Wire(record, 12, 20, 20, 20);
        Wire(record, 28, 20, 36, 20);
        Wire(record, 30, 20, 40, 20, 1);
        Label(record, "MID", 36, 20, true);
        Label(record, "MID", 30, 20, true, 1);
        Label(record, "OUT", 44, 18, false, 1);
        Label(record, "First-order RC low-pass\r\nfc = 1.59 kHz", 10, 50, false);
        record->textArea = ".MODEL DX D(IS=1e-14)\r\n* corner at 1.59k\r\n";
        d.limits.transient = {"5m", "", "101", "27"};
        d.limitsRows[0].assign(2, LimitsRow{});
        d.limitsRows[0][0].xExpression = "T";
        d.limitsRows[0][0].yExpression = "v(MID)";
        d.limitsRows[0][0].plotGroup = '1';
        d.limitsRows[0][0].options = kLimitsLinearX | kLimitsLinearY;
        d.limitsRows[0][1].xExpression = "T";
        d.limitsRows[0][1].yExpression = "v(OUT)";
        d.limitsRows[0][1].plotGroup = '1';
        d.limitsRows[0][1].options = kLimitsLinearX | kLimitsLinearY;
        RescanPartNumbers(record);
    }

    std::string WriteSectioned(WindowRecord* record, const std::string& name)
    {
        const std::string path = PathOf(name);
        EXPECT_EQ(Save(record, path), 0);
        return ReadFileBytes(path);
    }

    std::string WriteBanner(WindowRecord* record, const std::string& name)
    {
        const std::string path = PathOf(name);
        EXPECT_EQ(WriteFileReplacing(path, [record](int unit) { return WriteBannerFile(record, unit); }), 0);
        return ReadFileBytes(path);
    }

    // Compares a freshly written sample with the committed one, or commits it when asked.
    void CheckSample(const std::string& name, const std::string& bytes)
    {
        const std::filesystem::path committed = kSampleDirectory / name;
        if (std::getenv("KQ5_WRITE_SAMPLES") != nullptr) {
            std::filesystem::create_directories(kSampleDirectory);
            WriteFileBytes(committed, bytes);
            return;
        }
        ASSERT_TRUE(std::filesystem::exists(committed)) << committed;
        EXPECT_EQ(ReadFileBytes(committed), bytes) << name << " is not what the writer writes";
    }
};

TEST_F(CircuitSamples, SectionedSamplesAreTheWritersOutputAndReadBackUnchanged)
{
    BuildFilter(record_);
    const std::string filter = WriteSectioned(record_, "rc_filter.cir");
    CheckSample("rc_filter.cir", filter);

    WindowRecord* rich = NewRecord();
    BuildRichDocument(rich, resistor_, capacitor_);
    const std::string everything = WriteSectioned(rich, "every_section.cir");
    CheckSample("every_section.cir", everything);

    for (const char* name : {"rc_filter.cir", "every_section.cir"}) {
        WindowRecord* loaded = NewRecord();
        ASSERT_EQ(ReadInto(loaded, (kSampleDirectory / name).string()), 0) << name;
        EXPECT_EQ(WriteSectioned(loaded, std::string("again-") + name), ReadFileBytes(kSampleDirectory / name)) << name;
    }
}

TEST_F(CircuitSamples, BannerSampleIsTheWritersOutputAndLoads)
{
    BuildFilter(record_);
    const std::string banner = WriteBanner(record_, "rc_filter_banner.cir");
    CheckSample("rc_filter_banner.cir", banner);

    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, (kSampleDirectory / "rc_filter_banner.cir").string()), 0);
    EXPECT_EQ(CircuitFiles().loadVersion, kBannerFileVersion);
    EXPECT_EQ(loaded->document->itemList.count, record_->document->itemList.count);
}

}  // namespace
}  // namespace kq5::testing
