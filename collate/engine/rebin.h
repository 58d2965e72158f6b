#pragma once

#include "eventlog.h"
#include "resultsfile.h"

#include <QList>

// Runs at any rate, from the event log beside each results file.
namespace Rebin {

constexpr int LowestRate = 1;
constexpr int HighestRate = 50;

// The level of variable (1 or 2) at every 1/rate s from 1/rate up to the run's last sample: the
// level after the last event at or before that moment (0 before the first). Indexed as the rows
// of a results file are, the first moment at index 2, so that a collation takes them alike.
QList<qint8> levels(const QList<RunEvent> &events, int variable, int rate);

// The run's levels, read from its event log, at rate; false with the problem where it has none.
bool resample(ResultsRun *run, int rate, ReadProblem *problem);

} // namespace Rebin
