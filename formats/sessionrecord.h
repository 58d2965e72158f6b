#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// What one participant did in a study: the order they got and, for each clip, how far it went.
struct SessionRecord
{
    // In the order a clip's state may move: never back.
    enum class State
    {
        NotYet,
        Recovered,
        Done
    };
    struct Clip
    {
        QString clip; // as the study file writes it
        State state = State::NotYet;
        QStringList files; // results file and event log, names in the results folder
        QDateTime started; // invalid: not yet
        QDateTime ended;
        // The run of files reached the clip's end; seconds: the samples it stored.
        bool complete = false;
        int seconds = 0;
        // Results of further runs of the clip (a partial run that a later one replaced, a second
        // computer's run): kept and named, never taken for the clip's results.
        QStringList extra;
        // In a position run, the controls that moved a level, as the event log names them
        // ("mouse", "wheel", "key", "button", "controller"); written only where there are any.
        QStringList controls = {};

        // The clip's results are now those of this run, which ended now: the files it had are
        // kept, named as extra.
        void takeRun(State to, const QStringList &runFiles, bool isComplete, int storedSeconds,
                     const QStringList &runControls);
    };

    QString study; // its title
    QString participant;
    QString date;      // as typed
    QList<Clip> clips; // in the order run, the practice clip first where there is one
    // "position" for a study rated by position; empty (and not written) for steps.
    QString input = {};

    // The clips as the study file writes them, in the participant's order.
    QStringList order() const;
    // Whether a clip reached its state: done, or at least recovered.
    bool allAtLeast(State state) const;
};

// What two writers of one record know, together: each clip's state only moves forward, and no
// file named by either is lost. The later state's files are the clip's; the other's, and files
// of an equal state that differ from the first record's, go to extra. A second record of other
// clips, or of another participant, leaves the first as it is.
SessionRecord merged(const SessionRecord &first, const SessionRecord &second);

// The session record: "PARTICIPANT session YYYY-MM-DD HH.MM.SS.json" in the results folder,
// {"study": TITLE, "participant": NAME, "date": DATE, "order": [clips], "clips": [{"clip": PATH,
// "state": "done" | "recovered" | "not yet", "files": [NAMES], "started": ISO 8601 or null,
// "ended": ISO 8601 or null, "complete": true | false, "seconds": N, "extra": [NAMES]}, ...]},
// UTF-8; a study rated by position adds "input": "position" and each clip its "controls". A
// record written before "complete" existed counts its done clips as complete.
namespace SessionFile {

// Written by hand it is a few KB; nothing this large is one.
constexpr qint64 MaxBytes = 1024 * 1024;
// The record's file name ends with this and the moment the session began
// (ResultsFile::NameDateTime).
inline const QString NameInfix = QStringLiteral(" session ");
inline const QString Pattern = QStringLiteral("* session *.json");

QByteArray bytes(const SessionRecord &record);
std::optional<SessionRecord> parse(const QByteArray &bytes);
// The record at path, or nothing where it cannot be read or is not one.
std::optional<SessionRecord> read(const QString &path);

// Replaces the record at path by what it holds now merged with record (read again just before,
// so that another computer's progress is kept), and gives back what was written. Where the file
// cannot be read it is written from record alone; false with the reason where it cannot be
// written.
bool update(const QString &path, const SessionRecord &record, SessionRecord *written,
            QString *error);

struct Stored
{
    QString path;
    QDateTime modified;
    SessionRecord record;
};
// Every session record in folder that can be read, by name.
QList<Stored> inFolder(const QString &folder);
// The records of the study titled title; the others are counted by title in others, where given.
QList<Stored> ofStudy(const QList<Stored> &records, const QString &title,
                      QMap<QString, int> *others = nullptr);
// "N session records of another study, TITLE, left out", a line for each other title.
QString leftOut(const QMap<QString, int> &others);

} // namespace SessionFile
