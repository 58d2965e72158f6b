// The clip with the trace over it: the engine on clips made here with ffmpeg, checked with
// ffprobe and on decoded frames; its failures; the command line on the real program.

#include "clips.h"
#include "collatefiles.h"
#include "collation.h"
#include "frameblend.h"
#include "traceoverlay.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <optional>

using namespace CollateFiles;

namespace {

// From row 2 (second 2) on: every run peaks at second 3, so that a cursor at 3 s stands on the
// mean's highest point.
const QList<QStringList> Runs = {{"-5", "5", "-5"}, {"-4", "5", "-4"}, {"-5", "5", "-3"}};

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(program), arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        qFatal("%s failed", qPrintable(program));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// "h264 320x240 25/1 aac": the picture's codec, size and rate, then the sound's codec; then the
// container's length and the picture's.
QStringList probe(const QString &path)
{
    QMap<QString, QString> found;
    for (const QString &line :
         run("ffprobe",
             {"-v", "error", "-of", "flat", "-show_entries",
              "stream=codec_name,width,height,avg_frame_rate,duration:format=duration", path})
             .split('\n', Qt::SkipEmptyParts))
        found[line.section('=', 0, 0).remove("streams.stream.")] = line.section('=', 1).remove('"');
    return {(found["0.codec_name"] + ' ' + found["0.width"] + 'x' + found["0.height"] + ' ' +
             found["0.avg_frame_rate"] + ' ' + found["1.codec_name"])
                .trimmed(),
            found["format.duration"], found["0.duration"]};
}

QImage frameAt(const QString &video, const QString &png)
{
    run("ffmpeg",
        {"-v", "error", "-y", "-nostdin", "-ss", "3", "-i", video, "-frames:v", "1", png});
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestVideo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_runs;
    Collation m_collation;

    QString exported(const QString &clip)
    {
        const QString video = m_dir.filePath(clip + ".out.mp4");
        QString error;
        if (!QFile::exists(video) &&
            TraceOverlay::writeTraceVideo(m_collation, m_dir.filePath(clip), video, false, nullptr,
                                          &error) != VideoExport::Outcome::Written)
            qWarning("%s", qPrintable(error));
        return video;
    }

private slots:
    void initTestCase()
    {
        for (const bool sound : {true, false})
            QCOMPARE(makeClip(m_dir.filePath(sound ? "blue.mp4" : "mute.mp4"), 4,
                              {{320, 240}, 25, 0x3060c0, true, sound}),
                     QString());
        QCOMPARE(makeClip(m_dir.filePath("tone.wav"), 3.01), QString());
        QList<ResultsRun> runs;
        for (int i = 0; i < Runs.size(); ++i) {
            const QByteArray bytes = results(QStringLiteral("S%1").arg(i + 1), "Mood", Runs[i]);
            m_runs << write(m_dir.filePath(QStringLiteral("run%1.csv").arg(i + 1)), bytes);
            runs << parsed(m_runs.last(), bytes);
        }
        m_collation = Collation(runs, "Mood");
    }

    void streams_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("streams");
        QTest::newRow("a video with sound")
            << "blue.mp4" << QStringLiteral("h264 320x240 25/1 aac");
        QTest::newRow("sound alone: a picture of its own") << "tone.wav"
                                                           << "h264 1280x720 30/1 aac";
        QTest::newRow("a video without sound") << "mute.mp4" << QStringLiteral("h264 320x240 25/1");
    }

    void streams()
    {
        QFETCH(QString, clip);
        QFETCH(QString, streams);
        const QStringList out = probe(exported(clip));
        QCOMPARE(out[0], streams);
        // Container and picture last as long as the clip, to within a frame.
        const double frame = 1.0 / streams.section(' ', 2, 2).section('/', 0, 0).toDouble();
        const double length = probe(m_dir.filePath(clip))[1].toDouble();
        for (const QString &measured : out.mid(1))
            QVERIFY2(std::abs(measured.toDouble() - length) <= frame + 1e-6, qPrintable(measured));
        // Headers first, so that a browser plays the video while it loads.
        const QByteArray bytes = readAll(exported(clip));
        QVERIFY(bytes.indexOf("moov") >= 0 && bytes.indexOf("moov") < bytes.indexOf("mdat"));
    }

    // Above the lower third the clip is untouched; in it, at 3 s the cursor stands on the mean's
    // peak.
    void picture()
    {
        const QImage clip = frameAt(m_dir.filePath("blue.mp4"), m_dir.filePath("clip.png"));
        const QImage video = frameAt(exported("blue.mp4"), m_dir.filePath("video.png"));
        QCOMPARE(video.size(), QSize(320, 240));
        const int top = 240 - 240 / 3;
        // The encoder's deblocking may touch three rows over the band's edge.
        for (int at = 0; at < 320 * (top - 3); ++at) {
            const QRgb a = video.pixel(at % 320, at / 320), b = clip.pixel(at % 320, at / 320);
            QVERIFY2(std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                               std::abs(qBlue(a) - qBlue(b))}) <= 8,
                     qPrintable(QStringLiteral("changed at %1,%2").arg(at % 320).arg(at / 320)));
        }
        int darker = 0;
        int cursor = -1;
        int cursorLength = 0;
        QMultiMap<int, int> mean; // the mean's pixels, red on the dark band: x by y
        for (int x = 0; x < 320; ++x) {
            int light = 0;
            for (int y = top; y < 240; ++y) {
                const QRgb pixel = video.pixel(x, y);
                darker += qGray(pixel) < qGray(clip.pixel(x, y)) / 2;
                light += qGray(pixel) > 170;
                if (qRed(pixel) > 170 && qGreen(pixel) < 140 && qBlue(pixel) < 120)
                    mean.insert(y, x);
            }
            if (light > cursorLength)
                std::tie(cursor, cursorLength) = std::pair(x, light);
        }
        QVERIFY2(darker > 320 * 80 / 2, "the band darkens the lower third");
        QVERIFY2(cursorLength > 30 && !mean.isEmpty(), "a cursor across the band, and the mean");
        // The cursor hides the peak itself: its x is the middle of the mean's topmost pixels.
        double sum = 0;
        int count = 0;
        for (auto it = mean.begin(); it != mean.end() && it.key() <= mean.firstKey() + 3; ++it) {
            sum += it.value();
            ++count;
        }
        QVERIFY2(
            std::abs(cursor - sum / count) <= 2,
            qPrintable(QStringLiteral("cursor at %1, peak at %2").arg(cursor).arg(sum / count)));
    }

    // A colour laid over a 2x2 frame of Y 200, U 100, V 150, from row top on.
    void blend_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("top");
        QTest::addColumn<bool>("bt709"); // otherwise BT.601
        QTest::addColumn<bool>("full");  // otherwise 16..235
        QTest::addColumn<QString>("yuv");
        const QColor white(Qt::white);
        QTest::newRow("transparent")
            << QColor(Qt::transparent) << 0 << false << false << "200 200 200 200 100 150";
        QTest::newRow("white") << white << 0 << false << false << "235 235 235 235 128 128";
        QTest::newRow("white, full range")
            << white << 0 << false << true << "255 255 255 255 128 128";
        QTest::newRow("red, BT.601")
            << QColor(Qt::red) << 0 << false << false << "81 81 81 81 90 240";
        QTest::newRow("red, BT.709")
            << QColor(Qt::red) << 0 << true << false << "63 63 63 63 102 240";
        QTest::newRow("half-transparent black")
            << QColor(0, 0, 0, 128) << 0 << false << false << "108 108 108 108 114 139";
        QTest::newRow("white over the lower row: half the chroma")
            << white << 1 << false << false << "200 200 235 235 114 139";
    }

    void blend()
    {
        QFETCH(QColor, colour);
        QFETCH(int, top);
        QFETCH(bool, bt709);
        QFETCH(bool, full);
        uchar y[4] = {200, 200, 200, 200}, u = 100, v = 150;
        QImage layer(2, 2 - top, QImage::Format_ARGB32_Premultiplied);
        layer.fill(colour);
        FrameBlend::over(
            {{y, &u, &v}, {2, 1, 1}, 2, 2, bt709 ? 0.2126 : 0.299, bt709 ? 0.0722 : 0.114, full},
            layer, top);
        QTEST(QStringLiteral("%1 %2 %3 %4 %5 %6")
                  .arg(y[0])
                  .arg(y[1])
                  .arg(y[2])
                  .arg(y[3])
                  .arg(u)
                  .arg(v),
              "yuv");
    }

    void meanText_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        // Rows 2 to 5 (seconds 2 to 5) of two runs: 1 and 3, 2 and 3, none, -1 and 1.
        QTest::newRow("before the first row") << 0 << 1.999 << "no mean";
        QTest::newRow("between rows: the row before") << 0 << 2.96 << "Mean 2.00";
        QTest::newRow("a frame's whole milliseconds") << 3 << 0.333 << "Mean 2.00";
        QTest::newRow("a row where no run has a value") << 0 << 4.5 << "no mean";
        QTest::newRow("within the last row; a mean of 0 unsigned") << 0 << 5.99 << "Mean 0.00";
        QTest::newRow("after the last row") << 0 << 6.0 << "no mean";
        QTest::newRow("at a rate of 2, row 3 is 1 s") << 2 << 1.0 << "Mean 2.50";
    }

    void meanText()
    {
        QFETCH(int, rate);
        QFETCH(double, seconds);
        const QList<ResultsRun> runs = {parsed("a", results("A", "Mood", {"1", "2", "", "-1"})),
                                        parsed("b", results("B", "Mood", {"3", "3", "", "1"}))};
        QTEST(TraceOverlay(Collation(runs, "Mood", rate)).meanText(seconds), "text");
    }

    void failures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("cancels"); // otherwise it fails
        QTest::newRow("cancelled at once") << "cancel 0" << true;
        QTest::newRow("cancelled while writing") << "cancel 0.01" << true;
        QTest::newRow("a full disk") << "file size" << false;
        QTest::newRow("the last sync fails") << "sync" << false;
        QTest::newRow("another file takes the name meanwhile") << "taken" << false;
        QTest::newRow("a clip that is no clip") << "no clip" << false;
    }

    // Whatever goes wrong, nothing is left at the output and no file of the export beside it.
    void failures()
    {
        QFETCH(QString, fault);
        QTemporaryDir folder;
        const QString out = folder.filePath("out.mp4");
        FailingDisk disk;
        disk.syncFailures = fault == "sync" ? 1 : 0;
        std::optional<FileSizeLimit> full;
        if (fault == "file size")
            full.emplace(8000);
        bool cancelled = false;
        const auto progress = [&](double fraction) {
            if (fault == "taken" && !QFile::exists(out))
                write(out, "another program's file");
            // One answer of false is enough: a Cancel button is pressed once.
            const bool cancel = fault.startsWith("cancel") && !cancelled &&
                                fraction >= fault.section(' ', 1).toDouble();
            cancelled |= cancel;
            return !cancel;
        };
        QString error;
        const auto outcome = TraceOverlay::writeTraceVideo(
            m_collation, fault == "no clip" ? m_runs[0] : m_dir.filePath("blue.mp4"), out, false,
            progress, &error);
        full.reset();
        QFETCH(bool, cancels);
        QCOMPARE(outcome, cancels ? VideoExport::Outcome::Cancelled : VideoExport::Outcome::Failed);
        QVERIFY(cancels == error.isEmpty());
        QCOMPARE(names(folder.path()), fault == "taken" ? QStringList{"out.mp4"} : QStringList());
        if (fault == "taken")
            QCOMPARE(readAll(out), QByteArray("another program's file"));
    }

    void commandLine_data()
    {
        // The runs follow; "@clip" is the clip, "@dir" a folder of the row's own, which holds
        // other.mp4 and results.mp4 (a results file). The checks an output shares with -o and
        // --chart are the collate case's.
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("written") << "--video @clip --worm @dir/w.mp4" << 0 << "";
        QTest::newRow("--video alone") << "--video @clip" << 2 << "go together";
        QTest::newRow("not .mp4") << "--video @clip --worm @dir/w.avi" << 2 << "must end in .mp4";
        QTest::newRow("over the clip, even with --force")
            << "--force --video @clip --worm @clip" << 2 << "overwrite the clip";
        QTest::newRow("the same file as -o, spelt otherwise")
            << "-o @dir/./w.mp4 --video @clip --worm @dir/w.mp4" << 2 << "same file";
        QTest::newRow("onto a results file, even with --force")
            << "--force --video @clip --worm @dir/results.mp4" << 2 << "is a Dialtrace results";
        QTest::newRow("onto another file with --force")
            << "--force --video @clip --worm @dir/other.mp4" << 0 << "";
        QTest::newRow("a clip that is not there")
            << "--video @dir/none.mp4 --worm @dir/w.mp4" << 1 << "cannot read the clip";
        QTest::newRow("a clip that is no clip") << "--video @dir/other.mp4 --worm @dir/w.mp4" << 1
                                                << "cannot read the clip @dir/other.mp4";
    }

    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QTemporaryDir folder;
        const QString dir = folder.path();
        write(dir + "/other.mp4", "notes of another kind\n");
        QVERIFY(QFile::copy(m_runs[0], dir + "/results.mp4"));
        const auto expand = [&](QString text) {
            return text.replace("@clip", m_dir.filePath("blue.mp4")).replace("@dir", dir);
        };
        const QStringList argv = expand(arguments).split(' ') + m_runs;
        const QString output = argv.value(argv.indexOf("--worm") + 1);
        const QStringList before = names(dir);
        const QByteArray old = argv.contains("--worm") ? readAll(output) : QByteArray();
        const Ran collate = run(argv, 120000, DIALTRACE_COLLATE, false);
        QVERIFY(collate.finished);
        QVERIFY2(collate.exitCode == exitCode && collate.err.contains(expand(err)),
                 qPrintable(collate.err));
        // A refused or failed call leaves everything as it was; one that succeeds adds the video.
        QStringList after = before;
        if (exitCode == 0 && !after.contains(QFileInfo(output).fileName()))
            after << QFileInfo(output).fileName();
        after.sort();
        QCOMPARE(names(dir), after);
        if (exitCode == 0)
            QVERIFY(probe(output)[0].startsWith("h264 320x240 25/1 aac"));
        else if (output.startsWith(dir))
            QCOMPARE(readAll(output), old);
    }
};

DIALTRACE_TEST_CASE(TestVideo, "video")
#include "tst_video.moc"
