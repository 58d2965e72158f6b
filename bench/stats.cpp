#include "stats.h"

#include <algorithm>
#include <cmath>

namespace Stats {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double maximum(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

Schedule schedule(const std::vector<qint64> &tickNanoseconds, double periodMilliseconds, int window)
{
    Schedule result;
    result.ticks = static_cast<int>(tickNanoseconds.size());
    if (tickNanoseconds.empty())
        return result;
    std::vector<double> errors;
    errors.reserve(tickNanoseconds.size());
    const qint64 t0 = tickNanoseconds.front();
    for (std::size_t k = 0; k < tickNanoseconds.size(); ++k) {
        const double actual = static_cast<double>(tickNanoseconds[k] - t0) / 1e6;
        errors.push_back(std::abs(actual - static_cast<double>(k) * periodMilliseconds));
    }
    result.largestError = maximum(errors);
    // Tick 0 is the reference and has no error of its own: leave it out of the early window.
    result.window = std::max(0, std::min(window, result.ticks - 1));
    const auto mean = [](auto first, auto last) {
        double sum = 0.0;
        for (auto it = first; it != last; ++it)
            sum += *it;
        return last == first ? 0.0 : sum / static_cast<double>(last - first);
    };
    result.meanErrorFirst = mean(errors.begin() + 1, errors.begin() + 1 + result.window);
    result.meanErrorLast = mean(errors.end() - result.window, errors.end());
    return result;
}

} // namespace Stats
