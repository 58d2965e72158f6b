#include "rebin.h"

#include <QFileInfo>

namespace Rebin {

QList<qint8> levels(const QList<RunEvent> &events, int variable, int rate)
{
    qint64 lastSample = 0;
    for (const RunEvent &event : events) {
        if (event.kind == RunEvent::Kind::Sample)
            lastSample = event.time;
    }
    QList<qint8> grid(2, ResultsRun::Gap);
    int level = 0;
    qsizetype next = 0;
    // Moments in whole milliseconds, as the log stamps its events: k / rate s, rounded down.
    for (qint64 k = 1; k * 1000 / rate <= lastSample; ++k) {
        const qint64 moment = k * 1000 / rate;
        for (; next < events.size() && events[next].time <= moment; ++next)
            level = variable == 1 ? events[next].level1 : events[next].level2;
        grid.append(static_cast<qint8>(level));
    }
    return grid;
}

bool resample(ResultsRun *run, int rate, ReadProblem *problem)
{
    const QString log = EventLog::pathBeside(run->path);
    if (!QFileInfo::exists(log)) {
        if (problem)
            *problem = {run->path, 0,
                        QStringLiteral("no event log beside it (%1), which a rate needs")
                            .arg(QFileInfo(log).fileName())};
        return false;
    }
    QList<RunEvent> events;
    if (!EventLog::read(log, &events, problem))
        return false;
    for (qsizetype v = 0; v < run->levels.size(); ++v)
        run->levels[v] = levels(events, static_cast<int>(v) + 1, rate);
    return true;
}

} // namespace Rebin
