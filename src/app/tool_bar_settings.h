#pragma once
// The tool bars' three sections of the settings file: "Tool Windows" (where each of the ten tool
// windows stands), "Tool Buttons" (which buttons each bar shows) and "Tool Bitmaps" (the user
// component buttons). Each section is written by one writer and read key by key.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

int WriteToolWindowsSection(int unit);
int WriteToolButtonsSection(int unit);
int WriteToolBitmapsSection(int unit);

// Reading: one key (upper-cased) and its value. Unknown keys and bad numbers are ignored.
// A tool window's position is brought inside the client rectangle.
void ReadToolWindowsKey(const std::string& key, const std::string& value, const win::RECT& client);
void ReadToolButtonsKey(const std::string& key, const std::string& value);
void ReadToolBitmapsKey(const std::string& key, const std::string& value);

// The tool bars as a new settings file has them: main bar docked at the top and shown, the
// default button sets and component buttons.
void SetDefaultToolBarSettings();

// The rectangle the tool windows' positions are kept inside: the MDI client area when the frame
// exists, else the screen.
win::RECT ToolWindowsClientRect();

// The three section routines, registered with the settings file by name.
void RegisterToolBarSettingsSections();

}  // namespace kq5
