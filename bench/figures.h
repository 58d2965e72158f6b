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
// Whole runs with 200 presses, each in a fresh process, on the demo clip and on three H.264
// clips made here (1080p at 30 and 60 fps, 2160p at 30 fps): press to meter, the recording's
// tick error, the CPU share while the clip plays, peak memory, and the pictures shown a second.
// The made clips are kept in clipFolder and used again when a run finds them there. With load,
// the three H.264 clips again beside busy loops (one core busy; two at nice 19).
QList<Figure> clipFigures(const QString &demo, const QString &clipFolder, bool verbose,
                          bool load = true);
// The child processes that the memory and CPU figures measure on their own.
int childIdle(const QString &clip);
int childDemo(const QString &clip, int presses);
// The instructions screen over a huge Instructions.txt: time until it answers, peak memory.
Figure hugeInstructions(bool verbose, const QString &workDirectory);
int childInstructions(const QString &directory);
// Rating by position with a game controller, simulated through SDL's virtual joystick, on a
// 1080p 30 fps clip made in clipFolder (or found there): the controller's latency, a drag's way to
// the meter, and a controller held still.
QList<Figure> controllerFigures(const QString &clipFolder, bool verbose);
int childStick(const QString &withController);
