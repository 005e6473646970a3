#include "document/section_views.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <new>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/format.h"
#include "core/key_file.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"
#include "document/page_array.h"

namespace kq5 {

namespace {

enum class ValueType { Font, Color32, ColorByte, Flag };

struct FontColorRow {
    std::string_view key;
    ValueType type;
};

constexpr std::array<FontColorRow, 20> kFontAndColorTable = {{
    {"Circuit Background", ValueType::Color32},
    {"Grid Text", ValueType::Font},
    {"Circuit Object", ValueType::Font},
    {"Component", ValueType::ColorByte},
    {"Attribute Text", ValueType::Font},
    {"Wire", ValueType::ColorByte},
    {"Select", ValueType::ColorByte},
    {"Pin", ValueType::ColorByte},
    {"Box Region", ValueType::ColorByte},
    {"Node Number", ValueType::Font},
    {"Node Voltage", ValueType::ColorByte},
    {"Digital Path", ValueType::Color32},
    {"Title Block", ValueType::Font},
    {"Analysis Text", ValueType::Font},
    {"Analysis Grid Color", ValueType::ColorByte},
    {"Analysis Graph Background", ValueType::ColorByte},
    {"Analysis Object", ValueType::Font},
    {"Analysis Window Background", ValueType::Color32},
    {"NumOut", ValueType::Font},
    {"ScaleColor", ValueType::Flag},
}};

// The field a row of the table stands for; exactly one pointer is set, by the row's type.
struct FieldRef {
    FontSpec* font = nullptr;
    std::int32_t* word = nullptr;  // 32-bit colour or flag
    std::uint8_t* byte = nullptr;
};

FieldRef FontAndColorField(std::size_t row, CircuitDocument& d, PlotViewSettings& plot)
{
    switch (row) {
    case 0: return {nullptr, &d.backgroundColor, nullptr};
    case 1: return {&d.gridTextFont, nullptr, nullptr};
    case 2: return {&d.circuitObjectFont, nullptr, nullptr};
    case 3: return {nullptr, nullptr, &d.componentFont.color};
    case 4: return {&d.attributeFont, nullptr, nullptr};
    case 5: return {nullptr, nullptr, &d.wireFont.color};
    case 6: return {nullptr, nullptr, &d.selectFont.color};
    case 7: return {nullptr, nullptr, &d.pinFont.color};
    case 8: return {nullptr, nullptr, &d.boxRegionFont.color};
    case 9: return {&d.nodeNumberFont, nullptr, nullptr};
    case 10: return {nullptr, nullptr, &d.nodeVoltageFont.color};
    case 11: return {nullptr, &d.digitalPathColor, nullptr};
    case 12: return {&d.titleBlockFont, nullptr, nullptr};
    case 13: return {&plot.textFont, nullptr, nullptr};
    case 14: return {nullptr, nullptr, &plot.gridColor};
    case 15: return {nullptr, nullptr, &plot.graphBackground};
    case 16: return {&plot.objectFont, nullptr, nullptr};
    case 17: return {nullptr, &plot.windowBackground, nullptr};
    case 18: return {&d.numOutFont, nullptr, nullptr};
    default: return {nullptr, &plot.scaleColor, nullptr};
    }
}

PlotViewSettings& CircuitPlotView(SectionStream& stream)
{
    WindowRecord& record = *stream.record;
    if (!record.plot) record.plot = std::make_shared<PlotRecord>();
    return PlotViewOf(record.plot);
}

constexpr std::array<std::string_view, kWindowPlacements> kPlacementKeys = {"Circuit", "CircuitA", "Analysis",
                                                                              "ProbeC", "ProbeA"};

// Scales of 0, below 0 or not finite would divide by zero when a pane maps its points.
double UsableScale(double scale) { return std::isfinite(scale) && scale > 0.0 ? scale : 1.0; }

// Reads exactly length raw bytes (fewer when the file ends first) without reserving the length
// up front, so a damaged length cannot ask for an absurd block.
int ReadRawText(std::FILE* file, long length, std::string& text)
{
    text.clear();
    if (file == nullptr) return 0;
    constexpr std::size_t kChunk = 64 * 1024;
    try {
        while (length > 0) {
            const std::size_t want = std::min<std::size_t>(kChunk, static_cast<std::size_t>(length));
            const std::size_t old = text.size();
            text.resize(old + want);
            const std::size_t got = std::fread(text.data() + old, 1, want, file);
            text.resize(old + got);
            if (got < want) break;
            length -= static_cast<long>(got);
        }
    } catch (const std::bad_alloc&) {
        text.clear();
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace

double NormalizeZoomScale(double scale)
{
    // A damaged file may hold any number here: what no view can show is read as full size.
    if (!(scale > 0.0 && scale < 100.0)) return 1.0;
    const long hundredths = static_cast<long>(scale * 100.0);
    if (hundredths == 266) return 2.0;
    if (hundredths == 133) return 1.0;
    if (hundredths == 66) return 0.5;
    return scale;
}

int TransferFontAndColorSection(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    PlotViewSettings& plot = CircuitPlotView(stream);
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        out.Section("FontAndColor");
        for (std::size_t row = 0; row < kFontAndColorTable.size(); ++row) {
            const FontColorRow& entry = kFontAndColorTable[row];
            const FieldRef field = FontAndColorField(row, document, plot);
            switch (entry.type) {
            case ValueType::Font: out.Font(entry.key, *field.font); break;
            case ValueType::Color32: out.Int(entry.key, *field.word); break;
            case ValueType::ColorByte: out.Int(entry.key, *field.byte); break;
            case ValueType::Flag: out.OnOff(entry.key, *field.word != 0); break;
            }
        }
        return out.status;
    }
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        for (std::size_t row = 0; row < kFontAndColorTable.size(); ++row) {
            const FontColorRow& entry = kFontAndColorTable[row];
            if (!EqualsNoCase(entry.key, line.key)) continue;
            const FieldRef field = FontAndColorField(row, document, plot);
            switch (entry.type) {
            case ValueType::Font: ReadKeyFont(line.value, *field.font); break;
            case ValueType::Color32: *field.word = ReadColorIndex(line.value); break;
            case ValueType::ColorByte: *field.byte = ReadColorIndex(line.value); break;
            case ValueType::Flag: *field.word = IsOn(line.value) ? 1 : 0; break;
            }
        }
    }
    return status;
}

int TransferWindowPlacementSection(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        out.Section("Window Placement");
        for (std::size_t i = 0; i < kPlacementKeys.size(); ++i) out.Placement(kPlacementKeys[i], document.placements[i]);
        return out.status;
    }
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        for (std::size_t i = 0; i < kPlacementKeys.size(); ++i) {
            if (EqualsNoCase(kPlacementKeys[i], line.key)) ReadKeyPlacement(line.value, document.placements[i]);
        }
    }
    return status;
}

int TransferSchematicSection(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        out.Section("Schematic");
        for (int pane = 0; pane < kPaneCount; ++pane) {
            const auto n = static_cast<std::size_t>(pane);
            out.Int(StrPrintf("Page %d", pane), document.panePage[n]);
            if (document.paneFirstTab[n] > 0) out.Int(StrPrintf("FirstTab %d", pane), document.paneFirstTab[n]);
            if (document.paneTabWidth[n] > 0) out.Int(StrPrintf("TabSize %d", pane), document.paneTabWidth[n]);
        }
        out.Int("Splitter.xs", document.splitterX);
        out.Int("Splitter.ys", document.splitterY);
        out.Int("TextQuad", document.textAreaPane);
        out.Double("Scale", document.zoomFactor);
        out.Double("PrinterScale", document.printerScale);
        // Node voltages belong to a run; a file never opens showing them.
        out.Int("View", static_cast<int>(document.viewOptions & ~kViewNodeVoltages));
        return out.status;
    }
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        const std::int32_t number = TextToInt(line.value);
        for (int pane = 0; pane < kPaneCount; ++pane) {
            const auto n = static_cast<std::size_t>(pane);
            if (line.key == StrPrintf("PAGE %d", pane)) document.panePage[n] = number;
            if (line.key == StrPrintf("FIRSTTAB %d", pane)) document.paneFirstTab[n] = number;
            if (line.key == StrPrintf("TABSIZE %d", pane)) document.paneTabWidth[n] = number;
        }
        if (line.key == "SPLITTER.XS")
            document.splitterX = number;
        else if (line.key == "SPLITTER.YS")
            document.splitterY = number;
        else if (line.key == "TEXTQUAD")
            document.textAreaPane = number;
        else if (line.key == "SCALE")
            document.zoomFactor = UsableScale(NormalizeZoomScale(std::strtod(line.value.c_str(), nullptr)));
        else if (line.key == "PRINTERSCALE")
            document.printerScale = UsableScale(std::strtod(line.value.c_str(), nullptr));
        else if (line.key == "VIEW")
            document.viewOptions = static_cast<std::uint32_t>(number) & ~kViewNodeVoltages;
    }
    return status;
}

int TransferPageSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        for (std::size_t index = 0; index < document.pages.size(); ++index) {
            const PageRecord& page = document.pages[index];
            out.Section("Page");
            out.Int("Index", static_cast<int>(index));
            out.String("Name", page.name);
            for (int kind = 0; kind < kAnalysisKindCount; ++kind)
                out.Preview(StrPrintf("%c.PrintPreview", kAnalysisLetters[kind]),
                            page.printPreview[static_cast<std::size_t>(kind)]);
            for (int pane = 0; pane < kPaneCount; ++pane) {
                const auto n = static_cast<std::size_t>(pane);
                if (page.originX[n] != 0 || page.originY[n] != 0)
                    out.String(StrPrintf("SB %d", pane), StrPrintf("%d,%d", page.originX[n], page.originY[n]));
            }
            out.String("Grid", StrPrintf("%d,%d", page.grid[0], page.grid[1]));
            if (out.status != 0) break;
        }
        return out.status;
    }
    if (document.pages.empty()) {
        if (int status = ResizePageArray(stream.record, 1)) return status;
    }
    std::size_t index = document.pages.size() - 1;
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "INDEX") {
            std::int32_t number = TextToInt(line.value);
            if (number < 0) number = 0;
            if (number >= kMaxPageCount) {
                status = kMsgBadFormat;
                break;
            }
            if (static_cast<std::size_t>(number) >= document.pages.size()) {
                status = ResizePageArray(stream.record, number + 1);
                if (status != 0) break;
            }
            index = static_cast<std::size_t>(number);
            continue;
        }
        PageRecord& page = document.pages[index];
        if (line.key == "NAME") {
            page.name = line.value;
        } else if (line.key == "GRID") {
            std::string value = line.value;
            page.grid[0] = ReadKeyInt(value);
            page.grid[1] = ReadKeyInt(value);
        } else if (line.key.size() == 4 && line.key.compare(0, 3, "SB ") == 0 && line.key[3] >= '0' &&
                   line.key[3] <= '3') {
            const auto pane = static_cast<std::size_t>(line.key[3] - '0');
            std::string value = line.value;
            page.originX[pane] = ReadKeyInt(value);
            page.originY[pane] = ReadKeyInt(value);
        } else {
            const int kind = AnalysisKeyKind(line.key, ".PRINTPREVIEW");
            if (kind >= 0) ReadPrintPreview(line.value, page.printPreview[static_cast<std::size_t>(kind)]);
        }
    }
    return status;
}

int TransferTextAreaSection(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    WindowRecord& record = *stream.record;
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        out.Section("Text Area");
        out.Font("Font", document.numOutFont);
        out.Int("Comment Color", document.textCommentColor);
        out.Int("Background Color", document.textBackgroundColor);
        out.Int("Len", static_cast<int>(record.textArea.size()));
        // The text goes out byte for byte, its own line ends included, then one line end.
        out.Bytes(record.textArea);
        if (out.status == 0) out.status = UnitPrintf(out.unit, "\n");
        return out.status;
    }
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "FONT") {
            ReadKeyFont(line.value, document.numOutFont);
        } else if (line.key == "COMMENT COLOR") {
            document.textCommentColor = ReadColorIndex(line.value);
        } else if (line.key == "BACKGROUND COLOR") {
            document.textBackgroundColor = ReadColorIndex(line.value);
        } else if (line.key == "LEN") {
            const long length = TextToInt(line.value);
            std::string text;
            if (length > 0) {
                const FileUnit* slot = GetFileUnit(stream.unit);
                status = ReadRawText(slot != nullptr ? slot->stream.get() : nullptr, length, text);
                if (status != 0) break;
            }
            record.textArea = std::move(text);
            record.textAreaCaret = 0;
            document.textLineCount = 0;
            // The line end written after the text.
            std::string rest;
            ReadUnitRawLine(stream.unit, rest);
        }
    }
    return status;
}

int TransferPrinterSection(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        out.Section("Printer");
        for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
            const auto k = static_cast<std::size_t>(kind);
            out.YesNo(StrPrintf("%c.AutoTile", kAnalysisLetters[kind]), document.printAutoTile[k] != 0);
            out.YesNo(StrPrintf("%c.BlackBorder", kAnalysisLetters[kind]), document.printBlackBorder[k] != 0);
        }
        return out.status;
    }
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        int kind = AnalysisKeyKind(line.key, ".AUTOTILE");
        if (kind >= 0) document.printAutoTile[static_cast<std::size_t>(kind)] = IsYes(line.value) ? 1 : 0;
        kind = AnalysisKeyKind(line.key, ".BLACKBORDER");
        if (kind >= 0) document.printBlackBorder[static_cast<std::size_t>(kind)] = IsYes(line.value) ? 1 : 0;
    }
    return status;
}

}  // namespace kq5
