#include "fakedialogs.h"
#include "fakemediaplayer.h"
#include "mainform.h"
#include "setuprecord.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QStringList Segments = {"RedPos",  "OrangePos", "YellowPos", "GreenPos",  "BluePos",
                              "BlueNeg", "GreenNeg",  "YellowNeg", "OrangeNeg", "RedNeg"};

SetupRecord makeRecord(bool two, const QString &v1 = "Mood", const QString &v2 = "Stress")
{
    SetupRecord r;
    r.SubjectName = "Ann";
    r.Variable = v1;
    r.Variable2 = two ? v2 : QString();
    r.Variable2Enabled = two;
    r.FileFullPath = "/clips/clip.avi";
    return r;
}

// A rating screen with its fakes, shown as the order of screens shows it.
struct Run
{
    explicit Run(bool two) : setup(makeRecord(two)), form(setup, player, dialogs) { form.show(); }

    template <typename T = QWidget> T *find(const QString &name)
    {
        return form.findChild<T *>(name);
    }
    QString text(const char *label) { return find<QLabel>(label)->text(); }
    // Lit segments of a meter, top row to bottom row, as X and dots.
    QString meter(const QString &suffix)
    {
        QString shown;
        for (const QString &name : Segments)
            shown += find(name + suffix)->isVisible() ? QLatin1Char('X') : QLatin1Char('.');
        return shown;
    }
    // The length is known at Timer4's first tick, then ticks of the recording timer.
    void record(double seconds, int ticks)
    {
        player.arrive(seconds);
        form.checkLength();
        for (int i = 0; i < ticks; ++i)
            form.recordSample();
    }

    SetupRecord setup;
    FakeMediaPlayer player;
    FakeDialogs dialogs;
    MainForm form;
};

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void timers();
    void geometry();
    void buttonsMoveLevelsAndMeters();
    void meterFollowsFallBack();
    void recording_data();
    void recording();
    void presses_between_ticks_are_stored();
    void lengthArrival_data();
    void lengthArrival();
    void clipThatNeverOpens();
    void tooLongIsRefused();
    void unplayableClip();
    void frameClose_data();
    void frameClose();
    void stopRun();
};

void TestMainForm::load_data()
{
    QTest::addColumn<bool>("two");
    QTest::newRow("one variable") << false;
    QTest::newRow("two variables") << true;
}

void TestMainForm::load()
{
    QFETCH(bool, two);
    Run run(two);

    QCOMPARE(run.form.windowTitle(), QStringLiteral("Orvan Dialtrace"));
    QCOMPARE(run.player.url, QStringLiteral("/clips/clip.avi"));
    QCOMPARE(run.player.setUrlCalls, 1);
    QCOMPARE(run.form.recordRow(), 1);
    QCOMPARE(run.form.state().TwoVariables, two);
    QCOMPARE(run.find<QPushButton>("Command1")->text(), QStringLiteral("Increase Mood"));
    QCOMPARE(run.find<QPushButton>("Command2")->text(), QStringLiteral("Decrease Mood"));
    QCOMPARE(run.find<QPushButton>("Command3")->text(), QStringLiteral("Finished!"));
    QCOMPARE(run.text("Label1"),
             two ? QStringLiteral("Level of Mood vs. Stress") : QStringLiteral("Level of Mood"));
    QCOMPARE(run.find("Command4")->isVisible(), two);
    QCOMPARE(run.find("Command5")->isVisible(), two);
    QCOMPARE(run.find("Picture12")->isVisible(), two);
    QVERIFY(run.find("Picture1")->isVisible());
    if (two) {
        QCOMPARE(run.find<QPushButton>("Command4")->text(), QStringLiteral("Increase Stress"));
        QCOMPARE(run.find<QPushButton>("Command5")->text(), QStringLiteral("Decrease Stress"));
    }
    QCOMPARE(run.meter(""), QStringLiteral(".........."));
    QCOMPARE(run.meter("2"), QStringLiteral(".........."));
    QCOMPARE(run.text("Label5"), QStringLiteral("Loading..."));
    QCOMPARE(run.text("Label6"), QStringLiteral("Loading..."));
    QCOMPARE(run.text("Label7"), QStringLiteral("Seconds of Data to be stored"));
    QCOMPARE(run.text("Label8"), QStringLiteral("Length of Clip (in seconds)"));
    QCOMPARE(run.text("Label2"), QStringLiteral("+5"));
    QCOMPARE(run.text("Label3"), QStringLiteral("0"));
    QCOMPARE(run.text("Label4"), QStringLiteral("-5"));
    QVERIFY(run.find("WindowsMediaPlayer1")->isVisible());

    // With one variable the second level and its counters stay 0 whatever happens.
    run.form.fallBack();
    if (!two) {
        run.form.press(Rating::Button::Increase1);
        QCOMPARE(run.form.state().Level2, 0);
        QCOMPARE(run.form.state().IncreaseClicks2, 0);
        QCOMPARE(run.meter("2"), QStringLiteral(".........."));
    }
}

void TestMainForm::timers()
{
    Run run(true);
    const QList<std::tuple<QString, int, bool>> expected = {{"Timer1", 1000, true},
                                                            {"Timer2", 50, true},
                                                            {"Timer4", 1000, true},
                                                            {"TimeItself", 1000, false}};
    for (const auto &[name, interval, active] : expected) {
        auto *timer = run.form.findChild<QTimer *>(name);
        QVERIFY2(timer, qPrintable(name));
        QCOMPARE(timer->interval(), interval);
        QCOMPARE(timer->isActive(), active);
        QVERIFY(!timer->isSingleShot());
        if (interval == 1000)
            QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    }
}

void TestMainForm::geometry()
{
    Run run(true);
    QCOMPARE(run.form.size(), QSize(730, 482));
    const QList<QPair<QString, QRect>> expected = {{"WindowsMediaPlayer1", QRect(16, 8, 537, 353)},
                                                   {"Command1", QRect(224, 368, 153, 49)},
                                                   {"Command2", QRect(224, 424, 153, 49)},
                                                   {"Command4", QRect(400, 368, 153, 49)},
                                                   {"Command5", QRect(400, 424, 153, 49)},
                                                   {"Command3", QRect(608, 424, 113, 49)},
                                                   {"Picture1", QRect(608, 72, 49, 265)},
                                                   {"Picture12", QRect(672, 72, 49, 265)},
                                                   {"RedPos", QRect(608, 72, 49, 25)},
                                                   {"BluePos", QRect(608, 168, 49, 25)},
                                                   {"BlueNeg", QRect(608, 216, 49, 25)},
                                                   {"RedNeg2", QRect(672, 312, 49, 25)},
                                                   {"Label5", QRect(16, 384, 73, 17)},
                                                   {"Label6", QRect(16, 440, 113, 17)}};
    for (const auto &[name, rect] : expected) {
        QWidget *widget = run.find(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->geometry(), rect);
    }
    QCOMPARE(run.find("RedPos")->palette().color(QPalette::Window), QColor(254, 0, 0));
    QCOMPARE(run.find("GreenNeg2")->palette().color(QPalette::Window), QColor(0, 255, 1));
}

void TestMainForm::buttonsMoveLevelsAndMeters()
{
    Run run(true);
    auto click = [&](const char *name, int times) {
        for (int i = 0; i < times; ++i)
            run.find<QPushButton>(name)->click();
    };
    click("Command1", 6);
    QCOMPARE(run.form.state().Level1, 5);
    QCOMPARE(run.form.state().IncreaseClicks1, 6);
    // The meter shows the new level at once, before Timer2's next refresh.
    QCOMPARE(run.meter(""), QStringLiteral("XXXXX....."));

    click("Command5", 2);
    QCOMPARE(run.form.state().Level2, -2);
    QCOMPARE(run.meter("2"), QStringLiteral(".....XX..."));
    click("Command1", 0);
    click("Command2", 1);
    QCOMPARE(run.meter(""), QStringLiteral(".XXXX....."));
    click("Command4", 1);
    QCOMPARE(run.meter("2"), QStringLiteral(".....X...."));
    QCOMPARE(run.form.state().DecreaseClicks1, 1);
    QCOMPARE(run.form.state().IncreaseClicks2, 1);
    QCOMPARE(run.form.state().DecreaseClicks2, 2);
}

void TestMainForm::meterFollowsFallBack()
{
    Run run(true);
    run.form.press(Rating::Button::Increase1);
    run.form.press(Rating::Button::Increase1);
    run.form.press(Rating::Button::Increase1);
    run.form.press(Rating::Button::Decrease2);
    run.form.fallBack();
    QCOMPARE(run.form.state().Level1, 2);
    QCOMPARE(run.form.state().Level2, 0);
    run.form.refreshMeters();
    QCOMPARE(run.meter(""), QStringLiteral("...XX....."));
    QCOMPARE(run.meter("2"), QStringLiteral(".........."));
}

void TestMainForm::recording_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("length");

    QTest::newRow("3.5 s: three ticks") << 3.5 << 3 << "61"
                                        << "3.5";
    QTest::newRow("0.4 s: one tick") << 0.4 << 1 << "61"
                                     << "0.4";
    QTest::newRow("60.5 s fills to the last row") << 60.5 << 60 << "61"
                                                  << "60.5";
    QTest::newRow("61.0 s") << 61.0 << 61 << "70"
                            << "61";
    QTest::newRow("121.0 s takes one more row") << 121.0 << 121 << "121"
                                                << "121";
}

void TestMainForm::recording()
{
    QFETCH(double, seconds);
    QFETCH(int, ticks);
    QFETCH(QString, rows);
    QFETCH(QString, length);

    Run run(false);
    run.player.arrive(seconds);
    run.form.checkLength();
    QVERIFY(run.form.isRecording());
    QCOMPARE(run.text("Label5"), QStringLiteral("Loading..."));
    for (int tick = 1; tick <= ticks; ++tick) {
        QVERIFY2(run.form.isRecording(), qPrintable(QString::number(tick)));
        run.form.press(tick % 2 ? Rating::Button::Increase1 : Rating::Button::Decrease1);
        run.form.recordSample();
        QCOMPARE(run.form.recordRow(), tick + 1);
    }
    QVERIFY(!run.form.isRecording());
    QCOMPARE(run.text("Label5"), rows);
    QCOMPARE(run.text("Label6"), QString(length).replace('.', QLocale().decimalPoint()));

    const RecordTable *table = run.form.table();
    QVERIFY(table);
    for (int row = 2; row <= ticks + 1; ++row) {
        QCOMPARE(table->cell(row, 1), std::optional<qint16>(row % 2 ? 0 : 1));
        // One variable: column 2 still holds a 0 in every stored row.
        QCOMPARE(table->cell(row, 2), std::optional<qint16>(0));
    }
    QVERIFY(!table->cell(1, 1));
    QVERIFY(!table->cell(ticks + 2, 1));
}

void TestMainForm::presses_between_ticks_are_stored()
{
    Run run(true);
    run.record(30.0, 0);
    run.form.press(Rating::Button::Increase1);
    run.form.press(Rating::Button::Increase1);
    run.form.press(Rating::Button::Decrease2);
    run.form.recordSample();
    run.form.fallBack();
    run.form.recordSample();
    run.form.fallBack();
    run.form.fallBack();
    run.form.recordSample();
    const RecordTable *table = run.form.table();
    QCOMPARE(table->cell(2, 1), std::optional<qint16>(2));
    QCOMPARE(table->cell(2, 2), std::optional<qint16>(-1));
    QCOMPARE(table->cell(3, 1), std::optional<qint16>(1));
    QCOMPARE(table->cell(3, 2), std::optional<qint16>(0));
    QCOMPARE(table->cell(4, 1), std::optional<qint16>(0));
    QVERIFY(run.form.isRecording());
}

void TestMainForm::lengthArrival_data()
{
    QTest::addColumn<QList<double>>("before"); // lengths reported before Timer4's first tick
    QTest::addColumn<QList<double>>("after");  // and after it
    QTest::addColumn<int>("lastRow");

    QTest::newRow("known before the first tick") << QList<double>{45.0} << QList<double>{} << 61;
    QTest::newRow("arrives after the first tick") << QList<double>{} << QList<double>{45.0} << 61;
    QTest::newRow("0 first, then the length")
        << QList<double>{0.0} << QList<double>{0.0, 100.0} << 121;
    QTest::newRow("first non-zero length decides")
        << QList<double>{} << QList<double>{61.0, 500.0} << 70;
}

void TestMainForm::lengthArrival()
{
    QFETCH(QList<double>, before);
    QFETCH(QList<double>, after);
    QFETCH(int, lastRow);

    Run run(false);
    for (double seconds : before)
        run.player.arrive(seconds);
    QVERIFY(!run.form.table());
    run.form.checkLength();
    for (double seconds : after)
        run.player.arrive(seconds);
    QVERIFY(run.form.table());
    QCOMPARE(run.form.table()->lastRow(), lastRow);
    QVERIFY(run.form.isRecording());
    QVERIFY(!run.form.isWaitingForLength());
    // Timer4 does its work once.
    QVERIFY(!run.form.findChild<QTimer *>("Timer4")->isActive());
}

void TestMainForm::clipThatNeverOpens()
{
    Run run(false);
    run.form.checkLength();
    QVERIFY(run.form.isWaitingForLength());
    QVERIFY(!run.form.findChild<QTimer *>("Timer4")->isActive());
    for (int i = 0; i < 5; ++i) {
        run.form.fallBack();
        run.form.press(Rating::Button::Increase1);
    }
    QCOMPARE(run.form.state().Level1, 1);
    QCOMPARE(run.form.state().IncreaseClicks1, 5);
    QVERIFY(!run.form.table());
    QVERIFY(!run.form.isRecording());
    QCOMPARE(run.text("Label5"), QStringLiteral("Loading..."));
    QCOMPARE(run.text("Label6"), QStringLiteral("Loading..."));
    QVERIFY(run.dialogs.messages.isEmpty());
}

void TestMainForm::tooLongIsRefused()
{
    for (double seconds : {901.01, 3600.0}) {
        Run run(true);
        QSignalSpy closing(&run.form, &MainForm::closeAllRequested);
        int closedBeforeMessage = -1;
        run.dialogs.onMessage = [&](const QString &) {
            closedBeforeMessage = run.player.closeCalls;
        };
        run.record(seconds, 0);
        QCOMPARE(closedBeforeMessage, 1);
        QCOMPARE(
            run.dialogs.messages,
            QStringList{"This movie file is too big to fit in the memory and allow the computer "
                        "to properly function.  In order to properly process this video, "
                        "please limit the size to under 15 minutes.  Please restart the "
                        "application, and select a smaller file."});
        QCOMPARE(closing.count(), 1);
        QVERIFY(!run.form.isRecording());
    }
    Run accepted(true);
    QSignalSpy closing(&accepted.form, &MainForm::closeAllRequested);
    accepted.record(901.0, 1);
    QCOMPARE(closing.count(), 0);
    QCOMPARE(accepted.text("Label5"), QStringLiteral("901"));
    QVERIFY(accepted.dialogs.messages.isEmpty());
}

void TestMainForm::unplayableClip()
{
    Run run(true);
    run.player.fail("The file is not a clip that can be played.");
    run.player.fail("Again.");
    QCOMPARE(run.dialogs.messages.size(), 1);
    QVERIFY(run.dialogs.messages.first().contains("/clips/clip.avi"));
    QVERIFY(run.dialogs.messages.first().contains("The file is not a clip that can be played."));
    // The screen stays as it is and keeps working.
    QVERIFY(run.form.isVisible());
    run.form.press(Rating::Button::Decrease2);
    QCOMPARE(run.meter("2"), QStringLiteral(".....X...."));

    SetupRecord noFile = makeRecord(false);
    noFile.FileFullPath.clear();
    FakeMediaPlayer player;
    FakeDialogs dialogs;
    MainForm form(noFile, player, dialogs);
    player.fail("No file was chosen.");
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages, QStringList{NoClipChosen});
}

void TestMainForm::frameClose_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("No goes on with the run") << false;
    QTest::newRow("Yes ends the program") << true;
}

void TestMainForm::frameClose()
{
    QFETCH(bool, answer);
    Run run(false);
    run.record(30.0, 2);
    run.form.press(Rating::Button::Increase1);
    QSignalSpy closing(&run.form, &MainForm::closeAllRequested);
    run.dialogs.confirmAnswer = answer;
    run.form.close();

    QCOMPARE(run.dialogs.questions, QStringList{"End this run without saving the results?"});
    QCOMPARE(closing.count(), answer ? 1 : 0);
    QCOMPARE(run.form.isVisible(), !answer);
    if (!answer) {
        // Untouched: still recording, the level where it was.
        QVERIFY(run.form.isRecording());
        QCOMPARE(run.form.state().Level1, 1);
        QCOMPARE(run.player.closeCalls, 0);
    }
}

void TestMainForm::stopRun()
{
    Run run(false);
    run.record(30.0, 10);
    run.form.stopRun();
    QVERIFY(!run.form.isRecording());
    QCOMPARE(run.player.closeCalls, 1);
    QCOMPARE(run.form.recordRow(), 11);

    // Stopped while still waiting for the length: a late length starts nothing.
    Run waiting(false);
    waiting.form.checkLength();
    waiting.form.stopRun();
    waiting.player.arrive(20.0);
    QVERIFY(!waiting.form.table());
    QVERIFY(!waiting.form.isRecording());

    // Once hidden behind the results, closing asks nothing.
    Run finished(false);
    finished.form.stopRun();
    finished.form.hide();
    finished.form.endForGood();
    finished.form.close();
    QVERIFY(finished.dialogs.questions.isEmpty());
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
