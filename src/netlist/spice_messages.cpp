#include "netlist/spice_messages.h"

#include "core/engineering_numbers.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "netlist/build_errors.h"
#include "netlist/defines.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

void SetErrorSourceLine(std::string_view source, int line)
{
    SourceLocation& location = NetlistReader().errorLocation;
    location.source.assign(source);
    location.line = source.empty() ? -1 : line;
}

void ClearErrorSourceLine() { SetErrorSourceLine({}, -1); }

int ReportNetlistMessageArgs(std::string_view spec, MessageArgs args)
{
    const SourceLocation& location = NetlistReader().errorLocation;
    if (location.line < 0) return ReportMessageArgs(spec, args);
    // Each letter before the id takes one argument, 'M' two.
    std::size_t idLetter = spec.find('E');
    if (idLetter == std::string_view::npos) return ReportMessageArgs(spec, args);
    std::size_t argumentIndex = 0;
    for (std::size_t i = 0; i < idLetter; ++i) argumentIndex += spec[i] == 'M' ? 2 : 1;
    if (argumentIndex > args.size()) return ReportMessageArgs(spec, args);
    std::string fullSpec(spec.substr(0, idLetter));
    fullSpec += "MM";
    fullSpec += spec.substr(idLetter);
    MessageArgs located = {MessageArg("Source:"), MessageArg(location.source), MessageArg("Line:"),
                           MessageArg(StrPrintf("%d", location.line + 1))};
    args.insert(args.begin() + static_cast<std::ptrdiff_t>(argumentIndex), located.begin(), located.end());
    return ReportMessageArgs(fullSpec, args);
}

int ReportPartMessageArgs(const SchematicItem* part, int id, MessageArgs placeholders)
{
    SourceLocation& location = NetlistReader().errorLocation;
    const SourceLocation recorded = location;
    if (location.line < 0)
        if (const auto origin = ElementOrigin(part); origin && !origin->source.empty()) location = *origin;
    MessageArgs args = MakeMessageArgs(CurrentRecord(), part, id);
    args.insert(args.end(), placeholders.begin(), placeholders.end());
    const int result = ReportNetlistMessageArgs("WNE", std::move(args));
    location = recorded;
    return result;
}

int ReportReaderOutOfMemory()
{
    ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
    FlagCircuitBuildError();
    return kMsgAlreadyReported;
}

int ComputeLineValue(std::string_view token, int scope, double& value, std::array<std::string, 2>& texts)
{
    texts = {};
    value = ParseNumber(token);
    if (!ParseError()) return 0;
    std::string text;
    if (SubstituteDefines(text, scope, token) != 0) return kMsgAlreadyReported;
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
    int error = 0;
    value = EvalNumberOrExpressionQuiet(text, error, texts);
    return error;
}

int EvaluateLineValue(std::string_view token, int scope, double& value)
{
    constexpr int kMsgExpectingValue = 10927;
    std::array<std::string, 2> texts;
    const int error = ComputeLineValue(token, scope, value, texts);
    if (error == 0 || error == kMsgAlreadyReported) return error;
    if (error == kMsgInsufficientMemory) return ReportReaderOutOfMemory();
    if (texts[0].empty() && texts[1].empty())
        ReportNetlistMessage("WLE", CurrentRecord(), scope, kMsgExpectingValue, std::string(token));
    else
        ReportNetlistMessage("WLE", CurrentRecord(), scope, error, texts[0], texts[1]);
    return kMsgAlreadyReported;
}

}  // namespace kq5
