#include "clips.h"
#include "collatefiles.h"
#include "commandline.h"

#include <QDir>
#include <QImage>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <sys/stat.h>
#include <unistd.h>

using namespace CollateFiles;

// The real executable on the command line.
class TestCollatePrograms : public QObject
{
    Q_OBJECT
private slots:
    void study_data();
    void study();
    void commandLine_data();
    void commandLine();
    void answers_data();
    void answers();
};

void TestCollatePrograms::study_data()
{
    // After --study (see writeStudy). Each of expected: "out LINE" printed, "!out TEXT" not,
    // "err TEXT" on standard error, "file PATH" made, "!file PATH" not, "file PATH holds TEXT".
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("refused"); // outputs whose names begin so cannot be written
    QTest::newRow("every clip and variable; partial runs and other studies named")
        << QStringList{} << 0
        << QStringList{"out a/intro\tMood\truns\t4",
                       "out a/intro\tStress\truns\t4",
                       "out b/intro\tStress\truns\t2",
                       "out city\tMood\truns\t2",
                       "!out practice",
                       "err P03 city: interrupted at 13 s, left out\n",
                       "err P02 city: a further run, Q01 5 3.csv, left out\n",
                       "err P04 city: ended at 13 s, before the clip's end, left out\n",
                       "err P01 a/intro: a further run, P01 3 1.csv, left out\n",
                       "err empty: no runs yet\n",
                       "err 2 session records of another study, U, left out\n"}
        << "";
    QTest::newRow("--variable narrows it")
        << QStringList{"--variable", "Stress"} << 0
        << QStringList{"out city\tStress\truns\t2", "!out Mood"} << "";
    QTest::newRow("--include-partial: the interrupted run, never a further one")
        << QStringList{"--include-partial"} << 0
        << QStringList{"out city\tMood\truns\t4", "err P03 city: interrupted at 13 s, included"}
        << "";
    QTest::newRow("--rate; one folder made for -o and --chart; like-named clips apart")
        << QStringList{"--rate",  "2",          "-o",     "@dir/new/t",
                       "--chart", "@dir/new/t", "--long", "@dir/new/all.csv"}
        << 0
        << QStringList{"out a/intro\tStress\tmoments\t6",
                       "out b/intro\tMood\tfirst[@dir/out/P01 0 2.csv]\t2.4000",
                       "file new/all.csv holds Mood,1.5,0\r\nT,P01,b/intro.avi,3,P01 0 2.csv,done,"
                       "Mood,2,1\r\nT,P01,b/intro.avi,3,P01 0 2.csv,done,Mood,2.5,-2\r\n",
                       "file new/t/a_intro Mood.csv holds P04 (1.1.2026),Mean",
                       "file new/t/b_intro Mood.csv holds P02 (1.1.2026),Mean",
                       "file new/t/city Stress.png"}
        << "";
    QTest::newRow("a refused output: nothing printed, made or written")
        << QStringList{"--chart", "@dir/new", "-o", "@dir/out"} << 2
        << QStringList{"!out runs", "err out/city Stress.csv is a Dialtrace results file",
                       "!file new", "!file out/a_intro Mood.csv"}
        << "";
    QTest::newRow("an output not written fails the call, after the others")
        << QStringList{"-o", "@dir/t"} << 1
        << QStringList{"out b/intro\tMood\truns\t2", "err cannot write @dir/t/b_intro Mood.csv",
                       "file t/a_intro Mood.csv", "!file t/b_intro Mood.csv",
                       "file t/city Stress.csv"}
        << "b_intro Mood.csv";
    QTest::newRow("--rate with an event log missing fails the call")
        << QStringList{"--rate", "2", "--include-partial"} << 1
        << QStringList{"out a/intro\tMood\truns\t4", "!out city",
                       "err P03 2 3.csv: no event log beside it"}
        << "";
    QTest::newRow("--long: each run once, every variable, what the records say of it")
        << QStringList{"--include-partial", "--long", "@dir/all.csv"} << 0
        << QStringList{"file all.csv holds \r\nT,P01,b/intro.avi,3,P01 0 2.csv,done,Stress,3,3\r\n",
                       "file all.csv holds \r\nT,P04,city.avi,3,P04 4 3.csv,partial,Mood,2,1\r\n",
                       "file all.csv holds \r\nT,P03,city.avi,4,P03 2 "
                       "3.csv,recovered,Mood,3,-2\r\n"}
        << "";
    for (const char *read : {"study.csv", "record.csv", "out/P01 0 2.events.csv"})
        QTest::newRow(qPrintable(QStringLiteral("--long onto %1, even with --force").arg(read)))
            << QStringList{"--force", "--long", "@dir/" + QString(read)} << 2
            << QStringList{"err would overwrite the input file", "!out runs"} << "";
    QTest::newRow("a variable the study has not")
        << QStringList{"--variable", "Joy"} << 2
        << QStringList{"err --variable Joy is not a variable of the study (Mood, Stress)"} << "";
}

// In the library, where the disk can be made to fail.
void TestCollatePrograms::study()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    QFETCH(QString, refused);
    QTemporaryDir dir;
    arguments = QStringList{"--study", writeStudy(dir.path())} +
                arguments.replaceInStrings("@dir", dir.path());
    // A results file where an output would go.
    QVERIFY(QFile::copy(dir.filePath("out/P01 0 1.csv"), dir.filePath("out/city Stress.csv")));
    // Links named as a table would be, to the study file and a session record.
    QVERIFY(QFile::link(arguments[1], dir.filePath("study.csv")));
    QVERIFY(QFile::link(dir.filePath("out/P01 session 0.json"), dir.filePath("record.csv")));
    FailingDisk disk;
    disk.refusedNames = refused;
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    QTEST(CommandLine::run(CommandLine::parse(arguments), out, err), "exitCode");
    err.flush();
    for (const QString &expect : expected.replaceInStrings("@dir", dir.path())) {
        const QString kind = expect.section(' ', 0, 0);
        const QString what = expect.section(' ', 1);
        const QString path = dir.filePath(what.section(" holds ", 0, 0));
        const bool holds = kind == "out"    ? outText.split('\n').contains(what)
                           : kind == "!out" ? !outText.contains(what)
                           : kind == "err"
                               ? errText.contains(what)
                               : QFileInfo::exists(path) == (kind == "file") &&
                                     readAll(path).contains(what.section(" holds ", 1).toUtf8());
        QVERIFY2(holds, qPrintable(expect + " in:\n" + outText + errText));
    }
}

void TestCollatePrograms::commandLine_data()
{
    // In arguments, "@N" stands for the N-th file of the set-up, "@dir" for its folder.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a line the summary must hold
    QTest::addColumn<QString>("err"); // text standard error must hold
    // Refused as wrong usage, printing nothing; collated, saying nothing on standard error.
    const auto refused = [](const char *name, const QStringList &arguments, const char *err) {
        QTest::newRow(name) << arguments << 2 << QString() << QString(err);
    };
    const auto collated = [](const char *name, const QStringList &arguments, const char *out) {
        QTest::newRow(name) << arguments << 0 << QString(out) << QString();
    };
    collated("a tab in a name is a blank, %1 stays", {"@1", "@2", "@3", "@odd"},
             "r[@dir/tab here %1.csv]\t0.7902");
    QTest::newRow("a bad file among good ones") << QStringList{"@1", "@bad", "@2"} << 0 << "runs\t2"
                                                << "@bad: line 9: \"7\" is not";
    QTest::newRow("a file without the variable is skipped")
        << QStringList{"--variable", "Fear", "@two", "@1"} << 0 << "runs\t1"
        << "@1: skipped: no variable \"Fear\"";
    collated("one run", {"@1"}, "ICC(2,k)\tmissing: fewer than two runs");
    QTest::newRow("nothing readable") << QStringList{"@bad", "@dir/none.csv"} << 1 << ""
                                      << "none.csv: no such file";
    QTest::newRow("no file has the variable") << QStringList{"--variable", "Joy", "@1"} << 1 << ""
                                              << "skipped";
    refused("unknown option", {"--colour", "@1"}, "usage:");
    collated("--version among files", {"@1", "--version"}, "dialtrace-collate " DIALTRACE_VERSION);
    refused("option without value", {"@1", "-o"}, "usage:");
    refused("--window with -o", {"--window", "-o", "@dir/t.csv", "@1"},
            "--window cannot be combined with -o");
    refused("outputs without files", {"-o", "@dir/t.csv"}, "usage:");
    refused("-o over an input", {"-o", "@2", "@1", "@2"}, "overwrite");
    refused("--chart over an input through a symbolic link", {"--chart", "@dir/link.png", "@1"},
            "overwrite");
    refused("-o over an input through a hard link", {"-o", "@dir/hard.csv", "@1"}, "overwrite");
    refused("-o onto a results file, even with --force", {"--force", "-o", "@4", "@1", "@2"},
            "@4 is a Dialtrace results file");
    refused("-o onto another file without --force", {"-o", "@dir/other.csv", "@1", "@2"},
            "@dir/other.csv exists; --force replaces it");
    collated("-o and --chart onto other files with --force",
             {"--force", "-o", "@dir/other.csv", "--chart", "@dir/other.png", "@1", "@2"},
             "runs\t2");
    refused("a refused chart leaves the table unwritten",
            {"-o", "@dir/t.csv", "--chart", "@dir/results.png", "@1", "@2"}, "results file");
    QTest::newRow("a symbolic link to a file given counts once")
        << QStringList{"@1", "@2", "@3", "@4", "@dir/link.csv"} << 0 << "runs\t4"
        << "@dir/link.csv: the same file as @1, counted once";
    QTest::newRow("a hard link to a file given counts once")
        << QStringList{"@dir/hard.csv", "@1", "@2", "@3", "@4"} << 0
        << "ICC(3,1)\t0.7148\t0.3425\t0.9459"
        << "@1: the same file as @dir/hard.csv, counted once";
    collated("a symbolic link alone is read", {"@dir/link.csv", "@2"}, "runs\t2");
    QTest::newRow("a fifo is refused without waiting")
        << QStringList{"@dir/fifo.csv", "@1", "@2"} << 0 << "runs\t2"
        << "@dir/fifo.csv: is a named pipe";
    collated("--rate 2 from the event logs", {"--rate", "2", "-o", "@dir/t.csv", "@1", "@2"},
             "moments\t14");
    QTest::newRow("--rate with a run that has no event log")
        << QStringList{"--rate=4", "@1", "@2", "@3"} << 1 << ""
        << "@3: no event log beside it (judge3.events.csv)";
    refused("--include-partial without --study", {"--include-partial", "@1"},
            "--include-partial goes with --study");
    refused("--rate 0", {"--rate", "0", "@1"}, "--rate takes a whole number from 1 to 50");
    refused("--rate 51", {"--rate=51", "@1"}, "--rate takes");
    collated("--align finds each rater's delay", {"--align", "3", "@d0", "@d1", "@d2"},
             "lag[@d2]\t2.0000");
    collated("--align with one run", {"--align=2", "@1"},
             "lag[@1]\tmissing: a lag needs at least two runs "
             "to compare");
    refused("--align 11", {"--align", "11", "@1"}, "--align takes the seconds");
    // Nothing the call reads or would read is ever an output: event logs, the clip, by any path.
    refused("-o onto an event log, even with --force",
            {"--force", "-o", "@dir/judge1.events.csv", "@1", "@2"},
            "would overwrite the input file @dir/judge1.events.csv");
    refused("-o where an input's event log would be, through a linked folder",
            {"-o", "@dir/again/judge3.events.csv", "@3"}, "overwrite");
    refused("--chart onto an event log through a link",
            {"--force", "--chart", "@dir/log.png", "@1"}, "overwrite");
    refused("--long and -o the same file", {"-o", "@dir/t.csv", "--long", "@dir/t.csv", "@1"},
            "--long names the same file as another output");
    refused("--long onto an input through a hard link",
            {"--force", "--long", "@dir/hard.csv", "@1"}, "overwrite");
    refused("-o onto the clip, even with --force",
            {"--force", "-o", "@clip", "--video", "@clip", "--worm", "@dir/v.mp4", "@1"},
            "would overwrite the input file @clip");
    refused("--worm onto the clip by another path",
            {"--video", "@clip", "--worm", "@dir/../collate/clip.mp4", "@1"}, "overwrite the clip");
    refused("--worm onto the clip through a link",
            {"--video", "@clip", "--worm", "@dir/clip2.mp4", "@1"}, "overwrite the clip");
    QTest::newRow("a clip that cannot be read stops before any output")
        << QStringList{"-o",    "@dir/t.csv", "--long",     "@dir/l.csv", "--video",
                       "@clip", "--worm",     "@dir/v.mp4", "@1",         "@2"}
        << 1 << ""
        << "cannot read the clip @clip";
    QTest::newRow("a clip larger than 3840x2160 is refused before decoding")
        << QStringList{"-o", "@dir/t.csv", "--video", "@big", "--worm", "@dir/v.mp4", "@1", "@2"}
        << 1 << ""
        << "the clip @big is 3856x16 pixels";
    QTest::newRow("--rate with another run's event log")
        << QStringList{"--rate", "50", "-o", "@dir/t.csv", "@1", "@4"} << 1 << ""
        << "@4: its event log @dir/judge4.events.csv does not match it: row 2: the event log has "
           "4 where the results file has 3";
    collated("the first press on the clip's time", {"@1", "@3"}, "first[@1]\t1.4000");
    QTest::newRow("a run without a press is flat")
        << QStringList{"--variable", "Fear", "@two", "@1"} << 0 << "presses[@two]\t0"
        << "@two: flat: not a single press";
    collated("table and chart written", {"-o", "@dir/t.csv", "--chart", "@dir/c.png", "@1", "@2"},
             "seconds\t6");
}

void TestCollatePrograms::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir top;
    const QString dir = top.filePath(QStringLiteral("collate"));
    QVERIFY(QDir().mkpath(dir));
    const QStringList files = writeShroutFleiss(dir);
    writeJudgeLogs(files);
    write(dir + "/bad.csv", results("Bo", "Mood", {"7"}));
    // Three raters of one signal, each a second later than the one before.
    for (int delay = 0; delay < 3; ++delay) {
        QStringList cells;
        for (int t = 0; t < 60; ++t)
            cells << QString::number((t + 7 - delay) * (t + 7 - delay) % 11 - 5);
        write(dir + QStringLiteral("/d%1.csv").arg(delay), results("R", "Mood", cells));
    }
    write(dir + "/two.csv", results("Cy", "Trust,Fear", {"1,2", "2,3"}, 2));
    write(dir + "/clip.mp4", "not a clip\n");
    QVERIFY(QFile::link(dir + "/clip.mp4", dir + "/clip2.mp4") && QFile::link(dir, dir + "/again"));
    QVERIFY(QFile::link(dir + "/judge1.events.csv", dir + "/log.png"));
    if (arguments.contains("@big"))
        QCOMPARE(makeClip(dir + "/big.avi", 0.04, {QSize(3856, 16)}), QString());
    write(dir + "/other.csv", "notes of another kind\n");
    write(dir + "/other.png", "not a picture\n");
    const QString odd = dir + "/tab\there %1.csv";
    QVERIFY(QFile::copy(files[3], odd));
    QVERIFY(QFile::copy(files[3], dir + "/results.png"));
    QVERIFY(::mkfifo(QFile::encodeName(dir + "/fifo.csv").constData(), 0600) == 0);
    QVERIFY(QFile::link(files[0], dir + "/link.csv"));
    QVERIFY(QFile::link(files[0], dir + "/link.png"));
    QVERIFY(::link(QFile::encodeName(files[0]).constData(),
                   QFile::encodeName(dir + "/hard.csv").constData()) == 0);
    const auto expand = [&](QString text) {
        for (int i = 1; i <= 4; ++i)
            text.replace(QStringLiteral("@%1").arg(i), files[i - 1]);
        for (int delay = 0; delay < 3; ++delay)
            text.replace(QStringLiteral("@d%1").arg(delay),
                         dir + QStringLiteral("/d%1.csv").arg(delay));
        return text.replace("@bad", dir + "/bad.csv")
            .replace("@clip", dir + "/clip.mp4")
            .replace("@big", dir + "/big.avi")
            .replace("@odd", odd)
            .replace("@two", dir + "/two.csv")
            .replace("@dir", dir);
    };
    for (QString &argument : arguments)
        argument = expand(argument);
    const QMap<QString, QByteArray> before = contents(dir);

    // Well within the time a fifo opened for reading would block.
    const Ran collate = run(arguments);
    QVERIFY(collate.finished);
    const QString &stdOut = collate.out;
    const QString &stdErr = collate.err;
    QVERIFY2(collate.exitCode == exitCode, qPrintable(stdErr));
    QVERIFY2(stdOut.split('\n').contains(expand(out)) || out.isEmpty(), qPrintable(stdOut));
    QVERIFY2(stdErr.contains(expand(err)), qPrintable(stdErr));
    // Scripts take anything on stderr for a failure: nothing there unless something is wrong.
    if (err.isEmpty())
        QVERIFY2(stdErr.isEmpty(), qPrintable(stdErr));
    if (exitCode == 2)
        QVERIFY2(stdOut.isEmpty(), "wrong usage prints no summary");

    // Nothing changes but the outputs of a call that succeeds, and those are whole.
    QStringList written;
    for (qsizetype i = 0; exitCode == 0 && i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-o" || arguments[i] == "--chart")
            written.append(QFileInfo(arguments[i + 1]).fileName());
    }
    const QMap<QString, QByteArray> after = contents(dir);
    QStringList changed;
    for (const QString &name : QSet<QString>(before.keyBegin(), before.keyEnd()) +
                                   QSet<QString>(after.keyBegin(), after.keyEnd())) {
        if (before.value(name, "absent") != after.value(name, "absent"))
            changed.append(name);
    }
    changed.sort();
    written.sort();
    QCOMPARE(changed, written);
    for (const QString &name : std::as_const(written)) {
        if (name.endsWith(".png"))
            QCOMPARE(QImage(dir + '/' + name).size(), QSize(2400, 1500));
        else
            QVERIFY(
                after[name].startsWith("Time,Judge1 (1.1.2026),Judge2 (1.1.2026),Mean,SD,N\r\n"));
        // Both pressed at 1.4 s of the clip: 0 before, then judge 1's 9 and 2's 2.
        if (arguments.contains("--rate") && name.endsWith(".csv"))
            QVERIFY(
                after[name].contains("\r\n1,0,0,0.0000,0.0000,2\r\n1.5,4,-3,0.5000,4.9497,2\r\n"));
    }
}

// Both programs answer --help and --version on a machine without a display, and say nothing else.
void TestCollatePrograms::answers_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("line"); // a line the answer must hold
    QTest::newRow("dialtrace --help") << DIALTRACE_PROGRAM << "--help"
                                      << "usage: dialtrace [--study FILE]";
    QTest::newRow("dialtrace --version") << DIALTRACE_PROGRAM << "--version"
                                         << "dialtrace " DIALTRACE_VERSION;
    QTest::newRow("dialtrace-collate --help") << DIALTRACE_COLLATE << "--help"
                                              << "       dialtrace-collate --help | --version";
}

void TestCollatePrograms::answers()
{
    QFETCH(QString, program);
    QFETCH(QString, argument);
    QFETCH(QString, line);
    const Ran answered = run({argument}, 30000, program);
    QVERIFY2(answered.finished && answered.exitCode == 0, qPrintable(answered.err));
    QVERIFY2(answered.err.isEmpty(), qPrintable(answered.err));
    QVERIFY2(answered.out.split('\n').contains(line), qPrintable(answered.out));
}

DIALTRACE_TEST_CASE(TestCollatePrograms, "collatecommand")
#include "tst_collatecommand.moc"
