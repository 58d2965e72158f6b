#pragma once

#include "sessionrecord.h"
#include "studyfile.h"

#include <QRandomGenerator>

#include <optional>

// One participant's way through a study: the order they got, and the session record in the
// results folder that says how far each clip went. Several computers may write into one results
// folder at once: every file is made under a name of its own and never replaced, but for the
// session's own record.
class StudySession
{
public:
    // A new session: practice first, then the clips as listed or shuffled by random, and its record
    // made in the results folder (created where missing). Nothing with the reason where it cannot.
    static std::optional<StudySession> begin(const Study &study, const QString &participant,
                                             const QString &date, QRandomGenerator &random,
                                             QString *error);
    // The newest record of this participant in this study that has clips not yet done.
    static std::optional<StudySession> unfinished(const Study &study, const QString &participant);

    const SessionRecord &record() const { return m_record; }
    QString recordPath() const { return m_recordPath; }
    const Study &study() const { return m_study; }

    bool isPractice(int index) const;
    // The next clip that is not yet done, -1 when every one is.
    int next() const;
    // What the participant is told before a clip: "Clip N of M", or "Practice".
    QString stepText(int index) const;
    // The clips done or recovered, and all, practice left out.
    int doneCount() const;
    int clipCount() const;
    // The study's name for a clip's results: "PARTICIPANT CLIP VARIABLE", safe as a file name.
    QString resultsName(int index) const;

    bool start(int index, QString *error);
    // Writes the results file and the event log of a clip into the results folder, under names no
    // other file has, and marks the clip done.
    bool finish(int index, const QByteArray &results, const QByteArray &events, QString *error);

private:
    bool save(QString *error);

    Study m_study;
    SessionRecord m_record;
    QString m_recordPath;
};

// The order of the clips for one participant: the practice clip first, then the clips as listed,
// or shuffled afresh with random.
QStringList participantOrder(const Study &study, QRandomGenerator &random);
