#include "ui/preference_values.h"

namespace kq5 {

namespace {
PreferenceValues& Instance()
{
    static PreferenceValues values;
    return values;
}
}  // namespace

PreferenceValues& PreferenceSettings() { return Instance(); }

void ResetPreferenceValuesForTests() { Instance() = PreferenceValues(); }

int NodeRecalcSetting() { return Instance().nodeRecalc; }

}  // namespace kq5
