#include "circuit_file_test_support.h"

#include "document/node_flags.h"
#include "document/part_numbering.h"
#include "results/plot_object.h"

namespace kq5::testing {

namespace {

void ExpectSameFont(const FontSpec& a, const FontSpec& b, const std::string& where)
{
    EXPECT_EQ(a.height, b.height) << where;
    EXPECT_EQ(a.face, b.face) << where;
    EXPECT_EQ(a.style, b.style) << where;
    EXPECT_EQ(a.color, b.color) << where;
}

void ExpectSamePlacement(const win::WINDOWPLACEMENT& a, const win::WINDOWPLACEMENT& b, const std::string& where)
{
    // A placement without a normal rectangle reads back as not valid.
    const bool valid = a.length != 0 && a.rcNormalPosition.left != a.rcNormalPosition.right;
    EXPECT_EQ(valid ? a.length : 0u, b.length) << where;
    EXPECT_EQ(a.flags, b.flags) << where;
    EXPECT_EQ(a.showCmd, b.showCmd) << where;
    EXPECT_EQ(a.ptMinPosition.x, b.ptMinPosition.x) << where;
    EXPECT_EQ(a.ptMaxPosition.y, b.ptMaxPosition.y) << where;
    EXPECT_EQ(a.rcNormalPosition.left, b.rcNormalPosition.left) << where;
    EXPECT_EQ(a.rcNormalPosition.bottom, b.rcNormalPosition.bottom) << where;
}

void ExpectSamePreview(const PrintPreview& a, const PrintPreview& b, const std::string& where)
{
    EXPECT_EQ(a.on, b.on) << where;
    EXPECT_EQ(a.values, b.values) << where;
}

void ExpectSameAttributes(const SchematicItem& a, const SchematicItem& b, const std::string& where)
{
    ASSERT_EQ(a.attributes.count, b.attributes.count) << where;
    const ComponentAttribute* y = ListHead<ComponentAttribute>(b.attributes);
    for (const ComponentAttribute& x : ListRecords<ComponentAttribute>(a.attributes)) {
        const std::string at = where + " attribute " + std::string(AttributeName(x));
        EXPECT_EQ(AttributeName(x), AttributeName(*y)) << at;
        EXPECT_EQ(x.keyId, y->keyId) << at;
        EXPECT_EQ(x.value, y->value) << at;
        EXPECT_EQ(x.display, y->display) << at;
        EXPECT_EQ(x.textOffsetX, y->textOffsetX) << at;
        EXPECT_EQ(x.textOffsetY, y->textOffsetY) << at;
        ExpectSameFont(x.font, y->font, at);
        y = ListNext(y);
    }
}

void ExpectSameObjects(const PlotRecord& a, const PlotRecord& b, const std::string& where)
{
    ASSERT_EQ(a.objects.count, b.objects.count) << where;
    const PlotObject* y = ListHead<PlotObject>(b.objects);
    for (const PlotObject& x : ListRecords<PlotObject>(a.objects)) {
        EXPECT_EQ(x.style, y->style) << where;
        EXPECT_EQ(x.text, y->text) << where;
        EXPECT_EQ(x.x1, y->x1) << where;
        EXPECT_EQ(x.y2, y->y2) << where;
        EXPECT_EQ(x.measured, y->measured) << where;
        EXPECT_EQ(x.analysisKind, y->analysisKind) << where;
        EXPECT_EQ(x.w, y->w) << where;
        EXPECT_EQ(x.w2, y->w2) << where;
        EXPECT_EQ(x.color, y->color) << where;
        EXPECT_EQ(x.fillColor, y->fillColor) << where;
        const std::uint16_t kind = x.style & 0x0F00;
        // Only measure lines, tags and texts keep a font.
        if (kind == kObjectMeasureH || kind == kObjectMeasureV || kind == kObjectTag || kind == kObjectText)
            ExpectSameFont(x.font, y->font, where);
        y = ListNext(y);
    }
}

void ExpectSameFunction(const FunctionRecord& a, const FunctionRecord& b, const std::string& where)
{
    EXPECT_EQ(a.function, b.function) << where;
    EXPECT_EQ(a.expression, b.expression) << where;
    EXPECT_EQ(a.boolean, b.boolean) << where;
    EXPECT_EQ(a.args, b.args) << where;
    EXPECT_EQ(a.color, b.color) << where;
    EXPECT_EQ(a.lineWidth, b.lineWidth) << where;
    EXPECT_EQ(a.plotNumber, b.plotNumber) << where;
    EXPECT_EQ(a.xData, b.xData) << where;
    EXPECT_EQ(a.zData, b.zData) << where;
    EXPECT_EQ(a.enable, b.enable) << where;
    EXPECT_EQ(a.autoScale, b.autoScale) << where;
    EXPECT_EQ(a.rangeMin, b.rangeMin) << where;
    EXPECT_EQ(a.rangeMax, b.rangeMax) << where;
    EXPECT_EQ(a.valueFormat, b.valueFormat) << where;
    EXPECT_EQ(a.scaleFormat, b.scaleFormat) << where;
    EXPECT_EQ(a.temperatureCase, b.temperatureCase) << where;
    EXPECT_EQ(a.monteCarloCase, b.monteCarloCase) << where;
    EXPECT_EQ(a.steppingCases, b.steppingCases) << where;
}

void ExpectSameView(const DerivedWindowView& a, const DerivedWindowView& b, const std::string& where)
{
    EXPECT_EQ(a.title, b.title) << where;
    EXPECT_EQ(a.autoTitle, b.autoTitle) << where;
    ExpectSamePlacement(a.placement, b.placement, where);
    ExpectSamePreview(a.printPreview, b.printPreview, where);
    ExpectSameFont(a.font, b.font, where);
    ExpectSameFont(a.objectFont, b.objectFont, where);
    EXPECT_EQ(a.winBackgroundColor, b.winBackgroundColor) << where;
    ExpectSameObjects(a.plot, b.plot, where + " plot");
}

template <class T, class Compare>
void ExpectSameLists(const LinkedList& a, const LinkedList& b, const std::string& where, Compare compare)
{
    ASSERT_EQ(a.count, b.count) << where;
    const T* y = ListHead<T>(b);
    for (const T& x : ListRecords<T>(a)) {
        compare(x, *y);
        y = ListNext(y);
    }
}

void ExpectSameAnalysisWindows(const CircuitDocument& a, const CircuitDocument& b)
{
    for (std::size_t kind = 0; kind < kAnalysisKindCount; ++kind) {
        ExpectSameLists<MonteCarloWindowRecord>(
            a.monteCarloWindows[kind], b.monteCarloWindows[kind], "monte carlo",
            [](const MonteCarloWindowRecord& x, const MonteCarloWindowRecord& y) {
                ExpectSameView(x.view, y.view, "monte carlo");
                EXPECT_EQ(x.backgroundColor, y.backgroundColor);
                EXPECT_EQ(x.gridColor, y.gridColor);
                EXPECT_EQ(x.foreColor, y.foreColor);
                EXPECT_EQ(x.shadowColor, y.shadowColor);
                EXPECT_EQ(x.intervals, y.intervals);
                EXPECT_EQ(x.format, y.format);
                ExpectSameFunction(x.function, y.function, "monte carlo function");
            });
        ExpectSameLists<Graph3DPlot>(a.graph3DWindows[kind], b.graph3DWindows[kind], "3-D",
                                     [](const Graph3DPlot& x, const Graph3DPlot& y) {
                                         ExpectSameView(x.view, y.view, "3-D");
                                         EXPECT_EQ(x.wireGridColor, y.wireGridColor);
                                         EXPECT_EQ(x.backgroundColor, y.backgroundColor);
                                         EXPECT_EQ(x.color, y.color);
                                         EXPECT_EQ(x.contour, y.contour);
                                         EXPECT_EQ(x.flashCursor, y.flashCursor);
                                         EXPECT_EQ(x.patchesZ, y.patchesZ);
                                         EXPECT_EQ(x.rotation, y.rotation);
                                         EXPECT_EQ(x.performance, y.performance);
                                         EXPECT_EQ(x.valueFormat, y.valueFormat);
                                         EXPECT_EQ(x.scaleFormat, y.scaleFormat);
                                         ExpectSameFunction(x.function, y.function, "3-D function");
                                     });
        ExpectSameLists<PerformanceWindowRecord>(
            a.performanceWindows[kind], b.performanceWindows[kind], "performance",
            [](const PerformanceWindowRecord& x, const PerformanceWindowRecord& y) {
                ExpectSameView(x.view, y.view, "performance");
                EXPECT_EQ(x.gridColor, y.gridColor);
                EXPECT_EQ(x.graphBackground, y.graphBackground);
                EXPECT_EQ(x.scaleColor, y.scaleColor);
                EXPECT_EQ(x.sameYScales, y.sameYScales);
                EXPECT_EQ(x.options, y.options);
                ASSERT_EQ(x.functions.size(), y.functions.size());
                for (std::size_t i = 0; i < x.functions.size(); ++i)
                    ExpectSameFunction(x.functions[i], y.functions[i], "performance function");
            });
    }
}

void ExpectSameAnalysisSettings(const WindowRecord& expected, const WindowRecord& actual)
{
    const CircuitDocument& a = *expected.document;
    const CircuitDocument& b = *actual.document;
    EXPECT_EQ(a.animateWait, b.animateWait);
    EXPECT_EQ(a.animateWaitTime, b.animateWaitTime);
    EXPECT_EQ(a.reduceDisplay, b.reduceDisplay);
    EXPECT_EQ(a.reduceSave, b.reduceSave);
    for (std::size_t k = 0; k < kAnalysisKindCount; ++k) {
        ExpectSamePreview(a.analysisPrintPreview[k], b.analysisPrintPreview[k], "analysis preview");
        EXPECT_EQ(a.printAutoTile[k], b.printAutoTile[k]);
        EXPECT_EQ(a.printBlackBorder[k], b.printBlackBorder[k]);
    }
    EXPECT_EQ(a.limits.transient, b.limits.transient);
    EXPECT_EQ(a.limits.ac, b.limits.ac);
    EXPECT_EQ(a.limits.dc, b.limits.dc);
    for (std::size_t k = 0; k < kAnalysisKindCount; ++k) {
        ASSERT_EQ(a.limitsRows[k].size(), b.limitsRows[k].size()) << "rows of kind " << k;
        for (std::size_t i = 0; i < a.limitsRows[k].size(); ++i) {
            const LimitsRow& x = a.limitsRows[k][i];
            const LimitsRow& y = b.limitsRows[k][i];
            EXPECT_EQ(x.xExpression, y.xExpression);
            EXPECT_EQ(x.yExpression, y.yExpression);
            EXPECT_EQ(x.xRange, y.xRange);
            EXPECT_EQ(x.yRange, y.yRange);
            EXPECT_EQ(x.yValueFormat, y.yValueFormat);
            EXPECT_EQ(x.plotGroup, y.plotGroup);
            EXPECT_EQ(x.options, y.options);
            EXPECT_EQ(x.color, y.color);
            EXPECT_EQ(x.lineWidth, y.lineWidth);
            EXPECT_EQ(x.xValueFormat, y.xValueFormat);
            EXPECT_EQ(x.xScaleFormat, y.xScaleFormat);
            EXPECT_EQ(x.yScaleFormat, y.yScaleFormat);
        }
        EXPECT_EQ(a.monteCarlo[k].options, b.monteCarlo[k].options);
        EXPECT_EQ(a.monteCarlo[k].runs, b.monteCarlo[k].runs);
        EXPECT_EQ(a.monteCarlo[k].performance, b.monteCarlo[k].performance);
    }
    EXPECT_EQ(a.steppingSimultaneous, b.steppingSimultaneous);
    for (std::size_t i = 0; i < kSteppingSlots; ++i) {
        EXPECT_EQ(a.stepping[i].flags, b.stepping[i].flags) << "stepping slot " << i;
        EXPECT_EQ(a.stepping[i].deviceIndex, b.stepping[i].deviceIndex);
        EXPECT_EQ(a.stepping[i].name, b.stepping[i].name);
        EXPECT_EQ(a.stepping[i].param, b.stepping[i].param);
        EXPECT_EQ(a.stepping[i].from, b.stepping[i].from);
        EXPECT_EQ(a.stepping[i].to, b.stepping[i].to);
        EXPECT_EQ(a.stepping[i].value, b.stepping[i].value);
    }
    for (std::size_t i = 0; i < a.dsp.size(); ++i) {
        EXPECT_EQ(a.dsp[i].on, b.dsp[i].on);
        EXPECT_EQ(a.dsp[i].max, b.dsp[i].max);
        EXPECT_EQ(a.dsp[i].min, b.dsp[i].min);
        EXPECT_EQ(a.dsp[i].nPts, b.dsp[i].nPts);
    }
    const PlotViewSettings& x = PlotViewOf(expected.plot);
    const PlotViewSettings& y = PlotViewOf(actual.plot);
    EXPECT_EQ(x.sameYScales, y.sameYScales);
    EXPECT_EQ(x.saveForFuture, y.saveForFuture);
    EXPECT_EQ(x.optionWord, y.optionWord);
    ExpectSameFont(x.textFont, y.textFont, "analysis text");
    ExpectSameFont(x.objectFont, y.objectFont, "analysis object");
    EXPECT_EQ(x.gridColor, y.gridColor);
    EXPECT_EQ(x.graphBackground, y.graphBackground);
    EXPECT_EQ(x.windowBackground, y.windowBackground);
    EXPECT_EQ(x.scaleColor, y.scaleColor);
    ExpectSameObjects(*expected.plot, *actual.plot, "analysis plot");
    ExpectSameAnalysisWindows(a, b);
}

}  // namespace

void ExpectSameDocuments(const WindowRecord& expected, const WindowRecord& actual)
{
    const CircuitDocument& a = *expected.document;
    const CircuitDocument& b = *actual.document;
    ExpectSameFont(a.attributeFont, b.attributeFont, "attribute font");
    ExpectSameFont(a.gridTextFont, b.gridTextFont, "grid text font");
    ExpectSameFont(a.circuitObjectFont, b.circuitObjectFont, "object font");
    ExpectSameFont(a.numOutFont, b.numOutFont, "numout font");
    ExpectSameFont(a.titleBlockFont, b.titleBlockFont, "title block font");
    EXPECT_EQ(a.componentFont.color, b.componentFont.color);
    EXPECT_EQ(a.wireFont.color, b.wireFont.color);
    EXPECT_EQ(a.backgroundColor, b.backgroundColor);
    EXPECT_EQ(a.digitalPathColor, b.digitalPathColor);
    for (std::size_t i = 0; i < kWindowPlacements; ++i) ExpectSamePlacement(a.placements[i], b.placements[i], "placement");

    ExpectSameLists<SchematicItem>(a.itemList, b.itemList, "items", [](const SchematicItem& x, const SchematicItem& y) {
        EXPECT_EQ(x.itemKind, y.itemKind);
        EXPECT_EQ(x.x1, y.x1);
        EXPECT_EQ(x.y1, y.y1);
        if (x.itemKind != kItemComponent) {
            EXPECT_EQ(x.x2, y.x2);
            EXPECT_EQ(x.y2, y.y2);
        }
        EXPECT_EQ(x.definition, y.definition);
        EXPECT_EQ(x.style, y.style);
        EXPECT_EQ(x.color, y.color);
        if (x.itemKind == kItemGraphicObject && (x.style & 0x0F00) == kObjectRectangle) {
            EXPECT_EQ(x.fillColor, y.fillColor);
        }
        EXPECT_EQ(x.orientation, y.orientation);
        EXPECT_EQ(x.page, y.page);
        ExpectSameAttributes(x, y, "item");
    });
    ExpectSameLists<GridText>(a.gridTextList, b.gridTextList, "grid texts", [](const GridText& x, const GridText& y) {
        EXPECT_EQ(x.text, y.text);
        EXPECT_EQ(x.x, y.x);
        EXPECT_EQ(x.y, y.y);
        EXPECT_EQ(x.page, y.page);
        EXPECT_EQ(x.flags, y.flags);
        ExpectSameFont(x.font, y.font, "grid text " + x.text);
    });

    ASSERT_EQ(a.pages.size(), b.pages.size());
    for (std::size_t i = 0; i < a.pages.size(); ++i) {
        EXPECT_EQ(a.pages[i].name, b.pages[i].name);
        EXPECT_EQ(a.pages[i].originX, b.pages[i].originX);
        EXPECT_EQ(a.pages[i].originY, b.pages[i].originY);
        EXPECT_EQ(a.pages[i].grid, b.pages[i].grid);
        for (std::size_t k = 0; k < kAnalysisKindCount; ++k)
            ExpectSamePreview(a.pages[i].printPreview[k], b.pages[i].printPreview[k], "page preview");
    }
    EXPECT_EQ(a.panePage, b.panePage);
    EXPECT_EQ(a.paneFirstTab, b.paneFirstTab);
    EXPECT_EQ(a.paneTabWidth, b.paneTabWidth);
    EXPECT_EQ(a.splitterX, b.splitterX);
    EXPECT_EQ(a.splitterY, b.splitterY);
    EXPECT_EQ(a.textAreaPane, b.textAreaPane);
    EXPECT_EQ(a.zoomFactor, b.zoomFactor);
    EXPECT_EQ(a.printerScale, b.printerScale);
    EXPECT_EQ(a.viewOptions & ~kViewNodeVoltages, b.viewOptions);
    EXPECT_EQ(expected.textArea, actual.textArea);
    EXPECT_EQ(a.textCommentColor, b.textCommentColor);
    EXPECT_EQ(a.textBackgroundColor, b.textBackgroundColor);
    ExpectSameAnalysisSettings(expected, actual);
}

namespace {

SchematicItem* AddItem(WindowRecord* record, std::uint16_t kind, int x1, int y1, int x2, int y2, int page)
{
    SchematicItem* item = NewSchematicItem(record);
    item->itemKind = kind;
    item->x1 = x1;
    item->y1 = y1;
    item->x2 = x2;
    item->y2 = y2;
    item->page = static_cast<std::int16_t>(page);
    return item;
}

SchematicItem* AddPart(WindowRecord* record, ComponentDefinition* definition, int x, int y, int orientation, int page)
{
    SchematicItem* item = AddItem(record, kItemComponent, x, y, 0, 0, page);
    item->definition = definition;
    item->orientation = static_cast<OrientationCode>(orientation);
    SetDefaultAttributes(record, *item, FileReaderDefaultTexts());
    return item;
}

GridText* AddText(WindowRecord* record, const std::string& text, int x, int y, int page, bool flag)
{
    GridText* grid = NewGridText(record);
    grid->text = text;
    grid->x = x;
    grid->y = y;
    grid->page = static_cast<std::int16_t>(page);
    if (flag) grid->flags |= kGridTextIsFlag;
    UpdateNodeLabelFlag(*grid);
    return grid;
}

PlotObject* AddObject(PlotRecord& plot, std::uint16_t style, int analysisKind, const std::string& text)
{
    PlotObject* object = ListAppendAs<PlotObject>(plot.objects, kKindPlotObject);
    object->style = style;
    object->analysisKind = static_cast<std::int16_t>(analysisKind);
    object->text = text;
    object->x1 = 1e-6;
    object->y1 = -2.5;
    object->x2 = 3e-6;
    object->y2 = 4.25;
    object->color = 12;
    object->font.height = 14;
    return object;
}

FunctionRecord SampleFunction(int index)
{
    FunctionRecord f;
    f.function = index;
    f.expression = "v(out)";
    f.boolean = "t>1u";
    f.args = {0.1, 0.9, 2.0};
    f.color = 17;
    f.lineWidth = 2;
    f.plotNumber = 3;
    f.xData = 1;
    f.zData = 2;
    f.enable = 0;
    f.autoScale = {0, 1};
    f.rangeMin = {-1.5, 0.0};
    f.rangeMax = {1.5, 10.0};
    f.valueFormat = {"%.3f", ""};
    f.scaleFormat = {"", "%g"};
    f.temperatureCase = 1;
    f.monteCarloCase = 4;
    f.steppingCases[3] = 4;
    return f;
}

void BuildAnalysisSettings(WindowRecord* record)
{
    CircuitDocument& d = *record->document;
    d.animateWait = 1;
    d.animateWaitTime = 250;
    d.reduceDisplay = {2, 1, 1};
    d.reduceSave = {1, 3, 1};
    d.analysisPrintPreview[1] = PrintPreview{1, {0.5, 1.0, 2.0, 4.0}};
    d.printAutoTile = {1, 0, 0};
    d.printBlackBorder = {0, 0, 1};
    PlotViewSettings& view = PlotViewOf(record->plot);
    view.sameYScales = 1;
    view.saveForFuture = {1, 0, 1};
    view.optionWord = {3, 5, 7};
    view.textFont.height = 9;
    view.gridColor = 4;
    view.graphBackground = 5;
    view.objectFont.height = 10;
    view.objectFont.style = 2;
    view.windowBackground = 6;
    view.scaleColor = 1;
    AddObject(*record->plot, kObjectText, 1, "peak")->w = 0;
    PlotObject* measure = AddObject(*record->plot, kObjectMeasureH, 2, "");
    measure->w = 1;
    measure->w2 = 2;
    measure->measured = 0.125;
    AddObject(*record->plot, kObjectRectangle | kStyleFill, 3, "")->fillColor = 9;

    d.limits.transient = {"1u", "", "51", "27"};
    d.limits.ac = {"1Meg,1k", "100", "", "5", "1", "2"};
    d.limits.dc = {"10", "1", "", "", "201", "27", ""};
    d.limitsRows[0].resize(2);
    d.limitsRows[0][0] = LimitsRow{"T", "v(1)", "1u,0", "5,-5", "", '1', kLimitsOutput | kLimitsUser, 18, 2, 1, "%.2f", "", "%g"};
    d.limitsRows[0][1] = LimitsRow{"T", "i(r1)", "", "", "%.3e", 0, 0, 0, 1, 1, "", "", ""};
    d.limitsRows[1].resize(1);
    d.limitsRows[1][0] = LimitsRow{"F", "db(v(2))", "", "", "", '2', kLimitsLinearY, 0, 1, 1, "", "%g", ""};
    d.limitsRows[2].clear();

    d.monteCarlo[0] = MonteCarloOptions{kMonteCarloOn | 2, "10", "peak(v(1))"};
    d.monteCarlo[1] = MonteCarloOptions{3, "", ""};
    d.steppingSimultaneous = 1;
    d.stepping[0] = SteppingSlot{kStepLog | kStepModel | kStepOn, 3, "R1", "R", "1k", "10k", "1k"};
    d.stepping[5] = SteppingSlot{kStepList | kStepSymbolic, 0, "X", "", "", "", "1,2,3"};
    d.dsp[0] = DspSettings{1, "1u", "0", "1024"};
    d.dsp[1] = DspSettings{0, "1Meg", "", ""};

    MonteCarloWindowRecord* mc = AppendMonteCarloWindow(d, 1);
    mc->view.title = "Histogram";
    mc->view.autoTitle = 0;
    mc->view.placement = win::WINDOWPLACEMENT{44, 0, 1, {-1, -1}, {-1, -1}, {5, 6, 405, 306}};
    mc->view.font.height = 11;
    mc->view.winBackgroundColor = 3;
    mc->backgroundColor = 1;
    mc->gridColor = 2;
    mc->foreColor = 8;
    mc->shadowColor = 7;
    mc->intervals = 20;
    mc->format = "%g";
    mc->function = SampleFunction(2);
    AddObject(mc->view.plot, kObjectText, 2, "mc");
    // What a Monte Carlo window keeps of a function.
    FunctionRecord& mcf = mc->function;
    mcf.color = 0;
    mcf.lineWidth = 1;
    mcf.plotNumber = 0;
    mcf.xData = mcf.zData = 0;
    mcf.enable = 1;
    mcf.autoScale = {1, 1};
    mcf.rangeMin = mcf.rangeMax = {0.0, 0.0};
    mcf.valueFormat = mcf.scaleFormat = {"", ""};
    mcf.steppingCases = {};

    Graph3DPlot* graph = AppendGraph3DWindow(d, 0);
    graph->view.title = "Surface";
    graph->view.printPreview = PrintPreview{0, {0.0, 0.0, 1.0, 0.0}};
    graph->wireGridColor = 9;
    graph->backgroundColor = {1, 2, 3};
    graph->color = 1;
    graph->contour = 1;
    graph->flashCursor = 1;
    graph->patchesX = 10;
    graph->patchesZ = 12;
    graph->rotation = {30.0, -45.0, 0.5};
    graph->performance = 1;
    graph->valueFormat = {"%.1f", "", "%g"};
    graph->scaleFormat = {"", "%e", ""};
    graph->function = SampleFunction(kNoPerformanceFunction);
    FunctionRecord& gf = graph->function;
    gf.color = 0;
    gf.lineWidth = 1;
    gf.plotNumber = 0;
    gf.enable = 1;
    gf.autoScale = {1, 1};
    gf.rangeMin = gf.rangeMax = {0.0, 0.0};
    gf.valueFormat = gf.scaleFormat = {"", ""};
    AddObject(graph->view.plot, kObjectTag, 1, "");

    PerformanceWindowRecord* performance = AppendPerformanceWindow(d, 2);
    performance->view.title = "Performance";
    performance->gridColor = 4;
    performance->graphBackground = 2;
    performance->scaleColor = 1;
    performance->sameYScales = 1;
    performance->options = 0x21;
    performance->functions = {SampleFunction(0), SampleFunction(15)};
    AddObject(performance->view.plot, kObjectLine | 0x0001, 3, "");
}

}  // namespace

void BuildRichDocument(WindowRecord* record, ComponentDefinition* resistor, ComponentDefinition* capacitor)
{
    CircuitDocument& d = *record->document;
    d.attributeFont.height = 10;
    d.gridTextFont.height = 12;
    d.gridTextFont.style = 4;
    d.circuitObjectFont.color = 5;
    d.numOutFont.height = 10;
    d.numOutFont.face = static_cast<std::int16_t>(FindFontFace("Courier New"));
    d.titleBlockFont.height = 20;
    d.componentFont.color = 3;
    d.wireFont.color = 6;
    d.backgroundColor = 7;
    d.digitalPathColor = 12;
    d.placements[0] = win::WINDOWPLACEMENT{44, 0, 1, {-1, -1}, {-1, -1}, {10, 20, 300, 400}};
    d.placements[3] = win::WINDOWPLACEMENT{44, 2, 3, {1, 2}, {3, 4}, {0, 0, 640, 480}};

    SchematicItem* r1 = AddPart(record, resistor, 10, 20, 0, 0);
    SetAttribute(record, r1, kAttrPart, "R1");
    ComponentAttribute* value = SetAttribute(record, r1, kAttrValue, "1k,2%");
    value->display = kAttrShowValue;
    value->textOffsetX = 5;
    value->textOffsetY = -12;
    value->font.height = 8;
    SetAttribute(record, r1, std::string_view("NOTE"), "line one\r\nline two\r\n");
    SetAttribute(record, r1, std::string_view("ABC"), "user, with comma");

    SchematicItem* c1 = AddPart(record, capacitor, 30, 40, 5, 1);
    c1->style = kStyleShowPinText;
    SetAttribute(record, c1, kAttrPart, "C1");
    SetAttribute(record, c1, kAttrValue, "10n");

    AddItem(record, kItemWire, 10, 20, 30, 20, 0);
    AddItem(record, kItemWire, 1, 2, 3, 4, 2);

    SchematicItem* box = AddItem(record, kItemGraphicObject, 5, 5, 25, 15, 1);
    box->style = kObjectRectangle | 0x0001 | 0x0080 | 0x0002 | 0x0004 | 0x0010;
    box->color = 14;
    box->fillColor = 9;
    SchematicItem* arrow = AddItem(record, kItemGraphicObject, 2, 2, 50, 50, 0);
    arrow->style = kObjectLine | 0x0001 | 0x0030;
    SchematicItem* label = AddItem(record, kItemGraphicObject, 60, 60, 80, 70, 0);
    label->style = kObjectText;
    SetAttribute(record, label, kAttrText, "A note\r\non two lines");

    AddText(record, "VOUT", 50, 60, 0, false);
    GridText* flag = AddText(record, "IN", 5, 5, 1, true);
    flag->font.height = 16;
    AddText(record, "first\r\nsecond", 70, 80, 2, false);

    ResizePageArray(record, 3);
    d.pages[0].name = "Page 1";
    d.pages[1].name = "Page 2";
    d.pages[1].originX[1] = 120;
    d.pages[1].originY[1] = 64;
    d.pages[2].name = "Amp";
    d.pages[2].grid = {2, 5};
    d.pages[2].printPreview[0] = PrintPreview{1, {0.0, 0.0, 0.0, 0.0}};
    d.panePage = {0, 1, 2, 0};
    d.paneFirstTab = {0, 1, 0, 0};
    d.paneTabWidth = {320, 48, 160, 64};
    d.splitterX = 100;
    d.splitterY = 200;
    d.textAreaPane = 0x1002;
    d.zoomFactor = 2.0;
    d.printerScale = 0.75;
    d.viewOptions = kDefaultViewOptions | kViewNodeNumbers | kViewNodeVoltages;
    // Raw bytes: both kinds of line end, a line that looks like a header, 0xFE, a zero byte.
    static const char kText[] = "* comment\r\n[Main]\r\n.tran 1n 1u\n\x01\xFE\xFF tail\0end";
    record->textArea.assign(kText, sizeof kText - 1);
    d.textCommentColor = 2;
    d.textBackgroundColor = 15;

    BuildAnalysisSettings(record);
}

}  // namespace kq5::testing
