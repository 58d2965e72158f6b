#include "fakemediaplayer.h"

#include <QSlider>
#include <QWidget>

FakeMediaPlayer::~FakeMediaPlayer()
{
    delete m_view.data();
}

QWidget *FakeMediaPlayer::view()
{
    if (!m_view) {
        m_view = new QWidget;
        auto *controls = new QWidget(m_view);
        controls->setObjectName(QLatin1String(ControlsName));
        auto *seek = new QSlider(Qt::Horizontal, controls);
        seek->setObjectName(QStringLiteral("seek"));
        seek->setRange(0, 1000);
        seek->setValue(500);
    }
    return m_view;
}

void FakeMediaPlayer::arrive(double seconds)
{
    m_duration = seconds;
    emit durationChanged(seconds);
}

void FakeMediaPlayer::use(Control control, double seconds)
{
    if (control == Control::Seek)
        playing = seconds;
    emit controlUsed(control, seconds);
}
