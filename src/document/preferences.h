#pragma once
// The Preferences: the option word, the default attribute table (colours and fonts of every kind
// of object), the palette entries 16 to 63, the number formats and the node recalculation
// threshold; the dialog that edits them and their settings section "Preferences".
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/font_description.h"
#include "ui/settings_keys.h"
#include "platform/win_types.h"

namespace kq5 {

struct CircuitDocument;

constexpr int kPreferencesTemplate = 18410;
constexpr int kPreferencesList = 19720;
constexpr int kPreferencesFontButton = 22;
constexpr int kPreferencesSample = 19724;
constexpr int kFirstOptionBox = 19700;
constexpr int kTimeStampBox = 19715;
constexpr int kDateStampBox = 19716;
constexpr int kSameYScaleBox = 19714;
constexpr int kScaleColorBox = 19725;
constexpr int kRecalcField = 19722;
constexpr int kRecalcLabel = 19723;
constexpr int kFirstFormatLabel = 19726;
constexpr int kFirstFormatField = 19733;
constexpr int kFormatCount = 7;
constexpr std::size_t kFormatTextMax = 9;

// The names of the default attribute entries 0 to 50, also their settings keys.
extern const std::array<const char*, 51> ColorKeyNames;

// The formats, the threshold, the two flags, the option word and the default attribute table.
void SetPreferenceDefaults();

// A new schematic or text window takes the colours and fonts of the Circuit Defaults.
void CopyDefaultCircuitAttributes(CircuitDocument& doc);

// A typed number format made safe for the number printer: "n", "nE"/"ne" or, with decimals
// allowed (the plot value format), "w.d"; numbers at most 16.
std::string NormalizeFormatText(const std::string& text, bool decimalsAllowed);

// The "Preferences" settings section.
void PreferencesSection(SettingsKeys& section);

// Flags of a Preferences row.
constexpr unsigned kRowColor = 0x0001;
constexpr unsigned kRowFont = 0x0002;
constexpr unsigned kRowScaleColor = 0x0004;
constexpr unsigned kRowOptions = 0x0008;
constexpr unsigned kRowFormats = 0x0010;
constexpr unsigned kRowFixedPitch = 0x0040;
constexpr unsigned kRowPrintout = 0x0100;
constexpr unsigned kRowRecalc = 0x0200;
constexpr unsigned kRowPalette = 0x0400;
constexpr unsigned kRowGroup = 0x0800;
constexpr unsigned kRowSameYScales = 0x4000;
constexpr unsigned kRowTrueType = 0x8000;

struct PreferenceRow {
    std::string text;
    int target = -1;  // default attribute entry, -1 for none
    unsigned flags = 0;
    bool* expanded = nullptr;  // groups: their open flag
    int children = 0;
    int parent = -1;           // children: their group's row
    bool lastChild = false;
    FontSpec work;             // working copy; the colour byte holds a flag row's value
    // Rows of an open window edit the window's own values: a FontSpec, or an int colour.
    FontSpec* fontTarget = nullptr;
    std::int32_t* intTarget = nullptr;
};

// The rows of the dialog in order, with working copies of the current values.
std::vector<PreferenceRow> BuildPreferenceRows();
// The rows the list shows: main rows, and the children of open groups.
std::vector<int> VisiblePreferenceRows(const std::vector<PreferenceRow>& rows);
// The list text of a row: "[+]" turns "[-]" while open; a child's text begins with the tree
// branch (character 195, or 192 for the last child, of the line-drawing character set), which the
// list draws as lines before the indented name.
constexpr char kTreeBranch = '\xC3';
constexpr char kTreeCorner = '\xC0';
std::string PreferenceRowText(const PreferenceRow& row);

// The Preferences dialog over the parent: 1 confirmed, 0 cancelled.
int RunPreferencesDialog(win::HWND parent);
// The open groups of the defaults, kept while the program runs; for tests.
void ResetPreferenceGroupsForTests();

}  // namespace kq5
