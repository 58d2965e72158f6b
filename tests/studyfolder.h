#pragma once

// A study of made clips in a temporary folder, and a participant's way through it on the fake
// player: what the study tests share.

#include "support.h"

// A study of made clips (they need only exist: the player is a fake) and its results folder.
struct StudyFolder
{
    explicit StudyFolder(bool showResults = false, const QByteArray &more = {})
    {
        for (const char *clip : {"practice.avi", "a.avi", "b.avi", "c.avi", "d.avi"})
            writeAll(dir.filePath(clip), "a clip");
        const QByteArray json =
            R"({"title": "Debate", "variables": ["Mood"], "clips": ["a.avi", "b.avi", "c.avi"],
                "order": "shuffled", "practice": "practice.avi", "showResults": )" +
            QByteArray(showResults ? "true" : "false") + more + "}";
        QStringList problems;
        study = *StudyFile::parse(dir.filePath("study.json"), json, &problems);
    }
    QString results(const QString &name = QString()) const
    {
        return study.resultsFolder + (name.isEmpty() ? QString() : '/' + name);
    }
    SessionRecord record(const QString &name) const
    {
        return *SessionFile::parse(readAll(results(name)));
    }
    QStringList files(const QString &pattern) const { return ::files(results(), pattern); }

    QTemporaryDir dir;
    Study study;
    QRandomGenerator random{3}; // the participants' orders
};

// Up to the setup form of a study, with the participant typed; "Ok" pressed, and where asked on
// through the instructions to the first clip's screen.
inline void typeParticipant(Session &s, StudyFolder &folder, const QString &participant,
                            bool onToClips = false)
{
    s.order.setStudy(folder.study, &folder.random);
    VariableForm &form = s.toSetupForm();
    child<QLineEdit>(&form, "Text1")->setText(participant);
    child<QPushButton>(&form, "Command1")->click();
    if (onToClips)
        child<QPushButton>(s.order.instructionsForm(), "Command1")->click();
}

// The run of a study's clip that ended without a word: its journal of one second.
inline void leaveStudyJournal(const QString &home, const StudyFolder &folder,
                              const StudySession &session, int clip)
{
    leaveJournal(home, makeRecord(false), 1, Journal::thisComputer(),
                 {folder.results(), session.resultsName(clip), session.recordPath(), clip});
}

// The clip's screen's "Start": its rating screen.
inline MainForm &startClip(Session &s)
{
    child<QPushButton>(s.order.studyForm(), "Command1")->click();
    return *s.order.mainForm();
}

// Two seconds of rating to the clip's end, which ends the run: the clip the player was given.
inline QString rateToEnd(Session &s)
{
    MainForm &rating = *s.order.mainForm();
    s.player.arrive(2.0);
    rating.checkLength();
    rating.press(Rating::Button::Increase1);
    s.now += 2000;
    rating.recordSample();
    s.player.reachEnd();
    return QFileInfo(s.player.url).fileName();
}

inline QString rateClip(Session &s)
{
    startClip(s);
    return rateToEnd(s);
}

inline QString stepText(const Session &s)
{
    return s.order.studyForm() ? text(s.order.studyForm(), "Label1") : QString();
}
