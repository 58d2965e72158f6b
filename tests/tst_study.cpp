// Studies: a participant's way through many clips, the files in one results folder, the session
// record, and going on after a crash.

#include "studyfolder.h"

#include <QDate>
#include <QSignalSpy>

class TestStudy : public QObject
{
    Q_OBJECT
private slots:
    // From the setup form to "Thank you!": the screens in order, the files named as the study
    // names them, the session record true to what happened.
    void aParticipantsWay_data()
    {
        QTest::addColumn<bool>("showResults");
        QTest::addColumn<bool>("pause");
        QTest::newRow("straight on") << false << false;
        QTest::newRow("with the results screen") << true << false;
        QTest::newRow("with the player's controls") << false << true;
    }
    void aParticipantsWay()
    {
        QFETCH(bool, showResults);
        QFETCH(bool, pause);
        StudyFolder folder(showResults, pause ? R"(, "pause": true)" : "");
        Session s;
        s.order.setStudy(folder.study, &folder.random);
        VariableForm &form = s.toSetupForm();
        QCOMPARE(child<QLineEdit>(&form, "Text2")->text(), QStringLiteral("Mood"));
        QVERIFY(child<QLineEdit>(&form, "Text2")->isReadOnly());
        QVERIFY(!child<QCheckBox>(&form, "Check1")->isEnabled());
        QCOMPARE(child<QLineEdit>(&form, "Text3")->text(),
                 QDate::currentDate().toString("yyyy-MM-dd"));
        child<QPushButton>(&form, "Command1")->click();
        QCOMPARE(s.dialogs.messages, QStringList{ParticipantNeeded});
        QVERIFY(form.isVisible());
        child<QLineEdit>(&form, "Text1")->setText("P01");
        child<QPushButton>(&form, "Command1")->click();
        QVERIFY(s.dialogs.openRequests.isEmpty());
        child<QPushButton>(s.order.instructionsForm(), "Command1")->click();

        QStringList steps, played;
        while (stepText(s) != ThankYouText) {
            steps << stepText(s);
            MainForm &rating = startClip(s);
            // Every clip's screen shows the picture, and the player's own controls only where
            // the study wants them.
            QVERIFY(rating.isVisible() && s.player.view()->isVisible());
            QCOMPARE(child(s.player.view(), "playerControls")->isVisible(), pause);
            if (steps.size() == 1) {
                // "Finished!" before the clip's end asks; No goes on rating.
                child<QPushButton>(&rating, "Command3")->click();
                QCOMPARE(s.dialogs.questions, QStringList{EndClipQuestion});
                QCOMPARE(s.order.mainForm(), &rating);
            }
            played << rateToEnd(s);
            QCOMPARE(s.order.outputForm() != nullptr, showResults);
            if (showResults)
                child<QPushButton>(s.order.outputForm(), "Command2")->click();
        }
        QCOMPARE(steps, (QStringList{"Practice", "Clip 1 of 3", "Clip 2 of 3", "Clip 3 of 3"}));
        const QStringList records = folder.files("P01 session *.json");
        QCOMPARE(records.size(), 1);
        const SessionRecord record = folder.record(records[0]);
        QCOMPARE(record.order(), played);
        for (const SessionRecord::Clip &clip : record.clips) {
            const QString name = "P01 " + QFileInfo(clip.clip).completeBaseName() + " Mood";
            QCOMPARE(clip.state, SessionRecord::State::Done);
            QCOMPARE(clip.files, (QStringList{name + ".csv", name + ".events.csv"}));
            QVERIFY(clip.started.isValid() && clip.ended >= clip.started);
            QVERIFY(readAll(folder.results(name + ".csv")).contains("\r\n2,1\r\n"));
        }
        QVERIFY(!QFile::exists(s.order.resultsFilePath()));
        QSignalSpy ended(&s.order, &ScreenOrder::ended);
        child<QPushButton>(s.order.studyForm(), "Command1")->click();
        QCOMPARE(ended.count(), 1);
        QCOMPARE(visibleWindows(), QStringList{});
    }

    // A crash in the middle of a study: the recovered run lands in the results folder under the
    // study's name for it, the record says so, and the participant goes on with what is left.
    void goingOnAfterACrash_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<bool>("rerun");
        QTest::newRow("Yes: the interrupted clip again, then the one left") << true << true;
        QTest::newRow("Yes, interrupted clips not rerun: the one left") << true << false;
        QTest::newRow("No: a new session") << false << true;
    }
    void goingOnAfterACrash()
    {
        QFETCH(bool, goOn);
        QFETCH(bool, rerun);
        StudyFolder folder;
        folder.study.rerunInterrupted = rerun;
        Session first;
        typeParticipant(first, folder, "P01", true);
        rateClip(first);
        rateClip(first);
        // The third clip starts, and the process dies during it.
        child<QPushButton>(first.order.studyForm(), "Command1")->click();
        const StudySession session = *first.order.session();
        leaveStudyJournal(first.home, folder, session, 2);

        Session next(&first);
        next.dialogs.confirmAnswer = goOn;
        typeParticipant(next, folder, "P01");
        QCOMPARE(next.dialogs.messages.size(), 1);
        const QString recovered = session.resultsName(2) + " (recovered).csv";
        QVERIFY2(next.dialogs.messages[0].contains(recovered),
                 qPrintable(next.dialogs.messages[0]));
        QCOMPARE(next.dialogs.questions,
                 QStringList{rerun ? goOnQuestion("P01", 1, 1, 3) : goOnQuestion("P01", 2, 0, 3)});
        child<QPushButton>(next.order.instructionsForm(), "Command1")->click();
        QStringList played;
        while (stepText(next) != ThankYouText)
            played << rateClip(next);
        const QStringList records = folder.files("P01 session *.json");
        QCOMPARE(records.size(), goOn ? 1 : 2);
        const QStringList order = session.record().order();
        if (goOn) {
            QCOMPARE(played, rerun ? order.mid(2) : order.mid(3));
            const SessionRecord::Clip interrupted = folder.record(records[0]).clips[2];
            // Rerun, the complete run is the clip's; the partial one is kept and named beside it.
            QCOMPARE(interrupted.state,
                     rerun ? SessionRecord::State::Done : SessionRecord::State::Recovered);
            QCOMPARE(interrupted.files.first(),
                     rerun ? session.resultsName(2) + ".csv" : recovered);
            QCOMPARE(interrupted.extra.value(0), rerun ? recovered : QString());
            QCOMPARE(interrupted.complete, rerun);
            QCOMPARE(interrupted.seconds, rerun ? 2 : 1);
            QCOMPARE(folder.record(records[0]).clips[3].state, SessionRecord::State::Done);
        } else {
            // The new session's files beside the first's, under names of their own.
            QCOMPARE(played.size(), 4);
            QCOMPARE(folder.files("P01 practice Mood*.csv").size(), 4);
        }
        QVERIFY(readAll(folder.results(recovered)).contains("\r\n2,2\r\n"));
    }
};

DIALTRACE_TEST_CASE(TestStudy, "study")
#include "tst_study.moc"
