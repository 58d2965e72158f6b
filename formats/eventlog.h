#pragma once

#include "resultsfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One moment of a run: a press, a fall-back, a stored sample, the subject's use of the player,
// the clip's end, "Finished!", or the clip stalling.
struct RunEvent
{
    enum class Kind
    {
        Increase,
        Decrease,
        FallBack,
        Sample,
        Play,
        Pause,
        Seek,
        End,
        Finished,
        Move,
        Device,
        // The clip stood still while it should play, and did not start again: not its end.
        Stall
    };
    enum class Source
    {
        None,
        Button,
        Key,
        Wheel,
        Mouse,
        Controller,
        // A device line's: the controller came or went.
        Connected,
        Disconnected
    };
    static constexpr qint64 NoMedia = -1;

    // Milliseconds on the run's own clock: 0 is the moment the recording started, so the first
    // sample comes about 1000 later and whatever came before it is negative.
    qint64 time = 0;
    // The clip's playing position in milliseconds, NoMedia where the player reported none; for a
    // seek the position sought.
    qint64 media = NoMedia;
    Kind kind = Kind::Sample;
    int variable = 0; // 1 or 2 for presses, moves and fall-backs, 0 otherwise
    // Both levels just after this event's own change, in the run's unit (tenths in a position
    // run, inputmode.h).
    int level1 = 0;
    int level2 = 0;
    int row = 0; // for a sample, the results file's row it went to; 0 otherwise
    Source source = Source::None;

    bool operator==(const RunEvent &other) const;
};

// The event log beside a results file: ASCII, CR LF line ends, a header line, then one line per
// event in time order: time_ms,media_ms,event,variable,level1,level2,row,source. Fields that do
// not apply are empty; level2 is empty in a one-variable run. Levels are whole numbers in a steps
// run and have one decimal in a position run.
namespace EventLog {

// What an event log's name ends with, beside its results file's ".csv".
inline const QString Suffix = QStringLiteral(".events.csv");

QByteArray header();

// One line, CR LF included.
QByteArray line(const RunEvent &event, bool twoVariables, InputMode input = InputMode::Steps);
QByteArray bytes(const QList<RunEvent> &events, bool twoVariables,
                 InputMode input = InputMode::Steps);

// The event log of the results file at resultsPath: NAME.events.csv beside NAME.csv (a name
// without ".csv" gets ".events.csv" added).
QString pathBeside(const QString &resultsPath);

// The events of the file at path; false with problem filled in when it is not an event log. A
// log with any decimal level is a position run's (input, where asked): its levels are tenths.
bool read(const QString &path, QList<RunEvent> *events, ReadProblem *problem,
          InputMode *input = nullptr);
bool parse(const QString &path, const QByteArray &bytes, QList<RunEvent> *events,
           ReadProblem *problem, InputMode *input = nullptr);

// One line of the log without its line end, or nothing where it is not an event. Its levels as
// written, or both in tenths where either has a decimal (decimal set, where asked).
std::optional<RunEvent> parseLine(const QByteArray &line, bool *decimal = nullptr);

// Events stamped on a clock whose recording started at origin, on the run's clock.
QList<RunEvent> onRunClock(QList<RunEvent> events, qint64 origin);

// In a position run, the sources that moved a level (presses and moves), by their names, in the
// order first used; none in a steps run.
QStringList controls(const QList<RunEvent> &events, InputMode input);

// The names the file gives each kind and source.
QByteArray kindName(RunEvent::Kind kind);
QByteArray sourceName(RunEvent::Source source);

} // namespace EventLog
