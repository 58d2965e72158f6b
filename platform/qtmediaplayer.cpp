#include "qtmediaplayer.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace {

// The one place where the player's milliseconds become the seconds callers see.
double secondsFromMilliseconds(qint64 ms)
{
    return ms > 0 ? ms / 1000.0 : 0.0;
}

QString clockText(qint64 ms)
{
    const qint64 totalSeconds = ms > 0 ? ms / 1000 : 0;
    return QStringLiteral("%1:%2")
        .arg(totalSeconds / 60)
        .arg(totalSeconds % 60, 2, 10, QLatin1Char('0'));
}

QString readableReason(const QString &playerText)
{
    QString reason = playerText.trimmed();
    if (reason.isEmpty())
        return QStringLiteral("The file is not a clip that can be played.");
    reason[0] = reason.at(0).toUpper();
    if (!reason.endsWith(QLatin1Char('.')) && !reason.endsWith(QLatin1Char('!')) &&
        !reason.endsWith(QLatin1Char('?')))
        reason += QLatin1Char('.');
    return reason;
}

} // namespace

QtMediaPlayer::QtMediaPlayer(QObject *parent) : MediaPlayer(parent)
{
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_audio->setVolume(0.5f);
    m_audio->setMuted(false);
    m_player->setAudioOutput(m_audio);
    m_player->setPlaybackRate(1.0);

    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        if (m_active)
            setDuration(secondsFromMilliseconds(ms));
        updateControls();
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this] { updateControls(); });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, [this] { updateControls(); });
    connect(m_player, &QMediaPlayer::seekableChanged, this, [this] { updateControls(); });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error error, const QString &text) {
                if (error != QMediaPlayer::NoError)
                    failClip(readableReason(text));
            });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus status) {
                // A backend may mark a file it cannot read as invalid without an error. When an
                // error does come it names the cause better, so give it the chance to arrive.
                if (m_active && status == QMediaPlayer::EndOfMedia)
                    emit endReached();
                if (m_active && status == QMediaPlayer::InvalidMedia) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, generation = m_generation] {
                            if (generation == m_generation)
                                failClip(readableReason(m_player->errorString()));
                        },
                        Qt::QueuedConnection);
                }
                updateControls();
            });

    // The picture must be connected before a clip is opened, so the view exists from the start.
    buildView();
}

QtMediaPlayer::~QtMediaPlayer()
{
    m_active = false;
    m_player->stop();
    // A view nobody adopted, or one still shown after we go, would outlive the player it drives.
    delete m_view.data();
}

void QtMediaPlayer::buildView()
{
    m_view = new QWidget;
    m_view->setContextMenuPolicy(Qt::NoContextMenu);

    m_video = new QVideoWidget(m_view);
    m_video->setObjectName(QStringLiteral("video"));
    m_video->setAspectRatioMode(Qt::KeepAspectRatio);
    QPalette black = m_video->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_video->setPalette(black);
    m_video->setAutoFillBackground(true);
    m_video->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_player->setVideoOutput(m_video);

    m_playPause = new QPushButton(m_view);
    m_playPause->setObjectName(QStringLiteral("playPause"));
    m_playPause->setFocusPolicy(Qt::NoFocus);

    m_seek = new QSlider(Qt::Horizontal, m_view);
    m_seek->setObjectName(QStringLiteral("seek"));
    m_seek->setRange(0, 0);
    m_seek->setFocusPolicy(Qt::NoFocus);

    m_time = new QLabel(m_view);
    m_time->setObjectName(QStringLiteral("time"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_playPause);
    controls->addWidget(m_seek, 1);
    controls->addWidget(m_time);

    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_video, 1);
    layout->addLayout(controls);

    for (QWidget *child : m_view->findChildren<QWidget *>())
        child->setContextMenuPolicy(Qt::NoContextMenu);

    connect(m_playPause, &QPushButton::clicked, this, [this] {
        if (m_player->playbackState() == QMediaPlayer::PlayingState) {
            m_player->pause();
            emit controlUsed(Control::Pause, position());
        } else if (m_active) {
            m_player->play();
            emit controlUsed(Control::Play, position());
        }
    });
    // Actions cover dragging, clicks on the groove and keys, but not our own setValue calls,
    // so following the position never seeks.
    connect(m_seek, &QAbstractSlider::actionTriggered, this, [this] {
        m_player->setPosition(m_seek->sliderPosition());
        emit controlUsed(Control::Seek, secondsFromMilliseconds(m_seek->sliderPosition()));
    });

    updateControls();
}

QWidget *QtMediaPlayer::view()
{
    return m_view;
}

void QtMediaPlayer::setUrl(const QString &path)
{
    ++m_generation;
    m_errorReported = false;
    m_path = path;

    // Silence the old clip's last reports while it is being replaced.
    m_active = false;
    m_player->stop();
    m_player->setSource(QUrl());
    setDuration(0.0);

    if (path.isEmpty()) {
        reportErrorLater(QStringLiteral("No file was chosen."));
    } else if (const QFileInfo info(path); !info.exists()) {
        reportErrorLater(QStringLiteral("The file does not exist."));
    } else if (!info.isFile()) {
        reportErrorLater(QStringLiteral("The path names a folder or device, not a file."));
    } else {
        m_active = true;
        m_player->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
        m_player->play();
    }
    updateControls();
}

double QtMediaPlayer::duration() const
{
    return m_duration;
}

void QtMediaPlayer::close()
{
    ++m_generation;
    m_active = false;
    m_player->stop();
    m_player->setSource(QUrl());
    updateControls();
}

double QtMediaPlayer::position() const
{
    return m_active ? secondsFromMilliseconds(m_player->position()) : -1.0;
}

bool QtMediaPlayer::isPlaying() const
{
    return m_player->playbackState() == QMediaPlayer::PlayingState;
}

void QtMediaPlayer::setDuration(double seconds)
{
    if (seconds == m_duration)
        return;
    m_duration = seconds;
    emit durationChanged(m_duration);
}

void QtMediaPlayer::reportError(const QString &reason, quint64 generation)
{
    if (generation != m_generation || m_errorReported)
        return;
    m_errorReported = true;
    emit errorOccurred(reason);
}

void QtMediaPlayer::reportErrorLater(const QString &reason)
{
    // Queued, so a caller of setUrl can connect afterwards and is not re-entered mid-call.
    QMetaObject::invokeMethod(
        this, [this, reason, generation = m_generation] { reportError(reason, generation); },
        Qt::QueuedConnection);
}

void QtMediaPlayer::failClip(const QString &reason)
{
    if (!m_active)
        return;
    // GStreamer follows its first error with more about the same failure, and leaves the player
    // in the playing state on a file it could not read; stopping makes both settle.
    m_active = false;
    m_player->stop();
    reportError(reason, m_generation);
    updateControls();
}

void QtMediaPlayer::updateControls()
{
    if (!m_view)
        return;

    const bool playing = m_player->playbackState() == QMediaPlayer::PlayingState;
    m_playPause->setText(playing ? tr("Pause") : tr("Play"));
    m_playPause->setIcon(
        m_view->style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playPause->setEnabled(m_active);

    const qint64 length = m_active ? m_player->duration() : 0;
    const qint64 position = m_active ? m_player->position() : 0;
    m_seek->setEnabled(m_active && m_player->isSeekable() && length > 0);
    m_seek->setMaximum(int(qMax<qint64>(length, 0)));
    if (!m_seek->isSliderDown())
        m_seek->setValue(int(qBound<qint64>(0, position, length)));
    m_time->setText(clockText(position) + QStringLiteral(" / ") + clockText(length));
}
