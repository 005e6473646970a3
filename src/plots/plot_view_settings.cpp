#include "plots/plot_view_settings.h"

#include <iterator>
#include <map>

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

}  // namespace

PlotViewSettings& PlotViewOf(const std::shared_ptr<PlotRecord>& plot)
{
    SettingsMap& settings = Settings();
    DropExpired(settings);
    return settings[std::weak_ptr<PlotRecord>(plot)];
}

void ResetPlotViewSettingsForTests() { Settings().clear(); }

}  // namespace kq5
