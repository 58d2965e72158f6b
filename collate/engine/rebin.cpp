#include "rebin.h"

#include "inputmode.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

const QString NoLog = QStringLiteral("no event log beside it (%1), which a rate needs");
const QString Differs = QStringLiteral("its event log %1 does not match it: %2");
const QString OnlyInLog = QStringLiteral("row %1: a sample in the event log, none in the results "
                                         "file");
const QString OnlyInResults = QStringLiteral("row %1: a sample in the results file, none in the "
                                             "event log");
const QString OtherLevels =
    QStringLiteral("row %1: the event log has %2 where the results file has %3");

bool isPress(const RunEvent &event)
{
    return event.kind == RunEvent::Kind::Increase || event.kind == RunEvent::Kind::Decrease ||
           event.kind == RunEvent::Kind::Move;
}

RunState ending(const QList<RunEvent> &events)
{
    const auto has = [&](RunEvent::Kind kind) {
        return std::any_of(events.begin(), events.end(),
                           [kind](const RunEvent &event) { return event.kind == kind; });
    };
    if (!has(RunEvent::Kind::Finished))
        return RunState::Recovered;
    return has(RunEvent::Kind::End) ? RunState::Done : RunState::Partial;
}

QString cells(const QList<int> &levels, InputMode input)
{
    QStringList text;
    for (const int level : levels)
        text.append(level == ResultsRun::Gap ? QStringLiteral("nothing") : QString::fromLatin1(Input::levelText(level, input)));
    return text.join(QLatin1Char(','));
}

} // namespace

namespace Rebin {

QList<qint64> clipTimes(const QList<RunEvent> &events)
{
    // No clip position anywhere: the rows stand at their seconds.
    qint64 offset = 1000;
    const auto sample = std::find_if(events.begin(), events.end(), [](const RunEvent &event) {
        return event.kind == RunEvent::Kind::Sample && event.row > 0;
    });
    if (sample != events.end())
        offset = sample->row * qint64(1000) - sample->time;
    const auto first = std::find_if(events.begin(), events.end(), [](const RunEvent &event) {
        return event.media != RunEvent::NoMedia;
    });
    if (first != events.end())
        offset = first->media - first->time;
    QList<qint64> times;
    times.reserve(events.size());
    for (const RunEvent &event : events) {
        if (event.media != RunEvent::NoMedia)
            offset = event.media - event.time;
        times.append(event.media != RunEvent::NoMedia ? event.media : event.time + offset);
    }
    return times;
}

QList<qint8> levels(const QList<RunEvent> &events, int variable, int rate, qsizetype lastRow)
{
    const QList<qint64> times = clipTimes(events);
    // The level from each moment of the clip on, the moments rising.
    QList<std::pair<qint64, int>> steps;
    for (qsizetype i = 0; i < events.size(); ++i) {
        while (!steps.isEmpty() && steps.last().first > times[i])
            steps.removeLast();
        steps.append({times[i], variable == 1 ? events[i].level1 : events[i].level2});
    }
    QList<qint8> grid(2, ResultsRun::Gap);
    grid.reserve(2 + lastRow * rate);
    int level = 0;
    qsizetype next = 0;
    // Moments in whole milliseconds, as the log stamps its events: k / rate s, rounded down. The
    // results file bounds them, never a line of the log.
    for (qint64 k = 1; k * 1000 / rate <= lastRow * 1000; ++k) {
        const qint64 moment = k * 1000 / rate;
        for (; next < steps.size() && steps[next].first <= moment; ++next)
            level = steps[next].second;
        grid.append(static_cast<qint8>(level));
    }
    return grid;
}

qsizetype lastSampledRow(const ResultsRun &run)
{
    for (qsizetype row = run.lastRow(); row >= 2; --row) {
        for (const QList<qint8> &levels : run.levels) {
            if (levels.value(row, ResultsRun::Gap) != ResultsRun::Gap)
                return row;
        }
    }
    return 1;
}

QString mismatch(const ResultsRun &run, const QList<RunEvent> &events)
{
    qsizetype row = 2;
    qsizetype matched = 1; // the last row whose sample agreed
    const auto levelsAt = [&](qsizetype at) {
        QList<int> found;
        for (const QList<qint8> &levels : run.levels)
            found.append(levels.value(at, ResultsRun::Gap));
        return found;
    };
    const auto nextRow = [&] {
        for (; row <= run.lastRow(); ++row) {
            const QList<int> found = levelsAt(row);
            if (std::any_of(found.begin(), found.end(),
                            [](int level) { return level != ResultsRun::Gap; }))
                return row;
        }
        return qsizetype(-1);
    };
    for (const RunEvent &event : events) {
        if (event.kind != RunEvent::Kind::Sample)
            continue;
        const qsizetype expected = nextRow();
        if (expected < 0 || event.row < expected)
            return OnlyInLog.arg(event.row > 0 ? qsizetype(event.row) : matched + 1);
        if (event.row > expected)
            return OnlyInResults.arg(expected);
        const QList<int> logged = QList<int>{event.level1, event.level2}.mid(0, run.levels.size());
        if (logged != levelsAt(row))
            return OtherLevels.arg(QString::number(row), cells(logged, run.input),
                                     cells(levelsAt(row), run.input));
        matched = row++;
    }
    const qsizetype left = nextRow();
    return left < 0 ? QString() : OnlyInResults.arg(left);
}

bool readLog(const ResultsRun &run, QList<RunEvent> *events, ReadProblem *problem,
             Screening *screening)
{
    const QString log = EventLog::pathBeside(run.path);
    Screening found;
    bool read = false;
    if (!QFileInfo::exists(log)) {
        found.missing = QStringLiteral("no event log");
        ReadProblem::fail(problem, run.path, 0, NoLog.arg(QFileInfo(log).fileName()));
    } else if (!EventLog::read(log, events, problem)) {
        found.missing = QStringLiteral("the event log cannot be read");
    } else if (const QString differs = mismatch(run, *events); !differs.isEmpty()) {
        found.state = ending(*events);
        found.missing = QStringLiteral("the event log does not match the results file");
        ReadProblem::fail(problem, run.path, 0, Differs.arg(log, differs));
    } else {
        found.state = ending(*events);
        read = true;
        const QList<qint64> times = clipTimes(*events);
        for (qsizetype i = 0; i < events->size(); ++i) {
            if (!isPress((*events)[i]))
                continue;
            if (found.presses++ == 0)
                found.firstPress = static_cast<double>(times[i]) / 1000.0;
        }
    }
    if (screening)
        *screening = found;
    return read;
}

bool resample(ResultsRun *run, int rate, ReadProblem *problem, Screening *screening)
{
    QList<RunEvent> events;
    if (!readLog(*run, &events, problem, screening))
        return false;
    const qsizetype lastRow = lastSampledRow(*run);
    for (qsizetype v = 0; v < run->levels.size(); ++v)
        run->levels[v] = levels(events, static_cast<int>(v) + 1, rate, lastRow);
    return true;
}

} // namespace Rebin
