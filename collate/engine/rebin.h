#pragma once

#include "eventlog.h"
#include "resultsfile.h"
#include "studyruns.h"

#include <QList>

// Runs at any rate, from the event log beside each results file, on the clip's own time.
namespace Rebin {

constexpr int LowestRate = 1;
constexpr int HighestRate = 50;

// Each event's moment of the clip in milliseconds: its media_ms. An event without one takes its
// time_ms moved by the offset (media_ms - time_ms) of the nearest earlier event that has one, or
// else of the first later one; where no event has one, a sample of row N stands at N s.
QList<qint64> clipTimes(const QList<RunEvent> &events);

// The level of variable (1 or 2) at every 1/rate s of clip time, from 1/rate up to lastRow s
// (the second of the results file's last row with a sample): the level after the last event at
// or before that moment of the clip (0 before the first). Events are taken in the log's order,
// and each replaces whatever the events before it put at later moments of the clip: after a
// seek backwards the later pass replaces the earlier one from there on; while paused, every
// event belongs to the paused moment and the last of them counts. Indexed as the rows of a
// results file are, the first moment at index 2, so that a collation takes them alike.
QList<qint8> levels(const QList<RunEvent> &events, int variable, int rate, qsizetype lastRow);

// The results file's last row with a sample of any variable; 1 where it has none.
qsizetype lastSampledRow(const ResultsRun &run);

// Where the log's sample lines and the results file's rows first differ (in number, row or
// levels): "row N: ..."; empty where they agree.
QString mismatch(const ResultsRun &run, const QList<RunEvent> &events);

// What a run's event log says of its rater: the presses, and the clip time of the first; and how
// the run ended.
struct Screening
{
    QString missing; // why nothing is known (no event log, one that does not match); else empty
    int presses = 0;
    double firstPress = -1.0; // seconds of clip time; below 0: no press
    // Recovered without a "finished" line (saved from its journal), partial where it ended
    // before the clip's end, else done; done too where the log cannot be read.
    RunState state = RunState::Done;
};

// The event log beside run, read and checked against it: false with the problem where there
// is none, or one that cannot be read or does not match. screening, where given, gets what it
// says of the rater.
bool readLog(const ResultsRun &run, QList<RunEvent> *events, ReadProblem *problem,
             Screening *screening = nullptr);

// The run's levels, every variable, read from its event log at rate; false with the problem
// where the log is missing, unreadable or does not match the results file.
bool resample(ResultsRun *run, int rate, ReadProblem *problem, Screening *screening = nullptr);

} // namespace Rebin
