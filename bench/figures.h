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
// A whole run with 200 presses in a fresh process: press to meter, peak memory, the recording's
// tick error and the CPU share while the clip plays. label names the clip in the figures.
QList<Figure> demoRun(const QString &clip, bool verbose, const QString &label,
                      double memoryTargetMegabytes);
// The child processes that the memory and CPU figures measure on their own.
int childIdle(const QString &clip);
int childDemo(const QString &clip, int presses);
// The instructions screen over a huge Instructions.txt: time until it answers, peak memory.
Figure hugeInstructions(bool verbose, const QString &workDirectory);
int childInstructions(const QString &directory);
