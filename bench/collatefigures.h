#pragma once

#include "figure.h"

#include <QList>
#include <QString>

// Collating 200 runs of 901 seconds: the collation (reading included) and the chart timed in
// this process, the peak memory of the real dialtrace-collate, found beside this program, on the
// same files. The files are written into workDirectory.
QList<Figure> collateFigures(const QString &workDirectory);
