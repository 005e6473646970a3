#pragma once
// The program-wide defaults of the simulator options, as the user typed them (engineering
// suffixes allowed), with the default integration method; the Global Settings dialog that edits
// them and their settings section "Global Settings". ApplyOptionTexts turns them into the option
// variables that the simulator uses where a circuit sets nothing itself.
#include <array>
#include <string>
#include <vector>

#include "ui/settings_keys.h"
#include "netlist/global_options.h"
#include "platform/win_types.h"

namespace kq5 {

constexpr int kGlobalSettingsTemplate = 18408;
constexpr int kGearRadio = 236;
constexpr int kTrapezoidalRadio = 237;
constexpr int kDefaultButton = 27;

struct GlobalSettingsState {
    std::array<std::string, kGlobalOptionCount> optionTexts;  // kept whole, however long
    int method = kMethodTrap;
};

GlobalSettingsState& GlobalSettings();
void ResetGlobalSettingsForTests();

constexpr unsigned kFillReset = 1;
// Puts each row's default text where the text is empty, or everywhere with kFillReset (a full
// reset also chooses trapezoidal integration). Works on the dialog's controls when one is given.
void FillOptionDefaults(win::HWND dialog, unsigned flags);
void ApplyOptionTexts();
std::string GetOptionControl(win::HWND dialog, int row);
void SetOptionControl(win::HWND dialog, int row, const std::string& text);

// The Global Settings dialog over the parent: 1 confirmed, 0 cancelled.
int RunGlobalSettingsDialog(win::HWND parent);

// "Global Settings": one key per option, then METHOD ("TRAP" or "GEAR"); the texts are applied
// after either direction.
void GlobalSettingsSection(SettingsKeys& section);
// The older layout: a count, that many option texts, then TagFormat, NodeVoltageFormat and
// NodeRecalc (given back to the caller's Preferences), each one line.
void GlobalSettingsSectionOlder(const std::vector<std::string>& lines);

}  // namespace kq5
