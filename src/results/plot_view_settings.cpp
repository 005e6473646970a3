#include "results/plot_view_settings.h"

#include <iterator>
#include <map>

#include "ui/preference_values.h"

namespace kq5 {

namespace {

// Keyed by ownership, not by address: an expired key never matches a plot made later at the
// same place.
using SettingsMap = std::map<std::weak_ptr<PlotRecord>, PlotViewSettings, std::owner_less<std::weak_ptr<PlotRecord>>>;

SettingsMap& Settings()
{
    static SettingsMap settings;
    return settings;
}

void DropExpired(SettingsMap& settings)
{
    for (auto it = settings.begin(); it != settings.end();) it = it->first.expired() ? settings.erase(it) : std::next(it);
}

// Rows of the default attribute table that a new plot takes its look from.
constexpr int kAttributeAnalysisGrid = 12;
constexpr int kAttributeGraphBackground = 13;
constexpr int kAttributeAnalysisText = 14;
constexpr int kAttributeWindowBackground = 28;

// A new plot looks as the preferences say (grey grid, white graph and window, blue texts).
void TakeProgramDefaults(PlotViewSettings& view)
{
    const PreferenceValues& p = PreferenceSettings();
    const auto& table = p.defaultAttributes;
    const auto at = [&](int row) { return table[static_cast<std::size_t>(row)]; };
    // A table never filled (parts of the program working without the preferences) leaves the
    // plot as the circuit file's reader makes it.
    if (at(kAttributeGraphBackground).color == 0 && at(kAttributeAnalysisText).color == 0) return;
    view.textFont = at(kAttributeAnalysisText);
    view.gridColor = at(kAttributeAnalysisGrid).color;
    view.graphBackground = at(kAttributeGraphBackground).color;
    view.windowBackground = at(kAttributeWindowBackground).color;
    view.scaleColor = p.scaleColor ? 1 : 0;
    view.sameYScales = p.sameYScales ? 1 : 0;
}

}  // namespace

PlotViewSettings& PlotViewOf(const std::shared_ptr<PlotRecord>& plot)
{
    SettingsMap& settings = Settings();
    DropExpired(settings);
    auto [it, made] = settings.try_emplace(std::weak_ptr<PlotRecord>(plot));
    if (made) TakeProgramDefaults(it->second);
    return it->second;
}

void ResetPlotViewSettingsForTests() { Settings().clear(); }

}  // namespace kq5
