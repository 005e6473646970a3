// The banner circuit file: documents written and read back item by item, the written layout, and
// damaged files that must fail cleanly.
#include "circuit_file_test_support.h"

#include <sstream>

#include "document/banner_file.h"
#include "document/document_services.h"

namespace kq5::testing {
namespace {

class BannerFile : public CircuitFileTest {
protected:
    std::string WriteBanner(WindowRecord* record, const std::string& name)
    {
        const std::string path = PathOf(name);
        EXPECT_EQ(WriteFileReplacing(path, [record](int unit) { return WriteBannerFile(record, unit); }), 0);
        return path;
    }

    // The file with LF line ends, for editing by hand; readers take both.
    static std::string WithLf(std::string bytes)
    {
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
        return bytes;
    }

    // The lines of a file, line ends dropped.
    static std::vector<std::string> Lines(const std::string& bytes)
    {
        std::vector<std::string> lines;
        std::istringstream in(bytes);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    // The document as the file keeps it: derived analysis windows belong to the sectioned file,
    // and a font of the default height keeps no style or face.
    void BuildBannerDocument(WindowRecord* record)
    {
        BuildRichDocument(record, resistor_, capacitor_);
        CircuitDocument& d = *record->document;
        for (auto* lists : {&d.monteCarloWindows, &d.graph3DWindows, &d.performanceWindows})
            for (LinkedList& list : *lists) ListClear(list);
        d.gridTextFont.height = 12;
        d.numOutFont.height = 10;
        PlotViewOf(record->plot).objectFont.height = 8;
        for (GridText& text : ListRecords<GridText>(d.gridTextList))
            if (text.font.height == 0) text.font.height = 12;
    }

    // A small banner file with one resistor whose item record is given by the caller.
    std::string FileWithItem(const std::string& itemLines)
    {
        WindowRecord* empty = NewRecord();
        const std::string reference = WithLf(ReadFileBytes(WriteBanner(empty, "empty.cir")));
        const std::string marker = ":**** components ****\n0\n0\n";
        const std::size_t at = reference.find(marker);
        EXPECT_NE(at, std::string::npos);
        std::string bytes = reference;
        bytes.replace(at, marker.size(), ":**** components ****\n1\n" + itemLines + "0\n");
        return MakeFile("item.cir", bytes);
    }
};

TEST_F(BannerFile, RichDocumentComesBackItemByItem)
{
    BuildBannerDocument(record_);
    const std::string path = WriteBanner(record_, "rich.cir");
    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, path, 0), 0);
    EXPECT_EQ(CircuitFiles().loadVersion, kBannerFileVersion);
    ExpectSameDocuments(*record_, *loaded);
    // The reader leaves no font names behind.
    EXPECT_TRUE(DocumentServices().bannerFontNames.empty());
}

TEST_F(BannerFile, WrittenLayoutFollowsTheFormat)
{
    SchematicItem* wire = NewSchematicItem(record_);
    wire->itemKind = kItemWire;
    wire->x1 = 1;
    wire->y1 = 2;
    wire->x2 = 3;
    wire->y2 = 4;
    wire->orientation = 5;
    wire->color = 18;
    SchematicItem* box = NewSchematicItem(record_);
    box->itemKind = kItemGraphicObject;
    box->style = kObjectRectangle;
    box->x2 = box->y2 = 10;
    box->fillColor = 7;
    SchematicItem* r1 = NewSchematicItem(record_);
    r1->definition = resistor_;
    r1->x1 = 40;
    r1->y1 = 50;
    SetAttribute(record_, r1, kAttrPart, "R1");
    SetAttribute(record_, r1, kAttrValue, "1k");
    SetAttribute(record_, r1, std::string_view("TOL"), "5%");

    const std::string bytes = ReadFileBytes(WriteBanner(record_, "layout.cir"));
    EXPECT_EQ(bytes.rfind("5.03\r\nKestrion V\r\nNorvale Softworks\r\n\r\n:**** fonts ****\r\n", 0), 0u);
    const std::vector<std::string> lines = Lines(bytes);
    ASSERT_GT(lines.size(), 20u);
    EXPECT_EQ(lines[0], "5.03");
    EXPECT_EQ(lines[1], "Kestrion V");
    EXPECT_EQ(lines[2], "Norvale Softworks");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], ":**** fonts ****");
    const auto components = std::find(lines.begin(), lines.end(), ":**** components ****");
    ASSERT_NE(components, lines.end());
    EXPECT_EQ(*(components + 1), "3");
    // Wire: empty name, both points, colour 18 kept as its low four bits, orientation 0.
    EXPECT_EQ(*(components + 2), "");
    EXPECT_EQ(*(components + 3), "1,1,2,3,4,2,0,0,0");
    EXPECT_EQ(*(components + 4), "0");  // page
    // Graphic object: its fill colour where a component has its orientation.
    EXPECT_EQ(*(components + 6), "2,0,0,10,10,0,768,7,0");
    // Resistor: three attributes, three lines each.
    EXPECT_EQ(*(components + 8), "Resistor");
    EXPECT_EQ(*(components + 9), "0,40,50,0,0,0,3");
    EXPECT_EQ(*(components + 10), "PART");
    EXPECT_EQ(*(components + 11), "R1");
    EXPECT_EQ(*(components + 16), "TOL");
    EXPECT_EQ(*(components + 17), "5%");
    EXPECT_EQ(*(components + 19), "0");
    EXPECT_EQ(*(components + 20), "0");  // the closing count line
    EXPECT_EQ(*(components + 21), ":**** grid text ****");
}

TEST_F(BannerFile, AttributeNamesWithBlanksAndOffsetsOutsideTheRangeReadBack)
{
    const std::string path = FileWithItem(
        "Resistor\n0,10,10,0,0,0,2\n ISDTOA \nyes\n8192,0,0,5000,-5000\nPART\nR7\n8192,0,0,3,4\n0\n");
    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, path), 0);
    const SchematicItem* item = ListHead<SchematicItem>(loaded->document->itemList);
    ASSERT_NE(item, nullptr);
    const ComponentAttribute* isDtoA = FindAttribute(item, kAttrIsDtoA);
    ASSERT_NE(isDtoA, nullptr);
    EXPECT_EQ(isDtoA->value, "yes");
    EXPECT_EQ(isDtoA->textOffsetX, 1000);
    EXPECT_EQ(isDtoA->textOffsetY, -1000);
    EXPECT_EQ(GetAttributeText(item, kAttrPart), "R7");
    EXPECT_EQ(loaded->document->partCounters['R' - 'A'], 7);
}

TEST_F(BannerFile, FontColourFieldDependsOnTheVersion)
{
    // Height 0: only 5.01 and later carry the colour.
    const std::string path = MakeFile("fonts.txt", "0\n0,3\n12,4,0,0,9\n");
    const int unit = FindFreeUnit();
    ASSERT_EQ(OpenUnitDiskFile(path, unit), 0);
    FontSpec old;
    FontSpec current;
    FontSpec tall;
    EXPECT_EQ(TransferBannerFont(unit, old, (5 << 16) | 0, true), 0);
    EXPECT_EQ(TransferBannerFont(unit, current, kBannerFileVersion, true), 0);
    EXPECT_EQ(TransferBannerFont(unit, tall, kBannerFileVersion, true), 0);
    CloseUnit(unit);
    EXPECT_EQ(old.color, 0);
    EXPECT_EQ(current.color, 3);
    EXPECT_EQ(tall.height, 12);
    EXPECT_EQ(tall.style, 4);
    EXPECT_EQ(tall.color, 9);
}

TEST_F(BannerFile, MissingDefinitionIsSkippedWithItsAttributes)
{
    const std::string path = FileWithItem("");  // replaced below
    std::string bytes = ReadFileBytes(path);
    const std::string block = ":**** components ****\n1\n0\n";
    bytes.replace(bytes.find(block), block.size(),
                  ":**** components ****\n2\nNoSuchPart\n0,5,5,0,0,0,1\nPART\nX9\n8192,0,0,0,0\n0\n"
                  "Resistor\n0,7,8,0,0,1,1\nPART\nR2\n8192,0,0,0,0\n0\n0\n");
    WriteFileBytes(path, bytes);
    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, path, kLoadCollectMissing), 0);
    ASSERT_EQ(loaded->document->itemList.count, 1);
    const SchematicItem* item = ListHead<SchematicItem>(loaded->document->itemList);
    EXPECT_EQ(item->x1, 7);
    EXPECT_EQ(item->orientation, 1);
    EXPECT_EQ(GetAttributeText(item, kAttrPart), "R2");
    EXPECT_EQ(CircuitFiles().missingComponents, "'NoSuchPart'");
}

TEST_F(BannerFile, DamagedFilesFailWithBadFormat)
{
    struct Case {
        const char* what;
        std::string item;
    };
    const std::vector<Case> cases = {
        {"orientation 9", "Resistor\n0,10,10,0,0,9,0\n0\n"},
        {"negative orientation", "Resistor\n0,10,10,0,0,-1,0\n0\n"},
        {"item kind 7", "\n7,10,10,0,0,0,0\n0\n"},
        {"coordinate beyond the schematic", "\n1,10,10,99999999,5,0,0,0\n0\n"},
        {"attribute count in the billions", "Resistor\n0,10,10,0,0,0,2000000000\n0\n"},
        {"page beyond the page numbers", "Resistor\n0,10,10,0,0,0,0\n40000\n"},
    };
    for (const Case& c : cases) {
        WindowRecord* loaded = NewRecord();
        EXPECT_EQ(ReadInto(loaded, FileWithItem(c.item), 0), kMsgBadFormat) << c.what;
        EXPECT_EQ(loaded->document->itemList.count, 0) << c.what;
    }
}

TEST_F(BannerFile, DamagedBodyFailsWithBadFormat)
{
    const std::string reference = WithLf(ReadFileBytes(WriteBanner(record_, "body.cir")));
    struct Case {
        const char* what;
        std::string from;
        std::string to;
    };
    const std::vector<Case> cases = {
        {"wrong marker", ":**** dsp ****", ":**** dsp! ****"},
        {"huge grid text count", ":**** grid text ****\n0\n", ":**** grid text ****\n2147483647\n"},
        {"huge row count", ":**** transient analysis monitor ****\n", ":**** transient analysis monitor ****\n99999999\n"},
        {"huge page count", ":**** text page ****\n0\n", ":**** text page ****\n40000\n"},
        {"text longer than the file", ":**** text page ****\n0\n0\n", ":**** text page ****\n0\n999999\n"},
    };
    for (const Case& c : cases) {
        std::string bytes = reference;
        const std::size_t at = bytes.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.what;
        bytes.replace(at, c.from.size(), c.to);
        WindowRecord* loaded = NewRecord();
        EXPECT_EQ(ReadInto(loaded, MakeFile("damaged.cir", bytes), 0), kMsgBadFormat) << c.what;
    }
}

TEST_F(BannerFile, FileEndingInsideABlockFailsWithEndOfFile)
{
    BuildBannerDocument(record_);
    const std::string bytes = ReadFileBytes(WriteBanner(record_, "whole.cir"));
    const std::string cut = bytes.substr(0, bytes.find(":**** stepping ****") + 25);
    WindowRecord* loaded = NewRecord();
    EXPECT_EQ(ReadInto(loaded, MakeFile("cut.cir", cut), 0), kMsgEndOfFile);
}

}  // namespace
}  // namespace kq5::testing
