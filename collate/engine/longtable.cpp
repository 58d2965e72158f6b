#include "longtable.h"

#include "collation.h"
#include "eventlog.h"
#include "inputmode.h"
#include "rebin.h"

#include <QFileInfo>

#include <algorithm>

namespace {

const QByteArray Header = "study,participant,clip,position,run,state,variable,time_s,level";

} // namespace

namespace LongTable {

void add(QList<LongRun> *table, const QList<ResultsRun> &runs, int rate, const QString &study,
         const QString &clip, const QStringList &files, const QList<StudyRun> &taken)
{
    for (ResultsRun run : runs) {
        if (std::any_of(table->begin(), table->end(),
                        [&](const LongRun &added) { return added.run.path == run.path; }))
            continue;
        if (rate > 0 && !Rebin::resample(&run, rate, nullptr))
            continue;
        // Outside a study files may name the runs while nothing is said of them.
        const qsizetype index = files.indexOf(run.path);
        const bool said = index >= 0 && index < taken.size();
        table->append({study, run.subject, clip, said ? taken[index].position : 0,
                       runStateName(said ? taken[index].state : stateOf(run)), run});
    }
}

QByteArray bytes(const QList<LongRun> &runs, int rate, const QString &variable)
{
    QByteArray out = Header + "\r\n";
    for (const LongRun &run : runs) {
        const QString position = run.position > 0 ? QString::number(run.position) : QString();
        const QString lead = QStringList{csvCell(run.study),
                                         csvCell(run.participant),
                                         csvCell(run.clip),
                                         position,
                                         csvCell(QFileInfo(run.run.path).fileName()),
                                         run.state}
                                 .join(QLatin1Char(',')) +
                             QLatin1Char(',');
        // The last moment with a sample of any variable: no rows for the empty end of a minute.
        const qsizetype last = Rebin::lastSampledRow(run.run);
        for (qsizetype v = 0; v < run.run.variables.size(); ++v) {
            const QString &name = run.run.variables[v];
            if (!variable.isEmpty() && name != variable)
                continue;
            const QByteArray start = (lead + csvCell(name) + QLatin1Char(',')).toUtf8();
            const QList<qint8> &levels = run.run.levels[v];
            for (qsizetype i = 2; i <= last; ++i) {
                const qint8 level = levels.value(i, ResultsRun::Gap);
                out += start + timeLabel(i, rate).toLatin1() + ',' +
                       (level == ResultsRun::Gap ? QByteArray() : Input::levelText(level, run.run.input)) +
                       "\r\n";
            }
        }
    }
    return out;
}

RunState stateOf(const ResultsRun &run)
{
    QList<RunEvent> events;
    if (!EventLog::read(EventLog::pathBeside(run.path), &events, nullptr))
        return RunState::Done;
    const auto has = [&](RunEvent::Kind kind) {
        return std::any_of(events.begin(), events.end(),
                           [kind](const RunEvent &event) { return event.kind == kind; });
    };
    if (!has(RunEvent::Kind::Finished))
        return RunState::Recovered;
    return has(RunEvent::Kind::End) ? RunState::Done : RunState::Partial;
}

} // namespace LongTable
