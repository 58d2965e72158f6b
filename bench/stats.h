#pragma once

#include <QtGlobal>

#include <vector>

namespace Stats {

// All in milliseconds.
double median(std::vector<double> values);
double maximum(const std::vector<double> &values);
// The value share (0 to 1) of the way up the sorted values.
double percentile(std::vector<double> values, double share);

struct Schedule
{
    int ticks = 0;
    double largestError = 0.0;
    double meanErrorFirst = 0.0; // mean absolute error of ticks 1 .. window
    double meanErrorLast = 0.0;  // ... and of the last `window` ticks
    int window = 0;
};

// Errors of tick times (nanoseconds on one monotonic clock) against t0 + k x period, t0 being
// the first tick: a timer that drifts shows a growing error, one that skips a tick an error of
// a whole period.
Schedule schedule(const std::vector<qint64> &tickNanoseconds, double periodMilliseconds,
                  int window);

} // namespace Stats
