#pragma once

#include "collation.h"
#include "inputguard.h"
#include "rebin.h"
#include "resultsfile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Results files to a collation, the same for the command line and the window.
namespace Collating {

struct Read
{
    // The runs given, then those of the files read, at the seconds of their results files.
    QList<ResultsRun> runs;
    // Later names of a file named before, left out: a file counted twice would be two raters who
    // always agree.
    QList<InputGuard::Repeat> repeats;
    // Why each file that is not a results file was left out, in order.
    QStringList unreadable;
};

// Runs at a rate (as read at rate 0), each with what its event log says of it.
struct Taken
{
    QList<ResultsRun> runs;
    QList<Rebin::Screening> screening;
};

struct Outcome : Read
{
    // Why a run cannot be taken at the rate; then nothing is collated, and no file after it read.
    QString notAtRate;
    // The runs read, at the rate: all of them where notAtRate is empty.
    Taken taken;
    Collation collation;
    // For each run of the collation, in its order: what its event log says of the rater.
    QList<Rebin::Screening> screening;
};

// Collates runs already taken at rate (as takeEach takes them) as the other collate() does
// once it has read and taken them; nothing is read, and the outcome holds no Read part.
Outcome collate(const Taken &taken, const QString &variable, int rate);

// Each of runs at rate, those whose event log cannot be taken at it left out.
Taken takeEach(const QList<ResultsRun> &runs, int rate);

// Per run, for screening: "first[NAME]", the clip time of its first press, and
// "presses[NAME]", named by names in the order of the collation's runs.
QList<Statistic> screeningLines(const Outcome &outcome, const QStringList &names);

// The runs given and those of the files that paths name (each file once, none that a run given
// came from), at the seconds of their results files. Each run in turn, given or read, goes to
// take where there is one; reading stops after the first it refuses.
Read read(const QList<ResultsRun> &runs, const QStringList &paths,
          const std::function<bool(const ResultsRun &)> &take = {});

// Collates the runs given and those of the files that paths name (each file once, none that a
// run given came from), on variable, or on the first run's first variable where variable is
// empty. With rate 0 each run is taken at the seconds of its results file; otherwise at rate
// moments a second of clip time from the event log beside it, as it comes: every run at the rate
// or none, so the first that cannot be taken (no event log, or one that does not match its
// results file) ends it.
Outcome collate(const QList<ResultsRun> &runs, const QStringList &paths, const QString &variable,
                int rate);

} // namespace Collating
