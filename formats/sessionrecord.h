#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What one participant did in a study: the order they got and, for each clip, how far it went.
struct SessionRecord
{
    enum class State
    {
        NotYet,
        Done,
        Recovered
    };
    struct Clip
    {
        QString clip; // as the study file writes it
        State state = State::NotYet;
        QStringList files; // results file and event log, names in the results folder
        QDateTime started; // invalid: not yet
        QDateTime ended;
    };

    QString study; // its title
    QString participant;
    QString date;      // as typed
    QList<Clip> clips; // in the order run, the practice clip first where there is one

    // The clips as the study file writes them, in the participant's order.
    QStringList order() const;
};

// The session record: "PARTICIPANT session YYYY-MM-DD HH.MM.SS.json" in the results folder,
// {"study": TITLE, "participant": NAME, "date": DATE, "order": [clips], "clips": [{"clip": PATH,
// "state": "done" | "recovered" | "not yet", "files": [NAMES], "started": ISO 8601 or null,
// "ended": ISO 8601 or null}, ...]}, UTF-8.
namespace SessionFile {

QByteArray bytes(const SessionRecord &record);
std::optional<SessionRecord> parse(const QByteArray &bytes);

} // namespace SessionFile
