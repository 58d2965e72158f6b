#include "framewatch.h"

#include "gstmediaplayer.h"

#include <algorithm>

FrameWatch::FrameWatch(MediaPlayer &player, const QElapsedTimer &clock) : m_clock(clock)
{
    auto *pictures = qobject_cast<GstMediaPlayer *>(&player);
    if (!pictures)
        return;
    m_watching = true;
    // Handed over on the interface thread, which is when the picture can reach the screen.
    connect(pictures, &GstMediaPlayer::pictureShown, this,
            [this] { m_shown.push_back(m_clock.nsecsElapsed()); });
}

int FrameWatch::countBetween(qint64 from, qint64 to) const
{
    return int(std::count_if(m_shown.begin(), m_shown.end(),
                             [&](qint64 t) { return t >= from && t < to; }));
}

qint64 FrameWatch::longestGap(qint64 from, qint64 to) const
{
    qint64 longest = 0;
    qint64 last = from;
    for (const qint64 t : m_shown) {
        if (t >= from && t < to) {
            longest = std::max(longest, t - last);
            last = t;
        }
    }
    return std::max(longest, to - last);
}
