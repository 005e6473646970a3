#include "app/global_settings.h"

#include <algorithm>
#include <cmath>

#include "ui/dialog_services.h"
#include "ui/color_dialog.h"
#include "ui/preference_values.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"

namespace kq5 {

namespace {

constexpr int kMsgOptionAbove = 11870;
constexpr int kMsgOptionAtLeast = 11871;
constexpr int kMsgOptionAboveTo = 11872;
constexpr int kMsgOptionFromTo = 11873;
constexpr int kMsgBadValueFollowing = 11897;

std::string Trimmed(std::string text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.back())) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && blank(text[start])) ++start;
    return text.substr(start);
}

const GlobalOptionRow& Row(int row) { return GlobalOptionsTable()[static_cast<std::size_t>(row)]; }

// Refuses, with a message and the focus on the field, a value the simulator cannot run with: a
// text that is no number, or a number outside the option's range (WIDTH is clamped where it is
// applied instead). An empty field stands for the default. True when every field is usable.
bool OptionFieldsUsable(win::HWND dialog)
{
    for (int row = 0; row < kGlobalOptionCount; ++row) {
        const GlobalOptionRow& r = Row(row);
        if (r.type == kOptionFlag || r.intValue == &GlobalOptionValues::width) continue;
        const std::string text = GetOptionControl(dialog, row);
        if (text.empty()) continue;
        double value = ParseNumber(text);
        bool refused = ParseError();
        if (refused) {
            ReportMessage("E", kMsgBadValueFollowing, r.name);
        } else {
            if (r.type == kOptionInteger) value = std::trunc(value);
            if (!GlobalOptionInRange(row, value)) {
                refused = true;
                // The messages that .OPTIONS gives for the same values.
                if (std::isinf(r.high)) ReportMessage("E", r.lowInclusive ? kMsgOptionAtLeast : kMsgOptionAbove, r.name, text, r.low);
                else ReportMessage("E", r.lowInclusive ? kMsgOptionFromTo : kMsgOptionAboveTo, r.name, text, r.low, r.high);
            }
        }
        if (refused) {
            win::SetFocus(win::GetDlgItem(dialog, r.id));
            win::SendDlgItemMessage(dialog, r.id, win::EM_SETSEL, 0, -1);
            return false;
        }
    }
    return true;
}

win::INT_PTR GlobalSettingsDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    GlobalSettingsState& g = GlobalSettings();
    if (msg == win::WM_INITDIALOG) {
        for (int row = 0; row < kGlobalOptionCount; ++row)
            SetOptionControl(dialog, row, g.optionTexts[static_cast<std::size_t>(row)]);
        win::CheckRadioButton(dialog, kGearRadio, kTrapezoidalRadio, g.method == kMethodTrap ? kTrapezoidalRadio : kGearRadio);
        return win::TRUE;
    }
    if (msg != win::WM_COMMAND) return win::FALSE;
    switch (win::LOWORD(wParam)) {
    case win::IDOK:
        if (!OptionFieldsUsable(dialog)) return win::TRUE;
        for (int row = 0; row < kGlobalOptionCount; ++row)
            g.optionTexts[static_cast<std::size_t>(row)] = GetOptionControl(dialog, row);
        g.method = win::IsDlgButtonChecked(dialog, kGearRadio) ? kMethodGear : kMethodTrap;
        ApplyOptionTexts();
        win::EndDialog(dialog, 1);
        return win::TRUE;
    case kDefaultButton:
        FillOptionDefaults(dialog, kFillReset);
        return win::TRUE;
    case win::IDCANCEL:
        win::EndDialog(dialog, 0);
        return win::TRUE;
    case 9:
        ShowDialogHelp(kGlobalSettingsTemplate);
        return win::TRUE;
    default:
        return win::FALSE;
    }
}

}  // namespace

GlobalSettingsState& GlobalSettings()
{
    static GlobalSettingsState state;
    return state;
}

void ResetGlobalSettingsForTests() { GlobalSettings() = GlobalSettingsState{}; }

void FillOptionDefaults(win::HWND dialog, unsigned flags)
{
    GlobalSettingsState& g = GlobalSettings();
    const bool reset = (flags & kFillReset) != 0;
    for (int row = 0; row < kGlobalOptionCount; ++row) {
        const std::string current = dialog ? GetOptionControl(dialog, row) : g.optionTexts[static_cast<std::size_t>(row)];
        if (!reset && !current.empty()) continue;
        if (dialog) SetOptionControl(dialog, row, Row(row).defaultText);
        else g.optionTexts[static_cast<std::size_t>(row)] = Row(row).defaultText;
    }
    if (!reset) return;
    if (dialog) win::CheckRadioButton(dialog, kGearRadio, kTrapezoidalRadio, kTrapezoidalRadio);
    else g.method = kMethodTrap;
}

void ApplyOptionTexts()
{
    FillOptionDefaults(nullptr, 0);
    GlobalSettingsState& g = GlobalSettings();
    GlobalOptionsState& options = GlobalOptions();
    for (int row = 0; row < kGlobalOptionCount; ++row) {
        const GlobalOptionRow& r = Row(row);
        const std::string& text = g.optionTexts[static_cast<std::size_t>(row)];
        if (r.type == kOptionDouble) options.values.*(r.doubleValue) = ParseNumber(text);
        else options.values.*(r.intValue) = ParseIntNumber(text);
    }
    options.values.width = std::clamp(options.values.width, 10, 1000);
    options.integrationMethod = g.method;
    KeepGlobalOptionsAsSettings();
}

std::string GetOptionControl(win::HWND dialog, int row)
{
    const GlobalOptionRow& r = Row(row);
    if (r.type == kOptionFlag) return win::IsDlgButtonChecked(dialog, r.id) ? "1" : "0";
    return Trimmed(win::GetDlgItemText(dialog, r.id));
}

void SetOptionControl(win::HWND dialog, int row, const std::string& text)
{
    const GlobalOptionRow& r = Row(row);
    if (r.type == kOptionFlag) {
        win::CheckDlgButton(dialog, r.id, text.empty() || text[0] != '0' ? 1 : 0);
        return;
    }
    if (win::GetDlgItemText(dialog, r.id) != text) win::SetDlgItemText(dialog, r.id, text.c_str());
}

int RunGlobalSettingsDialog(win::HWND parent)
{
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), kGlobalSettingsTemplate, parent, GlobalSettingsDlgProc, 0));
}

void GlobalSettingsSection(SettingsKeys& section)
{
    GlobalSettingsState& g = GlobalSettings();
    if (section.writing) {
        for (int row = 0; row < kGlobalOptionCount; ++row)
            section.Add(Row(row).name, g.optionTexts[static_cast<std::size_t>(row)]);
        section.Add("METHOD", g.method == kMethodTrap ? "TRAP" : "GEAR");
    } else {
        for (const auto& [key, value] : section.keys) {
            if (SettingsKeyIs(key, "METHOD")) {
                g.method = SettingsKeyIs(value, "GEAR") ? kMethodGear : kMethodTrap;
                continue;
            }
            for (int row = 0; row < kGlobalOptionCount; ++row)
                if (SettingsKeyIs(key, Row(row).name)) {
                    g.optionTexts[static_cast<std::size_t>(row)] = value;
                    break;
                }
        }
    }
    ApplyOptionTexts();
}

void GlobalSettingsSectionOlder(const std::vector<std::string>& lines)
{
    GlobalSettingsState& g = GlobalSettings();
    std::size_t at = 0;
    const auto next = [&](std::string& out) {
        if (at >= lines.size()) return false;
        out = lines[at++];
        return true;
    };
    std::string line;
    if (next(line)) {
        // The count comes from the file: never trust it beyond the lines there are.
        const long long count = SettingsNumber(line, 0);
        for (long long i = 0; i < count && next(line); ++i)
            if (i < kGlobalOptionCount) g.optionTexts[static_cast<std::size_t>(i)] = line;
        PreferenceValues& p = PreferenceSettings();
        if (next(line)) p.tagFormat = line;
        if (next(line)) p.nodeVoltageFormat = line;
        if (next(line)) p.nodeRecalc = static_cast<int>(SettingsNumber(line, p.nodeRecalc));
    }
    ApplyOptionTexts();
}

}  // namespace kq5
