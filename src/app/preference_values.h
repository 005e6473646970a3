#pragma once
// Preference values beyond the option word: display formats and thresholds.
#include <string>

namespace kq5 {

struct PreferenceValues {
    std::string nodeVoltageFormat = "3";  // "NodeVoltageFormat": node voltages on the schematic
    int nodeRecalc = 1000000;             // "NodeRecalc": rebuild node numbers below this many items
};

PreferenceValues& PreferenceSettings();
void ResetPreferenceValuesForTests();

// Connectivity is rebuilt automatically while a circuit has fewer items than this.
int NodeRecalcSetting();

}  // namespace kq5
