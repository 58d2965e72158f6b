#include "lag.h"

#include "resultsfile.h"

#include <cmath>
#include <optional>

namespace {

// No moment of the grid takes part before this index: rows 0 and 1 are no samples.
constexpr qsizetype First = 2;
// Fewer moments in common than this make no correlation worth the name.
constexpr int FewestInCommon = 5;
// At most this many rounds over the runs; lags that still move after them are kept as they are.
constexpr int MostRounds = 50;

// The mean of every run but one, each shifted by its lag, per index; NaN where none has a value.
QList<double> othersMean(const QList<QList<qint8>> &runs, const QList<int> &lags, qsizetype left)
{
    qsizetype size = 0;
    for (const QList<qint8> &run : runs)
        size = std::max(size, run.size());
    QList<double> sum(size, 0.0);
    QList<int> count(size, 0);
    for (qsizetype r = 0; r < runs.size(); ++r) {
        if (r == left)
            continue;
        for (qsizetype t = First; t < size; ++t) {
            const qsizetype from = t + lags[r];
            if (from >= First && from < runs[r].size() && runs[r][from] != ResultsRun::Gap) {
                sum[t] += runs[r][from];
                ++count[t];
            }
        }
    }
    for (qsizetype t = 0; t < size; ++t)
        sum[t] = count[t] > 0 ? sum[t] / count[t] : std::nan("");
    return sum;
}

// Pearson's r of the run shifted by lag against the reference, where both have a value.
std::optional<double> agreement(const QList<qint8> &run, const QList<double> &reference, int lag)
{
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    int n = 0;
    for (qsizetype t = First; t < reference.size(); ++t) {
        const qsizetype from = t + lag;
        if (from < First || from >= run.size() || run[from] == ResultsRun::Gap ||
            std::isnan(reference[t]))
            continue;
        const double x = run[from];
        const double y = reference[t];
        sx += x;
        sy += y;
        sxx += x * x;
        syy += y * y;
        sxy += x * y;
        ++n;
    }
    if (n < FewestInCommon)
        return std::nullopt;
    const double vx = sxx - sx * sx / n;
    const double vy = syy - sy * sy / n;
    if (vx < 1e-9 || vy < 1e-9)
        return std::nullopt;
    return (sxy - sx * sy / n) / std::sqrt(vx * vy);
}

} // namespace

namespace Lag {

Estimate estimate(const QList<QList<qint8>> &runs, int most)
{
    Estimate result;
    result.rows.fill(0, runs.size());
    result.missing.fill(QString(), runs.size());
    if (runs.size() < 2) {
        result.problem = QStringLiteral("a lag needs at least two runs to compare");
        return result;
    }
    QList<int> lags(runs.size(), 0);
    for (int round = 0; round < MostRounds; ++round) {
        bool moved = false;
        for (qsizetype r = 0; r < runs.size(); ++r) {
            const QList<double> reference = othersMean(runs, lags, r);
            std::optional<double> best;
            int bestLag = lags[r];
            // The shift nearest the lag it has wins a tie, so that the lags settle.
            for (int distance = 0; distance <= 2 * most; ++distance) {
                for (const int lag : {lags[r] - distance, lags[r] + distance}) {
                    if (std::abs(lag) > most || (distance == 0 && lag != lags[r] - distance))
                        continue;
                    const auto r2 = agreement(runs[r], reference, lag);
                    if (r2 && (!best || *r2 > *best + 1e-12)) {
                        best = r2;
                        bestLag = lag;
                    }
                }
            }
            if (!best || *best <= 0.0) {
                result.missing[r] =
                    best ? QStringLiteral("no shift within the range agrees with the other runs")
                         : QStringLiteral("too few moments with a value in common with the "
                                          "other runs, or no variance");
                bestLag = 0;
            } else {
                result.missing[r].clear();
            }
            moved = moved || bestLag != lags[r];
            lags[r] = bestLag;
        }
        if (!moved)
            break;
    }
    int earliest = 0;
    bool any = false;
    for (qsizetype r = 0; r < runs.size(); ++r) {
        if (result.missing[r].isEmpty()) {
            earliest = any ? std::min(earliest, lags[r]) : lags[r];
            any = true;
        }
    }
    if (!any) {
        result.problem = QStringLiteral("no run has anything in common with the others");
        return result;
    }
    for (qsizetype r = 0; r < runs.size(); ++r)
        result.rows[r] = result.missing[r].isEmpty() ? lags[r] - earliest : 0;
    return result;
}

QList<qint8> shifted(const QList<qint8> &levels, int rows)
{
    QList<qint8> moved(First, ResultsRun::Gap);
    if (First + rows < levels.size())
        moved.append(levels.mid(First + rows));
    return moved;
}

} // namespace Lag
