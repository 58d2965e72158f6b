#pragma once

#include "agreement.h"
#include "resultsfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A run that holds the collated variable.
struct CollatedRun
{
    QString path;
    QString subject;
    QString date;
    QString header;      // "SUBJECT (DATE)", unique among the runs
    QList<qint8> levels; // indexed by row number, ResultsRun::Gap where there is no sample
    qsizetype samples = 0;
    double meanLevel = 0.0; // over the run's samples
    InputMode input = InputMode::Steps;
};

// A file that was read but does not take part, and why.
struct SkippedRun
{
    QString path;
    QString reason;
};

// One variable over many runs, aligned on the row number (row N is second N of each run).
class Collation
{
public:
    Collation() = default;
    // rate: 0 where the levels are the rows of the results files (row N is second N); otherwise
    // they were resampled at that many a second, the first moment at index 2.
    Collation(const QList<ResultsRun> &runs, const QString &variable, int rate = 0);

    // Estimates each run's lag within +-mostSeconds and shifts the runs by their lags; the lags
    // as "lag[NAME]" lines, in seconds, named by names.
    QList<Statistic> align(double mostSeconds, const QStringList &names);

    // Shifts each run earlier by its rows (what lines raters up who respond at delays of their
    // own): its first rows fall away. Everything is worked out anew.
    void shift(const QList<int> &rows);

    const QString &variable() const { return m_variable; }
    const QList<CollatedRun> &runs() const { return m_runs; }
    const QList<SkippedRun> &skipped() const { return m_skipped; }
    // The levels are held in tenths where any run was rated by position (whole steps otherwise):
    // a level is its value divided by this. The statistics are of the values as the files hold
    // them.
    int unit() const { return m_unit; }
    // Runs rated in different ways collated together, named; empty where they were rated alike.
    QString mixedInputs() const;

    // The highest row of any run; the table goes from row 2 to here.
    qsizetype lastRow() const { return m_lastRow; }
    int rate() const { return m_rate; }
    // The last row at or before a moment in seconds (a moment in whole milliseconds counts as
    // its row's); -1 before the first row and after the last.
    qsizetype rowAt(double seconds) const;
    // The moment a row stands for, in seconds, and as the table writes it.
    double seconds(qsizetype row) const;
    QString timeLabel(qsizetype row) const;
    // Per row over the runs with a sample there: N, the mean (N >= 1), the sample SD (N >= 2).
    int count(qsizetype row) const { return row < m_count.size() ? m_count[row] : 0; }
    bool hasMean(qsizetype row) const { return count(row) >= 1; }
    bool hasSd(qsizetype row) const { return count(row) >= 2; }
    double mean(qsizetype row) const { return m_mean.value(row); }
    double sd(qsizetype row) const { return m_sd.value(row); }

    // The seconds where every run has a sample: rows of the table, one column per run.
    Agreement::Table completeSeconds() const;

    // Counts, the intraclass correlations, alpha, CCC, kalpha, rWG, each run's r and then its
    // ccc with the others, in the order of the summary. names gives each run's name for
    // "r[NAME]" and "ccc[NAME]".
    QList<Statistic> statistics(const QStringList &names) const;

    // Time, one column per run, Mean, SD, N: Windows-1252 with CR LF like the results file.
    QByteArray tableBytes() const;

private:
    // Each run's count and mean, the last row, and per row N, mean and SD.
    void summarize();

    QString m_variable;
    QList<CollatedRun> m_runs;
    QList<SkippedRun> m_skipped;
    qsizetype m_lastRow = 1;
    int m_rate = 0;
    int m_unit = 1;
    QList<int> m_count;
    QList<double> m_mean;
    QList<double> m_sd;
};

// A cell of a comma-separated table, quoted as RFC 4180 asks where it holds a comma, a quote or
// a line break.
QString csvCell(const QString &text);

// The moment a row stands for as tables write it: the row itself at rate 0, else its seconds of
// clip time at rate moments a second (row 2 is the first moment), as short as the moment allows
// with at most four decimals: 0.25, 0.5, 1.
QString timeLabel(qsizetype row, int rate);

// The variables of the runs in order of first appearance.
QStringList variablesOf(const QList<ResultsRun> &runs);
