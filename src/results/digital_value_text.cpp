#include "results/digital_value_text.h"

#include <algorithm>
#include <cmath>

#include "core/digital_logic_tables.h"

namespace kq5 {

bool IsBusCurve(const CurveRecord& curve) { return (curve.yExpression.valueKinds & kBusValueKinds) != 0; }

std::string FormatDigitalValueText(const CurveRecord& curve, double value)
{
    if (IsBusCurve(curve)) return FormatBusValueText(value, curve.yExpression.valueKinds, curve.busWidth);
    return std::string(1, DigitalStateChar(static_cast<std::uint16_t>(std::lround(value) & 0x1FF)));
}

std::string FormatBusValueText(double value, std::uint32_t valueKinds, int busWidth)
{
    const long long n = std::llround(std::clamp(value, -9.2e18, 9.2e18));
    const unsigned long long u = static_cast<unsigned long long>(n);
    int base = 10;
    int digits = 0;
    if (valueKinds & kBusBin) base = 2, digits = busWidth;
    if (valueKinds & kBusOct) base = 8, digits = (busWidth + 2) / 3;
    if (valueKinds & kBusDec) base = 10, digits = 0;
    if (valueKinds & kBusHex) base = 16, digits = (busWidth + 3) / 4;
    std::string text;
    if (base == 10) {
        text = std::to_string(n);
    } else {
        unsigned long long rest = u;
        do {
            text.insert(text.begin(), "0123456789ABCDEF"[rest % static_cast<unsigned>(base)]);
            rest /= static_cast<unsigned>(base);
        } while (rest != 0);
    }
    if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    return text;
}

}  // namespace kq5
