#include "collating.h"

#include "rebin.h"

namespace Collating {

Outcome collate(const QList<ResultsRun> &runs, const QStringList &paths, const QString &variable,
                int rate)
{
    Outcome outcome;
    outcome.runs = runs;
    QStringList earlier;
    for (const ResultsRun &run : runs)
        earlier.append(run.path);
    QStringList files = paths;
    outcome.repeats = InputGuard::removeRepeats(&files, earlier);

    // Every run at the rate, or none: a run left at its seconds would not line up.
    QList<ResultsRun> taken;
    const auto take = [&](ResultsRun run) {
        ReadProblem problem;
        if (rate > 0 && !Rebin::resample(&run, rate, &problem)) {
            outcome.notAtRate = problem.text();
            return false;
        }
        taken.append(std::move(run));
        return true;
    };
    for (const ResultsRun &run : runs) {
        if (!take(run))
            return outcome;
    }
    for (const QString &file : std::as_const(files)) {
        ResultsRun run;
        ReadProblem problem;
        if (!ResultsFile::read(file, &run, &problem)) {
            outcome.unreadable.append(problem.text());
            continue;
        }
        outcome.runs.append(run);
        if (!take(std::move(run)))
            return outcome;
    }
    const QString chosen =
        variable.isEmpty() && !taken.isEmpty() ? taken.first().variables.value(0) : variable;
    outcome.collation = Collation(taken, chosen, rate);
    return outcome;
}

} // namespace Collating
