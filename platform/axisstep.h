#pragma once

#include <algorithm>
#include <cmath>

namespace AxisStep {

// The step between a chart's grid lines and labels: 1, 2 or 5 times a power of ten, the least
// such step that gives at most about `wanted` steps across span and is no less than least.
// Labels at its multiples are round numbers, whatever the span.
inline double step(double span, int wanted, double least = 0.0)
{
    const double raw = std::max(least, span / std::max(1, wanted));
    if (!(raw > 0.0) || !std::isfinite(raw))
        return least > 0.0 ? least : 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= raw)
            return factor * power;
    }
    return 10.0 * power;
}

} // namespace AxisStep
