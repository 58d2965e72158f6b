#include "positionestimate.h"

#include <algorithm>

void PositionEstimate::observe(qint64 position, qint64 moment)
{
    if (position < 0) {
        forget();
        return;
    }
    if (m_position >= 0) {
        const qint64 elapsed = moment - m_moment;
        const bool withTheClock =
            elapsed >= 0 && qAbs(position - m_position - elapsed) <= Tolerance;
        if (withTheClock && !m_steady && elapsed < Spacing)
            return; // too soon to tell a clip that plays from one that stands still
        m_steady = withTheClock;
    }
    m_position = position;
    m_moment = moment;
}

std::optional<qint64> PositionEstimate::at(qint64 now, qint64 end) const
{
    if (!m_steady || now < m_moment || now - m_moment > MaxAge)
        return std::nullopt;
    const qint64 position = m_position + (now - m_moment);
    return end > 0 ? std::min(position, end) : position;
}

void PositionEstimate::forget()
{
    m_position = -1;
    m_steady = false;
}

void StallWatch::reset(qint64 now)
{
    m_position = -1;
    m_since = now;
    m_moved = false;
}

StallWatch::Verdict StallWatch::observe(qint64 position, qint64 now)
{
    if (position >= 0 && position != m_position) {
        m_moved = m_moved || m_position >= 0;
        m_position = position;
        if (m_moved) {
            m_since = now;
            m_restarted = false;
            if (m_reportStands) {
                m_reportStands = false;
                return Verdict::Resumed;
            }
        }
        return Verdict::Moving;
    }
    if (now - m_since < (m_moved ? Limit : StartLimit))
        return Verdict::Moving;
    m_since = now;
    if (!m_restarted) {
        m_restarted = true;
        return Verdict::Restart;
    }
    if (m_reported)
        return Verdict::Restart;
    m_reported = true;
    m_reportStands = true;
    return Verdict::Report;
}
