// Import of circuit files of the previous generation: hand-made 4.00 files read and converted,
// and the text conversions on their own.
#include "circuit_file_test_support.h"

#include "document/banner_file.h"
#include "document/import_v4.h"
#include "results/plot_view_settings.h"

namespace kq5::testing {
namespace {

// The parts of a hand-made 4.00 file that the tests vary.
struct OldFile {
    std::vector<std::string> items;      // item records, each its lines
    std::vector<std::string> gridTexts;  // "x,y,number,height,ignored,style,text"
    std::vector<std::string> transientRows = {"T", "v(1)"};  // X and Y of one transient row
    std::array<std::string, 3> optionTexts = {"DX2b", "3cJ", "Z"};
};

std::string Row(const std::string& x, const std::string& y)
{
    return "5\n" + x + "\n" + y + "\n1u,0\n5,0\n\n1\n160,1,1,1\n\n\n\n";
}

// The file as the previous generation wrote it: no markers, no fonts block, its own item and
// grid text records, option texts in place of option words.
std::string OldFileText(const OldFile& f)
{
    std::string t = "4.00\nKestrion IV\nNorvale Softworks\n\n";
    t += std::to_string(f.items.size()) + "\n";
    for (const std::string& item : f.items) t += item;
    t += "0\n";
    t += std::to_string(f.gridTexts.size()) + "\n";
    for (const std::string& text : f.gridTexts) t += text + "\n";
    t += "3\n10u\n\n\n27\n5\n1Meg,1k\n\n\n\n\n\n6\n\n\n\n\n\n\n\n";  // limits texts
    for (const std::string& option : f.optionTexts) t += option + "\n";
    t += "1\n" + Row(f.transientRows[0], f.transientRows[1]) + "0\n0\n";  // monitors
    t += "1\n10\n\n1\n\n\n1\n\n\n0\n";                                      // Monte Carlo, no objects
    t += "0\n\n\n\n0\n\n\n\n";                                              // DSP
    for (int slot = 0; slot < 10; ++slot) t += "\n\n\n\n\n10,0\n";         // stepping
    t += "0\n0\n0\n";                                                       // simultaneous, elements, optimize
    for (int i = 0; i < 5; ++i) t += "0,0,0,0,0,0,0,0,0,0\n";               // placements
    for (int i = 0; i < 5; ++i) t += "0\n";                                 // window fonts
    t += "1,1,304\n";                                                       // schematic options
    for (int pane = 0; pane < 4; ++pane) t += "0,0,0\n";
    t += "0,0\n4097,0\n";                                                   // quads
    for (int i = 0; i < 8; ++i) t += "0\n";
    t += "0,0,0,0,0,0,0\n\n\n\n\n\n\n\n\n\n\n";                             // circuit fonts and colours
    t += "0\n0,0\n";                                                        // text page data
    t += "1\nMain\n0,0,0,0,0,0,0,0\n0,0,0,0\n0,0\n0,0,0,0,0\n0,0,0,0,0\n0,0,0,0,0\n0\n\n";  // text page
    return t;
}

class OldFileImport : public CircuitFileTest {
protected:
    void SetUp() override
    {
        CircuitFileTest::SetUp();
        npn_ = AddComponentDefinition("NPN", kComponentNpn, 1);
        ComponentDefinition* shortCircuit = AddComponentDefinition("Short", kComponentShort, 1);
        DefinitionPin a;
        DefinitionPin b;
        b.dx = 4;
        shortCircuit->pins = {a, b};
        AddComponentDefinition("K", kComponentK, 1);
    }

    int Load(const OldFile& file, WindowRecord*& loaded, LoadOptions options = kLoadQuiet)
    {
        loaded = NewRecord();
        return ReadInto(loaded, MakeFile("old.cir", OldFileText(file)), options);
    }

    static const SchematicItem* Item(const WindowRecord* record, int index)
    {
        const SchematicItem* item = ListHead<SchematicItem>(record->document->itemList);
        for (int i = 0; i < index && item; ++i) item = ListNext(item);
        return item;
    }

    static const GridText* Text(const WindowRecord* record, int index)
    {
        const GridText* text = ListHead<GridText>(record->document->gridTextList);
        for (int i = 0; i < index && text; ++i) text = ListNext(text);
        return text;
    }

    ComponentDefinition* npn_ = nullptr;
};

TEST_F(OldFileImport, ComponentsAreConvertedFromTheirTexts)
{
    OldFile file;
    file.items = {"NPN\n10,20,0\n1,7,7\nQ1 V(1)^2\n", "NPN\n30,20,3\n0,0\nQ2 QMOD 2 OFF\n",
                  "Resistor\n50,20,0\n0,0\nR4 10k TC=0.01,0.002 LOT=5%\n", "Short\n10,10,1\n0,0\nS1\n",
                  "Unknown\n5,5,0\n0,0\nU1 x\n"};
    WindowRecord* loaded = nullptr;
    ASSERT_EQ(Load(file, loaded, kLoadQuiet | kLoadCollectMissing), 0);
    EXPECT_EQ(CircuitFiles().loadVersion, kPreviousGenerationVersion);
    ASSERT_EQ(loaded->document->itemList.count, 4);

    const SchematicItem* q1 = Item(loaded, 0);
    EXPECT_EQ(GetAttributeText(q1, kAttrPart), "Q1");
    EXPECT_EQ(GetAttributeText(q1, kAttrModel), "V(1)**2");
    EXPECT_EQ(FindAttribute(q1, kAttrPart)->display, kAttrShowValue);

    const SchematicItem* q2 = Item(loaded, 1);
    EXPECT_EQ(q2->orientation, 3);
    EXPECT_EQ(GetAttributeText(q2, kAttrModel), "QMOD");
    EXPECT_EQ(GetAttributeText(q2, kAttrValue), "2 OFF");

    const SchematicItem* r4 = Item(loaded, 2);
    EXPECT_EQ(GetAttributeText(r4, kAttrPart), "R4");
    EXPECT_EQ(GetAttributeText(r4, kAttrValue), "10k");
    EXPECT_EQ(GetAttributeText(r4, kAttrModel), "RES1");
    EXPECT_NE(loaded->textArea.find("\r\n.MODEL RES1 RES (TC1=0.01 TC2=0.002 R=1.0 LOT=5%)"), std::string::npos);
    EXPECT_EQ(loaded->document->partCounters['R' - 'A'], 4);
    EXPECT_EQ(loaded->document->partCounters['Q' - 'A'], 2);

    // The short turned by 90 degrees runs from its first pin to its second.
    const SchematicItem* wire = Item(loaded, 3);
    EXPECT_EQ(wire->itemKind, kItemWire);
    EXPECT_EQ(wire->definition, nullptr);
    EXPECT_EQ(wire->x1, 10);
    EXPECT_EQ(wire->y1, 10);
    EXPECT_EQ(wire->x2, 10);
    EXPECT_EQ(wire->y2, 14);
    EXPECT_EQ(CircuitFiles().missingComponents, "'Unknown'");
}

// Sources whose main attribute is their model: "V1 STEP" names the model STEP, as it does for a
// transistor; the whole old text left in MODEL would name a model nobody has.
TEST_F(OldFileImport, ASourceTakesTheModelNameAfterItsPartName)
{
    AddComponentDefinition("Pulse Source", kComponentPulseSource, 1);
    AddComponentDefinition("Sine Source", kComponentSineSource, 1);
    OldFile file;
    file.items = {"Pulse Source\n25,27,0\n0,0\nV1 STEP\n", "Sine Source\n25,40,0\n0,0\nV2 1MHZ\n"};
    WindowRecord* loaded = nullptr;
    ASSERT_EQ(Load(file, loaded), 0);
    ASSERT_EQ(loaded->document->itemList.count, 2);
    EXPECT_EQ(GetAttributeText(Item(loaded, 0), kAttrPart), "V1");
    EXPECT_EQ(GetAttributeText(Item(loaded, 0), kAttrModel), "STEP");
    EXPECT_EQ(GetAttributeText(Item(loaded, 1), kAttrPart), "V2");
    EXPECT_EQ(GetAttributeText(Item(loaded, 1), kAttrModel), "1MHZ");
}

TEST_F(OldFileImport, GridTextsLimitsAndOptionsAreConverted)
{
    OldFile file;
    file.gridTexts = {"10,0,-1,10,0,1,.pin 2", "20,5,-1,4,0,6,.define X 2^3", "30,5,-1,10,0,0,.tf v(1) v2",
                      "40,5,-1,10,0,0,.MUTUAL L1 L2 0.9", "50,5,-1,10,0,0,OUT"};
    file.transientRows = {"T", "D(V(2))+ID(X)^2+db(3)"};
    WindowRecord* loaded = nullptr;
    ASSERT_EQ(Load(file, loaded), 0);
    const CircuitDocument& d = *loaded->document;
    ASSERT_EQ(d.gridTextList.count, 5);

    const GridText* pin = Text(loaded, 0);
    EXPECT_EQ(pin->text, "PinB");
    EXPECT_EQ(pin->y, 1);
    EXPECT_EQ(pin->font.height, -12);
    EXPECT_EQ(pin->font.style, kFontBold);
    const GridText* define = Text(loaded, 1);
    EXPECT_EQ(define->text, ".define X 2**3");
    EXPECT_EQ(define->font.height, -10);  // at least 8, plus 2
    EXPECT_EQ(define->font.style, kFontItalic | kFontUnderline);
    EXPECT_EQ(Text(loaded, 2)->text, "*tf v(1) v2");
    EXPECT_EQ(Text(loaded, 3)->text, "*MUTUAL L1 L2 0.9");
    EXPECT_TRUE(Text(loaded, 4)->IsValidLabel());

    // ".MUTUAL" became a coupling component.
    ASSERT_EQ(d.itemList.count, 1);
    const SchematicItem* k = Item(loaded, 0);
    EXPECT_EQ(GetAttributeText(k, kAttrPart), "K1");
    EXPECT_EQ(GetAttributeText(k, kAttrInductors), "L1 L2");
    EXPECT_EQ(GetAttributeText(k, kAttrCoupling), "0.9");

    ASSERT_EQ(d.limitsRows[0].size(), 1u);
    const LimitsRow& row = d.limitsRows[0][0];
    EXPECT_EQ(row.yExpression, "Del(V(2))+ID(X)**2+db(v(3))");
    EXPECT_EQ(row.plotGroup, '1');  // from the old colour bits
    EXPECT_EQ(row.xRange, "");
    EXPECT_EQ(row.enabled, 1);
    EXPECT_EQ(d.pages.at(0).name, "Page 1");

    const PlotViewSettings& view = PlotViewOf(loaded->plot);
    EXPECT_EQ(view.optionWord[0], 0x01 | 0x08 | 0x0400);
    EXPECT_EQ(view.optionWord[1], 0x20000);
    EXPECT_EQ(view.optionWord[2], 0x20);
}

TEST_F(OldFileImport, PinTextWithoutAPinLetterIsABadFile)
{
    for (const char* text : {"10,10,-1,10,0,0,.pin 27", "10,10,-1,10,0,0,.pin 0", "10,10,-1,10,0,0,.pin",
                             "10,10,-1,10,0,0,.PIN -3"}) {
        OldFile file;
        file.gridTexts = {text};
        WindowRecord* loaded = nullptr;
        EXPECT_EQ(Load(file, loaded), kMsgBadFormat) << text;
    }
    OldFile other;
    other.gridTexts = {"10,10,-1,10,0,0,.pinout is not a pin"};
    WindowRecord* loaded = nullptr;
    EXPECT_EQ(Load(other, loaded), 0);
}

TEST_F(OldFileImport, RefusedWhenTheCallerAsksAndOnBadOrientation)
{
    WindowRecord* loaded = nullptr;
    OldFile refused;
    refused.items = {"NPN\n10,20,0\n0,0\nQ1 QMOD\n"};
    EXPECT_NE(Load(refused, loaded, kLoadQuiet | kLoadRefuseOld), 0);
    EXPECT_EQ(loaded->document->itemList.count, 0);
    OldFile bad;
    bad.items = {"NPN\n10,20,8\n0,0\nQ1 QMOD\n"};
    EXPECT_EQ(Load(bad, loaded), kMsgBadFormat);
    OldFile huge;
    huge.items = {"NPN\n10,20,0\n2000000000,0\nQ1 QMOD\n"};
    EXPECT_EQ(Load(huge, loaded), kMsgBadFormat);
}

TEST(OldTextConversions, CaretsDerivativesAndOptionLetters)
{
    EXPECT_EQ(ConvertCaretToDoubleStar("Q1 V(1)^2"), "Q1 V(1)**2");
    EXPECT_EQ(ConvertCaretToDoubleStar("^2 stays"), "^2 stays");
    EXPECT_EQ(ConvertDerivativeName("D(V(2))"), "Del(V(2))");
    EXPECT_EQ(ConvertDerivativeName("ID(X)"), "ID(X)");
    EXPECT_EQ(ConvertDerivativeName("1+d (x)*DB(y)"), "1+del (x)*DB(y)");
    EXPECT_EQ(OldOptionTextToWord("jk2c", 0), 0x40u | 0x80u | 0x0800u);
    EXPECT_EQ(OldOptionTextToWord("JK2C", 2), 0u);
    EXPECT_EQ(OldOptionTextToWord("3b", 2), 0u);
    EXPECT_EQ(OldOptionTextToWord("RTY", 1), 0x02u | 0x04u | 0x10u);
}

}  // namespace
}  // namespace kq5::testing
