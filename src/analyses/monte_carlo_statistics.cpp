#include <cmath>

#include "analyses/monte_carlo.h"

namespace kq5 {

RunStatistics ComputeRunStatistics(std::span<const double> values)
{
    RunStatistics s;
    if (values.empty()) return s;
    // Low and high start from the first value: a start at a huge sentinel would show it when
    // every value lies beyond it.
    s.low = s.high = values.front();
    double sum = 0.0;
    for (double v : values) {
        s.low = std::min(s.low, v);
        s.high = std::max(s.high, v);
        sum += v;
    }
    const double n = static_cast<double>(values.size());
    s.mean = sum / n;
    double squares = 0.0;
    for (double v : values) squares += (s.mean - v) * (s.mean - v);
    s.deviation = std::sqrt(squares / n);
    return s;
}

}  // namespace kq5
