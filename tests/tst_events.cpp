// Rating without looking away (keys and the wheel on the rating screen), and the event log that
// keeps every moment of a run beside its results file.

#include "eventcheck.h"
#include "eventlog.h"
#include "outputform.h"
#include "recordingclock.h"
#include "support.h"

class TestEvents : public QObject
{
    Q_OBJECT
private slots:
    // Each second is taken at its own moment, however late or early the tick that asks.
    void recordingClock_data()
    {
        QTest::addColumn<qint64>("origin");
        QTest::addColumn<QList<qint64>>("ticks");
        QTest::addColumn<QList<qint64>>("moments");
        QTest::newRow("on time") << qint64(0) << QList<qint64>{1000, 2000}
                                 << QList<qint64>{1000, 2000};
        QTest::newRow("a tick a moment early takes nothing")
            << qint64(0) << QList<qint64>{999, 1001} << QList<qint64>{1000};
        QTest::newRow("a late tick catches up, each second at its moment")
            << qint64(300) << QList<qint64>{3350} << QList<qint64>{1300, 2300, 3300};
        QTest::newRow("the same moment asked twice takes it once")
            << qint64(0) << QList<qint64>{1000, 1000} << QList<qint64>{1000};
    }
    void recordingClock()
    {
        QFETCH(qint64, origin);
        QFETCH(QList<qint64>, ticks);
        RecordingClock clock;
        QVERIFY(!clock.takeDue(origin + 5000));
        clock.start(origin);
        QList<qint64> moments;
        for (const qint64 tick : ticks) {
            while (const auto due = clock.takeDue(tick))
                moments << *due;
        }
        QTEST(moments, "moments");
        clock.stop();
        QVERIFY(!clock.takeDue(origin + 100000));
    }

    // Each key or notch is one press of its button, whatever has the focus; nothing else moves.
    void keysAndWheel_data()
    {
        QTest::addColumn<bool>("two");
        QTest::addColumn<QString>("input");  // k:KEY[:mods][:repeat] or w:X:Y, space-separated
        QTest::addColumn<QString>("target"); // the control that has the focus or the pointer
        QTest::addColumn<QString>("expected");
        QTest::newRow("Up arrow") << false << "k:up"
                                  << "Command3"
                                  << "1 0 / 1 0 0 0";
        QTest::newRow("Down arrow twice") << false << "k:down k:down"
                                          << "Command1"
                                          << "-2 0 / 0 2 0 0";
        QTest::newRow("keypad 8 and 2") << false << "k:8:keypad k:8:keypad k:2:keypad"
                                        << "Command2"
                                        << "1 0 / 2 1 0 0";
        QTest::newRow("a key held down counts once") << false << "k:up k:up:repeat k:up:repeat"
                                                     << "Command3"
                                                     << "1 0 / 1 0 0 0";
        QTest::newRow("Ctrl+Up is no press") << false << "k:up:ctrl"
                                             << "Command3"
                                             << "0 0 / 0 0 0 0";
        QTest::newRow("W and S") << true << "k:w k:w k:s k:w"
                                 << "Command1"
                                 << "0 2 / 0 0 3 1";
        QTest::newRow("W and S in a one-variable run") << false << "k:w k:s"
                                                       << "Command1"
                                                       << "0 0 / 0 0 0 0";
        QTest::newRow("wheel up and down over the picture") << false << "w:0:120 w:0:120 w:0:-120"
                                                            << "WindowsMediaPlayer1"
                                                            << "1 0 / 2 1 0 0";
        QTest::newRow("a fine wheel adds up to a notch") << false << "w:0:40 w:0:40 w:0:39 w:0:1"
                                                         << "Command3"
                                                         << "1 0 / 1 0 0 0";
        QTest::newRow("wheel over the position slider") << false << "w:0:-120"
                                                        << "seek"
                                                        << "-1 0 / 0 1 0 0";
        QTest::newRow("wheel tilted right and left") << true << "w:-120:0 w:-120:0 w:120:0"
                                                     << "Command3"
                                                     << "0 1 / 0 0 2 1";
        QTest::newRow("tilt in a one-variable run") << false << "w:-120:0"
                                                    << "Command3"
                                                    << "0 0 / 0 0 0 0";
    }
    void keysAndWheel()
    {
        QFETCH(bool, two);
        QFETCH(QString, input);
        QFETCH(QString, target);
        Session s;
        MainForm &rating = *s.toRating(two);
        QWidget *to = child(&rating, target.toLatin1().constData());
        to->setFocus();
        QWidget *focused = QApplication::focusWidget();
        auto *slider = child<QSlider>(&rating, "seek");
        for (const QString &step : input.split(' ')) {
            const QStringList part = step.split(':');
            if (part[0] == "w") {
                sendWheel(to, {part[1].toInt(), part[2].toInt()});
                continue;
            }
            const int key = part[1] == "up"     ? Qt::Key_Up
                            : part[1] == "down" ? Qt::Key_Down
                            : part[1] == "w"    ? Qt::Key_W
                            : part[1] == "s"    ? Qt::Key_S
                            : part[1] == "8"    ? Qt::Key_8
                                                : Qt::Key_2;
            Qt::KeyboardModifiers modifiers;
            if (part.contains("keypad"))
                modifiers |= Qt::KeypadModifier;
            if (part.contains("ctrl"))
                modifiers |= Qt::ControlModifier;
            sendKey(to, key, modifiers, part.contains("repeat"));
        }
        QTEST(levelsAndCounts(rating.state()), "expected");
        QCOMPARE(QApplication::focusWidget(), focused);
        QCOMPARE(slider->value(), 500);
        QVERIFY(!s.order.outputForm());
        // Each press shows on the meter at once.
        QCOMPARE(child(&rating, "BluePos")->isVisible(), rating.state().Level1 > 0);
    }

    // No key ends a run or moves the focus, in any order: the buttons take no focus, so Tab never
    // reaches "Finished!", and Space, Return, Enter and Escape press nothing.
    void noKeyEndsARun_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("Tab three times, then Space") << "tab tab tab space";
        QTest::newRow("Shift+Tab, then Return") << "backtab return";
        QTest::newRow("Tab five times, then Enter") << "tab tab tab tab tab enter";
        QTest::newRow("Escape, Return, Space") << "escape return space";
        QTest::newRow("Tab and Shift+Tab, Space between") << "tab space backtab space tab return";
    }
    void noKeyEndsARun()
    {
        QFETCH(QString, keys);
        Session s;
        MainForm &rating = *s.toRating(true);
        rating.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rating));
        for (const QString &key : keys.split(' ')) {
            const int code = key == "tab"       ? Qt::Key_Tab
                             : key == "backtab" ? Qt::Key_Backtab
                             : key == "space"   ? Qt::Key_Space
                             : key == "return"  ? Qt::Key_Return
                             : key == "enter"   ? Qt::Key_Enter
                                                : Qt::Key_Escape;
            QWidget *focused = QApplication::focusWidget();
            QTest::keyClick(focused ? focused : &rating, Qt::Key(code));
        }
        QVERIFY(!s.order.outputForm());
        QVERIFY(rating.isVisible());
        const auto counts = rating.state();
        QCOMPARE(counts.IncreaseClicks1 + counts.DecreaseClicks1 + counts.IncreaseClicks2 +
                     counts.DecreaseClicks2,
                 0);
    }

    // A whole run: buttons, keys, the wheel, the player's controls and "Finished!" leave an event
    // log beside temp.csv that keeps every rule, and the export takes both files along.
    void eventLogOfARun_data()
    {
        QTest::addColumn<bool>("two");
        QTest::newRow("one variable") << false;
        QTest::newRow("two variables") << true;
    }
    void eventLogOfARun()
    {
        QFETCH(bool, two);
        Session s;
        MainForm &rating = *s.toRating(two);
        s.now = 300;
        sendKey(&rating, Qt::Key_Up); // before the recording: a negative time
        s.player.playing = 0.3;
        s.now = 700;
        s.player.arrive(12.0);
        rating.checkLength();
        const qint64 started = s.now;
        for (int tick = 1; tick <= 5; ++tick) {
            s.now = started + tick * 1000 - 400;
            s.player.playing = tick;
            child<QPushButton>(&rating, "Command1")->click();
            sendWheel(&rating, {0, 240});
            if (two)
                sendKey(&rating, Qt::Key_S);
            if (tick == 3) {
                s.player.use(MediaPlayer::Control::Pause, 3.0);
                s.player.use(MediaPlayer::Control::Seek, 7.25);
                s.player.use(MediaPlayer::Control::Play, 7.25);
            }
            s.now = started + tick * 1000;
            rating.recordSample();
        }
        emit s.player.endReached();
        // "Finished!" a second and a half on: the sample due meanwhile is taken first, at its time.
        s.now += 1500;
        OutputForm &output = s.finish();

        const EventCheck::Counts counts = {
            text(&output, "TimesClickedPos").toInt(), text(&output, "TimesClickedNeg").toInt(),
            text(&output, "Label5").toInt(), text(&output, "Label7").toInt()};
        QList<RunEvent> events;
        const QStringList problems =
            EventCheck::fileProblems(s.order.resultsFilePath(), &counts, true, &events);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char(10))));
        QCOMPARE(events.first().time, qint64(-400));
        QCOMPARE(events.first().media, RunEvent::NoMedia);
        QCOMPARE(events.last().kind, RunEvent::Kind::Finished);
        QStringList seen;
        for (const RunEvent &e : events)
            seen << EventLog::kindName(e.kind) + '/' + EventLog::sourceName(e.source);
        for (const char *wanted : {"increase/key", "increase/button", "increase/wheel", "sample/",
                                   "fall-back/", "pause/", "seek/", "play/", "end/"})
            QVERIFY2(seen.contains(wanted), wanted);
        const RunEvent seek = events[seen.indexOf("seek/")];
        QCOMPARE(seek.media, qint64(7250));
        const QList<QByteArray> lines = readAll(s.order.eventLogPath()).split('\n');
        QCOMPARE(lines[0], EventLog::header() + '\r');
        QCOMPARE(lines[1], "-400,,increase,1,1," + QByteArray(two ? "0" : "") + ",,key\r");

        s.dialogs.saveAnswers = {s.path("Ann Mood.csv")};
        child<QPushButton>(&output, "Command3")->click();
        QCOMPARE(readAll(s.path("Ann Mood.events.csv")), output.eventBytes());
        QVERIFY(!QFile::exists(s.order.eventLogPath()) &&
                !QFile::exists(s.order.resultsFilePath()));
    }
};

DIALTRACE_TEST_CASE(TestEvents, "events")
#include "tst_events.moc"
