#pragma once

#include "figure.h"

#include <QList>
#include <QString>

// The clip with the trace over it, written by the real dialtrace-collate (found beside this
// program) from 20 s H.264 and AAC clips at 1280x720 and 1920x1080, 30 fps, that ffmpeg makes
// in workDirectory, with three runs: the speed as a multiple of real time and the peak memory.
QList<Figure> videoFigures(const QString &workDirectory);
