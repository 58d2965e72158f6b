#pragma once

#include "figure.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

Figure startUp(const QString &executable, bool verbose);
// Finishing and the picture export, both on a 900 s clip: a full 901-row table in two series.
QList<Figure> finishingAndExport(const QString &workDirectory);
Figure tickSchedule(const QString &clip, double clipSeconds, const QString &workDirectory);
Figure waitingCostsNothing(bool verbose, const QString &workDirectory);
QList<Figure> demoRun(const QString &clip, bool verbose);
// The child processes that the memory and CPU figures measure on their own.
int childIdle(const QString &clip);
int childDemo(const QString &clip, int presses);
