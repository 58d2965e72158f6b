#include "benchsupport.h"

#include <ctime>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#ifdef DIALTRACE_BENCH_HAVE_XCB
#include <QGuiApplication>
#include <xcb/xcb.h>
#endif

// What the screens themselves are laid out for; see app/main.cpp.
// Waits in a real event loop, so the program's timers see the same idle process as in use; a
// busy loop here would make them look more punctual than they are.
bool waitFor(const std::function<bool()> &done, int timeoutMilliseconds, int checkMilliseconds)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(checkMilliseconds);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMilliseconds, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return done();
}

void idle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The X server has carried out every request sent so far, drawing included: only then is a
// picture on screen rather than in a buffer on its way.
void syncWithDisplay()
{
#ifdef DIALTRACE_BENCH_HAVE_XCB
    if (const auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t *connection = x11->connection();
        xcb_flush(connection);
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
#endif
}

bool isOnScreen(QWidget *window)
{
    return window && window->isVisible() && window->windowHandle() &&
           window->windowHandle()->isExposed();
}

// Spins rather than sleeps: the figure is a latency, and sleeping would add the sleep to it.
namespace {
double spinning = 0.0; // seconds of the interface thread's CPU time

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
} // namespace

bool spinUntil(const std::function<bool()> &done, int timeoutMilliseconds)
{
    QElapsedTimer clock;
    clock.start();
    const double before = threadCpuSeconds();
    bool met = true;
    while (!done()) {
        if (clock.elapsed() > timeoutMilliseconds) {
            met = false;
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    spinning += threadCpuSeconds() - before;
    return met;
}

double benchWaitingCpuSeconds()
{
    return spinning;
}

double milliseconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e6;
}

double cpuSecondsSoFar()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Peak resident memory in kB, as the kernel counts it for the whole process.
qint64 peakResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // Read whole: /proc files claim a size of 0, so QFile::atEnd() is true from the start.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Where the memory goes at a point of the run, for finding the cause of a high peak: heap and
// other private memory (RssAnon) against pages of mapped files, libraries above all (RssFile).
QString memoryBreakdown()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QStringList parts;
    for (const QByteArray &line : status.readAll().split('\n')) {
        for (const char *key : {"VmHWM:", "VmRSS:", "RssAnon:", "RssFile:", "RssShmem:"}) {
            if (line.startsWith(key))
                parts.append(QString::fromLatin1(line.simplified()));
        }
    }
    return parts.join(QStringLiteral(", "));
}

bool runProgram(const QStringList &arguments, double *seconds, qint64 *kilobytes, int *status)
{
    QList<QByteArray> bytes;
    for (const QString &argument : arguments)
        bytes.append(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int raw = 0;
    rusage usage{};
    if (spawned != 0 || wait4(pid, &raw, 0, &usage) != pid)
        return false;
    *seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    *kilobytes = usage.ru_maxrss;
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return true;
}

QString ms(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1) + QStringLiteral(" ms");
}

void printTable(const QList<Figure> &figures)
{
    const QStringList header = {QStringLiteral("figure"), QStringLiteral("measured"),
                                QStringLiteral("target"), QStringLiteral("result")};
    QList<QStringList> rows = {header};
    for (const Figure &f : figures)
        rows.append({f.name, f.measured, f.target,
                     !f.measuredAtAll
                         ? QStringLiteral("ERROR")
                         : (f.pass ? QStringLiteral("PASS") : QStringLiteral("MISS"))});
    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    const auto line = [&](const QStringList &row) {
        QString text = QStringLiteral("|");
        for (qsizetype i = 0; i < row.size(); ++i)
            text += QLatin1Char(' ') + row[i].leftJustified(widths[i]) + QStringLiteral(" |");
        std::printf("%s\n", qPrintable(text));
    };
    line(rows.first());
    QStringList rule;
    for (const qsizetype w : widths)
        rule.append(QString(w, QLatin1Char('-')));
    line(rule);
    for (qsizetype i = 1; i < rows.size(); ++i)
        line(rows[i]);
    std::fflush(stdout);
}

void progress(const QString &text)
{
    std::fprintf(stderr, "dialtrace-bench: %s\n", qPrintable(text));
    std::fflush(stderr);
}

bool makeClipOnce(const QString &path, const QString &label, QSize size, int rate)
{
    if (QFileInfo::exists(path))
        return true;
    progress(QStringLiteral("making a 20 s %1 H.264 clip with sound").arg(label));
    const QFileInfo named(path);
    const QString part = named.dir().filePath(QStringLiteral("part-") + named.fileName());
    if (const QString error = makeClip(part, 20.0, {size, rate, 0, true}); !error.isEmpty()) {
        progress(error);
        return false;
    }
    if (!QFile::rename(part, path)) {
        progress(QStringLiteral("could not name the clip ") + path);
        return false;
    }
    return true;
}

double frameRate(const QString &clip)
{
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty())
        return 0.0;
    QProcess process;
    process.start(ffprobe, {"-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=avg_frame_rate", "-of", "csv=p=0", clip});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return 0.0;
    // A fraction such as 30000/1001.
    const QList<QByteArray> parts = process.readAllStandardOutput().trimmed().split('/');
    const double numerator = parts.value(0).toDouble();
    const double denominator = parts.size() > 1 ? parts.value(1).toDouble() : 1.0;
    return denominator > 0.0 ? numerator / denominator : 0.0;
}

// CPU time and peak memory belong to a whole process, so each is measured in a fresh one.
QMap<QString, QString> runChild(const QStringList &arguments, int timeoutMilliseconds, bool verbose)
{
    QProcess child;
    if (verbose)
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    QMap<QString, QString> values;
    if (!child.waitForFinished(timeoutMilliseconds)) {
        child.kill();
        child.waitForFinished(2000);
        values.insert(QStringLiteral("error"), QStringLiteral("timed out"));
        return values;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            values.insert(QString::fromUtf8(line.left(space)),
                          QString::fromUtf8(line.mid(space + 1)));
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        if (!values.contains(QStringLiteral("error")))
            values.insert(
                QStringLiteral("error"),
                QStringLiteral("child failed: ") +
                    QString::fromLocal8Bit(child.readAllStandardError()).right(400).simplified());
    }
    return values;
}

void answer(const char *key, const QString &value)
{
    std::printf("%s %s\n", key, qPrintable(value));
    std::fflush(stdout);
}
