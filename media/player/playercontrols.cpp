#include "playercontrols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QWheelEvent>

namespace {

QString clockText(qint64 ms)
{
    const qint64 totalSeconds = ms > 0 ? ms / 1000 : 0;
    return QStringLiteral("%1:%2")
        .arg(totalSeconds / 60)
        .arg(totalSeconds % 60, 2, 10, QLatin1Char('0'));
}

// Ignored, the wheel event goes on to the screen.
class PositionSlider : public QSlider
{
public:
    using QSlider::QSlider;

protected:
    void wheelEvent(QWheelEvent *event) override { event->ignore(); }
};

} // namespace

PlayerControls::PlayerControls(QWidget *parent) : QWidget(parent)
{
    m_playPause = new QPushButton(this);
    m_playPause->setObjectName(QStringLiteral("playPause"));
    m_playPause->setFocusPolicy(Qt::NoFocus);

    m_seek = new PositionSlider(Qt::Horizontal, this);
    m_seek->setObjectName(QStringLiteral("seek"));
    m_seek->setRange(0, 0);
    m_seek->setFocusPolicy(Qt::NoFocus);

    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("time"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_playPause);
    layout->addWidget(m_seek, 1);
    layout->addWidget(m_time);

    connect(m_playPause, &QPushButton::clicked, this, &PlayerControls::playPausePressed);
    // Actions cover dragging and clicks on the groove, but not setState's setValue calls, so
    // following the position never seeks. A move (a drag, or a click that puts the handle where
    // it lands) is finished by the release.
    connect(m_seek, &QAbstractSlider::actionTriggered, this, [this](int action) {
        const bool moving = action == QAbstractSlider::SliderMove;
        emit seekRequested(m_seek->sliderPosition(), !moving);
        if (!moving)
            emit seekDone(m_seek->sliderPosition());
    });
    connect(m_seek, &QAbstractSlider::sliderReleased, this, [this] {
        emit seekRequested(m_seek->sliderPosition(), true);
        emit seekDone(m_seek->sliderPosition());
    });
    setState(false, false, 0, 0, false);
}

void PlayerControls::setState(bool loaded, bool playing, qint64 position, qint64 length,
                              bool seekable)
{
    // Called four times a second while playing: a new icon would repaint the button and lay
    // the controls out again each time.
    if (m_playPause->icon().isNull() || playing != m_showsPause) {
        m_showsPause = playing;
        m_playPause->setText(playing ? tr("Pause") : tr("Play"));
        m_playPause->setIcon(
            style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    }
    m_playPause->setEnabled(loaded);

    const qint64 end = loaded ? qMax<qint64>(length, 0) : 0;
    const qint64 now = loaded ? qBound<qint64>(0, position, end) : 0;
    m_seek->setEnabled(loaded && seekable && end > 0);
    m_seek->setMaximum(int(end));
    if (!m_seek->isSliderDown())
        m_seek->setValue(int(now));
    m_time->setText(clockText(now) + QStringLiteral(" / ") + clockText(end));
}

#include "moc_playercontrols.cpp"
