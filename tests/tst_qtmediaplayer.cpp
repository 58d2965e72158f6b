#include "qtmediaplayer.h"

#include <QAudioOutput>
#include <QFile>
#include <QLabel>
#include <QMediaPlayer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVideoWidget>
#include <QtTest>

#include <memory>

namespace {

// Loading goes through GStreamer's type finding and preroll, which is slow on a loaded machine.
constexpr int LoadTimeoutMs = 20000;

struct Clip
{
    QString fileName;
    double seconds;
    bool hasPicture;
    QStringList codecArguments;
};

// One clip per extension the program accepts, each a different length so a length reported for
// the wrong clip, or a fixed guess, shows up.
const QList<Clip> &clips()
{
    static const QList<Clip> all = {
        {"clip.avi", 2.0, true, {"-c:v", "mpeg4", "-c:a", "pcm_s16le", "-f", "avi"}},
        {"clip.mpg", 2.4, true, {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}},
        {"clip.mpeg", 2.8, true, {"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob"}},
        {"clip.wmv", 3.2, true, {"-c:v", "wmv2", "-c:a", "wmav2", "-f", "asf"}},
        {"clip.mp3", 3.6, false, {"-c:a", "libmp3lame", "-b:a", "64k", "-f", "mp3"}},
        {"clip.wav", 4.0, false, {"-c:a", "pcm_s16le", "-f", "wav"}},
    };
    return all;
}

const Clip &clipNamed(const QString &fileName)
{
    for (const Clip &clip : clips()) {
        if (clip.fileName == fileName)
            return clip;
    }
    qFatal("no clip named %s", qPrintable(fileName));
}

QString clockText(double seconds)
{
    const int whole = int(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QMediaPlayer *backendOf(QtMediaPlayer &player)
{
    return player.findChild<QMediaPlayer *>();
}

double lastReportedLength(const QSignalSpy &spy)
{
    return spy.isEmpty() ? 0.0 : spy.last().at(0).toDouble();
}

// Lets the backend finish with the current clip, so that any signal it still has to send
// about it has been delivered before the test counts signals.
bool backendSettled(QtMediaPlayer &player)
{
    QMediaPlayer *backend = backendOf(player);
    const auto status = backend->mediaStatus();
    return backend->playbackState() == QMediaPlayer::StoppedState &&
           (status == QMediaPlayer::NoMedia || status == QMediaPlayer::InvalidMedia);
}

} // namespace

class TestQtMediaPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void viewControls_data();
    void viewControls();
    void startsWithSettledDefaults();

    void playsByItselfAndReportsLength_data();
    void playsByItselfAndReportsLength();
    void playPauseButtonToggles_data();
    void playPauseButtonToggles();
    void draggingTheSliderSeeks_data();
    void draggingTheSliderSeeks();

    void closeKeepsLengthAndStops_data();
    void closeKeepsLengthAndStops();
    void newClipForgetsOldLength();

    void unplayablePathGivesOneError_data();
    void unplayablePathGivesOneError();
    void earlierErrorIsDroppedByNextClip_data();
    void earlierErrorIsDroppedByNextClip();

    void survivesItsViewBeingDeleted();

private:
    QString clipPath(const QString &fileName) const { return m_dir.filePath(fileName); }
    QString textFilePath() const { return m_dir.filePath("text/clip.avi"); }

    QTemporaryDir m_dir;
};

void TestQtMediaPlayer::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));

    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty())
        QFAIL("ffmpeg is not on PATH; it makes the test clips. Install it as the README says.");

    for (const Clip &clip : clips()) {
        const QString seconds = QString::number(clip.seconds);
        QStringList arguments = {"-v", "error", "-y", "-nostdin"};
        if (clip.hasPicture)
            arguments += {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=" + seconds};
        arguments +=
            {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + seconds};
        arguments += clip.codecArguments;
        arguments += {"-t", seconds, clipPath(clip.fileName)};

        QProcess process;
        process.start(ffmpeg, arguments);
        QVERIFY2(process.waitForFinished(60000), qPrintable("ffmpeg hung on " + clip.fileName));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 qPrintable("ffmpeg could not make " + clip.fileName + ": " +
                            QString::fromLocal8Bit(process.readAllStandardError())));
        QVERIFY2(QFileInfo(clipPath(clip.fileName)).size() > 0, qPrintable(clip.fileName));
    }

    // A text file that only looks like a clip by its name.
    QVERIFY(QDir(m_dir.path()).mkpath("text"));
    QFile text(textFilePath());
    QVERIFY(text.open(QIODevice::WriteOnly));
    for (int line = 0; line < 200; ++line)
        text.write("This is a line of plain text, not a clip.\r\n");
    text.close();
}

void TestQtMediaPlayer::viewControls_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("className");

    QTest::newRow("play/pause") << QStringLiteral("playPause") << QStringLiteral("QPushButton");
    QTest::newRow("seek") << QStringLiteral("seek") << QStringLiteral("QSlider");
    QTest::newRow("time") << QStringLiteral("time") << QStringLiteral("QLabel");
}

void TestQtMediaPlayer::viewControls()
{
    QFETCH(QString, objectName);
    QFETCH(QString, className);

    QtMediaPlayer player;
    QWidget *view = player.view();
    QVERIFY(view);
    QWidget *control = view->findChild<QWidget *>(objectName);
    QVERIFY2(control, qPrintable("no control named " + objectName));
    QCOMPARE(QString(control->metaObject()->className()), className);

    // The control sits beneath the picture.
    view->resize(320, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    auto *video = view->findChild<QVideoWidget *>();
    QVERIFY(video);
    QVERIFY2(control->mapTo(view, QPoint(0, 0)).y() >=
                 video->mapTo(view, QPoint(0, 0)).y() + video->height(),
             "control overlaps or is above the picture");
}

void TestQtMediaPlayer::startsWithSettledDefaults()
{
    QtMediaPlayer player;
    QWidget *view = player.view();
    QVERIFY(view);

    auto *video = view->findChild<QVideoWidget *>();
    QVERIFY(video);
    QCOMPARE(video->aspectRatioMode(), Qt::KeepAspectRatio);
    QVERIFY(video->autoFillBackground());
    QCOMPARE(video->palette().color(QPalette::Window), QColor(Qt::black));

    QCOMPARE(view->contextMenuPolicy(), Qt::NoContextMenu);
    const QList<QWidget *> children = view->findChildren<QWidget *>();
    for (QWidget *child : children)
        QVERIFY2(child->contextMenuPolicy() == Qt::NoContextMenu, child->metaObject()->className());

    QMediaPlayer *backend = backendOf(player);
    QVERIFY(backend);
    QCOMPARE(backend->playbackRate(), 1.0);
    QVERIFY(backend->audioOutput());
    QCOMPARE(backend->audioOutput()->volume(), 0.5f);
    QVERIFY(!backend->audioOutput()->isMuted());
    QCOMPARE(backend->videoOutput(), video);

    QCOMPARE(player.duration(), 0.0);
    QVERIFY(!player.isPlaying());
}

void TestQtMediaPlayer::playsByItselfAndReportsLength_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<double>("seconds");

    for (const Clip &clip : clips())
        QTest::newRow(qPrintable(clip.fileName)) << clip.fileName << clip.seconds;
}

void TestQtMediaPlayer::playsByItselfAndReportsLength()
{
    QFETCH(QString, fileName);
    QFETCH(double, seconds);

    QtMediaPlayer player;
    QSignalSpy lengths(&player, &MediaPlayer::durationChanged);
    QSignalSpy errors(&player, &MediaPlayer::errorOccurred);

    player.setUrl(clipPath(fileName));
    QCOMPARE(player.duration(), 0.0);

    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(lastReportedLength(lengths) > 0.0, LoadTimeoutMs);

    const double reported = lastReportedLength(lengths);
    QVERIFY2(qAbs(reported - seconds) <= 0.05 * seconds,
             qPrintable(QString("reported %1 s for a %2 s clip").arg(reported).arg(seconds)));
    QCOMPARE(player.duration(), reported);
    QCOMPARE(backendOf(player)->duration() / 1000.0, reported);
    QVERIFY2(errors.isEmpty(), errors.isEmpty() ? "" : qPrintable(errors.first().at(0).toString()));

    // The controls follow the clip: the slider spans it and moves, the label shows its length.
    auto *seek = player.view()->findChild<QSlider *>("seek");
    auto *time = player.view()->findChild<QLabel *>("time");
    QVERIFY(seek && time);
    QCOMPARE(seek->maximum(), int(backendOf(player)->duration()));
    QTRY_VERIFY_WITH_TIMEOUT(seek->value() > 0, LoadTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(time->text().endsWith(" / " + clockText(reported)), LoadTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(time->text(), "0:01 / " + clockText(reported), LoadTimeoutMs);
}

void TestQtMediaPlayer::playPauseButtonToggles_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("video") << "clip.avi";
    QTest::newRow("audio only") << "clip.mp3";
}

void TestQtMediaPlayer::playPauseButtonToggles()
{
    QFETCH(QString, fileName);

    QtMediaPlayer player;
    auto *button = player.view()->findChild<QPushButton *>("playPause");
    QVERIFY(button);

    player.setUrl(clipPath(fileName));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
    const QString whilePlaying = button->text();

    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(backendOf(player)->playbackState(), QMediaPlayer::PausedState,
                              LoadTimeoutMs);
    QVERIFY(!player.isPlaying());
    QVERIFY2(button->text() != whilePlaying, "the button does not show that it would now play");

    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
    QCOMPARE(button->text(), whilePlaying);
}

void TestQtMediaPlayer::draggingTheSliderSeeks_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("targetMs");

    QTest::newRow("wav") << "clip.wav" << 2500;
    QTest::newRow("mp3") << "clip.mp3" << 2200;
    QTest::newRow("avi") << "clip.avi" << 1200;
}

void TestQtMediaPlayer::draggingTheSliderSeeks()
{
    QFETCH(QString, fileName);
    QFETCH(int, targetMs);

    QtMediaPlayer player;
    auto *seek = player.view()->findChild<QSlider *>("seek");
    auto *button = player.view()->findChild<QPushButton *>("playPause");
    QVERIFY(seek && button);
    QMediaPlayer *backend = backendOf(player);

    player.setUrl(clipPath(fileName));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(seek->isEnabled() && seek->maximum() > targetMs, LoadTimeoutMs);

    // Paused, so only the drag can move the position.
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(backend->playbackState(), QMediaPlayer::PausedState, LoadTimeoutMs);
    QVERIFY(backend->position() < targetMs - 300);

    seek->setSliderDown(true);
    seek->setSliderPosition(targetMs);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(backend->position() - targetMs) < 300, LoadTimeoutMs);
    QCOMPARE(seek->sliderPosition(), targetMs);
    seek->setSliderDown(false);

    auto *time = player.view()->findChild<QLabel *>("time");
    QVERIFY(time);
    QTRY_VERIFY_WITH_TIMEOUT(time->text().startsWith(clockText(targetMs / 1000.0) + " / "),
                             LoadTimeoutMs);
}

void TestQtMediaPlayer::closeKeepsLengthAndStops_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("video") << "clip.wmv";
    QTest::newRow("audio only") << "clip.wav";
}

void TestQtMediaPlayer::closeKeepsLengthAndStops()
{
    QFETCH(QString, fileName);
    const double seconds = clipNamed(fileName).seconds;

    QtMediaPlayer player;
    QSignalSpy lengths(&player, &MediaPlayer::durationChanged);
    QSignalSpy errors(&player, &MediaPlayer::errorOccurred);

    player.setUrl(clipPath(fileName));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0.0, LoadTimeoutMs);
    const double length = player.duration();
    QVERIFY(qAbs(length - seconds) <= 0.05 * seconds);
    const auto lengthReports = lengths.count();

    player.close();
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), LoadTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(backendSettled(player), LoadTimeoutMs);
    QVERIFY(backendOf(player)->source().isEmpty());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    QCOMPARE(player.duration(), length);
    QCOMPARE(lengths.count(), lengthReports);
    QVERIFY(errors.isEmpty());

    // Closed is not broken: the same clip opens and plays again.
    player.setUrl(clipPath(fileName));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(player.duration(), length, LoadTimeoutMs);
    QVERIFY(errors.isEmpty());
}

void TestQtMediaPlayer::newClipForgetsOldLength()
{
    QtMediaPlayer player;
    QSignalSpy lengths(&player, &MediaPlayer::durationChanged);
    QSignalSpy errors(&player, &MediaPlayer::errorOccurred);

    player.setUrl(clipPath("clip.mpeg"));
    QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0.0, LoadTimeoutMs);
    lengths.clear();

    player.setUrl(m_dir.filePath("gone.mpeg"));
    QCOMPARE(player.duration(), 0.0);
    QCOMPARE(lengths.count(), 1);
    QCOMPARE(lengths.first().at(0).toDouble(), 0.0);
    QVERIFY(errors.wait(LoadTimeoutMs));
    QVERIFY(!player.isPlaying());
}

void TestQtMediaPlayer::unplayablePathGivesOneError_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expectedReason");

    QTest::newRow("empty") << QString() << "No file was chosen.";
    QTest::newRow("missing") << m_dir.filePath("missing.avi") << "The file does not exist.";
    QTest::newRow("folder") << m_dir.filePath("text")
                            << "The path names a folder or device, not a file.";
    // No fixed wording: the backend names the cause.
    QTest::newRow("text named .avi") << textFilePath() << QString();
}

void TestQtMediaPlayer::unplayablePathGivesOneError()
{
    QFETCH(QString, path);
    QFETCH(QString, expectedReason);

    QtMediaPlayer player;
    QSignalSpy lengths(&player, &MediaPlayer::durationChanged);
    QSignalSpy errors(&player, &MediaPlayer::errorOccurred);

    player.setUrl(path);
    QVERIFY2(errors.isEmpty(), "the error arrived before setUrl returned");

    QVERIFY(errors.wait(LoadTimeoutMs));
    const QString reason = errors.first().at(0).toString();
    if (expectedReason.isEmpty()) {
        QVERIFY(!reason.trimmed().isEmpty());
        QVERIFY2(reason.endsWith('.'), qPrintable(reason));
        QVERIFY2(reason.at(0).isUpper(), qPrintable(reason));
    } else {
        QCOMPARE(reason, expectedReason);
    }

    QTRY_VERIFY_WITH_TIMEOUT(backendSettled(player), LoadTimeoutMs);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 1);
    QVERIFY(!player.isPlaying());
    QCOMPARE(player.duration(), 0.0);
    QVERIFY(lengths.isEmpty());
}

void TestQtMediaPlayer::earlierErrorIsDroppedByNextClip_data()
{
    QTest::addColumn<QString>("badPath");

    QTest::newRow("empty") << QString();
    QTest::newRow("missing") << m_dir.filePath("missing.wav");
    QTest::newRow("text named .avi") << textFilePath();
}

void TestQtMediaPlayer::earlierErrorIsDroppedByNextClip()
{
    QFETCH(QString, badPath);

    QtMediaPlayer player;
    QSignalSpy errors(&player, &MediaPlayer::errorOccurred);

    player.setUrl(badPath);
    player.setUrl(clipPath("clip.wav"));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), LoadTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0.0, LoadTimeoutMs);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY2(errors.isEmpty(), errors.isEmpty() ? "" : qPrintable(errors.first().at(0).toString()));
}

void TestQtMediaPlayer::survivesItsViewBeingDeleted()
{
    auto player = std::make_unique<QtMediaPlayer>();
    QSignalSpy lengths(player.get(), &MediaPlayer::durationChanged);
    player->setUrl(clipPath("clip.avi"));
    QTRY_VERIFY_WITH_TIMEOUT(player->isPlaying(), LoadTimeoutMs);

    // As when the screen that adopted the view goes first.
    auto screen = std::make_unique<QWidget>();
    player->view()->setParent(screen.get());
    screen.reset();
    QVERIFY(!player->view());

    QTRY_VERIFY_WITH_TIMEOUT(player->duration() > 0.0, LoadTimeoutMs);
    player->close();
    player->setUrl(clipPath("clip.mpg"));
    QTRY_VERIFY_WITH_TIMEOUT(player->isPlaying(), LoadTimeoutMs);
    player.reset();
}

QTEST_MAIN(TestQtMediaPlayer)
#include "tst_qtmediaplayer.moc"
