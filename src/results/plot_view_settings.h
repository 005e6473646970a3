#pragma once
// The look and the per-analysis options of a circuit's analysis plot that the circuit file keeps:
// the "Same Y Scales" flag, per analysis kind the "Save_For_Future" flag and the plot's option
// word, and the fonts and colours of the analysis rows of the font-and-colour settings.
#include <array>
#include <cstdint>
#include <memory>

#include "core/font_description.h"

namespace kq5 {

struct PlotRecord;

struct PlotViewSettings {
    std::int32_t sameYScales = 0;
    std::array<std::int32_t, 3> saveForFuture{};
    // Written as OPT. A new document computes the operating point before a transient run and
    // shows the horizontal, vertical and minor log grids (120).
    std::array<std::int32_t, 3> optionWord{120, 1, 1};
    FontSpec textFont;
    std::uint8_t gridColor = 0;
    std::uint8_t graphBackground = 0;
    FontSpec objectFont;
    std::int32_t windowBackground = 0;
    std::int32_t scaleColor = 0;
};

// The settings of a plot, made with their defaults the first time a plot is asked for. They live
// as long as the plot: a plot that has gone never hands its settings to a new one.
PlotViewSettings& PlotViewOf(const std::shared_ptr<PlotRecord>& plot);
void ResetPlotViewSettingsForTests();

}  // namespace kq5
