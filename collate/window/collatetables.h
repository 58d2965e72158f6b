#pragma once

#include "agreement.h"
#include "collation.h"

class QLabel;
class QTableWidget;
class QWidget;

// The collating window's two tables: the runs, each with its r and its CCC with the others, its
// first press and its number of presses; and the agreement statistics, with a line under them
// saying which to report for what.
namespace CollateTables {

QTableWidget *runs(QWidget *parent);
QTableWidget *statistics(QWidget *parent);
QLabel *reporting(QWidget *parent);

void showRuns(QTableWidget *table, const Collation &collation, const QList<Statistic> &statistics);
void showStatistics(QTableWidget *table, const QList<Statistic> &statistics);

} // namespace CollateTables
