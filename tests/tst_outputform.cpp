#include "outputform.h"

#include "exports.h"
#include "fakedialogs.h"
#include "ratingstate.h"
#include "recordtable.h"
#include "setuprecord.h"

#include <QChart>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QLegendMarker>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

SetupRecord makeRecord(bool twoVariables)
{
    SetupRecord record;
    record.SubjectName = QStringLiteral("Ann");
    record.Variable = QStringLiteral("Trust");
    record.Variable2Enabled = twoVariables;
    record.Variable2 = twoVariables ? QStringLiteral("Calm") : QString();
    record.DateText = QStringLiteral("12/03/2024");
    record.FileFullPath = QStringLiteral("/clips/interview.avi");
    return record;
}

qint16 level1At(int tick)
{
    return static_cast<qint16>(tick % 11 - 5);
}

qint16 level2At(int tick)
{
    return static_cast<qint16>(3 - tick % 7);
}

// Ten ticks of a 30 s clip, as the rating screen records them.
std::unique_ptr<RecordTable> tenTicks()
{
    auto table = std::make_unique<RecordTable>(61);
    qint16 recordRow = 1;
    for (int tick = 1; tick <= 10; ++tick)
        Recording::recordSample(*table, recordRow, 30.0, level1At(tick), level2At(tick));
    return table;
}

// A results file as the rating screen writes it: CR LF line ends and Windows-1252 bytes, which
// any text-mode conversion or re-encoding on the way would alter.
const QByteArray resultsBytes("Subject,Ann\r\nVariable 1,Trust\r\nNotes,caf\xE9 \x80\x1A\r\n"
                              "2,-4,0\r\n3,-3,0\r\n4,5,0\r\n");

// Everything under dir, directories included, as relative paths; links are listed, not followed.
QStringList contents(const QString &dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(QDir(dir).relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QPushButton *button(OutputForm &form, const char *name)
{
    return form.findChild<QPushButton *>(QString::fromLatin1(name));
}

struct PixelCounts
{
    qsizetype white = 0;    // paper
    qsizetype dark = 0;     // lines, axes and lettering
    qsizetype coloured = 0; // strongly coloured: the series lines and their legend marks
    qsizetype total = 0;
};

PixelCounts countPixels(const QImage &image)
{
    PixelCounts counts;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const int r = qRed(line[x]);
            const int g = qGreen(line[x]);
            const int b = qBlue(line[x]);
            const int high = std::max({r, g, b});
            const int low = std::min({r, g, b});
            if (low >= 230)
                ++counts.white;
            if (low < 160)
                ++counts.dark;
            if (high - low > 100)
                ++counts.coloured;
            ++counts.total;
        }
    }
    return counts;
}

// The offscreen platform may keep no clipboard at all; only then is the clipboard check left out.
bool clipboardWorks()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    const QString probe = QStringLiteral("dialtrace clipboard probe");
    clipboard->setText(probe);
    const bool works = clipboard->text() == probe;
    clipboard->clear();
    return works;
}

} // namespace

class TestOutputForm : public QObject
{
    Q_OBJECT
private slots:
    void window();
    void captions_data();
    void captions();
    void labelsShown_data();
    void labelsShown();
    void counts_data();
    void counts();
    void chartFromTable_data();
    void chartFromTable();
    void chartWithoutTable();

    void exportImage_data();
    void exportImage();
    void imageShowsTheRecording();
    void imageDestinations_data();
    void imageDestinations();
    void clipLengthReadAtEachExport();
    void imageCancelled();

    void exportSpreadsheet_data();
    void exportSpreadsheet();
    void spreadsheetFromMemory();
    void spreadsheetNeverTakesAnotherRun();
    void spreadsheetOntoResultsFile_data();
    void spreadsheetOntoResultsFile();
    void spreadsheetCancelled();
    void unwritableDestination_data();
    void unwritableDestination();

    void closing_data();
    void closing();
};

void TestOutputForm::window()
{
    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });

    QCOMPARE(form.windowTitle(), QStringLiteral("Output"));
    QCOMPARE(form.size(), QSize(865, 574));
    // Fixed: the user cannot resize it.
    QCOMPARE(form.minimumSize(), QSize(865, 574));
    QCOMPARE(form.maximumSize(), QSize(865, 574));
    QCOMPARE(form.chart().size(), QSize(865, 505));
    QCOMPARE(form.resultsFilePath(), dir.filePath(QStringLiteral("temp.csv")));
    // Building the form asks nothing and writes nothing.
    QVERIFY(dialogs.saveNames.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(contents(dir.path()).isEmpty());
}

void TestOutputForm::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("Label3 first variable up") << "Label3"
                                              << "Times Clicked Variable 1 + +";
    QTest::newRow("Label4 first variable down") << "Label4"
                                                << "Times Clicked Variable 1 -";
    QTest::newRow("Label2 second variable up") << "Label2"
                                               << "Times Clicked Variable 2 + ";
    QTest::newRow("Label6 second variable down") << "Label6"
                                                 << "Times Clicked Variable 2  - ";
    QTest::newRow("Command1 image button") << "Command1"
                                           << "Export Image";
    QTest::newRow("Command3 spreadsheet button") << "Command3"
                                                 << "Export to Excel";
    QTest::newRow("Command2 close button") << "Command2"
                                           << "Close";
}

void TestOutputForm::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    const SetupRecord record = makeRecord(true);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });

    auto *widget = form.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else if (auto *pushButton = qobject_cast<QPushButton *>(widget))
        QCOMPARE(pushButton->text(), text);
    else
        QFAIL("neither a label nor a button");
}

void TestOutputForm::labelsShown_data()
{
    QTest::addColumn<bool>("twoVariables");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QStringList>("shown");

    const QStringList first{"Label3", "TimesClickedPos", "Label4", "TimesClickedNeg"};
    const QStringList second{"Label2", "Label5", "Label6", "Label7"};
    QTest::newRow("one variable hides the second's counts") << false << second << first;
    QTest::newRow("two variables show all eight") << true << QStringList() << first + second;
}

void TestOutputForm::labelsShown()
{
    QFETCH(bool, twoVariables);
    QFETCH(QStringList, hidden);
    QFETCH(QStringList, shown);

    const SetupRecord record = makeRecord(twoVariables);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });

    for (const QString &name : hidden) {
        auto *label = form.findChild<QLabel *>(name);
        QVERIFY2(label, qPrintable(name));
        QVERIFY2(label->isHidden(), qPrintable(name));
    }
    for (const QString &name : shown) {
        auto *label = form.findChild<QLabel *>(name);
        QVERIFY2(label, qPrintable(name));
        QVERIFY2(!label->isHidden(), qPrintable(name));
    }
    for (const char *name : {"Command1", "Command2", "Command3"}) {
        QVERIFY2(button(form, name), name);
        QVERIFY2(!button(form, name)->isHidden(), name);
    }
    QVERIFY(!form.chart().isHidden());

    // The legend names the run's variables only; the second line is drawn in both runs.
    form.setTable(tenTicks().get());
    QStringList legend;
    for (QLegendMarker *marker : form.chart().chart()->legend()->markers()) {
        if (marker->isVisible())
            legend << marker->label();
    }
    QCOMPARE(legend, (twoVariables ? QStringList{"Trust", "Calm"} : QStringList{"Trust"}));
    QVERIFY(!form.chart().lines(2).isEmpty());
}

void TestOutputForm::counts_data()
{
    QTest::addColumn<int>("increase1");
    QTest::addColumn<int>("decrease1");
    QTest::addColumn<int>("increase2");
    QTest::addColumn<int>("decrease2");

    QTest::newRow("nothing pressed") << 0 << 0 << 0 << 0;
    QTest::newRow("each counter its own label") << 1 << 2 << 3 << 4;
    // Presses at +5 or -5 leave the level but still count.
    QTest::newRow("more presses than level changes") << 17 << 12 << 40 << 23;
    QTest::newRow("counters at their ceiling, no group separator")
        << 32767 << 1234 << 32767 << 5678;
}

void TestOutputForm::counts()
{
    QFETCH(int, increase1);
    QFETCH(int, decrease1);
    QFETCH(int, increase2);
    QFETCH(int, decrease2);

    const SetupRecord record = makeRecord(true);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });

    // Start from other counts so that a label left unset shows up.
    RatingState before;
    before.IncreaseClicks1 = 9;
    before.DecreaseClicks1 = 9;
    before.IncreaseClicks2 = 9;
    before.DecreaseClicks2 = 9;
    before.TwoVariables = true;
    form.setCounts(before);

    RatingState state;
    state.IncreaseClicks1 = static_cast<qint16>(increase1);
    state.DecreaseClicks1 = static_cast<qint16>(decrease1);
    state.IncreaseClicks2 = static_cast<qint16>(increase2);
    state.DecreaseClicks2 = static_cast<qint16>(decrease2);
    state.Level1 = 5;
    state.Level2 = -5;
    state.TwoVariables = true;

    // Plain decimal whatever the user's locale.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    form.setCounts(state);
    QLocale::setDefault(saved);

    const auto text = [&](const char *name) {
        auto *label = form.findChild<QLabel *>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
    };
    QCOMPARE(text("TimesClickedPos"), QString::number(increase1));
    QCOMPARE(text("TimesClickedNeg"), QString::number(decrease1));
    QCOMPARE(text("Label5"), QString::number(increase2));
    QCOMPARE(text("Label7"), QString::number(decrease2));
}

void TestOutputForm::chartFromTable_data()
{
    QTest::addColumn<bool>("twoVariables");

    QTest::newRow("one variable") << false;
    QTest::newRow("two variables") << true;
}

void TestOutputForm::chartFromTable()
{
    QFETCH(bool, twoVariables);

    const SetupRecord record = makeRecord(twoVariables);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    OutputForm form(record, dialogs, dir.path(), [] { return 30.0; });
    const auto table = tenTicks();
    form.setTable(table.get());

    const LevelChart &chart = form.chart();
    QCOMPARE(chart.rowCount(), 61);
    QCOMPARE(chart.series(1).size(), std::size_t(61));
    QCOMPARE(chart.series(2).size(), std::size_t(61));
    // Element i is row i + 1: row 1 is never recorded, the ten ticks fill rows 2 to 11.
    for (int element = 0; element < 61; ++element) {
        const bool recorded = element >= 1 && element <= 10;
        const std::optional<int> expected1 =
            recorded ? std::optional<int>(level1At(element)) : std::nullopt;
        const std::optional<int> expected2 =
            recorded ? std::optional<int>(level2At(element)) : std::nullopt;
        QVERIFY2(chart.series(1)[std::size_t(element)] == expected1,
                 qPrintable(QStringLiteral("series 1, element %1").arg(element)));
        QVERIFY2(chart.series(2)[std::size_t(element)] == expected2,
                 qPrintable(QStringLiteral("series 2, element %1").arg(element)));
    }
}

void TestOutputForm::chartWithoutTable()
{
    const SetupRecord record = makeRecord(true);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    OutputForm form(record, dialogs, dir.path(), [] { return 30.0; });

    form.setTable(nullptr);
    QCOMPARE(form.chart().rowCount(), 0);

    // A recording shown earlier does not linger.
    const auto table = tenTicks();
    form.setTable(table.get());
    QCOMPARE(form.chart().rowCount(), 61);
    form.setTable(nullptr);
    QCOMPARE(form.chart().rowCount(), 0);
    QVERIFY(form.chart().series(1).empty());
    QVERIFY(form.chart().series(2).empty());
}

void TestOutputForm::exportImage_data()
{
    QTest::addColumn<bool>("twoVariables");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QSize>("size");

    QTest::newRow("one minute, one variable") << false << 60.0 << QSize(867, 505);
    QTest::newRow("fifteen minutes, two variables") << true << 900.0 << QSize(3667, 505);
    QTest::newRow("no length, one variable") << false << 0.0 << QSize(667, 505);
}

void TestOutputForm::exportImage()
{
    QFETCH(bool, twoVariables);
    QFETCH(double, seconds);
    QFETCH(QSize, size);

    const SetupRecord record = makeRecord(twoVariables);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [=] { return seconds; });
    const auto table = tenTicks();
    form.setTable(table.get());

    // Probed before the export, as the probe itself replaces what the clipboard holds.
    const bool haveClipboard = clipboardWorks();

    const QString path = dir.filePath(QStringLiteral("Ann chart.jpg"));
    dialogs.saveAnswers << path;
    QPushButton *exportButton = button(form, "Command1");
    QVERIFY(exportButton);
    exportButton->click();

    QCOMPARE(dialogs.saveNames, QStringList{QStringLiteral("Ann Trust.jpg")});
    QCOMPARE(dialogs.saveFilters, QStringList{QStringLiteral("JPEG Images .JPG|*.JPG|")});
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(contents(dir.path()), QStringList{QStringLiteral("Ann chart.jpg")});

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);

    const PixelCounts counts = countPixels(image);
    QVERIFY2(counts.white * 10 > counts.total * 7,
             qPrintable(QStringLiteral("%1 of %2 white").arg(counts.white).arg(counts.total)));
    QVERIFY2(counts.dark > 0, "nothing drawn on the picture");

    // The picture is drawn apart from the chart on screen, which keeps its size.
    QCOMPARE(form.chart().size(), QSize(865, 505));

    if (!haveClipboard)
        QSKIP("this platform keeps no clipboard");
    QCOMPARE(QGuiApplication::clipboard()->image().size(), size);
}

void TestOutputForm::imageShowsTheRecording()
{
    const SetupRecord record = makeRecord(true);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });

    const QString emptyPath = dir.filePath(QStringLiteral("empty.jpg"));
    const QString recordedPath = dir.filePath(QStringLiteral("recorded.jpg"));
    dialogs.saveAnswers << emptyPath << recordedPath;
    form.setTable(nullptr);
    form.exportImage();
    const auto table = tenTicks();
    form.setTable(table.get());
    form.exportImage();
    QCOMPARE(dialogs.messages, QStringList());

    const QImage empty(emptyPath);
    const QImage recorded(recordedPath);
    QVERIFY(!empty.isNull());
    QVERIFY(!recorded.isNull());
    // Both pictures carry the legend; only the recorded one carries the lines, which are
    // drawn in colour over ten rows of both variables.
    const qsizetype emptyColoured = countPixels(empty).coloured;
    const qsizetype recordedColoured = countPixels(recorded).coloured;
    QVERIFY2(recordedColoured > emptyColoured + 200,
             qPrintable(QStringLiteral("coloured pixels: %1 without, %2 with the recording")
                            .arg(emptyColoured)
                            .arg(recordedColoured)));
}

void TestOutputForm::imageDestinations_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("existing"); // null: no file there before

    QTest::newRow("name without extension is still a JPEG") << "chart" << QByteArray();
    QTest::newRow("upper-case extension") << "CHART.JPG" << QByteArray();
    QTest::newRow("existing file replaced")
        << "old.jpg" << QByteArray("not a picture at all\r\n").repeated(50);
}

void TestOutputForm::imageDestinations()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, existing);

    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const auto table = tenTicks();
    form.setTable(table.get());

    const QString path = dir.filePath(name);
    if (!existing.isNull())
        QVERIFY(writeAll(path, existing));
    dialogs.saveAnswers << path;
    form.exportImage();

    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(contents(dir.path()), QStringList{name});
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.read().size(), QSize(867, 505));
}

void TestOutputForm::clipLengthReadAtEachExport()
{
    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The length may arrive only after the form was built.
    double seconds = 0.0;
    OutputForm form(record, dialogs, dir.path(), [&seconds] { return seconds; });

    const QString first = dir.filePath(QStringLiteral("first.jpg"));
    const QString second = dir.filePath(QStringLiteral("second.jpg"));
    dialogs.saveAnswers << first << second;
    seconds = 60.0;
    form.exportImage();
    seconds = 900.0;
    form.exportImage();

    QCOMPARE(QImage(first).size(), QSize(867, 505));
    QCOMPARE(QImage(second).size(), QSize(3667, 505));
}

void TestOutputForm::imageCancelled()
{
    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const auto table = tenTicks();
    form.setTable(table.get());

    QPushButton *exportButton = button(form, "Command1");
    QVERIFY(exportButton);
    exportButton->click();

    QCOMPARE(dialogs.saveNames.size(), 1);
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(contents(dir.path()), QStringList());
    QCOMPARE(form.chart().size(), QSize(865, 505));
}

void TestOutputForm::exportSpreadsheet_data()
{
    QTest::addColumn<bool>("twoVariables");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("existing"); // null: no file there before

    QTest::newRow("new file, one variable") << false << "Ann results.csv" << QByteArray();
    QTest::newRow("new file, two variables") << true << "Ann results.csv" << QByteArray();
    QTest::newRow("into a subdirectory") << false << "kept/Ann.csv" << QByteArray();
    // Longer than the results, so that a write that left the old tail would show.
    QTest::newRow("existing file replaced")
        << false << "old.csv" << QByteArray("old line,1,2,3\r\n").repeated(40);
}

void TestOutputForm::exportSpreadsheet()
{
    QFETCH(bool, twoVariables);
    QFETCH(QString, name);
    QFETCH(QByteArray, existing);

    const SetupRecord record = makeRecord(twoVariables);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const QString resultsPath = dir.filePath(QStringLiteral("temp.csv"));
    QVERIFY(writeAll(resultsPath, resultsBytes));
    form.setResultsBytes(resultsBytes);

    const QString path = dir.filePath(name);
    QVERIFY(QFileInfo(path).dir().mkpath(QStringLiteral(".")));
    if (!existing.isNull())
        QVERIFY(writeAll(path, existing));
    dialogs.saveAnswers << path;
    QPushButton *exportButton = button(form, "Command3");
    QVERIFY(exportButton);
    exportButton->click();

    QCOMPARE(dialogs.saveNames, QStringList{QStringLiteral("Ann Trust.csv")});
    QCOMPARE(dialogs.saveFilters, QStringList{QStringLiteral("CSV Spreadsheets .CSV|*.CSV|")});
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(readAll(path), resultsBytes);
    // The results file is moved out, not left behind.
    QVERIFY(!QFileInfo::exists(resultsPath));
}

void TestOutputForm::spreadsheetFromMemory()
{
    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const QString resultsPath = dir.filePath(QStringLiteral("temp.csv"));
    QVERIFY(writeAll(resultsPath, resultsBytes));
    form.setResultsBytes(resultsBytes);

    const QString first = dir.filePath(QStringLiteral("first.csv"));
    const QString second = dir.filePath(QStringLiteral("second.csv"));
    dialogs.saveAnswers << first << second;
    QPushButton *exportButton = button(form, "Command3");
    QVERIFY(exportButton);
    exportButton->click();
    QVERIFY(!QFileInfo::exists(resultsPath));
    // The first export took the results file away; the second still has the results to give.
    exportButton->click();

    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(dialogs.saveNames.size(), 2);
    QCOMPARE(readAll(first), resultsBytes);
    QCOMPARE(readAll(second), resultsBytes);
    QCOMPARE(contents(dir.path()),
             (QStringList{QStringLiteral("first.csv"), QStringLiteral("second.csv")}));

    // With the results file gone, its old path is a destination like any other.
    dialogs.saveAnswers << resultsPath;
    exportButton->click();
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(readAll(resultsPath), resultsBytes);
}

void TestOutputForm::spreadsheetNeverTakesAnotherRun()
{
    // The results file was overwritten since "Finished!" (a second copy of the program, or this
    // run's write failed and an older file survived): the export gives this run's results and
    // leaves the other file where it is.
    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const QString resultsPath = dir.filePath(QStringLiteral("temp.csv"));
    const QByteArray otherRun("This program was generated by Orvan Dialtrace v2.\r\nOTHER\r\n");
    QVERIFY(writeAll(resultsPath, otherRun));
    form.setResultsBytes(resultsBytes);

    const QString exported = dir.filePath(QStringLiteral("mine.csv"));
    dialogs.saveAnswers << exported;
    button(form, "Command3")->click();

    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(readAll(exported), resultsBytes);
    QCOMPARE(readAll(resultsPath), otherRun);
    QVERIFY(form.areResultsSaved());
}

void TestOutputForm::spreadsheetOntoResultsFile_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("the results file's own path") << "same";
    QTest::newRow("path with a dot segment") << "dot";
    QTest::newRow("through a link to its directory") << "directory link";
    QTest::newRow("a link to the results file") << "file link";
}

void TestOutputForm::spreadsheetOntoResultsFile()
{
    QFETCH(QString, how);

    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    QVERIFY(dir.isValid());
    QVERIFY(elsewhere.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const QString resultsPath = dir.filePath(QStringLiteral("temp.csv"));
    QVERIFY(writeAll(resultsPath, resultsBytes));
    form.setResultsBytes(resultsBytes);

    QString path;
    if (how == QLatin1String("same")) {
        path = resultsPath;
    } else if (how == QLatin1String("dot")) {
        path = dir.path() + QStringLiteral("/./temp.csv");
    } else if (how == QLatin1String("directory link")) {
        QVERIFY(QFile::link(dir.path(), elsewhere.filePath(QStringLiteral("alias"))));
        path = elsewhere.filePath(QStringLiteral("alias/temp.csv"));
    } else {
        QVERIFY(QFile::link(resultsPath, elsewhere.filePath(QStringLiteral("alias.csv"))));
        path = elsewhere.filePath(QStringLiteral("alias.csv"));
    }
    const QStringList elsewhereBefore = contents(elsewhere.path());

    dialogs.saveAnswers << path;
    QPushButton *exportButton = button(form, "Command3");
    QVERIFY(exportButton);
    exportButton->click();

    QCOMPARE(dialogs.saveNames.size(), 1);
    // Told, so that nobody takes it for an export.
    QCOMPARE(dialogs.messages, QStringList{ResultsFileChosen});
    QCOMPARE(readAll(resultsPath), resultsBytes);
    QCOMPARE(contents(dir.path()), QStringList{QStringLiteral("temp.csv")});
    QCOMPARE(contents(elsewhere.path()), elsewhereBefore);
    if (how == QLatin1String("file link"))
        QVERIFY(QFileInfo(path).isSymLink());
}

void TestOutputForm::spreadsheetCancelled()
{
    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const QString resultsPath = dir.filePath(QStringLiteral("temp.csv"));
    QVERIFY(writeAll(resultsPath, resultsBytes));
    form.setResultsBytes(resultsBytes);

    QPushButton *exportButton = button(form, "Command3");
    QVERIFY(exportButton);
    exportButton->click();

    QCOMPARE(dialogs.saveNames.size(), 1);
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(readAll(resultsPath), resultsBytes);
    QCOMPARE(contents(dir.path()), QStringList{QStringLiteral("temp.csv")});
}

void TestOutputForm::unwritableDestination_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("makeDirectory");

    QTest::newRow("picture, directory missing") << "Command1"
                                                << "missing/chart.jpg" << false;
    QTest::newRow("picture, a directory of that name") << "Command1"
                                                       << "chart.jpg" << true;
    QTest::newRow("spreadsheet, directory missing") << "Command3"
                                                    << "missing/Ann.csv" << false;
    QTest::newRow("spreadsheet, a directory of that name") << "Command3"
                                                           << "Ann.csv" << true;
}

// One message says so, and nothing else changes: no file, the results file, the chart, the
// clipboard.
void TestOutputForm::unwritableDestination()
{
    QFETCH(QString, button);
    QFETCH(QString, name);
    QFETCH(bool, makeDirectory);

    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    const auto table = tenTicks();
    form.setTable(table.get());
    const QString resultsPath = dir.filePath(QStringLiteral("temp.csv"));
    QVERIFY(writeAll(resultsPath, resultsBytes));
    form.setResultsBytes(resultsBytes);
    if (makeDirectory)
        QVERIFY(QDir(dir.path()).mkdir(name));
    const QStringList before = contents(dir.path());
    const bool checkClipboard = clipboardWorks();
    if (checkClipboard)
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));

    dialogs.saveAnswers << dir.filePath(name);
    QPushButton *exportButton = form.findChild<QPushButton *>(button);
    QVERIFY(exportButton);
    exportButton->click();

    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.saveNames.size(), 1);
    QVERIFY(dialogs.questions.isEmpty());
    QCOMPARE(contents(dir.path()), before);
    QCOMPARE(readAll(resultsPath), resultsBytes);
    QCOMPARE(form.chart().size(), QSize(865, 505));
    QCOMPARE(form.chart().rowCount(), 61);
    QVERIFY(!form.areResultsSaved());
    if (checkClipboard)
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

void TestOutputForm::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("answer"); // to the question whether to close without them
    QTest::addColumn<bool>("closes");

    QTest::newRow("Close button") << "button" << true << false << true;
    QTest::newRow("window closed") << "window" << true << false << true;
    QTest::newRow("window closed while on screen") << "shown window" << true << false << true;
    QTest::newRow("unsaved, Close, No keeps the results") << "button" << false << false << false;
    QTest::newRow("unsaved, window closed, No") << "shown window" << false << false << false;
    QTest::newRow("unsaved, Close, Yes") << "button" << false << true << true;
}

void TestOutputForm::closing()
{
    QFETCH(QString, how);
    QFETCH(bool, saved);
    QFETCH(bool, answer);
    QFETCH(bool, closes);

    const SetupRecord record = makeRecord(false);
    FakeDialogs dialogs;
    dialogs.confirmAnswer = answer;
    QTemporaryDir dir;
    OutputForm form(record, dialogs, dir.path(), [] { return 60.0; });
    form.setResultsSaved(saved);
    QSignalSpy closeAll(&form, &OutputForm::closeAllRequested);
    QVERIFY(closeAll.isValid());

    if (how == QLatin1String("button")) {
        QPushButton *closeButton = button(form, "Command2");
        QVERIFY(closeButton);
        closeButton->click();
    } else {
        if (how == QLatin1String("shown window")) {
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
        form.close();
    }

    QCOMPARE(closeAll.count(), closes ? 1 : 0);
    QCOMPARE(dialogs.questions, saved ? QStringList() : QStringList{UnsavedQuestion});
    QVERIFY(dialogs.messages.isEmpty());
    if (how == QLatin1String("shown window"))
        QCOMPARE(form.isVisible(), !closes);
}

QTEST_MAIN(TestOutputForm)
#include "tst_outputform.moc"
