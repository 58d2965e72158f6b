#pragma once

#include <QSize>
#include <QString>

namespace SplashWatch {

struct Start
{
    bool ok = false;
    double milliseconds = 0.0;
    QString error;
};

// Starts `executable` and times it until the X server maps a top-level window of `size` that
// the new process owns (by _NET_WM_PID); the process is then ended. The map is watched on the
// X connection itself, so the figure is not rounded up to a polling interval. Unless verbose,
// the program's output goes nowhere.
Start timeToWindow(const QString &executable, const QSize &size, int timeoutMilliseconds,
                   bool verbose);

bool available();

} // namespace SplashWatch
