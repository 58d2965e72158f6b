#pragma once

#include "runjournal.h"

#include <QString>
#include <QStringList>

#include <functional>

// What a start finds left behind: the journals of runs that ended without "Finished!", and the
// results a later run kept before it replaced them.
namespace Recovery {

// A study's run saved from its journal, for its session record: whole where its results were
// saved in full at its end and only the record could not say so then, else recovered.
struct StudyRun
{
    Journal::StudyPlace place;
    bool whole = false;
    QStringList files; // names in the study's results folder
    bool complete = false;
    int seconds = 0;
    QStringList controls; // in a position run, the controls that moved a level
};
// Puts such a run in its session record; false with the reason where it cannot. The study's
// rule, handed in by whoever starts the recovery.
using StudyRecorder = std::function<bool(const StudyRun &run, QString *error)>;

// The journals of ended runs in directory are saved as results files under names of their own,
// a study's run into its study's results folder and, through recorder, its session record;
// journals that cannot be read are named once and moved aside; journals whose run may go on
// (locked, or of another computer where locks cannot be trusted) or that cannot be checked are
// left as they are. Returns what the operator is to be told, or empty when there is nothing.
QString recoverInterruptedRuns(const QString &directory, const StudyRecorder &recorder);

// A journal that cannot be read is kept under its own name with this added, and never read again.
inline constexpr char UnreadableSuffix[] = ".unreadable";

// A journal of another computer whose run may still go on: so long since it was last touched, a
// live run having touched it far more often, it is named as left behind.
constexpr int StaleAfterSeconds = 600;

} // namespace Recovery

// The results of a run that nobody exported, in temp.csv, are kept beside it before the next run
// replaces them.
namespace UnsavedResults {

// Keeps the results file of directory, where there is one, under a name of its own beside it:
// "Unsaved SUBJECT VARIABLE YYYY-MM-DD HH.MM.SS.csv", never over another file, and notes the
// name for the next start. True where there was nothing to keep or it is kept (keptName then
// says as what); false with the reason where it could not be kept.
bool keep(const QString &directory, QString *keptName, QString *error);

// The names kept since they were last taken: each is told once.
QStringList takeKept(const QString &directory);

// Writes the results of the last run into directory as temp.csv and its event log beside it,
// each synced and read back, having first kept what temp.csv held. Where that cannot be kept,
// temp.csv is left as it is. False with the reason where the run is not safe in both files.
bool writeLastRun(const QString &directory, const QByteArray &results, const QByteArray &events,
                  QString *error);

} // namespace UnsavedResults
