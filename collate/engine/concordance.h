#pragma once

#include "agreement.h"

#include <QList>
#include <QStringList>

// Agreement that takes every moment with a value, gaps and all, where the intraclass
// correlations take only the moments every run shares. Each run is its levels indexed by row,
// the first moment at row 2 and ResultsRun::Gap where it has none; runs may differ in length.
namespace Concordance {

using Runs = QList<QList<qint8>>;

// "CCC": Lin's (1989) concordance correlation coefficient, variances and covariance over n, of
// every pair of runs over the moments both have; the mean over the pairs. A pair with fewer
// than two moments in common, or with no variance at all (the same constant twice), is left out.
Statistic lin(const Runs &runs);

// "ccc[NAME]" for each run: Lin's coefficient of the run against the mean of the other runs
// that have a value, over the moments where the run and at least one other have one.
QList<Statistic> linWithOthers(const Runs &runs, const QStringList &names);

// "kalpha": Krippendorff's alpha with the interval metric (Krippendorff 2011), runs as coders,
// moments as units, gaps as missing values; a moment with one value is not pairable.
Statistic krippendorff(const Runs &runs);

// "rWG": James, Demaree and Wolf's (1984) within-group agreement, 1 - s^2 / the variance of a
// uniform choice among the scale's levels, s^2 over the runs with a value (n - 1) and at most
// that variance; the mean over the moments with two values or more.
// The levels are in 1/unit of a step (10 for a collation holding tenths).
Statistic withinGroup(const Runs &runs, int unit = 1);

// The variance of a uniform choice among the scale's levels: (A^2 - 1) / 12 for A levels.
double uniformVariance();

} // namespace Concordance
