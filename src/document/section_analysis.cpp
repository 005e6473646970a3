#include "document/section_analysis.h"

#include <array>
#include <span>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/format.h"
#include "core/key_file.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/section_windows.h"
#include "document/limits_rows.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr std::array<NamedBits, 4> kWaveFormOptionTable = {{
    {"OUTPUT", kLimitsOutput},
    {"LINEARX", kLimitsLinearX},
    {"LINEARY", kLimitsLinearY},
    {"USER", kLimitsUser},
}};

constexpr std::array<std::string_view, kTransientLimitCount> kTransientLimitKeys = {"TRange", "TStep", "NPts", "Temp"};
constexpr std::array<std::string_view, kAcLimitCount> kAcLimitKeys = {"FRange",  "NPts",   "Temp",
                                                                      "MaxChng", "NInput", "NOutput"};
constexpr std::array<std::string_view, kDcLimitCount> kDcLimitKeys = {"I2Range", "I2",   "I1Range", "I1",
                                                                      "NPts",    "Temp", "MaxChng"};

constexpr std::array<std::string_view, 4> kDistributionNames = {"", "Normal", "Linear", "Worst Case"};

// Names of the stepping bits in the order the writer prefers them.
constexpr std::array<NamedBits, 3> kStepMethods = {{{"Log", kStepLog}, {"Linear", kStepLinear}, {"List", kStepList}}};
constexpr std::array<NamedBits, 3> kStepParameterTypes = {
    {{"Model", kStepModel}, {"Component", kStepComponent}, {"Symbolic", kStepSymbolic}}};

constexpr int kDspKinds = 3;  // transient, AC and DC

// The limits texts of a kind with their keys.
struct LimitTexts {
    std::span<std::string> texts;
    std::span<const std::string_view> keys;
};

LimitTexts LimitsOfKind(CircuitDocument& document, int kind)
{
    switch (kind) {
    case 0: return {document.limits.transient, kTransientLimitKeys};
    case 1: return {document.limits.ac, kAcLimitKeys};
    default: return {document.limits.dc, kDcLimitKeys};
    }
}

std::shared_ptr<PlotRecord>& CircuitPlot(SectionStream& stream)
{
    WindowRecord& record = *stream.record;
    if (!record.plot) record.plot = std::make_shared<PlotRecord>();
    return record.plot;
}

std::string NamesOfBits(std::uint32_t bits, std::span<const NamedBits> table)
{
    std::string names;
    for (const NamedBits& entry : table) {
        if ((bits & entry.bits) == 0) continue;
        if (!names.empty()) names += ',';
        names += entry.name;
    }
    return names;
}

// The first name of the table whose bit is set; empty when none.
std::string_view FirstNameOfBits(std::uint32_t bits, std::span<const NamedBits> table)
{
    for (const NamedBits& entry : table) {
        if (bits & entry.bits) return entry.name;
    }
    return {};
}

std::uint32_t BitsOfName(std::string_view name, std::span<const NamedBits> table)
{
    for (const NamedBits& entry : table) {
        if (EqualsNoCase(entry.name, name)) return entry.bits;
    }
    return 0;
}

void NoteSkippedSection(const std::string& header, const std::string& analysis)
{
    CircuitFileState& state = CircuitFiles();
    if (state.skippedSections++ == 0) state.firstSkippedSection = header + " Analysis=" + analysis;
}

int WriteWaveFormRows(SectionStream& stream, int kind)
{
    const CircuitDocument& document = stream.Document();
    SectionWriter out(stream.unit);
    for (const LimitsRow& row : document.limitsRows[static_cast<std::size_t>(kind)]) {
        out.Section("WaveForm");
        out.String("Analysis", AnalysisName(kind));
        out.String("Options", NamesOfBits(row.options, kWaveFormOptionTable));
        if (row.plotGroup != 0) out.String("Plt", std::string_view(&row.plotGroup, 1));
        auto optional = [&out](std::string_view key, const std::string& text) {
            if (!text.empty()) out.String(key, text);
        };
        optional("XExp", row.xExpression);
        optional("YExp", row.yExpression);
        optional("XRng", row.xRange);
        optional("YRng", row.yRange);
        optional("VFmtX", row.xValueFormat);
        optional("VFmtY", row.yValueFormat);
        out.String("SFmtX", row.xScaleFormat);
        out.String("SFmtY", row.yScaleFormat);
        if (row.lineWidth > 1) out.Int("LWdth", row.lineWidth);
        if (row.color > 0) out.Int("Color", row.color);
        if (out.status != 0) break;
    }
    return out.status;
}

}  // namespace

std::uint16_t ParseWaveFormOptions(std::string_view text)
{
    return static_cast<std::uint16_t>(ParseNamedBits(text, kWaveFormOptionTable));
}

int ReadSectionAnalysisKind(SectionStream& stream, int& status)
{
    const std::string header = stream.pendingLine;
    KeyLine line;
    status = 0;
    while (NextTextLine(stream, line, status)) {
        if (line.key != "ANALYSIS") continue;
        const int kind = ParseAnalysisName(line.value);
        if (kind >= 0) return kind;
        // A kind this program does not know: skip only this section.
        NoteSkippedSection(header, line.value);
        status = SkipSection(stream);
        return -1;
    }
    return -1;
}

int TransferAnalysisSection(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    std::shared_ptr<PlotRecord>& plot = CircuitPlot(stream);
    PlotViewSettings& view = PlotViewOf(plot);
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        out.Section("Analysis");
        out.Int("AnimateWait", document.animateWait);
        out.Int("AnimateWaitTime", document.animateWaitTime);
        out.YesNo("Same Y Scales", view.sameYScales != 0);
        for (int kind = 0; kind < kAnalysisKindCount; ++kind)
            out.YesNo(StrPrintf("%c.Save_For_Future", kAnalysisLetters[kind]),
                      view.saveForFuture[static_cast<std::size_t>(kind)] != 0);
        for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
            const auto k = static_cast<std::size_t>(kind);
            out.Int(StrPrintf("%c.Reduce_Display", kAnalysisLetters[kind]), document.reduceDisplay[k]);
            out.Int(StrPrintf("%c.Reduce_Save", kAnalysisLetters[kind]), document.reduceSave[k]);
        }
        for (int kind = 0; kind < kAnalysisKindCount; ++kind)
            out.Preview(StrPrintf("%c.PrintPreview", kAnalysisLetters[kind]),
                        document.analysisPrintPreview[static_cast<std::size_t>(kind)]);
        if (out.status != 0) return out.status;
        stream.plot = plot.get();
        stream.plotOwnerKind = kPlotOwnerAnalysis;
        return TransferAObjectSections(stream);
    }
    stream.plot = plot.get();
    stream.analysisKind = 0;
    stream.plotOwnerKind = kPlotOwnerAnalysis;
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "ANIMATEWAIT") {
            document.animateWait = TextToInt(line.value);
        } else if (line.key == "ANIMATEWAITTIME") {
            document.animateWaitTime = TextToInt(line.value);
        } else if (line.key == "SAME Y SCALES") {
            view.sameYScales = IsYes(line.value) ? 1 : 0;
        } else if (int kind = AnalysisKeyKind(line.key, ".PRINTPREVIEW"); kind >= 0) {
            ReadPrintPreview(line.value, document.analysisPrintPreview[static_cast<std::size_t>(kind)]);
        } else if (kind = AnalysisKeyKind(line.key, ".REDUCE_DISPLAY"); kind >= 0) {
            document.reduceDisplay[static_cast<std::size_t>(kind)] = TextToInt(line.value);
        } else if (kind = AnalysisKeyKind(line.key, ".REDUCE_SAVE"); kind >= 0) {
            document.reduceSave[static_cast<std::size_t>(kind)] = TextToInt(line.value);
        } else if (kind = AnalysisKeyKind(line.key, ".SAVE_FOR_FUTURE"); kind >= 0) {
            view.saveForFuture[static_cast<std::size_t>(kind)] = IsYes(line.value) ? 1 : 0;
        }
    }
    return status;
}

int TransferLimitsSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    PlotViewSettings& view = PlotViewOf(CircuitPlot(stream));
    if (stream.IsWriting()) {
        for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
            SectionWriter out(stream.unit);
            out.Section("Limits");
            out.String("Analysis", AnalysisName(kind));
            const LimitTexts limits = LimitsOfKind(document, kind);
            for (std::size_t i = 0; i < limits.texts.size(); ++i) {
                if (!limits.texts[i].empty()) out.String(limits.keys[i], limits.texts[i]);
            }
            out.Int("OPT", view.optionWord[static_cast<std::size_t>(kind)]);
            if (out.status != 0) return out.status;
            if (int status = WriteWaveFormRows(stream, kind)) return status;
        }
        return 0;
    }
    int status = 0;
    const int kind = ReadSectionAnalysisKind(stream, status);
    if (kind < 0) return status;
    const LimitTexts limits = LimitsOfKind(document, kind);
    KeyLine line;
    while (NextTextLine(stream, line, status)) {
        if (line.key == "OPT") {
            view.optionWord[static_cast<std::size_t>(kind)] = TextToInt(line.value);
            continue;
        }
        for (std::size_t i = 0; i < limits.texts.size(); ++i) {
            if (EqualsNoCase(limits.keys[i], line.key)) limits.texts[i] = line.value;
        }
    }
    return status;
}

int TransferWaveFormSections(SectionStream& stream)
{
    if (stream.IsWriting()) return WriteWaveFormRows(stream, stream.analysisKind);
    CircuitDocument& document = stream.Document();
    int status = 0;
    const int kind = ReadSectionAnalysisKind(stream, status);
    if (kind < 0) return status;
    std::vector<LimitsRow>& rows = document.limitsRows[static_cast<std::size_t>(kind)];
    if (int grow = SetLimitsRowCount(stream.record, kind, static_cast<int>(rows.size()) + 1)) return grow;
    LimitsRow& row = rows.back();
    row.lineWidth = 1;
    KeyLine line;
    while (NextTextLine(stream, line, status)) {
        const std::string& value = line.value;
        if (line.key == "OPTIONS")
            row.options = ParseWaveFormOptions(value);
        else if (line.key == "PLT")
            row.plotGroup = value.empty() ? '\0' : value.front();
        else if (line.key == "XEXP")
            row.xExpression = value;
        else if (line.key == "YEXP")
            row.yExpression = value;
        else if (line.key == "XRNG")
            row.xRange = value;
        else if (line.key == "YRNG")
            row.yRange = value;
        else if (line.key == "VFMTY")
            row.yValueFormat = value;
        else if (line.key == "VFMTX")
            row.xValueFormat = FitText(value, kLimitsFormatLength);
        else if (line.key == "SFMTX")
            row.xScaleFormat = FitText(value, kLimitsFormatLength);
        else if (line.key == "SFMTY")
            row.yScaleFormat = FitText(value, kLimitsYScaleFormatLength);
        else if (line.key == "LWDTH")
            row.lineWidth = TextToInt(value);
        else if (line.key == "COLOR")
            row.color = ReadColorIndex(value);
    }
    return status;
}

int TransferMonteCarloOptionsSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        for (int kind = 0; kind < kAnalysisKindCount; ++kind) {
            const MonteCarloOptions& options = document.monteCarlo[static_cast<std::size_t>(kind)];
            out.Section("Monte Carlo Options");
            out.String("Analysis", AnalysisName(kind));
            out.OnOff("Status", (options.options & kMonteCarloOn) != 0);
            const std::uint32_t distribution = options.options & kMonteCarloDistributionMask;
            if (distribution >= 1) out.String("Distribution", kDistributionNames[distribution]);
            out.String("Number of Runs", options.runs);
            if (!options.performance.empty()) out.String("Performance", options.performance);
        }
        return out.status;
    }
    int status = 0;
    const int kind = ReadSectionAnalysisKind(stream, status);
    if (kind >= 0) {
        MonteCarloOptions& options = document.monteCarlo[static_cast<std::size_t>(kind)];
        KeyLine line;
        while (NextTextLine(stream, line, status)) {
            if (line.key == "STATUS") {
                if (IsOn(line.value)) options.options |= kMonteCarloOn;
            } else if (line.key == "DISTRIBUTION") {
                for (std::uint32_t code = 1; code < kDistributionNames.size(); ++code) {
                    if (EqualsNoCase(kDistributionNames[code], line.value))
                        options.options = (options.options & ~kMonteCarloDistributionMask) | code;
                }
            } else if (line.key == "NUMBER OF RUNS") {
                options.runs = FitText(line.value, kMonteCarloRunsLength);
            } else if (line.key == "PERFORMANCE") {
                options.performance = line.value;
            }
        }
    }
    for (MonteCarloOptions& options : document.monteCarlo) {
        if ((options.options & kMonteCarloDistributionMask) == 0) options.options |= 1;
    }
    return status;
}

int TransferSteppingSections(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        for (int index = 0; index < kSteppingSlots; ++index) {
            const SteppingSlot& slot = document.stepping[static_cast<std::size_t>(index)];
            out.Section("Stepping");
            out.Int("Index", index + 1);
            if (index == 0 && document.steppingSimultaneous) out.YesNo("Simultaneous", true);
            out.OnOff("Status", (slot.flags & kStepOn) != 0);
            if (slot.deviceIndex != 0) out.Int("Device", slot.deviceIndex);
            const std::string_view method = FirstNameOfBits(slot.flags, kStepMethods);
            if (!method.empty()) out.String("Method", method);
            const std::string_view type = FirstNameOfBits(slot.flags, kStepParameterTypes);
            if (!type.empty()) out.String("Parameter Type", type);
            auto optional = [&out](std::string_view key, const std::string& text) {
                if (!text.empty()) out.String(key, text);
            };
            optional("Name", slot.name);
            optional("Param", slot.param);
            optional("From", slot.from);
            optional("To", slot.to);
            optional("Value", slot.value);
        }
        return out.status;
    }
    SteppingSlot* slot = nullptr;
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        if (line.key == "INDEX") {
            const std::int32_t index = TextToInt(line.value);
            slot = &document.stepping[index >= 1 && index <= kSteppingSlots ? static_cast<std::size_t>(index - 1) : 0];
            slot->flags = 0;
            continue;
        }
        if (slot == nullptr) continue;
        const std::string& value = line.value;
        if (line.key == "SIMULTANEOUS")
            document.steppingSimultaneous = IsYes(value) ? 1 : 0;
        else if (line.key == "DEVICE")
            slot->deviceIndex = TextToInt(value);
        else if (line.key == "METHOD")
            slot->flags |= BitsOfName(value, kStepMethods);
        else if (line.key == "PARAMETER TYPE")
            slot->flags |= BitsOfName(value, kStepParameterTypes);
        else if (line.key == "STATUS")
            slot->flags |= IsOn(value) ? kStepOn : 0;
        else if (line.key == "NAME")
            slot->name = value;
        else if (line.key == "PARAM")
            slot->param = value;
        else if (line.key == "FROM")
            slot->from = value;
        else if (line.key == "TO")
            slot->to = value;
        else if (line.key == "VALUE")
            slot->value = value;
    }
    return status;
}

int TransferDspSection(SectionStream& stream)
{
    CircuitDocument& document = stream.Document();
    if (stream.IsWriting()) {
        SectionWriter out(stream.unit);
        out.Section("DSP");
        for (int kind = 0; kind < kDspKinds; ++kind) {
            const DspSettings& dsp = document.dsp[static_cast<std::size_t>(kind)];
            const char letter = kAnalysisLetters[kind];
            // A DC sweep's settings are written only once they are given, so files of circuits
            // that never used them stay as they were.
            if (kind == kAnalysisDc && !dsp.on && dsp.max.empty() && dsp.min.empty() && dsp.nPts.empty()) continue;
            out.OnOff(StrPrintf("%c.Status", letter), dsp.on != 0);
            if (!dsp.max.empty()) out.String(StrPrintf("%c.Max", letter), dsp.max);
            if (!dsp.min.empty()) out.String(StrPrintf("%c.Min", letter), dsp.min);
            if (!dsp.nPts.empty()) out.String(StrPrintf("%c.NPts", letter), dsp.nPts);
        }
        return out.status;
    }
    KeyLine line;
    int status = 0;
    while (NextSettingLine(stream, line, status)) {
        for (int kind = 0; kind < kDspKinds; ++kind) {
            DspSettings& dsp = document.dsp[static_cast<std::size_t>(kind)];
            if (AnalysisKeyKind(line.key, ".STATUS") == kind) {
                dsp.on = IsOn(line.value) ? 1 : 0;
                ++CircuitFiles().dspStatusLines;
            } else if (AnalysisKeyKind(line.key, ".MAX") == kind)
                dsp.max = FitText(line.value, kDspTextLength);
            else if (AnalysisKeyKind(line.key, ".MIN") == kind)
                dsp.min = FitText(line.value, kDspTextLength);
            else if (AnalysisKeyKind(line.key, ".NPTS") == kind)
                dsp.nPts = FitText(line.value, kDspTextLength);
        }
    }
    return status;
}

}  // namespace kq5
