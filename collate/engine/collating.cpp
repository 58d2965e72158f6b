#include "collating.h"

#include "rebin.h"

namespace {

// run at rate into taken, with what its event log says; false with the problem where it cannot be
// taken at rate.
bool take(ResultsRun run, int rate, Collating::Taken *taken, ReadProblem *problem)
{
    Rebin::Screening screened;
    if (rate > 0 && !Rebin::resample(&run, rate, problem, &screened))
        return false;
    if (rate == 0) {
        QList<RunEvent> events;
        Rebin::readLog(run, &events, nullptr, &screened);
    }
    taken->runs.append(std::move(run));
    taken->screening.append(screened);
    return true;
}

// Collates the runs outcome has taken, on variable (the first run's first where it is empty).
void collateTaken(Collating::Outcome *outcome, const QString &variable, int rate)
{
    const QList<ResultsRun> &taken = outcome->taken.runs;
    const QString chosen =
        variable.isEmpty() && !taken.isEmpty() ? taken.first().variables.value(0) : variable;
    outcome->collation = Collation(taken, chosen, rate);
    // The runs the collation skipped have no line.
    qsizetype next = 0;
    for (const CollatedRun &run : outcome->collation.runs()) {
        while (next < taken.size() && taken[next].path != run.path)
            ++next;
        outcome->screening.append(outcome->taken.screening.value(next));
        ++next;
    }
}

} // namespace

namespace Collating {

Read read(const QList<ResultsRun> &runs, const QStringList &paths,
          const std::function<bool(const ResultsRun &)> &take)
{
    Read read;
    read.runs = runs;
    QStringList earlier;
    for (const ResultsRun &run : runs)
        earlier.append(run.path);
    QStringList files = paths;
    read.repeats = InputGuard::removeRepeats(&files, earlier);
    for (const ResultsRun &run : runs) {
        if (take && !take(run))
            return read;
    }
    for (const QString &file : std::as_const(files)) {
        ResultsRun run;
        ReadProblem problem;
        if (!ResultsFile::read(file, &run, &problem)) {
            read.unreadable.append(problem.text());
            continue;
        }
        read.runs.append(run);
        if (take && !take(run))
            return read;
    }
    return read;
}

Outcome collate(const QList<ResultsRun> &runs, const QStringList &paths, const QString &variable,
                int rate)
{
    Outcome outcome;
    // Every run at the rate, or none: a run left at its seconds would not line up.
    static_cast<Read &>(outcome) = read(runs, paths, [&](const ResultsRun &run) {
        ReadProblem problem;
        if (take(run, rate, &outcome.taken, &problem))
            return true;
        outcome.notAtRate = problem.text();
        return false;
    });
    if (outcome.notAtRate.isEmpty())
        collateTaken(&outcome, variable, rate);
    return outcome;
}

Outcome collate(const Taken &taken, const QString &variable, int rate)
{
    Outcome outcome;
    outcome.taken = taken;
    collateTaken(&outcome, variable, rate);
    return outcome;
}

Taken takeEach(const QList<ResultsRun> &runs, int rate)
{
    Taken taken;
    for (const ResultsRun &run : runs)
        take(run, rate, &taken, nullptr);
    return taken;
}

QList<Statistic> screeningLines(const Outcome &outcome, const QStringList &names)
{
    QList<Statistic> lines;
    for (qsizetype r = 0; r < outcome.screening.size(); ++r) {
        const Rebin::Screening &run = outcome.screening[r];
        const QString first = QStringLiteral("first[%1]").arg(names.value(r));
        const QString presses = QStringLiteral("presses[%1]").arg(names.value(r));
        if (!run.missing.isEmpty()) {
            lines << Statistic::absent(first, run.missing)
                  << Statistic::absent(presses, run.missing);
            continue;
        }
        lines << (run.presses > 0 ? Statistic::of(first, run.firstPress)
                                  : Statistic::absent(first, QStringLiteral("no press")))
              << Statistic::count(presses, run.presses);
    }
    return lines;
}

} // namespace Collating
