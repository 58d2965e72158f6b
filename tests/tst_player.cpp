// The real player on clips made here with ffmpeg, and a recording on a real clip with the
// real timers.

#include "cliplengths.h"
#include "clips.h"
#include "gstmediaplayer.h"
#include "picturesink.h"
#include "pictureview.h"
#include "playbin.h"
#include "playerprobe.h"
#include "support.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWheelEvent>

namespace {

// Loading goes through GStreamer's type finding and preroll, which is slow on a loaded machine.
constexpr int LoadTimeoutMs = 20000;

// How many of this process's threads run at a lower priority than the interface thread.
int threadsBelowInterfaceThread()
{
    const auto nice = [](const QString &stat) {
        // The fields after the name, which is in parentheses and may hold blanks.
        const QByteArray text = readAll(stat);
        return text.mid(text.lastIndexOf(')') + 2).split(' ').value(16).toInt();
    };
    const int own = nice(QStringLiteral("/proc/thread-self/stat"));
    int below = 0;
    for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs))
        below += nice(QStringLiteral("/proc/self/task/%1/stat").arg(task)) > own;
    return below;
}

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir; // the clips, each under a name of its own

private slots:
    void playsByItself_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("seconds");
        // The kinds of file the setup form offers.
        QTest::newRow("AVI, MPEG-4") << "clip.avi" << 2.4;
        QTest::newRow("MPEG-2 program stream") << "clip.mpg" << 2.4;
        QTest::newRow("Windows Media") << "clip.wmv" << 2.4;
        QTest::newRow("WAV") << "clip.wav" << 3.2;
        QTest::newRow("MP3") << "clip.mp3" << 3.2;
    }
    void playsByItself()
    {
        QFETCH(QString, name);
        QFETCH(double, seconds);
        const bool video = !name.endsWith(".wav") && !name.endsWith(".mp3");
        QCOMPARE(makeClip(m_dir.filePath(name), seconds, {video ? QSize(160, 120) : QSize()}),
                 QString());
        GstMediaPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::errorOccurred);
        QSignalSpy lengths(&player, &MediaPlayer::durationChanged);
        player.setUrl(m_dir.filePath(name));
        QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0.0, LoadTimeoutMs);
        const double length = player.duration();
        QVERIFY2(qAbs(length - seconds) <= 0.05 * seconds, qPrintable(QString::number(length)));
        // The rating screen waits for the signal, not for the value.
        QVERIFY(!lengths.isEmpty());
        QCOMPARE(lengths.last().at(0).toDouble(), length);
        QCOMPARE(GstClipLengths().length(m_dir.filePath(name)).seconds, length); // read before play
        QTRY_VERIFY_WITH_TIMEOUT(player.position() > 0.0, LoadTimeoutMs);
        QVERIFY(player.position() <= length);
        // Decoding keeps the ordinary priority, which other programs cannot take from it.
        QVERIFY(threadsBelowInterfaceThread() == 0);
        player.close();
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), LoadTimeoutMs);
        QCOMPARE(player.duration(), length);
        QVERIFY(player.position() < 0.0);
        QCOMPARE(errors.count(), 0);
    }

    void unplayableGivesOneError_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        // GStreamer words the first one itself.
        QTest::newRow("text file") << "text.avi" << QString();
        QTest::newRow("missing file") << "none.avi" << QStringLiteral("The file does not exist.");
        QTest::newRow("folder") << "folder.avi"
                                << "The path names a folder or device, not a file.";
        QTest::newRow("no path") << "" << QStringLiteral("No file was chosen.");
    }
    void unplayableGivesOneError()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QVERIFY(writeAll(m_dir.filePath("text.avi"), QByteArray(4000, 'x')));
        QVERIFY(QDir(m_dir.path()).mkpath("folder.avi"));
        GstMediaPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::errorOccurred);
        player.setUrl(name.isEmpty() ? QString() : m_dir.filePath(name));
        // Reported later, so that whoever called setUrl can still connect.
        QCOMPARE(errors.count(), 0);
        QVERIFY(errors.wait(LoadTimeoutMs));
        QTest::qWait(300);
        QCOMPARE(errors.count(), 1);
        const QString said = errors.first().at(0).toString();
        if (!reason.isEmpty())
            QCOMPARE(said, reason);
        QVERIFY2(said.at(0).isUpper() && said.endsWith('.'), qPrintable(said));
        QCOMPARE(player.duration(), 0.0);
        QVERIFY(!player.isPlaying());
        QVERIFY(GstClipLengths().length(m_dir.filePath(name)).problem.endsWith('.'));
    }

    // Pictures are made at the size shown, off the interface thread, scaled before their colours
    // are converted; the view draws them at that size, centred on black, never enlarged.
    void pictureFitsTheArea_data()
    {
        QTest::addColumn<QSize>("clip");
        QTest::newRow("small: its own size") << QSize(320, 240);
        QTest::newRow("wide: shrunk to the width") << QSize(1920, 1080);
        QTest::newRow("tall: shrunk to the height") << QSize(240, 720);
    }
    void pictureFitsTheArea()
    {
        QFETCH(QSize, clip);
        const QString name = QStringLiteral("%1x%2.avi").arg(clip.width()).arg(clip.height());
        QCOMPARE(makeClip(m_dir.filePath(name), 2.0, {clip, 10, 0xff0000}), QString());
        GstMediaPlayer player;
        QWidget *view = player.view();
        view->resize(537, 353);
        view->show();
        QSignalSpy shown(&player, &GstMediaPlayer::pictureShown);
        player.setUrl(m_dir.filePath(name));
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 3, LoadTimeoutMs);

        auto *video = child<PictureView>(view, "video");
        const QSize area = video->size();
        // The clip's aspect kept within the area, never larger than the clip.
        const double scale = qMin(
            1.0, qMin(double(area.width()) / clip.width(), double(area.height()) / clip.height()));
        const QSize expected = (QSizeF(clip) * scale).toSize();
        const QSize made = shown.last().at(0).value<QImage>().size();
        // Within a pixel: the scaler rounds the other side as it sees fit.
        const QSize off = made - expected;
        QVERIFY2(qAbs(off.width()) <= 1 && qAbs(off.height()) <= 1,
                 qPrintable(QStringLiteral("%1x%2").arg(made.width()).arg(made.height())));
        QCOMPARE(player.pictureSink().madeOnInterfaceThread(), 0);
        QCOMPARE(PlayerProbe::largestConverted(player), made);

        // On screen: red where the picture is, at its own size in the middle, black around it.
        const QRect at = video->pictureRect();
        QCOMPARE(at.size(), made);
        QVERIFY(qAbs(at.center().x() - video->rect().center().x()) <= 1);
        QVERIFY(qAbs(at.center().y() - video->rect().center().y()) <= 1);
        const QImage screen = video->grab().toImage();
        const auto red = [&](QPoint p) { return qRed(screen.pixel(p)) > 180; };
        const auto black = [&](QPoint p) { return qGray(screen.pixel(p)) < 20; };
        QVERIFY(red(at.center()) && red(at.topLeft() + QPoint(2, 2)) &&
                red(at.bottomRight() - QPoint(2, 2)));
        for (const QPoint &outside : {at.topLeft() - QPoint(2, 2), at.bottomRight() + QPoint(2, 2)})
            QVERIFY(!video->rect().contains(outside) || black(outside));
    }

    // The sound is heard at half volume. While the clip plays on, a press is told the position
    // without asking the pipeline; once a seek has been carried out, it is told the new place,
    // never the old one carried on.
    void soundAndPositionWhilePlaying()
    {
        QCOMPARE(makeClip(m_dir.filePath("8s.wav"), 8.0), QString());
        GstMediaPlayer player;
        player.view()->show();
        PlayerProbe::SoundListener sound(player);
        QVERIFY(sound.hasSink());
        player.setUrl(m_dir.filePath("8s.wav"));
        QTRY_VERIFY_WITH_TIMEOUT(player.position() > 1.5, LoadTimeoutMs);
        QCOMPARE(PlayerProbe::volume(player), 0.5);
        QVERIFY(!PlayerProbe::isMuted(player));
        // ffmpeg's tone peaks at an eighth of full scale; half of that, where the volume is
        // applied to the samples rather than by the sound device.
        const int full = 32767 / 8;
        const int loudest = sound.loudest();
        QVERIFY2(sound.sinkHasOwnVolume() ? loudest > full * 0.9
                                          : qAbs(loudest - full / 2) < full / 10,
                 qPrintable(QString::number(loudest)));
        const auto asked = [&player] { return PlayerProbe::pipelinePosition(player); };
        QVERIFY(qAbs(player.position() * 1e9 - double(asked())) < 0.05e9);
        player.seekTo(0.25);
        QTRY_VERIFY_WITH_TIMEOUT(asked() >= 0 && asked() < 1'000'000'000, LoadTimeoutMs);
        QVERIFY2(player.position() < 1.0, qPrintable(QString::number(player.position())));
        // The pipeline is paused while it fills again after the seek; then it plays on.
        QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
        player.close();
    }

    // What the controls do, and what they report; the wheel and the keyboard are the rating
    // screen's.
    void controlsReportWhatTheUserDid()
    {
        QCOMPARE(makeClip(m_dir.filePath("3s.wav"), 3.0), QString());
        GstMediaPlayer player;
        QWidget *view = player.view();
        view->show();
        auto *playPause = child<QPushButton>(view, "playPause");
        auto *seek = child<QSlider>(view, "seek");
        QCOMPARE(playPause->focusPolicy(), Qt::NoFocus);
        QCOMPARE(seek->focusPolicy(), Qt::NoFocus);
        QSignalSpy used(&player, &MediaPlayer::controlUsed);
        QSignalSpy ended(&player, &MediaPlayer::endReached);
        player.setUrl(m_dir.filePath("3s.wav"));
        QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying() && seek->isEnabled(), LoadTimeoutMs);

        playPause->click();
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), LoadTimeoutMs);
        QCOMPARE(used.count(), 1);
        QCOMPARE(used.last().at(0).value<MediaPlayer::Control>(), MediaPlayer::Control::Pause);
        QCOMPARE(playPause->text(), QStringLiteral("Play"));

        // Left unaccepted, a wheel event goes on to the screen.
        const int before = seek->value();
        QWheelEvent wheel(QPointF(5, 5), seek->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(seek, &wheel);
        QVERIFY(!wheel.isAccepted());
        QCOMPARE(seek->value(), before);

        // A drag to 2 s and its release: one seek reported, at the new position.
        seek->setSliderDown(true);
        seek->setSliderPosition(2000);
        seek->triggerAction(QAbstractSlider::SliderMove);
        seek->setSliderDown(false);
        QCOMPARE(used.count(), 2);
        QCOMPARE(used.last().at(0).value<MediaPlayer::Control>(), MediaPlayer::Control::Seek);
        QCOMPARE(used.last().at(1).toDouble(), 2.0);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(player.position() - 2.0) < 0.1, LoadTimeoutMs);

        playPause->click();
        QCOMPARE(used.last().at(0).value<MediaPlayer::Control>(), MediaPlayer::Control::Play);
        QVERIFY(ended.wait(LoadTimeoutMs));
        QTRY_COMPARE(playPause->text(), QStringLiteral("Play"));
        QVERIFY(!player.isPlaying());
        // Play at the end starts the clip again.
        playPause->click();
        QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
        QVERIFY(player.position() < 1.0);
        QCOMPARE(used.count(), 4);
        QCOMPARE(player.duration(), 3.0);
    }

    // A recording on a real clip with the real timers ends at the clip's end (what it stores, the
    // whole run checks on the program); then the levels fall back by themselves, one step a second.
    void recordsOnARealClip()
    {
        QCOMPARE(makeClip(m_dir.filePath("3.5s.wav"), 3.5), QString());
        SetupRecord record = makeRecord(false);
        record.FileFullPath = m_dir.filePath("3.5s.wav");
        FakeDialogs dialogs;
        GstMediaPlayer player;
        MainForm form(record, player, dialogs);
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(form.isRecording(), LoadTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!form.isRecording(), LoadTimeoutMs);
        QCOMPARE(dialogs.messages, QStringList{});
        for (int i = 0; i < 3; ++i)
            form.press(Rating::Button::Increase1);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> steps;
        // When the level passes below 3 and then below 2: one tick of Timer1 apart.
        for (qint16 level = 3; level > 1 && clock.elapsed() < 5000; QTest::qWait(20)) {
            if (form.state().Level1 < level) {
                steps.append(clock.elapsed());
                level = form.state().Level1;
            }
        }
        QCOMPARE(steps.size(), 2);
        QVERIFY2(steps[1] - steps[0] > 800, qPrintable(QString::number(steps[1] - steps[0])));
    }

    // A decoder too slow for the clip: the pictures no other is decoded from are skipped before
    // decoding, every decoded picture is shown, and the picture keeps moving to the clip's end.
    void slowDecodingSkipsEvenly()
    {
        QTemporaryDir dir;
        QCOMPARE(makeClip(dir.filePath("clip.avi"), 4.0, {QSize(320, 240), 30, 0, true}),
                 QString());
        GstMediaPlayer player;
        PlayerProbe::slowDownDecoding(player, 55); // 18 pictures a second at most, of 30
        QElapsedTimer clock;
        QList<qint64> shown;
        connect(&player, &GstMediaPlayer::pictureShown, this, [&] { shown << clock.elapsed(); });
        QSignalSpy ended(&player, &MediaPlayer::endReached);
        // The player's log names the decoder, on the graphics hardware or in software alike.
        QLoggingCategory::setFilterRules(QStringLiteral("dialtrace.player.info=true"));
        QTest::ignoreMessage(QtInfoMsg,
                             QRegularExpression(QStringLiteral(
                                 "decoded by \\w+, (in software|on the graphics hardware):")));
        player.view()->show();
        player.setUrl(dir.filePath("clip.avi"));
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), LoadTimeoutMs);
        QLoggingCategory::setFilterRules(QString());
        clock.start();
        shown = {0};
        QVERIFY(ended.wait(LoadTimeoutMs));
        qint64 longest = 0;
        for (qsizetype i = 1; i < shown.size(); ++i)
            longest = std::max(longest, shown[i] - shown[i - 1]);
        // Loose, for a busy machine: a decoder behind for good shows a few pictures, seconds apart.
        QVERIFY2(
            shown.size() > 40 && longest < 500 && player.pictureSink().pacer().skipped() > 0,
            qPrintable(QString::asprintf("%d shown, gap %lld ms", int(shown.size()), longest)));
    }

    // Checked once at start-up: a hardware decoder that opens goes above software, one that does
    // not open is never chosen.
    void hardwareDecoderOrFallBack()
    {
        const Playbin::DecoderCandidate software{"avdec_h264", 288, false, false};
        const auto rank = [&](bool opens) {
            return Playbin::decoderRanks({software, {"vah264dec", 0, true, opens}});
        };
        QCOMPARE(Playbin::decoderRanks({software}).size(), 0);
        QCOMPARE(rank(true), (QList<std::pair<QByteArray, int>>{{"vah264dec", 289}}));
        QCOMPARE(rank(false), (QList<std::pair<QByteArray, int>>{{"vah264dec", 0}}));
    }

    // The position asked once a second: M moving on, R started again (which the watch is told),
    // P reported, G going again after the report (said once). After a restart the clip has 15 s
    // to move, as at its start.
    void stallWatch_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QString>("verdicts");
        const QString wait(14, 'M');
        QTest::newRow("restart helps") << QList<int>{1, 2, 2, 2, 2, 2, 3, 4} << "MMMMMRMM";
        QTest::newRow("reported once")
            << QList<int>{1} + QList<int>(35, 2) << "MMMMMR" + wait + "P" + wait + "R";
        QTest::newRow("never starts") << QList<int>(15, -1) << wait + "R";
        QTest::newRow("reported, then moving on: said once")
            << QList<int>{1} + QList<int>(21, 2) + QList<int>{3, 4, 5}
            << "MMMMMR" + wait + "PMGMM";
    }
    void stallWatch()
    {
        QFETCH(QList<int>, positions);
        QFETCH(QString, verdicts);
        StallWatch watch;
        watch.reset(0);
        QString seen;
        for (qint64 s = 1; s <= positions.size(); ++s) {
            const auto verdict =
                watch.observe(positions[s - 1] * 1'000'000'000LL, s * 1'000'000'000);
            seen += "MRPG"[int(verdict)];
            if (verdict == StallWatch::Verdict::Restart || verdict == StallWatch::Verdict::Report)
                watch.reset(s * 1'000'000'000);
        }
        QCOMPARE(seen, verdicts);
    }

    void stallIsLoggedNotTheEnd()
    {
        SetupRecord record = makeRecord(false);
        record.FileFullPath = QStringLiteral("clip.avi");
        FakeDialogs dialogs;
        FakeMediaPlayer player;
        MainForm form(record, player, dialogs);
        player.arrive(30.0);
        form.checkLength();
        emit player.playbackStalled(4.5);
        const RunEvent stall = form.events().last();
        QVERIFY(!form.isComplete() && form.isRecording() && stall.media == 4500);
        QCOMPARE(EventLog::parseLine(EventLog::line(stall, false).trimmed())->kind,
                 RunEvent::Kind::Stall);
    }
};

DIALTRACE_TEST_CASE(TestPlayer, "player")
#include "tst_player.moc"
