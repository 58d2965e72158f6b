#pragma once

#include "agreement.h"
#include "collation.h"

class QTableWidget;
class QWidget;

// The collating window's two tables: the runs, each with its r with the others, and the
// agreement statistics.
namespace CollateTables {

QTableWidget *runs(QWidget *parent);
QTableWidget *statistics(QWidget *parent);

void showRuns(QTableWidget *table, const Collation &collation, const QList<Statistic> &statistics);
void showStatistics(QTableWidget *table, const Collation &collation,
                    const QList<Statistic> &statistics);

} // namespace CollateTables
