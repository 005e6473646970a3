#include "plots/plot_view_settings.h"

#include <iterator>
#include <map>

#include "app/preference_values.h"

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

// A new plot looks as the preferences say: grey grid, white graph and window, blue texts.
void TakeProgramDefaults(PlotViewSettings& view)
{
    const PreferenceValues& p = PreferenceSettings();
    const auto& table = p.defaultAttributes;
    const auto at = [&](int row) { return table[static_cast<std::size_t>(row)]; };
    // A table never filled (a program part running without the preferences) keeps the classic look.
    const bool filled = at(kAttributeGraphBackground).color != 0 || at(kAttributeAnalysisText).color != 0;
    view.textFont = at(kAttributeAnalysisText);
    view.textFont.color = static_cast<std::uint8_t>(filled ? view.textFont.color : 12);
    view.gridColor = static_cast<std::uint8_t>(filled ? at(kAttributeAnalysisGrid).color : 8);
    view.graphBackground = static_cast<std::uint8_t>(filled ? at(kAttributeGraphBackground).color : 15);
    view.windowBackground = filled ? at(kAttributeWindowBackground).color : 15;
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
