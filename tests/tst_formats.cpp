// The files Dialtrace writes and reads: each written file reads back as it was, and a file that
// is not what it should be is refused with its line and reason, read no further than needed.

#include "cliplengths.h"
#include "collatefiles.h"
#include "eventlog.h"
#include "resultsfile.h"
#include "startup.h"
#include "studyfile.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace CollateFiles;

namespace {

// What this process has read through system calls so far, in bytes.
qint64 bytesReadSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/io");
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: "))
            return line.mid(7).toLongLong();
    }
    qFatal("no rchar in /proc/self/io");
}

// Every clip 60 s long but the one set, which cannot be played where it is set to 0 s.
struct FixedLengths : ClipLengths
{
    Length length(const QString &path) override
    {
        return QFileInfo(path).fileName() != clip ? Length{60.0, {}}
                                                  : Length{seconds, seconds ? "" : "No clip."};
    }
    QString clip;
    double seconds = 0;
};

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT
private slots:
    // The results file reads back as it was written, whatever the names hold; so does the log.
    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<InputMode>("input");
        QTest::newRow("quotes and a comma in the subject")
            << QStringList{"Mood"} << "Smith, \"Jr\"" << InputMode::Steps;
        QTest::newRow("a comma in the second variable")
            << QStringList{"Mood", "Fear, anger"} << "Bo" << InputMode::Steps;
        QTest::newRow("an empty second variable")
            << QStringList{"Mood", ""} << "" << InputMode::Steps;
        QTest::newRow("a position run in tenths: -0.5, -0.4, +5.0, 0.0, 0.1")
            << QStringList{"Mood", "Fear"} << "Bo" << InputMode::Position;
    }
    void roundTrip()
    {
        QFETCH(QStringList, variables);
        QFETCH(QString, subject);
        QFETCH(InputMode, input);
        ResultsRun written;
        written.subject = subject;
        written.date = "6.12.2026";
        written.variables = variables;
        written.input = input;
        for (int v = 0; v < variables.size(); ++v) {
            // Rows 2 to 6 with a gap at 4 and empty rows after the last sample.
            written.levels.append({ResultsRun::Gap, ResultsRun::Gap, qint8(-5 + v),
                                   qint8(5 * Input::unit(input)), ResultsRun::Gap, 0, 1,
                                   ResultsRun::Gap, ResultsRun::Gap});
        }
        // Decimals in a position run's files only: a steps run's bytes are as they always were.
        const QByteArray bytes = ResultsFile::bytes(written);
        QCOMPARE(bytes.contains(",-0.5") && bytes.contains(",0.0\r\n"),
                 input == InputMode::Position);
        QCOMPARE(bytes.mid(bytes.indexOf("1,0")).contains('.'), input == InputMode::Position);
        ResultsRun read;
        ReadProblem problem;
        QVERIFY2(ResultsFile::parse("f", bytes, &read, &problem), qPrintable(problem.text()));
        QCOMPARE(read.input, input);
        QCOMPARE(read.subject, written.subject);
        QCOMPARE(read.variables, written.variables);
        QCOMPARE(read.levels, written.levels);

        QList<RunEvent> events = {
            {-12, RunEvent::NoMedia, RunEvent::Kind::Increase, 1, 1, 0, 0, RunEvent::Source::Key},
            {1000, 999, RunEvent::Kind::Sample, 0, 1, 0, 2, RunEvent::Source::None},
            {1000, 999, RunEvent::Kind::FallBack, 1, 0, 0, 0, RunEvent::Source::None}};
        if (variables.size() == 2)
            events.append(
                {1500, 0, RunEvent::Kind::Decrease, 2, 0, -1, 0, RunEvent::Source::Wheel});
        if (input == InputMode::Position)
            events.append(
                {{1600, 0, RunEvent::Kind::Move, 2, 0, -50, 0, RunEvent::Source::Mouse},
                 {1700, 0, RunEvent::Kind::Device, 0, 0, -50, 0, RunEvent::Source::Disconnected}});
        QList<RunEvent> back;
        InputMode logged = InputMode::Steps;
        QVERIFY(EventLog::parse("e", EventLog::bytes(events, variables.size() == 2, input), &back,
                                &problem, &logged));
        QCOMPARE(back, events);
        QCOMPARE(logged, input);
        // As a spreadsheet program saves it: "2.0" as "2", so that a line may hold both forms.
        const QByteArray saved = QString::fromLatin1(EventLog::bytes(events, true, input))
                                     .replace(QRegularExpression("(\\d)\\.0(?=[,\r])"), "\\1")
                                     .toLatin1();
        QVERIFY(EventLog::parse("e", saved, &back, &problem, &logged));
        QCOMPARE(back, events);
    }
    // Event log lines with a level off the scale, whether written in steps, in tenths or both.
    void eventLogLevels_data()
    {
        QTest::addColumn<QByteArray>("levels"); // level1,level2 of a move line
        QTest::addColumn<bool>("read");
        QTest::newRow("steps") << QByteArray("5,-5") << true;
        QTest::newRow("tenths") << QByteArray("5.0,-4.9") << true;
        QTest::newRow("a whole level beside tenths") << QByteArray("-5,2.3") << true;
        QTest::newRow("6 in steps") << QByteArray("6,0") << false;
        QTest::newRow("-5.1 in tenths") << QByteArray("0.0,-5.1") << false;
        QTest::newRow("6 beside tenths") << QByteArray("2.3,6") << false;
    }
    void eventLogLevels()
    {
        QFETCH(QByteArray, levels);
        QFETCH(bool, read);
        QCOMPARE(bool(EventLog::parseLine("1000,900,move,1," + levels + ",,mouse")), read);
    }

    // A study file that breaks a rule is refused with every problem, each naming its field.
    void studyRefusals_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("problems"); // a part of each problem, in order
        const QByteArray clips = R"("clips": ["a.avi"])";
        // The study of a.avi rating the variables given, or rating A with one field more.
        const auto withVariables = [&](const char *tag, const QByteArray &variables,
                                       const char *problem) {
            QTest::newRow(tag) << R"({"variables": )" + variables + ", " + clips + "}"
                               << QStringList{problem};
        };
        const auto withField = [&](const char *tag, const QByteArray &field, const char *problem) {
            QTest::newRow(tag) << R"({"variables": ["A"], )" + clips + ", " + field + "}"
                               << QStringList{problem};
        };
        QTest::newRow("JSON broken on line 4")
            << QByteArray("{\n\"variables\": [\"A\"],\n\"clips\": [\"a.avi\"\n}")
            << QStringList{"Line 4"};
        QTest::newRow("not an object") << QByteArray("[1]") << QStringList{"one object"};
        QTest::newRow("nothing required")
            << QByteArray("{}")
            << QStringList{"\"variables\": is missing", "\"clips\": is missing"};
        withVariables("three variables", R"(["A", "B", "C"])",
                      "\"variables\": must name one or two");
        withVariables("a variable that is no text", "[1]", "\"variables\": must hold text");
        withVariables("an empty variable", R"(["A", " "])", "\"variables\": a name is empty");
        withVariables("a variable with a comma", R"(["Joy, mostly"])",
                      "\"variables\": \"Joy, mostly\" holds a comma");
        withVariables("one variable twice", R"(["A", "A "])", "\"variables\": names the same");
        QTest::newRow("an order by hand without a clip")
            << QByteArray(
                   R"({"variables": ["A"], "clips": ["a.avi", "sub"], "orders": [["a.avi"]]})")
            << QStringList{"\"clips\": \"sub\" is not a file", "\"orders\": each order must list"};
        withField("orders beside an order", R"("order": "shuffled", "orders": [["a.avi"]])",
                  "\"orders\": and \"order\" cannot both");
        QTest::newRow("no clips") << QByteArray(R"({"variables": ["A"], "clips": []})")
                                  << QStringList{"\"clips\": must list from 1 to 100"};
        QByteArray many = R"({"variables": ["A"], "clips": [)";
        for (int i = 0; i < 101; ++i)
            many += QByteArray(i ? ", " : "") + "\"a.avi\"";
        QTest::newRow("101 clips") << many + "]}" << QStringList{"must list from 1 to 100"};
        QTest::newRow("a clip that is not there")
            << QByteArray(R"({"variables": ["A"], "clips": ["a.avi", "gone.avi"]})")
            << QStringList{"\"clips\": \"gone.avi\" is not there"};
        withField("a practice clip that is a folder", R"("practice": "sub")",
                  "\"practice\": \"sub\" is not a file");
        withField("an order of its own", R"("order": "random")",
                  "\"order\": must be \"as listed\", \"shuffled\" or \"balanced\"");
        withField("an input of its own", R"("input": "joystick")",
                  "\"input\": must be \"steps\" or \"position\"");
        withField("showResults as text", R"("showResults": "yes")",
                  "\"showResults\": must be true or false");
        withField("a misspelt field", R"("showresults": true)", "\"showresults\": is not a field");
        withField("results in a file", R"("results": "a.avi")", "\"results\": \"a.avi\" is a file");
        QTest::newRow("every problem at once")
            << QByteArray(R"({"variables": [], "clips": ["gone.avi"], "order": 3})")
            << QStringList{"\"variables\"", "\"clips\"", "\"order\": must be text",
                           "\"order\": must be \"as"};
    }
    void studyRefusals()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, problems);
        QTemporaryDir dir;
        write(dir.filePath("a.avi"), "a clip");
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QStringList found;
        QVERIFY(!StudyFile::parse(dir.filePath("study.json"), json, &found));
        QCOMPARE(found.size(), problems.size());
        for (int i = 0; i < problems.size(); ++i)
            QVERIFY2(found[i].contains(problems[i]), qPrintable(found.join('\n')));
    }

    // Before anything starts, every clip's length is read: one too long to rate, or that
    // cannot be played, refuses the study by name.
    void studyClipsChecked_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("refusal"); // empty: taken
        QTest::newRow("901.0 s") << "b.avi" << 901.0 << QString();
        QTest::newRow("901.01 s") << "b.avi" << 901.01
                                  << "\"clips\": \"b.avi\" lasts 901.01 seconds";
        QTest::newRow("practice") << "p.avi" << 1000.0
                                  << "\"practice\": \"p.avi\" lasts 1000 seconds";
        QTest::newRow("not playable")
            << "a.avi" << 0.0 << "\"clips\": \"a.avi\" cannot be played. No clip.";
    }
    void studyClipsChecked()
    {
        FixedLengths lengths;
        QFETCH(QString, refusal);
        QFETCH(QString, clip);
        QFETCH(double, seconds);
        lengths.clip = clip;
        lengths.seconds = seconds;
        QTemporaryDir dir;
        for (const char *name : {"a.avi", "b.avi", "p.avi"})
            write(dir.filePath(name), "a clip");
        const QString study =
            write(dir.filePath("study.json"),
                  R"({"variables": ["A"], "clips": ["a.avi", "b.avi"], "practice": "p.avi"})");
        QString message;
        QCOMPARE(bool(Startup::study({"--study", study}, lengths, &message)), refusal.isEmpty());
        QVERIFY2(message.contains(refusal), qPrintable(message));
    }

    void readsGoodFiles_data();
    void readsGoodFiles();
    void rejectsBadFiles_data();
    void rejectsBadFiles();
};

void TestFormats::readsGoodFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<int>("lastRow");
    const QByteArray two = results("Ann", "Trust,Fear", {"1,-1", ",2"}, 2);
    QTest::newRow("LF line ends and trailing blank lines")
        << QByteArray(two).replace("\r\n", "\n") + "\n \n"
        << QStringList{"Trust", "Fear"} << 3;
    QTest::newRow("one variable keeps its commas")
        << results("Ann", "Fear, anger", {"5"}) << QStringList{"Fear, anger"} << 2;
    QTest::newRow("no rows after the placeholder")
        << results("Ann", "Mood", {}) << QStringList{"Mood"} << 1;
    QByteArray full = two;
    full.append(ResultsFile::MaxFileBytes - full.size(), '\n');
    QTest::newRow("blank lines up to the size limit") << full << QStringList{"Trust", "Fear"} << 3;
}

void TestFormats::readsGoodFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, variables);
    QFETCH(int, lastRow);
    QTemporaryDir dir;
    ResultsRun run;
    ReadProblem problem;
    QVERIFY2(ResultsFile::read(write(dir.filePath("f.csv"), bytes), &run, &problem),
             qPrintable(problem.text()));
    QCOMPARE(run.variables, variables);
    QCOMPARE(run.subject, QStringLiteral("Ann"));
    QCOMPARE(run.lastRow(), lastRow);
    QCOMPARE(run.levels.value(0).value(1, 0), ResultsRun::Gap); // the placeholder row
}

void TestFormats::rejectsBadFiles_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty with a kind: see below
    QTest::addColumn<QString>("kind"); // "bytes", "64 MiB" (bytes, then zeros), "folder", "missing"
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<qint64>("mostRead"); // bytes the reading may take; 0: not measured
    const QByteArray good = results("Ann", "Mood", {"1", "2", "3"});
    const auto with = [&](const QByteArray &from, const QByteArray &to) {
        return QByteArray(good).replace(from, to);
    };
    // A file that holds bytes, however much of it the reading takes.
    const auto file = [](const char *name, const QByteArray &bytes, int line, const char *reason) {
        QTest::newRow(name) << bytes << QString("bytes") << line << QString(reason) << qint64(0);
    };
    file("wrong first line", with("Orvan", "Other"), 1, "first line");
    file("level 6", with("\n3,2", "\n3,6"), 10, "\"6\" is not");
    file("level -6", with("\n3,2", "\n3,-6"), 10, "\"-6\" is not");
    file("plus sign", with("\n3,2", "\n3,+2"), 10, "\"+2\" is not");
    file("two decimals", with("\n3,2", "\n3,2.55"), 10, "\"2.55\" is not");
    file("a tenth past +5", with("\n3,2", "\n3,5.1"), 10, "\"5.1\" is not");
    file("rows out of order", with("\n3,2\r\n4,3", "\n4,3\r\n3,2"), 10, "expected row number 3");
    file("a row left out", with("\n3,2\r\n", "\n"), 10, "expected row number 3, found \"4\"");
    file("two cells in a one-variable file", with("\n3,2", "\n3,2,1"), 10, "expected 2 fields");
    file("placeholder not 1,0", with("\n1,0\r", "\n1,1\r"), 8, "1,0");
    file("no created line", with("Created on", "Made on"), 2, "Created on");
    file("cut off in the header", good.left(good.indexOf("Time")), 6, "ends before");
    file("blank line among rows", with("\n3,2\r\n", "\n\r\n3,2\r\n"), 10, "blank line");
    file("binary", QByteArray("\x89PNG\r\n\x1a\n\0\0", 10), 0, "binary");
    file("empty", QByteArray(), 0, "empty");
    QTest::newRow("a folder") << QByteArray() << "folder" << 0 << "folder" << qint64(0);
    QTest::newRow("missing") << QByteArray() << "missing" << 0 << "no such file" << qint64(0);
    // Once read whole, /dev/zero never ends.
    QTest::newRow("a device") << QByteArray() << "/dev/zero" << 0 << "device" << qint64(4096);
    QTest::newRow("a large file of another kind costs one short read")
        << QByteArray("A log of another program, line after line, that grew and grew\r\n")
        << "64 MiB" << 1 << "first line" << qint64(4096);
    QTest::newRow("a large file with a results file's first line")
        << good << "64 MiB" << 0 << "larger than 1 MiB" << ResultsFile::MaxFileBytes + 4096;
    file("one byte over the size limit",
         good + QByteArray(ResultsFile::MaxFileBytes + 1 - good.size(), '\n'), 0, "larger than");
}

void TestFormats::rejectsBadFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    QFETCH(int, line);
    QFETCH(QString, reason);
    QFETCH(qint64, mostRead);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("run.csv"));
    if (kind == QLatin1String("bytes") || kind == QLatin1String("64 MiB"))
        write(path, bytes);
    if (kind == QLatin1String("64 MiB"))
        QVERIFY(QFile::resize(path, 64 << 20)); // sparse: no disk, no time
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("run.csv")));
    else if (kind.startsWith(QLatin1Char('/')))
        path = kind;
    ResultsRun run;
    ReadProblem problem;
    const qint64 readBefore = bytesReadSoFar();
    QVERIFY(!ResultsFile::read(path, &run, &problem));
    const qint64 read = bytesReadSoFar() - readBefore;
    QVERIFY2(mostRead == 0 || read <= mostRead, qPrintable(QString::number(read)));
    QCOMPARE(problem.path, path);
    QCOMPARE(problem.line, line);
    QVERIFY2(problem.reason.contains(reason), qPrintable(problem.reason));
}

DIALTRACE_TEST_CASE(TestFormats, "formats")
#include "tst_formats.moc"
