#include "netlist/global_options.h"

#include <cmath>
#include <limits>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_text_object.h"
#include "netlist/defines.h"
#include "netlist/model_statements.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::infinity();
constexpr double kAbsoluteZero = -273.15;

using V = GlobalOptionValues;

constexpr GlobalOptionRow Integer(std::int32_t id, const char* name, std::int32_t V::*value, const char* text,
                                  std::uint16_t dialects, double low, bool lowInclusive, double high = kNoLimit)
{
    return {id, name, value, nullptr, text, kOptionInteger, dialects, low, lowInclusive, high};
}

constexpr GlobalOptionRow Double(std::int32_t id, const char* name, double V::*value, const char* text,
                                 std::uint16_t dialects, double low, bool lowInclusive, double high = kNoLimit)
{
    return {id, name, nullptr, value, text, kOptionDouble, dialects, low, lowInclusive, high};
}

constexpr GlobalOptionRow Flag(std::int32_t id, const char* name, std::int32_t V::*value, const char* text,
                               std::uint16_t dialects)
{
    return {id, name, value, nullptr, text, kOptionFlag, dialects, 0.0, true, 1.0};
}

constexpr bool kFrom = true;     // the low limit is allowed
constexpr bool kAbove = false;   // only values above the low limit

}  // namespace

const std::array<GlobalOptionRow, kGlobalOptionCount> kGlobalOptionsTable = {{
    Double(200, "ABSTOL", &V::abstol, "1pA", 0x43, 0.0, kAbove),
    Double(201, "CHGTOL", &V::chgtol, ".01pC", 0x43, 0.0, kAbove),
    Double(202, "CPTIME", &V::cptime, "1e9", 0x43, 0.0, kAbove),
    Double(203, "DEFAD", &V::defad, "0", 0x43, 0.0, kFrom),
    Double(204, "DEFAS", &V::defas, "0", 0x43, 0.0, kFrom),
    Double(205, "DEFL", &V::defl, "100u", 0x43, 0.0, kAbove),
    Double(206, "DEFW", &V::defw, "100u", 0x43, 0.0, kAbove),
    Double(207, "DIGDRVF", &V::digdrvf, "2", 0x41, 0.0, kAbove),
    Double(208, "DIGDRVZ", &V::digdrvz, "20K", 0x41, 0.0, kAbove),
    Integer(209, "DIGERRDEFAULT", &V::digerrdefault, "20", 0x41, 0.0, kFrom),
    Integer(210, "DIGERRLIMIT", &V::digerrlimit, "10000", 0x41, 0.0, kFrom),
    Double(211, "DIGFREQ", &V::digfreq, "10GHz", 0x41, 0.0, kAbove),
    Integer(212, "DIGINITSTATE", &V::diginitstate, "2", 0x41, 0.0, kFrom, 2.0),
    Integer(213, "DIGIOLVL", &V::digiolvl, "1", 0x41, 1.0, kFrom, 4.0),
    Integer(214, "DIGMNTYMX", &V::digmntymx, "2", 0x41, 1.0, kFrom, 4.0),
    Double(215, "DIGMNTYSCALE", &V::digmntyscale, "0.4", 0x41, 0.0, kFrom, 1.0),
    Double(216, "DIGOVRDRV", &V::digovrdrv, "3", 0x41, 1.0, kFrom),
    Double(217, "DIGTYMXSCALE", &V::digtymxscale, "1.6", 0x41, 1.0, kFrom),
    Double(218, "GMIN", &V::gmin, "1p", 0x43, 0.0, kFrom),
    Integer(219, "ITL1", &V::itl1, "100", 0x43, 0.0, kAbove),
    Integer(220, "ITL2", &V::itl2, "50", 0x43, 0.0, kAbove),
    Integer(221, "ITL4", &V::itl4, "10", 0x43, 0.0, kAbove),
    Integer(222, "ITL5", &V::itl5, "0", 0x43, 0.0, kFrom),
    Double(223, "LIMPTS", &V::limpts, "0", 0x43, 0.0, kFrom),
    Flag(224, "NOOUTMSG", &V::nooutmsg, "0", 0x41),
    Double(225, "PIVREL", &V::pivrel, ".001", 0x43, 0.0, kAbove, 1.0),
    Double(226, "PIVTOL", &V::pivtol, "1e-13", 0x43, 0.0, kAbove),
    Double(227, "RELTOL", &V::reltol, ".001", 0x43, 0.0, kAbove, 1.0),
    Double(228, "SD", &V::sd, "2.58", 0, 0.0, kAbove),
    Double(229, "TNOM", &V::tnom, "27", 0x43, kAbsoluteZero, kAbove),
    Double(230, "TRTOL", &V::trtol, "7", 0x43, 0.0, kAbove),
    Flag(231, "TRYTOCOMPACT", &V::trytocompact, "0", 0x40),
    Double(232, "VNTOL", &V::vntol, "1e-6", 0x43, 0.0, kAbove),
    Integer(233, "WIDTH", &V::width, "80", 0x43, 10.0, kFrom, 1000.0),
    Flag(234, "PRIVATEDIGITAL", &V::privatedigital, "0", 0),
    Flag(235, "PRIVATEANALOG", &V::privateanalog, "1", 0),
    Integer(238, "PERFORM_M", &V::performM, "2", 0, 0.0, kFrom),
    Double(239, "RMIN", &V::rmin, "1u", 0, 0.0, kAbove),
}};

namespace {

// What a parsed name sets besides the table rows.
enum class Target { Row, Numdgt, Method, Ignored, Unknown };

struct ParseContext {
    std::string_view text;
    std::size_t pos = 0;
    const CircuitTextObject* textObject = nullptr;
};

bool IsBlank(char c) { return HasCharClass(c, kCharSpace); }

void SkipBlanks(ParseContext& c)
{
    while (c.pos < c.text.size() && IsBlank(c.text[c.pos])) ++c.pos;
}

// Every message of the parser shows the statement first and uses the current window.
template <class... Args>
int Fail(const ParseContext& c, const char* spec, Args&&... args)
{
    if (c.textObject) ShowErrorLocation(c.textObject);
    ReportNetlistMessage(spec, CurrentRecord(), std::forward<Args>(args)...);
    FlagCircuitBuildError();
    return kMsgAlreadyReported;
}

// The message of a value outside a row's range; 0 inside it.
int RangeMessage(const GlobalOptionRow& row, double value, double& low, double& high)
{
    low = row.low;
    high = row.high;
    const bool lowOk = row.lowInclusive ? value >= row.low : value > row.low;
    if (lowOk && value <= row.high && std::isfinite(value)) return 0;
    if (std::isinf(row.high)) return row.lowInclusive ? 11871 : 11870;
    return row.lowInclusive ? 11873 : 11872;
}

int StoreValue(const ParseContext& c, int rowIndex, std::string_view name, std::string_view valueText)
{
    const GlobalOptionRow& row = kGlobalOptionsTable[static_cast<std::size_t>(rowIndex)];
    const double value = ParseNumber(valueText);
    if (ParseError()) return Fail(c, "WME", "Value:", valueText, 11897, name);
    const double stored = row.type == kOptionDouble ? value : std::trunc(value);
    double low = 0.0, high = 0.0;
    if (int id = RangeMessage(row, stored, low, high); id != 0) {
        if (id == 11870 || id == 11871) return Fail(c, "WE", id, name, valueText, low);
        return Fail(c, "WE", id, name, valueText, low, high);
    }
    if (row.type == kOptionDouble) GlobalOptions().values.*row.doubleValue = value;
    else GlobalOptions().values.*row.intValue = DoubleToIntClamped(value);
    return 0;
}

Target Classify(std::string_view name, bool textNetlistWindow, int& row)
{
    row = FindGlobalOption(name);
    if (row >= 0) return Target::Row;
    if (textNetlistWindow && name == "NUMDGT") return Target::Numdgt;
    if (name == "METHOD") return Target::Method;
    if (name == "ACCT" || name == "LIST" || name == "OPTS") return Target::Ignored;
    return Target::Unknown;
}

std::string_view ReadWord(ParseContext& c)
{
    const std::size_t start = c.pos;
    while (c.pos < c.text.size() && !IsBlank(c.text[c.pos])) ++c.pos;
    return c.text.substr(start, c.pos - start);
}

// A flag takes no value, or "=0" / "=1".
int ParseFlag(ParseContext& c, int rowIndex, std::string_view name)
{
    const std::size_t afterName = c.pos;
    SkipBlanks(c);
    if (c.pos >= c.text.size() || c.text[c.pos] != '=') {
        c.pos = afterName;
        GlobalOptions().values.*kGlobalOptionsTable[static_cast<std::size_t>(rowIndex)].intValue = 1;
        return 0;
    }
    ++c.pos;
    SkipBlanks(c);
    if (c.pos >= c.text.size()) return Fail(c, "WE", 11896, name);
    const std::string_view value = ReadWord(c);
    if (!HasCharClass(value.front(), kCharNumberStart)) return Fail(c, "WME", "Value:", value, 11897, name);
    return StoreValue(c, rowIndex, name, value);
}

int ParseOne(ParseContext& c, bool textNetlistWindow)
{
    const std::size_t start = c.pos;
    while (c.pos < c.text.size() && !IsBlank(c.text[c.pos]) && c.text[c.pos] != '=') ++c.pos;
    const std::string_view name = c.text.substr(start, c.pos - start);
    int row = -1;
    const Target target = Classify(name, textNetlistWindow, row);
    switch (target) {
    case Target::Ignored:
        return 0;
    case Target::Unknown: {
        if (AddDeferredWarningSlot(name, -1, kWarnUnknownOption) != 0) return kMsgAlreadyReported;
        // The value of an unknown option goes with it, so that it is not taken for a name.
        SkipBlanks(c);
        if (c.pos < c.text.size() && c.text[c.pos] == '=') {
            ++c.pos;
            SkipBlanks(c);
            ReadWord(c);
        }
        return 0;
    }
    case Target::Row:
        if (kGlobalOptionsTable[static_cast<std::size_t>(row)].type == kOptionFlag) return ParseFlag(c, row, name);
        break;
    default:
        break;
    }
    SkipBlanks(c);
    if (c.pos >= c.text.size()) return Fail(c, "WE", 11896, name);
    if (c.text[c.pos] != '=') return Fail(c, "WE", 11901, "=", name);
    ++c.pos;
    SkipBlanks(c);
    if (c.pos >= c.text.size()) return Fail(c, "WE", 11896, name);
    const std::string_view value = ReadWord(c);
    if (target == Target::Method) {
        if (value == "GEAR") GlobalOptions().integrationMethod = kMethodGear;
        else if (value == "TRAP") GlobalOptions().integrationMethod = kMethodTrap;
        else return Fail(c, "WE", 11895);
        return 0;
    }
    if (!HasCharClass(value.front(), kCharNumberStart)) return Fail(c, "WME", "Value:", value, 11897, name);
    if (target == Target::Numdgt) {
        GlobalOptions().numdgt = ParseIntNumber(value);
        if (ParseError()) return Fail(c, "WME", "Value:", value, 11897, name);
        return 0;
    }
    return StoreValue(c, row, name, value);
}

// The text behind ".OPTIONS" or ".OPT" (case-blind, followed by a separator); npos when the text
// is no options statement.
std::size_t OptionsKeywordEnd(std::string_view text)
{
    for (std::string_view keyword : {std::string_view(".OPTIONS"), std::string_view(".OPT")}) {
        if (text.size() < keyword.size()) continue;
        bool match = true;
        for (std::size_t i = 0; i < keyword.size() && match; ++i) match = ToUpperChar(text[i]) == keyword[i];
        if (!match) continue;
        if (text.size() == keyword.size() || HasCharClass(text[keyword.size()], kCharSpace | kCharSeparator))
            return keyword.size();
    }
    return std::string_view::npos;
}

}  // namespace

std::span<const GlobalOptionRow> GlobalOptionsTable() { return kGlobalOptionsTable; }

int FindGlobalOption(std::string_view name)
{
    for (std::size_t i = 0; i < kGlobalOptionsTable.size(); ++i)
        if (name == kGlobalOptionsTable[i].name) return static_cast<int>(i);
    return -1;
}

GlobalOptionsState& GlobalOptions()
{
    static GlobalOptionsState state;
    return state;
}

void ResetGlobalOptionsForTests() { GlobalOptions() = GlobalOptionsState{}; }

double GlobalOptionValue(int row)
{
    if (row < 0 || row >= kGlobalOptionCount) return 0.0;
    const GlobalOptionRow& r = kGlobalOptionsTable[static_cast<std::size_t>(row)];
    const GlobalOptionValues& values = GlobalOptions().values;
    return r.type == kOptionDouble ? values.*r.doubleValue : static_cast<double>(values.*r.intValue);
}

bool GlobalOptionInRange(int row, double value)
{
    if (row < 0 || row >= kGlobalOptionCount) return false;
    double low = 0.0, high = 0.0;
    return RangeMessage(kGlobalOptionsTable[static_cast<std::size_t>(row)], value, low, high) == 0;
}

int SetGlobalOptionFromText(int row, std::string_view text)
{
    if (row < 0 || row >= kGlobalOptionCount) return 11897;
    const GlobalOptionRow& r = kGlobalOptionsTable[static_cast<std::size_t>(row)];
    GlobalOptionValues& values = GlobalOptions().values;
    if (r.type == kOptionDouble) {
        const double value = ParseNumber(text);
        if (ParseError()) return 11897;
        values.*r.doubleValue = value;
    } else {
        const int value = ParseIntNumber(text);
        if (ParseError()) return 11897;
        values.*r.intValue = value;
    }
    return 0;
}

void KeepGlobalOptionsAsSettings()
{
    GlobalOptionsState& o = GlobalOptions();
    o.settings = o.values;
    o.settingsMethod = o.integrationMethod;
    o.settingsGiven = true;
}

void SetGlobalOptionsToDefaults()
{
    GlobalOptionsState& o = GlobalOptions();
    if (o.settingsGiven) {
        // A value or METHOD of one circuit's .OPTIONS must not carry over to the next.
        o.values = o.settings;
        o.integrationMethod = o.settingsMethod;
        return;
    }
    for (int row = 0; row < kGlobalOptionCount; ++row)
        SetGlobalOptionFromText(row, kGlobalOptionsTable[static_cast<std::size_t>(row)].defaultText);
    // The method is a setting too: a METHOD of one circuit's .OPTIONS must not carry over.
    GlobalOptions().integrationMethod = kMethodTrap;
}

int ParseOptionsText(std::string_view text, bool textNetlistWindow, const CircuitTextObject* textObject)
{
    ParseContext c{text, 0, textObject};
    while (true) {
        SkipBlanks(c);
        while (c.pos < c.text.size() && c.text[c.pos] == '=') ++c.pos;
        if (c.pos >= c.text.size()) return 0;
        if (int status = ParseOne(c, textNetlistWindow); status != 0) return status;
    }
}

int ParseOptionsStatements(const LinkedList& textObjects, bool textNetlistWindow)
{
    GlobalOptions().numdgt = -1;
    for (const CircuitTextObject& object : ListRecords<CircuitTextObject>(textObjects)) {
        const std::size_t end = OptionsKeywordEnd(object.text);
        if (end == std::string_view::npos) continue;
        std::string copy;
        if (SubstituteDefines(copy, object.scope, std::string_view(object.text).substr(end)) != 0) {
            FlagCircuitBuildError();
            return kMsgAlreadyReported;
        }
        copy = CopyUpperCase(copy);
        if (int status = ParseOptionsText(copy, textNetlistWindow, &object); status != 0) return status;
    }
    return 0;
}

int ParseOptionsStatements()
{
    const WindowRecord* record = CurrentRecord();
    return ParseOptionsStatements(CircuitTextObjects(), record && record->kind == kWindowTextCircuit);
}

}  // namespace kq5
