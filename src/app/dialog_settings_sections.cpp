#include "app/dialog_settings_sections.h"

#include <string>
#include <vector>

#include "ui/color_table.h"
#include "app/global_settings.h"
#include "document/preferences.h"
#include "document/settings_file.h"
#include "ui/settings_keys.h"
#include "document/title_block.h"
#include "core/file_units.h"
#include "core/key_file.h"

namespace kq5 {

namespace {

using KeysRoutine = void (*)(SettingsKeys&);
using OlderRoutine = void (*)(const std::vector<std::string>&);

// Writing: the routine's keys in its order (a ";" key is a comment line). Reading: the section's
// keys as met, then the routine.
int TransferKeys(SettingsStream& stream, KeysRoutine routine)
{
    SettingsKeys keys;
    if (IsSettingsWriting(stream)) {
        keys.writing = true;
        routine(keys);
        for (const auto& [key, value] : keys.keys) {
            const int status = !key.empty() && key.front() == ';' ? WriteKeyString(stream.unit, key, {})
                                                                  : WriteSettingsString(stream.unit, key, value);
            if (status != 0) return status;
        }
        return 0;
    }
    std::string key, value;
    while (NextSettingsKey(stream, key, value)) keys.Add(key, value);
    if (stream.status != 0) return stream.status;
    routine(keys);
    return 0;
}

// The older layout: a count line and that many lines, then a fixed number of further lines. The
// count is the file's; a file that ends before it fails the read.
int ReadOlderLines(SettingsStream& stream, int trailingLines, OlderRoutine routine)
{
    std::vector<std::string> lines(1);
    if (int status = ReadSettingsLine(stream, lines[0])) return status;
    const long long count = SettingsNumber(lines[0], -1);
    if (count < 0) return kMsgBadFormat;
    for (long long i = 0; i < count + trailingLines; ++i) {
        std::string line;
        if (int status = ReadSettingsLine(stream, line)) return status;
        lines.push_back(std::move(line));
    }
    routine(lines);
    return 0;
}

int GlobalSettingsTransfer(SettingsStream& stream)
{
    // TagFormat, NodeVoltageFormat and NodeRecalc follow the option texts.
    if (stream.version == kSettingsVersionOld) return ReadOlderLines(stream, 3, &GlobalSettingsSectionOlder);
    return TransferKeys(stream, &GlobalSettingsSection);
}

int PrinterTransfer(SettingsStream& stream)
{
    if (stream.version == kSettingsVersionOld) return ReadOlderLines(stream, 0, &PrinterSectionOlder);
    return TransferKeys(stream, &PrinterSection);
}

int PreferencesTransfer(SettingsStream& stream) { return TransferKeys(stream, &PreferencesSection); }

int PalettesTransfer(SettingsStream& stream) { return TransferKeys(stream, &PalettesSection); }

void GlobalSettingsDefaults()
{
    FillOptionDefaults(nullptr, kFillReset);
    ApplyOptionTexts();
}

void PaletteDefaults()
{
    CreateAppPalette();
    BuildPaletteColorRows();
}

}  // namespace

void RegisterDialogSettingsSections()
{
    RegisterSettingsSection("Global Settings", &GlobalSettingsTransfer, &GlobalSettingsDefaults);
    RegisterSettingsSection("Preferences", &PreferencesTransfer, &SetPreferenceDefaults);
    RegisterSettingsSection("Palettes", &PalettesTransfer, &PaletteDefaults);
    RegisterSettingsSection("Printer", &PrinterTransfer, &SetTitleBlockDefaults);
}

}  // namespace kq5
