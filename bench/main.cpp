#include "benchdialogs.h"
#include "collatefigures.h"
#include "figure.h"
#include "fixedlengthplayer.h"
#include "splashwatch.h"
#include "stats.h"

#include "qtmediaplayer.h"
#include "screenorder.h"
#include "startup.h"
#include "twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#ifdef DIALTRACE_BENCH_HAVE_XCB
#include <QGuiApplication>
#include <xcb/xcb.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// What the screens themselves are laid out for; see app/main.cpp.
// Waits in a real event loop, so the program's timers see the same idle process as in use; a
// busy loop here would make them look more punctual than they are.
bool waitFor(const std::function<bool()> &done, int timeoutMilliseconds, int checkMilliseconds = 20)
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

bool isOnScreen(QWidget *window)
{
    return window && window->isVisible() && window->windowHandle() &&
           window->windowHandle()->isExposed();
}

// Spins rather than sleeps: the figure is a latency, and sleeping would add the sleep to it.
bool spinUntil(const std::function<bool()> &done, int timeoutMilliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMilliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
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

// One operator's way from start-up to the rating screen, two variables so that both meters and
// both chart lines are in play.
struct Session
{
    Session(MediaPlayer &player, const QString &applicationDirectory)
        : order(dialogs, player, applicationDirectory)
    {
    }

    bool toRatingScreen(const QString &clip)
    {
        order.start();
        order.handOverFromSplash();
        VariableForm *form = order.variableForm();
        if (!form)
            return false;
        form->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("Bench"));
        form->findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(QStringLiteral("Trust"));
        form->findChild<QLineEdit *>(QStringLiteral("Text3"))->setText(QStringLiteral("1.1.2026"));
        form->findChild<QCheckBox *>(QStringLiteral("Check1"))->click();
        form->findChild<QLineEdit *>(QStringLiteral("Text4"))->setText(QStringLiteral("Fear"));
        dialogs.openAnswers = {clip, clip};
        form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        if (!order.instructionsForm())
            return false;
        order.instructionsForm()->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        return order.mainForm() != nullptr;
    }

    BenchDialogs dialogs;
    ScreenOrder order;
};

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

Figure startUp(const QString &executable, bool verbose)
{
    Figure figure{QStringLiteral("start-up"), {}, QStringLiteral("median <= 300 ms"), false, false};
    if (!SplashWatch::available()) {
        figure.measured = QStringLiteral("not measured: built without xcb");
        return figure;
    }
    if (!QFileInfo(executable).isExecutable()) {
        figure.measured = QStringLiteral("not measured: no executable at ") + executable;
        return figure;
    }
    const QSize splash = Twips::size(7365, 4230);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const SplashWatch::Start start =
            SplashWatch::timeToWindow(executable, splash, 10000, verbose);
        if (!start.ok) {
            figure.measured = QStringLiteral("not measured: ") + start.error;
            return figure;
        }
        times.push_back(start.milliseconds);
        progress(QStringLiteral("start %1 to splash: %2").arg(i + 1).arg(ms(start.milliseconds)));
        idle(300);
    }
    const double median = Stats::median(times);
    figure.measuredAtAll = true;
    figure.measured = QStringLiteral("median %1 (each: ").arg(ms(median));
    QStringList each;
    for (double t : times)
        each.append(QString::number(t, 'f', 0));
    figure.measured += each.join(QStringLiteral(", ")) + QStringLiteral(" ms)");
    figure.pass = median <= 300.0;
    return figure;
}

// Finishing and the picture export, both on a 900 s clip: a full 901-row table in two series.
QList<Figure> finishingAndExport(const QString &workDirectory)
{
    Figure finishing{QStringLiteral("finishing (901 rows)"),
                     {},
                     QStringLiteral("<= 50 ms every run"),
                     false,
                     false};
    Figure exporting{QStringLiteral("image export (3667 px)"),
                     {},
                     QStringLiteral("<= 500 ms every run"),
                     false,
                     false};
    constexpr double ClipSeconds = 900.0;
    constexpr int Runs = 5;
    std::vector<double> finishTimes;
    std::vector<double> exportTimes;
    QString problem;
    QSize exportedSize;

    for (int run = 0; run < Runs && problem.isEmpty(); ++run) {
        const QString directory = workDirectory + QStringLiteral("/finish%1").arg(run);
        QDir().mkpath(directory);
        FixedLengthPlayer player(ClipSeconds);
        Session session(player, directory);
        if (!session.toRatingScreen(QStringLiteral("/bench/clip900.avi"))) {
            problem = QStringLiteral("the rating screen did not open");
            break;
        }
        MainForm &rating = *session.order.mainForm();
        waitFor([&] { return isOnScreen(&rating); }, 5000);
        rating.checkLength();
        if (!rating.isRecording()) {
            problem = QStringLiteral("recording did not start for a 900 s clip");
            break;
        }
        // A level that wanders over the whole scale, different in the two series.
        quint32 seed = 12345u + static_cast<quint32>(run);
        bool last = false;
        int samples = 0;
        while (rating.isRecording() && samples < 2000) {
            seed = seed * 1103515245u + 12345u;
            const auto pick = (seed >> 16) % 6u;
            if (pick < 4)
                rating.press(static_cast<Rating::Button>(pick));
            if (samples % 3 == 0)
                rating.fallBack();
            rating.recordSample();
            ++samples;
            last = !rating.isRecording();
        }
        if (!last || !rating.table() || rating.table()->lastRow() != 901) {
            problem = QStringLiteral("the table did not end at row 901");
            break;
        }

        const QString resultsPath = session.order.resultsFilePath();
        QFile::remove(resultsPath);
        QElapsedTimer clock;
        clock.start();
        session.order.finishRun();
        OutputForm *output = session.order.outputForm();
        const bool shown =
            spinUntil([&] { return isOnScreen(output) && QFileInfo::exists(resultsPath); }, 5000);
        syncWithDisplay();
        const qint64 finished = clock.nsecsElapsed();
        if (!shown) {
            problem =
                QStringLiteral("the results screen did not show, or temp.csv was not written");
            break;
        }
        finishTimes.push_back(milliseconds(finished));

        // Let the screen settle, as a person would look at it before pressing "Export Image".
        idle(200);
        const QString picturePath = directory + QStringLiteral("/export.jpg");
        session.dialogs.saveAnswer = picturePath;
        clock.restart();
        output->exportImage();
        const qint64 exported = clock.nsecsElapsed();
        if (!QFileInfo::exists(picturePath)) {
            problem = QStringLiteral("the picture was not written");
            break;
        }
        exportedSize = QImageReader(picturePath).size();
        exportTimes.push_back(milliseconds(exported));
        progress(QStringLiteral("finishing run %1: %2, export %3 (%4x%5)")
                     .arg(run + 1)
                     .arg(ms(finishTimes.back()), ms(exportTimes.back()))
                     .arg(exportedSize.width())
                     .arg(exportedSize.height()));
        session.order.closeAll();
        idle(100);
    }
    if (!problem.isEmpty()) {
        finishing.measured = exporting.measured = QStringLiteral("not measured: ") + problem;
        return {finishing, exporting};
    }
    const double finishMax = Stats::maximum(finishTimes);
    finishing.measuredAtAll = true;
    finishing.measured = QStringLiteral("max %1, median %2 (%3 runs, first is cold)")
                             .arg(ms(finishMax), ms(Stats::median(finishTimes)))
                             .arg(Runs);
    finishing.pass = finishMax <= 50.0;
    const double exportMax = Stats::maximum(exportTimes);
    exporting.measuredAtAll = true;
    exporting.measured = QStringLiteral("max %1, median %2 (%3 runs, %4x%5 px)")
                             .arg(ms(exportMax), ms(Stats::median(exportTimes)))
                             .arg(Runs)
                             .arg(exportedSize.width())
                             .arg(exportedSize.height());
    exporting.pass = exportMax <= 500.0 && exportedSize.width() == 3667;
    if (exportedSize.width() != 3667)
        exporting.measured += QStringLiteral(" - wrong width");
    return {finishing, exporting};
}

Figure tickSchedule(const QString &clip, double clipSeconds, const QString &workDirectory)
{
    Figure figure{QStringLiteral("recording tick schedule"),
                  {},
                  QStringLiteral("max error <= 5 ms; last-10 mean <= first-10 mean + 1 ms"),
                  false,
                  false};
    const int window = clipSeconds >= 60 ? 10 : 5;
    figure.target.replace(QStringLiteral("10"), QString::number(window));
    QtMediaPlayer player;
    const QString directory = workDirectory + QStringLiteral("/ticks");
    QDir().mkpath(directory);
    Session session(player, directory);
    if (!session.toRatingScreen(clip)) {
        figure.measured = QStringLiteral("not measured: the rating screen did not open");
        return figure;
    }
    MainForm &rating = *session.order.mainForm();
    auto *timeItself = rating.findChild<QTimer *>(QStringLiteral("TimeItself"));
    if (!timeItself) {
        figure.measured = QStringLiteral("not measured: no TimeItself timer");
        return figure;
    }

    // A filter on the timer sees its timer event before the recording handler runs, so the
    // handler's own cost does not colour the figure.
    class TickWatch : public QObject
    {
    public:
        std::vector<qint64> ticks;
        QElapsedTimer clock;

    protected:
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Timer)
                ticks.push_back(clock.nsecsElapsed());
            return false;
        }
    } watch;
    watch.clock.start();
    timeItself->installEventFilter(&watch);

    if (!waitFor([&] { return rating.isRecording(); }, 20000, 100)) {
        figure.measured = QStringLiteral("not measured: recording did not start (%1)")
                              .arg(session.dialogs.messages.join(QLatin1Char(' ')).simplified());
        return figure;
    }
    const int timeout = static_cast<int>(clipSeconds * 1000) + 20000;
    waitFor([&] { return !rating.isRecording(); }, timeout, 250);
    timeItself->removeEventFilter(&watch);
    if (rating.isRecording()) {
        figure.measured = QStringLiteral("not measured: recording never ended");
        return figure;
    }
    session.order.finishRun();
    session.order.closeAll();

    const Stats::Schedule s = Stats::schedule(watch.ticks, 1000.0, window);
    figure.measuredAtAll = true;
    figure.measured = QStringLiteral("%1 ticks: max %2; mean first %3 %4, last %3 %5")
                          .arg(s.ticks)
                          .arg(ms(s.largestError))
                          .arg(s.window)
                          .arg(ms(s.meanErrorFirst), ms(s.meanErrorLast));
    const int expected = static_cast<int>(clipSeconds);
    figure.pass =
        s.ticks == expected && s.largestError <= 5.0 && s.meanErrorLast <= s.meanErrorFirst + 1.0;
    if (s.ticks != expected)
        figure.measured += QStringLiteral(" - expected %1 ticks").arg(expected);
    return figure;
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

int childIdle(const QString &clip)
{
    QTemporaryDir directory;
    QtMediaPlayer player;
    Session session(player, directory.path());
    if (!session.toRatingScreen(clip)) {
        answer("error", QStringLiteral("the rating screen did not open"));
        return 1;
    }
    MainForm &rating = *session.order.mainForm();
    // Past the start: the screen is up and the player has given up on the clip.
    waitFor([&] { return isOnScreen(&rating) && !session.dialogs.messages.isEmpty(); }, 10000);
    idle(1500);
    if (session.dialogs.messages.isEmpty()) {
        answer("error", QStringLiteral("the player never reported the clip as unplayable"));
        return 1;
    }
    const double before = cpuSecondsSoFar();
    QElapsedTimer wall;
    wall.start();
    idle(10000);
    const double cpu = cpuSecondsSoFar() - before;
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    answer("cpu_percent", QString::number(100.0 * cpu / seconds, 'f', 3));
    answer("cpu_ms", QString::number(cpu * 1000.0, 'f', 1));
    answer("seconds", QString::number(seconds, 'f', 2));
    answer("still_rating", QString::number(rating.isVisible() ? 1 : 0));
    session.order.closeAll();
    return 0;
}

int childDemo(const QString &clip, int presses)
{
    answer("memory_1_started", memoryBreakdown());
    QTemporaryDir directory;
    QtMediaPlayer player;
    Session session(player, directory.path());
    if (!session.toRatingScreen(clip)) {
        answer("error", QStringLiteral("the rating screen did not open"));
        return 1;
    }
    MainForm &rating = *session.order.mainForm();
    if (!waitFor([&] { return isOnScreen(&rating) && rating.isRecording(); }, 20000)) {
        answer("error", QStringLiteral("the demo clip did not start recording: ") +
                            session.dialogs.messages.join(QLatin1Char(' ')).simplified());
        return 1;
    }
    answer("memory_2_playing", memoryBreakdown());
    auto *increase = rating.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *decrease = rating.findChild<QPushButton *>(QStringLiteral("Command2"));
    // Level 1 of the first meter lights its lowest upper segment.
    auto *segment = rating.findChild<QFrame *>(QStringLiteral("BluePos"));
    if (!increase || !decrease || !segment) {
        answer("error", QStringLiteral("the rating screen lacks Command1, Command2 or BluePos"));
        return 1;
    }
    PaintWatch watch(segment);
    auto *fallBack = rating.findChild<QTimer *>(QStringLiteral("Timer1"));
    std::vector<double> times;
    int unpainted = 0;
    int measured = 0;
    QElapsedTimer clock;
    QElapsedTimer pressing;
    pressing.start();
    for (int attempt = 0; measured < presses && attempt < presses * 20; ++attempt) {
        // From a dark meter every press of Command1 lights the segment afresh.
        while (rating.state().Level1 > 0)
            QTest::mouseClick(decrease, Qt::LeftButton);
        while (rating.state().Level1 < 0)
            QTest::mouseClick(increase, Qt::LeftButton);
        // A press just before the fall-back tick would be undone before it could be painted:
        // keep clear of the tick.
        if (fallBack && fallBack->isActive() && fallBack->remainingTime() < 40) {
            idle(60);
            continue;
        }
        // The fall-back lowers the level at once but the meter only at Timer2's next refresh, so
        // a segment may still be lit at level 0; pressing then would change nothing on screen.
        spinUntil([&] { return !segment->isVisible(); }, 200);
        spinUntil([] { return false; }, 5);
        if (segment->isVisible() || rating.state().Level1 != 0)
            continue;

        ++measured;
        watch.painted = false;
        clock.start();
        QTest::mouseClick(increase, Qt::LeftButton);
        const bool lit = segment->isVisible();
        const bool shown = spinUntil([&] { return watch.painted; }, 1000);
        syncWithDisplay();
        const qint64 elapsed = clock.nsecsElapsed();
        if (shown) {
            times.push_back(milliseconds(elapsed));
        } else {
            ++unpainted;
            std::fprintf(stderr,
                         "dialtrace-bench: press %d not painted within 1 s (lit at once: %s, "
                         "level now %d)\n",
                         measured, lit ? "yes" : "no", rating.state().Level1);
        }
        idle(70);
    }
    answer("press_max_ms", QString::number(Stats::maximum(times), 'f', 3));
    answer("press_median_ms", QString::number(Stats::median(times), 'f', 3));
    answer("press_count", QString::number(measured));
    answer("press_unpainted", QString::number(unpainted));
    answer("press_seconds",
           QString::number(static_cast<double>(pressing.elapsed()) / 1000.0, 'f', 1));
    answer("press_while_playing", QString::number(player.isPlaying() ? 1 : 0));

    answer("memory_3_pressed", memoryBreakdown());
    waitFor([&] { return !rating.isRecording(); }, 60000, 200);
    answer("memory_4_clip_done", memoryBreakdown());
    answer("recorded_ticks", QString::number(rating.recordRow() - 1));
    rating.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    OutputForm *output = session.order.outputForm();
    waitFor([&] { return isOnScreen(output); }, 5000);
    idle(300);
    answer("memory_5_results", memoryBreakdown());
    session.dialogs.saveAnswer = directory.path() + QStringLiteral("/demo.jpg");
    output->exportImage();
    idle(300);
    answer("memory_6_exported", memoryBreakdown());
    output->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    idle(500);
    answer("ended", QString::number(session.order.isEnded() ? 1 : 0));
    answer("messages", QString::number(session.dialogs.messages.size()));
    answer("vmhwm_kb", QString::number(peakResidentKilobytes()));
    answer("memory_7_closed", memoryBreakdown());
    return 0;
}

Figure waitingCostsNothing(bool verbose, const QString &workDirectory)
{
    Figure figure{QStringLiteral("waiting costs nothing"),
                  {},
                  QStringLiteral("<= 1 % of one core"),
                  false,
                  false};
    const struct
    {
        QString label;
        QString clip;
    } cases[] = {
        {QStringLiteral("missing file"), workDirectory + QStringLiteral("/no-such-clip.avi")},
        {QStringLiteral("no file"), QString()}};
    QStringList parts;
    double worst = 0.0;
    for (const auto &c : cases) {
        progress(QStringLiteral("waiting on a rating screen whose clip never opens (%1), 10 s")
                     .arg(c.label));
        const auto values = runChild({QStringLiteral("--child-idle"), c.clip}, 60000, verbose);
        if (values.contains(QStringLiteral("error"))) {
            figure.measured =
                QStringLiteral("not measured: ") + values.value(QStringLiteral("error"));
            return figure;
        }
        const double percent = values.value(QStringLiteral("cpu_percent")).toDouble();
        worst = std::max(worst, percent);
        parts.append(QStringLiteral("%1: %2 % (%3 ms CPU in %4 s)")
                         .arg(c.label, QString::number(percent, 'f', 2),
                              values.value(QStringLiteral("cpu_ms")),
                              values.value(QStringLiteral("seconds"))));
    }
    figure.measuredAtAll = true;
    figure.measured = parts.join(QStringLiteral("; "));
    figure.pass = worst <= 1.0;
    return figure;
}

QList<Figure> demoRun(const QString &clip, bool verbose)
{
    Figure press{
        QStringLiteral("press to meter"), {}, QStringLiteral("<= 16 ms every press"), false, false};
    Figure memory{QStringLiteral("memory (demo run)"),
                  {},
                  QStringLiteral("peak RSS <= 150 MB"),
                  false,
                  false};
    if (!QFileInfo::exists(clip)) {
        press.measured = memory.measured = QStringLiteral("not measured: no demo clip at ") + clip;
        return {press, memory};
    }
    progress(
        QStringLiteral("whole run on %1 with 200 presses").arg(QDir::toNativeSeparators(clip)));
    const auto values = runChild({QStringLiteral("--child-demo"), clip}, 120000, verbose);
    if (verbose) {
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (it.key().startsWith(QLatin1String("memory_")))
                progress(it.key() + QStringLiteral(": ") + it.value());
        }
    }
    if (values.contains(QStringLiteral("error"))) {
        press.measured = memory.measured =
            QStringLiteral("not measured: ") + values.value(QStringLiteral("error"));
        return {press, memory};
    }
    const double pressMax = values.value(QStringLiteral("press_max_ms")).toDouble();
    const int counted = values.value(QStringLiteral("press_count")).toInt();
    const int unpainted = values.value(QStringLiteral("press_unpainted")).toInt();
    press.measuredAtAll = true;
    press.measured =
        QStringLiteral("max %1, median %2 (%3 presses in %4 s of playback)")
            .arg(ms(pressMax), ms(values.value(QStringLiteral("press_median_ms")).toDouble()))
            .arg(counted)
            .arg(values.value(QStringLiteral("press_seconds")));
    if (values.value(QStringLiteral("press_while_playing")) != QLatin1String("1"))
        press.measured += QStringLiteral(" - the clip had stopped before the last press");
    if (unpainted > 0)
        press.measured += QStringLiteral(", %1 never painted within 1 s").arg(unpainted);
    press.pass = counted >= 200 && unpainted == 0 && pressMax <= 16.0;

    const double megabytes = values.value(QStringLiteral("vmhwm_kb")).toDouble() / 1024.0;
    // Libraries and other mapped files against the heap: the first thing to know about a peak.
    const QString breakdown = values.value(QStringLiteral("memory_6_exported"));
    const auto kilobytesOf = [&](const QString &key) {
        const qsizetype at = breakdown.indexOf(key);
        return at < 0 ? -1.0
                      : breakdown.mid(at + key.size()).section(QLatin1Char(' '), 1, 1).toDouble();
    };
    memory.measuredAtAll = true;
    memory.measured =
        QStringLiteral("VmHWM %1 MB, at the end %2 MB in mapped files, %3 MB private "
                       "(%4 ticks recorded, ended %5)")
            .arg(QString::number(megabytes, 'f', 1),
                 QString::number(kilobytesOf(QStringLiteral("RssFile:")) / 1024.0, 'f', 0),
                 QString::number(kilobytesOf(QStringLiteral("RssAnon:")) / 1024.0, 'f', 0),
                 values.value(QStringLiteral("recorded_ticks")),
                 values.value(QStringLiteral("ended")) == QLatin1String("1")
                     ? QStringLiteral("cleanly")
                     : QStringLiteral("NOT cleanly"));
    memory.pass = megabytes > 0 && megabytes <= 150.0 &&
                  values.value(QStringLiteral("recorded_ticks")).toInt() >= 29;
    return {press, memory};
}

bool makeClip(const QString &path, double seconds, QString *error)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) {
        *error = QStringLiteral("ffmpeg is not on PATH");
        return false;
    }
    QProcess process;
    process.start(ffmpeg,
                  {QStringLiteral("-y"), QStringLiteral("-hide_banner"),
                   QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-f"),
                   QStringLiteral("lavfi"), QStringLiteral("-i"),
                   QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds),
                   QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), path});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        *error =
            QStringLiteral("ffmpeg could not make %1: %2")
                .arg(path, QString::fromLocal8Bit(process.readAllStandardError()).simplified());
        return false;
    }
    return true;
}

void usage()
{
    std::fprintf(
        stderr,
        "usage: dialtrace-bench [--quick] [--verbose] [--keep] [--dialtrace PATH] [--demo PATH]\n"
        "  --quick          a 15 s clip for the tick schedule instead of 60 s\n"
        "  --verbose        pass on the programs' diagnostics and the memory at each step\n"
        "  --keep           keep the working directory (clips, temp.csv, exported pictures)\n"
        "  --dialtrace PATH the program to time at start-up (default: beside this one)\n"
        "  --demo PATH      the clip of the whole run (default: samples/demo.avi)\n");
}

// Without a display there are no windows to map or expose: borrow a private X server.
void ensureDisplay(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("DISPLAY") ||
        qEnvironmentVariableIsSet("DIALTRACE_BENCH_NO_XVFB"))
        return;
    qputenv("DIALTRACE_BENCH_NO_XVFB", "1");
    std::vector<char *> arguments = {const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                                     const_cast<char *>("-s"),
                                     const_cast<char *>("-screen 0 1280x1024x24")};
    for (int i = 0; i < argc; ++i)
        arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    execvp("xvfb-run", arguments.data());
    std::fprintf(stderr, "dialtrace-bench: no DISPLAY and no xvfb-run; run it under an X server\n");
}

} // namespace

int main(int argc, char *argv[])
{
    ensureDisplay(argc, argv);
    // The figures are about windows on an X display, also where the caller prefers offscreen.
    qputenv("QT_QPA_PLATFORM", "xcb");
    Startup::prepareEnvironment();
    QApplication app(argc, argv);
    Startup::prepareApplication();

    QStringList arguments = QCoreApplication::arguments().mid(1);
    bool quick = false;
    bool verbose = false;
    bool keep = false;
    QString dialtrace = QCoreApplication::applicationDirPath() + QStringLiteral("/dialtrace");
    QString demo = QStringLiteral(DIALTRACE_SOURCE_DIR "/samples/demo.avi");
    while (!arguments.isEmpty()) {
        const QString option = arguments.takeFirst();
        const auto value = [&]() -> QString {
            if (arguments.isEmpty()) {
                usage();
                std::exit(2);
            }
            return arguments.takeFirst();
        };
        if (option == QLatin1String("--quick"))
            quick = true;
        else if (option == QLatin1String("--verbose"))
            verbose = true;
        else if (option == QLatin1String("--keep"))
            keep = true;
        else if (option == QLatin1String("--dialtrace"))
            dialtrace = value();
        else if (option == QLatin1String("--demo"))
            demo = value();
        else if (option == QLatin1String("--child-idle"))
            return childIdle(value());
        else if (option == QLatin1String("--child-demo"))
            return childDemo(value(), 200);
        else {
            usage();
            return 2;
        }
    }

    QTemporaryDir work;
    if (!work.isValid()) {
        progress(QStringLiteral("no temporary directory"));
        return 2;
    }
    if (keep) {
        work.setAutoRemove(false);
        progress(QStringLiteral("clips, results files and pictures are kept in ") + work.path());
    }
    const double tickSeconds = quick ? 15.0 : 60.0;
    const QString tickClip = work.path() + QStringLiteral("/ticks.wav");
    QString error;
    if (!makeClip(tickClip, tickSeconds, &error)) {
        progress(error);
        return 2;
    }

    QList<Figure> figures;
    progress(QStringLiteral("start-up of %1, 5 starts").arg(dialtrace));
    const Figure start = startUp(dialtrace, verbose);
    progress(QStringLiteral("finishing and image export on a 900 s table, 5 runs"));
    const QList<Figure> finishing = finishingAndExport(work.path());
    progress(QStringLiteral("recording tick schedule over a %1 s clip").arg(tickSeconds));
    figures.append(tickSchedule(tickClip, tickSeconds, work.path()));
    const QList<Figure> demoFigures = demoRun(demo, verbose);
    figures.append(demoFigures.value(0));
    figures.append(waitingCostsNothing(verbose, work.path()));
    figures.append(start);
    figures.append(finishing);
    figures.append(demoFigures.value(1));
    progress(QStringLiteral("collating and drawing 200 runs of 901 s"));
    figures.append(collateFigures(work.path()));

    std::printf("\nDialtrace benchmark%s on %ld cores\n\n", quick ? " (quick)" : "",
                sysconf(_SC_NPROCESSORS_ONLN));
    printTable(figures);
    for (const Figure &f : figures) {
        if (!f.measuredAtAll || !f.pass)
            return 1;
    }
    return 0;
}
