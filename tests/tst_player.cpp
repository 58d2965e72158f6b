// The real player on clips made here with ffmpeg, and a recording on a real clip with the
// real timers.

#include "gstmediaplayer.h"
#include "mainform.h"
#include "support.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

namespace {

// Loading goes through GStreamer's type finding and preroll, which is slow on a loaded machine.
constexpr int LoadTimeoutMs = 20000;

bool makeClip(const QString &path, double seconds, bool picture)
{
    const QString length = QString::number(seconds);
    QStringList arguments = {"-v", "error", "-y", "-nostdin"};
    if (picture)
        arguments += {"-f",   "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=" + length,
                      "-c:v", "mpeg4"};
    arguments += {"-f", "lavfi", "-i", "sine=frequency=440:duration=" + length, "-c:a", "pcm_s16le",
                  "-t", length,  path};
    QProcess ffmpeg;
    ffmpeg.start(QStandardPaths::findExecutable("ffmpeg"), arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT
private slots:
    void playsByItself_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("seconds");
        QTest::newRow("video") << "clip.avi" << 2.4;
        QTest::newRow("sound") << "clip.wav" << 3.2;
    }
    void playsByItself()
    {
        QFETCH(QString, name);
        QFETCH(double, seconds);
        QTemporaryDir dir;
        QVERIFY(makeClip(dir.filePath(name), seconds, name.endsWith(".avi")));
        GstMediaPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::errorOccurred);
        player.setUrl(dir.filePath(name));
        QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0.0, LoadTimeoutMs);
        const double length = player.duration();
        QVERIFY2(qAbs(length - seconds) <= 0.05 * seconds, qPrintable(QString::number(length)));
        player.close();
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), LoadTimeoutMs);
        QCOMPARE(player.duration(), length);
        QCOMPARE(errors.count(), 0);
    }

    void textFileGivesOneError()
    {
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath("text.avi"), QByteArray(4000, 'x')));
        GstMediaPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::errorOccurred);
        player.setUrl(dir.filePath("text.avi"));
        QVERIFY(errors.wait(LoadTimeoutMs));
        QTest::qWait(300);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(player.duration(), 0.0);
    }

    // As many samples as the clip has whole seconds; five presses at the start hold the level
    // above 0 through the three seconds, falling back one step a second.
    void recordsOnARealClip()
    {
        QTemporaryDir dir;
        QVERIFY(makeClip(dir.filePath("clip.wav"), 3.5, false));
        SetupRecord record = makeRecord(false);
        record.FileFullPath = dir.filePath("clip.wav");
        FakeDialogs dialogs;
        GstMediaPlayer player;
        MainForm form(record, player, dialogs);
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(form.isRecording(), LoadTimeoutMs);
        for (int i = 0; i < 5; ++i)
            form.press(Rating::Button::Increase1);
        QTRY_VERIFY_WITH_TIMEOUT(!form.isRecording(), LoadTimeoutMs);
        QCOMPARE(form.recordRow(), 4);
        for (int row = 2; row <= 4; ++row)
            QVERIFY(form.table()->cell(row, 1).value_or(0) > 0);
        QVERIFY(!form.table()->cell(5, 1));
        QCOMPARE(dialogs.messages, QStringList{});

        // After the recording the levels fall back by themselves, one step a second.
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
};

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
