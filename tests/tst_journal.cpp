// Recording that survives: the journal on disk, whatever the disk does, and each second's sample
// taken before that second's fall-back.

#include "support.h"

#include <QTimerEvent>

#include <optional>

namespace {

// What a timer does when its interval is up.
void fire(QObject *screen, const char *timer)
{
    if (auto *t = screen->findChild<QTimer *>(QString::fromLatin1(timer)); t->isActive()) {
        QTimerEvent tick(t->timerId());
        QCoreApplication::sendEvent(t, &tick);
    }
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
private slots:
    // Every byte is handed on until the disk takes it all, and a failure is reported as itself,
    // never as an errno left over from an earlier call.
    void writesAll_data()
    {
        // Each answer of write(2): bytes taken, or minus the errno it fails with. Before each,
        // errno holds EACCES, as left by some earlier call.
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("written");
        QTest::newRow("in pieces") << QList<int>{3, 3, 4} << 0 << 10;
        QTest::newRow("interrupted, then whole") << QList<int>{-EINTR, 10} << 0 << 10;
        QTest::newRow("fails") << QList<int>{4, -EIO} << EIO << 4;
        QTest::newRow("takes nothing, says nothing") << QList<int>{4, 0} << ENOSPC << 4;
    }
    void writesAll()
    {
        QFETCH(QList<int>, answers);
        QFETCH(int, error);
        QFETCH(int, written);
        qsizetype taken = -1;
        const int result = Files::writeAll(
            [&answers](const char *, size_t size) -> ssize_t {
                const int answer = answers.takeFirst();
                errno = answer < 0 ? -answer : EACCES;
                return answer < 0 ? -1 : std::min<ssize_t>(answer, ssize_t(size));
            },
            "0123456789", 10, &taken);
        QCOMPARE(result, error);
        QCOMPARE(taken, qsizetype(written));
        QVERIFY(answers.isEmpty());
    }

    // A press every third second reaches the data as a 1, even where the fall-back's timer
    // would come first within the second.
    void isolatedPressesAreStored()
    {
        Session s;
        MainForm &rating = s.record(false, 30.0, 0);
        for (int second = 0; second < 9; ++second) {
            if (second % 3 == 0)
                rating.press(Rating::Button::Increase1);
            fire(&rating, "Timer1");
            s.now += 1000;
            fire(&rating, "TimeItself");
        }
        QString stored;
        for (int row = 2; row <= 10; ++row)
            stored += QString::number(rating.table()->cell(row, 1).value_or(9));
        QCOMPARE(stored, QStringLiteral("100100100"));
        QCOMPARE(rating.state().Level1, qint16(0));
        // After the clip's last second the levels still fall back by themselves; after
        // "Finished!" the hidden screen runs no timer at all, however long the results stay.
        const auto active = [&rating](const char *name) {
            return rating.findChild<QTimer *>(QLatin1String(name))->isActive();
        };
        s.now += 22000;
        rating.recordSample();
        QVERIFY(!active("TimeItself"));
        QVERIFY(active("Timer1") && active("Timer2"));
        s.finish();
        for (const char *timer : {"Timer1", "Timer2", "Timer4", "TimeItself"})
            QVERIFY2(!active(timer), timer);
    }

    // A press does not wake the writer, yet reaches the disk within the second though no
    // sample follows it.
    void pressReachesTheDiskUnasked()
    {
        Session s;
        RunJournal journal(s.home, makeRecord(false), false);
        journal.append(61, sample(2, 1, 0));
        journal.flush();
        journal.append(
            {1000, RunEvent::NoMedia, RunEvent::Kind::Increase, 1, 2, 0, 0, RunEvent::Source::Key});
        QTRY_VERIFY_WITH_TIMEOUT(readAll(journal.path()).contains("\nE,"), 1000);
    }

    // A sync that fails once, or a disk with room for part of a line: the whole journal is
    // written again as a new file, and what the process leaves when it ends without a word holds
    // every sample, none lost or read as another.
    void journalSurvivesTheDisk_data()
    {
        QTest::addColumn<bool>("full"); // otherwise a sync fails once
        QTest::newRow("a sync fails") << false;
        QTest::newRow("the disk fills up within a line") << true;
    }
    void journalSurvivesTheDisk()
    {
        QFETCH(bool, full);
        Session s;
        FailingDisk disk;
        auto journal = std::make_unique<RunJournal>(s.home, makeRecord(false), false);
        journal->append(61, sample(2, 1, 0));
        journal->flush();
        const QString first = journal->path();
        const qint64 size = QFileInfo(first).size();
        std::optional<FileSizeLimit> room;
        if (full)
            room.emplace(size + 3);
        disk.syncFailures = full ? 0 : 1;
        journal->append(61, sample(3, -2, 0));
        journal->flush();
        room.reset();
        if (full)
            QCOMPARE(QFileInfo(first).size(), size + 3);
        else
            QVERIFY(journal->path() != first);
        QCOMPARE(journals(s.home), QStringList{QFileInfo(journal->path()).fileName()});
        journal->append(61, sample(4, 3, 0));
        journal->flush();
        journal.reset();
        s.order.start();
        const QStringList saved = QDir(s.home).entryList({"Recovered*[0-9].csv"});
        QCOMPARE(saved.size(), 1);
        QVERIFY(readAll(s.path(saved[0])).contains("\r\n2,1\r\n3,-2\r\n4,3\r\n5,\r\n"));
    }

    // A disk that takes nothing: the operator is told on the rating screen while the rating
    // goes on, and the journal is tried again, also when no sample comes, until it works.
    void savingProblemIsShownAndTheRunGoesOn_data()
    {
        QTest::addColumn<bool>("create"); // the journal cannot even be created
        QTest::newRow("every sync fails") << false;
        QTest::newRow("no file can be made") << true;
    }
    void savingProblemIsShownAndTheRunGoesOn()
    {
        QFETCH(bool, create);
        Session s;
        FailingDisk disk;
        disk.refusedNames = create ? "run-" : "";
        disk.syncFailures = create ? 0 : -1;
        MainForm &rating = s.record(false, 30.0, 2);
        const auto *warning = child<QLabel>(&rating, "savingProblem");
        s.order.journal()->flush();
        QTRY_VERIFY(warning->isVisibleTo(&rating));
        rating.press(Rating::Button::Increase1);
        s.now += 1000;
        rating.recordSample();
        QVERIFY(rating.isRecording());
        QCOMPARE(rating.table()->cell(4, 1), std::optional<qint16>(1));
        QCOMPARE(journals(s.home), QStringList{});
        disk.refusedNames.clear();
        disk.syncFailures = 0;
        QTRY_VERIFY(!warning->isVisibleTo(&rating));
        s.order.journal()->flush();
        const auto run = Journal::parse(readAll(s.order.journal()->path()));
        QVERIFY(run);
        // Every sample stored so far, the real timer's included.
        QCOMPARE(run->samples, rating.recordRow() - 1);
        QVERIFY(run->samples >= 3);
    }

    // The export reaches the disk, every step checked, before temp.csv goes or the journal is
    // given up; a failure on the way leaves both.
    void exportIsCheckedBeforeTheResultsGo_data()
    {
        QTest::addColumn<bool>("resultsFile"); // temp.csv could be written at "Finished!"
        QTest::newRow("temp.csv written") << true;
        QTest::newRow("temp.csv could not be written") << false;
    }
    void exportIsCheckedBeforeTheResultsGo()
    {
        QFETCH(bool, resultsFile);
        Session s;
        if (!resultsFile)
            QVERIFY(QDir().mkpath(s.order.resultsFilePath()));
        s.record(false, 30.0, 2);
        OutputForm &output = s.finish();
        s.order.journal()->flush();
        const int messages = s.dialogs.messages.size();
        FailingDisk disk;
        disk.syncFailures = 1;
        s.dialogs.saveAnswers = {s.path("a.csv"), s.path("b.csv")};
        child<QPushButton>(&output, "Command3")->click();
        QCOMPARE(s.dialogs.messages.size(), messages + 1);
        QVERIFY(s.dialogs.messages.last().contains("could not be saved"));
        s.order.journal()->flush();
        QCOMPARE(journals(s.home).size(), resultsFile ? 0 : 1);
        QCOMPARE(QFileInfo(s.order.resultsFilePath()).isFile(), resultsFile);
        QVERIFY(!output.areResultsSaved() || resultsFile);
        child<QPushButton>(&output, "Command3")->click();
        s.order.journal()->flush();
        QCOMPARE(journals(s.home), QStringList{});
        QVERIFY(!QFileInfo(s.order.resultsFilePath()).isFile());
        QCOMPARE(readAll(s.path("b.csv")), output.resultsBytes());
    }
};

DIALTRACE_TEST_CASE(TestJournal, "journal")
#include "tst_journal.moc"
