#include "longtable.h"

#include "collation.h"
#include "inputmode.h"
#include "rebin.h"

#include <QFileInfo>
#include <QSet>

namespace {

const QByteArray Header = "study,participant,clip,position,run,state,variable,time_s,level";

} // namespace

namespace LongTable {

void add(QList<LongRun> *table, const Collating::Taken &runs, const QString &study,
         const QString &clip, const QStringList &files, const QList<StudyRun> &taken)
{
    QSet<QString> added;
    for (const LongRun &row : std::as_const(*table))
        added.insert(row.run.path);
    for (qsizetype i = 0; i < runs.runs.size(); ++i) {
        const ResultsRun &run = runs.runs[i];
        if (added.contains(run.path))
            continue;
        added.insert(run.path);
        // Outside a study files may name the runs while nothing is said of them.
        const qsizetype index = files.indexOf(run.path);
        const bool said = index >= 0 && index < taken.size();
        table->append({study, run.subject, clip, said ? taken[index].position : 0,
                       runStateName(said ? taken[index].state : runs.screening.value(i).state),
                       run});
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

} // namespace LongTable
