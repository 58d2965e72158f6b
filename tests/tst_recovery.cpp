// What a start finds left behind: journals of ended runs, of runs that go on elsewhere, journals
// that cannot be read or checked, and the results a later run kept before replacing them.

#include "lockedfile.h"
#include "support.h"

#include <utime.h>

namespace {

// The messages of one start of the program in dir.
QStringList startIn(Session &host)
{
    Session start(&host);
    start.order.start();
    return start.dialogs.messages;
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT
private slots:
    // A run that ended without "Finished!" is saved under a name of its own at the next start,
    // never over a file already there, and the user is told once.
    void recoveryAtStart()
    {
        Session alive;
        const QString name = "Recovered Ann Mood 2026-12-06 10.54.00.csv";
        auto journal = std::make_unique<RunJournal>(alive.home, makeRecord(true), true, Started);
        for (int row = 2; row <= 5; ++row)
            journal->append(61, sample(row, 1 - row, row - 1));
        journal->flush();
        // Its run still goes on: no other copy touches the journal.
        QCOMPARE(startIn(alive), QStringList{});
        QCOMPARE(journals(alive.home).size(), 1);

        // The process ends without a word: its lock goes with it, the journal stays (here as if
        // it ended while the journal was being created).
        const QString path = journal->path();
        journal.reset();
        QVERIFY(QFile::rename(path, path + ".part"));
        QVERIFY(writeAll(alive.path(name), "someone else's file"));
        Session next(&alive);
        next.order.start();
        QCOMPARE(next.dialogs.messages.size(), 1);
        const QString message = next.dialogs.messages[0];
        const QString copy = "Recovered Ann Mood 2026-12-06 10.54.00 (2).csv";
        for (const QString &part :
             QStringList{"\"Ann\"", "\"Mood\"", "\"Stress\"", "4 seconds", copy})
            QVERIFY2(message.contains(part), qPrintable(message));
        // Read back by the results file's reader: the four seconds stored, in rows 2 to 5.
        ResultsRun run;
        QVERIFY(ResultsFile::read(alive.path(copy), &run, nullptr));
        QCOMPARE(run.date, QStringLiteral("6.12.2026"));
        QCOMPARE(run.variables, (QStringList{"Mood", "Stress"}));
        QCOMPARE(run.levels[0].mid(2, 4), (QList<qint8>{-1, -2, -3, -4}));
        QCOMPARE(run.levels[1].mid(2, 4), (QList<qint8>{1, 2, 3, 4}));
        QCOMPARE(readAll(alive.path(name)), QByteArray("someone else's file"));
        QCOMPARE(QDir(alive.home).entryList({"*.part"}), QStringList{});
        QVERIFY(next.order.splash()->isVisible());
        QCOMPARE(startIn(alive), QStringList{});
    }

    // A journal saved whose removal failed was marked first: the next start takes it away
    // without saving the run a second time.
    void savedOnceWhenRemovalFails()
    {
        Session host;
        leaveJournal(host.home, makeRecord(false), 3);
        {
            FailingDisk disk;
            disk.removeError = EACCES;
            startIn(host);
        }
        QCOMPARE(journals(host.home).size(), 1);
        QCOMPARE(startIn(host), QStringList{});
        QCOMPARE(journals(host.home), QStringList{});
        QCOMPARE(files(host.home, "Recovered*").size(), 2); // the results and their event log
    }

    // Where the lock cannot tell whether the run goes on, the journal is left as it is.
    void journalsLeftAlone_data()
    {
        QTest::addColumn<int>("lockError");
        QTest::addColumn<QString>("computer");
        QTest::addColumn<bool>("shared");   // a network folder, where locks may be local
        QTest::addColumn<bool>("live");     // its run still holds the lock
        QTest::addColumn<int>("age");       // seconds since the journal was touched
        QTest::addColumn<QString>("named"); // what the message says, empty: no message
        QTest::addColumn<bool>("recovered");
        const QString here = Journal::thisComputer();
        QTest::newRow("lock fails")
            << ENOLCK << here << false << false << 0 << "could not be checked" << false;
        QTest::newRow("another computer's, live")
            << 0 << "lab-pc-7" << false << true << 0 << "" << false;
        QTest::newRow("another computer's, network folder, lately touched")
            << 0 << "lab-pc-7" << true << false << 60 << "" << false;
        QTest::newRow("another computer's, network folder, long untouched")
            << 0 << "lab-pc-7" << true << false << 3600 << "\"lab-pc-7\"" << false;
        QTest::newRow("another computer's, ended, on this computer's disk")
            << 0 << "lab-pc-7" << false << false << 3600 << "saved as" << true;
        QTest::newRow("this computer's, ended, network folder")
            << 0 << here << true << false << 3600 << "saved as" << true;
    }
    void journalsLeftAlone()
    {
        QFETCH(int, lockError);
        QFETCH(QString, computer);
        QFETCH(bool, live);
        QFETCH(int, age);
        QFETCH(QString, named);
        QFETCH(bool, recovered);
        Session host;
        FailingDisk disk;
        QFETCH(bool, shared);
        disk.shared = shared;
        const QString path = leaveJournal(host.home, makeRecord(false), 3, computer);
        LockedFile running; // a live run holds its journal's lock
        QVERIFY(!live || running.open(path) == 0);
        const QByteArray bytes = readAll(path);
        const utimbuf touched{time(nullptr) - age, time(nullptr) - age};
        QCOMPARE(::utime(QFile::encodeName(path).constData(), &touched), 0);
        disk.lockError = lockError;

        const QStringList messages = startIn(host);
        QCOMPARE(messages.size(), named.isEmpty() ? 0 : 1);
        QVERIFY2(messages.value(0).contains(named), qPrintable(messages.value(0)));
        // The results and the event log beside them.
        QCOMPARE(files(host.home, "Recovered*").size(), recovered ? 2 : 0);
        if (!recovered) {
            QCOMPARE(readAll(path), bytes);
            QVERIFY(messages.value(0).contains(QFileInfo(path).fileName()) || named.isEmpty());
        }
    }

    // A journal that cannot be read is named once and moved aside, whole, never to be read
    // again; the start after it says nothing.
    void unreadableJournalsOnce_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray magic = "DIALTRACE-JOURNAL 1\n";
        QTest::newRow("damaged description") << magic + "{\"subj\n2,1,0,61\n"
                                             << "describing its run is damaged";
        QTest::newRow("newer format")
            << QByteArray("DIALTRACE-JOURNAL 2\n{}\n") << "another version";
        QTest::newRow("no sample readable") << magic + "{\"subject\":\"Ann\"}\n2,9,0,61\nxx\n"
                                            << "none of its samples";
        QTest::newRow("larger than any run")
            << magic + "{\"subject\":\"Ann\"}\n" + QByteArray(9 << 20, '\n') << "larger";
    }
    void unreadableJournalsOnce()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        Session host;
        const QString name = "run-20261206-105400000-1-1@elsewhere.dialtrace-journal";
        QVERIFY(writeAll(host.path(name), bytes));
        const QStringList first = startIn(host);
        QCOMPARE(first.size(), 1);
        QVERIFY2(first[0].contains(name) && first[0].contains(reason), qPrintable(first[0]));
        QCOMPARE(files(host.home), QStringList{name + Recovery::UnreadableSuffix});
        QCOMPARE(readAll(host.path(name + Recovery::UnreadableSuffix)), bytes);
        QCOMPARE(startIn(host), QStringList{});
    }

    // Damaged lines are passed over: the samples after them are saved too. A file system that
    // takes short names only gets the short name; names that arg() would read as markers stay as
    // typed.
    void damagedJournalWithOddNames()
    {
        Session host;
        SetupRecord record = makeRecord(false, "%1");
        record.SubjectName = "100%2 " + QString(100, 'x');
        const QString path = leaveJournal(host.home, record, 5);
        QByteArray bytes = readAll(path);
        // A disk that lost what it was given leaves zeros where the third sample was.
        const qsizetype third = bytes.indexOf("\n3,3,0,61,") + 1;
        QVERIFY(third > 0);
        bytes.replace(third, bytes.indexOf('\n', third) - third, QByteArray(8, '\0'));
        QVERIFY(writeAll(path, bytes));
        FailingDisk disk;
        disk.longestName = 50;
        const QStringList messages = startIn(host);
        QVERIFY2(messages.value(0).contains("Subject \"100%2 x") &&
                     messages.value(0).contains("variable \"%1\": 4 seconds stored"),
                 qPrintable(messages.value(0)));
        const QString name = "Recovered run 2026-12-06 10.54.00";
        QCOMPARE(files(host.home), (QStringList{name + ".csv", name + ".events.csv"}));
        QVERIFY(readAll(host.path(name + ".csv"))
                    .contains("\r\n2,2\r\n3,\r\n4,4\r\n5,5\r\n6,0\r\n7,\r\n"));
    }

    // Two runs in a row, the first never exported: it is kept byte for byte beside temp.csv
    // before the second replaces it, and the next start names it once; where it cannot be kept,
    // temp.csv stays as it is and the user is told.
    void unexportedRunIsKept_data()
    {
        QTest::addColumn<bool>("keepable");
        QTest::newRow("kept") << true;
        QTest::newRow("cannot be kept: not replaced") << false;
    }
    void unexportedRunIsKept()
    {
        QFETCH(bool, keepable);
        Session first;
        first.record(false, 30.0, 3, [](MainForm &r, int) { r.press(Rating::Button::Increase1); });
        first.finish();
        const QByteArray firstRun = readAll(first.order.resultsFilePath());
        const QByteArray firstEvents = readAll(first.order.eventLogPath());
        QVERIFY(firstEvents.contains(",increase,1,1,"));
        FailingDisk disk;
        disk.refusedNames = keepable ? "" : "Unsaved";
        Session second(&first);
        second.record(false, 30.0, 2);
        second.finish();
        QCOMPARE(second.dialogs.messages.size(), keepable ? 0 : 1);
        if (!keepable) {
            QVERIFY(second.dialogs.messages[0].contains("could not be kept"));
            QCOMPARE(readAll(first.order.resultsFilePath()), firstRun);
            return;
        }
        const QStringList kept = files(first.home, "Unsaved Ann Mood *[0-9].csv");
        QCOMPARE(kept.size(), 1);
        QCOMPARE(readAll(first.path(kept[0])), firstRun);
        QCOMPARE(readAll(first.path(EventLog::pathBeside(kept[0]))), firstEvents);
        QVERIFY(readAll(first.order.resultsFilePath()) != firstRun);

        const QStringList messages = startIn(first);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(kept[0]), qPrintable(messages[0]));
        QCOMPARE(startIn(first), QStringList{});
    }
};

DIALTRACE_TEST_CASE(TestRecovery, "recovery")
#include "tst_recovery.moc"
