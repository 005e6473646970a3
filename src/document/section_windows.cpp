#include "document/section_windows.h"

#include <array>

#include "document/analysis_windows.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/format.h"
#include "core/key_file.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/section_analysis.h"
#include "document/section_items.h"
#include "document/schematic_item.h"
#include "results/plot_object.h"

namespace kq5 {

namespace {

constexpr std::array<char, 2> kFunctionAxes = {'X', 'Y'};
constexpr std::array<char, 3> kGraphAxes = {'X', 'Y', 'Z'};

bool IsMeasureKind(std::uint16_t kind) { return kind == kObjectMeasureH || kind == kObjectMeasureV; }

// The keys every derived window writes first.
void WriteViewKeys(SectionWriter& out, const DerivedWindowView& view, int kind)
{
    out.String("Analysis", AnalysisName(kind));
    out.String("Title", view.title);
    out.YesNo("AutoTitle", view.autoTitle != 0);
    out.Placement("Window Placement", view.placement);
    out.Preview("PrintPreview", view.printPreview);
    out.Font("Font", view.font);
}

// A key of the view that every derived window reads alike; false for other keys.
bool ReadViewKey(const KeyLine& line, DerivedWindowView& view)
{
    if (line.key == "TITLE")
        view.title = line.value;
    else if (line.key == "AUTOTITLE")
        view.autoTitle = IsYes(line.value) ? 1 : 0;
    else if (line.key == "WINDOW PLACEMENT")
        ReadKeyPlacement(line.value, view.placement);
    else if (line.key == "PRINTPREVIEW")
        ReadPrintPreview(line.value, view.printPreview);
    else if (line.key == "FONT")
        ReadKeyFont(line.value, view.font);
    else if (line.key == "OBJECT DEFAULT FONT")
        ReadKeyFont(line.value, view.objectFont);
    else if (line.key == "WINBACKGROUND COLOR")
        view.winBackgroundColor = ReadColorIndex(line.value);
    else
        return false;
    return true;
}

// Makes the window's plot the one that the following [AObject] sections fill.
void EnterWindowPlot(SectionStream& stream, DerivedWindowView& view, int kind, int ownerKind)
{
    stream.plot = &view.plot;
    stream.analysisKind = kind;
    stream.plotOwnerKind = ownerKind;
}

// The objects of the window's plot, written after the window's own keys.
int WriteWindowObjects(SectionStream& stream, DerivedWindowView& view, int kind, int ownerKind)
{
    EnterWindowPlot(stream, view, kind, ownerKind);
    return TransferAObjectSections(stream);
}

// Entering a window section: its analysis kind, or -1 when the section was skipped. A skipped
// window takes its objects and functions with it: none of them may land on another plot.
int EnterWindowSection(SectionStream& stream, int& status)
{
    const int kind = ReadSectionAnalysisKind(stream, status);
    if (kind < 0) {
        stream.plot = nullptr;
        stream.performanceWindow = nullptr;
    }
    return kind;
}

int WriteMonteCarloWindow(SectionStream& stream, MonteCarloWindowRecord& window, int kind)
{
    SectionWriter out(stream.unit);
    out.Section("Monte Carlo");
    WriteViewKeys(out, window.view, kind);
    out.Font("Object Default Font", window.view.objectFont);
    out.Int("BackGroundColor", window.backgroundColor);
    out.Int("Grid Color", window.gridColor);
    out.Int("Fore Color", window.foreColor);
    out.Int("Shadow Color", window.shadowColor);
    out.Int("WinBackGround Color", window.view.winBackgroundColor);
    out.Int("Intervals", window.intervals);
    out.String("Format", window.format);
    if (out.status == 0) out.status = WriteFunctionKeys(out.unit, window.function, kPlotOwnerMonteCarlo);
    if (out.status != 0) return out.status;
    return WriteWindowObjects(stream, window.view, kind, kPlotOwnerMonteCarlo);
}

int WriteGraph3DWindow(SectionStream& stream, Graph3DPlot& window, int kind)
{
    SectionWriter out(stream.unit);
    out.Section("Graph 3D");
    WriteViewKeys(out, window.view, kind);
    out.Font("Object Default Font", window.view.objectFont);
    out.Int("WinBackGround Color", window.view.winBackgroundColor);
    out.Int("WireGrid Color", window.wireGridColor);
    out.Int("Grid Color", window.gridColor);
    for (std::size_t axis = 0; axis < kGraphAxes.size(); ++axis)
        out.Int(StrPrintf("BackGround%c", kGraphAxes[axis]), window.backgroundColor[axis]);
    out.Int("Color", window.color);
    out.OnOff("Isolines", window.isolines != 0);
    out.OnOff("Axis Background", window.axisBackground != 0);
    out.OnOff("Grid", window.grid != 0);
    out.OnOff("Axes", window.axes != 0);
    out.OnOff("Scales", window.scales != 0);
    out.OnOff("Contour", window.contour != 0);
    out.OnOff("Flash Cursor", window.flashCursor != 0);
    out.Int("Patches X", window.patchesX);
    out.Int("Patches Z", window.patchesZ);
    for (std::size_t axis = 0; axis < kGraphAxes.size(); ++axis)
        out.Double(StrPrintf("%cRot", kGraphAxes[axis]), window.rotation[axis]);
    out.YesNo("Performance", window.performance != 0);
    for (std::size_t axis = 0; axis < kGraphAxes.size(); ++axis) {
        out.String(StrPrintf("VFmt%c", kGraphAxes[axis]), window.valueFormat[axis]);
        out.String(StrPrintf("SFmt%c", kGraphAxes[axis]), window.scaleFormat[axis]);
    }
    if (out.status == 0) out.status = WriteFunctionKeys(out.unit, window.function, kPlotOwner3D);
    if (out.status != 0) return out.status;
    return WriteWindowObjects(stream, window.view, kind, kPlotOwner3D);
}

int WritePerformanceWindow(SectionStream& stream, PerformanceWindowRecord& window, int kind)
{
    SectionWriter out(stream.unit);
    out.Section("Performance");
    WriteViewKeys(out, window.view, kind);
    out.Int("Grid Color", window.gridColor);
    out.Int("Graph Background", window.graphBackground);
    out.Font("Object Default Font", window.view.objectFont);
    out.Int("WinBackGround Color", window.view.winBackgroundColor);
    out.OnOff("ScaleColor", window.scaleColor != 0);
    out.YesNo("Same Y Scales", window.sameYScales != 0);
    out.Int("Options", window.options);
    if (out.status != 0) return out.status;
    if (int status = WriteWindowObjects(stream, window.view, kind, kPlotOwnerPerformance)) return status;
    stream.performanceWindow = &window;
    return TransferPerformanceWaveFormSections(stream);
}

template <class Window>
int WriteEveryWindow(SectionStream& stream, std::array<LinkedList, kAnalysisKindCount>& lists,
                     int (*write)(SectionStream&, Window&, int))
{
    for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
        for (Window& window : ListRecords<Window>(lists[static_cast<std::size_t>(kind)])) {
            if (int status = write(stream, window, kind)) return status;
        }
    }
    return 0;
}

int ReadArgKey(std::string_view key, std::string_view value, FunctionRecord& function)
{
    for (std::size_t i = 0; i < function.args.size(); ++i) {
        if (EqualsNoCase(key, StrPrintf("Arg %d", static_cast<int>(i)))) {
            function.args[i] = std::strtod(std::string(value).c_str(), nullptr);
            return 1;
        }
    }
    return 0;
}

}  // namespace

int WriteFunctionKeys(int unit, const FunctionRecord& function, int ownerKind)
{
    const bool performance = ownerKind == kPlotOwnerPerformance;
    const bool graph3D = ownerKind == kPlotOwner3D;
    SectionWriter out(unit);
    // A function without a name (none chosen, or a name this program does not know) is written as
    // a bare key, which reads back as no function.
    out.String("Function", PerformanceFunctionName(function.function));
    if (!function.expression.empty()) out.String("Expression", function.expression);
    if (!function.boolean.empty()) out.String("Boolean", function.boolean);
    for (std::size_t i = 0; i < function.args.size(); ++i)
        out.Double(StrPrintf("Arg %d", static_cast<int>(i)), function.args[i]);
    if (performance) {
        if (function.color > 0) out.Int("Color", function.color);
        if (function.lineWidth > 1) out.Int("LWdth", function.lineWidth);
        if (function.plotNumber != 0) out.Int("PlotNum", function.plotNumber);
    }
    if (performance || graph3D) {
        out.Int("XData", function.xData);
        out.Int("ZData", function.zData);
    }
    if (performance) {
        out.Int("Enable", function.enable);
        for (std::size_t axis = 0; axis < kFunctionAxes.size(); ++axis) {
            const char letter = kFunctionAxes[axis];
            out.YesNo(StrPrintf("Auto Scale %c", letter), function.autoScale[axis] != 0);
            out.Double(StrPrintf("Range Min %c", letter), function.rangeMin[axis]);
            out.Double(StrPrintf("Range Max %c", letter), function.rangeMax[axis]);
            out.String(StrPrintf("VFmt%c", letter), function.valueFormat[axis]);
            out.String(StrPrintf("SFmt%c", letter), function.scaleFormat[axis]);
        }
    }
    if (function.temperatureCase != 0) out.Int("TempCase", function.temperatureCase);
    if (function.monteCarloCase != 0) out.Int("MCCase", function.monteCarloCase);
    if (performance || graph3D) {
        for (std::size_t i = 0; i < function.steppingCases.size(); ++i) {
            if (function.steppingCases[i] != 0)
                out.Int(StrPrintf("SteppingCase %d", static_cast<int>(i)), function.steppingCases[i]);
        }
    }
    return out.status;
}

int ReadFunctionKey(std::string_view key, std::string_view value, FunctionRecord& function)
{
    const std::string text(value);
    auto is = [key](std::string_view name) { return EqualsNoCase(key, name); };
    if (is("Function")) {
        function.function = FindPerformanceFunction(text);
    } else if (is("Expression")) {
        function.expression = text;
    } else if (is("Boolean")) {
        function.boolean = FitText(text, kFunctionBooleanLength);
    } else if (ReadArgKey(key, value, function)) {
    } else if (is("Color")) {
        function.color = ReadColorIndex(text);
    } else if (is("LWdth")) {
        function.lineWidth = TextToInt(text);
    } else if (is("PlotNum")) {
        function.plotNumber = TextToInt(text);
    } else if (is("XData")) {
        function.xData = TextToInt(text);
    } else if (is("ZData")) {
        function.zData = TextToInt(text);
    } else if (is("Enable")) {
        function.enable = TextToInt(text);
    } else if (is("TempCase")) {
        function.temperatureCase = TextToInt(text);
    } else if (is("MCCase")) {
        function.monteCarloCase = TextToInt(text);
    } else {
        for (std::size_t axis = 0; axis < kFunctionAxes.size(); ++axis) {
            const char letter = kFunctionAxes[axis];
            if (is(StrPrintf("Auto Scale %c", letter))) {
                function.autoScale[axis] = IsYes(text) ? 1 : 0;
            } else if (is(StrPrintf("Range Min %c", letter))) {
                function.rangeMin[axis] = std::strtod(text.c_str(), nullptr);
            } else if (is(StrPrintf("Range Max %c", letter))) {
                function.rangeMax[axis] = std::strtod(text.c_str(), nullptr);
            } else if (is(StrPrintf("VFmt%c", letter))) {
                function.valueFormat[axis] = FitText(text, kFunctionFormatLength);
            } else if (is(StrPrintf("SFmt%c", letter))) {
                function.scaleFormat[axis] = FitText(text, kFunctionFormatLength);
            } else {
                continue;
            }
            return 1;
        }
        for (std::size_t i = 0; i < function.steppingCases.size(); ++i) {
            if (is(StrPrintf("SteppingCase %d", static_cast<int>(i)))) {
                function.steppingCases[i] = TextToInt(text);
                return 1;
            }
        }
        return 0;
    }
    return 1;
}

int TransferMonteCarloSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) return WriteEveryWindow(stream, document.monteCarloWindows, &WriteMonteCarloWindow);
    int status = 0;
    const int kind = EnterWindowSection(stream, status);
    if (kind < 0) return status;
    MonteCarloWindowRecord* window = AppendMonteCarloWindow(document, kind);
    if (window == nullptr) return kMsgInsufficientMemory;
    EnterWindowPlot(stream, window->view, kind, kPlotOwnerMonteCarlo);
    KeyLine line;
    while (NextTextLine(stream, line, status)) {
        if (ReadViewKey(line, window->view)) continue;
        if (line.key == "BACKGROUNDCOLOR")
            window->backgroundColor = ReadColorIndex(line.value);
        else if (line.key == "GRID COLOR")
            window->gridColor = ReadColorIndex(line.value);
        else if (line.key == "FORE COLOR")
            window->foreColor = ReadColorIndex(line.value);
        else if (line.key == "SHADOW COLOR")
            window->shadowColor = ReadColorIndex(line.value);
        else if (line.key == "INTERVALS")
            window->intervals = TextToInt(line.value);
        else if (line.key == "FORMAT")
            window->format = FitText(line.value, kMonteCarloFormatLength);
        else
            ReadFunctionKey(line.key, line.value, window->function);
    }
    return status;
}

int TransferGraph3DSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) return WriteEveryWindow(stream, document.graph3DWindows, &WriteGraph3DWindow);
    int status = 0;
    const int kind = EnterWindowSection(stream, status);
    if (kind < 0) return status;
    Graph3DPlot* window = AppendGraph3DWindow(document, kind);
    if (window == nullptr) return kMsgInsufficientMemory;
    EnterWindowPlot(stream, window->view, kind, kPlotOwner3D);
    struct OnOffKey {
        std::string_view key;
        std::int32_t* field;
    };
    const std::array<OnOffKey, 7> switches = {{{"ISOLINES", &window->isolines},
                                               {"AXIS BACKGROUND", &window->axisBackground},
                                               {"GRID", &window->grid},
                                               {"AXES", &window->axes},
                                               {"SCALES", &window->scales},
                                               {"CONTOUR", &window->contour},
                                               {"FLASH CURSOR", &window->flashCursor}}};
    KeyLine line;
    while (NextTextLine(stream, line, status)) {
        if (ReadViewKey(line, window->view)) continue;
        bool known = true;
        if (line.key == "WIREGRID COLOR")
            window->wireGridColor = ReadColorIndex(line.value);
        else if (line.key == "GRID COLOR")
            window->gridColor = ReadColorIndex(line.value);
        else if (line.key == "COLOR")
            window->color = TextToInt(line.value);
        else if (line.key == "PATCHES X")
            window->patchesX = TextToInt(line.value);
        else if (line.key == "PATCHES Z")
            window->patchesZ = TextToInt(line.value);
        else if (line.key == "PERFORMANCE")
            window->performance = IsYes(line.value) ? 1 : 0;
        else
            known = false;
        for (const OnOffKey& entry : switches) {
            if (line.key == entry.key) {
                *entry.field = IsOn(line.value) ? 1 : 0;
                known = true;
            }
        }
        for (std::size_t axis = 0; axis < kGraphAxes.size(); ++axis) {
            const char letter = kGraphAxes[axis];
            if (line.key == StrPrintf("BACKGROUND%c", letter)) {
                window->backgroundColor[axis] = ReadColorIndex(line.value);
                known = true;
            } else if (line.key == StrPrintf("%cROT", letter)) {
                window->rotation[axis] = std::strtod(line.value.c_str(), nullptr);
                known = true;
            } else if (line.key == StrPrintf("VFMT%c", letter)) {
                window->valueFormat[axis] = FitText(line.value, kGraph3DValueFormatLength);
                known = true;
            } else if (line.key == StrPrintf("SFMT%c", letter)) {
                window->scaleFormat[axis] = FitText(line.value, kGraph3DScaleFormatLength);
                known = true;
            }
        }
        if (!known) ReadFunctionKey(line.key, line.value, window->function);
    }
    return status;
}

int TransferPerformanceSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) return WriteEveryWindow(stream, document.performanceWindows, &WritePerformanceWindow);
    int status = 0;
    const int kind = EnterWindowSection(stream, status);
    if (kind < 0) return status;
    PerformanceWindowRecord* window = AppendPerformanceWindow(document, kind);
    if (window == nullptr) return kMsgInsufficientMemory;
    EnterWindowPlot(stream, window->view, kind, kPlotOwnerPerformance);
    stream.performanceWindow = window;
    KeyLine line;
    while (NextTextLine(stream, line, status)) {
        if (ReadViewKey(line, window->view)) continue;
        if (line.key == "GRID COLOR")
            window->gridColor = ReadColorIndex(line.value);
        else if (line.key == "GRAPH BACKGROUND")
            window->graphBackground = ReadColorIndex(line.value);
        else if (line.key == "SCALECOLOR")
            window->scaleColor = IsOn(line.value) ? 1 : 0;
        else if (line.key == "SAME Y SCALES")
            window->sameYScales = IsYes(line.value) ? 1 : 0;
        else if (line.key == "OPTIONS")
            window->options = TextToInt(line.value);
    }
    return status;
}

int TransferPerformanceWaveFormSections(SectionStream& stream)
{
    PerformanceWindowRecord* window = stream.performanceWindow;
    if (stream.IsWriting()) {
        if (window == nullptr) return 0;
        for (const FunctionRecord& function : window->functions) {
            if (int status = WriteSection(stream.unit, "Performance WaveForm")) return status;
            if (int status = WriteFunctionKeys(stream.unit, function, kPlotOwnerPerformance)) return status;
        }
        return 0;
    }
    if (window == nullptr) return SkipSection(stream);
    if (int status = AppendPerformanceFunctionRecord(*window)) return status;
    FunctionRecord& function = window->functions.back();
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) ReadFunctionKey(line.key, line.value, function);
    return status;
}

int TransferAObjectSections(SectionStream& stream)
{
    if (stream.IsWriting()) {
        if (stream.plot == nullptr) return 0;
        const int owner = stream.plotOwnerKind;
        SectionWriter out(stream.unit);
        for (const PlotObject& object : ListRecords<PlotObject>(stream.plot->objects)) {
            const std::uint16_t kind = object.style & kStyleKindMask;
            bool fillable = false;
            out.Section("AObject");
            if (owner == kPlotOwnerAnalysis) {
                const std::string_view name = AnalysisName(object.analysisKind - 1);
                if (!name.empty()) out.String("Analysis", name);
            }
            if (out.status == 0) out.status = WriteStyleKeys(out.unit, object.style, true, &fillable);
            if (owner != kPlotOwnerMonteCarlo && owner != kPlotOwner3D && object.w != -1) out.Int("w", object.w);
            if (IsMeasureKind(kind)) out.Int("w2", object.w2);
            out.String("Pos", StrPrintf("%g,%g,%g,%g", object.x1, object.y1, object.x2, object.y2));
            if (IsMeasureKind(kind)) out.Double("Posm", object.measured);
            out.Int("Color", object.color);
            if (fillable) out.Int("CFill", object.fillColor);
            if (IsMeasureKind(kind) || kind == kObjectTag || kind == kObjectText) out.Font("Font", object.font);
            if (kind == kObjectText) out.String("Text", object.text);
            if (out.status != 0) break;
        }
        return out.status;
    }
    if (stream.plot == nullptr) return SkipSection(stream);
    PlotObject* object = ListAppendAs<PlotObject>(stream.plot->objects, kKindPlotObject);
    if (object == nullptr) return kMsgInsufficientMemory;
    object->w = -1;
    object->style = 0;
    object->analysisKind = static_cast<std::int16_t>(stream.analysisKind + 1);
    KeyLine line;
    int status = 0;
    while (NextTextLine(stream, line, status)) {
        const std::string& value = line.value;
        if (line.key == "OBJECT") {
            object->style |= ObjectKindFromName(value);
        } else if (line.key == "STYLE") {
            object->style |= ParseStyleFlags(value);
        } else if (line.key == "W") {
            object->w = TextToInt(value);
        } else if (line.key == "W2") {
            object->w2 = TextToInt(value);
        } else if (line.key == "POS") {
            std::string rest = value;
            object->x1 = ReadKeyDouble(rest);
            object->y1 = ReadKeyDouble(rest);
            object->x2 = ReadKeyDouble(rest);
            object->y2 = ReadKeyDouble(rest);
        } else if (line.key == "POSM") {
            object->measured = std::strtod(value.c_str(), nullptr);
        } else if (line.key == "ANALYSIS") {
            object->analysisKind = static_cast<std::int16_t>(ParseAnalysisName(value) + 1);
        } else if (line.key == "COLOR") {
            object->color = ReadColorIndex(value);
        } else if (line.key == "CFILL") {
            object->fillColor = ReadColorIndex(value);
        } else if (line.key == "FONT") {
            ReadKeyFont(value, object->font);
        } else if (line.key == "TEXT") {
            object->text = value;
        }
    }
    return status;
}

}  // namespace kq5
