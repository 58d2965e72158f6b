#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <vector>

class MediaPlayer;

// Stamps every picture the player hands to the screen, on the clock the recording's ticks are
// stamped on, so that the pictures shown while the clip plays can be counted.
class FrameWatch : public QObject
{
public:
    FrameWatch(MediaPlayer &player, const QElapsedTimer &clock);

    // False when the player offers no way to see its pictures.
    bool isWatching() const { return m_watching; }
    // How many pictures were handed over in [from, to), nanoseconds on the clock.
    int countBetween(qint64 from, qint64 to) const;
    // The longest stretch in [from, to) without a new picture, in nanoseconds.
    qint64 longestGap(qint64 from, qint64 to) const;

private:
    const QElapsedTimer &m_clock;
    std::vector<qint64> m_shown;
    bool m_watching = false;
};
