#pragma once
// Preference values beyond the option word: display formats and thresholds.
#include <array>
#include <cstdint>
#include <string>

#include "core/font_description.h"

namespace kq5 {

// The default attribute table: the default colour and font of every kind of object. Entries 0 to
// 50 are named (their names are the settings keys), the rest keep their defaults.
constexpr int kDefaultAttributeCount = 70;
constexpr int kNamedAttributeCount = 51;
// "Digital 0", "Digital R", "Digital F", "Digital 1", "Digital X", "Digital Z" in state order.
constexpr int kDigitalStateColorFirst = 29;

struct PreferenceValues {
    std::string nodeVoltageFormat = "3";  // "NodeVoltageFormat": node voltages on the schematic
    int nodeRecalc = 1000000;             // "NodeRecalc": rebuild node numbers below this many items
    std::string tagFormat = "3";              // "TagFormat": plot tags
    std::string operatingPointFormat = "2e";  // "OperatingPointFormat"
    std::string scaleFormat = "2";            // "ScaleFormat": plot scales
    std::string valueFormat = "5.3";          // "ValueFormat": plot values, width and decimals
    std::string pathDelayFormat = "3";        // "PathDelayFormat"
    std::string calculatorFormat = "16e";     // "CalculatorFormat": calculator results
    bool sameYScales = true;
    bool scaleColor = true;
    bool helpBarAtStart = true;  // "Help Bar": written from the help bar's state at exit
    std::array<std::uint32_t, 16> customColors{};  // the colour chooser's custom colours
    std::array<FontSpec, kDefaultAttributeCount> defaultAttributes{};
};

PreferenceValues& PreferenceSettings();
void ResetPreferenceValuesForTests();

// Connectivity is rebuilt automatically while a circuit has fewer items than this.
int NodeRecalcSetting();

}  // namespace kq5
