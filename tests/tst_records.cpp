// Session records that never lie: states that only move forward, two computers on one record,
// a record that cannot be written, long names, a participant typed twice, balanced orders.

#include "studyfolder.h"

#include <QRegularExpression>

namespace {

// "done:a.csv b.csv" as a clip's entry; "not yet:" has no files. The states in their order.
SessionRecord::Clip entry(const QString &text)
{
    SessionRecord::Clip clip;
    clip.clip = QStringLiteral("a.avi");
    const int state = QStringList{"not yet", "recovered", "done"}.indexOf(text.section(':', 0, 0));
    clip.state = SessionRecord::State(state);
    clip.files = text.section(':', 1).split(' ', Qt::SkipEmptyParts);
    return clip;
}

// The whole study rated by one participant, from the setup form to "Thank you!".
void rateAll(Session &s, StudyFolder &folder, const QString &participant)
{
    typeParticipant(s, folder, participant, true);
    while (stepText(s) != ThankYouText)
        rateClip(s);
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void merging_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("participant2");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("extra");
        const auto row = [](const char *tag, const QString &first, const QString &second,
                            const QString &expected, const QStringList &extra,
                            const QString &participant2 = "P1") {
            QTest::newRow(tag) << first << second << participant2 << expected << extra;
        };
        row("done over not yet", "not yet:", "done:b.csv", "done:b.csv", {});
        row("recovered never over done", "done:a.csv", "recovered:r.csv", "done:a.csv", {"r.csv"});
        row("done over recovered, the partial kept", "recovered:r.csv", "done:a.csv", "done:a.csv",
            {"r.csv"});
        row("two complete runs: the first stays", "done:a.csv", "done:b.csv", "done:a.csv",
            {"b.csv"});
        row("the same run twice", "done:a.csv", "done:a.csv", "done:a.csv", {});
        row("another participant's record", "not yet:", "done:b.csv", "not yet:", {}, "P2");
    }
    void merging()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, participant2);
        QFETCH(QString, expected);
        const SessionRecord::Clip clip = merged({"Debate", "P1", "today", {entry(first)}},
                                                {"Debate", participant2, "today", {entry(second)}})
                                             .clips[0];
        QCOMPARE(clip.state, entry(expected).state);
        QCOMPARE(clip.files, entry(expected).files);
        QTEST(clip.extra, "extra");
    }

    // Two computers resume one participant at once: each clip is rated once, by whichever
    // computer starts it first, and the record names every run. Records of another study in the
    // results folder are named once, when the setup form shows.
    void twoComputersResumeOneRecord()
    {
        StudyFolder folder;
        QVERIFY(QDir().mkpath(folder.results()));
        writeAll(folder.results("P9 session 1.json"),
                 SessionFile::bytes(SessionRecord{"Pilot", "P9", "", {entry("done:x.csv")}}));
        {
            Session first;
            typeParticipant(first, folder, "P01", true);
            QCOMPARE(first.dialogs.messages,
                     QStringList{"1 session record of another study, Pilot, left out."});
            rateClip(first);
        }
        Session one, two;
        for (Session *s : {&one, &two}) {
            s->dialogs.confirmAnswer = true;
            typeParticipant(*s, folder, "P01", true);
        }
        // Both wait on "Clip 1 of 3"; one takes it, and a Start on a clip the other computer
        // has done meanwhile goes on to the next.
        QStringList played{rateClip(one)};
        for (Session *s : {&two, &one, &two}) {
            child<QPushButton>(s->order.studyForm(), "Command1")->click();
            if (s != &two || played.size() < 3)
                played << rateClip(*s);
        }
        QCOMPARE(played.size(), 3);
        QCOMPARE(stepText(one), ThankYouText);
        QCOMPARE(stepText(two), ThankYouText);
        const SessionRecord record = folder.record(folder.files("P01 session *.json").value(0));
        QCOMPARE(record.order().mid(1), played);
        QStringList named;
        for (const SessionRecord::Clip &clip : record.clips) {
            QCOMPARE(clip.state, SessionRecord::State::Done);
            QCOMPARE(clip.extra, QStringList{});
            named << clip.files;
        }
        named.sort();
        QCOMPARE(named, folder.files("P01 * Mood*.csv"));

        // Two sessions that each hold what they rated: every write reads the other's first.
        auto a = *StudySession::begin(folder.study, "P02", "", folder.random, nullptr);
        auto b = a;
        QVERIFY(a.saveResults(1, "r", "e", nullptr) && b.saveResults(2, "r", "e", nullptr));
        QVERIFY(a.markDone(1, true, 2, nullptr) && b.markDone(2, true, 2, nullptr));
        const SessionRecord both = *SessionFile::read(a.recordPath());
        QCOMPARE(both.clips[1].state, SessionRecord::State::Done);
        QCOMPARE(both.clips[2].state, SessionRecord::State::Done);
    }

    // The results are written but the record cannot be: the study goes on, the operator is told
    // which file failed, and the record names the clip as soon as it can be written: after the
    // next clip, or at the next start from the journal kept for it.
    void recordCannotBeWritten_data()
    {
        QTest::addColumn<bool>("endsFirst");
        QTest::newRow("written again with the next clip") << false;
        QTest::newRow("completed at the next start") << true;
    }
    void recordCannotBeWritten()
    {
        QFETCH(bool, endsFirst);
        StudyFolder folder;
        FailingDisk disk;
        QTemporaryDir home;
        auto s = std::make_unique<Session>(home.path());
        typeParticipant(*s, folder, "P01", true);
        const QString record = QFileInfo(s->order.session()->recordPath()).fileName();
        disk.refusedNames = "P01 session";
        rateClip(*s);
        // Told once, naming the file, never as results that could not be saved.
        QCOMPARE(s->dialogs.messages.size(), 1);
        QVERIFY(s->dialogs.messages[0].contains(record));
        QVERIFY(!s->dialogs.messages[0].contains("could not be saved"));
        QCOMPARE(stepText(*s), QStringLiteral("Clip 1 of 3"));
        QTRY_COMPARE(journals(home.path()).size(), 1);
        disk.refusedNames.clear();
        if (endsFirst) {
            s->order.closeAll();
            s.reset();
            Session next(home.path());
            next.order.setStudy(folder.study, &folder.random);
            next.order.start();
            QVERIFY(next.dialogs.messages.value(0).contains("is now in"));
        } else {
            rateClip(*s);
            QCOMPARE(folder.record(record).clips[1].state, SessionRecord::State::Done);
        }
        const SessionRecord::Clip practice = folder.record(record).clips[0];
        QCOMPARE(practice.state, SessionRecord::State::Done);
        QCOMPARE(practice.files, folder.files("P01 practice Mood*"));
        QVERIFY(practice.complete);
        QTRY_COMPARE(journals(home.path()), QStringList{});
    }

    // A name of any length keeps the session's date, the clip and the variable in its files.
    void longNames_data()
    {
        QTest::addColumn<QString>("participant");
        QTest::newRow("200 characters") << QString(200, 'a');
        QTest::newRow("64 CJK characters") << QString(64, QChar(0x7814));
    }
    void longNames()
    {
        QFETCH(QString, participant);
        StudyFolder folder;
        Session first;
        typeParticipant(first, folder, participant, true);
        rateClip(first);
        const QString name = QFileInfo(first.order.session()->recordPath()).fileName();
        const QRegularExpression named(" session \\d{4}(-\\d\\d){2} \\d\\d(\\.\\d\\d){2}\\.json$");
        QVERIFY2(name.contains(named), qPrintable(name));
        QCOMPARE(folder.record(name).participant, participant);
        QCOMPARE(folder.files("* practice Mood.csv").size(), 1);
        // Typed again, the session is found.
        Session again(&first);
        typeParticipant(again, folder, participant);
        QCOMPARE(again.dialogs.questions.size(), 1);
        QVERIFY(again.dialogs.questions[0].contains("has done 0 of 3 clips"));
    }

    // A participant typed again after a whole session is asked about; No goes back to the form.
    // The start before it finds the journal of a clip that computer died in, done elsewhere
    // meanwhile: the clip keeps its results, and the partial run is named beside them.
    void doneAlready()
    {
        StudyFolder folder;
        Session first;
        rateAll(first, folder, "P01");
        const StudySession session = *first.order.session();
        const QString record = QFileInfo(session.recordPath()).fileName();
        const QStringList doneFiles = folder.record(record).clips[2].files;
        leaveStudyJournal(first.home, folder, session, 2);
        Session again(&first);
        typeParticipant(again, folder, "P01");
        const SessionRecord::Clip clip = folder.record(record).clips[2];
        QCOMPARE(clip.state, SessionRecord::State::Done);
        QCOMPARE(clip.files, doneFiles);
        QCOMPARE(clip.extra.size(), 2);
        QVERIFY(clip.extra[0].endsWith(" (recovered).csv"));
        QCOMPARE(again.dialogs.questions, QStringList{doneAlreadyQuestion(
                                              "P01", QDate::currentDate().toString("yyyy-MM-dd"))});
        QVERIFY(again.order.variableForm()->isVisible());
        QVERIFY(!again.order.instructionsForm());
        again.dialogs.confirmAnswer = true;
        child<QPushButton>(again.order.variableForm(), "Command1")->click();
        QVERIFY(again.order.instructionsForm());
        QCOMPARE(folder.files("P01 session *.json").size(), 2);
    }

    // Results saved for a clip whose record was never told, and no journal left to tell it: the
    // next start names them in the record, with what their event log says and the time they were
    // written.
    void staleRecordCompleted()
    {
        StudyFolder folder;
        QTemporaryDir home;
        QString record, name;
        {
            Session first(home.path());
            typeParticipant(first, folder, "P01", true);
            startClip(first);
            record = QFileInfo(first.order.session()->recordPath()).fileName();
            name = first.order.session()->resultsName(0);
        }
        const QList<RunEvent> events = {sample(2, 1, 0), sample(3, 0, 0),
                                        {2100, 2000, RunEvent::Kind::End, 0, 0, 0, 0}};
        const QString results = folder.results(name + ".csv");
        QVERIFY(writeAll(results, "results") &&
                writeAll(folder.results(name + ".events.csv"),
                         EventLog::bytes(events, false, InputMode::Steps)));
        const QDateTime written = QDateTime::currentDateTime().addSecs(60);
        QFile file(results);
        QVERIFY(file.open(QIODevice::Append) &&
                file.setFileTime(written, QFileDevice::FileModificationTime));
        file.close();

        Session next(home.path());
        next.order.setStudy(folder.study, &folder.random);
        next.order.start();
        QVERIFY(next.dialogs.messages.value(0).contains(name + ".csv"));
        const SessionRecord::Clip clip = folder.record(record).clips[0];
        QCOMPARE(clip.state, SessionRecord::State::Done);
        QCOMPARE(clip.files, (QStringList{name + ".csv", name + ".events.csv"}));
        QVERIFY(clip.complete);
        QCOMPARE(clip.seconds, 2);
        QCOMPARE(clip.ended.toSecsSinceEpoch(), written.toSecsSinceEpoch());
    }

    // A run saved from its journal goes to its record with the controls that moved its levels,
    // as a run that ended does: in a position run only.
    void recoveredRunsNameTheirControls_data()
    {
        QTest::addColumn<InputMode>("input");
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("steps") << InputMode::Steps << QStringList();
        QTest::newRow("position") << InputMode::Position << QStringList{"button", "wheel"};
    }
    void recoveredRunsNameTheirControls()
    {
        QFETCH(InputMode, input);
        QFETCH(QStringList, controls);
        QTemporaryDir home, results;
        SetupRecord record = makeRecord(false);
        record.Input = input;
        {
            RunJournal journal(home.path(), record, false, Started, Journal::thisComputer(),
                               {results.path(), "P01 a Mood", results.filePath("r.json"), 0});
            for (const RunEvent::Source source : {RunEvent::Source::Button,
                                                  RunEvent::Source::Wheel,
                                                  RunEvent::Source::Button})
                journal.append({300, 200, RunEvent::Kind::Increase, 1, 1, 0, 0, source});
            journal.append(2, sample(2, 3, 0));
            journal.flush();
        }
        QStringList recorded = {"none recorded"};
        Recovery::recoverInterruptedRuns(home.path(), [&](const Recovery::StudyRun &run, QString *) {
            recorded = run.controls;
            return true;
        });
        QCOMPARE(recorded, controls);
    }

    // Orders in turn: over whole rounds of participants every clip stands in every position,
    // and follows every other clip, equally often; shuffled, each participant gets an order of
    // their own. The practice clip stays first.
    void balancedOrders_data()
    {
        QTest::addColumn<QByteArray>("order");
        QTest::addColumn<int>("clips");
        QTest::addColumn<bool>("even"); // otherwise at random: every place taken, not evenly
        QTest::newRow("balanced, 4 clips") << QByteArray(R"("order": "balanced")") << 4 << true;
        QTest::newRow("balanced, 3 clips: the square and its mirror")
            << QByteArray(R"("order": "balanced")") << 3 << true;
        QTest::newRow("shuffled") << QByteArray(R"("order": "shuffled")") << 3 << false;
        QTest::newRow("listed by hand")
            << QByteArray(R"("orders": [["a.avi", "b.avi", "c.avi"], ["c.avi", "b.avi", "a.avi"],
               ["b.avi", "c.avi", "a.avi"], ["b.avi", "a.avi", "c.avi"], ["a.avi", "c.avi", "b.avi"],
               ["c.avi", "a.avi", "b.avi"]])")
            << 3 << true;
    }
    void balancedOrders()
    {
        QFETCH(QByteArray, order);
        QFETCH(int, clips);
        StudyFolder folder;
        QStringList problems;
        const QByteArray json = R"({"variables": ["Mood"], "practice": "practice.avi", "clips": )" +
                                QByteArray(clips == 4 ? R"(["a.avi", "b.avi", "c.avi", "d.avi"])"
                                                      : R"(["a.avi", "b.avi", "c.avi"])") +
                                ", " + order + "}";
        const auto study = StudyFile::parse(folder.dir.filePath("study.json"), json, &problems);
        QVERIFY2(study, qPrintable(problems.join('\n')));
        QRandomGenerator random(1);
        QMap<QString, int> places, pairs;
        for (int p = 0; p < 24; ++p) {
            const auto session =
                StudySession::begin(*study, QString("P%1").arg(p), "", random, nullptr);
            QVERIFY(session);
            const QStringList got = session->record().order();
            QCOMPARE(got.first(), QStringLiteral("practice.avi"));
            for (int i = 1; i < got.size(); ++i) {
                ++places[got[i] + QString::number(i)];
                if (i > 1)
                    ++pairs[got[i - 1] + got[i]];
            }
        }
        QCOMPARE(places.size(), clips * clips);
        QCOMPARE(pairs.size(), clips * (clips - 1));
        QFETCH(bool, even);
        if (!even)
            return;
        for (const int count : places)
            QCOMPARE(count, 24 / clips);
        for (const int count : pairs)
            QCOMPARE(count, pairs.first());
    }
};

DIALTRACE_TEST_CASE(TestRecords, "records")
#include "tst_records.moc"
