// The blocks of the banner circuit file after the components block, from "grid text" to
// "text page". Each block routine both writes and reads; the order is the file's.
#include <cmath>
#include <cstdio>
#include <new>

#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "document/banner_file.h"
#include "document/banner_stream.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/import_v4.h"
#include "document/node_flags.h"
#include "document/section_stream.h"
#include "results/curve_record.h"
#include "document/limits_rows.h"
#include "results/plot_view_settings.h"
#include "document/page_array.h"

namespace kq5 {

namespace {

constexpr int kMsgAnalysisNameFirst = 5352;  // "Transient Analysis", then AC and DC
constexpr std::int32_t kLimitsRowTexts = 6;   // X, Y, X range, Y range, value format, plot group
constexpr int kDspKinds = 2;                  // transient and AC
constexpr std::int32_t kMaxAnalysisElements = 100000;
constexpr std::int32_t kLastColorIndex = 63;

// Colour indices read from a file must name one of the colour table's entries.
bool IsColor(std::int32_t index) { return index >= 0 && index <= kLastColorIndex; }

struct Body {
    BannerStream& s;
    WindowRecord* record;
    CircuitDocument& document;
    PlotRecord& plot;
};

void TransferGridTexts(Body& b)
{
    BannerStream& s = b.s;
    std::int32_t count = b.document.gridTextList.count;
    s.Marker("grid text").Count(count, kMaxBannerItems);
    if (s.Writing()) {
        for (GridText& text : ListRecords<GridText>(b.document.gridTextList)) {
            std::int16_t number = static_cast<std::int16_t>(text.number);
            s.Int(text.x).Int(text.y).Short(number).Short(text.page).Font(text.font, false).Byte(text.flags);
            s.Text(text.text);
        }
        return;
    }
    for (std::int32_t i = 0; i < count && s.Ok(); ++i) {
        if (s.Old()) {
            s.Fail(ReadOldGridTextRecord(b.record, s.Unit(), s.Options()));
            continue;
        }
        GridText read;
        read.font = b.document.gridTextFont;
        std::int16_t number = -1;
        s.Int(read.x).Int(read.y).Short(number).Short(read.page).Font(read.font, false).Byte(read.flags);
        s.Text(read.text);
        if (s.Ok()) s.Fail(ValidateItemPoint(s.Options(), read.x, read.y));
        if (s.Ok()) s.Fail(ValidatePage(read.page));
        if (!s.Ok()) break;
        GridText* text = NewGridText(b.record);
        if (text == nullptr) {
            s.Fail(kMsgInsufficientMemory);
            break;
        }
        text->x = read.x;
        text->y = read.y;
        text->number = number;
        text->page = read.page;
        text->font = read.font;
        text->flags = read.flags & kGridTextIsFlag;
        text->text = std::move(read.text);
        UpdateNodeLabelFlag(*text);
    }
}

std::span<std::string> LimitsTexts(CircuitDocument& document, int kind)
{
    if (kind == 0) return document.limits.transient;
    if (kind == 1) return document.limits.ac;
    return document.limits.dc;
}

void TransferAnalysisLimits(Body& b)
{
    BannerStream& s = b.s;
    s.Marker("analysis limits");
    for (int kind = 0; kind < kAnalysisKindCount && s.Ok(); ++kind) {
        std::span<std::string> texts = LimitsTexts(b.document, kind);
        std::int32_t last = static_cast<std::int32_t>(texts.size()) - 1;
        s.Int(last, true).Check(last >= -1 && last < kMaxBannerTexts);
        for (std::int32_t i = 0; i <= last && s.Ok(); ++i) {
            std::string dropped;
            s.Text(static_cast<std::size_t>(i) < texts.size() ? texts[static_cast<std::size_t>(i)] : dropped);
        }
    }
}

void TransferAnalysisOptions(Body& b)
{
    BannerStream& s = b.s;
    PlotViewSettings& view = PlotViewOf(b.record->plot);
    s.Marker("analysis options");
    for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
        if (s.Old() && s.Reading()) {
            std::string text;
            s.Text(text);
            if (s.Ok()) view.optionWord[static_cast<std::size_t>(kind)] = static_cast<std::int32_t>(OldOptionTextToWord(text, kind));
        } else {
            s.Int(view.optionWord[static_cast<std::size_t>(kind)], kind == kAnalysisKindCount - 1);
        }
    }
    if (s.Old()) return;
    // The rest of the analysis settings that the circuit keeps, one line per analysis kind and
    // one for the animation.
    CircuitDocument& d = b.document;
    for (std::size_t kind = 0; kind < kAnalysisKindCount; ++kind) {
        PrintPreview& preview = d.analysisPrintPreview[kind];
        s.Int(view.saveForFuture[kind]).Int(d.reduceDisplay[kind]).Int(d.reduceSave[kind]).Int(d.printAutoTile[kind]);
        s.Int(d.printBlackBorder[kind]).Int(preview.on);
        for (std::size_t i = 0; i < preview.values.size(); ++i) s.Double(preview.values[i], i + 1 == preview.values.size());
        s.Check(d.reduceDisplay[kind] >= 1 && d.reduceSave[kind] >= 1);
    }
    s.Int(d.animateWait).Int(d.animateWaitTime).Int(view.sameYScales, true);
}

void TransferLimitsRow(BannerStream& s, LimitsRow& row)
{
    std::int32_t last = kLimitsRowTexts - 1;
    s.Int(last, true).Check(last >= -1 && last < kMaxBannerTexts);
    std::string group = row.plotGroup ? std::string(1, row.plotGroup) : std::string();
    std::string* texts[kLimitsRowTexts] = {&row.xExpression, &row.yExpression, &row.xRange,
                                           &row.yRange,      &row.yValueFormat, &group};
    for (std::int32_t i = 0; i <= last && s.Ok(); ++i) {
        std::string dropped;
        s.Text(i < kLimitsRowTexts ? *texts[i] : dropped);
    }
    std::int32_t options = row.options;
    std::int32_t color = row.color;
    s.Int(options).Int(color).Int(row.lineWidth).Int(row.enabled, true);
    s.Text(row.xValueFormat, kLimitsFormatLength).Text(row.xScaleFormat, kLimitsFormatLength);
    s.Text(row.yScaleFormat, kLimitsYScaleFormatLength);
    if (!s.Ok() || s.Writing()) return;
    row.plotGroup = group.empty() ? 0 : group.front();
    row.options = static_cast<std::uint16_t>(options);
    row.color = static_cast<std::uint16_t>(std::clamp(color, 0, kLastColorIndex));
    if (row.lineWidth < 1) row.lineWidth = 1;
    if (s.Old()) {
        row.xExpression = ConvertOldLimitsExpression(row.xExpression);
        row.yExpression = ConvertOldLimitsExpression(row.yExpression);
    }
}

void TransferMonitors(Body& b)
{
    BannerStream& s = b.s;
    if (s.Reading()) FreeAllLimitsRows(b.record);
    for (int kind = 0; kind < kAnalysisKindCount && s.Ok(); ++kind) {
        std::string name = LoadResString(kMsgAnalysisNameFirst + kind) + " monitor";
        for (char& c : name) c = ToLowerChar(c);
        std::vector<LimitsRow>& rows = b.document.limitsRows[static_cast<std::size_t>(kind)];
        std::int32_t count = static_cast<std::int32_t>(rows.size());
        s.Marker(name).Count(count, kMaxBannerRows);
        if (s.Ok() && s.Reading()) s.Fail(SetLimitsRowCount(b.record, kind, count));
        for (LimitsRow& row : rows) {
            if (!s.Ok()) break;
            TransferLimitsRow(s, row);
        }
    }
}

void TransferPlotObject(BannerStream& s, PlotObject& object)
{
    std::uint16_t style = object.style;
    s.Word(style).Int(object.w).Int(object.w2).Short(object.analysisKind);
    s.Double(object.x1).Double(object.y1).Double(object.x2).Double(object.y2);
    s.Byte(object.color).Byte(object.fillColor).Double(object.measured).Font(object.font, true);
    object.style = style;
    if ((style & kStyleKindMask) == kObjectText) s.Text(object.text);
}

void TransferMonteCarlo(Body& b)
{
    BannerStream& s = b.s;
    s.Marker("monte carlo");
    for (MonteCarloOptions& options : b.document.monteCarlo) {
        std::int32_t word = static_cast<std::int32_t>(options.options);
        s.Int(word, true).Text(options.runs, kMonteCarloRunsLength).Text(options.performance);
        options.options = static_cast<std::uint32_t>(word);
    }
    LinkedList& objects = b.plot.objects;
    std::int32_t count = objects.count;
    s.Count(count, kMaxBannerItems);
    if (s.Writing()) {
        for (PlotObject& object : ListRecords<PlotObject>(objects)) TransferPlotObject(s, object);
        return;
    }
    for (std::int32_t i = 0; i < count && s.Ok(); ++i) {
        PlotObject* object = ListAppendAs<PlotObject>(objects, kKindPlotObject);
        if (object == nullptr) {
            s.Fail(kMsgInsufficientMemory);
            break;
        }
        TransferPlotObject(s, *object);
        object->color = std::min<std::uint8_t>(object->color, kLastColorIndex);
        object->fillColor = std::min<std::uint8_t>(object->fillColor, kLastColorIndex);
    }
}

void TransferDsp(Body& b)
{
    BannerStream& s = b.s;
    s.Marker("dsp");
    for (int kind = 0; kind < kDspKinds; ++kind) {
        DspSettings& dsp = b.document.dsp[static_cast<std::size_t>(kind)];
        s.Int(dsp.on, true).Text(dsp.max, kDspTextLength).Text(dsp.min, kDspTextLength).Text(dsp.nPts, kDspTextLength);
    }
}

void TransferStepping(Body& b)
{
    BannerStream& s = b.s;
    s.Marker("stepping");
    for (SteppingSlot& slot : b.document.stepping) {
        std::int32_t flags = static_cast<std::int32_t>(slot.flags);
        s.Text(slot.name).Text(slot.param).Text(slot.from).Text(slot.to).Text(slot.value);
        s.Int(flags).Int(slot.deviceIndex, true);
        slot.flags = static_cast<std::uint32_t>(flags);
    }
    s.Int(b.document.steppingSimultaneous, true);
}

// Blocks the program keeps no values for: written empty, read and dropped.
void TransferAnalysisElements(Body& b)
{
    BannerStream& s = b.s;
    std::int32_t count = 0;
    s.Marker("analysis elements").Count(count, kMaxAnalysisElements);
    for (std::int32_t i = 0; i < count && s.Ok(); ++i) {
        std::int32_t first = 0, second = 0;
        double low = 0.0, high = 0.0;
        std::int16_t third = 0, fourth = 0;
        std::string text;
        s.Int(first).Double(low).Double(high).Int(second).Short(third).Short(fourth, true).Text(text);
    }
    std::int32_t optimize = 0;
    s.Marker("analysis optimize").Int(optimize, true);
}

void TransferPlacements(Body& b)
{
    BannerStream& s = b.s;
    s.Marker("window placement");
    for (win::WINDOWPLACEMENT& placement : b.document.placements) {
        if (s.Ok()) s.Fail(TransferWindowPlacement(s.Unit(), placement));
    }
}

void TransferWindowFonts(Body& b)
{
    BannerStream& s = b.s;
    PlotViewSettings& view = PlotViewOf(b.record->plot);
    CircuitDocument& d = b.document;
    s.Marker("window font colors");
    for (FontSpec* font : {&d.analysisPlotFont, &view.textFont, &view.objectFont, &d.nodeNumberFont, &d.nodeVoltageFont})
        s.Font(*font, true);
    if (s.Version() >= kBannerFileVersion) s.Font(d.circuitObjectFont, true).Font(d.titleBlockFont, true);
}

void TransferSchematicOptions(Body& b)
{
    BannerStream& s = b.s;
    CircuitDocument& d = b.document;
    std::int32_t view = static_cast<std::int32_t>(d.viewOptions & ~kViewNodeVoltages);
    s.Marker("schematic options").Double(d.zoomFactor).Double(d.printerScale).Int(view, true);
    s.Check(std::isfinite(d.zoomFactor) && d.zoomFactor > 0.0 && std::isfinite(d.printerScale) && d.printerScale > 0.0);
    if (s.Ok() && s.Reading()) d.viewOptions = static_cast<std::uint32_t>(view) & ~kViewNodeVoltages;
}

void TransferQuads(Body& b)
{
    BannerStream& s = b.s;
    CircuitDocument& d = b.document;
    s.Marker("quads");
    for (int pane = 0; pane < kPaneCount; ++pane) {
        const auto p = static_cast<std::size_t>(pane);
        s.Int(d.panePage[p]).Int(d.paneFirstTab[p]).Int(d.paneTabWidth[p], true);
        if (s.Ok() && s.Reading()) s.Fail(ValidatePage(d.panePage[p]));
    }
    std::int32_t current = d.currentPane;
    s.Int(d.splitterX).Int(d.splitterY, true).Int(d.textAreaPane).Int(current, true);
    s.Check(current >= 0 && current < kPaneCount && (d.textAreaPane & ~kTextAreaHidden) >= 0 &&
            (d.textAreaPane & ~kTextAreaHidden) < kPaneCount);
    if (s.Ok()) d.currentPane = current;
}

void TransferCircuitFonts(Body& b)
{
    BannerStream& s = b.s;
    PlotViewSettings& view = PlotViewOf(b.record->plot);
    CircuitDocument& d = b.document;
    s.Marker("circuit fonts and colors");
    for (FontSpec* font : {&d.componentFont, &d.elementFont, &d.wireFont, &d.selectFont, &d.pinFont, &d.boxRegionFont,
                           &d.attributeFont, &d.gridTextFont})
        s.Font(*font, true);
    s.Int(d.digitalPathColor).Int(d.backgroundColor).Int(d.drawingColor).Byte(view.gridColor).Byte(view.graphBackground);
    s.Int(view.windowBackground).Int(view.scaleColor, true);
    s.Check(IsColor(d.digitalPathColor) && IsColor(d.backgroundColor) && IsColor(d.drawingColor) &&
            IsColor(view.windowBackground) && IsColor(view.gridColor) && IsColor(view.graphBackground));
    if (s.Ok()) s.Fail(TransferEmptyFields(s.Unit(), 10));
}

void TransferTextPageData(Body& b)
{
    BannerStream& s = b.s;
    s.Marker("text page data").Font(b.document.numOutFont, true);
    s.Int(b.document.textCommentColor).Int(b.document.textBackgroundColor, true);
    s.Check(IsColor(b.document.textCommentColor) && IsColor(b.document.textBackgroundColor));
}

void TransferPage(BannerStream& s, PageRecord& page)
{
    s.Text(page.name);
    for (int pane = 0; pane < kPaneCount; ++pane) s.Int(page.originX[static_cast<std::size_t>(pane)]);
    for (int pane = 0; pane < kPaneCount; ++pane) s.Int(page.originY[static_cast<std::size_t>(pane)], pane == kPaneCount - 1);
    s.Int(page.extent.left).Int(page.extent.top).Int(page.extent.right).Int(page.extent.bottom, true);
    s.Int(page.grid[0]).Int(page.grid[1], true);
    for (PrintPreview& preview : page.printPreview) {
        s.Int(preview.on);
        for (std::size_t i = 0; i < preview.values.size(); ++i) s.Double(preview.values[i], i + 1 == preview.values.size());
    }
}

// The text area's text: its length on a line, the bytes as they are, then a line end.
void TransferTextAreaBody(Body& b)
{
    BannerStream& s = b.s;
    std::int32_t length = static_cast<std::int32_t>(TextAreaLength(b.record));
    s.Int(length, true);
    if (!s.Ok()) return;
    if (s.Writing()) {
        s.Fail(WriteUnitBytes(s.Unit(), b.record->textArea));
        if (s.Ok()) s.Fail(UnitPrintf(s.Unit(), "\n"));
        return;
    }
    FileUnit* slot = GetFileUnit(s.Unit());
    std::FILE* stream = slot ? slot->stream.get() : nullptr;
    const long here = stream ? std::ftell(stream) : -1;
    const long size = stream ? FileLengthOfStream(stream) : -1;
    s.Check(stream != nullptr && length >= 0 && here >= 0 && length <= size - here);
    if (!s.Ok()) return;
    std::string text;
    try {
        text.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        s.Fail(kMsgInsufficientMemory);
        return;
    }
    s.Check(std::fread(text.data(), 1, text.size(), stream) == text.size());
    if (!s.Ok()) return;
    s.Fail(SetTextAreaText(b.record, text));
    if (!s.Ok()) return;
    std::string rest;
    ReadUnitRawLine(s.Unit(), rest);  // the line end after the text; the file may end without one
}

void TransferTextPage(Body& b)
{
    BannerStream& s = b.s;
    std::vector<PageRecord>& pages = b.document.pages;
    std::int32_t count = static_cast<std::int32_t>(pages.size());
    s.Marker("text page").Count(count, kMaxPageCount);
    if (s.Ok() && s.Reading()) {
        if (count == 0)
            FreePageArray(b.record);
        else
            s.Fail(ResizePageArray(b.record, count));
    }
    for (PageRecord& page : pages) {
        if (!s.Ok()) break;
        TransferPage(s, page);
    }
    TransferTextAreaBody(b);
}

}  // namespace

int TransferWindowPlacement(int unit, win::WINDOWPLACEMENT& placement)
{
    BannerStream s(unit, kBannerFileVersion, 0);
    std::int32_t flags = static_cast<std::int32_t>(placement.flags);
    std::int32_t show = static_cast<std::int32_t>(placement.showCmd);
    s.Int(flags).Int(show).Int(placement.ptMinPosition.x).Int(placement.ptMinPosition.y);
    s.Int(placement.ptMaxPosition.x).Int(placement.ptMaxPosition.y);
    win::RECT& r = placement.rcNormalPosition;
    s.Int(r.left).Int(r.top).Int(r.right).Int(r.bottom, true);
    if (s.Ok() && s.Reading()) {
        placement.flags = static_cast<win::UINT>(flags);
        placement.showCmd = static_cast<win::UINT>(show);
        placement.length = r.right != r.left ? sizeof(win::WINDOWPLACEMENT) : 0;
    }
    return s.Status();
}

int TransferBannerFont(int unit, FontSpec& font, std::int32_t version, bool endsLine)
{
    BannerStream s(unit, version, 0);
    return s.Font(font, endsLine).Status();
}

int TransferBannerBody(WindowRecord* record, int unit, BannerLoadOptions options, std::int32_t version)
{
    if (record == nullptr || !record->document) return 0;
    BannerStream s(unit, version, options);
    if (s.Reading() && s.Old() && (options & kLoadRefuseOld)) return kMsgOldMacroRefused;
    if (!record->plot) {
        try {
            record->plot = std::make_shared<PlotRecord>();
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
    }
    Body body{s, record, *record->document, *record->plot};
    for (void (*block)(Body&) : {TransferGridTexts, TransferAnalysisLimits, TransferAnalysisOptions, TransferMonitors,
                                 TransferMonteCarlo, TransferDsp, TransferStepping, TransferAnalysisElements,
                                 TransferPlacements, TransferWindowFonts, TransferSchematicOptions, TransferQuads,
                                 TransferCircuitFonts, TransferTextPageData, TransferTextPage}) {
        if (!s.Ok()) break;
        block(body);
    }
    if (!s.Ok() || s.Writing() || !s.Old()) return s.Status();
    ConvertOldObjectColours(record);
    ConvertOldLimitsRows(record);
    return ConvertOldCircuit(record);
}

}  // namespace kq5
