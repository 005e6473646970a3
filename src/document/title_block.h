#pragma once
// The texts filled in at drawing time: the five fields of a schematic's title block and the
// header and footer of text printouts. Each is a template with "$" fields ("$date", "$page",
// "$user", ...), matched without regard to case. Also the Title Block dialog and the settings
// section "Printer" that keeps the templates.
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/settings_keys.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kTitleBlockTemplate = 18409;
constexpr int kTitleBlockFields = 5;
constexpr std::size_t kTitleBlockFieldMax = 29;

struct TitleBlockState {
    std::array<std::string, kTitleBlockFields> fields;
    int oneTitle = 0;
    std::string printHeader = "$|Page $Page";
    std::string printFooter = "$<$user\\n$company";  // a line break is kept as backslash and n
    int orientation = 1;                             // 1 portrait, 2 landscape
};

TitleBlockState& TitleBlockFields();
void SetTitleBlockDefaults();
void ResetTitleBlockForTests();

// Replaces every occurrence of the token (case-blind) by the value; the inserted value is never
// searched again, so a value holding its own token is kept as it is.
std::string ReplaceToken(std::string_view text, std::string_view token, std::string_view value);

// The fields of one substitution, tried in order at each "$" of the template. One pass over the
// template: what a field puts in is never read again as a field.
using FieldValues = std::vector<std::pair<std::string, std::string>>;
std::string SubstituteFields(std::string_view text, const FieldValues& fields);

// "$date", "$time", "$page", "$maxpage", "$user", "$company", "$name".
std::string SubstitutePrintFields(const WindowRecord* record, std::string_view text, int page, int pageCount);
// A title-block field (index 0 to 4) for a page: the print fields plus "$pagename", "$sheet" and
// "$maxsheet" ("n\a" for both sheet numbers with One Title set). Never cut.
std::string TitleBlockFieldText(const WindowRecord* record, int fieldIndex, int pageIndex, int sheet, int sheetCount);

// The lines of a header or footer after substitution, each split into its left, centre and
// right parts ("$<", "$|", "$>"; text before any code is left).
struct HeaderLine {
    std::string left;
    std::string center;
    std::string right;
};
std::vector<HeaderLine> SplitHeaderText(std::string_view substituted);

// The Title Block dialog over the parent: 1 confirmed, 0 cancelled.
int RunTitleBlockDialog(win::HWND parent);

// The "Printer" settings section: Field_1..Field_5, One Title, Orientation, Header, Footer.
void PrinterSection(SettingsKeys& section);
// The older layout: a count and that many field texts.
void PrinterSectionOlder(const std::vector<std::string>& lines);

}  // namespace kq5
