#include "fakedialogs.h"
#include "fakemediaplayer.h"
#include "resultsfile.h"
#include "screenorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

QStringList visibleWindows()
{
    QStringList names;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            names << w->objectName();
    }
    names.sort();
    return names;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Drives the order of screens from start-up to the rating screen, as an operator would.
struct Session
{
    explicit Session(const QString &directory) : order(dialogs, player, directory) {}

    void toRatingScreen(bool two, const QString &clip = "/clips/a.avi")
    {
        order.start();
        order.splash()->handOver();
        VariableForm &form = *order.variableForm();
        form.findChild<QLineEdit *>("Text1")->setText("Ann");
        form.findChild<QLineEdit *>("Text2")->setText("Trust");
        form.findChild<QLineEdit *>("Text3")->setText("6.12.2026");
        if (two) {
            form.findChild<QCheckBox *>("Check1")->click();
            form.findChild<QLineEdit *>("Text4")->setText("Fear");
        }
        dialogs.openAnswers = {clip};
        form.findChild<QPushButton *>("Command1")->click();
        order.instructionsForm()->findChild<QPushButton *>("Command1")->click();
    }

    FakeDialogs dialogs;
    FakeMediaPlayer player;
    ScreenOrder order;
};

} // namespace

class TestScreenOrder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void screensFollowOneAnother();
    void finishing_data();
    void finishing();
    void finishingBeforeTheLengthIsKnown();
    void resultsFileCannotBeWritten();
    void refusalClosesEverything();
    void cancelEndsTheProgram();
    void closingTheSplashEndsTheProgram();
    void closingTheRatingScreen();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestScreenOrder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestScreenOrder::cleanup()
{
    m_dir.reset();
    QVERIFY(visibleWindows().isEmpty());
}

void TestScreenOrder::screensFollowOneAnother()
{
    Session s(m_dir->path());
    s.order.start();
    QCOMPARE(visibleWindows(), QStringList{"Form1"});
    s.order.splash()->handOver();
    QCOMPARE(visibleWindows(), QStringList{"VariableForm"});
    // The splash is closed for good.
    QTRY_VERIFY(!s.order.splash());

    s.dialogs.openAnswers = {"/clips/a.avi"};
    s.order.variableForm()->ok();
    QCOMPARE(visibleWindows(), QStringList{"InstructionsForm"});
    s.order.instructionsForm()->proceed();
    QCOMPARE(visibleWindows(), QStringList{"MainForm"});
    QTRY_VERIFY(!s.order.instructionsForm());
    QCOMPARE(s.player.url, QStringLiteral("/clips/a.avi"));

    QSignalSpy ended(&s.order, &ScreenOrder::ended);
    s.order.mainForm()->findChild<QPushButton *>("Command3")->click();
    QCOMPARE(visibleWindows(), QStringList{"OutputForm"});
    s.order.outputForm()->findChild<QPushButton *>("Command2")->click();
    QCOMPARE(ended.count(), 1);
    QVERIFY(visibleWindows().isEmpty());
}

void TestScreenOrder::finishing_data()
{
    QTest::addColumn<bool>("two");
    QTest::newRow("one variable") << false;
    QTest::newRow("two variables") << true;
}

void TestScreenOrder::finishing()
{
    QFETCH(bool, two);
    Session s(m_dir->path());
    s.toRatingScreen(two);
    MainForm &rating = *s.order.mainForm();
    s.player.arrive(30.0);
    rating.checkLength();
    for (int tick = 0; tick < 10; ++tick) {
        rating.press(Rating::Button::Increase1);
        if (two)
            rating.press(Rating::Button::Decrease2);
        rating.recordSample();
    }
    rating.findChild<QPushButton *>("Command3")->click();

    OutputForm &output = *s.order.outputForm();
    QVERIFY(output.isVisible());
    QVERIFY(!rating.isVisible());
    QVERIFY(!rating.isRecording());
    QCOMPARE(s.player.closeCalls, 1);
    QCOMPARE(output.findChild<QLabel *>("TimesClickedPos")->text(), QStringLiteral("10"));
    QCOMPARE(output.findChild<QLabel *>("TimesClickedNeg")->text(), QStringLiteral("0"));
    QCOMPARE(output.findChild<QLabel *>("Label7")->text(),
             two ? QStringLiteral("10") : QStringLiteral("0"));
    QCOMPARE(output.findChild<QLabel *>("Label7")->isVisible(), two);
    QCOMPARE(output.chart().rowCount(), 61);
    QCOMPARE(output.chart().series(1)[10], std::optional<int>(5)); // row 11
    QVERIFY(!output.chart().series(1)[11]);

    const QByteArray expected =
        ResultsFile::bytes(s.order.variableForm()->record(), two, rating.table());
    QCOMPARE(fileBytes(s.order.resultsFilePath()), expected);
    QCOMPARE(output.resultsBytes(), expected);
    QVERIFY(expected.startsWith("This program was generated by Orvan Dialtrace v2.\r\nCreated on "
                                "6.12.2026 for subject Ann\r\n"));
    QVERIFY(expected.contains(two ? "\r\n11,5,-5\r\n12,,\r\n" : "\r\n11,5\r\n12,\r\n"));
    QVERIFY(s.dialogs.messages.isEmpty());

    // Pressing again, as a double click would, changes nothing.
    s.order.finishRun();
    QCOMPARE(s.order.outputForm(), &output);
    s.order.closeAll();
}

void TestScreenOrder::finishingBeforeTheLengthIsKnown()
{
    Session s(m_dir->path());
    s.toRatingScreen(false);
    s.order.mainForm()->checkLength();
    s.order.mainForm()->press(Rating::Button::Decrease1);
    s.order.finishRun();

    OutputForm &output = *s.order.outputForm();
    QCOMPARE(output.chart().rowCount(), 0);
    QCOMPARE(output.findChild<QLabel *>("TimesClickedNeg")->text(), QStringLiteral("1"));
    const QByteArray bytes = fileBytes(s.order.resultsFilePath());
    QCOMPARE(bytes.count("\r\n"), 8);
    QVERIFY(bytes.endsWith(" \r\n1,0\r\n"));
    s.order.closeAll();
}

void TestScreenOrder::resultsFileCannotBeWritten()
{
    // A directory where the file should be stands for a read-only or full disk, and works for
    // root too.
    QVERIFY(QDir(m_dir->path()).mkdir("temp.csv"));
    Session s(m_dir->path());
    s.toRatingScreen(false);
    s.player.arrive(5.0);
    s.order.mainForm()->checkLength();
    s.order.mainForm()->recordSample();
    s.order.finishRun();

    QCOMPARE(s.dialogs.messages.size(), 1);
    QVERIFY(s.dialogs.messages.first().contains("could not be saved"));
    QVERIFY(s.dialogs.messages.first().contains("Export to Excel"));
    // The results are still there for the export.
    OutputForm &output = *s.order.outputForm();
    const QByteArray bytes = output.resultsBytes();
    QVERIFY(bytes.contains("\r\n2,0\r\n3,\r\n"));
    QVERIFY(output.isVisible());

    // Closing asks before the only copy goes; No keeps the screen.
    QSignalSpy ended(&s.order, &ScreenOrder::ended);
    s.dialogs.confirmAnswer = false;
    output.findChild<QPushButton *>("Command2")->click();
    QCOMPARE(s.dialogs.questions, QStringList{UnsavedQuestion});
    QCOMPARE(ended.count(), 0);
    QVERIFY(output.isVisible());

    // Once exported, Close ends the program without asking.
    const QString exported = m_dir->filePath("exported.csv");
    s.dialogs.saveAnswers = {exported};
    output.findChild<QPushButton *>("Command3")->click();
    QCOMPARE(fileBytes(exported), bytes);
    output.findChild<QPushButton *>("Command2")->click();
    QCOMPARE(s.dialogs.questions.size(), 1);
    QCOMPARE(ended.count(), 1);
}

void TestScreenOrder::refusalClosesEverything()
{
    Session s(m_dir->path());
    s.toRatingScreen(true);
    QSignalSpy ended(&s.order, &ScreenOrder::ended);
    s.player.arrive(1000.0);
    s.order.mainForm()->checkLength();
    QCOMPARE(s.dialogs.messages.size(), 1);
    QCOMPARE(ended.count(), 1);
    QVERIFY(visibleWindows().isEmpty());
    QVERIFY(!QFile::exists(s.order.resultsFilePath()));
    QVERIFY(!s.order.mainForm()->isRecording());
}

void TestScreenOrder::cancelEndsTheProgram()
{
    Session s(m_dir->path());
    s.order.start();
    s.order.splash()->handOver();
    QSignalSpy ended(&s.order, &ScreenOrder::ended);
    s.order.variableForm()->findChild<QPushButton *>("Command2")->click();
    QCOMPARE(ended.count(), 1);
    QVERIFY(visibleWindows().isEmpty());
    QVERIFY(!s.order.instructionsForm() && !s.order.mainForm());
}

void TestScreenOrder::closingTheRatingScreen()
{
    Session s(m_dir->path());
    s.toRatingScreen(false);
    QSignalSpy ended(&s.order, &ScreenOrder::ended);
    s.dialogs.confirmAnswer = false;
    s.order.mainForm()->close();
    QCOMPARE(ended.count(), 0);
    QCOMPARE(visibleWindows(), QStringList{"MainForm"});

    s.dialogs.confirmAnswer = true;
    s.order.mainForm()->close();
    QCOMPARE(ended.count(), 1);
    QVERIFY(visibleWindows().isEmpty());
    // The clip stops with the run.
    QCOMPARE(s.player.closeCalls, 1);
    QCOMPARE(s.dialogs.questions.size(), 2);
    QVERIFY(!QFile::exists(s.order.resultsFilePath()));
}

void TestScreenOrder::closingTheSplashEndsTheProgram()
{
    Session s(m_dir->path());
    s.order.start();
    QSignalSpy ended(&s.order, &ScreenOrder::ended);
    s.order.splash()->close();
    // Its timer is gone with it: without this the process would stay with no window.
    QCOMPARE(ended.count(), 1);
    QVERIFY(!s.order.variableForm());
    QVERIFY(visibleWindows().isEmpty());
}

QTEST_MAIN(TestScreenOrder)
#include "tst_screenorder.moc"
