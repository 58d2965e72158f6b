#include "framewatch.h"

#include "mediaplayer.h"

#include <QVideoSink>
#include <QVideoWidget>

#include <algorithm>

FrameWatch::FrameWatch(MediaPlayer &player, const QElapsedTimer &clock) : m_clock(clock)
{
    auto *video = player.view() ? player.view()->findChild<QVideoWidget *>() : nullptr;
    QVideoSink *sink = video ? video->videoSink() : nullptr;
    if (!sink)
        return;
    m_watching = true;
    // The context object lives on the interface thread: a frame announced on another thread is
    // stamped when the interface thread takes it, which is when it can reach the screen.
    connect(sink, &QVideoSink::videoFrameChanged, this,
            [this] { m_shown.push_back(m_clock.nsecsElapsed()); });
}

int FrameWatch::countBetween(qint64 from, qint64 to) const
{
    return int(std::count_if(m_shown.begin(), m_shown.end(),
                             [&](qint64 t) { return t >= from && t < to; }));
}
