// Reading hand-made sectioned files: the format sniff, section dispatch, value parsing, and the
// checks that keep a damaged file from reaching the document.
#include "circuit_file_test_support.h"

#include <limits>

#include "document/section_analysis.h"
#include "document/section_items.h"
#include "document/section_views.h"
#include "platform/system.h"
#include "platform/win_styles.h"

namespace kq5::testing {
namespace {

using CircuitFileRead = CircuitFileTest;

int SniffFile(const std::string& path, std::int32_t& version)
{
    const int unit = FindFreeUnit();
    EXPECT_EQ(OpenUnitDiskFile(path, unit), 0);
    const int status = CheckCircuitFileHeader(unit, version);
    CloseUnit(unit);
    return status;
}

TEST_F(CircuitFileRead, HeaderLinesTellTheFormat)
{
    std::int32_t version = 0;
    EXPECT_EQ(SniffFile(MakeFile("a.cir", "[mAiN]\nFileType=KQ5.CIR\nVersion=5.20\n"), version), 0);
    EXPECT_EQ(version, kSectionedFileVersion);
    EXPECT_EQ(SniffFile(MakeFile("b.cir", "[Main]\nFileType=TXT\nVersion=5.20\n"), version), kMsgBadFormat);
    EXPECT_EQ(SniffFile(MakeFile("c.cir", "[Main]\nVersion=5.20\n[Comp]\n"), version), kMsgBadFormat);
    EXPECT_EQ(SniffFile(MakeFile("d.cir", "5.03\r\nKESTRION V\r\nNorvale Softworks\r\n\r\n"), version), 0);
    EXPECT_EQ(version, kBannerFileVersion);
    EXPECT_EQ(SniffFile(MakeFile("e.cir", "5.03\nSomething Else\nNorvale Softworks\n"), version), kMsgBadFormat);
    EXPECT_EQ(SniffFile(MakeFile("f.cir", "5.03\nKestrion V\nSomeone\n"), version), kMsgBadFormat);
    EXPECT_EQ(SniffFile(MakeFile("g.cir", "5.04\nKestrion V\nNorvale Softworks\n"), version), kMsgMustConvert);
    EXPECT_EQ(SniffFile(MakeFile("h.cir", "4.00\nKestrion IV\nNorvale Softworks\n"), version), 0);
    EXPECT_EQ(version, kPreviousGenerationVersion);
    EXPECT_EQ(SniffFile(MakeFile("i.cir", "4.00\nKestrion V\nNorvale Softworks\n"), version), kMsgBadFormat);
}

TEST_F(CircuitFileRead, SectionHeadersAreMatchedByTheirCapitalAndUnknownOnesSkipped)
{
    const std::string path = MakeFile("dispatch.cir", MainSection() +
                                                         "\n[comp]\nName=Resistor\nGrid=1,1\n"
                                                         "\n[Extra]\nName=Resistor\nGrid=2,2\nPage=1\n"
                                                         "\n[COMP]\nName=Resistor\nGrid=3,3\n"
                                                         "\n[Comp]\nName=resistor\nGrid=4,4\nRot=2\n");
    ASSERT_EQ(ReadInto(record_, path), 0);
    ASSERT_EQ(document_->itemList.count, 2);
    const SchematicItem* first = ListHead<SchematicItem>(document_->itemList);
    EXPECT_EQ(first->x1, 3);
    EXPECT_EQ(first->definition, resistor_);
    EXPECT_EQ(ListNext(first)->x1, 4);
    EXPECT_EQ(ListNext(first)->orientation, 2);
    // The part counters follow the names read.
    EXPECT_EQ(document_->pages.size(), 1u);
}

TEST_F(CircuitFileRead, UnknownAnalysisSkipsOnlyItsSection)
{
    const std::string path = MakeFile("noise.cir", MainSection() +
                                                       "\n[Limits]\nAnalysis=Noise\nTRange=9\n"
                                                       "\n[WaveForm]\nAnalysis=Noise\nYExp=v(9)\n"
                                                       "\n[Graph 3D]\nAnalysis=Noise\nTitle=lost\n"
                                                       "\n[AObject]\nObject=Text\nText=orphan\n"
                                                       "\n[Limits]\nAnalysis=Transient\nTRange=1u\n"
                                                       "\n[WaveForm]\nAnalysis=Transient\nOptions=USER,OUTPUT\nYExp=v(1)\n"
                                                       "\n[WaveForm]\nAnalysis=AC\nOptions\n"
                                                       "\n[Comp]\nName=Resistor\nGrid=5,5\n");
    ASSERT_EQ(ReadInto(record_, path), 0);
    EXPECT_EQ(document_->limits.transient[0], "1u");
    ASSERT_EQ(document_->limitsRows[0].size(), 1u);
    EXPECT_EQ(document_->limitsRows[0][0].options, kLimitsUser | kLimitsOutput);
    EXPECT_EQ(document_->limitsRows[0][0].yExpression, "v(1)");
    ASSERT_EQ(document_->limitsRows[1].size(), 1u);
    EXPECT_EQ(document_->limitsRows[1][0].options, 0);
    EXPECT_EQ(document_->graph3DWindows[0].count + document_->graph3DWindows[1].count, 0);
    // The object of the skipped window went with it, not onto another plot.
    EXPECT_EQ(record_->plot->objects.count, 0);
    EXPECT_EQ(document_->itemList.count, 1);
    EXPECT_EQ(CircuitFiles().skippedSections, 3);
    EXPECT_EQ(CircuitFiles().firstSkippedSection, "[Limits] Analysis=Noise");
}

TEST_F(CircuitFileRead, DamagedValuesAreRefusedOrRepairedNeverUsed)
{
    // Orientation: a checking load repairs it, any other load refuses the file.
    const std::string rot = MakeFile("rot.cir", MainSection() + "[Comp]\nName=Resistor\nGrid=10,10\nRot=9\n");
    EXPECT_EQ(ReadInto(NewRecord(), rot, kLoadCollectMissing), kMsgBadFormat);
    WindowRecord* repaired = NewRecord();
    EXPECT_EQ(ReadInto(repaired, rot, kLoadDefaults), 0);
    EXPECT_EQ(ListHead<SchematicItem>(repaired->document->itemList)->orientation, 0);

    // Coordinates: off the sheet with checking becomes (1, 1) and is flagged.
    const std::string far = MakeFile("far.cir", MainSection() + "[Comp]\nName=Resistor\nGrid=0,40000\n"
                                                                "[Flag]\nText=IN\nGrid=-5,7\n");
    WindowRecord* checked = NewRecord();
    CircuitFiles().illegalCoordinates = false;
    EXPECT_EQ(ReadInto(checked, far, kLoadDefaults), 0);
    EXPECT_TRUE(CircuitFiles().illegalCoordinates);
    const SchematicItem* item = ListHead<SchematicItem>(checked->document->itemList);
    EXPECT_EQ(item->x1, 1);
    EXPECT_EQ(item->y1, 1);
    EXPECT_EQ(ListHead<GridText>(checked->document->gridTextList)->x, 1);
    // Without checking, points a schematic cannot hold are refused.
    const std::string huge = MakeFile("huge.cir", MainSection() + "[Wire]\nGrids=1,1,99999999,1\n");
    EXPECT_EQ(ReadInto(NewRecord(), huge, kLoadCollectMissing), kMsgBadFormat);
    EXPECT_EQ(ReadInto(NewRecord(), MakeFile("pg.cir", MainSection() + "[Wire]\nGrids=1,1,2,2\nPage=-3\n"),
                       kLoadDefaults),
              kMsgBadFormat);

    // A page index that would ask for an absurd page array fails the load instead.
    const std::string pages = MakeFile("pages.cir", MainSection() + "[Page]\nIndex=2000000000\nName=x\n");
    EXPECT_EQ(ReadInto(NewRecord(), pages), kMsgBadFormat);

    // A text length longer than the file takes what is there.
    const std::string text = MakeFile("len.cir", MainSection() + "[Text Area]\nLen=2000000000\nabc\n");
    WindowRecord* shortText = NewRecord();
    EXPECT_EQ(ReadInto(shortText, text), 0);
    EXPECT_EQ(shortText->textArea, "abc\n");
}

TEST_F(CircuitFileRead, PagesGrowToTheIndexAndKeysWithoutIndexChangeTheLastPage)
{
    const std::string path = MakeFile("p.cir", MainSection() + "[Page]\nName=First\n"
                                                               "[Page]\nIndex=3\nName=Fourth\nSB 1=120,64\nSB 4=1,1\nSB 10=2,2\n"
                                                               "[Page]\nGrid=7,8\nT.PrintPreview=On,1,2,3,4\n"
                                                               "[Schematic]\nPage 2=3\nScale=1.33\nView=3\n");
    ASSERT_EQ(ReadInto(record_, path), 0);
    ASSERT_EQ(document_->pages.size(), 4u);
    EXPECT_EQ(document_->pages[0].name, "First");
    EXPECT_EQ(document_->pages[3].name, "Fourth");
    EXPECT_EQ(document_->pages[3].originX[1], 120);
    EXPECT_EQ(document_->pages[3].originY[1], 64);
    EXPECT_EQ(document_->pages[3].grid[1], 8);
    EXPECT_EQ(document_->pages[3].printPreview[0].on, 1);
    EXPECT_EQ(document_->pages[3].printPreview[0].values[3], 4.0);
    EXPECT_EQ(document_->panePage[2], 3);
    EXPECT_EQ(document_->zoomFactor, 1.0);
    EXPECT_EQ(document_->viewOptions, 1u);
    EXPECT_EQ(NormalizeZoomScale(2.66), 2.0);
    EXPECT_EQ(NormalizeZoomScale(0.66), 0.5);
    EXPECT_EQ(NormalizeZoomScale(1.5), 1.5);
    for (double damaged : {0.0, -3.0, 1e300, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(NormalizeZoomScale(damaged), 1.0) << damaged;
}

TEST_F(CircuitFileRead, AttributesParseCommasClampOffsetsAndFollowTheirComponent)
{
    const std::string path = MakeFile("attr.cir", MainSection() +
                                                      "[Comp]\nName=Resistor\nGrid=1,1\n"
                                                      "[Attr]\nStyle=4096\nONV=0,-12,VALUE,1k,2%\nStyle=8192\nHeight=9\n"
                                                      "[Attr]\nONV=5000,-5000,MyName\n"
                                                      "[Attr]\nONV=0,0,,dropped\n"
                                                      "[Attr]\nONV=1,1, TEMPPART,t\n"
                                                      "[Comp]\nName=Unknown\nGrid=2,2\n"
                                                      "[Attr]\nONV=0,0,PART,lost\n"
                                                      "[Comp]\nName=Unknown\nGrid=2,2\n"
                                                      "[Comp]\nName=Other\nGrid=2,2\n"
                                                      "[Wire]\nGrids=1,1,5,1\n");
    ASSERT_EQ(ReadInto(record_, path), 0);
    ASSERT_EQ(document_->itemList.count, 2);
    const SchematicItem* r = ListHead<SchematicItem>(document_->itemList);
    const ComponentAttribute* value = FindAttribute(r, kAttrValue);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->value, "1k,2%");
    EXPECT_EQ(value->textOffsetY, -12);
    EXPECT_EQ(value->display, 8192);
    EXPECT_EQ(value->font.height, 9);
    const ComponentAttribute* mine = FindAttribute(r, "MYNAME");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->value, "");
    EXPECT_EQ(mine->textOffsetX, 1000);
    EXPECT_EQ(mine->textOffsetY, -1000);
    EXPECT_EQ(FindAttribute(r, kAttrTempPart) != nullptr, true);
    EXPECT_EQ(GetAttributeText(r, kAttrPart), "");
    // The missing definitions are listed once each, in order, and the rest of the file loaded.
    EXPECT_EQ(CircuitFiles().missingComponents, "'Unknown','Other'");
    EXPECT_EQ(ListNext(r)->itemKind, kItemWire);

    // Without collecting, a missing definition ends the load with its name as the context.
    EXPECT_EQ(ReadInto(NewRecord(), path, kLoadCheckItems), kMsgMissingDefinition);
}

TEST_F(CircuitFileRead, StyleNamesAndObjectsThatMustStayVisible)
{
    EXPECT_EQ(ParseStyleFlags("ArrowF, arrow,Bogus"), 0x0003);
    EXPECT_EQ(ParseStyleFlags("Dash,dot"), 0x0030);
    EXPECT_EQ(ObjectKindFromName("measureh"), kObjectMeasureH);
    EXPECT_EQ(ObjectKindFromName("Circle"), 0);
    EXPECT_EQ(ParseWaveFormOptions("user,Output,nonsense"), kLimitsUser | kLimitsOutput);
    const std::string path = MakeFile("obj.cir", MainSection() + "[Object]\nObject=Rectangle\nGrids=1,1,9,9\n"
                                                                 "[Object]\nObject=Picture\nGrids=1,1,9,9\n"
                                                                 "[Object]\nStyle=Fill\nGrids=1,1,9,9\n");
    ASSERT_EQ(ReadInto(record_, path), 0);
    ASSERT_EQ(document_->itemList.count, 2);
    const SchematicItem* box = ListHead<SchematicItem>(document_->itemList);
    EXPECT_EQ(box->style, kObjectRectangle | 0x0080);
    EXPECT_EQ(ListNext(box)->style, kObjectPicture);
}

TEST_F(CircuitFileRead, SettingsSectionsReadTheirEdgeValues)
{
    const std::string path = MakeFile("settings.cir", MainSection() +
                                                          "[Stepping]\nMethod=Log\nIndex=0\nMethod=Log\nMethod=linear\n"
                                                          "[Stepping]\nIndex=11\nStatus=On\n"
                                                          "[Stepping]\nIndex=4\nParameter Type=Symbolic\n"
                                                          "[Monte Carlo Options]\nDistribution=Worst Case\nAnalysis=AC\n"
                                                          "Distribution=Linear\nNumber of Runs=25\n"
                                                          "[Monte Carlo Options]\nAnalysis=DC\n"
                                                          "[DSP]\nT.Status=On\nD.Max=9\nA.NPts=12345678901234567890123\n"
                                                          "[Performance WaveForm]\nFunction=Peak\n"
                                                          "[Performance]\nAnalysis=AC\nTitle=P\n"
                                                          "[Performance WaveForm]\nFunction=rise_time\nArg 1=0.5\n"
                                                          "[Performance WaveForm]\nFunction=Bogus\n");
    document_->monteCarlo[2].options = 0;
    ASSERT_EQ(ReadInto(record_, path), 0);
    // Index 0 and 11 both select the first slot and clear its flags first.
    EXPECT_EQ(document_->stepping[0].flags, kStepOn | kStepLinear | kStepComponent);
    EXPECT_EQ(document_->stepping[3].flags, kStepSymbolic | kStepLinear);
    EXPECT_EQ(document_->monteCarlo[1].options & kMonteCarloDistributionMask, 2u);
    EXPECT_EQ(document_->monteCarlo[1].runs, "25");
    EXPECT_EQ(document_->monteCarlo[2].options & kMonteCarloDistributionMask, 1u);
    EXPECT_EQ(document_->dsp[0].on, 1);
    EXPECT_EQ(document_->dsp[1].nPts, "1234567890123456789");
    EXPECT_EQ(document_->dsp[2].max, "9");
    ASSERT_EQ(document_->performanceWindows[1].count, 1);
    const auto* window = ListHead<PerformanceWindowRecord>(document_->performanceWindows[1]);
    ASSERT_EQ(window->functions.size(), 2u);
    EXPECT_EQ(window->functions[0].function, 0);
    EXPECT_EQ(window->functions[0].args[1], 0.5);
    EXPECT_EQ(window->functions[1].function, kNoPerformanceFunction);
}

TEST_F(CircuitFileRead, WindowObjectsAttachToTheirOwnPlot)
{
    const std::string path = MakeFile("objects.cir", MainSection() +
                                                         "[Analysis]\nAnimateWaitTime=100\n"
                                                         "[AObject]\nAnalysis=AC\nObject=Text\nText=peak\nw=2\n"
                                                         "[Graph 3D]\nAnalysis=DC\nXRot=30\nFunction=Peak\nXData=4\n"
                                                         "[AObject]\nObject=Tag\nPos=1,2,3,4\n");
    ASSERT_EQ(ReadInto(record_, path), 0);
    ASSERT_EQ(record_->plot->objects.count, 1);
    const PlotObject* text = ListHead<PlotObject>(record_->plot->objects);
    EXPECT_EQ(text->analysisKind, 2);
    EXPECT_EQ(text->text, "peak");
    EXPECT_EQ(text->w, 2);
    const auto* graph = ListHead<Graph3DPlot>(document_->graph3DWindows[2]);
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->rotation[0], 30.0);
    EXPECT_EQ(graph->function.function, 2);
    EXPECT_EQ(graph->function.xData, 4);
    ASSERT_EQ(graph->view.plot.objects.count, 1);
    const PlotObject* tag = ListHead<PlotObject>(graph->view.plot.objects);
    EXPECT_EQ(tag->analysisKind, 3);
    EXPECT_EQ(tag->w, -1);
    EXPECT_EQ(tag->y2, 4.0);
}

TEST_F(CircuitFileRead, PlacementsSavedAtAnotherScreenSizeAreDropped)
{
    const std::string placement = "[Window Placement]\nCircuit=0,1, -1,-1, -1,-1, 10,20,300,400\n"
                                  "[Performance]\nAnalysis=AC\nWindow Placement=0,1, 0,0, 0,0, 5,5,50,50\n";
    const std::string screen = "Screen=" + std::to_string(win::GetSystemMetrics(win::SM_CXSCREEN)) + "," +
                               std::to_string(win::GetSystemMetrics(win::SM_CYSCREEN)) + "\n";
    WindowRecord* same = NewRecord();
    ASSERT_EQ(ReadInto(same, MakeFile("same.cir", MainSection() + screen + placement)), 0);
    EXPECT_NE(same->document->placements[0].length, 0u);
    EXPECT_EQ(same->document->placements[0].rcNormalPosition.right, 300);

    WindowRecord* other = NewRecord();
    ASSERT_EQ(ReadInto(other, MakeFile("other.cir", MainSection() + "Screen=1,1\n" + placement)), 0);
    EXPECT_EQ(other->document->placements[0].length, 0u);
    const auto* window = ListHead<PerformanceWindowRecord>(other->document->performanceWindows[1]);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->view.placement.length, 0u);
}

}  // namespace
}  // namespace kq5::testing
