#include "concordance.h"

#include "resultsfile.h"
#include "scale.h"

#include <algorithm>
#include <cmath>

namespace {

const QString NoPairOfRuns = QStringLiteral("no two runs with two moments in common");
const QString NoPairHere =
    QStringLiteral("fewer than two moments with a value here and in another run");
const QString NoPairableMoment = QStringLiteral("no moment with a value in two runs");
const QString NoSpread = QStringLiteral("no variance");
const QString NoVarianceInPairs = QStringLiteral("no variance in any pair of runs");

// Levels are whole numbers, so the sums below are exact and a true 0 comes out as 0; only the
// mean of the other runs brings fractions, and with them rounding far below this.
constexpr double Rounding = 1e-9;
constexpr qsizetype FirstRow = 2;

bool has(const QList<qint8> &run, qsizetype row)
{
    return row < run.size() && run[row] != ResultsRun::Gap;
}

// The sums that Lin's coefficient needs of two series.
struct Pair
{
    double n = 0.0, x = 0.0, y = 0.0, xx = 0.0, yy = 0.0, xy = 0.0;

    void add(double a, double b)
    {
        n += 1.0;
        x += a;
        y += b;
        xx += a * a;
        yy += b * b;
        xy += a * b;
    }
    // 2 s_xy / (s_x^2 + s_y^2 + (mean x - mean y)^2), each term times n^2; nothing where the
    // denominator is 0.
    bool concordance(double *value) const
    {
        const double denominator = (n * xx - x * x) + (n * yy - y * y) + (x - y) * (x - y);
        if (n < 2.0 || denominator < Rounding * std::max(1.0, n * n))
            return false;
        *value = 2.0 * (n * xy - x * y) / denominator;
        return true;
    }
};

// Per row over the runs with a value there: how many, their sum, the sum of their squares.
struct Moment
{
    int n = 0;
    double sum = 0.0;
    double squares = 0.0;
    // n times the sum of squared deviations from the moment's mean.
    double spread() const { return n * squares - sum * sum; }
};

QList<Moment> moments(const Concordance::Runs &runs)
{
    qsizetype size = 0;
    for (const QList<qint8> &run : runs)
        size = std::max(size, run.size());
    QList<Moment> result(size);
    for (const QList<qint8> &run : runs) {
        for (qsizetype row = FirstRow; row < run.size(); ++row) {
            if (run[row] == ResultsRun::Gap)
                continue;
            Moment &m = result[row];
            ++m.n;
            m.sum += run[row];
            m.squares += run[row] * run[row];
        }
    }
    return result;
}

} // namespace

namespace Concordance {

double uniformVariance()
{
    constexpr double levels = Scale::Top - Scale::Bottom + 1;
    return (levels * levels - 1.0) / 12.0;
}

Statistic lin(const Runs &runs)
{
    const QString name = QStringLiteral("CCC");
    if (runs.size() < 2)
        return Statistic::absent(name, FewerThanTwoRuns);
    double total = 0.0;
    int pairs = 0;
    bool common = false;
    for (qsizetype a = 0; a < runs.size(); ++a) {
        for (qsizetype b = a + 1; b < runs.size(); ++b) {
            Pair pair;
            const qsizetype end = std::min(runs[a].size(), runs[b].size());
            for (qsizetype row = FirstRow; row < end; ++row) {
                if (runs[a][row] != ResultsRun::Gap && runs[b][row] != ResultsRun::Gap)
                    pair.add(runs[a][row], runs[b][row]);
            }
            common = common || pair.n >= 2.0;
            double value = 0.0;
            if (pair.concordance(&value)) {
                total += value;
                ++pairs;
            }
        }
    }
    if (pairs == 0)
        return Statistic::absent(name, common ? NoVarianceInPairs : NoPairOfRuns);
    return Statistic::of(name, total / pairs);
}

QList<Statistic> linWithOthers(const Runs &runs, const QStringList &names)
{
    QList<Statistic> result;
    const QList<Moment> all = moments(runs);
    for (qsizetype j = 0; j < runs.size(); ++j) {
        const QString name = QStringLiteral("ccc[%1]").arg(names.value(j));
        if (runs.size() < 2) {
            result.append(Statistic::absent(name, FewerThanTwoRuns));
            continue;
        }
        Pair pair;
        for (qsizetype row = FirstRow; row < runs[j].size(); ++row) {
            if (!has(runs[j], row) || all[row].n < 2)
                continue;
            const double own = runs[j][row];
            pair.add(own, (all[row].sum - own) / (all[row].n - 1));
        }
        double value = 0.0;
        if (pair.concordance(&value))
            result.append(Statistic::of(name, value));
        else
            result.append(Statistic::absent(name, pair.n < 2.0 ? NoPairHere : NoSpread));
    }
    return result;
}

Statistic krippendorff(const Runs &runs)
{
    const QString name = QStringLiteral("kalpha");
    if (runs.size() < 2)
        return Statistic::absent(name, FewerThanTwoRuns);
    // The interval metric's squared differences summed over the ordered pairs of values within
    // a moment are 2 (n sum x^2 - (sum x)^2); over all pairable values likewise.
    double observed = 0.0;
    Moment pairable;
    for (const Moment &m : moments(runs)) {
        if (m.n < 2)
            continue;
        observed += 2.0 * m.spread() / (m.n - 1);
        pairable.n += m.n;
        pairable.sum += m.sum;
        pairable.squares += m.squares;
    }
    if (pairable.n == 0)
        return Statistic::absent(name, NoPairableMoment);
    const double n = pairable.n;
    const double expected = 2.0 * pairable.spread() / (n * (n - 1.0));
    if (expected < Rounding)
        return Statistic::absent(name, NoSpread);
    return Statistic::of(name, 1.0 - (observed / n) / expected);
}

Statistic withinGroup(const Runs &runs, int unit)
{
    const QString name = QStringLiteral("rWG");
    if (runs.size() < 2)
        return Statistic::absent(name, FewerThanTwoRuns);
    const double null = uniformVariance();
    double total = 0.0;
    int counted = 0;
    for (const Moment &m : moments(runs)) {
        if (m.n < 2)
            continue;
        const double variance = m.spread() / (double(m.n) * (m.n - 1)) / (double(unit) * unit);
        // A spread wider than a uniform choice's counts as none, not as disagreement below 0.
        total += 1.0 - std::min(variance, null) / null;
        ++counted;
    }
    if (counted == 0)
        return Statistic::absent(name, NoPairableMoment);
    return Statistic::of(name, total / counted);
}

} // namespace Concordance
