#include "chartview.h"
#include "clipreview.h"
#include "clips.h"
#include "collatechart.h"
#include "collatefiles.h"
#include "collatewindow.h"
#include "collating.h"
#include "eventlog.h"
#include "gstmediaplayer.h"
#include "mainform.h"
#include "session.h"
#include "tracelines.h"
#include "traceoverlay.h"
#include "tracevideojob.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace CollateFiles;

// The window, with fake dialogs.
class TestCollateWindow : public QObject
{
    Q_OBJECT
private slots:
    void collatesAndExports();
    void rate();
    void review();
    void guards_data();
    void guards();
    void studyClips();
    void traceVideo();
    void clipTime();
    void chartSpan();
    void traceBandOverWhite();
};

// The window offers the rate too; a run without an event log keeps all at their seconds.
void TestCollateWindow::rate()
{
    QTemporaryDir dir;
    const QString logged = write(dir.filePath("one.csv"), results("Bo", "Fear", {"2"}));
    const QString unlogged = write(dir.filePath("two.csv"), results("Cy", "Fear", {"-1"}));
    write(EventLog::pathBeside(logged),
          EventLog::bytes({{1000, RunEvent::NoMedia, RunEvent::Kind::Sample, 0, 2, 0, 2,
                            RunEvent::Source::None}},
                          false));
    FakeCollateDialogs dialogs;
    FakeMediaPlayer player;
    CollateWindow window(dialogs, player);
    window.addFiles({unlogged, logged});
    auto *rate = window.findChild<QSpinBox *>("rateBox");
    rate->setValue(4);
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.messages[0].contains(unlogged + ": no event log"));
    QCOMPARE(rate->value(), 0);
    QCOMPARE(window.collation().rate(), 0);

    window.findChild<QListWidget *>("fileList")->setCurrentRow(0);
    window.findChild<QPushButton *>("removeButton")->click();
    // Each run's screening beside it, in the table of runs, the run removed with its own.
    auto *runs = window.findChild<QTableWidget *>("runTable");
    QCOMPARE(runs->item(0, 7)->text() + "/" + runs->item(0, 8)->text(), "missing: no press/0");
    rate->setValue(4);
    QCOMPARE(window.collation().rate(), 4);
    // Its one sample, of row 2, without a clip position: at 2 s of the clip.
    QCOMPARE(window.collation().timeLabel(window.collation().lastRow()), QStringLiteral("2"));
    QCOMPARE(window.collation().mean(8), 0.0);
    QCOMPARE(window.collation().mean(9), 2.0);
    QCOMPARE(runs->item(0, 7)->text() + "/" + runs->item(0, 8)->text(), "missing: no press/0");
}

void TestCollateWindow::collatesAndExports()
{
    QTemporaryDir dir;
    const QString two =
        write(dir.filePath("two.csv"), results("Ann", "Trust,Fear", {"1,-2", "3,4"}, 2));
    const QString one = write(dir.filePath("one.csv"), results("Bo", "Fear", {"0", "2", "5"}));
    const QString bad = write(dir.filePath("bad.csv"), results("Cy", "Fear", {"1", "9"}));
    FakeCollateDialogs dialogs;
    FakeMediaPlayer player;
    CollateWindow window(dialogs, player);
    dialogs.openFilesAnswers = {{two, bad, one}};
    window.findChild<QPushButton *>("addButton")->click();

    // The bad file is named with its line; the others are listed.
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY2(dialogs.messages[0].contains(bad + ": line 10:"), qPrintable(dialogs.messages[0]));
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
    // Worked by hand on (-2, 4) and (0, 2): the pair's CCC 6/10 in each run's row; alpha
    // 1 - 4/(40/3); rWG 1 - 2/10 twice. The line under the table names what it shows.
    QCOMPARE(runTable->item(1, 6)->text(), QStringLiteral("0.6000"));
    auto *statistics = window.findChild<QTableWidget *>("statisticsTable");
    const auto valueOf = [statistics](const QString &name) {
        const QList<QTableWidgetItem *> found = statistics->findItems(name, Qt::MatchExactly);
        return found.size() == 1 ? statistics->item(found[0]->row(), 1)->text() : QString();
    };
    QCOMPARE((QStringList{valueOf("CCC"), valueOf("kalpha"), valueOf("rWG")}),
             (QStringList{"0.6000", "0.7000", "0.8000"}));
    const QString reporting = window.findChild<QLabel *>("reportingLabel")->text();
    for (const QString name : {"ICC(2,1)", "CCC", "kalpha", "rWG", "ICC(3,1)", "ICC(2,k)"})
        QVERIFY2(reporting.contains(name) && !valueOf(name).isEmpty(), qPrintable(name));

    const QString table = dir.filePath("table.csv");
    const QString chart = dir.filePath("chart.jpg");
    dialogs.saveAnswers = {table, chart, one};
    window.findChild<QPushButton *>("exportTableButton")->click();
    window.findChild<QPushButton *>("exportChartButton")->click();
    QCOMPARE(readAll(table), QByteArray("Time,Ann (1.1.2026),Bo (1.1.2026),Mean,SD,N\r\n"
                                        "2,-2,0,-1.0000,1.4142,2\r\n3,4,2,3.0000,1.4142,2\r\n"
                                        "4,,5,5.0000,,1\r\n"));
    QCOMPARE(QImage(chart).size(), QSize(2400, 1500));

    // An export over an input is refused and the input stays as it was.
    const QByteArray input = readAll(one);
    window.findChild<QPushButton *>("exportTableButton")->click();
    QVERIFY(dialogs.messages.value(1).contains("being collated"));
    QCOMPARE(readAll(one), input);

    window.findChild<QListWidget *>("fileList")->setCurrentRow(0);
    window.findChild<QPushButton *>("removeButton")->click();
    QCOMPARE(window.findChild<QListWidget *>("fileList")->count(), 1);
    QCOMPARE(window.collation().runs().size(), 1);
    QCOMPARE(window.collation().runs().first().subject, QStringLiteral("Bo"));
}

void TestCollateWindow::guards_data()
{
    // "@one", "@two" and "@spare" are results files, "@link" a link to @one, "@notes" another
    // file; the files are added a list at a time, two of them kept, then exported as "BUTTON
    // TARGET" says.
    QTest::addColumn<QList<QStringList>>("adds");
    QTest::addColumn<QString>("exported"); // empty: nothing
    QTest::addColumn<QString>("message");  // a part of the one message; empty: no message
    QTest::addColumn<bool>("replaced");    // whether the export replaced its target
    const QList<QStringList> both = {{"@one", "@two"}};
    QTest::newRow("the same file twice at once")
        << QList<QStringList>{{"@one", "@one", "@two"}} << ""
        << "@one (the same file as @one)" << false;
    QTest::newRow("a link to a file added before")
        << QList<QStringList>{{"@one", "@two"}, {"@link"}} << ""
        << "@link (the same file as @one)" << false;
    QTest::newRow("table onto a results file not added")
        << both << "exportTableButton @spare"
        << "\"@spare\" is a Dialtrace results file" << false;
    QTest::newRow("chart onto a results file not added")
        << both << "exportChartButton @spare"
        << "\"@spare\" is a Dialtrace results file" << false;
    QTest::newRow("long table onto an input's event log, there or not")
        << both << "exportLongButton @log"
        << "\"@log\" is one of the files being collated" << false;
    QTest::newRow("chart onto the clip through a link") << both << "exportChartButton @pngclip"
                                                        << "being collated" << false;
    QTest::newRow("table onto another file the dialog confirmed")
        << both << "exportTableButton @notes"
        << "" << true;
}

void TestCollateWindow::guards()
{
    QFETCH(QList<QStringList>, adds);
    QFETCH(QString, exported);
    QFETCH(QString, message);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const QMap<QString, QString> paths = {
        {"@one", write(dir.filePath("one.csv"), results("Ann", "Fear", {"0", "2", "5"}))},
        {"@two", write(dir.filePath("two.csv"), results("Bo", "Fear", {"1", "2", "4"}))},
        {"@spare", write(dir.filePath("spare.png"), results("Cy", "Fear", {"3"}))},
        {"@notes", write(dir.filePath("notes.csv"), "notes of another kind\n")},
        {"@link", dir.filePath("link.csv")},
        {"@log", dir.filePath("one.events.csv")},
        {"@clip", write(dir.filePath("clip.wav"), "a clip")},
        {"@pngclip", dir.filePath("clip.png")}};
    QVERIFY(QFile::link(paths["@one"], paths["@link"]));
    QVERIFY(QFile::link(paths["@clip"], paths["@pngclip"]));
    const auto expand = [&](QString text) {
        for (auto it = paths.begin(); it != paths.end(); ++it)
            text.replace(it.key(), it.value());
        return text;
    };
    FakeCollateDialogs dialogs;
    FakeMediaPlayer player;
    CollateWindow window(dialogs, player);
    for (const QStringList &add : adds)
        window.addFiles(expand(add.join('\n')).split('\n'));
    window.review().attach(paths["@clip"]);
    const QString checked = expand(exported.isEmpty() ? "@notes" : exported.section(' ', 1));
    const QByteArray before = readAll(checked);
    if (!exported.isEmpty()) {
        dialogs.saveAnswers = {checked};
        window.findChild<QPushButton *>(exported.section(' ', 0, 0))->click();
    }

    QCOMPARE(window.findChild<QListWidget *>("fileList")->count(), 2);
    QCOMPARE(window.collation().runs().size(), 2);
    QCOMPARE(dialogs.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(dialogs.messages[0].contains(expand(message)), qPrintable(dialogs.messages[0]));
    QCOMPARE(readAll(checked) != before, replaced);
}

// The clip beside the chart, in the real player: the chart's cursor follows it, a click on the
// chart takes it there, Space pauses it, and the figures are those of the cursor's second; the
// raters' lags are allowed for on request.
void TestCollateWindow::review()
{
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.wav");
    QCOMPARE(makeClip(clip, 8.0), QString());
    // Three raters a second apart, over eight seconds.
    QStringList files;
    for (int delay = 0; delay < 3; ++delay) {
        QStringList cells;
        for (int t = 0; t < 8; ++t)
            cells << QString::number(std::abs((t + 4 - delay) % 7 - 3));
        files << write(dir.filePath(QStringLiteral("r%1.csv").arg(delay)),
                       results(QStringLiteral("R%1").arg(delay), "Mood", cells));
    }
    FakeCollateDialogs dialogs;
    GstMediaPlayer player;
    CollateWindow window(dialogs, player);
    window.show();
    window.addFiles(files);
    window.review().attach(clip);
    auto *chart = window.findChild<ChartView *>("chart");
    QTRY_VERIFY_WITH_TIMEOUT(chart->cursor().value_or(0.0) > 0.3, 20000);
    const QRectF plot = CollateChart(window.collation()).plotArea(chart->rect());
    const QPointF three(plot.left() + 3.0 / 9.0 * plot.width(), chart->height() / 2.0);
    QTest::mouseClick(chart, Qt::LeftButton, {}, three.toPoint());
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(player.position() - 3.0) < 0.4, 20000);
    QTest::keyClick(&window, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 20000);
    window.review().follow();
    const qsizetype row = window.collation().rowAt(*chart->cursor());
    const QString figures = window.findChild<QLabel *>("cursorLabel")->text();
    QVERIFY2(figures.contains(QString::number(window.collation().mean(row), 'f', 2)),
             qPrintable(figures));

    window.findChild<QDoubleSpinBox *>("alignBox")->setValue(2.0);
    auto *statistics = window.findChild<QTableWidget *>("statisticsTable");
    QCOMPARE(statistics->item(2, 0)->text(), "lag[R2 (1.1.2026)]");
    QCOMPARE(statistics->item(2, 1)->text(), "2.0000");
}

// Each clip of a study beside its own file, or beside none where its file has gone.
void TestCollateWindow::studyClips()
{
    QTemporaryDir dir;
    FakeCollateDialogs dialogs;
    FakeMediaPlayer player;
    CollateWindow window(dialogs, player);
    window.openStudy(writeStudy(dir.path()));
    QCOMPARE(player.url, dir.filePath("a/intro.avi"));
    window.chooseClip(1);
    QCOMPARE(player.url, dir.filePath("b/intro.avi"));
    QVERIFY(QFile::remove(dir.filePath("city.avi")));
    window.chooseClip(2);
    QCOMPARE(window.review().clip(), QString());
    QCOMPARE(player.closeCalls, 1);
    QCOMPARE(window.collation().runs().size(), 2); // the interrupted run left out
    // Every clip's complete runs, whichever clip is shown.
    dialogs.saveAnswers = {dir.filePath("long.csv")};
    window.findChild<QPushButton *>("exportLongButton")->click();
    QVERIFY(readAll(dir.filePath("long.csv"))
                .contains("\r\nT,P02,b/intro.avi,3,P02 1 2.csv,done,Stress,3,3\r\n"));
    QCOMPARE(window.findChild<ChartView *>("chart")->chart().title(), "city, Mood, 2 runs");
}

// The chart and the video span the moments with a value and mark where runs are missing.
void TestCollateWindow::chartSpan()
{
    const Collation collation({parsed("a", results("A", "Mood", {"1", "", "", "4", "5", "", ""})),
                               parsed("b", results("B", "Mood", {"1", "2", "3", "4", "", ""}))},
                              "Mood");
    QCOMPARE(TraceLines::lastSecond(collation), 6.0); // not the empty rows after it
    using Rows = QList<std::pair<qsizetype, qsizetype>>;
    QCOMPARE(TraceLines::incompleteRows(collation), (Rows{{3, 4}, {6, 6}}));
}

// Over a white picture the trace's band stays dark, so that its white writing reads.
void TestCollateWindow::traceBandOverWhite()
{
    QImage frame(640, 360, QImage::Format_RGB32);
    frame.fill(Qt::white);
    QPainter painter(&frame);
    const QRect band = VideoExport::overlayArea(frame.size());
    TraceOverlay(Collation()).draw(painter, band, 1.0);
    painter.end();
    QMap<QRgb, int> seen; // the colour most of a column shows is the band's own
    for (int y = band.top(); y <= band.bottom(); ++y)
        ++seen[frame.pixel(band.center().x(), y)];
    QVERIFY(qGray(std::max_element(seen.cbegin(), seen.cend()).key()) < 64);
}

// The trace video is written by a job while the window goes on, one job at a time: the progress
// dialog's Cancel leaves no file, and a job let run tells its progress to the end and leaves the
// video.
void TestCollateWindow::traceVideo()
{
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.avi");
    QCOMPARE(makeClip(clip, 2.0, {QSize(160, 120)}), QString());
    FakeCollateDialogs dialogs;
    FakeMediaPlayer player;
    CollateWindow window(dialogs, player);
    window.addFiles({write(dir.filePath("one.csv"), results("Ann", "Fear", {"0", "2"})),
                     write(dir.filePath("two.csv"), results("Bo", "Fear", {"1", "3"}))});
    window.review().attach(clip);
    auto *button = window.findChild<QPushButton *>("exportTraceVideoButton");
    const QStringList videos = {dir.filePath("cancelled.mp4"), dir.filePath("written.mp4")};
    dialogs.saveAnswers = videos;
    for (const QString &video : videos) {
        button->click();
        QVERIFY(window.traceVideoJob() && !button->isEnabled());
        QSignalSpy finished(window.traceVideoJob(), &TraceVideoJob::finished);
        QSignalSpy progressed(window.traceVideoJob(), &TraceVideoJob::progressChanged);
        if (video == videos[0])
            window.findChild<QProgressDialog *>()->findChild<QPushButton *>()->click();
        QVERIFY(finished.wait(60000));
        QVERIFY(!window.traceVideoJob() && button->isEnabled());
        QCOMPARE(QFile::exists(video), video == videos[1]);
        if (video == videos[1])
            QCOMPARE(progressed.last().value(0).toInt(), 1000);
    }
    QCOMPARE(dialogs.messages, QStringList());
}

// A press made through the rating screen on a real clip stands at the clip moment it was made at
// in the moments of --rate 4: the table's line, the chart's point and the video's figure.
void TestCollateWindow::clipTime()
{
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.wav");
    QCOMPARE(makeClip(clip, 3.0), QString());
    GstMediaPlayer player;
    Session session(dir.path(), &player);
    session.dialogs.confirmAnswer = true; // "Finished!" before the clip's end
    MainForm *rating = session.toRating(false, clip);
    QVERIFY(rating);
    QTRY_VERIFY_WITH_TIMEOUT(rating->isRecording() && player.position() >= 1.6, 20000);
    const double pressed = player.position();
    child<QPushButton>(rating, "Command1")->click();
    QTRY_VERIFY_WITH_TIMEOUT(player.position() >= 2.6, 20000);
    session.finish();

    const Collating::Outcome outcome = Collating::collate({}, {session.path("temp.csv")}, {}, 4);
    QVERIFY2(outcome.notAtRate.isEmpty(), qPrintable(outcome.notAtRate));
    // Never before the press, and at most a step after it (and the few milliseconds between
    // reading the position and the press): the row the chart and the video take at a moment.
    const Collation &c = outcome.collation;
    QCOMPARE(c.mean(c.rowAt(pressed - 0.001)), 0.0);
    const QString line =
        QStringLiteral("\r\n%1,1,1.0000,,1\r\n").arg(c.timeLabel(c.rowAt(pressed + 0.3)));
    QVERIFY2(c.tableBytes().contains(line.toLatin1()), qPrintable(line + c.tableBytes()));
    const double first = outcome.screening.value(0).firstPress;
    QVERIFY2(first >= pressed && first < pressed + 0.05, qPrintable(QString::number(first)));
}

DIALTRACE_TEST_CASE(TestCollateWindow, "collatewindow")
#include "tst_collatewindow.moc"
