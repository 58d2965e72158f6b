#pragma once

#include "recovery.h"
#include "sessionrecord.h"
#include "studyfile.h"

#include <QRandomGenerator>

#include <optional>

// One participant's way through a study: the order they got, and the session record in the
// results folder that says how far each clip went. Several computers may write into one results
// folder at once: every file is made under a name of its own and never replaced, but for the
// session's own record, which is read again and merged before each write.
class StudySession
{
public:
    // A new session: practice first, then the clips in the study's order for the participant's
    // turn, and its record made in the results folder (created where missing). Nothing with the
    // reason where it cannot.
    static std::optional<StudySession> begin(const Study &study, const QString &participant,
                                             const QString &date, QRandomGenerator &random,
                                             QString *error);
    // The newest record of this participant in this study that has clips left to do.
    static std::optional<StudySession> unfinished(const Study &study, const QString &participant);
    // The date of the newest session of this participant in this study with nothing left to do.
    static std::optional<QString> completed(const Study &study, const QString &participant);
    // The session records of other studies in the results folder, told as a line each.
    static QString otherStudies(const Study &study);
    // Puts a study's run saved from its journal at a later start into its session record, as done
    // or recovered, merged with the record as it stands: a clip done meanwhile (on another
    // computer, or at a later start) keeps its results and names these as extra.
    static bool recordSavedRun(const Recovery::StudyRun &run, QString *error);
    // Completes the study's records that do not name results saved for their clips (a record
    // that could not be written, its journal lost too): a clip whose results file is there, not
    // named by any record and written after the clip started, becomes done, or recovered for a
    // " (recovered)" file. A line for each clip completed and each record that could not be.
    static QStringList completeStaleRecords(const Study &study);

    const SessionRecord &record() const { return m_record; }
    QString recordPath() const { return m_recordPath; }
    const Study &study() const { return m_study; }

    bool isPractice(int index) const;
    // The next clip left to do, -1 when there is none: one not yet run, or one interrupted where
    // the study runs those again.
    int next() const;
    bool isLeftToDo(int index) const;
    // What the participant is told before a clip: "Clip N of M", or "Practice".
    QString stepText(int index) const;
    // The clips done, interrupted (recovered), and all, practice left out.
    int doneCount() const;
    int interruptedCount() const;
    int clipCount() const;
    // The study's name for a clip's results: "PARTICIPANT CLIP VARIABLE", safe as a file name,
    // the participant shortened first where it is too long.
    QString resultsName(int index) const;

    // Notes the clip's start in the record.
    bool start(int index, QString *error);
    // Takes in what the record on disk says (another computer's progress).
    void refresh();
    // Writes the results file and the event log of a clip into the results folder, under names no
    // other file has. False with the reason where they are not written.
    bool saveResults(int index, const QByteArray &results, const QByteArray &events,
                     QString *error);
    // Marks the clip whose results saveResults wrote done in the record: complete where its run
    // reached the clip's end, with the seconds it stored. Where the record cannot be written the
    // clip stays marked here, and every later write of the record carries it.
    bool markDone(int index, bool complete, int seconds, QString *error);
    // Whether the record on disk holds everything this session knows.
    bool isRecordWritten() const { return m_recordWritten; }

private:
    bool save(QString *error);

    Study m_study;
    SessionRecord m_record;
    QString m_recordPath;
    QStringList m_saved; // by saveResults, for markDone
    // The controls that moved a level in the run saved last (position runs).
    QStringList m_controls;
    QDateTime m_started; // of the clip's run under way
    bool m_recordWritten = true;
};

// The order of the clips for a participant: the practice clip first, then the clips as listed,
// shuffled afresh with random, or the row of the study's orders for the given turn (the number of
// sessions of the study before this one).
QStringList participantOrder(const Study &study, int turn, QRandomGenerator &random);

// The rows of a balanced Latin square of clips positions (Williams' design): each clip stands in
// each position once and follows each other clip once; for an odd count, the square and its
// mirror image, each row twice as long a cycle.
QList<QList<int>> balancedOrders(int count);
