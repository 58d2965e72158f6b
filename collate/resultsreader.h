#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One run as read from a results file.
struct ResultsRun
{
    // A row without a sample for a variable.
    static constexpr qint8 Gap = -128;

    QString path;
    QString subject;
    QString date;
    QStringList variables; // one or two
    // levels[variable][row], indexed by the row number itself: rows 0 and 1 are always gaps,
    // row 1 being the fixed placeholder line that never holds a sample.
    QList<QList<qint8>> levels;

    // The highest row number the file has, 1 when it has no rows after the placeholder.
    qsizetype lastRow() const { return levels.isEmpty() ? 1 : levels.first().size() - 1; }
};

// Why a file could not be read. Line is 1-based; 0 when the file as a whole is at fault.
struct ReadProblem
{
    QString path;
    int line = 0;
    QString reason;

    // "PATH: line N: REASON" or "PATH: REASON".
    QString text() const;
};

// Reads the results files that Dialtrace writes: Windows-1252, lines ending in CR LF or LF,
// eight fixed lines and then one line per row from row 2 on.
namespace ResultsReader {

// Reads the file at path into run; false with problem filled in when it is not a results file.
bool read(const QString &path, ResultsRun *run, ReadProblem *problem);

// The same on bytes already in memory; path only names the run and the problem.
bool parse(const QString &path, const QByteArray &bytes, ResultsRun *run, ReadProblem *problem);

// Splits the names after "Time," into count variables. Names are written unquoted, so with two
// variables and more than one comma the split is ambiguous: the first comma divides them, so a
// comma inside a name is kept in the second variable's name.
QStringList splitVariables(const QString &names, int count);

} // namespace ResultsReader
