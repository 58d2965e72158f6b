#pragma once

// What the figures share: waiting in a real event loop, the process's CPU time and memory, and
// the table of figures. The operator's way to the rating screen is
// the Session of testsupport/, shared with the tests.

#include "splashwatch.h"
#include "stats.h"

#include "clips.h"
#include "gstmediaplayer.h"
#include "runjournal.h"
#include "session.h"
#include "startup.h"
#include "twips.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

#include "figure.h"

// Waits in a real event loop, so the program's timers see the same idle process as in use; a
// busy loop here would make them look more punctual than they are.
bool waitFor(const std::function<bool()> &done, int timeoutMilliseconds,
             int checkMilliseconds = 20);
void idle(int milliseconds);
// The X server has carried out every request sent so far, drawing included.
void syncWithDisplay();
bool isOnScreen(QWidget *window);
// Spins rather than sleeps: the figure is a latency, and sleeping would add the sleep to it.
bool spinUntil(const std::function<bool()> &done, int timeoutMilliseconds);
// The CPU time the interface thread spent in spinUntil, waiting for a press to be painted: the
// benchmark's work, not the program's.
double benchWaitingCpuSeconds();
double milliseconds(qint64 nanoseconds);
double cpuSecondsSoFar();
// Peak resident memory in kB, as the kernel counts it for the whole process.
qint64 peakResidentKilobytes();
QString memoryBreakdown();
QString ms(double value);
// Runs a program (arguments[0]) to its end with its standard output thrown away: the wall time in
// seconds, its own peak resident size in kB from wait4() (unlike RUSAGE_CHILDREN, not mixed up
// with the benchmark's other children) and its exit status; false where it could not be run.
bool runProgram(const QStringList &arguments, double *seconds, qint64 *kilobytes, int *status);
void printTable(const QList<Figure> &figures);
void progress(const QString &text);
// CPU time and peak memory belong to a whole process, so each is measured in a fresh one: this
// program started again with arguments, answering "key value" lines on its standard output.
QMap<QString, QString> runChild(const QStringList &arguments, int timeoutMilliseconds,
                                bool verbose);
void answer(const char *key, const QString &value);
// A 20 s H.264 clip with sound at path, made unless an earlier run left it there (label names it
// in the progress line); it gets its name only once whole, so a run cut short leaves no half clip
// for later runs to measure. False, with the reason told, where it could not be made.
bool makeClipOnce(const QString &path, const QString &label, QSize size, int rate);
// Frames a second of a clip's first picture stream as ffprobe reads it; 0 when unknown.
double frameRate(const QString &clip);

// Records that a widget has been painted: visible alone says nothing about the screen.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QObject *watched) { watched->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Times a timer's ticks: a filter on the timer sees its timer event before the handler runs, so
// the handler's own cost does not colour the figure.
class TickWatch : public QObject
{
public:
    TickWatch() { clock.start(); }
    std::vector<qint64> ticks;
    QElapsedTimer clock;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            ticks.push_back(clock.nsecsElapsed());
        return false;
    }
};
