#pragma once
// Messages about SPICE text: besides what the message reporter shows (the part or the text,
// the scope's file) they name the source and the line that was being read, so that a user can
// find the statement the reader could not take.
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "core/message_args.h"
#include "core/message_reporter.h"

namespace kq5 {

// Records the source name and logical-line start (0-based) that the next messages show; an
// empty name forgets the location.
void SetErrorSourceLine(std::string_view source, int line);
void ClearErrorSourceLine();

// Reports with the message-spec letters (ending in 'E'), adding the recorded source line as two
// labelled context lines "Source:" and "Line:" (1-based) in front of the message id.
int ReportNetlistMessageArgs(std::string_view spec, MessageArgs args);

template <class... Args>
int ReportNetlistMessage(const char* spec, Args&&... args)
{
    return ReportNetlistMessageArgs(spec, MakeMessageArgs(std::forward<Args>(args)...));
}

// Reports a message about a part ("WNE" with the current window); a part read from a netlist
// also names the file and line it is written on, which may be an included file.
int ReportPartMessageArgs(const SchematicItem* part, int id, MessageArgs placeholders);

template <class... Args>
int ReportPartMessage(const SchematicItem* part, int id, Args&&... args)
{
    return ReportPartMessageArgs(part, id, MakeMessageArgs(std::forward<Args>(args)...));
}

// The value of a token of the line being read: a number, or an expression (braces optional)
// with the defines of the scope substituted. One that is neither is reported once, at that line:
// with the expression's own message when it does not compile, else with 10927. 0 or 15055.
int EvaluateLineValue(std::string_view token, int scope, double& value);
// The same without a report: 0, or the message id with the texts of its placeholders (15055
// when a define could not be substituted and said so).
int ComputeLineValue(std::string_view token, int scope, double& value, std::array<std::string, 2>& texts);

// Reports 15002 "Insufficient memory." against the current window and marks the build failed;
// returns 15055.
int ReportReaderOutOfMemory();

}  // namespace kq5
