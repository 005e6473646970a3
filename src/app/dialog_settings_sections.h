#pragma once
// The settings-file sections of the colours, the Preferences, the Global Settings and the printer
// fields, whose routines work on the keys of their section (SettingsKeys), joined to the settings
// file's table.
namespace kq5 {

// Registers "Global Settings", "Preferences", "Palettes" and "Printer" with their defaults.
void RegisterDialogSettingsSections();

}  // namespace kq5
