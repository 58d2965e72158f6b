#include "benchsupport.h"
#include "cpuwatch.h"
#include "figures.h"
#include "framewatch.h"
#include "picturesink.h"

int childIdle(const QString &clip)
{
    QTemporaryDir directory;
    GstMediaPlayer player;
    Session session(directory.path(), &player);
    if (!session.toRating(true, clip)) {
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
    GstMediaPlayer player;
    Session session(directory.path(), &player);
    // The whole way ends at "Close": a question on the way is answered Yes, as by an operator who
    // means to end the run.
    session.dialogs.confirmAnswer = true;
    if (!session.toRating(true, clip)) {
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
    // The recording's ticks as its timer delivers them, and the CPU the whole process takes
    // while the clip plays and the samples go to the journal.
    auto *recording = rating.findChild<QTimer *>(QStringLiteral("TimeItself"));
    TickWatch ticks;
    recording->installEventFilter(&ticks);
    const FrameWatch frames(player, ticks.clock);
    const ThreadTimes threads;
    const double waitingBefore = benchWaitingCpuSeconds();
    const double cpuBefore = cpuSecondsSoFar();
    QElapsedTimer playing;
    playing.start();
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
        // A moment's pause in the event loop, which the program's CPU figure should not carry.
        idle(5);
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
    answer("press_log_max_us",
           QString::number(double(rating.longestPressLogNanoseconds()) / 1000.0, 'f', 1));

    answer("memory_3_pressed", memoryBreakdown());
    waitFor([&] { return !rating.isRecording(); }, 120000, 200);
    const double cpu = cpuSecondsSoFar() - cpuBefore;
    const double wall = double(playing.elapsed()) / 1000.0;
    answer("cpu_percent", QString::number(100.0 * cpu / wall, 'f', 1));
    answer("bench_waiting_percent",
           QString::number(100.0 * (benchWaitingCpuSeconds() - waitingBefore) / wall, 'f', 1));
    answer("threads", threads.sharesSince(wall));
    answer("skipped", QString::number(player.pictureSink().pacer().skipped()));
    answer("decoder", player.decoder());
    recording->removeEventFilter(&ticks);
    const Stats::Schedule schedule = Stats::schedule(ticks.ticks, 1000.0, 5);
    answer("tick_max_ms", QString::number(schedule.largestError, 'f', 2));
    // Pictures shown from the first tick for as long as the clip surely still plays: it
    // started about two ticks before and ends about one tick before the recording does.
    const double window = std::max(5.0, player.duration() - 4.0);
    if (frames.isWatching() && !ticks.ticks.empty()) {
        const qint64 from = ticks.ticks.front();
        answer("frames_shown",
               QString::number(frames.countBetween(from, from + qint64(window * 1e9))));
        answer("frames_window_s", QString::number(window, 'f', 1));
        answer("frames_gap_ms",
               QString::number(double(frames.longestGap(from, from + qint64(window * 1e9))) / 1e6,
                               'f', 1));
    }
    answer("journal_max_us",
           QString::number(double(session.order.journal()->longestAppendNanoseconds()) / 1000.0,
                           'f', 1));
    answer("memory_4_clip_done", memoryBreakdown());
    answer("recorded_ticks", QString::number(rating.recordRow() - 1));
    answer("clip_seconds", QString::number(int(player.duration())));
    rating.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    OutputForm *output = session.order.outputForm();
    waitFor([&] { return isOnScreen(output); }, 5000);
    idle(300);
    answer("memory_5_results", memoryBreakdown());
    session.dialogs.saveAnswers = {directory.path() + QStringLiteral("/demo.jpg")};
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
