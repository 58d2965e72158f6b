#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Raters respond a few seconds after what they see, each at a delay of their own; comparing them
// moment by moment without allowing for it understates their agreement.
namespace Lag {

struct Estimate
{
    // Per run, in rows of the grid: how much later it responds than the earliest run, which has
    // 0. Shifting each run that much earlier lines them up.
    QList<int> rows;
    // Per run, why its lag could not be found (its lag then 0), empty where it was.
    QStringList missing;
    // Why no lag could be found at all, empty where they were.
    QString problem;
};

// Each run's lag within +-most rows: the shift that makes it agree best (Pearson's r) with the
// mean of the other runs as shifted by theirs, refined run by run until no lag changes. Runs are
// indexed as rows are (index 2 the first moment), gaps being ResultsRun::Gap.
Estimate estimate(const QList<QList<qint8>> &runs, int most);

// The run shifted earlier by rows: its first rows fall away.
QList<qint8> shifted(const QList<qint8> &levels, int rows);

} // namespace Lag
