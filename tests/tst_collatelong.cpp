// What the collator reads from an event log, and the long table it writes for R and pandas.

#include "collatefiles.h"
#include "longtable.h"
#include "rebin.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace CollateFiles;

namespace {

// The records of a table as Python's csv module reads them, strictly: none where it refuses one.
QList<QStringList> csvRecords(const QString &path)
{
    const QString script =
        "import csv, json, sys; print(json.dumps(list(csv.reader(open(sys.argv[1], "
        "newline='', encoding='utf-8'), strict=True))))";
    QList<QStringList> records;
    for (const QJsonValue record :
         QJsonDocument::fromJson(run({"-c", script, path}, 30000, reader("python3")).out.toUtf8())
             .array())
        records.append(record.toVariant().toStringList());
    return records;
}

} // namespace

class TestCollateLong : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void mismatch_data();
    void mismatch();
    void longTable();
    void readBack_data();
    void readBack();

private:
    QTemporaryDir m_dir;
    QString m_table;
};

// Two runs with a comma, quotes and a letter beyond ASCII in their names, written with no option;
// the second's event log tells that it ended before the clip's end.
void TestCollateLong::initTestCase()
{
    m_table = m_dir.filePath("long.csv");
    write(m_dir.filePath("two.events.csv"),
          EventLog::bytes({{3000, 3000, RunEvent::Kind::Finished, 0, 4, 0, 0, {}}}, false));
    const Ran collate =
        run({"--long", m_table,
             write(m_dir.filePath("one.csv"),
                   results("O'Brien, \"Pat\"", "Mood,Trust, overall", {"1,2", ",3", "-2,"}, 2)),
             write(m_dir.filePath("two.csv"), results("Zoë", "Mood", {"0", "4", "", ""}))});
    QVERIFY2(collate.finished && collate.exitCode == 0, qPrintable(collate.err));
}

void TestCollateLong::mismatch_data()
{
    // Against a results file of rows 2 to 6, "1", "", "2", "", "": the log's samples as
    // "ROW:LEVEL" (row 0: none given, at 10^11 ms), and where they first differ (empty: nowhere).
    QTest::addColumn<QStringList>("samples");
    QTest::addColumn<QString>("differs");
    const QString inLog = "a sample in the event log, none in the results file";
    QTest::newRow("a gap and the empty end of the minute") << QStringList{"2:1", "4:2"} << "";
    QTest::newRow("one more, as 10^11 ms") << QStringList{"2:1", "4:2", "0:0"} << "row 5: " + inLog;
    QTest::newRow("one in a gap") << QStringList{"2:1", "3:1", "4:2"} << "row 3: " + inLog;
    QTest::newRow("another level")
        << QStringList{"2:1", "4:3"} << "row 4: the event log has 3 where the results file has 2";
    QTest::newRow("a row without its sample")
        << QStringList{"2:1"} << "row 4: a sample in the results file, none in the event log";
}

void TestCollateLong::mismatch()
{
    QFETCH(QStringList, samples);
    QList<RunEvent> events;
    for (const QString &sample : samples) {
        const int row = sample.section(':', 0, 0).toInt();
        const qint64 time = row > 0 ? row * 1000 : 100000000000;
        events.append(
            {time, {}, RunEvent::Kind::Sample, 0, sample.section(':', 1).toInt(), 0, row});
    }
    QTEST(Rebin::mismatch(parsed("r.csv", results("A", "M", {"1", "", "2", "", ""})), events),
          "differs");
}

void TestCollateLong::longTable()
{
    const QList<QStringList> rows = csvRecords(m_table);
    QCOMPARE(rows.value(0).join(','),
             "study,participant,clip,position,run,state,variable,time_s,level");
    QCOMPARE(rows.value(2),
             QStringList({"", "O'Brien, \"Pat\"", "", "", "one.csv", "done", "Mood", "3", ""}));
    QCOMPARE(rows.value(8),
             QStringList({"", "Zoë", "", "", "two.csv", "partial", "Mood", "3", "4"}));
    QCOMPARE(rows.size(), 9); // two's empty end of the minute left out
}

void TestCollateLong::readBack_data()
{
    // The reader, printing: rows, whether time_s and level are numbers, the gaps, the first
    // participant, the fourth row's variable and the last row's participant.
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("script");
    QTest::newRow("R's read.csv")
        << "Rscript"
        << "x <- read.csv(commandArgs(TRUE)[1]); cat(nrow(x), is.numeric(x$time_s), "
           "is.numeric(x$level), sum(is.na(x$level)), x$participant[1], x$variable[4], "
           "x$participant[8], '', sep='|')";
    QTest::newRow("pandas.read_csv")
        << "python3"
        << "import sys, pandas; x = pandas.read_csv(sys.argv[1]); print(len(x), *[str(c.dtype.kind "
           "in 'if').upper() for c in (x.time_s, x.level)], x.level.isna().sum(), "
           "x.participant[0], x.variable[3], x.participant[7], '', sep='|', end='')";
}

void TestCollateLong::readBack()
{
    QFETCH(QString, reader);
    QFETCH(QString, script);
    const QString program = CollateFiles::reader(reader);
    if (program.isEmpty())
        QSKIP(qPrintable(reader + " is not installed (Debian: r-base-core, python3-pandas)"));
    QProcess read;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C.UTF-8");
    read.setProcessEnvironment(environment);
    read.start(program, {reader == "Rscript" ? "-e" : "-c", script, m_table});
    QVERIFY(read.waitForFinished(60000));
    if (read.readAllStandardError().contains("No module named 'pandas'"))
        QSKIP("pandas is not installed (Debian: python3-pandas)");
    QCOMPARE(QString::fromUtf8(read.readAllStandardOutput()),
             "8|TRUE|TRUE|2|O'Brien, \"Pat\"|Trust, overall|Zoë|");
}

DIALTRACE_TEST_CASE(TestCollateLong, "collatelong")
#include "tst_collatelong.moc"
