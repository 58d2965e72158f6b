#pragma once

#include <QtGlobal>

#include <optional>

// Which second of the recording is due: one sample a second from the moment the recording
// started, each at its own moment on the run's clock however late the tick that takes it.
class RecordingClock
{
public:
    void start(qint64 origin)
    {
        m_next = origin + 1000;
        m_running = true;
    }
    void stop() { m_running = false; }

    // The moment of the earliest second due by now, which is taken; nothing where none is due.
    std::optional<qint64> takeDue(qint64 now)
    {
        if (!m_running || now < m_next)
            return std::nullopt;
        const qint64 due = m_next;
        m_next += 1000;
        return due;
    }

private:
    qint64 m_next = 0;
    bool m_running = false;
};
