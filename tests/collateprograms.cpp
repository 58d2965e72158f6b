#include "collatefiles.h"
#include "collatewindow.h"
#include "files.h"
#include "resultsfile.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace CollateFiles;

// The two faces of the program: the real executable on the command line, the window with
// fake dialogs.
class TestCollatePrograms : public QObject
{
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void windowCollatesAndExports();
    void windowGuards_data();
    void windowGuards();
};

void TestCollatePrograms::commandLine_data()
{
    // In arguments, "@N" stands for the N-th file of the set-up, "@dir" for its folder.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a line the summary must hold
    QTest::addColumn<QString>("err"); // text standard error must hold
    QTest::newRow("the published example")
        << QStringList{"@1", "@2", "@3", "@4"} << 0 << "ICC(3,1)\t0.7148\t0.3425\t0.9459"
        << "";
    QTest::newRow("r named as given") << QStringList{"@1", "@2", "@3", "@4"} << 0 << "r[@4]\t0.7902"
                                      << "";
    QTest::newRow("a tab in a name is a blank, %1 stays")
        << QStringList{"@1", "@2", "@3", "@odd"} << 0 << "r[@dir/tab here %1.csv]\t0.7902"
        << "";
    QTest::newRow("a bad file among good ones") << QStringList{"@1", "@bad", "@2"} << 0 << "runs\t2"
                                                << "@bad: line 9: \"7\" is not";
    QTest::newRow("a file without the variable is skipped")
        << QStringList{"--variable", "Fear", "@two", "@1"} << 0 << "runs\t1"
        << "@1: skipped: no variable \"Fear\"";
    QTest::newRow("one run") << QStringList{"@1"} << 0 << "ICC(2,k)\tmissing: fewer than two runs"
                             << "";
    QTest::newRow("nothing readable") << QStringList{"@bad", "@dir/none.csv"} << 1 << ""
                                      << "none.csv: no such file";
    QTest::newRow("no file has the variable") << QStringList{"--variable", "Joy", "@1"} << 1 << ""
                                              << "skipped";
    QTest::newRow("unknown option") << QStringList{"--colour", "@1"} << 2 << ""
                                    << "usage:";
    QTest::newRow("option without value") << QStringList{"@1", "-o"} << 2 << ""
                                          << "usage:";
    QTest::newRow("outputs without files") << QStringList{"-o", "@dir/t.csv"} << 2 << ""
                                           << "usage:";
    QTest::newRow("-o over an input") << QStringList{"-o", "@2", "@1", "@2"} << 2 << ""
                                      << "overwrite";
    QTest::newRow("-o over an input by another path")
        << QStringList{"-o", "@dir/../collate/judge1.csv", "@1"} << 2 << ""
        << "overwrite";
    QTest::newRow("--chart over an input through a symbolic link")
        << QStringList{"--chart", "@dir/link.png", "@1"} << 2 << ""
        << "overwrite";
    QTest::newRow("-o over an input through a symbolic link")
        << QStringList{"-o", "@dir/link.csv", "@1"} << 2 << ""
        << "overwrite";
    QTest::newRow("-o over an input through a hard link")
        << QStringList{"-o", "@dir/hard.csv", "@1"} << 2 << ""
        << "overwrite";
    QTest::newRow("-o onto a results file not among the inputs")
        << QStringList{"-o", "@4", "@1", "@2", "@3"} << 2 << ""
        << "@4 is a Dialtrace results file";
    QTest::newRow("-o onto a results file, even with --force")
        << QStringList{"--force", "-o", "@4", "@1", "@2"} << 2 << ""
        << "@4 is a Dialtrace results file";
    QTest::newRow("--chart onto a results file, even with --force")
        << QStringList{"--force", "--chart", "@dir/results.png", "@1", "@2"} << 2 << ""
        << "@dir/results.png is a Dialtrace results file";
    QTest::newRow("-o onto another file without --force")
        << QStringList{"-o", "@dir/other.csv", "@1", "@2"} << 2 << ""
        << "@dir/other.csv exists; --force replaces it";
    QTest::newRow("--chart onto another file without --force")
        << QStringList{"--chart", "@dir/other.png", "@1", "@2"} << 2 << ""
        << "@dir/other.png exists; --force replaces it";
    QTest::newRow("-o and --chart onto other files with --force")
        << QStringList{"--force", "-o", "@dir/other.csv", "--chart", "@dir/other.png", "@1", "@2"}
        << 0 << "runs\t2"
        << "";
    QTest::newRow("a refused chart leaves the table unwritten")
        << QStringList{"-o", "@dir/t.csv", "--chart", "@dir/results.png", "@1", "@2"} << 2 << ""
        << "results file";
    QTest::newRow("the same path twice counts once")
        << QStringList{"@1", "@2", "@1"} << 0 << "runs\t2"
        << "@1: the same file as @1, counted once";
    QTest::newRow("a symbolic link to a file given counts once")
        << QStringList{"@1", "@2", "@3", "@4", "@dir/link.csv"} << 0 << "runs\t4"
        << "@dir/link.csv: the same file as @1, counted once";
    QTest::newRow("a hard link to a file given counts once")
        << QStringList{"@dir/hard.csv", "@1", "@2", "@3", "@4"} << 0
        << "ICC(3,1)\t0.7148\t0.3425\t0.9459"
        << "@1: the same file as @dir/hard.csv, counted once";
    QTest::newRow("another spelling of a path given counts once")
        << QStringList{"@1", "@2", "@3", "@4", "@dir/../collate/judge2.csv"} << 0 << "runs\t4"
        << "@dir/../collate/judge2.csv: the same file as @2";
    QTest::newRow("a symbolic link alone is read")
        << QStringList{"@dir/link.csv", "@2"} << 0 << "runs\t2"
        << "";
    QTest::newRow("a fifo is refused without waiting")
        << QStringList{"@dir/fifo.csv", "@1", "@2"} << 0 << "runs\t2"
        << "@dir/fifo.csv: is a named pipe";
    QTest::newRow("a device is refused") << QStringList{"/dev/zero", "@1", "@2"} << 0 << "runs\t2"
                                         << "/dev/zero: is a device";
    QTest::newRow("a file over the size limit is refused")
        << QStringList{"@dir/big.csv", "@1", "@2"} << 0 << "runs\t2"
        << "@dir/big.csv: is larger than 1 MiB";
    QTest::newRow("table and chart written")
        << QStringList{"-o", "@dir/t.csv", "--chart", "@dir/c.png", "@1", "@2"} << 0 << "seconds\t6"
        << "";
}

namespace {

// What a folder holds: each plain file's bytes (or size, when large), and what else is there.
QMap<QString, QByteArray> contents(const QString &directory)
{
    QMap<QString, QByteArray> found;
    const QDir dir(directory);
    for (const QFileInfo &entry :
         dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QByteArray &bytes = found[entry.fileName()];
        if (entry.isSymLink() || !entry.isFile())
            bytes = "not a plain file";
        else if (entry.size() > ResultsFile::MaxFileBytes)
            bytes = QByteArray::number(entry.size());
        else if (!Files::readFile(entry.filePath(), &bytes))
            qFatal("cannot read %s", qPrintable(entry.filePath()));
    }
    return found;
}

} // namespace

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
    write(dir + "/bad.csv", results("Bo", "Mood", {"7"}));
    write(dir + "/two.csv", results("Cy", "Trust,Fear", {"1,2", "2,3"}, 2));
    write(dir + "/other.csv", "notes of another kind\n");
    write(dir + "/other.png", "not a picture\n");
    const QString odd = dir + "/tab\there %1.csv";
    QVERIFY(QFile::copy(files[3], odd));
    QVERIFY(QFile::copy(files[3], dir + "/results.png"));
    write(dir + "/big.csv", results("Di", "Mood", {"1"}));
    QVERIFY(QFile::resize(dir + "/big.csv", 64 << 20)); // sparse: no disk, no time
    QVERIFY(::mkfifo(QFile::encodeName(dir + "/fifo.csv").constData(), 0600) == 0);
    QVERIFY(QFile::link(files[0], dir + "/link.csv"));
    QVERIFY(QFile::link(files[0], dir + "/link.png"));
    QVERIFY(::link(QFile::encodeName(files[0]).constData(),
                   QFile::encodeName(dir + "/hard.csv").constData()) == 0);
    const auto expand = [&](QString text) {
        for (int i = 1; i <= 4; ++i)
            text.replace(QStringLiteral("@%1").arg(i), files[i - 1]);
        return text.replace("@bad", dir + "/bad.csv")
            .replace("@odd", odd)
            .replace("@two", dir + "/two.csv")
            .replace("@dir", dir);
    };
    for (QString &argument : arguments)
        argument = expand(argument);
    const QMap<QString, QByteArray> before = contents(dir);

    QProcess process;
    process.start(QStringLiteral(DIALTRACE_COLLATE), arguments);
    // Well within the time a fifo opened for reading would block.
    QVERIFY(process.waitForFinished(30000));
    const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(process.exitCode() == exitCode, qPrintable(stdErr));
    QVERIFY2(stdOut.split('\n').contains(expand(out)) || out.isEmpty(), qPrintable(stdOut));
    QVERIFY2(stdErr.contains(expand(err)), qPrintable(stdErr));
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
    }
}

void TestCollatePrograms::windowCollatesAndExports()
{
    QTemporaryDir dir;
    const QString two =
        write(dir.filePath("two.csv"), results("Ann", "Trust,Fear", {"1,-2", "3,4"}, 2));
    const QString one = write(dir.filePath("one.csv"), results("Bo", "Fear", {"0", "2", "5"}));
    const QString bad = write(dir.filePath("bad.csv"), results("Cy", "Fear", {"1", "9"}));
    FakeCollateDialogs dialogs;
    CollateWindow window(dialogs);
    dialogs.openFilesAnswers = {{two, bad, one}};
    window.findChild<QPushButton *>("addButton")->click();

    // The bad file is named with its line; the others are listed.
    QCOMPARE(dialogs.common.messages.size(), 1);
    QVERIFY2(dialogs.common.messages[0].contains(bad + ": line 10:"),
             qPrintable(dialogs.common.messages[0]));
    QCOMPARE(window.findChild<QListWidget *>("fileList")->count(), 2);
    auto *variables = window.findChild<QComboBox *>("variableBox");
    QCOMPARE(variables->currentText(), QStringLiteral("Trust")); // the first file's first
    QCOMPARE(window.collation().runs().size(), 1);
    QVERIFY(window.findChild<QLabel *>("skippedLabel")->text().contains("one.csv"));

    variables->setCurrentText("Fear");
    emit variables->textActivated("Fear");
    auto *runTable = window.findChild<QTableWidget *>("runTable");
    QCOMPARE(runTable->rowCount(), 2);
    QCOMPARE(runTable->item(1, 0)->text(), QStringLiteral("Bo"));
    QCOMPARE(runTable->item(1, 3)->text(), QStringLiteral("3")); // seconds with a sample

    const QString table = dir.filePath("table.csv");
    const QString chart = dir.filePath("chart.jpg");
    dialogs.common.saveAnswers = {table, chart, one};
    window.findChild<QPushButton *>("exportTableButton")->click();
    window.findChild<QPushButton *>("exportChartButton")->click();
    QByteArray bytes;
    QVERIFY(Files::readFile(table, &bytes));
    QCOMPARE(bytes, QByteArray("Time,Ann (1.1.2026),Bo (1.1.2026),Mean,SD,N\r\n"
                               "2,-2,0,-1.0000,1.4142,2\r\n3,4,2,3.0000,1.4142,2\r\n"
                               "4,,5,5.0000,,1\r\n"));
    const QImage picture(chart);
    QCOMPARE(picture.size(), QSize(2400, 1500));

    // An export over an input is refused and the input stays as it was.
    QByteArray input;
    QVERIFY(Files::readFile(one, &input));
    window.findChild<QPushButton *>("exportTableButton")->click();
    QCOMPARE(dialogs.common.messages.size(), 2);
    QByteArray after;
    QVERIFY(Files::readFile(one, &after));
    QCOMPARE(after, input);

    window.findChild<QListWidget *>("fileList")->setCurrentRow(0);
    window.findChild<QPushButton *>("removeButton")->click();
    QCOMPARE(window.findChild<QListWidget *>("fileList")->count(), 1);
    QCOMPARE(window.collation().runs().size(), 1);
    QCOMPARE(window.collation().runs().first().subject, QStringLiteral("Bo"));
}

void TestCollatePrograms::windowGuards_data()
{
    // "@one", "@two" and "@spare" are results files, "@link" a link to @one, "@notes" another
    // file; the files are added a list at a time, then exported to target with button.
    QTest::addColumn<QList<QStringList>>("adds");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("files");       // in the list at the end
    QTest::addColumn<QString>("message"); // a part of the one message; empty: no message
    QTest::addColumn<bool>("replaced");   // whether the export replaced target
    QTest::newRow("the same file twice at once")
        << QList<QStringList>{{"@one", "@one", "@two"}} << ""
        << "" << 2 << "@one (the same file as @one)" << false;
    QTest::newRow("a link to a file added before")
        << QList<QStringList>{{"@one", "@two"}, {"@link"}} << ""
        << "" << 2 << "@link (the same file as @one)" << false;
    QTest::newRow("table onto a results file not added")
        << QList<QStringList>{{"@one", "@two"}} << "exportTableButton"
        << "@spare" << 2 << "\"@spare\" is a Dialtrace results file" << false;
    QTest::newRow("chart onto a results file not added")
        << QList<QStringList>{{"@one", "@two"}} << "exportChartButton"
        << "@spare" << 2 << "\"@spare\" is a Dialtrace results file" << false;
    QTest::newRow("table onto another file the dialog confirmed")
        << QList<QStringList>{{"@one", "@two"}} << "exportTableButton"
        << "@notes" << 2 << "" << true;
}

void TestCollatePrograms::windowGuards()
{
    QFETCH(QList<QStringList>, adds);
    QFETCH(QString, button);
    QFETCH(QString, target);
    QFETCH(int, files);
    QFETCH(QString, message);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const QMap<QString, QString> paths = {
        {"@one", write(dir.filePath("one.csv"), results("Ann", "Fear", {"0", "2", "5"}))},
        {"@two", write(dir.filePath("two.csv"), results("Bo", "Fear", {"1", "2", "4"}))},
        {"@spare", write(dir.filePath("spare.png"), results("Cy", "Fear", {"3"}))},
        {"@notes", write(dir.filePath("notes.csv"), "notes of another kind\n")},
        {"@link", dir.filePath("link.csv")}};
    QVERIFY(QFile::link(paths["@one"], paths["@link"]));
    const auto expand = [&](QString text) {
        for (auto it = paths.begin(); it != paths.end(); ++it)
            text.replace(it.key(), it.value());
        return text;
    };
    FakeCollateDialogs dialogs;
    CollateWindow window(dialogs);
    for (const QStringList &add : adds) {
        QStringList expanded;
        for (const QString &token : add)
            expanded.append(expand(token));
        window.addFiles(expanded);
    }
    QByteArray before;
    QVERIFY(Files::readFile(expand(target.isEmpty() ? "@notes" : target), &before));
    if (!button.isEmpty()) {
        dialogs.common.saveAnswers = {expand(target)};
        window.findChild<QPushButton *>(button)->click();
    }

    QCOMPARE(window.findChild<QListWidget *>("fileList")->count(), files);
    QCOMPARE(window.collation().runs().size(), files);
    QCOMPARE(dialogs.common.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(dialogs.common.messages[0].contains(expand(message)),
                 qPrintable(dialogs.common.messages[0]));
    QByteArray after;
    QVERIFY(Files::readFile(expand(target.isEmpty() ? "@notes" : target), &after));
    QCOMPARE(after != before, replaced);
}

int runCollateProgramTests(int argc, char *argv[])
{
    TestCollatePrograms programs;
    return QTest::qExec(&programs, argc, argv);
}

#include "collateprograms.moc"
