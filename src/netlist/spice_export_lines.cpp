// The SPICE export's output line list, its order, its wrapping at WIDTH and its file, and the
// netlist writer that puts the sections together.
#include <algorithm>
#include <cctype>
#include <new>

#include "ui/user_names.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "ui/program_settings.h"
#include "document/component_types.h"
#include "netlist/global_options.h"
#include "netlist/model_types.h"
#include "netlist/spice_export_support.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

namespace {

SpiceExportSettings gSettings;
SpiceExportRun gRun;

constexpr int kMinWidth = 10;
constexpr int kMaxWidth = 1000;

bool IsWrapBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

// Characters after which a long line may be continued when it has no blank within the width.
// A sign inside a number's exponent ("1e-9") is no place to cut.
bool IsWrapBreak(std::string_view text, std::size_t i)
{
    const char c = text[i];
    if (std::string_view(",=()\"{}|*/~&^").find(c) != std::string_view::npos) return true;
    if (c == '+' || c == '-') return i > 0 && text[i - 1] != 'e' && text[i - 1] != 'E';
    return false;
}

// One physical line cut into pieces of at most width characters, each continued with "+ ". A
// quoted text (a file name) is never cut: a reader joins the pieces with a blank. One longer
// than the width stands whole on a longer line. A comment goes on as a comment: a reader joins
// a "+" line to the statement before the comment.
void WrapPhysicalLine(std::string_view line, int width, std::string& out)
{
    const char* const more = !line.empty() && line.front() == '*' ? "\n* " : "\n+ ";
    bool first = true;
    while (!line.empty()) {
        const std::size_t room = static_cast<std::size_t>(first ? width : std::max(width - 2, 1));
        if (line.size() <= room) {
            if (!first) out += more;
            out += line;
            return;
        }
        std::size_t lastBlank = 0, lastBreak = 0;
        bool quoted = line.front() == '"';
        for (std::size_t i = 1; i < room; ++i) {
            if (line[i] == '"') {
                quoted = !quoted;
                if (quoted) lastBreak = i;  // before the opening quote
                else lastBreak = i + 1;     // after the closing one
            } else if (quoted) {
                continue;
            } else if (IsWrapBlank(line[i])) {
                lastBlank = i;
            } else if (IsWrapBreak(line, i)) {
                lastBreak = i + 1;
            }
        }
        std::size_t cut = lastBlank ? lastBlank : lastBreak ? lastBreak : room;
        if (!lastBlank && !lastBreak && quoted) {
            const std::size_t close = line.find('"', room);
            cut = close == std::string_view::npos ? line.size() : close + 1;
        }
        if (!first) out += more;
        out += line.substr(0, cut);
        line.remove_prefix(cut);
        while (!line.empty() && IsWrapBlank(line.front())) line.remove_prefix(1);
        first = false;
    }
}

}  // namespace

SpiceExportSettings& SpiceExport() { return gSettings; }
void ResetSpiceExportForTests()
{
    gSettings = SpiceExportSettings();
    gRun = SpiceExportRun();
}

SpiceExportRun& ExportRun() { return gRun; }
bool Is2G() { return gRun.dialect == kSpiceDialect2G; }
bool IsSpice3() { return gRun.dialect == kSpiceDialectSpice3; }

SpiceDialectIds SpiceDialectIdsOf(SpiceDialect dialect)
{
    switch (dialect) {
    case kSpiceDialect2G: return {dialect, kOptionDialectSpice2G, kParamSpice2G};
    case kSpiceDialectSpice3: return {dialect, kOptionDialectSpice3, kParamSpice3};
    default: return {kSpiceDialectPspice, kOptionDialectPspice, kParamPspice};
    }
}

bool ParamExistsInDialect(std::uint8_t paramFlags, SpiceDialect dialect)
{
    std::uint8_t bits = SpiceDialectIdsOf(dialect).paramBits;
    if (dialect == kSpiceDialectSpice3) bits |= kParamPspice;
    return (paramFlags & bits) != 0;
}

const char* SpiceAnalysisTitle(unsigned analysisMask)
{
    switch (analysisMask) {
    case kExportTransient: return "TRANSIENT ANALYSIS";
    case kExportAc: return "AC ANALYSIS";
    case kExportDc: return "DC ANALYSIS";
    default: return "MULTIPLE ANALYSES";
    }
}

SpiceOutputLine& NewSpiceLine(int section)
{
    SpiceOutputLine& line = gRun.lines.emplace_back();
    line.section = section;
    gRun.highestSection = std::max(gRun.highestSection, section);
    return line;
}

SpiceOutputLine& AddSpiceLine(int section, std::string_view text, bool sortable)
{
    SpiceOutputLine& line = NewSpiceLine(section);
    line.text = text;
    line.sortable = sortable;
    return line;
}

void SortSpiceLines()
{
    // Part lines keep the positions part lines hold; only their texts change places, in the
    // natural order of their names, section by section.
    for (int section = 0; section <= gRun.highestSection; ++section) {
        std::vector<std::size_t> places;
        for (std::size_t i = 0; i < gRun.lines.size(); ++i) {
            const SpiceOutputLine& line = gRun.lines[i];
            if (line.section == section && line.sortable && line.hasText && !line.text.empty() &&
                std::isalpha(static_cast<unsigned char>(line.text.front())))
                places.push_back(i);
        }
        std::vector<std::string> texts;
        texts.reserve(places.size());
        for (std::size_t i : places) texts.push_back(std::move(gRun.lines[i].text));
        std::stable_sort(texts.begin(), texts.end(),
                         [](const std::string& a, const std::string& b) { return CompareNamesNatural(a, b) < 0; });
        for (std::size_t k = 0; k < places.size(); ++k) gRun.lines[places[k]].text = std::move(texts[k]);
    }
}

std::string WrapSpiceLine(std::string_view text, int width)
{
    std::string source = Is2G() ? CopyUpperCase(text) : std::string(text);
    width = std::clamp(width, kMinWidth, kMaxWidth);
    std::string out;
    out.reserve(source.size() + 16);
    std::string_view rest = source;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        WrapPhysicalLine(rest.substr(0, end), width, out);
        if (end == std::string_view::npos) break;
        out += '\n';
        rest.remove_prefix(end + 1);
    }
    return out;
}

int SaveSpiceLines(const std::string& path)
{
    const int unit = FindFreeUnit();
    if (unit < 0) {
        ReportFileWriteFailure(path, ErrnoToMessageId(EMFILE));
        return kMsgAlreadyReported;
    }
    if (int rc = CreateUnit(path, unit)) {
        ReportFileWriteFailure(path, rc);
        return kMsgAlreadyReported;
    }
    const int width = GlobalOptions().values.width;
    int status = 0;
    bool first = true;
    for (const SpiceOutputLine& line : gRun.lines) {
        if (first) {
            first = false;
            status = WriteUnitText(unit, line.text.empty() ? std::string("\n***") : line.text);
        } else if (!line.hasText) {
            continue;
        } else if (gRun.verbatimSections.count(line.section)) {
            status = WriteUnitText(unit, Is2G() ? CopyUpperCase(line.text) : line.text);
        } else {
            status = WriteUnitText(unit, WrapSpiceLine(line.text, width));
        }
        if (status) break;
    }
    if (first) status = WriteUnitText(unit, "\n***");
    const int closed = CloseUnit(unit);
    if (!status) status = closed;
    if (status) {
        ReportFileWriteFailure(path, status);
        return kMsgAlreadyReported;
    }
    return 0;
}

namespace {

int BuildSpiceNetlistLines()
{
    SpiceExportRun& run = gRun;
    int rc = 0;
    try {
        AddSpiceLine(0, CopyUpperCase(run.title) + " " + SpiceAnalysisTitle(run.analysisMask) + "\n", false);
        const UserAndCompanyNames& names = UserAndCompanyNamesSetting();
        if (!names.userName.empty() || !names.companyName.empty())
            AddSpiceLine(0, StrPrintf("* %s %s\n", names.userName.c_str(), names.companyName.c_str()), false);
        std::string stamp = FormatDateTimeStamp(true);
        if (stamp.size() > 100) stamp.resize(100);
        if (!stamp.empty()) AddSpiceLine(0, "* " + stamp + "\n", false);
        AddSpiceLine(0, "*\n", false);
        ExportParamLines(0);
        rc = ExportPartLines(0);
        if (!rc) {
            AddSpiceLine(0, "*\n", false);
            rc = ExportModelStatements(0);
        }
        if (!rc) rc = ExportSubcircuits();
        if (!rc) {
            ExportControlLines();
            if (!Is2G()) AddSpiceLine(0, ".PROBE\n", false);
            AddSpiceLine(0, "***  Parts Count\n", false);
            for (int type = 1; type < kComponentTypeCount; ++type) {
                const ComponentTypeRow* row = FindComponentTypeRow(type);
                const std::uint32_t count = ComponentTypeUseCount(type);
                if (!row || count == 0 || row->pinNames == kPinNamesConnection) continue;
                AddSpiceLine(0, StrPrintf("** %-16.16s %u\n", row->name, count), false);
            }
            AddSpiceLine(0, ".END\n", false);
        }
    } catch (const std::bad_alloc&) {
        rc = kMsgInsufficientMemory;
    }
    // A failed section still leaves the lines gathered before it in the file.
    SortSpiceLines();
    const int saved = SaveSpiceLines(run.path);
    run.lines.clear();
    return rc ? rc : saved;
}

}  // namespace

int WriteSpiceNetlist(WindowRecord* record, unsigned analysisMask, const std::string& path, const std::string& title)
{
    gRun = SpiceExportRun();
    gRun.record = record;
    gRun.dialect = SpiceDialectIdsOf(gSettings.dialect).dialect;
    gRun.analysisMask = analysisMask;
    gRun.title = title;
    gRun.path = path;
    int rc = 0;
    try {
        RegisterPartNames();
        rc = PrepareModelsForDialect();
        if (!rc) rc = BuildSpiceNetlistLines();
    } catch (const std::bad_alloc&) {
        rc = kMsgInsufficientMemory;
    }
    if (rc && rc != kMsgAlreadyReported) ReportMessage("WLE", record, 0, rc);
    gRun.lines.clear();
    return rc ? kMsgAlreadyReported : 0;
}

}  // namespace kq5
