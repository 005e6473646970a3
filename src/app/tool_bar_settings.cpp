#include "app/tool_bar_settings.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "ui/component_buttons.h"
#include "document/settings_file.h"
#include "ui/tool_buttons.h"
#include "core/char_classes.h"
#include "core/key_file.h"
#include "platform/system.h"
#include "platform/win_styles.h"


namespace kq5 {

namespace {

// A whole decimal number, or false (nothing, trailing text, out of range).
bool ParseWhole(std::string_view text, long low, long high, long& out)
{
    std::string s(text);
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

// The number after a key's prefix (compared case-blind), within low to high; -1 otherwise.
long KeyNumber(std::string_view key, std::string_view prefix, long low, long high)
{
    if (key.size() <= prefix.size() || !EqualsNoCase(key.substr(0, prefix.size()), prefix)) return -1;
    long n = 0;
    return ParseWhole(key.substr(prefix.size()), low, high, n) ? n : -1;
}

constexpr int kFitSize = 30;

}  // namespace

win::RECT ToolWindowsClientRect()
{
    return win::RECT{0, 0, win::GetSystemMetrics(win::SM_CXSCREEN), win::GetSystemMetrics(win::SM_CYSCREEN)};
}

int WriteToolWindowsSection(int unit)
{
    if (int status = WriteKeyString(unit, ";Pos,Visible,x,y", "")) return status;
    for (int slot = 0; slot < kToolSlotCount; ++slot) {
        const DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
        std::string value = std::to_string(bar.pos) + "," + std::to_string(bar.visible) + "," +
                            std::to_string(bar.x) + "," + std::to_string(bar.y);
        if (int status = WriteKeyString(unit, "Tool_" + std::to_string(slot), value)) return status;
    }
    return 0;
}

void ReadToolWindowsKey(const std::string& key, const std::string& value, const win::RECT& client)
{
    long slot = KeyNumber(key, "TOOL_", 0, kToolSlotCount - 1);
    if (slot < 0) return;
    std::string list = value;
    std::string item;
    long fields[4] = {0, 0, 0, 0};
    for (long& field : fields) {
        SplitKeyValue(item, list);
        if (!ParseWhole(item, -100000, 100000, field)) return;
    }
    DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    bar.pos = static_cast<std::int32_t>(std::clamp(fields[0], 0L, static_cast<long>(kBarBottom)));
    if (slot > 0 && bar.pos != 0) bar.pos = kBarFloating;
    bar.visible = fields[1] ? 1 : 0;
    // A window saved on a larger screen must not come back out of reach.
    const long right = std::max<long>(client.left, client.right - kFitSize);
    const long bottom = std::max<long>(client.top, client.bottom - kFitSize);
    bar.x = static_cast<std::int32_t>(std::clamp<long>(fields[2], client.left, right));
    bar.y = static_cast<std::int32_t>(std::clamp<long>(fields[3], client.top, bottom));
}

int WriteToolButtonsSection(int unit)
{
    for (const ToolButtonRow& row : ToolButtonRows()) {
        if (row.group == 0) continue;
        std::string value = std::string("Schematic=") + (row.onSchematic ? "On" : "Off") +
                            ", Analysis=" + (row.onAnalysis ? "On" : "Off");
        if (int status = WriteKeyString(unit, row.name, value)) return status;
    }
    return 0;
}

void ReadToolButtonsKey(const std::string& key, const std::string& value)
{
    for (ToolButtonRow& row : ToolButtonRows()) {
        if (row.group == 0 || !EqualsNoCase(key, row.name)) continue;
        std::string schematic = GetListKeyValue(value, "Schematic");
        std::string analysis = GetListKeyValue(value, "Analysis");
        if (!schematic.empty()) row.onSchematic = IsOn(schematic) ? 1 : 0;
        if (!analysis.empty()) row.onAnalysis = IsOn(analysis) ? 1 : 0;
        return;
    }
}

int WriteToolBitmapsSection(int unit)
{
    if (int status = WriteKeyInt(unit, "BITMAP_COLS", kToolCellWidth)) return status;
    if (int status = WriteKeyInt(unit, "BITMAP_ROWS", kToolCellHeight)) return status;
    const auto& pictures = ComponentButtons().current;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        if (!pictures[i].name.empty()) {
            if (int status = WriteKeyString(unit, "BITMAP_NAME_" + n, pictures[i].name)) return status;
        }
        const auto& rows = pictures[i].rows;
        if (std::all_of(rows.begin(), rows.end(), [](std::uint32_t w) { return w == 0; })) continue;
        std::string data;
        for (std::uint32_t word : rows) data += std::to_string(static_cast<std::int32_t>(word)) + ",";
        data.pop_back();
        if (int status = WriteKeyString(unit, "BITMAP_DATA_" + n, data)) return status;
    }
    return 0;
}

void ReadToolBitmapsKey(const std::string& key, const std::string& value)
{
    auto& pictures = ComponentButtons().current;
    if (long n = KeyNumber(key, "BITMAP_NAME_", 1, 20); n > 0) {
        pictures[static_cast<std::size_t>(n - 1)].name = value;
        return;
    }
    long n = KeyNumber(key, "BITMAP_DATA_", 1, 20);
    if (n < 0) return;
    auto& rows = pictures[static_cast<std::size_t>(n - 1)].rows;
    std::string list = value;
    std::string item;
    // Words not given keep what they held.
    for (std::size_t r = 0; r < rows.size() && !list.empty(); ++r) {
        SplitKeyValue(item, list);
        long word = 0;
        if (ParseWhole(item, -2147483648L, 4294967295L, word)) rows[r] = static_cast<std::uint32_t>(word);
    }
}

void SetDefaultToolBarSettings()
{
    for (int slot = 0; slot < kToolSlotCount; ++slot) {
        DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
        bar.pos = slot == 0 ? kBarTop : 0;
        bar.visible = slot == 0 ? 1 : 0;
        bar.x = bar.y = 80 + 20 * slot;
    }
    SetDefaultToolButtonChoice();
}

namespace {

int ToolWindowsSection(SettingsStream& stream)
{
    if (IsSettingsWriting(stream)) return WriteToolWindowsSection(stream.unit);
    const win::RECT client = ToolWindowsClientRect();
    if (stream.version == kSettingsVersionOld) {
        // The older layout: a count, then per slot its pos, visible and "x,y" lines.
        std::string line;
        if (int status = ReadSettingsLine(stream, line)) return status;
        long count = 0;
        if (!ParseWhole(line, 0, 100000, count)) return 0;
        for (long slot = 0; slot < count; ++slot) {
            std::string pos, visible, place;
            if (int status = ReadSettingsLine(stream, pos)) return status;
            if (int status = ReadSettingsLine(stream, visible)) return status;
            if (int status = ReadSettingsLine(stream, place)) return status;
            if (slot < kToolSlotCount)
                ReadToolWindowsKey("TOOL_" + std::to_string(slot), pos + "," + visible + "," + place, client);
        }
        return 0;
    }
    std::string key, value;
    while (NextSettingsKey(stream, key, value)) ReadToolWindowsKey(key, value, client);
    return stream.status;
}

int ToolButtonsSection(SettingsStream& stream)
{
    if (IsSettingsWriting(stream)) return WriteToolButtonsSection(stream.unit);
    std::string key, value;
    while (NextSettingsKey(stream, key, value)) ReadToolButtonsKey(key, value);
    return stream.status;
}

int ToolBitmapsSection(SettingsStream& stream)
{
    if (IsSettingsWriting(stream)) return WriteToolBitmapsSection(stream.unit);
    std::string key, value;
    while (NextSettingsKey(stream, key, value)) ReadToolBitmapsKey(key, value);
    return stream.status;
}

}  // namespace

void RegisterToolBarSettingsSections()
{
    RegisterSettingsSection("Tool Windows", &ToolWindowsSection, &SetDefaultToolBarSettings);
    RegisterSettingsSection("Tool Buttons", &ToolButtonsSection);
    RegisterSettingsSection("Tool Bitmaps", &ToolBitmapsSection);
}

}  // namespace kq5
