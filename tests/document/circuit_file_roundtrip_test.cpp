// Documents built by code, saved as sectioned circuit files and read back.
#include "circuit_file_test_support.h"

#include <sstream>

#include "document/section_stream.h"

namespace kq5::testing {
namespace {

using CircuitFileRoundTrip = CircuitFileTest;

TEST_F(CircuitFileRoundTrip, EverySectionKindComesBackItemByItem)
{
    BuildRichDocument(record_, resistor_, capacitor_);
    const std::string first = PathOf("rich.cir");
    ASSERT_EQ(Save(record_, first), 0);

    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, first), 0);
    ExpectSameDocuments(*record_, *loaded);
    EXPECT_EQ(CircuitFiles().loadVersion, kSectionedFileVersion);

    // What was read is all that was written: a second save is byte for byte the first.
    const std::string second = PathOf("again.cir");
    ASSERT_EQ(Save(loaded, second), 0);
    EXPECT_EQ(ReadFileBytes(first), ReadFileBytes(second));
}

// A DC sweep's DSP parameters are kept beside the transient and AC ones.
TEST_F(CircuitFileRoundTrip, DcDspParametersComeBack)
{
    BuildRichDocument(record_, resistor_, capacitor_);
    record_->document->dsp[2] = DspSettings{1, "5", "1", "256"};
    const std::string path = PathOf("dcdsp.cir");
    ASSERT_EQ(Save(record_, path), 0);
    EXPECT_NE(ReadFileBytes(path).find("D.Status=On\r\nD.Max=5\r\nD.Min=1\r\nD.NPts=256\r\n"), std::string::npos);
    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, path), 0);
    ExpectSameDocuments(*record_, *loaded);
}

TEST_F(CircuitFileRoundTrip, TextAreaBytesAndLineBreaksInTextsSurvive)
{
    BuildRichDocument(record_, resistor_, capacitor_);
    const std::string path = PathOf("texts.cir");
    ASSERT_EQ(Save(record_, path), 0);
    const std::string bytes = ReadFileBytes(path);
    // A line break inside a value never ends its line in the file.
    EXPECT_NE(bytes.find("ONV=0,"), std::string::npos);
    EXPECT_NE(bytes.find("NOTE,line one\xFEline two\xFE\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Text=first\xFEsecond\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Len=43\r\n* comment\r\n[Main]\r\n"), std::string::npos);

    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, path), 0);
    EXPECT_EQ(loaded->textArea, record_->textArea);
    const SchematicItem* r1 = ListHead<SchematicItem>(loaded->document->itemList);
    EXPECT_EQ(GetAttributeText(r1, "NOTE"), "line one\r\nline two\r\n");
    EXPECT_EQ(GetAttributeText(r1, kAttrValue), "1k,2%");
    // The header-like line in the text did not start a section: every item is still there.
    EXPECT_EQ(loaded->document->itemList.count, record_->document->itemList.count);
}

TEST_F(CircuitFileRoundTrip, MultiPageDocumentKeepsPagesAndPanes)
{
    AddComponent(resistor_, 10, 10)->page = 4;
    ResizePageArray(record_, 2);
    const std::string path = PathOf("pages.cir");
    ASSERT_EQ(Save(record_, path), 0);
    WindowRecord* loaded = NewRecord();
    ASSERT_EQ(ReadInto(loaded, path), 0);
    // Items on page 4 with two [Page] sections: five pages.
    EXPECT_EQ(loaded->document->pages.size(), 5u);
}

TEST_F(CircuitFileRoundTrip, EmptySchematicWritesItsSectionsInOrder)
{
    ResizePageArray(record_, 1);
    const std::string path = PathOf("empty.cir");
    ASSERT_EQ(Save(record_, path), 0);
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.rfind("[Main]\r\n", 0), 0u);
    EXPECT_NE(bytes.find("NLCnt=0\r\nTXCnt=0\r\n"), std::string::npos);
    std::vector<std::string> headers;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') headers.push_back(line);
    }
    const std::vector<std::string> expected = {
        "[Main]",     "[FontAndColor]", "[Window Placement]", "[Schematic]", "[Page]",
        "[Text Area]", "[Printer]",     "[Analysis]",         "[Monte Carlo Options]",
        "[Monte Carlo Options]", "[Monte Carlo Options]", "[Limits]", "[Limits]", "[Limits]",
        "[Stepping]", "[Stepping]", "[Stepping]", "[Stepping]", "[Stepping]", "[Stepping]",
        "[Stepping]", "[Stepping]", "[Stepping]", "[Stepping]", "[DSP]"};
    EXPECT_EQ(headers, expected);
    // Every header after the first follows an empty line; line ends are CR LF on disk.
    EXPECT_EQ(bytes.find("\r\n[", 1), bytes.find("\r\n\r\n[") + 2);
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);
}

TEST_F(CircuitFileRoundTrip, ComponentAndObjectKeysAreWrittenAsTheFileExpects)
{
    SchematicItem* r = AddComponent(resistor_, 10, 20);
    SetAttribute(record_, r, kAttrPart, "R1");
    SetAttribute(record_, r, std::string_view("A=B,C"), "x");
    SchematicItem* line = AddWire(0, 0, 5, 5);
    line->itemKind = kItemGraphicObject;
    line->style = kObjectLine | 0x0001 | 0x0002;
    const std::string path = PathOf("keys.cir");
    ASSERT_EQ(Save(record_, path), 0);
    const std::string bytes = ReadFileBytes(path);
    EXPECT_NE(bytes.find("[Comp]\r\nName=Resistor\r\nGrid=10,20\r\n\r\n[Attr]"), std::string::npos);
    EXPECT_NE(bytes.find(",ABC,x\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[Object]\r\nObject=Line\r\nStyle=ArrowF\r\nGrids=0,0,5,5\r\n"), std::string::npos);
    // The stored name lost its separators too.
    EXPECT_NE(FindAttribute(r, "ABC"), nullptr);
}

TEST_F(CircuitFileRoundTrip, SharedViewShowsTheItemsWithoutSharingListHeads)
{
    BuildRichDocument(record_, resistor_, capacitor_);
    WindowRecord* view = OpenSharedCircuitView(record_, kLoadNoConnectivity);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->document->itemList.count, record_->document->itemList.count);
    EXPECT_EQ(view->document->gridTextList.count, record_->document->gridTextList.count);
    EXPECT_NE(view->document->itemList.head, record_->document->itemList.head);
    // Editing the open circuit cannot leave the view pointing at freed items.
    ListClear(record_->document->itemList);
    int components = 0;
    for (const SchematicItem& item : ListRecords<SchematicItem>(view->document->itemList))
        components += item.IsComponent() && item.definition != nullptr ? 1 : 0;
    EXPECT_EQ(components, 2);
    FreeDocumentRecord(view);
}

}  // namespace
}  // namespace kq5::testing
