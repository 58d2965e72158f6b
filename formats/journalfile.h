#pragma once

#include "eventlog.h"
#include "setuprecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The journal of a run, an append-only file beside the executable: a line naming the format, a
// line of JSON with the run's record, then one line per sample, "row,level1,level2,rows of the
// table,time,media", one per other event, "E," and the fields of the event log, "O,time" where
// the recording started, "S," and JSON naming the results files where a study's run was saved in
// full but its session record could not say so, and "recovered" once a start has saved it;
// times are on the clock the events were stamped on. Its name ends with Suffix and says which
// computer writes it. RunJournal writes it, the recovery at the next start reads it.
namespace Journal {

inline constexpr char Suffix[] = ".dialtrace-journal";

// The name of this computer as journals give it.
QString thisComputer();

// Where a study keeps a run's results, so that a run that ends without "Finished!" is saved
// there: its results folder, its name for the run's files, its session record and the run's
// place in it. An empty folder: not a study's run.
struct StudyPlace
{
    QString folder;
    QString name;
    QString record;
    int index = -1;
};

// The lines of the format: its first, the mark of an event other than a sample, the mark of
// the recording's start, the mark of a journal saved already, written before it is removed, and
// the mark of a study's run saved in full.
inline constexpr char Magic[] = "DIALTRACE-JOURNAL 1\n";
inline constexpr char EventMark[] = "E,";
inline constexpr char OriginMark[] = "O,";
inline constexpr char RecoveredMark[] = "recovered\n";
inline constexpr char SavedMark[] = "S,";

// The first two lines, each with its line end.
QByteArray header(const SetupRecord &record, bool twoVariables, const QDateTime &started,
                  const QString &computer, const StudyPlace &study);
// The line of a stored sample in a table of lastRow rows: the table's size travels with every
// sample, since it can grow by a row at the end.
// Levels are written as the run's input mode writes them.
QByteArray sampleLine(const RunEvent &sample, int lastRow, InputMode input = InputMode::Steps);
QByteArray eventLine(const RunEvent &event, InputMode input = InputMode::Steps);
QByteArray originLine(qint64 origin);
QByteArray savedLine(const QStringList &files, bool complete, int seconds);

struct Run
{
    SetupRecord record;
    bool twoVariables = false;
    QDateTime started;
    QString computer;
    StudyPlace study;
    // The table's rows, and each stored sample's row and levels.
    int lastRow = 0;
    QList<RunEvent> rows;
    int samples = 0;
    // Every event, samples included, on the run's own clock.
    QList<RunEvent> events;
    // Lines that could not be read and were passed over.
    int damaged = 0;
    // Saved as a results file already; only its removal failed.
    bool recovered = false;
    // A study's run saved in full whose record could not be updated: its files, whether it
    // reached the clip's end, and the seconds it stored.
    QStringList savedAs;
    bool complete = false;
    int savedSeconds = 0;
};

// The run a journal holds, or nothing with the reason when the bytes are not a journal this
// program can read. Damaged lines are skipped: the samples after them still count.
std::optional<Run> parse(const QByteArray &bytes, QString *problem = nullptr);

// The computer a journal's file name names, as file names give it; this one for journals that
// name none, which only this computer wrote.
QString computerOf(const QString &fileName);
bool writtenHere(const QString &fileName);

// Letters, digits, dots and dashes: a computer's name as part of a file name.
QString fileNamePart(const QString &text);

// "Recovered" with the subject, variable, date and time of the run: a name a person knows,
// without its extension; and the shorter one for where that name is too long.
QString recoveredName(const Run &run);
QString shortRecoveredName(const Run &run);

} // namespace Journal
