// The screens in their real order, with fake dialogs and a fake player, in a temporary
// application directory: what the operator and the subject see, and the files a run leaves.

#include "instructions.h"
#include "outputform.h"
#include "studyfile.h"
#include "support.h"

#include <QDir>
#include <QSignalSpy>

namespace {

const QStringList Segments = {"RedPos",  "OrangePos", "YellowPos", "GreenPos",  "BluePos",
                              "BlueNeg", "GreenNeg",  "YellowNeg", "OrangeNeg", "RedNeg"};

QString meter(QWidget *form, const QString &suffix)
{
    QString lit;
    for (const QString &name : Segments)
        lit += form->findChild<QWidget *>(name + suffix)->isVisible() ? 'X' : '.';
    return lit;
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT
private slots:
    void secondVariable()
    {
        Session s;
        VariableForm &form = s.toSetupForm();
        auto *box = child<QLineEdit>(&form, "Text4");
        auto *tick = child<QCheckBox>(&form, "Check1");
        QVERIFY(box->isReadOnly());
        tick->click();
        QVERIFY(!box->isReadOnly());
        box->setText("Stress");
        tick->click();
        QVERIFY(box->isReadOnly());
        QCOMPARE(box->text(), QString());
        tick->click();
        QCOMPARE(box->text(), QString());
        // Ticked with the name left empty is still a two-variable run.
        s.dialogs.openAnswers = {"/c/a.avi"};
        child<QPushButton>(&form, "Command1")->click();
        const SetupRecord &r = form.record();
        QVERIFY(r.Variable2Enabled);
        QCOMPARE(r.Variable2, QString());
        QCOMPARE(r.FileFullPath, QStringLiteral("/c/a.avi"));
    }

    void fileChoice_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("path");
        QTest::newRow("chosen at once") << QStringList{"/c/a.avi"} << "/c/a.avi";
        QTest::newRow("second try") << QStringList{"", "/c/b.wav"} << "/c/b.wav";
        QTest::newRow("cancelled twice") << QStringList{"", ""} << "";
    }
    void fileChoice()
    {
        QFETCH(QStringList, answers);
        Session s;
        VariableForm &form = s.toSetupForm();
        s.dialogs.openAnswers = answers;
        QStringList shownDuringMessage;
        s.dialogs.onMessage = [&](const QString &) { shownDuringMessage = visibleWindows(); };
        child<QPushButton>(&form, "Command1")->click();
        QTEST(form.record().FileFullPath, "path");
        QCOMPARE(s.dialogs.openRequests.size(), answers.size());
        QCOMPARE(s.dialogs.messages,
                 answers.size() == 2 ? QStringList{"Please open a file!"} : QStringList{});
        QCOMPARE(shownDuringMessage, QStringList{});
        QCOMPARE(visibleWindows(), QStringList{"InstructionsForm"});
    }

    // Every way out before the rating screen ends the program and leaves no window behind.
    void endings_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("splash closed early") << 0;
        QTest::newRow("Cancel") << 1;
        QTest::newRow("setup form's frame") << 2;
        QTest::newRow("instructions' frame") << 3;
    }
    void endings()
    {
        QFETCH(int, way);
        Session s;
        QSignalSpy ended(&s.order, &ScreenOrder::ended);
        if (way == 0) {
            s.order.start();
            s.order.splash()->close();
        } else if (way == 1) {
            child<QPushButton>(&s.toSetupForm(), "Command2")->click();
        } else if (way == 2) {
            s.toSetupForm().close();
        } else {
            s.toInstructions(false);
            s.order.instructionsForm()->close();
        }
        QCOMPARE(ended.count(), 1);
        QCOMPARE(visibleWindows(), QStringList{});
        QVERIFY(!s.order.mainForm());
    }

    void instructions_data()
    {
        QTest::addColumn<bool>("two");
        QTest::addColumn<QByteArray>("file"); // empty: none; "/": a directory of that name
        QTest::addColumn<QString>("shown");
        QTest::newRow("text, line ends and 0x80 kept")
            << false << QByteArray("  Press often.\r\nThen \x80!\n")
            << "  Press often.\r\nThen €!\n";
        QTest::newRow("no file") << true << QByteArray() << "";
        QTest::newRow("a directory") << false << QByteArray("/") << "";
        QTest::newRow("UTF-8 umlauts") << false << QByteArray("\xC3\x84rger \xC3\xBC") << "Ärger ü";
        QTest::newRow("UTF-8 byte-order mark dropped, a broken byte too")
            << false << QByteArray("\xEF\xBB\xBF\xC3\x84rger \xFF") << "Ärger \uFFFD";
        // The read stops inside a character: the rest is still UTF-8.
        QTest::newRow("UTF-8 cut at the read limit")
            << false << "a" + QByteArray("\xC3\x84").repeated(Instructions::ReadLimit)
            << "a" + QString("Ä").repeated((Instructions::ReadLimit - 1) / 2);
    }
    void instructions()
    {
        QFETCH(bool, two);
        QFETCH(QByteArray, file);
        Session s;
        const QString path = Instructions::filePath(s.home);
        if (file == "/")
            QVERIFY(QDir().mkpath(path));
        else if (!file.isEmpty())
            QVERIFY(writeAll(path, file));
        // A position run's own instructions are no steps run's.
        QVERIFY(writeAll(s.path("Instructions.position.txt"), "Hold it"));
        s.toInstructions(two);
        QWidget *screen = s.order.instructionsForm();
        QTEST(text(screen, "Label1"), "shown");
        QCOMPARE(text(screen, "Label2"), QStringLiteral("Good luck Ann"));
        QVERIFY(text(screen, "Label3").endsWith(two ? " Mood and Stress" : " is Mood"));
        child<QPushButton>(screen, "Command1")->click();
        QCOMPARE(visibleWindows(), QStringList{"MainForm"});
    }

    void studyInstructionsInsteadOfTheFile()
    {
        Session s;
        QVERIFY(writeAll(Instructions::filePath(s.home), "The file's"));
        QVERIFY(writeAll(s.path("a.avi"), "a clip"));
        const QByteArray json =
            R"({"variables": ["Mood"], "clips": ["a.avi"], "instructions": "Bei Ärger\ndrücken"})";
        QStringList problems;
        s.order.setStudy(StudyFile::parse(s.path("study.json"), json, &problems).value());
        s.toInstructions(false);
        QCOMPARE(text(s.order.instructionsForm(), "Label1"), QStringLiteral("Bei Ärger\ndrücken"));
    }

    // Which of the open dialog's entries show a file: the original two first, then "All clips".
    void openDialogEntries_data()
    {
        QTest::addColumn<QString>("shownBy");
        for (const char *file : {"a.mp4", "a.mov", "a.mkv", "a.m4a", "a.ogg", "a.webm"})
            QTest::newRow(file) << "..X";
        QTest::newRow("a.mpeg") << "X.X";
        QTest::newRow("a.wav") << ".XX";
        QTest::newRow("a.txt") << "...";
    }
    void openDialogEntries()
    {
        Session s;
        s.toInstructions(false);
        QString shownBy;
        for (const QString &entry : qtNameFilters(s.dialogs.openRequests.at(0).filter))
            shownBy +=
                QDir::match(entry.section('(', -1).chopped(1), QTest::currentDataTag()) ? 'X' : '.';
        QTEST(shownBy, "shownBy");
    }

    void ratingScreen_data()
    {
        QTest::addColumn<bool>("two");
        QTest::newRow("one variable") << false;
        QTest::newRow("two variables") << true;
    }
    void ratingScreen()
    {
        QFETCH(bool, two);
        Session s;
        MainForm &rating = *s.toRating(two);
        QCOMPARE(s.player.url, QStringLiteral("/c/a.avi"));
        for (const char *name : {"Command4", "Command5", "Picture12"})
            QCOMPARE(child(&rating, name)->isVisible(), two);
        QCOMPARE(text(&rating, "Label1"), two ? QStringLiteral("Level of Mood vs. Stress")
                                              : QStringLiteral("Level of Mood"));
        for (int i = 0; i < 3; ++i) {
            child<QPushButton>(&rating, "Command1")->click();
            if (two)
                child<QPushButton>(&rating, "Command5")->click();
        }
        QCOMPARE(meter(&rating, ""), QStringLiteral("..XXX....."));
        rating.fallBack();
        rating.refreshMeters();
        QCOMPARE(meter(&rating, ""), QStringLiteral("...XX....."));
        QCOMPARE(meter(&rating, "2"),
                 two ? QStringLiteral(".....XX...") : QStringLiteral(".........."));
        QCOMPARE(text(&rating, "Label5"), QStringLiteral("Loading..."));
        s.player.arrive(61.0);
        rating.checkLength();
        s.now += 1000;
        rating.recordSample();
        QCOMPARE(text(&rating, "Label5"), QStringLiteral("70"));
        QCOMPARE(text(&rating, "Label6"), QStringLiteral("61"));
    }

    void tooLongIsRefused()
    {
        Session s;
        QSignalSpy ended(&s.order, &ScreenOrder::ended);
        MainForm &rating = s.record(true, 901.01, 0);
        QCOMPARE(s.dialogs.messages, QStringList{TooLongMessage});
        QCOMPARE(ended.count(), 1);
        QVERIFY(!rating.isRecording());
        QVERIFY(s.player.closeCalls > 0);
        QCOMPARE(visibleWindows(), QStringList{});
        QVERIFY(!QFile::exists(s.order.resultsFilePath()));
    }

    void unplayableClip()
    {
        Session s;
        s.toRating(false);
        s.player.fail("not a clip");
        s.player.fail("still not a clip");
        QCOMPARE(s.dialogs.messages.size(), 1);
        QVERIFY(s.dialogs.messages[0].contains("/c/a.avi") &&
                s.dialogs.messages[0].contains("not a clip"));
    }

    void frameCloseAsks()
    {
        Session s;
        MainForm &rating = s.record(false, 30.0, 2);
        QSignalSpy ended(&s.order, &ScreenOrder::ended);
        rating.close();
        QCOMPARE(s.dialogs.questions, QStringList{EndRunQuestion});
        QCOMPARE(visibleWindows(), QStringList{"MainForm"});
        s.dialogs.confirmAnswer = true;
        rating.close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!rating.isRecording());
        QCOMPARE(s.player.closeCalls, 1);
        s.order.journal()->flush();
        // Neither a results file nor the run's journal is left behind.
        QCOMPARE(QDir(s.home).entryList(QDir::Files | QDir::Hidden), QStringList{});
    }

    void finishing_data() { ratingScreen_data(); }
    void finishing()
    {
        QFETCH(bool, two);
        Session s;
        MainForm &rating = s.record(two, 30.0, 10, [&](MainForm &r, int) {
            r.press(Rating::Button::Increase1);
            for (int i = 0; two && i < 2; ++i)
                r.press(Rating::Button::Decrease2);
        });
        OutputForm &output = s.finish();
        QCOMPARE(visibleWindows(), QStringList{"OutputForm"});
        QVERIFY(!rating.isRecording());
        QCOMPARE(s.player.closeCalls, 1);
        const QStringList counts = {text(&output, "TimesClickedPos"),
                                    text(&output, "TimesClickedNeg"), text(&output, "Label5"),
                                    text(&output, "Label7")};
        const QStringList expected = {"10", "0", "0", two ? "20" : "0"};
        QCOMPARE(counts, expected);
        for (const char *name : {"Label2", "Label5", "Label6", "Label7"})
            QCOMPARE(child(&output, name)->isVisible(), two);
        QCOMPARE(output.chart().rowCount(), 61);
        // Each second's press is stored before that second's fall-back takes it away.
        QCOMPARE(output.chart().series(1)[10], std::optional<double>(1));
        QCOMPARE(output.chart().series(2)[10], std::optional<double>(two ? -5 : 0));
        QVERIFY(!output.chart().series(1)[11]);
        QVERIFY(readAll(s.order.resultsFilePath())
                    .contains(two ? "\r\n11,1,-5\r\n12,,\r\n" : "\r\n11,1\r\n12,\r\n"));
        QCOMPARE(s.dialogs.messages, QStringList{});
        s.order.finishRun();
        QCOMPARE(s.order.outputForm(), &output);
    }
};

DIALTRACE_TEST_CASE(TestScreens, "screens")
#include "tst_screens.moc"
