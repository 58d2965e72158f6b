// What a careless or hostile user types or leaves lying around: names that are markup,
// shortcuts, paths or several lines; a results file that is a link, a folder or a fifo; an
// export aimed at the results file.

#include "collatedialogs.h"
#include "files.h"
#include "sessionbus.h"
#include "support.h"

#include <QChart>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QScopeGuard>
#include <QLegendMarker>
#include <QSignalSpy>
#include <QTextDocumentFragment>

#include <sys/stat.h>

namespace {

// The file dialog's entries as shown and the patterns it filters by, read while it is open.
QStringList shownFilters(const std::function<void(QtCollateDialogs &)> &open)
{
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i);
        shown << dialog->findChild<QFileSystemModel *>()->nameFilters();
        dialog->reject();
    });
    QtCollateDialogs dialogs;
    open(dialogs);
    return shown;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");       // in the record, shown everywhere
        QTest::addColumn<QByteArray>("written"); // in the results file
        QTest::addColumn<QString>("offered");    // the spreadsheet export's default name
        QTest::addColumn<QString>("warned");     // under the field, as the name is typed
        const auto row = [](const char *tag, const QString &typed, const QString &kept,
                            const QByteArray &written, const QString &offered, const char *warned) {
            QTest::newRow(tag) << typed << kept << written << offered << QString(warned);
        };
        // ASCII names, kept, shown and written as typed, with no warning.
        const auto asTyped = [&](const char *tag, const QString &typed, const QString &offered) {
            row(tag, typed, typed, typed.toLatin1(), offered, "");
        };
        asTyped("comma and quotes", "Smith, \"Jr\" Ann", "Smith, _Jr_ Ann Smith, _Jr_ Ann.csv");
        asTyped("ampersand", "R&D", "R&D R&D.csv");
        asTyped("markup", "<i>It</i>", "_i_It__i_ _i_It__i_.csv");
        asTyped("%1 stays", "%1 %2", "%1 %2 %1 %2.csv");
        asTyped("only dots", "..", "Dialtrace results.csv");
        asTyped("10,000 characters", QString(10000, 'x'),
                QString(Files::MaxNameBytes, 'x') + ".csv");
        row("line breaks", "A\nB\r\nC\u2029D", "A B C D", "A B C D", "A B C D A B C D.csv", "");
        row("outside Windows-1252", "Zoë 😀/中", "Zoë 😀/中", "Zo\xEB ?/?", "Zoë 😀_中 Zoë 😀_中.csv",
            "😀, 中 will be written as ?");
        row("Greek", "Χαρά?", "Χαρά?", "?????", "Χαρά_ Χαρά_.csv",
            "Χ, α, ρ, ά will be written as ?");
    }
    void names()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QByteArray, written);
        Session s;
        s.subject = s.variable = typed;
        MainForm &rating = s.record(false, 30.0, 1);
        QCOMPARE(s.order.variableForm()->record().SubjectName, kept);
        QTEST(s.order.variableForm()->unstorableWarning("Text1"), "warned");
        QTEST(s.order.variableForm()->unstorableWarning("Text2"), "warned");
        auto *increase = child<QPushButton>(&rating, "Command1");
        QVERIFY(QKeySequence::mnemonic(increase->text()).isEmpty());
        QCOMPARE(increase->text().replace("&&", "&"), "Increase " + kept);
        auto *title = child<QLabel>(&rating, "Label1");
        QCOMPARE(title->textFormat(), Qt::PlainText);
        QCOMPARE(title->text(), "Level of " + kept);

        OutputForm &output = s.finish();
        const QLegendMarker *legend = output.chart().chart()->legend()->markers().value(0);
        QCOMPARE(QTextDocumentFragment::fromHtml(legend->label()).toPlainText(), kept);
        const QList<QByteArray> lines = readAll(s.order.resultsFilePath()).split('\n');
        QCOMPARE(lines.size(), 69);
        QCOMPARE(lines[1], "Created on 6.12.2026 for subject " + written + '\r');
        QCOMPARE(lines[5], "Time," + written + '\r');
        child<QPushButton>(&output, "Command3")->click();
        QTEST(s.dialogs.saveNames.value(0), "offered");
    }

    // Whatever stands where the results file goes, nothing outside the folder changes, the
    // user is told once the run has stopped, Close asks while the results are in no file, and
    // both exports still work from memory.
    void resultsFilePaths_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a file") << "link";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("directory") << "directory";
        QTest::newRow("fifo") << "fifo";
    }
    void resultsFilePaths()
    {
        QFETCH(QString, kind);
        Session s;
        QTemporaryDir outside;
        const QString target = outside.filePath("precious.txt");
        const QString results = s.order.resultsFilePath();
        QVERIFY(kind != "link" || writeAll(target, "precious"));
        QVERIFY(kind == "directory" ? QDir().mkpath(results)
                : kind == "fifo"    ? ::mkfifo(QFile::encodeName(results).constData(), 0644) == 0
                                    : QFile::link(target, results));
        MainForm &rating = s.record(false, 30.0, 2);
        bool recordingWhenTold = true;
        s.dialogs.onMessage = [&](const QString &) { recordingWhenTold = rating.isRecording(); };
        OutputForm &output = s.finish();
        QCOMPARE(s.dialogs.messages.size(), 1);
        QVERIFY(s.dialogs.messages[0].contains("could not be saved"));
        QVERIFY(!recordingWhenTold);
        QCOMPARE(readAll(target), QByteArray(kind == "link" ? "precious" : ""));
        QCOMPARE(QFileInfo::exists(target), kind == "link");
        QSignalSpy ended(&s.order, &ScreenOrder::ended);
        child<QPushButton>(&output, "Command2")->click();
        QCOMPARE(s.dialogs.questions, QStringList{UnsavedQuestion});
        QCOMPARE(ended.count(), 0);
        s.dialogs.saveAnswers = {s.path("out.csv"), s.path("out.jpg")};
        child<QPushButton>(&output, "Command3")->click();
        child<QPushButton>(&output, "Command1")->click();
        QCOMPARE(readAll(s.path("out.csv")), output.resultsBytes());
        QVERIFY(output.resultsBytes().contains("\r\n3,0\r\n4,\r\n"));
        QVERIFY(QFileInfo(s.path("out.jpg")).size() > 0);
        QCOMPARE(s.dialogs.messages.size(), 1);
        child<QPushButton>(&output, "Command2")->click();
        QCOMPARE(s.dialogs.questions.size(), 1);
        QCOMPARE(ended.count(), 1);
    }

    // An export onto this run's results file is refused, which keeps it as it was; one
    // elsewhere copies this run from memory, and the spreadsheet export then removes temp.csv
    // unless another run has replaced it meanwhile.
    void exportDestinations_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("otherRun");   // temp.csv replaced by another run meanwhile
        QTest::addColumn<QString>("message"); // a part of the one message; empty: none
        for (const bool image : {true, false}) {
            const char *which = image ? "image" : "spreadsheet";
            QTest::addRow("%s onto temp.csv", which)
                << image << "temp.csv" << false << ResultsFileChosen;
            QTest::addRow("%s onto a link to it", which)
                << image << "link" << false << ResultsFileChosen;
            QTest::addRow("%s onto a folder", which)
                << image << "folder" << false << "could not be saved";
        }
        QTest::newRow("spreadsheet elsewhere") << false << "out.csv" << false << "";
        QTest::newRow("spreadsheet elsewhere, another run's temp.csv stays")
            << false << "out.csv" << true << "";
    }
    void exportDestinations()
    {
        QFETCH(bool, image);
        QFETCH(QString, destination);
        QFETCH(bool, otherRun);
        QFETCH(QString, message);
        Session s;
        s.record(false, 30.0, 2);
        OutputForm &output = s.finish();
        const QString results = s.order.resultsFilePath();
        const QByteArray ours = readAll(results);
        QVERIFY(QFile::link(results, s.path("link")) && QDir().mkpath(s.path("folder")));
        if (otherRun)
            QVERIFY(writeAll(results, "another run"));
        s.dialogs.saveAnswers = {s.path(destination)};
        child<QPushButton>(&output, image ? "Command1" : "Command3")->click();
        if (message.isEmpty()) {
            QCOMPARE(s.dialogs.messages, QStringList{});
            QCOMPARE(readAll(s.path(destination)), ours);
            QCOMPARE(QFile::exists(results), otherRun);
            return;
        }
        QCOMPARE(s.dialogs.messages.size(), 1);
        QVERIFY(s.dialogs.messages[0].contains(message));
        QCOMPARE(readAll(results), ours);
        QVERIFY(output.areResultsSaved());
    }

    void fileDialogsShowTheirDescriptions()
    {
        const QStringList open = shownFilters([](QtCollateDialogs &d) {
            d.openFile(nullptr,
                       {"Open", "avi", "Movies (*.avi,*.mpg)|*.avi;*.mpg|Sound|*.wav|", "/"});
        });
        QCOMPARE(open, (QStringList{"Movies (*.avi,*.mpg)", "Sound", "*.avi", "*.mpg"}));
        const QStringList save = shownFilters(
            [](QtCollateDialogs &d) { d.saveFile(nullptr, "a.jpg", "JPEG Images .JPG|*.JPG|"); });
        QCOMPARE(save, (QStringList{"JPEG Images .JPG", "*.JPG"}));
        // The collator's, which takes several files at once.
        const QStringList several = shownFilters([](QtCollateDialogs &d) {
            d.openFiles(nullptr, {"Add", "", "Results files (*.csv)|*.csv|All files|*|", "/"});
        });
        QCOMPARE(several, (QStringList{"Results files (*.csv)", "All files", "*.csv"}));
    }

    // A machine without a desktop session's bus: libdbus would start one by forking amid the
    // program's threads, which can hang it. A bus there is, or an address set, is kept.
    void sessionBus_data()
    {
        QTest::addColumn<QByteArray>("address"); // empty: not set
        QTest::addColumn<bool>("runtimeFolder");
        QTest::addColumn<bool>("busSocket");
        QTest::addColumn<bool>("kept");
        QTest::newRow("an address set") << QByteArray("unix:path=/run/user/1/bus") << true
                                        << false << true;
        QTest::newRow("the user's bus") << QByteArray() << true << true << true;
        QTest::newRow("a runtime folder, no bus") << QByteArray() << true << false << false;
        QTest::newRow("no runtime folder") << QByteArray() << false << false << false;
    }

    void sessionBus()
    {
        QFETCH(QByteArray, address);
        QFETCH(bool, runtimeFolder);
        QFETCH(bool, busSocket);
        QFETCH(bool, kept);
        const QByteArray savedAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            for (const auto &[name, value] : {std::pair("DBUS_SESSION_BUS_ADDRESS", savedAddress),
                                              std::pair("XDG_RUNTIME_DIR", savedRuntime)})
                value.isNull() ? qunsetenv(name) : qputenv(name, value);
        });
        QTemporaryDir runtime;
        if (busSocket)
            QVERIFY(QFile(runtime.filePath("bus")).open(QIODevice::WriteOnly));
        address.isEmpty() ? qunsetenv("DBUS_SESSION_BUS_ADDRESS")
                          : qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        runtimeFolder ? qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()))
                      : qunsetenv("XDG_RUNTIME_DIR");

        neverStartASessionBus();
        const QByteArray now = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        if (kept) {
            QCOMPARE(now, address);
        } else {
            // Set, and to nothing that starts a bus.
            QVERIFY(!now.isEmpty());
            QVERIFY(!now.contains("autolaunch"));
            QVERIFY(!now.startsWith("unix:") && !now.startsWith("tcp:"));
        }
    }
};

DIALTRACE_TEST_CASE(TestHostile, "hostile")
#include "tst_hostile.moc"
