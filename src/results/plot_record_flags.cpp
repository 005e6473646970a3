#include "results/plot_record_flags.h"

#include <iterator>
#include <map>

namespace kq5 {

namespace {

// Keyed by ownership, so a plot made later at the same address starts with fresh flags.
using FlagsMap = std::map<std::weak_ptr<PlotRecord>, PlotRecordFlags, std::owner_less<std::weak_ptr<PlotRecord>>>;

FlagsMap& Flags()
{
    static FlagsMap flags;
    return flags;
}

}  // namespace

PlotRecordFlags& PlotFlagsOf(const std::shared_ptr<PlotRecord>& plot)
{
    FlagsMap& flags = Flags();
    for (auto it = flags.begin(); it != flags.end();) it = it->first.expired() ? flags.erase(it) : std::next(it);
    return flags[std::weak_ptr<PlotRecord>(plot)];
}

void ResetPlotRecordFlagsForTests() { Flags().clear(); }

}  // namespace kq5
