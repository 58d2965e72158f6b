#include "runevents.h"

RunEvents::RunEvents(Clock clock) : m_clock(std::move(clock))
{
    m_elapsed.start();
    if (!m_clock)
        m_clock = [this] { return m_elapsed.elapsed(); };
}

qint64 RunEvents::startRecording()
{
    m_origin = m_clock();
    return m_origin;
}

RunEvent RunEvents::add(RunEvent::Kind kind, const RatingState &state, qint64 media, int variable,
                        int row, RunEvent::Source source, std::optional<qint64> at)
{
    RunEvent event;
    event.time = at.value_or(m_clock());
    // A timer a moment early would put a second's sample after an event handled just before it.
    if (!m_stamped.isEmpty())
        event.time = std::max(event.time, m_stamped.last().time);
    event.media = media;
    event.kind = kind;
    event.variable = variable;
    event.level1 = state.Level1;
    event.level2 = state.Level2;
    event.row = row;
    event.source = source;
    m_stamped.append(event);
    return event;
}

QList<RunEvent> RunEvents::events() const
{
    return EventLog::onRunClock(m_stamped, m_origin);
}
