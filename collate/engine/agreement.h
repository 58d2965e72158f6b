#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One line of the summary: a value, perhaps a 95 % confidence interval, or the reason there is
// no value. Never NaN on the page.
struct Statistic
{
    QString name;
    double value = 0.0;
    double lower = 0.0;
    double upper = 0.0;
    bool hasValue = false;
    bool hasInterval = false;
    bool isCount = false;
    QString missing;

    // "NAME<TAB>VALUE[<TAB>LOWER<TAB>UPPER]" or "NAME<TAB>missing: REASON".
    QString line() const;

    static Statistic count(const QString &name, qsizetype value);
    static Statistic of(const QString &name, double value);
    static Statistic absent(const QString &name, const QString &reason);
};

// text with every tab and line break as a blank: a name on a NAME<TAB>VALUE line or in a
// heading of the collated table, which a reader splits at tabs and line breaks.
QString oneLine(const QString &text);

// Four decimals, and no sign on a rounded zero: "-0.0000" reads as a sign where there is none.
QString fourDecimals(double value);

// Why a statistic over runs is missing when there is at most one run.
extern const QString FewerThanTwoRuns;

// Agreement between runs over a complete table: rows are targets (seconds), columns raters
// (runs), every row as long as the others.
namespace Agreement {

using Table = QList<QList<double>>;

// ICC(1,1), ICC(2,1), ICC(3,1), ICC(1,k), ICC(2,k), ICC(3,k) of Shrout and Fleiss (1979), in
// that order, each with its 95 % interval.
QList<Statistic> intraclass(const Table &table);

// Cronbach's alpha from the variances of the columns and of the row sums.
Statistic alpha(const Table &table);

// For each column, Pearson's r with the mean of the other columns, named "r[NAME]".
QList<Statistic> correlations(const Table &table, const QStringList &names);

} // namespace Agreement
