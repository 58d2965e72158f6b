#include "benchsupport.h"
#include "figures.h"

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
    // The recording's ticks as its timer delivers them, and the CPU the whole process takes
    // while the clip plays and the samples go to the journal.
    auto *recording = rating.findChild<QTimer *>(QStringLiteral("TimeItself"));
    TickWatch ticks;
    recording->installEventFilter(&ticks);
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
    answer("press_log_max_us",
           QString::number(double(rating.longestPressLogNanoseconds()) / 1000.0, 'f', 1));

    answer("memory_3_pressed", memoryBreakdown());
    waitFor([&] { return !rating.isRecording(); }, 120000, 200);
    const double cpu = cpuSecondsSoFar() - cpuBefore;
    answer("cpu_percent",
           QString::number(100.0 * cpu * 1000.0 / double(playing.elapsed()), 'f', 1));
    recording->removeEventFilter(&ticks);
    const Stats::Schedule schedule = Stats::schedule(ticks.ticks, 1000.0, 5);
    answer("tick_max_ms", QString::number(schedule.largestError, 'f', 2));
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

QList<Figure> demoRun(const QString &clip, bool verbose, const QString &label,
                      double memoryTargetMegabytes)
{
    Figure press{QStringLiteral("press to meter (%1)").arg(label),
                 {},
                 QStringLiteral("<= 16 ms every press"),
                 false,
                 false};
    Figure memory{QStringLiteral("memory (%1)").arg(label),
                  {},
                  QStringLiteral("peak RSS <= %1 MB").arg(memoryTargetMegabytes),
                  false,
                  false};
    Figure ticks{QStringLiteral("recording ticks (%1)").arg(label),
                 {},
                 QStringLiteral("max error <= 5 ms"),
                 false,
                 false};
    Figure cpu{QStringLiteral("CPU while playing (%1)").arg(label),
               {},
               QStringLiteral("<= 60 % of one core"),
               false,
               false};
    Figure pressLog{QStringLiteral("a press on the event log (%1)").arg(label),
                    {},
                    QStringLiteral("< 0.2 ms every press"),
                    false,
                    false};
    const QList<Figure *> all = {&press, &pressLog, &memory, &ticks, &cpu};
    const auto none = [&](const QString &why) {
        for (Figure *f : all)
            f->measured = QStringLiteral("not measured: ") + why;
        return QList<Figure>{press, pressLog, memory, ticks, cpu};
    };
    if (!QFileInfo::exists(clip))
        return none(QStringLiteral("no clip at ") + clip);
    progress(
        QStringLiteral("whole run on %1 with 200 presses").arg(QDir::toNativeSeparators(clip)));
    const auto values = runChild({QStringLiteral("--child-demo"), clip}, 240000, verbose);
    if (verbose) {
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (it.key().startsWith(QLatin1String("memory_")))
                progress(it.key() + QStringLiteral(": ") + it.value());
        }
    }
    if (values.contains(QStringLiteral("error")))
        return none(values.value(QStringLiteral("error")));
    for (Figure *f : all)
        f->measuredAtAll = true;
    const auto value = [&](const char *key) { return values.value(QLatin1String(key)); };
    const double pressMax = value("press_max_ms").toDouble();
    const int counted = value("press_count").toInt();
    const int unpainted = value("press_unpainted").toInt();
    press.measured = QStringLiteral("max %1, median %2 (%3 presses in %4 s of playback)")
                         .arg(ms(pressMax), ms(value("press_median_ms").toDouble()))
                         .arg(counted)
                         .arg(value("press_seconds"));
    if (value("press_while_playing") != QLatin1String("1"))
        press.measured += QStringLiteral(" - the clip had stopped before the last press");
    if (unpainted > 0)
        press.measured += QStringLiteral(", %1 never painted within 1 s").arg(unpainted);
    press.pass = counted >= 200 && unpainted == 0 && pressMax <= 16.0;
    const double logMicroseconds = value("press_log_max_us").toDouble();
    pressLog.measured = QStringLiteral("max %1 us").arg(value("press_log_max_us"));
    pressLog.pass = logMicroseconds < 200.0;

    const double megabytes = value("vmhwm_kb").toDouble() / 1024.0;
    const int recorded = value("recorded_ticks").toInt();
    memory.measured =
        QStringLiteral("VmHWM %1 MB (%2 ticks recorded, ended %3)")
            .arg(QString::number(megabytes, 'f', 1))
            .arg(recorded)
            .arg(value("ended") == QLatin1String("1") ? QStringLiteral("cleanly")
                                                      : QStringLiteral("NOT cleanly"));
    memory.pass = megabytes > 0 && megabytes <= memoryTargetMegabytes &&
                  recorded >= value("clip_seconds").toInt() - 1;

    const double tickMax = value("tick_max_ms").toDouble();
    ticks.measured = QStringLiteral("max %1; journal at most %2 us of a tick")
                         .arg(ms(tickMax), value("journal_max_us"));
    ticks.pass = tickMax <= 5.0;
    const double percent = value("cpu_percent").toDouble();
    cpu.measured = QStringLiteral("%1 % of one core").arg(QString::number(percent, 'f', 1));
    cpu.pass = percent <= 60.0;
    return {press, pressLog, memory, ticks, cpu};
}
