#pragma once

#include "inputmode.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One run as a results file holds it.
struct ResultsRun
{
    // A row without a sample for a variable.
    static constexpr qint8 Gap = -128;

    QString path; // where it was read from; empty for a run made in memory
    QString subject;
    QString date;
    QStringList variables; // one or two
    // levels[variable][row], indexed by the row number itself: rows 0 and 1 are always gaps,
    // row 1 being the fixed placeholder line that never holds a sample.
    QList<QList<qint8>> levels;
    // Steps: levels in whole steps, written as whole numbers. Position: levels in tenths,
    // written with one decimal; a file with any decimal level is read as a position run.
    InputMode input = InputMode::Steps;

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

    // Tells problem, where one is asked for, what went wrong; false, for a reader to return.
    static bool fail(ReadProblem *problem, const QString &path, int line, const QString &reason);
};

// The results file: Windows-1252, every line ending in CR LF; a line naming the program, one
// with the date and the subject, three blank lines, "Time," and the variables, a blank line, the
// placeholder row "1,0" (or "1,0,0" with two variables), then one line per row from row 2 on:
// the row number and a cell per variable, empty where there is no sample: a whole number in a
// steps run, one with one decimal in a position run (a spreadsheet program may have saved "2.0"
// as "2": a whole number among decimals is read as the same level). Names are written as
// entered, without quoting.
namespace ResultsFile {

// The results of the last run, in the application directory.
inline constexpr char FileName[] = "temp.csv";
// What every results file's name ends with.
inline const QString Suffix = QStringLiteral(".csv");
// The moment in the names of files Dialtrace makes ("Recovered ... 2026-12-08 14.05.09"): sorts
// as it reads, and holds no character a file system refuses.
inline const QString NameDateTime = QStringLiteral("yyyy-MM-dd HH.mm.ss");

inline QString path(const QString &applicationDirectory)
{
    return applicationDirectory + QLatin1Char('/') + QLatin1String(FileName);
}

// The first line of every results file.
QByteArray firstLine();

// The most a results file is read: a clip of 901 seconds with two variables makes about 12 KB,
// and names typed on the setup screen add little, so a file larger than this is something else
// (a video, a disk image, a log that grew) and is refused without reading it whole.
inline constexpr qint64 MaxFileBytes = 1024 * 1024;

QByteArray bytes(const ResultsRun &run);

// Reads the file at path into run; false with problem filled in when it is not a results file.
// Lines may also end in LF alone, as after a spreadsheet program saved the file. Only a plain
// file is read (a link to one is followed), its first line before anything else, and no more
// than MaxFileBytes of it.
bool read(const QString &path, ResultsRun *run, ReadProblem *problem);

// What stands at path, told from the first line alone: nothing else is read, and nothing but a
// plain file is opened. A name taken by a link that leads nowhere is OtherFile.
enum class Found
{
    Nothing,
    ResultsFile,
    OtherFile,
    Unreadable, // a plain file that cannot be read, which may be a results file
};
Found examine(const QString &path);

// The same on bytes already in memory; path only names the run and the problem.
bool parse(const QString &path, const QByteArray &bytes, ResultsRun *run, ReadProblem *problem);

// Splits the names after "Time," into count variables. Names are written unquoted, so with two
// variables and more than one comma the split is ambiguous: the first comma divides them, so a
// comma inside a name is kept in the second variable's name.
QStringList splitVariables(const QString &names, int count);

} // namespace ResultsFile
